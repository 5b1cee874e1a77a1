// Jet expressions rendered for SQLite and run there: operators, truth values, Null, text
// comparison and Like. Results are checked, not the SQL text. Functions: jet_functions_test.cpp.
#include <gtest/gtest.h>

#include "tests/db/engine/jet_test_support.h"

namespace kr::db::engine {
namespace {

using testing::EvalCase;
using testing::JetDb;

class JetExpressions : public ::testing::Test {
 protected:
  JetDb db_;
};

TEST_F(JetExpressions, TrueIsMinusOneWhereATruthValueIsKept) {
  const EvalCase cases[] = {
      {"n = 5", "int:-1"},
      {"n = 4", "int:0"},
      {"nul = 'x'", "null"},
      {"Not (n = 5)", "int:0"},
      {"True", "int:-1"},
      {"n > 1 And s = 'abc'", "int:-1"},
      {"IsNull(nul)", "int:-1"},
      {"nul Is Not Null", "int:0"},
      {"n Between 1 And 5", "int:-1"},
      {"n In (1, 2, 5)", "int:-1"},
      {"b = True", "int:-1"},
      {"True Xor False", "int:-1"},
      {"True Xor True", "int:0"},
      {"(nul = 'x') Xor True", "null"},
      {"False Eqv False", "int:-1"},
      {"True Imp False", "int:0"},
      {"False Imp (nul = 'x')", "int:-1"},
      {"(nul = 'x') Imp True", "int:-1"},
      {"(nul = 'x') Or True", "int:-1"},
      {"(nul = 'x') And False", "int:0"},
      {"Not 5", "int:0"},
  };
  testing::ExpectEvals(db_, cases);
}

TEST_F(JetExpressions, ArithmeticFollowsJet) {
  const EvalCase cases[] = {
      {"7 / 2", "real:3.5"},     {"n / 2", "real:2.5"},    {"7.5 \\ 2", "int:4"},
      {"6.5 \\ 2", "int:3"},     {"-7 \\ 2", "int:-3"},    {"7.5 Mod 3", "int:2"},
      {"-7 Mod 3", "int:-1"},    {"2 ^ 10", "real:1024"},  {"-2 ^ 2", "real:-4"},
      {"n + 1", "int:6"},        {"n - nul", "null"},      {"d + 1", "real:43929.75"},
      {"-True", "int:1"},        {"- -n", "int:5"},        {"n - -1", "int:6"},
      {"n / 0", "error 11"},     {"n \\ 0", "error 11"},   {"n Mod 0", "error 11"},
      {"nul / 0", "null"},       {"s + 'x'", "text:Abcx"}, {"'1' + 2", "real:3"},
      {"'1.5' + n", "real:6.5"}, {"s + nul", "null"},      {"s + 1", "error 3464"},
  };
  testing::ExpectEvals(db_, cases);
}

TEST_F(JetExpressions, AmpersandTreatsNullAsEmptyAndWritesNumbersAsJetDoes) {
  const EvalCase cases[] = {
      {"nul & nul", "null"},         {"nul & 'a'", "text:a"},
      {"'a' & nul", "text:a"},       {"r & 'x'", "text:1x"},
      {"sg & ''", "text:0.1"},       {"n & '-' & 2.5", "text:5-2.5"},
      {"b & ''", "text:True"},       {"d & ''", "text:2020/04/07 18:00:00"},
      {"(n = 5) & ''", "text:True"}, {"e & nul", "text:"},
  };
  testing::ExpectEvals(db_, cases);
}

TEST_F(JetExpressions, TextComparesCaseInsensitively) {
  const EvalCase cases[] = {
      {"s = 'ABC'", "int:-1"},           {"'ABC' = s", "int:-1"},
      {"cs = 'ABC'", "int:-1"},          {"Left(s, 1) = 'a'", "int:-1"},
      {"UCase(s) = LCase(s)", "int:-1"}, {"'abc' < 'ABD'", "int:-1"},
      {"s In ('x', 'ABC')", "int:-1"},   {"Mid(s, 2) Between 'B' And 'C'", "int:-1"},
  };
  testing::ExpectEvals(db_, cases);
  EXPECT_EQ(db_.Rows("s >= 'B' And s < 'D'"), "2,3");
  // Computed text sorts ignoring case too: apple, Banana, cherry.
  ExprPtr first = ParseExpression("Left(s, 1)");
  EXPECT_EQ(db_.Query("SELECT group_concat(k) FROM (SELECT k FROM r WHERE k < 4 ORDER BY " +
                      RenderSortKey(*first, db_) + ")"),
            "text:1,2,3");
}

TEST_F(JetExpressions, LikeTakesJetWildcards) {
  db_.Exec("INSERT INTO r VALUES (9, 'ｸﾞﾘｰﾝﾊﾞﾝｸ工法', 90)");
  const EvalCase cases[] = {
      {"s Like 'a*'", "1,6"},         {"s Like '*AN*'", "2"},
      {R"(s Like '?????')", "1,6"},   {"s Like 'x#y'", "8"},
      {"s Like '[ab]*'", "1,2,6"},    {"s Like '[!ab]*'", "3,5,7,8,9"},
      {"s Like '[a-c]*'", "1,2,3,6"}, {"s Like 'a%b_c'", "6"},
      {"s Like 'a[%]b*'", "6"},       {"s Like '[[]x]'", "7"},
      {"s Like 'ａｂｃ'", "5"},       {"s Not Like '*a*'", "3,5,7,8,9"},
      {"s Like s", "1,2,3,5,6,8,9"},  {"n Like '#0'", "1,3,4,5,6,7,8,9"},
      {"s LIKE '*ｸﾞﾘｰﾝﾊﾞﾝｸ*'", "9"},
  };
  testing::ExpectRows(db_, cases);
  EXPECT_EQ(db_.Eval("nul Like '*'"), "null");
  EXPECT_EQ(db_.Eval("s Like s & '[a'"), "error 93");
}

TEST_F(JetExpressions, SubqueriesAndWhereTruth) {
  const EvalCase cases[] = {
      {"k In (SELECT n FROM t)", "5"},
      {"s In (SELECT s FROM t)", ""},
      {"Exists (SELECT n FROM t WHERE n = 5) And k < 3", "1,2"},
      {"Not Exists (SELECT n FROM t WHERE n = 6) And k = 1", "1"},
      {"n > (SELECT n FROM t) * 10", "6,7,8"},
      {"InStr(s, 'an')", "2"},
      {"n", "1,3,4,5,6,7,8"},
      {"-1", "1,2,3,4,5,6,7,8"},
      {"Not IsNull(n) And n <> 10", "3,4,5,6,7,8"},
  };
  testing::ExpectRows(db_, cases);
}

TEST_F(JetExpressions, StaticTypesFollowOperandsAndFunctions) {
  const std::pair<const char*, DataType> cases[] = {
      {"s & n", DataType::kText},      {"n * 2", DataType::kLong},
      {"n / 2", DataType::kDouble},    {"CCur(sg)", DataType::kCurrency},
      {"n = 1", DataType::kBoolean},   {"Len(s)", DataType::kLong},
      {"#2020/1/1#", DataType::kDate}, {"Null", DataType::kUnknown},
  };
  for (const auto& [jet, type] : cases) EXPECT_EQ(StaticType(*ParseExpression(jet), db_), type);
}

TEST_F(JetExpressions, LiteralsReachSqliteUnchanged) {
  const EvalCase cases[] = {
      {"'it''s'", "text:it's"},
      {"\"say \"\"hi\"\"\"", "text:say \"hi\""},
      {"&HFFFF", "int:-1"},
      {"0.1", "real:0.10000000000000001"},
      {"2.0", "real:2"},
      {"#2020/04/07 18:00#", "real:43928.75"},
      {"'緑　　研'", "text:緑　　研"},
  };
  testing::ExpectEvals(db_, cases);
  EXPECT_EQ(SqlTextLiteral(std::string("a\0b", 3)), "CAST(X'610062' AS TEXT)");
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

}  // namespace
}  // namespace kr::db::engine
