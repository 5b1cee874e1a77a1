// The run-wide values start-up sets, and the settings files that name the install folder.
#include "tests/startup/startup_fixture.h"

namespace kr::startup::test {
namespace {

TEST(EditionCodeTest, ModelRangesGiveTheTwoLetterCode) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, "TN"},   {99, "TN"},  {100, "TR"}, {199, "TR"}, {200, ""}, {300, "TW"},
      {399, "TW"}, {400, "TS"}, {499, "TS"}, {500, ""},   {-1, ""},
  };
  for (const auto& [model, code] : cases) EXPECT_EQ(EditionCode(model), code) << model;
}

TEST(RunStampTest, TwelveDigitsOfTheStartMinute) {
  EXPECT_EQ(FormatRunStamp({2021, 12, 31, 0, 5, 59}), "202112310005");
  ScopedNow now("2019-01-02 03:04:05");
  EXPECT_EQ(RunStamp(), "201901020304");
}

TEST(UpdateDayTest, OnlyAYearMonthDayDateOptionallyWithATimeIsADate) {
  for (std::string_view text :
       {"2020/04/07", "2020-04-07", "2020/4/7", " 2020/4/7 15:30", "2020/04/07 9:05:00"}) {
    EXPECT_EQ(ParseUpdateDay(text), (CalendarDate{2020, 4, 7})) << text;
  }
  EXPECT_EQ(ParseUpdateDay("2020/2/29"), (CalendarDate{2020, 2, 29}));
  for (std::string_view text :
       {"", "today", "2020/04", "2020/13/01", "2019/2/29", "2020/04/31", "2020/04-07", "20/4/7",
        "2020/04/07x", "2020/04/07 25:00", "2020/04/07 10", "2020/004/07", "２０２０/04/07"}) {
    EXPECT_FALSE(ParseUpdateDay(text)) << text;
  }
}

TEST(UpdateDayTest, OnlyTheCalendarDayCounts) {
  const platform::LocalTime now{2020, 4, 7, 23, 59, 0};
  EXPECT_TRUE(IsToday("2020/04/07 00:00", now));
  EXPECT_FALSE(IsToday("2020/04/06", now));
  EXPECT_FALSE(IsToday("2020/04/08", now));
  EXPECT_FALSE(IsToday("not a date", now));
}

class LookupTest : public StartupTest {
 protected:
  LookupTest() {
    run_.exe_year = 2019;
    run_.inst_model = 50;  // TN
    run_.common_data_folder = support::GetCommonDataFolder(run_);
  }
  // KrTN2000.xml of the common data folder with a [TN2019] entry.
  void Xml(std::string_view install_path, std::string_view update_day) {
    sandbox_.root().Write("ProgramData/Kelmora/KrTN2000.xml",
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root><TN2019><InstPath>" +
                              std::string(install_path) + "</InstPath><UpdateDay>" +
                              std::string(update_day) + "</UpdateDay></TN2019></Root>\n");
  }
  // An install folder holding the program Kr.exe.
  std::string Installed(std::string_view relative) {
    sandbox_.root().Write(std::string(relative) + "/Kr.exe", "program");
    return Folder(relative);
  }
  const platform::LocalTime now_{2020, 4, 7, 15, 30, 0};
};

TEST_F(LookupTest, XmlSourceGivesFolderAndDayAndUnattendedNeedsTodayAndTheProgram) {
  EXPECT_EQ(LookUpInstallFolder(run_), "");  // no source at all
  EXPECT_EQ(run_.install_folder, "");

  const std::string folder = Installed("App");
  Xml(folder, "2020/04/07");
  EXPECT_EQ(LookUpInstallFolder(run_), "2020/04/07");
  EXPECT_EQ(run_.install_folder, folder);
  EXPECT_TRUE(ShouldRunUnattended(run_, "Kr.exe", "2020/04/07", now_));
  EXPECT_FALSE(ShouldRunUnattended(run_, "Kr.exe", "", now_));
  EXPECT_FALSE(ShouldRunUnattended(run_, "Kr.exe", "soon", now_));

  Xml(folder, "");  // the day falls back to the install folder's update file
  Ini("App/Update/UpdateDate.ini", "[TN2019]\r\nUpdateDay=2020/04/06\r\n");
  EXPECT_EQ(LookUpInstallFolder(run_), "2020/04/06");
}

TEST_F(LookupTest, FolderWithoutFilesLetsTheIniSourcesReplaceIt) {
  sandbox_.root().MakeDirs("Empty");
  const std::string folder = Installed("App");
  Xml(Folder("Empty"), "2020/04/01");
  Ini("ProgramData/Kelmora/KrTN2000.ini",
      "[TN2019]\r\nInstPath=" + folder + "\r\nUpdateDay=2020/04/07\r\n");
  EXPECT_EQ(LookUpInstallFolder(run_), "2020/04/07");
  EXPECT_EQ(run_.install_folder, folder);
}

TEST_F(LookupTest, WindowsFolderIsTheLastSourceAndItsUpdateDayReplacesEarlierOnes) {
  sandbox_.root().MakeDirs("Empty");
  Xml(Folder("Empty"), "2020/04/07");
  Ini("Windows/KrTN2000.ini", "[TN2019]\r\nInstPath=" + Folder("Nowhere") + "\r\n");
  EXPECT_EQ(LookUpInstallFolder(run_), "");  // a folder that does not exist is not taken
  EXPECT_EQ(run_.install_folder, Folder("Empty"));

  const std::string folder = Installed("App");
  Ini("Windows/KrTN2000.ini", "[TN2019]\r\nInstPath=" + folder + "\r\nUpdateDay=2020/4/7\r\n");
  EXPECT_EQ(LookUpInstallFolder(run_), "2020/4/7");
  EXPECT_EQ(run_.install_folder, folder);
}

TEST_F(LookupTest, FolderWithoutSeparatorNeverStopsTheSearchNorRunsUnattended) {
  const std::string folder = Installed("App");
  const std::string without = folder.substr(0, folder.size() - 1);
  Ini("ProgramData/Kelmora/KrTN2000.ini",
      "[TN2019]\r\nInstPath=" + without + "\r\nUpdateDay=2020/04/07\r\n");
  EXPECT_EQ(LookUpInstallFolder(run_), "2020/04/07");
  EXPECT_EQ(run_.install_folder, without);
  EXPECT_FALSE(ShouldRunUnattended(run_, "Kr.exe", "2020/04/07", now_));
}

TEST_F(LookupTest, ModelWithoutEditionUsesTheBareFileNameAndTheYearAsSection) {
  run_.inst_model = 250;
  const std::string folder = Installed("App");
  Ini("ProgramData/Kelmora/Kr2000.ini", "[2019]\r\nInstPath=" + folder + "\r\n");
  LookUpInstallFolder(run_);
  EXPECT_EQ(run_.install_folder, folder);
}

}  // namespace
}  // namespace kr::startup::test
