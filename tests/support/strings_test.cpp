// Characters, strings, paths, versions and the run's folders.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/support.h"
#include "tests/testing/testing.h"

namespace kr::support {
namespace {

using kr::testing::BuiltProgram;
using kr::testing::TempDir;
using Tokens = std::vector<std::string>;

TEST(CharsTest, CountCharactersNotBytesMapFullWidthCaseAndTrimOnlySpaces) {
  EXPECT_EQ(CharLength("平成22年度"), 6u);
  EXPECT_EQ(CharLeft("平成22年度", 2), "平成");
  EXPECT_EQ(CharRight("平成22年度", 3), "2年度");
  EXPECT_EQ(CharMid("平成22年度", 3, 2), "22");
  EXPECT_EQ(CharMid("平成22年度", 5), "年度");
  EXPECT_EQ(CharMid("abc", 9), "");
  EXPECT_EQ(CharLeft("abc", 10), "abc");
  const std::string bad = "a\xFF\xC3";
  EXPECT_EQ(CharLength(bad), 3u);
  EXPECT_EQ(CharRight(bad, 1), "\xC3");
  EXPECT_EQ(CharMid(bad, 2, 1), "\xFF");
  EXPECT_EQ(UpperCase("abc ａｂｃ ä"), "ABC ＡＢＣ Ä");
  EXPECT_EQ(LowerCase("KrMain.EXE ＡＢＣ"), "krmain.exe ａｂｃ");
  EXPECT_EQ(NarrowLowerCase("ＫＲＭａｉｎ．ＥＸＥ"), "krmain.exe");
  EXPECT_EQ(NarrowLowerCase("カタカナ１２"), "ｶﾀｶﾅ12");
  EXPECT_EQ(NarrowLowerCase("ガ"), "ｶﾞ");
  // Plain ASCII names, the letters' neighbours included, fold as the Unicode rules fold them.
  EXPECT_EQ(UpperCase("Val101Old_@[`{az"), "VAL101OLD_@[`{AZ");
  EXPECT_EQ(LowerCase("Val101Old_@[`{AZ"), "val101old_@[`{az");
  EXPECT_EQ(NarrowLowerCase("Cri_IND(ＫＯＢＥ)"), "cri_ind(kobe)");
  EXPECT_EQ(NarrowLowerCase(""), "");
  EXPECT_EQ(TrimRightSpaces("a b \t  "), "a b \t");
  EXPECT_EQ(Trim("  a  "), "a");
}

TEST(PathTest, SeparatorsParentsAndFileNames) {
  std::string path = "C:\\App  ";
  EXPECT_EQ(AddTrailingSeparator(path), "C:\\App\\");
  EXPECT_EQ(path, "C:\\App");
  path = "C:/App/";
  EXPECT_EQ(AddTrailingSeparator(path), "C:/App/");
  path = "   ";
  EXPECT_EQ(AddTrailingSeparator(path), "");
  path = "C:\\App\\\\ ";
  EXPECT_EQ(RemoveTrailingSeparator(path), "C:\\App\\");
  EXPECT_EQ(path, "C:\\App\\\\");
  EXPECT_EQ(GetParentPath("C:\\x.txt"), "C:\\");
  EXPECT_EQ(GetParentPath("C:\\A\\x.txt"), "C:\\A");
  EXPECT_EQ(GetParentPath("x.txt"), "x.txt");
  EXPECT_EQ(GetParentPath("/tmp/pkg/*.*"), "/tmp/pkg");
  EXPECT_EQ(GetParentPath("表\\x"), "表");        // one character before the separator
  EXPECT_EQ(GetParentPath("平成\\x"), "平成\\");  // separator third in characters
  EXPECT_EQ(GetFileNamePart("sub/x.dll"), "x.dll");
  EXPECT_EQ(GetFileNamePart("C:\\App\\"), "");
  // Backups: the stem ends at the first dot; a further copy of the same stamp is numbered.
  EXPECT_EQ(BackupFileName("KrVal.mdb.bak", "202004071530"), "KrVal202004071530.old");
  EXPECT_EQ(BackupFileName("README", "2020"), "README2020.old");
  EXPECT_EQ(BackupFileName("KrCri.mdb", "202001019999", 2), "KrCri202001019999-2.old");
}

TEST(StringTest, ReplaceAllNeverRescansSplitKeepsEmptyPartsAndCommandLinesGroupQuotes) {
  EXPECT_EQ(ReplaceAll("aXbX", "X", "XX"), "aXXbXX");
  EXPECT_EQ(ReplaceAll("$(apppath)", "$(AppPath)", "x"), "$(apppath)");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(TrimAtNull(std::string("C:\\Win\0junk", 11)), "C:\\Win");
  EXPECT_EQ(Split("a,,b", ","), (Tokens{"a", "", "b"}));
  EXPECT_EQ(Split("", ","), (Tokens{""}));
  EXPECT_EQ(SplitCommandLine("C:\\Pkg a"), (Tokens{"C:\\Pkg", "a"}));
  EXPECT_EQ(SplitCommandLine("a  b"), (Tokens{"a", "", "b"}));
  EXPECT_EQ(SplitCommandLine(""), Tokens{});
  EXPECT_EQ(SplitCommandLine("\"C:\\My Pkg\\\" \"D:\\Other Dir\""),
            (Tokens{"C:\\My Pkg\\", "D:\\Other Dir"}));
  // Text right after a closing quote joins the token before it; spaces outside are dropped.
  EXPECT_EQ(SplitCommandLine("\"a\"b c"), (Tokens{"abc"}));
  EXPECT_EQ(SplitCommandLine("\"\""), (Tokens{""}));
  EXPECT_EQ(SplitCommandLine(" \"a b\""), (Tokens{"a b"}));
  EXPECT_EQ(SplitCommandLine("pkg \"C:\\My Pkg\""), Tokens{});  // text before the first quote
}

using kr::testing::SandboxedFolders;

// A machine that may lack the Windows or the common data folder, and can make no folder.
class TestEnv : public platform::Env {
 public:
  std::string WindowsFolder() override { return windows_known ? Env::WindowsFolder() : ""; }
  std::string CommonAppDataFolder() override {
    return common_known ? Env::CommonAppDataFolder() : "";
  }
  void MakeDirectory(std::string_view) override {
    throw Failure::Runtime(kErrPermissionDenied, "read-only disk (test)");
  }
  bool windows_known = true, common_known = true;
};

TEST(FoldersTest, TheWindowsFolderIsAskedForUntilFoundAndThenKept) {
  SandboxedFolders sandbox;
  TestEnv env;
  platform::ScopedEnv scoped(env);
  RunContext run;
  env.windows_known = false;
  EXPECT_EQ(GetWindowsFolder(run), "");
  env.windows_known = true;
  EXPECT_EQ(GetWindowsFolder(run), sandbox.windows() + "\\");
  setenv("KR_WINDOWS_DIR", "/elsewhere", 1);
  EXPECT_EQ(GetWindowsFolder(run), sandbox.windows() + "\\");
}

TEST(FoldersTest, CommonDataFolderIsMadeLevelByLevelGivenEvenIfItCannotBeElseTheWindowsFolder) {
  SandboxedFolders sandbox;
  RunContext run, read_only, missing;
  setenv("KR_COMMON_APPDATA_DIR", (sandbox.common_appdata() + "/Deeper").c_str(), 1);
  EXPECT_EQ(GetCommonDataFolder(run), sandbox.common_appdata() + "/Deeper\\Kelmora\\");
  EXPECT_TRUE(sandbox.root().Exists("ProgramData/Deeper/Kelmora"));
  TestEnv env;
  platform::ScopedEnv scoped(env);
  setenv("KR_COMMON_APPDATA_DIR", sandbox.common_appdata().c_str(), 1);
  EXPECT_EQ(GetCommonDataFolder(read_only), sandbox.common_appdata() + "\\Kelmora\\");
  EXPECT_FALSE(sandbox.root().Exists("ProgramData/Kelmora"));
  env.common_known = false;
  EXPECT_EQ(GetCommonDataFolder(missing), sandbox.windows() + "\\");
}

TEST(VersionToNumberTest, WorkedValuesAndOddInput) {
  EXPECT_EQ(VersionToNumber("2.0.83"), 2008300);
  EXPECT_EQ(VersionToNumber("2015.2.0.83"), 2015020083);
  EXPECT_EQ(VersionToNumber("2015.2.0.0.83"), 2015020000);
  EXPECT_EQ(VersionToNumber("2009,1,1"), 2009010100);
  EXPECT_EQ(VersionToNumber("1..3"), 1000300);
  EXPECT_EQ(VersionToNumber("1.2;3"), 1020000);
  EXPECT_EQ(VersionToNumber(""), 0);
  // Other characters are skipped without separating parts; full-width digits are not digits.
  EXPECT_EQ(VersionToNumber("rel 2.0 build 83"), 2830000);
  EXPECT_EQ(VersionToNumber("２.0"), 0);
  // Wide parts carry into the next; oversized ones give 0.
  EXPECT_EQ(VersionToNumber("1.100.0"), 11000000);
  EXPECT_EQ(VersionToNumber("2015.2.0.100"), 0);  // too large for 32 bits
  EXPECT_EQ(VersionToNumber("40000.1"), 10000);   // part too large for 16 bits stays 0
  EXPECT_EQ(GetPlatformId(), 2);
}

std::string Fixture(std::string_view name) {
  return BuiltProgram("tests/fixtures/pe/" + std::string(name));
}

class FileVersionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!platform::Attributes(Fixture("app-2.0.0.83.exe")).exists) {
      GTEST_SKIP() << "PE test programs were not built (no MinGW-w64)";
    }
  }
  TempDir dir_;
};

