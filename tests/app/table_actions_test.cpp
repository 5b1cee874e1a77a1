// kr-updater-cli end to end on the manifest's table actions: a sample install folder and update
// package with real databases (tests/fixtures/db), run unattended, and the databases read back.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/testing/databases.h"
#include "tests/testing/testing.h"

namespace kr::app::test {
namespace {

namespace fs = std::filesystem;
using testing::ProcessResult;
using testing::QueryRows;
using testing::QueryValue;
using Rows = std::vector<std::string>;

constexpr const char* kStamp = "202004071530";

// Every table keyword. Line 2's where text holds a comma, which the driver joins back.
constexpr std::string_view kTableLines =
    "File1=KrSet.mdb,$(AppPath)\\File\\,TABLE(OPENCHK)\r\n"
    "File2=Data\\KrVal.mdb,$(AppPath)\\File\\平成30年度\\,TABLE;SpeExe;LEFT(Special,3)='820';\r\n"
    "File3=Data\\KrVal.mdb,$(AppPath)\\File\\平成30年度\\,TABLE;Val_Ind;;Code\r\n"
    "File4=File\\KrSet.mdb,$(AppPath)\\,TABLECOPY;PrintSet;;ID\r\n"
    "File5=File\\2019年度\\KrCri.mdb,$(AppPath)\\,"
    "TABLECOPYVERSION;Cri;;Code|KrCri2019Src.mdb|2019|1|3|TRUE\r\n";

class TableActionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::MakeSampleDatabases(install_, "install");
    testing::MakeSampleDatabases(package_, "package");
    install_.Write("KrMain.exe", "program");
    sandbox_.root().Write("ProgramData/Kelmora/KrTN2000.ini",
                          testing::ToCp932("[TN2019]\r\nInstPath=" + install_.folder() +
                                           "\r\nUpdateDay=2020/04/07\r\n"));
  }

  void Manifest(std::string_view lines, std::string_view model = "50") {
    package_.Write("KrInst.ini",
                   testing::ToCp932("[Bootstrap]\r\nExeName=KrMain.exe\r\nExeYear=2019\r\n"
                                    "ExeVersion=3.2.0\r\nInstModel=" +
                                    std::string(model) +
                                    "\r\n"
                                    "DispDlgCaption=ケルモラ積算 2019 アップデート\r\n"
                                    "[Bootstrap Files]\r\n" +
                                    std::string(lines)));
  }
  // Unattended (the update day is today), or through the dialog with the install folder given.
  ProcessResult Run(bool through_dialog = false) {
    std::vector<std::string> argv{testing::BuiltProgram("app/kr-updater-cli"), package_.path()};
    if (through_dialog) argv.insert(argv.end(), {"--install-folder", install_.path()});
    return testing::RunProgram(argv, {"KR_NOW=2020-04-07 15:30"});
  }

  std::string Db(std::string_view relative) const { return install_.Native(relative); }
  Rows Query(std::string_view db, std::string_view select) const {
    return QueryRows(Db(db), select);
  }

  testing::SandboxedFolders sandbox_;
  testing::TempDir install_;
  testing::TempDir package_;
};

