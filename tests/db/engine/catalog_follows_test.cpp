// After a schema change the database's own view of its tables (TableDefs, Fields, Indexes) is
// the one a reload and a fresh open of the file give.
#include "tests/db/engine/engine_fixture.h"

namespace kr::db::engine::test {
namespace {

// Every table with its fields and indexes, one text to compare whole.
std::string Describe(Database& db) {
  std::string text;
  for (TableDef table : db.TableDefs()) {
    text += table.Name() + " attributes=" + std::to_string(table.Attributes()) + "\n";
    for (Field field : table.Fields()) {
      text += "  " + field.Name() + " type=" + std::to_string(field.Type()) +
              " size=" + std::to_string(field.Size()) +
              " attributes=" + std::to_string(field.Attributes()) +
              " required=" + std::to_string(field.Required()) +
              " zero_length=" + std::to_string(field.AllowZeroLength()) +
              " default=" + field.DefaultValue() + " rule=" + field.ValidationRule() + "\n";
    }
    if (table.Attributes() != 0) continue;
    for (const IndexInfo& index : table.Indexes()) {
      text += "  index " + index.name + (index.primary ? " primary" : "") +
              (index.unique ? " unique" : "") + (index.ignore_nulls ? " ignore_nulls" : "") +
              (index.required ? " required" : "") + " (";
      for (const auto& [name, descending] : index.fields)
        text += name + (descending ? " desc" : "") + ",";
      text += ")\n";
    }
  }
  return text;
}

class CatalogFollowsTest : public EngineTest {
 protected:
  void SetUp() override {
    db_ = Create("t.mdb", "pw");
    Run(db_, {"CREATE TABLE Val101 (Code TEXT(18), Name TEXT(40) NOT NULL, ValPrice1 CURRENCY, "
              "MakeDay DATETIME, CONSTRAINT PrimaryKey PRIMARY KEY (Code))",
              "CREATE INDEX ByName ON Val101 (Name DESC, MakeDay)",
              "INSERT INTO Val101 VALUES ('A1', '砂', 1200, #2019/4/1#)",
              "INSERT INTO Val101 VALUES ('A2', '砂利', 900, Null)",
              "CREATE TABLE Book (ID COUNTER PRIMARY KEY, Title TEXT(10))"});
  }

  // The view of db_ equals what a fresh open of the file reads, and what db_ reads after a
  // refresh; returns that view.
  std::string SeenEverywhere() {
    std::string seen = Describe(db_);
    Database fresh = OpenDatabase(Path("t.mdb"), false, false, ";PWD=pw");
    EXPECT_EQ(seen, Describe(fresh));
    fresh.Close();
    db_.TableDefs().Refresh();
    EXPECT_EQ(seen, Describe(db_));
    return seen;
  }

