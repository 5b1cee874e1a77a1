// kr-updater: the updater as users start it, with the Qt desktop interface.
//
//   kr-updater [PACKAGE_FOLDER]
//
// Start-up either updates at once (the wait dialog comes and goes) or opens the install-folder
// dialog and returns; the program then lives as long as one of its windows is open. It always
// ends with status 0, as the original had no exit code.
#include <QApplication>
#include <QWidget>
#include <string>

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
  QApplication app(argc, argv);  // takes Qt's own options out of argv
  QApplication::setQuitOnLastWindowClosed(true);
  QApplication::setApplicationName("kr-updater");

  // The package folder is the first token of the updater's command line; quoting keeps a
  // folder with spaces one token. Further arguments are ignored.
  std::string command_line;
  if (argc > 1) command_line = "\"" + std::string(argv[1]) + "\"";

  kr::ui::QtUi ui;
  kr::routines::Registry routines;
  kr::startup::Updater updater(ui, routines);
  updater.Main(command_line);

  // The unattended path, a second copy and an empty install folder end here; the dialog path
  // goes on in the windows' handlers until the last window closes.
  if (AnyWindowOpen()) app.exec();
  return 0;
}
