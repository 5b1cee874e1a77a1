// Jet's value conversions, shared by the tokenizer (#date# literals), the expression renderer
// and the SQL functions: text forms of numbers and dates, parsing numbers and dates out of
// text, VBA's Val, banker's rounding, and the Like matcher. Pure functions, no SQLite; none
// allocates unless it returns a string. Internal to db/engine.
//
// Dates are OLE automation dates, as Jet stores them: days since 1899-12-30, the fraction is the
// time of day (for days before that date the fraction still counts forward, so 1899-12-29 06:00
// is -1.25).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kr::db::engine {

// A space, tab, carriage return or line feed: what Jet skips around numbers and dates in text.
bool IsSpace(char c);
// text without those around it.
std::string_view TrimSpaces(std::string_view text);

struct DateParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};

// The OLE date of a calendar date and time; nothing when a part is out of range (years 100 to
// 9999, real month lengths, 0:00:00 to 23:59:59).
std::optional<double> OleFromParts(const DateParts& parts);
// The calendar date and time of an OLE date, rounded to the second. Values outside years 100 to
// 9999 are clamped to that range.
DateParts PartsFromOle(double ole);

// The content of a #...# literal: "2020/04/07", "2020-04-07 15:30:00", "4/7/2020" (month first,
// as Jet reads literals), "4/7/20", "15:30", "3:30 PM", "2020/4/7 3:30:15 pm".
std::optional<double> ParseDateLiteral(std::string_view text);
// A date held in text, as CDate reads it in a Japanese locale: year first when the first part
// has three or more digits or the last part has two or fewer ("2020/4/7", "20/4/7"), month
// first when the last part is the year ("4/7/2020"). Leading and trailing spaces are ignored.
std::optional<double> ParseDateText(std::string_view text);

// Weeks of day numbers (whole days since 1899-12-30). first_day: 1 Sunday to 7 Saturday;
// first_week: 1 the week of January 1, 2 the first week of four days, 3 the first full week.
int WeekdayOf(int64_t day, int first_day);  // 1 to 7 from first_day
int64_t DaySerial(int year, int month, int day);
int WeekOfYear(int64_t day, int year, int first_day, int first_week);

// Jet's text form of a date: "2020/04/07", "2020/04/07 9:05:00", "9:05:00" (no date part when
// the day is 1899-12-30, no time part at midnight).
std::string FormatDate(double ole);

// Jet's text form of a number (as CStr and "&" write it): integers as they are; a double with
// up to 15 significant digits and no trailing zeros ("0.1", "1", "123456789012345"), in E form
// outside 1E-05 to 1E+15 ("1E+20", "1.5E-07").
std::string FormatDouble(double value);
// The same with 7 significant digits, for values held in Single fields.
std::string FormatSingle(double value);
// An integer in decimal.
std::string FormatInteger(int64_t value);

// A number written in text, as CDbl reads it: optional spaces around, sign, digits with ","
// group separators, ".", exponent "E" or "D", or "&H"/"&O" prefixed integers. Nothing for
// anything else (including empty text).
std::optional<double> ParseNumberText(std::string_view text);

// VBA's Val: the leading number of a text; spaces, tabs and line feeds are skipped anywhere
// inside it; "&H1F" and "&O17" are hexadecimal and octal; 0 when nothing numeric leads.
double Val(std::string_view text);

// Round half to even (banker's rounding), to a whole number.
double BankersRound(double value);

// Case folding used for comparisons: ASCII and the Unicode simple folding (full-width Latin
// included). Japanese characters fold to themselves.
uint32_t FoldCase(uint32_t code_point);

// Decodes one UTF-8 code point at text[*pos], advancing *pos; an invalid byte decodes as
// U+FFFD and advances one byte.
uint32_t DecodeUtf8(std::string_view text, size_t* pos);
// Appends the UTF-8 form of a code point.
void AppendUtf8(uint32_t code_point, std::string* out);

// Jet's Like: "*" any run, "?" one character, "#" one digit, "[abc]", "[a-z]", "[!a-z]"
// (a class matches one character; "[*]" matches "*"), case-insensitive. Nothing when the
// pattern is malformed (an unclosed "[").
std::optional<bool> LikeMatch(std::string_view value, std::string_view pattern);
// Whether a pattern is well-formed.
bool LikePatternValid(std::string_view pattern);

}  // namespace kr::db::engine
