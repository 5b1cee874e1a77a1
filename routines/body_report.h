// The report entries of the databases a hand-written body visits itself, outside the skeleton
// (which writes its own): the same outcomes, reasons and failed steps, so that the report shows
// every database a run looked at, whichever code looked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.h"
#include "routines/interpreter.h"

namespace kr::routines {

// The entry of one database while a body works on it. It begins as skipped ("nothing done");
// while it lives, every failure run.steps logs (the toolkit's beneath it too) goes into it with
// the current step, and the log lines name the database. Without a recorder it records nothing.
class BodyTarget {
 public:
  BodyTarget(RoutineRun& run, std::string_view path);
  ~BodyTarget();
  BodyTarget(const BodyTarget&) = delete;
  BodyTarget& operator=(const BodyTarget&) = delete;

  // The database whose statements the failures name, when one is open.
  void Watch(const Database& db);
  void Step(std::string_view step) { run_.steps.SetStep(step); }
  void Skipped(std::string reason);
  void Migrated(const std::optional<std::string>& backup);
  void Versions(std::optional<std::string> before, std::optional<std::string> after);
  void Tables(std::vector<report::TableCounts> tables);
  // The tables db's statements changed since it was opened, by their own counts.
  void Counts(const Database& db);
  // Not done, yet nothing to take up again: the database stays as it was.
  void Failed(std::string reason);
  // Runs work with its failures in the log only: work that fails by design (re-keying a database
  // that has the current password already) has no failed step. work must not throw.
  template <class F>
  void Unrecorded(F&& work) {
    listening_ = false;
    work();
    listening_ = true;
  }
  // Left as it was: RoutineRun::Unfinished, with its reasons.
  void Unfinished(std::string_view english_reason);

 private:
  RoutineRun& run_;
  std::string path_;
  report::Target* target_;
  const Database* watched_ = nullptr;
  int64_t statements_ = 0;
  bool listening_ = true;
  FailureScope scope_;
};

// A body that cannot start without source, as the skeleton treats its early source: every
// database of the routine's places that is there is skipped when the package lacks source, or
// left as it was (unfinished) when source is there but cannot be opened.
void NoSource(RoutineRun& run, std::string_view source);

// The version a database records ("2019,1,1"); nothing when it records none or cannot be read
// (the failure is logged and heard as any other).
std::optional<std::string> RecordedVersion(Database& db);
// The same of the database file at path, opened read-only for it.
std::optional<std::string> FileVersion(std::string_view path);

}  // namespace kr::routines
