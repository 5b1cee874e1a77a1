#include <filesystem>

#include "tests/manifest/manifest_fixture.h"

namespace kr::manifest::test {
namespace {

class RecordingRegistry : public RoutineRegistry {
 public:
  bool Run(std::string_view name, std::string_view argument, RunContext&, ui::Ui& ui) override {
    if (name == "Broken") throw Failure::Runtime(kErrInternal, "routine failed");
    if (!name.starts_with("Update")) return false;
    calls.push_back(std::string(name) + "|" + std::string(argument) + "|" + ui.WaitLabel(1));
    return true;
  }
  std::vector<std::string> calls;  // name|argument|caption
};

class RunManifestTest : public ManifestTest {
 protected:
  void Manifest(std::string_view text) { package_.Write("KrInst.ini", testing::ToCp932(text)); }
  ManifestOutcome Run(bool unload = true) { return RunManifest(run_, ui_, routines_, unload); }
  RecordingRegistry routines_;
};

TEST(ManifestValuesTest, ValuesSplitAtEveryCommaAndVersionTextGoesToTwoModelRanges) {
  using Values = std::vector<std::string>;
  EXPECT_EQ(ParseManifestValues("File1=a.dll,$(AppPath)\\,DLL"),
            (Values{"a.dll", "$(AppPath)\\", "DLL"}));
  EXPECT_EQ(ParseManifestValues("k=a=b, c ,,"), (Values{"a=b", " c ", "", ""}));
  EXPECT_EQ(ParseManifestValues("no equals,x"), (Values{"no equals", "x"}));
  EXPECT_EQ(VersionTextStatement(2019, "it's"),
            "UPDATE Environ SET SetName='2019,it's' WHERE ID=61;");
  for (int model : {10, 99, 320, 399}) EXPECT_TRUE(CarriesVersionText(model)) << model;
  for (int model : {9, 100, 319, 400}) EXPECT_FALSE(CarriesVersionText(model)) << model;
}

TEST_F(RunManifestTest, EmptyInstallFolderShowsAndChangesNothing) {
  Manifest("[Bootstrap Files]\r\nF=a.txt,$(AppPath)\\,\r\n");
  package_.Write("a.txt", "a");
  run_.install_folder.clear();
  EXPECT_FALSE(Run().ran);
  EXPECT_FALSE(ui_.wait_shown);
}

TEST_F(RunManifestTest, MissingManifestRunsNothingAndEndsWithTheCompletionMessage) {
  ManifestOutcome outcome = Run(true);
  EXPECT_TRUE(outcome.ran);
  EXPECT_FALSE(outcome.errors());
  EXPECT_EQ(ui_.wait_title, "更新テスト");
  EXPECT_EQ(ui_.labels[0], "アップデートが完了しました。");
  EXPECT_EQ(ui_.labels[1], "");
  EXPECT_TRUE(ui_.wait_ok_enabled && ui_.wait_unloaded);
  EXPECT_FALSE(ui_.busy);
}

TEST_F(RunManifestTest, AfterTheDialogTheWaitDialogStaysWithItsOwnEndMessage) {
  Manifest("[Bootstrap]\r\nDispEndMsg=完了\r\nDispEndErrMsg=\r\n");
  Run(false);
  EXPECT_EQ(ui_.labels[0], "完了");
  EXPECT_FALSE(ui_.wait_unloaded);
}

TEST_F(RunManifestTest, KeywordFieldKeepsItsCommasAndShortLinesAreSkipped) {
  install_.Write("KelmoraSetting.xml", "<?xml version=\"1.0\"?><Root/>");
  Manifest(
      "[Bootstrap Files]\r\nX=s.xml,$(AppPath)\\,PutXmlSetting;Sec;Key;a,b\r\n"
      "Short=two.txt,$(AppPath)\\\r\nDup=d.txt,$(AppPath)\\,\r\nDup=e.txt,$(AppPath)\\,\r\n");
  for (const char* name : {"two.txt", "d.txt", "e.txt"}) package_.Write(name, name);
  EXPECT_FALSE(Run().errors());
  EXPECT_EQ(support::GetXmlSetting(InstallPath("KelmoraSetting.xml"), "Sec", "Key"), "a,b");
  EXPECT_FALSE(install_.Exists("two.txt"));
  EXPECT_TRUE(install_.Exists("d.txt") && install_.Exists("e.txt"));
}

TEST_F(RunManifestTest, AfterRoutinesRunInOrderWithTheirCaptionsAndArguments) {
  Manifest(
      "[Function]\r\nA=Update1,after,年度データ更新中...,15\r\nB=Update2,BEFORE,skipped\r\n"
      "C=Update3,AFTER\r\nD=Update4\r\nE=Unknown,AFTER,Unknown caption\r\n"
      "F=Broken,AFTER,broken\r\nG=Update5,AFTER,,x\r\n");
  ManifestOutcome outcome = Run();
  // No caption leaves the last one; an empty one clears it.
  EXPECT_EQ(routines_.calls,
            (std::vector<std::string>{"Update1|15|年度データ更新中...",
                                      "Update3||年度データ更新中...", "Update5|x|"}));
  // A failing routine never turns the end message into the error message.
  EXPECT_FALSE(outcome.errors());
  EXPECT_EQ(ui_.labels[0], "アップデートが完了しました。");
}

TEST_F(RunManifestTest, RunAndWaitWaitsWhateverTheExitCodeAndFailsSilently) {
  install_.Write("slow", "#!/bin/sh\nsleep 0.2\necho done > \"$(dirname \"$0\")/out\"\nexit 7\n");
  std::filesystem::permissions(install_.Native("slow"), std::filesystem::perms::owner_all);
  EXPECT_TRUE(RunAndWait(ui_, InstallPath("slow"), 0));
  EXPECT_EQ(install_.Read("out"), "done\n");
  EXPECT_GT(ui_.pumped, 0);
  EXPECT_FALSE(RunAndWait(ui_, InstallPath("none.exe") + " /RegServer", 0));
  EXPECT_TRUE(ui_.boxes.empty());
}

}  // namespace
}  // namespace kr::manifest::test
