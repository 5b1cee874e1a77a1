// The plan Env: a run that changes nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kr::platform {

// An Env that changes nothing: a plan of a run. Reads fall through to the Env in force when it
// is made; every change (files, folders, renames, deletions, attributes, shortcuts, database
// files with their pages and locks) goes to a private copy-on-write folder, and later reads see
// it there; deleted paths disappear from listings. A file is copied on its first change only,
// so the folder grows with what the run changes, not with the installation. Child programs are
// not started: StartProcess resolves the program as a run would (53 when it is missing), logs
// "would run" and gives a child that has ended with 0. Writes are not flushed while it lives.
// Everything is removed with the object. One thread, like a run.
class OverlayEnv : public Env {
 public:
  OverlayEnv();
  ~OverlayEnv() override;
  OverlayEnv(const OverlayEnv&) = delete;
  OverlayEnv& operator=(const OverlayEnv&) = delete;

  // Bytes of disk the private folder takes now.
  int64_t DiskUse() const;
  // The command lines StartProcess was asked to run, in order.
  const std::vector<std::string>& WouldRun() const;

  std::string NativePath(std::string_view path) override;
  std::vector<DirEntry> List(std::string_view pattern, ListKind kind) override;
  bool Listed(std::string_view pattern, ListKind kind) override;
  FileAttributes Attributes(std::string_view path) override;
  std::vector<TreeEntry> ListTree(std::string_view folder) override;
  void CopyFile(std::string_view from, std::string_view to) override;
  void ReplaceFile(std::string_view from, std::string_view to) override;
  void DeleteFile(std::string_view path) override;
  void Rename(std::string_view from, std::string_view to) override;
  void MakeDirectory(std::string_view path) override;
  void RemoveDirectory(std::string_view path) override;
  void SetReadOnly(std::string_view path, bool read_only) override;
  std::string ReadFile(std::string_view path) override;
  void ReadFileInPieces(std::string_view path, std::span<char> buffer,
                        const std::function<void(std::string_view)>& piece) override;
  void WriteFile(std::string_view path, std::string_view bytes) override;
  bool SameContent(std::string_view a, std::string_view b) override;
  bool FileInUse(std::string_view path) override;
  std::unique_ptr<DatabaseFile> OpenDatabaseFile(std::string_view native_path,
                                                 const DatabaseFileMode& mode) override;
  size_t ReadDatabaseFile(DatabaseFile& file, int64_t offset, void* buffer, size_t size) override;
  bool PeekDatabaseFile(DatabaseFile& file, int64_t offset, void* buffer, size_t size) override;
  void WriteDatabaseFile(DatabaseFile& file, int64_t offset, const void* bytes,
                         size_t size) override;
  void TruncateDatabaseFile(DatabaseFile& file, int64_t size) override;
  void SyncDatabaseFile(DatabaseFile& file) override;
  int64_t DatabaseFileSize(DatabaseFile& file) override;
  bool LockDatabaseFile(DatabaseFile& file, int64_t start, int64_t length, RangeLock lock) override;
  bool DatabaseFileLockedElsewhere(DatabaseFile& file, int64_t start, int64_t length) override;
  void DeleteDatabaseFile(std::string_view native_path, bool sync_folder) override;
  DatabaseFileStatus StatDatabaseFile(std::string_view native_path) override;
  std::string WindowsFolder() override;
  std::string SystemFolder() override;
  std::string CommonAppDataFolder() override;
  std::string ProgramsFolder() override;
  std::string DesktopFolder() override;
  std::string ExecutableFolder() override;
  std::vector<std::string> TrustedKeyFolders() override;
  std::unique_ptr<ChildProcess> StartProcess(std::string_view command_line, bool hidden) override;
  std::string ShortcutFileName(std::string_view link_name) override;
  void WriteShortcut(std::string_view path, std::string_view target, std::string_view arguments,
                     std::string_view icon) override;
  LocalTime Now() override;
  std::string ReadingPath(std::string_view native_path) override;

  class State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace kr::platform