TEST_F(FileVersionTest, ReadsTheFileVersionInThreeAndFourPartsAndEmptyTextWithoutOne) {
  EXPECT_EQ(GetFileVersion(Fixture("app-2.0.0.83.exe"), false), "2.0.83");
  EXPECT_EQ(GetFileVersion(Fixture("app-2.0.0.83.exe"), true), "2.0.0.83");
  EXPECT_EQ(GetFileVersion(Fixture("app-2.0.1.0.exe"), false), "2.0.0");
  EXPECT_EQ(GetFileVersion(Fixture("app-2.0.1.0.exe"), true), "2.0.1.0");
  dir_.Write("text.exe", "MZ not really a program");
  for (const std::string& file : {Fixture("noversion.exe"), dir_.folder() + "missing.exe",
                                  dir_.folder() + "text.exe", dir_.folder()}) {
    EXPECT_EQ(GetFileVersion(file, true), "") << file;
  }
}

TEST_F(FileVersionTest, DamagedCopiesNeverCrash) {
  const std::string program = platform::ReadFile(Fixture("app-2.0.0.84.exe"));
  const std::string copy = dir_.folder() + "copy.exe";
  for (size_t length = 0; length < program.size(); length += 97) {
    platform::WriteFile(copy, program.substr(0, length));
    std::string version = GetFileVersion(copy, true);
    EXPECT_TRUE(version.empty() || version == "2.0.0.84") << length;
  }
  std::mt19937 random(1234);
  for (int round = 0; round < 300; ++round) {
    std::string garbled = program;
    for (int flips = 0; flips < 8; ++flips) {
      garbled[random() % garbled.size()] = static_cast<char>(random());
    }
    platform::WriteFile(copy, garbled);
    GetFileVersion(copy, round % 2 == 0);  // any result, but no crash or hang
  }
}

}  // namespace
}  // namespace kr::support
