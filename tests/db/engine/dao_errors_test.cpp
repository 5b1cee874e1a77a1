// The catalogue of DAO error numbers and the error channel out of SQL functions.
#include <gtest/gtest.h>

#include "db/engine/dao_errors.h"

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

}  // namespace
}  // namespace kr::db::engine
