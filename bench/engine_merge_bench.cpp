// The keyed merge the updater runs most (attach the source table, count the selected source
// rows, delete the target rows the source replaces, insert the source rows), once through the
// engine in Jet SQL and once as hand-written SQLite SQL on copies of the same files, at 20k,
// 200k and 2M rows (half of the source keys already in the target). Then the memory a walk over
// a 1,000,000-row recordset adds.
//
// Price tables hold their rows in code order; --random-keys scatters the codes instead (every
// insert then lands somewhere else in the key index, which neither variant does linearly).
//
//   engine_merge_bench [--rows N ...] [--folder DIR] [--repeat R] [--walk N] [--random-keys]
#include <malloc.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

// Processor time of the process (user + system), to tell the engine's own work from disk waits.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

void Check(int rc, sqlite3* db, const char* what) {
  if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) return;
  std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
  std::exit(1);
}

void RawExec(sqlite3* db, const std::string& sql) {
  Check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, sql.c_str());
}

// A database made by the engine, filled through SQLite directly (setting up is not measured;
// Currency columns hold ten-thousandths): rows first to first + count - 1.
bool random_keys = false;

void MakeTable(const std::string& path, int64_t first, int64_t count, const char* name_tag) {
  std::string connect = ";PWD=" + kr::db::DatabasePassword() + ";";
  fs::remove(path);
  engine::Database db = engine::CreateDatabase(path, kr::db::DatabasePassword());
  db.Execute(kTableDdl);
  db.Close();
  sqlite3* raw = nullptr;
  Check(sqlite3_open(path.c_str(), &raw), raw, "open");
  engine::RegisterTextCollation(raw);
  RawExec(raw, "PRAGMA cache_size=-262144");
  RawExec(raw,
          "WITH RECURSIVE n(i) AS (SELECT " + std::to_string(first) +
              " UNION ALL SELECT i+1 FROM "
              "n WHERE i<" +
              std::to_string(first + count - 1) + ") INSERT INTO Val120 SELECT printf('%018d', " +
              (random_keys ? "i*7919 % 1000000000000" : "i*10") + "), '" + name_tag +
              " ' || i, 'stand ' || (i % 97), 'm2', (i % 5000) * 10000 + 2500, (i % 300) * 15000, "
              "CAST(CAST((i % 1000) / 10.0 AS REAL) AS REAL), (i % 100) / 4.0, i % 1000, "
              "CASE WHEN i % 3 = 0 THEN '2019/04/01' ELSE '' END FROM n");
  sqlite3_close(raw);
}

struct Figures {
  double engine = 0, raw = 0;
  double engine_cpu = 0, raw_cpu = 0;
  int64_t counted = 0, rows_after_engine = 0, rows_after_raw = 0;
};

int64_t RowCount(const std::string& path) {
  sqlite3* raw = nullptr;
  sqlite3_open(path.c_str(), &raw);
  engine::RegisterTextCollation(raw);
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(raw, "SELECT count(*) FROM Val120", -1, &s, nullptr);
  sqlite3_step(s);
  int64_t n = sqlite3_column_int64(s, 0);
  sqlite3_finalize(s);
  sqlite3_close(raw);
  return n;
}

// The merge as the toolkit's TransferRows issues it, key "Code".
double EngineMerge(const std::string& target_path, const std::string& source_path,
                   int64_t& counted) {
  std::string connect = ";PWD=" + kr::db::DatabasePassword() + ";";
  engine::Database source = engine::OpenDatabase(source_path, false, false, connect);
  engine::Database target = engine::OpenDatabase(target_path, false, false, connect);
  auto start = Clock::now();
  engine::TableDef link = target.CreateTableDef("LinkHikitugi");
  link.SetConnect(";DataBase=" + source.Name() + ";PWD=" + kr::db::DatabasePassword() + ";");
  link.SetSourceTableName("Val120");
  target.TableDefs().Append(link);
  double t_link = Seconds(start);
  engine::Recordset t = target.OpenRecordset("Val120");
  engine::Recordset l = target.OpenRecordset("SELECT * FROM LinkHikitugi ;");
  counted = 0;
  if (!l.Eof()) {
    l.MoveLast();
    counted = l.RecordCount();
  }
  t.Close();
  l.Close();
  double t_count = Seconds(start);
  target.Execute(
      "DELETE [Val120].* FROM [Val120] INNER JOIN [LinkHikitugi] ON "
      "([Val120].[Code]=[LinkHikitugi].[Code]) ;");
  double t_delete = Seconds(start);
  target.Execute("INSERT INTO [Val120] SELECT * FROM [LinkHikitugi] ;");
  double t_insert = Seconds(start);
  target.Execute("DROP Table LinkHikitugi;");
  double seconds = Seconds(start);
  if (std::getenv("KR_BENCH_STEPS"))
    std::printf("  engine steps: link %.3f count %.3f delete %.3f insert %.3f drop %.3f\n", t_link,
                t_count - t_link, t_delete - t_count, t_insert - t_delete, seconds - t_insert);
  target.Close();
  source.Close();
  return seconds;
}

