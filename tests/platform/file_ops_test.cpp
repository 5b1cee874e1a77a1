#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "tests/testing/testing.h"

namespace kr::platform {
namespace {

using kr::testing::TempDir;

// The run-time number a call fails with (0 when it does not fail).
template <class F>
int FailureNumber(F&& call) {
  try {
    call();
  } catch (const Failure& failure) {
    EXPECT_FALSE(failure.description().empty()) << failure.what();
    return failure.number();
  }
  return 0;
}

class FileOpsTest : public ::testing::Test {
 protected:
  std::string At(std::string_view relative) const { return dir_.folder() + std::string(relative); }
  TempDir dir_;
};

TEST_F(FileOpsTest, CopyReplacesTheTargetFoundCaseBlindAndKeepsReadOnly) {
  dir_.Write("pkg/a.txt", "new");
  dir_.Write("app/A.TXT", "old");
  CopyFile(At("PKG\\a.txt"), At("app\\a.txt"));
  EXPECT_EQ(dir_.Read("app/A.TXT"), "new");
  EXPECT_FALSE(dir_.Exists("app/a.txt"));
  CurrentEnv().SetReadOnly(At("pkg\\a.txt"), true);
  CopyFile(At("pkg\\a.txt"), At("app\\r.txt"));
  EXPECT_TRUE(Attributes(At("app\\r.txt")).read_only);
}

TEST_F(FileOpsTest, FailuresCarryTheRunTimeNumbersAndChangeNothing) {
  dir_.Write("pkg/a.txt", "new");
  dir_.Write("app/locked.txt", "old");
  dir_.Write("app/b.txt", "b");
  dir_.Write("full/x", "");
  CurrentEnv().SetReadOnly(At("app\\locked.txt"), true);
  EXPECT_EQ(FailureNumber([&] { CopyFile(At("pkg\\missing"), At("app\\x")); }), kErrFileNotFound);
  EXPECT_EQ(FailureNumber([&] { CopyFile(At("nowhere\\a"), At("app\\x")); }), kErrPathNotFound);
  EXPECT_EQ(FailureNumber([&] { CopyFile(At("pkg\\a.txt"), At("app\\locked.txt")); }),
            kErrPathFileAccess);
  EXPECT_EQ(FailureNumber([&] { CopyFile(At("pkg\\a.txt"), At("nowhere\\a.txt")); }),
            kErrPathNotFound);
  EXPECT_EQ(FailureNumber([&] { CopyFile(At("pkg\\a.txt"), At("pkg\\a.txt")); }),
            kErrPermissionDenied);
  EXPECT_EQ(FailureNumber([&] { CopyFile(At("pkg\\"), At("app\\y")); }), kErrPathFileAccess);
  EXPECT_EQ(FailureNumber([&] { DeleteFile(At("app\\gone.txt")); }), kErrFileNotFound);
  EXPECT_EQ(FailureNumber([&] { DeleteFile(At("app\\locked.txt")); }), kErrPathFileAccess);
  EXPECT_EQ(FailureNumber([&] { DeleteFile(At("app\\")); }), kErrFileNotFound);
  EXPECT_EQ(FailureNumber([&] { Rename(At("pkg\\a.txt"), At("app\\B.txt")); }), kErrFileExists);
  EXPECT_EQ(FailureNumber([&] { Rename(At("app\\zz.txt"), At("app\\c.txt")); }), kErrFileNotFound);
  EXPECT_EQ(FailureNumber([&] { MakeDirectory(At("a\\b\\")); }), kErrPathNotFound);
  EXPECT_EQ(FailureNumber([&] { MakeDirectory(At("full")); }), kErrPathFileAccess);
  EXPECT_EQ(FailureNumber([&] { RemoveDirectory(At("full\\")); }), kErrPathFileAccess);
  EXPECT_EQ(FailureNumber([&] { RemoveDirectory(At("zz\\")); }), kErrPathNotFound);
  EXPECT_EQ(FailureNumber([&] { ReadFile(At("none")); }), kErrFileNotFound);
  EXPECT_EQ(FailureNumber([&] { WriteFile(At("no\\n.bin"), "x"); }), kErrPathNotFound);
  EXPECT_EQ(dir_.Read("app/locked.txt"), "old");
  EXPECT_EQ(dir_.Read("pkg/a.txt"), "new");
  EXPECT_EQ(dir_.Read("app/b.txt"), "b");
}

TEST_F(FileOpsTest, CopyOntoARunningProgramIsDenied) {
  dir_.Write("app/sleeper", ReadFile("/bin/sleep"));
  chmod(dir_.Native("app/sleeper").c_str(), 0755);
  std::unique_ptr<ChildProcess> child = CurrentEnv().StartProcess(At("app\\sleeper 0.5"), true);
  EXPECT_EQ(FailureNumber([&] { CopyFile("/bin/true", At("app\\sleeper")); }),
            kErrPermissionDenied);
  while (!child->Ended()) usleep(10000);
}

TEST_F(FileOpsTest, DeleteRenameFoldersAndWholeFilesWork) {
  dir_.Write("app/a.tmp", "");
  dir_.Write("app/b.TMP", "");
  dir_.Write("app/c.txt", "c");
  DeleteFile(At("app\\*.tmp"));
  EXPECT_FALSE(dir_.Exists("app/a.tmp") || dir_.Exists("app/b.TMP"));
  EXPECT_EQ(FailureNumber([&] { DeleteFile(At("app\\*.tmp")); }), kErrFileNotFound);
  MakeDirectory(At("old\\"));
  Rename(At("app\\c.txt"), At("old\\c.old"));
  Rename(At("old\\c.old"), At("old\\C.OLD"));
  EXPECT_EQ(dir_.Read("old/C.OLD"), "c");
  DeleteFile(At("old\\C.OLD"));
  RemoveDirectory(At("OLD\\"));
  EXPECT_FALSE(dir_.Exists("old"));
  WriteFile(At("n.bin"), std::string("a\0b", 3));
  EXPECT_EQ(ReadFile(At("N.BIN")), std::string("a\0b", 3));
}

}  // namespace
}  // namespace kr::platform
