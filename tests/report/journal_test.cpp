// The change journal: what a run changed, with the content it found kept where undo looks.
#include "report/journal.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/testing/testing.h"

namespace kr::report::test {
namespace {

class ChangeJournalTest : public ::testing::Test {
 protected:
  std::string At(std::string_view relative) const {
    return platform::CanonicalNativePath(install_.Native(relative));
  }
  std::vector<Change> Record(std::string_view stamp, const std::function<void()>& run) {
    ChangeJournal journal(install_.folder(), std::string(stamp));
    run();
    return journal.Finish();
  }
  const Change* Find(const std::vector<Change>& changes, std::string_view relative) const {
    for (const Change& change : changes) {
      if (change.path == At(relative)) return &change;
    }
    return nullptr;
  }
  std::string Saved(const Change& change) const { return platform::ReadFile(*change.saved); }

  testing::TempDir install_;
};

TEST_F(ChangeJournalTest, EachChangedFileIsRecordedOnceWithItsFirstContentKept) {
  install_.Write("a.txt", "a before");
  install_.Write("gone.txt", "gone before");
  install_.Write("same.txt", "same");
  std::vector<Change> changes = Record("20200407153000", [&] {
    platform::WriteFile(install_.Native("a.txt"), "a once");
    platform::WriteFile(install_.Native("a.txt"), "a twice");
    platform::DeleteFile(install_.Native("gone.txt"));
    platform::WriteFile(install_.Native("new.txt"), "new");
    platform::WriteFile(install_.Native("same.txt"), "same");
    // A run's own records are none of its changes.
    platform::WriteFile(install_.Native("UpdateLog/20200407153000.json"), "{}");
  });
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[0].path, At("a.txt"));
  EXPECT_EQ(Saved(changes[0]), "a before");
  EXPECT_EQ(changes[0].before, FileDigest(*changes[0].saved));
  EXPECT_EQ(changes[0].after, FileDigest(install_.Native("a.txt")));
  EXPECT_EQ(Saved(changes[1]), "gone before");
  EXPECT_FALSE(changes[1].after);
  EXPECT_EQ(changes[2].path, At("new.txt"));
  EXPECT_FALSE(changes[2].before);
  EXPECT_FALSE(changes[2].saved);
  // The unchanged file's copy went with it.
  EXPECT_FALSE(install_.Exists("UpdateLog/20200407153000/files/same.txt"));
  EXPECT_EQ(testing::LeftoverTemporaries(install_.path()), std::vector<std::string>{});
}

TEST_F(ChangeJournalTest, ABackupTheRunMadeKeepsTheContentUntilTheRunChangesItToo) {
  install_.Write("db.mdb", "prices");
  install_.Write("tool.exe", "tool");
  std::vector<Change> changes = Record("20200407153000", [&] {
    platform::CopyFile(install_.Native("db.mdb"), install_.Native("db202004071530.old"));
    platform::WriteFile(install_.Native("db.mdb"), "new prices");
    platform::CopyFile(install_.Native("tool.exe"), install_.Native("tool.old"));
    platform::WriteFile(install_.Native("tool.exe"), "new tool");
    platform::WriteFile(install_.Native("tool.old"), "overwritten backup");
  });
  const Change* db = Find(changes, "db.mdb");
  ASSERT_TRUE(db);
  EXPECT_EQ(*db->saved, At("db202004071530.old"));
  const Change* tool = Find(changes, "tool.exe");
  ASSERT_TRUE(tool);
  EXPECT_TRUE(tool->saved->find("UpdateLog") != std::string::npos) << *tool->saved;
  EXPECT_EQ(Saved(*tool), "tool");
}

TEST_F(ChangeJournalTest, OnlyTheLastThreeRunsKeepTheirSavedCopies) {
  for (const char* stamp : {"20200407153000", "20200407153000-2", "20200407153100",
                            "20200407153200", "20200407153300"}) {
    install_.Write("a.txt", stamp);
    Record(stamp, [&] { platform::WriteFile(install_.Native("a.txt"), "changed"); });
  }
  EXPECT_FALSE(install_.Exists("UpdateLog/20200407153000/files/a.txt"));
  EXPECT_FALSE(install_.Exists("UpdateLog/20200407153000-2/files/a.txt"));
  for (const char* kept : {"20200407153100", "20200407153200", "20200407153300"}) {
    EXPECT_EQ(install_.Read("UpdateLog/" + std::string(kept) + "/files/a.txt"), kept);
  }
}

}  // namespace
}  // namespace kr::report::test
