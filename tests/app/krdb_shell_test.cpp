// krdb at a terminal: a pseudo-terminal stands in for the person typing.
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "tests/app/krdb_fixture.h"

namespace kr::krdb::test {
namespace {

class KrdbTerminalTest : public KrdbTest {
 protected:
  void Start(const std::vector<std::string>& args) {
    std::vector<std::string> argv{kr::testing::BuiltProgram("app/krdb")};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      for (const std::string& entry : env_) putenv(const_cast<char*>(entry.c_str()));
      setenv("TERM", "dumb", 1);
      std::vector<char*> raw;
      for (std::string& a : argv) raw.push_back(a.data());
      raw.push_back(nullptr);
      execv(raw[0], raw.data());
      _exit(127);
    }
  }
  // Reads what the program writes until text shows up (or 10 seconds pass, or it ends).
  bool WaitFor(const std::string& text) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (seen_.find(text, consumed_) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char buffer[4096];
      ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) return false;
      seen_.append(buffer, static_cast<size_t>(n));
    }
    consumed_ = seen_.find(text, consumed_) + text.size();
    return true;
  }
  void Type(const std::string& line) {
    std::string typed = line + "\r";
    ASSERT_EQ(write(master_, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  }
  int Finish() {
    WaitFor("\x01never");  // drain until the program closes the terminal
    int status = 0;
    waitpid(pid_, &status, 0);
    close(master_);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  pid_t pid_ = -1;
  int master_ = -1;
  std::string seen_;
  size_t consumed_ = 0;
};

TEST_F(KrdbTerminalTest, TypedStatementsRunAndAreRememberedForTheNextSession) {
  Ok({"--app", Db("t.mdb"), "create"});
  Start({"--app", Db("t.mdb")});
  ASSERT_TRUE(WaitFor("krdb> ")) << seen_;
  Type("CREATE TABLE T (N LONG);");
  ASSERT_TRUE(WaitFor("krdb> ")) << seen_;
  Type("INSERT INTO T VALUES (6 *");
  ASSERT_TRUE(WaitFor("...> ")) << seen_;
  Type("  7);");
  ASSERT_TRUE(WaitFor("krdb> ")) << seen_;
  Type("SELECT N AS Answer FROM T;");
  EXPECT_TRUE(WaitFor("Answer\r\n42\r\n")) << seen_;
  ASSERT_TRUE(WaitFor("krdb> ")) << seen_;
  Type("SELECT * FROM Nowhere;");
  EXPECT_TRUE(WaitFor("error 3078: ")) << seen_;
  ASSERT_TRUE(WaitFor("krdb> ")) << seen_;
  Type("quit");
  EXPECT_EQ(Finish(), 0);
  std::string history = dir_.Read("state/krdb/history");
  EXPECT_NE(history.find("SELECT N AS Answer FROM T;\n"), std::string::npos) << history;
  EXPECT_NE(history.find("  7);\n"), std::string::npos) << history;
  EXPECT_FALSE(dir_.Exists("home/.local/state"));
}

}  // namespace
}  // namespace kr::krdb::test
