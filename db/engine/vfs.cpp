// SQLite's file methods on platform's database files. Locks follow SQLite's own protocol for
// rollback journals (byte ranges at 1 GiB: pending, reserved, then the shared range), so the
// files stay compatible with every other SQLite user. No shared memory (no WAL) and no memory
// mapping: the engine uses neither.
#include "db/engine/vfs.h"

#include <sqlite3.h>

#include <cassert>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace kr::db::engine::internal {

namespace {

constexpr int64_t kPendingByte = 0x40000000;
constexpr int64_t kReservedByte = kPendingByte + 1;
constexpr int64_t kSharedFirst = kPendingByte + 2;
constexpr int64_t kSharedSize = 510;
constexpr int kSectorSize = 4096;

// SQLite allocates this (szOsFile bytes) and may keep the memory after a failed open or a
// close, so it holds only plain data: the error survives until the connection takes it.
struct File {
  sqlite3_file base;
  uint32_t tag;                  // kTag: this layer opened the memory (it may hold other files)
  int level;                     // SQLITE_LOCK_*
  platform::DatabaseFile* file;  // owned
  char error[200];               // the English text of the last failed operation, "" when none
};

constexpr uint32_t kTag = 0x6b72f11e;

File& Of(sqlite3_file* f) {
  assert(f->pMethods == nullptr || reinterpret_cast<File*>(f)->tag == kTag);
  return *reinterpret_cast<File*>(f);
}
platform::Env& Env() { return platform::CurrentEnv(); }

// Written once, when the layer registers; read by the services below.
sqlite3_vfs* default_vfs = nullptr;  // the services that are no file access

void KeepError(File* file, const char* text) {
  if (file == nullptr) return;
  std::snprintf(file->error, sizeof file->error, "%s", text);
}

// The database file whose journal this is, to keep a failed delete's text on: SQLite passes
// the journal's name as it opened it, with the database file behind it. Other names have none.
File* DatabaseOfJournal(const char* name) {
  std::string_view text = name != nullptr ? name : "";
  if (!text.ends_with("-journal")) return nullptr;
  sqlite3_file* main = sqlite3_database_file_object(name);
  if (main == nullptr || main->pMethods == nullptr) return nullptr;
  return &Of(main);
}

// The SQLite code for a failed file operation: no space is SQLITE_FULL whatever the operation.
int CodeFor(const Failure& failure, int code) {
  return failure.number() == kErrDiskFull ? SQLITE_FULL : code;
}

// Runs op, turning its failure into code (exceptions must not cross SQLite's frames).
template <class F>
int Guard(File* file, int code, F&& op) noexcept {
  try {
    return op();
  } catch (const Failure& failure) {
    KeepError(file, failure.what());
    return CodeFor(failure, code);
  } catch (const std::bad_alloc&) {
    return SQLITE_IOERR_NOMEM;
  } catch (...) {
    return code;
  }
}

int Close(sqlite3_file* f) {
  delete Of(f).file;
  Of(f).file = nullptr;
  return SQLITE_OK;
}

int Read(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
  return Guard(&Of(f), SQLITE_IOERR_READ, [&] {
    size_t n = Env().ReadDatabaseFile(*Of(f).file, offset, buffer, static_cast<size_t>(amount));
    if (n == static_cast<size_t>(amount)) return SQLITE_OK;
    std::memset(static_cast<char*>(buffer) + n, 0, static_cast<size_t>(amount) - n);
    return SQLITE_IOERR_SHORT_READ;
  });
}

int Write(sqlite3_file* f, const void* bytes, int amount, sqlite3_int64 offset) {
  return Guard(&Of(f), SQLITE_IOERR_WRITE, [&] {
    Env().WriteDatabaseFile(*Of(f).file, offset, bytes, static_cast<size_t>(amount));
    return SQLITE_OK;
  });
}

int Truncate(sqlite3_file* f, sqlite3_int64 size) {
  return Guard(&Of(f), SQLITE_IOERR_TRUNCATE, [&] {
    Env().TruncateDatabaseFile(*Of(f).file, size);
    return SQLITE_OK;
  });
}

int Sync(sqlite3_file* f, int /*flags*/) {
  return Guard(&Of(f), SQLITE_IOERR_FSYNC, [&] {
    Env().SyncDatabaseFile(*Of(f).file);
    return SQLITE_OK;
  });
}

int FileSize(sqlite3_file* f, sqlite3_int64* size) {
  return Guard(&Of(f), SQLITE_IOERR_FSTAT, [&] {
    *size = Env().DatabaseFileSize(*Of(f).file);
    return SQLITE_OK;
  });
}

bool LockRange(File& file, int64_t start, int64_t length, platform::RangeLock lock) {
  return Env().LockDatabaseFile(*file.file, start, length, lock);
}

int Lock(sqlite3_file* f, int level) {
  File& file = Of(f);
  if (file.level >= level) return SQLITE_OK;
  // SQLite climbs one way: none to shared, shared to reserved, then exclusive (through pending,
  // which it never asks for itself).
  assert(level != SQLITE_LOCK_PENDING);
  assert(file.level != SQLITE_LOCK_NONE || level == SQLITE_LOCK_SHARED);
  assert(level != SQLITE_LOCK_RESERVED || file.level == SQLITE_LOCK_SHARED);
  using platform::RangeLock;
  return Guard(&file, SQLITE_IOERR_LOCK, [&] {
    // The pending byte keeps new readers out while a writer waits for the readers to leave.
    if (level == SQLITE_LOCK_SHARED) {
      if (!LockRange(file, kPendingByte, 1, RangeLock::kShared)) return SQLITE_BUSY;
      bool shared = false;
      try {
        shared = LockRange(file, kSharedFirst, kSharedSize, RangeLock::kShared);
      } catch (...) {
        LockRange(file, kPendingByte, 1, RangeLock::kUnlock);
        throw;
      }
      LockRange(file, kPendingByte, 1, RangeLock::kUnlock);
      if (!shared) return SQLITE_BUSY;
      file.level = SQLITE_LOCK_SHARED;
      return SQLITE_OK;
    }
    if (level == SQLITE_LOCK_RESERVED) {
      if (!LockRange(file, kReservedByte, 1, RangeLock::kExclusive)) return SQLITE_BUSY;
      file.level = SQLITE_LOCK_RESERVED;
      return SQLITE_OK;
    }
    // Exclusive, through pending (which stays when the readers are not gone yet).
    if (file.level < SQLITE_LOCK_PENDING) {
      if (!LockRange(file, kPendingByte, 1, RangeLock::kExclusive)) return SQLITE_BUSY;
      file.level = SQLITE_LOCK_PENDING;
    }
    assert(file.level == SQLITE_LOCK_PENDING);
    if (!LockRange(file, kSharedFirst, kSharedSize, RangeLock::kExclusive)) return SQLITE_BUSY;
    file.level = SQLITE_LOCK_EXCLUSIVE;
    return SQLITE_OK;
  });
}

int Unlock(sqlite3_file* f, int level) {
  File& file = Of(f);
  assert(level == SQLITE_LOCK_NONE || level == SQLITE_LOCK_SHARED);
  if (file.level <= level) return SQLITE_OK;
  using platform::RangeLock;
  return Guard(&file, SQLITE_IOERR_UNLOCK, [&] {
    if (file.level > SQLITE_LOCK_SHARED) {
      if (level == SQLITE_LOCK_SHARED)
        LockRange(file, kSharedFirst, kSharedSize, RangeLock::kShared);  // a downgrade
      LockRange(file, kPendingByte, 2, RangeLock::kUnlock);              // pending and reserved
      file.level = SQLITE_LOCK_SHARED;
    }
    if (level == SQLITE_LOCK_NONE) {
      LockRange(file, kSharedFirst, kSharedSize, RangeLock::kUnlock);
      file.level = SQLITE_LOCK_NONE;
    }
    return SQLITE_OK;
  });
}

int CheckReservedLock(sqlite3_file* f, int* reserved) {
  File& file = Of(f);
  return Guard(&file, SQLITE_IOERR_CHECKRESERVEDLOCK, [&] {
    *reserved = file.level > SQLITE_LOCK_SHARED ||
                Env().DatabaseFileLockedElsewhere(*file.file, kReservedByte, 1);
    return SQLITE_OK;
  });
}

int FileControl(sqlite3_file* f, int op, void* argument) {
  if (op == SQLITE_FCNTL_LOCKSTATE) {
    *static_cast<int*>(argument) = Of(f).level;
    return SQLITE_OK;
  }
  return SQLITE_NOTFOUND;
}

int SectorSize(sqlite3_file*) { return kSectorSize; }

int DeviceCharacteristics(sqlite3_file*) { return SQLITE_IOCAP_POWERSAFE_OVERWRITE; }

// Version 1: no shared memory (no WAL), no memory mapping.
const sqlite3_io_methods kMethods = {
    .iVersion = 1,
    .xClose = Close,
    .xRead = Read,
    .xWrite = Write,
    .xTruncate = Truncate,
    .xSync = Sync,
    .xFileSize = FileSize,
    .xLock = Lock,
    .xUnlock = Unlock,
    .xCheckReservedLock = CheckReservedLock,
    .xFileControl = FileControl,
    .xSectorSize = SectorSize,
    .xDeviceCharacteristics = DeviceCharacteristics,
    .xShmMap = nullptr,
    .xShmLock = nullptr,
    .xShmBarrier = nullptr,
    .xShmUnmap = nullptr,
    .xFetch = nullptr,
    .xUnfetch = nullptr,
};

int Open(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* out_flags) {
  File& file = *reinterpret_cast<File*>(f);
  file.base.pMethods = nullptr;  // SQLite closes only what opened
  file.tag = kTag;
  file.file = nullptr;
  file.level = SQLITE_LOCK_NONE;
  file.error[0] = '\0';
  platform::DatabaseFileMode mode;
  mode.read_only = (flags & SQLITE_OPEN_READONLY) != 0;
  mode.create = (flags & SQLITE_OPEN_CREATE) != 0;
  mode.must_create = (flags & SQLITE_OPEN_EXCLUSIVE) != 0;
  mode.delete_on_close = (flags & SQLITE_OPEN_DELETEONCLOSE) != 0;
  mode.durable_name =
      mode.create &&
      (flags & (SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_SUPER_JOURNAL | SQLITE_OPEN_WAL)) != 0;
  std::string path = name != nullptr ? name : "";
  int rc = Guard(&file, SQLITE_CANTOPEN, [&] {
    try {
      file.file = Env().OpenDatabaseFile(path, mode).release();
    } catch (const Failure& failure) {
      // A file this process may only read opens read-only, and SQLite then refuses writes.
      if (mode.read_only || mode.create || path.empty() || failure.number() == kErrDiskFull) throw;
      mode.read_only = true;
      file.file = Env().OpenDatabaseFile(path, mode).release();
      flags = (flags & ~SQLITE_OPEN_READWRITE) | SQLITE_OPEN_READONLY;
    }
    return SQLITE_OK;
  });
  if (rc != SQLITE_OK) return rc;
  if (out_flags != nullptr) *out_flags = flags;
  file.base.pMethods = &kMethods;
  return SQLITE_OK;
}

int Delete(sqlite3_vfs*, const char* name, int sync_folder) {
  return Guard(DatabaseOfJournal(name), SQLITE_IOERR_DELETE, [&] {
    try {
      Env().DeleteDatabaseFile(name, sync_folder != 0);
    } catch (const Failure& failure) {
      if (failure.number() == kErrFileNotFound || failure.number() == kErrPathNotFound)
        return SQLITE_IOERR_DELETE_NOENT;
      throw;
    }
    return SQLITE_OK;
  });
}

int Access(sqlite3_vfs*, const char* name, int flags, int* result) {
  platform::DatabaseFileStatus status = Env().StatDatabaseFile(name);
  switch (flags) {
    case SQLITE_ACCESS_EXISTS:
      // An empty journal is no journal.
      *result = status.exists && (status.is_directory || status.size > 0);
      break;
    case SQLITE_ACCESS_READWRITE:
      *result = status.exists && status.writable;
      break;
    default:
      *result = status.exists;
      break;
  }
  return SQLITE_OK;
}

int FullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
  std::string path = platform::CanonicalNativePath(name);
  if (path.size() + 1 > static_cast<size_t>(size)) return SQLITE_CANTOPEN;
  std::memcpy(out, path.c_str(), path.size() + 1);
  return SQLITE_OK;
}

