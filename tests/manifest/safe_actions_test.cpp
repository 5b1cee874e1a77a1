// File actions interrupted by a killed process or a failing disk, reruns in the same minute, and
// folder trees holding symbolic links.
#include <cerrno>
#include <filesystem>

#include "db/db.h"
#include "tests/manifest/manifest_fixture.h"
#include "tests/testing/database_faults.h"

namespace kr::manifest::test {
namespace {

namespace fs = std::filesystem;

class SafeActionTest : public ManifestTest {
 protected:
  bool NoTemporaries() const {
    return testing::LeftoverTemporaries(install_.path()).empty() &&
           testing::LeftoverTemporaries(outside_.path()).empty();
  }

  // A database of 400 long rows in table T, Name 'a...' (or name), at an install-relative path.
  std::string MakeManyRows(std::string_view relative, char name = 'a') {
    const std::string path = InstallPath(relative);
    db::Database made = db::engine::CreateDatabase(path, db::DatabasePassword());
    made.Execute("CREATE TABLE T (ID LONG, Name TEXT(200))");
    made.BeginTrans();
    for (int i = 0; i < 400; ++i) {
      made.Execute("INSERT INTO T (ID, Name) VALUES (" + std::to_string(i) + ", '" +
                   std::string(150, name) + "')");
    }
    made.CommitTrans();
    made.Close();
    return path;
  }
  // Leaves the database in the middle of a commit that changes every row, its process killed.
  static void LeaveHalfCommitted(const std::string& path) {
    ASSERT_TRUE(testing::KillAtDatabaseWrite(
        [&] { db::OpenAppDatabase(path).Execute("UPDATE T SET Name = 'changed'"); }, 3));
  }
  // Rows of T whose Name is text, in a whole database.
  static int Count(const std::string& path, std::string_view name) {
    db::Database database = db::OpenAppDatabase(path);
    EXPECT_EQ(database.CheckFile(), std::vector<std::string>{});
    db::Recordset rows =
        database.OpenRecordset("SELECT COUNT(*) FROM T WHERE Name = '" + std::string(name) + "'");
    int count = rows.Fields()[0].GetValue().ToLong();
    rows.Close();
    database.Close();
    return count;
  }

