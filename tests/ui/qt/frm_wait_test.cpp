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
using testing::Q;

// What a widget showed each time it was painted.
class PaintSpy : public QObject {
 public:
  PaintSpy(QWidget* painted, std::function<QString()> shown) : shown_(std::move(shown)) {
    painted->installEventFilter(this);
  }
  std::vector<QString> painted;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted.push_back(shown_());
    return false;
  }

 private:
  std::function<QString()> shown_;
};

class WaitDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Show("ケルモラ2019 アップデート")); }
  void TearDown() override { DeleteClosedForms(); }

  bool Show(const char* title) {
    ui_.ShowWait(title);
    form_ = FindForm("frmWait");
    return form_ != nullptr && QTest::qWaitForWindowExposed(form_);
  }
  QPushButton* Ok() { return Control<QPushButton>(form_, "cmdOk"); }
  QPlainTextEdit* Lbl1() { return Control<QPlainTextEdit>(form_, "lbl1"); }
  void Press(Qt::Key key) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : form_.data();
    QTest::keyClick(target, key);
  }

  QtUi ui_;
  QPointer<QWidget> form_;
};

TEST_F(WaitDialogTest, NothingClosesItWhileTheRunIsBusy) {
  EXPECT_EQ(form_->windowTitle(), Q("ケルモラ2019 アップデート"));
  EXPECT_EQ(Control<QLabel>(form_, "lbl0")->text(), Q("しばらくお待ちください..."));
  EXPECT_EQ(Lbl1()->toPlainText(), QString());
  EXPECT_EQ(Ok()->text(), "OK");
  EXPECT_TRUE(Ok()->isDefault());
  EXPECT_FALSE(Ok()->isEnabled());

  Press(Qt::Key_Return);
  Press(Qt::Key_Escape);
  form_->close();
  form_->windowHandle()->close();  // the title bar's close button
  Ok()->click();
  QApplication::processEvents();
  ASSERT_FALSE(form_.isNull());
  EXPECT_TRUE(form_->isVisible());
}

TEST_F(WaitDialogTest, EnterEscOkOrTheCloseButtonCloseItOnceTheRunIsOver) {
  const std::pair<const char*, std::function<void()>> closers[] = {
      {"Enter", [&] { Press(Qt::Key_Return); }},
      {"Esc", [&] { Press(Qt::Key_Escape); }},
      {"OK", [&] { Ok()->click(); }},
      {"close button", [&] { form_->windowHandle()->close(); }},
  };
  for (const auto& [name, close] : closers) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(Show(name));
    ui_.EnableWaitOk();
    EXPECT_TRUE(Ok()->isEnabled());
    close();
    EXPECT_EQ(FindForm("frmWait"), nullptr);
    DeleteClosedForms();
    EXPECT_TRUE(form_.isNull());
    EXPECT_EQ(ui_.WaitLabel(0), "");
  }
}

TEST_F(WaitDialogTest, EachCaptionIsPaintedBeforeSetWaitLabelReturns) {
  auto* lbl0 = Control<QLabel>(form_, "lbl0");
  PaintSpy spy0(lbl0, [lbl0] { return lbl0->text(); });
  PaintSpy spy1(Lbl1()->viewport(), [this] { return Lbl1()->toPlainText(); });
  ui_.SetWaitLabel(1, "KrVal.mdb をインストール中...");
  ASSERT_FALSE(spy1.painted.empty());
  EXPECT_EQ(spy1.painted.back(), Q("KrVal.mdb をインストール中..."));
  ui_.SetWaitLabel(0, "アップデートが完了しました。");
  ASSERT_FALSE(spy0.painted.empty());
  EXPECT_EQ(spy0.painted.back(), Q("アップデートが完了しました。"));
  EXPECT_EQ(ui_.WaitLabel(0), "アップデートが完了しました。");
  EXPECT_EQ(ui_.WaitLabel(1), "KrVal.mdb をインストール中...");
}

TEST_F(WaitDialogTest, AnErrorReportLongerThanTheLabelScrollsFromItsFirstBlock) {
  std::string report;
  for (int i = 0; i < 12; ++i) {
    report += "/opt/File\\平成31年度\\KrVal" + std::to_string(i) +
              ".mdb\r\nエラー番号=70\r\nエラー内容=書き込みできません。\r\n\r\n";
  }
  ui_.SetWaitLabel(1, report);
  QApplication::processEvents();
  EXPECT_EQ(ui_.WaitLabel(1), report);  // as the run wrote it, CR LF included
  EXPECT_TRUE(Lbl1()->toPlainText().startsWith(Q("/opt/File\\平成31年度\\KrVal0.mdb\nエラー")));
  EXPECT_GT(Lbl1()->verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(Lbl1()->verticalScrollBar()->value(), 0);
}

TEST_F(WaitDialogTest, ShowingAgainKeepsTheFormButUnloadWaitClosesItEvenWhileBusy) {
  ui_.SetWaitLabel(1, "step");
  QPointer<QWidget> first = form_;
  ASSERT_TRUE(Show("renamed"));
  EXPECT_EQ(form_, first);
  EXPECT_EQ(form_->windowTitle(), "renamed");
  EXPECT_EQ(ui_.WaitLabel(1), "step");

  ui_.UnloadWait();
  EXPECT_FALSE(first->isVisible());
  EXPECT_EQ(ui_.WaitLabel(0), "");
  ui_.SetWaitLabel(1, "ignored");  // no form: nothing happens
  ASSERT_TRUE(Show("again"));
  EXPECT_NE(form_, first);
  EXPECT_EQ(ui_.WaitLabel(0), "しばらくお待ちください...");
  EXPECT_FALSE(Ok()->isEnabled());
}

}  // namespace
}  // namespace kr::ui
