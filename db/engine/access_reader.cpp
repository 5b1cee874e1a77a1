// libmdb behind AccessFile and AccessCursor: the mapping of Access column types onto ours and the
// decoding of each row's values from the page libmdb has just read.
// glib first: mdbtools.h includes it inside its extern "C" block, which C++ glib cannot take.
#include <glib.h>
// clang-format off
#include <mdbtools.h>
// clang-format on

#include <cstring>
#include <map>
#include <optional>

#include "db/engine/access_reader.h"
#include "db/engine/dao_errors.h"
#include "platform/platform.h"

namespace kr::db::engine::internal {

namespace {

// How a column's bytes become a value.
enum class Decode : uint8_t {
  kBool,
  kByte,
  kInt16,
  kInt32,
  kMoney,
  kFloat,
  kDouble,
  kExtendedDate,
  kText,
  kMemo,
  kBinary,
  kOle,
  kGuid,
  kDecimalCurrency,
  kDecimalDouble,
  kDecimalText,
  kRaw
};

struct Column {
  int mdb_index = 0;
  Decode decode = Decode::kRaw;
  int precision = 0, scale = 0;
};

// Days from 0001-01-01 to the OLE epoch 1899-12-30, and 100 ns ticks per day.
constexpr double kExtendedDateEpoch = 693593;
constexpr double kTicksPerDay = 864e9;
// A row's offset on its page, without the flags (deleted, elsewhere) in its top bits.
constexpr int kOffsetMask = 0x1FFF;

bool PropertyIs(const MdbColumn* col, const char* key, const char* value) {
  const char* p = mdb_col_get_prop(col, key);
  return p != nullptr && g_ascii_strcasecmp(p, value) == 0;
}

std::string Property(const MdbColumn* col, const char* key) {
  const char* p = mdb_col_get_prop(col, key);
  return p != nullptr ? std::string(p) : std::string();
}

// Decimal columns: exactly, in the nearest type of ours that holds every value exactly.
Decode DecimalDecode(int precision, int scale, FieldDef& f) {
  if (scale <= 4 && precision - scale <= 14) {
    f.type = kCurrency;
    return Decode::kDecimalCurrency;
  }
  if (precision <= 15) {
    f.type = kDouble;
    return Decode::kDecimalDouble;
  }
  f.type = kText;
  f.size = precision + 2;  // sign and point
  return Decode::kDecimalText;
}

// How each plain libmdb column type maps onto ours; decimals and unknown types aside.
struct TypeMapping {
  int mdb_type;
  int type;
  Decode decode;
};
constexpr TypeMapping kTypeMappings[] = {
    {MDB_BOOL, kBoolean, Decode::kBool},    {MDB_BYTE, kByte, Decode::kByte},
    {MDB_INT, kInteger, Decode::kInt16},    {MDB_LONGINT, kLong, Decode::kInt32},
    {MDB_COMPLEX, kLong, Decode::kInt32},   {MDB_MONEY, kCurrency, Decode::kMoney},
    {MDB_FLOAT, kSingle, Decode::kFloat},   {MDB_DOUBLE, kDouble, Decode::kDouble},
    {MDB_DATETIME, kDate, Decode::kDouble}, {0x14, kDate, Decode::kExtendedDate},
    {MDB_TEXT, kText, Decode::kText},       {MDB_MEMO, kMemo, Decode::kMemo},
    {MDB_BINARY, kBinary, Decode::kBinary}, {MDB_OLE, kLongBinary, Decode::kOle},
    {MDB_REPID, kText, Decode::kGuid},
};

Column MapColumn(const MdbColumn* col, bool jet3, FieldDef& f) {
  Column c;
  f.name = col->name;
  f.size = DefaultSize(kText);
  if (col->col_type == MDB_NUMERIC) {
    // libmdb keeps a decimal's precision in col_scale and its scale in col_prec.
    c.precision = col->col_scale;
    c.scale = col->col_prec;
    c.decode = DecimalDecode(c.precision, c.scale, f);
  } else {
    f.type = kLongBinary;
    c.decode = Decode::kRaw;
    for (const TypeMapping& m : kTypeMappings) {
      if (m.mdb_type != col->col_type) continue;
      f.type = m.type;
      c.decode = m.decode;
    }
    if (col->col_type == MDB_TEXT) f.size = jet3 ? col->col_size : col->col_size / 2;  // UCS-2
    if (col->col_type == MDB_BINARY) f.size = col->col_size;
    if (col->col_type == MDB_REPID) f.size = 38;
    if (col->col_type == MDB_LONGINT && col->is_long_auto) f.attributes |= kAutoIncrField;
  }
  if (f.type != kText && f.type != kBinary) f.size = DefaultSize(f.type);
  f.required = f.type != kBoolean && PropertyIs(col, "Required", "yes");
  f.allow_zero_length =
      (f.type == kText || f.type == kMemo) && !PropertyIs(col, "AllowZeroLength", "no");
  // Access's own expressions (GenGUID(), =Date()) mean nothing to a type they were not made for.
  if (c.decode != Decode::kGuid && c.decode != Decode::kDecimalText && !f.counter()) {
    f.default_value = Property(col, "DefaultValue");
    f.validation_rule = Property(col, "ValidationRule");
  }
  return c;
}

// A decimal's exact text ("-12.3400") as currency (scaled by 10,000).
bool ScaledDecimal(const std::string& text, int64_t& scaled) {
  int64_t whole = 0, fraction = 0;
  int fraction_digits = 0;
  bool negative = false, point = false, any = false;
  for (char ch : text) {
    if (ch == '-')
      negative = true;
    else if (ch == '.')
      point = true;
    else if (ch >= '0' && ch <= '9') {
      any = true;
      if (!point) {
        if (whole > (INT64_MAX / 10 - 9) / 10000) return false;
        whole = whole * 10 + (ch - '0');
      } else if (fraction_digits < 4) {
        fraction = fraction * 10 + (ch - '0');
        ++fraction_digits;
      } else if (ch != '0') {
        return false;
      }
    }
  }
  while (fraction_digits++ < 4) fraction *= 10;
  scaled = (whole * 10000 + fraction) * (negative ? -1 : 1);
  return any;
}

std::string TakeString(char* text) {
  std::string s = text != nullptr ? std::string(text) : std::string();
  g_free(text);
  return s;
}

}  // namespace

struct AccessFile::Handle {
  MdbHandle* mdb = nullptr;
  std::vector<MdbCatalogEntry*> entries;  // owned by mdb's catalog
  std::vector<std::vector<Column>> columns;
  ~Handle() {
    if (mdb != nullptr) mdb_close(mdb);
  }
};

struct AccessCursor::State {
  std::shared_ptr<AccessFile> file;
  MdbHandle* mdb = nullptr;
  MdbCatalogEntry entry{};
  MdbTableDef* table = nullptr;
  const std::vector<Column>* columns = nullptr;
  std::vector<AccessCell> cells;
  std::vector<std::unique_ptr<char[]>> ole_buffers;
  std::vector<std::unique_ptr<int>> ole_lengths;
  ~State() {
    if (table != nullptr) mdb_free_tabledef(table);
    if (mdb != nullptr) mdb_close(mdb);
  }
};

AccessFile::~AccessFile() = default;
AccessCursor::AccessCursor(std::unique_ptr<State> state) : state_(std::move(state)) {}
AccessCursor::~AccessCursor() = default;

std::shared_ptr<AccessFile> OpenAccessFile(const std::string& native, std::string_view shown) {
  // The virtual tables of one file share one handle while any of them is alive. Entries are
  // added by opens, one thread at a time like the engine; a dead one is replaced on the next open.
  static std::map<std::string, std::weak_ptr<AccessFile>> open;
  if (auto it = open.find(native); it != open.end())
    if (auto alive = it->second.lock()) return alive;
  std::shared_ptr<AccessFile> file(new AccessFile);
  file->handle_ = std::make_unique<AccessFile::Handle>();
  AccessFile::Handle& h = *file->handle_;
  h.mdb = mdb_open(platform::CurrentEnv().ReadingPath(native).c_str(), MDB_NOFLAGS);
  if (h.mdb == nullptr || mdb_read_catalog(h.mdb, MDB_TABLE) == nullptr)
    Raise(kDaoUnrecognizedFormat, shown);
  const bool jet3 = h.mdb->f->jet_version == MDB_VER_JET3;
  if (jet3) {
    // Japanese installations wrote their Jet 3 text in code page 932, whatever the header says.
    h.mdb->f->code_page = 932;
    mdb_iconv_close(h.mdb);
    mdb_iconv_init(h.mdb);
  }
  for (unsigned i = 0; i < h.mdb->num_catalog; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(h.mdb->catalog, i));
    if (entry->object_type != MDB_TABLE || !mdb_is_user_table(entry)) continue;
    MdbTableDef* table = mdb_read_table(entry);
    if (table == nullptr) Raise(kDaoUnrecognizedFormat, shown);
    if (mdb_read_columns(table) == nullptr) {
      mdb_free_tabledef(table);
      Raise(kDaoUnrecognizedFormat, shown);
    }
    mdb_read_indices(table);  // fills table->indices; its result says nothing
    TableInfo info;
    info.name = table->name;
    std::vector<Column> columns;
    for (unsigned c = 0; c < table->num_cols; ++c) {
      const auto* col = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, c));
      FieldDef f;
      Column column = MapColumn(col, jet3, f);
      column.mdb_index = static_cast<int>(c);
      columns.push_back(column);
      info.fields.push_back(std::move(f));
    }
    for (unsigned x = 0; table->indices != nullptr && x < table->indices->len; ++x) {
      const auto* idx = static_cast<const MdbIndex*>(g_ptr_array_index(table->indices, x));
      if (idx->index_type == 2) continue;  // a relationship's, not an index of the table
      IndexDef index;
      index.name = idx->name;
      index.primary = idx->index_type == 1;
      index.unique = (idx->flags & MDB_IDX_UNIQUE) != 0 || index.primary;
      index.ignore_nulls = (idx->flags & MDB_IDX_IGNORENULLS) != 0;
      index.required = (idx->flags & MDB_IDX_REQUIRED) != 0;
      for (unsigned k = 0; k < idx->num_keys && k < MDB_MAX_IDX_COLS; ++k) {
        int at = idx->key_col_num[k] - 1;
        if (at < 0 || at >= static_cast<int>(info.fields.size())) continue;
        index.columns.emplace_back(info.fields[static_cast<size_t>(at)].name,
                                   idx->key_col_order[k] == MDB_DESC);
      }
      if (!index.columns.empty()) info.indexes.push_back(std::move(index));
    }
    file->row_counts_.push_back(table->num_rows);
    mdb_free_tabledef(table);
    h.entries.push_back(entry);
    h.columns.push_back(std::move(columns));
    file->tables_.push_back(std::move(info));
  }
  std::erase_if(open, [](const auto& entry) { return entry.second.expired(); });
  open[native] = file;
  return file;
}

