// The data variants a year folder may hold, and the one chooser every routine with alternatives
// uses: disaster-relief unit prices (Tohoku, Kumamoto, Hiroshima), the civil-engineering book,
// the green-bank index and the regional tables of Kobe and Kyushu. Internal to routines/.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/db.h"

namespace kr::routines {

// --- The tests (each opens the database at path only when the file exists). A database that
// lacks the table or column asked about answers false; one that cannot be read (locked, damaged,
// a failing disk) leaves the test unanswered: its failure passes through.

// Environ row 60 of InstallFolder's File\KrSet.mdb has SetName 1 (the civil-engineering edition).
bool EnvironFlag60(const RunContext& run);
// Val_Ind has a row with Code '200' (the Kobe tables apply).
bool HasValIndex200(std::string_view path);
// Val120_Ind has the green-bank index entry. Queries db when it is open, else the file at path.
bool HasGreenBankIndex(std::string_view path, const db::Database& db = {});
// A comment of 地区名 names 岩手, 宮城 or 福島 / 熊本 / 広島.
bool HasTohokuDistricts(std::string_view path);
bool HasKumamotoDistrict(std::string_view path);
bool HasHiroshimaDistrict(std::string_view path);

// --- The named tests and the marks, one table each --------------------------------------------

// What a table name's suffix marks it as.
enum class Mark {
  kNone,
  kTohoku,       // "_Hisai", "(被災)"
  kKumamoto,     // "_HisaiK"
  kHiroshima,    // "_HisaiH"
  kCivil,        // "Book_D", "Book(土木)"
  kLandscaping,  // "Book(造園)"
  kGreenBank,    // "_Shizuoka"
  kKobe,         // "(神戸)"
  kKyushu,       // "(九州)"
};
Mark MarkOf(std::string_view table);

class VariantChooser;

// A test the notation names between ‹ and ›: how many quoted arguments it takes and how it is
// decided for one target.
struct TestDef {
  std::string_view name;
  size_t arguments = 0;
  bool (*decide)(VariantChooser& chooser, const std::string& argument) = nullptr;
};
// The test of that name, or nullptr.
const TestDef* FindTest(std::string_view name);

// When a marked table applies: its test holds (or, negated, does not). The disaster marks follow
// the first of the disaster tests the routine named that holds.
struct MarkDef {
  Mark mark;
  std::string_view test;
  bool negated = false;
  bool disaster = false;
};
const MarkDef& DefinitionOf(Mark mark);

// --- The chooser

// The variants of one target, decided once: each test runs at most once, where the routine
// names it or (the edition and regional tests) when a step first needs it. The disaster variant
// is the first of the disaster tests the routine names (Tohoku, Kumamoto, Hiroshima, in that
// order) that holds; a disaster table whose test the routine does not name never applies.
class VariantChooser {
 public:
  // folder: the target's year folder (ending in "\", "" for targets outside one); target: the
  // open target database.
  VariantChooser(const RunContext& run, std::string folder, db::Database& target);

  // Decides a named test now ("HasTohokuDistricts", "EnvironFlag60", "HasCriKbRows",
  // "DistrictCommentContains" with its text, ...). A name FindTest does not know is a bug
  // (std::logic_error): the catalogue is checked for them when it is built. A test that cannot
  // read its data throws its failure and leaves the chooser unanswered.
  bool Decide(std::string_view test, const std::vector<std::string>& arguments = {});
  // Whether a test of this target could not be answered: nothing decided for it may be kept.
  bool unanswered() const { return !unanswered_.empty(); }
  // Whether a marked table applies to this target (an unmarked one always does).
  bool Applies(std::string_view table);
  // Of alternatives, the first marked one that applies, else the first unmarked one.
  std::string Choose(const std::vector<std::string>& alternatives);

  // What the tests read.
  const RunContext& run() const { return run_; }
  const std::string& folder() const { return folder_; }
  db::Database& target() { return target_; }

 private:
  bool Disaster(Mark mark);

  const RunContext& run_;
  std::string folder_;
  db::Database& target_;
  std::map<std::string, bool> decided_;
  std::vector<Mark> disaster_tests_;  // in the order the routine named them
  std::string unanswered_;            // the first test that could not be answered
};

}  // namespace kr::routines
