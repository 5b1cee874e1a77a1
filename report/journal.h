// The change journal: which files one run created, replaced or removed, with their SHA-256 before
// and after, and the earlier content of each kept where undo finds it.
//
// Earlier content is kept by the run's own copies where one holds exactly those bytes (the dated
// backups), else copied to UpdateLog\<stamp>\ before the file first changes: "files\" and the
// path below the install folder, or "other\" and the whole path for files outside it (shortcuts).
// Reports and saved copies in UpdateLog\ are never changes themselves; nor are the temporaries of
// writes and the database engine's rollback journals.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "report/report.h"

namespace kr::report {

// "sha256:<64 hex>" of a plain file's bytes; nothing when no plain file is at path (a link is
// none). Regime: leave-on-error; nothing when it cannot be read.
std::optional<std::string> FileDigest(std::string_view path);

// How many runs keep their saved copies; older folders go when a journal finishes.
inline constexpr size_t kRunsKeptForUndo = 3;

// Records every change to the disk made while it lives (the platform's change observer is its
// own). install_folder: an updater path ending in "\"; stamp: the name of the run's report
// without ".json", which names the folder of its saved copies. Not thread-safe.
class ChangeJournal {
 public:
  ChangeJournal(std::string_view install_folder, std::string stamp);
  ~ChangeJournal();
  ChangeJournal(const ChangeJournal&) = delete;
  ChangeJournal& operator=(const ChangeJournal&) = delete;

  // Stops recording and returns the changes in the order the files first changed; a file that
  // ends as it began is left out, and so is its saved copy. Then keeps the saved copies of the
  // last kRunsKeptForUndo runs only. Regime: step-and-continue, nothing is reported.
  std::vector<Change> Finish();

 private:
  struct Entry {
    Change change;
    bool in_place = false;  // a database file: may change without a word
    bool own_copy = false;  // saved is a copy in this run's folder
  };
  void Before(const std::string& native, bool in_place);
  std::optional<std::string> MatchingFile(const std::string& digest, int64_t size);
  void KeepApart(size_t index);
  std::string SavedPath(const std::string& native) const;
  std::optional<std::string> Digest(const std::string& native);

  std::string install_native_;  // without the trailing "/"
  std::string log_native_;      // install_native_ + "/UpdateLog/"
  std::string stamp_;
  std::vector<Entry> entries_;
  std::map<std::string, size_t> index_;               // native path -> entry
  std::map<std::string, std::string> digests_;        // unchanged since hashed
  std::map<std::string, std::vector<size_t>> users_;  // native path -> entries saved by it
  std::optional<platform::ScopedChangeObserver> observer_;
};

}  // namespace kr::report
