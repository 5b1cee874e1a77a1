// The variant value: conversions as the run-time makes them.
#include "tests/db/engine/engine_fixture.h"

namespace kr::db::engine::test {
namespace {

class ValueTest : public EngineTest {};

TEST_F(ValueTest, NumbersConvertWithBankersRoundingAndRangeChecks) {
  EXPECT_EQ(Value(2.5).ToLong(), 2);
  EXPECT_EQ(Value(3.5).ToLong(), 4);
  EXPECT_EQ(Value(" 2009 ").ToLong(), 2009);
  EXPECT_EQ(Value("1,234").ToDouble(), 1234);
  EXPECT_EQ(Value::CurrencyOf(1.23455).integer(), 12346);
  EXPECT_EQ(Value::CurrencyOf(static_cast<double>(0.1f)).ToText(), "0.1");
  EXPECT_EQ(Value(true).ToLong(), -1);
  EXPECT_EQ(ErrorOf([] { Value("abc").ToDouble(); }), 13);
  EXPECT_EQ(ErrorOf([] { Value().ToLong(); }), 94);
  EXPECT_EQ(ErrorOf([] { Value(3e10).ToLong(); }), 6);
  EXPECT_TRUE(Value("12.5").IsNumeric());
  EXPECT_FALSE(Value("").IsNumeric());
  EXPECT_FALSE(Value().IsNumeric());
}

TEST_F(ValueTest, TextFormsFollowJetAndDatesAreOleDays) {
  EXPECT_EQ(Value::Currency(-5000).ToText(), "-0.5");
  EXPECT_EQ(Value::DateOf(2019, 4, 1, 13, 5, 9).ToText(), "2019/04/01 13:05:09");
  EXPECT_EQ(Value::DateOf(1900, 1, 1, 12).real(), 2.5);
  DateTime t = SplitDate(43556.75);
  EXPECT_EQ(t.year * 10000 + t.month * 100 + t.day, 20190401);
  EXPECT_EQ(t.hour, 18);
  EXPECT_EQ(Value("2020/02/29 13:45").ToDate(), MakeDate({2020, 2, 29, 13, 45, 0}));
}

}  // namespace
}  // namespace kr::db::engine::test
