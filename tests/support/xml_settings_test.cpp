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
  std::string Path(std::string_view name = "KelmoraSetting.xml") const {
    return dir_.folder() + std::string(name);
  }
  void Write(std::string_view bytes) const { dir_.Write("KelmoraSetting.xml", bytes); }
  std::string Read() const { return dir_.Read("KelmoraSetting.xml"); }
  TempDir dir_;
};

TEST_F(XmlSettingsTest, ReadsTheFirstMatchInDocumentOrder) {
  Write(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root>\n  <TN2019>\n    <Other>x</Other>\n"
      "  </TN2019>\n  <TN2019>\n    <InstPath>/opt/kr/</InstPath>\n    <InstPath>second</InstPath>"
      "\n  </TN2019>\n</Root>\n");
  EXPECT_EQ(GetXmlSetting(Path(), "TN2019", "InstPath"), "/opt/kr/");
  EXPECT_EQ(GetXmlSetting(Path(), "TN2018", "InstPath"), "");
  EXPECT_EQ(GetXmlSetting(Path(), "TN2019", "UpdateDay"), "");
  EXPECT_EQ(GetXmlSetting(Path("none.xml"), "TN2019", "InstPath"), "");
}

TEST_F(XmlSettingsTest, NamesThatAreNotElementNamesAreNotFound) {
  Write("<Root><a><b>1</b></a></Root>");
  EXPECT_EQ(GetXmlSetting(Path(), "a/b", ""), "");
  EXPECT_EQ(GetXmlSetting(Path(), "*", "b"), "");
  EXPECT_EQ(GetXmlSetting(Path(), "a", "b c"), "");
  PutXmlSetting(Path(), "a", "1x y", "v");
  PutXmlSetting(Path(), "", "b", "v");
  EXPECT_EQ(Read(), "<Root><a><b>1</b></a></Root>");
}

TEST_F(XmlSettingsTest, ShiftJisFilesAreReadAndWrittenInTheirOwnEncoding) {
  const std::string head = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n";
  Write(ToCp932(
      head +
      "<Root>\r\n  <表紙>\r\n    <消費税表示>ソ表</消費税表示>\r\n  </表紙>\r\n</Root>\r\n"));
  EXPECT_EQ(GetXmlSetting(Path(), "表紙", "消費税表示"), "ソ表");
  PutXmlSetting(Path(), "表紙", "消費税表示", "内税");
  PutXmlSetting(Path(), "表紙", "新規", "予定");
  EXPECT_EQ(Read(), ToCp932(head + "<Root>\r\n  <表紙>\r\n    <消費税表示>内税</消費税表示>\r\n"
                                   "    <新規>予定</新規>\r\n  </表紙>\r\n</Root>\r\n"));
}

TEST_F(XmlSettingsTest, Windows31jAndUtf16FilesWork) {
  Write(ToCp932(
      "<?xml version=\"1.0\" encoding=\"windows-31j\"?><Root><表><キー>値</キー></表></Root>"));
  EXPECT_EQ(GetXmlSetting(Path(), "表", "キー"), "値");
  // UTF-16 little endian with its byte-order mark.
  std::u16string text =
      u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><Root><表><キー>値</キー></表></Root>";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  Write(bytes);
  EXPECT_EQ(GetXmlSetting(Path(), "表", "キー"), "値");
  PutXmlSetting(Path(), "表", "キー", "新");
  EXPECT_EQ(GetXmlSetting(Path(), "表", "キー"), "新");
  EXPECT_EQ(Read().substr(0, 2), "\xFF\xFE");
}

