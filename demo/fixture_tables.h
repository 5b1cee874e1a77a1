// Inside the fixture generator: the table layouts it knows and how each fills its rows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/engine/engine.h"
#include "demo/fixture_generator.h"

namespace kr::fixtures::internal {

// One column of a numbered fill and the Jet expression of its value for row N.
struct ColumnValue {
  std::string column;
  std::string expression;
};

// Everything a table's rows depend on.
struct FillContext {
  bool source = false;
  std::string table;     // the name asked for (with its variant suffixes)
  std::string suffixes;  // its variant suffixes ("_Hisai", "(神戸)", ...; "" for none)
  double offset = 0;     // their price offset
  std::string digits;    // three digits of a Val### family table, else ""
  std::string prefix;    // item-code prefix (digits for the Val### family)
  int rows = 0;          // rows_per_table
  int new_rows = 0;      // rows after them (sources only)
  // Per database.
  std::string version, comment;  // Version row ("" = Null)
  std::vector<std::string> districts;
  bool green_bank_index = false;
  bool kobe_index = false;
  bool civil_engineering = false;
  std::string current_year;  // the year folder the settings point at
  std::string environ_version;
};

// Runs the statements of one database's fill, with a numbers table (N = 1, 2, ...) for fills
// of many rows in one INSERT ... SELECT; the numbers table is dropped by Finish().
class TableWriter {
 public:
  explicit TableWriter(db::engine::Database& db) : db_(db) {}
  void Execute(const std::string& sql);
  // One row per N in first..last (and condition, when given).
  void InsertNumbered(const std::string& table, const std::vector<ColumnValue>& values, int first,
                      int last, std::string_view condition = {});
  // One row of literal values (Quote, Number, "Null").
  void InsertRow(const std::string& table, const std::vector<std::string>& columns,
                 const std::vector<std::string>& values);
  void Finish();

 private:
  void EnsureNumbers(int last);

  db::engine::Database& db_;
  int numbers_ = 0;
};

enum class RowKind {
  kData,   // rows 1..rows (+ new_rows in a source)
  kIndex,  // rows 1..kIndexRows (+ new_rows in a source)
  kFixed,  // only the rows of `extra`
};

struct Layout {
  std::string_view name;     // "Val###", "Val###s", "Val###_Ind" for the price-table family
  std::string_view columns;  // column definitions of CREATE TABLE
  std::string_view keys;     // primary key columns separated by ","; "" for none
  std::string_view prefix;   // item-code prefix ("" for none; the digits for the Val family)
  RowKind kind;
  std::vector<ColumnValue> (*values)(const FillContext&);  // numbered rows (kData, kIndex)
  void (*extra)(TableWriter&, const FillContext&);         // fixed rows written afterwards
  bool prefecture_columns = false;  // a source adds one price column per prefecture
};

struct ResolvedTable {
  std::string name;
  const Layout* layout = nullptr;
  std::string digits;
  std::string suffixes;
  double offset = 0;
  bool deletion = false;  // "_Delete": the keys of the base table only
};
// The layout of a table name, variant suffixes removed. Unknown: std::invalid_argument.
ResolvedTable Resolve(std::string_view table);

// The columns of the CREATE TABLE of a resolved table (keys only for "_Delete"; with the
// prefecture columns in a source).
std::string CreateTableSql(const ResolvedTable& table, bool source);
std::vector<std::string> SplitKeys(std::string_view keys);

// Three digits of the standard Val### tables, in order.
const std::vector<std::string>& StandardValDigits();
// Full prefecture names, 北海道 first (number 1) to 沖縄県 (47).
const std::vector<std::string>& PrefectureNames();

// Jet SQL pieces. Texts are quoted with '' doubled.
std::string Quote(std::string_view text);
std::string Number(double number);
std::string PadCode(std::string_view prefix, long long n);          // prefix + n, zero-padded to 10
std::string CodeSql(std::string_view prefix);                       // the same for row N
std::string PriceSql(const FillContext& c, double plus = 0);        // the row's price + plus
std::string TextSql(const FillContext& c, std::string_view label);  // label & N (+ source mark)
std::string SourceText(const FillContext& c, std::string_view text);       // text (+ source mark)
std::string UserSql(const FillContext& c, const std::string& expression);  // on n % 5 == 0
double BasePrice(bool source, double offset);                              // the price of row 0

// Row fills of the layouts (fixture_rows.cpp: prices; fixture_settings.cpp: the rest).
std::vector<ColumnValue> ValValues(const FillContext& c);
void ValExtra(TableWriter& w, const FillContext& c);
std::vector<ColumnValue> ValSubValues(const FillContext& c);
void ValSubExtra(TableWriter& w, const FillContext& c);
std::vector<ColumnValue> ValIndValues(const FillContext& c);
void ValIndExtra(TableWriter& w, const FillContext& c);
void ValIndexList(TableWriter& w, const FillContext& c);
std::vector<ColumnValue> ExplainValues(const FillContext& c);
std::vector<ColumnValue> SpeExeValues(const FillContext& c);
std::vector<ColumnValue> BookValues(const FillContext& c);
std::vector<ColumnValue> PlantValues(const FillContext& c);
std::vector<ColumnValue> PackageValues(const FillContext& c);
std::vector<ColumnValue> PoleValues(const FillContext& c);
std::vector<ColumnValue> CriValues(const FillContext& c);
void CriIndRanges(TableWriter& w, const FillContext& c);
void Districts(TableWriter& w, const FillContext& c);
std::vector<ColumnValue> CriBaseValues(const FillContext& c);
std::vector<ColumnValue> CriBaseIndValues(const FillContext& c);
std::vector<ColumnValue> PackageStandValues(const FillContext& c);
std::vector<ColumnValue> ChangeCodeValues(const FillContext& c);
std::vector<ColumnValue> RelationValues(const FillContext& c);
std::vector<ColumnValue> IndRelationValues(const FillContext& c);
std::vector<ColumnValue> RoumuValues(const FillContext& c);
std::vector<ColumnValue> WoodyValues(const FillContext& c);
std::vector<ColumnValue> ExpensesValues(const FillContext& c);
std::vector<ColumnValue> ExpOptionValues(const FillContext& c);
std::vector<ColumnValue> MinPriceValues(const FillContext& c);
std::vector<ColumnValue> ExpIndValues(const FillContext& c);
std::vector<ColumnValue> MarumeValues(const FillContext& c);
std::vector<ColumnValue> FukuriValues(const FillContext& c);
void EnvironRows(TableWriter& w, const FillContext& c);
void OpenChkRows(TableWriter& w, const FillContext& c);
std::vector<ColumnValue> SettingValues(const FillContext& c);
void SettingExtra(TableWriter& w, const FillContext& c);
std::vector<ColumnValue> SetOptionValues(const FillContext& c);
void FileOpenFindRows(TableWriter& w, const FillContext& c);
void PrintWidthRows(TableWriter& w, const FillContext& c);
std::vector<ColumnValue> PrintIndexValues(const FillContext& c);
void UserListExplainRows(TableWriter& w, const FillContext& c);
std::vector<ColumnValue> UserListValues(const FillContext& c);
void HolidayRows(TableWriter& w, const FillContext& c);
void SetWordRows(TableWriter& w, const FillContext& c);
void CoverRows(TableWriter& w, const FillContext& c);
void VersionRow(TableWriter& w, const FillContext& c);

}  // namespace kr::fixtures::internal
