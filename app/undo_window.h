// frmUndo as `kr-updater --undo` opens it: the summary of a run's report with 元に戻す. Shared by
// the desktop program and the screenshot tool, so that the pictures show the window users get.
#pragma once

#include <optional>
#include <string>

#include "manifest/manifest.h"
#include "report/report.h"
#include "startup/startup.h"
#include "ui/qt/qt_ui.h"

namespace kr::app {

// Shows frmUndo (it deletes itself when closed) for report_given, else for the newest report of
// the install folder start-up finds for the package of command_line.
inline ui::frmUndo* ShowUndo(const std::string& report_given, const std::string& command_line) {
  std::optional<std::string> install_folder;
  if (report_given.empty()) {
    install_folder = startup::InstallFolderFor(startup::PackageFolderOf(command_line));
  }
  std::string report_path = report_given;
  if (report_path.empty() && install_folder && !install_folder->empty()) {
    report_path = manifest::LatestRunReport(*install_folder);
  }
  std::optional<report::Report> run;
  if (!report_path.empty()) run = manifest::ReadReport(report_path);
  std::string summary = run ? manifest::UndoSummary(*run)
                            : "元に戻せる更新の記録がありません。" +
                                  (report_path.empty() ? install_folder.value_or("") : report_path);
  ui::UndoAction undo;
  if (run) {
    undo = [report_path, folder = install_folder.value_or("")](bool force) {
      manifest::UndoOutcome outcome = manifest::UndoRun(folder, report_path, force);
      return ui::UndoAnswer{outcome.exit_status, outcome.message};
    };
  }
  auto* window = new ui::frmUndo("更新を元に戻す", summary, undo);
  window->show();
  return window;
}

}  // namespace kr::app
