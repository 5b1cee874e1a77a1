// libFuzzer target for the Jet SQL front end: bytes -> tokenizer -> parser -> renderer, and the
// rendered SQL is run by SQLite with the jet_* functions over a table of awkward values (Null,
// empty text, extreme integers and doubles, infinities), so that SQL the renderer writes wrong
// and faults in the functions show up as well as crashes, hangs and unbounded recursion.
//
// Checked: no crash or sanitizer report; a failure is always a kr::Failure with a DAO number;
// every span lies inside the text; Clone() copies a tree exactly; rendered SQL is never
// rejected by SQLite as malformed (semantic refusals such as a misused aggregate are fine).
#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <variant>

#include "db/engine/dao_errors.h"
#include "db/engine/jet_expressions.h"
#include "db/engine/jet_functions.h"
#include "db/engine/jet_parser.h"
#include "platform/failure.h"

namespace {

using namespace kr::db::engine;

[[noreturn]] void Bug(std::string_view what, std::string_view detail) {
  std::fprintf(stderr, "BUG: %.*s\n%.*s\n", static_cast<int>(what.size()), what.data(),
               static_cast<int>(detail.size()), detail.data());
  std::abort();
}

int Interrupt(void*) { return 1; }

sqlite3* Database() {
  static sqlite3* db = [] {
    sqlite3* d = nullptr;
    sqlite3_open(":memory:", &d);
    sqlite3_exec(d,
                 "CREATE TABLE t (s TEXT COLLATE JET_JA, n INTEGER, r REAL, g REAL, d REAL, "
                 "b INTEGER, c TEXT, u);"
                 "INSERT INTO t VALUES ('Abc', 5, 1.0, 0.10000000149011612, 43928.75, -1, 'abc', "
                 "'12.5');"
                 "INSERT INTO t VALUES (NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);"
                 "INSERT INTO t VALUES ('', 0, 0.0, 0.0, 0.0, 0, '', '');"
                 "INSERT INTO t VALUES ('日本語テキスト[a', 9223372036854775807, 1e308, -3.4e38, "
                 "-657434, 1, 'ＡＢＣ', '&HFFFF');"
                 "INSERT INTO t VALUES ('x1y', -9223372036854775808, -9e999, 1e-300, 2958465.99, "
                 "0, '%_\\', 9e999);",
                 nullptr, nullptr, nullptr);
    kr::db::engine::RegisterJetFunctions(d);
    // Nested subqueries multiply rows; a statement gets a bounded number of steps.
    sqlite3_progress_handler(d, 200000, Interrupt, nullptr);
    return d;
  }();
  return db;
}

class Resolver : public ExpressionResolver {
 public:
  ColumnInfo ResolveColumn(const Expr& e) override {
    struct Column {
      const char* sql;
      DataType type;
      bool collated;
    };
    static const Column kColumns[] = {
        {"t.s", DataType::kText, true},   {"t.n", DataType::kLong, true},
        {"t.r", DataType::kDouble, true}, {"t.g", DataType::kSingle, true},
        {"t.d", DataType::kDate, true},   {"t.b", DataType::kBoolean, true},
        {"t.c", DataType::kText, false},  {"t.u", DataType::kUnknown, false},
    };
    const Column& c = kColumns[std::hash<std::string>{}(e.table + "." + e.column) % 8];
    return ColumnInfo{c.sql, c.type, c.collated};
  }

