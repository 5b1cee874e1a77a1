// libmdb behind a small interface: an Access file's tables as our table definitions, and
// cursors that read one table's rows in file order. Internal to db/engine.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/engine/catalog.h"

namespace kr::db::engine::internal {

// One value of a row, in the storage our catalog gives its field's type.
struct AccessCell {
  enum class Kind : uint8_t { kNull, kInteger, kReal, kText, kBlob };
  Kind kind = Kind::kNull;
  int64_t integer = 0;
  double real = 0;
  std::string bytes;  // text (UTF-8) or blob
};

class AccessFile;

// Reads one table from the start. A cursor has its own page buffers, so two cursors on the
// same table (a self-join) do not disturb each other.
class AccessCursor {
 public:
  ~AccessCursor();
  AccessCursor(const AccessCursor&) = delete;
  AccessCursor& operator=(const AccessCursor&) = delete;

  // Moves to the next row; false at the end.
  bool Next();
  // The current row's value of field index (in TableInfo order).
  const AccessCell& Cell(int index);
  int64_t row_number() const { return row_number_; }

 private:
  friend class AccessFile;
  struct State;
  explicit AccessCursor(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
  int64_t row_number_ = 0;
};

// An open Access file. Shared by the virtual tables of one file (OpenAccessFile hands out the
// same object while one is alive).
class AccessFile {
 public:
  ~AccessFile();
  AccessFile(const AccessFile&) = delete;
  AccessFile& operator=(const AccessFile&) = delete;

  // The user tables with their fields and indexes (relationship indexes left out).
  const std::vector<TableInfo>& tables() const { return tables_; }
  const TableInfo* Find(const std::string& name) const;
  // Rows of a table in tables(); 3078 when it has gone.
  std::unique_ptr<AccessCursor> Open(const std::string& name);
  int64_t RowCountHint(const std::string& name) const;

 private:
  friend std::shared_ptr<AccessFile> OpenAccessFile(const std::string&, std::string_view);
  struct Handle;
  AccessFile() = default;
  std::unique_ptr<Handle> handle_;
  std::vector<TableInfo> tables_;
  std::vector<int64_t> row_counts_;
};

// Opens the file (3343 when libmdb cannot read it as an Access file).
std::shared_ptr<AccessFile> OpenAccessFile(const std::string& native, std::string_view shown);

}  // namespace kr::db::engine::internal
