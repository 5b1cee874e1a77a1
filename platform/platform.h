// The operating-system services the updater stands on: files and folders, INI profile
// functions, well-known folders, the single-instance guard, child processes, shortcuts and the
// clock. Nothing outside platform/ calls the operating system.
//
// Paths. Every path handed in or out is an updater path: UTF-8, "\" and "/" both separators,
// folders written with a trailing "\" by convention. NativePath() alone turns one into a path
// of this machine; when the exact path does not exist it is resolved case-insensitively, one
// component at a time (packages are authored on Windows, where names are case-blind).
//
// Failures. Operations documented "throws" raise kr::Failure with the run-time number the
// original would have raised (53 file not found, 70 permission denied, 75 path/file access,
// 76 path not found, ...). Queries never throw.
//
// Writes. Every file written (copies, WriteFile, shortcuts) goes to a temporary beside the
// target, hidden from listings (".~krtmp-..."), is flushed to disk and renamed over the target:
// at every moment the target holds the whole old or the whole new content. A failed write
// removes its temporary; one left by a killed process goes with the next write into the same
// folder or the folder's removal.
//
// Symbolic links. Listings say which entries are links; DeleteFile removes a link itself (also
// one to a folder), so tree walks remove links and never enter them.
//
// Injection. All services go through Env. Tests install their own Env (usually a subclass of
// the default that fails one call on purpose) with ScopedEnv, or a FaultHook (below) that fails
// or interrupts the N-th change to the disk.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.h"

namespace kr::platform {

enum class ListKind {
  kPlainFiles,       // plain files only: no folders, no hidden or system files
  kWithDirectories,  // plain files and folders, no hidden or system entries
};

struct DirEntry {
  std::string name;           // the entry's own name, without folder
  bool is_directory = false;  // a folder, or a link to one
  bool is_link = false;       // a symbolic link; one pointing nowhere is listed as a plain file
};

struct FileAttributes {
  bool exists = false;
  bool is_directory = false;
  bool read_only = false;  // the owner may not write it
  bool hidden = false;     // its name begins with "."
  bool is_link = false;    // the path itself (without trailing separator) is a symbolic link

  // Something other than a folder is at the path itself (a link only when it leads somewhere).
  bool IsFile() const { return exists && !is_directory; }
};

// An entry of a whole-tree listing (Env::ListTree).
enum class TreeEntryKind {
  kFile,   // a plain file
  kLink,   // a symbolic link, wherever it points
  kOther,  // a device, pipe or socket
};
struct TreeEntry {
  std::string path;  // below the folder listed: the native names joined with "/"
  TreeEntryKind kind = TreeEntryKind::kFile;
};

// Local calendar time, as the run clock gives it.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class ChildProcess {
 public:
  virtual ~ChildProcess() = default;
  // True once the child has ended. Never blocks.
  virtual bool Ended() = 0;
  virtual int ExitCode() const = 0;
};

// Opening a database file (see Env::OpenDatabaseFile).
struct DatabaseFileMode {
  bool read_only = false;
  bool create = false;           // created when missing
  bool must_create = false;      // fails (58) when it exists
  bool delete_on_close = false;  // temporary: gone when closed (a file without a name always is)
  bool durable_name = false;     // a new file whose folder entry must survive a crash
};

// An open database file; only the Env's database-file methods look inside.
class DatabaseFile {
 public:
  virtual ~DatabaseFile() = default;
};

enum class RangeLock { kUnlock, kShared, kExclusive };

struct DatabaseFileStatus {
  bool exists = false;
  bool is_directory = false;
  bool writable = false;  // this process may write it
  int64_t size = 0;
};

class Env {
 public:
  virtual ~Env() = default;
  // The real machine.
  static Env& Default();

  // --- Paths -------------------------------------------------------------------------------
  // The native path for an updater path (see above). Does not check existence.
  virtual std::string NativePath(std::string_view path);

  // --- Listings (the run-time's pattern listing) -------------------------------------------
  // Entries matching pattern. The last component may hold the wildcards "*" and "?", matched
  // case-insensitively ("*.*" matches every name); a pattern ending in a separator lists the
  // whole folder. "." and ".." never appear. Order: names sorted as the file system would
  // list them (byte order of the native names). A missing folder or an empty pattern gives an
  // empty list.
  virtual std::vector<DirEntry> List(std::string_view pattern, ListKind kind);
  // Whether a listing of pattern returns any name, as the run-time's listing would. Under
  // kWithDirectories a folder counts with or without its trailing separator, even when empty,
  // and so does a pattern matching the "." entry of an existing folder ("*.*", "*").
  virtual bool Listed(std::string_view pattern, ListKind kind);
  virtual FileAttributes Attributes(std::string_view path);
  // Every entry at any depth below folder, hidden ones included; folders are entered but not
  // listed themselves, links are listed and never followed. Order: unspecified. Throws when
  // the folder or one below it cannot be read (76 when missing).
  virtual std::vector<TreeEntry> ListTree(std::string_view folder);

