// The published grid's embedded controls: an edit, combo or lookup combo named
// in the field's ControlType entry sits over the current cell instead of the
// in-place editor, bound to the same field; rich-text columns show their plain
// text and hand F2 to their rich edit. The controls stay their form's; the
// grid only places, shows and hides them. Any edit found by name will do.
#include <algorithm>

#include "datactrls/edits/wwdbcomb.h"
#include "datactrls/edits/wwdbedit.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwfieldcheck.h"
#include "datactrls/wwfieldsettings.h"
#include "datactrls/wwstr.h"
#include "datactrls/wwwindow.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/streams.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/richedit/richedit.h"

namespace {

// The application's kind numbers for SetControlType and the entry each writes.
struct ControlKind {
  int kind;
  const char* type;
  bool namesControl;
};
constexpr ControlKind kControlKinds[] = {
    {2, "CheckBox", false}, {3, "CustomEdit", true}, {4, "Bitmap", false},
    {5, "CustomEdit", true}, {6, "CustomEdit", true}, {7, "RichEdit", true},
};

bool IsRichEditType(const std::string& type) { return wwSameText(type, "RichEdit"); }

// Sets a published property when the control has it: controls of any kind
// may be named, and what one lacks is simply not set.
void SetIfPublished(TObject* control, const char* name, const TPropValue& value) {
  if (IsPublishedProp(control, name)) SetPropValue(control, name, value);
}

void SetObjectIfPublished(TObject* control, const char* name, TObject* value) {
  if (IsPublishedProp(control, name) && PropType(control, name) == tkClass)
    SetObjectProp(control, name, value);
}

bool OnRecordView(TComponent* control) {
  const auto* form = dynamic_cast<TWinControl*>(control);
  const TCustomForm* parent = form ? ::GetParentForm(form) : nullptr;
  return parent && parent->ClassNameIs("TwwRecordViewForm");
}

}  // namespace

// ---- Finding the controls --------------------------------------------------------

// Plain names are looked up on the form the grid belongs to: by ownership
// unless the owner asked for the window's form.
TComponent* TwwDBGrid::SearchForm() const {
  if (!editControlOptions_.Contains(ecoSearchOwnerForm)) return GetParentForm();
  TComponent* last = const_cast<TwwDBGrid*>(this);
  for (TComponent* c = Owner(); c; c = c->Owner()) {
    if (c->InheritsFrom("TCustomForm")) return c;
    last = c;
  }
  return last;
}

TCustomEdit* TwwDBGrid::FindEditControl(const std::string& name) const {
  if (name.empty()) return nullptr;
  TComponent* found = nullptr;
  if (const size_t dot = name.find('.'); dot != std::string::npos) {
    // Another form's control: that form owns the dataset the grid shows.
    TDataSet* ds = DataSource() ? DataSource()->DataSet() : nullptr;
    if (ds && ds->Owner()) found = ds->Owner()->FindComponent(name.substr(dot + 1));
  } else if (TComponent* form = SearchForm()) {
    found = form->FindComponent(name);
  }
  return dynamic_cast<TCustomEdit*>(found);
}

TCustomEdit* TwwDBGrid::CellControl(int ACol, int ARow) const {
  if (ARow < TitleOffset() || ACol < IndicatorOffset()) return nullptr;
  TField* field = GetField(DataColumn(ACol));
  return field ? ControlOf(field) : nullptr;
}

TCustomEdit* TwwDBGrid::ControlOf(TField* field) const {
  const TwwControlTypeSetting setting = wwGetControlType(field->DataSet(), field->FieldName());
  if (!wwIsControlBearingType(setting.TypeName)) return nullptr;
  TCustomEdit* control = FindEditControl(setting.Parameter);
  return control && !OnRecordView(control) ? control : nullptr;
}

TCustomEdit* TwwDBGrid::RichEditOf(TField* field) const {
  if (!field) return nullptr;
  const TwwControlTypeSetting setting = wwGetControlType(field->DataSet(), field->FieldName());
  return IsRichEditType(setting.TypeName) ? FindEditControl(setting.Parameter) : nullptr;
}

bool TwwDBGrid::IsEditable() const { return Options().Contains(dgEditing) && !ReadOnly(); }

// ---- Making them ready -------------------------------------------------------------

