// krdb's command line.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <sstream>

#include "app/english_command_line.h"
#include "app/krdb/krdb_internal.h"
#include "db/db.h"
#include "db/passwords.h"
#include "platform/failure.h"
#include "platform/platform.h"

#ifndef KR_VERSION
#define KR_VERSION "0"
#endif

namespace kr::krdb {

namespace {

constexpr const char* kFooter =
    R"(Without a command, statements are read from standard input (see help there).
Output (exec, tables, fields, statements): --format tsv (the default: Null as \N; tab, line
feed and carriage return inside a text as \t, \n, \r), csv (RFC 4180; Null an empty field)
or json (an array of row objects per result). Numbers print in their shortest round-trip
form, Booleans as True/False, dates as yyyy/mm/dd hh:nn:ss (JSON: yyyy-mm-ddThh:mm:ss),
binaries as 0x and hex digits.
A file the user may not write, and every dump, explain, tables and fields, open read-only;
so does a file written by Access (Jet 3, Jet 4, ACE), whatever its name: a statement that
would change it fails with error 3027.
Errors go to standard error as "error NNNN: description".
Exit status: 0 done, 1 a database or statement error, 2 a malformed command line; diff: 0
equal, 1 different, 2 an error.)";

struct Settings {
  std::string file;
  std::string password;
  std::string password_option;  // how the password was given, for dump's rebuild line
  bool read_only = false;
  ScriptOptions script;
};

std::string AbsolutePath(const std::string& path) {
  return std::filesystem::absolute(std::filesystem::path(path)).lexically_normal().string();
}

std::string Connect(const Settings& s) {
  return s.password.empty() ? std::string() : ";PWD=" + s.password + ";";
}

engine::Database Open(const Settings& s, bool read_only) {
  bool writable = !s.read_only && !read_only && !platform::Attributes(s.file).read_only;
  return engine::OpenDatabase(s.file, false, !writable, Connect(s));
}

void PrintTable(const std::vector<std::string>& names, const std::vector<std::vector<Value>>& rows,
                Format format) {
  RowWriter writer(std::cout, format);
  writer.Begin(names);
  for (const auto& row : rows) writer.Row(row);
  writer.End();
}

// "-" and /dev/stdin are standard input, whatever it is: a pipe, a file or a terminal (read to
// its end, so a typed script runs as one transaction too).
std::string ReadScript(const std::string& path) {
  if (path == "-" || path == "/dev/stdin") {
    std::ostringstream text;
    text << std::cin.rdbuf();
    if (std::cin.bad()) throw kr::Failure::Runtime(kr::kErrPathFileAccess, "cannot read stdin");
    return text.str();
  }
  if (!platform::Attributes(path).exists)
    throw kr::Failure::Runtime(kr::kErrFileNotFound, "cannot read " + path);
  return platform::ReadFile(path);
}

// What the command line asks for: the options, the command given and its arguments.
struct Request {
  Settings s;
  std::string format = "tsv";
  bool app_password = false, former_password = false, fail_on_error = false;
  std::vector<std::string> sql;
  std::string script_file;
  bool all_tables = false;
  std::string table_name;
  std::vector<std::string> link_args;
  std::string new_password;
  std::string explain_sql;
  std::string import_source, source_password;
  std::string other_file;
  std::string diff_format = "text";
  std::vector<std::string> diff_tables;
  CLI::App* create = nullptr;
  CLI::App* import = nullptr;
  CLI::App* exec = nullptr;
  CLI::App* script = nullptr;
  CLI::App* tables = nullptr;
  CLI::App* fields = nullptr;
  CLI::App* link = nullptr;
  CLI::App* rekey = nullptr;
  CLI::App* dump = nullptr;
  CLI::App* explain = nullptr;
  CLI::App* diff = nullptr;
};

void DefineOptions(CLI::App& app, Request& r) {
  app.set_version_flag("--version", std::string("krdb ") + KR_VERSION);
  app.footer(kFooter);
  app.get_formatter()->label("SUBCOMMAND", "COMMAND");
  app.get_formatter()->label("SUBCOMMANDS", "COMMANDS");
  app.get_formatter()->label("Subcommands", "Commands");
  app.require_subcommand(0, 1);
  auto* password = app.add_option("--password", r.s.password, "the database password");
  auto* app_flag = app.add_flag("--app", r.app_password, "the application's database password");
  auto* former_flag =
      app.add_flag("--former", r.former_password, "the password of older releases' databases");
  password->excludes(app_flag, former_flag);
  app_flag->excludes(former_flag);
  app.add_flag("--fail-on-error", r.fail_on_error,
               "a row a statement cannot change fails the statement (and undoes it)");
  app.add_flag("--read-only", r.s.read_only, "open the database read-only");
  app.add_option("--format", r.format, "output format: tsv, csv or json")
      ->check(CLI::IsMember({"tsv", "csv", "json"}));
  app.add_option("DBFILE", r.s.file, "the database file")->required();
}

void DefineCommands(CLI::App& app, Request& r) {
  r.create = app.add_subcommand("create", "make a new, empty database (with the password)");
  r.import = app.add_subcommand(
      "import",
      "make a new database (with the password) holding a whole Access file: tables, "
      "fields, keys, indexes and rows");
  r.import->add_option("SOURCE", r.import_source, "the Access file (.mdb, .accdb)")->required();
  r.import->add_option("--source-password", r.source_password, "the Access file's password");
  r.exec = app.add_subcommand("exec", "run Jet SQL statements in order; a SELECT prints rows");
  r.exec->add_option("SQL", r.sql, "statements")->required();
  r.script = app.add_subcommand(
      "script", "run a script file in one transaction (an error undoes it and names its line)");
  r.script->add_option("FILE", r.script_file, "the script (- or /dev/stdin: standard input)")
      ->required();
  r.tables = app.add_subcommand("tables", "list tables: name, source table, connect");
  r.tables->add_flag("--all", r.all_tables, "system tables too");
  r.fields = app.add_subcommand("fields", "list a table's fields and their properties");
  r.fields->add_option("TABLE", r.table_name, "the table")->required();
  r.link = app.add_subcommand("link",
                              "attach a table of another database (opened with the same password)");
  r.link->add_option("NAME SOURCE_DB SOURCE_TABLE", r.link_args, "link name, source, source table")
      ->required()
      ->expected(3);
  r.rekey = app.add_subcommand("rekey", "change the database password");
  r.rekey->add_option("NEW_PASSWORD", r.new_password, "the new password (\"\" removes it)")
      ->required();
  r.dump = app.add_subcommand(
      "dump", "write tables, keys, indexes, rows and links as a script that makes the database");
  r.explain = app.add_subcommand("explain", "show the SQLite statements a Jet statement becomes");
  r.explain->add_option("SQL", r.explain_sql, "the statement")->required();
  r.diff = app.add_subcommand(
      "diff",
      "compare with a second database (same password; both read-only): tables, fields, keys,\n"
      "indexes and rows matched by primary key. Exit status 0 equal, 1 different, 2 error");
  r.diff->add_option("DBFILE2", r.other_file, "the second database")->required();
  r.diff
      ->add_option("--format", r.diff_format,
                   "text (counts and the first rows, changed fields marked *), json, or sql\n"
                   "(a krdb script that turns DBFILE into DBFILE2)")
      ->check(CLI::IsMember({"text", "json", "sql"}));
  r.diff->add_option("--table", r.diff_tables, "compare only these tables")->expected(1, -1);
}

// The password the options name, the absolute file, and the options statements run with.
void Settle(Request& r) {
  Settings& s = r.s;
  if (r.app_password) {
    s.password = db::DatabasePassword();
    s.password_option = "--app";
  } else if (r.former_password) {
    s.password = db::FormerDatabasePassword();
    s.password_option = "--former";
  } else if (!s.password.empty()) {
    s.password_option = "--password PASSWORD";
  }
  s.file = AbsolutePath(s.file);
  s.script.execute_options = r.fail_on_error ? engine::kFailOnError : 0;
  s.script.password = s.password;
  s.script.format = r.format == "csv"    ? Format::kCsv
                    : r.format == "json" ? Format::kJson
                                         : Format::kTsv;
}

void ListTables(engine::Database& db, bool all_tables, Format format) {
  std::vector<std::vector<Value>> rows;
  for (engine::TableDef t : db.TableDefs()) {
    if (!all_tables && (t.Attributes() & engine::kSystemObject) == engine::kSystemObject) continue;
    rows.push_back(
        {Value::Text(t.Name()), Value::Text(t.SourceTableName()), Value::Text(t.Connect())});
  }
  PrintTable({"Name", "SourceTableName", "Connect"}, rows, format);
}

void ListFields(engine::Database& db, const std::string& table_name, Format format) {
  std::vector<std::vector<Value>> rows;
  for (engine::Field f : db.TableDefs()[table_name].Fields()) {
    rows.push_back({Value::Text(f.Name()), Value::Long(f.Type()), Value::Long(f.Size()),
                    Value::Boolean(f.Required()), Value::Boolean(f.AllowZeroLength()),
                    Value::Text(f.DefaultValue()), Value::Text(f.ValidationRule())});
  }
  PrintTable(
      {"Name", "Type", "Size", "Required", "AllowZeroLength", "DefaultValue", "ValidationRule"},
      rows, format);
}

// The command on an open database; the exit status.
int RunOnDatabase(engine::Database& db, const Request& r) {
  const Settings& s = r.s;
  if (r.exec->parsed()) {
    for (const std::string& statement : r.sql) RunStatement(db, statement, s.script, std::cout);
  } else if (r.script->parsed()) {
    RunScript(db, ReadScript(r.script_file), s.script, std::cout);
  } else if (r.tables->parsed()) {
    ListTables(db, r.all_tables, s.script.format);
  } else if (r.fields->parsed()) {
    ListFields(db, r.table_name, s.script.format);
  } else if (r.link->parsed()) {
    engine::TableDef t = db.CreateTableDef(r.link_args[0]);
    t.SetConnect(";DataBase=" + AbsolutePath(r.link_args[1]) + ";PWD=" + s.password + ";");
    t.SetSourceTableName(r.link_args[2]);
    db.TableDefs().Append(t);
  } else if (r.dump->parsed()) {
    Dump(db, s.password_option, std::cout);
  } else if (r.explain->parsed()) {
    for (const std::string& statement : db.Explain(r.explain_sql)) std::cout << statement << ";\n";
  } else {
    return Shell(db, s.script);
  }
  return 0;
}

// diff's exit status is diff(1)'s: 0 equal, 1 different, 2 trouble.
int RunDiff(const Request& r) {
  DiffOptions options;
  options.format = r.diff_format == "json"  ? DiffFormat::kJson
                   : r.diff_format == "sql" ? DiffFormat::kSql
                                            : DiffFormat::kText;
  options.tables = r.diff_tables;
  try {
    engine::Database a = Open(r.s, true);
    engine::Database b =
        engine::OpenDatabase(AbsolutePath(r.other_file), false, true, Connect(r.s));
    bool differ = Diff(a, b, options, std::cout);
    b.Close();
    a.Close();
    return differ ? 1 : 0;
  } catch (const kr::Failure& failure) {
    std::cout.flush();
    std::cerr << "error " << failure.number() << ": " << failure.description() << '\n';
    return 2;
  }
}

// The command; the exit status. Raises what the engine raises.
int Run(const Request& r) {
  const Settings& s = r.s;
  if (r.diff->parsed()) return RunDiff(r);
  if (r.create->parsed()) {
    engine::CreateDatabase(s.file, s.password).Close();
    return 0;
  }
  if (r.import->parsed()) {
    // An existing target is refused as create refuses it (3204), before the source is read.
    if (platform::Attributes(s.file).exists) engine::CreateDatabase(s.file).Close();
    db::ConvertAccessDatabase(AbsolutePath(r.import_source), r.source_password, s.file, s.password);
    return 0;
  }
  if (r.rekey->parsed()) {
    engine::Database db = engine::OpenDatabase(s.file, true, false, Connect(s));
    db.NewPassword(s.password, r.new_password);
    db.Close();
    return 0;
  }
  bool reading =
      r.dump->parsed() || r.explain->parsed() || r.tables->parsed() || r.fields->parsed();
  engine::Database db = Open(s, reading);
  int status = RunOnDatabase(db, r);
  db.Close();
  return status;
}

}  // namespace

int Main(int argc, char** argv) {
  CLI::App app(
      "krdb: runs Jet SQL against the application's databases, builds them from\n"
      "scripts and writes them back as scripts.",
      "krdb");
  Request r;
  DefineOptions(app, r);
  DefineCommands(app, r);
  if (std::optional<int> status = kr::app::ParseEnglish(app, argc, argv, "krdb")) return *status;
  Settle(r);
  try {
    return Run(r);
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

}  // namespace kr::krdb
