// A disk that fails in the middle of a migration entry (whole-table copy, row transfer, version
// stamp, one transaction) leaves the database sound and as it was or as the entry makes it, never
// in between; a failure that undid the entry reaches the caller as the engine's own error.
#include <optional>

#include "platform/platform.h"
#include "tests/db/db_fixture.h"
#include "tests/testing/database_faults.h"

namespace kr::db::test {
namespace {

using testing::DatabaseFaults;

constexpr int kRows = 150;
// The engine's numbers for a full disk, a disk or network error and a file it cannot open.
constexpr int kDiskFull = 3026;
constexpr int kDiskOrNetworkError = 3043;
constexpr int kCannotOpenFile = 3051;

std::string Script(std::string_view name_prefix, int first, int price) {
  std::string script =
      "CREATE TABLE Cri (Code TEXT(10) NOT NULL, Name TEXT(80), Price DOUBLE, "
      "CONSTRAINT PrimaryKey PRIMARY KEY (Code));\n"
      "CREATE TABLE Val (ValCode TEXT(10) NOT NULL, ValPrice1 DOUBLE, "
      "CONSTRAINT PrimaryKey PRIMARY KEY (ValCode));\n"
      "CREATE TABLE Version (Ver TEXT(20), Comment TEXT(255));\n"
      "INSERT INTO Version (Ver) VALUES ('2017,1,1');\n";
  // Names long enough that the tables span many pages, so a change writes several of them.
  std::string name = std::string(name_prefix) + std::string(60, 'x');
  for (int i = first; i < first + kRows; ++i) {
    std::string code = std::to_string(100000 + i);
    script += "INSERT INTO Cri (Code, Name, Price) VALUES ('" + code + "', '" + name + "', " +
              std::to_string(price) + ");\n";
    script += "INSERT INTO Val (ValCode, ValPrice1) VALUES ('" + code + "', " +
              std::to_string(price + i) + ");\n";
  }
  return script;
}

// What a look at the database after the run finds.
struct State {
  std::vector<std::string> damage;
  Rows rows;
};

class DiskFaultTest : public DbTest {
 protected:
  void SetUp() override {
    // Half of the release's codes are new, half replace the user's rows.
    testing::MakeDatabaseFromText(InPackage("KrCri201811.mdb"), Script("新", kRows / 2, 2));
    testing::MakeDatabaseFromText(InInstall("KrCri.mdb"), Script("旧", 0, 1));
    pristine_ = install_.Read("KrCri.mdb");
    before_ = Look();
    ASSERT_FALSE(RunEntry(0, 0, false).has_value());
    after_ = Look();
    total_ = faults_.count();
    ASSERT_NE(before_.rows, after_.rows);
  }

  // The entry: one transaction over a copy, a transfer and the stamp. Returns the failure the
  // caller sees. Every database-file operation from BeginTrans to CommitTrans is counted, and the
  // nth fails with error.
  std::optional<Failure> RunEntry(int64_t n, int error, bool sticky) {
    install_.Write("KrCri.mdb", pristine_);
    Database source = OpenAppDatabase(InPackage("KrCri201811.mdb"));
    Database target = OpenAppDatabase(InInstall("KrCri.mdb"));
    target.AttachAhead(source.Name());
    std::optional<Failure> failure;
    {
      platform::ScopedEnv env(faults_);
      faults_.FailAt(n, error, DatabaseFaults::kAll, sticky);
      try {
        target.BeginTrans();
        CopyTable(source, target, "Cri", "", "Code");
        TransferRows(source, target, "Val", "", "ValCode");
        WriteVersion(target, VersionTuple{2018, 1, 1}, "");
        target.CommitTrans();
      } catch (const Failure& f) {
        failure = f;
      }
      faults_.Heal();
    }
    source.Close();
    target.Close();
    return failure;
  }

  State Look() {
    Database db = OpenAppDatabase(InInstall("KrCri.mdb"));
    State state{db.CheckFile(), {}};
    for (std::string_view select :
         {"SELECT Code, Name, Price FROM Cri ORDER BY Code",
          "SELECT ValCode, ValPrice1 FROM Val ORDER BY ValCode", "SELECT Ver FROM Version"}) {
      for (std::string& row : Select(db, select)) state.rows.push_back(std::move(row));
    }
    db.Close();
    return state;
  }

  // Runs the entry failing at every operation in turn and checks what each run leaves.
  void Sweep(const std::vector<int>& errors, bool sticky) {
    ASSERT_GT(total_, 10);
    for (int64_t n = 1; n <= total_; ++n) {
      int error = errors[static_cast<size_t>(n) % errors.size()];
      std::optional<Failure> failure = RunEntry(n, error, sticky);
      std::string where = "operation " + std::to_string(n) + " of " + std::to_string(total_) +
                          " (" + faults_.first_failed() + ") failing with " + std::to_string(error);
      ASSERT_TRUE(faults_.fired()) << where;
      State state = Look();
      EXPECT_TRUE(state.damage.empty()) << where << ": " << state.damage.front();
      bool was_before = state.rows == before_.rows;
      EXPECT_TRUE(was_before || state.rows == after_.rows) << where << ": left in between";
      if (was_before) {
        ASSERT_TRUE(failure.has_value()) << where << ": undone without a word";
        if (error == kErrDiskFull) {
          EXPECT_EQ(failure->number(), kDiskFull) << where;
        } else {
          EXPECT_TRUE(failure->number() == kDiskOrNetworkError ||
                      failure->number() == kCannotOpenFile)
              << where << ": " << failure->number() << " " << failure->what();
        }
      }
    }
  }

  std::string pristine_;
  State before_, after_;
  int64_t total_ = 0;
  DatabaseFaults faults_;
};

TEST_F(DiskFaultTest, OneFailedOperationLeavesTheDatabaseBeforeOrAfterTheEntry) {
  Sweep({kErrDiskFull, kErrDeviceIo, kErrPermissionDenied}, false);
}

TEST_F(DiskFaultTest, ADiskThatStaysBrokenLeavesTheDatabaseBeforeOrAfterTheEntry) {
  // Every operation from the nth on fails, the undo included; the next open repairs the file
  // from its journal.
  Sweep({kErrDeviceIo, kErrDiskFull}, true);
}

}  // namespace
}  // namespace kr::db::test
