// The 2019 update routines that visit every year folder, run in process through the routine
// registry on a generated installation (five year folders, sixty price tables in each KrVal.mdb),
// against the same work written directly as SQLite statements (routines_direct.h) on fresh
// copies of the same files.
//
//   routines_bench [ROWS...]     (default: 2000 20000; 200000 when asked)
//
// For profiling: KR_BENCH_ONCE=1 runs each side once; KR_BENCH_DIR=<folder> keeps each generated
// installation there and reuses it on the next run of that size.
//
// Above 20,000 rows per table the 39 extra price tables no routine touches are left out, and the
// run says so: 200,000 rows still take some 20 GB of temporary disk (installation, its working
// copy and the backups the routines make) and about half an hour.
//
// For each size it prints both times (the best of three runs up to 20,000 rows, one run above),
// their ratio (target: routines within 1.15 x SQLite, in processor time as well as wall time,
// which a busy machine stretches for both sides unevenly), the time per row of the tables the
// routines rewrite (flat as tables grow) and the peak resident memory of each side (target for the
// routines: under 100 MB). Each run is a forked child on its own copy, so its peak is its own; a
// digest of the rewritten tables shows that both sides leave the same rows. Both sides take the
// same backups, which are part of the work. A third run records the run report and writes it, as
// every run does: its cost is printed as a share of the run without it (target: at most 5 %). A
// plan of the same routines (an overlay of the disk, as --plan) is timed against the run with its
// report (target: at most 1.5 x), and must see at its end the rows the run leaves.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>

#include "bench/routines_direct.h"
#include "demo/fixture_generator.h"
#include "manifest/manifest.h"
#include "platform/overlay.h"
#include "report/report.h"
#include "ui/console_ui.h"

namespace {

using namespace routines_bench;
namespace fs = std::filesystem;
namespace fixtures = kr::fixtures;
using Clock = std::chrono::steady_clock;

const std::vector<std::string> kYears = {"平成28年度", "平成29年度", "平成30年度", "2019年度",
                                         "2019年度(令和2年3月労務更新)"};
constexpr const char* kRoutines[] = {"Update2019ValR0109", "Update2019CriR0111",
                                     "Update2019ExpR0111", "Update2019ValR0111",
                                     "Update2019ValR0203"};
constexpr int kExtraPriceTables = 39;  // with the 21 standard ones: sixty Val### tables
// With the extra price tables 200,000 rows would make some 9 GB per copy and take well over half
// an hour.
constexpr int kAllTablesUpTo = 20000;
constexpr const char* kRunStamp = "202004071530";
constexpr double kTargetRatio = 1.15;
constexpr double kTargetPlanRatio = 1.5;

const routines::Routine& RoutineNamed(const char* name) {
  std::vector<const routines::Routine*> rows = routines::Lookup(name);
  if (rows.size() != 1 || rows.front()->body != nullptr) Fail(std::string("no plain row ") + name);
  return *rows.front();
}

// "KrVal2019R0111.mdb" -> "KrVal".
std::string DatabaseOf(const routines::Routine& routine) {
  return routine.sources.front().substr(0, 5);
}

// The tables a routine reads from its source, and those it writes.
void CollectTables(const std::vector<routines::Step>& steps, std::set<std::string>& sources,
                   std::set<std::string>& targets) {
  for (const routines::Step& step : steps) {
    CollectTables(step.gated, sources, targets);
    if (step.op == routines::Op::kTest || step.op == routines::Op::kProgress) continue;
    std::vector<std::string> names = step.tables;
    if (names.empty()) names.push_back(step.text);
    sources.insert(names.begin(), names.end());
    targets.insert(step.target.empty() ? names.front() : step.target);
  }
}

// --- Forked runs ----------------------------------------------------------------------------

struct Outcome {
  double seconds = 0;
  long peak_kb = 0;
  std::string digest;
  double cpu_seconds = 0;  // the whole child, digest included: steady on a busy machine
};

long PeakKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmHWM:")) return std::atol(line.c_str() + 6);
  }
  return 0;
}

