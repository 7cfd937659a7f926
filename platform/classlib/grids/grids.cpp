// The grid's shape, geometry, scrolling and painting.

#include "platform/classlib/grids/grids.h"
#include "platform/classlib/grids/gridaxis.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/classlib/controls/timer.h"
#include "platform/classlib/graphics/drawing.h"

IMPLEMENT_CLASS(TInplaceEdit, TCustomEdit)
IMPLEMENT_CLASS(TCustomGrid, TCustomControl)
IMPLEMENT_CLASS(EInvalidGridOperation, Exception)

// Published so that form definitions place grids and code reads them by name.
// The counts come before the fixed counts: a stream sets them in this order.
PUBLISHED(TCustomGrid) {
  PROP_INT(ColCount, ColCount, SetColCount, 5);
  PROP_INT(RowCount, RowCount, SetRowCount, 5);
  PROP_INT(FixedCols, FixedCols, SetFixedCols, 1);
  PROP_INT(FixedRows, FixedRows, SetFixedRows, 1);
  PROP_INT(DefaultColWidth, DefaultColWidth, SetDefaultColWidth, 64);
  PROP_INT(DefaultRowHeight, DefaultRowHeight, SetDefaultRowHeight, 24);
  PROP_BOOL(DefaultDrawing, DefaultDrawing, SetDefaultDrawing, true);
  PROP_INT(GridLineWidth, GridLineWidth, SetGridLineWidth, 1);
  PROP_COLOR(FixedColor, FixedColor, SetFixedColor, clBtnFace);
  PROP_SET(Options, Options, SetOptions,
           (TGridOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect}));
  PROP_ENUM(ScrollBars, ScrollBars, SetScrollBars, ssBoth);
  PROP_ENUM(BorderStyle, BorderStyle, SetBorderStyle, bsSingle);
  PROP_DEFAULT(TabStop, true);
  PROP_DEFAULT(Color, clWindow);
  PROP_DEFAULT(ParentColor, false);
}

void CheckGridIndex(bool ok) {
  if (!ok) throw EInvalidGridOperation("Grid index out of range");
}

