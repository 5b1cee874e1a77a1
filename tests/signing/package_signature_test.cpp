// Signing a package and verifying it: every kind of tampering is named, every damaged signature
// file refused, and nothing that cannot be signed slips through.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/platform.h"
#include "signing/signing.h"
#include "tests/testing/testing.h"

namespace kr::signing {
namespace {

namespace fs = std::filesystem;

// A package as a vendor ships it, signed with key_.
class SignedPackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.Write("KrInst.ini", "[Bootstrap]\r\nExeName=KrMain.exe\r\n");
    dir_.Write("KrMain.exe", std::string("MZ\x90\0\x03", 5) + std::string(3000, 'x'));
    dir_.Write("File/KrVal.mdb", std::string(5000, '\0') + "Standard Jet DB");
    dir_.Write("平成30年度/単価データ.mdb", "単価");
    dir_.Write(".hidden", "hidden files are signed too");
    Sign();
  }
  void Sign() {
    platform::WriteFile(dir_.folder() + "KrInst.sig", SignPackage(dir_.folder(), key_));
  }
  Verification Verify() {
    return VerifyPackage(dir_.folder(), {other_.public_key, key_.public_key});
  }
  std::vector<Change> Changes() {
    Verification verification = Verify();
    EXPECT_EQ(verification.verdict, Verdict::kChanged);
    return verification.changes;
  }
  void FlipLastByte(const std::string& relative) {
    std::string bytes = dir_.Read(relative);
    bytes.back() ^= 1;
    dir_.Write(relative, bytes);
  }

  testing::TempDir dir_;
  SecretKey key_ = GenerateKey();
  SecretKey other_ = GenerateKey();
};

TEST_F(SignedPackageTest, AnUntouchedPackageIsIntactAndItsSignatureListsEveryFileSorted) {
  Verification verification = Verify();
  EXPECT_EQ(verification.verdict, Verdict::kIntact) << Describe(verification).front();
  EXPECT_EQ(verification.key_id, key_.public_key.Id());
  std::string text = dir_.Read("KrInst.sig");
  std::vector<std::string> paths;
  for (size_t at = text.find("  "); at != std::string::npos; at = text.find("  ", at + 1)) {
    paths.push_back(text.substr(at + 2, text.find('\n', at) - at - 2));
  }
  EXPECT_EQ(paths, (std::vector<std::string>{".hidden", "File/KrVal.mdb", "KrInst.ini",
                                             "KrMain.exe", "平成30年度/単価データ.mdb"}));
  EXPECT_TRUE(text.starts_with("kr-package signature 1\nkey " + key_.public_key.Id() + "\n"));
}

TEST_F(SignedPackageTest, OneChangedByteInAnyKindOfFileIsNamed) {
  for (const char* file :
       {"KrInst.ini", "KrMain.exe", "File/KrVal.mdb", "平成30年度/単価データ.mdb", ".hidden"}) {
    std::string original = dir_.Read(file);
    FlipLastByte(file);  // the size stays
    EXPECT_EQ(Changes(), (std::vector<Change>{{ChangeKind::kChanged, file}})) << file;
    dir_.Write(file, original);
    // One byte short.
    dir_.Write(file, original.substr(0, original.size() - 1));
    EXPECT_EQ(Changes(), (std::vector<Change>{{ChangeKind::kChanged, file}})) << file;
    dir_.Write(file, original);
  }
  EXPECT_EQ(Verify().verdict, Verdict::kIntact);
}

TEST_F(SignedPackageTest, AddedRemovedAndRenamedFilesAreNamedInPathOrder) {
  dir_.Write("File/Extra.dll", "added");
  dir_.Write(".~krtmp-1", "a hidden addition");
  fs::remove(dir_.Native("KrMain.exe"));
  fs::rename(dir_.Native("平成30年度/単価データ.mdb"), dir_.Native("平成30年度/単価データ2.mdb"));
  EXPECT_EQ(Changes(), (std::vector<Change>{{ChangeKind::kAdded, ".~krtmp-1"},
                                            {ChangeKind::kAdded, "File/Extra.dll"},
                                            {ChangeKind::kRemoved, "KrMain.exe"},
                                            {ChangeKind::kRemoved, "平成30年度/単価データ.mdb"},
                                            {ChangeKind::kAdded, "平成30年度/単価データ2.mdb"}}));
  // A whole folder gone.
  fs::remove_all(dir_.Native("File"));
  EXPECT_EQ(Changes().at(1), (Change{ChangeKind::kRemoved, "File/KrVal.mdb"}));
}

TEST_F(SignedPackageTest, LinksSpecialFilesAndNamesALineCannotHoldAreRefusedAndCannotBeSigned) {
  const std::pair<const char*, const char*> names[] = {{"a\\b.txt", "a \"\\\""},
                                                       {"line\nbreak", "a control character"},
                                                       {"bad\xff.txt", "not UTF-8"}};
  for (const auto& [name, reason] : names) {
    dir_.Write(name, "x");
    std::string refusal;
    try {
      SignPackage(dir_.folder(), key_);
    } catch (const Error& error) {
      refusal = error.what();
    }
    EXPECT_NE(refusal.find(reason), std::string::npos) << name << ": " << refusal;
    fs::remove(dir_.Native(name));
  }
  fs::create_symlink(dir_.Native("KrMain.exe"), dir_.Native("File/Link.exe"));
  fs::create_directory_symlink("/etc", dir_.Native("etc"));
  ASSERT_EQ(mkfifo(dir_.Native("pipe").c_str(), 0600), 0);
  EXPECT_EQ(Changes(), (std::vector<Change>{{ChangeKind::kNotAFile, "File/Link.exe"},
                                            {ChangeKind::kNotAFile, "etc"},
                                            {ChangeKind::kNotAFile, "pipe"}}));
  EXPECT_THROW(SignPackage(dir_.folder(), key_), Error);
  fs::remove(dir_.Native("File/Link.exe"));
  fs::remove(dir_.Native("etc"));
  EXPECT_THROW(SignPackage(dir_.folder(), key_), Error);

  // A signed file replaced by a link to an identical copy is still a link.
  fs::remove(dir_.Native("pipe"));
  dir_.Write("copy/KrMain.exe", dir_.Read("KrMain.exe"));
  Sign();
  fs::remove(dir_.Native("KrMain.exe"));
  fs::create_symlink(dir_.Native("copy/KrMain.exe"), dir_.Native("KrMain.exe"));
  EXPECT_EQ(Changes(), (std::vector<Change>{{ChangeKind::kNotAFile, "KrMain.exe"}}));
}

