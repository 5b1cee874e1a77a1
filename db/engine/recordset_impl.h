// The recordset object behind Recordset handles. Internal to db/engine.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/engine/engine_internal.h"
#include "db/engine/generator.h"

namespace kr::db::engine::internal {

class RecordsetImpl : public std::enable_shared_from_this<RecordsetImpl> {
 public:
  RecordsetImpl(std::shared_ptr<DatabaseImpl> database, int type, int options, RowSource source);

  DatabaseImpl& db() const;
  bool is_open() const { return open_; }
  void Close();

  int type() const { return type_; }
  int FieldCount() const { return static_cast<int>(source_.columns.size()); }
  const OutputColumn& Column(int index) const;
  int FieldIndex(std::string_view name) const;  // -1 when missing

  bool Eof() const;
  bool Bof() const;
  void MoveFirst();
  void MoveLast();
  void MoveNext();
  void MovePrevious();
  int64_t RecordCount();

  Value GetValue(int index);
  void SetValue(int index, const Value& value);

  void Edit();
  void AddNew();
  void Update();
  void CancelUpdate();
  void Delete();
  int EditMode() const { return edit_mode_; }

  void Find(std::string_view criteria, bool forward, bool from_current);
  bool NoMatch() const { return no_match_; }

  std::string Index() const { return index_; }
  void SetIndex(std::string_view name);
  void Seek(std::string_view comparison, const std::vector<Value>& keys);

 private:
  bool keyed() const { return source_.keyed; }
  // The keyset, read on first use (a table recordset used only for its Fields reads nothing).
  std::vector<int64_t>& Keys() const;
  void LoadKeyset() const;
  // Rows in the recordset (counted without reading the keyset when it is not read yet).
  int64_t Size() const;
  void Fetch();  // reads the current row into row_
  void StreamTo(int64_t position);
  void RequireCurrent();
  void RequireUpdatable();
  const TableInfo& BaseTable();
  Value ConvertForColumn(int index, const Value& value);
  void RefreshPositionMap();

  std::shared_ptr<DatabaseImpl> database_;
  int type_;
  int options_;
  RowSource source_;
  bool open_ = true;

  // Keyed recordsets: the row ids in order. Streaming ones: the cursor and how far it got.
  mutable std::vector<int64_t> keys_;
  mutable bool keys_loaded_ = false;
  mutable int64_t count_ = -1;
  // Rows are read in windows of up to kWindow rows around the current one.
  static constexpr int kWindow = 64;
  std::unordered_map<int64_t, std::vector<Value>> window_;
  bool moving_back_ = false;
  std::unordered_map<int64_t, int64_t> position_of_;
  mutable bool position_map_valid_ = false;
  std::unique_ptr<Statement> cursor_;
  int64_t streamed_ = 0;  // rows the cursor has delivered
  bool stream_done_ = false;
  int64_t stream_total_ = -1;

  mutable int64_t position_ = 0;  // 0-based; -1 before the first, size at the end
  int64_t reached_ = -1;          // rows reached so far (RecordCount of dynasets and snapshots);
                                  // -1 right after opening: 1 unless empty
  mutable bool current_deleted_ = false;
  std::vector<Value> row_;
  mutable bool row_valid_ = false;

  int edit_mode_ = 0;
  std::vector<Value> buffer_;
  std::vector<bool> dirty_;
  bool no_match_ = false;
  std::string index_;
};

}  // namespace kr::db::engine::internal
