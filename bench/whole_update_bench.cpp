// The whole update as a user runs it, `kr-updater-cli` from start to end message, on the demo and
// on the demo grown to five year folders of generated prices. Prints the wall time and where it
// went (file actions, routines, and the backups made within both, from the run's log), so that a
// later change can be measured against it. Before each run, a plan of it (--plan) is timed too,
// with the disk its copies took against the installation's size: a plan should take at most 1.5
// times the run.
//
//   whole_update_bench [--rows N] [--build DIR] [--source DIR]
//
// N (default 2000) is the rows of every price table in the four generated year folders; DIR
// default to the folders this benchmark was built from.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "demo/fixture_generator.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(2);
  }
}

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// The files below folder with their size and modification time.
using Listing = std::map<std::string, std::pair<uintmax_t, fs::file_time_type>>;
Listing Files(const fs::path& folder) {
  Listing files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) {
      files[entry.path().string()] = {entry.file_size(), entry.last_write_time()};
    }
  }
  return files;
}

double Bytes(const Listing& files) {
  double bytes = 0;
  for (const auto& [path, file] : files) bytes += static_cast<double>(file.first);
  return bytes;
}

// Bytes of the files that are new or changed in after.
double ChangedBytes(const Listing& before, const Listing& after) {
  double bytes = 0;
  for (const auto& [path, file] : after) {
    auto was = before.find(path);
    if (was == before.end() || was->second != file) bytes += static_cast<double>(file.first);
  }
  return bytes;
}

struct Timed {
  double seconds = 0;
  double plan_bytes = 0;  // the plan's copies, from its log
};

// Times kr-updater-cli on the sandbox's package (a plan of it with plan) and prints one line.
Timed Update(const fs::path& build, const fs::path& sandbox, const std::string& label,
             bool plan = false) {
  fs::path log = sandbox / "run" / "kr-updater.log";
  fs::create_directories(log.parent_path());
  fs::remove(log);
  std::string environment = "KR_WINDOWS_DIR=" + Quoted(sandbox / "Windows") +
                            " KR_SYSTEM_DIR=" + Quoted(sandbox / "Windows" / "System32") +
                            " KR_COMMON_APPDATA_DIR=" + Quoted(sandbox / "ProgramData") +
                            " KR_PROGRAMS_DIR=" + Quoted(sandbox / "Programs") +
                            " KR_DESKTOP_DIR=" + Quoted(sandbox / "Desktop") +
                            " XDG_RUNTIME_DIR=" + Quoted(sandbox / "run") +
                            " KR_LOG=" + Quoted(log) + " KR_TRUSTED_KEYS=" + Quoted(sandbox);
  std::string command = environment + " " + Quoted(build / "app" / "kr-updater-cli") + " " +
                        Quoted(sandbox / "Package") + " --install-folder " +
                        Quoted(sandbox / "App") + (plan ? " --plan" : "") + " >/dev/null 2>&1";
  auto start = Clock::now();
  // Status 4 (some databases left unchanged) still times a whole run.
  int status = std::system(command.c_str());
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  double files = 0, routines = 0, backups = 0;
  Timed timed{seconds, 0};
  std::ifstream in(log);
  for (std::string line; std::getline(in, line);) {
    if (size_t copies = line.find("the plan's copies took "); copies != std::string::npos) {
      timed.plan_bytes = std::atof(line.c_str() + copies + 23);
    }
    size_t at = line.find("RunManifest: file actions");
    if (at == std::string::npos) continue;
    std::sscanf(line.c_str() + at,
                "RunManifest: file actions %lf s, routines %lf s, backups within both %lf s",
                &files, &routines, &backups);
  }
  std::printf("%-28s %8.2f %12.2f %9.2f %8.2f   (exit %d)\n", label.c_str(), seconds, files,
              routines, backups, WEXITSTATUS(status));
  return timed;
}

// A plan, then the run it describes, and how they compare.
void PlanAndUpdate(const fs::path& build, const fs::path& sandbox, const std::string& label) {
  Listing before = Files(sandbox);
  Timed plan = Update(build, sandbox, label + " (plan)", true);
  Timed run = Update(build, sandbox, label);
  std::printf(
      "%-28s plan/run %.2fx; the plan's copies %.1f MB, files the run wrote %.1f MB, all files "
      "%.1f MB\n",
      "", plan.seconds / run.seconds, plan.plan_bytes / 1e6,
      ChangedBytes(before, Files(sandbox)) / 1e6, Bytes(before) / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  int rows = 2000;
  fs::path build = KR_BENCH_BUILD_DIR, source = KR_BENCH_SOURCE_DIR;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--rows") rows = std::atoi(argv[i + 1]);
    if (option == "--build") build = argv[i + 1];
    if (option == "--source") source = argv[i + 1];
  }
  fs::path sandbox =
      fs::temp_directory_path() / ("kr-whole-update-bench-" + std::to_string(getpid()));
  auto make_demo = [&] {
    fs::remove_all(sandbox);
    Run(Quoted(build / "demo" / "kr-make-demo") + " " + Quoted(sandbox) + " --fixtures " +
        Quoted(source / "demo" / "fixtures") + " --pe " +
        Quoted(build / "tests" / "fixtures" / "pe") + " >/dev/null");
  };

  std::printf("%-28s %8s %12s %9s %8s\n", "installation", "total s", "file acts s", "routines s",
              "backups s");
  make_demo();
  PlanAndUpdate(build, sandbox, "demo");

  make_demo();
  const char* years[] = {"2015年度", "2016年度", "2017年度", "2018年度"};
  for (const char* name : years) {
    kr::fixtures::YearFolderSpec year;
    year.name = name;
    year.val_version = year.cri_version = year.exp_version = "2019,1,1";
    kr::fixtures::MakeYearFolder((sandbox / "App").string(), year, rows);
  }
  PlanAndUpdate(build, sandbox, "5 years, " + std::to_string(rows) + " rows");
  fs::remove_all(sandbox);
  return 0;
}
