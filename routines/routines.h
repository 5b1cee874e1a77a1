// The update routines: named, dated data migrations that the manifest's "Function" lines run.
//
// Most routines differ only in a few choices and an ordered list of data steps, so the
// catalogue describes each one as data (a row per routine, its steps written in a short
// notation) and one interpreter runs every row; the few routines that truly differ carry a
// hand-written body beside their row. The description is public so that tools can walk it
// (list what a package would run, check the catalogue) without running anything.
//
// Regime: every routine runs step-and-continue and lets no failure escape; only a handful show
// a message box (the knowledge-base conversions and the October 2019 database replacement).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/db.h"
#include "manifest/manifest.h"

namespace kr::routines {

// --- The description ----------------------------------------------------------------------------

// What a routine changes.
enum class Kind { kPrices, kUnitPrices, kExpenses, kSettings, kLabourRate, kKnowledgeBase, kOther };
std::string_view KindName(Kind kind);  // "prices", "unit prices", ...

// Where the source database is looked for: before any target is touched (missing: nothing
// happens) or inside each target after its backup (missing: the routine ends, the backup stays).
enum class SourceCheck { kNone, kEarly, kLate };

enum class Selection {
  kFixed,            // literal paths below InstallFolder, each processed on its own
  kYearFolderList,   // literal year-folder names, in list order
  kEveryYearFolder,  // every sub-folder of InstallFolder's File\, as the file system lists them
  kOwn,              // the routine's hand-written body chooses (described in words)
};

struct Targets {
  Selection selection = Selection::kOwn;
  std::vector<std::string> places;  // kFixed: paths below InstallFolder; kYearFolderList: names
  std::string file;                 // the database file in each year folder
  std::string description;          // kOwn: what the body visits
};

// When a database is skipped: at or above a release, or by the tags of its Version comment.
struct Guard {
  std::optional<db::VersionTuple> at_least;
  std::vector<std::string> with_any_tag;  // run only when the comment has one of these
  std::string without_tag;                // skip when the comment has it
  std::string comment_contains;           // run only when the comment contains this text
};

enum class RecordKind {
  kStamp,        // WriteVersion with the literal tuple (and comment)
  kCopy,         // CopyVersion from the source
  kVersionRows,  // the whole Version table replaced by the source's
  kTag,          // the tag appended to Comment
  kComment,      // Comment replaced
  kSetVer,       // Ver set directly, even downwards
  kMarker,       // a marker file in the install folder (hand-written bodies)
};
struct Record {
  RecordKind kind = RecordKind::kStamp;
  std::string text;     // tuple, tag, comment or marker file
  std::string comment;  // kStamp: the comment written with it
};

// One data step, as the notation writes it:
//   T name [keys]          TransferRows (no keys: the target table is replaced whole)
//   T a → b [keys]         the source table a into the target table b
//   T name where "c"       TransferRows with a condition
//   T one of a / b → d     the alternative the target's variants select (variants.h)
//   K name, C name         KeepOldTable, CarryOverUserPrices
//   TT name, TA a → b      TransferTable, TransferTableAs
//   D a,b [keys]           DeleteMatchingRows: rows of b whose keys occur in the source's a
//   CT name [keys]         CopyTable
//   X "statement"          the statement run on the target
//   RDP name               RefreshDistrictPrices
//   ‹Test "arg"›           the test decided here; followed by { ... } its steps run only when true
//   » "suffix"             the progress caption followed by suffix
//   Name "arg" ...         a named procedure (procedures.h)
// A transfer whose source table carries a variant mark ("_Hisai", "(神戸)", ...) runs only when
// the target's variants select it.
enum class Op {
  kTransfer,
  kKeepOld,
  kCarryOver,
  kTransferTable,
  kTransferTableAs,
  kDeleteMatching,
  kCopyTable,
  kExecute,
  kRefreshDistrictPrices,
  kTest,
  kProgress,
  kProcedure,
};
struct Step {
  Op op = Op::kExecute;
  std::vector<std::string> tables;  // the source table, or the alternatives of "one of"
  std::string target;               // the target table ("" for the source's name)
  std::string keys;
  std::string where;
  std::string text;  // statement, test or procedure name, progress suffix
  std::vector<std::string> arguments;
  bool gate = false;        // a test with { ... }
  std::vector<Step> gated;  // the steps a gate guards
  std::string written;      // the step as the catalogue writes it (for the log)
};

class RoutineRun;
using Body = void (*)(RoutineRun& run);

// One routine of the catalogue. Several rows may share a name (they run in order).
struct Routine {
  std::string name;
  Kind kind = Kind::kOther;
  std::vector<std::string> sources;  // files in PackageFolder
  SourceCheck check = SourceCheck::kNone;
  Targets targets;
  std::vector<Guard> guards;  // two for two-stage routines
  std::vector<Record> record;
  bool backup = false;
  std::vector<Step> condition;     // tests a year folder must pass to be visited at all
  std::vector<Step> steps;         // in order, for one target
  std::vector<Step> second_stage;  // two-stage routines: the second stage's steps
  std::vector<Step> extra_steps;   // a further list a hand-written body runs
  std::string notation;            // the steps as written in the catalogue
  Body body = nullptr;  // hand-written body; nullptr: the interpreter runs the description
};

// Every routine, in catalogue order. Built once; a row that does not parse or names a test,
// step word or procedure nobody knows is a programming error, left out.
const std::vector<Routine>& Catalogue();
// What is wrong with the rows, one English line each ("" when nothing). The programs check it
// when they start and refuse to run with a broken catalogue.
std::vector<std::string> CatalogueErrors();
// The rows registered under name (exact, case-sensitive), in order; empty when unknown.
std::vector<const Routine*> Lookup(std::string_view name);

// --- What a routine reads -----------------------------------------------------------------------

// A table a routine's steps read from one of its sources, with the columns they name there: the
// key columns and the columns of the step's condition.
struct TableRead {
  std::string source;                // the file in PackageFolder
  std::vector<std::string> tables;   // one name, or the alternatives of which one must be there
  bool variant = false;              // a marked table that runs only where the target selects it
  std::vector<std::string> columns;  // needed in whichever table is there
  std::string step;                  // the step as the catalogue writes it
};
struct RoutineReads {
  std::vector<std::string> databases;  // the sources that are databases, in the row's order
  std::vector<db::Keying> keyings;     // the passwords a source is opened with, in order tried
  std::vector<TableRead> tables;       // in step order; hand-written work is not described
};
// What a row's steps read, as the interpreter would run them, without opening anything.
RoutineReads ReadsOf(const Routine& routine);

// The names a Jet condition uses as columns: identifiers and [bracketed] names outside quotes,
// neither functions (followed by "(") nor Jet words (AND, OR, NOT, IS, NULL, LIKE, IN, ...).
std::vector<std::string> ColumnsOf(std::string_view condition);

// --- Running ------------------------------------------------------------------------------------

// The routine catalogue as the manifest driver sees it.
class Registry : public manifest::RoutineRegistry {
 public:
  bool Run(std::string_view name, std::string_view argument, RunContext& run, ui::Ui& ui) override;
  size_t Targets(std::string_view name, RunContext& run, ui::Ui& ui) override;
};

// Whether the step notation knows a procedure of that name.
bool ProcedureKnown(std::string_view name);

// Runs one catalogue row. argument: value 3 of the manifest line (used by no routine's work).
void RunRoutine(const Routine& routine, RunContext& run, ui::Ui& ui, std::string_view argument);

}  // namespace kr::routines
