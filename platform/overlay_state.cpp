// The overlay's private folder: keys, copies and deletion marks.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/overlay_state.h"
#include "platform/platform_internal.h"

namespace kr::platform {
namespace {

namespace fs = std::filesystem;
using internal::SystemFailure;

using internal::Fd;

bool Lstat(const std::string& native, struct stat& info) {
  return !native.empty() && lstat(native.c_str(), &info) == 0;
}

// Copies bytes, mode and times; the kernel may share the blocks (copy_file_range).
void CopyBytes(const std::string& from, const std::string& to, std::string_view path) {
  Fd in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info;
  if (in.get() < 0 || fstat(in.get(), &info) != 0) throw SystemFailure(errno, "open", path);
  Fd out(open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  if (out.get() < 0) throw SystemFailure(errno, "copy", path);
  auto fail = [&](int error) {
    unlink(to.c_str());
    return SystemFailure(error, "copy", path);
  };
  bool plain = false;
  for (;;) {
    ssize_t done = plain ? -1 : copy_file_range(in.get(), nullptr, out.get(), nullptr, 1 << 30, 0);
    if (done < 0 && !plain && (errno == EXDEV || errno == ENOSYS || errno == EINVAL)) {
      plain = true;
      continue;
    }
    if (plain) {
      char buffer[1 << 16];
      done = read(in.get(), buffer, sizeof buffer);
      if (done > 0 && write(out.get(), buffer, static_cast<size_t>(done)) != done)
        throw fail(errno);
    }
    if (done < 0 && errno == EINTR) continue;
    if (done < 0) throw fail(errno);
    if (done == 0) break;
  }
  const timespec times[2] = {info.st_atim, info.st_mtim};
  if (fchmod(out.get(), info.st_mode & 07777) != 0 || futimens(out.get(), times) != 0) {
    throw fail(errno);
  }
}

// Gives every folder below native back to its owner, so that it can be removed.
void OpenUp(const fs::path& native) {
  std::error_code error;
  fs::permissions(native, fs::perms::owner_all, fs::perm_options::add, error);
  for (fs::directory_iterator it(native, error), end; !error && it != end; it.increment(error)) {
    if (it->is_directory(error) && !it->is_symlink(error)) OpenUp(it->path());
  }
}

}  // namespace

OverlayEnv::State::State(Env& base) : base_(base), durable_before_(DurableWrites()) {
  std::error_code error;
  fs::path temp = fs::temp_directory_path(error);
  std::string pattern = (error ? std::string("/tmp") : temp.string()) + "/kr-plan-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw SystemFailure(errno, "make folder", pattern);
  root_ = pattern;
  tree_ = root_ + "/tree";
  if (mkdir(tree_.c_str(), 0700) != 0 || mkdir((root_ + "/locks").c_str(), 0700) != 0) {
    throw SystemFailure(errno, "make folder", root_);
  }
  private_area_.emplace(root_, tree_);
  // Nothing here outlives the plan: flushing it would only cost time.
  SetDurableWrites(false);
}

OverlayEnv::State::~State() {
  SetDurableWrites(durable_before_);
  OpenUp(root_);
  std::error_code error;
  fs::remove_all(root_, error);
  if (error) LogLine("OverlayEnv: could not remove " + root_ + ": " + error.message());
}

std::string OverlayEnv::State::Key(std::string_view native) {
  std::string path(native);
  if (path.empty() || path.front() != '/') {
    std::error_code error;
    path = fs::absolute(path.empty() ? "." : path, error).string();
  }
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  size_t cut = path.find_last_of('/');
  std::string folder = cut == 0 ? "/" : path.substr(0, cut);
  std::string last = path.substr(cut + 1);
  if (last.empty()) return "/";
  if (last == "." || last == "..") {
    std::error_code error;
    return fs::weakly_canonical(path, error).string();
  }
  auto found = canonical_folders_.find(folder);
  if (found == canonical_folders_.end()) {
    std::error_code error;
    std::string canonical = fs::weakly_canonical(folder, error).string();
    if (error || canonical.empty()) canonical = fs::path(folder).lexically_normal().string();
    while (canonical.size() > 1 && canonical.back() == '/') canonical.pop_back();
    found = canonical_folders_.emplace(folder, canonical).first;
  }
  return Join(found->second, last);
}

OverlayEnv::State::Side OverlayEnv::State::Where(const std::string& key) const {
  struct stat info;
  if (Lstat(Copy(key), info)) return Side::kCopy;
  if (deleted_.count(key) != 0) return Side::kMissing;
  return Lstat(key, info) ? Side::kReal : Side::kMissing;
}

std::string OverlayEnv::State::Actual(const std::string& key) const {
  switch (Where(key)) {
    case Side::kCopy:
      return Copy(key);
    case Side::kReal:
      return key;
    case Side::kMissing:
      break;
  }
  return {};
}

bool OverlayEnv::State::IsFolder(const std::string& key) const {
  std::string actual = Actual(key);
  struct stat info;
  return !actual.empty() && stat(actual.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::vector<std::string> OverlayEnv::State::Names(const std::string& key) const {
  std::set<std::string> names;
  for (std::string& name : internal::ReadFolderNames(Copy(key))) names.insert(std::move(name));
  if (deleted_.count(key) == 0 || Where(key) == Side::kCopy) {
    for (std::string& name : internal::ReadFolderNames(key)) {
      if (deleted_.count(Join(key, name)) == 0) names.insert(std::move(name));
    }
  }
  return {names.begin(), names.end()};
}

std::string OverlayEnv::State::Parent(const std::string& key) {
  size_t cut = key.find_last_of('/');
  if (cut == std::string::npos) return ".";
  return cut == 0 ? "/" : key.substr(0, cut);
}

std::string OverlayEnv::State::Join(const std::string& key, std::string_view name) {
  if (key.empty() || key.back() == '/') return key + std::string(name);
  return key + "/" + std::string(name);
}

void OverlayEnv::State::MakeCopyFolder(const std::string& key) {
  std::error_code error;
  fs::create_directories(Copy(key), error);
  if (error) throw SystemFailure(error.value(), "make folder", key, true);
}

void OverlayEnv::State::CopyUp(const std::string& key, std::string_view path) {
  if (Where(key) != Side::kReal) return;
  MakeCopyFolder(Parent(key));
  CopyBytes(key, Copy(key), path);
}

void OverlayEnv::State::Remove(const std::string& key, std::string_view path) {
  internal::Observe(key);
  std::string copy = Copy(key);
  struct stat info;
  if (Lstat(copy, info)) {
    if (S_ISDIR(info.st_mode)) internal::RemoveLeftoverTemporaries(copy);
    if ((S_ISDIR(info.st_mode) ? rmdir(copy.c_str()) : unlink(copy.c_str())) != 0) {
      throw SystemFailure(errno, "delete", path);
    }
  }
  if (Lstat(key, info)) deleted_.insert(key);
}

void OverlayEnv::State::Move(const std::string& from, const std::string& to,
                             std::string_view path) {
  std::string actual = Actual(from);
  struct stat info;
  if (!Lstat(actual, info)) throw internal::RuntimeFailure(kErrFileNotFound, "rename", path);
  if (!S_ISDIR(info.st_mode)) {
    internal::Observe(from);
    internal::Observe(to);
  }
  if (S_ISDIR(info.st_mode)) {
    MakeCopyFolder(to);
    for (const std::string& name : Names(from)) Move(Join(from, name), Join(to, name), path);
    Remove(from, path);
    return;
  }
  MakeCopyFolder(Parent(to));
  std::string target = Copy(to);
  if (actual != from) {
    if (rename(actual.c_str(), target.c_str()) != 0) throw SystemFailure(errno, "rename", path);
  } else if (S_ISLNK(info.st_mode)) {
    // A link moves as a link: what it points to stays where it is.
    std::string points_to(static_cast<size_t>(info.st_size) + 1, '\0');
    ssize_t length = readlink(from.c_str(), points_to.data(), points_to.size());
    if (length < 0) throw SystemFailure(errno, "rename", path);
    points_to.resize(static_cast<size_t>(length));
    if (symlink(points_to.c_str(), target.c_str()) != 0) throw SystemFailure(errno, "rename", path);
  } else {
    CopyBytes(from, target, path);
  }
  if (Lstat(from, info)) deleted_.insert(from);
}

std::shared_ptr<OverlayEnv::State::DatabaseNode> OverlayEnv::State::Node(const std::string& key) {
  std::shared_ptr<DatabaseNode>& node = nodes_[key];
  if (node == nullptr) {
    node = std::make_shared<DatabaseNode>();
    node->key = key;
    node->lock_path = root_ + "/locks/" + std::to_string(next_lock_++);
  }
  return node;
}

}  // namespace kr::platform
