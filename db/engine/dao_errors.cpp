#include "db/engine/dao_errors.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace kr::db::engine {
namespace {

struct Entry {
  int number;
  std::string_view japanese;
  std::string_view english;
};

// Sorted by number (checked by a test through DaoDescriptionTemplate of every entry).
constexpr Entry kCatalogue[] = {
    {kJetInvalidCall, "プロシージャの呼び出し、または引数が不正です。",
     "Invalid procedure call or argument."},
    {kJetOverflow, "オーバーフローしました。", "Overflow."},
    {kJetDivisionByZero, "0 で除算しました。", "Division by zero."},
    {kJetInvalidPattern, "パターン文字列が不正です。", "Invalid pattern string."},
    {kJetInvalidUseOfNull, "Null の使い方が不正です。", "Invalid use of Null."},
    {kDaoReservedError, "予約済みエラー (|1) です。このエラーに関するメッセージはありません。",
     "Reserved error (|1); there is no message for this error."},
    {kDaoInvalidArgument, "引数が無効です。", "Invalid argument."},
    {kDaoTableExists, "テーブル '|1' は既に存在します。", "Table '|1' already exists."},
    {kDaoObjectNotFound,
     "オブジェクト '|1' "
     "が見つかりませんでした。オブジェクトが存在していて、名前やパス名が正しいかどう"
     "か確認してください。",
     "Could not find object '|1'."},
    {kDaoUpdateWithoutEdit,
     "Update または CancelUpdate を実行しましたが、その前に AddNew または Edit "
     "を実行していません。",
     "Update or CancelUpdate without AddNew or Edit."},
    {kDaoNoCurrentRecord, "カレント レコードがありません。", "No current record."},
    {kDaoDuplicateValue,
     "インデックス、主キー、またはリレーションシップで値が重複しているので、テーブルを変更できませ"
     "んでし"
     "た。重複する値のあるフィールドの値を変更するか、インデックスを削除してください。または重複す"
     "る値を"
     "使用できるように再定義してください。",
     "The changes you requested to the table were not successful because they would create "
     "duplicate values in the index, primary key, or relationship."},
    {kDaoFileNotFound, "ファイル '|1' が見つかりませんでした。", "Could not find file '|1'."},
    {kDaoDiskFull, "ディスクの空き容量が不足しています。", "Not enough space on disk."},
    {kDaoReadOnly, "データベースまたはオブジェクトは読み取り専用なので、更新できません。",
     "Cannot update. Database or object is read-only."},
    {kDaoNotValidPassword, "パスワードが正しくありません。", "Not a valid password."},
    {kDaoCommitWithoutBegin,
     "BeginTrans を使わずに、トランザクションをコミットまたはロールバックしようとしました。",
     "You tried to commit or roll back a transaction without first beginning a transaction."},
    {kDaoDiskOrNetworkError, "ディスクまたはネットワーク エラーです。", "Disk or network error."},
    {kDaoNotValidPath,
     "'|1' "
     "は正しいパスではありません。パス名のスペルが正しいかどうか、接続先のサーバーが使用可能かどう"
     "かを確認してください。",
     "'|1' is not a valid path."},
    {kDaoFileInUse, "ファイル '|1' は既に使用されているため、使用できません。",
     "Could not use '|1'; file already in use."},
    {kDaoCannotOpenFile,
     "ファイル '|1' "
     "を開けません。既にほかのユーザーが排他的に開いているか、データを表示または書き込む権"
     "限がありません。",
     "The Microsoft Jet database engine cannot open the file '|1'."},
    {kDaoNullInIndex, "インデックスまたは主キーには Null 値を使用できません。",
     "Index or primary key cannot contain a Null value."},
    {kDaoTooFewParameters, "パラメータが少なすぎます。|1 を指定してください。",
     "Too few parameters. Expected |1."},
    {kDaoCannotExecuteSelect, "選択クエリは実行できません。", "Cannot execute a select query."},
    {kDaoUnknownFieldName, "'|1' を有効なフィールド名または式として認識できません。",
     "The Microsoft Jet database engine does not recognize '|1' as a valid field name or "
     "expression."},
    {kDaoNotUpdatableQuery, "更新可能なクエリであることが必要です。",
     "Operation must use an updatable query."},
    {kDaoQueryExpressionSyntax, "クエリ式 '|1' の構文エラー: 演算子がありません。",
     "Syntax error (missing operator) in query expression '|1'."},
    {kDaoInputTableNotFound,
     "入力テーブルまたはクエリ '|1' "
     "が見つかりませんでした。テーブルやクエリが存在していて、名前のスペル"
     "が正しいことを確認してください。",
     "The Microsoft Jet database engine cannot find the input table or query '|1'."},
    {kDaoAmbiguousField,
     "指定されたフィールド '|1' は、SQL ステートメントの FROM "
     "句にある複数のテーブルを参照しています。",
     "The specified field '|1' could refer to more than one table listed in the FROM clause of "
     "your SQL statement."},
    {kDaoUndefinedFunction, "式に未定義関数 '|1' があります。",
     "Undefined function '|1' in expression."},
    {kDaoHavingWithoutGrouping, "HAVING 句 (|1) にグループ化または集計がありません。",
     "HAVING clause (|1) without grouping or aggregation."},
    {kDaoOrderByConflictsWithDistinct, "ORDER BY 句 (|1) が DISTINCT と矛盾しています。",
     "ORDER BY clause (|1) conflicts with DISTINCT."},
    {kDaoAggregateInWhere, "WHERE 句 (|1) には集計関数を使用できません。",
     "Cannot have aggregate function in WHERE clause (|1)."},
    {kDaoNotInAggregate,
     "指定された式 '|1' を集計関数の一部として含まないクエリを実行しようとしました。",
     "You tried to execute a query that does not include the specified expression '|1' as part "
     "of an aggregate function."},
    {kDaoInvalidName, "'|1' は正しい名前ではありません。", "'|1' is not a valid name."},
    {kDaoInvalidBracketing, "名前 '|1' のかっこの使い方が正しくありません。",
     "Invalid bracketing of name '|1'."},
    {kDaoUnknownInsertField,
     "INSERT INTO ステートメントに、次の不明なフィールド名が含まれています: "
     "'|1'。名前を正しく入力した"
     "かどうかを確認してから、操作をやり直してください。",
     "The INSERT INTO statement contains the following unknown field name: '|1'."},
    {kDaoInvalidStatement,
     "SQL ステートメントが正しくありません。'DELETE'、'INSERT'、'PROCEDURE'、'SELECT'、または "
     "'UPDATE' を使用してください。",
     "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'."},
    {kDaoFromClauseSyntax, "FROM 句の構文エラーです。", "Syntax error in FROM clause."},
    {kDaoParameterSyntax, "PARAMETER 句の構文エラーです。", "Syntax error in PARAMETER clause."},
    {kDaoInsertSyntax, "INSERT INTO ステートメントの構文エラーです。",
     "Syntax error in INSERT INTO statement."},
    {kDaoJoinSyntax, "JOIN 操作の構文エラーです。", "Syntax error in JOIN operation."},
    {kDaoMissingSemicolon, "SQL ステートメントの最後にセミコロン (;) がありません。",
     "Missing semicolon (;) at end of SQL statement."},
    {kDaoOrderBySyntax, "ORDER BY 句の構文エラーです。", "Syntax error in ORDER BY clause."},
    {kDaoSelectSyntax,
     "SELECT "
     "ステートメントには、予約語、スペルが間違っているか存在しない引数名、または正しくない句読点"
     "が含まれています。",
     "The SELECT statement includes a reserved word or an argument name that is misspelled or "
     "missing, or the punctuation is incorrect."},
    {kDaoCharactersAfterEnd, "SQL ステートメントの後に文字が見つかりました。",
     "Characters found after end of SQL statement."},
    {kDaoUnionSyntax, "UNION クエリの構文エラーです。", "Syntax error in union query."},
    {kDaoUpdateSyntax, "UPDATE ステートメントの構文エラーです。",
     "Syntax error in UPDATE statement."},
    {kDaoWhereSyntax, "WHERE 句の構文エラーです。", "Syntax error in WHERE clause."},
    {kDaoFieldTooSmall,
     "フィールドが小さすぎて、追加しようとしたデータを受け入れることができません。挿入または貼り付"
     "けるデ"
     "ータの量を減らしてください。",
     "The field is too small to accept the amount of data you attempted to add."},
    {kDaoRecordDeleted, "レコードは削除されています。", "Record is deleted."},
    {kDaoIsamNotFound, "インストール可能な ISAM が見つかりませんでした。",
     "Could not find installable ISAM."},
    {kDaoFieldDefinedTwice, "同じフィールド '|1' を複数回定義することはできません。",
     "Can't define field more than once."},
    {kDaoOutputTableNotFound, "出力テーブル '|1' が見つかりませんでした。",
     "Could not find output table '|1'."},
    {kDaoRelatedRecordsExist,
     "テーブル '|1' "
     "にリレーションシップが設定されたレコードが含まれているので、レコードを削除または"
     "変更できません。",
     "The record cannot be deleted or changed because table '|1' includes related records."},
    {kDaoRelatedRecordRequired,
     "テーブル '|1' "
     "にリレーションシップが設定されたレコードが必要なので、レコードの追加または変更は"
     "できません。",
     "You cannot add or change a record because a related record is required in table '|1'."},
    {kDaoDatabaseExists, "データベースは既に存在します。", "Database already exists."},
    {kDaoTableLocked,
     "テーブル '|1' は、他のユーザーまたはプロセスで使用中のため、ロックできませんでした。",
     "The database engine could not lock table '|1' because it is already in use by another "
     "person or process."},
    {kDaoInvalidOperation, "操作が無効です。", "Invalid operation."},
    {kDaoNotInTransaction, "トランザクション内ではこの操作はサポートされていません。",
     "Operation not supported in transactions."},
    {kDaoOperationNotSupported, "この操作は、このタイプのオブジェクトに対しては無効です。",
     "Operation is not supported for this type of object."},
    {kDaoInvalidFieldType, "フィールドのデータ型が正しくありません。", "Invalid field data type."},
    {kDaoNoFieldsDefined,
     "フィールドが定義されていません。TableDef または Index オブジェクトを追加"
     "する前に、フィールドを定義してください。",
     "No field defined--cannot append TableDef or Index."},
    {kDaoItemNotFound, "コレクションにアイテムが見つかりません。",
     "Item not found in this collection."},
    {kDaoPropertyNotFound, "プロパティが見つかりません。", "Property not found."},
    {kDaoPrimaryKeyExists, "主キーが既に存在します。", "Primary key already exists."},
    {kDaoConstraintSyntax, "CONSTRAINT 句の構文エラーです。", "Syntax error in CONSTRAINT clause."},
    {kDaoCreateTableSyntax, "CREATE TABLE ステートメントの構文エラーです。",
     "Syntax error in CREATE TABLE statement."},
    {kDaoCreateIndexSyntax, "CREATE INDEX ステートメントの構文エラーです。",
     "Syntax error in CREATE INDEX statement."},
    {kDaoFieldDefinitionSyntax, "フィールド定義の構文エラーです。",
     "Syntax error in field definition."},
    {kDaoAlterTableSyntax, "ALTER TABLE ステートメントの構文エラーです。",
     "Syntax error in ALTER TABLE statement."},
    {kDaoDropSyntax, "DROP TABLE または DROP INDEX ステートメントの構文エラーです。",
     "Syntax error in DROP TABLE or DROP INDEX."},
    {kDaoSubqueryManyFields,
     "EXISTS 予約語を使わずに、複数のフィールドを返す可能性のあるサブクエリが作成されました。サブク"
     "エリの SELECT ステートメントを修正して、1 つのフィールドだけを要求するようにしてください。",
     "You have written a subquery that can return more than one field without using the EXISTS "
     "reserved word in the main query's FROM clause."},
    {kDaoUnionColumnCount,
     "ユニオン クエリで選択した 2 つのテーブルまたはクエリの列数が一致しません。",
     "The number of columns in the two selected tables or queries of a union query do not match."},
    {kDaoFieldRequired, "フィールド '|1' には値が必要です。このフィールドに値を入力してください。",
     "The field '|1' cannot contain a Null value because the Required property for this field is "
     "set to True."},
    {kDaoZeroLengthNotAllowed, "フィールド '|1' には長さ 0 の文字列を入力できません。",
     "Field '|1' cannot be a zero-length string."},
    {kDaoValidationRule, "テーブルの入力規則 '|1' に違反しています。",
     "'|1' is not a valid value: the table's validation rule is violated."},
    {kDaoValidationRuleField,
     "フィールド '|2' に設定されている入力規則 '|1' に違反する値が含まれています。",
     "One or more values are prohibited by the validation rule '|1' set for '|2'."},
    {kDaoUnrecognizedFormat, "データベース形式 '|1' を認識できません。",
     "Unrecognized database format '|1'."},
    {kDaoValueCountMismatch, "クエリの値の数と出力先のフィールドの数が一致しません。",
     "Number of query values and destination fields are not the same."},
    {kDaoSubqueryManyRecords, "このサブクエリでは 1 つのレコードしか返すことができません。",
     "At most one record can be returned by this subquery."},
    {kDaoOpenedExclusively,
     "データベース '|1' は既に排他的に開かれているため、開くことができません。",
     "You attempted to open a database that is already opened exclusively: '|1'."},
    {kDaoQueryTooComplex, "クエリが複雑すぎます。", "Query is too complex."},
    {kDaoCannotAppendExisting,
     "オブジェクトを追加できません。この名前のオブジェクトは既にコレクションにあります。",
     "Cannot append. An object with that name already exists in the collection."},
    {kDaoNoTableOrConstraint, "テーブルまたは制約が見つかりません。",
     "Can't find table or constraint."},
    {kDaoIndexExists, "テーブル '|1' には既にインデックス '|2' があります。",
     "Table '|1' already has an index named '|2'."},
    {kDaoTableDoesNotExist, "テーブル '|1' は存在しません。", "Table '|1' does not exist."},
    {kDaoFieldExists, "フィールド '|1' は既にテーブル '|2' に存在します。",
     "Field '|1' already exists in table '|2'."},
    {kDaoObjectInvalid, "オブジェクトが無効か、設定されていません。",
     "Object invalid or no longer set."},
    {kDaoConversionError, "データ型の変換エラーです。", "Data type conversion error."},
    {kDaoTypeMismatch, "抽出条件でデータ型が一致しません。",
     "Data type mismatch in criteria expression."},
    {kDaoSharedPasswordChange, "共有モードで開いているデータベースのパスワードは変更できません。",
     "Can't change password on a shared open database."},
    {kDaoNotAnIndex, "'|1' はこのテーブルのインデックスではありません。",
     "'|1' is not an index in this table."},
};

const Entry* Find(int number) {
  auto it = std::lower_bound(std::begin(kCatalogue), std::end(kCatalogue), number,
                             [](const Entry& e, int n) { return e.number < n; });
  return it != std::end(kCatalogue) && it->number == number ? it : nullptr;
}

std::string Fill(std::string_view templ, std::string_view arg1, std::string_view arg2) {
  std::string out;
  out.reserve(templ.size() + arg1.size() + arg2.size());
  for (size_t i = 0; i < templ.size(); ++i) {
    if (templ[i] != '|') {
      out += templ[i];
      continue;
    }
    if (i + 1 < templ.size() && templ[i + 1] == '2') {
      out += arg2;
      ++i;
    } else {
      out += arg1;
      if (i + 1 < templ.size() && templ[i + 1] == '1') ++i;
    }
  }
  return out;
}

struct Variant {
  std::string_view japanese;
  std::string_view english;
};

Variant ExpressionVariant(ExpressionSyntax kind) {
  switch (kind) {
    case ExpressionSyntax::kMissingOperator:
      return {"クエリ式 '|1' の構文エラー: 演算子がありません。",
              "Syntax error (missing operator) in query expression '|1'."};
    case ExpressionSyntax::kString:
      return {"クエリ式 '|1' の文字列の構文エラーです。",
              "Syntax error in string in query expression '|1'."};
    case ExpressionSyntax::kDate:
      return {"クエリ式 '|1' の日付の構文エラーです。",
              "Syntax error in date in query expression '|1'."};
    case ExpressionSyntax::kExtraParenthesis:
      return {"クエリ式 '|1' に余分な ) があります。", "Extra ) in query expression '|1'."};
    case ExpressionSyntax::kMissingBracket:
      return {"クエリ式 '|1' で、)、]、または項目がありません。",
              "Missing ), ], or Item in query expression '|1'."};
    case ExpressionSyntax::kComma:
      return {"クエリ式 '|1' の構文エラー: コンマがあります。",
              "Syntax error (comma) in query expression '|1'."};
    case ExpressionSyntax::kArgumentCount:
      return {"クエリ式 '|1' で使用されている関数の引数の数が正しくありません。",
              "Wrong number of arguments used with function in query expression '|1'."};
    case ExpressionSyntax::kInvalidDot:
      return {"クエリ式 '|1' で '.'、'!'、または '()' の使い方が正しくありません。",
              "Invalid use of '.', '!', or '()' in query expression '|1'."};
    case ExpressionSyntax::kPattern:
      return {"クエリ式 '|1' のパターン文字列が正しくありません。",
              "Invalid pattern string in query expression '|1'."};
  }
  return {"", ""};
}

}  // namespace

