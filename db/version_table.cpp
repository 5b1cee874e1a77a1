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

// A tuple handed in as text: exactly three numeric parts, each read as a 32-bit integer.
std::optional<std::array<int32_t, 3>> ParseGiven(std::string_view text) {
  std::vector<std::string> parts = support::Split(text, ",");
  if (parts.size() != 3) return std::nullopt;
  std::array<int32_t, 3> numbers{};
  for (size_t i = 0; i < 3; ++i) {
    Value part(parts[i]);
    if (!part.IsNumeric()) return std::nullopt;
    numbers[i] = part.ToLong();
  }
  return numbers;
}

bool AtLeast(const Tuple& stored, int32_t year, int32_t major, int32_t minor) {
  auto c = [](int32_t n) { return Currency::FromInteger(n); };
  if (stored[0] != c(year)) return stored[0] > c(year);
  if (stored[1] != c(major)) return stored[1] > c(major);
  return stored[2] >= c(minor);
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

bool VersionAtLeast(Database& db, int32_t year, int32_t major, int32_t minor) {
  StepAndContinue steps("VersionAtLeast");
  std::optional<Tuple> stored = ParseStored(ReadStoredVer(steps, db));
  return stored && AtLeast(*stored, year, major, minor);
}

void ReadVersion(Database& db, int32_t& year, int32_t& major, int32_t& minor) {
  StepAndContinue steps("ReadVersion");
  std::optional<Tuple> stored = ParseStored(ReadStoredVer(steps, db));
  if (!stored) return;
  steps.Step([&] { year = (*stored)[0].ToInt32(); });
  steps.Step([&] { major = (*stored)[1].ToInt32(); });
  steps.Step([&] { minor = (*stored)[2].ToInt32(); });
}

void WriteVersion(Database& db, std::string_view version_text, std::string_view comment) {
  StepAndContinue steps("WriteVersion");
  std::optional<std::array<int32_t, 3>> tuple;
  steps.Step([&] { tuple = ParseGiven(version_text); });
  if (!tuple) {
    LogLine("WriteVersion: \"" + std::string(version_text) + "\" is not a version tuple");
    return;
  }
  if (VersionAtLeast(db, (*tuple)[0], (*tuple)[1], (*tuple)[2])) return;
  Recordset rs;
  steps.Step([&] { rs = db.OpenRecordset("Version"); });
  steps.Step([&] { rs.Edit(); });
  steps.Step([&] { rs["Ver"].SetValue(Value(version_text)); });
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
  std::optional<std::array<int32_t, 3>> tuple;
  steps.Step([&] { tuple = ParseGiven(text); });
  if (tuple && !VersionAtLeast(target, (*tuple)[0], (*tuple)[1], (*tuple)[2])) {
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
