// frmWait as a run drives it: progress texts painted at once, and no way to close the window
// until the run makes cmdOk usable.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <string>
#include <vector>

#include "tests/ui/qt/qt_testing.h"
#include "ui/qt/qt_ui.h"

namespace kr::ui {
namespace {

using testing::Control;
using testing::DeleteClosedForms;
using testing::FindForm;

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

// Records what a widget shows each time it is painted.
class PaintSpy : public QObject {
 public:
  PaintSpy(QWidget* painted, std::function<QString()> shown) : shown_(std::move(shown)) {
    painted->installEventFilter(this);
  }
  const std::vector<QString>& painted() const { return painted_; }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted_.push_back(shown_());
    return false;
  }

 private:
  std::function<QString()> shown_;
  std::vector<QString> painted_;
};

class WaitDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui_.ShowWait("ケルモラ2019 アップデート");
    form_ = FindForm("frmWait");
    ASSERT_NE(form_, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_));
  }
  void TearDown() override { DeleteClosedForms(); }

  QPushButton* Ok() { return Control<QPushButton>(form_, "cmdOk"); }
  void Press(Qt::Key key) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : form_.data();
    QTest::keyClick(target, key);
  }

  QtUi ui_;
  QPointer<QWidget> form_;
};

TEST_F(WaitDialogTest, OpensWithTitlePleaseWaitAndAnUnusableOkButton) {
  EXPECT_EQ(form_->windowTitle(), Q("ケルモラ2019 アップデート"));
  EXPECT_EQ(Control<QLabel>(form_, "lbl0")->text(), Q("しばらくお待ちください..."));
  EXPECT_EQ(Control<QPlainTextEdit>(form_, "lbl1")->toPlainText(), QString());
  EXPECT_EQ(ui_.WaitLabel(0), "しばらくお待ちください...");
  EXPECT_EQ(ui_.WaitLabel(1), "");
  ASSERT_NE(Ok(), nullptr);
  EXPECT_EQ(Ok()->text(), "OK");
  EXPECT_FALSE(Ok()->isEnabled());
  EXPECT_TRUE(Ok()->isDefault());
}

TEST_F(WaitDialogTest, ControlsSitWhereTheFormWasDesigned) {
  EXPECT_EQ(form_->size(), QSize(462, 170));  // 6930 x 2550 twips
  const QRect lbl0 = Control<QLabel>(form_, "lbl0")->geometry();
  EXPECT_EQ(lbl0.topLeft(), QPoint(16, 16));
  EXPECT_EQ(lbl0.width(), 429);
  EXPECT_GE(lbl0.height(), 33);
  EXPECT_EQ(Control<QWidget>(form_, "lbl1")->geometry(), QRect(16, 56, 429, 65));
  EXPECT_EQ(Ok()->geometry(), QRect(368, 132, 77, 25));
}

TEST_F(WaitDialogTest, NothingClosesItWhileTheRunIsBusy) {
  Press(Qt::Key_Return);
  Press(Qt::Key_Escape);
  form_->close();
  form_->windowHandle()->close();  // the title bar's close button
  Ok()->click();
  QApplication::processEvents();
  ASSERT_FALSE(form_.isNull());
  EXPECT_TRUE(form_->isVisible());
}

TEST_F(WaitDialogTest, EnterClosesItOnceTheRunIsOver) {
  ui_.EnableWaitOk();
  EXPECT_TRUE(Ok()->isEnabled());
  Press(Qt::Key_Return);
  EXPECT_FALSE(form_->isVisible());
  DeleteClosedForms();
  EXPECT_TRUE(form_.isNull());
  EXPECT_EQ(ui_.WaitLabel(0), "");
}

TEST_F(WaitDialogTest, EscClosesItOnceTheRunIsOver) {
  ui_.EnableWaitOk();
  Press(Qt::Key_Escape);
  EXPECT_FALSE(form_->isVisible());
}

