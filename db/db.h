// The database toolkit: how the updater opens, backs up, reads and merges the application's
// password-protected databases. Every table action of the manifest and every update routine
// touches the databases only through these operations and the engine handles they take.
//
// Handles. Operations receive open handles and never close them; whoever opens a database
// closes it. Operations that take a path open and release the database themselves.
//
// Regimes (platform/failure.h). Each operation names its own:
//   step-and-continue  never throws; a failing step is skipped, results keep their defaults;
//   leave-on-error     never throws; the first failure ends it and its fallback is returned;
//   pass-through       throws the engine's kr::Failure to the caller, whose regime applies.
// Engine errors are never shown to the user; they are logged (KR_LOG) in English.
//
// Statements are Jet SQL, built from the names given (table names, key columns, where texts are
// inserted as they are, not quoted) and run without the fail-on-error option, so rows a table's
// keys or rules reject are skipped silently.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/engine/engine.h"
#include "db/passwords.h"
#include "support/support.h"

namespace kr::db {

using engine::Database;
using engine::QuoteJetName;
using engine::QuoteJetText;
using engine::Recordset;
using engine::TableDef;
using engine::Value;

// --- Access conventions -------------------------------------------------------------------------

// Which password a database carries: the current one, or the one of older releases (a database
// opened that way is about to be re-keyed or carried over).
enum class Keying { kCurrent, kFormer };
enum class Sharing { kShared, kExclusive };

// The connect string of an open: ";PWD=" and the password. A closing ";" would change nothing.
std::string ConnectString(Keying keying = Keying::kCurrent);
// Opens an application database read-write with its password: every open of the updater.
// Regime: pass-through (3024 missing file, 3031 wrong password, 3343 not a database, ...).
Database OpenAppDatabase(std::string_view path, Keying keying = Keying::kCurrent,
                         Sharing sharing = Sharing::kShared);
// The connect string of a table attached from source: ";DataBase=" + the path source was opened
// with + ";PWD=" + the database password + ";".
std::string LinkConnectString(const Database& source);

// The engine's currency type: a signed 64-bit integer scaled by 10,000 (four decimals).
class Currency {
 public:
  constexpr Currency() = default;
  static constexpr Currency FromScaled(int64_t scaled) { return Currency(scaled); }
  static constexpr Currency FromInteger(int64_t whole) { return Currency(whole * kScale); }

  constexpr int64_t scaled() const { return scaled_; }
  double ToDouble() const { return static_cast<double>(scaled_) / kScale; }
  // CInt and CLng: rounded half to even; Failure 6 (overflow) when out of range.
  int16_t ToInt16() const;
  int32_t ToInt32() const;

  constexpr auto operator<=>(const Currency&) const = default;

  static constexpr int64_t kScale = 10000;

