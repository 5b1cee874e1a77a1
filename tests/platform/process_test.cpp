#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/platform.h"
#include "tests/testing/testing.h"

namespace kr::platform {
namespace {

using kr::testing::TempDir;

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

TEST_F(ProcessTest, AQuotedProgramKeepsItsSpacesAndArgumentsSplitByTheWindowsRules) {
  Script("A B/args", "for a in \"$@\"; do printf '[%s]' \"$a\"; done > \"$(dirname \"$0\")/out\"");
  Run("\"" + At("A B\\args") + "\" /s  \"C:\\My Dir\\x.dll\" a\\\"b c\\\\\\\\\"d e\" \"\"");
  EXPECT_EQ(dir_.Read("A B/out"), "[/s][C:\\My Dir\\x.dll][a\"b][c\\\\d e][]");
}

TEST_F(ProcessTest, AnUnquotedPathWithASpaceIsFoundByTheShortestPrefix) {
  Script("My Tools/Regsvr32.exe", "echo \"$1|$2\" > \"$(dirname \"$0\")/out\"");
  // Regsvr32 without ".exe", the folder in another case, the component path unquoted.
  Run(At("my tools\\Regsvr32 /sOptions ") + At("App X\\c.dll"));
  EXPECT_EQ(dir_.Read("My Tools/out"), "/sOptions|" + dir_.folder() + "App\n");
}

TEST_F(ProcessTest, MissingOrNonExecutableProgramsFailWithFileNotFound) {
  dir_.Write("bin/plain", "not a program");
  for (const std::string& line : {At("bin\\none /s x"), At("bin\\plain"), std::string("")}) {
    try {
      CurrentEnv().StartProcess(line, true);
      ADD_FAILURE() << line;
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number(), kErrFileNotFound) << line;
    }
  }
}

TEST_F(ProcessTest, AFileHeldOpenByARunningProgramIsInUse) {
  dir_.Write("app/KrMain.exe", "program");
  dir_.Write("app/free.dll", "library");
  Script("bin/holder",
         "exec 3< \"$1\"\n: > \"$2/ready\"\nwhile [ ! -e \"$2/stop\" ]; do sleep 0.02; done");
  auto child = CurrentEnv().StartProcess(
      At("bin\\holder ") + dir_.Native("app/KrMain.exe") + " " + dir_.path(), true);
  for (int i = 0; i < 500 && !dir_.Exists("ready"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(CurrentEnv().FileInUse(At("APP\\krmain.exe")));
  EXPECT_FALSE(CurrentEnv().FileInUse(At("app\\free.dll")));
  EXPECT_FALSE(CurrentEnv().FileInUse(At("app\\missing.dll")));
  dir_.Write("stop", "");
  ASSERT_TRUE(WaitFor(*child));
  EXPECT_FALSE(CurrentEnv().FileInUse(At("app\\KrMain.exe")));
  EXPECT_EQ(dir_.Read("app/KrMain.exe"), "program");
}

TEST(InstanceGuardTest, ASecondCopyIsRefusedUntilTheFirstEnds) {
  kr::testing::SandboxedFolders sandbox;
  auto first = InstanceGuard::Acquire("kr-updater-test");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(InstanceGuard::Acquire("kr-updater-test"), nullptr);
  EXPECT_NE(InstanceGuard::Acquire("kr-updater-other"), nullptr);
  pid_t pid = fork();
  if (pid == 0) _exit(InstanceGuard::Acquire("kr-updater-test") == nullptr ? 0 : 1);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "another process got the guard";
  first.reset();
  EXPECT_NE(InstanceGuard::Acquire("kr-updater-test"), nullptr);
}

}  // namespace
}  // namespace kr::platform
