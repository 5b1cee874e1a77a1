// Name resolution: tables against the catalog (attached tables through their source), columns
// against the tables in scope, innermost scope first, as Jet resolves them.
#include "db/engine/dao_errors.h"
#include "db/engine/generator_internal.h"

namespace kr::db::engine::internal {

ScopeTable& Scope::AddTable(std::string_view name, std::string_view alias) {
  const TableInfo* info = db_.catalog().Find(name);
  if (info == nullptr) Raise(kDaoInputTableNotFound, name);
  ScopeTable t;
  t.alias = alias.empty() ? info->name : std::string(alias);
  t.jet_name = info->name;
  if (info->linked) {
    TableInfo link = *info;
    DatabaseImpl::LinkTarget target = db_.ResolveLink(link);
    t.schema = target.schema;
    t.table = target.table->name;
    t.fields = target.table->fields;
  } else {
    t.schema = "main";
    t.table = info->name;
    t.fields = info->fields;
  }
  // Text fields are declared COLLATE JET_JA; the others never hold text.
  t.collated.assign(t.fields.size(), true);
  t.from_sql =
      SqlIdentifier(t.schema) + "." + SqlIdentifier(t.table) + " AS " + SqlIdentifier(t.alias);
  tables_.push_back(std::move(t));
  return tables_.back();
}

std::string Scope::AddTableRef(const TableRef& ref) {
  switch (ref.kind) {
    case TableRef::Kind::kTable:
      return AddTable(ref.name, ref.alias).from_sql;
    case TableRef::Kind::kSubquery: {
      GeneratedSelect inner = GenerateSelect(db_, *ref.select, nullptr);
      ScopeTable t;
      t.alias = ref.alias.empty() ? "kr_sub" + std::to_string(++subquery_count_) : ref.alias;
      for (const OutputColumn& c : inner.columns) {
        t.fields.push_back(c.def);
        t.collated.push_back(c.collated);  // SQLite passes on a plain column's collation only
      }
      t.from_sql = "(" + inner.sql + ") AS " + SqlIdentifier(t.alias);
      tables_.push_back(std::move(t));
      return tables_.back().from_sql;
    }
    case TableRef::Kind::kJoin: {
      std::string left = AddTableRef(*ref.left);
      std::string right = AddTableRef(*ref.right);
      if (ref.right->kind == TableRef::Kind::kJoin) right = "(" + right + ")";
      const char* join = ref.join == JoinKind::kInner  ? " INNER JOIN "
                         : ref.join == JoinKind::kLeft ? " LEFT JOIN "
                                                       : " RIGHT JOIN ";
      std::string on = ref.on ? RenderCondition(*ref.on, *this) : "1";
      return left + join + right + " ON " + on;
    }
  }
  return {};
}

Scope::Found Scope::Find(const Expr& column) {
  Found found;
  if (!column.table.empty()) {
    for (const ScopeTable& t : tables_) {
      if (!SameName(t.alias, column.table)) continue;
      for (const FieldDef& f : t.fields) {
        if (SameName(f.name, column.column)) {
          found.table = &t;
          found.field = &f;
          return found;
        }
      }
      return found;  // the table is here but not the column: Jet asks for a parameter
    }
  } else {
    for (const ScopeTable& t : tables_) {
      for (const FieldDef& f : t.fields) {
        if (!SameName(f.name, column.column)) continue;
        if (found.field != nullptr) Raise(kDaoAmbiguousField, column.column);
        found.table = &t;
        found.field = &f;
      }
    }
    if (found.field != nullptr) return found;
  }
  if (outer_ != nullptr) return outer_->Find(column);
  return found;
}

ColumnInfo Scope::ResolveColumn(const Expr& expr) {
  Found found = Find(expr);
  if (found.field == nullptr) Raise(kDaoTooFewParameters, "1");
  ColumnInfo info;
  info.sql = SqlIdentifier(found.table->alias) + "." + SqlIdentifier(found.field->name);
  if (!found.table->schema.empty()) info.sql = FieldValueSql(info.sql, *found.field);
  info.type = static_cast<DataType>(found.field->type);
  info.collated = found.table->Collated(*found.field);
  return info;
}

std::string Scope::RenderSubquery(const Select& select) {
  return GenerateSelect(db_, select, this).sql;
}

// SQLite takes the first row of a scalar subquery; Jet refuses a second one. Two rows are
// enough to tell, and max() of one row is that row's value.
std::string Scope::RenderScalarSubquery(const Select& select) {
  GeneratedSelect rows = GenerateSelect(db_, select, this);
  const std::string column = SqlIdentifier(rows.columns.at(0).def.name);
  return "SELECT CASE WHEN count(*)>1 THEN jet_error(" + std::to_string(kDaoSubqueryManyRecords) +
         ") ELSE max(" + column + ") END FROM (SELECT " + column + " FROM (" + rows.sql +
         ") LIMIT 2)";
}

}  // namespace kr::db::engine::internal