TCustomGrid::TCustomGrid(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle({csCaptureMouse, csOpaque, csDoubleClicks, csClickEvents});
  options_ = {goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
  colWidths_.assign(5, defaultColWidth_);
  rowHeights_.assign(5, defaultRowHeight_);
  tabStops_.assign(5, true);
  SetParentColor(false);
  SetColor(clWindow);
  SetTabStop(true);
  SetBounds(0, 0, 320, 120);
}

TCustomGrid::~TCustomGrid() {
  // The editor outlives this body (owned components go last): it must not call back.
  if (editor_) editor_->SetGrid(nullptr);
}

TCustomGrid::Axis TCustomGrid::ColAxis() const {
  return {&colWidths_, fixedCols_, topLeft_.X, gridLineWidth_, ClientWidth()};
}
TCustomGrid::Axis TCustomGrid::RowAxis() const {
  return {&rowHeights_, fixedRows_, topLeft_.Y, gridLineWidth_, ClientHeight()};
}

// ---- Shape ---------------------------------------------------------------------------

void TCustomGrid::ChangeSize(int newColCount, int newRowCount) {
  // At least one scrollable cell each way stays, as the fixed ones never scroll.
  CheckGridIndex(newColCount > fixedCols_ && newRowCount > fixedRows_);
  const int oldCols = ColCount(), oldRows = RowCount();
  if (newColCount == oldCols && newRowCount == oldRows) return;
  HideEditor();
  colWidths_.resize(size_t(newColCount), defaultColWidth_);
  tabStops_.resize(size_t(newColCount), true);
  rowHeights_.resize(size_t(newRowCount), defaultRowHeight_);
  const auto clampCell = [&](TGridCoord& c) {
    c.X = std::min(c.X, newColCount - 1);
    c.Y = std::min(c.Y, newRowCount - 1);
  };
  clampCell(current_);
  clampCell(anchor_);
  clampCell(topLeft_);
  SizeChanged(oldCols, oldRows);
  MoveTopLeft(topLeft_.X, topLeft_.Y);
  UpdateScrollRange();
  Invalidate();
}

void TCustomGrid::SetColCount(int value) { ChangeSize(value, RowCount()); }
void TCustomGrid::SetRowCount(int value) { ChangeSize(ColCount(), value); }

// The current cell, its anchor and the view start keep off the fixed cells.
void TCustomGrid::SetFixed(int& fixed, int value, int count, int TGridCoord::*axis) {
  CheckGridIndex(value >= 0 && value < count);
  fixed = value;
  current_.*axis = anchor_.*axis = std::max(current_.*axis, value);
  topLeft_.*axis = std::max(topLeft_.*axis, value);
  MoveTopLeft(topLeft_.X, topLeft_.Y);
  UpdateScrollRange();
  Invalidate();
}

void TCustomGrid::SetFixedCols(int value) { SetFixed(fixedCols_, value, ColCount(), &TGridCoord::X); }
void TCustomGrid::SetFixedRows(int value) { SetFixed(fixedRows_, value, RowCount(), &TGridCoord::Y); }

void TCustomGrid::SetDefaultColWidth(int value) {
  CheckGridIndex(value >= 0);
  defaultColWidth_ = value;
  std::fill(colWidths_.begin(), colWidths_.end(), value);
  ColWidthsChanged();
}

void TCustomGrid::SetDefaultRowHeight(int value) {
  CheckGridIndex(value >= 0);
  defaultRowHeight_ = value;
  std::fill(rowHeights_.begin(), rowHeights_.end(), value);
  RowHeightsChanged();
}

int TCustomGrid::ColWidths(int index) const {
  CheckGridIndex(index >= 0 && index < ColCount());
  return colWidths_[size_t(index)];
}
int TCustomGrid::RowHeights(int index) const {
  CheckGridIndex(index >= 0 && index < RowCount());
  return rowHeights_[size_t(index)];
}

void TCustomGrid::ResizeLine(std::vector<int>& sizes, int index, int value, bool cols) {
  CheckGridIndex(index >= 0 && index < int(sizes.size()) && value >= 0);
  if (sizes[size_t(index)] == value) return;
  sizes[size_t(index)] = value;
  if (cols) ColWidthsChanged();
  else RowHeightsChanged();
}
void TCustomGrid::SetColWidths(int index, int value) { ResizeLine(colWidths_, index, value, true); }
void TCustomGrid::SetRowHeights(int index, int value) {
  ResizeLine(rowHeights_, index, value, false);
}

bool TCustomGrid::TabStops(int index) const {
  CheckGridIndex(index >= 0 && index < ColCount());
  return tabStops_[size_t(index)];
}
void TCustomGrid::SetTabStops(int index, bool value) {
  CheckGridIndex(index >= 0 && index < ColCount());
  tabStops_[size_t(index)] = value;
}

void TCustomGrid::SetGridLineWidth(int value) {
  CheckGridIndex(value >= 0);
  gridLineWidth_ = value;
  ColWidthsChanged();
}

void TCustomGrid::ColWidthsChanged() {
  UpdateScrollRange();
  UpdateEdit();
  Invalidate();
}
void TCustomGrid::RowHeightsChanged() {
  UpdateScrollRange();
  UpdateEdit();
  Invalidate();
}

void TCustomGrid::SetOptions(TGridOptions value) {
  if (value == options_) return;
  options_ = value;
  if (options_.Contains(goRowSelect)) options_.Exclude(goAlwaysShowEditor);
  if (!options_.Contains(goEditing) || options_.Contains(goRowSelect)) HideEditor();
  if (options_.Contains(goAlwaysShowEditor) && options_.Contains(goEditing)) SetEditorMode(true);
  if (options_.Contains(goRowSelect)) anchor_ = current_;
  Invalidate();
}

void TCustomGrid::SetScrollBars(TScrollStyle value) {
  if (value == scrollBars_) return;
  scrollBars_ = value;
  if (HandleAllocated()) RecreateWnd();
}

void TCustomGrid::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  if (HandleAllocated()) RecreateWnd();
}

void TCustomGrid::SetFixedColor(TColor value) {
  fixedColor_ = value;
  Invalidate();
}

void TCustomGrid::FillCreateParams(TCreateParams& params) {
  TCustomControl::FillCreateParams(params);
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) params.Style |= WS_VSCROLL;
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) params.Style |= WS_HSCROLL;
  if (borderStyle_ == bsSingle) params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomGrid::CreateWnd() {
  TCustomControl::CreateWnd();
  UpdateScrollRange();
}

// ---- Geometry ------------------------------------------------------------------------

int TCustomGrid::VisibleColCount() const {
  const Axis a = ColAxis();
  return std::max(0, a.LastFullVisible() - a.first + 1);
}
int TCustomGrid::VisibleRowCount() const {
  const Axis a = RowAxis();
  return std::max(0, a.LastFullVisible() - a.first + 1);
}

