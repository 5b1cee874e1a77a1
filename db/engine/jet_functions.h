// The Jet functions the translator knows: a table from name to arity and to the SQLite text
// that computes the function, and the SQL functions (jet_*) that text relies on.
// Internal to db/engine.
//
// Functions: Format Len Left Right Mid InStr InStrRev Replace StrComp StrConv StrReverse String Chr
// Asc Val CCur CDbl CLng CInt CSng CStr CBool CByte CDate Int Fix Abs Sgn Round Atn Sin Cos Tan
// Exp Log Sqr IsNumeric IsNull Nz IIf Trim LTrim RTrim UCase LCase Space Now Date Time Year
// Month Day Hour Minute Second Weekday DatePart DateAdd DateDiff DateSerial DateValue
// TimeSerial TimeValue IsDate Hex Oct Str Choose Switch, and the aggregates Count Sum Avg Min
// Max First Last StDev StDevP Var VarP. Any other name is error
// 3085 (raised by the parser).
//
// SQL functions registered by RegisterJetFunctions (all deterministic except the clock ones):
//   conversions on write, for the statement generators:
//     jet_single(x)  Single precision: rounds through float; Null stays Null; numeric text is
//                    converted; other text raises 3464; beyond Single's range raises 6
//     jet_bool(x)    -1/0 (Null stays Null; "True"/"False"/"Yes"/"No" and numeric text too)
//     jet_ccur(x)    four decimals, banker's rounding; overflow raises 6
//     jet_date(x)    numbers as they are, text dates ("2020/04/07 15:30") to OLE dates;
//                    beyond years 100 to 9999 raises 6
//   (the conversion rules are jet_conversions.h's, shared with the conversion on write)
//     jet_text(x[, type])  Jet's text form (type: a DAO type code telling how a REAL is
//                    written: 6 Single, 8 Date, 1 Boolean; otherwise as Double)
//     jet_cdbl, jet_clng, jet_cint, jet_cbyte  (CLng/CInt/CByte round half to even and raise
//                    6 outside their range)
//   expression helpers: jet_concat (any number of parts) jet_add jet_div jet_idiv jet_mod jet_pow
//   jet_like jet_left
//     jet_right jet_mid jet_instr jet_val jet_int jet_fix jet_abs jet_round jet_ucase
//     jet_lcase jet_space jet_datepart jet_now jet_today jet_time
//   aggregates: jet_first(x), jet_last(x)
// Errors inside them reach SQLite as "jet:<number>:<description>" (dao_errors.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "db/engine/jet_ast.h"

struct sqlite3;

namespace kr::db::engine {

// A rendered piece of an expression, as the renderer hands it around.
struct Rendered {
  enum class Collation {
    kNone,      // an expression: compares with BINARY unless told otherwise
    kJapanese,  // a column declared COLLATE JET_JA, or an explicit COLLATE JET_JA
    kBinary,    // a column whose text compares case-sensitively
  };
  std::string sql;
  DataType type = DataType::kUnknown;
  Collation collation = Collation::kNone;
  bool truth = false;                      // sql is an SQLite truth value 1/0/Null
  std::optional<int64_t> integer_literal;  // set when the argument is an integer literal
  bool null_literal = false;
  // Set when sql is "(x OP y OP ...)", a chain of one left-associative arithmetic group ("ADD"
  // for + and -, "MUL", "CAT" for ||), and chain_terms is what stands inside the parentheses: a
  // parent of the same group goes on from the terms, so that long chains do not nest (SQLite's
  // parser allows ~90 levels). AND, OR and & chains are flattened in the tree instead.
  std::string_view chain;
  std::string chain_terms;
};

// Gives a function's renderer its arguments, rendered on demand.
class FunctionArguments {
 public:
  virtual ~FunctionArguments() = default;
  virtual size_t count() const = 0;
  virtual Rendered Value(size_t index) = 0;      // as a Jet value (booleans -1/0)
  virtual Rendered Condition(size_t index) = 0;  // as an SQLite condition
};

struct FunctionInfo {
  std::string_view name;  // upper-case
  int min_args;
  int max_args;
  bool aggregate;
  Rendered (*render)(FunctionArguments& args);
};

// The argument as text in Jet's form: text as it is, anything else through jet_text (a REAL
// says nothing about its field, so a Single, Date or Boolean type tells jet_text how to write
// it).
std::string JetTextOf(const Rendered& value);

// The function of that name (ASCII case-insensitive), or null.
const FunctionInfo* FindFunction(std::string_view name);

// Registers the jet_* SQL functions on a connection. Returns SQLITE_OK or the SQLite error code
// of the first registration that failed.
int RegisterJetFunctions(sqlite3* db);
// The clock functions alone (jet_now, jet_today, jet_time; RegisterJetFunctions includes them).
int RegisterJetClockFunctions(sqlite3* db);
// Parts of RegisterJetFunctions, one per file: text (jet_replace, jet_instrrev, jet_strcomp,
// jet_strconv, jet_strreverse, jet_string, jet_chr, jet_asc), numbers (jet_atn, jet_sin,
// jet_cos, jet_tan, jet_exp, jet_log, jet_sqr, jet_isnumeric) and dates (jet_dateserial,
// jet_timeserial, jet_datevalue, jet_weekday, jet_interval_part, jet_dateadd, jet_datediff).
int RegisterJetTextFunctions(sqlite3* db);
int RegisterJetMathFunctions(sqlite3* db);
int RegisterJetDateFunctions(sqlite3* db);
// jet_format(value[, format[, DAO type of value]]).
int RegisterJetFormatFunctions(sqlite3* db);
// jet_hex, jet_oct, jet_str, jet_isdate, jet_error(number), and the aggregates jet_stdev,
// jet_stdevp, jet_var, jet_varp, jet_cursum and jet_curavg (Currency in ten-thousandths).
int RegisterJetVbaFunctions(sqlite3* db);

}  // namespace kr::db::engine
