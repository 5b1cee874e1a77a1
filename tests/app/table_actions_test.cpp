// kr-updater-cli end to end on the manifest's table actions: a sample install folder and update
// package with real databases (tests/fixtures/db), run unattended, and the databases read back.
#include <filesystem>

#include "tests/app/unattended_run.h"

namespace kr::app::test {
namespace {

namespace fs = std::filesystem;
using testing::ProcessResult;

constexpr const char* kCriBackup = "File/2019年度/KrCri202004071530.old";

// Every table keyword. Line 2's where text holds a comma, which the driver joins back.
constexpr std::string_view kTableLines =
    "File1=KrSet.mdb,$(AppPath)\\File\\,TABLE(OPENCHK)\r\n"
    "File2=Data\\KrVal.mdb,$(AppPath)\\File\\平成30年度\\,TABLE;SpeExe;LEFT(Special,3)='820';\r\n"
    "File3=Data\\KrVal.mdb,$(AppPath)\\File\\平成30年度\\,TABLE;Val_Ind;;Code\r\n"
    "File4=File\\KrSet.mdb,$(AppPath)\\,TABLECOPY;PrintSet;;ID\r\n"
    "File5=File\\2019年度\\KrCri.mdb,$(AppPath)\\,"
    "TABLECOPYVERSION;Cri;;Code|KrCri2019Src.mdb|2019|1|3|TRUE\r\n";

class TableActionsTest : public UnattendedRun {
 protected:
  void SetUp() override {
    testing::MakeSampleDatabases(install_, "install");
    testing::MakeSampleDatabases(package_, "package");
  }
  ProcessResult Run(std::string_view lines, std::string_view model = "50") {
    WritePackage("[Bootstrap Files]\r\n" + std::string(lines), model);
    std::vector<std::string> options;
    if (model != "50") options = {"--install-folder", install_.path()};
    return UnattendedRun::Run("2020-04-07 15:30", options);
  }
};

TEST_F(TableActionsTest, EveryTableKeywordChangesItsDatabaseAndARerunLeavesVersionedOnesAlone) {
  ProcessResult result = Run(kTableLines);
  ASSERT_EQ(result.exit_code, 0) << result.out << result.err;
  EXPECT_EQ(testing::EndMessage(result.out), "アップデートが完了しました。\n");
  for (std::string_view table : {"OpenChk", "SPEEXE", "PRINTSET", "CRI"}) {
    EXPECT_NE(result.err.find(std::string(table) + "テーブルを更新中...\n"), std::string::npos)
        << result.err;
  }
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
  EXPECT_EQ(Query("File/2019年度/KrCri.mdb", "SELECT Ver FROM Version"), (Rows{"2019,1,3"}));
  EXPECT_TRUE(install_.Exists(kCriBackup));
  // Finishing: model 50 carries the installed version in the settings database.
  EXPECT_EQ(Query("File/KrSet.mdb", "SELECT SetName FROM Environ WHERE ID=61"),
            (Rows{"2019,3.2.0"}));

  fs::remove(install_.Native(kCriBackup));
  testing::RunScriptText(install_.Native("File/2019年度/KrCri.mdb"),
                         "UPDATE Cri SET Price1=1 WHERE Code='A0001';\n");
  result = Run(kTableLines);
  ASSERT_EQ(result.exit_code, 0) << result.out << result.err;
  EXPECT_EQ(
      Query("File/2019年度/KrCri.mdb", "SELECT Price1, Ver FROM Cri, Version WHERE Code='A0001'"),
      (Rows{"1\t2019,1,3"}));
  EXPECT_FALSE(install_.Exists(kCriBackup));
}

TEST_F(TableActionsTest, MissingOrUnreadableDatabasesAreReportedAndTheUsersTablesKept) {
  package_.Write("Data/Broken.mdb", "not a database");
  install_.MakeDirs("File/令和2年度");
  ProcessResult result =
      Run("File1=Data\\Missing.mdb,$(AppPath)\\File\\平成30年度\\,TABLE;SpeExe;;Special\r\n"
          "File2=Data\\Broken.mdb,$(AppPath)\\File\\平成30年度\\,TABLE;SpeExe;;Special\r\n"
          "File3=Data\\KrVal.mdb,$(AppPath)\\File\\令和2年度\\,TABLE;SpeExe;;Special\r\n");
  EXPECT_EQ(result.exit_code, 1);
  const std::string folder = install_.Native("File") + "/";
  const std::string no_object =
      "\nエラー番号=91\nエラー内容=オブジェクト変数または With "
      "ブロック変数が設定されていません。\n";
  EXPECT_EQ(testing::EndMessage(result.out), "アップデート時にエラーが発生しました。\n" + folder +
                                                 "平成30年度/Missing.mdb\nエラー番号=53\n"
                                                 "エラー内容=ファイルが見つかりません。\n\n" +
                                                 folder + "平成30年度/Broken.mdb" + no_object +
                                                 "\n" + folder + "令和2年度/KrVal.mdb" + no_object);
  EXPECT_EQ(Query("File/平成30年度/KrVal.mdb", "SELECT COUNT(*) FROM SpeExe"), (Rows{"4"}));
  EXPECT_FALSE(install_.Exists("File/平成30年度/Temp.mdb"));
  EXPECT_FALSE(install_.Exists("File/令和2年度/KrVal.mdb"));
}

TEST_F(TableActionsTest, BadTableSpecsChangeNothingAndOnlyAMissingYearIsReported) {
  ProcessResult result =
      Run("File1=Data\\KrVal.mdb,$(AppPath)\\File\\平成30年度\\,TABLE;NoSuchTable;;Code\r\n"
          "File2=Data\\KrVal.mdb,$(AppPath)\\File\\平成30年度\\,TABLE;SpeExe;Special = = 1;\r\n"
          "File3=Data\\KrVal.mdb,$(AppPath)\\File\\平成30年度\\,TABLE;SpeExe;;NoSuchKey\r\n"
          "File4=File\\2019年度\\KrCri.mdb,$(AppPath)\\,TABLECOPYVERSION;Cri;;Code|KrCri2019Src."
          "mdb\r\n",
          "100");
  EXPECT_EQ(result.exit_code, 0) << result.out;
  EXPECT_NE(result.err.find("[ケルモラ積算 2019 アップデート] 引数を確認してください\n"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(Query("File/平成30年度/KrVal.mdb", "SELECT Special, Rate FROM SpeExe ORDER BY Special"),
            (Rows{"810010\t1.3", "820010\t1.25", "820020\t1.35", "820900\t1.1"}));
  EXPECT_EQ(Query("File/2019年度/KrCri.mdb", "SELECT Price1 FROM Cri WHERE Code='A0001'"),
            (Rows{"14900"}));
  // Model 100 does not carry the version text.
  EXPECT_EQ(Query("File/KrSet.mdb", "SELECT SetName FROM Environ WHERE ID=61"),
            (Rows{"2019,3.1.2"}));
}

}  // namespace
}  // namespace kr::app::test
