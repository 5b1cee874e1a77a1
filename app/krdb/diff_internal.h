// krdb diff inside app/krdb: what the comparison finds, and the writers of its three formats.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/krdb/krdb_internal.h"
#include "db/db.h"

namespace kr::krdb::diff {

using Row = db::DiffRow;
using TableDiff = db::TableDiff;
using Writer = db::DiffReceiver;

std::unique_ptr<Writer> MakeWriter(const DiffOptions& options, engine::Database& b,
                                   std::ostream& out);

}  // namespace kr::krdb::diff
