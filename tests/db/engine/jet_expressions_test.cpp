// Jet expressions rendered for SQLite and run there: operators, truth values, Null, text
// comparison and Like. Results are checked, not the SQL text.
#include <gtest/gtest.h>

#include "tests/db/engine/jet_test_support.h"

namespace kr::db::engine {
namespace {

using testing::JetDb;

const std::string kPointOne = "real:0.10000000000000001";

class JetExpressions : public ::testing::Test {
 protected:
  JetDb db_;
};

TEST_F(JetExpressions, TrueIsMinusOneWhereATruthValueIsKept) {
  EXPECT_EQ(db_.Eval("n = 5"), "int:-1");
  EXPECT_EQ(db_.Eval("n = 4"), "int:0");
  EXPECT_EQ(db_.Eval("nul = 'x'"), "null");
  EXPECT_EQ(db_.Eval("Not (n = 5)"), "int:0");
  EXPECT_EQ(db_.Eval("True"), "int:-1");
  EXPECT_EQ(db_.Eval("n > 1 And s = 'abc'"), "int:-1");
  EXPECT_EQ(db_.Eval("IsNull(nul)"), "int:-1");
  EXPECT_EQ(db_.Eval("nul Is Not Null"), "int:0");
  EXPECT_EQ(db_.Eval("n Between 1 And 5"), "int:-1");
  EXPECT_EQ(db_.Eval("n In (1, 2, 5)"), "int:-1");
  EXPECT_EQ(db_.Eval("b = True"), "int:-1");
}

TEST_F(JetExpressions, LogicalOperatorsKeepJetNullRules) {
  EXPECT_EQ(db_.Eval("True Xor False"), "int:-1");
  EXPECT_EQ(db_.Eval("True Xor True"), "int:0");
  EXPECT_EQ(db_.Eval("(nul = 'x') Xor True"), "null");
  EXPECT_EQ(db_.Eval("False Eqv False"), "int:-1");
  EXPECT_EQ(db_.Eval("True Imp False"), "int:0");
  EXPECT_EQ(db_.Eval("False Imp (nul = 'x')"), "int:-1");
  EXPECT_EQ(db_.Eval("(nul = 'x') Imp True"), "int:-1");
  EXPECT_EQ(db_.Eval("(nul = 'x') Or True"), "int:-1");
  EXPECT_EQ(db_.Eval("(nul = 'x') And False"), "int:0");
  EXPECT_EQ(db_.Eval("Not 5"), "int:0");  // logical, not bitwise
}

TEST_F(JetExpressions, ArithmeticFollowsJet) {
  EXPECT_EQ(db_.Eval("7 / 2"), "real:3.5");
  EXPECT_EQ(db_.Eval("n / 2"), "real:2.5");
  EXPECT_EQ(db_.Eval("7.5 \\ 2"), "int:4");  // 7.5 rounds to 8
  EXPECT_EQ(db_.Eval("6.5 \\ 2"), "int:3");  // 6.5 rounds to 6
  EXPECT_EQ(db_.Eval("-7 \\ 2"), "int:-3");
  EXPECT_EQ(db_.Eval("7.5 Mod 3"), "int:2");
  EXPECT_EQ(db_.Eval("-7 Mod 3"), "int:-1");
  EXPECT_EQ(db_.Eval("2 ^ 10"), "real:1024");
  EXPECT_EQ(db_.Eval("-2 ^ 2"), "real:-4");
  EXPECT_EQ(db_.Eval("n + 1"), "int:6");
  EXPECT_EQ(db_.Eval("n - nul"), "null");
  EXPECT_EQ(db_.Eval("d + 1"), "real:43929.75");
  EXPECT_EQ(db_.Eval("-True"), "int:1");  // "--" would start an SQL comment
  EXPECT_EQ(db_.Eval("- -n"), "int:5");
  EXPECT_EQ(db_.Eval("n - -1"), "int:6");
}

TEST_F(JetExpressions, DivisionByZeroIsAnError) {
  EXPECT_EQ(db_.Eval("n / 0"), "error 11");
  EXPECT_EQ(db_.Eval("n / (n - 5)"), "error 11");
  EXPECT_EQ(db_.Eval("n \\ 0"), "error 11");
  EXPECT_EQ(db_.Eval("n Mod 0"), "error 11");
  EXPECT_EQ(db_.Eval("nul / 0"), "null");
}

TEST_F(JetExpressions, PlusConcatenatesTextsAndAddsNumbers) {
  EXPECT_EQ(db_.Eval("s + 'x'"), "text:Abcx");
  EXPECT_EQ(db_.Eval("'1' + 2"), "real:3");
  EXPECT_EQ(db_.Eval("'1.5' + n"), "real:6.5");
  EXPECT_EQ(db_.Eval("s + nul"), "null");
  EXPECT_EQ(db_.Eval("s + 1"), "error 3464");
}

TEST_F(JetExpressions, AmpersandTreatsNullAsEmptyAndWritesNumbersAsJetDoes) {
  EXPECT_EQ(db_.Eval("nul & nul"), "null");
  EXPECT_EQ(db_.Eval("nul & 'a'"), "text:a");
  EXPECT_EQ(db_.Eval("'a' & nul"), "text:a");
  EXPECT_EQ(db_.Eval("r & 'x'"), "text:1x");
  EXPECT_EQ(db_.Eval("sg & ''"), "text:0.1");
  EXPECT_EQ(db_.Eval("n & '-' & 2.5"), "text:5-2.5");
  EXPECT_EQ(db_.Eval("b & ''"), "text:True");
  EXPECT_EQ(db_.Eval("d & ''"), "text:2020/04/07 18:00:00");
  EXPECT_EQ(db_.Eval("(n = 5) & ''"), "text:True");
  EXPECT_EQ(db_.Eval("e & nul"), "text:");
}

TEST_F(JetExpressions, TextComparesCaseInsensitively) {
  EXPECT_EQ(db_.Eval("s = 'ABC'"), "int:-1");
  EXPECT_EQ(db_.Eval("'ABC' = s"), "int:-1");
  EXPECT_EQ(db_.Eval("cs = 'ABC'"), "int:-1");  // column without NOCASE
  EXPECT_EQ(db_.Eval("Left(s, 1) = 'a'"), "int:-1");
  EXPECT_EQ(db_.Eval("UCase(s) = LCase(s)"), "int:-1");
  EXPECT_EQ(db_.Eval("'abc' < 'ABD'"), "int:-1");
  EXPECT_EQ(db_.Eval("s In ('x', 'ABC')"), "int:-1");
  EXPECT_EQ(db_.Eval("Mid(s, 2) Between 'B' And 'C'"), "int:-1");
  EXPECT_EQ(db_.Rows("s >= 'B' And s < 'D'"), "2,3");
}

TEST_F(JetExpressions, LikeTakesJetWildcards) {
  EXPECT_EQ(db_.Rows("s Like 'a*'"), "1,6");
  EXPECT_EQ(db_.Rows("s Like '*AN*'"), "2");
  EXPECT_EQ(db_.Rows(R"(s Like '?????')"), "1,6");
  EXPECT_EQ(db_.Rows("s Like 'x#y'"), "8");
  EXPECT_EQ(db_.Rows("s Like '[ab]*'"), "1,2,6");
  EXPECT_EQ(db_.Rows("s Like '[!ab]*'"), "3,5,7,8");
  EXPECT_EQ(db_.Rows("s Like '[a-c]*'"), "1,2,3,6");
  EXPECT_EQ(db_.Rows("s Like 'a%b_c'"), "6");  // % and _ are plain characters
  EXPECT_EQ(db_.Rows("s Like 'a[%]b*'"), "6");
  EXPECT_EQ(db_.Rows("s Like '[[]x]'"), "7");
  EXPECT_EQ(db_.Rows("s Like 'ａｂｃ'"), "5");  // full-width letters fold too
  EXPECT_EQ(db_.Rows("s Not Like '*a*'"), "3,5,7,8");
  EXPECT_EQ(db_.Rows("s Like s"), "1,2,3,5,6,8");  // a pattern from a column: [x] is a class
  EXPECT_EQ(db_.Rows("n Like '#0'"), "1,3,4,5,6,7,8");
  EXPECT_EQ(db_.Eval("nul Like '*'"), "null");
  EXPECT_EQ(db_.Eval("s Like s & '[a'"), "error 93");
}

TEST_F(JetExpressions, LikeWithHalfWidthKatakanaUsesPlainLike) {
  db_.Exec("INSERT INTO r VALUES (9, 'ｸﾞﾘｰﾝﾊﾞﾝｸ工法', 90)");
  EXPECT_EQ(db_.Rows("s LIKE '*ｸﾞﾘｰﾝﾊﾞﾝｸ*'"), "9");
}

TEST_F(JetExpressions, ExistsAndInWithSubqueries) {
  EXPECT_EQ(db_.Rows("k In (SELECT n FROM t)"), "5");
  EXPECT_EQ(db_.Rows("s In (SELECT s FROM t)"), "");
  EXPECT_EQ(db_.Rows("Exists (SELECT n FROM t WHERE n = 5) And k < 3"), "1,2");
  EXPECT_EQ(db_.Rows("Not Exists (SELECT n FROM t WHERE n = 6) And k = 1"), "1");
  EXPECT_EQ(db_.Rows("n > (SELECT n FROM t) * 10"), "6,7,8");
}

TEST_F(JetExpressions, WhereTruthIsNonZero) {
  EXPECT_EQ(db_.Rows("InStr(s, 'an')"), "2");
  EXPECT_EQ(db_.Rows("n"), "1,3,4,5,6,7,8");
  EXPECT_EQ(db_.Rows("-1"), "1,2,3,4,5,6,7,8");
  EXPECT_EQ(db_.Rows("Not IsNull(n) And n <> 10"), "3,4,5,6,7,8");
}

TEST_F(JetExpressions, SortKeysFoldCaseOfComputedText) {
  ExprPtr e = ParseExpression("Left(s, 1)");
  std::string key = RenderSortKey(*e, db_);
  EXPECT_NE(key.find("COLLATE NOCASE"), std::string::npos);
  EXPECT_EQ(RenderSortKey(*ParseExpression("s"), db_), "\"s\"");
  EXPECT_EQ(RenderSortKey(*ParseExpression("n + 1"), db_), "(\"n\" + 1)");
}

TEST_F(JetExpressions, StaticTypesFollowOperandsAndFunctions) {
  EXPECT_EQ(StaticType(*ParseExpression("s & n"), db_), DataType::kText);
  EXPECT_EQ(StaticType(*ParseExpression("n * 2"), db_), DataType::kLong);
  EXPECT_EQ(StaticType(*ParseExpression("n / 2"), db_), DataType::kDouble);
  EXPECT_EQ(StaticType(*ParseExpression("CCur(sg)"), db_), DataType::kCurrency);
  EXPECT_EQ(StaticType(*ParseExpression("n = 1"), db_), DataType::kBoolean);
  EXPECT_EQ(StaticType(*ParseExpression("Len(s)"), db_), DataType::kLong);
  EXPECT_EQ(StaticType(*ParseExpression("#2020/1/1#"), db_), DataType::kDate);
  EXPECT_EQ(StaticType(*ParseExpression("Null"), db_), DataType::kUnknown);
}

TEST_F(JetExpressions, LiteralsReachSqliteUnchanged) {
  EXPECT_EQ(db_.Eval("'it''s'"), "text:it's");
  EXPECT_EQ(db_.Eval("\"say \"\"hi\"\"\""), "text:say \"hi\"");
  EXPECT_EQ(db_.Eval("&HFFFF"), "int:-1");
  EXPECT_EQ(db_.Eval("0.1"), kPointOne);
  EXPECT_EQ(db_.Eval("2.0"), "real:2");
  EXPECT_EQ(db_.Eval("#2020/04/07 18:00#"), "real:43928.75");
  EXPECT_EQ(db_.Eval("'緑　　研'"), "text:緑　　研");
  EXPECT_EQ(SqlTextLiteral(std::string("a\0b", 3)), "CAST(X'610062' AS TEXT)");
  EXPECT_EQ(SqlRealLiteral(3), "3.0");
  EXPECT_EQ(SqlIdentifier("a\"b"), "\"a\"\"b\"");
}

TEST_F(JetExpressions, LongChainsStayWithinSqliteNestingLimits) {
  std::string ands = "n = 5", ors = "n = 0", sum = "n", text = "s";
  for (int i = 0; i < 150; ++i) {
    ands += " And n <> " + std::to_string(i + 10);
    ors += " Or n = " + std::to_string(i + 10);
  }
  for (int i = 0; i < 90; ++i) {
    sum += " + 1 - 1";
    text += " & nul & 'x'";
  }
  EXPECT_EQ(db_.Eval(ands), "int:-1");
  EXPECT_EQ(db_.Eval(ors), "int:0");
  EXPECT_EQ(db_.Eval(sum), "int:5");
  EXPECT_EQ(db_.Eval("Len(" + text + ")"), "int:93");
  EXPECT_EQ(db_.Eval("nul & nul & nul"), "null");
  EXPECT_EQ(db_.Eval("nul & nul & 1"), "text:1");
}

TEST_F(JetExpressions, ResolverFailuresPassThrough) {
  try {
    db_.Eval("nosuchcolumn = 1");
    FAIL();
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 3061);
  }
}

}  // namespace
}  // namespace kr::db::engine
