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

bool RoutineRun::Backup(Database& target) {
  return steps.Value(false, [&] { return db::BackupAndReopen(context, target); });
}

namespace {

// The reasons Unfinished is given, as the report tells users.
constexpr std::pair<std::string_view, std::string_view> kUnfinishedReasons[] = {
    {"it cannot be opened", "データベースを開けませんでした"},
    {"a test of its data could not be read", "判定に必要なデータを読めませんでした"},
    {"its backup could not be made", "バックアップを作成できませんでした"},
    {"its migration was rolled back", "移行を完了できなかったため、元に戻しました"},
    {"the source cannot be opened", "パッケージのデータベースを開けませんでした"},
};

}  // namespace

void RoutineRun::Unfinished(std::string_view path, std::string_view reason) {
  std::string place = path.rfind(context.install_folder, 0) == 0
                          ? std::string(path.substr(context.install_folder.size()))
                          : std::string(path);
  LogLine(routine.name + ": " + place + ": left as it was (" + std::string(reason) + ")");
  context.unfinished.insert(std::string(path));
  if (report::Target* target = Recorded(path)) {
    target->outcome = report::TargetOutcome::kFailed;
    target->reason = "元のまま残しました";
    for (auto [english, japanese] : kUnfinishedReasons) {
      if (english == reason) target->reason = std::string(japanese) + "。元のまま残しました";
    }
  }
}

report::Target* RoutineRun::Recorded(std::string_view path) {
  report::Recorder* recorder = report::Current();
  return recorder != nullptr ? recorder->TargetOf(platform::NativePath(path)) : nullptr;
}

void RoutineRun::MissingTable(std::string_view table, bool in_source) {
  LogLine(steps.where() + (in_source ? "the source has no table " : "the database has no table ") +
          std::string(table) + "; step skipped");
  ++missing_tables;
  if (recording == nullptr) return;
  constexpr int32_t kTableNotFound = 3078;  // Jet's number for it
  std::string where = in_source ? "パッケージのデータベース" : "更新するデータベース";
  recording->failures.push_back(
      {steps.step(),
       "",
       {kTableNotFound, "テーブル '" + std::string(table) + "' が" + where + "にありません。"}});
}

bool RoutineRun::IsUnfinished(std::string_view path) const {
  return context.unfinished.count(std::string(path)) > 0;
}

void RoutineRun::Progress(std::string_view suffix) {
  ui.SetWaitLabel(1, caption + std::string(suffix));
  ui.PumpEvents();
}

namespace {

const std::string& TableOf(const Step& step) {
  return step.tables.empty() ? step.text : step.tables.front();
}

// The stretches [first, last] of a list from a table's K to its last C; stretches that overlap
// are joined, as one unit cannot be rolled back inside another.
std::vector<std::pair<size_t, size_t>> Units(const std::vector<Step>& list) {
  std::vector<std::pair<size_t, size_t>> units;
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].op != Op::kKeepOld) continue;
    std::string table = support::UpperCase(TableOf(list[i]));
    size_t last = i;
    for (size_t j = i + 1; j < list.size(); ++j) {
      if (list[j].op == Op::kCarryOver && support::UpperCase(TableOf(list[j])) == table) last = j;
    }
    if (!units.empty() && i <= units.back().second) {
      units.back().second = std::max(units.back().second, last);
    } else {
      units.emplace_back(i, last);
    }
  }
  return units;
}

}  // namespace

bool RoutineRun::InSavepoint(Database& target, const std::function<bool()>& work) {
  if (!steps.Step([&] { target.BeginTrans(); })) return false;
  if (!work()) {
    steps.Step([&] { target.Rollback(); });
    return false;
  }
  // A commit that fails has ended its level already: a rollback now would end the entry's.
  return steps.Step([&] { target.CommitTrans(); });
}

