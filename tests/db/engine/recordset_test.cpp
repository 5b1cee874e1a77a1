// Recordsets: kinds, navigation, RecordCount, field names and types, edits, Find and Seek, and
// CompareOrdered, which agrees with ORDER BY so that two ordered reads can be merged.
#include "tests/db/engine/engine_fixture.h"

namespace kr::db::engine::test {
namespace {

class RecordsetTest : public EngineTest {
 protected:
  void SetUp() override {
    db_ = Create("r.mdb");
    Run(db_, {"CREATE TABLE Cri_Ind ([ID] LONG, StrtCode TEXT(10), EndCode TEXT(10), BigIndex "
              "TEXT(20), Price CURRENCY, Rate SINGLE, Day DATETIME, Flag YESNO, CONSTRAINT "
              "PrimaryKey PRIMARY KEY (StrtCode))",
              "INSERT INTO Cri_Ind VALUES (3, 'C', 'D', '道路', 30, 0.3, #2020/01/02#, True)",
              "INSERT INTO Cri_Ind VALUES (1, 'A', 'B', '労務単価', 10, 0.1, Null, False)",
              "INSERT INTO Cri_Ind VALUES (2, 'B', 'C', 'その他', 20, 0.2, Null, True)"});
  }
  Database db_;
};

TEST_F(RecordsetTest, TypesAndRecordCountHaveDaoMeaning) {
  EXPECT_EQ(db_.OpenRecordset("Cri_Ind").Type(), kOpenTable);
  EXPECT_EQ(db_.OpenRecordset("SELECT * FROM Cri_Ind").Type(), kOpenDynaset);
  EXPECT_EQ(db_.OpenRecordset("Cri_Ind", kOpenSnapshot).Type(), kOpenSnapshot);
  EXPECT_EQ(ErrorOf([&] { db_.OpenRecordset("SELECT * FROM Cri_Ind", kOpenTable); }), 3219);
  EXPECT_EQ(ErrorOf([&] { db_.OpenRecordset("Nowhere"); }), 3078);
  Recordset table = db_.OpenRecordset("Cri_Ind");
  EXPECT_EQ(table.RecordCount(), 3);
  Recordset dynaset = db_.OpenRecordset("SELECT * FROM Cri_Ind WHERE [ID]>=1");
  EXPECT_EQ(dynaset.RecordCount(), 1);
  dynaset.MoveLast();
  EXPECT_EQ(dynaset.RecordCount(), 3);
  Recordset grouped = db_.OpenRecordset("SELECT Flag, Count(*) FROM Cri_Ind GROUP BY Flag");
  EXPECT_EQ(grouped.RecordCount(), 1);
  grouped.MoveLast();
  EXPECT_EQ(grouped.RecordCount(), 2);
  Recordset empty = db_.OpenRecordset("SELECT * FROM Cri_Ind WHERE [ID]>9");
  EXPECT_TRUE(empty.Eof());
  EXPECT_TRUE(empty.Bof());
  EXPECT_EQ(empty.RecordCount(), 0);
  EXPECT_EQ(ErrorOf([&] { empty.MoveLast(); }), 3021);
  EXPECT_EQ(ErrorOf([&] { empty["ID"].GetValue(); }), 3021);
}

TEST_F(RecordsetTest, NavigationWalksForwardAndBack) {
  for (const char* source : {"SELECT [ID] FROM Cri_Ind ORDER BY [ID]",
                             "SELECT DISTINCT [ID] FROM Cri_Ind ORDER BY [ID]"}) {
    Recordset rs = db_.OpenRecordset(source);
    std::vector<int32_t> seen;
    while (!rs.Eof()) {
      seen.push_back(rs["ID"].GetValue().ToLong());
      rs.MoveNext();
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{1, 2, 3})) << source;
    EXPECT_EQ(ErrorOf([&] { rs.MoveNext(); }), 3021);
    rs.MovePrevious();
    EXPECT_EQ(rs["ID"].GetValue().ToLong(), 3);
    rs.MoveFirst();
    EXPECT_EQ(rs["ID"].GetValue().ToLong(), 1);
    rs.MovePrevious();
    EXPECT_TRUE(rs.Bof());
  }
}

TEST_F(RecordsetTest, FieldsCarryJetNamesAndCatalogTypes) {
  Recordset rs = db_.OpenRecordset(
      "SELECT C.[ID], C.StrtCode AS S, Count(*), C.Price*2, D.[ID] FROM Cri_Ind AS C INNER JOIN "
      "Cri_Ind AS D ON C.EndCode=D.StrtCode GROUP BY C.[ID], C.StrtCode, C.Price, D.[ID]");
  FieldCollection fields = rs.Fields();
  ASSERT_EQ(fields.Count(), 5);
  EXPECT_EQ(fields[0].Name(), "C.ID");
  EXPECT_EQ(fields[1].Name(), "S");
  EXPECT_EQ(fields[2].Name(), "Expr1000");
  EXPECT_EQ(fields[3].Name(), "Expr1001");
  EXPECT_EQ(fields[4].Name(), "D.ID");
  Recordset table = db_.OpenRecordset("Cri_Ind");
  EXPECT_EQ(table["Price"].Type(), kCurrency);
  EXPECT_EQ(table["Rate"].Type(), kSingle);
  table.MoveFirst();
  EXPECT_EQ(table["Price"].GetValue().kind(), Value::Kind::kCurrency);
  EXPECT_EQ(table["Rate"].GetValue().kind(), Value::Kind::kSingle);
  EXPECT_EQ(table["Flag"].GetValue(), Value(true));
  EXPECT_EQ(table["Day"].GetValue().ToText(), "2020/01/02");
  EXPECT_EQ(ErrorOf([&] { table["Nope"]; }), 3265);
}

TEST_F(RecordsetTest, EditAddNewDeleteChangeTheTableWithItsRules) {
  Recordset rs = db_.OpenRecordset("SELECT * FROM Cri_Ind WHERE StrtCode='B'");
  rs.Edit();
  rs["Price"].SetValue(Value(12.34567));
  rs["Rate"].SetValue(Value("0.7"));
  rs["Flag"].SetValue(Value());  // a Yes/No field given Null is No
  rs.Update();
  EXPECT_EQ(Rows(db_, "SELECT Price, Rate, Flag FROM Cri_Ind WHERE StrtCode='B'"),
            V({"12.3457|0.7|False"}));
  EXPECT_EQ(Scalar(db_, "SELECT Rate FROM Cri_Ind WHERE StrtCode='B'").ToDouble(),
            static_cast<double>(0.7f));
  EXPECT_EQ(ErrorOf([&] { rs["Price"].SetValue(Value(1)); }), 3020);
  rs.Edit();
  EXPECT_EQ(ErrorOf([&] { rs["Price"].SetValue(Value("abc")); }), 3421);
  rs["StrtCode"].SetValue(Value("a"));  // the key of another row, in another case
  EXPECT_EQ(ErrorOf([&] { rs.Update(); }), 3022);
  rs.CancelUpdate();

  Recordset table = db_.OpenRecordset("Cri_Ind");
  AddRow(table, {{"ID", Value(4)}, {"StrtCode", Value("D")}, {"BigIndex", Value("その他")}});
  EXPECT_EQ(table.RecordCount(), 4);
  EXPECT_EQ(Rows(db_, "SELECT Flag FROM Cri_Ind WHERE StrtCode='D'"), V({"False"}));
  table.AddNew();
  table["ID"].SetValue(Value(5));
  EXPECT_EQ(ErrorOf([&] { table.Update(); }), 3058);  // no key value
  table.CancelUpdate();
  table.MoveFirst();
  table.Delete();
  EXPECT_EQ(ErrorOf([&] { table["ID"].GetValue(); }), 3167);
  table.MoveNext();
  EXPECT_FALSE(table.Eof());
  EXPECT_EQ(Scalar(db_, "SELECT Count(*) FROM Cri_Ind").ToLong(), 3);
  Recordset joined = db_.OpenRecordset("SELECT Flag, Count(*) FROM Cri_Ind GROUP BY Flag");
  EXPECT_EQ(ErrorOf([&] { joined.Edit(); }), 3027);
  Recordset snapshot = db_.OpenRecordset("Cri_Ind", kOpenSnapshot);
  EXPECT_EQ(ErrorOf([&] { snapshot.AddNew(); }), 3027);
}

TEST_F(RecordsetTest, FindAndSeekMoveToMatchesOrSetNoMatch) {
  Recordset rs = db_.OpenRecordset("SELECT * FROM Cri_Ind ORDER BY [ID]");
  rs.FindFirst("BigIndex='その他' OR BigIndex='道路'");
  ASSERT_FALSE(rs.NoMatch());
  EXPECT_EQ(rs["ID"].GetValue().ToLong(), 2);
  rs.FindNext("BigIndex='その他' OR BigIndex='道路'");
  EXPECT_EQ(rs["ID"].GetValue().ToLong(), 3);
  rs.FindNext("BigIndex='その他' OR BigIndex='道路'");
  EXPECT_TRUE(rs.NoMatch());
  EXPECT_EQ(rs["ID"].GetValue().ToLong(), 3);
  rs.FindFirst("StrtCode='a'");
  EXPECT_EQ(rs["ID"].GetValue().ToLong(), 1);
  rs.FindLast("[ID]<3");
  EXPECT_EQ(rs["ID"].GetValue().ToLong(), 2);
  EXPECT_EQ(ErrorOf([&] { rs.FindFirst("Nope=1"); }), 3061);
  EXPECT_EQ(ErrorOf([&] { rs.FindFirst("StrtCode='"); }), 3075);
  Recordset keyed = db_.OpenRecordset("Cri_Ind");
  keyed.SetIndex("primarykey");
  EXPECT_EQ(keyed.Index(), "PrimaryKey");
  keyed.Seek("=", {Value("b")});
  ASSERT_FALSE(keyed.NoMatch());
  EXPECT_EQ(keyed["ID"].GetValue().ToLong(), 2);
  keyed.Seek(">", {Value("B")});
  EXPECT_EQ(keyed["StrtCode"].GetValue().ToText(), "C");
  keyed.Seek("=", {Value("Z")});
  EXPECT_TRUE(keyed.NoMatch());
  keyed.MoveFirst();  // ordered by the index now
  EXPECT_EQ(keyed["StrtCode"].GetValue().ToText(), "A");
  EXPECT_EQ(ErrorOf([&] { keyed.SetIndex("NoSuchIndex"); }), 3800);
}

TEST_F(RecordsetTest, ManyRowEditsAreAllKeptOnceTheDatabaseCloses) {
  db_.Execute("CREATE TABLE N (K LONG, V LONG)");
  Recordset rs = db_.OpenRecordset("N");
  for (int i = 0; i < 2500; ++i) {
    AddRow(rs, {{"K", Value(i)}});
  }
  EXPECT_EQ(rs.RecordCount(), 2500);
  rs.MoveFirst();
  while (!rs.Eof()) {
    rs.Edit();
    rs["V"].SetValue(Value(rs["K"].GetValue().ToLong() * 2));
    rs.Update();
    rs.MoveNext();
  }
  db_.Execute("DELETE FROM N WHERE K>=2000");  // a statement commits the edits before it
  db_.Close();
  Database again = OpenDatabase(Path("r.mdb"));
  EXPECT_EQ(Scalar(again, "SELECT Sum(V) FROM N").ToDouble(), 1999.0 * 2000.0);
}

TEST_F(RecordsetTest, AnotherHandleOnTheFileCanChangeItAfterRowEdits) {
  Recordset rs = db_.OpenRecordset("Cri_Ind");
  rs.MoveFirst();
  rs.Edit();
  rs["BigIndex"].SetValue(Value("edited"));
  rs.Update();
  Database second = OpenDatabase(Path("r.mdb"));
  second.Execute("UPDATE Cri_Ind SET Price=Price+1", kFailOnError);
  EXPECT_EQ(Rows(second, "SELECT BigIndex, Price FROM Cri_Ind WHERE [ID]=3"), V({"edited|31"}));
}

class OrderedCompareTest : public EngineTest {};

TEST_F(OrderedCompareTest, AgreesWithOrderByOnEveryKindOfColumn) {
  Database db = Create("o.mdb");
  db.Execute("CREATE TABLE T (X TEXT(10), N DOUBLE, C CURRENCY, D DATETIME, B YESNO, S SINGLE)");
  const char* rows[] = {"'b', 2, 1.5, #2020/01/02#, True, 0.1",
                        "'B', -1, 900000000000000.5, #1899/12/30#, False, 0.1",
                        "'ｂ', Null, -900000000000000.5, Null, False, -3",
                        "Null, 1e300, 0, #2020/01/01 12:00:00#, True, Null",
                        "'ア', 0.5, 0.0001, #1800/01/01#, False, 1e30",
                        "'あ', 0, 0, #2020/01/01#, True, 2",
                        "'1', -0.5, -1, #2100/12/31#, False, -0.5",
                        "'ガ', 3, 2, #2020/01/02 00:00:01#, True, 2.5"};
  for (const char* row : rows) db.Execute(std::string("INSERT INTO T VALUES (") + row + ")");
  for (const char* column : {"X", "N", "C", "D", "B", "S"}) {
    Recordset rs = db.OpenRecordset(std::string("SELECT ") + column + " FROM T ORDER BY " + column,
                                    kOpenForwardOnly);
    std::vector<Value> values;
    for (; !rs.Eof(); rs.MoveNext()) values.push_back(rs[0].GetValue());
    ASSERT_EQ(values.size(), std::size(rows));
    for (size_t i = 1; i < values.size(); ++i) {
      EXPECT_LE(CompareOrdered(values[i - 1], values[i]), 0)
          << column << " row " << i << ": " << values[i - 1].ToText() << " / "
          << values[i].ToText();
      EXPECT_GE(CompareOrdered(values[i], values[i - 1]), 0) << column << " row " << i;
    }
  }
  db.Close();
  // Letter case and width fold; the wide currency values compare exactly.
  EXPECT_EQ(CompareOrdered(Value::Text("ABC"), Value::Text("ａｂｃ")), 0);
  EXPECT_LT(CompareOrdered(Value::Currency(INT64_MAX - 1), Value::Currency(INT64_MAX)), 0);
  EXPECT_LT(CompareOrdered(Value(), Value::Long(-5)), 0);
  EXPECT_LT(CompareOrdered(Value::Double(1e300), Value::Text("")), 0);
  EXPECT_LT(CompareOrdered(Value::Text("z"), Value::Binary("\x01")), 0);
}

TEST_F(OrderedCompareTest, ForwardOnlyReadsOfOneTableGiveTheRowsADynasetGives) {
  Database db = Create("f.mdb");
  db.Execute("CREATE TABLE T (K TEXT(5), N LONG, CONSTRAINT PrimaryKey PRIMARY KEY (K))");
  for (const char* row : {"'b', 2", "'A', 1", "'ｃ', 3", "'d', Null"})
    db.Execute(std::string("INSERT INTO T VALUES (") + row + ")");
  for (const char* sql :
       {"SELECT * FROM T ORDER BY K", "SELECT TOP 2 K FROM T WHERE N>1 ORDER BY K DESC"}) {
    Recordset forward = db.OpenRecordset(sql, kOpenForwardOnly);
    Recordset dynaset = db.OpenRecordset(sql, kOpenDynaset);
    for (; !dynaset.Eof(); dynaset.MoveNext(), forward.MoveNext()) {
      ASSERT_FALSE(forward.Eof()) << sql;
      for (int i = 0; i < dynaset.Fields().Count(); ++i)
        EXPECT_EQ(forward[i].GetValue(), dynaset[i].GetValue()) << sql;
    }
    EXPECT_TRUE(forward.Eof()) << sql;
    EXPECT_EQ(kr::testing::FailureNumber([&] { forward.Edit(); }), 3027) << sql;
  }
  db.Close();
}

}  // namespace
}  // namespace kr::db::engine::test
