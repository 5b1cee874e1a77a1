// Database passwords: only a salted, slow hash (PBKDF2-HMAC-SHA256) is stored, in MSysKrInfo.
// Opening the same file again in one run must stay cheap, so a verified (salt, password) pair is
// remembered in memory by its digest, never by the password itself.
#include <nettle/pbkdf2.h>
#include <nettle/sha2.h>

#include <map>
#include <random>
#include <set>

#include "db/engine/engine_internal.h"

namespace kr::db::engine::internal {

namespace {

constexpr unsigned kIterations = 20000;

std::string Hex(const uint8_t* bytes, size_t length) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < length; ++i) {
    out.push_back(digits[bytes[i] >> 4]);
    out.push_back(digits[bytes[i] & 15]);
  }
  return out;
}

std::string Derive(std::string_view password, std::string_view salt, unsigned iterations) {
  uint8_t key[32];
  pbkdf2_hmac_sha256(password.size(), reinterpret_cast<const uint8_t*>(password.data()), iterations,
                     salt.size(), reinterpret_cast<const uint8_t*>(salt.data()), sizeof key, key);
  return Hex(key, sizeof key);
}

std::string QuickDigest(std::string_view a, std::string_view b, std::string_view c) {
  sha256_ctx ctx;
  sha256_init(&ctx);
  for (std::string_view part : {a, b, c}) {
    uint64_t n = part.size();
    sha256_update(&ctx, sizeof n, reinterpret_cast<const uint8_t*>(&n));
    sha256_update(&ctx, part.size(), reinterpret_cast<const uint8_t*>(part.data()));
  }
  uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&ctx, sizeof digest, digest);
  return Hex(digest, sizeof digest);
}

// Password and verifier pairs already found to match, so that PBKDF2 runs once per pair and
// process; only grows (a pair that matched always matches). One thread at a time.
std::set<std::string>& VerifiedPairs() {
  static std::set<std::string> pairs;
  return pairs;
}

std::optional<std::string> InfoValue(Connection& connection, std::string_view schema,
                                     std::string_view key) {
  Statement& s =
      connection.Prepare("SELECT Value FROM " + SqlIdentifier(schema) + ".MSysKrInfo WHERE Key=?");
  s.BindText(1, key);
  std::optional<std::string> value;
  if (s.Step()) value = s.Text(0);
  s.Reset();
  return value;
}

void SetInfo(Connection& connection, std::string_view key, std::string_view value) {
  Statement& s = connection.Prepare("INSERT OR REPLACE INTO MSysKrInfo (Key, Value) VALUES (?,?)");
  s.BindText(1, key);
  s.BindText(2, value);
  s.Step();
  s.Reset();
}

}  // namespace

std::optional<std::string> ConnectValue(std::string_view connect, std::string_view key) {
  size_t start = 0;
  while (start <= connect.size()) {
    size_t end = connect.find(';', start);
    if (end == std::string_view::npos) end = connect.size();
    std::string_view part = connect.substr(start, end - start);
    size_t eq = part.find('=');
    if (eq != std::string_view::npos) {
      std::string_view k = part.substr(0, eq);
      while (!k.empty() && k.front() == ' ') k.remove_prefix(1);
      while (!k.empty() && k.back() == ' ') k.remove_suffix(1);
      if (SameName(k, key)) return std::string(part.substr(eq + 1));
    }
    start = end + 1;
  }
  return std::nullopt;
}

bool HasPassword(Connection& connection, std::string_view schema) {
  auto hash = InfoValue(connection, schema, "PwdHash");
  return hash && !hash->empty();
}

bool PasswordMatches(Connection& connection, std::string_view schema, std::string_view password) {
  // Asked at every open and attach: the keys in one read rather than one each.
  Statement& rows = connection.Prepare(
      "SELECT Key, Value FROM " + SqlIdentifier(schema) +
      ".MSysKrInfo WHERE Key IN ('AccessPassword','PwdHash','PwdSalt','PwdIterations')");
  std::map<std::string, std::string> info;
  while (rows.Step()) info.emplace(rows.Text(0), rows.Text(1));
  rows.Reset();
  auto value = [&](const char* key) -> std::optional<std::string> {
    auto found = info.find(key);
    if (found == info.end()) return std::nullopt;
    return found->second;
  };
  // An Access file's own password, as its header holds it: compared as Jet compares it.
  if (auto access = value("AccessPassword")) return access->empty() || *access == password;
  auto hash = value("PwdHash");
  if (!hash || hash->empty()) return true;  // no password set: any is accepted, as in Jet
  std::string salt = value("PwdSalt").value_or("");
  unsigned iterations = static_cast<unsigned>(std::stoul(value("PwdIterations").value_or("1")));
  std::string digest = QuickDigest(salt, *hash, password);
  if (VerifiedPairs().count(digest)) return true;
  if (Derive(password, salt, iterations) != *hash) return false;
  VerifiedPairs().insert(digest);
  return true;
}

void StoreAccessPassword(Connection& connection, std::string_view password) {
  SetInfo(connection, "AccessPassword", password);
}

void StorePassword(Connection& connection, std::string_view password) {
  if (password.empty()) {
    connection.Exec("DELETE FROM MSysKrInfo WHERE Key IN ('PwdHash','PwdSalt','PwdIterations')");
    return;
  }
  std::random_device random;
  uint8_t salt_bytes[16];
  for (uint8_t& b : salt_bytes) b = static_cast<uint8_t>(random());
  std::string salt = Hex(salt_bytes, sizeof salt_bytes);
  SetInfo(connection, "PwdSalt", salt);
  SetInfo(connection, "PwdIterations", std::to_string(kIterations));
  SetInfo(connection, "PwdHash", Derive(password, salt, kIterations));
}

}  // namespace kr::db::engine::internal
