// An INI file held as its lines, so that a write changes only the line or section it touches
// and every other byte of the file stays as it was. Internal to platform/.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace kr::platform::internal {

class IniDocument {
 public:
  // Any bytes parse: lines that are neither section headers, entries nor comments are kept
  // and ignored. The encoding is the one the file shows: UTF-16 after its byte-order mark (as
  // the kernel's profile functions read it), UTF-8 after its mark or when every byte forms
  // valid UTF-8 and some byte is not ASCII, code page 932 otherwise. Edits keep the file's
  // encoding; a new file is code page 932.
  static IniDocument Parse(std::string_view bytes);
  // A document for a file that does not exist yet (CRLF line ends).
  IniDocument() = default;

  std::string Serialize() const;

  // Lookups: section and key names compare case-blind after trimming blanks; the first
  // section of a name and the first key within it count.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;
  // The lines of the first section of that name ("key=value", or the text of a line without
  // "="), comments and blank lines left out.
  std::vector<std::string> SectionLines(std::string_view section) const;
  std::vector<std::string> SectionNames() const;
  profile::ProfileListing Listing() const;

  // Edits return whether the document changed.
  bool SetValue(std::string_view section, std::string_view key, std::string_view value);
  bool DeleteKey(std::string_view section, std::string_view key);
  bool DeleteSection(std::string_view section);

 private:
  enum class Kind { kBlank, kComment, kSection, kEntry };
  struct Line {
    std::string raw;  // bytes in the file's encoding (UTF-8 for UTF-16), without the line end
    std::string eol;  // "\r\n", "\n", "\r", or "" for a last line without one
    Kind kind = Kind::kBlank;
    std::string name;   // section name or key, UTF-8, trimmed
    std::string value;  // entry value, UTF-8, trimmed, quotes kept
    bool has_equals = false;
  };

  Line MakeLine(std::string_view raw, std::string_view eol) const;
  std::string Encode(std::string_view utf8) const;
  std::string Decode(std::string_view raw) const;
  // Index of the header of the first section named so, or npos.
  size_t FindSection(std::string_view folded_section) const;
  // One past the last line of the section whose header is at index header.
  size_t SectionEnd(size_t header) const;
  size_t FindEntry(size_t header, std::string_view folded_key) const;
  void Insert(size_t index, std::string_view utf8_text);

  enum class Encoding { kCp932, kUtf8, kUtf16Le, kUtf16Be };

  std::vector<Line> lines_;
  Encoding encoding_ = Encoding::kCp932;  // lines of UTF-16 files are held as UTF-8
  std::string bom_;
  std::string newline_ = "\r\n";
};

// Trims blanks (spaces and tabs) at both ends.
std::string TrimBlanks(std::string_view text);

}  // namespace kr::platform::internal
