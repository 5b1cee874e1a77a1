#include "ui/qt/frm_wait.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextOption>
#include <QVBoxLayout>
#include <algorithm>
#include <cassert>

#include "ui/qt/form_layout.h"

namespace kr::ui {
namespace {

constexpr char kInitialText[] = "しばらくお待ちください...";
constexpr char kDetailsTitle[] = "アップデートの詳細";

QPlainTextEdit* MakeLabelLikeText(QWidget* parent) {
  auto* text = new QPlainTextEdit(parent);
  text->setReadOnly(true);
  text->setFrameShape(QFrame::NoFrame);
  text->setFocusPolicy(Qt::NoFocus);  // Enter and Esc stay with the form
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  text->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  text->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);  // long paths wrap too
  text->document()->setDocumentMargin(0);
  text->viewport()->setAutoFillBackground(false);
  QPalette palette = text->palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::Window));
  text->setPalette(palette);
  return text;
}

}  // namespace

frmWait::frmWait(std::string_view title) {
  SetUpForm(*this, "frmWait", TwipsSize(6930, 2550));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(ToDisplayText(title));

  lbl0_ = new QLabel(this);
  lbl0_->setObjectName("lbl0");
  lbl1_ = MakeLabelLikeText(this);
  lbl1_->setObjectName("lbl1");
  lbl1_->setGeometry(TwipsRect(240, 840, 6432, 972));

  cmd_ok_ = new QPushButton("OK", this);
  cmd_ok_->setObjectName("cmdOk");
  cmd_ok_->setGeometry(TwipsRect(5520, 1980, 1152, 372));
  cmd_ok_->setDefault(true);
  cmd_ok_->setEnabled(false);
  connect(cmd_ok_, &QPushButton::clicked, this, [this] { close(); });

  progress_ = new QProgressBar(this);
  progress_->setObjectName("prgRun");
  progress_->setGeometry(TwipsRect(240, 2010, 3720, 312));
  progress_->setRange(0, 1);
  progress_->setValue(0);
  progress_->setTextVisible(false);

  cmd_details_ = new QPushButton("詳細…", this);
  cmd_details_->setObjectName("cmdDetails");
  cmd_details_->setGeometry(TwipsRect(4200, 1980, 1152, 372));
  cmd_details_->setAutoDefault(false);
  cmd_details_->setVisible(false);
  connect(cmd_details_, &QPushButton::clicked, this, [this] { ShowDetails(); });

  texts_[0] = kInitialText;
  lbl0_->setText(kInitialText);
  PlaceLabel(*lbl0_, TwipsRect(240, 240, 6432, 492));
}

void frmWait::SetLabel(int index, std::string_view text) {
  assert(index == 0 || index == 1);
  if (index != 0 && index != 1) return;
  texts_[index] = std::string(text);
  if (index == 0) {
    lbl0_->setText(ToDisplayText(text));
    PlaceLabel(*lbl0_, TwipsRect(240, 240, 6432, 492));
    lbl0_->repaint();
  } else {
    lbl1_->setPlainText(ToDisplayText(text));
    lbl1_->verticalScrollBar()->setValue(0);
    lbl1_->viewport()->repaint();
  }
}

std::string frmWait::Label(int index) const {
  return index == 0 || index == 1 ? texts_[index] : std::string();
}

void frmWait::SetProgress(size_t done, size_t total) {
  // QProgressBar counts in int; a run never has that many steps, but the bar must not wrap.
  constexpr size_t kMost = 1'000'000;
  total = std::min(std::max<size_t>(total, 1), kMost);
  progress_->setRange(0, static_cast<int>(total));
  progress_->setValue(static_cast<int>(std::min(done, total)));
}

void frmWait::SetDetails(std::string_view text) { details_text_ = std::string(text); }

void frmWait::EnableOk() {
  ok_usable_ = true;
  cmd_ok_->setEnabled(true);
  cmd_ok_->setFocus();
  progress_->setValue(progress_->maximum());
  cmd_details_->setVisible(!details_text_.empty());
}

// Beside frmWait, not over it: OK stays usable while the details are read.
void frmWait::ShowDetails() {
  if (details_ == nullptr) {
    details_ = new QDialog(this);
    details_->setObjectName("frmDetails");
    details_->setWindowTitle(kDetailsTitle);
    details_->resize(640, 420);
    auto* layout = new QVBoxLayout(details_);
    auto* text = new QPlainTextEdit(details_);
    text->setObjectName("txtDetails");
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::WidgetWidth);  // a long failure reads without scrolling
    text->setPlainText(ToDisplayText(details_text_));
    layout->addWidget(text);
    auto* close = new QPushButton("閉じる", details_);
    close->setObjectName("cmdClose");
    connect(close, &QPushButton::clicked, details_, &QDialog::close);
    layout->addWidget(close, 0, Qt::AlignRight);
  }
  details_->show();
  details_->raise();
}

void frmWait::Unload() {
  unloading_ = true;
  close();
}

void frmWait::reject() {
  // Esc: cmdOk is also the cancel button, so Esc does what cmdOk does, once it can.
  if (ok_usable_) cmd_ok_->click();
}

void frmWait::closeEvent(QCloseEvent* event) {
  if (!ok_usable_ && !unloading_) {
    event->ignore();
    return;
  }
  unloaded_ = true;
  event->accept();
}

}  // namespace kr::ui
