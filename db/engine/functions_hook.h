// The SQL functions every connection of the engine gets (Jet's functions and conversions).
// Internal to db/engine.
#pragma once

#include <sqlite3.h>

namespace kr::db::engine::internal {

// skipping_rows: what kr_skipping() answers (Connection::skipping_rows).
void RegisterEngineFunctions(sqlite3* db, const bool* skipping_rows);

class RecordsetImpl;
// Closes a recordset (its database is closing).
void CloseRecordset(RecordsetImpl& recordset);

}  // namespace kr::db::engine::internal
