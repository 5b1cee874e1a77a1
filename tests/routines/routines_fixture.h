// An install folder and a package built from small Jet SQL texts, a run context pointing at them,
// a recording user interface, and helpers that run a routine by name and read tables back.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "report/report.h"
#include "routines/routines.h"
#include "tests/testing/databases.h"
#include "tests/testing/demo/demo_update.h"
#include "tests/testing/fake_ui.h"
#include "tests/testing/testing.h"

namespace kr::routines::test {

using Rows = std::vector<std::string>;

// Table layouts the tests share.
inline constexpr std::string_view kValTable =
    "(Code TEXT(30) NOT NULL, Name TEXT(100), Price DOUBLE, ValPrice1 DOUBLE, ValPrice2 DOUBLE, "
    "UserCode TEXT(30), JPer DOUBLE, Search1 TEXT(50), Search2 TEXT(50), MakeDay TEXT(10), "
    "CONSTRAINT PrimaryKey PRIMARY KEY (Code))";
inline constexpr std::string_view kCriTable =
    "(Code TEXT(20) NOT NULL, cName TEXT(100), Price1 DOUBLE, Price2 DOUBLE, "
    "CONSTRAINT PrimaryKey PRIMARY KEY (Code))";
inline constexpr std::string_view kExpensesTable =
    "(Big LONG NOT NULL, Mdl LONG NOT NULL, Sml LONG NOT NULL, Field1 TEXT(50), Rate DOUBLE, "
    "CONSTRAINT PrimaryKey PRIMARY KEY (Big, Mdl, Sml))";
inline constexpr std::string_view kDistrictTable =
    "(ID LONG NOT NULL, 地区名 TEXT(50), コメント TEXT(255), CONSTRAINT PrimaryKey PRIMARY KEY "
    "(ID))";

// "CREATE TABLE name layout;" and a Version row ("-" for no Version table, "NULL" for Null).
std::string Table(std::string_view name, std::string_view layout);
std::string VersionRow(std::string_view ver, std::string_view comment = "NULL");
// "INSERT INTO into VALUES (row);" a row; into may list the columns ("Cri (Code, Price1)").
std::string Insert(std::string_view into, std::initializer_list<std::string_view> rows);

class RoutineTest : public ::testing::Test {
 protected:
  RoutineTest();

  // Databases below the install folder ("File/平成30年度/KrCri.mdb") and the package.
  void Install(std::string_view relative, std::string_view script);
  void Package(std::string_view name, std::string_view script);
  // Runs the "Function" line's routine with a caption in the progress line, as the driver does.
  bool Run(std::string_view name, std::string_view argument = "");
  // As Run, with a run report recording: the routine's entry in it.
  report::Routine RunReported(std::string_view name);
  // The entry of the database at relative ("File/KrSet.mdb"); fails the test when there is none.
  report::Target TargetOf(const report::Routine& routine, std::string_view relative) const;
  // As Run, but as a later routine of the run before.
  bool RunLater(std::string_view name, std::string_view argument = "");

  // File/平成30年度/KrVal.mdb at "2018,0,9" and the package's KrVal201811.mdb at "2018,1,1",
  // every standard table with the given rows (what Update2018ValH3011 migrates).
  void InstallVal30(int rows, int new_rows = 5);

  Rows Query(std::string_view relative, std::string_view select) const;
  // The rows of a SELECT read in process ("a|b|null"), sorted: for tests that read many tables
  // many times, where a krdb run per query would cost more than the routine.
  static Rows SortedRows(db::Database& db, std::string_view select);
  std::string Value(std::string_view relative, std::string_view select) const;
  std::string Ver(std::string_view relative) const;
  // The files of an install sub-folder whose names end in ".old".
  std::vector<std::string> Backups(std::string_view folder) const;

  testing::SandboxedFolders sandbox_;
  testing::TempDir install_;
  testing::TempDir package_;
  RunContext run_;
  testing::FakeUi ui_;
  Registry registry_;
};

// File/平成30年度/KrVal.mdb (InstallVal30) and what Update2018ValH3011 makes of it undisturbed;
// each test starts from the installed bytes again, without backups.
class Val30Test : public RoutineTest {
 protected:
  using Tables = testing::Tables;
  static constexpr std::string_view kVal30 = "File/平成30年度/KrVal.mdb";
  static constexpr const char* kRoutine = "Update2018ValH3011";

  void SetUp() override;
  Tables Contents() const { return testing::ReadTables(install_.Native(kVal30)); }
  std::string Target() const { return install_.folder() + "File\\平成30年度\\KrVal.mdb"; }
  void Restore();
  // The next run, on a sound disk, ends where the undisturbed one did.
  void ExpectRerunFinishes(const std::string& where);

  std::string original_;
  Tables before_, after_;
};

}  // namespace kr::routines::test
