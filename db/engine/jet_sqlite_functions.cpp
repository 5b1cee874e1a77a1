// The jet_* SQL functions behind the function table and the renderer (the clock ones are in
// jet_clock_functions.cpp), and RegisterJetFunctions. Each callback works on SQLite's own buffers
// and a small stack buffer where it can, and reports Jet errors as "jet:<number>:<description>".
#include <sqlite3.h>
#include <unicode/uchar.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "db/engine/dao_errors.h"
#include "db/engine/engine.h"
#include "db/engine/jet_conversions.h"
#include "db/engine/jet_function_support.h"
#include "db/engine/jet_functions.h"
#include "db/engine/jet_values.h"
#include "db/engine/text_collation.h"

namespace kr::db::engine {
namespace {

using namespace functions;  // NOLINT: the helpers every callback uses

// --- Conversions ---------------------------------------------------------------------------

// CStr, CSng, CDbl, CCur, CLng, CInt, CByte, CBool, CDate: the conversion on write, raising
// where it fails. jet_text takes the DAO type its value comes from as a second argument.
template <int kType>
void Convert(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const int source = argc > 1 ? sqlite3_value_int(argv[1]) : 0;
  if (int error = ConvertToType(ctx, argv[0], kType, source)) Error(ctx, error);
}

// --- Operators -----------------------------------------------------------------------------

// Any number of parts: Null only when every part is Null; otherwise the parts' text forms,
// Null counting as "".
void Concat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  int non_null = -1, count = 0;
  for (int i = 0; i < argc; ++i) {
    if (!IsNull(argv[i])) {
      non_null = i;
      ++count;
    }
  }
  if (count == 0) return sqlite3_result_null(ctx);
  std::string storage;
  if (count == 1) return ResultText(ctx, JetText(argv[non_null], 0, &storage));
  std::string joined;
  for (int i = 0; i < argc; ++i) joined += JetText(argv[i], 0, &storage);
  ResultText(ctx, joined);
}

void Add(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
  if (sqlite3_value_type(argv[0]) == SQLITE_TEXT && sqlite3_value_type(argv[1]) == SQLITE_TEXT) {
    std::string joined(RawText(argv[0]));
    joined += RawText(argv[1]);
    return ResultText(ctx, joined);
  }
  JetNumber a, b;
  if (!ToNumber(ctx, argv[0], &a) || !ToNumber(ctx, argv[1], &b)) return;
  if (a.integer && b.integer) {
    int64_t sum;
    if (!__builtin_add_overflow(a.i, b.i, &sum)) return sqlite3_result_int64(ctx, sum);
  }
  sqlite3_result_double(ctx, a.value() + b.value());
}

bool TwoNumbers(sqlite3_context* ctx, sqlite3_value** argv, JetNumber* a, JetNumber* b) {
  if (IsNull(argv[0]) || IsNull(argv[1])) {
    sqlite3_result_null(ctx);
    return false;
  }
  return ToNumber(ctx, argv[0], a) && ToNumber(ctx, argv[1], b);
}

void Divide(sqlite3_context* ctx, int, sqlite3_value** argv) {
  JetNumber a, b;
  if (!TwoNumbers(ctx, argv, &a, &b)) return;
  if (b.value() == 0) return Error(ctx, kJetDivisionByZero);
  sqlite3_result_double(ctx, a.value() / b.value());
}

// Operands of \ and Mod: rounded half to even, and within a Long as Jet computes them.
bool WholeOperands(sqlite3_context* ctx, sqlite3_value** argv, int64_t* a, int64_t* b) {
  JetNumber x, y;
  if (!TwoNumbers(ctx, argv, &x, &y)) return false;
  const double rx = x.integer ? static_cast<double>(x.i) : BankersRound(x.d);
  const double ry = y.integer ? static_cast<double>(y.i) : BankersRound(y.d);
  constexpr double kLimit = 9.2e18;
  if (!(std::fabs(rx) < kLimit && std::fabs(ry) < kLimit)) {
    Error(ctx, kJetOverflow);
    return false;
  }
  *a = x.integer ? x.i : static_cast<int64_t>(rx);
  *b = y.integer ? y.i : static_cast<int64_t>(ry);
  if (*b == 0) {
    Error(ctx, kJetDivisionByZero);
    return false;
  }
  return true;
}

void IntDivide(sqlite3_context* ctx, int, sqlite3_value** argv) {
  int64_t a, b;
  if (!WholeOperands(ctx, argv, &a, &b)) return;
  if (b == -1 && a == std::numeric_limits<int64_t>::min()) {
    return sqlite3_result_double(ctx, -static_cast<double>(a));
  }
  sqlite3_result_int64(ctx, a / b);
}

void Modulo(sqlite3_context* ctx, int, sqlite3_value** argv) {
  int64_t a, b;
  if (!WholeOperands(ctx, argv, &a, &b)) return;
  if (b == -1) return sqlite3_result_int64(ctx, 0);
  sqlite3_result_int64(ctx, a % b);
}

void Power(sqlite3_context* ctx, int, sqlite3_value** argv) {
  JetNumber a, b;
  if (!TwoNumbers(ctx, argv, &a, &b)) return;
  const double r = std::pow(a.value(), b.value());
  if (std::isnan(r)) return Error(ctx, kJetInvalidCall);
  if (std::isinf(r)) return Error(ctx, kJetOverflow);
  sqlite3_result_double(ctx, r);
}

void DeleteString(void* p) { delete static_cast<std::string*>(p); }

// Text and pattern compare folded, as the collation compares (the folded pattern of a constant
// pattern is kept with the statement).
void Like(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
  std::string value_storage, pattern_storage;
  std::string_view value = JetText(argv[0], 0, &value_storage);
  const auto* folded_pattern = static_cast<const std::string*>(sqlite3_get_auxdata(ctx, 1));
  std::optional<bool> match;
  if (folded_pattern != nullptr) {
    match = IsAscii(value) ? LikeMatch(value, *folded_pattern)
                           : LikeMatch(FoldText(value), *folded_pattern);
  } else {
    std::string_view pattern = JetText(argv[1], 0, &pattern_storage);
    if (IsAscii(value) && IsAscii(pattern)) {
      match = LikeMatch(value, pattern);
    } else {
      auto folded = std::make_unique<std::string>(FoldLikePattern(pattern));
      match = LikeMatch(FoldText(value), *folded);
      if (match) sqlite3_set_auxdata(ctx, 1, folded.release(), DeleteString);
    }
  }
  if (!match) return Error(ctx, kJetInvalidPattern);
  sqlite3_result_int(ctx, *match ? 1 : 0);
}

// --- Text ----------------------------------------------------------------------------------

// The text and character count of Left(text, n) and Right(text, n); false once the result is
// given (Jet's error for a negative count, Null for Null).
bool TextAndCount(sqlite3_context* ctx, sqlite3_value** argv, std::string* storage,
                  std::string_view* text, int64_t* n) {
  if (!ToCount(ctx, argv[1], n)) return false;
  if (*n < 0) {
    Error(ctx, kJetInvalidCall);
    return false;
  }
  if (IsNull(argv[0])) {
    sqlite3_result_null(ctx);
    return false;
  }
  *text = JetText(argv[0], 0, storage);
  return true;
}

void Left(sqlite3_context* ctx, int, sqlite3_value** argv) {
  std::string storage;
  std::string_view text;
  int64_t n;
  if (TextAndCount(ctx, argv, &storage, &text, &n))
    ResultText(ctx, text.substr(0, ByteOfChar(text, n)));
}

void Right(sqlite3_context* ctx, int, sqlite3_value** argv) {
  std::string storage;
  std::string_view text;
  int64_t n;
  if (!TextAndCount(ctx, argv, &storage, &text, &n)) return;
  const int64_t length = CharCount(text);
  ResultText(ctx, n >= length ? text : text.substr(ByteOfChar(text, length - n)));
}

void Mid(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  int64_t start, count = std::numeric_limits<int64_t>::max();
  if (!ToCount(ctx, argv[1], &start)) return;
  if (argc > 2 && !ToCount(ctx, argv[2], &count)) return;
  if (start < 1 || count < 0) return Error(ctx, kJetInvalidCall);
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  std::string storage;
  std::string_view text = JetText(argv[0], 0, &storage);
  const size_t begin = ByteOfChar(text, start - 1);
  std::string_view rest = text.substr(begin);
  ResultText(ctx, count == std::numeric_limits<int64_t>::max()
                      ? rest
                      : rest.substr(0, ByteOfChar(rest, count)));
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// 1-based character position of needle in haystack from character start, 0 when absent. A
// text comparison folds each character as the collation does; a binary one compares bytes.
int64_t Find(std::string_view haystack, std::string_view needle, int64_t start, bool binary) {
  size_t pos = ByteOfChar(haystack, start - 1);
  if (needle.empty()) return pos <= haystack.size() && start <= CharCount(haystack) + 1 ? start : 0;
  // ASCII against ASCII needs no decoding.
  const bool ascii = IsAscii(needle) && IsAscii(haystack.substr(pos));
  for (int64_t index = start; pos < haystack.size(); ++index) {
    bool matched = true;
    if (ascii) {
      matched = haystack.size() - pos >= needle.size();
      for (size_t k = 0; matched && k < needle.size(); ++k) {
        matched = binary ? haystack[pos + k] == needle[k]
                         : AsciiLower(haystack[pos + k]) == AsciiLower(needle[k]);
      }
    } else {
      matched = binary ? haystack.substr(pos).starts_with(needle)
                       : FoldedPrefix(haystack.substr(pos), needle).has_value();
    }
    if (matched) return index;
    if (static_cast<unsigned char>(haystack[pos]) < 0x80) {
      ++pos;
    } else {
      DecodeUtf8(haystack, &pos);
    }
  }
  return 0;
}

// InStr([start, ]text, sought[, compare]): compare 0 is binary, 1 (text) and 2 (the
// database's order) fold as the collation does.
void InStr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  int64_t start = 1;
  bool binary = false;
  if (argc == 4) {
    int64_t compare = 0;
    if (!ToCount(ctx, argv[3], &compare)) return;
    if (compare < 0 || compare > 2) return Error(ctx, kJetInvalidCall);
    binary = compare == 0;
  }
  if (argc >= 3) {
    if (!ToCount(ctx, argv[0], &start)) return;
    if (start < 1) return Error(ctx, kJetInvalidCall);
    ++argv;
  }
  if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
  std::string hay_storage, needle_storage;
  sqlite3_result_int64(ctx, Find(JetText(argv[0], 0, &hay_storage),
                                 JetText(argv[1], 0, &needle_storage), start, binary));
}

template <bool kUpper>
void ChangeCase(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  std::string storage;
  std::string_view text = JetText(argv[0], 0, &storage);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      char c = static_cast<char>(b);
      if (kUpper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      if (!kUpper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
      out += c;
      ++i;
      continue;
    }
    const UChar32 c = static_cast<UChar32>(DecodeUtf8(text, &i));
    AppendUtf8(static_cast<uint32_t>(kUpper ? u_toupper(c) : u_tolower(c)), &out);
  }
  ResultText(ctx, out);
}

void Space(sqlite3_context* ctx, int, sqlite3_value** argv) {
  int64_t n;
  if (!ToCount(ctx, argv[0], &n)) return;
  constexpr int64_t kMaxSpaces = 1 << 24;
  if (n < 0 || n > kMaxSpaces) return Error(ctx, kJetInvalidCall);
  ResultText(ctx, std::string(static_cast<size_t>(n), ' '));
}

void Val(sqlite3_context* ctx, int, sqlite3_value** argv) {
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
      return sqlite3_result_null(ctx);
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      return sqlite3_result_double(ctx, sqlite3_value_double(argv[0]));
    default:
      sqlite3_result_double(ctx, engine::Val(RawText(argv[0])));
  }
}

