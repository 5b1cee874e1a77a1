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

TEST(SelectCopySourceTest, AsksItsQuestionWithTheFirstEntrySelected) {
  frmSelectCopySource form;
  EXPECT_EQ(form.objectName(), "frmSelectCopySource");
  EXPECT_EQ(form.windowTitle(), testing::Q("基になるデータベースの選択"));
  auto* comment = Control<QLabel>(&form, "lblComment");
  EXPECT_EQ(comment->text(), testing::Q("ご利用中のケルモラには複数のデータベースが存在します。\n"
                                        "どのデータベースを基にして、今年度のデータを作成するかを"
                                        "選択してください。"));
  // The two-line question stays clear of the list below it.
  EXPECT_GE(comment->height(), 2 * comment->fontMetrics().lineSpacing());
  EXPECT_LE(comment->geometry().bottom(), Control(&form, "lst")->geometry().top());
  EXPECT_TRUE(Control<QPushButton>(&form, "cmdOk")->isDefault());

  EXPECT_EQ(form.SelectListText(), "");
  for (const char* entry : {"2019年度(令和2年3月労務更新)", "平成31年度", "平成30年度"}) {
    form.AddList(entry);
  }
  EXPECT_EQ(Control<QListWidget>(&form, "lst")->count(), 3);
  EXPECT_EQ(form.SelectListText(), "2019年度(令和2年3月労務更新)");
}

TEST(SelectCopySourceTest, EscDoesNotDismissItAndOkHidesItKeepingTheChoice) {
  frmSelectCopySource form;
  form.AddList("平成31年度");
  form.AddList("平成30年度");
  QTimer::singleShot(0, [&] {
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());
    Control<QListWidget>(&form, "lst")->setCurrentRow(1);
    Control<QPushButton>(&form, "cmdOk")->click();
  });
  form.exec();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.SelectListText(), "平成30年度");
}

}  // namespace
}  // namespace kr::ui
