// Recordsets: navigation over a keyset or a streaming cursor, RecordCount with DAO's meaning,
// field values read in windows of rows.
#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "db/engine/dao_errors.h"
#include "db/engine/functions_hook.h"
#include "db/engine/recordset_impl.h"

namespace kr::db::engine {

namespace internal {

void CloseRecordset(RecordsetImpl& recordset) { recordset.Close(); }

RecordsetImpl::RecordsetImpl(std::shared_ptr<DatabaseImpl> database, int type, int options,
                             RowSource source)
    : database_(std::move(database)), type_(type), options_(options), source_(std::move(source)) {
  if (type_ == kOpenSnapshot || type_ == kOpenForwardOnly || (options_ & kReadOnly))
    source_.updatable = false;
  if (!keyed()) {
    cursor_ = db().connection().PrepareOwned(source_.stream_sql);
    StreamTo(0);
  }
}

DatabaseImpl& RecordsetImpl::db() const {
  if (!open_ || database_ == nullptr || !database_->is_open()) RaiseNotSet();
  return *database_;
}

void RecordsetImpl::Close() {
  open_ = false;
  cursor_.reset();
  keys_.clear();
  keys_.shrink_to_fit();
  window_.clear();
  position_of_.clear();
}

const OutputColumn& RecordsetImpl::Column(int index) const {
  if (index < 0 || index >= FieldCount()) Raise(kDaoItemNotFound);
  return source_.columns[static_cast<size_t>(index)];
}

int RecordsetImpl::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < source_.columns.size(); ++i)
    if (SameName(source_.columns[i].def.name, name)) return static_cast<int>(i);
  // "T.col" fields answer to "col" as well when that is unambiguous.
  int found = -1;
  for (size_t i = 0; i < source_.columns.size(); ++i) {
    const std::string& n = source_.columns[i].def.name;
    size_t dot = n.rfind('.');
    if (dot != std::string::npos && SameName(std::string_view(n).substr(dot + 1), name)) {
      if (found >= 0) return -1;
      found = static_cast<int>(i);
    }
  }
  return found;
}

void RecordsetImpl::LoadKeyset() const {
  keys_.clear();
  position_map_valid_ = false;
  Statement& s = db().connection().Prepare(source_.keyset_sql);
  while (s.Step()) keys_.push_back(s.Int(0));
  s.Reset();
  keys_loaded_ = true;
}

int64_t RecordsetImpl::Size() const {
  if (keys_loaded_) return static_cast<int64_t>(keys_.size());
  if (count_ < 0) {
    // Counting needs no keyset: MoveLast and RecordCount read none.
    Statement& s = db().connection().Prepare(source_.count_sql);
    count_ = s.Step() ? s.Int(0) : 0;
    s.Reset();
  }
  return count_;
}

std::vector<int64_t>& RecordsetImpl::Keys() const {
  if (!keys_loaded_) LoadKeyset();
  return keys_;
}

// Streaming: moves the cursor so that the current row is the row at position (re-running the
// statement when it must go back).
void RecordsetImpl::StreamTo(int64_t position) {
  if (position < streamed_ - 1 || (position == streamed_ - 1 && !row_valid_) ||
      (streamed_ == 0 && position == 0 && !row_valid_ && !stream_done_)) {
    cursor_->Reset();
    streamed_ = 0;
    stream_done_ = false;
  }
  while (streamed_ <= position && !stream_done_) {
    if (cursor_->Step()) {
      ++streamed_;
      if (streamed_ - 1 == position) {
        row_.clear();
        for (int i = 0; i < FieldCount(); ++i)
          row_.push_back(cursor_->Get(i, source_.columns[static_cast<size_t>(i)].def.type));
        row_valid_ = true;
      }
    } else {
      stream_done_ = true;
      stream_total_ = streamed_;
      cursor_->Reset();  // release the read lock once the end is reached
    }
  }
  position_ = std::min(position, stream_done_ ? stream_total_ : position);
  if (stream_done_ && position >= stream_total_) row_valid_ = false;
}

bool RecordsetImpl::Eof() const {
  if (!open_) RaiseNotSet();
  if (keyed()) return Size() == 0 || position_ >= Size();
  return stream_done_ && position_ >= stream_total_;
}

bool RecordsetImpl::Bof() const {
  if (!open_) RaiseNotSet();
  if (keyed()) return Size() == 0 || position_ < 0;
  return position_ < 0 || (stream_done_ && stream_total_ == 0);
}

void RecordsetImpl::MoveFirst() {
  db();
  edit_mode_ = 0;
  current_deleted_ = false;
  if (keyed()) {
    if (Size() == 0) Raise(kDaoNoCurrentRecord);
    position_ = 0;
    row_valid_ = false;
    return;
  }
  row_valid_ = false;
  StreamTo(0);
  if (Eof()) Raise(kDaoNoCurrentRecord);
}

