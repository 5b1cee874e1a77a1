// A package folder and an install folder in a sandbox, a run context pointing at them, a fake
// user interface, and an Env that fails chosen operations on purpose.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "manifest/manifest.h"
#include "platform/platform.h"
#include "tests/testing/fake_ui.h"
#include "tests/testing/testing.h"

namespace kr::manifest::test {

// Fails CopyFile, DeleteFile, Rename or WriteFile when its path (the destination for copies and
// renames) ends with a chosen suffix.
class FailingEnv : public platform::Env {
 public:
  void Fail(std::string operation, std::string path_suffix, int number = kErrPermissionDenied) {
    failures_.push_back({std::move(operation), std::move(path_suffix), number});
  }
  void CopyFile(std::string_view from, std::string_view to) override {
    Check("CopyFile", to);
    Env::CopyFile(from, to);
  }
  void DeleteFile(std::string_view path) override {
    Check("DeleteFile", path);
    Env::DeleteFile(path);
  }
  void Rename(std::string_view from, std::string_view to) override {
    Check("Rename", to);
    Env::Rename(from, to);
  }
  void WriteFile(std::string_view path, std::string_view bytes) override {
    Check("WriteFile", path);
    Env::WriteFile(path, bytes);
  }

 private:
  struct Failing {
    std::string operation, suffix;
    int number;
  };
  void Check(std::string_view operation, std::string_view path) {
    for (const Failing& f : failures_) {
      if (f.operation == operation && path.ends_with(f.suffix)) {
        throw Failure::Runtime(f.number, "injected failure of " + std::string(operation));
      }
    }
  }
  std::vector<Failing> failures_;
};

class ManifestTest : public ::testing::Test {
 protected:
  ManifestTest() : scoped_env_(env_) {
    run_.package_folder = package_.folder();
    run_.install_folder = install_.folder();
    run_.run_stamp = "202004071530";
    run_.title = "更新テスト";
  }

  const testing::TempDir& package() const { return package_; }
  const testing::TempDir& install() const { return install_; }
  std::string InstallPath(std::string_view relative) const {
    return install_.folder() + std::string(relative);
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
