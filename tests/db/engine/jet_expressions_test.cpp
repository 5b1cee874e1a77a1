// Jet expressions rendered for SQLite and run there: operators, truth values, Null, text
// comparison, Like, and Jet's functions (conversions with banker's rounding and their errors,
// text functions counting characters, dates, aggregates). Results are checked, not SQL text.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>

#include "db/engine/dao_errors.h"
#include "db/engine/jet_expressions.h"
#include "db/engine/jet_functions.h"
#include "db/engine/jet_parser.h"
#include "platform/platform.h"
#include "tests/db/engine/engine_fixture.h"

namespace kr::db::engine {
namespace {

// An in-memory SQLite database with the jet_* functions and a small resolver. Columns of the
// one-row table t (and of the rows of table r, see Rows()):
//   s TEXT 'Abc'          j TEXT '日本語テキスト'   e TEXT ''      nul TEXT Null
//   n INTEGER 5           r REAL 1.0 (Double)       sg REAL single 0.1 (Single)
//   b INTEGER -1 (Boolean)  d REAL 43928.75 (Date 2020/04/07 18:00)  code TEXT '120000007123'
//   cs TEXT 'Abc' in a column without the collation
class JetExpressions : public ::testing::Test, public ExpressionResolver {
 protected:
  JetExpressions() {
    if (sqlite3_open(":memory:", &db_) != SQLITE_OK) throw std::runtime_error("open");
    if (RegisterJetFunctions(db_) != SQLITE_OK) throw std::runtime_error("register");
    Exec(
        "CREATE TABLE t (s TEXT COLLATE JET_JA, j TEXT COLLATE JET_JA, e TEXT COLLATE JET_JA, "
        "nul TEXT COLLATE JET_JA, n INTEGER, r REAL, sg REAL, b INTEGER, d REAL, "
        "code TEXT COLLATE JET_JA, cs TEXT);"
        "INSERT INTO t VALUES ('Abc', '日本語テキスト', '', NULL, 5, 1.0, 0.10000000149011612, -1, "
        "43928.75, '120000007123', 'Abc');"
        "CREATE TABLE r (k INTEGER, s TEXT COLLATE JET_JA, n INTEGER);"
        "INSERT INTO r VALUES (1, 'apple', 10), (2, 'Banana', NULL), (3, 'cherry', 30),"
        " (4, NULL, 40), (5, 'ＡＢＣ', 50), (6, 'a%b_c', 60), (7, '[x]', 70), (8, 'x1y', 80);");
  }
  ~JetExpressions() override { sqlite3_close(db_); }

  void Exec(const std::string& sql) {
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
      throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in " + sql);
  }

  ColumnInfo ResolveColumn(const Expr& expr) override {
    const std::map<std::string, DataType> types = {
        {"s", DataType::kText},    {"j", DataType::kText},    {"e", DataType::kText},
        {"nul", DataType::kText},  {"n", DataType::kLong},    {"r", DataType::kDouble},
        {"sg", DataType::kSingle}, {"b", DataType::kBoolean}, {"d", DataType::kDate},
        {"code", DataType::kText}, {"cs", DataType::kText},   {"k", DataType::kLong}};
    auto it = types.find(expr.column);
    if (it == types.end()) throw DaoFailure(kDaoTooFewParameters, "1");
    return ColumnInfo{SqlIdentifier(expr.column), it->second, expr.column != "cs"};
  }

  // A minimal generator for subqueries: SELECT items FROM one table [WHERE].
  std::string RenderSubquery(const Select& select) override {
    std::string sql = "SELECT ";
    for (size_t i = 0; i < select.items.size(); ++i)
      sql += (i > 0 ? "," : "") + RenderValue(*select.items[i].expr, *this);
    sql += " FROM " + SqlIdentifier(select.from.at(0).name);
    if (select.where) sql += " WHERE " + RenderCondition(*select.where, *this);
    return sql;
  }

