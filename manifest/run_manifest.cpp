#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "db/db.h"
#include "manifest/manifest.h"
#include "platform/failure.h"
#include "platform/platform.h"

namespace kr::manifest {
namespace {

constexpr std::string_view kUpdatingVersion = "バージョン情報を更新中...";
constexpr std::string_view kCreatingShortcut = "ショートカットを作成中...";
constexpr std::string_view kDefaultEndMessage = "アップデートが完了しました。";
constexpr std::string_view kDefaultErrorEndMessage = "アップデート時にエラーが発生しました。";

// Values 2, 3, ... joined again, so that commas inside the keyword field survive.
std::string KeywordField(const std::vector<std::string>& values) {
  std::string field = values[2];
  for (size_t i = 3; i < values.size(); ++i) field += "," + values[i];
  return field;
}

// The 1-based line numbers of a section's entries in KrInst.ini, in the order SectionLines gives
// them (empty when the file cannot be listed).
std::vector<int> EntryLines(const std::string& file, std::string_view section) {
  return LeaveOnError("EntryLines", std::vector<int>(), [&] {
    using platform::profile::LineKind;
    std::vector<int> numbers;
    bool inside = false, seen = false;
    for (const platform::profile::ProfileLine& line : platform::profile::ListLines(file).lines) {
      if (line.kind == LineKind::kSection) {
        if (inside) break;
        inside = !seen && support::UpperCase(line.name) == support::UpperCase(section);
        seen = seen || inside;
      } else if (inside && line.kind == LineKind::kEntry) {
        numbers.push_back(line.number);
      }
    }
    return numbers;
  });
}

void FilesPass(RunContext& run, ui::Ui& ui, support::clsIniFile& ini, StepAndContinue& steps,
               std::string& error_log, report::Report& report) {
  const std::vector<std::string> lines = support::SectionLines(ini, "Bootstrap Files");
  const std::vector<int> numbers = EntryLines(run.package_folder + "KrInst.ini", "Bootstrap Files");
  run.progress_total += lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    std::vector<std::string> values = ParseManifestValues(line);
    if (values.size() >= 2) values[1] = ExpandPathMacros(run, values[1]);
    if (values.size() < 3) {
      LogLine("RunManifest: manifest line with fewer than three values skipped: " + line);
      AdvanceProgress(run, ui);
      continue;
    }
    std::string keyword = KeywordField(values);
    report::Action action;
    action.line = numbers.size() == lines.size() ? numbers[i] : 0;
    action.keyword = keyword;
    error_log += steps.Call([&] {
      return ApplyFileAction(run, ui, values[0], values[1], support::UpperCase(keyword), keyword,
                             &action);
    });
    report.actions.push_back(std::move(action));
    AdvanceProgress(run, ui);
  }
}

void RoutinePass(RunContext& run, ui::Ui& ui, support::clsIniFile& ini, StepAndContinue& steps,
                 RoutineRegistry& routines) {
  std::vector<std::vector<std::string>> lines;
  for (const std::string& line : support::SectionLines(ini, "Function")) {
    std::vector<std::string> values = ParseManifestValues(line);
    // A line must name its phase; a line without one is not an AFTER line.
    if (values.size() < 2 || support::UpperCase(values[1]) != "AFTER") continue;
    run.progress_total += 1 + steps.Call([&] { return routines.Targets(values[0], run, ui); });
    lines.push_back(std::move(values));
  }
  ui.SetWaitProgress(run.progress_done, run.progress_total);
  for (const std::vector<std::string>& values : lines) {
    if (values.size() > 2) ui.SetWaitLabel(1, values[2]);
    std::string_view argument = values.size() > 3 ? std::string_view(values[3]) : "";
    if (report::Recorder* recorder = report::Current()) recorder->BeginRoutine(values[0]);
    bool known = steps.Call([&] { return routines.Run(values[0], argument, run, ui); });
    if (!known && !steps.failed()) LogLine("RunManifest: no update routine named " + values[0]);
    // A name no routine has did nothing: it is no routine of the report.
    report::Recorder* recorder = report::Current();
    if (!known && recorder != nullptr && !recorder->report().routines.empty() &&
        recorder->report().routines.back().targets.empty()) {
      recorder->report().routines.pop_back();
    }
    AdvanceProgress(run, ui);
  }
}

void FinishingSteps(RunContext& run, ui::Ui& ui, support::clsIniFile& ini, StepAndContinue& steps) {
  ui.SetWaitLabel(1, kUpdatingVersion);
  ini.Section("Bootstrap");

  std::string settings_database = run.install_folder + "File\\KrSet.mdb";
  if (CarriesVersionText(run.inst_model) && platform::FileExists(settings_database)) {
    std::string statement = VersionTextStatement(run.exe_year, ini.GetString("ExeVersion", ""));
    steps.Call([&] { WriteVersionText(settings_database, statement); });
  }

  std::string cab_file = ini.GetString("CabFile", "");
  if (!cab_file.empty()) {
    std::string cab_path = support::GetWindowsFolder(run) + cab_file;
    if (platform::FileExists(cab_path)) {
      steps.Step([&] { platform::DeleteFile(cab_path); });
    }
  }

  std::string shortcut = ini.GetString("ShortCut", "");
  if (!shortcut.empty()) {
    ui.SetWaitLabel(1, kCreatingShortcut);
    std::string exe_name = ini.GetString("ExeName", "");
    std::string exe_title = ini.GetString("ExeTitle", "");
    steps.Call([&] { CreateDesktopShortcut(run.install_folder + exe_name, shortcut, exe_title); });
  }
}

// Backups are made both by file actions (table copies) and by routines: counted in both.
void LogTimes() {
  using platform::PhaseSeconds;
  using platform::RunPhase;
  char text[160];
  std::snprintf(text, sizeof text,
                "RunManifest: file actions %.2f s, routines %.2f s, backups within both %.2f s",
                PhaseSeconds(RunPhase::kFileActions), PhaseSeconds(RunPhase::kRoutines),
                PhaseSeconds(RunPhase::kBackups));
  LogLine(text);
}

// TABLE lines and the version text write a database again even when it already holds what they
// write; what reads the report (a fleet's second run) must tell that from a real change. A
// database a routine migrated changed for sure and is not read again.
void MarkRewrittenDatabases(report::Report& report) {
  std::set<std::string> migrated;
  for (const report::Routine& routine : report.routines) {
    for (const report::Target& target : routine.targets) {
      if (target.outcome == report::TargetOutcome::kMigrated) migrated.insert(target.database);
    }
  }
  for (report::Change& change : report.changes) {
    const std::string suffix = support::LowerCase(
        change.path.substr(std::min(change.path.size(), change.path.rfind('.'))));
    if (!change.before || !change.after || !change.saved || migrated.contains(change.path) ||
        (suffix != ".mdb" && suffix != ".accdb")) {
      continue;
    }
    change.same_data = db::SameContent(*change.saved, change.path);
  }
}

}  // namespace

