// The grid's current cell, keyboard, mouse (selecting, sizing, moving) and
// in-place editor.

#include <algorithm>
#include <cstdlib>

#include "platform/classlib/controls/timer.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/grids/grids.h"
#include "platform/classlib/grids/gridaxis.h"

namespace {
// How near (pixels) to a grid line a press starts sizing.
constexpr int kSizingSlop = 2;
// Auto-scroll while a drag selection holds the mouse past an edge.
constexpr unsigned kScrollInterval = 60;
}  // namespace

// ---- Current cell ----------------------------------------------------------------------

void TCustomGrid::FocusCell(int ACol, int ARow, bool MoveAnchor) {
  MoveColRow(ACol, ARow, MoveAnchor, true);
}

void TCustomGrid::MoveColRow(int ACol, int ARow, bool MoveAnchor, bool Show) {
  // Fixed cells are titles: never current.
  CheckGridIndex(ACol >= fixedCols_ && ARow >= fixedRows_ && ACol < ColCount() &&
                 ARow < RowCount());
  if (!SelectCell(ACol, ARow)) return;
  const TGridRect oldSel = Selection();
  const TGridCoord oldCurrent = current_;
  current_ = {ACol, ARow};
  if (MoveAnchor || !options_.Contains(goRangeSelect)) anchor_ = current_;
  if (current_ != oldCurrent) {
    UpdateText();
    // The editor follows the cell only while it is always shown.
    if (options_.Contains(goAlwaysShowEditor)) editCell_ = {-1, -1};
    else HideEditor();
  }
  InvalidateRange(oldSel);
  InvalidateCell(oldCurrent.X, oldCurrent.Y);
  InvalidateRange(Selection());
  if (Show) ClampInView(current_);
  UpdateEdit();
}

// ---- Keyboard --------------------------------------------------------------------------

TGridCoord TCustomGrid::KeyTarget(WORD key, TShiftState shift, bool& handled) const {
  TGridCoord t = current_;
  const bool ctrl = shift.Contains(ssCtrl), rowSelect = options_.Contains(goRowSelect);
  const int page = std::max(1, VisibleRowCount());
  handled = true;
  switch (key) {
    case VK_UP: --t.Y; break;
    case VK_DOWN: ++t.Y; break;
    case VK_LEFT: if (!rowSelect) --t.X; break;
    case VK_RIGHT: if (!rowSelect) ++t.X; break;
    case VK_PRIOR: t.Y -= page; break;
    case VK_NEXT: t.Y += page; break;
    case VK_HOME:
      if (ctrl) t = {fixedCols_, fixedRows_};
      else if (rowSelect) t.Y = fixedRows_;
      else t.X = fixedCols_;
      break;
    case VK_END:
      if (ctrl) t = {ColCount() - 1, RowCount() - 1};
      else if (rowSelect) t.Y = RowCount() - 1;
      else t.X = ColCount() - 1;
      break;
    default: handled = false;
  }
  t.X = std::clamp(t.X, fixedCols_, ColCount() - 1);
  t.Y = std::clamp(t.Y, fixedRows_, RowCount() - 1);
  return t;
}

bool TCustomGrid::TabMove(bool forward) {
  TGridCoord t = current_;
  const int cols = ColCount();
  // One lap over the scrollable cells at most: stops at a tab stop.
  for (int steps = (cols - fixedCols_) * (RowCount() - fixedRows_); steps > 0; --steps) {
    t.X += forward ? 1 : -1;
    if (t.X >= cols) {
      t.X = fixedCols_;
      if (++t.Y >= RowCount()) return false;
    } else if (t.X < fixedCols_) {
      t.X = cols - 1;
      if (--t.Y < fixedRows_) return false;
    }
    if (tabStops_[size_t(t.X)]) {
      MoveColRow(t.X, t.Y, true, true);
      return true;
    }
  }
  return false;
}

