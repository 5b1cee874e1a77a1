// clsIniFile and MergeIniFile over the profile functions.
#include "platform/failure.h"
#include "platform/platform.h"
#include "support/support.h"

namespace kr::support {
namespace {

namespace profile = platform::profile;

// SplitNullList: the entries of a NUL-separated list up to its first empty entry. The array is
// replaced only when there is at least one entry.
int32_t SplitNullList(std::vector<std::string>& array, std::string_view buffer) {
  std::vector<std::string> entries;
  for (;;) {
    size_t nul = buffer.find('\0');
    if (nul == std::string_view::npos || nul == 0) break;
    entries.emplace_back(buffer.substr(0, nul));
    buffer.remove_prefix(nul + 1);
  }
  const auto count = static_cast<int32_t>(entries.size());
  if (count > 0) array = std::move(entries);
  return count;
}

}  // namespace

int32_t clsIniFile::EmnumSection(std::vector<std::string>& strSection) {
  return SplitNullList(strSection, profile::GetSectionNames(file_name_));
}

int32_t clsIniFile::EnumSectionString(std::vector<std::string>& strSectionString) {
  return SplitNullList(strSectionString, profile::GetSection(file_name_, section_));
}

void clsIniFile::DeleteKeyName(std::string_view strKey) {
  profile::WriteString(file_name_, section_, strKey, std::nullopt);
}

void clsIniFile::DeleteSection(std::string& strSection) {
  if (strSection.empty()) strSection = section_;
  profile::WriteString(file_name_, strSection, std::nullopt, std::nullopt);
}

bool clsIniFile::SetString(std::string_view strKey, std::string_view strValue) {
  return profile::WriteString(file_name_, section_, strKey, strValue);
}

std::string clsIniFile::GetString(std::string_view strKey, std::string_view strDefault) {
  std::string value = profile::GetString(file_name_, section_, strKey, strDefault);
  return value.empty() ? std::string(strDefault) : value;
}

int32_t clsIniFile::GetInteger(std::string_view strKey, int16_t lngDefault) {
  return profile::GetInt(file_name_, section_, strKey, lngDefault);
}

int32_t clsIniFile::EnumKeyString(std::vector<std::string>& sKey) {
  int32_t count = EnumSectionString(sKey);
  if (count > 0) {
    for (std::string& entry : sKey) entry = entry.substr(0, entry.find('='));
  }
  return count;
}

// Step-and-continue: a key that cannot be read or written is skipped.
void MergeIniFile(std::string_view source, std::string_view destination) {
  if (source.empty() || destination.empty()) return;
  // Asked of the path, not of a listing: a link to nowhere is no file, so no write replaces it.
  if (!platform::Attributes(source).IsFile() || !platform::Attributes(destination).IsFile()) {
    return;
  }
  clsIniFile from, to;
  from.FileName(std::string(source));
  to.FileName(std::string(destination));
  std::vector<std::string> sections;
  const int32_t section_count = from.EmnumSection(sections);
  StepAndContinue steps("MergeIniFile");
  for (int32_t s = 0; s < section_count; ++s) {
    from.Section(sections[static_cast<size_t>(s)]);
    to.Section(sections[static_cast<size_t>(s)]);
    std::vector<std::string> keys;
    const int32_t key_count = from.EnumKeyString(keys);
    for (int32_t k = 0; k < key_count; ++k) {
      const std::string& key = keys[static_cast<size_t>(k)];
      steps.Step([&] {
        if (!to.SetString(key, from.GetString(key, ""))) {
          throw Failure::Runtime(kErrPathFileAccess,
                                 "cannot write " + key + " to " + std::string(destination));
        }
      });
    }
  }
}

std::vector<std::string> SectionLines(clsIniFile& ini, std::string_view section) {
  ini.Section(std::string(section));
  std::vector<std::string> lines;
  int32_t count = ini.EnumSectionString(lines);
  lines.resize(count > 0 ? static_cast<size_t>(count) : 0);
  return lines;
}

}  // namespace kr::support
