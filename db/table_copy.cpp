// The whole-table copy through the attached table "ごみ", and its version-guarded form for the
// manifest's TABLECOPYVERSION.
#include <algorithm>

#include "db/db.h"
#include "db/link_internal.h"
#include "platform/failure.h"
#include "platform/platform.h"

namespace kr::db {

namespace {

constexpr internal::LinkStyle kCopyStyle{"ごみ", false, TableExists};

}  // namespace

TableSpec SplitTableSpec(std::string_view spec) {
  size_t comma = spec.find(',');
  if (comma == std::string_view::npos) return {std::string(spec), std::string(spec)};
  // Only the first two parts count, as the split of the original did.
  std::vector<std::string> parts = support::Split(spec, ",");
  return {parts[0], parts[1]};
}

std::string NormaliseWhere(std::string_view where_text) {
  if (support::Trim(where_text).empty()) return std::string(where_text);
  if (support::UpperCase(support::CharLeft(where_text, 6)) == "WHERE ") {
    return std::string(where_text);
  }
  return "WHERE " + std::string(where_text);
}

std::string QualifyKeyColumns(std::string_view where_text, std::string_view prefix,
                              std::string_view key_list) {
  std::string original(where_text);
  return LeaveOnError("QualifyKeyColumns", original, [&] {
    std::string text = original;
    std::string qualifier = std::string(prefix) + ".";
    for (const std::string& key : support::Split(key_list, ",")) {
      if (key.empty()) continue;
      size_t at = text.find(key);
      while (at != std::string::npos) {
        if (at == 0) {
          // The character before the first one does not exist.
          throw Failure::Runtime(kErrInvalidCall, "key column at the start of the where text");
        }
        char before = text[at - 1];
        if (before != '.' && before != '!') {
          text.insert(at, qualifier);
          at += qualifier.size();
        }
        // Go on after the first character of this occurrence (a whole UTF-8 character).
        size_t next = at + 1;
        while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80) {
          ++next;
        }
        at = text.find(key, next);
      }
    }
    return text;
  });
}

void CopyTable(Database& source, Database& target, std::string_view table_spec,
               std::string_view where_text, std::string_view key_list) {
  LeaveOnError("CopyTable", [&] {
    internal::CopyThroughLink(kCopyStyle, source, target, table_spec, where_text, key_list,
                              internal::Halves::kDeleteAndInsert);
  });
}

// --- TABLECOPYVERSION ---------------------------------------------------------------------------

namespace {

struct PackedArguments {
  std::string key_list;
  std::string source_file;
  int16_t year = 0, major = 0, minor = 0;
  bool stamp = false;
};

// Field 3 of the line: "keys|source file|year|major|minor|stamp flag", missing parts empty.
PackedArguments Unpack(StepAndContinue& steps, std::string_view packed) {
  std::vector<std::string> parts = support::Split(packed, "|");
  parts.resize(std::max<size_t>(parts.size(), 6));
  PackedArguments a;
  a.key_list = parts[0];
  a.source_file = parts[1];
  steps.Step([&] { a.year = NzNumber(Value(parts[2])).ToInt16(); });
  steps.Step([&] { a.major = NzNumber(Value(parts[3])).ToInt16(); });
  steps.Step([&] { a.minor = NzNumber(Value(parts[4])).ToInt16(); });
  a.stamp = support::UpperCase(parts[5]) == "TRUE";
  return a;
}

}  // namespace

CopyIfOlderResult CopyTableIfOlder(RunContext& run, std::string_view target_path,
                                   const std::array<std::string, 4>& fields) {
  StepAndContinue steps("CopyTableIfOlder");
  PackedArguments a = Unpack(steps, fields[3]);
  std::string source_path = run.package_folder + a.source_file;
  if (a.source_file.empty() || a.year == 0) return CopyIfOlderResult::kBadArguments;
  if (!platform::FileExists(source_path)) return CopyIfOlderResult::kDone;
  Database source;
  // A source that exists but cannot be opened is treated as missing: nothing is backed up,
  // copied or stamped, so that the copy runs again once the package is repaired.
  if (!steps.Step([&] { source = OpenAppDatabase(source_path); })) return CopyIfOlderResult::kDone;

  if (platform::FileExists(target_path)) {
    Database target;
    steps.Step([&] { target = OpenAppDatabase(target_path); });
    if (!steps.Call([&] { return VersionAtLeast(target, {a.year, a.major, a.minor}); })) {
      steps.Step([&] { target.Close(); });
      // Without a copy of the table as it was, the user's rows would have nowhere to come back
      // from: the table stays as it is, unstamped, and the next run tries again.
      if (steps.Value(false, [&] { return BackupDatabase(run, target_path); })) {
        steps.Step([&] { target = OpenAppDatabase(target_path); });
        steps.Call([&] { CopyTable(source, target, fields[1], fields[2], a.key_list); });
        if (a.stamp) {
          steps.Call([&] { WriteVersion(target, {a.year, a.major, a.minor}, ""); });
        }
      } else {
        LogLine("CopyTableIfOlder: " + std::string(target_path) + ": left as it was (no backup)");
        run.unfinished.insert(std::string(target_path));
      }
    }
    steps.Step([&] { target.Close(); });
  }
  steps.Step([&] { source.Close(); });
  steps.Clear();
  return CopyIfOlderResult::kDone;
}

}  // namespace kr::db
