// Importing Access files (krdb import, ConvertAccessDatabase) against mdbtools' own road: every
// table through mdb-export into sqlite3's .import. The import should take no longer (a ratio of
// at most 1). Then memory: the largest sample table is brought into one database of ours 1, 10,
// 100 and 1000 times through a link in one transaction, and the peak resident size must stay
// within 20 MB of the program's own baseline, flat as the target grows, since rows stream from
// libmdb and the page cache spills them to the file.
// Needs the mdbtools and sqlite3 programs (scripts/setup installs them).
//
//   access_import_bench [--samples DIR] [--repeat R] [--folder DIR] [--cache-kib K]
// (--cache-kib 0: the engine's own page cache, to see what the import's small one saves)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "db/db.h"

#ifndef KR_ACCESS_SAMPLES
#define KR_ACCESS_SAMPLES "tests/fixtures/access"
#endif

namespace {

namespace fs = std::filesystem;
namespace engine = kr::db::engine;
using Clock = std::chrono::steady_clock;

// The page cache ConvertAccessDatabase gives its target.
constexpr int kImportCacheKib = 4096;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Peak resident set size of this process, in megabytes.
double PeakMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
  return 0;
}

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

double TimeMdbtools(const fs::path& sample, const fs::path& work) {
  fs::path target = work / "mdbtools.sqlite";
  fs::remove(target);
  std::string command = "set -e; for t in $(mdb-tables -1 " + Quoted(sample.string()) +
                        "); do mdb-export " + Quoted(sample.string()) + " \"$t\" 2>/dev/null > " +
                        Quoted((work / "t.csv").string()) + "; sqlite3 " + Quoted(target.string()) +
                        " \".import --csv " + (work / "t.csv").string() + " $t\"; done";
  Clock::time_point start = Clock::now();
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "mdb-export or sqlite3 failed (are mdbtools and sqlite3 installed?)\n");
    std::exit(2);
  }
  return Seconds(start);
}

double TimeImport(const fs::path& sample, const fs::path& work) {
  fs::path target = work / "ours.mdb";
  fs::remove(target);
  Clock::time_point start = Clock::now();
  kr::db::ConvertAccessDatabase(sample.string(), "", target.string(), "");
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  fs::path samples = KR_ACCESS_SAMPLES;
  int repeat = 5;
  int cache_kib = kImportCacheKib;
  fs::path parent = fs::temp_directory_path();
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--samples")
      samples = argv[i + 1];
    else if (option == "--repeat")
      repeat = std::max(1, std::atoi(argv[i + 1]));
    else if (option == "--folder")
      parent = argv[i + 1];
    else if (option == "--cache-kib")
      cache_kib = std::atoi(argv[i + 1]);
  }
  fs::path work = parent / ("kr_access_bench_" + std::to_string(::getpid()));
  fs::create_directories(work);
  int status = 0;
  try {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(samples))
      if (engine::IsAccessFile(entry.path().string())) files.push_back(entry.path());
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
      return fs::file_size(a) > fs::file_size(b);
    });
    files.resize(std::min<size_t>(files.size(), 3));
    double ours = 0, theirs = 0;
    for (const fs::path& file : files) {
      double best_ours = 1e9, best_theirs = 1e9;
      for (int r = 0; r < repeat; ++r) {
        best_ours = std::min(best_ours, TimeImport(file, work));
        best_theirs = std::min(best_theirs, TimeMdbtools(file, work));
      }
      std::printf("%-28s krdb import %.3f s   mdb-export | sqlite3 .import %.3f s\n",
                  file.filename().c_str(), best_ours, best_theirs);
      ours += best_ours;
      theirs += best_theirs;
    }
    double ratio = ours / theirs;
    std::printf("import / mdbtools: %.2f (at most 1)\n", ratio);
    if (ratio > 1.0) status = 1;

    // Memory: the same table again and again into one target, as the import brings rows in: in
    // one transaction, with the import's small page cache (the engine's own 48 MB for statements
    // that change rows would fill with the transaction's pages first).
    fs::path source = samples / "compIndexTestV2003.mdb";
    fs::path target = work / "grow.mdb";
    fs::remove(target);
    engine::Database db = engine::CreateDatabase(target.string());
    db.Execute("CREATE TABLE Agents (CD_AGENTE LONG, RS_AGENTE TEXT(55), DC_AGENTE TEXT(55))");
    db.TableDefs().Append(
        db.CreateTableDef("Source", 0, "Table1", ";DataBase=" + source.string() + ";"));
    db.Execute("INSERT INTO Agents SELECT * FROM Source WHERE False");  // warms the engine
    db.LimitCache(cache_kib);
    db.BeginTrans();
    const double baseline = PeakMegabytes();
    std::printf("baseline peak %.1f MB (page cache limit %d KB)\n", baseline, cache_kib);
    int done = 0;
    for (int times : {1, 10, 100, 1000}) {
      for (; done < times; ++done) db.Execute("INSERT INTO Agents SELECT * FROM Source");
      double peak = PeakMegabytes();
      std::printf("%3d times (%lld rows): peak %.1f MB (+%.1f)\n", times,
                  static_cast<long long>(
                      db.OpenRecordset("SELECT Count(*) FROM Agents")[0].GetValue().ToLong()),
                  peak, peak - baseline);
      if (peak - baseline > 20) status = 1;
    }
    db.CommitTrans();
    db.Close();
  } catch (const kr::Failure& failure) {
    std::fprintf(stderr, "error %d: %s\n", failure.number(), failure.what());
    status = 2;
  }
  fs::remove_all(work);
  return status;
}
