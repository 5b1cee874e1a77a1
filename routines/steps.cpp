// The data steps of the notation, each one toolkit call on the open source and target.
#include "platform/failure.h"
#include "routines/interpreter.h"
#include "routines/procedures.h"

namespace kr::routines {

namespace {

std::string Spec(const std::string& source_table, const std::string& target_table) {
  if (target_table.empty() || target_table == source_table) return source_table;
  return source_table + "," + target_table;
}

// A copy between tables one of which is missing changes nothing, silently in the toolkit; the
// run says which. False when one is missing.
bool TablesThere(RoutineRun& run, Database& source, Database& target, const std::string& from,
                 const std::string& to) {
  if (source.IsOpen() && !db::HasTable(source, from)) {
    run.MissingTable(from, true);
    return false;
  }
  std::string name = to.empty() ? from : to;
  if (!db::HasTable(target, name)) {
    run.MissingTable(name, false);
    return false;
  }
  return true;
}

}  // namespace

void ExecuteStep(RoutineRun& run, const Step& step, Database& source, Database& target,
                 VariantChooser& variants) {
  const std::string& table = step.tables.empty() ? step.text : step.tables.front();
  switch (step.op) {
    case Op::kTransfer: {
      std::string chosen = step.tables.size() > 1 ? variants.Choose(step.tables) : table;
      if (chosen.empty() || !variants.Applies(chosen)) return;
      if (!TablesThere(run, source, target, chosen, step.target)) return;
      db::TransferRows(source, target, Spec(chosen, step.target), step.where, step.keys);
      return;
    }
    case Op::kKeepOld:
      db::KeepOldTable(source, target, table);
      return;
    case Op::kCarryOver:
      db::CarryOverUserPrices(source, target, table);
      return;
    case Op::kTransferTable:
      db::TransferTable(source, target, table);
      return;
    case Op::kTransferTableAs:
      if (variants.Applies(table)) db::TransferTableAs(source, target, table, step.target);
      return;
    case Op::kDeleteMatching:
      if (!TablesThere(run, source, target, table, step.target)) return;
      db::DeleteMatchingRows(source, target, Spec(table, step.target), step.where, step.keys);
      return;
    case Op::kCopyTable:
      db::CopyTable(source, target, Spec(table, step.target), step.where, step.keys);
      return;
    case Op::kExecute:
      target.Execute(step.text);
      return;
    case Op::kRefreshDistrictPrices:
      FindProcedure("RefreshDistrictPrices")(run, step, source, target, variants);
      return;
    case Op::kProgress:
      run.Progress(step.text);
      return;
    case Op::kProcedure:
      if (Procedure procedure = FindProcedure(step.text)) {
        procedure(run, step, source, target, variants);
        return;
      }
      throw Failure::Runtime(kErrInvalidCall, "unknown procedure " + step.text);
    case Op::kTest:
      return;  // decided by the interpreter
  }
}

}  // namespace kr::routines
