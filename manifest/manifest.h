// Manifest execution: the driver that applies a package's KrInst.ini to the install folder, the
// file actions of its "Bootstrap Files" lines, folder copy and removal, shortcuts and child
// processes.
//
// Every operation here belongs to the user-interface thread and reports failures only the way
// its comment says (an error text, a message box, a false result); none lets a failure escape.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "report/journal.h"
#include "report/report.h"
#include "support/support.h"
#include "ui/ui.h"

namespace kr::manifest {

// --- Routine dispatch ---------------------------------------------------------------------------

// The catalogue of update routines, as the driver's routine pass sees it. routines/ implements it.
class RoutineRegistry {
 public:
  virtual ~RoutineRegistry() = default;
  // Runs the routine (or routines) registered under name, compared exactly and case-sensitively.
  // argument: value 3 of the "Function" line, "" when absent. Returns false when no routine has
  // that name (the line is skipped). A routine handles its own failures.
  virtual bool Run(std::string_view name, std::string_view argument, RunContext& run,
                   ui::Ui& ui) = 0;
  // How many databases the routine would visit now, for the progress bar.
  virtual size_t Targets(std::string_view /*name*/, RunContext& /*run*/, ui::Ui& /*ui*/) {
    return 0;
  }
};

// One step of the run's progress done (the total grows when the run has done more than it
// expected).
void AdvanceProgress(RunContext& run, ui::Ui& ui);

// --- Driver -------------------------------------------------------------------------------------

struct ManifestOutcome {
  bool ran = false;         // false: InstallFolder was empty, nothing was shown or changed
  std::string error_log;    // ErrorLog: the error blocks of the file actions, in line order
  size_t unfinished = 0;    // databases an update routine had to leave as they were
  report::Report report;    // what the run did
  std::string report_path;  // native path of the report in UpdateLog, "" when it was not written
  bool errors() const { return !error_log.empty(); }
};

// RunManifest: one update run over PackageFolder's KrInst.ini against run.install_folder: files
// pass, routine pass, finishing steps, end message in the wait dialog. unload: unload the wait
// dialog at the end (the unattended path); clear, it stays with the end message until its OK.
// The run records what it does into its report, written to UpdateLog\<yyyymmddhhnnss>.json in the
// install folder before the end message shows.
// Regime: step-and-continue; failures outside the file actions are dropped, never reported.
ManifestOutcome RunManifest(RunContext& run, ui::Ui& ui, RoutineRegistry& routines, bool unload);

// --- Run report ---------------------------------------------------------------------------------

// Local time as the report writes it: "2026-12-07T08:01:02".
std::string ReportTime(const platform::LocalTime& time);
// Where the reports of an installation are kept: install_folder + "UpdateLog\".
std::string ReportFolder(std::string_view install_folder);
// The name a report written now gets, without ".json": <yyyymmddhhnnss>, with a "-n" suffix when
// a report or a folder of saved copies of that name is there. It names the run's saved copies.
std::string ReportStamp(std::string_view install_folder);
// Writes report to ReportFolder as <stamp>.json (a fresh ReportStamp when stamp is "" or taken)
// and returns its native path. Regime: leave-on-error; "" when it could not be written.
std::string WriteRunReport(std::string_view install_folder, const report::Report& report,
                           std::string_view stamp = {});

// --- Undo ---------------------------------------------------------------------------------------

struct UndoOutcome {
  int exit_status = 2;    // 0 put back (or nothing left), 1 some files not, 2 refused: nothing done
  std::string message;    // Japanese, for the user: what was done, or why not
  report::Report run;     // the run taken back, when its report could be read
  report::Report report;  // the undo's own report (kind "undo"), when it ran
  std::string report_path;  // native path of that report in UpdateLog, "" when none was written
};

// A report file read back. Regime: leave-on-error; nothing when it cannot be read or is none.
std::optional<report::Report> ReadReport(std::string_view path);
// The newest report of a run (neither a plan nor an undo) in install_folder's UpdateLog, as a
// native path; "" when there is none.
std::string LatestRunReport(std::string_view install_folder);
// The run as a user reads it before taking it back: when, which package, each file changed.
std::string UndoSummary(const report::Report& run);
// UndoRun: puts back every file the run of report_path changed, its last change first: the
// earlier content copied back from where the run kept it, a file the run created removed.
// install_folder "" is the report's; report_path "" the newest run's (LatestRunReport). Refuses
// (2, nothing done) when a file was changed after the run (now neither as the run left it nor as
// it found it) or its earlier content is gone, naming them, unless force. Files already as they
// were are left alone, so a killed undo is finished by running it again. The undo records its own
// changes (saved copies too, so that force loses nothing) in its report in UpdateLog; once it
// has put everything back it leaves "<report name>.undone" there, and undoing that run again does
// nothing. What programs the run started did (registrations among them) is named as not undone.
// Regime: step-and-continue per file.
UndoOutcome UndoRun(std::string_view install_folder, std::string_view report_path, bool force);

// The values of a manifest line: the text right of the first "=" (the whole line without one),
// split at every ",". Nothing is trimmed; empty values stay.
std::vector<std::string> ParseManifestValues(std::string_view line);

// Editions whose settings database records the installed version: models 10-99 and 320-399.
bool CarriesVersionText(int32_t inst_model);
// The statement finishing step 2 runs on File\KrSet.mdb: the year, a comma and ExeVersion as
// written (apostrophes are not doubled).
std::string VersionTextStatement(int16_t exe_year, std::string_view exe_version);
// Finishing step 2: runs statement on the settings database (shared, read-write, with the
// database password). Regime: pass-through (the driver drops what escapes).
void WriteVersionText(std::string_view settings_database, std::string_view statement);

// --- File actions -------------------------------------------------------------------------------

// ApplyFileAction: applies one "Bootstrap Files" line. file: value 0 (relative to PackageFolder,
// may hold "*"); destination: value 1 after ExpandPathMacros; keyword_upper / keyword_as_written:
// values 2.. rejoined with ",", upper-cased and as written. Returns "" or one error block:
// destination, name, CRLF, "エラー番号=" number, CRLF, "エラー内容=" description, CRLF, CRLF.
// Regime: step-and-continue; the most recent failure still pending at the end is reported.
// record, when given, receives the line's source and target (native), its outcome and error.
std::string ApplyFileAction(RunContext& run, ui::Ui& ui, std::string_view file,
                            std::string_view destination, std::string_view keyword_upper,
                            std::string_view keyword_as_written, report::Action* record = nullptr);

// --- Folder trees -------------------------------------------------------------------------------

// "$(AppPath)", "$(WinPath)" and "$(WinSysPath)" replaced (exactly, case-sensitively), then a
// trailing "\" added unless empty. Computing $(AppPath) right-trims run.install_folder itself.
std::string ExpandPathMacros(RunContext& run, std::string_view text);

// CopyFolderTree: copies the files matching source_pattern (a folder path and a file pattern)
// into destination, after deleting every plain file of destination; with recursive, sub-folders
// whose names match the pattern too. progress: each file's name in progress line (label 1).
// Regime: step-and-continue per folder level; a failure pending at the end of a level is shown
// in a message box titled "エラーメッセージ". Entering a sub-folder clears the level's failure.
void CopyFolderTree(ui::Ui& ui, std::string_view source_pattern, std::string_view destination,
                    bool recursive, bool progress);

// DeleteFolderTree: deletes folder (ending in "\") with its files and sub-folders; a missing
// folder is left alone. Regime and message box as CopyFolderTree.
void DeleteFolderTree(ui::Ui& ui, std::string_view folder);

// The sub-folders of folder: entry 0 empty, then each name followed by "\". Regime: leave-on-error
// (silent; what was collected is returned).
std::vector<std::string> ListSubfolders(std::string_view folder);
// The sub-folder names without separator; one empty entry when there is none. Silent as above.
std::vector<std::string> ListSubfolderNames(std::string_view folder);

// --- Shortcuts ----------------------------------------------------------------------------------

// One ShellLink line of a shortcut list file.
struct ShellLinkEntry {
  int16_t kind = 0;         // 1: Start-menu folder, 2: shortcut, anything else: ignored
  double number = 0;        // field 2, read and kept
  uint8_t byte_value = 0;   // field 3, read and kept
  std::string folder_name;  // below the parent root, "\" between levels
  std::string link_name;    // without extension
  std::string link_path;    // may hold #InstPath# and #WinPath#
  std::string link_arguments;
  bool is_private = false;
  std::string parent;  // root token, e.g. "$(Programs)"
  uint8_t flags = 0;   // 1: create in the Start-menu folder, 2: copy it to the desktop
};

// RepairShortcut: rebuilds Start-menu folders and shortcuts from the list file, copies marked
// ones to the desktop, then adds the uninstall shortcut of the edition. Regime: leave-on-error;
// the first failure ends it with the message "ショートカットの作成に失敗しました".
void RepairShortcut(RunContext& run, ui::Ui& ui, std::string_view list_file);

// ReadShellLinkList: the entries of the list file (code page 932), in line order. A ShellLink
// line without exactly 11 fields gives an empty entry. Returns false after a failure (missing
// file, a numeric field that does not convert), its message box already shown.
// Regime: leave-on-error with a message box.
bool ReadShellLinkList(ui::Ui& ui, std::string_view list_file,
                       std::vector<ShellLinkEntry>& entries);

// #InstPath# (the list file's folder, with "\") and #WinPath# (the Windows folder) replaced.
std::string ExpandLinkMacros(RunContext& run, std::string_view list_file, std::string_view text);

// CreateDesktopShortcut: the desktop shortcut named title pointing at target_path (its icon
// the target's). switch_value is accepted and not used. Regime: leave-on-error, silent.
void CreateDesktopShortcut(std::string_view target_path, std::string_view switch_value,
                           std::string_view title);

// --- Child processes ----------------------------------------------------------------------------

// RunAndWait: starts command_line (window_style 0: hidden) and returns once the child has ended,
// pumping the user interface's events meanwhile. False when the program cannot be started.
// Regime: leave-on-error, silent.
bool RunAndWait(ui::Ui& ui, std::string_view command_line, int window_style);

}  // namespace kr::manifest
