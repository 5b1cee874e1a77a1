// Recordset edits (Edit, AddNew, Update, Delete with the table's conversions and rules),
// Find and Seek.
#include <algorithm>
#include <cmath>

#include "db/engine/dao_errors.h"
#include "db/engine/recordset_impl.h"

namespace kr::db::engine::internal {

namespace {

// A value as field's column holds it: Currency in ten-thousandths, or in the REAL units of an
// older build's column.
Value Stored(const FieldDef& field, const Value& value) {
  if (field.type != kCurrency || value.IsNull()) return value;
  const int64_t scaled = value.ToCurrency();
  if (field.real_currency) return Value::Double(static_cast<double>(scaled) / 10000.0);
  return Value::Currency(scaled);
}

}  // namespace

Value RecordsetImpl::ConvertForColumn(int index, const Value& value) {
  const FieldDef& f = Column(index).def;
  if (value.IsNull()) return f.type == kBoolean ? Value::Boolean(false) : value;  // never Null
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
    Raise(kDaoConversionError);
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
  std::string table = SqlIdentifier(source_.base_schema) + "." + SqlIdentifier(source_.base_table);
  std::vector<int> changed;
  for (int i = 0; i < FieldCount(); ++i)
    if (dirty_[static_cast<size_t>(i)]) changed.push_back(i);
  auto column_name = [&](int i) {
    return SqlIdentifier(source_.columns[static_cast<size_t>(i)].source_field);
  };
  auto stored = [&](int i) {
    return Stored(source_.columns[static_cast<size_t>(i)].def, buffer_[static_cast<size_t>(i)]);
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
          s.Bind(static_cast<int>(k + 1), stored(changed[k]));
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
        s.Bind(static_cast<int>(k + 1), stored(changed[k]));
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
    Statement& s = c.Prepare("DELETE FROM " + SqlIdentifier(source_.base_schema) + "." +
                             SqlIdentifier(source_.base_table) + " WHERE rowid=?1");
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
  std::string sql = "SELECT " + SqlIdentifier(source_.alias) + ".rowid FROM " + source_.from_sql +
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
  if (index == nullptr) Raise(kDaoNotAnIndex, name);
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
  if (index == nullptr) Raise(kDaoNotAnIndex, index_);
  if (keys.empty() || keys.size() > index->columns.size()) Raise(kDaoInvalidArgument);
  std::string op(comparison);
  if (op != "=" && op != ">=" && op != ">" && op != "<=" && op != "<") Raise(kDaoInvalidArgument);
  std::string left, right, order;
  bool backward = op == "<" || op == "<=";
  for (size_t i = 0; i < keys.size(); ++i) {
    std::string column =
        SqlIdentifier(source_.alias) + "." + SqlIdentifier(index->columns[i].first);
    left += (i ? "," : "") + column;
    right += (i ? ",?" : "?") + std::to_string(i + 1);
    order += (i ? ", " : "") + column + (backward ? " DESC" : "");
  }
  if (keys.size() > 1) {
    left = "(" + left + ")";
    right = "(" + right + ")";
  }
  std::string sql = "SELECT " + SqlIdentifier(source_.alias) + ".rowid FROM " + source_.from_sql +
                    " WHERE " + left + op + right + " ORDER BY " + order + " LIMIT 1";
  Statement& s = db().connection().Prepare(sql);
  for (size_t i = 0; i < keys.size(); ++i) {
    const FieldDef* f = table.FindField(index->columns[i].first);
    Value key = keys[i];
    if (f != nullptr && !key.IsNull() && (f->type == kText || f->type == kMemo))
      key = Value::Text(key.ToText());
    if (f != nullptr) key = Stored(*f, key);
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

}  // namespace kr::db::engine::internal
