// kr-updater-cli --undo end to end, over the demo installation and package: every file of the
// sandbox (install folder, shortcut folders, Windows folder) back as it was before the update.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/testing/testing.h"

namespace kr::app::test {
namespace {

namespace fs = std::filesystem;
using testing::ProcessResult;
using Files = std::map<std::string, std::string>;

class UndoCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::DemoBuilt()) GTEST_SKIP() << "PE fixtures not built (MinGW-w64 missing)";
    ProcessResult made = testing::MakeDemo(root_.path(), "2000/01/01");
    ASSERT_EQ(made.exit_code, 0) << made.err;
  }

  ProcessResult Cli(std::vector<std::string> args, std::string_view now) {
    args.insert(args.begin(), testing::BuiltProgram("app/kr-updater-cli"));
    return testing::RunProgram(args, {"KR_NOW=" + std::string(now)});
  }
  void Update() {
    ProcessResult run =
        Cli({root_.Native("Package"), "--install-folder", root_.Native("App")}, "2020-04-07 15:30");
    ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  }
  ProcessResult Undo(std::vector<std::string> more = {}) {
    std::vector<std::string> args{"--undo", "--install-folder", root_.Native("App")};
    args.insert(args.end(), more.begin(), more.end());
    return Cli(args, "2020-04-07 15:40");
  }

  // Every file of the sandbox but the run records, the lock folder and the logs the stand-in
  // registration programs append to (what programs do is not undone).
  Files Sandbox() const {
    Files files;
    for (auto& [name, bytes] : root_.Files()) {
      if (name.starts_with("run/") || name.ends_with(".log")) {
        continue;
      }
      files[name] = std::move(bytes);
    }
    return files;
  }
  static void ExpectSame(const Files& now, const Files& expected) {
    for (const auto& [name, bytes] : expected) {
      EXPECT_TRUE(now.count(name) && now.at(name) == bytes) << name << " is not as it was";
    }
    for (const auto& [name, bytes] : now) EXPECT_TRUE(expected.count(name)) << name << " is left";
  }
  bool KeptSomewhereInUpdateLog(std::string_view bytes) const {
    for (const auto& [name, content] : root_.Files(true)) {
      if (name.starts_with("App/UpdateLog/") && content == bytes) return true;
    }
    return false;
  }

  testing::SandboxedFolders sandbox_;
  const testing::TempDir& root_ = sandbox_.root();
};

TEST_F(UndoCliTest, UndoPutsEveryFileBackAsBeforeTheUpdateAndASecondUndoDoesNothing) {
  const Files before = Sandbox();
  Update();
  ASSERT_NE(Sandbox(), before);

  testing::TempDir copies;
  ProcessResult undo = Undo({"--report", copies.Native("undo.json")});
  ASSERT_EQ(undo.exit_code, 0) << undo.out << undo.err;
  EXPECT_NE(undo.out.find("更新を元に戻しました"), std::string::npos) << undo.out;
  // Registrations ran programs: named as not undone.
  EXPECT_NE(undo.out.find("Regsvr32"), std::string::npos) << undo.out;
  EXPECT_NE(copies.Read("undo.json").find("\"kind\": \"undo\""), std::string::npos);
  ExpectSame(Sandbox(), before);

  ProcessResult again = Undo();
  EXPECT_EQ(again.exit_code, 0) << again.err;
  EXPECT_NE(again.out.find("既に元に戻されています"), std::string::npos) << again.out;
  ExpectSame(Sandbox(), before);
}

TEST_F(UndoCliTest, AFileChangedAfterTheUpdateStopsUndoUntilForcedAndItsContentIsKept) {
  const Files before = Sandbox();
  Update();
  root_.Write("App/KelmoraSetting.xml", "edited after the update");
  root_.Write("App/Readme.txt", "notes the user added");
  const Files edited = Sandbox();

  ProcessResult refused = Undo();
  EXPECT_EQ(refused.exit_code, 2);
  EXPECT_NE(refused.err.find(root_.Native("App/KelmoraSetting.xml")), std::string::npos)
      << refused.err;
  EXPECT_NE(refused.err.find(root_.Native("App/Readme.txt")), std::string::npos) << refused.err;
  ExpectSame(Sandbox(), edited);

  ProcessResult forced = Undo({"--force"});
  ASSERT_EQ(forced.exit_code, 0) << forced.out << forced.err;
  ExpectSame(Sandbox(), before);
  // What force overwrote is not lost.
  EXPECT_TRUE(KeptSomewhereInUpdateLog("edited after the update"));
  EXPECT_TRUE(KeptSomewhereInUpdateLog("notes the user added"));
}

TEST_F(UndoCliTest, UndoWithoutAnyUpdateRecordedIsRefusedAndChangesNothing) {
  const Files before = Sandbox();
  ProcessResult refused = Undo();
  EXPECT_EQ(refused.exit_code, 2);
  EXPECT_NE(refused.err.find("元に戻せる更新の記録がありません"), std::string::npos) << refused.err;
  root_.Write("broken.json", "{ not a report");
  ProcessResult broken = Cli({"--undo", root_.Native("broken.json")}, "2020-04-07 15:40");
  EXPECT_EQ(broken.exit_code, 2);
  EXPECT_NE(broken.err.find("更新の記録を読めません"), std::string::npos) << broken.err;
  Files now = Sandbox();
  now.erase("broken.json");
  ExpectSame(now, before);
}

}  // namespace
}  // namespace kr::app::test