const TableInfo* AccessFile::Find(const std::string& name) const {
  for (const TableInfo& t : tables_)
    if (t.name == name) return &t;
  return nullptr;
}

int64_t AccessFile::RowCountHint(const std::string& name) const {
  for (size_t i = 0; i < tables_.size(); ++i)
    if (tables_[i].name == name) return row_counts_[i];
  return 0;
}

std::unique_ptr<AccessCursor> AccessFile::Open(const std::string& name) {
  size_t at = 0;
  while (at < tables_.size() && tables_[at].name != name) ++at;
  if (at == tables_.size()) Raise(kDaoInputTableNotFound, name);
  auto state = std::make_unique<AccessCursor::State>();
  // Its own page buffers: libmdb keeps a table's position in the handle it reads through.
  state->mdb = mdb_clone_handle(handle_->mdb);
  if (state->mdb == nullptr) Raise(kDaoUnrecognizedFormat, name);
  state->entry = *handle_->entries[at];
  state->entry.mdb = state->mdb;
  state->table = mdb_read_table(&state->entry);
  if (state->table == nullptr || mdb_read_columns(state->table) == nullptr)
    Raise(kDaoUnrecognizedFormat, name);
  state->columns = &handle_->columns[at];
  state->cells.resize(state->columns->size());
  for (const Column& c : *state->columns) {
    if (c.decode != Decode::kOle) continue;
    // libmdb reads a long binary through the buffer bound to its column.
    state->ole_buffers.push_back(std::make_unique<char[]>(MDB_BIND_SIZE));
    state->ole_lengths.push_back(std::make_unique<int>(0));
    mdb_bind_column(state->table, c.mdb_index + 1, state->ole_buffers.back().get(),
                    state->ole_lengths.back().get());
  }
  mdb_rewind_table(state->table);
  return std::unique_ptr<AccessCursor>(new AccessCursor(std::move(state)));
}

