// An in-memory SQLite database with the jet_* functions and a small resolver, so that rendered
// Jet expressions can be run and their results checked (not only their SQL text).
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "db/engine/dao_errors.h"
#include "db/engine/jet_expressions.h"
#include "db/engine/jet_functions.h"
#include "db/engine/jet_parser.h"

namespace kr::db::engine::testing {

// Columns of the one-row table t (and of the rows of table r, see Rows()).
//   s TEXT 'Abc'          j TEXT '日本語テキスト'   e TEXT ''      nul TEXT Null
//   n INTEGER 5           r REAL 1.0 (Double)       sg REAL single 0.1 (Single)
//   b INTEGER -1 (Boolean)  d REAL 43928.75 (Date 2020/04/07 18:00)  code TEXT '120000007123'
//   cs TEXT 'Abc' in a column without NOCASE
class JetDb : public ExpressionResolver {
 public:
  JetDb() {
    if (sqlite3_open(":memory:", &db_) != SQLITE_OK) throw std::runtime_error("open");
    if (RegisterJetFunctions(db_) != SQLITE_OK) throw std::runtime_error("register");
    Exec(
        "CREATE TABLE t (s TEXT COLLATE NOCASE, j TEXT COLLATE NOCASE, e TEXT COLLATE NOCASE, "
        "nul TEXT COLLATE NOCASE, n INTEGER, r REAL, sg REAL, b INTEGER, d REAL, "
        "code TEXT COLLATE NOCASE, cs TEXT);"
        "INSERT INTO t VALUES ('Abc', '日本語テキスト', '', NULL, 5, 1.0, 0.10000000149011612, -1, "
        "43928.75, '120000007123', 'Abc');"
        "CREATE TABLE r (k INTEGER, s TEXT COLLATE NOCASE, n INTEGER);"
        "INSERT INTO r VALUES (1, 'apple', 10), (2, 'Banana', NULL), (3, 'cherry', 30),"
        " (4, NULL, 40), (5, 'ＡＢＣ', 50), (6, 'a%b_c', 60), (7, '[x]', 70), (8, 'x1y', 80);");
    types_ = {{"s", DataType::kText},    {"j", DataType::kText},    {"e", DataType::kText},
              {"nul", DataType::kText},  {"n", DataType::kLong},    {"r", DataType::kDouble},
              {"sg", DataType::kSingle}, {"b", DataType::kBoolean}, {"d", DataType::kDate},
              {"code", DataType::kText}, {"cs", DataType::kText},   {"k", DataType::kLong}};
  }
  ~JetDb() override { sqlite3_close(db_); }

  void Exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      std::string text = message ? message : "?";
      sqlite3_free(message);
      throw std::runtime_error(text + " in " + sql);
    }
  }

  ColumnInfo ResolveColumn(const Expr& expr) override {
    auto it = types_.find(expr.column);
    if (it == types_.end()) throw DaoFailure(kDaoTooFewParameters, "1");
    return ColumnInfo{SqlIdentifier(expr.column), it->second, expr.column != "cs"};
  }

  // A minimal generator for subqueries: SELECT items FROM one table [WHERE].
  std::string RenderSubquery(const Select& select) override {
    std::string sql = "SELECT ";
    for (size_t i = 0; i < select.items.size(); ++i) {
      if (i > 0) sql += ",";
      sql += select.items[i].expr ? RenderValue(*select.items[i].expr, *this) : "*";
    }
    sql += " FROM " + SqlIdentifier(select.from.at(0).name);
    if (select.where) sql += " WHERE " + RenderCondition(*select.where, *this);
    return sql;
  }

  // The value of a Jet expression over table t, as "int:-1", "real:0.5", "text:abc", "null",
  // or "error NNNN" for a Jet error raised while it runs.
  std::string Eval(std::string_view jet) {
    ExprPtr expr = ParseExpression(jet);
    return Query("SELECT " + RenderValue(*expr, *this) + " FROM t");
  }

  // The keys k of table r whose row satisfies a Jet condition, as "1,3,5" ("" for none).
  std::string Rows(std::string_view condition) {
    ExprPtr expr = ParseExpression(condition);
    std::string keys = Query("SELECT coalesce(group_concat(k), '') FROM (SELECT k FROM r WHERE " +
                             RenderCondition(*expr, *this) + " ORDER BY k)");
    return keys.rfind("text:", 0) == 0 ? keys.substr(5) : keys;
  }

  std::string Query(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in " + sql);
    }
    std::string result;
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
      switch (sqlite3_column_type(stmt, 0)) {
        case SQLITE_INTEGER:
          result = "int:" + std::to_string(sqlite3_column_int64(stmt, 0));
          break;
        case SQLITE_FLOAT: {
          char buffer[40];
          snprintf(buffer, sizeof buffer, "real:%.17g", sqlite3_column_double(stmt, 0));
          result = buffer;
          break;
        }
        case SQLITE_NULL:
          result = "null";
          break;
        default:
          result =
              "text:" + std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
      }
    } else if (rc != SQLITE_DONE) {
      auto failure = FailureFromSqliteMessage(sqlite3_errmsg(db_));
      result = failure ? "error " + std::to_string(failure->number())
                       : std::string("sqlite error: ") + sqlite3_errmsg(db_);
    }
    sqlite3_finalize(stmt);
    return result;
  }

  sqlite3* db() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
  std::map<std::string, DataType> types_;
};

// A Jet expression and what it gives: JetDb::Eval's result, or the keys JetDb::Rows selects.
struct EvalCase {
  std::string_view jet, result;
};
inline void ExpectEvals(JetDb& db, std::span<const EvalCase> cases) {
  for (const EvalCase& c : cases) EXPECT_EQ(db.Eval(c.jet), c.result) << c.jet;
}
inline void ExpectRows(JetDb& db, std::span<const EvalCase> cases) {
  for (const EvalCase& c : cases) EXPECT_EQ(db.Rows(c.jet), c.result) << c.jet;
}

}  // namespace kr::db::engine::testing
