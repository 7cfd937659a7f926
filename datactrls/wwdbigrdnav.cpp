// The data grid's navigation: keys, clicks and the vertical scroll bar move
// the dataset (the grid's rows are only the record window), Tab walks the
// tab-stop columns and may append, Escape discards, leaving the grid writes or
// drops an untouched new record.
#include <algorithm>
#include <cstdlib>

#include "datactrls/wwdbigrd.h"
#include "datactrls/wwintl.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"

namespace {

// The thumb's range while the dataset can say where a record stands.
constexpr int kStableRange = 200;
// Without record numbers the thumb only says start, inside or end.
constexpr int kRoughRange = 4;
// A wheel's notch, in the units it reports, moves this many rows, as the
// desktop scrolls lines; a finer wheel's smaller steps add up to rows.
constexpr int kWheelNotch = 120, kWheelRows = 3;

// Runs `body` with `flag` raised, lowering it even when the body raises.
template <class F>
void WithFlag(bool& flag, F body) {
  const bool was = flag;
  flag = true;
  try {
    body();
  } catch (...) {
    flag = was;
    throw;
  }
  flag = was;
}

bool IsEditing(TDataSet* ds) { return ds->State() == dsEdit || ds->State() == dsInsert; }

}  // namespace

TDataSet* TwwCustomDBGrid::ActiveDataSet() const {
  return dataLink_->Active() ? dataLink_->DataSet() : nullptr;
}

bool TwwCustomDBGrid::CanInsert() const {
  TDataSet* ds = ActiveDataSet();
  return ds && !readOnly_ && ds->CanModify() && options_.Contains(dgEditing) &&
         keyOptions_.Contains(dgAllowInsert);
}

bool TwwCustomDBGrid::IsUntouchedInsert() const {
  TDataSet* ds = ActiveDataSet();
  return ds && ds->State() == dsInsert && !ds->Modified() && !dataLink_->Modified();
}

// ---- Rows ----------------------------------------------------------------------

void TwwCustomDBGrid::NextRow() {
  TDataSet* ds = ActiveDataSet();
  if (!ds) return;
  if (IsUntouchedInsert()) {
    // Down on an untouched new record at the end stays on it.
    if (ds->Eof()) return;
    ds->Cancel();
  } else {
    ds->Next();
  }
  if (ds->Eof() && CanInsert()) {
    HideControlEditor();
    ds->Append();
  }
}

void TwwCustomDBGrid::PriorRow() {
  TDataSet* ds = ActiveDataSet();
  if (!ds) return;
  if (IsUntouchedInsert() && ds->Eof())
    ds->Cancel();
  else
    ds->Prior();
}

void TwwCustomDBGrid::MoveRecords(int distance) {
  if (TDataSet* ds = ActiveDataSet()) ds->MoveBy(distance);
}

void TwwCustomDBGrid::WheelRecords(int delta) {
  if (!ActiveDataSet()) return;
  wheelRest_ += delta * kWheelRows;
  const int rows = wheelRest_ / kWheelNotch;
  wheelRest_ -= rows * kWheelNotch;
  // Turned away from the user the wheel goes back towards the first record.
  if (rows != 0) MoveRecords(-rows);
}

// ---- Columns -------------------------------------------------------------------

void TwwCustomDBGrid::SelectDataColumn(int index) {
  if (!CheckEditorMask()) return;
  dataLink_->UpdateRecord();
  const int firstFree = std::max(0, FixedCols() - indicatorOffset_);
  index = std::max(std::min(index, GetFieldCount() - 1), firstFree);
  if (index < 0 || index == DataColumn(Col())) return;
  if (!colChanging_) {
    const int before = Col();
    WithFlag(colChanging_, [&] { ColExit(); });
    if (Col() != before) return;  // the handler chose a column itself
  }
  HideEditor();
  MoveColRow(indicatorOffset_ + index, Row(), true, true);
  if (!suppressEditor_) ShowEditorIfAlways();
  ColEnter();
}

