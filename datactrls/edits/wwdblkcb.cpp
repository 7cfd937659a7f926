#include "datactrls/edits/wwdblkcb.h"

#include <algorithm>
#include <vector>

#include "datactrls/edits/wwlkroutines.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwdbroutines.h"
#include "datactrls/wwfieldcheck.h"
#include "datactrls/wwfieldsettings.h"
#include "datactrls/wwstr.h"
#include "datactrls/wwtable.h"
#include "datactrls/wwwindow.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/controls/timer.h"
#include "platform/classlib/controls/winapi.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/win32/msgbox.h"

IMPLEMENT_CLASS(TwwComboButton, TwwComboDlgButton)
IMPLEMENT_CLASS(TwwDBCustomLookupCombo, TwwDBCustomCombo)
IMPLEMENT_CLASS(TwwDBLookupCombo, TwwDBCustomLookupCombo)

PUBLISHED(TwwDBLookupCombo) {
  PROP_OBJ(LookupTable, LookupTable, SetLookupTable);
  PROP_STR(LookupField, LookupField, SetLookupField, "");
  PROP_OBJ(Selected, Selected, SetSelected);
  PROP_SET(Options, Options, SetOptions, TwwDBLookupListOptions{});
  PROP_ENUM(Style, Style, SetStyle, csDropDown);
  PROP_ENUM(DropDownAlignment, DropDownAlignment, SetDropDownAlignment, taLeftJustify);
  PROP_INT(DropDownCount, DropDownCount, SetDropDownCount, 8);
  PROP_INT(DropDownWidth, DropDownWidth, SetDropDownWidth, 0);
  PROP_BOOL(AutoDropDown, AutoDropDown, SetAutoDropDown, false);
  PROP_BOOL(ShowButton, ShowButton, SetShowButton, true);
  PROP_SET(SeqSearchOptions, SeqSearchOptions, SetSeqSearchOptions, TwwSeqSearchOptions{ssoEnabled});
  PROP_BOOL(OrderByDisplay, OrderByDisplay, SetOrderByDisplay, true);
  PROP_BOOL(UseTFields, UseTFields, SetUseTFields, true);
  PROP_BOOL(AllowClearKey, AllowClearKey, SetAllowClearKey, false);
  PROP_BOOL(ShowMatchText, ShowMatchText, SetShowMatchText, false);
  PROP_EVENT(OnDropDown);
  PROP_EVENT(OnCloseUp);
  PROP_EVENT(OnNotInList);
}

namespace {
// A narrower combo has no room to show a list under it.
constexpr int kMinDropDownWidth = 21;
// The combo is placed 25 pixels high.
constexpr int kInitialHeight = 25;
// The edit's sunken frame, which the button stays inside on the newer shell look.
constexpr int kFrame = 2;
// The list's frame: its border and the grid's margins.
constexpr int kListFrame = 5;
// Until the combo drops down, the list is this small (it is laid out later).
constexpr int kHiddenListSize = 10;
}  // namespace

TRect wwLookupDropDownBounds(const TRect& control, int width, int height, const TRect& screen,
                             bool alignRight, int scrollBarHeight) {
  const int w = std::min(width, screen.Right - screen.Left);
  // A cut width shows a horizontal scroll bar under the rows.
  const int h = w < width ? height + scrollBarHeight : height;
  int x = alignRight ? control.Right - w : control.Left;
  x = std::max(screen.Left, std::min(x, screen.Right - w));
  int y = control.Bottom;
  if (y + h > screen.Bottom) {
    y = control.Top - h;
    if (y < screen.Top) y = control.Bottom;
  }
  return {x, y, x + w, y + h};
}

// ---- Creation and properties -------------------------------------------------------

