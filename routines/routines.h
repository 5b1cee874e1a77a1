// The update routines: named, dated data migrations that the manifest's "Function" lines run.
#pragma once

#include <string_view>

#include "manifest/manifest.h"

namespace kr::routines {

// The routine catalogue. A name is looked up exactly and case-sensitively; one name may run
// several routines in sequence. Unknown names run nothing.
class Registry : public manifest::RoutineRegistry {
 public:
  bool Run(std::string_view name, std::string_view argument, RunContext& run, ui::Ui& ui) override;
};

}  // namespace kr::routines
