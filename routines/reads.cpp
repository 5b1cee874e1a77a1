// What the catalogue's rows read from their sources, for tools that check a package before it
// runs (kr-updater-cli --check).
#include <algorithm>
#include <array>
#include <cctype>

#include "routines/catalogue.h"
#include "routines/variants.h"
#include "support/support.h"

namespace kr::routines {

namespace {

constexpr std::array<std::string_view, 14> kJetWords = {"AND",  "OR",  "NOT",     "IS",    "NULL",
                                                        "LIKE", "IN",  "BETWEEN", "TRUE",  "FALSE",
                                                        "XOR",  "MOD", "WHERE",   "SELECT"};

bool IsJetWord(std::string_view word) {
  std::string upper = support::UpperCase(word);
  return std::find(kJetWords.begin(), kJetWords.end(), upper) != kJetWords.end();
}

bool IsNameByte(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

void AddColumn(std::vector<std::string>& columns, std::string name) {
  if (name.empty()) return;
  if (std::find(columns.begin(), columns.end(), name) == columns.end())
    columns.push_back(std::move(name));
}

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  for (const std::string& part : support::Split(text, std::string_view(&separator, 1))) {
    std::string trimmed = support::Trim(part);
    if (!trimmed.empty()) parts.push_back(trimmed);
  }
  return parts;
}

class Collector {
 public:
  explicit Collector(RoutineReads& reads) : reads_(reads) {}

  void Steps(const std::vector<Step>& steps, const std::string& source) {
    for (const Step& step : steps) One(step, source);
  }

 private:
  void One(const Step& step, const std::string& source) {
    if (step.gate) Steps(step.gated, source);
    const std::string table = step.tables.empty() ? std::string() : step.tables.front();
    switch (step.op) {
      case Op::kTransfer:
      case Op::kDeleteMatching:
      case Op::kCopyTable:
        Add(step, source, step.tables, true);
        return;
      case Op::kKeepOld:  // the old table is made from the source's definition
      case Op::kTransferTable:
      case Op::kTransferTableAs:
      case Op::kRefreshDistrictPrices:
        if (!table.empty()) Add(step, source, {table}, false);
        return;
      default:
        return;  // the target's statements, tests, progress, named procedures
    }
  }

  void Add(const Step& step, const std::string& source, const std::vector<std::string>& tables,
           bool with_columns) {
    if (tables.empty()) return;
    TableRead read;
    read.source = source;
    read.tables = tables;
    read.variant = tables.size() == 1 && MarkOf(tables.front()) != Mark::kNone;
    // Where the variant does not apply, the standard table of the target stands in for it.
    if (read.variant && !step.target.empty() && step.target != tables.front())
      read.tables.push_back(step.target);
    if (with_columns) {
      for (std::string& key : Split(step.keys, ',')) AddColumn(read.columns, std::move(key));
      for (std::string& column : ColumnsOf(step.where)) AddColumn(read.columns, std::move(column));
    }
    read.step = step.written;
    reads_.tables.push_back(std::move(read));
  }

  RoutineReads& reads_;
};

}  // namespace

std::vector<std::string> ColumnsOf(std::string_view condition) {
  std::vector<std::string> columns;
  size_t i = 0;
  while (i < condition.size()) {
    char c = condition[i];
    if (c == '\'' || c == '"' || c == '#') {
      size_t close = condition.find(c, i + 1);
      i = close == std::string_view::npos ? condition.size() : close + 1;
    } else if (c == '[') {
      size_t close = condition.find(']', i + 1);
      if (close == std::string_view::npos) break;
      std::string name(condition.substr(i + 1, close - i - 1));
      i = close + 1;
      // A qualified name (T.[c]) is the column after the last dot, as is T.c below.
      if (i < condition.size() && condition[i] == '.') continue;
      AddColumn(columns, std::move(name));
    } else if (IsNameByte(c) && std::isdigit(static_cast<unsigned char>(c)) == 0) {
      size_t end = i;
      while (end < condition.size() && IsNameByte(condition[end])) ++end;
      std::string_view word = condition.substr(i, end - i);
      size_t next = condition.find_first_not_of(" \t", end);
      bool call = next != std::string_view::npos && condition[next] == '(';
      bool qualifier = end < condition.size() && condition[end] == '.';
      if (!call && !qualifier && !IsJetWord(word)) AddColumn(columns, std::string(word));
      i = end;
    } else if (std::isdigit(static_cast<unsigned char>(c)) != 0) {
      while (i < condition.size() && IsNameByte(condition[i])) ++i;
    } else {
      ++i;
    }
  }
  return columns;
}

RoutineReads ReadsOf(const Routine& routine) {
  RoutineReads reads;
  for (const std::string& source : routine.sources) {
    std::string upper = support::UpperCase(source);
    if (upper.size() > 4 && upper.substr(upper.size() - 4) == ".MDB")
      reads.databases.push_back(source);
  }
  // The first knowledge-base conversion reads a source of the older releases' password first.
  reads.keyings = routine.body == Update2014CriInsertKB
                      ? std::vector<db::Keying>{db::Keying::kFormer, db::Keying::kCurrent}
                      : std::vector<db::Keying>{db::Keying::kCurrent};
  if (reads.databases.empty()) return reads;
  const std::string& first = reads.databases.front();
  const std::string& second = reads.databases.size() > 1 ? reads.databases[1] : first;
  Collector collector(reads);
  for (const Step& test : routine.condition) collector.Steps(test.gated, first);
  collector.Steps(routine.steps, first);
  collector.Steps(routine.second_stage, second);
  collector.Steps(routine.extra_steps, second);
  return reads;
}

}  // namespace kr::routines
