#include "dbengine/tttable.h"

#include <algorithm>
#include <cstring>

#include "platform/classlib/core/strutils.h"

IMPLEMENT_CLASS(TttDBDataset, TttBDEDataset)
IMPLEMENT_CLASS(TttTable, TttDBDataset)
IMPLEMENT_CLASS(TttBatchMove, TComponent)

PUBLISHED(TttDBDataset) { PublishDBDatasetProperties(P); }

PUBLISHED(TttTable) { PublishTableProperties(P); }

PUBLISHED(TttBatchMove) { PublishBatchMoveProperties(P); }

namespace {
constexpr DBIResult kNotSufficientRights = 0x2902;
constexpr TPropertyId kUpdateLockModeProperty = 0x04050000;
constexpr std::int32_t kOpenReadWrite = 0;
constexpr std::int32_t kOpenReadOnly = 1;
constexpr std::int32_t kShareShared = 0;
constexpr std::int32_t kShareExclusive = 1;
constexpr std::int32_t kTranslateFieldLevel = 2;
}  // namespace

// ============================================================================
// Datasets bound to a database
// ============================================================================

TttDBDataset::TttDBDataset(TComponent* owner)
    : TttBDEDataset(owner), sessionName_(OwnerAutoSessionName(owner)) {}

TttDBDataset::~TttDBDataset() {
  Destroying();
  try {
    Close();
  } catch (const Exception&) {
    // Closing a dataset that is being destroyed releases what it can.
  }
  if (useFlags_ != 0) {
    useFlags_ = 1;
    SetDatabaseUseFlag(duOpen, false);
  }
}

TttSession* TttDBDataset::DBSession() const {
  if (database_) return database_->Session();
  if (!list_) return nullptr;
  TttSession* session = list_->FindSessionByName(sessionName_);
  return session ? session : list_->DefaultSession();
}

void TttDBDataset::SetDatabaseName(const std::string& name) {
  if (name == databaseName_) return;
  EnsureClosed();
  if (database_) DatabaseError(sessiontext::DatabaseOpen, this);
  databaseName_ = name;
  BroadcastDataEvent(dePropertyChange, 0);
}

void TttDBDataset::SetSessionName(const std::string& name) {
  EnsureClosed();
  sessionName_ = name;
  BroadcastDataEvent(dePropertyChange, 0);
}

void TttDBDataset::SetUpdateMode(TUpdateMode mode) {
  if (cursor_ && database_ && database_->IsSQLBased() && CanModify())
    Check(Engine()->SetProperty(cursor_, kUpdateLockModeProperty, mode));
  updateMode_ = mode;
}

void TttDBDataset::SetDatabaseUseFlag(TDatabaseUse flag, bool value) {
  const std::uint16_t bit = std::uint16_t(1u << flag);
  if (value == ((useFlags_ & bit) != 0)) return;
  if (value) {
    if (useFlags_ == 0) {
      if (!list_) DatabaseErrorFmt(sessiontext::InvalidSessionName, {sessionName_}, this);
      MoveDatabaseToItsSession();
      TttSession* session = list_->FindSession(sessionName_);
      TttDatabase* database = session->OpenDatabase(databaseName_, Owner());
      database->AddDataSet(this);
      database_ = database;
    }
    useFlags_ |= bit;
    return;
  }
  useFlags_ &= std::uint16_t(~bit);
  if (useFlags_ != 0 || !database_) return;
  TttDatabase* database = database_;
  database_ = nullptr;
  database->RemoveDataSet(this);
  if (TttSession* session = database->Session())
    session->CloseDatabase(database);
  else
    database->Release();
}

// A database component that names another session but still sits in the
// default session (its SessionName changed after it registered) moves to the
// session it names before this dataset asks that session for it; otherwise
// the named session would make a temporary namesake beside it.
void TttDBDataset::MoveDatabaseToItsSession() {
  if (sessionName_.empty() || databaseName_.empty()) return;
  TttSession* named = list_->FindSessionByName(sessionName_);
  TttSession* defaultSession = list_->DefaultSession();
  if (!named || !defaultSession || named == defaultSession) return;
  if (named->FindDatabaseForOwner(databaseName_, Owner())) return;
  if (TttDatabase* database = defaultSession->FindDatabaseForOwner(databaseName_, Owner()))
    database->CheckSessionName(true);
}

