#include "tests/testing/demo/demo_update.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "db/db.h"
#include "platform/platform.h"
#include "routines/routines.h"
#include "tests/testing/fake_ui.h"

namespace kr::testing {

namespace fs = std::filesystem;

namespace {

std::string Cell(const db::Value& value) {
  if (value.IsNull()) return "\\N";
  if (value.kind() == db::Value::Kind::kText || value.kind() == db::Value::Kind::kBinary) {
    return value.text();
  }
  return value.ToText();
}

// Each row left in the recordset, which is closed after: every field's cell and separator.
std::vector<std::string> Rows(db::Recordset& recordset, char separator) {
  std::vector<std::string> rows;
  for (; !recordset.Eof(); recordset.MoveNext()) {
    std::string row;
    for (const db::engine::Field& field : recordset.Fields()) {
      row += Cell(field.GetValue()) + separator;
    }
    rows.push_back(row);
  }
  recordset.Close();
  return rows;
}

}  // namespace

Tables ReadTables(const std::string& native_path) {
  Tables tables;
  db::Database database = db::engine::OpenDatabase(native_path, false, true, db::ConnectString());
  std::vector<std::string> names;
  for (const db::TableDef& table : database.TableDefs()) {
    if ((table.Attributes() & db::engine::kSystemObject) == db::engine::kSystemObject) continue;
    if (table.Attributes() & db::engine::kAttachedTable) {
      tables[table.Name()] = {"link " + table.Connect() + " " + table.SourceTableName()};
    } else {
      names.push_back(table.Name());
    }
  }
  for (const std::string& name : names) {
    db::Recordset recordset = database.OpenRecordset("SELECT * FROM [" + name + "]");
    std::string columns;
    for (const db::engine::Field& field : recordset.Fields()) {
      columns += field.Name() + ":" + std::to_string(field.Type()) + "\t";
    }
    std::vector<std::string>& rows = tables[name] = Rows(recordset, '\t');
    std::sort(rows.begin(), rows.end());
    rows.insert(rows.begin(), columns);
  }
  std::vector<std::string> damage = database.CheckFile();
  database.Close();
  EXPECT_TRUE(damage.empty()) << native_path << ": " << damage.front();
  return tables;
}

std::string Differences(const Tables& expected, const Tables& actual) {
  constexpr int kRowsShown = 3;
  std::string text;
  for (const auto& [name, rows] : expected) {
    auto other = actual.find(name);
    if (other == actual.end()) {
      text += "\n  " + name + " is missing";
      continue;
    }
    if (other->second == rows) continue;
    text += "\n  " + name + ":";
    int shown = 0;
    for (const std::string& row : rows) {
      if (shown < kRowsShown &&
          std::find(other->second.begin(), other->second.end(), row) == other->second.end()) {
        text += "\n    - " + row;
        ++shown;
      }
    }
    shown = 0;
    for (const std::string& row : other->second) {
      if (shown < kRowsShown && std::find(rows.begin(), rows.end(), row) == rows.end()) {
        text += "\n    + " + row;
        ++shown;
      }
    }
  }
  for (const auto& [name, rows] : actual) {
    if (!expected.count(name)) text += "\n  " + name + " is added";
  }
  return text;
}

Databases ReadDatabases(const TempDir& root) {
  Databases databases;
  for (const auto& [name, bytes] : root.Files()) {
    if (name.ends_with(".mdb")) databases[name] = ReadTables(root.Native(name));
  }
  return databases;
}

std::vector<std::string> UserPrices(const TempDir& root) {
  db::Database database =
      db::engine::OpenDatabase(root.Native(kUserVal), false, true, db::ConnectString());
  db::Recordset rows = database.OpenRecordset(
      "SELECT Code, ValPrice1, ValPrice2, UserCode, JPer FROM Val120 WHERE ValPrice1 IS NOT "
      "NULL OR UserCode IS NOT NULL ORDER BY Code");
  std::vector<std::string> typed = Rows(rows, '|');
  database.Close();
  return typed;
}

void DemoUpdateTest::SetUp() {
  platform::SetDurableWrites(false);
  if (!DemoBuilt()) GTEST_SKIP() << "demo maker or PE fixtures not built";
  ProcessResult made = MakeDemo(root_.path(), "2020/04/07");
  ASSERT_EQ(made.exit_code, 0) << made.err;
  fs::copy(root_.path(), pristine_.path(), fs::copy_options::recursive);
}

void DemoUpdateTest::TearDown() {
  unsetenv("KR_NOW");
  platform::SetDurableWrites(true);
}

void DemoUpdateTest::Restore() {
  for (const auto& entry : fs::directory_iterator(root_.path())) fs::remove_all(entry.path());
  fs::copy(pristine_.path(), root_.path(), fs::copy_options::recursive);
}

startup::Outcome DemoUpdateTest::Update(const char* now, manifest::RoutineRegistry& routines) {
  setenv("KR_NOW", now, 1);
  FakeUi ui;
  startup::Updater updater(ui, routines);
  updater.Main("\"" + root_.Native("Package") + "\"");
  return updater.outcome();
}

startup::Outcome DemoUpdateTest::Update(const char* now) {
  routines::Registry routines;
  return Update(now, routines);
}

}  // namespace kr::testing
