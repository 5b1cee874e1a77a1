// The shared master and slip databases: holidays and map links of KrMasta.mdb, the user lists of
// KrSet.mdb and the re-code clean-up of KrUke.mdb and KrFile.mdb.
#include "routines/settings_routines.h"
#include "tests/routines/routines_fixture.h"

namespace kr::routines::test {
namespace {

constexpr std::string_view kSet = "File/KrSet.mdb";

// --- KrMasta.mdb and the user lists --------------------------------------------------------------

constexpr std::string_view kMasta = "File/KrMasta.mdb";

std::string Masta(std::string_view ver) {
  std::string place(kMapPlaceUrl);
  return Table("Holidays", "(HolidayString TEXT(255))") +
         Insert("Holidays", {"'元日;01/01;;No;Yes;Yes'"}) +
         Table("SetWord",
               "(ID LONG NOT NULL, Comment TEXT(255), CONSTRAINT PrimaryKey PRIMARY "
               "KEY (ID))") +
         Insert("SetWord", {"230, '" + place + "'", "233, '" + place + "'",
                            "234, 'http://example.jp/[ADRS]'"}) +
         VersionRow(ver);
}

TEST_F(RoutineTest, MountainDayIsAddedOnceAndTheMapLinkSearchesTheAddress) {
  Install(kMasta, Masta("-"));
  Run("UpdateFeldin3MastaH2912");
  Run("UpdateFeldin3MastaH2912");  // no Version table to stamp: the routine runs again
  EXPECT_EQ(Query(kMasta, "SELECT HolidayString FROM Holidays ORDER BY HolidayString"),
            (Rows{"元日;01/01;;No;Yes;Yes", std::string(kMountainDay)}));
  EXPECT_EQ(Query(kMasta, "SELECT ID, Comment FROM SetWord ORDER BY ID"),
            (Rows{"230\t" + std::string(kMapPlaceUrl), "233\t" + std::string(kMapSearchUrl),
                  "234\thttp://example.jp/[ADRS]"}));
  EXPECT_EQ(Backups("File"), (std::vector<std::string>{"KrMasta202004071530.old"}));
}

TEST_F(RoutineTest, HolidaysOfAStampedMasterAreLeftAlone) {
  Install(kMasta, Masta("2015,1,1"));
  Run("UpdateFeldin3MastaH2912");
  EXPECT_EQ(Value(kMasta, "SELECT COUNT(*) FROM Holidays"), "1");
  EXPECT_TRUE(Backups("File").empty());
}

TEST_F(RoutineTest, UserEntriesOfList205AreCopiedTo206WhichTakesItsPlaceInTheExplainedOrder) {
  std::string lists = Table("UserList",
                            "(UserCode LONG NOT NULL, UserKind LONG NOT NULL, UserConfigWord "
                            "TEXT(50), UserConfig1 LONG, UserConfig2 LONG, UserConfig3 LONG, "
                            "CONSTRAINT PrimaryKey PRIMARY KEY (UserCode, UserKind))") +
                      Table("UserListExplain",
                            "(UserKind LONG NOT NULL, UserConfigOrder LONG, CONSTRAINT "
                            "PrimaryKey PRIMARY KEY (UserKind))") +
                      Table("PrintIndex",
                            "(Target LONG NOT NULL, Caption TEXT(50), CONSTRAINT PrimaryKey "
                            "PRIMARY KEY (Target))");
  Install(kSet,
          lists +
              Insert("UserList", {"1, 205, '山田', 1, 2, 3", "-1, 205, 'O''Neil', NULL, 0, 1",
                                  "-2, 205, '見本', 1, 1, 1", "5, 205, '新', 1, 1, 1",
                                  "5, 206, '既存', 9, 9, 9", "1, 300, '他', 1, 1, 1"}) +
              Insert("UserListExplain", {"100, 1", "205, 2", "300, 3", "400, 4", "900, 1000"}) +
              Insert("PrintIndex", {"1, '旧'"}) + VersionRow("2014,1,1"));
  Package("KrSetH2912.mdb", lists + Insert("UserListExplain", {"206, 3"}) +
                                Insert("PrintIndex", {"1, '新'", "2, '追加'"}) +
                                VersionRow("2015,1,1"));
  Run("UpdateFeldin3SetH2912");
  EXPECT_EQ(Query(kSet,
                  "SELECT UserCode, UserConfigWord, UserConfig1, UserConfig2, UserConfig3 "
                  "FROM UserList WHERE UserKind=206 ORDER BY UserCode"),
            (Rows{"-1\tO'Neil\t0\t0\t1", "1\t山田\t1\t2\t3", "5\t既存\t9\t9\t9"}));
  EXPECT_EQ(Query(kSet, "SELECT UserKind, UserConfigOrder FROM UserListExplain ORDER BY UserKind"),
            (Rows{"100\t1", "205\t2", "206\t3", "300\t4", "400\t5", "900\t1000"}));
  EXPECT_EQ(Query(kSet, "SELECT Target, Caption FROM PrintIndex ORDER BY Target"),
            (Rows{"1\t新", "2\t追加"}));
  EXPECT_EQ(Ver(kSet), "2015,1,1");

  Run("UpdateFeldin3SetH2912");  // recorded: no second copy, no second move
  EXPECT_EQ(Value(kSet, "SELECT COUNT(*) FROM UserList WHERE UserKind=206"), "3");
  EXPECT_EQ(Value(kSet, "SELECT UserConfigOrder FROM UserListExplain WHERE UserKind=300"), "4");
}

// --- Re-codes ------------------------------------------------------------------------------------

constexpr std::string_view kUke = "File/KrUke.mdb";
constexpr std::string_view kFile = "File/KrFile.mdb";

class RecodeTest : public RoutineTest {
 protected:
  void SetUp() override {
    Install(kUke, Table("Uke", "(UkeCode TEXT(10), KelmoraFile YESNO)") +
                      Table("Ukes", "(ID LONG, UkeCode LONG, NowCode TEXT(20), Recode TEXT(20))") +
                      Insert("Uke", {"'12', False", "'13', True", "'14', False"}) +
                      Insert("Ukes", {"1, 12, 'A', '1234'", "2, 12, '', '5678'",
                                      "3, 13, 'C', '2345'", "4, 14, 'D', ''"}));
  }
  void Files() {
    Install(kFile,
            Table("Nou", "(NouCode LONG, UkeCode TEXT(10))") +
                Table("Nou_s", "(ID LONG, NouCode LONG, NowCode TEXT(20), Recode TEXT(20))") +
                Insert("Nou", {"1, '12'", "2, '13'"}) +
                Insert("Nou_s", {"1, 1, 'X', '4321'", "2, 1, 'Y', '12345'", "3, 1, 'Z', '999'",
                                 "4, 2, 'W', '3456'"}));
  }
  Rows Recodes(std::string_view relative, std::string_view table) const {
    return Query(relative, "SELECT ID, Recode FROM " + std::string(table) + " ORDER BY ID");
  }
};

TEST_F(RecodeTest, FourDigitReCodesOfTheUpdatersSlipsAreClearedOnce) {
  Files();
  Run("UpdateFeldin3MitDeleteRecodeH3004");
  Rows slips = {"1\t", "2\t5678", "3\t2345", "4\t"};
  Rows items = {"1\t", "2\t12345", "3\t999", "4\t3456"};
  EXPECT_EQ(Recodes(kUke, "Ukes"), slips);
  EXPECT_EQ(Recodes(kFile, "Nou_s"), items);
  EXPECT_EQ(Backups("File"),
            (std::vector<std::string>{"KrFile202004071530.old", "KrUke202004071530.old"}));

  run_.run_stamp = "202004081000";
  Run("UpdateFeldin3MitDeleteRecodeH3004");
  EXPECT_EQ(Recodes(kUke, "Ukes"), slips);
  EXPECT_EQ(Recodes(kFile, "Nou_s"), items);
  EXPECT_EQ(Backups("File").size(), 2u);  // nothing found: no backup either
}

TEST_F(RecodeTest, WithoutTheItemDatabaseTheSlipsAreStillCleared) {
  Run("UpdateFeldin3MitDeleteRecodeH3004");
  EXPECT_EQ(Recodes(kUke, "Ukes"), (Rows{"1\t", "2\t5678", "3\t2345", "4\t"}));
  EXPECT_EQ(Backups("File"), (std::vector<std::string>{"KrUke202004071530.old"}));
}

TEST_F(RecodeTest, NothingToClearMeansNoBackup) {
  testing::RunScriptText(install_.Native(kUke), "UPDATE Ukes SET Recode='' WHERE ID=1;\n");
  Files();
  Run("UpdateFeldin3MitDeleteRecodeH3004");
  EXPECT_TRUE(Backups("File").empty());
  EXPECT_EQ(Value(kFile, "SELECT Recode FROM Nou_s WHERE ID=1"), "4321");
}

}  // namespace
}  // namespace kr::routines::test
