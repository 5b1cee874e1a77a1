// krdb's statement and script runner.
#include "app/krdb_script.h"

#include <charconv>
#include <cstdio>
#include <vector>

#include "platform/failure.h"

namespace kr::app {
namespace {

namespace engine = db::engine;
using engine::Value;

std::string Shortest(double value) {
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : std::to_string(value);
}

std::string ShortestSingle(float value) {
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : std::to_string(value);
}

std::string Format(const Value& v) {
  using K = Value::Kind;
  switch (v.kind()) {
    case K::kNull:
      return "\\N";
    case K::kBoolean:
      return v.integer() ? "True" : "False";
    case K::kByte:
    case K::kInteger:
    case K::kLong:
      return std::to_string(v.integer());
    case K::kCurrency:
      return v.ToText();
    case K::kSingle:
      return ShortestSingle(static_cast<float>(v.real()));
    case K::kDouble:
      return Shortest(v.real());
    case K::kDate: {
      engine::DateTime t = engine::SplitDate(v.real());
      char buffer[48];
      std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day,
                    t.hour, t.minute, t.second);
      return buffer;
    }
    case K::kText:
      return Escaped(v.text());
    case K::kBinary: {
      static const char* digits = "0123456789ABCDEF";
      std::string out = "0x";
      for (unsigned char c : v.text()) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
      }
      return out;
    }
  }
  return {};
}

struct ScriptStatement {
  std::string sql;
  int line = 0;  // where it starts, 1-based
};

// Statements of a script: each ends with ";" at the end of a line; "--" lines are comments.
std::vector<ScriptStatement> SplitScript(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<ScriptStatement> statements;
  ScriptStatement current;
  int number = 0;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (line.ends_with('\r')) line.remove_suffix(1);
    size_t first = line.find_first_not_of(" \t");
    if (first != std::string_view::npos && line.substr(first).starts_with("--")) continue;
    if (first == std::string_view::npos && current.sql.empty()) continue;
    if (current.sql.empty()) current.line = number;
    if (!current.sql.empty()) current.sql += '\n';
    current.sql += line;
    size_t last = line.find_last_not_of(" \t");
    if (last != std::string_view::npos && line[last] == ';') {
      statements.push_back(std::move(current));
      current = {};
    }
  }
  if (current.sql.find_first_not_of(" \t\r\n") != std::string::npos) statements.push_back(current);
  return statements;
}

}  // namespace

std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\t')
      out += "\\t";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else
      out.push_back(c);
  }
  return out;
}

void RunStatement(engine::Database& db, const std::string& sql, int options, std::ostream& out) {
  if (!engine::ReturnsRows(sql)) {
    db.Execute(sql, options);
    return;
  }
  engine::Recordset rs = db.OpenRecordset(sql, engine::kOpenSnapshot);
  engine::FieldCollection fields = rs.Fields();
  std::string header;
  for (int i = 0; i < fields.Count(); ++i) header += (i ? "\t" : "") + fields[i].Name();
  out << header << '\n';
  while (!rs.Eof()) {
    std::string line;
    for (int i = 0; i < fields.Count(); ++i) line += (i ? "\t" : "") + Format(fields[i].GetValue());
    out << line << '\n';
    rs.MoveNext();
  }
  rs.Close();
}

// One transaction (one disk sync), undone at the first error, which names the line of the
// statement that failed.
void RunScript(engine::Database& db, std::string_view text, int options, std::ostream& out) {
  db.BeginTrans();
  for (const ScriptStatement& statement : SplitScript(text)) {
    try {
      RunStatement(db, statement.sql, options, out);
    } catch (const Failure& failure) {
      db.Rollback();
      std::string where = " (line " + std::to_string(statement.line) + ")";
      throw Failure(failure.number(), failure.description() + where, failure.what() + where);
    }
  }
  db.CommitTrans();
}

}  // namespace kr::app