void* DlOpen(sqlite3_vfs*, const char* name) { return default_vfs->xDlOpen(default_vfs, name); }
void DlError(sqlite3_vfs*, int size, char* out) { default_vfs->xDlError(default_vfs, size, out); }
void (*DlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
  return default_vfs->xDlSym(default_vfs, handle, symbol);
}
void DlClose(sqlite3_vfs*, void* handle) { default_vfs->xDlClose(default_vfs, handle); }
int Randomness(sqlite3_vfs*, int size, char* out) {
  return default_vfs->xRandomness(default_vfs, size, out);
}
int Sleep(sqlite3_vfs*, int microseconds) { return default_vfs->xSleep(default_vfs, microseconds); }
int CurrentTime(sqlite3_vfs*, double* now) { return default_vfs->xCurrentTime(default_vfs, now); }
int GetLastError(sqlite3_vfs*, int size, char* out) {
  return default_vfs->xGetLastError(default_vfs, size, out);
}
int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* now) {
  return default_vfs->xCurrentTimeInt64(default_vfs, now);
}

}  // namespace

std::string TakeFileError(sqlite3* db) {
  std::string text;
  auto take = [&](const char* schema, int op) {
    sqlite3_file* f = nullptr;
    if (sqlite3_file_control(db, schema, op, &f) != SQLITE_OK || f == nullptr) return;
    File* file = reinterpret_cast<File*>(f);
    // A file this layer never opened (an in-memory journal) has no tag where ours is.
    if (file->tag != kTag || file->error[0] == '\0') return;
    if (!text.empty()) text += "; ";
    text += file->error;
    file->error[0] = '\0';
  };
  for (int i = 0; const char* schema = sqlite3_db_name(db, i); ++i) {
    take(schema, SQLITE_FCNTL_FILE_POINTER);
    take(schema, SQLITE_FCNTL_JOURNAL_POINTER);
  }
  return text;
}

