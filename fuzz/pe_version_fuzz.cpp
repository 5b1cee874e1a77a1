// libFuzzer target for the version-resource reader: bytes -> a program file in memory ->
// GetFileVersion in its three- and four-part forms, and VersionToNumber of the bytes and of
// what it gives.
//
// Checked: no crash, hang or sanitizer report; nothing escapes; either both forms are empty or
// the four-part one is a.b.c.d of 16-bit numbers and the three-part one is a.b.d of the same.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_env.h"
#include "platform/platform.h"
#include "support/support.h"

namespace {

using kr::fuzz::Bug;

constexpr const char* kProgram = "C:\\Kelmora\\Kelmora.exe";

void Fuzz(std::string_view bytes) {
  kr::support::VersionToNumber(bytes);  // ExeVersion of a package is outside input too
  kr::fuzz::MemoryEnv env;
  kr::platform::ScopedEnv scoped(env);
  env.folders.insert("C:\\Kelmora\\");
  env.files[kProgram] = std::string(bytes);

  const std::string four = kr::support::GetFileVersion(kProgram, true);
  const std::string three = kr::support::GetFileVersion(kProgram, false);
  if (four.empty() != three.empty()) Bug("one form of the version is empty", four + " / " + three);
  if (four.empty()) return;
  std::vector<std::string> parts = kr::support::Split(four, ".");
  if (parts.size() != 4) Bug("the four-part version has another number of parts", four);
  for (const std::string& part : parts) {
    if (part.empty() || part.size() > 5 ||
        part.find_first_not_of("0123456789") != std::string::npos || std::stoul(part) > 65535 ||
        (part.size() > 1 && part[0] == '0'))
      Bug("a version part is not a 16-bit number", four);
  }
  if (three != parts[0] + "." + parts[1] + "." + parts[3])
    Bug("the forms disagree", four + " / " + three);
  kr::support::VersionToNumber(four);
  kr::support::VersionToNumber("2019." + three);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    Fuzz(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const std::exception& e) {
    Bug("an exception escaped the version reader", e.what());
  }
  return 0;
}
