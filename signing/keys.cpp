// Ed25519 keys and their text files.
#include <nettle/base64.h>
#include <nettle/eddsa.h>
#include <nettle/sha2.h>

#include <algorithm>

#include "platform/platform.h"
#include "signing/signing.h"
#include "signing/signing_internal.h"

namespace kr::signing {
namespace internal {

std::string Hex(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (uint8_t byte : bytes) {
    out.push_back(kDigits[byte >> 4]);
    out.push_back(kDigits[byte & 0xF]);
  }
  return out;
}

std::string Base64(std::span<const uint8_t> bytes) {
  std::string out(BASE64_ENCODE_RAW_LENGTH(bytes.size()), '\0');
  base64_encode_raw(out.data(), bytes.size(), bytes.data());
  return out;
}

std::optional<std::vector<uint8_t>> FromBase64(std::string_view text) {
  std::vector<uint8_t> bytes(BASE64_DECODE_LENGTH(text.size()) + 1);
  base64_decode_ctx context;
  base64_decode_init(&context);
  size_t length = 0;
  if (base64_decode_update(&context, &length, bytes.data(), text.size(), text.data()) != 1 ||
      base64_decode_final(&context) != 1) {
    return std::nullopt;
  }
  bytes.resize(length);
  // The decoder skips blanks and accepts other spellings; a key or signature has one.
  if (Base64(bytes) != text) return std::nullopt;
  return bytes;
}

}  // namespace internal

namespace {

constexpr std::string_view kPublicComment = "# kr-package public key ";
constexpr std::string_view kSecretComment = "# kr-package secret key ";

PublicKey PublicKeyOf(const std::array<uint8_t, 32>& seed) {
  PublicKey key;
  ed25519_sha512_public_key(key.bytes.data(), seed.data());
  return key;
}

// The base64 line of a key file: after one comment line, optionally followed by empty lines.
std::vector<uint8_t> KeyBytes(std::string_view text, std::string_view what) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  if (lines.size() != 2 || !lines[0].starts_with("#")) {
    throw Error("not a " + std::string(what) + " file (a comment line, then one line of base64)");
  }
  std::optional<std::vector<uint8_t>> bytes = internal::FromBase64(lines[1]);
  if (!bytes) throw Error("the " + std::string(what) + " is not valid base64");
  return *bytes;
}

}  // namespace

std::string PublicKey::Id() const {
  sha256_ctx context;
  sha256_init(&context);
  sha256_update(&context, bytes.size(), bytes.data());
  uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&context, sizeof digest, digest);
  return internal::Hex(std::span<const uint8_t>(digest, 8));
}

SecretKey GenerateKey() {
  SecretKey key;
  try {
    platform::RandomBytes(key.seed);
  } catch (const std::exception& failure) {
    throw Error(std::string("no random bytes for a key: ") + failure.what());
  }
  key.public_key = PublicKeyOf(key.seed);
  return key;
}

std::string PublicKeyText(const PublicKey& key) {
  return std::string(kPublicComment) + key.Id() + "\n" + internal::Base64(key.bytes) + "\n";
}

std::string SecretKeyText(const SecretKey& key) {
  std::vector<uint8_t> bytes(key.seed.begin(), key.seed.end());
  bytes.insert(bytes.end(), key.public_key.bytes.begin(), key.public_key.bytes.end());
  return std::string(kSecretComment) + key.public_key.Id() + "\n" + internal::Base64(bytes) + "\n";
}

PublicKey ParsePublicKey(std::string_view text) {
  std::vector<uint8_t> bytes = KeyBytes(text, "public key");
  if (bytes.size() == 64) throw Error("this is a secret key, not a public key");
  if (bytes.size() != 32)
    throw Error("the public key has " + std::to_string(bytes.size()) + " bytes instead of 32");
  PublicKey key;
  std::copy(bytes.begin(), bytes.end(), key.bytes.begin());
  return key;
}

SecretKey ParseSecretKey(std::string_view text) {
  std::vector<uint8_t> bytes = KeyBytes(text, "secret key");
  if (bytes.size() == 32) throw Error("this is a public key, not a secret key");
  if (bytes.size() != 64)
    throw Error("the secret key has " + std::to_string(bytes.size()) + " bytes instead of 64");
  SecretKey key;
  std::copy(bytes.begin(), bytes.begin() + 32, key.seed.begin());
  std::copy(bytes.begin() + 32, bytes.end(), key.public_key.bytes.begin());
  if (PublicKeyOf(key.seed) != key.public_key) {
    throw Error("the secret key is damaged (its two halves do not belong together)");
  }
  return key;
}

TrustedKeys LoadTrustedKeys(const std::vector<std::string>& folders) {
  TrustedKeys trusted;
  for (const std::string& folder : folders) {
    for (const platform::DirEntry& entry :
         platform::List(folder + "*.pub", platform::ListKind::kPlainFiles)) {
      // The wildcard matches case-blind; only names ending in ".pub" as written count.
      if (!entry.name.ends_with(".pub")) continue;
      std::string path = folder + entry.name;
      try {
        PublicKey key = ParsePublicKey(platform::ReadFile(path));
        if (std::find(trusted.keys.begin(), trusted.keys.end(), key) == trusted.keys.end()) {
          trusted.keys.push_back(key);
        }
      } catch (const std::exception& failure) {
        trusted.problems.push_back("trusted key " + platform::NativePath(path) + ": " +
                                   failure.what());
      }
    }
  }
  return trusted;
}

}  // namespace kr::signing
