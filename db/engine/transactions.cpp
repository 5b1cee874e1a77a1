// How the database object writes: statements and schema changes, the implicit transactions of
// recordset row changes, and the user's transactions (BeginTrans, CommitTrans, Rollback).
#include <cassert>
#include <chrono>
#include <string>

#include "db/engine/dao_errors.h"
#include "db/engine/engine_internal.h"

namespace kr::db::engine {

namespace internal {

void DatabaseImpl::CheckTransactionAlive() {
  if (transaction_depth_ == 0) return;
  Connection& c = connection();
  bool lost = disk_failures() != disk_failures_at_begin_;
  if (!lost && !sqlite3_get_autocommit(c.handle())) return;
  // The disk lost a change of it (or SQLite undid it): what is left of it must not reach the
  // file, and nothing after it may reach the file outside it.
  if (!sqlite3_get_autocommit(c.handle())) {
    try {
      c.Exec("ROLLBACK");
    } catch (const Failure&) {
      // The journal undoes it when the file is next read.
    }
  }
  catalog_valid_ = false;
  if (lost) throw LastDiskFailure();
  Raise(kDaoDiskOrNetworkError);
}

void DatabaseImpl::Write(const std::function<void()>& body, bool transaction) {
  Connection& c = connection();
  CheckTransactionAlive();
  EndImplicitTransaction();
  // Links are no part of the user's transaction: they wait until it is over.
  bool links = transaction_depth_ == 0 && (!pending_added_.empty() || !pending_dropped_.empty());
  if (!links && !transaction) {
    body();
    return;
  }
  InTransaction(c, [&] {
    if (links) {
      for (const std::string& name : pending_dropped_) RemoveLink(c, name);
      for (const TableInfo& link : pending_added_) internal::AddLink(c, link);
    }
    body();
  });
  // The catalog in memory holds the links already; schema statements invalidate it themselves.
  if (links) {
    pending_dropped_.clear();
    pending_added_.clear();
  }
}

void DatabaseImpl::WriteRow(const std::function<void()>& body) {
  Connection& c = connection();
  CheckTransactionAlive();
  assert(transaction_depth_ >= 0);
  if (transaction_depth_ > 0) {
    body();
    return;
  }
  if (!implicit_open_) {
    c.Exec("BEGIN");
    implicit_open_ = true;
    implicit_rows_ = 0;
    implicit_start_ = std::chrono::steady_clock::now();
    try {
      for (const std::string& name : pending_dropped_) RemoveLink(c, name);
      for (const TableInfo& link : pending_added_) internal::AddLink(c, link);
    } catch (...) {
      c.Exec("ROLLBACK");
      implicit_open_ = false;
      throw;
    }
    pending_dropped_.clear();
    pending_added_.clear();
  }
  body();  // a failing row is undone alone; the rows before it stay in the transaction
  if (++implicit_rows_ >= kImplicitRows ||
      std::chrono::steady_clock::now() - implicit_start_ > kImplicitTime)
    EndImplicitTransaction();
}

void DatabaseImpl::EndImplicitTransaction() {
  if (!implicit_open_ || connection_ == nullptr) return;
  // Row changes join the user's transaction while one is open; an implicit one never spans it.
  assert(transaction_depth_ == 0);
  implicit_open_ = false;
  connection_->Exec("COMMIT");
}

void DatabaseImpl::BeginTransaction() {
  Connection& c = connection();
  CheckTransactionAlive();
  EndImplicitTransaction();
  if (transaction_depth_ == 0) {
    disk_failures_at_begin_ = disk_failures();
    own_failures_at_begin_ = c.disk_failures();
  }
  assert(transaction_depth_ >= 0 && !implicit_open_);
  c.Exec(transaction_depth_ == 0 ? std::string("BEGIN")
                                 : "SAVEPOINT kr_trans" + std::to_string(transaction_depth_));
  links_at_begin_.resize(transaction_depth_);
  links_at_begin_.push_back({pending_added_, pending_dropped_});
  counts_at_begin_.resize(transaction_depth_);
  counts_at_begin_.push_back(change_counts);
  ++transaction_depth_;
}

// A link made by work that was rolled back would otherwise be written after it, pointing at a
// source nobody uses any more.
void DatabaseImpl::RestoreLinks(size_t level) {
  if (level >= links_at_begin_.size()) return;
  pending_added_ = std::move(links_at_begin_[level].added);
  pending_dropped_ = std::move(links_at_begin_[level].dropped);
  links_at_begin_.resize(level);
  if (level < counts_at_begin_.size()) {
    change_counts = std::move(counts_at_begin_[level]);
    counts_at_begin_.resize(level);
  }
}

void DatabaseImpl::CommitTransaction() {
  Connection& c = connection();
  if (transaction_depth_ == 0) Raise(kDaoCommitWithoutBegin);
  int level = transaction_depth_ - 1;
  try {
    CheckTransactionAlive();
  } catch (const Failure&) {
    // Its links go with it, or the next write outside would put them in place.
    transaction_depth_ = level;
    RestoreLinks(level);
    throw;
  }
  assert(level >= 0 && transaction_depth_ == level + 1);
  try {
    c.Exec(level == 0 ? std::string("COMMIT") : "RELEASE kr_trans" + std::to_string(level));
  } catch (const Failure&) {
    // A commit that SQLite undid (disk full, I/O error) ends the transaction; a busy one not.
    if (sqlite3_get_autocommit(c.handle())) {
      transaction_depth_ = 0;
      RestoreLinks(0);
    }
    throw;
  }
  --transaction_depth_;
  if (links_at_begin_.size() > static_cast<size_t>(transaction_depth_))
    links_at_begin_.resize(transaction_depth_);
  if (counts_at_begin_.size() > static_cast<size_t>(transaction_depth_))
    counts_at_begin_.resize(transaction_depth_);
  assert(transaction_depth_ >= 0);
}

void DatabaseImpl::RollbackTransaction() {
  Connection& c = connection();
  if (transaction_depth_ == 0) Raise(kDaoCommitWithoutBegin);
  int level = transaction_depth_ - 1;
  assert(level >= 0);
  transaction_depth_ = level;
  catalog_valid_ = false;  // schema changes are undone too
  if (sqlite3_get_autocommit(c.handle())) {
    RestoreLinks(0);  // SQLite undid it already, every level of it
    return;
  }
  RestoreLinks(level);
  if (level == 0) {
    c.Exec("ROLLBACK");
  } else {
    std::string name = "kr_trans" + std::to_string(level);
    c.Exec("ROLLBACK TO " + name + "; RELEASE " + name);
  }
}

}  // namespace internal

namespace {
internal::DatabaseImpl& Open(const std::shared_ptr<internal::DatabaseImpl>& impl) {
  if (impl == nullptr || !impl->is_open()) internal::RaiseNotSet();
  return *impl;
}
}  // namespace

void Database::BeginTrans() { Open(impl_).BeginTransaction(); }
void Database::CommitTrans() { Open(impl_).CommitTransaction(); }
void Database::Rollback() { Open(impl_).RollbackTransaction(); }

}  // namespace kr::db::engine
