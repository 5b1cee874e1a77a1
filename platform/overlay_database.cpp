// OverlayEnv: database files, whose bytes stay on the real disk until an open first writes, and
// the services that change nothing (folders, clock, shortcut names), handed through.
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>

#include "platform/overlay_state.h"
#include "platform/platform_internal.h"

namespace kr::platform {
namespace {

using internal::SystemFailure;
using Side = OverlayEnv::State::Side;
using State = OverlayEnv::State;

class OverlayFile : public DatabaseFile {
 public:
  std::shared_ptr<State::DatabaseNode> node;  // null: a private temporary
  DatabaseFileMode mode;
  std::unique_ptr<DatabaseFile> data;
  bool on_real_disk = false;
  int generation = 0;
  std::unique_ptr<DatabaseFile> locks;  // on the node's lock file; null: data holds them
  // The real file once the bytes have moved, to see the locks other programs hold on it; open
  // as long as this open is, as a run's would be.
  std::unique_ptr<DatabaseFile> real;
  bool real_tried = false;
};

OverlayFile& Own(DatabaseFile& file) {
  assert(dynamic_cast<OverlayFile*>(&file) != nullptr);
  return static_cast<OverlayFile&>(file);
}

DatabaseFileMode Reading(bool read_only) {
  DatabaseFileMode mode;
  mode.read_only = read_only;
  return mode;
}

// The file's bytes as they are now: an open made before another open's first write follows
// that write to the copy.
DatabaseFile& Data(State& s, OverlayFile& f) {
  if (f.node != nullptr && f.generation != f.node->generation) {
    f.generation = f.node->generation;
    if (f.on_real_disk && s.Where(f.node->key) == Side::kCopy) {
      f.data = s.base().OpenDatabaseFile(s.Copy(f.node->key), Reading(f.mode.read_only));
      f.on_real_disk = false;
    }
  }
  return *f.data;
}

// Before the first write of any open: the real bytes move to the copy, and every open follows.
DatabaseFile& Writable(State& s, OverlayFile& f) {
  DatabaseFile& data = Data(s, f);
  if (!f.on_real_disk) return data;
  s.CopyUp(f.node->key, f.node->key);
  ++f.node->generation;
  return Data(s, f);
}

// Whether a program other than this plan holds a lock on the real file that an exclusive lock
// would meet: the run would meet it too.
bool LockedOnTheRealDisk(State& s, OverlayFile& f, int64_t start, int64_t length) {
  if (f.node == nullptr) return false;
  DatabaseFile* real = f.on_real_disk ? f.data.get() : f.real.get();
  if (real == nullptr && !f.real_tried) {
    f.real_tried = true;
    struct stat info;
    if (stat(f.node->key.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
      try {
        f.real = s.base().OpenDatabaseFile(f.node->key, Reading(true));
      } catch (const Failure&) {
        // Unreadable: nobody's locks to see.
      }
    }
    real = f.real.get();
  }
  return real != nullptr && s.base().DatabaseFileLockedElsewhere(*real, start, length);
}

}  // namespace

std::unique_ptr<DatabaseFile> OverlayEnv::OpenDatabaseFile(std::string_view native_path,
                                                           const DatabaseFileMode& mode) {
  State& s = *state_;
  auto file = std::make_unique<OverlayFile>();
  file->mode = mode;
  if (native_path.empty()) {
    file->data = s.base().OpenDatabaseFile("", mode);
    return file;
  }
  std::string key = s.Key(native_path);
  Side side = s.Where(key);
  if (mode.delete_on_close && side != Side::kReal) {
    s.MakeCopyFolder(State::Parent(key));
    file->data = s.base().OpenDatabaseFile(s.Copy(key), mode);
    return file;
  }
  if (side != Side::kMissing && mode.must_create) throw SystemFailure(EEXIST, "open", native_path);
  if (side == Side::kMissing) {
    if (!mode.create && !mode.must_create) throw SystemFailure(ENOENT, "open", native_path);
    if (!s.IsFolder(State::Parent(key))) throw SystemFailure(ENOENT, "open", native_path);
    s.MakeCopyFolder(State::Parent(key));
    file->data = s.base().OpenDatabaseFile(s.Copy(key), mode);
  } else if (side == Side::kCopy) {
    file->data = s.base().OpenDatabaseFile(s.Copy(key), Reading(mode.read_only));
  } else {
    // The real file is only read; writing it must be allowed all the same, as in a run.
    struct stat info;
    if (stat(key.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && !mode.read_only) {
      throw SystemFailure(EISDIR, "open", native_path);
    }
    if (!mode.read_only && access(key.c_str(), W_OK) != 0) {
      throw SystemFailure(errno, "open", native_path);
    }
    file->data = s.base().OpenDatabaseFile(key, Reading(true));
    file->on_real_disk = true;
  }
  file->node = s.Node(key);
  file->generation = file->node->generation;
  DatabaseFileMode lock_mode;
  lock_mode.create = true;
  file->locks = s.base().OpenDatabaseFile(file->node->lock_path, lock_mode);
  if (mode.delete_on_close) s.Remove(key, native_path);
  return file;
}

size_t OverlayEnv::ReadDatabaseFile(DatabaseFile& file, int64_t offset, void* buffer, size_t size) {
  return state_->base().ReadDatabaseFile(Data(*state_, Own(file)), offset, buffer, size);
}

bool OverlayEnv::PeekDatabaseFile(DatabaseFile& file, int64_t offset, void* buffer, size_t size) {
  // A query that never throws: a copy that cannot be opened is "in doubt".
  return LeaveOnError("OverlayEnv::PeekDatabaseFile", false, [&] {
    return state_->base().PeekDatabaseFile(Data(*state_, Own(file)), offset, buffer, size);
  });
}

void OverlayEnv::WriteDatabaseFile(DatabaseFile& file, int64_t offset, const void* bytes,
                                   size_t size) {
  state_->base().WriteDatabaseFile(Writable(*state_, Own(file)), offset, bytes, size);
}

void OverlayEnv::TruncateDatabaseFile(DatabaseFile& file, int64_t size) {
  state_->base().TruncateDatabaseFile(Writable(*state_, Own(file)), size);
}

// The copies are thrown away: flushing them would only cost time.
void OverlayEnv::SyncDatabaseFile(DatabaseFile&) {}

int64_t OverlayEnv::DatabaseFileSize(DatabaseFile& file) {
  return state_->base().DatabaseFileSize(Data(*state_, Own(file)));
}

bool OverlayEnv::LockDatabaseFile(DatabaseFile& file, int64_t start, int64_t length,
                                  RangeLock lock) {
  OverlayFile& f = Own(file);
  if (lock == RangeLock::kExclusive && LockedOnTheRealDisk(*state_, f, start, length)) return false;
  DatabaseFile& holder = f.locks != nullptr ? *f.locks : Data(*state_, f);
  return state_->base().LockDatabaseFile(holder, start, length, lock);
}

bool OverlayEnv::DatabaseFileLockedElsewhere(DatabaseFile& file, int64_t start, int64_t length) {
  OverlayFile& f = Own(file);
  DatabaseFile& holder = f.locks != nullptr ? *f.locks : Data(*state_, f);
  return state_->base().DatabaseFileLockedElsewhere(holder, start, length) ||
         LockedOnTheRealDisk(*state_, f, start, length);
}

void OverlayEnv::DeleteDatabaseFile(std::string_view native_path, bool) {
  State& s = *state_;
  std::string key = s.Key(native_path);
  if (s.Where(key) == Side::kMissing) throw SystemFailure(ENOENT, "delete", native_path);
  s.Remove(key, native_path);
}

DatabaseFileStatus OverlayEnv::StatDatabaseFile(std::string_view native_path) {
  State& s = *state_;
  std::string actual = s.Actual(s.Key(native_path));
  DatabaseFileStatus status;
  struct stat info {};
  if (actual.empty() || stat(actual.c_str(), &info) != 0) return status;
  status.exists = true;
  status.is_directory = S_ISDIR(info.st_mode);
  status.writable = access(actual.c_str(), W_OK) == 0;
  status.size = info.st_size;
  return status;
}

namespace {

class EndedChild : public ChildProcess {
 public:
  bool Ended() override { return true; }
  int ExitCode() const override { return 0; }
};

}  // namespace

std::unique_ptr<ChildProcess> OverlayEnv::StartProcess(std::string_view command_line, bool) {
  State& s = *state_;
  // The program must be there, as for a run; a program the run installs counts too.
  internal::ResolveCommandLine(*this, command_line, [&](const std::string& native) {
    std::string actual = s.Actual(s.Key(native));
    return !actual.empty() && internal::IsProgram(actual);
  });
  LogLine("Plan: would run " + std::string(command_line));
  s.would_run.emplace_back(command_line);
  return std::make_unique<EndedChild>();
}

std::string OverlayEnv::WindowsFolder() { return state_->base().WindowsFolder(); }
std::string OverlayEnv::SystemFolder() { return state_->base().SystemFolder(); }
std::string OverlayEnv::CommonAppDataFolder() { return state_->base().CommonAppDataFolder(); }
std::string OverlayEnv::ProgramsFolder() { return state_->base().ProgramsFolder(); }
std::string OverlayEnv::DesktopFolder() { return state_->base().DesktopFolder(); }
std::string OverlayEnv::ExecutableFolder() { return state_->base().ExecutableFolder(); }
std::vector<std::string> OverlayEnv::TrustedKeyFolders() {
  return state_->base().TrustedKeyFolders();
}
std::string OverlayEnv::ShortcutFileName(std::string_view link_name) {
  return state_->base().ShortcutFileName(link_name);
}
LocalTime OverlayEnv::Now() { return state_->base().Now(); }

}  // namespace kr::platform
