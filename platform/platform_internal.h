// Helpers shared by the files of platform/. Not for use outside this folder.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.h"
#include "platform/platform.h"

namespace kr::platform::internal {

inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Unicode case folding, so that names compare as Windows compares them (case-blind).
std::string FoldCase(std::string_view utf8);

// Windows pattern matching of one name: "*" and "?", case-blind; "x.*" also matches "x" (so
// "*.*" matches every name) and a trailing "." matches names without an extension.
bool WildcardMatch(std::string_view pattern, std::string_view name);
bool HasWildcards(std::string_view text);

// An updater path split at its last separator: folder (with the separator; "" when there is
// none) and the last component.
struct SplitPath {
  std::string folder;
  std::string last;
};
SplitPath SplitLast(std::string_view path);

// The run-time's number for a failed system call, given errno. missing_is_path: ENOENT means
// "path not found" (76) rather than "file not found" (53).
int RuntimeNumberFor(int error, bool missing_is_path = false);
// A Failure for a failed system call on path, with errno's English text in the log text.
Failure SystemFailure(int error, std::string_view action, std::string_view path,
                      bool missing_is_path = false);
Failure RuntimeFailure(int number, std::string_view action, std::string_view path);

// Resolves a native path ("/" separators) as the disk resolves names on Windows: the path itself
// when it exists, else each missing component replaced by the entry of its folder that find
// gives (the same name, letter case ignored; "" when none). After the first component that
// has no match the rest is kept as given. A trailing "/" stays.
using FindName = std::function<std::string(const std::string& folder, std::string_view name)>;
std::string ResolveCaseBlind(std::string native,
                             const std::function<bool(const std::string&)>& exists,
                             const FindName& find);

// An open file descriptor, closed with the object.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// The refusals a write or a deletion meets at an existing entry (info), the same on the disk and
// in a plan. Writing: a folder or a read-only file (75). Deleting: anything but a plain file
// (53) or a read-only file (75). Throw.
void CheckReplaceable(const struct stat& info, std::string_view path);
void CheckDeletable(const struct stat& info, std::string_view path);

// Names of a native folder's entries ("." and ".." left out); empty when it cannot be read.
std::vector<std::string> ReadFolderNames(const std::string& native_folder);
// A folder's names by their case-folded form (the first in byte order for each).
using CaseBlindNames = std::map<std::string, std::string>;
// While a write batch is open, the names of native_folder as last read, kept until this process
// changes an entry there (nullptr without a batch): a tree copy reads each folder once instead
// of once per file.
const CaseBlindNames* BatchedFolderNames(const std::string& native_folder);

// --- Changes to the disk (disk.cpp) ---------------------------------------------------------
// Tells the change observer in force that native is about to change (see ChangeObserver).
void Observe(const std::string& native, bool in_place = false);
// While it lives, changes below private_root are told to the observer as changes to the path
// they stand for: tree_root + P as P; anything else below private_root not at all. A plan's
// copies are its installation's files to whoever watches the run.
class ScopedPrivateArea {
 public:
  ScopedPrivateArea(std::string private_root, std::string tree_root);
  ~ScopedPrivateArea();
  ScopedPrivateArea(const ScopedPrivateArea&) = delete;
  ScopedPrivateArea& operator=(const ScopedPrivateArea&) = delete;
  // The path observers are told for native; nothing when they are told nothing.
  std::optional<std::string> Public(const std::string& native) const;