  // The value of a Jet expression over table t, as "int:-1", "real:0.5", "text:abc", "null",
  // or "error NNNN" for a Jet error raised while it runs.
  std::string Eval(std::string_view jet) {
    return Query("SELECT " + RenderValue(*ParseExpression(jet), *this) + " FROM t");
  }

  // The keys k of table r whose row satisfies a Jet condition, as "1,3,5" ("" for none).
  std::string Rows(std::string_view condition) {
    std::string keys = Query("SELECT coalesce(group_concat(k), '') FROM (SELECT k FROM r WHERE " +
                             RenderCondition(*ParseExpression(condition), *this) + " ORDER BY k)");
    return keys.substr(5);  // "text:"
  }

  // The first value of a query, in Eval's forms.
  std::string Query(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
      throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in " + sql);
    std::string result;
    if (int rc = sqlite3_step(stmt); rc == SQLITE_ROW) {
      const int type = sqlite3_column_type(stmt, 0);
      if (type == SQLITE_INTEGER) {
        result = "int:" + std::to_string(sqlite3_column_int64(stmt, 0));
      } else if (type == SQLITE_FLOAT) {
        char real[40];
        snprintf(real, sizeof real, "real:%.17g", sqlite3_column_double(stmt, 0));
        result = real;
      } else {
        const unsigned char* text = sqlite3_column_text(stmt, 0);
        result = text ? "text:" + std::string(reinterpret_cast<const char*>(text)) : "null";
      }
    } else if (rc != SQLITE_DONE) {
      auto failure = FailureFromSqliteMessage(sqlite3_errmsg(db_));
      result = failure ? "error " + std::to_string(failure->number()) : sqlite3_errmsg(db_);
    }
    sqlite3_finalize(stmt);
    return result;
  }

  // Cases "expression → what it gives": Eval's result, or the keys Rows selects.
  void ExpectEvals(std::initializer_list<std::string_view> cases) {
    for (auto [jet, result] : test::SplitCases(cases)) EXPECT_EQ(Eval(jet), result) << jet;
  }
  void ExpectRows(std::initializer_list<std::string_view> cases) {
    for (auto [jet, result] : test::SplitCases(cases)) EXPECT_EQ(Rows(jet), result) << jet;
  }

