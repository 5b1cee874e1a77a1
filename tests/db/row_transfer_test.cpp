#include "tests/db/db_fixture.h"

namespace kr::db::test {
namespace {

class TransferRowsTest : public DbTest {
 protected:
  void SetUp() override {
    // A package folder whose path has a space and Japanese characters, as users name them.
    source_path_ = InPackage("更新 データ/KrVal2019R0203.mdb");
    testing::MakeDatabase(source_path_, {"krval_source.sql"});
    testing::MakeDatabase(InInstall("File/2019年度/KrVal.mdb"),
                          {"krval_schema.sql", "krval_h30.sql"});
    source_ = Open(package_.folder() + "更新 データ\\KrVal2019R0203.mdb");
    target_ = Open(InInstall("File/2019年度/KrVal.mdb"));
  }
  std::vector<std::string> Codes(std::string_view table = "Val120") {
    return Rows(target_, "SELECT Code FROM " + std::string(table) + " ORDER BY Code");
  }
  std::string source_path_;
  Database source_, target_;
};

TEST_F(TransferRowsTest, KeyListMergesRowsByKey) {
  TransferRows(source_, target_, "Val120", "", "Code");
  EXPECT_EQ(Codes(),
            (std::vector<std::string>{"120010", "120020", "120030", "120040", "120050", "120060",
                                      "120070", "120990", "U12000000000000001"}));
  EXPECT_EQ(One(target_, "SELECT Spec FROM Val120 WHERE Code='120030'"), "改定");
  // The source's rows come whole: the user's price on 120010 is gone until carried over.
  EXPECT_EQ(One(target_, "SELECT ValPrice1 FROM Val120 WHERE Code='120010'"), "null");
  EXPECT_FALSE(Listed(target_, "LinkHikitugi"));
}

TEST_F(TransferRowsTest, SingleSourceValuesArriveWithoutRoundingNoise) {
  TransferRows(source_, target_, "Val120", "", "Code");
  EXPECT_EQ(target_.OpenRecordset("SELECT Price FROM Val120 WHERE Code='120070'")["Price"]
                .GetValue()
                .ToDouble(),
            0.1);
  EXPECT_EQ(One(target_, "SELECT Price FROM Val120 WHERE Code='120010'"), "21200");
}

TEST_F(TransferRowsTest, WithoutKeysTheWholeTableIsReplaced) {
  TransferRows(source_, target_, "Val120s", "", "");
  EXPECT_EQ(Rows(target_, "SELECT Code, ValCode, Quantity2 FROM Val120s ORDER BY Code, ValCode"),
            (std::vector<std::string>{"120010|S0001|1", "120030|S0001|2", "120030|S0003|1"}));
}

TEST_F(TransferRowsTest, TwoKeysReplaceOnlyRowsMatchingBoth) {
  TransferRows(source_, target_, "Val120s", "", "Code,ValCode");
  EXPECT_EQ(
      Rows(target_, "SELECT Code, ValCode, Quantity2 FROM Val120s ORDER BY Code, ValCode"),
      (std::vector<std::string>{"120010|S0001|1", "120010|S0002|null", "120030|S0001|2",
                                "120030|S0003|1", "U12000000000000001|U12000000000000001|3"}));
}

TEST_F(TransferRowsTest, WhereTextOnTheKeyMovesOnlyLongCodes) {
  source_.Execute(
      "INSERT INTO Val120 (Code, Name, Price) VALUES ('U12000000000000001', 'from release', 1)");
  TransferRows(source_, target_, "Val120", "LEN(Code)>=18", "Code");
  EXPECT_EQ(One(target_, "SELECT Name FROM Val120 WHERE Code='U12000000000000001'"),
            "from release");
  EXPECT_EQ(One(target_, "SELECT Spec FROM Val120 WHERE Code='120030'"), "null");
  EXPECT_EQ(One(target_, "SELECT COUNT(*) FROM Val120 WHERE Code='120060'"), "0");
}

TEST_F(TransferRowsTest, NoSelectedSourceRowLeavesTheTargetUntouched) {
  std::vector<std::string> before = Codes();
  TransferRows(source_, target_, "Val120", "Code='none'", "");
  DeleteMatchingRows(source_, target_, "Val120", "Code='none'", "");
  EXPECT_EQ(Codes(), before);
}

TEST_F(TransferRowsTest, DeleteMatchingRowsRemovesTheKeysTheSourceHas) {
  DeleteMatchingRows(source_, target_, "Val120", "", "Code");
  EXPECT_EQ(Codes(), (std::vector<std::string>{"120050", "120990", "U12000000000000001"}));
}

TEST_F(TransferRowsTest, MissingTableChangesNothingAndLeavesNoLink) {
  std::vector<std::string> before = Codes();
  TransferRows(source_, target_, "Val999,Val120", "", "Code");
  TransferRows(source_, target_, "Val120,Val999", "", "Code");
  ExecuteWithLink(source_, target_, "Val999", {"DELETE * FROM Val120"});
  EXPECT_EQ(Codes(), before);
  EXPECT_FALSE(Listed(target_, "LinkHikitugi"));
}

TEST_F(TransferRowsTest, MissingKeyColumnOrBadWhereTextEndsBeforeTheInsert) {
  std::vector<std::string> before = Codes();
  TransferRows(source_, target_, "Val120", "", "ItemCode");
  EXPECT_EQ(Codes(), before);
  EXPECT_TRUE(Listed(target_, "LinkHikitugi"));
  TransferRows(source_, target_, "Val120", "Code IN (", "");
  EXPECT_EQ(Codes(), before);
  // The next transfer drops the left-over link and works.
  TransferRows(source_, target_, "Val120", "", "Code");
  EXPECT_EQ(Codes().size(), 9u);
  EXPECT_FALSE(Listed(target_, "LinkHikitugi"));
}

TEST_F(TransferRowsTest, AttachedTableNamesTheSourceByTheExactPathItWasOpenedWith) {
  EXPECT_EQ(LinkConnectString(source_),
            ";DataBase=" + package_.folder() +
                "更新 データ\\KrVal2019R0203.mdb;PWD=" + DatabasePassword() + ";");
  ExecuteWithLink(
      source_, target_, "Version",
      {"", "INSERT INTO Version (Ver, Comment) SELECT Ver, 'linked' FROM LinkHikitugi"});
  EXPECT_EQ(One(target_, "SELECT Ver FROM Version WHERE Comment='linked'"), "2019,1,5");
  EXPECT_FALSE(Listed(target_, "LinkHikitugi"));
}

TEST_F(TransferRowsTest, ExecuteWithLinkRunsTheCallersStatementsAgainstTheLink) {
  ExecuteWithLink(source_, target_, "Val120",
                  {"UPDATE Val120 INNER JOIN LinkHikitugi ON Val120.Code = LinkHikitugi.Code "
                   "SET Val120.Name = LinkHikitugi.Name & '*'"});
  EXPECT_EQ(One(target_, "SELECT Name FROM Val120 WHERE Code='120010'"), "普通作業員*");
  EXPECT_EQ(One(target_, "SELECT Name FROM Val120 WHERE Code='120050'"), "運転手（特殊）");
}

TEST_F(TransferRowsTest, NamesWithSpacesWorkBecauseEveryNameIsBracketed) {
  source_.Execute("CREATE TABLE [Unit Price] ([Item Code] TEXT(10), [Unit Cost] DOUBLE)");
  source_.Execute("INSERT INTO [Unit Price] ([Item Code], [Unit Cost]) VALUES ('K1', 2)");
  target_.Execute("CREATE TABLE [Unit Price] ([Item Code] TEXT(10), [Unit Cost] DOUBLE)");
  target_.Execute("INSERT INTO [Unit Price] ([Item Code], [Unit Cost]) VALUES ('K1', 1)");
  TransferRows(source_, target_, "Unit Price", "", "Item Code");
  EXPECT_EQ(Rows(target_, "SELECT [Item Code], [Unit Cost] FROM [Unit Price]"),
            (std::vector<std::string>{"K1|2"}));
}

TEST_F(TransferRowsTest, TargetColumnMissingFromTheSourceTakesItsDefault) {
  // Jet DDL has no DEFAULT clause: the default is a property of the field definition.
  TableDef spe_exe = target_.TableDefs()["SpeExe"];
  engine::Field note = spe_exe.CreateField("Note", engine::kText, 20);
  note.SetDefaultValue("'n/a'");
  spe_exe.Fields().Append(note);
  source_.Execute(
      "CREATE TABLE SpeExe (Special TEXT(20) NOT NULL, Name TEXT(100), Rate SINGLE, "
      "CONSTRAINT PrimaryKey PRIMARY KEY (Special))");
  source_.Execute("INSERT INTO SpeExe (Special, Name, Rate) VALUES ('830010', '雪寒', 1.1)");
  TransferRows(source_, target_, "SpeExe", "", "Special");
  EXPECT_EQ(One(target_, "SELECT Name, Rate, Note FROM SpeExe WHERE Special='830010'"),
            "雪寒|1.1|n/a");
}

}  // namespace
}  // namespace kr::db::test
