#include "platform/classlib/db/datasource.h"

#include <algorithm>

#include "platform/classlib/db/dataset.h"

IMPLEMENT_CLASS(TDataSource, TComponent)
IMPLEMENT_CLASS(TDataLink, TPersistent)
IMPLEMENT_CLASS(TFieldDataLink, TDataLink)
IMPLEMENT_CLASS(TMasterDataLink, TDataLink)

PUBLISHED(TDataSource) {
  PROP_BOOL(AutoEdit, AutoEdit, SetAutoEdit, true);
  PROP_OBJ(DataSet, DataSet, SetDataSet);
  PROP_BOOL(Enabled, Enabled, SetEnabled, true);
  PROP_EVENT(OnStateChange);
  PROP_EVENT(OnDataChange);
  PROP_EVENT(OnUpdateData);
}

// ============================================================================
// TDataSource
// ============================================================================

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
  Destroying();
  OnStateChange = nullptr;
  OnDataChange = nullptr;
  SetDataSet(nullptr);
  while (!links_.empty()) links_.back()->SetDataSource(nullptr);
}

bool TDataSource::IsLinkedTo(TDataSet* dataSet) const {
  while (dataSet) {
    TDataSource* source = dataSet->GetDataSource();
    if (!source) break;
    if (source == this) return true;
    dataSet = source->DataSet();
  }
  return false;
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
  if (dataSet == dataSet_) return;
  if (IsLinkedTo(dataSet)) DatabaseError(dbtext::CircularDataLink, this);
  if (dataSet_) dataSet_->RemoveDataSource(this);
  if (dataSet) dataSet->AddDataSource(this);
  UpdateState();
}

void TDataSource::SetEnabled(bool on) {
  enabled_ = on;
  UpdateState();
}

void TDataSource::Edit() {
  if (autoEdit_ && state_ == dsBrowse && dataSet_) dataSet_->Edit();
}

void TDataSource::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
}

void TDataSource::AddDataLink(TDataLink* link) {
  links_.push_back(link);
  link->dataSource_ = this;
  if (dataSet_) dataSet_->UpdateBufferCount();
  link->UpdateState();
}

void TDataSource::RemoveDataLink(TDataLink* link) {
  link->dataSource_ = nullptr;
  links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
  link->UpdateState();
  if (dataSet_ && !dataSet_->ComponentState().Contains(csDestroying)) dataSet_->UpdateBufferCount();
}

void TDataSource::NotifyDataLinks(TDataEvent event, std::intptr_t info) {
  // Single-row links (detail datasets, edits) hear first, then multi-row ones,
  // so that details have followed before grids repaint.
  auto links = links_;
  for (int pass = 0; pass < 2; ++pass)
    for (auto it = links.rbegin(); it != links.rend(); ++it) {
      TDataLink* link = *it;
      if (std::find(links_.begin(), links_.end(), link) == links_.end()) continue;
      if ((link->bufferCount_ > 1) == (pass == 1)) link->DataEvent(event, info);
    }
}

void TDataSource::NotifyDetailLinks(TDataEvent event, std::intptr_t info) {
  if (state_ == dsInactive) return;
  auto links = links_;
  for (TDataLink* link : links)
    if (std::find(links_.begin(), links_.end(), link) != links_.end() && dynamic_cast<TMasterDataLink*>(link))
      link->DataEvent(event, info);
}

void TDataSource::DataEvent(TDataEvent event, std::intptr_t info) {
  if (event == deUpdateState) {
    UpdateState();
    return;
  }
  if (state_ == dsInactive) return;
  NotifyDataLinks(event, info);
  switch (event) {
    case deFieldChange:
    case deRecordChange:
      if (OnDataChange) OnDataChange(this, reinterpret_cast<TField*>(info));
      break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
      if (OnDataChange) OnDataChange(this, nullptr);
      break;
    case deUpdateRecord:
      if (OnUpdateData) OnUpdateData(this);
      break;
    default:
      break;
  }
}

