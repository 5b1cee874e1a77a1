// Jet's dates held as OLE dates: calendar parts, #...# literals, dates written in text (numbers
// or English month names) and Jet's text form of a date.
#include <unicode/uchar.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "db/engine/jet_values.h"

namespace kr::db::engine {
namespace {

int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int* y, int* m, int* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(yoe + era * 400 + (*m <= 2));
}

const int64_t kOleEpoch = DaysFromCivil(1899, 12, 30);

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
  return kDays[month - 1];
}

// A date or time written as numbers and separators, split into its parts.
struct DateScan {
  int numbers[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  int date_count = 0;  // 0, or 3 (y/m/d in some order)
  int time[3] = {0, 0, 0};
  int time_count = 0;  // 0, 2 or 3
  int meridiem = 0;    // 0 none, 1 AM, 2 PM
};

bool ReadNumber(std::string_view s, size_t* pos, int* value, int* digits) {
  size_t start = *pos;
  int64_t v = 0;
  while (*pos < s.size() && std::isdigit(static_cast<unsigned char>(s[*pos])) && *pos - start < 6) {
    v = v * 10 + (s[*pos] - '0');
    ++*pos;
  }
  if (*pos == start || (*pos < s.size() && std::isdigit(static_cast<unsigned char>(s[*pos])))) {
    return false;
  }
  *value = static_cast<int>(v);
  *digits = static_cast<int>(*pos - start);
  return true;
}

void SkipSpaces(std::string_view s, size_t* pos) {
  while (*pos < s.size() && IsSpace(s[*pos])) ++*pos;
}

bool ScanTime(std::string_view s, size_t* pos, DateScan* scan) {
  int digits = 0;
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (*pos >= s.size() || s[*pos] != ':') break;
      ++*pos;
    }
    if (!ReadNumber(s, pos, &scan->time[i], &digits) || digits > 2) return false;
    scan->time_count = i + 1;
  }
  if (scan->time_count < 2) return false;
  size_t save = *pos;
  SkipSpaces(s, pos);
  auto word = s.substr(*pos, 2);
  if (word.size() == 2 && (word[1] == 'M' || word[1] == 'm')) {
    if (word[0] == 'A' || word[0] == 'a') scan->meridiem = 1;
    if (word[0] == 'P' || word[0] == 'p') scan->meridiem = 2;
  }
  if (scan->meridiem != 0) {
    *pos += 2;
  } else {
    *pos = save;
  }
  return true;
}

std::optional<DateScan> Scan(std::string_view text) {
  std::string_view s = TrimSpaces(text);
  DateScan scan;
  size_t pos = 0;
  int value = 0, digits = 0;
  if (s.empty()) return std::nullopt;
  // A leading number followed by ":" starts a time; otherwise a date.
  size_t probe = pos;
  if (!ReadNumber(s, &probe, &value, &digits)) return std::nullopt;
  if (probe < s.size() && s[probe] == ':') {
    if (!ScanTime(s, &pos, &scan)) return std::nullopt;
  } else {
    char separator = 0;
    for (int i = 0; i < 3; ++i) {
      if (i > 0) {
        if (pos >= s.size() || (s[pos] != '/' && s[pos] != '-')) return std::nullopt;
        if (separator != 0 && s[pos] != separator) return std::nullopt;
        separator = s[pos++];
      }
      if (!ReadNumber(s, &pos, &scan.numbers[i], &scan.digits[i])) return std::nullopt;
    }
    scan.date_count = 3;
    if (pos < s.size()) {
      if (!IsSpace(s[pos])) return std::nullopt;
      SkipSpaces(s, &pos);
      if (!ScanTime(s, &pos, &scan)) return std::nullopt;
    }
  }
  SkipSpaces(s, &pos);
  if (pos != s.size()) return std::nullopt;
  return scan;
}

int ExpandYear(int year, int digits) {
  if (digits <= 2) return year < 30 ? 2000 + year : 1900 + year;
  return year;
}