// --- Numbers -------------------------------------------------------------------------------

template <double (*kRound)(double)>
void WholePart(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  JetNumber n;
  if (!ToNumber(ctx, argv[0], &n)) return;
  if (n.integer) return sqlite3_result_int64(ctx, n.i);
  sqlite3_result_double(ctx, kRound(n.d));
}

double Floor(double d) { return std::floor(d); }
double Trunc(double d) { return std::trunc(d); }

void Abs(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  JetNumber n;
  if (!ToNumber(ctx, argv[0], &n)) return;
  if (n.integer && n.i != std::numeric_limits<int64_t>::min()) {
    return sqlite3_result_int64(ctx, n.i < 0 ? -n.i : n.i);
  }
  sqlite3_result_double(ctx, std::fabs(n.value()));
}

void Sgn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  JetNumber n;
  if (!ToNumber(ctx, argv[0], &n)) return;
  const double d = n.value();
  sqlite3_result_int(ctx, d > 0 ? 1 : d < 0 ? -1 : 0);
}

void Round(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  int64_t places = 0;
  if (argc > 1 && !ToCount(ctx, argv[1], &places)) return;
  if (places < 0 || places > 22) return Error(ctx, kJetInvalidCall);
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  JetNumber n;
  if (!ToNumber(ctx, argv[0], &n)) return;
  if (n.integer) return sqlite3_result_int64(ctx, n.i);
  const double scale = std::pow(10.0, static_cast<double>(places));
  const double scaled = n.d * scale;
  if (!std::isfinite(scaled)) return sqlite3_result_double(ctx, n.d);
  sqlite3_result_double(ctx, BankersRound(scaled) / scale);
}