  Database db_;
};

TEST_F(CatalogFollowsTest, TablesMadeDroppedOrDeletedAreListedOrGoneWithTheirFieldsAndKeys) {
  const int before = db_.TableDefs().Count();
  db_.Execute(
      "CREATE TABLE Val101Old (Code TEXT(18) CONSTRAINT Key PRIMARY KEY, Qty INTEGER NOT NULL, "
      "Note MEMO, UNIQUE (Qty))");
  EXPECT_EQ(db_.TableDefs().Count(), before + 1);
  TableDef old = db_.TableDefs()["val101old"];
  EXPECT_EQ(old.Name(), "Val101Old");
  EXPECT_EQ(old.Fields().Count(), 3);
  EXPECT_TRUE(old.Fields()["Qty"].Required());
  ASSERT_EQ(old.Indexes().size(), 2u);
  EXPECT_TRUE(old.Indexes()[0].primary);
  SeenEverywhere();
  db_.Execute("INSERT INTO Val101Old (Code, Qty) VALUES ('A1', 3)");
  EXPECT_EQ(Rows(db_, "SELECT Code, Qty, Note FROM Val101Old"), V({"A1|3|Null"}));
  // Dropped, the name is free again, in any case.
  db_.Execute("DROP TABLE Val101Old");
  EXPECT_EQ(db_.TableDefs().Count(), before);
  EXPECT_EQ(ErrorOf([&] { db_.TableDefs()["Val101Old"]; }), 3265);
  SeenEverywhere();
  db_.Execute("CREATE TABLE VAL101OLD (Other LONG)");
  EXPECT_EQ(db_.TableDefs()["Val101Old"].Fields()[0].Name(), "Other");
  db_.TableDefs().Delete("book");
  EXPECT_EQ(db_.TableDefs().Count(), before);
  EXPECT_EQ(ErrorOf([&] { db_.TableDefs()["Book"]; }), 3265);
  EXPECT_EQ(ErrorOf([&] { db_.TableDefs().Delete("Book"); }), 3265);
  // Made by SELECT INTO, or made and dropped in a transaction rolled back: seen alike everywhere.
  db_.Execute("SELECT Code, Name AS Item INTO Made FROM Val101");
  const std::string seen = SeenEverywhere();
  db_.BeginTrans();
  Run(db_, {"CREATE TABLE Gone (Code TEXT(18))", "DROP TABLE Val101"});
  db_.Rollback();
  EXPECT_EQ(SeenEverywhere(), seen);
}

TEST_F(CatalogFollowsTest, TablesAlteredByStatementsOrTheObjectModelShowTheirColumnsAndIndexes) {
  Run(db_, {"ALTER TABLE Val101 ADD COLUMN UserCode TEXT(10)",
            "ALTER TABLE Val101 ADD COLUMN JPer DOUBLE UNIQUE",
            "ALTER TABLE Val101 ADD CONSTRAINT ByUser UNIQUE (UserCode)"});
  TableDef val = db_.TableDefs()["Val101"];
  EXPECT_EQ(val.Fields().Count(), 6);
  EXPECT_EQ(val.Fields()[5].Name(), "JPer");
  EXPECT_EQ(val.Indexes().size(), 4u);
  SeenEverywhere();
  Run(db_, {"ALTER TABLE Val101 DROP CONSTRAINT ByUser", "DROP INDEX ByName ON Val101",
            "ALTER TABLE Val101 DROP COLUMN MakeDay"});
  val = db_.TableDefs()["Val101"];
  EXPECT_EQ(val.Fields().Count(), 5);
  EXPECT_EQ(ErrorOf([&] { val.Fields()["MakeDay"]; }), 3265);
  EXPECT_EQ(val.Indexes().size(), 2u);
  SeenEverywhere();
  EXPECT_EQ(Rows(db_, "SELECT Code, UserCode FROM Val101 ORDER BY Code"),
            V({"A1|Null", "A2|Null"}));
  TableDef old = db_.CreateTableDef("Val101Old");
  old.Fields().Append(old.CreateField("Code", kText, 18));
  db_.TableDefs().Append(old);
  TableDef appended = db_.TableDefs()["Val101Old"];
  appended.Fields().Append(appended.CreateField("Search1", kText, 20));
  EXPECT_EQ(db_.TableDefs()["Val101Old"].Fields()["search1"].Size(), 20);
  SeenEverywhere();
}

TEST_F(CatalogFollowsTest, AnotherConnectionsChangesAreSeenAtOnceInAndAfterATransaction) {
  Database other = OpenDatabase(Path("t.mdb"), false, false, ";PWD=pw");
  for (int round = 0; round < 3; ++round) {
    // Read, changed elsewhere, read again at once: each change is seen by the next look.
    const std::string name = "Added" + std::to_string(round);
    EXPECT_EQ(ErrorOf([&] { db_.TableDefs()[name]; }), 3265);
    other.Execute("CREATE TABLE " + name + " (Code TEXT(18))");
    EXPECT_EQ(db_.TableDefs()[name].Fields().Count(), 1);
    other.Execute("ALTER TABLE " + name + " ADD COLUMN Qty LONG");
    db_.BeginTrans();
    EXPECT_EQ(db_.TableDefs()[name].Fields().Count(), 2);
    if (round == 0) {
      // While this transaction reads, the other cannot commit; the view stays the same.
      EXPECT_NE(ExecuteError(other, "DROP TABLE " + name), 0);
      EXPECT_EQ(db_.TableDefs()[name].Fields().Count(), 2);
    }
    db_.CommitTrans();
  }
  other.Execute("DROP TABLE Added1");
  EXPECT_EQ(ErrorOf([&] { db_.TableDefs()["Added1"]; }), 3265);
  EXPECT_EQ(Describe(db_), Describe(other));
}

TEST_F(CatalogFollowsTest, ATableAnotherProgramAddsIsSeenByTheNextLook) {
  const std::string before = Describe(db_);
  // Another program's SQLite: its commit passes by this process's file layer.
  RawSql("t.mdb",
         "CREATE TABLE Added (Code TEXT); INSERT INTO MSysKrTables (Name) VALUES ('Added'); "
         "INSERT INTO MSysKrFields (TableName, Ordinal, Name, Type, Size) VALUES ('Added', 0, "
         "'Code', 10, 18);");
  EXPECT_EQ(db_.TableDefs()["Added"].Fields()["Code"].Size(), 18);
  EXPECT_NE(Describe(db_), before);
}

}  // namespace
}  // namespace kr::db::engine::test
