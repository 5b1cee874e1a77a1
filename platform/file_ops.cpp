// File and folder operations with the run-time's failure numbers.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace kr::platform {
namespace internal {

int RuntimeNumberFor(int error, bool missing_is_path) {
  switch (error) {
    case ENOENT:
      return missing_is_path ? kErrPathNotFound : kErrFileNotFound;
    case ENOTDIR:
      return kErrPathNotFound;
    case EEXIST:
      return kErrFileExists;
    case ETXTBSY:
    case EBUSY:
    case EROFS:
      return kErrPermissionDenied;
    case ENOSPC:
    case EDQUOT:
      return kErrDiskFull;
    case EIO:
      return kErrDeviceIo;
    case ENAMETOOLONG:
    case EINVAL:
      return kErrBadFileName;
    case ENOMEM:
      return kErrOutOfMemory;
    default:
      return kErrPathFileAccess;  // EACCES, EPERM, EISDIR, ENOTEMPTY, ...
  }
}

Failure SystemFailure(int error, std::string_view action, std::string_view path,
                      bool missing_is_path) {
  return Failure::Runtime(
      RuntimeNumberFor(error, missing_is_path),
      std::string(action) + " " + std::string(path) + ": " + std::strerror(error));
}

Failure RuntimeFailure(int number, std::string_view action, std::string_view path) {
  return Failure::Runtime(
      number, std::string(action) + " " + std::string(path) + ": error " + std::to_string(number));
}

void CheckReplaceable(const struct stat& info, std::string_view path) {
  if (S_ISDIR(info.st_mode)) throw RuntimeFailure(kErrPathFileAccess, "write onto folder", path);
  if ((info.st_mode & S_IWUSR) == 0) {
    throw RuntimeFailure(kErrPathFileAccess, "write read-only", path);
  }
}

void CheckDeletable(const struct stat& info, std::string_view path) {
  if (!S_ISREG(info.st_mode)) throw RuntimeFailure(kErrFileNotFound, "delete non-file", path);
  if ((info.st_mode & S_IWUSR) == 0) {
    throw RuntimeFailure(kErrPathFileAccess, "delete read-only", path);
  }
}

}  // namespace internal

