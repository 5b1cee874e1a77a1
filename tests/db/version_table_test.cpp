#include <tuple>

#include "tests/db/db_fixture.h"

namespace kr::db::test {
namespace {

class VersionTest : public DbTest {
 protected:
  void SetUp() override {
    testing::MakeDatabaseFromText(InInstall("v.mdb"),
                                  "CREATE TABLE Version (Ver TEXT(20), Comment TEXT(255));\n"
                                  "INSERT INTO Version (Ver, Comment) VALUES ('2013,1,2', NULL);\n"
                                  "CREATE TABLE Data (A LONG);\n");
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
  EXPECT_TRUE(VersionAtLeast(db_, 2013, 1, 2));
  EXPECT_TRUE(VersionAtLeast(db_, 2012, 5, 9));
  EXPECT_TRUE(VersionAtLeast(db_, 2013, 1, 1));
  EXPECT_FALSE(VersionAtLeast(db_, 2013, 1, 3));
  EXPECT_FALSE(VersionAtLeast(db_, 2013, 2, 0));
  EXPECT_FALSE(VersionAtLeast(db_, 2014, 1, 1));
}

TEST_F(VersionTest, MalformedEmptyOrNullVersionIsBelowEverything) {
  for (std::string_view ver : {"'2013,1'", "'2013,1,2,4'", "''", "NULL"}) {
    Store(ver);
    EXPECT_FALSE(VersionAtLeast(db_, 0, 0, 0)) << ver;
  }
}

TEST_F(VersionTest, NonNumericPartCountsAsZero) {
  Store("'2013,x,2'");
  EXPECT_TRUE(VersionAtLeast(db_, 2013, 0, 2));
  EXPECT_FALSE(VersionAtLeast(db_, 2013, 1, 0));
}

TEST_F(VersionTest, MissingOrEmptyTableIsBelowEverythingAndNeverStamped) {
  db_.Execute("DELETE * FROM Version");
  EXPECT_FALSE(VersionAtLeast(db_, 0, 0, 0));
  WriteVersion(db_, "2019,1,1", "c");
  SetVersionComment(db_, ",労務更新", true);
  EXPECT_EQ(Rows(db_, "SELECT * FROM Version").size(), 0u);
  db_.Execute("DROP TABLE Version");
  EXPECT_FALSE(VersionAtLeast(db_, 0, 0, 0));
  EXPECT_FALSE(CommentHasTag(db_, ""));
  EXPECT_EQ(ReadVersionComment(db_), "");
}

TEST_F(VersionTest, ReadVersionFillsOnlyFromAValidTuple) {
  int32_t y = 1, m = 2, d = 3;
  ReadVersion(db_, y, m, d);
  EXPECT_EQ(std::tie(y, m, d), std::make_tuple(2013, 1, 2));
  Store("'2019,1'");
  ReadVersion(db_, y, m, d);
  EXPECT_EQ(std::tie(y, m, d), std::make_tuple(2013, 1, 2));
}

TEST_F(VersionTest, WriteRaisesTheVersionWithItsComment) {
  Store("'2018,1,4'", "'2018'");
  WriteVersion(db_, "2019,1,1", "2019_01");
  EXPECT_EQ(Stored(), "2019,1,1|2019_01");
}

TEST_F(VersionTest, WriteNeverLowersNorRewritesAnEqualVersion) {
  Store("'2019,1,1'", "'kept'");
  WriteVersion(db_, "2019,1,1", "new comment");
  WriteVersion(db_, "2018,9,9", "new comment");
  EXPECT_EQ(Stored(), "2019,1,1|kept");
}

TEST_F(VersionTest, WriteWithoutCommentKeepsTheStoredComment) {
  Store("'2018,1,4'", "',労務更新'");
  WriteVersion(db_, "2019,1,1", "");
  EXPECT_EQ(Stored(), "2019,1,1|,労務更新");
}

TEST_F(VersionTest, WriteOfATextThatIsNotThreeIntegersWritesNothing) {
  WriteVersion(db_, "2019,1", "x");
  WriteVersion(db_, "2019,a,1", "x");
  EXPECT_EQ(Stored(), "2013,1,2|null");
}

TEST_F(VersionTest, WriteOverAMalformedVersionStampsIt) {
  Store("'garbage'");
  WriteVersion(db_, "2019,1,1", "");
  EXPECT_EQ(Stored(), "2019,1,1|null");
}

TEST_F(VersionTest, CopyVersionTakesAHigherSourceVersionButNotItsComment) {
  testing::MakeDatabaseFromText(InPackage("s.mdb"),
                                "CREATE TABLE Version (Ver TEXT(20), Comment TEXT(255));\n"
                                "INSERT INTO Version (Ver, Comment) VALUES ('2013,1,5', 'src');\n");
  Database source = Open(InPackage("s.mdb"));
  CopyVersion(source, db_);
  EXPECT_EQ(Stored(), "2013,1,5|null");
  source.Execute("UPDATE Version SET Ver='2013,1,3'");
  CopyVersion(source, db_);
  EXPECT_EQ(Stored(), "2013,1,5|null");
  for (std::string_view bad : {"NULL", "'2014,1'", "'2014,x,1'"}) {
    source.Execute("UPDATE Version SET Ver=" + std::string(bad));
    CopyVersion(source, db_);
    EXPECT_EQ(Stored(), "2013,1,5|null") << bad;
  }
}

TEST_F(VersionTest, CommentTagsAppendAndMatchOnlyWholeTags) {
  SetVersionComment(db_, ",労務更新H3104", true);
  EXPECT_EQ(ReadVersionComment(db_), ",労務更新H3104");
  EXPECT_FALSE(CommentHasTag(db_, ",労務更新"));
  EXPECT_TRUE(CommentHasTag(db_, ",労務更新H3104"));
  SetVersionComment(db_, ",労務更新", true);
  SetVersionComment(db_, ",メンテナンス", true);
  EXPECT_TRUE(CommentHasTag(db_, ",労務更新"));
  EXPECT_TRUE(CommentHasTag(db_, ",メンテナンス"));
  EXPECT_FALSE(CommentHasTag(db_, ",メンテ"));
  SetVersionComment(db_, "2017_07", false);
  EXPECT_EQ(ReadVersionComment(db_), "2017_07");
}

TEST_F(VersionTest, OperationsOnAFailedOpenDoNothing) {
  Database none;
  int32_t y = 7, m = 8, d = 9;
  EXPECT_FALSE(VersionAtLeast(none, 0, 0, 0));
  ReadVersion(none, y, m, d);
  EXPECT_EQ(y, 7);
  WriteVersion(none, "2019,1,1", "");
  SetVersionComment(none, "x", true);
  CopyVersion(none, db_);
  EXPECT_FALSE(CommentHasTag(none, ","));
  EXPECT_EQ(Stored(), "2013,1,2|null");
}

}  // namespace
}  // namespace kr::db::test
