// The run-time's pattern listing and file attributes.
#include <sys/stat.h>

#include <optional>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace kr::platform {
namespace {

using internal::AddIfListed;
using internal::EntryKind;
using internal::EntryKindOf;
using internal::IsHidden;
using internal::Kind;
using internal::KindOf;

std::string Join(const std::string& native_folder, std::string_view name) {
  if (native_folder.empty()) return std::string(name);
  if (native_folder.back() == '/') return native_folder + std::string(name);
  return native_folder + "/" + std::string(name);
}

}  // namespace

namespace internal {

Kind KindOf(const std::string& native) {
  struct stat info;
  if (native.empty() || stat(native.c_str(), &info) != 0) return Kind::kMissing;
  if (S_ISREG(info.st_mode)) return Kind::kFile;
  if (S_ISDIR(info.st_mode)) return Kind::kDirectory;
  return Kind::kOther;
}

EntryKind EntryKindOf(const std::string& native) {
  struct stat info;
  if (native.empty() || lstat(native.c_str(), &info) != 0) return {};
  if (!S_ISLNK(info.st_mode)) return {KindOf(native), false};
  Kind kind = KindOf(native);
  return {kind == Kind::kMissing ? Kind::kFile : kind, true};
}

bool IsHidden(std::string_view name) { return !name.empty() && name.front() == '.'; }

void AddIfListed(std::vector<DirEntry>& entries, std::string name, EntryKind kind,
                 ListKind wanted) {
  if (IsHidden(name)) return;
  if (kind.kind == Kind::kFile) {
    entries.push_back({std::move(name), false, kind.link});
  } else if (kind.kind == Kind::kDirectory && wanted == ListKind::kWithDirectories) {
    entries.push_back({std::move(name), true, kind.link});
  }
}

std::vector<DirEntry> ListPattern(Env& env, ListingView& view, std::string_view pattern,
                                  ListKind kind) {
  std::vector<DirEntry> entries;
  // An empty pattern would list the current folder; nothing the updater asks for means that.
  if (pattern.empty()) return entries;
  SplitPath split = SplitLast(pattern);
  if (split.last == "." || split.last == "..") return entries;

  if (!split.last.empty() && !HasWildcards(split.last)) {
    std::string native = env.NativePath(pattern);
    std::string name = SplitLast(native).last;
    AddIfListed(entries, std::move(name), view.KindAt(native), kind);
    return entries;
  }
  std::optional<std::string> folder =
      view.Folder(split.folder.empty() ? std::string() : env.NativePath(split.folder));
  if (!folder) return entries;
  for (std::string& name : view.Names(*folder)) {
    if (IsHidden(name)) continue;
    if (!split.last.empty() && !WildcardMatch(split.last, name)) continue;
    EntryKind entry_kind = view.KindIn(*folder, name);
    AddIfListed(entries, std::move(name), entry_kind, kind);
  }
  return entries;
}

bool ListedPattern(Env& env, ListingView& view, std::string_view pattern, ListKind kind) {
  if (pattern.empty()) return false;
  if (kind == ListKind::kWithDirectories) {
    // The run-time lists "." for a folder path, so an empty folder still counts.
    SplitPath split = SplitLast(pattern);
    if (!HasWildcards(split.last)) {
      if (view.Folder(env.NativePath(pattern))) return true;
    } else if (WildcardMatch(split.last, ".") && !split.folder.empty() &&
               view.Folder(env.NativePath(split.folder))) {
      return true;  // "*.*" and "*" match the "." entry
    }
  }
  return !ListPattern(env, view, pattern, kind).empty();
}

bool DeleteMatching(Env& env, std::string_view path) {
  SplitPath split = SplitLast(path);
  if (!HasWildcards(split.last)) return false;
  std::vector<DirEntry> matches = env.List(path, ListKind::kPlainFiles);
  if (matches.empty()) throw RuntimeFailure(kErrFileNotFound, "delete", path);
  for (const DirEntry& entry : matches) env.DeleteFile(split.folder + entry.name);
  return true;
}

}  // namespace internal

namespace {

class DiskView : public internal::ListingView {
 public:
  std::optional<std::string> Folder(const std::string& native) override {
    if (!native.empty() && KindOf(native) != Kind::kDirectory) return std::nullopt;
    return native;
  }
  std::vector<std::string> Names(const std::string& folder) override {
    return internal::ReadFolderNames(folder);
  }
  EntryKind KindIn(const std::string& folder, std::string_view name) override {
    return EntryKindOf(Join(folder, name));
  }
  EntryKind KindAt(const std::string& native) override { return EntryKindOf(native); }
};

}  // namespace

std::vector<DirEntry> Env::List(std::string_view pattern, ListKind kind) {
  DiskView view;
  return internal::ListPattern(*this, view, pattern, kind);
}

bool Env::Listed(std::string_view pattern, ListKind kind) {
  DiskView view;
  return internal::ListedPattern(*this, view, pattern, kind);
}

FileAttributes Env::Attributes(std::string_view path) {
  FileAttributes attributes;
  std::string native = NativePath(path);
  struct stat info;
  if (native.empty() || stat(native.c_str(), &info) != 0) return attributes;
  attributes.exists = true;
  attributes.is_directory = S_ISDIR(info.st_mode);
  attributes.read_only = (info.st_mode & S_IWUSR) == 0;
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  struct stat own;
  attributes.is_link = lstat(native.c_str(), &own) == 0 && S_ISLNK(own.st_mode);
  attributes.hidden = IsHidden(internal::SplitLast(native).last);
  return attributes;
}

}  // namespace kr::platform
