// libFuzzer target for the manifest line parser: bytes -> a KrInst.ini in memory -> the lines of
// "Bootstrap Files" and "Function" as the driver reads them -> ParseManifestValues, the path
// macros of the destination, the keyword field and its arguments, the backup name; and every
// raw line of the bytes through ParseManifestValues directly.
//
// Checked: no crash, hang or sanitizer report; nothing escapes; the values of a line joined
// with "," give back the text right of its first "=", one value more than it has commas; an
// expanded destination is empty or ends in a separator.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_env.h"
#include "manifest/manifest.h"
#include "platform/platform.h"
#include "support/support.h"

namespace {

using kr::fuzz::Bug;

constexpr const char* kPackage = "C:\\Package\\";
constexpr size_t kMostLines = 64;

std::vector<std::string> Values(std::string_view line) {
  std::vector<std::string> values = kr::manifest::ParseManifestValues(line);
  size_t equals = line.find('=');
  std::string_view text = equals == std::string_view::npos ? line : line.substr(equals + 1);
  std::string joined;
  size_t commas = 0;
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) joined += ',';
    joined += values[i];
  }
  for (char c : text) commas += c == ',';
  if (joined != text || values.size() != commas + 1) Bug("values do not rebuild the line", line);
  return values;
}

void FilesLine(kr::RunContext& run, const std::string& line) {
  std::vector<std::string> values = Values(line);
  if (values.size() < 2) return;
  std::string destination = kr::manifest::ExpandPathMacros(run, values[1]);
  if (!destination.empty() && destination.back() != '\\' && destination.back() != '/') {
    Bug("an expanded destination without a trailing separator", destination);
  }
  if (values.size() < 3) return;
  std::string keyword_field = values[2];
  for (size_t i = 3; i < values.size(); ++i) keyword_field += "," + values[i];
  std::string upper = kr::support::UpperCase(keyword_field);
  std::vector<std::string> parts = kr::support::Split(upper, ";");
  if (parts.empty()) Bug("a split gave no part", upper);
  kr::support::GetFileNamePart(values[0]);
  kr::support::BackupFileName(kr::support::GetFileNamePart(values[0]), run.run_stamp);
}

void FunctionLine(const std::string& line) {
  std::vector<std::string> values = Values(line);
  if (values.size() >= 2) kr::support::UpperCase(values[1]);
}

void Fuzz(std::string_view bytes) {
  kr::fuzz::MemoryEnv env;
  kr::platform::ScopedEnv scoped(env);
  env.folders.insert(kPackage);
  env.files[std::string(kPackage) + "KrInst.ini"] = std::string(bytes);

  kr::RunContext run;
  run.package_folder = kPackage;
  run.install_folder = "C:\\Kelmora\\ ";
  run.run_stamp = "202004071530";

  kr::support::clsIniFile ini;
  ini.FileName(run.package_folder + "KrInst.ini");
  std::vector<std::string> files = kr::support::SectionLines(ini, "Bootstrap Files");
  for (size_t i = 0; i < files.size() && i < kMostLines; ++i) FilesLine(run, files[i]);
  std::vector<std::string> functions = kr::support::SectionLines(ini, "Function");
  for (size_t i = 0; i < functions.size() && i < kMostLines; ++i) FunctionLine(functions[i]);

  // The parser also meets lines the profile functions would not hand it (NULs, bare CRs).
  size_t lines = 0;
  for (size_t start = 0; start <= bytes.size() && lines < kMostLines; ++lines) {
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    Values(bytes.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    Fuzz(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const std::exception& e) {
    Bug("an exception escaped the manifest parser", e.what());
  }
  return 0;
}
