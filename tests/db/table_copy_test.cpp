// Rows moved between databases: by key or by slice, through links that go with their scope,
// exact to the last ten-thousandth, and all or nothing when the target cannot take them.
#include <functional>

#include "platform/platform.h"
#include "tests/db/db_fixture.h"
#include "tests/testing/database_faults.h"

namespace kr::db::test {
namespace {

constexpr std::string_view kItems =
    "CREATE TABLE Items (Code TEXT(10) NOT NULL, Name TEXT(50) NOT NULL, Price DOUBLE, "
    "CONSTRAINT PrimaryKey PRIMARY KEY (Code));\n";
const Rows kUntouched = {"A01|old|1", "A03|old|1", "B01|same|1"};

// A release's Items beside the user's. The package folder's path has a space and Japanese
// characters, as users name them.
class ItemsTest : public DbTest {
 protected:
  void SetUp() override {
    testing::MakeDatabaseFromText(
        InPackage("更新 データ/src.mdb"),
        std::string(kItems) +
            "INSERT INTO Items (Code, Name, Price) VALUES ('A01', 'new', 2);\n"
            "INSERT INTO Items (Code, Name, Price) VALUES ('A02', 'new', 2);\n"
            "INSERT INTO Items (Code, Name, Price) VALUES ('B01', 'same', 2);\n"
            "CREATE TABLE NewItems (Code TEXT(10), Name TEXT(50), Price DOUBLE);\n"
            "INSERT INTO NewItems (Code, Name, Price) VALUES ('A01', 'renamed', 3);\n");
    testing::MakeDatabaseFromText(InInstall("dst.mdb"), kItems);
    source_ = Open(package_.folder() + "更新 データ\\src.mdb");
    target_ = Open(InInstall("dst.mdb"));
    ResetTarget();
  }
  void ResetTarget() {
    target_.Execute("DELETE * FROM Items");
    for (std::string_view row : {"'A01', 'old', 1", "'A03', 'old', 1", "'B01', 'same', 1"}) {
      target_.Execute("INSERT INTO Items (Code, Name, Price) VALUES (" + std::string(row) + ")");
    }
  }
  Rows Items() { return Select(target_, "SELECT Code, Name, Price FROM Items ORDER BY Code"); }
  Database source_, target_;
};

// CopyTable (the manifest's table actions) and TransferRows (the update routines) replace rows
// the same way; they differ in the attached table's name and in how they write names.
struct Link {
  std::string_view name;
  void (*copy)(Database&, Database&, std::string_view, std::string_view, std::string_view);
};

void PrintTo(const Link& link, std::ostream* os) { *os << link.name; }

class LinkedCopyTest : public ItemsTest, public ::testing::WithParamInterface<Link> {};

TEST_P(LinkedCopyTest, RowsAreReplacedByKeyOrBySlice) {
  struct Case {
    std::string_view spec, where, keys;
    Rows items;
    bool link_left = false;  // a failure ends the copy before the link is dropped
  };
  const Case cases[] = {
      {"Items", "", "Code", {"A01|new|2", "A02|new|2", "A03|old|1", "B01|same|2"}},
      // Without keys the slice is replaced whole: A03 has no counterpart and still goes.
      {"Items", "Code LIKE 'A*'", "", {"A01|new|2", "A02|new|2", "B01|same|1"}},
      {"Items", "WHERE Code<'B'", "Code", {"A01|new|2", "A02|new|2", "A03|old|1", "B01|same|1"}},
      // Both keys must match; the release's A01 is then refused by the primary key, silently.
      {"Items", "", "Code,Name", {"A01|old|1", "A02|new|2", "A03|old|1", "B01|same|2"}},
      {"NewItems,Items", "", "Code", {"A01|renamed|3", "A03|old|1", "B01|same|1"}},
      {"ITEMS", "CODE='A02'", "CODE", {"A01|old|1", "A02|new|2", "A03|old|1", "B01|same|1"}},
      {"Items", "Price > 5", "", kUntouched},
      {"Nothing,Items", "", "Code", kUntouched},
      {"Items,Nothing", "", "Code", kUntouched},
      {"Items", "Code = = 'A01'", "", kUntouched, true},
      {"Items", "", "ItemNo", kUntouched, true},
      // The next copy drops the link the failed one left.
      {"Items", "", "Code", {"A01|new|2", "A02|new|2", "A03|old|1", "B01|same|2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(GetParam().name) + " " + std::string(c.spec) + " [" +
                 std::string(c.where) + "] [" + std::string(c.keys) + "]");
    ResetTarget();
    GetParam().copy(source_, target_, c.spec, c.where, c.keys);
    EXPECT_EQ(Items(), c.items);
    EXPECT_EQ(HasTable(target_, GetParam().name), c.link_left);
  }
}

INSTANTIATE_TEST_SUITE_P(BothLinks, LinkedCopyTest,
                         ::testing::Values(Link{"ごみ", CopyTable},
                                           Link{"LinkHikitugi", TransferRows}));

TEST_F(ItemsTest, TransferBracketsNamesAndConvertsSinglesThroughCurrency) {
  source_.Execute("CREATE TABLE [Unit Price] ([Item Code] TEXT(10), [Unit Cost] SINGLE)");
  source_.Execute("INSERT INTO [Unit Price] ([Item Code], [Unit Cost]) VALUES ('K1', 0.1)");
  target_.Execute("CREATE TABLE [Unit Price] ([Item Code] TEXT(10), [Unit Cost] DOUBLE)");
  target_.Execute("INSERT INTO [Unit Price] ([Item Code], [Unit Cost]) VALUES ('K1', 1)");
  // A target column the source lacks takes its default (a property of the field definition).
  TableDef unit_price = target_.TableDefs()["Unit Price"];
  engine::Field note = unit_price.CreateField("Note", engine::kText, 20);
  note.SetDefaultValue("'n/a'");
  unit_price.Fields().Append(note);
  TransferRows(source_, target_, "Unit Price", "", "Item Code");
  EXPECT_EQ(Select(target_, "SELECT * FROM [Unit Price]"), (Rows{"K1|0.1|n/a"}));
}

TEST_F(ItemsTest, AKeyTypedInFullWidthReplacesItsHalfWidthTwinInsteadOfJoiningIt) {
  source_.Execute("DELETE * FROM Items");
  source_.Execute("INSERT INTO Items (Code, Name, Price) VALUES ('ａ０１', 'wide', 5)");
  source_.Execute("INSERT INTO Items (Code, Name, Price) VALUES ('ｂ０１', 'ｶﾅ', 6)");
  TransferRows(source_, target_, "Items", "", "Code");
  // The source's text is stored as it was written; only the key comparison folds it.
  EXPECT_EQ(Items(), (Rows{"ａ０１|wide|5", "A03|old|1", "ｂ０１|ｶﾅ|6"}));
}

TEST_F(ItemsTest, DeleteMatchingRowsRemovesTheKeysTheSourceHas) {
  DeleteMatchingRows(source_, target_, "Items", "", "Code");
  EXPECT_EQ(Items(), (Rows{"A03|old|1"}));
}

TEST_F(ItemsTest, ExecuteWithLinkRunsTheStatementsAgainstTheSourceByItsExactPath) {
  EXPECT_EQ(LinkConnectString(source_), ";DataBase=" + package_.folder() +
                                            "更新 データ\\src.mdb;PWD=" + DatabasePassword() + ";");
  ExecuteWithLink(source_, target_, "Nothing", {"DELETE * FROM Items"});
  ExecuteWithLink(source_, target_, "Items",
                  {"",
                   "UPDATE Items INNER JOIN LinkHikitugi ON Items.Code = LinkHikitugi.Code "
                   "SET Items.Name = LinkHikitugi.Name & '*'"});
  EXPECT_EQ(Items(), (Rows{"A01|new*|1", "A03|old|1", "B01|same*|1"}));
  EXPECT_FALSE(HasTable(target_, "LinkHikitugi"));
}

TEST_F(ItemsTest, AnAttachedTableReplacesAStaleLinkAndGoesWithItsScopeEvenWhenAStepThrows) {
  AttachTable(target_, "LinkInstall", source_, "NewItems");  // what a failed run left
  {
    AttachedTable link(target_, "LinkInstall", source_, "Items");
    EXPECT_EQ(Select(target_, "SELECT COUNT(*) FROM LinkInstall"), (Rows{"3"}));
  }
  EXPECT_FALSE(HasTable(target_, "LinkInstall"));
  EXPECT_THROW(
      {
        AttachedTable link(target_, "LinkInstall", source_, "Items");
        target_.Execute("INSERT INTO Nowhere SELECT * FROM LinkInstall");
      },
      Failure);
  EXPECT_FALSE(HasTable(target_, "LinkInstall"));
  // The leave-on-error copies keep theirs when a step throws; the next attach drops it.
  EXPECT_THROW(
      {
        AttachedTable link(target_, "LinkInstall", source_, "Items",
                           AttachedTable::OnUnwind::kLeave);
        target_.Execute("INSERT INTO Nowhere SELECT * FROM LinkInstall");
      },
      Failure);
  EXPECT_TRUE(HasTable(target_, "LinkInstall"));
}

TEST_F(DbTest, ColumnListsPairFieldsByNameInTheTargetsOrder) {
  testing::MakeDatabaseFromText(
      InInstall("c.mdb"),
      "CREATE TABLE Base (Code TEXT(10), Name TEXT(50), Price DOUBLE);\n"
      "CREATE TABLE Same (code TEXT(10), NAME TEXT(50), Price DOUBLE);\n"
      "CREATE TABLE Wider (Code TEXT(10), Name TEXT(50), Price DOUBLE, Extra LONG);\n"
      "CREATE TABLE Shuffled (Name TEXT(50), Code TEXT(10), Price DOUBLE);\n"
      "CREATE TABLE Narrower (Code TEXT(10), Price DOUBLE);\n"
      "CREATE TABLE Singles (Code TEXT(10), Name TEXT(50), Price SINGLE);\n");
  Database db = Open(InInstall("c.mdb"));
  auto match = [&](std::string_view target, std::string_view source) {
    return MatchColumns(db.OpenRecordset(target), db.OpenRecordset(source));
  };
  auto typed = [&](std::string_view target, std::string_view source) {
    return MatchColumnsTyped("", "L", db.OpenRecordset(target), db.OpenRecordset(source));
  };
  EXPECT_EQ(match("Base", "Same"), (ColumnLists{"*", "*"}));
  EXPECT_EQ(match("Base", "Wider"), (ColumnLists{"*", "Code,Name,Price"}));
  EXPECT_EQ(match("Base", "Shuffled"), (ColumnLists{"Code,Name,Price", "Code,Name,Price"}));
  EXPECT_EQ(match("Base", "Narrower"), (ColumnLists{"Code,Price", "Code,Price"}));
  EXPECT_EQ(match("Base", "Singles"), (ColumnLists{"*", "*"}));
  EXPECT_EQ(typed("Base", "Wider"), (ColumnLists{"*", "L.[Code],L.[Name],L.[Price]"}));
  EXPECT_EQ(typed("Base", "Singles"),
            (ColumnLists{"[Code],[Name],[Price]", "L.[Code],L.[Name],CCur(L.[Price])"}));
  EXPECT_EQ(MatchColumns(Recordset(), Recordset()), (ColumnLists{"*", "*"}));
  EXPECT_EQ(MatchColumnsTyped("", "L", Recordset(), Recordset()), (ColumnLists{"*", "*"}));
}

TEST(WhereTextTest, WhereIsPutInFrontOnlyWhenMissingAndKeyColumnsAreQualifiedUnlessPrefixed) {
  EXPECT_EQ(NormaliseWhere(""), "");
  EXPECT_EQ(NormaliseWhere("   "), "   ");
  EXPECT_EQ(NormaliseWhere("where Code='1'"), "where Code='1'");
  EXPECT_EQ(NormaliseWhere("WHEREVER=1"), "WHERE WHEREVER=1");
  EXPECT_EQ(NormaliseWhere(" Code=1"), "WHERE  Code=1");
  EXPECT_EQ(QualifyKeyColumns("WHERE LEN(Code)>=18", "ごみ", "Code"), "WHERE LEN(ごみ.Code)>=18");
  EXPECT_EQ(QualifyKeyColumns("WHERE T.Code='1' OR Code='2' OR T!Code='3'", "L", "Code"),
            "WHERE T.Code='1' OR L.Code='2' OR T!Code='3'");
  EXPECT_EQ(QualifyKeyColumns("WHERE Big='1' AND Mdl<>Big", "L", "Big,Mdl"),
            "WHERE L.Big='1' AND L.Mdl<>L.Big");
  // A plain substring search: longer names and quoted values are prefixed too.
  EXPECT_EQ(QualifyKeyColumns("WHERE ValCode='Code'", "L", "Code"), "WHERE ValL.Code='L.Code'");
  EXPECT_EQ(QualifyKeyColumns("Code='1'", "L", "Code"), "Code='1'");  // key at the very start
}

// Prices typed into Currency columns come through every way the routines move rows unchanged,
// to the last ten-thousandth, however large.
constexpr const char* kTable =
    "CREATE TABLE Val120 (Code TEXT(30) NOT NULL, Price CURRENCY, ValPrice1 CURRENCY, "
    "ValPrice2 CURRENCY, UserCode TEXT(30), JPer DOUBLE, Search1 TEXT(50), Search2 TEXT(50), "
    "MakeDay TEXT(10), CONSTRAINT PrimaryKey PRIMARY KEY (Code))";

// Scaled by 10,000: 0.1, 19,800.0001, a price beyond a double's 15 digits, the extremes.
const int64_t kTyped[] = {1000, 198000001, 9007199254740993, INT64_MAX, INT64_MIN + 1};

class CurrencyPricesTest : public DbTest {
 protected:
  void SetUp() override {
    source_ = Make(InPackage("KrVal.mdb"), "P");
    target_ = Make(InInstall("KrVal.mdb"), "U");
  }
  // A price table whose rows hold the typed prices in each price column.
  Database Make(const std::string& path, const char* user_code) {
    Database db = engine::CreateDatabase(path, DatabasePassword());
    db.Execute(kTable);
    Recordset rs = db.OpenRecordset("Val120", engine::kOpenTable);
    int n = 0;
    for (int64_t scaled : kTyped) {
      rs.AddNew();
      rs["Code"].SetValue(Value("C" + std::to_string(++n)));
      for (const char* column : {"Price", "ValPrice1", "ValPrice2"})
        rs[column].SetValue(Value::Currency(scaled));
      rs["UserCode"].SetValue(Value(user_code));
      rs["MakeDay"].SetValue(Value("2019/04/01"));
      rs.Update();
    }
    rs.Close();
    db.Close();  // its rows written out, for the other file's link to see
    return Open(path);
  }
  std::vector<int64_t> Column(const char* column) {
    std::vector<int64_t> out;
    Recordset rs = target_.OpenRecordset(
        std::string("SELECT ") + column + " FROM Val120 ORDER BY Code", engine::kOpenSnapshot);
    for (; !rs.Eof(); rs.MoveNext()) out.push_back(rs[0].GetValue().ToCurrency());
    return out;
  }
  Database source_, target_;
};

TEST_F(CurrencyPricesTest, EveryTransferOfTheRoutinesKeepsThemExactly) {
  const std::vector<int64_t> typed(std::begin(kTyped), std::end(kTyped));
  const std::pair<const char*, std::function<void()>> transfers[] = {
      {"CopyTable by key", [&] { CopyTable(source_, target_, "Val120", "", "Code"); }},
      {"CopyTable slice", [&] { CopyTable(source_, target_, "Val120", "Code > ''", ""); }},
      {"TransferRows by key", [&] { TransferRows(source_, target_, "Val120", "", "Code"); }},
      {"TransferTable", [&] { TransferTable(source_, target_, "Val120"); }},
      {"refresh keeping the user's prices",
       [&] {
         KeepOldTable(source_, target_, "Val120");
         TransferRows(source_, target_, "Val120", "", "Code");
         CarryOverUserPrices(source_, target_, "Val120");
       }},
  };
  for (const auto& [name, transfer] : transfers) {
    target_.Execute("UPDATE Val120 SET Price = 1, UserCode = 'U'");
    transfer();
    EXPECT_EQ(Column("Price"), typed) << name;
    EXPECT_EQ(Column("ValPrice1"), typed) << name;
    EXPECT_EQ(Column("ValPrice2"), typed) << name;
  }
  // The user's own prices win over the release's in a refresh.
  EXPECT_EQ(One(target_, "SELECT Count(*) FROM Val120 WHERE UserCode = 'U'"), "5");
  EXPECT_EQ(One(target_, "SELECT Sum(ValPrice1) FROM Val120 WHERE Code IN ('C1', 'C2')"),
            "19800.1001");
}

// A source row the target cannot take costs the user nothing: a copy without keys changes all or
// nothing, and a link made by work that was rolled back is not written after it. A keyed transfer
// that keeps the rows it cannot replace is run through a routine in
// tests/crash/migration_cli_test.cpp.
constexpr std::string_view kLayout =
    "CREATE TABLE Val120 (Code TEXT(10) NOT NULL, Name TEXT(20), Price DOUBLE, ValPrice1 DOUBLE, "
    "CONSTRAINT PrimaryKey PRIMARY KEY (Code));\n";

class SafeTransferTest : public DbTest {
 protected:
  void SetUp() override {
    testing::MakeDatabaseFromText(InInstall("KrVal.mdb"),
                                  std::string(kLayout) +
                                      "INSERT INTO Val120 VALUES ('1', '旧1', 10, 111);\n"
                                      "INSERT INTO Val120 VALUES ('2', '旧2', 20, 222);\n"
                                      "INSERT INTO Val120 VALUES ('3', '旧3', 30, NULL);\n");
  }

  // The package's Val120: rows 1 to 4, row 2 with the given name and price, in a layout that
  // holds them (Name a memo, Price a text) and the target's cannot.
  void Source(std::string_view name, std::string_view price) {
    testing::MakeDatabaseFromText(
        InPackage("KrVal2019.mdb"),
        support::ReplaceAll(support::ReplaceAll(kLayout, "Price DOUBLE", "Price TEXT(10)"),
                            "Name TEXT(20)", "Name MEMO") +
            "INSERT INTO Val120 VALUES ('1', '新1', 11, NULL);\n"
            "INSERT INTO Val120 (Code, Name, Price) VALUES ('2', '" +
            std::string(name) + "', " + std::string(price) +
            ");\n"
            "INSERT INTO Val120 VALUES ('3', '新3', 33, NULL);\n"
            "INSERT INTO Val120 VALUES ('4', '新4', 44, NULL);\n");
  }

  // The installed KrVal.mdb with the package's file attached ahead and a transaction open.
  Database TargetInTransaction(const Database& source) {
    Database target = OpenAppDatabase(InInstall("KrVal.mdb"));
    target.AttachAhead(source.Name());
    target.BeginTrans();
    return target;
  }
};

TEST_F(SafeTransferTest, AWholeTableCopyThatFailsLeavesTheTableAsItWas) {
  Source("新2", "'abc'");
  Database source = Open(InPackage("KrVal2019.mdb"));
  Database target = Open(InInstall("KrVal.mdb"));
  Rows before = Select(target, "SELECT * FROM Val120 ORDER BY Code");
  TransferRows(source, target, "Val120", "", "");
  EXPECT_EQ(Select(target, "SELECT * FROM Val120 ORDER BY Code"), before);
}

TEST_F(SafeTransferTest, ALinkAppendedInsideARolledBackTransactionIsNotWritten) {
  Source("新2", "22");
  Database source = Open(InPackage("KrVal2019.mdb"));
  {
    Database target = TargetInTransaction(source);
    target.BeginTrans();
    AttachTable(target, "LinkHikitugi", source, "Val120");
    target.Rollback();
    EXPECT_FALSE(TableExists(target, "LinkHikitugi"));
    AttachTable(target, "LinkHikitugi", source, "Val120");
    target.Rollback();
    target.Close();
  }
  Database reopened = Open(InInstall("KrVal.mdb"));
  EXPECT_FALSE(TableExists(reopened, "LinkHikitugi"));
}

TEST_F(SafeTransferTest, ALinkOfATransactionTheDiskLostIsNotWrittenByTheNextWrite) {
  Source("新2", "22");
  Database source = Open(InPackage("KrVal2019.mdb"));
  {
    Database target = TargetInTransaction(source);
    AttachTable(target, "LinkHikitugi", source, "Val120");
    // The journal cannot be opened: the first change fails and takes the transaction with it.
    testing::DatabaseFaults disk;
    disk.FailAt(1, kErrDeviceIo, testing::DatabaseFaults::kOpen);
    {
      platform::ScopedEnv scoped(disk);
      EXPECT_NE(testing::FailureNumber([&] { target.Execute("DELETE FROM Val120"); }), 0);
    }
    EXPECT_NE(testing::FailureNumber([&] { target.CommitTrans(); }), 0);
    target.Execute("UPDATE Val120 SET Price=21 WHERE Code='2'");
    target.Close();
  }
  Database reopened = Open(InInstall("KrVal.mdb"));
  EXPECT_FALSE(TableExists(reopened, "LinkHikitugi"));
  EXPECT_EQ(Select(reopened, "SELECT Code, Price FROM Val120 ORDER BY Code"),
            (Rows{"1|10", "2|21", "3|30"}));
}

// The TABLECOPYVERSION line of a package, as the file action hands it over (upper-cased). An older
// target backed up, copied by key and stamped, end to end: tests/app/table_actions_test.cpp.
class CopyTableIfOlderTest : public DbTest {
 protected:
  void SetUp() override {
    testing::MakeDatabase(InInstall("File/2019年度/KrCri.mdb"),
                          {"krcri_schema.sql", "krcri_2019.sql"});
    testing::MakeDatabase(InPackage("KrCri2019Src.mdb"), {"pkg_krcri2019.sql"});
  }
  CopyIfOlderResult Copy(std::string_view packed,
                         std::string_view target = "File\\2019年度\\KrCri.mdb") {
    return CopyTableIfOlder(run_, install_.folder() + std::string(target),
                            {"TABLECOPYVERSION", "CRI", "", std::string(packed)});
  }
  // The prices by code, then the version.
  Rows State() {
    Database db = OpenAppDatabase(InInstall("File/2019年度/KrCri.mdb"));
    Rows rows = Select(db, "SELECT Code, Price1 FROM Cri ORDER BY Code");
    rows.push_back(One(db, "SELECT Ver FROM Version"));
    db.Close();
    return rows;
  }
  bool BackedUp() const { return install_.Exists("File/2019年度/KrCri202004071530.old"); }

  const Rows kBefore = {"A0001|14900", "A0002|15600", "Z9001|3200", "2019,1,2"};
};

TEST_F(CopyTableIfOlderTest, TheFlagAloneDecidesTheStampEvenWhenTheCopyFails) {
  Copy("NOSUCHKEY|KRCRI2019SRC.MDB|2019|1|3|TRUE");
  EXPECT_EQ(State(), (Rows{"A0001|14900", "A0002|15600", "Z9001|3200", "2019,1,3"}));
  Copy("CODE|KRCRI2019SRC.MDB|2019|1|4|FALSE");
  EXPECT_EQ(State(), (Rows{"A0001|15300", "A0002|15600", "A0003|16200", "Z9001|3200", "2019,1,3"}));
}

TEST_F(CopyTableIfOlderTest,
       BadArgumentsAreReportedAndMissingOrUnreadableDatabasesSilentlyChangeNothing) {
  for (std::string_view packed : {"CODE|KRCRI2019SRC.MDB||1|3|TRUE", "CODE||2019|1|3|TRUE", "",
                                  "CODE|KRCRI2019SRC.MDB|年|1|3|TRUE"}) {
    EXPECT_EQ(Copy(packed), CopyIfOlderResult::kBadArguments) << packed;
  }
  EXPECT_EQ(Copy("CODE|NOTHERE.MDB|2019|1|3|TRUE"), CopyIfOlderResult::kDone);
  package_.Write("Broken.mdb", "not a database");
  EXPECT_EQ(Copy("CODE|BROKEN.MDB|2019|1|3|TRUE"), CopyIfOlderResult::kDone);
  EXPECT_EQ(Copy("CODE|KRCRI2019SRC.MDB|2019|1|3|TRUE", "File\\平成30年度\\KrCri.mdb"),
            CopyIfOlderResult::kDone);
  EXPECT_EQ(State(), kBefore);
  EXPECT_FALSE(BackedUp());
  EXPECT_FALSE(install_.Exists("File/平成30年度/KrCri.mdb"));
}

TEST_F(CopyTableIfOlderTest, ATargetWhoseBackupCannotBeMadeIsNeitherCopiedNorStamped) {
  for (int error : {kErrDiskFull, kErrDeviceIo}) {
    SCOPED_TRACE(error);
    run_.unfinished.clear();
    testing::DatabaseFaults disk;
    disk.FailAt(1, error, testing::DatabaseFaults::kFileChange, true);
    {
      platform::ScopedEnv scoped(disk);
      EXPECT_EQ(Copy("CODE|KRCRI2019SRC.MDB|2019|1|3|TRUE"), CopyIfOlderResult::kDone);
    }
    ASSERT_TRUE(disk.fired());
    EXPECT_EQ(State(), kBefore);
    EXPECT_FALSE(BackedUp());
    EXPECT_EQ(run_.unfinished,
              std::set<std::string>{install_.folder() + "File\\2019年度\\KrCri.mdb"});
  }
  // A sound disk: the next run migrates it.
  Copy("CODE|KRCRI2019SRC.MDB|2019|1|3|TRUE");
  EXPECT_TRUE(BackedUp());
  EXPECT_EQ(State().back(), "2019,1,3");
}

}  // namespace
}  // namespace kr::db::test
