// The private-profile functions over IniDocument. Every call reads the file afresh and every
// write rewrites it at once, so nothing is cached between calls.
#include <algorithm>
#include <optional>

#include "platform/platform.h"
#include "platform/profile_document.h"

namespace kr::platform::profile {
namespace {

using internal::IniDocument;

// The document of file, or nothing when the file is missing or cannot be read.
std::optional<IniDocument> Load(std::string_view file) {
  if (file.empty()) return std::nullopt;
  Env& env = CurrentEnv();
  FileAttributes attributes = env.Attributes(file);
  if (!attributes.exists || attributes.is_directory) return std::nullopt;
  try {
    return IniDocument::Parse(env.ReadFile(file));
  } catch (const Failure& failure) {
    LogLine(std::string("profile read: ") + failure.what());
    return std::nullopt;
  }
}

bool Save(std::string_view file, const IniDocument& document) {
  try {
    CurrentEnv().WriteFile(file, document.Serialize());
    return true;
  } catch (const Failure& failure) {
    LogLine(std::string("profile write: ") + failure.what());
    return false;
  }
}

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The longest prefix of cp932 bytes within limit that does not split a double-byte character.
size_t SafeCut(std::string_view cp932, size_t limit) {
  size_t pos = 0;
  while (pos < cp932.size()) {
    size_t width = IsLeadByte(static_cast<unsigned char>(cp932[pos])) ? 2 : 1;
    if (pos + width > limit) break;
    pos += width;
  }
  return std::min(pos, cp932.size());
}

// text cut so that its code page 932 form fits limit bytes. A code page 932 form is never
// longer than the UTF-8 one, so short texts need no conversion.
std::string FitCp932(std::string text, size_t limit) {
  if (text.size() <= limit) return text;
  std::string bytes = Utf8ToCp932(text);
  if (bytes.size() <= limit) return text;
  return Cp932ToUtf8(std::string_view(bytes).substr(0, SafeCut(bytes, limit)));
}

// The kernel's NUL-separated list: each entry followed by NUL, then one more NUL; cut so that
// it fits the buffer. An empty list is empty.
std::string NulList(const std::vector<std::string>& entries) {
  if (entries.empty()) return {};
  std::string list;
  for (const std::string& entry : entries) {
    list += entry;
    list += '\0';
  }
  list += '\0';
  if (list.size() <= static_cast<size_t>(kBufferSize)) return list;
  std::string bytes = Utf8ToCp932(list);
  if (bytes.size() <= static_cast<size_t>(kBufferSize)) return list;
  bytes.resize(SafeCut(bytes, kBufferSize - 2));
  if (!bytes.empty() && bytes.back() != '\0') bytes += '\0';
  bytes += '\0';
  return Cp932ToUtf8(bytes);
}

std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::string TrimRightBlanks(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  return std::string(text.substr(0, end));
}

}  // namespace

std::string GetString(std::string_view file, std::string_view section, std::string_view key,
                      std::string_view default_value) {
  std::optional<IniDocument> document = Load(file);
  std::optional<std::string> value;
  if (document) value = document->Value(section, key);
  // The kernel drops trailing blanks of the default.
  std::string result = value ? Unquote(*value) : TrimRightBlanks(default_value);
  return FitCp932(std::move(result), kBufferSize - 1);
}

int32_t GetInt(std::string_view file, std::string_view section, std::string_view key,
               int32_t default_value) {
  std::optional<IniDocument> document = Load(file);
  if (!document) return default_value;
  std::optional<std::string> value = document->Value(section, key);
  if (!value) return default_value;
  std::string text = Unquote(*value);
  if (text.empty()) return default_value;
  size_t pos = 0;
  bool negative = false;
  if (text[pos] == '-' || text[pos] == '+') negative = text[pos++] == '-';
  uint32_t number = 0;  // wraps on overflow, as the kernel's conversion does
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    number = number * 10 + static_cast<uint32_t>(text[pos] - '0');
  }
  if (negative) number = 0u - number;
  return static_cast<int32_t>(number);
}

std::string GetSection(std::string_view file, std::string_view section) {
  std::optional<IniDocument> document = Load(file);
  if (!document) return {};
  return NulList(document->SectionLines(section));
}

ProfileListing ListLines(std::string_view file) {
  return IniDocument::Parse(CurrentEnv().ReadFile(file)).Listing();
}

std::string GetSectionNames(std::string_view file) {
  std::optional<IniDocument> document = Load(file);
  if (!document) return {};
  return NulList(document->SectionNames());
}

bool WriteString(std::string_view file, std::string_view section,
                 std::optional<std::string_view> key, std::optional<std::string_view> value) {
  if (file.empty()) return false;
  std::optional<IniDocument> loaded = Load(file);
  const bool exists = loaded.has_value();
  if (!exists && CurrentEnv().Attributes(file).exists) return false;  // a folder, or unreadable
  IniDocument document = exists ? std::move(*loaded) : IniDocument();
  bool changed;
  if (!key) {
    changed = document.DeleteSection(section);
  } else if (!value) {
    changed = document.DeleteKey(section, *key);
  } else {
    changed = document.SetValue(section, *key, *value);
  }
  if (!changed) return true;
  return Save(file, document);
}

}  // namespace kr::platform::profile
