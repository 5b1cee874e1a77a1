#include "tests/db/db_fixture.h"

namespace kr::db::test {
namespace {

// A year folder's KrVal.mdb with the user's prices, refreshed from a release's source database
// the way the unit-price routines do it.
class RefreshTest : public DbTest {
 protected:
  void SetUp() override {
    testing::MakeDatabase(InPackage("KrVal2019R0203.mdb"), {"krval_source.sql"});
    testing::MakeDatabase(InInstall("File/平成30年度/KrVal.mdb"),
                          {"krval_schema.sql", "krval_h30.sql"});
    source_ = Open(InPackage("KrVal2019R0203.mdb"));
    target_ = Open(InInstall("File/平成30年度/KrVal.mdb"));
  }
  // The release adds the column Kind to Val120, so the target gets it first.
  void Refresh(std::string_view table, std::string_view keys) {
    SyncFields(source_, table, target_, table, true);
    KeepOldTable(source_, target_, table);
    TransferRows(source_, target_, table, "", keys);
    CarryOverUserPrices(source_, target_, table);
  }
  Database source_, target_;
};

TEST_F(RefreshTest, UserPricesAndLongCodeRowsSurviveAKeyedRefresh) {
  Refresh("Val120", "Code");
  // Search words come back only where the old MakeDay is set (120010, not 120030).
  EXPECT_EQ(
      Select(target_,
             "SELECT Code, ValPrice1, ValPrice2, UserCode, JPer, Search1, Search2 FROM Val120 "
             "ORDER BY Code"),
      (Rows{"120010|21000|null|U-01|0.9|ふつう|null", "120020|null|null|null|null|とくしゅ|null",
            "120030|26000|24000|U-03|1|せわやく|null", "120040|null|null|null|null|null|null",
            "120050|null|null|null|null|null|null", "120060|null|null|null|null|null|null",
            "120070|null|null|null|null|null|null", "120990|1200|null|null|null|null|null",
            "U12000000000000001|31000|null|MY-1|1|こうしょ|じしゃ"}));
  EXPECT_EQ(One(target_, "SELECT Spec, Price FROM Val120 WHERE Code='120030'"), "改定|26800");
  // The release's Single price reaches the Double column through CCur: 0.1, not 0.100000001.
  EXPECT_EQ(target_.OpenRecordset("SELECT Price FROM Val120 WHERE Code='120070'")["Price"]
                .GetValue()
                .ToDouble(),
            0.1);
  EXPECT_FALSE(HasTable(target_, "Val120Old"));
  EXPECT_FALSE(HasTable(target_, "LinkHikitugi"));
}

TEST_F(RefreshTest, WithoutKeysRemovedItemsStayRemovedUnlessTheirCodeIsLong) {
  Refresh("Val120", "");
  EXPECT_EQ(
      Select(target_, "SELECT Code FROM Val120 ORDER BY Code"),
      (Rows{"120010", "120020", "120030", "120040", "120060", "120070", "U12000000000000001"}));
  EXPECT_EQ(One(target_, "SELECT Name, ValPrice1, UserCode FROM Val120 WHERE Code LIKE 'U*'"),
            "自社単価 高所作業|31000|MY-1");
}

TEST_F(RefreshTest, QuantitiesAndLongValCodesSurviveInTheSubTable) {
  Refresh("Val120s", "ValCode");
  EXPECT_EQ(
      Select(target_,
             "SELECT Code, ValCode, Quantity1, Quantity2 FROM Val120s ORDER BY Code, ValCode"),
      (Rows{"120010|S0001|1.2|1.5", "120010|S0002|0.5|null", "120030|S0001|2|2.25",
            "120030|S0003|1|1", "U12000000000000001|U12000000000000001|1|3"}));
  EXPECT_FALSE(HasTable(target_, "Val120sOld"));
}

TEST_F(RefreshTest, ReleaseColumnMissingInTheTargetStopsTheCarryOverBeforeTheLongCodes) {
  KeepOldTable(source_, target_, "Val120");
  EXPECT_TRUE(HasField(target_, "Val120Old", "Kind"));  // the release's layout
  TransferRows(source_, target_, "Val120", "", "");
  EXPECT_THROW(CarryOverUserPrices(source_, target_, "Val120"), Failure);
  EXPECT_EQ(One(target_, "SELECT ValPrice1 FROM Val120 WHERE Code='120010'"), "21000");
  EXPECT_EQ(One(target_, "SELECT COUNT(*) FROM Val120 WHERE LEN(Code)>=18"), "0");
  // The kept rows wait in the old table for the next run.
  EXPECT_EQ(One(target_, "SELECT COUNT(*) FROM Val120Old WHERE LEN(Code)>=18"), "1");
}

TEST_F(RefreshTest, OtherTablesOnlyLoseTheirOldCopyAndFailuresLeaveItAsItWas) {
  Rows before = Select(target_, "SELECT * FROM Val120_Ind ORDER BY StrtCode");
  KeepOldTable(target_, target_, "Val120_Ind");
  CarryOverUserPrices(source_, target_, "Val120_Ind");
  EXPECT_EQ(Select(target_, "SELECT * FROM Val120_Ind ORDER BY StrtCode"), before);
  EXPECT_FALSE(HasTable(target_, "Val120_IndOld"));
  EXPECT_THROW(KeepOldTable(source_, target_, "SpeExe"), Failure);  // not in the release
  EXPECT_FALSE(HasTable(target_, "SpeExeOld"));
  target_.Execute("CREATE TABLE Val121 (Code TEXT(30), ValPrice1 DOUBLE)");
  KeepOldTable(target_, target_, "Val121");
  EXPECT_THROW(CarryOverUserPrices(source_, target_, "Val121"), Failure);  // no ValPrice2
  EXPECT_TRUE(HasTable(target_, "Val121Old"));
}

class FieldDefTest : public DbTest {
 protected:
  void SetUp() override {
    testing::MakeDatabaseFromText(
        InPackage("s.mdb"),
        "CREATE TABLE Book (Code TEXT(12) NOT NULL, Title TEXT(80), Note MEMO, Price DOUBLE);\n"
        "INSERT INTO Book (Code, Title, Price) VALUES ('B1', '積算の手引', 1200);\n"
        "INSERT INTO Book (Code, Title, Price) VALUES ('B2', '単価表', 800);\n");
    testing::MakeDatabaseFromText(InInstall("t.mdb"),
                                  "CREATE TABLE Book (code TEXT(5), Title TEXT(80));\n"
                                  "INSERT INTO Book (code, Title) VALUES ('OLD', '旧');\n");
    source_ = Open(InPackage("s.mdb"));
    target_ = Open(InInstall("t.mdb"));
  }
  engine::Field TargetField(std::string_view table, std::string_view name) {
    target_.TableDefs().Refresh();
    return target_.TableDefs()[table].Fields()[name];
  }
  Database source_, target_;
};

TEST_F(FieldDefTest, CopiedFieldKeepsTypeSizeRulesAndDefaultUnlessTheNameExists) {
  // Jet DDL has no DEFAULT clause: defaults are set on the field definitions.
  TableDef from = source_.TableDefs()["Book"];
  engine::Field copies = from.CreateField("Copies", engine::kLong);
  copies.SetDefaultValue("1");
  from.Fields().Append(copies);
  TableDef created = target_.CreateTableDef("Book2");
  for (const char* name : {"Code", "Copies", "Note"}) CopyFieldDef(from, created, name);
  target_.TableDefs().Append(created);
  EXPECT_EQ(TargetField("Book2", "Code").Type(), engine::kText);
  EXPECT_EQ(TargetField("Book2", "Code").Size(), 12);
  EXPECT_TRUE(TargetField("Book2", "Code").Required());
  EXPECT_EQ(TargetField("Book2", "Copies").Type(), engine::kLong);
  EXPECT_EQ(TargetField("Book2", "Copies").DefaultValue(), "1");
  EXPECT_EQ(TargetField("Book2", "Note").Type(), engine::kMemo);
  TableDef existing = target_.TableDefs()["Book"];
  CopyFieldDef(from, existing, "Code");
  EXPECT_EQ(TargetField("Book", "Code").Size(), 5);
}

TEST_F(FieldDefTest, SyncFieldsAddsMissingFieldsAndTransferTableCopiesWholeTables) {
  EXPECT_FALSE(SyncFields(source_, "Book", target_, "Book", false));
  EXPECT_FALSE(HasField(target_, "Book", "Price"));
  EXPECT_FALSE(SyncFields(source_, "Book", target_, "Book", true));
  EXPECT_TRUE(SyncFields(source_, "Book", target_, "Book", false));
  EXPECT_EQ(One(target_, "SELECT code, Price, Note FROM Book"), "OLD|null|null");
  EXPECT_THROW(SyncFields(source_, "Book", target_, "Nothing", true), Failure);
  TransferTable(source_, target_, "Book");
  TransferTableAs(source_, target_, "Book", "Book2");
  for (std::string_view table : {"Book", "Book2"}) {
    EXPECT_EQ(
        Select(target_, "SELECT Code, Title, Price FROM " + std::string(table) + " ORDER BY Code"),
        (Rows{"B1|積算の手引|1200", "B2|単価表|800"}));
  }
  EXPECT_EQ(TargetField("Book2", "Code").Size(), 12);
}

}  // namespace
}  // namespace kr::db::test
