#include "datactrls/edits/wwdbedit.h"

#include <algorithm>
#include <utility>

#include "datactrls/wwfieldsettings.h"
#include "datactrls/wwpicture.h"
#include "datactrls/wwtextcheck.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/clock.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/graphics/graphics.h"
#include "platform/win32/msgbox.h"

IMPLEMENT_CLASS(TwwDBPicture, TPersistent)
IMPLEMENT_CLASS(TwwCustomMaskEdit, TCustomMaskEdit)
IMPLEMENT_CLASS(TwwDBCustomEdit, TwwCustomMaskEdit)
IMPLEMENT_CLASS(TwwDBEdit, TwwDBCustomEdit)

PUBLISHED(TwwDBPicture) {
  PROP_STR(PictureMask, PictureMask, SetPictureMask, "");
  PROP_BOOL(AutoFill, AutoFill, SetAutoFill, true);
  PROP_BOOL(AllowInvalidExit, AllowInvalidExit, SetAllowInvalidExit, false);
}

PUBLISHED(TwwDBCustomEdit) {
  PROP_BOOL(AutoFillDate, AutoFillDate, SetAutoFillDate, true);
  PROP_STR(DataField, DataField, SetDataField, "");
  PROP_OBJ(DataSource, DataSource, SetDataSource);
  // A bound edit's picture lives in the dataset's PictureMasks.
  PROP_OBJ(Picture, Picture, SetPicture).Stored(&Class::IsPictureStored);
  PROP_BOOL(ReadOnly, ReadOnly, SetReadOnly, false);
  PROP_ENUM(UnboundDataType, UnboundDataType, SetUnboundDataType, wwDefault);
  PROP_BOOL(UsePictureMask, UsePictureMask, SetUsePictureMask, true);
  PROP_EVENT(OnCheckValue);
}

PUBLISHED(TwwDBEdit) {
  PROP_BOOL(ShowVertScrollBar, ShowVertScrollBar, SetShowVertScrollBar, false);
  PROP_BOOL(WantReturns, WantReturns, SetWantReturns, false);
  PROP_BOOL(WordWrap, WordWrap, SetWordWrap, false);
}

