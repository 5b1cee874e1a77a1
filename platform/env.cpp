// The Env in force and the short forms that use it.
#include "platform/platform.h"

namespace kr::platform {
namespace {

// Set only by ScopedEnv (tests, a plan), on the run's thread; read by every short form below.
Env* current_env = nullptr;

}  // namespace

Env& Env::Default() {
  static Env env;
  return env;
}

std::string Env::ReadingPath(std::string_view native_path) { return std::string(native_path); }

Env& CurrentEnv() { return current_env != nullptr ? *current_env : Env::Default(); }

ScopedEnv::ScopedEnv(Env& env) : previous_(current_env) { current_env = &env; }

ScopedEnv::~ScopedEnv() { current_env = previous_; }

std::string NativePath(std::string_view path) { return CurrentEnv().NativePath(path); }
std::vector<DirEntry> List(std::string_view pattern, ListKind kind) {
  return CurrentEnv().List(pattern, kind);
}
bool Listed(std::string_view pattern, ListKind kind) { return CurrentEnv().Listed(pattern, kind); }
bool FileExists(std::string_view path) { return Listed(path, ListKind::kPlainFiles); }
FileAttributes Attributes(std::string_view path) { return CurrentEnv().Attributes(path); }
void CopyFile(std::string_view from, std::string_view to) { CurrentEnv().CopyFile(from, to); }
void ReplaceFile(std::string_view from, std::string_view to) { CurrentEnv().ReplaceFile(from, to); }
void DeleteFile(std::string_view path) { CurrentEnv().DeleteFile(path); }
void Rename(std::string_view from, std::string_view to) { CurrentEnv().Rename(from, to); }
void MakeDirectory(std::string_view path) { CurrentEnv().MakeDirectory(path); }
void RemoveDirectory(std::string_view path) { CurrentEnv().RemoveDirectory(path); }
std::string ReadFile(std::string_view path) { return CurrentEnv().ReadFile(path); }
void WriteFile(std::string_view path, std::string_view bytes) {
  CurrentEnv().WriteFile(path, bytes);
}
bool SameContent(std::string_view a, std::string_view b) { return CurrentEnv().SameContent(a, b); }
std::vector<TreeEntry> ListTree(std::string_view folder) { return CurrentEnv().ListTree(folder); }
void ReadFileInPieces(std::string_view path, std::span<char> buffer,
                      const std::function<void(std::string_view)>& piece) {
  CurrentEnv().ReadFileInPieces(path, buffer, piece);
}

}  // namespace kr::platform
