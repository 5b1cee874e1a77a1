// The named procedures of the step notation.
#include "routines/procedures.h"

#include <array>
#include <utility>

#include "platform/failure.h"
#include "routines/index_procedures.h"
#include "routines/labour_rate.h"
#include "routines/settings_routines.h"

namespace kr::routines {

namespace {

std::string Argument(const Step& step, size_t index) {
  return index < step.arguments.size() ? step.arguments[index] : std::string();
}

// The group lists of the target replaced whole by the source's variant for this edition: the
// civil-engineering lists, else those of an installation with the Kobe group, else the standard.
void IndexVariantTransfer(RoutineRun& run, const Step&, Database& source, Database& target,
                          VariantChooser& variants) {
  std::string n = "1";
  if (variants.Decide("EnvironFlag60")) {
    n = "3";
  } else if (db::CountAboveZero(target, "SELECT COUNT(Code) FROM Val_Ind WHERE Code='200'")) {
    n = "2";
  }
  run.steps.Call([&] { db::TransferRows(source, target, "Val_Ind" + n + ",Val_Ind", "", ""); });
  run.steps.Call([&] { db::TransferRows(source, target, "Val_IndD" + n + ",Val_IndD", "", ""); });
}

// Deletes from the target table the rows whose field matches a row of the source's list table.
// Arguments: target table, field, source table.
void DeleteRowsByField(RoutineRun&, const Step& step, Database& source, Database& target,
                       VariantChooser&) {
  db::Recordset rows = source.OpenRecordset(Argument(step, 2), db::engine::kOpenSnapshot);
  db::DeleteRowsByField(target, Argument(step, 0), Argument(step, 1), rows);
  rows.Close();
}

// Attaches the source table (spec "a" or "a,b") as LinkHikitugi and runs the statements.
void ExecuteWithLink(RoutineRun&, const Step& step, Database& source, Database& target,
                     VariantChooser&) {
  std::vector<std::string> statements;
  if (!step.arguments.empty()) statements.assign(step.arguments.begin() + 1, step.arguments.end());
  db::ExecuteWithLink(source, target, Argument(step, 0), statements);
}

void ZeroNullPrices(RoutineRun&, const Step&, Database&, Database& target, VariantChooser&) {
  db::ZeroNullPrices(target);
}

// The Index captions of Val_Ind and Val_IndD taken from the source, row by row on Code.
void IndexTextsFromSource(RoutineRun& run, const Step&, Database& source, Database& target,
                          VariantChooser&) {
  for (std::string_view table : {"Val_Ind", "Val_IndD"}) {
    db::Recordset rows;
    if (!run.steps.Step([&] { rows = source.OpenRecordset(table, db::engine::kOpenSnapshot); })) {
      continue;
    }
    while (run.steps.Value(false, [&] { return !rows.Eof(); })) {
      run.steps.Step([&] {
        target.Execute("UPDATE " + std::string(table) +
                       " SET [Index]=" + db::QuoteJetText(db::NzString(rows["Index"].GetValue())) +
                       " WHERE Code=" + db::QuoteJetText(db::NzString(rows["Code"].GetValue())) +
                       ";");
      });
      if (!run.steps.Step([&] { rows.MoveNext(); })) break;
    }
    run.steps.Step([&] { rows.Close(); });
  }
}

// After the MinPrice transfer: groups 7 and 8 ordered right after the highest order below 1000.
void MinPriceSortOrder(RoutineRun&, const Step&, Database&, Database& target, VariantChooser&) {
  db::Recordset rs =
      target.OpenRecordset("SELECT MAX(SortOrder) FROM MinPrice WHERE SortOrder<1000;");
  db::Currency m = db::NzNumber(rs.Fields()[0].GetValue());
  rs.Close();
  if (m <= db::Currency()) return;
  int64_t top = m.scaled() / db::Currency::kScale;
  target.Execute("UPDATE MinPrice SET SortOrder=" + std::to_string(top + 1) +
                 " WHERE Big=7 And Mdl=0;");
  target.Execute("UPDATE MinPrice SET SortOrder=" + std::to_string(top + 2) +
                 " WHERE Big=8 And Mdl=0;");
}

// The prices of the Tohoku districts taken from the source's Cri, whose price columns are named
// by prefecture.
void TohokuDistrictPrices(RoutineRun& run, const Step&, Database& source, Database& target,
                          VariantChooser&) {
  RefreshDirectDistricts(run, source, target, "Cri", {"岩手県", "宮城県", "福島県"});
}

void MergeNumberIni(RoutineRun& run, const Step&, Database&, Database&, VariantChooser&) {
  db::MergeNumberIni(run.context);
}

// In OpenChk, the first row for KrExp accepts the versions of the 2009 releases.
void OpenChkVersion(RoutineRun&, const Step&, Database&, Database& target, VariantChooser&) {
  db::Recordset rs = target.OpenRecordset("SELECT * FROM OpenChk");
  for (; !rs.Eof(); rs.MoveNext()) {
    if (db::NzString(rs["MdbName"].GetValue()) != "KrExp") continue;
    rs.Edit();
    rs["Version"].SetValue(db::Value("2009,1,0;2009,1,99"));
    rs.Update();
    break;
  }
  rs.Close();
}

constexpr std::array<std::pair<std::string_view, Procedure>, 21> kProcedures = {{
    {"IndexVariantTransfer", IndexVariantTransfer},
    {"DeleteRowsByField", DeleteRowsByField},
    {"ExecuteWithLink", ExecuteWithLink},
    {"ZeroNullPrices", ZeroNullPrices},
    {"IndexTextsFromSource", IndexTextsFromSource},
    {"MinPriceSortOrder", MinPriceSortOrder},
    {"TohokuDistrictPrices", TohokuDistrictPrices},
    {"MergeNumberIni", MergeNumberIni},
    {"OpenChkVersion", OpenChkVersion},
    {"RefreshDistrictPrices", RefreshDistrictPricesStep},
    {"RefreshLabourPrices", RefreshLabourPricesStep},
    {"BigIndexRefresh", BigIndexRefresh},
    {"ExpenseGroupInsertion", ExpenseGroupInsertion},
    {"UnitPriceGroupRemoval", UnitPriceGroupRemoval},
    {"IndexRowInsertion", IndexRowInsertion},
    {"NameRefresh", NameRefresh},
    {"IndexCopy", IndexCopy},
    {"PrintWidthUpdate", PrintWidthUpdate},
    {"WordTableUpdate", WordTableUpdate},
    {"HolidaysAndMaps", HolidaysAndMaps},
    {"UserListRows", UserListRows},
}};

}  // namespace

Procedure FindProcedure(std::string_view name) {
  for (const auto& [known, procedure] : kProcedures) {
    if (known == name) return procedure;
  }
  return nullptr;
}

bool ProcedureKnown(std::string_view name) { return FindProcedure(name) != nullptr; }

}  // namespace kr::routines
