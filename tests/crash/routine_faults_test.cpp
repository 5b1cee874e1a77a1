// The demo's whole update with one change to the disk failing, full or broken, while its update
// routines run: every user price survives the failing run, and the next run ends where an
// uninterrupted update ends, every table of every database compared.
//
// CI tries a seeded sample of the changes (the seed is printed; KR_FAULT_SEED=<seed> replays
// it); KR_FAULT_POINTS=all tries every one of them (scripts/fault-sweep), KR_FAULT_POINTS=<n> a
// sample of n.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <set>

#include "db/db.h"
#include "platform/platform.h"
#include "routines/routines.h"
#include "startup/startup.h"
#include "tests/testing/database_faults.h"
#include "tests/testing/fake_ui.h"
#include "tests/testing/testing.h"

namespace kr::crash::test {
namespace {

namespace fs = std::filesystem;
using testing::DatabaseFaults;
using Tables = std::map<std::string, std::vector<std::string>>;
using Databases = std::map<std::string, Tables>;

constexpr int kSample = 12;

// The routines the manifest runs, noting how many disk changes came before the first.
class Noting : public manifest::RoutineRegistry {
 public:
  explicit Noting(const DatabaseFaults& disk) : disk_(disk) {}
  bool Run(std::string_view name, std::string_view argument, RunContext& run, ui::Ui& ui) override {
    if (first_ < 0) first_ = disk_.count();
    return routines_.Run(name, argument, run, ui);
  }
  int64_t first() const { return first_; }

 private:
  const DatabaseFaults& disk_;
  routines::Registry routines_;
  int64_t first_ = -1;
};

std::string Cell(const db::Value& value) {
  return value.IsNull() ? std::string("\\N") : value.ToText();
}

Tables ReadTables(const std::string& native_path) {
  Tables tables;
  db::Database database = db::engine::OpenDatabase(native_path, false, true, db::ConnectString());
  std::vector<std::string> names;
  for (const db::TableDef& table : database.TableDefs()) {
    if ((table.Attributes() & db::engine::kSystemObject) == db::engine::kSystemObject) continue;
    if (table.Attributes() & db::engine::kAttachedTable) {
      tables[table.Name()] = {"link " + table.Connect()};
    } else {
      names.push_back(table.Name());
    }
  }
  for (const std::string& name : names) {
    std::vector<std::string>& rows = tables[name];
    db::Recordset recordset = database.OpenRecordset("SELECT * FROM [" + name + "]");
    for (; !recordset.Eof(); recordset.MoveNext()) {
      std::string row;
      for (const db::engine::Field& field : recordset.Fields()) {
        row += Cell(field.GetValue()) + "\t";
      }
      rows.push_back(row);
    }
    recordset.Close();
    std::sort(rows.begin(), rows.end());
  }
  database.Close();
  return tables;
}

class RoutineFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetDurableWrites(false);
    if (!testing::DemoBuilt()) GTEST_SKIP() << "demo maker or PE fixtures not built";
    testing::ProcessResult made = testing::MakeDemo(root_.path(), "2020/04/07");
    ASSERT_EQ(made.exit_code, 0) << made.err;
    fs::copy(root_.path(), pristine_.path(), fs::copy_options::recursive);
  }
  void TearDown() override {
    unsetenv("KR_NOW");
    platform::SetDurableWrites(true);
  }

  void Restore() {
    for (const auto& entry : fs::directory_iterator(root_.path())) fs::remove_all(entry.path());
    fs::copy(pristine_.path(), root_.path(), fs::copy_options::recursive);
  }

  // The update as started from the package, on disk, with the clock at now.
  void Update(DatabaseFaults& disk, Noting& routines, const char* now) {
    setenv("KR_NOW", now, 1);
    platform::ScopedEnv scoped(disk);
    testing::FakeUi ui;
    startup::Updater updater(ui, routines);
    updater.Main("\"" + root_.Native("Package") + "\"");
  }

  Databases Read() const {
    Databases databases;
    for (const auto& [name, bytes] : root_.Files()) {
      if (name.ends_with(".mdb")) databases[name] = ReadTables(root_.Native(name));
    }
    return databases;
  }

  // The user's own values of the generated year folder's price table.
  std::vector<std::string> UserPrices() const {
    std::vector<std::string> typed;
    db::Database database =
        db::engine::OpenDatabase(root_.Native("App/File/2019年度(令和2年3月労務更新)/KrVal.mdb"),
                                 false, true, db::ConnectString());
    db::Recordset rows = database.OpenRecordset(
        "SELECT Code, ValPrice1, ValPrice2, UserCode, JPer FROM Val120 WHERE ValPrice1 IS NOT "
        "NULL OR UserCode IS NOT NULL ORDER BY Code");
    for (; !rows.Eof(); rows.MoveNext()) {
      std::string row;
      for (const db::engine::Field& field : rows.Fields()) row += Cell(field.GetValue()) + "|";
      typed.push_back(row);
    }
    rows.Close();
    database.Close();
    return typed;
  }

  testing::SandboxedFolders sandbox_;
  const testing::TempDir& root_ = sandbox_.root();
  testing::TempDir pristine_;
};

TEST_F(RoutineFaultsTest, AFullOrFailingDiskDuringTheRoutinesLosesNothingAndTheRerunEndsRight) {
  const std::vector<std::string> typed = UserPrices();
  ASSERT_FALSE(typed.empty());
  DatabaseFaults sound;
  sound.FailAt(0, 0, DatabaseFaults::kChanges);
  Noting counted(sound);
  Update(sound, counted, "2020-04-07 15:30");
  const int64_t first = counted.first(), last = sound.count();
  ASSERT_GT(first, 0);
  ASSERT_GT(last, first);
  const Databases reference = Read();
  ASSERT_EQ(UserPrices(), typed);

  std::string asked = platform::EnvironmentValue("KR_FAULT_POINTS");
  std::string seed_text = platform::EnvironmentValue("KR_FAULT_SEED");
  const uint64_t seed = seed_text.empty() ? std::random_device()() : std::stoull(seed_text);
  std::vector<int64_t> points;
  if (asked == "all") {
    for (int64_t n = first + 1; n <= last; ++n) points.push_back(n);
  } else {
    int sample = asked.empty() ? kSample : std::stoi(asked);
    std::mt19937_64 random(seed);
    for (int i = 0; i < sample; ++i) {
      int64_t from = first + 1 + (last - first) * i / sample;
      int64_t to = first + (last - first) * (i + 1) / sample;
      points.push_back(std::uniform_int_distribution<int64_t>(from, std::max(from, to))(random));
    }
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
    Update(failing, routines, "2020-04-07 15:30");
    SCOPED_TRACE("change " + std::to_string(n) + " (" + failing.first_failed() + ") failing with " +
                 std::to_string(error) + "; KR_FAULT_SEED=" + std::to_string(seed));
    ++tried;
    EXPECT_EQ(UserPrices(), typed);
    DatabaseFaults healed;
    Noting again(healed);
    Update(healed, again, "2020-04-07 15:31");
    Databases now = Read();
    for (const auto& [name, tables] : reference) {
      EXPECT_TRUE(now.count(name) && now[name] == tables) << name << " differs after the rerun";
    }
    EXPECT_EQ(testing::LeftoverTemporaries(root_.path()), std::vector<std::string>{});
    if (HasFailure()) break;
  }
  RecordProperty("fault_points", tried);
  std::cout << "[ faults   ] " << tried << " fault points tried\n";
}

}  // namespace
}  // namespace kr::crash::test
