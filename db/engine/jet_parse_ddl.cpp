// Definition statements: CREATE TABLE, CREATE [UNIQUE] INDEX, DROP TABLE, DROP INDEX and
// ALTER TABLE, with Jet's DDL type names and their synonyms.
#include <algorithm>

#include "db/engine/jet_parser_internal.h"

namespace kr::db::engine::parse {
namespace {

struct TypeName {
  std::string_view word;
  DataType type;
  bool counter;
  bool sized;  // takes "(n)"
};

constexpr TypeName kTypes[] = {
    {"TEXT", DataType::kText, false, true},
    {"CHAR", DataType::kText, false, true},
    {"VARCHAR", DataType::kText, false, true},
    {"STRING", DataType::kText, false, true},
    {"ALPHANUMERIC", DataType::kText, false, true},
    {"CHARACTER", DataType::kText, false, true},
    {"NCHAR", DataType::kText, false, true},
    {"NVARCHAR", DataType::kText, false, true},
    {"MEMO", DataType::kMemo, false, false},
    {"LONGTEXT", DataType::kMemo, false, false},
    {"NOTE", DataType::kMemo, false, false},
    {"LONGCHAR", DataType::kMemo, false, false},
    {"NTEXT", DataType::kMemo, false, false},
    {"BYTE", DataType::kByte, false, false},
    {"TINYINT", DataType::kByte, false, false},
    {"INTEGER1", DataType::kByte, false, false},
    {"SHORT", DataType::kInteger, false, false},
    {"SMALLINT", DataType::kInteger, false, false},
    {"INTEGER2", DataType::kInteger, false, false},
    {"LONG", DataType::kLong, false, false},
    {"INT", DataType::kLong, false, false},
    {"INTEGER", DataType::kLong, false, false},
    {"INTEGER4", DataType::kLong, false, false},
    {"COUNTER", DataType::kLong, true, false},
    {"AUTOINCREMENT", DataType::kLong, true, false},
    {"SINGLE", DataType::kSingle, false, false},
    {"REAL", DataType::kSingle, false, false},
    {"FLOAT4", DataType::kSingle, false, false},
    {"IEEESINGLE", DataType::kSingle, false, false},
    {"DOUBLE", DataType::kDouble, false, false},
    {"FLOAT", DataType::kDouble, false, false},
    {"FLOAT8", DataType::kDouble, false, false},
    {"IEEEDOUBLE", DataType::kDouble, false, false},
    {"NUMBER", DataType::kDouble, false, false},
    {"NUMERIC", DataType::kDouble, false, false},
    {"CURRENCY", DataType::kCurrency, false, false},
    {"MONEY", DataType::kCurrency, false, false},
    {"DATETIME", DataType::kDate, false, false},
    {"DATE", DataType::kDate, false, false},
    {"TIME", DataType::kDate, false, false},
    {"TIMESTAMP", DataType::kDate, false, false},
    {"YESNO", DataType::kBoolean, false, false},
    {"BIT", DataType::kBoolean, false, false},
    {"LOGICAL", DataType::kBoolean, false, false},
    {"LOGICAL1", DataType::kBoolean, false, false},
    {"LONGBINARY", DataType::kLongBinary, false, false},
    {"OLEOBJECT", DataType::kLongBinary, false, false},
    {"GENERAL", DataType::kLongBinary, false, false},
    {"IMAGE", DataType::kLongBinary, false, false},
    {"BINARY", DataType::kBinary, false, true},
    {"VARBINARY", DataType::kBinary, false, true},
};

constexpr int kMaxTextSize = 255;

bool SameNameAscii(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    return fold(x) == fold(y);
  });
}

}  // namespace

std::vector<std::string> Parser::NameList(int error) {
  std::vector<std::string> names;
  do {
    names.push_back(ExpectName(error));
  } while (AcceptSymbol(","));
  return names;
}

