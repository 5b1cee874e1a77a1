#include "tests/testing/fake_ui.h"

namespace kr::testing {

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

std::string FakeUi::SelectCopySource(const std::vector<std::string>& choices) {
  return choices.empty() ? std::string() : choices.front();
}

ui::InstallFolderView& FakeUi::LoadInstallFolderDialog(ui::InstallFolderHandler& handler) {
  dialog = std::make_unique<FakeInstallFolderView>(handler);
  return *dialog;
}

}  // namespace kr::testing
