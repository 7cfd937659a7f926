#include "platform/classlib/stdctrls/listview.h"

#include <algorithm>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/stdctrls/ctrlutils.h"

IMPLEMENT_CLASS(TListColumn, TCollectionItem)
IMPLEMENT_CLASS(TListColumns, TCollection)
IMPLEMENT_CLASS(TListItem, TPersistent)
IMPLEMENT_CLASS(TListItems, TPersistent)
IMPLEMENT_CLASS(TListView, TCustomControl)

namespace {

// Sizes of the layouts: an icon cell is at least this wide and leaves this
// much room round its picture; labels keep a margin; a picture stands this
// far from its label; a list or small-icon cell is at least this wide.
constexpr int kMinIconCell = 76, kIconPad = 10, kLabelMargin = 2, kPictureGap = 2,
              kMinCell = 40;
// Without a large image list an icon cell keeps the room of a standard icon.
constexpr int kStandardIcon = 32;

}  // namespace

// ---- Columns -------------------------------------------------------------------------

void TListColumn::SetCaption(const std::string& value) {
  caption_ = value;
  Changed(false);
}

void TListColumn::SetWidth(int value) {
  width_ = std::max(0, value);
  Changed(false);
}

void TListColumn::SetAlignment(TAlignment value) {
  alignment_ = value;
  Changed(false);
}

void TListColumn::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TListColumn*>(source);
  if (!other) {
    TCollectionItem::Assign(source);
    return;
  }
  caption_ = other->caption_;
  width_ = other->width_;
  alignment_ = other->alignment_;
  Changed(false);
}

PUBLISHED(TListColumn) {
  PROP_STR(Caption, Caption, SetCaption, "");
  PROP_INT(Width, Width, SetWidth, 50);
  PROP_ENUM(Alignment, Alignment, SetAlignment, taLeftJustify);
}

TListColumns::TListColumns(TListView* owner) : TCollection(TListColumn::StaticClass()), owner_(owner) {}

void TListColumns::Update(TCollectionItem*) { owner_->ItemsChanged(); }

TPersistent* TListColumns::GetOwner() const { return owner_; }

// ---- Items ---------------------------------------------------------------------------

TListItem::TListItem(TListItems* owner) : owner_(owner), subItems_(std::make_unique<TStringList>()) {
  subItems_->OnChange = [this](TObject*) {
    if (ListView()) ListView()->Invalidate();
  };
}

TListItem::~TListItem() = default;

TListView* TListItem::ListView() const { return owner_ ? owner_->Owner() : nullptr; }

int TListItem::Index() const { return owner_ ? owner_->IndexOf(this) : -1; }

void TListItem::SetCaption(const std::string& value) {
  if (caption_ == value) return;
  caption_ = value;
  if (TListView* lv = ListView()) {
    lv->Change(this, ctText);
    if (lv->sortType_ == stText || lv->sortType_ == stBoth) lv->SortNow();
    lv->ItemsChanged();
  }
}

void TListItem::SetImageIndex(int value) {
  if (imageIndex_ == value) return;
  imageIndex_ = value;
  if (TListView* lv = ListView()) {
    lv->Change(this, ctImage);
    lv->Invalidate();
  }
}

void TListItem::SetData(void* value) {
  data_ = value;
  if (TListView* lv = ListView(); lv && (lv->sortType_ == stData || lv->sortType_ == stBoth)) {
    lv->SortNow();
    lv->Invalidate();
  }
}

void TListItem::SetSelected(bool value) {
  if (TListView* lv = ListView()) lv->SelectItem(this, value);
  else selected_ = value;
}

bool TListItem::Focused() const { return ListView() && ListView()->focused_ == this; }

void TListItem::SetFocused(bool value) {
  if (TListView* lv = ListView()) {
    if (value) lv->SetItemFocused(this);
    else if (lv->focused_ == this) lv->SetItemFocused(nullptr);
  }
}