TwwDBCustomLookupCombo::TwwDBCustomLookupCombo(TComponent* owner)
    : TwwDBCustomCombo(owner, [](TwwDBCustomCombo* combo) -> TwwComboDlgButton* {
        return new TwwComboButton(combo, combo);
      }) {
  SetButtonStyle(cbsDownArrow);
  SetHeight(kInitialHeight);
  grid_ = new TwwPopupGrid(this);
  grid_->SetBounds(0, 0, kHiddenListSize, kHiddenListSize);
  grid_->OnClick = [this](TObject*) { CloseUp(true); };
  timer_ = new TTimer(this);
  timer_->SetEnabled(false);
  timer_->SetInterval(kSearchDelayMs);
  timer_->OnTimer = [this](TObject*) { PerformSearch(); };
  // The value written is the lookup table's, not the shown text.
  DataLink()->OnUpdateData = [this](TFieldDataLink*) { UpdateLookupData(); };
  DataLink()->OnEditingChange = [this](TFieldDataLink*) { RefreshReadOnly(); };
  DataLink()->OnActiveChange = [this](TFieldDataLink*) { RefreshReadOnly(); };
  // The button acts on the press, so that the held button can be dragged into the list.
  Button()->OnClick = nullptr;
  Button()->OnMouseDown = [this](TObject*, TMouseButton button, TShiftState, int, int) {
    if (button == mbLeft) ButtonClick();
  };
  Button()->OnMouseMove = [this](TObject*, TShiftState shift, int x, int y) {
    if (shift.Contains(ssLeft)) DragFromButton(WM_MOUSEMOVE, x, y);
  };
  Button()->OnMouseUp = [this](TObject*, TMouseButton button, TShiftState, int x, int y) {
    if (button == mbLeft) DragFromButton(WM_LBUTTONUP, x, y);
  };
}

TwwDBCustomLookupCombo::~TwwDBCustomLookupCombo() { timer_->OnTimer = nullptr; }

// The press held on the button is handed to the open list once the pointer
// reaches it: the list then follows the pointer and the release there chooses.
void TwwDBCustomLookupCombo::DragFromButton(UINT message, int x, int y) {
  if (!listDown_) {
    dragInList_ = false;
    return;
  }
  const TPoint at = grid_->ScreenToClient(Button()->ClientToScreen({x, y}));
  if (!dragInList_ && message == WM_MOUSEMOVE && PtInRect(grid_->ClientRect(), at)) {
    dragInList_ = true;
    grid_->Perform(WM_LBUTTONDOWN, MK_LBUTTON, PointToLParam(at));
    return;
  }
  if (!dragInList_) return;
  if (message == WM_LBUTTONUP) dragInList_ = false;
  grid_->Perform(message, message == WM_MOUSEMOVE ? WPARAM(MK_LBUTTON) : WPARAM(0), PointToLParam(at));
}

void TwwDBCustomLookupCombo::SetLookupTable(TDataSet* value) {
  if (value && DataSource() && DataSource()->DataSet() == value) throw EInvalidOperation(kwwDuplicateSource);
  grid_->SetLookupTable(value);
  lastSearched_.clear();
  DataChange();
}

void TwwDBCustomLookupCombo::SetLookupField(const std::string& value) {
  lookupField_ = value;
  grid_->SetLookupField(value);
  lastSearched_.clear();
  DataChange();
}

void TwwDBCustomLookupCombo::SetSelected(const TStrings* value) {
  grid_->SetSelected(value);
  lastSearched_.clear();
  DataChange();
}

namespace {

// The link pairs (local;lookup;...) of a calculated field filled from a lookup
// table by its dataset's LookupLinks; none for any other field.
std::vector<std::string> CalculatedLookupLinks(TField* field) {
  if (!field || field->FieldKind() != fkCalculated || !field->DataSet()) return {};
  return wwSplitPieces(wwGetLookupLink(field->DataSet(), field->FieldName()), ";");
}

// Every other piece of the pairs, from the first (local) or second (lookup).
std::vector<std::string> LinkSides(const std::vector<std::string>& links, std::size_t side) {
  std::vector<std::string> names;
  for (std::size_t i = side; i < links.size(); i += 2) names.push_back(links[i]);
  return names;
}

}  // namespace

// A class-library lookup field, or a calculated field its dataset looks up.
bool TwwDBCustomLookupCombo::IsLookupDataField() const {
  return Field() && (Field()->FieldKind() == fkLookup || !CalculatedLookupLinks(Field()).empty());
}

// The fields of the edited dataset that hold a lookup field's key.
std::vector<std::string> TwwDBCustomLookupCombo::LocalKeyNames() const {
  TField* field = Field();
  if (field->FieldKind() == fkLookup) return wwSplitPieces(field->KeyFields(), ";");
  return LinkSides(CalculatedLookupLinks(field), 0);
}

// The lookup table's fields that a lookup field's key is found in.
std::string TwwDBCustomLookupCombo::LookupKeyNames() const {
  TField* field = Field();
  if (field->FieldKind() == fkLookup) return field->LookupKeyFields();
  std::string names;
  for (const std::string& name : LinkSides(CalculatedLookupLinks(field), 1)) names += (names.empty() ? "" : ";") + name;
  return names;
}

