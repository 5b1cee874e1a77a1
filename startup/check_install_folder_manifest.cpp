// The checks over the manifest's "Bootstrap Files" lines: files in use at their destination and
// sources missing from the package.
#include <algorithm>
#include <array>
#include <string>

#include "manifest/manifest.h"
#include "platform/platform.h"
#include "startup/check_install_folder.h"

namespace kr::startup {
namespace {

// Actions that take no file of the line's name from the package.
constexpr std::array<std::string_view, 7> kActionsWithoutSource = {
    "TABLECOPY",      "TABLECOPYVERSION", "DELETE",   "RMDIR",
    "REPAIRSHORTCUT", "PUTXMLSETTING",    "BACKUPOLD"};

// One line as both checks read it. Unlike the run, values 2 and later are not joined again:
// only the keyword before the first ";" of value 2 matters here.
struct ManifestLine {
  std::string file;         // value 0
  std::string destination;  // value 1, macros expanded, trailing "\"
  std::string keyword;      // value 2 up to its first ";"
  // The file name a check looks for; "" for a line without a file or with a wildcard.
  std::string Name() const {
    if (file.empty() || file.find('*') != std::string::npos) return {};
    return support::GetFileNamePart(file);
  }
};

ManifestLine ReadLine(RunContext& run, std::string_view text) {
  std::vector<std::string> values = manifest::ParseManifestValues(text);
  values.resize(std::max<size_t>(values.size(), 3));
  ManifestLine line;
  line.file = values[0];
  line.destination = manifest::ExpandPathMacros(run, values[1]);
  line.keyword = values[2].substr(0, values[2].find(';'));
  return line;
}

bool NeedsNoSource(std::string_view keyword) {
  std::string upper = support::UpperCase(keyword);
  for (std::string_view action : kActionsWithoutSource) {
    if (upper == action) return true;
  }
  return false;
}

}  // namespace

std::optional<Refusal> CheckFilesInUse(RunContext& run, const std::vector<std::string>& lines) {
  for (const std::string& text : lines) {
    ManifestLine line = ReadLine(run, text);
    std::string name = line.Name();
    if (name.empty()) continue;
    std::string target = line.destination + name;
    // The process table answers; the file itself is neither opened nor changed.
    if (platform::FileExists(target) && platform::CurrentEnv().FileInUse(target)) {
      return Refusal{
          platform::NativePath(target) + " は現在使用中です。終了してから再度実行して下さい。",
          target + " is held open by a running program"};
    }
  }
  return std::nullopt;
}

std::optional<Refusal> CheckSourcesPresent(RunContext& run, const std::vector<std::string>& lines) {
  for (const std::string& text : lines) {
    ManifestLine line = ReadLine(run, text);
    std::string name = line.Name();
    if (name.empty()) continue;
    // A source in a sub-folder of the package is still looked for by its name alone.
    std::string source = run.package_folder + name;
    if (!platform::FileExists(source) && !NeedsNoSource(line.keyword)) {
      return Refusal{platform::NativePath(source) + " が存在しません。",
                     source + " is missing from the package and its action needs it"};
    }
  }
  return std::nullopt;
}

}  // namespace kr::startup
