// krdb dump: every fixture database, and one with every awkward thing, dumped and made again
// by krdb script; the two databases must hold the same schema and rows.
#include <filesystem>

#include "db/passwords.h"
#include "demo/fixture_generator.h"
#include "tests/app/krdb_fixture.h"
#include "tests/testing/databases.h"

namespace kr::krdb::test {
namespace {

class KrdbDumpTest : public KrdbTest {
 protected:
  // Dumps the database and builds a new one from the dump, which must be equal: krdb diff finds
  // no difference of fields, indexes or values, and the new one's dump (links, relations, the
  // order of fields and rows) is the same. Returns the dump.
  std::string RoundTrip(const std::string& path) {
    ProcessResult dump = Krdb({"--app", path, "dump"});
    EXPECT_EQ(dump.exit_code, 0) << path << ": " << dump.err;
    std::string copy = Db("copy" + std::to_string(++copies_) + ".mdb");
    dir_.Write("dump.sql", dump.out);
    Ok({"--app", copy, "create"});
    ProcessResult script = Krdb({"--app", copy, "script", dir_.Native("dump.sql")});
    EXPECT_EQ(script.exit_code, 0) << path << ": " << script.err << "\n"
                                   << dump.out.substr(0, 2000);
    if (script.exit_code == 0) {
      ProcessResult diff = Krdb({"--app", path, "diff", copy});
      EXPECT_EQ(diff.exit_code, 0) << path << ": " << diff.out.substr(0, 3000) << diff.err;
      EXPECT_EQ(DumpBody(Krdb({"--app", copy, "dump"}).out), DumpBody(dump.out)) << path;
    }
    return dump.out;
  }
  int copies_ = 0;
};

TEST_F(KrdbDumpTest, EveryFixtureDatabaseComesBackEqualFromPlainJetSql) {
  for (const kr::testing::FixtureDatabase& fixture : kr::testing::FixtureLayout()) {
    std::string path = dir_.Native("fixtures/" + fixture.folder + "/" + fixture.path);
    kr::testing::MakeDatabase(path, fixture.scripts);
    std::string dump = RoundTrip(path);
    EXPECT_EQ(dump.find("KRDB"), std::string::npos) << fixture.path;
    EXPECT_EQ(dump.find(kr::db::DatabasePassword()), std::string::npos);
  }
}

TEST_F(KrdbDumpTest, EveryDatabaseTheFixtureGeneratorMakesComesBackEqual) {
  std::string install = dir_.Native("generated/App");
  kr::fixtures::MakeInstallation(
      install, {.years = {{.name = "平成30年度"}, {.name = "2019年度", .val_version = "2019,1,1"}},
                .rows_per_table = 3});
  for (const char* database : {"KrVal", "KrCri", "KrExp", "KrSet", "KrSetMinPrice", "KrMasta"}) {
    kr::fixtures::MakeSourceDatabase(dir_.Native(std::string("generated/") + database + "Src.mdb"),
                                     {.database = database, .rows_per_table = 2, .new_rows = 1});
  }
  int databases = 0;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(dir_.Native("generated"))) {
    if (entry.path().extension() != ".mdb") continue;
    RoundTrip(entry.path().string());
    ++databases;
  }
  EXPECT_GE(databases, 15);
}

TEST_F(KrdbDumpTest, AwkwardValuesPropertiesIndexesAndLinksComeBackEqual) {
  Ok({"--app", Db("source.mdb"), "create"});
  Ok({"--app", Db("source.mdb"), "exec", "CREATE TABLE Cri (Code TEXT(10))"});
  Ok({"--app", Db("odd.mdb"), "create"});
  const std::string nul(1, '\0');
  dir_.Write(
      "odd.sql",
      "CREATE TABLE Every (ID COUNTER, B YESNO, Y BYTE, I SHORT, L LONG, C CURRENCY,\n"
      "  S SINGLE, D DOUBLE, T DATETIME, X TEXT(255), M MEMO, Bin BINARY(8), LB LONGBINARY,\n"
      "  CONSTRAINT PK PRIMARY KEY (ID));\n"
      "INSERT INTO Every (B, Y, I, L, C, S, D, T, X, M) VALUES (True, 255, -32768,\n"
      "  -2147483648, 12.3456, 0.1, 0.30000000000000004, #1899/12/30 00:00:01#,\n"
      "  '表ソ\\ ''quoted'' \"double\" [bracket]', 'line;\n"
      "-- not a comment\r\n"
      "last');\n"
      "INSERT INTO Every (D, T, X) VALUES (-1.5e300, CDate(43921.123456789), '');\n"
      "INSERT INTO Every (X) VALUES (Null);\n"
      "KRDB INSERT INTO Every (C, Bin, LB, M) VALUES (CCur('-123456789012.3456'),\n"
      "  0x00010203FF, 0x0D0A3B, 'nul" +
          nul +
          "');\n"
          "KRDB TABLE Props (Code TEXT(20) NOT NULL NOZEROLENGTH DEFAULT '\"X''1\"',\n"
          "  Qty LONG DEFAULT '0' RULE '>=0', Memo MEMO NOZEROLENGTH);\n"
          "INSERT INTO Props (Code, Qty) VALUES ('a', 1);\n"
          "CREATE INDEX Down ON Props (Qty DESC, Code) WITH PRIMARY;\n"
          "CREATE UNIQUE INDEX U ON Every (X) WITH IGNORE NULL;\n"
          "CREATE INDEX R ON Every (B DESC) WITH DISALLOW NULL;\n"
          "CREATE INDEX Plain ON Every (S, D);\n"
          "CREATE TABLE Kid (P LONG CONSTRAINT KidOf REFERENCES Every ON DELETE CASCADE);\n"
          "INSERT INTO Kid VALUES (1);\n");
  Ok({"--app", Db("odd.mdb"), "script", dir_.Native("odd.sql")});
  Ok({"--app", Db("odd.mdb"), "link", "LinkHikitugi", Db("source.mdb"), "Cri"});
  std::string dump = RoundTrip(Db("odd.mdb"));
  EXPECT_NE(dump.find("KRDB LINK [LinkHikitugi] TO [Cri] IN '" + Db("source.mdb") + "';"),
            std::string::npos)
      << dump;
  EXPECT_NE(dump.find("ALTER TABLE [Kid] ADD CONSTRAINT [KidOf] FOREIGN KEY ([P]) REFERENCES "
                      "[Every] ([ID]) ON DELETE CASCADE;"),
            std::string::npos);
  EXPECT_EQ(dump.find(kr::db::DatabasePassword()), std::string::npos);
  EXPECT_NE(dump.find("-- Rebuild: krdb --app NEW.mdb create"), std::string::npos);
}

}  // namespace
}  // namespace kr::krdb::test