void TListItem::MakeVisible(bool) {
  TListView* lv = ListView();
  if (!lv) return;
  const TRect r = lv->ItemRect(this);
  TPoint to = lv->scroll_;
  const int top = lv->HeaderHeight();
  if (r.Top < top) to.y += r.Top - top;
  else if (r.Bottom > lv->ClientHeight()) to.y += r.Bottom - lv->ClientHeight();
  if (r.Left < 0) to.x += r.Left;
  else if (r.Right > lv->ClientWidth()) to.x += r.Right - lv->ClientWidth();
  lv->ScrollTo(to);
}

void TListItem::Delete() {
  if (owner_) owner_->Delete(Index());
}

TListItems::~TListItems() = default;

TListItem* TListItems::Add() { return Insert(Count()); }

TListItem* TListItems::Insert(int index) {
  if (index < 0 || index > Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  items_.insert(items_.begin() + index, std::make_unique<TListItem>(this));
  TListItem* item = items_[size_t(index)].get();
  // Sorting waits for the caption; the view relays out now.
  owner_->ItemsChanged();
  return item;
}

TListItem* TListItems::Item(int index) const {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return items_[size_t(index)].get();
}

int TListItems::IndexOf(const TListItem* item) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == item) return int(i);
  return -1;
}

void TListItems::Delete(int index) {
  TListItem* item = Item(index);
  owner_->ItemRemoved(item);
  items_.erase(items_.begin() + index);
  owner_->ItemsChanged();
}

void TListItems::Clear() {
  for (auto& item : items_) owner_->ItemRemoved(item.get());
  items_.clear();
  owner_->ItemsChanged();
}

void TListItems::BeginUpdate() { ++updateCount_; }

void TListItems::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) {
    owner_->SortNow();
    owner_->ItemsChanged();
  }
}

// ---- The view ------------------------------------------------------------------------

struct TListView::Geometry {
  TSize cell;
  int perLine = 1;          // cells per row (per column in the list view)
  bool columnMajor = false; // the list view fills columns top to bottom
  int header = 0;
  TSize content;
};

TListView::TListView(TComponent* AOwner)
    : TCustomControl(AOwner),
      items_(std::make_unique<TListItems>(this)),
      columns_(std::make_unique<TListColumns>(this)) {
  SetControlStyle(TControlStyle{csCaptureMouse, csClickEvents, csDoubleClicks});
  SetBounds(0, 0, 250, 150);
  SetTabStop(true);
  SetColor(clWindow);
  SetParentColor(false);
}

void TListView::FillCreateParams(TCreateParams& params) {
  TCustomControl::FillCreateParams(params);
  params.Style |= WS_HSCROLL | WS_VSCROLL;
  params.ExStyle |= WS_EX_CLIENTEDGE;
}

TListView::~TListView() {
  // Items and columns go while the view they report to still stands.
  items_.reset();
  columns_.reset();
}

void TListView::SetViewStyle(TViewStyle value) {
  viewStyle_ = value;
  scroll_ = {};
  ItemsChanged();
}

void TListView::SetMultiSelect(bool value) {
  multiSelect_ = value;
  // A single selection keeps only its first item.
  if (!value)
    if (TListItem* first = Selected()) SetSelected(first);
}

void TListView::SetHideSelection(bool value) {
  hideSelection_ = value;
  Invalidate();
}

void TListView::SetShowColumnHeaders(bool value) {
  showColumnHeaders_ = value;
  ItemsChanged();
}

void TListView::SetImageList(TCustomImageList*& slot, TCustomImageList* value) {
  if (slot && slot != largeImages_ && slot != smallImages_) RemoveFreeNotification(slot);
  slot = value;
  if (slot) FreeNotification(slot);
  ItemsChanged();
}

void TListView::SetLargeImages(TCustomImageList* value) { SetImageList(largeImages_, value); }
void TListView::SetSmallImages(TCustomImageList* value) { SetImageList(smallImages_, value); }

void TListView::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == largeImages_) largeImages_ = nullptr;
  if (AComponent == smallImages_) smallImages_ = nullptr;
  Invalidate();
}

void TListView::SetSortType(TSortType value) {
  sortType_ = value;
  SortNow();
  Invalidate();
}

