// Routines whose work comes with the labour-rate refresh and the settings routines: registered
// with their rows, they say in the log that they did nothing.
#include "routines/catalogue.h"
#include "routines/interpreter.h"
#include "routines/procedures.h"

namespace kr::routines {

void LabourRateFolderCopy(RoutineRun& run) { NotYetBuilt(run, "the labour-rate folder copy"); }
void LabourRateTag(RoutineRun& run) { NotYetBuilt(run, "the labour-rate correction"); }
void Update2013H2604Syouhizei(RoutineRun& run) { NotYetBuilt(run, "the consumption-tax settings"); }
void Update2018KelmoraSettingH3104(RoutineRun& run) {
  NotYetBuilt(run, "the cover-sheet settings of KelmoraSetting.xml");
}
void UpdateFeldin3MitDeleteRecodeH3004(RoutineRun& run) {
  NotYetBuilt(run, "the re-code clean-up");
}

}  // namespace kr::routines