// --- Dates ---------------------------------------------------------------------------------

void DatePartOf(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[1])) return sqlite3_result_null(ctx);
  double ole;
  if (sqlite3_value_type(argv[1]) == SQLITE_TEXT) {
    auto parsed = ParseDateText(RawText(argv[1]));
    if (!parsed) return Error(ctx, kDaoTypeMismatch);
    ole = *parsed;
  } else {
    JetNumber n;
    if (!ToNumber(ctx, argv[1], &n)) return;
    ole = n.value();
  }
  const DateParts p = PartsFromOle(ole);
  const std::string_view part = RawText(argv[0]);
  const char which = part.empty() ? 'y' : part[0];
  const int value = which == 'y'   ? p.year
                    : which == 'm' ? p.month
                    : which == 'd' ? p.day
                    : which == 'h' ? p.hour
                    : which == 'n' ? p.minute
                                   : p.second;
  sqlite3_result_int(ctx, value);
}

// --- Aggregates ----------------------------------------------------------------------------

struct Kept {
  sqlite3_value* value;
};

// A second argument (a crosstab's cell) keeps only the rows where it is true, Null values
// included, as the first or last row of the cell's own heading.
template <bool kLast>
void KeepStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (argc > 1 &&
      (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_double(argv[1]) == 0))
    return;
  auto* kept = static_cast<Kept*>(sqlite3_aggregate_context(ctx, sizeof(Kept)));
  if (kept == nullptr) return sqlite3_result_error_nomem(ctx);
  if (kept->value != nullptr && !kLast) return;
  sqlite3_value* copy = sqlite3_value_dup(argv[0]);
  if (copy == nullptr) return sqlite3_result_error_nomem(ctx);
  sqlite3_value_free(kept->value);
  kept->value = copy;
}

