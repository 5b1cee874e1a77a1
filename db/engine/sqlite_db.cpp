#include "db/engine/sqlite_db.h"

#include <algorithm>

#include "db/engine/dao_errors.h"
#include "db/engine/vfs.h"

namespace kr::db::engine::internal {

namespace {

constexpr size_t kCacheSize = 48;

// Our CHECK constraints are named "kr_<rule>:<column>".
Failure ConstraintFailure(std::string_view message) {
  size_t at = message.find("kr_");
  if (at == std::string_view::npos) return DaoFailure(kDaoValidationRule, "", message);
  std::string_view rest = message.substr(at + 3);
  size_t colon = rest.find(':');
  std::string_view rule = rest.substr(0, colon);
  std::string column(colon == std::string_view::npos ? "" : rest.substr(colon + 1));
  if (rule == "req") return DaoFailure(kDaoFieldRequired, column);
  if (rule == "pk") return DaoFailure(kDaoNullInIndex);
  if (rule == "zls") return DaoFailure(kDaoZeroLengthNotAllowed, column);
  if (rule == "size") return DaoFailure(kDaoFieldTooSmall);
  if (rule == "rule") return DaoFailure(kDaoValidationRuleField, "", column);
  return DaoFailure(kDaoConversionError, column);
}

}  // namespace

Failure SqliteFailure(sqlite3* db, int rc, std::string_view context) {
  std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  std::string detail = message;
  std::string file_error = db != nullptr ? TakeFileError(db) : std::string();
  if (!file_error.empty()) detail += " (" + file_error + ")";
  if (!context.empty()) detail += " in: " + std::string(context);
  switch (rc) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
      return DaoFailure(kDaoDuplicateValue, {}, {}, detail);
    case SQLITE_CONSTRAINT_NOTNULL: {
      // The code names no field: "NOT NULL constraint failed: Table.Field" does, as 3314 does.
      const size_t colon = message.rfind(": ");
      return DaoFailure(kDaoFieldRequired,
                        colon == std::string::npos ? "" : message.substr(colon + 2), {}, detail);
    }
    case SQLITE_CONSTRAINT_CHECK:
      // Which of our CHECKs failed is in its name, which only the message holds.
      return ConstraintFailure(message);
    case SQLITE_CONSTRAINT_TRIGGER:
      // A relationship's trigger raises the Jet error itself.
      if (std::optional<Failure> jet = FailureFromSqliteMessage(message)) return *jet;
      break;
    case SQLITE_IOERR_NOMEM:
      return Failure::Runtime(kErrOutOfMemory, detail);
    default:
      break;
  }
  switch (rc & 0xff) {
    case SQLITE_CONSTRAINT:
      return DaoFailure(kDaoDuplicateValue, {}, {}, detail);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return DaoFailure(kDaoTableLocked, "", {}, detail);
    case SQLITE_FULL:
      return DaoFailure(kDaoDiskFull, {}, {}, detail);
    case SQLITE_IOERR:
      return DaoFailure(kDaoDiskOrNetworkError, {}, {}, detail);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return DaoFailure(kDaoUnrecognizedFormat, "", {}, detail);
    case SQLITE_READONLY:
      return DaoFailure(kDaoReadOnly, {}, {}, detail);
    case SQLITE_CANTOPEN:
      return DaoFailure(kDaoCannotOpenFile, "", {}, detail);
    case SQLITE_NOMEM:
      return Failure::Runtime(kErrOutOfMemory, detail);
    case SQLITE_TOOBIG:
      return DaoFailure(kDaoFieldTooSmall, {}, {}, detail);
    case SQLITE_MISMATCH:
      return DaoFailure(kDaoConversionError, {}, {}, detail);
    default:
      break;
  }
  // SQLite gives plain SQLITE_ERROR, no code of their own, for the errors of our SQL functions
  // ("jet:" texts), for its limits on a statement's shape and for a table that is not there:
  // only the message tells them apart.
  if ((rc & 0xff) == SQLITE_ERROR) {
    if (auto jet = FailureFromSqliteMessage(message)) return *jet;
    if (message.find("no such table") != std::string::npos)
      return DaoFailure(kDaoInputTableNotFound, message.substr(message.rfind(' ') + 1), {}, detail);
  }
  return DaoFailure(kDaoReservedError, std::to_string(rc), {}, detail);
}

