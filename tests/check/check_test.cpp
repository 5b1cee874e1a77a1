// The package check: each kind of problem a package's author is shown, at its line, and the
// routine checks against what the catalogue says each routine reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "check/check.h"
#include "db/db.h"
#include "routines/routines.h"
#include "tests/testing/testing.h"

namespace kr::check {
namespace {

using db::engine::CreateDatabase;

class PackageCheckTest : public ::testing::Test {
 protected:
  void Ini(std::string_view utf8_text) { dir_.Write("KrInst.ini", testing::ToCp932(utf8_text)); }
  // A database of the package with the application's password, made by the statements.
  void Database(const std::string& name, const std::vector<std::string>& statements,
                std::string_view password = db::DatabasePassword()) {
    db::Database database = CreateDatabase(dir_.Native(name), password);
    for (const std::string& sql : statements) database.Execute(sql);
    database.Close();
  }
  std::vector<Problem> Check() { return CheckPackage(dir_.path()); }
  // "line code" of each problem, to compare with a table of expectations.
  std::vector<std::string> Found() {
    std::vector<std::string> found;
    for (const Problem& p : Check())
      found.push_back(std::to_string(p.line) + " " + p.code +
                      (p.severity == Severity::kWarning ? " (warning)" : ""));
    return found;
  }

