#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "ui/qt/form_layout.h"
#include "ui/qt/qt_ui.h"

namespace kr::ui {

frmUndo::frmUndo(std::string_view title, std::string_view summary, UndoAction undo)
    : undo_(std::move(undo)) {
  setObjectName("frmUndo");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(ToDisplayText(title));
  resize(560, 420);

  auto* heading =
      new QLabel("前回の更新で変更した内容です。元に戻すと、更新前の状態に戻します。", this);
  heading->setObjectName("lblComment");
  heading->setWordWrap(true);
  txt_summary_ = new QPlainTextEdit(this);
  txt_summary_->setObjectName("txtSummary");
  txt_summary_->setReadOnly(true);
  txt_summary_->setPlainText(ToDisplayText(summary));
  cmd_undo_ = new QPushButton("元に戻す", this);
  cmd_undo_->setObjectName("cmdUndo");
  cmd_undo_->setEnabled(static_cast<bool>(undo_));
  auto* close = new QPushButton("閉じる", this);
  close->setObjectName("cmdClose");
  close->setDefault(true);
  connect(cmd_undo_, &QPushButton::clicked, this, [this] { Undo(); });
  connect(close, &QPushButton::clicked, this, [this] { this->close(); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmd_undo_);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading);
  layout->addWidget(txt_summary_);
  layout->addLayout(buttons);
}

void frmUndo::Undo() {
  UndoAnswer answer = undo_(false);
  if (answer.exit_status == kUndoRefused) {
    // Only the user knows whether what changed since may go.
    auto choice = QMessageBox::question(
        this, windowTitle(),
        ToDisplayText(answer.message + "\n\nそれでも上書きして元に戻しますか？"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (choice != QMessageBox::Yes) return;
    answer = undo_(true);
  }
  txt_summary_->setPlainText(ToDisplayText(answer.message));
  cmd_undo_->setEnabled(answer.exit_status != 0);
}

}  // namespace kr::ui
