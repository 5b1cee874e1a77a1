// Jet DDL: CREATE TABLE, CREATE INDEX, ALTER TABLE, DROP INDEX, through the catalog. Unnamed
// primary keys are named "PrimaryKey", as Access names them, so Seek finds them by that name.
// Text fields created by DDL allow zero-length strings (the application's own data holds them).
#include <utility>

#include "db/engine/dao_errors.h"
#include "db/engine/generator_internal.h"
#include "db/engine/jet_parser.h"
#include "db/engine/write_statements.h"

namespace kr::db::engine::internal {

namespace {

FieldDef FieldFromColumn(const ColumnDef& column) {
  FieldDef f;
  f.name = column.name;
  f.type = static_cast<int>(column.type);
  f.size = (column.type == DataType::kText || column.type == DataType::kBinary)
               ? (column.size > 0 ? column.size : 255)
               : DefaultSize(f.type);
  f.attributes = column.type == DataType::kText ? kVariableField : kFixedField;
  if (column.counter) f.attributes |= kAutoIncrField;
  f.counter_seed = column.counter_seed;
  f.counter_increment = column.counter_increment;
  f.required = column.not_null;
  f.allow_zero_length = column.type == DataType::kText || column.type == DataType::kMemo;
  return f;
}

IndexDef IndexFromConstraint(const TableConstraint& c) {
  IndexDef index;
  index.primary = c.kind == TableConstraint::Kind::kPrimaryKey;
  index.unique = true;
  index.required = index.primary;
  index.name = !c.name.empty() ? c.name : index.primary ? "PrimaryKey" : "Index_";
  if (c.name.empty() && !index.primary)
    for (const std::string& column : c.columns) index.name += column;
  for (const std::string& column : c.columns) index.columns.emplace_back(column, false);
  return index;
}

const TableInfo& LocalTable(DatabaseImpl& db, std::string_view name) {
  const TableInfo* info = db.catalog().Find(name);
  if (info == nullptr || info->system) Raise(kDaoNoTableOrConstraint, name);
  if (info->linked) Raise(kDaoInvalidOperation);
  return *info;
}

void AddIndex(DatabaseImpl& db, const TableInfo& table, IndexDef index) {
  if (table.FindIndex(index.name) != nullptr) Raise(kDaoIndexExists, table.name, index.name);
  if (index.primary && table.PrimaryKey() != nullptr) Raise(kDaoPrimaryKeyExists);
  for (const auto& column : index.columns)
    if (table.FindField(column.first) == nullptr) Raise(kDaoTooFewParameters, "1");
  Connection& c = db.connection();
  TableInfo copy = table;
  c.ClearCache();
  if (index.required && !index.primary) {
    // SQLite adds no Null rule to a column: the table is made anew with it (rows with Null 3058).
    TableInfo after = table;
    after.indexes.push_back(index);
    db.Write(
        [&] {
          RebuildTable(c, copy, after);
          CreateIndex(c, after, index);
        },
        true);
  } else {
    db.Write([&] { CreateIndex(c, copy, index); }, true);
  }
  db.TableChanged(copy.name);
}

// A relationship of child (whose definition may not be in the catalog yet) to its parent.
Relationship RelationshipOf(DatabaseImpl& db, const TableInfo& child, const std::string& name,
                            const std::vector<std::string>& columns, const std::string& parent,
                            const std::vector<std::string>& parent_columns, bool cascade_update,
                            bool cascade_delete) {
  const TableInfo& parent_table = SameName(parent, child.name) ? child : LocalTable(db, parent);
  Relationship r;
  r.name = !name.empty() ? name : parent_table.name + child.name;
  r.child = child.name;
  r.parent = parent_table.name;
  r.child_columns = columns;
  r.parent_columns = parent_columns;
  r.cascade_update = cascade_update;
  r.cascade_delete = cascade_delete;
  if (r.parent_columns.empty()) {
    const IndexDef* key = parent_table.PrimaryKey();
    if (key == nullptr) Raise(kDaoNoTableOrConstraint, parent);
    for (const auto& column : key->columns) r.parent_columns.push_back(column.first);
  }
  if (r.parent_columns.size() != r.child_columns.size()) Raise(kDaoConstraintSyntax);
  for (const std::string& column : r.child_columns)
    if (child.FindField(column) == nullptr) Raise(kDaoFieldDefinitionSyntax);
  for (const std::string& column : r.parent_columns)
    if (parent_table.FindField(column) == nullptr) Raise(kDaoFieldDefinitionSyntax);
  return r;
}

Relationship ColumnRelationship(DatabaseImpl& db, const TableInfo& child, const ColumnDef& column) {
  return RelationshipOf(db, child, column.constraint_name, {column.name}, column.references,
                        column.referenced_columns, column.cascade_update, column.cascade_delete);
}

Relationship ConstraintRelationship(DatabaseImpl& db, const TableInfo& child,
                                    const TableConstraint& c) {
  return RelationshipOf(db, child, c.name, c.columns, c.references, c.referenced_columns,
                        c.cascade_update, c.cascade_delete);
}

// A relationship added to a table with rows holds for them too.
void CheckExistingRows(Connection& c, const Relationship& r) {
  std::string filled, match;
  for (size_t i = 0; i < r.child_columns.size(); ++i) {
    filled += (i ? " AND " : "") + ("k." + SqlIdentifier(r.child_columns[i])) + " IS NOT NULL";
    match += (i ? " AND " : "") + ("p." + SqlIdentifier(r.parent_columns[i])) + " = k." +
             SqlIdentifier(r.child_columns[i]);
  }
  Statement& orphans = c.Prepare("SELECT EXISTS (SELECT 1 FROM " + SqlIdentifier(r.child) +
                                 " AS k WHERE " + filled + " AND NOT EXISTS (SELECT 1 FROM " +
                                 SqlIdentifier(r.parent) + " AS p WHERE " + match + "))");
  orphans.Step();
  const bool any = orphans.Int(0) != 0;
  orphans.Reset();
  if (any) Raise(kDaoRelatedRecordRequired, r.parent);
}

void AddRelationship(DatabaseImpl& db, const Relationship& r) {
  Connection& c = db.connection();
  c.ClearCache();
  db.Write(
      [&] {
        CheckExistingRows(c, r);
        CreateRelationship(c, r);
      },
      true);
}

}  // namespace

void RunCreateTable(DatabaseImpl& db, const engine::CreateTable& create) {
  if (db.catalog().Find(create.table) != nullptr) Raise(kDaoTableExists, create.table);
  TableInfo table;
  table.name = create.table;
  for (const ColumnDef& column : create.columns) {
    if (table.FindField(column.name) != nullptr) Raise(kDaoFieldDefinedTwice, column.name);
    table.fields.push_back(FieldFromColumn(column));
    if (column.primary_key || column.unique) {
      TableConstraint c;
      c.kind =
          column.primary_key ? TableConstraint::Kind::kPrimaryKey : TableConstraint::Kind::kUnique;
      c.name = column.constraint_name;
      c.columns.push_back(column.name);
      table.indexes.push_back(IndexFromConstraint(c));
    }
  }
  for (const TableConstraint& c : create.constraints)
    if (c.kind != TableConstraint::Kind::kForeignKey)
      table.indexes.push_back(IndexFromConstraint(c));
  int primaries = 0;
  for (const IndexDef& index : table.indexes) {
    primaries += index.primary;
    for (const auto& column : index.columns)
      if (table.FindField(column.first) == nullptr) Raise(kDaoFieldDefinitionSyntax);
  }
  if (primaries > 1) Raise(kDaoPrimaryKeyExists);
  std::vector<Relationship> relationships;
  for (const ColumnDef& column : create.columns)
    if (!column.references.empty()) relationships.push_back(ColumnRelationship(db, table, column));
  for (const TableConstraint& constraint : create.constraints)
    if (constraint.kind == TableConstraint::Kind::kForeignKey)
      relationships.push_back(ConstraintRelationship(db, table, constraint));
  Connection& c = db.connection();
  c.ClearCache();
  db.Write(
      [&] {
        internal::CreateTable(c, table);
        for (const Relationship& r : relationships) CreateRelationship(c, r);
      },
      true);
  db.TableChanged(table.name);
}

int64_t RunSelectInto(DatabaseImpl& db, Select& select, bool fail_on_error) {
  if (db.catalog().Find(select.into) != nullptr) Raise(kDaoTableExists, select.into);
  TableInfo table;
  table.name = select.into;
  // The new table takes the result's names and types only: no keys, rules, defaults or counters.
  for (const OutputColumn& column : GenerateSelect(db, select, nullptr).columns) {
    if (table.FindField(column.def.name) != nullptr) Raise(kDaoFieldDefinedTwice, column.def.name);
    FieldDef f;
    f.name = column.def.name;
    f.type = column.def.type;
    f.size = column.def.size;
    f.attributes = column.def.attributes & ~kAutoIncrField;
    f.allow_zero_length = f.type == kText || f.type == kMemo;
    table.fields.push_back(std::move(f));
  }
  Insert fill;
  fill.table = std::exchange(select.into, {});
  fill.select = std::make_unique<Select>(std::move(select));
  Connection& c = db.connection();
  c.ClearCache();
  int64_t added = 0;
  try {
    db.Write(
        [&] {
          internal::CreateTable(c, table);
          // The insert is generated against the new table, before the transaction ends.
          db.TableChanged(table.name);
          internal::Statement& run = c.Prepare(GenerateInsert(db, fill, fail_on_error));
          run.Step();
          run.Reset();
          added = c.Changes();
        },
        true);
  } catch (...) {
    db.InvalidateCatalog();  // the new table may have been undone with the transaction
    throw;
  }
  return added;
}

void RunCreateIndex(DatabaseImpl& db, const engine::CreateIndex& create) {
  const TableInfo& table = LocalTable(db, create.table);
  IndexDef index;
  index.name = create.name;
  index.primary = create.primary;
  index.unique = create.unique || create.primary;
  index.required = create.primary || create.disallow_null;
  index.ignore_nulls = create.ignore_null;
  for (const IndexColumn& column : create.columns)
    index.columns.emplace_back(column.name, column.descending);
  AddIndex(db, table, std::move(index));
}

void RunAlterTable(DatabaseImpl& db, const AlterTable& alter) {
  const TableInfo& table = LocalTable(db, alter.table);
  Connection& c = db.connection();
  switch (alter.action) {
    case AlterTable::Action::kAddColumn: {
      if (table.FindField(alter.column.name) != nullptr)
        Raise(kDaoFieldExists, alter.column.name, table.name);
      FieldDef field = FieldFromColumn(alter.column);
      TableInfo copy = table;
      c.ClearCache();
      db.Write([&] { AddColumn(c, copy, field); }, true);
      db.TableChanged(copy.name);
      if (alter.column.primary_key || alter.column.unique) {
        TableConstraint constraint;
        constraint.kind = alter.column.primary_key ? TableConstraint::Kind::kPrimaryKey
                                                   : TableConstraint::Kind::kUnique;
        constraint.name = alter.column.constraint_name;
        constraint.columns.push_back(alter.column.name);
        AddIndex(db, db.Table(alter.table), IndexFromConstraint(constraint));
      }
      if (!alter.column.references.empty())
        AddRelationship(db, ColumnRelationship(db, db.Table(alter.table), alter.column));
      return;
    }
    case AlterTable::Action::kDropColumn: {
      if (table.FindField(alter.name) == nullptr) Raise(kDaoTooFewParameters, "1");
      TableInfo copy = table;
      c.ClearCache();
      db.Write([&] { DropColumn(c, copy, alter.name); }, true);
      db.TableChanged(copy.name);
      return;
    }
    case AlterTable::Action::kAddConstraint:
      if (alter.constraint.kind == TableConstraint::Kind::kForeignKey)
        AddRelationship(db, ConstraintRelationship(db, table, alter.constraint));
      else
        AddIndex(db, table, IndexFromConstraint(alter.constraint));
      return;
    case AlterTable::Action::kDropConstraint: {
      TableInfo copy = table;
      c.ClearCache();
      db.Write(
          [&] {
            if (!DropRelationship(c, copy.name, alter.name)) DropIndex(c, copy, alter.name);
          },
          true);
      db.TableChanged(copy.name);
      return;
    }
    case AlterTable::Action::kAlterColumn: {
      const int at = table.FieldIndex(alter.column.name);
      if (at < 0) Raise(kDaoTooFewParameters, "1");
      // A counter numbers rows as they come; existing rows have no such order to give.
      if (alter.column.counter) Raise(kDaoInvalidOperation);
      TableInfo before = table, after = table;
      FieldDef& field = after.fields[static_cast<size_t>(at)];
      FieldDef changed = FieldFromColumn(alter.column);
      changed.name = field.name;
      changed.default_value = field.default_value;
      changed.validation_rule = field.validation_rule;
      field = changed;
      c.ClearCache();
      db.Write([&] { RebuildTable(c, before, after); }, true);
      db.TableChanged(after.name);
      if (alter.column.primary_key || alter.column.unique) {
        TableConstraint constraint;
        constraint.kind = alter.column.primary_key ? TableConstraint::Kind::kPrimaryKey
                                                   : TableConstraint::Kind::kUnique;
        constraint.name = alter.column.constraint_name;
        constraint.columns.push_back(field.name);
        AddIndex(db, db.Table(alter.table), IndexFromConstraint(constraint));
      }
      if (!alter.column.references.empty())
        AddRelationship(db, ColumnRelationship(db, db.Table(alter.table), alter.column));
      return;
    }
  }
}

void RunDropIndex(DatabaseImpl& db, const engine::DropIndex& drop) {
  const TableInfo& table = LocalTable(db, drop.table);
  TableInfo copy = table;
  Connection& c = db.connection();
  c.ClearCache();
  db.Write([&] { DropIndex(c, copy, drop.index); }, true);
  db.TableChanged(copy.name);
}

namespace {

// The field of a validation rule: the rule's only column.
class RuleResolver : public ExpressionResolver {
 public:
  explicit RuleResolver(const FieldDef& field) : field_(field) {}
  ColumnInfo ResolveColumn(const Expr& expr) override {
    if (!SameName(expr.column, field_.name)) Raise(kDaoTooFewParameters, "1");
    return ColumnInfo{FieldValueSql(SqlIdentifier(field_.name), field_), DataType::kUnknown, true};
  }
  std::string RenderSubquery(const Select&) override { Raise(kDaoInvalidOperation); }

 private:
  const FieldDef& field_;
};

}  // namespace

std::string ValidationRuleSql(const FieldDef& field, std::string_view rule) {
  if (rule.find_first_not_of(' ') == std::string_view::npos) return {};
  try {
    ExprPtr expr = ParseValidationRule(rule, field.name);
    RuleResolver resolver{field};
    // A Null value passes a rule, as in Jet.
    return SqlIdentifier(field.name) + " IS NULL OR (" + RenderCondition(*expr, resolver) + ")";
  } catch (const Failure&) {
    return {};
  }
}

}  // namespace kr::db::engine::internal
