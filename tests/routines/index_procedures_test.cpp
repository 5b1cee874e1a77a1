// After new items arrive, the index structures follow: the big-index blocks of Cri_Ind, the
// expense and unit-price group lists, the ranges and names of the price and knowledge-base items.
#include <filesystem>

#include "tests/routines/routines_fixture.h"

namespace kr::routines::test {
namespace {

constexpr std::string_view kRangeTable =
    "(ID LONG NOT NULL, StrtCode TEXT(20), EndCode TEXT(20), BigIndex TEXT(50), "
    "MdlIndex TEXT(50), SmlIndex TEXT(50), CONSTRAINT PrimaryKey PRIMARY KEY (ID))";
constexpr std::string_view kItemTable =
    "(Code TEXT(20) NOT NULL, cName TEXT(100), cStand TEXT(100), cUnit TEXT(10), Price1 DOUBLE, "
    "[Index] LONG, CONSTRAINT PrimaryKey PRIMARY KEY (Code))";
constexpr std::string_view kNameTable =
    "(Code TEXT(20) NOT NULL, cName TEXT(100), cStand TEXT(100), cUnit TEXT(10))";
constexpr std::string_view kSmallCaptionTable = "(StrtCode TEXT(20), SmlIndex TEXT(50))";
constexpr std::string_view kExpenseGroupTable =
    "(ID SHORT NOT NULL, Big LONG, Name TEXT(50), Visible BIT, "
    "CONSTRAINT PrimaryKey PRIMARY KEY (ID))";
constexpr std::string_view kUnitPriceGroupTable =
    "(ID LONG, Code TEXT(10) NOT NULL, [Index] TEXT(100), CONSTRAINT PrimaryKey PRIMARY KEY "
    "(Code))";

constexpr std::string_view kRangeSelect =
    "SELECT ID, StrtCode, EndCode, BigIndex, MdlIndex, SmlIndex FROM Cri_Ind ORDER BY ID";

// One range row: ID, start and end code, the three captions ("NULL" unquoted).
std::string Range(std::string_view table, int id, std::string_view start, std::string_view end,
                  std::string_view big, std::string_view middle, std::string_view small) {
  std::string row = std::to_string(id);
  for (std::string_view v : {start, end, big, middle, small})
    row += v == "NULL" ? ", NULL" : ", '" + std::string(v) + "'";
  return Insert(std::string(table) + " (ID, StrtCode, EndCode, BigIndex, MdlIndex, SmlIndex)",
                {row});
}
std::string Range(int id, std::string_view start, std::string_view end, std::string_view big,
                  std::string_view middle, std::string_view small = "NULL") {
  return Range("Cri_Ind", id, start, end, big, middle, small);
}

// --- Big-index blocks ---------------------------------------------------------------------------

constexpr std::string_view kCri24 = "File/平成24年度/KrCri.mdb";

TEST_F(RoutineTest, ABigIndexBlockIsReplacedByTheSourcesRenumberedIntoTheTargets) {
  Install(kCri24, Table("Cri_Ind", kRangeTable) + Range(1, "1000", "2000", "セメント", "普通") +
                      Range(10001, "2000", "2100", "労務単価", "普通作業員") +
                      Range(10002, "2100", "2200", "労務単価", "特殊作業員") +
                      Range(10003, "2200", "2300", "労務単価", "運転手") +
                      Range(10004, "2300", "2400", "労務単価", "廃止") +
                      Range(20001, "3000", "4000", "その他", "雑品") + VersionRow("2012,1,5"));
  Package("KrCri201302.mdb",
          Table("Cri_Ind", kRangeTable) + Range(40001, "2000", "2050", "労務単価", "普通作業員") +
              Range(40002, "2050", "2100", "労務単価", "軽作業員", "新") +
              Range(40003, "2100", "2300", "労務単価", "特殊作業員") +
              Range(50001, "3000", "4000", "その他", "雑品") + VersionRow("2012,1,6"));
  Run("Update2013Cri02");
  EXPECT_EQ(Query(kCri24, kRangeSelect), (Rows{"1\t1000\t2000\tセメント\t普通\t\\N",
                                               "10001\t2000\t2050\t労務単価\t普通作業員\t\\N",
                                               "10002\t2050\t2100\t労務単価\t軽作業員\t新",
                                               "10003\t2100\t2300\t労務単価\t特殊作業員\t\\N",
                                               "20001\t3000\t4000\tその他\t雑品\t\\N"}));
  EXPECT_EQ(Ver(kCri24), "2012,1,6");
}

TEST_F(RoutineTest, ABigIndexCaptionMissingOnEitherSideChangesNothing) {
  std::string installed = Range(1, "1000", "2000", "セメント", "普通") +
                          Range(20001, "3000", "4000", "その他", "雑品") +
                          Range(20002, "4000", "5000", "その他", "古い");
  Install(kCri24, Table("Cri_Ind", kRangeTable) + installed + VersionRow("2012,1,5"));
  Package("KrCri201302.mdb",
          Table("Cri_Ind", kRangeTable) + Range(40001, "2000", "2100", "労務単価", "普通作業員") +
              Range(50001, "3000", "4000", "鋼材", "形鋼") + VersionRow("2012,1,6"));
  Rows before = Query(kCri24, kRangeSelect);
  Run("Update2013Cri02");
  EXPECT_EQ(Query(kCri24, kRangeSelect), before);
}

TEST_F(RoutineTest, ASourceBlockOfOneRangeLeavesTheTargetBlockWithThatRangeOnly) {
  constexpr std::string_view kCri25 = "File/平成25年度/KrCri.mdb";
  Install(kCri25, Table("Cri_Ind", kRangeTable) + Range(30001, "5000", "5100", "鋼材", "形鋼") +
                      Range(30002, "5100", "5200", "鋼材", "鋼板") +
                      Range(40001, "6000", "6100", "道路", "舗装") +
                      Range(40002, "6100", "6200", "道路", "標識") +
                      Range(50001, "7000", "9000", "その他", "雑品") + VersionRow("2013,1,1"));
  Package("KrCri201310.mdb",
          Table("Cri_Ind", kRangeTable) + Range(5, "5000", "5300", "鋼材", "鋼材一式") +
              Range(70001, "6000", "6050", "道路", "舗装") +
              Range(70002, "6050", "6200", "道路", "区画線") +
              Range(80001, "7000", "9000", "その他", "雑品･改") + VersionRow("2013,1,2"));
  Run("Update2013Cri10");
  EXPECT_EQ(Query(kCri25, "SELECT ID, StrtCode, EndCode, MdlIndex FROM Cri_Ind ORDER BY ID"),
            (Rows{"30001\t5000\t5300\t鋼材一式", "40001\t6000\t6050\t舗装",
                  "40002\t6050\t6200\t区画線", "50001\t7000\t9000\t雑品･改"}));
  EXPECT_EQ(Ver(kCri25), "2013,1,2");
}

TEST_F(RoutineTest, NewItemsAreNumberedInTheOldRangesAndOneWithoutNumberedNeighboursStaysAtZero) {
  constexpr std::string_view kItem = "Cri (Code, cName, [Index])";
  Install(kCri24, Table("Cri", kItemTable) + Insert(kItem, {"'C101', '品', 5"}) +
                      Table("Cri_Ind", kRangeTable) +
                      Range(10001, "C100", "C200", "労務単価", "普通作業員") +
                      Range(10002, "C200", "C300", "労務単価", "特殊作業員") +
                      VersionRow("2012,1,5"));
  Package("KrCri201302.mdb",
          Table("Cri", kItemTable) + Insert(kItem, {"'C102', '品', 0", "'C201', '品', 0"}) +
              Table("Cri_Ind", kRangeTable) +
              Range(40001, "C100", "C150", "労務単価", "普通作業員") +
              Range(40002, "C150", "C300", "労務単価", "特殊作業員") + VersionRow("2012,1,6"));
  Run("Update2013Cri02");
  EXPECT_EQ(Query(kCri24, "SELECT Code, [Index] FROM Cri ORDER BY Code"),
            (Rows{"C101\t5", "C102\t6", "C201\t0"}));
  EXPECT_EQ(Query(kCri24, "SELECT ID, StrtCode, EndCode FROM Cri_Ind ORDER BY ID"),
            (Rows{"10001\tC100\tC150", "10002\tC150\tC300"}));
}

// --- Expense groups -----------------------------------------------------------------------------

constexpr std::string_view kExp24 = "File/平成24年度/KrExp.mdb";

std::string ExpenseGroup(int id, int big, std::string_view name, bool visible) {
  return "INSERT INTO Exp_Ind (ID, Big, Name, Visible) VALUES (" + std::to_string(id) + ", " +
         std::to_string(big) + ", '" + std::string(name) + "', " + (visible ? "True" : "False") +
         ");\n";
}

TEST_F(RoutineTest, TheNewExpenseGroupTakesThePlaceBeforeGroup11OnceOnly) {
  Install(kExp24, Table("Exp_Ind", kExpenseGroupTable) + ExpenseGroup(1, 1, "共通仮設費", true) +
                      ExpenseGroup(2, 5, "現場管理費", true) +
                      ExpenseGroup(3, 11, "一般管理費", true) +
                      ExpenseGroup(4, 12, "旧項目", false) + VersionRow("2012,1,1"));
  Package("KrExp201302.mdb", Table("Exp_Ind", kExpenseGroupTable) +
                                 ExpenseGroup(1, 1, "共通仮設費", true) +
                                 ExpenseGroup(9, 34, "処分費", false) + VersionRow("2012,1,2"));
  Run("Update2013Exp02");
  Rows expected{"1\t1\t共通仮設費\tTrue", "2\t5\t現場管理費\tTrue", "3\t34\t処分費\tFalse",
                "4\t11\t一般管理費\tTrue", "5\t12\t旧項目\tFalse"};
  constexpr std::string_view kSelect = "SELECT ID, Big, Name, Visible FROM Exp_Ind ORDER BY ID";
  EXPECT_EQ(Query(kExp24, kSelect), expected);
  EXPECT_EQ(Ver(kExp24), "2012,1,2");

  Run("Update2013Exp02");
  EXPECT_EQ(Query(kExp24, kSelect), expected);
}

TEST_F(RoutineTest, ExpenseGroupsWithoutGroup11StayAsTheyAre) {
  Install(kExp24, Table("Exp_Ind", kExpenseGroupTable) + ExpenseGroup(1, 1, "共通仮設費", true) +
                      ExpenseGroup(2, 12, "旧項目", true) + VersionRow("2012,1,1"));
  Package("KrExp201302.mdb", Table("Exp_Ind", kExpenseGroupTable) +
                                 ExpenseGroup(9, 34, "処分費", true) + VersionRow("2012,1,2"));
  Run("Update2013Exp02");
  EXPECT_EQ(Query(kExp24, "SELECT ID, Big FROM Exp_Ind ORDER BY ID"), (Rows{"1\t1", "2\t12"}));
}

// --- Unit-price groups --------------------------------------------------------------------------

TEST_F(RoutineTest, UnitPriceGroup880LeavesAndGroup890TakesThePackageCaption) {
  constexpr std::string_view kVal25 = "File/平成25年度/KrVal.mdb";
  Install(kVal25,
          Table("Val_Ind", kUnitPriceGroupTable) +
              Insert("Val_Ind", {"1, '100', '労務'", "2, '870', '港湾'", "3, '880', '廃止'",
                                 "4, '890', '歩掛'", "5, '900', 'その他'"}) +
              Table("Val_IndD", kUnitPriceGroupTable) +
              Insert("Val_IndD", {"1, '100', '労務'", "2, '890', '歩掛'", "3, '900', 'その他'"}) +
              VersionRow("2012,1,9"));
  Package("KrVal201310.mdb", VersionRow("2013,1,1"));
  Run("Update2013Val10");
  EXPECT_EQ(Query(kVal25, "SELECT ID, Code, [Index] FROM Val_Ind ORDER BY ID"),
            (Rows{"1\t100\t労務", "2\t870\t港湾", "3\t890\t国土交通省歩掛 ※施工ﾊﾟｯｹｰｼﾞ対応",
                  "4\t900\tその他"}));
  EXPECT_EQ(Query(kVal25, "SELECT ID, Code, [Index] FROM Val_IndD ORDER BY ID"),
            (Rows{"1\t100\t労務", "2\t890\t歩掛", "3\t900\tその他"}));
  EXPECT_EQ(Ver(kVal25), "2013,1,1");
}

// --- One range row ------------------------------------------------------------------------------

constexpr std::string_view kCri28 = "File/平成28年度/KrCri.mdb";

TEST_F(RoutineTest,
       TheNewRangeTakesTheIdOfRange1001990000WhichMovesUpByOneAndWithoutItNoneIsAdded) {
  Package("KrCri201611.mdb", Table("Cri_Ind", kRangeTable) +
                                 Range(7, "1001910000", "1001920000", "A", "新設") +
                                 VersionRow("2016,1,2"));
  Install(kCri28, Table("Cri_Ind", kRangeTable) + Range(100, "1001900000", "1001910000", "A", "a") +
                      Range(105, "1001990000", "1002000000", "A", "z", "末") +
                      Range(110, "1002000000", "1003000000", "B", "b") + VersionRow("2015,1,9"));
  Run("Update2016CriH2811");
  EXPECT_EQ(
      Query(kCri28, kRangeSelect),
      (Rows{"100\t1001900000\t1001910000\tA\ta\t\\N", "105\t1001910000\t1001920000\tA\t新設\t",
            "106\t1001990000\t1002000000\tA\tz\t末", "110\t1002000000\t1003000000\tB\tb\t\\N"}));
  EXPECT_EQ(Ver(kCri28), "2016,1,2");

  // Without range 1001990000 no range is added.
  std::filesystem::remove(install_.Native(kCri28));
  Install(kCri28, Table("Cri_Ind", kRangeTable) + Range(100, "1001900000", "1001910000", "A", "a") +
                      VersionRow("2015,1,9"));
  Run("Update2016CriH2811");
  EXPECT_EQ(Query(kCri28, "SELECT ID, StrtCode FROM Cri_Ind"), (Rows{"100\t1001900000"}));
}

// --- Names and ranges of the price and knowledge-base items -------------------------------------

constexpr std::string_view kCri29 = "File/平成29年度/KrCri.mdb";

// Items, names and ranges of one kind: "" for the prices, "KB" for the knowledge base.
struct ItemTables {
  std::string items, names, ranges;
};
ItemTables TablesOf(std::string_view kind) {
  if (kind == "KB") return {"Cri_KB", "Cri_NameStand_KB", "Cri_IndKB"};
  return {"Cri", "Cri_NameStand", "Cri_Ind"};
}

std::string InstalledItems(std::string_view kind) {
  ItemTables t = TablesOf(kind);
  return Table(t.items, kItemTable) +
         Insert(t.items,
                {"'C1', '旧名', '旧規格', 'kg', 100, 3", "'C2', '据置', '規格', 'm', 200, 4"}) +
         Table(t.ranges, kRangeTable) + Range(t.ranges, 1, "1000", "2000", "A", "a", "旧");
}

std::string PackagedItems(std::string_view kind) {
  ItemTables t = TablesOf(kind);
  return Table(t.names, kNameTable) +
         Insert(t.names, {"'C1', '新名', NULL, 't'", "'C9', '無い', '無い', '式'"}) +
         Table(t.ranges, kRangeTable) + Range(t.ranges, 1, "1000", "2000", "X", "x", "上書き") +
         Range(t.ranges, 2, "2000", "3000", "B", "b", "NULL") +
         Table(t.ranges + "_SmlIndex", kSmallCaptionTable) +
         Insert(t.ranges + "_SmlIndex", {"'1000', '小1'", "'2000', '小2'", "'9000', '無い'"});
}

TEST_F(RoutineTest, NamesAndRangesOfPriceAndKnowledgeBaseItemsFollowTheSource) {
  Install(kCri29, InstalledItems("") + InstalledItems("KB") + VersionRow("2016,1,9"));
  Package("KrCri201711.mdb", PackagedItems("") + PackagedItems("KB") + VersionRow("2017,1,1"));
  Run("Update2017CriH2911");
  for (std::string_view kind : {"", "KB"}) {
    SCOPED_TRACE(kind);
    ItemTables t = TablesOf(kind);
    EXPECT_EQ(Query(kCri29, "SELECT Code, cName, cStand, cUnit, Price1, [Index] FROM " + t.items +
                                " ORDER BY Code"),
              (Rows{"C1\t新名\t\\N\tt\t100\t3", "C2\t据置\t規格\tm\t200\t4"}));
    // Range 1 was there already: only its small caption follows the source.
    EXPECT_EQ(Query(kCri29, "SELECT ID, StrtCode, EndCode, BigIndex, MdlIndex, SmlIndex FROM " +
                                t.ranges + " ORDER BY ID"),
              (Rows{"1\t1000\t2000\tA\ta\t小1", "2\t2000\t3000\tB\tb\t小2"}));
  }
  EXPECT_EQ(Ver(kCri29), "2017,1,1");
}

TEST_F(RoutineTest, WithoutKnowledgeBaseItemsOnlyThePriceItemsFollowTheSource) {
  Install(kCri29, InstalledItems("") + Table("Cri_KB", kItemTable) +
                      Table("Cri_IndKB", kRangeTable) + VersionRow("2016,1,9"));
  Package("KrCri201711.mdb", PackagedItems("") + PackagedItems("KB") + VersionRow("2017,1,1"));
  Run("Update2017CriH2911");
  EXPECT_EQ(Query(kCri29, "SELECT cName FROM Cri WHERE Code='C1'"), (Rows{"新名"}));
  EXPECT_EQ(Query(kCri29, "SELECT ID FROM Cri_Ind ORDER BY ID"), (Rows{"1", "2"}));
  EXPECT_EQ(Query(kCri29, "SELECT COUNT(*) FROM Cri_IndKB"), (Rows{"0"}));
}

}  // namespace
}  // namespace kr::routines::test
