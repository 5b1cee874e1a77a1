// kr-updater-cli end to end on a package whose "Function" line runs the March 2020 labour-rate
// refresh over a generated installation: the fiscal year is copied into its refresh folder,
// repriced there, and the settings point at the copy; a second run changes nothing.
#include <gtest/gtest.h>

#include <cmath>

#include "demo/fixture_generator.h"
#include "tests/app/unattended_run.h"

namespace kr::app::test {
namespace {

constexpr std::string_view kRefresh = "File/2019年度(令和2年3月労務更新)/";
constexpr int kRows = 8;

std::string Whole(double number) { return std::to_string(static_cast<long long>(number)); }

class LabourRateCliTest : public UnattendedRun {
 protected:
  void SetUp() override {
    fixtures::InstallationSpec installation;
    fixtures::YearFolderSpec year;
    year.name = "2019年度";
    year.val_version = year.cri_version = year.exp_version = "2019,1,4";
    installation.years.push_back(year);
    installation.rows_per_table = kRows;
    fixtures::MakeInstallation(install_.path(), installation);
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
