// krdb diff inside app/krdb: what the comparison finds, and the writers of its three formats.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/krdb/krdb_internal.h"

namespace kr::krdb::diff {

using Row = std::vector<Value>;

// One table as both sides hold it; a or b is an empty handle when the table is on one side only.
struct TableDiff {
  std::string name;
  engine::TableDef a, b;
  std::vector<std::string> schema;   // "+ field X TEXT(10)", "~ index PrimaryKey", ...
  bool recreate = false;             // fields or key differ: the script makes the table again
  bool keyed = false;                // rows matched by the shared primary key, else as multisets
  std::vector<std::string> columns;  // compared, in b's order
  std::vector<size_t> key;           // positions of the key columns in columns
  std::vector<std::string> drop_indexes;
  std::vector<engine::IndexInfo> create_indexes;
};

// Receives the differences as the merge finds them, one table at a time.
class Writer {
 public:
  virtual ~Writer() = default;
  virtual void Begin(const std::string& a_name, const std::string& b_name) = 0;
  virtual void BeginTable(const TableDiff& table) = 0;
  virtual void Removed(const Row& row) = 0;
  virtual void Added(const Row& row) = 0;
  virtual void Changed(const Row& before, const Row& after) = 0;
  // A keyless group whose copies differ: every row equal to before's goes, after's come.
  virtual void Regroup(const std::vector<Row>& before, const std::vector<Row>& after) = 0;
  virtual void EndTable(const TableDiff& table, int64_t removed, int64_t added,
                        int64_t changed) = 0;
  virtual void End(bool differ) = 0;
};

std::unique_ptr<Writer> MakeWriter(const DiffOptions& options, engine::Database& b,
                                   std::ostream& out);

}  // namespace kr::krdb::diff
