// KRDB statements: links, tables with field properties Jet DDL has no words for, and rows with
// values Jet SQL has no literal for. Built through the object model, as DAO code would.
#include <cctype>
#include <charconv>
#include <cstdlib>

#include "app/krdb/krdb_internal.h"
#include "platform/failure.h"

namespace kr::krdb {

namespace {

constexpr int kSyntaxError = 3000;

[[noreturn]] void Fail(std::string_view what) {
  throw kr::Failure(kSyntaxError, "KRDB 文の構文エラーです: " + std::string(what),
                    "KRDB statement: " + std::string(what));
}

struct Token {
  enum Kind { kEnd, kWord, kName, kText, kNumber, kDate, kSymbol } kind = kEnd;
  std::string text;
};

class Tokens {
 public:
  explicit Tokens(std::string_view s) : s_(s) {}

  const Token& Peek() {
    if (!peeked_) {
      next_ = Read();
      peeked_ = true;
    }
    return next_;
  }
  Token Take() {
    Token t = Peek();
    peeked_ = false;
    return t;
  }
  bool AcceptWord(std::string_view word) {
    if (Peek().kind != Token::kWord || !SameWord(Peek().text, word)) return false;
    Take();
    return true;
  }
  void ExpectWord(std::string_view word) {
    if (!AcceptWord(word)) Fail(std::string(word) + " expected");
  }
  bool AcceptSymbol(char c) {
    if (Peek().kind != Token::kSymbol || Peek().text[0] != c) return false;
    Take();
    return true;
  }
  void ExpectSymbol(char c) {
    if (!AcceptSymbol(c)) Fail(std::string("'") + c + "' expected");
  }
  std::string Name() {
    Token t = Take();
    if (t.kind != Token::kName && t.kind != Token::kWord) Fail("name expected");
    return t.text;
  }
  std::string Text() {
    Token t = Take();
    if (t.kind != Token::kText) Fail("quoted text expected");
    return t.text;
  }
  void ExpectEnd() {
    AcceptSymbol(';');
    if (Peek().kind != Token::kEnd) Fail("unexpected " + Peek().text);
  }

  static bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (std::toupper(static_cast<unsigned char>(a[i])) !=
          std::toupper(static_cast<unsigned char>(b[i])))
        return false;
    return true;
  }

 private:
  static bool WordChar(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || u >= 0x80;
  }

  Token Read() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    Token t;
    if (pos_ >= s_.size()) return t;
    char c = s_[pos_];
    if (c == '[') {
      size_t close = s_.find(']', pos_);
      if (close == std::string_view::npos) Fail("unclosed [");
      t = {Token::kName, std::string(s_.substr(pos_ + 1, close - pos_ - 1))};
      pos_ = close + 1;
    } else if (c == '\'') {
      t.kind = Token::kText;
      ++pos_;
      while (true) {
        size_t close = s_.find('\'', pos_);
        if (close == std::string_view::npos) Fail("unclosed '");
        t.text.append(s_.substr(pos_, close - pos_));
        pos_ = close + 1;
        if (pos_ < s_.size() && s_[pos_] == '\'') {
          t.text.push_back('\'');
          ++pos_;
          continue;
        }
        break;
      }
    } else if (c == '#') {
      size_t close = s_.find('#', pos_ + 1);
      if (close == std::string_view::npos) Fail("unclosed #");
      t = {Token::kDate, std::string(s_.substr(pos_ + 1, close - pos_ - 1))};
      pos_ = close + 1;
    } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
      size_t begin = pos_;
      while (
          pos_ < s_.size() &&
          (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '.' ||
           ((s_[pos_] == '+' || s_[pos_] == '-') && (s_[pos_ - 1] == 'e' || s_[pos_ - 1] == 'E'))))
        ++pos_;
      t = {Token::kNumber, std::string(s_.substr(begin, pos_ - begin))};
    } else if (WordChar(c)) {
      size_t begin = pos_;
      while (pos_ < s_.size() && WordChar(s_[pos_])) ++pos_;
      t = {Token::kWord, std::string(s_.substr(begin, pos_ - begin))};
    } else {
      t = {Token::kSymbol, std::string(1, c)};
      ++pos_;
    }
    return t;
  }

  std::string_view s_;
  size_t pos_ = 0;
  bool peeked_ = false;
  Token next_;
};