  // --- File operations (all throw) --------------------------------------------------------
  // Copies a file with its attributes and modification time; an existing destination is
  // replaced unless it is read-only (75). 53/76 when the source or its folder is missing, 76
  // when the destination folder is missing, 70 when the destination is busy (a running program).
  // A destination that is a link to a file has the linked file replaced.
  virtual void CopyFile(std::string_view from, std::string_view to);
  // As CopyFile, but a running program at `to` is replaced too (it keeps running from the old
  // file), as renaming it aside first allows on Windows.
  virtual void ReplaceFile(std::string_view from, std::string_view to);
  // 53 when missing, 75 when read-only. A wildcard name deletes every matching plain file (53
  // when none matches), as the run-time's Kill does. A symbolic link is removed, not followed.
  virtual void DeleteFile(std::string_view path);
  virtual void Rename(std::string_view from, std::string_view to);  // 58 when `to` exists
  // One level; 76 when the parent is missing, 75 when it exists.
  virtual void MakeDirectory(std::string_view path);
  // 75 when not empty (temporaries left by a killed write are removed first).
  virtual void RemoveDirectory(std::string_view path);
  virtual void SetReadOnly(std::string_view path, bool read_only);
  virtual std::string ReadFile(std::string_view path);  // whole file, bytes
  // Reads a plain file from start to end through buffer, handing each filled part to piece in
  // order: files of any size in bounded memory. A symbolic link is not followed (75). Throws.
  virtual void ReadFileInPieces(std::string_view path, std::span<char> buffer,
                                const std::function<void(std::string_view)>& piece);
  // Replaces the file's content (created when missing; the folder must exist); an existing
  // file keeps its permissions.
  virtual void WriteFile(std::string_view path, std::string_view bytes);
  // True when both are readable plain files with the same bytes. Never throws.
  virtual bool SameContent(std::string_view a, std::string_view b);
  // True when a running process holds the file open (found through the process table).
  // The file is left unchanged.
  virtual bool FileInUse(std::string_view path);

  // --- Database files: the storage under the database engine -------------------------------
  // Native paths, as the engine resolved them (CanonicalNativePath). No caching. The methods
  // that throw raise 61 when the disk is full, 57 on an I/O error, 70 or 75 when permission is
  // denied, 53/76 when missing. Locks are advisory byte-range locks held by the open, not by
  // the process: two opens of one file in this process exclude each other as two processes
  // would, and closing one open never drops another's locks.
  // native_path "" opens a new unnamed temporary file.
  virtual std::unique_ptr<DatabaseFile> OpenDatabaseFile(std::string_view native_path,
                                                         const DatabaseFileMode& mode);
  // Bytes read at offset; fewer than size only at the end of the file.
  virtual size_t ReadDatabaseFile(DatabaseFile& file, int64_t offset, void* buffer, size_t size);
  // A look at size bytes at offset that never fails a step: false when they cannot all be
  // read. For hints whose absence only costs time, so fault injection leaves it alone.
  virtual bool PeekDatabaseFile(DatabaseFile& file, int64_t offset, void* buffer, size_t size);
  // All of size bytes, or throws.
  virtual void WriteDatabaseFile(DatabaseFile& file, int64_t offset, const void* bytes,
                                 size_t size);
  virtual void TruncateDatabaseFile(DatabaseFile& file, int64_t size);
  // Written data reaches the disk; so does a durable_name file's folder entry, the first time.
  virtual void SyncDatabaseFile(DatabaseFile& file);
  virtual int64_t DatabaseFileSize(DatabaseFile& file);
  // Takes, converts or releases a lock on length bytes from start, without waiting: false when
  // another open holds a conflicting lock (the file's locks are then as before).
  virtual bool LockDatabaseFile(DatabaseFile& file, int64_t start, int64_t length, RangeLock lock);
  // Whether another open holds a lock on the range that an exclusive lock would meet.
  virtual bool DatabaseFileLockedElsewhere(DatabaseFile& file, int64_t start, int64_t length);
  // sync_folder: the removal itself reaches the disk before returning.
  virtual void DeleteDatabaseFile(std::string_view native_path, bool sync_folder);
  // A query: never throws.
  virtual DatabaseFileStatus StatDatabaseFile(std::string_view native_path);

