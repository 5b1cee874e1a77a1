// The database engine: a DAO-like object model over SQLite that speaks the Jet SQL dialect.
//
// One SQLite file stands for one Access database file (whatever its extension). The engine keeps
// the DAO properties SQLite cannot hold (field types, sizes, Required, AllowZeroLength, default
// values, validation rules, index names, attached tables, the password verifier) in catalog
// tables of its own, listed by TableDefs as system tables whose names begin with "MSys".
//
// Handles. Database, TableDef, Field and Recordset are cheap handles onto shared objects; copies
// refer to the same object. A default-constructed handle, or one whose object was closed, fails
// every operation with kr::Failure 91 (object variable not set), so that in step-and-continue
// code a step that depends on a failed open fails in turn (Database::Close() included: a failed
// open is reported through the close that follows it). A database stays open until Close() or
// until its last handle (recordsets and table definitions included) is released; closing an
// object that was open twice is harmless.
//
// Failures. Every operation raises kr::Failure with the DAO error number and the Japanese
// description Jet shows (3024 file not found, 3031 not a valid password, 3078 table not found,
// 3061 too few parameters, 3022 duplicate value, 3021 no current record, 3265 item not found,
// ...). Nothing is logged or shown here; callers choose the regime.
//
// Durability. Every Execute commits on its own (SQLite's rollback journal, full syncs) unless
// it runs inside BeginTrans ... CommitTrans, which commits its changes together. Row
// changes made through recordsets are committed together, as Jet's implicit transactions are:
// every 1000 rows or 2 seconds, and before any Execute, schema change, attach or close of the
// database, and before another handle opens the same file. An attached table's catalog row is
// written with the next change of the database or when it closes (a link appended and dropped
// in between costs no disk sync at all).
//
// Jet semantics chosen here: a database without a password opens with any PWD; text fields made
// by DDL allow zero-length strings (CreateField's default does not); an unnamed PRIMARY KEY is the
// index "PrimaryKey"; a unique key shifted by an UPDATE (SET k=k+1) is checked once the statement
// is through; a Yes/No field is never Null (left out of a new row, or given Null, it is False);
// a field with a default added to a table with rows leaves those rows Null (a Yes/No one False).
//
// Threads: one thread at a time. The engine object is process-wide and created on first use.
#pragma once

#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/failure.h"

namespace kr::db::engine {

// --- DAO constants ------------------------------------------------------------------------------

// Field.Type codes.
enum FieldType : int {
  kBoolean = 1,
  kByte = 2,
  kInteger = 3,
  kLong = 4,
  kCurrency = 5,
  kSingle = 6,
  kDouble = 7,
  kDate = 8,
  kBinary = 9,
  kText = 10,
  kLongBinary = 11,
  kMemo = 12,
};

// OpenRecordset types (0 lets the engine choose as DAO does: a local table name opens the table
// itself, a linked table or a statement opens a dynaset).
enum RecordsetType : int {
  kOpenDefault = 0,
  kOpenTable = 1,
  kOpenDynaset = 2,
  kOpenSnapshot = 4,
  kOpenForwardOnly = 8,
};

// Options of Execute and OpenRecordset (bit flags, DAO values).
enum Option : int {
  kDenyWrite = 1,
  kReadOnly = 4,
  kAppendOnly = 8,
  kFailOnError = 128,  // Execute: raise on the first row that cannot change, undo the statement
  kSeeChanges = 512,
};

// TableDef.Attributes bits.
constexpr int32_t kSystemObject = static_cast<int32_t>(0x80000002u);
constexpr int32_t kAttachedTable = 0x40000000;
// Field.Attributes bits.
constexpr int32_t kFixedField = 1;
constexpr int32_t kVariableField = 2;
constexpr int32_t kAutoIncrField = 16;
constexpr int32_t kUpdatableField = 32;

// --- Values -------------------------------------------------------------------------------------

// A variant as DAO hands it out: Null or one typed value.
class Value {
 public:
  enum class Kind : uint8_t {
    kNull,
    kBoolean,
    kByte,
    kInteger,   // 16-bit
    kLong,      // 32-bit
    kCurrency,  // 64-bit integer scaled by 10,000
    kSingle,
    kDouble,
    kDate,  // OLE automation date: days since 1899-12-30, time as the fraction
    kText,
    kBinary,
  };

