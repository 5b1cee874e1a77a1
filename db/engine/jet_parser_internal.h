// The parser's state, shared by its three files: jet_parser.cpp (queries and data statements),
// jet_parse_expression.cpp (expressions) and jet_parse_ddl.cpp (definition statements).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/engine/dao_errors.h"
#include "db/engine/jet_ast.h"
#include "db/engine/jet_parser.h"
#include "db/engine/jet_tokens.h"

namespace kr::db::engine::parse {

class Parser {
 public:
  explicit Parser(std::string_view text);

  // --- Entry points ---
  // parameters: the names a PARAMETERS declaration gives.
  StatementBody Statement(std::vector<std::string>* parameters);
  void Parameters(std::vector<std::string>* names);
  ExprPtr WholeExpression();  // the text is one expression
  ExprPtr WhereText();
  ExprPtr ExpressionToEnd(bool allow_semicolon);

  // --- Tokens ---
  const Token& Peek(size_t ahead = 0) const;
  const Token& Advance();
  bool AtWord(std::string_view keyword, size_t ahead = 0) const;
  bool AtSymbol(std::string_view symbol, size_t ahead = 0) const;
  bool AcceptWord(std::string_view keyword);
  bool AcceptSymbol(std::string_view symbol);
  void ExpectWord(std::string_view keyword, int error);
  void ExpectSymbol(std::string_view symbol, int error);
  bool AtEnd() const;           // kEnd, or ";" followed by kEnd
  bool AtStatementEnd() const;  // kEnd or ";" (text after ";" is the caller's business)
  // True for words the grammar reserves: they are never bare names.
  static bool IsReserved(const Token& token);
  // A name: a bare word that is not reserved, or a [bracketed] name.
  bool AtName(size_t ahead = 0) const;
  std::string ExpectName(int error);

  // --- Failures ---
  [[noreturn]] void Fail(int number) const;  // at the current token
  [[noreturn]] void FailExpression(ExpressionSyntax kind) const;
  // The current token's failure when it is a kError token, in statement context.
  void CheckTokenError(int number) const;
  // Refuses the statement at the current token: its own failure first, else number.
  [[noreturn]] void Reject(int number) const;
  [[noreturn]] void TooComplex() const;

  // --- Nesting ---
  class Nest {
   public:
    explicit Nest(Parser& p) : p_(p) {
      if (++p_.depth_ > kMaxNesting) p_.TooComplex();
    }
    ~Nest() { --p_.depth_; }
    Nest(const Nest&) = delete;
    Nest& operator=(const Nest&) = delete;

   private:
    Parser& p_;
  };

  // --- Expressions (jet_parse_expression.cpp) ---
  // A complete expression in a clause; errors inside name it as the query expression. in_list:
  // a "," may follow (select items, VALUES, GROUP BY, ...).
  ExprPtr Expression(bool in_list = false);
  ExprPtr Operand(int min_precedence);
  ExprPtr Prefix(int min_precedence);
  ExprPtr Primary();
  ExprPtr Parenthesized();  // at "(": a parenthesised expression or a subquery
  ExprPtr ColumnOrFunction();
  ExprPtr FunctionCall(const Token& name);
  ExprPtr MakeNode(ExprKind kind, Span span, std::vector<ExprPtr> args);
  // Whether a binary or comparison operator starts at the current token; its precedence.
  int OperatorPrecedence() const;
  // Validation rules leave a comparison's left operand out (">0", "Between 1 And 5"): the
  // field, when implicit_column_ is set and a comparison starts where an operand should.
  bool AtImplicitOperand(int min_precedence) const;
  std::optional<std::string> implicit_column_;
  // After an expression in a clause: the next token must be able to follow one.
  void ExpectExpressionEnd(bool in_list) const;
  static bool IsClauseWord(const Token& token);
  std::string ExpressionText(ExpressionSyntax kind) const;
  Span SpanFrom(size_t first_token) const;

  // --- Queries (jet_parser.cpp) ---
  Select SelectStatement();  // at SELECT
  Select SelectCore();
  Select WholeTable();          // at TABLE
  Select TransformStatement();  // at TRANSFORM
  // Inside TRANSFORM's SELECT, PIVOT ends a clause.
  bool in_transform_ = false;
  bool AtPivot() const { return in_transform_ && AtWord("PIVOT"); }
  bool into_allowed_ = false;  // the next SELECT may make a table (SELECT ... INTO)
  SelectPtr Subquery();        // at SELECT, inside parentheses already opened
  void SelectItems(Select* select);
  void FromClause(std::vector<TableRef>* from);
  // A table, subquery or join; error is the clause's number (3131 FROM, 3144 UPDATE).
  TableRef TableExpression(int error);
  TableRef TablePrimary(int error);
  std::string OptionalAlias(int error);
  void OrderBy(Select* select);
  Insert InsertStatement();
  Update UpdateStatement();
  Delete DeleteStatement();
  ExprPtr ColumnReference(int error);

  // --- Definitions (jet_parse_ddl.cpp) ---
  StatementBody CreateStatement();
  StatementBody DropStatement();
  AlterTable AlterStatement();
  ColumnDef ColumnDefinition(int error);
  TableConstraint Constraint();
  void References(std::string* table, std::vector<std::string>* columns, bool* cascade_update,
                  bool* cascade_delete);
  std::vector<std::string> NameList(int error);

  std::string_view text_;
  std::vector<Token> tokens_;
  size_t pos_ = 0;
  int depth_ = 0;
  // The token where the expression being parsed began (for 3075's quoted text).
  size_t expression_start_ = 0;
  bool in_expression_ = false;
  // Parentheses opened by the statement grammar (subqueries, VALUES, parenthesised joins) and
  // not yet closed: an expression may end at ")" only inside one.
  int open_parens_ = 0;
};

}  // namespace kr::db::engine::parse
