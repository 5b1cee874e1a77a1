// A database a routine migrates changes as a whole or not at all. A run killed in the middle, or a
// disk failing at one operation (a database read, write, sync, lock or journal, or the backup's
// copy), leaves every file whole and the database as it was or as the routine makes it, never in
// between; a run that left it as it was says so, later routines of that run leave it alone, and
// the next run migrates it whole. A settings database the variant tests cannot read is met through
// kr-updater-cli in tests/crash/migration_cli_test.cpp.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/platform.h"
#include "tests/routines/routines_fixture.h"
#include "tests/testing/database_faults.h"

namespace kr::routines::test {
namespace {

using testing::DatabaseFaults;

constexpr std::string_view kFolder = "File/平成30年度";

// Killed at the nth caption of the progress line: between two groups of a routine's steps.
class KillingUi : public testing::FakeUi {
 public:
  explicit KillingUi(int kill_at) : kill_at_(kill_at) {}
  void SetWaitLabel(int index, std::string_view text) override {
    FakeUi::SetWaitLabel(index, text);
    if (index == 1 && ++captions_ == kill_at_) raise(SIGKILL);
  }

 private:
  int kill_at_;
  int captions_ = 0;
};

TEST_F(Val30Test, ARunKilledMidDatabaseLeavesItAsItWasAndTheNextRunMigratesItWhole) {
  // Killed after the first group, in the middle, and before the last: each time the
  // database is as it was, backed up once more, and the release is not recorded.
  for (int caption : {2, 4, 6}) {
    run_.run_stamp = "20200407160" + std::to_string(caption);
    pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
      KillingUi ui(caption);
      ui.ShowWait(run_.title);
      registry_.Run(kRoutine, "", run_, ui);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before caption " << caption;
    EXPECT_EQ(Contents(), before_) << "killed at caption " << caption;
  }
  EXPECT_EQ(Backups(kFolder).size(), 3u);
  ExpectRerunFinishes("after three killed runs");
}

class EntryFaultsTest : public Val30Test {
 protected:
  // How many operations of the kinds in ops an undisturbed run makes.
  int64_t Count(unsigned ops) {
    faults_.FailAt(0, 0, ops);
    RunWith(faults_);
    Restore();
    return faults_.count();
  }

  void RunWith(DatabaseFaults& env) {
    ui_.boxes.clear();
    platform::ScopedEnv scoped(env);
    Run(kRoutine);
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

  // Runs the routine with the nth operation failing (and every later one, when sticky), checks
  // what the run left, runs it again on a sound disk and checks that the second run finished the
  // work.
  void FailAndRerun(unsigned ops, int64_t n, int error, bool sticky) {
    faults_.FailAt(n, error, ops, sticky);
    run_.run_stamp = "202004071600";
    RunWith(faults_);
    std::string where = "operation " + std::to_string(n) + " (" + faults_.first_failed() +
                        ") failing with " + std::to_string(error) + (sticky ? " and on" : "");
    ASSERT_TRUE(faults_.fired()) << where;
    db::Database db = db::OpenAppDatabase(install_.Native(kVal30));
    std::vector<std::string> damage = db.CheckFile();
    db.Close();
    EXPECT_TRUE(damage.empty()) << where << ": " << damage.front();
    Tables look = Contents();
    EXPECT_TRUE(look == before_ || look == after_)
        << where << ": left in between; unlike before:" << testing::Differences(before_, look)
        << "\nunlike after:" << testing::Differences(after_, look);
    for (const std::string& backup : Backups(kFolder)) {
      std::string bytes =
          platform::ReadFile(install_.folder() + std::string(kFolder) + "/" + backup);
      EXPECT_EQ(bytes, original_) << where << ": backup " << backup << " is not the original";
    }
    for (const std::string& stray : Strays()) {
      // A hot journal is part of the database: the next open plays it back.
      EXPECT_EQ(stray, "KrVal.mdb-journal") << where << ": left " << stray;
    }
    ExpectRerunFinishes(where);
    EXPECT_TRUE(Strays().empty()) << where << ": the rerun left " << Strays().front();
    Restore();
  }

  DatabaseFaults faults_;
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

// Left as it was, byte for byte, known to the run as such, and finished by the next run.
TEST_F(Val30Test, ABackupThatCannotBeMadeLeavesTheDatabaseUnchanged) {
  for (int error : {kErrDiskFull, kErrDeviceIo}) {
    std::string where = "the backup's copy failing with " + std::to_string(error);
    DatabaseFaults faults;
    faults.FailAt(1, error, DatabaseFaults::kFileChange);
    {
      platform::ScopedEnv scoped(faults);
      Run(kRoutine);
    }
    ASSERT_TRUE(faults.fired()) << where;
    EXPECT_EQ(platform::ReadFile(Target()), original_) << where;
    EXPECT_EQ(run_.unfinished, std::set<std::string>{Target()}) << where;
    EXPECT_TRUE(Backups(kFolder).empty()) << where;
    ExpectRerunFinishes(where);
    Restore();
  }
}

TEST_F(Val30Test, AfterARolledBackEntryLaterRoutinesOfTheRunLeaveTheDatabaseAlone) {
  DatabaseFaults faults;
  faults.FailAt(3, kErrDeviceIo, DatabaseFaults::kWrite);
  {
    platform::ScopedEnv scoped(faults);
    Run(kRoutine);
  }
  ASSERT_TRUE(faults.fired());
  EXPECT_EQ(Contents(), before_);
  EXPECT_EQ(run_.unfinished, std::set<std::string>{Target()});
  // The disk is sound again, but this run's later routines do not build on a missing entry.
  RunLater(kRoutine);
  EXPECT_EQ(Contents(), before_);
  ExpectRerunFinishes("after a rolled-back entry");
}

TEST_F(Val30Test, ATableWhoseCarryOverFailsKeepsTheUsersValues) {
  // A user's table without one of the price columns the carry-over sets.
  testing::RunScriptText(install_.Native(kVal30), "ALTER TABLE Val120 DROP COLUMN JPer;\n");
  Tables before = Contents();
  Run(kRoutine);
  Tables now = Contents();
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
