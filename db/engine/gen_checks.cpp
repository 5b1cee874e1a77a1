// Queries Jet refuses where SQLite would answer: fields neither grouped nor aggregated (3122),
// HAVING without grouping (3091), aggregates in WHERE (3096), DISTINCT ordered by a field it
// does not show (3093), and updates through a totals query (3073). SQLite would pick an
// arbitrary row's value for the first and let the others through; Jet's refusal protects the
// result and keeps the SQL portable to Access.
#include "db/engine/dao_errors.h"
#include "db/engine/generator_internal.h"

namespace kr::db::engine::internal {

namespace {

// How Jet names an expression in its message: a column as written, otherwise its tree.
std::string ExprText(const Expr& e) {
  if (e.kind == ExprKind::kColumn) return e.table.empty() ? e.column : e.table + "." + e.column;
  return DebugString(e);
}

bool IsLocal(const ScopeTable* table, Scope& scope) {
  for (const ScopeTable& t : scope.tables())
    if (&t == table) return true;
  return false;
}

bool SameExpr(const Expr& a, const Expr& b, Scope& scope) {
  if (a.kind == ExprKind::kColumn && b.kind == ExprKind::kColumn) {
    const FieldDef* field = scope.Find(a).field;
    return field != nullptr && field == scope.Find(b).field;
  }
  return DebugString(a) == DebugString(b);
}

bool HasAggregate(const Select& select) {
  for (const SelectItem& item : select.items)
    if (item.expr && ContainsAggregate(*item.expr)) return true;
  return false;
}

void CheckGrouped(const Expr& e, const Select& select, Scope& scope);

// A subquery of a grouped query sees that query's rows as groups: a column of them it names
// must be grouped too. within: the subquery's own scope (its tables, then the outer ones).
void CheckCorrelated(const Select& sub, Scope& within, const Select& select, Scope& scope) {
  Scope inner(within.db(), &within);
  for (const TableRef& ref : sub.from) inner.AddTableRef(ref);
  std::vector<const Expr*> pending;
  for (const SelectItem& item : sub.items)
    if (item.expr) pending.push_back(item.expr.get());
  for (const ExprPtr& group : sub.group_by) pending.push_back(group.get());
  for (const OrderItem& order : sub.order_by) pending.push_back(order.expr.get());
  for (const Expr* e : {sub.where.get(), sub.having.get()})
    if (e) pending.push_back(e);
  while (!pending.empty()) {
    const Expr& e = *pending.back();
    pending.pop_back();
    if (e.kind == ExprKind::kColumn) {
      Scope::Found found = inner.Find(e);
      if (found.field != nullptr && IsLocal(found.table, scope)) CheckGrouped(e, select, scope);
    }
    if (e.select) CheckCorrelated(*e.select, inner, select, scope);
    for (const ExprPtr& arg : e.args)
      if (arg) pending.push_back(arg.get());
  }
}

// Every column of this query's own tables in e stands in a grouped expression or an
// aggregate, inside subqueries too; an outer query's columns are constants here.
void CheckGrouped(const Expr& e, const Select& select, Scope& scope) {
  for (const ExprPtr& group : select.group_by)
    if (SameExpr(e, *group, scope)) return;
  if (e.kind == ExprKind::kFunction && IsAggregateName(e.name)) return;
  if (e.kind == ExprKind::kColumn) {
    Scope::Found found = scope.Find(e);
    if (found.field != nullptr && IsLocal(found.table, scope))
      Raise(kDaoNotInAggregate, ExprText(e));
    return;
  }
  if (e.select) CheckCorrelated(*e.select, scope, select, scope);
  for (const ExprPtr& arg : e.args)
    if (arg) CheckGrouped(*arg, select, scope);
}

// The fields "*" or "T.*" selects, each as a column of its table.
void CheckGroupedStar(const SelectItem& item, const Select& select, Scope& scope) {
  for (const ScopeTable& t : scope.tables()) {
    if (item.kind == SelectItem::Kind::kTableColumns && !SameName(t.alias, item.table)) continue;
    for (const FieldDef& f : t.fields) {
      Expr column;
      column.kind = ExprKind::kColumn;
      column.table = t.alias;
      column.column = f.name;
      CheckGrouped(column, select, scope);
    }
  }
}

// ORDER BY 2, or a name that only the select list knows (an alias).
bool NamesOutput(const Expr& e, Scope& scope) {
  return e.kind == ExprKind::kInteger ||
         (e.kind == ExprKind::kColumn && e.table.empty() && scope.Find(e).field == nullptr);
}

bool Shown(const Expr& e, const Select& select, Scope& scope) {
  for (const SelectItem& item : select.items) {
    if (item.kind != SelectItem::Kind::kExpression) {
      if (e.kind != ExprKind::kColumn) continue;
      const ScopeTable* table = scope.Find(e).table;
      if (item.kind == SelectItem::Kind::kAllColumns ||
          (table != nullptr && SameName(table->alias, item.table)))
        return true;
    } else if (SameExpr(e, *item.expr, scope) ||
               (e.kind == ExprKind::kColumn && e.table.empty() && SameName(item.alias, e.column))) {
      return true;
    }
  }
  return false;
}

}  // namespace

void CheckSelectShape(const Select& select, Scope& scope) {
  if (select.where && ContainsAggregate(*select.where))
    Raise(kDaoAggregateInWhere, ExprText(*select.where));
  const bool aggregated =
      HasAggregate(select) || (select.having && ContainsAggregate(*select.having));
  if (select.having && select.group_by.empty() && !aggregated)
    Raise(kDaoHavingWithoutGrouping, ExprText(*select.having));
  const bool own_order = select.unions.empty();
  if (!select.group_by.empty() || aggregated) {
    for (const SelectItem& item : select.items) {
      if (item.expr)
        CheckGrouped(*item.expr, select, scope);
      else
        CheckGroupedStar(item, select, scope);
    }
    if (select.having) CheckGrouped(*select.having, select, scope);
    if (own_order)
      for (const OrderItem& order : select.order_by)
        if (!NamesOutput(*order.expr, scope)) CheckGrouped(*order.expr, select, scope);
  }
  if (select.quantifier == SelectQuantifier::kDistinct && own_order) {
    for (const OrderItem& order : select.order_by)
      if (!NamesOutput(*order.expr, scope) && !Shown(*order.expr, select, scope))
        Raise(kDaoOrderByConflictsWithDistinct, ExprText(*order.expr));
  }
}

void CheckUpdatable(const TableRef& target) {
  switch (target.kind) {
    case TableRef::Kind::kTable:
      return;
    case TableRef::Kind::kSubquery:
      if (!target.select->group_by.empty() || HasAggregate(*target.select) ||
          target.select->quantifier == SelectQuantifier::kDistinct ||
          !target.select->unions.empty())
        Raise(kDaoNotUpdatableQuery);
      return;
    case TableRef::Kind::kJoin:
      CheckUpdatable(*target.left);
      CheckUpdatable(*target.right);
      return;
  }
}

}  // namespace kr::db::engine::internal
