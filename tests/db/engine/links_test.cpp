// Attached tables on real files. The toolkit's transfer sequences over them (attach, delete by
// key, insert, drop the link) are run end to end in tests/db/table_copy_test.cpp.
#include <filesystem>

#include "tests/db/engine/engine_fixture.h"

namespace kr::db::engine::test {
namespace {

class LinkTest : public EngineTest {
 protected:
  void SetUp() override {
    Database source = Create("KrSource 2019.mdb", "pw");
    source.Execute(
        "CREATE TABLE Val120 (Code TEXT(20), Sub LONG, Name TEXT(20), Price1 SINGLE, "
        "CONSTRAINT PrimaryKey PRIMARY KEY (Code, Sub))");
    for (const char* row : {"('100', 1, 'new a', 0.1)", "('100', 2, 'new b', 0.2)",
                            "('1234567890123456789', 1, 'long', 0.3)", "('300', 1, 'add', 0.4)"})
      source.Execute(std::string("INSERT INTO Val120 VALUES ") + row);
    target_ = Create("KrVal.mdb", "pw");
    target_.Execute(
        "CREATE TABLE Val120 (Code TEXT(20), Sub LONG, Name TEXT(20), Price1 DOUBLE, UserCode "
        "TEXT(10), CONSTRAINT PrimaryKey PRIMARY KEY (Code, Sub))");
    for (const char* row : {"('100', 1, 'old a', 9, 'u1')", "('100', 3, 'old c', 9, 'u3')",
                            "('200', 1, 'keep', 9, 'u2')"})
      target_.Execute(std::string("INSERT INTO Val120 VALUES ") + row);
  }

  void Attach(const std::string& name, const std::string& password = "pw") {
    TableDef link = target_.CreateTableDef(name);
    link.SetConnect(";DataBase=" + Path("KrSource 2019.mdb") + ";PWD=" + password + ";");
    link.SetSourceTableName("Val120");
    target_.TableDefs().Append(link);
  }

  Database Reopen(const std::string& name) {
    return OpenDatabase(Path(name), false, false, ";PWD=pw;");
  }

