// Format(value[, format]) as the SQL function jet_format(value, format, type): the named
// formats Access documents and user-defined number, date and text formats, as on a Japanese
// system (currency "¥1,235", long date "2020年4月7日"); dates without a format are written as
// the engine writes them elsewhere. type is the DAO type of the value (8 tells a date).
// Null gives Null unless the format has a section for it (a number format's fourth, a text
// format's second).
#include <unicode/uchar.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "db/engine/engine.h"
#include "db/engine/jet_format_internal.h"
#include "db/engine/jet_function_support.h"
#include "db/engine/jet_functions.h"

namespace kr::db::engine {

namespace format {

// A quoted text or a backslash-escaped character of a format section, copied to out; false for
// any other character. i moves to the last character used.
bool CopyLiteral(std::string_view section, size_t& i, std::string& out) {
  if (section[i] == '"') {
    size_t close = section.find('"', i + 1);
    if (close == std::string_view::npos) close = section.size();
    out.append(section.substr(i + 1, close - i - 1));
    i = close;
    return true;
  }
  if (section[i] == '\\') {
    if (i + 1 < section.size()) out += section[++i];
    return true;
  }
  return false;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return out;
}

// Sections of a format split at ";" outside quotes and escapes.
std::vector<std::string> Sections(std::string_view format) {
  std::vector<std::string> sections(1);
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '"') {
      size_t close = format.find('"', i + 1);
      if (close == std::string_view::npos) close = format.size() - 1;
      sections.back().append(format.substr(i, close - i + 1));
      i = close;
    } else if (c == '\\' && i + 1 < format.size()) {
      sections.back().append(format.substr(i, 2));
      ++i;
    } else if (c == ';') {
      sections.emplace_back();
    } else {
      sections.back() += c;
    }
  }
  return sections;
}

bool IsDateToken(char c) {
  c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return c == 'y' || c == 'm' || c == 'd' || c == 'h' || c == 'n' || c == 's' || c == 'w' ||
         c == 'q' || c == 'c' || c == 't' || c == 'a' || c == 'g' || c == 'e';
}

}  // namespace format

