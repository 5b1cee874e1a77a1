// krdb diff: the comparison of the two databases, written in the format asked for.
#include "app/krdb/diff_internal.h"

namespace kr::krdb {

bool Diff(engine::Database& a, engine::Database& b, const DiffOptions& options, std::ostream& out) {
  std::unique_ptr<diff::Writer> writer = diff::MakeWriter(options, b, out);
  return db::CompareDatabases(a, b, options.tables, *writer);
}

}  // namespace kr::krdb
