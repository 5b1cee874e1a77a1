// frmMlDir, the install-folder dialog, as a view: it shows what the core sets and reports the
// user's clicks to an InstallFolderHandler. Internal to ui/qt; reached through QtUi.
#pragma once

#include <QDialog>
#include <string>
#include <string_view>

#include "ui/ui.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kr::ui {

class frmMlDir final : public QDialog, public InstallFolderView {
 public:
  explicit frmMlDir(InstallFolderHandler& handler);

  // The handler that hears the controls from now on.
  void SetHandler(InstallFolderHandler& handler) { handler_ = &handler; }
  // True once Close() has run; the form is deleted at the next turn of the event loop.
  bool closed() const { return handler_ == nullptr; }

  void SetTitle(std::string_view title) override;
  void SetCaptions(std::string_view path_caption, std::string_view comment,
                   std::string_view comment2) override;
  void SetFolderText(std::string_view text) override;
  std::string FolderText() const override;
  void FocusBrowseButton() override;
  void Show() override;
  void Close() override;

 protected:
  void reject() override;                        // Esc
  void closeEvent(QCloseEvent* event) override;  // the window's close button

 private:
  // Calls one member of the handler unless the form has been closed.
  void Report(void (InstallFolderHandler::*member)());

  InstallFolderHandler* handler_;
  QLabel* lbl_comment_;
  QLabel* lbl_comment2_;
  QGroupBox* fra_path_;
  QLineEdit* txt_dir_;
  QPushButton* cmd_dir_;
  QPushButton* cmd_ok_;
  QPushButton* cmd_cancel_;
};

}  // namespace kr::ui
