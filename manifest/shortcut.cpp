// Start-menu and desktop shortcuts. On this platform a shortcut is a desktop entry file
// (platform::Env::WriteShortcut) named by Env::ShortcutFileName; the roles of the setup
// toolkit's shell-link creator and of the scripting shell are played by CreateShellLink below
// and CreateDesktopShortcut.
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "manifest/manifest.h"
#include "platform/failure.h"
#include "platform/platform.h"

namespace kr::manifest {
namespace {

constexpr std::string_view kConfirmTitle = "確認メッセージ";
constexpr std::string_view kLinkFailed = "ショートカットの作成に失敗しました";
constexpr std::string_view kListFailed = "ショートカットの作成に失敗しました。 InstList.ini";
constexpr std::string_view kCrLf = "\r\n";
constexpr int kShellLinkFields = 11;

// --- Numeric fields, converted as the original's CInt, CDbl and CByte did ----------------------

double ToDouble(std::string_view text) {
  size_t begin = text.find_first_not_of(" \t");
  size_t end = text.find_last_not_of(" \t");
  if (begin == std::string_view::npos) {
    throw Failure::Runtime(kErrTypeMismatch, "empty numeric field in shortcut list");
  }
  std::string_view number = text.substr(begin, end - begin + 1);
  bool negative = false;
  if (number[0] == '+' || number[0] == '-') {
    negative = number[0] == '-';
    number.remove_prefix(1);
  }
  double value = 0;
  auto [rest, error] = std::from_chars(number.data(), number.data() + number.size(), value,
                                       std::chars_format::general);
  if (number.empty() || error != std::errc() || rest != number.data() + number.size() ||
      !std::isfinite(value)) {
    throw Failure::Runtime(kErrTypeMismatch,
                           "numeric field in shortcut list is not a number: " + std::string(text));
  }
  return negative ? -value : value;
}

// Rounds half to even, as the original's integer conversions did, then checks the range.
long RoundedInRange(std::string_view text, long low, long high) {
  double value = std::nearbyint(ToDouble(text));
  if (value < static_cast<double>(low) || value > static_cast<double>(high)) {
    throw Failure::Runtime(kErrOverflow,
                           "numeric field in shortcut list out of range: " + std::string(text));
  }
  return static_cast<long>(value);
}

ShellLinkEntry ParseShellLink(const std::vector<std::string>& fields) {
  ShellLinkEntry entry;
  if (fields.size() != kShellLinkFields) return entry;
  entry.kind = static_cast<int16_t>(RoundedInRange(fields[1], -32768, 32767));
  entry.number = ToDouble(fields[2]);
  entry.byte_value = static_cast<uint8_t>(RoundedInRange(fields[3], 0, 255));
  entry.folder_name = fields[4];
  entry.link_name = fields[5];
  entry.link_path = fields[6];
  entry.link_arguments = fields[7];
  entry.is_private = true;
  entry.parent = fields[9];
  entry.flags = static_cast<uint8_t>(RoundedInRange(fields[10], 0, 255));
  return entry;
}

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    lines.emplace_back(text.substr(start, end - start));
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
  return lines;
}

// --- Folders and links --------------------------------------------------------------------------

std::string WellKnownFolder(std::string folder) {
  if (folder.empty()) throw Failure::Runtime(kErrPathNotFound, "no such well-known folder");
  std::string trimmed = support::TrimRightSpaces(folder);
  return support::AddTrailingSeparator(trimmed);
}

std::string ProgramsFolder() { return WellKnownFolder(platform::CurrentEnv().ProgramsFolder()); }
std::string DesktopFolder() { return WellKnownFolder(platform::CurrentEnv().DesktopFolder()); }

// root & sub-folder, trailing blanks removed, with a trailing "\".
std::string FolderBelow(const std::string& root, std::string_view sub_folder) {
  std::string folder = support::TrimRightSpaces(root + std::string(sub_folder));
  return support::AddTrailingSeparator(folder);
}

// Creates every missing level of folder, outermost first. Throws.
void MakeFolderLevels(const std::string& folder) {
  for (size_t i = folder.find('\\'); i != std::string::npos; i = folder.find('\\', i + 1)) {
    std::string level = folder.substr(0, i + 1);
    if (!platform::Attributes(level).is_directory) platform::MakeDirectory(level);
  }
}

// The parent token names the root the link's folder lies below. The private flag has no
// counterpart here: the Start menu and the desktop are the user's own.
std::string ParentRoot(std::string_view parent) {
  std::string token = support::UpperCase(support::Trim(parent));
  if (token.empty() || token == "$(PROGRAMS)") return ProgramsFolder();
  if (token == "$(DESKTOP)") return DesktopFolder();
  throw Failure::Runtime(kErrInvalidCall, "unknown shortcut parent " + std::string(parent));
}

// The shell-link creator: the link link_name in folder_name below the parent's root, creating
// missing folder levels. Returns false when it could not be made. Regime: leave-on-error.
bool CreateShellLink(std::string_view folder_name, std::string_view link_name,
                     std::string_view target, std::string_view arguments, bool /*is_private*/,
                     std::string_view parent) {
  return LeaveOnError("CreateShellLink", false, [&] {
    std::string folder = FolderBelow(ParentRoot(parent), folder_name);
    MakeFolderLevels(folder);
    platform::Env& env = platform::CurrentEnv();
    env.WriteShortcut(folder + env.ShortcutFileName(link_name), target, arguments, target);
    return true;
  });
}

void CreateUninstallShortcut(RunContext& run) {
  std::string year = std::to_string(run.exe_year);
  std::string windows = support::GetWindowsFolder(run);
  if (run.inst_model >= 0 && run.inst_model <= 99) {
    CreateShellLink("Kelm" + year + "\\ユーティリティ", "アンインストール",
                    windows + "KrTn" + year + "Uninst.exe", "", true, "$(Programs)");
  } else if (run.inst_model >= 300 && run.inst_model <= 399) {
    CreateShellLink("Kelm" + year + "D\\ユーティリティ", "アンインストール",
                    windows + "KrTw" + year + "Uninst.exe", "", true, "$(Programs)");
  }
}

}  // namespace

