// The console user interface kr-updater-cli prints through (its dialog answers are covered by
// the program's own tests).
#include <gtest/gtest.h>

#include <sstream>

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

}  // namespace
}  // namespace kr::ui
