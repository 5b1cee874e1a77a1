// CheckInstallFolder through frmMlDir: each check switched on by KrInst.ini and the message the
// user sees when a folder is refused.
#include <filesystem>
#include <fstream>

#include "db/engine/engine.h"
#include "db/passwords.h"
#include "tests/startup/startup_fixture.h"

namespace kr::startup::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTitle = "ケルモラ積算 2015 アップデート";
constexpr const char* kNotInstalled =
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

class ValidatingDialog : public frmMlDir {
 public:
  using frmMlDir::CheckInstallFolder;
  using frmMlDir::frmMlDir;
};

// An update package (Pkg) and an install folder (App) for year 2015, model 50.
class CheckInstallFolderTest : public StartupTest {
 protected:
  CheckInstallFolderTest() : dialog_(run_, ui_, routines_) {
    run_.package_folder = Folder("Pkg");
    run_.title = kTitle;
    run_.exe_year = 2015;
    run_.inst_model = 50;
    sandbox_.root().MakeDirs("App");
  }

  // KrInst.ini naming the program KrMain.exe: the Bootstrap keys given, the manifest lines and
  // any further sections.
  void Package(std::string_view bootstrap, std::string_view files = "",
               std::string_view more = "") {
    Ini("Pkg/KrInst.ini", "[Bootstrap]\r\nExeName=KrMain.exe\r\nExeTitle=ケルモラ積算\r\n" +
                              std::string(bootstrap) + "\r\n[Bootstrap Files]\r\n" +
                              std::string(files) + "\r\n" + std::string(more));
  }

  // The message of the one critical box CheckInstallFolder refused App with, typed into txtDir
  // as the OK handler leaves it; "" when the folder passed.
  std::string Refusal() {
    if (!ui_.dialog) dialog_.Show();
    ui_.dialog->folder_text = run_.install_folder = Folder("App");
    ui_.boxes.clear();
    ui_.dialog->browse_focused = false;
    const bool refused = dialog_.CheckInstallFolder();
    EXPECT_EQ(ui_.boxes.size(), refused ? 1u : 0u);
    if (!refused || ui_.boxes.empty()) return "";
    EXPECT_EQ(ui_.boxes[0].title, kTitle);
    EXPECT_EQ(ui_.boxes[0].icon, ui::Icon::kCritical);
    return ui_.boxes[0].text;
  }

  // A copy of a PE test program of tests/fixtures/pe.
  void Program(std::string_view relative, std::string_view fixture) {
    sandbox_.root().Write(
        relative,
        platform::ReadFile(testing::BuiltProgram("tests/fixtures/pe/" + std::string(fixture))));
  }
  static bool ProgramsBuilt() {
    return fs::exists(testing::BuiltProgram("tests/fixtures/pe/noversion.exe"));
  }

  // App\File\KrSet.mdb; set_name "" means no row 61, "NULL" a Null SetName, nullptr no Environ.
  void SettingsDatabase(const char* set_name, std::string password = db::DatabasePassword()) {
    sandbox_.root().MakeDirs("App/File");
    fs::remove(sandbox_.root().Native("App/File/KrSet.mdb"));
    db::engine::Database db = db::engine::CreateDatabase(SettingsPath(), password);
    if (set_name != nullptr) {
      db.Execute("CREATE TABLE Environ (ID LONG, SetName TEXT(255))");
      db.Execute("INSERT INTO Environ (ID, SetName) VALUES (60, '1999')");
    }
    if (set_name != nullptr && *set_name != '\0') {
      const std::string value =
          set_name == std::string("NULL") ? "Null" : "'" + std::string(set_name) + "'";
      db.Execute("INSERT INTO Environ (ID, SetName) VALUES (61, " + value + ")");
    }
    db.Close();
  }
  std::string SettingsPath() const { return Folder("App") + "File\\KrSet.mdb"; }

  ValidatingDialog dialog_;
};

TEST_F(CheckInstallFolderTest, WithEverySwitchOffAnyFolderPasses) {
  EXPECT_EQ(Refusal(), "");  // no KrInst.ini at all
  Package("ChkExeName=1");
  EXPECT_EQ(Refusal(), kNotInstalled);
  // KrInst.ini is read anew by each call; a folder every check would refuse now passes.
  Package("", "F1=KrMain.exe,$(AppPath)\\,\r\nF2=Data\\*.*,$(AppPath)\\Data\\,");
  sandbox_.root().Write("Pkg/KrMain.exe", "new");
  sandbox_.root().Write("App/File/KrSet.mdb", "not a database");
  EXPECT_EQ(Refusal(), "");
}

