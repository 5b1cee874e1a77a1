// The demo's update with one disk change of its routines failing: each database before or after
// an entry, user prices kept, the rerun as an uninterrupted run. KR_FAULT_SEED=<seed> replays the
// sample; KR_FAULT_POINTS=all (or 0), <n> or <from>-<to> (1 the routines' first) choose changes.
#include <algorithm>
#include <iostream>

#include "routines/routines.h"
#include "tests/testing/database_faults.h"
#include "tests/testing/demo/demo_update.h"

namespace kr::crash::test {
namespace {

using testing::DatabaseFaults;
using testing::Databases;
using testing::Tables;

constexpr int kSample = 12;

// The routines the manifest runs, noting how many disk changes came before the first and
// calling between() before the first and after each.
class Noting : public manifest::RoutineRegistry {
 public:
  explicit Noting(const DatabaseFaults& disk, std::function<void()> between = {})
      : disk_(disk), between_(std::move(between)) {}
  bool Run(std::string_view name, std::string_view argument, RunContext& run, ui::Ui& ui) override {
    if (first_ < 0) {
      first_ = disk_.count();
      if (between_) between_();
    }
    bool done = routines_.Run(name, argument, run, ui);
    if (between_) between_();
    return done;
  }
  int64_t first() const { return first_; }

 private:
  const DatabaseFaults& disk_;
  std::function<void()> between_;
  routines::Registry routines_;
  int64_t first_ = -1;
};

class RoutineFaultsTest : public testing::DemoUpdateTest {
 protected:
  void Update(DatabaseFaults& disk, Noting& routines, const char* now) {
    platform::ScopedEnv scoped(disk);
    DemoUpdateTest::Update(now, routines);
  }

  // Each database as an uninterrupted update leaves it before, between and after its routines.
  std::map<std::string, std::vector<Tables>> Stages() {
    Restore();
    std::map<std::string, std::vector<Tables>> stages;
    DatabaseFaults sound;
    Noting routines(sound, [&] {
      for (auto& [name, tables] : testing::ReadDatabases(root_)) {
        std::vector<Tables>& seen = stages[name];
        if (std::find(seen.begin(), seen.end(), tables) == seen.end()) seen.push_back(tables);
      }
    });
    Update(sound, routines, kMinute);
    return stages;
  }
};

TEST_F(RoutineFaultsTest, AFullOrFailingDiskDuringTheRoutinesLosesNothingAndTheRerunEndsRight) {
  const std::vector<std::string> typed = testing::UserPrices(root_);
  ASSERT_FALSE(typed.empty());
  std::map<std::string, std::vector<Tables>> stages = Stages();
  Restore();
  DatabaseFaults sound;
  sound.FailAt(0, 0, DatabaseFaults::kChanges);
  Noting counted(sound);
  Update(sound, counted, kMinute);
  const int64_t first = counted.first(), last = sound.count();
  ASSERT_GT(first, 0);
  ASSERT_GT(last, first);
  const Databases reference = testing::ReadDatabases(root_);
  ASSERT_EQ(testing::UserPrices(root_), typed);
  // The finishing steps after the routines record the version in the settings database.
  for (const auto& [name, tables] : reference) stages[name].push_back(tables);

  std::string asked = platform::EnvironmentValue("KR_FAULT_POINTS");
  if (asked == "0") asked = "all";  // as the entry fault tests read it
  const uint64_t seed = testing::SeedFrom("KR_FAULT_SEED");
  std::vector<int64_t> points;
  const size_t dash = asked.find('-');
  if (asked == "all") {
    for (int64_t n = first + 1; n <= last; ++n) points.push_back(n);
  } else if (dash != std::string::npos) {
    const int64_t from = first + std::stoll(asked.substr(0, dash));
    const int64_t to = std::min<int64_t>(last, first + std::stoll(asked.substr(dash + 1)));
    for (int64_t n = from; n <= to; ++n) points.push_back(n);
  } else {
    std::mt19937_64 random(seed);
    points = testing::SpreadPoints(first, last, asked.empty() ? kSample : std::stoi(asked), random);
  }
  std::cout << "[ faults   ] " << last - first << " changes to the disk in the routines; trying "
            << points.size() << " of them, KR_FAULT_SEED=" << seed << "\n";

  int tried = 0;
  for (int64_t n : points) {
    const int error = n % 2 == 0 ? kErrDiskFull : kErrDeviceIo;
    Restore();
    DatabaseFaults failing;
    failing.FailAt(n, error, DatabaseFaults::kChanges);
    Noting routines(failing);
    Update(failing, routines, kMinute);
    SCOPED_TRACE("change " + std::to_string(n) + " (" + failing.first_failed() + ") failing with " +
                 std::to_string(error) + "; KR_FAULT_SEED=" + std::to_string(seed));
    ++tried;
    for (const auto& [name, tables] : testing::ReadDatabases(root_)) {
      auto seen = stages.find(name);
      EXPECT_TRUE(seen != stages.end() &&
                  std::find(seen->second.begin(), seen->second.end(), tables) != seen->second.end())
          << name << " is neither as it was before nor after one of its entries";
    }
    EXPECT_EQ(testing::UserPrices(root_), typed);
    DatabaseFaults healed;
    Noting again(healed);
    Update(healed, again, kNextMinute);
    Databases now = testing::ReadDatabases(root_);
    for (const auto& [name, tables] : reference) {
      EXPECT_TRUE(now.count(name) && now[name] == tables) << name << " differs after the rerun";
    }
    EXPECT_EQ(testing::LeftoverTemporaries(root_.path()), std::vector<std::string>{});
    if (HasFailure()) break;
    // A sweep of them all takes hours: say how far it got.
    if (points.size() > 100 && tried % 100 == 0) {
      std::cout << "[ faults   ] " << tried << " of " << points.size() << " tried" << std::endl;
    }
  }
  RecordProperty("fault_points", tried);
  std::cout << "[ faults   ] " << tried << " fault points tried\n";
}

}  // namespace
}  // namespace kr::crash::test
