// A package's folder tree copied into an installation the way a FILECOPYSUBDIR line copies it,
// against `cp -a` followed by `sync -f` over the same tree. Both make every file durable, so the
// updater should take at most twice as long from 2,000 files up.
// The tree (files of 4 KiB in folders of 100) is made in a temporary folder; each side copies
// into a fresh destination with the source in the page cache, best of R runs. Prints both
// times and their ratio per size; exits 1 when a ratio from 2,000 files up is above 2.
//
//   folder_copy_bench [--files N ...] [--repeat R] [--folder DIR]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "manifest/manifest.h"
#include "ui/console_ui.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr size_t kFilesPerFolder = 100;
constexpr double kTarget = 2.0;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

void MakeTree(const fs::path& root, size_t files) {
  std::string block(4096, 'k');
  for (size_t i = 0; i < files; ++i) {
    fs::path folder = root / ("sub" + std::to_string(i / kFilesPerFolder));
    fs::create_directories(folder);
    block[0] = static_cast<char>('a' + i % 26);
    std::ofstream(folder / ("help" + std::to_string(i) + ".htm"), std::ios::binary) << block;
  }
}

double TimeUpdater(const fs::path& source, const fs::path& destination) {
  fs::remove_all(destination);
  fs::create_directories(destination);
  std::ostringstream out, err;
  kr::ui::ConsoleUi ui(std::nullopt, out, err, false);
  auto start = Clock::now();
  kr::manifest::CopyFolderTree(ui, source.string() + "/*.*", destination.string() + "/", true,
                               true);
  return Seconds(start);
}

double TimeCp(const fs::path& source, const fs::path& destination) {
  fs::remove_all(destination);
  std::string command = "cp -a '" + source.string() + "' '" + destination.string() +
                        "' && sync -f '" + destination.string() + "'";
  auto start = Clock::now();
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "cp failed\n");
    std::exit(2);
  }
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<size_t> sizes;
  int repeat = 3;
  fs::path base = fs::temp_directory_path();
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--files") {
      sizes.push_back(std::strtoul(argv[i + 1], nullptr, 10));
    } else if (option == "--repeat") {
      repeat = std::max(1, std::atoi(argv[i + 1]));
    } else if (option == "--folder") {
      base = argv[i + 1];
    }
  }
  if (sizes.empty()) sizes = {200, 2000, 20000};

  fs::path work = base / ("kr-folder-copy-bench-" + std::to_string(getpid()));
  bool within = true;
  std::printf("%8s %12s %12s %7s\n", "files", "updater s", "cp+sync s", "ratio");
  for (size_t files : sizes) {
    fs::remove_all(work);
    MakeTree(work / "package", files);
    double updater = 1e9, cp = 1e9;
    for (int r = 0; r < repeat; ++r) {
      updater = std::min(updater, TimeUpdater(work / "package", work / "updater"));
      cp = std::min(cp, TimeCp(work / "package", work / "cp"));
    }
    double ratio = updater / cp;
    std::printf("%8zu %12.3f %12.3f %7.2f\n", files, updater, cp, ratio);
    if (files >= 2000 && ratio > kTarget) within = false;
  }
  fs::remove_all(work);
  std::printf("target: at most %.1fx from 2,000 files: %s\n", kTarget, within ? "met" : "NOT met");
  return within ? 0 : 1;
}
