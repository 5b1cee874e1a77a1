// The price-table refresh of the unit-price routines (KeepOldTable, keyed TransferRows,
// CarryOverUserPrices) on a Val### table with user prices on a tenth of its rows, through the
// toolkit and the engine, against the same work written directly as SQLite statements.
//
//   toolkit_refresh_bench [ROWS...]     (default: 20000 200000 2000000)
//
// For each size it prints both times (the best of three runs on fresh copies up to 200,000 rows,
// one run above), their ratio (target: toolkit within 1.2 x SQLite) and the time per row, which
// must stay flat as the table grows (linear growth).
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "db/db.h"
#include "db/engine/text_collation.h"

namespace {

namespace fs = std::filesystem;
namespace engine = kr::db::engine;
using Clock = std::chrono::steady_clock;

constexpr const char* kColumns =
    "Code TEXT(30) NOT NULL, Name TEXT(100), Spec TEXT(100), Unit TEXT(10), Price {PRICE}, "
    "ValPrice1 DOUBLE, ValPrice2 DOUBLE, UserCode TEXT(30), JPer DOUBLE, Search1 TEXT(50), "
    "Search2 TEXT(50), MakeDay TEXT(10), CONSTRAINT PrimaryKey PRIMARY KEY (Code)";

void Check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "%s: %s\n", what, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    std::exit(1);
  }
}

void Exec(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::fprintf(stderr, "%s\n  in: %s\n", message, sql.c_str());
    std::exit(1);
  }
}

std::string Code(long i) {
  std::string digits = std::to_string(i);
  return "V" + std::string(digits.size() < 8 ? 8 - digits.size() : 0, '0') + digits;
}

