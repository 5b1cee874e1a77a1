// Shared parts of the statement generators: the name scope that resolves Jet names against the
// catalog and the tables of a FROM clause, and SELECT generation. Internal to db/engine.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/engine/engine_internal.h"
#include "db/engine/generator.h"
#include "db/engine/jet_ast.h"
#include "db/engine/jet_expressions.h"

namespace kr::db::engine::internal {

// A table of a FROM clause (or the target of an UPDATE/DELETE/INSERT).
struct ScopeTable {
  std::string alias;     // the name that qualifies its columns (alias or table name)
  std::string jet_name;  // the table's own name ("" for a subquery)
  std::string schema;    // "main", an attached alias, or "" for a subquery
  std::string table;     // its name in that schema
  std::string from_sql;  // "schema"."table" AS "alias", or (SELECT ...) AS "alias"
  std::vector<FieldDef> fields;
  // Per field: comparing it needs no explicit COLLATE (ColumnInfo::collated).
  std::vector<bool> collated;

  bool Collated(const FieldDef& field) const {
    size_t index = static_cast<size_t>(&field - fields.data());
    return index < collated.size() && collated[index];
  }
};

class Scope : public ExpressionResolver {
 public:
  Scope(DatabaseImpl& db, Scope* outer) : db_(db), outer_(outer) {}

  // Adds a table by name (local, attached or system); 3078 when there is none.
  ScopeTable& AddTable(std::string_view name, std::string_view alias);
  // The FROM text of a table expression, adding its tables.
  std::string AddTableRef(const TableRef& ref);
  std::vector<ScopeTable>& tables() { return tables_; }
  DatabaseImpl& db() { return db_; }

  // The table and field a column reference names (nullptr when unknown in every scope).
  struct Found {
    const ScopeTable* table = nullptr;
    const FieldDef* field = nullptr;
  };
  Found Find(const Expr& column);

  ColumnInfo ResolveColumn(const Expr& expr) override;
  std::string RenderSubquery(const Select& select) override;
  std::string RenderScalarSubquery(const Select& select) override;

 private:
  DatabaseImpl& db_;
  Scope* outer_;
  std::vector<ScopeTable> tables_;
  int subquery_count_ = 0;
};

// A SELECT turned into SQLite text, in parts so callers can wrap the result columns.
struct GeneratedSelect {
  std::string head;                // "SELECT" or "SELECT DISTINCT"
  std::vector<std::string> items;  // one SQLite expression per result column
  // Per result column: a table's Currency column as stored (ten-thousandths), else "".
  std::vector<std::string> stored_items;
  std::vector<DataType> item_types;
  std::string tail;  // " FROM ... WHERE ... GROUP BY ... ORDER BY ... LIMIT ..."
  std::vector<OutputColumn> columns;
  bool is_union = false;
  std::string sql;  // the whole statement
  // Set when the rows are the rows of one table (no join, grouping, DISTINCT or union).
  bool single_table = false;
  ScopeTable base;
  std::string where_sql, order_sql;
  std::string limit_sql;  // " LIMIT ..." of TOP n ("" when none)
};

GeneratedSelect GenerateSelect(DatabaseImpl& db, const Select& select, Scope* outer);

// Result column i as its table stores it, when it is a table's Currency column ("" otherwise).
inline std::string StoredItem(const GeneratedSelect& select, size_t i) {
  return i < select.stored_items.size() ? select.stored_items[i] : std::string();
}

// A crosstab (select.transform set) as a grouped SELECT; its column headings come from a first
// pass over the rows unless the statement lists them (PIVOT ... IN).
GeneratedSelect GenerateCrosstab(DatabaseImpl& db, const Select& select);

// Jet's refusals of a query's shape (3122, 3091, 3096, 3093), over the tables of its scope.
void CheckSelectShape(const Select& select, Scope& scope);
// 3073 when an UPDATE's target joins a totals, DISTINCT or union query.
void CheckUpdatable(const TableRef& target);

// The SQLite expression that stores value_sql (of type from) into a field: as it is when the
// types agree, through kr_store otherwise; Null into a Yes/No field is No. stored_sql: the same
// value as a Currency column stores it, when it is one ("" otherwise).
std::string StoreAs(const std::string& value_sql, DataType from, const FieldDef& target,
                    const std::string& stored_sql = "");

void DropTableNamed(DatabaseImpl& db, std::string_view name, int missing_error);

}  // namespace kr::db::engine::internal
