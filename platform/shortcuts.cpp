// Shortcuts as freedesktop desktop entries.
#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace kr::platform {
namespace {

// One argument of the Exec key: quoted when it holds a reserved character, with the four
// characters that keep their meaning inside quotes escaped; "%" doubled (field codes).
std::string QuoteExecArgument(std::string_view argument) {
  const bool needs_quotes = argument.empty() || argument.find_first_of(" \t\n\"'\\><~|&;$*?#()`") !=
                                                    std::string_view::npos;
  std::string out;
  if (needs_quotes) out += '"';
  for (char c : argument) {
    if (needs_quotes && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
    if (c == '%') out += '%';
    out += c;
  }
  if (needs_quotes) out += '"';
  return out;
}

// The escapes of a string value, applied after the Exec quoting.
std::string EscapeValue(std::string_view value) {
  std::string out;
  for (char c : value) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool EndsWithCaseBlind(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         internal::FoldCase(text.substr(text.size() - suffix.size())) == suffix;
}

// "C:\App\x.exe,0" is a Windows icon location: the file and the index of its icon.
std::string_view IconFile(std::string_view icon) {
  size_t comma = icon.find_last_of(',');
  if (comma == std::string_view::npos || comma + 1 == icon.size()) return icon;
  for (size_t i = comma + 1; i < icon.size(); ++i) {
    if ((icon[i] < '0' || icon[i] > '9') && !(i == comma + 1 && icon[i] == '-')) return icon;
  }
  return icon.substr(0, comma);
}

}  // namespace

std::string Env::ShortcutFileName(std::string_view link_name) {
  return std::string(link_name) + ".desktop";
}

void Env::WriteShortcut(std::string_view path, std::string_view target, std::string_view arguments,
                        std::string_view icon) {
  std::string name = internal::SplitLast(path).last;
  if (EndsWithCaseBlind(name, ".desktop")) name.resize(name.size() - 8);
  std::string native_target = NativePath(target);

  std::string exec = QuoteExecArgument(native_target);
  for (const std::string& argument : internal::SplitWindowsArguments(arguments)) {
    exec += ' ';
    exec += QuoteExecArgument(argument);
  }
  std::string entry = "[Desktop Entry]\nType=Application\n";
  entry += "Name=" + EscapeValue(name) + "\n";
  entry += "Exec=" + EscapeValue(exec) + "\n";
  std::string folder = internal::SplitLast(native_target).folder;
  if (!folder.empty()) entry += "Path=" + EscapeValue(folder) + "\n";
  std::string_view icon_file = IconFile(icon);
  if (!icon_file.empty()) {
    std::string icon_value = icon_file.find_first_of("\\/") == std::string_view::npos
                                 ? std::string(icon_file)
                                 : NativePath(icon_file);
    entry += "Icon=" + EscapeValue(icon_value) + "\n";
  }
  entry += "Terminal=false\n";
  // Desktops start only entries marked executable.
  internal::WriteFileWithMode(*this, path, entry, 0755);
}

}  // namespace kr::platform
