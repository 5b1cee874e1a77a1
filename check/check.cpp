// The package check: KrInst.ini read line by line as the profile functions read it, its
// sections and keys against those the updater knows, then every manifest and routine line.
#include "check/check.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <set>

#include "check/check_internal.h"
#include "manifest/manifest.h"
#include "platform/failure.h"
#include "platform/platform.h"
#include "support/support.h"

namespace kr::check {

namespace {

using internal::Quoted;
using internal::Report;

constexpr std::string_view kBootstrap = "Bootstrap";
constexpr std::string_view kFiles = "Bootstrap Files";
constexpr std::string_view kFunction = "Function";
constexpr std::string_view kFileChk = "FileChk";

enum class ValueType { kText, kInteger, kYear, kVersion };
struct KeyDef {
  std::string_view name;
  ValueType type;
};
constexpr std::array<KeyDef, 18> kBootstrapKeys = {{
    {"ExeName", ValueType::kText},
    {"ExeYear", ValueType::kYear},
    {"InstModel", ValueType::kInteger},
    {"DispDlgCaption", ValueType::kText},
    {"ExeVersion", ValueType::kVersion},
    {"ExeTitle", ValueType::kText},
    {"ShortCut", ValueType::kText},
    {"CabFile", ValueType::kText},
    {"DispEndMsg", ValueType::kText},
    {"DispEndErrMsg", ValueType::kText},
    {"DispPathCaption", ValueType::kText},
    {"DispCommentCaption", ValueType::kText},
    {"DispCommentCaption2", ValueType::kText},
    {"ExeInitDir", ValueType::kText},
    {"ChkExeName", ValueType::kInteger},
    {"ChkExeYear", ValueType::kInteger},
    {"ChkExeVersion", ValueType::kInteger},
    {"ChkLoading", ValueType::kInteger},
}};
constexpr std::array<KeyDef, 4> kFileChkKeys = {{
    {"ExeName", ValueType::kText},
    {"ExeInitDir", ValueType::kText},
    {"ExeVersion", ValueType::kVersion},
    {"ChkExeVersion", ValueType::kInteger},
}};

template <size_t N>
std::vector<std::string> Names(const std::array<KeyDef, N>& keys) {
  std::vector<std::string> names;
  for (const KeyDef& key : keys) names.emplace_back(key.name);
  return names;
}

std::string Fold(std::string_view text) { return support::LowerCase(text); }

bool IsInteger(std::string_view text) {
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  return !text.empty() && text.size() <= 10 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsVersion(std::string_view text) {
  if (text.empty() || text.front() == '.' || text.back() == '.') return false;
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return (c >= '0' && c <= '9') || c == '.'; }) &&
         text.find("..") == std::string_view::npos;
}

std::string Suggestion(std::string_view name, const std::vector<std::string>& candidates) {
  std::string nearest = Nearest(name, candidates);
  return nearest.empty() ? std::string() : "（" + Quoted(nearest) + " の誤りではありませんか）";
}

void CheckValue(Report& report, const platform::profile::ProfileLine& line, ValueType type) {
  // The profile functions drop a pair of quotes around a value.
  std::string value = line.value;
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  if (value.empty() || type == ValueType::kText) return;
  bool good = type == ValueType::kVersion ? IsVersion(value) : IsInteger(value);
  if (good && type == ValueType::kYear) {
    long year = std::stol(value);
    good = year >= 0 && year <= 32767;
  }
  if (good) return;
  const char* wanted = type == ValueType::kVersion ? "数字と「.」の版番号（例: 2.0.84）"
                       : type == ValueType::kYear  ? "年（例: 2019）"
                                                   : "整数";
  report.Error(line.number, "malformed-value",
               Quoted(line.name) + " の値 " + Quoted(value) + " は" + wanted + "ではありません。");
}

// The sections the updater reads take their first occurrence only, as the profile functions do.
class IniChecker {
 public:
  IniChecker(Report& report, std::string package_folder)
      : report_(report), package_folder_(std::move(package_folder)) {}

  void Run(const platform::profile::ProfileListing& listing) {
    for (const platform::profile::ProfileLine& line : listing.lines) {
      if (line.undecodable) {
        report_.Error(line.number, "encoding",
                      "文字コード " + listing.encoding +
                          " として読めない文字があります（Shift_JIS または UTF-8 "
                          "で保存してください）。");
      }
      switch (line.kind) {
        case platform::profile::LineKind::kSection:
          Section(line);
          break;
        case platform::profile::LineKind::kEntry:
          Entry(line);
          break;
        default:
          break;
      }
    }
  }

 private:
  void Section(const platform::profile::ProfileLine& line) {
    if (!line.closed) {
      report_.Error(line.number, "syntax", "セクション名が「]」で閉じられていません。");
    }
    const std::vector<std::string> known = {std::string(kBootstrap), std::string(kFiles),
                                            std::string(kFunction), std::string(kFileChk)};
    section_.clear();
    ignored_ = false;
    std::string folded = Fold(line.name);
    auto it = std::find_if(known.begin(), known.end(),
                           [&](const std::string& k) { return Fold(k) == folded; });
    if (it == known.end()) {
      report_.Warning(line.number, "unknown-section",
                      "アップデートが読まないセクション " + Quoted(line.name) + " です" +
                          Suggestion(line.name, known) + "。");
      ignored_ = true;
      return;
    }
    if (!seen_sections_.insert(folded).second) {
      report_.Warning(
          line.number, "duplicate-section",
          "セクション " + Quoted(*it) + " が二度目です。アップデートは最初のものだけを読みます。");
      ignored_ = true;
      return;
    }
    section_ = *it;
    keys_.clear();
  }