  sqlite3* db_ = nullptr;
};

TEST_F(JetExpressions, TrueIsMinusOneWhereATruthValueIsKept) {
  ExpectEvals({"n = 5 → int:-1", "nul = 'x' → null", "IsNull(nul) → int:-1",
               "nul Is Not Null → int:0", "True Xor False → int:-1", "True Xor True → int:0",
               "(nul = 'x') Xor True → null", "False Eqv False → int:-1", "True Imp False → int:0",
               "False Imp (nul = 'x') → int:-1", "(nul = 'x') Imp True → int:-1",
               "(nul = 'x') Or True → int:-1", "(nul = 'x') And False → int:0", "Not 5 → int:0"});
}

TEST_F(JetExpressions, ArithmeticFollowsJet) {
  ExpectEvals(
      {"7 / 2 → real:3.5",  "n / 2 → real:2.5",     "7.5 \\ 2 → int:4",  "6.5 \\ 2 → int:3",
       "-7 \\ 2 → int:-3",  "7.5 Mod 3 → int:2",    "-7 Mod 3 → int:-1", "2 ^ 10 → real:1024",
       "-2 ^ 2 → real:-4",  "n + 1 → int:6",        "n - nul → null",    "d + 1 → real:43929.75",
       "-True → int:1",     "- -n → int:5",         "n - -1 → int:6",    "n / 0 → error 11",
       "n \\ 0 → error 11", "n Mod 0 → error 11",   "nul / 0 → null",    "s + 'x' → text:Abcx",
       "'1' + 2 → real:3",  "'1.5' + n → real:6.5", "s + nul → null",    "s + 1 → error 3464"});
}

TEST_F(JetExpressions, AmpersandTreatsNullAsEmptyAndWritesNumbersAsJetDoes) {
  ExpectEvals({"nul & nul → null", "nul & 'a' → text:a", "'a' & nul → text:a", "r & 'x' → text:1x",
               "sg & '' → text:0.1", "n & '-' & 2.5 → text:5-2.5", "b & '' → text:True",
               "d & '' → text:2020/04/07 18:00:00", "(n = 5) & '' → text:True", "e & nul → text:"});
}

TEST_F(JetExpressions, TextComparesCaseInsensitively) {
  ExpectEvals({"s = 'ABC' → int:-1", "'ABC' = s → int:-1", "cs = 'ABC' → int:-1",
               "Left(s, 1) = 'a' → int:-1", "UCase(s) = LCase(s) → int:-1",
               "'abc' < 'ABD' → int:-1", "s In ('x', 'ABC') → int:-1",
               "Mid(s, 2) Between 'B' And 'C' → int:-1"});
  EXPECT_EQ(Rows("s >= 'B' And s < 'D'"), "2,3");
  // Computed text sorts ignoring case too: apple, Banana, cherry.
  ExprPtr first = ParseExpression("Left(s, 1)");
  EXPECT_EQ(Query("SELECT group_concat(k) FROM (SELECT k FROM r WHERE k < 4 ORDER BY " +
                  RenderSortKey(*first, *this) + ")"),
            "text:1,2,3");
}

TEST_F(JetExpressions, LikeTakesJetWildcards) {
  Exec("INSERT INTO r VALUES (9, 'ｸﾞﾘｰﾝﾊﾞﾝｸ工法', 90)");
  ExpectRows({"s Like 'a*' → 1,5,6", "s Like '*AN*' → 2", R"(s Like '?????' → 1,6)",
              "s Like 'x#y' → 8", "s Like '[ab]*' → 1,2,5,6", "s Like '[!ab]*' → 3,7,8,9",
              "s Like '[a-c]*' → 1,2,3,5,6", "s Like 'a%b_c' → 6", "s Like 'a[%]b*' → 6",
              "s Like '[[]x]' → 7", "s Like 'ａｂｃ' → 5", "s Not Like '*a*' → 3,7,8,9",
              "s Like s → 1,2,3,5,6,8,9", "n Like '#0' → 1,3,4,5,6,7,8,9",
              "s LIKE '*ｸﾞﾘｰﾝﾊﾞﾝｸ*' → 9"});
  ExpectEvals({"nul Like '*' → null", "s Like s & '[a' → error 93"});
}

TEST_F(JetExpressions, SubqueriesAndWhereTruth) {
  ExpectRows({"s In (SELECT s FROM t) → 5", "n > (SELECT n FROM t) * 10 → 6,7,8",
              "InStr(s, 'an') → 2", "n → 1,3,4,5,6,7,8", "-1 → 1,2,3,4,5,6,7,8",
              "Not IsNull(n) And n <> 10 → 3,4,5,6,7,8"});
}

TEST_F(JetExpressions, LiteralsReachSqliteUnchangedAndStaticTypesFollowOperands) {
  const std::pair<const char*, DataType> types[] = {
      {"s & n", DataType::kText},      {"n * 2", DataType::kLong},
      {"n / 2", DataType::kDouble},    {"CCur(sg)", DataType::kCurrency},
      {"n = 1", DataType::kBoolean},   {"Len(s)", DataType::kLong},
      {"#2020/1/1#", DataType::kDate}, {"Null", DataType::kUnknown},
  };
  for (const auto& [jet, type] : types) EXPECT_EQ(StaticType(*ParseExpression(jet), *this), type);
  ExpectEvals({"'it''s' → text:it's", "\"say \"\"hi\"\"\" → text:say \"hi\"", "2.0 → real:2",
               "'緑　　研' → text:緑　　研"});
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
  EXPECT_EQ(Eval(ands), "int:-1");
  EXPECT_EQ(Eval(ors), "int:0");
  EXPECT_EQ(Eval(sum), "int:5");
  EXPECT_EQ(Eval("Len(" + text + ")"), "int:93");
  EXPECT_EQ(Eval("nul & nul & nul"), "null");
  EXPECT_EQ(Eval("nul & nul & 1"), "text:1");
}

TEST_F(JetExpressions, AChainOfTenThousandAndsRendersFlatWithoutDeepRecursion) {
  // Built as the parser builds a chain, left-deep, past the height the parser itself accepts.
  ExprPtr chain = ParseExpression("n = 5");
  for (int i = 0; i < 10000; ++i) {
    auto node = std::make_unique<Expr>();
    node->kind = ExprKind::kBinary;
    node->binary_op = BinaryOp::kAnd;
    node->args.push_back(std::move(chain));
    node->args.push_back(ParseExpression("n <> " + std::to_string(i + 10)));
    chain = std::move(node);
  }
  const std::string sql = RenderCondition(*chain, *this);
  EXPECT_EQ(std::count(sql.begin(), sql.end(), '('), 10002);  // each term's, and one around
  EXPECT_TRUE(sql.starts_with(R"x((("n" = 5) AND ("n" <> 10) AND)x")) << sql.substr(0, 40);
  // Dismantled from the top, so that freeing it does not recurse ten thousand deep either.
  while (chain->kind == ExprKind::kBinary) chain = std::move(chain->args[0]);
}

TEST_F(JetExpressions, ConversionsRoundHalfToEvenAndRaiseJetErrors) {
  ExpectEvals({"CCur(sg) = 0.1 → int:-1", "CCur(0.03125) = 0.0312 → int:-1",
               "CCur(0.09375) = 0.0938 → int:-1", "CCur(nul) → null", "CCur('abc') → error 3464",
               "CCur(1E+16) → error 6", "CSng(0.1) → real:0.10000000149011612",
               "CSng(1E+39) → error 6", "CInt(2.5) → int:2", "CInt(3.5) → int:4",
               "CInt(-2.5) → int:-2", "CInt(32767.4) → int:32767", "CInt(32767.5) → error 6",
               "CInt(-32768.5) → int:-32768", "CLng(2147483647.5) → error 6",
               "CLng('  -12.5 ') → int:-12", "CByte(255.5) → error 6", "CByte(-0.4) → int:0"});
  ExpectEvals({"CDbl('1,234.5') → real:1234.5", "CDbl('&H10') → real:16", "CDbl('') → error 3464",
               "CDbl(b) → real:-1", "CBool(5) → int:-1", "CBool('False') → int:0",
               "Val('&HFFFF') → real:-1", "Val(e) → real:0", "Val(code) → real:120000007123",
               "Val(nul) → null"});
}

TEST_F(JetExpressions, CStrWritesJetTextForms) {
  ExpectEvals({"CStr(r) → text:1", "CStr(sg) → text:0.1", "CStr(b) → text:True",
               "CStr(d) → text:2020/04/07 18:00:00", "CStr(#2020/4/7#) → text:2020/04/07",
               "CStr(1/3) → text:0.333333333333333", "CStr(1E+20) → text:1E+20",
               "CStr(0.00001) → text:1E-05", "CStr(0.0001) → text:0.0001",
               "CStr(1E+15) → text:1E+15", "CStr(123456789012345) → text:123456789012345",
               "CStr(0.1 + 0.2) → text:0.3", "CStr(-0.0) → text:0",
               "CStr(CSng(1234.567)) → text:1234.567"});
}

TEST_F(JetExpressions, TextFunctionsCountCharactersNotBytes) {
  ExpectEvals({"Len(j) → int:7", "Len(nul) → null", "Len(12.5) → int:4", "Left(j, 2) → text:日本",
               "Right(j, 3) → text:キスト", "Mid(j, 3, 2) → text:語テ", "Mid(j, 6) → text:スト",
               "Right(s, 10) → text:Abc", "Right(s, 0) → text:", "Left(n * 100, 2) → text:50",
               "Left(s, n - 6) → error 5", "Mid(s, 0) → error 5", "Left(s, nul) → error 94",
               "Left(nul, 2) → null"});
  ExpectEvals({"InStr(s, 'C') → int:3", "InStr(j, 'テキ') → int:4",
               "InStr(2, 'abcABC', 'a') → int:4", "InStr(s, 'zz') → int:0", "InStr(s, '') → int:1",
               "InStr(0, s, 'a') → error 5", "Trim('  a b  ') → text:a b",
               "LTrim('  a ') → text:a ", "RTrim('  a ') → text:  a", "Trim('　a') → text:　a",
               "UCase('abcäöü') → text:ABCÄÖÜ", "LCase('ＡＢＣ Abc') → text:ａｂｃ abc",
               "UCase(j) → text:日本語テキスト", "Space(3) & '|' → text:   |"});
}

TEST_F(JetExpressions, IIfNzAndMathFunctionsGiveNullForNullAndRefuseTheirDomainsOutside) {
  ExpectEvals({"IIf(n > 3, 'big', 'small') → text:big", "IIf(nul = 'x', 1, 2) → int:2",
               "Nz(nul) → text:", "Nz(nul, 0) → int:0", "IsNull(e) → int:0", "Int(-2.5) → real:-3",
               "Fix(-2.5) → real:-2", "Int(n) → int:5", "Int('3.7') → real:3", "Abs(-n) → int:5",
               "Abs('-3') → real:3", "Sgn(-0.5) → int:-1", "Round(2.5) → real:2",
               "Round(1.2345, 2) → real:1.23", "Sqr(16) → real:4", "Cos(0) → real:1",
               "Tan(0) → real:0", "Exp(0) → real:1", "Log(1) → real:0"});
  ExpectEvals({"Sin(nul) → null", "Atn(nul) → null", "Sqr(-1) → error 5", "Log(0) → error 5",
               "Exp(1000) → error 6", "Sqr('x') → error 3464", "Atn(1) * 4 > 3.14159 → int:-1",
               "IsNumeric('12.5') → int:-1", "IsNumeric('abc') → int:0", "IsNumeric(nul) → int:0",
               "IsNumeric(n) → int:-1"});
}

class FixedClock : public platform::Env {
 public:
  platform::LocalTime Now() override { return {2020, 4, 7, 15, 30, 0}; }
};

TEST_F(JetExpressions, DatesAreOleDatesAndTheClockComesFromThePlatform) {
  FixedClock clock;
  platform::ScopedEnv scoped(clock);
  ExpectEvals({"Date() → real:43928", "Now() → real:43928.645833333336",
               "Time() → real:0.64583333333575865",
               "Year(d) & '-' & Month(d) & '-' & Day(d) & ' ' & Hour(d) → text:2020-4-7 18",
               "Minute(#10:45:30#) + Second(#10:45:30#) → int:75",
               "CDate('2020/4/7 15:30') → real:43928.645833333336",
               "CDate('4/7/2020') → real:43928", "CDate('20/4/7') → real:43928",
               "CDate('someday') → error 3464", "d > #2020/4/7# → int:-1"});
}

TEST_F(JetExpressions, AggregatesIncludingFirstAndLast) {
  for (auto [jet, result] :
       test::SplitCases({"Count(*) → int:8", "Count(n) → int:7", "Sum(n) → int:340",
                         "Max(s) → text:x1y", "Min(s) → text:[x]", "First(s) → text:apple",
                         "Last(s) → text:x1y", "Avg(n) * 7 → real:340"}))
    EXPECT_EQ(Query("SELECT " + RenderValue(*ParseExpression(jet), *this) +
                    " FROM (SELECT * FROM r ORDER BY k)"),
              result)
        << jet;
}

TEST_F(JetExpressions, TextFunctionsOfVbaWithTheirNullRules) {
  ExpectEvals({"Replace('a-b-c', '-', '+') → text:a+b+c", "Replace(s, 'B', 'x') → text:Axc",
               "Replace(s, 'B', 'x', 1, -1, 0) → text:Abc", "Replace('ｱｲｱ', 'ア', 'X') → text:XｲX",
               "Replace('abcabc', 'b', '', 3) → text:cac",
               "Replace('aaa', 'a', 'b', 1, 2) → text:bba", "Replace(nul, 'a', 'b') → error 94",
               "Replace(s, 'a', 'b', 0) → error 5", "InStrRev('abcabc', 'b') → int:5",
               "InStrRev('abcabc', 'b', 4) → int:2", "InStrRev('ａｂｃ', 'B') → int:2",
               "InStrRev(nul, 'a') → null", "InStrRev(s, 'a', 0) → error 5",
               "InStr(1, 'aBc', 'b', 0) → int:0", "InStr(1, 'aBc', 'b', 1) → int:2",
               "InStr(1, 'aBc', 'b', 7) → error 5"});
  ExpectEvals(
      {"StrComp('abc', 'ＡＢＣ') → int:0", "StrComp('abc', 'ABC', 0) → int:1",
       "StrComp('a', 'b') → int:-1", "StrComp('a', nul) → null", "StrComp('a', 'b', 3) → error 5",
       "StrConv('abc ｶﾞ', 4) → text:ａｂｃ　ガ", "StrConv('ＡＢＣ　ガ', 8) → text:ABC ｶﾞ",
       "StrConv('あいう', 16) → text:アイウ", "StrConv('アイウ', 32) → text:あいう",
       "StrConv('hello wORLD', 3) → text:Hello World", "StrConv(nul, 1) → null",
       "StrConv(s, 12) → error 5", "StrReverse('日本a') → text:a本日", "StrReverse(nul) → error 94",
       "String(3, 'ab') → text:aaa", "String(2, 65) → text:AA", "String(3, nul) → null",
       "String(-1, 'a') → error 5", "String(nul, 'a') → error 94"});
  ExpectEvals({"Chr(65) → text:A", "Chr(-32096) → text:あ", "Chr(&H82A0) → text:あ",
               "Chr(177) → text:ｱ", "Chr(nul) → error 94", "Chr(70000) → error 5",
               "Asc('A') → int:65", "Asc('あ') → int:-32096", "Asc('ｱ') → int:177",
               "Asc(e) → error 5", "Asc(nul) → error 94"});
}

TEST_F(JetExpressions, DateFunctionsCarryOverAndKeepNullWhereVbaDoes) {
  // d is 2020/04/07 18:00, a Tuesday.
  ExpectEvals({"DateSerial(2020, 4, 7) → real:43928", "DateSerial(2020, 13, 1) → real:44197",
               "DateSerial(20, 2, 30) → real:43891", "DateSerial(nul, 1, 1) → error 94",
               "DateSerial(10000, 1, 1) → error 5", "TimeSerial(18, 0, 0) → real:0.75",
               "TimeSerial(nul, 0, 0) → error 94", "DateValue('2020/4/7 15:30') → real:43928",
               "DateValue('Apr 7, 2020') → real:43928", "DateValue(d) → real:43928",
               "DateValue(nul) → error 94", "DateValue('someday') → error 3464",
               "CDate('Apr 6, 2003') → real:37717",
               "CDate('6 April 2003 3:30 PM') → real:37717.645833333336",
               "CDate('6-Apr-03') → real:37717", "CDate('Smarch 6, 2003') → error 3464"});
  ExpectEvals({"Weekday(d) → int:3", "Weekday(d, 2) → int:2", "Weekday(nul) → null",
               "Weekday(d, 8) → error 5", "DatePart('yyyy', d) → int:2020",
               "DatePart('q', d) → int:2", "DatePart('y', d) → int:98", "DatePart('w', d) → int:3",
               "DatePart('ww', d) → int:15", "DatePart('h', d) → int:18",
               "DatePart('d', nul) → null", "DatePart('x', d) → error 5",
               "DateAdd('m', 1, #2020/01/31#) → real:43890", "DateAdd('d', 1, d) → real:43929.75",
               "DateAdd('h', -18, d) → real:43928", "DateAdd('yyyy', 1, nul) → null",
               "DateAdd('d', nul, d) → error 94", "DateAdd('z', 1, d) → error 5",
               "DateAdd('yyyy', 8000, d) → error 5"});
  ExpectEvals(
      {"DateDiff('d', #2020/1/1#, d) → int:97", "DateDiff('m', #2019/12/31#, #2020/1/1#) → int:1",
       "DateDiff('yyyy', #2019/12/31#, #2020/1/1#) → int:1",
       "DateDiff('h', #10:59#, #11:00#) → int:1", "DateDiff('w', #2020/1/1#, #2020/1/15#) → int:2",
       "DateDiff('ww', #2020/1/4#, #2020/1/5#) → int:1", "DateDiff('d', nul, d) → null",
       "DateDiff('x', d, d) → error 5"});
}

TEST_F(JetExpressions, FormatWritesNamedAndUserFormats) {
  // d is 2020/04/07 18:00, a Tuesday.
  ExpectEvals(
      {"Format(1234.5, 'Currency') → text:\u00A51,235",
       "Format(-1234.5, 'Currency') → text:-\u00A51,235", "Format(1234.5, 'Fixed') → text:1234.50",
       "Format(1234.5, 'Standard') → text:1,234.50", "Format(0.1234, 'Percent') → text:12.34%",
       "Format(1234.5, 'Scientific') → text:1.23E+03",
       "Format(1234.5, 'General Number') → text:1234.5", "Format(0, 'Yes/No') → text:No",
       "Format(b, 'True/False') → text:True", "Format(n, 'On/Off') → text:On",
       "Format(1234.567, '#,##0.00') → text:1,234.57", "Format(5, '000') → text:005",
       "Format(0.5, '#.##') → text:.5", "Format(-3, '0;(0)') → text:(3)",
       "Format(0, '0;(0);\"zero\"') → text:zero", "Format(2.5, '0') → text:3",
       "Format(12345, '0.0E+00') → text:1.2E+04", "Format(d) → text:2020/04/07 18:00:00",
       "Format(d, 'Long Date') → text:2020年4月7日"});
  ExpectEvals(
      {"Format(d, 'Short Date') → text:2020/04/07", "Format(d, 'Long Time') → text:18:00:00",
       "Format(d, 'Short Time') → text:18:00",
       "Format(d, 'General Date') → text:2020/04/07 18:00:00",
       "Format(d, 'yyyy/mm/dd hh:nn') → text:2020/04/07 18:00",
       "Format(d, 'yy-m-d ddd mmm') → text:20-4-7 Tue Apr",
       "Format(d, 'dddd, mmmm d') → text:Tuesday, April 7", "Format(d, 'aaaa') → text:火曜日",
       "Format(d, 'h:mm AM/PM') → text:6:00 PM", "Format(d, 'q') → text:2",
       "Format('2020/4/7', 'yyyy年m月d日') → text:2020年4月7日",
       "Format(43928, 'yyyy/mm/dd') → text:2020/04/07", "Format('abc', '>@@@@') → text: ABC",
       "Format('abc', '!@@@@') → text:abc ", "Format('abcdef', '@@-@@') → text:abcd-ef",
       "Format('ABC', '<&') → text:abc", "Format(e, '@;\"(none)\"') → text:(none)",
       "Format(nul, '@;\"(none)\"') → text:(none)", "Format(nul, '0;-0;0;\"n/a\"') → text:n/a"});
  ExpectEvals({"Format(nul, '0.00') → null", "Format(nul) → null", "Format(s) → text:Abc",
               "Format(s, '0.00') → text:Abc", "Format(1.5) → text:1.5",
               "Format(1E308 * 10, '0.00E+00') → text:Infinity", "Format(d, 'ww', 9) → error 5",
               "Format(d, 'ww', nul) → error 94"});
}

}  // namespace
}  // namespace kr::db::engine
