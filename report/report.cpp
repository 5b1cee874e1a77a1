#include "report/report.h"

#include <nlohmann/json.hpp>

#include "platform/failure.h"

namespace kr::report {
namespace {

using nlohmann::ordered_json;

Recorder* current = nullptr;  // the run's recorder; set only by ScopedRecorder, on the run's thread

ordered_json Optional(const std::optional<std::string>& text) {
  return text ? ordered_json(*text) : ordered_json(nullptr);
}
ordered_json ErrorJson(const std::optional<Error>& error) {
  if (!error) return nullptr;
  return {{"number", error->number}, {"description", error->description}};
}

std::optional<std::string> OptionalText(const ordered_json& value) {
  if (value.is_null()) return std::nullopt;
  return value.get<std::string>();
}
std::optional<Error> ReadError(const ordered_json& value) {
  if (value.is_null()) return std::nullopt;
  return Error{value.at("number").get<int32_t>(), value.at("description").get<std::string>()};
}

template <class Outcome, size_t N>
Outcome ReadOutcome(const ordered_json& value, const Outcome (&outcomes)[N]) {
  const auto name = value.get<std::string>();
  for (auto outcome : outcomes) {
    if (OutcomeName(outcome) == name) return outcome;
  }
  throw Failure::Runtime(kErrTypeMismatch, "report: unknown outcome " + name);
}
constexpr ActionOutcome kActionOutcomes[] = {ActionOutcome::kDone, ActionOutcome::kSkipped,
                                             ActionOutcome::kFailed};
constexpr TargetOutcome kTargetOutcomes[] = {TargetOutcome::kMigrated, TargetOutcome::kSkipped,
                                             TargetOutcome::kFailed};

ordered_json TargetJson(const Target& target) {
  ordered_json tables = ordered_json::array();
  for (const auto& table : target.tables) {
    tables.push_back({{"name", table.name},
                      {"inserted", table.inserted},
                      {"updated", table.updated},
                      {"deleted", table.deleted}});
  }
  ordered_json failures = ordered_json::array();
  for (const auto& failure : target.failures) {
    failures.push_back({{"step", failure.step},
                        {"statement", failure.statement},
                        {"error", ErrorJson(failure.error)}});
  }
  return {{"database", target.database},
          {"outcome", OutcomeName(target.outcome)},
          {"reason", target.reason},
          {"backup", Optional(target.backup)},
          {"version_before", Optional(target.version_before)},
          {"version_after", Optional(target.version_after)},
          {"tables", tables},
          {"failures", failures}};
}

Target ReadTarget(const ordered_json& value) {
  Target target;
  target.database = value.at("database").get<std::string>();
  target.outcome = ReadOutcome(value.at("outcome"), kTargetOutcomes);
  target.reason = value.at("reason").get<std::string>();
  target.backup = OptionalText(value.at("backup"));
  target.version_before = OptionalText(value.at("version_before"));
  target.version_after = OptionalText(value.at("version_after"));
  for (const auto& table : value.at("tables")) {
    target.tables.push_back(
        {table.at("name").get<std::string>(), table.at("inserted").get<int64_t>(),
         table.at("updated").get<int64_t>(), table.at("deleted").get<int64_t>()});
  }
  for (const auto& failure : value.at("failures")) {
    auto error = ReadError(failure.at("error"));
    target.failures.push_back({failure.at("step").get<std::string>(),
                               failure.at("statement").get<std::string>(),
                               error.value_or(Error{})});
  }
  return target;
}

}  // namespace

std::string_view OutcomeName(ActionOutcome outcome) {
  switch (outcome) {
    case ActionOutcome::kDone:
      return "done";
    case ActionOutcome::kSkipped:
      return "skipped";
    case ActionOutcome::kFailed:
      return "failed";
  }
  return "failed";
}

std::string_view OutcomeName(TargetOutcome outcome) {
  switch (outcome) {
    case TargetOutcome::kMigrated:
      return "migrated";
    case TargetOutcome::kSkipped:
      return "skipped";
    case TargetOutcome::kFailed:
      return "failed";
  }
  return "failed";
}

std::string ToJson(const Report& report) {
  ordered_json actions = ordered_json::array();
  for (const auto& action : report.actions) {
    actions.push_back({{"line", action.line},
                       {"keyword", action.keyword},
                       {"source", action.source},
                       {"target", action.target},
                       {"outcome", OutcomeName(action.outcome)},
                       {"error", ErrorJson(action.error)}});
  }
  ordered_json routines = ordered_json::array();
  for (const auto& routine : report.routines) {
    ordered_json targets = ordered_json::array();
    for (const auto& target : routine.targets) targets.push_back(TargetJson(target));
    routines.push_back({{"name", routine.name}, {"targets", targets}});
  }
  ordered_json changes = ordered_json::array();
  for (const auto& change : report.changes) {
    changes.push_back({{"path", change.path},
                       {"before", Optional(change.before)},
                       {"after", Optional(change.after)},
                       {"saved", Optional(change.saved)},
                       {"same_data", change.same_data}});
  }
  const ordered_json json = {{"format", report.format},
                             {"plan", report.plan},
                             {"kind", report.kind},
                             {"package", report.package},
                             {"install_folder", report.install_folder},
                             {"started", report.started},
                             {"finished", report.finished},
                             {"exit_status", report.exit_status},
                             {"actions", actions},
                             {"routines", routines},
                             {"changes", changes},
                             {"programs", report.programs}};
  // Names of files from Windows may hold bytes that are no UTF-8; they are kept readable.
  return json.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

Report FromJson(std::string_view text) {
  try {
    const auto json = ordered_json::parse(text);
    Report report;
    report.format = json.at("format").get<int>();
    if (report.format != kFormat) {
      throw Failure::Runtime(kErrTypeMismatch,
                             "report: unknown format " + std::to_string(report.format));
    }
    report.plan = json.at("plan").get<bool>();
    report.kind = json.value("kind", std::string("run"));
    report.package = json.at("package").get<std::string>();
    report.install_folder = json.at("install_folder").get<std::string>();
    report.started = json.at("started").get<std::string>();
    report.finished = json.at("finished").get<std::string>();
    report.exit_status = json.at("exit_status").get<int>();
    for (const auto& value : json.at("actions")) {
      Action action;
      action.line = value.at("line").get<int>();
      action.keyword = value.at("keyword").get<std::string>();
      action.source = value.value("source", std::string());
      action.target = value.at("target").get<std::string>();
      action.outcome = ReadOutcome(value.at("outcome"), kActionOutcomes);
      action.error = ReadError(value.at("error"));
      report.actions.push_back(std::move(action));
    }
    for (const auto& value : json.at("routines")) {
      Routine routine{value.at("name").get<std::string>(), {}};
      for (const auto& target : value.at("targets")) routine.targets.push_back(ReadTarget(target));
      report.routines.push_back(std::move(routine));
    }
    for (const auto& value : json.at("changes")) {
      report.changes.push_back({value.at("path").get<std::string>(),
                                OptionalText(value.at("before")), OptionalText(value.at("after")),
                                OptionalText(value.at("saved")), value.value("same_data", false)});
    }
    if (json.contains("programs")) {
      report.programs = json.at("programs").get<std::vector<std::string>>();
    }
    return report;
  } catch (const nlohmann::json::exception& e) {
    throw Failure::Runtime(kErrTypeMismatch, std::string("report: ") + e.what());
  }
}

Routine& Recorder::BeginRoutine(std::string_view name) {
  report_.routines.push_back({std::string(name), {}});
  return report_.routines.back();
}

Target* Recorder::TargetOf(std::string_view database) {
  if (report_.routines.empty()) return nullptr;
  std::vector<Target>& targets = report_.routines.back().targets;
  for (Target& target : targets) {
    if (target.database == database) return &target;
  }
  Target& added = targets.emplace_back();
  added.database = database;
  added.outcome = TargetOutcome::kSkipped;  // until a stage migrates it
  return &added;
}

Recorder* Current() { return current; }

ScopedRecorder::ScopedRecorder(Recorder& recorder) : previous_(current) { current = &recorder; }
ScopedRecorder::~ScopedRecorder() { current = previous_; }

}  // namespace kr::report
