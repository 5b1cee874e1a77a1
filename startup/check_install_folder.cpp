// CheckInstallFolder: the sequence of checks a chosen install folder must pass before anything
// is changed, with the program-present and program-version checks.
#include "startup/check_install_folder.h"

#include <string>

#include "manifest/manifest.h"
#include "platform/failure.h"
#include "platform/platform.h"
#include "startup/startup.h"

namespace kr::startup {
namespace {

constexpr std::string_view kCrLf = "\r\n";

}  // namespace

std::optional<Refusal> CheckProgramPresent(const std::string& folder, std::string_view exe_name,
                                           std::string_view exe_title) {
  if (platform::FileExists(folder + std::string(exe_name))) return std::nullopt;
  return Refusal{"指定したフォルダには " + std::string(exe_title) +
                     " がインストールされていません。" + std::string(kCrLf) +
                     "再度インストール先を設定してください。",
                 "the program " + std::string(exe_name) + " is not in the folder",
                 /*focus_browse=*/true};
}

std::optional<Refusal> CheckProgramVersion(const std::string& program_path,
                                           std::string_view exe_name, int16_t exe_year,
                                           std::string_view wanted_version) {
  std::string installed = support::GetFileVersion(program_path, false);
  std::string year = std::to_string(exe_year) + ".";
  if (support::VersionToNumber(year + installed) <
      support::VersionToNumber(year + std::string(wanted_version))) {
    return std::nullopt;
  }
  std::string crlf(kCrLf);
  return Refusal{"指定したフォルダには既に新しいプログラムがインストールされています。" + crlf +
                     "アップデートする必要がありません。" + crlf + crlf + "既存のバージョン： " +
                     std::string(exe_name) + "  Ver." + installed,
                 program_path + " (version \"" + installed + "\") is not older than " +
                     std::string(wanted_version)};
}

std::optional<Refusal> ValidateInstallFolder(RunContext& run, const std::string& folder) {
  StepAndContinue steps("CheckInstallFolder");
  std::optional<Refusal> refusal;
  // A check that fails to run is skipped: the failure is logged and the next check runs.
  auto check = [&](bool switched_on, auto&& body) {
    if (switched_on && !refusal) refusal = steps.Value(std::optional<Refusal>(), body);
  };

  support::clsIniFile ini;
  ini.FileName(run.package_folder + "KrInst.ini");
  ini.Section("Bootstrap");
  const std::string exe_name = ini.GetString("ExeName", "");
  const std::string exe_title = ini.GetString("ExeTitle", "");
  const std::string exe_version = ini.GetString("ExeVersion", "");

  check(ini.GetInteger("ChkExeName", 0) != 0,
        [&] { return CheckProgramPresent(folder, exe_name, exe_title); });
  check(ini.GetInteger("ChkExeYear", 0) != 0 && RecordsSettingsYear(run.inst_model),
        [&] { return CheckSettingsYear(folder, run.exe_year, exe_title); });
  check(ini.GetInteger("ChkExeVersion", 0) != 0, [&] {
    return CheckProgramVersion(folder + exe_name, exe_name, run.exe_year, exe_version);
  });

  const bool check_loading = ini.GetInteger("ChkLoading", 0) != 0;
  const std::vector<std::string> lines = support::SectionLines(ini, "Bootstrap Files");
  check(check_loading, [&] { return CheckFilesInUse(run, lines); });

  ini.Section("FileChk");
  const std::string second_name = ini.GetString("ExeName", "");
  const std::string second_folder =
      steps.Call([&] { return manifest::ExpandPathMacros(run, ini.GetString("ExeInitDir", "")); });
  const std::string second_version = ini.GetString("ExeVersion", "");
  const std::string second_path = second_folder + second_name;
  check(platform::FileExists(second_path) && ini.GetInteger("ChkExeVersion", 0) != 0, [&] {
    return CheckProgramVersion(second_path, second_name, run.exe_year, second_version);
  });

  check(true, [&] { return CheckSourcesPresent(run, lines); });
  return refusal;
}

bool frmMlDir::CheckInstallFolder() {
  const std::string folder = view_ != nullptr ? view_->FolderText() : run_.install_folder;
  std::optional<Refusal> refusal = ValidateInstallFolder(run_, folder);
  if (!refusal) return false;
  LogLine("CheckInstallFolder: " + folder + " refused: " + refusal->reason);
  ui_.MessageBox(refusal->message, run_.title, ui::Icon::kCritical);
  if (refusal->focus_browse && view_ != nullptr) view_->FocusBrowseButton();
  return true;
}

}  // namespace kr::startup