  std::string RenderSubquery(const Select& select) override {
    std::string sql = "SELECT ";
    const SelectItem* first = select.items.empty() ? nullptr : &select.items[0];
    sql += first && first->expr ? RenderValue(*first->expr, *this) : "1";
    sql += " FROM t";
    if (select.where) sql += " WHERE " + RenderCondition(*select.where, *this);
    return sql;
  }
};

// Prepares and runs sql. SQLite refusing it as malformed is a bug of the renderer; errors the
// jet_* functions raise, semantic refusals and the step limit are not.
void Run(const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  int rc =
      sqlite3_prepare_v2(Database(), sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
  if (rc == SQLITE_OK) {
    for (int rows = 0; rows < 1000 && (rc = sqlite3_step(stmt)) == SQLITE_ROW; ++rows) {
    }
  }
  if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE) {
    std::string_view message = sqlite3_errmsg(Database());
    for (std::string_view malformed :
         {"syntax error", "unrecognized token", "no such function", "wrong number of arguments",
          "incomplete input", "no such column", "jet function failed"}) {
      if (message.find(malformed) != std::string_view::npos) Bug(std::string(message), sql);
    }
    if (message.rfind("jet:", 0) == 0 && !kr::db::engine::FailureFromSqliteMessage(message)) {
      Bug("unreadable jet error", message);
    }
  }
  sqlite3_finalize(stmt);
}

void CheckSpan(const Span& span, size_t size) {
  if (span.begin > span.end || span.end > size) Bug("span outside the text", "");
}

void Visit(const Expr& e, size_t size, Resolver& resolver);

void Visit(const Select& s, size_t size, Resolver& resolver);

void Visit(const TableRef& ref, size_t size, Resolver& resolver) {
  CheckSpan(ref.span, size);
  if (ref.select) Visit(*ref.select, size, resolver);
  if (ref.left) Visit(*ref.left, size, resolver);
  if (ref.right) Visit(*ref.right, size, resolver);
  if (ref.on) {
    Visit(*ref.on, size, resolver);
    Run("SELECT 1 FROM t WHERE " + RenderCondition(*ref.on, resolver));
  }
}

void Visit(const Expr& e, size_t size, Resolver& resolver) {
  CheckSpan(e.span, size);
  for (const ExprPtr& arg : e.args) {
    if (!arg) Bug("null operand", DebugString(e));
    if (arg->height >= e.height) Bug("height does not grow", DebugString(e));
  }
  if (e.select) Visit(*e.select, size, resolver);
}

void Value(const ExprPtr& e, size_t size, Resolver& resolver) {
  if (!e) return;
  Visit(*e, size, resolver);
  if (DebugString(*Clone(*e)) != DebugString(*e)) Bug("Clone differs", DebugString(*e));
  Run("SELECT " + RenderValue(*e, resolver) + " FROM t");
  Run("SELECT 1 FROM t ORDER BY " + RenderSortKey(*e, resolver));
}

void Condition(const ExprPtr& e, size_t size, Resolver& resolver) {
  if (!e) return;
  Visit(*e, size, resolver);
  Run("SELECT 1 FROM t WHERE " + RenderCondition(*e, resolver));
}

void Visit(const Select& s, size_t size, Resolver& resolver) {
  CheckSpan(s.span, size);
  for (const SelectItem& item : s.items) Value(item.expr, size, resolver);
  for (const TableRef& ref : s.from) Visit(ref, size, resolver);
  Condition(s.where, size, resolver);
  for (const ExprPtr& g : s.group_by) Value(g, size, resolver);
  Condition(s.having, size, resolver);
  for (const OrderItem& o : s.order_by) Value(o.expr, size, resolver);
  for (const Select::UnionPart& part : s.unions) Visit(*part.select, size, resolver);
}

void Fuzz(std::string_view text) {
  Resolver resolver;
  try {
    Statement statement = ParseStatement(text);
    const size_t size = statement.text.size();
    std::visit(
        [&](const auto& body) {
          using T = std::decay_t<decltype(body)>;
          if constexpr (std::is_same_v<T, Select>) {
            Visit(body, size, resolver);
          } else if constexpr (std::is_same_v<T, Insert>) {
            for (const ExprPtr& v : body.values) Value(v, size, resolver);
            if (body.select) Visit(*body.select, size, resolver);
          } else if constexpr (std::is_same_v<T, Update>) {
            Visit(body.target, size, resolver);
            for (const Assignment& a : body.assignments) Value(a.value, size, resolver);
            Condition(body.where, size, resolver);
          } else if constexpr (std::is_same_v<T, Delete>) {
            Visit(body.from, size, resolver);
            Condition(body.where, size, resolver);
          }
        },
        statement.body);
  } catch (const kr::Failure& f) {
    if (f.number() < 3000 || f.description().empty()) Bug("failure without a DAO number", f.what());
  }
  try {
    ExprPtr where = ParseWhereText(text);
    Condition(where, text.size(), resolver);
  } catch (const kr::Failure& f) {
    if (f.number() < 3000 || f.description().empty()) Bug("failure without a DAO number", f.what());
  }
}

}  // namespace

// A fixed clock instead of the platform's, which the fuzzer does not link.
int kr::db::engine::RegisterJetClockFunctions(sqlite3* db) {
  for (const char* name : {"jet_now", "jet_today", "jet_time"}) {
    sqlite3_create_function_v2(
        db, name, 0, SQLITE_UTF8, nullptr,
        [](sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_double(ctx, 43928.5); },
        nullptr, nullptr, nullptr);
  }
  return SQLITE_OK;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Fuzz(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
