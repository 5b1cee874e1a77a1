// The system, Windows and product data folders.
#include "platform/failure.h"
#include "platform/platform.h"
#include "support/support.h"

namespace kr {
namespace {

// A platform folder as the original took it from its buffer: cut at NUL, with a separator.
std::string AsFolder(std::string folder) {
  folder = support::TrimAtNull(folder);
  return support::AddTrailingSeparator(folder);
}

}  // namespace

std::string FolderCache::SystemFolder() {
  if (system_.empty()) system_ = AsFolder(platform::CurrentEnv().SystemFolder());
  return system_;
}

std::string FolderCache::WindowsFolder() {
  if (windows_.empty()) windows_ = AsFolder(platform::CurrentEnv().WindowsFolder());
  return windows_;
}

namespace support {

std::string GetSystemFolder(RunContext& run) { return run.folders.SystemFolder(); }

std::string GetWindowsFolder(RunContext& run) { return run.folders.WindowsFolder(); }

// Step-and-continue: a level that cannot be created is skipped; the path is returned anyway.
std::string GetCommonDataFolder(RunContext& run) {
  std::string common = TrimAtNull(platform::CurrentEnv().CommonAppDataFolder());
  std::string result;
  if (!common.empty()) {
    result = AddTrailingSeparator(common) + "Kelmora\\";
  } else {
    result = GetWindowsFolder(run);
  }
  if (result.empty() || platform::Listed(result, platform::ListKind::kPlainFiles)) return result;
  StepAndContinue steps("GetCommonDataFolder");
  for (size_t i = 0; i < result.size(); ++i) {
    if (result[i] != '\\' && result[i] != '/') continue;
    std::string level = result.substr(0, i + 1);
    if (!platform::Listed(level, platform::ListKind::kWithDirectories)) {
      steps.Step([&] { platform::MakeDirectory(level); });
    }
  }
  return result;
}

}  // namespace support
}  // namespace kr
