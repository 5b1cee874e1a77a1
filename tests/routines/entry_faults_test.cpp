// A migration whose disk fails at one operation (a database read, write, sync, lock or journal, or
// the backup's copy) leaves every file whole and the database as it was or as the routine makes
// it, never in between; a run that left it as it was says so, and the next run migrates it whole.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "demo/fixture_generator.h"
#include "platform/platform.h"
#include "tests/routines/routines_fixture.h"
#include "tests/testing/database_faults.h"

namespace kr::routines::test {
namespace {

using testing::DatabaseFaults;

constexpr std::string_view kFolder = "File/平成30年度";
constexpr std::string_view kVal30 = "File/平成30年度/KrVal.mdb";

// What a user could see of the database: every table's rows sorted, its Ver, and any damage.
struct Look {
  std::map<std::string, Rows> tables;
  std::string ver;
  std::vector<std::string> damage;
};

class EntryFaultsTest : public RoutineTest {
 protected:
  void SetUp() override {
    InstallVal30(3, 2);
    original_ = platform::ReadFile(Path(kVal30));
    before_ = See();

    ASSERT_TRUE(RunWith(sound_, "202004071530"));
    after_ = See();
    ASSERT_NE(after_.tables, before_.tables);
    ASSERT_EQ(after_.ver, "2018,1,1");
    Restore();
  }

  // How many operations of the kinds in ops an undisturbed run makes.
  int64_t Count(unsigned ops) {
    faults_.FailAt(0, 0, ops);
    RunWith(faults_, "202004071530");
    Restore();
    return faults_.count();
  }

  std::string Path(std::string_view relative) const {
    return install_.folder() + std::string(relative);
  }

  bool RunWith(DatabaseFaults& env, std::string_view stamp) {
    run_.run_stamp = stamp;
    ui_.boxes.clear();
    platform::ScopedEnv scoped(env);
    return Run("Update2018ValH3011");
  }

  // Read in process: a look at every table through krdb would cost more than the run.
  Look See() const {
    Look look;
    db::Database db = db::OpenAppDatabase(Path(kVal30));
    for (const std::string& table : fixtures::StandardTables("KrVal")) {
      look.tables[table] =
          db::TableExists(db, table) ? SortedRows(db, "SELECT * FROM [" + table + "]") : Rows{};
    }
    look.damage = db.CheckFile();
    db.Close();
    const Rows& version = look.tables["Version"];
    look.ver = version.empty() ? "" : version.front().substr(0, version.front().find('|'));
    return look;
  }

  // The tables whose rows differ between two looks (a readable message instead of every row).
  static std::string Differing(const Look& a, const Look& b) {
    std::string names;
    for (const auto& [table, rows] : a.tables) {
      auto other = b.tables.find(table);
      if (other == b.tables.end() || other->second != rows) names += " " + table;
    }
    return names.empty() ? " none" : names;
  }

  // The year folder's files other than the database and its backups: temporaries a run left.
  std::vector<std::string> Strays() const {
    std::vector<std::string> strays;
    for (const auto& entry : std::filesystem::directory_iterator(install_.Native(kFolder))) {
      std::string name = entry.path().filename().string();
      if (name != "KrVal.mdb" && !name.ends_with(".old")) strays.push_back(name);
    }
    return strays;
  }

  void Restore() {
    for (const std::string& name : Backups(kFolder)) {
      std::filesystem::remove(install_.Native(std::string(kFolder) + "/" + name));
    }
    platform::WriteFile(Path(kVal30), original_);
  }

