// Whole databases replaced by the release's. The 2012 box replacement: the release's KrBox.mdb
// takes the installed one's place with the user's boxes in it, once; a failing disk at any of its
// operations leaves the installed box as it was or as replaced, never without the user's boxes,
// and the next run finishes the work.
#include <algorithm>
#include <filesystem>
#include <map>

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

// The October 2019 replacement stopped by a failing disk at any of its operations: every
// database of the year is still there, whole, as the user had it or as the release ships it;
// the dated backups hold what the user had; and the next run finishes the replacement.

constexpr const char* kNames[] = {"KrCri", "KrExp", "KrVal"};

bool Exists(const std::string& path) {
  return platform::Listed(path, platform::ListKind::kPlainFiles);
}

class ReplacementFaultsTest : public RoutineTest {
 protected:
  void SetUp() override {
    setenv("KR_NOW", "2019-11-05 10:30", 1);
    for (std::string_view name : kNames) {
      std::string file = std::string(name) + ".mdb";
      Install("File/2019年度/" + file,
              Table("Cri", kCriTable) + Insert("Cri (Code, Price1)", {"'OLD', 1"}));
      Package(file, Table("Cri", kCriTable) + Insert("Cri (Code, Price1)", {"'NEW', 2"}));
      user_[file] = platform::ReadFile(Installed(file));
      release_[file] = platform::ReadFile(package_.folder() + file);
    }
    package_.Write("KrUpdatedR0110.ini", "[R0110]\r\n");
  }
  void TearDown() override { unsetenv("KR_NOW"); }

  std::string Installed(std::string_view file) const {
    return install_.folder() + "File\\2019年度\\" + std::string(file);
  }

  void Restore() {
    std::filesystem::remove(install_.Native("KrUpdatedR0110.ini"));
    for (const auto& entry :
         std::filesystem::directory_iterator(install_.Native("File/2019年度"))) {
      std::filesystem::remove(entry.path());
    }
    for (const auto& [file, bytes] : user_) platform::WriteFile(Installed(file), bytes);
  }

  bool Finished() const { return install_.Exists("KrUpdatedR0110.ini"); }

  // Checks the year folder after a run; where names the run.
  void CheckFolder(const std::string& where, bool finished) {
    for (const auto& [file, user] : user_) {
      std::string name = file.substr(0, file.size() - 4);
      ASSERT_TRUE(Exists(Installed(file))) << where << ": " << file << " is gone";
      std::string now = platform::ReadFile(Installed(file));
      if (finished) {
        EXPECT_EQ(now, release_[file]) << where << ": " << file << " not replaced";
      } else {
        EXPECT_TRUE(now == user || now == release_[file]) << where << ": " << file << " is torn";
      }
      std::string backup = Installed(name + "201911059999.old");
      if (now != user || finished) {
        ASSERT_TRUE(Exists(backup)) << where << ": " << file << " without backup";
      }
      if (Exists(backup)) {
        EXPECT_EQ(platform::ReadFile(backup), user) << where << ": the backup of " << file;
      }
    }
    for (const auto& entry :
         std::filesystem::directory_iterator(install_.Native("File/2019年度"))) {
      std::string name = entry.path().filename().string();
      EXPECT_TRUE(name.ends_with(".mdb") || name.ends_with(".old")) << where << ": left " << name;
    }
  }

  std::map<std::string, std::string> user_, release_;
};

// The installed databases and the release's, as the user and the release have them.
using October2019Test = ReplacementFaultsTest;

// KrVal.mdb of the release made with Access: the installed copy is converted, prices exact.
TEST_F(October2019Test, TheOctober2019ReplacementRunsOnceAndKeepsTheUsersDatabasesAsBackups) {
  package_.Write("KrVal.mdb",
                 platform::ReadFile(testing::SourceFile("tests/fixtures/access/testV2003.mdb")));
  Run("Update2019CopyCriValR0110");
  EXPECT_FALSE(db::engine::IsAccessFile(install_.Native("File/2019年度/KrVal.mdb")));
  EXPECT_EQ(Query("File/2019年度/KrVal.mdb", "SELECT A, H, CCur(H * 3) FROM Table1 ORDER BY A"),
            (Rows{"a\t0\t0", "abcdefg\t3.5\t10.5"}));
  EXPECT_EQ(Query("File/2019年度/KrCri.mdb", "SELECT Code FROM Cri"), (Rows{"NEW"}));
  EXPECT_EQ(testing::QueryRows(install_.Native("File/2019年度/KrCri201911059999.old"),
                               "SELECT Code FROM Cri"),
            (Rows{"OLD"}));
  EXPECT_TRUE(install_.Exists("KrUpdatedR0110.ini"));
  EXPECT_TRUE(ui_.boxes.empty());

  testing::RunScriptText(install_.Native("File/2019年度/KrCri.mdb"),
                         Insert("Cri (Code)", {"'USER'"}));
  Run("Update2019CopyCriValR0110");
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "すでに2019年10月版で更新されています。");
  EXPECT_EQ(ui_.boxes[0].title, "確認メッセージ");
  EXPECT_EQ(Query("File/2019年度/KrCri.mdb", "SELECT Code FROM Cri ORDER BY Code"),
            (Rows{"NEW", "USER"}));

  // Without the marker (a run that did not finish) the same day's backup stays the user's copy;
  // what the database held since is kept beside it.
  std::filesystem::remove(install_.Native("KrUpdatedR0110.ini"));
  Run("Update2019CopyCriValR0110");
  EXPECT_EQ(testing::QueryRows(install_.Native("File/2019年度/KrCri201911059999.old"),
                               "SELECT Code FROM Cri"),
            (Rows{"OLD"}));
  EXPECT_EQ(testing::QueryRows(install_.Native("File/2019年度/KrCri201911059999-1.old"),
                               "SELECT Code FROM Cri ORDER BY Code"),
            (Rows{"NEW", "USER"}));
  EXPECT_EQ(Query("File/2019年度/KrCri.mdb", "SELECT Code FROM Cri"), (Rows{"NEW"}));
}

TEST_F(ReplacementFaultsTest, EachFailingOperationLeavesEveryDatabaseWholeAndARerunFinishes) {
  constexpr unsigned kOps = DatabaseFaults::kAll | DatabaseFaults::kFileChange;
  DatabaseFaults faults;
  faults.FailAt(0, 0, kOps);
  {
    platform::ScopedEnv env(faults);
    Run("Update2019CopyCriValR0110");
  }
  int64_t total = faults.count();
  CheckFolder("an undisturbed run", true);
  ASSERT_TRUE(Finished());
  ASSERT_GT(total, 10);

  // One operation failing, then (as a run killed there) every operation from the nth on.
  const int errors[] = {kErrDiskFull, kErrDeviceIo, kErrPermissionDenied};
  for (int64_t i = 1; i <= 2 * total && !HasFatalFailure(); ++i) {
    int64_t n = i <= total ? i : i - total;
    bool sticky = i > total;
    Restore();
    faults.FailAt(n, errors[n % 3], kOps, sticky);
    {
      platform::ScopedEnv env(faults);
      Run("Update2019CopyCriValR0110");
    }
    std::string where = "operation " + std::to_string(n) + " of " + std::to_string(total) + " (" +
                        faults.first_failed() + ")";
    CheckFolder(where, Finished());
    if (Finished()) continue;  // the failure cost nothing the rerun would redo
    Run("Update2019CopyCriValR0110");
    EXPECT_TRUE(Finished()) << where;
    CheckFolder(where + ", then run again", true);
  }
}

}  // namespace
}  // namespace kr::routines::test
