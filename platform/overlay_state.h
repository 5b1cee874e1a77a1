// What an OverlayEnv knows: where its private copies live, which real paths it has deleted, and
// the database files it has open. Not for use outside platform/.
//
// A path is looked up by its key: absolute and native, its folder with every link resolved, so
// that the engine's canonical names and the updater's names meet. Its copy is the private
// folder's "tree" + key. A key is seen as its copy when one exists, else as missing when
// deleted, else as the real path: the real disk is only ever read.
#pragma once

#include <sys/stat.h>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/overlay.h"
#include "platform/platform_internal.h"

namespace kr::platform {

class OverlayEnv::State {
 public:
  enum class Side { kMissing, kCopy, kReal };

  // A database file opened through the overlay: the engine sees one file while its bytes move
  // from the real disk to a copy on the first write of any open. Locks live on a private lock
  // file of their own, so they survive that move.
  struct DatabaseNode {
    std::string key;
    int generation = 0;  // counts the moves; each open follows on its next call
    std::string lock_path;
  };

  explicit State(Env& base);
  ~State();

  Env& base() { return base_; }
  const std::string& root() const { return root_; }

  std::string Key(std::string_view native);
  std::string Copy(const std::string& key) const { return tree_ + key; }
  Side Where(const std::string& key) const;
  // The native path holding the key's bytes now; "" when missing.
  std::string Actual(const std::string& key) const;
  bool IsFolder(const std::string& key) const;
  // The key's names as a listing of the folder would show them (hidden ones too), sorted.
  std::vector<std::string> Names(const std::string& key) const;
  static std::string Parent(const std::string& key);
  static std::string Join(const std::string& key, std::string_view name);

  // Makes the folder (and those above it) in the private tree.
  void MakeCopyFolder(const std::string& key);
  // Copies the real file of key into the private tree, keeping mode and times. Throws.
  void CopyUp(const std::string& key, std::string_view path);
  // Removes the key: its copy goes, and a real path is marked deleted. Throws.
  void Remove(const std::string& key, std::string_view path);
  // Moves the key's file or folder (with everything below) to another key. Throws.
  void Move(const std::string& from, const std::string& to, std::string_view path);

  std::shared_ptr<DatabaseNode> Node(const std::string& key);

  std::vector<std::string> would_run;

 private:
  Env& base_;
  bool durable_before_;
  std::string root_;  // the private folder
  std::string tree_;  // root_ + "/tree": copies, by key
  std::set<std::string> deleted_;
  // Canonical folders by their native name: the real disk does not change while a plan runs.
  std::unordered_map<std::string, std::string> canonical_folders_;
  std::map<std::string, std::shared_ptr<DatabaseNode>> nodes_;
  int next_lock_ = 0;
  // Watchers of the run see the installation's paths, never the copies standing for them.
  std::optional<internal::ScopedPrivateArea> private_area_;
};

}  // namespace kr::platform