void TwwCustomDBGrid::TabMovement(bool forward) {
  const int count = GetFieldCount();
  if (count == 0) return;
  const int start = DataColumn(Col());
  int c = start;
  // At most one lap over the columns, wrapping to the next or prior row.
  for (int steps = 0; steps <= count; ++steps) {
    c += forward ? 1 : -1;
    if (c >= count || c < 0) {
      HideControlEditor();
      WithFlag(suppressEditor_, [&] { forward ? NextRow() : PriorRow(); });
      c = forward ? 0 : count - 1;
    }
    if (c == start || TabStops(indicatorOffset_ + c)) break;
  }
  SelectDataColumn(c);
}

// ---- Editing the record ------------------------------------------------------------

void TwwCustomDBGrid::DiscardEdits() {
  TDataSet* ds = ActiveDataSet();
  if (!ds) return;
  if (dataLink_->Modified()) {
    dataLink_->Reset();
    return;
  }
  if (!IsEditing(ds)) return;
  if (!ds->Modified()) {
    ds->Cancel();
    return;
  }
  const std::string& question = wwGlobalIntl()->UserMessages()->wwDBGridDiscardChanges;
  if (MessageDlg(question, mtConfirmation, {mbYes, mbNo}, 0) == mrYes) ds->Cancel();
}

bool TwwCustomDBGrid::DeleteRecord() {
  TDataSet* ds = ActiveDataSet();
  if (!ds || !keyOptions_.Contains(dgAllowDelete) || readOnly_ || !ds->CanModify() ||
      !options_.Contains(dgEditing))
    return false;
  if (options_.Contains(dgConfirmDelete) &&
      MessageDlg("Delete record?", mtConfirmation, mbOKCancel, 0) != mrOk)
    return false;
  ds->Delete();
  HideEditor();
  return true;
}

std::string TwwCustomDBGrid::GetEditText(int ACol, int ARow) {
  (void)ARow;
  TField* field = GetField(DataColumn(ACol));
  editText_ = field ? field->Text() : std::string();
  return editText_;
}

void TwwCustomDBGrid::SetEditText(int ACol, int ARow, const std::string& Value) {
  (void)ACol, (void)ARow;
  editText_ = Value;
  dataLink_->SetModified();
}

bool TwwCustomDBGrid::CanEditModify() {
  TField* field = GetSelectedField();
  if (readOnly_ || !dataLink_->Active() || dataLink_->ReadOnly() || !field) return false;
  // Calculated and lookup values may be typed over only when the owner asks for it.
  const bool derived = field->Calculated() || field->Lookup();
  const bool modifiable = editCalculated_ && derived ? !field->ReadOnly() : field->CanModify();
  if (!modifiable) return false;
  bool editing = false;
  try {
    editing = dataLink_->Edit();
  } catch (...) {
    // Refused (another user holds the record): the cell goes back to the
    // stored text, so nothing typed waits to be written into a record that
    // is not being edited.
    DropRefusedEdit();
    throw;
  }
  if (!editing) return false;
  dataLink_->SetModified();
  return true;
}

void TwwCustomDBGrid::DropRefusedEdit() {
  if (!InplaceEditor()) return;
  InvalidateEditor();
  InplaceEditor()->UpdateContents();
}

// Blob cells open their own editors; they never show the in-place one.
bool TwwCustomDBGrid::CellTakesEditor() {
  TField* field = GetSelectedField();
  return field && !field->IsBlob() && !IsControlTypeCell(Col(), Row());
}

bool TwwCustomDBGrid::CanEditShow() { return CellTakesEditor() && TCustomGrid::CanEditShow(); }

void TwwCustomDBGrid::ShowEditorIfAlways() {
  if (options_.Contains(dgAlwaysShowEditor) && CellTakesEditor()) ShowEditor();
}

// ---- Keys ----------------------------------------------------------------------

void TwwCustomDBGrid::KeyDown(WORD& Key, TShiftState Shift) {
  // OnKeyDown first; the class library's own moves are not the record window's.
  TCustomControl::KeyDown(Key, Shift);
  if (Key == 0 || !dataLink_->Active()) return;
  const bool handled = Shift.Contains(ssCtrl) ? CtrlKey(Key) : PlainKey(Key, Shift);
  if (handled) Key = 0;
}

