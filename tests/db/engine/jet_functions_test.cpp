// Jet's functions as the translator runs them in SQLite: conversions (with banker's rounding
// and their errors), text functions counting characters, Val, IIf/Nz, dates and aggregates.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/db/engine/jet_test_support.h"

namespace kr::db::engine {
namespace {

using testing::EvalCase;
using testing::JetDb;

class JetFunctions : public ::testing::Test {
 protected:
  JetDb db_;
};

TEST_F(JetFunctions, ConversionsRoundHalfToEvenAndRaiseJetErrors) {
  const EvalCase cases[] = {
      {"CCur(CSng(0.1))", "real:0.10000000000000001"},
      {"CCur(sg) = 0.1", "int:-1"},
      {"CCur(1.23456) = 1.2346", "int:-1"},
      {"CCur(0.03125) = 0.0312", "int:-1"},
      {"CCur(0.09375) = 0.0938", "int:-1"},
      {"CCur('12.5')", "real:12.5"},
      {"CCur(nul)", "null"},
      {"CCur('abc')", "error 3464"},
      {"CCur(1E+16)", "error 6"},
      {"CSng(0.1)", "real:0.10000000149011612"},
      {"CSng(0.1) = sg", "int:-1"},
      {"CSng('2.5')", "real:2.5"},
      {"CSng(1E+39)", "error 6"},
      {"CInt(2.5)", "int:2"},
      {"CInt(3.5)", "int:4"},
      {"CInt(-2.5)", "int:-2"},
      {"CInt(-3.5)", "int:-4"},
      {"CInt(2.51)", "int:3"},
      {"CInt(32767.4)", "int:32767"},
      {"CInt(32767.5)", "error 6"},
      {"CInt(-32768.5)", "int:-32768"},
      {"CInt('abc')", "error 3464"},
      {"CLng(2147483647.5)", "error 6"},
      {"CLng('  -12.5 ')", "int:-12"},
      {"CByte(255.5)", "error 6"},
      {"CByte(-0.4)", "int:0"},
      {"CDbl('1,234.5')", "real:1234.5"},
      {"CDbl('&H10')", "real:16"},
      {"CDbl('')", "error 3464"},
      {"CDbl(b)", "real:-1"},
      {"CBool(5)", "int:-1"},
      {"CBool('False')", "int:0"},
      {"CBool('x')", "error 3464"},
      {"Val('  12 34abc')", "real:1234"},
      {"Val('&HFFFF')", "real:-1"},
      {"Val(e)", "real:0"},
      {"Val(code)", "real:120000007123"},
      {"Val(nul)", "null"},
  };
  testing::ExpectEvals(db_, cases);
  EXPECT_EQ(db_.Query("SELECT jet_single('12')"), "real:12");
  EXPECT_EQ(db_.Query("SELECT jet_single(NULL)"), "null");
  EXPECT_EQ(db_.Query("SELECT jet_single('abc')"), "error 3464");
}

TEST_F(JetFunctions, CStrWritesJetTextForms) {
  const EvalCase cases[] = {
      {"CStr(r)", "text:1"},
      {"CStr(sg)", "text:0.1"},
      {"CStr(b)", "text:True"},
      {"CStr(d)", "text:2020/04/07 18:00:00"},
      {"CStr(#2020/4/7#)", "text:2020/04/07"},
      {"CStr(1/3)", "text:0.333333333333333"},
      {"CStr(1E+20)", "text:1E+20"},
      {"CStr(0.00001)", "text:1E-05"},
      {"CStr(s)", "text:Abc"},
  };
  testing::ExpectEvals(db_, cases);
}

TEST_F(JetFunctions, TextFunctionsCountCharactersNotBytes) {
  const EvalCase cases[] = {
      {"Len(j)", "int:7"},
      {"Len(nul)", "null"},
      {"Len(12.5)", "int:4"},
      {"Len(r)", "int:1"},
      {"Left(j, 2)", "text:日本"},
      {"Right(j, 3)", "text:キスト"},
      {"Mid(j, 3, 2)", "text:語テ"},
      {"Mid(j, 6)", "text:スト"},
      {"Right(s, 10)", "text:Abc"},
      {"Right(s, 0)", "text:"},
      {"Left(code, 9) = '120000007'", "int:-1"},
      {"Left(n * 100, 2)", "text:50"},
      {"Left(s, n - 6)", "error 5"},
      {"Mid(s, 0)", "error 5"},
      {"Left(s, nul)", "error 94"},
      {"Left(nul, 2)", "null"},
      {"InStr(s, 'C')", "int:3"},
      {"InStr(j, 'テキ')", "int:4"},
      {"InStr(2, 'abcABC', 'a')", "int:4"},
      {"InStr(s, 'zz')", "int:0"},
      {"InStr(s, '')", "int:1"},
      {"InStr(nul, 'a')", "null"},
      {"InStr(0, s, 'a')", "error 5"},
      {"Trim('  a b  ')", "text:a b"},
      {"LTrim('  a ')", "text:a "},
      {"RTrim('  a ')", "text:  a"},
      {"Trim('　a')", "text:　a"},
      {"UCase('abcäöü')", "text:ABCÄÖÜ"},
      {"LCase('ＡＢＣ Abc')", "text:ａｂｃ abc"},
      {"UCase(j)", "text:日本語テキスト"},
      {"UCase(nul)", "null"},
      {"Space(3) & '|'", "text:   |"},
  };
  testing::ExpectEvals(db_, cases);
}

TEST_F(JetFunctions, IIfNzAndNumberFunctions) {
  const EvalCase cases[] = {
      {"IIf(n > 3, 'big', 'small')", "text:big"},
      {"IIf(nul = 'x', 1, 2)", "int:2"},
      {"IIf(IsNull(nul), 'none', nul)", "text:none"},
      {"Nz(nul)", "text:"},
      {"Nz(nul, 0)", "int:0"},
      {"Nz(n, 0)", "int:5"},
      {"IsNull(e)", "int:0"},
      {"Int(-2.5)", "real:-3"},
      {"Fix(-2.5)", "real:-2"},
      {"Int(n)", "int:5"},
      {"Int('3.7')", "real:3"},
      {"Abs(-n)", "int:5"},
      {"Abs('-3')", "real:3"},
      {"Abs(s)", "error 3464"},
      {"Sgn(-0.5)", "int:-1"},
      {"Round(2.5)", "real:2"},
      {"Round(1.2345, 2)", "real:1.23"},
  };
  testing::ExpectEvals(db_, cases);
}

class FixedClock : public platform::Env {
 public:
  platform::LocalTime Now() override { return {2020, 4, 7, 15, 30, 0}; }
};

TEST_F(JetFunctions, DatesAreOleDatesAndTheClockComesFromThePlatform) {
  FixedClock clock;
  platform::ScopedEnv scoped(clock);
  const EvalCase cases[] = {
      {"Date()", "real:43928"},
      {"Now()", "real:43928.645833333336"},
      {"Time()", "real:0.64583333333575865"},
      {"Year(d) & '-' & Month(d) & '-' & Day(d) & ' ' & Hour(d)", "text:2020-4-7 18"},
      {"Minute(#10:45:30#) + Second(#10:45:30#)", "int:75"},
      {"CDate('2020/4/7 15:30')", "real:43928.645833333336"},
      {"CDate('4/7/2020')", "real:43928"},
      {"CDate('20/4/7')", "real:43928"},
      {"CDate('someday')", "error 3464"},
      {"d > #2020/4/7#", "int:-1"},
  };
  testing::ExpectEvals(db_, cases);
  EXPECT_EQ(db_.Query("SELECT jet_date('2020-04-07')"), "real:43928");
}

TEST_F(JetFunctions, AggregatesIncludingFirstAndLast) {
  auto query = [&](std::string_view items) {
    ExprPtr e = ParseExpression(items);
    return db_.Query("SELECT " + RenderValue(*e, db_) + " FROM (SELECT * FROM r ORDER BY k)");
  };
  EXPECT_EQ(query("Count(*)"), "int:8");
  EXPECT_EQ(query("Count(n)"), "int:7");
  EXPECT_EQ(query("Sum(n)"), "int:340");
  EXPECT_EQ(query("Max(s)"), "text:ＡＢＣ");
  EXPECT_EQ(query("Min(s)"), "text:[x]");
  EXPECT_EQ(query("First(s)"), "text:apple");
  EXPECT_EQ(query("Last(s)"), "text:x1y");
  EXPECT_EQ(query("First(n) + Last(n)"), "int:90");
  EXPECT_EQ(query("Avg(n) * 7"), "real:340");
}

}  // namespace
}  // namespace kr::db::engine
