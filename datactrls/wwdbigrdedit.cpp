// The data grid's in-place editor and the grid's side of cell editing: the
// field decides the editor's mask, limit and acceptable characters, and a
// column is left only with text that passes the field's picture mask.
#include "datactrls/wwdbigrdedit.h"

#include <algorithm>

#include "datactrls/wwfieldsettings.h"
#include "datactrls/wwpicture.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"
#include "platform/win32/msgbox.h"

IMPLEMENT_CLASS(TwwInplaceEdit, TInplaceEdit)

namespace {

int Length(const std::string& text) { return int(Utf8Length(text)); }

// The text a Backspace leaves: the selection goes, or else the character
// before the caret.
std::string AfterBackspace(const std::string& text, int start, int end) {
  if (start == end) start = std::max(0, start - 1);
  std::string after = text;
  Utf8Delete(after, start + 1, end - start);
  return after;
}

}  // namespace

// ---- The editor ---------------------------------------------------------------------

TwwInplaceEdit::TwwInplaceEdit(TwwCustomDBGrid* grid)
    : TInplaceEdit(grid),
      wwGrid_(grid),
      picture_(std::make_unique<TwwDBPicture>(nullptr)),
      wordWrap_(grid->Options().Contains(dgWordWrap)) {}

TwwInplaceEdit::~TwwInplaceEdit() = default;

bool TwwInplaceEdit::HasActiveMask() const {
  return usePictureMask_ && !picture_->PictureMask().empty();
}

void TwwInplaceEdit::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  if (HandleAllocated()) RecreateWnd();
}

void TwwInplaceEdit::FillCreateParams(TCreateParams& params) {
  TInplaceEdit::FillCreateParams(params);
  // The cell ends an entry: Enter never makes a new line, and the text never
  // scrolls out of a cell that cannot show it.
  params.Style &= ~(ES_WANTRETURN | ES_AUTOVSCROLL);
  if (wordWrap_ || BorderStyle() == bsNone) params.Style |= ES_MULTILINE;
  if (wordWrap_) {
    params.Style |= ES_AUTOVSCROLL;
    params.Style &= ~ES_AUTOHSCROLL;
  }
}

// Text starts two pixels in from a borderless cell edge, as the grid paints it.
void TwwInplaceEdit::SetFormatRect() {
  if (!HandleAllocated()) return;
  const int inset = BorderStyle() == bsNone ? 2 : 0;
  TRect r{inset, inset, ClientWidth() - 1, ClientHeight()};
  Perform(EM_SETRECTNP, 0, LPARAM(&r));
}

void TwwInplaceEdit::LoadPictureSettings() {
  TField* field = wwGrid_->GetSelectedField();
  TDataSet* ds = wwGrid_->DataSource() ? wwGrid_->DataSource()->DataSet() : nullptr;
  if (!ds || !field) return;
  const TwwPictureMaskSetting setting = wwGetPictureMask(ds, field->FieldName(), false);
  usePictureMask_ = setting.UseMask;
  picture_->SetAutoFill(setting.AutoFill);
  picture_->SetPictureMask(setting.Mask);
  picture_->SetAllowInvalidExit(false);
  // Composed input would reach the text past the mask check.
  SetInputMethods(!HasActiveMask());
}

bool TwwInplaceEdit::IsValidPictureText(const std::string& text) {
  bool valid = true;
  if (!text.empty() && HasActiveMask()) {
    TwwPictureValidator validator(picture_->PictureMask(), picture_->AutoFill());
    std::string copy = text;
    valid = validator.MatchPicture(copy, false) == pmComplete;
  }
  if (wwGrid_->OnCheckValue) wwGrid_->OnCheckValue(wwGrid_, valid);
  return valid;
}

void TwwInplaceEdit::DoEnter() {
  TInplaceEdit::DoEnter();
  LoadPictureSettings();
  if (TField* field = wwGrid_->GetSelectedField()) IsValidPictureText(field->Text());
}

bool TwwInplaceEdit::EnterIsTab() const {
  return wwGrid_->KeyOptions().Contains(dgEnterToTab);
}

void TwwInplaceEdit::KeyDown(WORD& Key, TShiftState Shift) {
  try {
    // Enter as Tab, record deletion and Escape (which may ask about the whole
    // record) are the grid's.
    const bool toGrid = (Key == VK_RETURN && EnterIsTab()) ||
                        (Key == VK_DELETE && Shift.Contains(ssCtrl)) || Key == VK_ESCAPE;
    if (!toGrid) {
      TInplaceEdit::KeyDown(Key, Shift);
      return;
    }
    WORD key = Key;
    Key = 0;
    wwGrid_->KeyDown(key, Shift);
    // An Escape the grid leaves (nothing to give up) goes on to the form.
    if (key == VK_ESCAPE) Key = key;
  } catch (...) {
    // A refused move (text that fails its mask) is reported here, so the
    // key is not typed into the text as well.
    Key = 0;
    Application->HandleException(this);
  }
}

void TwwInplaceEdit::KeyUp(WORD& Key, TShiftState Shift) {
  if (Key == VK_RETURN && EnterIsTab()) Key = VK_TAB;
  TInplaceEdit::KeyUp(Key, Shift);
  if (Key == VK_DELETE && wwGrid_->OnCheckValue && HasActiveMask()) IsValidPictureText(Text());
}

