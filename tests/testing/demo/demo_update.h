// The demo's installation and update package in a sandbox, the updater run on it in process, and
// what a user has of it read back: every table of every database, the prices the user typed.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "manifest/manifest.h"
#include "startup/startup.h"
#include "tests/testing/testing.h"

namespace kr::testing {

// Per table: its columns, then its rows sorted; an attached table shows its link only.
using Tables = std::map<std::string, std::vector<std::string>>;
// Per database, by its path below the folder read ("App/File/KrSet.mdb").
using Databases = std::map<std::string, Tables>;

// The generated year folder, whose price database holds the user's own values.
inline constexpr const char* kUserVal = "App/File/2019年度(令和2年3月労務更新)/KrVal.mdb";

// Every table of a database with its rows, read without changing the file. A damaged file fails
// the test.
Tables ReadTables(const std::string& native_path);
// How actual differs from expected, briefly: tables missing or added, and for each differing
// table its first rows found on one side only. Empty when they are equal.
std::string Differences(const Tables& expected, const Tables& actual);
// Every database (".mdb") below a folder.
Databases ReadDatabases(const TempDir& root);
// The user's own values (ValPrice1, ValPrice2, UserCode, JPer) of the generated year folder's
// price table, one line per row that has any: what every update must carry over.
std::vector<std::string> UserPrices(const TempDir& root);

class DemoUpdateTest : public ::testing::Test {
 protected:
  static constexpr const char* kMinute = "2020-04-07 15:30";
  static constexpr const char* kNextMinute = "2020-04-07 15:31";

  // The demo made below root_, the application having asked for the update today (so that the
  // updater runs unattended), and kept as pristine_. Writes are not flushed: flushing only
  // matters to a power cut.
  void SetUp() override;
  void TearDown() override;
  // root_ as pristine_ holds it.
  void Restore();
  // The updater as started from the package, in process, with the clock at now.
  startup::Outcome Update(const char* now, manifest::RoutineRegistry& routines);
  startup::Outcome Update(const char* now);

  SandboxedFolders sandbox_;
  const TempDir& root_ = sandbox_.root();
  TempDir pristine_;
};

}  // namespace kr::testing
