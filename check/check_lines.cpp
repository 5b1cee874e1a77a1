// The manifest's lines: file actions with their keywords, files and table sources, and routine
// lines with what their catalogue rows read.
#include <algorithm>
#include <array>

#include "check/check_internal.h"
#include "platform/failure.h"
#include "platform/platform.h"
#include "routines/routines.h"
#include "support/support.h"

namespace kr::check::internal {

namespace {

// Every keyword the file actions know, the modifiers of a plain copy and "" (a plain copy).
constexpr std::array<std::string_view, 17> kKeywords = {"DLL",
                                                        "OCX",
                                                        "AEXE",
                                                        "TABLE(OPENCHK)",
                                                        "TABLE",
                                                        "TABLECOPY",
                                                        "TABLECOPYVERSION",
                                                        "BACKUPOLD",
                                                        "REGSVR32",
                                                        "DELETE",
                                                        "RMDIR",
                                                        "REPAIRSHORTCUT",
                                                        "PUTXMLSETTING",
                                                        "FILECOPYSUBDIR",
                                                        "SAVEOLD",
                                                        "NOTOVERWRITE",
                                                        "EXECHECKVERSION"};

// Actions that take no file of the line's name from the package.
constexpr std::array<std::string_view, 7> kWithoutSource = {
    "TABLECOPY",      "TABLECOPYVERSION", "DELETE",   "RMDIR",
    "REPAIRSHORTCUT", "PUTXMLSETTING",    "BACKUPOLD"};

template <size_t N>
bool Among(const std::array<std::string_view, N>& list, std::string_view word) {
  return std::find(list.begin(), list.end(), word) != list.end();
}

std::vector<std::string> SplitTrimmed(std::string_view text, std::string_view separator) {
  std::vector<std::string> parts;
  for (const std::string& part : support::Split(text, separator)) {
    std::string trimmed = support::Trim(part);
    if (!trimmed.empty()) parts.push_back(trimmed);
  }
  return parts;
}

std::string Joined(const std::vector<std::string>& names, std::string_view separator) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : std::string(separator)) + name;
  return text;
}

// The table of a needs list that is there, "" when none is.
std::string PresentTable(db::Database& database, const TableNeed& need) {
  for (const std::string& table : need.tables) {
    if (db::TableExists(database, table)) return table;
  }
  return {};
}

// False when no table of the need is there.
bool CheckNeed(Report& report, int line, db::Database& database, const TableNeed& need,
               std::string_view who, std::string_view file) {
  std::string table = LeaveOnError("check source table", std::string(),
                                   [&] { return PresentTable(database, need); });
  if (table.empty()) {
    std::string names = Joined(need.tables, " / ");
    std::string message = std::string(who) + " が読むテーブル " + Quoted(names) + " が " +
                          Quoted(file) + " にありません（" + need.step + "）。";
    if (need.variant) {
      report.Warning(line, "missing-table", message);
    } else {
      report.Error(line, "missing-table", message);
    }
    return false;
  }
  for (const std::string& column : need.columns) {
    bool present = LeaveOnError("check source column", false,
                                [&] { return db::HasField(database, table, column); });
    if (!present) {
      report.Error(line, "missing-column",
                   std::string(who) + " が読むフィールド " + Quoted(column) + " が " +
                       Quoted(file) + " のテーブル " + Quoted(table) + " にありません（" +
                       need.step + "）。");
    }
  }
  return true;
}

void AddTableNeed(std::vector<TableNeed>& needs, std::string_view spec, std::string_view where,
                  std::string_view keys, std::string step) {
  db::TableSpec tables = db::SplitTableSpec(spec);
  TableNeed need;
  need.tables = {tables.source};
  need.columns = SplitTrimmed(keys, ",");
  for (std::string& column : routines::ColumnsOf(db::NormaliseWhere(where))) {
    if (std::find(need.columns.begin(), need.columns.end(), column) == need.columns.end())
      need.columns.push_back(std::move(column));
  }
  need.step = std::move(step);
  needs.push_back(std::move(need));
}

// A file of the package as the updater finds it: by the line's path, or by its name at the top.
bool InPackage(const std::string& package_folder, const std::string& file) {
  return platform::FileExists(package_folder + file) ||
         platform::FileExists(package_folder + support::GetFileNamePart(file));
}