namespace {

void SetInteger(AccessCell& cell, int64_t v) {
  cell.kind = AccessCell::Kind::kInteger;
  cell.integer = v;
}

void SetReal(AccessCell& cell, double v) {
  cell.kind = AccessCell::Kind::kReal;
  cell.real = v;
}

void SetText(AccessCell& cell, std::string v) {
  cell.kind = AccessCell::Kind::kText;
  cell.bytes = std::move(v);
}

// A fixed-width value of size bytes at p; a calculated field keeps it after a header of 20 bytes.
template <typename T>
std::optional<T> Fixed(const unsigned char* p, int size) {
  constexpr int width = sizeof(T);
  const unsigned char* q = size == width ? p : size >= 20 + width ? p + 20 : nullptr;
  if (q == nullptr) return std::nullopt;
  T v;
  std::memcpy(&v, q, sizeof(T));
  return v;
}

// "days since 0001-01-01:100 ns ticks:7", in ASCII, as an OLE date.
std::optional<double> ExtendedDate(const unsigned char* p, int size) {
  std::string raw(reinterpret_cast<const char*>(p), static_cast<size_t>(size));
  size_t colon = raw.find(':');
  if (colon == std::string::npos) return std::nullopt;
  double days = std::strtod(raw.substr(0, colon).c_str(), nullptr);
  double ticks = std::strtod(raw.substr(colon + 1).c_str(), nullptr);
  // Before 1899-12-30 an OLE date counts its days down and its time of day up.
  double day = days - kExtendedDateEpoch, time = ticks / kTicksPerDay;
  return day < 0 ? day - time : day + time;
}

void DecodeDecimal(MdbHandle* mdb, const Column& c, int at, int size, AccessCell& cell) {
  if (size < 17) return;
  std::string exact = TakeString(mdb_numeric_to_string(mdb, at, c.precision, c.scale));
  int64_t scaled = 0;
  if (c.decode == Decode::kDecimalText)
    SetText(cell, exact);
  else if (c.decode == Decode::kDecimalDouble)
    SetReal(cell, std::strtod(exact.c_str(), nullptr));
  else if (ScaledDecimal(exact, scaled))
    SetInteger(cell, scaled);
}

void DecodeOle(MdbHandle* mdb, MdbTableDef* table, const Column& c, AccessCell& cell) {
  size_t ole_size = 0;
  auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c.mdb_index));
  void* data = mdb_ole_read_full(mdb, col, &ole_size);
  if (data == nullptr) return;
  cell.kind = AccessCell::Kind::kBlob;
  cell.bytes.assign(static_cast<const char*>(data), ole_size);
  g_free(data);
}

