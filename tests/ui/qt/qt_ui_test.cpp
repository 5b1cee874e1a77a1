// Message boxes, the pointer, event pumping and the folder browser of the desktop program.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <string>

#include "tests/testing/testing.h"
#include "tests/ui/qt/qt_testing.h"
#include "ui/qt/qt_ui.h"

namespace kr::ui {
namespace {

using testing::OnModal;

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

struct SeenBox {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttons = 0;
  bool ok_button = false;
  bool busy_pointer = false;
};

// Shows one message box through ui and records what it looked like; presses its OK button.
SeenBox ShowBox(QtUi& ui, std::string_view text, std::string_view title, Icon icon) {
  SeenBox seen;
  OnModal press_ok([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.buttons = static_cast<int>(box->buttons().size());
    seen.ok_button = box->button(QMessageBox::Ok) != nullptr;
    seen.busy_pointer = QApplication::overrideCursor() != nullptr;
    box->button(QMessageBox::Ok)->click();
  });
  ui.MessageBox(text, title, icon);
  EXPECT_TRUE(press_ok.seen());
  return seen;
}

TEST(MessageBoxTest, ACriticalBoxShowsTitleTextStopIconAndOneOkButton) {
  QtUi ui;
  const SeenBox seen = ShowBox(ui,
                               "指定したフォルダの ケルモラ はバージョンが違います。\r\n"
                               "再度インストール先を設定して下さい。\r\n\r\n2018,1,1",
                               "ケルモラ2019 アップデート", Icon::kCritical);
  EXPECT_EQ(seen.title, Q("ケルモラ2019 アップデート"));
  EXPECT_EQ(seen.text, Q("指定したフォルダの ケルモラ はバージョンが違います。\n"
                         "再度インストール先を設定して下さい。\n\n2018,1,1"));
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.buttons, 1);
  EXPECT_TRUE(seen.ok_button);
}

TEST(MessageBoxTest, APlainBoxHasNoIcon) {
  QtUi ui;
  EXPECT_EQ(ShowBox(ui, "完了", "メッセージ", Icon::kNone).icon, QMessageBox::NoIcon);
}

TEST(MessageBoxTest, FileNamesThatLookLikeMarkupAreShownAsWritten) {
  QtUi ui;
  EXPECT_EQ(ShowBox(ui, "<b>a&b</b>.mdb が存在しません。", "t", Icon::kCritical).text,
            Q("<b>a&b</b>.mdb が存在しません。"));
}

TEST(MessageBoxTest, TheHourglassGivesWayWhileTheBoxIsUpAndReturnsAfter) {
  QtUi ui;
  ui.SetBusy(true);
  EXPECT_FALSE(ShowBox(ui, "x", "t", Icon::kCritical).busy_pointer);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  ui.SetBusy(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(BusyPointerTest, IsAStateNotACounter) {
  {
    QtUi ui;
    ui.SetBusy(true);
    ui.SetBusy(true);
    ui.SetBusy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ui.SetBusy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ui.SetBusy(true);
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the UI gives the pointer back
}

struct ChooserCall {
  QWidget* owner = nullptr;
  std::string title, initial;
  int count = 0;
};

class NoHandler final : public InstallFolderHandler {
 public:
  void OnBrowse() override {}
  void OnOk() override {}
  void OnCancel() override {}
};

TEST(BrowseForFolderTest, StartsAtTheNativeFolderOwnedByTheInstallFolderDialog) {
  kr::testing::TempDir temp;
  temp.MakeDirs("Kelmora/2019");
  ChooserCall call;
  QtUi ui([&](QWidget* owner, std::string_view title, std::string_view initial) {
    call = {owner, std::string(title), std::string(initial), call.count + 1};
    return temp.Native("Kelmora");
  });
  NoHandler handler;
  ui.LoadInstallFolderDialog(handler).Show();

  EXPECT_EQ(ui.BrowseForFolder("探す場所", temp.path() + "\\Kelmora\\2019"),
            temp.Native("Kelmora"));
  EXPECT_EQ(call.count, 1);
  EXPECT_EQ(call.title, "探す場所");
  EXPECT_EQ(call.initial, temp.Native("Kelmora/2019"));
  EXPECT_EQ(call.owner, testing::FindForm("frmMlDir"));
}

TEST(BrowseForFolderTest, CancellingGivesTheEmptyText) {
  QtUi ui([](QWidget*, std::string_view, std::string_view) { return std::string(); });
  EXPECT_EQ(ui.BrowseForFolder("探す場所", "/"), "");
}

// The real dialog behind the seam.
class FolderDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { temp_.MakeDirs("start/inner"); }
  std::string Run(const std::function<void(QFileDialog&)>& act) {
    OnModal drive([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      ASSERT_NE(dialog, nullptr);
      title_ = dialog->windowTitle();
      directory_ = dialog->directory().absolutePath();
      folders_only_ = dialog->fileMode() == QFileDialog::Directory &&
                      dialog->testOption(QFileDialog::ShowDirsOnly);
      act(*dialog);
    });
    std::string chosen = ChooseFolderWithDialog(nullptr, "探す場所", temp_.Native("start"));
    EXPECT_TRUE(drive.seen());
    return chosen;
  }

  kr::testing::TempDir temp_;
  QString title_, directory_;
  bool folders_only_ = false;
};

TEST_F(FolderDialogTest, OpensAtTheStartFolderWithTheTitleForFoldersOnly) {
  EXPECT_EQ(Run([](QFileDialog& dialog) { dialog.reject(); }), "");
  EXPECT_EQ(title_, Q("探す場所"));
  EXPECT_EQ(directory_, QDir(QString::fromStdString(temp_.Native("start"))).absolutePath());
  EXPECT_TRUE(folders_only_);
}

TEST_F(FolderDialogTest, ReturnsTheChosenFolderWithoutTrailingSeparator) {
  const std::string inner = temp_.Native("start/inner");
  const std::string chosen = Run([&](QFileDialog& dialog) {
    dialog.setDirectory(QString::fromStdString(inner));
    QMetaObject::invokeMethod(&dialog, "accept", Qt::DirectConnection);
  });
  EXPECT_EQ(QDir(QString::fromStdString(chosen)).canonicalPath(),
            QDir(QString::fromStdString(inner)).canonicalPath());
  EXPECT_NE(chosen.back(), '/');
}

}  // namespace
}  // namespace kr::ui
