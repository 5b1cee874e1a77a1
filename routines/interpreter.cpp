// The services of a running routine: places, opening and closing, guard, backup, data steps in
// savepoints, the record and the entry's transaction.
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

}  // namespace kr::routines
