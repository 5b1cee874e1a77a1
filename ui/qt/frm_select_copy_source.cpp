#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "ui/qt/form_layout.h"
#include "ui/qt/qt_ui.h"

namespace kr::ui {

frmSelectCopySource::frmSelectCopySource(QWidget* parent) : QDialog(parent) {
  SetUpForm(*this, "frmSelectCopySource", TwipsSize(6930, 2550));
  setWindowTitle(ToDisplayText(kSelectCopySourceTitle));

  lbl_comment_ = new QLabel(ToDisplayText(kSelectCopySourceQuestion), this);
  lbl_comment_->setObjectName("lblComment");
  PlaceLabel(*lbl_comment_, TwipsRect(225, 180, 6000, 360));

  lst_ = new QListWidget(this);
  lst_->setObjectName("lst");
  lst_->setGeometry(TwipsRect(225, 780, 6480, 1140));
  lst_->setSelectionMode(QAbstractItemView::SingleSelection);

  cmd_ok_ = new QPushButton("OK", this);
  cmd_ok_->setObjectName("cmdOk");
  cmd_ok_->setGeometry(TwipsRect(5493, 2040, 1212, 312));
  cmd_ok_->setDefault(true);
  connect(cmd_ok_, &QPushButton::clicked, this, [this] { accept(); });  // hides; stays loaded
}

void frmSelectCopySource::AddList(std::string_view text) {
  lst_->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  if (lst_->selectedItems().isEmpty()) lst_->setCurrentRow(0);
}

std::string frmSelectCopySource::SelectListText() const {
  const QList<QListWidgetItem*> selected = lst_->selectedItems();
  return selected.isEmpty() ? std::string() : selected.front()->text().toStdString();
}

void frmSelectCopySource::reject() {}

void frmSelectCopySource::closeEvent(QCloseEvent* event) {
  // Like cmdOk: the caller reads the selection afterwards.
  event->accept();
  accept();
}

}  // namespace kr::ui
