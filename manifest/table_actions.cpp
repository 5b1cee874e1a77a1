// The TABLE family of file actions: a package database's table merged into an installed
// database through the toolkit's whole-table copy. Opens and closes are steps, so their failures
// reach the error block; the copies are calls of the toolkit, which reports nothing.
#include <string>

#include "db/db.h"
#include "manifest/file_action_rows.h"
#include "platform/failure.h"
#include "platform/platform.h"

namespace kr::manifest::internal {

namespace {

constexpr std::string_view kUpdatingTable = "テーブルを更新中...";
constexpr std::string_view kCheckArguments = "引数を確認してください";

db::Database OpenStep(FileAction& a, const std::string& path) {
  db::Database db;
  a.steps.Step([&] { db = db::OpenAppDatabase(path); });
  return db;
}

// Closing a database whose open failed is itself a failure (91), the one the error block shows.
void CloseStep(FileAction& a, db::Database& db) {
  a.steps.Step([&] { db.Close(); });
}

// TABLE(OPENCHK) and TABLE: the package file goes in beside the target as Temp.mdb, the table
// is copied from there, and Temp.mdb goes again.
void CopyThroughTemporary(FileAction& a, std::string_view table_spec, std::string_view where_text,
                          std::string_view key_list) {
  std::string temporary = a.destination + "Temp.mdb";
  DeleteIfExists(a, temporary);
  a.steps.Step([&] { platform::CopyFile(a.source, temporary); });
  db::Database target = OpenStep(a, a.target);
  db::Database source = OpenStep(a, temporary);
  a.steps.Call([&] { db::CopyTable(source, target, table_spec, where_text, key_list); });
  CloseStep(a, target);
  CloseStep(a, source);
  a.steps.Step([&] { platform::DeleteFile(temporary); });
}

}  // namespace

void UpdateOpenChkTable(FileAction& a) {
  a.ui.SetWaitLabel(1, "OpenChk" + std::string(kUpdatingTable));
  CopyThroughTemporary(a, "OpenChk", "", "");
}

void UpdateTable(FileAction& a) {
  a.ui.SetWaitLabel(1, a.args[1] + std::string(kUpdatingTable));
  CopyThroughTemporary(a, a.args[1], a.args[2], a.args[3]);
}

void CopySourceTable(FileAction& a) {
  a.ui.SetWaitLabel(1, a.args[1] + std::string(kUpdatingTable));
  db::Database target = OpenStep(a, a.destination + a.file);
  db::Database source = OpenStep(a, a.run.package_folder + "KrSource.mdb");
  a.steps.Call([&] { db::CopyTable(source, target, a.args[1], a.args[2], a.args[3]); });
  CloseStep(a, target);
  CloseStep(a, source);
}

void CopyTableIfVersionOlder(FileAction& a) {
  a.ui.SetWaitLabel(1, a.args[1] + std::string(kUpdatingTable));
  const db::CopyIfOlderResult result =
      a.steps.Call([&] { return db::CopyTableIfOlder(a.run, a.destination + a.file, a.args); });
  if (result == db::CopyIfOlderResult::kBadArguments) {
    a.ui.MessageBox(kCheckArguments, a.run.title, ui::Icon::kNone);
  }
}

}  // namespace kr::manifest::internal
