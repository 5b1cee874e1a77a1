#include "db/engine/text_collation.h"

#include <sqlite3.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <memory>
#include <vector>

#include "db/engine/jet_values.h"

namespace kr::db::engine {

namespace {

constexpr uint32_t kVoicedMark = 0x3099, kSemiVoicedMark = 0x309A;
constexpr uint32_t kKatakanaFirst = 0x30A0, kKatakanaLast = 0x30FF;
// Weights beyond every character of code page 932: BMP characters outside it, then the others.
constexpr uint32_t kOutsideCp932 = 0x10000;

struct Tables {
  std::array<uint16_t, 0x10000> fold{};
  std::array<uint32_t, 0x10000> weight{};
  // The voiced and semi-voiced katakana of each katakana (0: none).
  std::array<std::array<uint16_t, 2>, kKatakanaLast - kKatakanaFirst + 1> voiced{};
};

uint32_t Fold(uint32_t c, const icu::Normalizer2& nfkc) {
  uint32_t f = c;
  // Full-width forms and the half-width katakana take their other width (NFKC says which).
  if (c == 0x3000 || (c >= 0xFF01 && c <= 0xFFEE)) {
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString narrow = nfkc.normalize(icu::UnicodeString(static_cast<UChar32>(c)), status);
    if (U_SUCCESS(status) && narrow.countChar32() == 1)
      f = static_cast<uint32_t>(narrow.char32At(0));
  }
  // Hiragana compare as katakana (the iteration marks ゝゞ as ヽヾ).
  if ((f >= 0x3041 && f <= 0x3096) || f == 0x309D || f == 0x309E) f += 0x60;
  if (f < 0x80) return (f >= 'A' && f <= 'Z') ? f + 32 : f;
  UChar32 folded = u_foldCase(static_cast<UChar32>(f), U_FOLD_CASE_DEFAULT);
  return folded < 0x10000 ? static_cast<uint32_t>(folded) : f;
}

std::unique_ptr<Tables> Build() {
  auto t = std::make_unique<Tables>();
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfkc = icu::Normalizer2::getNFKCInstance(status);
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  assert(U_SUCCESS(status));
  for (uint32_t c = 0; c < 0x10000; ++c) {
    t->fold[c] = static_cast<uint16_t>(Fold(c, *nfkc));
    t->weight[c] = c < 0x80 ? c : kOutsideCp932 + c;
  }
  // Double-byte codes of code page 932 in code order; the first code of a character counts.
  std::vector<bool> taken(0x10000, false);
  UConverter* cp932 = ucnv_open("windows-31j", &status);
  if (U_SUCCESS(status)) {
    for (uint32_t lead = 0x81; lead <= 0xFC; ++lead) {
      if (lead > 0x9F && lead < 0xE0) continue;
      for (uint32_t trail = 0x40; trail <= 0xFC; ++trail) {
        const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        UChar out[4];
        UErrorCode s = U_ZERO_ERROR;
        int32_t n = ucnv_toUChars(cp932, out, 4, bytes, 2, &s);
        if (U_FAILURE(s) || n != 1 || out[0] < 0x80 || out[0] == 0xFFFD || taken[out[0]]) continue;
        taken[out[0]] = true;
        t->weight[out[0]] = (lead << 8) | trail;
      }
    }
    ucnv_close(cp932);
  }
  for (uint32_t k = kKatakanaFirst; k <= kKatakanaLast; ++k) {
    for (uint32_t mark : {kVoicedMark, kSemiVoicedMark}) {
      UChar32 joined = nfc->composePair(static_cast<UChar32>(k), static_cast<UChar32>(mark));
      if (joined > 0 && joined < 0x10000)
        t->voiced[k - kKatakanaFirst][mark - kVoicedMark] = static_cast<uint16_t>(joined);
    }
  }
  return t;
}

const Tables& TheTables() {
  static const std::unique_ptr<Tables> tables = Build();
  return *tables;
}

// The next folded character of text at *pos (a kana takes the voiced mark that follows it).
uint32_t NextFolded(const Tables& t, std::string_view text, size_t* pos) {
  uint32_t c = DecodeUtf8(text, pos);
  if (c >= 0x10000) return c;
  uint32_t f = t.fold[c];
  if (f >= kKatakanaFirst && f <= kKatakanaLast && *pos < text.size()) {
    size_t next = *pos;
    uint32_t mark = DecodeUtf8(text, &next);
    if (mark < 0x10000) mark = t.fold[mark];
    if (mark == kVoicedMark || mark == kSemiVoicedMark) {
      if (uint16_t joined = t.voiced[f - kKatakanaFirst][mark - kVoicedMark]) {
        *pos = next;
        return joined;
      }
    }
  }
  return f;
}

uint32_t Weight(const Tables& t, uint32_t folded) {
  return folded < 0x10000 ? t.weight[folded] : kOutsideCp932 + folded;
}

constexpr unsigned char AsciiLower(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

int Collate(void*, int n1, const void* p1, int n2, const void* p2) {
  return CompareText(std::string_view(static_cast<const char*>(p1), static_cast<size_t>(n1)),
                     std::string_view(static_cast<const char*>(p2), static_cast<size_t>(n2)));
}

}  // namespace

int CompareText(std::string_view a, std::string_view b) {
  // Codes and names are mostly ASCII: compare those bytes as they come.
  size_t i = 0;
  const size_t common = std::min(a.size(), b.size());
  for (; i < common; ++i) {
    const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if ((x | y) >= 0x80) break;
    if (x != y && AsciiLower(x) != AsciiLower(y)) return AsciiLower(x) < AsciiLower(y) ? -1 : 1;
  }
  if (i == common) return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
  const Tables& t = TheTables();
  size_t j = i;
  while (i < a.size() && j < b.size()) {
    const uint32_t x = Weight(t, NextFolded(t, a, &i)), y = Weight(t, NextFolded(t, b, &j));
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  return j < b.size() ? -1 : 0;
}

std::string FoldText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const Tables& t = TheTables();
  size_t pos = 0;
  while (pos < text.size()) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x80) {
      out += static_cast<char>(AsciiLower(byte));
      ++pos;
    } else {
      AppendUtf8(NextFolded(t, text, &pos), &out);
    }
  }
  return out;
}