// The value the combo stands for: a lookup field's is that of its (first) key field.
std::string TwwDBCustomLookupCombo::DataValue() const {
  TField* field = Field();
  if (!IsLookupDataField()) return field->Text();
  const std::vector<std::string> keys = LocalKeyNames();
  TField* key = keys.empty() ? nullptr : field->DataSet()->FindField(keys.front());
  return key ? key->Text() : std::string();
}

bool TwwDBCustomLookupCombo::CanEditText() {
  if (Style() == csDropDownList && !listDown_ && !autoDropDown_) return false;
  return !ReadOnly();
}

// The caret shows only where the text can be typed into. Hides are counted,
// so it is hidden once and shown until visible, or it would stay hidden after
// typing becomes possible again.
void TwwDBCustomLookupCombo::UpdateCaret() {
  if (!CanEditText()) {
    if (CaretVisible()) HideCaret();
    return;
  }
  while (!CaretVisible()) ShowCaret();
}

void TwwDBCustomLookupCombo::DoEnter() {
  TwwDBCustomCombo::DoEnter();
  UpdateCaret();
}

bool TwwDBCustomLookupCombo::TypingAllowed() {
  if (!CanEditText()) return false;
  if (!Field()) return true;
  return IsLookupDataField() ? CanChangeLookupValue() : DataLink()->CanModify();
}

bool TwwDBCustomLookupCombo::CanChangeLookupValue() {
  if (!IsLookupDataField()) return false;
  TDataSet* data = Field()->DataSet();
  return data->State() == dsEdit || data->State() == dsInsert || data->CanModify();
}

// The shown text is the display text already; the field's own characters do
// not limit typing the lookup table's text.
bool TwwDBCustomLookupCombo::MapToDisplayText(const std::string& stored, std::string& display) {
  (void)stored;
  display = EditText();
  return true;
}

// ---- Showing the field -------------------------------------------------------------

void TwwDBCustomLookupCombo::ShowValue(const std::string& value) {
  TDataSet* table = LookupTable();
  if (!table || !table->Active() || lookupField_.empty()) {
    searchFound_ = false;
    ShowText(value);
    return;
  }
  // Selected may have changed the display field since.
  grid_->ResolveFields(false);
  searchFound_ = grid_->PositionOnValue(value);
  ShowText(grid_->DisplayText());
  lastSearched_ = EditText();
}

void TwwDBCustomLookupCombo::DataChange() {
  TField* field = Field();
  if (!field || ComponentState().Contains(csLoading)) {
    TwwDBCustomCombo::DataChange();
    return;
  }
  // A lookup field names the lookup table's key itself.
  if (IsLookupDataField() && !LookupKeyNames().empty() && lookupField_ != LookupKeyNames()) {
    lookupField_ = LookupKeyNames();
    grid_->SetLookupField(lookupField_);
  }
  const std::string value = DataValue();
  ShowValue(value);
  if (field->DataSet()->State() == dsBrowse) {
    savedText_ = EditText();
    savedValue_ = value;
  }
  if (Focused()) SelectAll();
}

void TwwDBCustomLookupCombo::RestoreSaved() {
  timer_->SetEnabled(false);
  ShowValue(savedValue_);
  ShowText(savedText_);
  if (Field()) DataLink()->Reset();
  lastSearched_ = EditText();
  if (Focused()) SelectAll();
}

// ---- Writing the value -------------------------------------------------------------

void TwwDBCustomLookupCombo::WriteLookupKeys(TField* field) {
  const std::vector<std::string> keys = LocalKeyNames();
  const std::string texts[] = {grid_->KeyText(), grid_->SecondText(), grid_->ThirdText()};
  TDataSet* data = field->DataSet();
  std::vector<TField*> locals;
  bool same = true;
  for (std::size_t i = 0; i < keys.size() && i < 3; ++i) {
    TField* local = data->FindField(keys[i]);
    if (!local) continue;
    locals.push_back(local);
    same = same && local->Text() == texts[i];
  }
  // The lookup field itself is never edited: its dataset goes into edit for the keys.
  if (same || ReadOnly() || !data->CanModify()) return;
  data->Edit();
  for (std::size_t i = 0; i < locals.size(); ++i) locals[i]->SetAsString(texts[i]);
}

