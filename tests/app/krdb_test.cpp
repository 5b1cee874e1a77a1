// krdb end to end: the built program on real files, Access's among them, its command line, output
// formats (read back with Python's csv and json), standard input and a pseudo-terminal.
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

TEST_F(KrdbTest, ScriptBuildsAFixtureAndSelectPrintsTabSeparatedRows) {
  Ok({"--app", Db("KrVal.mdb"), "create"});
  dir_.Write("fixture.sql",
             "-- price table\n"
             "CREATE TABLE Val120 (Code TEXT(20), Name TEXT(30), Price CURRENCY, Rate SINGLE,\n"
             "  Ratio DOUBLE, Flag YESNO, MakeDay DATETIME,\n"
             "  CONSTRAINT PrimaryKey PRIMARY KEY (Code));\n"
             "INSERT INTO Val120 VALUES ('A1', 'セメント;袋', 12.5, 0.1, 1.25, True, "
             "#2019/04/01 13:05:09#);\n"
             "   -- indented comment\n"
             "INSERT INTO Val120 (Code, Ratio) VALUES ('B2', 3);\n");
  Ok({"--app", Db("KrVal.mdb"), "script", dir_.Native("fixture.sql")});
  ProcessResult select =
      Krdb({"--app", Db("KrVal.mdb"), "exec", "SELECT * FROM Val120 ORDER BY Code",
            "SELECT Count(*) FROM Val120"});
  EXPECT_EQ(select.out,
            "Code\tName\tPrice\tRate\tRatio\tFlag\tMakeDay\n"
            "A1\tセメント;袋\t12.5\t0.1\t1.25\tTrue\t2019/04/01 13:05:09\n"
            "B2\t\\N\t\\N\t\\N\t3\tFalse\t\\N\n"
            "Expr1000\n"
            "2\n");
}

TEST_F(KrdbTest, FailingScriptNamesTheLineAndLeavesTheFileAsItWas) {
  Ok({Db("s.mdb"), "create"});
  Ok({Db("s.mdb"), "exec", "CREATE TABLE T (Code TEXT(10))", "INSERT INTO T VALUES ('kept')"});
  dir_.Write("bad.sql",
             "-- a fixture with a typing error\n"
             "DELETE FROM T;\n"
             "CREATE TABLE U (N LONG);\n"
             "\n"
             "INSERT INTO U\n"
             "  VALUES (1);\n"
             "INSERT INTO Nowhere\n"
             "  VALUES (2);\n"
             "INSERT INTO U VALUES (3);\n");
  ProcessResult bad = Krdb({Db("s.mdb"), "script", dir_.Native("bad.sql")});
  EXPECT_EQ(bad.exit_code, 1);
  EXPECT_EQ(bad.err, "error 3192: 出力テーブル 'Nowhere' が見つかりませんでした。 (line 7)\n");
  EXPECT_EQ(Krdb({Db("s.mdb"), "exec", "SELECT Code FROM T"}).out, "Code\nkept\n");
  EXPECT_EQ(Krdb({Db("s.mdb"), "fields", "U"}).err.rfind("error 3265: ", 0), 0u);
  dir_.Write("good.sql", "DELETE FROM T;\nINSERT INTO T VALUES ('new');\n");
  Ok({Db("s.mdb"), "script", dir_.Native("good.sql")});
  EXPECT_EQ(Krdb({Db("s.mdb"), "exec", "SELECT Code FROM T"}).out, "Code\nnew\n");
  // A make-table SELECT runs as a statement: it prints nothing.
  EXPECT_EQ(Krdb({Db("s.mdb"), "exec", "SELECT Code INTO Copy FROM T", "SELECT * FROM Copy"}).out,
            "Code\nnew\n");
}

TEST_F(KrdbTest, TablesFieldsLinkAndRekey) {
  Ok({"--password", "pw", Db("s.mdb"), "create"});
  Ok({"--password", "pw", Db("s.mdb"), "exec",
      "CREATE TABLE Cri (Code TEXT(10) NOT NULL, Price1 SINGLE)"});
  Ok({"--password", "pw", Db("t.mdb"), "create"});
  Ok({"--password", "pw", Db("t.mdb"), "link", "LinkHikitugi", Db("s.mdb"), "Cri"});
  EXPECT_EQ(
      Krdb({"--password", "pw", Db("t.mdb"), "tables"}).out,
      "Name\tSourceTableName\tConnect\nLinkHikitugi\tCri\t;DataBase=" + Db("s.mdb") + ";PWD=pw;\n");
  ProcessResult all = Krdb({"--password", "pw", Db("t.mdb"), "tables", "--all"});
  EXPECT_NE(all.out.find("MSysKrTables\t\t\n"), std::string::npos);
  EXPECT_EQ(Krdb({"--password", "pw", Db("s.mdb"), "fields", "Cri"}).out,
            "Name\tType\tSize\tRequired\tAllowZeroLength\tDefaultValue\tValidationRule\n"
            "Code\t10\t10\tTrue\tTrue\t\t\n"
            "Price1\t6\t4\tFalse\tFalse\t\t\n");
  Ok({"--password", "pw", Db("s.mdb"), "rekey", "new"});
  Ok({"--password", "new", Db("s.mdb"), "tables"});
  ProcessResult old = Krdb({"--password", "pw", Db("s.mdb"), "tables"});
  EXPECT_EQ(old.exit_code, 1);
  EXPECT_EQ(old.err, "error 3031: パスワードが正しくありません。\n");
}