TEST_F(TableActionsTest, EveryTableKeywordChangesItsDatabase) {
  Manifest(kTableLines);
  ProcessResult result = Run();
  ASSERT_EQ(result.exit_code, 0) << result.out << result.err;
  EXPECT_EQ(result.out, "アップデートが完了しました。\n");

  // TABLE(OPENCHK): the package's OpenChk replaces the table whole; no Temp.mdb is left.
  EXPECT_EQ(Query("File/KrSet.mdb", "SELECT FormName, OpenCount FROM OpenChk ORDER BY FormName"),
            (Rows{"frmLabour\t0", "frmMain\t0", "frmPrint\t0"}));
  EXPECT_FALSE(install_.Exists("File/Temp.mdb"));
  // TABLE with a where text and no key: the 820 slice is replaced, other rows stay.
  EXPECT_EQ(
      Query("File/平成30年度/KrVal.mdb", "SELECT Special, Name, Rate FROM SpeExe ORDER BY Special"),
      (Rows{"810010\t夜間作業\t1.3", "820010\t時間外\t1.25", "820030\t深夜\t1.5"}));
  // TABLE with a key: rows replaced and added by Code.
  EXPECT_EQ(Query("File/平成30年度/KrVal.mdb", "SELECT Code, [Index] FROM Val_Ind ORDER BY Code"),
            (Rows{"100\t労務単価", "190\t市場単価･土木工事標準単価", "200\t神戸市単価",
                  "300\t物価資料"}));
  EXPECT_FALSE(install_.Exists("File/平成30年度/Temp.mdb"));
  // TABLECOPY from KrSource.mdb, whose columns are in another order and one more: rows
  // replaced by ID, the user's own row kept.
  EXPECT_EQ(Query("File/KrSet.mdb", "SELECT ID, Title, Width FROM PrintSet ORDER BY ID"),
            (Rows{"1\t内訳書\t182", "2\t単価表\t182", "3\t見積書\t260", "4\t数量総括表\t182",
                  "1001\t自社用内訳書\t175.25"}));
  // TABLECOPYVERSION on an older database: backup, copy by key, stamp.
  EXPECT_EQ(Query("File/2019年度/KrCri.mdb", "SELECT Code, Price1 FROM Cri ORDER BY Code"),
            (Rows{"A0001\t15300", "A0002\t15600", "A0003\t16200", "Z9001\t3200"}));
  EXPECT_EQ(QueryValue(Db("File/2019年度/KrCri.mdb"), "SELECT Ver FROM Version"), "2019,1,3");
  EXPECT_TRUE(install_.Exists(std::string("File/2019年度/KrCri") + kStamp + ".old"));
  // Finishing step 2: the installed version in the settings database.
  EXPECT_EQ(QueryValue(Db("File/KrSet.mdb"), "SELECT SetName FROM Environ WHERE ID=61"),
            "2019,3.2.0");
  // Progress lines.
  EXPECT_NE(result.err.find("OpenChkテーブルを更新中..."), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("SPEEXEテーブルを更新中..."), std::string::npos);
  EXPECT_NE(result.err.find("PRINTSETテーブルを更新中..."), std::string::npos);
  EXPECT_NE(result.err.find("CRIテーブルを更新中..."), std::string::npos);
}

TEST_F(TableActionsTest, VersionTextIsWrittenOnlyForModelsWhoseSettingsCarryIt) {
  for (std::string_view model : {"10", "99", "320", "399", "9", "100", "319", "400"}) {
    testing::RunScriptText(Db("File/KrSet.mdb"), "UPDATE Environ SET SetName='old' WHERE ID=61;\n");
    Manifest("", model);
    ASSERT_EQ(Run(true).exit_code, 0) << model;
    bool carries = model == "10" || model == "99" || model == "320" || model == "399";
    EXPECT_EQ(QueryValue(Db("File/KrSet.mdb"), "SELECT SetName FROM Environ WHERE ID=61"),
              carries ? "2019,3.2.0" : "old")
        << model;
  }
}

TEST_F(TableActionsTest, SecondRunLeavesAVersionedTableAlone) {
  Manifest(kTableLines);
  ASSERT_EQ(Run().exit_code, 0);
  fs::remove(install_.Native(std::string("File/2019年度/KrCri") + kStamp + ".old"));
  testing::RunScriptText(Db("File/2019年度/KrCri.mdb"),
                         "UPDATE Cri SET Price1=1 WHERE Code='A0001';\n");

  ProcessResult again = Run();
  ASSERT_EQ(again.exit_code, 0) << again.out << again.err;
  EXPECT_EQ(QueryValue(Db("File/2019年度/KrCri.mdb"), "SELECT Price1 FROM Cri WHERE Code='A0001'"),
            "1");
  EXPECT_FALSE(install_.Exists(std::string("File/2019年度/KrCri") + kStamp + ".old"));
  EXPECT_EQ(QueryValue(Db("File/2019年度/KrCri.mdb"), "SELECT Ver FROM Version"), "2019,1,3");
}

