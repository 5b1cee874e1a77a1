#include <fstream>

#include "tests/db/engine/engine_fixture.h"

namespace kr::db::engine::test {
namespace {

class OpenTest : public EngineTest {};

TEST_F(OpenTest, MissingFileIs3024WithThePathInTheDescription) {
  try {
    OpenDatabase(Path("none.mdb"));
    FAIL();
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 3024);
    EXPECT_NE(failure.description().find(Path("none.mdb")), std::string::npos);
    EXPECT_NE(failure.description().find("見つかりませんでした"), std::string::npos);
  }
}

TEST_F(OpenTest, WrongOrMissingPasswordIs3031AndTheRightOneOpens) {
  Create("p.mdb", "secret").Close();
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(Path("p.mdb"), false, false, ";PWD=wrong;"); }), 3031);
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(Path("p.mdb")); }), 3031);
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(Path("p.mdb"), false, false, ";PWD=SECRET"); }), 3031);
  Database db = OpenDatabase(Path("p.mdb"), false, false, ";pwd=secret");
  EXPECT_TRUE(db.IsOpen());
  EXPECT_EQ(db.Name(), Path("p.mdb"));
}

TEST_F(OpenTest, DatabaseWithoutPasswordAcceptsAnyPassword) {
  Create("n.mdb").Close();
  EXPECT_TRUE(OpenDatabase(Path("n.mdb"), false, false, ";PWD=whatever;").IsOpen());
  EXPECT_TRUE(OpenDatabase(Path("n.mdb")).IsOpen());
}

TEST_F(OpenTest, PasswordIsNeverStoredInPlainText) {
  Create("p.mdb", "VerySecret123").Close();
  std::ifstream in(Path("p.mdb"), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes.find("VerySecret123"), std::string::npos);
}

TEST_F(OpenTest, NonDatabaseEmptyAndCorruptFilesAre3343) {
  dir_.Write("text.mdb", "this is not a database at all, just some text\n");
  dir_.Write("empty.mdb", "");
  Create("good.mdb").Close();
  std::string bytes = dir_.Read("good.mdb");
  for (size_t i = 100; i < bytes.size(); i += 7) bytes[i] = static_cast<char>(bytes[i] ^ 0x5a);
  dir_.Write("corrupt.mdb", bytes);
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(Path("text.mdb")); }), 3343);
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(Path("empty.mdb")); }), 3343);
  int corrupt = ErrorOf([&] {
    Database db = OpenDatabase(Path("corrupt.mdb"));
    db.TableDefs().Count();
  });
  EXPECT_TRUE(corrupt == 3343 || corrupt == 3031) << corrupt;
}

TEST_F(OpenTest, ExclusiveOpenShutsOthersOutUntilClosed) {
  Create("x.mdb").Close();
  Database shared = OpenDatabase(Path("x.mdb"));
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(Path("x.mdb"), true); }), 3045);
  shared.Close();
  shared.Close();  // harmless
  Database exclusive = OpenDatabase(Path("x.mdb"), true);
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(Path("x.mdb")); }), 3356);
  exclusive.Close();
  EXPECT_TRUE(OpenDatabase(Path("x.mdb")).IsOpen());
}

TEST_F(OpenTest, ReadOnlyFileOpenedForWritingIs3051) {
  Create("r.mdb").Close();
  ::chmod(Path("r.mdb").c_str(), 0444);
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(Path("r.mdb")); }), 3051);
  Database db = OpenDatabase(Path("r.mdb"), false, true);
  EXPECT_EQ(db.TableDefs().Count(), 4);  // the catalog's system tables
}

TEST_F(OpenTest, CreatingOverAnExistingFileIs3204) {
  Create("c.mdb").Close();
  EXPECT_EQ(ErrorOf([&] { Create("c.mdb"); }), 3204);
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
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(Path("k.mdb"), false, false, ";PWD=former;"); }), 3031);
  EXPECT_TRUE(OpenDatabase(Path("k.mdb"), false, false, ";PWD=current;").IsOpen());
}

TEST_F(OpenTest, ClosedAndEmptyHandlesFailWithObjectNotSet) {
  Database none;
  EXPECT_EQ(ErrorOf([&] { none.Execute("DELETE FROM x"); }), 91);
  EXPECT_EQ(ErrorOf([&] { none.TableDefs(); }), 91);
  Recordset rs;
  EXPECT_EQ(ErrorOf([&] { rs.MoveNext(); }), 91);
  TableDef td;
  EXPECT_EQ(ErrorOf([&] { td.Name(); }), 91);
  Field f;
  EXPECT_EQ(ErrorOf([&] { f.GetValue(); }), 91);
  Database db = Create("h.mdb");
  db.Execute("CREATE TABLE T (A LONG)");
  Recordset open = db.OpenRecordset("T");
  db.Close();
  EXPECT_EQ(ErrorOf([&] { db.Execute("DELETE FROM T"); }), 91);
  EXPECT_EQ(ErrorOf([&] { open.Eof(); }), 91);
}

TEST_F(OpenTest, CloseReportsAFailedOpenButClosingTwiceIsHarmless) {
  Database failed;
  try {
    failed = OpenDatabase(Path("missing.mdb"));
  } catch (const Failure&) {
  }
  EXPECT_EQ(ErrorOf([&] { failed.Close(); }), 91);
  EXPECT_EQ(ErrorOf([&] { Database().Close(); }), 91);
  Database db = Create("c.mdb");
  Database copy = db;
  db.Close();
  EXPECT_EQ(ErrorOf([&] { db.Close(); }), 0);
  EXPECT_EQ(ErrorOf([&] { copy.Close(); }), 0);
}

}  // namespace
}  // namespace kr::db::engine::test