// One field's value, of size bytes at offset at of the page libmdb has just read.
void DecodeField(MdbHandle* mdb, MdbTableDef* table, const Column& c, int at, int size,
                 AccessCell& cell) {
  const unsigned char* p = mdb->pg_buf + at;
  switch (c.decode) {
    case Decode::kByte:
      if (auto v = Fixed<uint8_t>(p, size)) SetInteger(cell, *v);
      break;
    case Decode::kInt16:
      if (auto v = Fixed<int16_t>(p, size)) SetInteger(cell, *v);
      break;
    case Decode::kInt32:
      if (auto v = Fixed<int32_t>(p, size)) SetInteger(cell, *v);
      break;
    case Decode::kMoney:  // ten-thousandths, as our Currency columns hold them
      if (auto v = Fixed<int64_t>(p, size)) SetInteger(cell, *v);
      break;
    case Decode::kFloat:
      if (auto v = Fixed<float>(p, size)) SetReal(cell, *v);
      break;
    case Decode::kDouble:
      if (auto v = Fixed<double>(p, size)) SetReal(cell, *v);
      break;
    case Decode::kExtendedDate:
      if (auto v = ExtendedDate(p, size)) SetReal(cell, *v);
      break;
    case Decode::kText:
    case Decode::kMemo: {
      int type = c.decode == Decode::kText ? MDB_TEXT : MDB_MEMO;
      SetText(cell, TakeString(mdb_col_to_string(mdb, mdb->pg_buf, at, type, size)));
      break;
    }
    case Decode::kGuid:
      if (size == 16) SetText(cell, TakeString(mdb_uuid_to_string(mdb->pg_buf, at)));
      break;
    case Decode::kDecimalCurrency:
    case Decode::kDecimalDouble:
    case Decode::kDecimalText:
      DecodeDecimal(mdb, c, at, size, cell);
      break;
    case Decode::kOle:
      DecodeOle(mdb, table, c, cell);
      break;
    case Decode::kBinary:
    case Decode::kRaw:
      cell.kind = AccessCell::Kind::kBlob;
      cell.bytes.assign(reinterpret_cast<const char*>(p), static_cast<size_t>(size));
      break;
    case Decode::kBool:
      break;
  }
}

}  // namespace

