#include "tests/db/db_fixture.h"

#include "platform/platform.h"

namespace kr::db::test {
namespace {

TEST(NzNumberTest, NullEmptyAndLettersGiveZero) {
  EXPECT_EQ(NzNumber(Value::Null()), Currency());
  EXPECT_EQ(NzNumber(Value("")), Currency());
  EXPECT_EQ(NzNumber(Value("12a")), Currency());
}

TEST(NzNumberTest, NumericTextAndNumbersKeepFourDecimals) {
  EXPECT_EQ(NzNumber(Value("12.5")), Currency::FromScaled(125000));
  EXPECT_EQ(NzNumber(Value("2009")), Currency::FromInteger(2009));
  EXPECT_EQ(NzNumber(Value::Double(0.1)), Currency::FromScaled(1000));
  EXPECT_EQ(NzNumber(Value::Long(-7)), Currency::FromInteger(-7));
}

TEST(NzNumberTest, ANumberBeyondTheCurrencyRangeGivesZero) {
  EXPECT_EQ(NzNumber(Value::Double(1e300)), Currency());
}

TEST(NzStringTest, NullGivesEmptyTextAndNumbersTheirText) {
  EXPECT_EQ(NzString(Value::Null()), "");
  EXPECT_EQ(NzString(Value::Long(2019)), "2019");
  EXPECT_EQ(NzString(Value::Double(12.5)), "12.5");
  EXPECT_EQ(NzString(Value("平成30年度")), "平成30年度");
}

TEST(CurrencyTest, NarrowingRoundsHalfToEvenAndRefusesOverflow) {
  EXPECT_EQ(Currency::FromScaled(25000).ToInt16(), 2);
  EXPECT_EQ(Currency::FromScaled(35000).ToInt16(), 4);
  EXPECT_EQ(Currency::FromScaled(-25000).ToInt32(), -2);
  EXPECT_EQ(Currency::FromScaled(-35000).ToInt32(), -4);
  EXPECT_THROW(Currency::FromInteger(40000).ToInt16(), Failure);
  EXPECT_EQ(Currency::FromInteger(40000).ToInt32(), 40000);
}

class TableTestsTest : public DbTest {
 protected:
  void SetUp() override {
    testing::MakeDatabaseFromText(
        InInstall("a.mdb"),
        "CREATE TABLE Version (Ver TEXT(20), Comment TEXT(255));\n"
        "CREATE TABLE [ＶＡＬ１２０] (Code TEXT(20), [ＰＲＩＣＥ] DOUBLE);\n"
        "CREATE TABLE Other (Code TEXT(20), Price DOUBLE);\n");
    db_ = Open(InInstall("a.mdb"));
  }
  Database db_;
};

TEST_F(TableTestsTest, TableExistsIgnoresLetterCase) {
  EXPECT_TRUE(TableExists(db_, "version"));
  EXPECT_TRUE(TableExists(db_, "VERSION"));
  EXPECT_FALSE(TableExists(db_, "Val120"));
}

TEST_F(TableTestsTest, HasTableFindsAFullWidthNameByItsHalfWidthForm) {
  EXPECT_TRUE(HasTable(db_, "version"));
  EXPECT_TRUE(HasTable(db_, "Val120"));
  EXPECT_FALSE(HasTable(db_, "Val121"));
}

TEST_F(TableTestsTest, HasFieldLooksOnlyAtTheNamedTable) {
  EXPECT_TRUE(HasField(db_, "val120", "price"));
  EXPECT_TRUE(HasField(db_, "Version", "COMMENT"));
  EXPECT_FALSE(HasField(db_, "Version", "Price"));
  EXPECT_FALSE(HasField(db_, "Missing", "Code"));
}

TEST_F(TableTestsTest, TestsOnAFailedOpenAreFalseOrRaise) {
  Database none;
  EXPECT_FALSE(HasTable(none, "Version"));
  EXPECT_FALSE(HasField(none, "Version", "Ver"));
  EXPECT_THROW(TableExists(none, "Version"), Failure);
}

class BackupTest : public DbTest {};

TEST_F(BackupTest, CopyBesideTheFileNamedByStemAndRunStamp) {
  install_.Write("File/KrVal.mdb", "before");
  BackupDatabase(run_, install_.folder() + "File\\KrVal.mdb");
  EXPECT_EQ(install_.Read("File/KrVal202004071530.old"), "before");
  EXPECT_EQ(install_.Read("File/KrVal.mdb"), "before");
}

TEST_F(BackupTest, SecondBackupInTheSameRunKeepsTheFirst) {
  install_.Write("KrCri.mdb", "first");
  BackupDatabase(run_, install_.folder() + "KrCri.mdb");
  install_.Write("KrCri.mdb", "changed");
  BackupDatabase(run_, install_.folder() + "KrCri.mdb");
  EXPECT_EQ(install_.Read("KrCri202004071530.old"), "first");
}

TEST_F(BackupTest, NameWithTwoDotsKeepsOnlyThePartBeforeTheFirst) {
  install_.Write("KrSet.2019.mdb", "x");
  BackupDatabase(run_, install_.folder() + "KrSet.2019.mdb");
  EXPECT_TRUE(install_.Exists("KrSet202004071530.old"));
}

TEST_F(BackupTest, MissingFileOrPathWithoutBackslashMakesNothing) {
  BackupDatabase(run_, install_.folder() + "Missing.mdb");
  EXPECT_FALSE(install_.Exists("Missing202004071530.old"));
  install_.Write("Plain.mdb", "x");
  BackupDatabase(run_, install_.Native("Plain.mdb"));  // "/" separators only
  EXPECT_FALSE(install_.Exists("Plain202004071530.old"));
}

// Fails every file copy, as a full disk would.
class NoCopyEnv : public platform::Env {
 public:
  void CopyFile(std::string_view, std::string_view) override {
    throw Failure::Runtime(kErrDiskFull, "injected");
  }
};

TEST_F(BackupTest, FailedCopyIsSilent) {
  install_.Write("KrExp.mdb", "x");
  NoCopyEnv env;
  platform::ScopedEnv scoped(env);
  BackupDatabase(run_, install_.folder() + "KrExp.mdb");
  EXPECT_FALSE(install_.Exists("KrExp202004071530.old"));
  EXPECT_EQ(install_.Read("KrExp.mdb"), "x");
}

class PasswordTest : public DbTest {};

TEST_F(PasswordTest, FormerPasswordIsReplacedByTheCurrentOne) {
  std::string path = InInstall("KrOld.mdb");
  engine::CreateDatabase(path, FormerDatabasePassword()).Close();
  ChangeDatabasePassword(path);
  EXPECT_NO_THROW(OpenAppDatabase(path).Close());
}

TEST_F(PasswordTest, DatabaseWithTheCurrentPasswordIsLeftAlone) {
  std::string path = InInstall("KrNew.mdb");
  testing::MakeDatabaseFromText(path, "CREATE TABLE T (A LONG);\nINSERT INTO T (A) VALUES (1);\n");
  ChangeDatabasePassword(path);
  Database db = Open(path);
  EXPECT_EQ(One(db, "SELECT A FROM T"), "1");
}

TEST_F(PasswordTest, MissingFileIsNotCreated) {
  ChangeDatabasePassword(InInstall("Nothing.mdb"));
  EXPECT_FALSE(install_.Exists("Nothing.mdb"));
}

}  // namespace
}  // namespace kr::db::test
