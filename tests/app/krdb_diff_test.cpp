// krdb diff: what it reports, its exit statuses, and its Jet SQL, which applied to a copy of the
// first database leaves nothing to report against the second, on every fixture and on generated
// databases.
#include <filesystem>
#include <map>

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
    ++round_trips_;
  }
  std::string Empty() {
    if (!dir_.Exists("empty.mdb")) Ok({"--app", Db("empty.mdb"), "create"});
    return Db("empty.mdb");
  }

  int round_trips_ = 0;
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

TEST_F(KrdbDiffTest, EveryFixtureRoundTripsThroughItsScript) {
  std::map<std::string, std::vector<std::string>> by_schema;
  for (const kr::testing::FixtureDatabase& fixture : kr::testing::FixtureLayout()) {
    std::string path = dir_.Native("fixtures/" + fixture.folder + "/" + fixture.path);
    kr::testing::MakeDatabase(path, fixture.scripts);
    RoundTrip(Empty(), path);
    RoundTrip(path, Empty());
    by_schema[fixture.scripts.front()].push_back(path);
  }
  // Databases of one layout in different years and releases: rows and values differ.
  for (const auto& [schema, paths] : by_schema) {
    for (size_t i = 1; i < paths.size(); ++i) {
      RoundTrip(paths[0], paths[i]);
      RoundTrip(paths[i], paths[0]);
    }
  }
  EXPECT_GE(round_trips_, 30);
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

}  // namespace
}  // namespace kr::krdb::test
