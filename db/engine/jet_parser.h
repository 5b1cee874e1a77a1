// Parser of Jet SQL: tokens (jet_tokens.h) to syntax tree (jet_ast.h). Internal to db/engine.
//
// Statements: SELECT (DISTINCT, DISTINCTROW, TOP n [PERCENT], joins as Access writes them,
// subqueries, GROUP BY, HAVING, UNION [ALL] with TABLE t as a part, ORDER BY), TRANSFORM ...
// PIVOT ... [IN (...)], INSERT INTO ... VALUES | SELECT, UPDATE t [JOIN ...] SET ..., DELETE
// [*|t.*] FROM ..., CREATE TABLE, CREATE [UNIQUE] INDEX, DROP TABLE, DROP INDEX, ALTER TABLE
// ADD/ALTER/DROP [COLUMN] and ADD/DROP CONSTRAINT (PRIMARY KEY, UNIQUE, FOREIGN KEY ...
// REFERENCES), each after an optional PARAMETERS declaration.
// Keywords are case-insensitive; one trailing ";" is allowed.
//
// Failures (pass-through): kr::Failure with the DAO number Jet gives, the Japanese description
// and an English log text naming the character position: 3129 not a statement (also empty
// text), 3075 in a query expression (missing operator, unbalanced quote or bracket, bad date,
// wrong argument count, a third table joined without parentheses), 3085 unknown function, 3141
// SELECT, 3131 FROM, 3135 JOIN, 3138 ORDER BY, 3143 UNION, 3132 PARAMETERS, 3134 INSERT INTO, 3144
// UPDATE, 3290 CREATE TABLE, 3291 CREATE INDEX, 3292 field definition, 3259 unknown field type,
// 3289 constraint, 3293 ALTER TABLE, 3295 DROP, 3191 a field defined twice, 3346 VALUES not
// matching the column list, 3137 text after VALUES (...), 3126 bracketed name, 3142 text after the
// statement, 3360 nesting beyond the limits below. Parsing never loops without consuming input and
// its recursion is bounded.
#pragma once

#include <string_view>

#include "db/engine/jet_ast.h"

namespace kr::db::engine {

// Parentheses, subqueries and prefix operators nested deeper than this are "too complex".
inline constexpr int kMaxNesting = 64;
// An expression or join tree taller than this is "too complex" (Jet allows 99 ANDs in a
// WHERE clause; this leaves room above that).
inline constexpr int kMaxTreeHeight = 200;

// One statement.
Statement ParseStatement(std::string_view sql);

// A bare expression, such as a FindFirst criterion ("Code='200'"). Errors are 3075.
ExprPtr ParseExpression(std::string_view text);

// A field's validation rule, where a comparison may leave out its left operand, which is then
// the field: ">0", "Between 1 And 5", "Is Null Or >0", "In ('a','b')", "Like 'A*'". Errors
// are 3075.
ExprPtr ParseValidationRule(std::string_view rule, std::string_view field);

// A where text as the toolkit builds it: empty (or blanks) gives null; otherwise an optional
// leading WHERE keyword and a condition. Errors are 3075 (3145 for WHERE without condition).
ExprPtr ParseWhereText(std::string_view text);

}  // namespace kr::db::engine
