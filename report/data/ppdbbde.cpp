#include "report/data/ppdbbde.h"

#include <algorithm>
#include <cstring>

#include "dbengine/tttable.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"

namespace {

// The pipeline's page-cache record.
#pragma pack(push, 1)
struct TBDEPipelineRecord {
  uint8_t NoRecords;
  uint8_t AtEnd;
  uint8_t AtBeginning;
  uint8_t HasBookmark;
  uint32_t Bookmark;  // a handle into the pipeline's bookmark table
  int32_t RecordNo;
};
#pragma pack(pop)
static_assert(sizeof(TBDEPipelineRecord) == TppBDEPipeline::kRecordSize);

bool IsDestroying(const TComponent* c) { return c && c->ComponentState().Contains(csDestroying); }

// The field classes in the order they are tested; the first one the field
// belongs to decides, so descendants take their ancestor's type (a time field
// is a date-time, a word field an integer, a graphic field a blob).
struct TFieldTypeRule {
  const char* ClassName;
  TppDataType Type;
};
constexpr TFieldTypeRule kFieldTypeRules[] = {
    {"TStringField", dtString},   {"TDateField", dtDate},       {"TDateTimeField", dtDateTime},
    {"TTimeField", dtTime},       {"TSmallintField", dtInteger}, {"TIntegerField", dtInteger},
    {"TFloatField", dtDouble},    {"TWordField", dtLongint},    {"TCurrencyField", dtDouble},
    {"TBooleanField", dtBoolean}, {"TMemoField", dtMemo},       {"TBlobField", dtBLOB},
    {"TGraphicField", dtGraphic}, {"TAutoIncField", dtLongint}, {"TVarBytesField", dtNotKnown},
    {"TBCDField", dtDouble}};

}  // namespace

// ---- the data link -------------------------------------------------------------------

IMPLEMENT_CLASS(TppBDEDataLink, TDataLink)

static void FireLinkEvent(const TNotifyEvent& event, TObject* sender) {
  if (event) event(sender);
}

void TppBDEDataLink::ActiveChanged() { FireLinkEvent(OnActiveChanged, this); }
void TppBDEDataLink::DataSetChanged() { FireLinkEvent(OnDataSetChanged, this); }
void TppBDEDataLink::LayoutChanged() { FireLinkEvent(OnLayoutChanged, this); }

void TppBDEDataLink::CheckBrowseMode() {
  std::string filter;
  TDataSource* master = nullptr;
  if (TDataSet* ds = DataSet(); ds && ds->InheritsFrom("TTable")) {
    filter = ds->Filter();
    if (auto* table = dynamic_cast<TttTable*>(ds)) master = table->MasterSource();
  }
  if (filter == filter_ && master == masterSource_) return;
  filter_ = filter;
  masterSource_ = master;
  FireLinkEvent(OnBrowseCheckChanged, this);
}

// ---- the pipeline --------------------------------------------------------------------

IMPLEMENT_CLASS(TppBDEPipeline, TppDataPipeline)

PUBLISHED(TppBDEPipeline) {
  PROP_OBJ(DataSource, DataSource, SetDataSource);
  PROP_BOOL(CloseDataSource, CloseDataSource, SetCloseDataSource, false);
  PROP_BOOL(OpenDataSource, OpenDataSource, SetOpenDataSource, true);
}

TppBDEPipeline::TppBDEPipeline(TComponent* owner)
    : TppDataPipeline(owner), dataLink_(std::make_unique<TppBDEDataLink>()) {
  SetRecordSize(kRecordSize);
  dataLink_->OnActiveChanged = [this](TObject*) { LinkActiveChanged(); };
  dataLink_->OnBrowseCheckChanged = [this](TObject*) { SettingsChanged(); };
}

TppBDEPipeline::~TppBDEPipeline() {
  Close();
  // The link's last notices find the pipeline half gone: nobody listens.
  dataLink_->OnActiveChanged = nullptr;
  dataLink_->OnBrowseCheckChanged = nullptr;
  dataLink_.reset();
  bookmarks_.clear();
}