bool TttDBDataset::CheckOpen(DBIResult code) {
  if (code == 0) return false;
  if (code == kNotSufficientRights) {
    TttSession* session = DBSession();
    if (session && session->DoPassword()) return true;
  }
  Check(code);
  return false;
}

void TttDBDataset::OpenCursorAndFields(bool infoOnly) {
  SetDatabaseUseFlag(duOpen, true);
  TttBDEDataset::OpenCursorAndFields(infoOnly);
  if (!infoOnly) SetUpdateMode(updateMode_);
}

void TttDBDataset::ShutCursor() {
  TttBDEDataset::ShutCursor();
  SetDatabaseUseFlag(duOpen, false);
}

// ============================================================================
// Table
// ============================================================================

TttTable::TttTable(TComponent* owner)
    : TttDBDataset(owner),
      indexDefs_(std::make_unique<TIndexDefs>(this)),
      masterLink_(std::make_unique<TMasterDataLink>(this)) {
  masterLink_->OnMasterChange = [this](TMasterDataLink*) { MasterChanged(); };
  masterLink_->OnMasterDisable = [this](TMasterDataLink*) { MasterDisabled(); };
}

TttTable::~TttTable() {
  Destroying();
  try {
    Close();
  } catch (const Exception&) {
    // See TttDBDataset.
  }
  masterLink_->SetDataSource(nullptr);
}

void TttTable::SetExclusive(bool value) {
  EnsureClosed();
  exclusive_ = value;
}

void TttTable::SetReadOnly(bool value) {
  EnsureClosed();
  readOnly_ = value;
}

void TttTable::SetTableName(const std::string& name) {
  EnsureClosed();
  tableName_ = name;
  BroadcastDataEvent(dePropertyChange, 0);
}

void TttTable::SetMasterSource(TDataSource* source) {
  if (source && IsLinkedTo(source)) DatabaseError(dbtext::CircularDataLink, this);
  masterLink_->SetDataSource(source);
}

bool TttTable::QueryCanModify() { return TttDBDataset::QueryCanModify() && !readOnly_; }

void TttTable::BroadcastDataEvent(TDataEvent event, std::intptr_t info) {
  if (event == dePropertyChange && indexDefs_) indexDefs_->SetUpdated(false);
  TttDBDataset::BroadcastDataEvent(event, info);
}

std::string TttTable::ResolveIndexName(const std::string& text, bool fieldList) {
  if (text.empty()) return {};
  if (!fieldList) return text.substr(0, 127);
  RefreshIndexDefs();
  return indexDefs_->FindIndexForFields(text)->Name().substr(0, 127);
}

TBaseTable* TttTable::OpenCursorHandle() {
  if (tableName_.empty()) DatabaseError(tabletext::NoTableName, this);
  indexDefs_->SetUpdated(false);
  std::string indexName = ResolveIndexName(indexText_, fieldsIndex_);
  std::int32_t openMode =
      readOnly_ || (CachedUpdates() && (OnUpdateRecord || UpdateObject())) ? kOpenReadOnly : kOpenReadWrite;
  std::int32_t shareMode = exclusive_ ? kShareExclusive : kShareShared;
  const char* driver = TableDriver();
  std::string name = tableName_.substr(0, 259);
  for (;;) {
    TBaseTable* cursor = nullptr;
    DBIResult code = Engine()->OpenTable(DBHandle(), name.c_str(), driver,
                                         indexName.empty() ? nullptr : indexName.c_str(), nullptr, 0,
                                         openMode, shareMode, kTranslateFieldLevel, false, nullptr, cursor);
    if (code == dberr::TableReadOnly && openMode != kOpenReadOnly) {
      openMode = kOpenReadOnly;
      continue;
    }
    if (!CheckOpen(code)) return cursor;
  }
}

