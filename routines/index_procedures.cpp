// The index-structure procedures of the step notation.
#include "routines/index_procedures.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/failure.h"

namespace kr::routines {

namespace {

using db::Recordset;
using db::Value;
using db::engine::kOpenDynaset;
using db::engine::kOpenSnapshot;

// A big-index caption owns the IDs from its first row up to this many more.
constexpr int64_t kBlockSize = 10000;

// The columns of a range row besides its ID.
constexpr std::array<std::string_view, 5> kRangeColumns = {"StrtCode", "EndCode", "BigIndex",
                                                           "MdlIndex", "SmlIndex"};

// The caption given to group 890 once group 880 is gone.
constexpr std::string_view kPackageCaption = "国土交通省歩掛 ※施工ﾊﾟｯｹｰｼﾞ対応";

// The notation's "KB" argument: the knowledge-base tables instead of the price tables.
bool KnowledgeBase(const Step& step) {
  return !step.arguments.empty() && step.arguments.front() == "KB";
}

// ID of the current row (Null as 0). Raises 3021 without a current row.
int32_t IdOf(const Recordset& rs) { return db::NzNumber(rs["ID"].GetValue()).ToInt32(); }

// ID of the first row the statement gives; nothing when it gives none.
std::optional<int32_t> FirstId(Database& db, const std::string& sql) {
  Recordset rs = db.OpenRecordset(sql, kOpenSnapshot);
  std::optional<int32_t> id;
  if (!rs.Eof()) id = IdOf(rs);
  rs.Close();
  return id;
}

// The block of a caption whose first row has the ID first. No blank before "AND": the statements
// have always been written so, and the translator reads the number and the keyword apart.
std::string BlockCondition(int64_t first) {
  return "[ID]>=" + std::to_string(first) + "AND [ID]<" + std::to_string(first + kBlockSize);
}

// Runs each for every row of rows, one step per row, so that a row that cannot be written is
// skipped; ends when the walk itself fails.
template <class F>
void ForEachRow(RoutineRun& run, Recordset& rows, F&& each) {
  while (run.steps.Value(false, [&] { return !rows.Eof(); })) {
    run.steps.Step(each);
    if (!run.steps.Step([&] { rows.MoveNext(); })) break;
  }
}

void CloseAll(RoutineRun& run, std::initializer_list<Recordset*> recordsets) {
  for (Recordset* rs : recordsets) run.steps.Step([&] { rs->Close(); });
}

}  // namespace

void BigIndexRefresh(RoutineRun& run, const Step& step, Database& source, Database& target,
                     VariantChooser&) {
  std::string caption = step.arguments.empty() ? std::string() : step.arguments.front();
  std::string select = "SELECT [ID] FROM Cri_Ind WHERE BigIndex=" + db::QuoteJetText(caption);
  int64_t t = run.steps.Value<int64_t>(-1, [&] { return FirstId(target, select).value_or(-1); });
  int64_t s = run.steps.Value<int64_t>(-1, [&] { return FirstId(source, select).value_or(-1); });
  if (t <= 0 || s <= 0) return;

  run.steps.Step([&] { target.Execute("DELETE FROM Cri_Ind WHERE " + BlockCondition(t)); });
  Recordset rows, table;
  if (!run.steps.Step([&] {
        rows =
            source.OpenRecordset("SELECT * FROM Cri_Ind WHERE " + BlockCondition(s), kOpenSnapshot);
        table = target.OpenRecordset("Cri_Ind");
      })) {
    return;
  }
  ForEachRow(run, rows, [&] {
    table.AddNew();
    table["ID"].SetValue(Value(IdOf(rows) + t - s));
    for (std::string_view column : kRangeColumns) table[column].SetValue(rows[column].GetValue());
    table.Update();
  });
  CloseAll(run, {&rows, &table});
}

void ExpenseGroupInsertion(RoutineRun& run, const Step&, Database& source, Database& target,
                           VariantChooser&) {
  int16_t n = run.steps.Value<int16_t>(0, [&] {
    Recordset rs = target.OpenRecordset("SELECT * FROM Exp_Ind WHERE Big=11", kOpenSnapshot);
    int16_t id = db::NzNumber(rs["ID"].GetValue()).ToInt16();
    rs.Close();
    return id;
  });
  if (n <= 0) return;

  run.steps.Step(
      [&] { target.Execute("UPDATE Exp_Ind SET [ID]=[ID]+1 WHERE [ID]>=" + std::to_string(n)); });
  run.steps.Step([&] {
    Recordset group = source.OpenRecordset("SELECT * FROM Exp_Ind WHERE Big=34", kOpenSnapshot);
    Recordset table = target.OpenRecordset("Exp_Ind");
    table.AddNew();
    table["ID"].SetValue(Value::Integer(n));
    for (std::string_view column : {"Big", "Name", "Visible"}) {
      table[column].SetValue(group[column].GetValue());
    }
    table.Update();
    table.Close();
    group.Close();
  });
}

void UnitPriceGroupRemoval(RoutineRun& run, const Step&, Database&, Database& target,
                           VariantChooser&) {
  for (std::string table : {"Val_Ind", "Val_IndD"}) {
    std::optional<int32_t> n = run.steps.Value<std::optional<int32_t>>(std::nullopt, [&] {
      return FirstId(target, "SELECT * FROM " + table + " WHERE [Code]='880';");
    });
    if (!n) continue;
    run.steps.Step([&] { target.Execute("DELETE FROM " + table + " WHERE [Code]='880';"); });
    run.steps.Step([&] {
      target.Execute("UPDATE " + table + " SET [ID]=[ID]-1 WHERE [ID]>" + std::to_string(*n) + ";");
    });
    run.steps.Step([&] {
      target.Execute("UPDATE " + table + " SET [Index]=" + db::QuoteJetText(kPackageCaption) +
                     " WHERE [Code]='890';");
    });
  }
}

void IndexRowInsertion(RoutineRun& run, const Step&, Database& source, Database& target,
                       VariantChooser&) {
  Recordset range;
  int32_t n = 0;
  run.steps.Step([&] {
    range = target.OpenRecordset("SELECT * FROM Cri_Ind WHERE StrtCode='1001990000'", kOpenDynaset);
    n = IdOf(range);
  });
  if (n <= 0) return;

  run.steps.Step([&] {
    range.Edit();
    range["ID"].SetValue(Value(static_cast<int64_t>(n) + 1));
    range.Update();
  });
  CloseAll(run, {&range});
  run.steps.Step([&] {
    Recordset row =
        source.OpenRecordset("SELECT * FROM Cri_Ind WHERE StrtCode='1001910000'", kOpenSnapshot);
    if (row.Eof()) {
      row.Close();
      return;
    }
    Recordset table = target.OpenRecordset("Cri_Ind");
    table.AddNew();
    table["ID"].SetValue(Value::Long(n));
    for (std::string_view column : kRangeColumns) {
      table[column].SetValue(Value(db::NzString(row[column].GetValue())));
    }
    table.Update();
    table.Close();
    row.Close();
  });
}

void NameRefresh(RoutineRun& run, const Step& step, Database& source, Database& target,
                 VariantChooser&) {
  bool kb = KnowledgeBase(step);
  std::string items = kb ? "Cri_KB" : "Cri";
  std::string names = kb ? "Cri_NameStand_KB" : "Cri_NameStand";
  Recordset table, rows;
  if (!run.steps.Step([&] {
        table = target.OpenRecordset("SELECT * FROM " + items, kOpenDynaset);
        rows = source.OpenRecordset("SELECT * FROM " + names, kOpenSnapshot);
      })) {
    return;
  }
  ForEachRow(run, rows, [&] {
    table.FindFirst("Code=" + db::QuoteJetText(db::NzString(rows["Code"].GetValue())));
    if (table.NoMatch()) return;
    table.Edit();
    for (std::string_view column : {"cName", "cStand", "cUnit"}) {
      table[column].SetValue(rows[column].GetValue());
    }
    table.Update();
  });
  CloseAll(run, {&rows, &table});
}

void IndexCopy(RoutineRun& run, const Step& step, Database& source, Database& target,
               VariantChooser&) {
  std::string table = KnowledgeBase(step) ? "Cri_IndKB" : "Cri_Ind";

  // Rows whose ID the target already has stay as they are.
  Recordset ranges, rows;
  std::set<int64_t> present;
  if (run.steps.Step([&] {
        ranges = target.OpenRecordset(table);
        for (; !ranges.Eof(); ranges.MoveNext()) {
          present.insert(db::NzNumber(ranges["ID"].GetValue()).scaled());
        }
        rows = source.OpenRecordset(table, kOpenSnapshot);
      })) {
    ForEachRow(run, rows, [&] {
      int64_t id = db::NzNumber(rows["ID"].GetValue()).scaled();
      if (present.contains(id)) return;
      ranges.AddNew();
      ranges["ID"].SetValue(rows["ID"].GetValue());
      for (std::string_view column : kRangeColumns) {
        ranges[column].SetValue(rows[column].GetValue());
      }
      ranges.Update();
      present.insert(id);
    });
    CloseAll(run, {&rows, &ranges});
  }

  Recordset captions;
  if (!run.steps.Step([&] {
        captions = source.OpenRecordset("SELECT * FROM " + table + "_SmlIndex", kOpenSnapshot);
        ranges = target.OpenRecordset("SELECT * FROM " + table, kOpenDynaset);
      })) {
    return;
  }
  ForEachRow(run, captions, [&] {
    ranges.FindFirst("StrtCode=" + db::QuoteJetText(db::NzString(captions["StrtCode"].GetValue())));
    if (ranges.NoMatch()) return;
    ranges.Edit();
    ranges["SmlIndex"].SetValue(captions["SmlIndex"].GetValue());
    ranges.Update();
  });
  CloseAll(run, {&captions, &ranges});
}

}  // namespace kr::routines