// Bound to the grid's field and without a frame, so that it looks like the
// cell; while being prepared it is also hidden and takes the grid's font.
void TwwDBGrid::MakeReady(TCustomEdit* control, const std::string& fieldName, bool preparing) {
  if (preparing) {
    control->Hide();
    control->Font()->Assign(Font());
  }
  TObject* bound = IsPublishedProp(control, "DataSource") ? GetObjectProp(control, "DataSource") : nullptr;
  if (bound != DataSource()) SetObjectIfPublished(control, "DataSource", DataSource());
  if (IsPublishedProp(control, "DataField") && !wwSameText(GetStrProp(control, "DataField"), fieldName))
    SetStrProp(control, "DataField", fieldName);
  SetIfPublished(control, "Ctl3D", TPropValue(false));
  control->SetBorderStyle(bsNone);
}

void TwwDBGrid::PrepareEditControls() {
  editControlsPrepared_ = true;
  TStrings* entries = DataSource() ? wwGetControlTypeList(DataSource()->DataSet()) : nullptr;
  if (!entries || ComponentState().Contains(csDesigning)) return;
  for (int i = 0; i < entries->Count(); ++i) {
    const std::vector<std::string> parts = wwSplitPieces(entries->Strings(i), ";");
    if (parts.size() < 3) continue;
    if (!wwIsControlBearingType(parts[1]) && !IsRichEditType(parts[1])) continue;
    TCustomEdit* control = FindEditControl(parts[2]);
    if (!control) continue;
    MakeReady(control, parts[0], true);
  }
}

void TwwDBGrid::SetControlType(const std::string& FieldName, int Kind, const std::string& ControlName) {
  TDataSet* ds = DataSource() ? DataSource()->DataSet() : nullptr;
  const auto* kind = std::find_if(std::begin(kControlKinds), std::end(kControlKinds),
                                  [&](const ControlKind& k) { return k.kind == Kind; });
  const bool known = kind != std::end(kControlKinds);
  // An unknown kind writes an empty type, which removes the entry; the
  // parameter is the control's name, or the values of the other kinds.
  wwSetControlType(ds, FieldName, known ? kind->type : "", known ? ControlName : "");
  if (!known || !kind->namesControl) return;
  if (TCustomEdit* control = FindEditControl(ControlName)) {
    MakeReady(control, FieldName, true);
    control->SetParent(this);
  }
}

// ---- Column entry and exit ------------------------------------------------------------

void TwwDBGrid::ColEnter() {
  TField* field = GetSelectedField();
  TCustomEdit* control = CellControl(Col(), Row());
  if (control && field && IsEditable()) {
    MakeReady(control, field->FieldName(), false);
    control->SetParent(this);
  }
  TwwCustomDBGrid::ColEnter();
}

void TwwDBGrid::ColExit() {
  TwwCustomDBGrid::ColExit();
  if (!embedded_ || ComponentState().Contains(csDesigning)) return;
  const TCustomForm* form = GetParentForm();
  const TWinControl* active = form ? form->ActiveControl() : nullptr;
  if (active == this || active == embedded_) HideCellWindow(embedded_);
}

void TwwDBGrid::HideControlEditor() {
  if (!embedded_ || !embedded_->Visible() || embedded_->Parent() != this) return;
  HideCellWindow(embedded_);
}

void TwwDBGrid::UpdateRecordData() {
  TwwCustomDBGrid::UpdateRecordData();
  // The control writes its own text when it is told it is left.
  if (embedded_ && embedded_->Visible()) embedded_->Perform(CM_EXIT);
}

bool TwwDBGrid::CanEditShow() {
  TInplaceEdit* editor = InplaceEditor();
  if (Options().Contains(dgAlwaysShowEditor) && !Focused() && editor && !editor->Focused()) return false;
  return TwwCustomDBGrid::CanEditShow();
}

void TwwDBGrid::Notification(TComponent* AComponent, TOperation Operation) {
  TwwCustomDBGrid::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == embedded_) embedded_ = nullptr;
  if (AComponent == richReader_) richReader_ = nullptr;
}

// ---- Placing the control --------------------------------------------------------------

namespace {
// Posted by a paint that found the current cell's control away from the cell
// (clear of the base grid's own message).
constexpr UINT kPlaceControl = WM_USER + 0x1F2;
}  // namespace

