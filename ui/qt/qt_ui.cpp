#include "ui/qt/qt_ui.h"

#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>

#include "platform/platform.h"
#include "ui/qt/form_layout.h"
#include "ui/qt/frm_ml_dir.h"
#include "ui/qt/frm_wait.h"

namespace kr::ui {
namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The window a message box or the folder browser belongs to: the active window of the
// updater, else frmMlDir or frmWait when one is showing.
QWidget* OwnerWindow(QWidget* ml_dir, QWidget* wait) {
  if (QWidget* active = QApplication::activeWindow()) return active;
  for (QWidget* form : {ml_dir, wait}) {
    if (form != nullptr && form->isVisible()) return form;
  }
  return nullptr;
}

}  // namespace

std::string ChooseFolderWithDialog(QWidget* owner, std::string_view title,
                                   std::string_view initial_folder) {
  const QString chosen = QFileDialog::getExistingDirectory(
      owner, FromUtf8(title), FromUtf8(initial_folder), QFileDialog::ShowDirsOnly);
  return chosen.toStdString();  // a null QString when cancelled, so ""
}

QtUi::QtUi(FolderChooser chooser) : chooser_(std::move(chooser)) {
  QApplication::setFont(FormFont());
}

QtUi::~QtUi() {
  SetBusy(false);
  delete wait_.data();
  delete ml_dir_.data();
}

void QtUi::MessageBox(std::string_view text, std::string_view title, Icon icon) {
  QMessageBox box(icon == Icon::kCritical ? QMessageBox::Critical : QMessageBox::NoIcon,
                  FromUtf8(title), ToDisplayText(text), QMessageBox::Ok,
                  OwnerWindow(ml_dir_, wait_));
  box.setObjectName("MessageBox");
  box.setTextFormat(Qt::PlainText);  // texts hold file names, never markup
  box.setFont(FormFont());
  box.button(QMessageBox::Ok)->setIcon(QIcon());  // a plain OK, as on the original's boxes
  ExecWithDefaultPointer(box);
}

void QtUi::ExecWithDefaultPointer(QDialog& dialog) {
  const bool was_busy = busy_;
  SetBusy(false);
  dialog.exec();
  SetBusy(was_busy);
}

frmWait* QtUi::LoadedWait() const {
  auto* form = static_cast<frmWait*>(wait_.data());
  return form != nullptr && !form->unloaded() ? form : nullptr;
}

void QtUi::ShowWait(std::string_view title) {
  frmWait* form = LoadedWait();
  if (form == nullptr) {
    form = new frmWait(title);
    wait_ = form;
  } else {
    form->setWindowTitle(ToDisplayText(title));
  }
  form->show();
  form->raise();
  form->activateWindow();
  // Paint the whole form now: the run that follows may not pump events for a while.
  form->repaint();
}

void QtUi::SetWaitLabel(int index, std::string_view text) {
  if (frmWait* form = LoadedWait()) form->SetLabel(index, text);
}

std::string QtUi::WaitLabel(int index) const {
  const frmWait* form = LoadedWait();
  return form != nullptr ? form->Label(index) : std::string();
}

void QtUi::EnableWaitOk() {
  if (frmWait* form = LoadedWait()) form->EnableOk();
}

void QtUi::SetWaitProgress(size_t done, size_t total) {
  if (frmWait* form = LoadedWait()) form->SetProgress(done, total);
}

void QtUi::SetWaitDetails(std::string_view text) {
  if (frmWait* form = LoadedWait()) form->SetDetails(text);
}

void QtUi::UnloadWait() {
  if (frmWait* form = LoadedWait()) form->Unload();
  wait_ = nullptr;
}

void QtUi::SetBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void QtUi::PumpEvents() { QCoreApplication::processEvents(); }

std::string QtUi::BrowseForFolder(std::string_view title, std::string_view initial_folder) {
  const std::string native =
      initial_folder.empty() ? std::string() : platform::NativePath(initial_folder);
  QWidget* owner =
      ml_dir_ != nullptr && ml_dir_->isVisible() ? ml_dir_.data() : OwnerWindow(nullptr, wait_);
  return chooser_(owner, title, native);
}

std::string QtUi::SelectCopySource(const std::vector<std::string>& choices) {
  frmSelectCopySource form(OwnerWindow(ml_dir_, wait_));
  for (const std::string& choice : choices) form.AddList(choice);
  ExecWithDefaultPointer(form);
  return form.SelectListText();
}

InstallFolderView& QtUi::LoadInstallFolderDialog(InstallFolderHandler& handler) {
  auto* form = static_cast<frmMlDir*>(ml_dir_.data());
  if (form != nullptr && !form->closed()) {
    form->SetHandler(handler);
    return *form;
  }
  form = new frmMlDir(handler);
  ml_dir_ = form;
  return *form;
}

}  // namespace kr::ui