bool RoutineRun::RunSteps(const std::vector<Step>& list, Database& source, Database& target,
                          VariantChooser& variants) {
  auto one = [&](const Step& step) {
    assert((!step.gate || step.op == Op::kTest) && "only a test guards steps");
    steps.SetStep(step.written);
    statements_at_step = target.StatementsRun();
    bool done = true;
    if (step.op == Op::kTest) {
      std::optional<bool> holds;
      done = steps.Step([&] { holds = variants.Decide(step.text, step.arguments); });
      if (step.gate && holds.value_or(false)) {
        done = RunSteps(step.gated, source, target, variants) && done;
      }
    } else if (step.op == Op::kProgress) {
      done = steps.Step([&] { ExecuteStep(*this, step, source, target, variants); });
    } else {
      done = InSavepoint(target, [&] {
        return steps.Step([&] { ExecuteStep(*this, step, source, target, variants); });
      });
    }
    steps.SetStep("");
    return done;
  };
  bool all = true;
  std::vector<std::pair<size_t, size_t>> units = Units(list);
  size_t unit = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    if (unit < units.size() && units[unit].first == i) {
      // Plain variables: clang 14 cannot capture structured bindings.
      const size_t first = units[unit].first, last = units[unit].second;
      ++unit;
      bool whole = InSavepoint(target, [&] {
        bool each = true;
        for (size_t j = first; j <= last; ++j) {
          // An old table an interrupted run left holds the user's values: its K fails by design
          // and the C carries them back from it.
          bool left_over = list[j].op == Op::kKeepOld && steps.Value(false, [&] {
            return db::HasTable(target, TableOf(list[j]) + "Old");
          });
          each = (one(list[j]) || left_over) && each;
        }
        return each;
      });
      if (!whole) {
        std::string tables;
        for (size_t j = first; j <= last; ++j) {
          if (list[j].op == Op::kKeepOld) tables += " " + TableOf(list[j]);
        }
        LogLine(routine.name + ": " + steps.place() + ": a step of" + tables +
                " failed; they are kept as they were");
      }
      all = whole && all;
      i = last;
      continue;
    }
    all = one(list[i]) && all;
  }
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
                       const std::function<bool()>& body) {
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
  bool done = false;
  if (steps.Step([&] { done = body(); }) && done && steps.Step([&] { target.CommitTrans(); })) {
    return true;
  }
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

bool MigrateTarget(RoutineRun& run, const Place& place, Database& source, size_t index,
                   const Hooks& hooks) {
  const Routine& r = run.routine;
  if (run.IsUnfinished(place.path)) {
    LogLine(r.name + ": " + LogName(run, place.path) +
            ": left alone, as an earlier routine of this run could not finish it");
    if (report::Target* record = run.Recorded(place.path)) {
      record->outcome = report::TargetOutcome::kFailed;
      record->reason = "この実行の先のルーチンが更新できなかったため、元のまま残しました";
    }
    return true;
  }
  Stage stage = StageOf(r, index);
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
  bool go_on = true;
  VariantChooser variants(run.context, place.folder, target);
  Admission admission = Admission::kLeave;
  if (!target.IsOpen()) {
    if (platform::FileExists(place.path)) run.Unfinished(place.path, "it cannot be opened");
  } else {
    std::optional<std::string> version = VersionText(run, target);
    if (record != nullptr && !record->version_after) record->version_before = version;
    admission = Admit(run, target, place, stage, variants, hooks);
    if (admission == Admission::kUnanswered) {
      run.Unfinished(place.path, "a test of its data could not be read");
    } else if (admission == Admission::kGuarded) {
      Settle(record, report::TargetOutcome::kSkipped,
             "既に記録されています（" + version.value_or("版なし") + "）");
    } else if (admission == Admission::kLeave) {
      Settle(record, report::TargetOutcome::kSkipped, "このデータベースには当てはまりません");
    }
  }
  if (admission == Admission::kMigrate) {
    // No migration without a whole backup of the database as it was.
    run.steps.SetStep("backup");
    if (r.backup && !run.Backup(target)) {
      run.Close(target);
      target = Database();
      run.Unfinished(place.path, "its backup could not be made");
    } else if (r.backup && record != nullptr) {
      std::string backup = db::BackupPath(run.context, place.path);
      if (platform::FileExists(backup)) record->backup = platform::NativePath(backup);
    }
    run.steps.SetStep("");
    // A target the backup could not reopen is left alone (its steps could only fail); fixed
    // targets test their guard again after reopening.
    bool current = !target.IsOpen() || (r.backup && r.targets.selection == Selection::kFixed &&
                                        run.Skip(target, stage.guard));
    if (current && target.IsOpen()) {
      Settle(record, report::TargetOutcome::kSkipped,
             "既に記録されています（" + VersionText(run, target).value_or("版なし") + "）");
    }
    Database late;
    bool unreadable = false;
    if (!current && r.check == SourceCheck::kLate) {
      // A one-stage row needs every source it names; each stage of a two-stage row its own.
      bool present = !r.second_stage.empty() || SourcesPresent(run);
      if (present) late = OpenSource(run, stage.source);
      go_on = late.IsOpen();
      if (!present) {
        Settle(record, report::TargetOutcome::kSkipped,
               "パッケージに " + stage.source + " がありません");
      }
      unreadable = present && !go_on && platform::FileExists(run.PackageFile(stage.source));
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
        // A variant nobody could read may have chosen the wrong table: nothing of it is kept.
        if (variants.unanswered()) return false;
        WriteStageRecord(run, entry, hooks);
        if (hooks.after_record) hooks.after_record(entry);
        return true;
      });
      if (committed) {
        WriteMarkers(run, stage);
        size_t changed = record != nullptr ? record->tables.size() : 0;
        RecordCounts(record, target);
        bool nothing = record != nullptr && record->tables.size() == changed;
        if (record != nullptr) record->version_after = VersionText(run, target);
        if (nothing && run.missing_tables > 0) {
          Settle(record, report::TargetOutcome::kSkipped,
                 "パッケージのデータベースに必要なテーブルがありません");
        } else {
          Settle(record, report::TargetOutcome::kMigrated, "");
        }
      } else {
        run.Unfinished(place.path, variants.unanswered() ? "a test of its data could not be read"
                                                         : "its migration was rolled back");
      }
    } else if (unreadable) {
      run.Unfinished(place.path, "the source cannot be opened");
    }
    run.Close(late);
  }
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