std::string_view DaoDescriptionTemplate(int number) {
  const Entry* e = Find(number);
  return e ? e->japanese : std::string_view();
}

std::string_view DaoEnglishTemplate(int number) {
  const Entry* e = Find(number);
  return e ? e->english : std::string_view();
}

std::string DaoDescription(int number, std::string_view arg1, std::string_view arg2) {
  return Fill(DaoDescriptionTemplate(number), arg1, arg2);
}

Failure DaoFailure(int number, std::string_view arg1, std::string_view arg2,
                   std::string_view detail) {
  if (Find(number) == nullptr) {
    std::string_view runtime = number < 3000 ? RuntimeErrorDescription(number) : "";
    if (runtime.empty()) return DaoFailure(kDaoReservedError, std::to_string(number), {}, detail);
    std::string log = "error " + std::to_string(number);
    if (!detail.empty()) log += " (" + std::string(detail) + ")";
    return Failure(number, std::string(runtime), std::move(log));
  }
  std::string log =
      "error " + std::to_string(number) + ": " + Fill(DaoEnglishTemplate(number), arg1, arg2);
  if (!detail.empty()) {
    log += " (";
    log += detail;
    log += ")";
  }
  return Failure(number, DaoDescription(number, arg1, arg2), std::move(log));
}

