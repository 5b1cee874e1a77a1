// CheckInstallFolder: the program, its product year and its version, each switched by KrInst.ini,
// and what the user sees when a folder is refused.
#include "tests/startup/validation_fixture.h"

namespace kr::startup::test {
namespace {

constexpr std::string_view kNotInstalled =
    "指定したフォルダには ケルモラ積算 がインストールされていません。\r\n"
    "再度インストール先を設定してください。";

std::string OtherYear(std::string_view set_name) {
  return "指定したフォルダの ケルモラ積算 はバージョンが違います。\r\n"
         "再度インストール先を設定して下さい。\r\n\r\n" +
         std::string(set_name);
}

std::string NotNeeded(std::string_view exe_name, std::string_view version) {
  return "指定したフォルダには既に新しいプログラムがインストールされています。\r\n"
         "アップデートする必要がありません。\r\n\r\n既存のバージョン： " +
         std::string(exe_name) + "  Ver." + std::string(version);
}

using CheckInstallFolderTest = ValidationTest;

TEST_F(CheckInstallFolderTest, WithEverySwitchOffAnyFolderPassesUntouched) {
  Package(kProgram, "F1=KrMain.exe,$(AppPath)\\,\r\nF2=Data\\*.*,$(AppPath)\\Data\\,");
  sandbox_.root().Write("Pkg/KrMain.exe", "new");
  // Everything a switched-on check would refuse: no program, an unreadable settings database.
  sandbox_.root().Write("App/File/KrSet.mdb", "not a database");
  const FolderSnapshot before = Snapshot("App");
  EXPECT_TRUE(Passes());
  EXPECT_FALSE(ui_.dialog->browse_focused);
  EXPECT_EQ(Snapshot("App"), before);
  EXPECT_FALSE(Check(Folder("NoSuchFolder")));
}

// --- ChkExeName ---------------------------------------------------------------------------------

TEST_F(CheckInstallFolderTest, MissingProgramNamesTheApplicationAndFocusesBrowse) {
  Package(std::string(kProgram) + "ChkExeName=1");
  EXPECT_TRUE(RefusedWith(std::string(kNotInstalled)));
  EXPECT_TRUE(ui_.dialog->browse_focused);

  sandbox_.root().Write("App/krmain.EXE", "program");  // names are case-blind, as on Windows
  EXPECT_TRUE(Passes());
}

// --- ChkExeYear ---------------------------------------------------------------------------------

TEST_F(CheckInstallFolderTest, SettingsDatabaseOfAnotherYearIsRefusedWithItsSetName) {
  Package(std::string(kProgram) + "ChkExeYear=1");
  SettingsDatabase("2014年度版 (2.0.83)");
  EXPECT_TRUE(RefusedWith(OtherYear("2014年度版 (2.0.83)")));
  EXPECT_FALSE(ui_.dialog->browse_focused);
}

TEST_F(CheckInstallFolderTest, SettingsDatabaseOfTheSameYearPasses) {
  Package(std::string(kProgram) + "ChkExeYear=1");
  SettingsDatabase("2015,2.0.83");
  EXPECT_TRUE(Passes());
}

TEST_F(CheckInstallFolderTest, YearThatIsNotANumberCountsAsAnotherYear) {
  Package(std::string(kProgram) + "ChkExeYear=1");
  SettingsDatabase("H27年度");
  EXPECT_TRUE(RefusedWith(OtherYear("H27年度")));
}

TEST_F(CheckInstallFolderTest, NoDatabaseNoRowOrNullSetNamePass) {
  Package(std::string(kProgram) + "ChkExeYear=1");
  EXPECT_TRUE(Passes());  // no File\KrSet.mdb
  SettingsDatabase("");
  EXPECT_TRUE(Passes());
  std::filesystem::remove(sandbox_.root().Native("App/File/KrSet.mdb"));
  SettingsDatabase("NULL");
  EXPECT_TRUE(Passes());
}

TEST_F(CheckInstallFolderTest, YearIsCheckedOnlyForEditionsThatRecordIt) {
  Package(std::string(kProgram) + "ChkExeYear=1");
  SettingsDatabase("2014");
  const std::pair<int32_t, bool> models[] = {
      {9, false},   {10, true},  {99, true},   {100, false}, {150, false},
      {319, false}, {320, true}, {399, true},  {400, false}, {414, false},
      {415, true},  {499, true}, {500, false}, {-10, false},
  };
  for (const auto& [model, checked] : models) {
    run_.inst_model = model;
    EXPECT_EQ(Check(), checked) << "InstModel " << model;
  }
}

TEST_F(CheckInstallFolderTest, UnreadableSettingsDatabaseIsRefusedNotWavedThrough) {
  Package(std::string(kProgram) + "ChkExeYear=1");
  const std::string path = Folder("App") + "File\\KrSet.mdb";
  auto refusal = [&](int number) {
    return "指定したフォルダの設定データベースを読み込めないため、年度を確認できません。\r\n"
           "アプリケーションを終了してから再度実行するか、インストール先を確認して下さい。\r\n\r"
           "\n" +
           path + "\r\nエラー番号=" + std::to_string(number) + "\r\nエラー内容=";
  };

  SettingsDatabase("2015", "another password");
  ASSERT_TRUE(Check());
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_TRUE(ui_.boxes[0].text.starts_with(refusal(3031))) << ui_.boxes[0].text;
  EXPECT_GT(ui_.boxes[0].text.size(), refusal(3031).size()) << "the engine's description";
  EXPECT_EQ(ui_.boxes[0].title, kTitle);
  EXPECT_EQ(ui_.boxes[0].icon, ui::Icon::kCritical);

  sandbox_.root().Write("App/File/KrSet.mdb", "garbage, not a database at all");
  ASSERT_TRUE(Check());
  EXPECT_TRUE(ui_.boxes.at(0).text.starts_with(refusal(3343))) << ui_.boxes[0].text;
  EXPECT_EQ(sandbox_.root().Read("App/File/KrSet.mdb"), "garbage, not a database at all");
}

TEST_F(CheckInstallFolderTest, SettingsDatabaseWithoutEnvironTableIsRefused) {
  Package(std::string(kProgram) + "ChkExeYear=1");
  sandbox_.root().MakeDirs("App/File");
  db::engine::CreateDatabase(Folder("App") + "File\\KrSet.mdb", db::DatabasePassword()).Close();
  ASSERT_TRUE(Check());
  EXPECT_NE(ui_.boxes.at(0).text.find("エラー番号=3078"), std::string::npos) << ui_.boxes[0].text;
}

// --- ChkExeVersion ------------------------------------------------------------------------------

TEST_F(CheckInstallFolderTest, InstalledVersionEqualToTheUpdateIsRefused) {
  if (!Program("App/KrMain.exe", "app-2.0.0.83.exe")) GTEST_SKIP() << "PE fixtures not built";
  Package(std::string(kProgram) + "ChkExeVersion=1\r\nExeVersion=2.0.83");
  EXPECT_TRUE(RefusedWith(NotNeeded("KrMain.exe", "2.0.83")));

  Package(std::string(kProgram) + "ChkExeVersion=1\r\nExeVersion=2.0.84");
  EXPECT_TRUE(Passes());
}

TEST_F(CheckInstallFolderTest, NewerInstalledVersionIsRefused) {
  if (!Program("App/KrMain.exe", "app-2.0.0.84.exe")) GTEST_SKIP() << "PE fixtures not built";
  Package(std::string(kProgram) + "ChkExeVersion=1\r\nExeVersion=2.0.83");
  EXPECT_TRUE(RefusedWith(NotNeeded("KrMain.exe", "2.0.84")));
}

TEST_F(CheckInstallFolderTest, EmptyOrOversizedExeVersionRefusesAnyVersionedProgram) {
  if (!Program("App/KrMain.exe", "app-1.9.0.9.exe")) GTEST_SKIP() << "PE fixtures not built";
  Package(std::string(kProgram) + "ChkExeVersion=1");
  EXPECT_TRUE(RefusedWith(NotNeeded("KrMain.exe", "1.9.9")));
  // 2015.2.0.100 does not fit in 32 bits and becomes 0.
  Package(std::string(kProgram) + "ChkExeVersion=1\r\nExeVersion=2.0.100");
  EXPECT_TRUE(RefusedWith(NotNeeded("KrMain.exe", "1.9.9")));
}

TEST_F(CheckInstallFolderTest, ProgramWithoutVersionOrMissingCountsAsOlder) {
  if (!Program("App/KrMain.exe", "noversion.exe")) GTEST_SKIP() << "PE fixtures not built";
  Package(std::string(kProgram) + "ChkExeVersion=1\r\nExeVersion=2.0.84");
  EXPECT_TRUE(Passes());
  std::filesystem::remove(sandbox_.root().Native("App/KrMain.exe"));
  EXPECT_TRUE(Passes());
}

// --- FileChk ------------------------------------------------------------------------------------

TEST_F(CheckInstallFolderTest, SecondProgramNotOlderIsRefusedWithItsOwnNameAndVersion) {
  if (!Program("App/Sub/KrCalc.exe", "app-2.0.1.0.exe")) GTEST_SKIP() << "PE fixtures not built";
  const std::string file_chk =
      "[FileChk]\r\nExeName=KrCalc.exe\r\nExeInitDir=$(AppPath)\\Sub\r\nExeVersion=2.0.0\r\n";
  Package(kProgram, "", file_chk + "ChkExeVersion=1\r\n");
  EXPECT_TRUE(RefusedWith(NotNeeded("KrCalc.exe", "2.0.0")));

  Package(kProgram, "", file_chk + "ChkExeVersion=0\r\n");
  EXPECT_TRUE(Passes());
  Package(kProgram, "",
          "[FileChk]\r\nExeName=KrCalc.exe\r\nExeInitDir=$(AppPath)\\Sub\r\n"
          "ExeVersion=2.0.1\r\nChkExeVersion=1\r\n");
  EXPECT_TRUE(Passes());
}

TEST_F(CheckInstallFolderTest, MissingSecondProgramPassesWhateverTheSwitch) {
  Package(kProgram, "",
          "[FileChk]\r\nExeName=KrCalc.exe\r\nExeInitDir=$(AppPath)\\Sub\r\nChkExeVersion=1\r\n");
  EXPECT_TRUE(Passes());
}

// --- The sequence -------------------------------------------------------------------------------

TEST_F(CheckInstallFolderTest, OnlyTheFirstFailingCheckSpeaks) {
  Package(std::string(kProgram) + "ChkExeName=1\r\nChkExeYear=1\r\nChkExeVersion=1",
          "F1=Missing.dll,$(AppPath)\\,");
  SettingsDatabase("2014");
  EXPECT_TRUE(RefusedWith(std::string(kNotInstalled)));
  sandbox_.root().Write("App/KrMain.exe", "no version resource");
  EXPECT_TRUE(RefusedWith(OtherYear("2014")));
}

TEST_F(CheckInstallFolderTest, EachCallReadsKrInstIniAnew) {
  Package(std::string(kProgram) + "ChkExeName=1");
  EXPECT_TRUE(Check());
  Package(std::string(kProgram) + "ChkExeName=0");
  EXPECT_TRUE(Passes());
}

TEST_F(CheckInstallFolderTest, MissingKrInstIniChecksNothing) { EXPECT_TRUE(Passes()); }

// --- Through the OK button ----------------------------------------------------------------------

TEST_F(CheckInstallFolderTest, RefusedOkKeepsTheDialogOpenAndChangesNothing) {
  Package(std::string(kProgram) + "ChkExeName=1", "F1=Readme.txt,$(AppPath)\\,");
  sandbox_.root().Write("Pkg/Readme.txt", "new");
  dialog_.Show();
  ui_.dialog->folder_text = Folder("App").substr(0, Folder("App").size() - 1) + "   ";
  ui_.dialog->handler.OnOk();

  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, kNotInstalled);
  EXPECT_EQ(ui_.dialog->folder_text, Folder("App"));
  EXPECT_FALSE(ui_.dialog->closed);
  EXPECT_TRUE(ui_.dialog->browse_focused);
  EXPECT_FALSE(ui_.wait_shown);
  EXPECT_FALSE(sandbox_.root().Exists("App/Readme.txt"));

  sandbox_.root().Write("App/KrMain.exe", "program");  // put right, and try again
  ui_.dialog->handler.OnOk();
  EXPECT_TRUE(ui_.dialog->closed);
  EXPECT_EQ(sandbox_.root().Read("App/Readme.txt"), "new");
}

}  // namespace
}  // namespace kr::startup::test
