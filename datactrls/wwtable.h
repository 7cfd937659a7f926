#pragma once
// The library's own datasets over the class library's engine datasets: the
// table, query and stored procedure with the per-field settings lists the
// library's controls read, the picture-mask check before every post (shared
// with the engine datasets) and a per-record OnFilter event that the engine
// calls for every record. The table adds filter-expression lines (wwFilter).

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bde/dbtables.h"
#include "datactrls/wwfieldsettings.h"
#include "datactrls/wwfilterinstall.h"
#include "datactrls/wwlookup.h"
#include "datactrls/wwtadatasets.h"
#include "datactrls/wwwindow.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/sets.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/db/datasource.h"

// The filter behaviour; ofoEnabled is option 0, which the library's Escape
// check switches off through the published property.
DECLARE_ENUM(TwwOnFilterOption, ofoEnabled, ofoShowHourGlass, ofoCancelOnEscape)
using TwwOnFilterOptions = TSet<TwwOnFilterOption>;
// (dataset, var Accept): Accept starts true.
using TwwFilterEvent = std::function<void(TDataSet*, bool&)>;

inline constexpr const char* kwwFailToSetFilter = "Fail to set filter";
inline constexpr const char* kwwLiveQueryFilterWarning =
    "Local filtering is not supported on a Live-Query which contains a Where clause in the SQL "
    "string. To perform a local filter on this query, you will need to set its RequestLive property "
    "to False.";
// Records between two looks at the Escape key, and where the count wraps.
inline constexpr int kwwEscapePollEvery = 100;
inline constexpr int kwwEscapeCountWrap = 32000;

// Runs a statement text on a dataset's database in the language given (the
// example language, else SQL; the example statement takes the auxiliary-table
// and blanks-as-zero settings) and hands out its answer cursor (none for a
// statement without rows). Engine errors are raised with their cause, except
// the security codes, which are answered for the caller to ask a password.
// afterRun, when given, is called with the statement after a run that gave a
// cursor, before the statement is freed.
DBIResult wwRunStatementText(TttDBDataset* dataSet, std::uint16_t language, const std::string& text,
                             bool auxiliaryTables, bool blankAsZero, TBaseTable*& cursor,
                             const std::function<void(TSqlStmt*)>& afterRun = {});
// The language of a table's Query text: example when its first word is "query"
// (any case), SQL otherwise.
std::uint16_t wwQueryTextLanguage(TStrings* lines);

// The whole text of a blob field of a record under filter evaluation, read
// through the engine (the field itself cannot read blobs there); empty when
// blank.
Variant wwReadFilterBlob(TttBDEDataset* dataSet, TField* field, std::uint8_t* record);

// Shows a warning box with an OK button; the program may replace it.
void wwShowFilterWarning(const std::string& text);

// What every library dataset adds to its engine dataset: the settings lists,
// the mask check (TwwtaSettings) and the record callback behind OnFilter.
template <class Base>
class TwwLibrarySettings : public TwwtaSettings<Base>, public IwwLookupTableOwner {
 public:
  explicit TwwLibrarySettings(TComponent* owner) : TwwtaSettings<Base>(owner) {}
  // Closed here, while the callback's dataset is still whole: the engine may
  // call it while the cursor goes.
  ~TwwLibrarySettings() override {
    destroying_ = true;
    try {
      this->Close();
    } catch (const Exception&) {
      // The base closes what is left.
    }
  }

  TStrings* LookupFields() const { return lookupFields_.get(); }
  void SetLookupFields(TStrings* value) { lookupFields_->Assign(value); }
  TStrings* LookupLinks() const { return lookupLinks_.get(); }
  void SetLookupLinks(TStrings* value) { lookupLinks_->Assign(value); }

