#include "winctrls/tb97drag.h"

#include <algorithm>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/menus/menus.h"

IMPLEMENT_CLASS(TDock97, TCustomControl)
IMPLEMENT_CLASS(TFloatParent, TWinControl)
IMPLEMENT_CLASS(TToolWindow97, TCustomControl)
IMPLEMENT_CLASS(TToolbarSep97, TGraphicControl)

using namespace tb97;


// ---- TDock97 ----------------------------------------------------------------

TDock97::TDock97(TComponent* AOwner)
    : TCustomControl(tb97::OwnerForm(AOwner, "TDock97")), background_(std::make_unique<TBitmap>()) {
  background_->OnChange = [this](TObject*) { BackgroundChanged(); };
  BeginArrange();
  SetControlStyle({csAcceptsControls, csNoStdEvents, csSetCaption, csDoubleClicks});
  SetColor(clBtnFace);
  SetAlign(alTop);
  EndArrange();
  ArrangeToolbars();
}

TDock97::~TDock97() { background_->OnChange = nullptr; }

void TDock97::SetBackground(const TBitmap* value) { background_->Assign(value); }

void TDock97::SetBackgroundTransparent(bool value) {
  if (value == backgroundTransparent_) return;
  backgroundTransparent_ = value;
  BackgroundChanged();
}

// The cached copy goes; the dock and its bars paint again.
void TDock97::BackgroundChanged() {
  transparentCopy_.reset();
  Invalidate();
  for (int i = 0; i < ControlCount(); ++i) Controls(i)->Invalidate();
}

void TDock97::DrawBackground(TCanvas* c, const TRect& clip, TPoint origin) {
  if (background_->Empty()) return;
  TBitmap* tile = background_.get();
  const int w = tile->Width(), h = tile->Height();
  if (backgroundTransparent_) {
    if (!transparentCopy_) {
      transparentCopy_ = std::make_unique<TBitmap>();
      transparentCopy_->SetSize(w, h);
      TCanvas* tc = transparentCopy_->Canvas();
      tc->Brush()->SetColor(Color());
      tc->BrushCopy(Rect(0, 0, w, h), tile, Rect(0, 0, w, h), tile->Canvas()->Pixels(0, h - 1));
    }
    tile = transparentCopy_.get();
  }
  // The first tile at or before the clip's top-left, in steps of the tile size.
  auto start = [](int o, int edge, int size) { return edge - (((edge - o) % size) + size) % size; };
  for (int y = start(origin.y, clip.Top, h); y < clip.Bottom; y += h)
    for (int x = start(origin.x, clip.Left, w); x < clip.Right; x += w) {
      TRect part;
      if (!IntersectRect(part, Bounds(x, y, w, h), clip)) continue;
      TRect src = part;
      OffsetRect(src, -x, -y);
      c->CopyRect(part, tile->Canvas(), src);
    }
}

void TDock97::SetPosition(TDockPosition value) {
  if (value == position_) return;
  if (ControlCount() > 0)
    throw EInvalidOperation("Cannot change Position of a TDock97 if it already contains controls");
  position_ = value;
  static constexpr TAlign kAlign[] = {alTop, alBottom, alLeft, alRight};
  SetAlign(kAlign[value]);
  ArrangeToolbars();
}

void TDock97::SetAllowDrag(bool value) {
  if (value == allowDrag_) return;
  allowDrag_ = value;
  // The drag handle comes or goes: every bar re-lays out its controls.
  for (int i = 0; i < ControlCount(); ++i)
    if (auto* bar = dynamic_cast<TToolWindow97*>(Controls(i))) {
      bar->Invalidate();
      bar->ArrangeControls();
    }
}

void TDock97::SetBoundLines(TDockBoundLines value) {
  if (value == boundLines_) return;
  boundLines_ = value;
  FrameChanged();
}

void TDock97::SetFixAlign(bool value) {
  if (value == fixAlign_) return;
  fixAlign_ = value;
  ArrangeToolbars();
}

