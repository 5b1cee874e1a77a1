// Tokenizer of Jet SQL: the first stage of the translator (tokens -> jet_parser -> jet_ast ->
// SQLite generators). Internal to db/engine.
//
// Never throws and never fails: malformed input (an unterminated string, bracket or date, a
// character Jet does not know) becomes one kError token, after which tokenizing stops, so the
// parser reports it with the error number of the clause it was reading.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/engine/jet_ast.h"

namespace kr::db::engine {

enum class TokenKind {
  kEnd,      // end of text (always the last token)
  kWord,     // bare word: keyword or name; `text` as written
  kName,     // [bracketed name]: `text` without the brackets; never a keyword
  kInteger,  // `integer`
  kDouble,   // `number`
  kString,   // '...' or "...": `text` is the value
  kDate,     // #...#: `number` is the OLE date
  kSymbol,   // ( ) , . ! ; * + - / \ ^ & = <> < > <= >=: `text` is the symbol
  kError,    // `error` says what is wrong
};

enum class TokenError {
  kNone,
  kString,     // a quote without its closing quote
  kBracket,    // "[" without "]", or a stray "]"
  kDate,       // #...# that is not a date, or without its closing "#"
  kNumber,     // a malformed number (1e, &H without digits, &HFFFFFFFFF)
  kCharacter,  // a character that has no meaning here (`, $, {, NUL, invalid UTF-8, ...)
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  Span span;
  std::string text;
  int64_t integer = 0;
  double number = 0;
  TokenError error = TokenError::kNone;
};

// The tokens of text, ending with kEnd (after a kError token when there is one).
std::vector<Token> Tokenize(std::string_view text);

// Whether a kWord token is the keyword (ASCII letters, compared case-insensitively).
bool IsWord(const Token& token, std::string_view upper_keyword);
// Whether a token is the symbol.
bool IsSymbol(const Token& token, std::string_view symbol);

}  // namespace kr::db::engine
