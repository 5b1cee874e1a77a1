#include "db/engine/jet_values.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

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

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
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
  std::string_view s = Trim(text);
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
  if (!scan) return ParseMonthNameDate(Trim(text));
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

namespace {
std::string FormatSignificant(double value, int digits) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  if (value == 0) return "0";
  // As printf's %.*G, several times faster; VBA writes the exponent with a capital E.
  char buffer[40];
  auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
  std::string text(buffer, result.ptr);
  for (char& c : text) {
    if (c == 'e') c = 'E';
  }
  return text;
}
}  // namespace

std::string FormatDouble(double value) { return FormatSignificant(value, 15); }

std::string FormatSingle(double value) { return FormatSignificant(value, 7); }

std::string FormatInteger(int64_t value) {
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

namespace {

// &H / &O integers: up to 4 hexadecimal (6 octal) digits are a 16-bit Integer, up to 8 (11) a
// 32-bit Long, as VBA types them; more digits overflow.
std::optional<double> ParseRadix(std::string_view digits, int radix) {
  if (digits.empty()) return std::nullopt;
  uint64_t v = 0;
  for (char c : digits) {
    int d;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      d = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      d = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    if (d >= radix) return std::nullopt;
    v = v * radix + d;
    if (v > 0xFFFFFFFFull) return std::nullopt;
  }
  if (v <= 0xFFFF && digits.size() <= (radix == 16 ? 4u : 6u)) {
    return static_cast<double>(static_cast<int16_t>(static_cast<uint16_t>(v)));
  }
  return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(v)));
}

// Roughly the decimal exponent of a cleaned number ("-12.5e3" gives 4): enough to tell an
// overflow from an underflow.
int64_t DecimalExponent(const std::string& s) {
  size_t e = s.find('e');
  std::string_view mantissa = std::string_view(s).substr(0, e);
  int64_t exponent = 0;
  if (e != std::string::npos) {
    std::string_view digits = std::string_view(s).substr(e + 1);
    bool negative = !digits.empty() && digits[0] == '-';
    if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) digits.remove_prefix(1);
    for (char c : digits) exponent = std::min<int64_t>(exponent * 10 + (c - '0'), 1000000);
    if (negative) exponent = -exponent;
  }
  size_t point = mantissa.find('.');
  std::string_view whole = mantissa.substr(0, point);
  size_t first = whole.find_first_not_of("-0");
  if (first != std::string_view::npos) return exponent + static_cast<int64_t>(whole.size() - first);
  std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : mantissa.substr(point + 1);
  size_t nonzero = fraction.find_first_not_of('0');
  if (nonzero == std::string_view::npos) return 0;
  return exponent - static_cast<int64_t>(nonzero);
}

std::optional<double> FromChars(const std::string& s) {
  double value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (end != s.data() + s.size()) return std::nullopt;
  if (ec == std::errc::result_out_of_range) {
    // Underflow reads as zero; overflow is not a number Jet can hold.
    if (DecimalExponent(s) > 0) return std::nullopt;
    return 0.0;
  }
  if (ec != std::errc()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<double> ParseNumberText(std::string_view text) {
  std::string_view s = Trim(text);
  if (s.size() >= 2 && s[0] == '&') {
    if (s[1] == 'H' || s[1] == 'h') return ParseRadix(s.substr(2), 16);
    if (s[1] == 'O' || s[1] == 'o') return ParseRadix(s.substr(2), 8);
    return std::nullopt;
  }
  std::string clean;
  clean.reserve(s.size());
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    if (s[i] == '-') clean += '-';
    ++i;
  }
  int mantissa_digits = 0;
  bool seen_digit_before_comma = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      clean += c;
      ++mantissa_digits;
      seen_digit_before_comma = true;
    } else if (c == ',' && seen_digit_before_comma && clean.find('.') == std::string::npos) {
      continue;
    } else {
      break;
    }
  }
  if (i < s.size() && s[i] == '.') {
    clean += '.';
    for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
      clean += s[i];
      ++mantissa_digits;
    }
  }
  if (mantissa_digits == 0) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    clean += 'e';
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) clean += s[i++];
    size_t start = i;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) clean += s[i];
    if (i == start) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  return FromChars(clean);
}

