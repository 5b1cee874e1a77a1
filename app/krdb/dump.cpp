// krdb dump: a database as the krdb script that makes it again.
#include <cctype>

#include "app/krdb/krdb_internal.h"
#include "platform/failure.h"

namespace kr::krdb {

namespace {

std::string TypeText(const engine::Field& f) {
  bool counter = (f.Attributes() & engine::kAutoIncrField) != 0;
  switch (f.Type()) {
    case engine::kBoolean:
      return "YESNO";
    case engine::kByte:
      return "BYTE";
    case engine::kInteger:
      return "SHORT";
    case engine::kLong:
      return counter ? "COUNTER" : "LONG";
    case engine::kCurrency:
      return "CURRENCY";
    case engine::kSingle:
      return "SINGLE";
    case engine::kDouble:
      return "DOUBLE";
    case engine::kDate:
      return "DATETIME";
    case engine::kBinary:
      return "BINARY(" + std::to_string(f.Size()) + ")";
    case engine::kText:
      return "TEXT(" + std::to_string(f.Size()) + ")";
    case engine::kLongBinary:
      return "LONGBINARY";
    case engine::kMemo:
      return "MEMO";
  }
  return "";
}

bool Sized(int type) { return type == engine::kText || type == engine::kBinary; }
bool Textual(int type) { return type == engine::kText || type == engine::kMemo; }

// Jet DDL says a field's type, size and Required; a text made by DDL allows zero-length strings.
bool SaidByDdl(const engine::Field& f) {
  if (Sized(f.Type()) && (f.Size() < 1 || f.Size() > 255)) return false;
  return f.AllowZeroLength() == Textual(f.Type()) && f.DefaultValue().empty() &&
         f.ValidationRule().empty();
}

std::string FieldDdl(const engine::Field& f) {
  return engine::QuoteJetName(f.Name()) + " " + TypeText(f) + (f.Required() ? " NOT NULL" : "");
}

std::string ColumnList(const engine::IndexInfo& index, bool with_order) {
  std::string list;
  for (const auto& [name, descending] : index.fields)
    list += (list.empty() ? "" : ", ") + engine::QuoteJetName(name) +
            (with_order && descending ? " DESC" : "");
  return list;
}

// The key a CONSTRAINT clause makes: primary, unique, required, ascending.
bool PlainPrimaryKey(const engine::IndexInfo& index) {
  if (!index.primary || !index.unique || !index.required || index.ignore_nulls) return false;
  for (const auto& column : index.fields)
    if (column.second) return false;
  return true;
}

}  // namespace

std::string IndexDdl(std::string_view table, const engine::IndexInfo& index) {
  std::string sql = std::string("CREATE ") + (index.unique && !index.primary ? "UNIQUE " : "") +
                    "INDEX " + engine::QuoteJetName(index.name) + " ON " +
                    engine::QuoteJetName(table) + " (" + ColumnList(index, true) + ")";
  std::string with;
  if (index.primary) with += " PRIMARY";
  if (index.required && !index.primary) with += " DISALLOW NULL";
  if (index.ignore_nulls) with += " IGNORE NULL";
  return sql + (with.empty() ? "" : " WITH" + with) + ";\n";
}

namespace {

// Returns whether the primary key went into the definition.
bool DumpDefinition(engine::TableDef& table, const std::vector<engine::IndexInfo>& indexes,
                    std::ostream& out) {
  engine::FieldCollection fields = table.Fields();
  bool ddl = true;
  for (engine::Field f : fields) ddl = ddl && SaidByDdl(f);
  bool key_inside = ddl && !indexes.empty() && PlainPrimaryKey(indexes.front());
  if (ddl) {
    out << "CREATE TABLE " << engine::QuoteJetName(table.Name()) << " (";
    for (int i = 0; i < fields.Count(); ++i) out << (i ? ", " : "") << FieldDdl(fields[i]);
    if (key_inside) {
      out << ", CONSTRAINT " << engine::QuoteJetName(indexes.front().name) << " PRIMARY KEY ("
          << ColumnList(indexes.front(), false) << ")";
    }
    out << ");\n";
    return key_inside;
  }
  out << "KRDB TABLE " << engine::QuoteJetName(table.Name()) << " (";
  for (int i = 0; i < fields.Count(); ++i) {
    engine::Field f = fields[i];
    out << (i ? ",\n  " : "") << FieldDdl(f);
    if (f.AllowZeroLength() != Textual(f.Type()))
      out << (f.AllowZeroLength() ? " ZEROLENGTH" : " NOZEROLENGTH");
    if (!f.DefaultValue().empty()) out << " DEFAULT " << engine::QuoteJetText(f.DefaultValue());
    if (!f.ValidationRule().empty()) out << " RULE " << engine::QuoteJetText(f.ValidationRule());
  }
  out << ");\n";
  return false;
}

void DumpRows(engine::Database& db, engine::TableDef& table, std::ostream& out) {
  engine::Recordset rs = db.OpenRecordset(table.Name(), engine::kOpenTable);
  engine::FieldCollection fields = rs.Fields();
  std::string names;
  for (int i = 0; i < fields.Count(); ++i)
    names += (i ? ", " : "") + engine::QuoteJetName(fields[i].Name());
  std::string into =
      "INSERT INTO " + engine::QuoteJetName(table.Name()) + " (" + names + ") VALUES (";
  std::vector<std::string> literals(static_cast<size_t>(fields.Count()));
  while (!rs.Eof()) {
    bool jet = true;
    for (int i = 0; i < fields.Count(); ++i) {
      literals[static_cast<size_t>(i)] = JetLiteral(fields[i].GetValue());
      jet = jet && !literals[static_cast<size_t>(i)].empty();
    }
    if (!jet) {
      for (int i = 0; i < fields.Count(); ++i) {
        Value v = fields[i].GetValue();
        literals[static_cast<size_t>(i)] = KrdbLiteral(v);
        if (literals[static_cast<size_t>(i)].empty()) {
          throw kr::Failure(3000,
                            "値をスクリプトに書けません: " + table.Name() + "." + fields[i].Name(),
                            "a value cannot be written: " + table.Name() + "." + fields[i].Name());
        }
      }
    }
    out << (jet ? "" : "KRDB ") << into;
    for (size_t i = 0; i < literals.size(); ++i) out << (i ? ", " : "") << literals[i];
    out << ");\n";
    rs.MoveNext();
  }
  rs.Close();
}

}  // namespace

void DumpTable(engine::Database& db, engine::TableDef& table, std::ostream& out) {
  std::vector<engine::IndexInfo> indexes = table.Indexes();
  bool key_inside = DumpDefinition(table, indexes, out);
  DumpRows(db, table, out);
  for (size_t i = key_inside ? 1 : 0; i < indexes.size(); ++i)
    out << IndexDdl(table.Name(), indexes[i]);
}

void Dump(engine::Database& db, std::string_view password_option, std::ostream& out) {
  std::string options = password_option.empty() ? "" : std::string(password_option) + " ";
  out << "-- krdb dump of " << db.Name() << "\n"
      << "-- Rebuild: krdb " << options << "NEW.mdb create && krdb " << options
      << "NEW.mdb script THIS_FILE\n";
  std::vector<engine::TableDef> links;
  for (engine::TableDef table : db.TableDefs()) {
    int32_t attributes = table.Attributes();
    if ((attributes & engine::kSystemObject) == engine::kSystemObject) continue;
    if (attributes & engine::kAttachedTable) {
      links.push_back(table);
      continue;
    }
    out << "\n";
    DumpTable(db, table, out);
  }
  // Relationships once every table has its rows, which they then hold for.
  std::vector<engine::RelationInfo> relations = db.Relations();
  if (!relations.empty()) out << "\n";
  for (const engine::RelationInfo& r : relations) {
    std::string own, theirs;
    for (const auto& [field, foreign_field] : r.fields) {
      own += (own.empty() ? "" : ", ") + engine::QuoteJetName(foreign_field);
      theirs += (theirs.empty() ? "" : ", ") + engine::QuoteJetName(field);
    }
    out << "ALTER TABLE " << engine::QuoteJetName(r.foreign_table) << " ADD CONSTRAINT "
        << engine::QuoteJetName(r.name) << " FOREIGN KEY (" << own << ") REFERENCES "
        << engine::QuoteJetName(r.table) << " (" << theirs << ")"
        << ((r.attributes & engine::kRelationUpdateCascade) ? " ON UPDATE CASCADE" : "")
        << ((r.attributes & engine::kRelationDeleteCascade) ? " ON DELETE CASCADE" : "") << ";\n";
  }
  if (!links.empty()) out << "\n";
  for (engine::TableDef& link : links) {
    // The source opens with the password this script is run with: the link's own is not written.
    std::string connect = link.Connect();
    std::string folded = connect;
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string path;
    size_t start = folded.find("database=");
    if (start != std::string::npos) {
      start += 9;
      size_t end = connect.find(';', start);
      path = connect.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
    out << "KRDB LINK " << engine::QuoteJetName(link.Name()) << " TO "
        << engine::QuoteJetName(link.SourceTableName()) << " IN " << engine::QuoteJetText(path)
        << ";\n";
  }
  out.flush();
}

}  // namespace kr::krdb
