#include <cstdio>
#include <string>

#include "manifest/manifest.h"
#include "platform/failure.h"
#include "platform/platform.h"

namespace kr::manifest {
namespace {

constexpr std::string_view kReportFolder = "UpdateLog\\";

std::string Format(const platform::LocalTime& t, const char* pattern) {
  char text[40];
  std::snprintf(text, sizeof text, pattern, t.year, t.month, t.day, t.hour, t.minute, t.second);
  return text;
}

}  // namespace

std::string ReportTime(const platform::LocalTime& time) {
  return Format(time, "%04d-%02d-%02dT%02d:%02d:%02d");
}

std::string ReportFolder(std::string_view install_folder) {
  return std::string(install_folder) + std::string(kReportFolder);
}

std::string ReportStamp(std::string_view install_folder) {
  std::string folder = ReportFolder(install_folder);
  // Two runs within one second (or a fixed clock) keep both reports, and a killed run's saved
  // copies are not mixed with the next run's.
  std::string stamp = Format(platform::CurrentEnv().Now(), "%04d%02d%02d%02d%02d%02d");
  auto taken = [&](const std::string& name) {
    return platform::Attributes(folder + name + ".json").exists ||
           platform::Attributes(folder + name).exists;
  };
  std::string name = stamp;
  for (int n = 2; taken(name); ++n) name = stamp + "-" + std::to_string(n);
  return name;
}

std::string WriteRunReport(std::string_view install_folder, const report::Report& report,
                           std::string_view stamp) {
  return LeaveOnError("WriteRunReport", std::string(), [&] {
    std::string folder = ReportFolder(install_folder);
    if (!platform::Attributes(folder).is_directory) platform::MakeDirectory(folder);
    std::string path = folder + std::string(stamp) + ".json";
    if (stamp.empty() || platform::Attributes(path).exists) {
      path = folder + ReportStamp(install_folder) + ".json";
    }
    platform::WriteFile(path, report::ToJson(report));
    return platform::NativePath(path);
  });
}

}  // namespace kr::manifest
