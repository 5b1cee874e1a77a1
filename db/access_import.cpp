// Access files made into databases of ours: the definitions first, then the rows of each table
// through a link, so that the engine streams them from libmdb.
#include "db/db.h"
#include "platform/failure.h"
#include "platform/platform.h"

namespace kr::db {

namespace {

// The name the source table is linked under while its rows come across.
constexpr std::string_view kSourceLink = "~kr_import_source";
constexpr int kWrongPassword = 3031;
constexpr int kImportCacheKib = 4096;

std::string IndexDdl(std::string_view table, const engine::IndexInfo& index) {
  std::string columns;
  for (const auto& [name, descending] : index.fields)
    columns += (columns.empty() ? "" : ", ") + QuoteJetName(name) + (descending ? " DESC" : "");
  std::string with;
  if (index.primary) with += " PRIMARY";
  if (index.required && !index.primary) with += " DISALLOW NULL";
  if (index.ignore_nulls) with += " IGNORE NULL";
  return std::string("CREATE ") + (index.unique && !index.primary ? "UNIQUE " : "") + "INDEX " +
         QuoteJetName(index.name) + " ON " + QuoteJetName(table) + " (" + columns + ")" +
         (with.empty() ? "" : " WITH" + with);
}

void CopyDefinition(const TableDef& source, Database& target, bool with_expressions) {
  TableDef table = target.CreateTableDef(source.Name());
  for (engine::Field f : source.Fields()) {
    engine::Field field = table.CreateField(f.Name(), f.Type(), f.Size());
    field.SetAttributes(f.Attributes() & engine::kAutoIncrField);
    field.SetRequired(f.Required());
    if (f.Type() == engine::kText || f.Type() == engine::kMemo)
      field.SetAllowZeroLength(f.AllowZeroLength());
    if (with_expressions) {
      field.SetDefaultValue(f.DefaultValue());
      field.SetValidationRule(f.ValidationRule());
    }
    table.Fields().Append(field);
  }
  target.TableDefs().Append(table);
}

void CopyTableWhole(const TableDef& source, Database& target, std::string_view source_path,
                    std::string_view source_password) {
  try {
    CopyDefinition(source, target, true);
  } catch (const Failure& failure) {
    // Access's own expressions that ours cannot read: the table comes without them.
    LogLine("ConvertAccessDatabase: " + source.Name() +
            " without defaults and rules: " + failure.what());
    if (target.TableDefs().Find(source.Name()).impl() != nullptr)
      target.TableDefs().Delete(source.Name());
    CopyDefinition(source, target, false);
  }
  TableDef link = target.CreateTableDef(
      kSourceLink, 0, source.Name(),
      ";DataBase=" + std::string(source_path) + ";PWD=" + std::string(source_password) + ";");
  target.TableDefs().Append(link);
  std::string columns;
  for (engine::Field f : source.Fields())
    columns += (columns.empty() ? "" : ", ") + QuoteJetName(f.Name());
  target.Execute("INSERT INTO " + QuoteJetName(source.Name()) + " (" + columns + ") SELECT " +
                     columns + " FROM " + QuoteJetName(kSourceLink),
                 engine::kFailOnError);
  target.TableDefs().Delete(kSourceLink);
  // Indexes after the rows: one sort each instead of a tree grown row by row.
  for (const engine::IndexInfo& index : source.Indexes())
    target.Execute(IndexDdl(source.Name(), index));
}

}  // namespace

void ConvertAccessDatabase(std::string_view source_path, std::string_view source_password,
                           std::string_view target_path, std::string_view password) {
  Database source =
      engine::OpenDatabase(source_path, false, true, ";PWD=" + std::string(source_password) + ";");
  const std::string temporary = std::string(target_path) + ".kr-import";
  if (platform::FileExists(temporary)) platform::DeleteFile(temporary);
  try {
    Database target = engine::CreateDatabase(temporary, password);
    // Inside the one transaction a small page cache spills the rows to the file as they come:
    // memory stays flat however large the source.
    target.LimitCache(kImportCacheKib);
    // One commit for the whole file; the source is attached first, as no attach can happen
    // inside a transaction.
    target.AttachAhead(source.Name());
    target.BeginTrans();
    for (TableDef table : source.TableDefs()) {
      int32_t attributes = table.Attributes();
      if ((attributes & engine::kSystemObject) == engine::kSystemObject) continue;
      if (attributes & engine::kAttachedTable) continue;
      CopyTableWhole(table, target, source.Name(), source_password);
    }
    target.CommitTrans();
    target.Close();
    source.Close();
    if (platform::FileExists(target_path)) {
      platform::CopyFile(temporary, target_path);
      platform::DeleteFile(temporary);
    } else {
      platform::Rename(temporary, target_path);
    }
  } catch (...) {
    if (platform::FileExists(temporary)) platform::DeleteFile(temporary);
    throw;
  }
}

void CopyDatabaseFile(std::string_view from, std::string_view to) {
  if (!engine::IsAccessFile(from)) {
    platform::CopyFile(from, to);
    return;
  }
  try {
    ConvertAccessDatabase(from, DatabasePassword(), to, DatabasePassword());
  } catch (const Failure& failure) {
    if (failure.number() != kWrongPassword) throw;
    ConvertAccessDatabase(from, FormerDatabasePassword(), to, DatabasePassword());
  }
  LogLine("CopyDatabaseFile: " + std::string(from) + " was an Access file: converted into " +
          std::string(to));
}

}  // namespace kr::db
