// The catalog: names, table definitions, and loading them from the MSysKr tables.
#include "db/engine/catalog.h"

#include <algorithm>

#include "db/engine/dao_errors.h"

namespace kr::db::engine::internal {

namespace {

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

void MarkRealColumn(TableInfo& info, const std::string& column) {
  for (FieldDef& f : info.fields)
    if (f.type == kCurrency && SameName(f.name, column)) f.real_currency = true;
}

// Older builds stored Currency as REAL units: their columns are read as they are.
void MarkRealCurrency(Connection& connection, const std::string& schema_dot, TableInfo& info) {
  bool any = false;
  for (const FieldDef& f : info.fields) any = any || f.type == kCurrency;
  if (!any || info.linked) return;
  Statement& columns = connection.Prepare("SELECT name FROM " + schema_dot +
                                          "pragma_table_info(?) WHERE type='REAL'");
  columns.BindText(1, info.name);
  while (columns.Step()) MarkRealColumn(info, columns.Text(0));
  columns.Reset();
}

// Holds one read of schema open while it lives, so that the statements run meanwhile share its
// lock instead of each taking and dropping the file's lock. Nothing when a transaction of the
// connection already holds it.
class SharedRead {
 public:
  SharedRead(Connection& connection, const std::string& schema_dot) {
    if (!sqlite3_get_autocommit(connection.handle())) return;
    holder_ = connection.PrepareOwned("SELECT 1 FROM " + schema_dot + "sqlite_master");
    if (!holder_->Step()) holder_.reset();
  }
  ~SharedRead() {
    if (holder_ != nullptr) holder_->Reset();
  }
  SharedRead(const SharedRead&) = delete;
  SharedRead& operator=(const SharedRead&) = delete;

 private:
  std::unique_ptr<Statement> holder_;
};

}  // namespace

std::string FieldValueSql(const std::string& stored_sql, const FieldDef& field) {
  if (!ScaledCurrency(field)) return stored_sql;
  return "(" + stored_sql + "/10000.0)";
}

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
  std::string s = SqlIdentifier(schema);
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
  connection.Exec("INSERT INTO MSysKrInfo VALUES ('Format'," + SqlTextLiteral(kFormatName) + ")");
}

namespace {

// The columns of a field row, from first on: Name, Type, Size, Attributes, Required,
// AllowZeroLength, DefaultValue, ValidationRule.
FieldDef ReadField(Statement& row, int first) {
  FieldDef field;
  field.name = row.Text(first);
  field.type = static_cast<int>(row.Int(first + 1));
  field.size = static_cast<int32_t>(row.Int(first + 2));
  field.attributes = static_cast<int32_t>(row.Int(first + 3));
  field.required = row.Int(first + 4) != 0;
  field.allow_zero_length = row.Int(first + 5) != 0;
  field.default_value = row.Text(first + 6);
  field.validation_rule = row.Text(first + 7);
  return field;
}

// The columns of an index row, from first on: Name, Columns, Flags.
IndexDef ReadIndex(Statement& row, int first) {
  IndexDef index;
  index.name = row.Text(first);
  std::string columns = row.Text(first + 1);
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
  int flags = static_cast<int>(row.Int(first + 2));
  index.primary = flags & kIndexPrimary;
  index.unique = flags & kIndexUnique;
  index.ignore_nulls = flags & kIndexIgnoreNulls;
  index.required = flags & kIndexRequired;
  return index;
}

// The columns of a table row: Name, Connect, SourceTableName.
TableInfo ReadTable(Statement& row) {
  TableInfo info;
  info.name = row.Text(0);
  info.connect = row.Text(1);
  info.source_table = row.Text(2);
  info.linked = !row.IsNull(1) && !info.connect.empty();
  return info;
}

}  // namespace

