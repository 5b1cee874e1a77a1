// A source row the target cannot take costs the user nothing: a copy without keys changes all or
// nothing, and a link made by work that was rolled back is not written after it. A keyed transfer
// that keeps the rows it cannot replace is run through a routine in
// tests/crash/migration_cli_test.cpp.
#include "platform/platform.h"
#include "tests/db/db_fixture.h"
#include "tests/testing/database_faults.h"

namespace kr::db::test {
namespace {

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

}  // namespace
}  // namespace kr::db::test
