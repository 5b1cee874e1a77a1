// Where a recordset's rows come from: a keyset of rowids for the rows of one table (table
// recordsets, and dynasets and snapshots over a single table), a streaming cursor otherwise.
#include "db/engine/dao_errors.h"
#include "db/engine/generator_internal.h"
#include "db/engine/jet_parser.h"

namespace kr::db::engine::internal {

namespace {

void KeyedStatements(RowSource& s, const std::string& items) {
  std::string rowid = SqlIdentifier(s.alias) + ".rowid";
  s.keyset_sql = "SELECT " + rowid + " FROM " + s.from_sql +
                 (s.where_sql.empty() ? "" : " WHERE " + s.where_sql) +
                 (s.order_sql.empty() ? "" : " ORDER BY " + s.order_sql) + s.limit_sql;
  s.row_sql = "SELECT " + items + " FROM " + s.from_sql + " WHERE " + rowid + "=?1";
  std::string marks;
  for (int i = 1; i <= 64; ++i) marks += (i > 1 ? ",?" : "?") + std::to_string(i);
  s.window_sql = "SELECT " + rowid + ", " + items + " FROM " + s.from_sql + " WHERE " + rowid +
                 " IN (" + marks + ")";
  if (s.where_sql.empty() && s.limit_sql.empty())
    s.count_sql = "SELECT count(*) FROM " + s.from_sql;
  else
    s.count_sql = "SELECT count(*) FROM (SELECT 1 FROM " + s.from_sql +
                  (s.where_sql.empty() ? "" : " WHERE " + s.where_sql) + s.limit_sql + ")";
}

}  // namespace

RowSource PlanTable(DatabaseImpl& db, std::string_view table, std::string_view index) {
  const TableInfo& t = db.Table(table);
  if (t.linked) Raise(kDaoInvalidOperation);
  RowSource s;
  s.keyed = true;
  s.updatable = !t.system;
  s.base_schema = "main";
  s.base_table = t.name;
  s.base_name = t.name;
  s.alias = t.name;
  s.from_sql = "\"main\"." + SqlIdentifier(t.name) + " AS " + SqlIdentifier(t.name);
  std::string items;
  for (size_t i = 0; i < t.fields.size(); ++i) {
    OutputColumn c;
    c.def = t.fields[i];
    c.source_table = t.name;
    c.source_field = t.fields[i].name;
    c.base_index = static_cast<int>(i);
    s.columns.push_back(std::move(c));
    items += (i ? ", " : "") + SqlIdentifier(t.name) + "." + SqlIdentifier(t.fields[i].name);
  }
  if (index.empty()) {
    s.order_sql =
        SqlIdentifier(t.name) + ".rowid";  // the order rows were added in, as Jet keeps them
  } else {
    const IndexDef* def = t.FindIndex(index);
    if (def == nullptr) Raise(kDaoNotAnIndex, index);
    for (size_t i = 0; i < def->columns.size(); ++i)
      s.order_sql += (i ? ", " : "") + SqlIdentifier(t.name) + "." +
                     SqlIdentifier(def->columns[i].first) + (def->columns[i].second ? " DESC" : "");
  }
  KeyedStatements(s, items);
  return s;
}

RowSource PlanQuery(DatabaseImpl& db, std::string_view source, bool stream) {
  engine::Statement statement = ParseStatement(source);
  // Declared parameters need values, which DAO's Execute and OpenRecordset cannot give.
  if (!statement.parameters.empty())
    Raise(kDaoTooFewParameters, std::to_string(statement.parameters.size()));
  auto* select = std::get_if<Select>(&statement.body);
  if (select == nullptr || !select->into.empty()) Raise(kDaoInvalidOperation);
  GeneratedSelect g = GenerateSelect(db, *select, nullptr);
  RowSource s;
  s.columns = g.columns;
  // A table's Currency column is read as it is stored, in ten-thousandths: exact at any size.
  std::string list;
  bool stored = false;
  for (size_t i = 0; i < g.items.size(); ++i) {
    const std::string item = StoredItem(g, i);
    stored = stored || !item.empty();
    list += (i ? ", " : " ") + (item.empty() ? g.items[i] : item) + " AS " +
            SqlIdentifier(g.columns[i].def.name);
  }
  if (!g.single_table || stream) {
    s.stream_sql = stored && !g.is_union ? g.head + list + g.tail : g.sql;
    return s;
  }
  s.keyed = true;
  s.updatable = true;
  s.base_schema = g.base.schema;
  s.base_table = g.base.table;
  s.base_name = g.base.jet_name;
  s.alias = g.base.alias;
  s.from_sql = g.base.from_sql;
  s.where_sql = g.where_sql;
  s.order_sql = g.order_sql;
  s.limit_sql = g.limit_sql;
  std::string items;
  for (size_t i = 0; i < g.items.size(); ++i) {
    const std::string item = StoredItem(g, i);
    items += (i ? ", " : "") + (item.empty() ? g.items[i] : item);
  }
  KeyedStatements(s, items);
  return s;
}

std::string CriteriaSql(DatabaseImpl& db, const RowSource& source, std::string_view criteria) {
  ExprPtr expr = ParseExpression(criteria);
  Scope scope(db, nullptr);
  scope.AddTable(source.base_name, source.alias);
  return RenderCondition(*expr, scope);
}

}  // namespace kr::db::engine::internal
