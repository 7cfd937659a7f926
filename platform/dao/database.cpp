// An open database: its connection, its open lock, statements run on it and
// the recordsets it opens.

#include "platform/dao/core.h"

#include "platform/classlib/core/strutils.h"
#include "platform/dao/cursors.h"
#include "platform/dao/daoerrors.h"
#include "platform/dao/password.h"

namespace dao {

namespace {

std::string PasswordOf(const std::string& connect) {
  std::string lower = LowerCase(connect);
  auto p = lower.find("pwd=");
  if (p == std::string::npos) return {};
  auto end = connect.find(';', p + 4);
  return connect.substr(p + 4, end == std::string::npos ? std::string::npos : end - p - 4);
}

}  // namespace


TDatabaseCore::TDatabaseCore(const std::string& path, bool exclusive, bool readOnly, const std::string& connect)
    : path_(path), exclusive_(exclusive), readOnly_(readOnly) {
  Connection::WaitForRebuildElsewhere(path);
  conn_ = std::make_unique<Connection>(path, readOnly);
  readOnly_ = conn_->ReadOnly();
  bool plainPassword = false;
  try {
    plainPassword = CheckPassword(*conn_, PasswordOf(connect));
  } catch (const TDaoFailure& e) {
    if (e.Number() == errLocked) conn_->RefuseBusy();  // still opening: the file is busy
    throw;
  }
  locks_ = LockFile::For(path, !readOnly_);
  if (int error = locks_->OpenDatabase(exclusive, !readOnly_)) {
    if (error == errCantLockFile) FailLocking(*locks_);
    Fail(error, error == errFileInUse ? path : "Admin");
  }
  try {
    if (plainPassword && !readOnly_) StorePassword(*conn_, PasswordOf(connect));
    conn_->BringCaseBlindIndexesInOrder();
  } catch (...) {
    locks_->CloseDatabase(exclusive);  // no destructor runs for an open refused here
    throw;
  }
  opened_ = true;
}

TDatabaseCore::~TDatabaseCore() {
  if (opened_) locks_->CloseDatabase(exclusive_);
}

void TDatabaseCore::Create(const std::string& path, const std::string& connect,
                           const std::function<void(const std::string&)>& fill) {
  const std::string password = PasswordOf(connect);
  Connection::CreateFile(path, [&](const std::string& made) {
    if (!password.empty()) {
      Connection c(made, false);
      StorePassword(c, password);
    }
    if (fill) fill(made);
  });
}

Translation TDatabaseCore::Translate(const std::string& sql) {
  return TranslateAccessSql(sql, [this](const std::string& table, TableDef& def) {
    const TableDef* t = conn_->FindTable(table);
    if (t) def = *t;  // a copy: a later look-up may read the catalogue afresh
    return t != nullptr;
  });
}

void TDatabaseCore::Execute(const std::string& sql, const std::vector<QueryParameter>& params) {
  recordsAffected_ = 0;
  Translation tr = Translate(sql);
  if (tr.kind == StatementKind::Select) Fail(errSelectNotExecutable);
  if (readOnly_) Fail(errReadOnly);
  switch (tr.kind) {
    case StatementKind::CreateTable: conn_->CreateTable(tr.table); return;
    case StatementKind::CreateIndex: conn_->CreateIndex(tr.tableName, tr.index); return;
    case StatementKind::DropTable: conn_->DropTable(tr.tableName); return;
    case StatementKind::DropIndex: conn_->DropIndex(tr.tableName, tr.index.name); return;
    default: break;
  }
  Connection::WriteScope scope(*conn_);
  try {
    auto s = conn_->Prepare(tr.sql);
    for (size_t i = 0; i < tr.parameters.size(); ++i) {
      if (i >= params.size() || !params[i].set) Fail(errTooFewParameters, std::to_string(tr.parameters.size()));
      s->Bind(static_cast<int>(i + 1), params[i].value);
    }
    while (s->Step()) {
    }
  } catch (const TDaoFailure& e) {
    if (e.Number() == errSyntaxInExpression) Fail(SyntaxErrorOf(tr.kind), tr.whereText);
    throw;
  }
  const std::int64_t changed = conn_->Changes();  // of the statement just run
  scope.Commit();
  recordsAffected_ = changed;
}

std::unique_ptr<TRecordsetCore> TDatabaseCore::OpenRecordset(const std::string& source, int options) {
  conn_->CheckFileInPlace();  // what it would show is no longer the file at the path
  bool readOnly = (options > 0 && (options & dbReadOnly)) || readOnly_;
  if (const TableDef* table = conn_->FindTable(source)) {
    bool deny = options > 0 && (options & (dbDenyRead | dbDenyWrite));
    if (!locks_->LockTable(table->name, deny)) Fail(deny ? errTableLocked : errTableInUse, table->name);
    std::unique_ptr<TRecordsetCore> rs;
    try {
      rs = OpenTableCursor(*this, *table, readOnly);
    } catch (...) {
      locks_->UnlockTable(table->name, deny);
      throw;
    }
    rs->tableLock_ = deny ? 2 : 1;
    return rs;
  }
  for (const auto& [name, sql] : conn_->QueryDefs())
    if (AnsiSameText(name, source)) return OpenQuery(name, sql, {}, options);
  std::string trimmed = Trim(source);
  if (trimmed.empty() || trimmed.find_first_of(" \t\r\n") == std::string::npos) Fail(errNoSuchTable, source);
  return OpenQuery(std::string(), source, {}, options);
}

std::unique_ptr<TRecordsetCore> TDatabaseCore::OpenQuery(const std::string& name, const std::string& sql,
                                                         const std::vector<QueryParameter>& params, int options) {
  conn_->CheckFileInPlace();
  Translation tr = Translate(sql);
  if (!tr.IsQuery()) Fail(errInvalidOperation);
  bool readOnly = (options > 0 && (options & dbReadOnly)) || readOnly_;
  try {
    return OpenQueryCursor(*this, name.empty() ? sql : name, tr, params, readOnly);
  } catch (const TDaoFailure& e) {
    if (e.Number() == errSyntaxInExpression) Fail(errSyntaxInExpression, tr.whereText);
    throw;
  }
}

void TDatabaseCore::CreateQueryDef(const std::string& name, const std::string& sql) {
  if (readOnly_) Fail(errReadOnly);
  for (const auto& [existing, text] : conn_->QueryDefs())
    if (AnsiSameText(existing, name)) Fail(errObjectExists, name);
  Translate(sql);  // a stored query must at least parse
  conn_->SaveQueryDef(name, sql);
}

}  // namespace dao
