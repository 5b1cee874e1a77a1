// frmWait as a run drives it: progress texts painted at once, and no way to close the window
// until the run makes cmdOk usable.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <functional>
#include <string>

#include "tests/ui/qt/qt_testing.h"
#include "ui/qt/qt_ui.h"

namespace kr::ui {
namespace {

using testing::Control;
using testing::FindForm;
using testing::Q;

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    paints += event->type() == QEvent::Paint ? 1 : 0;
    return false;
  }
  int paints = 0;
};

class WaitDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Show("ケルモラ2019 アップデート")); }
  void TearDown() override { testing::DeleteClosedForms(); }

  bool Show(const char* title) {
    ui_.ShowWait(title);
    form_ = FindForm("frmWait");
    return form_ != nullptr && QTest::qWaitForWindowExposed(form_);
  }
  QPushButton* Ok() { return Control<QPushButton>(form_, "cmdOk"); }
  QLabel* Lbl0() { return Control<QLabel>(form_, "lbl0"); }
  QPlainTextEdit* Lbl1() { return Control<QPlainTextEdit>(form_, "lbl1"); }
  void Press(Qt::Key key) {
    QTest::keyClick(form_->focusWidget() ? form_->focusWidget() : form_.data(), key);
  }

  QtUi ui_;
  QPointer<QWidget> form_;
};

TEST_F(WaitDialogTest, OpensWithPleaseWaitAndAnOkButtonUsableOnlyOnceTheRunIsOver) {
  EXPECT_EQ(form_->windowTitle(), Q("ケルモラ2019 アップデート"));
  EXPECT_EQ(Lbl0()->text(), Q("しばらくお待ちください..."));
  EXPECT_EQ(Lbl1()->toPlainText(), QString());
  EXPECT_EQ(Ok()->text(), "OK");
  EXPECT_TRUE(Ok()->isDefault());

  const std::pair<const char*, std::function<void()>> closers[] = {
      {"Enter", [&] { Press(Qt::Key_Return); }},
      {"Esc", [&] { Press(Qt::Key_Escape); }},
      {"OK", [&] { Ok()->click(); }},
      {"close button", [&] { form_->windowHandle()->close(); }},
  };
  for (const auto& [name, close] : closers) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(Show(name));
    EXPECT_FALSE(Ok()->isEnabled());
    close();
    QApplication::processEvents();
    EXPECT_EQ(FindForm("frmWait"), form_.data()) << "closed while the run was busy";
    ui_.EnableWaitOk();
    close();
    EXPECT_EQ(FindForm("frmWait"), nullptr);
    testing::DeleteClosedForms();
    EXPECT_TRUE(form_.isNull());
    EXPECT_EQ(ui_.WaitLabel(0), "");
  }
}

TEST_F(WaitDialogTest, EachCaptionIsPaintedBeforeSetWaitLabelReturns) {
  PaintCounter lbl0(Lbl0()), lbl1(Lbl1()->viewport());
  ui_.SetWaitLabel(1, "KrVal.mdb をインストール中...");
  EXPECT_GT(lbl1.paints, 0);
  ui_.SetWaitLabel(0, "アップデートが完了しました。");
  EXPECT_GT(lbl0.paints, 0);
  EXPECT_EQ(Lbl0()->text(), Q("アップデートが完了しました。"));
  EXPECT_EQ(ui_.WaitLabel(1), "KrVal.mdb をインストール中...");
}

TEST_F(WaitDialogTest, AnErrorReportLongerThanTheLabelScrollsFromItsFirstBlock) {
  std::string report;
  for (int i = 0; i < 12; ++i) {
    report += "/opt/File\\KrVal" + std::to_string(i) + ".mdb\r\nエラー番号=70\r\n\r\n";
  }
  ui_.SetWaitLabel(1, report);
  QApplication::processEvents();
  EXPECT_EQ(ui_.WaitLabel(1), report);  // as the run wrote it, CR LF included
  EXPECT_TRUE(Lbl1()->toPlainText().startsWith(Q("/opt/File\\KrVal0.mdb\nエラー番号=70\n\n")));
  EXPECT_GT(Lbl1()->verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(Lbl1()->verticalScrollBar()->value(), 0);
}

TEST_F(WaitDialogTest, UnloadWaitClosesItEvenWhileBusy) {
  ui_.UnloadWait();
  EXPECT_EQ(FindForm("frmWait"), nullptr);
  EXPECT_EQ(ui_.WaitLabel(0), "");
  ui_.SetWaitLabel(1, "ignored");  // no form: nothing happens
}

}  // namespace
}  // namespace kr::ui