std::string PackageFile(const std::string& package_folder, const std::string& file) {
  std::string direct = package_folder + file;
  return platform::FileExists(direct) ? direct : package_folder + support::GetFileNamePart(file);
}

// TABLE, TABLE(OPENCHK), TABLECOPY and TABLECOPYVERSION: the source and the table they read.
void CheckTableAction(Report& report, int line, const std::string& package_folder,
                      const std::string& keyword, const std::string& file,
                      const std::array<std::string, 4>& args) {
  std::vector<TableNeed> needs;
  std::string source;
  std::string step = keyword + (args[1].empty() ? "" : ";" + args[1]);
  if (keyword == "TABLE(OPENCHK)") {
    source = PackageFile(package_folder, file);
    AddTableNeed(needs, "OpenChk", "", "", step);
  } else {
    if (args[1].empty()) {
      report.Error(line, "missing-argument",
                   keyword + " にテーブル名がありません（" + keyword + ";テーブル名）。");
      return;
    }
    std::string keys = args[3];
    if (keyword == "TABLE") {
      source = PackageFile(package_folder, file);
    } else if (keyword == "TABLECOPY") {
      source = package_folder + "KrSource.mdb";
    } else {
      std::vector<std::string> packed = support::Split(args[3], "|");
      packed.resize(std::max<size_t>(packed.size(), 6));
      keys = packed[0];
      if (packed[1].empty() || db::NzNumber(db::Value::Text(packed[2])).ToInt32() == 0) {
        report.Error(line, "malformed-value",
                     "TABLECOPYVERSION の四つ目の引数は「キー|取り込み元|年|メジャー|マイナー|"
                     "TRUE」です。取り込み元と年が必要です。");
        return;
      }
      source = package_folder + packed[1];
    }
    AddTableNeed(needs, args[1], args[2], keys, step);
  }
  if (!platform::FileExists(source)) {
    report.Error(line, "missing-file",
                 keyword + " の取り込み元 " + Quoted(support::GetFileNamePart(source)) +
                     " がパッケージにありません。");
    return;
  }
  CheckSourceDatabase(report, line, source, {db::Keying::kCurrent}, needs, keyword);
}

}  // namespace

void CheckSourceDatabase(Report& report, int line, const std::string& path,
                         const std::vector<db::Keying>& keyings,
                         const std::vector<TableNeed>& needs, std::string_view who) {
  std::string file = support::GetFileNamePart(path);
  if (!platform::FileExists(path)) {
    report.Error(
        line, "missing-source",
        std::string(who) + " の取り込み元 " + Quoted(file) + " がパッケージにありません。");
    return;
  }
  db::Database database;
  int error = 0;
  for (db::Keying keying : keyings) {
    StepAndContinue open("check source database");
    open.Step(
        [&] { database = db::engine::OpenDatabase(path, false, true, db::ConnectString(keying)); });
    if (!open.failed()) break;
    error = open.pending()->number();
  }
  if (!database.IsOpen()) {
    report.Error(line, "source-unopenable",
                 std::string(who) + " の取り込み元 " + Quoted(file) +
                     (error == 3031 ? " をアップデートのパスワードで開けません。"
                                    : " をデータベースとして開けません（エラー番号 " +
                                          std::to_string(error) + "）。"));
    return;
  }
  // A table several steps read is reported once.
  std::vector<std::vector<std::string>> missing;
  for (const TableNeed& need : needs) {
    if (std::find(missing.begin(), missing.end(), need.tables) != missing.end()) continue;
    if (!CheckNeed(report, line, database, need, who, file)) missing.push_back(need.tables);
  }
  LeaveOnError("close source database", [&] { database.Close(); });
}

