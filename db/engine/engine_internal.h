// The objects behind the handles of engine.h. Internal to db/engine.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/engine/catalog.h"
#include "db/engine/engine.h"
#include "db/engine/sqlite_db.h"

namespace kr::db::engine::internal {

class RecordsetImpl;

// The value of key in a connect string ";PWD=x;DataBase=y;" (keys case-insensitive).
std::optional<std::string> ConnectValue(std::string_view connect, std::string_view key);

// Password verifiers (salted PBKDF2) in the MSysKrInfo table of a schema.
bool HasPassword(Connection& connection, std::string_view schema);
bool PasswordMatches(Connection& connection, std::string_view schema, std::string_view password);
// Stores the verifier of password in main ("" removes the password).
void StorePassword(Connection& connection, std::string_view password);
// The password of an Access file in main of its image ("" none), checked by PasswordMatches.
void StoreAccessPassword(Connection& connection, std::string_view password);

class DatabaseImpl : public std::enable_shared_from_this<DatabaseImpl> {
 public:
  DatabaseImpl(std::string name, std::string native, std::string file_key, bool exclusive,
               bool read_only, std::unique_ptr<Connection> connection);
  ~DatabaseImpl();

  const std::string& name() const { return name_; }
  const std::string& native() const { return native_; }
  const std::string& file_key() const { return file_key_; }
  bool exclusive() const { return exclusive_; }
  bool read_only() const { return read_only_; }
  bool is_open() const { return connection_ != nullptr; }

  // The connection; raises 91 once closed.
  Connection& connection();
  // The catalog of main, reloaded whole when another connection changed the file or after
  // InvalidateCatalog.
  const Catalog& catalog();
  void InvalidateCatalog() { catalog_valid_ = false; }
  // After a schema change of this connection to one table of main (made, altered, dropped):
  // the catalog in memory reads that table's rows again instead of reloading every table, which
  // would cost the old-table steps of a routine more than their rows.
  void TableChanged(std::string_view name);
  // The table of that name; 3078 when missing.
  const TableInfo& Table(std::string_view name);

  // Where a linked table's rows live: the schema alias it is attached under ("main" for a link
  // into this same file) and the source table's definition there. Attaches on first use and
  // checks the source's password: 3024 when the source file has gone, 3031 for a wrong
  // password, 3078 when the source has no such table.
  struct LinkTarget {
    std::string schema;
    const TableInfo* table = nullptr;
  };
  LinkTarget ResolveLink(const TableInfo& link);
  void AttachAhead(const std::string& path);

  void RegisterRecordset(const std::shared_ptr<RecordsetImpl>& recordset);
  void Close();

  // Links are written to the catalog together with the next change of the database (or when
  // it closes), so that the attach-merge-drop cycles of the toolkit cost no commits of their
  // own. Until then they are part of catalog() of this database object only.
  void AddLink(const TableInfo& link);
  void DropLink(const TableInfo& link);
  // Runs a change of the database: inside one transaction with the pending catalog rows when
  // there are any (or when transaction is set), else as it is.
  void Write(const std::function<void()>& body, bool transaction);
  // A row change of a recordset. As Jet's implicit transactions do, row changes are committed
  // together (every kImplicitRows rows or kImplicitTime, and before any other change, attach,
  // or close) rather than one disk sync per row.
  void WriteRow(const std::function<void()>& body);
  void EndImplicitTransaction();

  // The user's transactions (BeginTrans, CommitTrans, Rollback), nested as savepoints. While
  // one is open, row changes and statements go into it, and links wait outside it; a rollback
  // takes back the links appended or dropped since its BeginTrans.
  void BeginTransaction();
  void CommitTransaction();
  void RollbackTransaction();
  bool in_transaction() const { return transaction_depth_ > 0; }
  // Disk failures under this database while open, also after it closed: its connection's and,
  // since they were attached, those other connections met on the files attached to it.
  int64_t disk_failures() const;