void TListView::ItemsChanged() {
  if (!items_ || !columns_ || items_->updateCount_ > 0) return;
  UpdateScrollBars();
  Invalidate();
}

void TListView::ItemRemoved(TListItem* item) {
  if (focused_ == item) focused_ = nullptr;
  if (hot_ == item) hot_ = nullptr;
  anchor_ = -1;
}

// ---- Layout --------------------------------------------------------------------------

int TListView::HeaderHeight() const {
  if (viewStyle_ != vsReport || !showColumnHeaders_) return 0;
  Canvas()->SetFont(Font());
  return Canvas()->TextHeight("Wg") + 6;
}

TListView::Geometry TListView::Measure() const {
  Geometry g;
  TCanvas* c = Canvas();
  c->SetFont(Font());
  const int textH = c->TextHeight("Wg");
  const int n = items_->Count();
  int widest = 0;
  for (int i = 0; i < n && viewStyle_ != vsReport; ++i)
    widest = std::max(widest, c->TextWidth(items_->Item(i)->Caption()));
  const int smallW = smallImages_ ? smallImages_->Width() + kPictureGap : 0;
  const int rowH = std::max(textH, smallImages_ ? smallImages_->Height() : 0) + 2;
  switch (viewStyle_) {
    case vsReport: {
      int total = 0;
      for (int i = 0; i < columns_->Count(); ++i) total += columns_->Items(i)->Width();
      g.cell = {columns_->Count() ? total : ClientWidth(), rowH};
      g.header = HeaderHeight();
      break;
    }
    case vsIcon: {
      const int iconW = largeImages_ ? largeImages_->Width() : kStandardIcon;
      const int iconH = largeImages_ ? largeImages_->Height() : kStandardIcon;
      g.cell = {std::max(kMinIconCell, iconW + 2 * kIconPad), iconH + textH + kIconPad};
      break;
    }
    case vsSmallIcon:
    case vsList:
      g.cell = {std::max(kMinCell, widest + smallW + 4 * kLabelMargin), rowH};
      break;
  }
  g.columnMajor = viewStyle_ == vsList;
  if (viewStyle_ == vsReport) g.perLine = 1;
  else if (g.columnMajor) g.perLine = std::max(1, ClientHeight() / g.cell.cy);
  else g.perLine = std::max(1, ClientWidth() / g.cell.cx);
  const int lines = (n + g.perLine - 1) / g.perLine;
  if (g.columnMajor) g.content = {lines * g.cell.cx, g.perLine * g.cell.cy};
  else g.content = {g.perLine * g.cell.cx, g.header + lines * g.cell.cy};
  return g;
}

TRect TListView::CellRect(const Geometry& g, int index) const {
  const int line = index / g.perLine, at = index % g.perLine;
  const int col = g.columnMajor ? line : at, row = g.columnMajor ? at : line;
  const int x = col * g.cell.cx - scroll_.x, y = g.header + row * g.cell.cy - scroll_.y;
  return Rect(x, y, x + g.cell.cx, y + g.cell.cy);
}

TRect TListView::ItemRect(const TListItem* item) const {
  const int index = items_->IndexOf(item);
  return index < 0 ? TRect{} : CellRect(Measure(), index);
}

TListItem* TListView::GetItemAt(int X, int Y) const {
  const Geometry g = Measure();
  if (Y < g.header) return nullptr;
  for (int i = 0; i < items_->Count(); ++i)
    if (PtInRect(CellRect(g, i), {X, Y})) return items_->Item(i);
  return nullptr;
}

TListItem* TListView::TopItem() const {
  const Geometry g = Measure();
  for (int i = 0; i < items_->Count(); ++i) {
    const TRect r = CellRect(g, i);
    if (r.Bottom > g.header && r.Right > 0) return items_->Item(i);
  }
  return nullptr;
}

void TListView::Arrange(TListArrangement) {
  // The icons always stand in rows; arranging scrolls back to the first one.
  ScrollTo({0, 0});
  ItemsChanged();
}

