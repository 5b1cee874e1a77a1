// The text functions of VBA that Access SQL offers beyond the basic ones: Replace, InStrRev,
// StrComp, StrConv, StrReverse, String, Chr, Asc. Text comparisons take the database's order
// unless the compare argument asks for binary (0); Chr and Asc speak code page 932 codes, as
// on a Japanese system (a double-byte code is a negative Integer to Asc).
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "db/engine/jet_function_support.h"
#include "db/engine/jet_functions.h"
#include "db/engine/text_collation.h"

namespace kr::db::engine {
namespace {

using namespace functions;  // NOLINT: the helpers every callback uses

// The compare argument at argv[index] when there is one: true for binary (0), false for text
// (1) or the database's order (2); anything else is an invalid call.
bool BinaryCompare(sqlite3_context* ctx, int argc, sqlite3_value** argv, int index, bool* binary) {
  *binary = false;
  if (argc <= index) return true;
  int64_t compare = 0;
  if (!ToCount(ctx, argv[index], &compare)) return false;
  if (compare < 0 || compare > 2) {
    Error(ctx, kJetInvalidCall);
    return false;
  }
  *binary = compare == 0;
  return true;
}

// Bytes of the match of needle at text[pos] ("nothing" when it does not match there).
std::optional<size_t> MatchAt(std::string_view text, size_t pos, std::string_view needle,
                              bool binary) {
  if (binary) {
    if (text.substr(pos).starts_with(needle)) return needle.size();
    return std::nullopt;
  }
  return FoldedPrefix(text.substr(pos), needle);
}

size_t NextChar(std::string_view text, size_t pos) {
  DecodeUtf8(text, &pos);
  return pos;
}

// Replace(text, find, with[, start[, count[, compare]]]): the text from start on, with count
// (-1: every) occurrences of find replaced. Null text, find or with is invalid use of Null.
void Replace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  for (int i = 0; i < 3; ++i)
    if (IsNull(argv[i])) return Error(ctx, kJetInvalidUseOfNull);
  int64_t start = 1, count = -1;
  if (argc > 3 && !ToCount(ctx, argv[3], &start)) return;
  if (argc > 4 && !ToCount(ctx, argv[4], &count)) return;
  bool binary = false;
  if (!BinaryCompare(ctx, argc, argv, 5, &binary)) return;
  if (start < 1 || count < -1) return Error(ctx, kJetInvalidCall);
  std::string text_storage, find_storage, with_storage;
  std::string_view text = JetText(argv[0], 0, &text_storage);
  std::string_view find = JetText(argv[1], 0, &find_storage);
  std::string_view with = JetText(argv[2], 0, &with_storage);
  text = text.substr(ByteOfChar(text, start - 1));
  if (find.empty() || count == 0) return ResultText(ctx, text);
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    std::optional<size_t> length;
    if (count != 0) length = MatchAt(text, pos, find, binary);
    if (length) {
      out += with;
      pos += *length;
      if (count > 0) --count;
    } else {
      const size_t next = NextChar(text, pos);
      out.append(text.substr(pos, next - pos));
      pos = next;
    }
  }
  ResultText(ctx, out);
}

// InStrRev(text, sought[, start[, compare]]): the position of the last occurrence that begins
// at or before start (-1: the end); 0 when there is none. Null text or sought gives Null.
void InStrRev(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  int64_t start = -1;
  if (argc > 2 && !ToCount(ctx, argv[2], &start)) return;
  bool binary = false;
  if (!BinaryCompare(ctx, argc, argv, 3, &binary)) return;
  if (start == 0 || start < -1) return Error(ctx, kJetInvalidCall);
  if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
  std::string text_storage, sought_storage;
  std::string_view text = JetText(argv[0], 0, &text_storage);
  std::string_view sought = JetText(argv[1], 0, &sought_storage);
  const int64_t length = CharCount(text);
  if (start == -1) start = length;
  if (start > length) return sqlite3_result_int(ctx, 0);
  if (sought.empty()) return sqlite3_result_int64(ctx, start);
  int64_t found = 0, index = 1;
  for (size_t pos = 0; pos < text.size() && index <= start; pos = NextChar(text, pos), ++index) {
    std::optional<size_t> match = MatchAt(text, pos, sought, binary);
    if (match && CharCount(text.substr(0, pos + *match)) <= start) found = index;
  }
  sqlite3_result_int64(ctx, found);
}

