// Realistic application databases for tests, the demo and benchmarks: a whole installation
// (settings databases and fiscal-year folders with user prices) and the source databases an
// update package ships, with contents a test can predict from the functions below.
//
// Paths are native paths of this machine; missing folders are made. An existing database file
// is never replaced (the engine's 3204). Everything is written through the engine with the
// application's password, one transaction per database. Regime: pass-through (kr::Failure from
// the engine or the file system; std::invalid_argument for an unknown table name).
//
// Contents. Row numbers n count from 1. "Installed" is what MakeInstallation and MakeYearFolder
// write, "source" what MakeSourceDatabase writes.
//
// Data tables (Val###, Val###s, SpeExe, PlantTable, Special_Package, Cri, Cri_KB, Cri_Base,
// Cri_PackageStand, Cri_Relation, Cri_IndRelation, Woody, Woody_KB, Expenses, ExpOption,
// MinPrice, HouteiFukuri) hold rows 1..rows_per_table when installed, and rows
// 1..rows_per_table + new_rows in a source (the rows after rows_per_table carry new codes).
// Index tables (the *_Ind tables, Book, Pole_Ind, Val_IndExplain, ChangeCode, RoumuHosei,
// Exp_Ind, Exp_Marume, SetOption, PrintIndex, UserList) hold kIndexRows rows (+ new_rows in a
// source). The remaining tables hold the fixed rows listed below.
//   - Codes: ItemCode. A Val###s row n has Code ItemCode(Val###, n) and ValCode
//     SubItemCode(Val###s, n); Cri_Relation and Cri_IndRelation pair ItemCode(Cri, n) (CodeS)
//     with ItemCode(Cri_KB, n) (CodeK); Cri_Base row n has 県ID 1 + (n - 1) mod 47.
//   - Numbered keys (Expenses Big/Mdl/Sml, ExpOption Big/Mdl/Kind, MinPrice Big/Mdl/Sml,
//     PlantTable Kind/Col/HC = "H" + third): NumberedKey(n). Two-part keys (HouteiFukuri
//     Big/Mdl, Exp_Marume Mdl/Sml): first = 1 + (n - 1) mod 10, second = 1 + (n - 1) / 10.
//     Index tables keyed by ID (or Target) use i = 1..kIndexRows.
//   - Prices: the row's price column (Val### Price, Cri Price1, SpeExe Rate, Expenses Rate1,
//     ExpOption/MinPrice/HouteiFukuri/RoumuHosei Rate, Woody/Cri_Base/... Price, Cri_Relation
//     Quantity) is InstalledPrice / VariantPrice. Cri and Cri_KB: Price k (k = 1..10) is that
//     price + (k - 1); Cri [Index] is n (a source gives its new rows 0). Expenses Rate2, Rate3:
//     price + 1, + 2. Val###s Quantity1: n installed, n + 1 in a source.
//   - Texts ("単価" & n ...) end, in a source, in " 新" followed by the variant suffixes of the
//     table ("単価7 新", "単価7 新_Hisai"), so a test can tell which table a row came from.
//   - User values, installed Val### only: rows with n % 5 == 0 carry InstalledUserValues; rows
//     with n % 5 == 3 carry Search1 "検索" + n and MakeDay "" (search words the user did not
//     make); all other rows have Null there. Plus two user-added rows with long codes
//     UserItemCode(Val###, 1..2): Name "自社単価k", Unit "式", Price 90000 + k, ValPrice1
//     91000 + k, UserCode "MY-k", JPer 1, Search1 "じしゃk", MakeDay "2019/06/01".
//     Val###s: Quantity2 n + 0.5 on rows with n % 5 == 0, else Null; plus one user row (Code
//     UserItemCode(Val###, 1), ValCode UserItemCode(Val###s, 1), Quantity1 1, Quantity2 2.5).
//     Sources carry Null in every user column and no long codes.
//   - "_Delete" tables (sources): the key columns of the base table, holding the keys of rows
//     n <= rows_per_table with n % 10 == 7 (the release removes those items).
//   - Source Cri, Cri2 and Cri_KB (and their variants) carry one more DOUBLE column per prefecture,
//     named by its full name ("北海道" .. "沖縄県"), holding PrefecturePrice.
//   - Val###_Ind: StrtCode ItemCode(t, i), MdlIndex "索引i", SortOrder i, ID i; with
//     green_bank_index, Val120_Ind's row 2 has MdlIndex "ｸﾞﾘｰﾝﾊﾞﾝｸ 緑化資材".
//   - Val_Ind and Val_IndD: one row per standard Val### table, Code its three digits, [Index]
//     "単価表" + digits; with kobe_index also Code "200" "神戸市単価".
//   - Cri_Ind / Cri_IndKB: kIndexRows ranges StrtCode..EndCode of ItemCode(Cri / Cri_KB, n)
//     covering every row of the table.
//   - 地区名: row i (ID i) per district, 地区名 "地区i", コメント and コメント_建設物価 the
//     district's text.
//   - KrSet Environ: ID 1 "C:\Kelmora\Data\", 10 "C:\Kelmora\", 60 "1" with civil_engineering
//     else "0", 61 environ_version, 110 the last year folder's name, 111 Null, 201, 202, 401.
//     OpenChk: 1 KrSet, 2 KrVal, 3 KrCri, 4 KrExp (Version "2019,1,0;2019,1,99"). Setting
//     (both settings databases): [Type] 1, Name "設定i", StrValue "値i", and installed also
//     "制限価格DbPath1" = the last year folder's name. FileOpenFind: ID 100..600 step 100.
//     PrintWidth(s): ID 1, 2, 61..64, pData1..16 "列k". UserListExplain: UserKind 201..205
//     (UserConfigOrder 1..5) and 900 (1000). UserList: UserCode i - 2, UserKind 205.
//     KrMasta Holidays (four holiday strings), SetWord (ID 231..235). KrCover 印刷: rows with
//     the Data texts "熊本vu" (種別 99, Protect 1) and "㈱熊本vu" (Ptn3 0).
//   - Version: Ver TEXT(20), Comment TEXT(255), one row unless "-" asks for no table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kr::fixtures {

