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

TEST_F(FileOpsTest, CopyReplacesTheTargetAndKeepsTheSourceTime) {
  dir_.Write("pkg/a.txt", "new");
  dir_.Write("app/A.TXT", "old");
  CopyFile(At("PKG\\a.txt"), At("app\\a.txt"));
  EXPECT_EQ(dir_.Read("app/A.TXT"), "new");  // the existing name, found case-blind
  EXPECT_FALSE(dir_.Exists("app/a.txt"));
}

TEST_F(FileOpsTest, CopyFailuresCarryTheRunTimeNumbers) {
  dir_.Write("pkg/a.txt", "new");
  dir_.Write("app/locked.txt", "old");
  CurrentEnv().SetReadOnly(At("app\\locked.txt"), true);
  EXPECT_EQ(FailureNumber([&] { CopyFile(At("pkg\\missing"), At("app\\x")); }), kErrFileNotFound);
  EXPECT_EQ(FailureNumber([&] { CopyFile(At("nowhere\\a"), At("app\\x")); }), kErrPathNotFound);
  EXPECT_EQ(FailureNumber([&] { CopyFile(At("pkg\\a.txt"), At("app\\locked.txt")); }),
            kErrPathFileAccess);
  EXPECT_EQ(dir_.Read("app/locked.txt"), "old");
  EXPECT_EQ(FailureNumber([&] { CopyFile(At("pkg\\a.txt"), At("nowhere\\a.txt")); }),
            kErrPathNotFound);
  EXPECT_EQ(FailureNumber([&] { CopyFile(At("pkg\\a.txt"), At("pkg\\a.txt")); }),
            kErrPermissionDenied);
  EXPECT_EQ(FailureNumber([&] { CopyFile(At("pkg\\"), At("app\\y")); }), kErrPathFileAccess);
}

TEST_F(FileOpsTest, CopyOfAReadOnlySourceIsReadOnlyToo) {
  dir_.Write("pkg/r.txt", "r");
  CurrentEnv().SetReadOnly(At("pkg\\r.txt"), true);
  dir_.MakeDirs("app");
  CopyFile(At("pkg\\r.txt"), At("app\\r.txt"));
  EXPECT_TRUE(Attributes(At("app\\r.txt")).read_only);
}

TEST_F(FileOpsTest, CopyOntoARunningProgramIsDenied) {
  dir_.Write("app/sleeper", ReadFile("/bin/sleep"));
  CurrentEnv().SetReadOnly(At("app\\sleeper"), false);
  chmod(dir_.Native("app/sleeper").c_str(), 0755);
  std::unique_ptr<ChildProcess> child = CurrentEnv().StartProcess(At("app\\sleeper 0.5"), true);
  EXPECT_EQ(FailureNumber([&] { CopyFile("/bin/true", At("app\\sleeper")); }),
            kErrPermissionDenied);
  while (!child->Ended()) usleep(10000);
}

TEST_F(FileOpsTest, DeleteFailsOnMissingAndReadOnlyFiles) {
  dir_.Write("app/keep.txt", "k");
  CurrentEnv().SetReadOnly(At("app\\keep.txt"), true);
  EXPECT_EQ(FailureNumber([&] { DeleteFile(At("app\\gone.txt")); }), kErrFileNotFound);
  EXPECT_EQ(FailureNumber([&] { DeleteFile(At("app\\keep.txt")); }), kErrPathFileAccess);
  EXPECT_TRUE(dir_.Exists("app/keep.txt"));
  EXPECT_EQ(FailureNumber([&] { DeleteFile(At("app\\")); }), kErrFileNotFound);
}

TEST_F(FileOpsTest, DeleteWithAPatternRemovesEveryMatchingFile) {
  dir_.Write("app/a.tmp", "");
  dir_.Write("app/b.TMP", "");
  dir_.Write("app/c.txt", "");
  DeleteFile(At("app\\*.tmp"));
  EXPECT_FALSE(dir_.Exists("app/a.tmp"));
  EXPECT_FALSE(dir_.Exists("app/b.TMP"));
  EXPECT_TRUE(dir_.Exists("app/c.txt"));
  EXPECT_EQ(FailureNumber([&] { DeleteFile(At("app\\*.tmp")); }), kErrFileNotFound);
}

TEST_F(FileOpsTest, RenameRefusesAnExistingNameAndMovesBetweenFolders) {
  dir_.Write("app/a.txt", "a");
  dir_.Write("app/b.txt", "b");
  dir_.MakeDirs("old");
  EXPECT_EQ(FailureNumber([&] { Rename(At("app\\a.txt"), At("app\\B.txt")); }), kErrFileExists);
  EXPECT_EQ(FailureNumber([&] { Rename(At("app\\zz.txt"), At("app\\c.txt")); }), kErrFileNotFound);
  Rename(At("app\\a.txt"), At("old\\a.old"));
  EXPECT_EQ(dir_.Read("old/a.old"), "a");
  Rename(At("app\\b.txt"), At("app\\B.TXT"));
  EXPECT_EQ(dir_.Read("app/B.TXT"), "b");
}

TEST_F(FileOpsTest, FolderCreationAndRemovalFailures) {
  EXPECT_EQ(FailureNumber([&] { MakeDirectory(At("a\\b\\")); }), kErrPathNotFound);
  MakeDirectory(At("a\\"));
  EXPECT_TRUE(Attributes(At("a")).is_directory);
  EXPECT_EQ(FailureNumber([&] { MakeDirectory(At("a")); }), kErrPathFileAccess);
  dir_.Write("a/x", "");
  EXPECT_EQ(FailureNumber([&] { RemoveDirectory(At("a\\")); }), kErrPathFileAccess);
  EXPECT_EQ(FailureNumber([&] { RemoveDirectory(At("zz\\")); }), kErrPathNotFound);
  DeleteFile(At("a\\x"));
  RemoveDirectory(At("A\\"));
  EXPECT_FALSE(dir_.Exists("a"));
}

TEST_F(FileOpsTest, ReadAndWriteWholeFiles) {
  WriteFile(At("n.bin"), std::string("a\0b", 3));
  EXPECT_EQ(ReadFile(At("N.BIN")), std::string("a\0b", 3));
  EXPECT_EQ(FailureNumber([&] { ReadFile(At("none")); }), kErrFileNotFound);
  EXPECT_EQ(FailureNumber([&] { WriteFile(At("no\\n.bin"), "x"); }), kErrPathNotFound);
}

// An Env that fails every copy, as a full disk would.
class FullDiskEnv : public Env {
 public:
  void CopyFile(std::string_view, std::string_view) override {
    throw Failure::Runtime(kErrDiskFull, "disk full (test)");
  }
};

TEST_F(FileOpsTest, AnInstalledEnvReceivesEveryCall) {
  dir_.Write("a.txt", "a");
  FullDiskEnv env;
  {
    ScopedEnv scoped(env);
    EXPECT_EQ(FailureNumber([&] { CopyFile(At("a.txt"), At("b.txt")); }), kErrDiskFull);
    EXPECT_TRUE(Listed(At("a.txt"), ListKind::kPlainFiles));  // the rest still works
  }
  CopyFile(At("a.txt"), At("b.txt"));
  EXPECT_EQ(dir_.Read("b.txt"), "a");
}

}  // namespace
}  // namespace kr::platform