  Database target_;
};

TEST_F(LinkTest, TableDefsListTablesLinksAndSystemTablesByName) {
  Attach("LinkHikitugi");
  TableDefCollection defs = target_.TableDefs();
  std::vector<std::string> names;
  for (TableDef t : defs) names.push_back(t.Name());
  EXPECT_EQ(names, V({"LinkHikitugi", "MSysKrFields", "MSysKrIndexes", "MSysKrInfo", "MSysKrTables",
                      "Val120"}));
  EXPECT_EQ(defs[0].Connect(), ";DataBase=" + Path("KrSource 2019.mdb") + ";PWD=pw;");
  EXPECT_EQ(defs["linkhikitugi"].SourceTableName(), "Val120");
  EXPECT_EQ(defs["LinkHikitugi"].Attributes() & kAttachedTable, kAttachedTable);
  EXPECT_EQ(defs["MSysKrInfo"].Attributes() & kSystemObject, kSystemObject);
  EXPECT_EQ(ErrorOf([&] { defs["Nowhere"]; }), 3265);
  EXPECT_EQ(ErrorOf([&] { defs[6]; }), 3265);
}

TEST_F(LinkTest, LinksUpdateTheTargetAndWriteThroughToTheSource) {
  Attach("LinkHikitugi");
  target_.Execute(
      "UPDATE Val120 INNER JOIN LinkHikitugi ON Val120.Code=LinkHikitugi.Code AND "
      "Val120.Sub=LinkHikitugi.Sub SET Val120.[Name]=LinkHikitugi.[Name]");
  EXPECT_EQ(Rows(target_, "SELECT Name FROM Val120 ORDER BY Code, Sub"),
            V({"new a", "old c", "keep"}));
  Run(target_, {"UPDATE LinkHikitugi SET Name='changed' WHERE Code='300'",
                "DELETE FROM LinkHikitugi WHERE Code='100'"});
  Database source = Reopen("KrSource 2019.mdb");
  EXPECT_EQ(Rows(source, "SELECT Name FROM Val120 ORDER BY Code"), V({"long", "changed"}));
}

TEST_F(LinkTest, LinkIsKeptAcrossReopenAndDropRemovesOnlyTheLink) {
  Attach("ごみ");
  target_.Close();
  Database again = Reopen("KrVal.mdb");
  EXPECT_EQ(again.TableDefs()["ごみ"].SourceTableName(), "Val120");
  Recordset rs = again.OpenRecordset("ごみ");
  EXPECT_EQ(rs.Type(), kOpenDynaset);
  EXPECT_EQ(rs["Price1"].Type(), kSingle);
  rs.Close();
  again.Execute("DROP Table ごみ;");
  again.Close();
  EXPECT_EQ(ErrorOf([&] { Reopen("KrVal.mdb").TableDefs()["ごみ"]; }), 3265);
  Database source = Reopen("KrSource 2019.mdb");
  EXPECT_EQ(Scalar(source, "SELECT Count(*) FROM Val120").ToLong(), 4);
}

TEST_F(LinkTest, LinkWhoseSourceIsGoneOrWronglyKeyedFailsWhenUsed) {
  Attach("Gone");
  Attach("BadKey", "wrong");
  std::filesystem::rename(Path("KrSource 2019.mdb"), Path("moved.mdb"));
  EXPECT_EQ(target_.TableDefs()["Gone"].SourceTableName(), "Val120");  // listing still works
  EXPECT_EQ(ErrorOf([&] { target_.OpenRecordset("SELECT * FROM Gone"); }), 3024);
  EXPECT_EQ(ExecuteError(target_, "DELETE FROM Gone"), 3024);
  std::filesystem::rename(Path("moved.mdb"), Path("KrSource 2019.mdb"));
  EXPECT_EQ(ErrorOf([&] { target_.OpenRecordset("SELECT * FROM BadKey"); }), 3031);
  EXPECT_EQ(Rows(target_, "SELECT Count(*) FROM Gone"), V({"4"}));
}

TEST_F(LinkTest, ManyLinksToManySourcesAllWork) {
  for (int i = 0; i < 14; ++i) {
    std::string file = "s" + std::to_string(i) + ".mdb";
    Database s = Create(file);
    s.Execute("CREATE TABLE T (N LONG)");
    s.Execute("INSERT INTO T VALUES (" + std::to_string(i) + ")");
    s.Close();
    TableDef link = target_.CreateTableDef("L" + std::to_string(i));
    link.SetConnect(";DataBase=" + Path(file) + ";PWD=;");
    link.SetSourceTableName("T");
    target_.TableDefs().Append(link);
  }
  int64_t sum = 0;
  for (int round = 0; round < 2; ++round)
    for (int i = 0; i < 14; ++i)
      sum += Scalar(target_, "SELECT N FROM L" + std::to_string(i)).ToLong();
  EXPECT_EQ(sum, 2 * 91);
}

TEST_F(LinkTest, FieldsReportWhereTheirValuesComeFrom) {
  Attach("LinkHikitugi");
  Recordset rs = target_.OpenRecordset(
      "SELECT V.Code, L.Name, V.Sub+1 AS Next FROM Val120 AS V INNER JOIN LinkHikitugi AS L ON "
      "V.Code=L.Code AND V.Sub=L.Sub");
  EXPECT_EQ(rs[0].SourceTable(), "Val120");
  EXPECT_EQ(rs[0].SourceField(), "Code");
  EXPECT_EQ(rs[1].SourceTable(), "LinkHikitugi");
  EXPECT_EQ(rs[2].SourceTable(), "");
  EXPECT_EQ(rs["Next"].GetValue().ToLong(), 2);
  EXPECT_EQ(ErrorOf([&] { rs.FindFirst("Code='100'"); }), 3251);
}

}  // namespace
}  // namespace kr::db::engine::test
