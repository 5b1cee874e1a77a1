// Start-up and run control: Main's start-up sequence, the run-wide values, the edition settings
// lookup and the install-folder dialog frmMlDir, which drives the run when start-up does not
// update unattended.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "manifest/manifest.h"
#include "platform/platform.h"
#include "support/support.h"
#include "ui/ui.h"

namespace kr::startup {

// --- Run-wide values ----------------------------------------------------------------------------

// The two-letter edition code of a model: 0-99 "TN", 100-199 "TR", 300-399 "TW", 400-499 "TS",
// anything else "".
std::string EditionCode(int32_t inst_model);

// RunStamp: a local time written yyyyMMddhhnn (12 digits).
std::string FormatRunStamp(const platform::LocalTime& time);
// RunStamp of the run clock's current time.
std::string RunStamp();

struct CalendarDate {
  int year = 0, month = 0, day = 0;
  bool operator==(const CalendarDate&) const = default;
};
// UpdateDay read as a date: year/month/day or year-month-day (four-digit year, one- or two-digit
// month and day), optionally followed by a time h:mm or h:mm:ss. Anything else gives nothing.
std::optional<CalendarDate> ParseUpdateDay(std::string_view text);
// Whether update_day falls on now's calendar date; a text that is not a date never does.
bool IsToday(std::string_view update_day, const platform::LocalTime& now);

// Steps 7 to 10 of start-up: looks up the install folder in the edition XML file, the edition
// INI file of the common data folder and that of the Windows folder, in this order, setting
// run.install_folder; returns UpdateDay (finally from the install folder's Update\UpdateDate.ini
// when still empty). Needs run.exe_year, inst_model and common_data_folder.
// Regime: step-and-continue; failures are dropped.
std::string LookUpInstallFolder(RunContext& run);

// Whether start-up updates at once: an install folder, an UpdateDay of today and the program
// ExeName present in the install folder.
bool ShouldRunUnattended(const RunContext& run, std::string_view exe_name,
                         std::string_view update_day, const platform::LocalTime& now);

// --- frmMlDir -----------------------------------------------------------------------------------

// The install-folder dialog's behaviour: it proposes a folder, lets the user browse, and on OK
// validates the folder and starts the run. The view shows controls and reports their clicks.
// Lives until the end of the run (the run starts inside OnOk).
class frmMlDir : public ui::InstallFolderHandler {
 public:
  frmMlDir(RunContext& run, ui::Ui& ui, manifest::RoutineRegistry& routines);
  ~frmMlDir() override;

  // Loads the dialog (title, captions, proposed folder) and shows it without waiting.
  // Regime: step-and-continue; loading failures are dropped and the dialog shows what it has.
  void Show();

  // MlDir: the install folder.
  const std::string& MlDir() const { return run_.install_folder; }
  void MlDir(std::string sDir) { run_.install_folder = std::move(sDir); }

  // The installed folder found in the application's old settings files (the legacy
  // Kelmora.Ini, then the edition INI file of the Windows folder), with a trailing "\"; "" when
  // none. Regime: step-and-continue; failures are dropped and what was found is returned.
  std::string FindInstallFolder();

  void OnBrowse() override;  // cmdDir
  void OnOk() override;      // cmdOk
  void OnCancel() override;  // cmdCancel, Esc, close button

  // Whether the dialog has been closed (by a passed OK or by Cancel).
  bool closed() const { return closed_; }
  // The run started by OK, once it has ended.
  const std::optional<manifest::ManifestOutcome>& manifest_outcome() const { return outcome_; }

 protected:
  // CheckInstallFolder: true when the folder in txtDir must not be updated (its message box,
  // titled with the updater title, has been shown); false when every check of the package's
  // KrInst.ini passed. Reads the disk only. Virtual so that tests of the dialog can stand in.
  // Regime: step-and-continue (a check that fails to run is skipped, except the settings
  // database's year check, which refuses a database it cannot read).
  virtual bool CheckInstallFolder();
  ui::InstallFolderView& view() { return *view_; }
  RunContext& run() { return run_; }
  ui::Ui& user_interface() { return ui_; }

