// CheckInstallFolder over the manifest's lines: files a running program holds open, and sources
// missing from the package.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "tests/startup/validation_fixture.h"

extern char** environ;

namespace kr::startup::test {
namespace {

// A running program (sleep) that holds a file open as its standard input until destroyed.
class HeldOpen {
 public:
  explicit HeldOpen(const std::string& native_path) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, native_path.c_str(), O_RDONLY, 0);
    char sleep[] = "sleep", seconds[] = "60";
    char* argv[] = {sleep, seconds, nullptr};
    // posix_spawn returns once the child runs sleep, so the file is open by then.
    if (posix_spawnp(&pid_, "sleep", &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~HeldOpen() { End(); }
  bool running() const { return pid_ > 0; }
  void End() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

constexpr std::string_view kInUse = " は現在使用中です。終了してから再度実行して下さい。";
constexpr std::string_view kMissing = " が存在しません。";

class ManifestCheckTest : public ValidationTest {
 protected:
  ManifestCheckTest() {
    sandbox_.root().Write("Pkg/KrMain.exe", "new program");
    sandbox_.root().Write("Pkg/KrComp.dll", "new library");
    sandbox_.root().Write("App/KrMain.exe", "old program");
    sandbox_.root().Write("App/Bin/KrComp.dll", "old library");
  }
};

// --- ChkLoading ---------------------------------------------------------------------------------

TEST_F(ManifestCheckTest, FileHeldOpenByARunningProgramIsInUseAndLeftUnchanged) {
  Package("ChkLoading=1", "F1=KrMain.exe,$(AppPath)\\,\r\nF2=KrComp.dll,$(AppPath)\\Bin,DLL");
  const FolderSnapshot before = Snapshot("App");
  {
    HeldOpen holder(sandbox_.root().Native("App/Bin/KrComp.dll"));
    ASSERT_TRUE(holder.running());
    EXPECT_TRUE(RefusedWith(Folder("App") + "Bin\\KrComp.dll" + std::string(kInUse)));
    EXPECT_FALSE(ui_.dialog->browse_focused);
  }
  EXPECT_EQ(Snapshot("App"), before);
  EXPECT_TRUE(Passes());  // the program has ended
}

TEST_F(ManifestCheckTest, FilesInUseAreNotLookedForWhenTheSwitchIsOff) {
  Package("ChkLoading=0", "F1=KrMain.exe,$(AppPath)\\,");
  HeldOpen holder(sandbox_.root().Native("App/KrMain.exe"));
  ASSERT_TRUE(holder.running());
  EXPECT_TRUE(Passes());
}

TEST_F(ManifestCheckTest, InUseLooksAtTheDestinationByTheSourcesFileName) {
  // The source sits in a sub-folder of the package; the destination holds it by its name.
  sandbox_.root().Write("Pkg/Sub/KrComp.dll", "new library");
  Package("ChkLoading=1", "F1=Sub\\KrComp.dll,$(AppPath)\\Bin\\,");
  HeldOpen holder(sandbox_.root().Native("App/Bin/KrComp.dll"));
  ASSERT_TRUE(holder.running());
  EXPECT_TRUE(RefusedWith(Folder("App") + "Bin\\KrComp.dll" + std::string(kInUse)));
}

TEST_F(ManifestCheckTest, TheSettingsDatabaseReadForItsYearIsNotLeftOpen) {
  Package("ExeName=KrMain.exe\r\nChkExeYear=1\r\nChkLoading=1",
          "F1=KrSet.mdb,$(AppPath)\\File\\,BACKUPOLD");
  SettingsDatabase("2015");
  EXPECT_TRUE(Passes());
}

// --- Sources present ----------------------------------------------------------------------------

TEST_F(ManifestCheckTest, MissingSourceIsRefusedUnlessItsActionNeedsNone) {
  Package("", "F1=KrMain.exe,$(AppPath)\\,\r\nF2=KrOld.exe,$(AppPath)\\,SAVEOLD");
  EXPECT_TRUE(RefusedWith(Folder("Pkg") + "KrOld.exe" + std::string(kMissing)));
  Package("", "F1=KrOld.exe,$(AppPath)\\");  // no keyword at all
  EXPECT_TRUE(RefusedWith(Folder("Pkg") + "KrOld.exe" + std::string(kMissing)));

  for (std::string keyword : {"DELETE", "delete", "Delete;extra", "RMDIR", "TableCopy;PrintSet;;ID",
                              "TABLECOPYVERSION;Cri;;Code|Src.mdb|2019|1|3|TRUE", "REPAIRSHORTCUT",
                              "PutXmlSetting;a;b;c", "BACKUPOLD"}) {
    Package("", "F1=KrOld.exe,$(AppPath)\\," + keyword);
    EXPECT_TRUE(Passes()) << keyword;
  }
  for (std::string keyword : {"TABLE;SpeExe", "TABLE(OPENCHK)", "DLL", " DELETE", "DELETEX"}) {
    Package("", "F1=KrOld.exe,$(AppPath)\\," + keyword);
    EXPECT_TRUE(RefusedWith(Folder("Pkg") + "KrOld.exe" + std::string(kMissing))) << keyword;
  }
}

TEST_F(ManifestCheckTest, SourceInASubFolderIsLookedForDirectlyInThePackage) {
  sandbox_.root().Write("Pkg/Bin/KrView.exe", "viewer");
  Package("", "F1=Bin\\KrView.exe,$(AppPath)\\,");
  EXPECT_TRUE(RefusedWith(Folder("Pkg") + "KrView.exe" + std::string(kMissing)));
  sandbox_.root().Write("Pkg/KrView.exe", "viewer");
  EXPECT_TRUE(Passes());
}

TEST_F(ManifestCheckTest, WildcardAndEmptySourcesAreSkippedByBothChecks) {
  Package("ChkLoading=1",
          "F1=Help\\*.*,$(AppPath)\\,\r\nF2=,$(AppPath)\\Logs,\r\nF3=*.dll,$(AppPath)\\Bin\\,DLL");
  HeldOpen holder(sandbox_.root().Native("App/Bin/KrComp.dll"));
  ASSERT_TRUE(holder.running());
  EXPECT_TRUE(Passes());
}

TEST_F(ManifestCheckTest, MalformedLinesNeitherCrashNorPass) {
  // No "=", no comma, extra commas: values are split as they come, missing ones are empty.
  Package("", "JustAName.dll\r\nF2=Gone.dll\r\nF3=,,,,\r\nF4=KrMain.exe,,,,DELETE");
  EXPECT_TRUE(RefusedWith(Folder("Pkg") + "JustAName.dll" + std::string(kMissing)));
}

}  // namespace
}  // namespace kr::startup::test
