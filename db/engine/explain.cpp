// Database::Explain: the SQLite text of a Jet statement, generated but not run.
#include <variant>

#include "db/engine/generator_internal.h"
#include "db/engine/jet_parser.h"
#include "db/engine/write_statements.h"

namespace kr::db::engine {

std::vector<std::string> Database::Explain(std::string_view sql) const {
  if (impl_ == nullptr || !impl_->is_open()) internal::RaiseNotSet();
  internal::DatabaseImpl& db = *impl_;
  engine::Statement statement = ParseStatement(sql);
  std::vector<std::string> generated;
  std::visit(
      [&](auto& body) {
        using T = std::decay_t<decltype(body)>;
        if constexpr (std::is_same_v<T, Select>) {
          if (!body.into.empty()) return;
          internal::RowSource plan = internal::PlanQuery(db, sql);
          if (plan.keyed) {
            generated = {plan.keyset_sql, plan.row_sql};
          } else {
            generated = {plan.stream_sql};
          }
        } else if constexpr (std::is_same_v<T, Insert>) {
          generated = {internal::GenerateInsert(db, body, false)};
        } else if constexpr (std::is_same_v<T, Update>) {
          generated = {internal::GenerateUpdate(db, body, false).sql};
        } else if constexpr (std::is_same_v<T, Delete>) {
          generated = {internal::GenerateDelete(db, body)};
        }
      },
      statement.body);
  return generated;
}

}  // namespace kr::db::engine
