#include "routines/variants.h"

#include <algorithm>
#include <initializer_list>
#include <stdexcept>
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
constexpr std::string_view kCriKbQuery = "SELECT COUNT(*) FROM Cri_KB";

// Failures that are an answer: the database was read and has no such table or column.
bool Absent(const Failure& failure) {
  constexpr int kNoSuchTable = 3078, kNoSuchColumn = 3061, kNoSuchItem = 3265;
  int n = failure.number();
  return n == kNoSuchTable || n == kNoSuchColumn || n == kNoSuchItem;
}

// A test's query: a table or column the database lacks is "false"; any other failure (a lock,
// a failing disk, a damaged file) leaves the test unanswered and passes on.
template <class F>
bool Read(std::string_view test, F&& query) {
  StepAndContinue steps(test);
  bool result = steps.Value(false, std::forward<F>(query));
  if (steps.failed() && !Absent(*steps.pending())) throw *steps.pending();
  return result;
}

// Runs query on the database at path, opened only when the file exists (a missing one is an
// installation without it: false) and released after.
template <class F>
bool AtPath(std::string_view test, std::string_view path, F&& query) {
  if (!platform::FileExists(path)) return false;
  Database db;
  Read(test, [&] {
    db = db::OpenAppDatabase(path);
    return true;
  });
  bool result = Read(test, [&] { return query(db); });
  db.Close();
  return result;
}

bool Count(Database& db, std::string_view sql) {
  db::Recordset rs = db.OpenRecordset(sql, db::engine::kOpenSnapshot);
  bool above = !rs.Eof() && db::NzNumber(rs.Fields()[0].GetValue()) > db::Currency();
  rs.Close();
  return above;
}

bool CommentsContain(Database& db, std::initializer_list<std::string_view> names) {
  db::Recordset rs = db.OpenRecordset("地区名", db::engine::kOpenSnapshot);
  bool found = false;
  for (; !rs.Eof() && !found; rs.MoveNext()) {
    std::string comment = db::NzString(rs["コメント"].GetValue());
    for (std::string_view name : names) found = found || comment.find(name) != std::string::npos;
  }
  rs.Close();
  return found;
}

