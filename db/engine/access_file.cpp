// Access files as read-only databases of ours: the header (format and password), the in-memory
// image with our catalog, and the "kr_access" virtual tables that stream rows through libmdb.
#include "db/engine/access_file.h"

#include <nettle/arcfour.h>

#include <array>
#include <cstring>
#include <fstream>

#include "db/engine/access_reader.h"
#include "db/engine/dao_errors.h"
#include "db/engine/engine_internal.h"
#include "db/engine/functions_hook.h"
#include "db/engine/text_collation.h"
#include "platform/platform.h"

namespace kr::db::engine::internal {

namespace {

constexpr std::string_view kJetMagic = "Standard Jet DB";
constexpr std::string_view kAceMagic = "Standard ACE DB";
constexpr size_t kHeaderSize = 0x80 + 0x18;
// The header from 0x18 on is scrambled with RC4 under this fixed key; the password lies at 0x42.
constexpr uint32_t kHeaderKey = 0x6b39dac7;
constexpr size_t kScrambledStart = 0x18, kPasswordAt = 0x42, kCreatedAt = 0x72;
constexpr char kModule[] = "kr_access";

// Read as libmdb reads the rest of the file, directly: no change of ours ever goes through it.
std::string ReadHeader(const std::string& native) {
  std::ifstream in(platform::CurrentEnv().ReadingPath(native), std::ios::binary);
  std::string header(kHeaderSize, '\0');
  in.read(header.data(), static_cast<std::streamsize>(header.size()));
  header.resize(static_cast<size_t>(in.gcount()));
  return header;
}

bool HasMagic(const std::string& header) {
  if (header.size() < 4 + kJetMagic.size()) return false;
  std::string_view magic(header.data() + 4, kJetMagic.size());
  return magic == kJetMagic || magic == kAceMagic;
}

std::string Utf8FromUtf16(const std::string& bytes) {
  std::string out;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    uint32_t u = static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8;
    if (u == 0) break;
    if (u < 0x80) {
      out.push_back(static_cast<char>(u));
    } else if (u < 0x800) {
      out.push_back(static_cast<char>(0xC0 | u >> 6));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | u >> 12));
      out.push_back(static_cast<char>(0x80 | (u >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
  return out;
}

// Argument n of CREATE VIRTUAL TABLE, as written there ('text' with '' for a quote).
std::string Unquote(const char* argument) {
  std::string_view a(argument);
  if (a.size() < 2 || a.front() != '\'' || a.back() != '\'') return std::string(a);
  std::string out;
  for (size_t i = 1; i + 1 < a.size(); ++i) {
    out.push_back(a[i]);
    if (a[i] == '\'' && a[i + 1] == '\'') ++i;
  }
  return out;
}

// --- The virtual table ---------------------------------------------------------------------------

struct AccessTable {
  sqlite3_vtab base{};
  std::shared_ptr<AccessFile> file;
  std::string name;
};

struct AccessTableCursor {
  sqlite3_vtab_cursor base{};
  std::unique_ptr<AccessCursor> rows;
  bool eof = true;
};

// Runs body; a failure becomes the statement's error as "jet:<number>:<description>".
template <class F>
int Guarded(sqlite3_vtab* vtab, F&& body) {
  try {
    body();
    return SQLITE_OK;
  } catch (const Failure& failure) {
    sqlite3_free(vtab->zErrMsg);
    vtab->zErrMsg = sqlite3_mprintf("jet:%d:%s", failure.number(), failure.description().c_str());
    return SQLITE_ERROR;
  } catch (const std::bad_alloc&) {
    return SQLITE_NOMEM;
  }
}

int Connect(sqlite3* db, void*, int argc, const char* const* argv, sqlite3_vtab** out,
            char** error) {
  if (argc < 5) {
    *error = sqlite3_mprintf("kr_access: file and table expected");
    return SQLITE_ERROR;
  }
  auto table = std::make_unique<AccessTable>();
  std::string native = Unquote(argv[3]);
  table->name = Unquote(argv[4]);
  try {
    table->file = OpenAccessFile(native, native);
    const TableInfo* info = table->file->Find(table->name);
    if (info == nullptr) Raise(kDaoInputTableNotFound, table->name);
    std::string sql = "CREATE TABLE x(";
    for (size_t i = 0; i < info->fields.size(); ++i)
      sql += (i ? ", " : "") + SqlIdentifier(info->fields[i].name) + " " +
             ColumnAffinity(info->fields[i].type);
    int rc = sqlite3_declare_vtab(db, (sql + ")").c_str());
    if (rc != SQLITE_OK) return rc;
  } catch (const Failure& failure) {
    *error = sqlite3_mprintf("jet:%d:%s", failure.number(), failure.description().c_str());
    return SQLITE_ERROR;
  }
  *out = &table.release()->base;
  return SQLITE_OK;
}

int Disconnect(sqlite3_vtab* vtab) {
  delete reinterpret_cast<AccessTable*>(vtab);
  return SQLITE_OK;
}

// Only whole scans: libmdb's indexes are not read here, and SQLite filters the rows.
int BestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
  auto* table = reinterpret_cast<AccessTable*>(vtab);
  int64_t rows = table->file->RowCountHint(table->name);
  info->estimatedRows = rows > 0 ? rows : 1;
  info->estimatedCost = 10.0 + static_cast<double>(info->estimatedRows);
  return SQLITE_OK;
}

int OpenCursor(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
  *out = &(new AccessTableCursor)->base;
  return SQLITE_OK;
}

int CloseCursor(sqlite3_vtab_cursor* cursor) {
  delete reinterpret_cast<AccessTableCursor*>(cursor);
  return SQLITE_OK;
}

int Filter(sqlite3_vtab_cursor* base, int, const char*, int, sqlite3_value**) {
  auto* cursor = reinterpret_cast<AccessTableCursor*>(base);
  auto* table = reinterpret_cast<AccessTable*>(base->pVtab);
  return Guarded(base->pVtab, [&] {
    cursor->rows = table->file->Open(table->name);
    cursor->eof = !cursor->rows->Next();
  });
}

int Next(sqlite3_vtab_cursor* base) {
  auto* cursor = reinterpret_cast<AccessTableCursor*>(base);
  return Guarded(base->pVtab, [&] { cursor->eof = !cursor->rows->Next(); });
}

int Eof(sqlite3_vtab_cursor* base) { return reinterpret_cast<AccessTableCursor*>(base)->eof; }

int Column(sqlite3_vtab_cursor* base, sqlite3_context* context, int index) {
  auto* cursor = reinterpret_cast<AccessTableCursor*>(base);
  const AccessCell& cell = cursor->rows->Cell(index);
  switch (cell.kind) {
    case AccessCell::Kind::kNull:
      sqlite3_result_null(context);
      break;
    case AccessCell::Kind::kInteger:
      sqlite3_result_int64(context, cell.integer);
      break;
    case AccessCell::Kind::kReal:
      sqlite3_result_double(context, cell.real);
      break;
    case AccessCell::Kind::kText:
      sqlite3_result_text64(context, cell.bytes.data(), cell.bytes.size(), SQLITE_TRANSIENT,
                            SQLITE_UTF8);
      break;
    case AccessCell::Kind::kBlob:
      sqlite3_result_blob64(context, cell.bytes.data(), cell.bytes.size(), SQLITE_TRANSIENT);
      break;
  }
  return SQLITE_OK;
}

int Rowid(sqlite3_vtab_cursor* base, sqlite3_int64* rowid) {
  *rowid = reinterpret_cast<AccessTableCursor*>(base)->rows->row_number();
  return SQLITE_OK;
}

sqlite3_module MakeModule() {
  sqlite3_module m{};
  m.iVersion = 1;
  m.xCreate = Connect;
  m.xConnect = Connect;
  m.xBestIndex = BestIndex;
  m.xDisconnect = Disconnect;
  m.xDestroy = Disconnect;
  m.xOpen = OpenCursor;
  m.xClose = CloseCursor;
  m.xFilter = Filter;
  m.xNext = Next;
  m.xEof = Eof;
  m.xColumn = Column;
  m.xRowid = Rowid;
  return m;
}

// No xUpdate: every change of an Access table is refused as read-only.
const sqlite3_module kAccessModule = MakeModule();

}  // namespace

bool IsAccessFile(const std::string& native) { return HasMagic(ReadHeader(native)); }

std::string AccessPassword(const std::string& native, std::string_view shown) {
  std::string header = ReadHeader(native);
  if (header.size() < kHeaderSize || !HasMagic(header)) Raise(kDaoUnrecognizedFormat, shown);
  const bool jet3 = header[0x14] == 0;
  arcfour_ctx rc4;
  std::array<uint8_t, 4> key;
  for (size_t i = 0; i < 4; ++i) key[i] = static_cast<uint8_t>(kHeaderKey >> (8 * i));
  arcfour_set_key(&rc4, key.size(), key.data());
  auto* scrambled = reinterpret_cast<uint8_t*>(header.data() + kScrambledStart);
  arcfour_crypt(&rc4, header.size() - kScrambledStart, scrambled, scrambled);
  if (jet3) {
    // Jet 3 keeps the password in the code page of the text, 932 for Japanese installations.
    std::string bytes = header.substr(kPasswordAt, 20);
    return platform::Cp932ToUtf8(bytes.substr(0, bytes.find('\0')));
  }
  // Jet 4 and later mask the UCS-2 password further with the integer part of the creation date.
  double created = 0;
  std::memcpy(&created, header.data() + kCreatedAt, sizeof created);
  auto mask = static_cast<uint32_t>(static_cast<int64_t>(created));
  std::string bytes = header.substr(kPasswordAt, 40);
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<char>(static_cast<uint8_t>(bytes[i]) ^ ((mask >> (8 * (i % 4))) & 0xFF));
  return Utf8FromUtf16(bytes);
}

void LoadAccessFile(Connection& connection, std::string_view schema, const std::string& native,
                    std::string_view shown) {
  std::shared_ptr<AccessFile> file = OpenAccessFile(native, shown);
  std::string password = AccessPassword(native, shown);
  // Built in a connection of its own, whose catalog code writes to main, then copied in whole.
  Connection build(":memory:", false, true);
  RegisterEngineFunctions(build.handle(), &build.skipping_rows);
  RegisterAccessModule(build.handle());
  build.Exec("BEGIN");
  CreateCatalog(build);
  StoreAccessPassword(build, password);
  for (const TableInfo& table : file->tables()) {
    try {
      CreateTable(build, table);
    } catch (const Failure&) {
      // A default or rule our translation cannot take: the table comes without them.
      TableInfo plain = table;
      for (FieldDef& f : plain.fields) {
        f.default_value.clear();
        f.validation_rule.clear();
      }
      build.Exec("DELETE FROM MSysKrFields WHERE TableName=" + SqlTextLiteral(table.name));
      build.Exec("DELETE FROM MSysKrIndexes WHERE TableName=" + SqlTextLiteral(table.name));
      build.Exec("DELETE FROM MSysKrTables WHERE Name=" + SqlTextLiteral(table.name));
      build.Exec("DROP TABLE IF EXISTS " + SqlIdentifier(table.name));
      CreateTable(build, plain);
    }
    // The catalog rows stay; the rows come from the file.
    build.Exec("DROP TABLE " + SqlIdentifier(table.name));
    build.Exec("CREATE VIRTUAL TABLE " + SqlIdentifier(table.name) + " USING " + kModule + "(" +
               SqlTextLiteral(native) + ", " + SqlTextLiteral(table.name) + ")");
  }
  build.Exec("COMMIT");
  sqlite3_int64 size = 0;
  unsigned char* image = sqlite3_serialize(build.handle(), "main", &size, 0);
  if (image == nullptr) Raise(kDaoReservedError, shown);
  std::string schema_name(schema);
  int rc = sqlite3_deserialize(connection.handle(), schema_name.c_str(), image, size, size,
                               SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_READONLY);
  if (rc != SQLITE_OK) throw connection.Fail(rc, shown);
  connection.ClearCache();
}

void RegisterAccessModule(sqlite3* db) {
  sqlite3_create_module_v2(db, kModule, &kAccessModule, nullptr, nullptr);
}

}  // namespace kr::db::engine::internal

namespace kr::db::engine {

bool IsAccessFile(std::string_view path) {
  platform::FileAttributes attributes = platform::Attributes(path);
  return attributes.exists && !attributes.is_directory &&
         internal::IsAccessFile(platform::NativePath(path));
}

}  // namespace kr::db::engine
