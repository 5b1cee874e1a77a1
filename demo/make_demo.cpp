// kr-make-demo: builds a sample installation and update package from the text fixtures in
// demo/fixtures.
//
//   kr-make-demo OUTPUT [--fixtures DIR] [--pe DIR] [--update-day DATE] [--databases DIR]
//                [--krdb PROGRAM]
//
// OUTPUT (which must not exist yet, or be empty) receives the fixture tree: App (the installed
// application), Package (the update package), Windows, Windows/System32, ProgramData, Programs,
// Desktop and run (the folders the KR_* variables and XDG_RUNTIME_DIR point at). INI files are
// written in code page 932; "@DEMO@" in INI and XML files becomes OUTPUT and "@UPDATEDAY@" the
// given update day (default 2000/01/01, so that the install-folder dialog opens). The program
// files come from the PE test programs, which carry version resources. The databases of the
// installation (File\KrSet.mdb and the year folders' KrVal, KrCri and KrExp) and the package's
// source databases are made by krdb from the Jet SQL scripts and layout.txt of the database
// fixtures (tests/fixtures/db), the same ones the tests use; the year folders' databases then get
// every other table an installed one has (empty), and the package's R0111 price source the
// disaster-area variants those folders' routine steps take, so that the demo's update runs
// without a failed step. One more year folder,
// File\2019年度(令和2年3月労務更新), holds generated databases with user prices at release
// 2019,1,1, and the package carries the generated sources of release R0111 for it
// (KrVal2019R0111.mdb, KrCri2019R0111.mdb, KrExp2019R0111.mdb) and the labour-rate correction
// KrCri2019R0204.mdb, whose prefecture prices are 3 percent above R0111's.
#include <chrono>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "db/db.h"
#include "demo/fixture_generator.h"
#include "platform/failure.h"
#include "platform/platform.h"
#include "support/support.h"

namespace {

using kr::platform::ListKind;

#ifndef KR_DEMO_FIXTURES
#define KR_DEMO_FIXTURES "demo/fixtures"
#endif
#ifndef KR_PE_FIXTURES
#define KR_PE_FIXTURES "build/tests/fixtures/pe"
#endif
#ifndef KR_DB_FIXTURES
#define KR_DB_FIXTURES "tests/fixtures/db"
#endif
#ifndef KR_KRDB
#define KR_KRDB "build/app/krdb"
#endif

constexpr std::string_view kUsage =
    "使い方: kr-make-demo 出力フォルダ [--fixtures フォルダ] [--pe フォルダ] [--update-day 日付]\n"
    "                     [--databases フォルダ] [--krdb プログラム]\n";

// Program files of the demo and the versions they carry.
struct ProgramFile {
  const char* path;     // below OUTPUT
  const char* fixture;  // PE test program
};
constexpr ProgramFile kPrograms[] = {
    {"App/KrMain.exe", "app-2.0.0.83.exe"},     {"App/KrCalc.exe", "app-1.9.0.9.exe"},
    {"App/KrView.exe", "app-2.0.1.0.exe"},      {"Package/KrMain.exe", "app-2.0.0.84.exe"},
    {"Package/KrCalc.exe", "app-2.0.0.84.exe"}, {"Package/KrView.exe", "app-2.0.0.84.exe"},
};

// Folders the fixtures cannot carry because they start empty.
constexpr const char* kEmptyFolders[] = {"Programs", "Desktop", "run"};

struct Options {
  std::string output;
  std::string fixtures = KR_DEMO_FIXTURES;
  std::string pe = KR_PE_FIXTURES;
  std::string update_day = "2000/01/01";
  std::string databases = KR_DB_FIXTURES;
  std::string krdb = KR_KRDB;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    std::string* value = nullptr;
    if (arg == "--fixtures") value = &options.fixtures;
    if (arg == "--pe") value = &options.pe;
    if (arg == "--update-day") value = &options.update_day;
    if (arg == "--databases") value = &options.databases;
    if (arg == "--krdb") value = &options.krdb;
    if (value != nullptr) {
      if (++i >= argc) return std::nullopt;
      *value = argv[i];
    } else if (!arg.starts_with("-") && options.output.empty()) {
      options.output = arg;
    } else {
      return std::nullopt;
    }
  }
  if (options.output.empty()) return std::nullopt;
  return options;
}

