// Database files on this machine: positioned reads and writes on a descriptor, and open file
// description locks (F_OFD_SETLK), which belong to the open rather than the process. Process
// locks would be dropped by closing any descriptor of the file, which the engine does whenever
// one of several connections to a file closes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace kr::platform {

namespace {

using internal::Injected;
using internal::SystemFailure;

class PosixDatabaseFile : public DatabaseFile {
 public:
  PosixDatabaseFile(int fd, std::string path, bool sync_folder, bool observed)
      : fd_(fd), path_(std::move(path)), sync_folder_(sync_folder), observed_(observed) {}
  ~PosixDatabaseFile() override { close(fd_); }

  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  // True the first time after a durable-name open.
  bool TakeFolderSync() { return std::exchange(sync_folder_, false); }
  // Before the first change through this open, the change observer is told.
  void Changing() {
    if (observed_) return;
    internal::Observe(path_, true);
    observed_ = true;
  }

 private:
  int fd_;
  std::string path_;
  bool sync_folder_;
  bool observed_;
};

PosixDatabaseFile& Posix(DatabaseFile& file) {
  assert(dynamic_cast<PosixDatabaseFile*>(&file) != nullptr);
  return static_cast<PosixDatabaseFile&>(file);
}

std::string TemporaryFolder() {
  std::error_code error;
  std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  return error ? std::string("/tmp") : folder.string();
}

// An unnamed file in the temporary folder: nothing is left behind, even after a crash.
int OpenUnnamedFile() {
  std::string folder = TemporaryFolder();
  int fd = open(folder.c_str(), O_RDWR | O_TMPFILE | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  std::string name = folder + "/kr-db-XXXXXX";
  fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) throw SystemFailure(errno, "create temporary file in", folder);
  unlink(name.c_str());
  return fd;
}

bool SetLock(int fd, short type, int64_t start, int64_t length, const std::string& path) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = length;
  while (fcntl(fd, F_OFD_SETLK, &lock) != 0) {
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EACCES) return false;
    throw SystemFailure(errno, "lock", path);
  }
  return true;
}

}  // namespace