 private:
  constexpr explicit Currency(int64_t scaled) : scaled_(scaled) {}
  int64_t scaled_ = 0;
};

// The value as text; Null gives "". Regime: step-and-continue (fallback "").
std::string NzString(const Value& value);
// The value as currency; Null, or anything that is neither a number nor numeric text, gives 0.
// Regime: step-and-continue (fallback 0, also on overflow).
Currency NzNumber(const Value& value);

// Whether db has a table (local, attached or system) of that name, compared upper-cased.
// Regime: pass-through.
bool TableExists(Database& db, std::string_view name);
// Whether db has a table whose name, folded to narrow lower case, equals name lower-cased (so a
// stored full-width name is found by its half-width form). Regime: leave-on-error (false).
bool HasTable(Database& db, std::string_view name);
// Whether the table (found as HasTable finds it) has the field, compared the same way.
// Regime: leave-on-error (false).
bool HasField(Database& db, std::string_view table, std::string_view field);

// The dated backup copy of a database file, made before its first change: beside it, named by
// the file name up to its first ".", RunStamp and ".old". Nothing happens when the file is
// missing, the path has no "\" or that backup already exists (the first backup of a run is
// kept). The file must not be open. An Access file (an installation brought from Windows) is
// then converted into a database of ours with the database password, once its backup holds the
// original; the log says so. Regime: step-and-continue, reports nothing; false when the backup
// (or the conversion) could not be made: a database without one must not be changed.
bool BackupDatabase(const RunContext& run, std::string_view path);
// Where BackupDatabase keeps the backup of path this run ("" for a path without "\").
std::string BackupPath(const RunContext& run, std::string_view path);

// Closes db, takes its backup (BackupDatabase of the path it was opened with) and opens it again:
// a database must not be open while it is copied. Regime: pass-through (a failed reopen throws
// and leaves db closed, so the steps that depend on it fail in turn); false when the backup could
// not be made.
bool BackupAndReopen(const RunContext& run, Database& db);

// Makes target a database of ours holding the whole of the Access file source: every table with
// its fields (types, sizes, Required, zero-length, defaults, rules), keys, indexes and rows.
// target is written beside itself and put in place whole; an existing target (source itself
// included) is replaced only once the new one is complete. Tables come in one at a time, rows
// streamed. Regime: pass-through (3024, 3031 for a wrong source_password, 3343, disk errors);
// a failure leaves target as it was.
void ConvertAccessDatabase(std::string_view source, std::string_view source_password,
                           std::string_view target, std::string_view password);

// Puts a copy of the database file from at to: one of ours as it is, an Access file converted
// into ours with the database password (opened with the current, else the former password).
// Regime: pass-through.
void CopyDatabaseFile(std::string_view from, std::string_view to);

// Re-keys a database of an older release from FormerDatabasePassword to DatabasePassword
// (opened exclusively). A missing file, or one already keyed with the current password, is left
// unchanged. Regime: step-and-continue, reports nothing.
void ChangeDatabasePassword(std::string_view path);

// --- Attached tables ----------------------------------------------------------------------------

// Attaches source's table source_table to target under link_name (a left-over link of that name
// must be dropped first). Regime: pass-through.
void AttachTable(Database& target, std::string_view link_name, const Database& source,
                 std::string_view source_table);

// source's table attached to target under a fixed name for the life of the object:
//   db::AttachedTable link(target, "LinkInstall", source, "SpeExe");
// The constructor first drops a table of that name a failed run left behind, then attaches;
// either failing throws (pass-through) and leaves nothing to drop. Drop() drops the link now
// and throws when that fails. The destructor drops the link when it is still there and never
// throws: a failed drop is logged and the link stays for the next attach of the name to drop.
// With kLeave, leaving the scope by an exception keeps the link too, as the leave-on-error
// copies promise.
class AttachedTable {
 public:
  enum class OnUnwind { kDrop, kLeave };

  AttachedTable(Database& target, std::string_view name, const Database& source,
                std::string_view source_table, OnUnwind on_unwind = OnUnwind::kDrop);
  ~AttachedTable();
  AttachedTable(const AttachedTable&) = delete;
  AttachedTable& operator=(const AttachedTable&) = delete;

  const std::string& name() const { return name_; }
  void Drop();

