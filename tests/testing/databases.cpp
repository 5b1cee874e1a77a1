#include "tests/testing/databases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kr::testing {

namespace {

std::string Krdb() { return BuiltProgram("app/krdb"); }

bool RunKrdb(const std::vector<std::string>& args, std::string* out = nullptr) {
  std::vector<std::string> argv{Krdb(), "--app"};
  argv.insert(argv.end(), args.begin(), args.end());
  ProcessResult result = RunProgram(argv);
  if (result.exit_code != 0) {
    std::string command;
    for (const std::string& a : args) command += " " + a;
    ADD_FAILURE() << "krdb" << command << " failed (" << result.exit_code << "): " << result.err;
    return false;
  }
  if (out != nullptr) *out = result.out;
  return true;
}

std::string ScriptPath(const std::string& script) {
  if (script.find('/') != std::string::npos) return script;
  return SourceFile("tests/fixtures/db/" + script);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// Databases already built in this process, by the scripts that built them: building starts krdb
// once per script, copying a built file is instant.
class BuiltDatabases {
 public:
  // The cached file for key, or "" when it has to be built first.
  std::string Find(const std::string& key) const {
    auto found = files_.find(key);
    return found == files_.end() ? std::string() : found->second;
  }
  // A fresh name every time: a failed build must not leave its file in a later one's way.
  std::string PathFor(const std::string& key) {
    std::string path = folder_.Native(std::to_string(next_++) + ".mdb");
    files_[key] = path;
    return path;
  }
  void Forget(const std::string& key) {
    auto found = files_.find(key);
    if (found == files_.end()) return;
    std::error_code ignored;
    std::filesystem::remove(found->second, ignored);
    files_.erase(found);
  }

 private:
  TempDir folder_;
  std::map<std::string, std::string> files_;
  int next_ = 0;
};

BuiltDatabases& Cache() {
  static BuiltDatabases cache;
  return cache;
}

void Place(const std::string& built, const std::string& native_path) {
  std::filesystem::create_directories(std::filesystem::path(native_path).parent_path());
  std::filesystem::copy_file(built, native_path, std::filesystem::copy_options::overwrite_existing);
}

// Builds (once) a database from the scripts, or from script text when `text` is set.
void MakeCached(const std::string& native_path, const std::vector<std::string>& scripts,
                const std::string* text) {
  std::string key;
  for (const std::string& script : scripts) key += ScriptPath(script) + "\n";
  if (text != nullptr) key += "text:" + *text;
  std::string built = Cache().Find(key);
  if (built.empty()) {
    built = Cache().PathFor(key);
    bool ok = RunKrdb({built, "create"});
    for (const std::string& script : scripts) {
      ok = ok && RunKrdb({built, "script", ScriptPath(script)});
    }
    if (ok && text != nullptr) {
      TempDir scratch;
      scratch.Write("script.sql", *text);
      ok = RunKrdb({built, "script", scratch.Native("script.sql")});
    }
    if (!ok) {
      Cache().Forget(key);
      return;
    }
  }
  Place(built, native_path);
}

}  // namespace

std::vector<FixtureDatabase> FixtureLayout() {
  std::ifstream in(SourceFile("tests/fixtures/db/layout.txt"));
  std::vector<FixtureDatabase> layout;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    FixtureDatabase db;
    std::string equals, script;
    words >> db.folder >> db.path >> equals;
    while (words >> script) db.scripts.push_back(script);
    std::replace(db.path.begin(), db.path.end(), '\\', '/');
    layout.push_back(db);
  }
  return layout;
}

void MakeDatabase(const std::string& native_path, const std::vector<std::string>& scripts) {
  MakeCached(native_path, scripts, nullptr);
}

void RunScriptText(const std::string& native_path, std::string_view script) {
  TempDir scratch;
  scratch.Write("script.sql", script);
  RunKrdb({native_path, "script", scratch.Native("script.sql")});
}

void MakeDatabaseFromText(const std::string& native_path, std::string_view script) {
  std::string text(script);
  MakeCached(native_path, {}, &text);
}

void MakeSampleDatabases(const TempDir& root, std::string_view which) {
  for (const FixtureDatabase& db : FixtureLayout()) {
    if (db.folder == which) MakeDatabase(root.Native(db.path), db.scripts);
  }
}

std::vector<std::string> QueryRows(const std::string& native_path, std::string_view select) {
  std::string out;
  if (!RunKrdb({native_path, "exec", std::string(select)}, &out)) return {};
  std::vector<std::string> lines = Lines(out);
  if (!lines.empty()) lines.erase(lines.begin());
  return lines;
}

std::string QueryValue(const std::string& native_path, std::string_view select) {
  std::vector<std::string> rows = QueryRows(native_path, select);
  return rows.empty() ? std::string() : rows.front();
}

}  // namespace kr::testing
