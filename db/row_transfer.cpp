// The row transfer of the update routines, through the attached table "LinkHikitugi".
#include "db/db.h"
#include "db/link_internal.h"
#include "platform/failure.h"

namespace kr::db {

namespace {

constexpr internal::LinkStyle kTransferStyle{"LinkHikitugi", true, HasTable};

}  // namespace

void TransferRows(Database& source, Database& target, std::string_view table_spec,
                  std::string_view where_text, std::string_view key_list) {
  LeaveOnError("TransferRows", [&] {
    internal::CopyThroughLink(kTransferStyle, source, target, table_spec, where_text, key_list,
                              internal::Halves::kDeleteAndInsert);
  });
}

void DeleteMatchingRows(Database& source, Database& target, std::string_view table_spec,
                        std::string_view where_text, std::string_view key_list) {
  LeaveOnError("DeleteMatchingRows", [&] {
    internal::CopyThroughLink(kTransferStyle, source, target, table_spec, where_text, key_list,
                              internal::Halves::kDeleteOnly);
  });
}

void ExecuteWithLink(Database& source, Database& target, std::string_view table_spec,
                     const std::vector<std::string>& statements) {
  LeaveOnError("ExecuteWithLink", [&] {
    internal::WithLink(kTransferStyle, source, target, table_spec, [&](const TableSpec&) {
      for (const std::string& statement : statements) {
        if (!statement.empty()) target.Execute(statement);
      }
    });
  });
}

}  // namespace kr::db
