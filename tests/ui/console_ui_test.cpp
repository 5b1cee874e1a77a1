// The console user interface kr-updater-cli prints through (its dialog answers are covered by
// the program's own tests).
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ui/console_ui.h"

namespace kr::ui {
namespace {

class ConsoleUiTest : public ::testing::Test {
 protected:
  std::ostringstream out_, err_;
};

TEST_F(ConsoleUiTest, ProgressCaptionsAndMessageBoxesArePlainLinesWhenNotOnATerminal) {
  ConsoleUi ui(std::nullopt, out_, err_, false);
  ui.ShowWait("更新");
  ui.SetWaitLabel(1, "");
  ui.SetWaitLabel(1, "a.dllをインストール中...");
  ui.SetWaitLabel(1, "b.dllをインストール中...");
  ui.MessageBox("ショートカットの作成に失敗しました\r\n\r\nx", "確認メッセージ", Icon::kNone);
  EXPECT_EQ(err_.str(),
            "a.dllをインストール中...\nb.dllをインストール中...\n"
            "[確認メッセージ] ショートカットの作成に失敗しました\n\nx\n");
  EXPECT_EQ(out_.str(), "");
}

TEST_F(ConsoleUiTest, OnATerminalOneStatusLineIsRewrittenInPlace) {
  ConsoleUi ui(std::nullopt, out_, err_, true);
  ui.ShowWait("更新");
  ui.SetWaitLabel(1, "one");
  ui.SetWaitLabel(1, "two\r\nlines");
  ui.MessageBox("boom", "エラーメッセージ", Icon::kCritical);
  EXPECT_EQ(err_.str(), "\r\x1b[Kone\r\x1b[Ktwo lines\r\x1b[K[エラーメッセージ] boom\n");
}

TEST_F(ConsoleUiTest, EndMessageGoesToTheOutputStreamWhenTheRunIsOver) {
  ConsoleUi ui(std::nullopt, out_, err_, false);
  ui.ShowWait("更新");
  ui.SetWaitLabel(1, "working");
  ui.SetWaitLabel(0, "アップデート時にエラーが発生しました。");
  ui.SetWaitLabel(1, "C:\\x.dll\r\nエラー番号=53\r\nエラー内容=ファイルが見つかりません。\r\n\r\n");
  EXPECT_EQ(out_.str(), "");
  ui.EnableWaitOk();
  EXPECT_EQ(out_.str(),
            "アップデート時にエラーが発生しました。\n"
            "C:\\x.dll\nエラー番号=53\nエラー内容=ファイルが見つかりません。\n");
  EXPECT_EQ(err_.str(), "working\n");  // the detail is not a progress caption
}

TEST_F(ConsoleUiTest, CopySourceQuestionIsPrintedAndAnsweredWithTheFirstChoice) {
  ConsoleUi ui(std::nullopt, out_, err_, true);
  ui.ShowWait("更新");
  ui.SetWaitLabel(1, "working");
  EXPECT_EQ(ui.SelectCopySource({"2019年度(令和2年3月労務更新)", "平成31年度"}),
            "2019年度(令和2年3月労務更新)");
  EXPECT_EQ(ui.SelectCopySource({}), "");
  const std::string question =
      "[基になるデータベースの選択] ご利用中のケルモラには複数のデータベースが存在します。\n"
      "どのデータベースを基にして、今年度のデータを作成するかを選択してください。\n";
  EXPECT_EQ(err_.str(), "\r\x1b[Kworking\r\x1b[K" + question +
                            "  2019年度(令和2年3月労務更新)\n  平成31年度\n"
                            "基にするデータベース: 2019年度(令和2年3月労務更新)\n" +
                            question + "基にするデータベース: （候補がありません）\n");
  EXPECT_EQ(out_.str(), "");
}

}  // namespace
}  // namespace kr::ui
