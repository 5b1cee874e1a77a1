#include <filesystem>

#include "tests/db/db_fixture.h"

namespace kr::db::test {
namespace {

// The TABLECOPYVERSION line of a package, as the file action hands it over (upper-cased).
class CopyTableIfOlderTest : public DbTest {
 protected:
  void SetUp() override {
    testing::MakeDatabase(InInstall("File/2019年度/KrCri.mdb"),
                          {"krcri_schema.sql", "krcri_2019.sql"});
    testing::MakeDatabase(InPackage("KrCri2019Src.mdb"), {"pkg_krcri2019.sql"});
  }
  std::string Target() const { return install_.folder() + "File\\2019年度\\KrCri.mdb"; }
  void Copy(std::string_view packed, std::string_view where = "") {
    CopyTableIfOlder(run_, ui_, Target(),
                     {"TABLECOPYVERSION", "CRI", std::string(where), std::string(packed)});
  }
  std::vector<std::string> Prices() {
    Database db = Open(InInstall("File/2019年度/KrCri.mdb"));
    std::vector<std::string> rows = Rows(db, "SELECT Code, Price1 FROM Cri ORDER BY Code");
    db.Close();
    return rows;
  }
  std::string Ver() {
    Database db = Open(InInstall("File/2019年度/KrCri.mdb"));
    std::string ver = One(db, "SELECT Ver FROM Version");
    db.Close();
    return ver;
  }
  bool BackedUp() const { return install_.Exists("File/2019年度/KrCri202004071530.old"); }

  const std::vector<std::string> kBefore = {"A0001|14900", "A0002|15600", "Z9001|3200"};
};

TEST_F(CopyTableIfOlderTest, OlderTargetIsBackedUpCopiedByKeyAndStamped) {
  Copy("CODE|KRCRI2019SRC.MDB|2019|1|3|TRUE");
  EXPECT_TRUE(BackedUp());
  EXPECT_EQ(Prices(),
            (std::vector<std::string>{"A0001|15300", "A0002|15600", "A0003|16200", "Z9001|3200"}));
  EXPECT_EQ(Ver(), "2019,1,3");
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(CopyTableIfOlderTest, SecondRunChangesNothingAndMakesNoBackup) {
  Copy("CODE|KRCRI2019SRC.MDB|2019|1|3|TRUE");
  std::filesystem::remove(install_.Native("File/2019年度/KrCri202004071530.old"));
  {
    Database db = Open(InInstall("File/2019年度/KrCri.mdb"));
    db.Execute("UPDATE Cri SET Price1=1 WHERE Code='A0001'");
    db.Close();
  }
  Copy("CODE|KRCRI2019SRC.MDB|2019|1|3|TRUE");
  EXPECT_FALSE(BackedUp());
  EXPECT_EQ(Prices().front(), "A0001|1");
}

TEST_F(CopyTableIfOlderTest, WithoutTheStampFlagTheVersionStays) {
  Copy("CODE|KRCRI2019SRC.MDB|2019|1|3|FALSE");
  EXPECT_EQ(Prices().front(), "A0001|15300");
  EXPECT_EQ(Ver(), "2019,1,2");
}

TEST_F(CopyTableIfOlderTest, MissingYearOrSourceNameAsksToCheckTheArguments) {
  for (std::string_view packed : {"CODE|KRCRI2019SRC.MDB||1|3|TRUE", "CODE||2019|1|3|TRUE", "CODE",
                                  "", "CODE|KRCRI2019SRC.MDB|年|1|3|TRUE"}) {
    ui_.boxes.clear();
    Copy(packed);
    ASSERT_EQ(ui_.boxes.size(), 1u) << packed;
    EXPECT_EQ(ui_.boxes[0].text, "引数を確認してください");
    EXPECT_EQ(ui_.boxes[0].title, run_.title);
    EXPECT_EQ(ui_.boxes[0].icon, ui::Icon::kNone);
  }
  EXPECT_EQ(Prices(), kBefore);
  EXPECT_FALSE(BackedUp());
}

TEST_F(CopyTableIfOlderTest, MissingOrUnreadableSourceChangesNothingSilently) {
  Copy("CODE|NOTHERE.MDB|2019|1|3|TRUE");
  package_.Write("Broken.mdb", "not a database");
  Copy("CODE|BROKEN.MDB|2019|1|3|TRUE");
  EXPECT_EQ(Prices(), kBefore);
  EXPECT_EQ(Ver(), "2019,1,2");
  EXPECT_FALSE(BackedUp());
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(CopyTableIfOlderTest, MissingTargetIsNotCreated) {
  CopyTableIfOlder(run_, ui_, install_.folder() + "File\\平成30年度\\KrCri.mdb",
                   {"TABLECOPYVERSION", "CRI", "", "CODE|KRCRI2019SRC.MDB|2019|1|3|TRUE"});
  EXPECT_FALSE(install_.Exists("File/平成30年度/KrCri.mdb"));
}

TEST_F(CopyTableIfOlderTest, FailedCopyIsStillStamped) {
  Copy("NOSUCHKEY|KRCRI2019SRC.MDB|2019|1|3|TRUE");
  EXPECT_EQ(Prices(), kBefore);
  EXPECT_EQ(Ver(), "2019,1,3");
}

}  // namespace
}  // namespace kr::db::test
