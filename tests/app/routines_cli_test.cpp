// kr-updater-cli running update routines over a generated installation, and the March 2020
// labour-rate refresh folder.
#include <cmath>

#include "tests/app/unattended_run.h"

namespace kr::app::test {
namespace {

constexpr std::string_view kFunctions =
    "[Function]\r\n"
    "Func1=Update2019ValR0111,AFTER,単価データを更新中...\r\n"
    "Func2=Update2019CriR0111,after,資材単価を更新中...\r\n"
    "Func3=update2019expr0111,AFTER,名前の大小が違う行\r\n"
    "Func4=Update2019ExpR0111,BEFORE,実行しない段階\r\n"
    "Func5=Update2019ValR0203,AFTER,単価データ（3月）を更新中...\r\n"
    "Func6=UpdateNoSuchRoutine,AFTER,\r\n";

class RoutinesCliTest : public UnattendedRun {
 protected:
  void SetUp() override {
    MakeTwoYearsAndSources(12);
    fixtures::MakeSourceDatabase(
        package_.Native("KrVal2019R0203.mdb"),
        {.database = "KrVal", .version = "2019,1,5", .rows_per_table = 12});
    WritePackage(kFunctions);
  }
};

TEST_F(RoutinesCliTest, TheRoutinesMigrateOnceKeepUserPricesAndASecondRunChangesNothing) {
  testing::ProcessResult first = Run("2020-04-07 15:30");
  ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
  EXPECT_EQ(testing::EndMessage(first.out), "アップデートが完了しました。\n");
  EXPECT_NE(first.err.find("資材単価を更新中..."), std::string::npos) << first.err;

  std::string val120 = fixtures::ItemCode("Val120", 5);  // a row with user values
  for (std::string_view year : {"平成30年度", "2019年度"}) {
    std::string folder = "File/" + std::string(year) + "/";
    EXPECT_EQ(Query(folder + "KrVal.mdb", "SELECT Ver FROM Version"), Rows{"2019,1,5"}) << year;
    EXPECT_EQ(Query(folder + "KrCri.mdb", "SELECT Ver FROM Version"), Rows{"2019,1,2"}) << year;
    EXPECT_EQ(Query(folder + "KrExp.mdb", "SELECT Ver FROM Version"), Rows{"2019,1,1"}) << year;
    // The release's price, the user's own price and the user's own item.
    Rows rows = Query(folder + "KrVal.mdb",
                      "SELECT Price, ValPrice1 FROM Val120 WHERE Code='" + val120 + "'");
    ASSERT_EQ(rows.size(), 1u) << year;
    EXPECT_EQ(rows[0].substr(0, rows[0].find('\t')),
              testing::QueryValue(package_.Native("KrVal2019R0203.mdb"),
                                  "SELECT Price FROM Val120 WHERE Code='" + val120 + "'"));
    EXPECT_NE(rows[0].substr(rows[0].find('\t') + 1), "\\N") << year;
    EXPECT_EQ(Query(folder + "KrVal.mdb", "SELECT COUNT(*) FROM Val120 WHERE LEN(Code)>=18"),
              Rows{"2"});
    EXPECT_TRUE(install_.Exists(folder + "KrVal202004071530.old")) << year;
    EXPECT_TRUE(install_.Exists(folder + "KrCri202004071530.old")) << year;
    EXPECT_FALSE(install_.Exists(folder + "KrExp202004071530.old")) << year;
  }

  ExpectASecondRunChangesNothing();
}

constexpr std::string_view kRefresh = "File/2019年度(令和2年3月労務更新)/";
constexpr int kRows = 8;

std::string Whole(double number) { return std::to_string(static_cast<long long>(number)); }

class LabourRateCliTest : public UnattendedRun {
 protected:
  void SetUp() override {
    fixtures::MakeInstallation(install_.path(),
                               {.years = {Year("2019年度", "2019,1,4")}, .rows_per_table = kRows});
    fixtures::MakeSourceDatabase(package_.Native("KrData2019R0203.mdb"),
                                 {.database = "KrCri",
                                  .version = "2019,1,5",
                                  .rows_per_table = kRows,
                                  .new_rows = 2,
                                  .tables = {"Cri", "RoumuHosei"}});
    WritePackage("[Function]\r\nFunc1=Update2019CriR0203,AFTER,労務単価を更新中...\r\n");
  }
};

TEST_F(LabourRateCliTest, TheRefreshFolderIsRepricedAndTheSettingsFollowIt) {
  testing::ProcessResult first = Run("2020-04-07 15:30");
  ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
  EXPECT_NE(first.err.find("労務単価を更新中..."), std::string::npos) << first.err;

  std::string copy = std::string(kRefresh) + "KrCri.mdb";
  // A known item and a new one: 地区1 is 東京, 地区2 大阪, 地区3 105 percent of 地区1.
  for (int n : {3, kRows + 2}) {
    std::string code = fixtures::ItemCode("Cri", n);
    double tokyo = fixtures::PrefecturePrice("Cri", "東京都", n);
    double osaka = fixtures::PrefecturePrice("Cri", "大阪府", n);
    EXPECT_EQ(Query(copy, "SELECT Price1, Price2, Price3 FROM Cri WHERE Code='" + code + "'"),
              (Rows{Whole(tokyo) + "\t" + Whole(osaka) + "\t" + Whole(std::floor(tokyo * 1.05))}))
        << code;
  }
  EXPECT_EQ(Query(copy, "SELECT COUNT(*) FROM Cri"), Rows{std::to_string(kRows + 2)});
  EXPECT_EQ(Query(copy, "SELECT Comment FROM Version"), Rows{",労務更新R0203"});
  EXPECT_TRUE(install_.Exists(std::string(kRefresh) + "KrVal.mdb"));
  EXPECT_TRUE(install_.Exists(std::string(kRefresh) + "KrCri202004071530.old"));
  // The fiscal year keeps its prices.
  EXPECT_EQ(Query("File/2019年度/KrCri.mdb", "SELECT COUNT(*) FROM Cri"),
            Rows{std::to_string(kRows)});
  EXPECT_EQ(Query("File/KrSet.mdb", "SELECT SetName FROM Environ WHERE ID=110"),
            Rows{"2019年度(令和2年3月労務更新)"});
  EXPECT_EQ(Query("File/KrSetMinPrice.mdb",
                  "SELECT [Type], StrValue FROM Setting WHERE Name='制限価格DbPath2'"),
            Rows{"1\t2019年度(令和2年3月労務更新)"});

  ExpectASecondRunChangesNothing();
}

}  // namespace
}  // namespace kr::app::test