double Number(const std::string& text) {
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) Fail("bad number " + text);
  return value;
}

// Exact: a currency literal must not pass through a double.
int64_t ScaledCurrency(const std::string& text) {
  size_t i = 0;
  bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  int64_t whole = 0, fraction = 0;
  int fraction_digits = 0;
  bool any = false, point = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9' || (point && fraction_digits == 4)) Fail("bad currency " + text);
    any = true;
    if (point) {
      fraction = fraction * 10 + (c - '0');
      ++fraction_digits;
    } else {
      if (whole > 922337203685477) Fail("currency out of range " + text);
      whole = whole * 10 + (c - '0');
    }
  }
  if (!any) Fail("bad currency " + text);
  while (fraction_digits++ < 4) fraction *= 10;
  int64_t scaled = whole * 10000 + fraction;
  return negative ? -scaled : scaled;
}

Value DateValue(const std::string& text) {
  engine::DateTime t;
  char extra = 0;
  int n = std::sscanf(text.c_str(), "%d/%d/%d %d:%d:%d%c", &t.year, &t.month, &t.day, &t.hour,
                      &t.minute, &t.second, &extra);
  if (n != 3 && n != 6) Fail("bad date #" + text + "#");
  return Value::Date(engine::MakeDate(t));
}

Value Literal(Tokens& in) {
  bool negative = in.AcceptSymbol('-');
  Token t = in.Take();
  switch (t.kind) {
    case Token::kNumber: {
      if (t.text.size() > 2 && (t.text[1] == 'x' || t.text[1] == 'X') && t.text[0] == '0') {
        std::string bytes;
        if (t.text.size() % 2 != 0) Fail("odd hex digits " + t.text);
        for (size_t i = 2; i < t.text.size(); i += 2) {
          unsigned value = 0;
          auto [end, ec] = std::from_chars(t.text.data() + i, t.text.data() + i + 2, value, 16);
          if (ec != std::errc() || end != t.text.data() + i + 2) Fail("bad hex " + t.text);
          bytes.push_back(static_cast<char>(value));
        }
        return Value::Binary(bytes);
      }
      double d = Number(t.text);
      return Value::Double(negative ? -d : d);
    }
    case Token::kText:
      return Value::Text(t.text);
    case Token::kDate:
      return DateValue(t.text);
    case Token::kWord:
      if (Tokens::SameWord(t.text, "Null")) return Value::Null();
      if (Tokens::SameWord(t.text, "True")) return Value::Boolean(true);
      if (Tokens::SameWord(t.text, "False")) return Value::Boolean(false);
      if (Tokens::SameWord(t.text, "CDate")) {
        in.ExpectSymbol('(');
        bool minus = in.AcceptSymbol('-');
        Token n = in.Take();
        if (n.kind != Token::kNumber) Fail("number expected in CDate");
        in.ExpectSymbol(')');
        return Value::Date(minus ? -Number(n.text) : Number(n.text));
      }
      if (Tokens::SameWord(t.text, "CCur")) {
        in.ExpectSymbol('(');
        Value v = Value::Currency(ScaledCurrency(in.Text()));
        in.ExpectSymbol(')');
        return v;
      }
      break;
    default:
      break;
  }
  Fail("literal expected at " + t.text);
}

struct TypeWord {
  std::string_view word;
  int type;
  bool counter;
};
constexpr TypeWord kTypeWords[] = {
    {"YESNO", engine::kBoolean, false}, {"BYTE", engine::kByte, false},
    {"SHORT", engine::kInteger, false}, {"LONG", engine::kLong, false},
    {"COUNTER", engine::kLong, true},   {"CURRENCY", engine::kCurrency, false},
    {"SINGLE", engine::kSingle, false}, {"DOUBLE", engine::kDouble, false},
    {"DATETIME", engine::kDate, false}, {"BINARY", engine::kBinary, false},
    {"TEXT", engine::kText, false},     {"LONGBINARY", engine::kLongBinary, false},
    {"MEMO", engine::kMemo, false},
};