const char* TttTable::TableDriver() const { return Database()->IsSQLBased() ? nullptr : "PARADOX"; }

void TttTable::PrepareOpenedCursor() { ApplyMasterRange(); }

void TttTable::CloseCursorHandle() {
  DropLookupCursor();
  TttDBDataset::CloseCursorHandle();
}

// A read-only duplicate of the table's cursor switched to the index on the
// fields; none when the table is on that index already (its own cursor
// serves) or no index is on them.
TBaseTable* TttTable::AcquireLookupCursor(const std::string& keyFields, bool caseInsensitive) {
  if (lookupCursor_ && keyFields == lookupFields_ && caseInsensitive == lookupCaseInsensitive_) return lookupCursor_;
  DropLookupCursor();
  if (!HasOpenCursor() || Database() == nullptr) return nullptr;
  RefreshIndexDefs();
  const TIndexDef* def = indexDefs_->GetIndexForFields(keyFields, caseInsensitive && !Database()->IsSQLBased());
  if (def == nullptr || AnsiSameText(def->Name(), ResolveIndexName(indexText_, fieldsIndex_))) return nullptr;
  TBaseTable* duplicate = nullptr;
  Check(Engine()->OpenDuplicateCursor(cursor_, true, false, duplicate));
  if (DBIResult code = Engine()->SwitchToIndex(duplicate, def->Name().c_str(), nullptr, 0, false); code != 0) {
    Engine()->CloseCursor(duplicate);
    Check(code);
  }
  lookupCursor_ = duplicate;
  lookupFields_ = keyFields;
  lookupCaseInsensitive_ = caseInsensitive;
  return lookupCursor_;
}

void TttTable::DropLookupCursor() {
  if (lookupCursor_ && Engine()) Engine()->CloseCursor(lookupCursor_);
  lookupCursor_ = nullptr;
  lookupFields_.clear();
}

void TttTable::PrepareFieldDefs() {
  if (HasOpenCursor()) {
    TttDBDataset::PrepareFieldDefs();  // the open cursor describes itself
    return;
  }
  if (tableName_.empty()) DatabaseError(tabletext::NoTableName, this);
  SetDatabaseUseFlag(duFieldList, true);
  TBaseTable* fieldList = nullptr;
  try {
    // The table itself is not opened: its field list and its validity
    // checks describe it.
    const std::string name = tableName_.substr(0, 259);
    const char* driver = TableDriver();
    while (CheckOpen(Engine()->OpenFieldList(DBHandle(), name.c_str(), driver, false, fieldList))) {
    }
    std::vector<bool> required = RequiredFieldsFromCheckList(name, driver);
    FieldDefs().Clear();
    Engine()->SetToStart(fieldList);
    TFieldDesc desc{};
    for (int position = 0; Engine()->GetNextRecord(fieldList, 0, reinterpret_cast<std::uint8_t*>(&desc),
                                                   nullptr) == 0;
         ++position)
      AddFieldDesc(desc, position < 256 && required[std::size_t(position)], position + 1);
  } catch (...) {
    if (fieldList) Engine()->CloseCursor(fieldList);
    SetDatabaseUseFlag(duFieldList, false);
    throw;
  }
  Engine()->CloseCursor(fieldList);
  SetDatabaseUseFlag(duFieldList, false);
  FieldDefs().SetUpdated(true);
}

