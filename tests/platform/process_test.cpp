#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/platform.h"
#include "tests/testing/testing.h"

namespace kr::platform {
namespace {

using kr::testing::TempDir;

// Waits (at most ten seconds) for the child to end.
bool WaitFor(ChildProcess& child) {
  for (int i = 0; i < 1000; ++i) {
    if (child.Ended()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

class ProcessTest : public ::testing::Test {
 protected:
  // A stand-in program: a shell script, executable.
  void Script(std::string_view relative, std::string_view body) {
    dir_.Write(relative, "#!/bin/sh\n" + std::string(body) + "\n");
    chmod(dir_.Native(relative).c_str(), 0755);
  }
  std::string At(std::string_view relative) const { return dir_.folder() + std::string(relative); }
  TempDir dir_;
};

TEST_F(ProcessTest, ReportsTheEndAndTheExitCode) {
  Script("bin/fail", "exit 3");
  std::unique_ptr<ChildProcess> child = CurrentEnv().StartProcess(At("bin\\fail"), true);
  ASSERT_TRUE(WaitFor(*child));
  EXPECT_EQ(child->ExitCode(), 3);
}

TEST_F(ProcessTest, ArgumentsSplitByTheWindowsRules) {
  Script("bin/args", "for a in \"$@\"; do printf '[%s]' \"$a\"; done > \"$(dirname \"$0\")/out\"");
  auto child = CurrentEnv().StartProcess(
      At("bin\\args") + " /s  \"C:\\My Dir\\x.dll\" a\\\"b c\\\\\\\\\"d e\" \"\"", true);
  ASSERT_TRUE(WaitFor(*child));
  EXPECT_EQ(dir_.Read("bin/out"), "[/s][C:\\My Dir\\x.dll][a\"b][c\\\\d e][]");
}

TEST_F(ProcessTest, AnUnquotedPathWithASpaceIsFoundByTheShortestPrefix) {
  Script("My Tools/Regsvr32.exe", "echo \"$1|$2\" > \"$(dirname \"$0\")/out\"");
  // Regsvr32 without ".exe", the folder in another case, the component path unquoted.
  auto child =
      CurrentEnv().StartProcess(At("my tools\\Regsvr32 /sOptions ") + At("App X\\c.dll"), true);
  ASSERT_TRUE(WaitFor(*child));
  EXPECT_EQ(dir_.Read("My Tools/out"), "/sOptions|" + dir_.folder() + "App\n");
}

TEST_F(ProcessTest, AQuotedProgramPathKeepsItsSpaces) {
  Script("A B/run", "echo \"$1\" > \"$(dirname \"$0\")/out\"");
  auto child = CurrentEnv().StartProcess("\"" + At("A B\\run") + "\" 20240101 NoMessage", true);
  ASSERT_TRUE(WaitFor(*child));
  EXPECT_EQ(dir_.Read("A B/out"), "20240101\n");
}

TEST_F(ProcessTest, HiddenChildrenReadNoTerminalInput) {
  Script("bin/reader", "cat > \"$(dirname \"$0\")/out\"");
  auto child = CurrentEnv().StartProcess(At("bin\\reader"), true);
  ASSERT_TRUE(WaitFor(*child));
  EXPECT_EQ(dir_.Read("bin/out"), "");
}

TEST_F(ProcessTest, HiddenChildrenWriteToTheLogFile) {
  Script("bin/talker", "echo out; echo err >&2");
  const std::string log = dir_.Native("run.log");
  setenv("KR_LOG", log.c_str(), 1);
  auto child = CurrentEnv().StartProcess(At("bin\\talker"), true);
  unsetenv("KR_LOG");
  ASSERT_TRUE(WaitFor(*child));
  EXPECT_EQ(dir_.Read("run.log"), "out\nerr\n");
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
  ASSERT_TRUE(dir_.Exists("ready"));
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