// StrComp(a, b[, compare]): -1, 0 or 1; Null when either is Null.
void StrComp(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  bool binary = false;
  if (!BinaryCompare(ctx, argc, argv, 2, &binary)) return;
  if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
  std::string a_storage, b_storage;
  std::string_view a = JetText(argv[0], 0, &a_storage), b = JetText(argv[1], 0, &b_storage);
  const int order = binary ? a.compare(b) : CompareText(a, b);
  sqlite3_result_int(ctx, order < 0 ? -1 : (order > 0 ? 1 : 0));
}

// StrReverse(text): its characters in reverse order. Null is invalid use of Null.
void StrReverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return Error(ctx, kJetInvalidUseOfNull);
  std::string storage;
  std::string_view text = JetText(argv[0], 0, &storage);
  std::string out;
  out.reserve(text.size());
  for (size_t end = text.size(); end > 0;) {
    size_t begin = end - 1;
    while (begin > 0 && (static_cast<unsigned char>(text[begin]) & 0xC0) == 0x80) --begin;
    out.append(text.substr(begin, end - begin));
    end = begin;
  }
  ResultText(ctx, out);
}

// --- Code page 932 ---------------------------------------------------------------------------

struct Cp932 {
  UConverter* converter = nullptr;
  std::mutex mutex;  // a converter holds state
  ~Cp932() {
    if (converter != nullptr) ucnv_close(converter);
  }
};

// Made once (call_once), then shared by every connection under its mutex.
Cp932& TheCp932() {
  static Cp932 cp932;
  static std::once_flag once;
  std::call_once(once, [] {
    UErrorCode status = U_ZERO_ERROR;
    cp932.converter = ucnv_open("windows-31j", &status);
    if (U_FAILURE(status)) cp932.converter = nullptr;
  });
  return cp932;
}

