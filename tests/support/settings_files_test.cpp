// The INI and XML settings files: reading, writing, merging and carrying settings over.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/support.h"
#include "tests/testing/testing.h"

namespace kr::support {
namespace {

using kr::testing::TempDir;
using kr::testing::ToCp932;

class XmlSettingsTest : public ::testing::Test {
 protected:
  void Write(std::string_view bytes) const { dir_.Write("KelmoraSetting.xml", bytes); }
  std::string Read() const { return dir_.Read("KelmoraSetting.xml"); }
  TempDir dir_;
  std::string path_ = dir_.folder() + "KelmoraSetting.xml";
};

TEST_F(XmlSettingsTest, ReadsTheFirstMatchInDocumentOrder) {
  Write(
      "<Root><TN2019><Other>x</Other></TN2019>\n<TN2019><InstPath>/opt/kr/</InstPath>"
      "<InstPath>second</InstPath></TN2019></Root>");
  EXPECT_EQ(GetXmlSetting(path_, "TN2019", "InstPath"), "/opt/kr/");
  EXPECT_EQ(GetXmlSetting(path_, "TN2018", "InstPath"), "");
  EXPECT_EQ(GetXmlSetting(path_, "TN2019", "UpdateDay"), "");
  EXPECT_EQ(GetXmlSetting(dir_.folder() + "none.xml", "TN2019", "InstPath"), "");
}

TEST_F(XmlSettingsTest, ShiftJisFilesAreReadAndWrittenInTheirOwnEncoding) {
  const std::string head = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n";
  Write(ToCp932(
      head +
      "<Root>\r\n  <表紙>\r\n    <消費税表示>ソ表</消費税表示>\r\n  </表紙>\r\n</Root>\r\n"));
  EXPECT_EQ(GetXmlSetting(path_, "表紙", "消費税表示"), "ソ表");
  PutXmlSetting(path_, "表紙", "消費税表示", "内税");
  PutXmlSetting(path_, "表紙", "新規", "予定");
  EXPECT_EQ(Read(), ToCp932(head + "<Root>\r\n  <表紙>\r\n    <消費税表示>内税</消費税表示>\r\n"
                                   "    <新規>予定</新規>\r\n  </表紙>\r\n</Root>\r\n"));
}

TEST_F(XmlSettingsTest, Windows31jUtf16AndAUtf8ByteOrderMarkAreKept) {
  Write(ToCp932(
      "<?xml version=\"1.0\" encoding=\"windows-31j\"?><Root><表><キー>値</キー></表></Root>"));
  EXPECT_EQ(GetXmlSetting(path_, "表", "キー"), "値");
  std::u16string text =
      u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><Root><表><キー>値</キー></表></Root>";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text)
    bytes += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  Write(bytes);
  EXPECT_EQ(GetXmlSetting(path_, "表", "キー"), "値");
  PutXmlSetting(path_, "表", "キー", "新");
  EXPECT_EQ(GetXmlSetting(path_, "表", "キー"), "新");
  EXPECT_EQ(Read().substr(0, 2), "\xFF\xFE");
  const std::string head = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
  Write(head + "<Root><S><k>1</k></S></Root>\r\n");
  PutXmlSetting(path_, "S", "k", "表");
  EXPECT_EQ(Read(), head + "<Root><S><k>表</k></S></Root>\r\n");
}

TEST_F(XmlSettingsTest, WritesChangeOnlyTheFirstMatchAndAddNewSectionsAtTheEndOfRoot) {
  const std::string head =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- settings -->\n<Root>\n  <A>\n"
      "    <k>1</k>\n  </A>\n  <B attr=\"x\">&amp; text</B>\n";
  Write(head + "</Root>\n");
  PutXmlSetting(path_, "C", "key", "a<b");
  EXPECT_EQ(Read(), head + "  <C>\n    <key>a&lt;b</key>\n  </C>\n</Root>\n");
  // Only the first of two equal keys changes; an empty value is an element without text.
  Write("<Root><S><k>1</k><k>2</k></S></Root>");
  PutXmlSetting(path_, "S", "k", "");
  PutXmlSetting(path_, "S", "n", "");
  EXPECT_EQ(Read(), "<Root><S><k/><k>2</k><n/></S></Root>");
  EXPECT_EQ(GetXmlSetting(path_, "S", "k"), "");
}

TEST_F(XmlSettingsTest, NothingIsCreatedOrReplacedForAMissingBrokenOrForeignFileOrABadName) {
  PutXmlSetting(path_, "S", "k", "v");
  EXPECT_FALSE(dir_.Exists("KelmoraSetting.xml"));
  for (const std::string bad : {"<Root><S><k>1</k></S>", "<Settings><S><k>1</k></S></Settings>"}) {
    Write(bad);
    PutXmlSetting(path_, "S", "k", "v");
    EXPECT_EQ(Read(), bad);
  }
  Write("<Root><S><k>1</k></S>");
  EXPECT_EQ(GetXmlSetting(path_, "S", "k"), "");
  dir_.Write("secret.txt", "secret");  // external entities are never loaded
  Write("<?xml version=\"1.0\"?><!DOCTYPE Root [<!ENTITY x SYSTEM \"" + dir_.Native("secret.txt") +
        "\">]><Root><S><k>&x;</k></S></Root>");
  EXPECT_EQ(GetXmlSetting(path_, "S", "k"), "");
  Write("<Root><a><b>1</b></a></Root>");
  EXPECT_EQ(GetXmlSetting(path_, "a/b", ""), "");
  EXPECT_EQ(GetXmlSetting(path_, "*", "b"), "");
  EXPECT_EQ(GetXmlSetting(path_, "a", "b c"), "");
  PutXmlSetting(path_, "a", "1x y", "v");
  PutXmlSetting(path_, "", "b", "v");
  EXPECT_EQ(Read(), "<Root><a><b>1</b></a></Root>");
}

TEST_F(XmlSettingsTest, ANameItsEncodingCannotHoldLeavesTheFileReadable) {
  const std::string latin1 =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Root><S><K>caf\xE9</K></S></Root>";
  Write(latin1);
  PutXmlSetting(path_, "表紙", "消費税表示", "1");
  EXPECT_EQ(Read(), latin1);
  EXPECT_EQ(GetXmlSetting(path_, "S", "K"), "caf\u00e9");
  // A value it cannot hold is written as character references and reads back whole.
  PutXmlSetting(path_, "S", "K", "内税");
  EXPECT_EQ(GetXmlSetting(path_, "S", "K"), "内税");
}

TEST_F(XmlSettingsTest, AnUnknownEncodingNeverLosesCharactersOfAWrittenValue) {
  const std::string unknown =
      "<?xml version=\"1.0\" encoding=\"ISO-88592-\"?>\n<Root><S><K>caf\xE9</K></S></Root>";
  Write(unknown);
  PutXmlSetting(path_, "S", "K", "値 ソ表");
  const std::string value = GetXmlSetting(path_, "S", "K");
  EXPECT_TRUE(value == "値 ソ表" || Read() == unknown) << value;
}

TEST(CarryXmlSettingTest, WritesOnlyWhereTheUserKeptTheShippedValue) {
  TempDir dir;
  RunContext run;
  run.package_folder = dir.folder() + "pkg\\";
  run.install_folder = dir.folder() + "app\\";
  dir.Write("app/KelmoraSetting.xml", "<Root><表紙><a>1</a><b>2</b></表紙></Root>");
  CarryXmlSetting(run, "表紙", "a", "new");  // no package file: nothing changes
  EXPECT_EQ(dir.Read("app/KelmoraSetting.xml"), "<Root><表紙><a>1</a><b>2</b></表紙></Root>");
  dir.Write("pkg/KelmoraSetting.xml", "<Root><表紙><a>1</a><b>1</b></表紙></Root>");
  CarryXmlSetting(run, "表紙", "a", "new");
  CarryXmlSetting(run, "表紙", "b", "new");
  CarryXmlSetting(run, "表紙", "c", "added");
  EXPECT_EQ(dir.Read("app/KelmoraSetting.xml"),
            "<Root><表紙><a>new</a><b>2</b><c>added</c></表紙></Root>");
}

using Strings = std::vector<std::string>;

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.Write("KrInst.ini",
               ToCp932("[Bootstrap]\r\nExeName=KrMain.exe\r\nExeYear=2019\r\nEmpty=\r\n"
                       "DispDlgCaption=積算 アップデート\r\n"
                       "[Bootstrap Files]\r\nKrMain.exe=$(AppPath)\\,SAVEOLD\r\n"
                       "NoEquals\r\na=b=c\r\n=lead\r\n[Empty Section]\r\n"));
    ini_ = Open("KrInst.ini", "Bootstrap");
  }
  clsIniFile Open(std::string_view name, std::string section) const {
    clsIniFile ini;
    ini.FileName(dir_.folder() + std::string(name));
    ini.Section(std::move(section));
    return ini;
  }
  TempDir dir_;
  clsIniFile ini_;
};

