// Whether a running process holds a file: the process table stands in for Windows' exclusive
// open, so the file itself is never opened or touched.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/platform.h"

namespace kr::platform {
namespace {

bool IsNumber(const char* text) {
  if (*text == '\0') return false;
  for (; *text != '\0'; ++text) {
    if (!std::isdigit(static_cast<unsigned char>(*text))) return false;
  }
  return true;
}

// Whether the magic link (an fd or exe entry of /proc) points at the file.
bool LinkIs(const std::string& link, const struct stat& file) {
  struct stat target;
  return stat(link.c_str(), &target) == 0 && target.st_dev == file.st_dev &&
         target.st_ino == file.st_ino;
}

bool HoldsOpen(const std::string& process, const struct stat& file) {
  if (LinkIs(process + "/exe", file)) return true;
  std::string fd_folder = process + "/fd";
  DIR* fds = opendir(fd_folder.c_str());
  if (fds == nullptr) return false;  // another user's process: not visible to us
  bool found = false;
  while (dirent* entry = readdir(fds)) {
    if (IsNumber(entry->d_name) && LinkIs(fd_folder + "/" + entry->d_name, file)) {
      found = true;
      break;
    }
  }
  closedir(fds);
  return found;
}

// Mapped files (shared libraries, memory-mapped data) count as held as well.
bool MapsFile(const std::string& process, const struct stat& file) {
  std::ifstream maps(process + "/maps");
  std::string line;
  while (std::getline(maps, line)) {
    // address perms offset dev inode path
    size_t field = 0, pos = 0;
    for (; field < 4 && pos != std::string::npos; ++field) pos = line.find(' ', pos + 1);
    if (pos == std::string::npos) continue;
    unsigned long long inode = std::strtoull(line.c_str() + pos + 1, nullptr, 10);
    if (inode != 0 && inode == static_cast<unsigned long long>(file.st_ino)) {
      size_t path_start = line.find('/', pos);
      if (path_start != std::string::npos) {
        struct stat mapped;
        std::string path = line.substr(path_start);
        if (stat(path.c_str(), &mapped) == 0 && mapped.st_dev == file.st_dev &&
            mapped.st_ino == file.st_ino) {
          return true;
        }
      }
    }
  }
  return false;
}

}  // namespace

bool Env::FileInUse(std::string_view path) {
  std::string native = NativePath(path);
  struct stat file;
  if (stat(native.c_str(), &file) != 0 || !S_ISREG(file.st_mode)) return false;
  DIR* processes = opendir("/proc");
  if (processes == nullptr) return false;
  bool in_use = false;
  while (dirent* entry = readdir(processes)) {
    if (!IsNumber(entry->d_name)) continue;
    std::string process = std::string("/proc/") + entry->d_name;
    if (HoldsOpen(process, file) || MapsFile(process, file)) {
      in_use = true;
      break;
    }
  }
  closedir(processes);
  return in_use;
}

}  // namespace kr::platform
