// Unit prices keep what users typed; routines with two stages, their own conditions, messages
// and marker files.
#include <filesystem>

#include "tests/routines/routines_fixture.h"

namespace kr::routines::test {
namespace {

constexpr std::string_view kVal19 = "File/2019年度/KrVal.mdb";

std::string Val870(std::string_view rows) { return Table("Val870", kValTable) + std::string(rows); }

TEST_F(RoutineTest, UserPricesAndTheUsersOwnItemsSurviveAPriceRefresh) {
  Install(kVal19,
          Val870(Insert("Val870 (Code, Price, ValPrice1, UserCode, JPer)",
                        {"'870001', 1000, 1100, 'U-1', 0.9", "'870002', 2000, NULL, NULL, NULL",
                         "'870000000000000099', 5, 6, NULL, NULL"})) +
              VersionRow("2019,1,4"));
  Package("KrVal2019R0203.mdb",
          Val870(Insert("Val870 (Code, Price)", {"'870001', 1500", "'870003', 3000"})) +
              VersionRow("2019,1,5"));
  Run("Update2019ValR0203");
  EXPECT_EQ(Query(kVal19, "SELECT Code, Price, ValPrice1, UserCode FROM Val870 ORDER BY Code"),
            (Rows{"870000000000000099\t5\t6\t\\N", "870001\t1500\t1100\tU-1",
                  "870002\t2000\t\\N\t\\N", "870003\t3000\t\\N\t\\N"}));
  EXPECT_EQ(Ver(kVal19), "2019,1,5");
  std::vector<std::string> expected;
  for (std::string_view p : {" 10%", " 20%", " 40%", " 60%", " 80%", " 90%"}) {
    expected.push_back("Update2019ValR0203を更新中..." + std::string(p));
  }
  std::vector<std::string> shown(ui_.progress.begin() + 1, ui_.progress.end());
  EXPECT_EQ(shown, expected);
  EXPECT_GE(ui_.pumped, 6);
}

TEST_F(RoutineTest, LeftOversOfAnInterruptedRunGiveBackTheOriginalUserPrices) {
  Install(kVal19, Val870(Insert("Val870 (Code, Price)", {"'870001', 1500"})) +
                      Table("Val870Old", kValTable) +
                      Insert("Val870Old (Code, Price, ValPrice1)", {"'870001', 1000, 1100"}) +
                      Table("LinkHikitugi", "(X LONG)") + VersionRow("2019,1,4"));
  Package("KrVal2019R0203.mdb",
          Val870(Insert("Val870 (Code, Price)", {"'870001', 1600"})) + VersionRow("2019,1,5"));
  Run("Update2019ValR0203");
  EXPECT_EQ(Query(kVal19, "SELECT Price, ValPrice1 FROM Val870"), (Rows{"1600\t1100"}));
  db::Database db = db::OpenAppDatabase(install_.Native(kVal19));
  EXPECT_FALSE(db::HasTable(db, "Val870Old"));
  EXPECT_FALSE(db::HasTable(db, "LinkHikitugi"));
  db.Close();
}

TEST_F(RoutineTest, ASourceTableWithOneColumnMoreOrLessStillRefreshesTheMatchingColumns) {
  Install(kVal19, Val870(Insert("Val870 (Code, Price, ValPrice1)", {"'870001', 1, 7"})) +
                      VersionRow("2019,1,4"));
  Package("KrVal2019R0203.mdb",
          Table("Val870",
                "(Code TEXT(30) NOT NULL, Price DOUBLE, ValPrice1 DOUBLE, Extra LONG, "
                "CONSTRAINT PrimaryKey PRIMARY KEY (Code))") +
              Insert("Val870 (Code, Price, Extra)", {"'870001', 2, 5"}) + VersionRow("2019,1,5"));
  Run("Update2019ValR0203");
  EXPECT_EQ(Query(kVal19, "SELECT Price, ValPrice1 FROM Val870"), (Rows{"2\t7"}));
}

// Below the first guard a database receives the first stage only, at it the second stage only.
TEST_F(RoutineTest, ATwoStageRoutineGivesEachDatabaseOnlyTheStageItLacks) {
  for (auto [name, price] :
       {std::pair{"KrCri201411_V10.mdb", "10"}, {"KrCri201411_V11.mdb", "11"}}) {
    Package(name, Table("Cri", kCriTable) +
                      Insert("Cri (Code, Price1)", {"'C1', " + std::string(price)}) +
                      VersionRow("2014,1,2"));
  }
  for (auto [installed, price] : {std::pair{"2013,1,9", "10"}, {"2014,1,1", "11"}}) {
    std::filesystem::remove(install_.Native("File/平成26年度/KrCri.mdb"));
    Install("File/平成26年度/KrCri.mdb", Table("Cri", kCriTable) +
                                             Insert("Cri (Code, Price1)", {"'C1', 1"}) +
                                             VersionRow(installed));
    Run("Update2014CriH2611");
    EXPECT_EQ(Value("File/平成26年度/KrCri.mdb", "SELECT Price1 FROM Cri"), price) << installed;
    EXPECT_EQ(Ver("File/平成26年度/KrCri.mdb"), "2014,1,2") << installed;
  }
}

TEST_F(RoutineTest, KnowledgeBaseConversionsSayWhatIsMissingAndSkipConvertedDatabases) {
  Run("Update2015CriInsertKB");
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "変換元のデータベースが存在しません。");
  EXPECT_EQ(ui_.boxes[0].icon, ui::Icon::kCritical);