// Runs work in a child process and returns what it reports. The peak counts from the start of
// work: clear_refs resets the high-water mark to what the child holds then.
Outcome InChild(const std::function<Outcome()>& work) {
  int ends[2];
  if (pipe(ends) != 0) Fail("pipe");
  std::fflush(nullptr);
  pid_t child = fork();
  if (child < 0) Fail("fork");
  if (child == 0) {
    close(ends[0]);
    std::ofstream("/proc/self/clear_refs") << "5";
    Outcome outcome;
    try {
      outcome = work();
    } catch (const std::exception& failure) {
      Fail(failure.what());
    }
    std::string text = std::to_string(outcome.seconds) + " " + std::to_string(outcome.peak_kb) +
                       " " + outcome.digest;
    bool written = write(ends[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
    _exit(written ? 0 : 1);
  }
  close(ends[1]);
  std::string text;
  char buffer[256];
  for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) > 0;) text.append(buffer, got);
  close(ends[0]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Fail("a run failed");
  Outcome outcome;
  char digest[128] = "";
  std::sscanf(text.c_str(), "%lf %ld %127[^\n]", &outcome.seconds, &outcome.peak_kb, digest);
  outcome.digest = digest;
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  outcome.cpu_seconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  return outcome;
}

// --- The installation -----------------------------------------------------------------------

// Year folders below every 2019 release, and each routine's source with the tables it reads.
void Generate(const std::string& app, const std::string& package, int rows) {
  fixtures::InstallationSpec installation;
  for (const std::string& name : kYears) {
    fixtures::YearFolderSpec year;
    year.name = name;
    year.val_version = year.cri_version = "2018,1,1";
    year.exp_version = "2018,1,2";
    installation.years.push_back(year);
  }
  installation.rows_per_table = rows;
  installation.extra_price_tables = rows <= kAllTablesUpTo ? kExtraPriceTables : 0;
  fixtures::MakeInstallation(app, installation);
  for (const char* name : kRoutines) {
    const routines::Routine& routine = RoutineNamed(name);
    std::set<std::string> sources, targets;
    CollectTables(routine.steps, sources, targets);
    fixtures::SourceSpec source;
    source.database = DatabaseOf(routine);
    source.version = routine.record.front().text;
    source.rows_per_table = rows;
    source.new_rows = rows / 100;
    source.tables.assign(sources.begin(), sources.end());
    fixtures::MakeSourceDatabase(package + "/" + routine.sources.front(), source);
  }
}

uint64_t Hash(uint64_t hash, const std::string& text) {
  for (unsigned char ch : text) hash = (hash ^ ch) * 1099511628211ull;
  return hash;
}

// An order-free digest of the tables the routines rewrite, with Version and the list of tables
// (a left-over old table shows), and how many rows those tables hold.
// reading: where the current bytes of a database are (a plan keeps them in its overlay).
std::string Digest(const std::string& app,
                   const std::function<std::string(const std::string&)>& reading = {}) {
  std::map<std::string, std::set<std::string>> rewritten;  // database -> tables
  for (const char* name : kRoutines) {
    const routines::Routine& routine = RoutineNamed(name);
    std::set<std::string> sources, targets;
    CollectTables(routine.steps, sources, targets);
    for (const std::string& t : targets) {
      if (!IsVariant(t) && !t.ends_with("_Delete")) rewritten[DatabaseOf(routine)].insert(t);
    }
    rewritten[DatabaseOf(routine)].insert("Version");
  }
  uint64_t digest = 0;
  long long rows = 0;
  for (const std::string& year : kYears) {
    for (const auto& [database, tables] : rewritten) {
      std::string path = app + "/File/" + year + "/" + database + ".mdb";
      sqlite3* db = Open(reading ? reading(path) : path);
      Query(db,
            "SELECT name FROM sqlite_schema WHERE type='table' AND name NOT LIKE 'MSys%' "
            "ORDER BY name",
            [&](sqlite3_stmt* s) { digest = Hash(digest, Text(s, 0) + ","); });
      for (const std::string& table : tables) {
        if (!HasTable(db, "main", table)) continue;
        Query(db, "SELECT * FROM " + Q(table), [&](sqlite3_stmt* s) {
          uint64_t hash = 1469598103934665603ull;
          for (int c = 0; c < sqlite3_column_count(s); ++c) {
            hash = Hash(hash, std::to_string(sqlite3_column_type(s, c)) + ":" + Text(s, c) + "|");
          }
          digest += hash;
          ++rows;
        });
      }
      sqlite3_close(db);
    }
  }
  char text[64];
  std::snprintf(text, sizeof text, "%016llx %lld", static_cast<unsigned long long>(digest), rows);
  return text;
}

// A fresh copy of the generated installation, on disk before the clock starts.
void FreshCopy(const fs::path& pristine, const fs::path& work) {
  fs::remove_all(work);
  fs::copy(pristine, work, fs::copy_options::recursive);
  sync();
}

double Megabytes(const fs::path& folder) {
  double bytes = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) bytes += static_cast<double>(entry.file_size());
  }
  return bytes / (1 << 20);
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// report: as a run does, with the run report recorded and written to UpdateLog. plan: as
// kr-updater-cli --plan does it, every change going to an overlay of the disk; its digest is of
// what the plan sees at its end, which is what the run would leave.
Outcome ThroughRegistry(const std::string& app, const std::string& package, bool report,
                        bool plan = false) {
  kr::RunContext run;
  run.install_folder = app + "\\";
  run.package_folder = package + "\\";
  run.run_stamp = kRunStamp;
  run.title = "ケルモラ積算 2019 アップデート";
  std::ostream null(nullptr);
  kr::ui::ConsoleUi ui(std::nullopt, null, null, false);
  ui.ShowWait(run.title);
  routines::Registry registry;
  kr::report::Recorder recorder;
  std::optional<kr::report::ScopedRecorder> recording;
  std::optional<kr::platform::OverlayEnv> overlay;
  std::optional<kr::platform::ScopedEnv> planning;
  Clock::time_point start = Clock::now();
  if (plan) planning.emplace(overlay.emplace());
  if (report || plan) recording.emplace(recorder);
  for (const char* name : kRoutines) {
    ui.SetWaitLabel(1, std::string(name) + "を更新中...");
    if (report || plan) recorder.BeginRoutine(name);
    registry.Run(name, "", run, ui);
  }
  if (report && kr::manifest::WriteRunReport(run.install_folder, recorder.report()).empty()) {
    Fail("the report could not be written");
  }
  Outcome outcome{Seconds(start), PeakKb(), ""};
  if (plan) {
    outcome.digest =
        Digest(app, [&](const std::string& path) { return overlay->ReadingPath(path); });
  } else {
    outcome.digest = Digest(app);
  }
  return outcome;
}

