// Helpers shared by the files of platform/. Not for use outside this folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.h"

namespace kr::platform::internal {

inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Unicode case folding, so that names compare as Windows compares them (case-blind).
std::string FoldCase(std::string_view utf8);

// Windows pattern matching of one name: "*" and "?", case-blind; "x.*" also matches "x" (so
// "*.*" matches every name) and a trailing "." matches names without an extension.
bool WildcardMatch(std::string_view pattern, std::string_view name);
bool HasWildcards(std::string_view text);

// An updater path split at its last separator: folder (with the separator; "" when there is
// none) and the last component.
struct SplitPath {
  std::string folder;
  std::string last;
};
SplitPath SplitLast(std::string_view path);

// The run-time's number for a failed system call, given errno. missing_is_path: ENOENT means
// "path not found" (76) rather than "file not found" (53).
int RuntimeNumberFor(int error, bool missing_is_path = false);
// A Failure for a failed system call on path, with errno's English text in the log text.
Failure SystemFailure(int error, std::string_view action, std::string_view path,
                      bool missing_is_path = false);
Failure RuntimeFailure(int number, std::string_view action, std::string_view path);

// Names of a native folder's entries ("." and ".." left out); empty when it cannot be read.
std::vector<std::string> ReadFolderNames(const std::string& native_folder);

// Splits a Windows argument string by the rules of the Windows C run-time (CommandLineToArgvW
// without the program name): blanks separate, quotes group, backslashes escape only quotes.
std::vector<std::string> SplitWindowsArguments(std::string_view text);

// The environment variable's value, or "" when unset.
std::string GetEnv(const char* name);

}  // namespace kr::platform::internal
