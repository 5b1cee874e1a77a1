// kr-updater: the updater as users start it, with the Qt desktop interface.
//
//   kr-updater [PACKAGE_FOLDER]
//   kr-updater --undo [REPORT] [PACKAGE_FOLDER]
//
// Start-up either updates at once (the wait dialog comes and goes) or opens the install-folder
// dialog and returns; the program then lives as long as one of its windows is open. A run always
// ends with status 0, as the original had no exit code; a command line that cannot be read ends
// with status 2 before anything is done (and before a display is needed, as do --help and
// --version).
#include <QApplication>
#include <QWidget>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/undo_window.h"
#include "platform/platform.h"
#include "routines/routines.h"
#include "startup/startup.h"
#include "ui/qt/qt_ui.h"

namespace {

bool AnyWindowOpen() {
  for (const QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible() && !widget->isHidden()) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  kr::app::CommandLine command(
      "kr-updater",
      "更新パッケージ（KrInst.ini）でインストール済みのアプリケーションを更新します。\n"
      "インストール先の確認画面と進行状況の画面を表示します。");
  std::string undo_report;
  auto* undo =
      command.app()
          .add_option("--undo", undo_report,
                      "前回の更新（または REPORT の記録の更新）の内容を表示し、元に戻せます。")
          ->expected(0, 1)
          ->type_name("[REPORT]");
  if (std::optional<int> status = command.Parse(argc, argv)) return *status;
  if (std::optional<int> status =
          kr::app::RefuseBrokenBuild("kr-updater", kr::routines::CatalogueErrors())) {
    return *status;
  }

  // Qt's own options are not taken (QT_QPA_PLATFORM and the like still work).
  int qt_argc = 1;
  QApplication app(qt_argc, argv);
  QApplication::setQuitOnLastWindowClosed(true);
  QApplication::setApplicationName("kr-updater");

  // The package folder is the first token of the updater's command line; quoting keeps a
  // folder with spaces one token.
  std::string command_line;
  if (command.package_folder()) {
    command_line = "\"" + kr::platform::AbsoluteNativePath(*command.package_folder()) + "\"";
  }

  kr::ui::QtUi ui;
  if (undo->count() > 0) {
    auto guard = kr::platform::InstanceGuard::Acquire(kr::startup::kInstanceGuardName);
    if (!guard) {
      ui.MessageBox("既に起動されています。", "メッセージ", kr::ui::Icon::kCritical);
      return 0;
    }
    kr::app::ShowUndo(undo_report, command_line);
    app.exec();
    return 0;
  }
  kr::routines::Registry routines;
  kr::startup::Updater updater(ui, routines);
  updater.Main(command_line);

  // The unattended path, a second copy and an empty install folder end here; the dialog path
  // goes on in the windows' handlers until the last window closes.
  if (AnyWindowOpen()) app.exec();
  return 0;
}
