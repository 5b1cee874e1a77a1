#include "db/engine/jet_expressions.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <vector>

#include "db/engine/dao_errors.h"
#include "db/engine/jet_functions.h"
#include "db/engine/jet_values.h"
#include "db/engine/text_collation.h"

namespace kr::db::engine {
namespace {

using Collation = Rendered::Collation;

// SQLite allows 127 arguments to a function.
constexpr int kMaxConcatArguments = 100;

bool IsIntegerType(DataType t) {
  return t == DataType::kBoolean || t == DataType::kByte || t == DataType::kInteger ||
         t == DataType::kLong;
}

DataType ArithmeticType(DataType a, DataType b, BinaryOp op) {
  if (!IsNumericType(a) || !IsNumericType(b)) return DataType::kUnknown;
  if ((op == BinaryOp::kAdd || op == BinaryOp::kSubtract) &&
      (a == DataType::kDate || b == DataType::kDate)) {
    return (op == BinaryOp::kSubtract && a == b) ? DataType::kDouble : DataType::kDate;
  }
  if (op != BinaryOp::kDivide && IsIntegerType(a) && IsIntegerType(b)) return DataType::kLong;
  const bool exact = (a == DataType::kCurrency || IsIntegerType(a)) &&
                     (b == DataType::kCurrency || IsIntegerType(b));
  if (exact && (op == BinaryOp::kAdd || op == BinaryOp::kSubtract || op == BinaryOp::kMultiply))
    return DataType::kCurrency;
  return DataType::kDouble;
}

bool IsLiteral(const Expr& e) {
  return e.kind == ExprKind::kText || e.kind == ExprKind::kInteger || e.kind == ExprKind::kDouble ||
         e.kind == ExprKind::kNull || e.kind == ExprKind::kDate || e.kind == ExprKind::kBoolean ||
         (e.kind == ExprKind::kUnary && e.unary_op != UnaryOp::kNot && IsLiteral(*e.args[0]));
}

bool IsNumberLiteral(const Expr& e) {
  return e.kind == ExprKind::kInteger || e.kind == ExprKind::kDouble ||
         (e.kind == ExprKind::kUnary && e.unary_op != UnaryOp::kNot && IsNumberLiteral(*e.args[0]));
}

// Jet refuses criteria that compare a number with a text literal, or text with a number
// literal ("data type mismatch in criteria expression"); literals among themselves convert.
void CheckComparable(const Expr& x, DataType x_type, const Expr& y, DataType y_type) {
  auto mismatch = [](const Expr& literal, const Expr& other, DataType other_type) {
    if (IsLiteral(other)) return false;
    if (literal.kind == ExprKind::kText) return IsNumericType(other_type);
    return IsNumberLiteral(literal) && IsTextType(other_type);
  };
  if (mismatch(x, y, y_type) || mismatch(y, x, x_type)) throw DaoFailure(kDaoTypeMismatch);
}

class Renderer;

class Arguments : public FunctionArguments {
 public:
  Arguments(Renderer& renderer, const Expr& call) : renderer_(renderer), call_(call) {}
  size_t count() const override { return call_.args.size(); }
  Rendered Value(size_t index) override;
  Rendered Condition(size_t index) override;

 private:
  Renderer& renderer_;
  const Expr& call_;
};

class Renderer {
 public:
  explicit Renderer(ExpressionResolver& resolver) : resolver_(resolver) {}

  Rendered Value(const Expr& e) {
    Rendered r = Render(e);
    if (r.truth) {
      r.sql = "(- " + r.sql + ")";
      r.truth = false;
      r.collation = Collation::kNone;
      r.chain = {};
      r.chain_terms.clear();
    }
    return r;
  }

  // SQLite reads either form as a condition.
  Rendered Condition(const Expr& e) { return Render(e); }

