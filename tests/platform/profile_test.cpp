#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/testing/testing.h"

namespace kr::platform {
namespace {

using kr::testing::TempDir;
using kr::testing::ToCp932;

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override { file_ = dir_.folder() + "KrInst.ini"; }
  void WriteIni(std::string_view utf8) { dir_.Write("KrInst.ini", ToCp932(utf8)); }
  std::string Bytes() const { return dir_.Read("KrInst.ini"); }
  TempDir dir_;
  std::string file_;
};

TEST_F(ProfileTest, ReadsJapaneseKeysAndValuesOfACp932File) {
  WriteIni(
      "; 設定\r\n[Bootstrap]\r\nExeName = KrMain.exe \r\nDispDlgCaption=積算ソフト 表計算\r\n"
      "[ファイル]\r\n表示=ソ\\表\r\n");
  EXPECT_EQ(profile::GetString(file_, "Bootstrap", "ExeName", ""), "KrMain.exe");
  EXPECT_EQ(profile::GetString(file_, "BOOTSTRAP", "dispdlgcaption", ""), "積算ソフト 表計算");
  // ソ and 表 end in the byte 0x5C; the value keeps them and the real backslash between.
  EXPECT_EQ(profile::GetString(file_, "ファイル", "表示", ""), "ソ\\表");
}

TEST_F(ProfileTest, MissingValuesGiveTheDefaultEmptyOnesReadEmptyAndSectionListsAreNulSeparated) {
  EXPECT_EQ(profile::GetString(file_, "Bootstrap", "ExeName", "def"), "def");
  WriteIni(
      "[Bootstrap]\nExeYear=2019\nEmpty=\nQuoted=\"  a b \"\na=12abc\nb=-40\nc=abc\nd= 300 \n");
  EXPECT_EQ(profile::GetString(file_, "Other", "ExeYear", "def"), "def");
  EXPECT_EQ(profile::GetString(file_, "Bootstrap", "Nope", "def  "), "def");
  EXPECT_EQ(profile::GetString(file_, "Bootstrap", "Empty", "def"), "");
  EXPECT_EQ(profile::GetString(file_, "Bootstrap", "Quoted", ""), "  a b ");
  // Leading digits only (a to d).
  const std::tuple<const char*, int, int> kInts[] = {
      {"ExeYear", 0, 2019}, {"Empty", 7, 7}, {"Missing", -3, -3}, {"a", 0, 12},
      {"b", 0, -40},        {"c", 5, 0},     {"d", 0, 300}};
  for (auto [key, fallback, value] : kInts)
    EXPECT_EQ(profile::GetInt(file_, "Bootstrap", key, fallback), value) << key;
  WriteIni(
      "[Bootstrap Files]\n; comment\nKrMain.exe = $(AppPath)\\,SAVEOLD\n\nNoEquals\n[F]\n"
      "[S]\nk=1\nk=2\n[s]\nk=3\nj=4\n");
  EXPECT_EQ(profile::GetSection(file_, "bootstrap files"),
            std::string("KrMain.exe=$(AppPath)\\,SAVEOLD\0NoEquals\0\0", 41));
  EXPECT_EQ(profile::GetSection(file_, "F"), "");
  EXPECT_EQ(profile::GetSection(file_, "None"), "");
  EXPECT_EQ(profile::GetSectionNames(file_), std::string("Bootstrap Files\0F\0S\0s\0\0", 23));
  EXPECT_EQ(profile::GetSectionNames(dir_.folder() + "none.ini"), "");
  EXPECT_EQ(profile::GetString(file_, "S", "k", ""), "1");
  EXPECT_EQ(profile::GetString(file_, "S", "j", "none"), "none");
}

TEST_F(ProfileTest, LongValuesAreCutWithoutSplittingADoubleByteCharacter) {
  // 32765 ASCII bytes, then a double-byte character that would end at byte 32767.
  std::string value = std::string(32765, 'a') + "表";
  WriteIni("[S]\nk=" + value + "\n");
  EXPECT_EQ(profile::GetString(file_, "S", "k", ""), std::string(32765, 'a'));
  WriteIni("[S]\nk=" + std::string(40000, 'b') + "\n");
  EXPECT_EQ(profile::GetString(file_, "S", "k", "").size(), 32766u);
}

TEST_F(ProfileTest, WritesCreateTheFileAndSectionWithCrLf) {
  EXPECT_TRUE(profile::WriteString(file_, "Bootstrap", "ExeName", "積算.exe"));
  EXPECT_TRUE(profile::WriteString(file_, "Bootstrap", "ExeYear", "2019"));
  EXPECT_TRUE(profile::WriteString(file_, "新規", "キー", ""));
  EXPECT_EQ(Bytes(),
            ToCp932("[Bootstrap]\r\nExeName=積算.exe\r\nExeYear=2019\r\n[新規]\r\nキー=\r\n"));
  EXPECT_EQ(profile::GetString(file_, "新規", "キー", "d"), "");
  EXPECT_FALSE(profile::WriteString(dir_.folder() + "no\\x.ini", "S", "k", "v"));
  EXPECT_TRUE(profile::WriteString(file_, "S", "k", "a〜b€¥"));  // not in windows-31j
  EXPECT_EQ(profile::GetString(file_, "S", "k", ""), "a?b??");
}

TEST_F(ProfileTest, WritesAndDeletesTouchOnlyTheirLinesAndKeepTheFileStyle) {
  WriteIni("; head\n[A]\nx = 1\n\n; about B\n[B]\ny=2\nz=3\n[C]\nc=1\n; C's note\n[D]\nw=4");
  EXPECT_TRUE(profile::WriteString(file_, "a", "X", "10"));
  EXPECT_TRUE(profile::WriteString(file_, "B", "new", "ソ"));
  EXPECT_TRUE(profile::WriteString(file_, "D", "v", "5"));
  EXPECT_TRUE(profile::WriteString(file_, "B", "y", std::nullopt));
  EXPECT_TRUE(profile::WriteString(file_, "c", std::nullopt, std::nullopt));
  EXPECT_EQ(Bytes(), ToCp932("; head\n[A]\nx=10\n\n; about B\n[B]\nz=3\nnew=ソ\n[D]\nw=4\nv=5\n"));
  EXPECT_TRUE(profile::WriteString(file_, "Z", std::nullopt, std::nullopt));
  EXPECT_TRUE(profile::WriteString(dir_.folder() + "none.ini", "Z", "k", std::nullopt));
  EXPECT_FALSE(dir_.Exists("none.ini"));
}

TEST_F(ProfileTest, MalformedFilesNeverBreakReads) {
  std::string garbage = "\x81\n[\x82\x83]\n=\n==x\n[S\nk=\xFF\xFE\x81\nbin\0ary=1\n";
  garbage += std::string(100000, '\x9F');
  garbage += "\n[T]\nv=ok";
  dir_.Write("KrInst.ini", garbage);
  EXPECT_EQ(profile::GetString(file_, "T", "v", ""), "ok");
  EXPECT_EQ(profile::GetString(file_, "S", "k", "").substr(0, 3), "\uFFFD");
  EXPECT_EQ(profile::GetString(file_, "S", "bin", "d"), "d");
  EXPECT_TRUE(profile::WriteString(file_, "T", "w", "1"));
  EXPECT_EQ(dir_.Read("KrInst.ini"), garbage + "\nw=1\n");
}

// Windows' profile functions read a file saved as "Unicode" by Notepad; users save KrInst.ini so.
TEST_F(ProfileTest, AUtf16FileWithItsByteOrderMarkIsReadAndKeepsItsEncodingWhenWritten) {
  auto utf16 = [](std::u16string_view text, bool big_endian) {
    std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : text) {
      char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
      bytes += big_endian ? high : low;
      bytes += big_endian ? low : high;
    }
    return bytes;
  };
  for (bool big_endian : {false, true}) {
    SCOPED_TRACE(big_endian ? "big-endian" : "little-endian");
    dir_.Write("KrInst.ini", utf16(u"[Bootstrap]\r\nExeName=積算.exe\r\n𠮷=野家\r\n", big_endian));
    EXPECT_EQ(profile::GetString(file_, "Bootstrap", "ExeName", ""), "積算.exe");
    EXPECT_EQ(profile::GetString(file_, "Bootstrap", "𠮷", ""), "野家");
    EXPECT_EQ(profile::GetSectionNames(file_), std::string("Bootstrap\0\0", 11));
    EXPECT_TRUE(profile::WriteString(file_, "Bootstrap", "Title", "表"));
    EXPECT_EQ(Bytes(),
              utf16(u"[Bootstrap]\r\nExeName=積算.exe\r\n𠮷=野家\r\nTitle=表\r\n", big_endian));
  }
}

