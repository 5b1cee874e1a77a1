// Scripts: statements split at ";" line ends, run in one transaction.
#include <sstream>

#include "app/krdb/krdb_internal.h"
#include "platform/failure.h"

namespace kr::krdb {

Quoting QuotingAfter(std::string_view line, Quoting state) {
  for (char c : line) {
    switch (state) {
      case Quoting::kNone:
        state = c == '\''  ? Quoting::kSingle
                : c == '"' ? Quoting::kDouble
                : c == '[' ? Quoting::kBracket
                           : Quoting::kNone;
        break;
      // A doubled quote closes and opens again: the state after it is right.
      case Quoting::kSingle:
        if (c == '\'') state = Quoting::kNone;
        break;
      case Quoting::kDouble:
        if (c == '"') state = Quoting::kNone;
        break;
      case Quoting::kBracket:
        if (c == ']') state = Quoting::kNone;
        break;
    }
  }
  return state;
}

// A line break inside a quoted text belongs to the text: a dumped memo may hold ";" at a line
// end or a line starting with "--".
std::vector<ScriptStatement> SplitScript(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<ScriptStatement> statements;
  ScriptStatement current;
  Quoting quoting = Quoting::kNone;
  int number = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    bool has_break = end != std::string_view::npos;
    if (!has_break) end = text.size();
    std::string line(text.substr(start, end - start));
    start = end + 1;
    ++number;
    if (quoting != Quoting::kNone) {
      current.sql += "\n" + line;
      quoting = QuotingAfter(line, quoting);
    } else {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      size_t first = line.find_first_not_of(" \t");
      if (first != std::string::npos && line.compare(first, 2, "--") == 0) continue;
      if (first == std::string::npos && current.sql.empty()) continue;
      if (current.sql.empty()) current.line = number;
      current.sql += (current.sql.empty() ? "" : "\n") + line;
      quoting = QuotingAfter(line, quoting);
    }
    if (quoting != Quoting::kNone) continue;
    size_t last = current.sql.find_last_not_of(" \t\r");
    if (last != std::string::npos && current.sql[last] == ';') {
      statements.push_back(current);
      current = {};
    }
  }
  if (current.sql.find_first_not_of(" \t\r\n") != std::string::npos) statements.push_back(current);
  return statements;
}

// One transaction (one disk sync), undone at the first error, which names the line of the
// statement that failed.
void RunScript(engine::Database& db, std::string_view text, const ScriptOptions& options,
               std::ostream& out) {
  db.BeginTrans();
  for (const ScriptStatement& statement : SplitScript(text)) {
    try {
      RunStatement(db, statement.sql, options, out);
    } catch (const kr::Failure& failure) {
      db.Rollback();
      std::string where = " (line " + std::to_string(statement.line) + ")";
      throw kr::Failure(failure.number(), failure.description() + where, failure.what() + where);
    }
  }
  db.CommitTrans();
}

}  // namespace kr::krdb
