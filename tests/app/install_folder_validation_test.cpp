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
constexpr std::string_view kReadme = "F1=Readme.txt,$(AppPath)\\,";

class InstallFolderValidationTest : public ::testing::Test {
 protected:
  // A package for year 2019, model 50, with the Bootstrap keys and manifest lines given, and an
  // install folder App holding the program.
  void Prepare(std::string_view bootstrap, std::string_view files) {
    root().Write("Pkg/Readme.txt", "new readme");
    root().Write("App/KrMain.exe", "old program");
    root().Write("App/Readme.txt", "old readme");
    root().Write("Pkg/KrInst.ini",
                 testing::ToCp932("[Bootstrap]\r\nExeName=KrMain.exe\r\nExeTitle=ケルモラ積算\r\n"
                                  "ExeYear=2019\r\nInstModel=50\r\nDispDlgCaption=" +
                                  std::string(kTitle) + "\r\n" + std::string(bootstrap) +
                                  "\r\n[Bootstrap Files]\r\n" + std::string(files) + "\r\n"));
  }
  ProcessResult Run(const std::string& install_folder) {
    return testing::RunProgram({testing::BuiltProgram("app/kr-updater-cli"), root().Native("Pkg"),
                                "--install-folder", install_folder},
                               {"KR_NOW=2020-04-07 15:30"});
  }
  // Every file and folder below App with its content (folders as "<folder>") and time.
  std::map<std::string, std::pair<std::string, fs::file_time_type>> AppListing() const {
    std::map<std::string, std::pair<std::string, fs::file_time_type>> listing;
    for (const auto& entry : fs::recursive_directory_iterator(root().Native("App"))) {
      std::string name = fs::relative(entry.path(), root().path()).string();
      listing[name] = {entry.is_regular_file() ? root().Read(name) : "<folder>",
                       entry.last_write_time()};
    }
    return listing;
  }
  void MakeSettings(std::string_view set_name) {
    testing::MakeDatabaseFromText(root().Native("App/File/KrSet.mdb"),
                                  "CREATE TABLE Environ (ID LONG, SetName TEXT(255));\n"
                                  "INSERT INTO Environ (ID, SetName) VALUES (61, '" +
                                      std::string(set_name) + "');\n");
  }
  const testing::TempDir& root() const { return sandbox_.root(); }

  testing::SandboxedFolders sandbox_;
};

// Each check and its message are tested through CheckInstallFolder; here, the way a refusal
// leaves the program.
TEST_F(InstallFolderValidationTest, RefusalEndsWithStatus2AndItsMessageAndChangesNothing) {
  Prepare("ChkExeYear=1", kReadme);
  MakeSettings("2018年度版");
  const auto before = AppListing();
  ProcessResult result = Run(root().Native("App"));
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.err, "[" + std::string(kTitle) +
                            "] 指定したフォルダの ケルモラ積算 はバージョンが違います。\n"
                            "再度インストール先を設定して下さい。\n\n2018年度版\n");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(AppListing(), before);
}

TEST_F(InstallFolderValidationTest, MissingFolderTypedWithBlanksIsRefusedAndNotCreated) {
  Prepare("ChkExeName=1", kReadme);
  ProcessResult result = Run(root().Native("Nowhere") + "/  ");
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(result.err.find("がインストールされていません。"), std::string::npos) << result.err;
  EXPECT_FALSE(fs::exists(root().Native("Nowhere")));
}

TEST_F(InstallFolderValidationTest, FolderPassingEveryCheckIsUpdated) {
  std::string program = testing::BuiltProgram("tests/fixtures/pe/app-2.0.0.83.exe");
  if (!fs::exists(program)) GTEST_SKIP() << "PE fixtures not built";
  Prepare("ChkExeName=1\r\nChkExeYear=1\r\nChkExeVersion=1\r\nChkLoading=1\r\nExeVersion=2.0.84",
          std::string(kReadme) + "\r\nF2=KrOld.exe,$(AppPath)\\,DELETE");
  fs::copy_file(program, root().Native("App/KrMain.exe"), fs::copy_options::overwrite_existing);
  MakeSettings("2019,2.0.83");
  ProcessResult result = Run(root().Native("App") + "  ");
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "アップデートが完了しました。\n");
  EXPECT_EQ(root().Read("App/Readme.txt"), "new readme");
}

}  // namespace
}  // namespace kr::app::test
