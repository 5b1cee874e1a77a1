// libFuzzer target for krdb's script runner: bytes -> a Jet SQL script -> RunScript over one
// database in a temporary folder, inside a transaction that is rolled back after every input,
// so that each input meets the same tables and rows.
//
// Checked: no crash, hang, leak or sanitizer report; only kr::Failure escapes, always with a
// number and the line of the statement that failed; after the rollback the database holds
// exactly what it held before.
//
// SQLite gets a budget of virtual-machine steps per input (through an auto extension, the
// engine's connections are not reachable from here): a script may legitimately multiply rows
// without end, and that is no fault of the runner.
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>

#include "app/krdb/krdb.h"
#include "db/engine/engine.h"
#include "fuzz/fuzz_env.h"
#include "platform/failure.h"

namespace {

namespace engine = kr::db::engine;
using kr::fuzz::Bug;

constexpr int kStepsPerCall = 1000;
constexpr int kCallsPerInput = 3000;
int calls_left = kCallsPerInput;

int Budget(void*) { return --calls_left < 0 ? 1 : 0; }

int InstallBudget(sqlite3* db, char**, const sqlite3_api_routines*) {
  sqlite3_progress_handler(db, kStepsPerCall, Budget, nullptr);
  return SQLITE_OK;
}

constexpr const char* kSchema =
    "CREATE TABLE Cri (Code TEXT(20) NOT NULL, Name TEXT(100), Unit TEXT(10), Price1 DOUBLE,\n"
    "  Price2 CURRENCY, Changed DATETIME, Kept YESNO, CONSTRAINT PrimaryKey PRIMARY KEY (Code));\n"
    "CREATE TABLE 地区名 (ID LONG NOT NULL, 地区名 TEXT(50), コメント MEMO,\n"
    "  CONSTRAINT PrimaryKey PRIMARY KEY (ID));\n"
    "CREATE TABLE Version (Ver TEXT(20), Comment TEXT(255));\n"
    "CREATE INDEX ByName ON Cri (Name);\n"
    "INSERT INTO Cri (Code, Name, Unit, Price1, Price2, Changed, Kept) VALUES ('A0001',\n"
    "  '生コンクリート', 'm3', 14900, 15000.5, #2019/10/01#, True);\n"
    "INSERT INTO Cri (Code, Name, Unit, Price1) VALUES ('Z9001', '自社資材 型枠', 'm2', Null);\n"
    "INSERT INTO 地区名 (ID, 地区名, コメント) VALUES (1, '熊本', '熊本県 熊本地区');\n"
    "INSERT INTO 地区名 (ID, 地区名) VALUES (2, '八代');\n"
    "INSERT INTO Version (Ver, Comment) VALUES ('2019,1,2', ',労務更新');\n";

// What a check of the database prints: every table with its fields and rows.
constexpr const char* kContents =
    "SELECT * FROM Cri ORDER BY Code;\n"
    "SELECT * FROM 地区名 ORDER BY ID;\n"
    "SELECT * FROM Version;\n";

class Fixture {
 public:
  Fixture() {
    sqlite3_auto_extension(reinterpret_cast<void (*)(void)>(InstallBudget));
    const char* tmp = getenv("TMPDIR");
    folder_ = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/kr-krdb-fuzz-XXXXXX";
    if (mkdtemp(folder_.data()) == nullptr) Bug("no temporary folder");
    db_ = engine::CreateDatabase(folder_ + "/fuzz.mdb");
    std::ostringstream ignored;
    kr::krdb::RunScript(db_, kSchema, {.execute_options = engine::kFailOnError}, ignored);
    contents_ = Contents();
  }
  ~Fixture() {
    db_.Close();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::string Contents() {
    std::ostringstream out;
    calls_left = kCallsPerInput;
    kr::krdb::RunScript(db_, kContents, {}, out);
    return out.str();
  }

  void Run(std::string_view script, int options) {
    db_.BeginTrans();
    calls_left = kCallsPerInput;
    try {
      std::ostream nowhere(nullptr);
      kr::krdb::RunScript(db_, script, {.execute_options = options}, nowhere);
    } catch (const kr::Failure& failure) {
      if (failure.number() <= 0 || failure.description().find("(line ") == std::string::npos) {
        Bug("a failure without a number or a line", failure.what());
      }
    } catch (const std::exception& e) {
      Bug("an exception other than kr::Failure escaped the script runner", e.what());
    }
    calls_left = kCallsPerInput;
    db_.Rollback();
    if (Contents() != contents_) Bug("a rolled-back script left changes", script);
  }

 private:
  std::string folder_;
  engine::Database db_;
  std::string contents_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Fixture* fixture = [] {
    static Fixture f;
    return &f;
  }();
  std::string_view script(reinterpret_cast<const char*>(data), size);
  // The first byte chooses between the two ways krdb runs statements.
  int options = size > 0 && (data[0] & 1) ? engine::kFailOnError : 0;
  try {
    fixture->Run(script, options);
  } catch (const kr::Failure& failure) {
    Bug("the transaction around the script failed", failure.what());
  }
  return 0;
}
