// Odd and hostile statements end in a numbered error (or run), never in a crash or a hang.
#include "tests/db/engine/engine_fixture.h"

namespace kr::db::engine::test {
namespace {

class BadInputTest : public EngineTest {};

TEST_F(BadInputTest, OddStatementsFailWithANumberOrRun) {
  Database db = Create("b.mdb");
  db.Execute("CREATE TABLE T (A LONG, B TEXT(5), CONSTRAINT PrimaryKey PRIMARY KEY (A))");
  db.Execute("CREATE TABLE U (A LONG, C DOUBLE)");
  db.Execute("INSERT INTO T VALUES (1, 'x')");
  const char* statements[] = {
      "SELECT * FROM T, U, T",
      "SELECT T.* FROM U",
      "SELECT * FROM (SELECT * FROM (SELECT A FROM T) AS X) AS Y WHERE Y.A=1",
      "UPDATE T INNER JOIN U ON T.A=U.A SET T.B=U.C, U.C=1",
      "UPDATE T SET B=(SELECT Max(C) FROM U)",
      "DELETE U.* FROM T INNER JOIN U ON T.A=U.A WHERE T.B='x'",
      "DELETE * FROM T INNER JOIN U ON T.A=U.A",
      "INSERT INTO T (A, A) VALUES (1, 2)",
      "INSERT INTO T (Z) VALUES (1)",
      "INSERT INTO Nowhere VALUES (1)",
      "INSERT INTO T SELECT A, C AS B FROM U",
      "INSERT INTO T SELECT * FROM T UNION SELECT * FROM T",
      "CREATE TABLE V (A LONG, A TEXT)",
      "CREATE INDEX I ON Nowhere (A)",
      "CREATE INDEX I ON T (Nope)",
      "CREATE UNIQUE INDEX PrimaryKey ON T (B) WITH PRIMARY",
      "ALTER TABLE T ADD COLUMN A LONG",
      "ALTER TABLE T DROP COLUMN Nope",
      "ALTER TABLE T ALTER COLUMN B TEXT(10)",
      "DROP INDEX Nope ON T",
      "DROP TABLE MSysKrInfo",
      "UPDATE T SET A=A/0",
      "UPDATE T SET B=B & B & B & B & B & B",
      "DELETE FROM T WHERE A IN (SELECT A FROM U WHERE U.A=T.A AND EXISTS (SELECT * FROM T))",
      "SELECT * FROM T WHERE B Like '[a'",
      "UPDATE [T] SET [B]='ｸﾞﾘｰﾝﾊﾞﾝｸ' WHERE [B] Like '*ｸﾞﾘｰﾝ*'",
  };
  for (const char* sql : statements) {
    try {
      if (std::string(sql).rfind("SELECT", 0) == 0)
        Rows(db, sql);
      else
        db.Execute(sql);
    } catch (const Failure& failure) {
      EXPECT_GE(failure.number(), 5) << sql;
      EXPECT_FALSE(failure.description().empty()) << sql;
    }
  }
  EXPECT_EQ(Scalar(db, "SELECT Count(*) FROM T").ToLong(), 1);
  EXPECT_EQ(Scalar(db, "SELECT Count(*) FROM MSysKrInfo").ToLong() > 0, true);
}

}  // namespace
}  // namespace kr::db::engine::test
