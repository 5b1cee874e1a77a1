// New labour rates: district prices from the prefecture columns, derived districts from their
// base, the refresh folder and the settings that follow it, the corrections applied once, and
// new items numbered in their index range.
#include <filesystem>

#include "tests/routines/routines_fixture.h"

namespace kr::routines::test {
namespace {

constexpr std::string_view kCriLayout =
    "(Code TEXT(20) NOT NULL, cName TEXT(100), cStand TEXT(100), cUnit TEXT(10), [Index] LONG, "
    "Price1 DOUBLE, Price2 DOUBLE, Price3 DOUBLE, Price4 DOUBLE, "
    "CONSTRAINT PrimaryKey PRIMARY KEY (Code))";
constexpr std::string_view kSourceLayout =
    "(Code TEXT(20) NOT NULL, cName TEXT(100), cStand TEXT(100), cUnit TEXT(10), [Index] LONG, "
    "東京都 DOUBLE, 大阪府 DOUBLE, CONSTRAINT PrimaryKey PRIMARY KEY (Code))";
constexpr std::string_view kDistrictLayout =
    "(ID LONG NOT NULL, 地区名 TEXT(50), コメント TEXT(255), コメント_建設物価 TEXT(255), "
    "CONSTRAINT PrimaryKey PRIMARY KEY (ID))";
const std::vector<std::string> kStandard = {"地区1,東京,", "地区2,大阪,", "単価1,×,105",
                                            "地区4,沖縄,"};

// 地区名 rows, ID i + 1 for comment i (and its building-price comment when given).
std::string Districts(const std::vector<std::string>& comments,
                      const std::vector<std::string>& kb = {}) {
  std::string script = Table("地区名", kDistrictLayout);
  for (size_t i = 0; i < comments.size(); ++i) {
    script += "INSERT INTO 地区名 (ID, コメント, コメント_建設物価) VALUES (" +
              std::to_string(i + 1) + ", '" + comments[i] + "', " +
              (i < kb.size() ? "'" + kb[i] + "'" : "NULL") + ");\n";
  }
  return script;
}

// A1 is repriced by the source, A2 is the user's and not in it.
std::string InstalledCri(std::string_view ver, std::string_view comment = "NULL",
                         const std::vector<std::string>& districts = kStandard) {
  return Table("Cri", kCriLayout) +
         Insert("Cri (Code, cName, Price1, Price2, Price3, Price4)",
                {"'A1', '旧名', 500, 600, 700, NULL", "'A2', '自社', 10, NULL, 30, 40"}) +
         Districts(districts) + Table("RoumuHosei", "(ID LONG, Rate DOUBLE)") +
         Insert("RoumuHosei", {"1, 1"}) + VersionRow(ver, comment);
}

std::string SourceCri(std::string_view tokyo = "1001") {
  return Table("Cri", kSourceLayout) +
         Insert("Cri (Code, cName, 東京都, 大阪府)",
                {"'A1', '新名', " + std::string(tokyo) + ", 2000", "'A3', '新品', 3000, NULL"}) +
         Table("RoumuHosei", "(ID LONG, Rate DOUBLE)") + Insert("RoumuHosei", {"2, 1.5"});
}

constexpr std::string_view kPrices =
    "SELECT Code, cName, Price1, Price2, Price3, Price4 FROM Cri "
    "ORDER BY Code";
const Rows kRefreshed = {"A1\t新名\t1001\t2000\t1051\t0", "A2\t自社\t10\t\\N\t30\t40",
                         "A3\t新品\t3000\t0\t3150\t0"};

class LabourRateTest : public RoutineTest {
 protected:
  // File/KrSet.mdb and, unless told otherwise, File/KrSetMinPrice.mdb with one setting row.
  void Settings(bool min_price = true, std::string_view min_price_rows = "") {
    Install("File/KrSet.mdb", Table("Environ", "(ID LONG NOT NULL, SetName TEXT(255))") +
                                  Insert("Environ", {"110, '平成30年度'", "111, '他'"}));
    if (!min_price) return;
    Install(
        "File/KrSetMinPrice.mdb",
        Table("Setting", "([Type] LONG NOT NULL, Name TEXT(100) NOT NULL, StrValue TEXT(255))") +
            Insert("Setting", {"1, '制限価格DbPath1', '平成30年度'"}) +
            std::string(min_price_rows));
  }
  std::string Environ110() {
    return Value("File/KrSet.mdb", "SELECT SetName FROM Environ WHERE ID=110");
  }
  Rows MinPriceRows() {
    return Query("File/KrSetMinPrice.mdb", "SELECT Name, StrValue FROM Setting ORDER BY Name");
  }
};

TEST_F(LabourRateTest, DirectDistrictsComeFromPrefectureColumnsAndDerivedOnesFollowThem) {
  Install("File/平成25年度/KrCri.mdb", InstalledCri("2013,1,4"));
  Package("KrData2013H2602.mdb", SourceCri());
  Run("Update2013CriH2602");
  // Without the name steps: names stay and the new item is not added.
  EXPECT_EQ(Query("File/平成25年度/KrCri.mdb", kPrices),
            (Rows{"A1\t旧名\t1001\t2000\t1051\t0", "A2\t自社\t10\t\\N\t30\t40"}));
  EXPECT_EQ(Query("File/平成25年度/KrCri.mdb", "SELECT ID, Rate FROM RoumuHosei"),
            (Rows{"2\t1.5"}));
  EXPECT_EQ(Ver("File/平成25年度/KrCri.mdb"), "2013,1,5");
  EXPECT_EQ(Backups("File/平成25年度").size(), 1u);
}

TEST_F(LabourRateTest, UnreadableDistrictCommentsLeaveTheirPricesAndSpoilNoOtherDistrict) {
  // Fewer than three parts, empty, an unknown prefecture, a factor that is no number, a base
  // outside the price columns, a base whose price is Null, then a district id past the columns.
  std::vector<std::string> comments = {"地区1,東京,", "大阪",        "",
                                       "地区4,火星,", "単価1,×,abc", "単価12,×,110"};
  std::string script = InstalledCri("2013,1,4", "NULL", comments);
  script +=
      "ALTER TABLE Cri ADD COLUMN Price5 DOUBLE;\nALTER TABLE Cri ADD COLUMN Price6 DOUBLE;\n"
      "ALTER TABLE Cri ADD COLUMN Price7 DOUBLE;\n"
      "UPDATE Cri SET Price5=5, Price6=6, Price7=70 WHERE Code='A1';\n" +
      Insert("地区名 (ID, コメント)",
             {"7, '単価4,×,110'", "11, '地区,大阪,'", "40000, '地区,大阪,'"});
  Install("File/平成25年度/KrCri.mdb", script);
  Package("KrData2013H2602.mdb", SourceCri());
  Run("Update2013CriH2602");
  EXPECT_EQ(Query("File/平成25年度/KrCri.mdb",
                  "SELECT Price1, Price2, Price3, Price4, Price5, Price6, Price7 FROM Cri "
                  "WHERE Code='A1'"),
            (Rows{"1001\t600\t700\t0\t5\t6\t0"}));
  EXPECT_EQ(Ver("File/平成25年度/KrCri.mdb"), "2013,1,5");
}

TEST_F(LabourRateTest, AFolderCopyRepricesTheCopyAndSwitchesTheSettingsToIt) {
  Settings();
  Install("File/平成30年度/KrCri.mdb", InstalledCri("2018,1,1", "201811_標準"));
  install_.Write("File/平成30年度/帳票/様式.txt", "様式");
  Package("KrData2018H3103.mdb", SourceCri());
  report::Routine reported = RunReported("Update2018CriH3103");
  constexpr std::string_view kCopy = "File/平成30年度(H31年3月労務更新)/KrCri.mdb";
  // The copy and both settings databases are in the report.
  EXPECT_EQ(TargetOf(reported, kCopy).outcome, report::TargetOutcome::kMigrated);
  const report::Target settings = TargetOf(reported, "File/KrSet.mdb");
  EXPECT_EQ(settings.outcome, report::TargetOutcome::kMigrated);
  ASSERT_EQ(settings.tables.size(), 1u);
  EXPECT_EQ(settings.tables[0].updated, 1);
  EXPECT_EQ(TargetOf(reported, "File/KrSetMinPrice.mdb").outcome, report::TargetOutcome::kMigrated);
  EXPECT_EQ(Query(kCopy, kPrices), kRefreshed);
  EXPECT_EQ(Query(kCopy, "SELECT ID FROM RoumuHosei"), (Rows{"2"}));
  EXPECT_EQ(Value(kCopy, "SELECT Comment FROM Version"), "201811_標準,労務更新,労務更新H3104");
  EXPECT_EQ(Ver(kCopy), "2018,1,1");
  EXPECT_EQ(install_.Read("File/平成30年度(H31年3月労務更新)/帳票/様式.txt"), "様式");
  EXPECT_EQ(Backups("File/平成30年度(H31年3月労務更新)").size(), 1u);
  // The fiscal year's own database is untouched.
  EXPECT_EQ(Value("File/平成30年度/KrCri.mdb", "SELECT Price1 FROM Cri WHERE Code='A1'"), "500");
  EXPECT_TRUE(Backups("File/平成30年度").empty());
  EXPECT_EQ(Environ110(), "平成30年度(H31年3月労務更新)");
  EXPECT_EQ(Value("File/KrSet.mdb", "SELECT SetName FROM Environ WHERE ID=111"), "他");
  EXPECT_EQ(MinPriceRows(),
            (Rows{"制限価格DbPath1\t平成30年度", "制限価格DbPath2\t平成30年度(H31年3月労務更新)"}));
  EXPECT_EQ(
      Value("File/KrSetMinPrice.mdb", "SELECT [Type] FROM Setting WHERE Name='制限価格DbPath2'"),
      "1");

  // The refresh folder now exists: a second run changes nothing, even with other prices.
  testing::RunScriptText(package_.Native("KrData2018H3103.mdb"), "UPDATE Cri SET 東京都=1;\n");
  testing::RunScriptText(install_.Native("File/KrSet.mdb"),
                         "UPDATE Environ SET SetName='利用者' WHERE ID=110;\n");
  run_.run_stamp = "202004081000";
  EXPECT_EQ(TargetOf(RunReported("Update2018CriH3103"), kCopy).reason,
            "既に作成されています（平成30年度(H31年3月労務更新)）");
  EXPECT_EQ(Query(kCopy, kPrices), kRefreshed);
  EXPECT_EQ(Value(kCopy, "SELECT Comment FROM Version"), "201811_標準,労務更新,労務更新H3104");
  EXPECT_EQ(Backups("File/平成30年度(H31年3月労務更新)").size(), 1u);
  EXPECT_EQ(Environ110(), "利用者");
}

TEST_F(LabourRateTest, TheMinimumPriceSettingIsEditedWhenPresentAndAMissingDatabaseIsNoMatter) {
  Settings(true, Insert("Setting", {"1, '制限価格DbPath2', '旧'"}));
  Install("File/2019年度/KrCri.mdb", InstalledCri("2019,1,4"));
  Package("KrData2019R0203.mdb", SourceCri());
  Run("Update2019CriR0203");
  EXPECT_EQ(MinPriceRows(),
            (Rows{"制限価格DbPath1\t平成30年度", "制限価格DbPath2\t2019年度(令和2年3月労務更新)"}));
  EXPECT_EQ(Value("File/2019年度(令和2年3月労務更新)/KrCri.mdb", "SELECT Comment FROM Version"),
            ",労務更新R0203");

  std::filesystem::remove_all(install_.Native("File/2019年度(令和2年3月労務更新)"));
  std::filesystem::remove(install_.Native("File/KrSetMinPrice.mdb"));
  Run("Update2019CriR0203");
  EXPECT_EQ(Query("File/2019年度(令和2年3月労務更新)/KrCri.mdb", kPrices), kRefreshed);
  EXPECT_EQ(Environ110(), "2019年度(令和2年3月労務更新)");
  EXPECT_FALSE(install_.Exists("File/KrSetMinPrice.mdb"));
}

TEST_F(LabourRateTest, The2014CopyIsGuardedByItsVersionAndStampedAndLeavesMinimumPricesAlone) {
  Settings();
  Install("File/平成26年度/KrCri.mdb", InstalledCri("2014,1,3", "元"));
  Package("KrData2014H2702.mdb", SourceCri());
  Run("Update2014CriH2702");
  constexpr std::string_view kCopy = "File/平成26年度(H27年2月労務更新)/KrCri.mdb";
  EXPECT_EQ(Query(kCopy, kPrices), kRefreshed);
  EXPECT_EQ(Ver(kCopy), "2014,1,4");
  EXPECT_EQ(Value(kCopy, "SELECT Comment FROM Version"), "元");
  EXPECT_EQ(Environ110(), "平成26年度(H27年2月労務更新)");
  EXPECT_EQ(MinPriceRows(), (Rows{"制限価格DbPath1\t平成30年度"}));

  // A fiscal year already at the release is copied but not repriced.
  std::filesystem::remove_all(install_.Native("File/平成26年度(H27年2月労務更新)"));
  testing::RunScriptText(install_.Native("File/平成26年度/KrCri.mdb"),
                         "UPDATE Version SET Ver='2014,1,4';\n");
  Run("Update2014CriH2702");
  EXPECT_EQ(Value(kCopy, "SELECT Price1 FROM Cri WHERE Code='A1'"), "500");
  EXPECT_TRUE(Backups("File/平成26年度(H27年2月労務更新)").empty());
}

TEST_F(LabourRateTest, WithoutItsSourceAFolderCopyLeavesTheCopyAndTheSettings) {
  Settings();
  Install("File/2019年度/KrCri.mdb", InstalledCri("2019,1,4"));
  EXPECT_EQ(
      TargetOf(RunReported("Update2019CriR0203"), "File/2019年度(令和2年3月労務更新)/KrCri.mdb")
          .reason,
      "パッケージに KrData2019R0203.mdb がありません");
  EXPECT_EQ(Query("File/2019年度(令和2年3月労務更新)/KrCri.mdb", kPrices),
            Query("File/2019年度/KrCri.mdb", kPrices));
  EXPECT_EQ(Environ110(), "平成30年度");
  EXPECT_EQ(MinPriceRows(), (Rows{"制限価格DbPath1\t平成30年度"}));
}

TEST_F(LabourRateTest, EachCorrectionReachesOnlyTheDatabasesItsTagsAllow) {
  Install("File/平成30年度/KrCri.mdb", InstalledCri("2018,1,1", ",メンテナンス"));
  Install("File/平成30年度(H31年3月労務更新)/KrCri.mdb",
          InstalledCri("2018,1,1", ",労務更新,労務更新H3104"));
  Install("File/2019年度/KrCri.mdb", InstalledCri("2019,1,4", "201907_標準"));
  Package("KrCri2018H3104.mdb", SourceCri());
  Run("Update2018CriH3104");
  EXPECT_EQ(Query("File/平成30年度/KrCri.mdb", kPrices), kRefreshed);
  EXPECT_EQ(Value("File/平成30年度/KrCri.mdb", "SELECT Comment FROM Version"),
            ",メンテナンス,労務更新H3104");
  for (std::string_view untouched :
       {"File/平成30年度(H31年3月労務更新)/KrCri.mdb", "File/2019年度/KrCri.mdb"}) {
    EXPECT_EQ(Value(untouched, "SELECT Price1 FROM Cri WHERE Code='A1'"), "500") << untouched;
  }
  EXPECT_TRUE(Backups("File/2019年度").empty());

  Package("KrCri2019R0204.mdb", SourceCri("7"));
  Run("Update2019CriR0204");
  EXPECT_EQ(Value("File/2019年度/KrCri.mdb", "SELECT Price1 FROM Cri WHERE Code='A1'"), "500");
  EXPECT_TRUE(Backups("File/2019年度").empty());
  testing::RunScriptText(install_.Native("File/2019年度/KrCri.mdb"),
                         "UPDATE Version SET Comment='201907_標準,労務更新R0203';\n");
  Run("Update2019CriR0204");
  Run("Update2019CriR0204");
  EXPECT_EQ(Value("File/2019年度/KrCri.mdb", "SELECT Price3 FROM Cri WHERE Code='A1'"), "7");
  EXPECT_EQ(Value("File/2019年度/KrCri.mdb", "SELECT Comment FROM Version"),
            "201907_標準,労務更新R0203,労務更新R0204");
}

// Ranges C100..C200 (items numbered up to 7) and C200..C300 (none numbered yet).
std::string IndexedCri(const std::string& table, const std::string& index_table) {
  std::string script =
      Table(table, kCriLayout) +
      Table(index_table, "(ID LONG, StrtCode TEXT(20), EndCode TEXT(20), BigIndex TEXT(50))") +
      Insert(index_table + " (ID, StrtCode, EndCode)", {"1, 'C100', 'C200'", "2, 'C200', 'C300'"});
  for (auto [code, index] :
       {std::pair{"C101", 6}, {"C102", 7}, {"C105", 0}, {"C103", 0}, {"C201", 0}}) {
    script += "INSERT INTO " + table + " (Code, [Index]) VALUES ('" + code + "', " +
              std::to_string(index) + ");\n";
  }
  return script;
}

TEST_F(LabourRateTest, NewItemsAreNumberedAfterTheHighestOfTheirRangeInCodeOrder) {
  Install("File/平成25年度/KrCri.mdb",
          IndexedCri("Cri", "Cri_Ind") + Districts({"地区1,東京,"}) + VersionRow("2013,0,1"));
  Package("KrData201308.mdb",
          Table("Cri", kSourceLayout) + Insert("Cri (Code, 東京都)", {"'C103', 77"}));
  Run("Update2013Cri08");
  EXPECT_EQ(
      Query("File/平成25年度/KrCri.mdb", "SELECT Code, [Index], Price1 FROM Cri ORDER BY Code"),
      (Rows{"C101\t6\t\\N", "C102\t7\t\\N", "C103\t8\t77", "C105\t9\t\\N", "C201\t0\t\\N"}));
}

TEST_F(LabourRateTest, AKnowledgeBaseTableNamedInLowerCaseUsesItsOwnCommentsAndRanges) {
  Install("File/平成27年度/KrCri.mdb",
          IndexedCri("Cri_KB", "Cri_IndKB") +
              Districts({"地区1,大阪,", "単価1,×,200"}, {"地区1,東京,", "単価1,×,50"}) +
              VersionRow("2015,1,0"));
  Package("KrCriKB.mdb", Table("Cri_KB", kSourceLayout) +
                             Insert("Cri_KB (Code, 東京都, 大阪府)", {"'C103', 100, 900"}));
  Routine routine;
  routine.name = "RefreshDistrictPricesTest";
  routine.sources = {"KrCriKB.mdb"};
  routine.check = SourceCheck::kEarly;
  routine.targets = {Selection::kYearFolderList, {"平成27年度"}, "KrCri.mdb", ""};
  Step refresh;
  refresh.op = Op::kRefreshDistrictPrices;
  refresh.tables = {"cri_kb"};
  routine.steps = {refresh};
  RunRoutine(routine, run_, ui_, "");
  EXPECT_EQ(Query("File/平成27年度/KrCri.mdb",
                  "SELECT Code, [Index], Price1, Price2 FROM Cri_KB ORDER BY Code"),
            (Rows{"C101\t6\t\\N\t\\N", "C102\t7\t\\N\t\\N", "C103\t8\t100\t50", "C105\t9\t\\N\t\\N",
                  "C201\t0\t\\N\t\\N"}));
}

}  // namespace
}  // namespace kr::routines::test
