// Rendering of Jet expressions (jet_ast.h) as SQLite SQL with Jet's semantics. Internal to
// db/engine; the statement generators call it for every expression they emit.
//
// Semantics carried over:
//   - True is -1, False 0. A comparison or logical result used as a value (RenderValue) is -1/0
//     or Null; as a condition (RenderCondition) any non-zero value is true.
//   - Text compares in the Japanese sort order (text_collation.h): a comparison, In or Between
//     gets COLLATE JET_JA unless the collation of a column already decides it or both sides
//     are numbers.
//   - A number compared with a text literal, or text with a number literal, is error 3464.
//   - x op Any|Some|All (SELECT ...) compares with each row, in SQL's three values.
//   - Null propagates, except in "&" (Null counts as "", and Null & Null is Null), IsNull, Nz,
//     IIf and Is Null. Numbers concatenate in Jet's text form (1.0 as "1").
//   - "+" of two texts concatenates; "/" gives a Double; "\" and Mod round their operands to
//     whole numbers first (banker's rounding); division by zero raises error 11.
//   - Between takes its bounds in either order. A subquery giving a value or a list has one field
//     (3306); one giving a value, one row at most (3354).
//   - Currency with Currency or whole numbers (+, -, *) stays Currency, rounded to four decimals;
//     Sum and Avg of Currency add up exactly.
//   - Like takes Jet's wildcards (* ? # [a-z] [!a-z]) through the SQL function jet_like, which
//     folds text and pattern as the collation does (SQLite's LIKE knows ASCII case only).
// The SQL functions named jet_* come from RegisterJetFunctions (jet_functions.h), which must
// have been called on the connection that runs the rendered SQL.
//
// Failures: the resolver's own (unknown column 3061, ambiguous 3079, ...) pass through; the
// renderer itself raises none for a tree the parser built. Pass-through regime.
#pragma once

#include <string>
#include <string_view>

#include "db/engine/jet_ast.h"
#include "db/engine/sql_quote.h"

namespace kr::db::engine {

// What the renderer needs to know about a column reference.
struct ColumnInfo {
  std::string sql;  // SQLite text that reads the column, e.g. "\"t\".\"Code\""
  DataType type = DataType::kUnknown;
  // True when comparing sql needs no explicit COLLATE: a plain column declared COLLATE
  // JET_JA (text fields, and such columns passed on by a subquery) or one that never holds
  // text (the other field types). False for an expression, such as a computed column of a
  // subquery in FROM.
  bool collated = true;
};

// Implemented by the statement generator: it knows the tables in scope.
class ExpressionResolver {
 public:
  virtual ~ExpressionResolver() = default;
  // The column that expr (kind kColumn: expr.table may be "") names in the current scope,
  // outer scopes included for a correlated subquery. Raises the Jet error for an unknown or
  // ambiguous name. May be called more than once for the same node.
  virtual ColumnInfo ResolveColumn(const Expr& expr) = 0;
  // SQLite text of a subquery used inside an expression (In, Exists, scalar), as a complete
  // SELECT statement without surrounding parentheses; the renderer adds them. The generator
  // resolves the subquery's names in its own scope, with this scope as the outer one.
  virtual std::string RenderSubquery(const Select& select) = 0;
  // A subquery used as a single value: as RenderSubquery, but a second row is error 3354
  // instead of being ignored.
  virtual std::string RenderScalarSubquery(const Select& select) { return RenderSubquery(select); }
};

// expr as a Jet value: booleans are -1/0/Null.
std::string RenderValue(const Expr& expr, ExpressionResolver& resolver);
// expr as an SQLite condition (WHERE, HAVING, ON, CASE WHEN): true when non-zero.
std::string RenderCondition(const Expr& expr, ExpressionResolver& resolver);
// expr as a grouping or ordering key (GROUP BY, ORDER BY, DISTINCT): a value, with COLLATE
// JET_JA added when it may be text whose collation would otherwise be another.
std::string RenderSortKey(const Expr& expr, ExpressionResolver& resolver);
// The type expr evaluates to, as far as it is known without data (kUnknown otherwise).
DataType StaticType(const Expr& expr, ExpressionResolver& resolver);

// SQLite literal for a double that reads back as the same REAL (never as an INTEGER).
std::string SqlRealLiteral(double value);

// Type helpers.
bool IsTextType(DataType type);     // kText, kMemo
bool IsNumericType(DataType type);  // kBoolean to kDate

}  // namespace kr::db::engine
