// The skeleton every routine shares, as one interpreter over a catalogue row, and the pieces of
// it that hand-written bodies reuse. Internal to routines/.
//
// Regime: step-and-continue throughout. Every step runs through RoutineRun::steps; a failing
// step is logged and skipped, and nothing escapes a routine.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.h"
#include "routines/routines.h"
#include "routines/variants.h"

namespace kr::routines {

using db::Database;

// One database a routine visits.
struct Place {
  std::string path;    // the database file, an updater path
  std::string folder;  // its year folder with "\" ("" when it lies outside one)
};

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
  static bool FileExists(std::string_view path);

  // The places of the row's targets, in order (only those whose file exists are visited).
  std::vector<Place> Places() const;
  // Opens an application database as a step; an empty handle when it fails.
  Database Open(std::string_view path);
  void Close(Database& db);
  // The row's guards and condition for a database (true: leave it alone).
  bool Skip(Database& target, const Guard& guard);
  // The backup and reopen of the row's skeleton.
  void Backup(Database& target);
  // The data steps on one target, then the record.
  void RunSteps(const std::vector<Step>& steps, Database& source, Database& target,
                VariantChooser& variants);
  void WriteRecord(const std::vector<Record>& record, Database& source, Database& target);
  // Runs body (a target's data steps through its record) as one transaction of target, so that
  // a run killed midway leaves the database as it was and the next run migrates it whole. The
  // sources the steps link to are attached first: SQLite attaches only outside transactions.
  // A commit that fails (disk full) leaves the database as it was, the failure pending; so does
  // a disk that fails before the transaction begins (body does not run then).
  void Entry(Database& target, std::initializer_list<const Database*> sources,
             const std::function<void()>& body);
  // The progress caption followed by suffix, with the user interface's events processed.
  void Progress(std::string_view suffix);
};

// Visits the row's places whose file exists, in order; visit returns false to end the routine.
void ForEachPlace(RoutineRun& run, const std::function<bool(const Place&)>& visit);
// Each existing place of the row, opened (one that cannot be opened is skipped) and closed after
// visit; visit returns false to end the routine.
void ForEachTarget(RoutineRun& run,
                   const std::function<bool(Database& target, const Place& place)>& visit);
// Each target the row's first guard does not skip: backed up, then handed to work, which runs
// as the target's entry (RoutineRun::Entry) with sources attached.
void ForEachGuardedTarget(
    RoutineRun& run, std::initializer_list<const Database*> sources,
    const std::function<void(Database& target, VariantChooser& variants)>& work);
// Opens the row's first source when every source exists: the early check. An empty handle
// when one is missing or it cannot be opened (then the routine does nothing).
Database OpenSourceEarly(RoutineRun& run);

// A Jet text literal: the text in apostrophes, those inside it doubled.
std::string Quoted(std::string_view text);

// Steps a body writes in the notation; parsed once (a text that does not parse: no steps).
const std::vector<Step>& ParsedSteps(std::string_view text);

// The interpreter: runs a row that has no hand-written body.
void RunDescribed(RoutineRun& run);

// A step of the notation on one target. Pass-through: the caller's step-and-continue applies.
void ExecuteStep(RoutineRun& run, const Step& step, Database& source, Database& target,
                 VariantChooser& variants);

}  // namespace kr::routines
