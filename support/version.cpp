// Version strings: VersionToNumber and GetPlatformId. GetFileVersion is in pe_version.cpp.
#include <array>
#include <cstdio>
#include <limits>

#include "support/support.h"

namespace kr::support {
namespace {

// Stores a digit run into part k; a run too large for a 16-bit part leaves the part as it was.
void StorePart(std::array<int16_t, 4>& parts, size_t k, const std::string& digits) {
  if (k >= parts.size() || digits.empty()) return;
  int32_t value = 0;
  for (char c : digits) {
    value = value * 10 + (c - '0');
    if (value > std::numeric_limits<int16_t>::max()) return;
  }
  parts[k] = static_cast<int16_t>(value);
}

}  // namespace

int32_t VersionToNumber(std::string_view text) {
  std::array<int16_t, 4> parts{};
  size_t k = 0;
  std::string digits;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digits += c;
    } else if (c == '.' || c == ',') {
      StorePart(parts, k, digits);
      digits.clear();
      ++k;
    } else if (c == ';') {
      break;
    }
  }
  StorePart(parts, k, digits);

  char number[32];
  std::snprintf(number, sizeof number, "%04d%02d%02d%02d", parts[0], parts[1], parts[2], parts[3]);
  int64_t value = 0;
  for (const char* p = number; *p != '\0'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > std::numeric_limits<int32_t>::max()) return 0;
  }
  return static_cast<int32_t>(value);
}

int32_t GetPlatformId() { return 2; }

}  // namespace kr::support
