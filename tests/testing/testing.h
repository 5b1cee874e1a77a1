// Shared test fixtures: temporary folders and a sandboxed set of well-known folders, so that no
// test touches the home folder or another test's files.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace kr::testing {

// A fresh folder below the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Native path of the folder, without trailing separator.
  const std::string& path() const { return path_; }
  // The folder as an updater path, ending in "\".
  std::string folder() const { return path_ + "\\"; }
  // Native path of a file or folder inside ("a/b.txt").
  std::string Native(std::string_view relative) const;
  // Writes bytes to a file inside, creating its folders.
  void Write(std::string_view relative, std::string_view bytes) const;
  std::string Read(std::string_view relative) const;
  bool Exists(std::string_view relative) const;
  // Every plain file below the folder ("a/b.txt") with its bytes: a snapshot to compare runs by.
  // The run reports and saved copies of an UpdateLog folder are history, not state, and are left
  // out unless with_history.
  std::map<std::string, std::string> Files(bool with_history = false) const;
  void MakeDirs(std::string_view relative) const;

 private:
  std::string path_;
};

// Points every well-known folder (KR_WINDOWS_DIR, KR_SYSTEM_DIR, KR_COMMON_APPDATA_DIR,
// KR_PROGRAMS_DIR, KR_DESKTOP_DIR, KR_TRUSTED_KEYS, XDG_RUNTIME_DIR, HOME) into a TempDir for
// its lifetime, and restores the previous environment afterwards. No signing key is trusted
// until a test puts one into trusted_keys().
class SandboxedFolders {
 public:
  SandboxedFolders();
  ~SandboxedFolders();

  const TempDir& root() const { return root_; }
  std::string windows() const { return root_.Native("Windows"); }
  std::string system() const { return root_.Native("Windows/System32"); }
  std::string common_appdata() const { return root_.Native("ProgramData"); }
  std::string programs() const { return root_.Native("Programs"); }
  std::string desktop() const { return root_.Native("Desktop"); }
  std::string trusted_keys() const { return root_.Native("TrustedKeys"); }

 private:
  TempDir root_;
  std::vector<std::pair<std::string, std::string>> saved_;  // name, value ("\x01" when unset)
};

// How two snapshots (files or tables by name) differ: "<name> differs", "<name> is missing",
// "<name> is left over"; empty when they are equal.
template <class Map>
std::vector<std::string> Differing(const Map& expected, const Map& actual) {
  std::vector<std::string> found;
  for (const auto& [name, value] : expected) {
    auto other = actual.find(name);
    if (other == actual.end()) {
      found.push_back(name + " is missing");
    } else if (!(other->second == value)) {
      found.push_back(name + " differs");
    }
  }
  for (const auto& [name, value] : actual) {
    if (!expected.count(name)) found.push_back(name + " is left over");
  }
  return found;
}
using Names = std::vector<std::string>;

// The run-time number call fails with, 0 when it does not fail; a failure must carry the
// description a user would see.
int FailureNumber(const std::function<void()>& call);

// Text in code page 932, for writing INI fixtures.
std::string ToCp932(std::string_view utf8);

// Path of a built program (KR_BUILD_DIR/<relative>), e.g. "app/kr-updater-cli".
std::string BuiltProgram(std::string_view relative);
// Path of a source file (KR_SOURCE_DIR/<relative>).
std::string SourceFile(std::string_view relative);

struct ProcessResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};
// Runs argv (no shell) with extra "NAME=value" environment entries, waits, captures output.
ProcessResult RunProgram(const std::vector<std::string>& argv,
                         const std::vector<std::string>& extra_env = {});
// As RunProgram, with standard input read from input (std::nullopt: /dev/null).
ProcessResult RunProgramWithInput(const std::vector<std::string>& argv,
                                  std::optional<std::string_view> input,
                                  const std::vector<std::string>& extra_env = {});

// --- Run reports ----------------------------------------------------------------------------
// What is wrong with the run reports at these native paths against docs/run-report.schema.json,
// one line per violation; "" when every one is valid. Every test that makes a report checks it.
std::string ReportSchemaErrors(const std::vector<std::string>& paths);
// Every report in the install folder's UpdateLog (native folder of the installation), in name
// order.
std::vector<std::string> ReportsIn(const std::string& install_folder);
// What kr-updater-cli printed before the run's summary: the end message.
std::string EndMessage(const std::string& out);

// --- The demo -------------------------------------------------------------------------------
// Whether kr-make-demo and the PE test programs it installs are built (they need MinGW-w64).
bool DemoBuilt();
// The demo's installation and package made in root (emptied first), the application having
// asked for the update on update_day ("yyyy/mm/dd").
ProcessResult MakeDemo(const std::string& root, std::string_view update_day);

// --- Crashes and failing disks --------------------------------------------------------------
// How many changes to the disk body makes (steps of platform::FaultHook).
int CountDiskSteps(const std::function<void()>& body);
// Runs body in a child process; whether SIGKILL ended it (false: body ended by itself).
bool KilledInChild(const std::function<void()>& body);
// Runs body in a child process that is killed at its n-th change to the disk; whether it was.
bool KillAtDiskChange(const std::function<void()>& body, int n);
// KillAtDiskChange for n = 1, 2, ... until body ends before its n-th change. prepare() runs in the
// parent before each child, check(n, killed) after it has ended. Returns the number of children.
int ForEachCrashPoint(const std::function<void()>& prepare, const std::function<void()>& body,
                      const std::function<void(int n, bool killed)>& check);
// The seed of a test's random choices: the variable's value when set, to replay a failure, else a
// fresh one; the test prints it.
uint64_t SeedFrom(const char* variable);
// count points of first+1..last, one drawn in each of count equal stretches, so that every stage
// of a run is met.
std::vector<int64_t> SpreadPoints(int64_t first, int64_t last, int count, std::mt19937_64& random);
// Every file below a native folder whose name marks a write's temporary (".~krtmp-").
std::vector<std::string> LeftoverTemporaries(const std::string& native_folder);

}  // namespace kr::testing
