// A user interface for tests: records every message box, every caption of the wait dialog's
// labels and what the install-folder dialog holds; the folder browser is always cancelled. And a
// set of update routines that runs none.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "manifest/manifest.h"
#include "ui/ui.h"

namespace kr::testing {

struct MessageBoxCall {
  std::string text;
  std::string title;
  ui::Icon icon = ui::Icon::kNone;
};

class FakeInstallFolderView : public ui::InstallFolderView {
 public:
  explicit FakeInstallFolderView(ui::InstallFolderHandler& handler) : handler(handler) {}
  void SetTitle(std::string_view) override {}
  void SetCaptions(std::string_view, std::string_view, std::string_view) override {}
  void SetFolderText(std::string_view text) override { folder_text = text; }
  std::string FolderText() const override { return folder_text; }
  void FocusBrowseButton() override { browse_focused = true; }
  void Show() override {}
  void Close() override {}

  ui::InstallFolderHandler& handler;
  std::string folder_text;
  bool browse_focused = false;
};

class FakeUi : public ui::Ui {
 public:
  void MessageBox(std::string_view text, std::string_view title, ui::Icon icon) override {
    boxes.push_back({std::string(text), std::string(title), icon});
  }
  void ShowWait(std::string_view title) override {
    wait_shown = true;
    wait_title = title;
    labels[0] = "しばらくお待ちください...";
    labels[1].clear();
  }
  void SetWaitLabel(int index, std::string_view text) override {
    if (index < 0 || index > 1) return;
    labels[index] = text;
    if (index == 1) progress.emplace_back(text);
  }
  std::string WaitLabel(int index) const override {
    return index == 0 || index == 1 ? labels[index] : std::string();
  }
  void EnableWaitOk() override { wait_ok_enabled = true; }
  void UnloadWait() override { wait_unloaded = true; }
  void SetBusy(bool busy) override { this->busy = busy; }
  void PumpEvents() override { ++pumped; }
  std::string BrowseForFolder(std::string_view, std::string_view) override { return ""; }
  // The first choice ("" for none), as the form preselects.
  std::string SelectCopySource(const std::vector<std::string>& choices) override {
    return choices.empty() ? std::string() : choices.front();
  }
  ui::InstallFolderView& LoadInstallFolderDialog(ui::InstallFolderHandler& handler) override {
    dialog = std::make_unique<FakeInstallFolderView>(handler);
    return *dialog;
  }

  std::vector<MessageBoxCall> boxes;
  std::vector<std::string> progress;  // every caption given to label 1, in order
  std::string labels[2];
  std::string wait_title;
  bool wait_shown = false, wait_ok_enabled = false, wait_unloaded = false, busy = false;
  int pumped = 0;
  std::unique_ptr<FakeInstallFolderView> dialog;
};

class NoRoutines final : public manifest::RoutineRegistry {
 public:
  bool Run(std::string_view, std::string_view, RunContext&, ui::Ui&) override { return false; }
};

}  // namespace kr::testing
