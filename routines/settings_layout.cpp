// Print widths and word tables of KrSet.mdb: the 2009 and 2010 layouts.
#include <array>
#include <functional>

#include "routines/settings_routines.h"

namespace kr::routines {

namespace {

constexpr std::array<std::string_view, 2> kPrintWidthTables = {"PrintWidth", "PrintWidths"};
constexpr int kLastColumn = 16;
constexpr std::string_view kCaptionBreak = "\r\n";

std::string Column(int n) { return "pData" + std::to_string(n); }

// The value of the new column for the current row; nothing leaves the row as it is.
using NewColumnValue = std::function<std::optional<db::Value>(const db::Recordset& row)>;

// One row: the columns from the new one on move one place up, and the new one is filled.
void ShiftRow(db::Recordset& rs, const NewColumnValue& fill) {
  std::optional<db::Value> fresh = fill(rs);
  if (!fresh) return;
  std::vector<db::Value> moved;
  for (int n = kPrefecturePriceColumn; n < kLastColumn; ++n)
    moved.push_back(rs[Column(n)].GetValue());
  rs.Edit();
  for (int n = kLastColumn; n > kPrefecturePriceColumn; --n) {
    rs[Column(n)].SetValue(moved[n - 1 - kPrefecturePriceColumn]);
  }
  rs[Column(kPrefecturePriceColumn)].SetValue(*fresh);
  rs.Update();
}

// Rows 61 to 64 of one table, each row a step of its own. Pass-through for the open.
void ShiftColumns(RoutineRun& run, Database& target, std::string_view table,
                  const NewColumnValue& fill) {
  db::Recordset rs =
      target.OpenRecordset("SELECT * FROM " + std::string(table) + " WHERE [ID] BETWEEN 61 AND 64");
  for (; !rs.Eof(); rs.MoveNext()) {
    if (!run.steps.Step([&] { ShiftRow(rs, fill); })) {
      // A row that failed half-way is not saved half-shifted.
      run.steps.Step([&] {
        if (rs.EditMode() != 0) rs.CancelUpdate();
      });
    }
  }
  rs.Close();
}

// Whether row 61 of PrintWidth still names the four price columns of the old layout.
bool HasOldPriceCaptions(Database& target) {
  db::Recordset rs = target.OpenRecordset("SELECT * FROM PrintWidth WHERE [ID]=61");
  std::string found;
  for (int n = 12; n <= 15; ++n) {
    found += (n == 12 ? "" : std::string(kCaptionBreak)) + db::NzString(rs[Column(n)].GetValue());
  }
  rs.Close();
  std::string old_layout;
  for (std::string_view caption : {"標準単価", "実行単価", "見積単価1", "見積単価2"}) {
    old_layout += (old_layout.empty() ? "" : std::string(kCaptionBreak)) + std::string(caption);
  }
  return found == old_layout;
}

int64_t CountRows(Database& db, std::string_view table) {
  db::Recordset rs = db.OpenRecordset("SELECT COUNT(*) FROM [" + std::string(table) + "]",
                                      db::engine::kOpenSnapshot);
  int64_t count = db::NzNumber(rs.Fields()[0].GetValue()).scaled() / db::Currency::kScale;
  rs.Close();
  return count;
}

// Pass-through: a failed step leaves the old rows in table + "Old" for the next run.
void RebuildWordTable(Database& source, Database& target, std::string_view table) {
  if (!db::HasTable(source, table)) return;
  if (!db::HasTable(target, table)) {
    db::TransferTable(source, target, table);
    return;
  }
  std::string name(table);
  std::string old = name + "Old";
  // A left-over old table holds the rows of before an interrupted run: those come back.
  if (!db::HasTable(target, old)) {
    target.Execute("SELECT * INTO [" + old + "] FROM [" + name + "];");
  }
  db::SyncFields(source, table, target, table, true);
  db::engine::TableDefCollection defs = target.TableDefs();
  defs.Refresh();
  std::string columns;
  for (db::engine::Field field : defs[old].Fields()) {
    columns += (columns.empty() ? "[" : ",[") + field.Name() + "]";
  }
  target.Execute("DELETE FROM [" + name + "];");
  target.Execute("INSERT INTO [" + name + "] (" + columns + ") SELECT " + columns + " FROM [" +
                 old + "];");
  if (CountRows(target, name) < CountRows(target, old)) {
    LogLine("the word table " + name + " did not take back every row; " + old + " kept");
    return;
  }
  target.Execute("DROP TABLE [" + old + "];");
}

}  // namespace

void UpdatePrintWidths(RoutineRun& run, Database& target) {
  if (!HasOldPriceCaptions(target)) {
    LogLine(run.routine.name + ": the print layout is not the old one; left as it is");
    return;
  }
  NewColumnValue fill = [](const db::Recordset& row) -> std::optional<db::Value> {
    if (db::NzNumber(row["ID"].GetValue()) == db::Currency::FromInteger(61)) {
      return db::Value("県単価");
    }
    return row[Column(12)].GetValue();
  };
  for (std::string_view table : kPrintWidthTables) {
    run.steps.Step([&] { ShiftColumns(run, target, table, fill); });
  }
}

void UpdatePrintWidthsFromPackage(RoutineRun& run, Database& source, Database& target) {
  for (std::string_view table : kPrintWidthTables) {
    run.steps.Step([&] {
      db::SyncFields(source, table, target, table, true);
      db::Recordset package = source.OpenRecordset(table, db::engine::kOpenDynaset);
      NewColumnValue fill = [&](const db::Recordset& row) -> std::optional<db::Value> {
        db::Currency id = db::NzNumber(row["ID"].GetValue());
        package.FindFirst("[ID]=" + std::to_string(id.scaled() / db::Currency::kScale));
        if (package.NoMatch()) return std::nullopt;
        return package[Column(kPrefecturePriceColumn)].GetValue();
      };
      ShiftColumns(run, target, table, fill);
      package.Close();
    });
  }
}

void UpdateWordTables(RoutineRun& run, Database& source, Database& target) {
  for (std::string_view table : {"Word", "WordIndex"}) {
    run.steps.Step([&] { RebuildWordTable(source, target, table); });
  }
}

void PrintWidthUpdate(RoutineRun& run, const Step&, Database&, Database& target, VariantChooser&) {
  UpdatePrintWidths(run, target);
}

void WordTableUpdate(RoutineRun& run, const Step&, Database& source, Database& target,
                     VariantChooser&) {
  UpdateWordTables(run, source, target);
}

}  // namespace kr::routines
