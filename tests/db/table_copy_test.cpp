#include "tests/db/db_fixture.h"

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

}  // namespace
}  // namespace kr::db::test
