// The statement sequences of the toolkit's row transfer and table copy, run on real files:
// attach the source, count, delete by key, insert, drop the link, again and again.
#include "tests/db/engine/engine_fixture.h"

namespace kr::db::engine::test {
namespace {

using V = std::vector<std::string>;

class TransferFlowTest : public EngineTest {
 protected:
  void SetUp() override {
    source_ = Create("KrSource 2019.mdb", "pw");
    source_.Execute(
        "CREATE TABLE Val120 (Code TEXT(20), Sub LONG, Name TEXT(20), Price1 SINGLE, "
        "CONSTRAINT PrimaryKey PRIMARY KEY (Code, Sub))");
    for (const char* row : {"('100', 1, 'new a', 0.1)", "('100', 2, 'new b', 0.2)",
                            "('1234567890123456789', 1, 'long', 0.3)", "('300', 1, 'add', 0.4)"})
      source_.Execute(std::string("INSERT INTO Val120 VALUES ") + row);
    target_ = Create("KrVal.mdb", "pw");
    target_.Execute(
        "CREATE TABLE Val120 (Code TEXT(20), Sub LONG, Name TEXT(20), Price1 DOUBLE, UserCode "
        "TEXT(10), CONSTRAINT PrimaryKey PRIMARY KEY (Code, Sub))");
    for (const char* row : {"('100', 1, 'old a', 9, 'u1')", "('100', 3, 'old c', 9, 'u3')",
                            "('200', 1, 'keep', 9, 'u2')"})
      target_.Execute(std::string("INSERT INTO Val120 VALUES ") + row);
  }

  void Attach(const std::string& name) {
    if (HasLink(name)) target_.Execute("DROP Table " + name + ";");
    TableDef link = target_.CreateTableDef(name);
    link.SetConnect(";DataBase=" + source_.Name() + ";PWD=pw;");
    link.SetSourceTableName("Val120");
    target_.TableDefs().Append(link);
  }

  bool HasLink(const std::string& name) {
    TableDefCollection defs = target_.TableDefs();
    defs.Refresh();
    for (TableDef t : defs)
      if (t.Name() == name) return true;
    return false;
  }

  int64_t Count(const std::string& sql) {
    Recordset rs = target_.OpenRecordset(sql);
    int64_t n = 0;
    if (!rs.Eof()) {
      rs.MoveLast();
      n = rs.RecordCount();
    }
    rs.Close();
    return n;
  }

