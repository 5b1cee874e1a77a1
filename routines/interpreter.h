// The one skeleton every routine runs in, and the hooks through which hand-written bodies add
// what is truly their own. Internal to routines/.
//
// The skeleton, per target: open it; the row's condition; the guard; the body's own condition;
// the backup; the late source; the entry (data steps, the record, then whatever the body adds
// after the record) as one transaction; the marker file when the entry was committed. Every
// guard, record and source is the row's: a body never repeats them.
//
// Regime: step-and-continue throughout. Every step runs through RoutineRun::steps; a failing
// step is logged with its routine, database and step, and skipped; nothing escapes a routine.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.h"
#include "report/report.h"
#include "routines/routines.h"
#include "routines/variants.h"

namespace kr::routines {

using db::Database;

// One database a routine visits.
struct Place {
  std::string path;    // the database file, an updater path
  std::string folder;  // its year folder with "\" ("" when it lies outside one)
};

// What one stage of a row checks, runs and records. A two-stage row runs stage 0 then stage 1 on
// each target, each with its own guard, source and steps; a row with as many guards as records
// pairs them with its targets in order (the last pair serves the rest); any other row has one
// stage.
struct Stage {
  const Guard* guard = nullptr;  // nullptr: no guard
  std::vector<Record> record;
  const std::vector<Step>* steps = nullptr;
  std::string source;  // the late-checked source file ("" for none)
};
Stage StageOf(const Routine& routine, size_t index);
// Whether the row pairs its guards and records with its targets.
bool Paired(const Routine& routine);

// The state of one running routine.
class RoutineRun {
 public:
  RoutineRun(const Routine& routine, RunContext& context, ui::Ui& ui, std::string_view argument);

  const Routine& routine;
  RunContext& context;
  ui::Ui& ui;
  std::string argument;  // value 3 of the manifest line
  StepAndContinue steps;
  std::string caption;  // the progress caption as the routine started

  // PackageFolder + name, InstallFolder + relative.
  std::string PackageFile(std::string_view name) const;
  std::string InstallFile(std::string_view relative) const;

  // The places of the row's targets, in order (only those whose file exists are visited).
  std::vector<Place> Places() const;
  // Opens an application database as a step; an empty handle when it fails.
  Database Open(std::string_view path);
  // Open only when the file exists; an empty handle otherwise.
  Database OpenIfPresent(std::string_view path);
  void Close(Database& db);
  // The guard of a stage for a database (true: leave it alone).
  bool Skip(Database& target, const Guard* guard);
  // The backup and reopen of the skeleton; false when no whole backup of the database as it was
  // before this run is there (the target must then be left as it is).
  bool Backup(Database& target);
  // Leaves the database at path as it is for the rest of the run, the reason in the log.
  void Unfinished(std::string_view path, std::string_view reason);
  bool IsUnfinished(std::string_view path) const;
  // Data steps on one target, inside its entry; true when none of them failed. Each step runs
  // in a savepoint of its own, so that a failing one leaves nothing behind; a table's K, T and C
  // (with the steps between them, where two tables' stretches overlap both) are one unit, kept
  // as they were when any of it fails.
  bool RunSteps(const std::vector<Step>& steps, Database& source, Database& target,
                VariantChooser& variants);
  // Runs work in a savepoint of target: kept when it returns true, else rolled back.
  bool InSavepoint(Database& target, const std::function<bool()>& work);
  void WriteRecord(const std::vector<Record>& record, Database& source, Database& target);
  // Runs body (a target's data steps through its record) as one transaction of target, so that
  // a run killed midway leaves the database as it was and the next run migrates it whole. The
  // sources the steps link to are attached first: SQLite attaches only outside transactions.
  // A commit that fails (disk full) leaves the database as it was, the failure pending; so does
  // a disk that fails before the transaction begins (body does not run then), and so does a
  // body that returns false or lets a failure escape. True when the transaction was committed.
  bool Entry(Database& target, const std::vector<const Database*>& sources,
             const std::function<bool()>& body);
  // The progress caption followed by suffix, with the user interface's events processed.
  void Progress(std::string_view suffix);

  // The run report's entry of the database at path in this routine; null outside a run.
  report::Target* Recorded(std::string_view path);
  // A table a step reads (in the source) or changes is missing, so the step does nothing: the
  // log and the report say so.
  void MissingTable(std::string_view table, bool in_source);
  size_t missing_tables = 0;            // on the target being migrated
  report::Target* recording = nullptr;  // the entry of the target being migrated
  int64_t statements_at_step = 0;       // the target's StatementsRun() as the step began
};

// A target while its entry runs.
struct EntryContext {
  Database& target;
  Database& source;
  VariantChooser& variants;
  const Place& place;
  const Stage& stage;
};

// What a hand-written body adds to the skeleton. Every hook is optional.
struct Hooks {
  // A source the body opened itself (another password, not required), used instead of the
  // row's early-checked source; the body closes it.
  Database* source = nullptr;
  // Further sources the entry's steps link to.
  std::vector<const Database*> more_sources;
  // The body's own condition on an open target, after the row's condition and the guard and
  // before the backup; false leaves the target alone.
  std::function<bool(Database& target, const Place& place)> admit;
  // The entry's data steps; by default the stage's steps.
  std::function<void(EntryContext& entry)> work;
  // The record item to write for one of the stage's items: the item itself by default, another
  // text or comment, or nothing.
  std::function<std::optional<Record>(const Record& item, EntryContext& entry)> record;
  // Inside the entry, after the record.
  std::function<void(EntryContext& entry)> after_record;
};

// The routine through the skeleton: the early source (a missing one: nothing happens), then each
// existing place with each of its stages.
void RunSkeleton(RoutineRun& run, const Hooks& hooks = {});
// One place in one stage, with the routine's open source (an empty handle for none). False ends
// the routine: a late-checked source is missing or cannot be opened.
bool MigrateTarget(RoutineRun& run, const Place& place, Database& source, size_t stage,
                   const Hooks& hooks = {});
// Visits the row's places whose file exists, in order, with each one's index among all the row's
// places; visit returns false to end the routine.
void ForEachPlace(RoutineRun& run, const std::function<bool(const Place&, size_t)>& visit);

// A step of the notation on one target. Pass-through: the caller's step-and-continue applies.
void ExecuteStep(RoutineRun& run, const Step& step, Database& source, Database& target,
                 VariantChooser& variants);

}  // namespace kr::routines