Outcome ThroughSqlite(const std::string& app, const std::string& package) {
  Clock::time_point start = Clock::now();
  for (const char* name : kRoutines) RunDirect(RoutineNamed(name), app, package, kYears, kRunStamp);
  Outcome outcome{Seconds(start), PeakKb(), ""};
  outcome.digest = Digest(app);
  return outcome;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) {
    char* end = nullptr;
    const long rows = std::strtol(argv[i], &end, 10);
    if (*end != '\0' || rows < 100 || rows > 2000000) {
      std::fprintf(stderr, "usage: routines_bench [ROWS...]  (each from 100 to 2000000)\n");
      return 2;
    }
    sizes.push_back(static_cast<int>(rows));
  }
  if (sizes.empty()) sizes = {2000, 20000};

  fs::path folder = fs::temp_directory_path() / ("kr-routines-bench-" + std::to_string(getpid()));
  const char* keep = std::getenv("KR_BENCH_DIR");
  if (keep) folder = keep;
  std::printf("%10s %11s %10s %7s %12s %12s %10s %10s\n", "rows", "routines s", "sqlite s", "ratio",
              "routines us", "sqlite us", "routines", "sqlite");
  std::printf("%10s %11s %10s %7s %12s %12s %10s %10s\n", "per table", "", "", "", "per row",
              "per row", "peak MB", "peak MB");
  for (int rows : sizes) {
    const fs::path pristine = folder / ("pristine-" + std::to_string(rows)), work = folder / "work";
    if (!keep) fs::remove_all(pristine);
    Clock::time_point made = Clock::now();
    if (!fs::exists(pristine)) {
      InChild([&] {
        Generate((pristine / "App").string(), (pristine / "Package").string(), rows);
        return Outcome{};
      });
    }
    double making = Seconds(made);
    const std::string app = (work / "App").string(), package = (work / "Package").string();

    Outcome routines, sqlite, reported, planned;
    double routines_cpu = 0, sqlite_cpu = 0, reported_cpu = 0, planned_cpu = 0;
    for (int run = 0; run < (rows <= 20000 && !std::getenv("KR_BENCH_ONCE") ? 3 : 1); ++run) {
      FreshCopy(pristine, work);
      // The plan changes nothing, so the run after it starts from the same copy.
      Outcome p = InChild([&] { return ThroughRegistry(app, package, false, true); });
      Outcome r = InChild([&] { return ThroughRegistry(app, package, false); });
      FreshCopy(pristine, work);
      Outcome w = InChild([&] { return ThroughRegistry(app, package, true); });
      FreshCopy(pristine, work);
      Outcome q = InChild([&] { return ThroughSqlite(app, package); });
      if (run == 0 || r.seconds < routines.seconds) routines = r;
      if (run == 0 || q.seconds < sqlite.seconds) sqlite = q;
      if (run == 0 || w.seconds < reported.seconds) reported = w;
      if (run == 0 || p.seconds < planned.seconds) planned = p;
      planned_cpu = run == 0 ? p.cpu_seconds : std::min(planned_cpu, p.cpu_seconds);
      reported_cpu = run == 0 ? w.cpu_seconds : std::min(reported_cpu, w.cpu_seconds);
      routines_cpu = run == 0 ? r.cpu_seconds : std::min(routines_cpu, r.cpu_seconds);
      sqlite_cpu = run == 0 ? q.cpu_seconds : std::min(sqlite_cpu, q.cpu_seconds);
      if (p.digest != r.digest) {
        std::printf("%10s the plan saw other rows than the run left: plan %s, run %s\n", "",
                    p.digest.c_str(), r.digest.c_str());
      }
      if (r.digest != q.digest) {
        std::printf("%10s the sides differ: routines %s, sqlite %s\n", "", r.digest.c_str(),
                    q.digest.c_str());
      }
    }
    const double rewritten = std::atof(routines.digest.substr(17).c_str());
    std::printf("%10d %11.3f %10.3f %7.2f %12.2f %12.2f %10.1f %10.1f\n", rows, routines.seconds,
                sqlite.seconds, routines.seconds / sqlite.seconds,
                routines.seconds * 1e6 / rewritten, sqlite.seconds * 1e6 / rewritten,
                routines.peak_kb / 1024.0, sqlite.peak_kb / 1024.0);
    std::printf("%10s processor time: routines %.3f s, sqlite %.3f s, ratio %.2f (target %.2f)\n",
                "", routines_cpu, sqlite_cpu, routines_cpu / sqlite_cpu, kTargetRatio);
    double load[1] = {0};
    getloadavg(load, 1);
    std::printf("%10s machine load %.1f on %ld processors: wall times on a busy machine vary\n", "",
                load[0], sysconf(_SC_NPROCESSORS_ONLN));
    std::printf(
        "%10s run report: %.3f s with it, %+.1f %% of the run (processor time %+.1f %%)"
        " (target: at most 5 %%)\n",
        "", reported.seconds, (reported.seconds / routines.seconds - 1) * 100,
        (reported_cpu / routines_cpu - 1) * 100);
    std::printf(
        "%10s plan: %.3f s, %.2f x the run with its report (processor time %.2f x)"
        " (target: at most %.1f x)\n",
        "", planned.seconds, planned.seconds / reported.seconds, planned_cpu / reported_cpu,
        kTargetPlanRatio);
    std::printf("%10s %.0f rows in the rewritten tables; installation of %.0f MB made in %.0f s\n",
                "", rewritten, Megabytes(pristine), making);
    if (rows > kAllTablesUpTo) {
      std::printf("%10s (21 price tables per KrVal.mdb: the %d no routine touches left out)\n", "",
                  kExtraPriceTables);
    }
    std::fflush(stdout);
    if (!keep) fs::remove_all(pristine);
  }
  if (!keep) fs::remove_all(folder);
  return 0;
}
