// The skeleton every routine shares: which databases it visits, when it leaves one alone, the
// backup, the source check, the variants and how the release is recorded.
#include <filesystem>
#include <stdexcept>

#include "routines/variants.h"
#include "tests/routines/routines_fixture.h"

namespace kr::routines::test {
namespace {

constexpr std::string_view kCri30 = "File/平成30年度/KrCri.mdb";

std::string CriScript(std::string_view ver, std::string_view rows) {
  return Table("Cri", kCriTable) + std::string(rows) + VersionRow(ver);
}

class SkeletonTest : public RoutineTest {
 protected:
  void SetUp() override {
    Install(kCri30, CriScript("2018,0,9", Insert("Cri (Code, cName, Price1)",
                                                 {"'A1', '砂', 100", "'A2', '砂利', 200"})));
  }
  void Source() {
    Package("KrCri201811.mdb",
            CriScript("2018,1,1",
                      Insert("Cri (Code, cName, Price1)", {"'A1', '砂', 150", "'A3', '石', 300"})));
  }
};

TEST_F(SkeletonTest, AGuardedRoutineMigratesOnceAndKeepsTheFirstBackup) {
  Source();
  EXPECT_TRUE(Run("Update2018CriH3011"));
  EXPECT_EQ(Query(kCri30, "SELECT Code, Price1 FROM Cri ORDER BY Code"),
            (Rows{"A1\t150", "A2\t200", "A3\t300"}));
  EXPECT_EQ(Ver(kCri30), "2018,1,1");
  EXPECT_EQ(Backups("File/平成30年度"), (std::vector<std::string>{"KrCri202004071530.old"}));
  EXPECT_EQ(testing::QueryRows(install_.Native("File/平成30年度/KrCri202004071530.old"),
                               "SELECT Code, Price1 FROM Cri ORDER BY Code"),
            (Rows{"A1\t100", "A2\t200"}));

  // A later run finds the release recorded: no change, no second backup.
  run_.run_stamp = "202004081000";
  testing::RunScriptText(package_.Native("KrCri201811.mdb"), "UPDATE Cri SET Price1=999;\n");
  Run("Update2018CriH3011");
  EXPECT_EQ(Value(kCri30, "SELECT Price1 FROM Cri WHERE Code='A1'"), "150");
  EXPECT_EQ(Backups("File/平成30年度").size(), 1u);
}

TEST_F(SkeletonTest, ALateSourceCheckLeavesTheBackupAnEarlyOneTouchesNothing) {
  Run("Update2018CriH3011");  // late: backup, then the missing source ends it
  EXPECT_EQ(Backups("File/平成30年度").size(), 1u);
  EXPECT_EQ(Ver(kCri30), "2018,0,9");

  Install("File/平成30年度/KrExp.mdb", Table("Expenses", kExpensesTable) + VersionRow("2018,1,1"));
  Run("Update2018ExpH3011");  // early: nothing happens without the source
  EXPECT_EQ(Backups("File/平成30年度").size(), 1u);
}

TEST_F(SkeletonTest, ASourceThatIsNoDatabaseCountsAsMissing) {
  package_.Write("KrCri201811.mdb", "not a database");
  Run("Update2018CriH3011");
  EXPECT_EQ(Ver(kCri30), "2018,0,9");
  EXPECT_EQ(Value(kCri30, "SELECT COUNT(*) FROM Cri"), "2");
}

// No Version table, or one without a row: migrated on every run, never stamped. A row whose
// Ver is Null or malformed counts as older than every release and receives the stamp.
TEST_F(SkeletonTest, ADatabaseWithoutAValidVersionIsMigratedAndOnlyARowIsStamped) {
  Source();
  const std::string row = Insert("Cri (Code, cName, Price1)", {"'A1', '砂', 1"});
  for (std::string_view ver : {"-", "NULL", "", "2019,1", "a,b,c"}) {
    std::filesystem::remove(install_.Native(kCri30));
    Install(kCri30, CriScript(ver, row));
    Run("Update2018CriH3011");
    EXPECT_EQ(Value(kCri30, "SELECT Price1 FROM Cri WHERE Code='A1'"), "150") << ver;
    if (ver != "-") {
      EXPECT_EQ(Ver(kCri30), "2018,1,1") << ver;
    }
  }
  std::filesystem::remove(install_.Native(kCri30));
  Install(kCri30,
          Table("Cri", kCriTable) + row + VersionRow("2018,0,1") + "DELETE FROM Version;\n");
  for (int run = 0; run < 2; ++run) {
    testing::RunScriptText(install_.Native(kCri30), "UPDATE Cri SET Price1=1;\n");
    Run("Update2018CriH3011");
    EXPECT_EQ(Value(kCri30, "SELECT Price1 FROM Cri WHERE Code='A1'"), "150") << run;
    EXPECT_EQ(Value(kCri30, "SELECT COUNT(*) FROM Version"), "0");
  }
}

TEST_F(SkeletonTest, ATargetThatIsNoDatabaseIsLeftAloneWithoutABackup) {
  Source();
  install_.Write("File/平成30年度/KrCri.mdb", "not a database");
  Run("Update2018CriH3011");
  EXPECT_EQ(install_.Read("File/平成30年度/KrCri.mdb"), "not a database");
  EXPECT_TRUE(Backups("File/平成30年度").empty());
}

TEST_F(SkeletonTest, UnknownNamesRunNothing) {
  Source();
  for (std::string_view name :
       {"update2018crih3011", "Update2018CriH3011 ", " Update2018CriH3011", ""}) {
    EXPECT_FALSE(Run(name)) << name;
  }
  EXPECT_EQ(Ver(kCri30), "2018,0,9");
}

TEST_F(RoutineTest, RecordsCopyTheSourceVersionReplaceTheVersionRowsOrSetVerDirectly) {
  Install("File/平成21年度/KrCri.mdb", CriScript("2009,1,0", ""));
  Package("KrCri200910.mdb", CriScript("2009,1,3", Insert("Cri (Code)", {"'N1'"})));
  Run("Update200910Cri");
  EXPECT_EQ(Ver("File/平成21年度/KrCri.mdb"), "2009,1,3");
  EXPECT_EQ(Backups("File/平成21年度").size(), 1u);

  Install("File/平成22年度/KrCri.mdb", CriScript("2010,1,1", ""));
  Package("KrCri201010.mdb", CriScript("2010,1,3", ""));
  testing::RunScriptText(package_.Native("KrCri201010.mdb"),
                         "UPDATE Version SET Comment='2010_10';\n");
  Run("Update2010Cri10");
  EXPECT_EQ(Query("File/平成22年度/KrCri.mdb", "SELECT Ver, Comment FROM Version"),
            (Rows{"2010,1,3\t2010_10"}));
  EXPECT_TRUE(Backups("File/平成22年度").empty());

  for (std::string_view year : {"平成30年度", "2019年度"}) {
    Install("File/" + std::string(year) + "/KrExp.mdb", VersionRow("2020,1,1"));
  }
  Run("Update2009Exp_Naigai");
  EXPECT_EQ(Ver("File/平成30年度/KrExp.mdb"), "2009,1,1");
  EXPECT_EQ(Ver("File/2019年度/KrExp.mdb"), "2009,1,1");
}

TEST_F(RoutineTest, EveryYearFolderBelowTheTupleIsMigratedWithTheSameSource) {
  std::string expenses =
      Table("Expenses", kExpensesTable) + Insert("Expenses (Big, Mdl, Sml, Rate)", {"1, 1, 1, 5"});
  Install("File/平成30年度/KrExp.mdb", expenses + VersionRow("2018,1,2"));
  Install("File/2019年度/KrExp.mdb", expenses + VersionRow("2019,1,1"));
  Install("File/2019年度(令和2年3月労務更新)/KrExp.mdb", expenses + VersionRow("2019,1,2"));
  install_.Write("File/平成31年度", "a plain file where a year folder could be");
  Package("KrExp2019R0111.mdb",
          Table("Expenses", kExpensesTable) +
              Insert("Expenses (Big, Mdl, Sml, Rate)", {"1, 1, 1, 7", "1, 1, 2, 8"}) +
              VersionRow("2019,1,2"));
  Run("Update2019ExpR0111");
  for (std::string_view year : {"平成30年度", "2019年度"}) {
    std::string db = "File/" + std::string(year) + "/KrExp.mdb";
    EXPECT_EQ(Query(db, "SELECT Rate FROM Expenses ORDER BY Sml"), (Rows{"7", "8"})) << year;
    EXPECT_EQ(Ver(db), "2019,1,2") << year;
  }
  EXPECT_EQ(Query("File/2019年度(令和2年3月労務更新)/KrExp.mdb", "SELECT Rate FROM Expenses"),
            (Rows{"5"}));
  EXPECT_TRUE(Backups("File/2019年度(令和2年3月労務更新)").empty());
}

TEST_F(RoutineTest, ALineRunsItsFourRoutinesEvenWhenTheFirstFindsNoSource) {
  std::string exp = Table("Exp_Marume", "(Mdl LONG, Sml LONG, Rate DOUBLE)") +
                    Table("Expenses", kExpensesTable) + VersionRow("2008,1,1");
  Install("File/平成20年度/KrExp.mdb", exp);
  Install("File/平成21年度/KrExp.mdb", exp);
  Package("KrExpH21.mdb", Table("Expenses", kExpensesTable) +
                              Insert("Expenses (Big, Mdl, Sml, Rate)", {"1, 2, 3, 4"}) +
                              VersionRow("2009,1,1"));
  install_.Write("KrNumber.ini", testing::ToCp932("[Number]\r\nA=1\r\n"));
  package_.Write("KrNumber.ini", testing::ToCp932("[Number]\r\nB=2\r\n"));
  Run("Update200910Exp");
  EXPECT_EQ(Ver("File/平成20年度/KrExp.mdb"), "2008,1,1");
  EXPECT_EQ(Ver("File/平成21年度/KrExp.mdb"), "2009,1,1");
  EXPECT_EQ(Value("File/平成21年度/KrExp.mdb", "SELECT Rate FROM Expenses"), "4");
  std::string ini = install_.Read("KrNumber.ini");
  EXPECT_NE(ini.find("A=1"), std::string::npos);
  EXPECT_NE(ini.find("B=2"), std::string::npos);
  EXPECT_TRUE(install_.Exists("KrNumber202004071530.old"));
}

// Which variant of a table a year folder receives: decided once per target by the tests the
// routine names, the first true disaster test winning.
class VariantTest : public RoutineTest {
 protected:
  // A year folder whose KrCri.mdb names these districts, and its open KrVal.mdb.
  db::Database Folder(std::initializer_list<std::string_view> districts) {
    std::string script = Table("地区名", kDistrictTable);
    int id = 1;
    for (std::string_view d : districts) {
      script += "INSERT INTO 地区名 (ID, 地区名, コメント) VALUES (" + std::to_string(id++) +
                ", '地区', '" + std::string(d) + "');\n";
    }
    Install("File/Y/KrCri.mdb", script);
    Install("File/Y/KrVal.mdb", Table("Val_Ind", "(Code TEXT(10), [Index] TEXT(100))") +
                                    Table("Val120_Ind", "(StrtCode TEXT(30), MdlIndex TEXT(100))"));
    target_ = db::OpenAppDatabase(install_.Native("File/Y/KrVal.mdb"));
    return target_;
  }
  VariantChooser Chooser() {
    return VariantChooser(run_, install_.folder() + "File\\Y\\", target_);
  }
  db::Database target_;
};

TEST_F(VariantTest, TheFirstNamedDisasterTestThatHoldsChoosesExactlyOneAlternative) {
  Folder({"1,岩手,", "2,熊本,", "3,広島,"});
  const std::vector<std::string> all = {"V", "V_Hisai", "V_HisaiK", "V_HisaiH"};
  VariantChooser both = Chooser();
  both.Decide("HasTohokuDistricts");
  both.Decide("HasKumamotoDistrict");
  EXPECT_EQ(both.Choose(all), "V_Hisai");
  EXPECT_FALSE(both.Applies("V_HisaiK"));
  EXPECT_TRUE(both.Applies("V(被災)"));

  VariantChooser kumamoto_first = Chooser();
  kumamoto_first.Decide("HasKumamotoDistrict");
  kumamoto_first.Decide("HasHiroshimaDistrict");
  EXPECT_EQ(kumamoto_first.Choose(all), "V_HisaiK");
  target_.Close();
}

TEST_F(VariantTest, AFolderOutsideTheDisasterAreasGetsTheStandardTable) {
  Folder({"1,東京,", "2,広島,"});
  VariantChooser before_r0108 = Chooser();
  before_r0108.Decide("HasTohokuDistricts");
  before_r0108.Decide("HasKumamotoDistrict");
  EXPECT_EQ(before_r0108.Choose({"V", "V_Hisai", "V_HisaiK"}), "V");
  VariantChooser r0108 = Chooser();
  for (std::string_view t : {"HasTohokuDistricts", "HasKumamotoDistrict", "HasHiroshimaDistrict"}) {
    r0108.Decide(t);
  }
  EXPECT_EQ(r0108.Choose({"V", "V_Hisai", "V_HisaiK", "V_HisaiH"}), "V_HisaiH");
  target_.Close();
}

TEST_F(VariantTest, BookGreenBankAndKobeFollowTheEditionAndTheIndexes) {
  Folder({});
  EXPECT_EQ(Chooser().Choose({"Book", "Book_D"}), "Book");
  EXPECT_EQ(Chooser().Choose({"Book(造園)", "Book(土木)"}), "Book(造園)");
  EXPECT_FALSE(Chooser().Applies("Val120_Shizuoka"));
  EXPECT_FALSE(Chooser().Applies("Cri(神戸)"));
  Install("File/KrSet.mdb",
          Table("Environ", "(ID LONG, SetName TEXT(255))") + Insert("Environ", {"60, '1'"}));
  target_.Execute("INSERT INTO Val120_Ind (StrtCode, MdlIndex) VALUES ('1', 'ｸﾞﾘｰﾝﾊﾞﾝｸ 緑化')");
  target_.Execute("INSERT INTO Val_Ind (Code) VALUES ('200')");
  EXPECT_EQ(Chooser().Choose({"Book", "Book_D"}), "Book_D");
  EXPECT_EQ(Chooser().Choose({"Book(造園)", "Book(土木)"}), "Book(土木)");
  EXPECT_TRUE(Chooser().Applies("Val120s_Shizuoka"));
  EXPECT_TRUE(Chooser().Applies("Cri_Base(神戸)"));
  EXPECT_EQ(MarkOf("Val_IndD"), Mark::kNone);
  target_.Close();
}

TEST_F(VariantTest, AMissingTableIsFalseButUnreadableDataLeavesTheTestUnanswered) {
  install_.Write("File/Y/KrCri.mdb", "not a database");
  Install("File/Y/KrVal.mdb", Table("T", "(A LONG)"));
  target_ = db::OpenAppDatabase(install_.Native("File/Y/KrVal.mdb"));
  VariantChooser chooser = Chooser();
  EXPECT_FALSE(chooser.Decide("HasCriKbRows"));
  EXPECT_FALSE(chooser.unanswered());
  EXPECT_THROW(chooser.Decide("HasTohokuDistricts"), Failure);
  EXPECT_TRUE(chooser.unanswered());
  EXPECT_THROW(chooser.Decide("NoSuchTest"), std::logic_error);
  target_.Close();
}

}  // namespace
}  // namespace kr::routines::test
