// An install folder and a package for kr-updater-cli runs that go unattended (the application
// asked for the update today): the package's KrInst.ini holds the given "Function" section.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tests/testing/databases.h"
#include "tests/testing/testing.h"

namespace kr::app::test {

class UnattendedRun : public ::testing::Test {
 protected:
  using Rows = std::vector<std::string>;

  // The program the application would start, the settings that point at the install folder
  // with today's update day, and KrInst.ini with function_section ("[Function]\r\n...").
  void WritePackage(std::string_view function_section) {
    install_.Write("KrMain.exe", "program");
    sandbox_.root().Write("ProgramData/Kelmora/KrTN2000.ini",
                          testing::ToCp932("[TN2019]\r\nInstPath=" + install_.folder() +
                                           "\r\nUpdateDay=2020/04/07\r\n"));
    package_.Write("KrInst.ini",
                   testing::ToCp932("[Bootstrap]\r\nExeName=KrMain.exe\r\nExeYear=2019\r\n"
                                    "ExeVersion=3.2.0\r\nInstModel=50\r\n"
                                    "DispDlgCaption=ケルモラ積算 2019 アップデート\r\n" +
                                    std::string(function_section)));
  }
  testing::ProcessResult Run(std::string_view now) {
    return testing::RunProgram({testing::BuiltProgram("app/kr-updater-cli"), package_.path()},
                               {"KR_NOW=" + std::string(now)});
  }
  Rows Query(std::string_view db, std::string_view select) const {
    return testing::QueryRows(install_.Native(db), select);
  }

  testing::SandboxedFolders sandbox_;
  testing::TempDir install_;
  testing::TempDir package_;
};

}  // namespace kr::app::test