bool TwwDBGrid::PaintControlCell(int ACol, int ARow, const TRect& r, TGridDrawState state) {
  if (paintingControl_) return true;
  if (!IsEditable() || ACol != Col() || ARow != Row() || !DataLink()->Active()) return false;
  TCustomEdit* control = CellControl(ACol, ARow);
  if (!control || ComponentState().Contains(csDesigning)) return false;
  if (control != embedded_) {
    if (embedded_) embedded_->RemoveFreeNotification(this);
    control->FreeNotification(this);
  }
  embedded_ = control;
  if (!state.Contains(gdSelected)) return false;
  // A window moved or shown while its parent paints is not painted where it
  // went (the cell stayed blank): the control is placed from the queue, and
  // until then the grid paints the cell itself.
  const bool inPlace = control->Parent() == this && control->Visible() && control->BoundsRect() == r;
  const TCustomForm* form = GetParentForm();
  const TWinControl* active = form ? form->ActiveControl() : nullptr;
  if (control->Parent() == this && active == control) {
    // The user is typing in it: it only follows the cell.
    if (!inPlace) PlaceControlSoon();
    return true;
  }
  if (IsCellHighlighted(DataColumn(ACol), DataRow(ARow), state) && active == this) {
    if (inPlace && control->Text() == CellText(GetField(DataColumn(ACol)))) return true;
    PlaceControlSoon();
    return false;
  }
  return inPlace;
}

void TwwDBGrid::PlaceControlSoon() {
  if (placePosted_) return;
  placePosted_ = true;
  PostMessage(this, kPlaceControl);
}

void TwwDBGrid::Dispatch(TMessage& message) {
  if (message.Msg != kPlaceControl) {
    TwwCustomDBGrid::Dispatch(message);
    return;
  }
  placePosted_ = false;
  PlaceControl();
}

// What a paint asked for, if the cell is still the current one with that control.
void TwwDBGrid::PlaceControl() {
  if (!embedded_ || !IsEditable() || !DataLink()->Active() || embedded_ != CellControl(Col(), Row()))
    return;
  const TRect r = CellRect(Col(), Row());
  if (IsRectEmpty(r)) return;
  TCustomEdit* control = embedded_;
  const TCustomForm* form = GetParentForm();
  const TWinControl* active = form ? form->ActiveControl() : nullptr;
  const bool wasPainting = paintingControl_;
  paintingControl_ = true;
  struct Restore {
    bool& flag;
    bool value;
    ~Restore() { flag = value; }
  } restore{paintingControl_, wasPainting};
  if (control->Parent() == this && active == control) {
    if (control->BoundsRect() != r) control->SetBoundsRect(r);
    return;
  }
  if (active != this) return;
  const std::string text = CellText(GetField(DataColumn(Col())));
  if (control->Text() != text) {
    control->SetText(text);
    control->SetModified(false);
  }
  if (control->BoundsRect() != r) control->SetBoundsRect(r);
  control->SetParent(this);
  if (control->Visible()) control->BringToFront();
  else control->Show();
  if (Options().Contains(dgAlwaysShowEditor)) {
    control->SetFocus();
    control->SelectAll();
  }
}

void TwwDBGrid::DropStaleControl() {
  if (!embedded_ || !embedded_->Visible() || !DataLink()->Active()) return;
  const std::string field = IsPublishedProp(embedded_, "DataField") ? GetStrProp(embedded_, "DataField") : "";
  TDataSet* ds = DataSource()->DataSet();
  bool column = false;
  if (UseTFields()) {
    TField* f = ds->FindField(field);
    column = f && f->Visible();
  } else {
    int index = -1;
    column = wwFindSelectedEntry(Selected(), field, index);
  }
  if (!column) HideCellWindow(embedded_);
}

void TwwDBGrid::TopLeftChanged() {
  if (embedded_ && embedded_->Focused() && CanFocus()) SetFocus();
  TwwCustomDBGrid::TopLeftChanged();
  if (!embedded_ || !embedded_->Visible()) return;
  const TRect r = CellRect(Col(), Row());
  if (IsRectEmpty(r)) embedded_->Hide();
  else embedded_->SetBoundsRect(r);
}

// ---- Keys ---------------------------------------------------------------------------------

