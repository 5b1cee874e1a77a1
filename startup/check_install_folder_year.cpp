// ChkExeYear: the product year the installed application's settings database records.
#include <string>

#include "db/db.h"
#include "platform/failure.h"
#include "platform/platform.h"
#include "startup/check_install_folder.h"

namespace kr::startup {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kSettingsDatabase = "File\\KrSet.mdb";
constexpr std::string_view kYearQuery = "SELECT SetName FROM Environ WHERE ID=61;";

// The first four characters of SetName name exe_year. Text that is not a number never does.
bool NamesYear(std::string_view set_name, int16_t exe_year) {
  std::string head = support::Trim(support::CharLeft(set_name, 4));
  if (head.empty() || head.find_first_not_of("0123456789") != std::string::npos) return false;
  return std::stoi(head) == exe_year;
}

// A database the check could not read must not wave the folder through: the application may
// hold it exclusively, or the folder holds something else under that name.
Refusal Unreadable(const std::string& path, const Failure& failure) {
  LogLine("CheckInstallFolder: the settings database " + path +
          " cannot be opened or queried, so its year is unknown and the folder is refused: " +
          failure.what());
  std::string crlf(kCrLf);
  return Refusal{
      "指定したフォルダの設定データベースを読み込めないため、年度を確認できません。" + crlf +
          "アプリケーションを終了してから再度実行するか、インストール先を確認して下さい。" + crlf +
          crlf + platform::NativePath(path) + crlf + "エラー番号=" +
          std::to_string(failure.number()) + crlf + "エラー内容=" + failure.description(),
      "the settings database cannot be read"};
}

}  // namespace

bool RecordsSettingsYear(int32_t inst_model) {
  return (inst_model >= 10 && inst_model <= 99) || (inst_model >= 320 && inst_model <= 399) ||
         (inst_model >= 415 && inst_model <= 499);
}

std::optional<Refusal> CheckSettingsYear(const std::string& folder, int16_t exe_year,
                                         std::string_view exe_title) {
  const std::string path = folder + std::string(kSettingsDatabase);
  if (!platform::FileExists(path)) return std::nullopt;

  // One step: the first engine failure ends the read, and its number and text go into the
  // refusal. The handles close when they go out of scope, failed or not, so the later in-use
  // check does not find this process holding the file.
  std::optional<std::string> set_name;
  StepAndContinue read("ChkExeYear");
  read.Step([&] {
    db::Database db = db::OpenAppDatabase(path);
    db::Recordset rs = db.OpenRecordset(kYearQuery);
    if (!rs.Eof()) {
      db::Value value = rs["SetName"].GetValue();
      if (!value.IsNull()) set_name = value.ToText();
    }
    rs.Close();
    db.Close();
  });
  if (read.failed()) return Unreadable(path, *read.pending());

  if (!set_name || NamesYear(*set_name, exe_year)) return std::nullopt;
  std::string crlf(kCrLf);
  return Refusal{"指定したフォルダの " + std::string(exe_title) + " はバージョンが違います。" +
                     crlf + "再度インストール先を設定して下さい。" + crlf + crlf + *set_name,
                 path + " records another year: " + *set_name};
}

}  // namespace kr::startup