  Value() = default;  // Null
  Value(bool b) : kind_(Kind::kBoolean), int_(b ? -1 : 0) {}
  Value(int number) : kind_(Kind::kLong), int_(number) {}
  // Wider integers: a Long when they fit, else a Double (Jet has no 64-bit integer type).
  Value(long number) { SetWide(number); }
  Value(long long number) { SetWide(number); }
  Value(unsigned number) { SetWide(number); }
  Value(unsigned long number) { SetWide(static_cast<long long>(number)); }
  Value(unsigned long long number) { SetWide(static_cast<long long>(number)); }
  Value(double number) : kind_(Kind::kDouble), real_(number) {}
  Value(const char* text) : kind_(Kind::kText), text_(text) {}
  Value(std::string text) : kind_(Kind::kText), text_(std::move(text)) {}
  Value(std::string_view text) : kind_(Kind::kText), text_(text) {}

  static Value Null() { return Value(); }
  static Value Boolean(bool b) { return Value(b); }
  static Value Byte(uint8_t number);
  static Value Integer(int16_t number);
  static Value Long(int32_t number);
  static Value Currency(int64_t scaled);   // scaled by 10,000
  static Value CurrencyOf(double number);  // rounded half-even to four decimals
  static Value Single(float number);
  static Value Double(double number);
  static Value Date(double ole_days);
  static Value DateOf(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
  static Value Text(std::string text);
  static Value Binary(std::string bytes);

  Kind kind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::kNull; }
  // The DAO type code a field of this value's kind has (kText for Null).
  int FieldTypeCode() const;
  // True for numbers, Booleans, dates and texts that read as a number ("12.5", " 2009 ").
  bool IsNumeric() const;

  // Conversions as the language run-time makes them (CBool, CLng, CCur, CDbl, CDate, CStr).
  // Null raises 94 (invalid use of Null); a text that is not a number or date raises 13
  // (type mismatch); out of range raises 6 (overflow). Texts read "." as the decimal point.
  bool ToBoolean() const;
  int32_t ToLong() const;      // rounds half to even
  int64_t ToCurrency() const;  // scaled by 10,000, rounded half to even
  double ToDouble() const;
  double ToDate() const;       // OLE days
  std::string ToText() const;  // CStr: "True"/"False", 15 significant digits, yyyy/mm/dd

  // Raw parts, for formatting: the integer of Boolean/Byte/Integer/Long/Currency (scaled), the
  // number of Single/Double/Date, the bytes of Text/Binary.
  int64_t integer() const { return int_; }
  double real() const { return real_; }
  const std::string& text() const { return text_; }

  // Same kind and same content.
  bool operator==(const Value& other) const;

 private:
  static Value Of(Kind kind, int64_t number) {
    Value v;
    v.kind_ = kind;
    v.int_ = number;
    return v;
  }
  static Value Of(Kind kind, double number) {
    Value v;
    v.kind_ = kind;
    v.real_ = number;
    return v;
  }
  void SetWide(long long number) {
    if (number >= INT32_MIN && number <= INT32_MAX) {
      kind_ = Kind::kLong;
      int_ = number;
    } else {
      kind_ = Kind::kDouble;
      real_ = static_cast<double>(number);
    }
  }

  Kind kind_ = Kind::kNull;
  int64_t int_ = 0;
  double real_ = 0;
  std::string text_;
};

// Calendar parts of an OLE date (seconds rounded), and back.
struct DateTime {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};
DateTime SplitDate(double ole_days);
double MakeDate(const DateTime& parts);

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

  class Iterator {
   public:
    Iterator(const FieldCollection* owner, int index) : owner_(owner), index_(index) {}
    Field operator*() const { return owner_->Item(index_); }
    Iterator& operator++() {
      ++index_;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return index_ != other.index_; }

   private:
    const FieldCollection* owner_;
    int index_;
  };
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

  class Iterator {
   public:
    Iterator(const TableDefCollection* owner, int index) : owner_(owner), index_(index) {}
    TableDef operator*() const { return owner_->Item(index_); }
    Iterator& operator++() {
      ++index_;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return index_ != other.index_; }

   private:
    const TableDefCollection* owner_;
    int index_;
  };
  Iterator begin() const { return Iterator(this, 0); }
  Iterator end() const { return Iterator(this, Count()); }

  explicit TableDefCollection(std::shared_ptr<internal::DatabaseImpl> database);

 private:
  std::shared_ptr<internal::DatabaseImpl> database_;
};

