#include "tests/testing/fake_ui.h"

namespace kr::testing {

void FakeInstallFolderView::SetCaptions(std::string_view path, std::string_view comment_text,
                                        std::string_view comment2_text) {
  path_caption = path;
  comment = comment_text;
  comment2 = comment2_text;
}

void FakeUi::MessageBox(std::string_view text, std::string_view title, ui::Icon icon) {
  boxes.push_back({std::string(text), std::string(title), icon});
}

void FakeUi::ShowWait(std::string_view title) {
  wait_shown = true;
  wait_title = title;
  labels[0] = "しばらくお待ちください...";
  labels[1].clear();
}

void FakeUi::SetWaitLabel(int index, std::string_view text) {
  if (index < 0 || index > 1) return;
  labels[index] = text;
  if (index == 1) progress.emplace_back(text);
}

std::string FakeUi::WaitLabel(int index) const {
  return index == 0 || index == 1 ? labels[index] : std::string();
}

std::string FakeUi::BrowseForFolder(std::string_view title, std::string_view initial_folder) {
  browse_calls.emplace_back(title, initial_folder);
  return browse_answer;
}

std::string FakeUi::SelectCopySource(const std::vector<std::string>& choices) {
  copy_source_calls.push_back(choices);
  if (copy_source_answer) return *copy_source_answer;
  return choices.empty() ? std::string() : choices.front();
}

ui::InstallFolderView& FakeUi::LoadInstallFolderDialog(ui::InstallFolderHandler& handler) {
  dialog = std::make_unique<FakeInstallFolderView>(handler);
  return *dialog;
}

}  // namespace kr::testing
