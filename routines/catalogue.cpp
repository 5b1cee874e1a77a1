// The catalogue read from its rows, and the registry that runs a routine by name.
#include <algorithm>
#include <set>

#include "platform/failure.h"
#include "routines/catalogue.h"
#include "routines/interpreter.h"
#include "routines/notation.h"

namespace kr::routines {

namespace {

// A table marked for a disaster variant applies only when the row names that test: otherwise the
// chooser never picks it and the step silently does nothing.
void CheckMarks(const std::vector<Step>& steps, std::vector<std::string>& named,
                std::string& error) {
  for (const Step& step : steps) {
    if (step.op == Op::kTest) named.push_back(step.text);
    for (const std::string& table : step.tables) {
      const MarkDef& mark = DefinitionOf(MarkOf(table));
      if (mark.disaster && std::find(named.begin(), named.end(), mark.test) == named.end()) {
        error =
            table + " is a variant of " + std::string(mark.test) + ", which the row does not name";
      }
    }
    if (step.op == Op::kTransfer && step.tables.size() > 1 && step.target.empty()) {
      error = "\"one of\" needs a target table";
    }
    CheckMarks(step.gated, named, error);
  }
}

std::optional<std::vector<Step>> Steps(std::string_view text, std::string_view what,
                                       std::string& error) {
  std::optional<std::vector<Step>> steps = notation::ParseSteps(text, error);
  if (!steps) error = std::string(what) + ": " + error;
  return steps;
}

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
  auto record = guards ? notation::ParseRecord(row.record, error) : std::nullopt;
  auto condition = record ? Steps(row.condition, "condition", error) : std::nullopt;
  auto steps = condition ? Steps(row.steps, "steps", error) : std::nullopt;
  auto second = steps ? Steps(row.second_stage, "second stage", error) : std::nullopt;
  auto extra = second ? Steps(row.extra_steps, "extra steps", error) : std::nullopt;
  if (!extra) return std::nullopt;
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
  if (!second->empty() && (guards->size() != 2 || r.sources.size() != 2)) {
    error = "a second stage needs two guards and two sources";
    return std::nullopt;
  }
  if (!row.body && steps->empty() && record->empty()) {
    error = "the row does nothing";
    return std::nullopt;
  }
  for (const std::vector<Step>* list : {&*steps, &*second, &*extra}) {
    std::vector<std::string> named;
    CheckMarks(*condition, named, error);
    CheckMarks(*list, named, error);
  }
  if (!error.empty()) return std::nullopt;
  r.guards = std::move(*guards);
  r.record = std::move(*record);
  r.condition = std::move(*condition);
  r.steps = std::move(*steps);
  r.second_stage = std::move(*second);
  r.extra_steps = std::move(*extra);
  r.notation = row.steps;
  r.backup = row.backup;
  r.body = row.body;
  return r;
}

}  // namespace

CheckedCatalogue CheckRows(const std::vector<CatalogueRow>& rows) {
  CheckedCatalogue checked;
  for (const CatalogueRow& row : rows) {
    std::string error;
    std::optional<Routine> routine = Read(row, error);
    if (routine) {
      checked.routines.push_back(std::move(*routine));
    } else {
      checked.errors.push_back("routine " + std::string(row.name) + ": " + error);
    }
  }
  // The rows of one name stand together: Lookup stops at the first row of another name.
  std::set<std::string> seen;
  for (size_t i = 0; i < checked.routines.size(); ++i) {
    const std::string& name = checked.routines[i].name;
    bool continues = i > 0 && checked.routines[i - 1].name == name;
    if (!continues && !seen.insert(name).second) {
      checked.errors.push_back("routine " + name + ": its rows are not together");
    }
  }
  return checked;
}

namespace {

const CheckedCatalogue& Built() {
  static const CheckedCatalogue built = [] {
    std::vector<CatalogueRow> rows;
    AddRows2008To2012(rows);
    AddRows2013To2014(rows);
    AddRows2015To2017(rows);
    AddRows2018To2019(rows);
    return CheckRows(rows);
  }();
  return built;
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

const std::vector<Routine>& Catalogue() { return Built().routines; }

std::vector<std::string> CatalogueErrors() { return Built().errors; }

std::vector<const Routine*> Lookup(std::string_view name) {
  std::vector<const Routine*> found;
  for (const Routine& routine : Catalogue()) {
    if (routine.name == name) {
      found.push_back(&routine);
    } else if (!found.empty()) {
      break;  // the rows of one name stand together (checked when built)
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
      RunSkeleton(run);
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

size_t Registry::Targets(std::string_view name, RunContext& run, ui::Ui& ui) {
  size_t count = 0;
  for (const Routine* routine : Lookup(name)) {
    RoutineRun counting(*routine, run, ui, "");
    for (const Place& place : counting.Places()) count += platform::FileExists(place.path) ? 1 : 0;
  }
  return count;
}

}  // namespace kr::routines
