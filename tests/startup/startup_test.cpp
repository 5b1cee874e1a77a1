// Start-up: run-wide values, the install folder's settings files, unattended run or dialog, and
// refusing packages no trusted key signed as they are.
#include <filesystem>

#include "signing/signing.h"
#include "tests/startup/startup_fixture.h"

namespace kr::startup::test {
namespace {

TEST(EditionCodeTest, ModelRangesGiveTheTwoLetterCodeAndTheRunStampTwelveDigitsOfTheStartMinute) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, "TN"},   {99, "TN"},  {100, "TR"}, {199, "TR"}, {200, ""}, {300, "TW"},
      {399, "TW"}, {400, "TS"}, {499, "TS"}, {500, ""},   {-1, ""},
  };
  for (const auto& [model, code] : cases) EXPECT_EQ(EditionCode(model), code) << model;
  EXPECT_EQ(FormatRunStamp({2021, 12, 31, 0, 5, 59}), "202112310005");
  ScopedNow now("2019-01-02 03:04:05");
  EXPECT_EQ(RunStamp(), "201901020304");
}

TEST(UpdateDayTest, OnlyAYearMonthDayDateOptionallyWithATimeIsADateAndOnlyItsDayCounts) {
  for (std::string_view text :
       {"2020/04/07", "2020-04-07", "2020/4/7", " 2020/4/7 15:30", "2020/04/07 9:05:00"}) {
    EXPECT_EQ(ParseUpdateDay(text), (CalendarDate{2020, 4, 7})) << text;
  }
  EXPECT_EQ(ParseUpdateDay("2020/2/29"), (CalendarDate{2020, 2, 29}));
  for (std::string_view text :
       {"", "today", "2020/04", "2020/13/01", "2019/2/29", "2020/04/31", "2020/04-07", "20/4/7",
        "2020/04/07x", "2020/04/07 25:00", "2020/04/07 10", "2020/004/07", "２０２０/04/07"}) {
    EXPECT_FALSE(ParseUpdateDay(text)) << text;
  }
  const platform::LocalTime now{2020, 4, 7, 23, 59, 0};  // only the calendar day counts
  EXPECT_TRUE(IsToday("2020/04/07 00:00", now));
  EXPECT_FALSE(IsToday("2020/04/06", now));
  EXPECT_FALSE(IsToday("2020/04/08", now));
  EXPECT_FALSE(IsToday("not a date", now));
}

class LookupTest : public StartupTest {
 protected:
  LookupTest() {
    run_.exe_year = 2019;
    run_.inst_model = 50;  // TN
    run_.common_data_folder = support::GetCommonDataFolder(run_);
  }
  // KrTN2000.xml of the common data folder with a [TN2019] entry.
  void Xml(std::string_view install_path, std::string_view update_day) {
    sandbox_.root().Write("ProgramData/Kelmora/KrTN2000.xml",
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root><TN2019><InstPath>" +
                              std::string(install_path) + "</InstPath><UpdateDay>" +
                              std::string(update_day) + "</UpdateDay></TN2019></Root>\n");
  }
  // An install folder holding the program Kr.exe.
  std::string Installed(std::string_view relative) {
    sandbox_.root().Write(std::string(relative) + "/Kr.exe", "program");
    return Folder(relative);
  }
  const platform::LocalTime now_{2020, 4, 7, 15, 30, 0};
};