 private:
  void Load();

  RunContext& run_;
  ui::Ui& ui_;
  manifest::RoutineRegistry& routines_;
  ui::InstallFolderView* view_ = nullptr;
  bool closed_ = false;
  std::optional<manifest::ManifestOutcome> outcome_;
};

// --- Main ---------------------------------------------------------------------------------------

// Start-up step 2: the folder a command line names (the executable's folder when it names
// none), with a trailing separator: the package as it was signed.
// Regime: step-and-continue; failures are dropped.
std::string PackageRootOf(std::string_view command_line);

// Start-up steps 2 and 3: PackageRootOf, and its "TEST\" sub-folder when it holds a file
// "_Test". Regime: step-and-continue; failures are dropped.
std::string PackageFolderOf(std::string_view command_line);

// Whether the package at package_root may be used: nothing when it is signed by a trusted key
// and unchanged since (platform::Env::TrustedKeyFolders), when no key is trusted (logged as not
// verified), or when the folder is missing (the folder checks report that). Otherwise the
// Japanese message naming the first difference; the log names every one. Reads the disk only.
std::optional<std::string> CheckPackageSignature(std::string_view package_root);

// The install folder start-up finds for the package in the application's settings files (before
// any dialog), "" when none is recorded. Reads the disk only. Regime: step-and-continue.
std::string InstallFolderFor(std::string_view package_folder);

// Whether a package folder can be updated from: nothing when it exists and holds KrInst.ini,
// otherwise the Japanese message naming it (logged in English). Reads the disk only. The
// desktop program does not ask (it starts on any folder); the console program refuses early.
std::optional<std::string> CheckPackageFolder(std::string_view package_folder);

enum class Outcome {
  kPending,             // Main has not run, or the install-folder dialog is still open
  kAlreadyRunning,      // another copy holds the guard; nothing was done
  kNotRun,              // cancelled, or no install folder: nothing was changed
  kRefused,             // the package's signature did not pass: nothing was done
  kFinished,            // the manifest ran and no file action reported an error
  kFinishedWithErrors,  // the manifest ran and the end message is the error message
  kUnfinished,          // the manifest ran, but an update routine left databases as they were
};

// One run of the updater. Owns the run-wide values, the single-instance guard (held until the
// Updater is destroyed) and, on the dialog path, frmMlDir.
class Updater {
 public:
  Updater(ui::Ui& ui, manifest::RoutineRegistry& routines);
  ~Updater();
  Updater(const Updater&) = delete;
  Updater& operator=(const Updater&) = delete;

  // Main: the package's signature check, then start-up steps 1 to 12. command_line: the
  // program's arguments as one line, the package folder its first token ("" when there are
  // none: the executable's folder is the package). Returns after the unattended run, after a
  // refused signature (its message box shown, nothing else done), or with frmMlDir shown
  // (which may already have finished the run when the view acts at once, as the console's
  // does). Regime: step-and-continue; the only messages are the signature's refusal and the
  // single-instance one.
  void Main(std::string_view command_line);

  // The package's signature check (CheckPackageSignature) on its own, for a front end that
  // refuses before its other checks; Main, given the same command line, then does not repeat
  // a check that passed.
  std::optional<std::string> CheckSignature(std::string_view command_line);

  Outcome outcome() const;
  // What the manifest run did (its report among it), on either path; null when it did not run.
  const manifest::ManifestOutcome* manifest_outcome() const;
  RunContext& run() { return run_; }

 private:
  ui::Ui& ui_;
  manifest::RoutineRegistry& routines_;
  RunContext run_;
  std::unique_ptr<platform::InstanceGuard> guard_;
  std::unique_ptr<frmMlDir> dialog_;
  std::optional<Outcome> outcome_;
  std::optional<manifest::ManifestOutcome> manifest_outcome_;  // the unattended path's
  bool signature_passed_ = false;
};

// The name of the single-instance guard every copy of the updater takes.
inline constexpr std::string_view kInstanceGuardName = "kr-updater";

}  // namespace kr::startup
