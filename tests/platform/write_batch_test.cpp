// Writes made durable together: until the batch commits every target keeps its old content, and
// at every instant each target is whole, old or new.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/platform.h"
#include "tests/testing/testing.h"

namespace kr::platform {
namespace {

using kr::testing::TempDir;

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
