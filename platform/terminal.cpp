#include <unistd.h>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace kr::platform {

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

bool StandardInputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

std::string StateFolder() {
  std::string state = internal::GetEnv("XDG_STATE_HOME");
  if (!state.empty() && state.front() == '/') return state;
  std::string home = internal::GetEnv("HOME");
  return home.empty() ? std::string() : home + "/.local/state";
}

}  // namespace kr::platform
