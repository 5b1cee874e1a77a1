// Syntax tree of the Jet SQL dialect, as the parser (jet_parser.h) builds it and the SQLite
// generators read it. Internal to db/engine.
//
// Conventions:
//   - Names (tables, columns, aliases, indexes) are stored as written, without brackets; they
//     compare case-insensitively, as Jet compares them. Keywords are not kept.
//   - Span: byte offsets [begin, end) into the text that was parsed (Statement::text for a
//     statement). Error texts turn them into character positions.
//   - Children are owned through unique_ptr; a tree is moved, never copied (Clone() copies).
//   - The parser caps nesting (see jet_parser.h), so recursive walks over a parsed tree are safe.
// Changes to this header are additive: the statement generators are written against it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kr::db::engine {

struct Span {
  uint32_t begin = 0;
  uint32_t end = 0;
};

// Field data types. The values are DAO's type codes (Field.Type), so a DataType converts to and
// from a DAO code with a cast. kUnknown is never a DDL type; resolvers use it for "not known".
enum class DataType : int {
  kUnknown = 0,
  kBoolean = 1,      // YESNO, BIT, LOGICAL, LOGICAL1
  kByte = 2,         // BYTE, INTEGER1, TINYINT
  kInteger = 3,      // SHORT, SMALLINT, INTEGER2
  kLong = 4,         // LONG, INT, INTEGER, INTEGER4, COUNTER, AUTOINCREMENT
  kCurrency = 5,     // CURRENCY, MONEY
  kSingle = 6,       // SINGLE, REAL, FLOAT4, IEEESINGLE
  kDouble = 7,       // DOUBLE, FLOAT, FLOAT8, NUMBER, NUMERIC, IEEEDOUBLE
  kDate = 8,         // DATETIME, DATE, TIME, TIMESTAMP
  kBinary = 9,       // BINARY, VARBINARY
  kText = 10,        // TEXT, CHAR, VARCHAR, STRING, ALPHANUMERIC, CHARACTER
  kLongBinary = 11,  // LONGBINARY, OLEOBJECT, GENERAL, IMAGE
  kMemo = 12,        // MEMO, LONGTEXT, NOTE, LONGCHAR
};

struct Expr;
struct Select;
struct TableRef;
using ExprPtr = std::unique_ptr<Expr>;
using SelectPtr = std::unique_ptr<Select>;
using TableRefPtr = std::unique_ptr<TableRef>;

// ---------------------------------------------------------------------------------------------
// Expressions

enum class ExprKind {
  kNull,        // Null
  kBoolean,     // True/False/Yes/No/On/Off: `boolean`
  kInteger,     // integer literal that fits 64 bits (decimal or &H/&O): `integer`
  kDouble,      // literal with a point or exponent, or a too large integer: `number`
  kText,        // '...' or "..." literal: `text` (quotes removed, doubled quotes undone)
  kDate,        // #...# literal: `number` is the OLE automation date (days since 1899-12-30)
  kColumn,      // column reference: `table` (qualifier, "" when bare) and `column`
  kUnary,       // `unary_op` applied to args[0]
  kBinary,      // args[0] `binary_op` args[1]
  kLike,        // args[0] [Not] Like args[1]; `negated` for Not Like
  kIsNull,      // args[0] Is [Not] Null; `negated` for Is Not Null
  kBetween,     // args[0] [Not] Between args[1] And args[2]
  kInList,      // args[0] [Not] In (args[1], args[2], ...)
  kInSelect,    // args[0] [Not] In (`select`)
  kExists,      // [Not] Exists (`select`); Not Exists parses as kUnary kNot over kExists
  kSubquery,    // (`select`) used as a value
  kFunction,    // `name`(args...): name upper-cased; `star` for Count(*) (args empty)
  kQuantified,  // args[0] `binary_op` (a comparison) Any|Some|All (`select`); `all` for All
};

enum class UnaryOp { kNegate, kPlus, kNot };

enum class BinaryOp {
  kPower,         // ^
  kMultiply,      // *
  kDivide,        // /
  kIntDivide,     // \ (integer division)
  kMod,           // Mod
  kAdd,           // +
  kSubtract,      // -
  kConcat,        // &
  kEqual,         // =
  kNotEqual,      // <>
  kLess,          // <
  kLessEqual,     // <=
  kGreater,       // >
  kGreaterEqual,  // >=
  kAnd,
  kOr,
  kXor,
  kEqv,
  kImp,
};

// One node. Only the members named for its kind are meaningful; the others keep their defaults.
struct Expr {
  ExprKind kind = ExprKind::kNull;
  Span span;
  int height = 1;  // 1 for a leaf; 1 + the tallest child (subqueries count as leaves)