void TCustomGrid::KeyDown(WORD& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  if (Key == 0 || !CanGridAcceptKey(Key, Shift)) return;
  if (Key == VK_F2 && options_.Contains(goEditing) && !options_.Contains(goRowSelect)) {
    ShowEditor();
    Key = 0;
    return;
  }
  if (Key == VK_TAB && options_.Contains(goTabs) && !Shift.Contains(ssAlt)) {
    if (TabMove(!Shift.Contains(ssShift))) Key = 0;
    return;
  }
  bool handled = false;
  const TGridCoord t = KeyTarget(Key, Shift, handled);
  if (!handled) return;
  const WORD key = Key;
  Key = 0;
  // A page key moves the view by the page too, as far as it goes.
  if (key == VK_PRIOR || key == VK_NEXT) MoveTopLeft(topLeft_.X, topLeft_.Y + t.Y - current_.Y);
  const bool extend = Shift.Contains(ssShift) && options_.Contains(goRangeSelect) &&
                      !options_.Contains(goRowSelect);
  if (t != current_ || !extend) MoveColRow(t.X, t.Y, !extend, true);
}

void TCustomGrid::KeyPress(char32_t& Key) {
  TCustomControl::KeyPress(Key);
  if (Key == 0) return;
  const bool canEdit = options_.Contains(goEditing) && !options_.Contains(goRowSelect);
  if (Key == U'\r' && !options_.Contains(goAlwaysShowEditor)) {
    if (editorMode_) HideEditor();
    else if (canEdit) ShowEditor();
    Key = 0;
    return;
  }
  if (canEdit && (Key >= 32 || Key == 8) && CanEditAcceptKey(Key)) {
    ShowEditorChar(Key);
    Key = 0;
  }
}

void TCustomGrid::ShowEditorChar(char32_t ch) {
  ShowEditor();
  if (!editor_ || !editor_->Visible()) return;
  // The key reaches the editor as typing: its own checks come first (the
  // grid's OnKeyPress had it already).
  char32_t key = ch;
  editor_->handedByGrid_ = true;
  try {
    editor_->KeyPress(key);
  } catch (...) {
    editor_->handedByGrid_ = false;
    throw;
  }
  editor_->handedByGrid_ = false;
  if (key == 0) return;
  editor_->SelectAll();
  if (key == 8) editor_->ClearSelection();
  else editor_->SetSelText(Utf8Encode(key));
}

// ---- Mouse -----------------------------------------------------------------------------

void TCustomGrid::CalcSizingState(int X, int Y, TGridState& State, int& Index, int& SizingPos,
                                  int& SizingOfs) const {
  State = gsNormal;
  Index = -1;
  const Axis cols = ColAxis(), rows = RowAxis();
  // Columns are sized in the title rows, rows in the title columns.
  const auto lineNear = [&](const Axis& a, int pos) {
    int start = 0;
    for (int i = a.Begin(); i < a.Count() && start < a.client; i = a.Next(i)) {
      const int line = start + a.Extent(i);
      if (std::abs(pos - line) <= kSizingSlop) {
        Index = i;
        SizingPos = line;
        SizingOfs = line - pos;
        return true;
      }
      start = line + a.line;
    }
    return false;
  };
  if (options_.Contains(goColSizing) && Y < rows.FixedBoundary() && lineNear(cols, X))
    State = gsColSizing;
  else if (options_.Contains(goRowSizing) && X < cols.FixedBoundary() && lineNear(rows, Y))
    State = gsRowSizing;
}

TPoint TCustomGrid::KeyboardPopupPoint() const {
  const TRect cell = CellRect(Col(), Row());
  return IsRectEmpty(cell) ? TCustomControl::KeyboardPopupPoint() : TPoint{cell.Left, cell.Bottom};
}

void TCustomGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  const auto alive = Lifetime();
  if (!Focused() && CanFocus() && !(editor_ && editor_->Focused())) SetFocus();
  if (alive.expired()) return;
  if (Button == mbLeft && !Shift.Contains(ssDouble)) {
    CalcSizingState(X, Y, state_, sizingIndex_, sizingPos_, sizingOfs_);
    if (state_ != gsNormal) {
      UpdateText();
      DrawSizingLine();
    } else if (const TGridCoord cell = MouseCoord(X, Y); cell.X >= 0) {
      const bool titleRow = cell.Y < fixedRows_, titleCol = cell.X < fixedCols_;
      if (titleRow && !titleCol && options_.Contains(goColMoving)) {
        state_ = gsColMoving;
        moveIndex_ = movePos_ = cell.X;
      } else if (titleCol && !titleRow && options_.Contains(goRowMoving)) {
        state_ = gsRowMoving;
        moveIndex_ = movePos_ = cell.Y;
      } else if (!titleRow && !titleCol) {
        if (options_.Contains(goEditing) && cell == current_ && !Shift.Contains(ssShift)) {
          ShowEditor();
        } else {
          MoveColRow(cell.X, cell.Y, !Shift.Contains(ssShift), true);
          state_ = gsSelecting;
        }
      }
    }
  }
  if (!alive.expired()) TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomGrid::MouseMove(TShiftState Shift, int X, int Y) {
  switch (state_) {
    case gsSelecting: {
      TGridScrollDirection dir;
      if (Y < 0) dir.Include(sdUp);
      if (Y >= ClientHeight()) dir.Include(sdDown);
      if (X < 0) dir.Include(sdLeft);
      if (X >= ClientWidth()) dir.Include(sdRight);
      if (!dir.Empty()) StartScrollTimer(dir);
      else StopScrollTimer();
      const TGridCoord cell = MouseCoord(X, Y);
      if (cell.X >= fixedCols_ && cell.Y >= fixedRows_ && cell != current_)
        MoveColRow(cell.X, cell.Y, !options_.Contains(goRangeSelect), true);
      break;
    }
    case gsColSizing:
    case gsRowSizing:
      DrawSizingLine();
      sizingPos_ = (state_ == gsColSizing ? X : Y) + sizingOfs_;
      DrawSizingLine();
      break;
    case gsColMoving:
    case gsRowMoving: {
      const TGridCoord cell = MouseCoord(X, Y);
      const bool cols = state_ == gsColMoving;
      const int to = cols ? cell.X : cell.Y;
      if (to >= (cols ? fixedCols_ : fixedRows_) && to != movePos_) {
        DrawMoveLine();
        movePos_ = to;
        DrawMoveLine();
      }
      break;
    }
    case gsNormal: {
      TGridState s;
      int i, pos, ofs;
      CalcSizingState(X, Y, s, i, pos, ofs);
      const TCursor c = s == gsColSizing ? crHSplit : s == gsRowSizing ? crVSplit : crDefault;
      if (c != Cursor()) SetCursor(c);
      break;
    }
  }
  TCustomControl::MouseMove(Shift, X, Y);
}

void TCustomGrid::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  const auto alive = Lifetime();
  if (Button == mbLeft) EndDrag(X, Y, true);
  if (!alive.expired()) TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TCustomGrid::EndDrag(int X, int Y, bool apply) {
  (void)X, (void)Y;
  const TGridState s = state_;
  state_ = gsNormal;
  StopScrollTimer();
  if (s == gsColSizing || s == gsRowSizing) {
    state_ = s;
    DrawSizingLine();  // inverting again takes the line away
    state_ = gsNormal;
    const Axis a = s == gsColSizing ? ColAxis() : RowAxis();
    const int start = a.Start(sizingIndex_);
    // A line dragged onto or before the cell's start leaves it as it was.
    if (apply && start >= 0 && sizingPos_ - start > 1) {
      if (s == gsColSizing) SetColWidths(sizingIndex_, sizingPos_ - start);
      else SetRowHeights(sizingIndex_, sizingPos_ - start);
    }
  } else if (s == gsColMoving || s == gsRowMoving) {
    state_ = s;
    DrawMoveLine();
    state_ = gsNormal;
    if (apply && movePos_ != moveIndex_) {
      if (s == gsColMoving) MoveColumn(moveIndex_, movePos_);
      else MoveRow(moveIndex_, movePos_);
    }
  }
  moveIndex_ = movePos_ = -1;
}

