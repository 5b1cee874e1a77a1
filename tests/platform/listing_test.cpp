#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/testing/testing.h"

namespace kr::platform {
namespace {

using kr::testing::TempDir;
using Names = std::vector<std::string>;
constexpr ListKind kFiles = ListKind::kPlainFiles;
constexpr ListKind kAll = ListKind::kWithDirectories;

class ListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* file :
         {"KrMain.exe", "readme", "data.mdb", "old.MDB", ".hidden", "price.mdbx"}) {
      dir_.Write("App/" + std::string(file), "x");
    }
    for (const char* folder : {"App/File", "App/sub.mdb", "App/.cache", "Empty"}) {
      dir_.MakeDirs(folder);
    }
  }
  std::string At(std::string_view relative) const { return dir_.folder() + std::string(relative); }
  Names ListNames(std::string_view relative, ListKind kind) const {
    Names names;
    for (const DirEntry& entry : List(At(relative), kind)) {
      names.push_back(entry.name + (entry.is_directory ? "\\" : ""));
    }
    return names;
  }
  TempDir dir_;
};

TEST_F(ListingTest, PatternsMatchCaseBlindAndNeverShowHiddenEntries) {
  EXPECT_EQ(ListNames("App\\*.*", kFiles),
            (Names{"KrMain.exe", "data.mdb", "old.MDB", "price.mdbx", "readme"}));
  EXPECT_EQ(ListNames("App/", kAll), (Names{"File\\", "KrMain.exe", "data.mdb", "old.MDB",
                                            "price.mdbx", "readme", "sub.mdb\\"}));
  EXPECT_EQ(ListNames("App\\*.mdb", kFiles), (Names{"data.mdb", "old.MDB"}));
  EXPECT_EQ(ListNames("App\\*.mdb", kAll), (Names{"data.mdb", "old.MDB", "sub.mdb\\"}));
  EXPECT_EQ(ListNames("app\\KRMAIN.???", kFiles), (Names{"KrMain.exe"}));
  EXPECT_EQ(ListNames("APP\\krmain.EXE", kFiles), (Names{"KrMain.exe"}));
  EXPECT_EQ(ListNames("App\\File", kAll), (Names{"File\\"}));
  for (const char* pattern : {"App\\File", "App\\.hidden", "App\\missing.txt"}) {
    EXPECT_TRUE(List(At(pattern), kFiles).empty()) << pattern;
  }
  for (const char* pattern : {"App\\.*", "Nowhere\\*.*", "Empty\\"}) {
    EXPECT_TRUE(List(At(pattern), kAll).empty()) << pattern;
  }
  EXPECT_TRUE(List("", kAll).empty());
}

TEST_F(ListingTest, ListedCountsFoldersEvenWhenEmptyButPlainFilesOnlyWhenPresent) {
  for (const char* pattern : {"Empty", "Empty\\", "empty/", "Empty\\*.*"}) {
    EXPECT_TRUE(Listed(At(pattern), kAll)) << pattern;
  }
  for (const char* pattern : {"Missing\\", "Empty\\*.mdb"}) {
    EXPECT_FALSE(Listed(At(pattern), kAll)) << pattern;
  }
  EXPECT_TRUE(Listed(At("App\\"), kFiles));
  EXPECT_TRUE(Listed(At("App\\readme"), kFiles));
  for (const char* pattern : {"Empty\\*.*", "Empty\\", "App", "App\\File\\"}) {
    EXPECT_FALSE(Listed(At(pattern), kFiles)) << pattern;
  }
}

TEST_F(ListingTest, NativePathResolvesEachComponentCaseBlindKeepingAMissingTail) {
  dir_.Write("平成30年度/ＡＢＣ.txt", "x");
  EXPECT_EQ(NativePath(At("app\\file\\")), dir_.Native("App/File/"));
  EXPECT_EQ(NativePath(At("APP\\KRMAIN.EXE")), dir_.Native("App/KrMain.exe"));
  EXPECT_EQ(NativePath(At("app\\New\\Thing.txt")), dir_.Native("App/New/Thing.txt"));
  EXPECT_EQ(NativePath(At("平成30年度\\ａｂｃ.TXT")), dir_.Native("平成30年度/ＡＢＣ.txt"));
  EXPECT_EQ(NativePath("relative\\x"), "relative/x");
}

TEST_F(ListingTest, AttributesTellFoldersReadOnlyAndHidden) {
  EXPECT_FALSE(Attributes(At("app\\readme")).read_only);
  CurrentEnv().SetReadOnly(At("App\\readme"), true);
  FileAttributes file = Attributes(At("app\\readme"));
  EXPECT_TRUE(file.exists && file.read_only && !file.is_directory);
  EXPECT_TRUE(Attributes(At("App\\File\\")).is_directory);
  EXPECT_TRUE(Attributes(At("App\\.cache")).hidden);
  EXPECT_FALSE(Attributes(At("App\\gone")).exists);
}

}  // namespace
}  // namespace kr::platform
