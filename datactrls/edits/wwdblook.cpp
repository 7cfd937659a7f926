#include "datactrls/edits/wwdblook.h"

#include <algorithm>
#include <vector>

#include "datactrls/edits/wwdblkcb.h"
#include "datactrls/edits/wwlkroutines.h"
#include "datactrls/wwlookup.h"
#include "datactrls/wwstr.h"
#include "platform/classlib/controls/timer.h"
#include "platform/classlib/controls/winapi.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"

IMPLEMENT_CLASS(TwwDBLookupList, TwwCustomDBGrid)
IMPLEMENT_CLASS(TwwPopupGrid, TwwDBLookupList)

PUBLISHED(TwwDBLookupList) {
  PROP_STR(LookupField, LookupField, SetLookupField, "");
  PROP_STR(DataField, DataField, SetDataField, "");
  PROP_OBJ(DataSource, DataSource, SetDataSource);
  PROP_OBJ(LookupTable, LookupTable, SetLookupTable);
  PROP_BOOL(ReadOnly, ReadOnly, SetReadOnly, false);
}

namespace {
// A list placed on a form starts at this size.
constexpr int kListWidth = 121, kListHeight = 97;
// Held outside the rows, the mouse scrolls one record this often.
constexpr unsigned kAutoScrollMs = 60;
// The last column fills the client width when the others leave this much room.
constexpr int kWidenRoom = 15;

bool IsListMoveKey(WORD key) {
  switch (key) {
    case VK_PRIOR: case VK_NEXT: case VK_END: case VK_HOME:
    case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN: return true;
    default: return false;
  }
}

bool IsArrowKey(WORD key) { return key == VK_LEFT || key == VK_UP || key == VK_RIGHT || key == VK_DOWN; }
}  // namespace

// ---- TwwDBLookupList ---------------------------------------------------------------

TwwDBLookupList::TwwDBLookupList(TComponent* owner)
    : TwwCustomDBGrid(owner),
      lookupSource_(std::make_unique<TDataSource>()),
      fieldLink_(std::make_unique<TFieldDataLink>()) {
  fieldLink_->SetControl(this);
  fieldLink_->OnDataChange = [this](TFieldDataLink*) { FieldDataChange(); };
  fieldLink_->OnUpdateData = [this](TFieldDataLink*) { FieldUpdateData(); };
  fieldLink_->OnActiveChange = [this](TFieldDataLink*) { FieldDataChange(); };
  // A list never inserts or deletes records of its lookup table.
  SetKeyOptions({});
  SetLookupOptions({});
  SetBounds(Left(), Top(), kListWidth, kListHeight);
  TwwCustomDBGrid::SetDataSource(lookupSource_.get());
  scrollTimer_ = new TTimer(this);
  scrollTimer_->SetEnabled(false);
  scrollTimer_->SetInterval(kAutoScrollMs);
  scrollTimer_->OnTimer = [this](TObject*) { AutoScroll(); };
}

TwwDBLookupList::~TwwDBLookupList() {
  Destroying();
  scrollTimer_->OnTimer = nullptr;
  fieldLink_->OnDataChange = nullptr;
  fieldLink_->OnUpdateData = nullptr;
  fieldLink_->OnActiveChange = nullptr;
  fieldLink_->SetDataSource(nullptr);
  TwwCustomDBGrid::SetDataSource(nullptr);
}

TDataSet* TwwDBLookupList::LookupTable() const { return lookupSource_->DataSet(); }

void TwwDBLookupList::SetLookupTable(TDataSet* value) {
  if (!lookupSource_) throw EInvalidOperation(kwwLookupSourceNotCreated);
  if (value && DataSource() && DataSource()->DataSet() == value) throw EInvalidOperation(kwwDuplicateSource);
  if (value && !value->InheritsFrom("TDataSet")) throw EInvalidOperation(kwwLookupSourceNotTable);
  if (value) value->FreeNotification(this);
  lookupSource_->SetDataSet(value);
  ResolveFields(false);
  RebuildLayout();
}

void TwwDBLookupList::SetLookupField(const std::string& value) {
  if (value == lookupField_) return;
  lookupField_ = value;
  ResolveFields(false);
  RebuildLayout();
}

