// The labour-rate correction of a KrCri.mdb (Update2019CriR0204: backup, new items and names,
// seven districts from prefecture columns, three derived districts, Null prices to 0, the tag)
// run in process through the routine registry, against the same work written directly as
// SQLite statements on a fresh copy of the same file.
//
//   labour_refresh_bench [ROWS...]     (default: 20000 200000)
//
// For each size it prints both times (the best of three runs), their ratio (target: routine
// within 1.3 x SQLite) and the time per item; a digest of the refreshed table shows that both
// sides leave the same prices.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "db/db.h"
#include "db/engine/text_collation.h"
#include "routines/routines.h"
#include "ui/console_ui.h"

namespace {

namespace fs = std::filesystem;
namespace engine = kr::db::engine;
using Clock = std::chrono::steady_clock;

constexpr const char* kPrefectures[] = {"北海道", "東京都", "大阪府", "愛知県",
                                        "福岡県", "宮城県", "広島県"};
// 地区名: seven districts from those columns, three derived from them.
constexpr const char* kDistricts[] = {"地区1,北海道,", "地区2,東京,", "地区3,大阪,", "地区4,愛知,",
                                      "地区5,福岡,",   "地区6,宮城,", "地区7,広島,", "単価2,×,105",
                                      "単価3,×,110",   "単価1,×,95"};
constexpr const char* kRunStamp = "202004071530";

void Fail(const std::string& what) {
  std::fprintf(stderr, "labour_refresh_bench: %s\n", what.c_str());
  std::exit(1);
}

void Exec(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    Fail(std::string(message ? message : "?") + "\n  in: " + sql);
  }
}

sqlite3* OpenRaw(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    Fail("cannot open " + path);
  }
  kr::db::engine::RegisterTextCollation(db);
  Exec(db, "PRAGMA cache_size=-49152");
  return db;
}

std::string Numbers(long long first, long long last) {
  return "WITH RECURSIVE n(i) AS (SELECT " + std::to_string(first) +
         " UNION ALL SELECT i+1 FROM n WHERE i<" + std::to_string(last) + ") ";
}

// The installed KrCri.mdb: items 1..rows, Price9 Null on every seventh.
void MakeTarget(const std::string& path, long long rows) {
  engine::Database db = engine::CreateDatabase(path, kr::db::DatabasePassword());
  std::string prices;
  for (int k = 1; k <= 10; ++k) prices += ", Price" + std::to_string(k) + " DOUBLE";
  db.Execute(
      "CREATE TABLE Cri (Code TEXT(20) NOT NULL, cName TEXT(100), cStand TEXT(100), "
      "cUnit TEXT(10), [Index] LONG" +
      prices + ", CONSTRAINT PrimaryKey PRIMARY KEY (Code))");
  db.Execute(
      "CREATE TABLE 地区名 (ID LONG NOT NULL, 地区名 TEXT(50), コメント TEXT(255), "
      "CONSTRAINT PrimaryKey PRIMARY KEY (ID))");
  for (int id = 1; id <= 10; ++id) {
    db.Execute("INSERT INTO 地区名 (ID, コメント) VALUES (" + std::to_string(id) + ", '" +
               kDistricts[id - 1] + "')");
  }
  db.Execute("CREATE TABLE Version (Ver TEXT(20), Comment TEXT(255))");
  db.Execute("INSERT INTO Version (Ver, Comment) VALUES ('2019,1,4', '201907_標準,労務更新R0203')");
  db.Close();
  sqlite3* raw = OpenRaw(path);
  std::string values;
  for (int k = 1; k <= 10; ++k) {
    values += k == 9 ? ", CASE WHEN i % 7 = 0 THEN NULL ELSE 900 + i % 1000 END"
                     : ", " + std::to_string(k * 100) + " + i % 1000";
  }
  Exec(raw, Numbers(1, rows) +
                "INSERT INTO Cri SELECT printf('C%010d', i), '資材' || i, '規格' || (i % 97), "
                "'m2', i" +
                values + " FROM n");
  sqlite3_close(raw);
}

// The release: items rows/10+1 .. rows+rows/10 (a tenth of them new), a price per prefecture.
void MakeSource(const std::string& path, long long rows) {
  engine::Database db = engine::CreateDatabase(path, kr::db::DatabasePassword());
  std::string columns;
  for (const char* prefecture : kPrefectures) columns += std::string(", ") + prefecture + " DOUBLE";
  db.Execute(
      "CREATE TABLE Cri (Code TEXT(20) NOT NULL, cName TEXT(100), cStand TEXT(100), "
      "cUnit TEXT(10), [Index] LONG" +
      columns + ", CONSTRAINT PrimaryKey PRIMARY KEY (Code))");
  db.Close();
  sqlite3* raw = OpenRaw(path);
  std::string values;
  for (int k = 0; k < 7; ++k) {
    values +=
        ", " + std::to_string(1000 + 37 * k) + " + (i * " + std::to_string(k + 3) + ") % 5000";
  }
  Exec(raw, Numbers(rows / 10 + 1, rows + rows / 10) +
                "INSERT INTO Cri SELECT printf('C%010d', i), '新資材' || i, '新規格' || i, "
                "'m3', 0" +
                values + " FROM n");
  sqlite3_close(raw);
}

