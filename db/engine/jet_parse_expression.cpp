// Expressions, by precedence climbing over Jet's operator table (lowest first):
//   1 Imp, 2 Eqv, 3 Xor, 4 Or, 5 And, 6 Not (prefix), 7 comparisons (= <> < > <= >= Like Is
//   Between In), 8 &, 9 + -, 10 Mod, 11 \, 12 * /, 13 unary - +, 14 ^.
#include <algorithm>

#include "db/engine/jet_functions.h"
#include "db/engine/jet_parser_internal.h"
#include "db/engine/jet_values.h"

namespace kr::db::engine::parse {
namespace {

constexpr int kNotPrecedence = 6;
constexpr int kComparePrecedence = 7;
constexpr int kUnaryPrecedence = 13;

ExpressionSyntax SyntaxOfTokenError(TokenError error) {
  switch (error) {
    case TokenError::kString:
      return ExpressionSyntax::kString;
    case TokenError::kDate:
      return ExpressionSyntax::kDate;
    case TokenError::kBracket:
      return ExpressionSyntax::kMissingBracket;
    default:
      return ExpressionSyntax::kMissingOperator;
  }
}

bool BinaryOperator(const Token& t, BinaryOp* op) {
  struct Entry {
    std::string_view text;
    bool word;
    BinaryOp op;
  };
  static constexpr Entry kOps[] = {
      {"IMP", true, BinaryOp::kImp},          {"EQV", true, BinaryOp::kEqv},
      {"XOR", true, BinaryOp::kXor},          {"OR", true, BinaryOp::kOr},
      {"AND", true, BinaryOp::kAnd},          {"&", false, BinaryOp::kConcat},
      {"+", false, BinaryOp::kAdd},           {"-", false, BinaryOp::kSubtract},
      {"MOD", true, BinaryOp::kMod},          {"\\", false, BinaryOp::kIntDivide},
      {"*", false, BinaryOp::kMultiply},      {"/", false, BinaryOp::kDivide},
      {"^", false, BinaryOp::kPower},         {"=", false, BinaryOp::kEqual},
      {"<>", false, BinaryOp::kNotEqual},     {"<", false, BinaryOp::kLess},
      {"<=", false, BinaryOp::kLessEqual},    {">", false, BinaryOp::kGreater},
      {">=", false, BinaryOp::kGreaterEqual},
  };
  for (const Entry& e : kOps) {
    if (e.word ? IsWord(t, e.text) : IsSymbol(t, e.text)) {
      *op = e.op;
      return true;
    }
  }
  return false;
}

int Precedence(BinaryOp op) {
  switch (op) {
    case BinaryOp::kImp:
      return 1;
    case BinaryOp::kEqv:
      return 2;
    case BinaryOp::kXor:
      return 3;
    case BinaryOp::kOr:
      return 4;
    case BinaryOp::kAnd:
      return 5;
    case BinaryOp::kEqual:
    case BinaryOp::kNotEqual:
    case BinaryOp::kLess:
    case BinaryOp::kLessEqual:
    case BinaryOp::kGreater:
    case BinaryOp::kGreaterEqual:
      return kComparePrecedence;
    case BinaryOp::kConcat:
      return 8;
    case BinaryOp::kAdd:
    case BinaryOp::kSubtract:
      return 9;
    case BinaryOp::kMod:
      return 10;
    case BinaryOp::kIntDivide:
      return 11;
    case BinaryOp::kMultiply:
    case BinaryOp::kDivide:
      return 12;
    case BinaryOp::kPower:
      return 14;
  }
  return 0;
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

}  // namespace

ExprPtr Parser::Expression(bool in_list) {
  const size_t saved_start = expression_start_;
  const bool saved_in = in_expression_;
  expression_start_ = pos_;
  in_expression_ = true;
  ExprPtr expr = Operand(1);
  ExpectExpressionEnd(in_list);
  expression_start_ = saved_start;
  in_expression_ = saved_in;
  return expr;
}

bool Parser::IsClauseWord(const Token& t) {
  static constexpr std::string_view kWords[] = {
      "FROM", "WHERE", "GROUP", "HAVING", "ORDER", "UNION", "AS",  "ASC",
      "DESC", "ON",    "INNER", "LEFT",   "RIGHT", "JOIN",  "SET", "INTO",
  };
  return std::any_of(std::begin(kWords), std::end(kWords),
                     [&](std::string_view w) { return IsWord(t, w); });
}

void Parser::ExpectExpressionEnd(bool in_list) const {
  const Token& t = Peek();
  if (t.kind == TokenKind::kEnd || IsSymbol(t, ";")) return;
  if (IsSymbol(t, ",")) {
    if (in_list) return;
    FailExpression(ExpressionSyntax::kComma);
  }
  if (IsSymbol(t, ")")) {
    if (open_parens_ > 0) return;
    FailExpression(ExpressionSyntax::kExtraParenthesis);
  }
  if (IsClauseWord(t) || (in_transform_ && (IsWord(t, "SELECT") || IsWord(t, "PIVOT")))) return;
  if (t.kind == TokenKind::kError) FailExpression(SyntaxOfTokenError(t.error));
  if (IsSymbol(t, ".") || IsSymbol(t, "!")) FailExpression(ExpressionSyntax::kInvalidDot);
  FailExpression(ExpressionSyntax::kMissingOperator);
}

std::string Parser::ExpressionText(ExpressionSyntax kind) const {
  size_t first = std::min(expression_start_, tokens_.size() - 1);
  size_t begin = tokens_[first].span.begin;
  size_t end = begin;
  int depth = 0;
  for (size_t i = first; i < tokens_.size(); ++i) {
    const Token& t = tokens_[i];
    if (t.kind == TokenKind::kError) {
      end = text_.size();
      break;
    }
    if (t.kind == TokenKind::kEnd || IsSymbol(t, ";")) break;
    if (depth == 0 && i > first &&
        (IsClauseWord(t) || (IsSymbol(t, ",") && kind != ExpressionSyntax::kComma))) {
      break;
    }
    if (IsSymbol(t, "(")) ++depth;
    if (IsSymbol(t, ")")) {
      if (depth == 0 && kind != ExpressionSyntax::kExtraParenthesis) break;
      --depth;
    }
    end = t.span.end;
  }
  std::string_view quoted = text_.substr(begin, end > begin ? end - begin : 0);
  while (!quoted.empty() && (quoted.back() == ' ' || quoted.back() == ';' ||
                             quoted.back() == '\r' || quoted.back() == '\n')) {
    quoted.remove_suffix(1);
  }
  return std::string(quoted);
}

void Parser::FailExpression(ExpressionSyntax kind) const {
  throw ExpressionFailure(kind, ExpressionText(kind), CharacterPosition(text_, Peek().span.begin));
}

int Parser::OperatorPrecedence() const {
  const Token& t = Peek();
  if (IsWord(t, "LIKE") || IsWord(t, "IS") || IsWord(t, "BETWEEN") || IsWord(t, "IN")) {
    return kComparePrecedence;
  }
  if (IsWord(t, "NOT") && (AtWord("LIKE", 1) || AtWord("BETWEEN", 1) || AtWord("IN", 1))) {
    return kComparePrecedence;
  }
  BinaryOp op;
  return BinaryOperator(t, &op) ? Precedence(op) : 0;
}

ExprPtr Parser::MakeNode(ExprKind kind, Span span, std::vector<ExprPtr> args) {
  auto node = std::make_unique<Expr>();
  node->kind = kind;
  node->span = span;
  int height = 0;
  for (const ExprPtr& a : args) height = std::max(height, a->height);
  node->height = height + 1;
  if (node->height > kMaxTreeHeight) TooComplex();
  node->args = std::move(args);
  return node;
}

Span Parser::SpanFrom(size_t first_token) const {
  size_t last = pos_ > first_token ? pos_ - 1 : first_token;
  return {tokens_[first_token].span.begin, tokens_[last].span.end};
}

bool Parser::AtImplicitOperand(int min_precedence) const {
  return implicit_column_ && min_precedence <= kComparePrecedence &&
         OperatorPrecedence() == kComparePrecedence;
}

ExprPtr Parser::Operand(int min_precedence) {
  const size_t first = pos_;
  ExprPtr left;
  if (AtImplicitOperand(min_precedence)) {
    left = MakeNode(ExprKind::kColumn, {Peek().span.begin, Peek().span.begin}, {});
    left->column = *implicit_column_;
  } else {
    left = Prefix(min_precedence);
  }
  while (true) {
    const int precedence = OperatorPrecedence();
    if (precedence == 0 || precedence < min_precedence) break;
    std::vector<ExprPtr> args;
    args.push_back(std::move(left));
    BinaryOp op = BinaryOp::kEqual;
    if (BinaryOperator(Peek(), &op)) {
      Advance();
      // x > ANY (SELECT ...), = SOME (...), <> ALL (...): a comparison with each row.
      const bool comparison = op >= BinaryOp::kEqual && op <= BinaryOp::kGreaterEqual;
      if (comparison && (AtWord("ANY") || AtWord("SOME") || AtWord("ALL")) && AtSymbol("(", 1) &&
          AtWord("SELECT", 2)) {
        const bool all = AtWord("ALL");
        Advance();
        Advance();
        SelectPtr sub = Subquery();
        if (!AcceptSymbol(")")) FailExpression(ExpressionSyntax::kMissingBracket);
        left = MakeNode(ExprKind::kQuantified, SpanFrom(first), std::move(args));
        left->binary_op = op;
        left->all = all;
        left->select = std::move(sub);
        continue;
      }
      args.push_back(Operand(precedence + 1));
      left = MakeNode(ExprKind::kBinary, SpanFrom(first), std::move(args));
      left->binary_op = op;
      continue;
    }
    const bool negated = AcceptWord("NOT");
    if (AcceptWord("LIKE")) {
      args.push_back(Operand(kComparePrecedence + 1));
      const Expr& pattern = *args.back();
      if (pattern.kind == ExprKind::kText && !LikePatternValid(pattern.text)) {
        FailExpression(ExpressionSyntax::kPattern);
      }
      left = MakeNode(ExprKind::kLike, SpanFrom(first), std::move(args));
    } else if (AcceptWord("IS")) {
      const bool not_null = AcceptWord("NOT");
      if (!AcceptWord("NULL")) FailExpression(ExpressionSyntax::kMissingOperator);
      left = MakeNode(ExprKind::kIsNull, SpanFrom(first), std::move(args));
      left->negated = not_null;
      continue;
    } else if (AcceptWord("BETWEEN")) {
      args.push_back(Operand(kComparePrecedence + 1));
      if (!AcceptWord("AND")) FailExpression(ExpressionSyntax::kMissingOperator);
      args.push_back(Operand(kComparePrecedence + 1));
      left = MakeNode(ExprKind::kBetween, SpanFrom(first), std::move(args));
    } else {
      ExpectWord("IN", 0);
      if (!AcceptSymbol("(")) FailExpression(ExpressionSyntax::kMissingOperator);
      Nest nest(*this);
      if (AtWord("SELECT")) {
        SelectPtr sub = Subquery();
        if (!AcceptSymbol(")")) FailExpression(ExpressionSyntax::kMissingBracket);
        left = MakeNode(ExprKind::kInSelect, SpanFrom(first), std::move(args));
        left->select = std::move(sub);
      } else {
        do {
          args.push_back(Operand(1));
        } while (AcceptSymbol(","));
        if (!AcceptSymbol(")")) FailExpression(ExpressionSyntax::kMissingBracket);
        left = MakeNode(ExprKind::kInList, SpanFrom(first), std::move(args));
      }
    }
    left->negated = negated;
  }
  return left;
}

ExprPtr Parser::Prefix(int min_precedence) {
  const size_t first = pos_;
  if (AtWord("NOT")) {
    Nest nest(*this);
    Advance();
    std::vector<ExprPtr> args;
    args.push_back(Operand(kNotPrecedence));
    ExprPtr node = MakeNode(ExprKind::kUnary, SpanFrom(first), std::move(args));
    node->unary_op = UnaryOp::kNot;
    return node;
  }
  if (AtSymbol("-") || AtSymbol("+")) {
    Nest nest(*this);
    const bool negate = AtSymbol("-");
    Advance();
    std::vector<ExprPtr> args;
    args.push_back(Operand(std::max(min_precedence, kUnaryPrecedence)));
    ExprPtr node = MakeNode(ExprKind::kUnary, SpanFrom(first), std::move(args));
    node->unary_op = negate ? UnaryOp::kNegate : UnaryOp::kPlus;
    return node;
  }
  return Primary();
}

ExprPtr Parser::Primary() {
  const Token& t = Peek();
  const size_t first = pos_;
  auto leaf = [&](ExprKind kind) {
    ExprPtr node = MakeNode(kind, t.span, {});
    Advance();
    return node;
  };
  switch (t.kind) {
    case TokenKind::kInteger: {
      ExprPtr node = leaf(ExprKind::kInteger);
      node->integer = tokens_[first].integer;
      return node;
    }
    case TokenKind::kDouble:
    case TokenKind::kDate: {
      ExprPtr node = leaf(t.kind == TokenKind::kDate ? ExprKind::kDate : ExprKind::kDouble);
      node->number = tokens_[first].number;
      return node;
    }
    case TokenKind::kString: {
      ExprPtr node = leaf(ExprKind::kText);
      node->text = tokens_[first].text;
      return node;
    }
    case TokenKind::kError:
      FailExpression(SyntaxOfTokenError(t.error));
    case TokenKind::kEnd:
      FailExpression(ExpressionSyntax::kMissingOperator);
    case TokenKind::kName:
      return ColumnOrFunction();
    case TokenKind::kSymbol:
      if (IsSymbol(t, "(")) return Parenthesized();
      if (IsSymbol(t, ")")) FailExpression(ExpressionSyntax::kExtraParenthesis);
      if (IsSymbol(t, ",")) FailExpression(ExpressionSyntax::kComma);
      FailExpression(ExpressionSyntax::kMissingOperator);
    case TokenKind::kWord:
      break;
  }
  if (IsWord(t, "TRUE") || IsWord(t, "YES") || IsWord(t, "ON") || IsWord(t, "FALSE") ||
      IsWord(t, "NO") || IsWord(t, "OFF")) {
    const bool value = IsWord(t, "TRUE") || IsWord(t, "YES") || IsWord(t, "ON");
    ExprPtr node = leaf(ExprKind::kBoolean);
    node->boolean = value;
    return node;
  }
  if (IsWord(t, "NULL")) return leaf(ExprKind::kNull);
  if (IsWord(t, "EXISTS")) {
    Advance();
    if (!AcceptSymbol("(") || !AtWord("SELECT")) {
      FailExpression(ExpressionSyntax::kMissingOperator);
    }
    Nest nest(*this);
    SelectPtr sub = Subquery();
    if (!AcceptSymbol(")")) FailExpression(ExpressionSyntax::kMissingBracket);
    ExprPtr node = MakeNode(ExprKind::kExists, SpanFrom(first), {});
    node->select = std::move(sub);
    return node;
  }
  // Left, Right and Asc are also words of the grammar; with "(" they are the functions.
  if ((IsWord(t, "LEFT") || IsWord(t, "RIGHT") || IsWord(t, "ASC")) && AtSymbol("(", 1))
    return FunctionCall(t);
  if (IsReserved(t)) FailExpression(ExpressionSyntax::kMissingOperator);
  return ColumnOrFunction();
}

ExprPtr Parser::Parenthesized() {
  const size_t first = pos_;
  Nest nest(*this);
  Advance();
  if (AtWord("SELECT")) {
    SelectPtr sub = Subquery();
    if (!AcceptSymbol(")")) FailExpression(ExpressionSyntax::kMissingBracket);
    ExprPtr node = MakeNode(ExprKind::kSubquery, SpanFrom(first), {});
    node->select = std::move(sub);
    return node;
  }
  ExprPtr inner = Operand(1);
  if (AtSymbol(",")) FailExpression(ExpressionSyntax::kComma);
  if (!AcceptSymbol(")")) {
    if (Peek().kind == TokenKind::kError) FailExpression(SyntaxOfTokenError(Peek().error));
    FailExpression(AtEnd() ? ExpressionSyntax::kMissingBracket
                           : ExpressionSyntax::kMissingOperator);
  }
  return inner;
}

ExprPtr Parser::ColumnOrFunction() {
  const size_t first = pos_;
  const Token& name = Peek();
  if (name.kind == TokenKind::kWord && AtSymbol("(", 1)) return FunctionCall(name);
  Advance();
  ExprPtr node = MakeNode(ExprKind::kColumn, name.span, {});
  node->column = name.text;
  if (AtSymbol(".") || AtSymbol("!")) {
    Advance();
    const Token& part = Peek();
    if (part.kind != TokenKind::kWord && part.kind != TokenKind::kName) {
      if (part.kind == TokenKind::kError) FailExpression(SyntaxOfTokenError(part.error));
      FailExpression(ExpressionSyntax::kInvalidDot);
    }
    Advance();
    node->table = std::move(node->column);
    node->column = part.text;
    node->span = SpanFrom(first);
  }
  if (AtSymbol(".") || AtSymbol("!") || AtSymbol("("))
    FailExpression(ExpressionSyntax::kInvalidDot);
  return node;
}

ExprPtr Parser::FunctionCall(const Token& name_token) {
  const size_t first = pos_;
  const std::string written = name_token.text;
  const FunctionInfo* info = FindFunction(written);
  if (info == nullptr) {
    throw DaoFailure(
        kDaoUndefinedFunction, written, {},
        "at character " + std::to_string(CharacterPosition(text_, name_token.span.begin)));
  }
  Advance();  // name
  Advance();  // (
  Nest nest(*this);
  std::vector<ExprPtr> args;
  bool star = false;
  if (info->name == "COUNT" && AtSymbol("*")) {
    Advance();
    star = true;
  } else if (!AtSymbol(")")) {
    do {
      args.push_back(Operand(1));
    } while (AcceptSymbol(","));
  }
  if (!AcceptSymbol(")")) {
    if (Peek().kind == TokenKind::kError) FailExpression(SyntaxOfTokenError(Peek().error));
    FailExpression(AtEnd() ? ExpressionSyntax::kMissingBracket
                           : ExpressionSyntax::kMissingOperator);
  }
  const int count = static_cast<int>(args.size()) + (star ? 1 : 0);
  if (count < info->min_args || count > info->max_args) {
    FailExpression(ExpressionSyntax::kArgumentCount);
  }
  ExprPtr node = MakeNode(ExprKind::kFunction, SpanFrom(first), std::move(args));
  node->name = Upper(info->name);
  node->star = star;
  return node;
}

}  // namespace kr::db::engine::parse

namespace kr::db::engine {

ExprPtr ParseValidationRule(std::string_view rule, std::string_view field) {
  parse::Parser parser(rule);
  parser.implicit_column_ = std::string(field);
  if (parser.Peek().kind == TokenKind::kEnd) {
    parser.FailExpression(ExpressionSyntax::kMissingOperator);
  }
  return parser.WholeExpression();
}

}  // namespace kr::db::engine
