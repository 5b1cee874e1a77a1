#include "platform/profile_document.h"

#include <unicode/unistr.h>

#include <unicode/utf8.h>
#include <array>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace kr::platform::internal {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Replaces invalid UTF-8 with U+FFFD so that a UTF-8 file with stray bytes still parses.
std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  int32_t i = 0;
  while (i < length) {
    int32_t start = i;
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) {
      out += "\xEF\xBF\xBD";
    } else {
      out.append(text.substr(static_cast<size_t>(start), static_cast<size_t>(i - start)));
    }
  }
  return out;
}

// Text that only UTF-8 explains: valid throughout, and not plain ASCII (which is code page 932
// as well).
bool LooksUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  bool beyond_ascii = false;
  int32_t i = 0;
  while (i < length) {
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) return false;
    if (c >= 0x80) beyond_ascii = true;
  }
  return beyond_ascii;
}

// UTF-16 bytes (without their mark) as UTF-8; a lone surrogate becomes U+FFFD, an odd last
// byte is dropped.
std::string Utf16BytesToUtf8(std::string_view bytes, bool big_endian) {
  icu::UnicodeString text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    auto first = static_cast<uint8_t>(bytes[i]);
    auto second = static_cast<uint8_t>(bytes[i + 1]);
    text.append(static_cast<char16_t>(big_endian ? (first << 8) | second : (second << 8) | first));
  }
  std::string utf8;
  text.toUTF8String(utf8);
  return utf8;
}

std::string Utf8ToUtf16Bytes(std::string_view utf8, bool big_endian) {
  icu::UnicodeString text = icu::UnicodeString::fromUTF8(
      icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
  std::string bytes;
  bytes.reserve(static_cast<size_t>(text.length()) * 2);
  for (int32_t i = 0; i < text.length(); ++i) {
    char16_t unit = text.charAt(i);
    char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += big_endian ? high : low;
    bytes += big_endian ? low : high;
  }
  return bytes;
}

// A written name or value stays on its line.
std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

}  // namespace

std::string TrimBlanks(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

std::string IniDocument::Decode(std::string_view raw) const {
  // A NUL ends a line's text, as it ends a C string.
  raw = raw.substr(0, raw.find('\0'));
  return encoding_ == Encoding::kCp932 ? Cp932ToUtf8(raw) : ValidUtf8(raw);
}

std::string IniDocument::Encode(std::string_view utf8) const {
  return encoding_ == Encoding::kCp932 ? Utf8ToCp932(utf8) : std::string(utf8);
}

IniDocument::Line IniDocument::MakeLine(std::string_view raw, std::string_view eol) const {
  Line line;
  line.raw = std::string(raw);
  line.eol = std::string(eol);
  std::string text = Decode(raw);
  std::string trimmed = TrimBlanks(text);
  if (trimmed.empty()) {
    line.kind = Kind::kBlank;
  } else if (trimmed.front() == ';') {
    line.kind = Kind::kComment;
  } else if (trimmed.front() == '[') {
    line.kind = Kind::kSection;
    size_t close = trimmed.find(']');
    line.name = TrimBlanks(std::string_view(trimmed).substr(
        1, close == std::string::npos ? std::string::npos : close - 1));
  } else {
    line.kind = Kind::kEntry;
    size_t equals = trimmed.find('=');
    line.has_equals = equals != std::string::npos;
    line.name = TrimBlanks(std::string_view(trimmed).substr(0, equals));
    if (line.has_equals) line.value = TrimBlanks(std::string_view(trimmed).substr(equals + 1));
  }
  return line;
}

IniDocument IniDocument::Parse(std::string_view bytes) {
  IniDocument document;
  std::string utf16_text;  // a UTF-16 file's text, which the lines below view as UTF-8
  if (bytes.starts_with(kUtf16LeBom) || bytes.starts_with(kUtf16BeBom)) {
    bool big_endian = bytes.starts_with(kUtf16BeBom);
    document.encoding_ = big_endian ? Encoding::kUtf16Be : Encoding::kUtf16Le;
    document.bom_ = std::string(bytes.substr(0, 2));
    utf16_text = Utf16BytesToUtf8(bytes.substr(2), big_endian);
    bytes = utf16_text;
  } else if (bytes.starts_with(kUtf8Bom)) {
    document.encoding_ = Encoding::kUtf8;
    document.bom_ = std::string(kUtf8Bom);
    bytes.remove_prefix(kUtf8Bom.size());
  } else if (LooksUtf8(bytes)) {
    document.encoding_ = Encoding::kUtf8;
  }
  bool newline_seen = false;
  size_t pos = 0;
  // CR and LF never occur inside a double-byte character, so the bytes can be split as they are.
  while (pos < bytes.size()) {
    size_t end = bytes.find_first_of("\r\n", pos);
    std::string_view raw = bytes.substr(pos, end == std::string_view::npos ? end : end - pos);
    std::string_view eol;
    if (end == std::string_view::npos) {
      pos = bytes.size();
    } else {
      size_t eol_length = bytes.substr(end, 2) == "\r\n" ? 2 : 1;
      eol = bytes.substr(end, eol_length);
      pos = end + eol_length;
      if (!newline_seen) {
        document.newline_ = std::string(eol);
        newline_seen = true;
      }
    }
    document.lines_.push_back(document.MakeLine(raw, eol));
  }
  return document;
}

profile::ProfileListing IniDocument::Listing() const {
  static constexpr std::array<std::string_view, 4> kNames = {"cp932", "utf-8", "utf-16le",
                                                             "utf-16be"};
  profile::ProfileListing listing;
  listing.encoding = kNames[static_cast<size_t>(encoding_)];
  int number = 0;
  for (const Line& line : lines_) {
    profile::ProfileLine out;
    out.number = ++number;
    out.kind = static_cast<profile::LineKind>(line.kind);
    out.text = Decode(line.raw);
    out.name = line.name;
    out.value = line.value;
    out.has_equals = line.has_equals;
    out.closed = line.kind != Kind::kSection || TrimBlanks(out.text).back() == ']';
    // U+FFFD stands for bytes UTF-8 or UTF-16 could not read, U+001A for code page 932's.
    out.undecodable = out.text.find("\xEF\xBF\xBD") != std::string::npos ||
                      out.text.find('\x1A') != std::string::npos ||
                      line.raw.find('\0') != std::string::npos;
    listing.lines.push_back(std::move(out));
  }
  return listing;
}

std::string IniDocument::Serialize() const {
  std::string text;
  for (const Line& line : lines_) {
    text += line.raw;
    text += line.eol;
  }
  if (encoding_ == Encoding::kUtf16Le || encoding_ == Encoding::kUtf16Be) {
    return bom_ + Utf8ToUtf16Bytes(text, encoding_ == Encoding::kUtf16Be);
  }
  return bom_ + text;
}

size_t IniDocument::FindSection(std::string_view folded_section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == Kind::kSection && FoldCase(lines_[i].name) == folded_section) return i;
  }
  return std::string::npos;
}

