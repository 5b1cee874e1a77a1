#include "platform/failure.h"

#include <cassert>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>

namespace kr {

std::string_view RuntimeErrorDescription(int number) {
  switch (number) {
    case kErrInvalidCall:
      return "プロシージャの呼び出し、または引数が不正です。";
    case kErrOverflow:
      return "オーバーフローしました。";
    case kErrOutOfMemory:
      return "メモリが不足しています。";
    case kErrSubscript:
      return "インデックスが有効範囲にありません。";
    case kErrTypeMismatch:
      return "型が一致しません。";
    case kErrInternal:
      return "内部エラーです。";
    case kErrBadFileName:
      return "ファイル名または番号が不正です。";
    case kErrFileNotFound:
      return "ファイルが見つかりません。";
    case kErrFileAlreadyOpen:
      return "ファイルは既に開かれています。";
    case kErrDeviceIo:
      return "デバイス I/O エラーです。";
    case kErrFileExists:
      return "既に同名のファイルが存在しています。";
    case kErrDiskFull:
      return "ディスクの空き容量が不足しています。";
    case kErrPermissionDenied:
      return "書き込みできません。";
    case kErrPathFileAccess:
      return "パス名が無効です。";
    case kErrPathNotFound:
      return "パスが見つかりません。";
    case kErrObjectNotSet:
      return "オブジェクト変数または With ブロック変数が設定されていません。";
    default:
      return "";
  }
}

Failure::Failure(int number, std::string description, std::string log_text)
    : number_(number), description_(std::move(description)), log_text_(std::move(log_text)) {
  if (log_text_.empty()) log_text_ = "error " + std::to_string(number_);
}

Failure Failure::Runtime(int number, std::string log_text) {
  return Failure(number, std::string(RuntimeErrorDescription(number)), std::move(log_text));
}

void LogLine(std::string_view text) {
  const char* target = std::getenv("KR_LOG");
  if (target == nullptr || *target == '\0') return;
  FILE* out = std::string_view(target) == "-" ? stderr : std::fopen(target, "a");
  if (out == nullptr) return;
  std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
  std::fprintf(out, "%s %.*s\n", stamp, static_cast<int>(text.size()), text.data());
  if (out != stderr) std::fclose(out);
}

namespace {
FailureScope* current_scope = nullptr;  // the innermost FailureScope of the run's thread
}  // namespace

FailureScope::FailureScope(const StepAndContinue& owner, Listener listener)
    : owner_(owner), listener_(std::move(listener)), previous_(current_scope) {
  current_scope = this;
}

FailureScope::~FailureScope() {
  assert(current_scope == this && "failure scopes end in the order they began");
  current_scope = previous_;
}

FailureScope* FailureScope::Current() { return current_scope; }

void FailureScope::Heard(const Failure& failure) const {
  if (listener_) listener_(failure);
}

namespace internal {

std::string ScopedFailure(const void* regime, std::string line, const Failure& failure) {
  const FailureScope* scope = FailureScope::Current();
  if (scope == nullptr) return line;
  scope->Heard(failure);
  if (regime == &scope->owner()) return line;
  return scope->owner().where() + line;
}

namespace {

Failure Bug(std::string_view what, const Origin& origin) {
  std::string text = "internal error at " + std::string(origin.file) + ":" +
                     std::to_string(origin.line) + " (" + origin.function +
                     "): " + std::string(what);
  LogLine(text);
  if (StrictFailures()) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::abort();
  }
  return Failure::Runtime(kErrInternal, text);
}

}  // namespace

bool StrictFailures() {
#ifndef NDEBUG
  return true;
#else
  static const bool strict = [] {
    const char* value = std::getenv("KR_STRICT");
    return value != nullptr && std::string_view(value) == "1";
  }();
  return strict;
#endif
}

std::optional<Failure> Capture(const std::function<void()>& f, Origin origin) noexcept {
  try {
    f();
    return std::nullopt;
  } catch (const Failure& failure) {
    return failure;
  } catch (const std::bad_alloc&) {
    return Failure::Runtime(kErrOutOfMemory, "out of memory");
  } catch (const std::exception& e) {
    return Bug(e.what(), origin);
  } catch (...) {
    return Bug("an exception that is not a std::exception", origin);
  }
}

}  // namespace internal
}  // namespace kr
