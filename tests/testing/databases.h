// Test databases built from the Jet SQL fixture scripts of tests/fixtures/db with the krdb tool
// (the same path the demo takes), and read back through it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tests/testing/testing.h"

namespace kr::testing {

// One database of tests/fixtures/db/layout.txt.
struct FixtureDatabase {
  std::string folder;                // "install" or "package"
  std::string path;                  // inside that folder, "/" separators
  std::vector<std::string> scripts;  // file names in tests/fixtures/db, run in order
};
std::vector<FixtureDatabase> FixtureLayout();

// Creates a database at native_path (folders included) with the application's password and
// runs the scripts on it (names in tests/fixtures/db, or paths). A failure of krdb fails the
// test with its message.
void MakeDatabase(const std::string& native_path, const std::vector<std::string>& scripts);
// As MakeDatabase, with the script given as text (statements end in ";" at a line end).
void MakeDatabaseFromText(const std::string& native_path, std::string_view script);
// Runs more script text on an existing database.
void RunScriptText(const std::string& native_path, std::string_view script);
// Builds every database of the layout whose folder is `which` below root.
void MakeSampleDatabases(const TempDir& root, std::string_view which);

// The rows a SELECT gives, through "krdb --app DB exec": one line per row, values separated
// by tabs, Null as \N; the header line is left out. A failure of krdb fails the test.
std::vector<std::string> QueryRows(const std::string& native_path, std::string_view select);
// The single value of a one-row, one-column SELECT ("" when there is no row).
std::string QueryValue(const std::string& native_path, std::string_view select);

}  // namespace kr::testing
