// The catalogue of DAO error numbers and the error channel out of SQL functions.
#include <gtest/gtest.h>

#include "db/engine/dao_errors.h"
#include "db/engine/sqlite_db.h"

namespace kr::db::engine {
namespace {

TEST(DaoErrors, ArgumentsFillThePlaceholdersAndUnknownNumbersAreReserved) {
  EXPECT_EQ(DaoDescription(kDaoIndexExists, "T", "PrimaryKey"),
            "テーブル 'T' には既にインデックス 'PrimaryKey' があります。");
  Failure f = DaoFailure(kDaoFileNotFound, "C:\\a.mdb", {}, "opening");
  EXPECT_EQ(f.description(), "ファイル 'C:\\a.mdb' が見つかりませんでした。");
  EXPECT_STREQ(f.what(), "error 3024: Could not find file 'C:\\a.mdb'. (opening)");
  Failure not_set = DaoFailure(kErrObjectNotSet);
  EXPECT_EQ(not_set.number(), 91);
  Failure unknown = DaoFailure(4242, {}, {}, "detail");
  EXPECT_EQ(unknown.number(), 3000);
  EXPECT_EQ(unknown.description(),
            "予約済みエラー (4242) です。このエラーに関するメッセージはありません。");
  EXPECT_STREQ(unknown.what(),
               "error 3000: Reserved error (4242); there is no message for this error. (detail)");
}

TEST(DaoErrors, FailuresRaisedInsideSqlFunctionsComeBack) {
  auto f = FailureFromSqliteMessage(JetSqlErrorText(kDaoTypeMismatch));
  ASSERT_TRUE(f);
  EXPECT_EQ(f->number(), 3464);
  EXPECT_EQ(f->description(), "抽出条件でデータ型が一致しません。");
  EXPECT_EQ(FailureFromSqliteMessage("parser stack overflow")->number(), 3360);
  EXPECT_EQ(FailureFromSqliteMessage("Expression tree is too large (maximum depth 1000)")->number(),
            3360);
  for (const char* other : {"no such table: x", "jet:x:y", "jet:12"})
    EXPECT_FALSE(FailureFromSqliteMessage(other)) << other;
}

TEST(DaoErrors, SqliteErrorsMapByTheirExtendedCodes) {
  using internal::IsDiskFailure;
  using internal::SqliteFailure;
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_CONSTRAINT_UNIQUE).number(), kDaoDuplicateValue);
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_CONSTRAINT_PRIMARYKEY).number(), kDaoDuplicateValue);
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_CONSTRAINT_NOTNULL).number(), 3314);
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_BUSY_SNAPSHOT).number(), kDaoTableLocked);
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_LOCKED_SHAREDCACHE).number(), kDaoTableLocked);
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_IOERR_FSYNC).number(), 3043);
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_CORRUPT_INDEX).number(), 3343);
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_READONLY_DBMOVED).number(), 3027);
  // Memory that ran out under a file operation is no failing disk.
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_IOERR_NOMEM).number(), kErrOutOfMemory);
  EXPECT_FALSE(IsDiskFailure(SQLITE_IOERR_NOMEM));
  EXPECT_TRUE(IsDiskFailure(SQLITE_IOERR_WRITE));
  EXPECT_TRUE(IsDiskFailure(SQLITE_FULL));
  EXPECT_TRUE(IsDiskFailure(SQLITE_CANTOPEN_ISDIR));
  EXPECT_FALSE(IsDiskFailure(SQLITE_BUSY));
  // Only a plain SQLITE_ERROR is told by its message.
  EXPECT_EQ(SqliteFailure(nullptr, SQLITE_ERROR).number(), kDaoReservedError);
}

}  // namespace
}  // namespace kr::db::engine