  testing::TempDir outside_;  // a folder outside the installation
  const std::string old_ = "old program " + std::string(100000, 'o');
  const std::string new_ = "new program " + std::string(100000, 'n');
};

TEST_F(SafeActionTest, SaveOldKilledAnywhereNeverLeavesTheProgramMissingAndARerunKeepsTheOriginal) {
  package_.Write("KrMain.exe", new_);
  int points = testing::ForEachCrashPoint(
      [&] {
        install_.Write("KrMain.exe", old_);
        fs::remove(install_.Native("KrMain202004071530.old"));
      },
      [&] { Apply("KrMain.exe", "SAVEOLD"); },
      [&](int n, bool killed) {
        ASSERT_TRUE(install_.Exists("KrMain.exe")) << "killed at step " << n;
        std::string program = install_.Read("KrMain.exe");
        EXPECT_TRUE(program == old_ || program == new_) << "killed at step " << n;
        if (install_.Exists("KrMain202004071530.old")) {
          EXPECT_EQ(install_.Read("KrMain202004071530.old"), old_) << "killed at step " << n;
        }
        if (!killed) return;
        // The same update started again within the minute.
        EXPECT_EQ(Apply("KrMain.exe", "SAVEOLD"), "");
        EXPECT_EQ(install_.Read("KrMain.exe"), new_) << "killed at step " << n;
        EXPECT_EQ(install_.Read("KrMain202004071530.old"), old_) << "killed at step " << n;
        EXPECT_TRUE(NoTemporaries());
      });
  EXPECT_GE(points, 10);  // two whole copies
}

TEST_F(SafeActionTest, SaveOldWhoseNewProgramCannotBeWrittenKeepsTheOldOneBesideItsBackup) {
  package_.Write("KrMain.exe", new_);
  install_.Write("KrMain.exe", old_);
  env_.FailCopy("\\KrMain.exe", kErrDiskFull);
  std::string shown = platform::NativePath(InstallPath("KrMain.exe"));
  EXPECT_EQ(Apply("KrMain.exe", "SAVEOLD"), shown + "\r\nエラー番号=61\r\nエラー内容=" +
                                                std::string(RuntimeErrorDescription(kErrDiskFull)) +
                                                "\r\n\r\n");
  EXPECT_EQ(install_.Read("KrMain.exe"), old_);
  EXPECT_EQ(install_.Read("KrMain202004071530.old"), old_);
}

TEST_F(SafeActionTest, ACopyFailingHalfwayOnAFullDiskLeavesTheInstalledFileWhole) {
  package_.Write("Readme.txt", new_);
  install_.Write("Readme.txt", old_);
  platform::ScopedFaultHook full_disk([](platform::DiskStep step, std::string_view) {
    return step == platform::DiskStep::kWrite ? ENOSPC : 0;
  });
  EXPECT_NE(Apply("Readme.txt", ""), "");
  EXPECT_EQ(install_.Read("Readme.txt"), old_);
  EXPECT_TRUE(NoTemporaries());
}

TEST_F(SafeActionTest, BackupOldRerunInTheSameMinuteKeepsTheBackupOfTheFileBeforeTheUpdate) {
  install_.Write("File/KrSet.mdb", "as the user had it");
  EXPECT_EQ(Apply("KrSet.mdb", "BACKUPOLD", "File\\"), "");
  install_.Write("File/KrSet.mdb", "updated by the first run");
  EXPECT_EQ(Apply("KrSet.mdb", "BACKUPOLD", "File\\"), "");
  EXPECT_EQ(install_.Read("File/KrSet202004071530.old"), "as the user had it");
  // Interrupted before the update, the rerun backs up the same bytes again.
  install_.Write("File/KrSet.mdb", "as the user had it");
  EXPECT_EQ(Apply("KrSet.mdb", "BACKUPOLD", "File\\"), "");
  EXPECT_EQ(install_.Read("File/KrSet202004071530.old"), "as the user had it");
  // A backup whose file has gone since is the only copy: it stays.
  fs::remove(install_.Native("File/KrSet.mdb"));
  EXPECT_EQ(Apply("KrSet.mdb", "BACKUPOLD", "File\\"), "");
  EXPECT_EQ(install_.Read("File/KrSet202004071530.old"), "as the user had it");
}

TEST_F(SafeActionTest, BackupOldOfADatabaseARunLeftHalfCommittedHoldsItsLastCommittedRows) {
  install_.MakeDirs("File");
  LeaveHalfCommitted(MakeManyRows("File\\KrSet.mdb"));
  EXPECT_EQ(Apply("KrSet.mdb", "BACKUPOLD", "File\\"), "");
  EXPECT_EQ(Count(InstallPath("File\\KrSet202004071530.old"), std::string(150, 'a')), 400);
}

TEST_F(SafeActionTest, ADatabaseInstalledOverOneLeftHalfCommittedIsThePackagesWhole) {
  install_.MakeDirs("File");
  LeaveHalfCommitted(MakeManyRows("File\\KrVal.mdb"));
  LeaveHalfCommitted(MakeManyRows("KrVal.mdb"));  // for the SAVEOLD line
  std::string package = package_.folder() + "KrVal.mdb";
  db::engine::CreateDatabase(package, db::DatabasePassword()).Close();
  {
    db::Database made = db::OpenAppDatabase(package);
    made.Execute("CREATE TABLE T (ID LONG, Name TEXT(200))");
    made.Execute("INSERT INTO T (ID, Name) VALUES (1, 'new')");
    made.Close();
  }
  EXPECT_EQ(Apply("KrVal.mdb", "", "File\\"), "");
  EXPECT_EQ(Count(InstallPath("File\\KrVal.mdb"), "new"), 1);
  EXPECT_EQ(Apply("KrVal.mdb", "SAVEOLD"), "");
  EXPECT_EQ(Count(InstallPath("KrVal.mdb"), "new"), 1);
  EXPECT_EQ(Count(InstallPath("KrVal202004071530.old"), std::string(150, 'a')), 400);
}

TEST_F(SafeActionTest, DatabaseBackupKilledAnywhereLeavesNoPartialBackupForTheRerunToKeep) {
  install_.Write("File/KrVal.mdb", old_);
  const std::string backup = "File/KrVal202004071530.old";
  testing::ForEachCrashPoint([&] { fs::remove(install_.Native(backup)); },
                             [&] { db::BackupDatabase(run_, InstallPath("File\\KrVal.mdb")); },
                             [&](int n, bool) {
                               if (install_.Exists(backup)) {
                                 EXPECT_EQ(install_.Read(backup), old_) << "step " << n;
                               }
                               db::BackupDatabase(run_, InstallPath("File\\KrVal.mdb"));
                               EXPECT_EQ(install_.Read(backup), old_) << "killed at step " << n;
                               EXPECT_TRUE(NoTemporaries());
                             });
}

TEST_F(SafeActionTest, PutXmlSettingKilledOrOnAFullDiskLeavesTheSettingsFileWhole) {
  const std::string before =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root><表紙><色>青</色></表紙></Root>\n";
  install_.Write("KelmoraSetting.xml", before);
  EXPECT_EQ(Apply("x", "PUTXMLSETTING;表紙;消費税表示;税込"), "");
  const std::string after = install_.Read("KelmoraSetting.xml");
  ASSERT_NE(after.find("税込"), std::string::npos);

  install_.Write("KelmoraSetting.xml", before);
  {
    platform::ScopedFaultHook full_disk([](platform::DiskStep step, std::string_view) {
      return step == platform::DiskStep::kWrite ? ENOSPC : 0;
    });
    EXPECT_EQ(Apply("x", "PUTXMLSETTING;表紙;消費税表示;税込"), "");  // silent, as the write is
  }
  EXPECT_EQ(install_.Read("KelmoraSetting.xml"), before);

  testing::ForEachCrashPoint([&] { install_.Write("KelmoraSetting.xml", before); },
                             [&] { Apply("x", "PUTXMLSETTING;表紙;消費税表示;税込"); },
                             [&](int n, bool) {
                               std::string now = install_.Read("KelmoraSetting.xml");
                               EXPECT_TRUE(now == before || now == after) << "step " << n;
                             });
  EXPECT_EQ(install_.Read("KelmoraSetting.xml"), after);
  EXPECT_TRUE(NoTemporaries());
}

TEST_F(SafeActionTest, RmdirRemovesLinksToFoldersAsLinksAndNeverEmptiesWhatTheyPointTo) {
  outside_.Write("keep.txt", "keep");
  install_.Write("OldHelp/index.htm", "x");
  install_.Write("OldHelp/Sub/page.htm", "x");
  fs::create_directory_symlink(outside_.path(), install_.Native("OldHelp/Sub/Linked"));
  fs::create_directory_symlink(outside_.path(), install_.Native("Manual"));
  EXPECT_EQ(Apply("OldHelp", "RMDIR", "OldHelp\\"), "");
  EXPECT_EQ(Apply("Manual", "RMDIR", "Manual\\"), "");
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_FALSE(fs::exists(fs::symlink_status(install_.Native("OldHelp"))));
  EXPECT_FALSE(fs::exists(fs::symlink_status(install_.Native("Manual"))));
  EXPECT_EQ(outside_.Read("keep.txt"), "keep");
}

TEST_F(SafeActionTest, TreeCopyNeverFollowsALinkedFolderOfThePackageOrOfTheInstallation) {
  package_.Write("Templates/a.txt", "a");
  package_.Write("Templates/Sub/b.txt", "b");
  package_.Write("Templates/Mine/c.txt", "c");
  fs::create_directory_symlink(package_.Native("Templates"), package_.Native("Templates/Loop"));
  fs::create_directory_symlink(outside_.path(), package_.Native("Templates/Sub/Out"));
  outside_.Write("keep.txt", "keep");
  install_.MakeDirs("Templates");
  fs::create_directory_symlink(outside_.path(), install_.Native("Templates/Mine"));
  EXPECT_EQ(Apply("Templates\\*.*", "FILECOPYSUBDIR", "Templates\\"), "");
  EXPECT_EQ(install_.Read("Templates/a.txt"), "a");
  EXPECT_EQ(install_.Read("Templates/Sub/b.txt"), "b");
  EXPECT_FALSE(install_.Exists("Templates/Loop"));
  EXPECT_FALSE(install_.Exists("Templates/Sub/Out"));
  // The installation's linked folder is not entered: nothing cleared or copied behind it.
  EXPECT_EQ(outside_.Files(), (std::map<std::string, std::string>{{"keep.txt", "keep"}}));
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].title, "エラーメッセージ");
}

}  // namespace
}  // namespace kr::manifest::test
