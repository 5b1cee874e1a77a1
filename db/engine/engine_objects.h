// Part of the engine's public interface (include "db/engine/engine.h"): the DAO objects, as
// handles onto the engine's objects (fields, table definitions, recordsets, databases).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/engine/engine_values.h"

namespace kr::db::engine {

// Walks a collection by position (for range-for): Item(0) .. Item(Count() - 1).
template <class Collection, class Item>
class ItemIterator {
 public:
  ItemIterator(const Collection* owner, int index) : owner_(owner), index_(index) {}
  Item operator*() const { return owner_->Item(index_); }
  ItemIterator& operator++() {
    ++index_;
    return *this;
  }
  bool operator!=(const ItemIterator& other) const { return index_ != other.index_; }

 private:
  const Collection* owner_;
  int index_;
};

namespace internal {
class DatabaseImpl;
class TableDefImpl;
class FieldImpl;
class RecordsetImpl;
}  // namespace internal

// --- Fields -------------------------------------------------------------------------------------

// A field of a table definition (its properties), of a recordset (its properties and the value
// in the current row), or a new one from CreateField (not yet appended). Properties of a field
// that belongs to a table can be read; changing them after the append raises 3219, except on a
// new field of a new table definition.
class Field {
 public:
  Field() = default;

  std::string Name() const;
  int Type() const;
  int32_t Size() const;  // characters for text, bytes for numbers
  int32_t Attributes() const;
  bool Required() const;
  bool AllowZeroLength() const;
  std::string DefaultValue() const;    // a Jet expression text, "" when none
  std::string ValidationRule() const;  // a Jet expression text, "" when none
  // For a recordset field: the name of the table and column it comes from ("" for an
  // expression). Others give their table's name and their own.
  std::string SourceTable() const;
  std::string SourceField() const;

  void SetName(std::string_view name);
  void SetType(int type);
  void SetSize(int32_t size);
  void SetAttributes(int32_t attributes);
  void SetRequired(bool required);
  void SetAllowZeroLength(bool allow);
  void SetDefaultValue(std::string_view expression);
  void SetValidationRule(std::string_view expression);

  // Recordset fields only: the value in the current row (3021 without one); writing needs
  // Edit or AddNew first (3020) and converts to the field's type (3421 when it cannot).
  Value GetValue() const;
  void SetValue(const Value& value);

  explicit Field(std::shared_ptr<internal::FieldImpl> impl) : impl_(std::move(impl)) {}
  const std::shared_ptr<internal::FieldImpl>& impl() const { return impl_; }

 private:
  std::shared_ptr<internal::FieldImpl> impl_;
};

// The Fields collection of a table definition or recordset, in column order.
class FieldCollection {
 public:
  FieldCollection() = default;
  int Count() const;
  Field Item(int index) const;              // 3265 when out of range
  Field Item(std::string_view name) const;  // case-insensitive; 3265 when missing
  Field operator[](int index) const { return Item(index); }
  Field operator[](std::string_view name) const { return Item(name); }
  Field operator[](const char* name) const { return Item(std::string_view(name)); }
  // Adds a field made by CreateField. On a table already in the database this adds the column
  // (3191 when a field of that name exists). Recordset fields cannot be appended (3219).
  void Append(const Field& field);
  void Refresh();

  using Iterator = ItemIterator<FieldCollection, Field>;
  Iterator begin() const { return Iterator(this, 0); }
  Iterator end() const { return Iterator(this, Count()); }

  // Internal: the owner is a table definition or a recordset.
  explicit FieldCollection(std::shared_ptr<internal::TableDefImpl> table);
  explicit FieldCollection(std::shared_ptr<internal::RecordsetImpl> recordset);

 private:
  std::shared_ptr<internal::TableDefImpl> table_;
  std::shared_ptr<internal::RecordsetImpl> recordset_;
};

// --- Table definitions --------------------------------------------------------------------------

// An index of a table, as DAO's Index object describes it.
struct IndexInfo {
  std::string name;
  std::vector<std::pair<std::string, bool>> fields;  // field name, descending
  bool primary = false;
  bool unique = false;
  bool ignore_nulls = false;
  bool required = false;
};

// A relationship, as DAO's Relation describes it: each row of foreign_table names a row of table
// by the pairs of fields (field of table, field of foreign_table).
struct RelationInfo {
  std::string name;
  std::string table;          // the parent
  std::string foreign_table;  // the child
  std::vector<std::pair<std::string, std::string>> fields;
  int32_t attributes = 0;  // kRelationUpdateCascade, kRelationDeleteCascade
};

// A table of the database (local, attached or system), or a new definition from CreateTableDef.
// An attached table is a definition with Connect ";DataBase=<path>;PWD=<password>;" and
// SourceTableName; it is checked and opened when a statement or recordset uses it, so a link
// whose source has gone is listed but fails with 3024 when used.
class TableDef {
 public:
  TableDef() = default;

