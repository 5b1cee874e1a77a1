#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/support.h"
#include "tests/testing/testing.h"

namespace kr::support {
namespace {

using kr::testing::SandboxedFolders;

// Counts the platform's folder queries.
class CountingEnv : public platform::Env {
 public:
  std::string WindowsFolder() override {
    ++windows_queries;
    return answer;
  }
  int windows_queries = 0;
  std::string answer;
};

TEST(FolderCacheTest, AsksThePlatformOnceAfterASuccess) {
  CountingEnv env;
  platform::ScopedEnv scoped(env);
  RunContext run;
  EXPECT_EQ(GetWindowsFolder(run), "");
  EXPECT_EQ(GetWindowsFolder(run), "");
  EXPECT_EQ(env.windows_queries, 2);  // an empty answer is asked again
  env.answer = std::string("/w/Windows  \0junk", 17);
  EXPECT_EQ(GetWindowsFolder(run), "/w/Windows\\");
  env.answer = "/elsewhere";
  EXPECT_EQ(GetWindowsFolder(run), "/w/Windows\\");
  EXPECT_EQ(env.windows_queries, 3);
}

TEST(FoldersTest, SystemAndWindowsFoldersComeFromTheEnvironment) {
  SandboxedFolders sandbox;
  RunContext run;
  EXPECT_EQ(GetWindowsFolder(run), sandbox.windows() + "\\");
  EXPECT_EQ(GetSystemFolder(run), sandbox.system() + "\\");
}

TEST(FoldersTest, CommonDataFolderIsCreatedLevelByLevel) {
  SandboxedFolders sandbox;
  setenv("KR_COMMON_APPDATA_DIR", (sandbox.common_appdata() + "/Deeper").c_str(), 1);
  RunContext run;
  const std::string folder = GetCommonDataFolder(run);
  EXPECT_EQ(folder, sandbox.common_appdata() + "/Deeper\\Kelmora\\");
  EXPECT_TRUE(sandbox.root().Exists("ProgramData/Deeper/Kelmora"));
  EXPECT_EQ(GetCommonDataFolder(run), folder);
}

// A machine without a common application data folder.
class NoCommonDataEnv : public platform::Env {
 public:
  std::string CommonAppDataFolder() override { return ""; }
};

TEST(FoldersTest, CommonDataFolderFallsBackToTheWindowsFolder) {
  SandboxedFolders sandbox;
  NoCommonDataEnv env;
  platform::ScopedEnv scoped(env);
  RunContext run;
  EXPECT_EQ(GetCommonDataFolder(run), sandbox.windows() + "\\");
}

// A machine where no folder can be made.
class ReadOnlyDiskEnv : public platform::Env {
 public:
  void MakeDirectory(std::string_view) override {
    throw Failure::Runtime(kErrPermissionDenied, "read-only disk (test)");
  }
};

TEST(FoldersTest, CommonDataFolderIsReturnedEvenWhenItCannotBeMade) {
  SandboxedFolders sandbox;
  ReadOnlyDiskEnv env;
  platform::ScopedEnv scoped(env);
  RunContext run;
  EXPECT_EQ(GetCommonDataFolder(run), sandbox.common_appdata() + "\\Kelmora\\");
  EXPECT_FALSE(sandbox.root().Exists("ProgramData/Kelmora"));
}

}  // namespace
}  // namespace kr::support
