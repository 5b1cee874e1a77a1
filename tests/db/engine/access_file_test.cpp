// Files written by Access: the three formats read as databases of ours, their passwords, and
// every change refused. The files are real ones (tests/fixtures/access); the protected and
// code page 932 copies are made from them here, as Access would have written them.
#include <cstring>

#include "platform/platform.h"
#include "tests/db/engine/engine_fixture.h"

namespace kr::db::engine::test {
namespace {

constexpr size_t kPasswordAt = 0x42, kCreatedAt = 0x72, kScrambledAt = 0x18;

// RC4 under the fixed header key, which scrambles the header from 0x18 on.
std::string HeaderStream(size_t length) {
  uint8_t s[256];
  for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
  const uint8_t key[4] = {0xc7, 0xda, 0x39, 0x6b};
  for (int i = 0, j = 0; i < 256; ++i) {
    j = (j + s[i] + key[i % 4]) & 0xff;
    std::swap(s[i], s[j]);
  }
  std::string stream;
  for (size_t n = 0, i = 0, j = 0; n < length; ++n) {
    i = (i + 1) & 0xff;
    j = (j + s[i]) & 0xff;
    std::swap(s[i], s[j]);
    stream.push_back(static_cast<char>(s[(s[i] + s[j]) & 0xff]));
  }
  return stream;
}

// The file with password written into its header: Jet 3 as bytes, Jet 4 as UCS-2 masked with
// the creation date's day number.
std::string WithPassword(std::string file, const std::string& ascii_password) {
  const bool jet3 = file[0x14] == 0;
  std::string stream = HeaderStream(0x80);
  auto plain = [&](size_t at) {
    return static_cast<uint8_t>(file[at] ^ stream[at - kScrambledAt]);
  };
  std::string field(jet3 ? 20 : 40, '\0');
  for (size_t i = 0; i < ascii_password.size(); ++i) field[jet3 ? i : 2 * i] = ascii_password[i];
  if (!jet3) {
    uint8_t date[8];
    for (size_t i = 0; i < 8; ++i) date[i] = plain(kCreatedAt + i);
    double created;
    std::memcpy(&created, date, 8);
    auto mask = static_cast<uint32_t>(static_cast<int64_t>(created));
    for (size_t i = 0; i < field.size(); ++i)
      field[i] = static_cast<char>(field[i] ^ (mask >> (8 * (i % 4))));
  }
  for (size_t i = 0; i < field.size(); ++i)
    file[kPasswordAt + i] = static_cast<char>(field[i] ^ stream[kPasswordAt + i - kScrambledAt]);
  return file;
}

class AccessFileTest : public EngineTest {
 protected:
  // A copy of a fixture under another name: files are recognised by their header.
  std::string Copy(const std::string& fixture, const std::string& name) {
    dir_.Write(name, Fixture(fixture));
    return Path(name);
  }
  static std::string Fixture(const std::string& name) {
    return platform::ReadFile(kr::testing::SourceFile("tests/fixtures/access/" + name));
  }
  Database Open(const std::string& path, const std::string& connect = "") {
    return OpenDatabase(path, false, false, connect);
  }
};

TEST_F(AccessFileTest, EveryFormatReadsTypedValuesKeysAndIndexes) {
  for (const char* fixture :
       {"testV1997.mdb", "testV2003.mdb", "testV2007.accdb", "testV2010.accdb"}) {
    SCOPED_TRACE(fixture);
    Database db = Open(Copy(fixture, "prices.dat"));
    EXPECT_TRUE(db.ReadOnly());
    TableDef t = db.TableDefs()["Table1"];
    const std::pair<const char*, int> types[] = {
        {"A", kText},   {"B", kText}, {"C", kByte},     {"D", kInteger}, {"E", kLong},
        {"F", kDouble}, {"G", kDate}, {"H", kCurrency}, {"I", kBoolean}};
    ASSERT_EQ(t.Fields().Count(), 9);
    for (int i = 0; i < 9; ++i) {
      EXPECT_EQ(t.Fields()[i].Name(), types[i].first);
      EXPECT_EQ(t.Fields()[i].Type(), types[i].second) << types[i].first;
    }
    EXPECT_EQ(t.Fields()["B"].Size(), 100);
    std::vector<IndexInfo> indexes = t.Indexes();
    auto primary = std::find_if(indexes.begin(), indexes.end(), [](auto& i) { return i.primary; });
    ASSERT_NE(primary, indexes.end());
    EXPECT_EQ(primary->fields.front().first, "A");
    EXPECT_EQ(db.TableDefs()["Table3"].Fields()["a"].Attributes() & kAutoIncrField, kAutoIncrField);
    Recordset rs = db.OpenRecordset("SELECT * FROM Table1 WHERE A='abcdefg'");
    EXPECT_EQ(rs["B"].GetValue(), Value::Text("hijklmnop"));
    EXPECT_EQ(rs["C"].GetValue(), Value::Byte(2));
    EXPECT_EQ(rs["D"].GetValue(), Value::Integer(222));
    EXPECT_EQ(rs["E"].GetValue(), Value::Long(333333333));
    EXPECT_EQ(rs["F"].GetValue(), Value::Double(444.555));
    EXPECT_EQ(rs["G"].GetValue(), Value::DateOf(1974, 9, 21));
    EXPECT_EQ(rs["H"].GetValue(), Value::Currency(35000));
    EXPECT_EQ(rs["I"].GetValue(), Value::Boolean(true));
    EXPECT_EQ(Rows(db, "SELECT A, I FROM Table1 ORDER BY A"), (V{"a|False", "abcdefg|True"}));
    // Two cursors over one table at once (a self-join) each keep their place.
    EXPECT_EQ(Scalar(db, "SELECT Count(*) FROM Table1 AS x, Table1 AS y").ToLong(), 4);
  }
}

TEST_F(AccessFileTest, NullsMemosDecimalsAndDatesComeExactly) {
  Database overflow = Open(Copy("overflowTestV2003.mdb", "o.mdb"));
  EXPECT_EQ(Rows(overflow, "SELECT data1, data3, data9 FROM Table1 WHERE data9 IS NOT NULL"),
            V{"Null|row3col3|row3col9"});
  EXPECT_EQ(Scalar(overflow, "SELECT Count(*) FROM Table1").ToLong(), 7);
  Database numeric = Open(Copy("fixedNumericTestV2003.mdb", "n.mdb"));
  EXPECT_EQ(Rows(numeric, "SELECT col1, col5, col6 FROM test"), V{"some data|4|-1"});
  Database old = Open(Copy("oldDatesV2007.accdb", "d.accdb"));
  EXPECT_EQ(Rows(old,
                 "SELECT Year(DateField), Month(DateField), Day(DateField) FROM Table1 "
                 "ORDER BY ID"),
            (V{"1582|10|15", "1582|10|14", "1492|1|10", "1392|1|10"}));
  Database extended = Open(Copy("extDateTestV2019.accdb", "e.accdb"));
  EXPECT_EQ(Scalar(extended, "SELECT Count(*) FROM Table1 WHERE DateExt=DateNormal").ToLong(), 6);
  Database complex = Open(Copy("complexDataTestV2010.accdb", "c.accdb"));
  EXPECT_EQ(Rows(complex, "SELECT id, [memo-data] FROM Table1 ORDER BY id"),
            (V{"row1|Null", "row2|row2-memo", "row3|row3-memo", "row4|row4-memo"}));
}

TEST_F(AccessFileTest, Jet3TextIsCodePage932) {
  std::string file = Fixture("testV1997.mdb");
  size_t at = file.find("abcdefg");
  ASSERT_NE(at, std::string::npos);
  file.replace(at, 7,
               "\x92\x50\x89\xbf"
               "abc");  // 単価abc, as many bytes
  dir_.Write("j3.mdb", file);
  Database db = Open(Path("j3.mdb"));
  EXPECT_EQ(Rows(db, "SELECT A, Len(A) FROM Table1 WHERE C=2"), V{"単価abc|5"});
}

TEST_F(AccessFileTest, APasswordInTheHeaderMustBeGiven) {
  for (const char* fixture : {"testV1997.mdb", "testV2003.mdb"}) {
    SCOPED_TRACE(fixture);
    dir_.Write("p.mdb", WithPassword(Fixture(fixture), "Kr2019"));
    EXPECT_EQ(ErrorOf([&] { Open(Path("p.mdb")); }), 3031);
    EXPECT_EQ(ErrorOf([&] { Open(Path("p.mdb"), ";PWD=kr2019;"); }), 3031);
    Database db = Open(Path("p.mdb"), ";PWD=Kr2019;");
    EXPECT_EQ(Scalar(db, "SELECT Count(*) FROM Table1").ToLong(), 2);
    // A link into it checks the password too.
    Database ours = Create("ours" + std::string(fixture));
    ours.TableDefs().Append(
        ours.CreateTableDef("L", 0, "Table1", ";DataBase=" + Path("p.mdb") + ";PWD=wrong;"));
    EXPECT_EQ(QueryError(ours, "SELECT A FROM L"), 3031);
  }
  Database open = Open(Copy("testV2003.mdb", "free.mdb"), ";PWD=anything;");
  EXPECT_EQ(Scalar(open, "SELECT Count(*) FROM Table1").ToLong(), 2);
}

TEST_F(AccessFileTest, EveryChangeIsRefusedAsReadOnly) {
  Database db = Open(Copy("testV2003.mdb", "w.mdb"));
  for (const char* sql :
       {"DELETE FROM Table1", "UPDATE Table1 SET C=3", "INSERT INTO Table1 (A) VALUES ('z')",
        "CREATE TABLE T (x LONG)", "DROP TABLE Table1", "SELECT * INTO T FROM Table1"}) {
    EXPECT_EQ(ExecuteError(db, sql), 3027) << sql;
  }
  Recordset rs = db.OpenRecordset("Table1");
  EXPECT_EQ(ErrorOf([&] { rs.Edit(); }), 3027);
  EXPECT_EQ(Fixture("testV2003.mdb"), dir_.Read("w.mdb"));
}

TEST_F(AccessFileTest, TruncatedFilesFailCleanly) {
  std::string file = Fixture("testV2003.mdb");
  for (size_t size : {size_t{20}, size_t{200}, size_t{4096}, size_t{9000}, size_t{65536}}) {
    dir_.Write("cut.mdb", file.substr(0, size));
    int error = ErrorOf([&] {
      Database db = Open(Path("cut.mdb"));
      Rows(db, "SELECT * FROM Table1");
    });
    EXPECT_TRUE(error == 3343 || error == 3078) << size << ": " << error;
  }
}

TEST_F(AccessFileTest, OurDatabasesCopyFromALinkedAccessTable) {
  std::string source = Copy("testV2010.accdb", "src.accdb");
  Database ours = Create("ours.mdb");
  ours.Execute("CREATE TABLE T (A TEXT(50), H CURRENCY)");
  ours.TableDefs().Append(ours.CreateTableDef("L", 0, "Table1", ";DataBase=" + source + ";"));
  ours.Execute("INSERT INTO T SELECT A, H FROM L WHERE I");
  EXPECT_EQ(Rows(ours, "SELECT A, H FROM T"), V{"abcdefg|3.5"});
}

}  // namespace
}  // namespace kr::db::engine::test
