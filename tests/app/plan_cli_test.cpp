// kr-updater-cli --plan changes nothing in the sandbox, and the run that follows does what it said.
#include <filesystem>

#include "tests/app/unattended_run.h"

namespace kr::app::test {
namespace {

namespace fs = std::filesystem;
using testing::ProcessResult;

using Roots = std::vector<const testing::TempDir*>;

// Every entry below the roots (the runtime folder aside: the instance guard's lock lives there)
// with its bytes and modification time; folders and links by kind.
std::map<std::string, std::string> Snapshot(const Roots& roots) {
  std::map<std::string, std::string> entries;
  for (const testing::TempDir* root_dir : roots) {
    const testing::TempDir& root = *root_dir;
    for (const auto& entry : fs::recursive_directory_iterator(root.path())) {
      std::string name = fs::relative(entry.path(), root.path()).string();
      if (name == "run" || name.starts_with("run/")) continue;
      std::string& seen = entries[root.path() + "/" + name];
      if (entry.is_symlink()) {
        seen = "<link> " + fs::read_symlink(entry.path()).string();
      } else if (entry.is_directory()) {
        seen = "<folder>";
      } else {
        seen = root.Read(name) + " @" +
               std::to_string(entry.last_write_time().time_since_epoch().count());
      }
    }
  }
  return entries;
}

// A report with what differs between a plan and its run by nature left out: times, whether it
// is a plan, where earlier content is kept and the content of what the run writes (a rewritten
// database need not come out byte for byte the same), and the names of backups (whether one was
// made stays). Which files change, and from what, stays.
std::string Comparable(const std::string& json) {
  report::Report report = report::FromJson(json);
  report.plan = false;
  report.started = report.finished = "";
  for (report::Change& change : report.changes) {
    change.saved.reset();
    if (change.after) change.after = "<written>";
  }
  for (report::Routine& routine : report.routines) {
    for (report::Target& target : routine.targets) {
      if (target.backup) target.backup = "<backup>";
    }
  }
  return report::ToJson(report);
}

// Plans, then runs, the same command line and checks that they agree; returns the run's result.
ProcessResult ExpectThePlanChangesNothingAndTheRunDoesWhatItSaid(
    const Roots& sandbox, const std::function<ProcessResult(std::vector<std::string>)>& cli,
    std::vector<std::string> args, int exit_status) {
  testing::TempDir reports;
  std::map<std::string, std::string> before = Snapshot(sandbox);
  std::vector<std::string> plan_args = args;
  plan_args.insert(plan_args.end(), {"--plan", "--report", reports.Native("plan.json")});
  ProcessResult plan = cli(plan_args);
  EXPECT_EQ(plan.exit_code, exit_status) << plan.out << plan.err;
  EXPECT_NE(plan.out.find("（計画のみ: インストール先には何も変更を加えていません。）"),
            std::string::npos)
      << plan.out;
  EXPECT_EQ(testing::Differing(before, Snapshot(sandbox)), testing::Names{});
  EXPECT_TRUE(reports.Exists("plan.json"));
  if (!reports.Exists("plan.json")) return plan;  // stops here, as ASSERT would
  EXPECT_TRUE(report::FromJson(reports.Read("plan.json")).plan);

  args.insert(args.end(), {"--report", reports.Native("run.json")});
  ProcessResult run = cli(args);
  EXPECT_EQ(run.exit_code, plan.exit_code) << run.out << run.err;
  EXPECT_EQ(testing::EndMessage(plan.out), testing::EndMessage(run.out));
  EXPECT_EQ(plan.err, run.err);
  EXPECT_EQ(Comparable(reports.Read("plan.json")), Comparable(reports.Read("run.json")));
  return run;
}

using PlanDemoTest = DemoCliTest;

TEST_F(PlanDemoTest, EveryFileActionAndRoutineIsPlannedAndNoProgramRuns) {
  Generate("2000/01/01");
  ProcessResult plan = Cli({demo_ + "/Package", "--plan", "--install-folder", demo_ + "/App"});
  EXPECT_EQ(plan.exit_code, 0) << plan.err;
  EXPECT_NE(plan.out.find("実行しなかったプログラム: " + demo_ + "/App\\KrServer.exe /RegServer"),
            std::string::npos)
      << plan.out;
  EXPECT_FALSE(fs::exists(demo_ + "/Windows/System32/Regsvr32.log"));
  EXPECT_FALSE(fs::exists(demo_ + "/App/UpdateLog"));

  ExpectThePlanChangesNothingAndTheRunDoesWhatItSaid(
      {&sandbox_.root()}, [&](auto args) { return Cli(args); },
      {demo_ + "/Package", "--install-folder", demo_ + "/App"}, 0);
  EXPECT_TRUE(fs::exists(demo_ + "/Windows/System32/Regsvr32.log"));
}

TEST_F(PlanDemoTest, AFailingLineIsPlannedWithItsErrorAndLaterLinesStillApply) {
  // UpdateDay today with the program in place: unattended, without the target check that would
  // refuse a package lacking a source.
  Generate("2020/04/07");
  fs::remove(demo_ + "/Package/KrCalc.exe");
  ProcessResult run = ExpectThePlanChangesNothingAndTheRunDoesWhatItSaid(
      {&sandbox_.root()}, [&](auto args) { return Cli(args); }, {demo_ + "/Package"}, 1);
  EXPECT_EQ(testing::EndMessage(run.out), "アップデート時にエラーが発生しました。\n" + demo_ +
                                              "/App/KrCalc.exe\nエラー番号=53\n"
                                              "エラー内容=ファイルが見つかりません。\n");
  EXPECT_FALSE(Exists("App/KrCalc.exe"));  // deleted before the copy that failed
  EXPECT_EQ(Read("App/Readme.txt"), Read("Package/Readme.txt"));
  EXPECT_FALSE(Exists("App/KrOldTool.exe"));
}

constexpr std::string_view kFunctions =
    "[Function]\r\n"
    "Func1=Update2019ValR0111,AFTER,単価データを更新中...\r\n"
    "Func2=Update2019CriR0111,AFTER,資材単価を更新中...\r\n"
    "Func3=Update2019ExpR0111,AFTER,諸経費を更新中...\r\n"
    "Func4=Update2019ValR0203,AFTER,単価データ（3月）を更新中...\r\n";

class PlanGeneratedTest : public UnattendedRun {
 protected:
  void SetUp() override {
    MakeTwoYearsAndSources(12);
    WritePackage(kFunctions);
  }
  // The run at 15:30 with these options.
  ProcessResult Cli(std::vector<std::string> options) { return Run("2020-04-07 15:30", options); }
};

TEST_F(PlanGeneratedTest, MigrationsAndMissingSourcesArePlannedAsTheyRun) {
  ExpectThePlanChangesNothingAndTheRunDoesWhatItSaid(
      {&install_, &sandbox_.root()}, [&](auto args) { return Cli(args); }, {}, 0);
  EXPECT_EQ(Query("File/2019年度/KrVal.mdb", "SELECT Ver FROM Version"), Rows{"2019,1,4"});
  // Now that they are current, plan and run both skip them.
  ExpectThePlanChangesNothingAndTheRunDoesWhatItSaid(
      {&install_, &sandbox_.root()}, [&](auto args) { return Cli(args); }, {}, 0);
}

// The price database the variant tests of a year folder read, unreadable for now: that folder's
// databases are left as they were, the end message says how many, and the next run migrates.
TEST_F(PlanGeneratedTest, ADatabaseThatCannotBeReadIsPlannedAndLeftAloneUntilItCanBe) {
  const std::string cri = "File/平成30年度/KrCri.mdb", val = "File/平成30年度/KrVal.mdb";
  const std::string bytes = install_.Read(cri), val_before = install_.Read(val);
  install_.Write(cri, "locked away");
  ProcessResult run = ExpectThePlanChangesNothingAndTheRunDoesWhatItSaid(
      {&install_, &sandbox_.root()}, [&](auto args) { return Cli(args); }, {}, 4);
  EXPECT_EQ(testing::EndMessage(run.out),
            "アップデートが完了しました。\n"
            "2 件のデータベースは更新できなかったため、元のまま残しています。\n");
  EXPECT_EQ(install_.Read(val), val_before);
  EXPECT_EQ(Query("File/2019年度/KrVal.mdb", "SELECT Ver FROM Version"), Rows{"2019,1,4"});

  install_.Write(cri, bytes);
  ProcessResult next = Run("2020-04-07 15:45");
  EXPECT_EQ(next.exit_code, 0) << next.out << next.err;
  EXPECT_EQ(Query(val, "SELECT Ver FROM Version"), Rows{"2019,1,4"});
  EXPECT_EQ(Query(cri, "SELECT Ver FROM Version"), Rows{"2019,1,2"});
}

}  // namespace
}  // namespace kr::app::test
