#include <gtest/gtest.h>

#include <algorithm>

#include "platform/platform.h"
#include "tests/testing/testing.h"

namespace kr::platform {
namespace {

using kr::testing::TempDir;

std::vector<std::string> Names(const std::vector<DirEntry>& entries) {
  std::vector<std::string> names;
  for (const DirEntry& entry : entries) names.push_back(entry.name);
  return names;
}

class ListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.Write("App/KrMain.exe", "x");
    dir_.Write("App/readme", "x");
    dir_.Write("App/data.mdb", "x");
    dir_.Write("App/old.MDB", "x");
    dir_.Write("App/.hidden", "x");
    dir_.Write("App/price.mdbx", "x");
    dir_.MakeDirs("App/File");
    dir_.MakeDirs("App/sub.mdb");
    dir_.MakeDirs("App/.cache");
    dir_.MakeDirs("Empty");
  }
  std::string At(std::string_view relative) const { return dir_.folder() + std::string(relative); }
  TempDir dir_;
};

TEST_F(ListingTest, StarDotStarListsEveryNameIncludingThoseWithoutDot) {
  EXPECT_EQ(
      Names(List(At("App\\*.*"), ListKind::kPlainFiles)),
      (std::vector<std::string>{"KrMain.exe", "data.mdb", "old.MDB", "price.mdbx", "readme"}));
  EXPECT_EQ(Names(List(At("App\\*.*"), ListKind::kWithDirectories)),
            (std::vector<std::string>{"File", "KrMain.exe", "data.mdb", "old.MDB", "price.mdbx",
                                      "readme", "sub.mdb"}));
}

TEST_F(ListingTest, PatternsMatchCaseBlindAndNeverShowHiddenEntries) {
  EXPECT_EQ(Names(List(At("App\\*.mdb"), ListKind::kPlainFiles)),
            (std::vector<std::string>{"data.mdb", "old.MDB"}));
  EXPECT_EQ(Names(List(At("app\\KRMAIN.???"), ListKind::kPlainFiles)),
            (std::vector<std::string>{"KrMain.exe"}));
  EXPECT_EQ(Names(List(At("App\\*.mdb"), ListKind::kWithDirectories)),
            (std::vector<std::string>{"data.mdb", "old.MDB", "sub.mdb"}));
  EXPECT_TRUE(List(At("App\\.hidden"), ListKind::kPlainFiles).empty());
  EXPECT_TRUE(List(At("App\\.*"), ListKind::kWithDirectories).empty());
}

TEST_F(ListingTest, FolderPathWithSeparatorListsTheFolder) {
  std::vector<DirEntry> entries = List(At("App/"), ListKind::kWithDirectories);
  ASSERT_EQ(entries.size(), 7u);
  auto file =
      std::find_if(entries.begin(), entries.end(), [](auto& e) { return e.name == "File"; });
  ASSERT_NE(file, entries.end());
  EXPECT_TRUE(file->is_directory);
  EXPECT_TRUE(List(At("Empty\\"), ListKind::kWithDirectories).empty());
}

TEST_F(ListingTest, ExactNameGivesTheNameAsOnDisk) {
  EXPECT_EQ(Names(List(At("APP\\krmain.EXE"), ListKind::kPlainFiles)),
            (std::vector<std::string>{"KrMain.exe"}));
  EXPECT_EQ(Names(List(At("App\\File"), ListKind::kWithDirectories)),
            (std::vector<std::string>{"File"}));
  EXPECT_TRUE(List(At("App\\File"), ListKind::kPlainFiles).empty());
  EXPECT_TRUE(List(At("App\\missing.txt"), ListKind::kPlainFiles).empty());
  EXPECT_TRUE(List(At("Nowhere\\*.*"), ListKind::kWithDirectories).empty());
  EXPECT_TRUE(List("", ListKind::kWithDirectories).empty());
}

TEST_F(ListingTest, ListedCountsFoldersWithOrWithoutSeparatorEvenWhenEmpty) {
  EXPECT_TRUE(Listed(At("Empty"), ListKind::kWithDirectories));
  EXPECT_TRUE(Listed(At("Empty\\"), ListKind::kWithDirectories));
  EXPECT_TRUE(Listed(At("empty/"), ListKind::kWithDirectories));
  EXPECT_FALSE(Listed(At("Missing\\"), ListKind::kWithDirectories));
  EXPECT_TRUE(Listed(At("Empty\\*.*"), ListKind::kWithDirectories));
  EXPECT_FALSE(Listed(At("Empty\\*.*"), ListKind::kPlainFiles));
  EXPECT_FALSE(Listed(At("Empty\\*.mdb"), ListKind::kWithDirectories));
}

TEST_F(ListingTest, PlainFileListingOfAFolderNeedsAPlainFileInIt) {
  EXPECT_TRUE(Listed(At("App\\"), ListKind::kPlainFiles));
  EXPECT_FALSE(Listed(At("App"), ListKind::kPlainFiles));  // no separator: a file of that name
  EXPECT_FALSE(Listed(At("Empty\\"), ListKind::kPlainFiles));
  EXPECT_FALSE(Listed(At("App\\File\\"), ListKind::kPlainFiles));
  EXPECT_TRUE(Listed(At("App\\readme"), ListKind::kPlainFiles));
}

TEST_F(ListingTest, NativePathResolvesEachComponentCaseBlind) {
  EXPECT_EQ(NativePath(At("app\\file\\")), dir_.Native("App/File/"));
  EXPECT_EQ(NativePath(At("APP\\KRMAIN.EXE")), dir_.Native("App/KrMain.exe"));
  // A missing tail stays as written.
  EXPECT_EQ(NativePath(At("app\\New\\Thing.txt")), dir_.Native("App/New/Thing.txt"));
  EXPECT_EQ(NativePath("relative\\x"), "relative/x");
}

TEST(NativePathTest, FoldsJapaneseAndFullWidthNames) {
  TempDir dir;
  dir.Write("平成30年度/ＡＢＣ.txt", "x");
  EXPECT_EQ(NativePath(dir.folder() + "平成30年度\\ａｂｃ.TXT"),
            dir.Native("平成30年度/ＡＢＣ.txt"));
}

TEST_F(ListingTest, AttributesTellFoldersReadOnlyAndHidden) {
  FileAttributes file = Attributes(At("app\\readme"));
  EXPECT_TRUE(file.exists);
  EXPECT_FALSE(file.is_directory);
  EXPECT_FALSE(file.read_only);
  CurrentEnv().SetReadOnly(At("App\\readme"), true);
  EXPECT_TRUE(Attributes(At("App\\readme")).read_only);
  EXPECT_TRUE(Attributes(At("App\\File\\")).is_directory);
  EXPECT_TRUE(Attributes(At("App\\.cache")).hidden);
  EXPECT_FALSE(Attributes(At("App\\gone")).exists);
}

}  // namespace
}  // namespace kr::platform
