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

// Where a step is written, for the log line of a bug. Origin::Here() as a default argument gives
// the caller's place. (Clang 14 with libstdc++ 12 has no std::source_location; both compilers
// have these builtins.)
struct Origin {
  static constexpr Origin Here(const char* file = __builtin_FILE(), int line = __builtin_LINE(),
                               const char* function = __builtin_FUNCTION()) {
    return Origin{file, line, function};
  }
  const char* file;
  int line;
  const char* function;
};

namespace internal {
// Runs f and returns the Failure it threw, or nothing on success. Running out of memory is
// failure 7. Any other exception is a bug, not a failure of the run: when StrictFailures() it is
// logged with its origin and the process aborts; otherwise it is logged with its origin and
// becomes failure 51, so a user's run goes on.
std::optional<Failure> Capture(const std::function<void()>& f, Origin origin) noexcept;
// On in builds with assertions, and wherever KR_STRICT=1 is set (the test suite sets it). Read
// once; the process never changes it.
bool StrictFailures();
// A failure a regime is about to log as line: the scope in force (FailureScope) hears of it and
// puts its place in front of a line from any regime but its owner's. Returns the line to log.
std::string ScopedFailure(const void* regime, std::string line, const Failure& failure);
}  // namespace internal

class StepAndContinue;

// The larger piece of work this thread's failures belong to while the scope lives: a routine on
// one database. Failures that the operations it calls log and drop (leave-on-error, their own
// step-and-continue) would name only those operations; inside the scope their log lines start
// with the owner's place and step, and every failure logged, the owner's own included, reaches
// listener: the run report's record of failed steps sees what the log sees. Scopes nest; the
// innermost hears. Not thread-safe, as runs are not.
class FailureScope {
 public:
  using Listener = std::function<void(const Failure&)>;
  FailureScope(const StepAndContinue& owner, Listener listener);
  ~FailureScope();
  FailureScope(const FailureScope&) = delete;
  FailureScope& operator=(const FailureScope&) = delete;

  static FailureScope* Current();
  const StepAndContinue& owner() const { return owner_; }
  void Heard(const Failure& failure) const;

 private:
  const StepAndContinue& owner_;
  Listener listener_;
  FailureScope* previous_;
};

// Step-and-continue. One instance per operation; every step of the operation goes through it.
class StepAndContinue {
 public:
  explicit StepAndContinue(std::string_view operation) : operation_(operation) {}

  // Runs one step. On failure the step's failure becomes the pending one (replacing an older
  // one) and false is returned; the caller goes on with its next step.
  template <class F>
  bool Step(F&& step, Origin origin = Origin::Here()) {
    auto failure = internal::Capture([&] { std::forward<F>(step)(); }, origin);
    if (!failure) return true;
    LogLine(internal::ScopedFailure(this, where() + failure->what(), *failure));
    pending_ = std::move(failure);
    return false;
  }

  // Runs a step that computes a value; on failure returns fallback (and the failure is pending).
  template <class T, class F>
  T Value(T fallback, F&& step, Origin origin = Origin::Here()) {
    T result = std::move(fallback);
    Step([&] { result = std::forward<F>(step)(); }, origin);
    return result;
  }

  // What the failures logged from now on were working on, after the operation's name: the file
  // and the step ("" for none). A log line that names only the operation tells nobody which
  // database of which year failed.
  void SetPlace(std::string_view place) { place_ = place; }
  void SetStep(std::string_view step) { step_ = step; }
  const std::string& place() const { return place_; }
  const std::string& step() const { return step_; }
  // "operation: place: step: ", as failure lines begin.
  std::string where() const {
    std::string where = operation_ + ": ";
    if (!place_.empty()) where += place_ + ": ";
    if (!step_.empty()) where += step_ + ": ";
    return where;
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
  std::string place_;
  std::string step_;
  std::optional<Failure> pending_;
};

// Leave-on-error: runs body; the first failure ends it, is logged and dropped, and fallback is
// returned. Work the body did before the failure stays done.
template <class T, class F>
T LeaveOnError(std::string_view operation, T fallback, F&& body, Origin origin = Origin::Here()) {
  std::optional<T> result;
  auto failure = internal::Capture([&] { result.emplace(std::forward<F>(body)()); }, origin);
  if (!failure) return std::move(*result);
  LogLine(
      internal::ScopedFailure(nullptr, std::string(operation) + ": " + failure->what(), *failure));
  return fallback;
}

// Leave-on-error for a body without a result.
template <class F>
void LeaveOnError(std::string_view operation, F&& body, Origin origin = Origin::Here()) {
  auto failure = internal::Capture([&] { std::forward<F>(body)(); }, origin);
  if (failure) {
    LogLine(internal::ScopedFailure(nullptr, std::string(operation) + ": " + failure->what(),
                                    *failure));
  }
}

}  // namespace kr
