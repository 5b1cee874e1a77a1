// krdb script - and /dev/stdin: a script piped in or redirected from a file runs as a script
// file does, in one transaction.
#include "tests/app/krdb_fixture.h"

namespace kr::krdb::test {
namespace {

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

}  // namespace
}  // namespace kr::krdb::test
