// kr_store(value, field type, source type): a value converted for storage in a field of the
// type, as Jet converts on write (Null into a Yes/No field is No). It never raises: a value that
// cannot be converted comes back unchanged, so the field's CHECK refuses it and the row is skipped
// (or, with fail-on-error, the statement fails with the field's error).
#include <sqlite3.h>

#include <cfloat>
#include <cmath>
#include <string>

#include "db/engine/engine.h"
#include "db/engine/functions_hook.h"
#include "db/engine/jet_functions.h"
#include "db/engine/jet_values.h"

namespace kr::db::engine::internal {

namespace {

std::optional<double> NumberOf(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      return static_cast<double>(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
      return sqlite3_value_double(v);
    case SQLITE_TEXT: {
      std::string_view text(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                            static_cast<size_t>(sqlite3_value_bytes(v)));
      if (auto n = ParseNumberText(text)) return n;
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

void Store(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  int type = argc > 1 ? sqlite3_value_int(argv[1]) : 0;
  int source = argc > 2 ? sqlite3_value_int(argv[2]) : 0;
  int storage = sqlite3_value_type(v);
  if (storage == SQLITE_NULL) {
    // A Yes/No field is never Null: Null written into it is No.
    if (type == kBoolean) return sqlite3_result_int(ctx, 0);
    return sqlite3_result_null(ctx);
  }
  auto unchanged = [&] { sqlite3_result_value(ctx, v); };
  switch (type) {
    case kBoolean: {
      if (storage == SQLITE_TEXT) {
        std::string_view t(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                           static_cast<size_t>(sqlite3_value_bytes(v)));
        std::string folded;
        for (char c : t)
          if (c != ' ') folded.push_back(static_cast<char>(tolower(static_cast<unsigned char>(c))));
        if (folded == "true" || folded == "yes" || folded == "on")
          return sqlite3_result_int(ctx, -1);
        if (folded == "false" || folded == "no" || folded == "off")
          return sqlite3_result_int(ctx, 0);
      }
      auto n = NumberOf(v);
      if (!n) return unchanged();
      return sqlite3_result_int(ctx, *n != 0 ? -1 : 0);
    }
    case kByte:
    case kInteger:
    case kLong: {
      if (storage == SQLITE_INTEGER) return unchanged();
      auto n = NumberOf(v);
      if (!n || !(std::fabs(*n) < 9.2e18)) return unchanged();
      return sqlite3_result_int64(ctx, static_cast<int64_t>(BankersRound(*n)));
    }
    case kCurrency: {
      auto n = NumberOf(v);
      if (!n || !(std::fabs(*n) < 9.2e14)) return unchanged();
      return sqlite3_result_double(ctx, BankersRound(*n * 10000.0) / 10000.0);
    }
    case kSingle: {
      auto n = NumberOf(v);
      if (!n || !(std::fabs(*n) <= FLT_MAX)) return unchanged();
      return sqlite3_result_double(ctx, static_cast<double>(static_cast<float>(*n)));
    }
    case kDouble: {
      auto n = NumberOf(v);
      if (!n) return unchanged();
      return sqlite3_result_double(ctx, *n);
    }
    case kDate: {
      if (storage == SQLITE_TEXT) {
        std::string_view t(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                           static_cast<size_t>(sqlite3_value_bytes(v)));
        if (auto d = ParseDateText(t)) return sqlite3_result_double(ctx, *d);
      }
      auto n = NumberOf(v);
      if (!n) return unchanged();
      return sqlite3_result_double(ctx, *n);
    }
    case kText:
    case kMemo: {
      std::string text;
      if (storage == SQLITE_INTEGER) {
        int64_t i = sqlite3_value_int64(v);
        text = source == kBoolean ? (i != 0 ? "True" : "False") : FormatInteger(i);
      } else if (storage == SQLITE_FLOAT) {
        double d = sqlite3_value_double(v);
        text = source == kDate     ? FormatDate(d)
               : source == kSingle ? FormatSingle(d)
                                   : FormatDouble(d);
      } else {
        return unchanged();
      }
      return sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    case kBinary:
    case kLongBinary:
      if (storage == SQLITE_TEXT)
        return sqlite3_result_blob(ctx, sqlite3_value_text(v), sqlite3_value_bytes(v),
                                   SQLITE_TRANSIENT);
      return unchanged();
    default:
      return unchanged();
  }
}

}  // namespace

void RegisterEngineFunctions(sqlite3* db) {
  RegisterJetFunctions(db);
  sqlite3_create_function_v2(db, "kr_store", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, Store,
                             nullptr, nullptr, nullptr);
}

}  // namespace kr::db::engine::internal
