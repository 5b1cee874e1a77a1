// Undo of the demo's update killed with SIGKILL at changes to the disk spread over the whole of
// it, then run again: every file ends as before the update, no temporary is left, and a third
// undo does nothing. KR_CRASH_SEED=<seed> replays the kill points.
#include <filesystem>
#include <iostream>

#include "platform/platform.h"
#include "tests/testing/demo/demo_update.h"

namespace kr::crash::test {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

constexpr int kKills = 12;

class UndoCrashTest : public testing::DemoUpdateTest {
 protected:
  void SetUp() override {
    DemoUpdateTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    before_ = Snapshot();
    ASSERT_EQ(Update(kMinute), startup::Outcome::kFinished);
    setenv("KR_NOW", "2020-04-07 15:40", 1);
    fs::copy(root_.path(), updated_.path(), fs::copy_options::recursive);
  }

  // What undo answers for: every file but the run records, the lock and the programs' logs.
  Files Snapshot() const {
    Files files = root_.Files();
    std::erase_if(files, [](const auto& file) {
      return file.first.starts_with("run/") || file.first.ends_with(".log");
    });
    return files;
  }
  void BackToUpdated() {
    for (const auto& entry : fs::directory_iterator(root_.path())) fs::remove_all(entry.path());
    fs::copy(updated_.path(), root_.path(), fs::copy_options::recursive);
  }
  manifest::UndoOutcome Undo() { return manifest::UndoRun(root_.Native("App"), "", false); }

  testing::TempDir updated_;
  Files before_;
};

TEST_F(UndoCrashTest, AnUndoKilledAnywhereAndRunAgainEndsWithEveryFileAsBeforeTheUpdate) {
  const int steps = testing::CountDiskSteps([&] { ASSERT_EQ(Undo().exit_status, 0); });
  ASSERT_EQ(testing::Differing(before_, Snapshot()), testing::Names{});
  ASSERT_GE(steps, kKills);

  const uint64_t seed = testing::SeedFrom("KR_CRASH_SEED");
  std::cout << "[ crash    ] undo: " << steps << " changes to the disk; KR_CRASH_SEED=" << seed
            << " replays these kill points\n";
  std::mt19937_64 random(seed);
  for (int64_t point : testing::SpreadPoints(0, steps, kKills, random)) {
    SCOPED_TRACE("killed at change " + std::to_string(point) + " of " + std::to_string(steps) +
                 "; KR_CRASH_SEED=" + std::to_string(seed));
    BackToUpdated();
    ASSERT_TRUE(testing::KillAtDiskChange([&] { Undo(); }, static_cast<int>(point)));

    manifest::UndoOutcome rerun = Undo();
    EXPECT_EQ(rerun.exit_status, 0) << rerun.message;
    EXPECT_EQ(testing::Differing(before_, Snapshot()), testing::Names{});
    EXPECT_EQ(testing::LeftoverTemporaries(root_.path()), std::vector<std::string>{});
    manifest::UndoOutcome third = Undo();
    EXPECT_EQ(third.exit_status, 0);
    EXPECT_NE(third.message.find("既に元に戻されています"), std::string::npos) << third.message;
    if (HasFailure()) break;
  }
}

}  // namespace
}  // namespace kr::crash::test
