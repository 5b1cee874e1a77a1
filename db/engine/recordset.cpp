// Recordsets: navigation, RecordCount with DAO's meaning, field values, edits, Find and Seek.
#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "db/engine/engine_errors.h"
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
  if (current_deleted_) Raise(kEngRecordDeleted);
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
    if (cached == window_.end()) Raise(kEngRecordDeleted);
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

Value RecordsetImpl::ConvertForColumn(int index, const Value& value) {
  const FieldDef& f = Column(index).def;
  if (value.IsNull()) return value;
  try {
    switch (f.type) {
      case kBoolean:
        return Value::Boolean(value.ToBoolean());
      case kByte: {
        int32_t v = value.ToLong();
        if (v < 0 || v > 255) Raise(kJetOverflow);
        return Value::Byte(static_cast<uint8_t>(v));
      }
      case kInteger: {
        int32_t v = value.ToLong();
        if (v < -32768 || v > 32767) Raise(kJetOverflow);
        return Value::Integer(static_cast<int16_t>(v));
      }
      case kLong:
        return Value::Long(value.ToLong());
      case kCurrency:
        return Value::Currency(value.ToCurrency());
      case kSingle: {
        double d = value.ToDouble();
        if (std::fabs(d) > 3.4028234663852886e38) Raise(kJetOverflow);
        return Value::Single(static_cast<float>(d));
      }
      case kDouble:
        return Value::Double(value.ToDouble());
      case kDate:
        return Value::Date(value.ToDate());
      case kText:
      case kMemo: {
        std::string text = value.kind() == Value::Kind::kBinary ? value.text() : value.ToText();
        return Value::Text(std::move(text));
      }
      default:
        return value.kind() == Value::Kind::kText ? Value::Binary(value.text()) : value;
    }
  } catch (const Failure& failure) {
    if (failure.number() == kJetOverflow) throw;
    Raise(kEngConversionError);
  }
}

void RecordsetImpl::SetValue(int index, const Value& value) {
  db();
  const OutputColumn& column = Column(index);
  if (edit_mode_ == 0) Raise(kDaoUpdateWithoutEdit);
  if (column.base_index < 0) Raise(kDaoReadOnly);
  buffer_[static_cast<size_t>(index)] = ConvertForColumn(index, value);
  dirty_[static_cast<size_t>(index)] = true;
}

void RecordsetImpl::Edit() {
  RequireUpdatable();
  RequireCurrent();
  Fetch();
  buffer_ = row_;
  dirty_.assign(static_cast<size_t>(FieldCount()), false);
  edit_mode_ = 1;
}

void RecordsetImpl::AddNew() {
  RequireUpdatable();
  Keys();  // read before the new row exists, which Update then appends
  buffer_.assign(static_cast<size_t>(FieldCount()), Value());
  dirty_.assign(static_cast<size_t>(FieldCount()), false);
  edit_mode_ = 2;
}

void RecordsetImpl::CancelUpdate() {
  db();
  if (edit_mode_ == 0) Raise(kDaoUpdateWithoutEdit);
  edit_mode_ = 0;
}

void RecordsetImpl::Update() {
  db();
  if (edit_mode_ == 0) Raise(kDaoUpdateWithoutEdit);
  Connection& c = db().connection();
  std::string table = Quote(source_.base_schema) + "." + Quote(source_.base_table);
  std::vector<int> changed;
  for (int i = 0; i < FieldCount(); ++i)
    if (dirty_[static_cast<size_t>(i)]) changed.push_back(i);
  auto column_name = [&](int i) {
    return Quote(source_.columns[static_cast<size_t>(i)].source_field);
  };
  if (edit_mode_ == 1) {
    if (!changed.empty()) {
      std::string sql = "UPDATE " + table + " SET ";
      for (size_t k = 0; k < changed.size(); ++k)
        sql += (k ? ", " : "") + column_name(changed[k]) + "=?" + std::to_string(k + 1);
      sql += " WHERE rowid=?" + std::to_string(changed.size() + 1);
      int64_t rowid = Keys()[static_cast<size_t>(position_)];
      db().WriteRow([&] {
        Statement& s = c.Prepare(sql);
        for (size_t k = 0; k < changed.size(); ++k)
          s.Bind(static_cast<int>(k + 1), buffer_[static_cast<size_t>(changed[k])]);
        s.BindInt(static_cast<int>(changed.size() + 1), rowid);
        s.Step();
        s.Reset();
      });
    }
  } else {
    std::string sql = "INSERT INTO " + table;
    if (changed.empty()) {
      sql += " DEFAULT VALUES";
    } else {
      std::string columns, marks;
      for (size_t k = 0; k < changed.size(); ++k) {
        columns += (k ? ", " : "") + column_name(changed[k]);
        marks += (k ? ", ?" : "?") + std::to_string(k + 1);
      }
      sql += " (" + columns + ") VALUES (" + marks + ")";
    }
    db().WriteRow([&] {
      Statement& s = c.Prepare(sql);
      for (size_t k = 0; k < changed.size(); ++k)
        s.Bind(static_cast<int>(k + 1), buffer_[static_cast<size_t>(changed[k])]);
      s.Step();
      s.Reset();
    });
    Keys().push_back(sqlite3_last_insert_rowid(c.handle()));
    position_map_valid_ = false;
    if (type_ != kOpenTable) reached_ = std::max<int64_t>(reached_, 0) + 1;
  }
  edit_mode_ = 0;
  row_valid_ = false;
  window_.clear();
}