TEST_F(LookupTest, XmlSourceGivesFolderAndDayAndUnattendedNeedsTodayAndTheProgram) {
  EXPECT_EQ(LookUpInstallFolder(run_), "");  // no source at all
  EXPECT_EQ(run_.install_folder, "");

  const std::string folder = Installed("App");
  Xml(folder, "2020/04/07");
  EXPECT_EQ(LookUpInstallFolder(run_), "2020/04/07");
  EXPECT_EQ(run_.install_folder, folder);
  EXPECT_TRUE(ShouldRunUnattended(run_, "Kr.exe", "2020/04/07", now_));
  EXPECT_FALSE(ShouldRunUnattended(run_, "Kr.exe", "", now_));
  EXPECT_FALSE(ShouldRunUnattended(run_, "Kr.exe", "soon", now_));

  Xml(folder, "");  // the day falls back to the install folder's update file
  Ini("App/Update/UpdateDate.ini", "[TN2019]\r\nUpdateDay=2020/04/06\r\n");
  EXPECT_EQ(LookUpInstallFolder(run_), "2020/04/06");
}

TEST_F(LookupTest, FolderWithoutFilesLetsTheIniSourcesReplaceIt) {
  sandbox_.root().MakeDirs("Empty");
  const std::string folder = Installed("App");
  Xml(Folder("Empty"), "2020/04/01");
  Ini("ProgramData/Kelmora/KrTN2000.ini",
      "[TN2019]\r\nInstPath=" + folder + "\r\nUpdateDay=2020/04/07\r\n");
  EXPECT_EQ(LookUpInstallFolder(run_), "2020/04/07");
  EXPECT_EQ(run_.install_folder, folder);
}

TEST_F(LookupTest, WindowsFolderIsTheLastSourceAndItsUpdateDayReplacesEarlierOnes) {
  sandbox_.root().MakeDirs("Empty");
  Xml(Folder("Empty"), "2020/04/07");
  Ini("Windows/KrTN2000.ini", "[TN2019]\r\nInstPath=" + Folder("Nowhere") + "\r\n");
  EXPECT_EQ(LookUpInstallFolder(run_), "");  // a folder that does not exist is not taken
  EXPECT_EQ(run_.install_folder, Folder("Empty"));

  const std::string folder = Installed("App");
  Ini("Windows/KrTN2000.ini", "[TN2019]\r\nInstPath=" + folder + "\r\nUpdateDay=2020/4/7\r\n");
  EXPECT_EQ(LookUpInstallFolder(run_), "2020/4/7");
  EXPECT_EQ(run_.install_folder, folder);
}

TEST_F(LookupTest, FolderWithoutSeparatorNeverStopsTheSearchNorRunsUnattended) {
  const std::string folder = Installed("App");
  const std::string without = folder.substr(0, folder.size() - 1);
  Ini("ProgramData/Kelmora/KrTN2000.ini",
      "[TN2019]\r\nInstPath=" + without + "\r\nUpdateDay=2020/04/07\r\n");
  EXPECT_EQ(LookUpInstallFolder(run_), "2020/04/07");
  EXPECT_EQ(run_.install_folder, without);
  EXPECT_FALSE(ShouldRunUnattended(run_, "Kr.exe", "2020/04/07", now_));
  Ini("Windows/KrTN2000.ini", "[TN2019]\r\nInstPath=" + Installed("Other") + "\r\n");
  LookUpInstallFolder(run_);
  EXPECT_EQ(run_.install_folder, Folder("Other"));
}

TEST_F(LookupTest, ModelWithoutEditionUsesTheBareFileNameAndTheYearAsSection) {
  run_.inst_model = 250;
  const std::string folder = Installed("App");
  Ini("ProgramData/Kelmora/Kr2000.ini", "[2019]\r\nInstPath=" + folder + "\r\n");
  LookUpInstallFolder(run_);
  EXPECT_EQ(run_.install_folder, folder);
}

class UpdaterTest : public StartupTest {
 protected:
  UpdaterTest() : updater_(ui_, routines_) {}

  void Main() { updater_.Main("\"" + sandbox_.root().Native("Pkg") + "\""); }

  Updater updater_;
};

