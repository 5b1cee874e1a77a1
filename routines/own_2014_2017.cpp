// Hand-written routines of 2014 to 2017: their own conditions on a target and their own work.
#include "platform/platform.h"
#include "routines/catalogue.h"
#include "routines/interpreter.h"

namespace kr::routines {

// Only databases of the western districts lose the relations the source lists.
void Update2015CriH2707(RoutineRun& run) {
  static constexpr std::string_view kWest[] = {"鳥取", "島根", "岡山", "広島",   "山口", "徳島",
                                               "香川", "愛媛", "高知", "福岡",   "佐賀", "長崎",
                                               "熊本", "大分", "宮崎", "鹿児島", "沖縄"};
  Hooks hooks;
  hooks.admit = [](Database& target, const Place&) {
    for (std::string_view name : kWest) {
      if (db::DistrictCommentContains(target, name)) return true;
    }
    return false;
  };
  hooks.work = [&](EntryContext& e) {
    std::vector<std::string> codes;
    run.steps.Step([&] {
      db::Recordset rs = e.source.OpenRecordset("Cri_Relation_Del", db::engine::kOpenSnapshot);
      for (; !rs.Eof(); rs.MoveNext()) codes.push_back(db::NzString(rs["CodeK"].GetValue()));
      rs.Close();
    });
    for (const std::string& code : codes) {
      run.steps.Step([&] {
        e.target.Execute("DELETE FROM Cri_Relation WHERE CodeK=" + db::QuoteJetText(code));
      });
    }
  };
  RunSkeleton(run, hooks);
}

namespace {

std::string FirstValue(RoutineRun& run, Database& db, std::string_view sql) {
  return run.steps.Value(std::string(), [&] {
    db::Recordset rs = db.OpenRecordset(sql);
    std::string value = rs.Eof() ? std::string() : db::NzString(rs.Fields()[0].GetValue());
    rs.Close();
    return value;
  });
}

}  // namespace

// Only a database the April 2017 release stamped, whose MinPrice lacks group 7.
void Update2016ExpH2904A(RoutineRun& run) {
  Hooks hooks;
  hooks.admit = [&](Database& target, const Place&) {
    if (FirstValue(run, target, "SELECT * FROM Version;") != "2016,1,4") return false;
    int16_t count = run.steps.Value<int16_t>(1, [&] {
      return db::NzNumber(
                 db::Value(FirstValue(run, target, "SELECT Count(Big) FROM MinPrice WHERE Big=7;")))
          .ToInt16();
    });
    return count == 0;
  };
  RunSkeleton(run, hooks);
}

// Only a database whose correction-factor row is not there yet.
void Update2016ExpH2904M(RoutineRun& run) {
  Hooks hooks;
  hooks.admit = [&](Database& target, const Place&) {
    return FirstValue(run, target,
                      "SELECT Field1 FROM Expenses WHERE Big=5 AND Mdl=4 AND Sml=-1") != "補正係数";
  };
  RunSkeleton(run, hooks);
}

// The prefecture base prices of the prefectures the user works in, once per database.
void Update2017CriH2911Ken(RoutineRun& run) {
  static constexpr int kPrefectures[] = {9, 10, 18, 19, 21, 26, 27, 31, 39};
  std::vector<std::string> ids;
  Hooks hooks;
  hooks.admit = [&](Database& target, const Place&) {
    ids.clear();
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
    return !ids.empty();
  };
  hooks.work = [&](EntryContext& e) {
    for (const std::string& id : ids) {
      run.steps.Call([&] { db::TransferRows(e.source, e.target, "Cri_Base", "県ID=" + id, ""); });
    }
  };
  RunSkeleton(run, hooks);
}

// Only databases of the 2017 release line; the stamp's comment follows the stored minor number.
void Update2017ValH3006(RoutineRun& run) {
  std::optional<db::VersionTuple> stored;
  Hooks hooks;
  hooks.admit = [&](Database& target, const Place&) {
    stored = db::ReadVersion(target);
    return stored && stored->major == 1 && stored->minor >= 1;
  };
  hooks.record = [&](const Record& item, EntryContext&) -> std::optional<Record> {
    if (stored->minor == 1) return item;
    if (stored->minor != 2 && stored->minor != 3) return std::nullopt;
    Record with_comment = item;
    with_comment.comment = "2018";
    return with_comment;
  };
  RunSkeleton(run, hooks);
}

}  // namespace kr::routines
