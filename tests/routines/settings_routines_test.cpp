// Settings of the shared databases: consumption-tax formulas, print widths and word tables,
// two settings databases, KelmoraSetting.xml and single statements; then the master and slip
// databases.
#include <filesystem>

#include "routines/settings_routines.h"
#include "tests/routines/routines_fixture.h"

namespace kr::routines::test {
namespace {

constexpr std::string_view kSet = "File/KrSet.mdb";
constexpr std::string_view kExp25 = "File/平成25年度/KrExp.mdb";
constexpr std::string_view kExp26 = "File/平成26年度(一部更新)/KrExp.mdb";

std::string SetOptions(std::string_view ver) {
  return Table("SetOption",
               "(ID LONG NOT NULL, Result SHORT, CONSTRAINT PrimaryKey PRIMARY KEY (ID))") +
         Insert("SetOption", {"7, 5", "8, 5"}) + VersionRow(ver);
}

std::string Formulas(const std::vector<std::string>& texts, std::string_view ver) {
  std::string script = Table("MinPrice",
                             "(ID LONG NOT NULL, Text1 MEMO, CONSTRAINT PrimaryKey "
                             "PRIMARY KEY (ID))");
  for (size_t i = 0; i < texts.size(); ++i) {
    std::string text = texts[i] == "NULL" ? "NULL" : "'" + texts[i] + "'";
    script +=
        "INSERT INTO MinPrice (ID, Text1) VALUES (" + std::to_string(i + 1) + ", " + text + ");\n";
  }
  return script + VersionRow(ver);
}

class TaxTest : public RoutineTest {
 protected:
  Rows Texts(std::string_view relative) const {
    return Query(relative, "SELECT Text1 FROM MinPrice ORDER BY ID");
  }
};

TEST_F(TaxTest, WholeTokensOfTheOldRateBecomeTheFactorNameAndTheRestStaysAsItWas) {
  Install(kSet, SetOptions("2012,1,9"));
  Install(kExp25, Formulas({"金額*1.05", "(A+B)×1.05+C*1.05", "11.05+1.05", "1.05", "（1.05）",
                            "NULL", "", "金額*1.08"},
                           "2013,1,1"));
  Run("Update2013H2604Syouhizei");
  EXPECT_EQ(Texts(kExp25), (Rows{"金額*消費税係数", "(A+B)×消費税係数+C*消費税係数", "11.05+1.05",
                                 "消費税係数", "（消費税係数）", "\\N", "", "金額*1.08"}));
  EXPECT_EQ(Ver(kExp25), "2013,1,2");
  EXPECT_EQ(Query(kSet, "SELECT ID, Result FROM SetOption ORDER BY ID"), (Rows{"7\t8", "8\t5"}));
  EXPECT_EQ(Ver(kSet), "2013,1,1");
  EXPECT_EQ(Backups("File"), (std::vector<std::string>{"KrSet202004071530.old"}));
  EXPECT_EQ(Backups("File/平成25年度"), (std::vector<std::string>{"KrExp202004071530.old"}));
}

TEST_F(TaxTest, EachStageLeavesADatabaseAtItsReleaseAlone) {
  Install(kSet, SetOptions("2013,1,1"));
  Install(kExp25, Formulas({"A*1.05"}, "2013,1,2"));
  Install(kExp26, Formulas({"B*1.05"}, "2013,1,1"));
  Run("Update2013H2604Syouhizei");
  EXPECT_EQ(Query(kSet, "SELECT Result FROM SetOption WHERE ID=7"), (Rows{"5"}));
  EXPECT_TRUE(Backups("File").empty());
  EXPECT_EQ(Texts(kExp25), (Rows{"A*1.05"}));
  EXPECT_TRUE(Backups("File/平成25年度").empty());
  EXPECT_EQ(Texts(kExp26), (Rows{"B*消費税係数"}));
  EXPECT_EQ(Ver(kExp26), "2013,1,2");

  // Recorded: a formula written afterwards keeps the literal rate.
  testing::RunScriptText(install_.Native(kExp26), "UPDATE MinPrice SET Text1='C*1.05';\n");
  Run("Update2013H2604Syouhizei");
  EXPECT_EQ(Texts(kExp26), (Rows{"C*1.05"}));
}

std::string Repeated(std::string_view part, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += (i ? "+" : "") + std::string(part);
  return text;
}

TEST(TaxFormulaTest, AFormulaStillChangingAtThePassLimitKeepsItsOldText) {
  EXPECT_EQ(RewriteTaxFormula(Repeated("1.05", kFormulaPassLimit - 1)),
            Repeated(kTaxFactorName, kFormulaPassLimit - 1));
  EXPECT_EQ(RewriteTaxFormula(Repeated("1.05", kFormulaPassLimit)), std::nullopt);
  EXPECT_EQ(RewriteTaxFormula("1.05+11.05"), std::nullopt);
  EXPECT_EQ(RewriteTaxFormula("x 1.05,1.05^2"), "x 消費税係数,消費税係数^2");
  EXPECT_EQ(RewriteTaxFormula("1.050"), std::nullopt);
}

// --- Print widths and word tables ----------------------------------------------------------------

// ID and pData12 to pData16 (the others are not touched); rows "id, v12, v13, v14, v15, v16".
std::string Widths(std::string_view table, const std::vector<std::string>& rows,
                   bool with_column16 = true) {
  std::string script =
      Table(table, std::string("(ID LONG NOT NULL, pData1 TEXT(50), pData12 TEXT(50), "
                               "pData13 TEXT(50), pData14 TEXT(50), pData15 TEXT(50)") +
                       (with_column16 ? ", pData16 TEXT(50)" : "") +
                       ", CONSTRAINT PrimaryKey PRIMARY KEY (ID))");
  for (const std::string& row : rows) {
    script += "INSERT INTO " + std::string(table) + " (ID, pData12, pData13, pData14, pData15" +
              (with_column16 ? ", pData16" : "") + ") VALUES (" + row + ");\n";
  }
  return script;
}

constexpr std::string_view kCaptions = "61, '標準単価', '実行単価', '見積単価1', '見積単価2'";

class PrintWidthTest : public RoutineTest {
 protected:
  Rows Columns(std::string_view table) const {
    return Query(kSet, "SELECT ID, pData12, pData13, pData14, pData15, pData16 FROM " +
                           std::string(table) + " ORDER BY ID");
  }
};

TEST_F(PrintWidthTest, ThePrefecturePriceColumnFollowsTheStandardPriceOnce) {
  Install(
      kSet,
      Widths("PrintWidth", {std::string(kCaptions) + ", NULL", "62, '10', '11', '12', '13', NULL",
                            "65, '10', '11', '12', '13', NULL"}) +
          Widths("PrintWidths", {"61, 'a', 'b', 'c', 'd', NULL", "64, '1', '2', '3', '4', '5'"}));
  Run("Update2010SetPrintWidth");
  Rows widened = {"61\t標準単価\t県単価\t実行単価\t見積単価1\t見積単価2", "62\t10\t10\t11\t12\t13",
                  "65\t10\t11\t12\t13\t\\N"};
  EXPECT_EQ(Columns("PrintWidth"), widened);
  EXPECT_EQ(Columns("PrintWidths"), (Rows{"61\ta\t県単価\tb\tc\td", "64\t1\t1\t2\t3\t4"}));
  EXPECT_TRUE(Backups("File").empty());

  Run("Update2010SetPrintWidth");
  EXPECT_EQ(Columns("PrintWidth"), widened);
}

TEST_F(PrintWidthTest, ALayoutTheUserChangedIsLeftAsItIs) {
  Install(kSet, Widths("PrintWidth", {"61, '標準単価', '見積単価1', '実行単価', '見積単価2', NULL",
                                      "62, '10', '11', '12', '13', NULL"}));
  Run("Update2010SetPrintWidth");
  EXPECT_EQ(Columns("PrintWidth"),
            (Rows{"61\t標準単価\t見積単価1\t実行単価\t見積単価2\t\\N", "62\t10\t11\t12\t13\t\\N"}));
}

TEST_F(PrintWidthTest, The2009SettingsTakeTheNewColumnAndTheWordsColumnsFromThePackage) {
  std::string words =
      Table("Word", "(ID LONG NOT NULL, Word TEXT(50), CONSTRAINT PrimaryKey PRIMARY KEY (ID))") +
      Table("WordIndex",
            "(ID LONG NOT NULL, Title TEXT(50), CONSTRAINT PrimaryKey PRIMARY KEY (ID))");
  Install(kSet, Widths("PrintWidth",
                       {std::string(kCaptions), "62, '10', '11', '12', '13'",
                        "63, '10', '11', '12', '13'"},
                       false) +
                    Widths("PrintWidths", {}, false) + words +
                    Insert("Word", {"1, '砂'", "2, '砂利'"}) + Insert("WordIndex", {"1, '資材'"}) +
                    Table("OpenChk", "(ID LONG, MdbName TEXT(20), Version TEXT(50))") +
                    VersionRow("2009,1,0"));
  Package("KrSet.mdb", Widths("PrintWidth",
                              {"61, 'x', '県単価', 'x', 'x', 'x'", "62, 'x', '9', 'x', 'x', 'x'"}) +
                           Widths("PrintWidths", {}) + words + Insert("Word", {"9, 'package'"}) +
                           Table("OpenChk", "(ID LONG, MdbName TEXT(20), Version TEXT(50))") +
                           VersionRow("2009,1,2"));
  {
    db::Database package = db::OpenAppDatabase(package_.Native("KrSet.mdb"));
    db::TableDef word = package.TableDefs()["Word"];
    db::engine::Field kana = word.CreateField("Kana", db::engine::kText, 20);
    kana.SetDefaultValue("'-'");
    word.Fields().Append(kana);
    package.Close();
  }
  Run("Update200910Exp");
  EXPECT_EQ(Columns("PrintWidth"), (Rows{"61\t標準単価\t県単価\t実行単価\t見積単価1\t見積単価2",
                                         "62\t10\t9\t11\t12\t13", "63\t10\t11\t12\t13\t\\N"}));
  EXPECT_EQ(Query(kSet, "SELECT ID, Word, Kana FROM Word ORDER BY ID"),
            (Rows{"1\t砂\t-", "2\t砂利\t-"}));
  EXPECT_EQ(Query(kSet, "SELECT ID, Title FROM WordIndex"), (Rows{"1\t資材"}));
  db::Database set = db::OpenAppDatabase(install_.Native(kSet));
  EXPECT_FALSE(db::HasTable(set, "WordOld"));
  EXPECT_FALSE(db::HasTable(set, "WordIndexOld"));
  set.Close();
  EXPECT_EQ(Ver(kSet), "2009,1,2");
}

// --- Two settings databases ----------------------------------------------------------------------

TEST_F(RoutineTest, EachSettingsDatabaseKeepsItsOwnGuardAndStampWhenTheOtherIsMissing) {
  std::string options = Table("SetOption",
                              "(ID LONG NOT NULL, Result SHORT, CONSTRAINT "
                              "PrimaryKey PRIMARY KEY (ID))");
  Install(kSet, options + Insert("SetOption", {"1, 0"}) + VersionRow("2019,1,1"));
  Package("KrSet2019R0109.mdb",
          options + Insert("SetOption", {"1, 3", "2, 4"}) + VersionRow("2019,1,2"));
  Run("Update2019SetR0109");
  EXPECT_EQ(Query(kSet, "SELECT ID, Result FROM SetOption ORDER BY ID"), (Rows{"1\t3", "2\t4"}));
  EXPECT_EQ(Ver(kSet), "2019,1,2");
  EXPECT_FALSE(std::filesystem::exists(install_.Native("File/KrSetMinPrice.mdb")));

  // The other way round, the minimum-price database keeps its own guard and stamp.
  std::filesystem::remove(install_.Native(std::string(kSet)));
  Install("File/KrSetMinPrice.mdb", options + VersionRow("2019,1,0"));
  Run("Update2019SetR0109");
  EXPECT_EQ(Ver("File/KrSetMinPrice.mdb"), "2019,1,1");
}

// --- KelmoraSetting.xml --------------------------------------------------------------------------

class CoverSheetTest : public RoutineTest {
 protected:
  std::string Installed(std::string_view section, std::string_view key) const {
    return support::GetXmlSetting(install_.folder() + "KelmoraSetting.xml", section, key);
  }
  static constexpr std::string_view kShipped =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root><表紙><日付元号表示>平　成</日付元号表示>"
      "<消費税表示含まず>消費税は、含まれておりません。</消費税表示含まず></表紙></Root>\n";
};

TEST_F(CoverSheetTest, SettingsMoveToTheNewValuesWhereTheUserKeptTheShippedOnes) {
  package_.Write("KelmoraSetting.xml", kShipped);
  install_.Write("KelmoraSetting.xml",
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root><表紙><日付元号表示>平　成"
                 "</日付元号表示><消費税表示含まず>税別</消費税表示含まず></表紙></Root>\n");
  Run("Update2018KelmoraSettingH3104");
  EXPECT_EQ(Installed("表紙", "日付元号表示"), "西暦");
  EXPECT_EQ(Installed("表紙", "消費税表示含まず"), "税別");
  EXPECT_EQ(Installed("表紙", "金額表示2"), "\\ ; －");
  EXPECT_EQ(Installed("表紙", "印刷物補正XY"), "1.044");
  EXPECT_EQ(Installed("代価表", "名称規格の下線不要"), "True");
  EXPECT_EQ(Installed("Other", "NotUseXlsFilePath"), "True");
}

TEST_F(CoverSheetTest, ABrokenInstalledFileOrAMissingOneOfEitherSideIsLeftAsItIs) {
  install_.Write("KelmoraSetting.xml", kShipped);
  Run("Update2018KelmoraSettingH3104");
  EXPECT_EQ(install_.Read("KelmoraSetting.xml"), kShipped);

  package_.Write("KelmoraSetting.xml", kShipped);
  std::string broken = "<Root><表紙><日付元号表示>平　成</表紙>";
  install_.Write("KelmoraSetting.xml", broken);
  Run("Update2018KelmoraSettingH3104");
  EXPECT_EQ(install_.Read("KelmoraSetting.xml"), broken);

  std::filesystem::remove(install_.Native("KelmoraSetting.xml"));
  Run("Update2018KelmoraSettingH3104");
  EXPECT_FALSE(std::filesystem::exists(install_.Native("KelmoraSetting.xml")));
}

// --- Single statements ---------------------------------------------------------------------------

TEST_F(RoutineTest, OnlyTheFirstExpensesEntryOfOpenChkAcceptsThe2009Releases) {
  Install(kSet, Table("OpenChk", "(ID LONG, MdbName TEXT(20), Version TEXT(50))") +
                    Insert("OpenChk", {"1, 'KrCri', '2008,1,0'", "2, 'KrExp', '2008,1,0'",
                                       "3, 'KrExp', '2008,1,0'"}));
  Run("Delete2009SetOpenChk");
  EXPECT_EQ(Query(kSet, "SELECT Version FROM OpenChk ORDER BY ID"),
            (Rows{"2008,1,0", "2009,1,0;2009,1,99", "2008,1,0"}));
  EXPECT_TRUE(Backups("File").empty());
}

TEST_F(RoutineTest, TheCoverSheetNamesTakeTheirFullWidthBlanks) {
  constexpr std::string_view kCover = "Cover/KrCover.mdb";
  Install(kCover, Table("印刷", "(ID LONG, 種別 LONG, Protect LONG, Ptn3 LONG, Data TEXT(50))") +
                      Insert("印刷", {"1, 99, 1, 1, '熊本vu'", "2, 98, 1, 1, '熊本vu'",
                                      "3, 1, 0, 0, '㈱熊本vu'"}));
  Run("UpdateCover_114Zavuzize");
  EXPECT_EQ(Query(kCover, "SELECT Data FROM 印刷 ORDER BY ID"),
            (Rows{"緑\u3000\u3000研", "熊本vu", "㈱vu"}));
  Run("UpdateCover_114Zavuzize2");
  EXPECT_EQ(Value(kCover, "SELECT Data FROM 印刷 WHERE ID=1"), "緑 \u3000研");
  EXPECT_EQ(Backups("Cover"), (std::vector<std::string>{"KrCover202004071530.old"}));
}

// The shared master and slip databases: holidays and map links of KrMasta.mdb, the user lists of
// KrSet.mdb and the re-code clean-up of KrUke.mdb and KrFile.mdb.

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

TEST_F(RecodeTest, NothingToClearMeansNoBackup) {
  testing::RunScriptText(install_.Native(kUke), "UPDATE Ukes SET Recode='' WHERE ID=1;\n");
  Files();
  Run("UpdateFeldin3MitDeleteRecodeH3004");
  EXPECT_TRUE(Backups("File").empty());
  EXPECT_EQ(Value(kFile, "SELECT Recode FROM Nou_s WHERE ID=1"), "4321");
}

}  // namespace
}  // namespace kr::routines::test
