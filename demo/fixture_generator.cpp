// Writes the fixture databases: one transaction per database, each table created from its
// layout and filled by a few INSERT ... SELECT statements over a numbers table, so that a
// benchmark's hundreds of thousands of rows per table take seconds, not the minutes a row-by-row
// insert through the engine would.
#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "db/passwords.h"
#include "demo/fixture_tables.h"
#include "platform/platform.h"

namespace kr::fixtures {
namespace internal {

namespace {
constexpr std::string_view kNumbers = "FixtureNumbers";

std::string ColumnList(const std::vector<std::string>& columns) {
  std::string list;
  for (const std::string& column : columns) list += (list.empty() ? "[" : ", [") + column + "]";
  return list;
}
}  // namespace

void TableWriter::Execute(const std::string& sql) { db_.Execute(sql, db::engine::kFailOnError); }

void TableWriter::EnsureNumbers(int last) {
  if (numbers_ == 0) {
    Execute("CREATE TABLE [" + std::string(kNumbers) +
            "] (N LONG NOT NULL, CONSTRAINT PrimaryKey PRIMARY KEY (N))");
    Execute("INSERT INTO [" + std::string(kNumbers) + "] (N) VALUES (1)");
    numbers_ = 1;
  }
  // Each statement doubles the table.
  while (numbers_ < last) {
    std::string step = std::to_string(numbers_);
    Execute("INSERT INTO [" + std::string(kNumbers) + "] (N) SELECT N + " + step + " FROM [" +
            std::string(kNumbers) + "] WHERE N + " + step + " <= " + std::to_string(last));
    numbers_ = std::min(2 * numbers_, last);
  }
}

void TableWriter::InsertNumbered(const std::string& table, const std::vector<ColumnValue>& values,
                                 int first, int last, std::string_view condition) {
  if (last < first) return;
  EnsureNumbers(last);
  std::vector<std::string> columns;
  std::string expressions;
  for (const ColumnValue& value : values) {
    columns.push_back(value.column);
    expressions += (expressions.empty() ? "" : ", ") + value.expression;
  }
  std::string sql = "INSERT INTO [" + table + "] (" + ColumnList(columns) + ") SELECT " +
                    expressions + " FROM [" + std::string(kNumbers) + "] WHERE N BETWEEN " +
                    std::to_string(first) + " AND " + std::to_string(last);
  if (!condition.empty()) sql += " AND (" + std::string(condition) + ")";
  Execute(sql);
}

void TableWriter::InsertRow(const std::string& table, const std::vector<std::string>& columns,
                            const std::vector<std::string>& values) {
  std::string list;
  for (const std::string& value : values) list += (list.empty() ? "" : ", ") + value;
  Execute("INSERT INTO [" + table + "] (" + ColumnList(columns) + ") VALUES (" + list + ")");
}

void TableWriter::Finish() {
  if (numbers_ > 0) Execute("DROP TABLE [" + std::string(kNumbers) + "]");
  numbers_ = 0;
}

}  // namespace internal

namespace {

using internal::FillContext;
using internal::ResolvedTable;
using internal::RowKind;

std::string Join(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/') path += '/';
  return path + std::string(name);
}

// Makes every missing folder of a native path.
void MakeFolders(const std::string& folder) {
  size_t slash = 0;
  do {
    slash = folder.find('/', slash + 1);
    std::string path = folder.substr(0, slash);
    if (!platform::Attributes(path).is_directory) platform::MakeDirectory(path);
  } while (slash != std::string::npos);
}

bool SameTable(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// Val300, Val301, ... (numbers of the standard tables skipped).
std::vector<std::string> ExtraPriceTables(int count) {
  std::vector<std::string> tables;
  const std::vector<std::string>& standard = internal::StandardValDigits();
  for (int number = 300; static_cast<int>(tables.size()) < count; ++number) {
    if (number > 999) throw std::invalid_argument("too many extra price tables");
    std::string digits = std::to_string(number);
    if (std::find(standard.begin(), standard.end(), digits) == standard.end()) {
      tables.push_back("Val" + digits);
    }
  }
  return tables;
}

// The standard tables of a database with the extra price tables before Version.
std::vector<std::string> TablesWithExtras(std::vector<std::string> tables, int extra) {
  std::vector<std::string> extras = ExtraPriceTables(extra);
  tables.insert(tables.end() - 1, extras.begin(), extras.end());
  return tables;
}

void WriteTable(internal::TableWriter& writer, const ResolvedTable& table, FillContext c) {
  const internal::Layout& layout = *table.layout;
  c.table = table.name;
  c.suffixes = table.suffixes;
  c.offset = table.offset;
  c.digits = table.digits;
  c.prefix = table.digits.empty() ? std::string(layout.prefix) : table.digits;
  writer.Execute(internal::CreateTableSql(table, c.source));
  int rows = layout.kind == RowKind::kData ? c.rows : kIndexRows;
  if (table.deletion) {
    if (layout.values == nullptr) return;
    std::vector<std::string> keys = internal::SplitKeys(layout.keys);
    std::vector<internal::ColumnValue> values;
    for (const internal::ColumnValue& value : layout.values(c)) {
      if (std::find(keys.begin(), keys.end(), value.column) != keys.end()) values.push_back(value);
    }
    writer.InsertNumbered(table.name, values, 1, rows, "N Mod 10 = 7");
    return;
  }
  if (layout.values != nullptr) {
    writer.InsertNumbered(table.name, layout.values(c), 1, rows + (c.source ? c.new_rows : 0));
  }
  if (layout.extra != nullptr) layout.extra(writer, c);
}

void MakeDatabase(const std::string& path, const std::vector<std::string>& tables,
                  const FillContext& context) {
  std::vector<ResolvedTable> resolved;
  for (const std::string& table : tables) {
    ResolvedTable t = internal::Resolve(table);
    if (t.layout->name == "Version" && context.version == "-") continue;
    resolved.push_back(std::move(t));
  }
  size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) MakeFolders(path.substr(0, slash));
  db::engine::Database db = db::engine::CreateDatabase(path, db::DatabasePassword());
  db.BeginTrans();
  internal::TableWriter writer(db);
  for (const ResolvedTable& table : resolved) WriteTable(writer, table, context);
  writer.Finish();
  db.CommitTrans();
  db.Close();
}

}  // namespace

void MakeYearFolder(const std::string& install_folder, const YearFolderSpec& year,
                    int rows_per_table, int extra_price_tables) {
  std::string folder = Join(Join(install_folder, "File"), year.name);
  FillContext context;
  context.rows = rows_per_table;
  if (year.val) {
    context.version = year.val_version;
    context.comment = year.val_comment;
    context.green_bank_index = year.green_bank_index;
    context.kobe_index = year.kobe_index;
    MakeDatabase(Join(folder, "KrVal.mdb"),
                 TablesWithExtras(StandardTables("KrVal"), extra_price_tables), context);
  }
  if (year.cri) {
    context.version = year.cri_version;
    context.comment = year.cri_comment;
    context.districts = year.districts.empty() ? DefaultDistricts() : year.districts;
    MakeDatabase(Join(folder, "KrCri.mdb"), StandardTables("KrCri"), context);
  }
  if (year.exp) {
    context.version = year.exp_version;
    context.comment = year.exp_comment;
    MakeDatabase(Join(folder, "KrExp.mdb"), StandardTables("KrExp"), context);
  }
}

void MakeInstallation(const std::string& install_folder, const InstallationSpec& spec) {
  FillContext settings;
  settings.version = spec.settings_version;
  settings.civil_engineering = spec.civil_engineering;
  settings.current_year = spec.years.empty() ? "" : spec.years.back().name;
  settings.environ_version = spec.environ_version;
  std::string file = Join(install_folder, "File");
  MakeDatabase(Join(file, "KrSet.mdb"), StandardTables("KrSet"), settings);
  MakeDatabase(Join(file, "KrSetMinPrice.mdb"), StandardTables("KrSetMinPrice"), settings);
  MakeDatabase(Join(file, "KrMasta.mdb"), StandardTables("KrMasta"), settings);
  MakeDatabase(Join(Join(install_folder, "Cover"), "KrCover.mdb"), StandardTables("KrCover"),
               settings);
  for (const YearFolderSpec& year : spec.years) {
    MakeYearFolder(install_folder, year, spec.rows_per_table, spec.extra_price_tables);
  }
}

void MakeSourceDatabase(const std::string& path, const SourceSpec& spec) {
  std::vector<std::string> tables =
      spec.tables.empty() ? StandardTables(spec.database) : spec.tables;
  if (std::none_of(tables.begin(), tables.end(),
                   [](const std::string& t) { return SameTable(t, "Version"); })) {
    tables.push_back("Version");
  }
  // Version stays last, after the extra price tables.
  std::stable_partition(tables.begin(), tables.end(),
                        [](const std::string& t) { return !SameTable(t, "Version"); });
  FillContext context;
  context.source = true;
  context.rows = spec.rows_per_table;
  context.new_rows = spec.new_rows;
  context.version = spec.version;
  context.comment = spec.comment;
  context.districts = spec.districts.empty() ? DefaultDistricts() : spec.districts;
  MakeDatabase(path, TablesWithExtras(tables, spec.extra_price_tables), context);
}

}  // namespace kr::fixtures