ColumnDef Parser::ColumnDefinition(int error) {
  const size_t first = pos_;
  ColumnDef def;
  def.name = ExpectName(error);
  const Token& type_token = Peek();
  if (type_token.kind != TokenKind::kWord) {
    Reject(kDaoFieldDefinitionSyntax);
  }
  const TypeName* type = nullptr;
  for (const TypeName& t : kTypes) {
    if (IsWord(type_token, t.word)) type = &t;
  }
  if (type == nullptr) Fail(kDaoInvalidFieldType);
  Advance();
  def.type = type->type;
  def.counter = type->counter;
  if (type->sized) def.size = kMaxTextSize;
  if (AcceptSymbol("(")) {
    auto integer = [&]() {
      const bool negative = type->counter && AcceptSymbol("-");
      const Token& n = Peek();
      if (n.kind != TokenKind::kInteger) Fail(kDaoFieldDefinitionSyntax);
      Advance();
      return negative ? -n.integer : n.integer;
    };
    if (type->sized) {
      int64_t size = integer();
      if (size < 1 || size > kMaxTextSize) Fail(kDaoFieldDefinitionSyntax);
      def.size = static_cast<int>(size);
    } else if (type->counter) {
      def.counter_seed = integer();
      ExpectSymbol(",", kDaoFieldDefinitionSyntax);
      def.counter_increment = integer();
      if (def.counter_increment == 0) Fail(kDaoFieldDefinitionSyntax);
    } else {
      Fail(kDaoFieldDefinitionSyntax);
    }
    ExpectSymbol(")", kDaoFieldDefinitionSyntax);
  }
  while (true) {
    if (AtWord("NOT")) {
      Advance();
      ExpectWord("NULL", kDaoFieldDefinitionSyntax);
      def.not_null = true;
    } else if (AcceptWord("NULL")) {
      continue;
    } else if (AtWord("CONSTRAINT") || AtWord("PRIMARY") || AtWord("UNIQUE") ||
               AtWord("REFERENCES")) {
      if (AcceptWord("CONSTRAINT")) def.constraint_name = ExpectName(kDaoConstraintSyntax);
      if (AtWord("REFERENCES")) {
        References(&def.references, &def.referenced_columns, &def.cascade_update,
                   &def.cascade_delete);
      } else if (AcceptWord("PRIMARY")) {
        ExpectWord("KEY", kDaoConstraintSyntax);
        def.primary_key = true;
      } else if (AcceptWord("UNIQUE")) {
        def.unique = true;
      } else if (AtWord("NOT")) {
        Advance();
        ExpectWord("NULL", kDaoConstraintSyntax);
        def.not_null = true;
      } else {
        Fail(kDaoConstraintSyntax);
      }
    } else {
      break;
    }
  }
  def.span = SpanFrom(first);
  return def;
}

TableConstraint Parser::Constraint() {
  const size_t first = pos_;
  TableConstraint constraint;
  if (AcceptWord("CONSTRAINT")) constraint.name = ExpectName(kDaoConstraintSyntax);
  if (AcceptWord("PRIMARY")) {
    ExpectWord("KEY", kDaoConstraintSyntax);
    constraint.kind = TableConstraint::Kind::kPrimaryKey;
  } else if (AcceptWord("UNIQUE")) {
    constraint.kind = TableConstraint::Kind::kUnique;
  } else if (AcceptWord("FOREIGN")) {
    ExpectWord("KEY", kDaoConstraintSyntax);
    constraint.kind = TableConstraint::Kind::kForeignKey;
  } else {
    Fail(kDaoConstraintSyntax);
  }
  ExpectSymbol("(", kDaoConstraintSyntax);
  constraint.columns = NameList(kDaoConstraintSyntax);
  ExpectSymbol(")", kDaoConstraintSyntax);
  if (constraint.kind == TableConstraint::Kind::kForeignKey) {
    References(&constraint.references, &constraint.referenced_columns, &constraint.cascade_update,
               &constraint.cascade_delete);
    if (!constraint.referenced_columns.empty() &&
        constraint.referenced_columns.size() != constraint.columns.size())
      Fail(kDaoConstraintSyntax);
  }
  constraint.span = SpanFrom(first);
  return constraint;
}

// REFERENCES table [(columns)] [ON UPDATE action] [ON DELETE action], the actions CASCADE or NO
// ACTION, as Jet 4 takes them in ANSI-92 DDL; each at most once.
void Parser::References(std::string* table, std::vector<std::string>* columns, bool* cascade_update,
                        bool* cascade_delete) {
  ExpectWord("REFERENCES", kDaoConstraintSyntax);
  *table = ExpectName(kDaoConstraintSyntax);
  if (AcceptSymbol("(")) {
    *columns = NameList(kDaoConstraintSyntax);
    ExpectSymbol(")", kDaoConstraintSyntax);
  }
  bool update_seen = false, delete_seen = false;
  while (AcceptWord("ON")) {
    bool* cascade = cascade_update;
    bool* seen = &update_seen;
    if (AcceptWord("DELETE")) {
      cascade = cascade_delete;
      seen = &delete_seen;
    } else {
      ExpectWord("UPDATE", kDaoConstraintSyntax);
    }
    if (*seen) Fail(kDaoConstraintSyntax);
    *seen = true;
    if (AcceptWord("CASCADE")) {
      *cascade = true;
    } else {
      ExpectWord("NO", kDaoConstraintSyntax);
      ExpectWord("ACTION", kDaoConstraintSyntax);
    }
  }
}

