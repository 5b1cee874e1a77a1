// Routines whose work comes with the labour-rate refresh and the settings routines: registered
// with their rows, they say in the log that they did nothing.
#include "routines/catalogue.h"
#include "routines/interpreter.h"
#include "routines/procedures.h"

namespace kr::routines {

void LabourRateFolderCopy(RoutineRun& run) { NotYetBuilt(run, "the labour-rate folder copy"); }
void LabourRateTag(RoutineRun& run) { NotYetBuilt(run, "the labour-rate correction"); }

}  // namespace kr::routines
