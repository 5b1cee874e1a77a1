// Parts of the package check shared inside check/.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "check/check.h"
#include "db/db.h"

namespace kr::check::internal {

class Report {
 public:
  void Error(int line, std::string code, std::string message) {
    problems_.push_back({line, Severity::kError, std::move(message), std::move(code)});
  }
  void Warning(int line, std::string code, std::string message) {
    problems_.push_back({line, Severity::kWarning, std::move(message), std::move(code)});
  }
  std::vector<Problem>& problems() { return problems_; }

 private:
  std::vector<Problem> problems_;
};

// A table a line needs in a source database: one of the alternatives, with these columns.
struct TableNeed {
  std::vector<std::string> tables;
  std::vector<std::string> columns;
  bool variant = false;  // a data variant: its absence is a warning
  std::string step;      // how the line or catalogue writes it, for the message
};

// Opens path read-only with the first password of keyings that opens it, and reports each need
// the database does not meet at line. A database that is missing or does not open is reported
// once. who: what needs it, for the messages ("TABLE の取り込み元", "Update2019ValR0111").
void CheckSourceDatabase(Report& report, int line, const std::string& path,
                         const std::vector<db::Keying>& keyings,
                         const std::vector<TableNeed>& needs, std::string_view who);

// The "Function" line's routine and the databases its catalogue rows read.
void CheckFunctionLine(Report& report, int line, const std::string& package_folder,
                       const std::vector<std::string>& values);

// The "Bootstrap Files" line's keyword, files and table-action sources.
void CheckFileLine(Report& report, int line, const std::string& package_folder,
                   const std::vector<std::string>& values);

// The package's file name in a message: as the author wrote it.
inline std::string Quoted(std::string_view name) { return "「" + std::string(name) + "」"; }

}  // namespace kr::check::internal
