// The knowledge-base conversions: the construction-price knowledge base brought into each
// KrCri.mdb that has none yet. The only routines that tell the user when their data is missing.
#include "db/passwords.h"
#include "platform/platform.h"
#include "routines/body_report.h"
#include "routines/catalogue.h"
#include "routines/interpreter.h"

namespace kr::routines {

namespace {

constexpr std::string_view kNoSource = "変換元のデータベースが存在しません。";
constexpr std::string_view kNoTarget = "変換先のデータベースが存在しません。";

void Tell(RoutineRun& run, std::string_view text) {
  run.ui.MessageBox(text, run.context.title, ui::Icon::kCritical);
}

// The 2014 package was keyed with the former password; later ones with the current one.
Database OpenKnowledgeBase(RoutineRun& run, bool former_first) {
  std::string path = run.PackageFile(run.routine.sources.front());
  Database source;
  if (former_first) {
    LeaveOnError("knowledge base",
                 [&] { source = db::OpenAppDatabase(path, db::Keying::kFormer); });
  }
  if (!source.IsOpen()) source = run.Open(path);
  return source;
}

bool HasNoKnowledgeBase(RoutineRun& run, Database& target) {
  // A database whose count cannot be made (a year without the knowledge-base tables) is left
  // alone: its district table must not be replaced by the knowledge base's.
  return run.steps.Value(false, [&] {
    db::Recordset rs = target.OpenRecordset("SELECT COUNT([ID]) FROM Cri_IndKB");
    bool none = db::NzNumber(rs.Fields()[0].GetValue()) == db::Currency();
    rs.Close();
    return none;
  });
}

void Convert(RoutineRun& run, Database& source, Database& target, int year) {
  std::vector<std::string_view> tables = {"Cri_IndKB", "Cri_IndRelation", "Cri_KB", "Cri_Relation"};
  if (year >= 2015) tables.push_back("Woody");
  tables.push_back("Woody_KB");
  for (std::string_view table : tables) {
    run.steps.Call([&] { db::TransferRows(source, target, table, "", ""); });
  }
  run.steps.Call([&] { db::TransferRows(source, target, "地区名", "", "ID"); });
  if (year != 2014) return;
  db::Recordset gone;
  if (!run.steps.Step([&] { gone = source.OpenRecordset("WoodyDelete"); })) return;
  while (run.steps.Value(false, [&] { return !gone.Eof(); })) {
    std::string code;
    if (!run.steps.Step([&] { code = db::NzString(gone["Code"].GetValue()); })) break;
    // The row found by the code goes; another row with the same code stays.
    run.steps.Step([&] {
      db::Recordset woody = target.OpenRecordset(
          "SELECT * FROM Woody WHERE Code=" + db::QuoteJetText(code), db::engine::kOpenDynaset);
      if (!woody.Eof()) woody.Delete();
      woody.Close();
    });
    if (!run.steps.Step([&] { gone.MoveNext(); })) break;
  }
  run.steps.Step([&] { gone.Close(); });
}

void KnowledgeBase(RoutineRun& run, int year) {
  const std::string& source_name = run.routine.sources.front();
  if (!platform::FileExists(run.PackageFile(source_name))) {
    Tell(run, kNoSource);
    return NoSource(run, source_name);
  }
  Database source = OpenKnowledgeBase(run, year == 2014);
  if (!source.IsOpen()) {
    Tell(run, kNoSource);
    return NoSource(run, source_name);
  }
  std::vector<Place> places = run.Places();
  if (year == 2014 && (places.empty() || !platform::FileExists(places.front().path))) {
    Tell(run, kNoTarget);
    run.Close(source);
    return;
  }
  Hooks hooks;
  hooks.source = &source;
  hooks.admit = [&](Database& target, const Place&) {
    return year == 2014 || HasNoKnowledgeBase(run, target);
  };
  hooks.work = [&](EntryContext& e) { Convert(run, e.source, e.target, year); };
  RunSkeleton(run, hooks);
  run.Close(source);
}

}  // namespace

void Update2014CriInsertKB(RoutineRun& run) { KnowledgeBase(run, 2014); }
void Update2015CriInsertKB(RoutineRun& run) { KnowledgeBase(run, 2015); }
void Update2018CriInsertKB(RoutineRun& run) { KnowledgeBase(run, 2018); }
void Update2019CriInsertKB(RoutineRun& run) { KnowledgeBase(run, 2019); }

}  // namespace kr::routines
