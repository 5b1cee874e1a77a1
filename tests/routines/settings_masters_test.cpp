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
         "INSERT INTO Holidays (HolidayString) VALUES ('元日;01/01;;No;Yes;Yes');\n" +
         Table("SetWord",
               "(ID LONG NOT NULL, Comment TEXT(255), CONSTRAINT PrimaryKey PRIMARY "
               "KEY (ID))") +
         "INSERT INTO SetWord (ID, Comment) VALUES (230, '" + place + "');\n" +
         "INSERT INTO SetWord (ID, Comment) VALUES (233, '" + place + "');\n" +
         "INSERT INTO SetWord (ID, Comment) VALUES (234, 'http://example.jp/[ADRS]');\n" +
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
  Install(kSet, lists +
                    "INSERT INTO UserList VALUES (1, 205, '山田', 1, 2, 3);\n"
                    "INSERT INTO UserList VALUES (-1, 205, 'O''Neil', NULL, 0, 1);\n"
                    "INSERT INTO UserList VALUES (-2, 205, '見本', 1, 1, 1);\n"
                    "INSERT INTO UserList VALUES (5, 205, '新', 1, 1, 1);\n"
                    "INSERT INTO UserList VALUES (5, 206, '既存', 9, 9, 9);\n"
                    "INSERT INTO UserList VALUES (1, 300, '他', 1, 1, 1);\n"
                    "INSERT INTO UserListExplain VALUES (100, 1);\n"
                    "INSERT INTO UserListExplain VALUES (205, 2);\n"
                    "INSERT INTO UserListExplain VALUES (300, 3);\n"
                    "INSERT INTO UserListExplain VALUES (400, 4);\n"
                    "INSERT INTO UserListExplain VALUES (900, 1000);\n"
                    "INSERT INTO PrintIndex VALUES (1, '旧');\n" +
                    VersionRow("2014,1,1"));
  Package("KrSetH2912.mdb", lists +
                                "INSERT INTO UserListExplain VALUES (206, 3);\n"
                                "INSERT INTO PrintIndex VALUES (1, '新');\n"
                                "INSERT INTO PrintIndex VALUES (2, '追加');\n" +
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
                      "INSERT INTO Uke VALUES ('12', False);\n"
                      "INSERT INTO Uke VALUES ('13', True);\n"
                      "INSERT INTO Uke VALUES ('14', False);\n"
                      "INSERT INTO Ukes VALUES (1, 12, 'A', '1234');\n"
                      "INSERT INTO Ukes VALUES (2, 12, '', '5678');\n"
                      "INSERT INTO Ukes VALUES (3, 13, 'C', '2345');\n"
                      "INSERT INTO Ukes VALUES (4, 14, 'D', '');\n");
  }
  void Files() {
    Install(kFile,
            Table("Nou", "(NouCode LONG, UkeCode TEXT(10))") +
                Table("Nou_s", "(ID LONG, NouCode LONG, NowCode TEXT(20), Recode TEXT(20))") +
                "INSERT INTO Nou VALUES (1, '12');\n"
                "INSERT INTO Nou VALUES (2, '13');\n"
                "INSERT INTO Nou_s VALUES (1, 1, 'X', '4321');\n"
                "INSERT INTO Nou_s VALUES (2, 1, 'Y', '12345');\n"
                "INSERT INTO Nou_s VALUES (3, 1, 'Z', '999');\n"
                "INSERT INTO Nou_s VALUES (4, 2, 'W', '3456');\n");
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
