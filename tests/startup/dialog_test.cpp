// The folder frmMlDir proposes, and the old settings files FindInstallFolder reads.
#include "tests/startup/startup_fixture.h"

namespace kr::startup::test {
namespace {

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
  EXPECT_EQ(Proposed(""), "/srv/kr\\");
  run_.inst_model = 500;  // no settings file for this model
  EXPECT_EQ(Proposed(""), "/Kelmora\\TN2015");
  Ini("Pkg/KrInst.ini", "[Bootstrap]\r\n");
  EXPECT_EQ(Proposed(""), "/");
}

TEST_F(DialogTest, LegacyFileOfTheSameYearWinsOverTheEditionFile) {
  run_.inst_model = 50;
  sandbox_.root().MakeDirs("Legacy");
  const std::string legacy = Folder("Legacy");
  Ini("Windows/KrTN2000.ini", "[TN2015]\r\nInstPath=/srv/tn2015\\\r\n");
  Ini("Windows/Kelmora.Ini", "\"EXEVERSION\",\"2012.1.0\"\r\n\"EXEPATH\",\"" + legacy + "\"\r\n");
  EXPECT_EQ(dialog_.FindInstallFolder(), "/srv/tn2015\\");

  // The last EXEPATH naming an existing folder counts.
  Ini("Windows/Kelmora.Ini", "ExeVersion , 2015.2.0\r\n\r\n\"EXEPATH\",\"" + legacy +
                                 "\"\r\nEXEPATH2,/no/such/folder\r\n");
  EXPECT_EQ(dialog_.FindInstallFolder(), legacy);

  run_.inst_model = 350;
  Ini("Windows/Kelmora.Ini", "EXEPATH," + sandbox_.root().Native("Legacy") + "\r\n");
  EXPECT_EQ(dialog_.FindInstallFolder(), legacy);
  run_.inst_model = 5;  // outside the legacy ranges: the edition file only
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

}  // namespace
}  // namespace kr::startup::test
