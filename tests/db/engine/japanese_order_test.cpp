// Text compares as in a database of the Japanese edition: case, width and kana type (voiced
// marks included) do not count, in every place the engine compares text.
#include "db/engine/text_collation.h"
#include "tests/db/engine/engine_fixture.h"

namespace kr::db::engine::test {
namespace {

TEST(JapaneseOrder, FoldsCaseWidthAndKanaButKeepsVoicingAndKanji) {
  const std::pair<const char*, const char*> equal[] = {
      {"ｱ", "ア"},        {"１２３", "123"},
      {"あ", "ア"},       {"ｶﾞ", "ガ"},
      {"が", "ｶﾞ"},       {"ﾊﾟﾝ", "ぱん"},
      {"ｳﾞ", "ヴ"},       {"ＡＢＣ", "abc"},
      {"Code", "CODE"},   {"ｸﾞﾘｰﾝﾊﾞﾝｸ", "グリーンバンク"},
      {"　", " "},        {"", ""},
      {"カ\u3099", "ガ"},
  };
  for (const auto& [a, b] : equal) {
    EXPECT_EQ(CompareText(a, b), 0) << a << " = " << b;
    EXPECT_EQ(FoldText(a), FoldText(b)) << a << " = " << b;
  }
  const std::pair<const char*, const char*> ordered[] = {
      {"カ", "ガ"}, {"ガ", "キ"}, {"ｶ", "ｶﾞ"},     {"1", "a"},     {"a", "ア"},  {"Z", "ｱ"},
      {"ア", "亜"}, {"亜", "唖"}, {"abc", "abcd"}, {"ab", "ａｃ"}, {"ァ", "ア"}, {"日本", "日本語"},
  };
  for (const auto& [a, b] : ordered) {
    EXPECT_LT(CompareText(a, b), 0) << a << " < " << b;
    EXPECT_GT(CompareText(b, a), 0) << b << " > " << a;
  }
  // Broken UTF-8 still orders consistently and never reads past the end.
  EXPECT_EQ(CompareText("a\xE3", "a\xE3"), 0);
  EXPECT_LT(CompareText("a", "a\xE3"), 0);
}

class JapaneseOrderTest : public EngineTest {
 protected:
  void SetUp() override {
    db_ = Create("j.mdb");
    db_.Execute(
        "CREATE TABLE Items (Code TEXT(20), Name TEXT(40), Qty LONG, "
        "CONSTRAINT PrimaryKey PRIMARY KEY (Code))");
    for (const char* row : {"'123', 'ｸﾞﾘｰﾝﾊﾞﾝｸ', 1", "'ABC', 'あいう', 2", "'ｶﾞ1', 'アイウ', 3",
                            "'x9', 'ｱｲｳ', 4", "'Q', 'グリーンバンク指数', 5"})
      db_.Execute("INSERT INTO Items VALUES (" + std::string(row) + ")");
  }
  Database db_;
};

TEST_F(JapaneseOrderTest, ComparisonsLikeAndInFindTextWrittenInAnotherWidthOrKana) {
  // Expressions compare as columns do; a full-width asterisk in a pattern is no wildcard.
  ExpectQueries(
      db_,
      {"Code='１２３' → 123", "Code='ａｂｃ' → ABC", "Code='ガ1' → ｶﾞ1", "Code='か1' → ",
       "Name='ｱｲｳ' → ABC; ｶﾞ1; x9", "Name Like '*ｸﾞﾘｰﾝﾊﾞﾝｸ*' → 123; Q", "Name Like 'ぐ*' → 123; Q",
       "Name Like '[ｱ-ｵ]*' → ABC; ｶﾞ1; x9", "Code Like 'Ｘ#' → x9",
       "Code IN ('ａｂｃ', 'Ｘ９') → ABC; x9", "Code BETWEEN 'Ａ' AND 'Ｚ' → ABC; x9; Q",
       "Name NOT LIKE '*ｳ' → 123; Q", "Left(Name, 1)='ｱ' → ABC; ｶﾞ1; x9", "Name Like 'ｸﾞ＊' → "},
      "SELECT Code FROM Items WHERE {} ORDER BY Qty");
  ExpectQueries(db_, {"SELECT 'ｱ'='ア', '１２３'='123', 'あ'='ア', 'ア'='カ' FROM Items WHERE "
                      "Qty=1 → True|True|True|False",
                      "SELECT InStr(Name, 'ﾊﾞﾝｸ'), InStr(1, Name, 'ﾊﾞﾝｸ', 0) FROM Items WHERE Qty "
                      "IN (1, 5) ORDER BY Qty → 6|6; 5|0"});
}

TEST_F(JapaneseOrderTest, GroupingDistinctOrderingAndJoinsTreatTheFormsAsOne) {
  // Which of the forms stands for the group is the engine's choice, as in Jet.
  ExpectQueries(db_,
                {"SELECT Count(*) FROM Items WHERE Qty>1 AND Qty<5 GROUP BY Name → 3",
                 "SELECT Count(*) FROM Items GROUP BY Left(Name, 2) ORDER BY Count(*) → 1; 1; 3"});
  EXPECT_EQ(Rows(db_, "SELECT DISTINCT Name FROM Items WHERE Qty>1 AND Qty<5").size(), 1u);
  EXPECT_EQ(Rows(db_, "SELECT DISTINCT Left(Name, 2) FROM Items WHERE Qty>1").size(), 2u);
  EXPECT_EQ(Rows(db_,
                 "SELECT Name FROM Items WHERE Qty=2 UNION SELECT Name FROM Items "
                 "WHERE Qty=4")
                .size(),
            1u);
  ExpectQueries(db_, {"SELECT Code FROM Items ORDER BY Code → 123; ABC; Q; x9; ｶﾞ1",
                      "SELECT Code FROM Items ORDER BY Code & '' DESC → ｶﾞ1; x9; Q; ABC; 123"});
  Run(db_, {"CREATE TABLE Wide (Code TEXT(20), Note TEXT(20))",
            "INSERT INTO Wide VALUES ('１２３', 'n1')", "INSERT INTO Wide VALUES ('ガ１', 'n2')"});
  ExpectQueries(
      db_,
      {"SELECT i.Code, w.Note FROM Items AS i INNER JOIN Wide AS w ON i.Code=w.Code ORDER BY "
       "w.Note → 123|n1; ｶﾞ1|n2",
       "SELECT Code FROM Items WHERE Code IN (SELECT Code FROM Wide) ORDER BY Qty → 123; ｶﾞ1"});
}

TEST_F(JapaneseOrderTest, AUniqueKeyRefusesAnotherWidthOrKanaOfAKeyAndStoredTextStaysAsWritten) {
  EXPECT_EQ(ExecuteError(db_, "INSERT INTO Items VALUES ('１２３', 'dup', 9)", kFailOnError), 3022);
  EXPECT_EQ(ExecuteError(db_, "INSERT INTO Items VALUES ('が1', 'dup', 9)", kFailOnError), 3022);
  db_.Execute("INSERT INTO Items VALUES ('か1', 'ok', 9)", kFailOnError);
  EXPECT_EQ(ExecuteError(db_, "CREATE UNIQUE INDEX ByName ON Items (Name)"), 3022);
  ExpectQueries(
      db_, {"SELECT Count(*) FROM Items → 6", "SELECT Name FROM Items WHERE Qty=1 → ｸﾞﾘｰﾝﾊﾞﾝｸ"});
}

TEST_F(JapaneseOrderTest, AnOlderFileTakesTheOrderWhenOpenedForWritingUnlessItsKeysWouldCollide) {
  // A file as engines before the Japanese order left it: text columns COLLATE NOCASE.
  auto make_older = [&](const std::string& extra_sql) {
    RawSql("j.mdb",
           "PRAGMA writable_schema=ON; UPDATE sqlite_schema SET sql=replace(sql, 'COLLATE JET_JA', "
           "'COLLATE NOCASE'); PRAGMA writable_schema=OFF;");
    RawSql("j.mdb", "PRAGMA integrity_check; REINDEX NOCASE; " + extra_sql);
  };
  db_.Close();
  make_older("");
  {
    Database read_only = OpenDatabase(Path("j.mdb"), false, true);
    EXPECT_EQ(Rows(read_only, "SELECT Code FROM Items WHERE Code='123'"), V({"123"}));
  }
  Database db = OpenDatabase(Path("j.mdb"), false, false);
  EXPECT_EQ(Rows(db, "SELECT Code FROM Items WHERE Code='１２３'"), V({"123"}));
  EXPECT_EQ(ExecuteError(db, "INSERT INTO Items VALUES ('ａｂｃ', '', 9)", kFailOnError), 3022);
  db.Execute("INSERT INTO Items VALUES ('ａｂｃｄ', 'n', 9)", kFailOnError);
  EXPECT_EQ(Rows(db, "SELECT Code FROM Items WHERE Code>'ABC' AND Code<'B' ORDER BY Code"),
            V({"ａｂｃｄ"}));
  db.Close();  // an older file whose keys collide in the new order keeps its own
  make_older("INSERT INTO Items (Code, Name, Qty) VALUES ('１２３', 'w', 7);");
  Database colliding = OpenDatabase(Path("j.mdb"), false, false);
  EXPECT_EQ(Rows(colliding, "SELECT Code FROM Items WHERE Qty IN (1, 7) ORDER BY Qty"),
            V({"123", "１２３"}));
  colliding.Execute("UPDATE Items SET Qty=8 WHERE Code='123'");
  EXPECT_EQ(Rows(colliding, "SELECT Qty FROM Items WHERE Name='w'"), V({"7"}));
}

}  // namespace
}  // namespace kr::db::engine::test
