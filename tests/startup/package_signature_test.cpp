// Start-up refuses a package that no trusted key signed, or that changed since, before it reads
// or locks anything; with no key trusted it runs as before.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "signing/signing.h"
#include "tests/startup/startup_fixture.h"

namespace kr::startup::test {
namespace {

class SignedStartupTest : public StartupTest {
 protected:
  SignedStartupTest() : updater_(ui_, routines_) {
    setenv("KR_LOG", log_.c_str(), 1);
    UnattendedPackage();  // without a refusal it installs note.txt at once
  }
  ~SignedStartupTest() override { unsetenv("KR_LOG"); }

  void Trust(const signing::SecretKey& key) {
    sandbox_.root().Write("TrustedKeys/vendor.pub", signing::PublicKeyText(key.public_key));
  }
  void Sign(const signing::SecretKey& key) {
    sandbox_.root().Write("Pkg/KrInst.sig", signing::SignPackage(Folder("Pkg"), key));
  }
  void Main() { updater_.Main("\"" + sandbox_.root().Native("Pkg") + "\""); }
  // Refused with this message, before the lock, the settings and the install folder were used.
  void ExpectRefused(const std::string& message) {
    EXPECT_EQ(updater_.outcome(), Outcome::kRefused);
    ASSERT_EQ(ui_.boxes.size(), 1u);
    EXPECT_EQ(ui_.boxes[0].text, message + "\nこの更新パッケージではアップデートできません。");
    EXPECT_EQ(ui_.boxes[0].title, "メッセージ");
    EXPECT_EQ(ui_.boxes[0].icon, ui::Icon::kCritical);
    EXPECT_FALSE(ui_.wait_shown);
    EXPECT_FALSE(ui_.dialog);
    EXPECT_TRUE(updater_.run().package_folder.empty());
    EXPECT_FALSE(sandbox_.root().Exists("App/note.txt"));
    EXPECT_TRUE(platform::InstanceGuard::Acquire(kInstanceGuardName));
  }
  std::string Log() const { return sandbox_.root().Read("run.log"); }

  std::string log_ = sandbox_.root().Native("run.log");
  signing::SecretKey key_ = signing::GenerateKey();
  Updater updater_;
};

TEST_F(SignedStartupTest, ASignedUnchangedPackageRuns) {
  Trust(key_);
  Sign(key_);
  Main();
  EXPECT_EQ(updater_.outcome(), Outcome::kFinished);
  EXPECT_EQ(sandbox_.root().Read("App/note.txt"), "note");
  EXPECT_NE(Log().find("intact: every file as key " + key_.public_key.Id() + " signed it"),
            std::string::npos);
}

TEST_F(SignedStartupTest, AChangedFileIsRefusedByItsNameAndTheLogNamesEveryChange) {
  Trust(key_);
  Sign(key_);
  Ini("Pkg/KrInst.ini", "[Bootstrap]\r\n");
  sandbox_.root().Write("Pkg/note.txt", "evil");
  sandbox_.root().Write("Pkg/extra.dll", "");
  Main();
  ExpectRefused("更新パッケージに署名の後で変更されたファイルがあります: KrInst.ini（ほか 2 件）");
  for (const char* line : {"changed: KrInst.ini", "changed: note.txt", "added: extra.dll"}) {
    EXPECT_NE(Log().find(line), std::string::npos) << line;
  }
}

TEST_F(SignedStartupTest, TheTestRedirectionIsCoveredByTheSignatureOfTheFolderGiven) {
  Trust(key_);
  sandbox_.root().Write("Pkg/TEST/KrInst.ini", "[Bootstrap]\r\n");
  Sign(key_);
  sandbox_.root().Write("Pkg/_Test", "");
  Main();
  ExpectRefused("更新パッケージに署名されていないファイルがあります: _Test");
}

TEST_F(SignedStartupTest, UnsignedForeignOrDamagedSignaturesAreRefused) {
  Trust(key_);
  Main();
  ExpectRefused("更新パッケージに署名（KrInst.sig）がありません。");

  signing::SecretKey other = signing::GenerateKey();
  Sign(other);
  ui_.boxes.clear();
  Main();
  ExpectRefused("更新パッケージは信頼されていない鍵（" + other.public_key.Id() +
                "）で署名されています。");

  Sign(key_);
  std::string text = sandbox_.root().Read("Pkg/KrInst.sig");
  sandbox_.root().Write("Pkg/KrInst.sig", text.substr(0, text.size() / 2));
  ui_.boxes.clear();
  Main();
  ExpectRefused("更新パッケージの署名（KrInst.sig）が壊れています。");
}

TEST_F(SignedStartupTest, ADamagedTrustedKeyKeepsVerificationOn) {
  Sign(key_);
  sandbox_.root().Write("TrustedKeys/vendor.pub", "# truncated\n");
  Main();
  ExpectRefused("更新パッケージは信頼されていない鍵（" + key_.public_key.Id() +
                "）で署名されています。");
  EXPECT_NE(Log().find("vendor.pub: not a public key file"), std::string::npos) << Log();
}

TEST_F(SignedStartupTest, WithNoKeyTrustedPackagesRunAsBeforeAndTheLogSaysSo) {
  Main();
  EXPECT_EQ(updater_.outcome(), Outcome::kFinished);
  EXPECT_NE(Log().find("not verified: no trusted signing key in " + sandbox_.trusted_keys()),
            std::string::npos)
      << Log();
}

}  // namespace
}  // namespace kr::startup::test
