// An install folder and a package folder with databases built from fixture scripts, a run
// context pointing at them, and helpers that read tables back through the engine.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "db/db.h"
#include "tests/testing/databases.h"
#include "tests/testing/testing.h"

namespace kr::db::test {

using Rows = std::vector<std::string>;

// Rows of a SELECT, each row's values joined by "|", Null written as "null".
inline Rows Select(Database& db, std::string_view select) {
  Rows rows;
  Recordset rs = db.OpenRecordset(select, engine::kOpenSnapshot);
  for (; !rs.Eof(); rs.MoveNext()) {
    std::string row;
    for (int i = 0; i < rs.Fields().Count(); ++i) {
      Value v = rs.Fields()[i].GetValue();
      row += (i ? "|" : "") + (v.IsNull() ? std::string("null") : v.ToText());
    }
    rows.push_back(row);
  }
  rs.Close();
  return rows;
}
// The first row of a SELECT (throws when there is none).
inline std::string One(Database& db, std::string_view select) { return Select(db, select).at(0); }

class DbTest : public ::testing::Test {
 protected:
  DbTest() {
    run_.package_folder = package_.folder();
    run_.install_folder = install_.folder();
    run_.run_stamp = "202004071530";
    run_.title = "ケルモラ積算 2019 アップデート";
  }
  ~DbTest() override {
    for (Database& db : opened_) db.Close();
  }

  // Paths of files in the two folders ("/" inside the folder).
  std::string InInstall(std::string_view relative) const { return install_.Native(relative); }
  std::string InPackage(std::string_view relative) const { return package_.Native(relative); }

  // Opens a database with the application password; closed at the end of the test.
  Database Open(const std::string& path) {
    opened_.push_back(OpenAppDatabase(path));
    return opened_.back();
  }

  testing::SandboxedFolders sandbox_;
  testing::TempDir install_;
  testing::TempDir package_;
  RunContext run_;
  std::vector<Database> opened_;
};

}  // namespace kr::db::test