void TDataSource::UpdateState() {
  TDataSetState newState = enabled_ && dataSet_ ? dataSet_->State() : dsInactive;
  if (newState == state_) return;
  TDataSetState prior = state_;
  state_ = newState;
  NotifyDataLinks(deUpdateState, 0);
  if (ComponentState().Contains(csDestroying)) return;
  if (OnStateChange) OnStateChange(this);
  if (prior == dsInactive && OnDataChange) OnDataChange(this, nullptr);
}

// ============================================================================
// TDataLink
// ============================================================================

TDataLink::TDataLink() = default;

TDataLink::~TDataLink() { SetDataSource(nullptr); }

TDataSet* TDataLink::DataSet() const { return dataSource_ ? dataSource_->DataSet() : nullptr; }

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == dataSource_) return;
  if (dataSource_) dataSource_->RemoveDataLink(this);
  if (source) source->AddDataLink(this);
}

void TDataLink::SetReadOnly(bool on) {
  if (on == readOnly_) return;
  readOnly_ = on;
  UpdateState();
}

void TDataLink::SetBufferCount(int value) {
  value = std::max(value, 1);
  if (value == bufferCount_) return;
  bufferCount_ = value;
  if (active_) {
    UpdateRange();
    DataSet()->UpdateBufferCount();
    UpdateRange();
  }
}

void TDataLink::UpdateRange() {
  TDataSet* ds = DataSet();
  int min = std::max(ds->activeRecord_ - bufferCount_ + 1, 0);
  int max = std::min(std::max(ds->bufferCount_ - bufferCount_, 0), ds->activeRecord_);
  if (firstRecord_ < min) firstRecord_ = min;
  if (firstRecord_ > max) firstRecord_ = max;
}

int TDataLink::ActiveRecord() const {
  if (!active_ || dataSource_->State() == dsSetKey) return 0;
  return DataSet()->activeRecord_ - firstRecord_;
}

void TDataLink::SetActiveRecord(int value) {
  if (!active_ || dataSource_->State() == dsSetKey) return;
  TDataSet* ds = DataSet();
  int index = value + firstRecord_;
  if (index >= 0 && index < std::max(ds->recordCount_, 1)) ds->activeRecord_ = index;
}

int TDataLink::RecordCount() const {
  if (!active_) return 0;
  if (dataSource_->State() == dsSetKey) return 1;
  return std::clamp(DataSet()->recordCount_ - firstRecord_, 0, bufferCount_);
}

bool TDataLink::Edit() {
  if (!readOnly_ && dataSource_) dataSource_->Edit();
  return editing_;
}

void TDataLink::UpdateRecord() {
  updating_ = true;
  try {
    UpdateData();
  } catch (...) {
    updating_ = false;
    throw;
  }
  updating_ = false;
}

bool TDataLink::Bof() const { return DataSet() ? DataSet()->Bof() : true; }
bool TDataLink::Eof() const { return DataSet() ? DataSet()->Eof() : true; }
int TDataLink::MoveBy(int distance) { return DataSet() ? DataSet()->MoveBy(distance) : 0; }

void TDataLink::SetActive(bool value) {
  if (value == active_) return;
  active_ = value;
  if (value)
    UpdateRange();
  else
    firstRecord_ = 0;
  ActiveChanged();
}

void TDataLink::SetEditing(bool value) {
  if (value == editing_) return;
  editing_ = value;
  EditingChanged();
}

void TDataLink::UpdateState() {
  TDataSetState state = dataSource_ ? dataSource_->State() : dsInactive;
  SetActive(state != dsInactive);
  SetEditing((IsEditState(state) || state == dsSetKey) && !readOnly_);
}

