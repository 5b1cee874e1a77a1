#include "db/engine/jet_tokens.h"

#include <charconv>

#include "db/engine/jet_values.h"

namespace kr::db::engine {
namespace {

constexpr uint32_t kIdeographicSpace = 0x3000;

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view text) : s_(text) {}

  std::vector<Token> Run() {
    while (true) {
      SkipSpace();
      if (pos_ >= s_.size()) break;
      Token token = Next();
      bool error = token.kind == TokenKind::kError;
      tokens_.push_back(std::move(token));
      if (error) break;
    }
    Token end;
    end.span = {static_cast<uint32_t>(s_.size()), static_cast<uint32_t>(s_.size())};
    tokens_.push_back(end);
    return std::move(tokens_);
  }

 private:
  void SkipSpace() {
    while (pos_ < s_.size()) {
      char c = s_[pos_];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
        ++pos_;
        continue;
      }
      if (static_cast<unsigned char>(c) >= 0x80) {
        size_t next = pos_;
        if (DecodeUtf8(s_, &next) == kIdeographicSpace) {
          pos_ = next;
          continue;
        }
      }
      break;
    }
  }

  Token Make(TokenKind kind, size_t begin) const {
    Token t;
    t.kind = kind;
    t.span = {static_cast<uint32_t>(begin), static_cast<uint32_t>(pos_)};
    return t;
  }

  Token Error(TokenError error, size_t begin) {
    pos_ = s_.size();  // nothing after an error is read
    Token t = Make(TokenKind::kError, begin);
    t.error = error;
    return t;
  }

  // A word character at pos_ (advancing past it), or false without moving.
  bool WordChar(bool first) {
    char c = s_[pos_];
    if (IsAsciiLetter(c) || c == '_' || (!first && IsDigit(c))) {
      ++pos_;
      return true;
    }
    if (static_cast<unsigned char>(c) < 0x80) return false;
    size_t next = pos_;
    uint32_t cp = DecodeUtf8(s_, &next);
    if (cp == 0xFFFD && next == pos_ + 1) return false;  // invalid UTF-8
    if (cp == kIdeographicSpace) return false;
    pos_ = next;
    return true;
  }

  bool PreviousEndsName() const {
    if (tokens_.empty()) return false;
    const Token& t = tokens_.back();
    return t.kind == TokenKind::kWord || t.kind == TokenKind::kName || IsSymbol(t, ")");
  }

  Token Next() {
    const size_t begin = pos_;
    const char c = s_[pos_];
    if (IsDigit(c) ||
        (c == '.' && pos_ + 1 < s_.size() && IsDigit(s_[pos_ + 1]) && !PreviousEndsName())) {
      return Number(begin);
    }
    if (c == '&' && pos_ + 2 < s_.size() &&
        (s_[pos_ + 1] == 'H' || s_[pos_ + 1] == 'h' || s_[pos_ + 1] == 'O' ||
         s_[pos_ + 1] == 'o') &&
        IsHexDigit(s_[pos_ + 2])) {
      return Radix(begin);
    }
    if (c == '\'' || c == '"') return String(begin, c);
    if (c == '[') return Bracketed(begin);
    if (c == '#') return Date(begin);
    if (WordChar(true)) {
      while (pos_ < s_.size() && WordChar(false)) {
      }
      Token t = Make(TokenKind::kWord, begin);
      t.text.assign(s_.substr(begin, pos_ - begin));
      return t;
    }
    return Symbol(begin);
  }

  Token Number(size_t begin) {
    bool real = false;
    while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
    if (pos_ < s_.size() && s_[pos_] == '.') {
      real = true;
      ++pos_;
      while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      size_t e = pos_ + 1;
      if (e < s_.size() && (s_[e] == '+' || s_[e] == '-')) ++e;
      if (e < s_.size() && IsDigit(s_[e])) {
        real = true;
        pos_ = e;
        while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
      }
    }
    std::string_view digits = s_.substr(begin, pos_ - begin);
    if (!real) {
      int64_t value = 0;
      auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
      if (ec == std::errc() && end == digits.data() + digits.size()) {
        Token t = Make(TokenKind::kInteger, begin);
        t.integer = value;
        return t;
      }
    }
    auto value = ParseNumberText(digits);
    if (!value) return Error(TokenError::kNumber, begin);
    Token t = Make(TokenKind::kDouble, begin);
    t.number = *value;
    return t;
  }

  Token Radix(size_t begin) {
    pos_ += 2;
    const bool hex = s_[begin + 1] == 'H' || s_[begin + 1] == 'h';
    while (pos_ < s_.size() &&
           (hex ? IsHexDigit(s_[pos_]) : (s_[pos_] >= '0' && s_[pos_] <= '7'))) {
      ++pos_;
    }
    auto value = ParseNumberText(s_.substr(begin, pos_ - begin));
    if (!value) return Error(TokenError::kNumber, begin);
    Token t = Make(TokenKind::kInteger, begin);
    t.integer = static_cast<int64_t>(*value);
    return t;
  }

  Token String(size_t begin, char quote) {
    std::string value;
    ++pos_;
    while (true) {
      size_t close = s_.find(quote, pos_);
      if (close == std::string_view::npos) return Error(TokenError::kString, begin);
      value.append(s_.substr(pos_, close - pos_));
      pos_ = close + 1;
      if (pos_ < s_.size() && s_[pos_] == quote) {
        value += quote;
        ++pos_;
        continue;
      }
      break;
    }
    Token t = Make(TokenKind::kString, begin);
    t.text = std::move(value);
    return t;
  }

  Token Bracketed(size_t begin) {
    size_t close = s_.find(']', begin + 1);
    if (close == std::string_view::npos) return Error(TokenError::kBracket, begin);
    std::string_view name = s_.substr(begin + 1, close - begin - 1);
    if (name.empty() || name.find('[') != std::string_view::npos) {
      return Error(TokenError::kBracket, begin);
    }
    pos_ = close + 1;
    Token t = Make(TokenKind::kName, begin);
    t.text.assign(name);
    return t;
  }

  Token Date(size_t begin) {
    size_t close = s_.find('#', begin + 1);
    if (close == std::string_view::npos) return Error(TokenError::kDate, begin);
    auto value = ParseDateLiteral(s_.substr(begin + 1, close - begin - 1));
    if (!value) return Error(TokenError::kDate, begin);
    pos_ = close + 1;
    Token t = Make(TokenKind::kDate, begin);
    t.number = *value;
    return t;
  }

  Token Symbol(size_t begin) {
    static constexpr std::string_view kTwo[] = {"<>", "<=", ">="};
    for (std::string_view two : kTwo) {
      if (s_.substr(pos_, 2) == two) {
        pos_ += 2;
        Token t = Make(TokenKind::kSymbol, begin);
        t.text.assign(two);
        return t;
      }
    }
    static constexpr std::string_view kOne = "(),.!;*+-/\\^&=<>";
    if (kOne.find(s_[pos_]) != std::string_view::npos) {
      ++pos_;
      Token t = Make(TokenKind::kSymbol, begin);
      t.text.assign(1, s_[begin]);
      return t;
    }
    if (s_[pos_] == ']') return Error(TokenError::kBracket, begin);
    return Error(TokenError::kCharacter, begin);
  }

  std::string_view s_;
  size_t pos_ = 0;
  std::vector<Token> tokens_;
};

}  // namespace

std::vector<Token> Tokenize(std::string_view text) { return Tokenizer(text).Run(); }

bool IsWord(const Token& token, std::string_view upper_keyword) {
  if (token.kind != TokenKind::kWord || token.text.size() != upper_keyword.size()) return false;
  for (size_t i = 0; i < upper_keyword.size(); ++i) {
    char c = token.text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c != upper_keyword[i]) return false;
  }
  return true;
}

bool IsSymbol(const Token& token, std::string_view symbol) {
  return token.kind == TokenKind::kSymbol && token.text == symbol;
}

}  // namespace kr::db::engine
