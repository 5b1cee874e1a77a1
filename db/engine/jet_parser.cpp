// Entry points, token handling, and the data statements (INSERT, UPDATE, DELETE). Queries are in
// jet_parse_select.cpp, expressions in jet_parse_expression.cpp, definitions in
// jet_parse_ddl.cpp.
#include "db/engine/jet_parser.h"

#include <algorithm>

#include "db/engine/jet_parser_internal.h"

namespace kr::db::engine {
namespace parse {

Parser::Parser(std::string_view text) : text_(text), tokens_(Tokenize(text)) {}

// --- Tokens ------------------------------------------------------------------------------------

const Token& Parser::Peek(size_t ahead) const {
  return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
}

const Token& Parser::Advance() {
  const Token& t = tokens_[pos_];
  if (pos_ + 1 < tokens_.size()) ++pos_;
  return t;
}

bool Parser::AtWord(std::string_view keyword, size_t ahead) const {
  return IsWord(Peek(ahead), keyword);
}

bool Parser::AtSymbol(std::string_view symbol, size_t ahead) const {
  return IsSymbol(Peek(ahead), symbol);
}

bool Parser::AcceptWord(std::string_view keyword) {
  if (!AtWord(keyword)) return false;
  Advance();
  return true;
}

bool Parser::AcceptSymbol(std::string_view symbol) {
  if (!AtSymbol(symbol)) return false;
  Advance();
  return true;
}

void Parser::ExpectWord(std::string_view keyword, int error) {
  if (!AcceptWord(keyword)) Fail(error);
}

void Parser::ExpectSymbol(std::string_view symbol, int error) {
  if (!AcceptSymbol(symbol)) Fail(error);
}

bool Parser::AtEnd() const {
  return Peek().kind == TokenKind::kEnd || (AtSymbol(";") && Peek(1).kind == TokenKind::kEnd);
}

bool Parser::AtStatementEnd() const { return Peek().kind == TokenKind::kEnd || AtSymbol(";"); }

bool Parser::IsReserved(const Token& t) {
  static constexpr std::string_view kReserved[] = {
      "ALTER",  "AND",      "AS",          "ASC",    "BETWEEN", "BY",     "CREATE", "DELETE",
      "DESC",   "DISTINCT", "DISTINCTROW", "DROP",   "EQV",     "EXISTS", "FALSE",  "FROM",
      "GROUP",  "HAVING",   "IMP",         "IN",     "INNER",   "INSERT", "INTO",   "IS",
      "JOIN",   "LEFT",     "LIKE",        "MOD",    "NOT",     "NULL",   "ON",     "OR",
      "ORDER",  "OUTER",    "RIGHT",       "SELECT", "SET",     "TOP",    "TRUE",   "UNION",
      "UPDATE", "VALUES",   "WHERE",       "XOR",
  };
  if (t.kind != TokenKind::kWord) return false;
  return std::any_of(std::begin(kReserved), std::end(kReserved),
                     [&](std::string_view w) { return IsWord(t, w); });
}

bool Parser::AtName(size_t ahead) const {
  const Token& t = Peek(ahead);
  return t.kind == TokenKind::kName || (t.kind == TokenKind::kWord && !IsReserved(t));
}

std::string Parser::ExpectName(int error) {
  if (!AtName()) {
    Reject(error);
  }
  return Advance().text;
}

// --- Failures ----------------------------------------------------------------------------------

void Parser::Fail(int number) const {
  const Token& t = Peek();
  std::string detail = "at character " + std::to_string(CharacterPosition(text_, t.span.begin));
  if (t.kind == TokenKind::kEnd) {
    detail += ", at the end of the statement";
  } else {
    detail += ", near '";
    detail += text_.substr(t.span.begin, std::min<size_t>(t.span.end - t.span.begin, 40));
    detail += "'";
  }
  throw DaoFailure(number, {}, {}, detail);
}

void Parser::CheckTokenError(int number) const {
  const Token& t = Peek();
  if (t.kind != TokenKind::kError) return;
  if (t.error == TokenError::kBracket) {
    std::string_view rest = text_.substr(t.span.begin, 64);
    throw DaoFailure(kDaoInvalidBracketing, rest, {},
                     "at character " + std::to_string(CharacterPosition(text_, t.span.begin)));
  }
  Fail(number);
}

void Parser::Reject(int number) const {
  CheckTokenError(number);
  Fail(number);
}

void Parser::TooComplex() const { Fail(kDaoQueryTooComplex); }

// --- Entry points ------------------------------------------------------------------------------

void Parser::Parameters(std::vector<std::string>* names) {
  ExpectWord("PARAMETERS", kDaoParameterSyntax);
  do {
    names->push_back(ExpectName(kDaoParameterSyntax));
    if (!AtName() && Peek().kind != TokenKind::kWord) Fail(kDaoParameterSyntax);
    Advance();  // the type: any of Jet's type names, the value being given when the query runs
    if (AcceptSymbol("(")) {
      if (Peek().kind != TokenKind::kInteger) Fail(kDaoParameterSyntax);
      Advance();
      ExpectSymbol(")", kDaoParameterSyntax);
    }
  } while (AcceptSymbol(","));
  ExpectSymbol(";", kDaoParameterSyntax);
}

StatementBody Parser::Statement(std::vector<std::string>* parameters) {
  if (AtWord("PARAMETERS")) Parameters(parameters);
  CheckTokenError(kDaoInvalidStatement);
  StatementBody body;
  bool values_insert = false;
  if (AtWord("TRANSFORM")) {
    body = TransformStatement();
  } else if (AtWord("SELECT") || AtWord("TABLE")) {
    into_allowed_ = true;
    body = SelectStatement();
  } else if (AtWord("INSERT")) {
    Insert insert = InsertStatement();
    values_insert = !insert.select;
    body = std::move(insert);
  } else if (AtWord("UPDATE")) {
    body = UpdateStatement();
  } else if (AtWord("DELETE")) {
    body = DeleteStatement();
  } else if (AtWord("CREATE")) {
    body = CreateStatement();
  } else if (AtWord("DROP")) {
    body = DropStatement();
  } else if (AtWord("ALTER")) {
    body = AlterStatement();
  } else {
    Fail(kDaoInvalidStatement);
  }
  AcceptSymbol(";");
  if (Peek().kind != TokenKind::kEnd) {
    Fail(values_insert ? kDaoMissingSemicolon : kDaoCharactersAfterEnd);
  }
  return body;
}

ExprPtr Parser::WholeExpression() { return ExpressionToEnd(false); }

ExprPtr Parser::WhereText() {
  if (Peek().kind == TokenKind::kEnd) return nullptr;
  if (AcceptWord("WHERE") && AtEnd()) Fail(kDaoWhereSyntax);
  return ExpressionToEnd(true);
}

// One expression that must take the rest of the text (a closing ";" allowed when asked).
ExprPtr Parser::ExpressionToEnd(bool allow_semicolon) {
  expression_start_ = pos_;
  in_expression_ = true;
  ExprPtr expr = Operand(1);
  if (allow_semicolon) AcceptSymbol(";");
  if (Peek().kind != TokenKind::kEnd) {
    const Token& t = Peek();
    if (IsSymbol(t, ",")) FailExpression(ExpressionSyntax::kComma);
    if (IsSymbol(t, ")")) FailExpression(ExpressionSyntax::kExtraParenthesis);
    ExpectExpressionEnd(false);
    FailExpression(ExpressionSyntax::kMissingOperator);
  }
  return expr;
}

// --- INSERT, UPDATE, DELETE --------------------------------------------------------------------

Insert Parser::InsertStatement() {
  const size_t first = pos_;
  Insert insert;
  ExpectWord("INSERT", kDaoInsertSyntax);
  ExpectWord("INTO", kDaoInsertSyntax);
  const size_t table_token = pos_;
  insert.table = ExpectName(kDaoInsertSyntax);
  insert.table_span = tokens_[table_token].span;
  if (AcceptSymbol("(")) {
    do {
      std::string name = ExpectName(kDaoInsertSyntax);
      if (AcceptSymbol(".") || AcceptSymbol("!")) name = ExpectName(kDaoInsertSyntax);
      insert.columns.push_back(std::move(name));
    } while (AcceptSymbol(","));
    ExpectSymbol(")", kDaoInsertSyntax);
  }
  if (AcceptWord("VALUES")) {
    ExpectSymbol("(", kDaoInsertSyntax);
    Nest nest(*this);
    ++open_parens_;
    do {
      insert.values.push_back(Expression(true));
    } while (AcceptSymbol(","));
    ExpectSymbol(")", kDaoInsertSyntax);
    --open_parens_;
    if (!insert.columns.empty() && insert.columns.size() != insert.values.size()) {
      Fail(kDaoValueCountMismatch);
    }
  } else if (AtWord("SELECT")) {
    insert.select = std::make_unique<Select>(SelectStatement());
  } else {
    Reject(kDaoInsertSyntax);
  }
  insert.span = SpanFrom(first);
  return insert;
}

ExprPtr Parser::ColumnReference(int error) {
  const size_t first = pos_;
  auto node = std::make_unique<Expr>();
  node->kind = ExprKind::kColumn;
  node->column = ExpectName(error);
  if (AcceptSymbol(".") || AcceptSymbol("!")) {
    node->table = std::move(node->column);
    const Token& part = Peek();
    if (part.kind != TokenKind::kWord && part.kind != TokenKind::kName) {
      Reject(error);
    }
    node->column = Advance().text;
  }
  node->span = SpanFrom(first);
  return node;
}

Update Parser::UpdateStatement() {
  const size_t first = pos_;
  Update update;
  ExpectWord("UPDATE", kDaoUpdateSyntax);
  update.target = TableExpression(kDaoUpdateSyntax);
  ExpectWord("SET", kDaoUpdateSyntax);
  do {
    Assignment assignment;
    assignment.column = ColumnReference(kDaoUpdateSyntax);
    ExpectSymbol("=", kDaoUpdateSyntax);
    assignment.value = Expression(true);
    update.assignments.push_back(std::move(assignment));
  } while (AcceptSymbol(","));
  if (AcceptWord("WHERE")) update.where = Expression();
  update.span = SpanFrom(first);
  return update;
}

Delete Parser::DeleteStatement() {
  const size_t first = pos_;
  Delete del;
  ExpectWord("DELETE", kDaoFromClauseSyntax);
  // Access writes DELETE DISTINCTROW t.* FROM t INNER JOIN ...: the rows of t go once each anyway.
  AcceptWord("DISTINCTROW");
  if (AcceptSymbol("*")) {
    del.target = Delete::Target::kAll;
  } else if (AtName() && (AtSymbol(".", 1) || AtSymbol("!", 1)) && AtSymbol("*", 2)) {
    del.target = Delete::Target::kTable;
    del.target_table = Advance().text;
    Advance();
    Advance();
  }
  ExpectWord("FROM", kDaoFromClauseSyntax);
  del.from = TableExpression(kDaoFromClauseSyntax);
  if (AcceptWord("WHERE")) del.where = Expression();
  if (!AtStatementEnd()) {
    CheckTokenError(kDaoFromClauseSyntax);
    if (!del.where) Fail(kDaoFromClauseSyntax);
  }
  del.span = SpanFrom(first);
  return del;
}

}  // namespace parse

Statement ParseStatement(std::string_view sql) {
  Statement statement;
  statement.text.assign(sql);
  parse::Parser parser(statement.text);
  statement.body = parser.Statement(&statement.parameters);
  return statement;
}

ExprPtr ParseExpression(std::string_view text) {
  parse::Parser parser(text);
  if (parser.Peek().kind == TokenKind::kEnd) {
    parser.FailExpression(ExpressionSyntax::kMissingOperator);
  }
  return parser.WholeExpression();
}

ExprPtr ParseWhereText(std::string_view text) {
  parse::Parser parser(text);
  return parser.WhereText();
}

}  // namespace kr::db::engine
