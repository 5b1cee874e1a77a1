// A migration that cannot be done whole leaves the database as it was, and the run says so: a
// backup that cannot be made, an entry rolled back by the disk, a variant test that cannot read
// its data, a table whose carry-over fails. Later routines of the run leave such a database alone;
// the next run ends where an undisturbed one does, every table compared.
#include <map>

#include "demo/fixture_generator.h"
#include "platform/platform.h"
#include "tests/routines/routines_fixture.h"
#include "tests/testing/database_faults.h"

namespace kr::routines::test {
namespace {

using testing::DatabaseFaults;
using Tables = std::map<std::string, Rows>;

constexpr std::string_view kVal30 = "File/平成30年度/KrVal.mdb";
constexpr const char* kRoutine = "Update2018ValH3011";

class SafeMigrationsTest : public RoutineTest {
 protected:
  void SetUp() override {
    InstallVal30(3, 2);
    original_ = platform::ReadFile(install_.Native(kVal30));
    before_ = Tables_();
    Run(kRoutine);
    after_ = Tables_();
    ASSERT_NE(after_, before_);
    ASSERT_TRUE(run_.unfinished.empty());
    platform::WriteFile(install_.Native(kVal30), original_);
    for (const std::string& backup : Backups("File/平成30年度")) {
      platform::DeleteFile(install_.folder() + "File\\平成30年度\\" + backup);
    }
    run_.run_stamp = "202004071600";
  }

  Tables Tables_() const {
    Tables tables;
    db::Database db = db::OpenAppDatabase(install_.Native(kVal30));
    std::vector<std::string> names;
    for (const db::TableDef& table : db.TableDefs()) {
      if ((table.Attributes() & db::engine::kSystemObject) == 0) names.push_back(table.Name());
    }
    for (const std::string& name : names) {
      tables[name] = SortedRows(db, "SELECT * FROM [" + name + "]");
    }
    db.Close();
    return tables;
  }

  std::string Target() const { return install_.folder() + "File\\平成30年度\\KrVal.mdb"; }

  // Left as it was, byte for byte, and known to the run as such.
  void ExpectUnchanged(const std::string& where) {
    EXPECT_EQ(platform::ReadFile(install_.Native(kVal30)), original_) << where;
    EXPECT_EQ(run_.unfinished, std::set<std::string>{Target()}) << where;
  }

  // The next run, on a sound disk, ends where the undisturbed one did.
  void ExpectRerunFinishes(const std::string& where) {
    run_.run_stamp = "202004071700";
    Run(kRoutine);
    EXPECT_EQ(Tables_(), after_) << where;
    EXPECT_TRUE(run_.unfinished.empty()) << where;
  }

  std::string original_;
  Tables before_, after_;
};

TEST_F(SafeMigrationsTest, ABackupThatCannotBeMadeLeavesTheDatabaseUnchanged) {
  for (int error : {kErrDiskFull, kErrDeviceIo}) {
    std::string where = "the backup's copy failing with " + std::to_string(error);
    DatabaseFaults faults;
    faults.FailAt(1, error, DatabaseFaults::kFileChange);
    {
      platform::ScopedEnv scoped(faults);
      Run(kRoutine);
    }
    ASSERT_TRUE(faults.fired()) << where;
    ExpectUnchanged(where);
    EXPECT_TRUE(Backups("File/平成30年度").empty()) << where;
    ExpectRerunFinishes(where);
    platform::WriteFile(install_.Native(kVal30), original_);
    for (const std::string& backup : Backups("File/平成30年度")) {
      platform::DeleteFile(install_.folder() + "File\\平成30年度\\" + backup);
    }
  }
}

TEST_F(SafeMigrationsTest, AfterARolledBackEntryLaterRoutinesOfTheRunLeaveTheDatabaseAlone) {
  DatabaseFaults faults;
  faults.FailAt(3, kErrDeviceIo, DatabaseFaults::kWrite);
  {
    platform::ScopedEnv scoped(faults);
    Run(kRoutine);
  }
  ASSERT_TRUE(faults.fired());
  EXPECT_EQ(Tables_(), before_);
  EXPECT_EQ(run_.unfinished, std::set<std::string>{Target()});
  // The disk is sound again, but this run's later routines do not build on a missing entry.
  RunLater(kRoutine);
  EXPECT_EQ(Tables_(), before_);
  ExpectRerunFinishes("after a rolled-back entry");
}

TEST_F(SafeMigrationsTest, AVariantTestThatCannotReadItsDatabaseSkipsTheTarget) {
  // The settings database the edition test reads is there but no database at all.
  platform::WriteFile(install_.folder() + "File\\KrSet.mdb", "not a database");
  Run(kRoutine);
  ExpectUnchanged("an unreadable KrSet.mdb");
  platform::DeleteFile(install_.folder() + "File\\KrSet.mdb");
  ExpectRerunFinishes("an unreadable KrSet.mdb, then none");
}

TEST_F(SafeMigrationsTest, ATableWhoseCarryOverFailsKeepsTheUsersValues) {
  // A user's table without one of the price columns the carry-over sets.
  testing::RunScriptText(install_.Native(kVal30), "ALTER TABLE Val120 DROP COLUMN JPer;\n");
  Tables before = Tables_();
  Run(kRoutine);
  Tables now = Tables_();
  // Val120s's stretch overlaps Val120's: they are one unit.
  EXPECT_EQ(now["Val120"], before["Val120"]);
  EXPECT_EQ(now["Val120s"], before["Val120s"]);
  EXPECT_EQ(now.count("Val120Old"), 0u);
  // The rest of the entry is done and recorded.
  EXPECT_EQ(now["Val130"], after_["Val130"]);
  EXPECT_EQ(now["Version"], after_["Version"]);
  EXPECT_TRUE(run_.unfinished.empty());
}

}  // namespace
}  // namespace kr::routines::test
