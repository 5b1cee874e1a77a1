// krdb's CSV and JSON output, read back with Python's csv and json modules.
#include "tests/app/krdb_fixture.h"

namespace kr::krdb::test {
namespace {

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
