// Linked with kr-updater-cli's main into kr-updater-cli-faulty: the program users run, on a disk
// that fails on purpose, so that end-to-end tests can fail one change of a whole update.
//
//   KR_FAILING_DISK="<n> <errno>"   the n-th change to the disk fails with errno (ENOSPC 28, EIO
//                                   5); n 0 fails nothing
//   KR_DISK_CHANGES=<file>          every change, "<kind> <native path>" a line, written there
//
// Changes are counted as the crash tests count them (tests/testing/counting_disk.h), the database
// engine's opens included.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "tests/testing/counting_disk.h"

namespace {

struct FailingDisk {
  FailingDisk() {
    if (const char* spec = std::getenv("KR_FAILING_DISK")) {
      std::sscanf(spec, "%lld %d", &fail_at, &error);
    }
    if (const char* list = std::getenv("KR_DISK_CHANGES")) changes.open(list);
  }

  long long fail_at = 0;
  int error = 0;
  std::ofstream changes;
  kr::testing::CountingDisk disk{[this](int64_t n, std::string_view kind, std::string_view path) {
                                   if (changes.is_open())
                                     changes << kind << ' ' << path << std::endl;
                                   return n == fail_at ? error : 0;
                                 },
                                 /*count_opens=*/true};
};

FailingDisk failing_disk;

}  // namespace