namespace {

// Posted to an edit whose exit check failed or whose text its field refused:
// the focus comes back once whatever took it is done with it (an exit takes
// it back at once only for a refusal, see DoExit), and a refusal is told then.
constexpr UINT CM_WWFOCUSBACK = WM_USER + 0x2E0;

bool IsDateTimeType(TFieldType t) { return t == ftDate || t == ftTime || t == ftDateTime; }

std::string TwoDigits(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

bool EndsWith(const std::string& s, char c) { return !s.empty() && s.back() == c; }

enum class DatePart { Day, Month, Year };

// The date part that comes `index`-th (0..2) in the locale's order.
DatePart PartInOrder(int order, int index) {
  static constexpr DatePart kOrders[3][3] = {{DatePart::Month, DatePart::Day, DatePart::Year},
                                             {DatePart::Day, DatePart::Month, DatePart::Year},
                                             {DatePart::Year, DatePart::Month, DatePart::Day}};
  return kOrders[order][std::clamp(index, 0, 2)];
}

std::string DatePartText(DatePart part, TDateTime now, const TFormatSettings& fs) {
  std::uint16_t y, m, d;
  DecodeDate(now, y, m, d);
  const std::string fmt = LowerCase(fs.ShortDateFormat);
  switch (part) {
    case DatePart::Day: return fmt.find("dd") != std::string::npos ? TwoDigits(d) : std::to_string(d);
    case DatePart::Month:
      return fmt.find("mm") != std::string::npos ? TwoDigits(m) : std::to_string(m);
    case DatePart::Year:
      return fmt.find("yyyy") != std::string::npos ? std::to_string(y) : TwoDigits(y % 100);
  }
  return {};
}

// One step of the time: hour, minutes, seconds, then AM/PM. `time` is the
// time part of the text; the result is what it becomes.
std::string CompleteTime(const std::string& time, TDateTime now, const TFormatSettings& fs) {
  const bool twelveHour = !fs.TimeAMString.empty();
  const auto has = [&](const std::string& w) { return !w.empty() && time.find(w) != std::string::npos; };
  const int seps = int(std::count(time.begin(), time.end(), fs.TimeSeparator));
  // A complete time takes nothing more.
  if (has(fs.TimeAMString) || has(fs.TimePMString) || (!twelveHour && seps >= 2 && !EndsWith(time, fs.TimeSeparator)))
    return time;
  std::uint16_t h, mi, s, ms;
  DecodeTime(now, h, mi, s, ms);
  if (time.empty()) {
    const int shown = twelveHour ? (h % 12 == 0 ? 12 : h % 12) : h;
    return std::to_string(shown) + fs.TimeSeparator;
  }
  if (!EndsWith(time, fs.TimeSeparator)) {
    if (seps < 2) return time + fs.TimeSeparator;
    return time + " " + (h < 12 ? fs.TimeAMString : fs.TimePMString);
  }
  if (seps == 1) return time + TwoDigits(mi) + fs.TimeSeparator;
  return time + TwoDigits(s);
}

}  // namespace

std::string wwCompleteDateTimeText(const std::string& text, TFieldType type, TDateTime now,
                                   const TFormatSettings& fs) {
  if (type == ftTime) return CompleteTime(text, now, fs);
  const char sep = fs.DateSeparator;
  const std::size_t blank = text.find(' ');
  const std::string date = text.substr(0, blank);
  const int seps = int(std::count(date.begin(), date.end(), sep));
  const bool dateComplete = seps >= 2 && !EndsWith(date, sep);
  if (!dateComplete) {
    if (!date.empty() && !EndsWith(date, sep)) return text + sep;
    std::string out = text + DatePartText(PartInOrder(wwGetDateOrder(fs.ShortDateFormat), seps), now, fs);
    if (seps < 2) out += sep;
    return out;
  }
  if (type != ftDateTime) return text;
  // Before the hour of a date-time: a blank first.
  if (blank == std::string::npos) return text + " ";
  return date + " " + CompleteTime(text.substr(blank + 1), now, fs);
}

// ---- TwwDBPicture -------------------------------------------------------------

TDataSet* TwwDBPicture::BoundDataSet(std::string& fieldName) const {
  auto* edit = dynamic_cast<TwwDBCustomEdit*>(owner_);
  if (!edit || !edit->DataSource() || !edit->DataSource()->DataSet() || edit->DataField().empty())
    return nullptr;
  fieldName = edit->DataField();
  return edit->DataSource()->DataSet();
}

std::string TwwDBPicture::PictureMask() const {
  std::string name;
  if (TDataSet* ds = BoundDataSet(name)) return wwGetPictureMask(ds, name, false).Mask;
  return mask_;
}

void TwwDBPicture::SetPictureMask(const std::string& value) {
  std::string name;
  TDataSet* ds = BoundDataSet(name);
  if (!ds) {
    mask_ = value;
    return;
  }
  if (!wwGetTablePicture(ds, name).empty()) {
    MessageDlg("Picture mask already defined in Paradox table. ", mtWarning, {mbOK}, 0);
    return;
  }
  const TwwPictureMaskSetting s = wwGetPictureMask(ds, name, false);
  wwSetPictureMask(ds, name, value, s.AutoFill, s.UseMask);
}

bool TwwDBPicture::AutoFill() const {
  std::string name;
  if (TDataSet* ds = BoundDataSet(name)) return wwGetPictureMask(ds, name, false).AutoFill;
  return autoFill_;
}

void TwwDBPicture::SetAutoFill(bool value) {
  std::string name;
  TDataSet* ds = BoundDataSet(name);
  if (!ds) {
    autoFill_ = value;
    return;
  }
  const TwwPictureMaskSetting s = wwGetPictureMask(ds, name, false);
  wwSetPictureMask(ds, name, s.Mask, value, s.UseMask, false, true);
}

bool TwwDBPicture::AllowInvalidExit() const {
  std::string name;
  return BoundDataSet(name) ? false : allowInvalidExit_;
}

void TwwDBPicture::SetAllowInvalidExit(bool value) {
  std::string name;
  if (!BoundDataSet(name)) allowInvalidExit_ = value;
}

void TwwDBPicture::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TwwDBPicture*>(source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  SetPictureMask(other->PictureMask());
  SetAutoFill(other->AutoFill());
}

// ---- TwwCustomMaskEdit ------------------------------------------------------------

TwwCustomMaskEdit::TwwCustomMaskEdit(TComponent* owner)
    : TCustomMaskEdit(owner), picture_(std::make_unique<TwwDBPicture>(this)) {
  SetWordWrapStyle(false);
  SetWantReturnsStyle(false);
}

TwwCustomMaskEdit::~TwwCustomMaskEdit() = default;

void TwwCustomMaskEdit::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  SetWordWrapStyle(value);
  if (HandleAllocated()) RecreateWnd();
}

