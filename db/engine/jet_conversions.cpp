#include "db/engine/jet_conversions.h"

#include <cfloat>
#include <cmath>

#include "db/engine/dao_errors.h"
#include "db/engine/engine.h"
#include "db/engine/jet_values.h"

namespace kr::db::engine {
namespace {

bool SameAscii(std::string_view text, std::string_view upper) {
  if (text.size() != upper.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c != upper[i]) return false;
  }
  return true;
}

// A null pointer would make the result Null, so an empty text needs a real pointer.
void ResultText(sqlite3_context* ctx, std::string_view text) {
  sqlite3_result_text(ctx, text.empty() ? "" : text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

int ToBoolean(sqlite3_context* ctx, sqlite3_value* v) {
  if (sqlite3_value_type(v) == SQLITE_TEXT) {
    std::string_view t = RawText(v);
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    if (SameAscii(t, "TRUE") || SameAscii(t, "YES") || SameAscii(t, "ON")) {
      sqlite3_result_int(ctx, -1);
      return 0;
    }
    if (SameAscii(t, "FALSE") || SameAscii(t, "NO") || SameAscii(t, "OFF")) {
      sqlite3_result_int(ctx, 0);
      return 0;
    }
  }
  auto n = NumberOf(v);
  if (!n) return kDaoTypeMismatch;
  sqlite3_result_int(ctx, n->value() != 0 ? -1 : 0);
  return 0;
}

// Byte, Integer, Long: rounded half to even, within the type's range.
int ToWhole(sqlite3_context* ctx, sqlite3_value* v, int64_t low, int64_t high) {
  auto n = NumberOf(v);
  if (!n) return kDaoTypeMismatch;
  if (n->integer) {
    if (n->i < low || n->i > high) return kJetOverflow;
    sqlite3_result_int64(ctx, n->i);
    return 0;
  }
  const double rounded = BankersRound(n->d);
  if (!(rounded >= static_cast<double>(low) && rounded <= static_cast<double>(high))) {
    return kJetOverflow;
  }
  sqlite3_result_int64(ctx, static_cast<int64_t>(rounded));
  return 0;
}

int ToCurrency(sqlite3_context* ctx, sqlite3_value* v) {
  auto n = NumberOf(v);
  if (!n) return kDaoTypeMismatch;
  if (n->integer && n->i > -922337203685477LL && n->i < 922337203685477LL) {
    sqlite3_result_double(ctx, static_cast<double>(n->i));
    return 0;
  }
  const double scaled = BankersRound(n->value() * 10000.0);
  if (!(std::fabs(scaled) <= 9223372036854775807.0)) return kJetOverflow;
  sqlite3_result_double(ctx, scaled / 10000.0);
  return 0;
}

}  // namespace

int ToStoredCurrency(sqlite3_context* ctx, sqlite3_value* v) {
  if (sqlite3_value_type(v) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return 0;
  }
  auto n = NumberOf(v);
  if (!n) return kDaoTypeMismatch;
  if (n->integer) {
    if (n->i <= -922337203685477LL || n->i >= 922337203685477LL) return kJetOverflow;
    sqlite3_result_int64(ctx, n->i * 10000);
    return 0;
  }
  const double scaled = BankersRound(n->d * 10000.0);
  // 2^63 itself is the first double out of range.
  if (!(std::fabs(scaled) < 9223372036854775808.0)) return kJetOverflow;
  sqlite3_result_int64(ctx, static_cast<int64_t>(scaled));
  return 0;
}

namespace {

int ToSingle(sqlite3_context* ctx, sqlite3_value* v) {
  auto n = NumberOf(v);
  if (!n) return kDaoTypeMismatch;
  const double d = n->value();
  if (!(std::fabs(d) <= FLT_MAX)) return kJetOverflow;
  sqlite3_result_double(ctx, static_cast<double>(static_cast<float>(d)));
  return 0;
}

int ToDouble(sqlite3_context* ctx, sqlite3_value* v) {
  auto n = NumberOf(v);
  if (!n) return kDaoTypeMismatch;
  sqlite3_result_double(ctx, n->value());
  return 0;
}

// Dates run from year 100 to 9999.
int ToDate(sqlite3_context* ctx, sqlite3_value* v) {
  std::optional<double> ole;
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      ole = sqlite3_value_double(v);
      break;
    case SQLITE_TEXT:
      ole = ParseDateText(RawText(v));
      if (!ole) ole = ParseNumberText(RawText(v));
      break;
    default:
      break;
  }
  if (!ole) return kDaoTypeMismatch;
  if (!(*ole >= -657434.0 && *ole <= 2958466.0)) return kJetOverflow;
  sqlite3_result_double(ctx, *ole);
  return 0;
}

int ToText(sqlite3_context* ctx, sqlite3_value* v, int source) {
  if (sqlite3_value_type(v) == SQLITE_TEXT) {
    sqlite3_result_value(ctx, v);
    return 0;
  }
  std::string storage;
  ResultText(ctx, JetText(v, source, &storage));
  return 0;
}

int ToBinary(sqlite3_context* ctx, sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_BLOB:
      sqlite3_result_value(ctx, v);
      return 0;
    case SQLITE_TEXT:
      sqlite3_result_blob(ctx, sqlite3_value_text(v), sqlite3_value_bytes(v), SQLITE_TRANSIENT);
      return 0;
    default:
      return kDaoTypeMismatch;
  }
}

}  // namespace

