#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "manifest/manifest.h"
#include "platform/failure.h"
#include "platform/platform.h"

namespace kr::manifest {
namespace {

constexpr int kUndone = 0, kNotAllUndone = 1, kRefused = 2;
constexpr std::string_view kUndoneMarker = ".undone";

std::string WithSeparator(std::string_view folder) {
  std::string text(folder);
  if (text.empty() || (text.back() != '\\' && text.back() != '/')) text += '\\';
  return text;
}

// "<install>\UpdateLog\<report name>.undone": written once an undo of that report has finished.
std::string MarkerPath(std::string_view install_folder, std::string_view report_path) {
  std::string name(report_path.substr(report_path.find_last_of("\\/") + 1));
  if (name.ends_with(".json")) name.resize(name.size() - 5);
  return ReportFolder(install_folder) + name + std::string(kUndoneMarker);
}

// A folder the run removed (RMDIR) must be there again before its files are.
void MakeParents(const std::string& native_file) {
  for (size_t slash = native_file.find('/', 1); slash != std::string::npos;
       slash = native_file.find('/', slash + 1)) {
    std::string folder = native_file.substr(0, slash);
    if (!platform::Attributes(folder).is_directory) platform::MakeDirectory(folder);
  }
}

std::string Kind(const report::Change& change) {
  if (!change.before) return "作成";
  if (!change.after) return "削除";
  return "置換";
}

// Changes still to be taken back, and the ones that stop it: changed after the run, or their
// earlier content gone.
struct Survey {
  std::vector<size_t> pending;  // indexes into the run's changes, newest first
  std::vector<std::string> changed_since, unsaved;
};

Survey SurveyChanges(const report::Report& run) {
  Survey survey;
  for (size_t i = run.changes.size(); i-- > 0;) {
    const report::Change& change = run.changes[i];
    const std::optional<std::string> now = report::FileDigest(change.path);
    // Already as before the run: a killed undo got this far, or someone put it back.
    if (now == change.before) continue;
    survey.pending.push_back(i);
    if (now != change.after) survey.changed_since.push_back(change.path);
    if (change.before && (!change.saved || report::FileDigest(*change.saved) != change.before)) {
      survey.unsaved.push_back(change.path);
    }
  }
  return survey;
}

void PutBack(const report::Change& change) {
  if (!change.before) {
    if (platform::Attributes(change.path).exists) platform::DeleteFile(change.path);
    return;
  }
  if (!change.saved) throw Failure::Runtime(kErrFileNotFound, "no saved copy of " + change.path);
  MakeParents(change.path);
  platform::FileAttributes target = platform::Attributes(change.path);
  if (target.exists && target.read_only) platform::CurrentEnv().SetReadOnly(change.path, false);
  platform::ReplaceFile(*change.saved, change.path);
}

std::string List(std::string_view heading, const std::vector<std::string>& paths) {
  std::string text(heading);
  for (const std::string& path : paths) text += "\n  " + path;
  return text;
}

// Why an undo without --force does not start, as the user reads it.
std::string Refusal(const Survey& survey) {
  std::vector<std::string> parts;
  if (!survey.changed_since.empty()) {
    parts.push_back(
        List("更新の後で変更されたファイルがあるため、元に戻しませんでした"
             "（--force で上書きして戻せます）:",
             survey.changed_since));
  }
  if (!survey.unsaved.empty()) {
    parts.push_back(List("更新前の内容が残っていないファイルがあります:", survey.unsaved));
  }
  std::string message;
  for (const std::string& part : parts) message += (message.empty() ? "" : "\n") + part;
  return message;
}

// Puts back each pending change, newest first, each an action of the undo's report; the ones
// that failed, with their errors.
std::vector<std::string> PutBackAll(const report::Report& run, const Survey& survey,
                                    report::Report& undo) {
  std::vector<std::string> failed;
  for (size_t index : survey.pending) {
    const report::Change& change = run.changes[index];
    StepAndContinue steps("UndoRun");
    steps.SetPlace(change.path);
    report::Action action;
    action.line = static_cast<int>(index) + 1;
    action.keyword = "UNDO";
    action.source = change.saved.value_or("");
    action.target = change.path;
    if (!steps.Step([&] { PutBack(change); })) {
      action.outcome = report::ActionOutcome::kFailed;
      action.error = report::Error{steps.pending()->number(), steps.pending()->description()};
      failed.push_back(change.path + ": " + steps.pending()->description());
    }
    undo.actions.push_back(std::move(action));
  }
  return failed;
}

// Registrations are programs too: what they did stays.
void RecordPrograms(const report::Report& run, report::Report& undo) {
  for (const std::string& program : run.programs) {
    report::Action action;
    action.keyword = "PROGRAM";
    action.target = program;
    action.outcome = report::ActionOutcome::kSkipped;
    undo.actions.push_back(std::move(action));
  }
}

}  // namespace

std::optional<report::Report> ReadReport(std::string_view path) {
  return LeaveOnError("ReadReport", std::optional<report::Report>(), [&] {
    return std::optional<report::Report>(report::FromJson(platform::ReadFile(path)));
  });
}

std::string LatestRunReport(std::string_view install_folder) {
  const std::string folder = ReportFolder(WithSeparator(install_folder));
  std::vector<platform::DirEntry> names =
      platform::List(folder + "*.json", platform::ListKind::kPlainFiles);
  // Names are times: the newest sorts last (a "-n" suffix after its plain name).
  std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) {
    return a.name.substr(0, 14) != b.name.substr(0, 14) ? a.name < b.name
                                                        : a.name.size() < b.name.size();
  });
  for (auto name = names.rbegin(); name != names.rend(); ++name) {
    std::optional<report::Report> found = ReadReport(folder + name->name);
    if (found && found->kind == "run" && !found->plan) {
      return platform::NativePath(folder + name->name);
    }
  }
  return "";
}