size_t IniDocument::SectionEnd(size_t header) const {
  size_t i = header + 1;
  while (i < lines_.size() && lines_[i].kind != Kind::kSection) ++i;
  return i;
}

size_t IniDocument::FindEntry(size_t header, std::string_view folded_key) const {
  for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
    if (lines_[i].kind == Kind::kEntry && FoldCase(lines_[i].name) == folded_key) return i;
  }
  return std::string::npos;
}

std::optional<std::string> IniDocument::Value(std::string_view section,
                                              std::string_view key) const {
  size_t header = FindSection(FoldCase(TrimBlanks(section)));
  if (header == std::string::npos) return std::nullopt;
  size_t entry = FindEntry(header, FoldCase(TrimBlanks(key)));
  if (entry == std::string::npos) return std::nullopt;
  return lines_[entry].value;
}

std::vector<std::string> IniDocument::SectionLines(std::string_view section) const {
  std::vector<std::string> result;
  size_t header = FindSection(FoldCase(TrimBlanks(section)));
  if (header == std::string::npos) return result;
  for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
    const Line& line = lines_[i];
    if (line.kind != Kind::kEntry) continue;
    result.push_back(line.has_equals ? line.name + "=" + line.value : line.name);
  }
  return result;
}

std::vector<std::string> IniDocument::SectionNames() const {
  std::vector<std::string> result;
  for (const Line& line : lines_) {
    if (line.kind == Kind::kSection && !line.name.empty()) result.push_back(line.name);
  }
  return result;
}

void IniDocument::Insert(size_t index, std::string_view utf8_text) {
  // The line before gets a line end if it was the unterminated last line.
  if (index > 0 && lines_[index - 1].eol.empty()) lines_[index - 1].eol = newline_;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index),
                MakeLine(Encode(utf8_text), newline_));
}

bool IniDocument::SetValue(std::string_view section, std::string_view key, std::string_view value) {
  std::string section_name = TrimBlanks(OneLine(section));
  std::string key_name = TrimBlanks(OneLine(key));
  std::string written_value = OneLine(value);
  size_t header = FindSection(FoldCase(section_name));
  if (header == std::string::npos) {
    Insert(lines_.size(), "[" + section_name + "]");
    Insert(lines_.size(), key_name + "=" + written_value);
    return true;
  }
  size_t entry = FindEntry(header, FoldCase(key_name));
  if (entry != std::string::npos) {
    Line& line = lines_[entry];
    if (line.has_equals && line.value == TrimBlanks(written_value)) return false;
    std::string text = line.name + "=" + written_value;
    std::string eol = line.eol;
    line = MakeLine(Encode(text), eol);
    return true;
  }
  size_t after = header;
  for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
    if (lines_[i].kind == Kind::kEntry) after = i;
  }
  Insert(after + 1, key_name + "=" + written_value);
  return true;
}

bool IniDocument::DeleteKey(std::string_view section, std::string_view key) {
  size_t header = FindSection(FoldCase(TrimBlanks(section)));
  if (header == std::string::npos) return false;
  size_t entry = FindEntry(header, FoldCase(TrimBlanks(key)));
  if (entry == std::string::npos) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(entry));
  return true;
}

bool IniDocument::DeleteSection(std::string_view section) {
  std::string folded = FoldCase(TrimBlanks(section));
  bool changed = false;
  for (size_t header = FindSection(folded); header != std::string::npos;
       header = FindSection(folded)) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
    changed = true;
  }
  return changed;
}

}  // namespace kr::platform::internal
