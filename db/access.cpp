// Opening, re-keying and backing up databases; Null-safe values; table and field tests.
#include <cmath>
#include <limits>

#include "db/db.h"
#include "platform/failure.h"
#include "platform/platform.h"

namespace kr::db {

namespace {

// Rounds a scaled currency to whole units, half to even, as CInt and CLng do.
int64_t RoundScaled(int64_t scaled) {
  int64_t whole = scaled / Currency::kScale;
  int64_t rest = scaled % Currency::kScale;
  int64_t half = Currency::kScale / 2;
  if (rest > half || (rest == half && whole % 2 != 0)) ++whole;
  if (rest < -half || (rest == -half && whole % 2 != 0)) --whole;
  return whole;
}

template <class T>
T Narrow(const Currency& value) {
  int64_t whole = RoundScaled(value.scaled());
  if (whole < std::numeric_limits<T>::min() || whole > std::numeric_limits<T>::max()) {
    throw Failure::Runtime(kErrOverflow, "currency " + std::to_string(whole) + " out of range");
  }
  return static_cast<T>(whole);
}

}  // namespace

int16_t Currency::ToInt16() const { return Narrow<int16_t>(*this); }
int32_t Currency::ToInt32() const { return Narrow<int32_t>(*this); }

std::string ConnectString(Keying keying) {
  return ";PWD=" + (keying == Keying::kCurrent ? DatabasePassword() : FormerDatabasePassword());
}

Database OpenAppDatabase(std::string_view path, Keying keying, Sharing sharing) {
  return engine::OpenDatabase(path, sharing == Sharing::kExclusive, false, ConnectString(keying));
}

std::string LinkConnectString(const Database& source) {
  return ";DataBase=" + source.Name() + ";PWD=" + DatabasePassword() + ";";
}

std::string NzString(const Value& value) {
  StepAndContinue steps("NzString");
  return steps.Value(std::string(),
                     [&] { return value.IsNull() ? std::string() : value.ToText(); });
}

Currency NzNumber(const Value& value) {
  StepAndContinue steps("NzNumber");
  return steps.Value(Currency(), [&] {
    if (value.IsNull() || !value.IsNumeric()) return Currency();
    return Currency::FromScaled(value.ToCurrency());
  });
}

bool TableExists(Database& db, std::string_view name) {
  engine::TableDefCollection tables = db.TableDefs();
  tables.Refresh();
  std::string wanted = support::UpperCase(name);
  for (int i = 0; i < tables.Count(); ++i) {
    if (support::UpperCase(tables[i].Name()) == wanted) return true;
  }
  return false;
}

namespace {

// The table definition HasTable would find, or a default handle.
TableDef FindTable(Database& db, std::string_view name) {
  engine::TableDefCollection tables = db.TableDefs();
  std::string wanted = support::LowerCase(name);
  // Nearly always the name is stored as asked: one lookup in the engine's current catalogue
  // instead of reloading it and folding every name.
  TableDef quick = tables.Find(name);
  if (quick.impl() && support::NarrowLowerCase(quick.Name()) == wanted) return quick;
  // No refresh: the engine's catalogue follows our own schema changes and other connections'.
  for (TableDef table : tables) {
    if (support::NarrowLowerCase(table.Name()) == wanted) return table;
  }
  return TableDef();
}

}  // namespace

bool HasTable(Database& db, std::string_view name) {
  return LeaveOnError("HasTable", false, [&] { return FindTable(db, name).impl() != nullptr; });
}

bool HasField(Database& db, std::string_view table, std::string_view field) {
  return LeaveOnError("HasField", false, [&] {
    TableDef found = FindTable(db, table);
    if (!found.impl()) return false;
    std::string wanted = support::LowerCase(field);
    for (engine::Field f : found.Fields()) {
      if (support::NarrowLowerCase(f.Name()) == wanted) return true;
    }
    return false;
  });
}

std::string BackupPath(const RunContext& run, std::string_view path) {
  size_t slash = path.rfind('\\');
  if (slash == std::string_view::npos) return {};
  return std::string(path.substr(0, slash + 1)) +
         support::BackupFileName(path.substr(slash + 1), run.run_stamp);
}

bool BackupDatabase(const RunContext& run, std::string_view path) {
  platform::PhaseTimer timer(platform::RunPhase::kBackups);
  StepAndContinue steps("BackupDatabase");
  std::string backup = BackupPath(run, path);
  if (backup.empty() || !platform::FileExists(path)) return true;
  const bool access = steps.Value(false, [&] { return engine::IsAccessFile(path); });
  if (!platform::FileExists(backup)) {
    // A commit a killed run left halfway is undone first: copied as it lies, without its
    // journal, the backup would keep the half commit for good.
    if (!access && !steps.Step([&] { engine::RecoverDatabaseFile(path); })) return false;
    if (!steps.Step([&] { platform::CopyFile(path, backup); })) return false;
  }
  // A database brought from Windows: changed as one of ours, its original kept in the backup.
  if (!access || !platform::FileExists(backup) || !engine::IsAccessFile(backup)) return true;
  if (!steps.Step([&] { CopyDatabaseFile(path, path); })) return false;
  LogLine("BackupDatabase: " + std::string(path) + " was an Access file: converted, original in " +
          backup);
  return true;
}

bool BackupAndReopen(const RunContext& run, Database& db) {
  std::string path = db.Name();
  db.Close();
  bool made = BackupDatabase(run, path);
  db = OpenAppDatabase(path);
  return made;
}

void ChangeDatabasePassword(std::string_view path) {
  StepAndContinue steps("ChangeDatabasePassword");
  if (!platform::FileExists(path)) return;
  Database db;
  steps.Step([&] { db = OpenAppDatabase(path, Keying::kFormer, Sharing::kExclusive); });
  steps.Step([&] { db.NewPassword(FormerDatabasePassword(), DatabasePassword()); });
  // Releasing the handle closes the database.
}

}  // namespace kr::db