  testing::TempDir dir_;
};

TEST_F(PackageCheckTest, EachProblemOfTheIniFileIsReportedAtItsLine) {
  dir_.Write("KrMain.exe", "x");
  dir_.Write("Help/index.htm", "x");
  Database("KrVal.mdb", {"CREATE TABLE SpeExe (Special TEXT(20), Rate DOUBLE)"});
  Ini("[Bootstrap]\r\n"                                     // 1
      "ExeName=KrMain.exe\r\n"                              // 2
      "ExeYaer=2019\r\n"                                    // 3 misspelt key
      "ExeYear=20x9\r\n"                                    // 4 not a year
      "ExeVersion=2..1\r\n"                                 // 5 not a version
      "ExeName=Other.exe\r\n"                               // 6 a second value nobody reads
      "[Bootstrap Filez]\r\n"                               // 7 misspelt section
      "[Bootstrap Files]\r\n"                               // 8
      "F1=KrMain.exe,$(AppPath)\\,SAVEOLDD\r\n"             // 9 misspelt keyword
      "F2=missing.exe,$(AppPath)\\,\r\n"                    // 10 not in the package
      "F3=krmain.EXE,$(AppPath)\\,NOTOVERWRITE\r\n"         // 11 found case-blind
      "F4=Help\\*.*,$(AppPath)\\Help\\,FILECOPYSUBDIR\r\n"  // 12
      "F5=Docs\\*.*,$(AppPath)\\Docs\\,\r\n"                // 13 no such folder
      "F6=KrVal.mdb,$(AppPath)\\File\\,TABLE;NoSuch\r\n"    // 14 no such table
      "F7=KrVal.mdb,$(AppPath)\\File\\,TABLE;SpeExe;Code='1';Special\r\n"  // 15 no Code
      "F8=KrVal.mdb,$(AppPath)\\File\\,TABLE\r\n"                          // 16 no table named
      "F9=Old.exe,$(AppPath)\\,DELETE\r\n"                                 // 17 needs no source
      "F10=x.dll\r\n"                                                      // 18 too few values
      "F11=KrMain.exe,$(AppPath)\\,PUTXMLSETTING\r\n"                      // 19 no arguments
      "F12=a.mdb,$(AppPath)\\,TABLECOPYVERSION;T;;Code|Src.mdb\r\n"        // 20 no year
      "[Function]\r\n"                                                     // 21
      "A=update2019ExpR0111,AFTER,x\r\n"                                   // 22 letter case
      "B=Update2019ExpR0111,BEFORE,x\r\n"  // 23 phase; its source is missing
      "[Bootstrap\r\n");                   // 24 unclosed, a second one
  EXPECT_EQ(Found(),
            (std::vector<std::string>{
                "3 unknown-key (warning)", "4 malformed-value", "5 malformed-value",
                "6 duplicate-key (warning)", "7 unknown-section (warning)", "9 unknown-keyword",
                "10 missing-file", "13 missing-file", "14 missing-table", "15 missing-column",
                "16 missing-argument", "18 too-few-values", "19 missing-argument",
                "20 malformed-value", "22 unknown-routine", "23 phase", "23 missing-source",
                "24 syntax", "24 duplicate-section (warning)"}));
}

TEST_F(PackageCheckTest, MessagesNameTheNearestValidName) {
  dir_.Write("KrMain.exe", "x");
  Ini("[Bootstrap Files]\r\nF=KrMain.exe,$(AppPath)\\,Dlll\r\n"
      "[Function]\r\nA=update200910exp,AFTER,x\r\nB=Update2019ExpR0112x,AFTER,x\r\n"
      "C=Nothing,AFTER,x\r\n");
  std::vector<Problem> problems = Check();
  ASSERT_EQ(problems.size(), 4u);
  EXPECT_NE(problems[0].message.find("「DLL」 の誤り"), std::string::npos) << problems[0].message;
  EXPECT_NE(problems[1].message.find("「Update200910Exp」 の誤り"), std::string::npos);
  EXPECT_NE(problems[2].message.find("「Update2019ExpR0111」 の誤り"), std::string::npos);
  EXPECT_EQ(problems[3].message.find("の誤り"), std::string::npos) << problems[3].message;
}

TEST_F(PackageCheckTest, UnreadableBytesAndAMissingIniAreProblemsNotFailures) {
  EXPECT_EQ(Found(), std::vector<std::string>{"0 missing-ini"});
  dir_.Write("KrInst.ini", "[Bootstrap]\r\nExeTitle=\x81\x20\xFF\r\n");
  EXPECT_EQ(Found(), std::vector<std::string>{"2 encoding"});
}

TEST_F(PackageCheckTest, JsonAndTextCarryLineSeverityMessageAndCode) {
  std::vector<Problem> problems = {{3, Severity::kWarning, "「a\"b」", "unknown-key"}};
  EXPECT_EQ(FormatJson(problems),
            "[\n  {\"line\": 3, \"severity\": \"warning\", \"message\": \"「a\\\"b」\", "
            "\"code\": \"unknown-key\"}\n]\n");
  EXPECT_EQ(FormatJson({}), "[]\n");
  EXPECT_EQ(FormatText(problems), "KrInst.ini:3: 警告: 「a\"b」 [unknown-key]\n");
}

// One catalogue row with a variant: T one of Expenses / Expenses_HisaiK → Expenses [Big,Mdl,Sml]
// ; T ExpOption [Big,Mdl], from KrExp201811.mdb.
TEST_F(PackageCheckTest, RoutineSourcesNeedTheirTablesColumnsAndPassword) {
  Ini("[Function]\r\nF=Update2018ExpH3011,AFTER,諸経費\r\n");
  const std::string kOption = "CREATE TABLE ExpOption (Big LONG, Mdl LONG)";
  struct Case {
    std::vector<std::string> statements;
    std::string password;
    std::vector<std::string> found;
  } cases[] = {
      {{"CREATE TABLE Expenses (Big LONG, Mdl LONG, Sml LONG)", kOption}, "", {}},
      // Only the variant: it stands for the standard table.
      {{"CREATE TABLE Expenses_HisaiK (Big LONG, Mdl LONG, Sml LONG)", kOption}, "", {}},
      {{kOption}, "", {"2 missing-table"}},
      {{"CREATE TABLE Expenses (Big LONG, Mdl LONG)", kOption}, "", {"2 missing-column"}},
      {{"CREATE TABLE Expenses (Big LONG, Mdl LONG, Sml LONG)", kOption},
       "other",
       {"2 source-unopenable"}},
  };
  for (const Case& c : cases) {
    std::remove(dir_.Native("KrExp201811.mdb").c_str());
    Database("KrExp201811.mdb", c.statements,
             c.password.empty() ? db::DatabasePassword() : c.password);
    EXPECT_EQ(Found(), c.found) << ::testing::PrintToString(c.statements);
  }
  std::remove(dir_.Native("KrExp201811.mdb").c_str());
  EXPECT_EQ(Found(), std::vector<std::string>{"2 missing-source"});
}

// Every routine of the catalogue that reads a database checks clean against sources holding
// exactly what the catalogue says it reads, and is caught when one of its key columns is gone.
TEST_F(PackageCheckTest, EveryRoutineChecksCleanAgainstWhatItsRowsRead) {
  std::set<std::string> names;
  for (const routines::Routine& r : routines::Catalogue()) names.insert(r.name);
  int with_columns = 0;
  for (const std::string& name : names) {
    testing::TempDir package;
    // Jet names are case-blind.
    struct Blind {
      bool operator()(const std::string& a, const std::string& b) const {
        return support::UpperCase(a) < support::UpperCase(b);
      }
    };
    std::map<std::string, std::map<std::string, std::set<std::string, Blind>, Blind>> sources;
    for (const routines::Routine* row : routines::Lookup(name)) {
      routines::RoutineReads reads = routines::ReadsOf(*row);
      for (const std::string& source : row->sources) package.Write(source, "");
      for (const routines::Record& record : row->record)
        if (record.kind == routines::RecordKind::kMarker) package.Write(record.text, "");
      for (const std::string& source : reads.databases) sources[source];
      for (const routines::TableRead& read : reads.tables) {
        auto& columns = sources[read.source][read.tables.front()];
        columns.insert(read.columns.begin(), read.columns.end());
      }
    }
    auto build = [&](const std::string& dropped_column) {
      for (const auto& [source, tables] : sources) {
        std::remove(package.Native(source).c_str());
        db::Database database = CreateDatabase(package.Native(source), db::DatabasePassword());
        database.BeginTrans();  // one disk sync
        for (const auto& [table, columns] : tables) {
          std::string sql = "CREATE TABLE " + db::QuoteJetName(table) + " ([CheckRow] LONG";
          for (const std::string& column : columns)
            if (column != dropped_column) sql += ", " + db::QuoteJetName(column) + " TEXT(10)";
          database.Execute(sql + ")");
        }
        database.CommitTrans();
        database.Close();
      }
    };
    package.Write("KrInst.ini", "[Function]\r\nF=" + name + ",AFTER,x\r\n");
    build("");
    std::vector<Problem> problems = CheckPackage(package.path());
    EXPECT_TRUE(problems.empty()) << name << ": " << FormatText(problems);
    std::string column;
    for (const auto& [source, tables] : sources)
      for (const auto& [table, columns] : tables)
        if (column.empty() && !columns.empty()) column = *columns.begin();
    if (column.empty()) continue;
    ++with_columns;
    build(column);
    problems = CheckPackage(package.path());
    EXPECT_TRUE(std::any_of(problems.begin(), problems.end(),
                            [](const Problem& p) { return p.code == "missing-column"; }))
        << name << " without " << column;
  }
  EXPECT_GT(with_columns, 50);
}

TEST(NearestTest, PrefersLetterCaseSlipsAndRefusesFarNames) {
  const std::vector<std::string> names = {"Update2019ValR0111", "Update2019CriR0111", "DLL"};
  EXPECT_EQ(Nearest("update2019valr0111", names), "Update2019ValR0111");
  EXPECT_EQ(Nearest("Update2019CriR011", names), "Update2019CriR0111");
  EXPECT_EQ(Nearest("DLL", names), "");  // itself
  EXPECT_EQ(Nearest("ZZZZZZZZ", names), "");
}

}  // namespace
}  // namespace kr::check