void Catalog::Load(Connection& connection, std::string_view schema) {
  std::string s = SqlIdentifier(schema) + ".";
  tables_.clear();
  // Every open and reopen reads the whole catalog: one lock cycle for all of it.
  SharedRead read(connection, s);
  Statement& table_rows =
      connection.Prepare("SELECT Name, Connect, SourceTableName FROM " + s + "MSysKrTables");
  while (table_rows.Step()) tables_.push_back(ReadTable(table_rows));
  table_rows.Reset();
  // Field and index rows come grouped by table: the last table found is mostly the next one.
  TableInfo* last = nullptr;
  auto find = [&](const std::string& name) -> TableInfo* {
    if (last != nullptr && last->name == name) return last;
    for (TableInfo& info : tables_) {
      if (SameName(info.name, name)) return last = &info;
    }
    return nullptr;
  };
  Statement& field_rows = connection.Prepare(
      "SELECT TableName, Name, Type, Size, Attributes, Required, AllowZeroLength, DefaultValue, "
      "ValidationRule FROM " +
      s + "MSysKrFields ORDER BY TableName, Ordinal");
  while (field_rows.Step()) {
    TableInfo* info = find(field_rows.Text(0));
    if (info != nullptr) info->fields.push_back(ReadField(field_rows, 1));
  }
  field_rows.Reset();
  // One look at every table's REAL columns rather than one statement per table.
  Statement& real_columns = connection.Prepare(
      "SELECT t.Name, p.name FROM " + s + "MSysKrTables AS t, pragma_table_info(t.Name, " +
      SqlTextLiteral(schema) + ") AS p WHERE ifnull(t.Connect, '')='' AND t.Name IN (SELECT " +
      "TableName FROM " + s + "MSysKrFields WHERE Type=" + std::to_string(kCurrency) +
      ") AND p.type='REAL'");
  while (real_columns.Step()) {
    TableInfo* info = find(real_columns.Text(0));
    if (info != nullptr && !info->linked) MarkRealColumn(*info, real_columns.Text(1));
  }
  real_columns.Reset();
  // In the order the rows were written, as ReloadTable reads them.
  Statement& index_rows = connection.Prepare("SELECT TableName, Name, Columns, Flags FROM " + s +
                                             "MSysKrIndexes ORDER BY rowid");
  while (index_rows.Step()) {
    TableInfo* info = find(index_rows.Text(0));
    if (info != nullptr) info->indexes.push_back(ReadIndex(index_rows, 1));
  }
  index_rows.Reset();
  // The catalog's own tables, as system tables.
  Statement& system_rows = connection.Prepare(
      "SELECT name FROM " + s + "sqlite_master WHERE type='table' AND name LIKE 'MSys%'");
  std::vector<std::string> system_names;
  while (system_rows.Step()) system_names.push_back(system_rows.Text(0));
  system_rows.Reset();
  // Gathered apart: a push_back into tables_ here would leave find's cached pointer dangling.
  std::vector<TableInfo> system_tables;
  for (const std::string& name : system_names) {
    if (find(name) != nullptr) continue;
    TableInfo info;
    info.name = name;
    info.system = true;
    Statement& columns = connection.Prepare("SELECT name, type FROM " + s + "pragma_table_info(" +
                                            SqlTextLiteral(name) + ")");
    while (columns.Step()) {
      FieldDef field;
      field.name = columns.Text(0);
      field.type = SqliteAffinityType(columns.Text(1));
      field.size = DefaultSize(field.type);
      field.allow_zero_length = true;
      info.fields.push_back(std::move(field));
    }
    columns.Reset();
    system_tables.push_back(std::move(info));
  }
  std::move(system_tables.begin(), system_tables.end(), std::back_inserter(tables_));
  std::sort(tables_.begin(), tables_.end(), [](const TableInfo& a, const TableInfo& b) {
    return FoldName(a.name) < FoldName(b.name);
  });
}

void Catalog::ReloadTable(Connection& connection, std::string_view schema, std::string_view name) {
  std::string s = SqlIdentifier(schema) + ".";
  Remove(name);
  Statement& table_row = connection.Prepare("SELECT Name, Connect, SourceTableName FROM " + s +
                                            "MSysKrTables WHERE Name=?");
  table_row.BindText(1, name);
  if (!table_row.Step()) {
    table_row.Reset();
    return;
  }
  TableInfo info = ReadTable(table_row);
  table_row.Reset();
  Statement& field_rows = connection.Prepare(
      "SELECT Name, Type, Size, Attributes, Required, AllowZeroLength, DefaultValue, "
      "ValidationRule FROM " +
      s + "MSysKrFields WHERE TableName=? ORDER BY Ordinal");
  field_rows.BindText(1, info.name);
  while (field_rows.Step()) info.fields.push_back(ReadField(field_rows, 0));
  field_rows.Reset();
  MarkRealCurrency(connection, s, info);
  Statement& index_rows = connection.Prepare("SELECT Name, Columns, Flags FROM " + s +
                                             "MSysKrIndexes WHERE TableName=? ORDER BY rowid");
  index_rows.BindText(1, info.name);
  while (index_rows.Step()) info.indexes.push_back(ReadIndex(index_rows, 0));
  index_rows.Reset();
  Add(std::move(info));
}

const TableInfo* Catalog::Find(std::string_view name) const {
  // Looked up for every field a caller reads: a search in the folded order, without copies.
  auto fold = [](char c) {
    return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  };
  auto before = [&](const TableInfo& info, std::string_view wanted) {
    return std::lexicographical_compare(info.name.begin(), info.name.end(), wanted.begin(),
                                        wanted.end(),
                                        [&](char a, char b) { return fold(a) < fold(b); });
  };
  auto at = std::lower_bound(tables_.begin(), tables_.end(), name, before);
  return at != tables_.end() && SameName(at->name, name) ? &*at : nullptr;
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

}  // namespace kr::db::engine::internal
