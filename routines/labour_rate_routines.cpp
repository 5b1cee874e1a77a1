// The labour-rate routines: a fiscal year's folder copied into its labour-rate refresh folder
// and repriced there, with the settings switched over to it; and the later corrections applied
// to every database that already carries a labour-rate refresh.
#include <functional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "routines/body_report.h"
#include "routines/catalogue.h"
#include "routines/interpreter.h"
#include "routines/labour_rate.h"

namespace kr::routines {

namespace {

// Which folder each copying routine starts from and what it makes. The source, the 2014 guard
// and the record (stamp or tags) are the catalogue row's.
struct FolderCopy {
  std::string_view routine;
  std::string_view fiscal_year;
  std::string_view refresh;
  bool min_price_path;  // 制限価格DbPath2 of KrSetMinPrice.mdb follows the refresh folder
};

constexpr FolderCopy kFolderCopies[] = {
    {"Update2014CriH2702", "平成26年度", "平成26年度(H27年2月労務更新)", false},
    {"Update2015CriH2802", "平成27年度", "平成27年度(H28年2月労務更新)", true},
    {"Update2016CriH2903", "平成28年度", "平成28年度(H29年3月労務更新)", true},
    {"Update2017CriH3003", "平成29年度", "平成29年度(H30年3月労務更新)", true},
    {"Update2018CriH3103", "平成30年度", "平成30年度(H31年3月労務更新)", true},
    {"Update2019CriR0203", "2019年度", "2019年度(令和2年3月労務更新)", true},
};

const FolderCopy* FindFolderCopy(std::string_view routine) {
  for (const FolderCopy& copy : kFolderCopies) {
    if (copy.routine == routine) return &copy;
  }
  return nullptr;
}

// The refreshed prices and the correction table of one database, then the row's record.
Hooks RefreshHooks(RoutineRun& run, bool correction_table) {
  Hooks hooks;
  hooks.work = [&run, correction_table](EntryContext& e) {
    RefreshLabourPrices(run, e.source, e.target, "Cri", NameSteps::kWith);
    if (correction_table) {
      run.steps.Call([&] { db::TransferRows(e.source, e.target, "RoumuHosei", "", ""); });
    }
  };
  return hooks;
}

// The minimum-price settings read their second database from the refresh folder.
void SetMinPricePath(Database& settings, std::string_view folder) {
  db::Recordset rs =
      settings.OpenRecordset("SELECT * FROM Setting WHERE [Type]=1 AND [Name]='制限価格DbPath2';",
                             db::engine::kOpenDynaset);
  if (rs.Eof()) {
    rs.AddNew();
    rs["Type"].SetValue(db::Value(1));
    rs["Name"].SetValue(db::Value("制限価格DbPath2"));
  } else {
    rs.Edit();
  }
  rs["StrValue"].SetValue(db::Value(folder));
  rs.Update();
  rs.Close();
}

// The application opens the refresh folder from now on.
void SwitchSettings(RoutineRun& run, const FolderCopy& copy) {
  // Each settings database in the report, switched or left on the fiscal year.
  auto update = [&](std::string_view file, const std::function<void(Database&)>& change) {
    std::string path = run.InstallFile(file);
    Database db = run.OpenIfPresent(path);
    if (!db.IsOpen()) return;
    BodyTarget record(run, path);
    record.Watch(db);
    record.Step("settings");
    if (run.steps.Step([&] { change(db); })) {
      record.Migrated(std::nullopt);
      record.Counts(db);
    } else {
      record.Failed("設定を書き換えられませんでした");
    }
    run.Close(db);
  };
  update("File\\KrSet.mdb", [&](Database& settings) {
    settings.Execute("UPDATE Environ SET SetName=" + db::QuoteJetText(copy.refresh) +
                     " WHERE [ID]=110;");
  });
  if (!copy.min_price_path) return;
  update("File\\KrSetMinPrice.mdb",
         [&](Database& min_price) { SetMinPricePath(min_price, copy.refresh); });
}

}  // namespace

void LabourRateFolderCopy(RoutineRun& run) {
  const FolderCopy* copy = FindFolderCopy(run.routine.name);
  if (copy == nullptr || run.routine.sources.empty()) {
    LogLine(run.routine.name + ": no labour-rate folder is known for it; nothing done");
    return;
  }
  std::string files = run.InstallFile("File\\");
  std::string refresh = files + std::string(copy->refresh) + "\\";
  std::string target = refresh + "KrCri.mdb";
  auto skipped = [&](std::string reason) {
    if (platform::FileExists(target)) BodyTarget(run, target).Skipped(std::move(reason));
  };
  // The folder is the only sign of an earlier refresh, finished or not.
  if (platform::Attributes(refresh).is_directory) {
    return skipped("既に作成されています（" + std::string(copy->refresh) + "）");
  }
  run.steps.Call([&] {
    manifest::CopyFolderTree(run.ui, files + std::string(copy->fiscal_year) + "\\*.*", refresh,
                             true, false);
  });
  const std::string& source_name = run.routine.sources.front();
  std::string source_path = run.PackageFile(source_name);
  if (!platform::FileExists(source_path)) {
    return skipped("パッケージに " + source_name + " がありません");
  }
  Database source = run.Open(source_path);
  // A source that cannot be opened counts as missing: the settings stay on the fiscal year.
  if (!source.IsOpen()) return skipped("パッケージの " + source_name + " を開けませんでした");
  MigrateTarget(run, {target, refresh}, source, 0, RefreshHooks(run, true));
  run.Close(source);
  SwitchSettings(run, *copy);
}

void LabourRateTag(RoutineRun& run) {
  if (run.routine.guards.empty()) return;
  RunSkeleton(run, RefreshHooks(run, false));
}

}  // namespace kr::routines
