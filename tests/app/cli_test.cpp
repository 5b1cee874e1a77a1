// kr-updater-cli end to end over the demo: a run through the dialog path and unattended, refusals,
// the package check and undo.
#include <filesystem>

#include "tests/app/unattended_run.h"

namespace kr::app::test {
namespace {

namespace fs = std::filesystem;
using testing::BuiltProgram;
using testing::ProcessResult;

constexpr const char* kStamp = "202004071530";

class CliTest : public DemoCliTest {
 protected:
  void SetUp() override {
    DemoCliTest::SetUp();
    if (!IsSkipped()) Generate("2000/01/01");
  }

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

TEST_F(CliTest, DialogWithoutAnInstallFolderPrintsTheProposalAndChangesNothing) {
  ProcessResult result = Cli({demo_ + "/Package"});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(result.out.find("\n" + demo_ + "/App/\n"), std::string::npos) << result.out;
  EXPECT_TRUE(Exists("App/KrOldTool.exe"));
}

TEST_F(CliTest, SecondCopyEndsWithStatus3AndChangesNothingEvenToPlan) {
  auto held = platform::InstanceGuard::Acquire("kr-updater");
  ASSERT_TRUE(held);
  ProcessResult result = Cli({demo_ + "/Package", "--install-folder", demo_ + "/App"});
  EXPECT_EQ(result.exit_code, 3);
  EXPECT_EQ(result.err, "[メッセージ] 既に起動されています。\n");
  EXPECT_FALSE(Exists("App/Readme.txt"));
  EXPECT_EQ(Cli({demo_ + "/Package", "--plan", "--install-folder", demo_ + "/App"}).exit_code, 3);
}

// --check: the package a build makes checks clean and changes nothing; a mistake shows at its
// line, in text and in JSON.
TEST_F(CliTest, TheDemoPackageChecksCleanAndNothingChanges) {
  auto before = root_.Files();
  ProcessResult text = Cli({"--check", demo_ + "/Package"});
  EXPECT_EQ(text.exit_code, 0) << text.out << text.err;
  EXPECT_EQ(text.out, "問題はありません。\n");
  ProcessResult json = Cli({"--check", demo_ + "/Package", "--format", "json"});
  EXPECT_EQ(json.exit_code, 0);
  EXPECT_EQ(json.out, "[]\n");
  EXPECT_EQ(root_.Files(), before);
}

TEST_F(CliTest, APackageMistakeEndsTheCheckWithStatusOneAndNamesItsLine) {
  std::string ini = Read("Package/KrInst.ini");
  size_t at = ini.find("Func03=Update2019ExpR0111");
  ASSERT_NE(at, std::string::npos);
  ini.replace(at, 25, "Func03=update2019ExpR0111");
  root_.Write("Package/KrInst.ini", ini);
  ProcessResult json = Cli({"--check", demo_ + "/Package", "--format", "json"});
  EXPECT_EQ(json.exit_code, 1);
  EXPECT_NE(json.out.find("\"line\": 45, \"severity\": \"error\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"code\": \"unknown-routine\""), std::string::npos);
  EXPECT_NE(json.out.find("「Update2019ExpR0111」 の誤り"), std::string::npos);
}

TEST(PackageCheckOptionsTest, CheckDoesNotMixWithARunsOptions) {
  testing::TempDir dir;
  const std::string package = dir.path();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--check", package, "--install-folder", "/tmp"},
        {"--check", package, package},
        {"--check", package, "--format", "xml"},
        {"--check", package, "--plan"},
        {package, "--format", "json"}}) {
    std::vector<std::string> argv = args;
    argv.insert(argv.begin(), BuiltProgram("app/kr-updater-cli"));
    ProcessResult result = testing::RunProgram(argv);
    EXPECT_EQ(result.exit_code, 2) << ::testing::PrintToString(args) << result.err;
  }
}

// --undo: every file of the sandbox (install folder, shortcut folders, Windows folder) back as it
// was before the update.
class UndoCliTest : public CliTest {
 protected:
  using Files = std::map<std::string, std::string>;

