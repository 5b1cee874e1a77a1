// Access SQL beyond the toolkit's own statements: outer-join updates, DISTINCTROW, quantified
// subqueries, TOP with ties, the type rule of criteria, the queries Jet refuses, Between in either
// order, the VBA functions and aggregates a query may call, relationships and crosstabs.
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
  ExpectQueries(db_, {"SELECT DISTINCTROW Items.Code FROM Items INNER JOIN Prices ON "
                      "Items.Code=Prices.Code ORDER BY Items.Code → A1; C3",
                      "SELECT Items.Code FROM Items INNER JOIN Prices ON Items.Code=Prices.Code "
                      "ORDER BY Items.Code → A1; C3; C3"});
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
  ExpectQueries(db_,
                {"Price > ANY (SELECT Price * 10 FROM Prices) → B2; C3; D4",
                 "Price > ALL (SELECT Price * 10 FROM Prices) → D4",
                 "Price >= SOME (SELECT Price * 10 FROM Prices) → B2; C3; D4",
                 "Code = ANY (SELECT Code FROM Prices) → A1; C3",
                 "Code <> ALL (SELECT Code FROM Prices) → B2; D4",
                 "Code = ALL (SELECT Code FROM Prices WHERE Price>3) → C3",
                 // Nothing to compare with: All holds, Any does not.
                 "Price < ALL (SELECT Price FROM Prices WHERE Price>100) → A1; B2; C3; D4",
                 "Price < ANY (SELECT Price FROM Prices WHERE Price>100) → ",
                 // Text compares in the database's order.
                 "Code = ANY (SELECT LCase(Code) FROM Prices) → A1; C3"},
                "SELECT Code FROM Items WHERE {} ORDER BY Code");
  db_.Execute("INSERT INTO Prices VALUES ('E5', Null, 'n')");
  // A Null among the rows leaves a comparison that nothing else decides unknown.
  ExpectQueries(
      db_,
      {"SELECT Code, Price > ALL (SELECT Price FROM Prices) FROM Items WHERE Qty=1 → A1|Null",
       "SELECT Code, Price < ALL (SELECT Price FROM Prices) FROM Items WHERE Qty=1 → A1|False"});
}