// Inverted lines outside painting: drawn twice they leave the pixels as they were.
void TCustomGrid::DrawSizingLine() {
  if (!HandleAllocated() || !Showing()) return;
  TCanvas* c = Canvas();
  c->Pen()->SetMode(pmNot);
  c->Pen()->SetWidth(1);
  if (state_ == gsColSizing) {
    c->MoveTo(sizingPos_, 0);
    c->LineTo(sizingPos_, ClientHeight());
  } else {
    c->MoveTo(0, sizingPos_);
    c->LineTo(ClientWidth(), sizingPos_);
  }
  c->Pen()->SetMode(pmCopy);
}

void TCustomGrid::DrawMoveLine() {
  if (!HandleAllocated() || !Showing() || movePos_ == moveIndex_ || movePos_ < 0) return;
  const bool cols = state_ == gsColMoving;
  const TRect r = cols ? CellRect(movePos_, 0) : CellRect(0, movePos_);
  if (IsRectEmpty(r)) return;
  // The dragged line lands before the target when moving back, after it forward.
  const bool after = movePos_ > moveIndex_;
  TCanvas* c = Canvas();
  c->Pen()->SetMode(pmNot);
  c->Pen()->SetWidth(1);
  for (int k = 0; k < 2; ++k) {
    if (cols) {
      const int x = (after ? r.Right - 1 : r.Left) + (after ? -k : k);
      c->MoveTo(x, 0);
      c->LineTo(x, ClientHeight());
    } else {
      const int y = (after ? r.Bottom - 1 : r.Top) + (after ? -k : k);
      c->MoveTo(0, y);
      c->LineTo(ClientWidth(), y);
    }
  }
  c->Pen()->SetMode(pmCopy);
}

void TCustomGrid::StartScrollTimer(TGridScrollDirection direction) {
  scrollDirection_ = direction;
  if (scrollTimer_) return;
  scrollTimer_ = std::make_unique<TTimer>(nullptr);
  scrollTimer_->SetInterval(kScrollInterval);
  scrollTimer_->OnTimer = [this](TObject*) { TimedScroll(scrollDirection_); };
}

void TCustomGrid::StopScrollTimer() { scrollTimer_.reset(); }

void TCustomGrid::TimedScroll(TGridScrollDirection Direction) {
  TGridCoord cell = current_;
  if (Direction.Contains(sdUp)) cell.Y = std::max(fixedRows_, topLeft_.Y - 1);
  if (Direction.Contains(sdDown)) cell.Y = std::min(RowCount() - 1, topLeft_.Y + VisibleRowCount());
  if (Direction.Contains(sdLeft)) cell.X = std::max(fixedCols_, topLeft_.X - 1);
  if (Direction.Contains(sdRight)) cell.X = std::min(ColCount() - 1, topLeft_.X + VisibleColCount());
  if (cell != current_) MoveColRow(cell.X, cell.Y, !options_.Contains(goRangeSelect), true);
}

void TCustomGrid::DblClick() {
  if (options_.Contains(goEditing) && !options_.Contains(goRowSelect)) ShowEditor();
  TCustomControl::DblClick();
}

void TCustomGrid::DoEnter() {
  TCustomControl::DoEnter();
  InvalidateRange(Selection());
  UpdateEdit();
}

void TCustomGrid::DoExit() {
  if (!options_.Contains(goAlwaysShowEditor)) HideEditor();
  InvalidateRange(Selection());
  TCustomControl::DoExit();
}

// ---- Moving columns and rows ---------------------------------------------------------

namespace {
void CheckMove(int from, int to, int count) {
  CheckGridIndex(from >= 0 && to >= 0 && from < count && to < count);
}

template <class T>
void MoveItem(std::vector<T>& v, int from, int to) {
  T item = v[size_t(from)];
  v.erase(v.begin() + from);
  v.insert(v.begin() + to, item);
}
}  // namespace