  bool boolean = false;  // kBoolean
  int64_t integer = 0;   // kInteger
  double number = 0;     // kDouble, kDate
  std::string text;      // kText
  std::string table;     // kColumn: qualifier as written after "[...]" removal, "" when bare
  std::string column;    // kColumn
  std::string name;      // kFunction: upper-cased ASCII name ("LEFT", "COUNT", "IIF")
  UnaryOp unary_op = UnaryOp::kNot;
  BinaryOp binary_op = BinaryOp::kEqual;
  bool negated = false;       // kLike, kIsNull, kBetween, kInList, kInSelect
  bool star = false;          // kFunction: Count(*)
  bool all = false;           // kQuantified: All (otherwise Any or Some)
  std::vector<ExprPtr> args;  // operands and arguments, in source order
  SelectPtr select;           // kInSelect, kExists, kSubquery

  Expr() = default;
  ~Expr();
  Expr(Expr&&) noexcept;
  Expr& operator=(Expr&&) noexcept;
};

// ---------------------------------------------------------------------------------------------
// Table expressions (FROM, UPDATE targets, DELETE sources)

enum class JoinKind { kInner, kLeft, kRight };

struct TableRef {
  enum class Kind {
    kTable,     // `name` [AS] `alias`
    kSubquery,  // (`select`) [AS] `alias`
    kJoin,      // `left` INNER|LEFT|RIGHT JOIN `right` ON `on`
  };
  Kind kind = Kind::kTable;
  Span span;
  int height = 1;     // as Expr::height, over join nesting
  std::string name;   // kTable
  std::string alias;  // kTable, kSubquery: "" when none
  SelectPtr select;   // kSubquery
  JoinKind join = JoinKind::kInner;
  TableRefPtr left;   // kJoin
  TableRefPtr right;  // kJoin
  ExprPtr on;         // kJoin

  TableRef() = default;
  ~TableRef();
  TableRef(TableRef&&) noexcept;
  TableRef& operator=(TableRef&&) noexcept;
};

// ---------------------------------------------------------------------------------------------
// Statements

struct SelectItem {
  enum class Kind {
    kExpression,    // `expr` [AS `alias`]
    kAllColumns,    // *
    kTableColumns,  // `table`.*
  };
  Kind kind = Kind::kExpression;
  Span span;
  ExprPtr expr;
  std::string alias;  // "" when none
  std::string table;  // kTableColumns
};

struct OrderItem {
  ExprPtr expr;  // any expression; an integer literal is left to the generator to interpret
  bool descending = false;
};

enum class SelectQuantifier { kAll, kDistinct, kDistinctRow };

struct Top {
  double count = 0;  // a whole number unless percent
  bool percent = false;
};

struct Select {
  struct UnionPart {
    bool all = false;  // UNION ALL
    SelectPtr select;  // has no order_by and no unions of its own
  };

  Span span;
  SelectQuantifier quantifier = SelectQuantifier::kAll;
  std::optional<Top> top;
  std::vector<SelectItem> items;
  std::vector<TableRef> from;  // comma-separated table expressions; empty without FROM
  ExprPtr where;               // null when absent
  std::vector<ExprPtr> group_by;
  ExprPtr having;  // null when absent
  // For a union, the ORDER BY written after the last part: it orders the whole union.
  std::vector<OrderItem> order_by;
  std::vector<UnionPart> unions;  // the parts after this one, in order
  // SELECT ... INTO `into` FROM ...: a make-table statement (the statement's first part only).
  std::string into;
  // TRANSFORM `transform` SELECT ... PIVOT `pivot` [IN (`pivot_in`)]: a crosstab (a whole
  // statement; `transform` holds an aggregate, computed for each value of `pivot`; `pivot_in`
  // empty when the values are those the rows hold).
  ExprPtr transform;
  ExprPtr pivot;
  std::vector<ExprPtr> pivot_in;

  Select() = default;
  ~Select();
  Select(Select&&) noexcept;
  Select& operator=(Select&&) noexcept;
};

// INSERT INTO `table` [(`columns`)] VALUES (`values`) | SELECT ...
struct Insert {
  Span span;
  std::string table;
  Span table_span;
  std::vector<std::string> columns;  // empty: every column in table order
  std::vector<ExprPtr> values;       // VALUES form; empty when `select` is set
  SelectPtr select;                  // SELECT form
};

struct Assignment {
  ExprPtr column;  // a kColumn expression (maybe qualified: T.a, [T].[a], T!a)
  ExprPtr value;
};

