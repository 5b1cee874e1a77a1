// The catalog: what the engine knows of a database's tables beyond SQLite's schema, kept in
// tables of its own ("MSysKr..." system tables) and loaded whole into memory. Also the SQLite
// DDL that gives each Jet field type its storage, collation and CHECK constraints.
//
// Storage of Jet types: Boolean (-1/0, never Null: DEFAULT 0), Byte, Integer, Long as INTEGER;
// Currency as INTEGER ten-thousandths, so that prices stay exact; Single (held at single
// precision), Double and Date (OLE days) as REAL; Text and Memo as TEXT COLLATE JET_JA
// (text_collation.h); binaries as BLOB. Expressions see Currency in units (FieldValueSql), and
// writes scale it back (kr_store). Files of older builds hold Currency as REAL units: such a
// column keeps its storage until its table is made anew (real_currency), as rewriting it at
// open would change a file before the updater has backed it up.
// Each column carries CHECKs named "kr_<rule>:<column>" (type, size, req, zls, rule, pk) so
// that OR IGNORE skips a row that breaks one and a plain statement reports which one failed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/engine/sqlite_db.h"

namespace kr::db::engine::internal {

// The catalog tables. Their names begin with "MSys", so TableDefs lists them as system tables.
inline constexpr std::string_view kInfoTable = "MSysKrInfo";
inline constexpr std::string_view kTablesTable = "MSysKrTables";
inline constexpr std::string_view kFieldsTable = "MSysKrFields";
inline constexpr std::string_view kIndexesTable = "MSysKrIndexes";
inline constexpr std::string_view kFormatName = "KrJet 1";

struct FieldDef {
  std::string name;
  int type = kText;
  int32_t size = 0;
  int32_t attributes = 0;  // kAutoIncrField for COUNTER
  bool required = false;
  bool allow_zero_length = false;
  std::string default_value;    // Jet expression text
  std::string validation_rule;  // Jet expression text
  // COUNTER(seed, increment): kept in the counter's trigger, not in the field catalogue.
  int64_t counter_seed = 1;
  int64_t counter_increment = 1;
  // A Currency column of an older build, stored as REAL units (set by Catalog::Load only).
  bool real_currency = false;

  bool counter() const { return (attributes & kAutoIncrField) != 0; }
};

// MSysKrIndexes.Flags bits.
inline constexpr int kIndexPrimary = 1, kIndexUnique = 2, kIndexIgnoreNulls = 4, kIndexRequired = 8;

struct IndexDef {
  std::string name;
  std::vector<std::pair<std::string, bool>> columns;  // name, descending
  bool primary = false;
  bool unique = false;
  bool ignore_nulls = false;
  bool required = false;
};

struct TableInfo {
  std::string name;
  bool system = false;
  bool linked = false;
  std::string connect;       // links
  std::string source_table;  // links
  std::vector<FieldDef> fields;
  std::vector<IndexDef> indexes;

  const FieldDef* FindField(std::string_view name) const;
  int FieldIndex(std::string_view name) const;  // -1 when missing
  const IndexDef* FindIndex(std::string_view name) const;
  const IndexDef* PrimaryKey() const;
  int32_t Attributes() const;
};

// The declared SQLite type (with collation) that stores a Jet field type, as above.
std::string ColumnAffinity(int type);

// The value of a field's stored column (stored_sql) as expressions see it: Currency in units.
std::string FieldValueSql(const std::string& stored_sql, const FieldDef& field);
// True when the field's column holds Currency as ten-thousandths.
inline bool ScaledCurrency(const FieldDef& field) {
  return field.type == kCurrency && !field.real_currency;
}

// ASCII case-insensitive equality, as Jet and SQLite compare names.
bool SameName(std::string_view a, std::string_view b);
std::string FoldName(std::string_view name);

class Catalog {
 public:
  // Reads the catalog of schema ("main" or an attached alias).
  void Load(Connection& connection, std::string_view schema);
  // Reads again the rows of one table after a schema change to it alone, as Load would read
  // them; a table without rows (dropped) leaves the view.
  void ReloadTable(Connection& connection, std::string_view schema, std::string_view name);
  const TableInfo* Find(std::string_view name) const;
  const std::vector<TableInfo>& tables() const { return tables_; }
  // Changes to the loaded view (for catalog rows not yet written).
  void Add(TableInfo table);
  void Remove(std::string_view name);