void TListView::UpdateScrollBars() {
  if (!HandleAllocated()) return;
  const Geometry g = Measure();
  const TSize view = {ClientWidth(), ClientHeight()};
  for (int bar : {SB_HORZ, SB_VERT}) {
    const int content = bar == SB_HORZ ? g.content.cx : g.content.cy;
    const int page = bar == SB_HORZ ? view.cx : view.cy;
    TScrollInfo info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    // The list view scrolls sideways only; the others up and down (and the
    // report sideways too when its columns are wider than the view).
    const bool wanted = bar == SB_HORZ ? (g.columnMajor || viewStyle_ == vsReport) : !g.columnMajor;
    if (wanted && content > page) {
      info.nMax = content - 1;
      info.nPage = UINT(page);
      info.nPos = bar == SB_HORZ ? scroll_.x : scroll_.y;
    }
    SetScrollInfo(Handle(), bar, info, true);
  }
}

void TListView::ScrollTo(TPoint offset) {
  const Geometry g = Measure();
  offset.x = std::clamp(offset.x, 0, std::max(0, g.content.cx - ClientWidth()));
  offset.y = std::clamp(offset.y, 0, std::max(0, g.content.cy - ClientHeight()));
  if (offset.x == scroll_.x && offset.y == scroll_.y) return;
  scroll_ = offset;
  UpdateScrollBars();
  Invalidate();
}

void TListView::Resize() {
  ScrollTo(scroll_);
  UpdateScrollBars();
  TCustomControl::Resize();
}

void TListView::Dispatch(TMessage& m) {
  if (m.Msg != WM_VSCROLL && m.Msg != WM_HSCROLL) {
    TCustomControl::Dispatch(m);
    return;
  }
  const bool vertical = m.Msg == WM_VSCROLL;
  const Geometry g = Measure();
  const int line = vertical ? g.cell.cy : g.cell.cx;
  const int page = vertical ? ClientHeight() : ClientWidth();
  const int pos = ScrollRequestTarget(m.WParam, vertical ? scroll_.y : scroll_.x, line, page,
                                      vertical ? g.content.cy : g.content.cx);
  ScrollTo(vertical ? TPoint{scroll_.x, pos} : TPoint{pos, scroll_.y});
}

// ---- Selection -----------------------------------------------------------------------

void TListView::Change(TListItem* Item, TItemChange Change) {
  if (OnChange) OnChange(this, Item, Change);
}

void TListView::SelectItem(TListItem* item, bool value) {
  if (!item || item->selected_ == value) return;
  // A single selection lets go of the other item first.
  if (value && !multiSelect_)
    for (int i = 0; i < items_->Count(); ++i)
      if (TListItem* other = items_->Item(i); other != item && other->selected_) SelectItem(other, false);
  item->selected_ = value;
  Invalidate();
  const auto alive = Lifetime();
  Change(item, ctState);
  if (!alive.expired() && OnSelectItem) OnSelectItem(this, item, value);
}

TListItem* TListView::Selected() const { return GetNextSelected(nullptr); }

TListItem* TListView::GetNextSelected(TListItem* start) const {
  for (int i = start ? items_->IndexOf(start) + 1 : 0; i < items_->Count(); ++i)
    if (items_->Item(i)->selected_) return items_->Item(i);
  return nullptr;
}

void TListView::SetSelected(TListItem* item) {
  for (int i = 0; i < items_->Count(); ++i)
    if (items_->Item(i) != item) SelectItem(items_->Item(i), false);
  SelectItem(item, true);
}

void TListView::ClearSelection() { SetSelected(nullptr); }

void TListView::SelectAll() {
  if (!multiSelect_) return;
  for (int i = 0; i < items_->Count(); ++i) SelectItem(items_->Item(i), true);
}

int TListView::SelCount() const {
  int n = 0;
  for (int i = 0; i < items_->Count(); ++i) n += items_->Item(i)->selected_ ? 1 : 0;
  return n;
}

void TListView::SetItemFocused(TListItem* item) {
  if (item == focused_) return;
  TListItem* old = focused_;
  focused_ = item;
  Invalidate();
  if (old) Change(old, ctState);
  if (item) Change(item, ctState);
}

