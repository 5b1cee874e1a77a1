// The function table: each Jet function's arity and the SQLite text that computes it. Where
// the argument types allow it the text uses SQLite's own functions (substr, length, trim,
// abs, coalesce, CASE); otherwise the jet_* SQL functions of jet_sqlite_functions.cpp.
#include "db/engine/jet_functions.h"

#include <algorithm>
#include <vector>

#include "db/engine/dao_errors.h"
#include "db/engine/jet_expressions.h"

namespace kr::db::engine {
namespace {

Rendered Result(std::string sql, DataType type) {
  Rendered r;
  r.sql = std::move(sql);
  r.type = type;
  return r;
}

std::string TextOf(const Rendered& r) { return JetTextOf(r); }

bool KnownText(const Rendered& r) { return IsTextType(r.type); }
bool LiteralAtLeast(const Rendered& r, int64_t min) {
  return r.integer_literal && *r.integer_literal >= min;
}

std::string Call(std::string_view name, std::initializer_list<std::string> args) {
  std::string sql(name);
  sql += '(';
  bool first = true;
  for (const std::string& a : args) {
    if (!first) sql += ',';
    sql += a;
    first = false;
  }
  sql += ')';
  return sql;
}

DataType NumericOr(DataType type, DataType fallback) {
  return IsNumericType(type) ? type : fallback;
}

Rendered Len(FunctionArguments& a) {
  return Result(Call("length", {TextOf(a.Value(0))}), DataType::kLong);
}

Rendered Left(FunctionArguments& a) {
  Rendered x = a.Value(0), n = a.Value(1);
  if (KnownText(x) && LiteralAtLeast(n, 0)) {
    return Result(Call("substr", {x.sql, "1", n.sql}), DataType::kText);
  }
  return Result(Call("jet_left", {TextOf(x), n.sql}), DataType::kText);
}

Rendered Right(FunctionArguments& a) {
  Rendered x = a.Value(0), n = a.Value(1);
  if (KnownText(x) && LiteralAtLeast(n, 1)) {
    return Result(Call("substr", {x.sql, "-" + n.sql}), DataType::kText);
  }
  return Result(Call("jet_right", {TextOf(x), n.sql}), DataType::kText);
}

Rendered Mid(FunctionArguments& a) {
  Rendered x = a.Value(0), start = a.Value(1);
  if (a.count() == 2) {
    if (KnownText(x) && LiteralAtLeast(start, 1)) {
      return Result(Call("substr", {x.sql, start.sql}), DataType::kText);
    }
    return Result(Call("jet_mid", {TextOf(x), start.sql}), DataType::kText);
  }
  Rendered length = a.Value(2);
  if (KnownText(x) && LiteralAtLeast(start, 1) && LiteralAtLeast(length, 0)) {
    return Result(Call("substr", {x.sql, start.sql, length.sql}), DataType::kText);
  }
  return Result(Call("jet_mid", {TextOf(x), start.sql, length.sql}), DataType::kText);
}

Rendered InStr(FunctionArguments& a) {
  if (a.count() == 2) {
    return Result(Call("jet_instr", {TextOf(a.Value(0)), TextOf(a.Value(1))}), DataType::kLong);
  }
  if (a.count() == 3) {
    return Result(Call("jet_instr", {a.Value(0).sql, TextOf(a.Value(1)), TextOf(a.Value(2))}),
                  DataType::kLong);
  }
  return Result(
      Call("jet_instr", {a.Value(0).sql, TextOf(a.Value(1)), TextOf(a.Value(2)), a.Value(3).sql}),
      DataType::kLong);
}

template <const char* kSqlName, DataType kType>
Rendered Convert(FunctionArguments& a) {
  return Result(Call(kSqlName, {a.Value(0).sql}), kType);
}

constexpr char kCcur[] = "jet_ccur";
constexpr char kCdbl[] = "jet_cdbl";
constexpr char kClng[] = "jet_clng";
constexpr char kCint[] = "jet_cint";
constexpr char kCsng[] = "jet_single";
constexpr char kCbyte[] = "jet_cbyte";
constexpr char kCbool[] = "jet_bool";
constexpr char kCdate[] = "jet_date";
constexpr char kSpace[] = "jet_space";

Rendered Val(FunctionArguments& a) {
  return Result(Call("jet_val", {TextOf(a.Value(0))}), DataType::kDouble);
}

Rendered CStr(FunctionArguments& a) { return Result(TextOf(a.Value(0)), DataType::kText); }

Rendered Int(FunctionArguments& a) {
  Rendered x = a.Value(0);
  return Result(Call("jet_int", {x.sql}), NumericOr(x.type, DataType::kDouble));
}

Rendered Fix(FunctionArguments& a) {
  Rendered x = a.Value(0);
  return Result(Call("jet_fix", {x.sql}), NumericOr(x.type, DataType::kDouble));
}

Rendered Abs(FunctionArguments& a) {
  Rendered x = a.Value(0);
  if (IsNumericType(x.type) && x.type != DataType::kBoolean) {
    return Result(Call("abs", {x.sql}), x.type);
  }
  return Result(Call("jet_abs", {x.sql}), NumericOr(x.type, DataType::kDouble));
}

Rendered Sgn(FunctionArguments& a) {
  return Result(Call("jet_sgn", {a.Value(0).sql}), DataType::kInteger);
}

Rendered Round(FunctionArguments& a) {
  Rendered x = a.Value(0);
  if (a.count() == 1)
    return Result(Call("jet_round", {x.sql}), NumericOr(x.type, DataType::kDouble));
  return Result(Call("jet_round", {x.sql, a.Value(1).sql}), NumericOr(x.type, DataType::kDouble));
}

Rendered IsNull(FunctionArguments& a) {
  Rendered r = Result("(" + a.Value(0).sql + " IS NULL)", DataType::kBoolean);
  r.truth = true;
  return r;
}

Rendered Nz(FunctionArguments& a) {
  Rendered x = a.Value(0);
  if (a.count() == 1) {
    return Result(Call("coalesce", {x.sql, "''"}),
                  KnownText(x) ? DataType::kText : DataType::kUnknown);
  }
  Rendered y = a.Value(1);
  return Result(Call("coalesce", {x.sql, y.sql}), x.type == y.type ? x.type : DataType::kUnknown);
}

Rendered IIf(FunctionArguments& a) {
  Rendered c = a.Condition(0), x = a.Value(1), y = a.Value(2);
  return Result("CASE WHEN " + c.sql + " THEN " + x.sql + " ELSE " + y.sql + " END",
                x.type == y.type ? x.type : DataType::kUnknown);
}

template <const char* kSqlName>
Rendered TextFunction(FunctionArguments& a) {
  return Result(Call(kSqlName, {TextOf(a.Value(0))}), DataType::kText);
}

constexpr char kUcase[] = "jet_ucase";
constexpr char kLcase[] = "jet_lcase";

template <const char* kSqlName>
Rendered TrimFunction(FunctionArguments& a) {
  return Result(Call(kSqlName, {TextOf(a.Value(0)), "' '"}), DataType::kText);
}

constexpr char kTrim[] = "trim";
constexpr char kLtrim[] = "ltrim";
constexpr char kRtrim[] = "rtrim";

template <const char* kSqlName>
Rendered Clock(FunctionArguments&) {
  return Result(std::string(kSqlName) + "()", DataType::kDate);
}

constexpr char kNow[] = "jet_now";
constexpr char kToday[] = "jet_today";
constexpr char kTime[] = "jet_time";

template <char kPart>
Rendered DatePart(FunctionArguments& a) {
  return Result(Call("jet_datepart", {std::string("'") + kPart + "'", a.Value(0).sql}),
                DataType::kInteger);
}

Rendered Count(FunctionArguments& a) {
  if (a.count() == 0) return Result("count(*)", DataType::kLong);
  return Result(Call("count", {a.Value(0).sql}), DataType::kLong);
}

template <const char* kSqlName, bool kKeepType>
Rendered Aggregate(FunctionArguments& a) {
  Rendered x = a.Value(0);
  DataType type = kKeepType ? x.type : NumericOr(x.type, DataType::kDouble);
  if (!kKeepType && x.type == DataType::kBoolean) type = DataType::kLong;
  // Currency adds up exactly, in ten-thousandths.
  if (!kKeepType && x.type == DataType::kCurrency)
    return Result(Call(std::string_view(kSqlName) == "sum" ? "jet_cursum" : "jet_curavg", {x.sql}),
                  type);
  // First and Last of a crosstab's cell carry the cell's condition (the parser allows one
  // argument only).
  if (a.count() == 2) return Result(Call(kSqlName, {x.sql, a.Condition(1).sql}), type);
  return Result(Call(kSqlName, {x.sql}), type);
}

constexpr char kSum[] = "sum";
constexpr char kAvg[] = "avg";
constexpr char kMin[] = "min";
constexpr char kMax[] = "max";
constexpr char kFirst[] = "jet_first";
constexpr char kLast[] = "jet_last";

// A call of an SQL function of the same arity, arguments as values (kText: as Jet's text).
template <const char* kSqlName, DataType kType, bool kTextArguments>
Rendered Direct(FunctionArguments& a) {
  std::string sql = std::string(kSqlName) + "(";
  for (size_t i = 0; i < a.count(); ++i) {
    Rendered r = a.Value(i);
    sql += (i ? "," : "") + (kTextArguments && i == 0 ? TextOf(r) : r.sql);
  }
  return Result(sql + ")", kType);
}

constexpr char kReplace[] = "jet_replace";
constexpr char kInStrRev[] = "jet_instrrev";
constexpr char kStrComp[] = "jet_strcomp";
constexpr char kStrConv[] = "jet_strconv";
constexpr char kStrReverse[] = "jet_strreverse";
constexpr char kString[] = "jet_string";
constexpr char kChr[] = "jet_chr";
constexpr char kAsc[] = "jet_asc";
constexpr char kAtn[] = "jet_atn";
constexpr char kSin[] = "jet_sin";
constexpr char kCos[] = "jet_cos";
constexpr char kTan[] = "jet_tan";
constexpr char kExp[] = "jet_exp";
constexpr char kLog[] = "jet_log";
constexpr char kSqr[] = "jet_sqr";
constexpr char kDateSerial[] = "jet_dateserial";
constexpr char kTimeSerial[] = "jet_timeserial";
constexpr char kDateValue[] = "jet_datevalue";
constexpr char kWeekday[] = "jet_weekday";
constexpr char kDatePartOf[] = "jet_interval_part";
constexpr char kDateAdd[] = "jet_dateadd";
constexpr char kDateDiff[] = "jet_datediff";

constexpr char kTimeValue[] = "jet_timevalue";
constexpr char kHex[] = "jet_hex";
constexpr char kOct[] = "jet_oct";
constexpr char kStr[] = "jet_str";
constexpr char kStDev[] = "jet_stdev";
constexpr char kStDevP[] = "jet_stdevp";
constexpr char kVar[] = "jet_var";
constexpr char kVarP[] = "jet_varp";

// A date is not a number to IsNumeric, though it is stored as one.
Rendered IsNumeric(FunctionArguments& a) {
  Rendered x = a.Value(0);
  if (x.type == DataType::kDate) return Result("(0*ifnull(" + x.sql + ",0))", DataType::kBoolean);
  return Result(Call("jet_isnumeric", {x.sql}), DataType::kBoolean);
}

// Only the type tells a date from a number; text may read as one.
Rendered IsDate(FunctionArguments& a) {
  Rendered x = a.Value(0);
  if (x.type == DataType::kDate)
    return Result("(CASE WHEN " + x.sql + " IS NULL THEN 0 ELSE -1 END)", DataType::kBoolean);
  if (IsNumericType(x.type)) return Result("(0*ifnull(" + x.sql + ",0))", DataType::kBoolean);
  return Result(Call("jet_isdate", {x.sql}), DataType::kBoolean);
}

DataType CommonType(const std::vector<Rendered>& values) {
  DataType type = values.empty() ? DataType::kUnknown : values[0].type;
  for (const Rendered& v : values)
    if (v.type != type) return DataType::kUnknown;
  return type;
}

// Choose(index, v1, v2, ...): the index rounded to a whole number; Null outside 1 to n.
Rendered Choose(FunctionArguments& a) {
  std::string sql = "CASE jet_round(" + a.Value(0).sql + ")";
  std::vector<Rendered> values;
  for (size_t i = 1; i < a.count(); ++i) {
    values.push_back(a.Value(i));
    sql += " WHEN " + std::to_string(i) + " THEN " + values.back().sql;
  }
  return Result(sql + " END", CommonType(values));
}

// Switch(condition1, value1, ...): the value of the first true condition, Null when none is.
Rendered Switch(FunctionArguments& a) {
  if (a.count() % 2 != 0) throw DaoFailure(kJetInvalidCall);
  std::string sql = "CASE";
  std::vector<Rendered> values;
  for (size_t i = 0; i + 1 < a.count(); i += 2) {
    const std::string condition = a.Condition(i).sql;
    values.push_back(a.Value(i + 1));
    sql += " WHEN " + condition + " THEN " + values.back().sql;
  }
  return Result(sql + " END", CommonType(values));
}

// The value's type tells jet_format a date from a number.
Rendered Format(FunctionArguments& a) {
  Rendered x = a.Value(0);
  std::string format = a.count() > 1 ? TextOf(a.Value(1)) : "NULL";
  std::string sql =
      "jet_format(" + x.sql + "," + format + "," + std::to_string(static_cast<int>(x.type));
  for (size_t i = 2; i < a.count(); ++i) sql += "," + a.Value(i).sql;
  return Result(sql + ")", DataType::kText);
}

constexpr FunctionInfo kFunctions[] = {
    {"ABS", 1, 1, false, Abs},
    {"ASC", 1, 1, false, Direct<kAsc, DataType::kInteger, true>},
    {"ATN", 1, 1, false, Direct<kAtn, DataType::kDouble, false>},
    {"CHR", 1, 1, false, Direct<kChr, DataType::kText, false>},
    {"COS", 1, 1, false, Direct<kCos, DataType::kDouble, false>},
    {"DATEADD", 3, 3, false, Direct<kDateAdd, DataType::kDate, false>},
    {"DATEDIFF", 3, 5, false, Direct<kDateDiff, DataType::kLong, false>},
    {"DATEPART", 2, 4, false, Direct<kDatePartOf, DataType::kInteger, false>},
    {"DATESERIAL", 3, 3, false, Direct<kDateSerial, DataType::kDate, false>},
    {"DATEVALUE", 1, 1, false, Direct<kDateValue, DataType::kDate, false>},
    {"EXP", 1, 1, false, Direct<kExp, DataType::kDouble, false>},
    {"INSTRREV", 2, 4, false, Direct<kInStrRev, DataType::kLong, true>},
    {"LOG", 1, 1, false, Direct<kLog, DataType::kDouble, false>},
    {"REPLACE", 3, 6, false, Direct<kReplace, DataType::kText, true>},
    {"SIN", 1, 1, false, Direct<kSin, DataType::kDouble, false>},
    {"SQR", 1, 1, false, Direct<kSqr, DataType::kDouble, false>},
    {"STRCOMP", 2, 3, false, Direct<kStrComp, DataType::kInteger, true>},
    {"STRCONV", 2, 3, false, Direct<kStrConv, DataType::kText, true>},
    {"STRING", 2, 2, false, Direct<kString, DataType::kText, false>},
    {"STRREVERSE", 1, 1, false, Direct<kStrReverse, DataType::kText, true>},
    {"TAN", 1, 1, false, Direct<kTan, DataType::kDouble, false>},
    {"TIMESERIAL", 3, 3, false, Direct<kTimeSerial, DataType::kDate, false>},
    {"WEEKDAY", 1, 2, false, Direct<kWeekday, DataType::kInteger, false>},
    {"HEX", 1, 1, false, Direct<kHex, DataType::kText, false>},
    {"OCT", 1, 1, false, Direct<kOct, DataType::kText, false>},
    {"STDEV", 1, 1, true, Direct<kStDev, DataType::kDouble, false>},
    {"STDEVP", 1, 1, true, Direct<kStDevP, DataType::kDouble, false>},
    {"STR", 1, 1, false, Direct<kStr, DataType::kText, false>},
    {"TIMEVALUE", 1, 1, false, Direct<kTimeValue, DataType::kDate, false>},
    {"VAR", 1, 1, true, Direct<kVar, DataType::kDouble, false>},
    {"VARP", 1, 1, true, Direct<kVarP, DataType::kDouble, false>},
    {"CHOOSE", 2, 100, false, Choose},
    {"ISDATE", 1, 1, false, IsDate},
    {"ISNUMERIC", 1, 1, false, IsNumeric},
    {"SWITCH", 2, 100, false, Switch},
    {"AVG", 1, 1, true, Aggregate<kAvg, false>},
    {"CBOOL", 1, 1, false, Convert<kCbool, DataType::kBoolean>},
    {"CBYTE", 1, 1, false, Convert<kCbyte, DataType::kByte>},
    {"CCUR", 1, 1, false, Convert<kCcur, DataType::kCurrency>},
    {"CDATE", 1, 1, false, Convert<kCdate, DataType::kDate>},
    {"CDBL", 1, 1, false, Convert<kCdbl, DataType::kDouble>},
    {"CINT", 1, 1, false, Convert<kCint, DataType::kInteger>},
    {"CLNG", 1, 1, false, Convert<kClng, DataType::kLong>},
    {"COUNT", 1, 1, true, Count},
    {"CSNG", 1, 1, false, Convert<kCsng, DataType::kSingle>},
    {"CSTR", 1, 1, false, CStr},
    {"DATE", 0, 0, false, Clock<kToday>},
    {"DAY", 1, 1, false, DatePart<'d'>},
    {"FIRST", 1, 1, true, Aggregate<kFirst, true>},
    {"FIX", 1, 1, false, Fix},
    {"FORMAT", 1, 4, false, Format},
    {"HOUR", 1, 1, false, DatePart<'h'>},
    {"IIF", 3, 3, false, IIf},
    {"INSTR", 2, 4, false, InStr},
    {"INT", 1, 1, false, Int},
    {"ISNULL", 1, 1, false, IsNull},
    {"LAST", 1, 1, true, Aggregate<kLast, true>},
    {"LCASE", 1, 1, false, TextFunction<kLcase>},
    {"LEFT", 2, 2, false, Left},
    {"LEN", 1, 1, false, Len},
    {"LTRIM", 1, 1, false, TrimFunction<kLtrim>},
    {"MAX", 1, 1, true, Aggregate<kMax, true>},
    {"MID", 2, 3, false, Mid},
    {"MIN", 1, 1, true, Aggregate<kMin, true>},
    {"MINUTE", 1, 1, false, DatePart<'n'>},
    {"MONTH", 1, 1, false, DatePart<'m'>},
    {"NOW", 0, 0, false, Clock<kNow>},
    {"NZ", 1, 2, false, Nz},
    {"RIGHT", 2, 2, false, Right},
    {"ROUND", 1, 2, false, Round},
    {"RTRIM", 1, 1, false, TrimFunction<kRtrim>},
    {"SECOND", 1, 1, false, DatePart<'s'>},
    {"SGN", 1, 1, false, Sgn},
    {"SPACE", 1, 1, false, Convert<kSpace, DataType::kText>},
    {"SUM", 1, 1, true, Aggregate<kSum, false>},
    {"TIME", 0, 0, false, Clock<kTime>},
    {"TRIM", 1, 1, false, TrimFunction<kTrim>},
    {"UCASE", 1, 1, false, TextFunction<kUcase>},
    {"VAL", 1, 1, false, Val},
    {"YEAR", 1, 1, false, DatePart<'y'>},
};

bool SameAscii(std::string_view upper, std::string_view name) {
  return std::equal(upper.begin(), upper.end(), name.begin(), name.end(), [](char u, char c) {
    return u == ((c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c);
  });
}

}  // namespace

std::string JetTextOf(const Rendered& r) {
  if (IsTextType(r.type)) return r.sql;
  switch (r.type) {
    case DataType::kSingle:
      return "jet_text(" + r.sql + ",6)";
    case DataType::kDate:
      return "jet_text(" + r.sql + ",8)";
    case DataType::kBoolean:
      return "jet_text(" + r.sql + ",1)";
    default:
      return "jet_text(" + r.sql + ")";
  }
}

const FunctionInfo* FindFunction(std::string_view name) {
  for (const FunctionInfo& f : kFunctions) {
    if (SameAscii(f.name, name)) return &f;
  }
  return nullptr;
}

}  // namespace kr::db::engine
