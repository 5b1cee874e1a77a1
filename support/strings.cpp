// Path texts and small string utilities.
#include "support/support.h"

namespace kr::support {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

size_t LastSeparator(std::string_view path) { return path.find_last_of("\\/"); }

}  // namespace

std::string TrimAtNull(std::string_view text) {
  return std::string(text.substr(0, text.find('\0')));
}

std::string AddTrailingSeparator(std::string& path) {
  path = TrimRightSpaces(path);
  if (path.empty() || IsSeparator(path.back())) return path;
  return path + "\\";
}

std::string RemoveTrailingSeparator(std::string& path) {
  path = TrimRightSpaces(path);
  if (path.empty() || !IsSeparator(path.back())) return path;
  return path.substr(0, path.size() - 1);
}

std::string GetParentPath(std::string_view path) {
  size_t cut = LastSeparator(path);
  if (cut == std::string_view::npos) return std::string(path);
  // A separator third in characters ("C:\") is a drive root and stays.
  if (CharLength(path.substr(0, cut)) == 2) return std::string(path.substr(0, cut + 1));
  return std::string(path.substr(0, cut));
}

std::string GetFileNamePart(std::string_view path) {
  size_t cut = LastSeparator(path);
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string BackupFileName(std::string_view file_name, std::string_view stamp, int copy) {
  std::string name(file_name.substr(0, file_name.find('.')));
  name += stamp;
  if (copy > 0) name += "-" + std::to_string(copy);
  return name + ".old";
}

std::string ReplaceAll(std::string_view text, std::string_view searched,
                       std::string_view replacement) {
  if (searched.empty()) return std::string(text);
  std::string result;
  size_t pos = 0;
  for (size_t found = text.find(searched); found != std::string_view::npos;
       found = text.find(searched, pos)) {
    result.append(text.substr(pos, found - pos));
    result.append(replacement);
    pos = found + searched.size();
  }
  result.append(text.substr(pos));
  return result;
}

std::vector<std::string> SplitCommandLine(std::string_view command_line) {
  if (command_line.find('"') == std::string_view::npos) {
    if (command_line.empty()) return {};
    return Split(command_line, " ");
  }
  std::vector<std::string> tokens;
  int quotes = 0;
  for (char c : command_line) {
    if (c == '"') {
      if (++quotes % 2 == 1) tokens.emplace_back();
    } else if (c == ' ') {
      if (quotes % 2 == 1) tokens.back() += c;
    } else {
      // A character before the first quote has no token to join.
      if (tokens.empty()) return {};
      tokens.back() += c;
    }
  }
  return tokens;
}

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string> parts;
  if (separator.empty()) {
    parts.emplace_back(text);
    return parts;
  }
  size_t pos = 0;
  for (size_t found = text.find(separator); found != std::string_view::npos;
       found = text.find(separator, pos)) {
    parts.emplace_back(text.substr(pos, found - pos));
    pos = found + separator.size();
  }
  parts.emplace_back(text.substr(pos));
  return parts;
}

}  // namespace kr::support
