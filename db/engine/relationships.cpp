// Relationships (REFERENCES, FOREIGN KEY) as triggers: a child row needs its parent (3201), a
// parent with children can neither go nor change its key (3200), or with a cascade takes its
// children along. Triggers rather than SQLite's own foreign keys, which report no table and are
// off unless every connection turns them on. Their names, "kr_fk:<child>:<name>:<parent>:<event>",
// say which tables they tie; MSysKrRelationships keeps the columns for those who list them.
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

constexpr std::string_view kRelationshipsTable = "MSysKrRelationships";
// Relation attributes as DAO numbers them.
constexpr int kUpdateCascade = 256, kDeleteCascade = 4096;

std::string JoinNames(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : "\n") + name;
  return text;
}

std::vector<std::string> SplitNames(const std::string& text) {
  std::vector<std::string> names;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    names.push_back(text.substr(start, end - start));
  names.push_back(text.substr(start));
  return names;
}

bool HasRelationshipsTable(Connection& connection, std::string_view schema) {
  Statement& probe = connection.Prepare("SELECT count(*) FROM " + SqlIdentifier(schema) +
                                        ".sqlite_master WHERE type='table' AND name=?");
  probe.BindText(1, kRelationshipsTable);
  probe.Step();
  const bool present = probe.Int(0) != 0;
  probe.Reset();
  return present;
}

void RecordRelationship(Connection& connection, const Relationship& r) {
  connection.Exec("CREATE TABLE IF NOT EXISTS main." + std::string(kRelationshipsTable) +
                  " (Child TEXT COLLATE NOCASE, Name TEXT COLLATE NOCASE, Parent TEXT, "
                  "ChildColumns TEXT, ParentColumns TEXT, Attributes INTEGER, "
                  "PRIMARY KEY (Child, Name))");
  Statement& row = connection.Prepare("INSERT OR REPLACE INTO main." +
                                      std::string(kRelationshipsTable) + " VALUES (?,?,?,?,?,?)");
  row.BindText(1, r.child);
  row.BindText(2, r.name);
  row.BindText(3, r.parent);
  row.BindText(4, JoinNames(r.child_columns));
  row.BindText(5, JoinNames(r.parent_columns));
  row.BindInt(6, (r.cascade_update ? kUpdateCascade : 0) | (r.cascade_delete ? kDeleteCascade : 0));
  row.Step();
  row.Reset();
}

// Forgets the rows of the relationships whose child is table (and of that name, unless "").
void ForgetRelationships(Connection& connection, std::string_view table, std::string_view name,
                         bool as_parent_too) {
  if (!HasRelationshipsTable(connection, "main")) return;
  Statement& del = connection.Prepare(
      "DELETE FROM main." + std::string(kRelationshipsTable) +
      " WHERE (Child=?1 AND (?2='' OR Name=?2)) OR (?3 AND Parent=?1 COLLATE NOCASE)");
  del.BindText(1, table);
  del.BindText(2, name);
  del.BindInt(3, as_parent_too ? 1 : 0);
  del.Step();
  del.Reset();
}

}  // namespace

std::vector<Relationship> ReadRelationships(Connection& connection, std::string_view schema) {
  std::vector<Relationship> out;
  if (!HasRelationshipsTable(connection, schema)) return out;
  Statement& rows = connection.Prepare(
      "SELECT Child, Name, Parent, ChildColumns, ParentColumns, Attributes FROM " +
      SqlIdentifier(schema) + "." + std::string(kRelationshipsTable) + " ORDER BY Child, Name");
  while (rows.Step()) {
    Relationship r;
    r.child = rows.Text(0);
    r.name = rows.Text(1);
    r.parent = rows.Text(2);
    r.child_columns = SplitNames(rows.Text(3));
    r.parent_columns = SplitNames(rows.Text(4));
    r.cascade_update = (rows.Int(5) & kUpdateCascade) != 0;
    r.cascade_delete = (rows.Int(5) & kDeleteCascade) != 0;
    out.push_back(std::move(r));
  }
  rows.Reset();
  return out;
}

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
  const std::string own_children = Pairs(child, r.child_columns, "OLD", r.parent_columns);
  if (r.cascade_delete) {
    connection.Exec("CREATE TRIGGER " + SqlIdentifier(TriggerName(r, "delete")) +
                    " AFTER DELETE ON " + parent + " FOR EACH ROW BEGIN DELETE FROM " + child +
                    " WHERE " + own_children + "; END");
  } else {
    trigger("delete", "DELETE ON " + parent, children, kDaoRelatedRecordsExist, r.child);
  }
  if (r.cascade_update) {
    std::string new_key;
    for (size_t i = 0; i < r.child_columns.size(); ++i)
      new_key += (i ? ", " : "") + SqlIdentifier(r.child_columns[i]) + " = NEW." +
                 SqlIdentifier(r.parent_columns[i]);
    // After the parent's change, so that the children's own check finds the new key.
    connection.Exec("CREATE TRIGGER " + SqlIdentifier(TriggerName(r, "rekey")) +
                    " AFTER UPDATE OF " + parent_columns + " ON " + parent + " FOR EACH ROW WHEN " +
                    key_changed + " BEGIN UPDATE " + child + " SET " + new_key + " WHERE " +
                    own_children + "; END");
  } else {
    trigger("rekey", "UPDATE OF " + parent_columns + " ON " + parent,
            "(" + key_changed + ") AND " + children, kDaoRelatedRecordsExist, r.child);
  }
  RecordRelationship(connection, r);
}

bool DropRelationship(Connection& connection, std::string_view child, std::string_view name) {
  const std::vector<std::string> triggers = TriggersTying(connection, child, name);
  for (const std::string& t : triggers) connection.Exec("DROP TRIGGER " + SqlIdentifier(t));
  ForgetRelationships(connection, child, name, false);
  return !triggers.empty();
}

void DropRelationshipsOf(Connection& connection, std::string_view table) {
  for (const std::string& t : TriggersTying(connection, table, ""))
    connection.Exec("DROP TRIGGER IF EXISTS " + SqlIdentifier(t));
  ForgetRelationships(connection, table, "", true);
}

}  // namespace kr::db::engine::internal
