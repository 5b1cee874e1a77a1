#include "startup/startup.h"

namespace kr::startup {

// The target validation (program present, year of the installed data, program version, files
// in use, sources present) comes with the database toolkit; until then every folder passes.
bool frmMlDir::CheckInstallFolder() { return false; }

}  // namespace kr::startup
