// Named procedures the step notation calls ("IndexVariantTransfer", "DeleteRowsByField" ...):
// the work of a step that is more than one toolkit call. Internal to routines/.
#pragma once

#include <string_view>

#include "routines/interpreter.h"

namespace kr::routines {

// Every procedure has the one signature of a data step: the routine, the step with its
// arguments, the open source and target, the target's variants. Pass-through.
using Procedure = void (*)(RoutineRun& run, const Step& step, Database& source, Database& target,
                           VariantChooser& variants);

// The procedure of that name, or nullptr.
Procedure FindProcedure(std::string_view name);

}  // namespace kr::routines
