// Which variant of a table a year folder receives: decided once per target by the tests the
// routine names, the first true disaster test winning.
#include <stdexcept>

#include "db/db.h"
#include "routines/variants.h"
#include "tests/routines/routines_fixture.h"

namespace kr::routines::test {
namespace {

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