  Rendered Render(const Expr& e) {
    switch (e.kind) {
      case ExprKind::kNull: {
        Rendered r = Make("NULL", DataType::kUnknown);
        r.null_literal = true;
        return r;
      }
      case ExprKind::kBoolean:
        return Make(e.boolean ? "-1" : "0", DataType::kBoolean);
      case ExprKind::kInteger: {
        Rendered r = Make(FormatInteger(e.integer), DataType::kLong);
        r.integer_literal = e.integer;
        return r;
      }
      case ExprKind::kDouble:
        return Make(SqlRealLiteral(e.number), DataType::kDouble);
      case ExprKind::kText:
        return Make(SqlTextLiteral(e.text), DataType::kText);
      case ExprKind::kDate:
        return Make(SqlRealLiteral(e.number), DataType::kDate);
      case ExprKind::kColumn: {
        ColumnInfo info = resolver_.ResolveColumn(e);
        Rendered r = Make(std::move(info.sql), info.type);
        r.collation = info.collated ? Collation::kJapanese : Collation::kBinary;
        return r;
      }
      case ExprKind::kUnary:
        return Unary(e);
      case ExprKind::kBinary:
        return Binary(e);
      case ExprKind::kLike:
        return Like(e);
      case ExprKind::kIsNull:
        return Truth("(" + Value(*e.args[0]).sql + (e.negated ? " IS NOT NULL)" : " IS NULL)"));
      case ExprKind::kBetween:
        return Between(e);
      case ExprKind::kInList:
        return InList(e);
      case ExprKind::kInSelect: {
        CheckOneField(*e.select);
        Rendered x = Value(*e.args[0]);
        Rendered unknown;
        return Truth("(" + x.sql + CollateFor(x, {&unknown}) + (e.negated ? " NOT IN (" : " IN (") +
                     resolver_.RenderSubquery(*e.select) + "))");
      }
      case ExprKind::kExists:
        return Truth("(EXISTS (" + resolver_.RenderSubquery(*e.select) + "))");
      case ExprKind::kQuantified:
        return Quantified(e);
      case ExprKind::kSubquery:
        CheckOneField(*e.select);
        return Make("(" + resolver_.RenderScalarSubquery(*e.select) + ")", DataType::kUnknown);
      case ExprKind::kFunction: {
        const FunctionInfo* info = FindFunction(e.name);
        if (info == nullptr) throw DaoFailure(kDaoUndefinedFunction, e.name);
        Arguments args(*this, e);
        return info->render(args);
      }
    }
    throw DaoFailure(kDaoQueryExpressionSyntax, "?");
  }

 private:
  static Rendered Make(std::string sql, DataType type) {
    Rendered r;
    r.sql = std::move(sql);
    r.type = type;
    return r;
  }

  // A subquery that gives a value or a list has one field (Exists alone may have more).
  static void CheckOneField(const Select& select) {
    if (select.items.size() != 1) throw DaoFailure(kDaoSubqueryManyFields);
  }

  // Access takes the bounds in either order. Literal numbers are put in order here; other
  // bounds are tried both ways.
  Rendered Between(const Expr& e) {
    Rendered x = Value(*e.args[0]), low = Value(*e.args[1]), high = Value(*e.args[2]);
    CheckComparable(*e.args[0], x.type, *e.args[1], low.type);
    CheckComparable(*e.args[0], x.type, *e.args[2], high.type);
    const std::string subject = x.sql + CollateFor(x, {&low, &high});
    const std::optional<double> a = NumberLiteral(*e.args[1]), b = NumberLiteral(*e.args[2]);
    std::string test;
    if (a && b) {
      if (*a > *b) std::swap(low, high);
      test = "(" + subject + " BETWEEN " + low.sql + " AND " + high.sql + ")";
    } else {
      test = "(" + subject + " BETWEEN " + low.sql + " AND " + high.sql + " OR " + subject +
             " BETWEEN " + high.sql + " AND " + low.sql + ")";
    }
    return Truth(e.negated ? "(NOT " + test + ")" : test);
  }

  static std::optional<double> NumberLiteral(const Expr& e) {
    switch (e.kind) {
      case ExprKind::kInteger:
        return static_cast<double>(e.integer);
      case ExprKind::kDouble:
      case ExprKind::kDate:
        return e.number;
      case ExprKind::kUnary:
        if (e.unary_op == UnaryOp::kNot) return std::nullopt;
        if (auto n = NumberLiteral(*e.args[0])) return e.unary_op == UnaryOp::kNegate ? -*n : *n;
        return std::nullopt;
      default:
        return std::nullopt;
    }
  }