void RecordsetImpl::MoveLast() {
  db();
  edit_mode_ = 0;
  current_deleted_ = false;
  if (keyed()) {
    if (Size() == 0) Raise(kDaoNoCurrentRecord);
    position_ = Size() - 1;
    reached_ = Size();
    row_valid_ = false;
    return;
  }
  // Walk to the end keeping only the last row.
  while (!stream_done_) {
    if (cursor_->Step()) {
      ++streamed_;
      row_.clear();
      for (int i = 0; i < FieldCount(); ++i)
        row_.push_back(cursor_->Get(i, source_.columns[static_cast<size_t>(i)].def.type));
    } else {
      stream_done_ = true;
      stream_total_ = streamed_;
      cursor_->Reset();
    }
  }
  if (stream_total_ == 0) Raise(kDaoNoCurrentRecord);
  position_ = stream_total_ - 1;
  row_valid_ = true;
  reached_ = stream_total_;
}

void RecordsetImpl::MoveNext() {
  db();
  moving_back_ = false;
  if (Eof()) Raise(kDaoNoCurrentRecord);
  edit_mode_ = 0;
  if (keyed()) {
    if (current_deleted_)
      current_deleted_ = false;  // the next row has moved into the deleted one's place
    else
      ++position_;
    row_valid_ = false;
  } else {
    row_valid_ = false;
    StreamTo(position_ + 1);
    if (!stream_done_ || position_ < stream_total_) position_ = streamed_ - 1;
    if (stream_done_ && position_ >= stream_total_ - 1 && !row_valid_) position_ = stream_total_;
  }
  int64_t total = keyed() ? Size() : (stream_done_ ? stream_total_ : position_ + 1);
  if (reached_ < 0) reached_ = 1;
  reached_ = std::max(reached_, std::min(position_ + 1, total));
}

void RecordsetImpl::MovePrevious() {
  db();
  moving_back_ = true;
  if (Bof()) Raise(kDaoNoCurrentRecord);
  edit_mode_ = 0;
  current_deleted_ = false;
  row_valid_ = false;
  if (keyed()) {
    --position_;
    return;
  }
  if (position_ == 0) {
    position_ = -1;
    return;
  }
  StreamTo(position_ - 1);
}

int64_t RecordsetImpl::RecordCount() {
  db();
  if (type_ == kOpenTable) return Size();
  if (reached_ < 0) reached_ = Eof() ? 0 : 1;
  return reached_;
}

void RecordsetImpl::RequireCurrent() {
  if (current_deleted_) Raise(kDaoRecordDeleted);
  if (Eof() || Bof()) Raise(kDaoNoCurrentRecord);
}

void RecordsetImpl::RequireUpdatable() {
  db();
  if (!keyed() || !source_.updatable || db().read_only()) Raise(kDaoReadOnly);
}

void RecordsetImpl::Fetch() {
  if (row_valid_) return;
  if (!keyed()) {
    StreamTo(position_);
    return;
  }
  std::vector<int64_t>& keys = Keys();
  int64_t rowid = keys[static_cast<size_t>(position_)];
  auto cached = window_.find(rowid);
  if (cached == window_.end()) {
    // One statement per window of rows keeps a walk from paying a read transaction per row.
    window_.clear();
    int64_t size = static_cast<int64_t>(keys.size());
    int64_t first = moving_back_ ? std::max<int64_t>(0, position_ - kWindow + 1) : position_;
    int64_t last = std::min(size, first + kWindow);
    Statement& s = db().connection().Prepare(source_.window_sql);
    for (int64_t p = first; p < last; ++p)
      s.BindInt(static_cast<int>(p - first + 1), keys[static_cast<size_t>(p)]);
    while (s.Step()) {
      std::vector<Value> row;
      row.reserve(static_cast<size_t>(FieldCount()));
      for (int i = 0; i < FieldCount(); ++i)
        row.push_back(s.Get(i + 1, source_.columns[static_cast<size_t>(i)].def.type));
      window_.emplace(s.Int(0), std::move(row));
    }
    s.Reset();
    cached = window_.find(rowid);
    if (cached == window_.end()) Raise(kDaoRecordDeleted);
  }
  row_ = cached->second;
  row_valid_ = true;
}

Value RecordsetImpl::GetValue(int index) {
  db();
  Column(index);
  size_t i = static_cast<size_t>(index);
  if (edit_mode_ != 0 && (dirty_[i] || edit_mode_ == 2)) return buffer_[i];
  RequireCurrent();
  Fetch();
  return row_[i];
}

}  // namespace internal
}  // namespace kr::db::engine
