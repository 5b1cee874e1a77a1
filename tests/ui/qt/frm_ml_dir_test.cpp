// frmMlDir with the real forms and start-up, and frmUndo.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "startup/startup.h"
#include "tests/testing/fake_ui.h"
#include "tests/testing/testing.h"
#include "tests/ui/qt/qt_testing.h"
#include "ui/qt/qt_ui.h"

namespace kr::ui {
namespace {

using testing::Control;
using testing::FindForm;
using testing::Q;

// A package that wants KrMain.exe in the install folder Kelmora2019, which the common data
// folder's settings name; start-up has opened frmMlDir. The folder browser answers Chosen.
class InstallFolderDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const kr::testing::TempDir& root = sandbox_.root();
    root.Write("Pkg/KrInst.ini",
               kr::testing::ToCp932(
                   "[Bootstrap]\r\nExeName=KrMain.exe\r\nExeTitle=ケルモラ積算\r\nExeYear=2019\r\n"
                   "InstModel=50\r\nChkExeName=1\r\nDispDlgCaption=ケルモラ2019 アップデート\r\n"
                   "DispPathCaption=インストール先\r\nDispCommentCaption=指定してください。\r\n"
                   "DispCommentCaption2=二行目\r\n[Bootstrap Files]\r\nF1=Readme.txt,$(AppPath),"));
    root.Write("Pkg/Readme.txt", "new readme");
    root.Write("Kelmora2019/Readme.txt", "old readme");
    root.MakeDirs("Chosen");
    browse_answer_ = root.Native("Chosen");
    root.Write("ProgramData/Kelmora/KrTN2000.ini",
               kr::testing::ToCp932("[TN2019]\r\nInstPath=" + Folder() + "\r\n"));
    StartUp();
  }
  void TearDown() override { testing::DeleteClosedForms(); }

  // Start-up with a fresh updater, up to the active frmMlDir.
  void StartUp() {
    updater_.reset();
    testing::DeleteClosedForms();
    updater_.emplace(ui_, routines_);
    updater_->Main("\"" + sandbox_.root().Native("Pkg") + "\"");
    dialog_ = FindForm("frmMlDir");
    ASSERT_TRUE(dialog_ != nullptr && QTest::qWaitForWindowActive(dialog_));
  }
  template <class T = QPushButton>
  T* In(const char* name) {
    return Control<T>(dialog_, name);
  }
  std::string Folder() const { return sandbox_.root().Native("Kelmora2019") + "\\"; }
  // The folder as txtDir shows it: as this machine writes paths.
  std::string Shown() const { return sandbox_.root().Native("Kelmora2019") + "/"; }
  std::string Readme() const { return sandbox_.root().Read("Kelmora2019/Readme.txt"); }
  static void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
  }

  kr::testing::SandboxedFolders sandbox_;
  QWidget* browse_owner_ = nullptr;
  std::string browsed_from_, browse_answer_;
  QtUi ui_{[this](QWidget* owner, std::string_view, std::string_view initial) {
    browse_owner_ = owner;
    browsed_from_ = std::string(initial);
    return browse_answer_;
  }};
  kr::testing::NoRoutines routines_;
  std::optional<startup::Updater> updater_;
  QWidget* dialog_ = nullptr;
};

TEST_F(InstallFolderDialogTest, ShowsTheCaptionsAndTheFolderStartUpFoundSelectedOnFocus) {
  EXPECT_EQ(dialog_->windowTitle(), Q("ケルモラ2019 アップデート"));
  EXPECT_EQ(In<QGroupBox>("fraPath")->title(), Q("インストール先"));
  EXPECT_EQ(In<QLabel>("lblComment")->text(), Q("指定してください。"));
  EXPECT_EQ(In<QLabel>("lblComment2")->text(), Q("二行目"));
  EXPECT_GE(In<QLabel>("lblComment2")->height(), In<QLabel>("lblComment2")->fontMetrics().height());

  EXPECT_EQ(QApplication::focusWidget(), In("cmdOk"));  // the default button has the focus
  auto* folder_box = In<QLineEdit>("txtDir");
  folder_box->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(folder_box->selectedText().toStdString(), Shown());
  QTest::keyClicks(folder_box, "/x/");
  EXPECT_EQ(folder_box->text(), "/x/");  // typing replaces the proposal
}

