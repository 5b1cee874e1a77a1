// Linked with kr-updater-cli's main into kr-updater-cli-faulty: the program users run, on a disk
// that fails on purpose, so that end-to-end tests can fail one change of a whole update.
//
//   KR_FAILING_DISK="<n> <errno>"   the n-th change to the disk fails with errno (ENOSPC 28, EIO
//                                   5); n 0 fails nothing
//   KR_DISK_CHANGES=<file>          every change, "<kind> <native path>" a line, written there
//
// Changes are counted as the crash tests count them: each step platform reports to a FaultHook,
// and the database engine's opens, writes, truncations, syncs and deletions.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "platform/failure.h"
#include "platform/platform.h"

namespace {

class FailingDisk : public kr::platform::Env {
 public:
  FailingDisk() {
    if (const char* spec = std::getenv("KR_FAILING_DISK")) {
      std::sscanf(spec, "%lld %d", &fail_at_, &error_);
    }
    if (const char* list = std::getenv("KR_DISK_CHANGES")) changes_.open(list);
  }

  std::unique_ptr<kr::platform::DatabaseFile> OpenDatabaseFile(
      std::string_view native_path, const kr::platform::DatabaseFileMode& mode) override {
    if (int error = Step("open", native_path)) Throw(error, native_path);
    std::unique_ptr<kr::platform::DatabaseFile> file = Env::OpenDatabaseFile(native_path, mode);
    paths_[file.get()] = native_path;
    return file;
  }
  void WriteDatabaseFile(kr::platform::DatabaseFile& file, int64_t offset, const void* bytes,
                         size_t size) override {
    if (int error = Step("write", paths_[&file])) Throw(error, paths_[&file]);
    Env::WriteDatabaseFile(file, offset, bytes, size);
  }
  void TruncateDatabaseFile(kr::platform::DatabaseFile& file, int64_t size) override {
    if (int error = Step("truncate", paths_[&file])) Throw(error, paths_[&file]);
    Env::TruncateDatabaseFile(file, size);
  }
  void SyncDatabaseFile(kr::platform::DatabaseFile& file) override {
    if (int error = Step("sync", paths_[&file])) Throw(error, paths_[&file]);
    Env::SyncDatabaseFile(file);
  }
  void DeleteDatabaseFile(std::string_view native_path, bool sync_folder) override {
    if (int error = Step("delete", native_path)) Throw(error, native_path);
    Env::DeleteDatabaseFile(native_path, sync_folder);
  }

 private:
  // The error the change fails with, 0 when it goes through.
  int Step(std::string_view kind, std::string_view path) {
    ++count_;
    if (changes_.is_open()) changes_ << kind << ' ' << path << std::endl;
    return count_ == fail_at_ ? error_ : 0;
  }
  // As the engine's file layer reports a failing system call.
  [[noreturn]] static void Throw(int error, std::string_view path) {
    throw kr::Failure::Runtime(error == ENOSPC ? kr::kErrDiskFull : kr::kErrDeviceIo,
                               "failing disk: " + std::string(path));
  }

  long long fail_at_ = 0;
  int error_ = 0;
  long long count_ = 0;
  std::ofstream changes_;
  std::map<const kr::platform::DatabaseFile*, std::string> paths_;  // a freed file's may be reused
  kr::platform::ScopedFaultHook hook_{[this](kr::platform::DiskStep step, std::string_view path) {
    constexpr const char* kNames[] = {"create", "write",       "sync",          "rename",
                                      "remove", "make folder", "remove folder", "attributes"};
    return Step(kNames[static_cast<int>(step)], path);
  }};
  kr::platform::ScopedEnv env_{*this};
};

FailingDisk failing_disk;

}  // namespace
