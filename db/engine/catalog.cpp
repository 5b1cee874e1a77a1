#include "db/engine/catalog.h"

#include <algorithm>
#include <cstdio>

#include "db/engine/engine_errors.h"

namespace kr::db::engine::internal {

namespace {

constexpr int kIndexPrimary = 1, kIndexUnique = 2, kIndexIgnoreNulls = 4, kIndexRequired = 8;

std::string Affinity(int type) {
  switch (type) {
    case kBoolean:
    case kByte:
    case kInteger:
    case kLong:
      return "INTEGER";
    case kCurrency:
    case kSingle:
    case kDouble:
    case kDate:
      return "REAL";
    case kText:
    case kMemo:
      return "TEXT COLLATE NOCASE";
    default:
      return "BLOB";
  }
}

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
      return c + " IS NULL OR (typeof(" + c + ")='real' AND abs(" + c + ")<=922337203685477.5807)";
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
  return " CONSTRAINT " + Quote("kr_" + std::string(rule) + ":" + std::string(column)) +
         " CHECK (" + check + ")";
}

// The column definition of a field. primary_key_column: the field belongs to the primary key.
std::string ColumnSql(const FieldDef& f, bool rowid_counter, bool primary_key_column) {
  std::string c = Quote(f.name);
  if (rowid_counter) return c + " INTEGER PRIMARY KEY AUTOINCREMENT";
  std::string sql = c + " " + Affinity(f.type);
  std::string default_sql = DefaultValueSql(f.default_value, f.type);
  if (!default_sql.empty()) sql += " DEFAULT " + default_sql;
  sql += Constraint("type", f.name, TypeCheck(c, f.type));
  if ((f.type == kText || f.type == kBinary) && f.size > 0)
    sql += Constraint("size", f.name, "length(" + c + ")<=" + std::to_string(f.size));
  // A counter is filled after the row is in (by its trigger): no Null check on it.
  if (f.required && !f.counter()) sql += Constraint("req", f.name, c + " IS NOT NULL");
  if (primary_key_column && !f.counter()) sql += Constraint("pk", f.name, c + " IS NOT NULL");
  if ((f.type == kText || f.type == kMemo) && !f.allow_zero_length)
    sql += Constraint("zls", f.name, c + "<>''");
  if (!f.validation_rule.empty()) {
    std::string rule = ValidationRuleSql(f.name, f.validation_rule);
    if (!rule.empty()) sql += Constraint("rule", f.name, rule);
  }
  return sql;
}

std::string CounterTrigger(std::string_view table, std::string_view column) {
  std::string t = Quote(table), c = Quote(column);
  return "CREATE TRIGGER " + Quote("kr_counter:" + std::string(table) + ":" + std::string(column)) +
         " AFTER INSERT ON " + t + " FOR EACH ROW WHEN NEW." + c + " IS NULL BEGIN UPDATE " + t +
         " SET " + c + "=(SELECT ifnull(max(" + c + "),0)+1 FROM " + t +
         ") WHERE rowid=NEW.rowid; END";
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

int SqliteAffinityType(std::string declared) {
  for (char& ch : declared) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
  if (declared.find("INT") != std::string::npos) return kLong;
  if (declared.find("CHAR") != std::string::npos || declared.find("TEXT") != std::string::npos ||
      declared.find("CLOB") != std::string::npos)
    return kMemo;
  if (declared.find("REAL") != std::string::npos || declared.find("FLOA") != std::string::npos ||
      declared.find("DOUB") != std::string::npos)
    return kDouble;
  return kLongBinary;
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x != y && tolower(x) != tolower(y)) return false;
  }
  return true;
}

