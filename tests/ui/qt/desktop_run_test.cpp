// The desktop program's dialog path with the real forms: start-up opens frmMlDir, OK runs the
// update and leaves frmWait with the end message, Cancel leaves nothing behind.
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
using testing::DeleteClosedForms;
using testing::FindForm;

class NoRoutines final : public manifest::RoutineRegistry {
 public:
  bool Run(std::string_view, std::string_view, RunContext&, Ui&) override { return false; }
};

class DesktopRunTest : public ::testing::Test {
 protected:
  DesktopRunTest()
      : ui_([this](QWidget*, std::string_view, std::string_view initial) {
          browsed_from_ = std::string(initial);
          return sandbox_.root().Native("Chosen");
        }) {
    const kr::testing::TempDir& root = sandbox_.root();
    root.Write("Pkg/KrInst.ini",
               kr::testing::ToCp932("[Bootstrap]\r\nDispDlgCaption=ケルモラ2019 アップデート\r\n"
                                    "DispPathCaption=インストール先\r\nExeYear=2019\r\n"
                                    "InstModel=50\r\n[Bootstrap Files]\r\n"
                                    "File1=KrMain.txt,$(AppPath),\r\n"));
    root.Write("Pkg/KrMain.txt", "new program");
    root.Write("Kelmora2019/KrMain.txt", "old program");
    root.MakeDirs("Chosen");
    root.Write(
        "ProgramData/Kelmora/KrTN2000.ini",
        kr::testing::ToCp932("[TN2019]\r\nInstPath=" + root.Native("Kelmora2019") + "\\\r\n"));
  }
  ~DesktopRunTest() override { DeleteClosedForms(); }

  void StartUp() { updater_.Main("\"" + sandbox_.root().Native("Pkg") + "\""); }

  kr::testing::SandboxedFolders sandbox_;
  std::string browsed_from_;
  QtUi ui_;
  NoRoutines routines_;
  startup::Updater updater_{ui_, routines_};
};

TEST_F(DesktopRunTest, OkRunsTheUpdateAndLeavesTheEndMessageUntilOkIsPressed) {
  StartUp();
  QWidget* dialog = FindForm("frmMlDir");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("ケルモラ2019 アップデート"));
  EXPECT_EQ(Control<QLineEdit>(dialog, "txtDir")->text().toStdString(),
            sandbox_.root().Native("Kelmora2019") + "\\");

  Control<QPushButton>(dialog, "cmdOk")->click();  // the whole run happens inside the click

  EXPECT_EQ(FindForm("frmMlDir"), nullptr);
  QWidget* wait = FindForm("frmWait");
  ASSERT_NE(wait, nullptr);
  EXPECT_EQ(Control<QLabel>(wait, "lbl0")->text(),
            QString::fromUtf8("アップデートが完了しました。"));
  EXPECT_TRUE(Control<QPushButton>(wait, "cmdOk")->isEnabled());
  EXPECT_EQ(sandbox_.root().Read("Kelmora2019/KrMain.txt"), "new program");

  Control<QPushButton>(wait, "cmdOk")->click();
  EXPECT_EQ(FindForm("frmWait"), nullptr);
  EXPECT_EQ(updater_.outcome(), startup::Outcome::kFinished);
}

TEST_F(DesktopRunTest, CancelClosesEverythingAndChangesNothing) {
  StartUp();
  QWidget* dialog = FindForm("frmMlDir");
  ASSERT_NE(dialog, nullptr);
  Control<QPushButton>(dialog, "cmdCancel")->click();
  EXPECT_EQ(FindForm("frmMlDir"), nullptr);
  EXPECT_EQ(FindForm("frmWait"), nullptr);
  EXPECT_EQ(sandbox_.root().Read("Kelmora2019/KrMain.txt"), "old program");
  EXPECT_EQ(updater_.outcome(), startup::Outcome::kNotRun);
}

TEST_F(DesktopRunTest, BrowsingPutsTheChosenFolderIntoTheBoxWithASeparator) {
  StartUp();
  QWidget* dialog = FindForm("frmMlDir");
  ASSERT_NE(dialog, nullptr);
  Control<QPushButton>(dialog, "cmdDir")->click();
  EXPECT_EQ(browsed_from_, sandbox_.root().Native("Kelmora2019"));
  EXPECT_EQ(Control<QLineEdit>(dialog, "txtDir")->text().toStdString(),
            sandbox_.root().Native("Chosen") + "\\");
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(DesktopRunTest, TheProgramEndsWhenTheEndMessageIsClosedNotWhenTheDialogIs) {
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