TEST_F(UpdaterTest, UpdateDayTodayWithTheProgramInPlaceRunsUnattended) {
  UnattendedPackage("Pkg/TEST");
  sandbox_.root().Write("Pkg/_Test", "");  // the marker redirects to the TEST sub-folder
  Main();
  EXPECT_EQ(updater_.outcome(), Outcome::kFinished);
  EXPECT_EQ(updater_.run().package_folder, Folder("Pkg") + "TEST\\");
  EXPECT_EQ(sandbox_.root().Read("App/note.txt"), "note");
  EXPECT_EQ(ui_.wait_title, "ケルモラ更新");
  EXPECT_TRUE(ui_.wait_unloaded);
  EXPECT_FALSE(ui_.dialog);
  EXPECT_EQ(updater_.run().run_stamp, "202004071530");
  EXPECT_EQ(updater_.run().exe_year, 2019);
  EXPECT_EQ(updater_.run().inst_model, 50);
}

TEST_F(UpdaterTest, AnotherDayOpensTheDialogWithTheFoundFolder) {
  UnattendedPackage("Pkg", "2020/04/06");
  Main();
  ASSERT_TRUE(ui_.dialog);
  EXPECT_EQ(ui_.dialog->folder_text, sandbox_.root().Native("App") + "/");
  EXPECT_EQ(updater_.outcome(), Outcome::kPending);

  ui_.dialog->handler.OnCancel();
  EXPECT_EQ(updater_.outcome(), Outcome::kNotRun);
  EXPECT_FALSE(sandbox_.root().Exists("App/note.txt"));
}

TEST_F(UpdaterTest, MissingProgramOpensTheDialogEvenOnTheUpdateDay) {
  UnattendedPackage();
  std::filesystem::rename(sandbox_.root().Native("App/Kr.exe"), sandbox_.root().Native("App/x"));
  Main();
  EXPECT_TRUE(ui_.dialog);
}

TEST_F(UpdaterTest, YearThatDoesNotFitSixteenBitsStaysZero) {
  Ini("Pkg/KrInst.ini", "[Bootstrap]\r\nExeYear=70000\r\n");
  Main();
  EXPECT_EQ(updater_.run().exe_year, 0);
}

TEST_F(UpdaterTest, SecondCopyShowsACriticalMessageAndDoesNothing) {
  auto held = platform::InstanceGuard::Acquire(kInstanceGuardName);
  ASSERT_TRUE(held);
  Main();
  EXPECT_EQ(updater_.outcome(), Outcome::kAlreadyRunning);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "既に起動されています。");
  EXPECT_EQ(ui_.boxes[0].icon, ui::Icon::kCritical);
}

class DialogTest : public StartupTest {
 protected:
  DialogTest() : dialog_(run_, ui_, routines_) {
    run_.package_folder = Folder("Pkg");
    run_.exe_year = 2015;
    Ini("Pkg/KrInst.ini", "[Bootstrap]\r\nExeInitDir=Kelmora\\TN2015\r\n");
  }
  // The folder the dialog proposes when start-up found this one.
  std::string Proposed(std::string found) {
    run_.install_folder = std::move(found);
    dialog_.Show();
    return ui_.dialog->folder_text;
  }

  frmMlDir dialog_;
};

TEST_F(DialogTest, ProposesTheFoundFolderThenOldSettingsThenExeInitDirOnTheRoot) {
  run_.inst_model = 150;
  Ini("Windows/KrTR2000.ini", "[TR2000]\r\nInstPath=/srv/kr\r\n");
  EXPECT_EQ(Proposed("/opt/kelmora/"), "/opt/kelmora/");
  EXPECT_EQ(Proposed(""), "/srv/kr/");  // shown as this machine writes paths
  run_.inst_model = 500;                // no settings file for this model
  EXPECT_EQ(Proposed(""), "/Kelmora/TN2015");
  Ini("Pkg/KrInst.ini", "[Bootstrap]\r\n");
  EXPECT_EQ(Proposed(""), "/");
}

