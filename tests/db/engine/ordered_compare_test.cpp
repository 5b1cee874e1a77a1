// CompareOrdered agrees with ORDER BY, so that two ordered reads can be merged.
#include "tests/db/engine/engine_fixture.h"

namespace kr::db::engine::test {
namespace {

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