std::string UndoSummary(const report::Report& run) {
  std::string text = "実行日時: " + run.started + "\nパッケージ: " + run.package +
                     "\nインストール先: " + run.install_folder +
                     "\n変更したファイル: " + std::to_string(run.changes.size()) + " 件";
  for (const report::Change& change : run.changes) {
    text += "\n  " + Kind(change) + "  " + change.path;
  }
  if (!run.programs.empty()) {
    text += "\n" + List("起動したプログラム（元に戻せません）:", run.programs);
  }
  return text + "\n";
}

UndoOutcome UndoRun(std::string_view install_folder_given, std::string_view report_given,
                    bool force) {
  UndoOutcome outcome;
  outcome.exit_status = kRefused;
  std::string install_folder =
      install_folder_given.empty() ? std::string() : WithSeparator(install_folder_given);
  std::string report_path(report_given);
  if (report_path.empty()) {
    report_path = LatestRunReport(install_folder);
    if (report_path.empty()) {
      outcome.message = "元に戻せる更新の記録がありません: " + ReportFolder(install_folder);
      return outcome;
    }
  }
  std::optional<report::Report> run = ReadReport(report_path);
  if (!run) {
    outcome.message = "更新の記録を読めません: " + report_path;
    return outcome;
  }
  if (run->plan) {
    outcome.message = "計画だけの記録です。元に戻す変更はありません: " + report_path;
    return outcome;
  }
  if (install_folder.empty()) install_folder = WithSeparator(run->install_folder);
  outcome.run = *run;
  const std::string marker = MarkerPath(install_folder, report_path);
  if (platform::FileExists(marker)) {
    outcome.exit_status = kUndone;
    outcome.message = "この更新は既に元に戻されています。";
    return outcome;
  }

  Survey survey = SurveyChanges(*run);
  if (!force && (!survey.changed_since.empty() || !survey.unsaved.empty())) {
    outcome.message = Refusal(survey);
    return outcome;
  }

  report::Recorder recorder;
  report::ScopedRecorder recording(recorder);
  report::Report& undo = recorder.report();
  undo.kind = "undo";
  undo.package = run->package;
  undo.install_folder = platform::NativePath(install_folder);
  undo.started = ReportTime(platform::CurrentEnv().Now());
  const std::string stamp = ReportStamp(install_folder);
  report::ChangeJournal journal(install_folder, stamp);
  std::vector<std::string> failed = PutBackAll(*run, survey, undo);
  undo.changes = journal.Finish();
  RecordPrograms(*run, undo);
  undo.finished = ReportTime(platform::CurrentEnv().Now());
  outcome.exit_status = failed.empty() ? kUndone : kNotAllUndone;
  undo.exit_status = outcome.exit_status;
  outcome.report_path = WriteRunReport(install_folder, undo, stamp);
  outcome.report = undo;

  if (failed.empty()) {
    outcome.message =
        "更新を元に戻しました（" + std::to_string(survey.pending.size()) + " 件のファイル）。";
    StepAndContinue steps("UndoRun");
    steps.Step([&] { platform::WriteFile(marker, outcome.report_path + "\n"); });
  } else {
    outcome.message =
        List("元に戻せなかったファイルがあります（もう一度実行すると続きを試します）:", failed);
  }
  if (!run->programs.empty()) {
    outcome.message +=
        "\n" + List("登録や起動したプログラムが行ったことは元に戻していません:", run->programs);
  }
  return outcome;
}

}  // namespace kr::manifest
