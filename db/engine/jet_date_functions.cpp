// DateSerial, TimeSerial, DateValue, Weekday, DatePart, DateAdd and DateDiff as SQL functions,
// on OLE dates. Intervals are VBA's: "yyyy" year, "q" quarter, "m" month, "y" day of year, "d"
// day, "w" weekday, "ww" week, "h" hour, "n" minute, "s" second. Weeks start on Sunday unless
// firstdayofweek (1 Sunday to 7 Saturday; 0 the system's, Sunday) says otherwise; week 1 holds
// January 1 unless firstweekofyear says 2 (the first week with four days) or 3 (the first full
// week).
#include <cmath>
#include <string>

#include "db/engine/jet_function_support.h"
#include "db/engine/jet_functions.h"

namespace kr::db::engine {
namespace {

using namespace functions;  // NOLINT: the helpers every callback uses

constexpr double kFirstDay = -657434.0;  // 0100-01-01
constexpr double kLastDay = 2958465.0;   // 9999-12-31

// A date argument: a number as an OLE date, text as CDate reads it (3464 otherwise). Not Null.
bool ToDate(sqlite3_context* ctx, sqlite3_value* v, double* ole) {
  if (sqlite3_value_type(v) == SQLITE_TEXT) {
    auto parsed = ParseDateText(RawText(v));
    if (!parsed) {
      Error(ctx, kDaoTypeMismatch);
      return false;
    }
    *ole = *parsed;
    return true;
  }
  JetNumber n;
  if (!ToNumber(ctx, v, &n)) return false;
  *ole = n.value();
  if (!(*ole >= kFirstDay && *ole < kLastDay + 1)) {
    Error(ctx, kJetInvalidCall);
    return false;
  }
  return true;
}

// Seconds since 1899-12-30 00:00 (the OLE fraction of a day before it counts forward).
int64_t LinearSeconds(double ole) {
  const DateParts p = PartsFromOle(ole);
  const double day = std::trunc(OleFromParts({p.year, p.month, p.day, 0, 0, 0}).value_or(0));
  return static_cast<int64_t>(day) * 86400 + p.hour * 3600 + p.minute * 60 + p.second;
}

double OleOfSeconds(int64_t seconds) {
  const int64_t day = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  const double fraction = static_cast<double>(seconds - day * 86400) / 86400.0;
  return day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
}

// The day number of a date (days since 1899-12-30), whatever its time.
int64_t DayNumber(double ole) {
  const int64_t s = LinearSeconds(ole);
  return s >= 0 ? s / 86400 : -((-s + 86399) / 86400);
}

// An optional small argument (firstdayofweek 0-7, firstweekofyear 0-3); 0 means the default.
bool Option(sqlite3_context* ctx, int argc, sqlite3_value** argv, int index, int max, int* out) {
  *out = 1;
  if (argc <= index) return true;
  int64_t value = 0;
  if (!ToCount(ctx, argv[index], &value)) return false;
  if (value < 0 || value > max) {
    Error(ctx, kJetInvalidCall);
    return false;
  }
  *out = value == 0 ? 1 : static_cast<int>(value);
  return true;
}

enum class Interval {
  kYear,
  kQuarter,
  kMonth,
  kDayOfYear,
  kDay,
  kWeekday,
  kWeek,
  kHour,
  kMinute,
  kSecond,
  kBad
};

// The interval named by v (Null is invalid use of Null, another name an invalid call).
bool ToInterval(sqlite3_context* ctx, sqlite3_value* v, Interval* out) {
  if (IsNull(v)) {
    Error(ctx, kJetInvalidUseOfNull);
    return false;
  }
  std::string name;
  for (char c : RawText(v)) name += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  static const std::pair<std::string_view, Interval> kNames[] = {
      {"yyyy", Interval::kYear},   {"q", Interval::kQuarter}, {"m", Interval::kMonth},
      {"y", Interval::kDayOfYear}, {"d", Interval::kDay},     {"w", Interval::kWeekday},
      {"ww", Interval::kWeek},     {"h", Interval::kHour},    {"n", Interval::kMinute},
      {"s", Interval::kSecond}};
  for (const auto& [text, interval] : kNames) {
    if (name == text) {
      *out = interval;
      return true;
    }
  }
  Error(ctx, kJetInvalidCall);
  return false;
}

void ResultDate(sqlite3_context* ctx, double ole) {
  if (!(ole >= kFirstDay && ole < kLastDay + 1)) return Error(ctx, kJetInvalidCall);
  sqlite3_result_double(ctx, ole);
}

// DateSerial(year, month, day): months and days beyond their range carry over; years 0-29 are
// 2000-2029, 30-99 1930-1999. Null is invalid use of Null.
void DateSerial(sqlite3_context* ctx, int, sqlite3_value** argv) {
  int64_t year = 0, month = 0, day = 0;
  if (!ToCount(ctx, argv[0], &year) || !ToCount(ctx, argv[1], &month) ||
      !ToCount(ctx, argv[2], &day))
    return;
  if (year >= 0 && year < 30) year += 2000;
  if (year >= 30 && year < 100) year += 1900;
  const int64_t months = year * 12 + (month - 1);
  const int64_t y = months >= 0 ? months / 12 : -((-months + 11) / 12);
  const int m = static_cast<int>(months - y * 12) + 1;
  if (y < 100 || y > 9999) return Error(ctx, kJetInvalidCall);
  const double first = std::trunc(OleFromParts({static_cast<int>(y), m, 1, 0, 0, 0}).value_or(0));
  ResultDate(ctx, first + static_cast<double>(day - 1));
}

// TimeSerial(hour, minute, second): carries over into days. Null is invalid use of Null.
void TimeSerial(sqlite3_context* ctx, int, sqlite3_value** argv) {
  int64_t h = 0, m = 0, s = 0;
  if (!ToCount(ctx, argv[0], &h) || !ToCount(ctx, argv[1], &m) || !ToCount(ctx, argv[2], &s))
    return;
  ResultDate(ctx, OleOfSeconds(h * 3600 + m * 60 + s));
}

// DateValue(x): the date of a date or of a text naming one, without its time. Null is invalid
// use of Null.
void DateValue(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return Error(ctx, kJetInvalidUseOfNull);
  double ole = 0;
  if (!ToDate(ctx, argv[0], &ole)) return;
  sqlite3_result_double(ctx, static_cast<double>(DayNumber(ole)));
}

// TimeValue(x): the time of day alone, as a date on day 0.
void TimeValue(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return Error(ctx, kJetInvalidUseOfNull);
  double ole = 0;
  if (!ToDate(ctx, argv[0], &ole)) return;
  const int64_t s = LinearSeconds(ole) - DayNumber(ole) * 86400;
  sqlite3_result_double(ctx, static_cast<double>(s) / 86400.0);
}

// Weekday(date[, firstdayofweek]): 1 to 7. Null gives Null.
void Weekday(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  int first = 1;
  if (!Option(ctx, argc, argv, 1, 7, &first)) return;
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  double ole = 0;
  if (!ToDate(ctx, argv[0], &ole)) return;
  sqlite3_result_int(ctx, WeekdayOf(DayNumber(ole), first));
}

// DatePart(interval, date[, firstdayofweek[, firstweekofyear]]). Null date gives Null.
void DatePart(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Interval interval;
  int first_day = 1, first_week = 1;
  if (!ToInterval(ctx, argv[0], &interval) || !Option(ctx, argc, argv, 2, 7, &first_day) ||
      !Option(ctx, argc, argv, 3, 3, &first_week))
    return;
  if (IsNull(argv[1])) return sqlite3_result_null(ctx);
  double ole = 0;
  if (!ToDate(ctx, argv[1], &ole)) return;
  const DateParts p = PartsFromOle(ole);
  const int64_t day = DayNumber(ole);
  int value = 0;
  switch (interval) {
    case Interval::kYear:
      value = p.year;
      break;
    case Interval::kQuarter:
      value = (p.month - 1) / 3 + 1;
      break;
    case Interval::kMonth:
      value = p.month;
      break;
    case Interval::kDayOfYear:
      value = static_cast<int>(day - DaySerial(p.year, 1, 1)) + 1;
      break;
    case Interval::kDay:
      value = p.day;
      break;
    case Interval::kWeekday:
      value = WeekdayOf(day, first_day);
      break;
    case Interval::kWeek:
      value = WeekOfYear(day, p.year, first_day, first_week);
      break;
    case Interval::kHour:
      value = p.hour;
      break;
    case Interval::kMinute:
      value = p.minute;
      break;
    case Interval::kSecond:
      value = p.second;
      break;
    case Interval::kBad:
      break;
  }
  sqlite3_result_int(ctx, value);
}

// DateAdd(interval, number, date): months keep the day where the month has it (else its last
// day); the time of day stays. Null number is invalid use of Null, Null date gives Null, a
// result beyond years 100 to 9999 is an invalid call.
void DateAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Interval interval;
  int64_t number = 0;
  if (!ToInterval(ctx, argv[0], &interval) || !ToCount(ctx, argv[1], &number)) return;
  if (IsNull(argv[2])) return sqlite3_result_null(ctx);
  double ole = 0;
  if (!ToDate(ctx, argv[2], &ole)) return;
  const int64_t seconds = LinearSeconds(ole);
  int64_t months = 0, add_seconds = 0;
  switch (interval) {
    case Interval::kYear:
      months = number * 12;
      break;
    case Interval::kQuarter:
      months = number * 3;
      break;
    case Interval::kMonth:
      months = number;
      break;
    case Interval::kDayOfYear:
    case Interval::kDay:
    case Interval::kWeekday:
      add_seconds = number * 86400;
      break;
    case Interval::kWeek:
      add_seconds = number * 7 * 86400;
      break;
    case Interval::kHour:
      add_seconds = number * 3600;
      break;
    case Interval::kMinute:
      add_seconds = number * 60;
      break;
    case Interval::kSecond:
      add_seconds = number;
      break;
    case Interval::kBad:
      break;
  }
  if (months == 0) return ResultDate(ctx, OleOfSeconds(seconds + add_seconds));
  const DateParts p = PartsFromOle(ole);
  const int64_t total = static_cast<int64_t>(p.year) * 12 + (p.month - 1) + months;
  if (total < 100 * 12 || total > 9999 * 12 + 11) return Error(ctx, kJetInvalidCall);
  DateParts q = p;
  q.year = static_cast<int>(total / 12);
  q.month = static_cast<int>(total % 12) + 1;
  while (q.day > 28 && !OleFromParts(q)) --q.day;
  ResultDate(ctx, OleFromParts(q).value_or(0));
}

// DateDiff(interval, date1, date2[, firstdayofweek[, firstweekofyear]]): the boundaries of
// the interval crossed from date1 to date2 ("w": whole weeks of days). Null dates give Null.
void DateDiff(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Interval interval;
  int first_day = 1, first_week = 1;
  if (!ToInterval(ctx, argv[0], &interval) || !Option(ctx, argc, argv, 3, 7, &first_day) ||
      !Option(ctx, argc, argv, 4, 3, &first_week))
    return;
  if (IsNull(argv[1]) || IsNull(argv[2])) return sqlite3_result_null(ctx);
  double a = 0, b = 0;
  if (!ToDate(ctx, argv[1], &a) || !ToDate(ctx, argv[2], &b)) return;
  const DateParts pa = PartsFromOle(a), pb = PartsFromOle(b);
  const int64_t da = DayNumber(a), db = DayNumber(b);
  const int64_t sa = LinearSeconds(a), sb = LinearSeconds(b);
  auto floor_div = [](int64_t x, int64_t d) { return x >= 0 ? x / d : -((-x + d - 1) / d); };
  int64_t value = 0;
  switch (interval) {
    case Interval::kYear:
      value = pb.year - pa.year;
      break;
    case Interval::kQuarter:
      value = (pb.year * 4 + (pb.month - 1) / 3) - (pa.year * 4 + (pa.month - 1) / 3);
      break;
    case Interval::kMonth:
      value = (pb.year * 12 + pb.month) - (pa.year * 12 + pa.month);
      break;
    case Interval::kDayOfYear:
    case Interval::kDay:
      value = db - da;
      break;
    case Interval::kWeekday:
      value = (db - da) / 7;
      break;
    case Interval::kWeek:
      value = ((db - (WeekdayOf(db, first_day) - 1)) - (da - (WeekdayOf(da, first_day) - 1))) / 7;
      break;
    case Interval::kHour:
      value = floor_div(sb, 3600) - floor_div(sa, 3600);
      break;
    case Interval::kMinute:
      value = floor_div(sb, 60) - floor_div(sa, 60);
      break;
    case Interval::kSecond:
      value = sb - sa;
      break;
    case Interval::kBad:
      break;
  }
  (void)first_week;
  sqlite3_result_int64(ctx, value);
}

constexpr Scalar kDateScalars[] = {
    {"jet_dateserial", 3, Guarded<DateSerial>},  {"jet_timeserial", 3, Guarded<TimeSerial>},
    {"jet_datevalue", 1, Guarded<DateValue>},    {"jet_timevalue", 1, Guarded<TimeValue>},
    {"jet_weekday", 1, Guarded<Weekday>},        {"jet_weekday", 2, Guarded<Weekday>},
    {"jet_interval_part", 2, Guarded<DatePart>}, {"jet_interval_part", 3, Guarded<DatePart>},
    {"jet_interval_part", 4, Guarded<DatePart>}, {"jet_dateadd", 3, Guarded<DateAdd>},
    {"jet_datediff", 3, Guarded<DateDiff>},      {"jet_datediff", 4, Guarded<DateDiff>},
    {"jet_datediff", 5, Guarded<DateDiff>},
};

}  // namespace

int RegisterJetDateFunctions(sqlite3* db) { return RegisterScalars(db, kDateScalars); }

}  // namespace kr::db::engine
