// The built krdb program on files of a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include "tests/testing/testing.h"

namespace kr::krdb::test {

using kr::testing::ProcessResult;

// A dump without its first two lines, which name the file and the password option.
inline std::string DumpBody(const std::string& dump) {
  size_t second = dump.find('\n', dump.find('\n') + 1);
  return second == std::string::npos ? dump : dump.substr(second + 1);
}

class KrdbTest : public ::testing::Test {
 protected:
  ProcessResult Krdb(std::vector<std::string> args,
                     std::optional<std::string_view> input = std::nullopt) {
    args.insert(args.begin(), kr::testing::BuiltProgram("app/krdb"));
    return kr::testing::RunProgramWithInput(args, input, env_);
  }
  // Runs krdb and expects it to succeed.
  void Ok(const std::vector<std::string>& args) {
    ProcessResult result = Krdb(args);
    EXPECT_EQ(result.exit_code, 0) << result.err;
  }
  std::string Db(const std::string& name) { return dir_.path() + "/" + name; }

  kr::testing::TempDir dir_;
  // No test reads or writes the real home folder's state (the shell's history).
  std::vector<std::string> env_{"HOME=" + dir_.Native("home"),
                                "XDG_STATE_HOME=" + dir_.Native("state")};
};

}  // namespace kr::krdb::test
