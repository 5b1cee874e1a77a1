// krdb end to end: the built program on real files (scripts, listings, passwords, errors, files
// Access wrote), and its CSV and JSON output read back with Python's csv and json modules.
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

}  // namespace
}  // namespace kr::krdb::test