bool IsDiskFailure(int rc) {
  if (rc == SQLITE_IOERR_NOMEM) return false;
  const int primary = rc & 0xff;
  return primary == SQLITE_FULL || primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN;
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

void Statement::Bind(int index, const Value& value) {
  using K = Value::Kind;
  switch (value.kind()) {
    case K::kNull:
      sqlite3_bind_null(stmt_, index);
      break;
    case K::kBoolean:
    case K::kByte:
    case K::kInteger:
    case K::kLong:
      sqlite3_bind_int64(stmt_, index, value.integer());
      break;
    case K::kCurrency:  // as a Currency column holds it
      sqlite3_bind_int64(stmt_, index, value.integer());
      break;
    case K::kSingle:
    case K::kDouble:
    case K::kDate:
      sqlite3_bind_double(stmt_, index, value.real());
      break;
    case K::kText:
      sqlite3_bind_text(stmt_, index, value.text().data(), static_cast<int>(value.text().size()),
                        SQLITE_TRANSIENT);
      break;
    case K::kBinary:
      sqlite3_bind_blob(stmt_, index, value.text().data(), static_cast<int>(value.text().size()),
                        SQLITE_TRANSIENT);
      break;
  }
}

void Statement::BindInt(int index, int64_t value) { sqlite3_bind_int64(stmt_, index, value); }

void Statement::BindText(int index, std::string_view text) {
  sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

bool Statement::Step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  Failure failure = owner_.Fail(sqlite3_extended_errcode(owner_.handle()), sqlite3_sql(stmt_));
  sqlite3_reset(stmt_);
  throw failure;
}

std::string Statement::Text(int column) const {
  const unsigned char* p = sqlite3_column_text(stmt_, column);
  if (p == nullptr) return {};
  return std::string(reinterpret_cast<const char*>(p),
                     static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

Value Statement::Get(int column, int field_type) const {
  int storage = sqlite3_column_type(stmt_, column);
  if (storage == SQLITE_NULL) return Value();
  switch (field_type) {
    case kBoolean:
      return Value::Boolean(sqlite3_column_int64(stmt_, column) != 0);
    case kByte:
      return Value::Byte(static_cast<uint8_t>(sqlite3_column_int64(stmt_, column)));
    case kInteger:
      return Value::Integer(static_cast<int16_t>(sqlite3_column_int64(stmt_, column)));
    case kLong:
      return Value::Long(static_cast<int32_t>(sqlite3_column_int64(stmt_, column)));
    case kCurrency:
      // A column holds ten-thousandths; an expression (or an older build's column) gives units.
      if (storage == SQLITE_INTEGER) return Value::Currency(sqlite3_column_int64(stmt_, column));
      return Value::CurrencyOf(sqlite3_column_double(stmt_, column));
    case kSingle:
      return Value::Single(static_cast<float>(sqlite3_column_double(stmt_, column)));
    case kDouble:
      return Value::Double(sqlite3_column_double(stmt_, column));
    case kDate:
      return Value::Date(sqlite3_column_double(stmt_, column));
    case kText:
    case kMemo:
      if (storage == SQLITE_TEXT || storage == SQLITE_BLOB) return Value::Text(Text(column));
      break;
    case kBinary:
    case kLongBinary: {
      const void* p = sqlite3_column_blob(stmt_, column);
      int n = sqlite3_column_bytes(stmt_, column);
      return Value::Binary(p ? std::string(static_cast<const char*>(p), static_cast<size_t>(n))
                             : std::string());
    }
    default:
      break;
  }
  switch (storage) {
    case SQLITE_INTEGER: {
      int64_t v = sqlite3_column_int64(stmt_, column);
      if (v >= INT32_MIN && v <= INT32_MAX) return Value::Long(static_cast<int32_t>(v));
      return Value::Double(static_cast<double>(v));
    }
    case SQLITE_FLOAT:
      return Value::Double(sqlite3_column_double(stmt_, column));
    case SQLITE_BLOB: {
      const void* p = sqlite3_column_blob(stmt_, column);
      int n = sqlite3_column_bytes(stmt_, column);
      return Value::Binary(std::string(static_cast<const char*>(p), static_cast<size_t>(n)));
    }
    default:
      return Value::Text(Text(column));
  }
}

Connection::Connection(const std::string& native_path, bool read_only, bool create) {
  int flags = read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
  if (create) flags |= SQLITE_OPEN_CREATE;
  flags |= SQLITE_OPEN_NOMUTEX;
  int rc = sqlite3_open_v2(native_path.c_str(), &db_, flags, VfsName());
  // The file layer falls back to reading a file it could not open for writing; asked for
  // writing, that is a failed open, not a database whose every change fails later.
  bool degraded = rc == SQLITE_OK && !read_only && sqlite3_db_readonly(db_, "main") == 1;
  if (degraded) rc = SQLITE_CANTOPEN;
  if (rc != SQLITE_OK) {
    Failure failure = SqliteFailure(degraded ? nullptr : db_, rc, native_path);
    sqlite3_close(db_);
    db_ = nullptr;
    throw failure;
  }
  sqlite3_extended_result_codes(db_, 1);
}

Connection::~Connection() {
  lru_.clear();
  cache_.clear();
  if (db_ != nullptr) sqlite3_close_v2(db_);
}

void Connection::Exec(std::string_view sql) {
  std::string text(sql);
  char* error = nullptr;
  int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &error);
  sqlite3_free(error);
  if (rc != SQLITE_OK) throw Fail(sqlite3_extended_errcode(db_), text);
}

Failure Connection::Fail(int rc, std::string_view context) {
  Failure failure = SqliteFailure(db_, rc, context);
  if (IsDiskFailure(rc)) {
    ++disk_failures_;
    last_disk_failure_ = failure;
    if (file_failures_ != nullptr) {
      ++file_failures_->count;
      file_failures_->last = failure;
    }
  }
  return failure;
}

Statement& Connection::Prepare(std::string_view sql) {
  std::string key(sql);
  auto found = cache_.find(key);
  if (found != cache_.end()) {
    lru_.splice(lru_.begin(), lru_, found->second);
    Statement& statement = *found->second->second;
    statement.Reset();
    return statement;
  }
  auto owned = PrepareOwned(sql);
  lru_.emplace_front(key, std::move(owned));
  cache_[key] = lru_.begin();
  if (lru_.size() > kCacheSize) {
    // Never evict a statement that is still running: it may belong to a caller's loop.
    for (auto it = std::prev(lru_.end()); it != lru_.begin(); --it) {
      if (!sqlite3_stmt_busy(it->second->get())) {
        cache_.erase(it->first);
        lru_.erase(it);
        break;
      }
    }
  }
  return *lru_.front().second;
}

std::unique_ptr<Statement> Connection::PrepareOwned(std::string_view sql) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()),
                              SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  if (rc != SQLITE_OK) throw Fail(sqlite3_extended_errcode(db_), sql);
  return std::make_unique<Statement>(*this, stmt);
}