double Val(std::string_view text) {
  // Blanks are dropped wherever they are, as VBA's Val does.
  std::string s;
  s.reserve(text.size());
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') s += c;
  }
  size_t i = 0;
  if (s.size() >= 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
    int radix = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
    size_t start = 2, end = 2;
    while (end < s.size() && std::isxdigit(static_cast<unsigned char>(s[end])) &&
           (radix == 16 || (s[end] >= '0' && s[end] <= '7'))) {
      ++end;
    }
    auto v = ParseRadix(std::string_view(s).substr(start, end - start), radix);
    return v.value_or(0.0);
  }
  std::string clean;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    if (s[i] == '-') clean += '-';
    ++i;
  }
  int digits = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) clean += s[i];
  if (i < s.size() && s[i] == '.') {
    clean += '.';
    for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) clean += s[i];
  }
  if (digits == 0) return 0.0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    size_t j = i + 1;
    std::string exponent = "e";
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent += s[j++];
    size_t start = j;
    for (; j < s.size() && s[j] >= '0' && s[j] <= '9'; ++j) exponent += s[j];
    if (j > start) clean += exponent;
  }
  if (clean == "-" || clean == "-.") return 0.0;
  return FromChars(clean).value_or(0.0);
}

double BankersRound(double value) { return std::nearbyint(value); }

uint32_t FoldCase(uint32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  return static_cast<uint32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

uint32_t DecodeUtf8(std::string_view s, size_t* pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  size_t i = *pos;
  unsigned char b0 = byte(i);
  if (b0 < 0x80) {
    *pos = i + 1;
    return b0;
  }
  int length = 0;
  uint32_t c = 0, min = 0;
  if ((b0 & 0xE0) == 0xC0) {
    length = 2, c = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    length = 3, c = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    length = 4, c = b0 & 0x07, min = 0x10000;
  } else {
    *pos = i + 1;
    return 0xFFFD;
  }
  if (i + length > s.size()) {
    *pos = i + 1;
    return 0xFFFD;
  }
  for (int k = 1; k < length; ++k) {
    unsigned char b = byte(i + k);
    if ((b & 0xC0) != 0x80) {
      *pos = i + 1;
      return 0xFFFD;
    }
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    *pos = i + 1;
    return 0xFFFD;
  }
  *pos = i + length;
  return c;
}

void AppendUtf8(uint32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

namespace {

// Matches one character c against the class that starts after "[" at pattern[*pos]; leaves
// *pos after the closing "]". The pattern has been validated.
bool MatchClass(std::string_view pattern, size_t* pos, uint32_t c) {
  bool negate = false;
  if (*pos < pattern.size() && pattern[*pos] == '!') {
    negate = true;
    ++*pos;
  }
  const uint32_t folded = FoldCase(c);
  bool hit = false;
  while (pattern[*pos] != ']') {
    uint32_t lo = DecodeUtf8(pattern, pos);
    uint32_t hi = lo;
    if (pattern[*pos] == '-' && *pos + 1 < pattern.size() && pattern[*pos + 1] != ']') {
      ++*pos;
      hi = DecodeUtf8(pattern, pos);
    }
    if (lo == hi) {
      hit = hit || folded == FoldCase(lo);
    } else {
      hit = hit || (c >= lo && c <= hi) || (folded >= FoldCase(lo) && folded <= FoldCase(hi));
    }
  }
  ++*pos;  // "]"
  return hit != negate;
}

}  // namespace

bool LikePatternValid(std::string_view pattern) {
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '[') continue;
    size_t close = pattern.find(']', i + 1);
    if (close == std::string_view::npos) return false;
    i = close;
  }
  return true;
}

std::optional<bool> LikeMatch(std::string_view value, std::string_view pattern) {
  if (!LikePatternValid(pattern)) return std::nullopt;
  size_t p = 0, v = 0;
  size_t star_p = std::string_view::npos, star_v = 0;
  while (true) {
    // Zero-width "[]" elements are skipped wherever they stand.
    while (p + 1 < pattern.size() && pattern[p] == '[' && pattern[p + 1] == ']') p += 2;
    if (v >= value.size()) break;
    if (p < pattern.size()) {
      char pc = pattern[p];
      if (pc == '*') {
        star_p = ++p;
        star_v = v;
        continue;
      }
      size_t next_v = v;
      uint32_t c = DecodeUtf8(value, &next_v);
      size_t next_p = p;
      bool matched;
      if (pc == '?') {
        matched = true;
        ++next_p;
      } else if (pc == '#') {
        matched = c >= '0' && c <= '9';
        ++next_p;
      } else if (pc == '[') {
        ++next_p;
        matched = MatchClass(pattern, &next_p, c);
      } else {
        matched = FoldCase(DecodeUtf8(pattern, &next_p)) == FoldCase(c);
      }
      if (matched) {
        p = next_p;
        v = next_v;
        continue;
      }
    }
    if (star_p == std::string_view::npos) return false;
    p = star_p;
    DecodeUtf8(value, &star_v);
    v = star_v;
  }
  while (p < pattern.size()) {
    if (pattern[p] == '*') {
      ++p;
    } else if (p + 1 < pattern.size() && pattern[p] == '[' && pattern[p + 1] == ']') {
      p += 2;
    } else {
      break;
    }
  }
  return p == pattern.size();
}

}  // namespace kr::db::engine