void TwwDBCustomLookupCombo::UpdateLookupData() {
  TField* field = Field();
  if (!field || !Modified()) return;
  if (!listDown_ && !EditText().empty() && EditText() != lastSearched_) PerformSearch();
  if (EditText().empty()) {
    if (IsLookupDataField()) {
      for (const std::string& key : LocalKeyNames())
        if (TField* local = field->DataSet()->FindField(key)) local->Clear();
    } else if (!field->IsNull()) {
      field->Clear();
    }
    return;
  }
  if (IsLookupDataField()) {
    if (searchFound_) WriteLookupKeys(field);
    return;
  }
  TField* key = grid_->KeyField();
  if (key && grid_->DisplayField() != key) {
    // The shown text is not the value: only a found record gives one.
    if (searchFound_ && field->AsString() != grid_->KeyText()) field->SetAsString(grid_->KeyText());
  } else if (field->Text() != EditText()) {
    field->SetText(EditText());
  }
  if (!searchFound_ && !AcceptsNoMatch()) return;
  const std::vector<std::string> names = wwSplitPieces(lookupField_, ";");
  const std::string texts[] = {grid_->SecondText(), grid_->ThirdText()};
  for (std::size_t i = 1; i < names.size() && i < 3; ++i)
    if (TField* other = field->DataSet()->FindField(names[i])) other->SetAsString(texts[i - 1]);
}

// ---- Searching ----------------------------------------------------------------------

void TwwDBCustomLookupCombo::RestartTimer() {
  timer_->SetEnabled(false);
  // A library table on a local database answers fast: the search waits half as long.
  unsigned interval = kSearchDelayMs;
  if (auto* table = dynamic_cast<TwwTable*>(LookupTable()))
    if (table->Database() && !table->Database()->IsSQLBased()) interval = kSearchDelayMs / 2;
  timer_->SetInterval(interval);
  timer_->SetEnabled(true);
}

// A library table is searched in the order the list shows: on the index of
// its first column, the current record kept.
void TwwDBCustomLookupCombo::PutInDisplayOrder() {
  auto* table = dynamic_cast<TwwTable*>(LookupTable());
  if (!orderByDisplay_ || !table) return;
  EnsureSelected();
  const std::string current = grid_->KeyText();
  if (table->SelectIndexForSearch(Selected()) && !current.empty()) grid_->PositionOnValue(current);
}

// True when a library lookup table is not on the index of the lookup fields.
bool TwwDBCustomLookupCombo::NeedsLookupOrder() {
  auto* table = dynamic_cast<TwwTable*>(LookupTable());
  if (!table || !table->Active() || lookupField_.empty()) return false;
  const std::string index = table->IndexNameForFields(lookupField_);
  return !index.empty() && !AnsiSameText(index, table->IndexName());
}

// The closed list's face stands for the record of the lookup fields' own
// index: the table goes back to it, on the shown value.
void TwwDBCustomLookupCombo::PutInLookupOrder() {
  if (!NeedsLookupOrder()) return;
  const std::string value = grid_->KeyText();
  dynamic_cast<TwwTable*>(LookupTable())->SetIndexFieldsForLookup(lookupField_);
  if (!value.empty()) grid_->PositionOnValue(value);
}

// A table narrowed while typing shows every record again once the text is
// erased, staying on its record; false for a table that is not narrowed so.
bool TwwDBCustomLookupCombo::ShowAllNarrowedRecords() {
  auto* table = dynamic_cast<TwwTable*>(LookupTable());
  if (!table || !table->NarrowSearch || wwHasQueryText(table)) return false;
  table->CancelRangeKeepState();
  return true;
}

void TwwDBCustomLookupCombo::SearchNow() {
  dropDownPending_ = true;
  try {
    PerformSearch();
  } catch (...) {
    dropDownPending_ = false;
    throw;
  }
  dropDownPending_ = false;
}

void TwwDBCustomLookupCombo::FinishPendingSearch() {
  if (timer_->Enabled()) PerformSearch();
}

// Only the library's table keeps its range in step with its master while the
// combo shows a value; with any other class the shown value would go stale.
void TwwDBCustomLookupCombo::DetailTableRefreshed() {
  TDataSet* table = LookupTable();
  if (!table || !Field() || table->State() != dsBrowse || !wwHasMasterFields(table)) return;
  if (!table->InheritsFrom("TwwTable")) {
    MessageDlg(kwwDetailLookupTable, mtWarning, {mbOK}, 0);
    return;
  }
  DataChange();
}

