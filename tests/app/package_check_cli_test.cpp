// kr-updater-cli --check on the demo package, end to end: the package a build makes checks clean
// and changes nothing; a mistake shows at its line, in text and in JSON.
#include <gtest/gtest.h>

#include "tests/testing/testing.h"

namespace kr::app::test {
namespace {

using testing::ProcessResult;

class PackageCheckCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::DemoBuilt()) GTEST_SKIP() << "PE fixtures not built (MinGW-w64 missing)";
    ProcessResult made = testing::MakeDemo(sandbox_.root().path(), "2000/01/01");
    ASSERT_EQ(made.exit_code, 0) << made.err;
  }
  ProcessResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), testing::BuiltProgram("app/kr-updater-cli"));
    return testing::RunProgram(args);
  }
  std::string Package() const { return sandbox_.root().Native("Package"); }

  testing::SandboxedFolders sandbox_;
};

TEST_F(PackageCheckCliTest, TheDemoPackageChecksCleanAndNothingChanges) {
  auto before = sandbox_.root().Files();
  ProcessResult text = Cli({"--check", Package()});
  EXPECT_EQ(text.exit_code, 0) << text.out << text.err;
  EXPECT_EQ(text.out, "問題はありません。\n");
  ProcessResult json = Cli({"--check", Package(), "--format", "json"});
  EXPECT_EQ(json.exit_code, 0);
  EXPECT_EQ(json.out, "[]\n");
  EXPECT_EQ(sandbox_.root().Files(), before);
}

TEST_F(PackageCheckCliTest, AMistakeEndsWithStatusOneAndNamesItsLine) {
  std::string ini = sandbox_.root().Read("Package/KrInst.ini");
  size_t at = ini.find("Func03=Update2019ExpR0111");
  ASSERT_NE(at, std::string::npos);
  ini.replace(at, 25, "Func03=update2019ExpR0111");
  sandbox_.root().Write("Package/KrInst.ini", ini);
  ProcessResult json = Cli({"--check", Package(), "--format", "json"});
  EXPECT_EQ(json.exit_code, 1);
  EXPECT_NE(json.out.find("\"line\": 45, \"severity\": \"error\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"code\": \"unknown-routine\""), std::string::npos);
  EXPECT_NE(json.out.find("「Update2019ExpR0111」 の誤り"), std::string::npos);
}

TEST(PackageCheckOptionsTest, CheckDoesNotMixWithARunsOptions) {
  testing::TempDir dir;
  const std::string package = dir.path();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--check", package, "--install-folder", "/tmp"},
        {"--check", package, package},
        {"--check", package, "--format", "xml"},
        {package, "--format", "json"}}) {
    std::vector<std::string> argv = args;
    argv.insert(argv.begin(), testing::BuiltProgram("app/kr-updater-cli"));
    ProcessResult result = testing::RunProgram(argv);
    EXPECT_EQ(result.exit_code, 2) << ::testing::PrintToString(args) << result.err;
  }
}

}  // namespace
}  // namespace kr::app::test
