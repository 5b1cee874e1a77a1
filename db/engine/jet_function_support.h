// Small helpers shared by the files that implement the jet_* SQL functions: Jet errors on a
// context, argument reading, text results and character positions. Internal to db/engine.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#include "db/engine/dao_errors.h"
#include "db/engine/jet_conversions.h"
#include "db/engine/jet_values.h"

namespace kr::db::engine::functions {

inline void Error(sqlite3_context* ctx, int number) {
  const std::string text = JetSqlErrorText(number);
  sqlite3_result_error(ctx, text.data(), static_cast<int>(text.size()));
}

inline bool IsNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

// The number a value holds; any text that is not a number (or a blob) is Jet's type mismatch,
// reported on ctx. The value must not be Null.
inline bool ToNumber(sqlite3_context* ctx, sqlite3_value* v, JetNumber* out) {
  if (auto n = NumberOf(v)) {
    *out = *n;
    return true;
  }
  Error(ctx, kDaoTypeMismatch);
  return false;
}

// A whole-number argument (count, start, position), rounded half to even. Null is "invalid
// use of Null"; beyond a Long, overflow.
inline bool ToCount(sqlite3_context* ctx, sqlite3_value* v, int64_t* out) {
  if (IsNull(v)) {
    Error(ctx, kJetInvalidUseOfNull);
    return false;
  }
  JetNumber n;
  if (!ToNumber(ctx, v, &n)) return false;
  double rounded = n.integer ? static_cast<double>(n.i) : BankersRound(n.d);
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
    Error(ctx, kJetOverflow);
    return false;
  }
  *out = static_cast<int64_t>(rounded);
  return true;
}

// A null pointer would make the result Null, so an empty text needs a real pointer.
inline void ResultText(sqlite3_context* ctx, std::string_view text) {
  sqlite3_result_text(ctx, text.empty() ? "" : text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

// Byte offset of the character at index chars (0-based), or text.size() past the end.
inline size_t ByteOfChar(std::string_view text, int64_t chars) {
  size_t i = 0;
  for (; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (chars == 0) return i;
      --chars;
    }
  }
  return text.size();
}

inline int64_t CharCount(std::string_view text) {
  int64_t n = 0;
  for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

inline bool IsAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

using Callback = void (*)(sqlite3_context*, int, sqlite3_value**);

// No C++ exception may cross into SQLite.
template <Callback kCallback>
void Guarded(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  try {
    kCallback(ctx, argc, argv);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(ctx);
  } catch (...) {
    sqlite3_result_error(ctx, "jet function failed", -1);
  }
}

struct Scalar {
  const char* name;
  int args;  // -1: any number
  Callback callback;
};

// Registers deterministic scalar functions.
template <size_t N>
int RegisterScalars(sqlite3* db, const Scalar (&scalars)[N]) {
  for (const Scalar& f : scalars) {
    int rc = sqlite3_create_function_v2(db, f.name, f.args,
                                        SQLITE_UTF8 | SQLITE_INNOCUOUS | SQLITE_DETERMINISTIC,
                                        nullptr, f.callback, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

}  // namespace kr::db::engine::functions