 private:
  std::vector<TableInfo> tables_;  // ordered by folded name
};

// True when schema holds our catalog of the current format.
bool HasCatalog(Connection& connection, std::string_view schema);
// Creates the catalog tables in a new, empty database.
void CreateCatalog(Connection& connection);
// Files made before the Japanese sort order declared their text columns COLLATE NOCASE: their
// tables take JET_JA and their indexes are rebuilt for it, in one transaction. A file whose keys
// collide under the new order (or that cannot be written now) keeps the old declarations and
// is tried again at its next open. Returns whether the file's text columns are JET_JA.
bool UpgradeTextCollation(Connection& connection);

// Schema changes (all in main). Each keeps SQLite's schema and the catalog in step and runs in
// the caller's transaction.
void CreateTable(Connection& connection, const TableInfo& table);
void AddColumn(Connection& connection, const TableInfo& table, const FieldDef& field);
void DropColumn(Connection& connection, const TableInfo& table, std::string_view column);
// Makes the table anew as after says (the same fields in the same order; types, sizes and
// Null rules may differ), its rows converted and keeping their rowids. Of after's indexes,
// those before had are made again; a new one is the caller's (CreateIndex).
void RebuildTable(Connection& connection, const TableInfo& before, const TableInfo& after);
void CreateIndex(Connection& connection, const TableInfo& table, const IndexDef& index);
void DropIndex(Connection& connection, const TableInfo& table, std::string_view index);
void DropTable(Connection& connection, const TableInfo& table);
void AddLink(Connection& connection, const TableInfo& link);
// Removes the catalog row of a link (the source is untouched).
void RemoveLink(Connection& connection, std::string_view name);

// A relationship: each child row's child_columns name a parent row by its parent_columns.
struct Relationship {
  std::string name;
  std::string child, parent;
  std::vector<std::string> child_columns, parent_columns;
  bool cascade_update = false;  // a parent's new key is given to its children
  bool cascade_delete = false;  // a parent's children go with it
};
// Enforces it from now on (error 3201 for a child without parent, 3200 for a parent with
// children that would go or change its key, unless that cascades) and records it in the table
// MSysKrRelationships, made with the first one.
void CreateRelationship(Connection& connection, const Relationship& relationship);
// The relationships of schema, by child and name.
std::vector<Relationship> ReadRelationships(Connection& connection, std::string_view schema);
// Drops the relationship of that name of child; false when it has none.
bool DropRelationship(Connection& connection, std::string_view child, std::string_view name);
// Drops every relationship a table takes part in (it is going).
void DropRelationshipsOf(Connection& connection, std::string_view table);

// The SQLite statement that builds an index.
std::string IndexSql(std::string_view table, const IndexDef& index);
// The SQLite name of an index of a table (index names are per table in Jet).
std::string SqliteIndexName(std::string_view table, std::string_view index);
// The default size of a type (bytes; text 255).
int32_t DefaultSize(int type);
// True for the numeric types whose storage is INTEGER.
bool IsIntegerType(int type);

}  // namespace kr::db::engine::internal

namespace kr::db::engine::internal {
// SQLite condition for a field's Jet validation rule ("" when it cannot be translated; the
// rule is then kept but not enforced). Implemented by the statement generator.
std::string ValidationRuleSql(const FieldDef& field, std::string_view rule);
// SQLite DEFAULT text for a Jet default value ("" when none or not a constant).
std::string DefaultValueSql(std::string_view jet_default, int type);
}  // namespace kr::db::engine::internal
