// The one routine skeleton: per target open, condition, guard, backup, late source, entry and
// record, with the hooks of hand-written bodies.
#include <algorithm>
#include <cassert>

#include "platform/platform.h"
#include "routines/interpreter.h"

namespace kr::routines {

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

std::string MissingSources(RoutineRun& run) {
  std::string names;
  for (const std::string& name : run.routine.sources) {
    if (platform::FileExists(run.PackageFile(name))) continue;
    names += (names.empty() ? "" : "、") + name;
  }
  return names;
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

// Why the skeleton leaves a target alone: the row's condition, the stage's guard or the body's
// own condition said so (kLeave), or a test of the condition could not be read (kUnanswered).
// kGuarded: the stage's guard found its release recorded already.
enum class Admission { kMigrate, kLeave, kGuarded, kUnanswered };

Admission Admit(RoutineRun& run, Database& target, const Place& place, const Stage& stage,
                VariantChooser& variants, const Hooks& hooks) {
  for (const Step& test : run.routine.condition) {
    std::optional<bool> holds;
    run.steps.SetStep(test.written);
    run.steps.Step([&] { holds = variants.Decide(test.text, test.arguments); });
    run.steps.SetStep("");
    if (!holds) return Admission::kUnanswered;
    if (!*holds) return Admission::kLeave;
  }
  if (run.Skip(target, stage.guard)) return Admission::kGuarded;
  if (!hooks.admit) return Admission::kMigrate;
  bool admitted = false;
  if (!run.steps.Step([&] { admitted = hooks.admit(target, place); }))
    return Admission::kUnanswered;
  return admitted ? Admission::kMigrate : Admission::kLeave;
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

std::optional<std::string> VersionText(RoutineRun& run, Database& db) {
  std::optional<db::VersionTuple> version =
      run.steps.Value(std::optional<db::VersionTuple>(), [&] { return db::ReadVersion(db); });
  if (!version) return std::nullopt;
  return version->Text();
}

// A stage's outcome on the report's entry: a failure stands, a migration outranks a skip (a
// two-stage row reports each database once).
void Settle(report::Target* target, report::TargetOutcome outcome, std::string reason) {
  using report::TargetOutcome;
  if (target == nullptr || target->outcome == TargetOutcome::kFailed) return;
  if (outcome == TargetOutcome::kSkipped && target->outcome == TargetOutcome::kMigrated) return;
  target->outcome = outcome;
  target->reason = outcome == TargetOutcome::kMigrated ? std::string() : std::move(reason);
}

// The tables a committed entry changed, by the statements' counts; work tables it dropped again
// (a table's old copy) are left out.
void RecordCounts(report::Target* target, Database& db) {
  if (target == nullptr) return;
  for (const db::engine::Database::TableChanges& changed : db.ChangeCounts()) {
    if (!db::HasTable(db, changed.table)) continue;
    auto it = std::find_if(target->tables.begin(), target->tables.end(),
                           [&](const report::TableCounts& t) { return t.name == changed.table; });
    if (it == target->tables.end()) {
      it = target->tables.insert(target->tables.end(), report::TableCounts{changed.table});
    }
    it->inserted += changed.inserted;
    it->updated += changed.updated;
    it->deleted += changed.deleted;
  }
}

// Every failure the steps on one target log, this skeleton's and the toolkit's beneath it, goes
// into its report entry with the statement the target failed on.
FailureScope::Listener FailureRecorder(RoutineRun& run, report::Target* target,
                                       const Database& db) {
  return [&run, target, &db](const Failure& failure) {
    if (target == nullptr) return;
    // A statement run before the step began is none of its business.
    bool ran = db.IsOpen() && db.StatementsRun() > run.statements_at_step;
    target->failures.push_back({run.steps.step(),
                                ran ? db.LastStatement() : std::string(),
                                {failure.number(), failure.description()}});
  };
}

}  // namespace

namespace {

// One target on its way through the skeleton.
struct Visit {
  RoutineRun& run;
  const Place& place;
  const Stage& stage;
  const Hooks& hooks;
  report::Target* record;
  Database& target;
  VariantChooser& variants;
};

// A place an earlier routine of this run could not finish stays as it is.
bool LeftByEarlier(RoutineRun& run, const Place& place) {
  if (!run.IsUnfinished(place.path)) return false;
  LogLine(run.routine.name + ": " + LogName(run, place.path) +
          ": left alone, as an earlier routine of this run could not finish it");
  if (report::Target* record = run.Recorded(place.path)) {
    record->outcome = report::TargetOutcome::kFailed;
    record->reason = "この実行の先のルーチンが更新できなかったため、元のまま残しました";
  }
  return true;
}

// Whether the opened target is to be migrated; the report says why not.
Admission Inspect(Visit& v) {
  if (!v.target.IsOpen()) {
    if (platform::FileExists(v.place.path)) v.run.Unfinished(v.place.path, "it cannot be opened");
    return Admission::kLeave;
  }
  std::optional<std::string> version = VersionText(v.run, v.target);
  if (v.record != nullptr && !v.record->version_after) v.record->version_before = version;
  Admission admission = Admit(v.run, v.target, v.place, v.stage, v.variants, v.hooks);
  if (admission == Admission::kUnanswered) {
    v.run.Unfinished(v.place.path, "a test of its data could not be read");
  } else if (admission == Admission::kGuarded) {
    Settle(v.record, report::TargetOutcome::kSkipped,
           "既に記録されています（" + version.value_or("版なし") + "）");
  } else if (admission == Admission::kLeave) {
    Settle(v.record, report::TargetOutcome::kSkipped, "このデータベースには当てはまりません");
  }
  return admission;
}

// The backup; true when the target is still to be migrated after it.
bool BackUp(Visit& v) {
  const Routine& r = v.run.routine;
  // No migration without a whole backup of the database as it was.
  v.run.steps.SetStep("backup");
  if (r.backup && !v.run.Backup(v.target)) {
    v.run.Close(v.target);
    v.target = Database();
    v.run.Unfinished(v.place.path, "its backup could not be made");
  } else if (r.backup && v.record != nullptr) {
    std::string backup = db::BackupPath(v.run.context, v.place.path);
    if (platform::FileExists(backup)) v.record->backup = platform::NativePath(backup);
  }
  v.run.steps.SetStep("");
  // A target the backup could not reopen is left alone (its steps could only fail); fixed
  // targets test their guard again after reopening.
  bool current = !v.target.IsOpen() || (r.backup && r.targets.selection == Selection::kFixed &&
                                        v.run.Skip(v.target, v.stage.guard));
  if (current && v.target.IsOpen()) {
    Settle(v.record, report::TargetOutcome::kSkipped,
           "既に記録されています（" + VersionText(v.run, v.target).value_or("版なし") + "）");
  }
  return !current;
}

// The entry: data steps, record and what follows it as one transaction; the report says what
// it changed.
void RunEntry(Visit& v, Database& from) {
  RoutineRun& run = v.run;
  const Hooks& hooks = v.hooks;
  EntryContext entry{v.target, from, v.variants, v.place, v.stage};
  std::vector<const Database*> sources = {&from};
  sources.insert(sources.end(), hooks.more_sources.begin(), hooks.more_sources.end());
  bool committed = run.Entry(v.target, sources, [&] {
    if (hooks.work) {
      hooks.work(entry);
    } else {
      run.RunSteps(*v.stage.steps, from, v.target, v.variants);
    }
    // A variant nobody could read may have chosen the wrong table: nothing of it is kept.
    if (v.variants.unanswered()) return false;
    WriteStageRecord(run, entry, hooks);
    if (hooks.after_record) hooks.after_record(entry);
    return true;
  });
  if (!committed) {
    run.Unfinished(v.place.path, v.variants.unanswered() ? "a test of its data could not be read"
                                                         : "its migration was rolled back");
    return;
  }
  WriteMarkers(run, v.stage);
  report::Target* record = v.record;
  size_t changed = record != nullptr ? record->tables.size() : 0;
  RecordCounts(record, v.target);
  bool nothing = record != nullptr && record->tables.size() == changed;
  if (record != nullptr) record->version_after = VersionText(run, v.target);
  if (nothing && run.missing_tables > 0) {
    Settle(record, report::TargetOutcome::kSkipped,
           "パッケージのデータベースに必要なテーブルがありません");
  } else {
    Settle(record, report::TargetOutcome::kMigrated, "");
  }
}

// Backup, late source and entry of an admitted target; false when the late source is missing
// or cannot be opened.
bool Migrate(Visit& v, Database& source) {
  RoutineRun& run = v.run;
  const Routine& r = run.routine;
  if (!BackUp(v)) return true;
  Database late;
  bool go_on = true;
  bool unreadable = false;
  if (r.check == SourceCheck::kLate) {
    // A one-stage row needs every source it names; each stage of a two-stage row its own.
    bool present = !r.second_stage.empty() || SourcesPresent(run);
    if (present) late = OpenSource(run, v.stage.source);
    go_on = late.IsOpen();
    if (!present) {
      Settle(v.record, report::TargetOutcome::kSkipped,
             "パッケージに " + v.stage.source + " がありません");
    }
    unreadable = present && !go_on && platform::FileExists(run.PackageFile(v.stage.source));
  }
  Database& from = r.check == SourceCheck::kLate ? late : source;
  if (go_on) {
    RunEntry(v, from);
  } else if (unreadable) {
    run.Unfinished(v.place.path, "the source cannot be opened");
  }
  run.Close(late);
  return go_on;
}

}  // namespace

bool MigrateTarget(RoutineRun& run, const Place& place, Database& source, size_t index,
                   const Hooks& hooks) {
  if (LeftByEarlier(run, place)) return true;
  Stage stage = StageOf(run.routine, index);
  run.steps.SetPlace(LogName(run, place.path));
  report::Target* record = run.Recorded(place.path);
  run.recording = record;
  run.missing_tables = 0;
  Database target;
  FailureScope scope(run.steps, FailureRecorder(run, record, target));
  run.steps.SetStep("open");
  target = run.OpenIfPresent(place.path);
  run.steps.SetStep("");
  run.statements_at_step = target.StatementsRun();
  VariantChooser variants(run.context, place.folder, target);
  Visit visit{run, place, stage, hooks, record, target, variants};
  bool go_on = Inspect(visit) != Admission::kMigrate || Migrate(visit, source);
  run.Close(target);
  run.steps.SetPlace("");
  run.recording = nullptr;
  return go_on;
}

void ForEachPlace(RoutineRun& run, const std::function<bool(const Place&, size_t)>& visit) {
  std::vector<Place> places = run.Places();
  for (size_t i = 0; i < places.size(); ++i) {
    if (!platform::FileExists(places[i].path)) continue;
    bool more = visit(places[i], i);
    manifest::AdvanceProgress(run.context, run.ui);
    if (!more) break;
  }
}

void RunSkeleton(RoutineRun& run, const Hooks& hooks) {
  const Routine& r = run.routine;
  Database early;
  bool stopped = false;
  if (hooks.source == nullptr && r.check == SourceCheck::kEarly) {
    if (!SourcesPresent(run)) {
      // Nothing happens; the report says why for each database that was there.
      for (const Place& place : run.Places()) {
        if (!platform::FileExists(place.path)) continue;
        if (report::Target* record = run.Recorded(place.path)) {
          record->outcome = report::TargetOutcome::kSkipped;
          record->reason = "パッケージに " + MissingSources(run) + " がありません";
        }
      }
      return;
    }
    early = OpenSource(run, r.sources.front());
    stopped = !early.IsOpen();
  }
  Database& source = hooks.source != nullptr ? *hooks.source : early;
  size_t last_stage = r.second_stage.empty() ? 0 : 1;
  ForEachPlace(run, [&](const Place& place, size_t index) {
    // The places a stopped routine did not reach are no more migrated than the one it stopped at.
    if (stopped) {
      if (!run.IsUnfinished(place.path)) run.Unfinished(place.path, "the source cannot be opened");
      return true;
    }
    // A paired row's target keeps its own guard and record when an earlier one is missing.
    size_t first = Paired(r) ? index : 0;
    for (size_t stage = first; stage <= std::max(first, last_stage); ++stage) {
      if (!MigrateTarget(run, place, source, stage, hooks)) {
        // A missing source ends the routine by design; one that cannot be read leaves the rest.
        stopped = run.IsUnfinished(place.path);
        return stopped;
      }
    }
    return true;
  });
  run.Close(early);
}

}  // namespace kr::routines
