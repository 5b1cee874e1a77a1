// The Database handle: what it tells of its database, its checks, definitions and password.
#include "db/engine/dao_errors.h"
#include "db/engine/engine_internal.h"

namespace kr::db::engine {

using internal::DatabaseImpl;
using internal::RaiseNotSet;

namespace {
DatabaseImpl& Open(const std::shared_ptr<DatabaseImpl>& impl) {
  if (impl == nullptr || !impl->is_open()) RaiseNotSet();
  return *impl;
}
}  // namespace

std::string Database::Name() const { return Open(impl_).name(); }
bool Database::Exclusive() const { return Open(impl_).exclusive(); }
bool Database::ReadOnly() const { return Open(impl_).read_only(); }
bool Database::IsOpen() const { return impl_ != nullptr && impl_->is_open(); }
int64_t Database::DiskFailures() const { return impl_ != nullptr ? impl_->disk_failures() : 0; }
int64_t Database::RecordsAffected() const { return Open(impl_).records_affected; }
std::vector<Database::TableChanges> Database::ChangeCounts() const {
  return impl_ != nullptr ? impl_->change_counts : std::vector<TableChanges>();
}
std::string Database::LastStatement() const {
  return impl_ != nullptr ? impl_->last_statement : std::string();
}
int64_t Database::StatementsRun() const { return impl_ != nullptr ? impl_->statements_run : 0; }

void Database::Close() {
  // A handle that never held a database (its open failed) reports that failure here.
  if (impl_ == nullptr) RaiseNotSet();
  impl_->Close();
}

std::vector<std::string> Database::CheckFile() {
  DatabaseImpl& db = Open(impl_);
  db.EndImplicitTransaction();
  internal::Statement& check = db.connection().Prepare("PRAGMA main.integrity_check");
  std::vector<std::string> problems;
  while (check.Step()) {
    std::string line = check.Text(0);
    if (line != "ok") problems.push_back(line);
  }
  return problems;
}

TableDefCollection Database::TableDefs() const {
  Open(impl_);
  return TableDefCollection(impl_);
}

std::vector<RelationInfo> Database::Relations() const {
  internal::DatabaseImpl& db = Open(impl_);
  std::vector<RelationInfo> out;
  for (const internal::Relationship& r : internal::ReadRelationships(db.connection(), "main")) {
    RelationInfo info{r.name, r.parent, r.child, {}, 0};
    for (size_t i = 0; i < r.child_columns.size() && i < r.parent_columns.size(); ++i)
      info.fields.emplace_back(r.parent_columns[i], r.child_columns[i]);
    if (r.cascade_update) info.attributes |= kRelationUpdateCascade;
    if (r.cascade_delete) info.attributes |= kRelationDeleteCascade;
    out.push_back(std::move(info));
  }
  return out;
}

TableDef Database::CreateTableDef(std::string_view name, int32_t attributes,
                                  std::string_view source_table, std::string_view connect) {
  Open(impl_);
  auto table = std::make_shared<internal::TableDefImpl>();
  table->database = impl_;
  table->info.name = name;
  table->info.source_table = source_table;
  table->info.connect = connect;
  (void)attributes;
  return TableDef(table);
}

void Database::AttachAhead(std::string_view path) { Open(impl_).AttachAhead(std::string(path)); }
bool Database::InTransaction() const { return impl_ != nullptr && impl_->in_transaction(); }
void Database::LimitCache(int kib) { Open(impl_).connection().LimitCache(kib); }

void Database::NewPassword(std::string_view old_password, std::string_view new_password) {
  DatabaseImpl& db = Open(impl_);
  if (db.read_only()) Raise(kDaoReadOnly);
  if (!db.exclusive()) Raise(kDaoSharedPasswordChange);
  internal::Connection& c = db.connection();
  db.EndImplicitTransaction();
  if (!internal::HasPassword(c, "main") ? !old_password.empty()
                                        : !internal::PasswordMatches(c, "main", old_password))
    Raise(kDaoNotValidPassword);
  internal::InTransaction(c, [&] { internal::StorePassword(c, new_password); });
}

}  // namespace kr::db::engine