  std::string Name() const;
  std::string Connect() const;
  std::string SourceTableName() const;
  int32_t Attributes() const;  // kSystemObject, kAttachedTable
  // Rows of a local table (-1 for an attached one, as DAO gives).
  int64_t RecordCount() const;
  FieldCollection Fields() const;
  // The indexes of a local table, primary key first, then by name (none for a link).
  std::vector<IndexInfo> Indexes() const;
  // A new field, to be appended to Fields(). type 0 leaves it to SetType; size 0 takes the
  // type's default (text 50 characters, as DAO gives; Jet DDL's bare TEXT is 255).
  Field CreateField(std::string_view name = {}, int type = 0, int32_t size = 0) const;

  void SetName(std::string_view name);  // only before the append (3219 afterwards)
  void SetConnect(std::string_view connect);
  void SetSourceTableName(std::string_view name);

  explicit TableDef(std::shared_ptr<internal::TableDefImpl> impl) : impl_(std::move(impl)) {}
  const std::shared_ptr<internal::TableDefImpl>& impl() const { return impl_; }

 private:
  std::shared_ptr<internal::TableDefImpl> impl_;
};

// The TableDefs collection: local, attached and system tables, ordered by name.
class TableDefCollection {
 public:
  TableDefCollection() = default;
  void Refresh();
  int Count() const;
  TableDef Item(int index) const;              // 3265 when out of range
  TableDef Item(std::string_view name) const;  // case-insensitive; 3265 when missing
  TableDef Find(std::string_view name) const;  // case-insensitive; an empty handle when missing
  TableDef operator[](int index) const { return Item(index); }
  TableDef operator[](std::string_view name) const { return Item(name); }
  TableDef operator[](const char* name) const { return Item(std::string_view(name)); }
  // Creates the table (or the link) of a definition from CreateTableDef. 3010 when a table of
  // that name exists; 3264 when a local definition has no field.
  void Append(const TableDef& table);
  // Drops a table; for an attached table only the link goes.
  void Delete(std::string_view name);

  using Iterator = ItemIterator<TableDefCollection, TableDef>;
  Iterator begin() const { return Iterator(this, 0); }
  Iterator end() const { return Iterator(this, Count()); }

  explicit TableDefCollection(std::shared_ptr<internal::DatabaseImpl> database);

 private:
  std::shared_ptr<internal::DatabaseImpl> database_;
};

// --- Recordsets ---------------------------------------------------------------------------------

// Rows of a table or a statement. Table and dynaset recordsets hold the row ids of their rows
// (a keyset) and read each row when it becomes current; snapshots of joins or aggregates, and
// every forward-only recordset of a statement, stream through a forward cursor (memory that does
// not grow with the rows: what a merge of two ordered reads needs). RecordCount has DAO's meaning:
// a table recordset knows its rows at once, the others count the rows reached so far (1 right after
// opening when not empty; all of them after MoveLast).
class Recordset {
 public:
  Recordset() = default;

  int Type() const;  // kOpenTable, kOpenDynaset, kOpenSnapshot, kOpenForwardOnly
  bool Eof() const;
  bool Bof() const;
  void MoveFirst();  // 3021 on an empty recordset
  void MoveLast();
  void MoveNext();  // 3021 when already at the end
  void MovePrevious();
  int64_t RecordCount() const;
  FieldCollection Fields() const;
  // Field of the current row by name (rs!Name): same as Fields()[name].
  Field operator[](std::string_view name) const;
  Field operator[](const char* name) const { return (*this)[std::string_view(name)]; }
  Field operator[](int index) const;

  // Editing: Edit puts the current row in edit mode, AddNew a new row; Update saves it with the
  // conversions and constraints of the table (3022 duplicate key, 3314 required, 3315 zero-length,
  // 3163 too long, 3317 validation rule), CancelUpdate drops it. Delete removes the current row.
  // Recordsets on joins, aggregates and snapshots are read-only (3027).
  void Edit();
  void AddNew();
  void Update();
  void CancelUpdate();
  void Delete();
  int EditMode() const;  // 0 none, 1 editing, 2 adding

  // FindFirst/FindNext/FindLast/FindPrevious with a Jet condition on the recordset's fields.
  // The current row moves to the match; without one NoMatch() is true and the current row is
  // unchanged (DAO leaves it undefined).
  void FindFirst(std::string_view criteria);
  void FindNext(std::string_view criteria);
  void FindLast(std::string_view criteria);
  void FindPrevious(std::string_view criteria);
  bool NoMatch() const;

  // Table recordsets: the current index ("PrimaryKey" or another index name, case-insensitive;
  // 3800 when missing) and Seek with "=", ">=", ">", "<=", "<" on its key columns.
  std::string Index() const;
  void SetIndex(std::string_view name);
  void Seek(std::string_view comparison, const std::vector<Value>& keys);

  void Close();

  explicit Recordset(std::shared_ptr<internal::RecordsetImpl> impl) : impl_(std::move(impl)) {}
  const std::shared_ptr<internal::RecordsetImpl>& impl() const { return impl_; }

