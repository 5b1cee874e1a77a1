// The SQLite file layer of the engine: every database file, journal and temporary file the
// engine's connections open goes through platform::CurrentEnv()'s database-file methods, so
// that tests can fail any of them. Internal to db/engine.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>

namespace kr::db::engine::internal {

// The name to open connections with; registers the layer on first use (not as SQLite's
// default, so that other users of SQLite in the process keep theirs).
const char* VfsName();

// The English text of the last failed operation on each file of db (its databases and their
// journals), for the log; "" when none. Taking it clears it, so that it is told once.
std::string TakeFileError(sqlite3* db);

// The change counter in the header of db's main file, read without a lock: every commit to a
// file in rollback-journal mode, by any connection of any process, changes it. Empty when main
// is not a file of this layer (an in-memory image) or cannot be read.
std::optional<uint32_t> ReadChangeCounter(sqlite3* db);

}  // namespace kr::db::engine::internal
