// The routine skeleton: source check, target selection, guard, backup, data steps, record.
#include "routines/interpreter.h"

#include <cassert>
#include <map>

#include "platform/platform.h"
#include "routines/notation.h"

namespace kr::routines {

RoutineRun::RoutineRun(const Routine& routine, RunContext& context, ui::Ui& ui,
                       std::string_view argument)
    : routine(routine),
      context(context),
      ui(ui),
      argument(argument),
      steps(routine.name),
      caption(ui.WaitLabel(1)) {}

std::string RoutineRun::PackageFile(std::string_view name) const {
  return context.package_folder + std::string(name);
}

std::string RoutineRun::InstallFile(std::string_view relative) const {
  return context.install_folder + std::string(relative);
}

bool RoutineRun::FileExists(std::string_view path) {
  return platform::Listed(path, platform::ListKind::kPlainFiles);
}

std::vector<Place> RoutineRun::Places() const {
  const Targets& targets = routine.targets;
  std::string files = InstallFile("File\\");
  std::vector<Place> places;
  switch (targets.selection) {
    case Selection::kFixed:
      for (const std::string& relative : targets.places) {
        std::string path = InstallFile(relative);
        std::string folder = support::GetParentPath(path);
        // Only the fiscal-year folders below File\ count as year folders.
        bool in_year = folder.size() > files.size() && folder.rfind(files, 0) == 0;
        places.push_back({path, in_year ? support::AddTrailingSeparator(folder) : std::string()});
      }
      break;
    case Selection::kYearFolderList:
      for (const std::string& name : targets.places) {
        places.push_back({files + name + "\\" + targets.file, files + name + "\\"});
      }
      break;
    case Selection::kEveryYearFolder:
      for (const std::string& sub : manifest::ListSubfolders(files)) {
        if (!sub.empty()) places.push_back({files + sub + targets.file, files + sub});
      }
      break;
    case Selection::kOwn:
      break;
  }
  return places;
}

Database RoutineRun::Open(std::string_view path) {
  Database db;
  steps.Step([&] { db = db::OpenAppDatabase(path); });
  return db;
}

void RoutineRun::Close(Database& db) {
  if (db.IsOpen()) steps.Step([&] { db.Close(); });
}

bool RoutineRun::Skip(Database& target, const Guard& guard) {
  if (guard.at_least && db::VersionAtLeast(target, *guard.at_least)) return true;
  if (!guard.with_any_tag.empty()) {
    bool any = false;
    for (const std::string& tag : guard.with_any_tag) any = any || db::CommentHasTag(target, tag);
    if (!any) return true;
  }
  if (!guard.comment_contains.empty() &&
      db::ReadVersionComment(target).find(guard.comment_contains) == std::string::npos) {
    return true;
  }
  return !guard.without_tag.empty() && db::CommentHasTag(target, guard.without_tag);
}

void RoutineRun::Backup(Database& target) {
  steps.Step([&] { db::BackupAndReopen(context, target); });
}

void RoutineRun::Progress(std::string_view suffix) {
  ui.SetWaitLabel(1, caption + std::string(suffix));
  ui.PumpEvents();
}

void RoutineRun::RunSteps(const std::vector<Step>& list, Database& source, Database& target,
                          VariantChooser& variants) {
  for (const Step& step : list) {
    if (step.op == Op::kTest) {
      bool holds = steps.Value(false, [&] { return variants.Decide(step.text, step.arguments); });
      if (step.gate && holds) RunSteps(step.gated, source, target, variants);
      continue;
    }
    steps.Step([&] { ExecuteStep(*this, step, source, target, variants); });
  }
}

void RoutineRun::WriteRecord(const std::vector<Record>& record, Database& source,
                             Database& target) {
  for (const Record& r : record) {
    switch (r.kind) {
      case RecordKind::kStamp:
        if (auto tuple = db::VersionTuple::Parse(r.text)) {
          steps.Call([&] { db::WriteVersion(target, *tuple, r.comment); });
        }
        break;
      case RecordKind::kCopy:
        steps.Call([&] { db::CopyVersion(source, target); });
        break;
      case RecordKind::kVersionRows:
        steps.Call([&] { db::TransferRows(source, target, "Version", "", ""); });
        break;
      case RecordKind::kTag:
        steps.Call([&] { db::SetVersionComment(target, r.text, true); });
        break;
      case RecordKind::kComment:
        steps.Call([&] { db::SetVersionComment(target, r.text, false); });
        break;
      case RecordKind::kSetVer:
        steps.Step([&] {
          db::Recordset rs = target.OpenRecordset("Version");
          rs.Edit();
          rs["Ver"].SetValue(db::Value(r.text));
          rs.Update();
          rs.Close();
        });
        break;
      case RecordKind::kMarker:
        break;  // written by the hand-written bodies that have one
    }
  }
}

void RoutineRun::Entry(Database& target, std::initializer_list<const Database*> sources,
                       const std::function<void()>& body) {
  if (!target.IsOpen()) {
    body();  // every step on the empty handle fails in turn, and nothing is recorded
    return;
  }
  // A disk that fails while the sources are attached leaves the steps without their data, and
  // the record would then stamp a database that never got it: such an entry does nothing.
  int64_t disk_failures = target.DiskFailures();
  for (const Database* source : sources) {
    if (source != nullptr && source->IsOpen()) {
      steps.Step([&] { target.AttachAhead(source->Name()); });
    }
  }
  if (!steps.Step([&] { target.BeginTrans(); })) return;
  if (target.DiskFailures() != disk_failures) {
    LogLine(routine.name + ": the disk failed before " + target.Name() +
            " was migrated; left as it was");
    steps.Step([&] { target.Rollback(); });
    return;
  }
  try {
    body();
  } catch (...) {
    steps.Step([&] { target.Rollback(); });
    throw;
  }
  if (!steps.Step([&] { target.CommitTrans(); })) steps.Step([&] { target.Rollback(); });
}

namespace {

bool SourcesPresent(RoutineRun& run) {
  for (const std::string& name : run.routine.sources) {
    if (!RoutineRun::FileExists(run.PackageFile(name))) return false;
  }
  return true;
}

// A source that exists but cannot be opened counts as missing: migrating without its data and
// then recording the release would keep the database from ever receiving it.
bool OpenSource(RoutineRun& run, Database& source) {
  if (run.routine.sources.empty()) return true;
  source = run.Open(run.PackageFile(run.routine.sources.front()));
  if (!source.IsOpen()) LogLine(run.routine.name + ": the source cannot be opened; stopped");
  return source.IsOpen();
}

// One target: guard, backup, late source check, steps, record. False: the routine ends.
bool Migrate(RoutineRun& run, const Place& place, Database& source) {
  const Routine& r = run.routine;
  Database target = run.Open(place.path);
  if (!target.IsOpen()) return true;
  VariantChooser variants(run.context, place.folder, target);
  for (const Step& test : r.condition) {
    if (!variants.Decide(test.text, test.arguments)) {
      run.Close(target);
      return true;
    }
  }
  const Guard no_guard;
  const Guard& guard = r.guards.empty() ? no_guard : r.guards.front();
  if (run.Skip(target, guard)) {
    run.Close(target);
    return true;
  }
  if (r.backup) {
    run.Backup(target);
    // Fixed targets test their guard again after reopening.
    if (r.targets.selection == Selection::kFixed && run.Skip(target, guard)) {
      run.Close(target);
      return true;
    }
  }
  if (r.check == SourceCheck::kLate) {
    if (!SourcesPresent(run) || !OpenSource(run, source)) {
      run.Close(target);
      return false;
    }
  }
  run.Entry(target, {&source}, [&] {
    run.RunSteps(r.steps, source, target, variants);
    run.WriteRecord(r.record, source, target);
  });
  if (r.check == SourceCheck::kLate) run.Close(source);
  run.Close(target);
  return true;
}

}  // namespace

void ForEachPlace(RoutineRun& run, const std::function<bool(const Place&)>& visit) {
  for (const Place& place : run.Places()) {
    if (!RoutineRun::FileExists(place.path)) continue;
    if (!visit(place)) break;
  }
}

void ForEachTarget(RoutineRun& run,
                   const std::function<bool(Database& target, const Place& place)>& visit) {
  ForEachPlace(run, [&](const Place& place) {
    Database target = run.Open(place.path);
    if (!target.IsOpen()) return true;
    bool go_on = visit(target, place);
    run.Close(target);
    return go_on;
  });
}

void ForEachGuardedTarget(
    RoutineRun& run, std::initializer_list<const Database*> sources,
    const std::function<void(Database& target, VariantChooser& variants)>& work) {
  const Guard no_guard;
  const Guard& guard = run.routine.guards.empty() ? no_guard : run.routine.guards.front();
  ForEachTarget(run, [&](Database& target, const Place& place) {
    if (run.Skip(target, guard)) return true;
    run.Backup(target);
    VariantChooser variants(run.context, place.folder, target);
    run.Entry(target, sources, [&] { work(target, variants); });
    return true;
  });
}

Database OpenSourceEarly(RoutineRun& run) {
  Database source;
  if (SourcesPresent(run)) OpenSource(run, source);
  return source;
}

// Steps written in the notation inside a body; parsed once.
std::string Quoted(std::string_view text) {
  return "'" + support::ReplaceAll(text, "'", "''") + "'";
}

const std::vector<Step>& ParsedSteps(std::string_view text) {
  static std::map<std::string, std::vector<Step>, std::less<>> cache;
  auto found = cache.find(text);
  if (found != cache.end()) return found->second;
  std::string error;
  std::optional<std::vector<Step>> steps = notation::ParseSteps(text, error);
  assert(steps && "a body's steps do not parse");
  if (!steps) LogLine("routine steps left out: " + error);
  return cache.emplace(std::string(text), steps.value_or(std::vector<Step>{})).first->second;
}

void RunDescribed(RoutineRun& run) {
  const Routine& r = run.routine;
  Database source;
  if (r.check == SourceCheck::kEarly) {
    source = OpenSourceEarly(run);
    if (!source.IsOpen()) return;
  }
  ForEachPlace(run, [&](const Place& place) { return Migrate(run, place, source); });
  run.Close(source);
}

}  // namespace kr::routines