// Rows of every index table (before a source's new rows).
constexpr int kIndexRows = 5;

// The Jet DDL "CREATE TABLE [name] (...)" of a table the generator knows: "Val120" (any "Val" +
// three digits), "Val120s", "Val120_Ind", "Val_Ind", "Val_IndD", "Val_IndExplain", "SpeExe",
// "Book", "PlantTable", "Special_Package", "Pole_Ind", "Cri", "Cri2", "Cri_KB", "Cri_Ind",
// "Cri_IndKB", "地区名", "Cri_Base", "Cri_Base_Ind", "Cri_PackageStand", "ChangeCode",
// "Cri_Relation", "Cri_IndRelation", "RoumuHosei", "Woody", "Woody_KB", "Expenses",
// "ExpOption", "MinPrice", "Exp_Ind", "Exp_Marume", "HouteiFukuri", "Environ", "OpenChk",
// "Setting", "SetOption", "FileOpenFind", "PrintWidth", "PrintWidths", "PrintIndex",
// "UserListExplain", "UserList", "Holidays", "SetWord", "印刷", "Version". A name ending in a
// variant suffix ("_Hisai", "_HisaiK", "_HisaiH", "(被災)", "_Shizuoka", "(神戸)", "(九州)",
// "_D", "(土木)", "(造園)") has the layout of the name without it; "_Delete" tables have only
// the key columns of their base table. Unknown name: std::invalid_argument.
std::string TableDdl(std::string_view table);

// The tables MakeInstallation writes into a database ("KrVal", "KrCri", "KrExp", "KrSet",
// "KrSetMinPrice", "KrMasta", "KrCover"), Version last; MakeSourceDatabase's default set.
// KrVal: Val120, 130, 150, 400, 430, 450, 600, 700, 710, 720, 740, 750, 760, 770, 790, 800,
// 810, 820, 830, 850, 870, each with its "s" and "_Ind" table, then Val890_Ind and the others.
std::vector<std::string> StandardTables(std::string_view database);

struct YearFolderSpec {
  std::string name{};  // "平成30年度", "2019年度(令和2年3月労務更新)", ...
  // Ver of each database's Version row: "" = one row with Ver Null, "-" = no Version table.
  std::string val_version = "", cri_version = "", exp_version = "";
  std::string val_comment{}, cri_comment{}, exp_comment{};  // Version.Comment ("" = Null)
  // コメント of 地区名 rows, ID 1..n (empty: DefaultDistricts()).
  std::vector<std::string> districts{};
  bool val = true, cri = true, exp = true;  // which of KrVal.mdb, KrCri.mdb, KrExp.mdb exist
  bool green_bank_index = false;            // Val120_Ind names the green bank (Shizuoka tables)
  bool kobe_index = false;                  // Val_Ind has Code "200" (Kobe tables)
};

