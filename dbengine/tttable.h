#pragma once
// Datasets bound to a database component, and the table: one table of the
// database opened through the call layer, with index choice, key search, key
// ranges and master/detail linking. The batch move only carries its settings.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/ttdataset.h"
#include "platform/classlib/db/datasource.h"

DECLARE_ENUM(TUpdateMode, upWhereAll, upWhereChanged, upWhereKeyOnly)
DECLARE_ENUM(TBatchMode, batAppend, batUpdate, batAppendUpdate, batDelete, batCopy)

namespace tabletext {
inline constexpr const char* NoTableName = "Missing TableName property";
}  // namespace tabletext

// A dataset that holds its database component while any use flag is set.
class TttDBDataset : public TttBDEDataset {
  DECLARE_CLASS(TttDBDataset, TttBDEDataset)
 public:
  // Why the database is held.
  enum TDatabaseUse { duOpen = 0, duPrepared = 1, duFieldList = 4, duIndexList = 5 };

  explicit TttDBDataset(TComponent* owner = nullptr);
  ~TttDBDataset() override;

  // The binding's session list (nil until SetSessionList attaches one) and
  // its call layer.
  virtual TttSessionlist* SessionList() const { return list_; }
  TVirtEng* Engine() const override { return list_ ? list_->Engine() : nullptr; }
  void SetListOf(TttSessionlist* list) { list_ = list; }

  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const std::string& name);
  const std::string& SessionName() const { return sessionName_; }
  void SetSessionName(const std::string& name);
  TUpdateMode UpdateMode() const { return updateMode_; }
  void SetUpdateMode(TUpdateMode mode);
  TttDatabase* Database() const { return database_; }
  TBaseDatabase* DBHandle() const { return database_ ? database_->Handle() : nullptr; }
  TttSession* DBSession() const;
  bool DatabaseUse(TDatabaseUse flag) const { return (useFlags_ >> flag) & 1u; }
  virtual void SetDatabaseUseFlag(TDatabaseUse flag, bool value);
  virtual void DisconnectFromDatabase() { Close(); }
  // 0 is success; "not sufficient rights" asks the session for a password
  // and answers true to retry; other codes raise.
  bool CheckOpen(DBIResult code);

 protected:
  void OpenCursorAndFields(bool infoOnly) override;
  void ShutCursor() override;

 private:
  void MoveDatabaseToItsSession();

  TttSessionlist* list_ = nullptr;
  std::uint16_t useFlags_ = 0;
  TttDatabase* database_ = nullptr;
  std::string databaseName_;
  std::string sessionName_;
  TUpdateMode updateMode_ = upWhereAll;
};

// The published properties of datasets bound to a database (the engine's and
// the class library's).
template <class C>
void PublishDBDatasetProperties(classlib_detail::TPublisher<C>& P) {
  using Class = C;
  PROP_STR(DatabaseName, DatabaseName, SetDatabaseName, "");
  PROP_STR(SessionName, SessionName, SetSessionName, "");
}

class TttTable : public TttDBDataset {
  DECLARE_CLASS(TttTable, TttDBDataset)
 public:
  explicit TttTable(TComponent* owner = nullptr);
  ~TttTable() override;

  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  const std::string& TableName() const { return tableName_; }
  void SetTableName(const std::string& name);
  std::string IndexName() const { return fieldsIndex_ ? std::string() : indexText_; }
  void SetIndexName(const std::string& name) { SetIndex(name, false); }
  std::string IndexFieldNames() const { return fieldsIndex_ ? indexText_ : std::string(); }
  void SetIndexFieldNames(const std::string& names) { SetIndex(names, !names.empty()); }
  const std::string& MasterFields() const { return masterLink_->FieldNames(); }
  void SetMasterFields(const std::string& names) { masterLink_->SetFieldNames(names); }
  TDataSource* MasterSource() const { return masterLink_->DataSource(); }
  void SetMasterSource(TDataSource* source);
  TDataSource* GetDataSource() const override { return MasterSource(); }
  TIndexDefs& IndexDefs() { return *indexDefs_; }

  // Key search and ranges.
  bool FindKey(const std::vector<Variant>& keyValues);
  bool GotoKey();
  // The first record whose key is at or after the key values (the last
  // record when none is).
  void FindNearest(const std::vector<Variant>& keyValues);
  void GotoNearest();
  void SetKey() { BeginKeyEntry(kiLookup, true); }
  void EditKey() { BeginKeyEntry(kiLookup, false); }
  void SetRangeStart() { BeginKeyEntry(kiRangeStart, true); }
  void SetRangeEnd() { BeginKeyEntry(kiRangeEnd, true); }
  void EditRangeStart() { BeginKeyEntry(kiRangeStart, false); }
  void EditRangeEnd() { BeginKeyEntry(kiRangeEnd, false); }
  // Start and end key values; Exclusive ends leave the key values out.
  void SetRange(const std::vector<Variant>& startValues, const std::vector<Variant>& endValues);
  void ApplyRange();
  void CancelRange();
  void SetKeyExclusive(TKeyIndex index, bool exclusive) { KeyHeader(index)->Exclusive = exclusive ? 1 : 0; }

