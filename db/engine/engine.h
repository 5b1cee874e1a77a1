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

#include <cstdint>
#include <string>
#include <string_view>

#include "db/engine/engine_objects.h"
#include "db/engine/engine_values.h"
#include "platform/failure.h"

namespace kr::db::engine {

// --- The engine ---------------------------------------------------------------------------------

// Opens a database. path is an updater path ("\" separators). connect: "" or ";PWD=secret;"
// (keys case-insensitive, the closing ";" optional). A database without a password accepts any
// PWD. Errors: 3024 no such file, 3031 wrong or missing password, 3343 not a database of ours or
// damaged, 3045 in use (opened exclusively here, or an exclusive open of a file open here),
// 3051 a read-only file opened for writing.
Database OpenDatabase(std::string_view path, bool exclusive = false, bool read_only = false,
                      std::string_view connect = {});

// True when the file at path was written by Access (Jet 3, Jet 4 or ACE), by its header whatever
// its name. OpenDatabase opens such a file read-only whatever it is asked (every change is 3027),
// through libmdb; a file with a database password opens only with that password (3031).
bool IsAccessFile(std::string_view path);

// Creates an empty database file (3204 when the file exists). password "" means none.
Database CreateDatabase(std::string_view path, std::string_view password = {});

// Finishes what a process that died inside a commit left of it in the file at path: the change
// it was putting in place is undone from the journal beside the file, as the next open would.
// Afterwards a copy of the file is a whole database; copying it before would copy the half
// commit without the journal that undoes it. Nothing happens when no such journal is there or
// the file is open in this process. Raises 3343 when the file is no database of ours, 3045
// when another process is using it.
void RecoverDatabaseFile(std::string_view path);

// The one way to put a text or a name into a Jet statement: 'te''xt' and [name]. The engine
// reads a statement whole, so a NUL inside a text stays in it (SQLite's literals, which end at a
// NUL, are the engine's business).
std::string QuoteJetText(std::string_view text);
std::string QuoteJetName(std::string_view name);

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
