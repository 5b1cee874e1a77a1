// kr-updater-cli end to end on a package whose "Function" lines run update routines over a
// generated installation: the first run migrates every year folder and keeps the user's prices,
// a second run changes no database and makes no backup.
#include <gtest/gtest.h>

#include "demo/fixture_generator.h"
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

}  // namespace
}  // namespace kr::app::test