std::string FoldName(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

const FieldDef* TableInfo::FindField(std::string_view field_name) const {
  int i = FieldIndex(field_name);
  return i < 0 ? nullptr : &fields[static_cast<size_t>(i)];
}

int TableInfo::FieldIndex(std::string_view field_name) const {
  for (size_t i = 0; i < fields.size(); ++i)
    if (SameName(fields[i].name, field_name)) return static_cast<int>(i);
  return -1;
}

const IndexDef* TableInfo::FindIndex(std::string_view index_name) const {
  for (const IndexDef& index : indexes)
    if (SameName(index.name, index_name)) return &index;
  return nullptr;
}

const IndexDef* TableInfo::PrimaryKey() const {
  for (const IndexDef& index : indexes)
    if (index.primary) return &index;
  return nullptr;
}

int32_t TableInfo::Attributes() const {
  if (system) return kSystemObject;
  if (linked) return kAttachedTable;
  return 0;
}

bool IsIntegerType(int type) {
  return type == kBoolean || type == kByte || type == kInteger || type == kLong;
}

int32_t DefaultSize(int type) {
  switch (type) {
    case kBoolean:
    case kByte:
      return 1;
    case kInteger:
      return 2;
    case kLong:
    case kSingle:
      return 4;
    case kCurrency:
    case kDouble:
    case kDate:
      return 8;
    case kText:
      return 255;
    case kBinary:
      return 255;
    default:
      return 0;
  }
}

std::string SqliteIndexName(std::string_view table, std::string_view index) {
  return "kr:" + FoldName(table) + ":" + FoldName(index);
}

bool HasCatalog(Connection& connection, std::string_view schema) {
  std::string s = Quote(schema);
  Statement& probe = connection.Prepare("SELECT count(*) FROM " + s +
                                        ".sqlite_master WHERE type='table' AND name='MSysKrInfo'");
  probe.Step();
  bool present = probe.Int(0) == 1;
  probe.Reset();
  if (!present) return false;
  Statement& format =
      connection.Prepare("SELECT Value FROM " + s + ".MSysKrInfo WHERE Key='Format'");
  bool ok = format.Step() && format.Text(0) == kFormatName;
  format.Reset();
  return ok;
}

void CreateCatalog(Connection& connection) {
  connection.Exec(
      "CREATE TABLE MSysKrInfo (Key TEXT PRIMARY KEY, Value);"
      "CREATE TABLE MSysKrTables (Name TEXT PRIMARY KEY COLLATE NOCASE, Connect TEXT, "
      "SourceTableName TEXT, RowidCounter TEXT);"
      "CREATE TABLE MSysKrFields (TableName TEXT COLLATE NOCASE, Ordinal INTEGER, Name TEXT, "
      "Type INTEGER, Size INTEGER, Attributes INTEGER, Required INTEGER, AllowZeroLength "
      "INTEGER, DefaultValue TEXT, ValidationRule TEXT, PRIMARY KEY (TableName, Ordinal));"
      "CREATE TABLE MSysKrIndexes (TableName TEXT COLLATE NOCASE, Name TEXT COLLATE NOCASE, "
      "Columns TEXT, Flags INTEGER, PRIMARY KEY (TableName, Name));");
  connection.Exec("INSERT INTO MSysKrInfo VALUES ('Format'," + QuoteText(kFormatName) + ")");
}

void Catalog::Load(Connection& connection, std::string_view schema) {
  std::string s = Quote(schema) + ".";
  tables_.clear();
  Statement& t = connection.Prepare("SELECT Name, Connect, SourceTableName, RowidCounter FROM " +
                                    s + "MSysKrTables");
  while (t.Step()) {
    TableInfo info;
    info.name = t.Text(0);
    info.connect = t.Text(1);
    info.source_table = t.Text(2);
    info.rowid_counter = t.Text(3);
    info.linked = !t.IsNull(1) && !info.connect.empty();
    tables_.push_back(std::move(info));
  }
  t.Reset();
  auto find = [&](const std::string& name) -> TableInfo* {
    for (TableInfo& info : tables_)
      if (SameName(info.name, name)) return &info;
    return nullptr;
  };
  Statement& f = connection.Prepare(
      "SELECT TableName, Name, Type, Size, Attributes, Required, AllowZeroLength, DefaultValue, "
      "ValidationRule FROM " +
      s + "MSysKrFields ORDER BY TableName, Ordinal");
  while (f.Step()) {
    TableInfo* info = find(f.Text(0));
    if (info == nullptr) continue;
    FieldDef field;
    field.name = f.Text(1);
    field.type = static_cast<int>(f.Int(2));
    field.size = static_cast<int32_t>(f.Int(3));
    field.attributes = static_cast<int32_t>(f.Int(4));
    field.required = f.Int(5) != 0;
    field.allow_zero_length = f.Int(6) != 0;
    field.default_value = f.Text(7);
    field.validation_rule = f.Text(8);
    info->fields.push_back(std::move(field));
  }
  f.Reset();
  Statement& x =
      connection.Prepare("SELECT TableName, Name, Columns, Flags FROM " + s + "MSysKrIndexes");
  while (x.Step()) {
    TableInfo* info = find(x.Text(0));
    if (info == nullptr) continue;
    IndexDef index;
    index.name = x.Text(1);
    std::string columns = x.Text(2);
    size_t start = 0;
    while (start <= columns.size()) {
      size_t end = columns.find('\n', start);
      if (end == std::string::npos) end = columns.size();
      std::string column = columns.substr(start, end - start);
      bool descending = !column.empty() && column[0] == '\x01';
      if (descending) column.erase(0, 1);
      if (!column.empty()) index.columns.emplace_back(column, descending);
      start = end + 1;
    }
    int flags = static_cast<int>(x.Int(3));
    index.primary = flags & kIndexPrimary;
    index.unique = flags & kIndexUnique;
    index.ignore_nulls = flags & kIndexIgnoreNulls;
    index.required = flags & kIndexRequired;
    info->indexes.push_back(std::move(index));
  }
  x.Reset();
  // The catalog's own tables, as system tables.
  Statement& m = connection.Prepare("SELECT name FROM " + s +
                                    "sqlite_master WHERE type='table' AND name LIKE 'MSys%'");
  std::vector<std::string> system_names;
  while (m.Step()) system_names.push_back(m.Text(0));
  m.Reset();
  for (const std::string& name : system_names) {
    if (find(name) != nullptr) continue;
    TableInfo info;
    info.name = name;
    info.system = true;
    Statement& columns = connection.Prepare("SELECT name, type FROM " + s + "pragma_table_info(" +
                                            QuoteText(name) + ")");
    while (columns.Step()) {
      FieldDef field;
      field.name = columns.Text(0);
      field.type = SqliteAffinityType(columns.Text(1));
      field.size = DefaultSize(field.type);
      field.allow_zero_length = true;
      info.fields.push_back(std::move(field));
    }
    columns.Reset();
    tables_.push_back(std::move(info));
  }
  std::sort(tables_.begin(), tables_.end(), [](const TableInfo& a, const TableInfo& b) {
    return FoldName(a.name) < FoldName(b.name);
  });
}

const TableInfo* Catalog::Find(std::string_view name) const {
  for (const TableInfo& info : tables_)
    if (SameName(info.name, name)) return &info;
  return nullptr;
}

void Catalog::Add(TableInfo table) {
  Remove(table.name);
  std::string key = FoldName(table.name);
  auto at = std::find_if(tables_.begin(), tables_.end(),
                         [&](const TableInfo& t) { return FoldName(t.name) > key; });
  tables_.insert(at, std::move(table));
}

void Catalog::Remove(std::string_view name) {
  std::erase_if(tables_, [&](const TableInfo& t) { return SameName(t.name, name); });
}

void RemoveLink(Connection& connection, std::string_view name) {
  Statement& s = connection.Prepare("DELETE FROM MSysKrTables WHERE Name=?");
  s.BindText(1, name);
  s.Step();
  s.Reset();
}

void CreateTable(Connection& connection, const TableInfo& table) {
  const IndexDef* primary = table.PrimaryKey();
  std::string rowid_counter;
  if (primary != nullptr && primary->columns.size() == 1) {
    const FieldDef* f = table.FindField(primary->columns[0].first);
    (void)f;  // counters stay ordinary columns (filled by a trigger) so keys can be renumbered
  }
  std::string sql = "CREATE TABLE " + Quote(table.name) + " (";
  for (size_t i = 0; i < table.fields.size(); ++i) {
    const FieldDef& f = table.fields[i];
    bool in_primary = false;
    if (primary != nullptr)
      for (const auto& column : primary->columns)
        if (SameName(column.first, f.name)) in_primary = true;
    if (i > 0) sql += ", ";
    sql += ColumnSql(f, SameName(f.name, rowid_counter) && !rowid_counter.empty(), in_primary);
  }
  sql += ")";
  connection.Exec(sql);
  for (const FieldDef& f : table.fields)
    if (f.counter() && !SameName(f.name, rowid_counter))
      connection.Exec(CounterTrigger(table.name, f.name));
  Statement& row = connection.Prepare(
      "INSERT INTO MSysKrTables (Name, Connect, SourceTableName, RowidCounter) VALUES (?,'','',?)");
  row.BindText(1, table.name);
  row.BindText(2, rowid_counter);
  row.Step();
  row.Reset();
  for (size_t i = 0; i < table.fields.size(); ++i)
    InsertFieldRow(connection, table.name, static_cast<int>(i), table.fields[i]);
  TableInfo created = table;
  created.rowid_counter = rowid_counter;
  for (const IndexDef& index : table.indexes) CreateIndex(connection, created, index);
}

void AddColumn(Connection& connection, const TableInfo& table, const FieldDef& field) {
  connection.Exec("ALTER TABLE " + Quote(table.name) + " ADD COLUMN " +
                  ColumnSql(field, false, false));
  if (field.counter()) connection.Exec(CounterTrigger(table.name, field.name));
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
                    Quote("kr_counter:" + table.name + ":" + field.name));
  connection.Exec("ALTER TABLE " + Quote(table.name) + " DROP COLUMN " + Quote(field.name));
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
                    "INDEX " + Quote(SqliteIndexName(table, index.name)) + " ON " + Quote(table) +
                    " (";
  for (size_t i = 0; i < index.columns.size(); ++i) {
    if (i > 0) sql += ", ";
    sql += Quote(index.columns[i].first);
    if (index.columns[i].second) sql += " DESC";
  }
  return sql + ")";
}