TEST_F(AccessSqlTest, TopKeepsTheRowsTiedWithTheLastOne) {
  ExpectQueries(db_, {"SELECT TOP 2 Code FROM Items ORDER BY Qty → A1; B2; C3",
                      "SELECT TOP 1 Code FROM Items ORDER BY Qty DESC → D4",
                      "SELECT TOP 3 Code FROM Items ORDER BY Qty, Code DESC → A1; C3; B2"});
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

class AccessSqlMoreTest : public EngineTest {
 protected:
  void SetUp() override {
    db_ = Create("m.mdb");
    Run(db_, {"CREATE TABLE Orders (Id LONG, Customer TEXT(10), City TEXT(10), Amount DOUBLE)",
              "CREATE TABLE Customers (Customer TEXT(10), Region TEXT(10))",
              "CREATE TABLE Regions (Region TEXT(10), Manager TEXT(10))"});
    for (const char* row : {"1, 'A', 'London', 10", "2, 'A', 'Rome', 20", "3, 'B', 'Paris', 30",
                            "4, 'C', 'Tokyo', 40"})
      db_.Execute("INSERT INTO Orders VALUES (" + std::string(row) + ")");
    Run(db_,
        {"INSERT INTO Customers VALUES ('A', 'East')", "INSERT INTO Customers VALUES ('B', 'West')",
         "INSERT INTO Regions VALUES ('East', 'Sato')"});
  }
  int Refusal(const std::string& sql) { return QueryError(db_, sql); }
  std::string One(const std::string& expression) {
    Value v = Scalar(db_, "SELECT " + expression + " FROM Orders WHERE Id=1");
    return v.IsNull() ? "Null" : v.ToText();
  }
  // Cases "expression → its text", computed on the first order's row.
  void ExpectOnes(std::initializer_list<std::string_view> cases) {
    for (auto [expression, text] : SplitCases(cases))
      EXPECT_EQ(One(std::string(expression)), text) << expression;
  }
  Database db_;
};

TEST_F(AccessSqlMoreTest, QueriesWhoseAnswerSqliteWouldMakeUpAreRefusedWithJetsNumber) {
  const std::pair<const char*, int> cases[] = {
      // "GROUP BY Clause": every field is grouped or in an aggregate.
      {"SELECT Customer, City, Sum(Amount) FROM Orders GROUP BY Customer", 3122},
      {"SELECT City, Count(*) FROM Orders", 3122},
      {"SELECT Customer FROM Orders GROUP BY Customer HAVING Amount > 1", 3122},
      {"SELECT Customer FROM Orders GROUP BY Customer ORDER BY City", 3122},
      {"SELECT * FROM Orders GROUP BY Customer", 3122},
      {"SELECT Orders.*, Count(*) FROM Orders", 3122},
      {"SELECT Customer, (SELECT Count(*) FROM Customers AS C WHERE C.Customer = Orders.City) "
       "FROM Orders GROUP BY Customer",
       3122},
      // "HAVING Clause" needs grouping or an aggregate.
      {"SELECT Customer FROM Orders HAVING Customer = 'A'", 3091},
      {"SELECT Customer FROM Orders WHERE Sum(Amount) > 10", 3096},
      {"SELECT DISTINCT Customer FROM Orders ORDER BY City", 3093},
      {"SELECT (SELECT Id FROM Orders) FROM Customers", 3354},
      {"SELECT Customer FROM Customers WHERE Customer IN (SELECT Customer, City FROM Orders)",
       3306},
      {"SELECT Customer FROM Customers UNION SELECT Customer, City FROM Orders", 3307},
      {"SELECT Manager FROM Orders INNER JOIN Customers ON Orders.Customer = Customers.Customer "
       "INNER JOIN Regions ON Customers.Region = Regions.Region",
       3075},
  };
  for (const auto& [sql, number] : cases) EXPECT_EQ(Refusal(sql), number) << sql;
  EXPECT_EQ(
      ExecuteError(db_,
                   "UPDATE Customers INNER JOIN (SELECT Customer, Sum(Amount) AS Total FROM Orders "
                   "GROUP BY Customer) AS T ON Customers.Customer = T.Customer SET Region = 'x'"),
      3073);
}

TEST_F(AccessSqlMoreTest, TheSameQueriesInJetsShapeAreAnswered) {
  ExpectQueries(
      db_,
      {"SELECT Customer, Sum(Amount) FROM Orders GROUP BY Customer HAVING Sum(Amount) > 25 ORDER "
       "BY Customer → A|30; B|30; C|40",
       "SELECT Orders.Customer, Count(*) AS N FROM Orders GROUP BY Customer ORDER BY N DESC, "
       "Orders.Customer → A|2; B|1; C|1",
       "SELECT Count(*) FROM Orders HAVING Count(*) > 3 → 4",
       "SELECT DISTINCT Customer FROM Orders ORDER BY Customer DESC → C; B; A",
       "SELECT Customer, (SELECT Region FROM Customers WHERE Customers.Customer = Orders.Customer) "
       "FROM Orders WHERE Id < 4 ORDER BY Id → A|East; A|East; B|West",
       "SELECT Customer, (SELECT Count(*) FROM Orders AS O WHERE O.Customer = Orders.Customer) "
       "FROM Orders GROUP BY Customer → A|2; B|1; C|1",
       "SELECT * FROM Customers GROUP BY Customer, Region → A|East; B|West",
       "SELECT Manager FROM (Orders INNER JOIN Customers ON Orders.Customer = Customers.Customer) "
       "INNER JOIN Regions ON Customers.Region = Regions.Region ORDER BY Id → Sato; Sato",
       // An outer query's column is a constant inside a grouped subquery.
       "SELECT Id, (SELECT Count(*) FROM Orders AS O WHERE O.Customer = Orders.Customer) FROM "
       "Orders ORDER BY Id → 1|2; 2|2; 3|1; 4|1"});
}

TEST_F(AccessSqlMoreTest, BetweenTakesItsBoundsInEitherOrder) {
  ExpectQueries(db_,
                {"Amount Between 15 And 35 → 2; 3", "Amount Between 35 And 15 → 2; 3",
                 "Amount Not Between 35 And 15 → 1; 4", "Amount Between -1 And -5 → ",
                 "Amount Between Id * 20 And Id + 5 → 1; 2; 3; 4",
                 "Amount Between Id And Id + 5 → ", "City Between 'Rome' And 'London' → 1; 2; 3"},
                "SELECT Id FROM Orders WHERE {} ORDER BY Id");
}

TEST_F(AccessSqlMoreTest, VbaFunctionsGiveTheDocumentedResults) {
  ExpectOnes({"Hex(5) → 5", "Hex(10) → A", "Hex(459) → 1CB", "Hex(-1) → FFFF",
              "Hex(-40000) → FFFF63C0", "Hex(Null) → Null", "Oct(4) → 4", "Oct(8) → 10",
              "Oct(459) → 713", "Oct(-1) → 177777", "Str(459) →  459", "Str(-459.65) → -459.65",
              "Str(459.001) →  459.001", "Choose(2, 'Speedy', 'United', 'Federal') → United",
              "Choose(4, 'Speedy', 'United', 'Federal') → Null",
              "Choose(0, 'Speedy', 'United') → Null",
              "Switch(City = 'London', 'English', City = 'Rome', 'Italian') → English",
              "Switch(City = 'Rome', 'Italian') → Null"});
  ExpectOnes({"TimeValue('4:35:17 PM') → 16:35:17", "TimeValue(#2020/1/2 10:30#) → 10:30:00",
              "IsDate('1969/02/12') → True", "IsDate(#2/12/69#) → True", "IsDate('Hello') → False",
              "IsDate(12) → False", "IsNumeric(#2020/1/2#) → False", "IsNumeric('459.95') → True"});
  EXPECT_EQ(Rows(db_,
                 "SELECT City, Switch(Amount < 15, 'low', Amount < 35, 'mid', True, 'high') FROM "
                 "Orders ORDER BY Id"),
            V({"London|low", "Rome|mid", "Paris|mid", "Tokyo|high"}));
  EXPECT_EQ(ErrorOf([&] { One("Switch(True, 1, False)"); }), 5);
}

TEST_F(AccessSqlMoreTest, FormatWritesZeroSectionsExponentsWeeksAndEras) {
  ExpectOnes({"Format(0.004, '0.00;(0.00);\"zero\"') → zero",
              "Format(-0.004, '0.00;(0.00);\"zero\"') → zero",
              "Format(-0.006, '0.00;(0.00);\"zero\"') → (0.01)",
              "Format(0.4, '0%;-0%;\"none\"') → 40%", "Format(1234.5, '0.00E+00') → 1.23E+03",
              "Format(0.00012, '0.00E+00') → 1.20E-04", "Format(1234.5, '0.00E-00') → 1.23E03",
              "Format(0.00012, '0.00e-00') → 1.20e-04", "Format(-1234.5, '0.00E+00') → -1.23E+03",
              "Format(#2021/1/1#, 'ww') → 1", "Format(#2021/1/1#, 'ww', 2, 2) → 53",
              "Format(#2021/1/4#, 'ww', 2, 2) → 1", "Format(#2021/1/3#, 'w') → 1",
              "Format(#2021/1/3#, 'w', 2) → 7",
              "Format(#2019/5/1#, 'ggge年m月d日') → 令和元年5月1日",
              "Format(#2019/4/30#, 'ggge年') → 平成31年", "Format(#2020/1/1#, 'gee') → R02",
              "Format(#1989/1/7#, 'gg e') → 昭 64", "Format(#2019/5/1#, 'ggg e') → 令和 1"});
}

TEST_F(AccessSqlMoreTest, SpreadAggregatesAreNullWithTooFewRecords) {
  ExpectQueries(db_, {"SELECT Var(Amount), VarP(Amount), Round(StDev(Amount), 6), StDevP(Amount) "
                      "FROM Orders → 166.666666666667|125|12.909944|11.1803398874989",
                      "SELECT Customer, StDev(Amount), StDevP(Amount), Var(Amount), VarP(Amount) "
                      "FROM Orders WHERE Id <> 3 GROUP BY Customer ORDER BY Customer → "
                      "A|7.07106781186548|5|50|25; C|Null|0|Null|0",
                      "SELECT StDev(Amount), VarP(Amount) FROM Orders WHERE Id > 9 → Null|Null"});
}

TEST_F(AccessSqlMoreTest, CurrencyAddsUpExactlyAndStaysCurrency) {
  db_.Execute("CREATE TABLE Prices (Id LONG, Price CURRENCY, Rate DOUBLE)");
  for (int i = 1; i <= 10; ++i)
    db_.Execute("INSERT INTO Prices VALUES (" + std::to_string(i) + ", 0.1, 0.1)");
  EXPECT_EQ(Rows(db_,
                 "SELECT Sum(Price), Sum(Price) = 1, Sum(Rate) = 1, Sum(Price) - 1, Avg(Price) "
                 "FROM Prices"),
            V({"1|True|False|0|0.1"}));
  Recordset rs = db_.OpenRecordset(
      "SELECT Sum(Price) AS S, Avg(Price) AS A, Price * 3 AS P, Price * Rate AS R, Price / 2 AS H "
      "FROM Prices GROUP BY Price, Rate",
      kOpenSnapshot);
  EXPECT_EQ(rs["S"].Type(), kCurrency);
  EXPECT_EQ(rs["A"].Type(), kCurrency);
  EXPECT_EQ(rs["P"].Type(), kCurrency);
  EXPECT_EQ(rs["R"].Type(), kDouble);
  EXPECT_EQ(rs["H"].Type(), kDouble);
  const std::pair<const char*, const char*> cases[] = {
      {"Price * 3 = 0.3", "True"},
      {"Price + Price + Price - 0.3", "0"},
      // "Type conversion functions": CCur(MyDouble * 2) is 1086.4292.
      {"CCur(543.214588 * 2)", "1086.4292"},
      {"CCur(0.00005)", "0"},
      {"CCur(1.5) * 3 - 4.5", "0"},
  };
  for (const auto& [expression, text] : cases)
    EXPECT_EQ(
        Scalar(db_, std::string("SELECT ") + expression + " FROM Prices WHERE Id = 1").ToText(),
        text)
        << expression;
  db_.Execute("INSERT INTO Prices VALUES (11, 1.23456, 0)");
  EXPECT_EQ(ExecuteError(db_, "INSERT INTO Prices VALUES (12, 'abc', 0)", kFailOnError), 3421);
  EXPECT_EQ(Scalar(db_, "SELECT Price FROM Prices WHERE Id = 11").ToText(), "1.2346");
  EXPECT_EQ(QueryError(db_, "SELECT Sum(Price * 1000000000000000) FROM Prices WHERE Id <= 10"), 6);
}

// Declared parameters are asked for when the query runs; Execute and OpenRecordset give none.
TEST_F(AccessSqlMoreTest, DeclaredParametersAreAskedForAndTableIsAUnionMember) {
  EXPECT_EQ(Refusal("PARAMETERS [Low] Currency, Most Long; SELECT Id FROM Orders WHERE Amount > "
                    "[Low]"),
            3061);
  EXPECT_EQ(ErrorOf([&] { db_.Execute("PARAMETERS x Text (20); DELETE FROM Orders"); }), 3061);
  EXPECT_EQ(Refusal("PARAMETERS x; SELECT 1"), 3132);
  // "UNION Operation": TABLE t stands for SELECT * FROM t.
  EXPECT_EQ(Rows(db_, "TABLE Customers UNION SELECT 'Z', 'North' FROM Regions ORDER BY 1"),
            V({"A|East", "B|West", "Z|North"}));
  EXPECT_EQ(Rows(db_, "SELECT Region, Manager FROM Regions UNION ALL TABLE Customers").size(), 3u);
  EXPECT_EQ(Refusal("SELECT Region FROM Regions UNION TABLE Customers"), 3307);
}

TEST_F(AccessSqlMoreTest, RelationshipsKeepChildrenWithTheirParents) {
  Run(db_, {"CREATE TABLE Parents (Id LONG CONSTRAINT PK PRIMARY KEY, Name TEXT(10))",
            "CREATE TABLE Kids (Id LONG, ParentId LONG CONSTRAINT KidParent REFERENCES Parents, "
            "Other LONG, CONSTRAINT OtherParent FOREIGN KEY (Other) REFERENCES Parents (Id))",
            "INSERT INTO Parents VALUES (1, 'one')", "INSERT INTO Parents VALUES (2, 'two')",
            "INSERT INTO Kids VALUES (1, 1, Null)"});
  const std::pair<const char*, int> cases[] = {
      {"INSERT INTO Kids VALUES (2, 3, Null)", 3201},
      {"INSERT INTO Kids VALUES (2, 1, 5)", 3201},
      {"UPDATE Kids SET ParentId = 7", 3201},
      {"DELETE FROM Parents WHERE Id = 1", 3200},
      {"UPDATE Parents SET Id = 9 WHERE Id = 1", 3200},
      {"UPDATE Parents SET Name = 'uno' WHERE Id = 1", 0},
      {"DELETE FROM Parents WHERE Id = 2", 0},
      {"INSERT INTO Kids VALUES (3, Null, 1)", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ExecuteError(db_, c.first, kFailOnError), c.second) << c.first;
  // Without fail-on-error the rows a relationship refuses are skipped, the others go.
  Run(db_, {"INSERT INTO Parents VALUES (3, 'three')", "DELETE FROM Parents"});
  EXPECT_EQ(db_.RecordsAffected(), 1);
  db_.Execute(
      "INSERT INTO Kids SELECT Id + 10 AS Id, Id AS ParentId FROM Parents UNION ALL SELECT 20, 99 "
      "FROM Parents");
  EXPECT_EQ(db_.RecordsAffected(), 1);
  EXPECT_EQ(Rows(db_, "SELECT Id FROM Parents"), V({"1"}));
  Run(db_, {"ALTER TABLE Kids DROP CONSTRAINT KidParent", "INSERT INTO Kids VALUES (4, 8, Null)"});
  EXPECT_EQ(ExecuteError(db_,
                         "ALTER TABLE Kids ADD CONSTRAINT Again FOREIGN KEY (ParentId) "
                         "REFERENCES Parents"),
            3201);
  EXPECT_EQ(ExecuteError(db_, "CREATE TABLE Bad (P LONG REFERENCES Nowhere)"), 3371);
  Run(db_, {"DROP TABLE Kids", "DELETE FROM Parents"});
}

// ON UPDATE CASCADE and ON DELETE CASCADE take grandchildren along too.
TEST_F(AccessSqlMoreTest, CascadesTakeChildrenAlongAndRelationsListThem) {
  Run(db_, {"CREATE TABLE Parents (Id LONG CONSTRAINT PK PRIMARY KEY, Name TEXT(10))",
            "CREATE TABLE Kids (Id LONG PRIMARY KEY, ParentId LONG CONSTRAINT KidParent REFERENCES "
            "Parents (Id) ON UPDATE CASCADE ON DELETE CASCADE)",
            "CREATE TABLE Toys (KidId LONG, CONSTRAINT ToyKid FOREIGN KEY (KidId) REFERENCES Kids "
            "ON DELETE CASCADE ON UPDATE NO ACTION)"});
  for (const char* sql : {"INSERT INTO Parents VALUES (1, 'one')",
                          "INSERT INTO Parents VALUES "
                          "(2, 'two')",
                          "INSERT INTO Kids VALUES (10, 1)", "INSERT INTO Kids VALUES (20, 2)",
                          "INSERT INTO Toys VALUES (10)", "INSERT INTO Toys VALUES (20)"})
    db_.Execute(sql, kFailOnError);
  db_.Execute("UPDATE Parents SET Id = 9 WHERE Id = 1", kFailOnError);
  EXPECT_EQ(Rows(db_, "SELECT Id, ParentId FROM Kids ORDER BY Id"), V({"10|9", "20|2"}));
  EXPECT_EQ(ExecuteError(db_, "UPDATE Kids SET Id = 11 WHERE Id = 10", kFailOnError), 3200);
  db_.Execute("DELETE FROM Parents WHERE Id = 9", kFailOnError);
  ExpectQueries(db_, {"SELECT Id FROM Kids → 20", "SELECT KidId FROM Toys → 20"});
  const std::vector<RelationInfo> relations = db_.Relations();
  ASSERT_EQ(relations.size(), 2u);
  EXPECT_EQ(relations[0].name, "KidParent");
  EXPECT_EQ(relations[0].table, "Parents");
  EXPECT_EQ(relations[0].foreign_table, "Kids");
  EXPECT_EQ(relations[0].fields,
            (std::vector<std::pair<std::string, std::string>>{{"Id", "ParentId"}}));
  EXPECT_EQ(relations[0].attributes, kRelationUpdateCascade | kRelationDeleteCascade);
  EXPECT_EQ(relations[1].attributes, kRelationDeleteCascade);
  for (const char* bad : {"ON DELETE SET NULL", "ON UPDATE CASCADE ON UPDATE CASCADE", "ON DELETE"})
    EXPECT_EQ(
        ExecuteError(db_, std::string("CREATE TABLE Bad (P LONG REFERENCES Parents ") + bad + ")"),
        3289)
        << bad;
  Run(db_, {"ALTER TABLE Toys DROP CONSTRAINT ToyKid", "DROP TABLE Kids"});
  EXPECT_TRUE(db_.Relations().empty());
}

// A column changes its type with its rows, keys and relationships.
TEST_F(AccessSqlMoreTest, ColumnsChangeTypeAndIndexesRefuseNull) {
  Run(db_,
      {"CREATE TABLE T (Id COUNTER PRIMARY KEY, Code TEXT(10), Qty TEXT(10), P LONG REFERENCES T)",
       "CREATE INDEX ByCode ON T (Code)", "INSERT INTO T (Code, Qty) VALUES ('a', '12')",
       "INSERT INTO T (Code, Qty) VALUES (Null, '3.5')", "ALTER TABLE T ALTER COLUMN Qty DOUBLE"});
  EXPECT_EQ(Rows(db_, "SELECT Id, Qty * 2 FROM T ORDER BY Id"), V({"1|24", "2|7"}));
  EXPECT_EQ(db_.TableDefs()["T"].Fields()["Qty"].Type(), kDouble);
  EXPECT_EQ(ExecuteError(db_, "ALTER TABLE T ALTER COLUMN Code LONG"), 3421);
  EXPECT_EQ(ExecuteError(db_, "CREATE INDEX Needed ON T (Code) WITH DISALLOW NULL"), 3058);
  Run(db_, {"UPDATE T SET Code = 'b' WHERE Code Is Null",
            "CREATE INDEX Needed ON T (Code) WITH DISALLOW NULL"});
  EXPECT_EQ(ExecuteError(db_, "INSERT INTO T (Code) VALUES (Null)", kFailOnError), 3058);
  db_.Execute("INSERT INTO T (Code) VALUES (Null)");
  EXPECT_EQ(db_.RecordsAffected(), 0);
  // The counter, the indexes and the relationship are still there.
  db_.Execute("INSERT INTO T (Code, P) VALUES ('c', 1)");
  EXPECT_EQ(Rows(db_, "SELECT Id, Code, P FROM T WHERE Code > 'a' ORDER BY Code"),
            V({"2|b|Null", "3|c|1"}));
  EXPECT_EQ(ExecuteError(db_, "INSERT INTO T (Code, P) VALUES ('d', 9)", kFailOnError), 3201);
  EXPECT_EQ(db_.TableDefs()["T"].Indexes().size(), 3u);
}

// One column per pivot value, found in the rows or listed by IN; a Null value's column is "<>".
TEST_F(AccessSqlMoreTest, CrosstabsSpreadAPivotAcrossColumns) {
  db_.Execute("CREATE TABLE Sales (Region TEXT(10), Product TEXT(10), Qty LONG, Sold DATETIME)");
  for (const char* row : {"'East', 'Pen', 3, #2020/1/5#", "'East', 'Ink', 2, #2020/2/5#",
                          "'West', 'Pen', 4, #2020/1/9#", "'West', 'pen', 1, #2020/3/1#",
                          "'North', Null, 5, #2020/3/3#"})
    db_.Execute("INSERT INTO Sales VALUES (" + std::string(row) + ")");
  const std::pair<const char*, V> cases[] = {
      {"TRANSFORM Sum(Qty) SELECT Region FROM Sales GROUP BY Region PIVOT Product",
       {"Region|<>|Ink|Pen", "East|Null|2|3", "North|5|Null|Null", "West|Null|Null|5"}},
      {"TRANSFORM Count(*) AS N SELECT Region, Sum(Qty) AS Total FROM Sales WHERE Qty > 1 "
       "GROUP BY Region ORDER BY Region DESC PIVOT Format(Sold, 'mmm') IN ('Jan', 'Feb', 'Mar')",
       {"Region|Total|Jan|Feb|Mar", "West|4|1|Null|Null", "North|5|Null|Null|1",
        "East|5|1|1|Null"}},
      {"TRANSFORM Max(Qty) SELECT Region FROM Sales GROUP BY Region PIVOT DatePart('m', Sold)",
       {"Region|1|2|3", "East|3|2|Null", "North|Null|Null|5", "West|4|Null|1"}},
      {"TRANSFORM Sum(Qty) SELECT Region FROM Sales WHERE Qty > 100 GROUP BY Region PIVOT "
       "Product",
       {"Region"}},
      // First and Last are the first and last rows of the cell, not of the row's group.
      {"TRANSFORM First(Qty) SELECT Region FROM Sales GROUP BY Region PIVOT Product",
       {"Region|<>|Ink|Pen", "East|Null|2|3", "North|5|Null|Null", "West|Null|Null|4"}},
      {"TRANSFORM Last(Qty) SELECT Region FROM Sales GROUP BY Region PIVOT Product",
       {"Region|<>|Ink|Pen", "East|Null|2|3", "North|5|Null|Null", "West|Null|Null|1"}},
  };
  for (const auto& [sql, rows] : cases) {
    Recordset rs = db_.OpenRecordset(sql, kOpenSnapshot);
    std::string names;
    for (int i = 0; i < rs.Fields().Count(); ++i) names += (i ? "|" : "") + rs[i].Name();
    V got = Rows(db_, sql);
    got.insert(got.begin(), names);
    EXPECT_EQ(got, rows) << sql;
  }
  EXPECT_EQ(Refusal("TRANSFORM Qty SELECT Region FROM Sales GROUP BY Region PIVOT Product"), 3141);
  EXPECT_EQ(Refusal("TRANSFORM Sum(Qty) SELECT Region FROM Sales GROUP BY Region"), 3141);
}

}  // namespace
}  // namespace kr::db::engine::test
