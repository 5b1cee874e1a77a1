// File actions of "Bootstrap Files" lines and the folder trees they copy and remove.
#include <algorithm>
#include <filesystem>

#include "tests/manifest/manifest_fixture.h"

namespace kr::manifest::test {
namespace {

class FileActionTest : public ManifestTest {
 protected:
  // The block names the file as this machine writes paths.
  std::string Block(std::string_view name, int number) {
    std::string shown = InstallPath(name);
    std::replace(shown.begin(), shown.end(), '\\', '/');
    return shown + "\r\nエラー番号=" + std::to_string(number) +
           "\r\nエラー内容=" + std::string(RuntimeErrorDescription(number)) + "\r\n\r\n";
  }
};

TEST_F(FileActionTest, AFailingStepGivesOneErrorBlockWhileTheRestOfTheLineStillApplies) {
  package_.Write("a.exe", "new");
  install_.Write("a.exe", "old");
  install_.Write("KrSet.mdb", "installed");
  install_.Write("locked.dll", "x");
  platform::CurrentEnv().SetReadOnly(InstallPath("locked.dll"), true);
  install_.MakeDirs("a202004071530.old");  // the backup name is taken
  env_.FailCopy("KrSet202004071530.old", kErrDiskFull);
  EXPECT_EQ(Apply("missing.dll", ""), Block("missing.dll", kErrFileNotFound));
  EXPECT_EQ(Apply("a.exe", "SAVEOLD"), Block("a.exe", kErrFileExists));
  EXPECT_EQ(install_.Read("a.exe"), "new");
  EXPECT_EQ(Apply("KrSet.mdb", "BACKUPOLD"), Block("KrSet.mdb", kErrDiskFull));
  EXPECT_EQ(Apply("locked.dll", "DELETE"), Block("locked.dll", kErrPathFileAccess));
  EXPECT_EQ(Apply("x", "PUTXMLSETTING"), Block("x", kErrSubscript));
  EXPECT_EQ(Apply("x", "PUTXMLSETTING;Section;Key"), Block("x", kErrSubscript));
  EXPECT_EQ(Apply("", "", "A\\B\\"), Block("A\\B\\", kErrPathNotFound));  // one level only
  EXPECT_EQ(Apply("", "", "New\\"), "");
  EXPECT_TRUE(std::filesystem::is_directory(install_.Native("New")));
}

TEST_F(FileActionTest, FailuresInsideCalledOperationsNeverReachTheErrorText) {
  install_.Write("Old/a.txt", "a");
  package_.Write("x.ocx", "ocx");
  platform::CurrentEnv().SetReadOnly(InstallPath("Old\\a.txt"), true);
  env_.FailCopy("x.ocx");
  EXPECT_EQ(Apply("x", "RMDIR", "Old\\"), "");
  EXPECT_EQ(ui_.boxes.size(), 1u);       // RMDIR shows its own box
  EXPECT_EQ(Apply("x.ocx", "OCX"), "");  // the registration that follows clears the failure
}

TEST_F(FileActionTest, SaveOldBacksUpUnderTheStemAndASecondRunInTheSameMinuteKeepsTheFirstBackup) {
  package_.Write("KrVal.2019.mdb", "new");
  install_.Write("KrVal.2019.mdb", "old");
  EXPECT_EQ(Apply("KrVal.2019.mdb", "SAVEOLD"), "");
  EXPECT_EQ(install_.Read("KrVal202004071530.old"), "old");
  EXPECT_EQ(install_.Read("KrVal.2019.mdb"), "new");
  // The backup differs from what would replace it: it is the only copy of the old file left.
  package_.Write("KrVal.2019.mdb", "newer");
  EXPECT_EQ(Apply("KrVal.2019.mdb", "saveold"), "");
  EXPECT_EQ(install_.Read("KrVal202004071530.old"), "old");
  EXPECT_EQ(install_.Read("KrVal.2019.mdb"), "newer");
}

TEST_F(FileActionTest, NotOverwriteInstallsAMissingFileBackupOldNothingAndDeleteOnlyWhatIsThere) {
  package_.Write("fresh.ini", "package");
  package_.Write("KrSet.mdb", "package");
  install_.Write("KrSet.mdb", "installed");
  EXPECT_EQ(Apply("old.dll", "DELETE"), "");
  EXPECT_TRUE(ui_.progress.empty());  // a file already gone is not even announced
  EXPECT_EQ(Apply("fresh.ini", "NOTOVERWRITE"), "");
  EXPECT_EQ(install_.Read("fresh.ini"), "package");
  EXPECT_EQ(Apply("KrSet.mdb", "BACKUPOLD"), "");
  EXPECT_EQ(install_.Read("KrSet.mdb"), "installed");
  EXPECT_EQ(ui_.progress.back(), "ファイルコピー中...");
}

TEST_F(FileActionTest, KeywordsAreComparedExactlyAndTableRowsNeverCopyFiles) {
  package_.Write("Data/x.mdb", "x");
  package_.Write("x.dll", "x");
  for (std::string keyword :
       {"TABLE;T1", "TABLE(OPENCHK)", "TABLECOPY;T1", "TABLECOPYVERSION;T1;2018,1,1"}) {
    Apply("Data\\*.*", keyword);  // may report database steps, never copies
    Apply("Data\\x.mdb", keyword);
  }
  EXPECT_FALSE(install_.Exists("x.mdb"));
  EXPECT_EQ(Apply("x.dll", "DELETE "), "");  // a trailing blank falls through to the plain copy
  EXPECT_TRUE(install_.Exists("x.dll"));
}

TEST_F(FileActionTest, TableCopyVersionWithoutSourceOrYearAsksToCheckTheArgumentsAndGoesOn) {
  EXPECT_EQ(Apply("File\\KrCri.mdb", "TABLECOPYVERSION;Cri;;Code|KrCri2019Src.mdb"), "");
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "引数を確認してください");
  EXPECT_EQ(ui_.boxes[0].title, run_.title);
  EXPECT_EQ(ui_.boxes[0].icon, ui::Icon::kNone);
  // Complete arguments naming a database the package lacks: nothing to say.
  EXPECT_EQ(Apply("File\\KrCri.mdb", "TABLECOPYVERSION;Cri;;Code|KrCri2019Src.mdb|2019|1|3"), "");
  EXPECT_EQ(ui_.boxes.size(), 1u);
}

// The CLI run covers an older and a newer program; these are the remaining cases.
TEST_F(FileActionTest,
       ExeCheckVersionKeepsAProgramWithoutRequiredVersionAndReplacesAnUnversionedOne) {
  const std::string fixture = testing::BuiltProgram("tests/fixtures/pe/app-1.9.0.9.exe");
  if (!std::filesystem::exists(fixture)) GTEST_SKIP() << "PE fixtures not built";
  package_.Write("app.exe", "package");
  std::filesystem::copy_file(fixture, install_.Native("app.exe"));
  EXPECT_EQ(Apply("app.exe", "EXECHECKVERSION"), "");
  EXPECT_NE(install_.Read("app.exe"), "package");
  install_.Write("app.exe", "not a program");
  EXPECT_EQ(Apply("app.exe", "EXECHECKVERSION;1.0.0"), "");
  EXPECT_EQ(install_.Read("app.exe"), "package");
}

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
  package_.Write("Help/a.htm", "a");
  install_.Write("Help/extra.htm", "x");
  install_.Write("Help/Keep/k.txt", "k");
  CopyFolderTree(ui_, package_.folder() + "Help\\*.*", InstallPath("Help\\"), false, true);
  EXPECT_EQ(install_.Read("Help/a.htm"), "a");
  EXPECT_FALSE(install_.Exists("Help/extra.htm"));
  EXPECT_TRUE(install_.Exists("Help/Keep/k.txt"));
  EXPECT_EQ(ui_.progress, Names{"a.htmをインストール中..."});
}

