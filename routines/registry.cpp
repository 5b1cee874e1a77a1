#include <string_view>

#include "routines/routines.h"

namespace kr::routines {

// No routine is registered yet: every name is unknown and its line is skipped.
bool Registry::Run(std::string_view /*name*/, std::string_view /*argument*/, RunContext& /*run*/,
                   ui::Ui& /*ui*/) {
  return false;
}

}  // namespace kr::routines
