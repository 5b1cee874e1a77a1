// The demo's manifest run with each disk change failing in turn: every file old or new, no
// temporary left, and a clean rerun ends as an undisturbed run.
#include <cerrno>
#include <filesystem>
#include <iostream>
#include <regex>

#include "tests/manifest/manifest_fixture.h"
#include "tests/testing/demo/demo_update.h"

namespace kr::manifest::test {
namespace {

namespace fs = std::filesystem;
using Snapshot = std::map<std::string, std::string>;

// Databases change through the database engine, in several steps of the run; they are checked
// by the database tests, not byte for byte here.
bool IsDatabase(const std::string& name) { return name.ends_with(".mdb"); }

// Logs of the stand-in programs the run starts, and each run's report: they grow with every run.
bool IsLog(const std::string& name) {
  return name.ends_with(".log") || name.find("/UpdateLog/") != std::string::npos;
}

// A shortcut the repair makes for a program whose deletion failed, as for any program present.
bool IsShortcut(const std::string& name) { return name.ends_with(".desktop"); }

// Files no step may leave missing: the program the next update checks for, and settings.
bool MustStay(const std::string& name) {
  return name == "App/KrMain.exe" || name == "App/KelmoraSetting.xml" ||
         name == "App/UserSettings.ini" || name == "App/File/KrSet.mdb";
}

class DemoFaultsTest : public testing::DemoUpdateTest {
 protected:
  void SetUp() override {
    DemoUpdateTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // The table lines' work is the database engine's, checked by the database tests; they
    // would triple the time of every run here.
    std::string ini = root_.Read("Package/KrInst.ini");
    for (const char* line : {"File19=", "File20=", "File21=", "File22=", "File23="}) {
      size_t at = ini.find(line);
      ASSERT_NE(at, std::string::npos) << line;
      ini.erase(at, ini.find('\n', at) + 1 - at);
    }
    root_.Write("Package/KrInst.ini", ini);
    pristine_.Write("Package/KrInst.ini", ini);
    old_ = root_.Files();
    Run();
    new_ = root_.Files();
    Restore();
  }

  ManifestOutcome Run() {
    RunContext run;
    run.package_folder = root_.folder() + "Package\\";
    run.install_folder = root_.folder() + "App\\";
    run.title = "ケルモラ積算 2019 アップデート";
    run.exe_year = 2019;
    run.inst_model = 50;
    run.run_stamp = "202004071530";
    run.common_data_folder = root_.folder() + "ProgramData\\Kelmora\\";
    ui_ = testing::FakeUi();
    testing::NoRoutines routines;  // they work on the databases only, not the subject here
    return RunManifest(run, ui_, routines, true);
  }

  testing::FakeUi ui_;
  Snapshot old_, new_;
};

// Every error block: destination and name, CRLF, the number, CRLF, the description, CRLF CRLF.
bool WellFormedErrorLog(const std::string& log) {
  static const std::regex block(
      "([^\r\n]+\r\nエラー番号=-?[0-9]+\r\nエラー内容=[^\r\n]*\r\n\r\n)*");
  return std::regex_match(log, block);
}

TEST_F(DemoFaultsTest, EveryChangeToTheDiskFailingInTurnLeavesEveryFileWholeAndTheRunEnded) {
  const int steps = testing::CountDiskSteps([&] { Run(); });
  Restore();
  ASSERT_GT(steps, 50);

  const int errors[] = {ENOSPC, EIO, EACCES};
  int reported = 0, noticed = 0;
  for (int n = 1; n <= steps; ++n) {
    const int error = errors[n % 3];
    std::string failed_path;
    ManifestOutcome outcome;
    {
      int seen = 0;
      platform::ScopedFaultHook hook([&](platform::DiskStep, std::string_view path) {
        if (++seen != n) return 0;
        failed_path = path;
        return error;
      });
      outcome = Run();
    }
    SCOPED_TRACE("change " + std::to_string(n) + " failing: " + failed_path);
    EXPECT_TRUE(outcome.ran);
    EXPECT_TRUE(ui_.wait_ok_enabled && ui_.wait_unloaded);
    EXPECT_EQ(ui_.labels[0], outcome.errors() ? "アップデート時にエラーが発生しました。"
                                              : "アップデートが完了しました。");
    EXPECT_TRUE(WellFormedErrorLog(outcome.error_log)) << outcome.error_log;
    if (outcome.errors()) ++reported;
    if (outcome.errors() || !ui_.boxes.empty()) ++noticed;

    Snapshot now = root_.Files();
    for (const auto& [name, bytes] : now) {
      EXPECT_EQ(name.find(".~krtmp-"), std::string::npos) << name;
      if (IsDatabase(name) || IsLog(name)) continue;
      auto was = old_.find(name), will = new_.find(name);
      EXPECT_TRUE((was != old_.end() && was->second == bytes) ||
                  (will != new_.end() && will->second == bytes) ||
                  (was == old_.end() && will == new_.end() && IsShortcut(name)))
          << name << " is neither the old nor the new file";
    }
    for (const auto& [name, bytes] : old_) {
      if (MustStay(name)) {
        EXPECT_TRUE(now.count(name)) << name << " is missing";
      }
    }

    // Started again (after every other failure, for time), the update ends as an undisturbed one
    // does. A backup that could not be made is not made up for: the line's error said so, and
    // the rerun backs up what is there.
    if (n % 2 == 0) {
      Restore();
      continue;
    }
    EXPECT_FALSE(Run().errors());
    Snapshot rerun = root_.Files();
    for (const auto& [name, bytes] : new_) {
      if (IsDatabase(name) || IsLog(name)) continue;
      if (outcome.errors() && name.ends_with(".old")) continue;
      EXPECT_TRUE(rerun.count(name) && rerun[name] == bytes) << name << " differs after a rerun";
    }
    for (const auto& [name, bytes] : rerun) {
      EXPECT_TRUE(new_.count(name) || IsShortcut(name) || IsLog(name))
          << name << " is left over after a rerun";
    }
    Restore();
  }
  // The rest fail where the run stays silent by design (the XML write, shortcuts, the cleanup).
  EXPECT_GT(reported, 0);
  EXPECT_GT(noticed, steps / 3);
}

}  // namespace
}  // namespace kr::manifest::test