void TwwDBLookupList::SetDataSource(TDataSource* value) {
  if (value && (value == lookupSource_.get() || (value->DataSet() && value->DataSet() == LookupTable())))
    throw EInvalidOperation(kwwDuplicateSource);
  fieldLink_->SetDataSource(value);
  if (value) value->FreeNotification(this);
}

void TwwDBLookupList::SetLookupOptions(TwwDBLookupListOptions value) {
  lookupOptions_ = value;
  TwwDBGridOptions options{dgRowSelect};
  if (value.Contains(loColLines)) options.Include(dgColLines);
  if (value.Contains(loRowLines)) options.Include(dgRowLines);
  if (value.Contains(loTitles)) options.Include(dgTitles);
  SetOptions(options);
}

void TwwDBLookupList::Notification(TComponent* component, TOperation operation) {
  TwwCustomDBGrid::Notification(component, operation);
  if (operation != opRemove) return;
  if (fieldLink_ && component == fieldLink_->DataSource()) fieldLink_->SetDataSource(nullptr);
  if (lookupSource_ && component == lookupSource_->DataSet()) {
    lookupSource_->SetDataSet(nullptr);
    ResolveFields(false);
  }
}

// ---- Fields ----------------------------------------------------------------------

void TwwDBLookupList::ResolveFields(bool strict) {
  keyField_ = secondField_ = thirdField_ = displayField_ = nullptr;
  fieldCount_ = 0;
  TDataSet* table = LookupTable();
  if (!table || !table->Active() || lookupField_.empty()) return;
  const std::vector<std::string> names = wwSplitPieces(lookupField_, ";");
  keyField_ = table->FindField(names[0]);
  if (!keyField_) {
    if (strict) throw EInvalidOperation(Format(kwwFieldNotFound, {"Error", lookupField_}));
    return;
  }
  fieldCount_ = 1;
  if (names.size() > 1 && (secondField_ = table->FindField(names[1]))) ++fieldCount_;
  if (names.size() > 2 && secondField_ && (thirdField_ = table->FindField(names[2]))) ++fieldCount_;
  std::string first;
  if (Selected()->Count() > 0) first = wwParseSelectedLine(Selected()->Strings(0)).fieldName;
  displayField_ = first.empty() ? nullptr : table->FindField(first);
  if (!displayField_) displayField_ = keyField_;
}

void TwwDBLookupList::BuildFieldMap() {
  ResolveFields(false);
  TwwCustomDBGrid::BuildFieldMap();
}

// A table that closes frees its fields: none of them may be kept.
void TwwDBLookupList::DataLinkActiveChanged(bool active) {
  ResolveFields(false);
  TwwCustomDBGrid::DataLinkActiveChanged(active);
}

void TwwDBLookupList::ApplyColumnAttributes() {
  TwwCustomDBGrid::ApplyColumnAttributes();
  const int count = ColCount();
  if (count <= 0 || !DataLink()->Active()) return;
  const int line = lookupOptions_.Contains(loColLines) ? 1 : 0;
  int others = 0;
  for (int i = 0; i < count - 1; ++i) others += ColWidths(i) + line;
  if (others >= ClientWidth() - kWidenRoom && count > 1) return;
  const int wide = ClientWidth() - others - line;
  if (wide > ColWidths(count - 1)) SetColWidthQuiet(count - 1, wide);
}

// ---- The match ---------------------------------------------------------------------

void TwwDBLookupList::TakeCurrentRecord() {
  if (!keyField_) return;
  keyText_ = keyField_->Text();
  secondText_ = secondField_ ? secondField_->Text() : std::string();
  thirdText_ = thirdField_ ? thirdField_->Text() : std::string();
  displayText_ = displayField_ ? displayField_->Text() : keyText_;
  searchFound_ = true;
}

bool TwwDBLookupList::IsMatchedRecord() const {
  if (!keyField_ || !searchFound_) return false;
  if (keyField_->Text() != keyText_) return false;
  if (secondField_ && secondField_->Text() != secondText_) return false;
  return !thirdField_ || thirdField_->Text() == thirdText_;
}

