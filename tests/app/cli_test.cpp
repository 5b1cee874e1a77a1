// kr-updater-cli end to end, over the demo installation and package that kr-make-demo builds.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/platform.h"
#include "report/report.h"
#include "tests/testing/testing.h"

namespace kr::app::test {
namespace {

namespace fs = std::filesystem;
using testing::BuiltProgram;
using testing::ProcessResult;

constexpr const char* kStamp = "202004071530";

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::DemoBuilt()) GTEST_SKIP() << "PE fixtures not built (MinGW-w64 missing)";
    Generate("2000/01/01");
  }
  void TearDown() override {
    EXPECT_EQ(testing::ReportSchemaErrors(testing::ReportsIn(demo_ + "/App")), "");
  }

  // The demo goes into the sandbox itself, whose folders the demo's layout matches.
  void Generate(std::string_view update_day) {
    ProcessResult made = testing::MakeDemo(demo_, update_day);
    ASSERT_EQ(made.exit_code, 0) << made.err;
  }
  ProcessResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), BuiltProgram("app/kr-updater-cli"));
    return testing::RunProgram(args, {"KR_NOW=2020-04-07 15:30"});
  }
  std::string Read(std::string_view relative) const { return sandbox_.root().Read(relative); }
  bool Exists(std::string_view relative) const { return sandbox_.root().Exists(relative); }
  // Whether a file is a copy of a PE test program (compared without printing bytes).
  ::testing::AssertionResult HoldsProgram(const std::string& relative,
                                          const std::string& fixture) const {
    if (Read(relative) == platform::ReadFile(BuiltProgram("tests/fixtures/pe/") + fixture)) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << relative << " is not " << fixture;
  }
  // Every file and folder below App with its content (folders as "<folder>") and time.
  std::map<std::string, std::pair<std::string, fs::file_time_type>> AppListing() const {
    std::map<std::string, std::pair<std::string, fs::file_time_type>> listing;
    for (const auto& entry : fs::recursive_directory_iterator(demo_ + "/App")) {
      std::string name = fs::relative(entry.path(), demo_).string();
      listing[name] = {entry.is_regular_file() ? Read(name) : "<folder>", entry.last_write_time()};
    }
    return listing;
  }
  void SwitchOn(std::string_view check) {
    ASSERT_TRUE(
        platform::profile::WriteString(demo_ + "/Package/KrInst.ini", "Bootstrap", check, "1"));
  }
  // The install folder as users and child programs see it (native, whatever the updater holds).
  std::string App() const { return demo_ + "/App/"; }

  testing::SandboxedFolders sandbox_;
  std::string demo_ = sandbox_.root().path();
};

TEST_F(CliTest, DialogPathWithAnInstallFolderPassingEveryCheckAppliesEveryFileAction) {
  for (const char* check : {"ChkExeName", "ChkExeYear", "ChkExeVersion", "ChkLoading"}) {
    SwitchOn(check);
  }
  std::string settings_before = Read("App/File/KrSet.mdb");
  fs::rename(demo_ + "/Package", demo_ + "/Update Package");  // taken whole, space and all
  ProcessResult result = Cli({demo_ + "/Update Package", "--install-folder", demo_ + "/App  "});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(testing::EndMessage(result.out), "アップデートが完了しました。\n");

  // Plain copy, and a folder for a line without a file.
  EXPECT_EQ(Read("App/Readme.txt"), Read("Update Package/Readme.txt"));
  EXPECT_TRUE(fs::is_directory(demo_ + "/App/Logs"));
  // SAVEOLD: the old program under stem + RunStamp + ".old".
  EXPECT_TRUE(HoldsProgram("App/KrMain.exe", "app-2.0.0.84.exe"));
  EXPECT_TRUE(HoldsProgram(std::string("App/KrMain") + kStamp + ".old", "app-2.0.0.83.exe"));
  // EXECHECKVERSION;2.0.0: 1.9.0.9 is replaced; 2.0.1.0 (2.0.0 in its three-part form) is not
  // older.
  EXPECT_TRUE(HoldsProgram("App/KrCalc.exe", "app-2.0.0.84.exe"));
  EXPECT_TRUE(HoldsProgram("App/KrView.exe", "app-2.0.1.0.exe"));
  // NOTOVERWRITE keeps the user's file.
  EXPECT_EQ(Read("App/UserSettings.ini"),
            testing::ToCp932("[表示]\n文字サイズ=16\n色=ユーザー設定\n"));
  // BACKUPOLD copies the installed file and installs nothing (later table lines and the
  // finishing step then change the settings database itself).
  EXPECT_TRUE(Read(std::string("App/File/KrSet") + kStamp + ".old") == settings_before);
  // DELETE and RMDIR.
  EXPECT_FALSE(Exists("App/KrOldTool.exe"));
  EXPECT_FALSE(Exists("App/OldHelp"));
  // The wildcard copy clears the folder's files and does not descend; FILECOPYSUBDIR does.
  EXPECT_EQ(Read("App/Help/index.htm"), Read("Update Package/Help/index.htm"));
  EXPECT_TRUE(Exists("App/Help/calc.htm"));
  EXPECT_FALSE(Exists("App/Help/old.htm"));
  EXPECT_FALSE(Exists("App/Help/Images"));
  EXPECT_TRUE(Exists("App/Templates/Reports/Monthly/summary.txt"));
  EXPECT_TRUE(Exists("App/Templates/見積/標準.txt"));
  // DLL and OCX registration through the system folder's tool, AEXE by the program itself.
  EXPECT_EQ(Read("Windows/System32/Regsvr32.log"),
            "/sOptions " + App() + "KrComp.dll\n/sOptions " + App() + "KrCtl.ocx\n");
  EXPECT_EQ(Read("App/KrServer.log"), "/RegServer\n");
  // REPAIRSHORTCUT: the Start-menu entries, the desktop copy and the uninstall entry.
  EXPECT_TRUE(Exists("Programs/ケルモラ積算 2019/ケルモラ積算.desktop"));
  EXPECT_TRUE(Exists("Programs/ケルモラ積算 2019/単価計算.desktop"));
  EXPECT_FALSE(Exists("Programs/ケルモラ積算 2019/旧ツール.desktop"));
  EXPECT_TRUE(Exists("Desktop/ケルモラ積算.desktop"));
  EXPECT_TRUE(Exists("Programs/Kelm2019/ユーティリティ/アンインストール.desktop"));
  // PUTXMLSETTING keeps the rest of the file.
  std::string xml = Read("App/KelmoraSetting.xml");
  EXPECT_NE(xml.find("<消費税表示>税込</消費税表示>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<会社名>ケルモラ建設</会社名>"), std::string::npos) << xml;
  // Finishing steps: cabinet removed, desktop shortcut named after ExeTitle.
  EXPECT_FALSE(Exists("Windows/kr-demo.cab"));
  EXPECT_NE(Read("Desktop/ケルモラ積算 2019.desktop").find(demo_ + "/App/KrMain.exe"),
            std::string::npos);
  // Progress captions on the error stream, one per line.
  EXPECT_NE(result.err.find("KrMain.exeをインストール中...\n"), std::string::npos);
  EXPECT_NE(result.err.find("KrOldTool.exeを削除中...\n"), std::string::npos);
}

