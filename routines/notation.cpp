// A small tokenizer and recursive-descent parser for the catalogue's notation.
#include "routines/notation.h"

#include <cstddef>

#include "routines/procedures.h"
#include "routines/variants.h"
#include "support/support.h"

namespace kr::routines::notation {

namespace {

enum class Kind { kWord, kString, kKeys, kTest, kArrow, kSlash, kSemicolon, kOpen, kClose, kEnd };

struct Token {
  Kind kind = Kind::kEnd;
  std::string text;
  size_t begin = 0, end = 0;  // where it stands in the text
};

constexpr std::string_view kArrow = "→";
constexpr std::string_view kTestOpen = "‹";
constexpr std::string_view kTestClose = "›";
constexpr std::string_view kProgress = "»";

bool StartsWith(std::string_view text, size_t at, std::string_view prefix) {
  return text.substr(at, prefix.size()) == prefix;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view text) : text_(text) {}

  // Fails (returns false) on an unterminated string, key list or test.
  bool Run(std::vector<Token>& tokens, std::string& error) {
    while (true) {
      while (at_ < text_.size() && IsSpace(text_[at_])) ++at_;
      if (at_ >= text_.size()) break;
      size_t begin = at_, count = tokens.size();
      if (!Token1(tokens, error)) return false;
      if (tokens.size() > count) {
        tokens.back().begin = begin;
        tokens.back().end = at_;
      }
    }
    tokens.push_back({Kind::kEnd, "", text_.size(), text_.size()});
    return true;
  }

 private:
  // One token at at_ (not a space).
  bool Token1(std::vector<Token>& tokens, std::string& error) {
    char c = text_[at_];
    if (c == '"') {
      if (!Enclosed("\"", Kind::kString, tokens)) return Fail("unterminated string", error);
    } else if (c == '[') {
      if (!Enclosed("]", Kind::kKeys, tokens)) return Fail("unterminated key list", error);
    } else if (StartsWith(text_, at_, kTestOpen)) {
      at_ += kTestOpen.size() - 1;
      if (!Enclosed(kTestClose, Kind::kTest, tokens)) return Fail("unterminated test", error);
    } else if (StartsWith(text_, at_, kArrow)) {
      tokens.push_back({Kind::kArrow, std::string(kArrow)});
      at_ += kArrow.size();
    } else if (c == '/' || c == ';' || c == '{' || c == '}') {
      Kind kind = c == '/'   ? Kind::kSlash
                  : c == ';' ? Kind::kSemicolon
                  : c == '{' ? Kind::kOpen
                             : Kind::kClose;
      tokens.push_back({kind, std::string(1, c)});
      ++at_;
    } else {
      size_t start = at_;
      while (at_ < text_.size() && !IsSpace(text_[at_]) && !Special(at_)) ++at_;
      tokens.push_back({Kind::kWord, std::string(text_.substr(start, at_ - start))});
    }
    return true;
  }

  bool Special(size_t at) const {
    char c = text_[at];
    return c == '"' || c == '[' || c == ';' || c == '{' || c == '}' ||
           StartsWith(text_, at, kArrow) || StartsWith(text_, at, kTestOpen);
  }
  // The text from after the opening character up to close.
  bool Enclosed(std::string_view close, Kind kind, std::vector<Token>& tokens) {
    size_t start = at_ + 1;
    size_t end = text_.find(close, start);
    if (end == std::string_view::npos) return false;
    tokens.push_back({kind, std::string(text_.substr(start, end - start))});
    at_ = end + close.size();
    return true;
  }
  static bool Fail(std::string_view why, std::string& error) {
    error = std::string(why);
    return false;
  }

