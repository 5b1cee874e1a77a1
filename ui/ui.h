// What the updater's core needs from a user interface: message boxes, the wait dialog frmWait,
// the question of frmSelectCopySource, the mouse pointer, event pumping and the folder browser.
// Implemented by the Qt desktop program and by the console (kr-updater-cli and tests). Core
// code never includes Qt.
//
// Threading: one thread, the user-interface thread; every call comes from it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kr::ui {

enum class Icon {
  kNone,      // OK button only, no icon
  kCritical,  // the critical-stop icon
};

// frmSelectCopySource's title and question (lblComment, a CR LF line break as in every text of
// the core), shared so that every front end asks in the same words.
inline constexpr std::string_view kSelectCopySourceTitle = "基になるデータベースの選択";
inline constexpr std::string_view kSelectCopySourceQuestion =
    "ご利用中のケルモラには複数のデータベースが存在します。\r\n"
    "どのデータベースを基にして、今年度のデータを作成するかを選択してください。";

// frmMlDir, the install-folder dialog, as the core drives it. The core (start-up) owns the
// behaviour: loading, browse, OK and Cancel; a view only shows controls and reports clicks.
class InstallFolderView {
 public:
  virtual ~InstallFolderView() = default;
  virtual void SetTitle(std::string_view title) = 0;
  // Captions of fraPath, lblComment and lblComment2.
  virtual void SetCaptions(std::string_view path_caption, std::string_view comment,
                           std::string_view comment2) = 0;
  virtual void SetFolderText(std::string_view text) = 0;  // txtDir
  virtual std::string FolderText() const = 0;
  virtual void FocusBrowseButton() = 0;  // cmdDir
  // Shows the dialog without waiting for it.
  virtual void Show() = 0;
  // Hides and unloads the dialog; no handler is called afterwards.
  virtual void Close() = 0;
};

// What the dialog's controls do, implemented by the core.
class InstallFolderHandler {
 public:
  virtual ~InstallFolderHandler() = default;
  virtual void OnBrowse() = 0;  // cmdDir
  virtual void OnOk() = 0;      // cmdOk, Enter
  virtual void OnCancel() = 0;  // cmdCancel, Esc, the window's close button
};

class Ui {
 public:
  virtual ~Ui() = default;

  // A modal message box with one OK button; returns when the user has closed it.
  virtual void MessageBox(std::string_view text, std::string_view title, Icon icon) = 0;

  // --- frmWait ---------------------------------------------------------------------------
  // Shows the wait dialog without waiting (loading it first when needed): caption title,
  // label 0 "しばらくお待ちください...", label 1 empty, OK button not usable.
  virtual void ShowWait(std::string_view title) = 0;
  // Sets the caption of lbl(index) (0 or 1) and repaints that label at once.
  virtual void SetWaitLabel(int index, std::string_view text) = 0;
  virtual std::string WaitLabel(int index) const = 0;
  // Makes cmdOk usable; from then on OK, Enter and Esc close the dialog.
  virtual void EnableWaitOk() = 0;
  // Unloads the wait dialog (the unattended path ends this way).
  virtual void UnloadWait() = 0;
  // The progress over the whole run: done of total steps (total may grow as the run finds more
  // to do). Front ends without a bar ignore it.
  virtual void SetWaitProgress(size_t /*done*/, size_t /*total*/) {}
  // What the run did, as readable text: offered once the end message shows (frmWait's 詳細…).
  // Front ends that print it themselves ignore it.
  virtual void SetWaitDetails(std::string_view /*text*/) {}

  // Hourglass (true) or the default pointer (false).
  virtual void SetBusy(bool busy) = 0;
  // One pass over pending window events, so that dialogs stay responsive during long work.
  virtual void PumpEvents() = 0;

  // The folder browser: modal, starts at initial_folder, only real folders can be chosen.
  // Returns the chosen folder as the platform gives it, or "" when cancelled.
  virtual std::string BrowseForFolder(std::string_view title, std::string_view initial_folder) = 0;

  // frmSelectCopySource: which of several databases the new year's data is built from. Shows
  // the choices modally, the first one selected, and returns the one selected when the user
  // pressed OK; "" when choices is empty or the user left nothing selected. There is no cancel:
  // Esc is ignored and the close button counts as OK.
  virtual std::string SelectCopySource(const std::vector<std::string>& choices) = 0;

  // Loads frmMlDir (not yet shown); its controls report to handler. The view lives until
  // Close() or the end of the program.
  virtual InstallFolderView& LoadInstallFolderDialog(InstallFolderHandler& handler) = 0;
};

}  // namespace kr::ui
