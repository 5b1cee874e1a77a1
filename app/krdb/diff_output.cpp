// krdb diff's three formats: text for people, JSON for programs, Jet SQL that turns the first
// database into the second.
#include <sstream>

#include "app/krdb/diff_internal.h"
#include "platform/failure.h"

namespace kr::krdb::diff {

namespace {

std::string Name(std::string_view name) { return engine::QuoteJetName(name); }

// --- Text ---------------------------------------------------------------------------------------

class TextWriter : public Writer {
 public:
  TextWriter(const DiffOptions& options, std::ostream& out) : options_(options), out_(out) {}

  void Begin(const std::string& a_name, const std::string& b_name) override {
    out_ << "--- " << a_name << "\n+++ " << b_name << "\n";
  }
  void BeginTable(const TableDiff& t) override {
    table_ = &t;
    shown_removed_ = shown_added_ = shown_changed_ = 0;
    lines_.str("");
  }
  void Removed(const Row& row) override {
    if (shown_removed_++ < options_.shown) lines_ << "  - " << RowText(row, nullptr) << "\n";
  }
  void Added(const Row& row) override {
    if (shown_added_++ < options_.shown) lines_ << "  + " << RowText(row, nullptr) << "\n";
  }
  void Changed(const Row& before, const Row& after) override {
    if (shown_changed_++ < options_.shown) lines_ << "  ~ " << RowText(after, &before) << "\n";
  }
  void Regroup(const std::vector<Row>& before, const std::vector<Row>& after) override {
    // Copies: what is over on one side is listed, as the counts say.
    std::vector<bool> used(after.size());
    for (const Row& row : before) {
      size_t j = 0;
      while (j < after.size() && (used[j] || !(after[j] == row))) ++j;
      if (j < after.size()) {
        used[j] = true;
      } else {
        Removed(row);
      }
    }
    for (size_t j = 0; j < after.size(); ++j)
      if (!used[j]) Added(after[j]);
  }
  void EndTable(const TableDiff& t, int64_t removed, int64_t added, int64_t changed) override {
    if (!t.a.impl() || !t.b.impl()) {
      engine::TableDef only = t.a.impl() ? t.a : t.b;
      out_ << "table " << t.name << ": only in " << (t.a.impl() ? "the first" : "the second")
           << " (" << only.RecordCount() << " rows)\n";
      return;
    }
    if (t.schema.empty() && removed + added + changed == 0) return;
    out_ << "table " << t.name << ": " << removed << " removed, " << added << " added, " << changed
         << " changed" << (t.keyed ? "" : " (no shared primary key: rows compared as copies)")
         << "\n";
    for (const std::string& line : t.schema) out_ << "  " << line << "\n";
    out_ << lines_.str();
    ++tables_;
  }
  void End(bool differ) override { out_ << (differ ? "" : "no differences\n"); }

 private:
  // The row's values, key columns first in brackets; with before, the changed fields marked
  // "*" with their old values.
  std::string RowText(const Row& row, const Row* before) {
    std::string text;
    for (size_t i = 0; i < row.size(); ++i) {
      bool changed = before != nullptr && !((*before)[i] == row[i]);
      if (!text.empty()) text += ", ";
      text += (changed ? "*" : "") + table_->columns[i] + "=" + Shown(row[i]);
      if (changed) text += " (was " + Shown((*before)[i]) + ")";
    }
    return text;
  }
  static std::string Shown(const Value& v) {
    if (v.IsNull()) return "Null";
    if (v.kind() == Value::Kind::kText) return engine::QuoteJetText(v.text());
    return DisplayText(v);
  }

  const DiffOptions& options_;
  std::ostream& out_;
  const TableDiff* table_ = nullptr;
  size_t shown_removed_ = 0, shown_added_ = 0, shown_changed_ = 0;
  std::ostringstream lines_;
  int tables_ = 0;
};

// --- JSON ---------------------------------------------------------------------------------------

class JsonWriter : public Writer {
 public:
  JsonWriter(const DiffOptions& options, std::ostream& out) : options_(options), out_(out) {}