TEST_F(SignedPackageTest, ASignatureByAnotherKeyOrNoneIsRefused) {
  EXPECT_EQ(VerifyPackage(dir_.folder(), {other_.public_key}).verdict, Verdict::kUntrustedKey);
  EXPECT_EQ(VerifyPackage(dir_.folder(), {}).verdict, Verdict::kUntrustedKey);
  fs::remove(dir_.Native("KrInst.sig"));
  EXPECT_EQ(Verify().verdict, Verdict::kUnsigned);
  fs::create_directory(dir_.Native("KrInst.sig"));
  EXPECT_EQ(Verify().verdict, Verdict::kMalformed);
}

TEST_F(SignedPackageTest, EveryTruncatedOrGarbledSignatureFileIsRefused) {
  const std::string text = dir_.Read("KrInst.sig");
  for (size_t length = 0; length < text.size(); ++length) {
    dir_.Write("KrInst.sig", text.substr(0, length));
    EXPECT_EQ(Verify().verdict, Verdict::kMalformed) << "cut at " << length;
  }
  for (size_t at = 0; at < text.size(); ++at) {
    std::string garbled = text;
    garbled[at] ^= 0x20;
    dir_.Write("KrInst.sig", garbled);
    Verification verification = Verify();
    EXPECT_NE(verification.verdict, Verdict::kIntact) << "byte " << at;
  }
  // A hash changed to match a changed file: the signature no longer covers the list.
  FlipLastByte("KrInst.ini");
  std::string fresh = SignPackage(dir_.folder(), other_);
  auto ini_hash = [](const std::string& t) { return t.find("  KrInst.ini\n") - 64; };
  std::string forged = text;
  forged.replace(ini_hash(forged), 64, fresh.substr(ini_hash(fresh), 64));
  dir_.Write("KrInst.sig", forged);
  EXPECT_EQ(Verify().verdict, Verdict::kForged);
  // Other versions are named as such.
  dir_.Write("KrInst.sig", "kr-package signature 2\n");
  EXPECT_NE(Verify().problem.find("\"2\" is not known"), std::string::npos);
}

TEST(SigningKeysTest, KeyFilesReadBackTrustedOnesAreThePubFilesAndDamagedOnesAreRefused) {
  SecretKey key = GenerateKey();
  EXPECT_NE(GenerateKey().public_key, key.public_key);
  EXPECT_EQ(ParsePublicKey(PublicKeyText(key.public_key)), key.public_key);
  EXPECT_EQ(ParseSecretKey(SecretKeyText(key)).seed, key.seed);
  std::string public_text = PublicKeyText(key.public_key);
  EXPECT_TRUE(public_text.starts_with("# "));
  // Edited on Windows: CR LF and a trailing empty line.
  std::string windows = public_text.substr(0, public_text.find('\n')) + "\r\n" +
                        public_text.substr(public_text.find('\n') + 1, 44) + "\r\n\r\n";
  EXPECT_EQ(ParsePublicKey(windows), key.public_key);

  EXPECT_THROW(ParsePublicKey(SecretKeyText(key)), Error);
  EXPECT_THROW(ParseSecretKey(public_text), Error);
  EXPECT_THROW(ParsePublicKey(""), Error);
  EXPECT_THROW(ParsePublicKey(public_text.substr(public_text.find('\n') + 1)), Error);
  std::string garbled = public_text;
  garbled[garbled.size() - 5] = '*';
  EXPECT_THROW(ParsePublicKey(garbled), Error);
  // A secret key whose public half belongs to another key.
  SecretKey mixed = key;
  mixed.public_key = GenerateKey().public_key;
  EXPECT_THROW(ParseSecretKey(SecretKeyText(mixed)), Error);
  testing::TempDir first, second;
  EXPECT_FALSE(LoadTrustedKeys({first.folder(), second.folder() + "missing\\"}).required());
  SecretKey a = GenerateKey(), b = GenerateKey();
  first.Write("vendor.pub", PublicKeyText(a.public_key));
  first.Write("vendor.pub.old", PublicKeyText(b.public_key));
  first.Write("vendor.PUB", PublicKeyText(b.public_key));
  second.Write("copy.pub", PublicKeyText(a.public_key));
  TrustedKeys trusted = LoadTrustedKeys({first.folder(), second.folder()});
  EXPECT_EQ(trusted.keys, std::vector<PublicKey>{a.public_key});
  EXPECT_TRUE(trusted.problems.empty());

  testing::TempDir damaged;
  damaged.Write("broken.pub", "not a key");
  trusted = LoadTrustedKeys({damaged.folder()});
  EXPECT_TRUE(trusted.keys.empty());
  ASSERT_EQ(trusted.problems.size(), 1u);
  EXPECT_NE(trusted.problems[0].find("broken.pub"), std::string::npos);
  EXPECT_TRUE(trusted.required());
}

}  // namespace
}  // namespace kr::signing