  // --- Well-known folders: updater paths with a trailing "\", "" when unknown --------------
  // Each comes from its environment variable; when that is unset (DATA = $XDG_DATA_HOME, else
  // ~/.local/share):
  //   KR_WINDOWS_DIR         DATA/kr-updater/Windows
  //   KR_SYSTEM_DIR          the Windows folder's System32
  //   KR_COMMON_APPDATA_DIR  DATA/kr-updater/ProgramData
  //   KR_PROGRAMS_DIR        DATA/applications
  //   KR_DESKTOP_DIR         XDG_DESKTOP_DIR of user-dirs.dirs, else ~/Desktop
  virtual std::string WindowsFolder();        // KR_WINDOWS_DIR
  virtual std::string SystemFolder();         // KR_SYSTEM_DIR
  virtual std::string CommonAppDataFolder();  // KR_COMMON_APPDATA_DIR (without "Kelmora\")
  virtual std::string ProgramsFolder();       // KR_PROGRAMS_DIR (the Start menu's programs)
  virtual std::string DesktopFolder();        // KR_DESKTOP_DIR
  // The folder holding the running executable.
  virtual std::string ExecutableFolder();
  // The folders whose "*.pub" files are the package-signing keys this machine trusts: the one
  // KR_TRUSTED_KEYS names, else /etc/kr-updater/trusted-keys and
  // /usr/share/kr-updater/trusted-keys. Missing folders are listed too.
  virtual std::vector<std::string> TrustedKeyFolders();

  // --- Processes ---------------------------------------------------------------------------
  // Starts a command line as the Windows shell would: a leading quoted program, or else the
  // shortest space-separated prefix that names an existing program (also tried with ".exe"
  // appended), resolved as any path is (letter case ignored when the exact name is missing);
  // the rest is split into arguments by the Windows rules, and an argument naming a path (one
  // holding "\\", or "/" after its first character; "/s" is a switch) becomes a native path.
  // hidden: no window, no terminal input, output appended to the KR_LOG file (or discarded).
  // Throws 53 when the program cannot be found or started.
  virtual std::unique_ptr<ChildProcess> StartProcess(std::string_view command_line, bool hidden);

  // --- Shortcuts (freedesktop desktop entries stand in for .lnk files) ---------------------
  // The file name a link gets on this platform: link_name + ".desktop".
  virtual std::string ShortcutFileName(std::string_view link_name);
  // Writes a desktop entry at path (an updater path ending in the shortcut file name) that
  // starts target with arguments and shows icon. Replaces an existing file. Throws.
  virtual void WriteShortcut(std::string_view path, std::string_view target,
                             std::string_view arguments, std::string_view icon);

  // --- Clock -------------------------------------------------------------------------------
  // Local time now. KR_NOW ("yyyy-mm-dd hh:mm[:ss]") fixes it, for reproducible runs.
  virtual LocalTime Now();

  // --- Libraries that open files themselves -----------------------------------------------
  // The native path where such a library (the Access reader) finds the current bytes of
  // native_path; the path itself on the real machine. Never throws.
  virtual std::string ReadingPath(std::string_view native_path);
};

// The Env in force: Env::Default() unless a ScopedEnv is alive.
Env& CurrentEnv();

class ScopedEnv {
 public:
  explicit ScopedEnv(Env& env);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  Env* previous_;
};

// Short forms of the services of CurrentEnv().
std::string NativePath(std::string_view path);
std::vector<DirEntry> List(std::string_view pattern, ListKind kind);
bool Listed(std::string_view pattern, ListKind kind);
FileAttributes Attributes(std::string_view path);
// Whether a plain file is at path, as the run-time's listing finds it: Listed(path,
// kPlainFiles). Letter case is ignored when the exact name is missing; a folder, a hidden name
// ("." first) or a device is no file, a link to a file (or to nothing) is one. Wildcards in the
// last component match as in List, and a path ending in a separator asks whether that folder
// holds a plain file.
bool FileExists(std::string_view path);
void CopyFile(std::string_view from, std::string_view to);
void ReplaceFile(std::string_view from, std::string_view to);
void DeleteFile(std::string_view path);
void Rename(std::string_view from, std::string_view to);
void MakeDirectory(std::string_view path);
void RemoveDirectory(std::string_view path);
std::string ReadFile(std::string_view path);
void WriteFile(std::string_view path, std::string_view bytes);
bool SameContent(std::string_view a, std::string_view b);
std::vector<TreeEntry> ListTree(std::string_view folder);
void ReadFileInPieces(std::string_view path, std::span<char> buffer,
                      const std::function<void(std::string_view)>& piece);
