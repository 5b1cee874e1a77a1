// The 2012 box replacement: the release's KrBox.mdb takes the installed one's place with the
// user's boxes in it, once; a failing disk at any of its operations leaves the installed box as
// it was or as replaced, never without the user's boxes, and the next run finishes the work.
#include <algorithm>
#include <filesystem>

#include "platform/platform.h"
#include "report/report.h"
#include "tests/routines/routines_fixture.h"
#include "tests/testing/database_faults.h"

namespace kr::routines::test {
namespace {

using testing::DatabaseFaults;

constexpr std::string_view kBox = "File/平成24年度/KrBox.mdb";
constexpr std::string_view kBoxTables[] = {"Cri", "Val", "Vals", "Woody", "Layout", "Version"};

std::string Boxes(std::string_view who) {
  std::string script;
  for (std::string_view table : {"Cri", "Val", "Vals", "Woody"}) {
    script += Table(table, "(BoxID LONG, Code TEXT(30), Quantity DOUBLE)");
    script += "INSERT INTO [" + std::string(table) + "] VALUES (1, '" + std::string(who) + "-" +
              std::string(table) + "', 2.5);\n";
  }
  return script;
}

class BoxReplacementTest : public RoutineTest {
 protected:
  void SetUp() override {
    Install(kBox, Boxes("USER") + Table("Layout", "(Name TEXT(20))") + Insert("Layout", {"'old'"}) +
                      VersionRow("2011,1,1"));
    Package("KrBox.mdb", Boxes("SAMPLE") + Table("Layout", "(Name TEXT(20), Width LONG)") +
                             Insert("Layout", {"'new', 3"}) + VersionRow("2012,1,1"));
    original_ = platform::ReadFile(Path(kBox));
  }

  std::string Path(std::string_view relative) const {
    return install_.folder() + std::string(relative);
  }

  // Every table of the box, rows sorted, read in process.
  std::vector<Rows> Contents() const {
    std::vector<Rows> contents;
    db::Database db = db::OpenAppDatabase(Path(kBox));
    for (std::string_view table : kBoxTables) {
      contents.push_back(db::TableExists(db, table)
                             ? SortedRows(db, "SELECT * FROM [" + std::string(table) + "]")
                             : Rows{});
    }
    EXPECT_TRUE(db.CheckFile().empty());
    db.Close();
    return contents;
  }

  std::vector<std::string> FolderFiles() const {
    std::vector<std::string> names;
    for (const auto& entry :
         std::filesystem::directory_iterator(install_.Native("File/平成24年度"))) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // The box's entry in the report of a run of the routine.
  report::Target Recorded() {
    report::Target box = TargetOf(RunReported("Update2012Box10"), kBox);
    if (box.outcome == report::TargetOutcome::kMigrated) {
      EXPECT_EQ(box.version_before, "2011,1,1");
      EXPECT_EQ(box.version_after, "2012,1,1");
      EXPECT_EQ(box.tables.size(), 4u);  // the user's boxes copied into the release's
    }
    return box;
  }

  std::string original_;
};

TEST_F(BoxReplacementTest, TheReleasesBoxTakesTheUsersBoxesAndReplacesTheInstalledOneOnce) {
  std::vector<Rows> before = Contents();
  ASSERT_TRUE(Recorded().outcome == report::TargetOutcome::kMigrated);
  std::vector<Rows> after = Contents();
  EXPECT_EQ(after[0], (Rows{"1|USER-Cri|2.5"}));
  EXPECT_EQ(after[3], (Rows{"1|USER-Woody|2.5"}));
  EXPECT_EQ(after[4], (Rows{"new|3"}));  // the release's own tables
  EXPECT_EQ(Ver(kBox), "2012,1,1");
  EXPECT_EQ(FolderFiles(), (std::vector<std::string>{"KrBox.mdb"}));

  // Current: a second run changes nothing, even with a Temp.mdb lying there.
  testing::RunScriptText(install_.Native(kBox), Insert("Cri", {"2, 'LATER', 1"}));
  EXPECT_EQ(Recorded().reason, "既に記録されています（2012,1,1）");
  EXPECT_EQ(Query(kBox, "SELECT Code FROM Cri ORDER BY Code"), (Rows{"LATER", "USER-Cri"}));
  EXPECT_NE(before, after);
}

TEST_F(BoxReplacementTest, AFailingDiskNeverLeavesTheBoxWithoutTheUsersBoxes) {
  std::vector<Rows> before = Contents();
  ASSERT_TRUE(Run("Update2012Box10"));
  std::vector<Rows> after = Contents();

  // Every change to the disk failing once, then (a run killed there) from the nth on; of the
  // thousands of reads and locks, a spread of forty.
  struct Sweep {
    unsigned ops;
    bool sticky;
    int64_t points;  // 0: every operation
  };
  const Sweep sweeps[] = {{DatabaseFaults::kChanges, false, 0},
                          {DatabaseFaults::kChanges, true, 0},
                          {DatabaseFaults::kLooks, false, 40}};
  const int errors[] = {kErrDiskFull, kErrDeviceIo, kErrPermissionDenied};
  DatabaseFaults faults;
  for (const Sweep& sweep : sweeps) {
    platform::WriteFile(Path(kBox), original_);
    faults.FailAt(0, 0, sweep.ops);
    {
      platform::ScopedEnv env(faults);
      Run("Update2012Box10");
    }
    int64_t total = faults.count();
    ASSERT_GT(total, 20);
    int64_t points = sweep.points == 0 ? total : sweep.points;
    for (int64_t k = 0; k < points && !HasFatalFailure(); ++k) {
      int64_t n = sweep.points == 0 ? k + 1 : 1 + k * (total - 1) / (points - 1);
      platform::WriteFile(Path(kBox), original_);
      std::filesystem::remove(install_.Native("File/平成24年度/Temp.mdb"));
      faults.FailAt(n, errors[n % 3], sweep.ops, sweep.sticky);
      {
        platform::ScopedEnv env(faults);
        Run("Update2012Box10");
      }
      std::string where = "operation " + std::to_string(n) + " of " + std::to_string(total) + " (" +
                          faults.first_failed() + ")" + (sweep.sticky ? " and on" : "");
      std::vector<Rows> now = Contents();
      ASSERT_TRUE(now == before || now == after) << where << ": the box is neither old nor new";
      Run("Update2012Box10");
      EXPECT_TRUE(Contents() == after) << where << ": the next run did not finish the work";
      for (const std::string& name : FolderFiles()) {
        // Only a Temp.mdb whose removal failed may stay (no run needs it any more).
        EXPECT_TRUE(name == "KrBox.mdb" || (name == "Temp.mdb" && now == after))
            << where << ": left " << name;
      }
    }
  }
}

}  // namespace
}  // namespace kr::routines::test
