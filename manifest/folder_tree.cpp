#include <string>
#include <utility>
#include <vector>

#include "manifest/manifest.h"
#include "platform/failure.h"
#include "platform/platform.h"

namespace kr::manifest {
namespace {

using platform::ListKind;

constexpr std::string_view kInstalling = "をインストール中...";
constexpr std::string_view kErrorTitle = "エラーメッセージ";

// The end of one folder level: its most recent pending failure is shown, then dropped.
void ReportLevel(ui::Ui& ui, StepAndContinue& steps) {
  if (!steps.failed()) return;
  ui.MessageBox(steps.pending()->description(), kErrorTitle, ui::Icon::kCritical);
  steps.Clear();
}

}  // namespace

std::string ExpandPathMacros(RunContext& run, std::string_view text) {
  std::string app_path = support::RemoveTrailingSeparator(run.install_folder);
  std::string windows = support::GetWindowsFolder(run);
  std::string system = support::GetSystemFolder(run);
  std::string result = support::ReplaceAll(text, "$(AppPath)", app_path);
  result = support::ReplaceAll(result, "$(WinPath)", support::RemoveTrailingSeparator(windows));
  result = support::ReplaceAll(result, "$(WinSysPath)", support::RemoveTrailingSeparator(system));
  return support::AddTrailingSeparator(result);
}

void CopyFolderTree(ui::Ui& ui, std::string_view source_pattern, std::string_view destination,
                    bool recursive, bool progress) {
  StepAndContinue steps("CopyFolderTree");
  std::string target(destination);
  if (!platform::Listed(target, ListKind::kWithDirectories)) {
    steps.Step([&] { platform::MakeDirectory(target); });
  }
  std::string parent = support::GetParentPath(source_pattern);
  std::string folder = support::AddTrailingSeparator(parent);
  std::string pattern = support::GetFileNamePart(source_pattern);

  // Files of the destination that the package does not carry go too.
  for (const platform::DirEntry& entry : platform::List(target, ListKind::kWithDirectories)) {
    if (!entry.is_directory) steps.Step([&] { platform::DeleteFile(target + entry.name); });
  }

  std::vector<std::pair<std::string, std::string>> sub_folders;
  for (const platform::DirEntry& entry :
       platform::List(source_pattern, ListKind::kWithDirectories)) {
    if (entry.is_directory) {
      sub_folders.emplace_back(folder + entry.name + "\\" + pattern, target + entry.name + "\\");
      continue;
    }
    if (progress) ui.SetWaitLabel(1, entry.name + std::string(kInstalling));
    steps.Step([&] { platform::CopyFile(folder + entry.name, target + entry.name); });
  }

  if (recursive) {
    for (const auto& sub : sub_folders) {
      steps.Call([&] { CopyFolderTree(ui, sub.first, sub.second, recursive, progress); });
    }
  }
  ReportLevel(ui, steps);
}

void DeleteFolderTree(ui::Ui& ui, std::string_view folder) {
  std::string path(folder);
  if (path.empty() || !platform::Listed(path, ListKind::kWithDirectories)) return;
  StepAndContinue steps("DeleteFolderTree");

  std::vector<std::string> sub_folders;
  for (const platform::DirEntry& entry : platform::List(path + "*.*", ListKind::kWithDirectories)) {
    if (entry.is_directory) {
      sub_folders.push_back(path + entry.name + "\\");
    } else {
      steps.Step([&] { platform::DeleteFile(path + entry.name); });
    }
  }
  for (const std::string& sub_folder : sub_folders) {
    steps.Call([&] { DeleteFolderTree(ui, sub_folder); });
  }
  steps.Step([&] { platform::RemoveDirectory(path); });
  ReportLevel(ui, steps);
}

std::vector<std::string> ListSubfolders(std::string_view folder) {
  std::vector<std::string> result(1);
  std::string path(folder);
  path = support::AddTrailingSeparator(path);
  LeaveOnError("ListSubfolders", [&] {
    for (const platform::DirEntry& entry : platform::List(path, ListKind::kWithDirectories)) {
      if (entry.is_directory) result.push_back(entry.name + "\\");
    }
  });
  return result;
}

std::vector<std::string> ListSubfolderNames(std::string_view folder) {
  std::vector<std::string> result;
  std::string path(folder);
  path = support::AddTrailingSeparator(path);
  LeaveOnError("ListSubfolderNames", [&] {
    for (const platform::DirEntry& entry : platform::List(path, ListKind::kWithDirectories)) {
      if (entry.is_directory) result.push_back(entry.name);
    }
  });
  if (result.empty()) result.emplace_back();
  return result;
}

}  // namespace kr::manifest
