// Hand-written routines of 2019: variants read from the Version comment, two settings targets
// with their own guards, and the October 2019 database replacement.
#include <algorithm>
#include <cstdio>

#include "platform/platform.h"
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

constexpr std::string_view kValR0108 =
    "K Val710 ; T Val710 [Code] ; C Val710 ; K Val720 ; T Val720 [Code] ; C Val720 ; "
    "K Val740 ; T Val740 [Code] ; C Val740 ; K Val750 ; T Val750 [Code] ; C Val750 ; "
    "K Val760 ; T Val760 [Code] ; C Val760 ; K Val870 ; T Val870 [Code] ; C Val870";
constexpr std::string_view kValR0108Hiroshima =
    "T Val_IndExplain ; K Val700 ; T Val700 [Code] ; C Val700 ; K Val710 ; T Val710 [Code] ; "
    "C Val710 ; K Val720 ; T Val720 [Code] ; C Val720 ; K Val740 ; T Val740 [Code] ; "
    "C Val740 ; K Val750 ; T Val750 [Code] ; C Val750 ; K Val760 ; T Val760 [Code] ; "
    "C Val760 ; K Val770 ; T Val770 [Code] ; C Val770 ; K Val790 ; T Val790 [Code] ; "
    "C Val790 ; T Val700_Ind ; T Val710_Ind ; T Val720_Ind ; T Val800_Ind ; T Val810_Ind ; "
    "T Val890_Ind";

std::string Today() {
  platform::LocalTime now = platform::CurrentEnv().Now();
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", now.year, now.month, now.day);
  return text;
}

}  // namespace

void Update2019ValR0108(RoutineRun& run) {
  // Only the main source is required; without the Hiroshima one its steps fail and are skipped.
  if (!RoutineRun::FileExists(run.PackageFile(run.routine.sources[0]))) return;
  Database source = run.Open(run.PackageFile(run.routine.sources[0]));
  if (!source.IsOpen()) return;
  Database hiroshima;
  if (RoutineRun::FileExists(run.PackageFile(run.routine.sources[1]))) {
    hiroshima = run.Open(run.PackageFile(run.routine.sources[1]));
  }
  ForEachGuardedTarget(run, {&source, &hiroshima}, [&](Database& target, VariantChooser& variants) {
    std::string comment = db::ReadVersionComment(target) + ",";
    TransferMarked(run, source, target, comment, "Val_IndExplain");
    run.RunSteps(ParsedSteps(kValR0108), source, target, variants);
    TransferMarked(run, source, target, comment, "Val810_Ind");
    db::WriteVersion(target, {2019, 1, 1}, "");
    if (!variants.Decide("HasHiroshimaDistrict")) return;
    run.RunSteps(ParsedSteps(kValR0108Hiroshima), hiroshima, target, variants);
    db::SetVersionComment(
        target, variants.Decide("EnvironFlag60") ? "201907_土木+被災広島" : "201907_造園+被災広島",
        false);
  });
  run.Close(hiroshima);
  run.Close(source);
}

void Update2019ExpR0108(RoutineRun& run) {
  Database source = OpenSourceEarly(run);
  if (!source.IsOpen()) return;
  ForEachGuardedTarget(run, {&source}, [&](Database& target, VariantChooser& variants) {
    std::string mark = "201907_標準";
    if (variants.Decide("HasKumamotoDistrict")) {
      run.steps.Step([&] { target.Execute("DELETE FROM Expenses WHERE Big=1"); });
      run.steps.Call(
          [&] { db::TransferRows(source, target, "Expenses_HisaiK,Expenses", "", "Big,Mdl,Sml"); });
      mark = "201907_標準+被災熊本";
    } else if (variants.Decide("HasHiroshimaDistrict")) {
      run.steps.Call(
          [&] { db::TransferRows(source, target, "Expenses_HisaiH,Expenses", "", "Big,Mdl,Sml"); });
      mark = "201907_標準+被災広島";
    }
    db::SetVersionComment(target, mark, false);
    run.steps.Call([&] { db::TransferRows(source, target, "Expenses", "", "Big,Mdl,Sml"); });
    run.steps.Call([&] { db::TransferRows(source, target, "ExpOption", "", "Big,Mdl"); });
    run.WriteRecord(run.routine.record, source, target);
  });
  run.Close(source);
}

// Two settings databases, each with its own guard and stamp: the row run once per target.
void Update2019SetR0109(RoutineRun& run) {
  const Routine& r = run.routine;
  size_t targets = std::min({r.targets.places.size(), r.guards.size(), r.record.size()});
  for (size_t i = 0; i < targets; ++i) {
    Routine one = r;
    one.body = nullptr;
    one.targets.places = {r.targets.places[i]};
    one.guards = {r.guards[i]};
    one.record = {r.record[i]};
    RoutineRun part(one, run.context, run.ui, run.argument);
    RunDescribed(part);
  }
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
  constexpr std::string_view kMarker = "KrUpdatedR0110.ini";
  if (RoutineRun::FileExists(run.InstallFile(kMarker))) {
    run.ui.MessageBox("すでに2019年10月版で更新されています。", "確認メッセージ",
                      ui::Icon::kCritical);
    return;
  }
  std::string stamp = Today() + "9999";
  std::string folder = run.InstallFile("File\\2019年度\\");
  bool whole = true;
  for (std::string_view name : {"KrCri", "KrExp", "KrVal"}) {
    std::string file = std::string(name) + ".mdb";
    std::string installed = folder + file;
    std::string backup = folder + std::string(name) + stamp + ".old";
    if (!RoutineRun::FileExists(run.PackageFile(file)) || !RoutineRun::FileExists(installed)) {
      continue;
    }
    // A commit a killed process left half done is undone first, or the copy would keep it.
    if (!run.steps.Step([&] { db::engine::RecoverDatabaseFile(installed); })) {
      whole = false;
      continue;
    }
    std::string keep = backup;
    if (RoutineRun::FileExists(backup)) {
      keep.clear();
      if (!platform::SameContent(installed, backup)) {
        for (int n = 1; keep.empty() || RoutineRun::FileExists(keep); ++n) {
          keep = folder + std::string(name) + stamp + "-" + std::to_string(n) + ".old";
        }
      }
    }
    if (!keep.empty()) {
      // Never replace what has no copy.
      if (!run.steps.Step([&] { platform::CopyFile(installed, keep); })) {
        whole = false;
        continue;
      }
    }
    whole = run.steps.Step([&] { platform::CopyFile(run.PackageFile(file), installed); }) && whole;
    run.steps.Call([&] { db::ChangeDatabasePassword(installed); });
  }
  std::string command =
      "\"" + run.context.install_folder + "ReVudovaru.exe\" " + stamp + " NoMessage";
  run.steps.Call([&] { manifest::RunAndWait(run.ui, command, 1); });
  if (!whole) {
    LogLine(run.routine.name +
            ": not every database was replaced; no marker, the next run repeats it");
    return;
  }
  run.steps.Step([&] { platform::CopyFile(run.PackageFile(kMarker), run.InstallFile(kMarker)); });
}

}  // namespace kr::routines
