// A package folder and an install folder in a sandbox, a run context pointing at them, a fake
// user interface, and an Env that fails chosen operations on purpose.
#pragma once

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/testing/fake_ui.h"
#include "tests/testing/testing.h"

namespace kr::manifest::test {

// Fails copies whose destination ends with a chosen suffix, as a full disk or a busy file would.
class FailingEnv : public platform::Env {
 public:
  void FailCopy(std::string to_suffix, int number = kErrPermissionDenied) {
    failures_.emplace_back(std::move(to_suffix), number);
  }
  void CopyFile(std::string_view from, std::string_view to) override {
    Check(to);
    Env::CopyFile(from, to);
  }
  void ReplaceFile(std::string_view from, std::string_view to) override {
    Check(to);
    Env::ReplaceFile(from, to);
  }

 private:
  void Check(std::string_view to) const {
    for (const auto& [suffix, number] : failures_) {
      if (to.ends_with(suffix)) throw Failure::Runtime(number, "injected copy failure");
    }
  }
  std::vector<std::pair<std::string, int>> failures_;
};

class ManifestTest : public ::testing::Test {
 protected:
  ManifestTest() : scoped_env_(env_) {
    run_.package_folder = package_.folder();
    run_.install_folder = install_.folder();
    run_.run_stamp = "202004071530";
    run_.title = "更新テスト";
  }

  std::string InstallPath(std::string_view relative) const {
    return install_.folder() + std::string(relative);
  }

  // Applies a file-action line whose destination is the install folder, or a folder below it.
  std::string Apply(std::string_view file, std::string_view keyword,
                    std::string_view destination = "") {
    std::string field(keyword);
    return ApplyFileAction(run_, ui_, file, InstallPath(destination), support::UpperCase(field),
                           field);
  }

  testing::SandboxedFolders sandbox_;
  testing::TempDir package_;
  testing::TempDir install_;
  FailingEnv env_;
  platform::ScopedEnv scoped_env_;
  RunContext run_;
  testing::FakeUi ui_;
};

}  // namespace kr::manifest::test
