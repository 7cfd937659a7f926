#include "platform/classlib/stdctrls/lists.h"

#include <algorithm>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/stdctrls/ctrlutils.h"

IMPLEMENT_CLASS(TListBoxStrings, TStrings)
IMPLEMENT_CLASS(TCustomListBox, TCustomControl)
IMPLEMENT_CLASS(TListBox, TCustomListBox)

// ---- Items ---------------------------------------------------------------------------

int TListBoxStrings::Checked(int index) const {
  if (index < 0 || index >= int(items_.size())) Error("List index out of bounds (%d)", index);
  return index;
}

void TListBoxStrings::Tell(Change change, int index) const {
  if (listener_) listener_(change, index);
}

int TListBoxStrings::SortedPosition(const std::string& s) const {
  // After equal strings, so items added alike keep the order they came in.
  auto at = std::upper_bound(items_.begin(), items_.end(), s, [](const std::string& v, const Item& i) {
    return AnsiCompareText(v, i.text) < 0;
  });
  return int(at - items_.begin());
}

int TListBoxStrings::Add(const std::string& s) { return AddObject(s, nullptr); }

int TListBoxStrings::AddObject(const std::string& s, TObject* object) {
  const int index = sorted_ ? SortedPosition(s) : int(items_.size());
  InsertObject(index, s, object);
  return index;
}

void TListBoxStrings::Insert(int index, const std::string& s) { InsertObject(index, s, nullptr); }

void TListBoxStrings::InsertObject(int index, const std::string& s, TObject* object) {
  if (index < 0 || index > int(items_.size())) Error("List index out of bounds (%d)", index);
  items_.insert(items_.begin() + index, Item{s, object, false, 0});
  Tell(Change::Inserted, index);
}

void TListBoxStrings::Delete(int index) {
  items_.erase(items_.begin() + Checked(index));
  Tell(Change::Deleted, index);
}

void TListBoxStrings::Clear() {
  items_.clear();
  Tell(Change::Cleared, -1);
}

void TListBoxStrings::Exchange(int index1, int index2) {
  std::swap(items_.at(Checked(index1)), items_.at(Checked(index2)));
  Tell(Change::Changed, -1);
}

void TListBoxStrings::Put(int index, const std::string& s) {
  items_.at(Checked(index)).text = s;
  Tell(Change::Changed, index);
}

void TListBoxStrings::SetSorted(bool value) {
  if (sorted_ == value) return;
  sorted_ = value;
  if (!sorted_) return;
  std::stable_sort(items_.begin(), items_.end(),
                   [](const Item& a, const Item& b) { return AnsiCompareText(a.text, b.text) < 0; });
  Tell(Change::Changed, -1);
}

void TListBoxStrings::Measure(int first, int last, int height,
                              const std::function<void(int, int&)>& measure) {
  for (int i = first; i <= last; ++i) {
    int h = height;
    measure(i, h);
    SetItemHeight(i, h);
  }
}

int TListBoxStrings::Find(int startAfter, const std::string& prefix, bool exact) const {
  const int n = int(items_.size());
  if (n == 0) return -1;
  const int start = startAfter < 0 || startAfter >= n ? 0 : startAfter + 1;
  for (int k = 0; k < n; ++k) {
    const int i = (start + k) % n;
    const std::string& text = items_[i].text;
    if (exact ? AnsiSameText(text, prefix) : AnsiStartsText(prefix, text)) return i;
  }
  return -1;
}

// ---- The list box --------------------------------------------------------------------

namespace {

// Typed letters within this time make one search string, as the window's
// incremental search does; a pause starts a new one.
constexpr auto kTypeAheadPause = std::chrono::milliseconds(1000);

}  // namespace

TCustomListBox::TCustomListBox(TComponent* AOwner)
    : TCustomControl(AOwner),
      items_(std::make_unique<TListBoxStrings>(
          [this](TListBoxStrings::Change c, int i) { ItemsChanged(c, i); })) {
  SetControlStyle(TControlStyle{csSetCaption, csDoubleClicks});
  SetBounds(0, 0, 121, 97);
  SetTabStop(true);
  SetColor(clWindow);
  SetParentColor(false);
}

TCustomListBox::~TCustomListBox() = default;