TRect TCustomGrid::BoxRect(int ALeft, int ATop, int ARight, int ABottom) const {
  TRect r;
  if (!ColAxis().Span(ALeft, ARight, r.Left, r.Right) ||
      !RowAxis().Span(ATop, ABottom, r.Top, r.Bottom))
    return {};
  return r;
}

TRect TCustomGrid::CellRect(int ACol, int ARow) const { return BoxRect(ACol, ARow, ACol, ARow); }

TGridCoord TCustomGrid::MouseCoord(int X, int Y) const {
  TGridCoord c{ColAxis().CellAt(X), RowAxis().CellAt(Y)};
  if (c.X < 0 || c.Y < 0) return {-1, -1};
  return c;
}

TGridRect TCustomGrid::Selection() const {
  TGridRect r{std::min(anchor_.X, current_.X), std::min(anchor_.Y, current_.Y),
              std::max(anchor_.X, current_.X), std::max(anchor_.Y, current_.Y)};
  if (options_.Contains(goRowSelect)) {
    r.Left = fixedCols_;
    r.Right = ColCount() - 1;
  }
  return r;
}

void TCustomGrid::SetSelection(const TGridRect& value) {
  const TGridRect old = Selection();
  anchor_ = {value.Left, value.Top};
  current_ = {value.Right, value.Bottom};
  InvalidateRange(old);
  InvalidateRange(Selection());
  ClampInView(current_);
}

// ---- Invalidation --------------------------------------------------------------------

void TCustomGrid::InvalidateRange(const TGridRect& g) {
  if (!HandleAllocated()) return;
  TRect r = BoxRect(g.Left, g.Top, g.Right, g.Bottom);
  if (IsRectEmpty(r)) return;
  // The grid lines right of and below the cells belong to them.
  r.Right += gridLineWidth_;
  r.Bottom += gridLineWidth_;
  InvalidateRect(r);
}

void TCustomGrid::InvalidateCell(int ACol, int ARow) { InvalidateRange({ACol, ARow, ACol, ARow}); }
void TCustomGrid::InvalidateRow(int ARow) { InvalidateRange({0, ARow, ColCount() - 1, ARow}); }
void TCustomGrid::InvalidateCol(int ACol) { InvalidateRange({ACol, 0, ACol, RowCount() - 1}); }

// ---- Scrolling -----------------------------------------------------------------------

void TCustomGrid::MoveTopLeft(int ALeft, int ATop) {
  const Axis cols = ColAxis(), rows = RowAxis();
  ALeft = std::clamp(ALeft, fixedCols_, std::max(fixedCols_, cols.MaxFirst()));
  ATop = std::clamp(ATop, fixedRows_, std::max(fixedRows_, rows.MaxFirst()));
  if (ALeft == topLeft_.X && ATop == topLeft_.Y) return;
  const TGridCoord old = topLeft_;
  topLeft_ = {ALeft, ATop};
  ScrollData(old);
  UpdateScrollPos();
  UpdateEdit();
  TopLeftChanged();
}

void TCustomGrid::TopLeftChanged() {}

// Moves the pixels of the scrollable area so that only the uncovered cells
// are painted; a move of a whole view or both ways at once repaints all.
void TCustomGrid::ScrollData(TGridCoord old) {
  if (!HandleAllocated()) return;
  const auto distance = [](const Axis& a, int from, int to) {
    int d = 0;
    for (int i = std::min(from, to); i < std::max(from, to); ++i) d += a.Extent(i) + a.line;
    return from < to ? -d : d;
  };
  const Axis cols = ColAxis(), rows = RowAxis();
  const int dx = distance(cols, old.X, topLeft_.X), dy = distance(rows, old.Y, topLeft_.Y);
  if ((dx && dy) || std::abs(dx) >= cols.client || std::abs(dy) >= rows.client) {
    Invalidate();
    return;
  }
  TRect area = ClientRect();
  if (dx) area.Left = cols.FixedBoundary();
  else area.Top = rows.FixedBoundary();
  ScrollWindowEx(this, dx, dy, &area, &area, nullptr, SW_INVALIDATE);
}

void TCustomGrid::ClampInView(TGridCoord cell) {
  if (!HandleAllocated()) return;
  const Axis cols = ColAxis(), rows = RowAxis();
  TGridCoord tl = topLeft_;
  const auto clampAxis = [](const Axis& a, int cell, int& first) {
    if (cell < a.fixed) return;
    if (cell < first) {
      first = cell;
      return;
    }
    // Step forward until the cell ends inside the client extent.
    Axis moved = a;
    while (moved.first < cell && moved.LastFullVisible() < cell) ++moved.first;
    first = moved.first;
  };
  // A selected row has no current column to bring into view.
  if (!options_.Contains(goRowSelect)) clampAxis(cols, cell.X, tl.X);
  clampAxis(rows, cell.Y, tl.Y);
  MoveTopLeft(tl.X, tl.Y);
}

