// kr-updater-cli --install-folder end to end through the target validation: a refused folder
// ends with status 2, the refusal on standard error, and the install folder as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "tests/testing/databases.h"
#include "tests/testing/testing.h"

namespace kr::app::test {
namespace {

namespace fs = std::filesystem;
using testing::ProcessResult;

constexpr std::string_view kTitle = "ケルモラ積算 2019 アップデート";

// Every file and folder below root with its content (folders as "<folder>") and time.
using Listing = std::map<std::string, std::pair<std::string, fs::file_time_type>>;
Listing ListRecursively(const testing::TempDir& root, std::string_view relative) {
  Listing listing;
  for (const auto& entry : fs::recursive_directory_iterator(root.Native(relative))) {
    std::string name = fs::relative(entry.path(), root.path()).string();
    listing[name] = {entry.is_regular_file() ? root.Read(name) : "<folder>",
                     entry.last_write_time()};
  }
  return listing;
}

class InstallFolderValidationTest : public ::testing::Test {
 protected:
  InstallFolderValidationTest() {
    const testing::TempDir& root = sandbox_.root();
    root.Write("Pkg/KrMain.exe", "new program");
    root.Write("Pkg/Readme.txt", "new readme");
    root.Write("App/KrMain.exe", "old program");
    root.Write("App/Readme.txt", "old readme");
    root.Write("App/Help/index.htm", "help");
  }

  // KrInst.ini for year 2019, model 50, with the Bootstrap keys and manifest lines given.
  void Package(std::string_view bootstrap, std::string_view files) {
    sandbox_.root().Write(
        "Pkg/KrInst.ini",
        testing::ToCp932("[Bootstrap]\r\nExeName=KrMain.exe\r\nExeTitle=ケルモラ積算\r\n"
                         "ExeYear=2019\r\nInstModel=50\r\nDispDlgCaption=" +
                         std::string(kTitle) + "\r\n" + std::string(bootstrap) +
                         "\r\n[Bootstrap Files]\r\n" + std::string(files) + "\r\n"));
  }

  ProcessResult Run(const std::string& install_folder) {
    return testing::RunProgram({testing::BuiltProgram("app/kr-updater-cli"),
                                sandbox_.root().Native("Pkg"), "--install-folder", install_folder},
                               {"KR_NOW=2020-04-07 15:30"});
  }

  // Runs the updater on App and expects a refusal with this message, App untouched.
  void ExpectRefused(const std::string& message) {
    const Listing before = ListRecursively(sandbox_.root(), "App");
    ProcessResult result = Run(sandbox_.root().Native("App"));
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_EQ(result.err, "[" + std::string(kTitle) + "] " + message + "\n");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(ListRecursively(sandbox_.root(), "App"), before);
  }

  std::string App() const { return sandbox_.root().Native("App") + "\\"; }
  std::string Pkg() const { return sandbox_.root().Native("Pkg") + "\\"; }

  testing::SandboxedFolders sandbox_;
};

TEST_F(InstallFolderValidationTest, FolderWithoutTheProgramIsRefused) {
  Package("ChkExeName=1", "F1=Readme.txt,$(AppPath)\\,");
  fs::remove(sandbox_.root().Native("App/KrMain.exe"));
  ExpectRefused(
      "指定したフォルダには ケルモラ積算 がインストールされていません。\n"
      "再度インストール先を設定してください。");
}

TEST_F(InstallFolderValidationTest, SettingsDatabaseOfAnotherYearIsRefused) {
  Package("ChkExeYear=1", "F1=Readme.txt,$(AppPath)\\,");
  testing::MakeDatabaseFromText(sandbox_.root().Native("App/File/KrSet.mdb"),
                                "CREATE TABLE Environ (ID LONG, SetName TEXT(255));\n"
                                "INSERT INTO Environ (ID, SetName) VALUES (61, '2018年度版');\n");
  ExpectRefused(
      "指定したフォルダの ケルモラ積算 はバージョンが違います。\n"
      "再度インストール先を設定して下さい。\n\n2018年度版");
}

TEST_F(InstallFolderValidationTest, UnreadableSettingsDatabaseIsRefused) {
  Package("ChkExeYear=1", "F1=Readme.txt,$(AppPath)\\,");
  sandbox_.root().Write("App/File/KrSet.mdb", "not a database");
  const Listing before = ListRecursively(sandbox_.root(), "App");
  ProcessResult result = Run(sandbox_.root().Native("App"));
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(result.err.find("設定データベースを読み込めないため"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find(App() + "File\\KrSet.mdb\nエラー番号=3343\n"), std::string::npos)
      << result.err;
  EXPECT_EQ(ListRecursively(sandbox_.root(), "App"), before);
}

TEST_F(InstallFolderValidationTest, SourceMissingFromThePackageIsRefused) {
  Package("", "F1=Readme.txt,$(AppPath)\\,\r\nF2=Bin\\KrComp.dll,$(AppPath)\\,DLL");
  sandbox_.root().Write("Pkg/Bin/KrComp.dll", "library");  // looked for at the package's top
  ExpectRefused(Pkg() + "KrComp.dll が存在しません。");
}

TEST_F(InstallFolderValidationTest, MissingFolderTypedWithBlanksIsRefusedAndNotCreated) {
  Package("ChkExeName=1", "F1=Readme.txt,$(AppPath)\\,");
  ProcessResult result = Run(sandbox_.root().Native("Nowhere") + "/  ");
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(result.err.find("がインストールされていません。"), std::string::npos) << result.err;
  EXPECT_FALSE(fs::exists(sandbox_.root().Native("Nowhere")));
}

TEST_F(InstallFolderValidationTest, FolderPassingEveryCheckIsUpdated) {
  std::string program = testing::BuiltProgram("tests/fixtures/pe/app-2.0.0.83.exe");
  if (!fs::exists(program)) GTEST_SKIP() << "PE fixtures not built";
  fs::copy_file(program, sandbox_.root().Native("App/KrMain.exe"),
                fs::copy_options::overwrite_existing);
  testing::MakeDatabaseFromText(sandbox_.root().Native("App/File/KrSet.mdb"),
                                "CREATE TABLE Environ (ID LONG, SetName TEXT(255));\n"
                                "INSERT INTO Environ (ID, SetName) VALUES (61, '2019,2.0.83');\n");
  Package("ChkExeName=1\r\nChkExeYear=1\r\nChkExeVersion=1\r\nChkLoading=1\r\nExeVersion=2.0.84",
          "F1=Readme.txt,$(AppPath)\\,\r\nF2=KrOld.exe,$(AppPath)\\,DELETE");
  ProcessResult result = Run(sandbox_.root().Native("App") + "  ");
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "アップデートが完了しました。\n");
  EXPECT_EQ(sandbox_.root().Read("App/Readme.txt"), "new readme");
}

}  // namespace
}  // namespace kr::app::test
