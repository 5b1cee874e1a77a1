#include "db/engine/engine_errors.h"

#include <string>

namespace kr::db::engine {

namespace {

struct Extra {
  int number;
  std::string_view japanese;
  std::string_view english;
};

constexpr Extra kExtras[] = {
    {kEngReservedError, "予約済みエラー (|1) です。このエラーに関するメッセージはありません。",
     "Reserved error (|1); there is no message for this error."},
    {kEngNullInIndex, "インデックスまたは主キーには Null 値を使用できません。",
     "Index or primary key cannot contain a Null value."},
    {kEngUnknownFieldName, "'|1' を有効なフィールド名または式として認識できません。",
     "The Microsoft Jet database engine does not recognize '|1' as a valid field name or "
     "expression."},
    {kEngCannotExecuteSelect, "選択クエリは実行できません。", "Cannot execute a select query."},
    {kEngUnknownInsertField,
     "INSERT INTO ステートメントに、次の不明なフィールド名が含まれています: "
     "'|1'。名前を正しく入力した"
     "かどうかを確認してから、操作をやり直してください。",
     "The INSERT INTO statement contains the following unknown field name: '|1'."},
    {kEngRecordDeleted, "レコードは削除されています。", "Record is deleted."},
    {kEngNoFieldsDefined,
     "フィールドが定義されていません。TableDef または Index オブジェクトを追加"
     "する前に、フィールドを定義してください。",
     "No field defined--cannot append TableDef or Index."},
    {kEngOutputTableNotFound, "出力テーブル '|1' が見つかりませんでした。",
     "Could not find output table '|1'."},
    {kEngValidationRuleField,
     "フィールド '|2' に設定されている入力規則 '|1' に違反する値が含まれています。",
     "One or more values are prohibited by the validation rule '|1' set for '|2'."},
    {kEngOpenedExclusively,
     "データベース '|1' は既に排他的に開かれているため、開くことができません。",
     "You attempted to open a database that is already opened exclusively: '|1'."},
    {kEngConversionError, "データ型の変換エラーです。", "Data type conversion error."},
    {kEngSharedPasswordChange, "共有モードで開いているデータベースのパスワードは変更できません。",
     "Can't change password on a shared open database."},
    {kEngNotAnIndex, "'|1' はこのテーブルのインデックスではありません。",
     "'|1' is not an index in this table."},
};

std::string Fill(std::string_view text, std::string_view arg1, std::string_view arg2) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '|') {
      if (i + 1 < text.size() && text[i + 1] == '2') {
        out += arg2;
        ++i;
        continue;
      }
      if (i + 1 < text.size() && text[i + 1] == '1') ++i;
      out += arg1;
      continue;
    }
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace

Failure EngineFailure(int number, std::string_view arg1, std::string_view arg2,
                      std::string_view detail) {
  if (number < 3000 && !RuntimeErrorDescription(number).empty()) {
    std::string log = "error " + std::to_string(number);
    if (!detail.empty()) log += " (" + std::string(detail) + ")";
    return Failure(number, std::string(RuntimeErrorDescription(number)), log);
  }
  if (!DaoDescriptionTemplate(number).empty()) return DaoFailure(number, arg1, arg2, detail);
  for (const Extra& extra : kExtras) {
    if (extra.number != number) continue;
    std::string log = "error " + std::to_string(number) + ": " + Fill(extra.english, arg1, arg2);
    if (!detail.empty()) log += " (" + std::string(detail) + ")";
    return Failure(number, Fill(extra.japanese, arg1, arg2), log);
  }
  return EngineFailure(kEngReservedError, std::to_string(number), {}, detail);
}

void Raise(int number, std::string_view arg1, std::string_view arg2, std::string_view detail) {
  throw EngineFailure(number, arg1, arg2, detail);
}

}  // namespace kr::db::engine