void CheckFileLine(Report& report, int line, const std::string& package_folder,
                   const std::vector<std::string>& values) {
  if (values.size() < 3) {
    report.Error(line, "too-few-values",
                 "値が三つ（ファイル,インストール先,キーワード）に足りないため、"
                 "この行は実行されません。");
    return;
  }
  const std::string& file = values[0];
  std::string field = values[2];
  for (size_t i = 3; i < values.size(); ++i) field += "," + values[i];
  std::string upper = support::UpperCase(field);
  // The updater upper-cases the arguments; table and column names are found case-blind, so the
  // messages show them as written.
  std::array<std::string, 4> args, written;
  std::vector<std::string> parts = support::Split(upper, ";");
  std::vector<std::string> written_parts = support::Split(field, ";");
  for (size_t i = 0; i < args.size() && i < parts.size(); ++i) {
    args[i] = parts[i];
    written[i] = i < written_parts.size() ? written_parts[i] : parts[i];
  }
  const std::string& keyword = args[0];
  if (file.empty()) return;  // a folder to be made
  if (!keyword.empty() && !Among(kKeywords, keyword)) {
    std::vector<std::string> known(kKeywords.begin(), kKeywords.end());
    std::string nearest = Nearest(keyword, known);
    report.Error(line, "unknown-keyword",
                 "キーワード " + Quoted(field.substr(0, field.find(';'))) +
                     " はありません。ファイルのコピーとして実行されます" +
                     (nearest.empty() ? "" : "（" + Quoted(nearest) + " の誤りではありませんか）") +
                     "。");
  }
  if (keyword == "PUTXMLSETTING" && parts.size() < 4) {
    report.Error(line, "missing-argument",
                 "PUTXMLSETTING には「PUTXMLSETTING;セクション;項目;値」が必要です。");
  }
  if (keyword == "EXECHECKVERSION" && args[1].empty()) {
    report.Warning(
        line, "missing-argument",
        "EXECHECKVERSION に版番号がないため、インストール済みのファイルは置き換わりません。");
  }
  if (file.find('*') != std::string::npos) {
    std::string folder = support::GetParentPath(file);
    if (!folder.empty() && !platform::FileExists(package_folder + folder) &&
        !platform::Attributes(package_folder + folder).exists) {
      report.Error(line, "missing-file",
                   "フォルダ " + Quoted(folder) + " がパッケージにありません。");
    }
    return;
  }
  if (!Among(kWithoutSource, keyword) && !InPackage(package_folder, file)) {
    report.Error(
        line, "missing-file",
        Quoted(file) + " がパッケージにありません（ファイル名の大文字・小文字は区別しません）。");
    return;
  }
  if (keyword == "TABLE" || keyword == "TABLE(OPENCHK)" || keyword == "TABLECOPY" ||
      keyword == "TABLECOPYVERSION") {
    written[0] = keyword;
    CheckTableAction(report, line, package_folder, keyword, file, written);
  }
}

void CheckFunctionLine(Report& report, int line, const std::string& package_folder,
                       const std::vector<std::string>& values) {
  const std::string& name = values[0];
  std::vector<const routines::Routine*> rows = routines::Lookup(name);
  if (rows.empty()) {
    std::vector<std::string> names;
    for (const routines::Routine& r : routines::Catalogue()) names.push_back(r.name);
    std::string nearest = Nearest(name, names);
    report.Error(line, "unknown-routine",
                 "更新ルーチン " + Quoted(name) + " はありません。この行は何も実行しません" +
                     (nearest.empty() ? "" : "（" + Quoted(nearest) + " の誤りではありませんか）") +
                     "。");
    return;
  }
  if (values.size() < 2) {
    report.Warning(line, "phase", "実行時期（AFTER）がありません。");
  } else if (support::UpperCase(values[1]) != "AFTER") {
    report.Error(
        line, "phase",
        "実行時期 " + Quoted(values[1]) + " は AFTER ではないため、この行は実行されません。");
  }
  for (const routines::Routine* routine : rows) {
    routines::RoutineReads reads = routines::ReadsOf(*routine);
    for (const std::string& source : routine->sources) {
      bool database = std::find(reads.databases.begin(), reads.databases.end(), source) !=
                      reads.databases.end();
      if (!database && !platform::FileExists(package_folder + source)) {
        report.Error(line, "missing-source",
                     name + " の取り込み元 " + Quoted(source) + " がパッケージにありません。");
      }
    }
    for (const std::string& source : reads.databases) {
      std::vector<TableNeed> needs;
      for (const routines::TableRead& read : reads.tables) {
        if (read.source != source) continue;
        needs.push_back({read.tables, read.columns, read.variant, read.step});
      }
      CheckSourceDatabase(report, line, package_folder + source, reads.keyings, needs, name);
    }
    for (const routines::Record& record : routine->record) {
      if (record.kind == routines::RecordKind::kMarker &&
          !platform::FileExists(package_folder + record.text)) {
        report.Warning(line, "missing-file",
                       name + " がインストール先に写すファイル " + Quoted(record.text) +
                           " がパッケージにありません。");
      }
    }
  }
}

}  // namespace kr::check::internal