void RecordsetImpl::Delete() {
  RequireUpdatable();
  RequireCurrent();
  edit_mode_ = 0;
  int64_t rowid = Keys()[static_cast<size_t>(position_)];
  Connection& c = db().connection();
  db().WriteRow([&] {
    Statement& s = c.Prepare("DELETE FROM " + Quote(source_.base_schema) + "." +
                             Quote(source_.base_table) + " WHERE rowid=?1");
    s.BindInt(1, rowid);
    s.Step();
    s.Reset();
  });
  Keys().erase(Keys().begin() + position_);
  window_.clear();
  position_map_valid_ = false;
  current_deleted_ = true;
  row_valid_ = false;
  if (type_ != kOpenTable && reached_ > 0) --reached_;
}

void RecordsetImpl::RefreshPositionMap() {
  if (position_map_valid_) return;
  position_of_.clear();
  position_of_.reserve(Keys().size());
  for (size_t i = 0; i < Keys().size(); ++i) position_of_[Keys()[i]] = static_cast<int64_t>(i);
  position_map_valid_ = true;
}

void RecordsetImpl::Find(std::string_view criteria, bool forward, bool from_current) {
  db();
  if (!keyed()) Raise(kDaoOperationNotSupported);
  std::string condition = CriteriaSql(db(), source_, criteria);
  std::string sql = "SELECT " + Quote(source_.alias) + ".rowid FROM " + source_.from_sql +
                    " WHERE (" + condition + ")" +
                    (source_.where_sql.empty() ? "" : " AND (" + source_.where_sql + ")");
  RefreshPositionMap();  // before Prepare: reading the keyset prepares statements of its own
  Statement& s = db().connection().Prepare(sql);
  int64_t best = -1;
  int64_t current = current_deleted_ ? position_ - (forward ? 1 : 0) : position_;
  while (s.Step()) {
    auto found = position_of_.find(s.Int(0));
    if (found == position_of_.end()) continue;
    int64_t p = found->second;
    if (from_current && (forward ? p <= current : p >= current)) continue;
    if (best < 0 || (forward ? p < best : p > best)) best = p;
  }
  s.Reset();
  no_match_ = best < 0;
  if (no_match_) return;
  edit_mode_ = 0;
  current_deleted_ = false;
  position_ = best;
  row_valid_ = false;
  reached_ = std::max(reached_, best + 1);
}

void RecordsetImpl::SetIndex(std::string_view name) {
  db();
  if (type_ != kOpenTable) Raise(kDaoOperationNotSupported);
  const TableInfo& table = db().Table(source_.base_table);
  const IndexDef* index = table.FindIndex(name);
  if (index == nullptr) Raise(kEngNotAnIndex, name);
  source_ = PlanTable(db(), source_.base_table, index->name);
  index_ = index->name;
  window_.clear();
  LoadKeyset();
  position_ = 0;
  row_valid_ = false;
  current_deleted_ = false;
}

void RecordsetImpl::Seek(std::string_view comparison, const std::vector<Value>& keys) {
  db();
  if (type_ != kOpenTable || index_.empty()) Raise(kDaoOperationNotSupported);
  const TableInfo& table = db().Table(source_.base_table);
  const IndexDef* index = table.FindIndex(index_);
  if (index == nullptr) Raise(kEngNotAnIndex, index_);
  if (keys.empty() || keys.size() > index->columns.size()) Raise(kDaoInvalidArgument);
  std::string op(comparison);
  if (op != "=" && op != ">=" && op != ">" && op != "<=" && op != "<") Raise(kDaoInvalidArgument);
  std::string left, right, order;
  bool backward = op == "<" || op == "<=";
  for (size_t i = 0; i < keys.size(); ++i) {
    std::string column = Quote(source_.alias) + "." + Quote(index->columns[i].first);
    left += (i ? "," : "") + column;
    right += (i ? ",?" : "?") + std::to_string(i + 1);
    order += (i ? ", " : "") + column + (backward ? " DESC" : "");
  }
  if (keys.size() > 1) {
    left = "(" + left + ")";
    right = "(" + right + ")";
  }
  std::string sql = "SELECT " + Quote(source_.alias) + ".rowid FROM " + source_.from_sql +
                    " WHERE " + left + op + right + " ORDER BY " + order + " LIMIT 1";
  Statement& s = db().connection().Prepare(sql);
  for (size_t i = 0; i < keys.size(); ++i) {
    const FieldDef* f = table.FindField(index->columns[i].first);
    Value key = keys[i];
    if (f != nullptr && !key.IsNull() && (f->type == kText || f->type == kMemo))
      key = Value::Text(key.ToText());
    s.Bind(static_cast<int>(i + 1), key);
  }
  int64_t rowid = -1;
  if (s.Step()) rowid = s.Int(0);
  s.Reset();
  no_match_ = true;
  if (rowid < 0) return;
  RefreshPositionMap();
  auto found = position_of_.find(rowid);
  if (found == position_of_.end()) return;
  no_match_ = false;
  edit_mode_ = 0;
  current_deleted_ = false;
  position_ = found->second;
  row_valid_ = false;
}

}  // namespace internal

