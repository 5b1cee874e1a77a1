// What the whole-table copy and the row transfer share: the attached source table, the column
// pairing and the delete-and-insert body.
#include <exception>
#include <optional>
#include <vector>

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

}  // namespace internal

namespace {

// Runs work as one unit of target: a failure leaves nothing of it and passes on.
void AsOneUnit(Database& target, const std::function<void()>& work) {
  target.BeginTrans();
  std::optional<Failure> failure = kr::internal::Capture(work, Origin::Here());
  if (!failure) {
    target.CommitTrans();
    return;
  }
  target.Rollback();
  throw *failure;
}

// A key value as a Jet literal; nothing for a kind no key of ours has.
std::optional<std::string> KeyLiteral(const Value& value) {
  switch (value.kind()) {
    case Value::Kind::kText:
      return QuoteJetText(value.text());
    case Value::Kind::kByte:
    case Value::Kind::kInteger:
    case Value::Kind::kLong:
    case Value::Kind::kCurrency:
    case Value::Kind::kSingle:
    case Value::Kind::kDouble:
      return value.ToText();
    default:
      return std::nullopt;
  }
}

struct KeyMatch {
  std::string condition;  // "([Code]='x')"
  std::string shown;      // "Code=x", for the log
  int64_t rows = 0;       // the selected source rows with that key
};

// The selected source rows' keys, each as the condition that finds its rows. Pass-through.
std::vector<KeyMatch> SourceKeys(const internal::LinkStyle& style, Database& target,
                                 const std::string& where, const std::vector<std::string>& keys) {
  std::string columns;
  for (const std::string& key : keys) {
    if (!columns.empty()) columns += ",";
    columns += Named(true, key);
  }
  Recordset rows = target.OpenRecordset("SELECT " + columns + ", COUNT(*) FROM " +
                                            Named(style.bracketed, style.link) + " " + where +
                                            " GROUP BY " + columns + ";",
                                        engine::kOpenSnapshot);
  std::vector<KeyMatch> matches;
  for (; !rows.Eof(); rows.MoveNext()) {
    KeyMatch match;
    for (size_t i = 0; i < keys.size(); ++i) {
      Value value = rows.Fields()[static_cast<int>(i)].GetValue();
      std::optional<std::string> literal = KeyLiteral(value);
      if (!value.IsNull() && !literal) {
        throw Failure::Runtime(kErrTypeMismatch, "a key of " + keys[i] + " cannot be written");
      }
      if (i > 0) {
        match.condition += " AND ";
        match.shown += ",";
      }
      match.condition += Named(true, keys[i]) + (value.IsNull() ? " IS NULL" : "=" + *literal);
      match.shown += keys[i] + "=" + (value.IsNull() ? std::string("Null") : value.ToText());
    }
    match.condition = "(" + match.condition + ")";
    match.rows = NzNumber(rows.Fields()[static_cast<int>(keys.size())].GetValue()).scaled() /
                 Currency::kScale;
    matches.push_back(std::move(match));
  }
  rows.Close();
  return matches;
}

}  // namespace

namespace internal {

void CopyThroughLink(const LinkStyle& style, Database& source, Database& target,
                     std::string_view table_spec, std::string_view where_text,
                     std::string_view key_list, Halves halves) {
  // The copy runs as one unit of target, and a linked source is usable inside one only when its
  // file was attached before.
  if (!target.InTransaction() && source.IsOpen()) target.AttachAhead(source.Name());
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

    // The engine skips a row it cannot take, as Jet does; here that row's old version would be
    // gone for nothing, so a skipped row fails the insert.
    auto insert = [&](const std::string& selection, int64_t rows) {
      if (lists.target == "*") {
        target.Execute("INSERT INTO " + t + " SELECT " + lists.source + " FROM " + link + " " +
                       selection + ";");
      } else {
        target.Execute("INSERT INTO " + t + " (" + lists.target + ") SELECT " + lists.source +
                       " FROM " + link + " " + selection + ";");
      }
      if (rows >= 0 && target.RecordsAffected() < rows) {
        throw Failure(kErrInvalidCall, std::string(RuntimeErrorDescription(kErrInvalidCall)),
                      std::to_string(rows - target.RecordsAffected()) + " row(s) for " +
                          spec.target + " could not be taken");
      }
    };
    std::string condition = JoinCondition(style, spec.target, key_list);
    std::optional<Failure> whole = kr::internal::Capture(
        [&] {
          AsOneUnit(target, [&] {
            if (!condition.empty()) {
              target.Execute("DELETE " + t + ".* FROM " + t + " INNER JOIN " + link + " ON " +
                             condition + " " + QualifyKeyColumns(where, style.link, key_list) +
                             ";");
            } else {
              target.Execute("DELETE * FROM " + t + " " + where + ";");
            }
            if (halves == Halves::kDeleteAndInsert) insert(where, count);
          });
        },
        Origin::Here());
    if (!whole) return;
    if (condition.empty() || halves == Halves::kDeleteOnly) throw *whole;
    // Some source row cannot go in (too long a text, a value of the wrong type, a key taken):
    // key by key, a target row is replaced only by a new version that went in.
    StepAndContinue steps("TransferRows");
    steps.SetPlace(spec.target);
    std::string rest = where.empty() ? std::string() : "(" + where.substr(6) + ") AND ";
    for (const KeyMatch& key : SourceKeys(style, target, where, support::Split(key_list, ","))) {
      steps.SetStep(key.shown + " kept as it was");
      steps.Step([&] {
        AsOneUnit(target, [&] {
          target.Execute("DELETE * FROM " + t + " WHERE " + key.condition + ";");
          insert("WHERE " + rest + key.condition, key.rows);
        });
      });
    }
  });
}

}  // namespace internal
}  // namespace kr::db
