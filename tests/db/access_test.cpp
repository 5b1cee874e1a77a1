#include "platform/platform.h"
#include "tests/db/db_fixture.h"
#include "tests/testing/database_faults.h"

namespace kr::db::test {
namespace {

TEST(CurrencyTest, NullAndNonNumbersGiveZeroAndNarrowingRoundsHalfToEvenAndRefusesOverflow) {
  EXPECT_EQ(NzNumber(Value::Null()), Currency());
  EXPECT_EQ(NzNumber(Value("12a")), Currency());
  EXPECT_EQ(NzNumber(Value::Double(1e300)), Currency());  // beyond the currency range
  EXPECT_EQ(NzNumber(Value("12.5")), Currency::FromScaled(125000));
  EXPECT_EQ(NzNumber(Value::Double(0.1)), Currency::FromScaled(1000));
  EXPECT_EQ(NzString(Value::Null()), "");
  EXPECT_EQ(NzString(Value("平成30年度")), "平成30年度");
  EXPECT_EQ(Currency::FromScaled(25000).ToInt16(), 2);
  EXPECT_EQ(Currency::FromScaled(35000).ToInt16(), 4);
  EXPECT_EQ(Currency::FromScaled(-25000).ToInt32(), -2);
  EXPECT_THROW(Currency::FromInteger(40000).ToInt16(), Failure);
  EXPECT_EQ(Currency::FromInteger(40000).ToInt32(), 40000);
}

class AccessTest : public DbTest {};

TEST_F(AccessTest, TableAndFieldTestsIgnoreCaseAndWidth) {
  testing::MakeDatabaseFromText(
      InInstall("a.mdb"),
      "CREATE TABLE Version (Ver TEXT(20), Comment TEXT(255));\n"
      "CREATE TABLE [ＶＡＬ１２０] (Code TEXT(20), [ＰＲＩＣＥ] DOUBLE);\n");
  Database db = Open(InInstall("a.mdb"));
  EXPECT_TRUE(TableExists(db, "VERSION"));
  EXPECT_FALSE(TableExists(db, "Val120"));
  EXPECT_TRUE(HasTable(db, "version"));
  EXPECT_TRUE(HasTable(db, "Val120"));
  EXPECT_FALSE(HasTable(db, "Val121"));
  EXPECT_TRUE(HasField(db, "val120", "price"));
  EXPECT_FALSE(HasField(db, "Version", "Price"));
  EXPECT_FALSE(HasField(db, "Missing", "Code"));
  Database none;
  EXPECT_FALSE(HasTable(none, "Version"));
  EXPECT_FALSE(HasField(none, "Version", "Ver"));
  EXPECT_THROW(TableExists(none, "Version"), Failure);
}

TEST_F(AccessTest, BackupIsNamedByStemAndRunStampMadeOncePerRunAndSilentWhenItCannotBe) {
  install_.Write("File/KrSet.2019.mdb", "first");
  BackupDatabase(run_, install_.folder() + "File\\KrSet.2019.mdb");
  install_.Write("File/KrSet.2019.mdb", "changed");
  BackupDatabase(run_, install_.folder() + "File\\KrSet.2019.mdb");
  EXPECT_EQ(install_.Read("File/KrSet202004071530.old"), "first");
  EXPECT_EQ(install_.Read("File/KrSet.2019.mdb"), "changed");
  BackupDatabase(run_, install_.folder() + "Missing.mdb");
  EXPECT_FALSE(install_.Exists("Missing202004071530.old"));
  install_.Write("Plain.mdb", "x");
  BackupDatabase(run_, install_.Native("Plain.mdb"));  // "/" separators only
  // Every copy fails, as on a full disk.
  struct NoCopyEnv : platform::Env {
    void CopyFile(std::string_view, std::string_view) override {
      throw Failure::Runtime(kErrDiskFull, "injected");
    }
  } env;
  platform::ScopedEnv scoped(env);
  BackupDatabase(run_, install_.folder() + "Plain.mdb");
  EXPECT_FALSE(install_.Exists("Plain202004071530.old"));
  EXPECT_EQ(install_.Read("Plain.mdb"), "x");
}

TEST_F(AccessTest, BackupOfADatabaseARunLeftHalfCommittedHoldsItsLastCommittedRows) {
  const std::string path = install_.folder() + "File\\KrVal.mdb";
  install_.MakeDirs("File");
  Database made = engine::CreateDatabase(path, DatabasePassword());
  made.Execute("CREATE TABLE T (ID LONG, Name TEXT(200))");
  made.BeginTrans();
  for (int i = 0; i < 400; ++i) {
    made.Execute("INSERT INTO T (ID, Name) VALUES (" + std::to_string(i) + ", '" +
                 std::string(150, 'a') + "')");
  }
  made.CommitTrans();
  made.Close();
  // Killed while the change, many pages long, is being put in place.
  ASSERT_TRUE(testing::KillAtDatabaseWrite(
      [&] { OpenAppDatabase(path).Execute("UPDATE T SET Name = 'changed'"); }, 3));

  BackupDatabase(run_, path);
  Database backup = Open(InInstall("File/KrVal202004071530.old"));
  EXPECT_EQ(backup.CheckFile(), std::vector<std::string>{});
  EXPECT_EQ(Select(backup, "SELECT COUNT(*) FROM T WHERE Name = 'changed'"), Rows{"0"});
  EXPECT_EQ(Select(backup, "SELECT COUNT(*) FROM T"), Rows{"400"});
  Database db = Open(path);
  EXPECT_EQ(Select(db, "SELECT COUNT(*) FROM T WHERE Name = 'changed'"), Rows{"0"});
}

TEST_F(AccessTest, FormerPasswordIsReplacedAndOtherFilesAreLeftAlone) {
  std::string former = InInstall("KrOld.mdb"), current = InInstall("KrNew.mdb");
  engine::CreateDatabase(former, FormerDatabasePassword()).Close();
  testing::MakeDatabaseFromText(current,
                                "CREATE TABLE T (A LONG);\nINSERT INTO T (A) VALUES (1);\n");
  ChangeDatabasePassword(former);
  ChangeDatabasePassword(current);
  ChangeDatabasePassword(InInstall("Nothing.mdb"));
  EXPECT_NO_THROW(OpenAppDatabase(former).Close());
  Database db = Open(current);
  EXPECT_EQ(One(db, "SELECT A FROM T"), "1");
  EXPECT_FALSE(install_.Exists("Nothing.mdb"));
}

}  // namespace
}  // namespace kr::db::test
