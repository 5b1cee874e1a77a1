// The single-instance guard: an advisory lock on a file in the user's runtime folder. The lock
// dies with the process, so a crashed copy never blocks the next start.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace kr::platform {
namespace {

class FileLockGuard : public InstanceGuard {
 public:
  explicit FileLockGuard(int fd) : fd_(fd) {}
  ~FileLockGuard() override {
    if (fd_ >= 0) close(fd_);
  }

 private:
  int fd_;
};

std::string LockFolder() {
  std::string runtime = internal::GetEnv("XDG_RUNTIME_DIR");
  struct stat info;
  if (!runtime.empty() && stat(runtime.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    return runtime;
  }
  return "/tmp";
}

}  // namespace

std::unique_ptr<InstanceGuard> InstanceGuard::Acquire(std::string_view name) {
  std::string file_name(name);
  for (char& c : file_name) {
    if (c == '/' || c == '\\') c = '_';
  }
  std::string path = LockFolder() + "/" + file_name + ".lock";
  // Close-on-exec: a child program must not keep the lock alive after the updater ends.
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    // Without a lock file no other copy can be detected; the run goes on.
    LogLine("instance lock " + path + " cannot be opened; not guarding");
    return std::make_unique<FileLockGuard>(-1);
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    close(fd);
    if (error == EWOULDBLOCK) return nullptr;
    LogLine("instance lock " + path + " cannot be taken; not guarding");
    return std::make_unique<FileLockGuard>(-1);
  }
  return std::make_unique<FileLockGuard>(fd);
}

}  // namespace kr::platform