TEST_F(FolderTreeTest, RecursiveCopyWithAPatternEntersOnlyMatchingFolders) {
  package_.Write("Data/a.mdb", "a");
  package_.Write("Data/b.txt", "b");
  package_.Write("Data/Old.mdb/c.mdb", "c");
  package_.Write("Data/Sub/d.mdb", "d");
  CopyFolderTree(ui_, package_.folder() + "Data\\*.mdb", InstallPath("Data\\"), true, false);
  EXPECT_TRUE(install_.Exists("Data/a.mdb"));
  EXPECT_FALSE(install_.Exists("Data/b.txt"));
  EXPECT_TRUE(install_.Exists("Data/Old.mdb/c.mdb"));
  EXPECT_FALSE(install_.Exists("Data/Sub"));
  EXPECT_TRUE(ui_.progress.empty());
}

TEST_F(FolderTreeTest, EachLevelShowsItsOwnFailureButARecursingLevelLosesItsFileFailures) {
  package_.Write("Top/a.txt", "a");
  package_.Write("Top/Sub/b.txt", "b");
  package_.Write("Top/Sub/c.txt", "c");
  env_.FailCopy("a.txt", kErrDiskFull);
  env_.FailCopy("b.txt", kErrPermissionDenied);
  CopyFolderTree(ui_, package_.folder() + "Top\\*.*", InstallPath("Top\\"), true, false);
  ASSERT_EQ(ui_.boxes.size(), 1u);  // the top level recursed, which cleared its failure
  EXPECT_EQ(ui_.boxes[0].text, RuntimeErrorDescription(kErrPermissionDenied));
  EXPECT_EQ(ui_.boxes[0].title, "エラーメッセージ");
  EXPECT_EQ(ui_.boxes[0].icon, ui::Icon::kCritical);
  EXPECT_TRUE(install_.Exists("Top/Sub/c.txt"));
  CopyFolderTree(ui_, package_.folder() + "Top\\*.*", InstallPath("No\\Such\\"), false, false);
  EXPECT_EQ(ui_.boxes.size(), 2u);
}

TEST_F(FolderTreeTest, DeleteLeavesAMissingFolderAloneAndShowsEachLevelItCannotRemove) {
  DeleteFolderTree(ui_, InstallPath("Missing\\"));
  EXPECT_TRUE(ui_.boxes.empty());
  install_.Write("Old/Sub/.hidden", "h");
  install_.Write("Old/Sub/x.txt", "x");
  install_.Write("Old/y.txt", "y");
  DeleteFolderTree(ui_, InstallPath("Old\\"));
  EXPECT_EQ(ui_.boxes.size(), 2u);  // Sub cannot be removed, so Old cannot either
  EXPECT_FALSE(install_.Exists("Old/Sub/x.txt"));
  EXPECT_FALSE(install_.Exists("Old/y.txt"));
  EXPECT_TRUE(install_.Exists("Old/Sub/.hidden"));
}

TEST_F(FolderTreeTest, SubfolderListsStartWithAnEmptyEntryOrHoldOnlyOne) {
  install_.MakeDirs("File/平成22年度");
  install_.MakeDirs("File/2019年度");
  install_.Write("File/KrSet.mdb", "x");
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
