#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/support.h"
#include "tests/testing/testing.h"

namespace kr::support {
namespace {

using kr::testing::SandboxedFolders;

// Counts the Windows folder queries; has no common data folder unless told; makes no folder.
class TestEnv : public platform::Env {
 public:
  std::string WindowsFolder() override {
    ++windows_queries;
    return windows_answer ? *windows_answer : Env::WindowsFolder();
  }
  std::string CommonAppDataFolder() override {
    return common_known ? Env::CommonAppDataFolder() : "";
  }
  void MakeDirectory(std::string_view) override {
    throw Failure::Runtime(kErrPermissionDenied, "read-only disk (test)");
  }
  int windows_queries = 0;
  std::optional<std::string> windows_answer;
  bool common_known = true;
};

TEST(FoldersTest, WindowsFolderIsAskedForOnceAfterASuccess) {
  TestEnv env;
  platform::ScopedEnv scoped(env);
  RunContext run;
  env.windows_answer = "";
  EXPECT_EQ(GetWindowsFolder(run), "");
  EXPECT_EQ(GetWindowsFolder(run), "");
  env.windows_answer = std::string("/w/Windows  \0junk", 17);
  EXPECT_EQ(GetWindowsFolder(run), "/w/Windows\\");
  env.windows_answer = "/elsewhere";
  EXPECT_EQ(GetWindowsFolder(run), "/w/Windows\\");
  EXPECT_EQ(env.windows_queries, 3);  // an empty answer is asked again
}

TEST(FoldersTest, CommonDataFolderIsCreatedLevelByLevel) {
  SandboxedFolders sandbox;
  setenv("KR_COMMON_APPDATA_DIR", (sandbox.common_appdata() + "/Deeper").c_str(), 1);
  RunContext run;
  EXPECT_EQ(GetCommonDataFolder(run), sandbox.common_appdata() + "/Deeper\\Kelmora\\");
  EXPECT_TRUE(sandbox.root().Exists("ProgramData/Deeper/Kelmora"));
}

TEST(FoldersTest, CommonDataFolderThatCannotBeMadeIsStillGivenAndAMissingOneIsTheWindowsFolder) {
  SandboxedFolders sandbox;
  TestEnv env;
  platform::ScopedEnv scoped(env);
  RunContext run;
  EXPECT_EQ(GetCommonDataFolder(run), sandbox.common_appdata() + "\\Kelmora\\");
  EXPECT_FALSE(sandbox.root().Exists("ProgramData/Kelmora"));
  env.common_known = false;
  RunContext other;
  EXPECT_EQ(GetCommonDataFolder(other), sandbox.windows() + "\\");
}

}  // namespace
}  // namespace kr::support
