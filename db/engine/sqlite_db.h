// A thin layer over one SQLite connection: prepared statements (cached by text), binding of
// engine values, and the mapping of SQLite errors to DAO numbers. Internal to db/engine.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "db/engine/engine.h"
#include "db/engine/sql_quote.h"

namespace kr::db::engine::internal {

// The failure for an SQLite result code on db (constraint names of our CHECKs become 3314,
// 3315, 3163, 3421, 3317, 3058; unique violations 3022; "jet:" messages of the SQL functions
// their own number). The text of the failed file operation behind it, when one of db's files
// kept one, goes into the detail.
Failure SqliteFailure(sqlite3* db, int rc, std::string_view context = {});

// True for the result codes of a disk that failed (full, I/O error, a file it would not open).
bool IsDiskFailure(int rc);

class Connection;

// Disk failures met on one database file by the connections of this process that have it as
// their database, and the last of them.
struct FileFailures {
  int64_t count = 0;
  Failure last = Failure::Runtime(kErrDeviceIo);
};

class Statement {
 public:
  Statement(Connection& owner, sqlite3_stmt* stmt) : owner_(owner), stmt_(stmt) {}
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  sqlite3_stmt* get() const { return stmt_; }
  void Reset();
  void Bind(int index, const Value& value);  // 1-based
  void BindInt(int index, int64_t value);
  void BindText(int index, std::string_view text);
  // Steps once: true with a row, false when done. Raises on error (and resets).
  bool Step();
  int ColumnCount() const { return sqlite3_column_count(stmt_); }
  int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  double Real(int column) const { return sqlite3_column_double(stmt_, column); }
  std::string Text(int column) const;
  bool IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  // The column as a value of a DAO field type (0: by its storage class).
  Value Get(int column, int field_type) const;

 private:
  Connection& owner_;
  sqlite3_stmt* stmt_;
};

class Connection {
 public:
  // Opens an existing file (never creates unless create is set). Raises 3343 when SQLite
  // refuses the file.
  Connection(const std::string& native_path, bool read_only, bool create);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  sqlite3* handle() const { return db_; }
  // Runs one or more statements without results.
  void Exec(std::string_view sql);
  // A prepared statement from the cache (reset, bindings cleared). The reference stays valid
  // until ClearCache() or the statement is evicted by later Prepare calls: hold it briefly.
  Statement& Prepare(std::string_view sql);
  // A statement owned by the caller (for cursors that stay open).
  std::unique_ptr<Statement> PrepareOwned(std::string_view sql);
  // Drops every cached statement (after ATTACH/DETACH and schema changes).
  void ClearCache();
  int64_t Changes() const { return sqlite3_changes64(db_); }
  // The page cache: larger (48 MB) while statements change many rows, modest (16 MB) while
  // recordsets read; both bounded, whatever the file's size, and within LimitCache's limit.
  void SetLargeCache(bool large);
  // At most kib kilobytes of page cache from now on (0: the sizes above).
  void LimitCache(int kib);
  // The data version of main (PRAGMA data_version): changes when another connection commits.
  int64_t DataVersion();
  // True when no connection can have committed to main since the last DataVersion(), found
  // without the lock cycle that asking SQLite costs; false when in doubt.
  bool UnchangedSinceDataVersion();

  // The failure for rc on this connection; a disk failure is counted against it.
  Failure Fail(int rc, std::string_view context);
  // Disk failures under this connection (its file, its journal, the files attached to it), and
  // the last of them: a transaction during which one happened has lost a change, whatever its
  // caller did with the error.
  int64_t disk_failures() const { return disk_failures_; }
  const Failure& last_disk_failure() const { return last_disk_failure_; }
  // Counts them also against file (which outlives the connection), so that the databases that
  // have this one's file attached learn of them.
  void ShareFailures(FileFailures* file) { file_failures_ = file; }

  // Set while an action statement runs without fail-on-error: a relationship's trigger then
  // skips the row it refuses instead of failing the statement (SQL function kr_skipping()).
  bool skipping_rows = false;

 private:
  sqlite3* db_ = nullptr;
  FileFailures* file_failures_ = nullptr;
  int64_t disk_failures_ = 0;
  Failure last_disk_failure_ = Failure::Runtime(kErrDeviceIo);
  int large_cache_ = -1;  // unknown
  int cache_limit_kib_ = 0;
  // What main looked like at the last DataVersion(): its header's change counter just before,
  // and the pager's own count of changes (commits here, and changes found elsewhere) just after.
  std::optional<uint32_t> checked_counter_;
  std::optional<unsigned> checked_pager_version_;
  std::list<std::pair<std::string, std::unique_ptr<Statement>>> lru_;
  std::unordered_map<std::string, decltype(lru_)::iterator> cache_;
};

// Runs body inside a transaction, undone when body raises. Inside a transaction already (the
// user's BeginTrans), body runs in a savepoint of it.
template <class F>
void InTransaction(Connection& c, F&& body) {
  const bool nested = sqlite3_get_autocommit(c.handle()) == 0;
  c.Exec(nested ? "SAVEPOINT kr_write" : "BEGIN");
  try {
    body();
    c.Exec(nested ? "RELEASE kr_write" : "COMMIT");
  } catch (...) {
    try {
      c.Exec(nested ? "ROLLBACK TO kr_write; RELEASE kr_write" : "ROLLBACK");
    } catch (...) {
    }
    throw;
  }
}

}  // namespace kr::db::engine::internal
