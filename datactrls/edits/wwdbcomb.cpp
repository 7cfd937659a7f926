#include "datactrls/edits/wwdbcomb.h"

#include <algorithm>

#include "datactrls/wwdbgrid.h"
#include "datactrls/wwstr.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/clock.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/db/fields.h"

IMPLEMENT_CLASS(TwwPopupListbox, TCustomListBox)
IMPLEMENT_CLASS(TwwDBComboBox, TwwDBCustomCombo)

PUBLISHED(TwwDBComboBox) {
  PROP_BOOL(ShowButton, ShowButton, SetShowButton, true);
  PROP_ENUM(Style, Style, SetStyle, csDropDown);
  PROP_BOOL(MapList, MapList, SetMapList, false);
  PROP_BOOL(AllowClearKey, AllowClearKey, SetAllowClearKey, false);
  PROP_BOOL(AutoDropDown, AutoDropDown, SetAutoDropDown, false);
  PROP_BOOL(ShowMatchText, ShowMatchText, SetShowMatchText, false);
  PROP_ENUM(ButtonStyle, ButtonStyle, SetButtonStyle, cbsDownArrow);
  PROP_INT(DropDownCount, DropDownCount, SetDropDownCount, 8);
  PROP_INT(DropDownWidth, DropDownWidth, SetDropDownWidth, 0);
  PROP_INT(ItemHeight, ItemHeight, SetItemHeight, 0);
  PROP_OBJ(Items, Items, SetItems);
  PROP_BOOL(Sorted, Sorted, SetSorted, false);
  PROP_EVENT(OnDropDown);
  PROP_EVENT(OnCloseUp);
}

namespace {
// The list's border and margin above and below the items.
constexpr int kListFrame = 4;
// Until an item height is set, the list's items are 11 pixels high.
constexpr int kDefaultItemHeight = 11;
// Owner-drawn lists start a new search after this pause between keys.
constexpr std::uint64_t kSearchRestartMs = 1500;
// Other lists search the combo's text with the key, cut to this length.
constexpr std::size_t kMaxSearchText = 32;

std::string Piece(const std::string& item, int which) {
  int pos = 1;
  std::string token;
  wwNextToken(item, "\t", pos, token);
  if (which == 0) return token;
  if (pos < 0) return {};
  wwNextToken(item, "\t", pos, token);
  return token;
}
}  // namespace

TPoint wwDropDownPosition(const TRect& control, TSize size, const TRect& screen) {
  TPoint at{control.Left, control.Bottom};
  if (at.y + size.cy > screen.Bottom) at.y = control.Top - size.cy;
  if (at.x + size.cx > screen.Right) at.x = control.Right - size.cx;
  return at;
}

// ---- TwwPopupListbox --------------------------------------------------------------

TwwPopupListbox::TwwPopupListbox(TwwDBComboBox* combo) : TCustomListBox(combo), combo_(combo) {
  InitVisible(false);
  SetTabStop(false);
  SetIntegralHeight(true);
  SetItemHeight(kDefaultItemHeight);
}

void TwwPopupListbox::FillCreateParams(TCreateParams& params) {
  TCustomListBox::FillCreateParams(params);
  params.Style = WS_POPUP | WS_BORDER | WS_VSCROLL;
  params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
}

void TwwPopupListbox::MouseMove(TShiftState shift, int x, int y) {
  // The entry under the mouse is the one a release takes.
  const int index = ItemAtPos({x, y}, true);
  if (index >= 0) SetItemIndex(index);
  TCustomListBox::MouseMove(shift, x, y);
}

void TwwPopupListbox::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomListBox::MouseUp(button, shift, x, y);
  if (button != mbLeft) return;
  const TRect r = ClientRect();
  combo_->CloseUp(x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom);
}

void TwwPopupListbox::DrawItem(int index, const TRect& rect, TOwnerDrawState state) {
  if (!combo_->OnDrawItem) {
    TCustomListBox::DrawItem(index, rect, state);
    return;
  }
  if (!state.Contains(odSelected)) Canvas()->FillRect(rect);
  combo_->OnDrawItem(this, index, rect, state);
}