std::optional<double> Compose(const DateScan& scan, bool year_first) {
  DateParts parts;
  if (scan.date_count == 3) {
    if (year_first) {
      parts.year = ExpandYear(scan.numbers[0], scan.digits[0]);
      parts.month = scan.numbers[1];
      parts.day = scan.numbers[2];
    } else {
      parts.month = scan.numbers[0];
      parts.day = scan.numbers[1];
      parts.year = ExpandYear(scan.numbers[2], scan.digits[2]);
    }
  }
  if (scan.time_count > 0) {
    parts.hour = scan.time[0];
    parts.minute = scan.time[1];
    parts.second = scan.time_count == 3 ? scan.time[2] : 0;
    if (scan.meridiem != 0) {
      if (parts.hour < 1 || parts.hour > 12) return std::nullopt;
      parts.hour %= 12;
      if (scan.meridiem == 2) parts.hour += 12;
    }
  }
  return OleFromParts(parts);
}

}  // namespace

std::optional<double> OleFromParts(const DateParts& p) {
  if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 ||
      p.day > DaysInMonth(p.year, p.month) || p.hour < 0 || p.hour > 23 || p.minute < 0 ||
      p.minute > 59 || p.second < 0 || p.second > 59) {
    return std::nullopt;
  }
  const double days = static_cast<double>(DaysFromCivil(p.year, p.month, p.day) - kOleEpoch);
  const double fraction = (p.hour * 3600 + p.minute * 60 + p.second) / 86400.0;
  return days >= 0 ? days + fraction : days - fraction;
}

DateParts PartsFromOle(double ole) {
  constexpr double kMin = -657434.0;  // 0100-01-01
  constexpr double kMax = 2958465.0;  // 9999-12-31
  if (!(ole >= kMin)) ole = kMin;     // NaN too
  if (ole >= kMax + 1) ole = kMax + 86399.0 / 86400.0;
  double whole = std::trunc(ole);
  int64_t seconds = std::llround(std::fabs(ole - whole) * 86400.0);
  int64_t day = static_cast<int64_t>(whole);
  if (seconds >= 86400) {
    seconds = 0;
    ++day;
  }
  DateParts parts;
  CivilFromDays(day + kOleEpoch, &parts.year, &parts.month, &parts.day);
  parts.hour = static_cast<int>(seconds / 3600);
  parts.minute = static_cast<int>(seconds / 60 % 60);
  parts.second = static_cast<int>(seconds % 60);
  return parts;
}

std::optional<double> ParseDateLiteral(std::string_view text) {
  auto scan = Scan(text);
  if (!scan) return std::nullopt;
  return Compose(*scan, scan->date_count == 3 && scan->digits[0] >= 3);
}