 private:
  Database& target_;
  std::string name_;
  OnUnwind on_unwind_;
  int exceptions_at_start_;
  bool attached_ = false;
};

// --- Whole-table copy ---------------------------------------------------------------------------

// A table spec split at ",": source table and target table (both the whole spec without ",").
struct TableSpec {
  std::string source;
  std::string target;
};
TableSpec SplitTableSpec(std::string_view spec);

// Column lists for an insert: "*" or names separated by ",", target first.
struct ColumnLists {
  std::string target;
  std::string source;
  bool operator==(const ColumnLists&) const = default;
};

// CopyTable: the source table, attached to the target as "ごみ", replaces the target rows it
// supersedes: with a key list those whose key occurs among the selected source rows (replace by
// key), without one every target row the where text selects (replace the slice). A missing
// table, or no source row selected, changes nothing. where_text: "" or a Jet condition, with or
// without "WHERE ". Regime: leave-on-error; statements already run stay done and "ごみ" stays
// behind (the next copy drops it).
void CopyTable(Database& source, Database& target, std::string_view table_spec,
               std::string_view where_text, std::string_view key_list);
// Pairs the fields of target with those of source by name (ignoring case), in target's order.
// "*" stands for a target list covering every field in place, and for a source list when both
// layouts are the same. Regime: leave-on-error (fallback "*", "*").
ColumnLists MatchColumns(const Recordset& target, const Recordset& source);
// where_text with every occurrence of a key column not preceded by "." or "!" prefixed by
// prefix + "." (a plain substring search). Regime: leave-on-error (fallback where_text).
std::string QualifyKeyColumns(std::string_view where_text, std::string_view prefix,
                              std::string_view key_list);
// The where text as the copies use it: "WHERE " put in front of a non-blank text that does not
// begin with it (checked upper-cased, the text itself not trimmed).
std::string NormaliseWhere(std::string_view where_text);

// The manifest's TABLECOPYVERSION: fields 0 to 3 of the line's action field; field 3 packs
// "keys|source file|year|major|minor|stamp flag". When the target's Version is below the tuple:
// backup, CopyTable from PackageFolder + source file, and with the flag "TRUE" the tuple
// stamped. A missing source file name or year changes nothing and returns kBadArguments, for
// the caller to tell the user; a missing or unopenable source database changes nothing,
// silently (kDone). A target whose backup cannot be made is left as it was and joins
// run.unfinished. Regime: step-and-continue.
enum class CopyIfOlderResult { kDone, kBadArguments };
CopyIfOlderResult CopyTableIfOlder(RunContext& run, std::string_view target_path,
                                   const std::array<std::string, 4>& fields);

// --- Linked-table row transfer ------------------------------------------------------------------

// TransferRows: as CopyTable, through the attached table "LinkHikitugi", every name bracketed,
// and a Single source column feeding a Double target column converted through CCur (so 0.1
// arrives as 0.1). Regime: leave-on-error; on that path "LinkHikitugi" stays behind.
void TransferRows(Database& source, Database& target, std::string_view table_spec,
                  std::string_view where_text, std::string_view key_list);
// The delete half of TransferRows alone. Regime: leave-on-error.
void DeleteMatchingRows(Database& source, Database& target, std::string_view table_spec,
                        std::string_view where_text, std::string_view key_list);
// Attaches the source table as "LinkHikitugi" and runs the caller's statements (empty ones
// skipped) in the target, in order. Regime: leave-on-error.
void ExecuteWithLink(Database& source, Database& target, std::string_view table_spec,
                     const std::vector<std::string>& statements);
// MatchColumns with bracketed names, each prefixed by its non-empty prefix and ".", and a
// Double-from-Single pair selected as "CCur(" + prefix + "[name])"; any such pair keeps both
// lists explicit. Regime: leave-on-error (fallback "*", "*").
ColumnLists MatchColumnsTyped(std::string_view target_prefix, std::string_view source_prefix,
                              const Recordset& target, const Recordset& source);

// --- Version table ------------------------------------------------------------------------------
// Every database has a one-row table Version: Ver ("year,major,minor") and Comment (tags, each
// led by ","). A missing, empty or malformed Version counts as older than every tuple and is
// never stamped. All operations here: regime step-and-continue, reporting nothing.

// A release as Ver stores it: "year,major,minor", compared element by element.
struct VersionTuple {
  int32_t year = 0;
  int32_t major = 0;
  int32_t minor = 0;

