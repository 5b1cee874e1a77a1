// kr-updater-cli: the updater with the console user interface.
//
//   kr-updater-cli [PACKAGE_FOLDER] [--install-folder DIR] [--report FILE]
//   kr-updater-cli PACKAGE_FOLDER --plan [--install-folder DIR] [--report FILE]
//   kr-updater-cli --check PACKAGE_FOLDER [--format text|json]
//   kr-updater-cli --undo [REPORT] [--install-folder DIR] [--force] [--report FILE]
//
// When start-up opens the install-folder dialog, DIR is typed into it and OK pressed: the folder
// is normalised and validated, and the update runs only when every check passes. The message
// boxes (a refusal among them) go to standard error as "[title] text".
//
// When the machine trusts package-signing keys, a package they did not sign, or one changed
// since, is refused first; then a package folder that does not exist or holds no KrInst.ini.
// Both before anything is done.
//
// --plan runs the whole update over an overlay of the disk (platform::OverlayEnv) and throws the
// overlay away: the same messages and exit status as the run, nothing changed, no program
// started. Its report (plan: true) goes only to FILE; without --report none is written, since
// the installation's UpdateLog is part of what a plan must leave alone.
//
// Exit status: 0 finished without file-action errors, 1 finished with errors, 2 refused (the
// signature, the package folder, the validation or the command line) or cancelled: nothing
// changed; 3 already running. --check: 0 the package is clean, 1 problems were found, 2 the
// command line.
#include <iostream>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "check/check.h"
#include "manifest/manifest.h"
#include "platform/overlay.h"
#include "platform/platform.h"
#include "routines/routines.h"
#include "startup/startup.h"
#include "ui/console_ui.h"

