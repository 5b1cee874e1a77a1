#include <filesystem>

#include "tests/manifest/manifest_fixture.h"

namespace kr::manifest::test {
namespace {

using FolderTreeTest = ManifestTest;

// --- ExpandPathMacros, ReplaceAll ---------------------------------------------------------------

TEST_F(FolderTreeTest, AppPathIsTheInstallFolderWithoutItsSeparator) {
  run_.install_folder = "C:\\App\\";
  EXPECT_EQ(ExpandPathMacros(run_, "$(AppPath)\\File\\"), "C:\\App\\File\\");
  EXPECT_EQ(ExpandPathMacros(run_, "$(AppPath)File\\"), "C:\\AppFile\\");
  EXPECT_EQ(ExpandPathMacros(run_, "$(AppPath)\\Help"), "C:\\App\\Help\\");
}

TEST_F(FolderTreeTest, ComputingAppPathTrimsTheInstallFolderItself) {
  run_.install_folder = "C:\\App\\  ";
  EXPECT_EQ(ExpandPathMacros(run_, "$(AppPath)\\"), "C:\\App\\");
  EXPECT_EQ(run_.install_folder, "C:\\App\\");
}

TEST_F(FolderTreeTest, WindowsAndSystemMacrosAndTheirExactSpelling) {
  std::string windows = support::GetWindowsFolder(run_);
  std::string system = support::GetSystemFolder(run_);
  EXPECT_EQ(ExpandPathMacros(run_, "$(WinSysPath)"), system);
  EXPECT_EQ(ExpandPathMacros(run_, "$(WinPath)\\Fonts"), windows + "Fonts\\");
  EXPECT_EQ(ExpandPathMacros(run_, "$(apppath)\\x"), "$(apppath)\\x\\");
  EXPECT_EQ(ExpandPathMacros(run_, ""), "");
  EXPECT_EQ(ExpandPathMacros(run_, "D:/Data/"), "D:/Data/");
}

TEST(ReplaceAllTest, ReplacementHoldingTheSearchedTextIsNotRescanned) {
  EXPECT_EQ(support::ReplaceAll("a-a", "a", "aa"), "aa-aa");
  EXPECT_EQ(support::ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(support::ReplaceAll("$(AppPath)$(AppPath)", "$(AppPath)", "C:"), "C:C:");
}

// --- CopyFolderTree -----------------------------------------------------------------------------

TEST_F(FolderTreeTest, CopyClearsTheDestinationsFilesButKeepsItsFolders) {
  package().Write("Help/a.htm", "a");
  install().Write("Help/extra.htm", "x");
  install().Write("Help/Keep/k.txt", "k");
  CopyFolderTree(ui_, package().folder() + "Help\\*.*", InstallPath("Help\\"), false, true);
  EXPECT_EQ(install().Read("Help/a.htm"), "a");
  EXPECT_FALSE(install().Exists("Help/extra.htm"));
  EXPECT_TRUE(install().Exists("Help/Keep/k.txt"));
  EXPECT_EQ(ui_.progress.back(), "a.htmをインストール中...");
  EXPECT_TRUE(ui_.boxes.empty());
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
  EXPECT_TRUE(ui_.progress.empty());  // progress off
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
  EXPECT_TRUE(install().Exists("Top/Sub/c.txt"));  // the rest still applied
}

TEST_F(FolderTreeTest, CopyIntoAFolderWhoseParentIsMissingShowsTheFailure) {
  package().Write("a.txt", "a");
  CopyFolderTree(ui_, package().folder() + "*.*", InstallPath("No\\Such\\"), false, false);
  ASSERT_EQ(ui_.boxes.size(), 1u);
}

// --- DeleteFolderTree ---------------------------------------------------------------------------

TEST_F(FolderTreeTest, DeleteRemovesTheWholeTree) {
  install().Write("Old/a.txt", "a");
  install().Write("Old/S1/S2/b.txt", "b");
  DeleteFolderTree(ui_, InstallPath("Old\\"));
  EXPECT_FALSE(install().Exists("Old"));
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(FolderTreeTest, DeleteOfAMissingFolderDoesNothing) {
  DeleteFolderTree(ui_, InstallPath("Missing\\"));
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(FolderTreeTest, HiddenFileLeftBehindShowsOneBoxPerLevelThatCannotBeRemoved) {
  install().Write("Old/Sub/.hidden", "h");
  install().Write("Old/Sub/x.txt", "x");
  install().Write("Old/y.txt", "y");
  DeleteFolderTree(ui_, InstallPath("Old\\"));
  EXPECT_EQ(ui_.boxes.size(), 2u);  // Sub cannot be removed, so Old cannot either
  EXPECT_FALSE(install().Exists("Old/Sub/x.txt"));
  EXPECT_FALSE(install().Exists("Old/y.txt"));
  EXPECT_TRUE(install().Exists("Old/Sub/.hidden"));
}

// --- ListSubfolders -----------------------------------------------------------------------------

TEST_F(FolderTreeTest, ListSubfoldersStartsWithAnEmptyEntry) {
  install().MakeDirs("File/平成22年度");
  install().MakeDirs("File/2019年度");
  install().Write("File/KrSet.mdb", "x");
  std::vector<std::string> folders = ListSubfolders(InstallPath("File"));
  ASSERT_EQ(folders.size(), 3u);
  EXPECT_EQ(folders[0], "");
  std::vector<std::string> rest(folders.begin() + 1, folders.end());
  std::sort(rest.begin(), rest.end());
  EXPECT_EQ(rest, (std::vector<std::string>{"2019年度\\", "平成22年度\\"}));

  std::vector<std::string> names = ListSubfolderNames(InstallPath("File\\"));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"2019年度", "平成22年度"}));
}

TEST_F(FolderTreeTest, FolderWithoutSubfoldersGivesOnlyTheEmptyEntry) {
  install().Write("Flat/a.txt", "a");
  EXPECT_EQ(ListSubfolders(InstallPath("Flat")), std::vector<std::string>{""});
  EXPECT_EQ(ListSubfolderNames(InstallPath("Flat")), std::vector<std::string>{""});
  EXPECT_EQ(ListSubfolderNames(InstallPath("Missing")), std::vector<std::string>{""});
}

}  // namespace
}  // namespace kr::manifest::test
