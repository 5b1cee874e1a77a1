// The one-row Version table: the release a database holds, and the tags of interim updates.
#include <array>
#include <optional>

#include "db/db.h"
#include "platform/failure.h"

namespace kr::db {

namespace {

using Tuple = std::array<Currency, 3>;

// A stored Ver text is valid when it splits at "," into exactly three parts; a part that is
// not a number counts as 0.
std::optional<Tuple> ParseStored(const std::string& text) {
  if (text.empty()) return std::nullopt;
  std::vector<std::string> parts = support::Split(text, ",");
  if (parts.size() != 3) return std::nullopt;
  return Tuple{NzNumber(Value(parts[0])), NzNumber(Value(parts[1])), NzNumber(Value(parts[2]))};
}

bool AtLeast(const Tuple& stored, const VersionTuple& tuple) {
  auto c = [](int32_t n) { return Currency::FromInteger(n); };
  if (stored[0] != c(tuple.year)) return stored[0] > c(tuple.year);
  if (stored[1] != c(tuple.major)) return stored[1] > c(tuple.major);
  return stored[2] >= c(tuple.minor);
}

// The first field of the first row of Version, "" when there is none.
std::string ReadStoredVer(StepAndContinue& steps, Database& db) {
  Recordset rs;
  std::string text;
  steps.Step([&] { rs = db.OpenRecordset("Version"); });
  steps.Step([&] {
    if (!rs.Eof()) text = NzString(rs.Fields()[0].GetValue());
  });
  steps.Step([&] { rs.Close(); });
  return text;
}

std::string ReadComment(StepAndContinue& steps, Database& db) {
  Recordset rs;
  std::string comment;
  steps.Step([&] { rs = db.OpenRecordset("Version"); });
  steps.Step([&] { comment = NzString(rs["Comment"].GetValue()); });
  steps.Step([&] { rs.Close(); });
  return comment;
}

}  // namespace

std::string VersionTuple::Text() const {
  return std::to_string(year) + "," + std::to_string(major) + "," + std::to_string(minor);
}

std::optional<VersionTuple> VersionTuple::Parse(std::string_view text) {
  std::vector<std::string> parts = support::Split(text, ",");
  if (parts.size() != 3) return std::nullopt;
  std::array<int32_t, 3> numbers{};
  for (size_t i = 0; i < 3; ++i) {
    Value part(parts[i]);
    if (!part.IsNumeric()) return std::nullopt;
    std::optional<int32_t> number;
    LeaveOnError("VersionTuple", [&] { number = part.ToLong(); });
    if (!number) return std::nullopt;
    numbers[i] = *number;
  }
  return VersionTuple{numbers[0], numbers[1], numbers[2]};
}

bool VersionAtLeast(Database& db, const VersionTuple& tuple) {
  StepAndContinue steps("VersionAtLeast");
  std::optional<Tuple> stored = ParseStored(ReadStoredVer(steps, db));
  return stored && AtLeast(*stored, tuple);
}

std::optional<VersionTuple> ReadVersion(Database& db) {
  StepAndContinue steps("ReadVersion");
  std::optional<Tuple> stored = ParseStored(ReadStoredVer(steps, db));
  if (!stored) return std::nullopt;
  VersionTuple tuple;
  bool fits = steps.Step([&] {
    tuple = {(*stored)[0].ToInt32(), (*stored)[1].ToInt32(), (*stored)[2].ToInt32()};
  });
  if (!fits) return std::nullopt;
  return tuple;
}

void WriteVersion(Database& db, const VersionTuple& tuple, std::string_view comment) {
  StepAndContinue steps("WriteVersion");
  if (VersionAtLeast(db, tuple)) return;
  Recordset rs;
  steps.Step([&] { rs = db.OpenRecordset("Version"); });
  steps.Step([&] { rs.Edit(); });
  steps.Step([&] { rs["Ver"].SetValue(Value(tuple.Text())); });
  if (!comment.empty()) steps.Step([&] { rs["Comment"].SetValue(Value(comment)); });
  steps.Step([&] { rs.Update(); });
  steps.Step([&] { rs.Close(); });
}

void CopyVersion(Database& source, Database& target) {
  StepAndContinue steps("CopyVersion");
  Recordset from;
  std::string text;
  steps.Step([&] { from = source.OpenRecordset("Version"); });
  steps.Step([&] { text = NzString(from.Fields()[0].GetValue()); });
  std::optional<VersionTuple> tuple = VersionTuple::Parse(text);
  if (tuple && !VersionAtLeast(target, *tuple)) {
    Recordset to;
    steps.Step([&] { to = target.OpenRecordset("Version"); });
    steps.Step([&] { to.Edit(); });
    steps.Step([&] { to["Ver"].SetValue(from["Ver"].GetValue()); });
    steps.Step([&] { to.Update(); });
    steps.Step([&] { to.Close(); });
  }
  steps.Step([&] { from.Close(); });
}

void SetVersionComment(Database& db, std::string_view text, bool append) {
  StepAndContinue steps("SetVersionComment");
  Recordset rs;
  if (!steps.Step([&] { rs = db.OpenRecordset("Version"); })) return;
  if (rs.Eof()) return;
  steps.Step([&] { rs.Edit(); });
  steps.Step([&] {
    std::string comment = append ? NzString(rs["Comment"].GetValue()) : std::string();
    rs["Comment"].SetValue(Value(comment + std::string(text)));
  });
  steps.Step([&] { rs.Update(); });
  steps.Step([&] { rs.Close(); });
}

bool CommentHasTag(Database& db, std::string_view tag) {
  StepAndContinue steps("CommentHasTag");
  std::string comment = ReadComment(steps, db);
  if (steps.failed()) return false;
  return (comment + ",").find(std::string(tag) + ",") != std::string::npos;
}

std::string ReadVersionComment(Database& db) {
  StepAndContinue steps("ReadVersionComment");
  return ReadComment(steps, db);
}

}  // namespace kr::db
