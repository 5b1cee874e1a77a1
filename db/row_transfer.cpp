// The row transfer of the update routines, through the attached table "LinkHikitugi".
#include "db/db.h"
#include "db/link_internal.h"
#include "platform/failure.h"

namespace kr::db {

namespace {

constexpr std::string_view kLink = "LinkHikitugi";

enum class Halves { kDeleteAndInsert, kDeleteOnly };

void DropLeftOverLink(Database& target) {
  if (HasTable(target, kLink)) target.Execute("DROP Table LinkHikitugi;");
}

// Steps 1 to 4 shared by the three operations: false when a table is missing (nothing done).
bool Attach(Database& source, Database& target, const TableSpec& spec) {
  if (!HasTable(source, spec.source) || !HasTable(target, spec.target)) return false;
  DropLeftOverLink(target);
  internal::AttachTable(target, kLink, source, spec.source);
  return true;
}

void Transfer(Database& source, Database& target, std::string_view table_spec,
              std::string_view where_text, std::string_view key_list, Halves halves) {
  TableSpec spec = SplitTableSpec(table_spec);
  if (!Attach(source, target, spec)) return;
  const std::string t = QuoteJetName(spec.target);

  std::string where = NormaliseWhere(where_text);
  Recordset rows = target.OpenRecordset(spec.target);
  Recordset selected = target.OpenRecordset("SELECT * FROM LinkHikitugi " + where + ";");
  ColumnLists lists = MatchColumnsTyped("", kLink, rows, selected);
  int64_t count = internal::CountRows(selected);
  rows.Close();
  selected.Close();

  if (count > 0) {
    std::string condition =
        internal::JoinCondition(spec.target, kLink, key_list, internal::Naming::kBracketed);
    if (!condition.empty()) {
      target.Execute("DELETE " + t + ".* FROM " + t + " INNER JOIN [LinkHikitugi] ON " + condition +
                     " " + QualifyKeyColumns(where, kLink, key_list) + ";");
    } else {
      target.Execute("DELETE * FROM " + t + " " + where + ";");
    }
    if (halves == Halves::kDeleteAndInsert) {
      if (lists.target == "*") {
        target.Execute("INSERT INTO " + t + " SELECT " + lists.source + " FROM [LinkHikitugi] " +
                       where + ";");
      } else {
        target.Execute("INSERT INTO " + t + " (" + lists.target + ") SELECT " + lists.source +
                       " FROM [LinkHikitugi] " + where + ";");
      }
    }
  }
  DropLeftOverLink(target);
}

}  // namespace

void TransferRows(Database& source, Database& target, std::string_view table_spec,
                  std::string_view where_text, std::string_view key_list) {
  LeaveOnError("TransferRows", [&] {
    Transfer(source, target, table_spec, where_text, key_list, Halves::kDeleteAndInsert);
  });
}

void DeleteMatchingRows(Database& source, Database& target, std::string_view table_spec,
                        std::string_view where_text, std::string_view key_list) {
  LeaveOnError("DeleteMatchingRows", [&] {
    Transfer(source, target, table_spec, where_text, key_list, Halves::kDeleteOnly);
  });
}

void ExecuteWithLink(Database& source, Database& target, std::string_view table_spec,
                     const std::vector<std::string>& statements) {
  LeaveOnError("ExecuteWithLink", [&] {
    if (!Attach(source, target, SplitTableSpec(table_spec))) return;
    for (const std::string& statement : statements) {
      if (!statement.empty()) target.Execute(statement);
    }
    DropLeftOverLink(target);
  });
}

ColumnLists MatchColumnsTyped(std::string_view target_prefix, std::string_view source_prefix,
                              const Recordset& target, const Recordset& source) {
  return LeaveOnError("MatchColumnsTyped", ColumnLists{"*", "*"}, [&] {
    std::string p(target_prefix), q(source_prefix);
    if (!p.empty()) p += ".";
    if (!q.empty()) q += ".";
    ColumnLists lists;
    bool any_conversion = false;
    int same_place = 0;
    engine::FieldCollection r = target.Fields();
    engine::FieldCollection l = source.Fields();
    for (int i = 0; i < r.Count(); ++i) {
      engine::Field field = r[i];
      std::string wanted = support::UpperCase(field.Name());
      for (int j = 0; j < l.Count(); ++j) {
        engine::Field partner = l[j];
        if (support::UpperCase(partner.Name()) != wanted) continue;
        if (i == j) ++same_place;
        bool convert = field.Type() == engine::kDouble && partner.Type() == engine::kSingle;
        any_conversion = any_conversion || convert;
        if (!lists.target.empty()) {
          lists.target += ",";
          lists.source += ",";
        }
        lists.target += p + QuoteJetName(field.Name());
        std::string item = q + QuoteJetName(partner.Name());
        lists.source += convert ? "CCur(" + item + ")" : item;
        break;
      }
    }
    if (!any_conversion && same_place == r.Count()) {
      lists.target = "*";
      if (l.Count() == r.Count()) lists.source = "*";
    }
    return lists;
  });
}

}  // namespace kr::db
