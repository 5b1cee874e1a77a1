// A sandbox with the settings folders, a fake user interface, no routines and the run clock
// stopped at 2020-04-07 15:30.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#include "startup/startup.h"
#include "tests/testing/fake_ui.h"
#include "tests/testing/testing.h"

namespace kr::startup::test {

// Stops the run clock (KR_NOW) at a time for the lifetime of the object.
struct ScopedNow {
  explicit ScopedNow(const char* now) { setenv("KR_NOW", now, 1); }
  ~ScopedNow() { unsetenv("KR_NOW"); }
};

class StartupTest : public ::testing::Test {
 protected:
  // An INI file in code page 932 at a sandbox-relative path.
  void Ini(std::string_view relative, std::string_view text) {
    sandbox_.root().Write(relative, testing::ToCp932(text));
  }
  // An unattended package in Pkg (or a folder below it) for edition TN, year 2019, installing
  // note.txt into App, which holds the program Kr.exe and which the settings name with this
  // update day.
  void UnattendedPackage(std::string_view package = "Pkg",
                         std::string_view update_day = "2020/04/07") {
    Ini(std::string(package) + "/KrInst.ini",
        "[Bootstrap]\r\nExeName=Kr.exe\r\nExeYear=2019\r\nInstModel=50\r\n"
        "DispDlgCaption=ケルモラ更新\r\n[Bootstrap Files]\r\nF=note.txt,$(AppPath)\\,\r\n");
    sandbox_.root().Write(std::string(package) + "/note.txt", "note");
    sandbox_.root().Write("App/Kr.exe", "program");
    Ini("ProgramData/Kelmora/KrTN2000.ini",
        "[TN2019]\r\nInstPath=" + Folder("App") + "\r\nUpdateDay=" + std::string(update_day));
  }
  // A sandbox folder as an updater folder (trailing "\").
  std::string Folder(std::string_view relative) const {
    return sandbox_.root().Native(relative) + "\\";
  }

  testing::SandboxedFolders sandbox_;
  ScopedNow now_{"2020-04-07 15:30"};
  testing::FakeUi ui_;
  testing::NoRoutines routines_;
  RunContext run_;
};

}  // namespace kr::startup::test
