// kr-updater-cli over an installation where one year folder's price database cannot be read: the
// routines leave that folder's databases as they were, the end message says how many, the run
// ends with status 4, and once the database is readable again the next run migrates them.
#include <gtest/gtest.h>

#include "demo/fixture_generator.h"
#include "tests/app/unattended_run.h"

namespace kr::app::test {
namespace {

constexpr std::string_view kFunctions =
    "[Function]\r\n"
    "Func1=Update2019ValR0111,AFTER,単価データを更新中...\r\n"
    "Func2=Update2019CriR0111,AFTER,資材単価を更新中...\r\n";

class UnfinishedCliTest : public UnattendedRun {
 protected:
  void SetUp() override {
    MakeTwoYearsAndSources(6);
    WritePackage(kFunctions);
  }
};

TEST_F(UnfinishedCliTest, DatabasesLeftAsTheyWereEndTheRunWithStatusFourAndTheNextRunMigrates) {
  // The price database the variant tests of the year folder read, unreadable for now.
  const std::string cri = "File/平成30年度/KrCri.mdb";
  std::string bytes = install_.Read(cri);
  install_.Write(cri, "locked away");
  std::string val_before = install_.Read("File/平成30年度/KrVal.mdb");

  testing::ProcessResult first = Run("2020-04-07 15:30");
  EXPECT_EQ(first.exit_code, 4) << first.out << first.err;
  EXPECT_EQ(testing::EndMessage(first.out),
            "アップデートが完了しました。\n"
            "2 件のデータベースは更新できなかったため、元のまま残しています。\n");
  EXPECT_EQ(install_.Read("File/平成30年度/KrVal.mdb"), val_before);
  EXPECT_EQ(Query("File/2019年度/KrVal.mdb", "SELECT Ver FROM Version"), Rows{"2019,1,4"});

  install_.Write(cri, bytes);
  testing::ProcessResult second = Run("2020-04-07 15:45");
  EXPECT_EQ(second.exit_code, 0) << second.out << second.err;
  EXPECT_EQ(Query("File/平成30年度/KrVal.mdb", "SELECT Ver FROM Version"), Rows{"2019,1,4"});
  EXPECT_EQ(Query(cri, "SELECT Ver FROM Version"), Rows{"2019,1,2"});
}

}  // namespace
}  // namespace kr::app::test
