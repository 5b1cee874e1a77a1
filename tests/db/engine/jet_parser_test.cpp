// The Jet SQL parser: expressions as Jet reads them, the where texts of manifests, and the error
// numbers a malformed statement gets. What each statement form does is checked by its results in
// statements_test.cpp.
#include <gtest/gtest.h>

#include <string>

#include "db/engine/jet_parser.h"
#include "platform/failure.h"
#include "tests/db/engine/engine_fixture.h"

namespace kr::db::engine {
namespace {

std::string Where(std::string_view text) {
  ExprPtr e = ParseWhereText(text);
  return e ? DebugString(*e) : "<none>";
}

std::string Expression(std::string_view text) { return DebugString(*ParseExpression(text)); }

// Cases "expression → its tree".
void ExpectParses(std::initializer_list<std::string_view> cases) {
  for (auto [text, tree] : test::SplitCases(cases)) EXPECT_EQ(Expression(text), tree) << text;
}

// The failure of parsing a statement (number 0 when it parses).
Failure FailureOf(std::string_view sql) {
  try {
    ParseStatement(sql);
  } catch (const Failure& f) {
    return f;
  }
  return Failure(0, "");
}

int ErrorOf(std::string_view sql) { return FailureOf(sql).number(); }

TEST(JetParser, ReadsTheOddStatementsAndWhereTextsOfTheUpdateRoutines) {
  const char* statements[] = {
      ("DELETE ごみT.* FROM ごみT INNER JOIN ごみ ON ([ごみT].[Code]=[ごみ].[Code]) WHERE "
       "ごみ.Code='1';"),
      "UPDATE Val_Ind SET [Index]='市場単価･土木工事標準単価' WHERE Code='190';",
      "SELECT 県ID FROM Cri_Base GROUP BY Cri_Base.県ID;",
      "SELECT * FROM Holidays WHERE HolidayString='山の日;08/11;;No;Yes;Yes'",
      "SELECT * FROM 地区Code_120 ORDER by Code",
      "select [Select] from [From] where [Not]=1",
  };
  for (const char* sql : statements) EXPECT_NO_THROW(ParseStatement(sql)) << sql;
  for (auto [text, tree] :
       test::SplitCases({" → <none>", "    → <none>", "WHERE LEN(Code)>=18 → (>= LEN(Code) 18)",
                         "where 県ID=9 → (= 県ID 9)",
                         "WHERE LinkHikitugi.Code='1'; → (= LinkHikitugi.Code '1')"}))
    EXPECT_EQ(Where(text), tree) << text;
}

TEST(JetParser, OperatorsFollowJetPrecedence) {
  ExpectParses({"-2^2 → (- (^ 2 2))", "2^-1 → (^ 2 (- 1))", "1+2*3 → (+ 1 (* 2 3))",
                "7 \\ 2 * 3 → (\\ 7 (* 2 3))", "7 Mod 4 \\ 2 → (Mod 7 (\\ 4 2))",
                "a & b + 1 → (& a (+ b 1))", "a = 1 & 2 → (= a (& 1 2))",
                "NOT a = 1 AND b → (And (Not (= a 1)) b)", "a OR b AND c → (Or a (And b c))",
                "a XOR b OR c → (Xor a (Or b c))", "a IMP b EQV c → (Imp a (Eqv b c))",
                "a - b - c → (- (- a b) c)", "x Between 1 And 5 And y → (And (Between x 1 5) y)",
                "x Not Between 1 And 5 → (NotBetween x 1 5)",
                "x Is Not Null Or y Is Null → (Or (IsNotNull x) (IsNull y))",
                "x NOT LIKE '[!a-c]#' → (NotLike x '[!a-c]#')",
                "x Not In (1, 2, 'a') → (NotIn x 1 2 'a')",
                "Not Exists (SELECT * FROM T) → (Not (Exists <select>))",
                "(SELECT Max(a) FROM T) + 1 → (+ <select> 1)"});
}

TEST(JetParser, LiteralsAndNamesInJetForms) {
  // Ideographic spaces separate tokens too.
  ExpectParses(
      {"&H1F + &HFFFF + &o17 → (+ (+ 31 -1) 15)", "a&Hz → (& a Hz)", "1.5E3 + .5 → (+ 1500 0.5)",
       "\"say \"\"hi\"\"\" & 'it''s' → (& 'say \"hi\"' 'it's')",
       "True Or Yes Or On → (Or (Or True True) True)",
       "False And No And Off And Null → (And (And (And False False) False) Null)",
       "#2020/04/07# → #43928#", "#4/7/2020# → #43928#", "#2020-04-07 18:00:00# → #43928.75#",
       "#6:00 PM# → #0.75#", "#1899/12/29 06:00# → #-1.25#",
       "[単価 (円)] + 県ID → (+ 単価 (円) 県ID)", "県ID　=　1 → (= 県ID 1)",
       "[T 1].[Code] = Uke!KelmoraFile → (= T 1.Code Uke.KelmoraFile)",
       "Mid(a,2) & InStr(2,a,'x') & nz(b) & IIF(a>1,'y','n') → (& (& (& MID(a, 2) INSTR(2, a, "
       "'x')) NZ(b)) IIF((> a 1), 'y', 'n'))"});
  EXPECT_EQ(ParseExpression("12345678901234567890")->kind, ExprKind::kDouble);
  ExprPtr e = ParseExpression("[ごみ].[コード]");
  EXPECT_EQ(e->table, "ごみ");
  EXPECT_EQ(e->column, "コード");
}

TEST(JetParser, MalformedStatementsRaiseJetNumbersAndTextsQuotingTheExpression) {
  // Cases "statement → number", or "statement → number part of the Japanese description".
  auto expect = [](std::initializer_list<std::string_view> cases) {
    for (auto [sql, result] : test::SplitCases(cases)) {
      const size_t space = std::min(result.find(' '), result.size());
      Failure f = FailureOf(sql);
      EXPECT_EQ(std::to_string(f.number()), result.substr(0, space)) << sql;
      EXPECT_NE(f.description().find(result.substr(std::min(space + 1, result.size()))),
                std::string::npos)
          << sql << ": " << f.description();
    }
  };
  expect({" → 3129", "PARAMETERS x Long SELECT 1 → 3132",
          "SELECT * FROM T WHERE a = = 1 → 3075 演算子がありません",
          "SELECT * FROM T WHERE a = 'abc → 3075 の文字列の構文エラーです",
          "SELECT * FROM T WHERE a = \"abc → 3075 の文字列の構文エラーです",
          "SELECT * FROM T WHERE [a = 1 → 3075",
          "SELECT * FROM T WHERE a] → 3075 で、)、]、または項目がありません",
          "SELECT [] FROM T → 3075 で、)、]、または項目がありません",
          "SELECT * FROM T WHERE a = 1) → 3075",
          "SELECT * FROM T WHERE a = #2020/13/45# → 3075 の日付の構文エラーです",
          "SELECT * FROM T WHERE a = #2020/1/1 → 3075 の日付の構文エラーです",
          "SELECT * FROM T WHERE a = &HFFFFFFFFF → 3075", "SELECT * FROM T WHERE a $ b → 3075",
          "SELECT * FROM T WHERE a = \xff → 3075", "SELECT * FROM T WHERE a = → 3075",
          "SELECT * FROM T WHERE Left(a) → 3075 引数の数",
          "SELECT * FROM T WHERE a Like '[abc' → 3075",
          "SELECT * FROM T WHERE Foo(a) = 1 → 3085 式に未定義関数 'Foo' があります。",
          "SELECT DStDev(a) FROM T → 3085"});
  expect({"SELECT FROM T → 3141", "SELECT * FROM → 3131", "SELECT * FROM T INNER JOIN U → 3135",
          "SELECT * FROM T ORDER a → 3138", "SELECT * FROM T UNION DELETE → 3143",
          "INSERT INTO T VALUES (1 → 3134", "INSERT INTO T (a, b) VALUES (1) → 3346",
          "INSERT INTO T VALUES (1) x → 3137", "UPDATE T a = 1 → 3144", "DELETE T → 3131",
          "CREATE TABLE T a TEXT → 3290", "CREATE TABLE T (a TEXT(300)) → 3292",
          "CREATE TABLE T (a GUID) → 3259", "CREATE TABLE T (a TEXT, A LONG) → 3191",
          "CREATE INDEX i ON T → 3291", "ALTER TABLE T RENAME x → 3293", "DROP T → 3295",
          "SELECT * FROM T; SELECT 1 → 3142", "SELECT * FROM [T → 3126"});
  EXPECT_EQ(ErrorOf(std::string_view("SELECT a\0b FROM T", 17)), 3075);
  Failure f = FailureOf("SELECT * FROM T WHERE Code = = '1' ORDER BY Code");
  EXPECT_EQ(f.description(), "クエリ式 'Code = = '1'' の構文エラー: 演算子がありません。");
  EXPECT_NE(std::string(f.what()).find("character 30"), std::string::npos) << f.what();
  Failure japanese = FailureOf("SELECT * FROM 地区 WHERE 県 = 'abc");
  EXPECT_EQ(japanese.description(), "クエリ式 '県 = 'abc' の文字列の構文エラーです。");
  EXPECT_NE(std::string(japanese.what()).find("character 28"), std::string::npos)
      << japanese.what();
}

TEST(JetParser, HostileNestingIsRefusedCleanly) {
  EXPECT_EQ(ErrorOf("SELECT " + std::string(5000, '(') + "1" + std::string(5000, ')')), 3360);
  EXPECT_EQ(ErrorOf("SELECT " + std::string(5000, '-') + "1"), 3360);
  std::string nots = "SELECT * FROM T WHERE ";
  for (int i = 0; i < 5000; ++i) nots += "NOT ";
  EXPECT_EQ(ErrorOf(nots + "a"), 3360);
  std::string chain = "SELECT * FROM T WHERE a=0";
  for (int i = 0; i < 150; ++i) chain += " AND a=" + std::to_string(i);
  EXPECT_EQ(ErrorOf(chain), 0);
  for (int i = 0; i < 5000; ++i) chain += " AND a=" + std::to_string(i);
  EXPECT_EQ(ErrorOf(chain), 3360);
  std::string subqueries = "SELECT * FROM T WHERE a IN ";
  for (int i = 0; i < 200; ++i) subqueries += "(SELECT a FROM T WHERE a IN ";
  EXPECT_EQ(ErrorOf(subqueries + "(1)"), 3360);
}

}  // namespace
}  // namespace kr::db::engine