void TCustomGrid::UpdateScrollRange() {
  if (!HandleAllocated()) return;
  const auto set = [&](int bar, int fixed, int count, int page) {
    TScrollInfo info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    const bool need = page < count - fixed;
    info.nMin = fixed;
    info.nMax = need ? count - 1 : fixed;
    info.nPage = UINT(need ? std::max(1, page) : 0);
    info.nPos = bar == SB_VERT ? topLeft_.Y : topLeft_.X;
    SetScrollInfo(this, bar, info, true);
  };
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth)
    set(SB_VERT, fixedRows_, RowCount(), VisibleRowCount());
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth)
    set(SB_HORZ, fixedCols_, ColCount(), VisibleColCount());
}

void TCustomGrid::UpdateScrollPos() {
  if (!HandleAllocated()) return;
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth)
    SetScrollPos(this, SB_VERT, topLeft_.Y, true);
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth)
    SetScrollPos(this, SB_HORZ, topLeft_.X, true);
}

void TCustomGrid::ModifyScrollBar(int bar, int code, int pos) {
  const bool vert = bar == SB_VERT;
  const int first = vert ? topLeft_.Y : topLeft_.X;
  const int page = std::max(1, vert ? VisibleRowCount() : VisibleColCount());
  const int last = vert ? RowCount() - 1 : ColCount() - 1;
  int next = first;
  switch (code) {
    case SB_LINEUP: next = first - 1; break;
    case SB_LINEDOWN: next = first + 1; break;
    case SB_PAGEUP: next = first - page; break;
    case SB_PAGEDOWN: next = first + page; break;
    case SB_TOP: next = 0; break;
    case SB_BOTTOM: next = last; break;
    case SB_THUMBTRACK:
      // Without thumb tracking the view waits for the thumb to be let go.
      if (!options_.Contains(goThumbTracking)) return;
      next = pos;
      break;
    case SB_THUMBPOSITION: next = pos; break;
    default: return;
  }
  if (vert) MoveTopLeft(topLeft_.X, next);
  else MoveTopLeft(next, topLeft_.Y);
}

// ---- Painting ------------------------------------------------------------------------

void TCustomGrid::PaintLines(const Axis& cols, const Axis& rows, const TRect& clip) {
  const int lw = gridLineWidth_;
  if (lw <= 0) return;
  TCanvas* c = Canvas();
  const int colsFB = cols.FixedBoundary(), rowsFB = rows.FixedBoundary();
  const int right = cols.GridBoundary(), bottom = rows.GridBoundary();
  const auto line = [&](const TRect& r, bool on, TColor color) {
    TRect hit;
    if (!on || !IntersectRect(hit, r, clip)) return;
    c->Brush()->SetColor(color);
    c->FillRect(hit);
  };
  // Fixed lines are black; the lines between scrollable cells are silver.
  const bool fixedV = options_.Contains(goFixedVertLine), fixedH = options_.Contains(goFixedHorzLine);
  for (int i = cols.Begin(), x = 0; i < cols.Count() && x < cols.client; i = cols.Next(i)) {
    x += cols.Extent(i);
    const bool fixedCol = i < cols.fixed;
    line({x, 0, x + lw, rowsFB}, fixedV, clBlack);
    line({x, rowsFB, x + lw, bottom}, fixedCol ? fixedV : options_.Contains(goVertLine),
         fixedCol ? clBlack : clSilver);
    x += lw;
  }
  for (int i = rows.Begin(), y = 0; i < rows.Count() && y < rows.client; i = rows.Next(i)) {
    y += rows.Extent(i);
    const bool fixedRow = i < rows.fixed;
    line({0, y, colsFB, y + lw}, fixedH, clBlack);
    line({colsFB, y, right, y + lw}, fixedRow ? fixedH : options_.Contains(goHorzLine),
         fixedRow ? clBlack : clSilver);
    y += lw;
  }
}