namespace {

using namespace format;  // NOLINT: the helpers of this function's files

using namespace functions;  // NOLINT: the helpers every callback uses

// Rounds half away from zero, as Format does (Round rounds half to even).
double RoundAway(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return std::round(value * scale) / scale;
}

std::string Grouped(const std::string& digits) {
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// |value| with decimals places, digits grouped when asked.
std::string Fixed(double value, int decimals, bool group) {
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, RoundAway(std::fabs(value), decimals));
  std::string text = buffer;
  const size_t point = text.find('.');
  std::string whole = text.substr(0, point),
              fraction = point == std::string::npos ? "" : text.substr(point);
  return (group ? Grouped(whole) : whole) + fraction;
}

enum class Kind { kNumber, kDate, kText };

// A quoted text or an escaped character at i of a section: i moves to its last character.
bool SkipLiteral(std::string_view section, size_t& i) {
  std::string unused;
  return CopyLiteral(section, i, unused);
}

Kind KindOf(std::string_view section) {
  bool date = false;
  for (size_t i = 0; i < section.size(); ++i) {
    if (SkipLiteral(section, i)) continue;
    const char c = section[i];
    if (c == '@' || c == '&' || c == '<' || c == '>' || c == '!') {
      return Kind::kText;
    } else if (c == '0' || c == '#') {
      return Kind::kNumber;
    } else if (IsDateToken(c)) {
      date = true;
    }
  }
  return date ? Kind::kDate : Kind::kNumber;
}

// --- Numbers ---------------------------------------------------------------------------------

// What the placeholders of a number section ask for.
struct NumberShape {
  int integer_zeros = 0, decimals = 0, decimal_zeros = 0;
  bool point = false, group = false, percent = false, exponent = false;
  int exponent_digits = 0;
};

NumberShape ShapeOf(std::string_view section) {
  NumberShape shape;
  auto& [integer_zeros, decimals, decimal_zeros, point, group, percent, exponent, exponent_digits] =
      shape;
  for (size_t i = 0; i < section.size(); ++i) {
    if (SkipLiteral(section, i)) continue;
    const char c = section[i];
    if ((c == 'E' || c == 'e') && i + 1 < section.size() &&
        (section[i + 1] == '+' || section[i + 1] == '-')) {
      exponent = true;
      ++i;
      while (i + 1 < section.size() && (section[i + 1] == '0' || section[i + 1] == '#')) {
        ++exponent_digits;
        ++i;
      }
    } else if (c == '0' || c == '#') {
      if (exponent) continue;
      if (point) {
        ++decimals;
        if (c == '0') decimal_zeros = decimals;
      } else if (c == '0') {
        ++integer_zeros;
      }
    } else if (c == '.') {
      point = true;
    } else if (c == ',' && !point) {
      group = true;
    } else if (c == '%') {
      percent = true;
    }
  }
  return shape;
}

std::string FormatNumberSection(double value, std::string_view section) {
  const NumberShape shape = ShapeOf(section);
  const int integer_zeros = shape.integer_zeros, decimals = shape.decimals;
  const int decimal_zeros = shape.decimal_zeros, exponent_digits = shape.exponent_digits;
  if (shape.percent) value *= 100;
  int power = 0;
  if (shape.exponent && value != 0) {
    power = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    value /= std::pow(10.0, power);
    if (RoundAway(std::fabs(value), decimals) >= 10) {
      value /= 10;
      ++power;
    }
  }
  std::string number = Fixed(value, decimals, shape.group);
  std::string whole = number.substr(0, number.find('.'));
  std::string fraction =
      number.find('.') == std::string::npos ? "" : number.substr(number.find('.') + 1);
  while (static_cast<int>(fraction.size()) > decimal_zeros && !fraction.empty() &&
         fraction.back() == '0')
    fraction.pop_back();
  if (whole == "0" && integer_zeros == 0) whole.clear();
  while (static_cast<int>(whole.size()) < integer_zeros) whole.insert(0, "0");
  // Write the section: the whole digits at the first integer placeholder, the fraction at the
  // point, literals where they stand.
  std::string out;
  bool point = false, whole_written = false, fraction_written = false, exponent_written = false;
  for (size_t i = 0; i < section.size(); ++i) {
    if (CopyLiteral(section, i, out)) continue;
    const char c = section[i];
    if ((c == 'E' || c == 'e') && i + 1 < section.size() &&
        (section[i + 1] == '+' || section[i + 1] == '-')) {
      const bool always_sign = section[i + 1] == '+';
      ++i;
      while (i + 1 < section.size() && (section[i + 1] == '0' || section[i + 1] == '#')) ++i;
      if (!exponent_written) {
        std::string digits = std::to_string(std::abs(power));
        while (static_cast<int>(digits.size()) < exponent_digits) digits.insert(0, "0");
        out += c;
        out += power < 0 ? "-" : (always_sign ? "+" : "");
        out += digits;
        exponent_written = true;
      }
    } else if (c == '0' || c == '#') {
      if (!point && !whole_written) {
        out += whole;
        whole_written = true;
      }
    } else if (c == '.') {
      point = true;
      if (!whole_written) {
        out += whole;
        whole_written = true;
      }
      if (!fraction_written) {
        if (!fraction.empty() || decimal_zeros > 0) out += "." + fraction;
        fraction_written = true;
      }
    } else if (c == ',') {
      // grouping, written with the digits
    } else {
      out += c;
    }
  }
  if (!whole_written) out.insert(0, whole);
  return out;
}

std::string FormatNumber(double value, std::string_view format) {
  if (!std::isfinite(value)) return FormatDouble(value);
  const std::string name = Lower(format);
  if (name == "general number") return FormatDouble(value);
  if (name == "currency")
    return std::string(value < 0 ? "-" : "") + "\u00A5" + Fixed(value, 0, true);
  if (name == "fixed") return std::string(value < 0 ? "-" : "") + Fixed(value, 2, false);
  if (name == "standard") return std::string(value < 0 ? "-" : "") + Fixed(value, 2, true);
  if (name == "percent")
    return std::string(value < 0 ? "-" : "") + Fixed(value * 100, 2, false) + "%";
  if (name == "scientific") return FormatNumberSection(value, "0.00E+00");
  if (name == "yes/no") return value != 0 ? "Yes" : "No";
  if (name == "true/false") return value != 0 ? "True" : "False";
  if (name == "on/off") return value != 0 ? "On" : "Off";
  std::vector<std::string> sections = Sections(format);
  const bool negative_section = value < 0 && sections.size() > 1 && !sections[1].empty();
  // The zero section takes any value its own section would show as zero.
  if (sections.size() > 2 && !sections[2].empty()) {
    const NumberShape shape = ShapeOf(sections[negative_section ? 1 : 0]);
    const double shown = std::fabs(value) * (shape.percent ? 100 : 1);
    if (value == 0 || (!shape.exponent && RoundAway(shown, shape.decimals) == 0))
      return FormatNumberSection(0, sections[2]);
  }
  if (negative_section) return FormatNumberSection(-value, sections[1]);
  std::string text = FormatNumberSection(std::fabs(value), sections[0]);
  if (value < 0 && text.find_first_of("123456789") != std::string::npos) text.insert(0, "-");
  return text;
}

bool IsNumberName(std::string_view format) {
  const std::string name = Lower(format);
  return name == "general number" || name == "currency" || name == "fixed" || name == "standard" ||
         name == "percent" || name == "scientific" || name == "yes/no" || name == "true/false" ||
         name == "on/off";
}

// --- Text --------------------------------------------------------------------------------------

std::string FormatTextSection(std::string_view text, std::string_view section) {
  int placeholders = 0;
  bool lower = false, upper = false, left_first = false;
  for (char c : section) {
    if (c == '@' || c == '&') ++placeholders;
    if (c == '<') lower = true;
    if (c == '>') upper = true;
    if (c == '!') left_first = true;
  }
  std::vector<std::string> chars;
  for (size_t pos = 0; pos < text.size();) {
    const size_t start = pos;
    uint32_t c = DecodeUtf8(text, &pos);
    if (lower || upper) {
      std::string one;
      AppendUtf8(static_cast<uint32_t>(lower ? u_tolower(static_cast<UChar32>(c))
                                             : u_toupper(static_cast<UChar32>(c))),
                 &one);
      chars.push_back(one);
    } else {
      chars.emplace_back(text.substr(start, pos - start));
    }
  }
  if (placeholders == 0) {
    std::string out;
    for (const std::string& c : chars) out += c;
    std::string literal;
    for (size_t i = 0; i < section.size(); ++i) {
      if (section[i] == '"') {
        size_t close = section.find('"', i + 1);
        if (close == std::string_view::npos) close = section.size();
        literal.append(section.substr(i + 1, close - i - 1));
        i = close;
      } else if (section[i] == '\\' && i + 1 < section.size()) {
        literal += section[++i];
      } else if (section[i] != '<' && section[i] != '>' && section[i] != '!') {
        literal += section[i];
      }
    }
    return out + literal;
  }
  // Characters fill the placeholders from the right (from the left with "!"); extra characters
  // go before the first (after the last).
  const int extra = std::max(0, static_cast<int>(chars.size()) - placeholders);
  const int missing = std::max(0, placeholders - static_cast<int>(chars.size()));
  std::string out;
  int slot = 0;
  size_t next = 0;
  for (size_t i = 0; i < section.size(); ++i) {
    if (CopyLiteral(section, i, out)) continue;
    const char c = section[i];
    if (c == '@' || c == '&') {
      if (slot == 0 && !left_first)
        for (int k = 0; k < extra; ++k) out += chars[next++];
      const bool empty = left_first ? next >= chars.size() : slot < missing;
      if (empty) {
        if (c == '@') out += ' ';
      } else {
        out += chars[next++];
      }
      ++slot;
      if (slot == placeholders && left_first)
        while (next < chars.size()) out += chars[next++];
    } else if (c != '<' && c != '>' && c != '!') {
      out += c;
    }
  }
  return out;
}

void Format(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const int type = argc > 2 ? sqlite3_value_int(argv[2]) : 0;
  // firstdayofweek (0-7) and firstweekofyear (0-3); 0 is the system's: Sunday, January 1.
  int options[2] = {1, 1};
  for (int i = 3; i < argc; ++i) {
    int64_t option = 0;
    if (!ToCount(ctx, argv[i], &option)) return;
    if (option < 0 || option > (i == 3 ? 7 : 3)) return Error(ctx, kJetInvalidCall);
    if (option != 0) options[i - 3] = static_cast<int>(option);
  }
  std::string format_storage;
  const std::string_view format =
      argc > 1 && !IsNull(argv[1]) ? JetText(argv[1], 0, &format_storage) : std::string_view();
  std::vector<std::string> sections = Sections(format);
  if (IsNull(argv[0])) {
    const Kind kind = KindOf(sections[0]);
    if (kind == Kind::kNumber && sections.size() > 3)
      return ResultText(ctx, FormatTextSection("", sections[3]));
    if (kind == Kind::kText && sections.size() > 1)
      return ResultText(ctx, FormatTextSection("", sections[1]));
    return sqlite3_result_null(ctx);
  }
  std::string value_storage;
  if (format.empty()) return ResultText(ctx, JetText(argv[0], type, &value_storage));
  const Kind kind = IsDateName(format)     ? Kind::kDate
                    : IsNumberName(format) ? Kind::kNumber
                                           : KindOf(sections[0]);
  const int storage = sqlite3_value_type(argv[0]);
  if (kind == Kind::kText) {
    std::string_view text = JetText(argv[0], type, &value_storage);
    if (text.empty() && sections.size() > 1)
      return ResultText(ctx, FormatTextSection("", sections[1]));
    return ResultText(ctx, FormatTextSection(text, sections[0]));
  }
  if (kind == Kind::kDate || (type == kDate && storage != SQLITE_TEXT)) {
    double ole = 0;
    if (storage == SQLITE_TEXT) {
      auto parsed = ParseDateText(RawText(argv[0]));
      if (!parsed) return ResultText(ctx, RawText(argv[0]));
      ole = *parsed;
    } else {
      ole = sqlite3_value_double(argv[0]);
    }
    if (kind != Kind::kDate) return ResultText(ctx, FormatNumber(ole, format));
    return ResultText(ctx, FormatDateValue(ole, format, options[0], options[1]));
  }
  auto number = NumberOf(argv[0]);
  if (!number) return ResultText(ctx, JetText(argv[0], type, &value_storage));
  ResultText(ctx, FormatNumber(number->value(), format));
}

constexpr Scalar kFormatScalars[] = {
    {"jet_format", 1, Guarded<Format>}, {"jet_format", 2, Guarded<Format>},
    {"jet_format", 3, Guarded<Format>}, {"jet_format", 4, Guarded<Format>},
    {"jet_format", 5, Guarded<Format>},
};

}  // namespace

int RegisterJetFormatFunctions(sqlite3* db) { return RegisterScalars(db, kFormatScalars); }

}  // namespace kr::db::engine
