// Prices typed into Currency columns come through every way the routines move rows unchanged,
// to the last ten-thousandth, however large.
#include <functional>

#include "tests/db/db_fixture.h"

namespace kr::db::test {
namespace {

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

}  // namespace
}  // namespace kr::db::test
