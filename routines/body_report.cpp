#include "routines/body_report.h"

#include "platform/platform.h"

namespace kr::routines {

BodyTarget::BodyTarget(RoutineRun& run, std::string_view path)
    : run_(run),
      path_(path),
      target_(run.Recorded(path)),
      scope_(run.steps, [this](const Failure& failure) {
        if (target_ == nullptr || !listening_) return;
        bool ran =
            watched_ != nullptr && watched_->IsOpen() && watched_->StatementsRun() > statements_;
        target_->failures.push_back({run_.steps.step(),
                                     ran ? watched_->LastStatement() : std::string(),
                                     {failure.number(), failure.description()}});
      }) {
  const std::string& install = run.context.install_folder;
  run.steps.SetPlace(path_.rfind(install, 0) == 0 ? path_.substr(install.size()) : path_);
}

BodyTarget::~BodyTarget() {
  run_.steps.SetStep("");
  run_.steps.SetPlace("");
}

void BodyTarget::Watch(const Database& db) {
  watched_ = &db;
  statements_ = db.IsOpen() ? db.StatementsRun() : 0;
}

void BodyTarget::Skipped(std::string reason) {
  if (target_ == nullptr) return;
  target_->outcome = report::TargetOutcome::kSkipped;
  target_->reason = std::move(reason);
}

void BodyTarget::Migrated(const std::optional<std::string>& backup) {
  if (target_ == nullptr) return;
  target_->outcome = report::TargetOutcome::kMigrated;
  target_->reason.clear();
  if (backup) target_->backup = platform::NativePath(*backup);
}

void BodyTarget::Versions(std::optional<std::string> before, std::optional<std::string> after) {
  if (target_ == nullptr) return;
  target_->version_before = std::move(before);
  target_->version_after = std::move(after);
}

void BodyTarget::Tables(std::vector<report::TableCounts> tables) {
  if (target_ != nullptr) target_->tables = std::move(tables);
}

void BodyTarget::Counts(const Database& db) {
  if (target_ == nullptr) return;
  for (const db::engine::Database::TableChanges& changed : db.ChangeCounts()) {
    target_->tables.push_back({changed.table, changed.inserted, changed.updated, changed.deleted});
  }
}

void BodyTarget::Failed(std::string reason) {
  if (target_ == nullptr) return;
  target_->outcome = report::TargetOutcome::kFailed;
  target_->reason = std::move(reason);
}

void BodyTarget::Unfinished(std::string_view english_reason) {
  run_.Unfinished(path_, english_reason);
}

void NoSource(RoutineRun& run, std::string_view source) {
  bool missing = !platform::FileExists(run.PackageFile(source));
  for (const Place& place : run.Places()) {
    if (!platform::FileExists(place.path)) continue;
    if (!missing) {
      run.Unfinished(place.path, "the source cannot be opened");
    } else if (report::Target* target = run.Recorded(place.path)) {
      target->outcome = report::TargetOutcome::kSkipped;
      target->reason = "パッケージに " + std::string(source) + " がありません";
    }
  }
}

std::optional<std::string> RecordedVersion(Database& db) {
  return LeaveOnError("RecordedVersion", std::optional<std::string>(),
                      [&]() -> std::optional<std::string> {
                        std::optional<db::VersionTuple> version = db::ReadVersion(db);
                        if (!version) return std::nullopt;
                        return version->Text();
                      });
}

std::optional<std::string> FileVersion(std::string_view path) {
  return LeaveOnError(
      "FileVersion", std::optional<std::string>(), [&]() -> std::optional<std::string> {
        Database db = db::engine::OpenDatabase(path, false, true, db::ConnectString());
        std::optional<db::VersionTuple> version = db::ReadVersion(db);
        db.Close();
        if (!version) return std::nullopt;
        return version->Text();
      });
}

}  // namespace kr::routines