void AdvanceProgress(RunContext& run, ui::Ui& ui) {
  ++run.progress_done;
  run.progress_total = std::max(run.progress_total, run.progress_done);
  ui.SetWaitProgress(run.progress_done, run.progress_total);
}

std::vector<std::string> ParseManifestValues(std::string_view line) {
  size_t equals = line.find('=');
  std::string_view values = equals == std::string_view::npos ? line : line.substr(equals + 1);
  return support::Split(values, ",");
}

bool CarriesVersionText(int32_t inst_model) {
  return (inst_model >= 10 && inst_model <= 99) || (inst_model >= 320 && inst_model <= 399);
}

std::string VersionTextStatement(int16_t exe_year, std::string_view exe_version) {
  return "UPDATE Environ SET SetName='" + std::to_string(exe_year) + "," +
         std::string(exe_version) + "' WHERE ID=61;";
}

ManifestOutcome RunManifest(RunContext& run, ui::Ui& ui, RoutineRegistry& routines, bool unload) {
  ManifestOutcome outcome;
  if (run.install_folder.empty()) return outcome;
  outcome.ran = true;

  ui.ShowWait(run.title);
  ui.SetBusy(true);
  StepAndContinue steps("RunManifest");
  report::Recorder recorder;
  report::ScopedRecorder recording(recorder);
  report::Report& report = recorder.report();
  report.package = platform::NativePath(run.package_folder);
  report.install_folder = platform::NativePath(run.install_folder);
  report.started = ReportTime(platform::CurrentEnv().Now());
  const std::string stamp = ReportStamp(run.install_folder);
  report::ChangeJournal journal(run.install_folder, stamp);
  support::clsIniFile ini;
  ini.FileName(run.package_folder + "KrInst.ini");
  ui.SetWaitLabel(1, "");

  run.progress_done = run.progress_total = 0;
  platform::ResetPhaseTimes();
  {
    platform::PhaseTimer timer(platform::RunPhase::kFileActions);
    FilesPass(run, ui, ini, steps, outcome.error_log, report);
  }
  {
    platform::PhaseTimer timer(platform::RunPhase::kRoutines);
    RoutinePass(run, ui, ini, steps, routines);
  }
  {
    platform::PhaseTimer timer(platform::RunPhase::kFileActions);
    FinishingSteps(run, ui, ini, steps);
  }
  LogTimes();

  outcome.unfinished = run.unfinished.size();
  report.changes = journal.Finish();
  MarkRewrittenDatabases(report);
  report.finished = ReportTime(platform::CurrentEnv().Now());
  report.exit_status = outcome.unfinished > 0 ? 4 : outcome.errors() ? 1 : 0;
  outcome.report_path = WriteRunReport(run.install_folder, report, stamp);
  outcome.report = report;
  // The next run migrates them: the user should know to start it.
  std::string unfinished =
      outcome.unfinished == 0
          ? std::string()
          : "\n" + std::to_string(outcome.unfinished) +
                " 件のデータベースは更新できなかったため、元のまま残しています。";
  if (outcome.error_log.empty()) {
    ui.SetWaitLabel(0, ini.GetString("DispEndMsg", kDefaultEndMessage) + unfinished);
    ui.SetWaitLabel(1, "");
  } else {
    ui.SetWaitLabel(0, ini.GetString("DispEndErrMsg", kDefaultErrorEndMessage) + unfinished);
    ui.SetWaitLabel(1, outcome.error_log);
  }
  ui.SetWaitDetails(report::SummaryText(report));
  ui.EnableWaitOk();
  ui.SetBusy(false);
  if (unload) ui.UnloadWait();
  return outcome;
}

}  // namespace kr::manifest
