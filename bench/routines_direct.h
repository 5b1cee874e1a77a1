// The work of a catalogue routine written directly as SQLite statements, as the engine runs it:
// guard, backup, the source attached, then each step's statements and the stamp as one
// transaction per database. Only what the benchmarked routines use is written out; anything else
// stops the run. A generated year folder has no regional or disaster data, so the plain tables are
// chosen.
#pragma once

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "db/db.h"
#include "db/engine/text_collation.h"
#include "platform/platform.h"
#include "routines/routines.h"

namespace routines_bench {

namespace routines = kr::routines;

[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "routines_bench: %s\n", what.c_str());
  std::exit(1);
}

inline void Exec(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    Fail(std::string(message ? message : "?") + "\n  in: " + sql);
  }
}

inline sqlite3* Open(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    Fail("cannot open " + path);
  }
  kr::db::engine::RegisterTextCollation(db);
  return db;
}

// Runs a query and hands each row to row.
inline void Query(sqlite3* db, const std::string& sql,
                  const std::function<void(sqlite3_stmt*)>& row) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    Fail(std::string(sqlite3_errmsg(db)) + "\n  in: " + sql);
  }
  while (sqlite3_step(statement) == SQLITE_ROW) row(statement);
  sqlite3_finalize(statement);
}

inline std::string Text(sqlite3_stmt* statement, int column) {
  const unsigned char* text = sqlite3_column_text(statement, column);
  return text ? reinterpret_cast<const char*>(text) : "";
}

inline long long Number(sqlite3* db, const std::string& sql) {
  long long number = 0;
  Query(db, sql, [&](sqlite3_stmt* s) { number = sqlite3_column_int64(s, 0); });
  return number;
}

inline std::string Q(const std::string& name) { return "\"" + name + "\""; }
inline std::string Literal(const std::string& text) {
  return "'" + kr::support::ReplaceAll(text, "'", "''") + "'";
}

inline bool HasTable(sqlite3* db, const std::string& schema, const std::string& table) {
  return Number(db, "SELECT count(*) FROM " + schema +
                        ".sqlite_schema WHERE type='table' AND name=" + Literal(table) +
                        " COLLATE NOCASE") > 0;
}

struct Column {
  std::string name, type;
};
inline std::vector<Column> Columns(sqlite3* db, const std::string& schema,
                                   const std::string& table) {
  std::vector<Column> columns;
  Query(db, "PRAGMA " + schema + ".table_info(" + Q(table) + ")", [&](sqlite3_stmt* s) {
    columns.push_back({Text(s, 1), Text(s, 2)});
  });
  return columns;
}

inline bool HasColumn(const std::vector<Column>& columns, const std::string& name) {
  return std::any_of(columns.begin(), columns.end(), [&](const Column& c) {
    return sqlite3_stricmp(c.name.c_str(), name.c_str()) == 0;
  });
}

inline std::string List(const std::vector<Column>& columns) {
  std::string list;
  for (const Column& c : columns) list += (list.empty() ? "" : ", ") + Q(c.name);
  return list;
}

// A data variant of a region or edition that generated folders do not have.
inline bool IsVariant(const std::string& table) {
  for (const char* suffix : {"_Hisai", "_HisaiK", "_HisaiH", "(被災)", "_Shizuoka", "(神戸)",
                             "(九州)", "(土木)", "(造園)"}) {
    if (table.ends_with(suffix)) return true;
  }
  return table.starts_with("Book") && table.ends_with("_D");
}

// One target database with the routine's source attached as "src".
class DirectRun {
 public:
  DirectRun(sqlite3* db, std::string cri_path, std::string set_path)
      : db_(db), cri_path_(std::move(cri_path)), set_path_(std::move(set_path)) {}

  void Steps(const std::vector<routines::Step>& steps) {
    for (const routines::Step& step : steps) {
      std::string table = step.tables.empty() ? step.text : step.tables.front();
      if (step.op == routines::Op::kTransfer && step.tables.size() > 1) {
        table = *std::find_if_not(step.tables.begin(), step.tables.end(), IsVariant);
      }
      switch (step.op) {
        case routines::Op::kTest:
          if (Decide(step) && step.gate) Steps(step.gated);
          break;
        case routines::Op::kTransfer:
          if (!IsVariant(table)) Transfer(table, step.target, step.keys, false);
          break;
        case routines::Op::kDeleteMatching:
          Transfer(table, step.target, step.keys, true);
          break;
        case routines::Op::kKeepOld:
          KeepOld(table);
          break;
        case routines::Op::kCarryOver:
          CarryOver(table);
          break;
        case routines::Op::kRefreshDistrictPrices:
          if (table != "Cri") Fail("no direct form of the district prices of " + table);
          DistrictPrices(table);
          NumberNewItems(table, "Cri_Ind");
          break;
        case routines::Op::kProgress:
          break;
        default:
          Fail("no direct form of a step on " + table);
      }
    }
  }