// As WriteFile, but only the owner may read or write the file (mode 0600), from its first byte
// on: for secrets.
void WritePrivateFile(std::string_view path, std::string_view bytes);
// Fills bytes from the system's random source (for keys). Throws when it fails.
void RandomBytes(std::span<uint8_t> bytes);

// --- Fault injection (tests) -----------------------------------------------------------------
// Every step by which Env changes the disk asks the hook in force first, with the native path
// it is about to change (for a write: the temporary). A non-zero errno value makes the step
// fail as if the system had returned it; a failing kWrite first writes half of its bytes, as a
// disk filling up does. A hook may also end the process, to leave the disk as a crash would.
enum class DiskStep {
  kCreate,  // a new file (the temporary of a write)
  kWrite,   // bytes into it
  kSync,    // flushing a file or a folder to disk
  kRename,  // a rename, also the one that puts a written file in place
  kRemove,  // a file's or link's deletion
  kMakeFolder,
  kRemoveFolder,
  kAttributes,  // permissions
};
using FaultHook = std::function<int(DiskStep step, std::string_view native_path)>;

// Whether writes wait for the disk (flush before and after the rename), on by default. Without
// it a killed process still leaves every file whole, only a power cut may not; test programs
// that write much turn it off to run faster.
void SetDurableWrites(bool durable);
bool DurableWrites();

// Installs hook for its lifetime (the previous one is restored afterwards).
class ScopedFaultHook {
 public:
  explicit ScopedFaultHook(FaultHook hook);
  ~ScopedFaultHook();
  ScopedFaultHook(const ScopedFaultHook&) = delete;
  ScopedFaultHook& operator=(const ScopedFaultHook&) = delete;

 private:
  FaultHook hook_;
  FaultHook* previous_;
};

// --- Change observer (the run's record of what it changed) -----------------------------------
// Told, before Env changes a file's bytes or existence, which file (native path): the target of a
// write or copy (never its temporary), both ends of a rename, a removed file or link, and a
// database file before it is created and before the first write or truncation through each open
// (unnamed and delete-on-close files are not told). in_place: a database file, which may change
// again through the same open without another word; any other file is told before each change.
// The observer may read and write files itself: its own changes are not observed and join no
// open WriteBatch. A Failure it throws fails the change, which is then not made.
using ChangeObserver = std::function<void(const std::string& native_path, bool in_place)>;

// Installs observer for its lifetime (the previous one is restored afterwards).
class ScopedChangeObserver {
 public:
  explicit ScopedChangeObserver(ChangeObserver observer);
  ~ScopedChangeObserver();
  ScopedChangeObserver(const ScopedChangeObserver&) = delete;
  ScopedChangeObserver& operator=(const ScopedChangeObserver&) = delete;

 private:
  ChangeObserver observer_;
  ChangeObserver* previous_;
};

// Writes that are made durable together. While a batch is open, every replacing write (copies,
// WriteFile) goes to its temporary as usual but is not flushed or put in place: Commit() flushes
// all temporaries at once (one flush per file system), renames each over its target in the order
// written and flushes each folder once. Until then every target holds its old content; a batch
// destroyed without committing removes its temporaries. A batch opened inside another joins it
// (its Commit does nothing). One flush per file costs 10-30 ms on a spinning disk; a tree of
// thousands of files pays it once.
class WriteBatch {
 public:
  struct Failed {
    std::string path;  // the updater path of the write
    Failure failure;
  };
  WriteBatch();
  ~WriteBatch();
  WriteBatch(const WriteBatch&) = delete;
  WriteBatch& operator=(const WriteBatch&) = delete;
  // Puts the pending writes in place; returns the ones that could not be (their targets are
  // unchanged). Never throws.
  std::vector<Failed> Commit();

 private:
  bool owner_;
};

// Where a run's wall time goes, for the log and the benchmarks. A PhaseTimer adds the time of
// its lifetime to its phase; timers of different phases may nest (backups run inside routines).
enum class RunPhase { kFileActions, kRoutines, kBackups };
class PhaseTimer {
 public:
  explicit PhaseTimer(RunPhase phase);
  ~PhaseTimer();
  PhaseTimer(const PhaseTimer&) = delete;
  PhaseTimer& operator=(const PhaseTimer&) = delete;