void TwwCustomMaskEdit::SetEditRect() {
  if (!HandleAllocated()) return;
  const int margin = BorderStyle() == bsNone ? 2 : 0;
  TRect r = ClientRect();
  r = TRect{margin, margin, r.Right - 1, r.Bottom + 1};
  Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
}

void TwwCustomMaskEdit::CheckValue(bool passesPictureTest) {
  if (OnCheckValue) OnCheckValue(this, passesPictureTest);
}

void TwwCustomMaskEdit::Resize() {
  TCustomMaskEdit::Resize();
  SetEditRect();
}

void TwwCustomMaskEdit::CreateWnd() {
  TCustomMaskEdit::CreateWnd();
  SetEditRect();
}

// ---- TwwDBCustomEdit: data link --------------------------------------------------

TwwDBCustomEdit::TwwDBCustomEdit(TComponent* owner)
    : TwwCustomMaskEdit(owner), link_(std::make_unique<TFieldDataLink>()) {
  link_->SetControl(this);
  link_->OnDataChange = [this](TFieldDataLink*) { DataChange(); };
  link_->OnEditingChange = [this](TFieldDataLink*) { EditingChange(); };
  link_->OnUpdateData = [this](TFieldDataLink*) { UpdateData(); };
  link_->OnActiveChange = [this](TFieldDataLink*) { EditingChange(); };
}

TwwDBCustomEdit::~TwwDBCustomEdit() {
  // The link must not call back into a half-destroyed edit.
  link_->OnDataChange = nullptr;
  link_->OnEditingChange = nullptr;
  link_->OnUpdateData = nullptr;
  link_->OnActiveChange = nullptr;
  link_->SetDataSource(nullptr);
}

void TwwDBCustomEdit::SetDataSource(TDataSource* value) {
  if (value == link_->DataSource()) return;
  link_->SetDataSource(value);
  if (value) value->FreeNotification(this);
  EditingChange();
  DataChange();
}

void TwwDBCustomEdit::SetDataField(const std::string& value) {
  // A limit taken from the old field's size must not hold for the new one.
  if (!ComponentState().Contains(csLoading) && Field() && Field()->DataType() == ftString &&
      MaxLength() == Field()->Size())
    SetMaxLength(0);
  link_->SetFieldName(value);
}

void TwwDBCustomEdit::SetReadOnly(bool value) {
  readOnly_ = value;
  link_->SetReadOnly(value);
  EditingChange();
}

void TwwDBCustomEdit::Notification(TComponent* component, TOperation operation) {
  TwwCustomMaskEdit::Notification(component, operation);
  if (operation == opRemove && link_ && component == link_->DataSource()) SetDataSource(nullptr);
}

void TwwDBCustomEdit::Loaded() {
  TwwCustomMaskEdit::Loaded();
  // Unbound edits are never read-only after loading.
  if (!Bound()) SetReadOnly(false);
}

void TwwDBCustomEdit::ShowText(const std::string& text) {
  showing_ = true;
  SetEditText(text);
  showing_ = false;
  SetModified(false);
}

void TwwDBCustomEdit::DataChange() {
  TField* field = Field();
  if (!field) {
    SetEditMask("");
    ShowText(ComponentState().Contains(csDesigning) ? Name() : (Bound() ? "" : unboundText_));
    return;
  }
  // A change of alignment clears the text first, so no stale face remains.
  const int alignment = int(field->Alignment());
  if (alignment != alignmentShown_) {
    ShowText("");
    alignmentShown_ = alignment;
  }
  SetEditMask(HasPictureMask() ? "" : field->EditMask());
  if (!ComponentState().Contains(csDesigning) && field->DataType() == ftString && MaxLength() == 0)
    SetMaxLength(field->Size());
  if (field->DataType() == ftFmtMemo) ShowText(field->AsString());
  else ShowText(FieldText(field));
}

// A mapped value goes into the editor as the words it stands for and never
// as the stored code: whatever the window system paints while the text is
// set, and whoever is told of the change, sees only the words.
std::string TwwDBCustomEdit::FieldText(TField* field) {
  std::string mapped;
  if (MapToDisplayText(field->Text(), mapped)) return mapped;
  return focused_ ? field->Text() : field->DisplayText();
}

