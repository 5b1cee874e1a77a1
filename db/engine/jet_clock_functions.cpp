// Now, Date and Time as SQL functions (jet_now, jet_today, jet_time). They read the run clock
// of the platform, so KR_NOW and a test's Env fix them; they are the only jet_* functions that
// are not deterministic.
#include <sqlite3.h>

#include <cmath>

#include "db/engine/jet_functions.h"
#include "db/engine/jet_values.h"
#include "platform/platform.h"

namespace kr::db::engine {
namespace {

double OleNow() {
  const platform::LocalTime now = platform::CurrentEnv().Now();
  DateParts parts{now.year, now.month, now.day, now.hour, now.minute, now.second};
  return OleFromParts(parts).value_or(0.0);
}

void Now(sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_double(ctx, OleNow()); }

void Today(sqlite3_context* ctx, int, sqlite3_value**) {
  sqlite3_result_double(ctx, std::trunc(OleNow()));
}

void Time(sqlite3_context* ctx, int, sqlite3_value**) {
  const double now = OleNow();
  sqlite3_result_double(ctx, now - std::trunc(now));
}

}  // namespace

int RegisterJetClockFunctions(sqlite3* db) {
  struct Clock {
    const char* name;
    void (*callback)(sqlite3_context*, int, sqlite3_value**);
  };
  static constexpr Clock kClocks[] = {{"jet_now", Now}, {"jet_today", Today}, {"jet_time", Time}};
  for (const Clock& c : kClocks) {
    int rc = sqlite3_create_function_v2(db, c.name, 0, SQLITE_UTF8 | SQLITE_INNOCUOUS, nullptr,
                                        c.callback, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

}  // namespace kr::db::engine