  // Runs the routine with the nth operation failing (and every later one, when sticky), checks
  // what the run left, runs it again on a sound disk and checks that the second run finished the
  // work.
  void FailAndRerun(unsigned ops, int64_t n, int error, bool sticky) {
    faults_.FailAt(n, error, ops, sticky);
    RunWith(faults_, "202004071600");
    std::string where = "operation " + std::to_string(n) + " (" + faults_.first_failed() +
                        ") failing with " + std::to_string(error) + (sticky ? " and on" : "");
    ASSERT_TRUE(faults_.fired()) << where;
    Look look = See();
    EXPECT_TRUE(look.damage.empty()) << where << ": " << look.damage.front();
    bool unchanged = look.tables == before_.tables && look.ver == before_.ver;
    bool migrated = look.tables == after_.tables && look.ver == after_.ver;
    EXPECT_TRUE(unchanged || migrated) << where << ": left in between (Ver " << look.ver
                                       << "; tables unlike before:" << Differing(look, before_)
                                       << "; unlike after:" << Differing(look, after_) << ")";
    for (const std::string& backup : Backups(kFolder)) {
      std::string bytes = platform::ReadFile(Path(std::string(kFolder) + "/" + backup));
      EXPECT_EQ(bytes, original_) << where << ": backup " << backup << " is not the original";
    }
    for (const std::string& stray : Strays()) {
      // A hot journal is part of the database: the next open plays it back.
      EXPECT_EQ(stray, "KrVal.mdb-journal") << where << ": left " << stray;
    }

    RunWith(sound_, "202004071700");
    Look rerun = See();
    EXPECT_TRUE(rerun.tables == after_.tables)
        << where << ": the rerun did not finish the work:" << Differing(rerun, after_);
    EXPECT_EQ(rerun.ver, after_.ver) << where;
    EXPECT_TRUE(Strays().empty()) << where << ": the rerun left " << Strays().front();
    Restore();
  }

  DatabaseFaults faults_;
  DatabaseFaults sound_;
  std::string original_;
  Look before_, after_;
};

TEST_F(EntryFaultsTest, EachFailingChangeToTheDiskLeavesTheDatabaseBeforeOrAfter) {
  // Every change up to two hundred; above that an even spread, ends included, so that the
  // suite stays within its time (KR_FAULT_POINTS=0 tries every one).
  int64_t total = Count(DatabaseFaults::kChanges);
  ASSERT_GT(total, 100);
  const int errors[] = {kErrDiskFull, kErrDeviceIo, kErrPermissionDenied};
  const char* asked = std::getenv("KR_FAULT_POINTS");
  int64_t points = asked ? std::atoll(asked) : 200;
  if (points <= 1 || points > total) points = total;
  std::printf("[ faults   ] %lld of %lld changes to the disk tried\n",
              static_cast<long long>(points), static_cast<long long>(total));
  for (int64_t k = 0; k < points && !HasFatalFailure(); ++k) {
    int64_t n = points == total ? k + 1 : 1 + k * (total - 1) / (points - 1);
    FailAndRerun(DatabaseFaults::kChanges, n, errors[n % 3], false);
  }
}

TEST_F(EntryFaultsTest, FailingReadsSizesAndLocksLeaveTheDatabaseBeforeOrAfter) {
  // Hundreds of them (the catalogue is checked without a lock cycle): a spread of a hundred,
  // ends included (KR_FAULT_POINTS more).
  int64_t total = Count(DatabaseFaults::kLooks);
  ASSERT_GT(total, 300);
  const int errors[] = {kErrDeviceIo, kErrPermissionDenied};
  const char* asked = std::getenv("KR_FAULT_POINTS");
  const int64_t kPoints = std::clamp<int64_t>(asked ? std::atoll(asked) : 100, 2, total);
  for (int64_t k = 0; k < kPoints && !HasFatalFailure(); ++k) {
    int64_t n = 1 + k * (total - 1) / (kPoints - 1);
    FailAndRerun(DatabaseFaults::kLooks, n, errors[k % 2], false);
  }
}

TEST_F(EntryFaultsTest, ADiskThatStaysBrokenLeavesTheDatabaseBeforeOrAfter) {
  // From the nth change on, every change and every look fails, the undo's included.
  int64_t total = Count(DatabaseFaults::kChanges);
  const int errors[] = {kErrDeviceIo, kErrDiskFull};
  for (int64_t n = 1; n <= total && !HasFatalFailure(); n += 7) {
    FailAndRerun(DatabaseFaults::kChanges, n, errors[n % 2], true);
  }
}

}  // namespace
}  // namespace kr::routines::test
