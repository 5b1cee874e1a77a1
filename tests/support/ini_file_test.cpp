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
    ini_.FileName(dir_.folder() + "KrInst.ini");
    ini_.Section("Bootstrap");
  }
  TempDir dir_;
  clsIniFile ini_;
};

TEST_F(IniFileTest, GetStringReturnsTheDefaultForMissingAndEmptyValues) {
  EXPECT_EQ(ini_.GetString("ExeName", ""), "KrMain.exe");
  EXPECT_EQ(ini_.GetString("DispDlgCaption", ""), "積算 アップデート");
  EXPECT_EQ(ini_.GetString("Empty", "def"), "def");
  EXPECT_EQ(ini_.GetString("Missing", "def"), "def");
  EXPECT_EQ(ini_.GetInteger("ExeYear", 0), 2019);
  EXPECT_EQ(ini_.GetInteger("Missing", -1), -1);
}

TEST_F(IniFileTest, MissingFileReadsAsEmpty) {
  clsIniFile none;
  none.FileName(dir_.folder() + "none.ini");
  none.Section("Bootstrap");
  std::vector<std::string> kept{"x", "y"};
  EXPECT_EQ(none.GetString("ExeName", "d"), "d");
  EXPECT_EQ(none.GetInteger("ExeYear", 0), 0);
  EXPECT_EQ(none.EmnumSection(kept), 0);
  EXPECT_EQ(kept, (Strings{"x", "y"}));
  EXPECT_EQ(none.EnumKeyString(kept), 0);
  EXPECT_EQ(kept, (Strings{"x", "y"}));
}

TEST_F(IniFileTest, EnumerationsResizeTheArrayToTheList) {
  Strings sections(10, "old");
  EXPECT_EQ(ini_.EmnumSection(sections), 3);
  EXPECT_EQ(sections, (Strings{"Bootstrap", "Bootstrap Files", "Empty Section"}));
  ini_.Section("Bootstrap Files");
  Strings lines(10, "old");
  EXPECT_EQ(ini_.EnumSectionString(lines), 4);
  EXPECT_EQ(lines, (Strings{"KrMain.exe=$(AppPath)\\,SAVEOLD", "NoEquals", "a=b=c", "=lead"}));
}

TEST_F(IniFileTest, EnumKeyStringCutsAtTheFirstEquals) {
  ini_.Section("Bootstrap Files");
  Strings keys;
  EXPECT_EQ(ini_.EnumKeyString(keys), 4);
  EXPECT_EQ(keys, (Strings{"KrMain.exe", "NoEquals", "a", ""}));
  ini_.Section("Empty Section");
  EXPECT_EQ(ini_.EnumKeyString(keys), 0);
  EXPECT_EQ(keys.size(), 4u);  // untouched
}

TEST_F(IniFileTest, SetStringWritesEmptyValuesAndCreatesFiles) {
  EXPECT_TRUE(ini_.SetString("ExeName", ""));
  EXPECT_EQ(ini_.GetString("ExeName", "gone?"), "gone?");
  Strings keys;
  ini_.EnumKeyString(keys);
  EXPECT_EQ(keys.front(), "ExeName");  // still there, with an empty value

  clsIniFile fresh;
  fresh.FileName(dir_.folder() + "new.ini");
  fresh.Section("表");
  EXPECT_TRUE(fresh.SetString("ソフト", "値"));
  EXPECT_EQ(dir_.Read("new.ini"), ToCp932("[表]\r\nソフト=値\r\n"));
  clsIniFile nowhere;
  nowhere.FileName(dir_.folder() + "no\\new.ini");
  EXPECT_FALSE(nowhere.SetString("k", "v"));
}

TEST_F(IniFileTest, DeleteSectionWithAnEmptyNameRemovesTheCurrentOne) {
  std::string name;
  ini_.DeleteSection(name);
  EXPECT_EQ(name, "Bootstrap");
  Strings sections;
  EXPECT_EQ(ini_.EmnumSection(sections), 2);
  EXPECT_EQ(sections.front(), "Bootstrap Files");
  ini_.Section("Bootstrap Files");
  ini_.DeleteKeyName("krmain.EXE");
  Strings keys;
  EXPECT_EQ(ini_.EnumKeyString(keys), 3);
}

class MergeIniFileTest : public ::testing::Test {
 protected:
  std::string Path(std::string_view name) const { return dir_.folder() + std::string(name); }
  TempDir dir_;
};

TEST_F(MergeIniFileTest, CopiesEveryKeyAndKeepsTheDestinationsOwn) {
  dir_.Write("src.ini", ToCp932("[番号]\r\nA=10\r\nB=\r\n[New]\r\nC=3\r\n[NoKeys]\r\n"));
  dir_.Write("dst.ini", ToCp932("; keep me\r\n[番号]\r\nA=1\r\nZ=9\r\n[Own]\r\nY=8\r\n"));
  MergeIniFile(Path("src.ini"), Path("dst.ini"));
  EXPECT_EQ(
      dir_.Read("dst.ini"),
      ToCp932("; keep me\r\n[番号]\r\nA=10\r\nZ=9\r\nB=\r\n[Own]\r\nY=8\r\n[New]\r\nC=3\r\n"));
}

TEST_F(MergeIniFileTest, MissingFilesChangeNothing) {
  dir_.Write("src.ini", "[S]\r\nA=1\r\n");
  MergeIniFile(Path("src.ini"), Path("dst.ini"));
  EXPECT_FALSE(dir_.Exists("dst.ini"));
  MergeIniFile(Path("none.ini"), Path("src.ini"));
  MergeIniFile("", Path("src.ini"));
  EXPECT_EQ(dir_.Read("src.ini"), "[S]\r\nA=1\r\n");
}

}  // namespace
}  // namespace kr::support