bool TwwCustomDBGrid::PlainKey(WORD key, TShiftState shift) {
  TDataSet* ds = ActiveDataSet();
  const bool byRecord = GetFieldCount() == 1 || options_.Contains(dgRowSelect);
  const int page = VisibleDataRows();
  switch (key) {
    case VK_HOME: byRecord ? ds->First() : SelectDataColumn(0); return true;
    case VK_END: byRecord ? ds->Last() : SelectDataColumn(GetFieldCount() - 1); return true;
    case VK_PRIOR: MoveRecords(-page); return true;
    case VK_NEXT: MoveRecords(page); return true;
    case VK_UP: PriorRow(); return true;
    case VK_DOWN: NextRow(); return true;
    case VK_LEFT:
    case VK_RIGHT: {
      const bool right = key == VK_RIGHT;
      if (options_.Contains(dgRowSelect))
        right ? NextRow() : PriorRow();
      else
        SelectDataColumn(DataColumn(Col()) + (right ? 1 : -1));
      return true;
    }
    case VK_TAB:
      if (shift.Contains(ssAlt)) return false;
      TabMovement(!shift.Contains(ssShift));
      return true;
    case VK_RETURN:
      if (!keyOptions_.Contains(dgEnterToTab)) return false;
      TabMovement(true);
      return true;
    case VK_ESCAPE: {
      // With nothing the user would see given up (an unchanged record only
      // leaves edit) the key goes on to the form as well, whose Cancel
      // button (on a dialog) closes it.
      const bool pending = dataLink_->Modified() || (IsEditing(ds) && ds->Modified());
      DiscardEdits();
      if (!options_.Contains(dgAlwaysShowEditor)) HideEditor();
      else RecheckEditorMask();
      return pending;
    }
    case VK_INSERT:
      if (!readOnly_ && options_.Contains(dgEditing) && keyOptions_.Contains(dgAllowInsert))
        ds->Insert();
      return true;
    case VK_F2:
      if (CellTakesEditor()) SetEditorMode(true);
      return true;
    default:
      return false;
  }
}

bool TwwCustomDBGrid::CtrlKey(WORD key) {
  TDataSet* ds = ActiveDataSet();
  switch (key) {
    case VK_PRIOR:
    case VK_UP: MoveRecords(-dataLink_->ActiveRecord()); return true;
    case VK_NEXT:
    case VK_DOWN: MoveRecords(dataLink_->BufferCount() - dataLink_->ActiveRecord() - 1); return true;
    case VK_HOME: ds->First(); return true;
    case VK_END: ds->Last(); return true;
    case VK_LEFT: SelectDataColumn(0); return true;
    case VK_RIGHT: SelectDataColumn(GetFieldCount() - 1); return true;
    case VK_DELETE: return DeleteRecord();
    default: return false;
  }
}

void TwwCustomDBGrid::KeyPress(char32_t& Key) {
  if (keyOptions_.Contains(dgEnterToTab) && Key == U'\r') Key = U'\t';
  if (Key == U'\r' && !options_.Contains(dgAlwaysShowEditor) && dataLink_->Active())
    dataLink_->UpdateRecord();
  TCustomGrid::KeyPress(Key);
}

// ---- Mouse and focus ---------------------------------------------------------------

bool TwwCustomDBGrid::TakeFocus() {
  if (Focused() || !CanFocus()) return true;
  SetFocus();
  return Focused() || !Showing();
}

void TwwCustomDBGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (!TakeFocus()) return;
  const TGridCoord cell = MouseCoord(X, Y);
  // A record's indicator cell chooses the record too (the column stays).
  const bool dataCell = dataLink_->Active() && cell.Y >= titleOffset_ && cell.X >= 0;
  if (!dataCell || Button != mbLeft || Shift.Contains(ssDouble)) {
    TCustomGrid::MouseDown(Button, Shift, X, Y);
    return;
  }
  if (cell.X == Col() && cell.Y == Row() && CellTakesEditor()) ShowEditor();
  dragging_ = true;
  const int rows = cell.Y - Row();
  WithFlag(suppressEditor_, [&] {
    if (cell.X >= FixedCols()) SelectDataColumn(DataColumn(cell.X));
    MoveRecords(rows);
  });
  RecordClicked(Shift, DataColumn(cell.X));
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TwwCustomDBGrid::MouseMove(TShiftState Shift, int X, int Y) {
  if (dragging_) {
    // Sideways the class library's own scrolling runs; it has no drag of its own here.
    TGridScrollDirection dir;
    if (Y < 0) dir.Include(sdUp);
    if (Y >= ClientHeight()) dir.Include(sdDown);
    if (X < 0) dir.Include(sdLeft);
    if (X >= ClientWidth()) dir.Include(sdRight);
    dir.Empty() ? StopScrollTimer() : StartScrollTimer(dir);
  }
  TCustomGrid::MouseMove(Shift, X, Y);
}

void TwwCustomDBGrid::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft && dragging_) {
    dragging_ = false;
    StopScrollTimer();
  }
  TCustomGrid::MouseUp(Button, Shift, X, Y);
}

// Past the top the record before the window comes in, past the bottom the
// one after it: the rows are the record window, not the class library's rows.
void TwwCustomDBGrid::TimedScroll(TGridScrollDirection Direction) {
  if (dataLink_->Active()) {
    const int active = dataLink_->ActiveRecord();
    if (Direction.Contains(sdUp)) MoveRecords(-1 - active);
    if (Direction.Contains(sdDown)) MoveRecords(dataLink_->RecordCount() - active);
  }
  Direction.Exclude(sdUp);
  Direction.Exclude(sdDown);
  if (!Direction.Empty()) TCustomGrid::TimedScroll(Direction);
}

void TwwCustomDBGrid::DoExit() {
  if (dragging_) {
    dragging_ = false;
    StopScrollTimer();
  }
  if (TDataSet* ds = ActiveDataSet()) {
    if (options_.Contains(dgCancelOnExit) && IsUntouchedInsert())
      ds->Cancel();
    else
      dataLink_->UpdateRecord();
  }
  TCustomGrid::DoExit();
}

// ---- The vertical scroll bar -----------------------------------------------------

void TwwCustomDBGrid::FillCreateParams(TCreateParams& params) {
  TCustomGrid::FillCreateParams(params);
  if (showVertScrollBar_) params.Style |= WS_VSCROLL;
}

void TwwCustomDBGrid::SetShowVertScrollBar(bool value) {
  showVertScrollBar_ = value;
  if (HandleAllocated()) SetScrollRange(this, SB_VERT, 0, value ? kStableRange : 0, false);
  UpdateScrollBar();
  Invalidate();
}

int TwwCustomDBGrid::ScrollBarPosition() const {
  TDataSet* ds = ActiveDataSet();
  if (!ds) return 0;
  if (ds->HasStableRecordNumbers()) {
    ds->UpdateCursorPos();
    const int n = std::max(ds->RecordCount(), 2);
    if (ds->Bof()) return 0;
    if (ds->Eof()) return kStableRange;
    return (ds->RecNo() - 1) * kStableRange / (n - 1);
  }
  return ds->Bof() ? 0 : ds->Eof() ? kRoughRange : kRoughRange / 2;
}

void TwwCustomDBGrid::UpdateScrollBar() {
  TDataSet* ds = ActiveDataSet();
  if (!showVertScrollBar_ || !ds || !HandleAllocated()) return;
  SetScrollRange(this, SB_VERT, 0, ds->HasStableRecordNumbers() ? kStableRange : kRoughRange, false);
  const int pos = ScrollBarPosition();
  if (GetScrollPos(this, SB_VERT) != pos) SetScrollPos(this, SB_VERT, pos, true);
}