  Rendered InList(const Expr& e) {
    Rendered x = Value(*e.args[0]);
    std::vector<Rendered> items;
    std::vector<const Rendered*> pointers;
    items.reserve(e.args.size());
    for (size_t i = 1; i < e.args.size(); ++i) {
      items.push_back(Value(*e.args[i]));
      CheckComparable(*e.args[0], x.type, *e.args[i], items.back().type);
    }
    std::string list;
    for (const Rendered& item : items) {
      if (!list.empty()) list += ',';
      list += item.sql;
      pointers.push_back(&item);
    }
    return Truth("(" + x.sql + CollateFor(x, pointers) + (e.negated ? " NOT IN (" : " IN (") +
                 list + "))");
  }

  // "(a OP b)", or "(a's terms OP b)" when a is a chain of the same group.
  static Rendered Chain(const Rendered& a, std::string_view op, const Rendered& b,
                        std::string_view group, DataType type) {
    Rendered r;
    r.chain_terms = (a.chain == group ? a.chain_terms : a.sql) + std::string(op) + b.sql;
    r.sql = "(" + r.chain_terms + ")";
    r.type = type;
    r.chain = group;
    return r;
  }

  // Currency is fixed-point: a chain of it is rounded to four decimals once, at its end (a
  // sum of such values needs no more; a product rounds where Jet rounds each step).
  static std::string_view Group(std::string_view group, DataType type) {
    if (type != DataType::kCurrency) return group;
    return group == "ADD" ? "CADD" : "CMUL";
  }
  static Rendered Exact(Rendered r) {
    if (r.type == DataType::kCurrency) r.sql = "jet_ccur(" + r.chain_terms + ")";
    return r;
  }

  // The operands of a left-associative chain of op, left to right: x op y op z is ((x op y) op
  // z) in the tree, walked down its left side without recursion however long it is.
  static std::vector<const Expr*> ChainOperands(const Expr& e, BinaryOp op) {
    std::vector<const Expr*> operands;
    const Expr* node = &e;
    for (; node->kind == ExprKind::kBinary && node->binary_op == op; node = node->args[0].get()) {
      assert(node->args.size() == 2);
      operands.push_back(node->args[1].get());
    }
    operands.push_back(node);
    std::reverse(operands.begin(), operands.end());
    return operands;
  }

  Rendered Logical(const Expr& e) {
    const std::string_view op = e.binary_op == BinaryOp::kAnd ? " AND " : " OR ";
    std::string sql = "(";
    const std::vector<const Expr*> operands = ChainOperands(e, e.binary_op);
    for (size_t i = 0; i < operands.size(); ++i) {
      if (i > 0) sql += op;
      sql += Render(*operands[i]).sql;
    }
    return Truth(sql + ")");
  }

  // Null & Null is Null, so a chain is Null only when every part is: one call takes it (a call
  // of kMaxConcatArguments goes on as the first argument of the next).
  Rendered Concatenation(const Expr& e) {
    const std::vector<const Expr*> operands = ChainOperands(e, BinaryOp::kConcat);
    std::string sql = "jet_concat(" + ConcatOperand(Value(*operands[0]));
    int arity = 1;
    for (size_t i = 1; i < operands.size(); ++i) {
      if (arity == kMaxConcatArguments) {
        sql = "jet_concat(" + sql + ")";
        arity = 1;
      }
      sql += "," + ConcatOperand(Value(*operands[i]));
      ++arity;
    }
    return Make(sql + ")", DataType::kText);
  }

  static Rendered Truth(std::string sql) {
    Rendered r = Make(std::move(sql), DataType::kBoolean);
    r.truth = true;
    return r;
  }

  static std::string Truth01(const Rendered& r) { return r.truth ? r.sql : "(" + r.sql + "<>0)"; }

  // " COLLATE JET_JA" when comparing left with the others could compare text in another
  // order: not when all are numbers, nor when a column's JET_JA decides (the left
  // operand's collation wins; an expression without one takes a column's from the right).
  static std::string CollateFor(const Rendered& left, std::vector<const Rendered*> others,
                                bool right_may_decide = false) {
    bool numeric = IsNumericType(left.type);
    for (const Rendered* o : others) numeric = numeric && IsNumericType(o->type);
    if (numeric || left.collation == Collation::kJapanese) return "";
    if (right_may_decide && left.collation == Collation::kNone && others.size() == 1 &&
        others[0]->collation == Collation::kJapanese) {
      return "";
    }
    return std::string(" COLLATE ") + kTextCollation;
  }