 private:
  bool Decide(const routines::Step& test) {
    std::vector<std::string> names;
    std::string path = cri_path_;
    if (test.text == "HasTohokuDistricts") names = {"岩手", "宮城", "福島"};
    if (test.text == "HasKumamotoDistrict") names = {"熊本"};
    if (test.text == "HasHiroshimaDistrict") names = {"広島"};
    if (test.text == "DistrictCommentContains") names = test.arguments, path.clear();
    if (test.text == "EnvironFlag60") {
      sqlite3* set = Open(set_path_);
      bool flag = Number(set, "SELECT count(*) FROM Environ WHERE ID=60 AND SetName='1'") > 0;
      sqlite3_close(set);
      return flag;
    }
    if (names.empty()) Fail("no direct form of the test " + test.text);
    sqlite3* db = path.empty() ? db_ : Open(path);
    bool found = false;
    for (const std::string& name : names) {
      found = found || Number(db, "SELECT count(*) FROM 地区名 WHERE instr(コメント, " +
                                      Literal(name) + ")") > 0;
    }
    if (db != db_) sqlite3_close(db);
    return found;
  }

  void Transfer(const std::string& source, const std::string& target_name, const std::string& keys,
                bool delete_only) {
    const std::string& target = target_name.empty() ? source : target_name;
    if (!HasTable(db_, "src", source) || !HasTable(db_, "main", target)) return;
    if (Number(db_, "SELECT count(*) FROM src." + Q(source)) == 0) return;
    if (keys.empty()) {
      Exec(db_, "DELETE FROM " + Q(target));
    } else {
      std::string key_list;
      for (const std::string& key : kr::support::Split(keys, ","))
        key_list += (key_list.empty() ? "" : ", ") + Q(key);
      Exec(db_, "DELETE FROM " + Q(target) + " WHERE (" + key_list + ") IN (SELECT " + key_list +
                    " FROM src." + Q(source) + ")");
    }
    if (delete_only) return;
    std::vector<Column> from = Columns(db_, "src", source), shared;
    for (const Column& c : Columns(db_, "main", target)) {
      if (HasColumn(from, c.name)) shared.push_back(c);
    }
    Exec(db_, "INSERT OR IGNORE INTO " + Q(target) + " (" + List(shared) + ") SELECT " +
                  List(shared) + " FROM src." + Q(source));
  }

  // The old table is made from the release's definition (columns, types and checks, no index)
  // unless the release lacks one of the target's columns.
  void KeepOld(const std::string& table) {
    std::vector<Column> layout = Columns(db_, "src", table), own = Columns(db_, "main", table);
    std::string schema = "src";
    for (const Column& c : own) {
      if (!HasColumn(layout, c.name)) layout = own, schema = "main";
    }
    std::string create;
    Query(db_,
          "SELECT sql FROM " + schema +
              ".sqlite_schema WHERE type='table' AND name=" + Literal(table),
          [&](sqlite3_stmt* s) { create = Text(s, 0); });
    size_t name = create.find(Q(table));
    if (name == std::string::npos) Fail("no definition of " + table);
    Exec(db_, create.replace(name, table.size() + 2, Q(table + "Old")));
    Exec(db_, "INSERT OR IGNORE INTO " + Q(table + "Old") + " (" + List(layout) + ") SELECT " +
                  List(layout) + " FROM " + Q(table));
  }

  void CarryOver(const std::string& table) {
    const std::string t = Q(table), old = Q(table + "Old"), from = " FROM " + old + " AS o WHERE ";
    const std::string all = List(Columns(db_, "main", table));
    if (!table.ends_with("s")) {
      Exec(db_, "UPDATE OR IGNORE " + t + " SET ValPrice1=o.ValPrice1, ValPrice2=o.ValPrice2, " +
                    "UserCode=o.UserCode, JPer=o.JPer" + from + t + ".Code=o.Code");
      Exec(db_, "UPDATE OR IGNORE " + t + " SET Search1=o.Search1, Search2=o.Search2" + from + t +
                    ".Code=o.Code AND o.MakeDay IS NOT NULL AND o.MakeDay<>''");
      Exec(db_, "INSERT OR IGNORE INTO " + t + " (" + all + ") SELECT " + all + " FROM " + old +
                    " WHERE length(Code)>=18");
    } else {
      Exec(db_, "UPDATE OR IGNORE " + t + " SET Quantity2=o.Quantity2" + from + t +
                    ".Code=o.Code AND " + t + ".ValCode=o.ValCode");
      Exec(db_, "DELETE FROM " + t + " WHERE ValCode IN (SELECT ValCode FROM " + old +
                    " WHERE length(ValCode)>=18)");
      Exec(db_, "INSERT OR IGNORE INTO " + t + " (" + all + ") SELECT " + all + " FROM " + old +
                    " WHERE length(ValCode)>=18");
    }
    Exec(db_, "DROP TABLE " + old);
  }