bool AccessCursor::Next() {
  State& s = *state_;
  if (!mdb_fetch_row(s.table)) return false;
  ++row_number_;
  MdbHandle* mdb = s.mdb;
  int start = 0;
  size_t length = 0;
  // As many fields as a row can say it has (a damaged row may say anything up to 16 bits):
  // reserved once, and touched only as far as rows reach.
  static constexpr size_t kMostFields = 0x10000 + 1;
  static MdbField* const fields = new MdbField[kMostFields];
  int count = -1;
  if (s.table->cur_row > 0 &&
      mdb_find_row(mdb, static_cast<int>(s.table->cur_row) - 1, &start, &length) == 0)
    count = mdb_crack_row(s.table, start & kOffsetMask, length, fields);
  if (count < 0) Raise(kDaoUnrecognizedFormat, s.table->name);
  std::vector<int> field_of(s.table->num_cols, -1);
  for (int i = 0; i < count; ++i) {
    int colnum = fields[i].colnum;
    if (colnum >= 0 && colnum < static_cast<int>(field_of.size()) && field_of[colnum] < 0)
      field_of[static_cast<size_t>(colnum)] = i;
  }
  const auto page_size = static_cast<int>(mdb->fmt->pg_size);
  // Long values last: reading them moves libmdb through other pages.
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < s.columns->size(); ++i) {
      const Column& c = (*s.columns)[i];
      const bool long_value = c.decode == Decode::kMemo || c.decode == Decode::kOle;
      if (long_value != (pass == 1)) continue;
      AccessCell& cell = s.cells[i];
      cell = AccessCell();
      int f = field_of[static_cast<size_t>(c.mdb_index)];
      if (c.decode == Decode::kBool) {
        SetInteger(cell, f >= 0 && !fields[f].is_null ? -1 : 0);  // kept in the null mask
        continue;
      }
      if (f < 0 || fields[f].is_null) continue;
      int at = fields[f].start, size = fields[f].siz;
      if (at < 0 || size < 0 || at + size > page_size) Raise(kDaoUnrecognizedFormat, s.table->name);
      DecodeField(mdb, s.table, c, at, size, cell);
    }
  }
  return true;
}

const AccessCell& AccessCursor::Cell(int index) {
  return state_->cells.at(static_cast<size_t>(index));
}

}  // namespace kr::db::engine::internal
