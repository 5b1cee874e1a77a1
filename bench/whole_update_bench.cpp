// The whole update as a user runs it, `kr-updater-cli` from start to end message, on the demo and
// on the demo grown to five year folders of generated prices. Prints the wall time and where it
// went (file actions, routines, and the backups made within both, from the run's log), so that a
// later change can be measured against it.
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

// Times kr-updater-cli on the sandbox's package and prints one line.
void Update(const fs::path& build, const fs::path& sandbox, const char* label) {
  fs::path log = sandbox / "run" / "kr-updater.log";
  fs::create_directories(log.parent_path());
  std::string environment = "KR_WINDOWS_DIR=" + Quoted(sandbox / "Windows") +
                            " KR_SYSTEM_DIR=" + Quoted(sandbox / "Windows" / "System32") +
                            " KR_COMMON_APPDATA_DIR=" + Quoted(sandbox / "ProgramData") +
                            " KR_PROGRAMS_DIR=" + Quoted(sandbox / "Programs") +
                            " KR_DESKTOP_DIR=" + Quoted(sandbox / "Desktop") +
                            " XDG_RUNTIME_DIR=" + Quoted(sandbox / "run") +
                            " KR_LOG=" + Quoted(log) + " KR_TRUSTED_KEYS=" + Quoted(sandbox);
  std::string command = environment + " " + Quoted(build / "app" / "kr-updater-cli") + " " +
                        Quoted(sandbox / "Package") + " --install-folder " +
                        Quoted(sandbox / "App") + " >/dev/null 2>&1";
  auto start = Clock::now();
  // Status 4 (some databases left unchanged) still times a whole run.
  int status = std::system(command.c_str());
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  double files = 0, routines = 0, backups = 0;
  std::ifstream in(log);
  for (std::string line; std::getline(in, line);) {
    size_t at = line.find("RunManifest: file actions");
    if (at == std::string::npos) continue;
    std::sscanf(line.c_str() + at,
                "RunManifest: file actions %lf s, routines %lf s, backups within both %lf s",
                &files, &routines, &backups);
  }
  std::printf("%-28s %8.2f %12.2f %9.2f %8.2f   (exit %d)\n", label, seconds, files, routines,
              backups, WEXITSTATUS(status));
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
  Update(build, sandbox, "demo");

  make_demo();
  const char* years[] = {"2015年度", "2016年度", "2017年度", "2018年度"};
  for (const char* name : years) {
    kr::fixtures::YearFolderSpec year;
    year.name = name;
    year.val_version = year.cri_version = year.exp_version = "2019,1,1";
    kr::fixtures::MakeYearFolder((sandbox / "App").string(), year, rows);
  }
  Update(build, sandbox, ("5 years, " + std::to_string(rows) + " rows").c_str());
  fs::remove_all(sandbox);
  return 0;
}
