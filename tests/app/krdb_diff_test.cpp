// krdb diff (its report, exit statuses, and Jet SQL that makes the first database the second)
// and krdb dump (every database, made again from its dump, holds the same schema and rows).
#include <filesystem>

#include "db/passwords.h"
#include "demo/fixture_generator.h"
#include "tests/app/krdb_fixture.h"
#include "tests/testing/databases.h"

namespace kr::krdb::test {
namespace {

namespace fs = std::filesystem;

class KrdbDiffTest : public KrdbTest {
 protected:
  ProcessResult Diff(const std::string& a, const std::string& b,
                     std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"--app", a, "diff", b};
    args.insert(args.end(), more.begin(), more.end());
    return Krdb(args);
  }
  // a's copy, changed by the script a into b diff gives, equals b.
  void RoundTrip(const std::string& a, const std::string& b) {
    SCOPED_TRACE(a + " -> " + b);
    ProcessResult sql = Diff(a, b, {"--format", "sql"});
    ASSERT_EQ(sql.exit_code, Diff(a, b).exit_code) << sql.err;
    std::string copy = Db("copy.mdb");
    fs::copy_file(a, copy, fs::copy_options::overwrite_existing);
    dir_.Write("diff.sql", sql.out);
    ProcessResult applied = Krdb({"--app", copy, "script", dir_.Native("diff.sql")});
    ASSERT_EQ(applied.exit_code, 0) << applied.err << "\n" << sql.out.substr(0, 3000);
    ProcessResult again = Diff(copy, b);
    EXPECT_EQ(again.exit_code, 0) << again.out.substr(0, 3000);
  }
};

TEST_F(KrdbDiffTest, ReportsRowsFieldsAndIndexesWithTheExitStatusOfDiff) {
  Ok({"--app", Db("a.mdb"), "create"});
  Ok({"--app", Db("a.mdb"), "exec",
      "CREATE TABLE P (Code TEXT(10) NOT NULL, Price DOUBLE, CONSTRAINT PrimaryKey PRIMARY KEY "
      "(Code))",
      "INSERT INTO P VALUES ('A', 1.5)", "INSERT INTO P VALUES ('B', 2)",
      "CREATE TABLE Loose (X LONG)", "INSERT INTO Loose VALUES (1)",
      "INSERT INTO Loose VALUES (1)"});
  fs::copy_file(Db("a.mdb"), Db("b.mdb"));
  std::string a_bytes = dir_.Read("a.mdb");
  ProcessResult same = Diff(Db("a.mdb"), Db("b.mdb"));
  EXPECT_EQ(same.exit_code, 0) << same.err;
  EXPECT_NE(same.out.find("no differences"), std::string::npos);
  EXPECT_NE(Diff(Db("a.mdb"), Db("b.mdb"), {"--format", "json"}).out.find("\"equal\": true}"),
            std::string::npos);

  Ok({"--app", Db("b.mdb"), "exec", "UPDATE P SET Price=9 WHERE Code='B'",
      "DELETE FROM P WHERE Code='A'", "INSERT INTO P VALUES ('C', 3)",
      "DELETE FROM Loose WHERE X=1", "INSERT INTO Loose VALUES (1)",
      "CREATE INDEX ByPrice ON P (Price)", "CREATE TABLE Extra (Y TEXT(2))"});
  ProcessResult text = Diff(Db("a.mdb"), Db("b.mdb"));
  EXPECT_EQ(text.exit_code, 1) << text.err;
  for (const char* line :
       {"table P: 1 removed, 1 added, 1 changed\n", "  + index ByPrice\n",
        "  - Code='A', Price=1.5\n", "  + Code='C', Price=3\n", "  ~ Code='B', *Price=9 (was 2)\n",
        "table Loose: 1 removed, 0 added, 0 changed (no shared primary key",
        "table Extra: only in the second (0 rows)\n"})
    EXPECT_NE(text.out.find(line), std::string::npos) << line << "\n" << text.out;
  ProcessResult one = Diff(Db("a.mdb"), Db("b.mdb"), {"--table", "loose"});
  EXPECT_EQ(one.exit_code, 1);
  EXPECT_EQ(one.out.find("table P"), std::string::npos) << one.out;
  // A table only one of them has is a difference even when nothing else differs.
  EXPECT_EQ(Diff(Db("a.mdb"), Db("b.mdb"), {"--table", "Extra"}).exit_code, 1);
  EXPECT_EQ(Diff(Db("b.mdb"), Db("a.mdb"), {"--table", "Extra"}).exit_code, 1);
  ProcessResult json = Diff(Db("a.mdb"), Db("b.mdb"), {"--format", "json", "--table", "P"});
  EXPECT_NE(json.out.find("\"changed\": [{\"Code\": \"B\", \"Price\": 9, \"changed\": "
                          "{\"Price\": [2, 9]}}]"),
            std::string::npos)
      << json.out;

  // Trouble is status 2, as diff's: a missing file, a wrong password, a table neither has.
  EXPECT_EQ(Diff(Db("a.mdb"), Db("missing.mdb")).exit_code, 2);
  EXPECT_EQ(Krdb({"--password", "x", Db("a.mdb"), "diff", Db("b.mdb")}).exit_code, 2);
  ProcessResult unknown = Diff(Db("a.mdb"), Db("b.mdb"), {"--table", "Nope"});
  EXPECT_EQ(unknown.exit_code, 2);
  EXPECT_EQ(unknown.err.rfind("error 3078: ", 0), 0u) << unknown.err;
  // Both files are only read, even where the user may not write them.
  fs::permissions(Db("a.mdb"), fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_EQ(Diff(Db("a.mdb"), Db("b.mdb")).exit_code, 1);
  EXPECT_EQ(dir_.Read("a.mdb"), a_bytes);
  fs::permissions(Db("a.mdb"), fs::perms::owner_write, fs::perm_options::add);
  RoundTrip(Db("a.mdb"), Db("b.mdb"));
  RoundTrip(Db("b.mdb"), Db("a.mdb"));
}

TEST_F(KrdbDiffTest, GeneratedInstallationsAndReleasesRoundTrip) {
  std::string install = dir_.Native("generated/App");
  kr::fixtures::MakeInstallation(
      install, {.years = {{.name = "2019年度", .val_version = "2019,1,1"}}, .rows_per_table = 6});
  for (const char* database : {"KrVal", "KrCri", "KrExp"}) {
    std::string source = dir_.Native(std::string("generated/") + database + "Src.mdb");
    kr::fixtures::MakeSourceDatabase(
        source, {.database = database, .version = "2019,1,2", .rows_per_table = 6, .new_rows = 3});
    std::string installed = install + "/File/2019年度/" + database + ".mdb";
    RoundTrip(installed, source);
    RoundTrip(source, installed);
  }
  // Values only KRDB INSERT writes, and copies in a table without a key.
  Ok({"--app", Db("odd.mdb"), "create"});
  Ok({"--app", Db("odd.mdb"), "exec",
      "CREATE TABLE Odd (ID LONG, C CURRENCY, S SINGLE, M MEMO, B LONGBINARY, "
      "CONSTRAINT PK PRIMARY KEY (ID))",
      "INSERT INTO Odd (ID, C, S, M) VALUES (1, 12.3456, 0.1, 'x')",
      "INSERT INTO Odd (ID, S) VALUES (2, 1.1)", "CREATE TABLE Copies (S SINGLE, T TEXT(5))",
      "INSERT INTO Copies VALUES (0.1, 'a')", "INSERT INTO Copies VALUES (0.1, 'a')",
      "INSERT INTO Copies VALUES (2, Null)"});
  fs::copy_file(Db("odd.mdb"), Db("odd2.mdb"));
  dir_.Write("odd.sql",
             "KRDB INSERT INTO Odd (ID, C, B) VALUES (3, CCur('-123456789012.3456'), 0x00FF);\n"
             "UPDATE Odd SET S=2.5, M='y' WHERE ID=1;\nDELETE FROM Copies WHERE T IS NULL;\n"
             "INSERT INTO Copies VALUES (0.1, 'a');\n");
  Ok({"--app", Db("odd2.mdb"), "script", dir_.Native("odd.sql")});
  RoundTrip(Db("odd.mdb"), Db("odd2.mdb"));
  RoundTrip(Db("odd2.mdb"), Db("odd.mdb"));
}

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
