// A disk that fails on purpose: an Env whose database-file operations (platform.h), and on request
// its file changes (copies, replacements, writes, renames, deletions), count themselves and fail
// from a chosen one on, as a full disk, a failing disk or a refused permission would. Install it
// with platform::ScopedEnv; everything else is the real machine.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/platform.h"

namespace kr::testing {

class DatabaseFaults : public platform::Env {
 public:
  enum Op : unsigned {
    kOpen = 1u << 0,
    kRead = 1u << 1,
    kWrite = 1u << 2,
    kTruncate = 1u << 3,
    kSync = 1u << 4,
    kSize = 1u << 5,
    kLock = 1u << 6,
    kDelete = 1u << 7,
    kAll = (1u << 8) - 1,   // every database-file operation
    kFileChange = 1u << 8,  // CopyFile, ReplaceFile, WriteFile, Rename, DeleteFile
    // What changes the disk, and the far more numerous operations that only look at it.
    kChanges = kOpen | kWrite | kTruncate | kSync | kDelete | kFileChange,
    kLooks = kRead | kSize | kLock,
  };

  // Restarts the count: the nth operation of the kinds in ops (from 1) throws kr::Failure with
  // error (61 no space, 57 I/O error, 70 permission denied); with sticky, so does every later
  // one of those kinds. n 0 fails nothing and only counts.
  void FailAt(int64_t n, int error, unsigned ops = kAll, bool sticky = false);
  // Stops failing; the count goes on.
  void Heal() { n_ = 0; }

  // Operations of the chosen kinds since the last FailAt.
  int64_t count() const { return count_; }
  // Whether a failure was thrown since the last FailAt.
  bool fired() const { return fired_; }
  // What failed first: "write /tmp/x/KrCri.mdb-journal" and the like.
  const std::string& first_failed() const { return first_failed_; }

  std::unique_ptr<platform::DatabaseFile> OpenDatabaseFile(
      std::string_view native_path, const platform::DatabaseFileMode& mode) override {
    Step(kOpen, "open " + std::string(native_path));
    return Env::OpenDatabaseFile(native_path, mode);
  }
  size_t ReadDatabaseFile(platform::DatabaseFile& file, int64_t offset, void* buffer,
                          size_t size) override {
    Step(kRead, "read");
    return Env::ReadDatabaseFile(file, offset, buffer, size);
  }
  void WriteDatabaseFile(platform::DatabaseFile& file, int64_t offset, const void* bytes,
                         size_t size) override {
    Step(kWrite, "write");
    Env::WriteDatabaseFile(file, offset, bytes, size);
  }
  void TruncateDatabaseFile(platform::DatabaseFile& file, int64_t size) override {
    Step(kTruncate, "truncate");
    Env::TruncateDatabaseFile(file, size);
  }
  void SyncDatabaseFile(platform::DatabaseFile& file) override {
    Step(kSync, "sync");
    Env::SyncDatabaseFile(file);
  }
  int64_t DatabaseFileSize(platform::DatabaseFile& file) override {
    Step(kSize, "size");
    return Env::DatabaseFileSize(file);
  }
  bool LockDatabaseFile(platform::DatabaseFile& file, int64_t start, int64_t length,
                        platform::RangeLock lock) override {
    Step(kLock, "lock");
    return Env::LockDatabaseFile(file, start, length, lock);
  }
  bool DatabaseFileLockedElsewhere(platform::DatabaseFile& file, int64_t start,
                                   int64_t length) override {
    Step(kLock, "test lock");
    return Env::DatabaseFileLockedElsewhere(file, start, length);
  }
  void DeleteDatabaseFile(std::string_view native_path, bool sync_folder) override {
    Step(kDelete, "delete " + std::string(native_path));
    Env::DeleteDatabaseFile(native_path, sync_folder);
  }
  void CopyFile(std::string_view from, std::string_view to) override {
    Step(kFileChange, "copy to " + std::string(to));
    Env::CopyFile(from, to);
  }
  void ReplaceFile(std::string_view from, std::string_view to) override {
    Step(kFileChange, "replace " + std::string(to));
    Env::ReplaceFile(from, to);
  }
  void WriteFile(std::string_view path, std::string_view bytes) override {
    Step(kFileChange, "write " + std::string(path));
    Env::WriteFile(path, bytes);
  }
  void Rename(std::string_view from, std::string_view to) override {
    Step(kFileChange, "rename to " + std::string(to));
    Env::Rename(from, to);
  }
  void DeleteFile(std::string_view path) override {
    Step(kFileChange, "delete " + std::string(path));
    Env::DeleteFile(path);
  }

 private:
  // Counts one operation of kind op and throws when it is due to fail.
  void Step(Op op, std::string_view what);

  int64_t n_ = 0;
  int error_ = 0;
  unsigned ops_ = kAll;
  bool sticky_ = false;
  int64_t count_ = 0;
  bool fired_ = false;
  std::string first_failed_;
};

// Runs body in a child process that is killed (SIGKILL) at its n-th write into a database file
// itself, not into a journal beside it: a commit caught halfway through putting its pages in
// place. Returns whether the child was killed (false: body ended before that write).
bool KillAtDatabaseWrite(const std::function<void()>& body, int n);

}  // namespace kr::testing
