// Hex, Oct, Str, IsDate, the statistical aggregates StDev, StDevP, Var and VarP, the exact Sum
// and Avg of Currency, and jet_error, which raises a Jet error from generated SQL (a scalar
// subquery's second row).
#include <cmath>
#include <string>

#include "db/engine/jet_function_support.h"
#include "db/engine/jet_functions.h"

namespace kr::db::engine {
namespace {

using namespace functions;  // NOLINT: the helpers every callback uses

void RaiseError(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Error(ctx, sqlite3_value_int(argv[0]));
}

// Hex and Oct round to a Long; a negative number is written in two's complement, over 16 bits
// when it fits an Integer and 32 bits otherwise.
template <int kBits>
void Radix(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  int64_t n = 0;
  if (!ToCount(ctx, argv[0], &n)) return;
  uint64_t u = static_cast<uint64_t>(n);
  if (n < 0) u &= n >= -32768 ? 0xFFFFu : 0xFFFFFFFFu;
  std::string digits;
  do {
    digits.insert(digits.begin(), "0123456789ABCDEF"[u & ((1u << kBits) - 1)]);
    u >>= kBits;
  } while (u != 0);
  ResultText(ctx, digits);
}

// Str(n): the number's text with a leading space where a minus sign would stand.
void Str(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  JetNumber n;
  if (!ToNumber(ctx, argv[0], &n)) return;
  std::string text = n.integer ? FormatInteger(n.i) : FormatDouble(n.d);
  if (text[0] != '-') text.insert(text.begin(), ' ');
  ResultText(ctx, text);
}

// IsDate of a value whose type is not known to be a date: text that reads as a date.
void IsDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const bool date =
      sqlite3_value_type(argv[0]) == SQLITE_TEXT && ParseDateText(RawText(argv[0])).has_value();
  sqlite3_result_int(ctx, date ? -1 : 0);
}

// Welford's running mean and sum of squared deviations.
struct Spread {
  int64_t count;
  double mean;
  double squares;
};

void SpreadStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return;
  auto* s = static_cast<Spread*>(sqlite3_aggregate_context(ctx, sizeof(Spread)));
  if (s == nullptr) return sqlite3_result_error_nomem(ctx);
  JetNumber n;
  if (!ToNumber(ctx, argv[0], &n)) return;
  const double x = n.value();
  ++s->count;
  const double delta = x - s->mean;
  s->mean += delta / static_cast<double>(s->count);
  s->squares += delta * (x - s->mean);
}

// Null when there are too few records: fewer than two for a sample, none for a population.
template <bool kSample, bool kRoot>
void SpreadFinal(sqlite3_context* ctx) {
  auto* s = static_cast<Spread*>(sqlite3_aggregate_context(ctx, 0));
  const int64_t count = s == nullptr ? 0 : s->count;
  if (count < (kSample ? 2 : 1)) return sqlite3_result_null(ctx);
  const double variance = s->squares / static_cast<double>(kSample ? count - 1 : count);
  sqlite3_result_double(ctx, kRoot ? std::sqrt(variance) : variance);
}

void Finalize(sqlite3_context* ctx, void (*final)(sqlite3_context*)) {
  try {
    final(ctx);
  } catch (...) {
    sqlite3_result_error_nomem(ctx);
  }
}

template <bool kSample, bool kRoot>
void GuardedFinal(sqlite3_context* ctx) {
  Finalize(ctx, SpreadFinal<kSample, kRoot>);
}

// Sum and Avg of Currency, in ten-thousandths: ten sums of 0.1 are 1 exactly.
struct Exact {
  int64_t count;
  int64_t scaled;
  bool overflow;
};

constexpr double kCurrencyLimit = 922337203685477.5807;

void ExactStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return;
  auto* e = static_cast<Exact*>(sqlite3_aggregate_context(ctx, sizeof(Exact)));
  if (e == nullptr) return sqlite3_result_error_nomem(ctx);
  JetNumber n;
  if (!ToNumber(ctx, argv[0], &n)) return;
  const double x = n.value();
  int64_t scaled = 0;
  if (!(std::fabs(x) <= kCurrencyLimit) ||
      __builtin_add_overflow(e->scaled, std::llround(x * 10000.0), &scaled)) {
    e->overflow = true;
    return;
  }
  e->scaled = scaled;
  ++e->count;
}

template <bool kAverage>
void ExactFinal(sqlite3_context* ctx) {
  auto* e = static_cast<Exact*>(sqlite3_aggregate_context(ctx, 0));
  if (e != nullptr && e->overflow) return Error(ctx, kJetOverflow);
  if (e == nullptr || e->count == 0) return sqlite3_result_null(ctx);
  int64_t scaled = e->scaled;
  if (kAverage) {
    const double mean = static_cast<double>(e->scaled) / static_cast<double>(e->count);
    scaled = static_cast<int64_t>(BankersRound(mean));
  }
  sqlite3_result_double(ctx, static_cast<double>(scaled) / 10000.0);
}

template <bool kAverage>
void GuardedExactFinal(sqlite3_context* ctx) {
  Finalize(ctx, ExactFinal<kAverage>);
}

constexpr Scalar kVbaScalars[] = {
    {"jet_hex", 1, Guarded<Radix<4>>},
    {"jet_oct", 1, Guarded<Radix<3>>},
    {"jet_str", 1, Guarded<Str>},
    {"jet_isdate", 1, Guarded<IsDate>},
};

struct AggregateEntry {
  const char* name;
  Callback step;
  void (*final)(sqlite3_context*);
};

constexpr AggregateEntry kAggregates[] = {
    {"jet_stdev", Guarded<SpreadStep>, GuardedFinal<true, true>},
    {"jet_stdevp", Guarded<SpreadStep>, GuardedFinal<false, true>},
    {"jet_var", Guarded<SpreadStep>, GuardedFinal<true, false>},
    {"jet_varp", Guarded<SpreadStep>, GuardedFinal<false, false>},
    {"jet_cursum", Guarded<ExactStep>, GuardedExactFinal<false>},
    {"jet_curavg", Guarded<ExactStep>, GuardedExactFinal<true>},
};

}  // namespace

int RegisterJetVbaFunctions(sqlite3* db) {
  if (int rc = RegisterScalars(db, kVbaScalars); rc != SQLITE_OK) return rc;
  // Not deterministic: the planner must not fold a raised error into a constant.
  int rc = sqlite3_create_function_v2(db, "jet_error", 1, SQLITE_UTF8 | SQLITE_INNOCUOUS, nullptr,
                                      Guarded<RaiseError>, nullptr, nullptr, nullptr);
  for (const AggregateEntry& a : kAggregates) {
    if (rc != SQLITE_OK) return rc;
    rc = sqlite3_create_function_v2(db, a.name, 1, SQLITE_UTF8 | SQLITE_INNOCUOUS, nullptr, nullptr,
                                    a.step, a.final, nullptr);
  }
  return rc;
}

}  // namespace kr::db::engine
