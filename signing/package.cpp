// Signing and verifying a package folder: the list of file hashes and its signature.
#include <nettle/eddsa.h>
#include <nettle/sha2.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <map>
#include <optional>

#include "platform/platform.h"
#include "signing/signing.h"
#include "signing/signing_internal.h"

namespace kr::signing {
namespace {

constexpr std::string_view kHeader = "kr-package signature 1\n";
constexpr std::string_view kHeaderStem = "kr-package signature ";
constexpr std::string_view kKeyPrefix = "key ";
constexpr std::string_view kSignaturePrefix = "signature ";
// Large reads keep hashing at the disk's pace; one buffer serves every file.
constexpr size_t kReadBufferSize = size_t{1} << 20;
// A signature file of a package with a million files is far below this.
constexpr int64_t kLargestSignatureFile = int64_t{256} << 20;

bool IsValidUtf8(std::string_view text) {
  int32_t i = 0;
  const auto length = static_cast<int32_t>(text.size());
  while (i < length) {
    UChar32 c;
    U8_NEXT(reinterpret_cast<const uint8_t*>(text.data()), i, length, c);
    if (c < 0) return false;
  }
  return true;
}

// Why a path cannot stand in a signature file, or nothing when it can.
std::optional<std::string> PathProblem(std::string_view path) {
  if (path.empty()) return "an empty path";
  for (char c : path) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "a control character";
    if (c == '\\') return "a \"\\\"";
  }
  if (!IsValidUtf8(path)) return "a name that is not UTF-8";
  return std::nullopt;
}

// Shown in English lines: control characters become "?", so a name cannot forge a log line.
std::string Printable(std::string_view path) {
  std::string out(path);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return out;
}

class Hasher {
 public:
  Hasher() : buffer_(kReadBufferSize) {}

  // The file's SHA-256 in hex. Throws what platform throws.
  std::string Hash(const std::string& path) {
    sha256_ctx context;
    sha256_init(&context);
    platform::ReadFileInPieces(path, buffer_, [&](std::string_view piece) {
      sha256_update(&context, piece.size(), reinterpret_cast<const uint8_t*>(piece.data()));
    });
    uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof digest, digest);
    return internal::Hex(digest);
  }

 private:
  std::vector<char> buffer_;
};

std::string Folder(std::string_view package_folder) {
  std::string folder(package_folder);
  if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder += '\\';
  return folder;
}

// An entry's updater path: package paths use "\" between names.
std::string EntryPath(const std::string& folder, std::string_view relative) {
  std::string path = folder;
  for (char c : relative) path.push_back(c == '/' ? '\\' : c);
  return path;
}

// The package's entries, KrInst.sig left out, sorted bytewise. Throws what platform throws.
std::vector<platform::TreeEntry> PackageEntries(const std::string& folder) {
  std::vector<platform::TreeEntry> entries = platform::ListTree(folder);
  std::erase_if(entries, [](const platform::TreeEntry& e) { return e.path == kSignatureFileName; });
  std::sort(
      entries.begin(), entries.end(),
      [](const platform::TreeEntry& a, const platform::TreeEntry& b) { return a.path < b.path; });
  return entries;
}

struct SignedList {
  std::string key_id;
  std::map<std::string, std::string> hashes;  // path, hex
  std::string_view body;                      // the bytes the signature covers
  std::vector<uint8_t> signature;
};