void TDataLink::DataEvent(TDataEvent event, std::intptr_t info) {
  if (event == deUpdateState) {
    UpdateState();
    return;
  }
  if (!active_) return;
  switch (event) {
    case deFieldChange:
    case deRecordChange:
      if (!updating_) RecordChanged(reinterpret_cast<TField*>(info));
      break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: {
      // info: how far the rows already in the window moved (negative when the
      // window scrolled forward). count: how many records this link's view
      // advanced to keep the active record in sight.
      int count = 0;
      if (dataSource_->State() != dsSetKey) {
        int active = DataSet()->activeRecord_;
        int shifted = firstRecord_ + int(info);
        int first = shifted;
        if (active > first + bufferCount_ - 1)
          first = active - bufferCount_ + 1;
        else if (active < first)
          first = active;
        first = std::max(first, 0);
        count = first - shifted;
        firstRecord_ = first;
      }
      if (event == deDataSetChange)
        DataSetChanged();
      else if (event == deDataSetScroll)
        DataSetScrolled(count);
      else
        LayoutChanged();
      break;
    }
    case deUpdateRecord:
      UpdateRecord();
      break;
    case deCheckBrowseMode:
      CheckBrowseMode();
      break;
    case deFocusControl:
      FocusControl(reinterpret_cast<TField**>(info));
      break;
    default:
      break;
  }
}

// ============================================================================
// TFieldDataLink
// ============================================================================

void TFieldDataLink::SetFieldName(const std::string& name) {
  if (name == fieldName_) return;
  fieldName_ = name;
  UpdateField();
}

void TFieldDataLink::SetField(TField* field) {
  if (field == field_) return;
  field_ = field;
  EditingChanged();
  RecordChanged(nullptr);
}

void TFieldDataLink::UpdateField() {
  SetField(nullptr);
  if (Active() && !fieldName_.empty()) SetField(DataSet()->FieldByName(fieldName_));
}

bool TFieldDataLink::CanModify() const { return !ReadOnly() && field_ && field_->CanModify(); }

bool TFieldDataLink::Edit() {
  if (CanModify()) TDataLink::Edit();
  return fieldEditing_;
}

void TFieldDataLink::Reset() { RecordChanged(nullptr); }

void TFieldDataLink::ActiveChanged() {
  UpdateField();
  if (OnActiveChange) OnActiveChange(this);
}

void TFieldDataLink::EditingChanged() {
  bool editing = TDataLink::Editing() && CanModify();
  if (editing == fieldEditing_) return;
  fieldEditing_ = editing;
  modified_ = false;
  if (OnEditingChange) OnEditingChange(this);
}

void TFieldDataLink::FocusControl(TField** field) {
  if (field && *field && *field == field_ && OnFocusControl && OnFocusControl(this)) *field = nullptr;
}

void TFieldDataLink::LayoutChanged() { UpdateField(); }

void TFieldDataLink::RecordChanged(TField* field) {
  if (field && field != field_) return;
  if (OnDataChange) OnDataChange(this);
  modified_ = false;
}

void TFieldDataLink::UpdateData() {
  if (!modified_) return;
  if (field_ && OnUpdateData) OnUpdateData(this);
  modified_ = false;
}

// ============================================================================
// TMasterDataLink
// ============================================================================

TMasterDataLink::TMasterDataLink(TDataSet* detail) : detail_(detail) {}

void TMasterDataLink::SetFieldNames(const std::string& names) {
  if (names == fieldNames_) return;
  fieldNames_ = names;
  ActiveChanged();
}

void TMasterDataLink::ActiveChanged() {
  fields_.clear();
  if (Active()) {
    try {
      DataSet()->GetFieldList(fields_, fieldNames_);
    } catch (...) {
      fields_.clear();
      throw;
    }
  }
  if (!detail_ || !detail_->Active() || detail_->ComponentState().Contains(csDestroying)) return;
  if (Active() && !fields_.empty()) {
    if (OnMasterChange) OnMasterChange(this);
  } else if (OnMasterDisable) {
    OnMasterDisable(this);
  }
}

void TMasterDataLink::CheckBrowseMode() {
  if (detail_ && detail_->Active()) detail_->CheckBrowseMode();
}

void TMasterDataLink::RecordChanged(TField* field) {
  if (DataSource()->State() == dsSetKey || !detail_ || !detail_->Active() || fields_.empty()) return;
  if (field && std::find(fields_.begin(), fields_.end(), field) == fields_.end()) return;
  if (OnMasterChange) OnMasterChange(this);
}
