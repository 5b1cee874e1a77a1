// kr-updater-cli on the demo installation and package that kr-make-demo builds into a sandbox whose
// folders the demo's layout matches.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tests/testing/testing.h"

namespace kr::app::test {

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