void TCustomListBox::FillCreateParams(TCreateParams& params) {
  TCustomControl::FillCreateParams(params);
  params.Style |= WS_VSCROLL;
  params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomListBox::ItemsChanged(TListBoxStrings::Change change, int index) {
  using C = TListBoxStrings::Change;
  if (change == C::Cleared) {
    itemIndex_ = anchor_ = -1;
    topIndex_ = 0;
  } else if (change == C::Inserted && itemIndex_ >= index) {
    ++itemIndex_;
  } else if (change == C::Deleted) {
    if (itemIndex_ == index) itemIndex_ = multiSelect_ ? std::min(index, items_->Count() - 1) : -1;
    else if (itemIndex_ > index) --itemIndex_;
    if (anchor_ >= items_->Count()) anchor_ = -1;
  }
  if (change == C::Inserted && style_ == lbOwnerDrawVariable)
    items_->Measure(index, index, ItemHeight(), [this](int i, int& h) { MeasureItem(i, h); });
  topIndex_ = std::clamp(topIndex_, 0, std::max(0, items_->Count() - 1));
  UpdateScrollBar();
  Invalidate();
}

void TCustomListBox::MeasureItem(int Index, int& Height) {
  if (OnMeasureItem) OnMeasureItem(this, Index, Height);
}

int TCustomListBox::ItemHeight() const {
  if (style_ != lbStandard) return itemHeight_;
  Canvas()->SetFont(Font());
  return Canvas()->TextHeight("Wg");
}

void TCustomListBox::SetItemHeight(int value) {
  if (value <= 0 || value == itemHeight_) return;
  itemHeight_ = value;
  UpdateScrollBar();
  Invalidate();
}

int TCustomListBox::HeightOf(int index) const {
  if (style_ == lbOwnerDrawVariable) {
    const int h = items_->ItemHeight(index);
    return h > 0 ? h : ItemHeight();
  }
  return ItemHeight();
}

int TCustomListBox::ItemTop(int index) const {
  int y = 0;
  if (style_ != lbOwnerDrawVariable) return (index - topIndex_) * ItemHeight();
  for (int i = topIndex_; i < index; ++i) y += HeightOf(i);
  for (int i = index; i < topIndex_; ++i) y -= HeightOf(i);
  return y;
}

TRect TCustomListBox::ItemRect(int index) const {
  if (index < 0 || index >= items_->Count()) return TRect{};
  const int top = ItemTop(index);
  return Rect(0, top, ClientWidth(), top + HeightOf(index));
}

int TCustomListBox::ItemAtPos(TPoint pos, bool existing) const {
  if (!PtInRect(ClientRect(), pos)) return -1;
  for (int i = topIndex_; i < items_->Count(); ++i) {
    const TRect r = ItemRect(i);
    if (r.Top > pos.y) break;
    if (PtInRect(r, pos)) return i;
  }
  return existing ? -1 : items_->Count();
}

int TCustomListBox::FindString(int startAfter, const std::string& text) const {
  return items_->Find(startAfter, text, false);
}

int TCustomListBox::FindStringExact(int startAfter, const std::string& text) const {
  return items_->Find(startAfter, text, true);
}

// How many whole items fit below `from`.
int TCustomListBox::VisibleCount(int from) const {
  int n = 0;
  for (int y = 0, i = from; i < items_->Count(); ++i, ++n) {
    y += HeightOf(i);
    if (y > ClientHeight()) break;
  }
  return std::max(1, n);
}

void TCustomListBox::UpdateScrollBar() {
  if (!HandleAllocated()) return;
  TScrollInfo info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = 0;
  info.nMax = std::max(0, items_->Count() - 1);
  info.nPage = UINT(VisibleCount(topIndex_));
  info.nPos = topIndex_;
  // Every item fits: no bar, as the window hides it.
  if (int(info.nPage) >= items_->Count()) info.nMax = info.nMin = 0, info.nPage = 0;
  SetScrollInfo(Handle(), SB_VERT, info, true);
}

void TCustomListBox::SetTopIndex(int value) {
  const int last = std::max(0, items_->Count() - 1);
  value = std::clamp(value, 0, last);
  // The list does not scroll past the point where its last item shows at the bottom.
  int maxTop = items_->Count();
  for (int y = 0; maxTop > 0 && y + HeightOf(maxTop - 1) <= ClientHeight(); --maxTop)
    y += HeightOf(maxTop - 1);
  value = std::min(value, std::max(0, std::min(maxTop, last)));
  if (value == topIndex_) return;
  topIndex_ = value;
  UpdateScrollBar();
  Invalidate();
}

void TCustomListBox::MakeVisible(int index) {
  if (index < 0) return;
  if (index < topIndex_) SetTopIndex(index);
  else if (index >= topIndex_ + VisibleCount(topIndex_)) {
    int top = index;
    for (int y = HeightOf(index); top > 0 && y + HeightOf(top - 1) <= ClientHeight();)
      y += HeightOf(--top);
    SetTopIndex(top);
  }
}

// ---- Selection -----------------------------------------------------------------------

int TCustomListBox::ItemIndex() const { return itemIndex_; }

void TCustomListBox::SetItemIndex(int value) {
  if (value < -1 || value >= items_->Count()) value = -1;
  if (value == itemIndex_) return;
  // Without MultiSelect the selection is the item; with it only the caret moves.
  if (!multiSelect_) {
    if (itemIndex_ >= 0) items_->SetSelected(itemIndex_, false);
    if (value >= 0) items_->SetSelected(value, true);
  }
  itemIndex_ = value;
  anchor_ = value;
  MakeVisible(value);
  Invalidate();
}

bool TCustomListBox::Selected(int index) const { return items_->Selected(index); }

void TCustomListBox::SetSelected(int index, bool value) {
  if (!multiSelect_) {
    // A single-selection list selects by moving its one selection.
    if (value) SetItemIndex(index);
    else if (index == itemIndex_) SetItemIndex(-1);
    else items_->Selected(index);  // range check as the window does
    return;
  }
  items_->SetSelected(index, value);
  Invalidate();
}

int TCustomListBox::SelCount() const {
  if (!multiSelect_) return -1;
  int n = 0;
  for (int i = 0; i < items_->Count(); ++i) n += items_->Selected(i) ? 1 : 0;
  return n;
}

void TCustomListBox::SetMultiSelect(bool value) {
  if (multiSelect_ == value) return;
  multiSelect_ = value;
  ClearSelection();
  if (!multiSelect_ && itemIndex_ >= 0) items_->SetSelected(itemIndex_, true);
  Invalidate();
}

void TCustomListBox::ClearSelection() {
  for (int i = 0; i < items_->Count(); ++i) items_->SetSelected(i, false);
}

void TCustomListBox::SelectRange(int from, int to) {
  ClearSelection();
  if (from < 0) from = to;
  for (int i = std::min(from, to); i <= std::max(from, to); ++i) items_->SetSelected(i, true);
}

void TCustomListBox::SetSorted(bool value) { items_->SetSorted(value); }

void TCustomListBox::SetStyle(TListBoxStyle value) {
  if (style_ == value) return;
  style_ = value;
  if (style_ == lbOwnerDrawVariable)
    items_->Measure(0, items_->Count() - 1, itemHeight_, [this](int i, int& h) { MeasureItem(i, h); });
  UpdateScrollBar();
  Invalidate();
}

void TCustomListBox::SelectByUser(int index, TShiftState shift, bool toggle) {
  if (index < 0 || index >= items_->Count()) return;
  if (!multiSelect_) {
    const bool changed = index != itemIndex_;
    SetItemIndex(index);
    if (changed) SelectionChangedByUser();
    return;
  }
  const bool extend = extendedSelect_ && shift.Contains(ssShift);
  const bool keep = extendedSelect_ && shift.Contains(ssCtrl);
  if (extend) {
    const int anchor = anchor_;
    SelectRange(anchor, index);
    itemIndex_ = index;
    anchor_ = anchor < 0 ? index : anchor;
  } else if (toggle || keep || !extendedSelect_) {
    if (toggle || (keep && shift.Contains(ssLeft)) || (!extendedSelect_ && shift.Contains(ssLeft)))
      items_->SetSelected(index, !items_->Selected(index));
    itemIndex_ = anchor_ = index;
  } else {
    SelectRange(index, index);
    itemIndex_ = anchor_ = index;
  }
  MakeVisible(index);
  Invalidate();
  SelectionChangedByUser();
}

TPoint TCustomListBox::KeyboardPopupPoint() const {
  if (ItemIndex() < 0) return TCustomControl::KeyboardPopupPoint();
  const TRect item = ItemRect(ItemIndex());
  return {item.Left, item.Bottom};
}

void TCustomListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) {
    if (CanFocus() && !Focused()) SetFocus();
    SelectByUser(ItemAtPos({X, Y}, true), Shift, false);
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomListBox::MouseMove(TShiftState Shift, int X, int Y) {
  // Dragging with the button down moves a single selection along (extends a
  // multiple one).
  if (Shift.Contains(ssLeft) && (!multiSelect_ || extendedSelect_)) {
    int index = ItemAtPos({X, std::clamp(Y, 0, std::max(0, ClientHeight() - 1))}, true);
    if (index >= 0 && index != itemIndex_) SelectByUser(index, multiSelect_ ? TShiftState{ssShift} : TShiftState{}, false);
  }
  TCustomControl::MouseMove(Shift, X, Y);
}

int TCustomListBox::KeyTarget(WORD key) const {
  const int last = items_->Count() - 1;
  const int page = VisibleCount(topIndex_);
  const int at = itemIndex_;
  switch (key) {
    case VK_UP: return std::max(0, at - 1);
    case VK_DOWN: return std::min(last, at + 1);
    case VK_HOME: return 0;
    case VK_END: return last;
    case VK_PRIOR: return std::max(0, at - page + 1);
    case VK_NEXT: return std::min(last, std::max(0, at) + page - 1);
    default: return -2;
  }
}

void TCustomListBox::KeyDown(WORD& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  if (Key == 0 || items_->Count() == 0) return;
  const int target = KeyTarget(Key);
  if (target >= -1) {
    // Ctrl moves only the caret of a multiple selection.
    if (multiSelect_ && Shift.Contains(ssCtrl) && !Shift.Contains(ssShift)) {
      itemIndex_ = target;
      MakeVisible(target);
      Invalidate();
    } else {
      SelectByUser(target, Shift.Contains(ssShift) ? TShiftState{ssShift} : TShiftState{}, false);
    }
    Key = 0;
  } else if (Key == VK_SPACE && multiSelect_ && itemIndex_ >= 0) {
    SelectByUser(itemIndex_, {}, true);
    Key = 0;
  }
}

void TCustomListBox::KeyPress(char32_t& Key) {
  TCustomControl::KeyPress(Key);
  if (Key < 0x20 || (Key == U' ' && multiSelect_)) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastTyped_ > kTypeAheadPause) typed_.clear();
  lastTyped_ = now;
  const bool fresh = typed_.empty();
  typed_ += Utf8Encode(Key);
  // A first letter looks past the current item (typing it again steps on);
  // a longer search may stay on the current one.
  const int found = FindString(fresh ? itemIndex_ : itemIndex_ - 1, typed_);
  if (found >= 0) SelectByUser(found, {}, false);
  Key = 0;
}