void TCustomGrid::MoveColumn(int FromIndex, int ToIndex) {
  CheckMove(FromIndex, ToIndex, ColCount());
  if (FromIndex == ToIndex) return;
  HideEditor();
  MoveItem(colWidths_, FromIndex, ToIndex);
  MoveItem(tabStops_, FromIndex, ToIndex);
  ColumnMoved(FromIndex, ToIndex);
  ColWidthsChanged();
}

void TCustomGrid::MoveRow(int FromIndex, int ToIndex) {
  CheckMove(FromIndex, ToIndex, RowCount());
  if (FromIndex == ToIndex) return;
  HideEditor();
  MoveItem(rowHeights_, FromIndex, ToIndex);
  RowMoved(FromIndex, ToIndex);
  RowHeightsChanged();
}

// ---- In-place editor -----------------------------------------------------------------

TInplaceEdit* TCustomGrid::CreateEditor() { return new TInplaceEdit(this); }

void TCustomGrid::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  // An editor freed by its owner is made again when needed.
  if (Operation == opRemove && AComponent == editor_) {
    editor_ = nullptr;
    editCell_ = {-1, -1};
  }
}

bool TCustomGrid::CanEditShow() {
  return options_.Contains(goEditing) && !options_.Contains(goRowSelect) && editorMode_ &&
         HandleAllocated() &&
         (options_.Contains(goAlwaysShowEditor) || Focused() || (editor_ && editor_->Focused()));
}

void TCustomGrid::SetEditorMode(bool value) {
  if (value) ShowEditor();
  else HideEditor();
}

void TCustomGrid::ShowEditor() {
  editorMode_ = true;
  UpdateEdit();
}

void TCustomGrid::HideEditor() {
  editorMode_ = false;
  if (!editor_ || !editor_->Visible()) return;
  editCell_ = {-1, -1};
  HideCellWindow(editor_);
  InvalidateCell(current_.X, current_.Y);  // the focus rectangle comes back
}

// A focused window that hides hands the focus on to the next control of the
// form, whose entry may act on the current record (start editing it): the
// focus stays with the grid instead.
void TCustomGrid::HideCellWindow(TWinControl* window) {
  if (window->Focused() && CanFocus()) SetFocus();
  window->Hide();
}

void TCustomGrid::InvalidateEditor() {
  editCell_ = {-1, -1};
  UpdateEdit();
}

void TCustomGrid::UpdateText() {
  if (editor_ && editCell_.X >= 0) SetEditText(editCell_.X, editCell_.Y, editor_->Text());
}

void TCustomGrid::UpdateEdit() {
  if (!editorMode_ || !CanEditShow()) {
    if (editor_ && editor_->Visible()) {
      editCell_ = {-1, -1};
      HideCellWindow(editor_);
    }
    return;
  }
  const TRect r = CellRect(current_.X, current_.Y);
  if (IsRectEmpty(r)) {
    editCell_ = {-1, -1};
    if (editor_) HideCellWindow(editor_);
    return;
  }
  if (!editor_) {
    editor_ = CreateEditor();
    editor_->FreeNotification(this);
    editor_->SetGrid(this);
    editor_->SetParent(this);
  }
  if (editCell_ != current_ || !editor_->Visible()) {
    editCell_ = current_;
    editor_->UpdateContents();
  }
  editor_->Move(r);
}

// ---- TInplaceEdit -----------------------------------------------------------------------

TInplaceEdit::TInplaceEdit(TComponent* AOwner) : TCustomEdit(AOwner) {
  InitVisible(false);
  SetTabStop(false);
  SetBorderStyle(bsNone);
  SetParentColor(true);
}

