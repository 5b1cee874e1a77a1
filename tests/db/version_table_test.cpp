#include "tests/db/db_fixture.h"

namespace kr::db::test {
namespace {

class VersionTest : public DbTest {
 protected:
  void SetUp() override {
    testing::MakeDatabaseFromText(
        InInstall("v.mdb"),
        "CREATE TABLE Version (Ver TEXT(20), Comment TEXT(255));\n"
        "INSERT INTO Version (Ver, Comment) VALUES ('2013,1,2', NULL);\n");
    db_ = Open(InInstall("v.mdb"));
  }
  void Store(std::string_view ver_literal, std::string_view comment_literal = "NULL") {
    db_.Execute("UPDATE Version SET Ver=" + std::string(ver_literal) +
                ", Comment=" + std::string(comment_literal));
  }
  std::string Stored() { return One(db_, "SELECT Ver, Comment FROM Version"); }
  Database db_;
};

TEST_F(VersionTest, ComparesYearThenMajorThenMinor) {
  for (VersionTuple release : {VersionTuple{2013, 1, 2}, {2012, 5, 9}, {2013, 1, 1}})
    EXPECT_TRUE(VersionAtLeast(db_, release)) << release.Text();
  for (VersionTuple release : {VersionTuple{2013, 1, 3}, {2013, 2, 0}, {2014, 1, 1}})
    EXPECT_FALSE(VersionAtLeast(db_, release)) << release.Text();
  Store("'2013,x,2'");  // a part that is not a number counts as 0
  EXPECT_TRUE(VersionAtLeast(db_, {2013, 0, 2}));
  EXPECT_FALSE(VersionAtLeast(db_, {2013, 1, 0}));
}

TEST_F(VersionTest, MalformedEmptyOrMissingVersionIsBelowEverythingAndNeverStamped) {
  EXPECT_EQ(ReadVersion(db_), (VersionTuple{2013, 1, 2}));
  for (std::string_view ver : {"'2019,1'", "'2013,1,2,4'", "''", "NULL"}) {
    Store(ver);
    EXPECT_FALSE(VersionAtLeast(db_, {0, 0, 0})) << ver;
    EXPECT_EQ(ReadVersion(db_), std::nullopt) << ver;
  }
  db_.Execute("DELETE * FROM Version");
  EXPECT_FALSE(VersionAtLeast(db_, {0, 0, 0}));
  WriteVersion(db_, {2019, 1, 1}, "c");
  SetVersionComment(db_, ",労務更新", true);
  EXPECT_EQ(Select(db_, "SELECT * FROM Version").size(), 0u);
  db_.Execute("DROP TABLE Version");
  EXPECT_FALSE(VersionAtLeast(db_, {0, 0, 0}));
  EXPECT_FALSE(CommentHasTag(db_, ""));
  EXPECT_EQ(ReadVersionComment(db_), "");
}

TEST_F(VersionTest, WriteOnlyRaisesAValidVersionAndKeepsTheCommentWhenGivenNone) {
  struct Case {
    std::string_view ver, comment;
    VersionTuple write_ver;
    std::string_view write_comment, stored;
  } cases[] = {
      {"'2018,1,4'", "'2018'", {2019, 1, 1}, "2019_01", "2019,1,1|2019_01"},
      {"'2019,1,1'", "'kept'", {2019, 1, 1}, "new", "2019,1,1|kept"},
      {"'2019,1,1'", "'kept'", {2018, 9, 9}, "new", "2019,1,1|kept"},
      {"'2018,1,4'", "',労務更新'", {2019, 1, 1}, "", "2019,1,1|,労務更新"},
      {"'garbage'", "NULL", {2019, 1, 1}, "", "2019,1,1|null"},
  };
  for (const Case& c : cases) {
    Store(c.ver, c.comment);
    WriteVersion(db_, c.write_ver, c.write_comment);
    EXPECT_EQ(Stored(), c.stored) << c.ver << " <- " << c.write_ver.Text();
  }
}

TEST(VersionTupleTest, ParsesOnlyThreeWholeNumbers) {
  EXPECT_EQ(VersionTuple::Parse("2019,1,4"), (VersionTuple{2019, 1, 4}));
  EXPECT_EQ(VersionTuple::Parse(" 2019 ,1,4"), (VersionTuple{2019, 1, 4}));
  for (std::string_view bad : {"2019,1", "a,b,c", "2019,1,1,1", "", "2019,1,99999999999"}) {
    EXPECT_EQ(VersionTuple::Parse(bad), std::nullopt) << bad;
  }
  EXPECT_EQ((VersionTuple{2018, 1, 1}).Text(), "2018,1,1");
  EXPECT_LT((VersionTuple{2018, 9, 9}), (VersionTuple{2019, 1, 1}));
}

TEST_F(VersionTest, CopyVersionTakesAHigherValidSourceVersionButNotItsComment) {
  testing::MakeDatabaseFromText(InPackage("s.mdb"),
                                "CREATE TABLE Version (Ver TEXT(20), Comment TEXT(255));\n"
                                "INSERT INTO Version (Ver, Comment) VALUES ('2013,1,5', 'src');\n");
  Database source = Open(InPackage("s.mdb"));
  CopyVersion(source, db_);
  EXPECT_EQ(Stored(), "2013,1,5|null");
  for (std::string_view lower_or_bad : {"'2013,1,3'", "NULL", "'2014,1'", "'2014,x,1'"}) {
    source.Execute("UPDATE Version SET Ver=" + std::string(lower_or_bad));
    CopyVersion(source, db_);
    EXPECT_EQ(Stored(), "2013,1,5|null") << lower_or_bad;
  }
}

TEST_F(VersionTest, CommentTagsAppendAndMatchOnlyWholeTags) {
  SetVersionComment(db_, ",労務更新H3104", true);
  EXPECT_FALSE(CommentHasTag(db_, ",労務更新"));
  SetVersionComment(db_, ",労務更新", true);
  SetVersionComment(db_, ",メンテナンス", true);
  EXPECT_EQ(ReadVersionComment(db_), ",労務更新H3104,労務更新,メンテナンス");
  EXPECT_TRUE(CommentHasTag(db_, ",労務更新"));
  EXPECT_TRUE(CommentHasTag(db_, ",メンテナンス"));
  EXPECT_FALSE(CommentHasTag(db_, ",メンテ"));
  SetVersionComment(db_, "2017_07", false);
  EXPECT_EQ(ReadVersionComment(db_), "2017_07");
}

TEST_F(VersionTest, OperationsOnAFailedOpenDoNothing) {
  Database none;
  EXPECT_FALSE(VersionAtLeast(none, {}));
  EXPECT_EQ(ReadVersion(none), std::nullopt);
  WriteVersion(none, {2019, 1, 1}, "");
  SetVersionComment(none, "x", true);
  CopyVersion(none, db_);
  EXPECT_FALSE(CommentHasTag(none, ","));
  EXPECT_EQ(Stored(), "2013,1,2|null");
}

}  // namespace
}  // namespace kr::db::test
