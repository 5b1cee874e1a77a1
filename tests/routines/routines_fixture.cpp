#include "tests/routines/routines_fixture.h"

#include <algorithm>
#include <filesystem>

#include "demo/fixture_generator.h"
#include "platform/platform.h"
#include "tests/db/db_fixture.h"

namespace kr::routines::test {

std::string Table(std::string_view name, std::string_view layout) {
  return "CREATE TABLE [" + std::string(name) + "] " + std::string(layout) + ";\n";
}

std::string VersionRow(std::string_view ver, std::string_view comment) {
  if (ver == "-") return "";
  std::string value = ver == "NULL" ? "NULL" : "'" + std::string(ver) + "'";
  std::string note = comment == "NULL" ? "NULL" : "'" + std::string(comment) + "'";
  return "CREATE TABLE Version (Ver TEXT(20), Comment TEXT(255));\n"
         "INSERT INTO Version (Ver, Comment) VALUES (" +
         value + ", " + note + ");\n";
}

std::string Insert(std::string_view into, std::initializer_list<std::string_view> rows) {
  std::string script;
  for (std::string_view row : rows)
    script += "INSERT INTO " + std::string(into) + " VALUES (" + std::string(row) + ");\n";
  return script;
}

RoutineTest::RoutineTest() {
  run_.package_folder = package_.folder();
  run_.install_folder = install_.folder();
  run_.run_stamp = "202004071530";
  run_.title = "ケルモラ積算 2019 アップデート";
  ui_.ShowWait(run_.title);
}

void RoutineTest::Install(std::string_view relative, std::string_view script) {
  testing::MakeDatabaseFromText(install_.Native(relative), script);
}

void RoutineTest::Package(std::string_view name, std::string_view script) {
  testing::MakeDatabaseFromText(package_.Native(name), script);
}

bool RoutineTest::Run(std::string_view name, std::string_view argument) {
  // Each call stands for a run of its own.
  run_.unfinished.clear();
  return RunLater(name, argument);
}

report::Routine RoutineTest::RunReported(std::string_view name) {
  report::Recorder recorder;
  report::ScopedRecorder scope(recorder);
  recorder.BeginRoutine(name);
  Run(name);
  return recorder.report().routines.front();
}

report::Target RoutineTest::TargetOf(const report::Routine& routine,
                                     std::string_view relative) const {
  for (const report::Target& target : routine.targets) {
    if (target.database == install_.Native(relative)) return target;
  }
  ADD_FAILURE() << routine.name << " has no entry for " << relative;
  return {};
}

bool RoutineTest::RunLater(std::string_view name, std::string_view argument) {
  ui_.SetWaitLabel(1, std::string(name) + "を更新中...");
  return registry_.Run(name, argument, run_, ui_);
}

void RoutineTest::InstallVal30(int rows, int new_rows) {
  fixtures::YearFolderSpec year;
  year.name = "平成30年度";
  year.val_version = "2018,0,9";
  year.cri = year.exp = false;
  fixtures::MakeYearFolder(install_.Native(""), year, rows);
  fixtures::SourceSpec source;
  source.database = "KrVal";
  source.version = "2018,1,1";
  source.rows_per_table = rows;
  source.new_rows = new_rows;
  fixtures::MakeSourceDatabase(package_.Native("KrVal201811.mdb"), source);
}

Rows RoutineTest::SortedRows(db::Database& db, std::string_view select) {
  Rows rows = db::test::Select(db, select);
  std::sort(rows.begin(), rows.end());
  return rows;
}

Rows RoutineTest::Query(std::string_view relative, std::string_view select) const {
  return testing::QueryRows(install_.Native(relative), select);
}

std::string RoutineTest::Value(std::string_view relative, std::string_view select) const {
  return testing::QueryValue(install_.Native(relative), select);
}

std::string RoutineTest::Ver(std::string_view relative) const {
  return Value(relative, "SELECT Ver FROM Version");
}

std::vector<std::string> RoutineTest::Backups(std::string_view folder) const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(install_.Native(folder), ec)) {
    std::string name = entry.path().filename().string();
    if (name.size() > 4 && name.substr(name.size() - 4) == ".old") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void Val30Test::SetUp() {
  InstallVal30(3, 2);
  original_ = platform::ReadFile(Target());
  before_ = Contents();
  ASSERT_TRUE(Run(kRoutine));
  after_ = Contents();
  ASSERT_NE(after_, before_);
  ASSERT_EQ(Ver(kVal30), "2018,1,1");
  Restore();
  run_.run_stamp = "202004071600";
}

void Val30Test::Restore() {
  for (const std::string& backup : Backups("File/平成30年度")) {
    platform::DeleteFile(install_.folder() + "File\\平成30年度\\" + backup);
  }
  platform::WriteFile(Target(), original_);
}

void Val30Test::ExpectRerunFinishes(const std::string& where) {
  run_.run_stamp = "202004071700";
  Run(kRoutine);
  EXPECT_EQ(Contents(), after_) << where;
  EXPECT_TRUE(run_.unfinished.empty()) << where;
}

}  // namespace kr::routines::test
