// SELECT: FROM and joins, Jet's result field names (the column's own name, "T.col" when two
// tables give the same name, Expr1000... for unnamed expressions) and types, TOP (with the rows
// tied with the last), DISTINCTROW, UNION.
#include <algorithm>
#include <cmath>

#include "db/engine/dao_errors.h"
#include "db/engine/generator_internal.h"
#include "db/engine/text_collation.h"

namespace kr::db::engine::internal {

namespace {

struct Item {
  std::string sql;
  DataType type = DataType::kUnknown;
  OutputColumn column;
  std::string stored;         // a table's Currency column: the ten-thousandths it holds
  bool plain_column = false;  // a column reference without alias
  std::string qualifier;      // the alias of its table
  const Expr* expr = nullptr;
  std::string alias;
};

Item ColumnItem(const ScopeTable& table, const FieldDef& field) {
  Item item;
  const std::string stored = SqlIdentifier(table.alias) + "." + SqlIdentifier(field.name);
  // A subquery's columns are values already; a table's Currency is ten-thousandths.
  item.sql = table.schema.empty() ? stored : FieldValueSql(stored, field);
  if (!table.schema.empty() && ScaledCurrency(field)) item.stored = stored;
  item.type = static_cast<DataType>(field.type);
  item.column.def = field;
  item.column.source_table = table.jet_name;
  item.column.source_field = table.jet_name.empty() ? "" : field.name;
  item.column.collated = table.Collated(field);
  item.plain_column = true;
  item.qualifier = table.alias;
  return item;
}

std::vector<Item> ExpandItems(const Select& select, Scope& scope) {
  std::vector<Item> items;
  for (const SelectItem& si : select.items) {
    switch (si.kind) {
      case SelectItem::Kind::kAllColumns:
        for (const ScopeTable& t : scope.tables())
          for (const FieldDef& f : t.fields) items.push_back(ColumnItem(t, f));
        break;
      case SelectItem::Kind::kTableColumns: {
        const ScopeTable* table = nullptr;
        for (const ScopeTable& t : scope.tables())
          if (SameName(t.alias, si.table)) table = &t;
        if (table == nullptr) Raise(kDaoInputTableNotFound, si.table);
        for (const FieldDef& f : table->fields) items.push_back(ColumnItem(*table, f));
        break;
      }
      case SelectItem::Kind::kExpression: {
        Item item;
        if (si.expr->kind == ExprKind::kColumn) {
          Scope::Found found = scope.Find(*si.expr);
          if (found.field == nullptr) Raise(kDaoTooFewParameters, "1");
          item = ColumnItem(*found.table, *found.field);
        } else {
          item.sql = RenderValue(*si.expr, scope);
          item.type = StaticType(*si.expr, scope);
          item.column.def.type = static_cast<int>(item.type);
          item.column.def.size = DefaultSize(item.column.def.type);
          item.column.def.allow_zero_length = true;
        }
        item.expr = si.expr.get();
        item.alias = si.alias;
        if (!si.alias.empty()) item.plain_column = false;
        items.push_back(std::move(item));
        break;
      }
    }
  }
  // Names as Jet gives them.
  int expression_number = 1000;
  std::vector<std::string> own_names;
  for (const Item& item : items) own_names.push_back(item.column.def.name);
  for (size_t i = 0; i < items.size(); ++i) {
    Item& item = items[i];
    if (!item.alias.empty()) {
      item.column.def.name = item.alias;
    } else if (item.plain_column) {
      int same = 0;
      for (size_t j = 0; j < items.size(); ++j)
        if (items[j].plain_column && items[j].alias.empty() && SameName(own_names[j], own_names[i]))
          ++same;
      if (same > 1) item.column.def.name = item.qualifier + "." + own_names[i];
    } else {
      item.column.def.name = "Expr" + std::to_string(expression_number++);
    }
  }
  return items;
}

// ORDER BY 2 names the second output column, as in Access; a number beyond the list is an error.
bool IsOrdinal(const Expr& e, size_t count) {
  if (e.kind != ExprKind::kInteger) return false;
  if (e.integer < 1 || static_cast<uint64_t>(e.integer) > count) Raise(kDaoOrderBySyntax);
  return true;
}

std::string OrderKey(const OrderItem& order, Scope& scope, const std::vector<Item>& items) {
  const std::string direction = order.descending ? " DESC" : "";
  const Expr& e = *order.expr;
  if (IsOrdinal(e, items.size())) return items[e.integer - 1].sql + direction;
  // A bare name that no table in scope has is an alias of the select list (the last of that
  // name); a column of that name wins over an alias, as in Jet.
  if (e.kind == ExprKind::kColumn && e.table.empty() && scope.Find(e).field == nullptr) {
    const Item* match = nullptr;
    for (const Item& item : items)
      if (SameName(item.column.def.name, e.column)) match = &item;
    if (match != nullptr) return match->sql + direction;
  }
  return RenderSortKey(e, scope) + direction;
}

bool HasAggregate(const Select& select) {
  for (const SelectItem& item : select.items)
    if (item.expr && ContainsAggregate(*item.expr)) return true;
  return false;
}

void ReferencedTables(const Expr& e, Scope& scope, std::vector<const ScopeTable*>& out) {
  if (e.kind == ExprKind::kColumn) {
    const ScopeTable* t = scope.Find(e).table;
    if (t != nullptr && std::find(out.begin(), out.end(), t) == out.end()) out.push_back(t);
  }
  for (const ExprPtr& arg : e.args)
    if (arg) ReferencedTables(*arg, scope, out);
}

// DISTINCTROW: each combination of rows of the tables the result shows comes once, however many
// rows of the other tables joined it. The rowids of those tables, or "" when it changes nothing
// (one table, or the result shows them all) or cannot say (a subquery has no rowids).
std::string DistinctRowKey(const Select& select, Scope& scope) {
  if (select.quantifier != SelectQuantifier::kDistinctRow || scope.tables().size() < 2 ||
      !select.group_by.empty() || HasAggregate(select))
    return "";
  std::vector<const ScopeTable*> shown;
  for (const SelectItem& item : select.items) {
    if (item.kind == SelectItem::Kind::kAllColumns) return "";
    if (item.kind == SelectItem::Kind::kTableColumns) {
      for (const ScopeTable& t : scope.tables())
        if (SameName(t.alias, item.table) &&
            std::find(shown.begin(), shown.end(), &t) == shown.end())
          shown.push_back(&t);
    } else {
      ReferencedTables(*item.expr, scope, shown);
    }
  }
  if (shown.empty() || shown.size() == scope.tables().size()) return "";
  std::string key;
  for (const ScopeTable* t : shown) {
    if (t->schema.empty()) return "";
    key += (key.empty() ? "" : ", ") + SqlIdentifier(t->alias) + ".rowid";
  }
  return key;
}

// TOP n keeps the rows tied with the n-th in the order (all of them when there is no order):
// as many rows as rank n or better. body: the FROM to HAVING clauses.
std::string TopLimit(const Top& top, const std::string& count_source, const std::string& order,
                     const std::string& body, bool distinct) {
  const std::string n = std::to_string(static_cast<int64_t>(top.count));
  if (!top.percent && (order.empty() || distinct)) return " LIMIT " + n;
  if (!top.percent)
    return " LIMIT (SELECT count(*) FROM (SELECT rank() OVER (ORDER BY " + order + ") AS kr_rank" +
           body + ") WHERE kr_rank<=" + n + ")";
  return " LIMIT (SELECT CAST((count(*)*" + std::to_string(top.count) +
         "+99.999999)/100 AS INTEGER) FROM (" + count_source + "))";
}

}  // namespace

namespace {

// The other parts of a union, and its ORDER BY, which names the result's columns.
void AppendUnions(DatabaseImpl& db, const Select& select, Scope* outer, GeneratedSelect& out) {
  out.is_union = true;
  // A union's column takes the collation of the first part that has one: say it explicitly.
  for (OutputColumn& c : out.columns) c.collated = false;
  for (const Select::UnionPart& part : select.unions) {
    GeneratedSelect next = GenerateSelect(db, *part.select, outer);
    if (next.items.size() != out.items.size()) Raise(kDaoUnionColumnCount);
    out.sql += (part.all ? " UNION ALL " : " UNION ") + next.sql;
  }
  std::string union_order;
  for (size_t i = 0; i < select.order_by.size(); ++i) {
    const Expr& e = *select.order_by[i].expr;
    std::string key;
    if (IsOrdinal(e, out.columns.size())) key = SqlIdentifier(out.columns[e.integer - 1].def.name);
    if (e.kind == ExprKind::kColumn) {
      for (const OutputColumn& c : out.columns)
        if (SameName(c.def.name, e.column) ||
            (c.source_field.size() && SameName(c.source_field, e.column)))
          key = SqlIdentifier(c.def.name);
    }
    if (key.empty()) Raise(kDaoOrderBySyntax);
    union_order +=
        (i == 0 ? " ORDER BY " : ", ") + key + (select.order_by[i].descending ? " DESC" : "");
  }
  out.sql += union_order;
}

// A plain select of one table: recordsets edit its rows through the table itself.
void NoteSingleTable(const Select& select, Scope& scope, const std::vector<Item>& items,
                     const std::string& where, const std::string& order, GeneratedSelect& out) {
  out.single_table =
      !out.is_union && select.from.size() == 1 && select.from[0].kind == TableRef::Kind::kTable &&
      select.quantifier != SelectQuantifier::kDistinct && select.group_by.empty() &&
      !select.having && !HasAggregate(select) && !(select.top && select.top->percent);
  if (out.single_table) {
    out.base = scope.tables()[0];
    out.where_sql = where;
    out.order_sql = order;
    for (size_t i = 0; i < out.columns.size(); ++i) {
      if (!items[i].plain_column && !(items[i].expr && items[i].expr->kind == ExprKind::kColumn))
        continue;
      if (out.columns[i].source_table.empty()) continue;
      for (size_t f = 0; f < out.base.fields.size(); ++f)
        if (SameName(out.base.fields[f].name, out.columns[i].source_field))
          out.columns[i].base_index = static_cast<int>(f);
    }
  }
}

}  // namespace

GeneratedSelect GenerateSelect(DatabaseImpl& db, const Select& select, Scope* outer) {
  if (select.transform) return GenerateCrosstab(db, select);
  GeneratedSelect out;
  Scope scope(db, outer);
  std::vector<std::string> from_parts;
  for (const TableRef& ref : select.from) from_parts.push_back(scope.AddTableRef(ref));
  std::vector<Item> items = ExpandItems(select, scope);
  CheckSelectShape(select, scope);
  out.head = select.quantifier == SelectQuantifier::kDistinct ? "SELECT DISTINCT" : "SELECT";
  // DISTINCT and UNION tell rows apart by the collation of the (first part's) result columns.
  if (select.quantifier == SelectQuantifier::kDistinct || !select.unions.empty()) {
    for (Item& item : items)
      if (!item.column.collated && !IsNumericType(item.type))
        item.sql += std::string(" COLLATE ") + kTextCollation;
  }
  for (Item& item : items) {
    out.items.push_back(item.sql);
    out.stored_items.push_back(item.stored);
    out.item_types.push_back(item.type);
    out.columns.push_back(item.column);
  }
  std::string from;
  for (size_t i = 0; i < from_parts.size(); ++i) from += (i == 0 ? " FROM " : ", ") + from_parts[i];
  std::string where = select.where ? RenderCondition(*select.where, scope) : "";
  std::string group;
  if (std::string key = DistinctRowKey(select, scope); !key.empty()) group = " GROUP BY " + key;
  for (size_t i = 0; i < select.group_by.size(); ++i)
    group += (i == 0 ? " GROUP BY " : ", ") + RenderSortKey(*select.group_by[i], scope);
  std::string having = select.having ? " HAVING " + RenderCondition(*select.having, scope) : "";
  std::string order;
  if (select.unions.empty())
    for (size_t i = 0; i < select.order_by.size(); ++i)
      order += (i == 0 ? "" : ", ") + OrderKey(select.order_by[i], scope, items);
  std::string body = from + (where.empty() ? "" : " WHERE " + where) + group + having;
  std::string list;
  for (size_t i = 0; i < items.size(); ++i)
    list += (i == 0 ? " " : ", ") + items[i].sql + " AS " + SqlIdentifier(out.columns[i].def.name);
  if (select.top) {
    std::string base = out.head + list + body;
    const std::string limit =
        TopLimit(*select.top, base, order, body,
                 select.quantifier == SelectQuantifier::kDistinct || !select.unions.empty());
    if (!select.top->percent) out.limit_sql = limit;
    body += (order.empty() ? "" : " ORDER BY " + order) + limit;
  } else {
    body += order.empty() ? "" : " ORDER BY " + order;
  }
  out.tail = body;
  out.sql = out.head + list + body;
  if (!select.unions.empty()) AppendUnions(db, select, outer, out);
  NoteSingleTable(select, scope, items, where, order, out);
  return out;
}

std::string StoreAs(const std::string& value_sql, DataType from, const FieldDef& target,
                    const std::string& stored_sql) {
  int to = target.type;
  int source = static_cast<int>(from);
  if (to == kCurrency) {
    // Ten-thousandths go across as they are: exact whatever their size, and no call per row.
    if (!stored_sql.empty() && !target.real_currency) return stored_sql;
    return "kr_store(" + value_sql + "," + std::to_string(to) + "," + std::to_string(source) +
           (target.real_currency ? ",1)" : ")");
  }
  bool same = source == to;
  if (!same) {
    if (IsIntegerType(to) && to != kBoolean)
      same = source == kByte || source == kInteger || source == kLong ||
             (to == kLong && source == kBoolean) || (to == kInteger && source == kBoolean);
    else if (to == kDouble)
      same = source == kSingle || source == kCurrency || source == kByte || source == kInteger ||
             source == kLong;
    else if (to == kMemo || to == kText)
      same = source == kText || source == kMemo;
    else if (to == kLongBinary || to == kBinary)
      same = source == kBinary || source == kLongBinary;
  }
  // A Yes/No field is never Null: Null written into it is No.
  if (same && to == kBoolean) return "ifnull(" + value_sql + ",0)";
  if (same) return value_sql;
  return "kr_store(" + value_sql + "," + std::to_string(to) + "," + std::to_string(source) + ")";
}

}  // namespace kr::db::engine::internal
