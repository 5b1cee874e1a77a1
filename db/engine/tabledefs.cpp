// Table definitions, fields and their collections.
#include <algorithm>

#include "db/engine/dao_errors.h"
#include "db/engine/engine_internal.h"
#include "db/engine/recordset_impl.h"

namespace kr::db::engine {

using internal::DatabaseImpl;
using internal::FieldDef;
using internal::FieldImpl;
using internal::RaiseNotSet;
using internal::TableDefImpl;
using internal::TableInfo;

namespace internal {

DatabaseImpl& TableDefImpl::db() const {
  if (database == nullptr || !database->is_open()) RaiseNotSet();
  return *database;
}

const TableInfo& TableDefImpl::Info() const {
  if (!appended) return info;
  const TableInfo* found = db().catalog().Find(info.name);
  if (found == nullptr) Raise(kDaoItemNotFound);
  return *found;
}

const std::vector<FieldDef>& TableDefImpl::Fields() const {
  const TableInfo& current = Info();
  if (appended && current.linked) return db().ResolveLink(current).table->fields;
  return current.fields;
}

const FieldDef& FieldImpl::Def() const {
  switch (owner) {
    case Owner::kNew:
      return def;
    case Owner::kTable: {
      for (const FieldDef& f : table->Fields())
        if (SameName(f.name, def.name)) return f;
      Raise(kDaoItemNotFound);
    }
    case Owner::kRecordset:
      if (!recordset->is_open()) RaiseNotSet();
      return recordset->Column(index).def;
  }
  RaiseNotSet();
}

FieldDef& FieldImpl::MutableDef() {
  if (owner == Owner::kNew) return def;
  if (owner == Owner::kTable && !table->appended) {
    for (FieldDef& f : table->info.fields)
      if (SameName(f.name, def.name)) return f;
  }
  Raise(kDaoInvalidOperation);
}

void DropTableNamed(DatabaseImpl& db, std::string_view name, int missing_error) {
  const TableInfo* found = db.catalog().Find(name);
  if (found == nullptr || found->system) Raise(missing_error, name);
  TableInfo table = *found;
  Connection& c = db.connection();
  if (table.linked) {
    // Its source stays attached: the next link to the same file (a routine transfers table after
    // table from one source) then costs no ATTACH, catalogue read or re-preparing. The least
    // recently used source goes when the attach limit is reached, all of them at close.
    db.DropLink(table);
    return;
  }
  c.ClearCache();
  db.Write([&] { DropTable(c, table); }, true);
  db.TableChanged(table.name);
}

}  // namespace internal

namespace {

TableDefImpl& Def(const std::shared_ptr<TableDefImpl>& impl) {
  if (impl == nullptr) RaiseNotSet();
  impl->db();
  return *impl;
}

FieldImpl& FieldOf(const std::shared_ptr<FieldImpl>& impl) {
  if (impl == nullptr) RaiseNotSet();
  return *impl;
}

}  // namespace

// --- TableDefCollection -------------------------------------------------------------------------

TableDefCollection::TableDefCollection(std::shared_ptr<DatabaseImpl> database)
    : database_(std::move(database)) {}

namespace {
DatabaseImpl& OpenDb(const std::shared_ptr<DatabaseImpl>& db) {
  if (db == nullptr || !db->is_open()) RaiseNotSet();
  return *db;
}
}  // namespace

void TableDefCollection::Refresh() { OpenDb(database_).InvalidateCatalog(); }

int TableDefCollection::Count() const {
  return static_cast<int>(OpenDb(database_).catalog().tables().size());
}

TableDef TableDefCollection::Item(int index) const {
  const auto& tables = OpenDb(database_).catalog().tables();
  if (index < 0 || index >= static_cast<int>(tables.size())) Raise(kDaoItemNotFound);
  auto table = std::make_shared<TableDefImpl>();
  table->database = database_;
  table->appended = true;
  table->info.name = tables[static_cast<size_t>(index)].name;
  return TableDef(table);
}

TableDef TableDefCollection::Item(std::string_view name) const {
  TableDef found = Find(name);
  if (!found.impl()) Raise(kDaoItemNotFound);
  return found;
}

TableDef TableDefCollection::Find(std::string_view name) const {
  const TableInfo* found = OpenDb(database_).catalog().Find(name);
  if (found == nullptr) return TableDef();
  auto table = std::make_shared<TableDefImpl>();
  table->database = database_;
  table->appended = true;
  table->info.name = found->name;
  return TableDef(table);
}

void TableDefCollection::Append(const TableDef& table) {
  DatabaseImpl& db = OpenDb(database_);
  TableDefImpl& def = Def(table.impl());
  if (def.appended) Raise(kDaoCannotAppendExisting);
  if (db.read_only()) Raise(kDaoReadOnly);
  TableInfo info = def.info;
  if (info.name.empty()) Raise(kDaoInvalidName, info.name);
  if (db.catalog().Find(info.name) != nullptr) Raise(kDaoTableExists, info.name);
  internal::Connection& c = db.connection();
  if (!info.connect.empty()) {
    if (info.source_table.empty()) Raise(kDaoObjectNotFound, "");
    info.linked = true;
    db.AddLink(info);  // the catalog in memory holds it at once
  } else {
    if (info.fields.empty()) Raise(kDaoNoFieldsDefined);
    for (FieldDef& f : info.fields)
      if (f.size == 0) f.size = f.type == kText ? 50 : internal::DefaultSize(f.type);
    db.Write([&] { internal::CreateTable(c, info); }, true);
    db.TableChanged(info.name);
  }
  def.appended = true;
}

void TableDefCollection::Delete(std::string_view name) {
  DatabaseImpl& db = OpenDb(database_);
  if (db.read_only()) Raise(kDaoReadOnly);
  internal::DropTableNamed(db, name, kDaoItemNotFound);
}

// --- TableDef -----------------------------------------------------------------------------------

std::string TableDef::Name() const { return Def(impl_).Info().name; }
std::string TableDef::Connect() const { return Def(impl_).Info().connect; }
std::string TableDef::SourceTableName() const { return Def(impl_).Info().source_table; }
int32_t TableDef::Attributes() const { return Def(impl_).Info().Attributes(); }

int64_t TableDef::RecordCount() const {
  TableDefImpl& def = Def(impl_);
  const TableInfo& info = def.Info();
  if (!def.appended || info.linked) return -1;
  internal::Statement& s =
      def.db().connection().Prepare("SELECT count(*) FROM main." + SqlIdentifier(info.name));
  s.Step();
  int64_t n = s.Int(0);
  s.Reset();
  return n;
}

std::vector<IndexInfo> TableDef::Indexes() const {
  const TableInfo& info = Def(impl_).Info();
  std::vector<IndexInfo> indexes;
  if (info.linked) return indexes;
  for (const internal::IndexDef& index : info.indexes) {
    indexes.push_back({index.name, index.columns, index.primary, index.unique, index.ignore_nulls,
                       index.required});
  }
  std::stable_sort(indexes.begin(), indexes.end(), [](const IndexInfo& a, const IndexInfo& b) {
    if (a.primary != b.primary) return a.primary;
    return internal::FoldName(a.name) < internal::FoldName(b.name);
  });
  return indexes;
}

FieldCollection TableDef::Fields() const {
  Def(impl_);
  return FieldCollection(impl_);
}

Field TableDef::CreateField(std::string_view name, int type, int32_t size) const {
  Def(impl_);
  auto field = std::make_shared<FieldImpl>();
  field->def.name = name;
  field->def.type = type == 0 ? kText : type;
  field->def.size = size;
  field->def.attributes = field->def.type == kText ? kVariableField : kFixedField;
  return Field(field);
}

void TableDef::SetName(std::string_view name) {
  TableDefImpl& def = Def(impl_);
  if (def.appended) Raise(kDaoInvalidOperation);
  def.info.name = name;
}

void TableDef::SetConnect(std::string_view connect) {
  TableDefImpl& def = Def(impl_);
  if (def.appended) Raise(kDaoInvalidOperation);
  def.info.connect = connect;
}

void TableDef::SetSourceTableName(std::string_view name) {
  TableDefImpl& def = Def(impl_);
  if (def.appended) Raise(kDaoInvalidOperation);
  def.info.source_table = name;
}

// --- FieldCollection ----------------------------------------------------------------------------

FieldCollection::FieldCollection(std::shared_ptr<TableDefImpl> table) : table_(std::move(table)) {}
FieldCollection::FieldCollection(std::shared_ptr<internal::RecordsetImpl> recordset)
    : recordset_(std::move(recordset)) {}

namespace {
internal::RecordsetImpl& OpenRs(const std::shared_ptr<internal::RecordsetImpl>& rs) {
  if (rs == nullptr || !rs->is_open()) RaiseNotSet();
  return *rs;
}
}  // namespace

int FieldCollection::Count() const {
  if (recordset_ != nullptr) return OpenRs(recordset_).FieldCount();
  return static_cast<int>(Def(table_).Fields().size());
}

Field FieldCollection::Item(int index) const {
  auto field = std::make_shared<FieldImpl>();
  if (recordset_ != nullptr) {
    if (index < 0 || index >= OpenRs(recordset_).FieldCount()) Raise(kDaoItemNotFound);
    field->owner = FieldImpl::Owner::kRecordset;
    field->recordset = recordset_;
    field->index = index;
    return Field(field);
  }
  const auto& fields = Def(table_).Fields();
  if (index < 0 || index >= static_cast<int>(fields.size())) Raise(kDaoItemNotFound);
  field->owner = FieldImpl::Owner::kTable;
  field->table = table_;
  field->def.name = fields[static_cast<size_t>(index)].name;
  return Field(field);
}

Field FieldCollection::Item(std::string_view name) const {
  if (recordset_ != nullptr) {
    int index = OpenRs(recordset_).FieldIndex(name);
    if (index < 0) Raise(kDaoItemNotFound);
    return Item(index);
  }
  const auto& fields = Def(table_).Fields();
  for (size_t i = 0; i < fields.size(); ++i)
    if (internal::SameName(fields[i].name, name)) return Item(static_cast<int>(i));
  Raise(kDaoItemNotFound);
}

void FieldCollection::Append(const Field& field) {
  if (recordset_ != nullptr) Raise(kDaoInvalidOperation);
  TableDefImpl& table = Def(table_);
  FieldImpl& f = FieldOf(field.impl());
  if (f.owner != FieldImpl::Owner::kNew) Raise(kDaoCannotAppendExisting);
  FieldDef def = f.def;
  if (def.name.empty()) Raise(kDaoInvalidName, def.name);
  if (def.size == 0) def.size = def.type == kText ? 50 : internal::DefaultSize(def.type);
  if (!table.appended) {
    for (const FieldDef& existing : table.info.fields)
      if (internal::SameName(existing.name, def.name)) Raise(kDaoFieldDefinedTwice, def.name);
    table.info.fields.push_back(def);
  } else {
    DatabaseImpl& db = table.db();
    const TableInfo& info = table.Info();
    if (info.linked || info.system) Raise(kDaoInvalidOperation);
    if (info.FindField(def.name) != nullptr) Raise(kDaoFieldDefinedTwice, def.name);
    if (db.read_only()) Raise(kDaoReadOnly);
    TableInfo copy = info;
    internal::Connection& c = db.connection();
    c.ClearCache();
    db.Write([&] { internal::AddColumn(c, copy, def); }, true);
    db.TableChanged(copy.name);
  }
  f.owner = FieldImpl::Owner::kTable;
  f.table = table_;
  f.def = def;
}

void FieldCollection::Refresh() {
  if (recordset_ == nullptr) Def(table_).db().InvalidateCatalog();
}

// --- Field --------------------------------------------------------------------------------------

std::string Field::Name() const {
  FieldImpl& f = FieldOf(impl_);
  if (f.owner == FieldImpl::Owner::kRecordset) return f.Def().name;
  return f.Def().name;
}
int Field::Type() const { return FieldOf(impl_).Def().type; }
int32_t Field::Size() const { return FieldOf(impl_).Def().size; }
int32_t Field::Attributes() const { return FieldOf(impl_).Def().attributes; }
bool Field::Required() const { return FieldOf(impl_).Def().required; }
bool Field::AllowZeroLength() const { return FieldOf(impl_).Def().allow_zero_length; }
std::string Field::DefaultValue() const { return FieldOf(impl_).Def().default_value; }
std::string Field::ValidationRule() const { return FieldOf(impl_).Def().validation_rule; }

std::string Field::SourceTable() const {
  FieldImpl& f = FieldOf(impl_);
  if (f.owner == FieldImpl::Owner::kRecordset) {
    f.Def();
    return f.recordset->Column(f.index).source_table;
  }
  if (f.owner == FieldImpl::Owner::kTable) return f.table->Info().name;
  return {};
}

std::string Field::SourceField() const {
  FieldImpl& f = FieldOf(impl_);
  if (f.owner == FieldImpl::Owner::kRecordset) {
    f.Def();
    return f.recordset->Column(f.index).source_field;
  }
  return f.Def().name;
}

void Field::SetName(std::string_view name) { FieldOf(impl_).MutableDef().name = name; }
void Field::SetType(int type) {
  FieldDef& def = FieldOf(impl_).MutableDef();
  def.type = type;
  def.attributes = (def.attributes & ~(kFixedField | kVariableField)) |
                   (type == kText ? kVariableField : kFixedField);
}
void Field::SetSize(int32_t size) { FieldOf(impl_).MutableDef().size = size; }
void Field::SetAttributes(int32_t attributes) {
  FieldOf(impl_).MutableDef().attributes = attributes;
}
void Field::SetRequired(bool required) { FieldOf(impl_).MutableDef().required = required; }
void Field::SetAllowZeroLength(bool allow) {
  FieldOf(impl_).MutableDef().allow_zero_length = allow;
}
void Field::SetDefaultValue(std::string_view expression) {
  FieldOf(impl_).MutableDef().default_value = expression;
}
void Field::SetValidationRule(std::string_view expression) {
  FieldOf(impl_).MutableDef().validation_rule = expression;
}

Value Field::GetValue() const {
  FieldImpl& f = FieldOf(impl_);
  if (f.owner != FieldImpl::Owner::kRecordset) Raise(kDaoInvalidOperation);
  return OpenRs(f.recordset).GetValue(f.index);
}

void Field::SetValue(const Value& value) {
  FieldImpl& f = FieldOf(impl_);
  if (f.owner != FieldImpl::Owner::kRecordset) Raise(kDaoInvalidOperation);
  OpenRs(f.recordset).SetValue(f.index, value);
}

}  // namespace kr::db::engine
