// The whole-table copy through the attached table "ごみ", and its version-guarded form for the
// manifest's TABLECOPYVERSION.
#include <algorithm>

#include "db/db.h"
#include "db/link_internal.h"
#include "platform/failure.h"
#include "platform/platform.h"

namespace kr::db {

void AttachTable(Database& target, std::string_view link_name, const Database& source,
                 std::string_view source_table) {
  internal::AttachTable(target, link_name, source, source_table);
}

namespace internal {

void AttachTable(Database& target, std::string_view link_name, const Database& source,
                 std::string_view source_table) {
  TableDef link = target.CreateTableDef(link_name);
  link.SetConnect(LinkConnectString(source));
  link.SetSourceTableName(source_table);
  target.TableDefs().Append(link);
}

int64_t CountRows(Recordset& rs) {
  if (rs.Eof()) return 0;
  rs.MoveLast();
  return rs.RecordCount();
}

std::string JoinCondition(std::string_view target_table, std::string_view link_name,
                          std::string_view key_list, Naming naming) {
  if (key_list.empty()) return {};
  // Appended piece by piece: GCC 12 at -O3 takes "literal" + std::string for an overlapping
  // copy (-Wrestrict), a false alarm not worth a pragma.
  std::string condition;
  auto append_name = [&](std::string_view n) {
    if (naming == Naming::kBracketed) {
      condition += QuoteJetName(n);
    } else {
      condition += n;
    }
  };
  for (const std::string& key : support::Split(key_list, ",")) {
    if (!condition.empty()) condition += " AND ";
    condition += '(';
    append_name(target_table);
    condition += '.';
    append_name(key);
    condition += '=';
    append_name(link_name);
    condition += '.';
    append_name(key);
    condition += ')';
  }
  return condition;
}

}  // namespace internal

namespace {

constexpr std::string_view kLink = "ごみ";

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

ColumnLists MatchColumns(const Recordset& target, const Recordset& source) {
  return LeaveOnError("MatchColumns", ColumnLists{"*", "*"}, [&] {
    ColumnLists lists;
    engine::FieldCollection r = target.Fields();
    engine::FieldCollection l = source.Fields();
    int same_place = 0;
    for (int i = 0; i < r.Count(); ++i) {
      std::string name = r[i].Name();
      std::string wanted = support::UpperCase(name);
      for (int j = 0; j < l.Count(); ++j) {
        std::string partner = l[j].Name();
        if (support::UpperCase(partner) != wanted) continue;
        if (i == j) ++same_place;
        if (!lists.target.empty()) {
          lists.target += ",";
          lists.source += ",";
        }
        lists.target += name;
        lists.source += partner;
        break;
      }
    }
    if (same_place == r.Count()) {
      lists.target.assign(1, '*');
      if (r.Count() == l.Count()) lists.source.assign(1, '*');
    }
    return lists;
  });
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
    TableSpec spec = SplitTableSpec(table_spec);
    const std::string& t = spec.target;
    if (!TableExists(source, spec.source) || !TableExists(target, t)) return;
    if (TableExists(target, kLink)) target.Execute("DROP Table ごみ;");
    internal::AttachTable(target, kLink, source, spec.source);

    std::string where = NormaliseWhere(where_text);
    Recordset rows = target.OpenRecordset(t);
    Recordset selected = target.OpenRecordset("SELECT * FROM ごみ " + where + ";");
    ColumnLists lists = MatchColumns(rows, selected);
    int64_t count = internal::CountRows(selected);
    rows.Close();
    selected.Close();

    if (count > 0) {
      std::string condition = internal::JoinCondition(t, kLink, key_list, internal::Naming::kBare);
      if (!condition.empty()) {
        target.Execute("DELETE " + t + ".* FROM " + t + " INNER JOIN ごみ ON " + condition + " " +
                       QualifyKeyColumns(where, kLink, key_list) + ";");
      } else {
        target.Execute("DELETE * FROM " + t + " " + where + ";");
      }
      if (lists.target == "*") {
        target.Execute("INSERT INTO " + t + " SELECT " + lists.source + " FROM ごみ " + where +
                       ";");
      } else {
        target.Execute("INSERT INTO " + t + " (" + lists.target + ") SELECT " + lists.source +
                       " FROM ごみ " + where + ";");
      }
    }
    target.Execute("DROP Table ごみ;");
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

bool FileExists(std::string_view path) {
  return platform::Listed(path, platform::ListKind::kPlainFiles);
}

}  // namespace

CopyIfOlderResult CopyTableIfOlder(const RunContext& run, std::string_view target_path,
                                   const std::array<std::string, 4>& fields) {
  StepAndContinue steps("CopyTableIfOlder");
  PackedArguments a = Unpack(steps, fields[3]);
  std::string source_path = run.package_folder + a.source_file;
  if (a.source_file.empty() || a.year == 0) return CopyIfOlderResult::kBadArguments;
  if (!FileExists(source_path)) return CopyIfOlderResult::kDone;
  Database source;
  // A source that exists but cannot be opened is treated as missing: nothing is backed up,
  // copied or stamped, so that the copy runs again once the package is repaired.
  if (!steps.Step([&] { source = OpenAppDatabase(source_path); })) return CopyIfOlderResult::kDone;

  if (FileExists(target_path)) {
    Database target;
    steps.Step([&] { target = OpenAppDatabase(target_path); });
    if (!steps.Call([&] { return VersionAtLeast(target, {a.year, a.major, a.minor}); })) {
      steps.Step([&] { target.Close(); });
      steps.Call([&] { BackupDatabase(run, target_path); });
      steps.Step([&] { target = OpenAppDatabase(target_path); });
      steps.Call([&] { CopyTable(source, target, fields[1], fields[2], a.key_list); });
      if (a.stamp) {
        steps.Call([&] { WriteVersion(target, {a.year, a.major, a.minor}, ""); });
      }
    }
    steps.Step([&] { target.Close(); });
  }
  steps.Step([&] { source.Close(); });
  steps.Clear();
  return CopyIfOlderResult::kDone;
}

}  // namespace kr::db