TEST_F(CheckInstallFolderTest, ChkExeNameRefusesAFolderWithoutTheProgramAndFocusesBrowse) {
  Package("ChkExeName=1");
  EXPECT_EQ(Refusal(), kNotInstalled);
  EXPECT_TRUE(ui_.dialog->browse_focused);
  sandbox_.root().Write("App/krmain.EXE", "program");  // names are case-blind, as on Windows
  EXPECT_EQ(Refusal(), "");
}

TEST_F(CheckInstallFolderTest, ChkExeYearRefusesSettingsOfAnotherYearWithTheirSetName) {
  Package("ChkExeYear=1");
  EXPECT_EQ(Refusal(), "");  // no settings database
  for (const char* set_name : {"2014年度版 (2.0.83)", "H27年度"}) {
    SettingsDatabase(set_name);
    EXPECT_EQ(Refusal(), OtherYear(set_name));
    EXPECT_FALSE(ui_.dialog->browse_focused);
  }
  // The database read for its year is not left open for the in-use check to find.
  Package("ChkExeYear=1\r\nChkLoading=1", "F1=KrSet.mdb,$(AppPath)\\File\\,BACKUPOLD");
  for (const char* set_name : {"2015,2.0.83", "", "NULL"}) {
    SettingsDatabase(set_name);
    EXPECT_EQ(Refusal(), "") << set_name;
  }
}

TEST_F(CheckInstallFolderTest, YearIsCheckedOnlyForEditionsThatRecordIt) {
  Package("ChkExeYear=1");
  SettingsDatabase("2014");
  const std::pair<int32_t, bool> models[] = {
      {9, false},   {10, true},  {99, true},   {100, false}, {150, false},
      {319, false}, {320, true}, {399, true},  {400, false}, {414, false},
      {415, true},  {499, true}, {500, false}, {-10, false},
  };
  for (const auto& [model, checked] : models) {
    run_.inst_model = model;
    EXPECT_EQ(Refusal() != "", checked) << "InstModel " << model;
  }
}

TEST_F(CheckInstallFolderTest, UnreadableSettingsDatabaseIsRefusedWithTheEnginesError) {
  Package("ChkExeYear=1");
  const std::string head =
      "指定したフォルダの設定データベースを読み込めないため、年度を確認できません。\r\n"
      "アプリケーションを終了してから再度実行するか、インストール先を確認して下さい。\r\n\r\n" +
      sandbox_.root().Native("App/File/KrSet.mdb") + "\r\nエラー番号=";
  SettingsDatabase("2015", "another password");
  EXPECT_TRUE(Refusal().starts_with(head + "3031\r\nエラー内容=")) << ui_.boxes.at(0).text;
  EXPECT_FALSE(ui_.boxes.at(0).text.ends_with("エラー内容=")) << "the engine's description";
  SettingsDatabase(nullptr);
  EXPECT_TRUE(Refusal().starts_with(head + "3078\r\nエラー内容=")) << ui_.boxes.at(0).text;
  sandbox_.root().Write("App/File/KrSet.mdb", "garbage");
  EXPECT_TRUE(Refusal().starts_with(head + "3343\r\nエラー内容=")) << ui_.boxes.at(0).text;
  EXPECT_EQ(sandbox_.root().Read("App/File/KrSet.mdb"), "garbage");
}

TEST_F(CheckInstallFolderTest, ChkExeVersionRefusesAProgramNotOlderThanTheUpdate) {
  struct Case {
    const char* program;  // PE fixture; nullptr: no program
    const char* exe_version;
    const char* refused_as;  // the installed version in the refusal; nullptr: passes
  };
  const Case cases[] = {
      {"app-2.0.0.83.exe", "2.0.83", "2.0.83"}, {"app-2.0.0.84.exe", "2.0.83", "2.0.84"},
      {"app-2.0.0.83.exe", "2.0.84", nullptr},  {"app-1.9.0.9.exe", "", "1.9.9"},
      {"app-1.9.0.9.exe", "2.0.100", "1.9.9"},  // 2015.2.0.100 does not fit 32 bits: 0
      {"noversion.exe", "2.0.84", nullptr},     {nullptr, "2.0.84", nullptr},
  };
  if (!ProgramsBuilt()) GTEST_SKIP() << "no PE fixtures";
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.program ? c.program : "none") + " against " + c.exe_version);
    fs::remove(sandbox_.root().Native("App/KrMain.exe"));
    if (c.program) Program("App/KrMain.exe", c.program);
    Package(std::string("ChkExeVersion=1\r\nExeVersion=") + c.exe_version);
    EXPECT_EQ(Refusal(), c.refused_as ? NotNeeded("KrMain.exe", c.refused_as) : "");
  }
}

