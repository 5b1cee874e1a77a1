// Signed update packages. A vendor signs a package folder with an Ed25519 key (kr-package); the
// updater verifies it against the keys the machine trusts before it reads anything else of it.
//
// KrInst.sig, at the top of the package: UTF-8 text with "\n" line ends.
//   kr-package signature 1
//   key <key id>
//   <SHA-256, 64 lower-case hex digits>  <path below the package, "/" between names>
//   ...                                   one line per file, sorted bytewise, KrInst.sig left out
//   signature <base64 of the Ed25519 signature of every byte above this line>
// Every plain file below the folder is listed, hidden ones included; folders are not.
//
// Key files: a comment line ("# ..."), then a line of base64: the 32-byte public key, or for a
// secret key its 32-byte seed followed by its public key.
//
// Files are read through platform/; only verification reads the package, and it changes nothing.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kr::signing {

inline constexpr std::string_view kSignatureFileName = "KrInst.sig";

// A key, a package or a signature that cannot be used; what() is English.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct PublicKey {
  std::array<uint8_t, 32> bytes{};
  // The first 8 bytes of the key's SHA-256 in hex: how signature files and messages name it.
  std::string Id() const;
  bool operator==(const PublicKey&) const = default;
};

struct SecretKey {
  std::array<uint8_t, 32> seed{};
  PublicKey public_key;
};

// --- Keys ---------------------------------------------------------------------------------------
// A new key from the system's random source. Throws Error when there is none.
SecretKey GenerateKey();
// Key file texts; parsing throws Error naming what is wrong.
std::string PublicKeyText(const PublicKey& key);
std::string SecretKeyText(const SecretKey& key);
PublicKey ParsePublicKey(std::string_view text);
SecretKey ParseSecretKey(std::string_view text);

// --- Signing ------------------------------------------------------------------------------------
// The text of KrInst.sig for the package folder (an updater path), every file hashed once.
// Throws Error for what cannot be signed: a link or special file, a name holding "\" or a
// control character, a name that is not UTF-8, a file that cannot be read.
std::string SignPackage(std::string_view package_folder, const SecretKey& key);

// --- Verification -------------------------------------------------------------------------------
enum class Verdict {
  kIntact,        // signed by a trusted key, every file as signed
  kUnsigned,      // no KrInst.sig
  kMalformed,     // KrInst.sig is truncated, garbled or of an unknown version
  kUntrustedKey,  // signed by a key not among the trusted ones
  kForged,        // the signature does not match KrInst.sig's contents
  kChanged,       // files differ from what was signed (see changes)
  kUnreadable,    // the package folder cannot be listed
};

enum class ChangeKind { kChanged, kAdded, kRemoved, kNotAFile, kUnreadable };

struct Change {
  ChangeKind kind = ChangeKind::kChanged;
  std::string path;  // below the package, "/" between names
  bool operator==(const Change&) const = default;
};

struct Verification {
  Verdict verdict = Verdict::kUnsigned;
  std::string key_id;           // the key KrInst.sig names, once it could be read
  std::string problem;          // English: why KrInst.sig or the folder could not be used
  std::vector<Change> changes;  // kChanged: every difference, sorted by path
};

// Checks the package folder against its KrInst.sig and the trusted keys. Reads every file at
// most once, in pieces; never throws.
Verification VerifyPackage(std::string_view package_folder, const std::vector<PublicKey>& trusted);

// English lines: what the verdict means, then one line per change ("changed: a/b.dll").
std::vector<std::string> Describe(const Verification& verification);

// --- Trusted keys -------------------------------------------------------------------------------
struct TrustedKeys {
  std::vector<PublicKey> keys;
  std::vector<std::string> problems;  // English, one per key file that could not be used
  // Whether packages must be verified: any key file is present, even one that is damaged, so
  // that a broken key never switches verification off.
  bool required() const { return !keys.empty() || !problems.empty(); }
};

// The "*.pub" files of the folders (updater paths). Never throws.
TrustedKeys LoadTrustedKeys(const std::vector<std::string>& folders);

}  // namespace kr::signing
