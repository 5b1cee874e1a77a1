// Parts of krdb shared inside app/krdb.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/krdb/krdb.h"
#include "db/engine/engine.h"

namespace kr::krdb {

namespace engine = db::engine;
using engine::Value;

// --- Output -------------------------------------------------------------------------------------

// Rows in one of the output formats. TSV: a header line, then values with Null as \N and a
// tab, line feed or carriage return inside a text as \t, \n, \r. CSV (RFC 4180): a header
// record, CRLF line ends, fields quoted when they hold a comma, quote, CR or LF; Null is an
// empty field, an empty text "". JSON: one array of objects per row set, one row to a line.
class RowWriter {
 public:
  RowWriter(std::ostream& out, Format format) : out_(out), format_(format) {}
  void Begin(std::vector<std::string> names);
  void Row(const std::vector<Value>& values);
  void End();

 private:
  std::ostream& out_;
  Format format_;
  std::vector<std::string> names_;
  bool first_row_ = true;
};

// The text a value shows as in TSV and CSV: numbers in their shortest round-trip form, Booleans
// True/False, dates yyyy/mm/dd hh:nn:ss, binaries 0x and hex digits ("" for Null).
std::string DisplayText(const Value& value);
// Shortest text that reads back as the same number.
std::string ShortestDouble(double value);
std::string ShortestSingle(float value);
std::string Hex(std::string_view bytes);
// A JSON string (bytes that are no UTF-8 become U+FFFD) and a value in JSON.
std::string JsonString(std::string_view text);
std::string JsonValue(const Value& value);

// Prints a statement's rows (a SELECT) or runs it.
void RunStatement(engine::Database& db, std::string_view sql, const ScriptOptions& options,
                  std::ostream& out);

// --- Scripts ------------------------------------------------------------------------------------

struct ScriptStatement {
  std::string sql;
  int line = 0;  // where it starts, 1-based
};
std::vector<ScriptStatement> SplitScript(std::string_view text);

// Where a line leaves the quoting of a statement: outside, in '...', "..." or [...].
enum class Quoting { kNone, kSingle, kDouble, kBracket };
Quoting QuotingAfter(std::string_view line, Quoting state);

// KRDB statements: what Jet SQL cannot say, done through the object model.
//   KRDB LINK [name] TO [source table] IN 'source database';
//   KRDB TABLE [name] ([field] TYPE[(n)] [NOT NULL] [ZEROLENGTH | NOZEROLENGTH]
//                      [DEFAULT 'expression'] [RULE 'expression'], ...);
//   KRDB INSERT INTO [table] ([field], ...) VALUES (literal, ...);
// Literals: Null, True, False, numbers, 'text', #yyyy/mm/dd hh:nn:ss#, CDate(number),
// CCur('decimal'), 0x followed by hex digits (bytes).
bool IsKrdbStatement(std::string_view sql);
void RunKrdbStatement(engine::Database& db, std::string_view sql, const ScriptOptions& options);

// --- Dump ---------------------------------------------------------------------------------------

// Writes the database's local tables (fields, keys, indexes, rows) and links as a krdb script.
// password_option names how the database was opened ("--app", ...) for the header's rebuild
// line; the password itself is never written.
void Dump(engine::Database& db, std::string_view password_option, std::ostream& out);

// One local table: its definition, rows and indexes, as Dump writes them.
void DumpTable(engine::Database& db, engine::TableDef& table, std::ostream& out);
// CREATE INDEX for an index the table definition does not carry.
std::string IndexDdl(std::string_view table, const engine::IndexInfo& index);

// Jet SQL literal of a value, or "" when a Jet literal cannot give it back exactly (binaries,
// texts with NUL or invalid UTF-8, currency beyond what a decimal literal keeps, non-finite
// numbers).
std::string JetLiteral(const Value& value);
// KRDB INSERT literal of a value (every value has one, non-finite numbers aside: "").
std::string KrdbLiteral(const Value& value);

// --- Diff ---------------------------------------------------------------------------------------

enum class DiffFormat { kText, kJson, kSql };
struct DiffOptions {
  DiffFormat format = DiffFormat::kText;
  std::vector<std::string> tables;  // only these (compared case-blind); empty: every local table
  size_t shown = 10;                // text and JSON: rows shown of each kind per table
};
// Compares the local tables of a and b (definitions, keys, indexes, rows; rows matched by the
// primary key the two share, else as multisets) reading each table once in key order, and
// writes the differences: text, JSON, or Jet SQL that turns a into b (a krdb script). Returns
// whether they differ. Raises what the engine raises.
bool Diff(engine::Database& a, engine::Database& b, const DiffOptions& options, std::ostream& out);

// --- Statements from standard input -------------------------------------------------------------

// Reads statements (ending with ";") from standard input and runs each, with line editing and
// history on a terminal; help, tables and quit are commands of their own there. Returns the
// exit status: 1 when a statement failed and the input was no terminal.
int Shell(engine::Database& db, const ScriptOptions& options);

}  // namespace kr::krdb