TDataSet* TppBDEPipeline::DataSet() const { return dataSource_ ? dataSource_->DataSet() : nullptr; }

void TppBDEPipeline::SetDataSource(TDataSource* source) {
  if (source == dataSource_) return;
  dataSource_ = source;
  if (source) FreeNotification(source);
  dataLink_->SetDataSource(source);
}

void TppBDEPipeline::LinkActiveChanged() {
  if (IsDestroying(dataSource_) || IsDestroying(openedDataSet_)) Close();
  SettingsChanged();
}

void TppBDEPipeline::Notification(TComponent* component, TOperation operation) {
  inherited::Notification(component, operation);
  if (operation != opRemove) return;
  ForgetDataSet(component);
  if (component == dataSource_) {
    dataSource_ = nullptr;
    dataLink_->SetDataSource(nullptr);
  }
  if (component == openedDataSet_) openedDataSet_ = nullptr;
}

// ---- data ----------------------------------------------------------------------------

bool TppBDEPipeline::IsDataBof() {
  TDataSet* ds = DataSet();
  return !ds || ds->Bof();
}

bool TppBDEPipeline::IsDataEof() {
  TDataSet* ds = DataSet();
  return !ds || ds->Eof();
}

void TppBDEPipeline::OpenData() {
  TDataSet* ds = DataSet();
  if (ds && openDataSource_) ds->Open();
  openedDataSet_ = ds;
  if (ds) FreeNotification(ds);
}

void TppBDEPipeline::CloseData() {
  TDataSet* ds = DataSet();
  // A dataset that is being destroyed is closing itself already.
  if (ds && closeDataSource_ && !IsDestroying(ds)) ds->Close();
}

bool TppBDEPipeline::GetActive() { return dataLink_->Active(); }

void TppBDEPipeline::GotoFirstRecord() {
  if (TDataSet* ds = DataSet()) ds->First();
}

void TppBDEPipeline::GotoLastRecord() {
  if (TDataSet* ds = DataSet()) ds->Last();
}

void TppBDEPipeline::MoveBy(int distance) {
  if (TDataSet* ds = DataSet()) ds->MoveBy(distance);
}

std::string TppBDEPipeline::GetDataName() {
  TDataSet* ds = DataSet();
  return ds ? ds->Name() : std::string();
}

bool TppBDEPipeline::GetFieldNames(TStrings* list) {
  TDataSet* ds = DataSet();
  if (!ds) {
    list->Clear();
    return false;
  }
  ds->GetFieldNames(list);
  return true;
}

// ---- bookmarks -----------------------------------------------------------------------

int32_t TppBDEPipeline::NewHandle() {
  // Handles are never 0 and never reused while held, even after wrapping.
  do {
    lastHandle_ = lastHandle_ == INT32_MAX ? 1 : lastHandle_ + 1;
  } while (bookmarks_.count(lastHandle_));
  return lastHandle_;
}

int32_t TppBDEPipeline::GetBookmark() {
  TDataSet* ds = DataSet();
  if (!ds) return 0;
  char* bookmark = ds->GetBookmark();
  if (!bookmark) return 0;
  std::size_t length = std::size_t(ds->BookmarkSize());
  while (length > 0 && bookmark[length - 1] == 0) --length;
  std::string bytes(bookmark, length);
  TDataSet::FreeBookmark(bookmark);
  const int32_t handle = NewHandle();
  bookmarks_[handle] = {std::move(bytes), ds, false};
  FreeNotification(ds);  // its bookmarks go with it
  return handle;
}

void TppBDEPipeline::FreeBookmark(int32_t bookmark) {
  const auto it = bookmarks_.find(bookmark);
  if (it == bookmarks_.end()) return;
  bookmarks_.erase(it);
}

