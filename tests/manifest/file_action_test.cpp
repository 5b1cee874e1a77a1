#include <filesystem>

#include "tests/manifest/manifest_fixture.h"

namespace kr::manifest::test {
namespace {

class FileActionTest : public ManifestTest {
 protected:
  // Applies a line whose destination is the install folder, or a folder below it.
  std::string Apply(std::string_view file, std::string_view keyword,
                    std::string_view destination = "") {
    std::string field(keyword);
    return ApplyFileAction(run_, ui_, file, InstallPath(destination), support::UpperCase(field),
                           field);
  }
  std::string Block(std::string_view name, int number) {
    return InstallPath(name) + "\r\nエラー番号=" + std::to_string(number) +
           "\r\nエラー内容=" + std::string(RuntimeErrorDescription(number)) + "\r\n\r\n";
  }
};

TEST_F(FileActionTest, AFailingStepGivesOneErrorBlockWhileTheRestOfTheLineStillApplies) {
  package().Write("a.exe", "new");
  install().Write("a.exe", "old");
  install().Write("KrSet.mdb", "installed");
  install().Write("locked.dll", "x");
  env_.Fail("Rename", "a202004071530.old", kErrPathFileAccess);
  env_.Fail("CopyFile", "KrSet202004071530.old", kErrDiskFull);
  env_.Fail("DeleteFile", "locked.dll");
  EXPECT_EQ(Apply("missing.dll", ""), Block("missing.dll", kErrFileNotFound));
  EXPECT_EQ(Apply("a.exe", "SAVEOLD"), Block("a.exe", kErrPathFileAccess));
  EXPECT_EQ(install().Read("a.exe"), "new");
  EXPECT_EQ(Apply("KrSet.mdb", "BACKUPOLD"), Block("KrSet.mdb", kErrDiskFull));
  EXPECT_EQ(Apply("locked.dll", "DELETE"), Block("locked.dll", kErrPermissionDenied));
  EXPECT_EQ(Apply("x", "PUTXMLSETTING"), Block("x", kErrSubscript));
  EXPECT_EQ(Apply("x", "PUTXMLSETTING;Section;Key"), Block("x", kErrSubscript));
  EXPECT_EQ(Apply("", "", "A\\B\\"), Block("A\\B\\", kErrPathNotFound));  // one level only
  EXPECT_EQ(Apply("", "", "New\\"), "");
  EXPECT_TRUE(std::filesystem::is_directory(install().Native("New")));
}

TEST_F(FileActionTest, FailuresInsideCalledOperationsNeverReachTheErrorText) {
  install().Write("Old/a.txt", "a");
  package().Write("x.ocx", "ocx");
  env_.Fail("DeleteFile", "a.txt");
  env_.Fail("CopyFile", "x.ocx");
  EXPECT_EQ(Apply("x", "RMDIR", "Old\\"), "");
  EXPECT_EQ(ui_.boxes.size(), 1u);       // RMDIR shows its own box
  EXPECT_EQ(Apply("x.ocx", "OCX"), "");  // the registration that follows clears the failure
}

TEST_F(FileActionTest, SaveOldInTheSameMinuteReplacesTheFirstBackup) {
  package().Write("KrVal.mdb", "new");
  install().Write("KrVal.mdb", "old");
  EXPECT_EQ(Apply("KrVal.mdb", "SAVEOLD"), "");
  package().Write("KrVal.mdb", "newer");
  EXPECT_EQ(Apply("KrVal.mdb", "saveold"), "");
  EXPECT_EQ(install().Read("KrVal202004071530.old"), "new");
  EXPECT_EQ(install().Read("KrVal.mdb"), "newer");
}

TEST_F(FileActionTest, NotOverwriteAndBackupOldInstallOnlyWhereNothingIsInstalled) {
  package().Write("fresh.ini", "package");
  package().Write("KrSet.mdb", "package");
  install().Write("KrSet.mdb", "installed");
  EXPECT_EQ(Apply("fresh.ini", "NOTOVERWRITE"), "");
  EXPECT_EQ(install().Read("fresh.ini"), "package");
  EXPECT_EQ(Apply("KrSet.mdb", "BACKUPOLD"), "");
  EXPECT_EQ(install().Read("KrSet.mdb"), "installed");
  EXPECT_EQ(ui_.progress.back(), "ファイルコピー中...");
}

TEST_F(FileActionTest, DeletingAFileAlreadyGoneShowsAndReportsNothing) {
  EXPECT_EQ(Apply("old.dll", "DELETE"), "");
  EXPECT_TRUE(ui_.progress.empty());
}

TEST_F(FileActionTest, KeywordsAreComparedExactlyAndTableRowsNeverCopyFiles) {
  package().Write("Data/x.mdb", "x");
  package().Write("x.dll", "x");
  for (std::string keyword :
       {"TABLE;T1", "TABLE(OPENCHK)", "TABLECOPY;T1", "TABLECOPYVERSION;T1;2018,1,1"}) {
    Apply("Data\\*.*", keyword);  // may report database steps, never copies
    Apply("Data\\x.mdb", keyword);
  }
  EXPECT_FALSE(install().Exists("x.mdb"));
  EXPECT_EQ(Apply("x.dll", "DELETE "), "");  // a trailing blank falls through to the plain copy
  EXPECT_TRUE(install().Exists("x.dll"));
}

TEST_F(FileActionTest, ExeCheckVersionReplacesOnlyAnOlderOrUnversionedProgram) {
  const std::string fixtures = testing::BuiltProgram("tests/fixtures/pe/");
  if (!std::filesystem::exists(fixtures)) GTEST_SKIP() << "PE fixtures not built";
  package().Write("app.exe", "package");
  const struct {
    const char* installed;  // a PE fixture, text, or nothing
    const char* keyword;
    bool replaced;
  } cases[] = {
      {"app-2.0.1.0.exe", "EXECHECKVERSION;2.0.0", false},  // 2.0.0 in its three-part form
      {"app-1.9.0.9.exe", "EXECHECKVERSION;2.0.0", true},
      {"app-1.9.0.9.exe", "EXECHECKVERSION", false},
      {"not a program", "EXECHECKVERSION;1.0.0", true},
      {nullptr, "EXECHECKVERSION;2.0.0", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.installed ? c.installed : "missing");
    std::filesystem::remove(install().Native("app.exe"));
    if (c.installed && std::string_view(c.installed).ends_with(".exe")) {
      std::filesystem::copy_file(fixtures + c.installed, install().Native("app.exe"));
    } else if (c.installed) {
      install().Write("app.exe", c.installed);
    }
    EXPECT_EQ(Apply("app.exe", c.keyword), "");
    EXPECT_EQ(install().Read("app.exe") == "package", c.replaced);
  }
}

}  // namespace
}  // namespace kr::manifest::test
