// kr-package and kr-updater-cli end to end: keys made, the demo package signed, verified, run
// with the key trusted, and refused once a byte of it has changed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/testing/testing.h"

namespace kr::app::test {
namespace {

namespace fs = std::filesystem;
using testing::BuiltProgram;
using testing::ProcessResult;

class SignedPackageCliTest : public ::testing::Test {
 protected:
  ProcessResult Package(std::vector<std::string> args) {
    args.insert(args.begin(), BuiltProgram("app/kr-package"));
    return testing::RunProgram(args);
  }
  ProcessResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), BuiltProgram("app/kr-updater-cli"));
    return testing::RunProgram(args, {"KR_NOW=2020-04-07 15:30", "KR_LOG=" + root_ + "/run.log"});
  }
  std::string Read(std::string_view relative) const { return sandbox_.root().Read(relative); }

  testing::SandboxedFolders sandbox_;
  std::string root_ = sandbox_.root().path();
  std::string secret_ = root_ + "/vendor.sec";
  std::string public_ = sandbox_.trusted_keys() + "/vendor.pub";
};

TEST_F(SignedPackageCliTest, KeygenMakesAPrivateSecretKeyAndNeverReplacesOne) {
  ProcessResult made = Package({"keygen", "--secret", secret_, "--public", public_});
  ASSERT_EQ(made.exit_code, 0) << made.err;
  struct stat info;
  ASSERT_EQ(stat(secret_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_TRUE(Read("TrustedKeys/vendor.pub").starts_with("# kr-package public key "));

  std::string secret = Read("vendor.sec");
  ProcessResult again = Package({"keygen", "--secret", secret_, "--public", root_ + "/new.pub"});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_EQ(again.err, "kr-package: " + secret_ + " exists; it is not replaced\n");
  EXPECT_EQ(Read("vendor.sec"), secret);
  EXPECT_FALSE(fs::exists(root_ + "/new.pub"));

  EXPECT_EQ(Package({"sign", root_}).exit_code, 2);  // --secret missing
  ProcessResult help = Package({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  for (const char* word : {"keygen", "sign", "verify", "/etc/kr-updater/trusted-keys/"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
}

TEST_F(SignedPackageCliTest, TheSignedDemoRunsAndAOneByteChangeIsRefusedWithStatus2) {
  if (!testing::DemoBuilt()) GTEST_SKIP() << "PE fixtures not built (MinGW-w64 missing)";
  ProcessResult made = testing::MakeDemo(root_, "2000/01/01");
  ASSERT_EQ(made.exit_code, 0) << made.err;
  fs::create_directories(sandbox_.trusted_keys());
  ASSERT_EQ(Package({"keygen", "--secret", secret_, "--public", public_}).exit_code, 0);
  std::string package = root_ + "/Package";
  ProcessResult signed_ = Package({"sign", package, "--secret", secret_});
  ASSERT_EQ(signed_.exit_code, 0) << signed_.err;
  ProcessResult verified = Package({"verify", package, "--public", public_});
  EXPECT_EQ(verified.exit_code, 0) << verified.out;

  // One byte of the program, a file added: verify names both, the updater refuses.
  std::string program = Read("Package/KrMain.exe");
  program[program.size() / 2] ^= 1;
  sandbox_.root().Write("Package/KrMain.exe", program);
  sandbox_.root().Write("Package/Extra.dll", "");
  verified = Package({"verify", package, "--public", public_});
  EXPECT_EQ(verified.exit_code, 1);
  EXPECT_NE(verified.out.find("added: Extra.dll\nchanged: KrMain.exe\n"), std::string::npos)
      << verified.out;
  auto app_before = sandbox_.root().Files();
  ProcessResult refused = Cli({package, "--install-folder", root_ + "/App"});
  EXPECT_EQ(refused.exit_code, 2);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err,
            "kr-updater-cli: 更新パッケージに署名されていないファイルがあります: Extra.dll"
            "（ほか 1 件）\nこの更新パッケージではアップデートできません。\n");
  std::string log = Read("run.log");
  EXPECT_NE(log.find("changed: KrMain.exe"), std::string::npos) << log;
  sandbox_.root().Write("run.log", "");
  app_before["run.log"] = "";
  EXPECT_EQ(sandbox_.root().Files(), app_before);

  // Put back, the package runs as scripts/demo runs it.
  fs::remove(root_ + "/Package/Extra.dll");
  program[program.size() / 2] ^= 1;
  sandbox_.root().Write("Package/KrMain.exe", program);
  ProcessResult run = Cli({package, "--install-folder", root_ + "/App"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(testing::EndMessage(run.out), "アップデートが完了しました。\n");
}

}  // namespace
}  // namespace kr::app::test
