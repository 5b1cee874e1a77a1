// Table definitions, fields and attached tables through the object model.
#include <filesystem>

#include "tests/db/engine/engine_fixture.h"

namespace kr::db::engine::test {
namespace {

using V = std::vector<std::string>;

class ObjectModelTest : public EngineTest {
 protected:
  void SetUp() override {
    Database source = Create("ソース 1.mdb", "pw");
    source.Execute(
        "CREATE TABLE Cri (Code TEXT(20), cName TEXT(40), Price1 SINGLE, CONSTRAINT PrimaryKey "
        "PRIMARY KEY (Code))");
    source.Execute("INSERT INTO Cri VALUES ('1001', '新', 0.1)");
    source.Execute("INSERT INTO Cri VALUES ('1002', '追加', 0.2)");
    source.Close();
    target_ = Create("target.mdb", "pw");
    target_.Execute(
        "CREATE TABLE Cri (Code TEXT(20), cName TEXT(40), Price1 DOUBLE, CONSTRAINT PrimaryKey "
        "PRIMARY KEY (Code))");
    target_.Execute("INSERT INTO Cri VALUES ('1001', '旧', 5)");
    target_.Execute("INSERT INTO Cri VALUES ('0999', '残る', 9)");
  }

  void Link(Database& db, const std::string& name, const std::string& password = "pw") {
    TableDef link = db.CreateTableDef(name);
    link.SetConnect(";DataBase=" + Path("ソース 1.mdb") + ";PWD=" + password + ";");
    link.SetSourceTableName("Cri");
    db.TableDefs().Append(link);
  }