// Two plain prefectures and a derived district: "地区1,東京,", "地区2,大阪,", "単価1,×,105"
// (105 percent of district 1).
std::vector<std::string> DefaultDistricts();

struct InstallationSpec {
  std::vector<YearFolderSpec> years{};
  int rows_per_table = 20;         // rows of every data table
  int extra_price_tables = 0;      // more Val### tables (Val300, Val301, ...) in every KrVal.mdb
  bool civil_engineering = false;  // Environ row 60 SetName "1" in File/KrSet.mdb
  std::string environ_version = "2019,2.0.83";  // Environ row 61 (product year, version)
  std::string settings_version = "2019,1,1";    // Ver of KrSet, KrSetMinPrice, KrMasta, KrCover
};

// Creates <install>/File/KrSet.mdb, File/KrSetMinPrice.mdb, File/KrMasta.mdb,
// Cover/KrCover.mdb and every year folder (MakeYearFolder).
void MakeInstallation(const std::string& install_folder, const InstallationSpec& spec);

// Creates File/<year.name>/KrVal.mdb, KrCri.mdb, KrExp.mdb (as far as year asks) below
// install_folder, every standard table filled.
void MakeYearFolder(const std::string& install_folder, const YearFolderSpec& year,
                    int rows_per_table = 20, int extra_price_tables = 0);

struct SourceSpec {
  std::string database{};   // "KrVal", "KrCri", "KrExp", "KrSet", "KrSetMinPrice", "KrMasta"
  std::string version{};    // Ver of its Version row ("" = Null, "-" = no Version table)
  std::string comment{};    // "" = Null
  int rows_per_table = 20;  // rows with the codes the installation has (their prices changed)
  int new_rows = 5;         // rows with new codes after them
  int extra_price_tables = 0;
  std::vector<std::string> tables{};     // only these (empty: StandardTables); variants allowed
  std::vector<std::string> districts{};  // 地区名 of a KrCri source (empty: DefaultDistricts())
};
void MakeSourceDatabase(const std::string& path, const SourceSpec& spec);

// The Code of row n of a table: its prefix zero-padded to ten characters ("1200000007" for
// Val120, Val120s, Val120_Ind and their variants; prefixes "C" Cri/Cri2, "K" Cri_KB, "W" Woody,
// "WK" Woody_KB, "B" Cri_Base, "P" Cri_PackageStand, "SP" Special_Package, "810" SpeExe).
std::string ItemCode(std::string_view table, int n);
// ValCode of row n of a Val###s table: "S" + the three digits, zero-padded to ten characters.
std::string SubItemCode(std::string_view table, int n);
// The long codes of user-added rows: for Val### the Code of user row k (1, 2), for Val###s
// the ValCode of its user row (k = 1): ItemCode / SubItemCode of k followed by "USER000k".
std::string UserItemCode(std::string_view table, int k);

struct NumberedKey {
  int first, second, third;  // 1 + (n-1) mod 10, 1 + ((n-1) / 10) mod 10, 1 + (n-1) / 100
};
NumberedKey NumberedKeyOf(int n);

// The price of row n as installed: 1000 + 10 n.
double InstalledPrice(std::string_view table, int n);
// The price of row n in a source: 1005 + 10 n (never an installed price of the same table).
double SourcePrice(std::string_view table, int n);
// SourcePrice plus the offsets of the table's variant suffixes: "_Hisai" 50000, "(被災)"
// 55000, "_HisaiK" 60000, "_HisaiH" 70000, "_Shizuoka" and "(神戸)" 80000, "(九州)" 90000,
// "_D" and "(土木)" 100000, "(造園)" 110000. A name without a suffix gives SourcePrice.
double VariantPrice(std::string_view table, int n);
// The prefecture column of a source Cri / Cri_KB row: VariantPrice + 100 x the prefecture's
// number (北海道 1 .. 東京都 13 .. 大阪府 27 .. 熊本県 43 .. 沖縄県 47). Full names only.
double PrefecturePrice(std::string_view table, std::string_view prefecture, int n);

// The user values of installed Val### row n with n % 5 == 0.
struct UserValues {
  double val_price1;      // InstalledPrice + 1
  double val_price2;      // InstalledPrice + 2
  std::string user_code;  // "U" + ItemCode
  double jper;            // 0.9
  std::string search1;    // "ユーザー" + n
  std::string search2;    // "よみ" + n
  std::string make_day;   // "2019/05/10"
};
UserValues InstalledUserValues(std::string_view table, int n);

}  // namespace kr::fixtures