// --- Recordsets ---------------------------------------------------------------------------------

// Rows of a table or a statement. Table and dynaset recordsets hold the row ids of their rows
// (a keyset) and read each row when it becomes current; snapshots of joins or aggregates stream
// through a forward cursor. RecordCount has DAO's meaning: a table recordset knows its rows at
// once, the others count the rows reached so far (1 right after opening when not empty; all of
// them after MoveLast).
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
  // The SQLite statements a Jet statement becomes, for diagnostics; nothing runs. A SELECT gives
  // what its recordset runs (keyed: the keyset, then the statement that reads one row); INSERT,
  // UPDATE and DELETE the statement Execute runs. Definition statements and SELECT ... INTO
  // change the schema in several steps and give none. Raises the statement's own errors.
  std::vector<std::string> Explain(std::string_view sql) const;

  // A table name or a SELECT statement. type kOpenDefault chooses as DAO does.
  Recordset OpenRecordset(std::string_view source, int type = kOpenDefault, int options = 0);

  TableDefCollection TableDefs() const;
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
  // 3246 (SQLite attaches files only outside transactions); links appended or deleted are no
  // part of it. Close() rolls back what is not committed. Recordsets open across a Rollback
  // may hold rows that are gone (3167).
  void BeginTrans();
  void CommitTrans();
  void Rollback();
  // Attaches the database file at path now, so that tables linked to it can be used inside a
  // transaction begun later. 3024 when the file is missing; 3246 inside a transaction, unless
  // the file is attached already.
  void AttachAhead(std::string_view path);

  // Closes the database and every recordset on it. Harmless when already closed; 91 on a
  // handle that never held a database (its open failed).
  void Close();
  bool IsOpen() const;

  // The damage found in the file (pages, indexes, records), empty when it is sound. Reads only.
  std::vector<std::string> CheckFile();

  explicit Database(std::shared_ptr<internal::DatabaseImpl> impl) : impl_(std::move(impl)) {}
  const std::shared_ptr<internal::DatabaseImpl>& impl() const { return impl_; }

 private:
  std::shared_ptr<internal::DatabaseImpl> impl_;
};

// --- The engine ---------------------------------------------------------------------------------

// Opens a database. path is an updater path ("\" separators). connect: "" or ";PWD=secret;"
// (keys case-insensitive, the closing ";" optional). A database without a password accepts any
// PWD. Errors: 3024 no such file, 3031 wrong or missing password, 3343 not a database of ours or
// damaged, 3045 in use (opened exclusively here, or an exclusive open of a file open here),
// 3051 a read-only file opened for writing.
Database OpenDatabase(std::string_view path, bool exclusive = false, bool read_only = false,
                      std::string_view connect = {});

// Creates an empty database file (3204 when the file exists). password "" means none.
Database CreateDatabase(std::string_view path, std::string_view password = {});

// Finishes what a process that died inside a commit left of it in the file at path: the change
// it was putting in place is undone from the journal beside the file, as the next open would.
// Afterwards a copy of the file is a whole database; copying it before would copy the half
// commit without the journal that undoes it. Nothing happens when no such journal is there or
// the file is open in this process. Raises 3343 when the file is no database of ours, 3045
// when another process is using it.
void RecoverDatabaseFile(std::string_view path);

// How many times, in this process, a disk failed under the engine (full, I/O error, a file it
// would not open), whatever its caller did with the error. A caller that reads it before work
// and again after learns whether the work met a failing disk, even where a failure was skipped.
int64_t DiskFailures();

// True when sql is a SELECT that gives rows, to open as a recordset; false for the statements
// Execute runs, make-table SELECT ... INTO among them. Raises the statement's syntax error.
bool ReturnsRows(std::string_view sql);

// The process-wide engine object; OpenDatabase and CreateDatabase above go through it.
class DBEngine {
 public:
  static DBEngine& Instance();  // created on first use
  Database OpenDatabase(std::string_view path, bool exclusive = false, bool read_only = false,
                        std::string_view connect = {});
  Database CreateDatabase(std::string_view path, std::string_view password = {});
  // Number of databases this process has open (for tests and diagnostics).
  int OpenCount() const;

  DBEngine(const DBEngine&) = delete;
  DBEngine& operator=(const DBEngine&) = delete;

 private:
  DBEngine() = default;
};

}  // namespace kr::db::engine
