// The generators of the statements Execute runs. Internal to db/engine.
#pragma once

#include <string>

#include <vector>

#include "db/engine/catalog.h"
#include "db/engine/jet_ast.h"

namespace kr::db::engine::internal {

class DatabaseImpl;

std::string GenerateInsert(DatabaseImpl& db, const Insert& insert, bool fail_on_error);
// An UPDATE, and the unique indexes of its table that it may shift keys within (SET k=k+1):
// SQLite checks uniqueness row by row, Jet once the statement is through, so the statement runs
// with those indexes dropped and rebuilt afterwards.
struct GeneratedUpdate {
  std::string sql;
  std::string table;  // SQLite name, in main
  std::vector<IndexDef> shifted_indexes;
};
GeneratedUpdate GenerateUpdate(DatabaseImpl& db, const Update& update, bool fail_on_error);
std::string GenerateDelete(DatabaseImpl& db, const Delete& del);
// SELECT ... INTO: makes the table from the result's columns and fills it; the rows it added.
int64_t RunSelectInto(DatabaseImpl& db, Select& select, bool fail_on_error);
// Definition statements run directly (they change the catalog too).
void RunCreateTable(DatabaseImpl& db, const engine::CreateTable& create);
void RunCreateIndex(DatabaseImpl& db, const engine::CreateIndex& create);
void RunAlterTable(DatabaseImpl& db, const AlterTable& alter);
void RunDropIndex(DatabaseImpl& db, const engine::DropIndex& drop);

}  // namespace kr::db::engine::internal
