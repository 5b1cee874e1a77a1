// Changes to the disk: the fault hook every change asks first, and the replacing write that
// keeps a target whole through a full disk, an I/O error or a killed process.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace kr::platform {
namespace {

// Hidden (leading ".") so that no listing shows it; the prefix is what a later run removes.
constexpr std::string_view kTemporaryPrefix = ".~krtmp-";

// Set by ScopedFaultHook (tests) and SetDurableWrites (start-up of test programs); read by
// every change to the disk. One thread at a time, as the engine.
FaultHook* fault_hook = nullptr;
bool durable_writes = true;

// The writes of the open WriteBatch, waiting to be put in place.
struct PendingWrite {
  std::string temporary, target, folder, path;
};
struct OpenBatch {
  std::vector<PendingWrite> writes;
  // Folders whose leftovers are gone: cleaning again would remove this batch's temporaries.
  std::set<std::string> cleaned;
  std::map<std::string, internal::CaseBlindNames> names;
};
OpenBatch* open_batch = nullptr;

// Set by ScopedChangeObserver; observing keeps the observer's own changes out of its sight.
ChangeObserver* change_observer = nullptr;
bool observing = false;
// Set by ScopedPrivateArea while a plan's overlay lives.
const internal::ScopedPrivateArea* private_area = nullptr;

// A change to an entry of the folder holding native: its names must be read again.
void Changed(std::string native) {
  if (open_batch == nullptr) return;
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  open_batch->names.erase(internal::FolderOf(native));
}

// The file a write onto native replaces: the linked file when native is a link to one.
std::string ReplacedFile(const std::string& native) {
  struct stat info;
  if (lstat(native.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return native;
  char resolved[PATH_MAX];
  if (realpath(native.c_str(), resolved) == nullptr) return native;
  if (stat(resolved, &info) != 0 || !S_ISREG(info.st_mode)) return native;
  return resolved;
}

// Closes and removes the temporary unless it was put in place.
class Temporary {
 public:
  Temporary(std::string native, int fd) : native_(std::move(native)), fd_(fd) {}
  ~Temporary() {
    if (fd_ >= 0) close(fd_);
    // Not through the hook: removing is what a full disk still allows, and a removal that does
    // fail leaves a temporary the next write into the folder removes.
    if (!placed_) unlink(native_.c_str());
  }
  Temporary(const Temporary&) = delete;
  Temporary& operator=(const Temporary&) = delete;
  int fd() const { return fd_; }
  const std::string& native() const { return native_; }
  int Close() {
    int result = close(fd_);
    fd_ = -1;
    return result;
  }
  void Placed() { placed_ = true; }

 private:
  std::string native_;
  int fd_;
  bool placed_ = false;
};

}  // namespace

void SetDurableWrites(bool durable) { durable_writes = durable; }
bool DurableWrites() { return durable_writes; }

ScopedFaultHook::ScopedFaultHook(FaultHook hook) : hook_(std::move(hook)), previous_(fault_hook) {
  fault_hook = &hook_;
}

ScopedFaultHook::~ScopedFaultHook() { fault_hook = previous_; }

ScopedChangeObserver::ScopedChangeObserver(ChangeObserver observer)
    : observer_(std::move(observer)), previous_(change_observer) {
  change_observer = &observer_;
}

ScopedChangeObserver::~ScopedChangeObserver() { change_observer = previous_; }

namespace internal {

const CaseBlindNames* BatchedFolderNames(const std::string& native_folder) {
  if (open_batch == nullptr) return nullptr;
  auto [at, added] = open_batch->names.try_emplace(native_folder);
  if (added) {
    for (const std::string& name : ReadFolderNames(native_folder)) {
      at->second.try_emplace(FoldCase(name), name);
    }
  }
  return &at->second;
}

ScopedPrivateArea::ScopedPrivateArea(std::string private_root, std::string tree_root)
    : private_root_(std::move(private_root)),
      tree_root_(std::move(tree_root)),
      previous_(private_area) {
  private_area = this;
}

ScopedPrivateArea::~ScopedPrivateArea() { private_area = previous_; }

std::optional<std::string> ScopedPrivateArea::Public(const std::string& native) const {
  auto below = [&native](const std::string& root) {
    return native.size() > root.size() && native.starts_with(root) && native[root.size()] == '/';
  };
  if (below(tree_root_)) return native.substr(tree_root_.size());
  if (below(private_root_)) return std::nullopt;
  return previous_ != nullptr ? previous_->Public(native) : native;
}

void Observe(const std::string& native, bool in_place) {
  if (change_observer == nullptr || !*change_observer || observing) return;
  std::optional<std::string> seen = private_area ? private_area->Public(native) : native;
  if (!seen) return;
  size_t name = seen->find_last_of('/');
  if (seen->compare(name == std::string::npos ? 0 : name + 1, kTemporaryPrefix.size(),
                    kTemporaryPrefix) == 0) {
    return;
  }
  // The observer's copies must be in place before the change they keep from, not when an open
  // batch commits.
  struct Aside {
    OpenBatch* batch = std::exchange(open_batch, nullptr);
    Aside() { observing = true; }
    ~Aside() {
      observing = false;
      open_batch = batch;
      if (batch != nullptr) batch->names.clear();
    }
  } aside;
  (*change_observer)(*seen, in_place);
}

int Injected(DiskStep step, const std::string& native) {
  if (fault_hook == nullptr || !*fault_hook) return 0;
  return (*fault_hook)(step, native);
}

std::string FolderOf(const std::string& native) {
  size_t cut = native.find_last_of('/');
  if (cut == std::string::npos) return ".";
  return cut == 0 ? "/" : native.substr(0, cut);
}

int CreateExclusive(const std::string& native) {
  if (int error = Injected(DiskStep::kCreate, native)) {
    errno = error;
    return -1;
  }
  return open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

int SyncFile(int fd, const std::string& native) {
  if (!durable_writes) return 0;
  if (int error = Injected(DiskStep::kSync, native)) {
    errno = error;
    return -1;
  }
  return fsync(fd);
}

int RenameEntry(const std::string& from, const std::string& to) {
  Observe(from);
  Observe(to);
  Changed(to);
  Changed(from);

  if (int error = Injected(DiskStep::kRename, to)) {
    errno = error;
    return -1;
  }
  return std::rename(from.c_str(), to.c_str());
}

int RemoveEntry(const std::string& native) {
  Observe(native);
  Changed(native);

  if (int error = Injected(DiskStep::kRemove, native)) {
    errno = error;
    return -1;
  }
  return unlink(native.c_str());
}

int MakeFolder(const std::string& native) {
  Changed(native);

  if (int error = Injected(DiskStep::kMakeFolder, native)) {
    errno = error;
    return -1;
  }
  return mkdir(native.c_str(), 0777);
}

int RemoveFolder(const std::string& native) {
  Changed(native);

  if (int error = Injected(DiskStep::kRemoveFolder, native)) {
    errno = error;
    return -1;
  }
  return rmdir(native.c_str());
}

int ChangeMode(const std::string& native, mode_t mode) {
  if (int error = Injected(DiskStep::kAttributes, native)) {
    errno = error;
    return -1;
  }
  return chmod(native.c_str(), mode);
}

void WriteAll(int fd, std::string_view bytes, const std::string& native, std::string_view path) {
  while (!bytes.empty()) {
    if (int error = Injected(DiskStep::kWrite, native)) {
      // As a disk filling up: part of the bytes land before the error.
      ssize_t landed = bytes.size() > 1 ? write(fd, bytes.data(), bytes.size() / 2) : 0;
      (void)landed;
      throw SystemFailure(error, "write", path);
    }
    ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      throw SystemFailure(errno, "write", path);
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

void RemoveLeftoverTemporaries(const std::string& native_folder) {
  for (const std::string& name : ReadFolderNames(native_folder)) {
    if (name.starts_with(kTemporaryPrefix)) RemoveEntry(native_folder + "/" + name);
  }
}

void WriteReplacing(const std::string& native, std::string_view path, const Content& content) {
  const std::string target = ReplacedFile(native);
  Observe(target);
  const std::string folder = FolderOf(target);
  if (open_batch == nullptr || open_batch->cleaned.insert(folder).second) {
    RemoveLeftoverTemporaries(folder);
  }

  // Keeps this process's temporaries apart; only grows, one thread at a time like every change.
  static unsigned counter = 0;
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temporary = folder + "/" + std::string(kTemporaryPrefix) + std::to_string(getpid()) + "-" +
                std::to_string(++counter);
    fd = CreateExclusive(temporary);
    if (fd < 0 && (errno != EEXIST || attempt == 100)) {
      throw SystemFailure(errno, "create", path, true);
    }
  }
  Temporary file(temporary, fd);
  // Before the bytes, so that a private file is never readable by others.
  if (content.mode) fchmod(file.fd(), *content.mode);
  content.fill(file.fd(), file.native());
  if (content.times) {
    const timespec times[2] = {content.times->first, content.times->second};
    futimens(file.fd(), times);
  }
  if (open_batch != nullptr) {
    if (file.Close() != 0) throw SystemFailure(errno, "close", path);
    open_batch->writes.push_back({file.native(), target, folder, std::string(path)});
    file.Placed();
    return;
  }
  if (SyncFile(file.fd(), file.native()) != 0) throw SystemFailure(errno, "flush", path);
  if (file.Close() != 0) throw SystemFailure(errno, "close", path);
  if (RenameEntry(file.native(), target) != 0) throw SystemFailure(errno, "replace", path);
  file.Placed();
  SyncFolder(folder, path);
}

void SyncFolder(const std::string& native_folder, std::string_view path) {
  int fd = open(native_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  int synced = SyncFile(fd, native_folder);
  int error = errno;
  close(fd);
  // Some file systems cannot flush a folder (EINVAL); their renames are as durable as they get.
  if (synced != 0 && error != EINVAL) throw SystemFailure(error, "flush folder of", path);
}

}  // namespace internal

namespace {

// Flushes the file system holding native_folder: every temporary written there reaches the disk
// in one pass.
int SyncFileSystem(const std::string& native_folder) {
  if (!durable_writes) return 0;
  if (int error = internal::Injected(DiskStep::kSync, native_folder)) {
    errno = error;
    return -1;
  }
  int fd = open(native_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  int synced = syncfs(fd);
  int error = errno;
  close(fd);
  errno = error;
  return synced;
}

}  // namespace

WriteBatch::WriteBatch() : owner_(open_batch == nullptr) {
  if (owner_) open_batch = new OpenBatch;
}

WriteBatch::~WriteBatch() {
  if (!owner_) return;
  for (const PendingWrite& write : open_batch->writes) unlink(write.temporary.c_str());
  delete open_batch;
  open_batch = nullptr;
}

std::vector<WriteBatch::Failed> WriteBatch::Commit() {
  std::vector<Failed> failed;
  if (!owner_) return failed;
  std::vector<PendingWrite> writes = std::move(open_batch->writes);
  open_batch->writes.clear();
  open_batch->cleaned.clear();
  auto fail = [&](const PendingWrite& write, int error, std::string_view action) {
    unlink(write.temporary.c_str());
    failed.push_back({write.path, internal::SystemFailure(error, action, write.path)});
  };

  // One flush per file system before any rename: no target ever names unflushed bytes.
  std::set<dev_t> flushed;
  std::set<dev_t> broken;
  int flush_error = 0;
  for (const PendingWrite& write : writes) {
    struct stat info;
    if (stat(write.folder.c_str(), &info) != 0 || flushed.contains(info.st_dev)) continue;
    if (SyncFileSystem(write.folder) != 0) {
      flush_error = errno;
      broken.insert(info.st_dev);
    }
    flushed.insert(info.st_dev);
  }

  std::vector<std::pair<std::string, std::string>> renamed_folders;  // folder, a path in it
  std::set<std::string> seen;
  for (const PendingWrite& write : writes) {
    struct stat info;
    if (stat(write.folder.c_str(), &info) != 0 || broken.contains(info.st_dev)) {
      fail(write, flush_error != 0 ? flush_error : errno, "flush");
      continue;
    }
    if (internal::RenameEntry(write.temporary, write.target) != 0) {
      fail(write, errno, "replace");
      continue;
    }
    if (seen.insert(write.folder).second) renamed_folders.emplace_back(write.folder, write.path);
  }
  for (const auto& renamed : renamed_folders) {
    const std::string& folder = renamed.first;
    const std::string& path = renamed.second;
    auto failure =
        kr::internal::Capture([&] { internal::SyncFolder(folder, path); }, Origin::Here());
    if (failure) failed.push_back({path, *failure});
  }
  return failed;
}

}  // namespace kr::platform
