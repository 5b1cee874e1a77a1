// Jet statements through Execute and OpenRecordset, checked by the data they leave.
#include "tests/db/engine/engine_fixture.h"

namespace kr::db::engine::test {
namespace {

class StatementTest : public EngineTest {
 protected:
  void SetUp() override {
    db_ = Create("t.mdb");
    Run(db_,
        {"CREATE TABLE Val120 (Code TEXT(20), Name TEXT(10), ValPrice1 CURRENCY, Price SINGLE, Qty "
         "LONG, Flag YESNO, MakeDay DATETIME, CONSTRAINT PrimaryKey PRIMARY KEY (Code))",
         "INSERT INTO Val120 VALUES ('A1', 'one', 1.5, 0.1, 1, True, #2019/04/01#)",
         "INSERT INTO Val120 VALUES ('B2', 'two', 2, 0.2, 2, False, Null)",
         "INSERT INTO Val120 VALUES ('C3', 'three', 3, 0.3, 3, False, Null)"});
  }
  Database db_;
};

TEST_F(StatementTest, SelectFormsReturnJetResults) {
  Run(db_, {"CREATE TABLE Old (Code TEXT(20), Qty LONG)", "INSERT INTO Old VALUES ('a1', 10)",
            "INSERT INTO Old VALUES ('Z9', 90)"});
  ExpectQueries(
      db_, {"SELECT Code FROM Val120 WHERE Name Like 'T*' ORDER BY Code DESC → C3; B2",
            "SELECT Name FROM Val120 WHERE Code='b2' → two",
            "SELECT TOP 2 Code FROM Val120 ORDER BY Qty DESC → C3; B2",
            "SELECT TOP 50 PERCENT Code FROM Val120 ORDER BY Qty → A1; B2",
            "SELECT DISTINCT Flag FROM Val120 ORDER BY Flag → True; False",
            "SELECT DISTINCTROW Flag FROM Val120 WHERE Qty<3 ORDER BY Qty → True; False",
            "SELECT Count(*), Sum(Qty), Max(Code), Min(Code) FROM Val120 → 3|6|C3|A1",
            "SELECT Flag, Count(Code) FROM Val120 GROUP BY Flag HAVING Count(*)>1 → False|2",
            "SELECT Code & '-' & Qty FROM Val120 WHERE Code IN ('a1','c3') → A1-1; C3-3",
            "SELECT Code FROM Val120 WHERE Code IN (SELECT Code FROM Val120 WHERE Qty>=2) AND "
            "EXISTS (SELECT * FROM Val120 WHERE Flag=True) → B2; C3",
            "SELECT Code FROM Val120 WHERE 1 AND Qty>=2AND Qty<3 → B2",
            "SELECT v.Code, o.Qty FROM Val120 AS v LEFT JOIN Old AS o ON v.Code=o.Code ORDER BY "
            "v.Code → A1|10; B2|Null; C3|Null",
            "SELECT o.Code, v.Name FROM Val120 v RIGHT JOIN Old o ON v.Code=o.Code ORDER BY o.Code "
            "→ a1|one; Z9|Null",
            "SELECT Val120.Code, Old.* FROM Val120, Old WHERE Val120.Code=Old.Code → A1|a1|10",
            "SELECT x.Code FROM (SELECT Code, Qty FROM Val120 WHERE Qty>1) AS x WHERE x.Qty<3 → B2",
            "SELECT Qty FROM Val120 UNION SELECT Qty-9 FROM Old ORDER BY Qty → 1; 2; 3; 81",
            "SELECT Qty FROM Val120 UNION ALL SELECT Qty-9 FROM Old ORDER BY Qty → 1; 1; 2; 3; 81",
            "SELECT Left(Name, 2), Right(Code, 1) & '!' FROM Val120 WHERE Qty=3 → th|3!",
            "SELECT Qty, Name FROM Val120 ORDER BY 2 DESC → 2|two; 3|three; 1|one",
            "SELECT Qty FROM Val120 UNION SELECT Qty FROM Old ORDER BY 1 DESC → 90; 10; 3; 2; 1"});
}

TEST_F(StatementTest, OrderByTakesTheSelectListsAliasesWhereNoColumnHasTheName) {
  ExpectQueries(
      db_,
      {"SELECT Code, Qty * -1 AS Neg FROM Val120 ORDER BY Neg → C3|-3; B2|-2; A1|-1",
       "SELECT Code, Qty * -1 AS neg FROM Val120 ORDER BY NEG DESC, Code → A1|-1; B2|-2; C3|-3"});
  // A column of the table wins over an alias of the same name.
  ExpectQueries(
      db_,
      {"SELECT Code, Qty * -1 AS Qty FROM Val120 ORDER BY Qty → A1|-1; B2|-2; C3|-3",
       "SELECT Name AS Code, Code AS Name FROM Val120 ORDER BY Code → one|A1; two|B2; three|C3"});
  // An alias of a subquery's select list is a column of the outer query.
  EXPECT_EQ(
      Rows(db_, "SELECT Code FROM (SELECT Code, Qty * -1 AS Neg FROM Val120) AS s ORDER BY Neg"),
      V({"C3", "B2", "A1"}));
  // Qualified, a name is never an alias; unknown, it is a parameter.
  EXPECT_EQ(QueryError(db_, "SELECT Qty * -1 AS Neg FROM Val120 ORDER BY Val120.Neg"), 3061);
  EXPECT_EQ(QueryError(db_, "SELECT Code FROM Val120 ORDER BY Nothing"), 3061);
}

TEST_F(StatementTest, SelectIntoMakesATableOfTheResultAndRefusesAnExistingOne) {
  db_.Execute("SELECT Code, Qty * 2 AS Twice, Left(Name, 1) INTO Made FROM Val120 WHERE Qty>1");
  EXPECT_EQ(db_.RecordsAffected(), 2);
  EXPECT_EQ(Rows(db_, "SELECT * FROM Made ORDER BY Code"), V({"B2|4|t", "C3|6|t"}));
  TableDef made = db_.TableDefs()["Made"];
  EXPECT_EQ(made.Fields()["Code"].Type(), kText);
  EXPECT_EQ(made.Fields()["Code"].Size(), 20);
  EXPECT_EQ(made.Fields()["Expr1000"].Type(), kText);
  EXPECT_FALSE(ReturnsRows("SELECT Code INTO Made2 FROM Val120"));
  EXPECT_TRUE(ReturnsRows("SELECT Code FROM Val120"));
  EXPECT_EQ(ExecuteError(db_, "SELECT Code INTO Made FROM Val120"), 3010);
  EXPECT_EQ(ExecuteError(db_, "SELECT Nope INTO Made3 FROM Val120"), 3061);
  EXPECT_EQ(ErrorOf([&] { db_.OpenRecordset("SELECT Code INTO Made4 FROM Val120"); }), 3219);
  for (const char* misplaced :
       {"SELECT Code FROM Val120 WHERE Code IN (SELECT Code INTO Made5 FROM Val120)",
        "INSERT INTO Val120 (Code) SELECT Code INTO Made6 FROM Val120"})
    EXPECT_EQ(ExecuteError(db_, misplaced), 3141) << misplaced;
  for (const char* gone : {"Made3", "Made4", "Made5", "Made6"})
    EXPECT_EQ(ErrorOf([&] { db_.TableDefs()[gone]; }), 3265) << gone;
  EXPECT_EQ(QueryError(db_, "SELECT Code FROM Val120 ORDER BY 3"), 3138);
}

TEST_F(StatementTest, ComputedTextColumnsOfASubqueryCompareIgnoringCase) {
  const std::string sub =
      "(SELECT Code, Name, UCase(Name) AS Upper, Name & '' AS Plain, Qty * 2 AS Twice FROM "
      "Val120) AS s";
  EXPECT_EQ(Rows(db_, "SELECT s.Code FROM " + sub + " WHERE s.Upper = 'one'"), V({"A1"}));
  EXPECT_EQ(Rows(db_, "SELECT s.Code FROM " + sub + " WHERE s.Twice = 4"), V({"B2"}));
  EXPECT_EQ(Rows(db_, "SELECT Val120.Code FROM Val120 INNER JOIN " + sub +
                          " ON Val120.Name = s.Upper WHERE Val120.Code='C3'"),
            V({"C3"}));
  db_.Execute("INSERT INTO Val120 (Code, Name) VALUES ('D4', 'ONE')");
  EXPECT_EQ(
      Rows(db_, "SELECT s.Plain, Count(*) FROM " + sub + " WHERE s.Plain='one' GROUP BY s.Plain"),
      V({"one|2"}));
}

TEST_F(StatementTest, RowsThatBreakRulesAreSkippedUnlessFailOnErrorUndoesTheStatement) {
  db_.Execute("CREATE TABLE Src (Code TEXT(50), Name TEXT(50), Qty TEXT(10))");
  for (const char* row :
       {"('D4', 'ok', '4')", "('a1', 'dup key', '5')", "('E5', 'a name far too long', '6')",
        "('F6', 'bad number', 'abc')", "(Null, 'no key', '7')"})
    db_.Execute(std::string("INSERT INTO Src VALUES ") + row);
  const std::string insert = "INSERT INTO Val120 (Code, Name, Qty) SELECT Code, Name, Qty FROM Src";
  EXPECT_EQ(ExecuteError(db_, insert, kFailOnError), 3022);
  EXPECT_EQ(ExecuteError(db_, insert + " WHERE Code<>'a1'", kFailOnError), 3163);
  EXPECT_EQ(Scalar(db_, "SELECT Count(*) FROM Val120").ToLong(), 3);
  db_.Execute(insert);
  EXPECT_EQ(db_.RecordsAffected(), 1);
  EXPECT_EQ(Rows(db_, "SELECT Code, Qty FROM Val120 ORDER BY Code"),
            V({"A1|1", "B2|2", "C3|3", "D4|4"}));
  TableDef t = db_.CreateTableDef("R");
  Field a = t.CreateField("A", kText, 10);
  a.SetRequired(true);
  t.Fields().Append(a);
  t.Fields().Append(t.CreateField("B", kText, 10));  // DAO default: no zero-length strings
  db_.TableDefs().Append(t);
  Run(db_, {"INSERT INTO R VALUES (Null, 'x')", "INSERT INTO R VALUES ('y', '')",
            "INSERT INTO R VALUES ('z', 'ok')"});
  EXPECT_EQ(Rows(db_, "SELECT A FROM R"), V({"z"}));
  EXPECT_EQ(ExecuteError(db_, "INSERT INTO R VALUES (Null, 'x')", kFailOnError), 3314);
  EXPECT_EQ(ExecuteError(db_, "INSERT INTO R VALUES ('y', '')", kFailOnError), 3315);
}

TEST_F(StatementTest, InsertSelectWithoutColumnListPairsColumnsByName) {
  Run(db_, {"CREATE TABLE Src (Qty LONG, Code TEXT(20))", "INSERT INTO Src VALUES (9, 'D4')",
            "INSERT INTO Val120 SELECT * FROM Src"});
  EXPECT_EQ(Rows(db_, "SELECT Code, Qty, Name FROM Val120 WHERE Code='D4'"), V({"D4|9|Null"}));
  Run(db_,
      {"CREATE TABLE Other (Code TEXT(20), Extra LONG)", "INSERT INTO Other VALUES ('E5', 1)"});
  EXPECT_EQ(ExecuteError(db_, "INSERT INTO Val120 SELECT * FROM Other"), 3127);
  EXPECT_EQ(ExecuteError(db_, "INSERT INTO Val120 SELECT Code, Qty+1 FROM Src"), 3127);
  EXPECT_EQ(ExecuteError(db_, "INSERT INTO Val120 VALUES ('X9')"), 3346);
}

TEST_F(StatementTest, WritesIntoFieldsConvertAsTheConversionFunctionsDo) {
  Run(db_, {"CREATE TABLE D (Code TEXT(20), Price DOUBLE)",
            "INSERT INTO D (Code, Price) SELECT Code, Price FROM Val120 WHERE Code='A1'"});
  EXPECT_EQ(Scalar(db_, "SELECT Price FROM D").ToDouble(), static_cast<double>(0.1f));
  // Whichever way the value arrives, a Single column keeps single precision.
  db_.Execute("UPDATE Val120 SET Price=0.7 WHERE Code='C3'");
  EXPECT_EQ(Scalar(db_, "SELECT Price FROM Val120 WHERE Code='C3'").ToDouble(),
            static_cast<double>(0.7f));
  EXPECT_EQ(Scalar(db_, "SELECT CCur(Price) FROM Val120 WHERE Code='C3'").ToText(), "0.7");
  db_.Execute(
      "CREATE TABLE Conv (Id LONG, S SINGLE, C CURRENCY, L LONG, B YESNO, D DATETIME, T "
      "TEXT(30))");
  const std::pair<std::string, std::string> pairs[] = {
      {"CSng", "S"}, {"CCur", "C"}, {"CLng", "L"}, {"CBool", "B"}, {"CDate", "D"}, {"CStr", "T"}};
  int id = 0;
  // Named references, not a structured binding: Clang before 16 cannot capture one in a lambda.
  for (const auto& pair : pairs) {
    const std::string& function = pair.first;
    const std::string& column = pair.second;
    for (std::string x : {"'12.5'", "2.5", "3.5", "' yes '", "'2020/02/29 13:45:00'", "1E+20",
                          "'abc'", "0.15", "-7"}) {
      SCOPED_TRACE(function + "(" + x + ") into " + column);
      std::string computed;
      int error =
          ErrorOf([&] { computed = Scalar(db_, "SELECT " + function + "(" + x + ")").ToText(); });
      std::string insert =
          "INSERT INTO Conv (Id, " + column + ") VALUES (" + std::to_string(++id) + ", " + x + ")";
      db_.Execute(insert);
      EXPECT_EQ(db_.RecordsAffected(), error ? 0 : 1);  // what the function refuses is skipped
      if (error) {
        EXPECT_NE(ExecuteError(db_, insert, kFailOnError), 0);
      } else {
        std::string stored = "SELECT " + column + " FROM Conv WHERE Id=" + std::to_string(id);
        EXPECT_EQ(Scalar(db_, stored).ToText(), computed);
      }
    }
  }
}

TEST_F(StatementTest, YesNoFieldsAreNeverNull) {
  Run(db_, {"INSERT INTO Val120 (Code) VALUES ('D4')",
            "INSERT INTO Val120 (Code, Flag) VALUES ('E5', Null)",
            "UPDATE Val120 SET Flag=Null WHERE Code='A1'",
            "CREATE TABLE Src (Code TEXT(20), Flag YESNO, Price LONG)",
            "INSERT INTO Src (Code, Price) VALUES ('F6', 1)"});
  db_.Execute(
      "INSERT INTO Val120 (Code, Flag) SELECT 'G' & Val120.Code, Src.Flag FROM Val120 LEFT JOIN "
      "Src ON Val120.Code=Src.Code WHERE Val120.Code='B2'");  // Null from the outer join
  db_.Execute("UPDATE Val120 SET Flag=(Qty>1) WHERE Code='B2'");
  db_.Execute("UPDATE Val120 SET Flag=(MakeDay>#2000/01/01#) WHERE Code='C3'");  // Null
  ExpectQueries(db_, {"SELECT Code, Flag FROM Val120 ORDER BY Code → A1|False; B2|True; C3|False; "
                      "D4|False; E5|False; GB2|False",
                      "SELECT Code, Flag FROM Src → F6|False"});
  // Added to a table with rows, a Yes/No field is No in them, whatever its default.
  TableDef src = db_.TableDefs()["Src"];
  Field done = src.CreateField("Done", kBoolean);
  done.SetDefaultValue("True");
  src.Fields().Append(done);
  Run(db_, {"ALTER TABLE Src ADD COLUMN Checked YESNO", "INSERT INTO Src (Code) VALUES ('H7')"});
  EXPECT_EQ(Rows(db_, "SELECT Code, Done, Checked FROM Src ORDER BY Code"),
            V({"F6|False|False", "H7|True|False"}));
}

TEST_F(StatementTest, UpdateWithInnerJoinAndDeleteWithJoinChangeOnlyMatchingRows) {
  Run(db_, {"CREATE TABLE Old (Code TEXT(20), ValPrice1 CURRENCY, MakeDay TEXT(10))",
            "INSERT INTO Old VALUES ('a1', 100, '2019')", "INSERT INTO Old VALUES ('C3', 300, '')",
            "INSERT INTO Old VALUES ('Z9', 900, '2019')",
            "UPDATE Val120 INNER JOIN Old ON (Val120.Code=Old.Code) SET "
            "Val120.ValPrice1=Old.ValPrice1 WHERE NOT ISNULL(Old.MakeDay) AND Old.MakeDay<>''"});
  EXPECT_EQ(db_.RecordsAffected(), 1);
  EXPECT_EQ(Rows(db_, "SELECT ValPrice1 FROM Val120 ORDER BY Code"), V({"100", "2", "3"}));
  // A condition on the target's own columns, then on the joined table only.
  db_.Execute("DELETE Val120.* FROM Val120 INNER JOIN Old ON Val120.Code=Old.Code WHERE Qty=3");
  EXPECT_EQ(Rows(db_, "SELECT Code FROM Val120"), V({"A1", "B2"}));
  db_.Execute(
      "DELETE Val120.* FROM Val120 INNER JOIN Old ON Val120.Code=Old.Code WHERE Old.ValPrice1<200");
  ExpectQueries(db_, {"SELECT Code FROM Val120 → B2", "SELECT Count(*) FROM Old → 3"});
  db_.Execute("DELETE * FROM Old WHERE LEN(Code)>=2 AND Code<>'Z9'");
  EXPECT_EQ(Rows(db_, "SELECT Code FROM Old"), V({"Z9"}));
  db_.Execute("DELETE FROM Old");
  EXPECT_EQ(db_.RecordsAffected(), 1);
}

TEST_F(StatementTest, DefinitionStatementsShapeTheCatalog) {
  db_.Execute(
      "CREATE TABLE [Cri 地区] (t TEXT(50) NOT NULL, [コメント] MEMO, b BYTE, s SHORT, l LONG, "
      "[ID] COUNTER CONSTRAINT pk PRIMARY KEY, f SINGLE, d DOUBLE, n NUMBER, c CURRENCY, "
      "dt DATETIME, y YESNO, o OLEOBJECT, v VARCHAR, u INTEGER UNIQUE, CONSTRAINT ix UNIQUE (b, "
      "s))");
  for (const char* values : {"('a', '単価2,×,105', 1, 1, 1)", "('b', 'same b and s', 1, 1, 2)",
                             "('c', 'same u', 1, 2, 1)", "('d', '福島', 1, 2, 2)"})
    db_.Execute(std::string("INSERT INTO [Cri 地区] (t, [コメント], b, s, u) VALUES ") + values);
  EXPECT_EQ(Rows(db_, "SELECT [ID], [コメント] FROM [Cri 地区] ORDER BY [ID]"),
            V({"1|単価2,×,105", "2|福島"}));
  Run(db_, {"ALTER TABLE [Cri 地区] ADD COLUMN Extra TEXT(5)",
            "ALTER TABLE [Cri 地区] ADD x DOUBLE", "ALTER TABLE [Cri 地区] DROP COLUMN o"});
  TableDef t = db_.TableDefs()["cri 地区"];
  std::string shape;  // name type size, "!" when required
  for (Field f : t.Fields())
    shape += f.Name() + " " + std::to_string(f.Type()) + " " + std::to_string(f.Size()) +
             (f.Required() ? "!, " : ", ");
  EXPECT_EQ(shape,
            "t 10 50!, コメント 12 0, b 2 1, s 3 2, l 4 4, ID 4 4, f 6 4, d 7 8, n 7 8, c 5 8, "
            "dt 8 8, y 1 1, v 10 255, u 4 4, Extra 10 5, x 7 8, ");
  EXPECT_EQ(t.Fields()["id"].Attributes() & kAutoIncrField, kAutoIncrField);
  Run(db_, {"CREATE UNIQUE INDEX BigIndex ON [Cri 地区] (l DESC)",
            "INSERT INTO [Cri 地区] (t, l) VALUES ('e', 7)",
            "INSERT INTO [Cri 地区] (t, l) VALUES ('f', 7)", "CREATE TABLE K (A LONG, B TEXT(5))",
            "ALTER TABLE K ADD CONSTRAINT PrimaryKey PRIMARY KEY (A)"});
  EXPECT_EQ(ExecuteError(db_, "CREATE UNIQUE INDEX P ON K (B) WITH PRIMARY"), 3283);
  db_.Execute("CREATE UNIQUE INDEX BIndex ON K (B)");
  for (const char* values : {"(1, 'x')", "(1, 'y')", "(2, 'X')"})
    db_.Execute(std::string("INSERT INTO K VALUES ") + values);
  EXPECT_EQ(Rows(db_, "SELECT t FROM [Cri 地区] UNION ALL SELECT B FROM K"),
            V({"a", "d", "e", "x"}));
  EXPECT_EQ(ExecuteError(db_, "CREATE TABLE val120 (A LONG)"), 3010);
  Run(db_, {"DROP INDEX BigIndex ON [Cri 地区]", "DROP TABLE [Cri 地区]"});
  EXPECT_EQ(ExecuteError(db_, "DROP TABLE [Cri 地区]"), 3376);
}

TEST_F(StatementTest, CountersNumberNewRowsFromTheirSeedAndKeysCanBeRenumbered) {
  Run(db_, {"CREATE TABLE Numbered (Id COUNTER(10, 5), Name TEXT(10))",
            "INSERT INTO Numbered (Name) VALUES ('a')",
            "ALTER TABLE Numbered ADD COLUMN Down AUTOINCREMENT(100, -10)"});
  for (const char* name : {"b", "c", "d"})
    db_.Execute(std::string("INSERT INTO Numbered (Name) VALUES ('") + name + "')");
  EXPECT_EQ(Rows(db_, "SELECT * FROM Numbered ORDER BY Id"),
            V({"10|a|Null", "15|b|100", "20|c|90", "25|d|80"}));
  db_.Execute(
      "CREATE TABLE Exp_Ind ([ID] COUNTER, Big LONG, CONSTRAINT PrimaryKey PRIMARY KEY ([ID]))");
  for (int big : {10, 11, 12})
    db_.Execute("INSERT INTO Exp_Ind (Big) VALUES (" + std::to_string(big) + ")");
  db_.Execute("UPDATE Exp_Ind SET [ID]=[ID]+1 WHERE [ID]>=2");
  EXPECT_EQ(db_.RecordsAffected(), 2);
  Run(db_,
      {"INSERT INTO Exp_Ind ([ID], Big) VALUES (2, 34)", "INSERT INTO Exp_Ind (Big) VALUES (13)"});
  EXPECT_EQ(Rows(db_, "SELECT [ID], Big FROM Exp_Ind ORDER BY [ID]"),
            V({"1|10", "2|34", "3|11", "4|12", "5|13"}));
  // A renumbering that ends in a collision keeps what it can, row by row.
  db_.Execute("UPDATE Exp_Ind SET [ID]=1 WHERE [ID]>=4");
  EXPECT_EQ(Scalar(db_, "SELECT Count(*) FROM Exp_Ind WHERE [ID]=1").ToLong(), 1);
  EXPECT_EQ(ExecuteError(db_, "UPDATE Exp_Ind SET [ID]=1 WHERE [ID]=2", kFailOnError), 3022);
  EXPECT_EQ(Scalar(db_, "SELECT Big FROM Exp_Ind WHERE [ID]=2").ToLong(), 34);
}

TEST_F(StatementTest, TheUpdateRoutinesParenthesizedQueryRuns) {
  Run(db_,
      {"CREATE TABLE Uke (UkeCode TEXT(10), KelmoraFile YESNO)",
       "CREATE TABLE Ukes (UkeCode LONG, NowCode TEXT(10), Recode TEXT(10))",
       "INSERT INTO Uke VALUES ('0012', False)", "INSERT INTO Uke VALUES ('13', True)",
       "INSERT INTO Ukes VALUES (12, 'x', '1001')", "INSERT INTO Ukes VALUES (13, 'y', '1002')"});
  EXPECT_EQ(Rows(db_,
                 "SELECT UkeCode FROM Uke WHERE (((Val([UkeCode])) In (SELECT Ukes.UkeCode From "
                 "Ukes WHERE (((Ukes.[NowCode])<>'') AND ((Ukes.[Recode])<>'')) GROUP BY "
                 "Ukes.UkeCode)) AND ((Uke.KelmoraFile)=False));"),
            V({"0012"}));
}

TEST_F(StatementTest, BadStatementsRaiseTheirNumbersAndHostileOnesNeverCrash) {
  db_.Execute("CREATE TABLE J (Code TEXT(20), Qty LONG)");
  EXPECT_EQ(ExecuteError(db_, "SELECT * FROM Nowhere"), 3065);
  EXPECT_EQ(ErrorOf([&] { db_.OpenRecordset("SELECT * FROM Nowhere"); }), 3078);
  EXPECT_EQ(ExecuteError(db_, "DELETE FROM Val120 WHERE NoSuchColumn=1"), 3061);
  EXPECT_EQ(ExecuteError(db_, "UPDATE Val120 SET Qty=Qty+ WHERE 1"), 3075);
  EXPECT_EQ(ErrorOf([&] {
              db_.OpenRecordset("SELECT Qty FROM Val120 INNER JOIN J ON Val120.Code=J.Code");
            }),
            3079);
  EXPECT_EQ(Scalar(db_, "SELECT Count(*) FROM Val120").ToLong(), 3);
  Run(db_, {"CREATE TABLE T (A LONG, B TEXT(5), CONSTRAINT PrimaryKey PRIMARY KEY (A))",
            "CREATE TABLE U (A LONG, C DOUBLE)", "INSERT INTO T VALUES (1, 'x')"});
  auto survive = [&](const std::string& sql) {
    try {
      sql.starts_with("SELECT") ? (void)Rows(db_, sql) : db_.Execute(sql);
    } catch (const Failure& failure) {
      EXPECT_GE(failure.number(), 5) << sql;
      EXPECT_FALSE(failure.description().empty()) << sql;
    }
  };
  for (const char* sql :
       {"SELECT * FROM T, U, T", "SELECT T.* FROM U",
        "SELECT * FROM (SELECT * FROM (SELECT A FROM T) AS X) AS Y WHERE Y.A=1",
        "UPDATE T INNER JOIN U ON T.A=U.A SET T.B=U.C, U.C=1",
        "UPDATE T SET B=(SELECT Max(C) FROM U)",
        "DELETE U.* FROM T INNER JOIN U ON T.A=U.A WHERE T.B='x'",
        "DELETE * FROM T INNER JOIN U ON T.A=U.A", "INSERT INTO T (A, A) VALUES (1, 2)",
        "INSERT INTO T (Z) VALUES (1)", "INSERT INTO T SELECT A, C AS B FROM U",
        "INSERT INTO T SELECT * FROM T UNION SELECT * FROM T"})
    survive(sql);
  for (const char* sql :
       {"CREATE INDEX I ON Nowhere (A)", "CREATE INDEX I ON T (Nope)",
        "ALTER TABLE T ADD COLUMN A LONG", "ALTER TABLE T DROP COLUMN Nope",
        "ALTER TABLE T ALTER COLUMN B TEXT(10)", "DROP INDEX Nope ON T", "DROP TABLE MSysKrInfo",
        "UPDATE T SET A=A/0", "UPDATE T SET B=B & B & B & B & B & B",
        "DELETE FROM T WHERE A IN (SELECT A FROM U WHERE U.A=T.A AND EXISTS (SELECT * FROM T))",
        "UPDATE [T] SET [B]='ｸﾞﾘｰﾝﾊﾞﾝｸ' WHERE [B] Like '*ｸﾞﾘｰﾝ*'"})
    survive(sql);
  EXPECT_EQ(Scalar(db_, "SELECT Count(*) FROM T").ToLong(), 1);
  EXPECT_EQ(Scalar(db_, "SELECT Count(*) FROM MSysKrInfo").ToLong() > 0, true);
}

}  // namespace
}  // namespace kr::db::engine::test