  // Prices of the districts 地区名 names from the source's prefecture columns, derived ones from
  // their base district, then Null prices 0; only items the source has.
  void DistrictPrices(const std::string& table) {
    const std::string t = Q(table), join = " FROM src." + t + " AS l WHERE " + t + ".Code=l.Code";
    std::vector<Column> source_columns = Columns(db_, "src", table);
    std::string direct, derived;
    Query(db_, "SELECT ID, コメント FROM 地区名", [&](sqlite3_stmt* s) {
      int id = sqlite3_column_int(s, 0);
      std::vector<std::string> parts = kr::support::Split(Text(s, 1), ",");
      parts.resize(std::max<size_t>(parts.size(), 3));
      std::string kind = kr::support::Trim(parts[1]), price = "Price" + std::to_string(id);
      if (id < 1 || id > 10) return;
      if (kind == "×") {
        int base = std::atoi(kr::support::ReplaceAll(parts[0], "単価", "").c_str());
        if (base < 1 || base > 10) return;
        char factor[32];
        std::snprintf(factor, sizeof factor, "%.17g", std::atof(parts[2].c_str()) / 100);
        derived +=
            ", " + price + "=floor(" + t + ".Price" + std::to_string(base) + "*" + factor + ")";
      } else if (HasColumn(source_columns, kr::db::FullPrefectureName(kind))) {
        direct += ", " + price + "=l." + Q(kr::db::FullPrefectureName(kind));
      }
    });
    if (!direct.empty()) Exec(db_, "UPDATE OR IGNORE " + t + " SET " + direct.substr(2) + join);
    if (!derived.empty()) Exec(db_, "UPDATE OR IGNORE " + t + " SET " + derived.substr(2) + join);
    for (int id = 1; id <= 10; ++id) {
      std::string price = t + ".Price" + std::to_string(id);
      Exec(db_, "UPDATE OR IGNORE " + t + " SET Price" + std::to_string(id) + "=0" + join +
                    " AND " + price + " IS NULL");
    }
  }

  // Each new item (Index 0) after the highest Index of its index range.
  void NumberNewItems(const std::string& table, const std::string& index_table) {
    std::vector<std::string> codes;
    Query(db_, "SELECT Code FROM " + Q(table) + " WHERE \"Index\"=0 ORDER BY Code",
          [&](sqlite3_stmt* s) { codes.push_back(Text(s, 0)); });
    Exec(db_, "SAVEPOINT numbering");
    for (const std::string& code : codes) {
      std::string start, end;
      Query(db_,
            "SELECT StrtCode, EndCode FROM " + Q(index_table) +
                " WHERE StrtCode<=" + Literal(code) + " AND EndCode>" + Literal(code) + " LIMIT 1",
            [&](sqlite3_stmt* s) { start = Text(s, 0), end = Text(s, 1); });
      if (start.empty()) continue;
      long long highest =
          Number(db_, "SELECT max(\"Index\") FROM " + Q(table) + " WHERE Code>=" + Literal(start) +
                          " AND Code<" + Literal(end));
      if (highest <= 0) continue;
      Exec(db_, "UPDATE " + Q(table) + " SET \"Index\"=" + std::to_string(highest + 1) +
                    " WHERE Code=" + Literal(code));
    }
    Exec(db_, "RELEASE numbering");
  }

  sqlite3* db_;
  std::string cri_path_, set_path_;
};

// One routine over the year folders, with the engine's page cache for changing statements.
inline void RunDirect(const routines::Routine& routine, const std::string& app,
                      const std::string& package, const std::vector<std::string>& years,
                      const std::string& run_stamp) {
  const std::string source = package + "/" + routine.sources.front();
  const std::string file = routine.sources.front().substr(0, 5) + ".mdb";
  const kr::db::VersionTuple guard = *routine.guards.front().at_least;
  const kr::db::VersionTuple stamp = *kr::db::VersionTuple::Parse(routine.record.front().text);
  for (const std::string& year : years) {
    const std::string folder = app + "/File/" + year + "/";
    sqlite3* db = Open(folder + file);
    std::string ver;
    Query(db, "SELECT Ver FROM Version", [&](sqlite3_stmt* s) { ver = Text(s, 0); });
    std::optional<kr::db::VersionTuple> stored = kr::db::VersionTuple::Parse(ver);
    if (stored && *stored >= guard) {
      sqlite3_close(db);
      continue;
    }
    if (routine.backup) {
      sqlite3_close(db);
      std::string backup = folder + kr::support::BackupFileName(file, run_stamp);
      if (!std::filesystem::exists(backup)) kr::platform::CopyFile(folder + file, backup);
      db = Open(folder + file);
    }
    Exec(db, "PRAGMA cache_size=-49152");
    Exec(db, "ATTACH DATABASE " + Literal(source) + " AS src");
    Exec(db, "BEGIN");
    DirectRun(db, folder + "KrCri.mdb", app + "/File/KrSet.mdb").Steps(routine.steps);
    if (!stored || *stored < stamp) Exec(db, "UPDATE Version SET Ver='" + stamp.Text() + "'");
    Exec(db, "COMMIT");
    sqlite3_close(db);
  }
}

}  // namespace routines_bench
