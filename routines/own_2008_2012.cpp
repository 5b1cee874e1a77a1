// Hand-written routines of 2008 to 2012: work that is more than a list of toolkit steps.
#include <optional>

#include "platform/platform.h"
#include "routines/body_report.h"
#include "routines/catalogue.h"
#include "routines/interpreter.h"
#include "routines/procedures.h"
#include "routines/settings_routines.h"

namespace kr::routines {

namespace {

// LinkInstall attached for the source table around the steps of f, dropped after them.
template <class F>
void WithLinkInstall(RoutineRun& run, Database& source, Database& target, std::string_view table,
                     F&& f) {
  std::optional<db::AttachedTable> link;
  run.steps.Step([&] { link.emplace(target, "LinkInstall", source, table); });
  f();
  if (link) run.steps.Step([&] { link->Drop(); });
}

// The row's early source and each target, with work as the target's entry.
template <class F>
void WithEachTarget(RoutineRun& run, F&& work) {
  Hooks hooks;
  hooks.work = [&](EntryContext& e) { work(e.source, e.target, e.place); };
  RunSkeleton(run, hooks);
}

// The specials of LinkInstall replace the target's rows of the same specials.
void MergeSpecials(RoutineRun& run, Database& target) {
  std::vector<std::string> specials;
  run.steps.Step([&] {
    db::Recordset rs = target.OpenRecordset("SELECT DISTINCT Special FROM LinkInstall;",
                                            db::engine::kOpenSnapshot);
    for (; !rs.Eof(); rs.MoveNext()) specials.push_back(db::NzString(rs["Special"].GetValue()));
    rs.Close();
  });
  for (const std::string& special : specials) {
    run.steps.Step([&] {
      target.Execute("DELETE * FROM SpeExe WHERE Special=" + db::QuoteJetText(special) + ";");
    });
  }
  run.steps.Step([&] { target.Execute("INSERT INTO SpeExe SELECT * FROM LinkInstall;"); });
}

}  // namespace

void UpdateSpeExeH20(RoutineRun& run) {
  WithEachTarget(run, [&](Database& source, Database& target, const Place&) {
    WithLinkInstall(run, source, target, "SpeExe", [&] { MergeSpecials(run, target); });
  });
}

void UpdateCriBaseYamanashiH21(RoutineRun& run) {
  WithEachTarget(run, [&](Database& source, Database& target, const Place&) {
    WithLinkInstall(run, source, target, "Cri", [&] {
      run.steps.Step([&] { target.Execute("DELETE FROM Cri WHERE LEN(Code)=14;"); });
      run.steps.Step([&] { target.Execute("INSERT INTO Cri SELECT * FROM LinkInstall;"); });
    });
    for (std::string table : {"Cri_Base", "Cri_Base_Ind"}) {
      WithLinkInstall(run, source, target, table, [&] {
        run.steps.Step([&] { target.Execute("DELETE FROM " + table + " WHERE 1;"); });
        run.steps.Step([&] { db::SyncFields(target, "LinkInstall", target, table, true); });
        run.steps.Step(
            [&] { target.Execute("INSERT INTO " + table + " SELECT * FROM LinkInstall;"); });
      });
    }
  });
}

void Update200910NumberIni(RoutineRun& run) {
  if (!platform::FileExists(run.PackageFile("KrNumber.ini"))) return;
  run.steps.Call([&] { db::MergeNumberIni(run.context); });
}

// The settings part of the 2009 release: the package's settings database is optional, and the
// first group of changes has a guard of its own (the row's second).
void Update200910SetTables(RoutineRun& run) {
  const Routine& r = run.routine;
  Database source = run.OpenIfPresent(run.PackageFile("KrSet.mdb"));
  Hooks hooks;
  hooks.source = &source;
  hooks.work = [&](EntryContext& e) {
    if (r.guards.size() > 1 && !run.Skip(e.target, &r.guards[1])) {
      run.steps.Call([&] { db::TransferRows(e.source, e.target, "OpenChk", "", "ID"); });
      run.steps.Call([&] { UpdatePrintWidthsFromPackage(run, e.source, e.target); });
      run.steps.Call([&] { UpdateWordTables(run, e.source, e.target); });
    }
    run.steps.Call([&] {
      db::TransferRows(e.source, e.target, "Environ",
                       "(ID BETWEEN 201 AND 215) OR (ID BETWEEN 401 AND 415)", "ID");
    });
  };
  RunSkeleton(run, hooks);
  run.Close(source);
}

// The users' own codes of the district unit prices, sought by key in the Val### table that
// the first three characters of each code name.
void Update2011UserCode(RoutineRun& run) {
  WithEachTarget(run, [&](Database& source, Database& target, const Place&) {
    std::vector<std::string> tables;
    run.steps.Step([&] {
      db::engine::TableDefCollection defs = source.TableDefs();
      defs.Refresh();
      for (db::TableDef def : defs) {
        if (def.Name().rfind("地区Code_", 0) == 0) tables.push_back(def.Name());
      }
    });
    for (const std::string& table : tables) {
      db::Recordset rows;
      if (!run.steps.Step(
              [&] { rows = source.OpenRecordset("SELECT * FROM " + table + " ORDER by Code"); })) {
        continue;
      }
      db::Recordset prices;
      std::string opened_for = "\x01";
      while (run.steps.Value(false, [&] { return !rows.Eof(); })) {
        std::string code;
        if (!run.steps.Step([&] { code = db::NzString(rows["Code"].GetValue()); })) break;
        std::string prefix = support::CharLeft(code, 3);
        if (prefix != opened_for) {
          opened_for = prefix;
          prices = db::Recordset();  // a failed reopen must not write into the last table
          run.steps.Step([&] {
            prices = target.OpenRecordset("Val" + prefix, db::engine::kOpenTable);
            prices.SetIndex("Primarykey");
          });
        }
        run.steps.Step([&] {
          prices.Seek("=", {db::Value(code)});
          if (prices.NoMatch()) return;
          prices.Edit();
          prices["UserCode"].SetValue(rows["UserCode"].GetValue());
          prices.Update();
        });
        if (!run.steps.Step([&] { rows.MoveNext(); })) break;
      }
      run.steps.Step([&] { rows.Close(); });
    }
  });
}

namespace {

// Rows of a table, -1 when there is no such table or it cannot be read.
int64_t RowsOf(Database& db, std::string_view table) {
  return LeaveOnError("RowsOf", int64_t{-1}, [&] {
    if (!db.IsOpen() || !db::TableExists(db, table)) return int64_t{-1};
    db::Recordset rs = db.OpenRecordset("SELECT COUNT(*) FROM [" + std::string(table) + "]",
                                        db::engine::kOpenSnapshot);
    int64_t rows = static_cast<int64_t>(db::NzNumber(rs.Fields()[0].GetValue()).ToDouble());
    rs.Close();
    return rows;
  });
}

}  // namespace

// The package's KrBox.mdb replaces the installed one, with the user's boxes copied into it. The
// new box is made whole beside the installed one and only then put in its place. Copying the
// release over the installed file first left the user's boxes only in Temp.mdb while the copies
// ran: a run stopped there left a box that already passed the guard, and no later run brought them
// back.
void Update2012Box10(RoutineRun& run) {
  std::string package_box = run.PackageFile("KrBox.mdb");
  if (!platform::FileExists(package_box)) return NoSource(run, "KrBox.mdb");
  ForEachPlace(run, [&](const Place& place, size_t) {
    BodyTarget record(run, place.path);
    record.Step("open");
    Database installed = run.Open(place.path);
    record.Step("");
    // A box that cannot be read is not replaced: nothing could bring its contents back.
    if (!installed.IsOpen()) {
      record.Unfinished("it cannot be opened");
      return true;
    }
    std::optional<std::string> before = RecordedVersion(installed);
    if (run.Skip(installed, StageOf(run.routine, 0).guard)) {
      record.Skipped("既に記録されています（" + before.value_or("版なし") + "）");
      run.Close(installed);
      return true;
    }
    std::string temp = place.folder + "Temp.mdb";
    auto remove_temp = [&] {
      if (!platform::FileExists(temp)) return true;
      // A journal a killed run left beside it would otherwise be played back onto the next one.
      return run.steps.Step([&] { db::engine::RecoverDatabaseFile(temp); }) &&
             run.steps.Step([&] { platform::DeleteFile(temp); });
    };
    record.Step("new box");
    bool made = remove_temp() && run.steps.Step([&] { db::CopyDatabaseFile(package_box, temp); });
    std::optional<std::string> after;
    std::vector<report::TableCounts> tables;
    if (made) {
      int64_t disk_failures = installed.DiskFailures();
      Database new_box = run.Open(temp);
      made = new_box.IsOpen();
      record.Watch(new_box);
      for (std::string_view table : {"Cri", "Val", "Vals", "Woody"}) {
        record.Step("copy " + std::string(table));
        run.steps.Call([&] { db::CopyTable(installed, new_box, table, "", ""); });
        // A copy that failed (it says so only in the log) would leave those boxes behind.
        int64_t user = RowsOf(installed, table), copied = RowsOf(new_box, table);
        if (user > 0 && copied >= 0 && copied != user) made = false;
        if (copied > 0) tables.push_back({std::string(table), copied, 0, 0});
      }
      after = RecordedVersion(new_box);
      run.Close(new_box);
      made = made && installed.DiskFailures() + new_box.DiskFailures() == disk_failures;
      if (!made) LogLine("Update2012Box10: the user's boxes did not all reach " + temp + "; kept");
    }
    run.Close(installed);
    record.Step("replace");
    if (made) made = run.steps.Step([&] { platform::CopyFile(temp, place.path); });
    record.Step("");
    remove_temp();
    if (!made) {
      record.Unfinished("its boxes did not all reach the new box");
      return true;
    }
    record.Migrated(std::nullopt);
    record.Versions(before, after);
    record.Tables(std::move(tables));
    return true;
  });
}

}  // namespace kr::routines
