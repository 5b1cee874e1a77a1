#include "tests/startup/startup_fixture.h"

namespace kr::startup::test {
namespace {

class LookupTest : public StartupTest {
 protected:
  LookupTest() {
    run_.exe_year = 2019;
    run_.inst_model = 50;  // TN
    run_.common_data_folder = support::GetCommonDataFolder(run_);
  }
  void Xml(std::string_view install_path, std::string_view update_day,
           std::string_view section = "TN2019", std::string_view file = "KrTN2000.xml") {
    sandbox_.root().Write("ProgramData/Kelmora/" + std::string(file),
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root><" +
                              std::string(section) + "><InstPath>" + std::string(install_path) +
                              "</InstPath><UpdateDay>" + std::string(update_day) +
                              "</UpdateDay></" + std::string(section) + "></Root>\n");
  }
  // An install folder holding the program.
  std::string Installed(std::string_view relative) {
    sandbox_.root().Write(std::string(relative) + "/Kr.exe", "program");
    return Folder(relative);
  }
  RunContext run_;
};

TEST_F(LookupTest, XmlSourceGivesTheFolderAndTheUpdateDay) {
  std::string folder = Installed("App");
  Xml(folder, "2020/04/07");
  EXPECT_EQ(LookUpInstallFolder(run_), "2020/04/07");
  EXPECT_EQ(run_.install_folder, folder);
  EXPECT_TRUE(ShouldRunUnattended(run_, "Kr.exe", "2020/04/07", {2020, 4, 7, 15, 30, 0}));
}

TEST_F(LookupTest, FolderWithoutFilesLetsTheIniSourcesReplaceIt) {
  sandbox_.root().MakeDirs("Empty");
  std::string folder = Installed("App");
  Xml(Folder("Empty"), "2020/04/01");
  Ini("ProgramData/Kelmora/KrTN2000.ini",
      "[TN2019]\r\nInstPath=" + folder + "\r\nUpdateDay=2020/04/07\r\n");
  EXPECT_EQ(LookUpInstallFolder(run_), "2020/04/07");
  EXPECT_EQ(run_.install_folder, folder);
}

TEST_F(LookupTest, NotFoundValueStaysWhenNoLaterSourceNamesAFolder) {
  sandbox_.root().MakeDirs("Empty");
  Xml(Folder("Empty"), "2020/04/07");
  Ini("Windows/KrTN2000.ini", "[TN2019]\r\nInstPath=" + Folder("Nowhere") + "\r\n");
  // The Windows folder's file has no UpdateDay: the earlier one is replaced by nothing.
  EXPECT_EQ(LookUpInstallFolder(run_), "");
  EXPECT_EQ(run_.install_folder, Folder("Empty"));
}

TEST_F(LookupTest, FolderWithoutSeparatorNeverStopsTheSearchNorRunsUnattended) {
  std::string folder = Installed("App");
  std::string without = folder.substr(0, folder.size() - 1);
  Ini("ProgramData/Kelmora/KrTN2000.ini",
      "[TN2019]\r\nInstPath=" + without + "\r\nUpdateDay=2020/04/07\r\n");
  EXPECT_EQ(LookUpInstallFolder(run_), "2020/04/07");
  EXPECT_EQ(run_.install_folder, without);
  EXPECT_FALSE(ShouldRunUnattended(run_, "Kr.exe", "2020/04/07", {2020, 4, 7, 15, 30, 0}));
}

TEST_F(LookupTest, WindowsFolderIsTheThirdSource) {
  std::string folder = Installed("App");
  Ini("Windows/KrTN2000.ini", "[TN2019]\r\nInstPath=" + folder + "\r\nUpdateDay=2020/4/7\r\n");
  EXPECT_EQ(LookUpInstallFolder(run_), "2020/4/7");
  EXPECT_EQ(run_.install_folder, folder);
}

TEST_F(LookupTest, ModelWithoutEditionUsesTheBareFileNameAndTheYearAsSection) {
  run_.inst_model = 250;
  std::string folder = Installed("App");
  Ini("ProgramData/Kelmora/Kr2000.ini", "[2019]\r\nInstPath=" + folder + "\r\n");
  LookUpInstallFolder(run_);
  EXPECT_EQ(run_.install_folder, folder);
}

TEST_F(LookupTest, UpdateDayFallsBackToTheInstallFoldersUpdateFile) {
  std::string folder = Installed("App");
  Xml(folder, "");
  Ini("App/Update/UpdateDate.ini", "[TN2019]\r\nUpdateDay=2020/04/07\r\n");
  EXPECT_EQ(LookUpInstallFolder(run_), "2020/04/07");
}

TEST_F(LookupTest, NoSourceLeavesTheFolderEmpty) {
  EXPECT_EQ(LookUpInstallFolder(run_), "");
  EXPECT_EQ(run_.install_folder, "");
}

TEST_F(LookupTest, UnattendedNeedsTodayAndTheProgram) {
  run_.install_folder = Installed("App");
  const platform::LocalTime now{2020, 4, 7, 15, 30, 0};
  EXPECT_TRUE(ShouldRunUnattended(run_, "Kr.exe", "2020/04/07", now));
  EXPECT_FALSE(ShouldRunUnattended(run_, "Kr.exe", "2020/04/06", now));
  EXPECT_FALSE(ShouldRunUnattended(run_, "Other.exe", "2020/04/07", now));
  EXPECT_FALSE(ShouldRunUnattended(run_, "Kr.exe", "", now));
  EXPECT_FALSE(ShouldRunUnattended(run_, "Kr.exe", "soon", now));
}

}  // namespace
}  // namespace kr::startup::test