void TwwPopupListbox::SearchKey(char32_t key) {
  std::string text;
  if (combo_->OwnerDrawn()) {
    const std::uint64_t now = ClockTicks();
    if (now - lastKeyTicks_ > kSearchRestartMs) search_.clear();
    lastKeyTicks_ = now;
    Utf8Append(search_, key);
    text = search_;
  } else {
    std::string typed;
    Utf8Append(typed, key);
    text = combo_->TextWithSelectionReplaced(typed).substr(0, kMaxSearchText);
  }
  const int found = FindString(-1, text);
  if (found >= 0) SetItemIndex(found);
  else if (!combo_->ShowMatchText()) SetItemIndex(-1);
}

// ---- TwwDBComboBox ----------------------------------------------------------------

TwwDBComboBox::TwwDBComboBox(TComponent* owner)
    : TwwDBCustomCombo(owner), items_(std::make_unique<TStringList>()) {
  SetButtonStyle(cbsDownArrow);
}

TwwDBComboBox::~TwwDBComboBox() = default;

void TwwDBComboBox::SetStyle(TComboBoxStyle value) {
  if (value == csSimple) SetShowButton(false);
  else if (Style() == csSimple) SetShowButton(true);
  TwwDBCustomCombo::SetStyle(value);
}

bool TwwDBComboBox::OwnerDrawn() const {
  return Style() == csOwnerDrawFixed || Style() == csOwnerDrawVariable;
}

bool TwwDBComboBox::IsEditStyle() const { return !OwnerDrawn() && Style() != csDropDownList; }

bool TwwDBComboBox::CanEditText() {
  if (OwnerDrawn()) return false;
  return Style() != csDropDownList || listDown_ || showMatchText_;
}

std::string TwwDBComboBox::DisplayPart(int index) const {
  const std::string& item = items_->Strings(index);
  return mapList_ ? Piece(item, 0) : item;
}

std::string TwwDBComboBox::StoredPart(int index) const {
  const std::string& item = items_->Strings(index);
  return mapList_ ? Piece(item, 1) : item;
}

std::string TwwDBComboBox::StoredToDisplay(const std::string& stored) const {
  for (int i = 0; i < items_->Count(); ++i)
    if (StoredPart(i) == stored) return DisplayPart(i);
  return {};
}

int TwwDBComboBox::IndexOfDisplay(const std::string& display) const {
  for (int i = 0; i < items_->Count(); ++i)
    if (DisplayPart(i) == display) return i;
  return -1;
}

std::string TwwDBComboBox::DisplayToStored(const std::string& display) const {
  if (!mapList_) return display;
  const int index = IndexOfDisplay(display);
  return index >= 0 ? StoredPart(index) : std::string();
}

bool TwwDBComboBox::IsStorableText(const std::string& text) const {
  return text.empty() || (IsEditStyle() && !mapList_) || IndexOfDisplay(text) >= 0;
}

std::string TwwDBComboBox::GetStoredText() {
  const std::string text = EditText();
  // A text that is no item's would map to nothing: the field keeps its value
  // rather than losing it to an empty one.
  if (!IsStorableText(text)) return Field() ? Field()->Text() : std::string();
  if (text.empty() && Style() == csDropDown) return text;
  return DisplayToStored(text);
}

bool TwwDBComboBox::MapToDisplayText(const std::string& stored, std::string& display) {
  if (!mapList_) return false;
  display = StoredToDisplay(stored);
  return true;
}

void TwwDBComboBox::PaintText(TCanvas* canvas, TRect rect, int x, const std::string& text) {
  if (!OwnerDrawn() || !OnDrawItem) {
    TwwDBCustomCombo::PaintText(canvas, rect, x, text);
    return;
  }
  if (itemIndex_ < 0) return;
  faceCanvas_ = canvas;
  TOwnerDrawState state;
  if (Focused()) state.Include(odSelected);
  OnDrawItem(this, itemIndex_, rect, state);
  faceCanvas_ = nullptr;
}