  void Begin(const std::string& a_name, const std::string& b_name) override {
    out_ << "{\"a\": " << JsonString(a_name) << ", \"b\": " << JsonString(b_name)
         << ", \"tables\": [";
  }
  void BeginTable(const TableDiff& t) override {
    table_ = &t;
    removed_.clear();
    added_.clear();
    changed_.clear();
  }
  void Removed(const Row& row) override { Keep(removed_, Object(row, nullptr)); }
  void Added(const Row& row) override { Keep(added_, Object(row, nullptr)); }
  void Changed(const Row& before, const Row& after) override {
    Keep(changed_, Object(after, &before));
  }
  void Regroup(const std::vector<Row>& before, const std::vector<Row>& after) override {
    for (const Row& row : before) Removed(row);
    for (const Row& row : after) Added(row);
  }
  void EndTable(const TableDiff& t, int64_t removed, int64_t added, int64_t changed) override {
    bool in_a = t.a.impl() != nullptr, in_b = t.b.impl() != nullptr;
    if (in_a && in_b && t.schema.empty() && removed + added + changed == 0) return;
    out_ << (first_ ? "\n" : ",\n") << "  {\"name\": " << JsonString(t.name) << ", \"status\": "
         << JsonString(!in_a   ? "added"
                       : !in_b ? "removed"
                               : "changed");
    first_ = false;
    if (in_a && in_b) {
      out_ << ", \"keyed\": " << (t.keyed ? "true" : "false") << ", \"schema\": [";
      for (size_t i = 0; i < t.schema.size(); ++i)
        out_ << (i ? ", " : "") << JsonString(t.schema[i]);
      out_ << "], \"removed\": " << removed << ", \"added\": " << added
           << ", \"changed\": " << changed << ", \"first\": {\"removed\": [" << Joined(removed_)
           << "], \"added\": [" << Joined(added_) << "], \"changed\": [" << Joined(changed_)
           << "]}";
    }
    out_ << "}";
  }
  void End(bool differ) override {
    out_ << (first_ ? "" : "\n") << "], \"equal\": " << (differ ? "false" : "true") << "}\n";
  }

 private:
  void Keep(std::vector<std::string>& rows, std::string object) {
    if (rows.size() < options_.shown) rows.push_back(std::move(object));
  }
  // A changed row gives its values after, and "changed": {field: [before, after]}.
  std::string Object(const Row& row, const Row* before) {
    std::string text = "{";
    std::string changes;
    for (size_t i = 0; i < row.size(); ++i) {
      text += (i ? ", " : "") + JsonString(table_->columns[i]) + ": " + JsonValue(row[i]);
      if (before != nullptr && !((*before)[i] == row[i])) {
        changes += (changes.empty() ? "" : ", ") + JsonString(table_->columns[i]) + ": [" +
                   JsonValue((*before)[i]) + ", " + JsonValue(row[i]) + "]";
      }
    }
    if (before != nullptr) text += ", \"changed\": {" + changes + "}";
    return text + "}";
  }
  static std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
  }

  const DiffOptions& options_;
  std::ostream& out_;
  const TableDiff* table_ = nullptr;
  std::vector<std::string> removed_, added_, changed_;
  bool first_ = true;
};

// --- SQL ----------------------------------------------------------------------------------------

class SqlWriter : public Writer {
 public:
  SqlWriter(engine::Database& b, std::ostream& out) : b_(b), out_(out) {}