  Database target_;
};

TEST_F(ObjectModelTest, TableDefsListTablesLinksAndSystemTablesByName) {
  Link(target_, "LinkHikitugi");
  TableDefCollection defs = target_.TableDefs();
  defs.Refresh();
  std::vector<std::string> names;
  for (TableDef t : defs) names.push_back(t.Name());
  EXPECT_EQ(names, V({"Cri", "LinkHikitugi", "MSysKrFields", "MSysKrIndexes", "MSysKrInfo",
                      "MSysKrTables"}));
  EXPECT_EQ(defs.Count(), 6);
  EXPECT_EQ(defs[1].Connect(), ";DataBase=" + Path("ソース 1.mdb") + ";PWD=pw;");
  EXPECT_EQ(defs["linkhikitugi"].SourceTableName(), "Cri");
  EXPECT_EQ(defs["LinkHikitugi"].Attributes() & kAttachedTable, kAttachedTable);
  EXPECT_EQ(defs["MSysKrInfo"].Attributes() & kSystemObject, kSystemObject);
  EXPECT_EQ(ErrorOf([&] { defs["Nowhere"]; }), 3265);
  EXPECT_EQ(ErrorOf([&] { defs[6]; }), 3265);
}

TEST_F(ObjectModelTest, LinkedTableWorksForReadingAndWritingTheSource) {
  Link(target_, "LinkHikitugi");
  target_.Execute(
      "UPDATE Cri INNER JOIN LinkHikitugi ON Cri.Code=LinkHikitugi.Code SET "
      "Cri.[cName]=LinkHikitugi.[cName]");
  target_.Execute(
      "INSERT INTO [Cri] ([Code],[cName],[Price1]) SELECT LinkHikitugi.[Code], "
      "LinkHikitugi.[cName], CCur(LinkHikitugi.[Price1]) FROM [LinkHikitugi]");
  EXPECT_EQ(Rows(target_, "SELECT Code, cName, Price1 FROM Cri ORDER BY Code"),
            V({"0999|残る|9", "1001|新|5", "1002|追加|0.2"}));
  target_.Execute("UPDATE LinkHikitugi SET cName='changed' WHERE Code='1002'");
  target_.Execute("DROP Table LinkHikitugi;");
  Database source = OpenDatabase(Path("ソース 1.mdb"), false, false, ";PWD=pw;");
  EXPECT_EQ(Rows(source, "SELECT cName FROM Cri WHERE Code='1002'"), V({"changed"}));
}

TEST_F(ObjectModelTest, LinkSurvivesCloseAndReopenAndDropRemovesOnlyTheLink) {
  Link(target_, "ごみ");
  target_.Close();
  Database again = OpenDatabase(Path("target.mdb"), false, false, ";PWD=pw;");
  EXPECT_EQ(again.TableDefs()["ごみ"].SourceTableName(), "Cri");
  EXPECT_EQ(Rows(again, "SELECT Count(*) FROM ごみ"), V({"2"}));
  Recordset rs = again.OpenRecordset("ごみ");
  EXPECT_EQ(rs.Type(), kOpenDynaset);
  EXPECT_EQ(rs["Price1"].Type(), kSingle);
  rs.Close();
  again.Execute("DROP Table ごみ;");
  EXPECT_EQ(ErrorOf([&] { again.TableDefs()["ごみ"]; }), 3265);
  again.Close();
  Database source = OpenDatabase(Path("ソース 1.mdb"), false, false, ";PWD=pw;");
  EXPECT_EQ(Rows(source, "SELECT Count(*) FROM Cri"), V({"2"}));
  Database target = OpenDatabase(Path("target.mdb"), false, false, ";PWD=pw;");
  EXPECT_EQ(ErrorOf([&] { target.TableDefs()["ごみ"]; }), 3265);
}

TEST_F(ObjectModelTest, LinkWhoseSourceIsGoneOrWronglyKeyedFailsWhenUsed) {
  Link(target_, "Gone");
  Link(target_, "BadKey", "wrong");
  std::filesystem::rename(Path("ソース 1.mdb"), Path("moved.mdb"));
  EXPECT_EQ(target_.TableDefs()["Gone"].SourceTableName(), "Cri");  // listing still works
  EXPECT_EQ(ErrorOf([&] { target_.OpenRecordset("SELECT * FROM Gone"); }), 3024);
  EXPECT_EQ(ErrorOf([&] { target_.Execute("DELETE FROM Gone"); }), 3024);
  std::filesystem::rename(Path("moved.mdb"), Path("ソース 1.mdb"));
  EXPECT_EQ(ErrorOf([&] { target_.OpenRecordset("SELECT * FROM BadKey"); }), 3031);
  EXPECT_EQ(Rows(target_, "SELECT Count(*) FROM Gone"), V({"2"}));
}

TEST_F(ObjectModelTest, ManyLinksToManySourcesAllWork) {
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

TEST_F(ObjectModelTest, CreateTableDefWithFieldsMakesATableWithThoseProperties) {
  TableDef t = target_.CreateTableDef("Version");
  Field ver = t.CreateField("Ver", kText, 30);
  ver.SetAllowZeroLength(true);
  ver.SetDefaultValue("\"2009,1,1\"");
  t.Fields().Append(ver);
  Field comment = t.CreateField("Comment", kMemo);
  t.Fields().Append(comment);
  Field n = t.CreateField("N", kInteger);
  n.SetRequired(true);
  n.SetValidationRule(">0");
  t.Fields().Append(n);
  EXPECT_EQ(ErrorOf([&] { t.Fields().Append(t.CreateField("ver", kLong)); }), 3191);
  target_.TableDefs().Append(t);
  EXPECT_EQ(ErrorOf([&] { target_.TableDefs().Append(t); }), 3367);
  TableDef stored = target_.TableDefs()["VERSION"];
  EXPECT_EQ(stored.Fields()["ver"].Size(), 30);
  EXPECT_TRUE(stored.Fields()["Ver"].AllowZeroLength());
  EXPECT_EQ(stored.Fields()["Ver"].DefaultValue(), "\"2009,1,1\"");
  EXPECT_FALSE(stored.Fields()["Comment"].AllowZeroLength());
  EXPECT_EQ(stored.Fields()["Comment"].Type(), kMemo);
  EXPECT_TRUE(stored.Fields()["N"].Required());
  EXPECT_EQ(stored.Fields()["N"].ValidationRule(), ">0");
  EXPECT_EQ(stored.Fields()["N"].Size(), 2);
  EXPECT_EQ(ErrorOf([&] { stored.Fields()["N"].SetSize(4); }), 3219);
  target_.Execute("INSERT INTO Version (N) VALUES (1)");
  target_.Execute("INSERT INTO Version (N) VALUES (-1)");  // breaks the rule: skipped
  EXPECT_EQ(Rows(target_, "SELECT Ver, N FROM Version"), V({"2009,1,1|1"}));
  // A field appended to a table already in the database adds the column.
  Field added = stored.CreateField("Extra", kDouble);
  stored.Fields().Append(added);
  EXPECT_EQ(target_.TableDefs()["Version"].Fields().Count(), 4);
  EXPECT_EQ(Rows(target_, "SELECT Extra FROM Version"), V({"Null"}));
  EXPECT_EQ(stored.RecordCount(), 1);
}

TEST_F(ObjectModelTest, FieldWithDefaultAddedToATableWithRowsLeavesThoseRowsNull) {
  TableDef cri = target_.TableDefs()["Cri"];
  Field rate = cri.CreateField("Rate", kLong);
  rate.SetDefaultValue("5");
  cri.Fields().Append(rate);
  Field note = cri.CreateField("Note", kText, 10);
  note.SetDefaultValue("\"なし\"");
  cri.Fields().Append(note);
  Field stamp = cri.CreateField("Stamp", kDate);
  stamp.SetDefaultValue("Now()");
  cri.Fields().Append(stamp);
  Field level = cri.CreateField("Level", kInteger);
  level.SetDefaultValue("3");
  level.SetRequired(true);  // a required field cannot stay Null: it takes the default
  cri.Fields().Append(level);
  target_.Execute("INSERT INTO Cri (Code) VALUES ('2000')");
  EXPECT_EQ(Rows(target_, "SELECT Code, Rate, Note, Stamp Is Null, Level FROM Cri ORDER BY Code"),
            V({"0999|Null|Null|True|3", "1001|Null|Null|True|3", "2000|5|なし|False|3"}));
  target_.Close();
  Database again = OpenDatabase(Path("target.mdb"), false, false, ";PWD=pw;");
  again.Execute("INSERT INTO Cri (Code) VALUES ('3000')");
  EXPECT_EQ(Rows(again, "SELECT Code, Rate, Stamp Is Null FROM Cri WHERE Code >= '2000'"),
            V({"2000|5|False", "3000|5|False"}));
  EXPECT_EQ(again.TableDefs()["Cri"].Fields()["Stamp"].DefaultValue(), "Now()");
  EXPECT_EQ(Rows(again, "SELECT Count(*) FROM Cri WHERE Rate Is Null"), V({"2"}));
}

TEST_F(ObjectModelTest, AppendRefusesNamesInUseAndTablesWithoutFields) {
  TableDef dup = target_.CreateTableDef("cri");
  dup.Fields().Append(dup.CreateField("A", kLong));
  EXPECT_EQ(ErrorOf([&] { target_.TableDefs().Append(dup); }), 3010);
  TableDef empty = target_.CreateTableDef("Empty");
  EXPECT_EQ(ErrorOf([&] { target_.TableDefs().Append(empty); }), 3264);
  target_.TableDefs().Delete("Cri");
  EXPECT_EQ(ErrorOf([&] { target_.TableDefs().Delete("Cri"); }), 3265);
}

}  // namespace
}  // namespace kr::db::engine::test