namespace {

// 1 to 12 for an English month name or its first three letters (any case), else 0.
int MonthOfName(std::string_view word) {
  static constexpr std::string_view kMonths[] = {"january",   "february", "march",    "april",
                                                 "may",       "june",     "july",     "august",
                                                 "september", "october",  "november", "december"};
  if (word.size() < 3) return 0;
  std::string lower;
  for (char c : word) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  for (int i = 0; i < 12; ++i)
    if (kMonths[i].starts_with(lower) || (lower == "sept" && i == 8)) return i + 1;
  return 0;
}

// A date written with a month name, as CDate reads it: "Apr 6, 2003", "6 April 2003",
// "6-Apr-2003", "2003 Apr 6", with an optional time ("Apr 6, 2003 3:30 PM").
std::optional<double> ParseMonthNameDate(std::string_view text) {
  int month = 0;
  int numbers[2] = {0, 0}, digits[2] = {0, 0}, count = 0;
  std::string time;
  size_t pos = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == ' ' || c == ',' || c == '-' || c == '/' || c == '.' || c == '\t') {
      ++pos;
      continue;
    }
    size_t end = pos;
    while (end < text.size() && text[end] != ' ' && text[end] != ',' && text[end] != '-' &&
           text[end] != '/' && text[end] != '\t' && (text[end] != '.' || !time.empty()))
      ++end;
    std::string_view word = text.substr(pos, end - pos);
    pos = end;
    if (word.find(':') != std::string_view::npos ||
        (!time.empty() && MonthOfName(word) == 0 && (word[0] < '0' || word[0] > '9'))) {
      time += std::string(time.empty() ? "" : " ") + std::string(word);
    } else if (word[0] >= '0' && word[0] <= '9') {
      if (count == 2) return std::nullopt;
      int value = 0;
      for (char d : word) {
        if (d < '0' || d > '9' || value > 100000) return std::nullopt;
        value = value * 10 + (d - '0');
      }
      numbers[count] = value;
      digits[count++] = static_cast<int>(word.size());
    } else {
      if (month != 0) return std::nullopt;
      month = MonthOfName(word);
      if (month == 0) return std::nullopt;
    }
  }
  if (month == 0 || count != 2) return std::nullopt;
  const bool year_first = digits[0] >= 3 || numbers[0] > 31;
  DateParts parts;
  parts.month = month;
  parts.day = numbers[year_first ? 1 : 0];
  parts.year = ExpandYear(numbers[year_first ? 0 : 1], digits[year_first ? 0 : 1]);
  if (!time.empty()) {
    auto clock = Scan(time);
    if (!clock || clock->date_count != 0) return std::nullopt;
    auto fraction = Compose(*clock, false);
    if (!fraction) return std::nullopt;
    DateParts at = PartsFromOle(*fraction);
    parts.hour = at.hour;
    parts.minute = at.minute;
    parts.second = at.second;
  }
  return OleFromParts(parts);
}

}  // namespace

std::optional<double> ParseDateText(std::string_view text) {
  auto scan = Scan(text);
  if (!scan) return ParseMonthNameDate(TrimSpaces(text));
  bool year_first = scan->digits[0] >= 3 || scan->digits[2] <= 2;
  return Compose(*scan, year_first);
}

std::string FormatDate(double ole) {
  DateParts p = PartsFromOle(ole);
  char buffer[48];
  bool epoch_day = p.year == 1899 && p.month == 12 && p.day == 30;
  bool midnight = p.hour == 0 && p.minute == 0 && p.second == 0;
  if (epoch_day) {
    std::snprintf(buffer, sizeof buffer, "%d:%02d:%02d", p.hour, p.minute, p.second);
  } else if (midnight) {
    std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d", p.year, p.month, p.day);
  } else {
    std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %d:%02d:%02d", p.year, p.month, p.day,
                  p.hour, p.minute, p.second);
  }
  return buffer;
}

// 1 to 7 from the first day of the week (1899-12-30 was a Saturday).
int WeekdayOf(int64_t day, int first) {
  const int sunday_based = static_cast<int>(((day % 7) + 7 + 6) % 7) + 1;
  return ((sunday_based - first + 7) % 7) + 1;
}

int64_t DaySerial(int year, int month, int day) {
  return static_cast<int64_t>(std::trunc(OleFromParts({year, month, 1, 0, 0, 0}).value_or(0))) +
         day - 1;
}

namespace {

int64_t FirstDayOfWeekOne(int year, int first_day, int first_week) {
  const int64_t jan1 = DaySerial(year, 1, 1);
  const int wd = WeekdayOf(jan1, first_day);
  const int64_t week_start = jan1 - (wd - 1);
  if (first_week == 2) return (8 - wd) >= 4 ? week_start : week_start + 7;
  if (first_week == 3) return wd == 1 ? jan1 : week_start + 7;
  return week_start;
}

}  // namespace

int WeekOfYear(int64_t day, int year, int first_day, int first_week) {
  int64_t start = FirstDayOfWeekOne(year, first_day, first_week);
  if (day < start) start = FirstDayOfWeekOne(year - 1, first_day, first_week);
  return static_cast<int>((day - start) / 7 + 1);
}

}  // namespace kr::db::engine
