// Files written by Access (Jet 3, Jet 4, ACE), read through libmdb. Internal to db/engine.
//
// Such a file opens as a read-only database of ours: an in-memory image holds our catalog of its
// tables (types, sizes, keys, indexes) and one virtual table ("kr_access") per table whose rows
// libmdb reads page by page as a statement walks them, so the Jet SQL translation runs over them
// unchanged and memory stays flat whatever the table's size. Nothing here writes the file.
#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>

#include "db/engine/sqlite_db.h"

namespace kr::db::engine::internal {

// True when the file at native starts with the header of an Access file, whatever its name.
bool IsAccessFile(const std::string& native);

// The database password kept (masked) in the file's header; "" when it has none. Raises 3343
// when the header cannot be read.
std::string AccessPassword(const std::string& native, std::string_view shown);

// Builds the read-only image of the Access file at native into schema of connection, which is
// "main" of a connection opened on ":memory:" or an empty in-memory schema attached as schema.
// Raises 3343 when libmdb cannot read the file.
void LoadAccessFile(Connection& connection, std::string_view schema, const std::string& native,
                    std::string_view shown);

// The virtual table module behind the image; every connection of the engine has it.
void RegisterAccessModule(sqlite3* db);

}  // namespace kr::db::engine::internal
