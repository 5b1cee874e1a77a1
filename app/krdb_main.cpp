// krdb: the database engine on the command line, for users and for building test fixtures.
//
//   krdb [--password PW | --app | --former] [--fail-on-error] DBFILE COMMAND [ARGS...]
//     create                          a new, empty database (with the password, if any)
//     exec SQL...                     Jet SQL statements in order; a SELECT prints its rows
//     script FILE                     a Jet SQL script: statements end with ";" at a line end,
//                                     lines starting with "--" are comments; it runs in one
//                                     transaction, so an error (reported with the line of its
//                                     statement) leaves the file as it was
//     tables [--all]                  name, source table, connect (--all: system tables too)
//     fields TABLE                    name, type, size, required, allow zero length, default,
//                                     validation rule
//     link NAME SOURCE_DB SOURCE_TABLE  an attached table (the source opens with the same password)
//     rekey NEW_PASSWORD              changes the database password
//
// Output is tab-separated with a header line; Null prints as \N, numbers in their shortest
// round-trip form, Booleans as True/False, dates as yyyy/mm/dd hh:nn:ss; a tab, line feed or
// carriage return inside a text prints as \t, \n, \r. Errors go to stderr as
// "error NNNN: description" and the exit status is 1 (2 for a malformed command line).
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/krdb_script.h"
#include "db/engine/engine.h"
#include "db/passwords.h"
#include "platform/failure.h"

namespace {

namespace engine = kr::db::engine;

constexpr const char* kUsage =
    "usage: krdb [--password PW | --app | --former] [--fail-on-error] DBFILE COMMAND [ARGS...]\n"
    "commands: create | exec SQL... | script FILE | tables [--all] | fields TABLE |\n"
    "          link NAME SOURCE_DB SOURCE_TABLE | rekey NEW_PASSWORD\n";

struct UsageError {};

void PrintRows(std::vector<std::vector<std::string>> rows) {
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.size(); ++i) std::cout << (i ? "\t" : "") << row[i];
    std::cout << '\n';
  }
}

std::string AbsolutePath(const std::string& path) {
  return std::filesystem::absolute(std::filesystem::path(path)).lexically_normal().string();
}

int Run(const std::vector<std::string>& args) {
  size_t i = 0;
  std::string password;
  int options = 0;
  while (i < args.size() && args[i].rfind("--", 0) == 0) {
    if (args[i] == "--password" && i + 1 < args.size()) {
      password = args[i + 1];
      i += 2;
    } else if (args[i] == "--app") {
      password = kr::db::DatabasePassword();
      ++i;
    } else if (args[i] == "--former") {
      password = kr::db::FormerDatabasePassword();
      ++i;
    } else if (args[i] == "--fail-on-error") {
      options |= engine::kFailOnError;
      ++i;
    } else {
      throw UsageError{};
    }
  }
  if (i + 2 > args.size()) throw UsageError{};
  std::string file = AbsolutePath(args[i]);
  std::string command = args[i + 1];
  std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(i + 2), args.end());
  std::string connect = password.empty() ? "" : ";PWD=" + password + ";";

  if (command == "create") {
    if (!rest.empty()) throw UsageError{};
    engine::CreateDatabase(file, password).Close();
    return 0;
  }
  if (command == "rekey") {
    if (rest.size() != 1) throw UsageError{};
    engine::Database db = engine::OpenDatabase(file, true, false, connect);
    db.NewPassword(password, rest[0]);
    db.Close();
    return 0;
  }
  if (command != "exec" && command != "script" && command != "tables" && command != "fields" &&
      command != "link")
    throw UsageError{};
  engine::Database db = engine::OpenDatabase(file, false, false, connect);
  if (command == "exec") {
    if (rest.empty()) throw UsageError{};
    for (const std::string& sql : rest) kr::app::RunStatement(db, sql, options, std::cout);
  } else if (command == "script") {
    if (rest.size() != 1) throw UsageError{};
    std::ifstream in(rest[0], std::ios::binary);
    if (!in) throw kr::Failure::Runtime(kr::kErrFileNotFound, "cannot read " + rest[0]);
    std::stringstream text;
    text << in.rdbuf();
    kr::app::RunScript(db, text.str(), options, std::cout);
  } else if (command == "tables") {
    bool all = rest.size() == 1 && rest[0] == "--all";
    if (!rest.empty() && !all) throw UsageError{};
    std::vector<std::vector<std::string>> rows{{"Name", "SourceTableName", "Connect"}};
    for (engine::TableDef t : db.TableDefs()) {
      if (!all && (t.Attributes() & engine::kSystemObject) == engine::kSystemObject) continue;
      rows.push_back({t.Name(), t.SourceTableName(), t.Connect()});
    }
    PrintRows(rows);
  } else if (command == "fields") {
    if (rest.size() != 1) throw UsageError{};
    std::vector<std::vector<std::string>> rows{
        {"Name", "Type", "Size", "Required", "AllowZeroLength", "DefaultValue", "ValidationRule"}};
    for (engine::Field f : db.TableDefs()[rest[0]].Fields()) {
      rows.push_back({f.Name(), std::to_string(f.Type()), std::to_string(f.Size()),
                      f.Required() ? "True" : "False", f.AllowZeroLength() ? "True" : "False",
                      kr::app::Escaped(f.DefaultValue()), kr::app::Escaped(f.ValidationRule())});
    }
    PrintRows(rows);
  } else if (command == "link") {
    if (rest.size() != 3) throw UsageError{};
    engine::TableDef link = db.CreateTableDef(rest[0]);
    link.SetConnect(";DataBase=" + AbsolutePath(rest[1]) + ";PWD=" + password + ";");
    link.SetSourceTableName(rest[2]);
    db.TableDefs().Append(link);
  }
  db.Close();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return Run(args);
  } catch (const UsageError&) {
    std::cerr << kUsage;
    return 2;
  } catch (const kr::Failure& failure) {
    std::cout.flush();
    std::cerr << "error " << failure.number() << ": " << failure.description() << '\n';
    return 1;
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "error 3000: " << e.what() << '\n';
    return 1;
  }
}