 private:
  std::string private_root_;
  std::string tree_root_;
  const ScopedPrivateArea* previous_;
};
// The errno value the fault hook in force makes step on native fail with; 0: go ahead.
int Injected(DiskStep step, const std::string& native);
// The native folder holding native ("." for a bare name).
std::string FolderOf(const std::string& native);
// The system calls that change the disk, each asking the fault hook first. They return what the
// system call returns and set errno.
int CreateExclusive(const std::string& native);  // a new file for writing: fd or -1
int SyncFile(int fd, const std::string& native);
int RenameEntry(const std::string& from, const std::string& to);
int RemoveEntry(const std::string& native);
int MakeFolder(const std::string& native);
int RemoveFolder(const std::string& native);
int ChangeMode(const std::string& native, mode_t mode);
// Writes all of bytes to fd (a file being written at native); throws on failure.
void WriteAll(int fd, std::string_view bytes, const std::string& native, std::string_view path);

// What a replacing write puts into its temporary: fill writes the bytes (throwing on failure);
// mode, when given, becomes the file's permissions, times its access and modification times.
struct Content {
  std::function<void(int fd, const std::string& native_temp)> fill;
  std::optional<mode_t> mode;
  std::optional<std::pair<timespec, timespec>> times;
};
// Writes content to a temporary beside native (path names it in failures), flushes it, renames
// it over native and flushes the folder. A link at native has its linked file replaced. On
// failure the temporary is removed and native is unchanged. Throws.
void WriteReplacing(const std::string& native, std::string_view path, const Content& content);
// Env::WriteFile with the permissions given (std::nullopt: an existing file keeps its own).
void WriteFileWithMode(Env& env, std::string_view path, std::string_view bytes,
                       std::optional<mode_t> mode);
// Flushes a native folder's entries (a rename in it) to disk. Throws.
void SyncFolder(const std::string& native_folder, std::string_view path);
// Removes the temporaries a killed write left in a native folder.
void RemoveLeftoverTemporaries(const std::string& native_folder);

// Splits a Windows argument string by the rules of the Windows C run-time (CommandLineToArgvW
// without the program name): blanks separate, quotes group, backslashes escape only quotes.
std::vector<std::string> SplitWindowsArguments(std::string_view text);

// Whether a native path names a program that can be started.
bool IsProgram(const std::string& native);
using ProgramTest = std::function<bool(const std::string& native)>;
// A command line as StartProcess starts it: the program's native path first, then the
// arguments, those naming paths made native. is_program tells which native paths are programs.
// Throws 53 when no prefix of the line names one.
std::vector<std::string> ResolveCommandLine(Env& env, std::string_view command_line,
                                            const ProgramTest& is_program);

// The environment variable's value, or "" when unset.
std::string GetEnv(const char* name);

// --- Listings (shared by the disk and the overlay) ---------------------------------------------
enum class Kind { kMissing, kFile, kDirectory, kOther };
Kind KindOf(const std::string& native);  // links followed
// An entry's kind as listings show it, and whether it is a link. A link pointing nowhere counts
// as a plain file, so that a folder holding one can still be emptied.
struct EntryKind {
  Kind kind = Kind::kMissing;
  bool link = false;
};
EntryKind EntryKindOf(const std::string& native);
bool IsHidden(std::string_view name);  // "." first
// Adds name when a listing of wanted shows an entry of that kind.
void AddIfListed(std::vector<DirEntry>& entries, std::string name, EntryKind kind, ListKind wanted);

// How a listing sees the tree: the disk itself, or a plan's view of it. The run-time's pattern
// rules (List, Listed) are written once over it.
class ListingView {
 public:
  virtual ~ListingView() = default;
  // The folder, in the view's own terms, that a native folder path names ("": the current
  // folder); nullopt when it is no folder.
  virtual std::optional<std::string> Folder(const std::string& native) = 0;
  virtual std::vector<std::string> Names(const std::string& folder) = 0;
  virtual EntryKind KindIn(const std::string& folder, std::string_view name) = 0;
  virtual EntryKind KindAt(const std::string& native) = 0;
};
std::vector<DirEntry> ListPattern(Env& env, ListingView& view, std::string_view pattern,
                                  ListKind kind);
bool ListedPattern(Env& env, ListingView& view, std::string_view pattern, ListKind kind);
// Kill's pattern form: deletes every plain file that path's wildcard name matches (53 when none
// does) and says true; false when the name has no wildcard.
bool DeleteMatching(Env& env, std::string_view path);

}  // namespace kr::platform::internal
