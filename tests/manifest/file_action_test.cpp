// The manifest run: its values, routines and end message, the file actions of "Bootstrap Files"
// lines, the folder trees they copy and remove, and the shortcuts the list file asks for.
#include <algorithm>
#include <filesystem>

#include "tests/manifest/manifest_fixture.h"

namespace kr::manifest::test {
namespace {

class RecordingRegistry : public RoutineRegistry {
 public:
  bool Run(std::string_view name, std::string_view argument, RunContext&, ui::Ui& ui) override {
    if (name == "Broken") throw Failure::Runtime(kErrInternal, "routine failed");
    if (!name.starts_with("Update")) return false;
    calls.push_back(std::string(name) + "|" + std::string(argument) + "|" + ui.WaitLabel(1));
    return true;
  }
  std::vector<std::string> calls;  // name|argument|caption
};

class RunManifestTest : public ManifestTest {
 protected:
  void Manifest(std::string_view text) { package_.Write("KrInst.ini", testing::ToCp932(text)); }
  ManifestOutcome Run(bool unload = true) { return RunManifest(run_, ui_, routines_, unload); }
  RecordingRegistry routines_;
};

TEST(ManifestValuesTest, ValuesSplitAtEveryCommaAndVersionTextGoesToTwoModelRanges) {
  using Values = std::vector<std::string>;
  EXPECT_EQ(ParseManifestValues("File1=a.dll,$(AppPath)\\,DLL"),
            (Values{"a.dll", "$(AppPath)\\", "DLL"}));
  EXPECT_EQ(ParseManifestValues("k=a=b, c ,,"), (Values{"a=b", " c ", "", ""}));
  EXPECT_EQ(ParseManifestValues("no equals,x"), (Values{"no equals", "x"}));
  EXPECT_EQ(VersionTextStatement(2019, "it's"),
            "UPDATE Environ SET SetName='2019,it's' WHERE ID=61;");
  for (int model : {10, 99, 320, 399}) EXPECT_TRUE(CarriesVersionText(model)) << model;
  for (int model : {9, 100, 319, 400}) EXPECT_FALSE(CarriesVersionText(model)) << model;
}

TEST_F(RunManifestTest, EmptyInstallFolderShowsAndChangesNothing) {
  Manifest("[Bootstrap Files]\r\nF=a.txt,$(AppPath)\\,\r\n");
  package_.Write("a.txt", "a");
  run_.install_folder.clear();
  EXPECT_FALSE(Run().ran);
  EXPECT_FALSE(ui_.wait_shown);
}

TEST_F(RunManifestTest, MissingManifestRunsNothingAndEndsWithTheCompletionMessage) {
  ManifestOutcome outcome = Run(true);
  EXPECT_TRUE(outcome.ran);
  EXPECT_FALSE(outcome.errors());
  EXPECT_EQ(ui_.wait_title, "更新テスト");
  EXPECT_EQ(ui_.labels[0], "アップデートが完了しました。");
  EXPECT_EQ(ui_.labels[1], "");
  EXPECT_TRUE(ui_.wait_ok_enabled && ui_.wait_unloaded);
  EXPECT_FALSE(ui_.busy);
}

TEST_F(RunManifestTest, AfterTheDialogTheWaitDialogStaysWithItsOwnEndMessage) {
  Manifest("[Bootstrap]\r\nDispEndMsg=完了\r\nDispEndErrMsg=\r\n");
  Run(false);
  EXPECT_EQ(ui_.labels[0], "完了");
  EXPECT_FALSE(ui_.wait_unloaded);
}

TEST_F(RunManifestTest, KeywordFieldKeepsItsCommasAndShortLinesAreSkipped) {
  install_.Write("KelmoraSetting.xml", "<?xml version=\"1.0\"?><Root/>");
  Manifest(
      "[Bootstrap Files]\r\nX=s.xml,$(AppPath)\\,PutXmlSetting;Sec;Key;a,b\r\n"
      "Short=two.txt,$(AppPath)\\\r\nDup=d.txt,$(AppPath)\\,\r\nDup=e.txt,$(AppPath)\\,\r\n");
  for (const char* name : {"two.txt", "d.txt", "e.txt"}) package_.Write(name, name);
  EXPECT_FALSE(Run().errors());
  EXPECT_EQ(support::GetXmlSetting(InstallPath("KelmoraSetting.xml"), "Sec", "Key"), "a,b");
  EXPECT_FALSE(install_.Exists("two.txt"));
  EXPECT_TRUE(install_.Exists("d.txt") && install_.Exists("e.txt"));
}

TEST_F(RunManifestTest, AfterRoutinesRunInOrderWithTheirCaptionsAndArguments) {
  Manifest(
      "[Function]\r\nA=Update1,after,年度データ更新中...,15\r\nB=Update2,BEFORE,skipped\r\n"
      "C=Update3,AFTER\r\nD=Update4\r\nE=Unknown,AFTER,Unknown caption\r\n"
      "F=Broken,AFTER,broken\r\nG=Update5,AFTER,,x\r\n");
  ManifestOutcome outcome = Run();
  // No caption leaves the last one; an empty one clears it.
  EXPECT_EQ(routines_.calls,
            (std::vector<std::string>{"Update1|15|年度データ更新中...",
                                      "Update3||年度データ更新中...", "Update5|x|"}));
  // A failing routine never turns the end message into the error message.
  EXPECT_FALSE(outcome.errors());
  EXPECT_EQ(ui_.labels[0], "アップデートが完了しました。");
}

TEST_F(RunManifestTest, RunAndWaitWaitsWhateverTheExitCodeAndFailsSilently) {
  install_.Write("slow", "#!/bin/sh\nsleep 0.2\necho done > \"$(dirname \"$0\")/out\"\nexit 7\n");
  std::filesystem::permissions(install_.Native("slow"), std::filesystem::perms::owner_all);
  EXPECT_TRUE(RunAndWait(ui_, InstallPath("slow"), 0));
  EXPECT_EQ(install_.Read("out"), "done\n");
  EXPECT_GT(ui_.pumped, 0);
  EXPECT_FALSE(RunAndWait(ui_, InstallPath("none.exe") + " /RegServer", 0));
  EXPECT_TRUE(ui_.boxes.empty());
}

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

namespace fs = std::filesystem;

class ShortcutTest : public ManifestTest {
 protected:
  // Writes the list file (code page 932) into the install folder and returns its path.
  std::string List(std::string_view text) {
    install_.Write("InstList.ini", testing::ToCp932(text));
    return InstallPath("InstList.ini");
  }
  bool Programs(std::string_view relative) { return Exists("Programs/", relative); }
  bool Desktop(std::string_view relative) { return Exists("Desktop/", relative); }
  bool Exists(std::string folder, std::string_view relative) {
    return sandbox_.root().Exists(folder + std::string(relative));
  }
  static constexpr std::string_view kFailed = "ショートカットの作成に失敗しました";
};

std::string Fields(const ShellLinkEntry& e) {
  return std::to_string(e.kind) + "|" + std::to_string(e.number) + "|" +
         std::to_string(e.byte_value) + "|" + e.folder_name + "|" + e.link_name + "|" +
         e.link_path + "|" + e.link_arguments + "|" + std::to_string(e.is_private) + "|" +
         e.parent + "|" + std::to_string(e.flags);
}

TEST_F(ShortcutTest, OnlyExactShellLinkLinesCountAndCommentsAreCut) {
  std::string list = List(
      "' shortcuts of the application\r\n\r\n"
      "shelllink,1,0,0,Lower,,,,,$(Programs),0\r\n"
      "ShellLink,2,1.5,7,ケルモラ\\Tools,ケルモラ,#InstPath#Kr.exe,/a,x,$(Programs),3 ' note\r\n"
      "ShellLink,1,0,0,Ten,fields,,,,$(Programs)\r\n"
      "ShellLink,1,0,0,Cut'Here,,,,,$(Programs),0\r\n"
      "Other,1,0,0,X,,,,,$(Programs),0\r\n"
      "ShellLink, 2.5 ,0,0,F,L,P,A,,$(Programs), 1.5\r\n");
  std::vector<ShellLinkEntry> entries;
  ASSERT_TRUE(ReadShellLinkList(ui_, list, entries));
  // Ten fields, and a line the apostrophe cut to five, still take their places as empty entries.
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(Fields(entries[0]),
            "2|1.500000|7|ケルモラ\\Tools|ケルモラ|#InstPath#Kr.exe|/a|1|$(Programs)|3");
  EXPECT_EQ(Fields(entries[1]), Fields(ShellLinkEntry{}));
  EXPECT_EQ(Fields(entries[2]), Fields(ShellLinkEntry{}));
  EXPECT_EQ(entries[3].kind, 2);  // numbers round half to even, blanks allowed
  EXPECT_EQ(entries[3].flags, 2);
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ShortcutTest, UnreadableListsShowTheirMessageAndFail) {
  std::vector<ShellLinkEntry> entries;
  EXPECT_FALSE(ReadShellLinkList(ui_, InstallPath("none.ini"), entries));
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].title, "確認メッセージ");
  EXPECT_EQ(ui_.boxes[0].text, std::string(kFailed) + "。 InstList.ini\r\n\r\n" +
                                   std::string(RuntimeErrorDescription(kErrFileNotFound)));
  const std::pair<std::string, int> cases[] = {
      {"ShellLink,x,0,0,F,L,P,A,,$(Programs),1", kErrTypeMismatch},
      {"ShellLink,,0,0,F,L,P,A,,$(Programs),1", kErrTypeMismatch},
      {"ShellLink,2,0,256,F,L,P,A,,$(Programs),1", kErrOverflow},
      {"ShellLink,40000,0,0,F,L,P,A,,$(Programs),1", kErrOverflow},
      {"ShellLink,2,0,0,F,L,P,A,,$(Programs),-1", kErrOverflow},
  };
  for (const auto& [line, number] : cases) {
    ui_.boxes.clear();
    EXPECT_FALSE(ReadShellLinkList(ui_, List(line), entries)) << line;
    ASSERT_EQ(ui_.boxes.size(), 1u) << line;
    EXPECT_TRUE(ui_.boxes[0].text.ends_with(RuntimeErrorDescription(number))) << line;
  }
}

