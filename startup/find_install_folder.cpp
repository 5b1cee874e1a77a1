// FindInstallFolder: the application's old settings files, looked up in the Windows folder.
#include <string>
#include <vector>

#include "platform/failure.h"
#include "startup/startup.h"

namespace kr::startup {
namespace {

// Editions whose older releases kept the legacy Kelmora.Ini.
bool HasLegacySettings(int32_t inst_model) {
  return (inst_model >= 10 && inst_model <= 99) || (inst_model >= 320 && inst_model <= 399);
}

// The items of a comma- and line-separated file, as the original's sequential Input read them:
// blanks around an item and the double quotes enclosing it are removed; a comma always
// separates two items (a trailing comma gives an empty last item); blank lines give none.
std::vector<std::string> InputItems(std::string_view text) {
  std::vector<std::string> items;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t line_end = text.find_first_of("\r\n", pos);
    if (line_end == std::string_view::npos) line_end = text.size();
    std::string_view line = text.substr(pos, line_end - pos);
    pos = line_end + 1;
    if (line.find_first_not_of(" \t") == std::string_view::npos) continue;

    size_t i = 0;
    while (true) {
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
      std::string item;
      if (i < line.size() && line[i] == '"') {
        size_t close = line.find('"', i + 1);
        if (close == std::string_view::npos) close = line.size();
        item = std::string(line.substr(i + 1, close - i - 1));
        i = close + 1;
        while (i < line.size() && line[i] != ',') ++i;  // text after the closing quote
      } else {
        size_t comma = line.find(',', i);
        if (comma == std::string_view::npos) comma = line.size();
        item = std::string(line.substr(i, comma - i));
        size_t last = item.find_last_not_of(" \t");
        item.erase(last == std::string::npos ? 0 : last + 1);
        i = comma;
      }
      items.push_back(std::move(item));
      if (i >= line.size()) break;
      ++i;  // the comma
    }
  }
  return items;
}

bool IsYear(std::string_view value, int16_t exe_year) {
  std::string head = support::Trim(support::CharLeft(value, 4));
  if (head.empty() || head.find_first_not_of("0123456789") != std::string::npos) return false;
  return std::stoi(head) == exe_year;
}

// The legacy file: EXEPATH items naming a folder give the folder (the last one counts); an
// EXEVERSION of another year means the file describes another release: nothing is found.
void ReadLegacySettings(const std::string& file, int16_t exe_year, std::string& found) {
  std::vector<std::string> items = InputItems(platform::Cp932ToUtf8(platform::ReadFile(file)));
  for (size_t i = 0; i + 1 < items.size(); i += 2) {
    std::string key = support::UpperCase(items[i]);
    std::string value = items[i + 1];
    if (support::CharLeft(key, 10) == "EXEVERSION") {
      if (!IsYear(value, exe_year)) {
        found.clear();
        return;
      }
    } else if (support::CharLeft(key, 7) == "EXEPATH") {
      std::string folder = support::RemoveTrailingSeparator(value);
      if (!folder.empty() && platform::Attributes(folder).is_directory) found = value;
    }
  }
}

struct EditionFile {
  std::string file;  // in the Windows folder; "" for a model without one
  std::string section;
};

EditionFile EditionFileOf(int32_t inst_model, int16_t exe_year) {
  std::string year = std::to_string(exe_year);
  if (inst_model >= 0 && inst_model <= 99) return {"KrTN2000.ini", "TN" + year};
  if (inst_model == 100) return {"KrTR99.ini", "TR99"};
  if (inst_model >= 101 && inst_model <= 199) return {"KrTR2000.ini", "TR2000"};
  if (inst_model >= 200 && inst_model <= 299) return {"KrTV2000.ini", "TV2000"};
  if (inst_model >= 300 && inst_model <= 399) return {"KrTW2000.ini", "TW" + year};
  if (inst_model >= 400 && inst_model <= 409) return {"KrTS2000.ini", "TS2000"};
  if (inst_model >= 410 && inst_model <= 414) return {"KrTS2000.ini", "TS2008"};
  if (inst_model >= 415 && inst_model <= 499) return {"KrTS2000.ini", "TS2015"};
  return {};
}

}  // namespace

std::string frmMlDir::FindInstallFolder() {
  StepAndContinue steps("FindInstallFolder");
  std::string found;
  std::string windows = steps.Call([&] { return support::GetWindowsFolder(run_); });

  std::string legacy = windows + "Kelmora.Ini";
  if (HasLegacySettings(run_.inst_model) && platform::FileExists(legacy)) {
    steps.Step([&] { ReadLegacySettings(legacy, run_.exe_year, found); });
  }
  if (found.empty()) {
    EditionFile edition = EditionFileOf(run_.inst_model, run_.exe_year);
    if (!edition.file.empty()) {
      steps.Step([&] {
        support::clsIniFile ini;
        ini.FileName(windows + edition.file);
        ini.Section(edition.section);
        found = ini.GetString("InstPath", "");
      });
    }
  }
  return support::AddTrailingSeparator(found);
}

}  // namespace kr::startup