void Connection::ClearCache() {
  lru_.clear();
  cache_.clear();
}

void Connection::SetLargeCache(bool large) {
  if (large_cache_ == static_cast<int>(large)) return;
  // Bounded: past 48 MB a keyed merge of 200,000 rows gains little (the operating system keeps
  // the file cached), while the process's peak memory would grow with the file.
  int kib = large ? 49152 : 16384;
  if (cache_limit_kib_ > 0) kib = std::min(kib, cache_limit_kib_);
  Exec("PRAGMA cache_size=-" + std::to_string(kib));
  large_cache_ = large;
}

void Connection::LimitCache(int kib) {
  cache_limit_kib_ = kib;
  const int large = large_cache_;
  large_cache_ = -1;
  SetLargeCache(large == 1);
}

namespace {

std::optional<unsigned> PagerVersion(sqlite3* db) {
  unsigned version = 0;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_DATA_VERSION, &version) != SQLITE_OK)
    return std::nullopt;
  return version;
}

}  // namespace

int64_t Connection::DataVersion() {
  // Read before asking: a commit in between then shows as a change next time.
  checked_counter_ = ReadChangeCounter(db_);
  Statement& s = Prepare("PRAGMA data_version");
  s.Step();
  int64_t v = s.Int(0);
  s.Reset();
  checked_pager_version_ = PagerVersion(db_);
  return v;
}

bool Connection::UnchangedSinceDataVersion() {
  // While this connection holds main's lock, nobody else commits; the pager looked for changes
  // when it took the lock and counts them.
  if (checked_pager_version_ && sqlite3_txn_state(db_, "main") != SQLITE_TXN_NONE &&
      PagerVersion(db_) == checked_pager_version_) {
    return true;
  }
  // Otherwise one read of the header's change counter, which every commit changes.
  return checked_counter_ && ReadChangeCounter(db_) == checked_counter_;
}

}  // namespace kr::db::engine::internal