TEST_F(ShortcutTest, InstPathIsTheListFilesFolderAndWinPathTheWindowsFolder) {
  std::string list = InstallPath("Sub\\InstList.ini");
  EXPECT_EQ(ExpandLinkMacros(run_, list, "#InstPath#a.exe #InstPath#b"),
            InstallPath("Sub\\a.exe ") + InstallPath("Sub\\b"));
  EXPECT_EQ(ExpandLinkMacros(run_, list, "#WinPath#x"), support::GetWindowsFolder(run_) + "x");
  EXPECT_EQ(ExpandLinkMacros(run_, list, "#instpath#"), "#instpath#");
}

TEST_F(ShortcutTest, FoldersGetEveryMissingLevelAndFlags2CopiesOnlyAnExistingShortcut) {
  fs::create_directories(fs::path(sandbox_.programs()) / "Kelm");
  sandbox_.root().Write("Programs/G/Old.desktop", "[Desktop Entry]\n");
  RepairShortcut(run_, ui_,
                 List("ShellLink,1,0,0,Kelm\\Tools\\Deep,,,,,$(Programs),0\r\n"
                      "ShellLink,2,0,0,G,Old,#InstPath#None.exe,,,$(Programs),2\r\n"
                      "ShellLink,2,0,0,G,Absent,#InstPath#None.exe,,,$(Programs),2\r\n"));
  EXPECT_TRUE(Programs("Kelm/Tools/Deep"));
  EXPECT_EQ(sandbox_.root().Read("Desktop/Old.desktop"), "[Desktop Entry]\n");
  EXPECT_FALSE(Desktop("Absent.desktop"));
  EXPECT_TRUE(ui_.boxes.empty());
}

