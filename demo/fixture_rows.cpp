// Rows of the price databases (KrVal, KrCri, KrExp): each data table as one expression per
// column of the row number N, plus the fixed rows a user or an index adds.
#include <algorithm>

#include "demo/fixture_tables.h"

namespace kr::fixtures::internal {
namespace {

constexpr std::string_view kFirstKey = "(1 + (N - 1) Mod 10)";
constexpr std::string_view kSecondKey = "(1 + ((N - 1) \\ 10) Mod 10)";
constexpr std::string_view kThirdKey = "(1 + (N - 1) \\ 100)";
constexpr std::string_view kOpenSecondKey = "(1 + (N - 1) \\ 10)";

std::string Key(std::string_view sql) { return std::string(sql); }

// Rows of an index over n items, each of kIndexRows ranges covering its share.
int RangeSpan(const FillContext& c) {
  int items = c.rows + (c.source ? c.new_rows : 0);
  return std::max(1, (items + kIndexRows - 1) / kIndexRows);
}

}  // namespace

// --- KrVal ---------------------------------------------------------------------------------------

std::vector<ColumnValue> ValValues(const FillContext& c) {
  std::string price = PriceSql(c);
  return {{"Code", CodeSql(c.prefix)},
          {"Name", TextSql(c, "単価")},
          {"Spec", TextSql(c, "規格")},
          {"Unit", Quote("m3")},
          {"Price", price},
          {"ValPrice1", UserSql(c, PriceSql(c, 1))},
          {"ValPrice2", UserSql(c, PriceSql(c, 2))},
          {"UserCode", UserSql(c, "'U' & " + CodeSql(c.prefix))},
          {"JPer", UserSql(c, "0.9")},
          {"Search1", c.source ? "Null"
                               : "IIf(N Mod 5 = 0, 'ユーザー' & N, IIf(N Mod 5 = 3, '検索' & N, "
                                 "Null))"},
          {"Search2", UserSql(c, "'よみ' & N")},
          {"MakeDay",
           c.source ? "Null" : "IIf(N Mod 5 = 0, '2019/05/10', IIf(N Mod 5 = 3, '', Null))"}};
}

// Two items of the user's own, with codes of 18 characters.
void ValExtra(TableWriter& w, const FillContext& c) {
  if (c.source) return;
  for (int k = 1; k <= 2; ++k) {
    std::string n = std::to_string(k);
    w.InsertRow(
        c.table,
        {"Code", "Name", "Unit", "Price", "ValPrice1", "UserCode", "JPer", "Search1", "MakeDay"},
        {Quote(UserItemCode(c.table, k)), Quote("自社単価" + n), Quote("式"), Number(90000 + k),
         Number(91000 + k), Quote("MY-" + n), "1", Quote("じしゃ" + n), Quote("2019/06/01")});
  }
}

std::vector<ColumnValue> ValSubValues(const FillContext& c) {
  return {{"Code", CodeSql(c.prefix)},
          {"ValCode", CodeSql("S" + c.digits)},
          {"Quantity1", c.source ? "(N + 1)" : "N"},
          {"Quantity2", UserSql(c, "N + 0.5")}};
}

void ValSubExtra(TableWriter& w, const FillContext& c) {
  if (c.source) return;
  w.InsertRow(
      c.table, {"Code", "ValCode", "Quantity1", "Quantity2"},
      {Quote(UserItemCode("Val" + c.digits, 1)), Quote(UserItemCode(c.table, 1)), "1", "2.5"});
}

std::vector<ColumnValue> ValIndValues(const FillContext& c) {
  return {{"StrtCode", CodeSql(c.prefix)},
          {"MdlIndex", TextSql(c, "索引")},
          {"SortOrder", "N"},
          {"ID", "N"}};
}

void ValIndExtra(TableWriter& w, const FillContext& c) {
  if (c.green_bank_index && c.digits == "120") {
    w.Execute("UPDATE [" + c.table + "] SET MdlIndex='ｸﾞﾘｰﾝﾊﾞﾝｸ 緑化資材' WHERE ID=2");
  }
}

void ValIndexList(TableWriter& w, const FillContext& c) {
  for (const std::string& digits : StandardValDigits()) {
    w.InsertRow(c.table, {"Code", "Index"},
                {Quote(digits), Quote(SourceText(c, "単価表" + digits))});
  }
  if (c.kobe_index) w.InsertRow(c.table, {"Code", "Index"}, {"'200'", Quote("神戸市単価")});
}

std::vector<ColumnValue> ExplainValues(const FillContext& c) {
  return {{"Code", "CStr(100 + 10 * N)"}, {"SortOrder", "N"}, {"Explain", TextSql(c, "説明")}};
}

std::vector<ColumnValue> SpeExeValues(const FillContext& c) {
  return {{"Special", CodeSql(c.prefix)}, {"Name", TextSql(c, "割増")}, {"Rate", PriceSql(c)}};
}

std::vector<ColumnValue> BookValues(const FillContext& c) {
  return {{"ID", "N"},
          {"BookName", TextSql(c, "積算資料")},
          {"Publisher", Quote("ケルモラ出版")},
          {"Issue", Quote(c.source ? "2020年版" : "2019年版")}};
}

std::vector<ColumnValue> PlantValues(const FillContext& c) {
  return {{"Kind", Key(kFirstKey)},
          {"Col", Key(kSecondKey)},
          {"HC", "'H' & " + Key(kThirdKey)},
          {"Price", PriceSql(c)},
          {"Remark", TextSql(c, "樹木")}};
}

std::vector<ColumnValue> PackageValues(const FillContext& c) {
  return {{"SpecialCode", CodeSql(c.prefix)},
          {"Name", TextSql(c, "施工パッケージ")},
          {"Spec", TextSql(c, "規格")},
          {"Unit", Quote("m2")},
          {"Price", PriceSql(c)}};
}

std::vector<ColumnValue> PoleValues(const FillContext& c) {
  return {{"ID", "N"}, {"Code", CodeSql("PL")}, {"Index", TextSql(c, "電柱")}};
}

// --- KrCri ---------------------------------------------------------------------------------------

std::vector<ColumnValue> CriValues(const FillContext& c) {
  std::vector<ColumnValue> values = {
      {"Code", CodeSql(c.prefix)},
      {"cName", TextSql(c, "資材")},
      {"cStand", TextSql(c, "規格")},
      {"cUnit", Quote("kg")},
      {"Index", c.source ? "IIf(N > " + std::to_string(c.rows) + ", 0, N)" : "N"}};
  for (int k = 1; k <= 10; ++k) values.push_back({"Price" + std::to_string(k), PriceSql(c, k - 1)});
  if (c.source) {
    const std::vector<std::string>& prefectures = PrefectureNames();
    for (size_t i = 0; i < prefectures.size(); ++i) {
      values.push_back({prefectures[i], PriceSql(c, 100.0 * static_cast<double>(i + 1))});
    }
  }
  return values;
}

void CriIndRanges(TableWriter& w, const FillContext& c) {
  static constexpr const char* kBig[kIndexRows] = {"労務単価", "資材", "資材", "機械", "その他"};
  int span = RangeSpan(c);
  for (int i = 1; i <= kIndexRows; ++i) {
    std::string n = std::to_string(i);
    w.InsertRow(c.table, {"ID", "StrtCode", "EndCode", "BigIndex", "MdlIndex", "SmlIndex"},
                {n, Quote(PadCode(c.prefix, (i - 1) * span + 1)),
                 Quote(PadCode(c.prefix, i * span)), Quote(SourceText(c, kBig[i - 1])),
                 Quote(SourceText(c, "中分類" + n)), Quote(SourceText(c, "小分類" + n))});
  }
}

void Districts(TableWriter& w, const FillContext& c) {
  for (size_t i = 0; i < c.districts.size(); ++i) {
    std::string id = std::to_string(i + 1);
    w.InsertRow(c.table, {"ID", "地区名", "コメント", "コメント_建設物価"},
                {id, Quote("地区" + id), Quote(c.districts[i]), Quote(c.districts[i])});
  }
}

std::vector<ColumnValue> CriBaseValues(const FillContext& c) {
  return {{"県ID", "(1 + (N - 1) Mod 47)"}, {"Code", CodeSql(c.prefix)},
          {"cName", TextSql(c, "県単価")},  {"cStand", TextSql(c, "規格")},
          {"cUnit", Quote("m3")},           {"Price", PriceSql(c)}};
}

std::vector<ColumnValue> CriBaseIndValues(const FillContext& c) {
  return {{"ID", "N"},
          {"県ID", "N"},
          {"StrtCode", CodeSql(c.prefix)},
          {"BigIndex", TextSql(c, "県索引")}};
}

std::vector<ColumnValue> PackageStandValues(const FillContext& c) {
  return {{"PStandCode", CodeSql(c.prefix)},
          {"PName", TextSql(c, "パッケージ")},
          {"PStand", TextSql(c, "規格")},
          {"PUnit", Quote("m3")},
          {"Price", PriceSql(c)}};
}

std::vector<ColumnValue> ChangeCodeValues(const FillContext& c) {
  return {{"ID", "N"}, {"OldCode", CodeSql("C")}, {"NewCode", CodeSql(c.source ? "CN" : "CO")}};
}

std::vector<ColumnValue> RelationValues(const FillContext& c) {
  return {{"CodeS", CodeSql("C")}, {"CodeK", CodeSql("K")}, {"Quantity", PriceSql(c)}};
}

std::vector<ColumnValue> IndRelationValues(const FillContext&) {
  return {{"CodeS", CodeSql("C")}, {"CodeK", CodeSql("K")}, {"SortOrder", "N"}};
}

std::vector<ColumnValue> RoumuValues(const FillContext& c) {
  return {{"ID", "N"}, {"職種", TextSql(c, "職種")}, {"Rate", PriceSql(c)}};
}

std::vector<ColumnValue> WoodyValues(const FillContext& c) {
  return {{"Code", CodeSql(c.prefix)},
          {"cName", TextSql(c, "木材")},
          {"cStand", TextSql(c, "規格")},
          {"cUnit", Quote("本")},
          {"Price", PriceSql(c)}};
}

// --- KrExp ---------------------------------------------------------------------------------------

std::vector<ColumnValue> ExpensesValues(const FillContext& c) {
  return {{"Big", Key(kFirstKey)},        {"Mdl", Key(kSecondKey)}, {"Sml", Key(kThirdKey)},
          {"Field1", TextSql(c, "経費")}, {"Rate1", PriceSql(c)},   {"Rate2", PriceSql(c, 1)},
          {"Rate3", PriceSql(c, 2)}};
}

std::vector<ColumnValue> ExpOptionValues(const FillContext& c) {
  return {{"Big", Key(kFirstKey)},
          {"Mdl", Key(kSecondKey)},
          {"Kind", Key(kThirdKey)},
          {"OptName", TextSql(c, "補正")},
          {"Rate", PriceSql(c)}};
}

std::vector<ColumnValue> MinPriceValues(const FillContext& c) {
  return {
      {"Big", Key(kFirstKey)},
      {"Mdl", Key(kSecondKey)},
      {"Sml", Key(kThirdKey)},
      {"SortOrder", "N"},
      {"Text1", Quote(c.source ? "(直接工事費+共通仮設費)*0.1" : "(直接工事費+共通仮設費)*0.08")},
      {"Rate", PriceSql(c)}};
}

std::vector<ColumnValue> ExpIndValues(const FillContext& c) {
  return {{"ID", "N"}, {"Big", "N"}, {"Name", TextSql(c, "費目")}, {"Visible", "True"}};
}

std::vector<ColumnValue> MarumeValues(const FillContext& c) {
  return {{"Mdl", Key(kFirstKey)},
          {"Sml", Key(kOpenSecondKey)},
          {"Name", TextSql(c, "端数")},
          {"Marume", c.source ? "(N Mod 3 + 1)" : "(N Mod 3)"}};
}

std::vector<ColumnValue> FukuriValues(const FillContext& c) {
  return {{"Big", Key(kFirstKey)},
          {"Mdl", Key(kOpenSecondKey)},
          {"Name", TextSql(c, "法定福利費")},
          {"Rate", PriceSql(c)}};
}

}  // namespace kr::fixtures::internal
