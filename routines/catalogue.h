// The catalogue's rows as written, and the hand-written bodies some of them name. Internal to
// routines/.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "routines/routines.h"

namespace kr::routines {

// One row, in the notation of notation.h. Steps and targets are read once, when the catalogue
// is first used.
struct CatalogueRow {
  std::string_view name = "";
  Kind kind = Kind::kOther;
  std::string_view sources = "-";
  std::string_view targets = "";
  std::string_view guard = "-";
  std::string_view record = "-";
  bool backup = false;
  bool late = false;  // the source is tested inside each target, after its backup
  std::string_view condition = "";
  std::string_view steps = "";
  std::string_view second_stage = "";  // with the second guard and source, after the first
  std::string_view extra_steps = "";   // a list the body runs besides the steps
  Body body = nullptr;
};

// Rows read and checked: every row that reads, and an English line for each that does not (a
// text that does not follow the notation, a test, step word or procedure nobody knows, a variant
// table whose test the row does not name, the rows of one name apart).
struct CheckedCatalogue {
  std::vector<Routine> routines;
  std::vector<std::string> errors;
};
CheckedCatalogue CheckRows(const std::vector<CatalogueRow>& rows);

void AddRows2008To2012(std::vector<CatalogueRow>& rows);
void AddRows2013To2014(std::vector<CatalogueRow>& rows);
void AddRows2015To2017(std::vector<CatalogueRow>& rows);
void AddRows2018To2019(std::vector<CatalogueRow>& rows);

// --- Hand-written bodies ------------------------------------------------------------------------
void UpdateSpeExeH20(RoutineRun& run);
void UpdateCriBaseYamanashiH21(RoutineRun& run);
void Update200910SetTables(RoutineRun& run);
void Update200910NumberIni(RoutineRun& run);
void Update2011UserCode(RoutineRun& run);
void Update2012Box10(RoutineRun& run);
void Update2013H2604Syouhizei(RoutineRun& run);
void Update2014CriInsertKB(RoutineRun& run);
void Update2015CriInsertKB(RoutineRun& run);
void Update2018CriInsertKB(RoutineRun& run);
void Update2019CriInsertKB(RoutineRun& run);
void Update2015CriH2707(RoutineRun& run);
void Update2016ExpH2904A(RoutineRun& run);
void Update2016ExpH2904M(RoutineRun& run);
void Update2017CriH2911Ken(RoutineRun& run);
void Update2017ValH3006(RoutineRun& run);
void Update2018KelmoraSettingH3104(RoutineRun& run);
void Update2019ValR0108(RoutineRun& run);
void Update2019ExpR0108(RoutineRun& run);
void Update2019CopyCriValR0110(RoutineRun& run);
void UpdateFeldin3MitDeleteRecodeH3004(RoutineRun& run);
void LabourRateFolderCopy(RoutineRun& run);
void LabourRateTag(RoutineRun& run);

}  // namespace kr::routines