// The CLI run covers model 50; the other editions get another folder or none.
TEST_F(ShortcutTest, UninstallShortcutFollowsTheEditionAndYear) {
  run_.exe_year = 2015;
  run_.inst_model = 150;
  RepairShortcut(run_, ui_, List("' nothing listed\r\n"));
  EXPECT_TRUE(fs::is_empty(sandbox_.programs()));
  run_.inst_model = 350;
  RepairShortcut(run_, ui_, List(""));
  EXPECT_TRUE(Programs("Kelm2015D/ユーティリティ/アンインストール.desktop"));
}

TEST_F(ShortcutTest, TheFirstFailureShowsTheMessageAndEndsTheRepair) {
  install_.Write("Kr.exe", "program");
  run_.inst_model = 50;
  RepairShortcut(run_, ui_,
                 List("ShellLink,2,0,0,G,Bad,#InstPath#Kr.exe,,,$(Nowhere),1\r\n"
                      "ShellLink,1,0,0,After,,,,,$(Programs),0\r\n"));
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, std::string(kFailed) + "\r\n\r\n");
  EXPECT_EQ(ui_.boxes[0].title, "確認メッセージ");
  EXPECT_FALSE(Programs("After"));
  EXPECT_FALSE(Programs("Kelm0"));  // no uninstall shortcut either
  sandbox_.root().Write("Programs/Taken", "a file where the folder should go");
  RepairShortcut(run_, ui_, List("ShellLink,1,0,0,Taken\\Sub,,,,,$(Programs),0"));
  ASSERT_EQ(ui_.boxes.size(), 2u);
  EXPECT_TRUE(ui_.boxes[1].text.starts_with(std::string(kFailed) + "\r\n\r\n"));
  EXPECT_GT(ui_.boxes[1].text.size(), kFailed.size() + 4);  // with the failure's description
}

TEST_F(ShortcutTest, DesktopShortcutFailuresAreSilent) {
  std::filesystem::remove_all(sandbox_.desktop());
  CreateDesktopShortcut(InstallPath("Kr.exe"), "1", "X");
  EXPECT_FALSE(Desktop("X.desktop"));
  EXPECT_TRUE(ui_.boxes.empty());
}

}  // namespace
}  // namespace kr::manifest::test
