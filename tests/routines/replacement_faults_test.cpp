// The October 2019 replacement stopped by a failing disk at any of its operations: every
// database of the year is still there, whole, as the user had it or as the release ships it;
// the dated backups hold what the user had; and the next run finishes the replacement.
#include <filesystem>
#include <map>

#include "platform/platform.h"
#include "tests/routines/routines_fixture.h"
#include "tests/testing/database_faults.h"

namespace kr::routines::test {
namespace {

using testing::DatabaseFaults;

constexpr const char* kNames[] = {"KrCri", "KrExp", "KrVal"};

bool Exists(const std::string& path) {
  return platform::Listed(path, platform::ListKind::kPlainFiles);
}

class ReplacementFaultsTest : public RoutineTest {
 protected:
  void SetUp() override {
    setenv("KR_NOW", "2019-11-05 10:30", 1);
    for (std::string_view name : kNames) {
      std::string file = std::string(name) + ".mdb";
      Install("File/2019年度/" + file,
              Table("Cri", kCriTable) + Insert("Cri (Code, Price1)", {"'OLD', 1"}));
      Package(file, Table("Cri", kCriTable) + Insert("Cri (Code, Price1)", {"'NEW', 2"}));
      user_[file] = platform::ReadFile(Installed(file));
      release_[file] = platform::ReadFile(package_.folder() + file);
    }
    package_.Write("KrUpdatedR0110.ini", "[R0110]\r\n");
  }
  void TearDown() override { unsetenv("KR_NOW"); }

  std::string Installed(std::string_view file) const {
    return install_.folder() + "File\\2019年度\\" + std::string(file);
  }

  void Restore() {
    std::filesystem::remove(install_.Native("KrUpdatedR0110.ini"));
    for (const auto& entry :
         std::filesystem::directory_iterator(install_.Native("File/2019年度"))) {
      std::filesystem::remove(entry.path());
    }
    for (const auto& [file, bytes] : user_) platform::WriteFile(Installed(file), bytes);
  }

  bool Finished() const { return install_.Exists("KrUpdatedR0110.ini"); }

  // Checks the year folder after a run; where names the run.
  void CheckFolder(const std::string& where, bool finished) {
    for (const auto& [file, user] : user_) {
      std::string name = file.substr(0, file.size() - 4);
      ASSERT_TRUE(Exists(Installed(file))) << where << ": " << file << " is gone";
      std::string now = platform::ReadFile(Installed(file));
      if (finished) {
        EXPECT_EQ(now, release_[file]) << where << ": " << file << " not replaced";
      } else {
        EXPECT_TRUE(now == user || now == release_[file]) << where << ": " << file << " is torn";
      }
      std::string backup = Installed(name + "201911059999.old");
      if (now != user || finished) {
        ASSERT_TRUE(Exists(backup)) << where << ": " << file << " without backup";
      }
      if (Exists(backup)) {
        EXPECT_EQ(platform::ReadFile(backup), user) << where << ": the backup of " << file;
      }
    }
    for (const auto& entry :
         std::filesystem::directory_iterator(install_.Native("File/2019年度"))) {
      std::string name = entry.path().filename().string();
      EXPECT_TRUE(name.ends_with(".mdb") || name.ends_with(".old")) << where << ": left " << name;
    }
  }

  std::map<std::string, std::string> user_, release_;
};

TEST_F(ReplacementFaultsTest, EachFailingOperationLeavesEveryDatabaseWholeAndARerunFinishes) {
  constexpr unsigned kOps = DatabaseFaults::kAll | DatabaseFaults::kFileChange;
  DatabaseFaults faults;
  faults.FailAt(0, 0, kOps);
  {
    platform::ScopedEnv env(faults);
    Run("Update2019CopyCriValR0110");
  }
  int64_t total = faults.count();
  CheckFolder("an undisturbed run", true);
  ASSERT_TRUE(Finished());
  ASSERT_GT(total, 10);

  // One operation failing, then (as a run killed there) every operation from the nth on.
  const int errors[] = {kErrDiskFull, kErrDeviceIo, kErrPermissionDenied};
  for (int64_t i = 1; i <= 2 * total && !HasFatalFailure(); ++i) {
    int64_t n = i <= total ? i : i - total;
    bool sticky = i > total;
    Restore();
    faults.FailAt(n, errors[n % 3], kOps, sticky);
    {
      platform::ScopedEnv env(faults);
      Run("Update2019CopyCriValR0110");
    }
    std::string where = "operation " + std::to_string(n) + " of " + std::to_string(total) + " (" +
                        faults.first_failed() + ")";
    CheckFolder(where, Finished());
    if (Finished()) continue;  // the failure cost nothing the rerun would redo
    Run("Update2019CopyCriValR0110");
    EXPECT_TRUE(Finished()) << where;
    CheckFolder(where + ", then run again", true);
  }
}

}  // namespace
}  // namespace kr::routines::test