// Bit (field number - 1) is set for every field whose validity check says it
// is required. An engine without check lists (the Access engine) requires none.
std::vector<bool> TttTable::RequiredFieldsFromCheckList(const std::string& name, const char* driver) {
  std::vector<bool> required(256, false);
  TBaseTable* checks = nullptr;
  if (Engine()->OpenFieldCheckList(DBHandle(), name.c_str(), driver, checks) != 0 || !checks) return required;
  TCursorProps props{};
  Engine()->GetCursorProperties(checks, props);
  std::vector<std::uint8_t> row(std::max<std::size_t>(props.RecordBufferSize, 128));
  Engine()->SetToStart(checks);
  while (Engine()->GetNextRecord(checks, 0, row.data(), nullptr) == 0) {
    std::uint16_t fieldNo = 0;
    std::uint16_t isRequired = 0;
    std::memcpy(&fieldNo, row.data(), sizeof fieldNo);
    std::memcpy(&isRequired, row.data() + 2, sizeof isRequired);
    if (isRequired && fieldNo >= 1 && fieldNo <= 256) required[fieldNo - 1u] = true;
  }
  Engine()->CloseCursor(checks);
  return required;
}

void TttTable::RefreshIndexDefs() {
  if (indexDefs_->Updated()) return;
  SetDatabaseUseFlag(duIndexList, true);
  TBaseTable* temporary = nullptr;
  try {
    TBaseTable* cursor = cursor_;
    if (!cursor) {
      Check(Engine()->OpenTable(DBHandle(), tableName_.c_str(), nullptr, nullptr, nullptr, 0,
                                kOpenReadOnly, kShareShared, kTranslateFieldLevel, false, nullptr, temporary));
      cursor = temporary;
    }
    TCursorProps props{};
    Check(Engine()->GetCursorProperties(cursor, props));
    std::vector<TFieldDesc> fields(props.FieldCount);
    if (!fields.empty()) Check(Engine()->GetFieldDescriptors(cursor, fields.data()));
    std::vector<TIndexDesc> descs(props.IndexCount);
    if (!descs.empty()) Check(Engine()->GetIndexDescriptors(cursor, descs.data()));
    indexDefs_->Clear();
    for (const TIndexDesc& d : descs) {
      TIndexOptions options;
      if (d.Primary) options.Include(ixPrimary);
      if (d.Unique) options.Include(ixUnique);
      if (d.Descending) options.Include(ixDescending);
      if (d.CaseInsensitive) options.Include(ixCaseInsensitive);
      if (d.ExpressionIndex) options.Include(ixExpression);
      std::string fieldText;
      if (d.ExpressionIndex) {
        fieldText = d.KeyExpression;
      } else {
        for (int k = 0; k < std::min<int>(d.KeyFieldCount, 16); ++k) {
          std::uint16_t no = d.KeyFields[k];
          if (no < 1 || no > fields.size()) continue;
          if (!fieldText.empty()) fieldText += ';';
          fieldText += std::string(fields[no - 1].Name, strnlen(fields[no - 1].Name, sizeof fields[no - 1].Name));
        }
      }
      std::string indexName(d.Name, strnlen(d.Name, sizeof d.Name));
      std::string tag(d.TagName, strnlen(d.TagName, sizeof d.TagName));
      TIndexDef* def = indexDefs_->Add(tag.empty() ? indexName : tag, fieldText, options);
      if (!tag.empty()) def->SetSource(indexName);
    }
    indexDefs_->SetUpdated(true);
  } catch (...) {
    if (temporary) Engine()->CloseCursor(temporary);
    SetDatabaseUseFlag(duIndexList, false);
    throw;
  }
  if (temporary) Engine()->CloseCursor(temporary);
  SetDatabaseUseFlag(duIndexList, false);
}

void TttTable::SetIndex(const std::string& text, bool fieldList) {
  if (Active()) {
    CheckBrowseMode();
    if (text == indexText_ && fieldList == fieldsIndex_) return;
    if (text.empty()) {
      // The engine switches only to a named index: the default order comes
      // with a cursor opened again without one.
      Close();
      indexText_.clear();
      fieldsIndex_ = false;
      Open();
      return;
    }
    std::string name = ResolveIndexName(text, fieldList);
    SwitchToIndex(name, "");
    indexText_ = text;
    fieldsIndex_ = fieldList;
    ApplyMasterRange();
    RefreshWindow({});
    return;
  }
  indexText_ = text;
  fieldsIndex_ = fieldList;
}