void TwwDBCustomEdit::EditingChange() {
  if (Bound()) TCustomEdit::SetReadOnly(!link_->Editing());
  else TCustomEdit::SetReadOnly(readOnly_);
}

void TwwDBCustomEdit::UpdateData() {
  TField* field = Field();
  if (!field) return;
  TDataSet* ds = field->DataSet();
  if (!HasPictureMask()) {
    ValidateEdit();
  } else if (wwGetValidateWithMask(ds) && !IsValidPictureText(GetStoredText())) {
    if (TwwInvalidValueEvent handler = wwGetOnInvalidValue(ds)) handler(ds, field);
    else throw EDBEditError(SMaskEditErr);
  }
  if (!Modified()) return;
  if (!link_->Editing() && !field->CanModify()) return;
  if (field->DataType() == ftFmtMemo) field->SetAsString(GetStoredText());
  else WriteFieldText(field);
}

// Text the field cannot take (a date half typed) is this edit's to tell,
// whoever asked for it to be written: a key or a click that leaves, a post, a
// move to another row. The asking stops quietly, the text stays selected,
// and the user is told once the event that asked is over, with the keyboard
// back here to mend the text or to give it up.
void TwwDBCustomEdit::WriteFieldText(TField* field) {
  try {
    field->SetText(GetStoredText());
  } catch (const EConvertError& e) {
    SelectAll();
    refusal_ = e.Message();
    PostMessage(Handle(), CM_WWFOCUSBACK);
    throw EAbort(refusal_);
  }
}

void TwwDBCustomEdit::UpdateRecordNow() {
  const bool wasModified = Modified();
  try {
    link_->UpdateRecord();
  } catch (...) {
    SelectAll();
    // Leaving: the focus comes back by a posted message (see DoExit).
    if (!exiting_ && CanFocus()) SetFocus();
    SetModified(wasModified);
    throw;
  }
}

bool TwwDBCustomEdit::EditCanModify() {
  if (!Bound()) return !readOnly_;
  TField* field = Field();
  if (!field || field->ReadOnly() || !field->DataSet() || !field->DataSet()->CanModify()) return false;
  return KeepingSelection([this] { return link_->Edit(); });
}

// The data change that going into edit brings shows the field afresh, and a
// descendant may select it whole there; the key that asked for the edit
// still acts at the caret. A text another user changed meanwhile is shown as
// the data change left it.
bool TwwDBCustomEdit::KeepingSelection(const std::function<bool()>& startEdit) {
  const std::string text = EditText();
  int start, end;
  SelStartEnd(start, end);
  const bool editing = startEdit();
  if (EditText() == text) SetSelection(start, end);
  return editing;
}

void TwwDBCustomEdit::MarkModified() {
  SetModified(true);
  if (Bound()) link_->Modified();
}

void TwwDBCustomEdit::Change() {
  if (!showing_ && Bound()) link_->Modified();
  TwwCustomMaskEdit::Change();
}

void TwwDBCustomEdit::ResetToField() {
  if (Bound()) link_->Reset();
  else ShowText(unboundText_);
}

// ---- Pictures -----------------------------------------------------------------

bool TwwDBCustomEdit::HasPictureMask() const {
  return usePictureMask_ && !Picture()->PictureMask().empty();
}

bool TwwDBCustomEdit::HasAutoFillMask() const { return HasPictureMask() && Picture()->AutoFill(); }

bool TwwDBCustomEdit::IsValidPictureText(const std::string& text) {
  bool valid = true;
  if (!text.empty() && HasPictureMask()) {
    TwwPictureValidator validator(Picture()->PictureMask(), Picture()->AutoFill());
    std::string copy = text;
    valid = validator.MatchPicture(copy, false) == pmComplete;
  }
  CheckValue(valid);
  return valid;
}

void TwwDBCustomEdit::PictureTyped(char32_t key) {
  int start, end;
  SelStartEnd(start, end);
  std::string typed;
  Utf8Append(typed, key);
  const std::string candidate = TextWithSelectionReplaced(typed);
  std::string matched = candidate;
  TwwPictureValidator validator(Picture()->PictureMask(), Picture()->AutoFill());
  const TwwPicResult r = validator.MatchPicture(matched, Picture()->AutoFill());
  // The mask never lets the text grow past the edit's length, the field's.
  if ((r == pmComplete || r == pmIncomplete) && !PastMaxLength(matched)) {
    // The caret goes behind the character and the literals filled in after it.
    const int filled = int(Utf8Length(matched)) - int(Utf8Length(candidate));
    SetEditText(matched);
    const int caret = std::min(int(Utf8Length(matched)), start + 1 + std::max(filled, 0));
    SetSelection(caret, caret);
    MarkModified();
  } else if (end >= int(Utf8Length(EditText())) || PastMaxLength(matched)) {
    MessageBeep(0);
  }
}

