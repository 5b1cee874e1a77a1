// Database::OpenRecordset (DAO's default recordset types) and the Recordset handle.
#include "db/engine/dao_errors.h"
#include "db/engine/jet_tokens.h"
#include "db/engine/recordset_impl.h"

namespace kr::db::engine {

namespace {

// A source that begins as a query does (SELECT, TRANSFORM, PARAMETERS, TABLE t, a parenthesis)
// is a statement, and a syntax error in it is the statement's error; anything else names a table.
bool StartsQuery(std::string_view source) {
  const std::vector<Token> tokens = Tokenize(source);
  const Token& first = tokens.front();
  return IsWord(first, "SELECT") || IsWord(first, "TRANSFORM") || IsWord(first, "PARAMETERS") ||
         (IsWord(first, "TABLE") && tokens.size() > 2) || IsSymbol(first, "(");
}

}  // namespace

// --- Database::OpenRecordset and the handle -----------------------------------------------------

Recordset Database::OpenRecordset(std::string_view source, int type, int options) {
  if (impl_ == nullptr || !impl_->is_open()) internal::RaiseNotSet();
  internal::DatabaseImpl& db = *impl_;
  std::string_view text = source;
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                           text.front() == '\n'))
    text.remove_prefix(1);
  bool statement = StartsQuery(text);
  db.connection().SetLargeCache(false);
  internal::RowSource plan;
  if (!statement) {
    std::string name(text);
    while (!name.empty() && (name.back() == ' ' || name.back() == ';')) name.pop_back();
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
      name = name.substr(1, name.size() - 2);
    const internal::TableInfo& info = db.Table(name);
    if (type == kOpenDefault) type = info.linked ? kOpenDynaset : kOpenTable;
    if (type == kOpenTable) {
      plan = internal::PlanTable(db, info.name, "");
    } else {
      plan = internal::PlanQuery(db, "SELECT * FROM " + QuoteJetName(info.name),
                                 type == kOpenForwardOnly);
    }
  } else {
    if (type == kOpenDefault) type = kOpenDynaset;
    if (type == kOpenTable) Raise(kDaoInvalidOperation);
    plan = internal::PlanQuery(db, text, type == kOpenForwardOnly);
  }
  auto recordset = std::make_shared<internal::RecordsetImpl>(impl_, type, options, std::move(plan));
  db.RegisterRecordset(recordset);
  return Recordset(recordset);
}

namespace {
internal::RecordsetImpl& Rs(const std::shared_ptr<internal::RecordsetImpl>& impl) {
  if (impl == nullptr || !impl->is_open()) internal::RaiseNotSet();
  impl->db();
  return *impl;
}
}  // namespace

int Recordset::Type() const { return Rs(impl_).type(); }
bool Recordset::Eof() const { return Rs(impl_).Eof(); }
bool Recordset::Bof() const { return Rs(impl_).Bof(); }
void Recordset::MoveFirst() { Rs(impl_).MoveFirst(); }
void Recordset::MoveLast() { Rs(impl_).MoveLast(); }
void Recordset::MoveNext() { Rs(impl_).MoveNext(); }
void Recordset::MovePrevious() { Rs(impl_).MovePrevious(); }
int64_t Recordset::RecordCount() const { return Rs(impl_).RecordCount(); }
FieldCollection Recordset::Fields() const {
  Rs(impl_);
  return FieldCollection(impl_);
}
Field Recordset::operator[](std::string_view name) const { return Fields().Item(name); }
Field Recordset::operator[](int index) const { return Fields().Item(index); }
void Recordset::Edit() { Rs(impl_).Edit(); }
void Recordset::AddNew() { Rs(impl_).AddNew(); }
void Recordset::Update() { Rs(impl_).Update(); }
void Recordset::CancelUpdate() { Rs(impl_).CancelUpdate(); }
void Recordset::Delete() { Rs(impl_).Delete(); }
int Recordset::EditMode() const { return Rs(impl_).EditMode(); }
void Recordset::FindFirst(std::string_view criteria) { Rs(impl_).Find(criteria, true, false); }
void Recordset::FindNext(std::string_view criteria) { Rs(impl_).Find(criteria, true, true); }
void Recordset::FindLast(std::string_view criteria) { Rs(impl_).Find(criteria, false, false); }
void Recordset::FindPrevious(std::string_view criteria) { Rs(impl_).Find(criteria, false, true); }
bool Recordset::NoMatch() const { return Rs(impl_).NoMatch(); }
std::string Recordset::Index() const { return Rs(impl_).Index(); }
void Recordset::SetIndex(std::string_view name) { Rs(impl_).SetIndex(name); }
void Recordset::Seek(std::string_view comparison, const std::vector<Value>& keys) {
  Rs(impl_).Seek(comparison, keys);
}
void Recordset::Close() {
  if (impl_ != nullptr) impl_->Close();
}

}  // namespace kr::db::engine