  std::string_view text_;
  size_t at_ = 0;
};

// How a step word's operands are written.
enum class Form {
  kSpec,       // name | a → b, then [keys] and where "..." (T also "one of")
  kTable,      // one table name
  kArrow,      // a → b
  kPair,       // a,b | a → b, then [keys] and where "..."
  kStatement,  // one quoted text
};

struct StepWord {
  std::string_view word;
  Op op;
  Form form;
};

// Every step word; any other word is a procedure (procedures.h) or an error.
constexpr StepWord kStepWords[] = {
    {"T", Op::kTransfer, Form::kSpec},
    {"K", Op::kKeepOld, Form::kTable},
    {"C", Op::kCarryOver, Form::kTable},
    {"TT", Op::kTransferTable, Form::kTable},
    {"RDP", Op::kRefreshDistrictPrices, Form::kTable},
    {"TA", Op::kTransferTableAs, Form::kArrow},
    {"D", Op::kDeleteMatching, Form::kPair},
    {"CT", Op::kCopyTable, Form::kSpec},
    {"X", Op::kExecute, Form::kStatement},
    {kProgress, Op::kProgress, Form::kStatement},
};

const StepWord* FindStepWord(std::string_view word) {
  for (const StepWord& step_word : kStepWords) {
    if (step_word.word == word) return &step_word;
  }
  return nullptr;
}

class StepParser {
 public:
  StepParser(std::string_view text, std::vector<Token> tokens)
      : text_(text), tokens_(std::move(tokens)) {}

  std::optional<std::vector<Step>> List(bool nested, std::string& error) {
    std::vector<Step> steps;
    while (true) {
      if (Peek().kind == Kind::kEnd || Peek().kind == Kind::kClose) break;
      size_t first = at_;
      std::optional<Step> step = One(error);
      if (!step) return std::nullopt;
      size_t last = step->gate ? first : at_ - 1;
      step->written =
          std::string(text_.substr(tokens_[first].begin, tokens_[last].end - tokens_[first].begin));
      steps.push_back(std::move(*step));
      if (Peek().kind == Kind::kSemicolon) {
        Next();
        continue;
      }
      if (Peek().kind != Kind::kEnd && Peek().kind != Kind::kClose) {
        return Fail("expected \";\" before \"" + Peek().text + "\"", error);
      }
    }
    if (nested != (Peek().kind == Kind::kClose)) return Fail("unbalanced braces", error);
    return steps;
  }

 private:
  const Token& Peek(size_t ahead = 0) const {
    size_t at = std::min(at_ + ahead, tokens_.size() - 1);
    return tokens_[at];
  }
  Token Next() {
    Token token = Peek();
    if (at_ < tokens_.size() - 1) ++at_;
    return token;
  }
  bool Word(std::string& out) {
    if (Peek().kind != Kind::kWord) return false;
    out = Next().text;
    return true;
  }
  static std::nullopt_t Fail(const std::string& why, std::string& error) {
    error = why;
    return std::nullopt;
  }

  std::optional<Step> One(std::string& error) {
    Token head = Next();
    if (head.kind == Kind::kTest) return Test(head.text, error);
    if (head.kind != Kind::kWord) {
      return Fail("a step cannot start with \"" + head.text + "\"", error);
    }
    Step step;
    const StepWord* word = FindStepWord(head.text);
    if (word == nullptr) {
      if (FindProcedure(head.text) == nullptr) {
        return Fail("\"" + head.text + "\" is neither a step word nor a procedure", error);
      }
      step.op = Op::kProcedure;
      step.text = head.text;
      Arguments(step);
      return step;
    }
    step.op = word->op;
    const std::string& w = head.text;
    switch (word->form) {
      case Form::kSpec:
        if (!TableSpec(step, step.op == Op::kTransfer, error)) return std::nullopt;
        Options(step);
        break;
      case Form::kTable: {
        std::string table;
        if (!Word(table)) return Fail(w + " needs a table", error);
        step.tables = {table};
        break;
      }
      case Form::kArrow:
        if (!TableSpec(step, false, error) || step.target.empty()) {
          return Fail(w + " needs a → b", error);
        }
        break;
      case Form::kPair:
        if (!TableSpec(step, false, error)) return std::nullopt;
        if (step.target.empty()) {
          std::vector<std::string> pair = support::Split(step.tables[0], ",");
          if (pair.size() != 2) return Fail(w + " needs a,b or a → b", error);
          step.tables = {pair[0]};
          step.target = pair[1];
        }
        Options(step);
        break;
      case Form::kStatement:
        if (Peek().kind != Kind::kString) return Fail(w + " needs a quoted text", error);
        step.text = Next().text;
        break;
    }
    return step;
  }