void TwwDBComboBox::DataChange() {
  // With a map the text shown is the words (MapToDisplayText), as in the grid's cell.
  TwwDBCustomCombo::DataChange();
  TField* field = Field();
  if (!field) return;
  const std::string value = field->Text();
  if (mapList_) {
    itemIndex_ = -1;
    for (int i = 0; i < items_->Count() && !value.empty(); ++i)
      if (StoredPart(i) == value) {
        itemIndex_ = i;
        break;
      }
  } else if (Style() != csDropDown) {
    itemIndex_ = items_->IndexOf(value);
    ShowText(itemIndex_ >= 0 ? value : "");
    if (OwnerDrawn()) Invalidate();
  }
}

void TwwDBComboBox::SelectItem(int index) {
  if (index < 0 || index >= items_->Count()) return;
  if (Bound() && !EditCanModify()) return;
  itemIndex_ = index;
  if (list_) list_->SetItemIndex(index);
  SetEditText(DisplayPart(index));
  MarkModified();
}

// ---- Dropping down ---------------------------------------------------------------

void TwwDBComboBox::FillList() {
  list_->Items()->Clear();
  for (int i = 0; i < items_->Count(); ++i) list_->Items()->Add(DisplayPart(i));
}

void TwwDBComboBox::DropDown() {
  if (listDown_ || Style() == csSimple) return;
  if (!list_) {
    list_ = new TwwPopupListbox(this);
    list_->SetParent(this);
  }
  FillList();
  const auto alive = Lifetime();
  if (OnDropDown) OnDropDown(this);
  if (alive.expired()) return;
  FillList();  // the event may have changed the items
  list_->SetStyle(Style() == csOwnerDrawFixed      ? lbOwnerDrawFixed
                  : Style() == csOwnerDrawVariable ? lbOwnerDrawVariable
                                                   : lbStandard);
  list_->SetColor(Color());
  list_->SetFont(Font());
  if (itemHeight_ > 0) list_->SetItemHeight(itemHeight_);
  // DropDownCount 0 still shows one row.
  const int rows = std::max(1, std::min(dropDownCount_, items_->Count()));
  const TSize size{dropDownWidth_ > 0 ? dropDownWidth_ : Width(), rows * list_->ItemHeight() + kListFrame};
  const TPoint topLeft = ClientToScreen({0, 0});
  const TRect self{topLeft.x, topLeft.y, topLeft.x + Width(), topLeft.y + Height()};
  const TPoint at = wwDropDownPosition(self, size, Screen->DesktopRect());
  list_->SetBounds(at.x, at.y, size.cx, size.cy);
  const std::string text = EditText();
  list_->SetItemIndex(OwnerDrawn() ? itemIndex_ : text.empty() ? -1 : list_->Items()->IndexOf(text));
  if (list_->ItemIndex() >= 0) list_->SetTopIndex(list_->ItemIndex());
  list_->Show();
  listDown_ = true;
  droppedDown_ = true;
  if (!typingDropDown_ && CanEditText()) SelectAll();
  if (!CanEditText()) HideCaret();
  Invalidate();
}

void TwwDBComboBox::CloseUp(bool accept) {
  if (!listDown_) return;
  ReleaseCapture();
  const int chosen = list_->ItemIndex();
  std::string taken = EditText();
  bool take = false;
  if (accept && chosen >= 0) {
    taken = list_->Items()->Strings(chosen);
    take = true;
  } else if (Style() == csDropDown) {
    take = true;
  }
  list_->Hide();
  listDown_ = false;
  droppedDown_ = false;
  if (accept && take && taken != EditText() && (!Bound() || EditCanModify())) {
    if (!taken.empty() || Style() == csDropDownList || mapList_) SetEditText(taken);
    itemIndex_ = chosen;
    MarkModified();
  }
  if (!CanEditText()) HideCaret();
  Invalidate();
  if (CanEditText()) SelectAll();
  if (OnCloseUp) OnCloseUp(this, accept);
}

void TwwDBComboBox::DoExit() {
  CloseUp(true);
  // What was typed or pasted is no item: the field's value shows again.
  if (Modified() && !IsStorableText(EditText())) ResetToField();
  TwwDBCustomCombo::DoExit();
}

// ---- Keys ---------------------------------------------------------------------