void TDock97::SetParent(TWinControl* AParent) {
  if (dynamic_cast<TToolWindow97*>(AParent) || dynamic_cast<TDock97*>(AParent))
    throw EInvalidOperation(
        "A TDock97 control cannot be placed inside a TToolWindow97 or another TDock97");
  TCustomControl::SetParent(AParent);
}

void TDock97::VisibleChanging() {
  if (Visible()) throw EInvalidOperation("Cannot hide a TDock97");
}

void TDock97::Loaded() {
  TCustomControl::Loaded();
  ArrangeToolbars();
}

void TDock97::ArrangeChildren(TControl*, TRect&) { ArrangeToolbars(); }

void TDock97::ChangeDockList(bool insert, TToolWindow97* bar, bool isVisible) {
  const auto it = std::find(dockList_.begin(), dockList_.end(), bar);
  const bool was = it != dockList_.end();
  if (was) dockList_.erase(it);
  const bool now = insert && isVisible;
  if (now) dockList_.push_back(bar);
  // A bar shown again after a move is already listed: nothing to tell.
  if (was == now) return;
  ArrangeToolbars();
  bar->ArrangeControls();
  if (OnInsertRemoveBar) OnInsertRemoveBar(this, insert, bar);
}

int TDock97::GetHighestRow() const {
  int highest = -1;
  for (const TToolWindow97* bar : dockList_) highest = std::max(highest, bar->DockRow());
  return highest;
}

DockedSize TDock97::GetRowSize(int row, const TToolWindow97* bar) const {
  if (row >= 0 && row < int(rowSizes_.size())) {
    // The row's thickness from its bars as they measure now, so a bar that
    // just grew widens its row before the next arrangement.
    DockedSize d;
    for (const TToolWindow97* b : dockList_)
      if (b->DockRow() == row) {
        d.tbThickness = std::max(d.tbThickness, b->DockedSize().tbThickness);
        d.lrThickness = std::max(d.lrThickness, b->DockedSize().lrThickness);
      }
    return d;
  }
  return bar ? bar->DockedSize() : DockedSize{0, 0};
}

std::vector<int> TDock97::RowSizesAcross() const {
  std::vector<int> sizes;
  for (const DockedSize& r : rowSizes_) sizes.push_back(r.Size(Vertical()));
  return sizes;
}

int TDock97::RowAt(int pos) const { return tb97::RowAt(RowSizesAcross(), pos); }

int TDock97::RowAtForDrop(int pos, bool& newRow) const {
  return tb97::RowAtForDrop(RowSizesAcross(), pos, newRow);
}

void TDock97::InsertRowBefore(int row) {
  for (TToolWindow97* bar : dockList_)
    if (bar->DockRow() >= row) bar->dockRow_ += 1;
}

void TDock97::ArrangeToolbars() {
  if (disableArrange_ > 0 || Loading(this) || BeingDestroyed(this)) return;
  ++disableArrange_;  // setting the bars' bounds asks the dock to realign
  const bool vertical = Vertical();
  std::vector<DockSlot> slots;
  for (size_t i = 0; i < dockList_.size(); ++i) {
    const TToolWindow97* bar = dockList_[i];
    slots.push_back({bar->dockRow_, bar->dockPos_, vertical ? bar->Height() : bar->Width(),
                     bar->DockedSize(), int(i)});
  }
  const DockArrangement a =
      ArrangeDock(slots, vertical, limitToOneRow_, vertical ? ClientHeight() : ClientWidth());
  rowSizes_ = a.rows;
  std::vector<TToolWindow97*> sorted;
  for (const DockSlot& s : slots) {
    TToolWindow97* bar = dockList_[size_t(s.id)];
    sorted.push_back(bar);
    bar->dockRow_ = s.row;
    bar->dockPos_ = s.pos;
    ++bar->arranging_;
    if (vertical) bar->SetBounds(s.rowOffset, s.pos, s.rowSize, bar->Height());
    else bar->SetBounds(s.pos, s.rowOffset, bar->Width(), s.rowSize);
    --bar->arranging_;
  }
  dockList_ = sorted;
  // An empty dock keeps one pixel when it must hold its place in the alignment.
  ResizeTo(slots.empty() ? (fixAlign_ ? 1 : 0) : a.thickness);
  --disableArrange_;
}

