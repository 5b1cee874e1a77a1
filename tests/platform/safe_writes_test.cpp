// Writes that keep files whole through a full disk, an I/O error or a killed process, and the
// file operations' treatment of symbolic links.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/platform.h"
#include "tests/testing/testing.h"

namespace kr::platform {
namespace {

namespace fs = std::filesystem;
using kr::testing::FailureNumber;
using kr::testing::TempDir;

// Fails the first disk step of one kind with error.
FaultHook FailFirst(DiskStep kind, int error) {
  return [kind, error, done = false](DiskStep step, std::string_view) mutable {
    if (done || step != kind) return 0;
    done = true;
    return error;
  };
}

class SafeWriteTest : public ::testing::Test {
 protected:
  std::string At(std::string_view relative) const { return dir_.folder() + std::string(relative); }
  TempDir dir_;
  // Bigger than one buffer of the copy, so that a copy writes more than once.
  const std::string old_ = std::string(150000, 'o');
  const std::string new_ = std::string(200000, 'n');
};

TEST_F(SafeWriteTest, ACopyFailingOnAFullDiskOrAnIoErrorLeavesTheOldFileWholeAndNoTemporary) {
  dir_.Write("pkg/KrMain.exe", new_);
  dir_.Write("app/KrMain.exe", old_);
  const std::pair<DiskStep, int> faults[] = {
      {DiskStep::kCreate, EACCES}, {DiskStep::kWrite, ENOSPC},  {DiskStep::kWrite, EIO},
      {DiskStep::kSync, EIO},      {DiskStep::kRename, EACCES},
  };
  const int numbers[] = {kErrPathFileAccess, kErrDiskFull, kErrDeviceIo, kErrDeviceIo,
                         kErrPathFileAccess};
  for (size_t i = 0; i < std::size(faults); ++i) {
    ScopedFaultHook hook(FailFirst(faults[i].first, faults[i].second));
    EXPECT_EQ(FailureNumber([&] { CopyFile(At("pkg\\KrMain.exe"), At("app\\KrMain.exe")); }),
              numbers[i])
        << i;
    EXPECT_EQ(dir_.Read("app/KrMain.exe"), old_) << i;
    EXPECT_TRUE(testing::LeftoverTemporaries(dir_.path()).empty()) << i;
  }
  CopyFile(At("pkg\\KrMain.exe"), At("app\\KrMain.exe"));
  EXPECT_EQ(dir_.Read("app/KrMain.exe"), new_);
}

TEST_F(SafeWriteTest, AWriteFailingOnAFullDiskKeepsTheOldContentAndAWrittenFileItsPermissions) {
  dir_.Write("app/KelmoraSetting.xml", "<Root/>");
  chmod(dir_.Native("app/KelmoraSetting.xml").c_str(), 0640);
  {
    ScopedFaultHook hook(FailFirst(DiskStep::kWrite, ENOSPC));
    EXPECT_EQ(FailureNumber([&] { WriteFile(At("app\\KelmoraSetting.xml"), new_); }), kErrDiskFull);
  }
  EXPECT_EQ(dir_.Read("app/KelmoraSetting.xml"), "<Root/>");
  WriteFile(At("app\\KelmoraSetting.xml"), "<Root><A/></Root>");
  EXPECT_EQ(dir_.Read("app/KelmoraSetting.xml"), "<Root><A/></Root>");
  EXPECT_EQ(fs::status(dir_.Native("app/KelmoraSetting.xml")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_TRUE(testing::LeftoverTemporaries(dir_.path()).empty());
}

TEST_F(SafeWriteTest, KillingACopyOrAWriteAtAnyStepLeavesTheOldOrTheNewFileAndTheNextWriteTidies) {
  dir_.Write("pkg/KrVal.mdb", new_);
  int left_behind = 0;
  int copy_points = testing::ForEachCrashPoint(
      [&] { dir_.Write("app/KrVal.mdb", old_); },
      [&] { CopyFile(At("pkg\\KrVal.mdb"), At("app\\KrVal.mdb")); },
      [&](int n, bool killed) {
        std::string now = dir_.Read("app/KrVal.mdb");
        EXPECT_TRUE(now == old_ || now == new_) << "killed at step " << n;
        if (!killed) {
          EXPECT_EQ(now, new_);
        }
        if (killed && !testing::LeftoverTemporaries(dir_.path()).empty()) ++left_behind;
      });
  EXPECT_GE(copy_points, 6);  // create, several writes, flush, rename, folder flush
  int write_points = testing::ForEachCrashPoint(
      [&] { dir_.Write("app/KrNumber.ini", old_); },
      [&] { WriteFile(At("app\\KrNumber.ini"), new_); },
      [&](int n, bool killed) {
        std::string now = dir_.Read("app/KrNumber.ini");
        EXPECT_TRUE(now == old_ || now == new_) << "killed at step " << n;
        if (killed && !testing::LeftoverTemporaries(dir_.path()).empty()) ++left_behind;
      });
  EXPECT_GE(write_points, 4);
  // Killed children left temporaries; each next write into the folder removed them.
  EXPECT_GT(left_behind, 0);
  EXPECT_TRUE(testing::LeftoverTemporaries(dir_.path()).empty());
}

TEST_F(SafeWriteTest, ATemporaryLeftByAKilledWriteIsNoFileAndSameContentComparesBytes) {
  dir_.Write("a", new_);
  dir_.Write("b", new_);
  dir_.Write("c", new_.substr(0, new_.size() - 1) + "x");
  dir_.MakeDirs("d");
  EXPECT_TRUE(SameContent(At("a"), At("B")));
  EXPECT_FALSE(SameContent(At("a"), At("c")));
  EXPECT_FALSE(SameContent(At("a"), At("missing")));
  EXPECT_FALSE(SameContent(At("d"), At("d")));
  dir_.Write("app/Old/.~krtmp-123-1", "partial");
  dir_.Write("app/Old/a.txt", "a");
  EXPECT_EQ(List(At("app\\Old\\"), ListKind::kWithDirectories).size(), 1u);
  DeleteFile(At("app\\Old\\a.txt"));
  RemoveDirectory(At("app\\Old\\"));
  EXPECT_FALSE(dir_.Exists("app/Old"));
  // Another hidden file is the user's, and keeps its folder.
  dir_.Write("app/Kept/.user", "mine");
  EXPECT_EQ(FailureNumber([&] { RemoveDirectory(At("app\\Kept\\")); }), kErrPathFileAccess);
}

TEST_F(SafeWriteTest, ReplaceFileReplacesARunningProgramThatCopyFileMustLeave) {
  dir_.Write("app/sleeper", ReadFile("/bin/sleep"));
  chmod(dir_.Native("app/sleeper").c_str(), 0755);
  dir_.Write("pkg/sleeper", "new program");
  std::unique_ptr<ChildProcess> child = CurrentEnv().StartProcess(At("app\\sleeper 0.5"), true);
  EXPECT_EQ(FailureNumber([&] { CopyFile(At("pkg\\sleeper"), At("app\\sleeper")); }),
            kErrPermissionDenied);
  ReplaceFile(At("pkg\\sleeper"), At("app\\sleeper"));
  EXPECT_EQ(dir_.Read("app/sleeper"), "new program");
  while (!child->Ended()) usleep(10000);
}

class LinkTest : public SafeWriteTest {
 protected:
  void SetUp() override {
    dir_.Write("outside/keep.txt", "keep");
    dir_.Write("app/real.txt", "real");
    fs::create_directory_symlink(dir_.Native("outside"), dir_.Native("app/linked"));
    fs::create_symlink(dir_.Native("app/real.txt"), dir_.Native("app/file-link.txt"));
    fs::create_symlink(dir_.Native("nowhere"), dir_.Native("app/dangling"));
  }
};

TEST_F(LinkTest, ListingsMarkLinksAndDeletingALinkLeavesWhatItPointsTo) {
  std::vector<DirEntry> entries = List(At("app\\"), ListKind::kWithDirectories);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_TRUE(entries[0].is_link && !entries[0].is_directory);  // dangling: a plain file
  EXPECT_TRUE(entries[1].is_link && !entries[1].is_directory);  // file-link.txt
  EXPECT_TRUE(entries[2].is_link && entries[2].is_directory);   // linked
  EXPECT_TRUE(!entries[3].is_link && !entries[3].is_directory);
  EXPECT_TRUE(Attributes(At("app\\linked\\")).is_link);
  EXPECT_FALSE(Attributes(At("app\\linked\\keep.txt")).is_link);
  for (const char* link : {"app\\linked", "app\\file-link.txt", "app\\dangling"}) {
    DeleteFile(At(link));
  }
  EXPECT_TRUE(List(At("app\\"), ListKind::kWithDirectories).size() == 1u);
  EXPECT_EQ(dir_.Read("outside/keep.txt"), "keep");
  EXPECT_EQ(dir_.Read("app/real.txt"), "real");
}

TEST_F(LinkTest, ACopyOntoALinkToAFileReplacesTheLinkedFile) {
  dir_.Write("pkg/real.txt", "new");
  CopyFile(At("pkg\\real.txt"), At("app\\file-link.txt"));
  EXPECT_TRUE(fs::is_symlink(dir_.Native("app/file-link.txt")));
  EXPECT_EQ(dir_.Read("app/real.txt"), "new");
}

// Writes made durable together: until the batch commits every target keeps its old content, and
// at every instant each target is whole, old or new.
const char* const kFiles[] = {"app/Help/a.htm", "app/Help/b.htm", "app/Templates/c.xls"};

class WriteBatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* file : kFiles) dir_.Write(file, "old");
  }
  std::string At(std::string_view relative) const { return dir_.folder() + std::string(relative); }
  // Writes every file's new content in a batch; returns what Commit() reported.
  std::vector<WriteBatch::Failed> WriteAll(bool commit = true) {
    WriteBatch batch;
    for (const char* file : kFiles) WriteFile(At(file), std::string("new ") + file);
    for (const char* file : kFiles) EXPECT_EQ(dir_.Read(file), "old") << "before the commit";
    if (!commit) return {};
    return batch.Commit();
  }
  int NewFiles() const {
    int count = 0;
    for (const char* file : kFiles) count += dir_.Read(file) == std::string("new ") + file;
    return count;
  }
  TempDir dir_;
};

TEST_F(WriteBatchTest, TargetsChangeOnlyWhenTheBatchCommitsAndAnAbandonedBatchLeavesNothing) {
  WriteAll(false);
  EXPECT_EQ(NewFiles(), 0);
  EXPECT_TRUE(testing::LeftoverTemporaries(dir_.path()).empty());

  EXPECT_TRUE(WriteAll().empty());
  EXPECT_EQ(NewFiles(), 3);
  EXPECT_TRUE(testing::LeftoverTemporaries(dir_.path()).empty());
}

TEST_F(WriteBatchTest, AFailedFlushKeepsEveryOldFileAndAFailedRenameOnlyItsOwn) {
  {
    int syncs = 0;
    ScopedFaultHook hook([&](DiskStep step, std::string_view) {
      return step == DiskStep::kSync && ++syncs == 1 ? EIO : 0;
    });
    std::vector<WriteBatch::Failed> failed = WriteAll();
    ASSERT_EQ(failed.size(), 3u);
    EXPECT_EQ(failed[0].failure.number(), kErrDeviceIo);
    EXPECT_EQ(failed[0].path, At(kFiles[0]));
  }
  EXPECT_EQ(NewFiles(), 0);
  EXPECT_TRUE(testing::LeftoverTemporaries(dir_.path()).empty());

  {
    ScopedFaultHook hook([&](DiskStep step, std::string_view native) {
      return step == DiskStep::kRename && native.ends_with("b.htm") ? ENOSPC : 0;
    });
    std::vector<WriteBatch::Failed> failed = WriteAll();
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].path, At(kFiles[1]));
    EXPECT_EQ(failed[0].failure.number(), kErrDiskFull);
  }
  EXPECT_EQ(NewFiles(), 2);
  EXPECT_EQ(dir_.Read(kFiles[1]), "old");
  EXPECT_TRUE(testing::LeftoverTemporaries(dir_.path()).empty());
}

