#include "tests/startup/startup_fixture.h"

namespace kr::startup::test {
namespace {

TEST(EditionCodeTest, ModelRangesGiveTheTwoLetterCode) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, "TN"},   {99, "TN"},  {100, "TR"}, {199, "TR"}, {200, ""}, {300, "TW"},
      {399, "TW"}, {400, "TS"}, {499, "TS"}, {500, ""},   {-1, ""},
  };
  for (const auto& [model, code] : cases) EXPECT_EQ(EditionCode(model), code) << model;
}

TEST(RunStampTest, TwelveDigitsOfTheStartMinute) {
  EXPECT_EQ(FormatRunStamp({2021, 12, 31, 0, 5, 59}), "202112310005");
  ScopedNow now("2019-01-02 03:04:05");
  EXPECT_EQ(RunStamp(), "201901020304");
}

TEST(UpdateDayTest, OnlyAYearMonthDayDateOptionallyWithATimeIsADate) {
  for (std::string_view text :
       {"2020/04/07", "2020-04-07", "2020/4/7", " 2020/4/7 15:30", "2020/04/07 9:05:00"}) {
    EXPECT_EQ(ParseUpdateDay(text), (CalendarDate{2020, 4, 7})) << text;
  }
  EXPECT_EQ(ParseUpdateDay("2020/2/29"), (CalendarDate{2020, 2, 29}));
  for (std::string_view text :
       {"", "today", "2020/04", "2020/13/01", "2019/2/29", "2020/04/31", "2020/04-07", "20/4/7",
        "2020/04/07x", "2020/04/07 25:00", "2020/04/07 10", "2020/004/07", "２０２０/04/07"}) {
    EXPECT_FALSE(ParseUpdateDay(text)) << text;
  }
}

TEST(UpdateDayTest, OnlyTheCalendarDayCounts) {
  const platform::LocalTime now{2020, 4, 7, 23, 59, 0};
  EXPECT_TRUE(IsToday("2020/04/07 00:00", now));
  EXPECT_FALSE(IsToday("2020/04/06", now));
  EXPECT_FALSE(IsToday("2020/04/08", now));
  EXPECT_FALSE(IsToday("not a date", now));
}

}  // namespace
}  // namespace kr::startup::test