TEST_F(DialogTest, LegacyFileOfTheSameYearWinsOverTheEditionFile) {
  run_.inst_model = 10;
  sandbox_.root().MakeDirs("Earlier");
  sandbox_.root().MakeDirs("Legacy");
  const std::string legacy = Folder("Legacy");
  Ini("Windows/KrTN2000.ini", "[TN2015]\r\nInstPath=/srv/tn2015\\\r\n");
  Ini("Windows/Kelmora.Ini", "\"EXEVERSION\",\"2012.1.0\"\r\n\"EXEPATH\",\"" + legacy + "\"\r\n");
  EXPECT_EQ(dialog_.FindInstallFolder(), "/srv/tn2015\\");

  // The last EXEPATH naming an existing folder counts.
  Ini("Windows/Kelmora.Ini", "ExeVersion , 2015.2.0\r\n\r\n\"EXEPATH\",\"" + Folder("Earlier") +
                                 "\"\r\nEXEPATH2," + legacy + "\r\nEXEPATH3,/no/such/folder\r\n");
  EXPECT_EQ(dialog_.FindInstallFolder(), legacy);

  run_.inst_model = 320;
  Ini("Windows/Kelmora.Ini", "EXEPATH," + sandbox_.root().Native("Legacy") + "\r\n");
  EXPECT_EQ(dialog_.FindInstallFolder(), legacy);
  run_.inst_model = 9;  // outside the legacy ranges: the edition file only
  EXPECT_EQ(dialog_.FindInstallFolder(), "/srv/tn2015\\");
}

TEST_F(DialogTest, EditionFileTableByModel) {
  Ini("Windows/KrTS2000.ini",
      "[TS2000]\r\nInstPath=/ts2000\r\n[TS2008]\r\nInstPath=/ts2008\r\n"
      "[TS2015]\r\nInstPath=/ts2015\r\n");
  Ini("Windows/KrTR99.ini", "[TR99]\r\nInstPath=/tr99\r\n");
  Ini("Windows/KrTV2000.ini", "[TV2000]\r\nInstPath=/tv\r\n");
  Ini("Windows/KrTW2000.ini", "[TW2015]\r\nInstPath=/tw\r\n");
  const std::pair<int32_t, std::string> cases[] = {
      {100, "/tr99\\"},   {250, "/tv\\"},     {300, "/tw\\"}, {400, "/ts2000\\"},
      {412, "/ts2008\\"}, {415, "/ts2015\\"}, {500, ""},      {-3, ""},
  };
  for (const auto& [model, expected] : cases) {
    run_.inst_model = model;
    EXPECT_EQ(dialog_.FindInstallFolder(), expected) << model;
  }
}

class SignedStartupTest : public StartupTest {
 protected:
  SignedStartupTest() : updater_(ui_, routines_) {
    setenv("KR_LOG", log_.c_str(), 1);
    UnattendedPackage();  // without a refusal it installs note.txt at once
  }
  ~SignedStartupTest() override { unsetenv("KR_LOG"); }

  void Trust(const signing::SecretKey& key) {
    sandbox_.root().Write("TrustedKeys/vendor.pub", signing::PublicKeyText(key.public_key));
  }
  void Sign(const signing::SecretKey& key) {
    sandbox_.root().Write("Pkg/KrInst.sig", signing::SignPackage(Folder("Pkg"), key));
  }
  void Main() { updater_.Main("\"" + sandbox_.root().Native("Pkg") + "\""); }
  // Refused with this message, before the lock, the settings and the install folder were used.
  void ExpectRefused(const std::string& message) {
    EXPECT_EQ(updater_.outcome(), Outcome::kRefused);
    ASSERT_EQ(ui_.boxes.size(), 1u);
    EXPECT_EQ(ui_.boxes[0].text, message + "\nこの更新パッケージではアップデートできません。");
    EXPECT_EQ(ui_.boxes[0].title, "メッセージ");
    EXPECT_EQ(ui_.boxes[0].icon, ui::Icon::kCritical);
    EXPECT_FALSE(ui_.wait_shown);
    EXPECT_FALSE(ui_.dialog);
    EXPECT_TRUE(updater_.run().package_folder.empty());
    EXPECT_FALSE(sandbox_.root().Exists("App/note.txt"));
    EXPECT_TRUE(platform::InstanceGuard::Acquire(kInstanceGuardName));
  }
  std::string Log() const { return sandbox_.root().Read("run.log"); }