void CreateIndex(Connection& connection, const TableInfo& table, const IndexDef& index) {
  bool rowid = index.primary && index.columns.size() == 1 && !table.rowid_counter.empty() &&
               SameName(index.columns[0].first, table.rowid_counter);
  if (!rowid) connection.Exec(IndexSql(table.name, index));
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
  connection.Exec("DROP INDEX IF EXISTS " + Quote(SqliteIndexName(table.name, def->name)));
  Statement& del = connection.Prepare("DELETE FROM MSysKrIndexes WHERE TableName=? AND Name=?");
  del.BindText(1, table.name);
  del.BindText(2, def->name);
  del.Step();
  del.Reset();
}

void DropTable(Connection& connection, const TableInfo& table) {
  if (!table.linked) connection.Exec("DROP TABLE " + Quote(table.name));
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
    if (textual) return QuoteText(value.ToText());
    if (type == kBoolean) return value.ToBoolean() ? "-1" : "0";
    if (IsIntegerType(type)) return std::to_string(value.ToLong());
    if (type == kDate) {
      char buffer[40];
      std::snprintf(buffer, sizeof buffer, "%.17g", value.ToDate());
      return buffer;
    }
    if (type == kCurrency || type == kSingle || type == kDouble) {
      double d = type == kCurrency ? static_cast<double>(value.ToCurrency()) / 10000.0
                 : type == kSingle ? static_cast<double>(static_cast<float>(value.ToDouble()))
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

}  // namespace kr::db::engine::internal
