// Message boxes, the pointer and the folder browser of the desktop program.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <string>

#include "tests/testing/testing.h"
#include "tests/ui/qt/qt_testing.h"
#include "ui/qt/qt_ui.h"

namespace kr::ui {
namespace {

using testing::BoxShownBy;
using testing::Q;

TEST(MessageBoxTest, ShowsTitlePlainTextIconAndOneOkButton) {
  QtUi ui;
  auto seen = BoxShownBy([&] {
    ui.MessageBox("<b>a&b</b>.mdb は\r\nバージョンが違います。", "ケルモラ2019", Icon::kCritical);
  });
  ASSERT_TRUE(seen);
  EXPECT_EQ(seen->title, Q("ケルモラ2019"));
  EXPECT_EQ(seen->text, Q("<b>a&b</b>.mdb は\nバージョンが違います。"));
  EXPECT_EQ(seen->icon, QMessageBox::Critical);
  EXPECT_EQ(seen->buttons, 1);
  EXPECT_EQ(BoxShownBy([&] { ui.MessageBox("完了", "メッセージ", Icon::kNone); })->icon,
            QMessageBox::NoIcon);
}

TEST(BusyPointerTest, GivesWayToAMessageBoxAndIsAStateNotACounter) {
  {
    QtUi ui;
    ui.SetBusy(true);
    EXPECT_FALSE(BoxShownBy([&] { ui.MessageBox("x", "t", Icon::kCritical); })->busy_pointer);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ui.SetBusy(true);
    ui.SetBusy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ui.SetBusy(true);
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the UI gives the pointer back
}

class NoHandler final : public InstallFolderHandler {
 public:
  void OnBrowse() override {}
  void OnOk() override {}
  void OnCancel() override {}
};

TEST(BrowseForFolderTest, StartsAtTheNativeFolderOwnedByTheInstallFolderDialog) {
  kr::testing::TempDir temp;
  QWidget* owner = nullptr;
  std::string initial;
  QtUi ui([&](QWidget* owner_given, std::string_view, std::string_view initial_given) {
    owner = owner_given;
    initial = initial_given;
    return temp.Native("Kelmora");
  });
  NoHandler handler;
  ui.LoadInstallFolderDialog(handler).Show();
  EXPECT_EQ(ui.BrowseForFolder("探す場所", temp.path() + "\\Kelmora\\2019"),
            temp.Native("Kelmora"));
  EXPECT_EQ(initial, temp.Native("Kelmora/2019"));
  EXPECT_EQ(owner, testing::FindForm("frmMlDir"));
}

// The real dialog behind the seam: folders only, from the start folder; cancel gives "".
TEST(FolderDialogTest, ChoosesAFolderFromTheStartFolderOrNothing) {
  kr::testing::TempDir temp;
  temp.MakeDirs("start/inner");
  const QString start = QString::fromStdString(temp.Native("start"));
  const QString inner = QString::fromStdString(temp.Native("start/inner"));
  auto choose = [&](bool accept) {
    testing::OnModal drive([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->windowTitle(), Q("探す場所"));
      EXPECT_EQ(dialog->directory().absolutePath(), QDir(start).absolutePath());
      EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
      EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
      if (!accept) return dialog->reject();
      dialog->setDirectory(inner);
      QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    });
    return ChooseFolderWithDialog(nullptr, "探す場所", start.toStdString());
  };
  EXPECT_EQ(choose(false), "");
  const std::string chosen = choose(true);
  EXPECT_EQ(QDir(QString::fromStdString(chosen)).canonicalPath(), QDir(inner).canonicalPath());
  EXPECT_FALSE(chosen.ends_with('/'));
}

}  // namespace
}  // namespace kr::ui
