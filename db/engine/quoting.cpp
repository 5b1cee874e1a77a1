// The one place texts and names are quoted, for Jet statements and for SQLite's.
#include <string>
#include <string_view>

#include "db/engine/engine.h"
#include "db/engine/sql_quote.h"

namespace kr::db::engine {

namespace {

std::string Doubled(std::string_view text, char quote) {
  std::string out(1, quote);
  for (char c : text) {
    if (c == quote) out += quote;
    out += c;
  }
  return out + quote;
}

}  // namespace

std::string QuoteJetText(std::string_view text) { return Doubled(text, '\''); }

std::string QuoteJetName(std::string_view name) { return "[" + std::string(name) + "]"; }

std::string SqlTextLiteral(std::string_view text) {
  if (text.find('\0') == std::string_view::npos) return Doubled(text, '\'');
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "CAST(X'";
  for (unsigned char c : text) {
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out + "' AS TEXT)";
}

std::string SqlIdentifier(std::string_view name) { return Doubled(name, '"'); }

}  // namespace kr::db::engine
