#include "tests/db/db_fixture.h"

namespace kr::db::test {
namespace {

constexpr std::string_view kItems =
    "CREATE TABLE Items (Code TEXT(10) NOT NULL, Name TEXT(50) NOT NULL, Price DOUBLE, "
    "CONSTRAINT PrimaryKey PRIMARY KEY (Code));\n";

class CopyTableTest : public DbTest {
 protected:
  void SetUp() override {
    testing::MakeDatabaseFromText(
        InPackage("src.mdb"),
        std::string(kItems) +
            "INSERT INTO Items (Code, Name, Price) VALUES ('A01', 'new a', 110);\n"
            "INSERT INTO Items (Code, Name, Price) VALUES ('A02', 'new b', 120);\n"
            "INSERT INTO Items (Code, Name, Price) VALUES ('B01', 'new c', 210);\n"
            "CREATE TABLE NewItems (Code TEXT(10), Name TEXT(50), Price DOUBLE);\n"
            "INSERT INTO NewItems (Code, Name, Price) VALUES ('A01', 'renamed', 1);\n");
    testing::MakeDatabaseFromText(
        InInstall("dst.mdb"),
        std::string(kItems) +
            "INSERT INTO Items (Code, Name, Price) VALUES ('A01', 'old a', 100);\n"
            "INSERT INTO Items (Code, Name, Price) VALUES ('A03', 'old d', 130);\n"
            "INSERT INTO Items (Code, Name, Price) VALUES ('B01', 'old c', 200);\n"
            "INSERT INTO Items (Code, Name, Price) VALUES ('X01', 'user', 5000);\n");
    source_ = Open(InPackage("src.mdb"));
    target_ = Open(InInstall("dst.mdb"));
  }
  std::vector<std::string> Items() {
    return Rows(target_, "SELECT Code, Name, Price FROM Items ORDER BY Code");
  }
  const std::vector<std::string> kUntouched = {"A01|old a|100", "A03|old d|130", "B01|old c|200",
                                               "X01|user|5000"};
  Database source_, target_;
};

TEST_F(CopyTableTest, KeyListReplacesRowsByKeyAndAddsNewOnes) {
  CopyTable(source_, target_, "Items", "", "Code");
  EXPECT_EQ(Items(), (std::vector<std::string>{"A01|new a|110", "A02|new b|120", "A03|old d|130",
                                               "B01|new c|210", "X01|user|5000"}));
  EXPECT_FALSE(Listed(target_, "ごみ"));
}

TEST_F(CopyTableTest, WithoutKeysTheWhereTextSelectsTheSliceReplacedWhole) {
  CopyTable(source_, target_, "Items", "Code LIKE 'A*'", "");
  // A03 has no counterpart in the source and still goes: the slice is replaced.
  EXPECT_EQ(Items(), (std::vector<std::string>{"A01|new a|110", "A02|new b|120", "B01|old c|200",
                                               "X01|user|5000"}));
}

TEST_F(CopyTableTest, WhereTextWithItsOwnWhereInLowerCaseWorksTheSame) {
  CopyTable(source_, target_, "Items", "where Code LIKE 'B*'", "");
  EXPECT_EQ(Items(), (std::vector<std::string>{"A01|old a|100", "A03|old d|130", "B01|new c|210",
                                               "X01|user|5000"}));
}

TEST_F(CopyTableTest, KeyAndWhereTextReplaceOnlySelectedKeys) {
  CopyTable(source_, target_, "Items", "WHERE Code LIKE 'A*'", "Code");
  EXPECT_EQ(Items(), (std::vector<std::string>{"A01|new a|110", "A02|new b|120", "A03|old d|130",
                                               "B01|old c|200", "X01|user|5000"}));
}

TEST_F(CopyTableTest, NoSelectedSourceRowLeavesTheTargetUntouched) {
  CopyTable(source_, target_, "Items", "Price > 1000", "");
  EXPECT_EQ(Items(), kUntouched);
  EXPECT_FALSE(Listed(target_, "ごみ"));
}

TEST_F(CopyTableTest, TwoNamesReadTheFirstTableAndWriteTheSecond) {
  CopyTable(source_, target_, "NewItems,Items", "", "Code");
  EXPECT_EQ(One(target_, "SELECT Name FROM Items WHERE Code='A01'"), "renamed");
}

TEST_F(CopyTableTest, UpperCasedArgumentsOfAManifestLineWork) {
  CopyTable(source_, target_, "ITEMS", "CODE='A02'", "CODE");
  EXPECT_EQ(One(target_, "SELECT Name FROM Items WHERE Code='A02'"), "new b");
}

TEST_F(CopyTableTest, MissingTableOnEitherSideChangesNothing) {
  CopyTable(source_, target_, "Nothing,Items", "", "Code");
  CopyTable(source_, target_, "Items,Nothing", "", "Code");
  EXPECT_EQ(Items(), kUntouched);
  EXPECT_FALSE(Listed(target_, "ごみ"));
}

TEST_F(CopyTableTest, LeftOverAttachedTableOfAnEarlierRunIsReplaced) {
  TableDef stale = target_.CreateTableDef("ごみ");
  stale.SetConnect(";DataBase=" + InPackage("gone.mdb") + ";PWD=" + DatabasePassword() + ";");
  stale.SetSourceTableName("Items");
  target_.TableDefs().Append(stale);
  CopyTable(source_, target_, "Items", "", "Code");
  EXPECT_EQ(One(target_, "SELECT Name FROM Items WHERE Code='A02'"), "new b");
  EXPECT_FALSE(Listed(target_, "ごみ"));
}

TEST_F(CopyTableTest, RejectedWhereTextEndsTheCopyBeforeAnyChange) {
  CopyTable(source_, target_, "Items", "Code = = 'A01'", "");
  EXPECT_EQ(Items(), kUntouched);
  EXPECT_TRUE(Listed(target_, "ごみ"));  // left behind; the next copy drops it
  CopyTable(source_, target_, "Items", "", "Code");
  EXPECT_FALSE(Listed(target_, "ごみ"));
}

TEST_F(CopyTableTest, MissingKeyColumnFailsTheDeleteAndNothingIsInserted) {
  CopyTable(source_, target_, "Items", "", "ItemNo");
  EXPECT_EQ(Items(), kUntouched);
}

TEST_F(CopyTableTest, RowsTheTargetRejectsAreSkippedSilently) {
  source_.Execute("INSERT INTO NewItems (Code, Name, Price) VALUES ('A09', NULL, 9);");
  CopyTable(source_, target_, "NewItems,Items", "", "Code");
  EXPECT_EQ(One(target_, "SELECT Name FROM Items WHERE Code='A01'"), "renamed");
  EXPECT_EQ(One(target_, "SELECT COUNT(*) FROM Items WHERE Code='A09'"), "0");
}

class ColumnTest : public DbTest {
 protected:
  void SetUp() override {
    testing::MakeDatabaseFromText(
        InInstall("c.mdb"),
        "CREATE TABLE Base (Code TEXT(10), Name TEXT(50), Price DOUBLE);\n"
        "CREATE TABLE Same (code TEXT(10), NAME TEXT(50), Price DOUBLE);\n"
        "CREATE TABLE Wider (Code TEXT(10), Name TEXT(50), Price DOUBLE, Extra LONG);\n"
        "CREATE TABLE Shuffled (Name TEXT(50), Code TEXT(10), Price DOUBLE);\n"
        "CREATE TABLE Narrower (Code TEXT(10), Price DOUBLE);\n"
        "CREATE TABLE Singles (Code TEXT(10), Name TEXT(50), Price SINGLE);\n");
    db_ = Open(InInstall("c.mdb"));
  }
  ColumnLists Match(std::string_view target, std::string_view source) {
    return MatchColumns(db_.OpenRecordset(target), db_.OpenRecordset(source));
  }
  ColumnLists Typed(std::string_view target, std::string_view source) {
    return MatchColumnsTyped("", "LinkHikitugi", db_.OpenRecordset(target),
                             db_.OpenRecordset(source));
  }
  Database db_;
};

TEST_F(ColumnTest, IdenticalLayoutsSelectStar) {
  EXPECT_EQ(Match("Base", "Same"), (ColumnLists{"*", "*"}));
  EXPECT_EQ(Typed("Base", "Same"), (ColumnLists{"*", "*"}));
}

TEST_F(ColumnTest, SourceWithExtraTrailingColumnsNamesThePartners) {
  EXPECT_EQ(Match("Base", "Wider"), (ColumnLists{"*", "Code,Name,Price"}));
  EXPECT_EQ(Typed("Base", "Wider"),
            (ColumnLists{"*", "LinkHikitugi.[Code],LinkHikitugi.[Name],LinkHikitugi.[Price]"}));
}

TEST_F(ColumnTest, OtherOrderGivesTwoListsInTheTargetsOrder) {
  EXPECT_EQ(Match("Base", "Shuffled"), (ColumnLists{"Code,Name,Price", "Code,Name,Price"}));
}

TEST_F(ColumnTest, TargetColumnMissingInTheSourceIsLeftOut) {
  EXPECT_EQ(Match("Base", "Narrower"), (ColumnLists{"Code,Price", "Code,Price"}));
  EXPECT_EQ(Typed("Wider", "Base"), (ColumnLists{"[Code],[Name],[Price]",
                                                 "LinkHikitugi.[Code],LinkHikitugi.[Name],"
                                                 "LinkHikitugi.[Price]"}));
}

TEST_F(ColumnTest, SingleFeedingDoubleIsConvertedThroughCurrency) {
  EXPECT_EQ(Typed("Base", "Singles"),
            (ColumnLists{"[Code],[Name],[Price]",
                         "LinkHikitugi.[Code],LinkHikitugi.[Name],CCur(LinkHikitugi.[Price])"}));
  EXPECT_EQ(Match("Base", "Singles"), (ColumnLists{"*", "*"}));
}

TEST_F(ColumnTest, ClosedRecordsetsGiveStarLists) {
  EXPECT_EQ(MatchColumns(Recordset(), Recordset()), (ColumnLists{"*", "*"}));
  EXPECT_EQ(MatchColumnsTyped("", "L", Recordset(), Recordset()), (ColumnLists{"*", "*"}));
}

TEST(WhereTextTest, WhereIsPutInFrontOnlyWhenMissing) {
  EXPECT_EQ(NormaliseWhere(""), "");
  EXPECT_EQ(NormaliseWhere("   "), "   ");
  EXPECT_EQ(NormaliseWhere("Code='1'"), "WHERE Code='1'");
  EXPECT_EQ(NormaliseWhere("where Code='1'"), "where Code='1'");
  EXPECT_EQ(NormaliseWhere("WHEREVER=1"), "WHERE WHEREVER=1");
  EXPECT_EQ(NormaliseWhere(" Code=1"), "WHERE  Code=1");
}

TEST(QualifyKeyColumnsTest, BareKeysGetThePrefix) {
  EXPECT_EQ(QualifyKeyColumns("WHERE Code LIKE 'A*'", "ごみ", "Code"), "WHERE ごみ.Code LIKE 'A*'");
  EXPECT_EQ(QualifyKeyColumns("WHERE LEN(Code)>=18", "LinkHikitugi", "Code"),
            "WHERE LEN(LinkHikitugi.Code)>=18");
}

TEST(QualifyKeyColumnsTest, PrefixedOccurrencesStayAndTheSearchGoesOn) {
  EXPECT_EQ(QualifyKeyColumns("WHERE T.Code='1' OR Code='2' OR T!Code='3'", "L", "Code"),
            "WHERE T.Code='1' OR L.Code='2' OR T!Code='3'");
}

TEST(QualifyKeyColumnsTest, EveryKeyOfTheListAndEveryOccurrenceIsQualified) {
  EXPECT_EQ(QualifyKeyColumns("WHERE Big='1' AND Mdl<>Big", "L", "Big,Mdl"),
            "WHERE L.Big='1' AND L.Mdl<>L.Big");
  // A plain substring search: longer names and quoted values are prefixed too.
  EXPECT_EQ(QualifyKeyColumns("WHERE ValCode='Code'", "L", "Code"), "WHERE ValL.Code='L.Code'");
}

TEST(QualifyKeyColumnsTest, KeyAtTheFirstCharacterGivesTheTextBack) {
  EXPECT_EQ(QualifyKeyColumns("Code='1'", "L", "Code"), "Code='1'");
}

}  // namespace
}  // namespace kr::db::test