void TCustomListBox::DoEnter() {
  Invalidate();
  TCustomControl::DoEnter();
}

void TCustomListBox::DoExit() {
  Invalidate();
  TCustomControl::DoExit();
}

void TCustomListBox::Resize() {
  UpdateScrollBar();
  TCustomControl::Resize();
}

void TCustomListBox::SetIntegralHeight(bool value) {
  if (integralHeight_ == value) return;
  integralHeight_ = value;
  SetBounds(Left(), Top(), Width(), Height());
}

void TCustomListBox::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  // A whole number of fixed-height items shows; the frame (2 + 2) stays.
  if (integralHeight_ && style_ != lbOwnerDrawVariable) {
    constexpr int kFrame = 4;
    const int h = ItemHeight();
    if (h > 0 && AHeight > kFrame + h) AHeight = kFrame + (AHeight - kFrame) / h * h;
  }
  TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TCustomListBox::Dispatch(TMessage& m) {
  if (m.Msg != WM_VSCROLL) {
    if (m.Msg == CM_FONTCHANGED) UpdateScrollBar();
    TCustomControl::Dispatch(m);
    return;
  }
  SetTopIndex(ScrollRequestTarget(m.WParam, topIndex_, 1, VisibleCount(topIndex_), items_->Count()));
}

