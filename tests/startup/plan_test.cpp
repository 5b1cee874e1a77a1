// A run over an OverlayEnv sees at its end what the real run then leaves, and changes nothing.
#include "platform/overlay.h"
#include "platform/platform.h"
#include "tests/testing/demo/demo_update.h"

namespace kr::startup {
namespace {

using Files = std::map<std::string, std::string>;

// Every file below root as the Env in force shows it; the run folder (the single-instance lock)
// aside, and the run's history in UpdateLog unless with_history.
Files Seen(const testing::TempDir& root, bool with_history = true) {
  Files files;
  for (const platform::TreeEntry& entry : platform::ListTree(root.folder())) {
    if (entry.path.starts_with("run/")) continue;
    if (!with_history && entry.path.find("/UpdateLog/") != std::string::npos) continue;
    files[entry.path] = platform::ReadFile(root.folder() + entry.path);
  }
  return files;
}

using PlanTest = testing::DemoUpdateTest;

TEST_F(PlanTest, WhatThePlanSeesAtItsEndIsWhatTheRunLeaves) {
  Files before = Seen(root_);
  Files planned;
  Outcome plan_outcome;
  {
    platform::OverlayEnv overlay;
    platform::ScopedEnv in_force(overlay);
    plan_outcome = Update(kMinute);
    planned = Seen(root_, false);
    EXPECT_EQ(overlay.WouldRun().size(), 3u);
  }
  EXPECT_TRUE(Seen(root_) == before) << "the plan changed the disk";
  EXPECT_FALSE(planned == Seen(root_, false)) << "the plan saw none of its changes";

  EXPECT_EQ(Update(kMinute), plan_outcome);
  Files run = Seen(root_, false);
  // What the programs the plan did not start wrote.
  for (const char* log : {"Windows/System32/Regsvr32.log", "App/KrServer.log"}) {
    EXPECT_EQ(run.erase(log), 1u) << log;
  }
  EXPECT_EQ(testing::Differing(run, planned), testing::Names{});
}

}  // namespace
}  // namespace kr::startup
