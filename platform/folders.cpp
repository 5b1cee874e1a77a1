// Well-known folders. Each comes from its environment variable; the per-user defaults are
// listed in platform.h.
#include <unistd.h>

#include <fstream>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace kr::platform {
namespace {

using internal::GetEnv;

// A native folder as an updater folder path: the trailing separator is "\".
std::string AsFolder(std::string native) {
  if (native.empty()) return native;
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  if (native == "/") return "\\";
  return native + "\\";
}

std::string DataHome() {
  std::string data = GetEnv("XDG_DATA_HOME");
  if (!data.empty() && data.front() == '/') return data;
  std::string home = GetEnv("HOME");
  return home.empty() ? std::string() : home + "/.local/share";
}

std::string UnderDataHome(std::string_view relative) {
  std::string data = DataHome();
  return data.empty() ? data : data + "/" + std::string(relative);
}

std::string WindowsNative() {
  std::string folder = GetEnv("KR_WINDOWS_DIR");
  return folder.empty() ? UnderDataHome("kr-updater/Windows") : folder;
}

// XDG_DESKTOP_DIR from user-dirs.dirs ("$HOME/Desktop" form), or "".
std::string XdgDesktop(const std::string& home) {
  std::string config = GetEnv("XDG_CONFIG_HOME");
  if (config.empty() || config.front() != '/') config = home + "/.config";
  std::ifstream dirs(config + "/user-dirs.dirs");
  std::string line;
  while (std::getline(dirs, line)) {
    const std::string_view key = "XDG_DESKTOP_DIR=\"";
    if (!line.starts_with(key)) continue;
    size_t end = line.find('"', key.size());
    if (end == std::string::npos) return {};
    std::string value = line.substr(key.size(), end - key.size());
    if (value.starts_with("$HOME")) value = home + value.substr(5);
    return value.empty() || value.front() != '/' ? std::string() : value;
  }
  return {};
}

}  // namespace

std::string Env::WindowsFolder() { return AsFolder(WindowsNative()); }

std::string Env::SystemFolder() {
  std::string folder = GetEnv("KR_SYSTEM_DIR");
  if (folder.empty()) {
    std::string windows = WindowsNative();
    if (!windows.empty()) folder = windows + "/System32";
  }
  return AsFolder(folder);
}

std::string Env::CommonAppDataFolder() {
  std::string folder = GetEnv("KR_COMMON_APPDATA_DIR");
  return AsFolder(folder.empty() ? UnderDataHome("kr-updater/ProgramData") : folder);
}

std::string Env::ProgramsFolder() {
  std::string folder = GetEnv("KR_PROGRAMS_DIR");
  return AsFolder(folder.empty() ? UnderDataHome("applications") : folder);
}

std::string Env::DesktopFolder() {
  std::string folder = GetEnv("KR_DESKTOP_DIR");
  if (folder.empty()) {
    std::string home = GetEnv("HOME");
    if (home.empty()) return {};
    folder = XdgDesktop(home);
    if (folder.empty()) folder = home + "/Desktop";
  }
  return AsFolder(folder);
}

std::vector<std::string> Env::TrustedKeyFolders() {
  std::string folder = GetEnv("KR_TRUSTED_KEYS");
  if (!folder.empty()) return {AsFolder(folder)};
  return {AsFolder("/etc/kr-updater/trusted-keys"), AsFolder("/usr/share/kr-updater/trusted-keys")};
}

std::string Env::ExecutableFolder() {
  std::string buffer(4096, '\0');
  ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) return {};
  buffer.resize(static_cast<size_t>(length));
  size_t cut = buffer.find_last_of('/');
  if (cut == std::string::npos) return {};
  return AsFolder(buffer.substr(0, cut == 0 ? 1 : cut));
}

}  // namespace kr::platform