  std::string log_ = sandbox_.root().Native("run.log");
  signing::SecretKey key_ = signing::GenerateKey();
  Updater updater_;
};

TEST_F(SignedStartupTest, ASignedUnchangedPackageRuns) {
  Trust(key_);
  Sign(key_);
  Main();
  EXPECT_EQ(updater_.outcome(), Outcome::kFinished);
  EXPECT_EQ(sandbox_.root().Read("App/note.txt"), "note");
  EXPECT_NE(Log().find("intact: every file as key " + key_.public_key.Id() + " signed it"),
            std::string::npos);
}

TEST_F(SignedStartupTest, AChangedFileIsRefusedByItsNameAndTheLogNamesEveryChange) {
  Trust(key_);
  Sign(key_);
  Ini("Pkg/KrInst.ini", "[Bootstrap]\r\n");
  sandbox_.root().Write("Pkg/note.txt", "evil");
  sandbox_.root().Write("Pkg/extra.dll", "");
  Main();
  ExpectRefused("更新パッケージに署名の後で変更されたファイルがあります: KrInst.ini（ほか 2 件）");
  for (const char* line : {"changed: KrInst.ini", "changed: note.txt", "added: extra.dll"}) {
    EXPECT_NE(Log().find(line), std::string::npos) << line;
  }
}

TEST_F(SignedStartupTest, TheTestRedirectionIsCoveredByTheSignatureOfTheFolderGiven) {
  Trust(key_);
  sandbox_.root().Write("Pkg/TEST/KrInst.ini", "[Bootstrap]\r\n");
  Sign(key_);
  sandbox_.root().Write("Pkg/_Test", "");
  Main();
  ExpectRefused("更新パッケージに署名されていないファイルがあります: _Test");
}

TEST_F(SignedStartupTest, UnsignedForeignOrDamagedSignaturesAreRefused) {
  Trust(key_);
  Main();
  ExpectRefused("更新パッケージに署名（KrInst.sig）がありません。");

  signing::SecretKey other = signing::GenerateKey();
  Sign(other);
  ui_.boxes.clear();
  Main();
  ExpectRefused("更新パッケージは信頼されていない鍵（" + other.public_key.Id() +
                "）で署名されています。");

  Sign(key_);
  std::string text = sandbox_.root().Read("Pkg/KrInst.sig");
  sandbox_.root().Write("Pkg/KrInst.sig", text.substr(0, text.size() / 2));
  ui_.boxes.clear();
  Main();
  ExpectRefused("更新パッケージの署名（KrInst.sig）が壊れています。");
}

TEST_F(SignedStartupTest, ADamagedTrustedKeyKeepsVerificationOn) {
  Sign(key_);
  sandbox_.root().Write("TrustedKeys/vendor.pub", "# truncated\n");
  Main();
  ExpectRefused("更新パッケージは信頼されていない鍵（" + key_.public_key.Id() +
                "）で署名されています。");
  EXPECT_NE(Log().find("vendor.pub: not a public key file"), std::string::npos) << Log();
}

TEST_F(SignedStartupTest, WithNoKeyTrustedPackagesRunAsBeforeAndTheLogSaysSo) {
  Main();
  EXPECT_EQ(updater_.outcome(), Outcome::kFinished);
  EXPECT_NE(Log().find("not verified: no trusted signing key in " + sandbox_.trusted_keys()),
            std::string::npos)
      << Log();
}

}  // namespace
}  // namespace kr::startup::test
