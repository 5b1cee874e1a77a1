#include <gtest/gtest.h>

#include "support/support.h"
#include "tests/testing/testing.h"

namespace kr::support {
namespace {

using kr::testing::TempDir;
using kr::testing::ToCp932;
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
