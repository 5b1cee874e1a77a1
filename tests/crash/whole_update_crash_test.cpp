// The demo's whole update killed at drawn changes to the disk and run again: it ends as an
// uninterrupted one, backups included. KR_CRASH_SEED=<seed> replays the points, KR_CRASH_KILLS=<n>
// kills n times, KR_CRASH_POINTS=<n>,... at those changes.
#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "tests/testing/counting_disk.h"
#include "tests/testing/demo/demo_update.h"

namespace kr::crash::test {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;  // path below the sandbox, bytes
using testing::Tables;

constexpr int kDefaultKills = 30;

bool IsDatabase(const std::string& name) { return name.ends_with(".mdb"); }
bool IsBackup(const std::string& name) { return name.ends_with(".old"); }
// The stand-in registration programs append to their logs on every run; each run adds a report.
bool IsLog(const std::string& name) {
  return name.ends_with(".log") || name.find("/UpdateLog/") != std::string::npos;
}

// "App/File/2019年度/KrVal202004071530.old" -> "App/File/2019年度/KrVal".
std::string BackupStem(const std::string& backup) {
  return backup.substr(0, backup.size() - std::string_view("202004071530.old").size());
}

// What a user has of an installation: its files' bytes (databases and backups aside), every
// database's tables, and its backups by name.
struct Installation {
  Files files;
  std::map<std::string, Tables> databases;
  std::vector<std::string> backups;
};

class WholeUpdateCrashTest : public testing::DemoUpdateTest {
 protected:
  // An update in a child process killed at its kill_at-th change to the disk; false when it
  // ended before.
  bool UpdateKilledAt(int64_t kill_at) {
    return testing::KilledInChild([&] {
      testing::CountingDisk disk([&](int64_t n, std::string_view, std::string_view) {
        if (n == kill_at) raise(SIGKILL);
        return 0;
      });
      Update(kMinute);
    });
  }

  Installation Read(const testing::TempDir& root) const {
    Installation installation;
    for (auto& [name, bytes] : root.Files()) {
      // The run folder holds the single-instance lock.
      if (name.starts_with("run/") || IsLog(name)) continue;
      if (IsBackup(name)) {
        installation.backups.push_back(name);
      } else if (IsDatabase(name)) {
        installation.databases[name] = testing::ReadTables(root.Native(name));
      } else {
        installation.files[name] = std::move(bytes);
      }
    }
    return installation;
  }

  // What a backup holds: a database's tables, or a file's bytes.
  Tables BackupContent(const std::string& backup, const std::string& original) const {
    if (IsDatabase(original)) return testing::ReadTables(root_.Native(backup));
    return {{"bytes", {root_.Read(backup)}}};
  }
  Tables OriginalContent(const std::string& original) const {
    if (IsDatabase(original)) return original_.databases.at(original);
    return {{"bytes", {original_.files.at(original)}}};
  }

  // Each backup the reference run made is there, under its name or a later minute's, holding
  // what the reference's holds; every other backup is one of those files' too, and a whole
  // database when it backs one up (ReadTables checks the file).
  void ExpectBackups(const Installation& now) {
    std::map<std::string, std::vector<Tables>> held;  // stem -> what its backups hold
    for (const std::string& backup : now.backups) {
      auto original = original_by_stem_.find(BackupStem(backup));
      if (original == original_by_stem_.end()) {
        ADD_FAILURE() << backup << " backs up nothing";
        continue;
      }
      held[original->first].push_back(BackupContent(backup, original->second));
    }
    for (const auto& [stem, expected] : backed_up_) {
      const std::vector<Tables>& contents = held[stem];
      EXPECT_NE(std::find(contents.begin(), contents.end(), expected), contents.end())
          << "no backup holds " << original_by_stem_.at(stem) << " as the reference's does";
    }
  }

