// Rows of the shared databases (KrSet, KrSetMinPrice, KrMasta, KrCover) and of every
// database's Version table: a handful of rows in the shapes the routines look for.
#include "demo/fixture_tables.h"

namespace kr::fixtures::internal {
namespace {

std::string TextOrNull(std::string_view text) { return text.empty() ? "Null" : Quote(text); }

}  // namespace

void EnvironRows(TableWriter& w, const FillContext& c) {
  const std::pair<int, std::string> rows[] = {
      {1, "C:\\Kelmora\\Data\\"},
      {10, "C:\\Kelmora\\"},
      {60, c.civil_engineering ? "1" : "0"},
      {61, c.environ_version},
      {110, c.current_year},
      {111, ""},
      {201, SourceText(c, "印刷設定1")},
      {202, SourceText(c, "印刷設定2")},
      {401, SourceText(c, "表示設定1")},
  };
  for (const auto& [id, set_name] : rows) {
    w.InsertRow(c.table, {"ID", "SetName"}, {std::to_string(id), TextOrNull(set_name)});
  }
}

void OpenChkRows(TableWriter& w, const FillContext& c) {
  const char* databases[] = {"KrSet", "KrVal", "KrCri", "KrExp"};
  for (int id = 1; id <= 4; ++id) {
    w.InsertRow(c.table, {"ID", "MdbName", "Version"},
                {std::to_string(id), Quote(databases[id - 1]),
                 Quote(c.source ? "2020,1,0;2020,1,99" : "2019,1,0;2019,1,99")});
  }
}

std::vector<ColumnValue> SettingValues(const FillContext& c) {
  return {{"Type", "1"}, {"Name", "'設定' & N"}, {"StrValue", TextSql(c, "値")}};
}

// The minimum-price settings point at the current year folder.
void SettingExtra(TableWriter& w, const FillContext& c) {
  if (c.source) return;
  w.InsertRow(c.table, {"Type", "Name", "StrValue"},
              {"1", Quote("制限価格DbPath1"), TextOrNull(c.current_year)});
}

std::vector<ColumnValue> SetOptionValues(const FillContext& c) {
  return {{"ID", "N"}, {"Result", c.source ? "(N + 10)" : "N"}};
}

void FileOpenFindRows(TableWriter& w, const FillContext& c) {
  for (int id = 100; id <= 600; id += 100) {
    w.InsertRow(c.table, {"ID", "NumData"}, {std::to_string(id), std::to_string(id / 10 + 5)});
  }
}

void PrintWidthRows(TableWriter& w, const FillContext& c) {
  std::vector<std::string> columns = {"ID"};
  for (int k = 1; k <= 16; ++k) columns.push_back("pData" + std::to_string(k));
  for (int id : {1, 2, 61, 62, 63, 64}) {
    std::vector<std::string> values = {std::to_string(id)};
    for (int k = 1; k <= 16; ++k) values.push_back(Quote(SourceText(c, "列" + std::to_string(k))));
    w.InsertRow(c.table, columns, values);
  }
}

std::vector<ColumnValue> PrintIndexValues(const FillContext& c) {
  return {{"Target", "N"}, {"Title", TextSql(c, "帳票")}, {"SortOrder", "N"}};
}

void UserListExplainRows(TableWriter& w, const FillContext& c) {
  for (int kind = 201; kind <= 205; ++kind) {
    w.InsertRow(c.table, {"UserKind", "UserConfigOrder", "Explain"},
                {std::to_string(kind), std::to_string(kind - 200),
                 Quote(SourceText(c, "ユーザー設定" + std::to_string(kind)))});
  }
  w.InsertRow(c.table, {"UserKind", "UserConfigOrder", "Explain"},
              {"900", "1000", Quote(SourceText(c, "固定設定"))});
}

std::vector<ColumnValue> UserListValues(const FillContext& c) {
  return {
      {"UserCode", "(N - 2)"}, {"UserKind", "205"},        {"UserConfigWord", TextSql(c, "語句")},
      {"UserConfig1", "N"},    {"UserConfig2", "(N * 2)"}, {"UserConfig3", "0"}};
}

void HolidayRows(TableWriter& w, const FillContext& c) {
  for (const char* holiday : {"元日;01/01;;No;Yes;Yes", "成人の日;01/2/Mon;;No;Yes;Yes",
                              "建国記念の日;02/11;;No;Yes;Yes", "海の日;07/3/Mon;;No;Yes;Yes"}) {
    w.InsertRow(c.table, {"HolidayString"}, {Quote(holiday)});
  }
}

void SetWordRows(TableWriter& w, const FillContext& c) {
  for (int id = 231; id <= 235; ++id) {
    w.InsertRow(c.table, {"ID", "Comment"},
                {std::to_string(id), Quote(SourceText(c, "定型文" + std::to_string(id)))});
  }
}

// The cover sheet's print texts, two in the forms the cover routines rewrite.
void CoverRows(TableWriter& w, const FillContext& c) {
  struct Row {
    int kind, protect, ptn3;
    const char* data;
  };
  const Row rows[] = {
      {99, 1, 1, "熊本vu"}, {1, 0, 0, "㈱熊本vu"}, {1, 0, 1, "見積書"}, {2, 1, 0, "御中"}};
  int id = 0;
  for (const Row& row : rows) {
    w.InsertRow(c.table, {"ID", "種別", "Protect", "Ptn3", "Data"},
                {std::to_string(++id), std::to_string(row.kind), std::to_string(row.protect),
                 std::to_string(row.ptn3), Quote(row.data)});
  }
}

void VersionRow(TableWriter& w, const FillContext& c) {
  w.InsertRow(c.table, {"Ver", "Comment"}, {TextOrNull(c.version), TextOrNull(c.comment)});
}

}  // namespace kr::fixtures::internal
