// The desktop program's message boxes, pointer, frmSelectCopySource and frmWait.
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <string>

#include "tests/ui/qt/qt_testing.h"
#include "ui/qt/qt_ui.h"

namespace kr::ui {
namespace {

using testing::BoxShownBy;
using testing::Control;
using testing::FindForm;
using testing::Q;

TEST(MessageBoxTest, ShowsTitlePlainTextIconAndOneOkButtonWithTheNormalPointer) {
  {
    QtUi ui;
    ui.SetBusy(true);
    ui.SetBusy(true);
    auto seen = BoxShownBy([&] {
      ui.MessageBox("<b>a&b</b>.mdb は\r\nバージョンが違います。", "ケルモラ2019", Icon::kCritical);
    });
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->title, Q("ケルモラ2019"));
    EXPECT_EQ(seen->text, Q("<b>a&b</b>.mdb は\nバージョンが違います。"));
    EXPECT_EQ(seen->icon, QMessageBox::Critical);
    EXPECT_EQ(seen->buttons, 1);
    EXPECT_TRUE(seen->plain_text);  // file names that look like markup are shown as written
    EXPECT_FALSE(seen->busy_pointer);
    EXPECT_EQ(BoxShownBy([&] { ui.MessageBox("完了", "メッセージ", Icon::kNone); })->icon,
              QMessageBox::NoIcon);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);  // the hourglass is back
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ui.SetBusy(false);  // a state, not a counter
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ui.SetBusy(true);
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the UI gives the pointer back
}

TEST(SelectCopySourceTest, AsksWithTheFirstEntrySelectedIgnoresEscAndOkKeepsTheChoice) {
  frmSelectCopySource form;
  // The two-line question (its words are the console's too) stays clear of the list below it.
  auto* comment = Control<QLabel>(&form, "lblComment");
  EXPECT_GE(comment->height(), 2 * comment->fontMetrics().lineSpacing());
  EXPECT_LE(comment->geometry().bottom(), Control(&form, "lst")->geometry().top());

  EXPECT_EQ(form.SelectListText(), "");
  form.AddList("2019年度(令和2年3月労務更新)");
  form.AddList("平成31年度");
  EXPECT_EQ(form.SelectListText(), "2019年度(令和2年3月労務更新)");
  QTimer::singleShot(0, [&] {
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());
    Control<QListWidget>(&form, "lst")->setCurrentRow(1);
    QTest::keyClick(&form, Qt::Key_Return);  // cmdOk is the default button
  });
  form.exec();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.SelectListText(), "平成31年度");
}

TEST(SelectCopySourceTest, TheUiAsksOverTheWaitDialogAndReturnsTheEntryTheUserSelected) {
  QtUi ui;
  ui.ShowWait("ケルモラ2019 アップデート");
  ui.SetBusy(true);
  QWidget* owner = nullptr;
  int entries = 0, preselected = -1;
  bool busy_pointer = true;
  testing::OnModal choose([&](QWidget* modal) {
    owner = modal->parentWidget();
    busy_pointer = QApplication::overrideCursor() != nullptr;
    if (auto* lst = Control<QListWidget>(modal, "lst")) {
      entries = lst->count();
      preselected = lst->currentRow();
      lst->setCurrentRow(2);
    }
    modal->close();  // the close button counts as OK
  });
  EXPECT_EQ(ui.SelectCopySource({"2019年度(令和2年3月労務更新)", "平成31年度", "平成30年度"}),
            "平成30年度");
  EXPECT_EQ(entries, 3);
  EXPECT_EQ(preselected, 0);
  EXPECT_EQ(owner, FindForm("frmWait"));
  EXPECT_FALSE(busy_pointer);
  EXPECT_NE(QApplication::overrideCursor(), nullptr);  // the hourglass is back
  EXPECT_EQ(FindForm("frmSelectCopySource"), nullptr);
}

TEST(SelectCopySourceTest, AnEmptyListStillAsksAndAnswersNothing) {
  QtUi ui;
  bool asked = false;
  testing::OnModal press_ok([&](QWidget* modal) {
    asked = modal->objectName() == QLatin1String("frmSelectCopySource");
    if (auto* ok = Control<QPushButton>(modal, "cmdOk")) {
      ok->click();
    } else {
      modal->close();  // never leave the test waiting on the dialog
    }
  });
  EXPECT_EQ(ui.SelectCopySource({}), "");
  EXPECT_TRUE(asked);
}

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
    ASSERT_TRUE(form_ && form_->isVisible()) << "closed while the run was busy";
    ui_.EnableWaitOk();
    close();
    EXPECT_EQ(FindForm("frmWait"), nullptr);
  }
}

TEST_F(WaitDialogTest, EachCaptionIsPaintedBeforeSetWaitLabelReturns) {
  PaintCounter lbl0(Lbl0()), lbl1(Lbl1()->viewport());
  ui_.SetWaitLabel(1, "KrVal.mdb をインストール中...");
  EXPECT_GT(lbl1.paints, 0);
  ui_.SetWaitLabel(0, "アップデートが完了しました。");
  EXPECT_GT(lbl0.paints, 0);
}

TEST_F(WaitDialogTest, AnErrorReportLongerThanTheLabelScrollsFromItsFirstBlock) {
  std::string report;
  for (int i = 0; i < 12; ++i)
    report += "KrVal" + std::to_string(i) + ".mdb\r\nエラー番号=70\r\n\r\n";
  ui_.SetWaitLabel(1, report);
  EXPECT_EQ(ui_.WaitLabel(1), report);  // as the run wrote it, CR LF included
  EXPECT_TRUE(Lbl1()->toPlainText().startsWith(Q("KrVal0.mdb\nエラー番号=70\n\nKrVal1.mdb")));
  EXPECT_GT(Lbl1()->verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(Lbl1()->verticalScrollBar()->value(), 0);
}

TEST_F(WaitDialogTest, TheBarFollowsTheRunAndDetailsShowTheSummaryOnceTheRunIsOver) {
  auto* bar = Control<QProgressBar>(form_, "prgRun");
  auto* details = Control<QPushButton>(form_, "cmdDetails");
  ASSERT_NE(bar, nullptr);
  ASSERT_NE(details, nullptr);
  ui_.SetWaitProgress(3, 12);
  EXPECT_EQ(bar->maximum(), 12);
  EXPECT_EQ(bar->value(), 3);
  ui_.SetWaitDetails("アップデートの記録\nUpdate2019ValR0111:\n");
  EXPECT_FALSE(details->isVisible());  // not while the run goes on
  ui_.EnableWaitOk();
  EXPECT_EQ(bar->value(), 12);
  ASSERT_TRUE(details->isVisible());
  details->click();
  QWidget* window = form_->findChild<QDialog*>(QLatin1String("frmDetails"));
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(Control<QPlainTextEdit>(window, "txtDetails")->toPlainText(),
            Q("アップデートの記録\nUpdate2019ValR0111:\n"));
  Ok()->click();  // OK still ends the dialog, details and all
  EXPECT_EQ(FindForm("frmWait"), nullptr);
}

TEST_F(WaitDialogTest, UnloadWaitClosesItEvenWhileBusy) {
  ui_.UnloadWait();
  EXPECT_EQ(FindForm("frmWait"), nullptr);
  EXPECT_EQ(ui_.WaitLabel(0), "");
  ui_.SetWaitLabel(1, "ignored");  // no form: nothing happens
}

}  // namespace
}  // namespace kr::ui