// UPDATE `target` SET `assignments` [WHERE `where`]; target is a table or a join of tables.
struct Update {
  Span span;
  TableRef target;
  std::vector<Assignment> assignments;
  ExprPtr where;
};

// DELETE [*|t.*] FROM `from` [WHERE `where`]
struct Delete {
  enum class Target {
    kImplicit,  // DELETE FROM t
    kAll,       // DELETE * FROM t
    kTable,     // DELETE t.* FROM ...: `target_table` names the table whose rows go
  };
  Span span;
  Target target = Target::kImplicit;
  std::string target_table;
  TableRef from;
  ExprPtr where;
};

struct ColumnDef {
  Span span;
  std::string name;
  DataType type = DataType::kText;
  int size = 0;          // TEXT(n)/BINARY(n): n; TEXT without size: 255; 0 for other types
  bool counter = false;  // COUNTER/AUTOINCREMENT (type kLong)
  int64_t counter_seed = 1;
  int64_t counter_increment = 1;
  bool not_null = false;
  // Column constraint: [CONSTRAINT name] PRIMARY KEY | UNIQUE
  bool primary_key = false;
  bool unique = false;
  std::string constraint_name;  // "" when unnamed
  // REFERENCES `references` [(`referenced_columns`)]: "" when none; no columns: its primary key.
  std::string references;
  std::vector<std::string> referenced_columns;
  bool cascade_update = false;  // ON UPDATE CASCADE
  bool cascade_delete = false;  // ON DELETE CASCADE
};

// [CONSTRAINT name] PRIMARY KEY (cols) | UNIQUE (cols) | FOREIGN KEY (cols) REFERENCES t [(cols)]
// [ON UPDATE CASCADE] [ON DELETE CASCADE]
struct TableConstraint {
  enum class Kind { kPrimaryKey, kUnique, kForeignKey };
  Span span;
  Kind kind = Kind::kPrimaryKey;
  std::string name;  // "" when unnamed
  std::vector<std::string> columns;
  std::string references;                       // kForeignKey: the parent table
  std::vector<std::string> referenced_columns;  // kForeignKey: empty for its primary key
  bool cascade_update = false;                  // kForeignKey: ON UPDATE CASCADE
  bool cascade_delete = false;                  // kForeignKey: ON DELETE CASCADE
};

struct CreateTable {
  Span span;
  std::string table;
  std::vector<ColumnDef> columns;
  std::vector<TableConstraint> constraints;
};

struct IndexColumn {
  std::string name;
  bool descending = false;
};

// CREATE [UNIQUE] INDEX `name` ON `table` (cols) [WITH PRIMARY | DISALLOW NULL | IGNORE NULL]
struct CreateIndex {
  Span span;
  bool unique = false;
  std::string name;
  std::string table;
  std::vector<IndexColumn> columns;
  bool primary = false;        // WITH PRIMARY
  bool disallow_null = false;  // WITH DISALLOW NULL
  bool ignore_null = false;    // WITH IGNORE NULL
};

struct DropTable {
  Span span;
  std::string table;
};

struct DropIndex {
  Span span;
  std::string index;
  std::string table;
};

struct AlterTable {
  enum class Action {
    kAddColumn,       // ADD [COLUMN] `column`
    kAlterColumn,     // ALTER [COLUMN] `column`
    kDropColumn,      // DROP [COLUMN] `name`
    kAddConstraint,   // ADD CONSTRAINT ... (`constraint`)
    kDropConstraint,  // DROP CONSTRAINT `name`
  };
  Span span;
  std::string table;
  Action action = Action::kAddColumn;
  ColumnDef column;
  TableConstraint constraint;
  std::string name;
};

using StatementBody = std::variant<Select, Insert, Update, Delete, CreateTable, CreateIndex,
                                   DropTable, DropIndex, AlterTable>;

struct Statement {
  std::string text;  // the statement as parsed; spans point into it
  StatementBody body;
  // PARAMETERS name type, ...; before the statement: the names, as written.
  std::vector<std::string> parameters;
};

// Deep copies (trees are move-only).
ExprPtr Clone(const Expr& expr);
SelectPtr Clone(const Select& select);
TableRef Clone(const TableRef& ref);

// A compact prefix form of an expression, for tests and logs: "(= Code '200')",
// "(And (> a 1) (IsNull b))", "LEFT(Special, 3)", "COUNT(*)", "(In x <select>)".
std::string DebugString(const Expr& expr);

// True for COUNT, SUM, AVG, MIN, MAX, FIRST, LAST (by name, upper-cased).
bool IsAggregateName(const std::string& upper_name);
// Whether expr contains an aggregate call outside any subquery.
bool ContainsAggregate(const Expr& expr);

}  // namespace kr::db::engine