  const TwwFilterEvent& OnFilter() const { return onFilter_; }
  // Installs the callback when assigned on an open dataset; clearing removes
  // it. The text of the warning when the engine refuses it is the dataset's.
  void SetOnFilter(TwwFilterEvent handler) {
    onFilter_ = std::move(handler);
    if (!onFilter_) return RemoveCallback();
    if (this->Active() && !InstallCallback()) wwShowFilterWarning(CallbackRefusedText());
  }
  TNotifyEvent OnFilterEscape;
  TwwOnFilterOptions OnFilterOptions() const { return options_; }
  // Turning filtering off re-reads the records around the current one, so
  // that all pass.
  void SetOnFilterOptions(TwwOnFilterOptions options) {
    bool wasEnabled = options_.Contains(ofoEnabled);
    options_ = options;
    if (wasEnabled && !options.Contains(ofoEnabled) && this->Active() && onFilter_) this->RefreshWindow({});
  }
  TwwFilterHandle CallbackHandle() const { return callbackHandle_; }
  // The value of a field of the record the engine is filtering (use it in
  // OnFilter): a memo's whole text (no size cap: the engine reads the blob of
  // the filtered record whole), a lookup field's value from its lookup table,
  // else the field's own. A name that is no field raises the class library's
  // "Field '...' not found".
  Variant wwFieldFilterValue(const std::string& fieldName) {
    TField* field = this->FieldByName(fieldName);
    if (field->IsBlob() && filterRecord_) return wwReadFilterBlob(this, field, filterRecord_);
    if (!wwIsCalcOrLookup(field)) return field->AsVariant();
    TField* result = wwGetLookupResultField(this, field, [this](const std::string& name) { return this->FieldByName(name); });
    return result ? result->AsVariant() : Variant();
  }
  // The lookup tables the calculation opened; the dataset owns them.
  TList* LookupTables() override { return &lookupTables_; }
  bool HasStableRecordNumbers() override { return !onFilter_ && Base::HasStableRecordNumbers(); }

 protected:
  virtual const char* CallbackRefusedText() const { return kwwLiveQueryFilterWarning; }
  bool InstallCallback() {
    TwwCursorFilterEngine engine(this->Handle());
    return wwInstallCallbackFilter(&RecordCallback, this, engine, callbackHandle_);
  }
  void RemoveCallback() {
    TwwCursorFilterEngine engine(this->Handle());
    wwInstallCallbackFilter(nullptr, this, engine, callbackHandle_);
  }
  // Lookup fields first, so that the program's OnCalcFields sees them.
  void FireOnCalcFields() override {
    wwRemoveStaleFieldSettings(this, lookupFields_.get(), lookupLinks_.get(), this->ControlType());
    wwCalcLookupFields(this, lookupFields_.get(), lookupLinks_.get(), &lookupTables_);
    Base::FireOnCalcFields();
  }
  // A dataset opened with an OnFilter handler filters from its first record.
  void FireAfterOpen() override {
    Base::FireAfterOpen();
    if (onFilter_ && !callbackHandle_) InstallCallback();
  }
  // A fetch or data event that skipped records put the hourglass up: back
  // to the arrow when it is done.
  int FillWindowForward() override {
    int count = Base::FillWindowForward();
    RestoreCursor();
    return count;
  }
  void BroadcastDataEvent(TDataEvent event, std::intptr_t info) override {
    Base::BroadcastDataEvent(event, info);
    RestoreCursor();
  }
  // Lookup tables and failed lookups belong to one open: a table that
  // appears later is used on the next.
  void OpenCursorAndFields(bool infoOnly) override {
    this->FailedLookupTables.clear();
    Base::OpenCursorAndFields(infoOnly);
  }
  void ShutCursor() override {
    for (int i = lookupTables_.Count() - 1; i >= 0; --i) delete static_cast<TDataSet*>(lookupTables_.Items(i));
    lookupTables_.Clear();
    Base::ShutCursor();
  }
  // The engine drops its filters with the cursor.
  void CloseCursorHandle() override {
    callbackHandle_ = nullptr;
    Base::CloseCursorHandle();
  }