void TListView::ChooseByUser(int index, TShiftState shift) {
  TListItem* item = index >= 0 && index < items_->Count() ? items_->Item(index) : nullptr;
  if (!item) return;
  const bool extend = multiSelect_ && shift.Contains(ssShift);
  const bool toggle = multiSelect_ && shift.Contains(ssCtrl);
  if (extend) {
    const int from = anchor_ >= 0 ? anchor_ : index;
    for (int i = 0; i < items_->Count(); ++i)
      SelectItem(items_->Item(i), i >= std::min(from, index) && i <= std::max(from, index));
    anchor_ = from;
  } else if (toggle) {
    SelectItem(item, !item->selected_);
    anchor_ = index;
  } else {
    SetSelected(item);
    anchor_ = index;
  }
  SetItemFocused(item);
  item->MakeVisible(false);
}

TPoint TListView::KeyboardPopupPoint() const {
  const TListItem* item = ItemFocused() ? ItemFocused() : Selected();
  if (!item) return TCustomControl::KeyboardPopupPoint();
  const TRect r = ItemRect(item);
  return {r.Left, r.Bottom};
}

void TListView::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (CanFocus() && !Focused()) SetFocus();
  TListItem* item = GetItemAt(X, Y);
  if (Button == mbLeft) {
    // A click on no item lets go of the selection.
    if (item) ChooseByUser(item->Index(), Shift);
    else if (!Shift.Contains(ssCtrl) && !Shift.Contains(ssShift)) ClearSelection();
  } else if (Button == mbRight && item && !item->selected_) {
    // The item a context menu is about becomes the selection.
    ChooseByUser(item->Index(), {});
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TListView::MouseMove(TShiftState Shift, int X, int Y) {
  if (hotTrack_) {
    TListItem* item = GetItemAt(X, Y);
    if (item != hot_) {
      hot_ = item;
      Invalidate();
    }
  }
  TCustomControl::MouseMove(Shift, X, Y);
}

int TListView::KeyTarget(WORD key, int from) const {
  const Geometry g = Measure();
  const int last = items_->Count() - 1;
  // Steps of the arrows: along a line of cells and across the lines.
  const int along = 1, across = viewStyle_ == vsReport ? 0 : g.perLine;
  const bool rows = !g.columnMajor;  // icons run in rows, the list in columns
  const int page = std::max(1, (ClientHeight() - g.header) / g.cell.cy);
  int to = from;
  switch (key) {
    case VK_LEFT: to -= rows ? along : across; break;
    case VK_RIGHT: to += rows ? along : across; break;
    case VK_UP: to -= rows ? (viewStyle_ == vsReport ? along : across) : along; break;
    case VK_DOWN: to += rows ? (viewStyle_ == vsReport ? along : across) : along; break;
    case VK_HOME: to = 0; break;
    case VK_END: to = last; break;
    case VK_PRIOR: to -= page; break;
    case VK_NEXT: to += page; break;
    default: return -2;
  }
  if (viewStyle_ == vsReport && (key == VK_LEFT || key == VK_RIGHT)) return -2;
  return std::clamp(to, 0, last);
}

void TListView::KeyDown(WORD& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  if (Key == 0 || items_->Count() == 0) return;
  const int from = focused_ ? focused_->Index() : -1;
  int to = KeyTarget(Key, std::max(from, 0));
  // Without a focused item every move starts on the first one; End goes to the last.
  if (from < 0 && to >= 0 && Key != VK_END) to = 0;
  if (to >= 0) {
    if (multiSelect_ && Shift.Contains(ssCtrl) && !Shift.Contains(ssShift)) {
      SetItemFocused(items_->Item(to));  // Ctrl moves only the focus
      items_->Item(to)->MakeVisible(false);
    } else {
      ChooseByUser(to, Shift.Contains(ssShift) ? TShiftState{ssShift} : TShiftState{});
    }
    Key = 0;
  } else if (Key == VK_SPACE && focused_) {
    ChooseByUser(focused_->Index(), Shift.Contains(ssCtrl) ? TShiftState{ssCtrl} : TShiftState{});
    Key = 0;
  }
}

void TListView::DoEnter() {
  Invalidate();
  TCustomControl::DoEnter();
}

void TListView::DoExit() {
  Invalidate();
  TCustomControl::DoExit();
}

// ---- Sorting and finding -------------------------------------------------------------

bool TListView::CustomSort(const TLVCompare& compare, long data) {
  std::stable_sort(items_->items_.begin(), items_->items_.end(),
                   [&](const auto& a, const auto& b) { return compare(a.get(), b.get(), data) < 0; });
  ItemsChanged();
  return true;
}

bool TListView::AlphaSort() {
  return CustomSort(
      [this](TListItem* a, TListItem* b, long data) {
        int result = 0;
        if (OnCompare) OnCompare(this, a, b, int(data), result);
        else result = AnsiCompareStr(a->Caption(), b->Caption());
        return result;
      },
      0);
}

void TListView::SortNow() {
  if (sortType_ != stNone && items_ && items_->updateCount_ == 0) AlphaSort();
}

TListItem* TListView::FindCaption(int StartIndex, const std::string& Value, bool Partial,
                                  bool Inclusive, bool Wrap) const {
  const int n = items_->Count();
  const int first = std::max(0, Inclusive ? StartIndex : StartIndex + 1);
  for (int k = 0; k < n; ++k) {
    const int i = first + k;
    if (i >= n && !Wrap) break;
    TListItem* item = items_->Item(i % n);
    const std::string text = item->Caption();
    if (Partial ? AnsiStartsText(Value, text) : AnsiSameText(text, Value)) return item;
  }
  return nullptr;
}

TListItem* TListView::FindData(int StartIndex, void* Value, bool Inclusive, bool Wrap) const {
  const int n = items_->Count();
  const int first = std::max(0, Inclusive ? StartIndex : StartIndex + 1);
  for (int k = 0; k < n; ++k) {
    if (first + k >= n && !Wrap) break;
    if (TListItem* item = items_->Item((first + k) % n); item->Data() == Value) return item;
  }
  return nullptr;
}

// ---- Looks ---------------------------------------------------------------------------

void TListView::PaintItem(TListItem* item, const TRect& cell, const Geometry& g) {
  TCanvas* c = Canvas();
  c->SetFont(Font());
  const int textW = c->TextWidth(item->Caption()), textH = c->TextHeight("Wg");
  TRect label;
  const bool icon = viewStyle_ == vsIcon;
  TCustomImageList* images = icon ? largeImages_ : smallImages_;
  if (icon) {
    const int iconW = largeImages_ ? largeImages_->Width() : kStandardIcon;
    const int iconH = largeImages_ ? largeImages_->Height() : kStandardIcon;
    if (images && item->ImageIndex() >= 0 && item->ImageIndex() < images->Count())
      images->Draw(c, cell.Left + (cell.Width() - iconW) / 2, cell.Top + 2, item->ImageIndex(), Enabled());
    const int w = std::min(cell.Width(), textW + 2 * kLabelMargin);
    label = Rect(cell.Left + (cell.Width() - w) / 2, cell.Top + iconH + 4, 0, 0);
    label.Right = label.Left + w;
    label.Bottom = label.Top + textH;
  } else {
    int x = cell.Left + kLabelMargin;
    if (images) {
      if (item->ImageIndex() >= 0 && item->ImageIndex() < images->Count())
        images->Draw(c, x, cell.Top + (cell.Height() - images->Height()) / 2, item->ImageIndex(), Enabled());
      x += images->Width() + kPictureGap;
    }
    const int limit = viewStyle_ == vsReport && columns_->Count() ? cell.Left + columns_->Items(0)->Width() : cell.Right;
    label = Rect(x, cell.Top + (cell.Height() - textH) / 2, std::min(limit, x + textW + 2 * kLabelMargin), 0);
    label.Bottom = label.Top + textH;
  }
  // Selection shows in the highlight while focused; without the focus in the
  // button face when the selection is kept visible, else not at all.
  const bool shown = item->selected_ && (Focused() || !hideSelection_);
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(shown ? (Focused() ? clHighlight : clBtnFace) : Color());
  c->Font()->SetColor(shown && Focused() ? clHighlightText : clWindowText);
  if (hotTrack_ && item == hot_) {
    if (!shown) c->Font()->SetColor(clHighlight);
    c->Font()->SetStyle(c->Font()->Style() + TFontStyles{fsUnderline});
  }
  if (shown) c->FillRect(label);
  c->Brush()->SetStyle(bsClear);
  TRect text = label;
  if (!icon) text.Left += kLabelMargin;  // the highlight reaches past the text
  DrawText(c, item->Caption(), text,
           (icon ? DT_CENTER : DT_LEFT) | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  c->Brush()->SetStyle(bsSolid);
  if (Focused() && item == focused_) c->DrawFocusRect(label);
  if (viewStyle_ != vsReport) return;
  // Sub-items in the following columns, in the columns' alignment.
  c->SetFont(Font());
  c->Brush()->SetStyle(bsClear);
  int x = cell.Left + (columns_->Count() ? columns_->Items(0)->Width() : 0);
  for (int col = 1; col < columns_->Count() && col - 1 < item->SubItems()->Count(); ++col) {
    TListColumn* column = columns_->Items(col);
    TRect r = Rect(x + 2 * kLabelMargin, cell.Top, x + column->Width() - 2 * kLabelMargin, cell.Bottom);
    const uint32_t align = AlignmentFlags(column->Alignment());
    DrawText(c, item->SubItems()->Strings(col - 1), r, align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    x += column->Width();
  }
  c->Brush()->SetStyle(bsSolid);
  (void)g;
}

void TListView::PaintContent() {
  TCanvas* c = Canvas();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  const Geometry g = Measure();
  for (int i = 0; i < items_->Count(); ++i) {
    const TRect cell = CellRect(g, i);
    TRect visible;
    if (IntersectRect(visible, cell, Rect(0, g.header, ClientWidth(), ClientHeight())))
      PaintItem(items_->Item(i), cell, g);
  }
  if (g.header == 0) return;
  // The column headers: raised buttons with the captions.
  int x = -scroll_.x;
  c->SetFont(Font());
  for (int col = 0; col < columns_->Count(); ++col) {
    TListColumn* column = columns_->Items(col);
    TRect r = Rect(x, 0, x + column->Width(), g.header);
    c->Brush()->SetColor(clBtnFace);
    c->FillRect(r);
    DrawEdge(c, r, EDGE_RAISED, BF_RECT | BF_ADJUST);
    InflateRect(r, -kLabelMargin, 0);
    const uint32_t align = AlignmentFlags(column->Alignment());
    c->Brush()->SetStyle(bsClear);
    DrawText(c, column->Caption(), r, align | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    c->Brush()->SetStyle(bsSolid);
    x += column->Width();
  }
  c->Brush()->SetColor(clBtnFace);
  if (x < ClientWidth()) c->FillRect(Rect(x, 0, ClientWidth(), g.header));
}

PUBLISHED(TListView) {
  PROP_OBJ(Columns, Columns, SetColumns);
  PROP_ENUM(ViewStyle, ViewStyle, SetViewStyle, vsIcon);
  PROP_BOOL(MultiSelect, MultiSelect, SetMultiSelect, false);
  PROP_BOOL(HideSelection, HideSelection, SetHideSelection, true);
  PROP_BOOL(HotTrack, HotTrack, SetHotTrack, false);
  PROP_BOOL(ReadOnly, ReadOnly, SetReadOnly, false);
  PROP_BOOL(ShowColumnHeaders, ShowColumnHeaders, SetShowColumnHeaders, true);
  PROP_ENUM(SortType, SortType, SetSortType, stNone);
  PROP_DEFAULT(Color, clWindow);
  PROP_DEFAULT(ParentColor, false);
  PROP_DEFAULT(TabStop, true);
  PROP_EVENT(OnSelectItem);
  PROP_EVENT(OnChange);
  PROP_EVENT(OnCompare);
}