std::optional<JetNumber> NumberOf(sqlite3_value* v) {
  JetNumber n;
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      n.integer = true;
      n.i = sqlite3_value_int64(v);
      return n;
    case SQLITE_FLOAT:
      n.d = sqlite3_value_double(v);
      return n;
    case SQLITE_TEXT:
      if (auto parsed = ParseNumberText(RawText(v))) {
        n.d = *parsed;
        return n;
      }
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

std::string_view RawText(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return p ? std::string_view(p, static_cast<size_t>(sqlite3_value_bytes(v))) : std::string_view();
}

std::string_view JetText(sqlite3_value* v, int source, std::string* storage) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: {
      const int64_t i = sqlite3_value_int64(v);
      if (source == kBoolean) return i != 0 ? "True" : "False";
      *storage = source == kDate ? FormatDate(static_cast<double>(i)) : FormatInteger(i);
      return *storage;
    }
    case SQLITE_FLOAT: {
      const double d = sqlite3_value_double(v);
      if (source == kBoolean) return d != 0 ? "True" : "False";
      *storage = source == kSingle ? FormatSingle(d)
                 : source == kDate ? FormatDate(d)
                                   : FormatDouble(d);
      return *storage;
    }
    case SQLITE_NULL:
      return {};
    default:
      return RawText(v);
  }
}

int ConvertToType(sqlite3_context* ctx, sqlite3_value* v, int type, int source) {
  if (sqlite3_value_type(v) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return 0;
  }
  switch (type) {
    case kBoolean:
      return ToBoolean(ctx, v);
    case kByte:
      return ToWhole(ctx, v, 0, 255);
    case kInteger:
      return ToWhole(ctx, v, -32768, 32767);
    case kLong:
      return ToWhole(ctx, v, -2147483648LL, 2147483647LL);
    case kCurrency:
      return ToCurrency(ctx, v);
    case kSingle:
      return ToSingle(ctx, v);
    case kDouble:
      return ToDouble(ctx, v);
    case kDate:
      return ToDate(ctx, v);
    case kText:
    case kMemo:
      return ToText(ctx, v, source);
    case kBinary:
    case kLongBinary:
      return ToBinary(ctx, v);
    default:
      sqlite3_result_value(ctx, v);
      return 0;
  }
}

}  // namespace kr::db::engine
