// Queries: SELECT with its clauses, TRANSFORM, TABLE and subqueries.
#include <algorithm>

#include "db/engine/jet_parser.h"
#include "db/engine/jet_parser_internal.h"

namespace kr::db::engine {
namespace parse {

// --- SELECT ------------------------------------------------------------------------------------

Select Parser::SelectStatement() {
  Select select = AtWord("TABLE") ? WholeTable() : SelectCore();
  while (AcceptWord("UNION")) {
    Select::UnionPart part;
    part.all = AcceptWord("ALL");
    if (!AtWord("SELECT") && !AtWord("TABLE")) Fail(kDaoUnionSyntax);
    part.select = std::make_unique<Select>(AtWord("TABLE") ? WholeTable() : SelectCore());
    select.unions.push_back(std::move(part));
  }
  if (AtWord("ORDER")) OrderBy(&select);
  return select;
}

// TRANSFORM aggregate SELECT ... GROUP BY ... [ORDER BY ...] PIVOT expression [IN (values)].
Select Parser::TransformStatement() {
  const size_t first = pos_;
  ExpectWord("TRANSFORM", kDaoSelectSyntax);
  in_transform_ = true;
  ExprPtr value = Expression();
  if (AcceptWord("AS")) ExpectName(kDaoSelectSyntax);
  if (!ContainsAggregate(*value) || !AtWord("SELECT")) Fail(kDaoSelectSyntax);
  Select select = SelectCore();
  if (AtWord("ORDER")) OrderBy(&select);
  ExpectWord("PIVOT", kDaoSelectSyntax);
  in_transform_ = false;
  select.transform = std::move(value);
  select.pivot = Expression();
  // The expression reader takes "x IN (a, b)" as one: there it is the pivot and its headings.
  if (select.pivot->kind == ExprKind::kInList && !select.pivot->negated) {
    std::vector<ExprPtr> parts = std::move(select.pivot->args);
    select.pivot = std::move(parts[0]);
    for (size_t i = 1; i < parts.size(); ++i) select.pivot_in.push_back(std::move(parts[i]));
  } else if (select.pivot->kind == ExprKind::kInList || select.pivot->kind == ExprKind::kInSelect) {
    Fail(kDaoSelectSyntax);
  }
  select.span = SpanFrom(first);
  return select;
}

// TABLE t is SELECT * FROM t.
Select Parser::WholeTable() {
  const size_t first = pos_;
  ExpectWord("TABLE", kDaoUnionSyntax);
  Select select;
  SelectItem all;
  all.kind = SelectItem::Kind::kAllColumns;
  select.items.push_back(std::move(all));
  TableRef table;
  table.span = Peek().span;
  table.name = ExpectName(kDaoUnionSyntax);
  select.from.push_back(std::move(table));
  select.span = SpanFrom(first);
  return select;
}

SelectPtr Parser::Subquery() {
  Nest nest(*this);
  ++open_parens_;
  auto select = std::make_unique<Select>(SelectStatement());
  --open_parens_;
  return select;
}

Select Parser::SelectCore() {
  const size_t first = pos_;
  Select select;
  const bool may_make_table = into_allowed_ && open_parens_ == 0;
  into_allowed_ = false;
  ExpectWord("SELECT", kDaoSelectSyntax);
  if (AcceptWord("DISTINCTROW")) {
    select.quantifier = SelectQuantifier::kDistinctRow;
  } else if (AcceptWord("DISTINCT")) {
    select.quantifier = SelectQuantifier::kDistinct;
  } else {
    AcceptWord("ALL");
  }
  if (AcceptWord("TOP")) {
    const Token& n = Peek();
    if (n.kind != TokenKind::kInteger && n.kind != TokenKind::kDouble) Fail(kDaoSelectSyntax);
    Top top;
    top.count = n.kind == TokenKind::kInteger ? static_cast<double>(n.integer) : n.number;
    Advance();
    top.percent = AcceptWord("PERCENT");
    if (!top.percent && n.kind != TokenKind::kInteger) Fail(kDaoSelectSyntax);
    select.top = top;
  }
  SelectItems(&select);
  if (AtWord("INTO")) {
    if (!may_make_table) Fail(kDaoSelectSyntax);
    Advance();
    select.into = ExpectName(kDaoSelectSyntax);
  }
  if (AcceptWord("FROM")) FromClause(&select.from);
  if (AcceptWord("WHERE")) select.where = Expression();
  if (AcceptWord("GROUP")) {
    ExpectWord("BY", kDaoSelectSyntax);
    do {
      select.group_by.push_back(Expression(true));
    } while (AcceptSymbol(","));
  }
  if (AcceptWord("HAVING")) select.having = Expression();
  const bool can_end = AtStatementEnd() || AtWord("UNION") || AtWord("ORDER") || AtPivot() ||
                       (AtSymbol(")") && open_parens_ > 0);
  if (!can_end) {
    CheckTokenError(kDaoSelectSyntax);
    Fail(AtWord("FROM") || AtWord("WHERE") || AtWord("GROUP") || AtWord("HAVING")
             ? kDaoSelectSyntax
             : kDaoCharactersAfterEnd);
  }
  select.span = SpanFrom(first);
  return select;
}

void Parser::SelectItems(Select* select) {
  const bool function_call =
      (AtWord("LEFT") || AtWord("RIGHT") || AtWord("ASC")) && AtSymbol("(", 1);
  if (AtEnd() || (IsClauseWord(Peek()) && !function_call) || AtSymbol(",") || AtSymbol(")"))
    Fail(kDaoSelectSyntax);
  do {
    const size_t first = pos_;
    SelectItem item;
    if (AcceptSymbol("*")) {
      item.kind = SelectItem::Kind::kAllColumns;
    } else if (AtName() && (AtSymbol(".", 1) || AtSymbol("!", 1)) && AtSymbol("*", 2)) {
      item.kind = SelectItem::Kind::kTableColumns;
      item.table = Advance().text;
      Advance();
      Advance();
    } else {
      item.expr = Expression(true);
      if (AcceptWord("AS")) item.alias = ExpectName(kDaoSelectSyntax);
    }
    item.span = SpanFrom(first);
    select->items.push_back(std::move(item));
  } while (AcceptSymbol(","));
  const bool fits = AtStatementEnd() || AtWord("INTO") || AtWord("FROM") || AtWord("WHERE") ||
                    AtWord("GROUP") || AtWord("HAVING") || AtWord("ORDER") || AtWord("UNION") ||
                    AtPivot() || (AtSymbol(")") && open_parens_ > 0);
  if (!fits) {
    Reject(kDaoSelectSyntax);
  }
}

void Parser::FromClause(std::vector<TableRef>* from) {
  do {
    from->push_back(TableExpression(kDaoFromClauseSyntax));
  } while (AcceptSymbol(","));
  const bool fits = AtStatementEnd() || AtWord("WHERE") || AtWord("GROUP") || AtWord("HAVING") ||
                    AtWord("ORDER") || AtWord("UNION") || AtPivot() ||
                    (AtSymbol(")") && open_parens_ > 0);
  if (!fits) {
    CheckTokenError(kDaoFromClauseSyntax);
    Fail(AtWord("JOIN") || AtWord("ON") ? kDaoJoinSyntax : kDaoFromClauseSyntax);
  }
}

TableRef Parser::TableExpression(int error) {
  Nest nest(*this);
  const size_t first = pos_;
  TableRef left = TablePrimary(error);
  int joins = 0;
  while (AtWord("INNER") || AtWord("LEFT") || AtWord("RIGHT")) {
    TableRef join;
    join.kind = TableRef::Kind::kJoin;
    join.join = AtWord("INNER")  ? JoinKind::kInner
                : AtWord("LEFT") ? JoinKind::kLeft
                                 : JoinKind::kRight;
    Advance();
    if (join.join != JoinKind::kInner) AcceptWord("OUTER");
    ExpectWord("JOIN", kDaoJoinSyntax);
    TableRef right = TablePrimary(error);
    ExpectWord("ON", kDaoJoinSyntax);
    join.on = Expression(true);
    // Jet joins a third table only to a parenthesised join: the first ON reads on into the next.
    if (++joins == 2) {
      const uint32_t begin = left.on->span.begin;
      throw ExpressionFailure(ExpressionSyntax::kMissingOperator,
                              text_.substr(begin, join.on->span.end - begin),
                              CharacterPosition(text_, begin));
    }
    join.height = 1 + std::max(left.height, right.height);
    if (join.height > kMaxTreeHeight) TooComplex();
    join.left = std::make_unique<TableRef>(std::move(left));
    join.right = std::make_unique<TableRef>(std::move(right));
    join.span = SpanFrom(first);
    left = std::move(join);
  }
  return left;
}

TableRef Parser::TablePrimary(int error) {
  const size_t first = pos_;
  if (AcceptSymbol("(")) {
    Nest nest(*this);
    ++open_parens_;
    if (AtWord("SELECT")) {
      TableRef ref;
      ref.kind = TableRef::Kind::kSubquery;
      ref.select = std::make_unique<Select>(SelectStatement());
      ExpectSymbol(")", error);
      --open_parens_;
      ref.alias = OptionalAlias(error);
      ref.span = SpanFrom(first);
      return ref;
    }
    TableRef inner = TableExpression(error);
    ExpectSymbol(")", error);
    --open_parens_;
    inner.span = SpanFrom(first);
    return inner;
  }
  TableRef ref;
  ref.name = ExpectName(error);
  if (AtSymbol(".") || AtSymbol("!")) Fail(error);
  ref.alias = OptionalAlias(error);
  ref.span = SpanFrom(first);
  return ref;
}

std::string Parser::OptionalAlias(int error) {
  if (AcceptWord("AS")) return ExpectName(error);
  if (AtName()) return Advance().text;
  return {};
}

void Parser::OrderBy(Select* select) {
  ExpectWord("ORDER", kDaoOrderBySyntax);
  ExpectWord("BY", kDaoOrderBySyntax);
  do {
    OrderItem item;
    item.expr = Expression(true);
    if (AcceptWord("DESC")) {
      item.descending = true;
    } else {
      AcceptWord("ASC");
    }
    select->order_by.push_back(std::move(item));
  } while (AcceptSymbol(","));
  if (!AtStatementEnd() && !AtPivot() && !(AtSymbol(")") && open_parens_ > 0)) {
    Reject(kDaoOrderBySyntax);
  }
}

}  // namespace parse
}  // namespace kr::db::engine
