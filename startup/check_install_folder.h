// The target validation behind frmMlDir::CheckInstallFolder, one function per check. Internal to
// startup/: nothing outside this folder includes it.
//
// Every check reads the disk only. A check answers nothing when the folder passes it, or the
// refusal the user is to see. Paths are updater paths; folders end in "\".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/support.h"

namespace kr::startup {

struct Refusal {
  std::string message;        // Japanese, for the message box
  std::string reason;         // English, for the log
  bool focus_browse = false;  // move the focus to cmdDir once the message is closed
};

// The whole sequence against folder (the normalised txtDir), reading the package's KrInst.ini
// anew: program present, year of the installed data, program version, files in use, second
// program, sources present. The first refusal ends it.
// Regime: step-and-continue; a check that fails to run is logged and counts as passed, except the
// year check, which refuses a settings database it cannot read.
std::optional<Refusal> ValidateInstallFolder(RunContext& run, const std::string& folder);

// 1. ChkExeName: the program exe_name is in folder.
std::optional<Refusal> CheckProgramPresent(const std::string& folder, std::string_view exe_name,
                                           std::string_view exe_title);

// Editions whose settings database records the product year: models 10-99, 320-399, 415-499.
bool RecordsSettingsYear(int32_t inst_model);
// 2. ChkExeYear: SetName of Environ row 61 in folder's File\KrSet.mdb begins with exe_year. A
// missing file, no row or a Null SetName pass; a file that cannot be opened or queried is
// refused. Regime: leave-on-error (the refusal is the fallback).
std::optional<Refusal> CheckSettingsYear(const std::string& folder, int16_t exe_year,
                                         std::string_view exe_title);

// 3 and 5. ChkExeVersion: the program at program_path is older than wanted_version, both taken
// as exe_year "." version. exe_name names the program in the message.
std::optional<Refusal> CheckProgramVersion(const std::string& program_path,
                                           std::string_view exe_name, int16_t exe_year,
                                           std::string_view wanted_version);

// 4. ChkLoading: no file a manifest line installs is held open by a running program.
std::optional<Refusal> CheckFilesInUse(RunContext& run, const std::vector<std::string>& lines);

// 6. Every manifest source is in the package folder, unless its action needs none.
std::optional<Refusal> CheckSourcesPresent(RunContext& run, const std::vector<std::string>& lines);

}  // namespace kr::startup