void TppBDEPipeline::GotoBookmark(int32_t bookmark) {
  TppDataPipeline::GotoBookmark(bookmark);
  if (bookmark == 0) return;
  TDataSet* ds = DataSet();
  const auto it = bookmarks_.find(bookmark);
  // A freed handle, or one of another dataset, names no record of this one.
  if (!ds || it == bookmarks_.end() || it->second.DataSet != ds) return;
  ds->EnsureOpen();
  std::string full = Bookmark(it->second);
  if (!full.empty()) ds->GotoBookmark(full.data());
}

std::string TppBDEPipeline::Bookmark(const TBookmarkEntry& entry) {
  const std::size_t size = std::size_t(std::max(0, entry.DataSet->BookmarkSize()));
  if (entry.Bytes.size() > size) return {};
  std::string full = entry.Bytes;
  full.resize(size, '\0');
  return full;
}

void TppBDEPipeline::ForgetDataSet(TComponent* dataSet) {
  std::erase_if(bookmarks_, [dataSet](const auto& item) { return item.second.DataSet == dataSet; });
}

void TppBDEPipeline::FreeCacheBookmarks() {
  std::erase_if(bookmarks_, [](const auto& item) { return item.second.Cached; });
  cacheBookmarksSaved_ = false;
  highestBookmarkPage_ = -1;
}

// ---- fields --------------------------------------------------------------------------

TField* TppBDEPipeline::FindField(const std::string& name) {
  TDataSet* ds = DataSet();
  return ds && dataLink_->Active() ? ds->FindField(name) : nullptr;
}

TAlignment TppBDEPipeline::GetFieldAlignment(const std::string& name) {
  TField* f = FindField(name);
  return f ? f->Alignment() : taLeftJustify;
}

double TppBDEPipeline::GetFieldAsDouble(const std::string& name) {
  TField* f = FindField(name);
  return f ? f->AsFloat() : 0.0;
}

TBlobField* TppBDEPipeline::GetBlobField(const std::string& name) {
  TField* f = FindField(name);
  return f && f->InheritsFrom("TBlobField") ? static_cast<TBlobField*>(f) : nullptr;
}

std::string TppBDEPipeline::GetFieldAsString(const std::string& name) {
  TField* f = FindField(name);
  return f ? f->AsString() : std::string();
}

TppDataType TppBDEPipeline::GetFieldDataType(const std::string& name) {
  TField* f = FindField(name);
  if (!f) return dtNotKnown;
  for (const TFieldTypeRule& rule : kFieldTypeRules)
    if (f->InheritsFrom(rule.ClassName)) return rule.Type;
  return dtNotKnown;
}

int TppBDEPipeline::GetFieldDisplayWidth(const std::string& name) {
  TField* f = FindField(name);
  return f ? f->DisplayWidth() : 0;
}

bool TppBDEPipeline::IsFieldCalculated(const std::string& name) {
  TField* f = FindField(name);
  return f && f->Calculated();
}

int TppBDEPipeline::GetFieldSize(const std::string& name) {
  TField* f = FindField(name);
  return f ? f->Size() : 0;
}

Variant TppBDEPipeline::GetFieldValue(const std::string& name) {
  TField* f = FindField(name);
  return f ? f->Value() : Variant(std::string());
}

void TppBDEPipeline::SetFieldValue(const std::string& name, const Variant& value) {
  if (TField* f = FindField(name)) f->SetValue(value);
}

void TppBDEPipeline::GetFieldAsStream(const std::string& name, TStream* stream) {
  if (TBlobField* f = GetBlobField(name)) f->SaveToStream(stream);
}

void TppBDEPipeline::SetFieldFromStream(const std::string& name, TStream* stream) {
  if (TBlobField* f = GetBlobField(name)) f->LoadFromStream(stream);
}

void TppBDEPipeline::EditRecord() {
  if (TDataSet* ds = DataSet()) ds->Edit();
}

void TppBDEPipeline::InsertRecord() {
  if (TDataSet* ds = DataSet()) ds->Insert();
}

void TppBDEPipeline::PostRecord() {
  if (TDataSet* ds = DataSet()) ds->Post();
}

