// The engine object, opening and creating database files, and the database object with its
// attached sources. The Database handle's own methods are in database_handle.cpp.
#include <map>

#include "db/engine/access_file.h"
#include "db/engine/dao_errors.h"
#include "db/engine/engine_internal.h"
#include "db/engine/functions_hook.h"
#include "platform/platform.h"

namespace kr::db::engine {

namespace internal {

namespace {

struct OpenFileState {
  int shared = 0;
  bool exclusive = false;
};

// Databases this process holds open, by file: Jet refuses a second open of a file opened
// exclusively and an exclusive open of a file already open. Written by opens and closes, one
// thread at a time; process-wide because the files are.
std::map<std::string, OpenFileState>& OpenFiles() {
  static std::map<std::string, OpenFileState> files;
  return files;
}

// The open database objects, so that opening or attaching a file first commits the row changes
// another object holds uncommitted on it (they would lock the newcomer out). Each object adds
// itself when it opens and removes itself when it closes, one thread at a time.
std::vector<DatabaseImpl*>& LiveDatabases() {
  static std::vector<DatabaseImpl*> live;
  return live;
}

void CommitOthers(const std::string& file_key, const DatabaseImpl* except) {
  for (DatabaseImpl* other : LiveDatabases()) {
    if (other == except || other->file_key() != file_key) continue;
    try {
      other->EndImplicitTransaction();
    } catch (const Failure&) {
      // It keeps its changes pending; the newcomer may then wait for it.
    }
  }
}

std::string FileKey(const std::string& native) { return platform::CanonicalNativePath(native); }

// Disk failures by file (FileKey). Entries stay once made: counts only grow, so a database that
// attached a file learns of its failures by difference. Written by the connections as they meet
// failures, one thread at a time.
FileFailures& FailuresOf(const std::string& file_key) {
  static std::map<std::string, FileFailures> files;
  return files[file_key];
}

// Plays back the journal a commit left beside the file at native (shown as path in failures),
// unless the file is open in this process (its open played back what there was).
void PlayBackJournal(const std::string& native, std::string_view path) {
  if (!platform::CurrentEnv().StatDatabaseFile(native + "-journal").exists) return;
  if (OpenFiles().count(FileKey(native))) return;
  try {
    Connection connection(native, false, false);
    // SQLite plays a hot journal back before the first read.
    if (!HasCatalog(connection, "main")) Raise(kDaoUnrecognizedFormat, std::string(path));
  } catch (const Failure& failure) {
    if (failure.number() == kDaoTableLocked) Raise(kDaoFileInUse, std::string(path));
    if (failure.number() == kDaoReservedError) Raise(kDaoUnrecognizedFormat, std::string(path));
    throw;
  }
}

void Configure(Connection& connection) {
  sqlite3_busy_timeout(connection.handle(), 1000);
  // The journal stays the default rollback journal with full syncs. The page cache is modest
  // while recordsets are walked and grows while statements change rows (see Execute).
  connection.SetLargeCache(false);
  RegisterEngineFunctions(connection.handle(), &connection.skipping_rows);
  RegisterAccessModule(connection.handle());
}

}  // namespace

void RaiseNotSet() { throw Failure::Runtime(kErrObjectNotSet); }

DatabaseImpl::DatabaseImpl(std::string name, std::string native, std::string file_key,
                           bool exclusive, bool read_only, std::unique_ptr<Connection> connection)
    : name_(std::move(name)),
      native_(std::move(native)),
      file_key_(std::move(file_key)),
      exclusive_(exclusive),
      read_only_(read_only),
      connection_(std::move(connection)) {
  OpenFileState& state = OpenFiles()[file_key_];
  if (exclusive_) state.exclusive = true;
  ++state.shared;
  LiveDatabases().push_back(this);
  if (connection_ != nullptr) connection_->ShareFailures(&FailuresOf(file_key_));
}

DatabaseImpl::~DatabaseImpl() { Close(); }

Connection& DatabaseImpl::connection() {
  if (connection_ == nullptr) RaiseNotSet();
  return *connection_;
}

const Catalog& DatabaseImpl::catalog() {
  Connection& c = connection();
  // Asked for every field a caller reads: the full check costs a lock cycle on the file.
  if (catalog_valid_ && c.UnchangedSinceDataVersion()) return catalog_;
  int64_t version = c.DataVersion();
  if (!catalog_valid_ || version != data_version_) {
    catalog_.Load(c, "main");
    for (const std::string& name : pending_dropped_) catalog_.Remove(name);
    for (const TableInfo& link : pending_added_) catalog_.Add(link);
    catalog_valid_ = true;
    data_version_ = version;
  }
  return catalog_;
}

void DatabaseImpl::TableChanged(std::string_view name) {
  if (catalog_valid_) catalog_.ReloadTable(connection(), "main", name);
}

// The catalog in memory follows at once: reloading it for every attach-merge-drop cycle of the
// toolkit would cost more than the merge of a small table.
void DatabaseImpl::AddLink(const TableInfo& link) {
  pending_added_.push_back(link);
  if (catalog_valid_) catalog_.Add(link);
}

void DatabaseImpl::DropLink(const TableInfo& link) {
  bool was_pending = false;
  std::erase_if(pending_added_, [&](const TableInfo& t) {
    bool same = SameName(t.name, link.name);
    was_pending = was_pending || same;
    return same;
  });
  if (!was_pending) pending_dropped_.push_back(link.name);
  if (catalog_valid_) catalog_.Remove(link.name);
}

const TableInfo& DatabaseImpl::Table(std::string_view name) {
  const TableInfo* info = catalog().Find(name);
  if (info == nullptr) Raise(kDaoInputTableNotFound, name);
  return *info;
}

DatabaseImpl::Attachment& DatabaseImpl::Attach(const std::string& native,
                                               const std::string& shown_path) {
  for (Attachment& a : attachments_) {
    if (a.native == native) {
      a.last_use = ++use_clock_;
      return a;
    }
  }
  auto state = OpenFiles().find(FileKey(native));
  if (state != OpenFiles().end() && state->second.exclusive) Raise(kDaoFileInUse, shown_path);
  // SQLite attaches only outside a transaction: a source first used inside the user's cannot be.
  if (transaction_depth_ > 0) Raise(kDaoNotInTransaction);
  Connection& c = connection();
  EndImplicitTransaction();
  int limit = sqlite3_limit(c.handle(), SQLITE_LIMIT_ATTACHED, -1);
  while (static_cast<int>(attachments_.size()) >= limit && !attachments_.empty()) {
    size_t oldest = 0;
    for (size_t i = 1; i < attachments_.size(); ++i)
      if (attachments_[i].last_use < attachments_[oldest].last_use) oldest = i;
    Detach(oldest);
  }
  Attachment a;
  a.alias = "kr_link" + std::to_string(next_alias_++);
  a.native = native;
  a.failures = &FailuresOf(FileKey(native));
  a.failures_at_attach = a.failures->count;
  c.ClearCache();
  const bool access = IsAccessFile(native);
  c.Exec("ATTACH DATABASE " + SqlTextLiteral(access ? ":memory:" : native) + " AS " +
         SqlIdentifier(a.alias));
  try {
    if (access) LoadAccessFile(c, a.alias, native, shown_path);
    if (!HasCatalog(c, a.alias)) Raise(kDaoUnrecognizedFormat, shown_path);
  } catch (const Failure& failure) {
    c.Exec("DETACH DATABASE " + SqlIdentifier(a.alias));
    if (failure.number() == kDaoTableLocked) Raise(kDaoFileInUse, shown_path);
    if (failure.number() == kDaoUnrecognizedFormat) Raise(kDaoUnrecognizedFormat, shown_path);
    throw;
  }
  a.last_use = ++use_clock_;
  attachments_.push_back(std::move(a));
  return attachments_.back();
}

int64_t DatabaseImpl::disk_failures() const {
  if (connection_ == nullptr) return closed_disk_failures_;
  int64_t count = connection_->disk_failures() + detached_failures_;
  for (const Attachment& a : attachments_) count += a.failures->count - a.failures_at_attach;
  return count;
}

const Failure& DatabaseImpl::LastDiskFailure() const {
  if (connection_->disk_failures() != own_failures_at_begin_ || attachments_.empty())
    return connection_->last_disk_failure();
  for (const Attachment& a : attachments_)
    if (a.failures->count != a.failures_at_attach) return a.failures->last;
  return connection_->last_disk_failure();
}

void DatabaseImpl::Detach(size_t index) {
  if (transaction_depth_ > 0) return;  // stays attached: SQLite detaches outside transactions
  Connection& c = connection();
  EndImplicitTransaction();
  c.ClearCache();
  std::string alias = attachments_[index].alias;
  detached_failures_ +=
      attachments_[index].failures->count - attachments_[index].failures_at_attach;
  attachments_.erase(attachments_.begin() + static_cast<std::ptrdiff_t>(index));
  try {
    c.Exec("DETACH DATABASE " + SqlIdentifier(alias));
  } catch (const Failure&) {
    // Still in use by an open cursor; SQLite keeps it until the connection closes.
  }
}

void DatabaseImpl::AttachAhead(const std::string& path) {
  platform::FileAttributes attributes = platform::Attributes(path);
  if (path.empty() || !attributes.exists || attributes.is_directory) Raise(kDaoFileNotFound, path);
  std::string native = platform::NativePath(path);
  if (FileKey(native) != file_key_) Attach(native, path);
}

DatabaseImpl::LinkTarget DatabaseImpl::ResolveLink(const TableInfo& link) {
  std::string path = ConnectValue(link.connect, "DATABASE").value_or("");
  std::string password = ConnectValue(link.connect, "PWD").value_or("");
  platform::FileAttributes attributes = platform::Attributes(path);
  if (path.empty() || !attributes.exists || attributes.is_directory) Raise(kDaoFileNotFound, path);
  std::string native = platform::NativePath(path);
  LinkTarget target;
  if (FileKey(native) == file_key_) {
    target.schema = "main";
    target.table = catalog().Find(link.source_table);
  } else {
    Attachment& a = Attach(native, path);
    Connection& c = connection();
    bool known = false;
    for (const std::string& ok : a.passwords_ok) known = known || ok == password;
    if (!known) {
      if (!PasswordMatches(c, a.alias, password)) Raise(kDaoNotValidPassword);
      a.passwords_ok.push_back(password);
    }
    Statement& v = c.Prepare("PRAGMA " + SqlIdentifier(a.alias) + ".data_version");
    v.Step();
    int64_t version = v.Int(0);
    v.Reset();
    if (version != a.data_version) {
      a.catalog.Load(c, a.alias);
      a.data_version = version;
    }
    target.schema = a.alias;
    target.table = a.catalog.Find(link.source_table);
  }
  if (target.table == nullptr || target.table->linked) Raise(kDaoObjectNotFound, link.source_table);
  return target;
}

void DatabaseImpl::Close() {
  if (connection_ == nullptr) return;
  try {
    // What the user's transaction has not committed goes, as with DAO.
    if (transaction_depth_ > 0 && !sqlite3_get_autocommit(connection_->handle()))
      connection_->Exec("ROLLBACK");
  } catch (const Failure&) {
    // Closing the connection undoes it all the same.
  }
  if (transaction_depth_ > 0) RestoreLinks(0);
  transaction_depth_ = 0;
  try {
    EndImplicitTransaction();
  } catch (const Failure&) {
    // Disk full or gone: the recordset edits of the last moments are lost, as with Jet.
  }
  if (!pending_added_.empty() || !pending_dropped_.empty()) {
    try {
      Write([] {}, true);
    } catch (const Failure&) {
      // The file cannot take the links any more (read-only now, disk full): they are lost.
    }
  }
  for (auto& weak : recordsets_)
    if (auto recordset = weak.lock()) CloseRecordset(*recordset);
  recordsets_.clear();
  closed_disk_failures_ = disk_failures();
  const bool met_failure = connection_->disk_failures() > 0;
  attachments_.clear();
  connection_.reset();
  std::erase(LiveDatabases(), this);
  auto state = OpenFiles().find(file_key_);
  if (state != OpenFiles().end()) {
    if (exclusive_) state->second.exclusive = false;
    if (--state->second.shared <= 0) OpenFiles().erase(state);
  }
  if (met_failure && !read_only_) {
    try {
      // A commit whose journal the disk would not remove left it hot: played back now, while
      // the disk may allow it, rather than by whoever opens the file next.
      PlayBackJournal(native_, name_);
    } catch (const Failure&) {
      // The next open plays it back.
    }
  }
}

void DatabaseImpl::RegisterRecordset(const std::shared_ptr<RecordsetImpl>& recordset) {
  std::erase_if(recordsets_, [](const std::weak_ptr<RecordsetImpl>& w) { return w.expired(); });
  recordsets_.push_back(recordset);
}

}  // namespace internal

using internal::DatabaseImpl;

// --- The engine ---------------------------------------------------------------------------------

DBEngine& DBEngine::Instance() {
  static DBEngine engine;
  return engine;
}

int DBEngine::OpenCount() const {
  int count = 0;
  for (const auto& [key, state] : internal::OpenFiles()) count += state.shared;
  return count;
}

Database DBEngine::OpenDatabase(std::string_view path, bool exclusive, bool read_only,
                                std::string_view connect) {
  std::string shown(path);
  platform::FileAttributes attributes = platform::Attributes(path);
  if (!attributes.exists) Raise(kDaoFileNotFound, shown);
  if (attributes.is_directory) Raise(kDaoNotValidPath, shown);
  std::string native = platform::NativePath(path);
  // An Access file opens read-only whatever was asked: nothing here writes one.
  const bool access = internal::IsAccessFile(native);
  read_only = read_only || access;
  if (attributes.read_only && !read_only) Raise(kDaoCannotOpenFile, shown);
  std::string key = internal::FileKey(native);
  auto state = internal::OpenFiles().find(key);
  if (state != internal::OpenFiles().end()) {
    if (state->second.exclusive) Raise(kDaoOpenedExclusively, shown);
    if (exclusive && state->second.shared > 0) Raise(kDaoFileInUse, shown);
  }
  std::string password = internal::ConnectValue(connect, "PWD").value_or("");
  internal::CommitOthers(key, nullptr);
  std::unique_ptr<internal::Connection> connection;
  try {
    connection = std::make_unique<internal::Connection>(access ? ":memory:" : native,
                                                        read_only && !access, access);
    internal::Configure(*connection);
    if (access) {
      internal::LoadAccessFile(*connection, "main", native, shown);
    } else if (exclusive) {
      connection->Exec("PRAGMA locking_mode=EXCLUSIVE");
      if (!read_only) connection->Exec("BEGIN EXCLUSIVE; COMMIT");
    }
    if (!internal::HasCatalog(*connection, "main")) Raise(kDaoUnrecognizedFormat, shown);
  } catch (const Failure& failure) {
    if (failure.number() == kDaoTableLocked)
      Raise(exclusive ? int{kDaoFileInUse} : int{kDaoOpenedExclusively}, shown);
    if (failure.number() == kDaoUnrecognizedFormat || failure.number() == kDaoReservedError)
      Raise(kDaoUnrecognizedFormat, shown);
    if (failure.number() == kDaoCannotOpenFile) Raise(kDaoCannotOpenFile, shown);
    throw;
  }
  if (!internal::PasswordMatches(*connection, "main", password)) Raise(kDaoNotValidPassword);
  if (!read_only) internal::UpgradeTextCollation(*connection);
  return Database(std::make_shared<DatabaseImpl>(shown, native, key, exclusive, read_only,
                                                 std::move(connection)));
}

Database DBEngine::CreateDatabase(std::string_view path, std::string_view password) {
  std::string shown(path);
  platform::FileAttributes attributes = platform::Attributes(path);
  if (attributes.exists) Raise(kDaoDatabaseExists, shown);
  std::string native = platform::NativePath(path);
  std::unique_ptr<internal::Connection> connection;
  try {
    connection = std::make_unique<internal::Connection>(native, false, true);
  } catch (const Failure&) {
    Raise(kDaoNotValidPath, shown);
  }
  internal::Configure(*connection);
  connection->Exec("BEGIN");
  internal::CreateCatalog(*connection);
  internal::StorePassword(*connection, password);
  connection->Exec("COMMIT");
  std::string key = internal::FileKey(native);
  return Database(
      std::make_shared<DatabaseImpl>(shown, native, key, false, false, std::move(connection)));
}

Database OpenDatabase(std::string_view path, bool exclusive, bool read_only,
                      std::string_view connect) {
  return DBEngine::Instance().OpenDatabase(path, exclusive, read_only, connect);
}

void RecoverDatabaseFile(std::string_view path) {
  internal::PlayBackJournal(platform::NativePath(path), path);
}

Database CreateDatabase(std::string_view path, std::string_view password) {
  return DBEngine::Instance().CreateDatabase(path, password);
}

}  // namespace kr::db::engine