bool TwwDBCustomEdit::PastMaxLength(const std::string& text) const {
  return MaxLength() > 0 && Utf8Length(text) > std::size_t(MaxLength());
}

void TwwDBCustomEdit::RecheckPicture() {
  if (OnCheckValue) IsValidPictureText(EditText());
}

// ---- Keys ---------------------------------------------------------------------

TFieldType TwwDBCustomEdit::CompletionType() const {
  if (TField* f = Field()) return IsDateTimeType(f->DataType()) ? f->DataType() : ftUnknown;
  if (Bound()) return ftUnknown;
  switch (unboundDataType_) {
    case wwEdtDate: return ftDate;
    case wwEdtTime: return ftTime;
    case wwEdtDateTime: return ftDateTime;
    default: return ftUnknown;
  }
}

bool TwwDBCustomEdit::CompleteDateTime() {
  const TFieldType type = CompletionType();
  if (type == ftUnknown) return false;
  // A read-only field or dataset answers the space with a beep.
  if (!EditCanModify()) {
    MessageBeep(0);
    return true;
  }
  const int length = int(Utf8Length(EditText()));
  const bool wholeSelected = length > 0 && SelLength() == length;
  if (!wholeSelected && (SelStart() != length || SelLength() != 0)) return false;
  const std::string text = wholeSelected ? "" : EditText();
  SetEditText(wwCompleteDateTimeText(text, type, ClockNow()));
  const int end = int(Utf8Length(EditText()));
  SetSelection(end, end);
  MarkModified();
  return true;
}

// The owner's OnKeyPress had the key before this step, as with every edit: a
// handler may take the space before the date completion does.
void TwwDBCustomEdit::TypeKey(char32_t& key) {
  if (key == U' ' && autoFillDate_ && !HasAutoFillMask() && CompleteDateTime()) {
    key = 0;
    return;
  }
  const bool character = key >= 32 || key == 8;
  if (character && !EditCanModify()) {
    key = 0;
    return;
  }
  if (key == 27) {
    ResetToField();
    SelectAll();
    key = 0;
    return;
  }
  if (key == U'\r' && !wantReturns_) {
    key = 0;
    return;
  }
  if ((key >= 32 || key == 8 || key == U'\r') && !CanEditText()) {
    key = 0;
    return;
  }
  if (HasPictureMask() && key >= 32) {
    if (!TCustomEdit::ReadOnly()) PictureTyped(key);
    key = 0;
    return;
  }
  std::string ignored;
  if (key >= 32 && Field() && !MapToDisplayText("", ignored) && !Field()->IsValidChar(key)) {
    MessageBeep(0);
    key = 0;
    return;
  }
  TwwCustomMaskEdit::TypeKey(key);
  if (key != 0) MarkModified();
  if (key == 8 && HasPictureMask()) RecheckPicture();
}

void TwwDBCustomEdit::KeyDown(WORD& key, TShiftState shift) {
  if ((key == VK_DELETE || (key == VK_INSERT && shift.Contains(ssShift))) && !EditCanModify()) {
    key = 0;
    return;
  }
  TwwCustomMaskEdit::KeyDown(key, shift);
  if (key == VK_DELETE || (key == VK_INSERT && shift.Contains(ssShift))) MarkModified();
}

void TwwDBCustomEdit::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_WWFOCUSBACK:
      if (CanFocus()) SetFocus();
      SelectAll();
      // One refusal told however often the same event asked for the text.
      if (!refusal_.empty()) Application->ShowException(EConvertError(std::exchange(refusal_, {})));
      return;
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
      if (!EditCanModify() || !CanEditText()) return;
      break;
    default: break;
  }
  TwwCustomMaskEdit::Dispatch(m);
  if (m.Msg == WM_PASTE && HasPictureMask()) {
    // A paste is matched as a whole; the caret keeps its distance from the end.
    const int fromEnd = int(Utf8Length(EditText())) - SelStart();
    std::string text = EditText();
    TwwPictureValidator validator(Picture()->PictureMask(), Picture()->AutoFill());
    validator.MatchPicture(text, true);
    if (PastMaxLength(text)) text = Utf8Copy(text, 1, MaxLength());
    SetEditText(text);
    const int caret = std::max(0, int(Utf8Length(text)) - fromEnd);
    SetSelection(caret, caret);
  }
  if (m.Msg == WM_PASTE || m.Msg == WM_CUT || m.Msg == WM_CLEAR) {
    MarkModified();
    if (m.Msg != WM_PASTE) RecheckPicture();
  }
}

