// The SQL functions every connection of the engine gets (Jet's functions and conversions).
// Internal to db/engine.
#pragma once

#include <sqlite3.h>

namespace kr::db::engine::internal {

void RegisterEngineFunctions(sqlite3* db);

class RecordsetImpl;
// Closes a recordset (its database is closing).
void CloseRecordset(RecordsetImpl& recordset);

}  // namespace kr::db::engine::internal
