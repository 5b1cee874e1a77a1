// libFuzzer target for the INI reader: bytes -> a KrInst.ini in memory -> clsIniFile and the
// profile functions under it (enumerations, reads, integer reads), then a write, a key removal
// and a merge into a second file.
//
// Checked: no crash, hang or sanitizer report; nothing escapes the class; the enumerations
// agree with each other; a read never gives an empty value in place of a default; a value
// written under plain names reads back as written, and the write leaves every other value of
// the file as it was; a removed key reads as missing.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_env.h"
#include "platform/platform.h"
#include "support/support.h"

namespace {

using kr::fuzz::Bug;
using kr::support::clsIniFile;

constexpr const char* kFile = "C:\\Package\\KrInst.ini";
constexpr const char* kMergeTarget = "C:\\Package\\KrNumber.ini";
// Names no case folding maps another name onto, so that they never meet a fuzzed one by
// accident.
constexpr const char* kKey = "_0_";
constexpr const char* kSection = "_1_";
constexpr const char* kDefault = "(none)";
// Every read parses the file again (nothing is cached), so the work per input is bounded.
constexpr size_t kMostSections = 4, kMostKeys = 4, kMostMergedBytes = 1024;

struct Entry {
  std::string section, key, value;
};

// What the file holds, as the class reads it, with a bound on the work per input.
std::vector<Entry> ReadAll(clsIniFile& ini) {
  std::vector<Entry> entries;
  std::vector<std::string> sections;
  const int32_t section_count = ini.EmnumSection(sections);
  if (section_count < 0 ||
      (section_count > 0 && static_cast<size_t>(section_count) != sections.size()))
    Bug("section count does not match the list");
  for (size_t s = 0; s < std::min(sections.size(), kMostSections); ++s) {
    ini.Section(sections[s]);
    std::vector<std::string> lines{"stale"}, keys{"stale"};
    const int32_t line_count = ini.EnumSectionString(lines);
    const int32_t key_count = ini.EnumKeyString(keys);
    if (line_count != key_count) Bug("lines and keys of a section differ in number", sections[s]);
    if (line_count == 0 && (lines.size() != 1 || lines[0] != "stale"))
      Bug("an empty enumeration touched the array");
    for (int32_t k = 0; k < std::min<int32_t>(key_count, kMostKeys); ++k) {
      const std::string& line = lines[static_cast<size_t>(k)];
      const std::string& key = keys[static_cast<size_t>(k)];
      if (line.compare(0, key.size(), key) != 0) Bug("a key is not the start of its line", line);
      std::string value = ini.GetString(key, kDefault);
      if (value.empty()) Bug("a read gave an empty value, not the default", key);
      if (k == 0) ini.GetInteger(key, 0);
      entries.push_back({sections[s], key, value});
    }
  }
  return entries;
}

// Whether name is read back as written: no blanks at its ends, nothing the file syntax uses.
bool Plain(std::string_view name) {
  if (name.empty() || name.front() == ' ' || name.front() == '\t' || name.back() == ' ' ||
      name.back() == '\t' || name.front() == ';' || name.front() == '[')
    return false;
  return name.find_first_of("=]\r\n\0", 0, 5) == std::string_view::npos;
}

void CheckUnchanged(clsIniFile& ini, const std::vector<Entry>& before, std::string_view section,
                    std::string_view key) {
  for (const Entry& entry : before) {
    if (entry.key == key && entry.section == section) continue;
    if (entry.key == kKey) continue;  // the same key in a section of the same name
    ini.Section(entry.section);
    if (ini.GetString(entry.key, kDefault) != entry.value) {
      Bug("a write changed another value", entry.section + "/" + entry.key);
    }
  }
}

void Fuzz(std::string_view bytes) {
  kr::fuzz::MemoryEnv env;
  kr::platform::ScopedEnv scoped(env);
  env.folders.insert("C:\\Package\\");
  env.files[kFile] = std::string(bytes);

  clsIniFile ini;
  ini.FileName(kFile);
  std::vector<Entry> before = ReadAll(ini);

  // A new value in the first section whose name reads back, else in a new section.
  std::string section = kSection;
  for (const Entry& entry : before) {
    if (Plain(entry.section)) {
      section = entry.section;
      break;
    }
  }
  const std::string value = "値=1;\"x\" ソ表";
  ini.Section(section);
  if (!ini.SetString(kKey, value)) Bug("a write to a file in memory failed");
  if (ini.GetString(kKey, kDefault) != value) Bug("a written value reads back otherwise", section);
  CheckUnchanged(ini, before, section, kKey);

  ini.DeleteKeyName(kKey);
  if (ini.GetString(kKey, kDefault) != kDefault) Bug("a removed key still reads", section);

  std::string current;
  ini.Section(kSection);
  ini.DeleteSection(current);
  if (current != kSection) Bug("DeleteSection did not name the current section");

  if (bytes.size() > kMostMergedBytes) return;
  env.files[kMergeTarget] = "[Number]\r\nNext=1\r\n";
  kr::support::MergeIniFile(kFile, kMergeTarget);
  clsIniFile merged;
  merged.FileName(kMergeTarget);
  ReadAll(merged);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The class reports no errors: nothing may escape it.
  try {
    Fuzz(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const std::exception& e) {
    Bug("an exception escaped the INI file class", e.what());
  }
  return 0;
}
