// The numbering file KrNumber.ini: the package's numbers merged into the installed file.
#include "db/db.h"
#include "platform/failure.h"

namespace kr::db {

void MergeNumberIni(const RunContext& run) {
  StepAndContinue steps("MergeNumberIni");
  std::string source = run.package_folder + "KrNumber.ini";
  std::string destination = run.install_folder + "KrNumber.ini";
  steps.Call([&] { BackupDatabase(run, destination); });
  steps.Call([&] { support::MergeIniFile(source, destination); });
}

}  // namespace kr::db