TEST_F(InstallFolderDialogTest, RefusedFolderKeepsTheDialogOpenAndAPassingOneRunsTheUpdate) {
  auto* folder_box = In<QLineEdit>("txtDir");
  folder_box->setText(QString::fromStdString(sandbox_.root().Native("Kelmora2019") + "   "));
  auto box = testing::BoxShownBy([&] { In("cmdOk")->click(); });
  ASSERT_TRUE(box) << "no message box";
  EXPECT_EQ(box->title, Q("ケルモラ2019 アップデート"));
  EXPECT_EQ(box->icon, QMessageBox::Critical);
  EXPECT_EQ(box->text, Q("指定したフォルダには ケルモラ積算 がインストールされていません。\n"
                         "再度インストール先を設定してください。"));
  EXPECT_EQ(FindForm("frmMlDir"), dialog_);
  EXPECT_EQ(folder_box->text().toStdString(), Shown());
  EXPECT_EQ(dialog_->focusWidget(), In("cmdDir"));
  EXPECT_EQ(Readme(), "old readme");
  EXPECT_EQ(updater_->outcome(), startup::Outcome::kPending);

  // The program put in place, Enter in the folder box tries again; the run happens inside it.
  sandbox_.root().Write("Kelmora2019/KrMain.exe", "program");
  EXPECT_FALSE(testing::BoxShownBy([&] { QTest::keyClick(folder_box, Qt::Key_Return); }));
  EXPECT_EQ(FindForm("frmMlDir"), nullptr);
  QWidget* wait = FindForm("frmWait");
  ASSERT_NE(wait, nullptr);
  EXPECT_EQ(Control<QLabel>(wait, "lbl0")->text(), Q("アップデートが完了しました。"));
  EXPECT_EQ(Readme(), "new readme");
  EXPECT_TRUE(Control<QPushButton>(wait, "cmdOk")->isEnabled());
}

TEST_F(InstallFolderDialogTest, CancelEscOrTheCloseButtonCloseEverythingAndChangeNothing) {
  const std::pair<const char*, std::function<void()>> cancels[] = {
      {"cmdCancel", [&] { In("cmdCancel")->click(); }},
      {"Esc", [] { Press(Qt::Key_Escape); }},
      {"close button", [&] { dialog_->windowHandle()->close(); }},
  };
  for (const auto& [name, cancel] : cancels) {
    SCOPED_TRACE(name);
    ASSERT_NO_FATAL_FAILURE(StartUp());
    EXPECT_FALSE(testing::BoxShownBy(cancel)) << "the folder was validated";
    EXPECT_EQ(FindForm("frmMlDir"), nullptr);
    EXPECT_EQ(updater_->outcome(), startup::Outcome::kNotRun);
  }
  EXPECT_EQ(Readme(), "old readme");
}

TEST_F(InstallFolderDialogTest, BrowsingPutsTheChosenFolderIntoTheBoxWithASeparator) {
  In("cmdDir")->click();
  EXPECT_EQ(browsed_from_, sandbox_.root().Native("Kelmora2019"));
  EXPECT_EQ(browse_owner_, dialog_);
  const std::string chosen = browse_answer_ + "/";
  EXPECT_EQ(In<QLineEdit>("txtDir")->text().toStdString(), chosen);

  browsed_from_.clear();
  browse_answer_.clear();  // cancelled: the box keeps its text
  Press(Qt::Key_B, Qt::AltModifier);
  // A mnemonic presses the button visibly, so the click follows a moment later.
  EXPECT_TRUE(QTest::qWaitFor([this] { return !browsed_from_.empty(); }, 2000));
  EXPECT_EQ(In<QLineEdit>("txtDir")->text().toStdString(), chosen);
}

TEST_F(InstallFolderDialogTest, TheProgramEndsWhenTheEndMessageIsClosedNotWhenTheDialogIs) {
  sandbox_.root().Write("Kelmora2019/KrMain.exe", "program");
  QApplication::setQuitOnLastWindowClosed(true);
  bool wait_was_up = false;
  QTimer::singleShot(0, [this] { In("cmdOk")->click(); });
  QTimer::singleShot(100, [&] {
    QWidget* wait = FindForm("frmWait");
    wait_was_up = wait != nullptr;
    if (wait != nullptr) Control<QPushButton>(wait, "cmdOk")->click();
  });
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::quit(); });
  watchdog.start(10000);

  QApplication::exec();  // what kr-updater runs after start-up

  EXPECT_TRUE(watchdog.isActive()) << "the last window closed, but the event loop went on";
  EXPECT_TRUE(wait_was_up) << "closing frmMlDir ended the program before the end message";
  EXPECT_EQ(updater_->outcome(), startup::Outcome::kFinished);
}

using testing::OnModal;

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
