// frmMlDir as a view: what the core sets is shown, and every way a user can press a button
// reaches the handler, until the form is closed.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
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

// Records the clicks; like the real controller, Cancel closes the dialog when asked to.
class RecordingHandler final : public InstallFolderHandler {
 public:
  void OnBrowse() override { calls.push_back("browse"); }
  void OnOk() override { calls.push_back("ok"); }
  void OnCancel() override {
    calls.push_back("cancel");
    if (close_on_cancel && view != nullptr) view->Close();
  }

  std::vector<std::string> calls;
  InstallFolderView* view = nullptr;
  bool close_on_cancel = false;
};

class InstallFolderDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view_ = &ui_.LoadInstallFolderDialog(handler_);
    handler_.view = view_;
    view_->SetTitle("ケルモラ2019 アップデート");
    view_->SetCaptions("インストール先", "インストール先を指定してください。", "二行目の説明");
    view_->SetFolderText("/opt/Kelmora2019/");
    view_->Show();
    form_ = FindForm("frmMlDir");
    ASSERT_NE(form_, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_));
  }
  void TearDown() override { DeleteClosedForms(); }

  template <class T = QWidget>
  T* Find(const char* name) {
    T* control = Control<T>(form_, name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  QString Focused() {
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? focus->objectName() : QString("(none)");
  }
  void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
  }

  QtUi ui_;
  RecordingHandler handler_;
  InstallFolderView* view_ = nullptr;
  QPointer<QWidget> form_;
};

TEST_F(InstallFolderDialogTest, ShowsTheTitleCaptionsAndProposedFolder) {
  EXPECT_EQ(form_->windowTitle(), Q("ケルモラ2019 アップデート"));
  EXPECT_EQ(Find<QGroupBox>("fraPath")->title(), Q("インストール先"));
  EXPECT_EQ(Find<QLabel>("lblComment")->text(), Q("インストール先を指定してください。"));
  EXPECT_EQ(Find<QLabel>("lblComment2")->text(), Q("二行目の説明"));
  EXPECT_EQ(Find<QLineEdit>("txtDir")->text(), "/opt/Kelmora2019/");
  EXPECT_EQ(view_->FolderText(), "/opt/Kelmora2019/");
  EXPECT_EQ(Find<QPushButton>("cmdOk")->text(), Q("実行"));
  EXPECT_EQ(Find<QPushButton>("cmdCancel")->text(), Q("キャンセル"));
  EXPECT_EQ(Find<QPushButton>("cmdDir")->text(), Q("参照(&B)..."));
}

TEST_F(InstallFolderDialogTest, ControlsSitWhereTheFormWasDesigned) {
  EXPECT_EQ(form_->size(), QSize(462, 170));
  EXPECT_EQ(Find("fraPath")->geometry(), QRect(12, 60, 437, 61));
  // Inside the frame, placed from the frame's corner.
  EXPECT_EQ(Find("txtDir")->parentWidget(), Find("fraPath"));
  EXPECT_EQ(Find("txtDir")->geometry(), QRect(12, 24, 329, 22));
  EXPECT_EQ(Find("cmdDir")->parentWidget(), Find("fraPath"));
  EXPECT_EQ(Find("cmdDir")->geometry(), QRect(344, 24, 81, 21));
  EXPECT_EQ(Find("cmdOk")->geometry(), QRect(272, 136, 81, 21));
  EXPECT_EQ(Find("cmdCancel")->geometry(), QRect(364, 136, 81, 21));
  EXPECT_EQ(Find("lblComment")->geometry().topLeft(), QPoint(12, 12));
  EXPECT_EQ(Find("lblComment2")->geometry().topLeft(), QPoint(12, 32));
}

TEST_F(InstallFolderDialogTest, ACaptionTallerThanItsLabelIsNotCutOff) {
  auto* comment2 = Find<QLabel>("lblComment2");
  EXPECT_GE(comment2->height(), comment2->fontMetrics().height());
  EXPECT_LE(comment2->geometry().bottom(), Find("fraPath")->geometry().top());
}

