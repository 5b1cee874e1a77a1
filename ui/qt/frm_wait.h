// frmWait, the progress window of a run. Internal to ui/qt; the core reaches it through QtUi.
#pragma once

#include <QDialog>
#include <array>
#include <string>
#include <string_view>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace kr::ui {

class frmWait final : public QDialog {
 public:
  explicit frmWait(std::string_view title);

  // Sets lbl(index), 0 or 1, and repaints it before returning.
  void SetLabel(int index, std::string_view text);
  std::string Label(int index) const;
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
  std::array<std::string, 2> texts_;
  bool ok_usable_ = false;
  bool unloading_ = false;
  bool unloaded_ = false;
};

}  // namespace kr::ui
