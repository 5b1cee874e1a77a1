#include <filesystem>

#include "tests/manifest/manifest_fixture.h"

namespace kr::manifest::test {
namespace {

class FileActionTest : public ManifestTest {
 protected:
  std::string Apply(std::string_view file, std::string_view keyword) {
    std::string field(keyword);
    return ApplyFileAction(run_, ui_, file, install_.folder(), support::UpperCase(field), field);
  }
  std::string Block(std::string_view name, int number) {
    return install_.folder() + std::string(name) + "\r\nエラー番号=" + std::to_string(number) +
           "\r\nエラー内容=" + std::string(RuntimeErrorDescription(number)) + "\r\n\r\n";
  }
};

TEST_F(FileActionTest, PlainCopyInstallsThePackageFileUnderItsOwnName) {
  package().Write("bin/app.exe", "new");
  install().Write("app.exe", "old");
  EXPECT_EQ(Apply("bin\\app.exe", ""), "");
  EXPECT_EQ(install().Read("app.exe"), "new");
  EXPECT_EQ(ui_.progress.back(), "app.exeをインストール中...");
}

TEST_F(FileActionTest, MissingSourceReportsTheCopyInAnErrorBlock) {
  EXPECT_EQ(Apply("missing.dll", ""), Block("missing.dll", kErrFileNotFound));
}

TEST_F(FileActionTest, SaveOldKeepsTheOldFileUnderTheDatedBackupName) {
  package().Write("KrVal.mdb", "new");
  install().Write("KrVal.mdb", "old");
  EXPECT_EQ(Apply("KrVal.mdb", "SAVEOLD"), "");
  EXPECT_EQ(install().Read("KrVal.mdb"), "new");
  EXPECT_EQ(install().Read("KrVal202004071530.old"), "old");

  // A second run in the same minute replaces the first run's backup.
  package().Write("KrVal.mdb", "newer");
  EXPECT_EQ(Apply("KrVal.mdb", "saveold"), "");
  EXPECT_EQ(install().Read("KrVal202004071530.old"), "new");
  EXPECT_EQ(install().Read("KrVal.mdb"), "newer");
}

TEST_F(FileActionTest, SaveOldFailureOfTheRenameIsReportedEvenThoughTheCopySucceeds) {
  package().Write("a.exe", "new");
  install().Write("a.exe", "old");
  env_.Fail("Rename", "a202004071530.old", kErrPathFileAccess);
  EXPECT_EQ(Apply("a.exe", "SAVEOLD"), Block("a.exe", kErrPathFileAccess));
  EXPECT_EQ(install().Read("a.exe"), "new");
}

TEST_F(FileActionTest, NotOverwriteLeavesAnExistingFileAndInstallsAMissingOne) {
  package().Write("user.ini", "package");
  install().Write("user.ini", "user");
  EXPECT_EQ(Apply("user.ini", "NOTOVERWRITE"), "");
  EXPECT_EQ(install().Read("user.ini"), "user");

  package().Write("fresh.ini", "package");
  EXPECT_EQ(Apply("fresh.ini", "NOTOVERWRITE"), "");
  EXPECT_EQ(install().Read("fresh.ini"), "package");
}

TEST_F(FileActionTest, BackupOldCopiesTheInstalledFileAndInstallsNothing) {
  package().Write("KrSet.mdb", "package");
  install().Write("KrSet.mdb", "installed");
  EXPECT_EQ(Apply("KrSet.mdb", "BACKUPOLD"), "");
  EXPECT_EQ(install().Read("KrSet.mdb"), "installed");
  EXPECT_EQ(install().Read("KrSet202004071530.old"), "installed");
  EXPECT_EQ(ui_.progress.back(), "ファイルコピー中...");
}

TEST_F(FileActionTest, BackupOldReportsAFailedBackupCopy) {
  install().Write("KrSet.mdb", "installed");
  env_.Fail("CopyFile", "KrSet202004071530.old", kErrDiskFull);
  EXPECT_EQ(Apply("KrSet.mdb", "BACKUPOLD"), Block("KrSet.mdb", kErrDiskFull));
}

TEST_F(FileActionTest, DeleteRemovesTheTargetAndNeedsNoPackageFile) {
  install().Write("old.dll", "x");
  EXPECT_EQ(Apply("old.dll", "DELETE"), "");
  EXPECT_FALSE(install().Exists("old.dll"));
  EXPECT_EQ(ui_.progress.back(), "old.dllを削除中...");

  ui_.progress.clear();
  EXPECT_EQ(Apply("old.dll", "DELETE"), "");  // already gone: nothing shown, nothing reported
  EXPECT_TRUE(ui_.progress.empty());
}

TEST_F(FileActionTest, DeleteFailureIsReported) {
  install().Write("locked.dll", "x");
  env_.Fail("DeleteFile", "locked.dll");
  EXPECT_EQ(Apply("locked.dll", "DELETE"), Block("locked.dll", kErrPermissionDenied));
}

TEST_F(FileActionTest, RmdirRemovesTheDestinationTree) {
  install().Write("Old/a.txt", "a");
  install().Write("Old/Sub/b.txt", "b");
  std::string field = "RMDIR";
  EXPECT_EQ(ApplyFileAction(run_, ui_, "x", InstallPath("Old\\"), field, field), "");
  EXPECT_FALSE(install().Exists("Old"));
}

TEST_F(FileActionTest, RmdirFailuresShowTheirBoxButNeverReachTheErrorText) {
  install().Write("Old/a.txt", "a");
  env_.Fail("DeleteFile", "a.txt");
  std::string field = "RMDIR";
  EXPECT_EQ(ApplyFileAction(run_, ui_, "x", InstallPath("Old\\"), field, field), "");
  EXPECT_FALSE(ui_.boxes.empty());
}

TEST_F(FileActionTest, WildcardCopiesTheTopFolderOnlyUnlessFileCopySubdir) {
  package().Write("Help/a.htm", "a");
  package().Write("Help/Img/b.png", "b");
  std::string none;
  std::string dest = InstallPath("Help\\");
  EXPECT_EQ(ApplyFileAction(run_, ui_, "Help\\*.*", dest, none, none), "");
  EXPECT_TRUE(install().Exists("Help/a.htm"));
  EXPECT_FALSE(install().Exists("Help/Img"));

  std::string sub = "FILECOPYSUBDIR";
  EXPECT_EQ(ApplyFileAction(run_, ui_, "Help\\*.*", dest, sub, sub), "");
  EXPECT_EQ(install().Read("Help/Img/b.png"), "b");
}

TEST_F(FileActionTest, TableKeywordsNeverFallThroughToTheWildcardOrPlainCopy) {
  package().Write("Data/x.mdb", "x");
  package().Write("KrSource.mdb", "x");
  for (std::string keyword :
       {"TABLE;T1", "TABLE(OPENCHK)", "TABLECOPY;T1", "TABLECOPYVERSION;T1;2018,1,1"}) {
    // The table rows may report their database steps; they never copy the files.
    Apply("Data\\*.*", keyword);
    Apply("KrSource.mdb", keyword);
  }
  EXPECT_FALSE(install().Exists("x.mdb"));
  EXPECT_FALSE(install().Exists("KrSource.mdb"));
}

TEST_F(FileActionTest, KeywordIsComparedExactlySoATrailingBlankFallsThroughToThePlainCopy) {
  package().Write("x.dll", "x");
  EXPECT_EQ(Apply("x.dll", "DELETE "), "");
  EXPECT_TRUE(install().Exists("x.dll"));
}

TEST_F(FileActionTest, PutXmlSettingWritesSectionKeyAndValueAsWritten) {
  install().Write(
      "KelmoraSetting.xml",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root><表紙><A>1</A></表紙></Root>\n");
  std::string field = "PutXmlSetting;表紙;Title;Abc";
  EXPECT_EQ(ApplyFileAction(run_, ui_, "x", install().folder(), support::UpperCase(field), field),
            "");
  EXPECT_EQ(support::GetXmlSetting(InstallPath("KelmoraSetting.xml"), "表紙", "Title"), "Abc");
}

TEST_F(FileActionTest, PutXmlSettingWithoutItsArgumentsGivesAnErrorBlock) {
  EXPECT_EQ(Apply("x", "PUTXMLSETTING"), Block("x", kErrSubscript));
  EXPECT_EQ(Apply("x", "PUTXMLSETTING;Section;Key"), Block("x", kErrSubscript));
}

TEST_F(FileActionTest, EmptyFileCreatesTheDestinationFolderOneLevelOnly) {
  std::string none;
  EXPECT_EQ(ApplyFileAction(run_, ui_, "", InstallPath("New\\"), none, none), "");
  EXPECT_TRUE(std::filesystem::is_directory(install().Native("New")));

  std::string result = ApplyFileAction(run_, ui_, "", InstallPath("A\\B\\"), none, none);
  EXPECT_EQ(result, InstallPath("A\\B\\") + "\r\nエラー番号=76\r\nエラー内容=" +
                        std::string(RuntimeErrorDescription(kErrPathNotFound)) + "\r\n\r\n");
}

// Stand-in registration program: records its arguments.
class RegistrationTest : public FileActionTest {
 protected:
  void SetUp() override {
    std::string script = sandbox_.system() + "/Regsvr32";
    sandbox_.root().Write("Windows/System32/Regsvr32",
                          "#!/bin/sh\necho \"$@\" >> \"$(dirname \"$0\")/registered.txt\"\n"
                          "exit 3\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  }
  std::string Registered() { return sandbox_.root().Read("Windows/System32/registered.txt"); }
};

TEST_F(RegistrationTest, DllIsInstalledThenRegisteredWithTheSystemTool) {
  package().Write("sub/x.dll", "dll");
  EXPECT_EQ(Apply("sub\\x.dll", "dll"), "");  // lower case works; the tool's exit code is ignored
  EXPECT_EQ(install().Read("x.dll"), "dll");
  // The command line is handed over unchanged: the path as the updater wrote it, unquoted.
  EXPECT_EQ(Registered(), "/sOptions " + install().folder() + "x.dll\n");
  EXPECT_EQ(ui_.progress.back(), install().folder() + "x.dllをインストール中...");
}

TEST_F(RegistrationTest, CopyFailureBeforeRegistrationIsNotReported) {
  package().Write("x.ocx", "ocx");
  env_.Fail("CopyFile", "x.ocx");
  EXPECT_EQ(Apply("x.ocx", "OCX"), "");
}

// EXECHECKVERSION against program files carrying a version resource.
class ExeCheckVersionTest : public FileActionTest {
 protected:
  void InstallFixture(std::string_view fixture) {
    std::filesystem::copy_file(PeFixture(fixture), install().Native("app.exe"),
                               std::filesystem::copy_options::overwrite_existing);
  }
  static std::string PeFixture(std::string_view name) {
    return testing::BuiltProgram("tests/fixtures/pe/" + std::string(name));
  }
  void SetUp() override {
    if (!std::filesystem::exists(PeFixture("app-2.0.0.83.exe"))) {
      GTEST_SKIP() << "PE fixtures not built";
    }
    package().Write("app.exe", "package");
  }
};

TEST_F(ExeCheckVersionTest, NewerOrEqualInstalledProgramIsKept) {
  InstallFixture("app-2.0.1.0.exe");  // 2.0.0 in its three-part form
  EXPECT_EQ(Apply("app.exe", "EXECHECKVERSION;2.0.0"), "");
  EXPECT_NE(install().Read("app.exe"), "package");
}

TEST_F(ExeCheckVersionTest, OlderInstalledProgramIsReplaced) {
  InstallFixture("app-1.9.0.9.exe");
  EXPECT_EQ(Apply("app.exe", "EXECHECKVERSION;2.0.0"), "");
  EXPECT_EQ(install().Read("app.exe"), "package");
}

TEST_F(ExeCheckVersionTest, MissingProgramIsCopiedAndNoRequiredVersionKeepsAnExistingOne) {
  EXPECT_EQ(Apply("app.exe", "EXECHECKVERSION;2.0.0"), "");
  EXPECT_EQ(install().Read("app.exe"), "package");
  InstallFixture("app-1.9.0.9.exe");
  EXPECT_EQ(Apply("app.exe", "EXECHECKVERSION"), "");
  EXPECT_NE(install().Read("app.exe"), "package");
}

TEST_F(ExeCheckVersionTest, FileWithoutVersionResourceCountsAsOlder) {
  install().Write("app.exe", "not a program");
  EXPECT_EQ(Apply("app.exe", "EXECHECKVERSION;1.0.0"), "");
  EXPECT_EQ(install().Read("app.exe"), "package");
}

}  // namespace
}  // namespace kr::manifest::test