  // Operands of "&": jet_concat writes numbers itself; only REALs of Single, Date and Boolean
  // fields need their type named.
  static std::string ConcatOperand(const Rendered& r) {
    if (r.type == DataType::kSingle || r.type == DataType::kDate || r.type == DataType::kBoolean) {
      return JetTextOf(r);
    }
    return r.sql;
  }

  Rendered Unary(const Expr& e) {
    switch (e.unary_op) {
      case UnaryOp::kNot:
        return Truth("(NOT " + Render(*e.args[0]).sql + ")");
      case UnaryOp::kPlus: {
        Rendered r = Value(*e.args[0]);
        r.integer_literal.reset();
        return r;
      }
      case UnaryOp::kNegate: {
        Rendered r = Value(*e.args[0]);
        DataType type =
            IsNumericType(r.type) && r.type != DataType::kBoolean
                ? r.type
                : (r.type == DataType::kBoolean ? DataType::kInteger : DataType::kUnknown);
        return Make("(- " + r.sql + ")", type);
      }
    }
    return Value(*e.args[0]);
  }

  Rendered Binary(const Expr& e) {
    const BinaryOp op = e.binary_op;
    switch (op) {
      case BinaryOp::kAnd:
      case BinaryOp::kOr:
        return Logical(e);
      case BinaryOp::kConcat:
        return Concatenation(e);
      case BinaryOp::kXor:
      case BinaryOp::kEqv: {
        Rendered a = Render(*e.args[0]), b = Render(*e.args[1]);
        return Truth("(" + Truth01(a) + (op == BinaryOp::kXor ? "<>" : "=") + Truth01(b) + ")");
      }
      case BinaryOp::kImp: {
        Rendered a = Render(*e.args[0]), b = Render(*e.args[1]);
        return Truth("((NOT " + a.sql + ") OR " + b.sql + ")");
      }
      case BinaryOp::kEqual:
      case BinaryOp::kNotEqual:
      case BinaryOp::kLess:
      case BinaryOp::kLessEqual:
      case BinaryOp::kGreater:
      case BinaryOp::kGreaterEqual: {
        static constexpr std::string_view kSql[] = {"=", "<>", "<", "<=", ">", ">="};
        Rendered a = Value(*e.args[0]), b = Value(*e.args[1]);
        CheckComparable(*e.args[0], a.type, *e.args[1], b.type);
        const auto index = static_cast<size_t>(op) - static_cast<size_t>(BinaryOp::kEqual);
        return Truth("(" + a.sql + CollateFor(a, {&b}, true) + " " + std::string(kSql[index]) +
                     " " + b.sql + ")");
      }
      default:
        break;
    }
    Rendered a = Value(*e.args[0]), b = Value(*e.args[1]);
    const DataType type = ArithmeticType(a.type, b.type, op);
    switch (op) {
      case BinaryOp::kAdd:
        if (IsNumericType(a.type) && IsNumericType(b.type))
          return Exact(Chain(a, " + ", b, Group("ADD", type), type));
        if (IsTextType(a.type) && IsTextType(b.type)) {
          return Chain(a, " || ", b, "CAT", DataType::kText);
        }
        return Make("jet_add(" + a.sql + "," + b.sql + ")", DataType::kUnknown);
      case BinaryOp::kSubtract:
        return Exact(Chain(a, " - ", b, Group("ADD", type), type));
      case BinaryOp::kMultiply:
        return Exact(Chain(a, " * ", b, Group("MUL", type), type));
      case BinaryOp::kDivide: {
        const Expr& divisor = *e.args[1];
        const bool nonzero_literal = (divisor.kind == ExprKind::kInteger && divisor.integer != 0) ||
                                     (divisor.kind == ExprKind::kDouble && divisor.number != 0);
        if (nonzero_literal)
          return Make("(CAST(" + a.sql + " AS REAL) / " + b.sql + ")", DataType::kDouble);
        return Make("jet_div(" + a.sql + "," + b.sql + ")", DataType::kDouble);
      }
      case BinaryOp::kIntDivide:
        return Make("jet_idiv(" + a.sql + "," + b.sql + ")", DataType::kLong);
      case BinaryOp::kMod:
        return Make("jet_mod(" + a.sql + "," + b.sql + ")", DataType::kLong);
      case BinaryOp::kPower:
        return Make("jet_pow(" + a.sql + "," + b.sql + ")", DataType::kDouble);
      default:
        break;
    }
    throw DaoFailure(kDaoQueryExpressionSyntax, "?");
  }

