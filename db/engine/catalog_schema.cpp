// The SQLite side of the catalog: the column definitions that give each Jet type its storage,
// collation and CHECKs, counters, indexes, and the schema changes that keep SQLite and the
// catalog rows in step.
#include <cassert>
#include <cstdio>

#include "db/engine/catalog.h"
#include "db/engine/dao_errors.h"
#include "db/engine/text_collation.h"

namespace kr::db::engine::internal {

namespace {

std::string TypeCheck(const std::string& c, int type) {
  auto integer_range = [&](const char* low, const char* high) {
    return c + " IS NULL OR (typeof(" + c + ")='integer' AND " + c + " BETWEEN " + low + " AND " +
           high + ")";
  };
  switch (type) {
    case kBoolean:
      return c + " IN (-1,0)";
    case kByte:
      return integer_range("0", "255");
    case kInteger:
      return integer_range("-32768", "32767");
    case kLong:
      return integer_range("-2147483648", "2147483647");
    case kCurrency:
      return c + " IS NULL OR typeof(" + c + ")='integer'";
    case kSingle:
      return c + " IS NULL OR (typeof(" + c + ")='real' AND abs(" + c + ")<=3.4028234663852886e38)";
    case kDouble:
      return c + " IS NULL OR typeof(" + c + ")='real'";
    case kDate:
      return c + " IS NULL OR (typeof(" + c + ")='real' AND " + c + " BETWEEN -657434 AND 2958466)";
    case kText:
    case kMemo:
      return c + " IS NULL OR typeof(" + c + ")='text'";
    default:
      return c + " IS NULL OR typeof(" + c + ")='blob'";
  }
}

std::string Constraint(std::string_view rule, std::string_view column, const std::string& check) {
  return " CONSTRAINT " + SqlIdentifier("kr_" + std::string(rule) + ":" + std::string(column)) +
         " CHECK (" + check + ")";
}

// The SQLite DEFAULT of a field ("" when none). A Yes/No field is never Null in Jet: left out
// of a new row it is No.
std::string ColumnDefaultSql(const FieldDef& f) {
  std::string sql = DefaultValueSql(f.default_value, f.type);
  return sql.empty() && f.type == kBoolean ? "0" : sql;
}

// The column definition of a field of table. primary_key_column: the field belongs to the
// primary key. The Null check is named for table and field, as error 3314 names them.
std::string ColumnSql(std::string_view table, const FieldDef& f, bool primary_key_column) {
  std::string c = SqlIdentifier(f.name);
  std::string sql = c + " " + ColumnAffinity(f.type);
  std::string default_sql = ColumnDefaultSql(f);
  if (!default_sql.empty()) sql += " DEFAULT " + default_sql;
  sql += Constraint("type", f.name, TypeCheck(c, f.type));
  if ((f.type == kText || f.type == kBinary) && f.size > 0)
    sql += Constraint("size", f.name, "length(" + c + ")<=" + std::to_string(f.size));
  // A counter is filled after the row is in (by its trigger): no Null check on it.
  if (f.required && !f.counter())
    sql += Constraint("req", std::string(table) + "." + f.name, c + " IS NOT NULL");
  if (primary_key_column && !f.counter()) sql += Constraint("pk", f.name, c + " IS NOT NULL");
  if ((f.type == kText || f.type == kMemo) && !f.allow_zero_length)
    sql += Constraint("zls", f.name, c + "<>''");
  if (!f.validation_rule.empty()) {
    std::string rule = ValidationRuleSql(f, f.validation_rule);
    if (!rule.empty()) sql += Constraint("rule", f.name, rule);
  }
  return sql;
}

// The next number follows the furthest one given so far in the counter's direction.
std::string CounterTrigger(std::string_view table, const FieldDef& f) {
  std::string t = SqlIdentifier(table), c = SqlIdentifier(f.name);
  std::string next = std::string(f.counter_increment < 0 ? "min(" : "max(") + c + ")+(" +
                     std::to_string(f.counter_increment) + ")";
  return "CREATE TRIGGER " + SqlIdentifier("kr_counter:" + std::string(table) + ":" + f.name) +
         " AFTER INSERT ON " + t + " FOR EACH ROW WHEN NEW." + c + " IS NULL BEGIN UPDATE " + t +
         " SET " + c + "=(SELECT ifnull(" + next + "," + std::to_string(f.counter_seed) +
         ") FROM " + t + ") WHERE rowid=NEW.rowid; END";
}

void InsertFieldRow(Connection& connection, std::string_view table, int ordinal,
                    const FieldDef& f) {
  Statement& s = connection.Prepare(
      "INSERT INTO MSysKrFields (TableName, Ordinal, Name, Type, Size, Attributes, Required, "
      "AllowZeroLength, DefaultValue, ValidationRule) VALUES (?,?,?,?,?,?,?,?,?,?)");
  s.BindText(1, table);
  s.BindInt(2, ordinal);
  s.BindText(3, f.name);
  s.BindInt(4, f.type);
  s.BindInt(5, f.size);
  s.BindInt(6, f.attributes);
  s.BindInt(7, f.required ? 1 : 0);
  s.BindInt(8, f.allow_zero_length ? 1 : 0);
  s.BindText(9, f.default_value);
  s.BindText(10, f.validation_rule);
  s.Step();
  s.Reset();
}

std::string IndexColumnsText(const IndexDef& index) {
  std::string text;
  for (const auto& [name, descending] : index.columns) {
    if (!text.empty()) text.push_back('\n');
    if (descending) text.push_back('\x01');
    text += name;
  }
  return text;
}

// A default computed on insert (Now(), Date()) cannot be given to a table with rows by ADD
// COLUMN: the column goes in without one, and the default is then written into the table's
// definition, which SQLite allows for defaults. The rows already there keep Null, as SQLite
// computes no such default for rows written before the column existed.
void AddColumnWithComputedDefault(Connection& connection, const TableInfo& table,
                                  const FieldDef& field) {
  FieldDef bare = field;
  bare.default_value.clear();
  std::string bare_sql = ColumnSql(table.name, bare, false);
  connection.Exec("ALTER TABLE " + SqlIdentifier(table.name) + " ADD COLUMN " + bare_sql);
  Statement& read = connection.Prepare(
      "SELECT sql, (SELECT schema_version FROM pragma_schema_version) FROM sqlite_schema "
      "WHERE type='table' AND name=?");
  read.BindText(1, table.name);
  if (!read.Step()) Raise(kDaoInputTableNotFound, table.name);
  std::string sql = read.Text(0);
  int64_t version = read.Int(1);
  read.Reset();
  std::string tail = bare_sql + ")";
  if (sql.size() < tail.size() || sql.compare(sql.size() - tail.size(), tail.size(), tail) != 0)
    Raise(kDaoReservedError, "ADD COLUMN");
  sql.replace(sql.size() - tail.size(), tail.size(), ColumnSql(table.name, field, false) + ")");
  connection.ClearCache();
  connection.Exec("PRAGMA writable_schema=ON");
  try {
    Statement& write =
        connection.Prepare("UPDATE sqlite_schema SET sql=? WHERE type='table' AND name=?");
    write.BindText(1, sql);
    write.BindText(2, table.name);
    write.Step();
    write.Reset();
    connection.Exec("PRAGMA schema_version=" + std::to_string(version + 1));
  } catch (...) {
    connection.ClearCache();
    connection.Exec("PRAGMA writable_schema=RESET");
    throw;
  }
  connection.ClearCache();
  connection.Exec("PRAGMA writable_schema=RESET");  // also reloads the schema
}

}  // namespace

void RemoveLink(Connection& connection, std::string_view name) {
  Statement& s = connection.Prepare("DELETE FROM MSysKrTables WHERE Name=?");
  s.BindText(1, name);
  s.Step();
  s.Reset();
}

bool UpgradeTextCollation(Connection& connection) {
  const std::string old_tables =
      " WHERE type='table' AND name NOT LIKE 'MSysKr%' AND sql LIKE '% COLLATE NOCASE%'";
  Statement& probe = connection.Prepare("SELECT count(*) FROM main.sqlite_schema" + old_tables);
  probe.Step();
  const bool old = probe.Int(0) > 0;
  probe.Reset();
  if (!old) return true;
  try {
    InTransaction(connection, [&] {
      Statement& version = connection.Prepare("PRAGMA main.schema_version");
      version.Step();
      const int64_t next = version.Int(0) + 1;
      version.Reset();
      // The rows keep their bytes; only the order of the indexes changes, and REINDEX redoes it.
      connection.Exec("PRAGMA writable_schema=ON");
      connection.Exec("UPDATE main.sqlite_schema SET sql=replace(sql,' COLLATE NOCASE',' COLLATE " +
                      std::string(kTextCollation) + "')" + old_tables);
      connection.Exec("PRAGMA main.schema_version=" + std::to_string(next));
      connection.Exec("PRAGMA writable_schema=OFF");
      connection.ClearCache();
      connection.Exec("REINDEX " + std::string(kTextCollation));
    });
  } catch (const Failure&) {
    try {
      connection.Exec("PRAGMA writable_schema=OFF");
    } catch (const Failure&) {
      // Off already: the failure came before it was set, or the rollback reset it.
    }
    connection.ClearCache();
    return false;
  }
  return true;
}

namespace {

// The columns of a table's CREATE TABLE: a column of the primary key or of an index WITH
// DISALLOW NULL refuses Null (3058).
std::string ColumnsSql(const TableInfo& table) {
  std::string sql = "(";
  for (size_t i = 0; i < table.fields.size(); ++i) {
    const FieldDef& f = table.fields[i];
    bool keyed = false;
    for (const IndexDef& index : table.indexes)
      if (index.primary || index.required)
        for (const auto& column : index.columns)
          if (SameName(column.first, f.name)) keyed = true;
    if (i > 0) sql += ", ";
    sql += ColumnSql(table.name, f, keyed);
  }
  return sql + ")";
}

}  // namespace

void CreateTable(Connection& connection, const TableInfo& table) {
  connection.Exec("CREATE TABLE " + SqlIdentifier(table.name) + " " + ColumnsSql(table));
  // Counters stay ordinary columns filled by a trigger, never the rowid, so keys can be renumbered.
  for (const FieldDef& f : table.fields)
    if (f.counter()) connection.Exec(CounterTrigger(table.name, f));
  Statement& row = connection.Prepare(
      "INSERT INTO MSysKrTables (Name, Connect, SourceTableName, RowidCounter) VALUES "
      "(?,'','','')");
  row.BindText(1, table.name);
  row.Step();
  row.Reset();
  for (size_t i = 0; i < table.fields.size(); ++i)
    InsertFieldRow(connection, table.name, static_cast<int>(i), table.fields[i]);
  for (const IndexDef& index : table.indexes) CreateIndex(connection, table, index);
}

void RebuildTable(Connection& connection, const TableInfo& before, const TableInfo& after) {
  assert(before.fields.size() == after.fields.size() && SameName(before.name, after.name));
  const std::string table = SqlIdentifier(after.name);
  const std::string rebuilt = SqlIdentifier("kr_rebuild:" + after.name);
  // Triggers other than counters come back as they were (relationships); counters as after says.
  std::vector<std::string> triggers;
  Statement& list = connection.Prepare(
      "SELECT sql FROM main.sqlite_schema WHERE type='trigger' AND tbl_name=? AND name NOT LIKE "
      "'kr\\_counter:%' ESCAPE '\\'");
  list.BindText(1, after.name);
  while (list.Step()) triggers.push_back(list.Text(0));
  list.Reset();
  connection.Exec("CREATE TABLE " + rebuilt + " " + ColumnsSql(after));
  std::string columns, values;
  for (size_t i = 0; i < after.fields.size(); ++i) {
    const FieldDef& old_field = before.fields[i];
    const std::string c = SqlIdentifier(old_field.name);
    const int from = old_field.type, to = after.fields[i].type;
    columns += ", " + SqlIdentifier(after.fields[i].name);
    // The new table's Currency is ten-thousandths, whatever the old one held.
    const bool same = from == to && !old_field.real_currency;
    values += ", " + (same ? c
                           : "kr_store(" + FieldValueSql(c, old_field) + "," + std::to_string(to) +
                                 "," + std::to_string(from) + ")");
  }
  connection.Exec("INSERT INTO " + rebuilt + " (rowid" + columns + ") SELECT rowid" + values +
                  " FROM " + table);
  connection.Exec("DROP TABLE " + table);
  // Other tables' relationship triggers name this one: the rename must not check them while it
  // is away, nor rewrite them.
  connection.Exec("PRAGMA legacy_alter_table=ON");
  connection.Exec("ALTER TABLE " + rebuilt + " RENAME TO " + table);
  connection.Exec("PRAGMA legacy_alter_table=OFF");
  for (const std::string& sql : triggers) connection.Exec(sql);
  for (const FieldDef& f : after.fields)
    if (f.counter()) connection.Exec(CounterTrigger(after.name, f));
  for (const IndexDef& index : after.indexes)
    if (before.FindIndex(index.name) != nullptr) connection.Exec(IndexSql(after.name, index));
  Statement& forget = connection.Prepare("DELETE FROM MSysKrFields WHERE TableName=?");
  forget.BindText(1, after.name);
  forget.Step();
  forget.Reset();
  for (size_t i = 0; i < after.fields.size(); ++i)
    InsertFieldRow(connection, after.name, static_cast<int>(i), after.fields[i]);
}

void AddColumn(Connection& connection, const TableInfo& table, const FieldDef& field) {
  std::string t = SqlIdentifier(table.name);
  std::string default_sql = ColumnDefaultSql(field);
  bool has_rows = false;
  if (!default_sql.empty()) {
    Statement& any = connection.Prepare("SELECT EXISTS (SELECT 1 FROM " + t + ")");
    any.Step();
    has_rows = any.Int(0) != 0;
    any.Reset();
  }
  // Jet leaves the rows already there Null (a Yes/No field No); SQLite's ADD COLUMN gives them
  // the default. A Required field keeps it, as its rule needs a value.
  std::string existing = field.type == kBoolean ? "0" : field.required ? "" : "NULL";
  bool rows_differ = has_rows && !existing.empty() && existing != default_sql;
  if (rows_differ && default_sql.front() == '(') {
    AddColumnWithComputedDefault(connection, table, field);
  } else {
    connection.Exec("ALTER TABLE " + t + " ADD COLUMN " + ColumnSql(table.name, field, false));
    if (rows_differ)
      connection.Exec("UPDATE " + t + " SET " + SqlIdentifier(field.name) + "=" + existing);
  }
  if (field.counter()) connection.Exec(CounterTrigger(table.name, field));
  InsertFieldRow(connection, table.name, static_cast<int>(table.fields.size()), field);
}

void DropColumn(Connection& connection, const TableInfo& table, std::string_view column) {
  int at = table.FieldIndex(column);
  if (at < 0) Raise(kDaoItemNotFound);
  for (const IndexDef& index : table.indexes)
    for (const auto& c : index.columns)
      if (SameName(c.first, column)) DropIndex(connection, table, index.name);
  const FieldDef& field = table.fields[static_cast<size_t>(at)];
  if (field.counter())
    connection.Exec("DROP TRIGGER IF EXISTS " +
                    SqlIdentifier("kr_counter:" + table.name + ":" + field.name));
  connection.Exec("ALTER TABLE " + SqlIdentifier(table.name) + " DROP COLUMN " +
                  SqlIdentifier(field.name));
  Statement& del = connection.Prepare("DELETE FROM MSysKrFields WHERE TableName=? AND Ordinal=?");
  del.BindText(1, table.name);
  del.BindInt(2, at);
  del.Step();
  del.Reset();
  Statement& renumber = connection.Prepare(
      "UPDATE MSysKrFields SET Ordinal=Ordinal-1 WHERE TableName=? AND Ordinal>?");
  renumber.BindText(1, table.name);
  renumber.BindInt(2, at);
  renumber.Step();
  renumber.Reset();
}

std::string IndexSql(std::string_view table, const IndexDef& index) {
  std::string sql = std::string("CREATE ") + (index.unique || index.primary ? "UNIQUE " : "") +
                    "INDEX " + SqlIdentifier(SqliteIndexName(table, index.name)) + " ON " +
                    SqlIdentifier(table) + " (";
  for (size_t i = 0; i < index.columns.size(); ++i) {
    if (i > 0) sql += ", ";
    sql += SqlIdentifier(index.columns[i].first);
    if (index.columns[i].second) sql += " DESC";
  }
  return sql + ")";
}

void CreateIndex(Connection& connection, const TableInfo& table, const IndexDef& index) {
  connection.Exec(IndexSql(table.name, index));
  Statement& row = connection.Prepare(
      "INSERT OR REPLACE INTO MSysKrIndexes (TableName, Name, Columns, Flags) VALUES (?,?,?,?)");
  row.BindText(1, table.name);
  row.BindText(2, index.name);
  row.BindText(3, IndexColumnsText(index));
  row.BindInt(4, (index.primary ? kIndexPrimary : 0) | (index.unique ? kIndexUnique : 0) |
                     (index.ignore_nulls ? kIndexIgnoreNulls : 0) |
                     (index.required ? kIndexRequired : 0));
  row.Step();
  row.Reset();
}

void DropIndex(Connection& connection, const TableInfo& table, std::string_view index) {
  const IndexDef* def = table.FindIndex(index);
  if (def == nullptr) Raise(kDaoNoTableOrConstraint, index);
  connection.Exec("DROP INDEX IF EXISTS " + SqlIdentifier(SqliteIndexName(table.name, def->name)));
  Statement& del = connection.Prepare("DELETE FROM MSysKrIndexes WHERE TableName=? AND Name=?");
  del.BindText(1, table.name);
  del.BindText(2, def->name);
  del.Step();
  del.Reset();
}

void DropTable(Connection& connection, const TableInfo& table) {
  if (!table.linked) {
    DropRelationshipsOf(connection, table.name);
    connection.Exec("DROP TABLE " + SqlIdentifier(table.name));
  }
  for (const char* sql :
       {"DELETE FROM MSysKrTables WHERE Name=?", "DELETE FROM MSysKrFields WHERE TableName=?",
        "DELETE FROM MSysKrIndexes WHERE TableName=?"}) {
    Statement& s = connection.Prepare(sql);
    s.BindText(1, table.name);
    s.Step();
    s.Reset();
  }
}

void AddLink(Connection& connection, const TableInfo& link) {
  Statement& row = connection.Prepare(
      "INSERT INTO MSysKrTables (Name, Connect, SourceTableName, RowidCounter) VALUES (?,?,?,'')");
  row.BindText(1, link.name);
  row.BindText(2, link.connect);
  row.BindText(3, link.source_table);
  row.Step();
  row.Reset();
}

std::string DefaultValueSql(std::string_view jet_default, int type) {
  std::string_view text = jet_default;
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!text.empty() && text.front() == '=') text.remove_prefix(1);
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (text.empty()) return {};
  std::string upper = FoldName(text);
  bool textual = type == kText || type == kMemo;
  if (upper == "now()" || upper == "date()" || upper == "time()") {
    if (textual) return {};
    if (upper == "now()") return "(julianday('now','localtime')-2415018.5)";
    if (upper == "date()") return "(floor(julianday('now','localtime')-2415018.5))";
    return "(julianday('now','localtime')-2415018.5-floor(julianday('now','localtime')-2415018.5))";
  }
  if (upper == "null") return {};
  Value value;
  if ((text.front() == '"' || text.front() == '\'') && text.size() >= 2 &&
      text.back() == text.front()) {
    std::string inner;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
      inner.push_back(text[i]);
      if (text[i] == text.front() && i + 2 < text.size() && text[i + 1] == text.front()) ++i;
    }
    value = Value(inner);
  } else if (text.front() == '#' && text.size() >= 2 && text.back() == '#') {
    value = Value(std::string(text.substr(1, text.size() - 2)));
    try {
      value = Value::Date(value.ToDate());
    } catch (const Failure&) {
      return {};
    }
  } else if (upper == "true" || upper == "yes" || upper == "on") {
    value = Value(true);
  } else if (upper == "false" || upper == "no" || upper == "off") {
    value = Value(false);
  } else {
    value = Value(std::string(text));
    if (!value.IsNumeric()) return {};
    value = Value(value.ToDouble());
  }
  try {
    if (textual) return SqlTextLiteral(value.ToText());
    if (type == kBoolean) return value.ToBoolean() ? "-1" : "0";
    if (IsIntegerType(type)) return std::to_string(value.ToLong());
    if (type == kDate) {
      char buffer[40];
      std::snprintf(buffer, sizeof buffer, "%.17g", value.ToDate());
      return buffer;
    }
    if (type == kCurrency) return std::to_string(value.ToCurrency());
    if (type == kSingle || type == kDouble) {
      double d = type == kSingle ? static_cast<double>(static_cast<float>(value.ToDouble()))
                                 : value.ToDouble();
      char buffer[40];
      std::snprintf(buffer, sizeof buffer, "%.17g", d);
      std::string s = buffer;
      if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
      return s;
    }
  } catch (const Failure&) {
  }
  return {};
}

std::string ColumnAffinity(int type) {
  switch (type) {
    case kBoolean:
    case kByte:
    case kInteger:
    case kLong:
    case kCurrency:
      return "INTEGER";
    case kSingle:
    case kDouble:
    case kDate:
      return "REAL";
    case kText:
    case kMemo:
      return std::string("TEXT COLLATE ") + kTextCollation;
    default:
      return "BLOB";
  }
}

}  // namespace kr::db::engine::internal