// The character of a code page 932 code (one byte, or lead and trail byte), or nothing.
std::optional<std::string> CharOfCode(uint32_t code) {
  if (code < 0x80) return std::string(1, static_cast<char>(code));
  Cp932& cp = TheCp932();
  if (cp.converter == nullptr) return std::nullopt;
  char bytes[2];
  int32_t n = 0;
  if (code <= 0xFF) {
    bytes[n++] = static_cast<char>(code);
  } else {
    bytes[n++] = static_cast<char>(code >> 8);
    bytes[n++] = static_cast<char>(code & 0xFF);
  }
  std::lock_guard<std::mutex> lock(cp.mutex);
  UChar out[4];
  UErrorCode status = U_ZERO_ERROR;
  ucnv_reset(cp.converter);
  ucnv_setToUCallBack(cp.converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  int32_t length = ucnv_toUChars(cp.converter, out, 4, bytes, n, &status);
  if (U_FAILURE(status) || length != 1) return std::nullopt;
  std::string text;
  AppendUtf8(out[0], &text);
  return text;
}

// The code page 932 code of a character ('?' for one it lacks).
int32_t CodeOfChar(uint32_t c) {
  if (c < 0x80) return static_cast<int32_t>(c);
  Cp932& cp = TheCp932();
  if (cp.converter == nullptr || c > 0xFFFF) return '?';
  std::lock_guard<std::mutex> lock(cp.mutex);
  const UChar in[1] = {static_cast<UChar>(c)};
  char out[4];
  UErrorCode status = U_ZERO_ERROR;
  ucnv_reset(cp.converter);
  ucnv_setFromUCallBack(cp.converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &status);
  int32_t length = ucnv_fromUChars(cp.converter, out, 4, in, 1, &status);
  if (U_FAILURE(status) || length < 1 || length > 2) return '?';
  if (length == 1) return static_cast<unsigned char>(out[0]);
  return static_cast<int16_t>((static_cast<unsigned char>(out[0]) << 8) |
                              static_cast<unsigned char>(out[1]));
}

// Chr(code): the character of a code page 932 code (a double-byte code may come as the
// negative Integer Asc gives). Null is invalid use of Null; a code without a character is an
// invalid call.
void Chr(sqlite3_context* ctx, int, sqlite3_value** argv) {
  int64_t code = 0;
  if (!ToCount(ctx, argv[0], &code)) return;
  if (code < -32768 || code > 65535) return Error(ctx, kJetInvalidCall);
  if (code < 0) code += 65536;
  std::optional<std::string> text = CharOfCode(static_cast<uint32_t>(code));
  if (!text) return Error(ctx, kJetInvalidCall);
  ResultText(ctx, *text);
}

// Asc(text): the code of its first character. Null is invalid use of Null, "" an invalid call.
void Asc(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return Error(ctx, kJetInvalidUseOfNull);
  std::string storage;
  std::string_view text = JetText(argv[0], 0, &storage);
  if (text.empty()) return Error(ctx, kJetInvalidCall);
  size_t pos = 0;
  sqlite3_result_int(ctx, CodeOfChar(DecodeUtf8(text, &pos)));
}

// String(count, character): count times the character (a text's first, or the character of
// a code). Null count is invalid use of Null; Null character gives Null.
void RepeatChar(sqlite3_context* ctx, int, sqlite3_value** argv) {
  int64_t count = 0;
  if (!ToCount(ctx, argv[0], &count)) return;
  if (count < 0) return Error(ctx, kJetInvalidCall);
  if (IsNull(argv[1])) return sqlite3_result_null(ctx);
  std::string one;
  if (sqlite3_value_type(argv[1]) == SQLITE_TEXT) {
    std::string_view text = RawText(argv[1]);
    if (text.empty()) return Error(ctx, kJetInvalidCall);
    size_t pos = 0;
    DecodeUtf8(text, &pos);
    one.assign(text.substr(0, pos));
  } else {
    int64_t code = 0;
    if (!ToCount(ctx, argv[1], &code)) return;
    std::optional<std::string> text = CharOfCode(static_cast<uint32_t>(((code % 256) + 256) % 256));
    if (!text) return Error(ctx, kJetInvalidCall);
    one = *text;
  }
  if (static_cast<uint64_t>(count) * one.size() > 1000000000) return Error(ctx, kErrOutOfMemory);
  std::string out;
  out.reserve(static_cast<size_t>(count) * one.size());
  for (int64_t i = 0; i < count; ++i) out += one;
  ResultText(ctx, out);
}

// --- StrConv -----------------------------------------------------------------------------------

enum : int64_t {
  kUpperCase = 1,
  kLowerCase = 2,
  kProperCase = 3,
  kWide = 4,
  kNarrow = 8,
  kKatakana = 16,
  kHiragana = 32,
  kUnicode = 64,
  kFromUnicode = 128,
};

// Full-width katakana (and the marks) to their half-width forms, from the half-width block.
struct NarrowKana {
  std::array<std::string, 0x60> of;  // index: code point - 0x30A0
};

const NarrowKana& TheNarrowKana() {
  static const std::unique_ptr<NarrowKana> table = [] {
    auto t = std::make_unique<NarrowKana>();
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfkc = icu::Normalizer2::getNFKCInstance(status);
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    for (UChar32 half = 0xFF61; half <= 0xFF9F; ++half) {
      icu::UnicodeString full = nfkc->normalize(icu::UnicodeString(half), status);
      if (U_FAILURE(status) || full.countChar32() != 1) continue;
      const UChar32 f = full.char32At(0);
      std::string h;
      AppendUtf8(static_cast<uint32_t>(half), &h);
      if (f >= 0x30A0 && f < 0x3100) t->of[f - 0x30A0] = h;
      // The voiced and semi-voiced kana are the kana with a half-width mark.
      for (UChar32 mark : {0x3099, 0x309A}) {
        const UChar32 joined = nfc->composePair(f, mark);
        if (joined >= 0x30A0 && joined < 0x3100) {
          std::string with_mark = h;
          AppendUtf8(mark == 0x3099 ? 0xFF9E : 0xFF9F, &with_mark);
          t->of[joined - 0x30A0] = with_mark;
        }
      }
    }
    return t;
  }();
  return *table;
}

void AppendNarrow(uint32_t c, std::string* out) {
  if (c >= 0xFF01 && c <= 0xFF5E) return AppendUtf8(c - 0xFEE0, out);
  if (c == 0x3000) return out->push_back(' ');
  static const std::array<std::pair<uint32_t, uint32_t>, 7> kMarks = {{{0x3002, 0xFF61},
                                                                       {0x300C, 0xFF62},
                                                                       {0x300D, 0xFF63},
                                                                       {0x3001, 0xFF64},
                                                                       {0x30FB, 0xFF65},
                                                                       {0x309B, 0xFF9E},
                                                                       {0x309C, 0xFF9F}}};
  for (const auto& [full, half] : kMarks)
    if (c == full) return AppendUtf8(half, out);
  if (c >= 0x30A0 && c < 0x3100) {
    const std::string& half = TheNarrowKana().of[c - 0x30A0];
    if (!half.empty()) {
      out->append(half);
      return;
    }
  }
  AppendUtf8(c, out);
}

// One conversion of StrConv over text (flags checked by the caller).
std::string ConvertText(std::string_view text, int64_t conversion) {
  std::string out;
  out.reserve(text.size());
  bool word_start = true;
  for (size_t pos = 0; pos < text.size();) {
    const size_t at = pos;
    uint32_t c = DecodeUtf8(text, &pos);
    const int64_t casing = conversion & 3;
    if (casing == kUpperCase) c = static_cast<uint32_t>(u_toupper(static_cast<UChar32>(c)));
    if (casing == kLowerCase) c = static_cast<uint32_t>(u_tolower(static_cast<UChar32>(c)));
    if (casing == kProperCase) {
      c = static_cast<uint32_t>(word_start ? u_toupper(static_cast<UChar32>(c))
                                           : u_tolower(static_cast<UChar32>(c)));
      word_start = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0x3000 || c == 0;
    }
    if ((conversion & kKatakana) && ((c >= 0x3041 && c <= 0x3096) || c == 0x309D || c == 0x309E))
      c += 0x60;
    if ((conversion & kHiragana) && ((c >= 0x30A1 && c <= 0x30F6) || c == 0x30FD || c == 0x30FE))
      c -= 0x60;
    if (conversion & kWide) {
      if (c >= 0x21 && c <= 0x7E) c += 0xFEE0;
      if (c == ' ') c = 0x3000;
      if (c == 0xFF9E || c == 0xFF9F) c = c - 0xFF9E + 0x309B;
      if (c >= 0xFF61 && c <= 0xFF9D) {
        // The folded form is the full-width kana, joined with a half-width voiced mark after it.
        size_t end = pos;
        if (end < text.size()) {
          size_t next = end;
          const uint32_t mark = DecodeUtf8(text, &next);
          if (mark == 0xFF9E || mark == 0xFF9F) end = next;
        }
        out += FoldText(text.substr(at, end - at));
        pos = end;
        continue;
      }
    }
    if (conversion & kNarrow) {
      AppendNarrow(c, &out);
      continue;
    }
    AppendUtf8(c, &out);
  }
  return out;
}

// StrConv(text, conversion[, locale]): case (1 upper, 2 lower, 3 proper), width (4 wide, 8
// narrow) and kana (16 katakana, 32 hiragana), combined by addition. Null text gives Null;
// contradictory or byte-array conversions are invalid calls.
void StrConv(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  int64_t conversion = 0;
  if (!ToCount(ctx, argv[1], &conversion)) return;
  if (argc > 2 && !IsNull(argv[2])) {
    int64_t locale = 0;
    if (!ToCount(ctx, argv[2], &locale)) return;
  }
  const bool bad = conversion < 0 || conversion > 63 ||
                   ((conversion & kWide) && (conversion & kNarrow)) ||
                   ((conversion & kKatakana) && (conversion & kHiragana)) ||
                   (conversion & (kUnicode | kFromUnicode));
  if (bad) return Error(ctx, kJetInvalidCall);
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  std::string storage;
  ResultText(ctx, ConvertText(JetText(argv[0], 0, &storage), conversion));
}

constexpr Scalar kTextScalars[] = {
    {"jet_replace", 3, Guarded<Replace>},   {"jet_replace", 4, Guarded<Replace>},
    {"jet_replace", 5, Guarded<Replace>},   {"jet_replace", 6, Guarded<Replace>},
    {"jet_instrrev", 2, Guarded<InStrRev>}, {"jet_instrrev", 3, Guarded<InStrRev>},
    {"jet_instrrev", 4, Guarded<InStrRev>}, {"jet_strcomp", 2, Guarded<StrComp>},
    {"jet_strcomp", 3, Guarded<StrComp>},   {"jet_strreverse", 1, Guarded<StrReverse>},
    {"jet_chr", 1, Guarded<Chr>},           {"jet_asc", 1, Guarded<Asc>},
    {"jet_string", 2, Guarded<RepeatChar>}, {"jet_strconv", 2, Guarded<StrConv>},
    {"jet_strconv", 3, Guarded<StrConv>},
};

}  // namespace

int RegisterJetTextFunctions(sqlite3* db) { return RegisterScalars(db, kTextScalars); }

}  // namespace kr::db::engine