namespace {

constexpr int kExitFinished = 0;
constexpr int kExitErrors = 1;
constexpr int kExitNotRun = 2;
constexpr int kExitAlreadyRunning = 3;
constexpr int kExitUnfinished = 4;

constexpr const char* kSummary =
    "更新パッケージ（KrInst.ini）でインストール済みのアプリケーションを更新します。\n"
    "終了コード: 0 完了, 1 エラーあり, 2 中止・署名やインストール先の確認で拒否・\n"
    "コマンドラインの誤り（いずれも変更なし）, 3 既に起動中\n"
    "--check: 0 問題なし, 1 問題あり\n"
    "--plan: 実行した場合と同じ終了コード（何も変更しません）\n"
    "--undo: 0 元に戻した, 1 戻せないファイルあり, 2 拒否（変更なし）, 3 既に起動中";

constexpr const char* kPlanNote = "（計画のみ: インストール先には何も変更を加えていません。）\n";

// The package check changes nothing and needs no installation (and no signature yet: packages
// are checked before they are signed).
int CheckPackage(const std::string& package, const std::string& format) {
  std::string folder = kr::startup::PackageFolderOf("\"" + package + "\"");
  std::vector<kr::check::Problem> problems = kr::check::CheckPackage(folder);
  std::cout << (format == "json" ? kr::check::FormatJson(problems)
                                 : kr::check::FormatText(problems));
  if (format != "json" && problems.empty()) std::cout << "問題はありません。\n";
  return problems.empty() ? kExitFinished : kExitErrors;
}

// The report is also wanted where a script looks for it; a path from the command line is this
// machine's own.
bool WriteReportFile(const std::string& file, const kr::report::Report& report) {
  return kr::LeaveOnError("WriteReportFile", false, [&] {
    kr::platform::WriteFile(file, kr::report::ToJson(report));
    return true;
  });
}

int ExitStatus(kr::startup::Outcome outcome) {
  switch (outcome) {
    case kr::startup::Outcome::kFinished:
      return kExitFinished;
    case kr::startup::Outcome::kFinishedWithErrors:
      return kExitErrors;
    case kr::startup::Outcome::kUnfinished:
      return kExitUnfinished;
    case kr::startup::Outcome::kAlreadyRunning:
      return kExitAlreadyRunning;
    case kr::startup::Outcome::kNotRun:
    case kr::startup::Outcome::kRefused:
    case kr::startup::Outcome::kPending:  // the validation refused: the dialog is still open
      return kExitNotRun;
  }
  return kExitNotRun;
}

struct Ran {
  int status = kExitNotRun;
  std::optional<kr::report::Report> report;  // when the manifest ran
  std::string report_path;                   // the copy kept in UpdateLog; "" for a plan
  std::vector<std::string> would_run;        // a plan's programs it did not start
};

// Starts the updater; with plan, over an overlay of the disk that is made first and so outlives
// everything that may hold one of its files.
Ran Update(const std::string& command_line, const std::optional<std::string>& install_folder,
           bool plan) {
  std::optional<kr::platform::OverlayEnv> overlay;
  std::optional<kr::platform::ScopedEnv> overlay_in_force;
  if (plan) {
    try {
      overlay.emplace();
    } catch (const kr::Failure& failure) {
      kr::LogLine("kr-updater-cli: no overlay for the plan: " + std::string(failure.what()));
      std::cerr << "kr-updater-cli: 作業用の一時フォルダを作成できませんでした。\n";
      return {};
    }
    overlay_in_force.emplace(*overlay);
  }
  kr::ui::ConsoleUi ui(install_folder, std::cout, std::cerr,
                       kr::platform::StandardErrorIsTerminal());
  kr::routines::Registry routines;
  kr::startup::Updater updater(ui, routines);
  // A package nobody trusted signed is refused before it is looked at; a mistyped folder must
  // not look like a finished update.
  std::optional<std::string> refusal = updater.CheckSignature(command_line);
  if (!refusal) {
    refusal = kr::startup::CheckPackageFolder(kr::startup::PackageFolderOf(command_line));
  }
  if (refusal) {
    std::cerr << "kr-updater-cli: " << *refusal << "\n";
    return {};
  }
  updater.Main(command_line);
  Ran ran{ExitStatus(updater.outcome()), std::nullopt, {}, {}};
  if (const kr::manifest::ManifestOutcome* outcome = updater.manifest_outcome()) {
    ran.report = outcome->report;
    if (!plan) ran.report_path = outcome->report_path;
  }
  if (plan) {
    ran.would_run = overlay->WouldRun();
    kr::LogLine("kr-updater-cli: the plan's copies took " + std::to_string(overlay->DiskUse()) +
                " bytes");
    if (ran.report) ran.report->plan = true;
  }
  return ran;
}

// Takes a run back. Without REPORT or DIR, the install folder is the one start-up would find for
// the package.
int Undo(const std::string& report, std::optional<std::string> install_folder,
         const std::string& command_line, bool force,
         const std::optional<std::string>& report_file) {
  auto guard = kr::platform::InstanceGuard::Acquire(kr::startup::kInstanceGuardName);
  if (!guard) {
    std::cerr << "kr-updater-cli: 既に起動されています。\n";
    return kExitAlreadyRunning;
  }
  if (report.empty() && !install_folder) {
    install_folder = kr::startup::InstallFolderFor(kr::startup::PackageFolderOf(command_line));
    if (install_folder->empty()) {
      std::cerr << "kr-updater-cli: インストール先が見つかりません。--install-folder で指定して"
                   "ください。\n";
      return kExitNotRun;
    }
  }
  kr::manifest::UndoOutcome outcome =
      kr::manifest::UndoRun(install_folder.value_or(""), report, force);
  if (outcome.exit_status == kExitNotRun) {
    std::cerr << "kr-updater-cli: " << outcome.message << "\n";
    return kExitNotRun;
  }
  std::cout << outcome.message << "\n";
  if (report_file && !outcome.report_path.empty() &&
      !WriteReportFile(*report_file, outcome.report)) {
    std::cerr << "kr-updater-cli: 実行の記録を書き出せませんでした: " << *report_file << "\n";
  }
  return outcome.exit_status;
}

}  // namespace