void TwwDBCustomLookupCombo::PerformSearch() {
  timer_->SetEnabled(false);
  TDataSet* table = LookupTable();
  const std::string text = EditText();
  if (text == lastSearched_ || !table || !table->Active()) return;
  // Selected may have changed the display field since.
  grid_->ResolveFields(false);
  TField* display = grid_->DisplayField();
  if (!display) return;
  const bool incremental = listDown_ || dropDownPending_;
  bool found = false;
  if (wwIsLookupTableIndexed(table)) {
    found = IndexedSearch(text, incremental);
  } else if (seqSearchOptions_.Contains(ssoEnabled)) {
    found = wwLookupRecordSearch(table, text, display->FieldName(), seqSearchOptions_.Contains(ssoCaseSensitive),
                                 incremental);
  } else {
    return;
  }
  searchFound_ = found;
  if (found) {
    grid_->TakeCurrentRecord();
  } else if (incremental && display == grid_->KeyField() && grid_->LookupFieldCount() == 1) {
    grid_->ClearKeyText();
    lastSearched_ = text;
    return;
  }
  grid_->Invalidate();
  if (showMatchText_ && found && lastSearched_ != kNoCompletion) Complete();
  lastSearched_ = EditText();
}

// A library table finds a whole value by its key when the lookup field is
// one of its index's fields (the fields before it keep the current record's
// values).
bool TwwDBCustomLookupCombo::IndexedSearch(const std::string& text, bool incremental) {
  auto* table = dynamic_cast<TwwTable*>(LookupTable());
  TField* key = grid_->KeyField();
  if (!table || !key) return false;
  const int k = wwLookupIndexPosition(table, key->FieldName());
  const bool caseSensitive = seqSearchOptions_.Contains(ssoCaseSensitive);
  if (k < 0) return wwLookupValueSearch(table, text, key->FieldName(), caseSensitive, incremental);
  // Typing seeks the typed start on the index (or narrows the table's range,
  // as the table's search settings say).
  if (incremental) return wwIncrementalSearch(table, text, k);
  std::vector<std::string> values;
  if (k <= 2)
    for (int i = 0; i < k; ++i) values.push_back(table->IndexFields(i)->Text());
  values.push_back(text);
  return table->VerifiedFindKey(values);
}

// The typed part stays, the rest of the record's text is added and selected.
void TwwDBCustomLookupCombo::Complete() {
  int start, end;
  SelStartEnd(start, end);
  const std::string matched = grid_->DisplayText();
  const int typed = start == 0 ? int(Utf8Length(EditText())) : start;
  SetEditText(matched);
  MarkModified();
  SetSelection(std::min(typed, int(Utf8Length(matched))), int(Utf8Length(matched)));
}

bool TwwDBCustomLookupCombo::CheckNotInList() {
  if (!OnNotInList || inNotInList_) return true;
  const std::string text = EditText();
  // The whole text is looked for: a typed name that only begins a listed
  // one (the rest erased after a completion) is a new name, not the other.
  if (text != lastSearched_) PerformSearch();
  if (searchFound_ || text.empty()) return true;
  bool accept = true;
  inNotInList_ = true;
  try {
    OnNotInList(this, LookupTable(), text, accept);
  } catch (...) {
    inNotInList_ = false;
    throw;
  }
  inNotInList_ = false;
  wwReleaseMouse();
  if (accept) {
    // The handler may have added the text to the list: leaving again looks
    // for it anew instead of offering it as new a second time.
    lastSearched_.clear();
    return true;
  }
  RestoreSaved();
  return false;
}

bool TwwDBCustomLookupCombo::BeginListChange() {
  return !Field() || IsLookupDataField() || EditCanModify();
}

void TwwDBCustomLookupCombo::ListChose() {
  if (!BeginListChange()) return;
  searchFound_ = true;
  SetEditText(grid_->DisplayText());
  MarkModified();
  lastSearched_ = EditText();
  SelectAll();
}

// ---- Dropping down ------------------------------------------------------------------

void TwwDBCustomLookupCombo::EnsureSelected() {
  if (Selected()->Count() > 0 || !LookupTable()) return;
  const std::vector<std::string> names = wwSplitPieces(lookupField_, ";");
  TField* first = names.empty() ? nullptr : LookupTable()->FindField(names.front());
  if (first)
    Selected()->Add(wwSelectedLineText(first->FieldName(), first->DisplayWidth(), first->DisplayLabel()));
}

// A query holds the rows it read when it opened: run again with its master's
// values, it lists what was added since (by anyone), and stays on the shown key.
void TwwDBCustomLookupCombo::RunQueryAgain() {
  auto* query = dynamic_cast<TwwQuery*>(LookupTable());
  if (!query || !query->DataSource()) return;
  const std::string key = grid_->KeyText();
  query->RefreshParams();
  grid_->ResolveFields(false);
  if (!key.empty()) searchFound_ = grid_->PositionOnValue(key);
}

