// Statements from standard input: typed at a terminal with line editing and history, or read
// from a pipe as a script is, each statement committed on its own.
#include <editline/readline.h>

#include <cstdlib>
#include <functional>
#include <iostream>

#include "app/krdb/krdb_internal.h"
#include "platform/failure.h"
#include "platform/platform.h"

namespace kr::krdb {

namespace {

constexpr int kHistoryLines = 1000;

constexpr const char* kShellHelp =
    "Statements are Jet SQL and end with \";\" at the end of a line; a SELECT prints its rows.\n"
    "Commands: help (this text), tables (the tables of the database), quit (or end of input).\n";

std::string HistoryFile() {
  std::string state = platform::StateFolder();
  return state.empty() ? state : state + "/krdb/history";
}

void LoadHistory(const std::string& file) {
  stifle_history(kHistoryLines);
  LeaveOnError("read krdb history", [&] {
    if (file.empty() || !platform::Attributes(file).exists) return;
    std::string text = platform::ReadFile(file);
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      if (end > start) add_history(text.substr(start, end - start).c_str());
      start = end + 1;
    }
  });
}

// Missing folders of the state folder are made; a history that cannot be kept is no error.
void SaveHistory(const std::string& file) {
  if (file.empty()) return;
  LeaveOnError("write krdb history", [&] {
    std::string folder = file.substr(0, file.rfind('/'));
    std::vector<std::string> missing;
    for (std::string f = folder; !f.empty() && !platform::Attributes(f).exists;
         f = f.substr(0, f.rfind('/')))
      missing.push_back(f);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) platform::MakeDirectory(*it);
    std::string text;
    for (int i = 0; i < history_length; ++i) {
      HIST_ENTRY* entry = history_get(history_base + i);
      if (entry != nullptr && entry->line != nullptr) text += std::string(entry->line) + "\n";
    }
    platform::WriteFile(file, text);
  });
}

class LineSource {
 public:
  explicit LineSource(bool terminal) : terminal_(terminal) {}
  // The next line without its line end; false at the end of input.
  bool Next(bool continued, std::string* line) {
    if (!terminal_) {
      if (!std::getline(std::cin, *line)) return false;
      if (!line->empty() && line->back() == '\r') line->pop_back();
      return true;
    }
    char* typed = readline(continued ? "   ...> " : "krdb> ");
    if (typed == nullptr) return false;
    *line = typed;
    std::free(typed);
    if (line->find_first_not_of(" \t") != std::string::npos) add_history(line->c_str());
    return true;
  }

 private:
  bool terminal_;
};

std::string Command(const std::string& line) {
  size_t first = line.find_first_not_of(" \t");
  size_t last = line.find_last_not_of(" \t;");
  if (first == std::string::npos || last == std::string::npos || last < first) return "";
  std::string word = line.substr(first, last - first + 1);
  for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return word == "help" || word == "tables" || word == "quit" || word == "exit" ? word : "";
}

void ListTables(engine::Database& db, Format format) {
  RowWriter writer(std::cout, format);
  writer.Begin({"Name", "SourceTableName"});
  for (engine::TableDef t : db.TableDefs()) {
    if ((t.Attributes() & engine::kSystemObject) == engine::kSystemObject) continue;
    writer.Row({Value::Text(t.Name()), Value::Text(t.SourceTableName())});
  }
  writer.End();
}

}  // namespace

int Shell(engine::Database& db, const ScriptOptions& options) {
  const bool terminal = platform::StandardInputIsTerminal();
  const std::string history = terminal ? HistoryFile() : std::string();
  if (terminal) {
    LoadHistory(history);
    std::cout << "krdb: " << db.Name() << (db.ReadOnly() ? " (read-only)" : "")
              << ". Type help for help.\n";
  }
  LineSource source(terminal);
  StepAndContinue statements("krdb statement");
  bool failed = false;
  std::string pending;
  int pending_line = 0, number = 0;
  Quoting quoting = Quoting::kNone;
  // A failed statement is shown and the next one runs.
  auto attempt = [&](const std::function<void()>& step) {
    std::cout.flush();
    if (statements.Step(step)) return;
    const kr::Failure& failure = *statements.pending();
    std::cout.flush();
    std::cerr << "error " << failure.number() << ": " << failure.description();
    if (!terminal) std::cerr << " (line " << pending_line << ")";
    std::cerr << std::endl;
    statements.Clear();
    failed = true;
  };
  auto run = [&] {
    attempt([&] { RunStatement(db, pending, options, std::cout); });
    pending.clear();
  };
  std::string line;
  while (source.Next(!pending.empty(), &line)) {
    ++number;
    if (pending.empty()) {
      std::string command = Command(line);
      if (command == "quit" || command == "exit") break;
      if (command == "help") {
        std::cout << kShellHelp;
        continue;
      }
      if (command == "tables") {
        pending_line = number;
        attempt([&] { ListTables(db, options.format); });
        continue;
      }
      if (line.find_first_not_of(" \t") == std::string::npos) continue;
      size_t first = line.find_first_not_of(" \t");
      if (line.compare(first, 2, "--") == 0) continue;
      pending_line = number;
    }
    pending += (pending.empty() ? "" : "\n") + line;
    quoting = QuotingAfter(line, quoting);
    size_t last = pending.find_last_not_of(" \t");
    if (quoting == Quoting::kNone && pending[last] == ';') run();
  }
  if (pending.find_first_not_of(" \t\n") != std::string::npos) run();
  if (terminal) SaveHistory(history);
  return failed && !terminal ? 1 : 0;
}

}  // namespace kr::krdb
