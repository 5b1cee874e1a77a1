// Keeping a price table's old rows across a refresh and carrying the user's values back; making
// or extending a table from a source table's field definitions.
#include "db/db.h"
#include "platform/failure.h"

namespace kr::db {

namespace {

bool SameName(std::string_view a, std::string_view b) {
  return support::UpperCase(a) == support::UpperCase(b);
}

bool HasFieldNamed(const TableDef& table, std::string_view name) {
  for (engine::Field field : table.Fields()) {
    if (SameName(field.Name(), name)) return true;
  }
  return false;
}

// "VAL" and exactly three digits (Val120), optionally followed by "S" (Val120s).
bool IsPriceTable(std::string_view upper, bool with_s) {
  size_t length = with_s ? 7 : 6;
  if (upper.size() != length || upper.substr(0, 3) != "VAL") return false;
  for (size_t i = 3; i < 6; ++i) {
    if (upper[i] < '0' || upper[i] > '9') return false;
  }
  return !with_s || upper[6] == 'S';
}

}  // namespace

void CopyFieldDef(const TableDef& source, TableDef& target, std::string_view field_name) {
  StepAndContinue steps("CopyFieldDef");
  bool present = false;
  steps.Step([&] { present = HasFieldNamed(target, field_name); });
  if (present) return;
  engine::Field from, to;
  int type = 0;
  steps.Step([&] { from = source.Fields()[field_name]; });
  steps.Step([&] { to = target.CreateField(field_name); });
  steps.Step([&] { type = from.Type(); });
  steps.Step([&] { to.SetType(type); });
  if (type == engine::kText || type == engine::kMemo) {
    steps.Step([&] { to.SetAllowZeroLength(from.AllowZeroLength()); });
  }
  steps.Step([&] { to.SetDefaultValue(from.DefaultValue()); });
  steps.Step([&] { to.SetRequired(from.Required()); });
  if (type == engine::kText) steps.Step([&] { to.SetSize(from.Size()); });
  steps.Step([&] { to.SetValidationRule(from.ValidationRule()); });
  steps.Step([&] { target.Fields().Append(to); });
}

void KeepOldTable(Database& source, Database& target, std::string_view table) {
  std::string t(table);
  TableDef old = target.CreateTableDef(t + "Old");
  // The release's layout, unless the release lacks a column the target has (a user column among
  // them): a copy in that layout would refuse the rows and the user's values with them.
  TableDef layout = source.TableDefs()[t];
  TableDef own = target.TableDefs()[t];
  for (engine::Field field : own.Fields()) {
    if (!HasFieldNamed(layout, field.Name())) {
      layout = own;
      break;
    }
  }
  for (engine::Field field : layout.Fields()) CopyFieldDef(layout, old, field.Name());
  target.TableDefs().Append(old);
  // No refresh: the engine's catalogue holds the appended table at once.
  target.Execute("INSERT INTO " + t + "Old SELECT * FROM " + t + " WHERE 1;");
}

void CarryOverUserPrices(Database& /*source*/, Database& target, std::string_view table) {
  std::string t(table);
  std::string upper = support::UpperCase(t);
  if (IsPriceTable(upper, false)) {
    target.Execute("UPDATE " + t + " INNER JOIN " + t + "Old " + "ON (" + t + ".Code=" + t +
                   "Old.Code) " + "SET " + t + ".ValPrice1=" + t + "Old.ValPrice1," + t +
                   ".ValPrice2=" + t + "Old.ValPrice2," + t + ".UserCode=" + t + "Old.UserCode," +
                   t + ".JPer=" + t + "Old.JPer;");
    target.Execute("UPDATE " + t + " INNER JOIN " + t + "Old " + "ON (" + t + ".Code=" + t +
                   "Old.Code) " + "SET " + t + ".Search1=" + t + "Old.Search1," + t +
                   ".Search2=" + t + "Old.Search2 " + "WHERE NOT ISNULL(" + t +
                   "Old.MakeDay) AND " + t + "Old.MakeDay<>'';");
    target.Execute("INSERT INTO " + t + " " + "SELECT * " + "FROM " + t + "Old " +
                   "WHERE LEN(Code)>=18;");
  }
  if (IsPriceTable(upper, true)) {
    target.Execute("UPDATE " + t + " INNER JOIN " + t + "Old " + "ON (" + t + ".Code=" + t +
                   "Old.Code) AND (" + t + ".ValCode=" + t + "Old.ValCode) " + "SET " + t +
                   ".Quantity2=" + t + "Old.Quantity2;");
    target.Execute("DELETE * FROM " + t + " " + "WHERE ValCode IN (SELECT ValCode FROM " + t +
                   "Old WHERE LEN(ValCode)>=18);");
    target.Execute("INSERT INTO " + t + " " + "SELECT * " + "FROM " + t + "Old " +
                   "WHERE LEN(ValCode)>=18;");
  }
  target.Execute("DROP Table " + t + "Old;");
}

bool SyncFields(Database& source_db, std::string_view source_table, Database& target_db,
                std::string_view target_table, bool add) {
  source_db.TableDefs().Refresh();
  target_db.TableDefs().Refresh();
  TableDef from = source_db.TableDefs()[source_table];
  TableDef to = target_db.TableDefs()[target_table];
  bool complete = true;
  for (engine::Field field : from.Fields()) {
    if (HasFieldNamed(to, field.Name())) continue;
    complete = false;
    if (add) CopyFieldDef(from, to, field.Name());
  }
  return complete;
}

void TransferTableAs(Database& source, Database& target, std::string_view source_table,
                     std::string_view target_table) {
  StepAndContinue steps("TransferTable");
  if (!HasTable(target, target_table)) {
    TableDef created, layout;
    steps.Step([&] { created = target.CreateTableDef(target_table); });
    steps.Step([&] { layout = source.TableDefs()[source_table]; });
    steps.Step([&] {
      for (engine::Field field : layout.Fields()) CopyFieldDef(layout, created, field.Name());
    });
    // No refresh after the append: the engine's catalogue holds the new table at once.
    steps.Step([&] { target.TableDefs().Append(created); });
  }
  std::string spec = source_table == target_table
                         ? std::string(target_table)
                         : std::string(source_table) + "," + std::string(target_table);
  steps.Call([&] { TransferRows(source, target, spec, "", ""); });
}

void TransferTable(Database& source, Database& target, std::string_view table) {
  TransferTableAs(source, target, table, table);
}

}  // namespace kr::db