  Installation original_;
  std::map<std::string, std::string> original_by_stem_;  // backup stem -> original's path
  std::map<std::string, Tables> backed_up_;              // backup stem -> the reference's backup
};

// KR_CRASH_POINTS=<n>,<n>,...: these kill points instead of drawn ones, to replay a failure.
std::vector<int64_t> ChosenPoints() {
  std::vector<int64_t> points;
  for (const std::string& point :
       support::Split(platform::EnvironmentValue("KR_CRASH_POINTS"), ",")) {
    if (!point.empty()) points.push_back(std::stoll(point));
  }
  return points;
}

TEST_F(WholeUpdateCrashTest, AnUpdateKilledAnywhereAndRunAgainEndsAsAnUninterruptedOne) {
  original_ = Read(pristine_);
  std::vector<std::string> prices_before = testing::UserPrices(pristine_);
  ASSERT_FALSE(prices_before.empty());

  // The uninterrupted update, counted.
  std::vector<std::string> changes;
  {
    testing::CountingDisk disk([&](int64_t, std::string_view kind, std::string_view path) {
      changes.push_back(std::string(kind) + " " + std::string(path));
      return 0;
    });
    ASSERT_EQ(Update(kMinute), startup::Outcome::kFinished);
  }
  const int64_t steps = static_cast<int64_t>(changes.size());
  const Installation reference = Read(root_);
  ASSERT_EQ(testing::UserPrices(root_), prices_before);
  ASSERT_NE(reference.databases, original_.databases);
  // Backups of the program (SAVEOLD), the settings database (BACKUPOLD) and the year folders'
  // databases, each made before its first change. The TABLE lines change the first year's
  // price database in place before a routine backs it up: its backup holds their result.
  ASSERT_GE(reference.backups.size(), 11u);
  for (const std::string& backup : reference.backups) {
    std::string stem = BackupStem(backup);
    for (const auto& [name, bytes] : original_.files) {
      if (name.starts_with(stem + ".")) original_by_stem_[stem] = name;
    }
    for (const auto& [name, tables] : original_.databases) {
      if (name.starts_with(stem + ".")) original_by_stem_[stem] = name;
    }
    ASSERT_TRUE(original_by_stem_.count(stem)) << backup;
    const std::string& original = original_by_stem_[stem];
    backed_up_[stem] = BackupContent(backup, original);
    EXPECT_EQ(backed_up_[stem] == OriginalContent(original),
              original != "App/File/平成30年度/KrVal.mdb")
        << backup;
  }

  const uint64_t seed = testing::SeedFrom("KR_CRASH_SEED");
  std::cout << "[ crash    ] " << steps << " changes to the disk; KR_CRASH_SEED=" << seed
            << " replays these kill points\n";
  RecordProperty("seed", std::to_string(seed));
  std::mt19937_64 random(seed);
  std::vector<int64_t> points = ChosenPoints();
  if (points.empty()) {
    const std::string kills = platform::EnvironmentValue("KR_CRASH_KILLS");
    points =
        testing::SpreadPoints(0, steps, kills.empty() ? kDefaultKills : std::stoi(kills), random);
  }
  ASSERT_GE(steps, static_cast<int64_t>(points.size()));

  for (size_t i = 0; i < points.size(); ++i) {
    ASSERT_LE(points[i], steps);
    // About half the reruns come in the same minute, so that they meet the killed run's
    // backups; the others make backups of their own, of what the killed run left.
    const bool same_minute = std::bernoulli_distribution(0.5)(random);
    SCOPED_TRACE("killed at change " + std::to_string(points[i]) + " of " + std::to_string(steps) +
                 " (" + changes[points[i] - 1] + "), run again " +
                 (same_minute ? "the same minute" : "a minute later") +
                 "; KR_CRASH_SEED=" + std::to_string(seed));
    Restore();
    ASSERT_TRUE(UpdateKilledAt(points[i]));
    EXPECT_EQ(Update(same_minute ? kMinute : kNextMinute), startup::Outcome::kFinished);

    Installation now = Read(root_);
    EXPECT_EQ(testing::Differing(reference.files, now.files), testing::Names{});
    EXPECT_EQ(testing::Differing(reference.databases, now.databases), testing::Names{});
    EXPECT_EQ(testing::UserPrices(root_), prices_before);
    EXPECT_EQ(testing::LeftoverTemporaries(root_.path()), std::vector<std::string>{});
    if (same_minute) {
      EXPECT_EQ(now.backups, reference.backups);
    }
    ExpectBackups(now);
    if (HasFailure()) break;  // the first differing end state says enough
  }
}

}  // namespace
}  // namespace kr::crash::test
