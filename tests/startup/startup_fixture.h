// A sandbox with the settings folders, a fake user interface, no routines and the run clock
// stopped at 2020-04-07 15:30.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "startup/startup.h"
#include "tests/testing/fake_ui.h"
#include "tests/testing/testing.h"

namespace kr::startup::test {

// Stops the run clock (KR_NOW) at a time for the lifetime of the object.
struct ScopedNow {
  explicit ScopedNow(const char* now) { setenv("KR_NOW", now, 1); }
  ~ScopedNow() { unsetenv("KR_NOW"); }
};

class NoRoutines : public manifest::RoutineRegistry {
 public:
  bool Run(std::string_view, std::string_view, RunContext&, ui::Ui&) override { return false; }
};

class StartupTest : public ::testing::Test {
 protected:
  // An INI file in code page 932 at a sandbox-relative path.
  void Ini(std::string_view relative, std::string_view text) {
    sandbox_.root().Write(relative, testing::ToCp932(text));
  }
  // A sandbox folder as an updater folder (trailing "\").
  std::string Folder(std::string_view relative) const {
    return sandbox_.root().Native(relative) + "\\";
  }

  testing::SandboxedFolders sandbox_;
  ScopedNow now_{"2020-04-07 15:30"};
  testing::FakeUi ui_;
  NoRoutines routines_;
  RunContext run_;
};

}  // namespace kr::startup::test