TEST_F(IniFileTest, ReadsGiveTheDefaultForMissingAndEmptyValuesAndEnumerationsKeepTheArrayForNone) {
  EXPECT_EQ(ini_.GetString("ExeName", ""), "KrMain.exe");
  EXPECT_EQ(ini_.GetString("DispDlgCaption", ""), "積算 アップデート");
  EXPECT_EQ(ini_.GetString("Empty", "def"), "def");
  EXPECT_EQ(ini_.GetString("Missing", "def"), "def");
  EXPECT_EQ(ini_.GetInteger("ExeYear", 0), 2019);
  EXPECT_EQ(ini_.GetInteger("Missing", -1), -1);
  Strings list(10, "old");
  EXPECT_EQ(ini_.EmnumSection(list), 3);
  EXPECT_EQ(list, (Strings{"Bootstrap", "Bootstrap Files", "Empty Section"}));
  ini_.Section("Bootstrap Files");
  EXPECT_EQ(ini_.EnumSectionString(list), 4);
  EXPECT_EQ(list, (Strings{"KrMain.exe=$(AppPath)\\,SAVEOLD", "NoEquals", "a=b=c", "=lead"}));
  EXPECT_EQ(ini_.EnumKeyString(list), 4);
  EXPECT_EQ(list, (Strings{"KrMain.exe", "NoEquals", "a", ""}));
  ini_.Section("Empty Section");
  EXPECT_EQ(ini_.EnumKeyString(list), 0);
  EXPECT_EQ(list.size(), 4u);
  EXPECT_TRUE(SectionLines(ini_, "Empty Section").empty());
  clsIniFile none = Open("none.ini", "Bootstrap");
  EXPECT_EQ(none.GetString("ExeName", "d"), "d");
  EXPECT_EQ(none.EmnumSection(list), 0);
  EXPECT_EQ(none.EnumKeyString(list), 0);
  EXPECT_EQ(list.size(), 4u);
}