  // "2018,1,1".
  std::string Text() const;
  // Exactly three parts separated by ",", each a number that fits a 32-bit integer.
  static std::optional<VersionTuple> Parse(std::string_view text);
  auto operator<=>(const VersionTuple&) const = default;
};

// True when the stored tuple is valid (three parts) and not below tuple.
bool VersionAtLeast(Database& db, const VersionTuple& tuple);
// The stored tuple, when valid.
std::optional<VersionTuple> ReadVersion(Database& db);
// Stamps tuple and, when not empty, comment; never lowers the stored version nor rewrites an
// equal one.
void WriteVersion(Database& db, const VersionTuple& tuple, std::string_view comment);
// The source's Ver into the target when it is a valid tuple above the target's (no Comment).
void CopyVersion(Database& source, Database& target);
// Comment set to text, or with append its old value (Null as "") followed by text.
void SetVersionComment(Database& db, std::string_view text, bool append);
// Whether comment + "," contains tag + "," (a tag written with its leading "," matches whole).
bool CommentHasTag(Database& db, std::string_view tag);
// The stored comment, "" without one.
std::string ReadVersionComment(Database& db);

// --- Old tables and user prices -----------------------------------------------------------------
// A price table refresh: KeepOldTable, TransferRows (keyed), CarryOverUserPrices.

// Creates table + "Old" in target with the field definitions of source's table (of the target's
// own when the source lacks one of its columns, so that no user value is refused) and copies the
// target table's rows into it. Regime: pass-through (a left-over old table makes the append
// fail, so the rows it holds are the ones carried over).
void KeepOldTable(Database& source, Database& target, std::string_view table);
// Returns the user's values from table + "Old" into the refreshed table (Val###: ValPrice1,
// ValPrice2, UserCode, JPer by Code, Search1 and Search2 where MakeDay is set, rows with codes of
// 18 or more characters; Val###s: Quantity2 by Code and ValCode, rows with long ValCode), then
// drops the old table. source is not consulted. Regime: pass-through.
void CarryOverUserPrices(Database& source, Database& target, std::string_view table);
// Adds source's field of that name to target (type and the properties its type carries) unless
// target has a field of that name. Regime: step-and-continue.
void CopyFieldDef(const TableDef& source, TableDef& target, std::string_view field_name);
// Whether the target table has every field of the source table; with add, missing fields are
// added (and the result is still false). Regime: pass-through.
bool SyncFields(Database& source_db, std::string_view source_table, Database& target_db,
                std::string_view target_table, bool add);
// Creates the table in target from source's definition when missing, then replaces its rows by
// all of source's. Regime: step-and-continue.
void TransferTable(Database& source, Database& target, std::string_view table);
void TransferTableAs(Database& source, Database& target, std::string_view source_table,
                     std::string_view target_table);

// --- Region and index helpers -------------------------------------------------------------------
// Operations taking a path open the database only when the file exists and release it before
// returning. All: regime step-and-continue (false, or data unchanged, on any failure).

// The full prefecture name of a short one (北海 → 北海道, 東京 → 東京都, 沖縄 → 沖縄県);
// any other text unchanged.
std::string FullPrefectureName(std::string_view text);
// The first column of the first row of a query (a count) is above 0.
bool CountAboveZero(Database& db, std::string_view sql);
// A comment of 地区名 of db contains text.
bool DistrictCommentContains(Database& db, std::string_view text);
// Cri_KB has at least one row.
bool HasCriKbRows(std::string_view path);
bool HasCriKbRows(Database& db);
// Price1 to Price10 of Cri: Null becomes 0 (a missing column skips its statement).
void ZeroNullPrices(Database& db);
// For each row of rs from the current one on: DELETE FROM table WHERE field='value' in db.
void DeleteRowsByField(Database& db, std::string_view table, std::string_view field, Recordset& rs);

// --- Numbering file -----------------------------------------------------------------------------

// MergeNumberIni: backs up InstallFolder's KrNumber.ini (BackupDatabase) and merges the package's
// KrNumber.ini into it. Regime: step-and-continue, reports nothing.
void MergeNumberIni(const RunContext& run);

// --- Comparison ---------------------------------------------------------------------------------

using DiffRow = std::vector<Value>;

// One table as both sides hold it; a or b is an empty handle when the table is on one side only.
struct TableDiff {
  std::string name;
  TableDef a, b;
  std::vector<std::string> schema;   // "+ field X TEXT(10)", "~ index PrimaryKey", ...
  bool recreate = false;             // fields or key differ: the table must be made again
  bool keyed = false;                // rows matched by the shared primary key, else as multisets
  std::vector<std::string> columns;  // compared, in b's order
  std::vector<size_t> key;           // positions of the key columns in columns
  std::vector<std::string> drop_indexes;
  std::vector<engine::IndexInfo> create_indexes;
};

// Receives the differences as the comparison finds them, one table at a time.
class DiffReceiver {
 public:
  virtual ~DiffReceiver() = default;
  // True once the receiver has seen enough: the comparison stops early.
  virtual bool Enough() const { return false; }
  virtual void Begin(const std::string& a_name, const std::string& b_name) = 0;
  virtual void BeginTable(const TableDiff& table) = 0;
  virtual void Removed(const DiffRow& row) = 0;
  virtual void Added(const DiffRow& row) = 0;
  virtual void Changed(const DiffRow& before, const DiffRow& after) = 0;
  // A keyless group whose copies differ: every row equal to before's goes, after's come.
  virtual void Regroup(const std::vector<DiffRow>& before, const std::vector<DiffRow>& after) = 0;
  virtual void EndTable(const TableDiff& table, int64_t removed, int64_t added,
                        int64_t changed) = 0;
  virtual void End(bool differ) = 0;
};

// Compares the local tables of a and b (only those named in tables, case-blind, unless it is
// empty): definitions, keys, indexes and rows, rows matched by the primary key the two share,
// else as multisets, each table read once in key order. Returns true when they differ.
// Regime: pass-through; Failure 3078 when a named table is in neither.
bool CompareDatabases(Database& a, Database& b, const std::vector<std::string>& tables,
                      DiffReceiver& receiver);
// True when the application databases at a and b hold the same local tables, definitions and
// rows, however their bytes differ: a database written again as it was. Both open read-only.
// Regime: leave-on-error; false when either cannot be opened or read.
bool SameContent(std::string_view a, std::string_view b);

}  // namespace kr::db
