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
using testing::Q;
using Calls = std::vector<std::string>;

// Records the clicks; like the real controller, Cancel may close the dialog.
class RecordingHandler final : public InstallFolderHandler {
 public:
  void OnBrowse() override { calls.push_back("browse"); }
  void OnOk() override { calls.push_back("ok"); }
  void OnCancel() override {
    calls.push_back("cancel");
    if (close_on_cancel) view->Close();
  }
  Calls calls;
  InstallFolderView* view = nullptr;
  bool close_on_cancel = false;
};

class InstallFolderDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view_ = handler_.view = &ui_.LoadInstallFolderDialog(handler_);
    view_->SetTitle("ケルモラ2019 アップデート");
    view_->SetCaptions("インストール先", "インストール先を指定してください。", "二行目の説明");
    view_->SetFolderText("/opt/Kelmora2019/");
    view_->Show();
    form_ = testing::FindForm("frmMlDir");
    ASSERT_NE(form_, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_));
  }
  void TearDown() override { testing::DeleteClosedForms(); }

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
  EXPECT_EQ(Control<QGroupBox>(form_, "fraPath")->title(), Q("インストール先"));
  EXPECT_EQ(Control<QLabel>(form_, "lblComment")->text(), Q("インストール先を指定してください。"));
  auto* comment2 = Control<QLabel>(form_, "lblComment2");
  EXPECT_EQ(comment2->text(), Q("二行目の説明"));
  EXPECT_GE(comment2->height(), comment2->fontMetrics().height());  // not cut off
  EXPECT_EQ(Control<QLineEdit>(form_, "txtDir")->text(), "/opt/Kelmora2019/");
  EXPECT_EQ(Control<QPushButton>(form_, "cmdOk")->text(), Q("実行"));
  EXPECT_EQ(Control<QPushButton>(form_, "cmdCancel")->text(), Q("キャンセル"));
  EXPECT_EQ(Control<QPushButton>(form_, "cmdDir")->text(), Q("参照(&B)..."));
}

TEST_F(InstallFolderDialogTest, TheFolderTextIsSelectedOnFocusAndTabWalksRunCancelBrowseFolder) {
  EXPECT_EQ(Focused(), "cmdOk");  // tab index 0 has the focus when the form opens
  view_->SetFolderText("/srv/other/");
  auto* box = Control<QLineEdit>(form_, "txtDir");
  box->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(box->selectedText(), "/srv/other/");
  QTest::keyClicks(box, "/x/");
  EXPECT_EQ(view_->FolderText(), "/x/");  // typing replaces the proposal
  for (const char* name : {"cmdOk", "cmdCancel", "cmdDir", "txtDir"}) {
    Press(Qt::Key_Tab);
    EXPECT_EQ(Focused(), name);
  }
  Press(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(Focused(), "cmdDir");
}

TEST_F(InstallFolderDialogTest, ButtonsKeysAndTheCloseButtonReachTheHandler) {
  Control<QPushButton>(form_, "cmdDir")->click();
  Control<QPushButton>(form_, "cmdOk")->click();
  Control<QPushButton>(form_, "cmdCancel")->click();
  Control(form_, "txtDir")->setFocus();
  Press(Qt::Key_Return);
  Press(Qt::Key_Escape);
  form_->windowHandle()->close();
  EXPECT_TRUE(form_->isVisible());  // the handler decides whether the dialog goes
  Press(Qt::Key_B, Qt::AltModifier);
  // A mnemonic presses the button visibly, so the click follows a moment later.
  EXPECT_TRUE(QTest::qWaitFor([this] { return handler_.calls.size() == 7; }, 2000));
  EXPECT_EQ(handler_.calls, (Calls{"browse", "ok", "cancel", "ok", "cancel", "cancel", "browse"}));
  view_->FocusBrowseButton();
  EXPECT_EQ(Focused(), "cmdDir");
}

TEST_F(InstallFolderDialogTest, TheCloseButtonClosesWhenTheHandlerSaysSoAndNothingFollows) {
  handler_.close_on_cancel = true;
  QPointer<QPushButton> ok = Control<QPushButton>(form_, "cmdOk");
  form_->windowHandle()->close();
  EXPECT_FALSE(form_->isVisible());
  ok->click();  // still there until the event loop deletes it
  QTest::keyClick(form_, Qt::Key_Escape);
  EXPECT_EQ(handler_.calls, Calls{"cancel"});
  testing::DeleteClosedForms();
  EXPECT_TRUE(form_.isNull());
}

TEST_F(InstallFolderDialogTest, LoadingAgainReturnsTheSameFormForTheNewHandler) {
  RecordingHandler other;
  EXPECT_EQ(&ui_.LoadInstallFolderDialog(other), view_);
  Control<QPushButton>(form_, "cmdOk")->click();
  EXPECT_TRUE(handler_.calls.empty());
  EXPECT_EQ(other.calls, Calls{"ok"});
}

}  // namespace
}  // namespace kr::ui
