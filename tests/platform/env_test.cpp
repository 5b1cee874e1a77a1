#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/platform.h"
#include "tests/testing/testing.h"

namespace kr::platform {
namespace {

using kr::testing::SandboxedFolders;
using kr::testing::TempDir;

// Sets (or, with nullptr, unsets) one environment variable for the life of the object.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    if (old != nullptr) old_ = old;
    if (value == nullptr) {
      unsetenv(name);
    } else {
      setenv(name, value, 1);
    }
  }
  ~ScopedVariable() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(ShortcutTest, WritesADesktopEntryWithTheNativeTargetQuoted) {
  TempDir dir;
  Env& env = CurrentEnv();
  EXPECT_EQ(env.ShortcutFileName("積算 2019"), "積算 2019.desktop");
  dir.MakeDirs("My App");
  env.WriteShortcut(dir.folder() + "積算 2019.desktop", dir.folder() + "My App\\Kr$Main.exe",
                    "/a \"x y\" 100%", dir.folder() + "My App\\Kr$Main.exe,0");
  const std::string target = dir.Native("My App/Kr$Main.exe");
  EXPECT_EQ(dir.Read("積算 2019.desktop"),
            "[Desktop Entry]\nType=Application\nName=積算 2019\n"
            "Exec=\"" +
                target.substr(0, target.find('$')) +
                "\\\\$Main.exe\" /a \"x y\" 100%%\n"
                "Path=" +
                dir.Native("My App/") + "\nIcon=" + target + "\nTerminal=false\n");
}

TEST(ShortcutTest, ReplacesAnExistingShortcutButFailsInAMissingFolder) {
  TempDir dir;
  dir.Write("a.desktop", "old");
  CurrentEnv().WriteShortcut(dir.folder() + "a.desktop", "/bin/true", "", "");
  EXPECT_EQ(dir.Read("a.desktop"),
            "[Desktop Entry]\nType=Application\nName=a\nExec=/bin/true\nPath=/bin/\n"
            "Terminal=false\n");
  EXPECT_THROW(CurrentEnv().WriteShortcut(dir.folder() + "no\\a.desktop", "/bin/true", "", ""),
               Failure);
}

TEST(ClockTest, KrNowFixesTheTime) {
  ScopedVariable now("KR_NOW", "2019-04-01 09:05");
  LocalTime t = CurrentEnv().Now();
  EXPECT_EQ(std::vector<int>({t.year, t.month, t.day, t.hour, t.minute, t.second}),
            std::vector<int>({2019, 4, 1, 9, 5, 0}));
  ScopedVariable with_seconds("KR_NOW", "2020-12-31 23:59:58");
  EXPECT_EQ(CurrentEnv().Now().second, 58);
}

TEST(ClockTest, AMalformedKrNowFallsBackToTheRealClock) {
  ScopedVariable now("KR_NOW", "tomorrow");
  EXPECT_GE(CurrentEnv().Now().year, 2024);
}

TEST(FoldersTest, EnvironmentVariablesNameTheFolders) {
  SandboxedFolders sandbox;
  Env& env = CurrentEnv();
  EXPECT_EQ(env.WindowsFolder(), sandbox.windows() + "\\");
  EXPECT_EQ(env.SystemFolder(), sandbox.system() + "\\");
  EXPECT_EQ(env.CommonAppDataFolder(), sandbox.common_appdata() + "\\");
  EXPECT_EQ(env.ProgramsFolder(), sandbox.programs() + "\\");
  EXPECT_EQ(env.DesktopFolder(), sandbox.desktop() + "\\");
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
  std::string folder = CurrentEnv().ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '\\');
  EXPECT_TRUE(Listed(folder + "platform_tests", ListKind::kPlainFiles));
}

}  // namespace
}  // namespace kr::platform
