// krdb on files written by Access: read as they are, imported into ours with the same dump.
#include "tests/app/krdb_fixture.h"

namespace kr::krdb::test {
namespace {

std::string Sample(const std::string& name) {
  return kr::testing::SourceFile("tests/fixtures/access/" + name);
}

// The dump without its first two lines, which name the file and the password option.
std::string Body(const std::string& dump) {
  size_t second = dump.find('\n', dump.find('\n') + 1);
  return second == std::string::npos ? dump : dump.substr(second + 1);
}

class KrdbAccessTest : public KrdbTest {};

TEST_F(KrdbAccessTest, ImportMakesADatabaseOfOursWithTheSameDump) {
  for (const char* sample :
       {"testV1997.mdb", "testV2003.mdb", "testV2007.accdb", "oldDatesV2007.accdb"}) {
    SCOPED_TRACE(sample);
    std::string target = Db(std::string(sample) + ".mdb");
    Ok({"--app", target, "import", Sample(sample)});
    ProcessResult source = Krdb({Sample(sample), "dump"});
    ProcessResult ours = Krdb({"--app", target, "dump"});
    ASSERT_EQ(source.exit_code, 0) << source.err;
    EXPECT_EQ(Body(ours.out), Body(source.out));
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

}  // namespace
}  // namespace kr::krdb::test
