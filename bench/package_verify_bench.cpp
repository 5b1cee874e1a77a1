// Verifying a signed package against sha256sum over the same files: the updater reads and hashes
// every file once, so it should take no longer than sha256sum does (at most 1.2 times).
// The package (500 MB by default: a few large source databases, programs and many small files)
// is made in a temporary folder, signed, and both are timed with the files in the page cache,
// best of R runs each. Prints both times and their ratio; exits 1 when the ratio is above 1.2.
//
//   package_verify_bench [--megabytes N] [--repeat R] [--folder DIR]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "signing/signing.h"

namespace {

namespace fs = std::filesystem;
namespace signing = kr::signing;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Files of the package below folder: 70% in a few databases, 20% in programs, the rest in
// small files of a few kilobytes; returns their paths.
std::vector<std::string> MakePackage(const fs::path& folder, size_t megabytes) {
  std::vector<std::string> paths;
  std::mt19937_64 random(26);
  std::vector<char> block(1 << 20);
  auto write = [&](const fs::path& relative, size_t bytes) {
    fs::create_directories((folder / relative).parent_path());
    std::ofstream out(folder / relative, std::ios::binary);
    while (bytes > 0) {
      for (size_t i = 0; i < block.size(); i += 8) {
        uint64_t value = random();
        std::copy_n(reinterpret_cast<const char*>(&value), 8, block.data() + i);
      }
      size_t n = std::min(bytes, block.size());
      out.write(block.data(), static_cast<std::streamsize>(n));
      bytes -= n;
    }
    paths.push_back((folder / relative).string());
  };
  const size_t total = megabytes << 20;
  for (int i = 0; i < 7; ++i) write("File/2019年度/KrVal" + std::to_string(i) + ".mdb", total / 10);
  for (int i = 0; i < 20; ++i) write("Kr" + std::to_string(i) + ".exe", total / 100);
  size_t small = total / 10 / (16 << 10);
  for (size_t i = 0; i < small; ++i) write("Help/" + std::to_string(i) + ".htm", 16 << 10);
  write("KrInst.ini", 4096);
  return paths;
}

double TimeSha256sum(const std::vector<std::string>& paths, const fs::path& list) {
  std::ofstream out(list);
  for (const std::string& path : paths) out << path << '\0';
  out.close();
  std::string command = "xargs -0 sha256sum >/dev/null <'" + list.string() + "'";
  Clock::time_point start = Clock::now();
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "sha256sum failed\n");
    std::exit(2);
  }
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  size_t megabytes = 500;
  int repeat = 3;
  fs::path parent = fs::temp_directory_path();
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--megabytes") megabytes = std::strtoul(argv[i + 1], nullptr, 10);
    if (option == "--repeat") repeat = std::max(1, std::atoi(argv[i + 1]));
    if (option == "--folder") parent = argv[i + 1];
  }
  std::string folder_template = (parent / "kr-verify-bench-XXXXXX").string();
  if (mkdtemp(folder_template.data()) == nullptr) {
    std::perror("mkdtemp");
    return 2;
  }
  fs::path root = folder_template;
  fs::path package = root / "Package";
  std::vector<std::string> paths = MakePackage(package, megabytes);

  signing::SecretKey key = signing::GenerateKey();
  std::string text = signing::SignPackage(package.string(), key);
  std::ofstream(package / "KrInst.sig", std::ios::binary) << text;

  TimeSha256sum(paths, root / "list");  // both start with the files in the page cache
  double sums = 1e9, verify = 1e9;
  for (int run = 0; run < repeat; ++run) {
    sums = std::min(sums, TimeSha256sum(paths, root / "list"));
    Clock::time_point start = Clock::now();
    signing::Verification verification = signing::VerifyPackage(package.string(), {key.public_key});
    verify = std::min(verify, Seconds(start));
    if (verification.verdict != signing::Verdict::kIntact) {
      std::fprintf(stderr, "the package did not verify\n");
      return 2;
    }
  }
  fs::remove_all(root);

  double ratio = verify / sums;
  std::printf("package: %zu MB in %zu files\n", megabytes, paths.size());
  std::printf("sha256sum over the files: %.3f s (best of %d)\n", sums, repeat);
  std::printf("VerifyPackage:             %.3f s (best of %d)\n", verify, repeat);
  std::printf("ratio: %.2f (at most 1.20)\n", ratio);
  return ratio <= 1.2 ? 0 : 1;
}
