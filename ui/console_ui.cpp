#include "ui/console_ui.h"

#include <algorithm>

namespace kr::ui {
namespace {

constexpr std::string_view kPleaseWait = "しばらくお待ちください...";
constexpr std::string_view kProposedFolder =
    "インストール先フォルダを確認してください（--install-folder で指定すると更新します）:";
constexpr std::string_view kChosenCopySource = "基にするデータベース: ";
constexpr std::string_view kNoCopySource = "（候補がありません）";

// Texts are built with CR LF line breaks; the console writes plain line feeds.
std::string ConsoleText(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    result += text[i];
  }
  return result;
}

std::string OneLine(std::string_view text) {
  std::string line = ConsoleText(text);
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return line;
}

}  // namespace

ConsoleInstallFolderView::ConsoleInstallFolderView(InstallFolderHandler& handler,
                                                   std::optional<std::string> answer,
                                                   std::ostream& out)
    : handler_(handler), answer_(std::move(answer)), out_(out) {}

void ConsoleInstallFolderView::SetCaptions(std::string_view /*path_caption*/,
                                           std::string_view /*comment*/,
                                           std::string_view /*comment2*/) {}

void ConsoleInstallFolderView::Show() {
  if (answer_) {
    text_ = *answer_;
    handler_.OnOk();
    return;
  }
  out_ << kProposedFolder << "\n" << text_ << "\n";
  out_.flush();
  handler_.OnCancel();
}

ConsoleUi::ConsoleUi(std::optional<std::string> install_folder, std::ostream& out,
                     std::ostream& err, bool terminal)
    : install_folder_(std::move(install_folder)), out_(out), err_(err), terminal_(terminal) {}

ConsoleUi::~ConsoleUi() { EndStatusLine(); }

void ConsoleUi::EndStatusLine() {
  if (!status_line_) return;
  err_ << "\r\x1b[K";
  err_.flush();
  status_line_ = false;
}

void ConsoleUi::MessageBox(std::string_view text, std::string_view title, Icon /*icon*/) {
  EndStatusLine();
  err_ << "[" << title << "] " << ConsoleText(text) << "\n";
  err_.flush();
}

void ConsoleUi::ShowWait(std::string_view /*title*/) {
  labels_[0] = kPleaseWait;
  labels_[1].clear();
}

void ConsoleUi::SetWaitLabel(int index, std::string_view text) {
  if (index < 0 || index > 1) return;
  labels_[index] = text;
  // While label 0 still asks to wait, label 1 is the progress line; afterwards it is the end
  // message's detail, written with the end message.
  if (index != 1 || labels_[0] != kPleaseWait) return;
  if (terminal_) {
    err_ << "\r\x1b[K" << percent_ << OneLine(text);
    status_line_ = !text.empty();
  } else if (!text.empty()) {
    err_ << OneLine(text) << "\n";
  }
  err_.flush();
}

// On a terminal the status line starts with the run's progress; a log keeps its lines plain.
void ConsoleUi::SetWaitProgress(size_t done, size_t total) {
  if (!terminal_ || total == 0) return;
  std::string percent = "[" + std::to_string(std::min(done, total) * 100 / total) + "%] ";
  if (percent == percent_) return;
  percent_ = percent;
  if (labels_[0] == kPleaseWait && status_line_) SetWaitLabel(1, std::string(labels_[1]));
}

std::string ConsoleUi::WaitLabel(int index) const {
  return index == 0 || index == 1 ? labels_[index] : std::string();
}

void ConsoleUi::EnableWaitOk() {
  EndStatusLine();
  out_ << ConsoleText(labels_[0]) << "\n";
  std::string detail = ConsoleText(labels_[1]);
  while (!detail.empty() && detail.back() == '\n') detail.pop_back();
  if (!detail.empty()) out_ << detail << "\n";
  out_.flush();
}

std::string ConsoleUi::SelectCopySource(const std::vector<std::string>& choices) {
  EndStatusLine();
  err_ << "[" << kSelectCopySourceTitle << "] " << ConsoleText(kSelectCopySourceQuestion) << "\n";
  for (const std::string& choice : choices) err_ << "  " << OneLine(choice) << "\n";
  err_ << kChosenCopySource
       << (choices.empty() ? std::string(kNoCopySource) : OneLine(choices.front())) << "\n";
  err_.flush();
  return choices.empty() ? std::string() : choices.front();
}

InstallFolderView& ConsoleUi::LoadInstallFolderDialog(InstallFolderHandler& handler) {
  dialog_ = std::make_unique<ConsoleInstallFolderView>(handler, install_folder_, out_);
  return *dialog_;
}

}  // namespace kr::ui