  Database source_, target_;
};

TEST_F(TransferFlowTest, KeyedTransferWithTwoKeysReplacesMatchingRowsAndAddsNewOnes) {
  Attach("LinkHikitugi");
  EXPECT_EQ(Count("SELECT * FROM LinkHikitugi ;"), 4);
  target_.Execute(
      "DELETE [Val120].* FROM [Val120] INNER JOIN [LinkHikitugi] ON "
      "([Val120].[Code]=[LinkHikitugi].[Code]) AND ([Val120].[Sub]=[LinkHikitugi].[Sub]) ;");
  EXPECT_EQ(target_.RecordsAffected(), 1);
  target_.Execute(
      "INSERT INTO [Val120] ([Code],[Sub],[Name],[Price1]) SELECT "
      "LinkHikitugi.[Code],LinkHikitugi.[Sub],LinkHikitugi.[Name],CCur(LinkHikitugi.[Price1]) "
      "FROM [LinkHikitugi] ;");
  target_.Execute("DROP Table LinkHikitugi;");
  EXPECT_EQ(
      Rows(target_, "SELECT Code, Sub, Name, Price1, UserCode FROM Val120 ORDER BY Code, Sub"),
      V({"100|1|new a|0.1|Null", "100|2|new b|0.2|Null", "100|3|old c|9|u3",
         "1234567890123456789|1|long|0.3|Null", "200|1|keep|9|u2", "300|1|add|0.4|Null"}));
  EXPECT_FALSE(HasLink("LinkHikitugi"));
}

TEST_F(TransferFlowTest, WhereTextLimitsCountDeleteAndInsertToTheSelectedRows) {
  Attach("LinkHikitugi");
  const std::string where = "WHERE LEN(Code)>=18";
  EXPECT_EQ(Count("SELECT * FROM LinkHikitugi " + where + ";"), 1);
  target_.Execute(
      "DELETE [Val120].* FROM [Val120] INNER JOIN [LinkHikitugi] ON "
      "([Val120].[Code]=[LinkHikitugi].[Code]) WHERE LEN(LinkHikitugi.Code)>=18;");
  EXPECT_EQ(target_.RecordsAffected(), 0);
  target_.Execute("INSERT INTO [Val120] SELECT * FROM [LinkHikitugi] " + where + ";");
  EXPECT_EQ(Rows(target_, "SELECT Code FROM Val120 ORDER BY Code"),
            V({"100", "100", "1234567890123456789", "200"}));
  // A condition on the target's own columns takes the general path.
  target_.Execute(
      "DELETE [Val120].* FROM [Val120] INNER JOIN [LinkHikitugi] ON "
      "([Val120].[Code]=[LinkHikitugi].[Code]) WHERE UserCode='u3';");
  EXPECT_EQ(Rows(target_, "SELECT Sub FROM Val120 WHERE Code='100'"), V({"1"}));
}

TEST_F(TransferFlowTest, UnkeyedCopyReplacesTheSliceThroughGomi) {
  Attach("ごみ");
  target_.Execute("DELETE * FROM Val120 WHERE Code='100';");
  target_.Execute(
      "INSERT INTO Val120 (Code, Sub, Name) SELECT Code, Sub, Name FROM ごみ WHERE Code='100';");
  target_.Execute("DROP Table ごみ;");
  EXPECT_EQ(Rows(target_, "SELECT Name FROM Val120 WHERE Code='100' ORDER BY Sub"),
            V({"new a", "new b"}));
}

TEST_F(TransferFlowTest, RepeatedTransfersOnOneOpenPairLeaveNoLinkBehind) {
  for (int round = 0; round < 5; ++round) {
    Attach("LinkHikitugi");
    target_.Execute(
        "DELETE [Val120].* FROM [Val120] INNER JOIN [LinkHikitugi] ON "
        "([Val120].[Code]=[LinkHikitugi].[Code]) AND ([Val120].[Sub]=[LinkHikitugi].[Sub]);");
    target_.Execute(
        "INSERT INTO [Val120] (Code, Sub, Name) SELECT Code, Sub, Name FROM [LinkHikitugi];");
    target_.Execute("DROP Table LinkHikitugi;");
  }
  EXPECT_EQ(Scalar(target_, "SELECT Count(*) FROM Val120").ToLong(), 6);
  // A link appended and never dropped stays when the database closes without further change.
  Attach("LinkHikitugi");
  target_.Close();
  Database again = OpenDatabase(Path("KrVal.mdb"), false, false, ";PWD=pw;");
  EXPECT_EQ(again.TableDefs()["LinkHikitugi"].SourceTableName(), "Val120");
  EXPECT_EQ(Scalar(again, "SELECT Count(*) FROM LinkHikitugi").ToLong(), 4);
}

TEST_F(TransferFlowTest, TablesChangedByAnotherHandleAreSeenAfterRefresh) {
  Database second = OpenDatabase(Path("KrVal.mdb"), false, false, ";PWD=pw;");
  second.Execute("CREATE TABLE Extra (A LONG)");
  second.Execute("INSERT INTO Extra VALUES (7)");
  TableDefCollection defs = target_.TableDefs();
  defs.Refresh();
  EXPECT_EQ(defs["Extra"].Fields().Count(), 1);
  EXPECT_EQ(Scalar(target_, "SELECT A FROM Extra").ToLong(), 7);
}

TEST_F(TransferFlowTest, ReadOnlyOpenRefusesChanges) {
  target_.Close();
  Database ro = OpenDatabase(Path("KrVal.mdb"), false, true, ";PWD=pw;");
  EXPECT_EQ(ErrorOf([&] { ro.Execute("DELETE FROM Val120"); }), 3027);
  Recordset rs = ro.OpenRecordset("Val120");
  EXPECT_EQ(ErrorOf([&] { rs.Edit(); }), 3027);
  EXPECT_EQ(Scalar(ro, "SELECT Count(*) FROM Val120").ToLong(), 3);
}

TEST_F(TransferFlowTest, FieldsReportWhereTheirValuesComeFrom) {
  Attach("LinkHikitugi");
  Recordset rs = target_.OpenRecordset(
      "SELECT V.Code, L.Name, V.Sub+1 AS Next FROM Val120 AS V INNER JOIN LinkHikitugi AS L ON "
      "V.Code=L.Code AND V.Sub=L.Sub");
  EXPECT_EQ(rs[0].SourceTable(), "Val120");
  EXPECT_EQ(rs[0].SourceField(), "Code");
  EXPECT_EQ(rs[1].SourceTable(), "LinkHikitugi");
  EXPECT_EQ(rs[2].SourceTable(), "");
  EXPECT_EQ(rs["Next"].GetValue().ToLong(), 2);
  EXPECT_EQ(rs.Type(), kOpenDynaset);
  EXPECT_EQ(ErrorOf([&] { rs.FindFirst("Code='100'"); }), 3251);
}

}  // namespace
}  // namespace kr::db::engine::test
