// What the whole-table copy and the row transfer share: the attached source table, the column
// pairing and the delete-and-insert body.
#include <exception>

#include "db/db.h"
#include "db/link_internal.h"
#include "platform/failure.h"

namespace kr::db {

void AttachTable(Database& target, std::string_view link_name, const Database& source,
                 std::string_view source_table) {
  TableDef link = target.CreateTableDef(link_name);
  link.SetConnect(LinkConnectString(source));
  link.SetSourceTableName(source_table);
  target.TableDefs().Append(link);
}

AttachedTable::AttachedTable(Database& target, std::string_view name, const Database& source,
                             std::string_view source_table, OnUnwind on_unwind)
    : target_(target),
      name_(name),
      on_unwind_(on_unwind),
      exceptions_at_start_(std::uncaught_exceptions()) {
  if (HasTable(target_, name_)) target_.Execute("DROP Table " + name_ + ";");
  AttachTable(target_, name_, source, source_table);
  attached_ = true;
}

AttachedTable::~AttachedTable() {
  if (!attached_) return;
  if (on_unwind_ == OnUnwind::kLeave && std::uncaught_exceptions() > exceptions_at_start_) return;
  LeaveOnError("drop of the attached table " + name_, [&] { Drop(); });
}

void AttachedTable::Drop() {
  if (HasTable(target_, name_)) target_.Execute("DROP Table " + name_ + ";");
  attached_ = false;
}

namespace {

// Appended piece by piece: GCC 12 at -O3 takes "literal" + std::string for an overlapping copy
// (-Wrestrict), a false alarm not worth a pragma.
std::string Named(bool bracketed, std::string_view name) {
  std::string named;
  if (bracketed) named += '[';
  named += name;
  if (bracketed) named += ']';
  return named;
}

// The pairing of both matchers; a prefix is used as given (with its ".").
ColumnLists PairColumns(const Recordset& target, const Recordset& source, bool typed,
                        const std::string& p, const std::string& q) {
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
      bool convert = typed && field.Type() == engine::kDouble && partner.Type() == engine::kSingle;
      any_conversion = any_conversion || convert;
      if (!lists.target.empty()) {
        lists.target += ",";
        lists.source += ",";
      }
      lists.target += p + Named(typed, field.Name());
      std::string item = q + Named(typed, partner.Name());
      lists.source += convert ? "CCur(" + item + ")" : item;
      break;
    }
  }
  if (!any_conversion && same_place == r.Count()) {
    lists.target = "*";
    if (l.Count() == r.Count()) lists.source = "*";
  }
  return lists;
}

// The rows of rs: 0 at end-of-file, else the record count after moving to the last row.
int64_t CountRows(Recordset& rs) {
  if (rs.Eof()) return 0;
  rs.MoveLast();
  return rs.RecordCount();
}

// The keys split at "," joined as "(T.k=link.k)" terms with " AND ", "" for an empty list.
std::string JoinCondition(const internal::LinkStyle& style, std::string_view target_table,
                          std::string_view key_list) {
  std::string condition;
  if (key_list.empty()) return condition;
  for (const std::string& key : support::Split(key_list, ",")) {
    if (!condition.empty()) condition += " AND ";
    condition += '(';
    condition += Named(style.bracketed, target_table);
    condition += '.';
    condition += Named(style.bracketed, key);
    condition += '=';
    condition += Named(style.bracketed, style.link);
    condition += '.';
    condition += Named(style.bracketed, key);
    condition += ')';
  }
  return condition;
}

}  // namespace

ColumnLists MatchColumns(const Recordset& target, const Recordset& source) {
  return LeaveOnError("MatchColumns", ColumnLists{"*", "*"},
                      [&] { return PairColumns(target, source, false, "", ""); });
}

ColumnLists MatchColumnsTyped(std::string_view target_prefix, std::string_view source_prefix,
                              const Recordset& target, const Recordset& source) {
  return LeaveOnError("MatchColumnsTyped", ColumnLists{"*", "*"}, [&] {
    std::string p(target_prefix), q(source_prefix);
    if (!p.empty()) p += ".";
    if (!q.empty()) q += ".";
    return PairColumns(target, source, true, p, q);
  });
}

namespace internal {

void WithLink(const LinkStyle& style, Database& source, Database& target,
              std::string_view table_spec, const std::function<void(const TableSpec&)>& work) {
  TableSpec spec = SplitTableSpec(table_spec);
  if (!style.has_table(source, spec.source) || !style.has_table(target, spec.target)) return;
  AttachedTable link(target, style.link, source, spec.source, AttachedTable::OnUnwind::kLeave);
  work(spec);
  link.Drop();
}

void CopyThroughLink(const LinkStyle& style, Database& source, Database& target,
                     std::string_view table_spec, std::string_view where_text,
                     std::string_view key_list, Halves halves) {
  WithLink(style, source, target, table_spec, [&](const TableSpec& spec) {
    const std::string t = Named(style.bracketed, spec.target);
    const std::string link = Named(style.bracketed, style.link);
    std::string where = NormaliseWhere(where_text);
    Recordset rows = target.OpenRecordset(spec.target);
    Recordset selected =
        target.OpenRecordset("SELECT * FROM " + std::string(style.link) + " " + where + ";");
    ColumnLists lists = style.bracketed ? MatchColumnsTyped("", style.link, rows, selected)
                                        : MatchColumns(rows, selected);
    int64_t count = CountRows(selected);
    rows.Close();
    selected.Close();
    if (count == 0) return;

    std::string condition = JoinCondition(style, spec.target, key_list);
    if (!condition.empty()) {
      target.Execute("DELETE " + t + ".* FROM " + t + " INNER JOIN " + link + " ON " + condition +
                     " " + QualifyKeyColumns(where, style.link, key_list) + ";");
    } else {
      target.Execute("DELETE * FROM " + t + " " + where + ";");
    }
    if (halves == Halves::kDeleteOnly) return;
    if (lists.target == "*") {
      target.Execute("INSERT INTO " + t + " SELECT " + lists.source + " FROM " + link + " " +
                     where + ";");
    } else {
      target.Execute("INSERT INTO " + t + " (" + lists.target + ") SELECT " + lists.source +
                     " FROM " + link + " " + where + ";");
    }
  });
}

}  // namespace internal
}  // namespace kr::db
