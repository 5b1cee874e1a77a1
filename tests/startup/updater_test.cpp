#include <filesystem>

#include "tests/startup/startup_fixture.h"

namespace kr::startup::test {
namespace {

class UpdaterTest : public StartupTest {
 protected:
  UpdaterTest() : updater_(ui_, routines_) {}

  // A package (in folder package) for edition TN, year 2019, installing note.txt; the
  // application installed in App with this update day in the common data folder's settings.
  void Package(std::string_view package = "Pkg", std::string_view update_day = "2020/04/07") {
    Ini(std::string(package) + "/KrInst.ini",
        "[Bootstrap]\r\nExeName=Kr.exe\r\nExeYear=2019\r\nInstModel=50\r\n"
        "DispDlgCaption=ケルモラ更新\r\n[Bootstrap Files]\r\nF=note.txt,$(AppPath)\\,\r\n");
    sandbox_.root().Write(std::string(package) + "/note.txt", "note");
    sandbox_.root().Write("App/Kr.exe", "program");
    Ini("ProgramData/Kelmora/KrTN2000.ini",
        "[TN2019]\r\nInstPath=" + Folder("App") + "\r\nUpdateDay=" + std::string(update_day));
  }
  void Main() { updater_.Main("\"" + sandbox_.root().Native("Pkg") + "\""); }

  Updater updater_;
};

TEST_F(UpdaterTest, UpdateDayTodayWithTheProgramInPlaceRunsUnattended) {
  Package();
  Main();
  EXPECT_EQ(updater_.outcome(), Outcome::kFinished);
  EXPECT_EQ(sandbox_.root().Read("App/note.txt"), "note");
  EXPECT_EQ(ui_.wait_title, "ケルモラ更新");
  EXPECT_TRUE(ui_.wait_unloaded);
  EXPECT_FALSE(ui_.dialog);
  EXPECT_EQ(updater_.run().run_stamp, "202004071530");
  EXPECT_EQ(updater_.run().exe_year, 2019);
  EXPECT_EQ(updater_.run().inst_model, 50);
}

TEST_F(UpdaterTest, AnotherDayOpensTheDialogWithTheFoundFolder) {
  Package("Pkg", "2020/04/06");
  Main();
  ASSERT_TRUE(ui_.dialog);
  EXPECT_TRUE(ui_.dialog->shown);
  EXPECT_EQ(ui_.dialog->folder_text, Folder("App"));
  EXPECT_EQ(updater_.outcome(), Outcome::kPending);

  ui_.dialog->handler.OnCancel();
  EXPECT_EQ(updater_.outcome(), Outcome::kNotRun);
  EXPECT_FALSE(sandbox_.root().Exists("App/note.txt"));
}

TEST_F(UpdaterTest, MissingProgramOpensTheDialogEvenOnTheUpdateDay) {
  Package();
  std::filesystem::rename(sandbox_.root().Native("App/Kr.exe"), sandbox_.root().Native("App/x"));
  Main();
  EXPECT_TRUE(ui_.dialog);
}

TEST_F(UpdaterTest, TestMarkerRedirectsToTheTestSubFolder) {
  Package("Pkg/TEST");
  sandbox_.root().Write("Pkg/_Test", "");
  Main();
  EXPECT_EQ(updater_.run().package_folder, Folder("Pkg") + "TEST\\");
  EXPECT_EQ(sandbox_.root().Read("App/note.txt"), "note");
}

TEST_F(UpdaterTest, YearThatDoesNotFitSixteenBitsStaysZero) {
  Ini("Pkg/KrInst.ini", "[Bootstrap]\r\nExeYear=70000\r\nInstModel=250\r\n");
  Main();
  EXPECT_EQ(updater_.run().exe_year, 0);
  EXPECT_EQ(updater_.run().inst_model, 250);
}

TEST_F(UpdaterTest, SecondCopyShowsACriticalMessageAndDoesNothing) {
  auto held = platform::InstanceGuard::Acquire(kInstanceGuardName);
  ASSERT_TRUE(held);
  Main();
  EXPECT_EQ(updater_.outcome(), Outcome::kAlreadyRunning);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "既に起動されています。");
  EXPECT_EQ(ui_.boxes[0].icon, ui::Icon::kCritical);
  EXPECT_FALSE(ui_.dialog);
}

}  // namespace
}  // namespace kr::startup::test