int main(int argc, char** argv) {
  kr::app::CommandLine command("kr-updater-cli", kSummary);
  std::optional<std::string> install_folder;
  command.app()
      .add_option("--install-folder", install_folder,
                  "インストール先の確認画面で、このフォルダを指定して実行します。\n"
                  "省略すると、提案されたフォルダを表示するだけで何も変更しません。")
      ->type_name("DIR");
  std::optional<std::string> check_package;
  std::string format = "text";
  auto* check = command.app()
                    .add_option("--check", check_package,
                                "更新パッケージを確認します（何も変更しません）。問題ごとに\n"
                                "KrInst.ini の行番号を示します。")
                    ->type_name("PACKAGE_FOLDER");
  command.app()
      .add_option("--format", format, "--check の出力形式: text または json")
      ->check(CLI::IsMember({"text", "json"}))
      ->needs(check);
  std::optional<std::string> report_file;
  command.app()
      .add_option("--report", report_file,
                  "実行の記録（JSON）を、インストール先の UpdateLog に加えてこのファイルにも\n"
                  "書き出します。")
      ->type_name("FILE");
  bool plan = false;
  command.app().add_flag("--plan", plan,
                         "アップデートを試しに実行し、何が行われるかを表示します。\n"
                         "ファイルやデータベースは変更せず、プログラムも起動しません。\n"
                         "記録は --report のファイルにだけ書き出します。");
  check->excludes(command.app().get_option("--plan"));
  std::string undo_report;
  auto* undo =
      command.app()
          .add_option("--undo", undo_report,
                      "更新を元に戻します: REPORT の記録の更新、省略するとインストール先の\n"
                      "直前の更新です。更新の後で変更されたファイルがあれば何もしません。")
          ->expected(0, 1)
          ->type_name("[REPORT]");
  bool force = false;
  command.app()
      .add_flag("--force", force, "--undo で、更新の後で変更されたファイルも上書きして戻します。")
      ->needs(undo);
  undo->excludes(check);
  undo->excludes(command.app().get_option("--plan"));
  check->excludes(command.app().get_option("--install-folder"));
  check->excludes(command.app().get_option("--report"));
  check->excludes(command.app().get_option("PACKAGE_FOLDER"));
  if (std::optional<int> status = command.Parse(argc, argv)) return *status;
  if (std::optional<int> status =
          kr::app::RefuseBrokenBuild("kr-updater-cli", kr::routines::CatalogueErrors())) {
    return *status;
  }
  if (check_package) return CheckPackage(*check_package, format);

  // The updater takes its package folder as the first token of its command line; quoting keeps
  // a folder with spaces one token.
  std::string command_line;
  if (command.package_folder()) {
    command_line = "\"" + kr::platform::AbsoluteNativePath(*command.package_folder()) + "\"";
  }
  if (install_folder) install_folder = kr::platform::AbsoluteNativePath(*install_folder);
  if (undo->count() > 0) return Undo(undo_report, install_folder, command_line, force, report_file);

  Ran ran = Update(command_line, install_folder, plan);
  // What the run did, after its end message: a line per routine and database.
  if (ran.report) {
    std::cout << "\n" << kr::report::SummaryText(*ran.report);
    if (!ran.report_path.empty()) std::cout << "記録: " << ran.report_path << "\n";
  }
  for (const std::string& program : ran.would_run) {
    std::cout << "実行しなかったプログラム: " << program << "\n";
  }
  if (plan && ran.report) std::cout << kPlanNote;
  if (report_file && ran.report && !WriteReportFile(*report_file, *ran.report)) {
    std::cerr << "kr-updater-cli: 実行の記録を書き出せませんでした: " << *report_file << "\n";
  }
  return ran.status;
}