TEST_F(XmlSettingsTest, AUtf8ByteOrderMarkStays) {
  Write(
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Root><S><k>1</k></S></Root>\r\n");
  PutXmlSetting(Path(), "S", "k", "表");
  EXPECT_EQ(Read(),
            "\xEF\xBB\xBF<?xml version=\"1.0\" "
            "encoding=\"utf-8\"?>\r\n<Root><S><k>表</k></S></Root>\r\n");
}

TEST_F(XmlSettingsTest, NewSectionGoesToTheEndOfRootAndLeavesTheRestAlone) {
  Write(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- settings -->\n<Root>\n  <A>\n"
      "    <k>1</k>\n  </A>\n  <B attr=\"x\">&amp; text</B>\n</Root>\n");
  PutXmlSetting(Path(), "C", "key", "a<b");
  EXPECT_EQ(Read(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- settings -->\n<Root>\n  <A>\n"
            "    <k>1</k>\n  </A>\n  <B attr=\"x\">&amp; text</B>\n  <C>\n    <key>a&lt;b</key>\n"
            "  </C>\n</Root>\n");
}

TEST_F(XmlSettingsTest, OnlyTheFirstOfTwoEqualKeysChanges) {
  Write("<Root><S><k>1</k><k>2</k></S></Root>");
  PutXmlSetting(Path(), "S", "k", "9");
  EXPECT_EQ(Read(), "<Root><S><k>9</k><k>2</k></S></Root>");
}

TEST_F(XmlSettingsTest, AnEmptyValueIsAnElementWithoutText) {
  Write("<Root><S><k>1</k></S></Root>");
  PutXmlSetting(Path(), "S", "k", "");
  PutXmlSetting(Path(), "S", "n", "");
  EXPECT_EQ(Read(), "<Root><S><k/><n/></S></Root>");
  EXPECT_EQ(GetXmlSetting(Path(), "S", "k"), "");
}

TEST_F(XmlSettingsTest, NothingIsCreatedOrReplacedWhenTheFileIsMissingOrBroken) {
  PutXmlSetting(Path(), "S", "k", "v");
  EXPECT_FALSE(dir_.Exists("KelmoraSetting.xml"));
  const std::string broken = "<Root><S><k>1</k></S>";  // not closed
  Write(broken);
  PutXmlSetting(Path(), "S", "k", "v");
  EXPECT_EQ(Read(), broken);
  EXPECT_EQ(GetXmlSetting(Path(), "S", "k"), "");
  const std::string other = "<Settings><S><k>1</k></S></Settings>";
  Write(other);
  PutXmlSetting(Path(), "S", "k", "v");
  EXPECT_EQ(Read(), other);
}

TEST_F(XmlSettingsTest, ExternalEntitiesAreNeverLoaded) {
  dir_.Write("secret.txt", "secret");
  Write("<?xml version=\"1.0\"?><!DOCTYPE Root [<!ENTITY x SYSTEM \"" + dir_.Native("secret.txt") +
        "\">]><Root><S><k>&x;</k></S></Root>");
  EXPECT_EQ(GetXmlSetting(Path(), "S", "k"), "");
}

class CarryXmlSettingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run_.package_folder = dir_.folder() + "pkg\\";
    run_.install_folder = dir_.folder() + "app\\";
  }
  TempDir dir_;
  RunContext run_;
};

TEST_F(CarryXmlSettingTest, WritesOnlyWhereTheUserKeptTheShippedValue) {
  dir_.Write("pkg/KelmoraSetting.xml", "<Root><表紙><a>1</a><b>1</b></表紙></Root>");
  dir_.Write("app/KelmoraSetting.xml", "<Root><表紙><a>1</a><b>2</b></表紙></Root>");
  CarryXmlSetting(run_, "表紙", "a", "new");
  CarryXmlSetting(run_, "表紙", "b", "new");
  CarryXmlSetting(run_, "表紙", "c", "added");
  EXPECT_EQ(dir_.Read("app/KelmoraSetting.xml"),
            "<Root><表紙><a>new</a><b>2</b><c>added</c></表紙></Root>");
}

TEST_F(CarryXmlSettingTest, MissingFilesChangeNothing) {
  dir_.Write("app/KelmoraSetting.xml", "<Root/>");
  CarryXmlSetting(run_, "S", "k", "v");
  EXPECT_EQ(dir_.Read("app/KelmoraSetting.xml"), "<Root/>");
}

}  // namespace
}  // namespace kr::support
