// Inside manifest/: the line a file-action row applies, and the file steps rows share. A row is
// a function of FileAction; its file operations go through steps.Step, its calls of other
// operations of the updater through steps.Call (see file_action.cpp).
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "manifest/manifest.h"
#include "platform/failure.h"

namespace kr::manifest::internal {

// One manifest line being applied, with the values every row derives from it.
struct FileAction {
  FileAction(RunContext& run, ui::Ui& ui, StepAndContinue& steps, std::string_view file,
             std::string_view destination, std::string_view keyword,
             std::string_view keyword_as_written)
      : run(run),
        ui(ui),
        steps(steps),
        file(file),
        destination(destination),
        keyword(keyword),
        keyword_as_written(keyword_as_written) {}

  RunContext& run;
  ui::Ui& ui;
  StepAndContinue& steps;
  std::string file;
  std::string destination;
  std::string keyword;  // upper-cased, cut to its first ";" part
  std::string keyword_as_written;
  std::array<std::string, 4> args;  // the upper-cased field's ";" parts 0 to 3 ("" if missing)
  std::string name;                 // file without its package sub-folders
  std::string source;               // PackageFolder & file
  std::string target;               // destination & name
  bool skipped = false;             // the row found nothing to do (the report says so)
};

// Deletes path when it exists (a step).
void DeleteIfExists(FileAction& a, const std::string& path);
// Copies from to to, replacing an existing file at to (steps; see file_action.cpp).
void CopyReplacing(FileAction& a, const std::string& from, const std::string& to);

// The TABLE family (table_actions.cpp): "TABLE(OPENCHK)", "TABLE", "TABLECOPY",
// "TABLECOPYVERSION".
void UpdateOpenChkTable(FileAction& a);
void UpdateTable(FileAction& a);
void CopySourceTable(FileAction& a);
void CopyTableIfVersionOlder(FileAction& a);

}  // namespace kr::manifest::internal
