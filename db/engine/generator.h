// The statement generator: Jet SQL in, SQLite SQL out, with names resolved against the catalog
// (attached tables included), Jet's row semantics and its recordset field names and types.
// Internal to db/engine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/engine/catalog.h"

namespace kr::db::engine::internal {

class DatabaseImpl;

// One field of a statement's result as DAO shows it.
struct OutputColumn {
  FieldDef def;              // name (Jet's: alias, column, "T.col" when ambiguous, Expr1000),
                             // type (0 when only the values can tell), size, properties
  std::string source_table;  // the table a plain column comes from ("" for an expression)
  std::string source_field;
  int base_index = -1;  // keyed sources: the base table's field this column is
  // A plain column whose collation compares text case-insensitively (a column of a table, or
  // such a column passed on by a subquery); false for anything computed.
  bool collated = false;
};

// Where a recordset's rows come from.
struct RowSource {
  std::vector<OutputColumn> columns;
  // Keyed: the rows are rows of one table, identified by rowid; otherwise they stream.
  bool keyed = false;
  bool updatable = false;
  std::string keyset_sql;  // keyed: "SELECT rowid FROM ... ORDER BY ..."
  std::string row_sql;     // keyed: the columns of one row, rowid bound as ?1
  std::string window_sql;  // keyed: rowid and columns of the rows whose rowids are bound
                           // as ?1 to ?64 (unused ones Null)
  std::string stream_sql;  // streaming: the whole SELECT
  std::string count_sql;   // table recordsets: the row count
  // Keyed: the base table, for edits and Find.
  std::string base_schema;  // "main" or the alias of an attached source
  std::string base_table;   // its name in that schema
  std::string base_name;    // the name the statement used (a link keeps its own name)
  std::string alias;        // the alias the row statements use for it
  std::string from_sql;     // "schema"."table" AS "alias"
  std::string where_sql;    // the statement's condition ("" when none)
  std::string order_sql;    // the ORDER BY list ("" for rowid order)
  std::string limit_sql;    // TOP n: " LIMIT ..." ("" when none)
};

// A table opened as a table recordset, ordered by an index ("" for rowid order).
RowSource PlanTable(DatabaseImpl& db, std::string_view table, std::string_view index);
// A SELECT statement (or a table name) opened as a dynaset or snapshot; with stream (a
// forward-only recordset), read through one cursor instead of a keyset, so that memory does not
// grow with the rows.
RowSource PlanQuery(DatabaseImpl& db, std::string_view source, bool stream = false);
// The condition of a Find on a keyed source, as SQLite text over source.alias.
std::string CriteriaSql(DatabaseImpl& db, const RowSource& source, std::string_view criteria);
// Runs an action statement; returns the rows it changed.
int64_t ExecuteStatement(DatabaseImpl& db, std::string_view sql, int options);

}  // namespace kr::db::engine::internal
