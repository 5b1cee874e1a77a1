// kr-package: signs update packages for the updater and checks them ("kr-package --help").
//
//   kr-package keygen --secret FILE --public FILE
//   kr-package sign PACKAGE --secret FILE
//   kr-package verify PACKAGE --public FILE
//
// Exit status: 0 done (verify: the package is intact), 1 a failure (verify: the package is not
// intact), 2 a malformed command line.
#include <CLI/CLI.hpp>

#include <iostream>
#include <string>

#include "app/english_command_line.h"
#include "platform/platform.h"
#include "signing/signing.h"

#ifndef KR_VERSION
#define KR_VERSION "0"
#endif

namespace {

namespace platform = kr::platform;
namespace signing = kr::signing;

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;

constexpr const char* kFooter =
    R"(A signed package holds KrInst.sig at its top: the SHA-256 of every other file below the
folder, signed with an Ed25519 key. The updaters trust the public keys (*.pub) in
/etc/kr-updater/trusted-keys/ and /usr/share/kr-updater/trusted-keys/, or those in the folder
KR_TRUSTED_KEYS names; while any is trusted they refuse a package that is unsigned, signed by
another key, or changed since it was signed.
Exit status: 0 done (verify: intact), 1 failed (verify: changed or not signed with the key),
2 a malformed command line.)";

bool Exists(const std::string& path) { return platform::Attributes(path).exists; }

void Keygen(const std::string& secret_file, const std::string& public_file) {
  // A key pair lost to a typo cannot be made again.
  for (const std::string& file : {secret_file, public_file}) {
    if (Exists(file)) throw signing::Error(file + " exists; it is not replaced");
  }
  signing::SecretKey key = signing::GenerateKey();
  platform::WritePrivateFile(secret_file, signing::SecretKeyText(key));
  platform::WriteFile(public_file, signing::PublicKeyText(key.public_key));
  std::cout << "key " << key.public_key.Id() << ": secret key " << secret_file << ", public key "
            << public_file << "\n";
}

// The key in file, read by parse; a failure names the file.
template <class Key>
Key ReadKey(const std::string& file, Key (*parse)(std::string_view)) {
  try {
    return parse(platform::ReadFile(file));
  } catch (const std::exception& failure) {
    throw signing::Error(file + ": " + failure.what());
  }
}

void RequireFolder(const std::string& package) {
  if (!platform::Attributes(package).is_directory) {
    throw signing::Error("no package folder " + package);
  }
}

void Sign(const std::string& package, const std::string& secret_file) {
  RequireFolder(package);
  signing::SecretKey key = ReadKey(secret_file, signing::ParseSecretKey);
  std::string text = signing::SignPackage(package, key);
  platform::WriteFile(package + "/" + std::string(signing::kSignatureFileName), text);
  size_t files = 0;
  for (char c : text) files += c == '\n';
  std::cout << "signed " << files - 3 << " files of " << package << " with key "
            << key.public_key.Id() << "\n";
}

bool Verify(const std::string& package, const std::string& public_file) {
  RequireFolder(package);
  signing::PublicKey key = ReadKey(public_file, signing::ParsePublicKey);
  signing::Verification verification = signing::VerifyPackage(package, {key});
  for (const std::string& line : signing::Describe(verification)) std::cout << line << "\n";
  return verification.verdict == signing::Verdict::kIntact;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("kr-package: makes signing keys, signs update packages and verifies them.",
               "kr-package");
  app.set_version_flag("--version", std::string("kr-package ") + KR_VERSION);
  app.footer(kFooter);
  app.get_formatter()->label("SUBCOMMAND", "COMMAND");
  app.get_formatter()->label("SUBCOMMANDS", "COMMANDS");
  app.get_formatter()->label("Subcommands", "Commands");
  app.require_subcommand(1, 1);

  std::string secret_file, public_file, package;
  auto* keygen =
      app.add_subcommand("keygen", "make an Ed25519 key pair (the secret one mode 0600)");
  keygen->add_option("--secret", secret_file, "the secret key file to make")->required();
  keygen->add_option("--public", public_file, "the public key file to make")->required();
  auto* sign = app.add_subcommand("sign", "write PACKAGE/KrInst.sig, signed with the secret key");
  sign->add_option("PACKAGE", package, "the package folder")->required();
  sign->add_option("--secret", secret_file, "the secret key file")->required();
  auto* verify = app.add_subcommand(
      "verify", "check a package against a public key; names every changed, added or removed file");
  verify->add_option("PACKAGE", package, "the package folder")->required();
  verify->add_option("--public", public_file, "the public key file")->required();

  if (std::optional<int> status = kr::app::ParseEnglish(app, argc, argv, "kr-package"))
    return *status;

  try {
    if (keygen->parsed()) {
      Keygen(secret_file, public_file);
    } else if (sign->parsed()) {
      Sign(package, secret_file);
    } else if (verify->parsed()) {
      return Verify(package, public_file) ? kExitDone : kExitFailed;
    }
  } catch (const std::exception& failure) {
    std::cerr << "kr-package: " << failure.what() << "\n";
    return kExitFailed;
  }
  return kExitDone;
}
