// The console user interface of kr-updater-cli (and of tests): progress captions and message
// boxes go to the error stream, the end message to the output stream. The install-folder
// dialog answers at once: with a folder given beforehand it types it and presses OK, without
// one it prints the proposed folder and cancels. The copy-source question is answered with its
// first choice.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "ui/ui.h"

namespace kr::ui {

class ConsoleInstallFolderView : public InstallFolderView {
 public:
  ConsoleInstallFolderView(InstallFolderHandler& handler, std::optional<std::string> answer,
                           std::ostream& out);
  void SetTitle(std::string_view title) override { title_ = title; }
  void SetCaptions(std::string_view path_caption, std::string_view comment,
                   std::string_view comment2) override;
  void SetFolderText(std::string_view text) override { text_ = text; }
  std::string FolderText() const override { return text_; }
  void FocusBrowseButton() override {}
  // Types the answer into txtDir and presses OK; without an answer prints the proposed folder
  // and presses Cancel.
  void Show() override;
  void Close() override { closed_ = true; }

  bool closed() const { return closed_; }

 private:
  InstallFolderHandler& handler_;
  std::optional<std::string> answer_;
  std::ostream& out_;
  std::string title_;
  std::string text_;
  bool closed_ = false;
};

class ConsoleUi : public Ui {
 public:
  // install_folder: what the install-folder dialog is answered with (nullopt: cancel it).
  // terminal: err is a terminal, where the progress line is rewritten in place.
  ConsoleUi(std::optional<std::string> install_folder, std::ostream& out, std::ostream& err,
            bool terminal);
  ~ConsoleUi() override;

  void MessageBox(std::string_view text, std::string_view title, Icon icon) override;
  void ShowWait(std::string_view title) override;
  void SetWaitLabel(int index, std::string_view text) override;
  std::string WaitLabel(int index) const override;
  // The run is over: the end message (label 0, then label 1) goes to the output stream.
  void EnableWaitOk() override;
  void UnloadWait() override {}
  // A terminal's status line shows the percentage done in front of the caption.
  void SetWaitProgress(size_t done, size_t total) override;
  void SetBusy(bool /*busy*/) override {}
  void PumpEvents() override {}
  // There is nothing to browse with on the console: always cancelled.
  std::string BrowseForFolder(std::string_view /*title*/,
                              std::string_view /*initial_folder*/) override {
    return {};
  }
  // Nobody can choose on the console: prints the question with its choices to the error
  // stream and answers with the first choice, as the form preselects it ("" for none).
  std::string SelectCopySource(const std::vector<std::string>& choices) override;
  InstallFolderView& LoadInstallFolderDialog(InstallFolderHandler& handler) override;

 private:
  void EndStatusLine();

  std::optional<std::string> install_folder_;
  std::ostream& out_;
  std::ostream& err_;
  bool terminal_;
  bool status_line_ = false;  // a progress caption stands unfinished on the terminal
  std::string labels_[2];
  std::string percent_;  // "[45%] " on a terminal once the run's progress is known
  std::unique_ptr<ConsoleInstallFolderView> dialog_;
};

}  // namespace kr::ui
