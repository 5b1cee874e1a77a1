// libFuzzer target for the shortcut list reader: bytes -> a list file in memory ->
// ReadShellLinkList, then RepairShortcut over the same file (folders, shortcuts and desktop
// copies made in memory).
//
// Checked: no crash, hang or sanitizer report; nothing escapes; a list that cannot be read
// says so in the list file's message box and in no other; there is never more than one entry
// per line; every shortcut written lies below the Start menu's programs folder or the desktop.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_env.h"
#include "manifest/manifest.h"
#include "platform/platform.h"

namespace {

using kr::fuzz::Bug;

constexpr const char* kList = "C:\\Kelmora\\InstList.ini";
constexpr std::string_view kListFailed = "ショートカットの作成に失敗しました。 InstList.ini";

void Fuzz(std::string_view bytes) {
  kr::fuzz::MemoryEnv env;
  kr::platform::ScopedEnv scoped(env);
  for (const char* folder : {"C:\\Kelmora\\", "C:\\Windows\\", "C:\\Programs\\", "C:\\Desktop\\"})
    env.folders.insert(folder);
  env.files[kList] = std::string(bytes);
  // A target that exists, so that links get made.
  env.files["C:\\Kelmora\\Kelmora.exe"] = "MZ";

  kr::fuzz::SilentUi ui;
  std::vector<kr::manifest::ShellLinkEntry> entries;
  const bool read = kr::manifest::ReadShellLinkList(ui, kList, entries);
  if (read != (ui.message_boxes == 0)) Bug("a message box does not match the result");
  if (!read && !ui.last_text.starts_with(kListFailed)) Bug("the wrong message", ui.last_text);
  size_t lines = 1;
  for (char c : bytes) lines += c == '\n' || c == '\r';
  if (entries.size() > lines) Bug("more entries than lines");

  kr::RunContext run;
  run.package_folder = "C:\\Package\\";
  run.install_folder = "C:\\Kelmora\\";
  run.exe_year = 2019;
  run.inst_model = 10;
  kr::manifest::RepairShortcut(run, ui, kList);
  for (const auto& [path, content] : env.files) {
    if (path.starts_with("C:\\Kelmora\\") || path.starts_with("C:\\Programs\\") ||
        path.starts_with("C:\\Desktop\\"))
      continue;
    Bug("a file written outside the Start menu and the desktop", path);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    Fuzz(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const std::exception& e) {
    Bug("an exception escaped the shortcut list reader", e.what());
  }
  return 0;
}
