// Whole-tree listings and piecewise reads, for checking every file of a folder; secrets and
// randomness for keys.
#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace kr::platform {
namespace {

using internal::SystemFailure;

// Lists native_folder's entries into entries, prefix before each name, and descends.
void Walk(const std::string& native_folder, const std::string& prefix, std::string_view path,
          std::vector<TreeEntry>& entries) {
  DIR* dir = opendir(native_folder.c_str());
  if (dir == nullptr) throw SystemFailure(errno, "list", path, true);
  std::vector<std::string> folders;
  errno = 0;
  while (const dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat info;
    if (lstat((native_folder + "/" + name).c_str(), &info) != 0) {
      int error = errno;
      closedir(dir);
      throw SystemFailure(error, "examine", std::string(path) + "/" + name);
    }
    if (S_ISDIR(info.st_mode)) {
      folders.push_back(std::move(name));
    } else {
      TreeEntryKind kind = S_ISREG(info.st_mode)   ? TreeEntryKind::kFile
                           : S_ISLNK(info.st_mode) ? TreeEntryKind::kLink
                                                   : TreeEntryKind::kOther;
      entries.push_back({prefix + name, kind});
    }
    errno = 0;
  }
  int error = errno;
  closedir(dir);
  if (error != 0) throw SystemFailure(error, "list", path, true);
  for (const std::string& name : folders) {
    Walk(native_folder + "/" + name, prefix + name + "/", std::string(path) + "/" + name, entries);
  }
}

}  // namespace

std::vector<TreeEntry> Env::ListTree(std::string_view folder) {
  std::string native = NativePath(folder);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  std::vector<TreeEntry> entries;
  Walk(native, "", folder, entries);
  return entries;
}

void Env::ReadFileInPieces(std::string_view path, std::span<char> buffer,
                           const std::function<void(std::string_view)>& piece) {
  std::string native = NativePath(path);
  int fd = open(native.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    throw errno == ELOOP ? internal::RuntimeFailure(kErrPathFileAccess, "read link", path)
                         : SystemFailure(errno, "open", path);
  }
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  struct stat info;
  if (fstat(fd, &info) != 0) throw SystemFailure(errno, "examine", path);
  if (!S_ISREG(info.st_mode)) {
    throw internal::RuntimeFailure(kErrPathFileAccess, "read non-file", path);
  }
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  for (;;) {
    ssize_t got = read(fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw SystemFailure(errno, "read", path);
    if (got == 0) return;
    piece(std::string_view(buffer.data(), static_cast<size_t>(got)));
  }
}

void WritePrivateFile(std::string_view path, std::string_view bytes) {
  internal::WriteFileWithMode(CurrentEnv(), path, bytes, 0600);
}

void RandomBytes(std::span<uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t got = getrandom(bytes.data() + done, bytes.size() - done, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw SystemFailure(errno, "read random bytes", "getrandom");
    done += static_cast<size_t>(got);
  }
}

}  // namespace kr::platform