// --- Database::OpenRecordset and the handle -----------------------------------------------------

Recordset Database::OpenRecordset(std::string_view source, int type, int options) {
  if (impl_ == nullptr || !impl_->is_open()) internal::RaiseNotSet();
  internal::DatabaseImpl& db = *impl_;
  std::string_view text = source;
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                           text.front() == '\n'))
    text.remove_prefix(1);
  std::string first;
  for (char c : text.substr(0, 9))
    first.push_back(static_cast<char>(toupper(static_cast<unsigned char>(c))));
  bool statement =
      first.rfind("SELECT", 0) == 0 || first.rfind("(", 0) == 0 || first.rfind("TRANSFORM", 0) == 0;
  db.connection().SetLargeCache(false);
  internal::RowSource plan;
  if (!statement) {
    std::string name(text);
    while (!name.empty() && (name.back() == ' ' || name.back() == ';')) name.pop_back();
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
      name = name.substr(1, name.size() - 2);
    const internal::TableInfo& info = db.Table(name);
    if (type == kOpenDefault) type = info.linked ? kOpenDynaset : kOpenTable;
    if (type == kOpenTable) {
      plan = internal::PlanTable(db, info.name, "");
    } else {
      plan = internal::PlanQuery(db, "SELECT * FROM [" + info.name + "]");
    }
  } else {
    if (type == kOpenDefault) type = kOpenDynaset;
    if (type == kOpenTable) Raise(kDaoInvalidOperation);
    plan = internal::PlanQuery(db, text);
  }
  auto recordset = std::make_shared<internal::RecordsetImpl>(impl_, type, options, std::move(plan));
  db.RegisterRecordset(recordset);
  return Recordset(recordset);
}

namespace {
internal::RecordsetImpl& Rs(const std::shared_ptr<internal::RecordsetImpl>& impl) {
  if (impl == nullptr || !impl->is_open()) internal::RaiseNotSet();
  impl->db();
  return *impl;
}
}  // namespace

int Recordset::Type() const { return Rs(impl_).type(); }
bool Recordset::Eof() const { return Rs(impl_).Eof(); }
bool Recordset::Bof() const { return Rs(impl_).Bof(); }
void Recordset::MoveFirst() { Rs(impl_).MoveFirst(); }
void Recordset::MoveLast() { Rs(impl_).MoveLast(); }
void Recordset::MoveNext() { Rs(impl_).MoveNext(); }
void Recordset::MovePrevious() { Rs(impl_).MovePrevious(); }
int64_t Recordset::RecordCount() const { return Rs(impl_).RecordCount(); }
FieldCollection Recordset::Fields() const {
  Rs(impl_);
  return FieldCollection(impl_);
}
Field Recordset::operator[](std::string_view name) const { return Fields().Item(name); }
Field Recordset::operator[](int index) const { return Fields().Item(index); }
void Recordset::Edit() { Rs(impl_).Edit(); }
void Recordset::AddNew() { Rs(impl_).AddNew(); }
void Recordset::Update() { Rs(impl_).Update(); }
void Recordset::CancelUpdate() { Rs(impl_).CancelUpdate(); }
void Recordset::Delete() { Rs(impl_).Delete(); }
int Recordset::EditMode() const { return Rs(impl_).EditMode(); }
void Recordset::FindFirst(std::string_view criteria) { Rs(impl_).Find(criteria, true, false); }
void Recordset::FindNext(std::string_view criteria) { Rs(impl_).Find(criteria, true, true); }
void Recordset::FindLast(std::string_view criteria) { Rs(impl_).Find(criteria, false, false); }
void Recordset::FindPrevious(std::string_view criteria) { Rs(impl_).Find(criteria, false, true); }
bool Recordset::NoMatch() const { return Rs(impl_).NoMatch(); }
std::string Recordset::Index() const { return Rs(impl_).Index(); }
void Recordset::SetIndex(std::string_view name) { Rs(impl_).SetIndex(name); }
void Recordset::Seek(std::string_view comparison, const std::vector<Value>& keys) {
  Rs(impl_).Seek(comparison, keys);
}
void Recordset::Close() {
  if (impl_ != nullptr) impl_->Close();
}

}  // namespace kr::db::engine
