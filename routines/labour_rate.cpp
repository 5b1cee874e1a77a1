// The district-price refresh shared by the labour-rate routines and most price routines since
// 2012, and the numbering of new items within their index range.
#include <optional>

#include "routines/labour_rate.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "platform/failure.h"

namespace kr::routines {

namespace {

using db::Currency;

constexpr std::string_view kLink = "LinkHikitugi";
constexpr int kDistricts = 10;

// Names go into statements inside brackets; one that would close the bracket cannot.
bool Bracketable(std::string_view name) {
  return !name.empty() && name.find_first_of("[]") == std::string_view::npos;
}

// A percentage as the factor it stands for, rounded to the currency's four decimals (half to
// even), as the factor table of fixed-point numbers holds it.
Currency Percent(Currency percent) {
  int64_t scaled = percent.scaled();
  int64_t quotient = scaled / 100;
  int64_t remainder = std::llabs(scaled % 100);
  if (remainder > 50 || (remainder == 50 && quotient % 2 != 0)) quotient += scaled < 0 ? -1 : 1;
  return Currency::FromScaled(quotient);
}

// "1.05", "1.1", "2", "-0.5": the number as written by hand, whatever the locale.
std::string PlainNumber(Currency number) {
  int64_t scaled = number.scaled();
  uint64_t magnitude = scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : scaled;
  std::string text = (scaled < 0 ? "-" : "") + std::to_string(magnitude / Currency::kScale);
  uint64_t fraction = magnitude % Currency::kScale;
  if (fraction == 0) return text;
  std::string digits = std::to_string(fraction + Currency::kScale).substr(1);
  while (digits.back() == '0') digits.pop_back();
  return text + "." + digits;
}

// What 地区名 says about the districts 1 to 10 (index 0 unused).
struct Districts {
  std::array<bool, kDistricts + 1> direct{};
  std::array<int16_t, kDistricts + 1> base{};
  std::array<Currency, kDistricts + 1> factor{};
  std::string assignments;  // the direct districts' ",[T].PriceN=LinkHikitugi.[pref]"
};

// One row of 地区名. Pass-through: a row whose ID does not convert fails as a whole.
// only: the prefectures whose districts count (empty: all).
void ReadDistrict(db::Recordset& rows, std::string_view comment_column, Database& source,
                  const std::string& table, const std::vector<std::string>& only,
                  Districts& districts) {
  int16_t id = db::NzNumber(rows["ID"].GetValue()).ToInt16();
  std::vector<std::string> parts =
      support::Split(db::NzString(rows[comment_column].GetValue()), ",");
  if (parts.size() < 3) parts.resize(3);
  if (id < 1 || id > kDistricts) {
    LogLine("district " + std::to_string(id) + " has no price column; left alone");
    return;
  }
  std::string kind = support::Trim(parts[1]);
  if (kind == "×") {
    districts.factor[id] = Percent(db::NzNumber(db::Value(parts[2])));
    districts.base[id] =
        db::NzNumber(db::Value(support::ReplaceAll(parts[0], "単価", ""))).ToInt16();
    return;
  }
  std::string prefecture = db::FullPrefectureName(kind);
  if (!only.empty() && std::find(only.begin(), only.end(), prefecture) == only.end()) return;
  if (!Bracketable(prefecture) || !db::HasField(source, table, prefecture)) return;
  districts.direct[id] = true;
  districts.assignments += ",[" + table + "].Price" + std::to_string(id) + "=" +
                           std::string(kLink) + ".[" + prefecture + "]";
}

Districts ReadDistricts(RoutineRun& run, Database& source, Database& target,
                        const std::string& table, std::string_view comment_column,
                        const std::vector<std::string>& only = {}) {
  Districts districts;
  if (comment_column.empty()) {
    LogLine(run.routine.name + ": no district comments for table " + table);
    return districts;
  }
  db::Recordset rows;
  if (!run.steps.Step([&] { rows = target.OpenRecordset("地区名", db::engine::kOpenSnapshot); })) {
    return districts;
  }
  while (run.steps.Value(false, [&] { return !rows.Eof(); })) {
    run.steps.Step([&] { ReadDistrict(rows, comment_column, source, table, only, districts); });
    if (!run.steps.Step([&] { rows.MoveNext(); })) break;
  }
  run.steps.Step([&] { rows.Close(); });
  return districts;
}

// Derived districts from the prices of their base as they stand after the direct ones.
std::string DerivedAssignments(const Districts& districts, const std::string& table) {
  std::string assignments;
  for (int id = 1; id <= kDistricts; ++id) {
    int16_t base = districts.base[id];
    Currency factor = districts.factor[id];
    if (districts.direct[id] || factor == Currency() || base <= 0) continue;
    if (base > kDistricts) continue;  // no such price column: it would spoil the whole update
    std::string by = PlainNumber(factor);
    if (factor < Currency()) by = "(" + by + ")";
    assignments += ",[" + table + "].Price" + std::to_string(id) + "=INT([" + table + "].Price" +
                   std::to_string(base) + "*" + by + ")";
  }
  return assignments;
}

// LinkHikitugi for the source table, replacing one a failed run left; empty when that failed.
void AttachLink(RoutineRun& run, std::optional<db::AttachedTable>& link, Database& source,
                Database& target, const std::string& table) {
  run.steps.Step([&] { link.emplace(target, kLink, source, table); });
}

void DropLink(RoutineRun& run, std::optional<db::AttachedTable>& link) {
  if (link) run.steps.Step([&] { link->Drop(); });
}

// With LinkHikitugi attached for table.
void PriceSteps(RoutineRun& run, Database& source, Database& target, const std::string& table,
                NameSteps names, std::string_view comment_column) {
  const std::string t = "[" + table + "]";
  const std::string join =
      "UPDATE " + t + " INNER JOIN LinkHikitugi ON " + t + ".Code=LinkHikitugi.Code SET ";
  if (names == NameSteps::kWith) {
    run.steps.Step([&] {
      target.Execute("INSERT INTO " + t +
                     " ([Code],[cName],[cStand],[cUnit]) SELECT LinkHikitugi.[Code],"
                     "LinkHikitugi.[cName],LinkHikitugi.[cStand],LinkHikitugi.[cUnit] "
                     "FROM [LinkHikitugi];");
    });
    run.steps.Step([&] {
      target.Execute(join + t + ".[Code]=LinkHikitugi.[Code]," + t +
                     ".[cName]=LinkHikitugi.[cName]," + t + ".[cStand]=LinkHikitugi.[cStand]," + t +
                     ".[cUnit]=LinkHikitugi.[cUnit];");
    });
  }
  Districts districts = ReadDistricts(run, source, target, table, comment_column);
  if (!districts.assignments.empty()) {
    run.steps.Step([&] { target.Execute(join + districts.assignments.substr(1) + ";"); });
  }
  std::string derived = DerivedAssignments(districts, table);
  if (!derived.empty()) {
    run.steps.Step([&] { target.Execute(join + derived.substr(1) + ";"); });
  }
  for (int id = 1; id <= kDistricts; ++id) {
    std::string column = t + ".Price" + std::to_string(id);
    run.steps.Step([&] { target.Execute(join + column + "=0 WHERE ISNULL(" + column + ");"); });
  }
}

// The row's Index after the highest of its range. Pass-through.
void NumberItem(Database& target, db::Recordset& item, const std::string& table,
                std::string_view index_table) {
  std::string code = db::NzString(item["Code"].GetValue());
  db::Recordset range = target.OpenRecordset("SELECT * FROM [" + std::string(index_table) +
                                                 "] WHERE [StrtCode]<=" + db::QuoteJetText(code) +
                                                 " AND [EndCode]>" + db::QuoteJetText(code) + ";",
                                             db::engine::kOpenSnapshot);
  if (range.Eof()) {
    range.Close();
    return;
  }
  std::string start = db::NzString(range["StrtCode"].GetValue());
  std::string end = db::NzString(range["EndCode"].GetValue());
  range.Close();
  db::Recordset top = target.OpenRecordset("SELECT MAX([Index]) FROM [" + table +
                                               "] WHERE Code>=" + db::QuoteJetText(start) +
                                               " AND Code<" + db::QuoteJetText(end) + ";",
                                           db::engine::kOpenSnapshot);
  Currency highest = db::NzNumber(top.Fields()[0].GetValue());
  top.Close();
  if (highest <= Currency()) return;
  item.Edit();
  item["Index"].SetValue(db::Value::Currency(highest.scaled() + Currency::kScale));
  item.Update();
}

void NumberNewItems(RoutineRun& run, Database& target, const std::string& table,
                    std::string_view index_table) {
  db::Recordset items;
  if (!run.steps.Step([&] {
        items = target.OpenRecordset("SELECT * FROM [" + table + "] WHERE [Index]=0 ORDER BY Code;",
                                     db::engine::kOpenDynaset);
      })) {
    return;
  }
  while (run.steps.Value(false, [&] { return !items.Eof(); })) {
    if (!run.steps.Step([&] { NumberItem(target, items, table, index_table); })) {
      run.steps.Step([&] {
        if (items.EditMode() != 0) items.CancelUpdate();
      });
    }
    if (!run.steps.Step([&] { items.MoveNext(); })) break;
  }
  run.steps.Step([&] { items.Close(); });
}

std::string Argument(const Step& step, size_t index) {
  return index < step.arguments.size() ? step.arguments[index] : std::string();
}

}  // namespace

void RefreshLabourPrices(RoutineRun& run, Database& source, Database& target,
                         std::string_view table, NameSteps names, std::string_view comment_column) {
  std::string name(table);
  if (!Bracketable(name)) {
    LogLine(run.routine.name + ": no table to refresh the district prices of");
    return;
  }
  std::optional<db::AttachedTable> link;
  AttachLink(run, link, source, target, name);
  if (link) PriceSteps(run, source, target, name, names, comment_column);
  DropLink(run, link);
}

void RefreshDistrictPrices(RoutineRun& run, Database& source, Database& target,
                           std::string_view table) {
  std::string name(table);
  if (!Bracketable(name)) {
    LogLine(run.routine.name + ": no table to refresh the district prices of");
    return;
  }
  std::string kind = support::UpperCase(name);
  std::string_view index_table;
  std::string_view comment_column;
  if (kind == "CRI") {
    index_table = "Cri_Ind";
    comment_column = "コメント";
  } else if (kind == "CRI_KB") {
    index_table = "Cri_IndKB";
    comment_column = "コメント_建設物価";
  }
  std::optional<db::AttachedTable> link;
  AttachLink(run, link, source, target, name);
  if (!link) return;
  PriceSteps(run, source, target, name, NameSteps::kWithout, comment_column);
  if (!index_table.empty()) NumberNewItems(run, target, name, index_table);
  DropLink(run, link);
}

void RefreshDirectDistricts(RoutineRun& run, Database& source, Database& target,
                            std::string_view table, const std::vector<std::string>& prefectures) {
  std::string name(table);
  std::optional<db::AttachedTable> link;
  AttachLink(run, link, source, target, name);
  if (!link) return;
  Districts districts = ReadDistricts(run, source, target, name, "コメント", prefectures);
  if (!districts.assignments.empty()) {
    run.steps.Step([&] {
      target.Execute("UPDATE [" + name + "] INNER JOIN LinkHikitugi ON [" + name +
                     "].Code=LinkHikitugi.Code SET " + districts.assignments.substr(1) + ";");
    });
  }
  DropLink(run, link);
}

void RefreshLabourPricesStep(RoutineRun& run, const Step& step, Database& source, Database& target,
                             VariantChooser&) {
  std::string variant = Argument(step, 0);
  if (variant.empty() || variant == "a") {
    RefreshLabourPrices(run, source, target, "Cri", NameSteps::kWith);
  } else if (variant == "b") {
    RefreshLabourPrices(run, source, target, "Cri", NameSteps::kWithout);
  } else if (variant == "c" && !Argument(step, 1).empty()) {
    RefreshLabourPrices(run, source, target, Argument(step, 1), NameSteps::kWithout);
  } else {
    throw Failure::Runtime(kErrInvalidCall, "RefreshLabourPrices: unknown variant " + variant);
  }
}

void RefreshDistrictPricesStep(RoutineRun& run, const Step& step, Database& source,
                               Database& target, VariantChooser&) {
  std::string table = step.tables.empty() ? Argument(step, 0) : step.tables.front();
  RefreshDistrictPrices(run, source, target, table);
}

}  // namespace kr::routines
