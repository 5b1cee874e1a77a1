// The one routine skeleton: source check, target selection, guard, backup, data steps, record.
#include "routines/interpreter.h"

#include <algorithm>
#include <cassert>

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

Database RoutineRun::OpenIfPresent(std::string_view path) {
  return platform::FileExists(path) ? Open(path) : Database();
}

void RoutineRun::Close(Database& db) {
  if (db.IsOpen()) steps.Step([&] { db.Close(); });
}

bool RoutineRun::Skip(Database& target, const Guard* stage_guard) {
  if (stage_guard == nullptr) return false;
  const Guard& guard = *stage_guard;
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

bool RoutineRun::RunSteps(const std::vector<Step>& list, Database& source, Database& target,
                          VariantChooser& variants) {
  bool all = true;
  for (const Step& step : list) {
    assert((!step.gate || step.op == Op::kTest) && "only a test guards steps");
    steps.SetStep(step.written);
    if (step.op == Op::kTest) {
      std::optional<bool> holds;
      all = steps.Step([&] { holds = variants.Decide(step.text, step.arguments); }) && all;
      if (step.gate && holds.value_or(false)) {
        all = RunSteps(step.gated, source, target, variants) && all;
      }
      continue;
    }
    all = steps.Step([&] { ExecuteStep(*this, step, source, target, variants); }) && all;
  }
  steps.SetStep("");
  return all;
}

void RoutineRun::WriteRecord(const std::vector<Record>& record, Database& source,
                             Database& target) {
  for (const Record& r : record) {
    switch (r.kind) {
      case RecordKind::kStamp: {
        std::optional<db::VersionTuple> tuple = db::VersionTuple::Parse(r.text);
        assert(tuple && "stamps are checked when the catalogue is built");
        if (tuple) steps.Call([&] { db::WriteVersion(target, *tuple, r.comment); });
        break;
      }
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

bool RoutineRun::Entry(Database& target, const std::vector<const Database*>& sources,
                       const std::function<void()>& body) {
  assert(target.IsOpen() && "the skeleton opens a target before its entry");
  if (!target.IsOpen()) return false;
  // A disk that fails while the sources are attached leaves the steps without their data, and
  // the record would then stamp a database that never got it: such an entry does nothing.
  int64_t disk_failures = target.DiskFailures();
  for (const Database* source : sources) {
    if (source != nullptr && source->IsOpen()) {
      steps.Step([&] { target.AttachAhead(source->Name()); });
    }
  }
  if (!steps.Step([&] { target.BeginTrans(); })) return false;
  if (target.DiskFailures() != disk_failures) {
    LogLine(routine.name + ": the disk failed before " + target.Name() +
            " was migrated; left as it was");
    steps.Step([&] { target.Rollback(); });
    return false;
  }
  try {
    body();
  } catch (...) {
    steps.Step([&] { target.Rollback(); });
    throw;
  }
  if (steps.Step([&] { target.CommitTrans(); })) return true;
  steps.Step([&] { target.Rollback(); });
  return false;
}

bool Paired(const Routine& r) {
  return r.second_stage.empty() && r.guards.size() > 1 && r.record.size() == r.guards.size();
}

Stage StageOf(const Routine& r, size_t index) {
  Stage stage;
  bool two_stages = !r.second_stage.empty();
  bool paired = Paired(r);
  if (!r.guards.empty()) stage.guard = &r.guards[std::min(index, r.guards.size() - 1)];
  if (paired) {
    stage.record = {r.record[std::min(index, r.record.size() - 1)]};
  } else {
    stage.record = r.record;
  }
  assert((!two_stages || index < 2) && "a two-stage row has two stages");
  stage.steps = two_stages && index == 1 ? &r.second_stage : &r.steps;
  if (!r.sources.empty()) {
    stage.source = r.sources[two_stages ? std::min(index, r.sources.size() - 1) : 0];
  }
  return stage;
}

namespace {

bool SourcesPresent(RoutineRun& run) {
  for (const std::string& name : run.routine.sources) {
    if (!platform::FileExists(run.PackageFile(name))) return false;
  }
  return true;
}

// A source that exists but cannot be opened counts as missing: migrating without its data and
// then recording the release would keep the database from ever receiving it.
Database OpenSource(RoutineRun& run, std::string_view name) {
  Database source = run.OpenIfPresent(run.PackageFile(name));
  if (!source.IsOpen())
    LogLine(run.routine.name + ": the source " + std::string(name) +
            " is missing or cannot be opened; stopped");
  return source;
}

// A target the skeleton leaves alone: the row's condition, the stage's guard, the body's own
// condition.
bool LeftAlone(RoutineRun& run, Database& target, const Place& place, const Stage& stage,
               VariantChooser& variants, const Hooks& hooks) {
  for (const Step& test : run.routine.condition) {
    if (!variants.Decide(test.text, test.arguments)) return true;
  }
  if (run.Skip(target, stage.guard)) return true;
  return hooks.admit && !hooks.admit(target, place);
}

void WriteStageRecord(RoutineRun& run, EntryContext& entry, const Hooks& hooks) {
  std::vector<Record> items;
  for (const Record& item : entry.stage.record) {
    std::optional<Record> chosen = hooks.record ? hooks.record(item, entry) : item;
    if (chosen) items.push_back(*chosen);
  }
  run.WriteRecord(items, entry.source, entry.target);
}

// A marker file of the package copied into the install folder once an entry that records it
// was committed; one already there stays.
void WriteMarkers(RoutineRun& run, const Stage& stage) {
  for (const Record& item : stage.record) {
    if (item.kind != RecordKind::kMarker) continue;
    std::string from = run.PackageFile(item.text), to = run.InstallFile(item.text);
    if (!platform::FileExists(from) || platform::FileExists(to)) continue;
    run.steps.Step([&] { platform::CopyFile(from, to); });
  }
}

// A place's name in the log: below the install folder where it lies there.
std::string LogName(const RoutineRun& run, const std::string& path) {
  const std::string& install = run.context.install_folder;
  return path.rfind(install, 0) == 0 ? path.substr(install.size()) : path;
}

}  // namespace

bool MigrateTarget(RoutineRun& run, const Place& place, Database& source, size_t index,
                   const Hooks& hooks) {
  const Routine& r = run.routine;
  Stage stage = StageOf(r, index);
  run.steps.SetPlace(LogName(run, place.path));
  Database target = run.OpenIfPresent(place.path);
  bool go_on = true;
  VariantChooser variants(run.context, place.folder, target);
  if (target.IsOpen() && !LeftAlone(run, target, place, stage, variants, hooks)) {
    if (r.backup) run.Backup(target);
    // A target the backup could not reopen is left alone (its steps could only fail); fixed
    // targets test their guard again after reopening.
    bool current = !target.IsOpen() || (r.backup && r.targets.selection == Selection::kFixed &&
                                        run.Skip(target, stage.guard));
    Database late;
    if (!current && r.check == SourceCheck::kLate) {
      // A one-stage row needs every source it names; each stage of a two-stage row its own.
      bool present = !r.second_stage.empty() || SourcesPresent(run);
      if (present) late = OpenSource(run, stage.source);
      go_on = late.IsOpen();
    }
    Database& from = r.check == SourceCheck::kLate ? late : source;
    if (!current && go_on) {
      EntryContext entry{target, from, variants, place, stage};
      std::vector<const Database*> sources = {&from};
      sources.insert(sources.end(), hooks.more_sources.begin(), hooks.more_sources.end());
      bool committed = run.Entry(target, sources, [&] {
        if (hooks.work) {
          hooks.work(entry);
        } else {
          run.RunSteps(*stage.steps, from, target, variants);
        }
        WriteStageRecord(run, entry, hooks);
        if (hooks.after_record) hooks.after_record(entry);
      });
      if (committed) WriteMarkers(run, stage);
    }
    run.Close(late);
  }
  run.Close(target);
  run.steps.SetPlace("");
  return go_on;
}

void ForEachPlace(RoutineRun& run, const std::function<bool(const Place&, size_t)>& visit) {
  std::vector<Place> places = run.Places();
  for (size_t i = 0; i < places.size(); ++i) {
    if (!platform::FileExists(places[i].path)) continue;
    if (!visit(places[i], i)) break;
  }
}

void RunSkeleton(RoutineRun& run, const Hooks& hooks) {
  const Routine& r = run.routine;
  Database early;
  if (hooks.source == nullptr && r.check == SourceCheck::kEarly) {
    if (!SourcesPresent(run)) return;
    early = OpenSource(run, r.sources.front());
    if (!early.IsOpen()) return;
  }
  Database& source = hooks.source != nullptr ? *hooks.source : early;
  size_t last_stage = r.second_stage.empty() ? 0 : 1;
  ForEachPlace(run, [&](const Place& place, size_t index) {
    // A paired row's target keeps its own guard and record when an earlier one is missing.
    size_t first = Paired(r) ? index : 0;
    for (size_t stage = first; stage <= std::max(first, last_stage); ++stage) {
      if (!MigrateTarget(run, place, source, stage, hooks)) return false;
    }
    return true;
  });
  run.Close(early);
}

}  // namespace kr::routines
