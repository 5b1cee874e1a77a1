#include <filesystem>

#include "tests/manifest/manifest_fixture.h"

namespace kr::manifest::test {
namespace {

struct RoutineCall {
  std::string name, argument, caption;
};

class RecordingRegistry : public RoutineRegistry {
 public:
  bool Run(std::string_view name, std::string_view argument, RunContext&, ui::Ui& ui) override {
    if (name == "Broken") throw Failure::Runtime(kErrInternal, "routine failed");
    if (!name.starts_with("Update")) return false;
    calls.push_back({std::string(name), std::string(argument), ui.WaitLabel(1)});
    return true;
  }
  std::vector<RoutineCall> calls;
};

class RunManifestTest : public ManifestTest {
 protected:
  void Manifest(std::string_view text) { package().Write("KrInst.ini", testing::ToCp932(text)); }
  ManifestOutcome Run(bool unload = true) { return RunManifest(run_, ui_, routines_, unload); }
  RecordingRegistry routines_;
};

TEST(ParseManifestValuesTest, ValuesRightOfTheFirstEqualsSplitAtEveryComma) {
  EXPECT_EQ(ParseManifestValues("File1=a.dll,$(AppPath)\\,DLL"),
            (std::vector<std::string>{"a.dll", "$(AppPath)\\", "DLL"}));
  EXPECT_EQ(ParseManifestValues("k=a=b, c ,,"), (std::vector<std::string>{"a=b", " c ", "", ""}));
  EXPECT_EQ(ParseManifestValues("no equals,x"), (std::vector<std::string>{"no equals", "x"}));
  EXPECT_EQ(ParseManifestValues("k="), (std::vector<std::string>{""}));
}

TEST(VersionTextTest, StatementAndTheEditionsThatCarryIt) {
  EXPECT_EQ(VersionTextStatement(2019, "2.0.83"),
            "UPDATE Environ SET SetName='2019,2.0.83' WHERE ID=61;");
  EXPECT_EQ(VersionTextStatement(2019, "it's"),
            "UPDATE Environ SET SetName='2019,it's' WHERE ID=61;");
  EXPECT_FALSE(CarriesVersionText(5));
  EXPECT_TRUE(CarriesVersionText(10));
  EXPECT_TRUE(CarriesVersionText(99));
  EXPECT_FALSE(CarriesVersionText(300));
  EXPECT_TRUE(CarriesVersionText(350));
  EXPECT_FALSE(CarriesVersionText(400));
}

TEST_F(RunManifestTest, EmptyInstallFolderShowsAndChangesNothing) {
  Manifest("[Bootstrap Files]\r\nF=a.txt,$(AppPath)\\,\r\n");
  package().Write("a.txt", "a");
  run_.install_folder.clear();
  ManifestOutcome outcome = Run();
  EXPECT_FALSE(outcome.ran);
  EXPECT_FALSE(ui_.wait_shown);
}

TEST_F(RunManifestTest, CleanRunEndsWithTheCompletionMessage) {
  Manifest("[Bootstrap]\r\nDispDlgCaption=X\r\n[Bootstrap Files]\r\nF=a.txt,$(AppPath)\\Sub,\r\n");
  package().Write("a.txt", "a");
  install().MakeDirs("Sub");
  ManifestOutcome outcome = Run(true);
  EXPECT_TRUE(outcome.ran);
  EXPECT_FALSE(outcome.errors());
  EXPECT_EQ(install().Read("Sub/a.txt"), "a");
  EXPECT_EQ(ui_.wait_title, "更新テスト");
  EXPECT_EQ(ui_.labels[0], "アップデートが完了しました。");
  EXPECT_EQ(ui_.labels[1], "");
  EXPECT_TRUE(ui_.wait_ok_enabled);
  EXPECT_TRUE(ui_.wait_unloaded);
  EXPECT_FALSE(ui_.busy);
}

TEST_F(RunManifestTest, AfterTheDialogTheWaitDialogStaysWithItsOwnEndMessage) {
  Manifest("[Bootstrap]\r\nDispEndMsg=完了\r\nDispEndErrMsg=\r\n");
  Run(false);
  EXPECT_EQ(ui_.labels[0], "完了");
  EXPECT_FALSE(ui_.wait_unloaded);
}

TEST_F(RunManifestTest, FailingLineIsReportedWhileLaterLinesStillApply) {
  Manifest(
      "[Bootstrap]\r\nDispEndMsg=完了\r\n"
      "[Bootstrap Files]\r\n"
      "F1=one.txt,$(AppPath)\\,\r\n"
      "F2=missing.txt,$(AppPath)\\,\r\n"
      "F3=three.txt,$(AppPath)\\,\r\n");
  package().Write("one.txt", "1");
  package().Write("three.txt", "3");
  ManifestOutcome outcome = Run();
  EXPECT_TRUE(outcome.errors());
  EXPECT_EQ(install().Read("three.txt"), "3");
  EXPECT_EQ(ui_.labels[0], "アップデート時にエラーが発生しました。");
  std::string block = install().folder() + "missing.txt\r\nエラー番号=53\r\nエラー内容=" +
                      std::string(RuntimeErrorDescription(kErrFileNotFound)) + "\r\n\r\n";
  EXPECT_EQ(ui_.labels[1], block);
  EXPECT_EQ(outcome.error_log, block);
}

TEST_F(RunManifestTest, KeywordFieldKeepsItsCommasAndShortLinesAreSkipped) {
  install().Write("KelmoraSetting.xml", "<?xml version=\"1.0\"?><Root/>");
  Manifest(
      "[Bootstrap Files]\r\n"
      "X=s.xml,$(AppPath)\\,PutXmlSetting;Sec;Key;a,b\r\n"
      "Short=two.txt,$(AppPath)\\\r\n"
      "Dup=d.txt,$(AppPath)\\,\r\n"
      "Dup=e.txt,$(AppPath)\\,\r\n");
  package().Write("two.txt", "2");
  package().Write("d.txt", "d");
  package().Write("e.txt", "e");
  EXPECT_FALSE(Run().errors());
  EXPECT_EQ(support::GetXmlSetting(InstallPath("KelmoraSetting.xml"), "Sec", "Key"), "a,b");
  EXPECT_FALSE(install().Exists("two.txt"));
  EXPECT_TRUE(install().Exists("d.txt"));
  EXPECT_TRUE(install().Exists("e.txt"));
}

TEST_F(RunManifestTest, AfterRoutinesRunInOrderWithTheirCaptionsAndArguments) {
  Manifest(
      "[Function]\r\n"
      "A=Update1,after,年度データ更新中...,15\r\n"
      "B=Update2,BEFORE,skipped\r\n"
      "C=Update3,AFTER\r\n"
      "D=Update4\r\n"
      "E=Unknown,AFTER,Unknown caption\r\n"
      "F=Broken,AFTER,broken\r\n"
      "G=Update5,AFTER,,x\r\n");
  ManifestOutcome outcome = Run();
  ASSERT_EQ(routines_.calls.size(), 3u);
  EXPECT_EQ(routines_.calls[0].name, "Update1");
  EXPECT_EQ(routines_.calls[0].argument, "15");
  EXPECT_EQ(routines_.calls[0].caption, "年度データ更新中...");
  EXPECT_EQ(routines_.calls[1].name, "Update3");
  EXPECT_EQ(routines_.calls[1].argument, "");
  EXPECT_EQ(routines_.calls[1].caption, "年度データ更新中...");  // no caption: left as it was
  EXPECT_EQ(routines_.calls[2].name, "Update5");
  EXPECT_EQ(routines_.calls[2].caption, "");
  // A failing routine never turns the end message into the error message.
  EXPECT_FALSE(outcome.errors());
  EXPECT_EQ(ui_.labels[0], "アップデートが完了しました。");
}

TEST_F(RunManifestTest, FinishingStepsRemoveTheCabinetAndCreateTheDesktopShortcut) {
  Manifest(
      "[Bootstrap]\r\nCabFile=kr.cab\r\nShortCut=1\r\nExeName=Kr.exe\r\nExeTitle=ケルモラ\r\n");
  sandbox_.root().Write("Windows/kr.cab", "cab");
  Run();
  EXPECT_FALSE(sandbox_.root().Exists("Windows/kr.cab"));
  std::string entry = sandbox_.root().Read("Desktop/ケルモラ.desktop");
  EXPECT_NE(entry.find(install().Native("Kr.exe")), std::string::npos);
  EXPECT_NE(std::find(ui_.progress.begin(), ui_.progress.end(), "ショートカットを作成中..."),
            ui_.progress.end());
  EXPECT_NE(std::find(ui_.progress.begin(), ui_.progress.end(), "バージョン情報を更新中..."),
            ui_.progress.end());
}

TEST_F(RunManifestTest, MissingBootstrapIniRunsNothingAndEndsCleanly) {
  ManifestOutcome outcome = Run();
  EXPECT_TRUE(outcome.ran);
  EXPECT_FALSE(outcome.errors());
  EXPECT_TRUE(routines_.calls.empty());
  EXPECT_EQ(ui_.labels[0], "アップデートが完了しました。");
}

// --- RunAndWait ---------------------------------------------------------------------------------

class RunAndWaitTest : public ManifestTest {
 protected:
  std::string Script(std::string_view name, std::string_view body) {
    install().Write(name, "#!/bin/sh\n" + std::string(body));
    std::filesystem::permissions(install().Native(name), std::filesystem::perms::owner_all);
    return InstallPath(name);
  }
};

TEST_F(RunAndWaitTest, WaitsForTheChildWhatEverItsExitCode) {
  std::string program =
      Script("slow", "sleep 0.2\necho done > \"$(dirname \"$0\")/out\"\nexit 7\n");
  EXPECT_TRUE(RunAndWait(ui_, program, 0));
  EXPECT_EQ(install().Read("out"), "done\n");
  EXPECT_GT(ui_.pumped, 0);
}

TEST_F(RunAndWaitTest, ProgramThatDoesNotExistGivesFalseSilently) {
  EXPECT_FALSE(RunAndWait(ui_, InstallPath("none.exe") + " /RegServer", 0));
  EXPECT_TRUE(ui_.boxes.empty());
}

}  // namespace
}  // namespace kr::manifest::test
