#include "tests/startup/startup_fixture.h"

namespace kr::startup::test {
namespace {

TEST(EditionCodeTest, ModelRangesGiveTheTwoLetterCode) {
  EXPECT_EQ(EditionCode(0), "TN");
  EXPECT_EQ(EditionCode(99), "TN");
  EXPECT_EQ(EditionCode(100), "TR");
  EXPECT_EQ(EditionCode(199), "TR");
  EXPECT_EQ(EditionCode(200), "");
  EXPECT_EQ(EditionCode(250), "");
  EXPECT_EQ(EditionCode(300), "TW");
  EXPECT_EQ(EditionCode(399), "TW");
  EXPECT_EQ(EditionCode(400), "TS");
  EXPECT_EQ(EditionCode(499), "TS");
  EXPECT_EQ(EditionCode(500), "");
  EXPECT_EQ(EditionCode(-1), "");
}

TEST(RunStampTest, TwelveDigitsOfTheStartMinute) {
  EXPECT_EQ(FormatRunStamp({2020, 4, 7, 15, 30, 59}), "202004071530");
  EXPECT_EQ(FormatRunStamp({2021, 12, 31, 0, 5, 0}), "202112310005");
  ScopedVariable now("KR_NOW", "2019-01-02 03:04:05");
  EXPECT_EQ(RunStamp(), "201901020304");
}

TEST(UpdateDayTest, DatesThePlatformParserAccepts) {
  const CalendarDate april7{2020, 4, 7};
  EXPECT_EQ(ParseUpdateDay("2020/04/07"), april7);
  EXPECT_EQ(ParseUpdateDay("2020-04-07"), april7);
  EXPECT_EQ(ParseUpdateDay("2020/4/7"), april7);
  EXPECT_EQ(ParseUpdateDay(" 2020/4/7 15:30"), april7);
  EXPECT_EQ(ParseUpdateDay("2020/04/07 9:05:00"), april7);
  EXPECT_EQ(ParseUpdateDay("2020/2/29"), (CalendarDate{2020, 2, 29}));
}

TEST(UpdateDayTest, AnythingElseIsNoDate) {
  for (std::string_view text :
       {"", "today", "2020/04", "2020/13/01", "2019/2/29", "2020/04/31", "2020/04-07", "20/4/7",
        "2020/04/07x", "2020/04/07 25:00", "2020/04/07 10", "2020/004/07", "２０２０/04/07"}) {
    EXPECT_FALSE(ParseUpdateDay(text)) << text;
  }
}

TEST(UpdateDayTest, OnlyTheCalendarDayCounts) {
  platform::LocalTime now{2020, 4, 7, 23, 59, 0};
  EXPECT_TRUE(IsToday("2020/04/07 00:00", now));
  EXPECT_FALSE(IsToday("2020/04/06", now));
  EXPECT_FALSE(IsToday("2020/04/08", now));
  EXPECT_FALSE(IsToday("not a date", now));
}

}  // namespace
}  // namespace kr::startup::test