void Raise(int number, std::string_view arg1, std::string_view arg2, std::string_view detail) {
  throw DaoFailure(number, arg1, arg2, detail);
}

Failure ExpressionFailure(ExpressionSyntax kind, std::string_view expression, size_t position) {
  Variant v = ExpressionVariant(kind);
  std::string log = "error 3075 at character " + std::to_string(position) + ": " +
                    Fill(v.english, expression, {});
  return Failure(kDaoQueryExpressionSyntax, Fill(v.japanese, expression, {}), std::move(log));
}

std::string JetSqlErrorText(int number, std::string_view arg1) {
  return "jet:" + std::to_string(number) + ":" + DaoDescription(number, arg1);
}

std::optional<Failure> FailureFromSqliteMessage(std::string_view message) {
  // SQLite's own limits on a statement's shape are Jet's "query is too complex".
  for (std::string_view limit : {"parser stack overflow", "Expression tree is too large",
                                 "too many terms in compound SELECT", "too many FROM clause terms",
                                 "at most 64 tables in a join"}) {
    if (message.find(limit) != std::string_view::npos) {
      return DaoFailure(kDaoQueryTooComplex, {}, {}, message);
    }
  }
  constexpr std::string_view kPrefix = "jet:";
  if (message.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
  std::string_view rest = message.substr(kPrefix.size());
  int number = 0;
  auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), number);
  if (ec != std::errc() || end == rest.data() || end == rest.data() + rest.size() || *end != ':') {
    return std::nullopt;
  }
  std::string description(end + 1, rest.data() + rest.size());
  std::string log = "error " + std::to_string(number) +
                    " raised in an SQL function: " + std::string(DaoEnglishTemplate(number));
  return Failure(number, std::move(description), std::move(log));
}

size_t CharacterPosition(std::string_view text, size_t byte_offset) {
  byte_offset = std::min(byte_offset, text.size());
  size_t chars = 0;
  for (size_t i = 0; i < byte_offset; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++chars;
  }
  return chars + 1;
}

}  // namespace kr::db::engine
