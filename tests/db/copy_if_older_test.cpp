#include "platform/platform.h"
#include "tests/db/db_fixture.h"
#include "tests/testing/database_faults.h"

namespace kr::db::test {
namespace {

// The TABLECOPYVERSION line of a package, as the file action hands it over (upper-cased). An older
// target backed up, copied by key and stamped, end to end: tests/app/table_actions_test.cpp.
class CopyTableIfOlderTest : public DbTest {
 protected:
  void SetUp() override {
    testing::MakeDatabase(InInstall("File/2019年度/KrCri.mdb"),
                          {"krcri_schema.sql", "krcri_2019.sql"});
    testing::MakeDatabase(InPackage("KrCri2019Src.mdb"), {"pkg_krcri2019.sql"});
  }
  CopyIfOlderResult Copy(std::string_view packed,
                         std::string_view target = "File\\2019年度\\KrCri.mdb") {
    return CopyTableIfOlder(run_, install_.folder() + std::string(target),
                            {"TABLECOPYVERSION", "CRI", "", std::string(packed)});
  }
  // The prices by code, then the version.
  Rows State() {
    Database db = OpenAppDatabase(InInstall("File/2019年度/KrCri.mdb"));
    Rows rows = Select(db, "SELECT Code, Price1 FROM Cri ORDER BY Code");
    rows.push_back(One(db, "SELECT Ver FROM Version"));
    db.Close();
    return rows;
  }
  bool BackedUp() const { return install_.Exists("File/2019年度/KrCri202004071530.old"); }

  const Rows kBefore = {"A0001|14900", "A0002|15600", "Z9001|3200", "2019,1,2"};
};

TEST_F(CopyTableIfOlderTest, TheFlagAloneDecidesTheStampEvenWhenTheCopyFails) {
  Copy("NOSUCHKEY|KRCRI2019SRC.MDB|2019|1|3|TRUE");
  EXPECT_EQ(State(), (Rows{"A0001|14900", "A0002|15600", "Z9001|3200", "2019,1,3"}));
  Copy("CODE|KRCRI2019SRC.MDB|2019|1|4|FALSE");
  EXPECT_EQ(State(), (Rows{"A0001|15300", "A0002|15600", "A0003|16200", "Z9001|3200", "2019,1,3"}));
}

TEST_F(CopyTableIfOlderTest,
       BadArgumentsAreReportedAndMissingOrUnreadableDatabasesSilentlyChangeNothing) {
  for (std::string_view packed : {"CODE|KRCRI2019SRC.MDB||1|3|TRUE", "CODE||2019|1|3|TRUE", "",
                                  "CODE|KRCRI2019SRC.MDB|年|1|3|TRUE"}) {
    EXPECT_EQ(Copy(packed), CopyIfOlderResult::kBadArguments) << packed;
  }
  EXPECT_EQ(Copy("CODE|NOTHERE.MDB|2019|1|3|TRUE"), CopyIfOlderResult::kDone);
  package_.Write("Broken.mdb", "not a database");
  EXPECT_EQ(Copy("CODE|BROKEN.MDB|2019|1|3|TRUE"), CopyIfOlderResult::kDone);
  EXPECT_EQ(Copy("CODE|KRCRI2019SRC.MDB|2019|1|3|TRUE", "File\\平成30年度\\KrCri.mdb"),
            CopyIfOlderResult::kDone);
  EXPECT_EQ(State(), kBefore);
  EXPECT_FALSE(BackedUp());
  EXPECT_FALSE(install_.Exists("File/平成30年度/KrCri.mdb"));
}

TEST_F(CopyTableIfOlderTest, ATargetWhoseBackupCannotBeMadeIsNeitherCopiedNorStamped) {
  for (int error : {kErrDiskFull, kErrDeviceIo}) {
    SCOPED_TRACE(error);
    run_.unfinished.clear();
    testing::DatabaseFaults disk;
    disk.FailAt(1, error, testing::DatabaseFaults::kFileChange, true);
    {
      platform::ScopedEnv scoped(disk);
      EXPECT_EQ(Copy("CODE|KRCRI2019SRC.MDB|2019|1|3|TRUE"), CopyIfOlderResult::kDone);
    }
    ASSERT_TRUE(disk.fired());
    EXPECT_EQ(State(), kBefore);
    EXPECT_FALSE(BackedUp());
    EXPECT_EQ(run_.unfinished,
              std::set<std::string>{install_.folder() + "File\\2019年度\\KrCri.mdb"});
  }
  // A sound disk: the next run migrates it.
  Copy("CODE|KRCRI2019SRC.MDB|2019|1|3|TRUE");
  EXPECT_TRUE(BackedUp());
  EXPECT_EQ(State().back(), "2019,1,3");
}

}  // namespace
}  // namespace kr::db::test
