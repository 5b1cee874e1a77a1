// Relationships (REFERENCES, FOREIGN KEY) as triggers: a child row needs its parent (3201), a
// parent with children can neither go nor change its key (3200). Triggers rather than SQLite's
// own foreign keys, which report no table and are off unless every connection turns them on.
// Their names, "kr_fk:<child>:<name>:<parent>:<event>", say which tables they tie.
#include <cassert>

#include "db/engine/catalog.h"
#include "db/engine/dao_errors.h"
#include "db/engine/sql_quote.h"

namespace kr::db::engine::internal {

namespace {

std::string TriggerName(const Relationship& r, std::string_view event) {
  return "kr_fk:" + r.child + ":" + r.name + ":" + r.parent + ":" + std::string(event);
}

// "a.x = b.y AND ..." over the column pairs.
std::string Pairs(std::string_view a, const std::vector<std::string>& a_columns, std::string_view b,
                  const std::vector<std::string>& b_columns) {
  std::string sql;
  for (size_t i = 0; i < a_columns.size(); ++i)
    sql += (i ? " AND " : "") + std::string(a) + "." + SqlIdentifier(a_columns[i]) + " = " +
           std::string(b) + "." + SqlIdentifier(b_columns[i]);
  return sql;
}

// Without fail-on-error the row is skipped, as Jet skips the rows it cannot change.
std::string Raise(int number, std::string_view table) {
  return "SELECT CASE WHEN kr_skipping() THEN RAISE(IGNORE) ELSE RAISE(ABORT, " +
         SqlTextLiteral(JetSqlErrorText(number, table)) + ") END;";
}

std::vector<std::string> TriggersTying(Connection& connection, std::string_view table,
                                       std::string_view name) {
  std::vector<std::string> names;
  Statement& list = connection.Prepare(
      "SELECT name FROM main.sqlite_schema WHERE type='trigger' AND name LIKE "
      "'kr\\_fk:%' ESCAPE '\\'");
  while (list.Step()) {
    const std::string trigger = list.Text(0);
    // kr_fk:child:name:parent:event; names hold no ':' (Jet refuses it in names).
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t colon; (colon = trigger.find(':', start)) != std::string::npos; start = colon + 1)
      parts.push_back(trigger.substr(start, colon - start));
    parts.push_back(trigger.substr(start));
    if (parts.size() != 5) continue;
    const bool tied = SameName(parts[1], table) || (name.empty() && SameName(parts[3], table));
    if (tied && (name.empty() || SameName(parts[2], name))) names.push_back(trigger);
  }
  list.Reset();
  return names;
}

}  // namespace

void CreateRelationship(Connection& connection, const Relationship& r) {
  assert(r.child_columns.size() == r.parent_columns.size() && !r.child_columns.empty());
  const std::string child = SqlIdentifier(r.child), parent = SqlIdentifier(r.parent);
  std::string child_set;
  for (const std::string& c : r.child_columns)
    child_set += (child_set.empty() ? "" : " AND ") + ("NEW." + SqlIdentifier(c)) + " IS NOT NULL";
  const std::string orphan = child_set + " AND NOT EXISTS (SELECT 1 FROM " + parent + " WHERE " +
                             Pairs(parent, r.parent_columns, "NEW", r.child_columns) + ")";
  std::string child_columns, parent_columns, key_changed;
  for (size_t i = 0; i < r.child_columns.size(); ++i) {
    child_columns += (i ? ", " : "") + SqlIdentifier(r.child_columns[i]);
    parent_columns += (i ? ", " : "") + SqlIdentifier(r.parent_columns[i]);
    key_changed += std::string(i ? " OR " : "") + "NEW." + SqlIdentifier(r.parent_columns[i]) +
                   " IS NOT OLD." + SqlIdentifier(r.parent_columns[i]);
  }
  const std::string children = "EXISTS (SELECT 1 FROM " + child + " WHERE " +
                               Pairs(child, r.child_columns, "OLD", r.parent_columns) + ")";
  const auto trigger = [&](std::string_view event, std::string_view when_on,
                           const std::string& condition, int number, std::string_view named) {
    connection.Exec("CREATE TRIGGER " + SqlIdentifier(TriggerName(r, event)) + " BEFORE " +
                    std::string(when_on) + " FOR EACH ROW WHEN " + condition + " BEGIN " +
                    Raise(number, named) + " END");
  };
  trigger("add", "INSERT ON " + child, orphan, kDaoRelatedRecordRequired, r.parent);
  trigger("change", "UPDATE OF " + child_columns + " ON " + child, orphan,
          kDaoRelatedRecordRequired, r.parent);
  trigger("delete", "DELETE ON " + parent, children, kDaoRelatedRecordsExist, r.child);
  trigger("rekey", "UPDATE OF " + parent_columns + " ON " + parent,
          "(" + key_changed + ") AND " + children, kDaoRelatedRecordsExist, r.child);
}

bool DropRelationship(Connection& connection, std::string_view child, std::string_view name) {
  const std::vector<std::string> triggers = TriggersTying(connection, child, name);
  for (const std::string& t : triggers) connection.Exec("DROP TRIGGER " + SqlIdentifier(t));
  return !triggers.empty();
}

void DropRelationshipsOf(Connection& connection, std::string_view table) {
  for (const std::string& t : TriggersTying(connection, table, ""))
    connection.Exec("DROP TRIGGER IF EXISTS " + SqlIdentifier(t));
}

}  // namespace kr::db::engine::internal
