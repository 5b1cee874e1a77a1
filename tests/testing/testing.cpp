#include "tests/testing/testing.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/failure.h"
#include "platform/platform.h"

extern char** environ;

namespace kr::testing {
namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string templ = (fs::temp_directory_path() / "kr-test-XXXXXX").string();
  if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may leave read-only files behind; make everything writable first.
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}

std::string TempDir::Native(std::string_view relative) const {
  return (fs::path(path_) / fs::path(std::string(relative))).string();
}

void TempDir::Write(std::string_view relative, std::string_view bytes) const {
  fs::path p = Native(relative);
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempDir::Read(std::string_view relative) const {
  std::ifstream in(Native(relative), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool TempDir::Exists(std::string_view relative) const { return fs::exists(Native(relative)); }

void TempDir::MakeDirs(std::string_view relative) const {
  fs::create_directories(Native(relative));
}

std::map<std::string, std::string> TempDir::Files(bool with_history) const {
  std::map<std::string, std::string> files;
  for (auto it = std::filesystem::recursive_directory_iterator(path_);
       it != std::filesystem::recursive_directory_iterator(); ++it) {
    const auto& entry = *it;
    if (!with_history && entry.is_directory() && entry.path().filename() == "UpdateLog") {
      it.disable_recursion_pending();
      continue;
    }
    if (!entry.is_regular_file()) continue;
    std::string relative = std::filesystem::relative(entry.path(), path_).string();
    files[relative] = Read(relative);
  }
  return files;
}

namespace {
const char* const kUnset = "\x01";
}

SandboxedFolders::SandboxedFolders() {
  const std::pair<const char*, std::string> vars[] = {
      {"KR_WINDOWS_DIR", windows()},
      {"KR_SYSTEM_DIR", system()},
      {"KR_COMMON_APPDATA_DIR", common_appdata()},
      {"KR_PROGRAMS_DIR", programs()},
      {"KR_DESKTOP_DIR", desktop()},
      {"KR_TRUSTED_KEYS", trusted_keys()},
      {"XDG_RUNTIME_DIR", root_.Native("run")},
      {"HOME", root_.Native("home")},
  };
  for (const auto& [name, value] : vars) {
    const char* old = std::getenv(name);
    saved_.emplace_back(name, old ? old : kUnset);
    root_.MakeDirs(fs::relative(value, root_.path()).string());
    setenv(name, value.c_str(), 1);
  }
}

SandboxedFolders::~SandboxedFolders() {
  for (const auto& [name, value] : saved_) {
    if (value == kUnset) {
      unsetenv(name.c_str());
    } else {
      setenv(name.c_str(), value.c_str(), 1);
    }
  }
}

int FailureNumber(const std::function<void()>& call) {
  try {
    call();
  } catch (const Failure& failure) {
    EXPECT_FALSE(failure.description().empty()) << failure.what();
    return failure.number();
  }
  return 0;
}

std::string ToCp932(std::string_view utf8) { return platform::Utf8ToCp932(utf8); }

std::string BuiltProgram(std::string_view relative) {
  const char* dir = std::getenv("KR_BUILD_DIR");
  return std::string(dir ? dir : KR_DEFAULT_BUILD_DIR) + "/" + std::string(relative);
}

std::string SourceFile(std::string_view relative) {
  const char* dir = std::getenv("KR_SOURCE_DIR");
  return std::string(dir ? dir : KR_DEFAULT_SOURCE_DIR) + "/" + std::string(relative);
}

bool DemoBuilt() {
  return fs::exists(BuiltProgram("tests/fixtures/pe/app-2.0.0.84.exe")) &&
         fs::exists(BuiltProgram("demo/kr-make-demo"));
}

std::string ReportSchemaErrors(const std::vector<std::string>& paths) {
  if (paths.empty()) return "";
  std::vector<std::string> argv{"/usr/bin/python3", SourceFile("tests/testing/validate_report.py"),
                                SourceFile("docs/run-report.schema.json")};
  argv.insert(argv.end(), paths.begin(), paths.end());
  ProcessResult result = RunProgram(argv);
  if (result.exit_code == 0) return "";
  return result.out + result.err + "(validate_report.py ended with " +
         std::to_string(result.exit_code) + ")";
}

std::vector<std::string> ReportsIn(const std::string& install_folder) {
  std::vector<std::string> reports;
  fs::path folder = fs::path(install_folder) / "UpdateLog";
  if (!fs::is_directory(folder)) return reports;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".json") reports.push_back(entry.path().string());
  }
  std::sort(reports.begin(), reports.end());
  return reports;
}

std::string EndMessage(const std::string& out) {
  for (std::string_view summary : {"\nアップデートの記録\n", "\nアップデートの予定"}) {
    size_t at = out.find(summary);
    if (at != std::string::npos) return out.substr(0, at);
  }
  return out;
}

ProcessResult MakeDemo(const std::string& root, std::string_view update_day) {
  for (const auto& entry : fs::directory_iterator(root)) fs::remove_all(entry.path());
  return RunProgram({BuiltProgram("demo/kr-make-demo"), root, "--fixtures",
                     SourceFile("demo/fixtures"), "--pe", BuiltProgram("tests/fixtures/pe"),
                     "--update-day", std::string(update_day)});
}

ProcessResult RunProgram(const std::vector<std::string>& argv,
                         const std::vector<std::string>& extra_env) {
  return RunProgramWithInput(argv, std::nullopt, extra_env);
}

ProcessResult RunProgramWithInput(const std::vector<std::string>& argv,
                                  std::optional<std::string_view> input,
                                  const std::vector<std::string>& extra_env) {
  std::vector<std::string> env_strings;
  for (char** e = environ; *e != nullptr; ++e) env_strings.emplace_back(*e);
  for (const auto& entry : extra_env) {
    std::string name = entry.substr(0, entry.find('='));
    std::erase_if(env_strings, [&](const std::string& s) { return s.rfind(name + "=", 0) == 0; });
    env_strings.push_back(entry);
  }
  std::vector<char*> envp, args;
  for (auto& s : env_strings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argv_copy = argv;
  for (auto& s : argv_copy) args.push_back(s.data());
  args.push_back(nullptr);

  // Output goes to temporary files so that a chatty child can never block on a full pipe.
  TempDir capture;
  std::string out_path = capture.Native("out"), err_path = capture.Native("err");
  std::string in_path = "/dev/null";
  if (input) {
    capture.Write("in", *input);
    in_path = capture.Native("in");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in_path.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  pid_t pid;
  ProcessResult result;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    result.err = "cannot start " + argv[0];
    return result;
  }
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = capture.Read("out");
  result.err = capture.Read("err");
  return result;
}

int CountDiskSteps(const std::function<void()>& body) {
  int steps = 0;
  platform::ScopedFaultHook hook([&](platform::DiskStep, std::string_view) {
    ++steps;
    return 0;
  });
  body();
  return steps;
}

bool KilledInChild(const std::function<void()>& body) {
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    body();
    _exit(0);  // no destructors: the parent's folders are not the child's to remove
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

bool KillAtDiskChange(const std::function<void()>& body, int n) {
  return KilledInChild([&] {
    int steps = 0;
    platform::ScopedFaultHook hook([&](platform::DiskStep, std::string_view) {
      if (++steps == n) raise(SIGKILL);
      return 0;
    });
    body();
  });
}

int ForEachCrashPoint(const std::function<void()>& prepare, const std::function<void()>& body,
                      const std::function<void(int n, bool killed)>& check) {
  for (int n = 1;; ++n) {
    prepare();
    bool killed = KillAtDiskChange(body, n);
    check(n, killed);
    if (!killed) return n;
  }
}

uint64_t SeedFrom(const char* variable) {
  std::string given = platform::EnvironmentValue(variable);
  return given.empty() ? std::random_device()() : std::stoull(given);
}

std::vector<int64_t> SpreadPoints(int64_t first, int64_t last, int count, std::mt19937_64& random) {
  std::vector<int64_t> points;
  for (int i = 0; i < count; ++i) {
    int64_t from = first + 1 + (last - first) * i / count,
            to = first + (last - first) * (i + 1) / count;
    points.push_back(std::uniform_int_distribution<int64_t>(from, std::max(from, to))(random));
  }
  return points;
}

std::vector<std::string> LeftoverTemporaries(const std::string& native_folder) {
  std::vector<std::string> found;
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(native_folder, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->path().filename().string().starts_with(".~krtmp-")) found.push_back(it->path());
  }
  return found;
}

}  // namespace kr::testing