void TCustomGrid::Paint() {
  TCanvas* c = Canvas();
  TRect clip;
  if (!IntersectRect(clip, c->ClipRect(), ClientRect())) return;
  const Axis cols = ColAxis(), rows = RowAxis();
  const TGridRect sel = Selection();
  const bool focused = Focused() || (editor_ && editor_->Focused());
  const bool focusSelected = options_.Contains(goDrawFocusSelected) || options_.Contains(goRowSelect);
  c->SetFont(Font());
  const TColor textColor = Font()->Color();
  // One fill gives every plain cell and what lies past the last cells their
  // background; cells of other colours are filled one by one.
  c->Brush()->SetColor(Color());
  c->FillRect(clip);
  // Lines first: a cell that frames itself draws its edges over them.
  PaintLines(cols, rows, clip);
  c->Brush()->SetColor(Color());
  const uint32_t edgeBR = (options_.Contains(goFixedVertLine) ? BF_RIGHT : 0) |
                          (options_.Contains(goFixedHorzLine) ? BF_BOTTOM : 0);
  const uint32_t edgeTL = (options_.Contains(goFixedVertLine) ? BF_LEFT : 0) |
                          (options_.Contains(goFixedHorzLine) ? BF_TOP : 0);
  int y = 0;
  for (int r = rows.Begin(); r < rows.Count() && y < clip.Bottom; r = rows.Next(r)) {
    const int h = rows.Extent(r);
    if (y + h > clip.Top) {
      int x = 0;
      for (int col = cols.Begin(); col < cols.Count() && x < clip.Right; col = cols.Next(col)) {
        const int w = cols.Extent(col);
        if (x + w > clip.Left) {
          const TRect cell{x, y, x + w, y + h};
          TGridDrawState state;
          const bool fixed = col < fixedCols_ || r < fixedRows_;
          if (fixed) state.Include(gdFixed);
          else {
            if (col == current_.X && r == current_.Y && focused) state.Include(gdFocused);
            if (col >= sel.Left && col <= sel.Right && r >= sel.Top && r <= sel.Bottom)
              state.Include(gdSelected);
          }
          if (defaultDrawing_) {
            const bool highlight = state.Contains(gdSelected) &&
                                   (!(col == current_.X && r == current_.Y) || focusSelected);
            const TColor back = fixed ? fixedColor_ : highlight ? clHighlight : Color();
            c->Brush()->SetColor(back);
            const TColor fc = highlight ? clHighlightText : textColor;
            if (c->Font()->Color() != fc) c->Font()->SetColor(fc);
            if (back != Color()) c->FillRect(cell);
          }
          DrawCell(col, r, cell, state);
          if (defaultDrawing_ && fixed) {
            TRect edge = cell;
            DrawEdge(c, edge, BDR_RAISEDINNER, edgeBR);
            DrawEdge(c, edge, BDR_RAISEDINNER, edgeTL);
          }
        }
        x += w + gridLineWidth_;
      }
    }
    y += h + gridLineWidth_;
  }
  // The focus rectangle, unless the editor stands over the cell.
  if (defaultDrawing_ && focused && !(editor_ && editor_->Visible())) {
    const TRect f = options_.Contains(goRowSelect)
                        ? BoxRect(fixedCols_, current_.Y, ColCount() - 1, current_.Y)
                        : CellRect(current_.X, current_.Y);
    if (!IsRectEmpty(f)) {
      c->Font()->SetColor(textColor);
      c->Brush()->SetColor(Color());
      c->DrawFocusRect(f);
    }
  }
}

// ---- Messages ------------------------------------------------------------------------

void TCustomGrid::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_ERASEBKGND:
      m.Result = 1;  // Paint covers the whole client area itself
      return;
    case WM_GETDLGCODE:
      m.Result = DLGC_WANTARROWS;
      if (!options_.Contains(goRowSelect)) {
        if (options_.Contains(goTabs)) m.Result |= DLGC_WANTTAB;
        if (options_.Contains(goEditing)) m.Result |= DLGC_WANTCHARS;
      }
      return;
    case WM_HSCROLL:
    case WM_VSCROLL:
      ModifyScrollBar(m.Msg == WM_VSCROLL ? SB_VERT : SB_HORZ, int(LoWord(m.WParam)),
                      int(int16_t(HiWord(m.WParam))));
      return;
    case WM_MOUSEWHEEL: {
      const int delta = int(int16_t(HiWord(m.WParam)));
      MoveTopLeft(topLeft_.X, topLeft_.Y - delta / 120 * 3);
      m.Result = 1;
      return;
    }
    case WM_SIZE:
      TCustomControl::Dispatch(m);
      UpdateScrollRange();
      MoveTopLeft(topLeft_.X, topLeft_.Y);  // a taller view may show the end
      UpdateEdit();
      return;
    case WM_CANCELMODE:
      if (state_ != gsNormal) EndDrag(0, 0, false);
      TCustomControl::Dispatch(m);
      return;
    default:
      TCustomControl::Dispatch(m);
  }
}
