// An install folder and a package for kr-updater-cli runs that go unattended (the application
// asked for the update today): the package's KrInst.ini holds the given sections.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "demo/fixture_generator.h"
#include "tests/testing/databases.h"
#include "tests/testing/testing.h"

namespace kr::app::test {

class UnattendedRun : public ::testing::Test {
 protected:
  using Rows = std::vector<std::string>;

  // Every report the test's runs wrote holds to the documented format.
  void TearDown() override {
    EXPECT_EQ(testing::ReportSchemaErrors(testing::ReportsIn(install_.path())), "");
  }

  // An installation with the year folders 平成30年度 and 2019年度 one release behind, and the
  // package's R0111 sources of KrVal and KrCri, every table of rows rows.
  void MakeTwoYearsAndSources(int rows) {
    fixtures::InstallationSpec spec;
    for (std::string_view name : {"平成30年度", "2019年度"}) {
      fixtures::YearFolderSpec year;
      year.name = name;
      year.val_version = year.cri_version = year.exp_version = "2019,1,1";
      spec.years.push_back(year);
    }
    spec.rows_per_table = rows;
    fixtures::MakeInstallation(install_.path(), spec);
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

}  // namespace kr::app::test
