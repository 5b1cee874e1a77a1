// Undo of the demo's update killed with SIGKILL at changes to the disk spread over the whole of
// it, then run again: every file ends as before the update, no temporary is left, and a third
// undo does nothing. KR_CRASH_SEED=<seed> replays the kill points.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "manifest/manifest.h"
#include "platform/platform.h"
#include "routines/routines.h"
#include "startup/startup.h"
#include "tests/testing/fake_ui.h"
#include "tests/testing/testing.h"

namespace kr::crash::test {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

constexpr int kKills = 12;

class UndoCrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetDurableWrites(false);
    if (!testing::DemoBuilt()) GTEST_SKIP() << "demo maker or PE fixtures not built";
    testing::ProcessResult made = testing::MakeDemo(root_.path(), "2020/04/07");
    ASSERT_EQ(made.exit_code, 0) << made.err;
    before_ = Snapshot();
    setenv("KR_NOW", "2020-04-07 15:30", 1);
    testing::FakeUi ui;
    routines::Registry routines;
    startup::Updater updater(ui, routines);
    updater.Main("\"" + root_.Native("Package") + "\"");
    ASSERT_EQ(updater.outcome(), startup::Outcome::kFinished);
    setenv("KR_NOW", "2020-04-07 15:40", 1);
    fs::copy(root_.path(), updated_.path(), fs::copy_options::recursive);
  }
  void TearDown() override {
    unsetenv("KR_NOW");
    platform::SetDurableWrites(true);
  }

  // What undo answers for: every file but the run records, the lock and the programs' logs.
  Files Snapshot() const {
    Files files;
    for (auto& [name, bytes] : root_.Files()) {
      if (name.starts_with("run/") || name.ends_with(".log")) {
        continue;
      }
      files[name] = std::move(bytes);
    }
    return files;
  }
  // The names of the files that are not as expected, or there without being expected.
  static std::vector<std::string> Differences(const Files& now, const Files& expected) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : expected) {
      if (!now.count(name) || now.at(name) != bytes) names.push_back(name);
    }
    for (const auto& [name, bytes] : now) {
      if (!expected.count(name)) names.push_back(name);
    }
    return names;
  }
  void BackToUpdated() {
    for (const auto& entry : fs::directory_iterator(root_.path())) fs::remove_all(entry.path());
    fs::copy(updated_.path(), root_.path(), fs::copy_options::recursive);
  }
  manifest::UndoOutcome Undo() { return manifest::UndoRun(root_.Native("App"), "", false); }

  testing::SandboxedFolders sandbox_;
  const testing::TempDir& root_ = sandbox_.root();
  testing::TempDir updated_;
  Files before_;
};

TEST_F(UndoCrashTest, AnUndoKilledAnywhereAndRunAgainEndsWithEveryFileAsBeforeTheUpdate) {
  const int steps = testing::CountDiskSteps([&] { ASSERT_EQ(Undo().exit_status, 0); });
  ASSERT_EQ(Differences(Snapshot(), before_), std::vector<std::string>{});
  ASSERT_GE(steps, kKills);

  std::string given = platform::EnvironmentValue("KR_CRASH_SEED");
  const uint64_t seed = given.empty() ? std::random_device()() : std::stoull(given);
  std::cout << "[ crash    ] undo: " << steps << " changes to the disk; KR_CRASH_SEED=" << seed
            << " replays these kill points\n";
  std::mt19937_64 random(seed);
  for (int i = 0; i < kKills; ++i) {
    const int from = 1 + steps * i / kKills, to = steps * (i + 1) / kKills;
    const int point = std::uniform_int_distribution<int>(from, to)(random);
    SCOPED_TRACE("killed at change " + std::to_string(point) + " of " + std::to_string(steps) +
                 "; KR_CRASH_SEED=" + std::to_string(seed));
    BackToUpdated();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int seen = 0;
      platform::ScopedFaultHook hook([&](platform::DiskStep, std::string_view) {
        if (++seen == point) raise(SIGKILL);
        return 0;
      });
      Undo();
      _exit(0);  // no destructors: the parent's folders are not the child's to remove
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    manifest::UndoOutcome rerun = Undo();
    EXPECT_EQ(rerun.exit_status, 0) << rerun.message;
    EXPECT_EQ(Differences(Snapshot(), before_), std::vector<std::string>{});
    EXPECT_EQ(testing::LeftoverTemporaries(root_.path()), std::vector<std::string>{});
    manifest::UndoOutcome third = Undo();
    EXPECT_EQ(third.exit_status, 0);
    EXPECT_NE(third.message.find("既に元に戻されています"), std::string::npos) << third.message;
    if (HasFailure()) break;
  }
}

}  // namespace
}  // namespace kr::crash::test