bool TppBDEPipeline::Locate(const std::string& name, const Variant& value, int options) {
  TDataSet* ds = DataSet();
  if (!ds) return false;
  if (!ds->Active()) ds->Open();
  ds->First();
  TField* f = ds->FindField(name);
  if (!f) return false;
  Variant key = value;
  // A text longer than the field cannot be stored, so it is matched on the
  // characters the field keeps; a field without a size keeps any length.
  if (key.VType() == varOleStr && f->Size() > 0 && Utf8Length(key.AsString()) > size_t(f->Size()))
    key = Utf8Copy(key.AsString(), 1, f->Size());
  TLocateOptions locate;
  if (options & ppLocateCaseInsensitive) locate.Include(loCaseInsensitive);
  if (options & ppLocatePartialKey) locate.Include(loPartialKey);
  return ds->Locate(name, key, locate);
}

// ---- page-state cache ------------------------------------------------------------------

void TppBDEPipeline::SaveToCache(int pageNo) {
  TBDEPipelineRecord r{};
  // A page saved again (regenerated) lets go of the bookmark it held.
  ReadCacheRecord(pageNo, &r);
  if (r.HasBookmark) FreeBookmark(int32_t(r.Bookmark));

  r = TBDEPipelineRecord{};
  r.NoRecords = NoRecords();
  r.AtEnd = AtEnd();
  r.AtBeginning = AtBeginning();
  r.RecordNo = RecordNo();
  TDataSet* ds = DataSet();
  if (!NoRecords() && ds && !ds->Bof() && !ds->Eof() && dataLink_->Active()) {
    if (const int32_t handle = GetBookmark()) {
      bookmarks_[handle].Cached = true;
      r.HasBookmark = 1;
      r.Bookmark = uint32_t(handle);
    }
  }
  WriteCacheRecord(pageNo, &r);
  cacheBookmarksSaved_ = true;
  highestBookmarkPage_ = std::max(highestBookmarkPage_, pageNo);
}

void TppBDEPipeline::RestoreFromCache(int pageNo) {
  TBDEPipelineRecord r{};
  ReadCacheRecord(pageNo, &r);
  uint8_t state = 0;
  if (r.NoRecords) state |= ppdsNoRecords;
  if (r.AtEnd) state |= ppdsEof;
  if (r.AtBeginning) state |= ppdsBof;
  SetDataState(state);
  SetRecordNo(r.RecordNo);
  if (r.AtBeginning) {
    if (!StandsAtBeginning()) First();
  } else if (r.AtEnd) {
    Last();
  } else if (r.HasBookmark && DataSet() && !StandsOn(int32_t(r.Bookmark))) {
    GotoBookmark(int32_t(r.Bookmark));
  }
}

// True when the dataset browses the record First would go to, at its
// beginning: a page that began on the first record and never left it. A
// record read again at every page costs a long memo its length each time.
bool TppBDEPipeline::StandsAtBeginning() {
  TDataSet* ds = DataSet();
  return ds && dataLink_->Active() && !HasBookmarkList() && RangeBegin() == rbFirstRecord &&
         ds->State() == dsBrowse && ds->Bof() && !ds->Eof();
}

// True when the dataset browses the bookmarked record, neither end flag set:
// the page before ended there, and going there again would only re-read the
// rows around it (the next move still reads afresh).
bool TppBDEPipeline::StandsOn(int32_t bookmark) {
  TDataSet* ds = DataSet();
  const auto it = bookmarks_.find(bookmark);
  if (!ds || it == bookmarks_.end() || it->second.DataSet != ds) return false;
  if (ds->State() != dsBrowse || ds->Bof() || ds->Eof()) return false;
  std::string kept = Bookmark(it->second);
  if (kept.empty()) return false;
  char* current = ds->GetBookmark();
  const bool same = current && ds->CompareBookmarks(current, kept.data()) == 0;
  TDataSet::FreeBookmark(current);
  return same;
}

void TppBDEPipeline::CacheNotify(int operation, int pageNo) {
  TppDataPipeline::CacheNotify(operation, pageNo);
  if (operation == ppcoDetach) FreeCacheBookmarks();
}
