#include "ui/qt/frm_ml_dir.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/qt/form_layout.h"

namespace kr::ui {
namespace {

// txtDir: the whole folder is selected whenever the box receives the focus, so that typing
// replaces it.
class FolderBox final : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;

 protected:
  void focusInEvent(QFocusEvent* event) override {
    QLineEdit::focusInEvent(event);
    selectAll();
  }
};

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, QRect place) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(name);
  button->setGeometry(place);
  return button;
}

const QRect kCommentPlace = TwipsRect(180, 180, 6492, 552);
const QRect kComment2Place = TwipsRect(180, 480, 6495, 180);

}  // namespace

frmMlDir::frmMlDir(InstallFolderHandler& handler) : handler_(&handler) {
  SetUpForm(*this, "frmMlDir", TwipsSize(6930, 2550));
  setAttribute(Qt::WA_DeleteOnClose);

  // Created in tab-index order of the design, so the focus chain is right from the start.
  cmd_ok_ = MakeButton(this, "cmdOk", "実行", TwipsRect(4080, 2040, 1212, 312));
  cmd_ok_->setDefault(true);
  cmd_cancel_ = MakeButton(this, "cmdCancel", "キャンセル", TwipsRect(5460, 2040, 1212, 312));
  lbl_comment_ = new QLabel(this);
  lbl_comment_->setObjectName("lblComment");
  fra_path_ = new QGroupBox(this);
  fra_path_->setObjectName("fraPath");
  fra_path_->setGeometry(TwipsRect(180, 900, 6552, 912));
  // Inside the frame, positions count from the frame's top-left corner.
  cmd_dir_ = MakeButton(fra_path_, "cmdDir", "参照(&B)...", TwipsRect(5160, 360, 1212, 312));
  txt_dir_ = new FolderBox(fra_path_);
  txt_dir_->setObjectName("txtDir");
  txt_dir_->setGeometry(TwipsRect(180, 360, 4932, 324));
  lbl_comment2_ = new QLabel(this);
  lbl_comment2_->setObjectName("lblComment2");
  PlaceLabel(*lbl_comment_, kCommentPlace);
  PlaceLabel(*lbl_comment2_, kComment2Place);

  setTabOrder(cmd_ok_, cmd_cancel_);
  setTabOrder(cmd_cancel_, cmd_dir_);
  setTabOrder(cmd_dir_, txt_dir_);

  connect(cmd_ok_, &QPushButton::clicked, this, [this] { Report(&InstallFolderHandler::OnOk); });
  connect(cmd_cancel_, &QPushButton::clicked, this,
          [this] { Report(&InstallFolderHandler::OnCancel); });
  connect(cmd_dir_, &QPushButton::clicked, this,
          [this] { Report(&InstallFolderHandler::OnBrowse); });
}

void frmMlDir::SetTitle(std::string_view title) { setWindowTitle(ToDisplayText(title)); }

void frmMlDir::SetCaptions(std::string_view path_caption, std::string_view comment,
                           std::string_view comment2) {
  fra_path_->setTitle(ToDisplayText(path_caption));
  lbl_comment_->setText(ToDisplayText(comment));
  lbl_comment2_->setText(ToDisplayText(comment2));
  PlaceLabel(*lbl_comment_, kCommentPlace);
  PlaceLabel(*lbl_comment2_, kComment2Place);
}

void frmMlDir::SetFolderText(std::string_view text) { txt_dir_->setText(ToDisplayText(text)); }

std::string frmMlDir::FolderText() const { return txt_dir_->text().toStdString(); }

void frmMlDir::FocusBrowseButton() { cmd_dir_->setFocus(Qt::OtherFocusReason); }

void frmMlDir::Show() {
  if (closed()) return;
  const bool first_time = !isVisible();
  show();
  raise();
  activateWindow();
  if (first_time) cmd_ok_->setFocus(Qt::ActiveWindowFocusReason);  // tab index 0
}

void frmMlDir::Close() {
  if (closed()) return;
  handler_ = nullptr;
  close();  // accepted now; WA_DeleteOnClose deletes the form later
}

void frmMlDir::Report(void (InstallFolderHandler::*member)()) {
  if (handler_ != nullptr) (handler_->*member)();
}

void frmMlDir::reject() {
  // Esc presses the cancel button.
  if (!closed()) cmd_cancel_->click();
}

void frmMlDir::closeEvent(QCloseEvent* event) {
  if (closed()) {
    event->accept();
    return;
  }
  // The close button means Cancel; the handler decides, and closes the form through Close(),
  // whose own close() is swallowed while this one is under way: accept this one instead.
  event->ignore();
  Report(&InstallFolderHandler::OnCancel);
  if (closed()) event->accept();
}

}  // namespace kr::ui
