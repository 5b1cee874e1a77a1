// The package's signature, checked before anything else of the package is read.
#include <string>

#include "platform/failure.h"
#include "signing/signing.h"
#include "startup/startup.h"

namespace kr::startup {
namespace {

constexpr std::string_view kNotUsable = "\nこの更新パッケージではアップデートできません。";

// A file name as the message shows it: control characters cannot break its lines.
std::string Shown(std::string_view path) {
  std::string shown(path);
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return shown;
}

std::string FirstChange(const std::vector<signing::Change>& changes) {
  const signing::Change& first = changes.front();
  std::string text;
  switch (first.kind) {
    case signing::ChangeKind::kChanged:
      text = "署名の後で変更されたファイルがあります: ";
      break;
    case signing::ChangeKind::kAdded:
      text = "署名されていないファイルがあります: ";
      break;
    case signing::ChangeKind::kRemoved:
      text = "署名されたファイルがありません: ";
      break;
    case signing::ChangeKind::kNotAFile:
      text = "リンクまたは特殊なファイルがあります: ";
      break;
    case signing::ChangeKind::kUnreadable:
      text = "読み込めないファイルがあります: ";
      break;
  }
  text += Shown(first.path);
  if (changes.size() > 1) text += "（ほか " + std::to_string(changes.size() - 1) + " 件）";
  return text;
}

std::string Refusal(const signing::Verification& verification) {
  std::string reason;
  switch (verification.verdict) {
    case signing::Verdict::kIntact:
      break;
    case signing::Verdict::kUnsigned:
      reason = "更新パッケージに署名（KrInst.sig）がありません。";
      break;
    case signing::Verdict::kMalformed:
      reason = "更新パッケージの署名（KrInst.sig）が壊れています。";
      break;
    case signing::Verdict::kUntrustedKey:
      reason =
          "更新パッケージは信頼されていない鍵（" + verification.key_id + "）で署名されています。";
      break;
    case signing::Verdict::kForged:
      reason =
          "更新パッケージの署名が正しくありません（KrInst.sig が署名の後で変更されています）。";
      break;
    case signing::Verdict::kChanged:
      reason = "更新パッケージに" + FirstChange(verification.changes);
      break;
    case signing::Verdict::kUnreadable:
      reason = "更新パッケージのフォルダを読み込めません。";
      break;
  }
  return reason + std::string(kNotUsable);
}

}  // namespace

std::optional<std::string> CheckPackageSignature(std::string_view package_root) {
  // No folder at all means the package files are taken from the current folder.
  std::string root = package_root.empty() ? std::string(".\\") : std::string(package_root);
  std::string shown = platform::NativePath(root);
  if (!platform::Listed(root, platform::ListKind::kWithDirectories)) return std::nullopt;
  std::vector<std::string> folders = platform::CurrentEnv().TrustedKeyFolders();
  signing::TrustedKeys trusted = signing::LoadTrustedKeys(folders);
  for (const std::string& problem : trusted.problems) LogLine(problem);
  if (!trusted.required()) {
    std::string searched;
    for (const std::string& folder : folders) {
      searched += (searched.empty() ? "" : ", ") + platform::NativePath(folder);
    }
    LogLine("package " + shown + " not verified: no trusted signing key in " + searched);
    return std::nullopt;
  }
  signing::Verification verification = signing::VerifyPackage(root, trusted.keys);
  std::vector<std::string> lines = signing::Describe(verification);
  for (const std::string& line : lines) LogLine("package " + shown + ": " + line);
  if (verification.verdict == signing::Verdict::kIntact) return std::nullopt;
  return Refusal(verification);
}

}  // namespace kr::startup