  std::optional<Step> Test(const std::string& inside, std::string& error) {
    std::vector<Token> tokens;
    Tokenizer tokenizer(inside);
    if (!tokenizer.Run(tokens, error) || tokens.front().kind != Kind::kWord) {
      return Fail("a test needs a name", error);
    }
    Step step;
    step.op = Op::kTest;
    step.text = tokens.front().text;
    for (size_t i = 1; i + 1 < tokens.size(); ++i) step.arguments.push_back(tokens[i].text);
    const TestDef* test = FindTest(step.text);
    if (test == nullptr) return Fail("no test is called " + step.text, error);
    if (test->arguments != step.arguments.size()) {
      return Fail(step.text + " takes " + std::to_string(test->arguments) + " arguments", error);
    }
    if (Peek().kind == Kind::kOpen) {
      Next();
      std::optional<std::vector<Step>> gated = List(true, error);
      if (!gated) return std::nullopt;
      Next();  // the closing brace
      step.gate = true;
      step.gated = std::move(*gated);
    }
    return step;
  }

  // name | a → b | one of a / b / c → d (one of only where allowed).
  bool TableSpec(Step& step, bool allow_one_of, std::string& error) {
    std::string first;
    if (allow_one_of && Peek().kind == Kind::kWord && Peek().text == "one" &&
        Peek(1).kind == Kind::kWord && Peek(1).text == "of") {
      Next();
      Next();
      std::string table;
      while (Word(table)) {
        step.tables.push_back(table);
        if (Peek().kind != Kind::kSlash) break;
        Next();
      }
      if (step.tables.size() < 2 || Peek().kind != Kind::kArrow) {
        Fail("one of needs alternatives and → target", error);
        return false;
      }
    } else {
      if (!Word(first)) {
        Fail("a table name is missing", error);
        return false;
      }
      step.tables = {first};
      if (Peek().kind != Kind::kArrow) return true;
    }
    Next();  // →
    if (!Word(step.target)) {
      Fail("→ needs a target table", error);
      return false;
    }
    return true;
  }

  // [keys] and where "condition", in either order.
  void Options(Step& step) {
    while (true) {
      if (Peek().kind == Kind::kKeys) {
        step.keys = Next().text;
      } else if (Peek().kind == Kind::kWord && Peek().text == "where" &&
                 Peek(1).kind == Kind::kString) {
        Next();
        step.where = Next().text;
      } else {
        return;
      }
    }
  }

  void Arguments(Step& step) {
    while (Peek().kind == Kind::kWord || Peek().kind == Kind::kString) {
      step.arguments.push_back(Next().text);
    }
  }

