// Child processes started from a Windows command line.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/platform.h"
#include "platform/platform_internal.h"

extern char** environ;

namespace kr::platform {
namespace internal {

std::vector<std::string> SplitWindowsArguments(std::string_view text) {
  std::vector<std::string> arguments;
  std::string current;
  bool in_argument = false, in_quotes = false;
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if ((c == ' ' || c == '\t') && !in_quotes) {
      if (in_argument) arguments.push_back(std::move(current));
      current.clear();
      in_argument = false;
      ++i;
      continue;
    }
    in_argument = true;
    if (c == '\\') {
      size_t count = 0;
      while (i + count < text.size() && text[i + count] == '\\') ++count;
      if (i + count < text.size() && text[i + count] == '"') {
        // 2n backslashes and a quote: n backslashes, the quote toggles; 2n+1: a literal quote.
        current.append(count / 2, '\\');
        if (count % 2 == 1) {
          current += '"';
          i += count + 1;
        } else {
          i += count;
        }
      } else {
        current.append(count, '\\');
        i += count;
      }
    } else if (c == '"') {
      if (in_quotes && i + 1 < text.size() && text[i + 1] == '"') {
        current += '"';
        i += 2;
      } else {
        in_quotes = !in_quotes;
        ++i;
      }
    } else {
      current += c;
      ++i;
    }
  }
  if (in_argument) arguments.push_back(std::move(current));
  return arguments;
}

}  // namespace internal

namespace {

class PosixChild : public ChildProcess {
 public:
  explicit PosixChild(pid_t pid) : pid_(pid) {}
  bool Ended() override {
    if (ended_) return true;
    int status = 0;
    pid_t result = waitpid(pid_, &status, WNOHANG);
    if (result == pid_) {
      ended_ = true;
      exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    } else if (result < 0 && errno != EINTR) {
      ended_ = true;  // no longer ours to watch
    }
    return ended_;
  }
  int ExitCode() const override { return exit_code_; }

 private:
  pid_t pid_;
  bool ended_ = false;
  int exit_code_ = -1;
};

bool HasExtension(std::string_view name) {
  std::string last = internal::SplitLast(name).last;
  return last.find('.') != std::string::npos;
}

// The native program a command-line prefix names, or "".
std::string ResolveProgram(Env& env, std::string_view prefix,
                           const internal::ProgramTest& is_program) {
  if (prefix.empty()) return {};
  std::vector<std::string> candidates{std::string(prefix)};
  if (!HasExtension(prefix)) candidates.push_back(std::string(prefix) + ".exe");
  const bool bare = prefix.find_first_of("\\/") == std::string_view::npos;
  for (const std::string& candidate : candidates) {
    if (!bare) {
      std::string native = env.NativePath(candidate);
      if (is_program(native)) return native;
      continue;
    }
    std::string path = internal::GetEnv("PATH");
    size_t pos = 0;
    while (pos <= path.size()) {
      size_t end = path.find(':', pos);
      if (end == std::string::npos) end = path.size();
      std::string folder = path.substr(pos, end - pos);
      pos = end + 1;
      if (folder.empty()) continue;
      std::string native = env.NativePath(folder + "/" + candidate);
      if (is_program(native)) return native;
    }
  }
  return {};
}

// An argument that names a path (it holds a "\\", or a "/" after its first character: "/s" and
// "/RegServer" are switches) reaches the child as a path of this machine.
std::string NativeArgument(Env& env, const std::string& argument) {
  bool path =
      argument.find('\\') != std::string::npos || argument.find('/', 1) != std::string::npos;
  return path ? env.NativePath(argument) : argument;
}

}  // namespace

bool internal::IsProgram(const std::string& native) {
  struct stat info;
  return !native.empty() && stat(native.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         access(native.c_str(), X_OK) == 0;
}

std::vector<std::string> internal::ResolveCommandLine(Env& env, std::string_view command_line,
                                                      const ProgramTest& is_program) {
  std::string_view line = command_line;
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);

  std::string program;
  std::string_view rest;
  if (!line.empty() && line.front() == '"') {
    size_t close = line.find('"', 1);
    std::string_view quoted = line.substr(1, close == std::string_view::npos ? close : close - 1);
    program = ResolveProgram(env, quoted, is_program);
    rest = close == std::string_view::npos ? std::string_view() : line.substr(close + 1);
  } else {
    // As the Windows shell does: the shortest blank-separated prefix that names a program.
    size_t end = 0;
    while (program.empty() && end != std::string_view::npos) {
      end = line.find(' ', end + 1);
      program = ResolveProgram(env, line.substr(0, end), is_program);
      if (!program.empty()) rest = end == std::string_view::npos ? "" : line.substr(end);
    }
  }
  if (program.empty()) {
    throw internal::RuntimeFailure(kErrFileNotFound, "start", command_line);
  }

  std::vector<std::string> arguments;
  arguments.push_back(program);
  for (const std::string& argument : internal::SplitWindowsArguments(rest)) {
    arguments.push_back(NativeArgument(env, argument));
  }
  return arguments;
}

std::unique_ptr<ChildProcess> Env::StartProcess(std::string_view command_line, bool hidden) {
  std::vector<std::string> arguments =
      internal::ResolveCommandLine(*this, command_line, internal::IsProgram);
  const std::string& program = arguments.front();
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (hidden) {
    // No terminal: input is empty, and output goes to the updater's log file when there is
    // one (a registration tool's complaints are worth keeping), else nowhere.
    std::string log = internal::GetEnv("KR_LOG");
    std::string output = "/dev/null";
    if (!log.empty() && log != "-") {
      int probe = open(log.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
      if (probe >= 0) {
        close(probe);
        output = log;
      }
    }
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_APPEND | O_CREAT,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  }
  pid_t pid = 0;
  int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    throw Failure::Runtime(kErrFileNotFound, "start " + program + ": " + std::strerror(error));
  }
  return std::make_unique<PosixChild>(pid);
}

}  // namespace kr::platform
