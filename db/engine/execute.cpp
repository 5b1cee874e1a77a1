// Database::Execute: parse, generate, run.
#include <algorithm>
#include <variant>

#include "db/engine/dao_errors.h"
#include "db/engine/generator_internal.h"
#include "db/engine/jet_parser.h"
#include "db/engine/write_statements.h"
#include "platform/platform.h"

namespace kr::db::engine {

namespace internal {

namespace {

// Relationship triggers skip the rows they refuse unless the statement fails on error.
class SkippingRows {
 public:
  SkippingRows(Connection& c, bool on) : c_(c) { c_.skipping_rows = on; }
  ~SkippingRows() { c_.skipping_rows = false; }
  SkippingRows(const SkippingRows&) = delete;
  SkippingRows& operator=(const SkippingRows&) = delete;

 private:
  Connection& c_;
};

// The table whose rows a delete removes, as the statement names it.
std::string DeletedTable(const Delete& del) {
  if (del.target == Delete::Target::kTable) return del.target_table;
  return del.from.kind == TableRef::Kind::kTable ? del.from.name : std::string();
}

}  // namespace

void DatabaseImpl::CountChanges(std::string_view table, int64_t inserted, int64_t updated,
                                int64_t deleted) {
  if (table.empty() || inserted + updated + deleted == 0) return;
  auto same = [&](const Database::TableChanges& t) { return SameName(t.table, table); };
  auto it = std::find_if(change_counts.begin(), change_counts.end(), same);
  if (it == change_counts.end()) {
    change_counts.push_back({std::string(table)});
    it = change_counts.end() - 1;
  }
  it->inserted += inserted;
  it->updated += updated;
  it->deleted += deleted;
}

namespace {

// The table a statement adds rows to or deletes them from, read before it runs (SELECT ... INTO
// takes its name over); an UPDATE's is known once it is generated.
std::string ChangedTable(const engine::Statement& statement) {
  if (const auto* insert = std::get_if<Insert>(&statement.body)) return insert->table;
  if (const auto* select = std::get_if<Select>(&statement.body)) return select->into;
  if (const auto* del = std::get_if<Delete>(&statement.body)) return DeletedTable(*del);
  return {};
}

int64_t Run(DatabaseImpl& db, engine::Statement& statement, GeneratedUpdate& update, int options) {
  // Declared parameters need values, which DAO's Execute and OpenRecordset cannot give.
  if (!statement.parameters.empty())
    Raise(kDaoTooFewParameters, std::to_string(statement.parameters.size()));
  bool fail_on_error = (options & kFailOnError) != 0;
  Connection& c = db.connection();
  std::string generated;
  int64_t made_rows = 0;
  std::visit(
      [&](auto& body) {
        using T = std::decay_t<decltype(body)>;
        if constexpr (std::is_same_v<T, Select>) {
          if (body.into.empty()) Raise(kDaoCannotExecuteSelect);
          if (db.read_only()) Raise(kDaoReadOnly);
          made_rows = RunSelectInto(db, body, fail_on_error);
        } else if constexpr (std::is_same_v<T, Insert>) {
          generated = GenerateInsert(db, body, fail_on_error);
        } else if constexpr (std::is_same_v<T, Update>) {
          update = GenerateUpdate(db, body, fail_on_error);
          generated = update.sql;
        } else if constexpr (std::is_same_v<T, Delete>) {
          generated = GenerateDelete(db, body);
        } else if constexpr (std::is_same_v<T, engine::CreateTable>) {
          RunCreateTable(db, body);
        } else if constexpr (std::is_same_v<T, engine::CreateIndex>) {
          RunCreateIndex(db, body);
        } else if constexpr (std::is_same_v<T, engine::DropTable>) {
          DropTableNamed(db, body.table, kDaoTableDoesNotExist);
        } else if constexpr (std::is_same_v<T, engine::DropIndex>) {
          RunDropIndex(db, body);
        } else if constexpr (std::is_same_v<T, AlterTable>) {
          RunAlterTable(db, body);
        }
      },
      statement.body);
  if (generated.empty()) return made_rows;
  static const bool trace = !platform::EnvironmentValue("KR_SQL_TRACE").empty();
  if (trace) LogLine("sqlite: " + generated);
  if (db.read_only()) Raise(kDaoReadOnly);
  SkippingRows skipping(c, !fail_on_error);
  int64_t changes = 0;
  if (!update.shifted_indexes.empty()) {
    // Jet checks unique keys once the statement is through: renumbering (SET k=k+1) works.
    c.SetLargeCache(true);
    bool rebuilt = true;
    try {
      db.Write(
          [&] {
            for (const IndexDef& index : update.shifted_indexes)
              c.Exec("DROP INDEX " + SqlIdentifier(SqliteIndexName(update.table, index.name)));
            internal::Statement& run = c.Prepare(generated);
            run.Step();
            run.Reset();
            changes = c.Changes();
            for (const IndexDef& index : update.shifted_indexes)
              c.Exec(IndexSql(update.table, index));
          },
          true);
    } catch (const Failure& failure) {
      // Keys collide when the statement is through: undone; rows are then taken one by one.
      if (failure.number() != kDaoDuplicateValue) throw;
      if (fail_on_error) throw;
      rebuilt = false;
    }
    c.ClearCache();
    if (rebuilt) return changes;
  }
  // Keyed merges of big tables touch index pages all over the file: a large page cache while
  // statements change rows keeps that linear (a recordset shrinks it again).
  c.SetLargeCache(true);
  db.Write(
      [&] {
        internal::Statement& run = c.Prepare(generated);
        run.Step();
        run.Reset();
        changes = c.Changes();
      },
      false);
  return changes;
}

}  // namespace

int64_t ExecuteStatement(DatabaseImpl& db, std::string_view sql, int options) {
  engine::Statement statement = ParseStatement(sql);
  GeneratedUpdate update;
  const std::string table = ChangedTable(statement);
  const bool deletes = std::holds_alternative<Delete>(statement.body);
  int64_t rows = Run(db, statement, update, options);
  if (std::holds_alternative<Update>(statement.body)) {
    db.CountChanges(update.table, 0, rows, 0);
  } else {
    db.CountChanges(table, deletes ? 0 : rows, 0, deletes ? rows : 0);
  }
  return rows;
}

}  // namespace internal

bool ReturnsRows(std::string_view sql) {
  engine::Statement statement = ParseStatement(sql);
  const auto* select = std::get_if<Select>(&statement.body);
  return select != nullptr && select->into.empty();
}

void Database::Execute(std::string_view sql, int options) {
  if (impl_ == nullptr || !impl_->is_open()) internal::RaiseNotSet();
  impl_->records_affected = 0;
  impl_->last_statement = sql;
  ++impl_->statements_run;
  impl_->records_affected = internal::ExecuteStatement(*impl_, sql, options);
}

}  // namespace kr::db::engine