TEST_F(KrdbTest, AppAndFormerPasswordsAreTwoDifferentPasswords) {
  Ok({"--former", Db("old.mdb"), "create"});
  Ok({"--app", Db("new.mdb"), "create"});
  Ok({"--former", Db("old.mdb"), "tables"});
  Ok({"--app", Db("new.mdb"), "tables"});
  EXPECT_EQ(Krdb({"--app", Db("old.mdb"), "tables"}).exit_code, 1);
  EXPECT_EQ(Krdb({"--former", Db("new.mdb"), "tables"}).exit_code, 1);
  EXPECT_EQ(Krdb({Db("new.mdb"), "tables"}).exit_code, 1);
}

TEST_F(KrdbTest, ErrorsGoToStandardErrorWithTheirNumber) {
  ProcessResult missing = Krdb({Db("none.mdb"), "tables"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_EQ(missing.err,
            "error 3024: ファイル '" + Db("none.mdb") + "' が見つかりませんでした。\n");
  Ok({Db("e.mdb"), "create"});
  EXPECT_EQ(Krdb({Db("e.mdb"), "exec", "SELECT * FROM WHERE"}).err.rfind("error 31", 0), 0u);
  EXPECT_EQ(Krdb({Db("e.mdb"), "exec", "SELECT Frob(1)"}).err.rfind("error 3085: ", 0), 0u);
  dir_.Write("junk.mdb", "not a database");
  EXPECT_EQ(Krdb({Db("junk.mdb"), "tables"}).err.rfind("error 3343: ", 0), 0u);
}

// Files written by Access: read as they are, imported into ours with the same dump.
std::string Sample(const std::string& name) {
  return kr::testing::SourceFile("tests/fixtures/access/" + name);
}

using KrdbAccessTest = KrdbTest;

TEST_F(KrdbAccessTest, ImportMakesADatabaseOfOursWithTheSameDump) {
  for (const char* sample :
       {"testV1997.mdb", "testV2003.mdb", "testV2007.accdb", "oldDatesV2007.accdb"}) {
    SCOPED_TRACE(sample);
    std::string target = Db(std::string(sample) + ".mdb");
    Ok({"--app", target, "import", Sample(sample)});
    ProcessResult source = Krdb({Sample(sample), "dump"});
    ProcessResult ours = Krdb({"--app", target, "dump"});
    ASSERT_EQ(source.exit_code, 0) << source.err;
    EXPECT_EQ(DumpBody(ours.out), DumpBody(source.out));
    EXPECT_NE(source.out.find("INSERT INTO [Table1]"), std::string::npos);
    // The new file is ours, with the password, and takes changes.
    EXPECT_EQ(Krdb({target, "tables"}).exit_code, 1);
    Ok({"--app", target, "exec", "DELETE FROM Table1"});
  }
  ProcessResult again = Krdb({"--app", Db("testV1997.mdb.mdb"), "import", Sample("testV2003.mdb")});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_NE(again.err.find("error 3204"), std::string::npos);
}

TEST_F(KrdbAccessTest, ExecReadsAndRefusesChanges) {
  ProcessResult select =
      Krdb({Sample("testV2010.accdb"), "exec", "SELECT A, H * 2 AS Twice FROM Table1 WHERE I"});
  EXPECT_EQ(select.out, "A\tTwice\nabcdefg\t7\n");
  ProcessResult update = Krdb({Sample("testV2010.accdb"), "exec", "UPDATE Table1 SET C = 1"});
  EXPECT_EQ(update.exit_code, 1);
  EXPECT_NE(update.err.find("error 3027"), std::string::npos);
  ProcessResult fields = Krdb({Sample("testV1997.mdb"), "fields", "Table1"});
  EXPECT_NE(fields.out.find("H\t5\t8\t"), std::string::npos) << fields.out;
}

class KrdbFormatTest : public KrdbTest {
 protected:
  void SetUp() override {
    Ok({"--app", Db("f.mdb"), "create"});
    dir_.Write("rows.sql",
               "CREATE TABLE T (N LONG, Name TEXT(50), Note MEMO, Price CURRENCY, Rate DOUBLE,\n"
               "  Flag YESNO, Day DATETIME, Raw LONGBINARY);\n"
               "INSERT INTO T VALUES (1, 'セメント, \"袋\"', 'a\n"
               "b;\r\n"
               "--c', 12.5, 0.1, True, #2019/04/01 13:05:09#, Null);\n"
               "INSERT INTO T VALUES (2, '', Null, -3, 1e-300, False, Null, Null);\n"
               "KRDB INSERT INTO T (N, Name, Raw) VALUES (3, 'tab\there', 0x00FF41);\n");
    Ok({"--app", Db("f.mdb"), "script", dir_.Native("rows.sql")});
  }

  // What Python's reader of the format gets from krdb's output of the statements.
  std::string ReadBack(const std::string& format, const std::vector<std::string>& statements) {
    std::vector<std::string> args{"--app", "--format", format, Db("f.mdb"), "exec"};
    args.insert(args.end(), statements.begin(), statements.end());
    ProcessResult out = Krdb(args);
    EXPECT_EQ(out.exit_code, 0) << out.err;
    dir_.Write("out." + format, out.out);
    ProcessResult read = kr::testing::RunProgram({"/usr/bin/env", "python3",
                                                  kr::testing::SourceFile("tests/app/read_rows.py"),
                                                  format, dir_.Native("out." + format)});
    EXPECT_EQ(read.exit_code, 0) << read.err;
    return read.out;
  }
};

TEST_F(KrdbFormatTest, CsvKeepsCommasQuotesAndLineBreaksInsideTextsAndTellsEmptyFromNull) {
  EXPECT_EQ(ReadBack("csv", {"SELECT * FROM T ORDER BY N"}),
            "[\"N\", \"Name\", \"Note\", \"Price\", \"Rate\", \"Flag\", \"Day\", \"Raw\"]\n"
            "[\"1\", \"セメント, \\\"袋\\\"\", \"a\\nb;\\r\\n--c\", \"12.5\", \"0.1\", \"True\", "
            "\"2019/04/01 13:05:09\", \"\"]\n"
            "[\"2\", \"\", \"\", \"-3\", \"1e-300\", \"False\", \"\", \"\"]\n"
            "[\"3\", \"tab\\there\", \"\", \"\", \"\", \"False\", \"\", \"0x00FF41\"]\n");
  // An empty text is quoted, Null is not: the two stay apart for a reader that looks.
  ProcessResult raw = Krdb(
      {"--app", "--format", "csv", Db("f.mdb"), "exec", "SELECT Name, Note FROM T WHERE N = 2"});
  EXPECT_EQ(raw.out, "Name,Note\r\n\"\",\r\n");
}

TEST_F(KrdbFormatTest, JsonGivesTypedValuesOneArrayPerResult) {
  EXPECT_EQ(
      ReadBack("json", {"SELECT * FROM T ORDER BY N", "SELECT N FROM T WHERE N > 5"}),
      "[\n"
      "{\"N\":1,\"Name\":\"セメント, \\\"袋\\\"\",\"Note\":\"a\\nb;\\r\\n--c\",\"Price\":12.5,"
      "\"Rate\":0.1,\"Flag\":true,\"Day\":\"2019-04-01T13:05:09\",\"Raw\":null}\n"
      "{\"N\":2,\"Name\":\"\",\"Note\":null,\"Price\":-3,\"Rate\":1e-300,\"Flag\":false,"
      "\"Day\":null,\"Raw\":null}\n"
      "{\"N\":3,\"Name\":\"tab\\there\",\"Note\":null,\"Price\":null,\"Rate\":null,"
      "\"Flag\":false,\"Day\":null,\"Raw\":\"0x00FF41\"}\n"
      "]\n"
      "[\n"
      "]\n");
}

TEST_F(KrdbFormatTest, ListingsFollowTheFormatToo) {
  EXPECT_EQ(ReadBack("json", {"SELECT N FROM T WHERE N = 1"}), "[\n{\"N\":1}\n]\n");
  ProcessResult fields = Krdb({"--app", "--format", "json", Db("f.mdb"), "fields", "T"});
  EXPECT_EQ(fields.exit_code, 0) << fields.err;
  EXPECT_NE(fields.out.find("{\"Name\":\"N\",\"Type\":4,\"Size\":4,\"Required\":false,"
                            "\"AllowZeroLength\":false,\"DefaultValue\":\"\","
                            "\"ValidationRule\":\"\"}"),
            std::string::npos)
      << fields.out;
  ProcessResult tables = Krdb({"--app", "--format", "csv", Db("f.mdb"), "tables"});
  EXPECT_EQ(tables.out, "Name,SourceTableName,Connect\r\nT,\"\",\"\"\r\n");
}

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
