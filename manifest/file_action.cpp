// ApplyFileAction as a table of keyword rows, tested in order; the first row whose keyword
// matches applies the line. Every file operation is a Step (its failure stays pending and may
// reach the error block); every operation of the updater is a Call (it handles its own failures
// and clears the pending one), which is what decides which failures a row reports.
#include <array>
#include <string>

#include "db/db.h"
#include "manifest/file_action_rows.h"
#include "platform/failure.h"
#include "platform/platform.h"

namespace kr::manifest {
namespace internal {
namespace {

using platform::ListKind;

constexpr std::string_view kInstalling = "をインストール中...";
constexpr std::string_view kDeleting = "を削除中...";
constexpr std::string_view kCopyingFiles = "ファイルコピー中...";
constexpr std::string_view kCrLf = "\r\n";

// A database a killed process left in the middle of a commit has the journal that undoes it
// beside it. It is played back before the file is copied, replaced or deleted: a copy would
// keep the half commit for good, and a file put in its place would have the old journal played
// back onto it at its first open. False when that failed (the line's failure): the file stays.
bool FinishHalfCommit(FileAction& a, const std::string& path) {
  if (!platform::FileExists(path)) return true;
  return a.steps.Step([&] { db::engine::RecoverDatabaseFile(path); });
}

}  // namespace

void DeleteIfExists(FileAction& a, const std::string& path) {
  if (!FinishHalfCommit(a, path)) return;
  if (platform::FileExists(path)) a.steps.Step([&] { platform::DeleteFile(path); });
}

// The copy replaces an existing file in one step, so that a copy failing on the way (a full
// disk, an I/O error) leaves the old file whole; a file the deletion could not remove fails the
// copy with the same number. A package without the file still has the old one deleted first.
void CopyReplacing(FileAction& a, const std::string& from, const std::string& to) {
  if (!platform::FileExists(from)) DeleteIfExists(a, to);
  if (!FinishHalfCommit(a, to)) return;
  a.steps.Step([&] { platform::CopyFile(from, to); });
}

namespace {

// A file under this run's backup name comes from an earlier run in the same minute. When it
// differs from what would replace it, that run got past the update of the file and the backup
// may be the only copy left of what the user had: it stays, and this line makes none.
bool KeepsEarlierBackup(const std::string& backup, const std::string& file) {
  if (!platform::FileExists(backup) || platform::SameContent(backup, file)) return false;
  LogLine("backup " + backup + " differs from " + file + "; the earlier backup is kept");
  return true;
}

// --- Rows ---------------------------------------------------------------------------------------

void InstallAndRegister(FileAction& a) {
  a.ui.SetWaitLabel(1, platform::NativePath(a.target) + std::string(kInstalling));
  CopyReplacing(a, a.source, a.target);
  std::string command;
  if (a.keyword == "AEXE") {
    command = a.destination + a.name + " /RegServer";
  } else {
    command = a.steps.Call([&] { return support::GetSystemFolder(a.run); }) +
              "Regsvr32 /sOptions " + a.destination + a.name;
  }
  a.steps.Call([&] { return RunAndWait(a.ui, command, 0); });
}

void BackupOld(FileAction& a) {
  a.ui.SetWaitLabel(1, kCopyingFiles);
  std::string backup = a.destination + support::BackupFileName(a.name, a.run.run_stamp);
  if (!FinishHalfCommit(a, a.target)) return;
  a.skipped = KeepsEarlierBackup(backup, a.target) || !platform::FileExists(a.target);
  if (!a.skipped) a.steps.Step([&] { platform::CopyFile(a.target, backup); });
}

void ReplaceOldSystemComponent(FileAction& a) {
  a.skipped = true;
  if (!platform::FileExists(a.target)) return;
  if (a.steps.Call([] { return support::GetPlatformId(); }) != 1) return;
  if (a.steps.Call([&] { return support::GetFileVersion(a.target, true); }) != "5.1.2600.0") return;
  a.skipped = false;
  CopyReplacing(a, a.source, a.target);
}

void Delete(FileAction& a) {
  a.skipped = !platform::FileExists(a.target);
  if (a.skipped) return;
  a.ui.SetWaitLabel(1, a.name + std::string(kDeleting));
  if (!FinishHalfCommit(a, a.target)) return;
  a.steps.Step([&] { platform::DeleteFile(a.target); });
}

void RemoveFolder(FileAction& a) {
  a.ui.SetWaitLabel(1, platform::NativePath(a.destination) + std::string(kDeleting));
  a.steps.Call([&] { DeleteFolderTree(a.ui, a.destination); });
}

void RepairShortcuts(FileAction& a) {
  a.steps.Call([&] { RepairShortcut(a.run, a.ui, a.destination + a.name); });
}

// The field is split again as written, so that section, key and value keep their letter case.
// A missing part means the write cannot be called: that is the failure reported.
void PutXml(FileAction& a) {
  std::vector<std::string> parts = support::Split(a.keyword_as_written, ";");
  std::string section, key, value;
  bool have_parts = a.steps.Step([&] {
    if (parts.size() < 4) {
      throw Failure::Runtime(kErrSubscript, "PUTXMLSETTING needs section;key;value");
    }
    section = parts[1];
    key = parts[2];
    value = parts[3];
  });
  if (!have_parts) return;
  a.steps.Call([&] {
    support::PutXmlSetting(a.run.install_folder + "KelmoraSetting.xml", section, key, value);
  });
}

void CopyPattern(FileAction& a) {
  bool recursive = a.keyword == "FILECOPYSUBDIR";
  a.steps.Call([&] { CopyFolderTree(a.ui, a.source, a.destination, recursive, true); });
}

// SAVEOLD ends where renaming the old file to its backup name ends, but copies it there, so the
// file's own name never stands empty: the new file replaces the old one afterwards in one step.
// Returns whether the old file is backed up (now or by an earlier run), which frees the name even
// of a running program, as the rename does.
bool SaveOld(FileAction& a) {
  std::string backup = a.destination + support::BackupFileName(a.name, a.run.run_stamp);
  if (!FinishHalfCommit(a, a.target)) return false;
  if (KeepsEarlierBackup(backup, a.target)) return true;
  if (!platform::FileExists(a.target)) return false;
  return a.steps.Step([&] {
    // The rename fails where the deletion could not free the name first.
    platform::FileAttributes taken = platform::Attributes(backup);
    if (taken.exists && (taken.is_directory || taken.read_only)) {
      throw Failure::Runtime(kErrFileExists, "backup name taken: " + backup);
    }
    platform::CopyFile(a.target, backup);
  });
}

// The plain copy; SAVEOLD, NOTOVERWRITE and EXECHECKVERSION modify it.
void CopySingleFile(FileAction& a) {
  a.ui.SetWaitLabel(1, a.name + std::string(kInstalling));
  bool copy = true;
  if (a.keyword == "SAVEOLD") {
    if (SaveOld(a)) {
      a.steps.Step([&] { platform::ReplaceFile(a.source, a.target); });
      return;
    }
  } else if (a.keyword == "NOTOVERWRITE") {
    if (platform::FileExists(a.target)) copy = false;
  } else if (a.keyword == "EXECHECKVERSION") {
    if (platform::FileExists(a.target)) {
      std::string installed =
          a.steps.Call([&] { return support::GetFileVersion(a.target, false); });
      int32_t have = a.steps.Call([&] { return support::VersionToNumber(installed); });
      int32_t want = a.steps.Call([&] { return support::VersionToNumber(a.args[1]); });
      if (have >= want) copy = false;
    }
  }
  if (copy) CopyReplacing(a, a.source, a.target);
  a.skipped = !copy;
}

// --- The table ----------------------------------------------------------------------------------

struct Row {
  bool (*matches)(const FileAction&);
  void (*apply)(FileAction&);
};

constexpr std::array<Row, 14> kRows = {{
    {[](const FileAction& a) { return a.keyword == "DLL" || a.keyword == "OCX"; },
     InstallAndRegister},
    {[](const FileAction& a) { return a.keyword == "AEXE"; }, InstallAndRegister},
    {[](const FileAction& a) { return a.keyword == "TABLE(OPENCHK)"; }, UpdateOpenChkTable},
    {[](const FileAction& a) { return a.keyword == "TABLE"; }, UpdateTable},
    {[](const FileAction& a) { return a.keyword == "TABLECOPY"; }, CopySourceTable},
    {[](const FileAction& a) { return a.keyword == "TABLECOPYVERSION"; }, CopyTableIfVersionOlder},
    {[](const FileAction& a) { return a.keyword == "BACKUPOLD"; }, BackupOld},
    {[](const FileAction& a) { return a.keyword == "REGSVR32"; }, ReplaceOldSystemComponent},
    {[](const FileAction& a) { return a.keyword == "DELETE"; }, Delete},
    {[](const FileAction& a) { return a.keyword == "RMDIR"; }, RemoveFolder},
    {[](const FileAction& a) { return a.keyword == "REPAIRSHORTCUT"; }, RepairShortcuts},
    {[](const FileAction& a) { return a.keyword == "PUTXMLSETTING"; }, PutXml},
    {[](const FileAction& a) { return a.file.find('*') != std::string::npos; }, CopyPattern},
    {[](const FileAction&) { return true; }, CopySingleFile},
}};

// A line without a file creates its destination folder (one level).
void MakeDestination(FileAction& a) {
  if (a.destination.empty()) return;
  if (platform::Listed(a.destination, ListKind::kWithDirectories)) return;
  a.steps.Step([&] { platform::MakeDirectory(a.destination); });
}

// The path as this machine writes it: the block is read by users, not parsed.
std::string ErrorBlock(const FileAction& a, const Failure& failure) {
  return platform::NativePath(a.destination + a.name) + std::string(kCrLf) +
         "エラー番号=" + std::to_string(failure.number()) + std::string(kCrLf) +
         "エラー内容=" + failure.description() + std::string(kCrLf) + std::string(kCrLf);
}

}  // namespace
}  // namespace internal

std::string ApplyFileAction(RunContext& run, ui::Ui& ui, std::string_view file,
                            std::string_view destination, std::string_view keyword_upper,
                            std::string_view keyword_as_written, report::Action* record) {
  using namespace internal;
  StepAndContinue steps("ApplyFileAction");
  FileAction a(run, ui, steps, file, destination, keyword_upper, keyword_as_written);
  a.name = support::GetFileNamePart(a.file);

  if (a.file.empty()) {
    MakeDestination(a);
  } else {
    if (a.keyword.find(';') != std::string::npos) {
      std::vector<std::string> parts = support::Split(a.keyword, ";");
      for (size_t i = 0; i < a.args.size() && i < parts.size(); ++i) a.args[i] = parts[i];
      a.keyword = a.args[0];
    }
    a.source = run.package_folder + a.file;
    a.target = a.destination + a.name;
    for (const Row& row : kRows) {
      if (row.matches(a)) {
        row.apply(a);
        break;
      }
    }
  }

  if (record != nullptr) {
    record->source = a.file.empty() ? std::string() : platform::NativePath(a.source);
    record->target = platform::NativePath(a.file.empty() ? a.destination : a.target);
    record->outcome = steps.failed() ? report::ActionOutcome::kFailed
                      : a.skipped    ? report::ActionOutcome::kSkipped
                                     : report::ActionOutcome::kDone;
    if (steps.failed()) {
      record->error = report::Error{steps.pending()->number(), steps.pending()->description()};
    }
  }
  if (!steps.failed()) return {};
  std::string block = ErrorBlock(a, *steps.pending());
  steps.Clear();
  return block;
}

}  // namespace kr::manifest
