// The fixture generator's installations and source databases, read back: what the routine tests,
// the demo and the benchmarks rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "db/db.h"
#include "demo/fixture_generator.h"
#include "tests/testing/databases.h"

namespace kr::fixtures::test {
namespace {

using Rows = std::vector<std::string>;

constexpr auto* Query = &testing::QueryRows;  // fields separated by tabs, Null as \N

std::string Price(double price) { return db::Value(price).ToText(); }

class FixtureGeneratorTest : public ::testing::Test {
 protected:
  std::string Path(std::string_view relative) const { return folder_.Native(relative); }

  testing::TempDir folder_;
};

TEST_F(FixtureGeneratorTest, InstallationOpensWithTheAppPasswordAndKeepsTheUsersPrices) {
  InstallationSpec spec;
  spec.rows_per_table = 12;
  spec.extra_price_tables = 2;
  spec.civil_engineering = true;
  spec.years = {{.name = "平成30年度", .val_version = "2018,1,1", .val_comment = "2018"},
                {.name = "2019年度(令和2年3月労務更新)", .cri_version = "2019,1,1"}};
  MakeInstallation(Path("App"), spec);

  for (const char* file :
       {"File/KrSet.mdb", "File/KrSetMinPrice.mdb", "File/KrMasta.mdb", "Cover/KrCover.mdb",
        "File/平成30年度/KrVal.mdb", "File/平成30年度/KrCri.mdb", "File/平成30年度/KrExp.mdb"}) {
    EXPECT_TRUE(folder_.Exists(std::string("App/") + file)) << file;
  }
  std::string val = Path("App/File/平成30年度/KrVal.mdb");
  EXPECT_THROW(db::engine::OpenDatabase(val, false, false, ";PWD=wrong"), Failure);

  // Twelve items, two of the user's own with long codes, user values on every fifth.
  EXPECT_EQ(Query(val, "SELECT COUNT(*), SUM(IIf(LEN(Code)>=18, 1, 0)) FROM Val120"),
            Rows{"14\t2"});
  UserValues user = InstalledUserValues("Val120", 10);
  EXPECT_EQ(Query(val,
                  "SELECT Price, ValPrice1, ValPrice2, UserCode, JPer, Search1, Search2, "
                  "MakeDay FROM Val120 WHERE Code='" +
                      ItemCode("Val120", 10) + "'"),
            Rows{Price(InstalledPrice("Val120", 10)) + "\t" + Price(user.val_price1) + "\t" +
                 Price(user.val_price2) + "\t" + user.user_code + "\t0.9\tユーザー10\tよみ10\t" +
                 "2019/05/10"});
  EXPECT_EQ(
      Query(val, "SELECT Code, ValPrice1, Search1, MakeDay FROM Val120 WHERE Code IN ('" +
                     ItemCode("Val120", 8) + "', '" + ItemCode("Val120", 9) + "') ORDER BY Code"),
      (Rows{"1200000008\t\\N\t検索8\t", "1200000009\t\\N\t\\N\t\\N"}));
  EXPECT_EQ(Query(val,
                  "SELECT Code, Quantity2 FROM Val120s WHERE Quantity2 Is Not Null AND "
                  "LEN(ValCode)>=18"),
            Rows{UserItemCode("Val120", 1) + "\t2.5"});
  EXPECT_EQ(Query(val, "SELECT COUNT(Quantity2) FROM Val120s"), Rows{"3"});
  EXPECT_EQ(Query(val, "SELECT COUNT(*) FROM Val301"), Rows{"14"});  // Val300 and Val301
  EXPECT_EQ(Query(val, "SELECT Ver, Comment FROM Version"), Rows{"2018,1,1\t2018"});

  // Version rows with a Null Ver by default; the settings point at the last year folder.
  EXPECT_EQ(Query(Path("App/File/平成30年度/KrExp.mdb"), "SELECT Ver, Comment FROM Version"),
            Rows{"\\N\t\\N"});
  EXPECT_EQ(
      Query(Path("App/File/2019年度(令和2年3月労務更新)/KrCri.mdb"), "SELECT Ver FROM Version"),
      Rows{"2019,1,1"});
  EXPECT_EQ(Query(Path("App/File/KrSet.mdb"),
                  "SELECT SetName FROM Environ WHERE ID IN (60, 110) ORDER BY ID"),
            (Rows{"1", "2019年度(令和2年3月労務更新)"}));
  EXPECT_EQ(Query(Path("App/File/平成30年度/KrCri.mdb"), "SELECT コメント FROM 地区名 ORDER BY ID"),
            DefaultDistricts());
}

TEST_F(FixtureGeneratorTest, SourceChangesEveryPriceAndAddsNewCodesAfterTheInstalledOnes) {
  MakeSourceDatabase(
      Path("KrVal2019R0111.mdb"),
      {.database = "KrVal", .version = "2019,1,4", .rows_per_table = 10, .new_rows = 3});
  std::string source = Path("KrVal2019R0111.mdb");
  Rows rows = Query(source,
                    "SELECT Code, Price, ValPrice1, UserCode, Search1, MakeDay "
                    "FROM Val700 ORDER BY Code");
  ASSERT_EQ(rows.size(), 13u);
  for (int n = 1; n <= 13; ++n) {
    EXPECT_NE(SourcePrice("Val700", n), InstalledPrice("Val700", n));
    EXPECT_EQ(rows[n - 1], ItemCode("Val700", n) + "\t" + Price(SourcePrice("Val700", n)) +
                               "\t\\N\t\\N\t\\N\t\\N");
  }
  EXPECT_EQ(Query(source, "SELECT COUNT(Quantity2), MAX(LEN(ValCode)) FROM Val700s"),
            Rows{"0\t10"});
  EXPECT_EQ(Query(source, "SELECT Ver FROM Version"), Rows{"2019,1,4"});

  // A prices source: one column per prefecture, new items without an index.
  MakeSourceDatabase(Path("KrCri2019R0111.mdb"), {.database = "KrCri", .rows_per_table = 4});
  EXPECT_EQ(Query(Path("KrCri2019R0111.mdb"),
                  "SELECT [Index], Price2, 東京都, 熊本県 FROM Cri WHERE Code IN ('" +
                      ItemCode("Cri", 4) + "', '" + ItemCode("Cri", 5) + "') ORDER BY Code"),
            (Rows{"4\t" + Price(SourcePrice("Cri", 4) + 1) + "\t" +
                      Price(PrefecturePrice("Cri", "東京都", 4)) + "\t" +
                      Price(PrefecturePrice("Cri", "熊本県", 4)),
                  "0\t" + Price(SourcePrice("Cri", 5) + 1) + "\t" +
                      Price(PrefecturePrice("Cri", "東京都", 5)) + "\t" +
                      Price(PrefecturePrice("Cri", "熊本県", 5))}));
}

TEST_F(FixtureGeneratorTest, VariantTablesCarryPricesOfTheirOwnAndDeleteTablesOnlyKeys) {
  MakeSourceDatabase(Path("KrVal2019R0203.mdb"),
                     {.database = "KrVal",
                      .rows_per_table = 20,
                      .tables = {"Val700", "Val700_Hisai", "Val700_HisaiK", "Val700_HisaiH",
                                 "Val120_Shizuoka", "Val700_Ind_HisaiK", "Val700s_Delete"}});
  std::string source = Path("KrVal2019R0203.mdb");
  std::string code = ItemCode("Val700", 7);
  std::vector<double> prices;
  for (const char* table : {"Val700", "Val700_Hisai", "Val700_HisaiK", "Val700_HisaiH"}) {
    EXPECT_EQ(
        Query(source, std::string("SELECT Price FROM ") + table + " WHERE Code='" + code + "'"),
        Rows{Price(VariantPrice(table, 7))})
        << table;
    prices.push_back(VariantPrice(table, 7));
  }
  std::sort(prices.begin(), prices.end());
  EXPECT_EQ(std::unique(prices.begin(), prices.end()), prices.end());
  EXPECT_EQ(VariantPrice("Val120_Shizuoka", 3), SourcePrice("Val120", 3) + 80000);
  EXPECT_EQ(Query(source, "SELECT MdlIndex FROM Val700_Ind_HisaiK WHERE ID=1"),
            Rows{"索引1 新_HisaiK"});
  // The release removes items 7 and 17: their keys only.
  EXPECT_EQ(Query(source, "SELECT * FROM Val700s_Delete ORDER BY Code"),
            (Rows{ItemCode("Val700", 7) + "\t" + SubItemCode("Val700s", 7),
                  ItemCode("Val700", 17) + "\t" + SubItemCode("Val700s", 17)}));

  EXPECT_EQ(TableDdl("Val120(被災)"),
            "CREATE TABLE [Val120(被災)]" +
                TableDdl("Val120").substr(std::string("CREATE TABLE [Val120]").size()));
  EXPECT_THROW(TableDdl("Val12"), std::invalid_argument);
  EXPECT_THROW(TableDdl("Nothing_Hisai"), std::invalid_argument);
}

TEST_F(FixtureGeneratorTest, DashAsksForNoVersionTable) {
  MakeYearFolder(Path("App"),
                 {.name = "平成30年度", .val_version = "-", .cri = false, .exp = false});
  MakeSourceDatabase(Path("KrExp.mdb"), {.database = "KrExp", .version = "-"});
  for (const char* path : {"App/File/平成30年度/KrVal.mdb", "KrExp.mdb"}) {
    db::Database db = db::OpenAppDatabase(Path(path));
    EXPECT_FALSE(db::HasTable(db, "Version")) << path;
    EXPECT_TRUE(db::HasTable(db, path[0] == 'A' ? "Val120" : "Expenses")) << path;
    db.Close();
  }
  EXPECT_FALSE(folder_.Exists("App/File/平成30年度/KrCri.mdb"));
}

}  // namespace
}  // namespace kr::fixtures::test
