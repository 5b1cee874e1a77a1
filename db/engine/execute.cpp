// Database::Execute: parse, generate, run.
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

}  // namespace

int64_t ExecuteStatement(DatabaseImpl& db, std::string_view sql, int options) {
  engine::Statement statement = ParseStatement(sql);
  // Declared parameters need values, which DAO's Execute and OpenRecordset cannot give.
  if (!statement.parameters.empty())
    Raise(kDaoTooFewParameters, std::to_string(statement.parameters.size()));
  bool fail_on_error = (options & kFailOnError) != 0;
  Connection& c = db.connection();
  std::string generated;
  GeneratedUpdate update;
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

}  // namespace internal

bool ReturnsRows(std::string_view sql) {
  engine::Statement statement = ParseStatement(sql);
  const auto* select = std::get_if<Select>(&statement.body);
  return select != nullptr && select->into.empty();
}

void Database::Execute(std::string_view sql, int options) {
  if (impl_ == nullptr || !impl_->is_open()) internal::RaiseNotSet();
  impl_->records_affected = 0;
  impl_->records_affected = internal::ExecuteStatement(*impl_, sql, options);
}

}  // namespace kr::db::engine