// Each check and its message are tested through CheckInstallFolder; here, the way a refusal
// leaves the program.
TEST_F(CliTest, RefusedInstallFolderEndsWithStatus2AndTheMessageAndIsLeftAlone) {
  SwitchOn("ChkExeName");
  fs::remove(demo_ + "/App/KrMain.exe");
  const auto before = AppListing();
  ProcessResult result = Cli({demo_ + "/Package", "--install-folder", demo_ + "/App"});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.err,
            "[ケルモラ積算 2019 アップデート] 指定したフォルダには ケルモラ積算 2019 "
            "がインストールされていません。\n再度インストール先を設定してください。\n");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(AppListing(), before);
  // A missing folder typed with blanks is refused and not created.
  result = Cli({demo_ + "/Package", "--install-folder", demo_ + "/Nowhere/  "});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_FALSE(Exists("Nowhere"));
}

// Folders typed relative to the working folder are recorded as the places they name, so that the
// report and an undo read from elsewhere still find them.
TEST_F(CliTest, RelativeFoldersAreRecordedAbsolute) {
  ProcessResult result = testing::RunProgram(
      {"/bin/sh", "-c", "cd \"$1\" && exec \"$2\" Package --install-folder ./App/../App", "sh",
       demo_, BuiltProgram("app/kr-updater-cli")},
      {"KR_NOW=2020-04-07 15:30"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  std::vector<std::string> reports = testing::ReportsIn(App());
  ASSERT_EQ(reports.size(), 1u);
  report::Report r = report::FromJson(platform::ReadFile(reports[0]));
  EXPECT_EQ(r.install_folder, App());
  EXPECT_EQ(r.package, demo_ + "/Package/");
}

TEST_F(CliTest, FailingLineGivesTheErrorMessageWhileLaterLinesStillApply) {
  // UpdateDay today with the program in place: unattended, without the target check that would
  // refuse a package lacking a source.
  Generate("2020/04/07");
  fs::remove(demo_ + "/Package/KrCalc.exe");
  ProcessResult result = Cli({demo_ + "/Package"});
  EXPECT_EQ(result.exit_code, 1) << result.err;
  EXPECT_EQ(testing::EndMessage(result.out),
            "アップデート時にエラーが発生しました。\n" + App() +
                "KrCalc.exe\nエラー番号=53\nエラー内容=ファイルが見つかりません。\n");
  EXPECT_FALSE(Exists("App/KrCalc.exe"));  // deleted before the copy that failed
  EXPECT_EQ(Read("App/Readme.txt"), Read("Package/Readme.txt"));
  EXPECT_FALSE(Exists("App/KrOldTool.exe"));
}

TEST_F(CliTest, DialogWithoutAnInstallFolderPrintsTheProposalAndChangesNothing) {
  ProcessResult result = Cli({demo_ + "/Package"});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(result.out.find("\n" + demo_ + "/App/\n"), std::string::npos) << result.out;
  EXPECT_TRUE(Exists("App/KrOldTool.exe"));
}

TEST_F(CliTest, SecondCopyEndsWithStatus3AndChangesNothing) {
  auto held = platform::InstanceGuard::Acquire("kr-updater");
  ASSERT_TRUE(held);
  ProcessResult result = Cli({demo_ + "/Package", "--install-folder", demo_ + "/App"});
  EXPECT_EQ(result.exit_code, 3);
  EXPECT_EQ(result.err, "[メッセージ] 既に起動されています。\n");
  EXPECT_FALSE(Exists("App/Readme.txt"));
}

TEST_F(CliTest, BadOptionsPointToTheUsageAndChangeNothing) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{"--bogus"},
        {demo_ + "/Package", "--install-folder"},
        {demo_ + "/Package", demo_ + "/Other", "--install-folder", demo_ + "/App"}}) {
    ProcessResult result = Cli(args);
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_NE(result.err.find("詳しくは kr-updater-cli --help をご覧ください。"), std::string::npos)
        << result.err;
  }
  EXPECT_FALSE(Exists("App/Readme.txt"));
  ProcessResult help = Cli({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("--install-folder"), std::string::npos);
}

}  // namespace
}  // namespace kr::app::test
