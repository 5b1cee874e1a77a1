// kr_store(value, field type, source type[, real]): a value converted for storage in a field of
// the type, as Jet converts on write (Null into a Yes/No field is No; Currency as ten-thousandths,
// or with real set as the REAL units of an older build's column). It never raises: a value that
// cannot be converted comes back unchanged, so the field's CHECK refuses it and the row is
// skipped (or, with fail-on-error, the statement fails with the field's error).
#include <sqlite3.h>

#include "db/engine/engine.h"
#include "db/engine/functions_hook.h"
#include "db/engine/jet_conversions.h"
#include "db/engine/jet_functions.h"

namespace kr::db::engine::internal {

namespace {

void Store(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  int type = argc > 1 ? sqlite3_value_int(argv[1]) : 0;
  int source = argc > 2 ? sqlite3_value_int(argv[2]) : 0;
  // A Yes/No field is never Null: Null written into it is No.
  if (type == kBoolean && sqlite3_value_type(v) == SQLITE_NULL) return sqlite3_result_int(ctx, 0);
  const int failed = type == kCurrency && argc < 4 ? ToStoredCurrency(ctx, v)
                                                   : ConvertToType(ctx, v, type, source);
  if (failed != 0) sqlite3_result_value(ctx, v);
}

void Skipping(sqlite3_context* ctx, int, sqlite3_value**) {
  sqlite3_result_int(ctx, *static_cast<const bool*>(sqlite3_user_data(ctx)) ? 1 : 0);
}

}  // namespace

void RegisterEngineFunctions(sqlite3* db, const bool* skipping_rows) {
  RegisterJetFunctions(db);
  for (int arguments : {3, 4})
    sqlite3_create_function_v2(db, "kr_store", arguments, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                               nullptr, Store, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, "kr_skipping", 0, SQLITE_UTF8, const_cast<bool*>(skipping_rows),
                             Skipping, nullptr, nullptr, nullptr);
}

}  // namespace kr::db::engine::internal