  // = Any is In and <> All is Not In; the others look for a row that decides, in SQL's three
  // values: Any is true when a row compares true, All false when a row compares false, and
  // either is Null when nothing decided and a comparison was Null. No rows: Any false, All true.
  Rendered Quantified(const Expr& e) {
    CheckOneField(*e.select);
    Rendered x = Value(*e.args[0]);
    const std::string rows = resolver_.RenderSubquery(*e.select);
    const std::string collate =
        IsNumericType(x.type) ? "" : std::string(" COLLATE ") + kTextCollation;
    if (e.binary_op == BinaryOp::kEqual && !e.all)
      return Truth("(" + x.sql + collate + " IN (" + rows + "))");
    if (e.binary_op == BinaryOp::kNotEqual && e.all)
      return Truth("(" + x.sql + collate + " NOT IN (" + rows + "))");
    static constexpr std::string_view kSql[] = {"=", "<>", "<", "<=", ">", ">="};
    const auto index = static_cast<size_t>(e.binary_op) - static_cast<size_t>(BinaryOp::kEqual);
    // The first part names the subquery's one column; it has no rows of its own.
    const std::string each =
        "(SELECT 1 FROM (SELECT NULL AS kr_value WHERE 0 UNION ALL " + rows + ") WHERE ";
    const std::string compare =
        "(" + x.sql + collate + " " + std::string(kSql[index]) + " kr_value)";
    const std::string deciding = e.all ? "NOT " + compare : compare;
    return Truth("(CASE WHEN EXISTS " + each + deciding + ") THEN " + (e.all ? "0" : "1") +
                 " WHEN EXISTS " + each + compare + " IS NULL) THEN NULL ELSE " +
                 (e.all ? "1" : "0") + " END)");
  }

  Rendered Like(const Expr& e) {
    Rendered value = Value(*e.args[0]);
    std::string subject =
        IsTextType(value.type) || value.type == DataType::kUnknown || IsIntegerType(value.type)
            ? value.sql
            : JetTextOf(value);
    Rendered p = Value(*e.args[1]);
    std::string call = "jet_like(" + subject + "," + JetTextOf(p) + ")";
    return Truth(e.negated ? "(NOT " + call + ")" : call);
  }

  ExpressionResolver& resolver_;
};

Rendered Arguments::Value(size_t index) { return renderer_.Value(*call_.args[index]); }
Rendered Arguments::Condition(size_t index) { return renderer_.Condition(*call_.args[index]); }

}  // namespace

bool IsTextType(DataType type) { return type == DataType::kText || type == DataType::kMemo; }

bool IsNumericType(DataType type) {
  const int code = static_cast<int>(type);
  return code >= static_cast<int>(DataType::kBoolean) && code <= static_cast<int>(DataType::kDate);
}

std::string RenderValue(const Expr& expr, ExpressionResolver& resolver) {
  return Renderer(resolver).Value(expr).sql;
}

std::string RenderCondition(const Expr& expr, ExpressionResolver& resolver) {
  return Renderer(resolver).Condition(expr).sql;
}

std::string RenderSortKey(const Expr& expr, ExpressionResolver& resolver) {
  Rendered r = Renderer(resolver).Value(expr);
  if (IsNumericType(r.type) || r.collation == Collation::kJapanese) return r.sql;
  return r.sql + " COLLATE " + kTextCollation;
}

DataType StaticType(const Expr& expr, ExpressionResolver& resolver) {
  if (expr.kind == ExprKind::kSubquery) return DataType::kUnknown;
  return Renderer(resolver).Render(expr).type;
}

std::string SqlRealLiteral(double value) {
  if (std::isnan(value)) return "NULL";
  if (std::isinf(value)) return value > 0 ? "9e999" : "-9e999";
  char buffer[32];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

}  // namespace kr::db::engine
