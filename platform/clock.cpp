// The run clock: local time, or the time KR_NOW fixes for reproducible runs.
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace kr::platform {
namespace {

std::optional<LocalTime> FixedTime(const std::string& text) {
  LocalTime t;
  int consumed = 0;
  int fields = std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d%n", &t.year, &t.month, &t.day,
                           &t.hour, &t.minute, &consumed);
  if (fields != 5) return std::nullopt;
  std::string_view rest = std::string_view(text).substr(static_cast<size_t>(consumed));
  if (!rest.empty()) {
    int extra = 0;
    if (std::sscanf(rest.data(), ":%2d%n", &t.second, &extra) != 1 ||
        static_cast<size_t>(extra) != rest.size()) {
      return std::nullopt;
    }
  }
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 ||
      t.second > 59 || t.hour < 0 || t.minute < 0 || t.second < 0) {
    return std::nullopt;
  }
  return t;
}

int64_t MonotonicNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// One thread at a time, as the rest of a run.
std::array<int64_t, 3> phase_ns{};

}  // namespace

PhaseTimer::PhaseTimer(RunPhase phase) : phase_(phase), started_ns_(MonotonicNs()) {}

PhaseTimer::~PhaseTimer() { phase_ns[static_cast<size_t>(phase_)] += MonotonicNs() - started_ns_; }

double PhaseSeconds(RunPhase phase) {
  return static_cast<double>(phase_ns[static_cast<size_t>(phase)]) / 1e9;
}

void ResetPhaseTimes() { phase_ns.fill(0); }

LocalTime Env::Now() {
  std::string fixed = internal::GetEnv("KR_NOW");
  if (!fixed.empty()) {
    if (std::optional<LocalTime> t = FixedTime(fixed)) return *t;
    LogLine("KR_NOW is not \"yyyy-mm-dd hh:mm[:ss]\"; using the real clock: " + fixed);
  }
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace kr::platform
