// The machine around the files: well-known folders, the clock, shortcuts, child processes and
// the single-instance guard.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

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

TEST(FoldersTest, PerUserDefaultsWhenTheVariablesAreUnsetAndTheProgramsOwnFolder) {
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
  EXPECT_TRUE(Listed(CurrentEnv().ExecutableFolder() + "platform_tests", ListKind::kPlainFiles));
}

// Waits (at most ten seconds) for the child to end.
bool WaitFor(ChildProcess& child) {
  for (int i = 0; i < 1000 && !child.Ended(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return child.Ended();
}

class ProcessTest : public ::testing::Test {
 protected:
  // A stand-in program: an executable shell script.
  void Script(std::string_view relative, std::string_view body) {
    dir_.Write(relative, "#!/bin/sh\n" + std::string(body) + "\n");
    chmod(dir_.Native(relative).c_str(), 0755);
  }
  // Starts the command line hidden and waits for its end.
  void Run(const std::string& command_line) {
    std::unique_ptr<ChildProcess> child = CurrentEnv().StartProcess(command_line, true);
    ASSERT_TRUE(WaitFor(*child));
    exit_code_ = child->ExitCode();
  }
  std::string At(std::string_view relative) const { return dir_.folder() + std::string(relative); }
  TempDir dir_;
  int exit_code_ = -1;
};

TEST_F(ProcessTest, HiddenChildrenReadNoInputWriteToTheLogAndGiveTheirExitCode) {
  Script("bin/talker", "cat > \"$(dirname \"$0\")/in\"; echo out; echo err >&2; exit 3");
  setenv("KR_LOG", dir_.Native("run.log").c_str(), 1);
  Run(At("bin\\talker"));
  unsetenv("KR_LOG");
  EXPECT_EQ(exit_code_, 3);
  EXPECT_EQ(dir_.Read("bin/in"), "");
  EXPECT_EQ(dir_.Read("run.log"), "out\nerr\n");
}

TEST_F(ProcessTest, ProgramPathsWithSpacesAndArgumentsFollowTheWindowsRules) {
  Script("My Tools/Regsvr32.exe",
         "for a in \"$@\"; do printf '[%s]' \"$a\"; done > \"$(dirname \"$0\")/out\"");
  Run("\"" + At("My Tools\\Regsvr32.exe") +
      "\" /s  \"C:\\My Dir\\x.dll\" a\\\"b c\\\\\\\\\"d e\" \"\"");
  // Arguments naming paths arrive as paths of this machine; switches as written.
  EXPECT_EQ(dir_.Read("My Tools/out"), "[/s][C:/My Dir/x.dll][a\"b][c/d e][]");
  // Unquoted: the shortest prefix naming a program (".exe" added, case-blind) is the program.
  Run(At("my tools\\Regsvr32 /sOptions ") + At("App X\\c.dll"));
  EXPECT_EQ(dir_.Read("My Tools/out"), "[/sOptions][" + dir_.path() + "/App][X/c.dll]");
  // Quoted, the program is found case-blind too, without ".exe"; a path argument naming an
  // existing file arrives as that file's native path.
  Script("System32/regsvr32", "printf '%s\\n' \"$@\" > \"$(dirname \"$0\")/out\"");
  dir_.Write("App/KrComp.dll", "component");
  Run("\"" + At("SYSTEM32\\REGSVR32") + "\" /s " + At("app\\krcomp.dll"));
  EXPECT_EQ(exit_code_, 0);
  EXPECT_EQ(dir_.Read("System32/out"), "/s\n" + dir_.Native("App/KrComp.dll") + "\n");
}

TEST_F(ProcessTest, MissingOrNonExecutableProgramsCannotStart) {
  dir_.Write("bin/plain", "not a program");
  for (const std::string& line : {At("bin\\none /s x"), At("bin\\plain"), std::string("")}) {
    EXPECT_THROW(CurrentEnv().StartProcess(line, true), Failure) << line;
  }
}

TEST_F(ProcessTest, AFileHeldOpenByARunningProcessIsInUse) {
  dir_.Write("app/KrMain.exe", "program");
  dir_.Write("app/free.dll", "library");
  {
    std::ifstream held(dir_.Native("app/KrMain.exe"));
    EXPECT_TRUE(CurrentEnv().FileInUse(At("APP\\krmain.exe")));
    EXPECT_FALSE(CurrentEnv().FileInUse(At("app\\free.dll")));
    EXPECT_FALSE(CurrentEnv().FileInUse(At("app\\missing.dll")));
  }
  EXPECT_FALSE(CurrentEnv().FileInUse(At("app\\KrMain.exe")));
  EXPECT_EQ(dir_.Read("app/KrMain.exe"), "program");
}

// Another process being refused is seen end to end (kr-updater-cli's second copy).
TEST(InstanceGuardTest, ASecondGuardOfTheSameNameIsRefusedUntilTheFirstEnds) {
  kr::testing::SandboxedFolders sandbox;
  auto first = InstanceGuard::Acquire("kr-updater-test");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(InstanceGuard::Acquire("kr-updater-test"), nullptr);
  EXPECT_NE(InstanceGuard::Acquire("kr-updater-other"), nullptr);
  first.reset();
  EXPECT_NE(InstanceGuard::Acquire("kr-updater-test"), nullptr);
}

}  // namespace
}  // namespace kr::platform