  int64_t records_affected = 0;
  std::vector<Database::TableChanges> change_counts;
  std::string last_statement;
  int64_t statements_run = 0;
  // Adds the counts of one statement; rows 0 adds nothing.
  void CountChanges(std::string_view table, int64_t inserted, int64_t updated, int64_t deleted);

 private:
  struct Attachment {
    std::string alias;
    std::string native;
    std::vector<std::string> passwords_ok;
    Catalog catalog;
    int64_t data_version = -1;
    uint64_t last_use = 0;
    FileFailures* failures = nullptr;  // of the file, by every connection that has it as main
    int64_t failures_at_attach = 0;
  };
  // The failure a transaction that lost a change raises: the last of those since it began.
  const Failure& LastDiskFailure() const;
  Attachment& Attach(const std::string& native, const std::string& shown_path);
  void Detach(size_t index);
  // Raises once the user's transaction has lost a change: SQLite undid it (3043), or a disk
  // failure of this connection happened since it began (that failure) even where SQLite kept
  // the rest and the caller skipped the failed step. What is left of it is undone, so that
  // nothing reaches the file piecemeal; it can only be rolled back, and its commit raises.
  void CheckTransactionAlive();

  std::string name_, native_, file_key_;
  bool exclusive_, read_only_;
  std::unique_ptr<Connection> connection_;
  Catalog catalog_;
  bool catalog_valid_ = false;
  int64_t data_version_ = -1;
  std::vector<Attachment> attachments_;
  uint64_t use_clock_ = 0;
  int next_alias_ = 1;
  std::vector<std::weak_ptr<RecordsetImpl>> recordsets_;
  std::vector<TableInfo> pending_added_;
  std::vector<std::string> pending_dropped_;
  // The pending links as each open transaction level found them.
  struct PendingLinks {
    std::vector<TableInfo> added;
    std::vector<std::string> dropped;
  };
  std::vector<PendingLinks> links_at_begin_;
  // The change counts as each open transaction level found them.
  std::vector<std::vector<Database::TableChanges>> counts_at_begin_;
  void RestoreLinks(size_t level);
  static constexpr int kImplicitRows = 1000;
  static constexpr std::chrono::milliseconds kImplicitTime{2000};
  int transaction_depth_ = 0;
  int64_t disk_failures_at_begin_ = 0;
  int64_t own_failures_at_begin_ = 0;
  int64_t detached_failures_ = 0;
  int64_t closed_disk_failures_ = 0;
  bool implicit_open_ = false;
  int implicit_rows_ = 0;
  std::chrono::steady_clock::time_point implicit_start_;
};

// A table definition: either appended (then it reads the database's catalog by name) or new
// (then it holds its own definition until Append).
class TableDefImpl : public std::enable_shared_from_this<TableDefImpl> {
 public:
  std::shared_ptr<DatabaseImpl> database;
  bool appended = false;
  TableInfo info;  // the definition of a new table; the name of an appended one

  DatabaseImpl& db() const;
  // The current definition (from the catalog when appended; 3265 when the table has gone).
  const TableInfo& Info() const;
  // Fields as seen by users: for a link, the source table's fields.
  const std::vector<FieldDef>& Fields() const;
};

// A field of a table definition, of a recordset, or a new one.
class FieldImpl {
 public:
  enum class Owner { kNew, kTable, kRecordset };
  Owner owner = Owner::kNew;
  FieldDef def;                              // kNew; for kTable the name
  std::shared_ptr<TableDefImpl> table;       // kTable
  std::shared_ptr<RecordsetImpl> recordset;  // kRecordset
  int index = 0;                             // kRecordset

  const FieldDef& Def() const;
  FieldDef& MutableDef();  // 3219 when the field belongs to a table in the database
};

// Adds the object model's own checks: 91 for a handle without an object.
[[noreturn]] void RaiseNotSet();

}  // namespace kr::db::engine::internal