bool EndsWithCaseBlind(std::string_view name, std::string_view suffix) {
  return name.size() >= suffix.size() &&
         kr::support::LowerCase(name.substr(name.size() - suffix.size())) == suffix;
}

class DemoWriter {
 public:
  explicit DemoWriter(const Options& options) : options_(options) {}

  void Build() {
    MakeFolder(options_.output);
    CopyTree(options_.fixtures, options_.output);
    for (const ProgramFile& program : kPrograms) {
      kr::platform::CopyFile(options_.pe + "/" + program.fixture,
                             options_.output + "/" + program.path);
    }
    for (const char* folder : kEmptyFolders) MakeFolder(options_.output + "/" + folder);
    BuildDatabases();
    for (const char* year : {"平成30年度", "2019年度"}) {
      CompleteYearDatabase(options_.output + "/App/File/" + year + "/KrVal.mdb", "KrVal");
      CompleteYearDatabase(options_.output + "/App/File/" + year + "/KrCri.mdb", "KrCri");
      CompleteYearDatabase(options_.output + "/App/File/" + year + "/KrExp.mdb", "KrExp");
    }
    BuildGeneratedDatabases();
  }

 private:
  void MakeFolder(const std::string& folder) {
    if (!kr::platform::Attributes(folder).is_directory) kr::platform::MakeDirectory(folder);
  }

