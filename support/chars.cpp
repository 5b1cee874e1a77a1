// Character helpers that count code points, as the original's string functions counted
// characters.
#include <unicode/locid.h>
#include <unicode/translit.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <memory>

#include "support/support.h"

namespace kr::support {
namespace {

// Byte offsets of the start of each code point, plus the end. Invalid bytes count as one
// character each.
std::vector<size_t> Boundaries(std::string_view text) {
  std::vector<size_t> offsets;
  offsets.reserve(text.size() + 1);
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  int32_t i = 0;
  while (i < length) {
    offsets.push_back(static_cast<size_t>(i));
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    (void)c;
  }
  offsets.push_back(text.size());
  return offsets;
}

icu::UnicodeString FromUtf8(std::string_view text) {
  return icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

std::string ToUtf8(const icu::UnicodeString& text) {
  std::string out;
  text.toUTF8String(out);
  return out;
}

// Table and field names are nearly always ASCII, and are folded for every lookup: without ICU,
// which folds ASCII the same way, the fold costs no conversion.
bool IsAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

std::string AsciiCase(std::string_view text, bool upper) {
  std::string out(text);
  for (char& c : out) {
    if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace

size_t CharLength(std::string_view text) { return Boundaries(text).size() - 1; }

std::string CharLeft(std::string_view text, size_t count) {
  std::vector<size_t> offsets = Boundaries(text);
  if (count >= offsets.size() - 1) return std::string(text);
  return std::string(text.substr(0, offsets[count]));
}

std::string CharRight(std::string_view text, size_t count) {
  std::vector<size_t> offsets = Boundaries(text);
  const size_t length = offsets.size() - 1;
  if (count >= length) return std::string(text);
  return std::string(text.substr(offsets[length - count]));
}

std::string CharMid(std::string_view text, size_t start1, size_t count) {
  std::vector<size_t> offsets = Boundaries(text);
  const size_t length = offsets.size() - 1;
  const size_t first = start1 == 0 ? 0 : start1 - 1;
  if (first >= length) return {};
  const size_t last = count >= length - first ? length : first + count;
  return std::string(text.substr(offsets[first], offsets[last] - offsets[first]));
}

std::string UpperCase(std::string_view text) {
  if (IsAscii(text)) return AsciiCase(text, true);
  return ToUtf8(FromUtf8(text).toUpper(icu::Locale::getRoot()));
}

std::string LowerCase(std::string_view text) {
  if (IsAscii(text)) return AsciiCase(text, false);
  return ToUtf8(FromUtf8(text).toLower(icu::Locale::getRoot()));
}

std::string TrimRightSpaces(std::string_view text) {
  size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

std::string Trim(std::string_view text) {
  size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(' ');
  return std::string(text.substr(begin, end - begin + 1));
}

std::string NarrowLowerCase(std::string_view text) {
  if (IsAscii(text)) return AsciiCase(text, false);
  // Creating the transliterator is slow; once made it is only read.
  static const std::unique_ptr<icu::Transliterator> narrow = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> made(
        icu::Transliterator::createInstance("Fullwidth-Halfwidth", UTRANS_FORWARD, status));
    if (U_FAILURE(status)) made.reset();
    return made;
  }();
  icu::UnicodeString wide = FromUtf8(text);
  if (narrow) narrow->transliterate(wide);
  return ToUtf8(wide.toLower(icu::Locale::getRoot()));
}

}  // namespace kr::support
