// Hand-written routines of 2014 to 2017: two stages, own conditions, marker files.
#include "platform/platform.h"
#include "routines/catalogue.h"
#include "routines/interpreter.h"

namespace kr::routines {

namespace {

// A late-checked source: false ends the routine.
bool OpenLate(RoutineRun& run, std::string_view name, Database& source) {
  if (!RoutineRun::FileExists(run.PackageFile(name))) return false;
  source = run.Open(run.PackageFile(name));
  return source.IsOpen();
}

// The skeleton's backup and late source check on an open target; false ends the routine.
bool BackupThenOpenLate(RoutineRun& run, Database& target, Database& source) {
  run.Backup(target);
  return OpenLate(run, run.routine.sources.front(), source);
}

// Copies a marker file of the package into the install folder.
void CopyMarker(RoutineRun& run, std::string_view name) {
  run.steps.Step([&] { platform::CopyFile(run.PackageFile(name), run.InstallFile(name)); });
}

// Each stage migrates a database still below its guard from its own source and stamps the
// release; a database below the first guard thus receives the first stage only.
void TwoStages(RoutineRun& run, std::string_view second_stage) {
  const Routine& r = run.routine;
  if (r.guards.size() < 2 || r.sources.size() < 2 || !r.guards[0].at_least ||
      !r.guards[1].at_least) {
    return;
  }
  ForEachTarget(run, [&](Database& target, const Place& place) {
    for (size_t stage = 0; stage < 2; ++stage) {
      if (db::VersionAtLeast(target, *r.guards[stage].at_least)) continue;
      run.Backup(target);
      Database source;
      if (!OpenLate(run, r.sources[stage], source)) return false;
      VariantChooser variants(run.context, place.folder, target);
      run.Entry(target, {&source}, [&] {
        run.RunSteps(stage == 0 ? r.steps : ParsedSteps(second_stage), source, target, variants);
        run.WriteRecord(r.record, source, target);
      });
      run.Close(source);
    }
    return true;
  });
}

}  // namespace

void Update2014CriH2611(RoutineRun& run) {
  TwoStages(run,
            "T ChangeCode ; T Cri [Code] ; RDP Cri ; ExecuteWithLink \"Cri2,Cri\" ; "
            "T Cri_PackageStand [PStandCode] ; T Cri_Relation(九州) → Cri_Relation [CodeS]");
}

void Update2014ValH2611(RoutineRun& run) { TwoStages(run, "T Special_Package [SpecialCode]"); }

void Update2015CriH2707(RoutineRun& run) {
  static constexpr std::string_view kWest[] = {"鳥取", "島根", "岡山", "広島",   "山口", "徳島",
                                               "香川", "愛媛", "高知", "福岡",   "佐賀", "長崎",
                                               "熊本", "大分", "宮崎", "鹿児島", "沖縄"};
  Database source = OpenSourceEarly(run);
  if (!source.IsOpen()) return;
  std::vector<std::string> codes;
  run.steps.Step([&] {
    db::Recordset rs = source.OpenRecordset("Cri_Relation_Del", db::engine::kOpenSnapshot);
    for (; !rs.Eof(); rs.MoveNext()) codes.push_back(db::NzString(rs["CodeK"].GetValue()));
    rs.Close();
  });
  ForEachPlace(run, [&](const Place& place) {
    Database target = run.Open(place.path);
    bool west = false;
    for (std::string_view name : kWest) {
      west = west || (target.IsOpen() && db::DistrictCommentContains(target, name));
    }
    if (west) {
      run.Entry(target, {}, [&] {
        for (const std::string& code : codes) {
          run.steps.Step(
              [&] { target.Execute("DELETE FROM Cri_Relation WHERE CodeK=" + Quoted(code)); });
        }
      });
    }
    run.Close(target);
    return true;
  });
  run.Close(source);
}

// Per database: its own condition, then backup, steps and (for none of these) a record.
template <class Condition>
void Conditional(RoutineRun& run, Condition&& condition) {
  Database source = OpenSourceEarly(run);
  if (!source.IsOpen()) return;
  ForEachTarget(run, [&](Database& target, const Place& place) {
    if (!condition(target, place)) return true;
    run.Backup(target);
    VariantChooser variants(run.context, place.folder, target);
    run.Entry(target, {&source}, [&] {
      run.RunSteps(run.routine.steps, source, target, variants);
      run.WriteRecord(run.routine.record, source, target);
    });
    return true;
  });
  run.Close(source);
}

std::string FirstValue(RoutineRun& run, Database& db, std::string_view sql) {
  return run.steps.Value(std::string(), [&] {
    db::Recordset rs = db.OpenRecordset(sql);
    std::string value = rs.Eof() ? std::string() : db::NzString(rs.Fields()[0].GetValue());
    rs.Close();
    return value;
  });
}

// Only a database the April 2017 release stamped, whose MinPrice lacks group 7.
void Update2016ExpH2904A(RoutineRun& run) {
  Conditional(run, [&](Database& target, const Place&) {
    if (FirstValue(run, target, "SELECT * FROM Version;") != "2016,1,4") return false;
    int16_t count = run.steps.Value<int16_t>(1, [&] {
      return db::NzNumber(
                 db::Value(FirstValue(run, target, "SELECT Count(Big) FROM MinPrice WHERE Big=7;")))
          .ToInt16();
    });
    return count == 0;
  });
}

// Only a database whose correction-factor row is not there yet.
void Update2016ExpH2904M(RoutineRun& run) {
  Conditional(run, [&](Database& target, const Place&) {
    return FirstValue(run, target,
                      "SELECT Field1 FROM Expenses WHERE Big=5 AND Mdl=4 AND Sml=-1") != "補正係数";
  });
}

// The prefecture base prices of the prefectures the user works in, once per database.
void Update2017CriH2911Ken(RoutineRun& run) {
  static constexpr int kPrefectures[] = {9, 10, 18, 19, 21, 26, 27, 31, 39};
  ForEachTarget(run, [&](Database& target, const Place&) {
    if (run.Skip(target, run.routine.guards.front())) return true;
    std::vector<std::string> ids;
    run.steps.Step([&] {
      db::Recordset rs = target.OpenRecordset("SELECT 県ID FROM Cri_Base GROUP BY Cri_Base.県ID;");
      for (; !rs.Eof(); rs.MoveNext()) {
        db::Value id = rs.Fields()[0].GetValue();
        if (id.IsNull() || !id.IsNumeric()) continue;
        int32_t n = id.ToLong();
        for (int wanted : kPrefectures) {
          if (n == wanted) ids.push_back(std::to_string(n));
        }
      }
      rs.Close();
    });
    if (ids.empty()) return true;
    Database source;
    if (!BackupThenOpenLate(run, target, source)) return false;
    run.Entry(target, {&source}, [&] {
      for (const std::string& id : ids) {
        run.steps.Call([&] { db::TransferRows(source, target, "Cri_Base", "県ID=" + id, ""); });
      }
    });
    run.Close(source);
    CopyMarker(run, "KrUpdatedH2911Ken.ini");
    return true;
  });
}

// The marker follows a stamp this run wrote, and only once.
void Update2017ValH3004K(RoutineRun& run) {
  std::vector<Place> places = run.Places();
  if (places.empty() || !RoutineRun::FileExists(places.front().path)) return;
  auto stamped = [&] {
    Database target = run.Open(places.front().path);
    bool at = db::VersionAtLeast(target, *run.routine.guards.front().at_least);
    run.Close(target);
    return at;
  };
  bool before = stamped();
  RunDescribed(run);
  constexpr std::string_view kMarker = "KrUpdatedH3004K.ini";
  if (!before && stamped() && RoutineRun::FileExists(run.PackageFile(kMarker)) &&
      !RoutineRun::FileExists(run.InstallFile(kMarker))) {
    CopyMarker(run, kMarker);
  }
}

// Only databases of the 2017 release line; the stamp's comment follows the stored minor number.
void Update2017ValH3006(RoutineRun& run) {
  ForEachTarget(run, [&](Database& target, const Place& place) {
    std::optional<db::VersionTuple> stored = db::ReadVersion(target);
    if (db::VersionAtLeast(target, {2017, 1, 4}) || !stored || stored->major != 1 ||
        stored->minor < 1) {
      return true;
    }
    Database source;
    if (!BackupThenOpenLate(run, target, source)) return false;
    VariantChooser variants(run.context, place.folder, target);
    run.Entry(target, {&source}, [&] {
      run.RunSteps(run.routine.steps, source, target, variants);
      if (stored->minor == 1) db::WriteVersion(target, {2017, 1, 4}, "");
      if (stored->minor == 2 || stored->minor == 3) db::WriteVersion(target, {2017, 1, 4}, "2018");
    });
    run.Close(source);
    return true;
  });
}

}  // namespace kr::routines