// ---- Focus --------------------------------------------------------------------

void TwwDBCustomEdit::DoEnter() {
  focused_ = true;
  if (Field() && !Modified()) DataChange();  // the edit text instead of the display text
  // After the text is reshown, which drops any selection.
  if (AutoSelect()) SelectAll();
  if (!Bound()) SetModified(false);
  TwwCustomMaskEdit::DoEnter();
}

void TwwDBCustomEdit::ExitCheck() {
  invalidOnExit_ = false;
  if (HasPictureMask() && Modified() && !IsValidPictureText(EditText()) &&
      !Picture()->AllowInvalidExit()) {
    SelectAll();
    PostMessage(Handle(), CM_WWFOCUSBACK);
    SetModified(true);
    MessageBeep(0);
    invalidOnExit_ = true;
  }
}

void TwwDBCustomEdit::DoExit() {
  try {
    exiting_ = true;
    UpdateRecordNow();
    exiting_ = false;
  } catch (const Exception&) {
    exiting_ = false;
    PostMessage(Handle(), CM_WWFOCUSBACK);
    // Refused text keeps the focus at once: the click that was leaving
    // finds it still here and goes no further.
    if (!refusal_.empty() && CanFocus()) SetFocus();
    Application->HandleException(this);
    return;
  }
  ExitCheck();
  if (invalidOnExit_) return;
  if (!Bound()) unboundText_ = EditText();
  focused_ = false;
  if (Field() && !Modified()) DataChange();
  TwwCustomMaskEdit::DoExit();
}

// ---- Window and painting ----------------------------------------------------------

void TwwDBCustomEdit::SetWantReturns(bool value) {
  wantReturns_ = value;
  SetWantReturnsStyle(value);
}

void TwwDBCustomEdit::SetShowVertScrollBar(bool value) {
  if (value == showVertScrollBar_) return;
  showVertScrollBar_ = value;
  SetScrollBarsStyle(value ? ssVertical : ssNone);
}

void TwwDBCustomEdit::FillCreateParams(TCreateParams& params) {
  TwwCustomMaskEdit::FillCreateParams(params);
  // One line only with a border and without word wrap.
  if (BorderStyle() == bsSingle && !WordWrap()) {
    params.Style &= ~(ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL);
    return;
  }
  params.Style |= ES_MULTILINE;
  if (WordWrap()) params.Style = (params.Style | ES_AUTOVSCROLL) & ~ES_AUTOHSCROLL;
  if (wantReturns_) params.Style |= ES_WANTRETURN;
  if (showVertScrollBar_) params.Style |= WS_VSCROLL;
}

void TwwDBCustomEdit::PaintText(TCanvas* canvas, TRect rect, int x, const std::string& text) {
  canvas->TextRect(rect, x, rect.Top + 1, text);
}

bool TwwDBCustomEdit::PaintSelf(TCanvas* canvas) {
  TField* field = Field();
  const bool aligned = field && field->Alignment() != taLeftJustify;
  if (!((aligned && !focused_) || !CanEditText())) return false;
  std::string text = EditText();
  if (field) {
    std::string mapped;
    text = MapToDisplayText(field->Text(), mapped) ? mapped : field->DisplayText();
  }
  if (PasswordChar() != 0) {
    std::string masked;
    for (std::size_t i = Utf8Length(text); i > 0; --i) Utf8Append(masked, PasswordChar());
    text = masked;
  }
  const TRect r = GetTextRect();
  canvas->Brush()->SetColor(Enabled() ? Color() : clBtnFace);
  canvas->FillRect(r);
  canvas->Font()->Assign(Font());
  const int margin = 2;
  const int width = canvas->TextWidth(text);
  int x = margin + 1;
  if (field && field->Alignment() == taRightJustify) x = r.Right - width - margin;
  if (field && field->Alignment() == taCenter) x = r.Left + (r.Width() - width) / 2;
  PaintText(canvas, r, x, text);
  return true;
}