StatementBody Parser::CreateStatement() {
  const size_t first = pos_;
  ExpectWord("CREATE", kDaoCreateTableSyntax);
  if (AcceptWord("TABLE")) {
    CreateTable create;
    create.table = ExpectName(kDaoCreateTableSyntax);
    ExpectSymbol("(", kDaoCreateTableSyntax);
    do {
      if (AtWord("CONSTRAINT") || AtWord("PRIMARY") || AtWord("UNIQUE") || AtWord("FOREIGN")) {
        create.constraints.push_back(Constraint());
        continue;
      }
      ColumnDef def = ColumnDefinition(kDaoCreateTableSyntax);
      for (const ColumnDef& other : create.columns) {
        if (SameNameAscii(other.name, def.name)) throw DaoFailure(kDaoFieldDefinedTwice, def.name);
      }
      create.columns.push_back(std::move(def));
    } while (AcceptSymbol(","));
    if (!AtSymbol(")")) {
      CheckTokenError(kDaoFieldDefinitionSyntax);
      Fail(AtEnd() ? kDaoCreateTableSyntax : kDaoFieldDefinitionSyntax);
    }
    Advance();
    if (create.columns.empty()) Fail(kDaoCreateTableSyntax);
    create.span = SpanFrom(first);
    return create;
  }
  if (AtWord("UNIQUE") || AtWord("INDEX")) {
    CreateIndex index;
    index.unique = AcceptWord("UNIQUE");
    ExpectWord("INDEX", kDaoCreateIndexSyntax);
    index.name = ExpectName(kDaoCreateIndexSyntax);
    ExpectWord("ON", kDaoCreateIndexSyntax);
    index.table = ExpectName(kDaoCreateIndexSyntax);
    ExpectSymbol("(", kDaoCreateIndexSyntax);
    do {
      IndexColumn column;
      column.name = ExpectName(kDaoCreateIndexSyntax);
      if (AcceptWord("DESC")) {
        column.descending = true;
      } else {
        AcceptWord("ASC");
      }
      index.columns.push_back(std::move(column));
    } while (AcceptSymbol(","));
    ExpectSymbol(")", kDaoCreateIndexSyntax);
    if (AcceptWord("WITH")) {
      bool any = false;
      while (true) {
        if (AcceptWord("PRIMARY")) {
          index.primary = true;
        } else if (AcceptWord("DISALLOW")) {
          ExpectWord("NULL", kDaoCreateIndexSyntax);
          index.disallow_null = true;
        } else if (AcceptWord("IGNORE")) {
          ExpectWord("NULL", kDaoCreateIndexSyntax);
          index.ignore_null = true;
        } else {
          break;
        }
        any = true;
      }
      if (!any) Fail(kDaoCreateIndexSyntax);
    }
    index.span = SpanFrom(first);
    return index;
  }
  Fail(kDaoCreateTableSyntax);
}

StatementBody Parser::DropStatement() {
  const size_t first = pos_;
  ExpectWord("DROP", kDaoDropSyntax);
  if (AcceptWord("TABLE")) {
    DropTable drop;
    drop.table = ExpectName(kDaoDropSyntax);
    drop.span = SpanFrom(first);
    return drop;
  }
  if (AcceptWord("INDEX")) {
    DropIndex drop;
    drop.index = ExpectName(kDaoDropSyntax);
    ExpectWord("ON", kDaoDropSyntax);
    drop.table = ExpectName(kDaoDropSyntax);
    drop.span = SpanFrom(first);
    return drop;
  }
  Reject(kDaoDropSyntax);
}

AlterTable Parser::AlterStatement() {
  const size_t first = pos_;
  AlterTable alter;
  ExpectWord("ALTER", kDaoAlterTableSyntax);
  ExpectWord("TABLE", kDaoAlterTableSyntax);
  alter.table = ExpectName(kDaoAlterTableSyntax);
  if (AcceptWord("ADD")) {
    if (AtWord("CONSTRAINT") || AtWord("PRIMARY") || AtWord("UNIQUE") || AtWord("FOREIGN")) {
      alter.action = AlterTable::Action::kAddConstraint;
      alter.constraint = Constraint();
    } else {
      AcceptWord("COLUMN");
      alter.action = AlterTable::Action::kAddColumn;
      alter.column = ColumnDefinition(kDaoAlterTableSyntax);
    }
  } else if (AcceptWord("ALTER")) {
    AcceptWord("COLUMN");
    alter.action = AlterTable::Action::kAlterColumn;
    alter.column = ColumnDefinition(kDaoAlterTableSyntax);
  } else if (AcceptWord("DROP")) {
    if (AcceptWord("CONSTRAINT")) {
      alter.action = AlterTable::Action::kDropConstraint;
    } else {
      AcceptWord("COLUMN");
      alter.action = AlterTable::Action::kDropColumn;
    }
    alter.name = ExpectName(kDaoAlterTableSyntax);
  } else {
    Reject(kDaoAlterTableSyntax);
  }
  if (!AtStatementEnd()) {
    Reject(kDaoAlterTableSyntax);
  }
  alter.span = SpanFrom(first);
  return alter;
}

}  // namespace kr::db::engine::parse
