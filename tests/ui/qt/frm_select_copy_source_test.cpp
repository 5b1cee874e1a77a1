// frmSelectCopySource: the list keeps its first entry selected and OK only hides the form.
#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "tests/ui/qt/qt_testing.h"
#include "ui/qt/qt_ui.h"

namespace kr::ui {
namespace {

using testing::Control;

TEST(SelectCopySourceTest, ShowsItsTitleQuestionAndControls) {
  frmSelectCopySource form;
  EXPECT_EQ(form.objectName(), "frmSelectCopySource");
  EXPECT_EQ(form.windowTitle(), QString::fromUtf8("基になるデータベースの選択"));
  EXPECT_EQ(form.size(), QSize(462, 170));
  EXPECT_EQ(Control<QLabel>(&form, "lblComment")->text(),
            QString::fromUtf8("ご利用中のケルモラには複数のデータベースが存在します。\n"
                              "どのデータベースを基にして、今年度のデータを作成するかを選択して"
                              "ください。"));
  auto* ok = Control<QPushButton>(&form, "cmdOk");
  EXPECT_TRUE(ok->isDefault());
  EXPECT_EQ(ok->text(), "OK");
  // The two-line question stays clear of the list below it.
  auto* comment = Control<QLabel>(&form, "lblComment");
  auto* list = Control<QListWidget>(&form, "lst");
  EXPECT_LE(comment->geometry().bottom(), list->geometry().top());
  EXPECT_GE(comment->height(), 2 * comment->fontMetrics().lineSpacing());
  EXPECT_LE(comment->geometry().right(), form.width());
}

TEST(SelectCopySourceTest, AnEmptyListSelectsNothing) {
  frmSelectCopySource form;
  EXPECT_EQ(form.SelectListText(), "");
}

TEST(SelectCopySourceTest, AddingThreeEntriesKeepsTheFirstSelected) {
  frmSelectCopySource form;
  form.AddList("2019年度(令和2年3月労務更新)");
  form.AddList("平成31年度");
  form.AddList("平成30年度");
  EXPECT_EQ(Control<QListWidget>(&form, "lst")->count(), 3);
  EXPECT_EQ(form.SelectListText(), "2019年度(令和2年3月労務更新)");
}

TEST(SelectCopySourceTest, OkHidesTheFormAndTheChoiceCanStillBeRead) {
  frmSelectCopySource form;
  form.AddList("平成31年度");
  form.AddList("平成30年度");
  auto* list = Control<QListWidget>(&form, "lst");
  QTimer::singleShot(0, [&] {
    list->setCurrentRow(1);
    Control<QPushButton>(&form, "cmdOk")->click();
  });
  form.exec();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.SelectListText(), "平成30年度");
}

TEST(SelectCopySourceTest, EscDoesNotDismissIt) {
  frmSelectCopySource form;
  form.show();
  QTest::keyClick(&form, Qt::Key_Escape);
  EXPECT_TRUE(form.isVisible());
}

}  // namespace
}  // namespace kr::ui
