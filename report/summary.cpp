// The report as the text users read after the end message.
#include <algorithm>
#include <string>

#include "report/report.h"

namespace kr::report {
namespace {

constexpr size_t kFailuresShown = 3;  // per database

std::string Shown(const Report& report, const std::string& path) {
  const std::string& install = report.install_folder;
  if (!install.empty() && path.size() > install.size() && path.rfind(install, 0) == 0) {
    return path.substr(install.size());
  }
  return path;
}

std::string ErrorText(const Error& error) {
  return "エラー " + std::to_string(error.number) + ": " + error.description;
}

std::string Versions(const Target& target) {
  std::string before = target.version_before.value_or("なし");
  std::string after = target.version_after.value_or("なし");
  return before == after ? before : before + " → " + after;
}

void AddActions(const Report& report, std::string& text) {
  if (report.actions.empty()) return;
  size_t done = 0, skipped = 0, failed = 0;
  for (const Action& action : report.actions) {
    switch (action.outcome) {
      case ActionOutcome::kDone:
        ++done;
        break;
      case ActionOutcome::kSkipped:
        ++skipped;
        break;
      case ActionOutcome::kFailed:
        ++failed;
        break;
    }
  }
  text += "ファイルの操作: 完了 " + std::to_string(done) + " 件、省略 " + std::to_string(skipped) +
          " 件、失敗 " + std::to_string(failed) + " 件\n";
  for (const Action& action : report.actions) {
    if (action.outcome != ActionOutcome::kFailed) continue;
    text += "  失敗 " + std::to_string(action.line) + " 行目 " + action.keyword + " " +
            Shown(report, action.target);
    if (action.error) text += ": " + ErrorText(*action.error);
    text += "\n";
  }
}

void AddTarget(const Report& report, const Target& target, std::string& text) {
  text += "  " + Shown(report, target.database) + ": ";
  switch (target.outcome) {
    case TargetOutcome::kMigrated:
      text += (report.plan ? "移行します（" : "移行しました（") + Versions(target) + "）\n";
      break;
    case TargetOutcome::kSkipped:
      text += (report.plan ? "省略します（" : "省略しました（") + target.reason + "）\n";
      break;
    case TargetOutcome::kFailed:
      text += "失敗しました（" + target.reason + "）\n";
      break;
  }
  for (const TableCounts& table : target.tables) {
    text += "    " + table.name + ": 追加 " + std::to_string(table.inserted) + " 件、更新 " +
            std::to_string(table.updated) + " 件、削除 " + std::to_string(table.deleted) + " 件\n";
  }
  // A database without a table the package has many steps for would bury the rest: the JSON
  // report keeps them all.
  size_t shown = std::min(target.failures.size(), kFailuresShown);
  for (size_t i = 0; i < shown; ++i) {
    const StepFailure& failure = target.failures[i];
    text += "    失敗した手順 " + failure.step + ": " + ErrorText(failure.error) + "\n";
  }
  if (target.failures.size() > shown) {
    text += "    ほかに " + std::to_string(target.failures.size() - shown) +
            " 件の手順が失敗しました（すべては JSON の記録にあります）\n";
  }
}

}  // namespace

std::string SummaryText(const Report& report) {
  std::string text =
      report.plan ? "アップデートの予定（何も変更していません）\n" : "アップデートの記録\n";
  AddActions(report, text);
  for (const Routine& routine : report.routines) {
    text += routine.name + ":";
    text += routine.targets.empty() ? " 対象のデータベースはありません\n" : "\n";
    for (const Target& target : routine.targets) AddTarget(report, target, text);
  }
  return text;
}

}  // namespace kr::report