  bool QueryCanModify() override;
  void PrepareFieldDefs() override;
  void RefreshIndexDefs() override;
  void BroadcastDataEvent(TDataEvent event, std::intptr_t info) override;

 protected:
  TBaseTable* OpenCursorHandle() override;
  void CloseCursorHandle() override;
  TBaseTable* AcquireLookupCursor(const std::string& keyFields, bool caseInsensitive) override;
  void DropLookupCursor() override;
  // The driver type the table is opened with: the local-table driver unless
  // the database is SQL-based.
  virtual const char* TableDriver() const;
  void PrepareOpenedCursor() override;
  void FireOnNewRecord() override;

 private:
  void SetIndex(const std::string& text, bool fieldList);
  // The lookup key buffer as a key (extracted) or, failing that, as the
  // record it is; the search starts in browse mode with the cursor moved.
  struct TLookupKey {
    std::vector<std::uint8_t> key;
    bool extracted = false;
    std::uint8_t* source = nullptr;  // into key, or the key buffer itself
    std::uint16_t fieldCount = 0;
  };
  TLookupKey BeginKeySearch();
  // The engine's index name for the index text.
  std::string ResolveIndexName(const std::string& text, bool fieldList);
  void ApplyMasterRange();
  std::vector<bool> RequiredFieldsFromCheckList(const std::string& name, const char* driver);
  void MasterChanged();
  void MasterDisabled();

  std::unique_ptr<TIndexDefs> indexDefs_;
  std::unique_ptr<TMasterDataLink> masterLink_;
  // The lookup cursor, and the key fields and case it was opened for.
  TBaseTable* lookupCursor_ = nullptr;
  std::string lookupFields_;
  bool lookupCaseInsensitive_ = false;
  std::string tableName_;
  std::string indexText_;
  bool fieldsIndex_ = false;
  bool exclusive_ = false;
  bool readOnly_ = false;
};

// The published properties of tables (the engine's and the class library's).
template <class C>
void PublishTableProperties(classlib_detail::TPublisher<C>& P) {
  using Class = C;
  PROP_BOOL(Exclusive, Exclusive, SetExclusive, false);
  PROP_STR(IndexFieldNames, IndexFieldNames, SetIndexFieldNames, "");
  PROP_STR(IndexName, IndexName, SetIndexName, "");
  PROP_STR(MasterFields, MasterFields, SetMasterFields, "");
  PROP_OBJ(MasterSource, MasterSource, SetMasterSource);
  PROP_BOOL(ReadOnly, ReadOnly, SetReadOnly, false);
  PROP_STR(TableName, TableName, SetTableName, "");
  PROP_ENUM(UpdateMode, UpdateMode, SetUpdateMode, upWhereAll);
  PROP_OBJ(UpdateObject, UpdateObject, SetUpdateObject);
}

// The settings of a batch move; it moves no data.
class TttBatchMove : public TComponent {
  DECLARE_CLASS(TttBatchMove, TComponent)
 public:
  explicit TttBatchMove(TComponent* owner = nullptr);
  ~TttBatchMove() override;
  virtual TVirtEng* Engine() const { return nullptr; }

  bool AbortOnKeyViol = true;
  bool AbortOnProblem = true;
  int CommitCount = 0;
  std::string ChangedTableName;
  std::string KeyViolTableName;
  std::string ProblemTableName;
  TBatchMode Mode = batAppend;
  int RecordCount = 0;
  bool Transliterate = true;

  TttTable* Destination() const { return destination_; }
  void SetDestination(TttTable* table);
  TttBDEDataset* Source() const { return source_; }
  void SetSource(TttBDEDataset* source);
  TStrings* Mappings() const { return mappings_.get(); }
  void SetMappings(TStrings* mappings) { mappings_->Assign(mappings); }

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  TttTable* destination_ = nullptr;
  TttBDEDataset* source_ = nullptr;
  std::unique_ptr<TStrings> mappings_;
};

// The published properties of batch moves (the engine's and the class library's).
template <class C>
void PublishBatchMoveProperties(classlib_detail::TPublisher<C>& P) {
  using Class = C;
  PROP_BOOL(AbortOnKeyViol, AbortOnKeyViol, AbortOnKeyViol, true);
  PROP_BOOL(AbortOnProblem, AbortOnProblem, AbortOnProblem, true);
  PROP_INT(CommitCount, CommitCount, CommitCount, 0);
  PROP_STR(ChangedTableName, ChangedTableName, ChangedTableName, "");
  PROP_OBJ(Destination, Destination, SetDestination);
  PROP_STR(KeyViolTableName, KeyViolTableName, KeyViolTableName, "");
  PROP_OBJ(Mappings, Mappings, SetMappings);
  PROP_ENUM(Mode, Mode, Mode, batAppend);
  PROP_STR(ProblemTableName, ProblemTableName, ProblemTableName, "");
  PROP_INT(RecordCount, RecordCount, RecordCount, 0);
  PROP_OBJ(Source, Source, SetSource);
  PROP_BOOL(Transliterate, Transliterate, Transliterate, true);
}