TEST_F(WaitDialogTest, OkAndTheCloseButtonCloseItOnceTheRunIsOver) {
  ui_.EnableWaitOk();
  form_->windowHandle()->close();
  EXPECT_FALSE(form_->isVisible());

  ui_.ShowWait("second");
  QWidget* second = FindForm("frmWait");
  ASSERT_NE(second, nullptr);
  ui_.EnableWaitOk();
  Control<QPushButton>(second, "cmdOk")->click();
  EXPECT_EQ(FindForm("frmWait"), nullptr);
}

TEST_F(WaitDialogTest, EachCaptionIsPaintedBeforeSetWaitLabelReturns) {
  auto* lbl0 = Control<QLabel>(form_, "lbl0");
  auto* lbl1 = Control<QPlainTextEdit>(form_, "lbl1");
  PaintSpy spy0(lbl0, [lbl0] { return lbl0->text(); });
  PaintSpy spy1(lbl1->viewport(), [lbl1] { return lbl1->toPlainText(); });

  ui_.SetWaitLabel(1, "KrVal.mdb をインストール中...");
  ASSERT_FALSE(spy1.painted().empty());
  EXPECT_EQ(spy1.painted().back(), Q("KrVal.mdb をインストール中..."));

  ui_.SetWaitLabel(0, "アップデートが完了しました。");
  ASSERT_FALSE(spy0.painted().empty());
  EXPECT_EQ(spy0.painted().back(), Q("アップデートが完了しました。"));
  EXPECT_EQ(ui_.WaitLabel(0), "アップデートが完了しました。");
  EXPECT_EQ(ui_.WaitLabel(1), "KrVal.mdb をインストール中...");
}

TEST_F(WaitDialogTest, AnErrorReportLongerThanTheLabelScrollsAndKeepsItsText) {
  std::string report;
  for (int i = 0; i < 12; ++i) {
    report += "/opt/Kelmora2019/File\\平成31年度\\KrVal" + std::to_string(i) +
              ".mdb\r\nエラー番号=70\r\nエラー内容=書き込みできません。\r\n\r\n";
  }
  ui_.SetWaitLabel(0, "アップデート時にエラーが発生しました。");
  ui_.SetWaitLabel(1, report);
  QApplication::processEvents();

  EXPECT_EQ(ui_.WaitLabel(1), report);  // as the run wrote it, CR LF included
  auto* lbl1 = Control<QPlainTextEdit>(form_, "lbl1");
  EXPECT_FALSE(lbl1->toPlainText().contains('\r'));
  EXPECT_TRUE(lbl1->toPlainText().startsWith(Q("/opt/Kelmora2019/File\\平成31年度\\KrVal0.mdb\n")));
  EXPECT_GT(lbl1->verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(lbl1->verticalScrollBar()->value(), 0);  // the first block shows first
}

TEST_F(WaitDialogTest, UnloadWaitClosesItEvenWhileBusy) {
  ui_.UnloadWait();
  EXPECT_FALSE(form_->isVisible());
  EXPECT_EQ(ui_.WaitLabel(0), "");
  ui_.SetWaitLabel(1, "ignored");  // no form: nothing happens

  ui_.ShowWait("again");
  QWidget* fresh = FindForm("frmWait");
  ASSERT_NE(fresh, nullptr);
  EXPECT_NE(fresh, form_.data());
  EXPECT_EQ(ui_.WaitLabel(0), "しばらくお待ちください...");
  EXPECT_FALSE(Control<QPushButton>(fresh, "cmdOk")->isEnabled());
}

TEST_F(WaitDialogTest, ShowingItAgainKeepsTheOneFormAndItsTexts) {
  ui_.SetWaitLabel(1, "step");
  ui_.ShowWait("renamed");
  EXPECT_EQ(FindForm("frmWait"), form_.data());
  EXPECT_EQ(form_->windowTitle(), "renamed");
  EXPECT_EQ(ui_.WaitLabel(1), "step");
}

}  // namespace
}  // namespace kr::ui
