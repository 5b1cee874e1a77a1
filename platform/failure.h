// Failures and the three failure regimes every operation of the updater runs under.
//
// A Failure is what the original's run-time error was: a number and a description. The
// description is the Japanese text a user may see (in an error block of the end message or a
// message box); what() is the English text for the log.
//
// The regimes:
//   step-and-continue  StepAndContinue: each step runs; a failing step is skipped and becomes the
//                      pending failure; the operation goes on. The owner decides at the end
//                      whether the pending failure is reported (an error block, a message box) or
//                      dropped.
//   leave-on-error     LeaveOnError(fallback, body): the first failure ends the body; the failure
//                      is logged and dropped, and the fallback is returned.
//   pass-through       plain code: a Failure propagates to the caller, whose regime applies.
// Each operation names its regime in its header comment and uses exactly one of these.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace kr {

// Error numbers of the language run-time that the updater shows to users. The engine's DAO
// numbers (3000 and up) are defined by db/engine.
enum ErrorNumber : int {
  kErrInvalidCall = 5,
  kErrOverflow = 6,
  kErrOutOfMemory = 7,
  kErrSubscript = 9,
  kErrTypeMismatch = 13,
  kErrInternal = 51,
  kErrBadFileName = 52,
  kErrFileNotFound = 53,
  kErrFileAlreadyOpen = 55,
  kErrDeviceIo = 57,
  kErrFileExists = 58,
  kErrDiskFull = 61,
  kErrPermissionDenied = 70,
  kErrPathFileAccess = 75,
  kErrPathNotFound = 76,
  kErrObjectNotSet = 91,
};

// The Japanese description the run-time gives for one of the numbers above ("" if unknown).
std::string_view RuntimeErrorDescription(int number);

class Failure : public std::exception {
 public:
  // description: Japanese, shown to users. log_text: English, for the log; when empty, a text
  // is made from the number.
  Failure(int number, std::string description, std::string log_text = {});
  // A failure with one of the run-time numbers above and its standard description.
  static Failure Runtime(int number, std::string log_text = {});

  int number() const { return number_; }
  const std::string& description() const { return description_; }
  const char* what() const noexcept override { return log_text_.c_str(); }

 private:
  int number_;
  std::string description_;
  std::string log_text_;
};

// Writes one English line to the log named by the KR_LOG environment variable ("-" is stderr;
// unset means no log). Never throws.
void LogLine(std::string_view text);

namespace internal {
// Runs f, turning any exception into a Failure. Returns the failure, or nothing on success.
std::optional<Failure> Capture(const std::function<void()>& f) noexcept;
}  // namespace internal

// Step-and-continue. One instance per operation; every step of the operation goes through it.
class StepAndContinue {
 public:
  explicit StepAndContinue(std::string_view operation) : operation_(operation) {}

  // Runs one step. On failure the step's failure becomes the pending one (replacing an older
  // one) and false is returned; the caller goes on with its next step.
  template <class F>
  bool Step(F&& step) {
    auto failure = internal::Capture([&] { std::forward<F>(step)(); });
    if (!failure) return true;
    LogLine(operation_ + ": " + failure->what());
    pending_ = std::move(failure);
    return false;
  }

  // Runs a step that computes a value; on failure returns fallback (and the failure is pending).
  template <class T, class F>
  T Value(T fallback, F&& step) {
    T result = std::move(fallback);
    Step([&] { result = std::forward<F>(step)(); });
    return result;
  }

  // Calls another operation of the updater. Such an operation handles its own failures, and
  // starting it clears whatever failure was pending here (as a called procedure resets the
  // run-time's error state). Its own failures, if it lets any escape, become pending.
  template <class F>
  auto Call(F&& operation) {
    pending_.reset();
    using R = std::invoke_result_t<F>;
    if constexpr (std::is_void_v<R>) {
      Step(std::forward<F>(operation));
    } else {
      return Value(R{}, std::forward<F>(operation));
    }
  }

  bool failed() const { return pending_.has_value(); }
  const std::optional<Failure>& pending() const { return pending_; }
  void Clear() { pending_.reset(); }

 private:
  std::string operation_;
  std::optional<Failure> pending_;
};

// Leave-on-error: runs body; the first failure ends it, is logged and dropped, and fallback is
// returned. Work the body did before the failure stays done.
template <class T, class F>
T LeaveOnError(std::string_view operation, T fallback, F&& body) {
  std::optional<T> result;
  auto failure = internal::Capture([&] { result.emplace(std::forward<F>(body)()); });
  if (!failure) return std::move(*result);
  LogLine(std::string(operation) + ": " + failure->what());
  return fallback;
}

// Leave-on-error for a body without a result.
template <class F>
void LeaveOnError(std::string_view operation, F&& body) {
  auto failure = internal::Capture([&] { std::forward<F>(body)(); });
  if (failure) LogLine(std::string(operation) + ": " + failure->what());
}

}  // namespace kr