TttTable::TLookupKey TttTable::BeginKeySearch() {
  CheckBrowseMode();
  CursorPosChanged();
  TLookupKey k;
  k.key.assign(std::size_t(KeySize()) + 1, 0);
  std::uint8_t* record = GetKeyBuffer(kiLookup);
  k.extracted = Engine()->ExtractKey(cursor_, record, k.key.data()) == 0;
  k.source = k.extracted ? k.key.data() : record;
  k.fieldCount = std::uint16_t(KeyHeader(kiLookup)->FieldCount);
  return k;
}

bool TttTable::GotoKey() {
  TLookupKey k = BeginKeySearch();
  DBIResult code = Engine()->FetchRecordByKey(cursor_, k.extracted, k.fieldCount, 0, k.source,
                                              reinterpret_cast<std::uint8_t*>(TempBuffer()));
  // Only "not found" is an answer; a failed search (a lock, the disk) is raised.
  if (code == dberr::RecNotFound) return false;
  Check(code);
  RefreshWindow({rmExact, rmCenter});
  return true;
}

void TttTable::GotoNearest() {
  TLookupKey k = BeginKeySearch();
  Check(Engine()->SetToKey(cursor_, keysearch::GreaterOrEqual, k.extracted, k.fieldCount, 0, k.source));
  RefreshWindow({rmCenter});
}

bool TttTable::FindKey(const std::vector<Variant>& keyValues) {
  CheckBrowseMode();
  SetKeyFields(kiLookup, keyValues);
  return GotoKey();
}

void TttTable::FindNearest(const std::vector<Variant>& keyValues) {
  CheckBrowseMode();
  SetKeyFields(kiLookup, keyValues);
  GotoNearest();
}

void TttTable::SetRange(const std::vector<Variant>& startValues, const std::vector<Variant>& endValues) {
  CheckBrowseMode();
  SetKeyFields(kiRangeStart, startValues);
  SetKeyFields(kiRangeEnd, endValues);
  ApplyRange();
}

void TttTable::ApplyRange() {
  CheckBrowseMode();
  if (ApplyKeyRange()) First();
}

void TttTable::CancelRange() {
  CheckBrowseMode();
  UpdateCursorPos();
  if (ResetKeyRange()) RefreshWindow({});
}

void TttTable::ApplyMasterRange() {
  if (!masterLink_->Active() || masterLink_->Fields().empty()) return;
  SetLinkRanges(masterLink_->Fields());
  ApplyKeyRange();
}

void TttTable::MasterChanged() {
  CheckBrowseMode();
  SetLinkRanges(masterLink_->Fields());
  if (ApplyKeyRange()) First();
}

void TttTable::MasterDisabled() { CancelRange(); }

void TttTable::FireOnNewRecord() {
  if (masterLink_->Active() && !masterLink_->Fields().empty()) {
    const auto& masters = masterLink_->Fields();
    for (std::size_t i = 0; i < masters.size() && int(i) < IndexFieldCount(); ++i)
      GetIndexField(int(i))->SetAsVariant(masters[i]->AsVariant());
  }
  TttDBDataset::FireOnNewRecord();
}

// ============================================================================
// Batch move
// ============================================================================

TttBatchMove::TttBatchMove(TComponent* owner) : TComponent(owner), mappings_(std::make_unique<TStringList>()) {}

TttBatchMove::~TttBatchMove() {
  SetDestination(nullptr);
  SetSource(nullptr);
}

void TttBatchMove::SetDestination(TttTable* table) {
  if (destination_) destination_->RemoveFreeNotification(this);
  destination_ = table;
  if (table) table->FreeNotification(this);
}

void TttBatchMove::SetSource(TttBDEDataset* source) {
  if (source_) source_->RemoveFreeNotification(this);
  source_ = source;
  if (source) source->FreeNotification(this);
}

void TttBatchMove::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == destination_) destination_ = nullptr;
  if (component == source_) source_ = nullptr;
}