 private:
  RunPhase phase_;
  int64_t started_ns_;
};
// Seconds spent in phase since the process started or the last ResetPhaseTimes().
double PhaseSeconds(RunPhase phase);
void ResetPhaseTimes();

// The absolute native path with every symbolic link of its existing part resolved and "." and
// ".." removed (the part that does not exist is kept as written). Never throws: on failure the
// path comes back as given.
std::string CanonicalNativePath(std::string_view native_path);
// A native path as typed on a command line, made absolute against the working folder with "."
// and ".." removed and links left as they are, so that what the run records still names the
// same place when read from elsewhere. A trailing separator is kept.
std::string AbsoluteNativePath(std::string_view native_path);

// The value of an environment variable of this process, "" when unset.
std::string EnvironmentValue(const char* name);

// --- Code page 932 ---------------------------------------------------------------------------
// Conversions at the boundary of ANSI files (INI files, shortcut lists). Characters code page
// 932 cannot hold become "?" on the way out; invalid bytes become U+FFFD on the way in.
std::string Cp932ToUtf8(std::string_view bytes);
std::string Utf8ToCp932(std::string_view text);

// --- Profile functions (INI files in code page 932) -----------------------------------------
// Stand-ins for the kernel's private-profile functions, with their observable behaviour:
// section and key names match case-insensitively; blanks around keys and values are dropped;
// a value enclosed in matching quotes loses them; lines beginning with ";" are comments; a
// missing file, section or key gives the default (or an empty list). Nothing is cached: every
// call reads the file, every write rewrites it.
namespace profile {

constexpr int kBufferSize = 32767;  // characters the updater's buffers hold, NUL included

// The value of key, or default_value when the key is missing. The result is cut to fit
// kBufferSize - 1 bytes of its code page 932 form, never inside a double-byte character.
std::string GetString(std::string_view file, std::string_view section, std::string_view key,
                      std::string_view default_value);
// The key's value read as an integer (leading sign and decimal digits; parsing stops at the
// first other character); default_value when the key is missing.
int32_t GetInt(std::string_view file, std::string_view section, std::string_view key,
               int32_t default_value);
// The lines of a section ("key=value" as written, in file order, duplicates kept), as the
// NUL-separated list the kernel returns (each entry ends in NUL, the list in a second NUL),
// cut at kBufferSize. An empty list is the empty string.
std::string GetSection(std::string_view file, std::string_view section);
// The section names in file order, as a NUL-separated list like GetSection's.
std::string GetSectionNames(std::string_view file);
// Writes key=value in section, creating the file (CRLF line ends) and the section when missing;
// a new key goes to the end of its section, a new section to the end of the file, and every
// other line stays byte for byte. key std::nullopt: removes the section (every section of that
// name). value std::nullopt: removes the key. Returns false when the file cannot be written.
bool WriteString(std::string_view file, std::string_view section,
                 std::optional<std::string_view> key, std::optional<std::string_view> value);

// Every line of an INI file as the functions above read it, numbered, for tools that point a
// package's author at a line. Raises what ReadFile raises.
enum class LineKind { kBlank, kComment, kSection, kEntry };
struct ProfileLine {
  int number = 0;  // 1-based; "\r\n", "\n" and "\r" each end a line
  LineKind kind = LineKind::kBlank;
  std::string text;   // UTF-8, as decoded
  std::string name;   // section name or key, trimmed
  std::string value;  // entry value, trimmed, quotes kept
  bool has_equals = false;
  bool closed = true;        // a section header's "]" is there
  bool undecodable = false;  // bytes the file's encoding could not read
};
struct ProfileListing {
  std::string encoding;  // "cp932", "utf-8", "utf-16le", "utf-16be"
  std::vector<ProfileLine> lines;
};
ProfileListing ListLines(std::string_view file);

}  // namespace profile

// --- Terminal --------------------------------------------------------------------------------
// True when the process's standard error is a terminal (a status line can be rewritten there).
bool StandardErrorIsTerminal();
// True when standard input is a terminal (a person types there).
bool StandardInputIsTerminal();
// The native folder for what a program keeps between runs (history): $XDG_STATE_HOME, else
// ~/.local/state; "" when neither is known.
std::string StateFolder();

// --- Single-instance guard -------------------------------------------------------------------
// Held for the life of the process by the first copy of the updater. Acquire returns nothing
// when another running copy holds it. The lock lives in $XDG_RUNTIME_DIR (else /tmp).
class InstanceGuard {
 public:
  static std::unique_ptr<InstanceGuard> Acquire(std::string_view name);
  virtual ~InstanceGuard() = default;
};

}  // namespace kr::platform