// The character goes to the control as if typed there, over all its text.
void TwwDBGrid::HandCharTo(TCustomEdit* control, char32_t ch) {
  control->SetFocus();
  control->SelectAll();
  if (control->Perform(CN_CHAR, ch) != 0) return;  // the control took it itself
  if (ch == 8) control->ClearSelection();
  else control->SetSelText(Utf8Encode(ch));
}

void TwwDBGrid::KeyPress(char32_t& Key) {
  TField* field = GetSelectedField();
  const bool special = field && (field->IsBlob() || IsControlTypeCell(Col(), Row()));
  if (special && IsEditable() && (Key == 8 || Key >= 32) && embedded_ && embedded_->Visible() &&
      embedded_ == CellControl(Col(), Row())) {
    HandCharTo(embedded_, Key);
    Key = 0;
    return;
  }
  TwwCustomDBGrid::KeyPress(Key);
}

bool TwwDBGrid::ControlKeyDown(WORD& Key, TShiftState Shift, bool afterGrid) {
  if (!DataLink()->Active() || Key == 0) return false;
  TCustomEdit* control = CellControl(Col(), Row());
  const bool shown = control && control->Visible();
  if (afterGrid) {
    // Typing starts in the control; the character follows through KeyPress.
    if (shown && !Shift.Contains(ssCtrl) && !Shift.Contains(ssAlt) && wwIsEditKey(Key) &&
        control->InheritsFrom("TwwDBCustomEdit"))
      control->SetFocus();
    return false;
  }
  if (Key == VK_DOWN && Shift == TShiftState{ssAlt} && shown) {
    control->SetFocus();
    wwSimulateKey(control, VK_DOWN, VK_MENU);
    return true;
  }
  const bool rich = RichEditOf(GetSelectedField()) != nullptr;
  if (Key != VK_F2 || Shift.Contains(ssCtrl) || (!shown && !rich)) return false;
  // The grid's own F2 would open an editor these cells never show.
  TCustomControl::KeyDown(Key, Shift);
  if (Key == 0) return true;
  if (OpenRichEdit()) InvalidateCell(Col(), Row());
  else control->SetFocus();
  return true;
}

bool TwwDBGrid::OpenRichEdit() {
  TCustomEdit* rich = DataLink()->Active() ? RichEditOf(GetSelectedField()) : nullptr;
  // As a key typed there: the rich edit's own key handling opens its editor.
  if (rich) rich->Perform(CN_KEYDOWN, VK_F2);
  return rich != nullptr;
}

// ---- Rich-text cells ---------------------------------------------------------------------

// The combo is looked up once per field in a paint pass: every cell of the
// column asks, and a form's components are many. Outside a paint nothing is
// kept, so a control renamed, rebound or freed is never used stale.
const TwwDBComboBox* TwwDBGrid::MapListOf(TField* field) {
  if (painting_) {
    if (const auto known = mapLists_.find(field); known != mapLists_.end()) return known->second;
  }
  const auto* combo = dynamic_cast<const TwwDBComboBox*>(ControlOf(field));
  if (combo && !combo->MapList()) combo = nullptr;
  if (painting_) mapLists_.emplace(field, combo);
  return combo;
}

std::string TwwDBGrid::CellText(TField* field) {
  // A map-list combo's column shows what the combo shows: the display text
  // of the stored value (empty for a value it does not list).
  if (!field->IsBlob()) {
    const TwwDBComboBox* combo = MapListOf(field);
    return combo ? combo->StoredToDisplay(field->Text()) : TwwCustomDBGrid::CellText(field);
  }
  // Rich text lives in memo fields; other cells need no look at the entries.
  if (!IsRichEditType(wwGetControlType(field->DataSet(), field->FieldName()).TypeName))
    return TwwCustomDBGrid::CellText(field);
  // One hidden rich edit reads every cell; loading replaces what it held.
  if (!richReader_) {
    auto* reader = new TRichEdit(this);
    reader->Hide();
    reader->SetParent(this);
    reader->FreeNotification(this);
    richReader_ = reader;
  }
  TStringStream stream(field->AsString());
  static_cast<TRichEdit*>(richReader_)->Lines()->LoadFromStream(&stream);
  return richReader_->Text();
}

// ---- Loading -------------------------------------------------------------------------

void TwwDBGrid::Loaded() {
  TwwCustomDBGrid::Loaded();
  if (editControlsPrepared_) return;
  PrepareEditControls();
  RebuildLayout();
}
