// Hand-written routines of 2019: variants read from the Version comment, two settings targets
// with their own guards, and the October 2019 database replacement.
#include <algorithm>
#include <cstdio>

#include "platform/platform.h"
#include "routines/body_report.h"
#include "routines/catalogue.h"
#include "routines/interpreter.h"

namespace kr::routines {

namespace {

bool Contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

// The comment marks the July 2019 release left: which disaster table a folder receives.
void TransferMarked(RoutineRun& run, Database& source, Database& target, const std::string& comment,
                    const std::string& table) {
  std::string chosen;
  if (Contains(comment, "201907_造園+被災,") || Contains(comment, "201907_土木+被災,")) {
    chosen = table + "_Hisai";
  } else if (Contains(comment, "201907_造園+被災熊本,") ||
             Contains(comment, "201907_土木+被災熊本,")) {
    chosen = table + "_HisaiK";
  }
  if (!chosen.empty()) {
    run.steps.Call([&] { db::TransferRows(source, target, chosen + "," + table, "", ""); });
  }
}

std::string Today() {
  platform::LocalTime now = platform::CurrentEnv().Now();
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", now.year, now.month, now.day);
  return text;
}

}  // namespace

// Two sources: only the first is required. The Hiroshima part runs after the stamp from the
// second, and its comment is written only where that data arrived.
void Update2019ValR0108(RoutineRun& run) {
  const Routine& r = run.routine;
  Database source = run.OpenIfPresent(run.PackageFile(r.sources[0]));
  if (!source.IsOpen()) return NoSource(run, r.sources[0]);
  Database hiroshima = run.OpenIfPresent(run.PackageFile(r.sources[1]));
  Hooks hooks;
  hooks.source = &source;
  hooks.more_sources = {&hiroshima};
  hooks.work = [&](EntryContext& e) {
    std::string comment = db::ReadVersionComment(e.target) + ",";
    TransferMarked(run, e.source, e.target, comment, "Val_IndExplain");
    run.RunSteps(r.steps, e.source, e.target, e.variants);
    TransferMarked(run, e.source, e.target, comment, "Val810_Ind");
  };
  hooks.after_record = [&](EntryContext& e) {
    if (!e.variants.Decide("HasHiroshimaDistrict")) return;
    if (!hiroshima.IsOpen() || !run.RunSteps(r.extra_steps, hiroshima, e.target, e.variants)) {
      LogLine(r.name + ": " + e.place.path +
              ": the Hiroshima data did not all arrive; its comment is not written");
      return;
    }
    run.steps.Step([&] {
      db::SetVersionComment(
          e.target,
          e.variants.Decide("EnvironFlag60") ? "201907_土木+被災広島" : "201907_造園+被災広島",
          false);
    });
  };
  RunSkeleton(run, hooks);
  run.Close(hiroshima);
  run.Close(source);
}

void Update2019ExpR0108(RoutineRun& run) {
  Hooks hooks;
  hooks.work = [&](EntryContext& e) {
    Database& source = e.source;
    Database& target = e.target;
    std::string mark = "201907_標準";
    if (e.variants.Decide("HasKumamotoDistrict")) {
      run.steps.Step([&] { target.Execute("DELETE FROM Expenses WHERE Big=1"); });
      run.steps.Call(
          [&] { db::TransferRows(source, target, "Expenses_HisaiK,Expenses", "", "Big,Mdl,Sml"); });
      mark = "201907_標準+被災熊本";
    } else if (e.variants.Decide("HasHiroshimaDistrict")) {
      run.steps.Call(
          [&] { db::TransferRows(source, target, "Expenses_HisaiH,Expenses", "", "Big,Mdl,Sml"); });
      mark = "201907_標準+被災広島";
    }
    run.steps.Step([&] { db::SetVersionComment(target, mark, false); });
    run.steps.Call([&] { db::TransferRows(source, target, "Expenses", "", "Big,Mdl,Sml"); });
    run.steps.Call([&] { db::TransferRows(source, target, "ExpOption", "", "Big,Mdl"); });
  };
  RunSkeleton(run, hooks);
}

// The October 2019 edition replaces the 2019 databases whole; the application's own carry-over
// program then moves the user's data from the dated ".old" copies into them.
//
// The installed file is copied to its backup, then replaced whole, so that it never goes
// missing: a run stopped between a rename and a copy used to leave the year without the
// database, and the next run skipped it for good. A backup of the same day means an earlier run
// that did not finish (it wrote no marker): that backup holds what the user had and stays the
// copy the carry-over reads; what the installed file holds by then is kept beside it when it
// differs. The marker is written only when every database was replaced: a year left half on the
// old edition would otherwise be refused by every later run.
void Update2019CopyCriValR0110(RoutineRun& run) {
  const std::string& marker = run.routine.record.front().text;
  std::string folder = run.InstallFile("File\\2019年度\\");
  constexpr std::string_view kFiles[] = {"KrCri.mdb", "KrExp.mdb", "KrVal.mdb"};
  if (platform::FileExists(run.InstallFile(marker))) {
    run.ui.MessageBox("すでに2019年10月版で更新されています。", "確認メッセージ",
                      ui::Icon::kCritical);
    for (std::string_view file : kFiles) {
      std::string installed = folder + std::string(file);
      if (platform::FileExists(installed)) {
        BodyTarget(run, installed).Skipped("既に記録されています（" + marker + "）");
      }
    }
    return;
  }
  std::string stamp = Today() + "9999";
  bool whole = true;
  for (std::string_view file : kFiles) {
    std::string installed = folder + std::string(file);
    std::string backup = folder + support::BackupFileName(file, stamp);
    if (!platform::FileExists(installed)) continue;
    BodyTarget record(run, installed);
    if (!platform::FileExists(run.PackageFile(file))) {
      record.Skipped("パッケージに " + std::string(file) + " がありません");
      continue;
    }
    // A commit a killed process left half done is undone first, or the copy would keep it.
    record.Step("recover");
    if (!run.steps.Step([&] { db::engine::RecoverDatabaseFile(installed); })) {
      whole = false;
      record.Unfinished("its recovery failed");
      continue;
    }
    record.Step("version");
    std::optional<std::string> before = FileVersion(installed);
    std::string keep = backup;
    if (platform::FileExists(backup)) {
      keep.clear();
      if (!platform::SameContent(installed, backup)) {
        for (int n = 1; keep.empty() || platform::FileExists(keep); ++n) {
          keep = folder + support::BackupFileName(file, stamp, n);
        }
      }
    }
    if (!keep.empty()) {
      // Never replace what has no copy.
      record.Step("backup");
      if (!run.steps.Step([&] { platform::CopyFile(installed, keep); })) {
        whole = false;
        record.Unfinished("its backup could not be made");
        continue;
      }
    }
    record.Step("replace");
    if (!run.steps.Step([&] { db::CopyDatabaseFile(run.PackageFile(file), installed); })) {
      whole = false;
      record.Unfinished("it could not be replaced");
      continue;
    }
    record.Unrecorded([&] { run.steps.Call([&] { db::ChangeDatabasePassword(installed); }); });
    record.Migrated(keep.empty() ? backup : keep);
    record.Step("version");
    record.Versions(before, FileVersion(installed));
  }
  std::string command =
      "\"" + run.context.install_folder + "ReVudovaru.exe\" " + stamp + " NoMessage";
  run.steps.Call([&] { manifest::RunAndWait(run.ui, command, 1); });
  if (!whole) {
    LogLine(run.routine.name +
            ": not every database was replaced; no marker, the next run repeats it");
    return;
  }
  run.steps.Step([&] { platform::CopyFile(run.PackageFile(marker), run.InstallFile(marker)); });
}

}  // namespace kr::routines