  void Update() {
    ProcessResult run = Cli({demo_ + "/Package", "--install-folder", demo_ + "/App"});
    ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  }
  ProcessResult Undo(std::vector<std::string> more = {}) {
    std::vector<std::string> args{"--undo", "--install-folder", demo_ + "/App"};
    args.insert(args.end(), more.begin(), more.end());
    return Cli(args, "2020-04-07 15:40");
  }
  // Every file of the sandbox but the run records, the lock folder and the logs the stand-in
  // registration programs append to (what programs do is not undone).
  Files Sandbox() const {
    Files files = root_.Files();
    std::erase_if(files, [](const auto& file) {
      return file.first.starts_with("run/") || file.first.ends_with(".log");
    });
    return files;
  }
  bool KeptSomewhereInUpdateLog(std::string_view bytes) const {
    for (const auto& [name, content] : root_.Files(true)) {
      if (name.starts_with("App/UpdateLog/") && content == bytes) return true;
    }
    return false;
  }
};

TEST_F(UndoCliTest, UndoPutsEveryFileBackAsBeforeTheUpdateAndASecondUndoDoesNothing) {
  const Files before = Sandbox();
  Update();
  ASSERT_NE(Sandbox(), before);

  testing::TempDir copies;
  ProcessResult undo = Undo({"--report", copies.Native("undo.json")});
  ASSERT_EQ(undo.exit_code, 0) << undo.out << undo.err;
  EXPECT_NE(undo.out.find("更新を元に戻しました"), std::string::npos) << undo.out;
  // Registrations ran programs: named as not undone.
  EXPECT_NE(undo.out.find("Regsvr32"), std::string::npos) << undo.out;
  EXPECT_NE(copies.Read("undo.json").find("\"kind\": \"undo\""), std::string::npos);
  EXPECT_EQ(testing::Differing(before, Sandbox()), testing::Names{});

  ProcessResult again = Undo();
  EXPECT_EQ(again.exit_code, 0) << again.err;
  EXPECT_NE(again.out.find("既に元に戻されています"), std::string::npos) << again.out;
  EXPECT_EQ(testing::Differing(before, Sandbox()), testing::Names{});
}

TEST_F(UndoCliTest, AFileChangedAfterTheUpdateStopsUndoUntilForcedAndItsContentIsKept) {
  const Files before = Sandbox();
  Update();
  root_.Write("App/KelmoraSetting.xml", "edited after the update");
  root_.Write("App/Readme.txt", "notes the user added");
  const Files edited = Sandbox();

  ProcessResult refused = Undo();
  EXPECT_EQ(refused.exit_code, 2);
  EXPECT_NE(refused.err.find(root_.Native("App/KelmoraSetting.xml")), std::string::npos)
      << refused.err;
  EXPECT_NE(refused.err.find(root_.Native("App/Readme.txt")), std::string::npos) << refused.err;
  EXPECT_EQ(testing::Differing(edited, Sandbox()), testing::Names{});

  ProcessResult forced = Undo({"--force"});
  ASSERT_EQ(forced.exit_code, 0) << forced.out << forced.err;
  EXPECT_EQ(testing::Differing(before, Sandbox()), testing::Names{});
  // What force overwrote is not lost.
  EXPECT_TRUE(KeptSomewhereInUpdateLog("edited after the update"));
  EXPECT_TRUE(KeptSomewhereInUpdateLog("notes the user added"));
}

TEST_F(UndoCliTest, UndoWithoutAnyUpdateRecordedIsRefusedAndChangesNothing) {
  const Files before = Sandbox();
  ProcessResult refused = Undo();
  EXPECT_EQ(refused.exit_code, 2);
  EXPECT_NE(refused.err.find("元に戻せる更新の記録がありません"), std::string::npos) << refused.err;
  root_.Write("broken.json", "{ not a report");
  ProcessResult broken = Cli({"--undo", root_.Native("broken.json")}, "2020-04-07 15:40");
  EXPECT_EQ(broken.exit_code, 2);
  EXPECT_NE(broken.err.find("更新の記録を読めません"), std::string::npos) << broken.err;
  Files now = Sandbox();
  now.erase("broken.json");
  EXPECT_EQ(testing::Differing(before, now), testing::Names{});
}

}  // namespace
}  // namespace kr::app::test