bool IsLowerHex(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Reads KrInst.sig's text. Throws Error naming the line that is wrong.
SignedList Parse(std::string_view text) {
  SignedList list;
  if (!text.starts_with(kHeaderStem)) throw Error("it does not begin \"kr-package signature\"");
  if (!text.starts_with(kHeader)) {
    std::string_view version = text.substr(kHeaderStem.size(), 20);
    throw Error("its version \"" + Printable(version.substr(0, version.find('\n'))) +
                "\" is not known");
  }
  size_t position = 0;
  int line_number = 0;
  auto fail = [&](const std::string& why) {
    throw Error("line " + std::to_string(line_number) + ": " + why);
  };
  std::string previous;
  for (;;) {
    ++line_number;
    size_t end = text.find('\n', position);
    if (end == std::string_view::npos) {
      fail(position == text.size() ? "the file ends before its signature"
                                   : "the file ends inside a line");
    }
    std::string_view line = text.substr(position, end - position);
    size_t next = end + 1;
    if (line_number == 1) {
      // The header, checked above.
    } else if (line_number == 2) {
      if (!line.starts_with(kKeyPrefix)) fail("\"key\" expected");
      list.key_id = std::string(line.substr(kKeyPrefix.size()));
      if (list.key_id.size() != 16 || !IsLowerHex(list.key_id)) fail("a key id is 16 hex digits");
    } else if (line.starts_with(kSignaturePrefix)) {
      if (next != text.size()) fail("text after the signature");
      std::optional<std::vector<uint8_t>> signature =
          internal::FromBase64(line.substr(kSignaturePrefix.size()));
      if (!signature || signature->size() != ED25519_SIGNATURE_SIZE) {
        fail("the signature is not 64 bytes of base64");
      }
      list.body = text.substr(0, position);
      list.signature = std::move(*signature);
      return list;
    } else {
      if (line.size() < 67 || !IsLowerHex(line.substr(0, 64)) || line.substr(64, 2) != "  ") {
        fail("\"<sha256>  <path>\" expected");
      }
      std::string path(line.substr(66));
      if (std::optional<std::string> problem = PathProblem(path)) fail("a path with " + *problem);
      if (!previous.empty() && path <= previous) fail("the paths are not sorted");
      list.hashes.emplace(path, std::string(line.substr(0, 64)));
      previous = std::move(path);
    }
    position = next;
  }
}

// The changes between the signed list and the folder, every file read once.
std::vector<Change> Compare(const std::string& folder,
                            const std::map<std::string, std::string>& hashes,
                            const std::vector<platform::TreeEntry>& entries) {
  std::vector<Change> changes;
  Hasher hasher;
  auto signed_file = hashes.begin();
  for (const platform::TreeEntry& entry : entries) {
    for (; signed_file != hashes.end() && signed_file->first < entry.path; ++signed_file) {
      changes.push_back({ChangeKind::kRemoved, signed_file->first});
    }
    bool listed = signed_file != hashes.end() && signed_file->first == entry.path;
    if (entry.kind != platform::TreeEntryKind::kFile) {
      changes.push_back({ChangeKind::kNotAFile, entry.path});
    } else if (!listed) {
      changes.push_back({ChangeKind::kAdded, entry.path});
    } else {
      try {
        if (hasher.Hash(EntryPath(folder, entry.path)) != signed_file->second) {
          changes.push_back({ChangeKind::kChanged, entry.path});
        }
      } catch (const std::exception&) {
        changes.push_back({ChangeKind::kUnreadable, entry.path});
      }
    }
    if (listed) ++signed_file;
  }
  for (; signed_file != hashes.end(); ++signed_file) {
    changes.push_back({ChangeKind::kRemoved, signed_file->first});
  }
  return changes;
}

}  // namespace

std::string SignPackage(std::string_view package_folder, const SecretKey& key) {
  std::string folder = Folder(package_folder);
  std::vector<platform::TreeEntry> entries;
  try {
    entries = PackageEntries(folder);
  } catch (const std::exception& failure) {
    throw Error(failure.what());
  }
  std::string body(kHeader);
  body += std::string(kKeyPrefix) + key.public_key.Id() + "\n";
  Hasher hasher;
  for (const platform::TreeEntry& entry : entries) {
    if (entry.kind != platform::TreeEntryKind::kFile) {
      throw Error(Printable(entry.path) + ": links and special files cannot be signed");
    }
    if (std::optional<std::string> problem = PathProblem(entry.path)) {
      throw Error(Printable(entry.path) + ": a name with " + *problem + " cannot be signed");
    }
    std::string hash;
    try {
      hash = hasher.Hash(EntryPath(folder, entry.path));
    } catch (const std::exception& failure) {
      throw Error(failure.what());
    }
    body += hash + "  " + entry.path + "\n";
  }
  uint8_t signature[ED25519_SIGNATURE_SIZE];
  ed25519_sha512_sign(key.public_key.bytes.data(), key.seed.data(), body.size(),
                      reinterpret_cast<const uint8_t*>(body.data()), signature);
  return body + std::string(kSignaturePrefix) + internal::Base64(signature) + "\n";
}