TEST_F(InstallFolderDialogTest, TabWalksRunCancelBrowseFolderInThatOrder) {
  EXPECT_EQ(Focused(), "cmdOk");  // tab index 0 has the focus when the form opens
  Press(Qt::Key_Tab);
  EXPECT_EQ(Focused(), "cmdCancel");
  Press(Qt::Key_Tab);
  EXPECT_EQ(Focused(), "cmdDir");
  Press(Qt::Key_Tab);
  EXPECT_EQ(Focused(), "txtDir");
  Press(Qt::Key_Tab);
  EXPECT_EQ(Focused(), "cmdOk");
  Press(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(Focused(), "txtDir");
}

TEST_F(InstallFolderDialogTest, TheFolderBoxSelectsAllOfItsTextOnFocus) {
  auto* box = Find<QLineEdit>("txtDir");
  box->setText("/srv/other/");
  box->setCursorPosition(3);
  box->deselect();
  Find("cmdDir")->setFocus(Qt::MouseFocusReason);
  box->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(box->selectedText(), "/srv/other/");
  QTest::keyClicks(box, "/x/");
  EXPECT_EQ(view_->FolderText(), "/x/");  // typing replaces the proposal
}

TEST_F(InstallFolderDialogTest, EnterInTheFolderBoxRunsTheDefaultButton) {
  Find("txtDir")->setFocus();
  Press(Qt::Key_Return);
  EXPECT_EQ(handler_.calls, std::vector<std::string>{"ok"});
}

TEST_F(InstallFolderDialogTest, EscPressesCancel) {
  Find("txtDir")->setFocus();
  Press(Qt::Key_Escape);
  EXPECT_EQ(handler_.calls, std::vector<std::string>{"cancel"});
  EXPECT_TRUE(form_->isVisible());  // the handler decides whether the dialog goes
}

TEST_F(InstallFolderDialogTest, ButtonsAndAltBReachTheHandler) {
  Find<QPushButton>("cmdDir")->click();
  Find<QPushButton>("cmdOk")->click();
  Find<QPushButton>("cmdCancel")->click();
  EXPECT_EQ(Find<QPushButton>("cmdDir")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_B));
  Press(Qt::Key_B, Qt::AltModifier);
  // A mnemonic presses the button visibly, so the click follows a moment later.
  EXPECT_TRUE(QTest::qWaitFor([this] { return handler_.calls.size() == 4; }, 2000));
  EXPECT_EQ(handler_.calls, (std::vector<std::string>{"browse", "ok", "cancel", "browse"}));
}

TEST_F(InstallFolderDialogTest, TheCloseButtonMeansCancel) {
  handler_.close_on_cancel = true;
  form_->windowHandle()->close();
  EXPECT_EQ(handler_.calls, std::vector<std::string>{"cancel"});
  EXPECT_FALSE(form_->isVisible());
  DeleteClosedForms();
  EXPECT_TRUE(form_.isNull());
}

TEST_F(InstallFolderDialogTest, TheCloseButtonLeavesTheFormUpWhenTheHandlerKeepsIt) {
  form_->windowHandle()->close();
  EXPECT_EQ(handler_.calls, std::vector<std::string>{"cancel"});
  EXPECT_TRUE(form_->isVisible());
}

TEST_F(InstallFolderDialogTest, AfterCloseNoHandlerIsCalled) {
  QPointer<QPushButton> ok = Find<QPushButton>("cmdOk");
  view_->Close();
  EXPECT_FALSE(form_->isVisible());
  ok->click();  // still there until the event loop deletes it
  QTest::keyClick(form_, Qt::Key_Escape);
  EXPECT_TRUE(handler_.calls.empty());
  DeleteClosedForms();
  EXPECT_TRUE(form_.isNull());
}

TEST_F(InstallFolderDialogTest, FocusBrowseButtonMovesTheFocusToBrowse) {
  view_->FocusBrowseButton();
  EXPECT_EQ(Focused(), "cmdDir");
}

TEST_F(InstallFolderDialogTest, LoadingAgainReturnsTheSameFormForTheNewHandler) {
  RecordingHandler other;
  InstallFolderView& again = ui_.LoadInstallFolderDialog(other);
  EXPECT_EQ(&again, view_);
  Find<QPushButton>("cmdOk")->click();
  EXPECT_TRUE(handler_.calls.empty());
  EXPECT_EQ(other.calls, std::vector<std::string>{"ok"});
}

}  // namespace
}  // namespace kr::ui
