// Opening, passwords and re-keying, exclusive and read-only opens, closed handles.
#include <sys/stat.h>

#include "tests/db/engine/engine_fixture.h"

namespace kr::db::engine::test {
namespace {

class OpenTest : public EngineTest {
 protected:
  int OpenError(const std::string& name, const std::string& connect = "") {
    return ErrorOf([&] { OpenDatabase(Path(name), false, false, connect); });
  }
};

TEST_F(OpenTest, PasswordsAreHiddenAndMustMatchExactlyUnlessTheDatabaseHasNone) {
  Create("p.mdb", "secret").Close();
  EXPECT_EQ(dir_.Read("p.mdb").find("secret"), std::string::npos);  // never in plain text
  Create("n.mdb").Close();
  EXPECT_EQ(OpenError("none.mdb"), 3024);
  EXPECT_EQ(OpenError("p.mdb", ";PWD=wrong;"), 3031);
  EXPECT_EQ(OpenError("p.mdb"), 3031);
  EXPECT_EQ(OpenError("p.mdb", ";PWD=SECRET"), 3031);
  Database db = OpenDatabase(Path("p.mdb"), false, false, ";pwd=secret");
  EXPECT_EQ(db.Name(), Path("p.mdb"));
  EXPECT_EQ(OpenError("n.mdb", ";PWD=whatever;"), 0);
  EXPECT_EQ(ErrorOf([&] { Create("n.mdb"); }), 3204);
}

TEST_F(OpenTest, NonDatabaseEmptyAndCorruptFilesAre3343) {
  dir_.Write("empty.mdb", "");
  Create("good.mdb").Close();
  std::string bytes = dir_.Read("good.mdb");
  for (size_t i = 100; i < bytes.size(); i += 7) bytes[i] = static_cast<char>(bytes[i] ^ 0x5a);
  dir_.Write("corrupt.mdb", bytes);
  EXPECT_EQ(OpenError("empty.mdb"), 3343);
  int corrupt = ErrorOf([&] { OpenDatabase(Path("corrupt.mdb")).TableDefs().Count(); });
  EXPECT_TRUE(corrupt == 3343 || corrupt == 3031) << corrupt;
}

TEST_F(OpenTest, ExclusiveOpensShutOthersOutAndReadOnlyOnesRefuseChanges) {
  Create("x.mdb").Close();
  Database shared = OpenDatabase(Path("x.mdb"));
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(Path("x.mdb"), true); }), 3045);
  shared.Close();
  Database exclusive = OpenDatabase(Path("x.mdb"), true);
  EXPECT_EQ(OpenError("x.mdb"), 3356);
  exclusive.Close();
  EXPECT_EQ(OpenError("x.mdb"), 0);
  Database db = Create("r.mdb");
  Run(db, {"CREATE TABLE T (A LONG)", "INSERT INTO T VALUES (1)"});
  db.Close();
  ::chmod(Path("r.mdb").c_str(), 0444);
  EXPECT_EQ(OpenError("r.mdb"), 3051);
  Database ro = OpenDatabase(Path("r.mdb"), false, true);
  EXPECT_EQ(ExecuteError(ro, "DELETE FROM T"), 3027);
  Recordset rs = ro.OpenRecordset("T");
  EXPECT_EQ(ErrorOf([&] { rs.Edit(); }), 3027);
  EXPECT_EQ(Scalar(ro, "SELECT Count(*) FROM T").ToLong(), 1);
}

TEST_F(OpenTest, NewPasswordRekeysOnlyOnAnExclusiveOpenWithTheOldPassword) {
  Create("k.mdb", "former").Close();
  {
    Database shared = OpenDatabase(Path("k.mdb"), false, false, ";PWD=former;");
    EXPECT_EQ(ErrorOf([&] { shared.NewPassword("former", "current"); }), 3621);
  }
  {
    Database db = OpenDatabase(Path("k.mdb"), true, false, ";PWD=former;");
    EXPECT_EQ(ErrorOf([&] { db.NewPassword("wrong", "current"); }), 3031);
    db.NewPassword("former", "current");
  }
  EXPECT_EQ(OpenError("k.mdb", ";PWD=former;"), 3031);
  EXPECT_EQ(OpenError("k.mdb", ";PWD=current;"), 0);
}

TEST_F(OpenTest, ClosedAndEmptyHandlesFailWithObjectNotSetButClosingTwiceIsHarmless) {
  EXPECT_EQ(ErrorOf([&] { Database().Execute("DELETE FROM x"); }), 91);
  EXPECT_EQ(ErrorOf([&] { Database().TableDefs(); }), 91);
  EXPECT_EQ(ErrorOf([&] { Recordset().MoveNext(); }), 91);
  EXPECT_EQ(ErrorOf([&] { TableDef().Name(); }), 91);
  EXPECT_EQ(ErrorOf([&] { Field().GetValue(); }), 91);
  EXPECT_EQ(ErrorOf([&] { Database().Close(); }), 91);  // reports the open that failed
  Database db = Create("h.mdb");
  db.Execute("CREATE TABLE T (A LONG)");
  Recordset open = db.OpenRecordset("T");
  Field field = open["A"];
  Database copy = db;
  db.Close();
  EXPECT_EQ(ExecuteError(db, "DELETE FROM T"), 91);
  EXPECT_EQ(ErrorOf([&] { open.Eof(); }), 91);
  EXPECT_EQ(ErrorOf([&] { field.GetValue(); }), 91);
  EXPECT_EQ(ErrorOf([&] { db.Close(); }), 0);
  EXPECT_EQ(ErrorOf([&] { copy.Close(); }), 0);
}

}  // namespace
}  // namespace kr::db::engine::test
