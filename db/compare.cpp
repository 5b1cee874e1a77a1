// Two databases compared table by table. Rows are read once from each side in the order of the
// key the tables share (of every column for tables without one) and merged, so memory does not
// grow with the tables.
#include <algorithm>

#include "db/db.h"
#include "platform/failure.h"
#include "support/support.h"

namespace kr::db {

namespace {

using Row = DiffRow;

std::string Upper(std::string_view name) { return support::UpperCase(name); }

bool Local(TableDef& t) {
  int32_t attributes = t.Attributes();
  return (attributes & engine::kSystemObject) != engine::kSystemObject &&
         (attributes & engine::kAttachedTable) == 0;
}

std::string FieldText(const engine::Field& f) {
  std::string text = std::to_string(f.Type()) + "/" + std::to_string(f.Size()) +
                     (f.Required() ? " required" : "") +
                     (f.AllowZeroLength() ? " zerolength" : "") +
                     ((f.Attributes() & engine::kAutoIncrField) ? " counter" : "");
  if (!f.DefaultValue().empty()) text += " default " + f.DefaultValue();
  if (!f.ValidationRule().empty()) text += " rule " + f.ValidationRule();
  return text;
}

std::string IndexText(const engine::IndexInfo& index) {
  std::string text;
  for (const auto& [name, descending] : index.fields)
    text += Upper(name) + (descending ? " DESC" : "") + ",";
  return text + (index.primary ? " primary" : "") + (index.unique ? " unique" : "") +
         (index.ignore_nulls ? " ignore nulls" : "") + (index.required ? " required" : "");
}

std::vector<std::string> KeyOf(const std::vector<engine::IndexInfo>& indexes) {
  for (const engine::IndexInfo& index : indexes) {
    if (!index.primary) continue;
    std::vector<std::string> key;
    for (const auto& column : index.fields) key.push_back(Upper(column.first));
    return key;
  }
  return {};
}

// Definitions compared: fields by name, indexes by name; what the rows are matched by.
void CompareDefinitions(TableDiff& t) {
  engine::FieldCollection fa = t.a.Fields(), fb = t.b.Fields();
  for (engine::Field f : fb) {
    engine::Field other;
    bool found = false;
    for (engine::Field g : fa) {
      if (Upper(g.Name()) == Upper(f.Name())) {
        other = g;
        found = true;
      }
    }
    if (!found) {
      t.schema.push_back("+ field " + f.Name());
    } else {
      t.columns.push_back(f.Name());
      if (FieldText(other) != FieldText(f))
        t.schema.push_back("~ field " + f.Name() + ": " + FieldText(other) + " -> " + FieldText(f));
    }
  }
  for (engine::Field g : fa) {
    bool found = false;
    for (engine::Field f : fb) found = found || Upper(g.Name()) == Upper(f.Name());
    if (!found) t.schema.push_back("- field " + g.Name());
  }
  t.recreate = !t.schema.empty();
  std::vector<engine::IndexInfo> ia = t.a.Indexes(), ib = t.b.Indexes();
  for (const engine::IndexInfo& index : ia) {
    auto same = std::find_if(ib.begin(), ib.end(), [&](const engine::IndexInfo& other) {
      return Upper(other.name) == Upper(index.name);
    });
    if (same == ib.end()) {
      t.schema.push_back("- index " + index.name);
      t.drop_indexes.push_back(index.name);
    } else if (IndexText(*same) != IndexText(index)) {
      t.schema.push_back("~ index " + index.name + ": " + IndexText(index) + " -> " +
                         IndexText(*same));
      t.drop_indexes.push_back(index.name);
      t.create_indexes.push_back(*same);
    }
  }
  for (const engine::IndexInfo& index : ib) {
    bool found = std::any_of(ia.begin(), ia.end(), [&](const engine::IndexInfo& other) {
      return Upper(other.name) == Upper(index.name);
    });
    if (!found) {
      t.schema.push_back("+ index " + index.name);
      t.create_indexes.push_back(index);
    }
  }
  std::vector<std::string> key_a = KeyOf(ia), key_b = KeyOf(ib);
  if (key_a != key_b) t.recreate = true;
  t.keyed = !key_b.empty() && key_a == key_b;
  if (t.keyed) {
    for (const std::string& column : key_b) {
      for (size_t i = 0; i < t.columns.size(); ++i)
        if (Upper(t.columns[i]) == column) t.key.push_back(i);
    }
    t.keyed = t.key.size() == key_b.size();
  }
  if (!t.keyed) {
    t.key.clear();
    for (size_t i = 0; i < t.columns.size(); ++i) t.key.push_back(i);
  }
}

// A table's rows in the order of the compared key, a group of rows with equal keys at a time.
class OrderedRows {
 public:
  OrderedRows(Database& db, const TableDiff& t) : key_(t.key) {
    if (t.columns.empty()) return;
    std::string select, order;
    for (const std::string& column : t.columns)
      select += (select.empty() ? "" : ", ") + engine::QuoteJetName(column);
    for (size_t i : t.key)
      order += (order.empty() ? "" : ", ") + engine::QuoteJetName(t.columns[i]);
    rs_ = db.OpenRecordset(
        "SELECT " + select + " FROM " + engine::QuoteJetName(t.name) + " ORDER BY " + order,
        engine::kOpenForwardOnly);
    fields_ = rs_.Fields();
    Read();
  }

