// The Jet SQL tokenizer: what each kind of token looks like, and malformed text ending in one
// error token instead of a failure.
#include <gtest/gtest.h>

#include "db/engine/jet_tokens.h"

namespace kr::db::engine {
namespace {

std::string Kinds(std::string_view text) {
  std::string out;
  for (const Token& t : Tokenize(text)) {
    switch (t.kind) {
      case TokenKind::kEnd:
        out += "end";
        break;
      case TokenKind::kWord:
        out += "w:" + t.text + " ";
        break;
      case TokenKind::kName:
        out += "n:" + t.text + " ";
        break;
      case TokenKind::kInteger:
        out += "i:" + std::to_string(t.integer) + " ";
        break;
      case TokenKind::kDouble:
        out += "d ";
        break;
      case TokenKind::kString:
        out += "s:" + t.text + " ";
        break;
      case TokenKind::kDate:
        out += "date ";
        break;
      case TokenKind::kSymbol:
        out += t.text + " ";
        break;
      case TokenKind::kError:
        out += "error ";
        break;
    }
  }
  return out;
}

TEST(JetTokens, WordsNamesAndSymbols) {
  EXPECT_EQ(Kinds("SELECT [a b].c_1 FROM ごみ;"), "w:SELECT n:a b . w:c_1 w:FROM w:ごみ ; end");
  EXPECT_EQ(Kinds("a<>b<=c>=d!e"), "w:a <> w:b <= w:c >= w:d ! w:e end");
  EXPECT_EQ(Kinds("県ID　=　1"), "w:県ID = i:1 end");  // ideographic spaces separate tokens
  EXPECT_EQ(Kinds("10000AND x"), "i:10000 w:AND w:x end");
  EXPECT_EQ(Kinds("t.5"), "w:t . i:5 end");
  EXPECT_EQ(Kinds(".5*2"), "d * i:2 end");
  EXPECT_EQ(Kinds("a&Hz"), "w:a & w:Hz end");
  EXPECT_EQ(Kinds("a&H1F"), "w:a i:31 end");
}

TEST(JetTokens, LiteralValues) {
  auto tokens = Tokenize("'it''s' \"a\"\"b\" #2020/4/7# 1.5e3 &O17 99999999999999999999");
  ASSERT_EQ(tokens.size(), 7u);
  EXPECT_EQ(tokens[0].text, "it's");
  EXPECT_EQ(tokens[1].text, "a\"b");
  EXPECT_EQ(tokens[2].number, 43928.0);
  EXPECT_EQ(tokens[3].number, 1500.0);
  EXPECT_EQ(tokens[4].integer, 15);
  EXPECT_EQ(tokens[5].kind, TokenKind::kDouble);
  EXPECT_EQ(tokens[2].span.begin, 15u);
  EXPECT_EQ(tokens[2].span.end, 25u);
}

TEST(JetTokens, MalformedTextEndsInOneErrorToken) {
  struct Case {
    const char* text;
    TokenError error;
  };
  const Case cases[] = {
      {"a = 'abc", TokenError::kString},    {"a = \"abc", TokenError::kString},
      {"[abc", TokenError::kBracket},       {"a]", TokenError::kBracket},
      {"[]", TokenError::kBracket},         {"[a[b]", TokenError::kBracket},
      {"#2020/13/1#", TokenError::kDate},   {"#2020/1/1", TokenError::kDate},
      {"&HFFFFFFFFF", TokenError::kNumber}, {"a ` b", TokenError::kCharacter},
      {"a $ b", TokenError::kCharacter},    {"a ? b", TokenError::kCharacter},
      {"\xff", TokenError::kCharacter},
  };
  for (const Case& c : cases) {
    auto tokens = Tokenize(c.text);
    ASSERT_GE(tokens.size(), 2u) << c.text;
    EXPECT_EQ(tokens[tokens.size() - 2].kind, TokenKind::kError) << c.text;
    EXPECT_EQ(tokens[tokens.size() - 2].error, c.error) << c.text;
    EXPECT_EQ(tokens.back().kind, TokenKind::kEnd);
  }
  auto nul = Tokenize(std::string_view("a\0b", 3));
  EXPECT_EQ(nul[1].error, TokenError::kCharacter);
}

TEST(JetTokens, KeywordsMatchCaseInsensitively) {
  auto tokens = Tokenize("select Select [SELECT]");
  EXPECT_TRUE(IsWord(tokens[0], "SELECT"));
  EXPECT_TRUE(IsWord(tokens[1], "SELECT"));
  EXPECT_FALSE(IsWord(tokens[2], "SELECT"));  // a bracketed name is never a keyword
  EXPECT_FALSE(IsWord(tokens[0], "SELEC"));
}

}  // namespace
}  // namespace kr::db::engine