  std::string_view text_;
  std::vector<Token> tokens_;
  size_t at_ = 0;
};

std::optional<std::vector<Token>> Tokens(std::string_view text, std::string& error) {
  std::vector<Token> tokens;
  if (!Tokenizer(text).Run(tokens, error)) return std::nullopt;
  return tokens;
}

std::string Trimmed(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

}  // namespace

std::optional<std::vector<Step>> ParseSteps(std::string_view text, std::string& error) {
  std::optional<std::vector<Token>> tokens = Tokens(text, error);
  if (!tokens) return std::nullopt;
  return StepParser(text, std::move(*tokens)).List(false, error);
}

Targets ParseTargets(std::string_view text) {
  Targets targets;
  std::string all = Trimmed(text);
  constexpr std::string_view kEvery = "every year folder (";
  if (all.rfind(kEvery, 0) == 0 && all.back() == ')') {
    targets.selection = Selection::kEveryYearFolder;
    targets.file = all.substr(kEvery.size(), all.size() - kEvery.size() - 1);
    return targets;
  }
  size_t open = all.rfind(" (");
  if (open != std::string::npos && all.back() == ')' && all.find('\\') == std::string::npos) {
    targets.selection = Selection::kYearFolderList;
    targets.file = all.substr(open + 2, all.size() - open - 3);
    for (const std::string& name : support::Split(all.substr(0, open), " / ")) {
      targets.places.push_back(Trimmed(name));
    }
    return targets;
  }
  if (all.rfind("File\\", 0) == 0 || all.rfind("Cover\\", 0) == 0) {
    targets.selection = Selection::kFixed;
    for (const std::string& path : support::Split(all, " ; ")) {
      targets.places.push_back(Trimmed(path));
    }
    return targets;
  }
  targets.description = all;
  return targets;
}

std::optional<std::vector<Guard>> ParseGuards(std::string_view text, std::string& error) {
  std::string all = Trimmed(text);
  std::vector<Guard> guards;
  if (all == "-") return guards;
  if (all.rfind("comment \"", 0) == 0 && all.back() == '"') {
    Guard guard;
    guard.comment_contains = all.substr(9, all.size() - 10);
    guards.push_back(guard);
    return guards;
  }
  if (all.rfind("with", 0) == 0 || all.rfind("without", 0) == 0) {
    std::optional<std::vector<Token>> tokens = Tokens(all, error);
    if (!tokens) return std::nullopt;
    Guard guard;
    bool without = false;
    for (const Token& token : *tokens) {
      if (token.kind == Kind::kWord && (token.text == "with" || token.text == "without")) {
        without = token.text == "without";
      } else if (token.kind == Kind::kString) {
        if (without) {
          guard.without_tag = token.text;
        } else {
          guard.with_any_tag.push_back(token.text);
        }
      } else if (token.kind != Kind::kEnd) {
        error = "unexpected \"" + token.text + "\" in a tag guard";
        return std::nullopt;
      }
    }
    guards.push_back(guard);
    return guards;
  }
  for (const std::string& part : support::Split(all, ", ")) {
    std::optional<db::VersionTuple> tuple = db::VersionTuple::Parse(part);
    if (!tuple) {
      error = "\"" + part + "\" is not a version tuple";
      return std::nullopt;
    }
    Guard guard;
    guard.at_least = tuple;
    guards.push_back(guard);
  }
  return guards;
}

std::optional<std::vector<Record>> ParseRecord(std::string_view text, std::string& error) {
  std::vector<Record> records;
  std::string all = Trimmed(text);
  if (all == "-") return records;
  for (const std::string& item : support::Split(all, " + ")) {
    std::optional<std::vector<Token>> tokens = Tokens(item, error);
    if (!tokens) return std::nullopt;
    std::vector<Token>& t = *tokens;
    auto word = [&](size_t i, std::string_view w) {
      return i < t.size() && t[i].kind == Kind::kWord && t[i].text == w;
    };
    auto string_at = [&](size_t i) { return i < t.size() && t[i].kind == Kind::kString; };
    Record record;
    if (word(0, "stamp") && string_at(1)) {
      record = {RecordKind::kStamp, t[1].text, word(2, "comment") && string_at(3) ? t[3].text : ""};
      if (!db::VersionTuple::Parse(record.text)) {
        error = "stamp \"" + record.text + "\" is not a version tuple";
        return std::nullopt;
      }
    } else if (word(0, "copy")) {
      record.kind = RecordKind::kCopy;
    } else if (word(0, "Version") && word(1, "rows")) {
      record.kind = RecordKind::kVersionRows;
    } else if (word(0, "tag") && string_at(1)) {
      record = {RecordKind::kTag, t[1].text, ""};
    } else if (word(0, "comment") && string_at(1)) {
      record = {RecordKind::kComment, t[1].text, ""};
    } else if (word(0, "set") && word(1, "Ver") && string_at(2)) {
      record = {RecordKind::kSetVer, t[2].text, ""};
    } else if (word(0, "marker") && string_at(1)) {
      record = {RecordKind::kMarker, t[1].text, ""};
    } else {
      error = "unknown record \"" + item + "\"";
      return std::nullopt;
    }
    records.push_back(record);
  }
  return records;
}

std::vector<std::string> ParseSources(std::string_view text) {
  std::string all = Trimmed(text);
  if (all.empty() || all == "-") return {};
  std::vector<std::string> sources;
  for (const std::string& name : support::Split(all, ", ")) sources.push_back(Trimmed(name));
  return sources;
}

}  // namespace kr::routines::notation
