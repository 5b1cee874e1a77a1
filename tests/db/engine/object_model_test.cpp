// Table definitions and fields through the object model (attached tables: links_test.cpp).
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

}  // namespace
}  // namespace kr::db::engine::test
