// OverlayEnv: paths, listings and file operations over the real disk and the private copies,
// failing with the numbers the same calls on the real disk would raise.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/overlay_state.h"
#include "platform/platform_internal.h"

namespace kr::platform {
namespace {

using internal::RuntimeFailure;
using internal::SystemFailure;
using Side = OverlayEnv::State::Side;
using State = OverlayEnv::State;

using internal::EntryKind;
using internal::EntryKindOf;
using internal::IsHidden;

struct Found {
  std::string key;
  std::string actual;  // "" when missing
  bool exists = false;
  struct stat info {};  // links followed
};

Found Find(State& s, const std::string& native) {
  Found found;
  found.key = s.Key(native);
  found.actual = s.Actual(found.key);
  found.exists = !found.actual.empty() && stat(found.actual.c_str(), &found.info) == 0;
  return found;
}

bool IsLink(const std::string& actual) {
  struct stat info;
  return !actual.empty() && lstat(actual.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// A real folder this process may not write refuses new and removed entries, as it would in a
// run.
void CheckFolderWritable(State& s, const std::string& key, std::string_view path) {
  std::string folder = State::Parent(key);
  if (s.Where(folder) == Side::kReal && access(folder.c_str(), W_OK) != 0) {
    throw SystemFailure(errno, "change folder of", path);
  }
}

// A destination that may be replaced: not a folder, not read-only, its folder present. Makes
// the folder of its copy.
void PrepareTarget(State& s, const Found& target, std::string_view path) {
  if (target.exists) internal::CheckReplaceable(target.info, path);
  if (!target.exists && !s.IsFolder(State::Parent(target.key))) {
    throw RuntimeFailure(kErrPathNotFound, "write into missing folder", path);
  }
  CheckFolderWritable(s, target.key, path);
  s.MakeCopyFolder(State::Parent(target.key));
}

Failure Missing(State& s, const std::string& key, std::string_view action, std::string_view path) {
  return RuntimeFailure(s.IsFolder(State::Parent(key)) ? kErrFileNotFound : kErrPathNotFound,
                        action, path);
}

}  // namespace

OverlayEnv::OverlayEnv() : state_(std::make_unique<State>(CurrentEnv())) {}

OverlayEnv::~OverlayEnv() = default;

int64_t OverlayEnv::DiskUse() const {
  int64_t bytes = 0;
  for (const TreeEntry& entry : state_->base().ListTree(state_->root())) {
    struct stat info;
    if (lstat((state_->root() + "/" + entry.path).c_str(), &info) == 0) {
      bytes += static_cast<int64_t>(info.st_blocks) * 512;
    }
  }
  return bytes;
}

const std::vector<std::string>& OverlayEnv::WouldRun() const { return state_->would_run; }

std::string OverlayEnv::NativePath(std::string_view path) {
  State& s = *state_;
  std::string native(path);
  std::replace(native.begin(), native.end(), '\\', '/');
  auto exists = [&](const std::string& n) { return s.Where(s.Key(n)) != Side::kMissing; };
  // As the real disk resolves names, letter case ignored, but over what the plan sees.
  auto find = [&](const std::string& folder, std::string_view name) {
    std::string folded = internal::FoldCase(name);
    for (const std::string& entry : s.Names(s.Key(folder))) {
      if (internal::FoldCase(entry) == folded) return entry;
    }
    return std::string();
  };
  return internal::ResolveCaseBlind(std::move(native), exists, find);
}

namespace {

// What a plan lists: the real tree with the plan's changes over it.
class PlanView : public internal::ListingView {
 public:
  explicit PlanView(State& s) : s_(s) {}
  std::optional<std::string> Folder(const std::string& native) override {
    std::string key = s_.Key(native.empty() ? "." : native);
    if (!s_.IsFolder(key)) return std::nullopt;
    return key;
  }
  std::vector<std::string> Names(const std::string& folder) override { return s_.Names(folder); }
  EntryKind KindIn(const std::string& folder, std::string_view name) override {
    return EntryKindOf(s_.Actual(State::Join(folder, name)));
  }
  EntryKind KindAt(const std::string& native) override {
    return EntryKindOf(s_.Actual(s_.Key(native)));
  }

 private:
  State& s_;
};

}  // namespace

std::vector<DirEntry> OverlayEnv::List(std::string_view pattern, ListKind kind) {
  PlanView view(*state_);
  return internal::ListPattern(*this, view, pattern, kind);
}

bool OverlayEnv::Listed(std::string_view pattern, ListKind kind) {
  PlanView view(*state_);
  return internal::ListedPattern(*this, view, pattern, kind);
}

FileAttributes OverlayEnv::Attributes(std::string_view path) {
  State& s = *state_;
  FileAttributes attributes;
  std::string native = NativePath(path);
  Found found = Find(s, native);
  if (!found.exists) return attributes;
  attributes.exists = true;
  attributes.is_directory = S_ISDIR(found.info.st_mode);
  attributes.read_only = (found.info.st_mode & S_IWUSR) == 0;
  struct stat real;
  if (attributes.is_directory && found.actual != found.key && stat(found.key.c_str(), &real) == 0 &&
      S_ISDIR(real.st_mode)) {
    // The copy of a real folder only holds what changed below it; the folder is the real one.
    attributes.read_only = (real.st_mode & S_IWUSR) == 0;
  }
  attributes.is_link = IsLink(found.actual);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  attributes.hidden = IsHidden(internal::SplitLast(native).last);
  return attributes;
}

std::vector<TreeEntry> OverlayEnv::ListTree(std::string_view folder) {
  State& s = *state_;
  std::string key = s.Key(NativePath(folder));
  if (!s.IsFolder(key)) throw SystemFailure(ENOENT, "list", folder, true);
  std::vector<TreeEntry> entries;
  std::vector<std::pair<std::string, std::string>> pending{{key, ""}};
  while (!pending.empty()) {
    auto [at, prefix] = std::move(pending.back());
    pending.pop_back();
    for (const std::string& name : s.Names(at)) {
      std::string child = State::Join(at, name);
      struct stat info;
      if (lstat(s.Actual(child).c_str(), &info) != 0) {
        throw SystemFailure(errno, "examine", std::string(folder) + "/" + name);
      }
      if (S_ISDIR(info.st_mode)) {
        pending.emplace_back(child, prefix + name + "/");
      } else {
        entries.push_back({prefix + name, S_ISREG(info.st_mode)   ? TreeEntryKind::kFile
                                          : S_ISLNK(info.st_mode) ? TreeEntryKind::kLink
                                                                  : TreeEntryKind::kOther});
      }
    }
  }
  return entries;
}

namespace {

void CopyInto(State& s, OverlayEnv& overlay, std::string_view from, std::string_view to,
              bool busy_target_ok) {
  Found source = Find(s, overlay.NativePath(from));
  if (!source.exists) throw Missing(s, source.key, "copy from", from);
  if (!S_ISREG(source.info.st_mode)) throw RuntimeFailure(kErrPathFileAccess, "copy from", from);
  Found target = Find(s, overlay.NativePath(to));
  if (target.key == source.key) throw RuntimeFailure(kErrPermissionDenied, "copy onto itself", to);
  PrepareTarget(s, target, to);
  if (!busy_target_ok && target.actual == target.key && S_ISREG(target.info.st_mode)) {
    // A running program cannot be opened for writing; asking changes nothing.
    int fd = open(target.key.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw SystemFailure(errno, "open for writing", to);
    close(fd);
  }
  s.base().CopyFile(source.actual, s.Copy(target.key));
}

}  // namespace

void OverlayEnv::CopyFile(std::string_view from, std::string_view to) {
  CopyInto(*state_, *this, from, to, false);
}

void OverlayEnv::ReplaceFile(std::string_view from, std::string_view to) {
  CopyInto(*state_, *this, from, to, true);
}

void OverlayEnv::DeleteFile(std::string_view path) {
  State& s = *state_;
  if (internal::DeleteMatching(*this, path)) return;
  Found target = Find(s, NativePath(path));
  if (!IsLink(target.actual)) {
    if (!target.exists) throw Missing(s, target.key, "delete", path);
    internal::CheckDeletable(target.info, path);
  }
  CheckFolderWritable(s, target.key, path);
  s.Remove(target.key, path);
}

void OverlayEnv::Rename(std::string_view from, std::string_view to) {
  State& s = *state_;
  std::string source = s.Key(NativePath(from));
  std::string target = s.Key(NativePath(to));
  if (s.Where(source) == Side::kMissing) throw RuntimeFailure(kErrFileNotFound, "rename", from);
  if (target == source) {
    // Only the case of the name changes: the new name as given.
    std::string wanted(to);
    std::replace(wanted.begin(), wanted.end(), '\\', '/');
    while (wanted.size() > 1 && wanted.back() == '/') wanted.pop_back();
    target = State::Join(State::Parent(source), internal::SplitLast(wanted).last);
    if (target == source) return;
  } else if (s.Where(target) != Side::kMissing) {
    throw RuntimeFailure(kErrFileExists, "rename onto", to);
  }
  if (!s.IsFolder(State::Parent(target))) throw RuntimeFailure(kErrPathNotFound, "rename into", to);
  CheckFolderWritable(s, source, from);
  CheckFolderWritable(s, target, to);
  s.Move(source, target, from);
}

void OverlayEnv::MakeDirectory(std::string_view path) {
  State& s = *state_;
  std::string key = s.Key(NativePath(path));
  if (s.Where(key) != Side::kMissing) {
    throw RuntimeFailure(kErrPathFileAccess, "make existing folder", path);
  }
  if (!s.IsFolder(State::Parent(key))) throw SystemFailure(ENOENT, "make folder", path, true);
  CheckFolderWritable(s, key, path);
  s.MakeCopyFolder(key);
}

void OverlayEnv::RemoveDirectory(std::string_view path) {
  State& s = *state_;
  std::string key = s.Key(NativePath(path));
  if (s.Where(key) == Side::kMissing) throw RuntimeFailure(kErrPathNotFound, "remove folder", path);
  if (!s.IsFolder(key)) throw RuntimeFailure(kErrPathNotFound, "remove non-folder", path);
  std::vector<std::string> names = s.Names(key);
  // What a killed write left behind goes with the folder, as on the real disk.
  std::erase_if(names, [](const std::string& name) { return name.starts_with(".~krtmp-"); });
  if (!names.empty()) throw SystemFailure(ENOTEMPTY, "remove folder", path, true);
  CheckFolderWritable(s, key, path);
  for (const std::string& name : s.Names(key)) s.Remove(State::Join(key, name), path);
  s.Remove(key, path);
}

void OverlayEnv::SetReadOnly(std::string_view path, bool read_only) {
  State& s = *state_;
  std::string key = s.Key(NativePath(path));
  if (s.Where(key) == Side::kMissing)
    throw RuntimeFailure(kErrFileNotFound, "set attributes", path);
  if (s.IsFolder(key)) {
    s.MakeCopyFolder(key);
  } else {
    s.CopyUp(key, path);
  }
  s.base().SetReadOnly(s.Copy(key), read_only);
}

std::string OverlayEnv::ReadFile(std::string_view path) {
  State& s = *state_;
  std::string key = s.Key(NativePath(path));
  std::string actual = s.Actual(key);
  if (actual.empty()) throw RuntimeFailure(kErrFileNotFound, "read", path);
  return s.base().ReadFile(actual);
}

void OverlayEnv::ReadFileInPieces(std::string_view path, std::span<char> buffer,
                                  const std::function<void(std::string_view)>& piece) {
  State& s = *state_;
  std::string actual = s.Actual(s.Key(NativePath(path)));
  if (actual.empty()) throw RuntimeFailure(kErrFileNotFound, "read", path);
  s.base().ReadFileInPieces(actual, buffer, piece);
}

void OverlayEnv::WriteFile(std::string_view path, std::string_view bytes) {
  State& s = *state_;
  Found target = Find(s, NativePath(path));
  PrepareTarget(s, target, path);
  std::optional<mode_t> mode;
  // A file replaced keeps its permissions, also when its bytes are still the real ones.
  if (target.exists && target.actual == target.key) mode = target.info.st_mode & 07777;
  internal::WriteFileWithMode(s.base(), s.Copy(target.key), bytes, mode);
}

bool OverlayEnv::SameContent(std::string_view a, std::string_view b) {
  State& s = *state_;
  std::string first = s.Actual(s.Key(NativePath(a)));
  std::string second = s.Actual(s.Key(NativePath(b)));
  if (first.empty() || second.empty()) return false;
  return s.base().SameContent(first, second);
}

bool OverlayEnv::FileInUse(std::string_view path) {
  State& s = *state_;
  std::string key = s.Key(NativePath(path));
  return s.Where(key) == Side::kReal && s.base().FileInUse(key);
}

void OverlayEnv::WriteShortcut(std::string_view path, std::string_view target,
                               std::string_view arguments, std::string_view icon) {
  State& s = *state_;
  Found found = Find(s, NativePath(path));
  PrepareTarget(s, found, path);
  s.base().WriteShortcut(s.Copy(found.key), target, arguments, icon);
}

std::string OverlayEnv::ReadingPath(std::string_view native_path) {
  State& s = *state_;
  std::string actual = s.Actual(s.Key(native_path));
  return actual.empty() ? std::string(native_path) : actual;
}

}  // namespace kr::platform