std::unique_ptr<DatabaseFile> Env::OpenDatabaseFile(std::string_view native_path,
                                                    const DatabaseFileMode& mode) {
  std::string path(native_path);
  if (path.empty()) return std::make_unique<PosixDatabaseFile>(OpenUnnamedFile(), "", false, true);
  int flags = (mode.read_only ? O_RDONLY : O_RDWR) | O_CLOEXEC;
  if (mode.create) flags |= O_CREAT;
  if (mode.must_create) flags |= O_CREAT | O_EXCL;
  if (mode.must_create || (mode.create && access(path.c_str(), F_OK) != 0)) {
    if (!mode.delete_on_close) internal::Observe(path, true);
    if (int error = Injected(DiskStep::kCreate, path)) throw SystemFailure(error, "open", path);
  }
  int fd;
  do {
    fd = open(path.c_str(), flags, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw SystemFailure(errno, "open", path);
  // The open keeps the data while it lives; nothing is left to ask the hook about.
  if (mode.delete_on_close) unlink(path.c_str());
  return std::make_unique<PosixDatabaseFile>(fd, path, mode.durable_name,
                                             mode.read_only || mode.delete_on_close);
}

size_t Env::ReadDatabaseFile(DatabaseFile& file, int64_t offset, void* buffer, size_t size) {
  PosixDatabaseFile& f = Posix(file);
  size_t done = 0;
  while (done < size) {
    ssize_t n = pread(f.fd(), static_cast<char*>(buffer) + done, size - done,
                      static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw SystemFailure(errno, "read", f.path());
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

bool Env::PeekDatabaseFile(DatabaseFile& file, int64_t offset, void* buffer, size_t size) {
  ssize_t n;
  do {
    n = pread(Posix(file).fd(), buffer, size, static_cast<off_t>(offset));
  } while (n < 0 && errno == EINTR);
  return n == static_cast<ssize_t>(size);
}

void Env::WriteDatabaseFile(DatabaseFile& file, int64_t offset, const void* bytes, size_t size) {
  PosixDatabaseFile& f = Posix(file);
  f.Changing();
  // A failing write first writes half, as a disk filling up does.
  const int injected = Injected(DiskStep::kWrite, f.path());
  if (injected != 0) size /= 2;
  size_t done = 0;
  while (done < size) {
    ssize_t n = pwrite(f.fd(), static_cast<const char*>(bytes) + done, size - done,
                       static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw SystemFailure(errno, "write", f.path());
    }
    if (n == 0) throw SystemFailure(ENOSPC, "write", f.path());
    done += static_cast<size_t>(n);
  }
  if (injected != 0) throw SystemFailure(injected, "write", f.path());
}

void Env::TruncateDatabaseFile(DatabaseFile& file, int64_t size) {
  PosixDatabaseFile& f = Posix(file);
  f.Changing();
  if (int error = Injected(DiskStep::kWrite, f.path()))
    throw SystemFailure(error, "truncate", f.path());
  while (ftruncate(f.fd(), static_cast<off_t>(size)) != 0) {
    if (errno != EINTR) throw SystemFailure(errno, "truncate", f.path());
  }
}

void Env::SyncDatabaseFile(DatabaseFile& file) {
  PosixDatabaseFile& f = Posix(file);
  if (int error = Injected(DiskStep::kSync, f.path())) throw SystemFailure(error, "sync", f.path());
  if (fdatasync(f.fd()) != 0) throw SystemFailure(errno, "sync", f.path());
  if (f.TakeFolderSync()) internal::SyncFolder(internal::FolderOf(f.path()), f.path());
}

int64_t Env::DatabaseFileSize(DatabaseFile& file) {
  PosixDatabaseFile& f = Posix(file);
  struct stat info {};
  if (fstat(f.fd(), &info) != 0) throw SystemFailure(errno, "size of", f.path());
  return info.st_size;
}

bool Env::LockDatabaseFile(DatabaseFile& file, int64_t start, int64_t length, RangeLock lock) {
  PosixDatabaseFile& f = Posix(file);
  short type = lock == RangeLock::kUnlock   ? F_UNLCK
               : lock == RangeLock::kShared ? F_RDLCK
                                            : F_WRLCK;
  return SetLock(f.fd(), type, start, length, f.path());
}

bool Env::DatabaseFileLockedElsewhere(DatabaseFile& file, int64_t start, int64_t length) {
  PosixDatabaseFile& f = Posix(file);
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = length;
  if (fcntl(f.fd(), F_OFD_GETLK, &lock) != 0) throw SystemFailure(errno, "test lock", f.path());
  return lock.l_type != F_UNLCK;
}

void Env::DeleteDatabaseFile(std::string_view native_path, bool sync_folder) {
  std::string path(native_path);
  if (internal::RemoveEntry(path) != 0) throw SystemFailure(errno, "delete", path);
  if (sync_folder) internal::SyncFolder(internal::FolderOf(path), path);
}

DatabaseFileStatus Env::StatDatabaseFile(std::string_view native_path) {
  std::string path(native_path);
  DatabaseFileStatus status;
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return status;
  status.exists = true;
  status.is_directory = S_ISDIR(info.st_mode);
  status.writable = access(path.c_str(), W_OK) == 0;
  status.size = info.st_size;
  return status;
}

std::string CanonicalNativePath(std::string_view native_path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(native_path, error);
  if (error) return std::string(native_path);
  std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, error);
  return error ? absolute.lexically_normal().string() : canonical.string();
}

std::string AbsoluteNativePath(std::string_view native_path) {
  if (native_path.empty()) return {};
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(native_path, error);
  return error ? std::string(native_path) : absolute.lexically_normal().string();
}

std::string EnvironmentValue(const char* name) { return internal::GetEnv(name); }

}  // namespace kr::platform