// An application database with one empty Val120 table made by the engine, then filled in one
// SQLite transaction (the engine offers no bulk load, and setting up is not what is measured).
void MakeTable(const std::string& path, bool source, long rows) {
  std::string columns = kColumns;
  columns.replace(columns.find("{PRICE}"), 7, source ? "SINGLE" : "DOUBLE");
  engine::Database db = engine::CreateDatabase(path, kr::db::DatabasePassword());
  db.Execute("CREATE TABLE Val120 (" + columns + ")");
  db.Close();

  sqlite3* raw = nullptr;
  Check(sqlite3_open(path.c_str(), &raw), raw, "open");
  kr::db::engine::RegisterTextCollation(raw);
  Exec(raw, "BEGIN");
  sqlite3_stmt* insert = nullptr;
  Check(
      sqlite3_prepare_v2(raw,
                         "INSERT INTO Val120 (Code, Name, Spec, Unit, Price, ValPrice1, ValPrice2, "
                         "UserCode, JPer, Search1, Search2, MakeDay) "
                         "VALUES (?,?,?,?,?,?,?,?,?,?,?,?)",
                         -1, &insert, nullptr),
      raw, "prepare");
  // The release drops every 100th item and adds as many new ones at the end; the user's copy
  // holds long-code items of its own on every 1000th position.
  long first = source ? rows / 100 : 0;
  for (long i = first; i < rows + first; ++i) {
    if (source && i % 100 == 0) continue;
    bool user = !source && i % 10 == 0;
    bool long_code = !source && i % 1000 == 500;
    std::string code = long_code ? "U" + Code(i) + "000000000" : Code(i);
    sqlite3_bind_text(insert, 1, code.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, source ? "普通作業員（改定）" : "普通作業員", -1, SQLITE_STATIC);
    sqlite3_bind_null(insert, 3);
    sqlite3_bind_text(insert, 4, "人", -1, SQLITE_STATIC);
    sqlite3_bind_double(insert, 5, source ? 0.1 * (i % 1000) : 19800.0 + i % 50);
    if (user) {
      sqlite3_bind_double(insert, 6, 21000.0 + i % 7);
      sqlite3_bind_double(insert, 7, 20000.0);
      sqlite3_bind_text(insert, 8, "U-01", -1, SQLITE_STATIC);
      sqlite3_bind_double(insert, 9, 0.9);
    } else {
      for (int c : {6, 7, 8, 9}) sqlite3_bind_null(insert, c);
    }
    bool made = user && i % 20 == 0;
    sqlite3_bind_text(insert, 10, made ? "ふつう" : "さぎょう", -1, SQLITE_STATIC);
    sqlite3_bind_null(insert, 11);
    if (made) {
      sqlite3_bind_text(insert, 12, "2019/05/10", -1, SQLITE_STATIC);
    } else {
      sqlite3_bind_null(insert, 12);
    }
    Check(sqlite3_step(insert), raw, "insert");
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  Exec(raw, "COMMIT");
  sqlite3_close(raw);
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

double ThroughToolkit(const std::string& source_path, const std::string& target_path) {
  engine::Database source = kr::db::OpenAppDatabase(source_path);
  engine::Database target = kr::db::OpenAppDatabase(target_path);
  Clock::time_point start = Clock::now();
  kr::db::KeepOldTable(source, target, "Val120");
  kr::db::TransferRows(source, target, "Val120", "", "Code");
  kr::db::CarryOverUserPrices(source, target, "Val120");
  double seconds = Seconds(start);
  source.Close();
  target.Close();
  return seconds;
}

// The same work as SQLite statements, each in its own transaction as the engine runs them.
double ThroughSqlite(const std::string& source_path, const std::string& target_path) {
  sqlite3* db = nullptr;
  Check(sqlite3_open(target_path.c_str(), &db), db, "open");
  kr::db::engine::RegisterTextCollation(db);
  Exec(db, "ATTACH DATABASE '" + source_path + "' AS src");
  const char* columns =
      "Code, Name, Spec, Unit, Price, ValPrice1, ValPrice2, UserCode, JPer, Search1, Search2, "
      "MakeDay";
  Clock::time_point start = Clock::now();
  // KeepOldTable: the old table with the source's layout, then the rows.
  std::string old_columns;
  sqlite3_stmt* info = nullptr;
  Check(sqlite3_prepare_v2(db, "SELECT sql FROM src.sqlite_schema WHERE name='Val120'", -1, &info,
                           nullptr),
        db, "schema");
  Check(sqlite3_step(info), db, "schema");
  std::string create = reinterpret_cast<const char*>(sqlite3_column_text(info, 0));
  sqlite3_finalize(info);
  create.replace(create.find("Val120"), 6, "Val120Old");
  Exec(db, create);
  Exec(db, "INSERT INTO Val120Old SELECT * FROM Val120 WHERE 1");
  // TransferRows: count the source rows, delete the keys it brings, insert its rows (the
  // single-precision price through currency, four decimals).
  Exec(db, "SELECT count(*) FROM src.Val120");
  Exec(db, "DELETE FROM Val120 WHERE Code IN (SELECT Code FROM src.Val120)");
  Exec(db, std::string("INSERT INTO Val120 (") + columns +
               ") SELECT Code, Name, Spec, Unit, round(Price, 4), ValPrice1, ValPrice2, "
               "UserCode, JPer, Search1, Search2, MakeDay FROM src.Val120");
  // CarryOverUserPrices.
  Exec(db,
       "UPDATE Val120 SET ValPrice1=o.ValPrice1, ValPrice2=o.ValPrice2, UserCode=o.UserCode, "
       "JPer=o.JPer FROM Val120Old AS o WHERE Val120.Code=o.Code");
  Exec(db,
       "UPDATE Val120 SET Search1=o.Search1, Search2=o.Search2 FROM Val120Old AS o "
       "WHERE Val120.Code=o.Code AND o.MakeDay IS NOT NULL AND o.MakeDay<>''");
  Exec(db, "INSERT OR IGNORE INTO Val120 SELECT * FROM Val120Old WHERE length(Code)>=18");
  Exec(db, "DROP TABLE Val120Old");
  double seconds = Seconds(start);
  sqlite3_close(db);
  return seconds;
}

// What a refresh must leave: user prices back on the items still there, long codes kept.
std::string Summary(const std::string& path) {
  engine::Database db = kr::db::OpenAppDatabase(path);
  engine::Recordset rs = db.OpenRecordset(
      "SELECT COUNT(*) AS N, SUM(IIf(ValPrice1 Is Null, 0, 1)) AS Priced, "
      "SUM(IIf(LEN(Code)>=18, 1, 0)) AS Long FROM Val120");
  std::string text = rs["N"].GetValue().ToText() + " rows, " + rs["Priced"].GetValue().ToText() +
                     " with user prices, " + rs["Long"].GetValue().ToText() + " long codes";
  rs.Close();
  db.Close();
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> sizes;
  for (int i = 1; i < argc; ++i) {
    char* end = nullptr;
    const long rows = std::strtol(argv[i], &end, 10);
    if (*end != '\0' || rows < 100) {
      std::fprintf(stderr, "usage: toolkit_refresh_bench [ROWS...]  (each at least 100)\n");
      return 2;
    }
    sizes.push_back(rows);
  }
  if (sizes.empty()) sizes = {20000, 200000, 2000000};

  fs::path folder = fs::temp_directory_path() / ("kr-refresh-bench-" + std::to_string(getpid()));
  fs::create_directories(folder);
  std::printf("%10s %12s %12s %8s %14s %14s\n", "rows", "toolkit s", "sqlite s", "ratio",
              "toolkit us/row", "sqlite us/row");
  for (long rows : sizes) {
    std::string pristine_source = (folder / "pristine_source.mdb").string();
    std::string pristine_target = (folder / "pristine_target.mdb").string();
    std::string source = (folder / "KrVal2019R0203.mdb").string();
    std::string target = (folder / "KrVal.mdb").string();
    for (const std::string& f : {pristine_source, pristine_target}) fs::remove(f);
    MakeTable(pristine_source, true, rows);
    MakeTable(pristine_target, false, rows);

    // The best of a few runs on fresh copies, each side on the same files.
    int runs = rows <= 200000 ? 3 : 1;
    double toolkit = 0, sqlite = 0;
    std::string toolkit_result, sqlite_result;
    for (int run = 0; run < runs; ++run) {
      auto fresh = [&] {
        fs::copy_file(pristine_source, source, fs::copy_options::overwrite_existing);
        fs::copy_file(pristine_target, target, fs::copy_options::overwrite_existing);
      };
      fresh();
      double t = ThroughToolkit(source, target);
      toolkit = run == 0 ? t : std::min(toolkit, t);
      toolkit_result = Summary(target);
      fresh();
      double q = ThroughSqlite(source, target);
      sqlite = run == 0 ? q : std::min(sqlite, q);
      sqlite_result = Summary(target);
    }
    std::printf("%10ld %12.3f %12.3f %8.2f %14.2f %14.2f\n", rows, toolkit, sqlite,
                toolkit / sqlite, toolkit * 1e6 / rows, sqlite * 1e6 / rows);
    std::printf("%10s toolkit: %s\n%10s sqlite:  %s\n", "", toolkit_result.c_str(), "",
                sqlite_result.c_str());
    std::fflush(stdout);
  }
  fs::remove_all(folder);
  return 0;
}
