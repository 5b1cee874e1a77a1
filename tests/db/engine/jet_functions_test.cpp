// Jet's functions as the translator runs them in SQLite: conversions (with banker's rounding
// and their errors), text functions counting characters, Val, IIf/Nz, dates and aggregates.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/db/engine/jet_test_support.h"

namespace kr::db::engine {
namespace {

using testing::JetDb;

class JetFunctions : public ::testing::Test {
 protected:
  JetDb db_;
};

TEST_F(JetFunctions, CurrencyRoundsToFourDecimalsAndCleansSinglePrecision) {
  EXPECT_EQ(db_.Eval("CCur(CSng(0.1))"), "real:0.10000000000000001");
  EXPECT_EQ(db_.Eval("CCur(sg)"), "real:0.10000000000000001");
  EXPECT_EQ(db_.Eval("CCur(sg) = 0.1"), "int:-1");
  EXPECT_EQ(db_.Eval("CCur(1.23456) = 1.2346"), "int:-1");
  EXPECT_EQ(db_.Eval("CCur(0.03125) = 0.0312"), "int:-1");  // half to even
  EXPECT_EQ(db_.Eval("CCur(0.09375) = 0.0938"), "int:-1");
  EXPECT_EQ(db_.Eval("CCur('12.5')"), "real:12.5");
  EXPECT_EQ(db_.Eval("CCur(nul)"), "null");
  EXPECT_EQ(db_.Eval("CCur('abc')"), "error 3464");
  EXPECT_EQ(db_.Eval("CCur(1E+16)"), "error 6");
}

TEST_F(JetFunctions, SingleHoldsSinglePrecision) {
  EXPECT_EQ(db_.Eval("CSng(0.1)"), "real:0.10000000149011612");
  EXPECT_EQ(db_.Eval("CSng(0.1) = sg"), "int:-1");
  EXPECT_EQ(db_.Eval("CSng('2.5')"), "real:2.5");
  EXPECT_EQ(db_.Eval("CSng(1E+39)"), "error 6");
  EXPECT_EQ(db_.Query("SELECT jet_single('12')"), "real:12");
  EXPECT_EQ(db_.Query("SELECT jet_single(NULL)"), "null");
  EXPECT_EQ(db_.Query("SELECT jet_single('abc')"), "error 3464");
}

TEST_F(JetFunctions, WholeNumberConversionsRoundHalfToEvenAndOverflow) {
  EXPECT_EQ(db_.Eval("CInt(2.5)"), "int:2");
  EXPECT_EQ(db_.Eval("CInt(3.5)"), "int:4");
  EXPECT_EQ(db_.Eval("CInt(-2.5)"), "int:-2");
  EXPECT_EQ(db_.Eval("CInt(-3.5)"), "int:-4");
  EXPECT_EQ(db_.Eval("CInt(2.51)"), "int:3");
  EXPECT_EQ(db_.Eval("CInt(32767.4)"), "int:32767");
  EXPECT_EQ(db_.Eval("CInt(32767.5)"), "error 6");
  EXPECT_EQ(db_.Eval("CInt(-32768.5)"), "int:-32768");
  EXPECT_EQ(db_.Eval("CInt('abc')"), "error 3464");
  EXPECT_EQ(db_.Eval("CLng(2147483647.5)"), "error 6");
  EXPECT_EQ(db_.Eval("CLng('  -12.5 ')"), "int:-12");
  EXPECT_EQ(db_.Eval("CByte(255.5)"), "error 6");
  EXPECT_EQ(db_.Eval("CByte(-0.4)"), "int:0");
  EXPECT_EQ(db_.Eval("CDbl('1,234.5')"), "real:1234.5");
  EXPECT_EQ(db_.Eval("CDbl('&H10')"), "real:16");
  EXPECT_EQ(db_.Eval("CDbl('')"), "error 3464");
  EXPECT_EQ(db_.Eval("CDbl(b)"), "real:-1");
  EXPECT_EQ(db_.Eval("CBool(5)"), "int:-1");
  EXPECT_EQ(db_.Eval("CBool('False')"), "int:0");
  EXPECT_EQ(db_.Eval("CBool('x')"), "error 3464");
}

TEST_F(JetFunctions, CStrWritesJetTextForms) {
  EXPECT_EQ(db_.Eval("CStr(r)"), "text:1");
  EXPECT_EQ(db_.Eval("CStr(sg)"), "text:0.1");
  EXPECT_EQ(db_.Eval("CStr(b)"), "text:True");
  EXPECT_EQ(db_.Eval("CStr(d)"), "text:2020/04/07 18:00:00");
  EXPECT_EQ(db_.Eval("CStr(#2020/4/7#)"), "text:2020/04/07");
  EXPECT_EQ(db_.Eval("CStr(1/3)"), "text:0.333333333333333");
  EXPECT_EQ(db_.Eval("CStr(1E+20)"), "text:1E+20");
  EXPECT_EQ(db_.Eval("CStr(0.00001)"), "text:1E-05");
  EXPECT_EQ(db_.Eval("CStr(s)"), "text:Abc");
}

TEST_F(JetFunctions, ValReadsTheLeadingNumberAsVbaDoes) {
  EXPECT_EQ(db_.Eval("Val('  12 34abc')"), "real:1234");
  EXPECT_EQ(db_.Eval("Val('&H1F')"), "real:31");
  EXPECT_EQ(db_.Eval("Val('&HFFFF')"), "real:-1");
  EXPECT_EQ(db_.Eval("Val('&O17')"), "real:15");
  EXPECT_EQ(db_.Eval("Val('1e3')"), "real:1000");
  EXPECT_EQ(db_.Eval("Val('-1.5e-1x')"), "real:-0.14999999999999999");
  EXPECT_EQ(db_.Eval("Val('1.2.3')"), "real:1.2");
  EXPECT_EQ(db_.Eval("Val('1,000')"), "real:1");
  EXPECT_EQ(db_.Eval("Val('abc')"), "real:0");
  EXPECT_EQ(db_.Eval("Val(e)"), "real:0");
  EXPECT_EQ(db_.Eval("Val(code)"), "real:120000007123");
  EXPECT_EQ(db_.Eval("Val(nul)"), "null");
}

TEST_F(JetFunctions, TextFunctionsCountCharactersNotBytes) {
  EXPECT_EQ(db_.Eval("Len(j)"), "int:7");
  EXPECT_EQ(db_.Eval("Len(nul)"), "null");
  EXPECT_EQ(db_.Eval("Len(12.5)"), "int:4");
  EXPECT_EQ(db_.Eval("Len(r)"), "int:1");
  EXPECT_EQ(db_.Eval("Left(j, 2)"), "text:日本");
  EXPECT_EQ(db_.Eval("Right(j, 3)"), "text:キスト");
  EXPECT_EQ(db_.Eval("Mid(j, 3, 2)"), "text:語テ");
  EXPECT_EQ(db_.Eval("Mid(j, 6)"), "text:スト");
  EXPECT_EQ(db_.Eval("Right(s, 10)"), "text:Abc");
  EXPECT_EQ(db_.Eval("Right(s, 0)"), "text:");
  EXPECT_EQ(db_.Eval("Left(code, 9) = '120000007'"), "int:-1");
  EXPECT_EQ(db_.Eval("Left(n * 100, 2)"), "text:50");
  EXPECT_EQ(db_.Eval("Left(s, n - 6)"), "error 5");
  EXPECT_EQ(db_.Eval("Mid(s, 0)"), "error 5");
  EXPECT_EQ(db_.Eval("Left(s, nul)"), "error 94");
  EXPECT_EQ(db_.Eval("Left(nul, 2)"), "null");
}

TEST_F(JetFunctions, InStrIsCaseInsensitiveAndCountsCharacters) {
  EXPECT_EQ(db_.Eval("InStr(s, 'C')"), "int:3");
  EXPECT_EQ(db_.Eval("InStr(j, 'テキ')"), "int:4");
  EXPECT_EQ(db_.Eval("InStr(2, 'abcABC', 'a')"), "int:4");
  EXPECT_EQ(db_.Eval("InStr(s, 'zz')"), "int:0");
  EXPECT_EQ(db_.Eval("InStr(s, '')"), "int:1");
  EXPECT_EQ(db_.Eval("InStr(nul, 'a')"), "null");
  EXPECT_EQ(db_.Eval("InStr(0, s, 'a')"), "error 5");
}

TEST_F(JetFunctions, TrimAndCaseFunctions) {
  EXPECT_EQ(db_.Eval("Trim('  a b  ')"), "text:a b");
  EXPECT_EQ(db_.Eval("LTrim('  a ')"), "text:a ");
  EXPECT_EQ(db_.Eval("RTrim('  a ')"), "text:  a");
  EXPECT_EQ(db_.Eval("Trim('　a')"), "text:　a");  // only spaces are trimmed
  EXPECT_EQ(db_.Eval("UCase('abcäöü')"), "text:ABCÄÖÜ");
  EXPECT_EQ(db_.Eval("LCase('ＡＢＣ Abc')"), "text:ａｂｃ abc");
  EXPECT_EQ(db_.Eval("UCase(j)"), "text:日本語テキスト");
  EXPECT_EQ(db_.Eval("UCase(nul)"), "null");
  EXPECT_EQ(db_.Eval("Space(3) & '|'"), "text:   |");
}

TEST_F(JetFunctions, IIfNzAndIsNull) {
  EXPECT_EQ(db_.Eval("IIf(n > 3, 'big', 'small')"), "text:big");
  EXPECT_EQ(db_.Eval("IIf(nul = 'x', 1, 2)"), "int:2");
  EXPECT_EQ(db_.Eval("IIf(IsNull(nul), 'none', nul)"), "text:none");
  EXPECT_EQ(db_.Eval("Nz(nul)"), "text:");
  EXPECT_EQ(db_.Eval("Nz(nul, 0)"), "int:0");
  EXPECT_EQ(db_.Eval("Nz(n, 0)"), "int:5");
  EXPECT_EQ(db_.Eval("IsNull(e)"), "int:0");
}

TEST_F(JetFunctions, NumberFunctions) {
  EXPECT_EQ(db_.Eval("Int(-2.5)"), "real:-3");
  EXPECT_EQ(db_.Eval("Fix(-2.5)"), "real:-2");
  EXPECT_EQ(db_.Eval("Int(n)"), "int:5");
  EXPECT_EQ(db_.Eval("Int('3.7')"), "real:3");
  EXPECT_EQ(db_.Eval("Abs(-n)"), "int:5");
  EXPECT_EQ(db_.Eval("Abs('-3')"), "real:3");
  EXPECT_EQ(db_.Eval("Abs(s)"), "error 3464");
  EXPECT_EQ(db_.Eval("Sgn(-0.5)"), "int:-1");
  EXPECT_EQ(db_.Eval("Round(2.5)"), "real:2");
  EXPECT_EQ(db_.Eval("Round(1.2345, 2)"), "real:1.23");
}

class FixedClock : public platform::Env {
 public:
  platform::LocalTime Now() override { return {2020, 4, 7, 15, 30, 0}; }
};

TEST_F(JetFunctions, DatesAreOleDatesAndTheClockComesFromThePlatform) {
  FixedClock clock;
  platform::ScopedEnv scoped(clock);
  EXPECT_EQ(db_.Eval("Date()"), "real:43928");
  EXPECT_EQ(db_.Eval("Now()"), "real:43928.645833333336");
  EXPECT_EQ(db_.Eval("Time()"), "real:0.64583333333575865");
  EXPECT_EQ(db_.Eval("Year(d) & '-' & Month(d) & '-' & Day(d) & ' ' & Hour(d)"),
            "text:2020-4-7 18");
  EXPECT_EQ(db_.Eval("Minute(#10:45:30#) + Second(#10:45:30#)"), "int:75");
  EXPECT_EQ(db_.Eval("CDate('2020/4/7 15:30')"), "real:43928.645833333336");
  EXPECT_EQ(db_.Eval("CDate('4/7/2020')"), "real:43928");
  EXPECT_EQ(db_.Eval("CDate('20/4/7')"), "real:43928");
  EXPECT_EQ(db_.Eval("CDate('someday')"), "error 3464");
  EXPECT_EQ(db_.Eval("d > #2020/4/7#"), "int:-1");
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

TEST_F(JetFunctions, UnknownFunctionsAndWrongArgumentCountsAreRefused) {
  try {
    ParseExpression("StDev(n)");
    FAIL();
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 3085);
  }
  try {
    ParseExpression("Mid(s)");
    FAIL();
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 3075);
    EXPECT_NE(f.description().find("引数の数"), std::string::npos);
  }
  EXPECT_NE(FindFunction("iif"), nullptr);
  EXPECT_EQ(FindFunction("IIFF"), nullptr);
}

}  // namespace
}  // namespace kr::db::engine
