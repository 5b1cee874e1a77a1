#include "report/journal.h"

#include <nettle/sha2.h>

#include <algorithm>
#include <array>
#include <set>
#include <utility>

#include "platform/failure.h"

namespace kr::report {
namespace {

constexpr std::string_view kLogFolder = "UpdateLog";

std::string Trimmed(std::string native) {
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  return native;
}

// Folders from below base down to the one holding native_file, made when missing.
void MakeFoldersFor(const std::string& base, const std::string& native_file) {
  for (size_t slash = native_file.find('/', base.size() + 1); slash != std::string::npos;
       slash = native_file.find('/', slash + 1)) {
    std::string folder = native_file.substr(0, slash);
    if (!platform::Attributes(folder).is_directory) platform::MakeDirectory(folder);
  }
}

// Files first (hidden ones too), then the folders from the bottom up.
void RemoveTree(const std::string& native_folder) {
  for (const platform::TreeEntry& entry : platform::ListTree(native_folder)) {
    platform::DeleteFile(native_folder + "/" + entry.path);
  }
  for (const platform::DirEntry& entry :
       platform::List(native_folder + "/", platform::ListKind::kWithDirectories)) {
    if (entry.is_directory && !entry.is_link) RemoveTree(native_folder + "/" + entry.name);
  }
  platform::RemoveDirectory(native_folder);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "20261207080102" or "20261207080102-2": a run's saved copies. Sorts oldest first.
std::optional<std::pair<std::string, int>> StampOrder(std::string_view name) {
  if (name.size() < 14 || !std::all_of(name.begin(), name.begin() + 14, IsDigit)) {
    return std::nullopt;
  }
  if (name.size() == 14) return std::pair{std::string(name), 1};
  if (name[14] != '-' || name.size() == 15 || name.size() > 20 ||
      !std::all_of(name.begin() + 15, name.end(), IsDigit)) {
    return std::nullopt;
  }
  return std::pair{std::string(name.substr(0, 14)), std::stoi(std::string(name.substr(15)))};
}

void KeepLastRuns(const std::string& log_folder) {
  std::vector<std::pair<std::pair<std::string, int>, std::string>> runs;
  for (const platform::DirEntry& entry :
       platform::List(log_folder, platform::ListKind::kWithDirectories)) {
    if (!entry.is_directory || entry.is_link) continue;
    if (auto order = StampOrder(entry.name)) runs.emplace_back(*order, entry.name);
  }
  if (runs.size() <= kRunsKeptForUndo) return;
  std::sort(runs.begin(), runs.end());
  runs.resize(runs.size() - kRunsKeptForUndo);
  for (const auto& run : runs) {
    LeaveOnError("ChangeJournal", false, [&] {
      RemoveTree(log_folder + run.second);
      LogLine("ChangeJournal: saved copies of run " + run.second + " removed");
      return true;
    });
  }
}

// A run killed while copying leaves the temporary of its copy where no later write looks. Its
// finished copies stay: they may hold the only earlier content of what it changed.
void RemoveTemporariesOfKilledRuns(const std::string& log_folder) {
  for (const platform::DirEntry& entry :
       platform::List(log_folder, platform::ListKind::kWithDirectories)) {
    if (!entry.is_directory || entry.is_link || !StampOrder(entry.name)) continue;
    if (platform::Attributes(log_folder + entry.name + ".json").exists) continue;
    for (const platform::TreeEntry& file : platform::ListTree(log_folder + entry.name)) {
      const size_t slash = file.path.find_last_of('/');
      if (file.path.compare(slash == std::string::npos ? 0 : slash + 1, 8, ".~krtmp-") == 0) {
        platform::DeleteFile(log_folder + entry.name + "/" + file.path);
      }
    }
  }
}

}  // namespace

std::optional<std::string> FileDigest(std::string_view path) {
  platform::FileAttributes attributes = platform::Attributes(path);
  if (!attributes.exists || attributes.is_directory || attributes.is_link) return std::nullopt;
  return LeaveOnError("FileDigest", std::optional<std::string>(), [&] {
    sha256_ctx context;
    sha256_init(&context);
    std::array<char, 1 << 16> buffer;
    platform::ReadFileInPieces(path, buffer, [&](std::string_view piece) {
      sha256_update(&context, piece.size(), reinterpret_cast<const uint8_t*>(piece.data()));
    });
    std::array<uint8_t, SHA256_DIGEST_SIZE> digest;
    sha256_digest(&context, digest.size(), digest.data());
    std::string text = "sha256:";
    constexpr char kHex[] = "0123456789abcdef";
    for (uint8_t byte : digest) {
      text += kHex[byte >> 4];
      text += kHex[byte & 15];
    }
    return std::optional<std::string>(text);
  });
}

ChangeJournal::ChangeJournal(std::string_view install_folder, std::string stamp)
    : install_native_(Trimmed(platform::CanonicalNativePath(platform::NativePath(install_folder)))),
      log_native_(install_native_ + "/" + std::string(kLogFolder) + "/"),
      stamp_(std::move(stamp)) {
  LeaveOnError("ChangeJournal", false, [&] {
    RemoveTemporariesOfKilledRuns(log_native_);
    return true;
  });
  // What cannot be kept is not changed: the change fails as the disk would have failed it.
  observer_.emplace([this](const std::string& native, bool in_place) {
    std::optional<Failure> failure =
        internal::Capture([&] { Before(native, in_place); }, Origin::Here());
    if (!failure) return;
    LogLine("ChangeJournal: " + native + " left unchanged: " + failure->what());
    throw *failure;
  });
}

ChangeJournal::~ChangeJournal() = default;

void ChangeJournal::Before(const std::string& native, bool in_place) {
  const std::string path = platform::CanonicalNativePath(native);
  // The engine's journal comes and goes within one of its commits.
  if (path.starts_with(log_native_) || path.ends_with("-journal")) return;
  digests_.erase(path);
  if (auto known = index_.find(path); known != index_.end()) {
    entries_[known->second].in_place |= in_place;
    if (users_.contains(path)) KeepApart(known->second);
    return;
  }
  platform::FileAttributes attributes = platform::Attributes(path);
  if (attributes.is_link || (attributes.exists && attributes.is_directory)) return;
  Entry entry;
  entry.change.path = path;
  entry.in_place = in_place;
  const size_t index = entries_.size();
  if (attributes.exists) {
    entry.change.before = FileDigest(path);
    if (!entry.change.before) throw Failure::Runtime(kErrPathFileAccess, "read " + path);
    entry.change.saved =
        MatchingFile(*entry.change.before, platform::CurrentEnv().StatDatabaseFile(path).size);
    if (entry.change.saved) {
      users_[*entry.change.saved].push_back(index);
    } else {
      std::string copy = SavedPath(path);
      MakeFoldersFor(install_native_, copy);
      platform::CopyFile(path, copy);
      entry.change.saved = copy;
      entry.own_copy = true;
    }
  }
  index_[path] = index;
  entries_.push_back(std::move(entry));
}

// A file this run wrote whole (never in place) that holds the bytes now: the dated backup of
// the file about to change, usually.
std::optional<std::string> ChangeJournal::MatchingFile(const std::string& digest, int64_t size) {
  for (const Entry& entry : entries_) {
    const std::string& path = entry.change.path;
    if (entry.in_place || platform::CurrentEnv().StatDatabaseFile(path).size != size) continue;
    if (!platform::Attributes(path).IsFile()) continue;
    if (std::optional<std::string> held = Digest(path); held == digest) return path;
  }
  return std::nullopt;
}

// The file at index is about to change while others count on its bytes: they get a copy.
void ChangeJournal::KeepApart(size_t index) {
  const std::string path = entries_[index].change.path;
  const std::vector<size_t> users = users_[path];
  // One copy serves them all; until it is made, the file keeps them waiting and does not change.
  std::string copy = SavedPath(entries_[users.front()].change.path);
  MakeFoldersFor(install_native_, copy);
  platform::CopyFile(path, copy);
  users_.erase(path);
  for (size_t user : users) {
    entries_[user].change.saved = copy;
    entries_[user].own_copy = true;
  }
}

std::string ChangeJournal::SavedPath(const std::string& native) const {
  std::string folder = log_native_ + stamp_;
  if (native.starts_with(install_native_ + "/")) {
    return folder + "/files" + native.substr(install_native_.size());
  }
  return folder + "/other" + (native.starts_with("/") ? "" : "/") + native;
}

std::optional<std::string> ChangeJournal::Digest(const std::string& native) {
  if (auto known = digests_.find(native); known != digests_.end()) return known->second;
  std::optional<std::string> digest = FileDigest(native);
  if (digest) digests_[native] = *digest;
  return digest;
}

std::vector<Change> ChangeJournal::Finish() {
  observer_.reset();
  digests_.clear();
  std::vector<Change> changes;
  std::set<std::string> kept;
  std::set<std::string> own_copies;
  for (Entry& entry : entries_) {
    if (entry.own_copy) own_copies.insert(*entry.change.saved);
    entry.change.after = FileDigest(entry.change.path);
    if (entry.change.after == entry.change.before) continue;
    if (entry.change.saved) kept.insert(*entry.change.saved);
    changes.push_back(entry.change);
  }
  StepAndContinue steps("ChangeJournal");
  const std::string folder = log_native_ + stamp_;
  const bool any_kept = std::any_of(own_copies.begin(), own_copies.end(),
                                    [&](const std::string& copy) { return kept.contains(copy); });
  if (!any_kept) {
    if (platform::Attributes(folder).is_directory) steps.Step([&] { RemoveTree(folder); });
  } else {
    for (const std::string& copy : own_copies) {
      if (!kept.contains(copy)) steps.Step([&] { platform::DeleteFile(copy); });
    }
  }
  steps.Step([&] { KeepLastRuns(log_native_); });
  return changes;
}

}  // namespace kr::report
