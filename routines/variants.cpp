#include "routines/variants.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <utility>

#include "platform/failure.h"
#include "platform/platform.h"

namespace kr::routines {

namespace {

using db::Database;

constexpr std::string_view kGreenBankQuery =
    "SELECT COUNT(StrtCode) FROM Val120_Ind WHERE MdlIndex LIKE '*ｸﾞﾘｰﾝﾊﾞﾝｸ*'";
constexpr std::string_view kKyushuQuery =
    "SELECT COUNT([ID]) FROM 地区名 WHERE INSTR(コメント,'福岡') OR INSTR(コメント,'宮崎') OR "
    "INSTR(コメント,'長崎');";

bool FileExists(std::string_view path) {
  return platform::Listed(path, platform::ListKind::kPlainFiles);
}

// Runs query on the database at path, opened only when the file exists and released after.
template <class F>
bool AtPath(std::string_view operation, std::string_view path, F&& query) {
  if (!FileExists(path)) return false;
  return LeaveOnError(operation, false, [&] {
    Database db = db::OpenAppDatabase(path);
    bool result = query(db);
    db.Close();
    return result;
  });
}

bool DistrictsAt(std::string_view operation, std::string_view path,
                 std::initializer_list<std::string_view> names) {
  return AtPath(operation, path, [&](Database& db) {
    for (std::string_view name : names) {
      if (db::DistrictCommentContains(db, name)) return true;
    }
    return false;
  });
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The second comma-separated part of a 地区名 comment, as a full prefecture name, is hyogo.
bool HasHyogoDistrict(Database& db) {
  return LeaveOnError("HasHyogoDistrict", false, [&] {
    db::Recordset rs = db.OpenRecordset("地区名", db::engine::kOpenSnapshot);
    bool found = false;
    for (; !rs.Eof() && !found; rs.MoveNext()) {
      std::vector<std::string> parts = support::Split(db::NzString(rs["コメント"].GetValue()), ",");
      found = parts.size() >= 2 && db::FullPrefectureName(support::Trim(parts[1])) == "兵庫県";
    }
    rs.Close();
    return found;
  });
}

}  // namespace

bool EnvironFlag60(const RunContext& run) {
  return AtPath("EnvironFlag60", run.install_folder + "File\\KrSet.mdb", [](Database& db) {
    db::Recordset rs = db.OpenRecordset("SELECT SetName FROM Environ WHERE [ID]=60;");
    bool set = !rs.Eof() && db::NzNumber(rs["SetName"].GetValue()) == db::Currency::FromInteger(1);
    rs.Close();
    return set;
  });
}

bool HasValIndex200(std::string_view path) {
  return AtPath("HasValIndex200", path, [](Database& db) {
    return db::CountAboveZero(db, "SELECT COUNT(Code) FROM Val_Ind WHERE Code='200'");
  });
}

bool HasGreenBankIndex(std::string_view path, const Database& db) {
  if (db.IsOpen()) {
    Database open = db;
    return db::CountAboveZero(open, kGreenBankQuery);
  }
  return AtPath("HasGreenBankIndex", path,
                [](Database& opened) { return db::CountAboveZero(opened, kGreenBankQuery); });
}

bool HasTohokuDistricts(std::string_view path) {
  return DistrictsAt("HasTohokuDistricts", path, {"岩手", "宮城", "福島"});
}

bool HasKumamotoDistrict(std::string_view path) {
  return DistrictsAt("HasKumamotoDistrict", path, {"熊本"});
}

bool HasHiroshimaDistrict(std::string_view path) {
  return DistrictsAt("HasHiroshimaDistrict", path, {"広島"});
}

Mark MarkOf(std::string_view table) {
  static constexpr std::array<std::pair<std::string_view, Mark>, 9> kSuffixes = {{
      {"_HisaiK", Mark::kKumamoto},
      {"_HisaiH", Mark::kHiroshima},
      {"_Hisai", Mark::kTohoku},
      {"(被災)", Mark::kTohoku},
      {"_Shizuoka", Mark::kGreenBank},
      {"(神戸)", Mark::kKobe},
      {"(九州)", Mark::kKyushu},
      {"(土木)", Mark::kCivil},
      {"(造園)", Mark::kLandscaping},
  }};
  for (const auto& [suffix, mark] : kSuffixes) {
    if (EndsWith(table, suffix)) return mark;
  }
  // Only the book table has a "_D" variant; Val_IndD is no variant of anything.
  if (table.rfind("Book", 0) == 0 && EndsWith(table, "_D")) return Mark::kCivil;
  return Mark::kNone;
}

VariantChooser::VariantChooser(const RunContext& run, std::string folder, Database& target)
    : run_(run), folder_(std::move(folder)), target_(target) {}

bool VariantChooser::Decide(std::string_view test, const std::vector<std::string>& arguments) {
  std::string key(test);
  for (const std::string& argument : arguments) key += "\x1f" + argument;
  auto found = decided_.find(key);
  if (found != decided_.end()) return found->second;

  std::string argument = arguments.empty() ? std::string() : arguments.front();
  bool result = false;
  // The year-folder tests need a year folder: "" + "KrCri.mdb" would name a file of the working
  // folder.
  bool in_folder = !folder_.empty();
  if (test == "HasTohokuDistricts" || test == "HasKumamotoDistrict" ||
      test == "HasHiroshimaDistrict") {
    Mark mark = test == "HasTohokuDistricts"    ? Mark::kTohoku
                : test == "HasKumamotoDistrict" ? Mark::kKumamoto
                                                : Mark::kHiroshima;
    std::string cri = folder_ + "KrCri.mdb";
    result = !in_folder                ? false
             : mark == Mark::kTohoku   ? HasTohokuDistricts(cri)
             : mark == Mark::kKumamoto ? HasKumamotoDistrict(cri)
                                       : HasHiroshimaDistrict(cri);
    disaster_tests_.push_back(mark);
  } else if (test == "EnvironFlag60") {
    result = EnvironFlag60(run_);
  } else if (test == "HasValIndex200") {
    result = in_folder && HasValIndex200(folder_ + "KrVal.mdb");
  } else if (test == "HasGreenBankIndex") {
    result = HasGreenBankIndex("", target_);
  } else if (test == "HasCriKbRows") {
    result = db::HasCriKbRows(target_);
  } else if (test == "HasKyushuDistricts") {
    result = db::CountAboveZero(target_, kKyushuQuery);
  } else if (test == "HasHyogoDistrict") {
    result = HasHyogoDistrict(target_);
  } else if (test == "DistrictCommentContains") {
    result = db::DistrictCommentContains(target_, argument);
  } else if (test == "FolderDistrictCommentContains") {
    result = in_folder &&
             AtPath("FolderDistrictCommentContains", folder_ + "KrCri.mdb",
                    [&](Database& db) { return db::DistrictCommentContains(db, argument); });
  } else {
    LogLine("VariantChooser: unknown test " + key);
  }
  decided_[key] = result;
  return result;
}

bool VariantChooser::Disaster(Mark mark) {
  // Only the disaster tests the routine names count: a table whose test it does not name is
  // no variant it knows.
  static constexpr std::array<std::pair<Mark, std::string_view>, 3> kTests = {{
      {Mark::kTohoku, "HasTohokuDistricts"},
      {Mark::kKumamoto, "HasKumamotoDistrict"},
      {Mark::kHiroshima, "HasHiroshimaDistrict"},
  }};
  for (const auto& [candidate, test] : kTests) {
    bool named = std::find(disaster_tests_.begin(), disaster_tests_.end(), candidate) !=
                 disaster_tests_.end();
    if (named && decided_[std::string(test)]) return candidate == mark;
  }
  return false;
}

bool VariantChooser::Applies(std::string_view table) {
  switch (MarkOf(table)) {
    case Mark::kNone:
      return true;
    case Mark::kTohoku:
    case Mark::kKumamoto:
    case Mark::kHiroshima:
      return Disaster(MarkOf(table));
    case Mark::kCivil:
      return Decide("EnvironFlag60");
    case Mark::kLandscaping:
      return !Decide("EnvironFlag60");
    case Mark::kGreenBank:
      return Decide("HasGreenBankIndex");
    case Mark::kKobe:
      return Decide("HasValIndex200");
    case Mark::kKyushu:
      return Decide("HasKyushuDistricts");
  }
  return false;
}

std::string VariantChooser::Choose(const std::vector<std::string>& alternatives) {
  for (const std::string& table : alternatives) {
    if (MarkOf(table) != Mark::kNone && Applies(table)) return table;
  }
  for (const std::string& table : alternatives) {
    if (MarkOf(table) == Mark::kNone) return table;
  }
  return {};
}

}  // namespace kr::routines
