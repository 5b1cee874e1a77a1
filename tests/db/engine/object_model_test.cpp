// Table definitions and fields through the object model, and attached tables on real files.
// The toolkit's transfer sequences over links (attach, delete by key, insert, drop the link) run
// end to end in tests/db/table_copy_test.cpp.
#include <filesystem>

#include "tests/db/engine/engine_fixture.h"

namespace kr::db::engine::test {
namespace {

class ObjectModelTest : public EngineTest {
 protected:
  void SetUp() override {
    target_ = Create("target.mdb", "pw");
    Run(target_,
        {"CREATE TABLE Cri (Code TEXT(20), cName TEXT(40), Price1 DOUBLE, CONSTRAINT PrimaryKey "
         "PRIMARY KEY (Code))",
         "INSERT INTO Cri VALUES ('1001', '旧', 5)", "INSERT INTO Cri VALUES ('0999', '残る', 9)"});
  }
  Database target_;
};

TEST_F(ObjectModelTest, CreateTableDefMakesATableWithThosePropertiesAndRefusesNamesInUse) {
  TableDef t = target_.CreateTableDef("Version");
  Field ver = t.CreateField("Ver", kText, 30);
  ver.SetAllowZeroLength(true);
  ver.SetDefaultValue("\"2009,1,1\"");
  t.Fields().Append(ver);
  Field n = t.CreateField("N", kInteger);
  n.SetRequired(true);
  n.SetValidationRule(">0");
  t.Fields().Append(n);
  EXPECT_EQ(ErrorOf([&] { t.Fields().Append(t.CreateField("ver", kLong)); }), 3191);
  target_.TableDefs().Append(t);
  EXPECT_EQ(ErrorOf([&] { target_.TableDefs().Append(t); }), 3367);
  TableDef dup = target_.CreateTableDef("cri");
  dup.Fields().Append(dup.CreateField("A", kLong));
  EXPECT_EQ(ErrorOf([&] { target_.TableDefs().Append(dup); }), 3010);
  EXPECT_EQ(ErrorOf([&] { target_.TableDefs().Append(target_.CreateTableDef("Empty")); }), 3264);
  TableDef stored = target_.TableDefs()["VERSION"];
  EXPECT_EQ(stored.Fields()["ver"].Size(), 30);
  EXPECT_TRUE(stored.Fields()["Ver"].AllowZeroLength());
  EXPECT_EQ(stored.Fields()["Ver"].DefaultValue(), "\"2009,1,1\"");
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
  EXPECT_EQ(target_.TableDefs()["Version"].Fields().Count(), 3);
  EXPECT_EQ(Rows(target_, "SELECT Extra FROM Version"), V({"Null"}));
  EXPECT_EQ(stored.RecordCount(), 1);
}

TEST_F(ObjectModelTest, ValidationRulesLeaveTheFieldOutOfTheirComparisons) {
  struct Case {
    const char* rule;
    int type;
    std::vector<const char*> values;  // Jet literals; those the rule refuses are skipped
    V kept;
  };
  const Case cases[] = {
      {">0", kLong, {"1", "0", "-3", "Null"}, {"Null", "1"}},
      {"Between 1 And 5", kLong, {"0", "1", "5", "6"}, {"1", "5"}},
      {"Is Null Or >0", kLong, {"Null", "2", "-2"}, {"Null", "2"}},
      {">0 And <10 Or =100", kLong, {"5", "10", "100", "0"}, {"5", "100"}},
      {"Not Between 1 And 5", kLong, {"0", "3", "9"}, {"0", "9"}},
      {"In ('a','b')", kText, {"'a'", "'c'", "'B'"}, {"a", "B"}},
      {"Like 'A*'", kText, {"'Apple'", "'pear'", "'avocado'"}, {"Apple", "avocado"}},
      {"Not Like 'A*'", kText, {"'Apple'", "'pear'"}, {"pear"}},
      {"[R] <> 'x'", kText, {"'x'", "'y'"}, {"y"}},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    const std::string table = "Ruled" + std::to_string(++n);
    TableDef t = target_.CreateTableDef(table);
    Field field = t.CreateField("R", c.type);
    field.SetValidationRule(c.rule);
    t.Fields().Append(field);
    target_.TableDefs().Append(t);
    for (const char* value : c.values)
      target_.Execute("INSERT INTO " + table + " (R) VALUES (" + value + ")");
    EXPECT_EQ(Rows(target_, "SELECT R FROM " + table + " ORDER BY R"), c.kept);
  }
}

TEST_F(ObjectModelTest, FieldWithDefaultAddedToATableWithRowsLeavesThoseRowsNull) {
  TableDef cri = target_.TableDefs()["Cri"];
  Field rate = cri.CreateField("Rate", kLong);
  rate.SetDefaultValue("5");
  cri.Fields().Append(rate);
  Field stamp = cri.CreateField("Stamp", kDate);
  stamp.SetDefaultValue("Now()");
  cri.Fields().Append(stamp);
  Field level = cri.CreateField("Level", kInteger);
  level.SetDefaultValue("3");
  level.SetRequired(true);  // a required field cannot stay Null: it takes the default
  cri.Fields().Append(level);
  target_.Execute("INSERT INTO Cri (Code) VALUES ('2000')");
  EXPECT_EQ(Rows(target_, "SELECT Code, Rate, Stamp Is Null, Level FROM Cri ORDER BY Code"),
            V({"0999|Null|True|3", "1001|Null|True|3", "2000|5|False|3"}));
  target_.Close();
  Database again = OpenDatabase(Path("target.mdb"), false, false, ";PWD=pw;");
  again.Execute("INSERT INTO Cri (Code) VALUES ('3000')");
  EXPECT_EQ(Rows(again, "SELECT Code, Rate, Stamp Is Null FROM Cri WHERE Code >= '2000'"),
            V({"2000|5|False", "3000|5|False"}));
}

TEST_F(ObjectModelTest, AReopenedFileListsEachTableOnceWithItsFieldsAndTheSystemTablesAfter) {
  // Enough tables that the list grows while the system tables are added to it.
  for (const char* name : {"Alpha", "Beta", "Gamma", "Delta", "Epsilon"}) {
    target_.Execute(std::string("CREATE TABLE ") + name + " (Code TEXT(10), N LONG)");
  }
  target_.Close();
  Database reopened = OpenDatabase(Path("target.mdb"), false, false, ";PWD=pw;");
  std::vector<std::string> names;
  for (TableDef t : reopened.TableDefs()) {
    names.push_back(t.Name());
    EXPECT_GT(t.Fields().Count(), 0) << t.Name();
  }
  EXPECT_EQ(names, V({"Alpha", "Beta", "Cri", "Delta", "Epsilon", "Gamma", "MSysKrFields",
                      "MSysKrIndexes", "MSysKrInfo", "MSysKrTables"}));
  EXPECT_EQ(reopened.TableDefs()["Cri"].Fields().Count(), 3);
  EXPECT_EQ(reopened.TableDefs()["MSysKrTables"].Attributes() & kSystemObject, kSystemObject);
}

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
