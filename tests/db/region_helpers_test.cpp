#include "tests/db/db_fixture.h"

namespace kr::db::test {
namespace {

TEST(FullPrefectureNameTest, ShortNamesGetTheirSuffixAndOtherTextPassesUnchanged) {
  EXPECT_EQ(FullPrefectureName("北海"), "北海道");
  EXPECT_EQ(FullPrefectureName("東京"), "東京都");
  EXPECT_EQ(FullPrefectureName("京都"), "京都府");
  EXPECT_EQ(FullPrefectureName("神奈川"), "神奈川県");
  EXPECT_EQ(FullPrefectureName("北海道"), "北海道");
  EXPECT_EQ(FullPrefectureName(""), "");
}

// The sample install folder: 平成30年度 lies in Tohoku, 2019年度 in Kumamoto.
class SampleInstallTest : public DbTest {
 protected:
  void SetUp() override { testing::MakeSampleDatabases(install_, "install"); }
  std::string Year(std::string_view folder, std::string_view file) const {
    return install_.folder() + "File\\" + std::string(folder) + "\\" + std::string(file);
  }
};

TEST_F(SampleInstallTest, DistrictCommentsKnowledgeBaseRowsAndCountsAnswerFalseWhenUnreadable) {
  EXPECT_TRUE(HasCriKbRows(Year("平成30年度", "KrCri.mdb")));
  EXPECT_FALSE(HasCriKbRows(Year("2019年度", "KrCri.mdb")));
  EXPECT_FALSE(HasCriKbRows(Year("平成30年度", "KrVal.mdb")));
  EXPECT_FALSE(HasCriKbRows(Year("令和9年度", "KrCri.mdb")));
  Database cri = Open(InInstall("File/2019年度/KrCri.mdb"));
  EXPECT_TRUE(DistrictCommentContains(cri, "八代"));
  EXPECT_FALSE(DistrictCommentContains(cri, "広島"));
  EXPECT_TRUE(CountAboveZero(cri, "SELECT COUNT(ID) FROM 地区名"));
  EXPECT_FALSE(CountAboveZero(cri, "SELECT COUNT(ID) FROM 地区名 WHERE ID<0"));
  EXPECT_FALSE(CountAboveZero(cri, "SELECT COUNT(ID) FROM NoSuchTable"));
  Database val = Open(InInstall("File/2019年度/KrVal.mdb"));
  EXPECT_FALSE(DistrictCommentContains(val, ""));
}

TEST_F(SampleInstallTest, ZeroNullPricesClearsEveryNullPriceTheTableHas) {
  Database cri = Open(InInstall("File/平成30年度/KrCri.mdb"));
  ZeroNullPrices(cri);
  EXPECT_EQ(One(cri, "SELECT Price2, Price3, Price10 FROM Cri WHERE Code='A0002'"), "0|15700|0");
  EXPECT_EQ(One(cri, "SELECT COUNT(*) FROM Cri WHERE Price1 IS NULL OR Price9 IS NULL"), "0");
  testing::MakeDatabaseFromText(InInstall("five.mdb"),
                                "CREATE TABLE Cri (Code TEXT(5), Price1 DOUBLE, Price2 DOUBLE, "
                                "Price3 DOUBLE, Price4 DOUBLE, Price5 DOUBLE);\n"
                                "INSERT INTO Cri (Code) VALUES ('X');\n");
  Database five = Open(InInstall("five.mdb"));
  ZeroNullPrices(five);
  EXPECT_EQ(One(five, "SELECT Price1, Price5 FROM Cri"), "0|0");
}

TEST_F(SampleInstallTest, DeleteRowsByFieldDeletesEachValueOfTheWalk) {
  Database val = Open(InInstall("File/平成30年度/KrVal.mdb"));
  Recordset closed;
  DeleteRowsByField(val, "SpeExe", "Special", closed);
  val.Execute("CREATE TABLE Gone (Special TEXT(20))");
  for (std::string_view value : {"'820010'", "'O''Brien'", "'820020'"}) {
    val.Execute("INSERT INTO Gone (Special) VALUES (" + std::string(value) + ")");
  }
  Recordset rs = val.OpenRecordset("SELECT Special FROM Gone");
  DeleteRowsByField(val, "SpeExe", "Special", rs);
  // The quoted value's statement is rejected; the walk goes on to the next row.
  EXPECT_EQ(Select(val, "SELECT Special FROM SpeExe ORDER BY Special"), (Rows{"810010", "820900"}));
}

TEST_F(SampleInstallTest, MergeNumberIniKeepsABackupAndMergesThePackageNumbers) {
  package_.Write("KrNumber.ini", testing::ToCp932("[番号]\r\n見積=1\r\n内訳=5\r\n"));
  MergeNumberIni(run_);
  EXPECT_FALSE(install_.Exists("KrNumber.ini"));
  install_.Write("KrNumber.ini", testing::ToCp932("[番号]\r\n見積=120\r\n自社=7\r\n"));
  MergeNumberIni(run_);
  EXPECT_EQ(install_.Read("KrNumber202004071530.old"),
            testing::ToCp932("[番号]\r\n見積=120\r\n自社=7\r\n"));
  support::clsIniFile ini;
  ini.FileName(install_.folder() + "KrNumber.ini");
  ini.Section("番号");
  EXPECT_EQ(ini.GetString("見積", ""), "1");
  EXPECT_EQ(ini.GetString("自社", ""), "7");
  EXPECT_EQ(ini.GetString("内訳", ""), "5");
}

}  // namespace
}  // namespace kr::db::test
