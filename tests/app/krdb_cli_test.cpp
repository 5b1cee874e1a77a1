// krdb's command line, read-only opens, explain, statements from standard input, and krdb at a
// terminal, where a pseudo-terminal stands in for the person typing.
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "tests/app/krdb_fixture.h"

namespace kr::krdb::test {
namespace {

class KrdbCommandLineTest : public KrdbTest {
 protected:
  void SetUp() override {
    Ok({"--app", Db("p.mdb"), "create"});
    Ok({"--app", Db("p.mdb"), "exec",
        "CREATE TABLE Price (Code TEXT(10) NOT NULL, Price DOUBLE, CONSTRAINT PrimaryKey "
        "PRIMARY KEY (Code))",
        "INSERT INTO Price VALUES ('A', 1.5)"});
  }
  std::string Bytes() { return dir_.Read("p.mdb"); }
};

TEST_F(KrdbCommandLineTest, HelpAndVersionAnswerInEnglishWithStatusZero) {
  ProcessResult help = Krdb({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  for (const char* word : {"Usage", "DBFILE", "--format", "--read-only", "dump", "explain",
                           "script", "Exit status: 0 done, 1 a database or statement error"})
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  ProcessResult version = Krdb({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out.rfind("krdb ", 0), 0u);
}

TEST_F(KrdbCommandLineTest, UnknownMisplacedOrClashingOptionsAreRefusedWithStatusTwo) {
  const std::vector<std::vector<std::string>> refused = {
      {"--frobnicate", Db("p.mdb"), "tables"},
      {Db("p.mdb"), "tables", "--app"},              // a global option after the command
      {Db("p.mdb"), "--all", "tables"},              // the command's option before it
      {"--app", "--former", Db("p.mdb"), "tables"},  // two passwords
      {"--format", "xml", Db("p.mdb"), "tables"},
      {"--app", Db("p.mdb"), "fields"},  // its table is missing
      {"--app", Db("p.mdb"), "link", "L", Db("p.mdb")},
      {"--app", Db("p.mdb"), "frobnicate"},
      {},
  };
  for (const auto& args : refused) {
    ProcessResult result = Krdb(args);
    EXPECT_EQ(result.exit_code, 2) << ::testing::PrintToString(args);
    EXPECT_NE(result.err.find("--help"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(Bytes(), dir_.Read("p.mdb"));
}

TEST_F(KrdbCommandLineTest, FileTheUserMayNotWriteIsReadAndNeverChanged) {
  std::string before = Bytes();
  std::filesystem::permissions(Db("p.mdb"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  ProcessResult select = Krdb({"--app", Db("p.mdb"), "exec", "SELECT Code, Price FROM Price"});
  EXPECT_EQ(select.exit_code, 0) << select.err;
  EXPECT_EQ(select.out, "Code\tPrice\nA\t1.5\n");
  ProcessResult insert = Krdb({"--app", Db("p.mdb"), "exec", "INSERT INTO Price VALUES ('B', 2)"});
  EXPECT_EQ(insert.exit_code, 1);
  EXPECT_EQ(insert.err.rfind("error 3027: ", 0), 0u) << insert.err;
  EXPECT_EQ(Bytes(), before);
  std::filesystem::permissions(Db("p.mdb"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
}

TEST_F(KrdbCommandLineTest, ReadOnlyOptionRefusesChangesToAWritableFile) {
  std::string before = Bytes();
  for (const char* sql : {"DELETE FROM Price", "DROP TABLE Price", "CREATE TABLE T (A LONG)"}) {
    ProcessResult change = Krdb({"--app", "--read-only", Db("p.mdb"), "exec", sql});
    EXPECT_EQ(change.exit_code, 1) << sql;
    EXPECT_EQ(change.err.rfind("error 3027: ", 0), 0u) << change.err;
  }
  EXPECT_EQ(
      Krdb({"--app", "--read-only", Db("p.mdb"), "exec", "SELECT Count(*) AS N FROM Price"}).out,
      "N\n1\n");
  EXPECT_EQ(Bytes(), before);
}

TEST_F(KrdbCommandLineTest, ExplainShowsTheSqliteStatementAndRunsNothing) {
  ProcessResult select = Krdb(
      {"--app", Db("p.mdb"), "explain", "SELECT Code FROM Price WHERE Price > 1 ORDER BY Code"});
  EXPECT_EQ(select.exit_code, 0) << select.err;
  EXPECT_NE(select.out.find("SELECT"), std::string::npos) << select.out;
  EXPECT_NE(select.out.find("\"Price\""), std::string::npos) << select.out;
  ProcessResult del = Krdb({"--app", Db("p.mdb"), "explain", "DELETE FROM Price WHERE Code='A'"});
  EXPECT_EQ(del.exit_code, 0) << del.err;
  EXPECT_NE(del.out.find("DELETE"), std::string::npos) << del.out;
  ProcessResult update =
      Krdb({"--app", Db("p.mdb"), "explain", "UPDATE Price SET Price = Price * 2"});
  EXPECT_NE(update.out.find("UPDATE"), std::string::npos) << update.out;
  EXPECT_EQ(Krdb({"--app", Db("p.mdb"), "exec", "SELECT Price FROM Price"}).out, "Price\n1.5\n");
  ProcessResult missing = Krdb({"--app", Db("p.mdb"), "explain", "SELECT * FROM Nowhere"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_EQ(missing.err.rfind("error 3078: ", 0), 0u) << missing.err;
}

TEST_F(KrdbCommandLineTest, StatementsFromStandardInputRunOneByOneAndAFailureEndsInStatusOne) {
  ProcessResult run = Krdb({"--app", Db("p.mdb")},
                           "-- piped statements\n"
                           "help\n"
                           "INSERT INTO Price\n"
                           "  VALUES ('B', 2);\n"
                           "INSERT INTO Nowhere VALUES (1);\n"
                           "SELECT Code FROM Price\n"
                           "  WHERE Code = 'x;\n"
                           "--' OR Price = 2;\n"
                           "tables;\n"
                           "quit\n"
                           "DELETE FROM Price;\n");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.out.find("Commands: help"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Code\nB\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Name\tSourceTableName\nPrice\t\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.err.rfind("error 3192: ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("(line 5)"), std::string::npos) << run.err;
  EXPECT_EQ(Krdb({"--app", Db("p.mdb"), "exec", "SELECT Count(*) AS N FROM Price"}).out, "N\n2\n");
  ProcessResult clean =
      Krdb({"--app", "--format", "csv", Db("p.mdb")}, "SELECT Code FROM Price ORDER BY Code;");
  EXPECT_EQ(clean.exit_code, 0) << clean.err;
  EXPECT_EQ(clean.out, "Code\r\nA\r\nB\r\n");
}

// script - and /dev/stdin: a script piped in or redirected from a file runs as a script file
// does, in one transaction.
class KrdbStdinScriptTest : public KrdbTest {
 protected:
  void SetUp() override {
    Ok({"--app", Db("s.mdb"), "create"});
    Ok({"--app", Db("s.mdb"), "exec", "CREATE TABLE T (A LONG)"});
  }
  std::string Count() {
    return Krdb({"--app", Db("s.mdb"), "exec", "SELECT Count(*) AS N FROM T"}).out;
  }
};

TEST_F(KrdbStdinScriptTest, DashAndDevStdinReadTheScriptInOneTransaction) {
  for (const char* name : {"-", "/dev/stdin"}) {
    ProcessResult ok = Krdb({"--app", Db("s.mdb"), "script", name},
                            "INSERT INTO T VALUES (1);\nINSERT INTO T\n"
                            "VALUES (2);\n");
    EXPECT_EQ(ok.exit_code, 0) << name << ": " << ok.err;
    ProcessResult failed = Krdb({"--app", Db("s.mdb"), "script", name},
                                "INSERT INTO T VALUES (3);\nINSERT INTO Nope VALUES (4);\n");
    EXPECT_EQ(failed.exit_code, 1) << name;
    EXPECT_NE(failed.err.find("(line 2)"), std::string::npos) << failed.err;
  }
  EXPECT_EQ(Count(), "N\n4\n");  // two good scripts each time, nothing of the failed ones
  // From a file on standard input, as a shell's redirection gives it.
  dir_.Write("in.sql", "DELETE FROM T;\n");
  ProcessResult redirected =
      kr::testing::RunProgram({"/bin/sh", "-c", "\"$0\" --app \"$1\" script /dev/stdin < \"$2\"",
                               kr::testing::BuiltProgram("app/krdb"), Db("s.mdb"), Db("in.sql")},
                              env_);
  EXPECT_EQ(redirected.exit_code, 0) << redirected.err;
  EXPECT_EQ(Count(), "N\n0\n");
}

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