 private:
  static std::uint16_t RecordCallback(std::intptr_t client, std::uint8_t* record, std::int32_t) {
    auto* self = static_cast<TwwLibrarySettings*>(reinterpret_cast<TDataSet*>(client));
    return self->Accepts(record) ? 1 : 0;
  }
  bool Accepts(std::uint8_t* record) {
    if (destroying_ || !onFilter_ || inCallback_ || !options_.Contains(ofoEnabled)) return true;
    inCallback_ = true;
    filterRecord_ = record;
    bool accept = false;
    try {
      accept = this->FilterRecordWith(record, [this](bool& a) { onFilter_(this, a); });
    } catch (...) {
      inCallback_ = false;
      filterRecord_ = nullptr;
      throw;
    }
    inCallback_ = false;
    filterRecord_ = nullptr;
    if (!accept && options_.Contains(ofoShowHourGlass)) ShowHourGlass();
    if (options_.Contains(ofoCancelOnEscape)) PollEscape();
    return accept;
  }
  // Skipping records may take long: the hourglass from the first one skipped.
  void ShowHourGlass() {
    if (!Screen || Screen->Cursor() == crHourGlass) return;
    Screen->SetCursor(crHourGlass);
    hourGlassSet_ = true;
  }
  void RestoreCursor() {
    if (!hourGlassSet_) return;
    hourGlassSet_ = false;
    if (Screen) Screen->SetCursor(crDefault);
  }
  void PollEscape() {
    escapeCount_ = (escapeCount_ + 1) % kwwEscapeCountWrap;
    // The check itself turns ofoEnabled off through the published options.
    if (escapeCount_ % kwwEscapePollEvery != 0 || !wwCheckFilterEscape(this)) return;
    if (OnFilterEscape) OnFilterEscape(this);
  }
  std::unique_ptr<TStringList> lookupFields_ = std::make_unique<TStringList>();
  std::unique_ptr<TStringList> lookupLinks_ = std::make_unique<TStringList>();
  TList lookupTables_;
  TwwFilterEvent onFilter_;
  TwwOnFilterOptions options_{ofoEnabled, ofoShowHourGlass};
  TwwFilterHandle callbackHandle_ = nullptr;
  bool inCallback_ = false;
  bool hourGlassSet_ = false;
  std::uint8_t* filterRecord_ = nullptr;  // the record the engine is filtering
  bool destroying_ = false;
  int escapeCount_ = 0;
};

// The lists and events every library dataset publishes besides its base's
// (the table, query and stored procedure add ValidateWithMask).
template <class C>
void PublishLibrarySettings(classlib_detail::TPublisher<C>& P) {
  using Class = C;
  PROP_OBJ(ControlType, ControlType, SetControlType);
  PROP_OBJ(PictureMasks, PictureMasks, SetPictureMasks);
  PROP_OBJ(LookupFields, LookupFields, SetLookupFields);
  PROP_OBJ(LookupLinks, LookupLinks, SetLookupLinks);
  PROP_EVENT(OnInvalidValue);
  // Through the setter, which installs the record callback on an open dataset.
  P.Event("OnFilter", &Class::OnFilter, &Class::SetOnFilter);
  PROP_EVENT(OnFilterEscape);
  PROP_SET(OnFilterOptions, OnFilterOptions, SetOnFilterOptions, (TwwOnFilterOptions{ofoEnabled, ofoShowHourGlass}));
}

// The table also serves as another dataset's lookup table.
class TwwTable : public TwwLibrarySettings<TTable>, public IwwLookupTable, public IwwTablePictures {
  DECLARE_CLASS(TwwTable, TTable)
 public:
  explicit TwwTable(TComponent* owner = nullptr);

  // Key search over the current index that checks the record reached: too
  // many values or no index fields show a warning and fail; a current record
  // that already holds the values (compared ignoring case) is kept.
  bool VerifiedFindKey(const std::vector<std::string>& values) override;
  // The key-search warnings: false after "Table <table>: FindKey has too many
  // lookup values for index <index>" or "... Table index not found".
  bool CheckKeyCount(std::size_t count);
  using TTable::FindKey;
  bool FindKey(const std::vector<std::string>& values) override;
  int IndexFieldCount() override { return TTable::IndexFieldCount(); }
  bool LocateValue(const std::string& fieldName, const std::string& value) override;
  std::string IndexNameForFields(const std::string& fieldNames) override;
  void SetIndexFieldsForLookup(const std::string& fieldNames) override;
  // For the search controls: the index over the first field of the first line
  // of a tab-separated field list, switched to when it is not the current one
  // (IndexFieldNames compared without regard to case, else IndexName). A table
  // with Query lines keeps what it has. True when the index changed.
  bool SelectIndexForSearch(TStrings* fieldList);
  // Of the type, or with the default type by the name's extension (".DBF";
  // ".db"), compared without regard to case.
  bool IsDBaseTable() const;
  bool IsParadoxTable() const;

