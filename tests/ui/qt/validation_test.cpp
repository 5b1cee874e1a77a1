// The desktop program's OK button through the target validation, with the real forms: a refused
// folder keeps frmMlDir open behind a critical message box, a passing one runs the update.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <optional>
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
using testing::OnModal;

class NoRoutines final : public manifest::RoutineRegistry {
 public:
  bool Run(std::string_view, std::string_view, RunContext&, Ui&) override { return false; }
};

struct SeenBox {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

class ValidationOkTest : public ::testing::Test {
 protected:
  ValidationOkTest() {
    const kr::testing::TempDir& root = sandbox_.root();
    root.Write("Pkg/KrInst.ini",
               kr::testing::ToCp932("[Bootstrap]\r\nExeName=KrMain.exe\r\nExeTitle=ケルモラ積算\r\n"
                                    "DispDlgCaption=ケルモラ2019 アップデート\r\nExeYear=2019\r\n"
                                    "InstModel=50\r\nChkExeName=1\r\n[Bootstrap Files]\r\n"
                                    "File1=Readme.txt,$(AppPath),\r\n"));
    root.Write("Pkg/Readme.txt", "new readme");
    root.Write("Kelmora2019/Readme.txt", "old readme");
  }
  ~ValidationOkTest() override { DeleteClosedForms(); }

  QWidget* StartUp() {
    updater_.Main("\"" + sandbox_.root().Native("Pkg") + "\"");
    return FindForm("frmMlDir");
  }

  // Presses cmdOk; a message box that comes up is recorded and closed with its OK button.
  std::optional<SeenBox> PressOk(QWidget* dialog) {
    std::optional<SeenBox> seen;
    OnModal close_box([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      seen = SeenBox{box->windowTitle(), box->text(), box->icon()};
      box->button(QMessageBox::Ok)->click();
    });
    Control<QPushButton>(dialog, "cmdOk")->click();
    return seen;
  }

  std::string Folder() const { return sandbox_.root().Native("Kelmora2019"); }

  kr::testing::SandboxedFolders sandbox_;
  QtUi ui_{[](QWidget*, std::string_view, std::string_view) { return std::string(); }};
  NoRoutines routines_;
  startup::Updater updater_{ui_, routines_};
};

TEST_F(ValidationOkTest, RefusedFolderKeepsTheDialogOpenWithTheNormalisedText) {
  QWidget* dialog = StartUp();
  ASSERT_NE(dialog, nullptr);
  auto* folder_box = Control<QLineEdit>(dialog, "txtDir");
  folder_box->setText(QString::fromStdString(Folder() + "   "));

  std::optional<SeenBox> box = PressOk(dialog);

  ASSERT_TRUE(box) << "no message box";
  EXPECT_EQ(box->title, QString::fromUtf8("ケルモラ2019 アップデート"));
  EXPECT_EQ(box->icon, QMessageBox::Critical);
  EXPECT_EQ(box->text, QString::fromUtf8("指定したフォルダには ケルモラ積算 がインストールされて"
                                         "いません。\n再度インストール先を設定してください。"));
  EXPECT_EQ(FindForm("frmMlDir"), dialog);
  EXPECT_EQ(folder_box->text().toStdString(), Folder() + "\\");
  EXPECT_EQ(dialog->focusWidget(), Control<QPushButton>(dialog, "cmdDir"));
  EXPECT_EQ(FindForm("frmWait"), nullptr);
  EXPECT_EQ(sandbox_.root().Read("Kelmora2019/Readme.txt"), "old readme");
  EXPECT_EQ(updater_.outcome(), startup::Outcome::kPending);

  // The user puts the program in place and tries again: the same dialog now runs the update.
  sandbox_.root().Write("Kelmora2019/KrMain.exe", "program");
  EXPECT_FALSE(PressOk(dialog));
  EXPECT_EQ(FindForm("frmMlDir"), nullptr);
  ASSERT_NE(FindForm("frmWait"), nullptr);
  EXPECT_EQ(sandbox_.root().Read("Kelmora2019/Readme.txt"), "new readme");
  Control<QPushButton>(FindForm("frmWait"), "cmdOk")->click();
  EXPECT_EQ(updater_.outcome(), startup::Outcome::kFinished);
}

TEST_F(ValidationOkTest, PassingFolderRunsTheUpdateWithoutAMessage) {
  sandbox_.root().Write("Kelmora2019/KrMain.exe", "program");
  QWidget* dialog = StartUp();
  ASSERT_NE(dialog, nullptr);
  Control<QLineEdit>(dialog, "txtDir")->setText(QString::fromStdString(Folder()));

  EXPECT_FALSE(PressOk(dialog));

  EXPECT_EQ(FindForm("frmMlDir"), nullptr);
  QWidget* wait = FindForm("frmWait");
  ASSERT_NE(wait, nullptr);
  EXPECT_EQ(Control<QLabel>(wait, "lbl0")->text(),
            QString::fromUtf8("アップデートが完了しました。"));
  EXPECT_EQ(sandbox_.root().Read("Kelmora2019/Readme.txt"), "new readme");
  Control<QPushButton>(wait, "cmdOk")->click();
  EXPECT_EQ(updater_.outcome(), startup::Outcome::kFinished);
}

}  // namespace
}  // namespace kr::ui