TEST_F(WriteBatchTest, ABatchOpenedInsideAnotherJoinsItAndCommitsWithIt) {
  WriteBatch outer;
  {
    WriteBatch inner;
    WriteFile(At(kFiles[0]), "inner");
    EXPECT_TRUE(inner.Commit().empty());
  }
  EXPECT_EQ(dir_.Read(kFiles[0]), "old");
  EXPECT_TRUE(outer.Commit().empty());
  EXPECT_EQ(dir_.Read(kFiles[0]), "inner");
}

// Names are looked up case-blind from a folder listing the batch keeps; a change the batch's
// process makes in the folder must be seen by the next lookup.
TEST_F(WriteBatchTest, ANameMadeDuringTheBatchIsFoundCaseBlindByTheNextWrite) {
  WriteBatch batch;
  EXPECT_FALSE(FileExists(At("app/Help/z.htm")));
  Rename(At("app/Help/a.htm"), At("app/Help/Z.HTM"));
  WriteFile(At("app/Help/z.htm"), "new");
  EXPECT_TRUE(batch.Commit().empty());
  EXPECT_EQ(dir_.Read("app/Help/Z.HTM"), "new");
  EXPECT_FALSE(dir_.Exists("app/Help/z.htm"));
}

TEST_F(WriteBatchTest, KilledAtAnyStepEachFileIsOldOrNewAndTheNextBatchTidiesUp) {
  int points = testing::ForEachCrashPoint(
      [&] {
        for (const char* file : kFiles) dir_.Write(file, "old");
      },
      [&] { EXPECT_TRUE(WriteAll().empty()); },
      [&](int n, bool killed) {
        for (const char* file : kFiles) {
          std::string now = dir_.Read(file);
          EXPECT_TRUE(now == "old" || now == std::string("new ") + file) << "killed at " << n;
        }
        if (!killed) {
          EXPECT_EQ(NewFiles(), 3);
        }
      });
  // Creates and writes of three files, one flush, three renames, two folder flushes.
  EXPECT_GE(points, 12);
  SetUp();
  EXPECT_TRUE(WriteAll().empty());
  EXPECT_TRUE(testing::LeftoverTemporaries(dir_.path()).empty());
}

}  // namespace
}  // namespace kr::platform
