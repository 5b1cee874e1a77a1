#include <limits>
#include <string>

#include "platform/failure.h"
#include "startup/startup.h"

namespace kr::startup {
namespace {

constexpr std::string_view kAlreadyRunning = "既に起動されています。";
constexpr std::string_view kMessageTitle = "メッセージ";

Outcome FromManifest(const manifest::ManifestOutcome& outcome) {
  if (!outcome.ran) return Outcome::kNotRun;
  if (outcome.unfinished > 0) return Outcome::kUnfinished;
  return outcome.errors() ? Outcome::kFinishedWithErrors : Outcome::kFinished;
}

// The run values KrInst.ini gives start-up (year, model, title) and the common data folder;
// returns ExeName.
std::string ReadBootstrap(RunContext& run, StepAndContinue& steps) {
  support::clsIniFile ini;
  ini.FileName(run.package_folder + "KrInst.ini");
  ini.Section("Bootstrap");
  std::string exe_name = ini.GetString("ExeName", "");
  int32_t year = ini.GetInteger("ExeYear", 0);
  // ExeYear is a 16-bit value: a year that does not fit overflows and leaves it at 0.
  steps.Step([&] {
    if (year < std::numeric_limits<int16_t>::min() || year > std::numeric_limits<int16_t>::max()) {
      throw Failure::Runtime(kErrOverflow, "ExeYear out of range: " + std::to_string(year));
    }
    run.exe_year = static_cast<int16_t>(year);
  });
  run.inst_model = ini.GetInteger("InstModel", 0);
  run.title = ini.GetString("DispDlgCaption", "");
  run.common_data_folder = steps.Call([&] { return support::GetCommonDataFolder(run); });
  return exe_name;
}

}  // namespace

std::string PackageRootOf(std::string_view command_line) {
  StepAndContinue steps("PackageRootOf");
  std::string folder;
  if (!command_line.empty()) {
    std::vector<std::string> tokens = support::SplitCommandLine(command_line);
    if (!tokens.empty()) folder = tokens[0];
  } else {
    folder = steps.Value(std::string(), [] { return platform::CurrentEnv().ExecutableFolder(); });
  }
  return support::AddTrailingSeparator(folder);
}

std::string PackageFolderOf(std::string_view command_line) {
  std::string folder = PackageRootOf(command_line);
  if (platform::FileExists(folder + "_Test")) folder += "TEST\\";
  return folder;
}

std::string InstallFolderFor(std::string_view package_folder) {
  StepAndContinue steps("InstallFolderFor");
  RunContext run;
  run.package_folder = package_folder;
  ReadBootstrap(run, steps);
  steps.Call([&] { return LookUpInstallFolder(run); });
  return run.install_folder;
}

std::optional<std::string> CheckPackageFolder(std::string_view package_folder) {
  std::string folder(package_folder);
  std::string shown = platform::NativePath(folder);
  if (!platform::Listed(folder, platform::ListKind::kWithDirectories)) {
    LogLine("package folder not found: " + shown);
    return "更新パッケージのフォルダが見つかりません: " + shown;
  }
  if (!platform::FileExists(folder + "KrInst.ini")) {
    LogLine("no KrInst.ini in the package folder: " + shown);
    return "更新パッケージのフォルダに KrInst.ini がありません: " + shown;
  }
  return std::nullopt;
}

Updater::Updater(ui::Ui& ui, manifest::RoutineRegistry& routines) : ui_(ui), routines_(routines) {}

Updater::~Updater() = default;

std::optional<std::string> Updater::CheckSignature(std::string_view command_line) {
  std::optional<std::string> refusal = CheckPackageSignature(PackageRootOf(command_line));
  signature_passed_ = !refusal;
  return refusal;
}

void Updater::Main(std::string_view command_line) {
  // Nothing of a package is read, and nothing is locked, before its signature has passed.
  if (!signature_passed_) {
    if (std::optional<std::string> refusal = CheckSignature(command_line)) {
      ui_.MessageBox(*refusal, kMessageTitle, ui::Icon::kCritical);
      outcome_ = Outcome::kRefused;
      return;
    }
  }
  guard_ = platform::InstanceGuard::Acquire(kInstanceGuardName);
  if (!guard_) {
    ui_.MessageBox(kAlreadyRunning, kMessageTitle, ui::Icon::kCritical);
    outcome_ = Outcome::kAlreadyRunning;
    return;
  }
  StepAndContinue steps("Main");
  run_.package_folder = PackageFolderOf(command_line);

  std::string exe_name = ReadBootstrap(run_, steps);
  std::string update_day = steps.Call([&] { return LookUpInstallFolder(run_); });
  platform::LocalTime now = platform::CurrentEnv().Now();
  run_.run_stamp = FormatRunStamp(now);

  if (ShouldRunUnattended(run_, exe_name, update_day, now)) {
    manifest_outcome_ = manifest::RunManifest(run_, ui_, routines_, true);
    outcome_ = FromManifest(*manifest_outcome_);
    return;
  }
  dialog_ = std::make_unique<frmMlDir>(run_, ui_, routines_);
  dialog_->Show();
}

const manifest::ManifestOutcome* Updater::manifest_outcome() const {
  if (manifest_outcome_) return &*manifest_outcome_;
  if (dialog_ && dialog_->manifest_outcome()) return &*dialog_->manifest_outcome();
  return nullptr;
}

Outcome Updater::outcome() const {
  if (outcome_) return *outcome_;
  if (!dialog_) return Outcome::kPending;
  if (dialog_->manifest_outcome()) return FromManifest(*dialog_->manifest_outcome());
  return dialog_->closed() ? Outcome::kNotRun : Outcome::kPending;
}

}  // namespace kr::startup
