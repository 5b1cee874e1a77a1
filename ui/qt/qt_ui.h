// The desktop program's user interface on Qt 6 Widgets: message boxes, the wait dialog frmWait,
// the install-folder dialog frmMlDir, the copy-source dialog frmSelectCopySource and the folder
// browser.
//
// Needs a QApplication that lives longer than every object declared here. Threading: the GUI
// thread only. Forms are top-level windows named after the form ("frmWait", "frmMlDir",
// "frmSelectCopySource"); every control carries its name as objectName ("lbl0", "lbl1",
// "cmdOk", "txtDir", ...), so tests and screenshots find them with findChild.
#pragma once

#include <QDialog>
#include <QFont>
#include <QPointer>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/ui.h"

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace kr::ui {

class frmWait;

// The font every form uses: Noto Sans CJK JP, 9 points.
QFont FormFont();

// The folder chooser behind Ui::BrowseForFolder: owner window (may be null), title and a
// native folder to start in; returns the chosen native folder, or "" when cancelled.
using FolderChooser = std::function<std::string(QWidget* owner, std::string_view title,
                                                std::string_view initial_folder)>;

// QFileDialog::getExistingDirectory restricted to folders.
std::string ChooseFolderWithDialog(QWidget* owner, std::string_view title,
                                   std::string_view initial_folder);

class QtUi final : public Ui {
 public:
  // Sets the application font to FormFont(). chooser stands in for the folder dialog.
  explicit QtUi(FolderChooser chooser = ChooseFolderWithDialog);
  ~QtUi() override;  // unloads the forms still loaded and restores the pointer
  QtUi(const QtUi&) = delete;
  QtUi& operator=(const QtUi&) = delete;

  // Owned by the active window of the updater; text shown as plain text.
  void MessageBox(std::string_view text, std::string_view title, Icon icon) override;

  void ShowWait(std::string_view title) override;
  void SetWaitLabel(int index, std::string_view text) override;
  // "" once the wait dialog has been unloaded.
  std::string WaitLabel(int index) const override;
  void EnableWaitOk() override;
  void UnloadWait() override;
  void SetWaitProgress(size_t done, size_t total) override;
  void SetWaitDetails(std::string_view text) override;

  // Not nested: true twice and false once gives the default pointer back.
  void SetBusy(bool busy) override;
  void PumpEvents() override;

  // Runs the chooser, owned by frmMlDir while it is loaded; initial_folder is turned into a
  // native path first.
  std::string BrowseForFolder(std::string_view title, std::string_view initial_folder) override;

  // A fresh frmSelectCopySource each time, owned by the active window of the updater and
  // unloaded once it has answered.
  std::string SelectCopySource(const std::vector<std::string>& choices) override;

  // frmMlDir is loaded once: a second call while it is loaded returns the same view, now
  // reporting to the new handler.
  InstallFolderView& LoadInstallFolderDialog(InstallFolderHandler& handler) override;

 private:
  frmWait* LoadedWait() const;
  // Runs a modal dialog with the default pointer: it must answer while the run is busy.
  void ExecWithDefaultPointer(QDialog& dialog);

  FolderChooser chooser_;
  QPointer<QDialog> wait_;
  QPointer<QDialog> ml_dir_;
  bool busy_ = false;
};

// frmSelectCopySource: asks which of several databases the new year's data is built from.
// The caller fills it with AddList, runs it (exec()), then reads SelectListText. cmdOk and the
// window's close button hide the form; it stays loaded for SelectListText.
class frmSelectCopySource final : public QDialog {
 public:
  explicit frmSelectCopySource(QWidget* parent = nullptr);

  // Appends text to lst; the first entry becomes selected when nothing is.
  void AddList(std::string_view text);
  // The selected entry of lst, or "" when nothing is selected.
  std::string SelectListText() const;

 protected:
  void reject() override;  // Esc: this form has no cancel button
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* lbl_comment_;
  QListWidget* lst_;
  QPushButton* cmd_ok_;
};

// What taking a run back gave: exit status (0 done, 1 not all files, kUndoRefused nothing done)
// and the Japanese message for the user.
struct UndoAnswer {
  int exit_status = 0;
  std::string message;
};
inline constexpr int kUndoRefused = 2;
using UndoAction = std::function<UndoAnswer(bool force)>;

// frmUndo: what the last run changed (summary, plain text) with 元に戻す (cmdUndo) and 閉じる
// (cmdClose). 元に戻す calls undo(false); refused, it asks whether to overwrite what changed
// since and then calls undo(true). The answer's message replaces the summary. Deletes itself
// when closed. A null undo leaves 元に戻す disabled.
class frmUndo final : public QDialog {
 public:
  frmUndo(std::string_view title, std::string_view summary, UndoAction undo);

 private:
  void Undo();

  UndoAction undo_;
  QPlainTextEdit* txt_summary_;
  QPushButton* cmd_undo_;
};

}  // namespace kr::ui