  void Begin(const std::string& a_name, const std::string& b_name) override {
    out_ << "-- krdb diff: turns " << a_name << "\n-- into " << b_name
         << "\n-- Run: krdb [PASSWORD OPTION] DBFILE script THIS_FILE\n";
  }
  void BeginTable(const TableDiff& t) override {
    table_ = &t;
    bool in_a = t.a.impl() != nullptr, in_b = t.b.impl() != nullptr;
    rows_ = in_a && in_b && !t.recreate;
    if (in_a && (!in_b || t.recreate)) out_ << "\nDROP TABLE " << Name(t.name) << ";\n";
    if (in_b && (!in_a || t.recreate)) {
      engine::TableDef table = t.b;
      out_ << (in_a ? "" : "\n");
      DumpTable(b_, table, out_);
    }
    if (rows_) {
      for (const std::string& index : t.drop_indexes)
        out_ << "DROP INDEX " << Name(index) << " ON " << Name(t.name) << ";\n";
    }
  }
  void Removed(const Row& row) override {
    if (rows_) out_ << "DELETE FROM " << Name(table_->name) << " WHERE " << Where(row) << ";\n";
  }
  void Added(const Row& row) override {
    if (rows_) Insert(row);
  }
  void Changed(const Row& before, const Row& after) override {
    if (!rows_) return;
    std::string set;
    bool literal = true;
    for (size_t i = 0; i < after.size(); ++i) {
      if (before[i] == after[i]) continue;
      std::string value = JetLiteral(after[i]);
      literal = literal && !value.empty();
      set += (set.empty() ? "" : ", ") + Name(table_->columns[i]) + "=" + value;
    }
    if (!literal) {  // a value only KRDB INSERT can write: the row goes and comes again
      Removed(before);
      Insert(after);
      return;
    }
    out_ << "UPDATE " << Name(table_->name) << " SET " << set << " WHERE " << Where(before)
         << ";\n";
  }
  void Regroup(const std::vector<Row>& before, const std::vector<Row>& after) override {
    if (!rows_) return;
    Removed(before.front());  // the condition holds for every copy of the group
    for (const Row& row : after) Insert(row);
  }
  void EndTable(const TableDiff& t, int64_t, int64_t, int64_t) override {
    if (!rows_) return;
    for (const engine::IndexInfo& index : t.create_indexes) out_ << IndexDdl(t.name, index);
  }
  void End(bool) override { out_.flush(); }

 private:
  // The row's key (every column for a keyless table) as a condition.
  std::string Where(const Row& row) {
    std::string where;
    for (size_t i : table_->key) {
      const Value& v = row[i];
      std::string column = Name(table_->columns[i]);
      where += where.empty() ? "" : " AND ";
      if (v.IsNull()) {
        where += column + " IS NULL";
        continue;
      }
      std::string literal = JetLiteral(v);
      if (literal.empty()) {
        throw kr::Failure(
            3000, "値を条件に書けません: " + table_->name + "." + table_->columns[i],
            "a value cannot be written as a condition: " + table_->name + "." + table_->columns[i]);
      }
      // A single is compared as the single the literal makes.
      where +=
          column + "=" + (v.kind() == Value::Kind::kSingle ? "CSng(" + literal + ")" : literal);
    }
    return where;
  }
  void Insert(const Row& row) {
    std::vector<std::string> literals;
    bool jet = true;
    for (const Value& v : row) {
      literals.push_back(JetLiteral(v));
      jet = jet && !literals.back().empty();
    }
    if (!jet) {
      literals.clear();
      for (const Value& v : row) literals.push_back(KrdbLiteral(v));
    }
    std::string names, values;
    for (size_t i = 0; i < row.size(); ++i) {
      names += (i ? ", " : "") + Name(table_->columns[i]);
      values += (i ? ", " : "") + literals[i];
    }
    out_ << (jet ? "" : "KRDB ") << "INSERT INTO " << Name(table_->name) << " (" << names
         << ") VALUES (" << values << ");\n";
  }

  engine::Database& b_;
  std::ostream& out_;
  const TableDiff* table_ = nullptr;
  bool rows_ = false;
};

}  // namespace

std::unique_ptr<Writer> MakeWriter(const DiffOptions& options, engine::Database& b,
                                   std::ostream& out) {
  switch (options.format) {
    case DiffFormat::kJson:
      return std::make_unique<JsonWriter>(options, out);
    case DiffFormat::kSql:
      return std::make_unique<SqlWriter>(b, out);
    case DiffFormat::kText:
      break;
  }
  return std::make_unique<TextWriter>(options, out);
}

}  // namespace kr::krdb::diff
