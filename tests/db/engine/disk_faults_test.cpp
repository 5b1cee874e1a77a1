// The engine's files go through platform's database-file methods: a disk that fails reads as
// the engine's own errors, a change it interrupts is undone, and two opens of one file in this
// process keep each other out as two programs would.
#include <optional>

#include "platform/platform.h"
#include "tests/db/engine/engine_fixture.h"
#include "tests/testing/database_faults.h"

namespace kr::db::engine::test {
namespace {

using kr::testing::DatabaseFaults;

class DiskFaultTest : public EngineTest {
 protected:
  void SetUp() override {
    Database db = Create("t.mdb");
    Run(db, {"CREATE TABLE Val (Code TEXT(10), Price CURRENCY, CONSTRAINT PrimaryKey PRIMARY KEY "
             "(Code))",
             "INSERT INTO Val VALUES ('A', 1)"});
    db.Close();
  }
  std::vector<std::string> Prices() {
    Database db = OpenDatabase(Path("t.mdb"));
    return Rows(db, "SELECT Code, Price FROM Val ORDER BY Code");
  }
  DatabaseFaults faults_;
};

TEST_F(DiskFaultTest, EachFailingFileOperationReadsAsTheEnginesError) {
  struct Case {
    const char* what;
    unsigned op;
    int error;
    int expected;
  };
  const Case cases[] = {
      {"page written on a full disk", DatabaseFaults::kWrite, kErrDiskFull, 3026},
      {"page write failing", DatabaseFaults::kWrite, kErrDeviceIo, 3043},
      {"journal created on a full disk", DatabaseFaults::kOpen, kErrDiskFull, 3026},
      {"journal creation refused", DatabaseFaults::kOpen, kErrPermissionDenied, 3051},
      {"sync failing", DatabaseFaults::kSync, kErrDeviceIo, 3043},
      {"lock failing", DatabaseFaults::kLock, kErrDeviceIo, 3043},
      {"lock refused", DatabaseFaults::kLock, kErrPermissionDenied, 3043},
      {"journal removal failing", DatabaseFaults::kDelete, kErrDeviceIo, 3043},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Database db = OpenDatabase(Path("t.mdb"));
    {
      kr::platform::ScopedEnv env(faults_);
      faults_.FailAt(1, c.error, c.op);
      EXPECT_EQ(ExecuteError(db, "INSERT INTO Val VALUES ('B', 2)"), c.expected);
      EXPECT_TRUE(faults_.fired());
      faults_.Heal();
    }
    db.Close();
    // The interrupted change is undone, from the journal when it had been written already.
    EXPECT_EQ(Prices(), V({"A|1"}));
  }
}

TEST_F(DiskFaultTest, AFailingReadReadsAsADiskError) {
  Database db = OpenDatabase(Path("t.mdb"));
  kr::platform::ScopedEnv env(faults_);
  faults_.FailAt(1, kErrDeviceIo, DatabaseFaults::kRead);
  EXPECT_EQ(QueryError(db, "SELECT Code FROM Val"), 3043);
  faults_.Heal();
  EXPECT_EQ(Rows(db, "SELECT Code FROM Val"), V({"A"}));
}

TEST_F(DiskFaultTest, AFileTheDiskWillNotOpenForWritingCannotBeOpenedForWriting) {
  // Not a database that opens and then fails every change: the caller learns it at the open.
  {
    kr::platform::ScopedEnv env(faults_);
    faults_.FailAt(1, kErrPermissionDenied, DatabaseFaults::kOpen);
    EXPECT_EQ(ErrorOf([&] { OpenDatabase(Path("t.mdb")); }), 3051);
    EXPECT_TRUE(faults_.fired());
  }
  EXPECT_EQ(Prices(), V({"A|1"}));
}

TEST_F(DiskFaultTest, ATransactionHitByAFullDiskIsUndoneWholeAndCannotBeCommitted) {
  Database db = OpenDatabase(Path("t.mdb"));
  db.BeginTrans();
  db.Execute("UPDATE Val SET Price = 5 WHERE Code = 'A'");
  {
    kr::platform::ScopedEnv env(faults_);
    faults_.FailAt(1, kErrDiskFull, DatabaseFaults::kWrite | DatabaseFaults::kOpen, true);
    for (int i = 0; i < 200; ++i) {
      // A caller that skips failing statements goes on; none of them may reach the file alone.
      ExecuteError(db, "INSERT INTO Val VALUES ('C" + std::to_string(i) + "', 3)");
    }
    EXPECT_TRUE(faults_.fired());
    faults_.Heal();
  }
  // The room is back, but the transaction has lost changes: nothing of it may be committed.
  EXPECT_EQ(ExecuteError(db, "UPDATE Val SET Price = 9 WHERE Code = 'A'"), 3026);
  EXPECT_EQ(ErrorOf([&] { db.CommitTrans(); }), 3026);
  db.Close();
  EXPECT_EQ(Prices(), V({"A|1"}));
}

TEST_F(DiskFaultTest, AFailureOnOneDatabaseDoesNotCountAgainstAnother) {
  Create("other.mdb").Execute("CREATE TABLE Val (Code TEXT(10))");
  Database failing = OpenDatabase(Path("t.mdb"));
  Database other = OpenDatabase(Path("other.mdb"));
  other.BeginTrans();
  other.Execute("INSERT INTO Val VALUES ('X')");
  {
    kr::platform::ScopedEnv env(faults_);
    faults_.FailAt(1, kErrDiskFull, DatabaseFaults::kWrite | DatabaseFaults::kOpen);
    EXPECT_EQ(ExecuteError(failing, "INSERT INTO Val VALUES ('B', 2)"), 3026);
    faults_.Heal();
  }
  EXPECT_EQ(failing.DiskFailures(), 1);
  EXPECT_EQ(other.DiskFailures(), 0);
  other.Execute("INSERT INTO Val VALUES ('Y')");
  EXPECT_EQ(ErrorOf([&] { other.CommitTrans(); }), 0);
  other.Close();
  EXPECT_EQ(other.DiskFailures(), 0);
  failing.Close();
  EXPECT_EQ(failing.DiskFailures(), 1);
  Database reopened = OpenDatabase(Path("other.mdb"));
  EXPECT_EQ(Rows(reopened, "SELECT Code FROM Val ORDER BY Code"), V({"X", "Y"}));
  EXPECT_EQ(Prices(), V({"A|1"}));
}

TEST_F(DiskFaultTest, AnOpenBeingChangedStaysLockedWhenAnotherOpenOfTheFileCloses) {
  Database writer = OpenDatabase(Path("t.mdb"));
  Database other = OpenDatabase(Path("t.mdb"));
  writer.BeginTrans();
  writer.Execute("INSERT INTO Val VALUES ('B', 2)");
  OpenDatabase(Path("t.mdb")).Close();
  // Still locked out: the closed open took none of the writer's locks with it.
  EXPECT_EQ(ExecuteError(other, "INSERT INTO Val VALUES ('C', 3)"), 3211);
  EXPECT_EQ(Rows(other, "SELECT Code FROM Val"), V({"A"}));
  writer.CommitTrans();
  EXPECT_EQ(Rows(other, "SELECT Code FROM Val ORDER BY Code"), V({"A", "B"}));
}

}  // namespace
}  // namespace kr::db::engine::test