// Plain ASCII could be either: what the updater adds to it is code page 932, as to a new file.
TEST_F(ProfileTest, Utf8FilesWithOrWithoutByteOrderMarkStayUtf8AndOthersCp932) {
  struct Case {
    std::string before, exe_name, after;  // after adding Title=表
  };
  const std::string bom = "\xEF\xBB\xBF";
  const Case cases[] = {
      {bom + "[Bootstrap]\r\nExeName=積算.exe\r\n", "積算.exe",
       bom + "[Bootstrap]\r\nExeName=積算.exe\r\nTitle=表\r\n"},
      {"[Bootstrap]\nExeName=積算.exe\n", "積算.exe", "[Bootstrap]\nExeName=積算.exe\nTitle=表\n"},
      {ToCp932("[Bootstrap]\r\nExeName=積算.exe\r\n"), "積算.exe",
       ToCp932("[Bootstrap]\r\nExeName=積算.exe\r\nTitle=表\r\n")},
      {"[Bootstrap]\r\nExeName=KrMain.exe\r\n", "KrMain.exe",
       ToCp932("[Bootstrap]\r\nExeName=KrMain.exe\r\nTitle=表\r\n")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before);
    dir_.Write("KrInst.ini", c.before);
    EXPECT_EQ(profile::GetString(file_, "Bootstrap", "ExeName", ""), c.exe_name);
    EXPECT_TRUE(profile::WriteString(file_, "Bootstrap", "Title", "表"));
    EXPECT_EQ(Bytes(), c.after);
  }
  EXPECT_TRUE(profile::WriteString(dir_.folder() + "new.ini", "表示", "色", "青"));
  EXPECT_EQ(dir_.Read("new.ini"), ToCp932("[表示]\r\n色=青\r\n"));
}

TEST_F(ProfileTest, AUtf16FileCutShortOrWithALoneSurrogateStillReads) {
  using namespace std::string_literals;
  std::string bytes = "\xFF\xFE[\0S\0]\0\n\0k\0=\0\x00\xD8v\0\n\0"s;
  dir_.Write("KrInst.ini", bytes + "x");  // an odd last byte
  EXPECT_EQ(profile::GetString(file_, "S", "k", ""), "\uFFFDv");
  dir_.Write("KrInst.ini", "\xFF\xFE");
  EXPECT_EQ(profile::GetString(file_, "S", "k", "none"), "none");
}

}  // namespace
}  // namespace kr::platform