void TDock97::ResizeTo(int clientThickness) {
  const TRect nc = NonClientMargins();
  const bool vertical = Vertical();
  const int w = vertical ? clientThickness + nc.Left + nc.Right : Width();
  const int h = vertical ? Height() : clientThickness + nc.Top + nc.Bottom;
  switch (Align()) {
    case alTop: case alLeft: SetBounds(Left(), Top(), w, h); break;
    case alBottom: SetBounds(Left(), Top() + Height() - h, w, h); break;
    case alRight: SetBounds(Left() + Width() - w, Top(), w, h); break;
    default: break;
  }
}

void TDock97::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_CONTROLLISTCHANGE: {
      // A bar freed while docked leaves the list before it is gone; the
      // others close up once it has left (CM_CONTROLCHANGE).
      const auto* c = reinterpret_cast<const TControl*>(m.WParam);
      if (!m.LParam)
        std::erase_if(dockList_, [c](TToolWindow97* b) { return static_cast<TControl*>(b) == c; });
      TCustomControl::Dispatch(m);
      return;
    }
    case CM_CONTROLCHANGE:
      TCustomControl::Dispatch(m);
      if (!m.LParam) ArrangeToolbars();
      return;
    case WM_NCCALCSIZE: {
      TCustomControl::Dispatch(m);
      TRect& r = reinterpret_cast<TNCCalcSizeParams*>(m.LParam)->rgrc[0];
      if (r.Width() > 1 && r.Height() > 1) {
        if (boundLines_.Contains(blTop)) ++r.Top;
        if (boundLines_.Contains(blBottom)) --r.Bottom;
        if (boundLines_.Contains(blLeft)) ++r.Left;
        if (boundLines_.Contains(blRight)) --r.Right;
      }
      return;
    }
    case WM_NCPAINT: {
      auto* dc = reinterpret_cast<TCanvas*>(m.WParam);
      const int w = Width(), h = Height();
      if (!dc || w < 2 || h < 2) return;
      auto line = [dc](TColor c, int x1, int y1, int x2, int y2) { DrawLine(dc, c, x1, y1, x2, y2); };
      if (boundLines_.Contains(blTop)) line(clBtnShadow, 0, 0, w, 0);
      if (boundLines_.Contains(blBottom)) line(clBtnHighlight, 0, h - 1, w, h - 1);
      if (boundLines_.Contains(blLeft)) line(clBtnShadow, 0, 0, 0, h);
      if (boundLines_.Contains(blRight)) line(clBtnHighlight, w - 1, 0, w - 1, h);
      return;
    }
    default:
      TCustomControl::Dispatch(m);
  }
}

void TDock97::PaintContent() {
  Canvas()->Brush()->SetColor(Color());
  Canvas()->FillRect(ClientRect());
  // From the window's origin, so the bars (which tile from the same point) continue it.
  const TRect nc = NonClientMargins();
  DrawBackground(Canvas(), ClientRect(), {-nc.Left, -nc.Top});
}

PUBLISHED(TDock97) {
  PROP_ENUM(Position, Position, SetPosition, dpTop);
  PROP_BOOL(AllowDrag, AllowDrag, SetAllowDrag, true);
  PROP_SET(BoundLines, BoundLines, SetBoundLines, TDockBoundLines{});
  PROP_BOOL(FixAlign, FixAlign, SetFixAlign, false);
  PROP_BOOL(LimitToOneRow, LimitToOneRow, SetLimitToOneRow, false);
  PROP_OBJ(Background, Background, SetBackground);
  PROP_BOOL(BackgroundTransparent, BackgroundTransparent, SetBackgroundTransparent, false);
  PROP_DEFAULT(Color, clBtnFace);
  PROP_POPUP_MENU();
  PROP_EVENT(OnInsertRemoveBar);
}
