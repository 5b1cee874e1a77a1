// Native path mapping with the case-blind fallback, and the name matching the listings use.
#include <dirent.h>
#include <sys/stat.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace kr::platform {
namespace internal {
namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

std::u32string CodePoints(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  int32_t i = 0;
  const auto length = static_cast<int32_t>(utf8.size());
  const auto* bytes = reinterpret_cast<const uint8_t*>(utf8.data());
  while (i < length) {
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    out.push_back(c < 0 ? 0xFFFD : static_cast<char32_t>(c));
  }
  return out;
}

// "*" and "?" over code points, with backtracking to the last star only (linear enough for
// file names).
bool Match(std::u32string_view pattern, std::u32string_view name) {
  size_t p = 0, n = 0;
  size_t star = std::u32string_view::npos, star_n = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == U'*') {
      star = p++;
      star_n = n;
    } else if (star != std::u32string_view::npos) {
      p = star + 1;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == U'*') ++p;
  return p == pattern.size();
}

}  // namespace

std::string FoldCase(std::string_view utf8) {
  if (IsAscii(utf8)) {
    std::string out(utf8);
    for (char& c : out) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
  }
  std::string out;
  icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())))
      .foldCase()
      .toUTF8String(out);
  return out;
}

bool HasWildcards(std::string_view text) {
  return text.find_first_of("*?") != std::string_view::npos;
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  std::u32string p = CodePoints(FoldCase(pattern));
  std::u32string n = CodePoints(FoldCase(name));
  if (p.size() >= 2 && p.ends_with(U".*")) {
    if (Match(p, n)) return true;
    return Match(std::u32string_view(p).substr(0, p.size() - 2), n);
  }
  if (p.size() >= 2 && p.back() == U'.' && p != U"..") {
    return n.find(U'.') == std::u32string::npos &&
           Match(std::u32string_view(p).substr(0, p.size() - 1), n);
  }
  return Match(p, n);
}

SplitPath SplitLast(std::string_view path) {
  size_t cut = path.find_last_of("\\/");
  if (cut == std::string_view::npos) return {"", std::string(path)};
  return {std::string(path.substr(0, cut + 1)), std::string(path.substr(cut + 1))};
}

std::vector<std::string> ReadFolderNames(const std::string& native_folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(native_folder.empty() ? "." : native_folder.c_str());
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    names.emplace_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::string ResolveCaseBlind(std::string native,
                             const std::function<bool(const std::string&)>& exists,
                             const FindName& find) {
  if (native.empty() || exists(native)) return native;

  const bool absolute = native.front() == '/';
  const bool trailing = native.back() == '/';
  std::string resolved = absolute ? "/" : "";
  bool found_so_far = true;
  size_t pos = absolute ? 1 : 0;
  // Mostly only the last name is new (a file about to be written): start from its folder.
  size_t last = native.find_last_of('/', native.size() - (trailing ? 2 : 1));
  if (last != std::string::npos && last > 0 && native.size() > 1 &&
      exists(native.substr(0, last))) {
    resolved = native.substr(0, last);
    pos = last + 1;
  }
  while (pos <= native.size()) {
    size_t end = native.find('/', pos);
    if (end == std::string::npos) end = native.size();
    std::string_view component(native.data() + pos, end - pos);
    pos = end + 1;
    if (component.empty()) continue;
    std::string candidate = resolved;
    if (!candidate.empty() && candidate.back() != '/') candidate += '/';
    if (found_so_far && component != "." && component != ".." &&
        !exists(candidate + std::string(component))) {
      std::string match = find(resolved, component);
      if (match.empty()) {
        found_so_far = false;
      } else {
        candidate += match;
        resolved = std::move(candidate);
        continue;
      }
    }
    candidate += component;
    resolved = std::move(candidate);
  }
  if (trailing && !resolved.empty() && resolved.back() != '/') resolved += '/';
  return resolved;
}

std::string GetEnv(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

}  // namespace internal

namespace {

bool PathExists(const std::string& native) {
  struct stat info;
  return lstat(native.c_str(), &info) == 0;
}

// The entry of folder whose name equals name case-blind ("" when none); the first in byte
// order wins when several differ only in case.
std::string FindCaseBlind(const std::string& folder, std::string_view name) {
  std::string folded = internal::FoldCase(name);
  if (const internal::CaseBlindNames* names = internal::BatchedFolderNames(folder)) {
    auto found = names->find(folded);
    return found == names->end() ? std::string() : found->second;
  }
  for (const std::string& entry : internal::ReadFolderNames(folder)) {
    if (internal::FoldCase(entry) == folded) return entry;
  }
  return {};
}

}  // namespace

std::string Env::NativePath(std::string_view path) {
  std::string native(path);
  std::replace(native.begin(), native.end(), '\\', '/');
  return internal::ResolveCaseBlind(std::move(native), PathExists, FindCaseBlind);
}

}  // namespace kr::platform
