// Currency is kept exactly: stored as ten-thousandths, across every path a price takes, and read
// from files whose Currency columns older builds stored as REAL.
#include <cstdint>

#include "tests/db/engine/engine_fixture.h"

namespace kr::db::engine::test {
namespace {

// The extremes, a value a double cannot hold (19 digits), and everyday prices.
const int64_t kPrices[] = {INT64_MAX, INT64_MIN, 9000000000000001, 1000, 123456789, -1, 0};

class CurrencyTest : public EngineTest {
 protected:
  void SetUp() override {
    db_ = Create("c.mdb");
    Run(db_, {"CREATE TABLE Prices (Id LONG, Price CURRENCY)",
              "CREATE TABLE Copied (Id LONG, Price CURRENCY)"});
  }
  std::vector<int64_t> Scaled(Database& db, const std::string& table) {
    std::vector<int64_t> out;
    Recordset rs = db.OpenRecordset("SELECT Price FROM " + table + " ORDER BY Id", kOpenSnapshot);
    for (; !rs.Eof(); rs.MoveNext()) out.push_back(rs[0].GetValue().ToCurrency());
    return out;
  }
  // What SQLite itself holds: its storage class and value.
  std::vector<std::string> Raw(const std::string& sql) {
    db_.Close();
    std::vector<std::string> rows;
    sqlite3* raw = nullptr;
    EXPECT_EQ(sqlite3_open(Path("c.mdb").c_str(), &raw), SQLITE_OK);
    sqlite3_exec(
        raw, sql.c_str(),
        [](void* out, int, char** values, char**) {
          static_cast<std::vector<std::string>*>(out)->push_back(std::string(values[0]) + ":" +
                                                                 values[1]);
          return 0;
        },
        &rows, nullptr);
    sqlite3_close(raw);
    db_ = OpenDatabase(Path("c.mdb"));
    return rows;
  }
  Database db_;
};

TEST_F(CurrencyTest, EveryValueCrossesRecordsetsStatementsAndLinksUnchanged) {
  {
    Recordset rs = db_.OpenRecordset("Prices", kOpenTable);
    int id = 0;
    for (int64_t scaled : kPrices)
      AddRow(rs, {{"Id", Value::Long(++id)}, {"Price", Value::Currency(scaled)}});
  }
  const std::vector<int64_t> expected(std::begin(kPrices), std::end(kPrices));
  EXPECT_EQ(Scaled(db_, "Prices"), expected);
  db_.Execute("INSERT INTO Copied SELECT * FROM Prices");
  EXPECT_EQ(Scaled(db_, "Copied"), expected);
  Run(db_,
      {"UPDATE Copied SET Price = Null",
       "UPDATE Copied INNER JOIN Prices ON Copied.Id = Prices.Id SET Copied.Price = Prices.Price"});
  EXPECT_EQ(Scaled(db_, "Copied"), expected);
  // Edited through a recordset, and found by value.
  {
    Recordset rs = db_.OpenRecordset("SELECT * FROM Copied WHERE Price = 0.1", kOpenDynaset);
    ASSERT_FALSE(rs.Eof());
    rs.Edit();
    rs["Price"].SetValue(Value(0.0001));
    rs.Update();
  }
  EXPECT_EQ(Rows(db_, "SELECT Id FROM Copied WHERE Price = 0.0001"), V({"4"}));
  // From another file, through a link.
  Database other = Create("other.mdb");
  other.Execute("CREATE TABLE Prices (Id LONG, Price CURRENCY)");
  TableDef link = other.CreateTableDef("Link", 0, "Prices", ";DataBase=" + Path("c.mdb") + ";");
  other.TableDefs().Append(link);
  other.Execute("INSERT INTO Prices SELECT * FROM Link");
  EXPECT_EQ(Scaled(other, "Prices"), expected);
}

// A file of an older build: its Currency column declared REAL, holding units.
TEST_F(CurrencyTest, AnOlderFilesRealColumnReadsAndWritesExactlyUntilItsTableIsMadeAnew) {
  db_.Close();
  RawSql("c.mdb",
         "PRAGMA writable_schema=ON; UPDATE sqlite_schema SET sql=replace(replace(sql, "
         "'\"Price\" INTEGER', '\"Price\" REAL'), 'typeof(\"Price\")=''integer''', "
         "'typeof(\"Price\")=''real''') WHERE name='Prices'; PRAGMA writable_schema=OFF;");
  std::string sql = "INSERT INTO Prices VALUES (1, 12345.6789);";
  for (int i = 2; i <= 10; ++i)
    sql += "INSERT INTO Prices VALUES (" + std::to_string(i) + ", 0.1);";
  RawSql("c.mdb", sql);
  db_ = OpenDatabase(Path("c.mdb"));
  ExpectQueries(db_, {"SELECT Price FROM Prices WHERE Id = 1 → 12345.6789",
                      "SELECT Sum(Price) FROM Prices WHERE Id > 1 → 0.9"});
  db_.Execute("INSERT INTO Prices VALUES (11, 0.1)", kFailOnError);
  db_.Execute("UPDATE Prices SET Price = Price * 2 WHERE Id = 11", kFailOnError);
  Recordset rs = db_.OpenRecordset("Prices", kOpenTable);
  AddRow(rs, {{"Id", Value::Long(12)}, {"Price", Value::Currency(3)}});
  rs.Close();
  db_.Execute("INSERT INTO Copied SELECT * FROM Prices");
  const std::vector<int64_t> expected = {123456789, 1000, 1000, 1000, 1000, 1000,
                                         1000,      1000, 1000, 1000, 2000, 3};
  EXPECT_EQ(Scaled(db_, "Prices"), expected);
  EXPECT_EQ(Scaled(db_, "Copied"), expected);
  EXPECT_EQ(Raw("SELECT typeof(Price), Price FROM Prices WHERE Id = 11"), V({"real:0.2"}));
  // Made anew (another field changes type), the table holds ten-thousandths.
  db_.Execute("ALTER TABLE Prices ALTER COLUMN Id DOUBLE");
  EXPECT_EQ(Raw("SELECT typeof(Price), Price FROM Prices WHERE Id = 11"), V({"integer:2000"}));
  EXPECT_EQ(Scaled(db_, "Prices"), expected);
}

}  // namespace
}  // namespace kr::db::engine::test
