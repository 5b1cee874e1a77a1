// The run report of routines with hand-written bodies, through kr-updater-cli on the demo.
#include <filesystem>
#include <tuple>

#include "tests/app/unattended_run.h"

namespace kr::app::test {
namespace {

namespace fs = std::filesystem;
using report::TargetOutcome;

constexpr const char* kYears[] = {"2019年度", "2019年度(令和2年3月労務更新)", "平成30年度"};

class HandWrittenReportTest : public DemoCliTest {
 protected:
  void SetUp() override {
    DemoCliTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_NO_FATAL_FAILURE(Generate("2000/01/01"));
    // The October 2019 replacement with its databases and marker; two routines whose sources
    // the package lacks.
    const std::string ini = root_.Native("Package/KrInst.ini");
    for (auto [key, line] :
         {std::pair{"Func01", "Update2019CopyCriValR0110,AFTER,データベースを置き換え中..."},
          {"Func02", "Update2019CriInsertKB,AFTER,積算資料を変換中..."},
          {"Func03", "Update2019ValR0108,AFTER,単価データを更新中..."}}) {
      ASSERT_TRUE(platform::profile::WriteString(ini, "Function", key, line));
    }
    for (const char* name : {"KrCri", "KrExp", "KrVal"}) {
      fs::copy_file(root_.Native("Package/" + std::string(name) + "2019R0111.mdb"),
                    root_.Native("Package/" + std::string(name) + ".mdb"),
                    fs::copy_options::overwrite_existing);
    }
    root_.Write("Package/KrUpdatedR0110.ini", "[R0110]\r\n");
  }

  report::Report Run(int expected_status, std::string_view now = "2020-04-07 15:30") {
    testing::ProcessResult run = Cli({demo_ + "/Package", "--install-folder", demo_ + "/App"}, now);
    EXPECT_EQ(run.exit_code, expected_status) << run.out << run.err;
    return LastReport(demo_ + "/App");
  }
  std::string Year(std::string_view year, std::string_view file) const {
    return root_.Native("App/File/" + std::string(year) + "/" + std::string(file));
  }
};

TEST_F(HandWrittenReportTest, ReplacedDatabasesAndSourcesMissingAreReportedPerDatabase) {
  report::Report first = Run(0);
  for (const char* name : {"KrCri", "KrExp", "KrVal"}) {
    std::string file = std::string(name) + ".mdb";
    const report::Target* replaced =
        TargetOf(first, "Update2019CopyCriValR0110", Year("2019年度", file));
    ASSERT_NE(replaced, nullptr) << report::ToJson(first);
    EXPECT_EQ(replaced->outcome, TargetOutcome::kMigrated) << replaced->reason;
    // Re-keying a database that has the current password already is no failed step.
    EXPECT_TRUE(replaced->failures.empty()) << report::ToJson(first);
    EXPECT_EQ(replaced->backup, Year("2019年度", std::string(name) + "202004079999.old"));
    EXPECT_TRUE(replaced->version_before.has_value());
    EXPECT_EQ(replaced->version_after,
              testing::QueryValue(root_.Native("Package/" + file), "SELECT Ver FROM Version"));
  }
  for (const char* year : kYears) {
    for (auto [routine, file, source] :
         {std::tuple{"Update2019CriInsertKB", "KrCri.mdb", "KrCri2019KB.mdb"},
          {"Update2019ValR0108", "KrVal.mdb", "KrVal2019R0108.mdb"}}) {
      const report::Target* skipped = TargetOf(first, routine, Year(year, file));
      ASSERT_NE(skipped, nullptr) << routine << " " << year;
      EXPECT_EQ(skipped->outcome, TargetOutcome::kSkipped);
      EXPECT_EQ(skipped->reason, "パッケージに " + std::string(source) + " がありません");
    }
  }

  // The marker is there now: the replacement says so for each database it leaves alone.
  report::Report second = Run(0, "2020-04-07 16:45");
  const report::Target* again =
      TargetOf(second, "Update2019CopyCriValR0110", Year("2019年度", "KrVal.mdb"));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->outcome, TargetOutcome::kSkipped);
  EXPECT_EQ(again->reason, "既に記録されています（KrUpdatedR0110.ini）");
}

TEST_F(HandWrittenReportTest, AReplacementWithoutItsBackupIsLeftAsItWasAndNamesTheStep) {
  // A folder where the backup of the price database goes.
  fs::create_directory(Year("2019年度", "KrVal202004079999.old"));
  const std::string before = platform::ReadFile(Year("2019年度", "KrVal.mdb"));
  report::Report r = Run(4);
  const report::Target* val =
      TargetOf(r, "Update2019CopyCriValR0110", Year("2019年度", "KrVal.mdb"));
  ASSERT_NE(val, nullptr) << report::ToJson(r);
  EXPECT_EQ(val->outcome, TargetOutcome::kFailed);
  EXPECT_EQ(val->reason, "バックアップを作成できませんでした。元のまま残しました");
  ASSERT_FALSE(val->failures.empty());
  EXPECT_EQ(val->failures.front().step, "backup");
  EXPECT_EQ(platform::ReadFile(Year("2019年度", "KrVal.mdb")), before);
  const report::Target* cri =
      TargetOf(r, "Update2019CopyCriValR0110", Year("2019年度", "KrCri.mdb"));
  ASSERT_NE(cri, nullptr);
  EXPECT_EQ(cri->outcome, TargetOutcome::kMigrated);
}

}  // namespace
}  // namespace kr::app::test
