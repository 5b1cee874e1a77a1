// The toolkit's helpers around Access databases: values, tables and fields, backups, passwords,
// districts and numbers; Access files converted whole into databases of ours.
#include <fstream>
#include <sstream>

#include "platform/platform.h"
#include "tests/db/db_fixture.h"
#include "tests/testing/database_faults.h"

namespace kr::db::test {
namespace {

TEST(CurrencyTest, NullAndNonNumbersGiveZeroAndNarrowingRoundsHalfToEvenAndRefusesOverflow) {
  EXPECT_EQ(NzNumber(Value::Null()), Currency());
  EXPECT_EQ(NzNumber(Value("12a")), Currency());
  EXPECT_EQ(NzNumber(Value::Double(1e300)), Currency());  // beyond the currency range
  EXPECT_EQ(NzNumber(Value("12.5")), Currency::FromScaled(125000));
  EXPECT_EQ(NzNumber(Value::Double(0.1)), Currency::FromScaled(1000));
  EXPECT_EQ(NzString(Value::Null()), "");
  EXPECT_EQ(NzString(Value("平成30年度")), "平成30年度");
  EXPECT_EQ(Currency::FromScaled(25000).ToInt16(), 2);
  EXPECT_EQ(Currency::FromScaled(35000).ToInt16(), 4);
  EXPECT_EQ(Currency::FromScaled(-25000).ToInt32(), -2);
  EXPECT_THROW(Currency::FromInteger(40000).ToInt16(), Failure);
  EXPECT_EQ(Currency::FromInteger(40000).ToInt32(), 40000);
}

class AccessTest : public DbTest {};

TEST_F(AccessTest, TableAndFieldTestsIgnoreCaseAndWidth) {
  testing::MakeDatabaseFromText(
      InInstall("a.mdb"),
      "CREATE TABLE Version (Ver TEXT(20), Comment TEXT(255));\n"
      "CREATE TABLE [ＶＡＬ１２０] (Code TEXT(20), [ＰＲＩＣＥ] DOUBLE);\n");
  Database db = Open(InInstall("a.mdb"));
  EXPECT_TRUE(TableExists(db, "VERSION"));
  EXPECT_FALSE(TableExists(db, "Val120"));
  EXPECT_TRUE(HasTable(db, "version"));
  EXPECT_TRUE(HasTable(db, "Val120"));
  EXPECT_FALSE(HasTable(db, "Val121"));
  EXPECT_TRUE(HasField(db, "val120", "price"));
  EXPECT_FALSE(HasField(db, "Version", "Price"));
  EXPECT_FALSE(HasField(db, "Missing", "Code"));
  Database none;
  EXPECT_FALSE(HasTable(none, "Version"));
  EXPECT_FALSE(HasField(none, "Version", "Ver"));
  EXPECT_THROW(TableExists(none, "Version"), Failure);
}

TEST_F(AccessTest, BackupIsNamedByStemAndRunStampMadeOncePerRunAndSilentWhenItCannotBe) {
  install_.Write("File/KrSet.2019.mdb", "first");
  BackupDatabase(run_, install_.folder() + "File\\KrSet.2019.mdb");
  install_.Write("File/KrSet.2019.mdb", "changed");
  BackupDatabase(run_, install_.folder() + "File\\KrSet.2019.mdb");
  EXPECT_EQ(install_.Read("File/KrSet202004071530.old"), "first");
  EXPECT_EQ(install_.Read("File/KrSet.2019.mdb"), "changed");
  BackupDatabase(run_, install_.folder() + "Missing.mdb");
  EXPECT_FALSE(install_.Exists("Missing202004071530.old"));
  install_.Write("Plain.mdb", "x");
  BackupDatabase(run_, install_.Native("Plain.mdb"));  // "/" separators only
  // Every copy fails, as on a full disk.
  struct NoCopyEnv : platform::Env {
    void CopyFile(std::string_view, std::string_view) override {
      throw Failure::Runtime(kErrDiskFull, "injected");
    }
  } env;
  platform::ScopedEnv scoped(env);
  BackupDatabase(run_, install_.folder() + "Plain.mdb");
  EXPECT_FALSE(install_.Exists("Plain202004071530.old"));
  EXPECT_EQ(install_.Read("Plain.mdb"), "x");
}

TEST_F(AccessTest, BackupOfADatabaseARunLeftHalfCommittedHoldsItsLastCommittedRows) {
  const std::string path = install_.folder() + "File\\KrVal.mdb";
  install_.MakeDirs("File");
  Database made = engine::CreateDatabase(path, DatabasePassword());
  made.Execute("CREATE TABLE T (ID LONG, Name TEXT(200))");
  made.BeginTrans();
  for (int i = 0; i < 400; ++i) {
    made.Execute("INSERT INTO T (ID, Name) VALUES (" + std::to_string(i) + ", '" +
                 std::string(150, 'a') + "')");
  }
  made.CommitTrans();
  made.Close();
  // Killed while the change, many pages long, is being put in place.
  ASSERT_TRUE(testing::KillAtDatabaseWrite(
      [&] { OpenAppDatabase(path).Execute("UPDATE T SET Name = 'changed'"); }, 3));

  BackupDatabase(run_, path);
  Database backup = Open(InInstall("File/KrVal202004071530.old"));
  EXPECT_EQ(backup.CheckFile(), std::vector<std::string>{});
  EXPECT_EQ(Select(backup, "SELECT COUNT(*) FROM T WHERE Name = 'changed'"), Rows{"0"});
  EXPECT_EQ(Select(backup, "SELECT COUNT(*) FROM T"), Rows{"400"});
  Database db = Open(path);
  EXPECT_EQ(Select(db, "SELECT COUNT(*) FROM T WHERE Name = 'changed'"), Rows{"0"});
}

TEST_F(AccessTest, FormerPasswordIsReplacedAndOtherFilesAreLeftAlone) {
  std::string former = InInstall("KrOld.mdb"), current = InInstall("KrNew.mdb");
  engine::CreateDatabase(former, FormerDatabasePassword()).Close();
  testing::MakeDatabaseFromText(current,
                                "CREATE TABLE T (A LONG);\nINSERT INTO T (A) VALUES (1);\n");
  ChangeDatabasePassword(former);
  ChangeDatabasePassword(current);
  ChangeDatabasePassword(InInstall("Nothing.mdb"));
  EXPECT_NO_THROW(OpenAppDatabase(former).Close());
  Database db = Open(current);
  EXPECT_EQ(One(db, "SELECT A FROM T"), "1");
  EXPECT_FALSE(install_.Exists("Nothing.mdb"));
}

TEST(FullPrefectureNameTest, ShortNamesGetTheirSuffixAndOtherTextPassesUnchanged) {
  const std::pair<const char*, const char*> kNames[] = {
      {"北海", "北海道"},     {"東京", "東京都"},   {"京都", "京都府"},
      {"神奈川", "神奈川県"}, {"北海道", "北海道"}, {"", ""}};
  for (auto [name, full] : kNames) EXPECT_EQ(FullPrefectureName(name), full) << name;
}

// The sample install folder: 平成30年度 lies in Tohoku, 2019年度 in Kumamoto.
class SampleInstallTest : public DbTest {
 protected:
  void SetUp() override { testing::MakeSampleDatabases(install_, "install"); }
  std::string Year(std::string_view folder, std::string_view file) const {
    return install_.folder() + "File\\" + std::string(folder) + "\\" + std::string(file);
  }
};

TEST_F(SampleInstallTest, DistrictCommentsKnowledgeBaseRowsAndCountsAnswerFalseWhenUnreadable) {
  EXPECT_TRUE(HasCriKbRows(Year("平成30年度", "KrCri.mdb")));
  EXPECT_FALSE(HasCriKbRows(Year("2019年度", "KrCri.mdb")));
  EXPECT_FALSE(HasCriKbRows(Year("平成30年度", "KrVal.mdb")));
  EXPECT_FALSE(HasCriKbRows(Year("令和9年度", "KrCri.mdb")));
  Database cri = Open(InInstall("File/2019年度/KrCri.mdb"));
  EXPECT_TRUE(DistrictCommentContains(cri, "八代"));
  EXPECT_FALSE(DistrictCommentContains(cri, "広島"));
  EXPECT_TRUE(CountAboveZero(cri, "SELECT COUNT(ID) FROM 地区名"));
  EXPECT_FALSE(CountAboveZero(cri, "SELECT COUNT(ID) FROM 地区名 WHERE ID<0"));
  EXPECT_FALSE(CountAboveZero(cri, "SELECT COUNT(ID) FROM NoSuchTable"));
  Database val = Open(InInstall("File/2019年度/KrVal.mdb"));
  EXPECT_FALSE(DistrictCommentContains(val, ""));
}

TEST_F(SampleInstallTest, ZeroNullPricesClearsEveryNullPriceTheTableHas) {
  Database cri = Open(InInstall("File/平成30年度/KrCri.mdb"));
  ZeroNullPrices(cri);
  EXPECT_EQ(One(cri, "SELECT Price2, Price3, Price10 FROM Cri WHERE Code='A0002'"), "0|15700|0");
  EXPECT_EQ(One(cri, "SELECT COUNT(*) FROM Cri WHERE Price1 IS NULL OR Price9 IS NULL"), "0");
  testing::MakeDatabaseFromText(InInstall("five.mdb"),
                                "CREATE TABLE Cri (Code TEXT(5), Price1 DOUBLE, Price2 DOUBLE, "
                                "Price3 DOUBLE, Price4 DOUBLE, Price5 DOUBLE);\n"
                                "INSERT INTO Cri (Code) VALUES ('X');\n");
  Database five = Open(InInstall("five.mdb"));
  ZeroNullPrices(five);
  EXPECT_EQ(One(five, "SELECT Price1, Price5 FROM Cri"), "0|0");
}

TEST_F(SampleInstallTest, DeleteRowsByFieldDeletesEachValueOfTheWalk) {
  Database val = Open(InInstall("File/平成30年度/KrVal.mdb"));
  Recordset closed;
  DeleteRowsByField(val, "SpeExe", "Special", closed);
  val.Execute("CREATE TABLE Gone (Special TEXT(20))");
  for (std::string_view value : {"'820010'", "'O''Brien'", "'820020'"}) {
    val.Execute("INSERT INTO Gone (Special) VALUES (" + std::string(value) + ")");
  }
  Recordset rs = val.OpenRecordset("SELECT Special FROM Gone");
  DeleteRowsByField(val, "SpeExe", "Special", rs);
  // The quoted value's statement is rejected; the walk goes on to the next row.
  EXPECT_EQ(Select(val, "SELECT Special FROM SpeExe ORDER BY Special"), (Rows{"810010", "820900"}));
}

TEST_F(SampleInstallTest, MergeNumberIniKeepsABackupAndMergesThePackageNumbers) {
  package_.Write("KrNumber.ini", testing::ToCp932("[番号]\r\n見積=1\r\n内訳=5\r\n"));
  MergeNumberIni(run_);
  EXPECT_FALSE(install_.Exists("KrNumber.ini"));
  install_.Write("KrNumber.ini", testing::ToCp932("[番号]\r\n見積=120\r\n自社=7\r\n"));
  MergeNumberIni(run_);
  EXPECT_EQ(install_.Read("KrNumber202004071530.old"),
            testing::ToCp932("[番号]\r\n見積=120\r\n自社=7\r\n"));
  support::clsIniFile ini;
  ini.FileName(install_.folder() + "KrNumber.ini");
  ini.Section("番号");
  EXPECT_EQ(ini.GetString("見積", ""), "1");
  EXPECT_EQ(ini.GetString("自社", ""), "7");
  EXPECT_EQ(ini.GetString("内訳", ""), "5");
}

// Access files in the toolkit: converted whole into databases of ours, installations brought from
// Windows converted at their first backup, and package sources read as they are.
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
