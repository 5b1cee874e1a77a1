#include <string>

#include "platform/failure.h"
#include "startup/startup.h"

namespace kr::startup {
namespace {

using platform::ListKind;

// A value names an existing directory when a directory-inclusive listing of it returns a name,
// with or without a trailing separator.
bool NamesExistingDirectory(const std::string& value) {
  return !value.empty() && platform::Listed(value, ListKind::kWithDirectories);
}

// The install folder counts as found when a plain-file listing of it returns a name: a folder
// written with its separator that holds a file. A folder written without separator never
// counts, so it never stops the search.
bool Found(const std::string& install_folder) {
  return !install_folder.empty() && platform::Listed(install_folder, ListKind::kPlainFiles);
}

// One INI source: InstPath when it names a folder, UpdateDay in any case.
void ReadIniSource(RunContext& run, const std::string& file, const std::string& section,
                   std::string& update_day, StepAndContinue& steps) {
  if (!platform::FileExists(file)) return;
  steps.Step([&] {
    support::clsIniFile ini;
    ini.FileName(file);
    ini.Section(section);
    std::string install_path = ini.GetString("InstPath", "");
    if (NamesExistingDirectory(install_path)) run.install_folder = install_path;
    update_day = ini.GetString("UpdateDay", "");
  });
}

}  // namespace

std::string LookUpInstallFolder(RunContext& run) {
  StepAndContinue steps("LookUpInstallFolder");
  std::string edition = EditionCode(run.inst_model);
  std::string section = edition + std::to_string(run.exe_year);
  std::string file_stem = "Kr" + edition + "2000";
  std::string update_day;

  std::string xml_file = run.common_data_folder + file_stem + ".xml";
  if (platform::FileExists(xml_file)) {
    steps.Step([&] {
      std::string install_path = support::GetXmlSetting(xml_file, section, "InstPath");
      if (NamesExistingDirectory(install_path)) run.install_folder = install_path;
      update_day = support::GetXmlSetting(xml_file, section, "UpdateDay");
    });
  }
  if (!Found(run.install_folder)) {
    ReadIniSource(run, run.common_data_folder + file_stem + ".ini", section, update_day, steps);
  }
  if (!Found(run.install_folder)) {
    std::string windows = steps.Call([&] { return support::GetWindowsFolder(run); });
    ReadIniSource(run, windows + file_stem + ".ini", section, update_day, steps);
  }

  // Without an install folder the day cannot lead to an unattended run; no file is read then.
  std::string update_file = run.install_folder + "Update\\UpdateDate.ini";
  if (update_day.empty() && !run.install_folder.empty() && platform::FileExists(update_file)) {
    steps.Step([&] {
      support::clsIniFile ini;
      ini.FileName(update_file);
      ini.Section(section);
      update_day = ini.GetString("UpdateDay", "");
    });
  }
  return update_day;
}

bool ShouldRunUnattended(const RunContext& run, std::string_view exe_name,
                         std::string_view update_day, const platform::LocalTime& now) {
  return !run.install_folder.empty() && !update_day.empty() &&
         platform::FileExists(run.install_folder + std::string(exe_name)) &&
         IsToday(update_day, now);
}

}  // namespace kr::startup
