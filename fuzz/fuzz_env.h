// What the fuzz targets share: an Env whose files live in memory, so that a fuzzer's bytes reach
// a reader through the reader's own interface without touching the disk, a user interface that
// shows nothing, and Bug() for a broken promise.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.h"
#include "platform/platform.h"
#include "ui/ui.h"

namespace kr::fuzz {

[[noreturn]] inline void Bug(std::string_view what, std::string_view detail = {}) {
  std::fprintf(stderr, "BUG: %.*s\n%.*s\n", static_cast<int>(what.size()), what.data(),
               static_cast<int>(detail.size()), detail.data());
  std::abort();
}

// Files and folders by updater path, "/" read as "\" and names compared as written. The
// well-known folders lie below C:\; starting a program always fails.
class MemoryEnv : public platform::Env {
 public:
  std::map<std::string, std::string> files;
  std::set<std::string> folders{"C:\\"};  // each with its trailing "\"

  static std::string Key(std::string_view path) {
    std::string key(path);
    for (char& c : key) {
      if (c == '/') c = '\\';
    }
    return key;
  }
  static std::string FolderKey(std::string_view path) {
    std::string key = Key(path);
    if (key.empty() || key.back() != '\\') key += '\\';
    return key;
  }
  static std::string ParentOf(const std::string& key) {
    size_t end = key.size() > 1 ? key.find_last_of('\\', key.size() - 2) : std::string::npos;
    return end == std::string::npos ? std::string() : key.substr(0, end + 1);
  }
  bool HasFolder(const std::string& folder_key) const { return folders.count(folder_key) > 0; }
  void Need(bool condition, int number, std::string_view path) const {
    if (!condition) throw Failure::Runtime(number, "memory env: " + std::string(path));
  }

  std::string NativePath(std::string_view path) override { return Key(path); }
  std::vector<platform::DirEntry> List(std::string_view pattern, platform::ListKind) override {
    std::vector<platform::DirEntry> entries;
    auto file = files.find(Key(pattern));
    if (file != files.end()) entries.push_back({file->first.substr(ParentOf(file->first).size())});
    return entries;
  }
  bool Listed(std::string_view pattern, platform::ListKind kind) override {
    if (files.count(Key(pattern)) > 0) return true;
    return kind == platform::ListKind::kWithDirectories && HasFolder(FolderKey(pattern));
  }
  platform::FileAttributes Attributes(std::string_view path) override {
    platform::FileAttributes attributes;
    if (files.count(Key(path)) > 0) {
      attributes.exists = true;
    } else if (HasFolder(FolderKey(path))) {
      attributes.exists = attributes.is_directory = true;
    }
    return attributes;
  }
  void CopyFile(std::string_view from, std::string_view to) override {
    auto source = files.find(Key(from));
    Need(source != files.end(), kErrFileNotFound, from);
    Need(HasFolder(ParentOf(Key(to))), kErrPathNotFound, to);
    files[Key(to)] = source->second;
  }
  void ReplaceFile(std::string_view from, std::string_view to) override { CopyFile(from, to); }
  bool SameContent(std::string_view a, std::string_view b) override {
    auto first = files.find(Key(a)), second = files.find(Key(b));
    return first != files.end() && second != files.end() && first->second == second->second;
  }
  void DeleteFile(std::string_view path) override {
    Need(files.erase(Key(path)) > 0, kErrFileNotFound, path);
  }
  void Rename(std::string_view from, std::string_view to) override {
    auto source = files.find(Key(from));
    Need(source != files.end(), kErrFileNotFound, from);
    Need(files.count(Key(to)) == 0, kErrFileExists, to);
    std::string bytes = std::move(source->second);
    files.erase(source);
    files[Key(to)] = std::move(bytes);
  }
  void MakeDirectory(std::string_view path) override {
    std::string key = FolderKey(path);
    Need(HasFolder(ParentOf(key)), kErrPathNotFound, path);
    Need(!HasFolder(key) && files.count(Key(path)) == 0, kErrPathFileAccess, path);
    folders.insert(key);
  }
  void RemoveDirectory(std::string_view path) override {
    Need(folders.erase(FolderKey(path)) > 0, kErrPathNotFound, path);
  }
  void SetReadOnly(std::string_view, bool) override {}
  std::string ReadFile(std::string_view path) override {
    auto file = files.find(Key(path));
    Need(file != files.end(), kErrFileNotFound, path);
    return file->second;
  }
  void WriteFile(std::string_view path, std::string_view bytes) override {
    Need(HasFolder(ParentOf(Key(path))), kErrPathNotFound, path);
    files[Key(path)] = std::string(bytes);
  }
  bool FileInUse(std::string_view) override { return false; }
  std::string WindowsFolder() override { return "C:\\Windows\\"; }
  std::string SystemFolder() override { return "C:\\Windows\\System32\\"; }
  std::string CommonAppDataFolder() override { return "C:\\ProgramData\\"; }
  std::string ProgramsFolder() override { return "C:\\Programs\\"; }
  std::string DesktopFolder() override { return "C:\\Desktop\\"; }
  std::string ExecutableFolder() override { return "C:\\Package\\"; }
  std::unique_ptr<platform::ChildProcess> StartProcess(std::string_view command_line,
                                                       bool) override {
    throw Failure::Runtime(kErrFileNotFound, "memory env: " + std::string(command_line));
  }
  void WriteShortcut(std::string_view path, std::string_view target, std::string_view arguments,
                     std::string_view icon) override {
    WriteFile(path, std::string(target) + "\n" + std::string(arguments) + "\n" + std::string(icon));
  }
  platform::LocalTime Now() override { return {2020, 4, 7, 15, 30, 0}; }
};

// Shows nothing; counts message boxes and keeps the last one.
class SilentUi : public ui::Ui {
 public:
  int message_boxes = 0;
  std::string last_text, last_title;

  void MessageBox(std::string_view text, std::string_view title, ui::Icon) override {
    ++message_boxes;
    last_text = text;
    last_title = title;
  }
  void ShowWait(std::string_view) override {}
  void SetWaitLabel(int index, std::string_view text) override { labels_[index & 1] = text; }
  std::string WaitLabel(int index) const override { return labels_[index & 1]; }
  void EnableWaitOk() override {}
  void UnloadWait() override {}
  void SetBusy(bool) override {}
  void PumpEvents() override {}
  std::string BrowseForFolder(std::string_view, std::string_view) override { return {}; }
  std::string SelectCopySource(const std::vector<std::string>& choices) override {
    return choices.empty() ? std::string() : choices.front();
  }
  ui::InstallFolderView& LoadInstallFolderDialog(ui::InstallFolderHandler&) override {
    Bug("no install-folder dialog in a fuzz target");
  }

 private:
  std::string labels_[2];
};

}  // namespace kr::fuzz