  // Each line of layout.txt: "install" or "package", the database's path in that folder, "="
  // and the scripts that make it.
  void BuildDatabases() {
    std::string layout = kr::platform::ReadFile(options_.databases + "/layout.txt");
    for (std::string line : kr::support::Split(layout, "\n")) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::vector<std::string> words;
      for (const std::string& word : kr::support::Split(line, " ")) {
        if (!word.empty()) words.push_back(word);
      }
      if (words.size() < 3 || words[0][0] == '#' || words[2] != "=") continue;
      std::string folder = words[0] == "install" ? "App" : "Package";
      std::string database = options_.output + "/" + folder;
      for (const std::string& part : kr::support::Split(words[1], "\\")) {
        MakeFolder(database);
        database += "/" + part;
      }
      Krdb({"--app", database, "create"});
      for (size_t i = 3; i < words.size(); ++i) {
        Krdb({"--app", database, "script", options_.databases + "/" + words[i]});
      }
    }
  }

  // The scripted year databases hold the tables the tests read; an installed one has them all,
  // empty or not, so the release's routines find each table they refresh.
  void CompleteYearDatabase(const std::string& path, std::string_view kind) {
    kr::db::Database db = kr::db::OpenAppDatabase(path);
    for (const std::string& table : kr::fixtures::StandardTables(kind)) {
      if (!db.TableDefs().Find(table).impl()) db.Execute(kr::fixtures::TableDdl(table));
    }
    db.Close();
  }

  // A labour-rate refresh folder one release behind the package's R0111 sources.
  void BuildGeneratedDatabases() {
    kr::fixtures::YearFolderSpec year;
    year.name = "2019年度(令和2年3月労務更新)";
    year.val_version = year.cri_version = year.exp_version = "2019,1,1";
    year.cri_comment = ",労務更新R0203";
    kr::fixtures::MakeYearFolder(options_.output + "/App", year);
    const std::pair<const char*, const char*> sources[] = {
        {"KrVal", "2019,1,4"}, {"KrCri", "2019,1,2"}, {"KrExp", "2019,1,2"}};
    for (const auto& [database, version] : sources) {
      kr::fixtures::SourceSpec source;
      source.database = database;
      source.version = version;
      // The release removes a few items as releases do, through the delete lists its routines
      // read (rows 7 and 17 of the base table).
      source.tables = kr::fixtures::StandardTables(database);
      std::string_view deletions = std::string_view(database) == "KrVal"   ? "SpeExe_Delete"
                                   : std::string_view(database) == "KrCri" ? "Cri_Delete"
                                                                           : "";
      if (!deletions.empty()) source.tables.insert(source.tables.end() - 1, std::string(deletions));
      // The demo's scripted folders are of the disaster-area editions, whose routine steps take
      // these variants of the release's tables.
      if (std::string_view(database) == "KrVal") {
        source.tables.insert(source.tables.end() - 1, "Book_D");
        for (const char* table :
             {"Val700", "Val700_Ind", "Val710", "Val710_Ind", "Val720", "Val720_Ind", "Val740_Ind",
              "Val750_Ind", "Val760_Ind", "Val770", "Val790", "Val800_Ind", "Val890_Ind"}) {
          for (const char* variant : {"_Hisai", "_HisaiK"}) {
            source.tables.insert(source.tables.end() - 1, std::string(table) + variant);
          }
        }
      }
      kr::fixtures::MakeSourceDatabase(options_.output + "/Package/" + database + "2019R0111.mdb",
                                       source);
    }
    // The correction raises the labour rates once more, so that its repricing shows.
    std::string correction = options_.output + "/Package/KrCri2019R0204.mdb";
    kr::fixtures::MakeSourceDatabase(
        correction, {.database = "KrCri", .version = "2019,1,5", .tables = {"Cri"}});
    kr::db::Database db = kr::db::OpenAppDatabase(correction);
    db.Execute("UPDATE Cri SET 東京都=INT(東京都*1.03), 大阪府=INT(大阪府*1.03);");
    db.Close();
  }

  void Krdb(const std::vector<std::string>& args) {
    std::string command = "\"" + options_.krdb + "\"";
    for (const std::string& arg : args) command += " \"" + arg + "\"";
    auto child = kr::platform::CurrentEnv().StartProcess(command, true);
    while (!child->Ended()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (child->ExitCode() != 0) {
      throw kr::Failure(kr::kErrPathFileAccess, "データベースを作成できません: " + command,
                        "krdb failed: " + command);
    }
  }

  void CopyTree(const std::string& from, const std::string& to) {
    MakeFolder(to);
    for (const auto& entry : kr::platform::List(from + "/", ListKind::kWithDirectories)) {
      std::string source = from + "/" + entry.name;
      std::string target = to + "/" + entry.name;
      if (entry.is_directory) {
        CopyTree(source, target);
      } else if (EndsWithCaseBlind(entry.name, ".ini")) {
        kr::platform::WriteFile(target, kr::platform::Utf8ToCp932(Filled(source)));
      } else if (EndsWithCaseBlind(entry.name, ".xml")) {
        kr::platform::WriteFile(target, Filled(source));
      } else {
        kr::platform::CopyFile(source, target);  // keeps the stand-in programs executable
      }
    }
  }

  std::string Filled(const std::string& fixture) {
    std::string text = kr::platform::ReadFile(fixture);
    text = kr::support::ReplaceAll(text, "@DEMO@", options_.output);
    return kr::support::ReplaceAll(text, "@UPDATEDAY@", options_.update_day);
  }

  const Options& options_;
};

}  // namespace

int main(int argc, char** argv) {
  std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::cerr << kUsage;
    return 2;
  }
  while (options->output.size() > 1 && options->output.back() == '/') options->output.pop_back();
  if (!kr::platform::List(options->output + "/", ListKind::kWithDirectories).empty()) {
    std::cerr << "出力フォルダが空ではありません: " << options->output << "\n";
    kr::LogLine("kr-make-demo: output folder is not empty: " + options->output);
    return 2;
  }
  kr::StepAndContinue steps("kr-make-demo");
  steps.Step([&] { DemoWriter(*options).Build(); });
  if (steps.failed()) {
    std::cerr << "デモを作成できませんでした: " << steps.pending()->description() << "\n("
              << steps.pending()->what() << ")\n";
    return 1;
  }
  std::cout << options->output << "\n";
  return 0;
}
