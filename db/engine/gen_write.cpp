// INSERT, UPDATE and DELETE. Without the fail-on-error option a row that breaks a constraint is
// skipped (OR IGNORE); values written into a field take its type (StoreAs).
//   INSERT INTO t SELECT ... without a column list pairs columns by name, as Access does; with
//   VALUES it pairs them by position.
//   UPDATE a INNER JOIN b ON ... SET ... becomes UPDATE a ... FROM b WHERE <on> AND <where>.
//   UPDATE a LEFT JOIN b ON ... SET ... changes every row of a, b's columns Null where no row
//   of b matches: UPDATE a ... FROM (a LEFT JOIN b, with a's rowid) AS b WHERE that rowid.
//   DELETE t.* FROM t INNER JOIN ... deletes the rows of t whose rowid the join selects.
#include "db/engine/dao_errors.h"
#include "db/engine/generator_internal.h"
#include "db/engine/write_statements.h"

namespace kr::db::engine::internal {

namespace {

std::string TargetSql(const ScopeTable& t) {
  return SqlIdentifier(t.schema) + "." + SqlIdentifier(t.table);
}

const FieldDef& TargetField(const ScopeTable& t, std::string_view name) {
  for (const FieldDef& f : t.fields)
    if (SameName(f.name, name)) return f;
  Raise(kDaoUnknownInsertField, name);
}

void CollectOnConditions(const TableRef& ref, Scope& scope, std::vector<std::string>& out) {
  if (ref.kind != TableRef::Kind::kJoin) return;
  CollectOnConditions(*ref.left, scope, out);
  CollectOnConditions(*ref.right, scope, out);
  if (ref.on) out.push_back("(" + RenderCondition(*ref.on, scope) + ")");
}

// Every column of expr belongs to table (no subqueries).
bool OnlyColumnsOf(const Expr& expr, Scope& scope, const ScopeTable* table) {
  if (expr.select) return false;
  if (expr.kind == ExprKind::kColumn) return scope.Find(expr).table == table;
  for (const ExprPtr& arg : expr.args)
    if (arg && !OnlyColumnsOf(*arg, scope, table)) return false;
  return true;
}

// The key pairs of an ON condition made of "target.a = other.b" terms joined by AND.
bool KeyPairs(const Expr& on, Scope& scope, const ScopeTable* target, const ScopeTable* other,
              std::vector<std::pair<std::string, std::string>>& pairs) {
  if (on.kind == ExprKind::kBinary && on.binary_op == BinaryOp::kAnd)
    return KeyPairs(*on.args[0], scope, target, other, pairs) &&
           KeyPairs(*on.args[1], scope, target, other, pairs);
  if (on.kind != ExprKind::kBinary || on.binary_op != BinaryOp::kEqual) return false;
  const Expr& a = *on.args[0];
  const Expr& b = *on.args[1];
  if (a.kind != ExprKind::kColumn || b.kind != ExprKind::kColumn) return false;
  Scope::Found fa = scope.Find(a), fb = scope.Find(b);
  if (fa.table == target && fb.table == other)
    pairs.emplace_back(scope.ResolveColumn(a).sql, scope.ResolveColumn(b).sql);
  else if (fa.table == other && fb.table == target)
    pairs.emplace_back(scope.ResolveColumn(b).sql, scope.ResolveColumn(a).sql);
  else
    return false;
  return true;
}

}  // namespace

std::string GenerateInsert(DatabaseImpl& db, const Insert& insert, bool fail_on_error) {
  Scope target_scope(db, nullptr);
  const TableInfo* info = db.catalog().Find(insert.table);
  if (info == nullptr) Raise(kDaoOutputTableNotFound, insert.table);
  ScopeTable target = target_scope.AddTable(insert.table, "");
  std::string head = std::string(fail_on_error ? "INSERT INTO " : "INSERT OR IGNORE INTO ") +
                     TargetSql(target) + " (";
  std::vector<const FieldDef*> fields;
  for (const std::string& column : insert.columns) {
    const FieldDef& f = TargetField(target, column);
    for (const FieldDef* other : fields)
      if (other == &f) Raise(kDaoFieldDefinedTwice, column);
    fields.push_back(&f);
  }
  if (!insert.select) {
    if (fields.empty())
      for (const FieldDef& f : target.fields) fields.push_back(&f);
    if (insert.values.size() != fields.size()) Raise(kDaoValueCountMismatch);
    Scope empty(db, nullptr);
    std::string columns, values;
    for (size_t i = 0; i < fields.size(); ++i) {
      columns += (i ? "," : "") + SqlIdentifier(fields[i]->name);
      values += (i ? "," : "") + StoreAs(RenderValue(*insert.values[i], empty),
                                         StaticType(*insert.values[i], empty), *fields[i]);
    }
    return head + columns + ") VALUES (" + values + ")";
  }
  GeneratedSelect select = GenerateSelect(db, *insert.select, nullptr);
  if (fields.empty()) {
    // By name: every result column must name a field of the target.
    for (const OutputColumn& c : select.columns) {
      std::string name = c.def.name;
      const FieldDef* f = nullptr;
      for (const FieldDef& candidate : target.fields)
        if (SameName(candidate.name, name)) f = &candidate;
      if (f == nullptr && name.find('.') != std::string::npos) {
        std::string bare = name.substr(name.rfind('.') + 1);
        for (const FieldDef& candidate : target.fields)
          if (SameName(candidate.name, bare)) f = &candidate;
      }
      if (f == nullptr) Raise(kDaoUnknownInsertField, name);
      for (const FieldDef* other : fields)
        if (other == f) Raise(kDaoFieldDefinedTwice, name);
      fields.push_back(f);
    }
  } else if (fields.size() != select.columns.size()) {
    Raise(kDaoValueCountMismatch);
  }
  std::string columns, values;
  for (size_t i = 0; i < fields.size(); ++i) {
    columns += (i ? "," : "") + SqlIdentifier(fields[i]->name);
    std::string value =
        select.is_union ? SqlIdentifier(select.columns[i].def.name) : select.items[i];
    values += (i ? ", " : " ") + StoreAs(value, select.item_types[i], *fields[i],
                                         select.is_union ? "" : StoredItem(select, i));
  }
  if (select.is_union) return head + columns + ") SELECT" + values + " FROM (" + select.sql + ")";
  return head + columns + ") " + select.head + values + select.tail;
}

GeneratedUpdate GenerateUpdate(DatabaseImpl& db, const Update& update, bool fail_on_error) {
  CheckUpdatable(update.target);
  Scope scope(db, nullptr);
  scope.AddTableRef(update.target);
  const ScopeTable* target = nullptr;
  std::string sets;
  std::vector<std::string> shifted_columns;
  for (size_t i = 0; i < update.assignments.size(); ++i) {
    const Assignment& a = update.assignments[i];
    Scope::Found found = scope.Find(*a.column);
    if (found.field == nullptr) Raise(kDaoTooFewParameters, "1");
    if (target == nullptr) target = found.table;
    if (target != found.table) Raise(kDaoReadOnly);
    std::string value = RenderValue(*a.value, scope);
    std::string stored;
    if (a.value->kind == ExprKind::kColumn) {
      Scope::Found source = scope.Find(*a.value);
      if (source.table != nullptr && !source.table->schema.empty() && ScaledCurrency(*source.field))
        stored = SqlIdentifier(source.table->alias) + "." + SqlIdentifier(source.field->name);
    }
    sets += (i ? ", " : "") + SqlIdentifier(found.field->name) + "=" +
            StoreAs(value, StaticType(*a.value, scope), *found.field, stored);
    // A key taken over from another table's row (the joins of the toolkit) cannot collide
    // row by row; anything computed can.
    bool copied = a.value->kind == ExprKind::kColumn && scope.Find(*a.value).table != target;
    if (!copied) shifted_columns.push_back(found.field->name);
  }
  if (target == nullptr) Raise(kDaoUpdateSyntax);
  std::vector<std::string> conditions;
  std::string from;
  const TableRef& join = update.target;
  const bool outer = join.kind == TableRef::Kind::kJoin && join.join != JoinKind::kInner &&
                     scope.tables().size() == 2 && join.on;
  const ScopeTable* kept = nullptr;  // the side an outer join keeps every row of
  if (outer) kept = &scope.tables()[join.join == JoinKind::kLeft ? 0 : 1];
  if (kept != nullptr && kept == target) {
    const ScopeTable* other = &scope.tables()[target == &scope.tables()[0] ? 1 : 0];
    const std::string o = SqlIdentifier(other->alias);
    from = " FROM (SELECT " + SqlIdentifier(target->alias) + ".rowid AS kr_rowid, " + o +
           ".* FROM " + target->from_sql + " LEFT JOIN " + other->from_sql + " ON " +
           RenderCondition(*join.on, scope) + ") AS " + o;
    conditions.push_back(o + ".kr_rowid=" + SqlIdentifier(target->alias) + ".rowid");
  } else {
    CollectOnConditions(update.target, scope, conditions);
    for (const ScopeTable& t : scope.tables())
      if (&t != target) from += (from.empty() ? " FROM " : ", ") + t.from_sql;
  }
  if (update.where) conditions.push_back("(" + RenderCondition(*update.where, scope) + ")");
  GeneratedUpdate out;
  out.sql = std::string(fail_on_error ? "UPDATE " : "UPDATE OR IGNORE ") + TargetSql(*target) +
            " AS " + SqlIdentifier(target->alias) + " SET " + sets + from;
  for (size_t i = 0; i < conditions.size(); ++i)
    out.sql += (i == 0 ? " WHERE " : " AND ") + conditions[i];
  out.table = target->table;
  if (target->schema == "main" && !shifted_columns.empty()) {
    const TableInfo* info = db.catalog().Find(target->table);
    if (info != nullptr)
      for (const IndexDef& index : info->indexes) {
        if (!index.unique && !index.primary) continue;
        bool touched = false;
        for (const auto& column : index.columns)
          for (const std::string& shifted : shifted_columns)
            touched = touched || SameName(column.first, shifted);
        if (touched) out.shifted_indexes.push_back(index);
      }
  }
  return out;
}

std::string GenerateDelete(DatabaseImpl& db, const Delete& del) {
  Scope scope(db, nullptr);
  std::string from = scope.AddTableRef(del.from);
  const ScopeTable* target = &scope.tables().front();
  if (del.target == Delete::Target::kTable) {
    target = nullptr;
    for (const ScopeTable& t : scope.tables())
      if (SameName(t.alias, del.target_table)) target = &t;
    if (target == nullptr) Raise(kDaoInputTableNotFound, del.target_table);
  }
  std::string where = del.where ? RenderCondition(*del.where, scope) : "";
  if (del.from.kind == TableRef::Kind::kTable)
    return "DELETE FROM " + TargetSql(*target) + " AS " + SqlIdentifier(target->alias) +
           (where.empty() ? "" : " WHERE " + where);
  // The keyed delete of the toolkit (t INNER JOIN link ON key equalities, a condition on the
  // link only) as the key IN (SELECT key FROM link ...) that SQLite runs best.
  if (scope.tables().size() == 2 && del.from.join == JoinKind::kInner && del.from.on &&
      del.from.left->kind == TableRef::Kind::kTable &&
      del.from.right->kind == TableRef::Kind::kTable) {
    const ScopeTable* other =
        target == &scope.tables()[0] ? &scope.tables()[1] : &scope.tables()[0];
    std::vector<std::pair<std::string, std::string>> pairs;
    if (KeyPairs(*del.from.on, scope, target, other, pairs) &&
        (!del.where || OnlyColumnsOf(*del.where, scope, other))) {
      std::string left, right;
      for (size_t i = 0; i < pairs.size(); ++i) {
        left += (i ? "," : "") + pairs[i].first;
        right += (i ? "," : "") + pairs[i].second;
      }
      if (pairs.size() > 1) left = "(" + left + ")";
      return "DELETE FROM " + TargetSql(*target) + " AS " + SqlIdentifier(target->alias) +
             " WHERE " + left + " IN (SELECT " + right + " FROM " + other->from_sql +
             (where.empty() ? "" : " WHERE " + where) + ")";
    }
  }
  return "DELETE FROM " + TargetSql(*target) + " WHERE rowid IN (SELECT " +
         SqlIdentifier(target->alias) + ".rowid FROM " + from +
         (where.empty() ? "" : " WHERE " + where) + ")";
}

}  // namespace kr::db::engine::internal