  std::string kb = Table("Cri_IndKB", "(ID LONG, Title TEXT(50))");
  Package("KrCri2015KB.mdb", kb + Insert("Cri_IndKB", {"1, '新'"}));
  Install("File/平成27年度/KrCri.mdb", kb);
  Install("File/平成28年度/KrCri.mdb", kb + Insert("Cri_IndKB", {"5, '済'"}));
  Run("Update2015CriInsertKB", "abc");
  EXPECT_EQ(Query("File/平成27年度/KrCri.mdb", "SELECT Title FROM Cri_IndKB"), (Rows{"新"}));
  EXPECT_EQ(Query("File/平成28年度/KrCri.mdb", "SELECT Title FROM Cri_IndKB"), (Rows{"済"}));
  EXPECT_EQ(ui_.boxes.size(), 1u);

  Run("Update2014CriInsertKB");
  EXPECT_EQ(ui_.boxes.back().text, "変換元のデータベースが存在しません。");
  Package("KrCri2014KB.mdb", kb);
  Run("Update2014CriInsertKB");
  EXPECT_EQ(ui_.boxes.back().text, "変換先のデータベースが存在しません。");
}

TEST_F(RoutineTest, TheKumamotoUnitPricesAndTheirMarkerGoOnlyToAKumamotoInstallation) {
  std::string val = Table("Val800_Ind", "(Code TEXT(10), Title TEXT(50))") + VersionRow("2017,1,2");
  Install("File/平成30年度(一部更新)/KrVal.mdb", val);
  Install("File/平成30年度(一部更新)/KrCri.mdb",
          Table("地区名", kDistrictTable) + Insert("地区名", {"1, '地区', '1,東京,'"}));
  Package("KrVal2017H3004K.mdb", Table("Val800_Ind_HisaiK", "(Code TEXT(10), Title TEXT(50))") +
                                     Insert("Val800_Ind_HisaiK", {"'1', '熊本'"}));
  package_.Write("KrUpdatedH3004K.ini", "[H3004K]\r\n");
  Run("Update2017ValH3004K");
  EXPECT_EQ(Ver("File/平成30年度(一部更新)/KrVal.mdb"), "2017,1,2");
  EXPECT_TRUE(Backups("File/平成30年度(一部更新)").empty());
  EXPECT_FALSE(install_.Exists("KrUpdatedH3004K.ini"));

  testing::RunScriptText(install_.Native("File/平成30年度(一部更新)/KrCri.mdb"),
                         "UPDATE 地区名 SET コメント='1,熊本,';\n");
  Run("Update2017ValH3004K");
  EXPECT_EQ(Ver("File/平成30年度(一部更新)/KrVal.mdb"), "2017,1,3");
  EXPECT_EQ(Query("File/平成30年度(一部更新)/KrVal.mdb", "SELECT Title FROM Val800_Ind"),
            (Rows{"熊本"}));
  EXPECT_TRUE(install_.Exists("KrUpdatedH3004K.ini"));
}

TEST_F(RoutineTest, TheTohokuDistrictsTakeTheirPrefecturesPrices) {
  Install("File/平成24年度/KrCri.mdb",
          Table("Cri", kCriTable) + Table("地区名", kDistrictTable) +
              Insert("Cri (Code, Price1, Price2)", {"'C1', 1, 2"}) +
              Insert("地区名", {"1, '盛岡', '1,岩手,'", "2, '東京', '2,東京,'"}) +
              VersionRow("2012,1,1"));
  Package("KrData201208.mdb",
          Table("Cri",
                "(Code TEXT(20) NOT NULL, Price1 DOUBLE, Price2 DOUBLE, 岩手県 DOUBLE, "
                "東京都 DOUBLE, CONSTRAINT PrimaryKey PRIMARY KEY (Code))") +
              Insert("Cri", {"'C1', 10, 20, 31, 32"}) + VersionRow("2012,1,2"));
  Run("Update2012CriTohoku");
  EXPECT_EQ(Query("File/平成24年度/KrCri.mdb", "SELECT Price1, Price2 FROM Cri"), (Rows{"31\t2"}));
  EXPECT_EQ(Ver("File/平成24年度/KrCri.mdb"), "2012,1,2");
}

TEST_F(RoutineTest, TheJune2018UnitPricesStampByTheStoredMinorNumber) {
  for (auto [year, ver] :
       {std::pair{"A", "2017,1,1"}, {"B", "2017,1,3"}, {"C", "2017,2,1"}, {"D", "2017,1,0"}}) {
    Install("File/" + std::string(year) + "/KrVal.mdb",
            Table("SpeExe", "(Special TEXT(20))") + VersionRow(ver, "x"));
  }
  Package("KrVal2017H3006.mdb", Table("SpeExe", "(Special TEXT(20))") + Insert("SpeExe", {"'S'"}));
  Run("Update2017ValH3006");
  auto version = [&](std::string_view year) {
    return Query("File/" + std::string(year) + "/KrVal.mdb", "SELECT Ver, Comment FROM Version");
  };
  EXPECT_EQ(version("A"), (Rows{"2017,1,4\tx"}));
  EXPECT_EQ(version("B"), (Rows{"2017,1,4\t2018"}));
  EXPECT_EQ(version("C"), (Rows{"2017,2,1\tx"}));
  EXPECT_EQ(version("D"), (Rows{"2017,1,0\tx"}));
  EXPECT_EQ(Value("File/A/KrVal.mdb", "SELECT COUNT(*) FROM SpeExe"), "1");
  EXPECT_EQ(Value("File/C/KrVal.mdb", "SELECT COUNT(*) FROM SpeExe"), "0");
}

// The Hiroshima tables come from a second source after the stamp; the comment that marks them
// is written only where they arrived.
TEST_F(RoutineTest, TheHiroshimaMarkFollowsOnlyTheHiroshimaDataThatArrived) {
  std::string tables;
  for (std::string_view name :
       {"Val700", "Val710", "Val720", "Val740", "Val750", "Val760", "Val770", "Val790"}) {
    tables += Table(name, kValTable) + Insert(std::string(name) + " (Code, Price)", {"'1', 1"});
  }
  for (std::string_view name : {"Val_IndExplain", "Val700_Ind", "Val710_Ind", "Val720_Ind",
                                "Val800_Ind", "Val810_Ind", "Val890_Ind"}) {
    tables += Table(name, "(Code TEXT(10), Title TEXT(50))");
  }
  std::string hiroshima =
      Table("地区名", kDistrictTable) + Insert("地区名", {"1, '地区', '1,広島,'"});
  auto install_year = [&](const std::string& year) {
    Install("File/" + year + "/KrCri.mdb", hiroshima);
    Install("File/" + year + "/KrVal.mdb", tables + VersionRow("2018,1,1", "201907_造園"));
  };
  install_year("2018年度");
  Package("KrVal2019R0108.mdb", tables);
  Run("Update2019ValR0108");
  auto version = [&](const std::string& year) {
    return Query("File/" + year + "/KrVal.mdb", "SELECT Ver, Comment FROM Version");
  };
  EXPECT_EQ(version("2018年度"), (Rows{"2019,1,1\t201907_造園"}));

  install_year("2019年度");
  Package("KrVal2019R0108_Hiroshima.mdb",
          tables + "UPDATE Val700 SET Price=7;\nINSERT INTO Val700_Ind VALUES ('1', '広島');\n");
  Run("Update2019ValR0108");
  EXPECT_EQ(version("2019年度"), (Rows{"2019,1,1\t201907_造園+被災広島"}));
  EXPECT_EQ(Value("File/2019年度/KrVal.mdb", "SELECT Price FROM Val700"), "7");
  EXPECT_EQ(version("2018年度"), (Rows{"2019,1,1\t201907_造園"}));
}

// WoodyDelete names rows by code; the row found by the code goes and a second one stays.
TEST_F(RoutineTest, The2014KnowledgeBaseDeletesTheOneWoodyRowItFinds) {
  Package("KrCri2014KB.mdb",
          Table("WoodyDelete", "(Code TEXT(10))") + Insert("WoodyDelete", {"'W1'"}));
  Install("File/平成26年度/KrCri.mdb",
          Table("Woody", "(Code TEXT(10), Name TEXT(20))") +
              Insert("Woody", {"'W1', 'a'", "'W1', 'b'", "'W2', 'c'"}));
  Run("Update2014CriInsertKB");
  EXPECT_EQ(Value("File/平成26年度/KrCri.mdb", "SELECT COUNT(*) FROM Woody WHERE Code='W1'"), "1");
  EXPECT_EQ(Value("File/平成26年度/KrCri.mdb", "SELECT COUNT(*) FROM Woody WHERE Code='W2'"), "1");
}

}  // namespace
}  // namespace kr::routines::test
