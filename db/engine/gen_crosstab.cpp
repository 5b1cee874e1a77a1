// TRANSFORM ... PIVOT: a crosstab becomes a grouped SELECT with one column per value of the
// pivot, each the TRANSFORM aggregate over that value's rows. The values are the IN list, or
// those the rows hold, found by a first pass (SELECT DISTINCT pivot ... ORDER BY pivot), so the
// result streams like any grouped query. A Null value's column is named "<>", as in Access.
#include <cassert>

#include "db/engine/dao_errors.h"
#include "db/engine/generator_internal.h"
#include "db/engine/jet_values.h"

namespace kr::db::engine::internal {

namespace {

ExprPtr Node(ExprKind kind, std::vector<ExprPtr> args = {}) {
  auto e = std::make_unique<Expr>();
  e->kind = kind;
  e->args = std::move(args);
  return e;
}

ExprPtr Call(const char* name, std::vector<ExprPtr> args) {
  ExprPtr e = Node(ExprKind::kFunction, std::move(args));
  e->name = name;
  return e;
}

ExprPtr Literal(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::kNull:
      return nullptr;
    case Value::Kind::kText: {
      ExprPtr e = Node(ExprKind::kText);
      e->text = v.text();
      return e;
    }
    case Value::Kind::kBoolean: {
      ExprPtr e = Node(ExprKind::kBoolean);
      e->boolean = v.ToBoolean();
      return e;
    }
    case Value::Kind::kDate: {
      ExprPtr e = Node(ExprKind::kDate);
      e->number = v.real();
      return e;
    }
    case Value::Kind::kByte:
    case Value::Kind::kInteger:
    case Value::Kind::kLong: {
      ExprPtr e = Node(ExprKind::kInteger);
      e->integer = v.integer();
      return e;
    }
    default: {
      ExprPtr e = Node(ExprKind::kDouble);
      e->number = v.ToDouble();
      return e;
    }
  }
}

// The column name of a heading: the value's text.
std::string HeadingName(const Expr* heading) {
  if (heading == nullptr || heading->kind == ExprKind::kNull) return "<>";
  switch (heading->kind) {
    case ExprKind::kText:
      return heading->text;
    case ExprKind::kInteger:
      return FormatInteger(heading->integer);
    case ExprKind::kDate:
      return FormatDate(heading->number);
    case ExprKind::kBoolean:
      return heading->boolean ? "True" : "False";
    case ExprKind::kDouble:
      return FormatDouble(heading->number);
    default:
      return DebugString(*heading);
  }
}

// The aggregate over the rows of one heading: each aggregate's argument is Null on other rows.
// A count of none is Null, as an empty cell of a crosstab shows.
ExprPtr AggregateCell(const Expr& aggregate, const Expr& pivot, const Expr* heading) {
  std::vector<ExprPtr> test;
  test.push_back(Clone(pivot));
  ExprPtr condition;
  if (heading == nullptr || heading->kind == ExprKind::kNull) {
    condition = Node(ExprKind::kIsNull, std::move(test));
  } else {
    test.push_back(Clone(*heading));
    condition = Node(ExprKind::kBinary, std::move(test));
    condition->binary_op = BinaryOp::kEqual;
  }
  // First and Last take the first or last row of this heading, whatever its value (a Null
  // included), not of the group.
  if (aggregate.name == "FIRST" || aggregate.name == "LAST") {
    std::vector<ExprPtr> args;
    args.push_back(Clone(*aggregate.args[0]));
    args.push_back(std::move(condition));
    return Call(aggregate.name.c_str(), std::move(args));
  }
  ExprPtr value;
  if (aggregate.star) {
    value = Node(ExprKind::kInteger);
    value->integer = 1;
  } else {
    value = Clone(*aggregate.args[0]);
  }
  std::vector<ExprPtr> iif;
  iif.push_back(std::move(condition));
  iif.push_back(std::move(value));
  iif.push_back(Node(ExprKind::kNull));
  std::vector<ExprPtr> args;
  args.push_back(Call("IIF", std::move(iif)));
  ExprPtr cell = Call(aggregate.name.c_str(), std::move(args));
  if (aggregate.name != "COUNT") return cell;
  std::vector<ExprPtr> none;
  none.push_back(Clone(*cell));
  none.push_back(Node(ExprKind::kInteger));
  ExprPtr is_none = Node(ExprKind::kBinary, std::move(none));
  is_none->binary_op = BinaryOp::kEqual;
  std::vector<ExprPtr> choice;
  choice.push_back(std::move(is_none));
  choice.push_back(Node(ExprKind::kNull));
  choice.push_back(std::move(cell));
  return Call("IIF", std::move(choice));
}

void RewriteCells(ExprPtr& e, const Expr& pivot, const Expr* heading) {
  if (e->kind == ExprKind::kFunction && IsAggregateName(e->name)) {
    e = AggregateCell(*e, pivot, heading);
    return;
  }
  for (ExprPtr& arg : e->args)
    if (arg) RewriteCells(arg, pivot, heading);
}

// The first pass: the pivot's values in the rows, in order.
std::vector<ExprPtr> PivotValues(DatabaseImpl& db, const Select& transform) {
  Select values;
  values.quantifier = SelectQuantifier::kDistinct;
  SelectItem item;
  item.expr = Clone(*transform.pivot);
  values.items.push_back(std::move(item));
  for (const TableRef& ref : transform.from) values.from.push_back(Clone(ref));
  if (transform.where) values.where = Clone(*transform.where);
  values.order_by.push_back(OrderItem{Clone(*transform.pivot), false});
  GeneratedSelect g = GenerateSelect(db, values, nullptr);
  std::vector<ExprPtr> headings;
  Statement& run = db.connection().Prepare(g.sql);
  const int type = static_cast<int>(g.item_types[0]);
  while (run.Step()) headings.push_back(Literal(run.Get(0, type)));
  run.Reset();
  return headings;
}

}  // namespace

GeneratedSelect GenerateCrosstab(DatabaseImpl& db, const Select& transform) {
  assert(transform.transform && transform.pivot && transform.unions.empty());
  std::vector<ExprPtr> headings;
  if (transform.pivot_in.empty()) {
    headings = PivotValues(db, transform);
  } else {
    for (const ExprPtr& e : transform.pivot_in) headings.push_back(Clone(*e));
  }
  SelectPtr rows = Clone(transform);
  rows->transform.reset();
  rows->pivot.reset();
  rows->pivot_in.clear();
  // Access lists a crosstab's rows in the order of their headings.
  if (rows->order_by.empty())
    for (const ExprPtr& group : rows->group_by) rows->order_by.push_back({Clone(*group), false});
  for (const ExprPtr& heading : headings) {
    SelectItem cell;
    cell.expr = Clone(*transform.transform);
    RewriteCells(cell.expr, *transform.pivot, heading.get());
    cell.alias = HeadingName(heading.get());
    rows->items.push_back(std::move(cell));
  }
  return GenerateSelect(db, *rows, nullptr);
}

}  // namespace kr::db::engine::internal
