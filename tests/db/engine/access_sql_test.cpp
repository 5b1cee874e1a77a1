// Statement forms of Access SQL beyond the toolkit's own: outer-join updates, DISTINCTROW,
// quantified subqueries, TOP with ties, and the type rule of criteria.
#include "tests/db/engine/engine_fixture.h"

namespace kr::db::engine::test {
namespace {

class AccessSqlTest : public EngineTest {
 protected:
  void SetUp() override {
    db_ = Create("a.mdb");
    Run(db_, {"CREATE TABLE Items (Code TEXT(10), Name TEXT(20), Qty LONG, Price DOUBLE)",
              "CREATE TABLE Prices (Code TEXT(10), Price DOUBLE, Note TEXT(20))"});
    for (const char* row : {"'A1', 'one', 1, 10", "'B2', 'two', 2, 20", "'C3', 'three', 2, 30",
                            "'D4', 'four', 4, 40"})
      db_.Execute("INSERT INTO Items VALUES (" + std::string(row) + ")");
    for (const char* row : {"'A1', 1.5, 'x'", "'C3', 3.5, 'y'", "'C3', 3.5, 'y'"})
      db_.Execute("INSERT INTO Prices VALUES (" + std::string(row) + ")");
  }
  V Items() { return Rows(db_, "SELECT Code, Price FROM Items ORDER BY Code"); }
  Database db_;
};

TEST_F(AccessSqlTest, AnUpdateThroughALeftJoinChangesEveryRowWithNullWhereNothingMatched) {
  db_.Execute(
      "UPDATE Items LEFT JOIN Prices ON Items.Code=Prices.Code SET Items.Price=Prices.Price");
  EXPECT_EQ(db_.RecordsAffected(), 4);
  EXPECT_EQ(Items(), V({"A1|1.5", "B2|Null", "C3|3.5", "D4|Null"}));
  db_.Execute(
      "UPDATE Prices RIGHT JOIN Items ON Prices.Code=Items.Code SET Items.Name=Nz(Prices.Note, "
      "'-') & Items.Qty WHERE Items.Qty<4");
  EXPECT_EQ(Rows(db_, "SELECT Name FROM Items ORDER BY Code"), V({"x1", "-2", "y2", "four"}));
  // An inner join still changes only the rows that match.
  db_.Execute("UPDATE Items INNER JOIN Prices ON Items.Code=Prices.Code SET Items.Qty=0");
  EXPECT_EQ(Rows(db_, "SELECT Qty FROM Items ORDER BY Code"), V({"0", "2", "0", "4"}));
}

TEST_F(AccessSqlTest, DistinctRowShowsEachRowOfTheShownTablesOnceAndDeletesAcceptIt) {
  EXPECT_EQ(Rows(db_,
                 "SELECT DISTINCTROW Items.Code FROM Items INNER JOIN Prices ON "
                 "Items.Code=Prices.Code ORDER BY Items.Code"),
            V({"A1", "C3"}));
  EXPECT_EQ(Rows(db_,
                 "SELECT Items.Code FROM Items INNER JOIN Prices ON Items.Code=Prices.Code "
                 "ORDER BY Items.Code"),
            V({"A1", "C3", "C3"}));
  // With a column of every table, or one table only, it changes nothing.
  EXPECT_EQ(Rows(db_,
                 "SELECT DISTINCTROW Items.Code, Note FROM Items INNER JOIN Prices ON "
                 "Items.Code=Prices.Code ORDER BY Note")
                .size(),
            3u);
  EXPECT_EQ(Rows(db_, "SELECT DISTINCTROW Qty FROM Items ORDER BY Qty").size(), 4u);
  db_.Execute("DELETE DISTINCTROW Items.* FROM Items INNER JOIN Prices ON Items.Code=Prices.Code");
  EXPECT_EQ(db_.RecordsAffected(), 2);
  EXPECT_EQ(Items(), V({"B2|20", "D4|40"}));
}

TEST_F(AccessSqlTest, AnyAllAndSomeCompareWithEveryRowOfASubquery) {
  const std::pair<const char*, V> cases[] = {
      {"Price > ANY (SELECT Price * 10 FROM Prices)", {"B2", "C3", "D4"}},
      {"Price > ALL (SELECT Price * 10 FROM Prices)", {"D4"}},
      {"Price >= SOME (SELECT Price * 10 FROM Prices)", {"B2", "C3", "D4"}},
      {"Code = ANY (SELECT Code FROM Prices)", {"A1", "C3"}},
      {"Code <> ALL (SELECT Code FROM Prices)", {"B2", "D4"}},
      {"Code = ALL (SELECT Code FROM Prices WHERE Price>3)", {"C3"}},
      // Nothing to compare with: All holds, Any does not.
      {"Price < ALL (SELECT Price FROM Prices WHERE Price>100)", {"A1", "B2", "C3", "D4"}},
      {"Price < ANY (SELECT Price FROM Prices WHERE Price>100)", {}},
      // Text compares in the database's order.
      {"Code = ANY (SELECT LCase(Code) FROM Prices)", {"A1", "C3"}},
  };
  for (const auto& [where, codes] : cases)
    EXPECT_EQ(Rows(db_, std::string("SELECT Code FROM Items WHERE ") + where + " ORDER BY Code"),
              codes)
        << where;
  db_.Execute("INSERT INTO Prices VALUES ('E5', Null, 'n')");
  // A Null among the rows leaves a comparison that nothing else decides unknown.
  EXPECT_EQ(Rows(db_,
                 "SELECT Code, Price > ALL (SELECT Price FROM Prices) FROM Items WHERE "
                 "Qty=1"),
            V({"A1|Null"}));
  EXPECT_EQ(Rows(db_,
                 "SELECT Code, Price < ALL (SELECT Price FROM Prices) FROM Items WHERE "
                 "Qty=1"),
            V({"A1|False"}));
}

TEST_F(AccessSqlTest, TopKeepsTheRowsTiedWithTheLastOne) {
  EXPECT_EQ(Rows(db_, "SELECT TOP 2 Code FROM Items ORDER BY Qty"), V({"A1", "B2", "C3"}));
  EXPECT_EQ(Rows(db_, "SELECT TOP 1 Code FROM Items ORDER BY Qty DESC"), V({"D4"}));
  EXPECT_EQ(Rows(db_, "SELECT TOP 3 Code FROM Items ORDER BY Qty, Code DESC"),
            V({"A1", "C3", "B2"}));
  EXPECT_EQ(
      Rows(db_, "SELECT TOP 2 Qty, Count(*) FROM Items GROUP BY Qty ORDER BY Count(*) DESC").size(),
      3u);
  // A dynaset of one table and a make-table query keep the ties too.
  Recordset rs = db_.OpenRecordset("SELECT TOP 2 * FROM Items ORDER BY Qty", kOpenDynaset);
  rs.MoveLast();
  EXPECT_EQ(rs.RecordCount(), 3);
  rs.Close();
  db_.Execute("SELECT TOP 2 Code INTO Firsts FROM Items ORDER BY Qty");
  EXPECT_EQ(Rows(db_, "SELECT Count(*) FROM Firsts"), V({"3"}));
  // Without an order there are no ties to keep.
  EXPECT_EQ(Rows(db_, "SELECT TOP 2 Code FROM Items").size(), 2u);
}

TEST_F(AccessSqlTest, CriteriaComparingANumberWithTextAreRefused) {
  for (const char* where : {"Qty = '2'", "'2' = Qty", "Qty > 'a'", "Code = 2", "Qty IN ('1', 2)",
                            "Qty BETWEEN '1' AND 3", "Price <> ''"})
    EXPECT_EQ(QueryError(db_, std::string("SELECT Code FROM Items WHERE ") + where), 3464) << where;
  // Text with text and numbers with numbers, and Null with either, stay fine.
  EXPECT_EQ(Rows(db_, "SELECT Code FROM Items WHERE Qty = 2 AND Code > 'B' AND Name <> Null"), V());
  EXPECT_EQ(Rows(db_, "SELECT Code FROM Items WHERE Qty = 2.0 AND Code >= 'B' ORDER BY Code"),
            V({"B2", "C3"}));
  EXPECT_EQ(ExecuteError(db_, "UPDATE Items SET Qty=0 WHERE Qty='1'"), 3464);
  EXPECT_EQ(ExecuteError(db_, "DELETE FROM Items WHERE Code=1"), 3464);
}

TEST_F(AccessSqlTest, AscIsAFunctionBeforeAParenthesisAndASortOrderElsewhere) {
  EXPECT_EQ(Rows(db_,
                 "SELECT Asc(Code), Chr(Asc(Code) + 1) FROM Items WHERE Asc(Name)>Asc('o') "
                 "ORDER BY Code ASC"),
            V({"66|C", "67|D"}));
  EXPECT_EQ(QueryError(db_, "SELECT Nonesuch(Code) FROM Items"), 3085);
}

TEST_F(AccessSqlTest, ARequiredFieldLeftEmptyIsNamedWithItsTable) {
  db_.Execute("CREATE TABLE Req (A TEXT(10) NOT NULL, B LONG)");
  auto description = [](auto&& f) -> std::string {
    try {
      f();
    } catch (const Failure& failure) {
      return std::to_string(failure.number()) + " " + failure.description();
    }
    return "no failure";
  };
  const std::string required =
      "3314 フィールド 'Req.A' には値が必要です。このフィールドに値を入力してください。";
  EXPECT_EQ(description([&] { db_.Execute("INSERT INTO Req (B) VALUES (1)", kFailOnError); }),
            required);
  Recordset rs = db_.OpenRecordset("Req");
  rs.AddNew();
  rs["B"].SetValue(Value(2));
  EXPECT_EQ(description([&] { rs.Update(); }), required);
}

}  // namespace
}  // namespace kr::db::engine::test
