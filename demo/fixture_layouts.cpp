// The table layouts the fixture generator knows, and how a table name (variants included)
// finds its layout.
#include <algorithm>
#include <array>
#include <cctype>
#include <stdexcept>

#include "demo/fixture_tables.h"

namespace kr::fixtures {
namespace internal {
namespace {

constexpr std::string_view kValColumns =
    "Code TEXT(30) NOT NULL, Name TEXT(100), Spec TEXT(100), Unit TEXT(10), Price DOUBLE, "
    "ValPrice1 DOUBLE, ValPrice2 DOUBLE, UserCode TEXT(30), JPer DOUBLE, Search1 TEXT(50), "
    "Search2 TEXT(50), MakeDay TEXT(10)";
constexpr std::string_view kCriColumns =
    "Code TEXT(20) NOT NULL, cName TEXT(100), cStand TEXT(100), cUnit TEXT(10), [Index] LONG, "
    "Price1 DOUBLE, Price2 DOUBLE, Price3 DOUBLE, Price4 DOUBLE, Price5 DOUBLE, Price6 DOUBLE, "
    "Price7 DOUBLE, Price8 DOUBLE, Price9 DOUBLE, Price10 DOUBLE";
constexpr std::string_view kCriIndColumns =
    "ID LONG NOT NULL, StrtCode TEXT(20), EndCode TEXT(20), BigIndex TEXT(100), "
    "MdlIndex TEXT(100), SmlIndex TEXT(100)";
constexpr std::string_view kWoodyColumns =
    "Code TEXT(20) NOT NULL, cName TEXT(100), cStand TEXT(100), cUnit TEXT(10), Price DOUBLE";
constexpr std::string_view kSettingColumns =
    "[Type] LONG NOT NULL, Name TEXT(100) NOT NULL, StrValue TEXT(255)";
constexpr std::string_view kPrintWidthColumns =
    "ID LONG NOT NULL, pData1 TEXT(255), pData2 TEXT(255), pData3 TEXT(255), pData4 TEXT(255), "
    "pData5 TEXT(255), pData6 TEXT(255), pData7 TEXT(255), pData8 TEXT(255), pData9 TEXT(255), "
    "pData10 TEXT(255), pData11 TEXT(255), pData12 TEXT(255), pData13 TEXT(255), "
    "pData14 TEXT(255), pData15 TEXT(255), pData16 TEXT(255)";

using enum RowKind;

const std::array kLayouts = {
    // KrVal.mdb
    Layout{"Val###", kValColumns, "Code", "", kData, ValValues, ValExtra},
    Layout{"Val###s",
           "Code TEXT(30) NOT NULL, ValCode TEXT(30) NOT NULL, Quantity1 DOUBLE, "
           "Quantity2 DOUBLE",
           "Code,ValCode", "", kData, ValSubValues, ValSubExtra},
    Layout{"Val###_Ind", "StrtCode TEXT(30) NOT NULL, MdlIndex TEXT(100), SortOrder LONG, ID LONG",
           "StrtCode", "", kIndex, ValIndValues, ValIndExtra},
    Layout{"Val_Ind", "Code TEXT(10) NOT NULL, [Index] TEXT(100)", "Code", "", kFixed, nullptr,
           ValIndexList},
    Layout{"Val_IndD", "Code TEXT(10) NOT NULL, [Index] TEXT(100)", "Code", "", kFixed, nullptr,
           ValIndexList},
    Layout{"Val_IndExplain", "Code TEXT(10) NOT NULL, SortOrder LONG NOT NULL, Explain TEXT(255)",
           "Code,SortOrder", "", kIndex, ExplainValues, nullptr},
    Layout{"SpeExe", "Special TEXT(20) NOT NULL, Name TEXT(100), Rate DOUBLE", "Special", "810",
           kData, SpeExeValues, nullptr},
    Layout{"Book", "ID LONG NOT NULL, BookName TEXT(100), Publisher TEXT(100), Issue TEXT(20)",
           "ID", "", kIndex, BookValues, nullptr},
    Layout{"PlantTable",
           "Kind LONG NOT NULL, Col LONG NOT NULL, HC TEXT(20) NOT NULL, "
           "Price DOUBLE, Remark TEXT(100)",
           "Kind,Col,HC", "", kData, PlantValues, nullptr},
    Layout{"Special_Package",
           "SpecialCode TEXT(20) NOT NULL, Name TEXT(100), Spec TEXT(100), "
           "Unit TEXT(10), Price DOUBLE",
           "SpecialCode", "SP", kData, PackageValues, nullptr},
    Layout{"Pole_Ind", "ID LONG NOT NULL, Code TEXT(20), [Index] TEXT(100)", "ID", "", kIndex,
           PoleValues, nullptr},
    // KrCri.mdb
    Layout{"Cri", kCriColumns, "Code", "C", kData, CriValues, nullptr, true},
    Layout{"Cri2", kCriColumns, "Code", "C", kData, CriValues, nullptr, true},
    Layout{"Cri_KB", kCriColumns, "Code", "K", kData, CriValues, nullptr, true},
    Layout{"Cri_Ind", kCriIndColumns, "ID", "C", kFixed, nullptr, CriIndRanges},
    Layout{"Cri_IndKB", kCriIndColumns, "ID", "K", kFixed, nullptr, CriIndRanges},
    Layout{"地区名",
           "ID LONG NOT NULL, 地区名 TEXT(50), コメント TEXT(255), "
           "コメント_建設物価 TEXT(255)",
           "ID", "", kFixed, nullptr, Districts},
    Layout{"Cri_Base",
           "県ID LONG NOT NULL, Code TEXT(20) NOT NULL, cName TEXT(100), "
           "cStand TEXT(100), cUnit TEXT(10), Price DOUBLE",
           "県ID,Code", "B", kData, CriBaseValues, nullptr},
    Layout{"Cri_Base_Ind", "ID LONG NOT NULL, 県ID LONG, StrtCode TEXT(20), BigIndex TEXT(100)",
           "ID", "B", kIndex, CriBaseIndValues, nullptr},
    Layout{"Cri_PackageStand",
           "PStandCode TEXT(20) NOT NULL, PName TEXT(100), "
           "PStand TEXT(100), PUnit TEXT(10), Price DOUBLE",
           "PStandCode", "P", kData, PackageStandValues, nullptr},
    Layout{"ChangeCode", "ID LONG NOT NULL, OldCode TEXT(20), NewCode TEXT(20)", "ID", "", kIndex,
           ChangeCodeValues, nullptr},
    Layout{"Cri_Relation", "CodeS TEXT(20) NOT NULL, CodeK TEXT(20) NOT NULL, Quantity DOUBLE",
           "CodeS,CodeK", "", kData, RelationValues, nullptr},
    Layout{"Cri_IndRelation",
           "CodeS TEXT(20) NOT NULL, CodeK TEXT(20) NOT NULL, "
           "SortOrder LONG",
           "CodeS,CodeK", "", kData, IndRelationValues, nullptr},
    Layout{"RoumuHosei", "ID LONG NOT NULL, 職種 TEXT(50), Rate DOUBLE", "ID", "", kIndex,
           RoumuValues, nullptr},
    Layout{"Woody", kWoodyColumns, "Code", "W", kData, WoodyValues, nullptr},
    Layout{"Woody_KB", kWoodyColumns, "Code", "WK", kData, WoodyValues, nullptr},
    // KrExp.mdb
    Layout{"Expenses",
           "Big LONG NOT NULL, Mdl LONG NOT NULL, Sml LONG NOT NULL, "
           "Field1 TEXT(100), Rate1 DOUBLE, Rate2 DOUBLE, Rate3 DOUBLE",
           "Big,Mdl,Sml", "", kData, ExpensesValues, nullptr},
    Layout{"ExpOption",
           "Big LONG NOT NULL, Mdl LONG NOT NULL, Kind LONG NOT NULL, "
           "OptName TEXT(100), Rate DOUBLE",
           "Big,Mdl,Kind", "", kData, ExpOptionValues, nullptr},
    Layout{"MinPrice",
           "Big LONG NOT NULL, Mdl LONG NOT NULL, Sml LONG NOT NULL, "
           "SortOrder LONG, Text1 TEXT(255), Rate DOUBLE",
           "Big,Mdl,Sml", "", kData, MinPriceValues, nullptr},
    Layout{"Exp_Ind", "ID LONG NOT NULL, Big LONG, Name TEXT(100), Visible BIT", "ID", "", kIndex,
           ExpIndValues, nullptr},
    Layout{"Exp_Marume", "Mdl LONG NOT NULL, Sml LONG NOT NULL, Name TEXT(100), Marume LONG",
           "Mdl,Sml", "", kIndex, MarumeValues, nullptr},
    Layout{"HouteiFukuri", "Big LONG NOT NULL, Mdl LONG NOT NULL, Name TEXT(100), Rate DOUBLE",
           "Big,Mdl", "", kData, FukuriValues, nullptr},
    // Settings databases
    Layout{"Environ", "ID LONG NOT NULL, SetName TEXT(255)", "ID", "", kFixed, nullptr,
           EnvironRows},
    Layout{"OpenChk", "ID LONG NOT NULL, MdbName TEXT(50), Version TEXT(50)", "ID", "", kFixed,
           nullptr, OpenChkRows},
    Layout{"Setting", kSettingColumns, "Type,Name", "", kIndex, SettingValues, SettingExtra},
    Layout{"SetOption", "ID LONG NOT NULL, Result SHORT", "ID", "", kIndex, SetOptionValues,
           nullptr},
    Layout{"FileOpenFind", "ID LONG NOT NULL, NumData LONG", "ID", "", kFixed, nullptr,
           FileOpenFindRows},
    Layout{"PrintWidth", kPrintWidthColumns, "ID", "", kFixed, nullptr, PrintWidthRows},
    Layout{"PrintWidths", kPrintWidthColumns, "ID", "", kFixed, nullptr, PrintWidthRows},
    Layout{"PrintIndex", "Target LONG NOT NULL, Title TEXT(100), SortOrder LONG", "Target", "",
           kIndex, PrintIndexValues, nullptr},
    Layout{"UserListExplain", "UserKind LONG NOT NULL, UserConfigOrder LONG, Explain TEXT(100)",
           "UserKind", "", kFixed, nullptr, UserListExplainRows},
    Layout{"UserList",
           "UserCode LONG NOT NULL, UserKind LONG NOT NULL, UserConfigWord TEXT(100), "
           "UserConfig1 LONG, UserConfig2 LONG, UserConfig3 LONG",
           "UserCode,UserKind", "", kIndex, UserListValues, nullptr},
    Layout{"Holidays", "HolidayString TEXT(255) NOT NULL", "HolidayString", "", kFixed, nullptr,
           HolidayRows},
    Layout{"SetWord", "ID LONG NOT NULL, Comment TEXT(255)", "ID", "", kFixed, nullptr,
           SetWordRows},
    Layout{"印刷", "ID LONG NOT NULL, 種別 LONG, Protect LONG, Ptn3 LONG, [Data] TEXT(255)", "ID",
           "", kFixed, nullptr, CoverRows},
    Layout{"Version", "Ver TEXT(20), Comment TEXT(255)", "", "", kFixed, nullptr, VersionRow},
};

struct Suffix {
  std::string_view text;
  double offset;
};
// Longer suffixes first, so that "_HisaiK" is not read as "K" after "_Hisai".
constexpr Suffix kSuffixes[] = {
    {"_Delete", 0},     {"_HisaiK", 60000},   {"_HisaiH", 70000}, {"_Hisai", 50000},
    {"(被災)", 55000},  {"_Shizuoka", 80000}, {"(神戸)", 80000},  {"(九州)", 90000},
    {"(土木)", 100000}, {"(造園)", 110000},   {"_D", 100000},
};

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool IsDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
}

// "Val" + three digits, then "", "s" or "_Ind": the family's layout name, digits set.
std::string_view ValFamily(std::string_view name, std::string& digits) {
  if (name.size() < 6 || !SameName(name.substr(0, 3), "Val") || !IsDigits(name.substr(3, 3))) {
    return {};
  }
  std::string_view rest = name.substr(6);
  std::string_view family = rest.empty()             ? "Val###"
                            : SameName(rest, "s")    ? "Val###s"
                            : SameName(rest, "_Ind") ? "Val###_Ind"
                                                     : std::string_view();
  if (!family.empty()) digits = std::string(name.substr(3, 3));
  return family;
}

const Layout* FindLayout(std::string_view name, std::string& digits) {
  std::string_view family = ValFamily(name, digits);
  for (const Layout& layout : kLayouts) {
    if (SameName(layout.name, family.empty() ? name : family)) return &layout;
  }
  return nullptr;
}

}  // namespace

ResolvedTable Resolve(std::string_view table) {
  ResolvedTable resolved;
  resolved.name = std::string(table);
  std::string_view base = table;
  std::string suffixes;
  while (true) {
    if ((resolved.layout = FindLayout(base, resolved.digits)) != nullptr) break;
    const Suffix* found = nullptr;
    for (const Suffix& suffix : kSuffixes) {
      if (base.size() > suffix.text.size() && base.ends_with(suffix.text)) {
        found = &suffix;
        break;
      }
    }
    if (found == nullptr) throw std::invalid_argument("unknown table: " + std::string(table));
    base.remove_suffix(found->text.size());
    if (found->text == "_Delete") {
      resolved.deletion = true;
    } else {
      suffixes = std::string(found->text) + suffixes;
      resolved.offset += found->offset;
    }
  }
  resolved.suffixes = suffixes;
  return resolved;
}

std::vector<std::string> SplitKeys(std::string_view keys) {
  std::vector<std::string> parts;
  while (!keys.empty()) {
    size_t comma = keys.find(',');
    parts.emplace_back(keys.substr(0, comma));
    keys = comma == std::string_view::npos ? std::string_view() : keys.substr(comma + 1);
  }
  return parts;
}

std::string CreateTableSql(const ResolvedTable& table, bool source) {
  const Layout& layout = *table.layout;
  std::vector<std::string> keys = SplitKeys(layout.keys);
  std::string columns;
  for (std::string definition : SplitKeys(layout.columns)) {
    while (definition.starts_with(' ')) definition.erase(0, 1);
    std::string name = definition.substr(0, definition.find(' '));
    if (name.starts_with('[')) name = name.substr(1, name.size() - 2);
    if (table.deletion && std::find(keys.begin(), keys.end(), name) == keys.end()) continue;
    columns += (columns.empty() ? "" : ", ") + definition;
  }
  if (source && layout.prefecture_columns && !table.deletion) {
    for (const std::string& prefecture : PrefectureNames())
      columns += ", [" + prefecture + "] DOUBLE";
  }
  if (!keys.empty()) {
    std::string key_list;
    for (const std::string& key : keys) key_list += (key_list.empty() ? "[" : ", [") + key + "]";
    columns += ", CONSTRAINT PrimaryKey PRIMARY KEY (" + key_list + ")";
  }
  return "CREATE TABLE [" + table.name + "] (" + columns + ")";
}

const std::vector<std::string>& StandardValDigits() {
  static const std::vector<std::string> digits = {"120", "130", "150", "400", "430", "450", "600",
                                                  "700", "710", "720", "740", "750", "760", "770",
                                                  "790", "800", "810", "820", "830", "850", "870"};
  return digits;
}

}  // namespace internal