void TwwCustomDBGrid::ModifyScrollBar(int ScrollBar, int ScrollCode, int Pos) {
  TDataSet* ds = ActiveDataSet();
  if (ScrollBar != SB_VERT || !ds) {
    if (ScrollBar != SB_VERT) TCustomGrid::ModifyScrollBar(ScrollBar, ScrollCode, Pos);
    return;
  }
  // The arrows move the current row, not the view: unfocused, the row would
  // move unseen and the view stand still until it passed an edge.
  if (!TakeFocus()) return;
  const int page = VisibleDataRows();
  switch (ScrollCode) {
    case SB_LINEUP: PriorRow(); break;
    case SB_LINEDOWN: NextRow(); break;
    case SB_PAGEUP: MoveRecords(-page); break;
    case SB_PAGEDOWN: MoveRecords(page); break;
    case SB_TOP: ds->First(); break;
    case SB_BOTTOM: ds->Last(); break;
    case SB_THUMBPOSITION: ThumbTo(Pos); break;
    default: break;
  }
}

void TwwCustomDBGrid::ThumbTo(int pos) {
  TDataSet* ds = ActiveDataSet();
  const bool stable = ds->HasStableRecordNumbers();
  const int last = stable ? kStableRange : kRoughRange;
  if (pos <= 0) {
    ds->First();
  } else if (pos >= last) {
    ds->Last();
  } else if (!stable) {
    // 1 and 3 stand for a page either way; the middle is where the thumb rests.
    if (pos != kRoughRange / 2) MoveRecords(pos < kRoughRange / 2 ? -VisibleDataRows() : VisibleDataRows());
  } else {
    ds->CheckBrowseMode();
    ds->SetRecNo(pos * ds->RecordCount() / kStableRange + 1);
    RefreshData();
  }
}

// ---- Scrolling the record window -------------------------------------------------

TRect TwwCustomDBGrid::RowRect(int row) const {
  if (row < titleOffset_ || row >= RowCount()) return {};
  return BoxRect(0, row, ColCount() - 1, row);
}

TRect TwwCustomDBGrid::DataRowsRect() const {
  const int line = GridLineWidth();
  int top = 0;
  for (int i = 0; i < titleOffset_ && i < RowCount(); ++i) top += RowHeights(i) + line;
  const int left = indicatorOffset_ ? ColWidths(0) + line : 0;
  const int rows = RowCount() - titleOffset_;
  const int bottom = std::min(top + rows * (DefaultRowHeight() + line), ClientHeight());
  return {left, top, ClientWidth(), std::max(top, bottom)};
}

void TwwCustomDBGrid::InvalidateIndicator(int row) {
  if (options_.Contains(dgIndicator) && row >= 0 && row < RowCount()) InvalidateCell(0, row);
}

// The rows keep their pixels and move with the records; only the rows that
// come into view, the rows whose current-record look changed and the
// indicator are painted again.
void TwwCustomDBGrid::ScrollRecords(int distance) {
  if (!HandleAllocated()) return;
  const int oldRow = Row();
  UpdateScrollBar();
  UpdateActive();
  HideEditor();
  if (distance != 0) {
    HideControlEditor();
    // A jump past a whole window leaves no pixels worth keeping.
    if (std::abs(distance) > VisibleDataRows()) {
      Invalidate();
      ShowEditorIfAlways();
      return;
    }
    // Rows step by their height and the line below them, as they are laid out.
    const int step = DefaultRowHeight() + GridLineWidth();
    const TRect area = DataRowsRect();
    ScrollWindowEx(this, 0, -step * distance, &area, &area, nullptr, SW_INVALIDATE);
  }
  // After the move: the old current record now shows `distance` rows higher.
  const TRect before = RowRect(oldRow - distance), after = RowRect(Row());
  if (!IsRectEmpty(before)) InvalidateRect(before);
  if (!IsRectEmpty(after)) InvalidateRect(after);
  InvalidateIndicator(oldIndicatorRow_);
  InvalidateIndicator(Row());
  if (distance != 0) ShowEditorIfAlways();
  if (Visible() && !suppressEditor_) UpdateWindow(this);
  if (distance != 0) TopRowChanged();
}