TEST_F(CheckInstallFolderTest, FileChkRefusesASecondProgramNotOlderWithItsOwnNameAndVersion) {
  auto file_chk = [&](std::string_view version, std::string_view switched) {
    Package("", "",
            "[FileChk]\r\nExeName=KrCalc.exe\r\nExeInitDir=$(AppPath)\\Sub\r\nExeVersion=" +
                std::string(version) + "\r\nChkExeVersion=" + std::string(switched) + "\r\n");
  };
  file_chk("2.0.0", "1");
  EXPECT_EQ(Refusal(), "");  // not installed
  if (!ProgramsBuilt()) GTEST_SKIP() << "no PE fixtures";
  Program("App/Sub/KrCalc.exe", "app-2.0.1.0.exe");
  EXPECT_EQ(Refusal(), NotNeeded("KrCalc.exe", "2.0.0"));
  file_chk("2.0.0", "0");
  EXPECT_EQ(Refusal(), "");
  file_chk("2.0.1", "1");
  EXPECT_EQ(Refusal(), "");
}

TEST_F(CheckInstallFolderTest, ChkLoadingRefusesAFileARunningProgramHoldsOpen) {
  sandbox_.root().Write("Pkg/KrComp.dll", "new library");
  sandbox_.root().Write("App/Bin/KrComp.dll", "old library");
  // The destination holds the source by its file name, wherever it sits in the package.
  const std::string files = "F1=Sub\\KrComp.dll,$(AppPath)\\Bin,DLL";
  {
    std::ifstream holder(sandbox_.root().Native("App/Bin/KrComp.dll"));  // this test program
    ASSERT_TRUE(holder.is_open());
    Package("ChkLoading=1", files);
    EXPECT_EQ(Refusal(), sandbox_.root().Native("App/Bin/KrComp.dll") +
                             " は現在使用中です。終了してから再度実行して下さい。");
    Package("ChkLoading=0", files);
    EXPECT_EQ(Refusal(), "");
    // Wildcard and empty sources are skipped.
    Package(
        "ChkLoading=1",
        "F1=Help\\*.*,$(AppPath)\\,\r\nF2=,$(AppPath)\\Logs,\r\nF3=*.dll,$(AppPath)\\Bin\\,DLL");
    EXPECT_EQ(Refusal(), "");
  }
  Package("ChkLoading=1", files);
  EXPECT_EQ(Refusal(), "");  // the file is closed
  EXPECT_EQ(sandbox_.root().Read("App/Bin/KrComp.dll"), "old library");
}

TEST_F(CheckInstallFolderTest, MissingSourceIsRefusedUnlessItsActionNeedsNone) {
  const std::string missing = sandbox_.root().Native("Pkg/KrOld.exe") + " が存在しません。";
  for (std::string keyword : {"DELETE", "delete", "Delete;extra", "RMDIR", "TableCopy;PrintSet;;ID",
                              "TABLECOPYVERSION;Cri;;Code|Src.mdb|2019|1|3|TRUE", "REPAIRSHORTCUT",
                              "PutXmlSetting;a;b;c", "BACKUPOLD"}) {
    Package("", "F1=KrOld.exe,$(AppPath)\\," + keyword);
    EXPECT_EQ(Refusal(), "") << keyword;
  }
  for (std::string keyword :
       {"", "SAVEOLD", "TABLE;SpeExe", "TABLE(OPENCHK)", "DLL", " DELETE", "DELETEX"}) {
    Package("", "F1=KrOld.exe,$(AppPath)\\," + keyword);
    EXPECT_EQ(Refusal(), missing) << keyword;
  }
  Package("", "F1=KrOld.exe,$(AppPath)\\");  // no keyword field at all
  EXPECT_EQ(Refusal(), missing);
  sandbox_.root().Write("Pkg/Bin/KrOld.exe", "old");  // looked for at the package's top only
  Package("", "F1=Bin\\KrOld.exe,$(AppPath)\\,");
  EXPECT_EQ(Refusal(), missing);
  // No "=", no comma, extra commas: values are split as they come, missing ones are empty.
  Package("", "JustAName.dll\r\nF2=Gone.dll\r\nF3=,,,,\r\nF4=KrMain.exe,,,,DELETE");
  EXPECT_EQ(Refusal(), sandbox_.root().Native("Pkg/JustAName.dll") + " が存在しません。");
}

TEST_F(CheckInstallFolderTest, OnlyTheFirstFailingCheckSpeaks) {
  Package("ChkExeName=1\r\nChkExeYear=1\r\nChkExeVersion=1", "F1=Missing.dll,$(AppPath)\\,");
  SettingsDatabase("2014");
  EXPECT_EQ(Refusal(), kNotInstalled);
  sandbox_.root().Write("App/KrMain.exe", "no version resource");
  EXPECT_EQ(Refusal(), OtherYear("2014"));
}

}  // namespace
}  // namespace kr::startup::test