std::optional<uint32_t> ReadChangeCounter(sqlite3* db) {
  sqlite3_file* f = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &f) != SQLITE_OK ||
      f == nullptr || f->pMethods != &kMethods) {
    return std::nullopt;
  }
  unsigned char bytes[4];
  constexpr int64_t kChangeCounterOffset = 24;
  if (!Env().PeekDatabaseFile(*Of(f).file, kChangeCounterOffset, bytes, sizeof bytes))
    return std::nullopt;
  return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
         static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
}

const char* VfsName() {
  static const char* name = [] {
    default_vfs = sqlite3_vfs_find(nullptr);
    static sqlite3_vfs vfs = {
        .iVersion = 2,
        .szOsFile = static_cast<int>(sizeof(File)),
        .mxPathname = 4096,
        .pNext = nullptr,
        .zName = "kr",
        .pAppData = nullptr,
        .xOpen = Open,
        .xDelete = Delete,
        .xAccess = Access,
        .xFullPathname = FullPathname,
        .xDlOpen = DlOpen,
        .xDlError = DlError,
        .xDlSym = DlSym,
        .xDlClose = DlClose,
        .xRandomness = Randomness,
        .xSleep = Sleep,
        .xCurrentTime = CurrentTime,
        .xGetLastError = GetLastError,
        .xCurrentTimeInt64 = CurrentTimeInt64,
        .xSetSystemCall = nullptr,
        .xGetSystemCall = nullptr,
        .xNextSystemCall = nullptr,
    };
    sqlite3_vfs_register(&vfs, 0);
    return vfs.zName;
  }();
  return name;
}

}  // namespace kr::db::engine::internal
