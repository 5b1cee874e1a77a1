// A database written again as it was counts as the same; any other change to its tables, rows
// or definitions does not, and a file that cannot be read is never the same.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/db/db_fixture.h"

namespace kr::db::test {
namespace {

class SameContentTest : public DbTest {
 protected:
  SameContentTest() {
    testing::MakeDatabaseFromText(before_,
                                  "CREATE TABLE Prices (Code TEXT(10) CONSTRAINT PrimaryKey "
                                  "PRIMARY KEY, Price CURRENCY);\n"
                                  "INSERT INTO Prices VALUES ('A1', 1200);\n"
                                  "INSERT INTO Prices VALUES ('B2', 350.5);\n"
                                  "CREATE TABLE Notes (Note TEXT(20));\n"
                                  "INSERT INTO Notes VALUES ('x');\n"
                                  "INSERT INTO Notes VALUES ('x');\n");
  }
  // A copy of the database with script run on it.
  std::string After(std::string_view script) {
    const std::string after = InInstall("after.mdb");
    std::filesystem::copy_file(before_, after, std::filesystem::copy_options::overwrite_existing);
    testing::RunScriptText(after, script);
    return after;
  }
  const std::string before_ = InInstall("before.mdb");
};

TEST_F(SameContentTest, RowsWrittenAgainAreTheSameThoughTheBytesDiffer) {
  const std::string after = After(
      "DELETE FROM Prices;\nINSERT INTO Prices VALUES ('B2', 350.5);\n"
      "INSERT INTO Prices VALUES ('A1', 1200);\nUPDATE Notes SET Note = 'x';\n");
  ASSERT_NE(install_.Read("before.mdb"), install_.Read("after.mdb"));
  EXPECT_TRUE(SameContent(before_, after));
}

TEST_F(SameContentTest, AnyChangeOfDataOrDefinitionDiffers) {
  for (std::string_view script : {
           "UPDATE Prices SET Price = 1200.0001 WHERE Code = 'A1';\n",
           "INSERT INTO Prices VALUES ('C3', 0);\n",
           "DELETE FROM Prices WHERE Code = 'B2';\n",
           // One of two equal rows of a table without a key.
           "DELETE FROM Notes;\nINSERT INTO Notes VALUES ('x');\n",
           "CREATE TABLE Extra (Id LONG);\n",
           "DROP TABLE Notes;\n",
           "ALTER TABLE Notes ADD COLUMN Memo TEXT(5);\n",
           "CREATE INDEX ByPrice ON Prices (Price);\n",
       }) {
    EXPECT_FALSE(SameContent(before_, After(script))) << script;
    EXPECT_FALSE(SameContent(After(script), before_)) << script;
  }
}

TEST_F(SameContentTest, AFileThatCannotBeReadIsNeverTheSame) {
  const std::string damaged = InInstall("damaged.mdb");
  install_.Write("damaged.mdb", std::string(4096, 'x'));
  EXPECT_FALSE(SameContent(before_, damaged));
  EXPECT_FALSE(SameContent(before_, InInstall("missing.mdb")));
  EXPECT_TRUE(SameContent(before_, before_));
}

}  // namespace
}  // namespace kr::db::test
