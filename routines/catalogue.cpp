// The catalogue read from its rows, and the registry that runs a routine by name.
#include <cassert>

#include "platform/failure.h"
#include "routines/catalogue.h"
#include "routines/interpreter.h"
#include "routines/notation.h"

namespace kr::routines {

namespace {

std::optional<Routine> Read(const CatalogueRow& row, std::string& error) {
  Routine r;
  r.name = row.name;
  r.kind = row.kind;
  r.sources = notation::ParseSources(row.sources);
  r.check = r.sources.empty() ? SourceCheck::kNone
            : row.late        ? SourceCheck::kLate
                              : SourceCheck::kEarly;
  r.targets = notation::ParseTargets(row.targets);
  auto guards = notation::ParseGuards(row.guard, error);
  auto record = notation::ParseRecord(row.record, error);
  auto condition = notation::ParseSteps(row.condition, error);
  auto steps =
      guards && record && condition ? notation::ParseSteps(row.steps, error) : std::nullopt;
  if (!steps) return std::nullopt;
  for (const Step& test : *condition) {
    if (test.op != Op::kTest) {
      error = "a condition holds tests only";
      return std::nullopt;
    }
  }
  if (!row.body && r.targets.selection == Selection::kOwn) {
    error = "targets a hand-written body would choose, but there is no body";
    return std::nullopt;
  }
  r.guards = std::move(*guards);
  r.record = std::move(*record);
  r.condition = std::move(*condition);
  r.steps = std::move(*steps);
  r.notation = row.steps;
  r.backup = row.backup;
  r.body = row.body;
  return r;
}

std::vector<Routine> Build() {
  std::vector<CatalogueRow> rows;
  AddRows2008To2012(rows);
  AddRows2013To2014(rows);
  AddRows2015To2017(rows);
  AddRows2018To2019(rows);
  std::vector<Routine> routines;
  for (const CatalogueRow& row : rows) {
    std::string error;
    std::optional<Routine> routine = Read(row, error);
    if (!routine) {
      LogLine("routine catalogue: row " + std::string(row.name) + " left out: " + error);
      assert(false && "a catalogue row does not parse");
      continue;
    }
    routines.push_back(std::move(*routine));
  }
  return routines;
}

// The knowledge-base conversions receive the line's fourth value as a 32-bit number; a value
// that does not fit skips the routine, as the conversion of the original failed.
bool ArgumentFits(const Routine& routine, std::string_view argument) {
  if (routine.kind != Kind::kKnowledgeBase) return true;
  std::optional<int32_t> number;
  LeaveOnError("routine argument",
               [&] { number = db::NzNumber(db::Value(std::string(argument))).ToInt32(); });
  return number.has_value();
}

}  // namespace

std::string_view KindName(Kind kind) {
  switch (kind) {
    case Kind::kPrices:
      return "prices";
    case Kind::kUnitPrices:
      return "unit prices";
    case Kind::kExpenses:
      return "expenses";
    case Kind::kSettings:
      return "settings";
    case Kind::kLabourRate:
      return "labour-rate";
    case Kind::kKnowledgeBase:
      return "KB";
    case Kind::kOther:
      return "other";
  }
  return "other";
}

const std::vector<Routine>& Catalogue() {
  static const std::vector<Routine> catalogue = Build();
  return catalogue;
}

std::vector<const Routine*> Lookup(std::string_view name) {
  std::vector<const Routine*> found;
  for (const Routine& routine : Catalogue()) {
    if (routine.name == name) {
      found.push_back(&routine);
    } else if (!found.empty()) {
      break;  // the rows of one name stand together; the first run of them wins
    }
  }
  return found;
}

void RunRoutine(const Routine& routine, RunContext& context, ui::Ui& ui,
                std::string_view argument) {
  RoutineRun run(routine, context, ui, argument);
  LogLine("routine " + routine.name);
  // Nothing escapes a routine: whatever is still pending at its end is dropped.
  run.steps.Step([&] {
    if (routine.body) {
      routine.body(run);
    } else {
      RunDescribed(run);
    }
  });
  run.steps.Clear();
}

bool Registry::Run(std::string_view name, std::string_view argument, RunContext& run, ui::Ui& ui) {
  std::vector<const Routine*> routines = Lookup(name);
  for (const Routine* routine : routines) {
    if (ArgumentFits(*routine, argument)) RunRoutine(*routine, run, ui, argument);
  }
  return !routines.empty();
}

}  // namespace kr::routines
