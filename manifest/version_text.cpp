#include "db/db.h"
#include "manifest/manifest.h"

namespace kr::manifest {

void WriteVersionText(std::string_view settings_database, std::string_view statement) {
  db::Database db = db::OpenAppDatabase(settings_database);
  db.Execute(statement);
  db.Close();
}

}  // namespace kr::manifest
