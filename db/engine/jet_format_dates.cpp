// Format's dates: the named date formats and user-defined date sections, as on a Japanese system
// (long date "2020年4月7日", "aaa" the day of the week in Japanese).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "db/engine/jet_format_internal.h"
#include "db/engine/jet_values.h"

namespace kr::db::engine::format {

namespace {

std::string Two(int n) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", n);
  return buffer;
}

// What a date section's letters are written from.
struct DateContext {
  double ole;
  DateParts p;
  int64_t day;     // whole days
  int weekday;     // 0 Sunday
  int64_t jan1;    // the first day of its year
  bool twelve;     // the section has AM/PM: hours count to 12
  int first_day;   // of the week, 1 Sunday to 7 Saturday
  int first_week;  // of the year, as DatePart's firstweekofyear
};

struct Era {
  int64_t first;  // day number of its first day
  const char* letter;
  const char* initial;
  const char* name;
};

// As Windows' Japanese calendar counts them.
constexpr Era kEras[] = {
    {-11435, "M", "明", "明治"},  // 1868-09-08
    {4595, "T", "大", "大正"},    // 1912-07-30
    {9856, "S", "昭", "昭和"},    // 1926-12-25
    {32516, "H", "平", "平成"},   // 1989-01-08
    {43586, "R", "令", "令和"},   // 2019-05-01
};

const Era* EraOf(int64_t day) {
  const Era* era = nullptr;
  for (const Era& e : kEras)
    if (day >= e.first) era = &e;
  return era;
}

// g, gg, ggg: the era; e, ee: the year in it, its first year written 元 before 年.
std::string EraLetters(const DateContext& d, char lc, size_t n, std::string_view rest) {
  const Era* era = EraOf(d.day);
  if (lc == 'g') {
    if (era == nullptr) return "";
    return n >= 3 ? era->name : (n == 2 ? era->initial : era->letter);
  }
  if (era == nullptr) return std::to_string(d.p.year);
  const int first_year = PartsFromOle(static_cast<double>(era->first)).year;
  const int year = d.p.year - first_year + 1;
  if (year == 1 && rest.starts_with("年")) return "元";
  return n >= 2 ? Two(year) : std::to_string(year);
}

std::string FormatDateSection(double ole, std::string_view f, int first_day = 1,
                              int first_week = 1);

// n letters c (lc in lower case) of a date section; after_hour: "m" is minutes there.
std::string DateLetters(const DateContext& d, char c, char lc, size_t n, bool after_hour) {
  static constexpr const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  static constexpr const char* kJapaneseDays[] = {"日", "月", "火", "水", "木", "金", "土"};
  static constexpr const char* kMonths[] = {"January",   "February", "March",    "April",
                                            "May",       "June",     "July",     "August",
                                            "September", "October",  "November", "December"};
  const DateParts& p = d.p;
  const int hour = d.twelve ? (p.hour % 12 == 0 ? 12 : p.hour % 12) : p.hour;
  switch (lc) {
    case 'y':
      return n >= 3 ? std::to_string(p.year)
                    : (n == 2 ? Two(p.year % 100) : std::to_string(d.day - d.jan1 + 1));
    case 'm':
      if (after_hour && n <= 2) return n == 2 ? Two(p.minute) : std::to_string(p.minute);
      return n >= 4   ? kMonths[p.month - 1]
             : n == 3 ? std::string(kMonths[p.month - 1]).substr(0, 3)
             : n == 2 ? Two(p.month)
                      : std::to_string(p.month);
    case 'd':
      return n >= 6 ? std::to_string(p.year) + "年" + std::to_string(p.month) + "月" +
                          std::to_string(p.day) + "日"
             : n == 5 ? FormatDateSection(d.ole, "yyyy/mm/dd")
             : n == 4 ? kDays[d.weekday]
             : n == 3 ? std::string(kDays[d.weekday]).substr(0, 3)
             : n == 2 ? Two(p.day)
                      : std::to_string(p.day);
    case 'a':
      return n >= 4 ? std::string(kJapaneseDays[d.weekday]) + "曜日"
                    : (n == 3 ? kJapaneseDays[d.weekday] : std::string(n, c));
    case 'w':
      return std::to_string(n >= 2 ? WeekOfYear(d.day, p.year, d.first_day, d.first_week)
                                   : WeekdayOf(d.day, d.first_day));
    case 'q':
      return std::to_string((p.month - 1) / 3 + 1);
    case 'h':
      return n >= 2 ? Two(hour) : std::to_string(hour);
    case 'n':
      return n >= 2 ? Two(p.minute) : std::to_string(p.minute);
    case 's':
      return n >= 2 ? Two(p.second) : std::to_string(p.second);
    case 't':
      return n >= 5 ? FormatDateSection(d.ole, "h:nn:ss") : std::string(n, c);
    case 'c':
      return FormatDate(d.ole);
    default:
      return std::string(1, c);
  }
}

// "AM/PM" or "A/P" at i of a section (its letter case kept), or "".
std::string_view AmPm(std::string_view f, size_t i) {
  const std::string rest = Lower(f.substr(i, 5));
  if (rest == "am/pm") return f.substr(i, 5);
  if (rest.starts_with("a/p")) return f.substr(i, 3);
  return {};
}

std::string FormatDateSection(double ole, std::string_view f, int first_day, int first_week) {
  DateContext d{ole, PartsFromOle(ole), 0, 0, 0, false, first_day, first_week};
  d.day = static_cast<int64_t>(std::floor(ole < 0 ? std::trunc(ole) : ole));
  d.weekday = static_cast<int>(((d.day % 7) + 7 + 6) % 7);
  d.jan1 = static_cast<int64_t>(std::trunc(OleFromParts({d.p.year, 1, 1, 0, 0, 0}).value_or(0)));
  d.twelve =
      Lower(f).find("am/pm") != std::string::npos || Lower(f).find("a/p") != std::string::npos;
  auto run = [&](size_t i, char c) {
    size_t n = 0;
    while (i + n < f.size() && (f[i + n] == c || f[i + n] == c - 32 || f[i + n] == c + 32)) ++n;
    return n;
  };
  std::string out;
  bool after_hour = false;
  for (size_t i = 0; i < f.size();) {
    if (CopyLiteral(f, i, out)) {
      ++i;
      continue;
    }
    const char c = f[i];
    const char lc = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (std::string_view marker = AmPm(f, i); !marker.empty()) {
      const bool pm = d.p.hour >= 12;
      std::string text = marker.size() == 5 ? (pm ? "PM" : "AM") : (pm ? "P" : "A");
      if (c == 'a' || c == 'p') text = Lower(text);
      out += text;
      i += marker.size();
      continue;
    }
    const size_t n = IsDateToken(c) ? run(i, lc) : 1;
    if (lc == 'g' || lc == 'e')
      out += EraLetters(d, lc, n, f.substr(i + n));
    else
      out += DateLetters(d, c, lc, n, after_hour);
    if (lc == 'h')
      after_hour = true;
    else if (lc != ':' && lc != ' ' && lc != 'm')
      after_hour = false;
    i += n;
  }
  return out;
}

}  // namespace

std::string FormatDateValue(double ole, std::string_view format, int first_day, int first_week) {
  const std::string name = Lower(format);
  if (name == "general date") return FormatDate(ole);
  if (name == "long date") return FormatDateSection(ole, "dddddd");
  if (name == "medium date") return FormatDateSection(ole, "yy-mm-dd");
  if (name == "short date") return FormatDateSection(ole, "yyyy/mm/dd");
  if (name == "long time") return FormatDateSection(ole, "h:nn:ss");
  if (name == "medium time") return FormatDateSection(ole, "hh:nn AM/PM");
  if (name == "short time") return FormatDateSection(ole, "hh:nn");
  return FormatDateSection(ole, Sections(format)[0], first_day, first_week);
}

bool IsDateName(std::string_view format) {
  const std::string name = Lower(format);
  return name == "general date" || name == "long date" || name == "medium date" ||
         name == "short date" || name == "long time" || name == "medium time" ||
         name == "short time";
}

}  // namespace kr::db::engine::format