void TInplaceEdit::UpdateContents() {
  if (!grid_) return;
  const TGridCoord cell = grid_->editCell_;
  loading_ = true;
  SetEditMask(grid_->GetEditMask(cell.X, cell.Y));
  SetMaxLength(grid_->GetEditLimit());
  shownText_ = grid_->GetEditText(cell.X, cell.Y);
  SetText(shownText_);
  SetModified(false);
  loading_ = false;
  SelectAll();
}

void TInplaceEdit::Move(const TRect& cellRect) {
  SetBounds(cellRect.Left, cellRect.Top, cellRect.Width(), cellRect.Height());
  const bool gridFocused = grid_ && grid_->Focused();
  if (!Visible()) {
    Show();
    if (grid_) grid_->InvalidateCell(grid_->current_.X, grid_->current_.Y);
  }
  if (gridFocused && CanFocus()) SetFocus();
}

bool TInplaceEdit::ForGrid(WORD key, TShiftState shift) const {
  switch (key) {
    case VK_UP: case VK_DOWN: case VK_PRIOR: case VK_NEXT: return true;
    case VK_TAB: return !shift.Contains(ssAlt);
    case VK_HOME: case VK_END: return shift.Contains(ssCtrl);
    case VK_LEFT:
    case VK_RIGHT: {
      // At the edge of the text an always-shown editor lets the caret leave the cell.
      if (!grid_->options_.Contains(goAlwaysShowEditor) || SelLength() != 0) return false;
      const int pos = SelStart();
      return key == VK_LEFT ? pos == 0 : pos == int(Utf8Length(Text()));
    }
    default: return false;
  }
}

void TInplaceEdit::KeyDown(WORD& Key, TShiftState Shift) {
  if (!grid_) return TCustomEdit::KeyDown(Key, Shift);
  if (Key == VK_ESCAPE) {
    // Back to the text it was shown with, in the cell too.
    loading_ = true;
    SetText(shownText_);
    loading_ = false;
    grid_->UpdateText();
    if (!grid_->options_.Contains(goAlwaysShowEditor)) grid_->HideEditor();
    else SelectAll();
    Key = 0;
    return;
  }
  if (ForGrid(Key, Shift)) {
    WORD k = Key;
    grid_->KeyDown(k, Shift);
    if (k == 0) Key = 0;  // what the grid leaves (a Tab it does not take) goes on
    return;
  }
  TCustomEdit::KeyDown(Key, Shift);
}

void TInplaceEdit::KeyPress(char32_t& Key) {
  if (grid_) {
    // The grid's OnKeyPress sees what is typed in its editor as what is typed
    // on the grid itself, and may change or take the key; Enter goes to the
    // grid's own key handling below, which runs it there.
    if (Key != U'\r' && !handedByGrid_ && grid_->OnKeyPress) grid_->OnKeyPress(grid_, Key);
    if (Key == 0) return;
    if (Key == U'\r' || Key == U'\t') {
      // Enter ends editing as it does in the grid; Tab moved already.
      if (Key == U'\r') grid_->KeyPress(Key);
      Key = 0;
      return;
    }
    if ((Key >= 32 || Key == 8) && (!grid_->CanEditModify() || !grid_->CanEditAcceptKey(Key))) {
      Key = 0;
      return;
    }
  }
  TCustomEdit::KeyPress(Key);
}

void TInplaceEdit::Change() {
  TCustomEdit::Change();
  if (!loading_ && grid_) grid_->UpdateText();
}

void TInplaceEdit::DblClick() {
  TCustomEdit::DblClick();
  SelectAll();
}

void TInplaceEdit::Dispatch(TMessage& m) {
  // Enter ends the cell's edit, as on the grid itself: on a dialog it is not
  // the default button's, which would close the dialog over the typed text.
  if (m.Msg == CM_WANTSPECIALKEY && grid_ && WORD(m.WParam) == VK_RETURN) {
    m.Result = 1;
    return;
  }
  if (m.Msg == WM_GETDLGCODE && grid_) {
    m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
    if (grid_->options_.Contains(goTabs)) m.Result |= DLGC_WANTTAB;
    return;
  }
  TCustomEdit::Dispatch(m);
}