// Item count, new names and every price, summed: equal on both sides when they agree.
std::string Digest(const std::string& path) {
  sqlite3* raw = OpenRaw(path);
  std::string sql = "SELECT count(*), sum(length(cName)), total(0";
  for (int k = 1; k <= 10; ++k) sql += "+ifnull(Price" + std::to_string(k) + ",-1)";
  sql += "), (SELECT Comment FROM Version) FROM Cri";
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(raw, sql.c_str(), -1, &statement, nullptr);
  std::ostringstream digest;
  if (sqlite3_step(statement) == SQLITE_ROW) {
    digest << sqlite3_column_int64(statement, 0) << "/" << sqlite3_column_int64(statement, 1) << "/"
           << static_cast<long long>(sqlite3_column_double(statement, 2)) << "/"
           << reinterpret_cast<const char*>(sqlite3_column_text(statement, 3));
  }
  sqlite3_finalize(statement);
  sqlite3_close(raw);
  return digest.str();
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// The routine, as a package's Function line runs it.
double RunRoutine(const fs::path& install, const fs::path& package) {
  kr::RunContext run;
  run.install_folder = install.string() + "\\";
  run.package_folder = package.string() + "\\";
  run.run_stamp = kRunStamp;
  std::ostringstream out, err;
  kr::ui::ConsoleUi ui(std::nullopt, out, err, false);
  kr::routines::Registry registry;
  auto start = Clock::now();
  registry.Run("Update2019CriR0204", "", run, ui);
  return Seconds(start);
}

// The same work as SQLite statements: the backup copy, then the refresh in one connection.
double RunDirect(const fs::path& target, const fs::path& source) {
  auto start = Clock::now();
  fs::copy_file(target, target.parent_path() / (std::string("KrCri") + kRunStamp + ".old"));
  sqlite3* db = OpenRaw(target.string());
  char* attach = sqlite3_mprintf("ATTACH DATABASE %Q AS src", source.c_str());
  Exec(db, attach);
  sqlite3_free(attach);
  const std::string from = " FROM src.Cri AS s WHERE Cri.Code=s.Code";
  Exec(db,
       "INSERT OR IGNORE INTO Cri (Code, cName, cStand, cUnit) "
       "SELECT Code, cName, cStand, cUnit FROM src.Cri");
  Exec(db, "UPDATE Cri SET cName=s.cName, cStand=s.cStand, cUnit=s.cUnit" + from);
  std::string direct;
  for (int k = 0; k < 7; ++k) {
    direct +=
        std::string(k ? ", " : "") + "Price" + std::to_string(k + 1) + "=s." + kPrefectures[k];
  }
  Exec(db, "UPDATE Cri SET " + direct + from);
  Exec(db,
       "UPDATE Cri SET Price8=CAST(Price2*1.05 AS INTEGER), Price9=CAST(Price3*1.1 AS "
       "INTEGER), Price10=CAST(Price1*0.95 AS INTEGER)" +
           from);
  for (int k = 1; k <= 10; ++k) {
    std::string column = "Price" + std::to_string(k);
    Exec(db, "UPDATE Cri SET " + column + "=0" + from + " AND Cri." + column + " IS NULL");
  }
  Exec(db, "UPDATE Version SET Comment=ifnull(Comment,'') || ',労務更新R0204'");
  Exec(db, "DETACH DATABASE src");
  sqlite3_close(db);
  return Seconds(start);
}

void Measure(const fs::path& folder, long long rows) {
  fs::path pristine = folder / "pristine.mdb";
  fs::path install = folder / "install";
  fs::path package = folder / "package";
  fs::path year = install / "File" / "2019年度";
  fs::path source = package / "KrCri2019R0204.mdb";
  fs::remove_all(folder);
  fs::create_directories(year);
  fs::create_directories(package);
  MakeTarget(pristine.string(), rows);
  MakeSource(source.string(), rows);
  double best_routine = 1e9, best_direct = 1e9;
  std::string routine_digest, direct_digest;
  for (int r = 0; r < 3; ++r) {
    for (int side = 0; side < 2; ++side) {
      fs::remove_all(year);
      fs::create_directories(year);
      fs::copy_file(pristine, year / "KrCri.mdb");
      ::sync();
      if ((side + r) % 2 == 0) {
        best_routine = std::min(best_routine, RunRoutine(install, package));
        routine_digest = Digest((year / "KrCri.mdb").string());
      } else {
        best_direct = std::min(best_direct, RunDirect(year / "KrCri.mdb", source));
        direct_digest = Digest((year / "KrCri.mdb").string());
      }
    }
  }
  std::printf(
      "%10lld %10.3f %10.3f %7.2f %12.2f%s\n", rows, best_routine, best_direct,
      best_routine / best_direct, best_routine / rows * 1e6,
      routine_digest == direct_digest
          ? ""
          : ("  (results differ: " + routine_digest + " vs " + direct_digest + ")").c_str());
  std::fflush(stdout);
  fs::remove_all(folder);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long long> sizes;
  for (int i = 1; i < argc; ++i) {
    char* end = nullptr;
    long long rows = std::strtoll(argv[i], &end, 10);
    if (end == argv[i] || *end != '\0' || rows < 10) {
      std::fprintf(stderr, "usage: labour_refresh_bench [ROWS...]   (each at least 10)\n");
      return 2;
    }
    sizes.push_back(rows);
  }
  if (sizes.empty()) sizes = {20000, 200000};
  fs::path folder = fs::temp_directory_path() / ("kr-labour-bench-" + std::to_string(getpid()));
  std::printf("%10s %10s %10s %7s %12s\n", "items", "routine s", "sqlite s", "ratio", "us/item");
  for (long long rows : sizes) Measure(folder, rows);
  return 0;
}
