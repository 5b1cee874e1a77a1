// kr-updater-cli's run report and summary: per database, what each routine did or why not.
#include "tests/app/unattended_run.h"

namespace kr::app::test {
namespace {

using report::TargetOutcome;

constexpr std::string_view kFunctions =
    "[Function]\r\n"
    "Func1=Update2019ValR0111,AFTER,単価データを更新中...\r\n"
    "Func2=Update2019CriR0111,AFTER,資材単価を更新中...\r\n";

class RunReportTest : public UnattendedRun {
 protected:
  void SetUp() override {
    MakeTwoYearsAndSources(6);
    WritePackage(kFunctions);
  }
  static bool HasFailure(const report::Target& target, int number, std::string_view naming) {
    for (const report::StepFailure& failure : target.failures) {
      if (failure.error.number == number &&
          (failure.step + failure.error.description).find(naming) != std::string::npos) {
        return true;
      }
    }
    return false;
  }
};

TEST_F(RunReportTest, EachDatabaseIsReportedMigratedWithBackupVersionsAndCountsThenSkipped) {
  std::string copy = package_.Native("copy.json");
  testing::ProcessResult first = Run("2020-04-07 15:30", {"--report", copy});
  ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
  report::Report r = LastReport(install_.path());
  EXPECT_EQ(platform::ReadFile(copy), report::ToJson(r));
  EXPECT_EQ(r.install_folder, install_.path() + "/");
  for (std::string_view year : {"平成30年度", "2019年度"}) {
    std::string folder = "File/" + std::string(year) + "/";
    const report::Target* val = TargetOf(r, "Update2019ValR0111", folder + "KrVal.mdb");
    ASSERT_NE(val, nullptr) << year;
    EXPECT_EQ(val->outcome, TargetOutcome::kMigrated) << val->reason;
    EXPECT_EQ(val->backup, install_.Native(folder + "KrVal202004071530.old"));
    EXPECT_EQ(val->version_before, "2019,1,1");
    EXPECT_EQ(val->version_after, "2019,1,4");
    // Every row of the release's Val120 went in; the table's old copy is no table of the report.
    int64_t inserted = -1;
    for (const report::TableCounts& table : val->tables) {
      if (table.name == "Val120") inserted = table.inserted;
      EXPECT_FALSE(table.name.ends_with("Old")) << table.name;
    }
    EXPECT_EQ(std::to_string(inserted), testing::QueryValue(package_.Native("KrVal2019R0111.mdb"),
                                                            "SELECT COUNT(*) FROM Val120"));
    EXPECT_NE(first.out.find(folder + "KrVal.mdb: 移行しました（2019,1,1 → 2019,1,4）"),
              std::string::npos)
        << first.out;
  }

  testing::ProcessResult second = Run("2020-04-07 16:45");
  ASSERT_EQ(second.exit_code, 0) << second.out << second.err;
  report::Report again = LastReport(install_.path());
  const report::Target* val = TargetOf(again, "Update2019ValR0111", "File/2019年度/KrVal.mdb");
  ASSERT_NE(val, nullptr);
  EXPECT_EQ(val->outcome, TargetOutcome::kSkipped);
  EXPECT_EQ(val->reason, "既に記録されています（2019,1,4）");
  EXPECT_TRUE(val->tables.empty());
  EXPECT_FALSE(val->backup.has_value());
}

TEST_F(RunReportTest, FailuresProvokedAreNamedWithTheDatabaseTheStepAndTheError) {
  // A source without one price table, one whose price column holds text, and a year folder
  // whose price database is no database at all.
  const std::string source = package_.Native("KrVal2019R0111.mdb");
  testing::RunScriptText(source, "DROP TABLE Val130;\n");
  testing::RunScriptText(source,
                         "ALTER TABLE Val120 DROP COLUMN Price;\n"
                         "ALTER TABLE Val120 ADD COLUMN Price TEXT(20);\n"
                         "UPDATE Val120 SET Price='高い';\n");
  install_.Write("File/平成30年度/KrVal.mdb", "not a database");

  testing::ProcessResult run = Run("2020-04-07 15:30");
  EXPECT_EQ(run.exit_code, 4) << run.out << run.err;
  report::Report r = LastReport(install_.path());
  EXPECT_EQ(r.exit_status, 4);

  const report::Target* broken = TargetOf(r, "Update2019ValR0111", "File/平成30年度/KrVal.mdb");
  ASSERT_NE(broken, nullptr);
  EXPECT_EQ(broken->outcome, TargetOutcome::kFailed);
  EXPECT_EQ(broken->reason, "データベースを開けませんでした。元のまま残しました");
  ASSERT_FALSE(broken->failures.empty());
  EXPECT_EQ(broken->failures[0].step, "open");

  const report::Target* val = TargetOf(r, "Update2019ValR0111", "File/2019年度/KrVal.mdb");
  ASSERT_NE(val, nullptr);
  EXPECT_TRUE(HasFailure(*val, 3078, "Val130")) << report::ToJson(r);
  bool typed = false;
  for (const report::StepFailure& failure : val->failures) {
    typed = typed || (failure.step == "T Val120 [Code]" && failure.statement.starts_with("INSERT"));
  }
  EXPECT_TRUE(typed) << report::ToJson(r);
  // The summary names them too; the English log names routine, database and step.
  EXPECT_NE(run.out.find("File/平成30年度/KrVal.mdb: 失敗しました（データベースを開けませんでした"),
            std::string::npos)
      << run.out;
}

}  // namespace
}  // namespace kr::app::test
