#include "db/engine/jet_values.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace kr::db::engine {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
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
  std::string_view s = TrimSpaces(text);
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
