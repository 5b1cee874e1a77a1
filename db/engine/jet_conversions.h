// Jet's conversion rules over SQLite values: the one core behind both flavours of conversion.
//   - The conversion functions of expressions (CSng, CDbl, CCur, CLng, CInt, CByte, CBool,
//     CDate, CStr as jet_single, jet_cdbl, ...): a value that cannot be converted raises.
//   - The conversion on write into a field (kr_store): a value that cannot be converted is
//     stored as it is, so the field's CHECK refuses the row (skipped, or the statement's error
//     under fail-on-error).
// Internal to db/engine.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kr::db::engine {

struct JetNumber {
  bool integer = false;
  int64_t i = 0;  // integer
  double d = 0;   // otherwise
  double value() const { return integer ? static_cast<double>(i) : d; }
};

// The number a value holds: integers and reals as they are, numeric text (as CDbl reads it)
// converted. Nothing for other text, blobs and Null.
std::optional<JetNumber> NumberOf(sqlite3_value* v);

// The bytes of a text (or blob) value; "" for Null.
std::string_view RawText(sqlite3_value* v);

// Jet's text form of a value (as CStr and "&" write it). source: the DAO type the value comes
// from, telling how a number is written (kBoolean True/False, kSingle 7 digits, kDate a date),
// 0 when unknown. storage receives formatted numbers; "" for Null.
std::string_view JetText(sqlite3_value* v, int source, std::string* storage);

// Converts v to DAO field type `type` (any other code keeps the value) and sets it as the
// result of ctx; Null stays Null. source is as for JetText. Returns 0, or the Jet error of a
// failed conversion (kDaoTypeMismatch, kJetOverflow) with ctx's result left unset.
int ConvertToType(sqlite3_context* ctx, sqlite3_value* v, int type, int source = 0);

// v as a Currency column stores it: ten-thousandths, rounded half to even, as an integer.
// Returns as ConvertToType.
int ToStoredCurrency(sqlite3_context* ctx, sqlite3_value* v);

}  // namespace kr::db::engine