 private:
  std::shared_ptr<internal::RecordsetImpl> impl_;
};

// --- Databases ----------------------------------------------------------------------------------

class Database {
 public:
  Database() = default;

  // The path the database was opened with, exactly as given.
  std::string Name() const;
  bool Exclusive() const;
  bool ReadOnly() const;

  // Runs one Jet SQL action statement (INSERT, UPDATE, DELETE, SELECT ... INTO, CREATE TABLE,
  // CREATE INDEX, ALTER TABLE, DROP TABLE, DROP INDEX). Without kFailOnError a row that breaks
  // a key, a required field, a zero-length rule, a field size, a validation rule or a type
  // conversion is skipped and the statement goes on; with it the statement raises and changes
  // nothing. Syntax errors (3075, 3134, 3144, ...), missing tables (3078) and unknown names
  // (3061) raise in both cases.
  void Execute(std::string_view sql, int options = 0);
  // Rows changed by the last Execute.
  int64_t RecordsAffected() const;
  // The rows each table gained, changed and lost by Execute (the statements' own counts) since
  // the database was opened, tables in the order first changed. Work a Rollback undid is taken
  // off again; recordset edits and definition statements are not counted.
  struct TableChanges {
    std::string table;  // as the first statement that changed it named it
    int64_t inserted = 0, updated = 0, deleted = 0;
  };
  std::vector<TableChanges> ChangeCounts() const;
  // The statement the last Execute ran or failed on ("" before any), and how many Execute has
  // run: a caller that noted the count can tell whether a failure came after a statement.
  std::string LastStatement() const;
  int64_t StatementsRun() const;
  // The SQLite statements a Jet statement becomes, for diagnostics; nothing runs. A SELECT gives
  // what its recordset runs (keyed: the keyset, then the statement that reads one row); INSERT,
  // UPDATE and DELETE the statement Execute runs. Definition statements and SELECT ... INTO
  // change the schema in several steps and give none. Raises the statement's own errors.
  std::vector<std::string> Explain(std::string_view sql) const;

  // A table name or a SELECT statement. type kOpenDefault chooses as DAO does.
  Recordset OpenRecordset(std::string_view source, int type = kOpenDefault, int options = 0);

  TableDefCollection TableDefs() const;
  // The relationships between the tables of this file, by foreign table and name.
  std::vector<RelationInfo> Relations() const;
  // A new table definition, not yet appended.
  TableDef CreateTableDef(std::string_view name = {}, int32_t attributes = 0,
                          std::string_view source_table = {}, std::string_view connect = {});

  // Changes the database password (needs an exclusive open; 3031 when old is wrong, 3621 on a
  // shared open). An empty new password removes it.
  void NewPassword(std::string_view old_password, std::string_view new_password);

  // Transactions, as DAO's BeginTrans, CommitTrans and Rollback (on its Workspace there): the
  // changes made through this database between BeginTrans and CommitTrans (statements, schema
  // changes, recordset edits) reach the file together with one disk sync, or not at all after
  // Rollback. They nest. CommitTrans or Rollback without BeginTrans raises 3034. Inside one,
  // using an attached table whose source this database has not used since it opened raises
  // 3246 (SQLite attaches files only outside transactions); links appended or deleted wait
  // until the outermost one is committed, and go with a rollback. Close() rolls back what is not
  // committed. Recordsets open across a Rollback
  // may hold rows that are gone (3167).
  void BeginTrans();
  void CommitTrans();
  void Rollback();
  // Attaches the database file at path now, so that tables linked to it can be used inside a
  // transaction begun later. 3024 when the file is missing; 3246 inside a transaction, unless
  // the file is attached already.
  void AttachAhead(std::string_view path);
  // Whether a BeginTrans of this database is open.
  bool InTransaction() const;
  // Keeps the page cache within kib kilobytes (0: the engine's own sizes, up to 48 MB while a
  // statement changes rows), for a bulk copy whose memory must not grow with the data.
  void LimitCache(int kib);

  // Closes the database and every recordset on it. Harmless when already closed; 91 on a
  // handle that never held a database (its open failed).
  void Close();
  bool IsOpen() const;
  // How many times a disk failed under this database (full, I/O error, a file it would not
  // open: its file, its journal, the files attached to it), whatever its caller did with the
  // error; kept after Close, 0 for a handle that never held a database. A caller that reads it
  // before work and again after learns whether the work met a failing disk, even where a
  // failure was skipped. Other databases' failures do not count.
  int64_t DiskFailures() const;

  // The damage found in the file (pages, indexes, records), empty when it is sound. Reads only.
  std::vector<std::string> CheckFile();

  explicit Database(std::shared_ptr<internal::DatabaseImpl> impl) : impl_(std::move(impl)) {}
  const std::shared_ptr<internal::DatabaseImpl>& impl() const { return impl_; }

 private:
  std::shared_ptr<internal::DatabaseImpl> impl_;
};

}  // namespace kr::db::engine