void KeepFinal(sqlite3_context* ctx) {
  auto* kept = static_cast<Kept*>(sqlite3_aggregate_context(ctx, 0));
  if (kept == nullptr || kept->value == nullptr) return sqlite3_result_null(ctx);
  sqlite3_result_value(ctx, kept->value);
  sqlite3_value_free(kept->value);
  kept->value = nullptr;
}

// --- Registration --------------------------------------------------------------------------

struct Entry {
  const char* name;
  int args;
  Callback callback;
  bool deterministic;
};

constexpr Entry kScalars[] = {
    {"jet_text", 1, Guarded<Convert<kText>>, true},
    {"jet_text", 2, Guarded<Convert<kText>>, true},
    {"jet_single", 1, Guarded<Convert<kSingle>>, true},
    {"jet_cdbl", 1, Guarded<Convert<kDouble>>, true},
    {"jet_ccur", 1, Guarded<Convert<kCurrency>>, true},
    {"jet_clng", 1, Guarded<Convert<kLong>>, true},
    {"jet_cint", 1, Guarded<Convert<kInteger>>, true},
    {"jet_cbyte", 1, Guarded<Convert<kByte>>, true},
    {"jet_bool", 1, Guarded<Convert<kBoolean>>, true},
    {"jet_date", 1, Guarded<Convert<kDate>>, true},
    {"jet_concat", -1, Guarded<Concat>, true},
    {"jet_add", 2, Guarded<Add>, true},
    {"jet_div", 2, Guarded<Divide>, true},
    {"jet_idiv", 2, Guarded<IntDivide>, true},
    {"jet_mod", 2, Guarded<Modulo>, true},
    {"jet_pow", 2, Guarded<Power>, true},
    {"jet_like", 2, Guarded<Like>, true},
    {"jet_left", 2, Guarded<Left>, true},
    {"jet_right", 2, Guarded<Right>, true},
    {"jet_mid", 2, Guarded<Mid>, true},
    {"jet_mid", 3, Guarded<Mid>, true},
    {"jet_instr", 2, Guarded<InStr>, true},
    {"jet_instr", 3, Guarded<InStr>, true},
    {"jet_instr", 4, Guarded<InStr>, true},
    {"jet_ucase", 1, Guarded<ChangeCase<true>>, true},
    {"jet_lcase", 1, Guarded<ChangeCase<false>>, true},
    {"jet_space", 1, Guarded<Space>, true},
    {"jet_val", 1, Guarded<Val>, true},
    {"jet_int", 1, Guarded<WholePart<Floor>>, true},
    {"jet_fix", 1, Guarded<WholePart<Trunc>>, true},
    {"jet_abs", 1, Guarded<Abs>, true},
    {"jet_sgn", 1, Guarded<Sgn>, true},
    {"jet_round", 1, Guarded<Round>, true},
    {"jet_round", 2, Guarded<Round>, true},
    {"jet_datepart", 2, Guarded<DatePartOf>, true},
};

}  // namespace

