#include <chrono>
#include <thread>

#include "manifest/manifest.h"
#include "platform/failure.h"
#include "platform/platform.h"

namespace kr::manifest {
namespace {
// Short enough that the wait dialog stays responsive, long enough not to spin a core.
constexpr auto kPollInterval = std::chrono::milliseconds(10);
}  // namespace

bool RunAndWait(ui::Ui& ui, std::string_view command_line, int window_style) {
  return LeaveOnError("RunAndWait", false, [&] {
    auto child = platform::CurrentEnv().StartProcess(command_line, window_style == 0);
    // What the program does is out of the run's sight: undo has to say so.
    if (report::Recorder* recorder = report::Current()) {
      recorder->report().programs.emplace_back(command_line);
    }
    while (!child->Ended()) {
      ui.PumpEvents();
      std::this_thread::sleep_for(kPollInterval);
    }
    return true;
  });
}

}  // namespace kr::manifest