bool ReadShellLinkList(ui::Ui& ui, std::string_view list_file,
                       std::vector<ShellLinkEntry>& entries) {
  StepAndContinue steps("ReadShellLinkList");
  steps.Step([&] {
    std::string text = platform::Cp932ToUtf8(platform::ReadFile(list_file));
    for (std::string line : Lines(text)) {
      size_t apostrophe = line.find('\'');
      if (apostrophe != std::string::npos) {
        line = support::TrimRightSpaces(std::string_view(line).substr(0, apostrophe));
      }
      if (line.empty()) continue;
      std::vector<std::string> fields = support::Split(line, ",");
      if (fields[0] != "ShellLink") continue;
      entries.push_back(ParseShellLink(fields));
    }
  });
  if (!steps.failed()) return true;
  ui.MessageBox(std::string(kListFailed) + std::string(kCrLf) + std::string(kCrLf) +
                    steps.pending()->description(),
                kConfirmTitle, ui::Icon::kNone);
  return false;
}

std::string ExpandLinkMacros(RunContext& run, std::string_view list_file, std::string_view text) {
  std::string result(text);
  if (result.find("#InstPath#") != std::string::npos) {
    std::string folder = support::GetParentPath(list_file);
    result = support::ReplaceAll(result, "#InstPath#", support::AddTrailingSeparator(folder));
  }
  if (result.find("#WinPath#") != std::string::npos) {
    result = support::ReplaceAll(result, "#WinPath#", support::GetWindowsFolder(run));
  }
  return result;
}

void RepairShortcut(RunContext& run, ui::Ui& ui, std::string_view list_file) {
  std::vector<ShellLinkEntry> entries;
  if (!ReadShellLinkList(ui, list_file, entries)) return;

  StepAndContinue steps("RepairShortcut");
  bool link_failed = false;
  steps.Step([&] {
    for (const ShellLinkEntry& entry : entries) {
      if (entry.kind == 1) {
        MakeFolderLevels(FolderBelow(ProgramsFolder(), entry.folder_name));
      } else if (entry.kind == 2) {
        if (entry.flags & 1) {
          std::string target = ExpandLinkMacros(run, list_file, entry.link_path);
          if (platform::FileExists(target)) {
            std::string arguments = ExpandLinkMacros(run, list_file, entry.link_arguments);
            if (!CreateShellLink(entry.folder_name, entry.link_name, target, arguments,
                                 entry.is_private, entry.parent)) {
              link_failed = true;
              return;
            }
          }
        }
        if (entry.flags & 2) {
          platform::Env& env = platform::CurrentEnv();
          std::string file_name = env.ShortcutFileName(entry.link_name);
          std::string link = FolderBelow(ProgramsFolder(), entry.folder_name) + file_name;
          if (platform::FileExists(link)) {
            platform::CopyFile(link, DesktopFolder() + file_name);
          }
        }
      }
    }
    CreateUninstallShortcut(run);
  });
  if (!link_failed && !steps.failed()) return;
  std::string description = steps.failed() ? steps.pending()->description() : "";
  ui.MessageBox(std::string(kLinkFailed) + std::string(kCrLf) + std::string(kCrLf) + description,
                kConfirmTitle, ui::Icon::kNone);
}

void CreateDesktopShortcut(std::string_view target_path, std::string_view /*switch_value*/,
                           std::string_view title) {
  LeaveOnError("CreateDesktopShortcut", [&] {
    platform::Env& env = platform::CurrentEnv();
    std::string path = DesktopFolder() + env.ShortcutFileName(title);
    env.WriteShortcut(path, target_path, "", target_path);
  });
}

}  // namespace kr::manifest