namespace {

using internal::Fd;

using internal::RuntimeFailure;
using internal::SystemFailure;

struct Stat {
  bool exists = false;
  struct stat info {};
  bool IsDirectory() const { return exists && S_ISDIR(info.st_mode); }
  bool IsFile() const { return exists && S_ISREG(info.st_mode); }
};

Stat StatOf(const std::string& native) {
  Stat result;
  result.exists = !native.empty() && stat(native.c_str(), &result.info) == 0;
  return result;
}

std::string NativeParent(const std::string& native) {
  std::string trimmed = native;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  size_t cut = trimmed.find_last_of('/');
  if (cut == std::string::npos) return ".";
  return cut == 0 ? "/" : trimmed.substr(0, cut);
}

// Whether the native path itself (a trailing separator aside) is a symbolic link.
bool IsLink(std::string native) {
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  struct stat info;
  return !native.empty() && lstat(native.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// Reads up to size bytes, retrying interrupted reads; -1 on failure.
ssize_t ReadSome(int fd, char* buffer, size_t size) {
  for (;;) {
    ssize_t got = read(fd, buffer, size);
    if (got >= 0 || errno != EINTR) return got;
  }
}

// A destination that may be replaced: not a folder, not read-only, its folder present.
void CheckWritableTarget(const std::string& native, const Stat& target, std::string_view path) {
  if (target.exists) internal::CheckReplaceable(target.info, path);
  if (!target.exists && !StatOf(NativeParent(native)).IsDirectory()) {
    throw RuntimeFailure(kErrPathNotFound, "write into missing folder", path);
  }
}

// A running program cannot be opened for writing (ETXTBSY); nothing is written by asking.
void CheckNotBusy(const std::string& native, const Stat& target, std::string_view path) {
  if (!target.IsFile()) return;
  int fd = open(native.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw SystemFailure(errno, "open for writing", path);
  close(fd);
}

void CopyReplacing(Env& env, std::string_view from, std::string_view to, bool busy_target_ok) {
  std::string source = env.NativePath(from), target = env.NativePath(to);
  Stat source_stat = StatOf(source);
  if (!source_stat.exists) {
    bool folder_missing = !StatOf(NativeParent(source)).IsDirectory();
    throw RuntimeFailure(folder_missing ? kErrPathNotFound : kErrFileNotFound, "copy from", from);
  }
  if (!source_stat.IsFile()) throw RuntimeFailure(kErrPathFileAccess, "copy from", from);
  Stat target_stat = StatOf(target);
  CheckWritableTarget(target, target_stat, to);
  if (target_stat.exists && target_stat.info.st_dev == source_stat.info.st_dev &&
      target_stat.info.st_ino == source_stat.info.st_ino) {
    throw RuntimeFailure(kErrPermissionDenied, "copy onto itself", to);
  }
  if (!busy_target_ok) CheckNotBusy(target, target_stat, to);

  Fd in(open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) throw SystemFailure(errno, "open", from);
  internal::Content content;
  content.fill = [&](int fd, const std::string& native_temp) {
    char buffer[1 << 16];
    for (;;) {
      ssize_t got = ReadSome(in.get(), buffer, sizeof buffer);
      if (got < 0) throw SystemFailure(errno, "read", from);
      if (got == 0) break;
      internal::WriteAll(fd, std::string_view(buffer, static_cast<size_t>(got)), native_temp, to);
    }
  };
  // A copy keeps the source's attributes and modification time, as Windows copies do.
  content.mode = source_stat.info.st_mode & 07777;
  content.times.emplace(source_stat.info.st_atim, source_stat.info.st_mtim);
  internal::WriteReplacing(target, to, content);
}

}  // namespace

void Env::CopyFile(std::string_view from, std::string_view to) {
  CopyReplacing(*this, from, to, false);
}

void Env::ReplaceFile(std::string_view from, std::string_view to) {
  CopyReplacing(*this, from, to, true);
}

void Env::DeleteFile(std::string_view path) {
  if (internal::DeleteMatching(*this, path)) return;
  std::string native = NativePath(path);
  if (IsLink(native)) {
    // The link goes, whatever it points to; nothing behind it is touched.
    if (internal::RemoveEntry(native) != 0) throw SystemFailure(errno, "delete link", path);
    return;
  }
  Stat target = StatOf(native);
  if (!target.exists) {
    bool folder_missing = !StatOf(NativeParent(native)).IsDirectory();
    throw RuntimeFailure(folder_missing ? kErrPathNotFound : kErrFileNotFound, "delete", path);
  }
  internal::CheckDeletable(target.info, path);
  if (internal::RemoveEntry(native) != 0) throw SystemFailure(errno, "delete", path);
}

void Env::Rename(std::string_view from, std::string_view to) {
  std::string source = NativePath(from), target = NativePath(to);
  Stat source_stat = StatOf(source);
  if (!source_stat.exists) throw RuntimeFailure(kErrFileNotFound, "rename", from);
  Stat target_stat = StatOf(target);
  const bool same_entry = target_stat.exists &&
                          target_stat.info.st_ino == source_stat.info.st_ino &&
                          target_stat.info.st_dev == source_stat.info.st_dev;
  if (target_stat.exists && !same_entry) throw RuntimeFailure(kErrFileExists, "rename onto", to);
  if (same_entry) {
    // Only the case of the name changes: write the new name as given.
    std::string wanted(to);
    std::replace(wanted.begin(), wanted.end(), '\\', '/');
    target = NativeParent(target) + "/" + internal::SplitLast(wanted).last;
  }
  if (internal::RenameEntry(source, target) == 0) {
    internal::SyncFolder(NativeParent(target), to);
    return;
  }
  if (errno == ENOENT) throw RuntimeFailure(kErrPathNotFound, "rename into", to);
  if (errno != EXDEV || !source_stat.IsFile()) throw SystemFailure(errno, "rename", from);
  // Another file system: move the file by copy and delete, as Windows moves across volumes.
  CopyFile(from, to);
  if (internal::RemoveEntry(source) != 0) throw SystemFailure(errno, "remove moved", from);
}

void Env::MakeDirectory(std::string_view path) {
  std::string native = NativePath(path);
  if (internal::MakeFolder(native) == 0) return;
  int error = errno;
  if (error == EEXIST) throw RuntimeFailure(kErrPathFileAccess, "make existing folder", path);
  throw SystemFailure(error, "make folder", path, true);
}

void Env::RemoveDirectory(std::string_view path) {
  std::string native = NativePath(path);
  Stat target = StatOf(native);
  if (!target.exists) throw RuntimeFailure(kErrPathNotFound, "remove folder", path);
  if (!target.IsDirectory()) throw RuntimeFailure(kErrPathNotFound, "remove non-folder", path);
  internal::RemoveLeftoverTemporaries(native);
  if (internal::RemoveFolder(native) != 0) {
    throw SystemFailure(errno, "remove folder", path, true);
  }
}

void Env::SetReadOnly(std::string_view path, bool read_only) {
  std::string native = NativePath(path);
  Stat target = StatOf(native);
  if (!target.exists) throw RuntimeFailure(kErrFileNotFound, "set attributes", path);
  mode_t mode = target.info.st_mode & 07777;
  mode = read_only ? (mode & ~mode_t{S_IWUSR | S_IWGRP | S_IWOTH}) : (mode | S_IWUSR);
  if (internal::ChangeMode(native, mode) != 0) throw SystemFailure(errno, "set attributes", path);
}

std::string Env::ReadFile(std::string_view path) {
  std::string native = NativePath(path);
  Stat target = StatOf(native);
  if (!target.exists) throw RuntimeFailure(kErrFileNotFound, "read", path);
  if (!target.IsFile()) throw RuntimeFailure(kErrPathFileAccess, "read non-file", path);
  Fd in(open(native.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) throw SystemFailure(errno, "open", path);
  std::string bytes;
  bytes.reserve(static_cast<size_t>(target.info.st_size));
  char buffer[1 << 16];
  for (;;) {
    ssize_t got = ReadSome(in.get(), buffer, sizeof buffer);
    if (got < 0) throw SystemFailure(errno, "read", path);
    if (got == 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  return bytes;
}

void Env::WriteFile(std::string_view path, std::string_view bytes) {
  internal::WriteFileWithMode(*this, path, bytes, std::nullopt);
}

void internal::WriteFileWithMode(Env& env, std::string_view path, std::string_view bytes,
                                 std::optional<mode_t> mode) {
  std::string native = env.NativePath(path);
  CheckWritableTarget(native, StatOf(native), path);
  Stat existing = StatOf(native);
  internal::Content content;
  content.fill = [&](int fd, const std::string& native_temp) {
    internal::WriteAll(fd, bytes, native_temp, path);
  };
  content.mode = mode;
  if (!mode && existing.exists) content.mode = existing.info.st_mode & 07777;
  internal::WriteReplacing(native, path, content);
}

bool Env::SameContent(std::string_view a, std::string_view b) {
  std::string first = NativePath(a), second = NativePath(b);
  Stat first_stat = StatOf(first), second_stat = StatOf(second);
  if (!first_stat.IsFile() || !second_stat.IsFile()) return false;
  if (first_stat.info.st_size != second_stat.info.st_size) return false;
  Fd one(open(first.c_str(), O_RDONLY | O_CLOEXEC));
  Fd two(open(second.c_str(), O_RDONLY | O_CLOEXEC));
  if (one.get() < 0 || two.get() < 0) return false;
  char left[1 << 15], right[1 << 15];
  for (;;) {
    ssize_t got = ReadSome(one.get(), left, sizeof left);
    if (got < 0) return false;
    if (got == 0) return ReadSome(two.get(), right, 1) == 0;
    size_t wanted = static_cast<size_t>(got), have = 0;
    while (have < wanted) {
      ssize_t more = ReadSome(two.get(), right + have, wanted - have);
      if (more <= 0) return false;
      have += static_cast<size_t>(more);
    }
    if (std::memcmp(left, right, wanted) != 0) return false;
  }
}

}  // namespace kr::platform
