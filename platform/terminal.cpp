#include <unistd.h>

#include "platform/platform.h"

namespace kr::platform {

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace kr::platform