bool DistrictsAt(std::string_view test, std::string_view path,
                 std::initializer_list<std::string_view> names) {
  return AtPath(test, path, [&](Database& db) { return CommentsContain(db, names); });
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The second comma-separated part of a 地区名 comment, as a full prefecture name, is hyogo.
bool HasHyogoDistrict(Database& db) {
  return Read("HasHyogoDistrict", [&] {
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
    return Count(db, "SELECT COUNT(Code) FROM Val_Ind WHERE Code='200'");
  });
}

bool HasGreenBankIndex(std::string_view path, const Database& db) {
  if (db.IsOpen()) {
    Database open = db;
    return Read("HasGreenBankIndex", [&] { return Count(open, kGreenBankQuery); });
  }
  return AtPath("HasGreenBankIndex", path,
                [](Database& opened) { return Count(opened, kGreenBankQuery); });
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

namespace {

// The year-folder tests need a year folder: "" + "KrCri.mdb" would name a file of the working
// folder.
std::string FolderFile(const VariantChooser& chooser, std::string_view file) {
  return chooser.folder().empty() ? std::string() : chooser.folder() + std::string(file);
}

// A test of the year folder's KrCri.mdb; false outside a year folder.
bool OfFolderCri(const VariantChooser& c, bool (*test)(std::string_view path)) {
  std::string cri = FolderFile(c, "KrCri.mdb");
  return !cri.empty() && test(cri);
}

// Every test the notation may name. The disaster tests come first, in the order their variants
// take precedence.
constexpr TestDef kTests[] = {
    {"HasTohokuDistricts", 0,
     [](VariantChooser& c, const std::string&) { return OfFolderCri(c, HasTohokuDistricts); }},
    {"HasKumamotoDistrict", 0,
     [](VariantChooser& c, const std::string&) { return OfFolderCri(c, HasKumamotoDistrict); }},
    {"HasHiroshimaDistrict", 0,
     [](VariantChooser& c, const std::string&) { return OfFolderCri(c, HasHiroshimaDistrict); }},
    {"EnvironFlag60", 0,
     [](VariantChooser& c, const std::string&) { return EnvironFlag60(c.run()); }},
    {"HasValIndex200", 0,
     [](VariantChooser& c, const std::string&) {
       std::string val = FolderFile(c, "KrVal.mdb");
       return !val.empty() && HasValIndex200(val);
     }},
    {"HasGreenBankIndex", 0,
     [](VariantChooser& c, const std::string&) { return HasGreenBankIndex("", c.target()); }},
    {"HasCriKbRows", 0,
     [](VariantChooser& c, const std::string&) {
       return Read("HasCriKbRows", [&] { return Count(c.target(), kCriKbQuery); });
     }},
    {"HasKyushuDistricts", 0,
     [](VariantChooser& c, const std::string&) {
       return Read("HasKyushuDistricts", [&] { return Count(c.target(), kKyushuQuery); });
     }},
    {"HasHyogoDistrict", 0,
     [](VariantChooser& c, const std::string&) { return HasHyogoDistrict(c.target()); }},
    {"DistrictCommentContains", 1,
     [](VariantChooser& c, const std::string& text) {
       return Read("DistrictCommentContains",
                   [&] { return CommentsContain(c.target(), {std::string_view(text)}); });
     }},
    {"FolderDistrictCommentContains", 1,
     [](VariantChooser& c, const std::string& text) {
       std::string cri = FolderFile(c, "KrCri.mdb");
       return !cri.empty() && AtPath("FolderDistrictCommentContains", cri, [&](Database& db) {
         return CommentsContain(db, {std::string_view(text)});
       });
     }},
};

struct Suffix {
  std::string_view text;
  Mark mark;
};
// Longer suffixes first: "_HisaiK" also ends like "_Hisai" would not, but order keeps it plain.
constexpr Suffix kSuffixes[] = {
    {"_HisaiK", Mark::kKumamoto}, {"_HisaiH", Mark::kHiroshima},   {"_Hisai", Mark::kTohoku},
    {"(被災)", Mark::kTohoku},    {"_Shizuoka", Mark::kGreenBank}, {"(神戸)", Mark::kKobe},
    {"(九州)", Mark::kKyushu},    {"(土木)", Mark::kCivil},        {"(造園)", Mark::kLandscaping},
};

constexpr MarkDef kMarks[] = {
    {Mark::kNone, ""},
    {Mark::kTohoku, "HasTohokuDistricts", false, true},
    {Mark::kKumamoto, "HasKumamotoDistrict", false, true},
    {Mark::kHiroshima, "HasHiroshimaDistrict", false, true},
    {Mark::kCivil, "EnvironFlag60"},
    {Mark::kLandscaping, "EnvironFlag60", true},
    {Mark::kGreenBank, "HasGreenBankIndex"},
    {Mark::kKobe, "HasValIndex200"},
    {Mark::kKyushu, "HasKyushuDistricts"},
};

}  // namespace

const TestDef* FindTest(std::string_view name) {
  for (const TestDef& test : kTests) {
    if (test.name == name) return &test;
  }
  return nullptr;
}

const MarkDef& DefinitionOf(Mark mark) {
  for (const MarkDef& def : kMarks) {
    if (def.mark == mark) return def;
  }
  throw std::logic_error("a mark without a definition");
}

Mark MarkOf(std::string_view table) {
  for (const Suffix& suffix : kSuffixes) {
    if (EndsWith(table, suffix.text)) return suffix.mark;
  }
  // Only the book table has a "_D" variant; Val_IndD is no variant of anything.
  if (table.rfind("Book", 0) == 0 && EndsWith(table, "_D")) return Mark::kCivil;
  return Mark::kNone;
}

VariantChooser::VariantChooser(const RunContext& run, std::string folder, Database& target)
    : run_(run), folder_(std::move(folder)), target_(target) {}

bool VariantChooser::Decide(std::string_view test, const std::vector<std::string>& arguments) {
  const TestDef* def = FindTest(test);
  if (def == nullptr || arguments.size() != def->arguments) {
    throw std::logic_error("no test " + std::string(test) + " with " +
                           std::to_string(arguments.size()) + " arguments");
  }
  std::string key(test);
  for (const std::string& argument : arguments) key += "\x1f" + argument;
  auto found = decided_.find(key);
  if (found != decided_.end()) return found->second;
  bool result = false;
  StepAndContinue steps(test);
  if (!steps.Step(
          [&] { result = def->decide(*this, arguments.empty() ? "" : arguments.front()); })) {
    // Sticky: whatever the routine does with this target now rests on a guess.
    if (unanswered_.empty()) unanswered_ = key;
    throw *steps.pending();
  }
  for (const MarkDef& mark : kMarks) {
    if (mark.disaster && mark.test == test) disaster_tests_.push_back(mark.mark);
  }
  decided_[key] = result;
  return result;
}

bool VariantChooser::Disaster(Mark mark) {
  // Only the disaster tests the routine names count: a table whose test it does not name is
  // no variant it knows.
  for (const MarkDef& candidate : kMarks) {
    if (!candidate.disaster) continue;
    bool named = std::find(disaster_tests_.begin(), disaster_tests_.end(), candidate.mark) !=
                 disaster_tests_.end();
    if (named && decided_[std::string(candidate.test)]) return candidate.mark == mark;
  }
  return false;
}

bool VariantChooser::Applies(std::string_view table) {
  Mark mark = MarkOf(table);
  if (mark == Mark::kNone) return true;
  const MarkDef& def = DefinitionOf(mark);
  if (def.disaster) return Disaster(mark);
  return Decide(def.test) != def.negated;
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
