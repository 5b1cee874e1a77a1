// krdb diff against the time it takes to read both tables: a price table of N rows and a copy
// in which a release changed 1% of the rows, removed 0.5% and added 0.5%, at 20k, 200k and 1M
// rows. For each: the read of both tables in key order, then the diff (text, its output
// discarded), with the peak memory each adds to the process.
//
//   diff_bench [--rows N ...] [--folder DIR]
#include <malloc.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "app/krdb/krdb_internal.h"
#include "db/engine/engine.h"
#include "db/engine/text_collation.h"
#include "db/passwords.h"

namespace {

namespace engine = kr::db::engine;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kTableDdl =
    "CREATE TABLE Val120 (Code TEXT(20), cName TEXT(60), cStand TEXT(60), cUnit TEXT(8), "
    "ValPrice1 CURRENCY, ValPrice2 CURRENCY, Price1 SINGLE, JPer DOUBLE, Quantity LONG, "
    "MakeDay TEXT(10), CONSTRAINT PrimaryKey PRIMARY KEY (Code))";

void RawExec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "%s: %s\n", sql.c_str(), error);
    std::exit(1);
  }
}

// The rows go in through SQLite itself (Currency as ten-thousandths): building a million rows
// is not what is measured.
void MakePair(const std::string& a, const std::string& b, int64_t rows) {
  fs::remove(a);
  fs::remove(b);
  engine::Database db = engine::CreateDatabase(a, kr::db::DatabasePassword());
  db.Execute(kTableDdl);
  db.Close();
  sqlite3* raw = nullptr;
  sqlite3_open(a.c_str(), &raw);
  engine::RegisterTextCollation(raw);
  RawExec(raw, "PRAGMA cache_size=-262144");
  RawExec(raw, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<" +
                   std::to_string(rows) +
                   ") INSERT INTO Val120 SELECT printf('%018d', i*10), 'item ' || i, "
                   "'stand ' || (i % 97), 'm2', (i % 5000) * 10000 + 2500, (i % 300) * 15000, "
                   "CAST((i % 1000) / 10.0 AS REAL), (i % 100) / 4.0, i % 1000, "
                   "CASE WHEN i % 3 = 0 THEN '2019/04/01' ELSE '' END FROM n");
  sqlite3_close(raw);
  fs::copy_file(a, b);
  sqlite3_open(b.c_str(), &raw);
  engine::RegisterTextCollation(raw);
  RawExec(raw, "BEGIN");
  RawExec(raw, "UPDATE Val120 SET ValPrice1 = ValPrice1 + 10000 WHERE rowid % 100 = 7");
  RawExec(raw, "DELETE FROM Val120 WHERE rowid % 200 = 3");
  RawExec(raw,
          "INSERT INTO Val120 SELECT printf('%018d', rowid*10+5), cName, cStand, cUnit, "
          "ValPrice1, ValPrice2, Price1, JPer, Quantity, MakeDay FROM Val120 "
          "WHERE rowid % 200 = 11");
  RawExec(raw, "COMMIT");
  sqlite3_close(raw);
}

long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string(field).size());
  return 0;
}

// Seconds and the peak resident memory (kB) body adds above where the process stood.
template <class F>
std::pair<double, long> Measure(F&& body) {
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";  // restarts the peak at the present size
  long before = StatusKb("VmRSS:");
  auto start = Clock::now();
  body();
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return {seconds, StatusKb("VmHWM:") - before};
}

void ReadInKeyOrder(engine::Database& db) {
  engine::Recordset rs =
      db.OpenRecordset("SELECT * FROM Val120 ORDER BY Code", engine::kOpenForwardOnly);
  engine::FieldCollection fields = rs.Fields();
  std::vector<engine::Value> row(static_cast<size_t>(fields.Count()));
  for (; !rs.Eof(); rs.MoveNext())
    for (int i = 0; i < fields.Count(); ++i) row[static_cast<size_t>(i)] = fields[i].GetValue();
  rs.Close();
}

class Discard : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<int64_t> sizes;
  fs::path folder = fs::temp_directory_path() / "kr-diff-bench";
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--rows" && i + 1 < argc) {
      sizes.push_back(std::atoll(argv[++i]));
    } else if (arg == "--folder" && i + 1 < argc) {
      folder = argv[++i];
    } else {
      std::fprintf(stderr, "usage: diff_bench [--rows N ...] [--folder DIR]\n");
      return 2;
    }
  }
  if (sizes.empty()) sizes = {20000, 200000, 1000000};
  fs::create_directories(folder);
  std::string connect = ";PWD=" + kr::db::DatabasePassword() + ";";
  std::printf("%10s %12s %12s %8s %14s %14s\n", "rows", "read both s", "diff s", "ratio",
              "read peak kB", "diff peak kB");
  for (int64_t rows : sizes) {
    std::string a = (folder / "a.mdb").string(), b = (folder / "b.mdb").string();
    MakePair(a, b, rows);
    engine::Database da = engine::OpenDatabase(a, false, true, connect);
    engine::Database db = engine::OpenDatabase(b, false, true, connect);
    ReadInKeyOrder(da);  // both files in the page cache for both measurements
    ReadInKeyOrder(db);
    auto read = Measure([&] {
      ReadInKeyOrder(da);
      ReadInKeyOrder(db);
    });
    Discard discard;
    std::ostream out(&discard);
    bool differ = false;
    auto diff = Measure([&] { differ = kr::krdb::Diff(da, db, {}, out); });
    db.Close();
    da.Close();
    if (!differ) {
      std::fprintf(stderr, "the copy should differ\n");
      return 1;
    }
    std::printf("%10lld %12.3f %12.3f %8.2f %14ld %14ld\n", static_cast<long long>(rows),
                read.first, diff.first, diff.first / read.first, read.second, diff.second);
    std::fflush(stdout);
  }
  fs::remove_all(folder);
  return 0;
}
