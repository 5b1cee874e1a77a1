// Files and folders: listings, case-blind paths, attributes and the file operations.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/testing/testing.h"

namespace kr::platform {
namespace {

using kr::testing::FailureNumber;
using kr::testing::TempDir;

class FileOpsTest : public ::testing::Test {
 protected:
  std::string At(std::string_view relative) const { return dir_.folder() + std::string(relative); }
  TempDir dir_;
};

TEST_F(FileOpsTest, CopyReplacesTheTargetFoundCaseBlindAndKeepsReadOnly) {
  dir_.Write("pkg/a.txt", "new");
  dir_.Write("app/A.TXT", "old");
  CopyFile(At("PKG\\a.txt"), At("app\\a.txt"));
  EXPECT_EQ(dir_.Read("app/A.TXT"), "new");
  EXPECT_FALSE(dir_.Exists("app/a.txt"));
  CurrentEnv().SetReadOnly(At("pkg\\a.txt"), true);
  CopyFile(At("pkg\\a.txt"), At("app\\r.txt"));
  EXPECT_TRUE(Attributes(At("app\\r.txt")).read_only);
}

TEST_F(FileOpsTest, FailuresCarryTheRunTimeNumbersAndChangeNothing) {
  dir_.Write("pkg/a.txt", "new");
  dir_.Write("app/locked.txt", "old");
  dir_.Write("app/b.txt", "b");
  dir_.Write("full/x", "");
  CurrentEnv().SetReadOnly(At("app\\locked.txt"), true);
  EXPECT_EQ(FailureNumber([&] { CopyFile(At("pkg\\missing"), At("app\\x")); }), kErrFileNotFound);
  EXPECT_EQ(FailureNumber([&] { CopyFile(At("nowhere\\a"), At("app\\x")); }), kErrPathNotFound);
  EXPECT_EQ(FailureNumber([&] { CopyFile(At("pkg\\a.txt"), At("app\\locked.txt")); }),
            kErrPathFileAccess);
  EXPECT_EQ(FailureNumber([&] { CopyFile(At("pkg\\a.txt"), At("nowhere\\a.txt")); }),
            kErrPathNotFound);
  EXPECT_EQ(FailureNumber([&] { CopyFile(At("pkg\\a.txt"), At("pkg\\a.txt")); }),
            kErrPermissionDenied);
  EXPECT_EQ(FailureNumber([&] { CopyFile(At("pkg\\"), At("app\\y")); }), kErrPathFileAccess);
  EXPECT_EQ(FailureNumber([&] { DeleteFile(At("app\\gone.txt")); }), kErrFileNotFound);
  EXPECT_EQ(FailureNumber([&] { DeleteFile(At("app\\locked.txt")); }), kErrPathFileAccess);
  EXPECT_EQ(FailureNumber([&] { DeleteFile(At("app\\")); }), kErrFileNotFound);
  EXPECT_EQ(FailureNumber([&] { Rename(At("pkg\\a.txt"), At("app\\B.txt")); }), kErrFileExists);
  EXPECT_EQ(FailureNumber([&] { Rename(At("app\\zz.txt"), At("app\\c.txt")); }), kErrFileNotFound);
  EXPECT_EQ(FailureNumber([&] { MakeDirectory(At("a\\b\\")); }), kErrPathNotFound);
  EXPECT_EQ(FailureNumber([&] { MakeDirectory(At("full")); }), kErrPathFileAccess);
  EXPECT_EQ(FailureNumber([&] { RemoveDirectory(At("full\\")); }), kErrPathFileAccess);
  EXPECT_EQ(FailureNumber([&] { RemoveDirectory(At("zz\\")); }), kErrPathNotFound);
  EXPECT_EQ(FailureNumber([&] { ReadFile(At("none")); }), kErrFileNotFound);
  EXPECT_EQ(FailureNumber([&] { WriteFile(At("no\\n.bin"), "x"); }), kErrPathNotFound);
  EXPECT_EQ(dir_.Read("app/locked.txt"), "old");
  EXPECT_EQ(dir_.Read("pkg/a.txt"), "new");
  EXPECT_EQ(dir_.Read("app/b.txt"), "b");
}

TEST_F(FileOpsTest, DeleteRenameFoldersAndWholeFilesWork) {
  dir_.Write("app/a.tmp", "");
  dir_.Write("app/b.TMP", "");
  dir_.Write("app/c.txt", "c");
  DeleteFile(At("app\\*.tmp"));
  EXPECT_FALSE(dir_.Exists("app/a.tmp") || dir_.Exists("app/b.TMP"));
  EXPECT_EQ(FailureNumber([&] { DeleteFile(At("app\\*.tmp")); }), kErrFileNotFound);
  MakeDirectory(At("old\\"));
  Rename(At("app\\c.txt"), At("old\\c.old"));
  Rename(At("old\\c.old"), At("old\\C.OLD"));
  EXPECT_EQ(dir_.Read("old/C.OLD"), "c");
  DeleteFile(At("old\\C.OLD"));
  RemoveDirectory(At("OLD\\"));
  EXPECT_FALSE(dir_.Exists("old"));
  WriteFile(At("n.bin"), std::string("a\0b", 3));
  EXPECT_EQ(ReadFile(At("N.BIN")), std::string("a\0b", 3));
}

using Names = std::vector<std::string>;
constexpr ListKind kFiles = ListKind::kPlainFiles;
constexpr ListKind kAll = ListKind::kWithDirectories;

class ListingTest : public FileOpsTest {
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
  Names ListNames(std::string_view relative, ListKind kind) const {
    Names names;
    for (const DirEntry& entry : List(At(relative), kind)) {
      names.push_back(entry.name + (entry.is_directory ? "\\" : ""));
    }
    return names;
  }
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

// FileExists asks the listing (the updater's rows), IsFile the path itself (the INI and XML
// stores, which must not write through a link to nowhere).
TEST_F(ListingTest, FileExistsFindsPlainFilesCaseBlindWhereIsFileAsksThePathItself) {
  ASSERT_EQ(symlink(dir_.Native("App/gone").c_str(), dir_.Native("App/dangling").c_str()), 0);
  EXPECT_TRUE(FileExists(At("app\\KRMAIN.EXE")));
  for (const char* path : {"App\\File", "App\\sub.mdb\\", "App\\.hidden", "App\\missing"}) {
    EXPECT_FALSE(FileExists(At(path))) << path;
  }
  EXPECT_TRUE(FileExists(At("App\\dangling")));
  EXPECT_FALSE(Attributes(At("App\\dangling")).IsFile());
  EXPECT_TRUE(Attributes(At("App\\.hidden")).IsFile());
  EXPECT_FALSE(Attributes(At("app\\file")).IsFile());
}

TEST_F(ListingTest, PathsResolveCaseBlindAndAttributesTellFoldersReadOnlyAndHidden) {
  dir_.Write("平成30年度/ＡＢＣ.txt", "x");
  EXPECT_EQ(NativePath(At("app\\file\\")), dir_.Native("App/File/"));
  EXPECT_EQ(NativePath(At("APP\\KRMAIN.EXE")), dir_.Native("App/KrMain.exe"));
  EXPECT_EQ(NativePath(At("app\\New\\Thing.txt")), dir_.Native("App/New/Thing.txt"));
  EXPECT_EQ(NativePath(At("平成30年度\\ａｂｃ.TXT")), dir_.Native("平成30年度/ＡＢＣ.txt"));
  EXPECT_EQ(NativePath("relative\\x"), "relative/x");
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