  // The next group; false at the end.
  bool Next(std::vector<Row>& group) {
    group.clear();
    if (!has_next_) return false;
    group.push_back(std::move(next_));
    Read();
    while (has_next_ && Compare(group.front(), next_) == 0) {
      group.push_back(std::move(next_));
      Read();
    }
    return true;
  }

  int Compare(const Row& a, const Row& b) const {
    for (size_t i : key_) {
      if (int c = engine::CompareOrdered(a[i], b[i])) return c;
    }
    return 0;
  }

  ~OrderedRows() {
    if (rs_.impl()) LeaveOnError("close diff rows", [&] { rs_.Close(); });
  }

 private:
  void Read() {
    has_next_ = rs_.impl() && !rs_.Eof();
    if (!has_next_) return;
    next_.resize(static_cast<size_t>(fields_.Count()));
    for (int i = 0; i < fields_.Count(); ++i) next_[static_cast<size_t>(i)] = fields_[i].GetValue();
    rs_.MoveNext();
  }

  std::vector<size_t> key_;
  engine::Recordset rs_;
  engine::FieldCollection fields_;
  Row next_;
  bool has_next_ = false;
};

struct Counts {
  int64_t removed = 0, added = 0, changed = 0;
  bool any() const { return removed + added + changed > 0; }
};

Counts CompareRows(Database& a, Database& b, const TableDiff& t, DiffReceiver& receiver) {
  Counts counts;
  OrderedRows ra(a, t), rb(b, t);
  std::vector<Row> ga, gb;
  bool more_a = ra.Next(ga), more_b = rb.Next(gb);
  while ((more_a || more_b) && !receiver.Enough()) {
    int c = !more_a ? 1 : !more_b ? -1 : ra.Compare(ga.front(), gb.front());
    if (c < 0) {
      for (const Row& row : ga) receiver.Removed(row);
      counts.removed += static_cast<int64_t>(ga.size());
      more_a = ra.Next(ga);
    } else if (c > 0) {
      for (const Row& row : gb) receiver.Added(row);
      counts.added += static_cast<int64_t>(gb.size());
      more_b = rb.Next(gb);
    } else {
      if (t.keyed && ga.size() == 1 && gb.size() == 1) {
        if (!(ga.front() == gb.front())) {
          receiver.Changed(ga.front(), gb.front());
          ++counts.changed;
        }
      } else if (ga != gb) {
        // Copies matched one to one; what is left over went or came.
        std::vector<bool> used(gb.size());
        int64_t removed = 0;
        for (const Row& row : ga) {
          size_t j = 0;
          while (j < gb.size() && (used[j] || !(gb[j] == row))) ++j;
          if (j < gb.size()) {
            used[j] = true;
          } else {
            ++removed;
          }
        }
        int64_t added = static_cast<int64_t>(std::count(used.begin(), used.end(), false));
        if (removed + added > 0) {
          receiver.Regroup(ga, gb);
          counts.removed += removed;
          counts.added += added;
        }
      }
      more_a = ra.Next(ga);
      more_b = rb.Next(gb);
    }
  }
  return counts;
}

}  // namespace

bool CompareDatabases(Database& a, Database& b, const std::vector<std::string>& tables,
                      DiffReceiver& receiver) {
  std::vector<std::string> names;
  auto wanted = [&](const std::string& name) {
    if (tables.empty()) return true;
    return std::any_of(tables.begin(), tables.end(),
                       [&](const std::string& t) { return Upper(t) == Upper(name); });
  };
  for (Database* db : {&a, &b}) {
    for (TableDef t : db->TableDefs()) {
      if (!Local(t) || !wanted(t.Name())) continue;
      bool known = std::any_of(names.begin(), names.end(),
                               [&](const std::string& n) { return Upper(n) == Upper(t.Name()); });
      if (!known) names.push_back(t.Name());
    }
  }
  for (const std::string& table : tables) {
    bool found = std::any_of(names.begin(), names.end(),
                             [&](const std::string& n) { return Upper(n) == Upper(table); });
    if (!found) {
      throw kr::Failure(3078, "テーブル '" + table + "' が見つかりません。",
                        "no table " + table + " in either database");
    }
  }
  receiver.Begin(a.Name(), b.Name());
  bool differ = false;
  for (const std::string& name : names) {
    if (receiver.Enough()) break;
    TableDiff t;
    t.name = name;
    t.a = a.TableDefs().Find(name);
    t.b = b.TableDefs().Find(name);
    bool in_a = t.a.impl() != nullptr, in_b = t.b.impl() != nullptr;
    if (in_a && in_b) {
      if (!Local(t.a) || !Local(t.b)) continue;
      CompareDefinitions(t);
    }
    receiver.BeginTable(t);
    Counts counts;
    if (in_a && in_b) counts = CompareRows(a, b, t, receiver);
    receiver.EndTable(t, counts.removed, counts.added, counts.changed);
    differ = differ || !in_a || !in_b || !t.schema.empty() || counts.any();
  }
  receiver.End(differ);
  return differ;
}

namespace {

// Stops at the first difference.
class FirstDifference : public DiffReceiver {
 public:
  bool Enough() const override { return found_; }
  void Begin(const std::string&, const std::string&) override {}
  void BeginTable(const TableDiff& t) override {
    found_ = found_ || !t.a.impl() || !t.b.impl() || !t.schema.empty();
  }
  void Removed(const DiffRow&) override { found_ = true; }
  void Added(const DiffRow&) override { found_ = true; }
  void Changed(const DiffRow&, const DiffRow&) override { found_ = true; }
  void Regroup(const std::vector<DiffRow>&, const std::vector<DiffRow>&) override { found_ = true; }
  void EndTable(const TableDiff&, int64_t, int64_t, int64_t) override {}
  void End(bool) override {}

 private:
  bool found_ = false;
};

}  // namespace

bool SameContent(std::string_view a, std::string_view b) {
  return LeaveOnError("SameContent", false, [&] {
    Database da = engine::OpenDatabase(a, false, true, ConnectString());
    Database db = engine::OpenDatabase(b, false, true, ConnectString());
    FirstDifference receiver;
    const bool differ = CompareDatabases(da, db, {}, receiver);
    LeaveOnError("close compared", [&] { db.Close(); });
    LeaveOnError("close compared", [&] { da.Close(); });
    return !differ;
  });
}

}  // namespace kr::db
