#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/platform.h"
#include "tests/testing/testing.h"

namespace kr::platform {
namespace {

using kr::testing::SandboxedFolders;
using kr::testing::TempDir;

// Sets (nullptr: unsets) one environment variable for the life of the object.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value != nullptr ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedVariable() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(ShortcutTest, ReplacesADesktopEntryWithTheNativeTargetQuotedAndFailsInAMissingFolder) {
  TempDir dir;
  Env& env = CurrentEnv();
  EXPECT_EQ(env.ShortcutFileName("積算 2019"), "積算 2019.desktop");
  dir.Write("積算 2019.desktop", "old");
  dir.MakeDirs("My App");
  env.WriteShortcut(dir.folder() + "積算 2019.desktop", dir.folder() + "My App\\Kr$Main.exe",
                    "/a \"x y\" 100%", dir.folder() + "My App\\Kr$Main.exe,0");
  const std::string target = dir.Native("My App/Kr$Main.exe");
  EXPECT_EQ(dir.Read("積算 2019.desktop"),
            "[Desktop Entry]\nType=Application\nName=積算 2019\nExec=\"" +
                target.substr(0, target.find('$')) + "\\\\$Main.exe\" /a \"x y\" 100%%\nPath=" +
                dir.Native("My App/") + "\nIcon=" + target + "\nTerminal=false\n");
  EXPECT_THROW(env.WriteShortcut(dir.folder() + "no\\a.desktop", "/bin/true", "", ""), Failure);
}

TEST(ClockTest, KrNowFixesTheTimeUnlessMalformed) {
  ScopedVariable now("KR_NOW", "2019-04-01 09:05");
  LocalTime t = CurrentEnv().Now();
  EXPECT_EQ(std::vector<int>({t.year, t.month, t.day, t.hour, t.minute, t.second}),
            std::vector<int>({2019, 4, 1, 9, 5, 0}));
  ScopedVariable with_seconds("KR_NOW", "2020-12-31 23:59:58");
  EXPECT_EQ(CurrentEnv().Now().second, 58);
  ScopedVariable malformed("KR_NOW", "tomorrow");
  EXPECT_GE(CurrentEnv().Now().year, 2024);
}

TEST(FoldersTest, EnvironmentVariablesNameTheFolders) {
  SandboxedFolders sandbox;
  Env& env = CurrentEnv();
  EXPECT_EQ(env.WindowsFolder(), sandbox.windows() + "\\");
  EXPECT_EQ(env.SystemFolder(), sandbox.system() + "\\");
  EXPECT_EQ(env.CommonAppDataFolder(), sandbox.common_appdata() + "\\");
  EXPECT_EQ(env.ProgramsFolder(), sandbox.programs() + "\\");
  ScopedVariable slash("KR_DESKTOP_DIR", (sandbox.desktop() + "/").c_str());
  EXPECT_EQ(env.DesktopFolder(), sandbox.desktop() + "\\");
}

TEST(FoldersTest, PerUserDefaultsWhenTheVariablesAreUnset) {
  SandboxedFolders sandbox;
  const std::string home = sandbox.root().Native("home");
  ScopedVariable a("KR_WINDOWS_DIR", nullptr), b("KR_SYSTEM_DIR", nullptr),
      c("KR_COMMON_APPDATA_DIR", nullptr), d("KR_PROGRAMS_DIR", nullptr),
      e("KR_DESKTOP_DIR", nullptr), f("XDG_DATA_HOME", nullptr), g("XDG_CONFIG_HOME", nullptr);
  Env& env = CurrentEnv();
  EXPECT_EQ(env.WindowsFolder(), home + "/.local/share/kr-updater/Windows\\");
  EXPECT_EQ(env.SystemFolder(), home + "/.local/share/kr-updater/Windows/System32\\");
  EXPECT_EQ(env.CommonAppDataFolder(), home + "/.local/share/kr-updater/ProgramData\\");
  EXPECT_EQ(env.ProgramsFolder(), home + "/.local/share/applications\\");
  EXPECT_EQ(env.DesktopFolder(), home + "/Desktop\\");
  sandbox.root().Write("home/.config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/デスクトップ\"\n");
  EXPECT_EQ(env.DesktopFolder(), home + "/デスクトップ\\");
}

TEST(FoldersTest, ExecutableFolderHoldsTheRunningProgram) {
  EXPECT_TRUE(Listed(CurrentEnv().ExecutableFolder() + "platform_tests", ListKind::kPlainFiles));
}

}  // namespace
}  // namespace kr::platform
