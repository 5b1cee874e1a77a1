// The desktop program's dialog path with the real forms: start-up opens frmMlDir, OK validates
// the folder and runs the update, frmWait keeps the end message, Cancel leaves nothing behind.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <string>

#include "startup/startup.h"
#include "tests/testing/testing.h"
#include "tests/ui/qt/qt_testing.h"
#include "ui/qt/qt_ui.h"

namespace kr::ui {
namespace {

using testing::Control;
using testing::FindForm;
using testing::Q;

class NoRoutines final : public manifest::RoutineRegistry {
 public:
  bool Run(std::string_view, std::string_view, RunContext&, Ui&) override { return false; }
};

// A package whose KrInst.ini wants KrMain.exe in the install folder Kelmora2019, which the
// common data folder's settings name.
class DesktopRunTest : public ::testing::Test {
 protected:
  DesktopRunTest() {
    const kr::testing::TempDir& root = sandbox_.root();
    root.Write("Pkg/KrInst.ini",
               kr::testing::ToCp932("[Bootstrap]\r\nExeName=KrMain.exe\r\nExeTitle=ケルモラ積算\r\n"
                                    "DispDlgCaption=ケルモラ2019 アップデート\r\nExeYear=2019\r\n"
                                    "InstModel=50\r\nChkExeName=1\r\n[Bootstrap Files]\r\n"
                                    "File1=Readme.txt,$(AppPath),\r\n"));
    root.Write("Pkg/Readme.txt", "new readme");
    root.Write("Kelmora2019/Readme.txt", "old readme");
    root.MakeDirs("Chosen");
    root.Write("ProgramData/Kelmora/KrTN2000.ini",
               kr::testing::ToCp932("[TN2019]\r\nInstPath=" + Folder() + "\r\n"));
  }
  ~DesktopRunTest() override { testing::DeleteClosedForms(); }

  QWidget* StartUp() {
    updater_.Main("\"" + sandbox_.root().Native("Pkg") + "\"");
    return FindForm("frmMlDir");
  }
  std::string Folder() const { return sandbox_.root().Native("Kelmora2019") + "\\"; }
  std::string Readme() const { return sandbox_.root().Read("Kelmora2019/Readme.txt"); }

  kr::testing::SandboxedFolders sandbox_;
  std::string browsed_from_;
  QtUi ui_{[this](QWidget*, std::string_view, std::string_view initial) {
    browsed_from_ = std::string(initial);
    return sandbox_.root().Native("Chosen");
  }};
  NoRoutines routines_;
  startup::Updater updater_{ui_, routines_};
};

TEST_F(DesktopRunTest, RefusedFolderKeepsTheDialogOpenAndAPassingOneRunsTheUpdate) {
  QWidget* dialog = StartUp();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), Q("ケルモラ2019 アップデート"));
  auto* folder_box = Control<QLineEdit>(dialog, "txtDir");
  EXPECT_EQ(folder_box->text().toStdString(), Folder());
  folder_box->setText(QString::fromStdString(sandbox_.root().Native("Kelmora2019") + "   "));

  auto* ok = Control<QPushButton>(dialog, "cmdOk");
  auto box = testing::BoxShownBy([&] { ok->click(); });
  ASSERT_TRUE(box) << "no message box";
  EXPECT_EQ(box->title, Q("ケルモラ2019 アップデート"));
  EXPECT_EQ(box->icon, QMessageBox::Critical);
  EXPECT_EQ(box->text, Q("指定したフォルダには ケルモラ積算 がインストールされていません。\n"
                         "再度インストール先を設定してください。"));
  EXPECT_EQ(FindForm("frmMlDir"), dialog);
  EXPECT_EQ(folder_box->text().toStdString(), Folder());
  EXPECT_EQ(dialog->focusWidget(), Control(dialog, "cmdDir"));
  EXPECT_EQ(FindForm("frmWait"), nullptr);
  EXPECT_EQ(Readme(), "old readme");
  EXPECT_EQ(updater_.outcome(), startup::Outcome::kPending);

  // The user puts the program in place and tries again; the whole run happens inside the click.
  sandbox_.root().Write("Kelmora2019/KrMain.exe", "program");
  EXPECT_FALSE(testing::BoxShownBy([&] { ok->click(); }));
  EXPECT_EQ(FindForm("frmMlDir"), nullptr);
  QWidget* wait = FindForm("frmWait");
  ASSERT_NE(wait, nullptr);
  EXPECT_EQ(Control<QLabel>(wait, "lbl0")->text(), Q("アップデートが完了しました。"));
  EXPECT_EQ(Readme(), "new readme");
  Control<QPushButton>(wait, "cmdOk")->click();
  EXPECT_EQ(FindForm("frmWait"), nullptr);
  EXPECT_EQ(updater_.outcome(), startup::Outcome::kFinished);
}

TEST_F(DesktopRunTest, CancelClosesEverythingAndChangesNothing) {
  QWidget* dialog = StartUp();
  ASSERT_NE(dialog, nullptr);
  Control<QPushButton>(dialog, "cmdCancel")->click();
  EXPECT_EQ(FindForm("frmMlDir"), nullptr);
  EXPECT_EQ(FindForm("frmWait"), nullptr);
  EXPECT_EQ(Readme(), "old readme");
  EXPECT_EQ(updater_.outcome(), startup::Outcome::kNotRun);
}

TEST_F(DesktopRunTest, BrowsingPutsTheChosenFolderIntoTheBoxWithASeparator) {
  QWidget* dialog = StartUp();
  ASSERT_NE(dialog, nullptr);
  Control<QPushButton>(dialog, "cmdDir")->click();
  EXPECT_EQ(browsed_from_, sandbox_.root().Native("Kelmora2019"));
  EXPECT_EQ(Control<QLineEdit>(dialog, "txtDir")->text().toStdString(),
            sandbox_.root().Native("Chosen") + "\\");
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(DesktopRunTest, TheProgramEndsWhenTheEndMessageIsClosedNotWhenTheDialogIs) {
  sandbox_.root().Write("Kelmora2019/KrMain.exe", "program");
  QApplication::setQuitOnLastWindowClosed(true);
  StartUp();
  bool wait_was_up = false;
  QTimer::singleShot(0, [] { Control<QPushButton>(FindForm("frmMlDir"), "cmdOk")->click(); });
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
  EXPECT_EQ(updater_.outcome(), startup::Outcome::kFinished);
}

}  // namespace
}  // namespace kr::ui
