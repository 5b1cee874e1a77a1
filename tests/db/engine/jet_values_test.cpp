// Jet's values without SQLite (the variant value, text forms, number and date parsing, the Like
// matcher) and the DAO errors: their catalogue and their way out of SQL functions and SQLite.
#include <gtest/gtest.h>
#include <tuple>

#include "db/engine/dao_errors.h"
#include "db/engine/engine.h"
#include "db/engine/jet_values.h"
#include "db/engine/sqlite_db.h"
#include "tests/db/engine/engine_fixture.h"
#include "tests/testing/testing.h"

namespace kr::db::engine {
namespace {

using kr::testing::FailureNumber;

TEST(JetValues, DatesRoundTripThroughOleDatesAndLiteralsParse) {
  EXPECT_FALSE(OleFromParts({2019, 2, 29, 0, 0, 0}));
  EXPECT_TRUE(OleFromParts({2020, 2, 29, 0, 0, 0}));
  EXPECT_FALSE(OleFromParts({2020, 1, 1, 24, 0, 0}));
  DateParts p = PartsFromOle(-1.25);
  EXPECT_EQ(p.year * 10000 + p.month * 100 + p.day, 18991229);
  EXPECT_EQ(p.hour, 6);
  DateParts q = PartsFromOle(43928.99999999);  // rounds up to the next midnight
  EXPECT_EQ(q.day, 8);
  EXPECT_EQ(q.hour, 0);
  EXPECT_EQ(FormatDate(43928.0), "2020/04/07");
  EXPECT_EQ(FormatDate(43928.0 + 9.0 / 24 + 5.0 / 1440), "2020/04/07 9:05:00");
  EXPECT_EQ(FormatDate(0.5), "12:00:00");
  EXPECT_EQ(FormatDate(1e12), "9999/12/31 23:59:59");
  EXPECT_EQ(ParseDateLiteral("4-7-20"), 43928.0);
  EXPECT_EQ(ParseDateLiteral(" 2020-4-7 12:00 am "), 43928.0);
  for (const char* bad : {"2020/04/07/01", "2020/04-07", "13/13/2020", "13:00 PM", "", "yesterday"})
    EXPECT_FALSE(ParseDateLiteral(bad)) << bad;
}

TEST(JetValues, NumbersInTextAsCDblAndValReadThem) {
  EXPECT_EQ(ParseNumberText("1D3"), 1000.0);
  EXPECT_EQ(ParseNumberText("&HFFFF"), -1.0);
  EXPECT_EQ(ParseNumberText("&H10000"), 65536.0);
  EXPECT_EQ(ParseNumberText(".5"), 0.5);
  EXPECT_EQ(ParseNumberText("1e-400"), 0.0);
  for (const char* bad : {"1e400", "", "12abc", ",5", "&H", "&HFFFFFFFFF"})
    EXPECT_FALSE(ParseNumberText(bad)) << bad;
  for (auto [text, value] :
       test::SplitCases({"  1 2 3 abc → 123", "-  5 → -5", "&H1F → 31", "&HFFFFFFFF → -1",
                         "&O777 → 511", "1e3 → 1000", "3.5e → 3.5", "-1.5e-1x → -0.15",
                         "1.2.3 → 1.2", "1,000 → 1", "abc → 0", ". → 0", "- → 0", "1e999 → 0"}))
    EXPECT_EQ(Val(text), std::stod(std::string(value))) << text;
}

TEST(JetValues, LikeMatcherEdges) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"-", "[a-]", true},
      {"*", "[*]", true},
      {"ab", "a[]b", true},
      {"日本語", "日*語", true},
      {"日本語", "??語", true},
      {"", "*", true},
      {"", "?", false},
      {"abc", "a#c", false},
      {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*c", false},
  };
  for (auto [text, pattern, match] : cases) EXPECT_EQ(LikeMatch(text, pattern), match) << pattern;
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
}

TEST(Value, NumbersConvertWithBankersRoundingAndRangeChecks) {
  EXPECT_EQ(Value(2.5).ToLong(), 2);
  EXPECT_EQ(Value(3.5).ToLong(), 4);
  EXPECT_EQ(Value(" 2009 ").ToLong(), 2009);
  EXPECT_EQ(Value("1,234").ToDouble(), 1234);
  EXPECT_EQ(Value::CurrencyOf(1.23455).integer(), 12346);
  EXPECT_EQ(Value::CurrencyOf(static_cast<double>(0.1f)).ToText(), "0.1");
  EXPECT_EQ(Value(true).ToLong(), -1);
  EXPECT_EQ(FailureNumber([] { Value("abc").ToDouble(); }), 13);
  EXPECT_EQ(FailureNumber([] { Value().ToLong(); }), 94);
  EXPECT_EQ(FailureNumber([] { Value(3e10).ToLong(); }), 6);
  EXPECT_TRUE(Value("12.5").IsNumeric());
  EXPECT_FALSE(Value("").IsNumeric());
  EXPECT_FALSE(Value().IsNumeric());
}