int TwwDBComboBox::FindPrefix(const std::string& prefix, int from) const {
  const int count = items_->Count();
  for (int step = 0; step < count; ++step) {
    const int i = (from + step) % count;
    if (AnsiStartsText(prefix, DisplayPart(i))) return i;
  }
  return -1;
}

bool TwwDBComboBox::MatchTyped(char32_t key) {
  std::string typed;
  Utf8Append(typed, key);
  const std::string candidate = TextWithSelectionReplaced(typed);
  if (candidate == EditText()) return false;
  int start, end;
  SelStartEnd(start, end);
  const int found = FindPrefix(candidate, std::max(itemIndex_, 0));
  if (found < 0) return Style() == csDropDownList || listDown_;  // dropped, else typed
  SelectItem(found);
  if (itemIndex_ != found) return true;
  // The caret stays behind what was typed; the rest of the item is selected.
  SetSelStart(start + 1);
  SetSelLength(int(Utf8Length(EditText())) - start - 1);
  return true;
}

// A list style holds an item or nothing, so the clear keys never cut its text
// short: with AllowClearKey they empty it, otherwise they do nothing.
void TwwDBComboBox::ClearKey() {
  if (!allowClearKey_ || (Bound() && !EditCanModify())) return;
  if (listDown_) list_->SetItemIndex(-1);
  if (EditText().empty() && itemIndex_ < 0) return;
  SetEditText("");
  itemIndex_ = -1;
  MarkModified();
}

void TwwDBComboBox::TypeKey(char32_t& key) {
  // Backspace's character: the key itself was handled as a clear key.
  if (key == 8 && !IsEditStyle()) {
    key = 0;
    return;
  }
  const bool wasAutoFill = AutoFillDate();
  if (mapList_) SetAutoFillDate(false);
  if (key == U'\r' && mapList_) key = 0;
  if (key >= 32 && showMatchText_ && MatchTyped(key)) key = 0;
  if (key != 0 && listDown_ && key >= 32) list_->SearchKey(key);
  if (key != 0) TwwDBCustomCombo::TypeKey(key);
  SetAutoFillDate(wasAutoFill);
}

void TwwDBComboBox::KeyDown(WORD& key, TShiftState shift) {
  const bool alt = shift.Contains(ssAlt);
  const bool charKey = key == VK_SPACE || key == VK_BACK || key == VK_DELETE ||
                       (key >= '0' && key <= 'Z') || (key >= VK_NUMPAD0 && key <= VK_DIVIDE) ||
                       key > VK_SCROLL;
  if (autoDropDown_ && charKey && key != VK_BACK && key != VK_DELETE && !alt && !listDown_) {
    typingDropDown_ = true;
    DropDown();
    typingDropDown_ = false;
  }
  if (key == VK_TAB && listDown_) CloseUp(true);
  // In a grid cell Tab and the row keys move in the grid, as from a plain cell.
  if (HandToGrid(key, shift, false)) {
    key = 0;
    return;
  }
  if (!listDown_ && !alt && (key == VK_DOWN || key == VK_UP)) {
    SelectItem(key == VK_DOWN ? itemIndex_ + 1 : itemIndex_ - 1);
    key = 0;
    return;
  }
  const bool plainList = Style() == csDropDownList && !showMatchText_;
  if (!listDown_ && plainList && !alt && key >= '0' && key <= 'Z' && items_->Count() > 0) {
    const int found = FindPrefix(std::string(1, char(key)), (itemIndex_ + 1) % items_->Count());
    if (found >= 0) SelectItem(found);
    key = 0;
    return;
  }
  if ((key == VK_DELETE || key == VK_BACK) && !IsEditStyle()) {
    ClearKey();
    key = 0;
    return;
  }
  if (allowClearKey_ && (key == VK_DELETE || key == VK_BACK) && listDown_ && EditText().empty())
    list_->SetItemIndex(-1);
  TwwDBCustomCombo::KeyDown(key, shift);
  // While the list is down it takes the keys the edit does not keep.
  const bool editKeeps = key == VK_END || key == VK_HOME || key == VK_LEFT || key == VK_RIGHT;
  if (key != 0 && listDown_ && !editKeeps && !alt &&
      (key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT)) {
    list_->HandleKey(key);
    key = 0;
  }
}