int TwwDBCustomLookupCombo::DropDownHeight(int rows) {
  const bool rowLines = Options().Contains(loRowLines);
  const int titles = Options().Contains(loTitles) ? 1 : 0;
  const int row = grid_->DefaultRowHeight() + (rowLines ? 1 : 0);
  return row * (titles + rows) + kListFrame - (rowLines ? 2 : 0);
}

int TwwDBCustomLookupCombo::ColumnsWidth() const {
  int width = 0;
  for (int i = 0; i < grid_->ColCount(); ++i) width += grid_->ColWidths(i);
  return width;
}

void TwwDBCustomLookupCombo::DropDown() {
  TDataSet* table = LookupTable();
  if (!table) {
    MessageDlg(kwwNoLookupTable, mtWarning, {mbOK}, 0);
    return;
  }
  if (!table->Active()) {
    MessageDlg(kwwLookupTableNotActive, mtWarning, {mbOK}, 0);
    return;
  }
  if (listDown_ || Width() < kMinDropDownWidth) return;
  RunQueryAgain();
  EnsureSelected();
  grid_->ResolveFields(true);
  if (!grid_->Parent()) grid_->SetParent(this);
  grid_->SetBounds(grid_->Left(), grid_->Top(), kHiddenListSize, kHiddenListSize);
  grid_->SetUseTFields(useTFields_);
  if (useTFields_) wwApplySelectedToFields(table, static_cast<const TStrings*>(Selected()));
  if (!searchFound_ && Field()) searchFound_ = grid_->PositionOnValue(DataValue());
  const auto alive = Lifetime();
  if (OnDropDown) OnDropDown(this);
  if (alive.expired()) return;
  grid_->RebuildLayout();
  // DropDownCount 0 still shows a row; fewer records than rows shrink the list.
  int rows = std::max(1, dropDownCount_);
  const int records = table->RecordCount();
  const bool fewer = records >= 0 && records < rows;
  if (fewer) rows = std::max(1, records);
  grid_->SetShowVertScrollBar(!fewer);
  const int width = dropDownWidth_ > 0 ? dropDownWidth_ : ColumnsWidth() + ButtonContainer()->Width();
  const TPoint topLeft = ClientToScreen({0, 0});
  const TRect self{topLeft.x, topLeft.y, topLeft.x + Width(), topLeft.y + Height()};
  const TRect at = wwLookupDropDownBounds(self, width, DropDownHeight(rows), Screen->DesktopRect(),
                                          dropDownAlignment_ == taRightJustify, GetSystemMetrics(SM_CYHSCROLL));
  grid_->SetBounds(at.Left, at.Top, at.Right - at.Left, at.Bottom - at.Top);
  grid_->RebuildLayout();
  grid_->Show();
  listDown_ = true;
  droppedDown_ = true;
  UpdateCaret();
  Invalidate();
}

void TwwDBCustomLookupCombo::CloseUp(bool accept) {
  if (!listDown_ || closing_) return;
  closing_ = true;
  try {
    if (accept) FinishPendingSearch();
    grid_->Hide();
    listDown_ = false;
    droppedDown_ = false;
    const std::string before = Field() ? DataValue() : std::string();
    closeUpTookRecord_ = accept && searchFound_;
    if (closeUpTookRecord_) ListChose();
    if (accept && (searchFound_ || CheckNotInList()) && Field() && Modified()) DataLink()->UpdateRecord();
    const bool changed = Field() && DataValue() != before;
    UpdateCaret();
    Invalidate();
    closing_ = false;
    if (OnCloseUp) OnCloseUp(this, LookupTable(), Field() ? Field()->DataSet() : nullptr, changed);
  } catch (...) {
    closing_ = false;
    throw;
  }
}

// ---- Layout ------------------------------------------------------------------------

void TwwDBCustomLookupCombo::PlaceButtonInFrame() {
  if (!NewStyleControls || BorderStyle() != bsSingle) return;
  TWinControl* box = ButtonContainer();
  const int width = Button()->Width();
  box->SetBounds(ClientWidth() - width - kFrame, kFrame, width, std::max(0, ClientHeight() - 2 * kFrame));
  Button()->SetBounds(0, 0, width, box->Height());
  SetEditRect();
}

void TwwDBCustomLookupCombo::Resize() {
  TwwDBCustomCombo::Resize();
  PlaceButtonInFrame();
}

void TwwDBCustomLookupCombo::Loaded() {
  TwwDBCustomCombo::Loaded();
  PlaceButtonInFrame();
}

