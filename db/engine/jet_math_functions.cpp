// Atn, Sin, Cos, Tan, Exp, Log, Sqr and IsNumeric as SQL functions. The numeric ones give Null
// for Null and raise Jet's errors for arguments outside their domain (Log of 0, Sqr of -1:
// invalid call; Exp beyond a Double: overflow).
#include <cmath>

#include "db/engine/jet_function_support.h"
#include "db/engine/jet_functions.h"

namespace kr::db::engine {
namespace {

using namespace functions;  // NOLINT: the helpers every callback uses

template <double (*kFunction)(double), bool (*kValid)(double)>
void Math(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  JetNumber n;
  if (!ToNumber(ctx, argv[0], &n)) return;
  const double x = n.value();
  if (!kValid(x)) return Error(ctx, kJetInvalidCall);
  const double r = kFunction(x);
  if (std::isinf(r) || std::isnan(r)) return Error(ctx, kJetOverflow);
  sqlite3_result_double(ctx, r);
}

bool Any(double) { return true; }
bool Positive(double x) { return x > 0; }
bool NotNegative(double x) { return x >= 0; }
double Atan(double x) { return std::atan(x); }
double Sine(double x) { return std::sin(x); }
double Cosine(double x) { return std::cos(x); }
double Tangent(double x) { return std::tan(x); }
double Exponential(double x) { return std::exp(x); }
double Logarithm(double x) { return std::log(x); }
double SquareRoot(double x) { return std::sqrt(x); }

// IsNumeric(x): a number, or text that reads as one; Null and other text are not.
void IsNumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int type = sqlite3_value_type(argv[0]);
  bool numeric = type == SQLITE_INTEGER || type == SQLITE_FLOAT;
  if (type == SQLITE_TEXT) numeric = ParseNumberText(RawText(argv[0])).has_value();
  sqlite3_result_int(ctx, numeric ? -1 : 0);
}

constexpr Scalar kMathScalars[] = {
    {"jet_atn", 1, Guarded<Math<Atan, Any>>},
    {"jet_sin", 1, Guarded<Math<Sine, Any>>},
    {"jet_cos", 1, Guarded<Math<Cosine, Any>>},
    {"jet_tan", 1, Guarded<Math<Tangent, Any>>},
    {"jet_exp", 1, Guarded<Math<Exponential, Any>>},
    {"jet_log", 1, Guarded<Math<Logarithm, Positive>>},
    {"jet_sqr", 1, Guarded<Math<SquareRoot, NotNegative>>},
    {"jet_isnumeric", 1, Guarded<IsNumeric>},
};

}  // namespace

int RegisterJetMathFunctions(sqlite3* db) { return RegisterScalars(db, kMathScalars); }

}  // namespace kr::db::engine
