#include <algorithm>

#include "tests/manifest/manifest_fixture.h"

namespace kr::manifest::test {
namespace {

using FolderTreeTest = ManifestTest;
using Names = std::vector<std::string>;

TEST_F(FolderTreeTest, PathMacrosAreReplacedExactlyAndAFolderSeparatorAdded) {
  run_.install_folder = "C:\\App\\  ";
  EXPECT_EQ(ExpandPathMacros(run_, "$(AppPath)\\File\\"), "C:\\App\\File\\");
  EXPECT_EQ(run_.install_folder, "C:\\App\\");  // computing AppPath trims the install folder
  EXPECT_EQ(ExpandPathMacros(run_, "$(AppPath)File\\"), "C:\\AppFile\\");
  EXPECT_EQ(ExpandPathMacros(run_, "$(AppPath)\\Help"), "C:\\App\\Help\\");
  EXPECT_EQ(ExpandPathMacros(run_, "$(WinSysPath)"), support::GetSystemFolder(run_));
  EXPECT_EQ(ExpandPathMacros(run_, "$(WinPath)\\Fonts"),
            support::GetWindowsFolder(run_) + "Fonts\\");
  EXPECT_EQ(ExpandPathMacros(run_, "$(apppath)\\x"), "$(apppath)\\x\\");
  EXPECT_EQ(ExpandPathMacros(run_, ""), "");
  EXPECT_EQ(ExpandPathMacros(run_, "D:/Data/"), "D:/Data/");
}

TEST_F(FolderTreeTest, CopyClearsTheDestinationsFilesButKeepsItsFolders) {
  package().Write("Help/a.htm", "a");
  install().Write("Help/extra.htm", "x");
  install().Write("Help/Keep/k.txt", "k");
  CopyFolderTree(ui_, package().folder() + "Help\\*.*", InstallPath("Help\\"), false, true);
  EXPECT_EQ(install().Read("Help/a.htm"), "a");
  EXPECT_FALSE(install().Exists("Help/extra.htm"));
  EXPECT_TRUE(install().Exists("Help/Keep/k.txt"));
  EXPECT_EQ(ui_.progress, Names{"a.htmをインストール中..."});
}

TEST_F(FolderTreeTest, RecursiveCopyWithAPatternEntersOnlyMatchingFolders) {
  package().Write("Data/a.mdb", "a");
  package().Write("Data/b.txt", "b");
  package().Write("Data/Old.mdb/c.mdb", "c");
  package().Write("Data/Sub/d.mdb", "d");
  CopyFolderTree(ui_, package().folder() + "Data\\*.mdb", InstallPath("Data\\"), true, false);
  EXPECT_TRUE(install().Exists("Data/a.mdb"));
  EXPECT_FALSE(install().Exists("Data/b.txt"));
  EXPECT_TRUE(install().Exists("Data/Old.mdb/c.mdb"));
  EXPECT_FALSE(install().Exists("Data/Sub"));
  EXPECT_TRUE(ui_.progress.empty());
}

TEST_F(FolderTreeTest, EachLevelShowsItsOwnFailureButARecursingLevelLosesItsFileFailures) {
  package().Write("Top/a.txt", "a");
  package().Write("Top/Sub/b.txt", "b");
  package().Write("Top/Sub/c.txt", "c");
  env_.Fail("CopyFile", "a.txt", kErrDiskFull);
  env_.Fail("CopyFile", "b.txt", kErrPermissionDenied);
  CopyFolderTree(ui_, package().folder() + "Top\\*.*", InstallPath("Top\\"), true, false);
  ASSERT_EQ(ui_.boxes.size(), 1u);  // the top level recursed, which cleared its failure
  EXPECT_EQ(ui_.boxes[0].text, RuntimeErrorDescription(kErrPermissionDenied));
  EXPECT_EQ(ui_.boxes[0].title, "エラーメッセージ");
  EXPECT_EQ(ui_.boxes[0].icon, ui::Icon::kCritical);
  EXPECT_TRUE(install().Exists("Top/Sub/c.txt"));
  CopyFolderTree(ui_, package().folder() + "Top\\*.*", InstallPath("No\\Such\\"), false, false);
  EXPECT_EQ(ui_.boxes.size(), 2u);
}

TEST_F(FolderTreeTest, DeleteLeavesAMissingFolderAloneAndShowsEachLevelItCannotRemove) {
  DeleteFolderTree(ui_, InstallPath("Missing\\"));
  EXPECT_TRUE(ui_.boxes.empty());
  install().Write("Old/Sub/.hidden", "h");
  install().Write("Old/Sub/x.txt", "x");
  install().Write("Old/y.txt", "y");
  DeleteFolderTree(ui_, InstallPath("Old\\"));
  EXPECT_EQ(ui_.boxes.size(), 2u);  // Sub cannot be removed, so Old cannot either
  EXPECT_FALSE(install().Exists("Old/Sub/x.txt"));
  EXPECT_FALSE(install().Exists("Old/y.txt"));
  EXPECT_TRUE(install().Exists("Old/Sub/.hidden"));
}

TEST_F(FolderTreeTest, SubfolderListsStartWithAnEmptyEntryOrHoldOnlyOne) {
  install().MakeDirs("File/平成22年度");
  install().MakeDirs("File/2019年度");
  install().Write("File/KrSet.mdb", "x");
  Names folders = ListSubfolders(InstallPath("File"));
  ASSERT_EQ(folders.size(), 3u);
  std::sort(folders.begin() + 1, folders.end());  // entry 0 must stay the empty one
  EXPECT_EQ(folders, (Names{"", "2019年度\\", "平成22年度\\"}));
  Names names = ListSubfolderNames(InstallPath("File\\"));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Names{"2019年度", "平成22年度"}));
  EXPECT_EQ(ListSubfolders(InstallPath("File\\平成22年度")), Names{""});
  EXPECT_EQ(ListSubfolderNames(InstallPath("File\\平成22年度")), Names{""});
  EXPECT_EQ(ListSubfolderNames(InstallPath("Missing")), Names{""});
}

}  // namespace
}  // namespace kr::manifest::test
