#include "db/engine/jet_ast.h"

#include <charconv>

namespace kr::db::engine {

// Out of line so that unique_ptr<Select> inside Expr sees a complete Select.
Expr::~Expr() = default;
Expr::Expr(Expr&&) noexcept = default;
Expr& Expr::operator=(Expr&&) noexcept = default;
TableRef::~TableRef() = default;
TableRef::TableRef(TableRef&&) noexcept = default;
TableRef& TableRef::operator=(TableRef&&) noexcept = default;
Select::~Select() = default;
Select::Select(Select&&) noexcept = default;
Select& Select::operator=(Select&&) noexcept = default;

ExprPtr Clone(const Expr& expr) {
  auto copy = std::make_unique<Expr>();
  copy->kind = expr.kind;
  copy->span = expr.span;
  copy->height = expr.height;
  copy->boolean = expr.boolean;
  copy->integer = expr.integer;
  copy->number = expr.number;
  copy->text = expr.text;
  copy->table = expr.table;
  copy->column = expr.column;
  copy->name = expr.name;
  copy->unary_op = expr.unary_op;
  copy->binary_op = expr.binary_op;
  copy->negated = expr.negated;
  copy->star = expr.star;
  copy->all = expr.all;
  copy->args.reserve(expr.args.size());
  for (const ExprPtr& arg : expr.args) copy->args.push_back(arg ? Clone(*arg) : nullptr);
  if (expr.select) copy->select = Clone(*expr.select);
  return copy;
}

namespace {
ExprPtr CloneOrNull(const ExprPtr& expr) { return expr ? Clone(*expr) : nullptr; }
}  // namespace

TableRef Clone(const TableRef& ref) {
  TableRef copy;
  copy.kind = ref.kind;
  copy.span = ref.span;
  copy.height = ref.height;
  copy.name = ref.name;
  copy.alias = ref.alias;
  if (ref.select) copy.select = Clone(*ref.select);
  copy.join = ref.join;
  if (ref.left) copy.left = std::make_unique<TableRef>(Clone(*ref.left));
  if (ref.right) copy.right = std::make_unique<TableRef>(Clone(*ref.right));
  copy.on = CloneOrNull(ref.on);
  return copy;
}

SelectPtr Clone(const Select& select) {
  auto copy = std::make_unique<Select>();
  copy->span = select.span;
  copy->quantifier = select.quantifier;
  copy->top = select.top;
  for (const SelectItem& item : select.items) {
    SelectItem c;
    c.kind = item.kind;
    c.span = item.span;
    c.expr = CloneOrNull(item.expr);
    c.alias = item.alias;
    c.table = item.table;
    copy->items.push_back(std::move(c));
  }
  for (const TableRef& ref : select.from) copy->from.push_back(Clone(ref));
  copy->where = CloneOrNull(select.where);
  for (const ExprPtr& e : select.group_by) copy->group_by.push_back(CloneOrNull(e));
  copy->having = CloneOrNull(select.having);
  for (const OrderItem& o : select.order_by) {
    copy->order_by.push_back(OrderItem{CloneOrNull(o.expr), o.descending});
  }
  copy->into = select.into;
  copy->transform = CloneOrNull(select.transform);
  copy->pivot = CloneOrNull(select.pivot);
  for (const ExprPtr& e : select.pivot_in) copy->pivot_in.push_back(CloneOrNull(e));
  for (const Select::UnionPart& part : select.unions) {
    copy->unions.push_back(
        Select::UnionPart{part.all, part.select ? Clone(*part.select) : nullptr});
  }
  return copy;
}

namespace {

std::string_view OperatorName(BinaryOp op) {
  static constexpr std::string_view kNames[] = {
      "^", "*",  "/", "\\", "Mod", "+",  "-",   "&",   "=",   "<>",
      "<", "<=", ">", ">=", "And", "Or", "Xor", "Eqv", "Imp",
  };
  return kNames[static_cast<size_t>(op)];
}

std::string Number(double value) {
  char buffer[32];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string Children(const Expr& expr, size_t from) {
  std::string out;
  for (size_t i = from; i < expr.args.size(); ++i) {
    out += ' ';
    out += expr.args[i] ? DebugString(*expr.args[i]) : "?";
  }
  return out;
}

}  // namespace

std::string DebugString(const Expr& e) {
  switch (e.kind) {
    case ExprKind::kNull:
      return "Null";
    case ExprKind::kBoolean:
      return e.boolean ? "True" : "False";
    case ExprKind::kInteger:
      return std::to_string(e.integer);
    case ExprKind::kDouble:
      return Number(e.number);
    case ExprKind::kText:
      return "'" + e.text + "'";
    case ExprKind::kDate:
      return "#" + Number(e.number) + "#";
    case ExprKind::kColumn:
      return e.table.empty() ? e.column : e.table + "." + e.column;
    case ExprKind::kUnary: {
      std::string_view op = e.unary_op == UnaryOp::kNot      ? "Not"
                            : e.unary_op == UnaryOp::kNegate ? "-"
                                                             : "+";
      return "(" + std::string(op) + Children(e, 0) + ")";
    }
    case ExprKind::kBinary:
      return "(" + std::string(OperatorName(e.binary_op)) + Children(e, 0) + ")";
    case ExprKind::kLike:
      return std::string(e.negated ? "(NotLike" : "(Like") + Children(e, 0) + ")";
    case ExprKind::kIsNull:
      return std::string(e.negated ? "(IsNotNull" : "(IsNull") + Children(e, 0) + ")";
    case ExprKind::kBetween:
      return std::string(e.negated ? "(NotBetween" : "(Between") + Children(e, 0) + ")";
    case ExprKind::kInList:
      return std::string(e.negated ? "(NotIn" : "(In") + Children(e, 0) + ")";
    case ExprKind::kInSelect:
      return std::string(e.negated ? "(NotIn" : "(In") + Children(e, 0) + " <select>)";
    case ExprKind::kExists:
      return "(Exists <select>)";
    case ExprKind::kQuantified:
      return "(" + std::string(OperatorName(e.binary_op)) + (e.all ? "All" : "Any") +
             Children(e, 0) + " <select>)";
    case ExprKind::kSubquery:
      return "<select>";
    case ExprKind::kFunction: {
      std::string out = e.name + "(";
      if (e.star) out += "*";
      for (size_t i = 0; i < e.args.size(); ++i) {
        if (i > 0) out += ", ";
        out += e.args[i] ? DebugString(*e.args[i]) : "?";
      }
      return out + ")";
    }
  }
  return "?";
}

bool IsAggregateName(const std::string& upper_name) {
  return upper_name == "COUNT" || upper_name == "SUM" || upper_name == "AVG" ||
         upper_name == "MIN" || upper_name == "MAX" || upper_name == "FIRST" ||
         upper_name == "LAST" || upper_name == "STDEV" || upper_name == "STDEVP" ||
         upper_name == "VAR" || upper_name == "VARP";
}

bool ContainsAggregate(const Expr& expr) {
  if (expr.kind == ExprKind::kFunction && IsAggregateName(expr.name)) return true;
  for (const ExprPtr& arg : expr.args) {
    if (arg && ContainsAggregate(*arg)) return true;
  }
  return false;
}

}  // namespace kr::db::engine
