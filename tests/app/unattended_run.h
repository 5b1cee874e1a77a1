// kr-updater-cli runs in a sandbox: on an install folder and a package that go unattended (the
// application asked for the update today), or on the demo that kr-make-demo builds.
#pragma once

#include <gtest/gtest.h>

#include "demo/fixture_generator.h"
#include "platform/platform.h"
#include "report/report.h"
#include "tests/testing/databases.h"
#include "tests/testing/testing.h"

namespace kr::app::test {

// The last run report of an installation (native folder); an empty one when there is none.
inline report::Report LastReport(const std::string& install_folder) {
  std::vector<std::string> reports = testing::ReportsIn(install_folder);
  return reports.empty() ? report::Report{} : report::FromJson(platform::ReadFile(reports.back()));
}
// The routine's entry for the database whose path ends with database; nullptr when none.
inline const report::Target* TargetOf(const report::Report& r, std::string_view routine,
                                      std::string_view database) {
  for (const report::Routine& each : r.routines) {
    for (const report::Target& target : each.targets) {
      if (each.name == routine && target.database.ends_with(database)) return &target;
    }
  }
  return nullptr;
}

class UnattendedRun : public ::testing::Test {
 protected:
  using Rows = std::vector<std::string>;

  // Every report the test's runs wrote holds to the documented format.
  void TearDown() override {
    EXPECT_EQ(testing::ReportSchemaErrors(testing::ReportsIn(install_.path())), "");
  }

  // A year folder whose three databases are at version.
  static fixtures::YearFolderSpec Year(const char* name, const char* version) {
    return {.name = name, .val_version = version, .cri_version = version, .exp_version = version};
  }
  // An installation with the year folders 平成30年度 and 2019年度 one release behind, and the
  // package's R0111 sources of KrVal and KrCri, every table of rows rows.
  void MakeTwoYearsAndSources(int rows) {
    fixtures::MakeInstallation(
        install_.path(), {.years = {Year("平成30年度", "2019,1,1"), Year("2019年度", "2019,1,1")},
                          .rows_per_table = rows});
    for (auto [database, version] : {std::pair{"KrVal", "2019,1,4"}, {"KrCri", "2019,1,2"}}) {
      fixtures::MakeSourceDatabase(
          package_.Native(std::string(database) + "2019R0111.mdb"),
          {.database = database, .version = version, .rows_per_table = rows});
    }
  }

  // The program the application would start, the settings that point at the install folder
  // with today's update day, and KrInst.ini of the edition model with the given sections
  // ("[Function]\r\n..."). Model 50 runs unattended; any other goes through the dialog.
  void WritePackage(std::string_view sections, std::string_view model = "50") {
    install_.Write("KrMain.exe", "program");
    sandbox_.root().Write("ProgramData/Kelmora/KrTN2000.ini",
                          testing::ToCp932("[TN2019]\r\nInstPath=" + install_.folder() +
                                           "\r\nUpdateDay=2020/04/07\r\n"));
    package_.Write("KrInst.ini",
                   testing::ToCp932("[Bootstrap]\r\nExeName=KrMain.exe\r\nExeYear=2019\r\n"
                                    "ExeVersion=3.2.0\r\nInstModel=" +
                                    std::string(model) +
                                    "\r\nDispDlgCaption=ケルモラ積算 2019 アップデート\r\n" +
                                    std::string(sections)));
  }
  testing::ProcessResult Run(std::string_view now, const std::vector<std::string>& options = {}) {
    std::vector<std::string> argv{testing::BuiltProgram("app/kr-updater-cli"), package_.path()};
    argv.insert(argv.end(), options.begin(), options.end());
    return testing::RunProgram(argv, {"KR_NOW=" + std::string(now)});
  }
  // A run at a later minute leaves every file of the install folder as it was (its report
  // aside).
  void ExpectASecondRunChangesNothing() {
    std::map<std::string, std::string> before = install_.Files();
    testing::ProcessResult second = Run("2020-04-07 16:45");
    ASSERT_EQ(second.exit_code, 0) << second.out << second.err;
    EXPECT_EQ(testing::Differing(before, install_.Files()), testing::Names{});
  }
  Rows Query(std::string_view db, std::string_view select) const {
    return testing::QueryRows(install_.Native(db), select);
  }

  testing::SandboxedFolders sandbox_;
  testing::TempDir install_;
  testing::TempDir package_;
};

// kr-updater-cli on the demo installation and package, made into the sandbox.
class DemoCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::DemoBuilt()) GTEST_SKIP() << "PE fixtures not built (MinGW-w64 missing)";
  }
  // Every report a run wrote holds to the documented format.
  void TearDown() override {
    EXPECT_EQ(testing::ReportSchemaErrors(testing::ReportsIn(demo_ + "/App")), "");
  }

  // The demo, the application having asked for the update on update_day.
  void Generate(std::string_view update_day) {
    testing::ProcessResult made = testing::MakeDemo(demo_, update_day);
    ASSERT_EQ(made.exit_code, 0) << made.err;
  }
  testing::ProcessResult Cli(std::vector<std::string> args,
                             std::string_view now = "2020-04-07 15:30") const {
    args.insert(args.begin(), testing::BuiltProgram("app/kr-updater-cli"));
    return testing::RunProgram(args, {"KR_NOW=" + std::string(now)});
  }
  std::string Read(std::string_view relative) const { return root_.Read(relative); }
  bool Exists(std::string_view relative) const { return root_.Exists(relative); }

  testing::SandboxedFolders sandbox_;
  const testing::TempDir& root_ = sandbox_.root();
  std::string demo_ = root_.path();
};

}  // namespace kr::app::test
