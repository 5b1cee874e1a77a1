#include "tests/startup/startup_fixture.h"

namespace kr::startup::test {
namespace {

// frmMlDir with a validation that can be told to refuse.
class TestDialog : public frmMlDir {
 public:
  using frmMlDir::frmMlDir;
  bool refuse = false;
  int checks = 0;

 protected:
  bool CheckInstallFolder() override {
    ++checks;
    return refuse;
  }
};

class DialogTest : public StartupTest {
 protected:
  DialogTest() : dialog_(run_, ui_, routines_) {
    run_.package_folder = Folder("Pkg");
    run_.title = "ケルモラ更新";
    run_.exe_year = 2015;
    Ini("Pkg/KrInst.ini",
        "[Bootstrap]\r\nDispPathCaption=インストール先\r\nDispCommentCaption=説明\r\n"
        "DispCommentCaption2=説明2\r\nExeInitDir=Kelmora\\TN2015\r\n");
  }
  testing::FakeInstallFolderView& View() { return *ui_.dialog; }

  RunContext run_;
  TestDialog dialog_;
};

TEST_F(DialogTest, LoadingShowsTitleCaptionsAndTheFolderStartUpFound) {
  run_.install_folder = "/opt/kelmora/";
  dialog_.Show();
  EXPECT_TRUE(View().shown);
  EXPECT_EQ(View().title, "ケルモラ更新");
  EXPECT_EQ(View().path_caption, "インストール先");
  EXPECT_EQ(View().comment, "説明");
  EXPECT_EQ(View().comment2, "説明2");
  EXPECT_EQ(View().folder_text, "/opt/kelmora/");
}

TEST_F(DialogTest, WithNothingFoundTheDriveRootAndExeInitDirAreProposed) {
  dialog_.Show();
  EXPECT_EQ(View().folder_text, "/Kelmora\\TN2015");
}

TEST_F(DialogTest, WithoutExeInitDirTheRootIsProposed) {
  Ini("Pkg/KrInst.ini", "[Bootstrap]\r\n");
  dialog_.Show();
  EXPECT_EQ(View().folder_text, "/");
  EXPECT_EQ(View().path_caption, "");
}

TEST_F(DialogTest, OldSettingsFilesAreConsultedWhenStartUpFoundNothing) {
  run_.inst_model = 150;
  Ini("Windows/KrTR2000.ini", "[TR2000]\r\nInstPath=/srv/kr\r\n");
  dialog_.Show();
  EXPECT_EQ(View().folder_text, "/srv/kr\\");
}

TEST_F(DialogTest, BrowseStartsAtTheFolderWithoutSeparatorAndAddsOneToTheChoice) {
  run_.install_folder = "/opt/kelmora/";
  dialog_.Show();
  ui_.browse_answer = "/srv/chosen";
  View().handler.OnBrowse();
  ASSERT_EQ(ui_.browse_calls.size(), 1u);
  EXPECT_EQ(ui_.browse_calls[0].first, "探す場所");
  EXPECT_EQ(ui_.browse_calls[0].second, "/opt/kelmora");
  EXPECT_EQ(View().folder_text, "/srv/chosen\\");

  ui_.browse_answer = "";  // cancelled
  View().handler.OnBrowse();
  EXPECT_EQ(View().folder_text, "/srv/chosen\\");
}

TEST_F(DialogTest, OkNormalisesTheFolderThenRunsTheManifest) {
  sandbox_.root().MakeDirs("App");
  dialog_.Show();
  View().folder_text = Folder("App").substr(0, Folder("App").size() - 1) + "  ";
  View().handler.OnOk();
  EXPECT_EQ(dialog_.MlDir(), Folder("App"));
  EXPECT_EQ(View().folder_text, Folder("App"));
  EXPECT_TRUE(View().closed);
  EXPECT_TRUE(dialog_.closed());
  ASSERT_TRUE(dialog_.manifest_outcome());
  EXPECT_TRUE(dialog_.manifest_outcome()->ran);
  EXPECT_EQ(ui_.labels[0], "アップデートが完了しました。");
  EXPECT_FALSE(ui_.wait_unloaded);  // the wait dialog stays with the end message
}

TEST_F(DialogTest, RefusedValidationKeepsTheDialogOpenWithTheNormalisedText) {
  dialog_.refuse = true;
  dialog_.Show();
  View().folder_text = "/srv/app";
  View().handler.OnOk();
  EXPECT_EQ(dialog_.checks, 1);
  EXPECT_EQ(View().folder_text, "/srv/app\\");
  EXPECT_FALSE(View().closed);
  EXPECT_FALSE(dialog_.manifest_outcome());
  EXPECT_FALSE(ui_.wait_shown);

  dialog_.refuse = false;  // another try
  View().handler.OnOk();
  EXPECT_TRUE(View().closed);
}

TEST_F(DialogTest, CancelClearsTheInstallFolderAndRunsNothing) {
  run_.install_folder = "/opt/kelmora/";
  dialog_.Show();
  View().handler.OnCancel();
  EXPECT_EQ(run_.install_folder, "");
  EXPECT_TRUE(dialog_.closed());
  EXPECT_FALSE(dialog_.manifest_outcome());
  EXPECT_FALSE(ui_.wait_shown);
}

// --- FindInstallFolder --------------------------------------------------------------------------

TEST_F(DialogTest, LegacyFileOfAnotherYearIsIgnoredForTheEditionFile) {
  run_.inst_model = 50;
  sandbox_.root().MakeDirs("Legacy");
  Ini("Windows/Kelmora.Ini",
      "\"EXEVERSION\",\"2012.1.0\"\r\n\"EXEPATH\",\"" + Folder("Legacy") + "\"\r\n");
  Ini("Windows/KrTN2000.ini", "[TN2015]\r\nInstPath=/srv/tn2015\\\r\n");
  EXPECT_EQ(dialog_.FindInstallFolder(), "/srv/tn2015\\");
}

TEST_F(DialogTest, LegacyFileOfTheSameYearGivesItsLastExistingExePath) {
  run_.inst_model = 50;
  sandbox_.root().MakeDirs("Legacy");
  std::string legacy = Folder("Legacy");
  Ini("Windows/Kelmora.Ini", "ExeVersion , 2015.2.0\r\n\r\n\"EXEPATH\",\"" + legacy +
                                 "\"\r\nEXEPATH2,/no/such/folder\r\n");
  Ini("Windows/KrTN2000.ini", "[TN2015]\r\nInstPath=/srv/tn2015\\\r\n");
  EXPECT_EQ(dialog_.FindInstallFolder(), legacy);
}

TEST_F(DialogTest, LegacyFileWithoutSeparatorGetsOneAndOtherModelsIgnoreIt) {
  run_.inst_model = 350;
  sandbox_.root().MakeDirs("Legacy");
  std::string legacy = Folder("Legacy");
  Ini("Windows/Kelmora.Ini", "EXEPATH," + legacy.substr(0, legacy.size() - 1) + "\r\n");
  EXPECT_EQ(dialog_.FindInstallFolder(), legacy);

  run_.inst_model = 5;  // outside the legacy ranges: the edition file only
  EXPECT_EQ(dialog_.FindInstallFolder(), "");
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

}  // namespace
}  // namespace kr::startup::test