  TStrings* wwFilter() const { return wwFilter_.get(); }
  // Copies the lines; on an open table installs them at once, showing
  // "Fail to set filter" when they cannot be.
  void SetwwFilter(TStrings* lines);
  // The lines joined: 'A = 1 AND (B = 2) AND (C = 3)'.
  std::string JoinedFilter() const;
  TwwFilterHandle ExpressionHandle() const { return exprHandle_; }
  // A query text run instead of opening TableName; lines clear TableName,
  // the index and the master link. Setting it closes the table.
  TStrings* Query() const { return query_.get(); }
  void SetQuery(TStrings* lines);
  // A non-empty name clears Query.
  void SetTableName(const std::string& name);

  bool SyncSQLByRange = false;
  bool NarrowSearch = false;
  std::uint16_t NarrowSearchUpperChar = 255;

  bool HasStableRecordNumbers() override;
  // With Query lines on a closed table: the fields of the text's answer.
  void PrepareFieldDefs() override;

  // ---- keys, indexes and ranges for the search controls and the filter
  // dialog (wwtablesearch.cpp)
  // The index over exactly these fields (";"-separated, first pass) or whose
  // key begins with them (second pass), whose case sensitivity is the one
  // asked for; "?" when none.
  std::string FindIndexForFields(const std::string& fields, bool caseSensitive);
  // The first field of the active index; empty on a closed or unindexed table.
  std::string GetIndexFieldList();
  // True when the fields (";"-separated) lead the active index in order.
  bool FieldsMapToIndex(const std::string& fields);
  // True when the index name is not the current one (compared in lower case).
  bool IsDifferentIndex(const std::string& indexName);
  // Switches to the named index (compared in lower case), keeping the record.
  void SetIndexKeepPosition(const std::string& indexName);
  // Records from the key values on: the range start set, the end cleared.
  void SetRangeStartKey(const std::vector<Variant>& keys);
  // Drops the range, staying on the current record.
  void CancelRangeKeepState();
  // Raised while the library's incremental search or locate runs on the table.
  int SearchNesting() const { return searchNesting_; }
  void EnterSearch() { ++searchNesting_; }
  void LeaveSearch() { --searchNesting_; }
  // The picture a Paradox table's own validity checks give the field; empty
  // for any other table or field. Read once per open.
  std::string TablePicture(const std::string& fieldName) override;
  // Merges the table's own pictures into PictureMasks: a picture replaces the
  // mask of the field's entry (its flags kept) or makes a new entry with
  // auto-fill and use-mask on. Nothing on a closed or non-Paradox table.
  void ImportTablePictures();

 protected:
  void PrepareOpenedCursor() override;
  void CloseCursorHandle() override;
  TBaseTable* OpenCursorHandle() override;
  // The engine's validity-check list of the table under the Paradox driver;
  // nil when the engine keeps none.
  virtual TBaseTable* OpenValidityChecks();

 private:
  // The expression and then the callback, so the callback runs after it.
  bool InstallFilters(bool force);
  std::unique_ptr<TStringList> wwFilter_ = std::make_unique<TStringList>();
  std::unique_ptr<TStringList> query_ = std::make_unique<TStringList>();
  TwwFilterHandle exprHandle_ = nullptr;
  int searchNesting_ = 0;
  // Field number -> picture of the table's validity checks; read on first use.
  std::map<int, std::string> tablePictures_;
  bool tablePicturesRead_ = false;
};

class TwwQuery : public TwwLibrarySettings<TQuery> {
  DECLARE_CLASS(TwwQuery, TQuery)
 public:
  explicit TwwQuery(TComponent* owner = nullptr) : TwwLibrarySettings(owner) {}

 protected:
  // A query names no answer table: the answer set-up is asked and does nothing.
  void OpenCursorAndFields(bool infoOnly) override;
};

class TwwStoredProc : public TwwLibrarySettings<TStoredProc> {
  DECLARE_CLASS(TwwStoredProc, TStoredProc)
 public:
  explicit TwwStoredProc(TComponent* owner = nullptr) : TwwLibrarySettings(owner) {}
};

// A data source the library's controls accept like any; no behaviour of its own.
class TwwDataSource : public TDataSource {
  DECLARE_CLASS(TwwDataSource, TDataSource)
 public:
  explicit TwwDataSource(TComponent* owner = nullptr) : TDataSource(owner) {}
};
