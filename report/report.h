// The run report: what one run (or plan, or undo) did to an installation, written as JSON to
// UpdateLog\<yyyymmddhhnnss>.json in the install folder so that people and scripts can see it
// and undo can take it back. Its format is described by docs/run-report.schema.json.
//
// A run records into the Recorder in force (ScopedRecorder); code that may run without one
// (tools, tests) asks Current() and records nothing when it is null.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kr::report {

inline constexpr int kFormat = 1;

struct Error {
  int32_t number = 0;
  std::string description;
};

enum class ActionOutcome { kDone, kSkipped, kFailed };
struct Action {
  int line = 0;  // 1-based line of KrInst.ini
  std::string keyword;
  std::string source;  // native, absolute; "" when the line has none
  std::string target;  // native, absolute
  ActionOutcome outcome = ActionOutcome::kDone;
  std::optional<Error> error;
};

struct TableCounts {
  std::string name;
  int64_t inserted = 0, updated = 0, deleted = 0;
};

struct StepFailure {
  std::string step;       // as the catalogue writes it
  std::string statement;  // "" when no statement was running
  Error error;
};

enum class TargetOutcome { kMigrated, kSkipped, kFailed };
struct Target {
  std::string database;  // native, absolute
  TargetOutcome outcome = TargetOutcome::kMigrated;
  std::string reason;                 // why skipped or failed; "" when migrated
  std::optional<std::string> backup;  // native path of the backup this run made
  std::optional<std::string> version_before, version_after;
  std::vector<TableCounts> tables;
  std::vector<StepFailure> failures;
};

struct Routine {
  std::string name;
  std::vector<Target> targets;
};

// A file the run created (before null), replaced, or removed (after null).
struct Change {
  std::string path;                   // native, absolute
  std::optional<std::string> before;  // "sha256:<64 hex>"
  std::optional<std::string> after;
  std::optional<std::string> saved;  // where the earlier content is kept
  // A database written again with the tables and rows it had: its bytes changed, its data not.
  bool same_data = false;
};

struct Report {
  int format = kFormat;
  bool plan = false;
  std::string kind = "run";       // "run" or "undo"
  std::string package;            // native, absolute
  std::string install_folder;     // native, absolute
  std::string started, finished;  // ISO 8601 local time, "2026-12-07T08:01:02"
  int exit_status = 0;
  std::vector<Action> actions;
  std::vector<Routine> routines;
  std::vector<Change> changes;
  // Command lines of the programs the run started (registrations among them): undo cannot take
  // back what they did.
  std::vector<std::string> programs;
};

std::string_view OutcomeName(ActionOutcome outcome);  // "done", "skipped", "failed"
std::string_view OutcomeName(TargetOutcome outcome);  // "migrated", "skipped", "failed"

// The report as JSON (UTF-8, two-space indent, keys in the order above).
std::string ToJson(const Report& report);
// Reads a report back. Throws kr::Failure (number 13, "型が一致しません。") when text is no
// report of a known format.
Report FromJson(std::string_view text);

// The report as the Japanese text users read (kr-updater-cli after the end message, frmWait's
// 詳細…): the file lines counted by outcome with each failed one, then a line per routine and
// database (migrated with its versions and table counts, skipped or failed with why, each failed
// step). Database paths below the install folder are shown relative to it.
std::string SummaryText(const Report& report);

// Collects one run's report. Not thread-safe: a run has one thread.
class Recorder {
 public:
  Report& report() { return report_; }
  const Report& report() const { return report_; }

  // A routine line starts: its entry, which the targets it visits go into.
  Routine& BeginRoutine(std::string_view name);
  // The entry of database in the routine running now (added on first visit as skipped, until a
  // stage says otherwise; a two-stage routine visits a database twice). Null before any routine
  // began.
  Target* TargetOf(std::string_view database);

 private:
  Report report_;
};

// The recorder of the run in progress, or null.
Recorder* Current();

class ScopedRecorder {
 public:
  explicit ScopedRecorder(Recorder& recorder);
  ~ScopedRecorder();
  ScopedRecorder(const ScopedRecorder&) = delete;
  ScopedRecorder& operator=(const ScopedRecorder&) = delete;

 private:
  Recorder* previous_;
};

}  // namespace kr::report
