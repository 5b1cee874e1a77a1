// libFuzzer target for the XML settings store: bytes -> KelmoraSetting.xml in memory, once in the
// install folder and once in the package -> GetXmlSetting, PutXmlSetting (an existing and a new
// key, a new section), CarryXmlSetting.
//
// Checked: no crash, hang, leak or sanitizer report; nothing escapes; a read of a missing
// element is empty; a write that changed the file leaves a document that reads the written
// value back (a file that cannot be parsed is never rewritten, so neither a broken nor an
// emptied document can come out of a write); a write to a missing file creates nothing.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_env.h"
#include "platform/platform.h"
#include "support/support.h"

namespace {

using kr::fuzz::Bug;

constexpr const char* kPackage = "C:\\Package\\";
constexpr const char* kInstall = "C:\\Kelmora\\";

struct Name {
  const char* section;
  const char* key;
};
// Names of the application's settings files, and a few the fuzzer can reach by mutation.
constexpr Name kNames[] = {
    {"表紙", "消費税表示"}, {"TN2019", "InstPath"}, {"TN2019", "UpdateDay"}, {"S", "K"}, {"a", "b"},
    {"印刷", "幅"},
};

void Put(kr::fuzz::MemoryEnv& env, const std::string& file, const char* section, const char* key,
         const std::string& value) {
  const std::string before = env.files[file];
  kr::support::PutXmlSetting(file, section, key, value);
  const std::string& after = env.files[file];
  if (after == before) return;
  std::string read = kr::support::GetXmlSetting(file, section, key);
  if (read != value) {
    Bug("a written value does not read back", std::string(section) + "/" + key + " = " + read);
  }
}

void Fuzz(std::string_view bytes) {
  kr::fuzz::MemoryEnv env;
  kr::platform::ScopedEnv scoped(env);
  env.folders.insert(kPackage);
  env.folders.insert(kInstall);
  const std::string installed = std::string(kInstall) + "KelmoraSetting.xml";
  const std::string package = std::string(kPackage) + "KelmoraSetting.xml";
  env.files[installed] = std::string(bytes);
  env.files[package] = std::string(bytes);

  for (const Name& name : kNames) kr::support::GetXmlSetting(installed, name.section, name.key);
  if (!kr::support::GetXmlSetting(installed, "無い", "無い").empty()) {
    Bug("a missing element read as a value");
  }

  Put(env, installed, "表紙", "消費税表示", "1");
  Put(env, installed, "S", "K", "値 <&>\"' ソ表");
  Put(env, installed, "新しい", "鍵", "");
  Put(env, installed, "TN2019", "UpdateDay", "2020/04/07");

  kr::RunContext run;
  run.package_folder = kPackage;
  run.install_folder = kInstall;
  kr::support::CarryXmlSetting(run, "表紙", "消費税表示", "2");
  kr::support::CarryXmlSetting(run, "a", "b", "");

  const size_t files = env.files.size();
  kr::support::PutXmlSetting("C:\\Kelmora\\Missing.xml", "S", "K", "v");
  if (env.files.size() != files) Bug("a write created a missing file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    Fuzz(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const std::exception& e) {
    Bug("an exception escaped the XML settings store", e.what());
  }
  return 0;
}