void Link(engine::Database& db, Tokens& in, const ScriptOptions& options) {
  std::string name = in.Name();
  in.ExpectWord("TO");
  std::string source_table = in.Name();
  in.ExpectWord("IN");
  std::string source_db = in.Text();
  in.ExpectEnd();
  engine::TableDef link = db.CreateTableDef(name);
  link.SetConnect(";DataBase=" + source_db + ";PWD=" + options.password + ";");
  link.SetSourceTableName(source_table);
  db.TableDefs().Append(link);
}

void Table(engine::Database& db, Tokens& in) {
  engine::TableDef table = db.CreateTableDef(in.Name());
  in.ExpectSymbol('(');
  do {
    std::string name = in.Name();
    std::string type_word = in.Name();
    const TypeWord* type = nullptr;
    for (const TypeWord& t : kTypeWords)
      if (Tokens::SameWord(t.word, type_word)) type = &t;
    if (type == nullptr) Fail("unknown type " + type_word);
    int32_t size = 0;
    if (in.AcceptSymbol('(')) {
      size = static_cast<int32_t>(Number(in.Take().text));
      in.ExpectSymbol(')');
    }
    engine::Field field = table.CreateField(name, type->type, size);
    if (type->counter) field.SetAttributes(field.Attributes() | engine::kAutoIncrField);
    field.SetAllowZeroLength(type->type == engine::kText || type->type == engine::kMemo);
    while (true) {
      if (in.AcceptWord("NOT")) {
        in.ExpectWord("NULL");
        field.SetRequired(true);
      } else if (in.AcceptWord("ZEROLENGTH")) {
        field.SetAllowZeroLength(true);
      } else if (in.AcceptWord("NOZEROLENGTH")) {
        field.SetAllowZeroLength(false);
      } else if (in.AcceptWord("DEFAULT")) {
        field.SetDefaultValue(in.Text());
      } else if (in.AcceptWord("RULE")) {
        field.SetValidationRule(in.Text());
      } else {
        break;
      }
    }
    table.Fields().Append(field);
  } while (in.AcceptSymbol(','));
  in.ExpectSymbol(')');
  in.ExpectEnd();
  db.TableDefs().Append(table);
}

void Insert(engine::Database& db, Tokens& in) {
  in.ExpectWord("INTO");
  std::string table = in.Name();
  std::vector<std::string> names;
  in.ExpectSymbol('(');
  do names.push_back(in.Name());
  while (in.AcceptSymbol(','));
  in.ExpectSymbol(')');
  in.ExpectWord("VALUES");
  std::vector<Value> values;
  in.ExpectSymbol('(');
  do values.push_back(Literal(in));
  while (in.AcceptSymbol(','));
  in.ExpectSymbol(')');
  in.ExpectEnd();
  if (names.size() != values.size()) Fail("as many values as fields expected");
  engine::Recordset rs = db.OpenRecordset(table);
  rs.AddNew();
  for (size_t i = 0; i < names.size(); ++i) rs[names[i]].SetValue(values[i]);
  rs.Update();
  rs.Close();
}

}  // namespace

bool IsKrdbStatement(std::string_view sql) {
  size_t first = sql.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return false;
  std::string_view rest = sql.substr(first);
  return rest.size() >= 4 && Tokens::SameWord(rest.substr(0, 4), "KRDB") &&
         (rest.size() == 4 || std::isspace(static_cast<unsigned char>(rest[4])) || rest[4] == ';');
}

void RunKrdbStatement(engine::Database& db, std::string_view sql, const ScriptOptions& options) {
  Tokens in(sql);
  in.ExpectWord("KRDB");
  if (in.AcceptWord("LINK")) {
    Link(db, in, options);
  } else if (in.AcceptWord("TABLE")) {
    Table(db, in);
  } else if (in.AcceptWord("INSERT")) {
    Insert(db, in);
  } else {
    Fail("LINK, TABLE or INSERT expected");
  }
}

}  // namespace kr::krdb
