#include <cstdio>
#include <string>

#include "startup/startup.h"

namespace kr::startup {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads between min_digits and max_digits ASCII digits at text[pos], advancing pos.
std::optional<int> ReadNumber(std::string_view text, size_t& pos, size_t min_digits,
                              size_t max_digits) {
  size_t start = pos;
  int value = 0;
  while (pos < text.size() && IsDigit(text[pos]) && pos - start < max_digits) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  if (pos - start < min_digits) return std::nullopt;
  if (pos < text.size() && IsDigit(text[pos])) return std::nullopt;  // too many digits
  return value;
}

bool Expect(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// h:mm or h:mm:ss from pos to the end of text.
bool IsTime(std::string_view text, size_t pos) {
  auto hour = ReadNumber(text, pos, 1, 2);
  if (!hour || *hour > 23 || !Expect(text, pos, ':')) return false;
  auto minute = ReadNumber(text, pos, 2, 2);
  if (!minute || *minute > 59) return false;
  if (pos < text.size()) {
    if (!Expect(text, pos, ':')) return false;
    auto second = ReadNumber(text, pos, 2, 2);
    if (!second || *second > 59) return false;
  }
  return pos == text.size();
}

}  // namespace

std::string EditionCode(int32_t inst_model) {
  if (inst_model >= 0 && inst_model <= 99) return "TN";
  if (inst_model >= 100 && inst_model <= 199) return "TR";
  if (inst_model >= 300 && inst_model <= 399) return "TW";
  if (inst_model >= 400 && inst_model <= 499) return "TS";
  return "";
}

std::string FormatRunStamp(const platform::LocalTime& time) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d", time.year, time.month, time.day,
                time.hour, time.minute);
  return stamp;
}

std::string RunStamp() { return FormatRunStamp(platform::CurrentEnv().Now()); }

std::optional<CalendarDate> ParseUpdateDay(std::string_view text) {
  std::string trimmed = support::Trim(text);
  std::string_view s = trimmed;
  size_t pos = 0;
  CalendarDate date;
  auto year = ReadNumber(s, pos, 4, 4);
  if (!year || pos >= s.size() || (s[pos] != '/' && s[pos] != '-')) return std::nullopt;
  char separator = s[pos++];
  auto month = ReadNumber(s, pos, 1, 2);
  if (!month || !Expect(s, pos, separator)) return std::nullopt;
  auto day = ReadNumber(s, pos, 1, 2);
  if (!day) return std::nullopt;
  if (*year < 100 || *month < 1 || *month > 12 || *day < 1 || *day > DaysInMonth(*year, *month)) {
    return std::nullopt;
  }
  if (pos < s.size()) {
    if (s[pos] != ' ') return std::nullopt;
    while (pos < s.size() && s[pos] == ' ') ++pos;
    if (!IsTime(s, pos)) return std::nullopt;
  }
  date.year = *year;
  date.month = *month;
  date.day = *day;
  return date;
}

bool IsToday(std::string_view update_day, const platform::LocalTime& now) {
  std::optional<CalendarDate> date = ParseUpdateDay(update_day);
  return date && *date == CalendarDate{now.year, now.month, now.day};
}

}  // namespace kr::startup
