// OverlayEnv: a plan sees its own changes exactly as a run would see them on the disk, and the
// disk does not change.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/overlay.h"
#include "platform/platform.h"
#include "tests/testing/testing.h"

namespace kr::platform {
namespace {

namespace fs = std::filesystem;
using kr::testing::FailureNumber;
using kr::testing::TempDir;

// What the Env in force shows of a folder: every entry with its bytes (folders as "<folder>",
// the folder's own name as "<here>") and read-only flag.
std::map<std::string, std::string> Seen(const TempDir& dir) {
  std::string folder = dir.folder();
  std::map<std::string, std::string> seen;
  for (const TreeEntry& entry : ListTree(folder)) {
    std::string path = folder + entry.path;
    std::string bytes = ReadFile(path);
    for (size_t at; (at = bytes.find(dir.path())) != std::string::npos;) {
      bytes.replace(at, dir.path().size(), "<here>");
    }
    seen[entry.path] = bytes + (Attributes(path).read_only ? " (read-only)" : "");
  }
  for (const DirEntry& entry : List(folder + "*", ListKind::kWithDirectories)) {
    if (entry.is_directory) seen[entry.name] = "<folder>";
  }
  return seen;
}

// Changes below the folder ("...\"), each made whatever the ones before it failed with.
using Step = void (*)(const std::string& at);
struct Case {
  const char* name;
  std::vector<Step> steps;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

// The failure number of each step (0: none).
std::vector<int> Make(const Case& c, const std::string& at) {
  std::vector<int> failures;
  for (Step step : c.steps) failures.push_back(FailureNumber([&] { step(at); }));
  return failures;
}

const Case kCases[] = {
    {"copy over, into a new folder, onto a read-only file and from nowhere",
     {[](const std::string& at) { CopyFile(at + "pkg\\new.txt", at + "app\\A.TXT"); },
      [](const std::string& at) { MakeDirectory(at + "app\\sub\\"); },
      [](const std::string& at) { CopyFile(at + "pkg\\new.txt", at + "app\\sub\\n.txt"); },
      [](const std::string& at) { CopyFile(at + "pkg\\new.txt", at + "app\\locked.txt"); },
      [](const std::string& at) { CopyFile(at + "pkg\\missing", at + "app\\x"); },
      [](const std::string& at) { CopyFile(at + "pkg\\new.txt", at + "nowhere\\x"); },
      [](const std::string& at) { ReplaceFile(at + "app\\sub\\n.txt", at + "app\\b.txt"); }}},
    {"delete, delete by pattern, and delete what is gone",
     {[](const std::string& at) { DeleteFile(at + "app\\a.txt"); },
      [](const std::string& at) { DeleteFile(at + "app\\a.txt"); },
      [](const std::string& at) { DeleteFile(at + "old\\*.tmp"); },
      [](const std::string& at) { DeleteFile(at + "old\\*.tmp"); },
      [](const std::string& at) { DeleteFile(at + "app\\locked.txt"); },
      [](const std::string& at) { RemoveDirectory(at + "app\\"); },
      [](const std::string& at) { RemoveDirectory(at + "old\\"); }}},
    {"rename files and folders, case only, and onto what exists",
     {[](const std::string& at) { Rename(at + "app\\a.txt", at + "app\\a.old"); },
      [](const std::string& at) { Rename(at + "app\\b.txt", at + "app\\B.TXT"); },
      [](const std::string& at) { Rename(at + "old\\", at + "older\\"); },
      [](const std::string& at) { Rename(at + "app\\a.old", at + "app\\locked.txt"); },
      [](const std::string& at) { Rename(at + "app\\gone", at + "app\\c"); },
      [](const std::string& at) { CopyFile(at + "older\\x.tmp", at + "app\\b.txt"); }}},
    {"write, make read-only, remove and make again",
     {[](const std::string& at) { WriteFile(at + "app\\a.txt", "written"); },
      [](const std::string& at) { WriteFile(at + "app\\w\\x.txt", "x"); },
      [](const std::string& at) { CurrentEnv().SetReadOnly(at + "app\\a.txt", true); },
      [](const std::string& at) { WriteFile(at + "app\\a.txt", "again"); },
      [](const std::string& at) { DeleteFile(at + "old\\x.tmp"); },
      [](const std::string& at) { DeleteFile(at + "old\\y.TMP"); },
      [](const std::string& at) { RemoveDirectory(at + "old\\"); },
      [](const std::string& at) { MakeDirectory(at + "old\\"); },
      [](const std::string& at) { MakeDirectory(at + "old\\"); },
      [](const std::string& at) { WriteFile(at + "OLD\\new.txt", "new"); },
      [](const std::string& at) {
        CurrentEnv().WriteShortcut(at + "app\\s.desktop", at + "app\\a.txt", "", "");
      }}},
};

class OverlayTest : public ::testing::TestWithParam<Case> {
 protected:
  static void Fill(const TempDir& dir) {
    dir.Write("pkg/new.txt", "new");
    dir.Write("app/A.txt", "a");
    dir.Write("app/b.txt", "b");
    dir.Write("app/locked.txt", "locked");
    dir.Write("old/x.tmp", "x");
    dir.Write("old/y.TMP", "y");
    fs::permissions(dir.Native("app/locked.txt"), fs::perms::owner_write, fs::perm_options::remove);
  }
  TempDir real_, planned_;
};

TEST_P(OverlayTest, APlanSeesWhatTheRunWouldLeaveAndChangesNothing) {
  Fill(real_);
  Fill(planned_);
  std::vector<int> run_failures = Make(GetParam(), real_.folder());
  std::map<std::string, std::string> after_run = Seen(real_);

  std::map<std::string, std::string> before = planned_.Files();
  {
    OverlayEnv overlay;
    ScopedEnv in_force(overlay);
    EXPECT_EQ(Make(GetParam(), planned_.folder()), run_failures);
    EXPECT_EQ(Seen(planned_), after_run);
  }
  EXPECT_EQ(planned_.Files(), before);
  EXPECT_TRUE(fs::is_directory(planned_.Native("old")));
  EXPECT_FALSE(planned_.Exists("app/w"));
}

INSTANTIATE_TEST_SUITE_P(Steps, OverlayTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

// Two opens of one database file, as two connections of the engine hold them.
class OverlayDatabaseTest : public ::testing::Test {
 protected:
  std::string Native(std::string_view name) const { return dir_.Native(name); }
  static std::string Read(Env& env, DatabaseFile& file, int64_t offset, size_t size) {
    std::string bytes(size, '\0');
    bytes.resize(env.ReadDatabaseFile(file, offset, bytes.data(), size));
    return bytes;
  }
  TempDir dir_;
};

TEST_F(OverlayDatabaseTest, PagesWrittenByOneOpenAreSeenByAllAndTheFileStaysAsItWas) {
  const std::string original = std::string(1 << 20, 'o');
  dir_.Write("File/KrVal.mdb", original);
  dir_.Write("File/KrCri.mdb", "untouched");
  OverlayEnv overlay;
  DatabaseFileMode shared, create;
  create.create = true;
  auto reader = overlay.OpenDatabaseFile(Native("File/KrVal.mdb"), shared);
  auto writer = overlay.OpenDatabaseFile(Native("File/KrVal.mdb"), shared);
  auto other = overlay.OpenDatabaseFile(Native("File/KrCri.mdb"), shared);
  EXPECT_EQ(Read(overlay, *other, 0, 9), "untouched");
  EXPECT_LT(overlay.DiskUse(), 64 << 10) << "nothing is copied before a write";

  EXPECT_TRUE(overlay.LockDatabaseFile(*writer, 100, 1, RangeLock::kExclusive));
  EXPECT_FALSE(overlay.LockDatabaseFile(*reader, 100, 1, RangeLock::kShared));
  EXPECT_TRUE(overlay.DatabaseFileLockedElsewhere(*reader, 100, 1));
  overlay.WriteDatabaseFile(*writer, 4096, "page", 4);
  EXPECT_TRUE(overlay.DatabaseFileLockedElsewhere(*reader, 100, 1)) << "locks survive the copy";
  overlay.TruncateDatabaseFile(*writer, 8192);
  overlay.SyncDatabaseFile(*writer);
  EXPECT_EQ(Read(overlay, *reader, 4096, 4), "page");
  EXPECT_EQ(overlay.DatabaseFileSize(*reader), 8192);
  EXPECT_EQ(overlay.StatDatabaseFile(Native("File/KrVal.mdb")).size, 8192);
  // Only the written file takes room.
  EXPECT_GT(overlay.DiskUse(), 4096);
  EXPECT_LT(overlay.DiskUse(), 64 << 10);

  auto journal = overlay.OpenDatabaseFile(Native("File/KrVal.mdb-journal"), create);
  overlay.WriteDatabaseFile(*journal, 0, "j", 1);
  EXPECT_TRUE(overlay.StatDatabaseFile(Native("File/KrVal.mdb-journal")).exists);
  overlay.DeleteDatabaseFile(Native("File/KrVal.mdb-journal"), true);
  overlay.DeleteDatabaseFile(Native("File/KrCri.mdb"), true);
  EXPECT_FALSE(overlay.StatDatabaseFile(Native("File/KrVal.mdb-journal")).exists);
  EXPECT_FALSE(overlay.StatDatabaseFile(Native("File/KrCri.mdb")).exists);
  EXPECT_EQ(overlay.List(dir_.folder() + "File\\*", ListKind::kPlainFiles).size(), 1u);
  EXPECT_EQ(FailureNumber([&] { overlay.OpenDatabaseFile(Native("File/KrCri.mdb"), shared); }),
            kErrFileNotFound);

  EXPECT_EQ(dir_.Read("File/KrVal.mdb"), original);
  EXPECT_EQ(dir_.Read("File/KrCri.mdb"), "untouched");
  EXPECT_FALSE(dir_.Exists("File/KrVal.mdb-journal"));
}

TEST_F(OverlayDatabaseTest, AnotherProgramsLockOnTheRealFileIsMetAsInARun) {
  dir_.Write("KrVal.mdb", std::string(8192, 'o'));
  DatabaseFileMode shared;
  auto elsewhere = Env::Default().OpenDatabaseFile(Native("KrVal.mdb"), shared);
  ASSERT_TRUE(Env::Default().LockDatabaseFile(*elsewhere, 100, 1, RangeLock::kShared));
  OverlayEnv overlay;
  auto file = overlay.OpenDatabaseFile(Native("KrVal.mdb"), shared);
  overlay.WriteDatabaseFile(*file, 0, "x", 1);
  EXPECT_TRUE(overlay.LockDatabaseFile(*file, 100, 1, RangeLock::kShared));
  EXPECT_FALSE(overlay.LockDatabaseFile(*file, 100, 1, RangeLock::kExclusive));
  EXPECT_TRUE(overlay.DatabaseFileLockedElsewhere(*file, 100, 1));
  Env::Default().LockDatabaseFile(*elsewhere, 100, 1, RangeLock::kUnlock);
  EXPECT_TRUE(overlay.LockDatabaseFile(*file, 100, 1, RangeLock::kExclusive));
}

TEST(OverlayProcessTest, AProgramIsNotStartedButMustBeThere) {
  TempDir dir;
  dir.Write("tool.sh", "#!/bin/sh\ntouch \"$1\"\n");
  fs::permissions(dir.Native("tool.sh"), fs::perms::owner_exec, fs::perm_options::add);
  OverlayEnv overlay;
  std::unique_ptr<ChildProcess> child =
      overlay.StartProcess(dir.folder() + "tool.sh " + dir.folder() + "ran", true);
  EXPECT_TRUE(child->Ended());
  EXPECT_EQ(child->ExitCode(), 0);
  EXPECT_EQ(overlay.WouldRun().size(), 1u);
  EXPECT_EQ(FailureNumber([&] { overlay.StartProcess(dir.folder() + "none.exe /s", true); }),
            kErrFileNotFound);
  // A program the plan installed counts as there.
  overlay.CopyFile(dir.folder() + "tool.sh", dir.folder() + "installed.exe");
  EXPECT_NO_THROW(overlay.StartProcess(dir.folder() + "installed /RegServer", true));
  EXPECT_FALSE(dir.Exists("ran"));
  EXPECT_FALSE(dir.Exists("installed.exe"));
}

}  // namespace
}  // namespace kr::platform
