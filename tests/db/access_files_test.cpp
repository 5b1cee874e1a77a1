// Access files in the toolkit: converted whole into databases of ours, installations brought from
// Windows converted at their first backup, and package sources read as they are.
#include <fstream>
#include <sstream>

#include "tests/db/db_fixture.h"

namespace kr::db::test {
namespace {

std::string FixtureBytes(const std::string& name) {
  std::ifstream in(testing::SourceFile("tests/fixtures/access/" + name), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Every table of a database: fields with type and size, indexes, and rows in key order.
Rows Contents(Database& db) {
  Rows lines;
  for (TableDef t : db.TableDefs()) {
    if ((t.Attributes() & engine::kSystemObject) == engine::kSystemObject) continue;
    std::string fields;
    for (engine::Field f : t.Fields())
      fields += f.Name() + ":" + std::to_string(f.Type()) + ":" + std::to_string(f.Size()) +
                (f.Required() ? "!" : "") + " ";
    lines.push_back(t.Name() + " " + fields);
    for (const engine::IndexInfo& index : t.Indexes())
      lines.push_back(index.name + (index.primary ? " primary" : "") +
                      (index.unique ? " unique" : ""));
    Recordset rs =
        db.OpenRecordset("SELECT * FROM " + QuoteJetName(t.Name()), engine::kOpenSnapshot);
    Rows rows;
    for (; !rs.Eof(); rs.MoveNext()) {
      std::string row;
      for (int i = 0; i < rs.Fields().Count(); ++i) {
        Value v = rs.Fields()[i].GetValue();
        row += (v.IsNull() ? std::string("null")
                           : std::to_string(static_cast<int>(v.kind())) + ":" + v.ToText()) +
               "|";
      }
      rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    lines.insert(lines.end(), rows.begin(), rows.end());
  }
  return lines;
}

class AccessFilesTest : public DbTest {};

TEST_F(AccessFilesTest, ConversionKeepsEveryTableFieldIndexAndRow) {
  for (const char* fixture :
       {"testV1997.mdb", "testV2003.mdb", "testV2010.accdb", "fixedNumericTestV2003.mdb",
        "extDateTestV2019.accdb", "complexDataTestV2010.accdb", "overflowTestV2003.mdb"}) {
    SCOPED_TRACE(fixture);
    package_.Write(fixture, FixtureBytes(fixture));
    std::string converted = InInstall(std::string(fixture) + ".kr");
    ConvertAccessDatabase(InPackage(fixture), "", converted, DatabasePassword());
    Database source = Open(InPackage(fixture));
    Database ours = Open(converted);
    EXPECT_TRUE(source.ReadOnly());
    EXPECT_FALSE(ours.ReadOnly());
    EXPECT_EQ(Contents(ours), Contents(source));
    ours.Execute("DELETE FROM " + QuoteJetName(ours.TableDefs()[0].Name()));  // ours takes changes
  }
}

TEST_F(AccessFilesTest, AFailedConversionLeavesTheTargetAsItWas) {
  package_.Write("src.mdb", FixtureBytes("testV2003.mdb"));
  testing::MakeDatabaseFromText(InInstall("KrVal.mdb"), "CREATE TABLE T (x LONG);\n");
  std::string before = install_.Read("KrVal.mdb");
  // A target folder that is not there fails the write: nothing half made is left anywhere.
  EXPECT_NE(testing::FailureNumber([&] {
              ConvertAccessDatabase(InPackage("src.mdb"), "", InInstall("none/x.mdb"), "");
            }),
            0);
  package_.Write("bad.mdb", FixtureBytes("testV2003.mdb").substr(0, 5000));
  EXPECT_NE(testing::FailureNumber([&] {
              ConvertAccessDatabase(InPackage("bad.mdb"), "", InInstall("KrVal.mdb"), "");
            }),
            0);
  EXPECT_EQ(install_.Read("KrVal.mdb"), before);
  EXPECT_FALSE(install_.Exists("KrVal.mdb.kr-import"));
}

TEST_F(AccessFilesTest, AWindowsInstallationIsConvertedAtItsFirstBackup) {
  std::string original = FixtureBytes("testV2003.mdb");
  install_.Write("File/2019年度/KrVal.mdb", original);
  std::string path = install_.folder() + "File\\2019年度\\KrVal.mdb";
  BackupDatabase(run_, path);
  EXPECT_EQ(install_.Read("File/2019年度/KrVal202004071530.old"), original);
  EXPECT_FALSE(engine::IsAccessFile(path));
  Database db = Open(path);
  EXPECT_EQ(Select(db, "SELECT A, H FROM Table1 ORDER BY A"), (Rows{"a|0", "abcdefg|3.5"}));
  db.Execute("UPDATE Table1 SET H = H + 1");
  db.Close();
  BackupDatabase(run_, path);  // a second backup in the run keeps the first, and converts nothing
  EXPECT_EQ(install_.Read("File/2019年度/KrVal202004071530.old"), original);
  EXPECT_EQ(One(db = Open(path), "SELECT Sum(H) FROM Table1"), "5.5");
}

TEST_F(AccessFilesTest, PackageSourcesAreCopiedFromAsTheyAre) {
  package_.Write("KrSource.accdb", FixtureBytes("testV2010.accdb"));
  testing::MakeDatabaseFromText(
      InInstall("KrVal.mdb"),
      "CREATE TABLE Table1 (A TEXT(50), H CURRENCY, CONSTRAINT PrimaryKey PRIMARY KEY (A));\n"
      "INSERT INTO Table1 (A, H) VALUES ('a', 9);\n"
      "INSERT INTO Table1 (A, H) VALUES ('mine', 1);\n");
  Database source = Open(InPackage("KrSource.accdb"));
  Database target = Open(InInstall("KrVal.mdb"));
  TransferRows(source, target, "Table1", "", "A");
  EXPECT_EQ(Select(target, "SELECT A, H FROM Table1 ORDER BY A"),
            (Rows{"a|0", "abcdefg|3.5", "mine|1"}));
  CopyTable(source, target, "Table1", "A LIKE 'abc*'", "A");
  EXPECT_EQ(Select(target, "SELECT Count(*) FROM Table1"), Rows{"3"});
  EXPECT_FALSE(HasTable(target, "LinkHikitugi"));
  // A whole-file replacement installs a converted copy.
  CopyDatabaseFile(InPackage("KrSource.accdb"), InInstall("KrCri.mdb"));
  EXPECT_FALSE(engine::IsAccessFile(InInstall("KrCri.mdb")));
  Database copy = Open(InInstall("KrCri.mdb"));
  EXPECT_EQ(Select(copy, "SELECT Count(*) FROM Table1"), Rows{"2"});
}

}  // namespace
}  // namespace kr::db::test
