// The package check for the people who build update packages: what a package's KrInst.ini asks
// for, compared with what the updater and its routine catalogue can do with it, before any
// installation sees it. Nothing is changed; source databases are opened read-only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kr::check {

enum class Severity { kError, kWarning };

struct Problem {
  int line = 0;  // the line of KrInst.ini (1-based); 0 for the file as a whole
  Severity severity = Severity::kError;
  std::string message;  // Japanese, for the package's author
  std::string code;     // English, stable: "unknown-keyword", "missing-table", ...
  bool operator==(const Problem&) const = default;
};

// Every problem of the package in package_folder (its KrInst.ini, the files its lines name, the
// source databases of its table actions and routines), in line order. Never throws: a file that
// cannot be read is itself a problem.
std::vector<Problem> CheckPackage(std::string_view package_folder);

// One line per problem: "KrInst.ini:LINE: エラー|警告: message [code]"; nothing when clean.
std::string FormatText(const std::vector<Problem>& problems);
// A JSON array of {"line", "severity" ("error"/"warning"), "message", "code"}.
std::string FormatJson(const std::vector<Problem>& problems);

// The candidate nearest to name by edit distance (letter case counting as a small difference),
// or "" when none is near enough to be a likely misspelling.
std::string Nearest(std::string_view name, const std::vector<std::string>& candidates);

}  // namespace kr::check