// ---- Looks ---------------------------------------------------------------------------

void TCustomListBox::PaintContent() {
  TCanvas* c = Canvas();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  for (int i = topIndex_; i < items_->Count(); ++i) {
    const TRect r = ItemRect(i);
    if (r.Top >= ClientHeight()) break;
    TOwnerDrawState state;
    if (items_->Selected(i)) state.Include(odSelected);
    if (!Enabled()) state.Include(odDisabled);
    const bool caret = Focused() && i == itemIndex_;
    if (caret) state.Include(odFocused);
    c->SetFont(Font());
    c->Brush()->SetStyle(bsSolid);
    if (state.Contains(odSelected)) {
      c->Brush()->SetColor(clHighlight);
      c->Font()->SetColor(clHighlightText);
    } else {
      c->Brush()->SetColor(Color());
    }
    DrawItem(i, r, state);
    if (caret) c->DrawFocusRect(r);
  }
}

void TCustomListBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
  if (OnDrawItem) {
    OnDrawItem(this, Index, Rect, State);
    return;
  }
  TCanvas* c = Canvas();
  c->FillRect(Rect);
  if (State.Contains(odDisabled)) c->Font()->SetColor(clGrayText);
  c->TextOut(Rect.Left + 2, Rect.Top, items_->Strings(Index));
}

PUBLISHED(TCustomListBox) {
  PROP_OBJ(Items, Items, SetItems);
  PROP_BOOL(Sorted, Sorted, SetSorted, false);
  PROP_BOOL(MultiSelect, MultiSelect, SetMultiSelect, false);
  PROP_BOOL(ExtendedSelect, ExtendedSelect, SetExtendedSelect, true);
  PROP_BOOL(IntegralHeight, IntegralHeight, SetIntegralHeight, false);
  PROP_ENUM(Style, Style, SetStyle, lbStandard);
  PROP_INT(ItemHeight, ItemHeight, SetItemHeight, 16);
  PROP_DEFAULT(Color, clWindow);
  PROP_DEFAULT(ParentColor, false);
  PROP_DEFAULT(TabStop, true);
  PROP_DEFAULT(Width, 121);
  PROP_DEFAULT(Height, 97);
  PROP_EVENT(OnDrawItem);
  PROP_EVENT(OnMeasureItem);
}