TEST_F(TableActionsTest, MissingPackageDatabaseIsReportedAndTheUsersTableKept) {
  Manifest("File1=Data\\Missing.mdb,$(AppPath)\\File\\平成30年度\\,TABLE;SpeExe;;Special\r\n");
  ProcessResult result = Run();
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "アップデート時にエラーが発生しました。\n" + install_.folder() +
                            "File\\平成30年度\\Missing.mdb\nエラー番号=53\n"
                            "エラー内容=ファイルが見つかりません。\n");
  EXPECT_EQ(Query("File/平成30年度/KrVal.mdb", "SELECT COUNT(*) FROM SpeExe"), (Rows{"4"}));
}

TEST_F(TableActionsTest, UnreadablePackageDatabaseIsReportedThroughItsClose) {
  package_.Write("Data/Broken.mdb", "not a database");
  Manifest("File1=Data\\Broken.mdb,$(AppPath)\\File\\平成30年度\\,TABLE;SpeExe;;Special\r\n");
  ProcessResult result = Run();
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.out.find("Broken.mdb\nエラー番号=91\n"), std::string::npos) << result.out;
  EXPECT_EQ(Query("File/平成30年度/KrVal.mdb", "SELECT COUNT(*) FROM SpeExe"), (Rows{"4"}));
  EXPECT_FALSE(install_.Exists("File/平成30年度/Temp.mdb"));
}

TEST_F(TableActionsTest, MissingTargetDatabaseIsReportedThroughItsClose) {
  Manifest("File1=Data\\KrVal.mdb,$(AppPath)\\File\\令和2年度\\,TABLE;SpeExe;;Special\r\n");
  install_.MakeDirs("File/令和2年度");
  ProcessResult result = Run();
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.out.find("エラー番号=91\n"), std::string::npos) << result.out;
  EXPECT_FALSE(install_.Exists("File/令和2年度/KrVal.mdb"));
  EXPECT_FALSE(install_.Exists("File/令和2年度/Temp.mdb"));
}

TEST_F(TableActionsTest, TableCopyVersionWithoutAYearAsksToCheckTheArguments) {
  Manifest(
      "File1=File\\2019年度\\KrCri.mdb,$(AppPath)\\,TABLECOPYVERSION;Cri;;Code|KrCri2019Src."
      "mdb\r\n");
  ProcessResult result = Run();
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_NE(result.err.find("[ケルモラ積算 2019 アップデート] 引数を確認してください\n"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(QueryValue(Db("File/2019年度/KrCri.mdb"), "SELECT Price1 FROM Cri WHERE Code='A0001'"),
            "14900");
}

TEST_F(TableActionsTest, BadTableSpecsChangeNothingAndReportNothing) {
  Manifest(
      "File1=Data\\KrVal.mdb,$(AppPath)\\File\\平成30年度\\,TABLE;NoSuchTable;;Code\r\n"
      "File2=Data\\KrVal.mdb,$(AppPath)\\File\\平成30年度\\,TABLE;SpeExe;Special = = 1;\r\n"
      "File3=Data\\KrVal.mdb,$(AppPath)\\File\\平成30年度\\,TABLE;SpeExe;;NoSuchKey\r\n");
  ProcessResult result = Run();
  EXPECT_EQ(result.exit_code, 0) << result.out;
  EXPECT_EQ(Query("File/平成30年度/KrVal.mdb", "SELECT Special, Rate FROM SpeExe ORDER BY Special"),
            (Rows{"810010\t1.3", "820010\t1.25", "820020\t1.35", "820900\t1.1"}));
}

}  // namespace
}  // namespace kr::app::test
