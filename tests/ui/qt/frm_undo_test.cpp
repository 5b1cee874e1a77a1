// frmUndo: the last run's summary with 元に戻す; a refusal asks before anything is overwritten.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <vector>

#include "tests/ui/qt/qt_testing.h"
#include "ui/qt/qt_ui.h"

namespace kr::ui {
namespace {

using testing::Control;
using testing::OnModal;
using testing::Q;

struct UndoCalls {
  std::vector<bool> forced;
  std::vector<UndoAnswer> answers;
  UndoAction Action() {
    return [this](bool force) {
      forced.push_back(force);
      UndoAnswer answer = answers.front();
      answers.erase(answers.begin());
      return answer;
    };
  }
};

TEST(FrmUndoTest, UndoShowsTheOutcomeAndCannotBePressedAgainOnceDone) {
  UndoCalls calls{{}, {{0, "更新を元に戻しました（3 件のファイル）。"}}};
  QPointer<frmUndo> form = new frmUndo("更新を元に戻す", "変更したファイル: 3 件", calls.Action());
  form->show();
  auto* summary = Control<QPlainTextEdit>(form, "txtSummary");
  EXPECT_EQ(summary->toPlainText(), Q("変更したファイル: 3 件"));
  Control<QPushButton>(form, "cmdUndo")->click();
  EXPECT_EQ(calls.forced, std::vector<bool>{false});
  EXPECT_EQ(summary->toPlainText(), Q("更新を元に戻しました（3 件のファイル）。"));
  EXPECT_FALSE(Control<QPushButton>(form, "cmdUndo")->isEnabled());
  form->close();
}

TEST(FrmUndoTest, ARefusalAsksAndOnlyYesOverwrites) {
  for (bool yes : {false, true}) {
    SCOPED_TRACE(yes ? "yes" : "no");
    UndoCalls calls{{},
                    {{2, "更新の後で変更されたファイルがあるため"}, {0, "更新を元に戻しました"}}};
    QPointer<frmUndo> form = new frmUndo("更新を元に戻す", "summary", calls.Action());
    form->show();
    OnModal answer([yes](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    Control<QPushButton>(form, "cmdUndo")->click();
    EXPECT_EQ(calls.forced, yes ? (std::vector<bool>{false, true}) : std::vector<bool>{false});
    EXPECT_EQ(Control<QPushButton>(form, "cmdUndo")->isEnabled(), !yes);
    form->close();
  }
}

TEST(FrmUndoTest, WithoutARunToTakeBackUndoCannotBePressed) {
  QPointer<frmUndo> form = new frmUndo("更新を元に戻す", "元に戻せる更新の記録がありません。", {});
  EXPECT_FALSE(Control<QPushButton>(form, "cmdUndo")->isEnabled());
  form->close();
}

}  // namespace
}  // namespace kr::ui