  void Entry(const platform::profile::ProfileLine& line) {
    if (ignored_) return;
    if (section_.empty()) {
      report_.Warning(line.number, "syntax",
                      "セクションの前の行です。アップデートはこの行を読みません。");
      return;
    }
    if (section_ == kFiles || section_ == kFunction) {
      // A manifest line is its text right of the first "=", or the whole line without one.
      std::vector<std::string> values =
          manifest::ParseManifestValues(line.has_equals ? line.name + "=" + line.value : line.text);
      if (section_ == kFiles) {
        internal::CheckFileLine(report_, line.number, package_folder_, values);
      } else {
        internal::CheckFunctionLine(report_, line.number, package_folder_, values);
      }
      return;
    }
    if (!line.has_equals) {
      report_.Error(line.number, "syntax", Quoted(line.text) + " に「=」がありません。");
      return;
    }
    KeyEntry(line, section_ == kBootstrap
                       ? std::vector<KeyDef>(kBootstrapKeys.begin(), kBootstrapKeys.end())
                       : std::vector<KeyDef>(kFileChkKeys.begin(), kFileChkKeys.end()));
  }

  void KeyEntry(const platform::profile::ProfileLine& line, const std::vector<KeyDef>& keys) {
    std::string folded = Fold(line.name);
    auto it = std::find_if(keys.begin(), keys.end(),
                           [&](const KeyDef& k) { return Fold(k.name) == folded; });
    if (it == keys.end()) {
      std::vector<std::string> names;
      for (const KeyDef& key : keys) names.emplace_back(key.name);
      report_.Warning(line.number, "unknown-key",
                      "セクション " + Quoted(section_) + " にない項目 " + Quoted(line.name) +
                          " です" + Suggestion(line.name, names) + "。");
      return;
    }
    if (!keys_.insert(folded).second) {
      report_.Warning(line.number, "duplicate-key",
                      Quoted(it->name) + " が二度目です。アップデートは最初の値を使います。");
      return;
    }
    CheckValue(report_, line, it->type);
  }

  Report& report_;
  std::string package_folder_;
  std::string section_;  // the known section being read, "" outside one
  bool ignored_ = false;
  std::set<std::string> seen_sections_;
  std::set<std::string> keys_;
};

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (byte < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// Edit distance; a difference of letter case alone costs a tenth of a change.
int Distance(std::string_view a, std::string_view b) {
  std::vector<int> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = static_cast<int>(j) * 10;
  for (size_t i = 1; i <= a.size(); ++i) {
    int diagonal = row[0];
    row[0] = static_cast<int>(i) * 10;
    for (size_t j = 1; j <= b.size(); ++j) {
      int cost = a[i - 1] == b[j - 1] ? 0
                 : std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                         std::tolower(static_cast<unsigned char>(b[j - 1]))
                     ? 1
                     : 10;
      int next = std::min({row[j] + 10, row[j - 1] + 10, diagonal + cost});
      diagonal = row[j];
      row[j] = next;
    }
  }
  return row[b.size()];
}

}  // namespace

std::string Nearest(std::string_view name, const std::vector<std::string>& candidates) {
  std::string best;
  int best_distance = 0;
  for (const std::string& candidate : candidates) {
    int d = Distance(name, candidate);
    if (best.empty() || d < best_distance) {
      best = candidate;
      best_distance = d;
    }
  }
  // Near enough: at most a third of the letters changed (a letter-case slip always is).
  int limit = std::max<int>(10, static_cast<int>(name.size()) * 10 / 3);
  return !best.empty() && best_distance <= limit && best != name ? best : std::string();
}

std::vector<Problem> CheckPackage(std::string_view package_folder) {
  std::string folder(package_folder);
  folder = support::AddTrailingSeparator(folder);
  Report report;
  const std::string ini = folder + "KrInst.ini";
  if (!platform::FileExists(ini)) {
    report.Error(0, "missing-ini", "パッケージに KrInst.ini がありません。");
    return report.problems();
  }
  std::optional<platform::profile::ProfileListing> listing =
      LeaveOnError("check KrInst.ini", std::optional<platform::profile::ProfileListing>(),
                   [&] { return platform::profile::ListLines(ini); });
  if (!listing) {
    report.Error(0, "unreadable", "KrInst.ini を読めません。");
    return report.problems();
  }
  IniChecker(report, folder).Run(*listing);
  std::vector<Problem> problems = std::move(report.problems());
  std::stable_sort(problems.begin(), problems.end(),
                   [](const Problem& a, const Problem& b) { return a.line < b.line; });
  return problems;
}

std::string FormatText(const std::vector<Problem>& problems) {
  std::string text;
  for (const Problem& p : problems) {
    text += "KrInst.ini:" + std::to_string(p.line) + ": " +
            (p.severity == Severity::kError ? "エラー" : "警告") + ": " + p.message + " [" +
            p.code + "]\n";
  }
  return text;
}

std::string FormatJson(const std::vector<Problem>& problems) {
  std::string json = "[";
  for (size_t i = 0; i < problems.size(); ++i) {
    const Problem& p = problems[i];
    json += i == 0 ? "\n" : ",\n";
    json += "  {\"line\": " + std::to_string(p.line) +
            ", \"severity\": " + JsonString(p.severity == Severity::kError ? "error" : "warning") +
            ", \"message\": " + JsonString(p.message) + ", \"code\": " + JsonString(p.code) + "}";
  }
  return json + (problems.empty() ? "]\n" : "\n]\n");
}

}  // namespace kr::check
