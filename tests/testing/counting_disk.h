// Every change to the disk counted and named, as the crash tests and the failing-disk program
// count them: each step platform reports to a FaultHook, and the database engine's writes,
// truncations, syncs and deletions (its opens too, on request). Installed for its lifetime; a
// callback decides the fate of each change. Header-only, without gtest, for programs too.
#pragma once

#include <cerrno>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/failure.h"
#include "platform/platform.h"

namespace kr::testing {

class CountingDisk : public platform::Env {
 public:
  // Given the change's number (from 1), its kind ("write", "rename", ...) and native path; returns
  // the errno it fails with (ENOSPC a full disk, else a broken one), 0 to let it through.
  using OnChange = std::function<int(int64_t n, std::string_view kind, std::string_view path)>;

  explicit CountingDisk(OnChange on_change, bool count_opens = false)
      : on_change_(std::move(on_change)), count_opens_(count_opens) {}

  int64_t count() const { return count_; }

  std::unique_ptr<platform::DatabaseFile> OpenDatabaseFile(
      std::string_view native_path, const platform::DatabaseFileMode& mode) override {
    if (count_opens_) Fail(Step("open", native_path), native_path);
    std::unique_ptr<platform::DatabaseFile> file = Env::OpenDatabaseFile(native_path, mode);
    paths_[file.get()] = native_path;
    return file;
  }
  void WriteDatabaseFile(platform::DatabaseFile& file, int64_t offset, const void* bytes,
                         size_t size) override {
    Fail(Step("write", paths_[&file]), paths_[&file]);
    Env::WriteDatabaseFile(file, offset, bytes, size);
  }
  void TruncateDatabaseFile(platform::DatabaseFile& file, int64_t size) override {
    Fail(Step("truncate", paths_[&file]), paths_[&file]);
    Env::TruncateDatabaseFile(file, size);
  }
  void SyncDatabaseFile(platform::DatabaseFile& file) override {
    Fail(Step("sync", paths_[&file]), paths_[&file]);
    Env::SyncDatabaseFile(file);
  }
  void DeleteDatabaseFile(std::string_view native_path, bool sync_folder) override {
    Fail(Step("delete", native_path), native_path);
    Env::DeleteDatabaseFile(native_path, sync_folder);
  }

 private:
  int Step(std::string_view kind, std::string_view path) {
    return on_change_(++count_, kind, path);
  }
  // As the engine's file layer reports a failing system call.
  static void Fail(int error, std::string_view path) {
    if (error == 0) return;
    throw Failure::Runtime(error == ENOSPC ? kErrDiskFull : kErrDeviceIo,
                           "failing disk: " + std::string(path));
  }

  OnChange on_change_;
  bool count_opens_;
  int64_t count_ = 0;
  std::map<const platform::DatabaseFile*, std::string> paths_;  // a freed file's may be reused
  platform::ScopedFaultHook hook_{[this](platform::DiskStep step, std::string_view path) {
    constexpr const char* kNames[] = {"create", "write",       "sync",          "rename",
                                      "remove", "make folder", "remove folder", "attributes"};
    return Step(kNames[static_cast<int>(step)], path);
  }};
  platform::ScopedEnv env_{*this};
};

}  // namespace kr::testing
