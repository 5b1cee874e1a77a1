// A sandbox with an update package, an install folder and the settings folders, a fake user
// interface, a recording routine registry and a fixed run clock.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "startup/startup.h"
#include "tests/testing/fake_ui.h"
#include "tests/testing/testing.h"

namespace kr::startup::test {

// Sets an environment variable for the lifetime of the object.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    const char* old = std::getenv(name);
    if (old != nullptr) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedVariable() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class NoRoutines : public manifest::RoutineRegistry {
 public:
  bool Run(std::string_view, std::string_view, RunContext&, ui::Ui&) override { return false; }
};

class StartupTest : public ::testing::Test {
 protected:
  StartupTest() : now_("KR_NOW", "2020-04-07 15:30") {}

  // Writes a code page 932 INI file at a sandbox-relative path.
  void Ini(std::string_view relative, std::string_view text) {
    sandbox_.root().Write(relative, testing::ToCp932(text));
  }
  // The sandbox folder of a relative path, as an updater folder (trailing "\").
  std::string Folder(std::string_view relative) const {
    return sandbox_.root().Native(relative) + "\\";
  }

  testing::SandboxedFolders sandbox_;
  ScopedVariable now_;
  testing::FakeUi ui_;
  NoRoutines routines_;
};

}  // namespace kr::startup::test