std::optional<size_t> FoldedPrefix(std::string_view text, std::string_view prefix) {
  const Tables& t = TheTables();
  size_t i = 0, j = 0;
  while (j < prefix.size()) {
    if (i >= text.size() || NextFolded(t, text, &i) != NextFolded(t, prefix, &j))
      return std::nullopt;
  }
  return i;
}

std::string FoldLikePattern(std::string_view pattern) {
  std::string out;
  out.reserve(pattern.size());
  const Tables& t = TheTables();
  size_t pos = 0;
  while (pos < pattern.size()) {
    const char c = pattern[pos];
    if (c == '*' || c == '?' || c == '#') {
      out += c;
      ++pos;
    } else if (c == '[') {
      const size_t close = pattern.find(']', pos + 1);
      if (close == std::string_view::npos) return std::string(pattern);  // malformed: reported
      out += '[';
      ++pos;
      if (pos < close && pattern[pos] == '!') out += pattern[pos++];
      while (pos < close) {
        if (pattern[pos] == '-') {
          out += pattern[pos++];
          continue;
        }
        const size_t start = pos;
        const uint32_t f = NextFolded(t, pattern.substr(0, close), &pos);
        if (f == ']' || f == '-' || f == '!')
          out.append(pattern.substr(start, pos - start));
        else
          AppendUtf8(f, &out);
      }
      out += ']';
      pos = close + 1;
    } else {
      const uint32_t f = NextFolded(t, pattern, &pos);
      const bool wildcard = f == '*' || f == '?' || f == '#' || f == '[';
      if (wildcard) out += '[';
      AppendUtf8(f, &out);
      if (wildcard) out += ']';
    }
  }
  return out;
}

int RegisterTextCollation(sqlite3* db) {
  TheTables();
  return sqlite3_create_collation_v2(db, kTextCollation, SQLITE_UTF8, nullptr, Collate, nullptr);
}

}  // namespace kr::db::engine