TEST(Value, TextFormsFollowJetAndDatesAreOleDays) {
  EXPECT_EQ(Value::Currency(-5000).ToText(), "-0.5");
  EXPECT_EQ(Value::DateOf(2019, 4, 1, 13, 5, 9).ToText(), "2019/04/01 13:05:09");
  EXPECT_EQ(Value::DateOf(1900, 1, 1, 12).real(), 2.5);
  DateTime t = SplitDate(43556.75);
  EXPECT_EQ(t.year * 10000 + t.month * 100 + t.day, 20190401);
  EXPECT_EQ(t.hour, 18);
  EXPECT_EQ(Value("2020/02/29 13:45").ToDate(), MakeDate({2020, 2, 29, 13, 45, 0}));
}

TEST(DaoErrors, ArgumentsFillThePlaceholdersAndUnknownNumbersAreReserved) {
  EXPECT_EQ(DaoDescription(kDaoIndexExists, "T", "PrimaryKey"),
            "テーブル 'T' には既にインデックス 'PrimaryKey' があります。");
  Failure f = DaoFailure(kDaoFileNotFound, "C:\\a.mdb", {}, "opening");
  EXPECT_EQ(f.description(), "ファイル 'C:\\a.mdb' が見つかりませんでした。");
  EXPECT_STREQ(f.what(), "error 3024: Could not find file 'C:\\a.mdb'. (opening)");
  Failure not_set = DaoFailure(kErrObjectNotSet);
  EXPECT_EQ(not_set.number(), 91);
  Failure unknown = DaoFailure(4242, {}, {}, "detail");
  EXPECT_EQ(unknown.number(), 3000);
  EXPECT_EQ(unknown.description(),
            "予約済みエラー (4242) です。このエラーに関するメッセージはありません。");
  EXPECT_STREQ(unknown.what(),
               "error 3000: Reserved error (4242); there is no message for this error. (detail)");
}

TEST(DaoErrors, FailuresRaisedInsideSqlFunctionsComeBack) {
  auto f = FailureFromSqliteMessage(JetSqlErrorText(kDaoTypeMismatch));
  ASSERT_TRUE(f);
  EXPECT_EQ(f->number(), 3464);
  EXPECT_EQ(f->description(), "抽出条件でデータ型が一致しません。");
  EXPECT_EQ(FailureFromSqliteMessage("parser stack overflow")->number(), 3360);
  EXPECT_EQ(FailureFromSqliteMessage("Expression tree is too large (maximum depth 1000)")->number(),
            3360);
  for (const char* other : {"no such table: x", "jet:x:y", "jet:12"})
    EXPECT_FALSE(FailureFromSqliteMessage(other)) << other;
}

TEST(DaoErrors, SqliteErrorsMapByTheirExtendedCodes) {
  using internal::IsDiskFailure;
  using internal::SqliteFailure;
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_CONSTRAINT_UNIQUE).number(), kDaoDuplicateValue);
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_CONSTRAINT_PRIMARYKEY).number(), kDaoDuplicateValue);
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_CONSTRAINT_NOTNULL).number(), 3314);
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_BUSY_SNAPSHOT).number(), kDaoTableLocked);
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_LOCKED_SHAREDCACHE).number(), kDaoTableLocked);
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_IOERR_FSYNC).number(), 3043);
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_CORRUPT_INDEX).number(), 3343);
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_READONLY_DBMOVED).number(), 3027);
  // Memory that ran out under a file operation is no failing disk.
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_IOERR_NOMEM).number(), kErrOutOfMemory);
  EXPECT_FALSE(IsDiskFailure(SQLITE_IOERR_NOMEM));
  EXPECT_TRUE(IsDiskFailure(SQLITE_IOERR_WRITE));
  EXPECT_TRUE(IsDiskFailure(SQLITE_FULL));
  EXPECT_TRUE(IsDiskFailure(SQLITE_CANTOPEN_ISDIR));
  EXPECT_FALSE(IsDiskFailure(SQLITE_BUSY));
  // Only a plain SQLITE_ERROR is told by its message.
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_ERROR).number(), kDaoReservedError);
}

}  // namespace
}  // namespace kr::db::engine