namespace {
// Posted by the closed face's paint (clear of the edit's own private messages).
constexpr UINT kPutInLookupOrder = WM_USER + 0x2F0;
}  // namespace

// A closed drop-down list looks like the system's drop-down-list combo box:
// focused, its face is in the highlight colours inside a focus rectangle.
void TwwDBCustomLookupCombo::PaintText(TCanvas* canvas, TRect rect, int x, const std::string& text) {
  if (CanEditText()) {
    TwwDBCustomCombo::PaintText(canvas, rect, x, text);
    return;
  }
  // Moving the table from inside a paint would repaint its controls midway:
  // the switch back to the lookup index runs from the queue right after.
  if (!lookupOrderPosted_ && NeedsLookupOrder()) {
    lookupOrderPosted_ = true;
    PostMessage(Handle(), kPutInLookupOrder);
  }
  if (!Enabled()) {
    canvas->Font()->SetColor(clGrayText);
  } else if (Focused()) {
    const TRect face{rect.Left + 1, rect.Top + 1, rect.Right - 1, rect.Bottom - 1};
    canvas->Brush()->SetColor(clHighlight);
    canvas->FillRect(face);
    canvas->Font()->SetColor(clHighlightText);
    canvas->DrawFocusRect(face);
  }
  TwwDBCustomCombo::PaintText(canvas, rect, x, text);
}

void TwwDBCustomLookupCombo::Dispatch(TMessage& message) {
  if (message.Msg == CN_CHAR) {
    TypeHandedChar(message);
    return;
  }
  if (message.Msg != kPutInLookupOrder) {
    TwwDBCustomCombo::Dispatch(message);
    return;
  }
  lookupOrderPosted_ = false;
  if (!CanEditText()) PutInLookupOrder();
}

// ---- Keys --------------------------------------------------------------------------

bool TwwDBCustomLookupCombo::ClearKey() {
  if (listDown_ && !EditText().empty()) return false;
  if (Field() && !EditCanModify()) return true;
  ShowText("");
  grid_->ClearKeyText();
  searchFound_ = false;
  lastSearched_.clear();
  MarkModified();
  return true;
}

// Escape goes to the host grid too, to cancel the record's edit as in any
// cell; the typed text is undone first, so that leaving writes nothing.
bool TwwDBCustomLookupCombo::HandToHostGrid(WORD key, TShiftState shift) {
  TwwDBGrid* grid = GridTakingKey(key, shift, true);
  if (!grid) return false;
  if (key == VK_ESCAPE) RestoreSaved();
  PassToGrid(grid, key, shift);
  return true;
}

// A key makes the next search run; Backspace and Delete in the open list
// make it run without completing.
void TwwDBCustomLookupCombo::ForgetLastSearch(bool erase) {
  if (showMatchText_ && erase) {
    if (listDown_) lastSearched_ = kNoCompletion;
  } else {
    lastSearched_.clear();
  }
}

void TwwDBCustomLookupCombo::KeyDown(WORD& key, TShiftState shift) {
  if (HandToHostGrid(key, shift)) {
    key = 0;
    return;
  }
  const bool alt = shift.Contains(ssAlt);
  if (autoDropDown_ && wwIsEditKey(key) && !listDown_) dropDownPending_ = true;
  ForgetLastSearch(key == VK_BACK || key == VK_DELETE);
  const bool listKey = key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT;
  if (listKey && !listDown_) {
    if (alt) {
      DropDown();
      key = 0;
    }
    return;
  }
  if (listKey && listDown_ && !(alt && (key == VK_UP || key == VK_DOWN))) {
    FinishPendingSearch();
    grid_->HandleKey(key);
    key = 0;
    return;
  }
  if (listDown_ && (key == VK_RETURN || key == VK_ESCAPE)) {
    if (key == VK_RETURN) CloseUp(true);
    else {
      CloseUp(false);
      RestoreSaved();
    }
    SelectAll();
    key = 0;
    return;
  }
  if (key == VK_DELETE && IsLookupDataField()) {
    if (BeginLookupFieldTyping()) {
      TwwCustomMaskEdit::KeyDown(key, shift);
      MarkModified();
    }
    key = 0;
    return;
  }
  const bool caretKey = key == VK_HOME || key == VK_END || key == VK_LEFT || key == VK_RIGHT ||
                        key == VK_UP || key == VK_BACK;
  if (caretKey && !TypingAllowed()) {
    key = 0;
    return;
  }
  TwwDBCustomCombo::KeyDown(key, shift);
}