TEST_F(IniFileTest, WritesKeepEmptyValuesCreateFilesAndDeleteTheCurrentSection) {
  EXPECT_TRUE(ini_.SetString("ExeName", ""));
  EXPECT_EQ(ini_.GetString("ExeName", "gone?"), "gone?");
  Strings list;
  ini_.EnumKeyString(list);
  EXPECT_EQ(list.front(), "ExeName");  // still there, with an empty value
  std::string name;
  ini_.DeleteSection(name);
  EXPECT_EQ(name, "Bootstrap");
  ini_.Section("Bootstrap Files");
  ini_.DeleteKeyName("krmain.EXE");
  EXPECT_EQ(ini_.EmnumSection(list), 2);
  EXPECT_EQ(ini_.EnumKeyString(list), 3);
  EXPECT_TRUE(Open("new.ini", "表").SetString("ソフト", "値"));
  EXPECT_EQ(dir_.Read("new.ini"), ToCp932("[表]\r\nソフト=値\r\n"));
  EXPECT_FALSE(Open("no\\new.ini", "S").SetString("k", "v"));
}

TEST_F(IniFileTest, MergeCopiesEveryKeyKeepsTheDestinationsOwnAndNeedsBothFiles) {
  dir_.Write("src.ini", ToCp932("[番号]\r\nA=10\r\nB=\r\n[New]\r\nC=3\r\n[NoKeys]\r\n"));
  dir_.Write("dst.ini", ToCp932("; keep me\r\n[番号]\r\nA=1\r\nZ=9\r\n[Own]\r\nY=8\r\n"));
  MergeIniFile(dir_.folder() + "src.ini", dir_.folder() + "dst.ini");
  EXPECT_EQ(
      dir_.Read("dst.ini"),
      ToCp932("; keep me\r\n[番号]\r\nA=10\r\nZ=9\r\nB=\r\n[Own]\r\nY=8\r\n[New]\r\nC=3\r\n"));
  MergeIniFile(dir_.folder() + "src.ini", dir_.folder() + "none.ini");
  EXPECT_FALSE(dir_.Exists("none.ini"));
  const std::string src = dir_.Read("src.ini");
  MergeIniFile(dir_.folder() + "none.ini", dir_.folder() + "src.ini");
  MergeIniFile("", dir_.folder() + "src.ini");
  EXPECT_EQ(dir_.Read("src.ini"), src);
}

}  // namespace
}  // namespace kr::support
