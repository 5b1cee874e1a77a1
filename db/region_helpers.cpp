// Looks at the user's data to choose an update routine's variants (regions, index entries,
// settings flags), and two small data fixes.
#include <array>
#include <functional>
#include <initializer_list>

#include "db/db.h"
#include "platform/failure.h"
#include "platform/platform.h"

namespace kr::db {

namespace {

struct Prefecture {
  std::string_view short_name;
  std::string_view suffix;
};

// In the order the conversion tests them.
constexpr std::array<Prefecture, 47> kPrefectures = {{
    {"北海", "道"},   {"青森", "県"}, {"岩手", "県"}, {"宮城", "県"},   {"秋田", "県"},
    {"山形", "県"},   {"福島", "県"}, {"茨城", "県"}, {"栃木", "県"},   {"群馬", "県"},
    {"埼玉", "県"},   {"千葉", "県"}, {"東京", "都"}, {"神奈川", "県"}, {"新潟", "県"},
    {"富山", "県"},   {"石川", "県"}, {"福井", "県"}, {"山梨", "県"},   {"長野", "県"},
    {"岐阜", "県"},   {"静岡", "県"}, {"愛知", "県"}, {"三重", "県"},   {"滋賀", "県"},
    {"京都", "府"},   {"大阪", "府"}, {"兵庫", "県"}, {"奈良", "県"},   {"和歌山", "県"},
    {"鳥取", "県"},   {"島根", "県"}, {"岡山", "県"}, {"広島", "県"},   {"山口", "県"},
    {"徳島", "県"},   {"香川", "県"}, {"愛媛", "県"}, {"高知", "県"},   {"福岡", "県"},
    {"佐賀", "県"},   {"長崎", "県"}, {"熊本", "県"}, {"大分", "県"},   {"宮崎", "県"},
    {"鹿児島", "県"}, {"沖縄", "県"},
}};

// Runs query on the database at path (opened only when the file exists, then released).
template <class T, class F>
T WithDatabaseAt(StepAndContinue& steps, std::string_view path, T fallback, F&& query) {
  if (!platform::FileExists(path)) return fallback;
  Database db;
  steps.Step([&] { db = OpenAppDatabase(path); });
  T result = query(db);
  steps.Step([&] { db.Close(); });
  return result;
}

// The count in the first column of a one-row query, greater than 0.
bool CountAboveZero(StepAndContinue& steps, Database& db, std::string_view sql) {
  Recordset rs;
  bool above = false;
  steps.Step([&] { rs = db.OpenRecordset(sql); });
  steps.Step([&] { above = NzNumber(rs.Fields()[0].GetValue()) > Currency(); });
  steps.Step([&] { rs.Close(); });
  return above;
}

// Walks 地区名 of db and stops at the first comment containing one of names.
bool AnyDistrictComment(StepAndContinue& steps, Database& db,
                        std::initializer_list<std::string_view> names) {
  Recordset rs;
  if (!steps.Step([&] { rs = db.OpenRecordset("地区名", engine::kOpenSnapshot); })) return false;
  bool found = false;
  steps.Step([&] {
    for (; !rs.Eof() && !found; rs.MoveNext()) {
      std::string comment = NzString(rs["コメント"].GetValue());
      for (std::string_view name : names) {
        if (comment.find(name) != std::string::npos) found = true;
      }
    }
  });
  steps.Step([&] { rs.Close(); });
  return found;
}

bool CriKbNotEmpty(StepAndContinue& steps, Database& db) {
  Recordset rs;
  bool rows = false;
  steps.Step([&] { rs = db.OpenRecordset("Cri_KB", engine::kOpenDynaset, engine::kReadOnly); });
  steps.Step([&] { rows = rs.RecordCount() >= 1; });
  steps.Step([&] { rs.Close(); });
  return rows;
}

}  // namespace

std::string FullPrefectureName(std::string_view text) {
  for (const Prefecture& p : kPrefectures) {
    if (text == p.short_name) return std::string(p.short_name) + std::string(p.suffix);
  }
  return std::string(text);
}

bool CountAboveZero(Database& db, std::string_view sql) {
  StepAndContinue steps("CountAboveZero");
  return CountAboveZero(steps, db, sql);
}

bool DistrictCommentContains(Database& db, std::string_view text) {
  StepAndContinue steps("DistrictCommentContains");
  return AnyDistrictComment(steps, db, {text});
}

bool HasCriKbRows(std::string_view path) {
  StepAndContinue steps("HasCriKbRows");
  return WithDatabaseAt(steps, path, false, [&](Database& db) { return CriKbNotEmpty(steps, db); });
}

bool HasCriKbRows(Database& db) {
  StepAndContinue steps("HasCriKbRows");
  return CriKbNotEmpty(steps, db);
}

void ZeroNullPrices(Database& db) {
  StepAndContinue steps("ZeroNullPrices");
  for (int n = 1; n <= 10; ++n) {
    std::string column = "Price" + std::to_string(n);
    steps.Step(
        [&] { db.Execute("UPDATE Cri SET " + column + "=0 WHERE IsNull(" + column + ");"); });
  }
}

void DeleteRowsByField(Database& db, std::string_view table, std::string_view field,
                       Recordset& rs) {
  StepAndContinue steps("DeleteRowsByField");
  // A recordset that cannot tell its end or move on ends the walk (never loops).
  while (steps.Value(false, [&] { return !rs.Eof(); })) {
    std::string value;
    // A value that cannot be read deletes nothing (not the rows whose field is empty).
    if (steps.Step([&] { value = NzString(rs[field].GetValue()); })) {
      steps.Step([&] {
        db.Execute("DELETE FROM " + std::string(table) + " WHERE " + std::string(field) + "=" +
                   QuoteJetText(value) + ";");
      });
    }
    if (!steps.Step([&] { rs.MoveNext(); })) break;
  }
}

}  // namespace kr::db