int TwwDBLookupList::MatchRow() {
  TwwGridDataLink* link = DataLink();
  if (!link->Active() || !keyField_) return -1;
  const int saved = link->ActiveRecord();
  int row = -1;
  for (int r = 0; r < std::min(link->BufferCount(), link->RecordCount()) && row < 0; ++r) {
    link->SetActiveRecord(r);
    if (IsMatchedRecord()) row = r + (lookupOptions_.Contains(loTitles) ? 1 : 0);
  }
  link->SetActiveRecord(saved);
  return row;
}

bool TwwDBLookupList::IsCellHighlighted(int dataCol, int dataRow, TGridDrawState state) {
  (void)dataCol, (void)dataRow, (void)state;
  return IsMatchedRecord();
}

bool TwwDBLookupList::IsSequential() const { return !wwIsLookupTableIndexed(LookupTable()); }

bool TwwDBLookupList::PositionOnValue(const std::string& value) {
  TDataSet* table = LookupTable();
  if (!table || !table->Active() || !keyField_) {
    keyText_ = displayText_ = value;
    searchFound_ = false;
    return false;
  }
  if (searchFound_ && value == keyText_ && IsMatchedRecord()) return true;
  bool found = false;
  if (fieldCount_ == 1 && !IsSequential() && wwHasMasterFields(table)) {
    // A detail table seeks within its master's range.
    found = wwLookupValueSearch(table, value, keyField_->FieldName(), CaseSensitiveSearch(), false);
  } else if (fieldCount_ == 1 || IsSequential()) {
    found = wwLookupRecordSearch(table, value, keyField_->FieldName(), CaseSensitiveSearch(), false);
  } else {
    // The second and third keys come from the data fields of the same names.
    std::vector<std::string> values{value};
    std::string names = keyField_->FieldName();
    TDataSet* data = DataSource() ? DataSource()->DataSet() : nullptr;
    for (TField* f : {secondField_, thirdField_}) {
      TField* local = f && data ? data->FindField(f->FieldName()) : nullptr;
      if (!local) break;
      values.push_back(local->Text());
      names += ";" + f->FieldName();
    }
    found = wwLookupFindKey(table, names, values);
  }
  searchFound_ = found;
  if (found) {
    TakeCurrentRecord();
  } else {
    keyText_ = value;
    secondText_.clear();
    thirdText_.clear();
    displayText_ = displayField_ == keyField_ ? value : std::string();
  }
  Invalidate();
  return found;
}

// ---- The edited field ------------------------------------------------------------

void TwwDBLookupList::FieldDataChange() {
  TField* field = fieldLink_->Field();
  if (!field) return;
  PositionOnValue(field->Text());
}

void TwwDBLookupList::FieldUpdateData() {
  TField* field = fieldLink_->Field();
  if (field && field->AsString() != keyText_) field->SetAsString(keyText_);
}

bool TwwDBLookupList::CanChangeValue() { return !DataSource() || fieldLink_->Editing(); }

void TwwDBLookupList::ChooseCurrentRecord() {
  TakeCurrentRecord();
  if (!fieldLink_->Field()) return;
  if (fieldLink_->Edit()) fieldLink_->Modified();
}

bool TwwDBLookupList::BeginChange() { return !DataSource() || fieldLink_->Edit(); }

// ---- Keys and mouse ----------------------------------------------------------------

void TwwDBLookupList::KeyDown(WORD& key, TShiftState shift) {
  if (key == VK_INSERT) {
    key = 0;
    return;
  }
  if (key == VK_ESCAPE) {
    fieldLink_->Reset();
    TwwCustomDBGrid::KeyDown(key, shift);
    return;
  }
  TDataSet* table = LookupTable();
  if (!IsListMoveKey(key) || !table || !table->Active()) {
    TwwCustomDBGrid::KeyDown(key, shift);
    return;
  }
  BeginChange();
  if (IsArrowKey(key) && !CanChangeValue()) {
    key = 0;
    return;
  }
  // The move starts at the matched record; without one the first record is the choice.
  if (!IsMatchedRecord()) {
    const bool found = searchFound_ && PositionOnValue(keyText_);
    if (!found) {
      table->First();
      ChooseCurrentRecord();
      key = 0;
      Invalidate();
      return;
    }
  }
  TwwCustomDBGrid::KeyDown(key, shift);
  ChooseCurrentRecord();
  Invalidate();
}