// The same merge written by hand for SQLite, with the page cache the engine gives a statement
// that changes rows.
double RawMerge(const std::string& target_path, const std::string& source_path, int64_t& counted) {
  sqlite3* db = nullptr;
  Check(sqlite3_open(target_path.c_str(), &db), db, "open");
  engine::RegisterTextCollation(db);
  RawExec(db, "PRAGMA cache_size=-49152");
  auto start = Clock::now();
  char* quoted = sqlite3_mprintf("ATTACH DATABASE %Q AS src", source_path.c_str());
  RawExec(db, quoted);
  sqlite3_free(quoted);
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*) FROM src.Val120", -1, &s, nullptr);
  sqlite3_step(s);
  counted = sqlite3_column_int64(s, 0);
  sqlite3_finalize(s);
  double t_count = Seconds(start);
  RawExec(db, "DELETE FROM main.Val120 WHERE Code IN (SELECT Code FROM src.Val120)");
  double t_delete = Seconds(start);
  RawExec(db, "INSERT INTO main.Val120 SELECT * FROM src.Val120");
  double t_insert = Seconds(start);
  RawExec(db, "DETACH DATABASE src");
  double seconds = Seconds(start);
  if (std::getenv("KR_BENCH_STEPS"))
    std::printf("  sqlite steps: count %.3f delete %.3f insert %.3f detach %.3f\n", t_count,
                t_delete - t_count, t_insert - t_delete, seconds - t_insert);
  sqlite3_close(db);
  return seconds;
}

Figures RunMerge(const fs::path& folder, int64_t rows, int repeat) {
  std::string pristine = (folder / "target-pristine.mdb").string();
  std::string source = (folder / "source.mdb").string();
  std::string work = (folder / "target.mdb").string();
  MakeTable(pristine, 1, rows, "old");
  MakeTable(source, rows / 2 + 1, rows, "new");
  Figures f;
  std::vector<double> engine_times, raw_times, engine_cpu, raw_cpu;
  for (int r = 0; r < repeat; ++r) {
    // Alternate which variant goes first, and let the disk settle before each, so that neither
    // pays for the other's write-back.
    for (int variant = 0; variant < 2; ++variant) {
      fs::copy_file(pristine, work, fs::copy_options::overwrite_existing);
      ::sync();
      double cpu = CpuSeconds();
      if ((variant + r) % 2 == 0) {
        engine_times.push_back(EngineMerge(work, source, f.counted));
        engine_cpu.push_back(CpuSeconds() - cpu);
        f.rows_after_engine = RowCount(work);
      } else {
        int64_t raw_counted = 0;
        raw_times.push_back(RawMerge(work, source, raw_counted));
        raw_cpu.push_back(CpuSeconds() - cpu);
        f.rows_after_raw = RowCount(work);
      }
    }
  }
  f.engine = Median(engine_times);
  f.raw = Median(raw_times);
  f.engine_cpu = Median(engine_cpu);
  f.raw_cpu = Median(raw_cpu);
  if (std::getenv("KR_BENCH_KEEP") == nullptr) {
    fs::remove(pristine);
    fs::remove(source);
    fs::remove(work);
  }
  return f;
}

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

void WalkMemory(const fs::path& folder, int64_t rows) {
  std::string path = (folder / "walk.mdb").string();
  MakeTable(path, 1, rows, "walk");
  std::string connect = ";PWD=" + kr::db::DatabasePassword() + ";";
  engine::Database db = engine::OpenDatabase(path, false, false, connect);
  malloc_trim(0);  // what setting up freed does not count for the walk
  for (const char* source : {"Val120", "SELECT * FROM Val120 WHERE Quantity>=0"}) {
    long before = ResidentKb(), peak = before;
    auto start = Clock::now();
    engine::Recordset rs = db.OpenRecordset(source);
    int64_t walked = 0;
    double sum = 0;
    while (!rs.Eof()) {
      sum += rs["JPer"].GetValue().ToDouble();
      ++walked;
      if (walked % 10000 == 0) peak = std::max(peak, ResidentKb());
      rs.MoveNext();
    }
    peak = std::max(peak, ResidentKb());
    std::printf("walk %-40s rows %lld  %.2f s  memory +%.1f MB (checksum %.0f)\n", source,
                static_cast<long long>(walked), Seconds(start), (peak - before) / 1024.0, sum);
    rs.Close();
  }
  db.Close();
  fs::remove(path);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int64_t> sizes;
  fs::path folder = fs::temp_directory_path() / "kr-engine-bench";
  int repeat = 5;
  int64_t walk_rows = 1000000;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--rows" && i + 1 < argc)
      sizes.push_back(std::atoll(argv[++i]));
    else if (a == "--folder" && i + 1 < argc)
      folder = argv[++i];
    else if (a == "--repeat" && i + 1 < argc)
      repeat = std::max(1, std::atoi(argv[++i]));
    else if (a == "--walk" && i + 1 < argc)
      walk_rows = std::atoll(argv[++i]);
    else if (a == "--random-keys")
      random_keys = true;
    else {
      std::fprintf(stderr,
                   "usage: engine_merge_bench [--rows N ...] [--folder DIR] [--repeat R] "
                   "[--walk N] [--random-keys]\n");
      return 2;
    }
  }
  if (sizes.empty()) sizes = {20000, 200000, 2000000};
  fs::create_directories(folder);
  if (walk_rows > 0) WalkMemory(folder, walk_rows);
  std::printf("%10s %10s %10s %7s %10s %10s %7s %12s %9s\n", "rows", "engine s", "sqlite s",
              "ratio", "eng cpu s", "sql cpu s", "cpu", "eng rows/s", "counted");
  for (int64_t rows : sizes) {
    Figures f = RunMerge(folder, rows, rows >= 2000000 ? std::min(repeat, 3) : repeat);
    std::printf("%10lld %10.3f %10.3f %7.3f %10.3f %10.3f %7.3f %12.0f %9lld%s\n",
                static_cast<long long>(rows), f.engine, f.raw, f.engine / f.raw, f.engine_cpu,
                f.raw_cpu, f.engine_cpu / f.raw_cpu, rows / f.engine,
                static_cast<long long>(f.counted),
                f.rows_after_engine == f.rows_after_raw ? "" : "  (results differ!)");
    std::fflush(stdout);
  }
  if (std::getenv("KR_BENCH_KEEP") == nullptr) fs::remove_all(folder);
  return 0;
}