Verification VerifyPackage(std::string_view package_folder, const std::vector<PublicKey>& trusted) {
  Verification result;
  std::string folder = Folder(package_folder);
  std::string signature_path = folder + std::string(kSignatureFileName);
  std::string text;
  try {
    std::vector<char> buffer(64 << 10);
    platform::ReadFileInPieces(signature_path, buffer, [&](std::string_view piece) {
      if (static_cast<int64_t>(text.size() + piece.size()) > kLargestSignatureFile) {
        throw Error("it is larger than any signature file");
      }
      text += piece;
    });
  } catch (const Failure& failure) {
    result.verdict =
        failure.number() == kErrFileNotFound ? Verdict::kUnsigned : Verdict::kMalformed;
    if (result.verdict == Verdict::kMalformed) result.problem = failure.what();
    return result;
  } catch (const std::exception& failure) {
    result.verdict = Verdict::kMalformed;
    result.problem = failure.what();
    return result;
  }

  SignedList list;
  try {
    list = Parse(text);
  } catch (const Error& failure) {
    result.verdict = Verdict::kMalformed;
    result.problem = failure.what();
    return result;
  }
  result.key_id = list.key_id;
  auto key = std::find_if(trusted.begin(), trusted.end(),
                          [&](const PublicKey& k) { return k.Id() == list.key_id; });
  if (key == trusted.end()) {
    result.verdict = Verdict::kUntrustedKey;
    return result;
  }
  if (ed25519_sha512_verify(key->bytes.data(), list.body.size(),
                            reinterpret_cast<const uint8_t*>(list.body.data()),
                            list.signature.data()) != 1) {
    result.verdict = Verdict::kForged;
    return result;
  }

  try {
    result.changes = Compare(folder, list.hashes, PackageEntries(folder));
  } catch (const std::exception& failure) {
    result.verdict = Verdict::kUnreadable;
    result.problem = failure.what();
    return result;
  }
  result.verdict = result.changes.empty() ? Verdict::kIntact : Verdict::kChanged;
  return result;
}

std::vector<std::string> Describe(const Verification& verification) {
  std::vector<std::string> lines;
  switch (verification.verdict) {
    case Verdict::kIntact:
      lines.push_back("intact: every file as key " + verification.key_id + " signed it");
      break;
    case Verdict::kUnsigned:
      lines.push_back("not signed: no " + std::string(kSignatureFileName));
      break;
    case Verdict::kMalformed:
      lines.push_back(std::string(kSignatureFileName) + " cannot be read: " + verification.problem);
      break;
    case Verdict::kUntrustedKey:
      lines.push_back("signed by key " + verification.key_id + ", which is not trusted");
      break;
    case Verdict::kForged:
      lines.push_back("the signature does not match " + std::string(kSignatureFileName) +
                      " (changed after signing, or not made with key " + verification.key_id + ")");
      break;
    case Verdict::kChanged:
      lines.push_back("changed since key " + verification.key_id + " signed it:");
      break;
    case Verdict::kUnreadable:
      lines.push_back("the package cannot be read: " + verification.problem);
      break;
  }
  for (const Change& change : verification.changes) {
    const char* kind = "";
    switch (change.kind) {
      case ChangeKind::kChanged:
        kind = "changed";
        break;
      case ChangeKind::kAdded:
        kind = "added";
        break;
      case ChangeKind::kRemoved:
        kind = "removed";
        break;
      case ChangeKind::kNotAFile:
        kind = "link or special file";
        break;
      case ChangeKind::kUnreadable:
        kind = "unreadable";
        break;
    }
    lines.push_back(std::string(kind) + ": " + Printable(change.path));
  }
  return lines;
}

}  // namespace kr::signing
