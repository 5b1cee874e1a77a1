// frmWait, the progress window of a run. Internal to ui/qt; the core reaches it through QtUi.
#pragma once

#include <QDialog>
#include <array>
#include <string>
#include <string_view>

class QDialog;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace kr::ui {

class frmWait final : public QDialog {
 public:
  explicit frmWait(std::string_view title);

  // Sets lbl(index), 0 or 1, and repaints it before returning.
  void SetLabel(int index, std::string_view text);
  std::string Label(int index) const;
  // The bar over the whole run: done of total steps.
  void SetProgress(size_t done, size_t total);
  // What the run did; cmdDetails (詳細…) shows it once the end message is there.
  void SetDetails(std::string_view text);
  // The window cmdDetails opened (null before it was clicked).
  QDialog* details() const { return details_; }
  // From now on cmdOk, Enter, Esc and the close button unload the form.
  void EnableOk();
  // Unloads the form whether or not the run is over (the unattended path).
  void Unload();
  // True once the form has begun to unload; it is deleted at the next turn of the event loop.
  bool unloaded() const { return unloaded_; }

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* lbl0_;
  // lbl(1) receives whole error reports at the end of a failed run, so it is a read-only text
  // area dressed as a label: it wraps anywhere and scrolls when the text does not fit.
  QPlainTextEdit* lbl1_;
  QPushButton* cmd_ok_;
  QProgressBar* progress_;
  QPushButton* cmd_details_;
  QDialog* details_ = nullptr;
  std::string details_text_;
  std::array<std::string, 2> texts_;
  bool ok_usable_ = false;
  bool unloading_ = false;
  bool unloaded_ = false;

  void ShowDetails();
};

}  // namespace kr::ui
