// BeginTrans, CommitTrans and Rollback: changes reach the file together or not at all.
#include "tests/db/engine/engine_fixture.h"

namespace kr::db::engine::test {
namespace {

class TransactionTest : public EngineTest {
 protected:
  void SetUp() override {
    db_ = Create("t.mdb");
    Run(db_, {"CREATE TABLE Val (Code TEXT(10), Price CURRENCY, CONSTRAINT PrimaryKey PRIMARY KEY "
              "(Code))",
              "INSERT INTO Val VALUES ('A', 1)"});
  }
  // The rows as another handle on the file sees them.
  std::vector<std::string> Committed(const std::string& sql) {
    Database other = OpenDatabase(Path("t.mdb"));
    return Rows(other, sql);
  }
  // s.mdb with one row in Cri, and the link LinkCri to it.
  void MakeSource() {
    Database source = Create("s.mdb");
    Run(source, {"CREATE TABLE Cri (Code TEXT(10))", "INSERT INTO Cri VALUES ('S')"});
  }
  void LinkCri() {
    TableDef link = db_.CreateTableDef("LinkCri");
    link.SetConnect(";DataBase=" + Path("s.mdb") + ";PWD=;");
    link.SetSourceTableName("Cri");
    db_.TableDefs().Append(link);
  }
  Database db_;
};

TEST_F(TransactionTest, RollbackUndoesStatementsSchemaChangesAndRowEdits) {
  db_.BeginTrans();
  Run(db_, {"DELETE FROM Val", "CREATE TABLE Log (Line LONG)",
            "ALTER TABLE Val ADD COLUMN Note TEXT(20)"});
  TableDef val = db_.TableDefs()["Val"];
  Field stamp = val.CreateField("Stamp", kDate);
  stamp.SetDefaultValue("Now()");
  val.Fields().Append(stamp);
  Recordset rs = db_.OpenRecordset("Log");
  AddRow(rs, {{"Line", Value(1)}});
  db_.Rollback();
  EXPECT_EQ(Rows(db_, "SELECT Code, Price FROM Val"), V({"A|1"}));
  EXPECT_EQ(ErrorOf([&] { db_.TableDefs()["Log"]; }), 3265);
  EXPECT_EQ(db_.TableDefs()["Val"].Fields().Count(), 2);
  EXPECT_EQ(ErrorOf([&] { db_.OpenRecordset("Log"); }), 3078);
  db_.Execute("INSERT INTO Val VALUES ('B', 2)");  // back to committing on its own
  EXPECT_EQ(Committed("SELECT Code FROM Val ORDER BY Code"), V({"A", "B"}));
  db_.BeginTrans();
  Field again = val.CreateField("Stamp", kDate);
  again.SetDefaultValue("Now()");
  val.Fields().Append(again);
  db_.Execute("INSERT INTO Val (Code) VALUES ('C')");
  db_.CommitTrans();
  EXPECT_EQ(Committed("SELECT Code, Stamp Is Null FROM Val ORDER BY Code"),
            V({"A|True", "B|True", "C|False"}));
}

TEST_F(TransactionTest, TransactionsNestAndAFailedStatementUndoesOnlyItself) {
  db_.BeginTrans();
  db_.Execute("INSERT INTO Val VALUES ('B', 2)");
  Recordset rs = db_.OpenRecordset("Val");
  AddRow(rs, {{"Code", Value("D")}});
  db_.BeginTrans();
  db_.Execute("INSERT INTO Val VALUES ('C', 3)");
  db_.Rollback();
  EXPECT_EQ(ExecuteError(db_, "INSERT INTO Val VALUES ('a', 9)", kFailOnError), 3022);
  db_.Execute("UPDATE Val SET Code='Z' WHERE Code='A'");
  db_.Execute("UPDATE Val SET Code=Code & '1'");  // keys shifted: checked once it is through
  EXPECT_EQ(Rows(db_, "SELECT Code FROM Val ORDER BY Code"), V({"B1", "D1", "Z1"}));
  db_.CommitTrans();
  EXPECT_EQ(Committed("SELECT Code, Price FROM Val ORDER BY Code"), V({"B1|2", "D1|Null", "Z1|1"}));
  EXPECT_EQ(ErrorOf([&] { db_.CommitTrans(); }), 3034);
  EXPECT_EQ(ErrorOf([&] { db_.Rollback(); }), 3034);
}

TEST_F(TransactionTest, ClosingWithATransactionOpenRollsItBack) {
  db_.BeginTrans();
  db_.Execute("DELETE FROM Val");
  db_.Close();
  EXPECT_EQ(Committed("SELECT Code FROM Val"), V({"A"}));
  EXPECT_EQ(ErrorOf([&] { db_.BeginTrans(); }), 91);
}

TEST_F(TransactionTest, AnAttachedSourceFirstUsedInsideATransactionIsRefused) {
  MakeSource();
  LinkCri();
  db_.BeginTrans();
  EXPECT_EQ(ExecuteError(db_, "INSERT INTO Val SELECT Code FROM LinkCri"), 3246);
  db_.Rollback();
  // Used once before, the source is at hand inside the next transaction.
  EXPECT_EQ(Rows(db_, "SELECT Code FROM LinkCri"), V({"S"}));
  db_.BeginTrans();
  Run(db_, {"INSERT INTO Val (Code) SELECT Code FROM LinkCri", "DELETE FROM LinkCri"});
  db_.CommitTrans();
  EXPECT_EQ(Committed("SELECT Code FROM Val ORDER BY Code"), V({"A", "S"}));
  db_.Close();  // writes the link, which stayed out of the transaction
  EXPECT_EQ(Committed("SELECT Count(*) FROM LinkCri"), V({"0"}));
}

TEST_F(TransactionTest, ASourceAttachedAheadServesLinksMadeInsideTheTransaction) {
  MakeSource();
  Create("other.mdb").Close();
  EXPECT_EQ(ErrorOf([&] { db_.AttachAhead(Path("missing.mdb")); }), 3024);
  db_.AttachAhead(Path("s.mdb"));
  db_.BeginTrans();
  db_.AttachAhead(Path("s.mdb"));  // attached already: harmless
  EXPECT_EQ(ErrorOf([&] { db_.AttachAhead(Path("other.mdb")); }), 3246);
  LinkCri();
  Run(db_, {"INSERT INTO Val (Code) SELECT Code FROM LinkCri", "DROP TABLE LinkCri"});
  db_.Rollback();
  EXPECT_EQ(Committed("SELECT Code FROM Val"), V({"A"}));
}

// The per-table counts a run report is made of: what the statements changed and still stands.
TEST_F(TransactionTest, ChangeCountsKeepWhatWasCommittedAndTheLastStatementIsKnown) {
  Run(db_, {"INSERT INTO Val VALUES ('B', 2)", "UPDATE val SET Price=Price+1"});
  db_.BeginTrans();
  db_.Execute("DELETE * FROM Val WHERE Code='A'");
  db_.BeginTrans();
  db_.Execute("DELETE * FROM Val");
  db_.Rollback();  // the inner level's delete is taken off again
  db_.CommitTrans();
  db_.Execute("SELECT Code INTO Copy FROM Val");
  std::vector<V> counts;
  for (const Database::TableChanges& t : db_.ChangeCounts()) {
    counts.push_back({t.table, std::to_string(t.inserted), std::to_string(t.updated),
                      std::to_string(t.deleted)});
  }
  // The insert of SetUp counts too: the database was opened by it.
  EXPECT_EQ(counts, (std::vector<V>{{"Val", "2", "2", "1"}, {"Copy", "1", "0", "0"}}));

  int64_t run = db_.StatementsRun();
  EXPECT_EQ(ExecuteError(db_, "INSERT INTO Nowhere VALUES (1)"), 3192);
  EXPECT_EQ(db_.LastStatement(), "INSERT INTO Nowhere VALUES (1)");
  EXPECT_EQ(db_.StatementsRun(), run + 1);
}

}  // namespace
}  // namespace kr::db::engine::test