void TwwDBCustomLookupCombo::KeyUp(WORD& key, TShiftState shift) {
  TwwDBCustomCombo::KeyUp(key, shift);
  if (wwIsEditKey(key) && AfterEditKey(key == VK_BACK || key == VK_DELETE)) key = 0;
}

// What an editing key starts once its release comes: the search (at once or
// on the timer), or the clear key's emptying; true when the key cleared the value.
bool TwwDBCustomLookupCombo::AfterEditKey(bool erase) {
  if (allowClearKey_ && erase && ClearKey()) return true;
  // An erased text shows every record of a narrowed table again; no search follows.
  const bool widened = showMatchText_ && erase && EditText().empty() && ShowAllNarrowedRecords();
  // Erasing with the list closed never completes again at once.
  const bool searchAtOnce = !(showMatchText_ && erase) && !EditText().empty() &&
                            (showMatchText_ || autoDropDown_) && TypingAllowed();
  if (widened) {
    timer_->SetEnabled(false);
  } else if (listDown_) {
    RestartTimer();
  } else if (searchAtOnce) {
    PutInDisplayOrder();
    SearchNow();
    if (autoDropDown_) DropDown();
  }
  dropDownPending_ = false;
  if (Modified() && Field()) DataLink()->Modified();
  return false;
}

// A character handed over by a hosting grid comes without its key's press and
// release (the grid had them): it is typed here, and what its release would
// start runs at once. A release that reaches the combo after all finds the
// text already searched.
void TwwDBCustomLookupCombo::TypeHandedChar(TMessage& message) {
  TwwDBCustomCombo::Dispatch(message);
  if (message.Result != 0) return;  // refused by the key-press checks
  message.Result = 1;
  const char32_t ch = char32_t(message.WParam);
  // A closed drop-down list or a read-only combo takes no text; nor is a
  // control character text.
  if (!CanEditText() || (ch != 8 && ch < 32)) return;
  if (ch == 8) ClearSelection();
  else SetSelText(Utf8Encode(ch));
  ForgetLastSearch(ch == 8);
  AfterEditKey(ch == 8);
}

void TwwDBCustomLookupCombo::TypeKey(char32_t& key) {
  if (key == U'\r' || key == U'\t') {
    key = 0;
    return;
  }
  if (key == 27) {
    if (listDown_) CloseUp(false);
    RestoreSaved();
    SelectAll();
    key = 0;
    return;
  }
  if (IsLookupDataField() && (key >= 32 || key == 8)) {
    TypeIntoLookupField(key);
    return;
  }
  const bool plainTyping = !listDown_ && !autoDropDown_ && !showMatchText_;
  if (key >= 32 && plainTyping && TypingAllowed() && Field() && !Field()->IsValidChar(key)) {
    MessageBeep(0);
    key = 0;
    return;
  }
  TwwDBCustomCombo::TypeKey(key);
}

// The text is typed into while the field link edits, and for a lookup field
// while its dataset edits (the link never edits a lookup field itself).
void TwwDBCustomLookupCombo::RefreshReadOnly() {
  bool editing = !Bound() ? !ReadOnly() : DataLink()->Editing();
  if (Bound() && IsLookupDataField() && !ReadOnly()) {
    const TDataSetState state = Field()->DataSet()->State();
    editing = state == dsEdit || state == dsInsert;
  }
  TCustomEdit::SetReadOnly(!editing);
}

// A lookup field is never edited itself: typing changes its keys, so its
// dataset goes into edit instead.
bool TwwDBCustomLookupCombo::BeginLookupFieldTyping() {
  if (!TypingAllowed()) return false;
  TDataSet* data = Field()->DataSet();
  KeepingSelection([data] {
    data->Edit();
    return true;
  });
  RefreshReadOnly();
  return true;
}

void TwwDBCustomLookupCombo::TypeIntoLookupField(char32_t& key) {
  if (!BeginLookupFieldTyping()) {
    key = 0;
    return;
  }
  TwwCustomMaskEdit::TypeKey(key);
  if (key != 0) MarkModified();
}

void TwwDBCustomLookupCombo::DoExit() {
  if (listDown_) CloseUp(true);
  else if (OnNotInList && EditText() != savedText_) CheckNotInList();
  TwwDBCustomCombo::DoExit();
  if (!CanEditText()) {
    SetSelStart(0);
    Invalidate();
  }
}

void TwwDBCustomLookupCombo::Notification(TComponent* component, TOperation operation) {
  TwwDBCustomCombo::Notification(component, operation);
  if (operation == opRemove && component == LookupTable()) searchFound_ = false;
}
