// Message boxes, the pointer, the folder browser and frmSelectCopySource of the desktop program.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <string>

#include "tests/testing/testing.h"
#include "tests/ui/qt/qt_testing.h"
#include "ui/qt/qt_ui.h"

namespace kr::ui {
namespace {

using testing::BoxShownBy;
using testing::Control;
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

// The real dialog behind the seam: folders only, from the start folder, chosen without "/".
TEST(FolderDialogTest, ChoosesAFolderFromTheStartFolder) {
  kr::testing::TempDir temp;
  temp.MakeDirs("start/inner");
  const QString start = QString::fromStdString(temp.Native("start"));
  const QString inner = QString::fromStdString(temp.Native("start/inner"));
  testing::OnModal drive([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), Q("探す場所"));
    EXPECT_EQ(dialog->directory().absolutePath(), QDir(start).absolutePath());
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
    dialog->setDirectory(inner);
    QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
  });
  const std::string chosen = ChooseFolderWithDialog(nullptr, "探す場所", start.toStdString());
  EXPECT_EQ(QDir(QString::fromStdString(chosen)).canonicalPath(), QDir(inner).canonicalPath());
  EXPECT_FALSE(chosen.ends_with('/'));
}

TEST(SelectCopySourceTest, AsksWithTheFirstEntrySelectedIgnoresEscAndOkKeepsTheChoice) {
  frmSelectCopySource form;
  EXPECT_EQ(form.windowTitle(), Q("基になるデータベースの選択"));
  auto* comment = Control<QLabel>(&form, "lblComment");
  EXPECT_EQ(comment->text(), Q("ご利用中のケルモラには複数のデータベースが存在します。\n"
                               "どのデータベースを基にして、今年度のデータを作成するかを"
                               "選択してください。"));
  // The two-line question stays clear of the list below it.
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

}  // namespace
}  // namespace kr::ui