void TwwDBLookupList::MoveToMouse(int y) {
  const TGridCoord cell = MouseCoord(1, y);
  const int titles = lookupOptions_.Contains(loTitles) ? 1 : 0;
  if (cell.Y < titles || !DataLink()->Active()) return;
  const int distance = (cell.Y - titles) - DataLink()->ActiveRecord();
  if (distance != 0) DataLink()->MoveBy(distance);
  ChooseCurrentRecord();
  Invalidate();
}

void TwwDBLookupList::AutoScroll() {
  const int titles = lookupOptions_.Contains(loTitles) ? 1 : 0;
  const int top = titles ? RowHeights(0) : 0;
  const int step = mouseY_ < top ? -1 : mouseY_ >= ClientHeight() ? 1 : 0;
  if (!tracking_ || !DataLink()->Active()) {
    scrollTimer_->SetEnabled(false);
    return;
  }
  if (step == 0 || DataLink()->MoveBy(step) == 0) return;
  ChooseCurrentRecord();
  Invalidate();
}

void TwwDBLookupList::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  const TGridCoord cell = MouseCoord(x, y);
  const int titles = lookupOptions_.Contains(loTitles) ? 1 : 0;
  if (button != mbLeft || shift.Contains(ssDouble) || cell.Y < titles || !DataLink()->Active()) {
    TwwCustomDBGrid::MouseDown(button, shift, x, y);
    return;
  }
  if (!BeginChange()) return;
  tracking_ = true;
  mouseY_ = y;
  scrollTimer_->SetEnabled(true);
  MoveToMouse(y);
  TCustomControl::MouseDown(button, shift, x, y);
}

void TwwDBLookupList::MouseMove(TShiftState shift, int x, int y) {
  mouseY_ = y;
  if (tracking_ && y >= 0 && y < ClientHeight()) MoveToMouse(y);
  TwwCustomDBGrid::MouseMove(shift, x, y);
}

void TwwDBLookupList::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (tracking_ && button == mbLeft) {
    tracking_ = false;
    scrollTimer_->SetEnabled(false);
    if (y >= 0 && y < ClientHeight()) MoveToMouse(y);
  }
  TwwCustomDBGrid::MouseUp(button, shift, x, y);
}

// ---- TwwPopupGrid -------------------------------------------------------------------

TwwPopupGrid::TwwPopupGrid(TwwDBCustomLookupCombo* combo) : TwwDBLookupList(combo), combo_(combo) {
  InitVisible(false);
  SetTabStop(false);
}

void TwwPopupGrid::FillCreateParams(TCreateParams& params) {
  TwwDBLookupList::FillCreateParams(params);
  // Floats over every window and is never activated: the keyboard stays in the combo.
  params.Style = (params.Style & ~WS_CHILD) | WS_POPUP | WS_BORDER;
  params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
}

bool TwwPopupGrid::CaseSensitiveSearch() const {
  return combo_->SeqSearchOptions().Contains(ssoCaseSensitive);
}

bool TwwPopupGrid::CanChangeValue() {
  if (TwwDBLookupList::CanChangeValue()) return true;
  return combo_->CanChangeLookupValue();
}

void TwwPopupGrid::ChooseCurrentRecord() {
  TakeCurrentRecord();
  combo_->ListChose();
}

bool TwwPopupGrid::BeginChange() { return combo_->BeginListChange(); }

void TwwPopupGrid::RefreshData() {
  TwwDBLookupList::RefreshData();
  combo_->DetailTableRefreshed();
}

void TwwPopupGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  combo_->FinishPendingSearch();
  TwwDBLookupList::MouseDown(button, shift, x, y);
}

void TwwPopupGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  const bool wasTracking = tracking_;
  TwwDBLookupList::MouseUp(button, shift, x, y);
  if (!wasTracking || button != mbLeft) return;
  const TRect r = ClientRect();
  const bool inside = x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
  if (inside && OnClick) OnClick(this);
}

void TwwPopupGrid::DblClick() {
  TwwDBLookupList::DblClick();
  combo_->CloseUp(true);
}
