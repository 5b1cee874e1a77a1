// A temporary folder with a fresh database in it, and small helpers to read results.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/engine/engine.h"
#include "tests/testing/testing.h"

namespace kr::db::engine::test {

// Rows of a query as Rows() gives them.
using V = std::vector<std::string>;

// Table cases written "input → expected", each split at its arrow.
inline std::vector<std::pair<std::string_view, std::string_view>> SplitCases(
    std::initializer_list<std::string_view> cases) {
  constexpr std::string_view kArrow = " → ";
  std::vector<std::pair<std::string_view, std::string_view>> split;
  for (std::string_view c : cases) {
    const size_t at = c.find(kArrow);
    EXPECT_NE(at, std::string_view::npos) << c;
    split.emplace_back(c.substr(0, at), at == c.npos ? "" : c.substr(at + kArrow.size()));
  }
  return split;
}

class EngineTest : public ::testing::Test {
 protected:
  // A new database file in the temporary folder (password "" means none).
  Database Create(const std::string& name, const std::string& password = "") {
    return CreateDatabase(Path(name), password);
  }
  std::string Path(const std::string& name) const { return dir_.path() + "/" + name; }

  // Every row of a query, each value in its text form ("Null" for Null).
  static std::vector<std::string> Rows(Database& db, const std::string& sql) {
    std::vector<std::string> rows;
    Recordset rs = db.OpenRecordset(sql, kOpenSnapshot);
    while (!rs.Eof()) {
      std::string line;
      for (int i = 0; i < rs.Fields().Count(); ++i) {
        Value v = rs[i].GetValue();
        line += (i ? "|" : "") + (v.IsNull() ? std::string("Null") : v.ToText());
      }
      rows.push_back(line);
      rs.MoveNext();
    }
    return rows;
  }

  static Value Scalar(Database& db, const std::string& sql) {
    Recordset rs = db.OpenRecordset(sql, kOpenSnapshot);
    return rs[0].GetValue();
  }

  // The DAO number a call fails with (0 when it succeeds).
  static int ErrorOf(const std::function<void()>& f) { return kr::testing::FailureNumber(f); }
  static int ExecuteError(Database& db, std::string_view sql, int options = 0) {
    return ErrorOf([&] { db.Execute(sql, options); });
  }
  static int QueryError(Database& db, const std::string& sql) {
    return ErrorOf([&] { Rows(db, sql); });
  }
  // Cases "query → its rows", the rows as Rows() gives them, separated by "; ". With a frame,
  // each case's query takes the place of "{}" in it.
  static void ExpectQueries(Database& db, std::initializer_list<std::string_view> cases,
                            std::string_view frame = "{}") {
    const size_t hole = frame.find("{}");
    for (auto [query, rows] : SplitCases(cases)) {
      V expected;
      for (size_t at = 0; at < rows.size();) {
        const size_t end = std::min(rows.find("; ", at), rows.size());
        expected.emplace_back(rows.substr(at, end - at));
        at = end + 2;
      }
      const std::string sql =
          std::string(frame.substr(0, hole)).append(query).append(frame.substr(hole + 2));
      EXPECT_EQ(Rows(db, sql), expected) << sql;
    }
  }
  // Adds a row through a recordset, its fields set by name.
  static void AddRow(Recordset& rs, std::initializer_list<std::pair<const char*, Value>> fields) {
    rs.AddNew();
    for (const auto& [name, value] : fields) rs[name].SetValue(value);
    rs.Update();
  }
  // Runs sql on a file of the folder with SQLite alone, as another program or an older build.
  void RawSql(const std::string& name, const std::string& sql) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(Path(name).c_str(), &raw), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(raw);
    sqlite3_close(raw);
  }
  // Runs the statements in turn.
  static void Run(Database& db, std::initializer_list<std::string_view> statements) {
    for (std::string_view sql : statements) db.Execute(sql);
  }

  kr::testing::TempDir dir_;
};

}  // namespace kr::db::engine::test