std::string TableDdl(std::string_view table) {
  return internal::CreateTableSql(internal::Resolve(table), false);
}

std::vector<std::string> StandardTables(std::string_view database) {
  std::vector<std::string> tables;
  if (database == "KrVal") {
    for (const std::string& digits : internal::StandardValDigits()) {
      for (const char* tail : {"", "s", "_Ind"}) tables.push_back("Val" + digits + tail);
    }
    tables.insert(tables.end(), {"Val890_Ind", "Val_Ind", "Val_IndD", "Val_IndExplain", "SpeExe",
                                 "Book", "PlantTable", "Special_Package", "Pole_Ind"});
  } else if (database == "KrCri") {
    tables = {"Cri",        "Cri_KB",       "Cri_Ind",         "Cri_IndKB",
              "地区名",     "Cri_Base",     "Cri_Base_Ind",    "Cri_PackageStand",
              "ChangeCode", "Cri_Relation", "Cri_IndRelation", "RoumuHosei",
              "Woody",      "Woody_KB"};
  } else if (database == "KrExp") {
    tables = {"Expenses", "ExpOption", "MinPrice", "Exp_Ind", "Exp_Marume", "HouteiFukuri"};
  } else if (database == "KrSet") {
    tables = {"Environ",    "OpenChk",     "Setting",    "SetOption",       "FileOpenFind",
              "PrintWidth", "PrintWidths", "PrintIndex", "UserListExplain", "UserList"};
  } else if (database == "KrSetMinPrice") {
    tables = {"Setting", "SetOption"};
  } else if (database == "KrMasta") {
    tables = {"Holidays", "SetWord"};
  } else if (database == "KrCover") {
    tables = {"印刷"};
  } else {
    throw std::invalid_argument("unknown database: " + std::string(database));
  }
  tables.push_back("Version");
  return tables;
}

}  // namespace kr::fixtures