void TwwInplaceEdit::KeyPress(char32_t& Key) {
  if (Key == U'\r' && EnterIsTab()) Key = U'\t';
  // The class library's checks first: may the record change, may the field
  // take the character.
  TInplaceEdit::KeyPress(Key);
  if (Key == 0 || !HasActiveMask()) return;
  if (Key == 8) {
    if (!wwGrid_->OnCheckValue) return;
    int start, end;
    SelStartEnd(start, end);
    IsValidPictureText(AfterBackspace(Text(), start, end));
    return;
  }
  // DEL arrives as a character with the Delete key; the key-up checks it.
  if (Key < 32 || Key == 0x7F) return;
  bool passes = true;
  if (PictureTyped(Key, passes)) Key = 0;
  if (wwGrid_->OnCheckValue) wwGrid_->OnCheckValue(wwGrid_, passes);
}

bool TwwInplaceEdit::PictureTyped(char32_t key, bool& passes) {
  int start, end;
  SelStartEnd(start, end);
  const std::string old = Text();
  const int oldLength = Length(old);
  const bool wholeSelected = start == 0 && end == oldLength;
  std::string typed;
  Utf8Append(typed, key);
  std::string text = TextWithSelectionReplaced(typed);
  TwwPictureValidator validator(picture_->PictureMask(), picture_->AutoFill());
  const TwwPicResult result = validator.MatchPicture(text, picture_->AutoFill());
  const int growth = Length(text) - oldLength;
  switch (result) {
    case pmComplete: {
      const int step = growth <= 0 ? 1 : growth;
      PutText(text, wholeSelected ? Length(text) : start + step);
      return true;
    }
    case pmIncomplete:
      passes = false;
      PutText(text, wholeSelected ? Length(text) : start + growth);
      return true;
    case pmError:
      passes = false;
      // Inside the text the character may still be fixed by what follows; at
      // the end it can only be wrong.
      if (end < oldLength) return false;
      MessageBeep(0);
      return true;
    default:
      return false;
  }
}

void TwwInplaceEdit::PutText(const std::string& text, int caret) {
  // Setting the text is a change: the grid takes it as its edit text.
  SetText(text);
  caret = std::clamp(caret, 0, Length(text));
  SetSelection(caret, caret);
}

void TwwInplaceEdit::Dispatch(TMessage& message) {
  if (message.Msg == WM_PASTE && wwGrid_->DataLink()->Active()) {
    // A paste changes the record as typing does.
    if (!wwGrid_->CanEditModify()) return;
  }
  TInplaceEdit::Dispatch(message);
  if (message.Msg == CM_FONTCHANGED) SetFormatRect();
}

// ---- The grid's editing hooks ---------------------------------------------------------

TwwInplaceEdit* TwwCustomDBGrid::WwInplaceEditor() const {
  return dynamic_cast<TwwInplaceEdit*>(InplaceEditor());
}

TInplaceEdit* TwwCustomDBGrid::CreateEditor() { return new TwwInplaceEdit(this); }

std::string TwwCustomDBGrid::GetEditMask(int ACol, int ARow) {
  (void)ARow;
  TField* field = GetField(DataColumn(ACol));
  return field ? field->EditMask() : std::string();
}

int TwwCustomDBGrid::GetEditLimit() {
  TField* field = GetSelectedField();
  return field && field->InheritsFrom("TStringField") ? field->Size() : 0;
}

bool TwwCustomDBGrid::CanEditAcceptKey(char32_t Key) {
  TField* field = GetSelectedField();
  // Control characters (Backspace) edit the text; they are no part of the value.
  return field && (Key < 32 || field->IsValidChar(Key));
}

void TwwCustomDBGrid::UpdateRecordData() { dataLink_->UpdateRecord(); }

void TwwCustomDBGrid::ColEnter() {
  if (OnColEnter) OnColEnter(this);
}

std::string TwwCustomDBGrid::CellText(TField* field) { return field->DisplayText(); }

void TwwCustomDBGrid::ColExit() {
  if (OnColExit) OnColExit(this);
}

bool TwwCustomDBGrid::CheckEditorMask() {
  TwwInplaceEdit* editor = WwInplaceEditor();
  if (!editor || !editor->HasActiveMask() || !dataLink_->Modified() ||
      editor->Picture()->AllowInvalidExit() || editor->IsValidPictureText(editor->Text()))
    return true;
  // The user stays on the text to mend it or to press Escape.
  editor->SelectAll();
  if (editor->CanFocus()) editor->SetFocus();
  dataLink_->SetModified();
  TDataSet* ds = dataLink_->DataSet();
  if (TwwInvalidValueEvent handler = wwGetOnInvalidValue(ds)) {
    handler(ds, GetSelectedField());
    return false;
  }
  MessageBeep(0);
  throw EInvalidOperation("Invalid input value.  Use escape key to abandon changes");
}

void TwwCustomDBGrid::RecheckEditorMask() {
  TwwInplaceEdit* editor = WwInplaceEditor();
  if (OnCheckValue && editor) editor->IsValidPictureText(editor->Text());
}
