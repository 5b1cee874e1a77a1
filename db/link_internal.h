// The one body of the whole-table copy and the row transfer. Internal to db/.
#pragma once

#include <functional>
#include <string_view>

#include "db/db.h"

namespace kr::db::internal {

// How a copy writes its statements. CopyTable: bare names through "ごみ", tables found by
// TableExists. TransferRows: every name bracketed, a Single column feeding a Double one through
// CCur, through "LinkHikitugi", tables found by HasTable.
struct LinkStyle {
  std::string_view link;
  bool bracketed = false;
  bool (*has_table)(Database& db, std::string_view name) = nullptr;
};

// Runs work with the table spec's source table attached to target as style.link, then drops
// the link; nothing happens when either table is missing. Pass-through: a failure leaves the
// link behind, for the next call to drop.
void WithLink(const LinkStyle& style, Database& source, Database& target,
              std::string_view table_spec, const std::function<void(const TableSpec&)>& work);

enum class Halves { kDeleteAndInsert, kDeleteOnly };

// The copy: the target rows the selected source rows supersede are deleted (by key, or the
// where text's slice) and, with kDeleteAndInsert, the selected source rows inserted. Nothing is
// deleted when no source row is selected. All of it or nothing: when a source row cannot go in,
// a keyed copy goes on key by key, each key's target rows replaced only when its source rows
// went in (the others logged and kept); any other failure passes through, nothing changed.
void CopyThroughLink(const LinkStyle& style, Database& source, Database& target,
                     std::string_view table_spec, std::string_view where_text,
                     std::string_view key_list, Halves halves);

}  // namespace kr::db::internal
