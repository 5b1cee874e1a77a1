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

namespace {

// One level of CopyFolderTree. A level below the first whose destination is a link to a folder
// is not entered: its files would land (and the clearing would delete files) outside the tree.
void CopyLevel(ui::Ui& ui, std::string_view source_pattern, std::string_view destination,
               bool recursive, bool progress, bool nested) {
  StepAndContinue steps("CopyFolderTree");
  std::string target(destination);
  if (nested && platform::Attributes(target).is_link) {
    steps.Step([&] { throw Failure::Runtime(kErrPathFileAccess, "linked folder " + target); });
    ReportLevel(ui, steps);
    return;
  }
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
      // A linked folder of the package is not followed: it may lead out of it or in a circle.
      if (entry.is_link) {
        LogLine("CopyFolderTree: linked folder " + folder + entry.name + " not copied");
      } else {
        sub_folders.emplace_back(folder + entry.name + "\\" + pattern, target + entry.name + "\\");
      }
      continue;
    }
    if (progress) ui.SetWaitLabel(1, entry.name + std::string(kInstalling));
    steps.Step([&] { platform::CopyFile(folder + entry.name, target + entry.name); });
  }

  if (recursive) {
    for (const auto& sub : sub_folders) {
      steps.Call([&] { CopyLevel(ui, sub.first, sub.second, recursive, progress, true); });
    }
  }
  ReportLevel(ui, steps);
}

}  // namespace

// GCC 12 at -O3 takes the failure a step may leave pending for uninitialised here (a known false
// positive of its std::optional analysis); clang and lower levels see nothing.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
// The tree's files reach the disk together: one flush for all of them instead of one each.
void CopyFolderTree(ui::Ui& ui, std::string_view source_pattern, std::string_view destination,
                    bool recursive, bool progress) {
  platform::WriteBatch batch;
  CopyLevel(ui, source_pattern, destination, recursive, progress, false);
  StepAndContinue steps("CopyFolderTree");
  for (platform::WriteBatch::Failed& failed : batch.Commit()) {
    steps.Step([&] { throw std::move(failed.failure); });
  }
  ReportLevel(ui, steps);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

// Links are removed as links: a linked folder's content is outside the tree being removed.
void DeleteFolderTree(ui::Ui& ui, std::string_view folder) {
  std::string path(folder);
  if (path.empty()) return;
  if (platform::Attributes(path).is_link) {
    StepAndContinue steps("DeleteFolderTree");
    steps.Step([&] { platform::DeleteFile(support::RemoveTrailingSeparator(path)); });
    ReportLevel(ui, steps);
    return;
  }
  if (!platform::Listed(path, ListKind::kWithDirectories)) return;
  StepAndContinue steps("DeleteFolderTree");

  std::vector<std::string> sub_folders;
  for (const platform::DirEntry& entry : platform::List(path + "*.*", ListKind::kWithDirectories)) {
    if (entry.is_directory && !entry.is_link) {
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
