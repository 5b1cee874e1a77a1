// kr-updater-cli: the updater with the console user interface.
//
//   kr-updater-cli [PACKAGE_FOLDER] [--install-folder DIR] [--report FILE]
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
    "--undo: 0 元に戻した, 1 戻せないファイルあり, 2 拒否（変更なし）, 3 既に起動中";

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
  if (command.package_folder()) command_line = "\"" + *command.package_folder() + "\"";
  if (undo->count() > 0) return Undo(undo_report, install_folder, command_line, force, report_file);

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
    return kExitNotRun;
  }
  updater.Main(command_line);
  if (report_file && updater.manifest_outcome() &&
      !WriteReportFile(*report_file, updater.manifest_outcome()->report)) {
    std::cerr << "kr-updater-cli: 実行の記録を書き出せませんでした: " << *report_file << "\n";
  }

  switch (updater.outcome()) {
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
