#include "tests/testing/database_faults.h"

#include <signal.h>

#include <map>

#include "tests/testing/testing.h"

namespace kr::testing {

void DatabaseFaults::FailAt(int64_t n, int error, unsigned ops, bool sticky) {
  n_ = n;
  error_ = error;
  ops_ = ops;
  sticky_ = sticky;
  count_ = 0;
  fired_ = false;
  first_failed_.clear();
}

void DatabaseFaults::Step(Op op, std::string_view what) {
  if ((ops_ & op) == 0) return;
  ++count_;
  if (n_ == 0 || count_ < n_ || (count_ > n_ && !sticky_)) return;
  if (!fired_) first_failed_ = what;
  fired_ = true;
  throw Failure::Runtime(error_, "injected: " + std::string(what));
}

std::unique_ptr<platform::DatabaseFile> DatabaseFaults::OpenDatabaseFile(
    std::string_view native_path, const platform::DatabaseFileMode& mode) {
  Step(kOpen, "open " + std::string(native_path));
  return Env::OpenDatabaseFile(native_path, mode);
}

size_t DatabaseFaults::ReadDatabaseFile(platform::DatabaseFile& file, int64_t offset, void* buffer,
                                        size_t size) {
  Step(kRead, "read");
  return Env::ReadDatabaseFile(file, offset, buffer, size);
}

void DatabaseFaults::WriteDatabaseFile(platform::DatabaseFile& file, int64_t offset,
                                       const void* bytes, size_t size) {
  Step(kWrite, "write");
  Env::WriteDatabaseFile(file, offset, bytes, size);
}

void DatabaseFaults::TruncateDatabaseFile(platform::DatabaseFile& file, int64_t size) {
  Step(kTruncate, "truncate");
  Env::TruncateDatabaseFile(file, size);
}

void DatabaseFaults::SyncDatabaseFile(platform::DatabaseFile& file) {
  Step(kSync, "sync");
  Env::SyncDatabaseFile(file);
}

int64_t DatabaseFaults::DatabaseFileSize(platform::DatabaseFile& file) {
  Step(kSize, "size");
  return Env::DatabaseFileSize(file);
}

bool DatabaseFaults::LockDatabaseFile(platform::DatabaseFile& file, int64_t start, int64_t length,
                                      platform::RangeLock lock) {
  Step(kLock, "lock");
  return Env::LockDatabaseFile(file, start, length, lock);
}

bool DatabaseFaults::DatabaseFileLockedElsewhere(platform::DatabaseFile& file, int64_t start,
                                                 int64_t length) {
  Step(kLock, "test lock");
  return Env::DatabaseFileLockedElsewhere(file, start, length);
}

void DatabaseFaults::DeleteDatabaseFile(std::string_view native_path, bool sync_folder) {
  Step(kDelete, "delete " + std::string(native_path));
  Env::DeleteDatabaseFile(native_path, sync_folder);
}

void DatabaseFaults::CopyFile(std::string_view from, std::string_view to) {
  Step(kFileChange, "copy to " + std::string(to));
  Env::CopyFile(from, to);
}

void DatabaseFaults::ReplaceFile(std::string_view from, std::string_view to) {
  Step(kFileChange, "replace " + std::string(to));
  Env::ReplaceFile(from, to);
}

void DatabaseFaults::WriteFile(std::string_view path, std::string_view bytes) {
  Step(kFileChange, "write " + std::string(path));
  Env::WriteFile(path, bytes);
}

void DatabaseFaults::Rename(std::string_view from, std::string_view to) {
  Step(kFileChange, "rename to " + std::string(to));
  Env::Rename(from, to);
}

void DatabaseFaults::DeleteFile(std::string_view path) {
  Step(kFileChange, "delete " + std::string(path));
  Env::DeleteFile(path);
}

namespace {

class KillingDatabaseEnv : public platform::Env {
 public:
  explicit KillingDatabaseEnv(int n) : n_(n) {}
  std::unique_ptr<platform::DatabaseFile> OpenDatabaseFile(
      std::string_view native_path, const platform::DatabaseFileMode& mode) override {
    std::unique_ptr<platform::DatabaseFile> file = Env::OpenDatabaseFile(native_path, mode);
    paths_[file.get()] = native_path;
    return file;
  }
  void WriteDatabaseFile(platform::DatabaseFile& file, int64_t offset, const void* bytes,
                         size_t size) override {
    if (paths_[&file].ends_with(".mdb") && ++writes_ == n_) raise(SIGKILL);
    Env::WriteDatabaseFile(file, offset, bytes, size);
  }

 private:
  int n_;
  int writes_ = 0;
  std::map<const platform::DatabaseFile*, std::string> paths_;
};

}  // namespace

bool KillAtDatabaseWrite(const std::function<void()>& body, int n) {
  return KilledInChild([&] {
    KillingDatabaseEnv env(n);
    platform::ScopedEnv scoped(env);
    body();
  });
}

}  // namespace kr::testing