int RegisterJetFunctions(sqlite3* db) {
  if (int rc = RegisterTextCollation(db); rc != SQLITE_OK) return rc;
  for (const Entry& f : kScalars) {
    int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS;
    if (f.deterministic) flags |= SQLITE_DETERMINISTIC;
    int rc = sqlite3_create_function_v2(db, f.name, f.args, flags, nullptr, f.callback, nullptr,
                                        nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  for (int (*more)(sqlite3*) :
       {RegisterJetTextFunctions, RegisterJetMathFunctions, RegisterJetDateFunctions,
        RegisterJetFormatFunctions, RegisterJetVbaFunctions}) {
    if (int rc = more(db); rc != SQLITE_OK) return rc;
  }
  // First and Last depend on row order, so they are not marked deterministic.
  int rc = RegisterJetClockFunctions(db);
  if (rc != SQLITE_OK) return rc;
  for (int arguments : {1, 2}) {
    rc = sqlite3_create_function_v2(db, "jet_first", arguments, SQLITE_UTF8 | SQLITE_INNOCUOUS,
                                    nullptr, nullptr, Guarded<KeepStep<false>>, KeepFinal, nullptr);
    if (rc != SQLITE_OK) return rc;
    rc = sqlite3_create_function_v2(db, "jet_last", arguments, SQLITE_UTF8 | SQLITE_INNOCUOUS,
                                    nullptr, nullptr, Guarded<KeepStep<true>>, KeepFinal, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

}  // namespace kr::db::engine
