// What the whole-table copy and the row transfer share: the attached source table, the count of
// selected source rows and the join condition. Internal to db/.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/db.h"

namespace kr::db::internal {

// Attaches source's table source_table to target under link_name. Pass-through.
void AttachTable(Database& target, std::string_view link_name, const Database& source,
                 std::string_view source_table);

// The rows of rs: 0 at end-of-file, else the record count after moving to the last row.
// Pass-through.
int64_t CountRows(Recordset& rs);

// How the two copies write names in their join condition.
enum class Naming { kBare, kBracketed };

// The keys split at "," joined as "(T.k=link.k)" terms with " AND ", "" for an empty list.
std::string JoinCondition(std::string_view target_table, std::string_view link_name,
                          std::string_view key_list, Naming naming);

}  // namespace kr::db::internal
