// What the files of Format (jet_format.cpp, jet_format_dates.cpp) share. Internal to db/engine.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kr::db::engine::format {

// A quoted text or a backslash-escaped character of a format section, copied to out; false for
// any other character. i moves to the last character used.
bool CopyLiteral(std::string_view section, size_t& i, std::string& out);
// ASCII letters in lower case.
std::string Lower(std::string_view text);
// Sections of a format split at ";" outside quotes and escapes.
std::vector<std::string> Sections(std::string_view format);
// A letter that stands for a part of a date (y m d h n s w q c t a g e, either case).
bool IsDateToken(char c);

// A named date format ("Long Date", ...).
bool IsDateName(std::string_view format);
// ole written in a named date format, or in the first section of a user-defined one; weeks
// (w, ww) count from first_day and first_week, as DatePart's options.
std::string FormatDateValue(double ole, std::string_view format, int first_day = 1,
                            int first_week = 1);

}  // namespace kr::db::engine::format
