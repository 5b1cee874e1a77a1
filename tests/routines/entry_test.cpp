// A database a routine migrates changes as a whole or not at all: a run killed in the middle
// leaves it as it was (only the backup made), and the next run migrates it whole.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "demo/fixture_generator.h"
#include "platform/platform.h"
#include "tests/routines/routines_fixture.h"

namespace kr::routines::test {
namespace {

constexpr std::string_view kVal30 = "File/平成30年度/KrVal.mdb";

// Killed at the nth caption of the progress line: between two groups of a routine's steps.
class KillingUi : public testing::FakeUi {
 public:
  explicit KillingUi(int kill_at) : kill_at_(kill_at) {}
  void SetWaitLabel(int index, std::string_view text) override {
    FakeUi::SetWaitLabel(index, text);
    if (index == 1 && ++captions_ == kill_at_) raise(SIGKILL);
  }

 private:
  int kill_at_;
  int captions_ = 0;
};

class EntryTest : public RoutineTest {
 protected:
  void SetUp() override { InstallVal30(30); }

  // Every table of the database, its rows sorted: what a user could see of it.
  std::map<std::string, Rows> Contents() const {
    std::map<std::string, Rows> contents;
    std::vector<std::string> tables = fixtures::StandardTables("KrVal");
    for (const std::string& table : tables) {
      Rows rows = Query(kVal30, "SELECT * FROM [" + table + "]");
      std::sort(rows.begin(), rows.end());
      contents[table] = rows;
    }
    return contents;
  }

  // Runs the routine in a child process that is killed at the nth progress caption.
  void RunKilledAt(int caption, std::string_view stamp) {
    run_.run_stamp = stamp;
    pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
      KillingUi ui(caption);
      ui.ShowWait(run_.title);
      registry_.Run("Update2018ValH3011", "", run_, ui);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before caption " << caption;
  }
};

TEST_F(EntryTest, ARunKilledMidDatabaseLeavesItAsItWasAndTheNextRunMigratesItWhole) {
  std::map<std::string, Rows> before = Contents();
  std::string original = platform::ReadFile(install_.folder() + "File\\平成30年度\\KrVal.mdb");

  // What an uninterrupted run makes of it, then the installation as it was.
  ASSERT_TRUE(Run("Update2018ValH3011"));
  std::map<std::string, Rows> after = Contents();
  ASSERT_NE(after, before);
  ASSERT_EQ(Ver(kVal30), "2018,1,1");
  std::filesystem::remove(install_.Native("File/平成30年度/KrVal202004071530.old"));
  platform::WriteFile(install_.folder() + "File\\平成30年度\\KrVal.mdb", original);
  ASSERT_EQ(Contents(), before);

  // Killed after the first group, in the middle, and before the last: each time the
  // database is as it was, backed up once more, and the release is not recorded.
  const std::pair<int, std::string_view> kills[] = {
      {2, "202004071600"}, {4, "202004071601"}, {6, "202004071602"}};
  for (const auto& [caption, stamp] : kills) {
    RunKilledAt(caption, stamp);
    EXPECT_EQ(Contents(), before) << "killed at caption " << caption;
    EXPECT_EQ(Ver(kVal30), "2018,0,9");
  }
  EXPECT_EQ(Backups("File/平成30年度").size(), 3u);

  run_.run_stamp = "202004071700";
  EXPECT_TRUE(Run("Update2018ValH3011"));
  EXPECT_EQ(Contents(), after);
  EXPECT_EQ(Ver(kVal30), "2018,1,1");
}

}  // namespace
}  // namespace kr::routines::test
