// Jet's value conversions without SQLite: text forms, number and date parsing, the Like matcher.
#include <gtest/gtest.h>

#include <cmath>

#include "db/engine/jet_values.h"

namespace kr::db::engine {
namespace {

TEST(JetValues, DoublesPrintWithFifteenDigitsLikeCStr) {
  EXPECT_EQ(FormatDouble(1.0), "1");
  EXPECT_EQ(FormatDouble(0.1 + 0.2), "0.3");
  EXPECT_EQ(FormatDouble(-2.5), "-2.5");
  EXPECT_EQ(FormatDouble(123456789012345.0), "123456789012345");
  EXPECT_EQ(FormatDouble(1e15), "1E+15");
  EXPECT_EQ(FormatDouble(0.0001), "0.0001");
  EXPECT_EQ(FormatDouble(1.5e-7), "1.5E-07");
  EXPECT_EQ(FormatDouble(-0.0), "0");
  EXPECT_EQ(FormatSingle(static_cast<float>(0.1)), "0.1");
  EXPECT_EQ(FormatSingle(static_cast<float>(1234.567)), "1234.567");
  EXPECT_EQ(FormatInteger(-42), "-42");
}

TEST(JetValues, DatesRoundTripThroughOleDates) {
  EXPECT_EQ(OleFromParts({1899, 12, 30, 0, 0, 0}), 0.0);
  EXPECT_EQ(OleFromParts({2020, 4, 7, 18, 0, 0}), 43928.75);
  EXPECT_EQ(OleFromParts({1899, 12, 29, 6, 0, 0}), -1.25);
  EXPECT_FALSE(OleFromParts({2019, 2, 29, 0, 0, 0}));
  EXPECT_TRUE(OleFromParts({2020, 2, 29, 0, 0, 0}));
  EXPECT_FALSE(OleFromParts({2020, 1, 1, 24, 0, 0}));
  DateParts p = PartsFromOle(-1.25);
  EXPECT_EQ(p.year, 1899);
  EXPECT_EQ(p.day, 29);
  EXPECT_EQ(p.hour, 6);
  DateParts q = PartsFromOle(43928.99999999);  // rounds up to the next midnight
  EXPECT_EQ(q.day, 8);
  EXPECT_EQ(q.hour, 0);
  EXPECT_EQ(FormatDate(43928.0), "2020/04/07");
  EXPECT_EQ(FormatDate(43928.0 + 9.0 / 24 + 5.0 / 1440), "2020/04/07 9:05:00");
  EXPECT_EQ(FormatDate(0.5), "12:00:00");
  EXPECT_EQ(FormatDate(1e12), "9999/12/31 23:59:59");
}

TEST(JetValues, DateLiteralsAndTexts) {
  EXPECT_EQ(ParseDateLiteral("2020/04/07"), 43928.0);
  EXPECT_EQ(ParseDateLiteral("4/7/2020"), 43928.0);
  EXPECT_EQ(ParseDateLiteral("4-7-20"), 43928.0);
  EXPECT_EQ(ParseDateLiteral(" 2020-4-7 12:00 am "), 43928.0);
  EXPECT_EQ(ParseDateLiteral("12:00 PM"), 0.5);
  EXPECT_FALSE(ParseDateLiteral("2020/04/07/01"));
  EXPECT_FALSE(ParseDateLiteral("2020/04-07"));
  EXPECT_FALSE(ParseDateLiteral("13/13/2020"));
  EXPECT_FALSE(ParseDateLiteral("13:00 PM"));
  EXPECT_FALSE(ParseDateLiteral(""));
  EXPECT_FALSE(ParseDateLiteral("yesterday"));
  EXPECT_EQ(ParseDateText("20/4/7"), 43928.0);  // year first in a Japanese locale
  EXPECT_EQ(ParseDateText("4/7/2020"), 43928.0);
}

TEST(JetValues, NumbersInTextAsCDblReadsThem) {
  EXPECT_EQ(ParseNumberText(" 12.5 "), 12.5);
  EXPECT_EQ(ParseNumberText("-1,234"), -1234.0);
  EXPECT_EQ(ParseNumberText("1D3"), 1000.0);
  EXPECT_EQ(ParseNumberText("&HFFFF"), -1.0);
  EXPECT_EQ(ParseNumberText("&H10000"), 65536.0);
  EXPECT_EQ(ParseNumberText(".5"), 0.5);
  EXPECT_EQ(ParseNumberText("1e-400"), 0.0);
  EXPECT_FALSE(ParseNumberText("1e400"));
  EXPECT_FALSE(ParseNumberText(""));
  EXPECT_FALSE(ParseNumberText("12abc"));
  EXPECT_FALSE(ParseNumberText(",5"));
  EXPECT_FALSE(ParseNumberText("&H"));
  EXPECT_FALSE(ParseNumberText("&HFFFFFFFFF"));
}

TEST(JetValues, ValTakesTheLeadingNumber) {
  EXPECT_EQ(Val("  1 2 3 abc"), 123.0);
  EXPECT_EQ(Val("-  5"), -5.0);
  EXPECT_EQ(Val("&HFFFFFFFF"), -1.0);
  EXPECT_EQ(Val("&O777"), 511.0);
  EXPECT_EQ(Val("3.5e"), 3.5);
  EXPECT_EQ(Val("."), 0.0);
  EXPECT_EQ(Val("-"), 0.0);
  EXPECT_EQ(Val("1e999"), 0.0);
}

TEST(JetValues, BankersRounding) {
  EXPECT_EQ(BankersRound(0.5), 0.0);
  EXPECT_EQ(BankersRound(1.5), 2.0);
  EXPECT_EQ(BankersRound(2.5), 2.0);
  EXPECT_EQ(BankersRound(-2.5), -2.0);
  EXPECT_EQ(BankersRound(2.6), 3.0);
}

TEST(JetValues, LikeMatcher) {
  EXPECT_EQ(LikeMatch("abc", "a*"), true);
  EXPECT_EQ(LikeMatch("ABC", "a?c"), true);
  EXPECT_EQ(LikeMatch("a1c", "a#c"), true);
  EXPECT_EQ(LikeMatch("abc", "a#c"), false);
  EXPECT_EQ(LikeMatch("b", "[a-c]"), true);
  EXPECT_EQ(LikeMatch("B", "[a-c]"), true);
  EXPECT_EQ(LikeMatch("d", "[!a-c]"), true);
  EXPECT_EQ(LikeMatch("-", "[a-]"), true);
  EXPECT_EQ(LikeMatch("*", "[*]"), true);
  EXPECT_EQ(LikeMatch("ab", "a[]b"), true);
  EXPECT_EQ(LikeMatch("日本語", "日*語"), true);
  EXPECT_EQ(LikeMatch("日本語", "??語"), true);
  EXPECT_EQ(LikeMatch("ＡＢＣ", "ａｂｃ"), true);
  EXPECT_EQ(LikeMatch("", "*"), true);
  EXPECT_EQ(LikeMatch("", "?"), false);
  EXPECT_EQ(LikeMatch("aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*c"), false);
  EXPECT_FALSE(LikeMatch("a", "[a"));
  EXPECT_FALSE(LikePatternValid("x[a"));
  EXPECT_TRUE(LikePatternValid("x]a"));
}

TEST(JetValues, Utf8DecodingIsForgiving) {
  std::string bad = "a\xff\xe3\x81";
  size_t pos = 0;
  EXPECT_EQ(DecodeUtf8(bad, &pos), 'a');
  EXPECT_EQ(DecodeUtf8(bad, &pos), 0xFFFDu);
  EXPECT_EQ(DecodeUtf8(bad, &pos), 0xFFFDu);
  EXPECT_EQ(pos, 3u);
  std::string out;
  AppendUtf8(0x65E5, &out);
  EXPECT_EQ(out, "日");
  EXPECT_EQ(FoldCase('A'), static_cast<uint32_t>('a'));
  EXPECT_EQ(FoldCase(0xFF21), 0xFF41u);  // full-width A
  EXPECT_EQ(FoldCase(0x65E5), 0x65E5u);
}

}  // namespace
}  // namespace kr::db::engine
