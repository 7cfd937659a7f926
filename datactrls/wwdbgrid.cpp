#include "datactrls/wwdbgrid.h"

#include <algorithm>

#include "datactrls/wwfieldcheck.h"
#include "datactrls/wwfieldsettings.h"
#include "datactrls/wwintl.h"
#include "datactrls/wwstr.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/datasource.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/graphics/graphics.h"

IMPLEMENT_CLASS(TwwDBGrid, TwwCustomDBGrid)

TwwDBGrid::TwwDBGrid(TComponent* AOwner) : TwwCustomDBGrid(AOwner) {}

TwwDBGrid::~TwwDBGrid() = default;

// ---- Bookmarks -------------------------------------------------------------------

int TwwDBGrid::Compare(const TBookmarkStr& a, const TBookmarkStr& b) const {
  TDataSet* ds = ActiveDataSet();
  if (!ds) return 0;
  TBookmarkStr x = a, y = b;  // the dataset takes writable bookmarks
  return ds->CompareBookmarks(x.data(), y.data());
}

bool TwwDBGrid::SameRecord(const TBookmarkStr& a, const TBookmarkStr& b) const {
  const int c = Compare(a, b);
  return c == 0 || c == 2;
}

void TwwDBGrid::LeaveEditMode() {
  if (TDataSet* ds = ActiveDataSet()) ds->CheckBrowseMode();
}

void TwwDBGrid::AddCurrent() {
  TDataSet* ds = ActiveDataSet();
  TBookmarkStr b = ds->Bookmark();
  if (b.empty()) return;  // no current record
  for (const TBookmarkStr& s : selectedList_)
    if (SameRecord(s, b)) return;
  selectedList_.push_back(std::move(b));
}

// ---- Selection -----------------------------------------------------------------

bool TwwDBGrid::IsSelected() {
  TDataSet* ds = ActiveDataSet();
  if (!ds || ds->State() == dsEdit || ds->State() == dsInsert || selectedList_.empty()) return false;
  const TBookmarkStr b = ds->Bookmark();
  if (b.empty()) return false;
  return std::any_of(selectedList_.begin(), selectedList_.end(),
                     [&](const TBookmarkStr& s) { return SameRecord(s, b); });
}

bool TwwDBGrid::IsSelectedRow(int dataRow) const {
  return dataRow >= 0 && dataRow < int(rowCache_.size()) && rowCache_[size_t(dataRow)];
}

void TwwDBGrid::UpdateSelectedRowCache() {
  const int rows = DataLink()->Active() ? DataLink()->RecordCount() : 0;
  rowCache_.assign(size_t(std::max(rows, 0)), false);
  if (selectedList_.empty() || rows == 0) return;
  const int saved = DataLink()->ActiveRecord();
  try {
    for (int r = 0; r < rows; ++r) {
      DataLink()->SetActiveRecord(r);
      rowCache_[size_t(r)] = IsSelected();
    }
  } catch (...) {
    DataLink()->SetActiveRecord(saved);
    throw;
  }
  DataLink()->SetActiveRecord(saved);
}

void TwwDBGrid::SelectRecord() {
  TDataSet* ds = ActiveDataSet();
  if (!ds) return;
  if (shiftSelect_) {
    LeaveEditMode();
    anchor_ = ds->Bookmark();  // the string owns its bytes: the old anchor goes with it
  }
  LeaveEditMode();
  UpdateSelectedRowCache();
  if (IsSelected()) return;
  bool accept = true;
  if (OnMultiSelectRecord) OnMultiSelectRecord(this, true, accept);
  if (!accept) return;
  AddCurrent();
  InvalidateRow(Row());
}

void TwwDBGrid::UnselectRecord() {
  TDataSet* ds = ActiveDataSet();
  if (!ds || !IsSelected()) return;
  bool accept = true;
  if (OnMultiSelectRecord) OnMultiSelectRecord(this, false, accept);
  if (!accept) return;
  const TBookmarkStr b = ds->Bookmark();
  std::erase_if(selectedList_, [&](const TBookmarkStr& s) { return SameRecord(s, b); });
  InvalidateRow(Row());
}

void TwwDBGrid::UnselectAll() {
  selectedList_.clear();
  Invalidate();
  std::fill(rowCache_.begin(), rowCache_.end(), false);
}

bool TwwDBGrid::IsCellHighlighted(int dataCol, int dataRow, TGridDrawState state) {
  if (Options().Contains(dgMultiSelect)) return IsSelectedRow(dataRow);
  return TwwCustomDBGrid::IsCellHighlighted(dataCol, dataRow, state);
}

void TwwDBGrid::Paint() {
  DropStaleControl();
  UpdateSelectedRowCache();
  mapLists_.clear();
  painting_ = true;
  struct EndPass {
    TwwDBGrid* grid;
    ~EndPass() {
      grid->painting_ = false;
      grid->mapLists_.clear();
    }
  } endPass{this};
  TwwCustomDBGrid::Paint();
}

// ---- Clicks --------------------------------------------------------------------

// The check-box column bound to a calculated "selected" field toggles the
// selection itself; clicks in it follow no other rule.
bool TwwDBGrid::IsSelectionColumn(int dataCol) const {
  TField* f = GetField(dataCol);
  return f && f->Calculated() && wwSameText(f->FieldName(), "selected") &&
         wwSameText(wwGetControlType(f->DataSet(), f->FieldName()).TypeName, "CheckBox");
}

void TwwDBGrid::RecordClicked(TShiftState Shift, int dataCol) {
  std::string ticked, unticked;
  if (editControlOptions_.Contains(ecoCheckboxSingleClick) && !Shift.Contains(ssDouble) &&
      CheckBoxValues(GetField(dataCol), ticked, unticked))
    ToggleCheckBox();
  TDataSet* ds = ActiveDataSet();
  if (!ds || !Options().Contains(dgMultiSelect) || IsSelectionColumn(dataCol)) return;
  const bool shift = Shift.Contains(ssShift);
  if (shift && shiftSelect_ && !anchor_.empty()) {
    SelectRange(ds->Bookmark());
    return;
  }
  if (shift || Shift.Contains(ssCtrl)) {
    IsSelected() ? UnselectRecord() : SelectRecord();
  } else if (multiSelectOptions_.Contains(msoAutoUnselect) && Shift.Contains(ssLeft)) {
    UnselectAll();
    SelectRecord();
  } else {
    return;
  }
  if (multiSelectOptions_.Contains(msoShiftSelect)) {
    shiftSelect_ = true;
    LeaveEditMode();
    anchor_ = ds->Bookmark();
  }
}

void TwwDBGrid::RemoveBetween(const TBookmarkStr& from, const TBookmarkStr& to) {
  std::erase_if(selectedList_, [&](const TBookmarkStr& s) {
    const int a = Compare(s, from), b = Compare(s, to);
    return a != -1 && (b == -1 || b == 0 || b == 2);
  });
}

// Selects every record from the anchor to the clicked one, whichever comes
// first, each once. The walk stops at the end of the data in case the anchor's
// record is gone.
void TwwDBGrid::SelectRange(const TBookmarkStr& clicked) {
  TDataSet* ds = ActiveDataSet();
  const bool up = Compare(clicked, anchor_) == -1;
  const TBookmarkStr first = up ? clicked : anchor_, last = up ? anchor_ : clicked;
  ds->DisableControls();
  try {
    RemoveBetween(first, last);
    ds->SetBookmark(first);
    while (!ds->Eof()) {
      AddCurrent();
      if (SameRecord(ds->Bookmark(), last)) break;
      ds->Next();
    }
    ds->SetBookmark(clicked);
  } catch (...) {
    ds->EnableControls();
    throw;
  }
  ds->EnableControls();
  Invalidate();
}

// ---- Check-box cells -------------------------------------------------------------

namespace {

// The box is this many pixels each way, centred in its cell.
constexpr int kBoxSize = 10;

bool IsCheckBoxType(const TwwControlTypeSetting& setting) {
  return wwSameText(setting.TypeName, "CheckBox");
}

}  // namespace

bool TwwDBGrid::CheckBoxValues(TField* field, std::string& ticked, std::string& unticked) const {
  if (!field) return false;
  const TwwControlTypeSetting setting = wwGetControlType(field->DataSet(), field->FieldName());
  if (!IsCheckBoxType(setting)) return false;
  const std::vector<std::string> values = wwSplitPieces(setting.Parameter, ";");
  ticked = values.empty() ? std::string() : values[0];
  unticked = values.size() > 1 ? values[1] : std::string();
  return true;
}

bool TwwDBGrid::IsControlTypeCell(int ACol, int ARow) {
  if (ARow < TitleOffset() || ACol < IndicatorOffset()) return false;
  TField* f = GetField(DataColumn(ACol));
  if (!f) return false;
  const std::string type = wwGetControlType(f->DataSet(), f->FieldName()).TypeName;
  // An edit kind whose control is missing leaves a plain column.
  return wwSameText(type, "CheckBox") || wwSameText(type, "Bitmap") ||
         (wwIsControlBearingType(type) && CellControl(ACol, ARow));
}

void TwwDBGrid::DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) {
  // The placed control covers the cell: nothing of the grid's shows there.
  if (PaintControlCell(ACol, ARow, ARect, AState)) return;
  const bool dataCell = ARow >= TitleOffset() && ACol >= IndicatorOffset() && DataLink()->Active();
  TField* field = dataCell ? GetField(DataColumn(ACol)) : nullptr;
  // One look at the field's entry per cell: most cells have none.
  const TwwControlTypeSetting setting =
      field ? wwGetControlType(field->DataSet(), field->FieldName()) : TwwControlTypeSetting();
  if (IsCheckBoxType(setting)) {
    PaintCheckBoxCell(ACol, ARow, ARect, AState);
  } else if (wwSameText(setting.TypeName, "Bitmap")) {
    PaintBitmapCell(ACol, ARow, ARect, AState, setting.Parameter);
  } else {
    TwwCustomDBGrid::DrawCell(ACol, ARow, ARect, AState);
    if (!DefaultDrawing()) return;
  }
  DrawCellFrame(ACol, ARow, ARect, AState);
}

void TwwDBGrid::AtRow(int dataRow, const std::function<void()>& body) {
  const int saved = DataLink()->ActiveRecord();
  try {
    DataLink()->SetActiveRecord(dataRow);
    body();
  } catch (...) {
    DataLink()->SetActiveRecord(saved);
    throw;
  }
  DataLink()->SetActiveRecord(saved);
}

bool TwwDBGrid::FillControlCell(int ACol, int ARow, const TRect& r, TGridDrawState state) {
  TCanvas* c = Canvas();
  const int dataCol = DataColumn(ACol), dataRow = DataRow(ARow);
  c->SetFont(Font());
  c->Brush()->SetColor(state.Contains(gdFixed) ? TitleColor() : GetColumnColor(ACol));
  const bool highlight = IsCellHighlighted(dataCol, dataRow, state);
  if (highlight) {
    c->Brush()->SetColor(clHighlight);
    c->Font()->SetColor(clHighlightText);
  }
  CalcCellColors(GetField(dataCol), state, highlight, c->Font(), c->Brush());
  c->FillRect(r);
  // The current box shows where the keys act, as the editor would elsewhere.
  if (highlight && !ComponentState().Contains(csDesigning) && !Options().Contains(dgRowSelect) &&
      FocusedHere()) {
    c->DrawFocusRect(r);
    MarkFocusFrame();
  }
  return highlight;
}

void TwwDBGrid::PaintCheckBoxCell(int ACol, int ARow, const TRect& r, TGridDrawState state) {
  const int dataCol = DataColumn(ACol);
  TField* field = GetField(dataCol);
  std::string ticked, unticked;
  CheckBoxValues(field, ticked, unticked);
  std::string value;
  BeginCellFrame();
  AtRow(DataRow(ARow), [&] {
    value = IsSelectionColumn(dataCol) ? (IsSelected() ? ticked : unticked) : field->DisplayText();
    FillControlCell(ACol, ARow, r, state);
  });
  const int left = (r.Left + r.Right - kBoxSize) / 2, top = (r.Top + r.Bottom - kBoxSize) / 2;
  // Painting and toggling compare the same way, so what is shown is what Space flips.
  DrawCheckBox({left, top, left + kBoxSize, top + kBoxSize}, wwSameText(value, ticked));
}

void TwwDBGrid::DrawCheckBox(const TRect& box, bool ticked) {
  TCanvas* c = Canvas();
  const int L = box.Left, T = box.Top, R = box.Right, B = box.Bottom;
  c->Brush()->SetColor(clWindow);
  c->FillRect(box);
  const auto line = [c](TColor color, std::vector<TPoint> points) {
    c->Pen()->SetColor(color);
    c->Polyline(points);
  };
  line(clBlack, {{R - 1, T}, {L, T}, {L, B + 1}});
  line(clGrayText, {{L + 1, B}, {R, B}, {R, T - 1}});
  line(clWhite, {{L, B + 1}, {R + 1, B + 1}, {R + 1, T - 1}});
  line(TColor(0x808080), {{R, T - 1}, {L - 1, T - 1}, {L - 1, B + 1}});
  if (!ticked) return;
  c->Pen()->SetColor(clBlack);
  if (wwGlobalIntl()->CheckBoxInGridStyle() == cbStyleXmark) {
    for (int d = 0; d < 2; ++d) {
      c->Polyline({{R - 2 - d, T + 2}, {L + 2 - d, B - 2}});
      c->Polyline({{L + 2 + d, T + 2}, {R - 2 + d, B - 2}});
    }
    return;
  }
  // A tick of seven strokes, falling then rising.
  static constexpr int kSpans[7][2] = {{4, 3}, {5, 2}, {6, 1}, {5, 2}, {4, 3}, {3, 4}, {2, 5}};
  for (int i = 0; i < 7; ++i) c->Polyline({{L + 2 + i, T + kSpans[i][0]}, {L + 2 + i, B - kSpans[i][1] + 1}});
}

bool TwwDBGrid::FocusedHere() const {
  const TCustomForm* form = GetParentForm();
  return form && form->ActiveControl() == this;
}

bool TwwDBGrid::CanToggle(TField* field) {
  if (!field || field->ReadOnly()) return false;
  if (IsSelectionColumn(DataColumn(Col()))) return true;
  return !ReadOnly() && Options().Contains(dgEditing);
}

void TwwDBGrid::ToggleCheckBox() {
  TField* field = GetSelectedField();
  std::string ticked, unticked;
  if (!CheckBoxValues(field, ticked, unticked) || !CanToggle(field)) return;
  if (IsSelectionColumn(DataColumn(Col()))) {
    IsSelected() ? UnselectRecord() : SelectRecord();
    return;
  }
  TDataSet* ds = ActiveDataSet();
  const bool editing = ds->State() == dsEdit || ds->State() == dsInsert;
  if (!editing && !DataSource()->AutoEdit()) return;
  if (!DataLink()->Edit()) return;
  field->SetText(wwSameText(field->Text(), ticked) ? unticked : ticked);
  InvalidateCell(Col(), Row());
}

void TwwDBGrid::KeyDown(WORD& Key, TShiftState Shift) {
  if (ControlKeyDown(Key, Shift, false)) {
    Key = 0;
    return;
  }
  // F2 on a memo cell opens the dialog rather than an editor the cell never shows.
  if (Key == VK_F2 && !Shift.Contains(ssCtrl) && OnMemoCell()) {
    TCustomControl::KeyDown(Key, Shift);
    if (Key == 0) return;
    OpenMemoDialog();
    Key = 0;
    return;
  }
  TwwCustomDBGrid::KeyDown(Key, Shift);
  ControlKeyDown(Key, Shift, true);
  std::string ticked, unticked;
  if (Key == VK_SPACE && DataLink()->Active() && CheckBoxValues(GetSelectedField(), ticked, unticked)) {
    ToggleCheckBox();
    Key = 0;
  }
}

void TwwDBGrid::DblClick() {
  if (OpenRichEdit()) {
    TwwCustomDBGrid::DblClick();
    return;
  }
  if (OnMemoCell()) {
    OpenMemoDialog();
    TwwCustomDBGrid::DblClick();
    return;
  }
  std::string ticked, unticked;
  if (!editControlOptions_.Contains(ecoCheckboxSingleClick) && DataLink()->Active() &&
      CheckBoxValues(GetSelectedField(), ticked, unticked))
    ToggleCheckBox();
  TwwCustomDBGrid::DblClick();
}

// ---- Memo cells ------------------------------------------------------------------

bool TwwDBGrid::OnMemoCell() {
  TField* field = GetSelectedField();
  return DataLink()->Active() && field && field->IsBlob();
}

void TwwDBGrid::OpenMemoDialog() {
  TField* field = GetSelectedField();
  if (!field || memoAttributes_.Contains(mDisableDialog)) return;
  TwwMemoDialog dialog(nullptr);
  dialog.SetDataSource(DataSource());
  dialog.DataField = field->FieldName();
  dialog.MemoAttributes = memoAttributes_;
  dialog.Caption = wwReplaceChar(field->DisplayLabel(), '~', ' ');
  dialog.Font()->Assign(Font());
  dialog.DlgLeft = -1;
  if (ReadOnly() || !Options().Contains(dgEditing) || field->ReadOnly())
    dialog.MemoAttributes.Include(mViewOnly);
  if (OnMemoOpen) OnMemoOpen(this, &dialog);
  const bool ok = dialog.Execute();
  if (OnMemoClose) OnMemoClose(this, !ok);
  InvalidateCell(Col(), Row());
}

// ---- Fixed columns and title buttons ---------------------------------------------

void TwwDBGrid::SetFixedCols(int value) {
  // The designer is told, rather than left with a grid that has no column to scroll.
  if (ComponentState().Contains(csDesigning)) {
    TDataSet* ds = DataSource() ? DataSource()->DataSet() : nullptr;
    if (value < 0 || (ds && ds->Active() && value + IndicatorOffset() >= ColCount())) {
      MessageDlg("Invalid value for FixedCols", mtWarning, {mbOK}, 0);
      return;
    }
  }
  fixedDataCols_ = value;
  RebuildLayout();
}

void TwwDBGrid::ApplyColumnAttributes() {
  TwwCustomDBGrid::ApplyColumnAttributes();
  TDataSet* ds = ActiveDataSet();
  if (!ds) return;
  const int fixed = IndicatorOffset() + fixedDataCols_;
  if (fixedDataCols_ >= 0 && fixed < ColCount()) {
    if (fixed != TCustomGrid::FixedCols()) TCustomGrid::SetFixedCols(fixed);
    // Tab never lands in a column that does not scroll.
    for (int col = 0; col < fixed; ++col) SetTabStops(col, false);
  }
  // Calculated columns the grid edits itself (a picture, the selection's
  // check box) are reached by Tab like any other.
  for (int i = 0; i < GetFieldCount(); ++i) {
    TField* f = GetField(i);
    if (f && f->Calculated() &&
        (IsSelectionColumn(i) || wwSameText(wwGetControlType(ds, f->FieldName()).TypeName, "Bitmap")))
      SetTabStops(IndicatorOffset() + i, true);
  }
}

TColor TwwDBGrid::GetColumnColor(int ACol) {
  return ACol < IndicatorOffset() + fixedDataCols_ ? TitleColor() : Color();
}

void TwwDBGrid::TitleButtonClick(const std::string& AFieldName) {
  if (OnTitleButtonClick) OnTitleButtonClick(this, AFieldName);
}

void TwwDBGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  const TGridCoord cell = MouseCoord(X, Y);
  if (TitleButtons() && Button == mbLeft && !ComponentState().Contains(csDesigning) && cell.Y >= 0 &&
      cell.Y < TitleOffset() && cell.X >= IndicatorOffset()) {
    SetPressedTitle(cell);
    InvalidateCell(cell.X, cell.Y);
  }
  TwwCustomDBGrid::MouseDown(Button, Shift, X, Y);
}

void TwwDBGrid::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  const TGridCoord pressed = PressedTitle();
  SetPressedTitle({-1, -1});
  if (pressed.X >= 0) {
    InvalidateCell(pressed.X, pressed.Y);
    // Only a release on the cell that was pressed is a click.
    const TGridCoord cell = MouseCoord(X, Y);
    TField* field = GetField(DataColumn(pressed.X));
    if (cell == pressed && Y >= 0 && field) TitleButtonClick(field->FieldName());
  }
  TwwCustomDBGrid::MouseUp(Button, Shift, X, Y);
}

// ---- Field settings -----------------------------------------------------------------

void TwwDBGrid::DataLinkActiveChanged(bool active) {
  TwwCustomDBGrid::DataLinkActiveChanged(active);
  if (active && !ComponentState().Contains(csDestroying)) ApplySelected();
}

void TwwDBGrid::ApplySelected() {
  TDataSet* ds = DataSource() ? DataSource()->DataSet() : nullptr;
  if (applying_ || !ds) return;
  if (!wwIsWwDataSet(ds)) {
    MessageDlg("wwGrid must use an Wendlow compatible TDataSet.", mtInformation, {mbOK}, 0);
    SetDataSource(nullptr);
    return;
  }
  const bool designing = ComponentState().Contains(csDesigning);
  const auto hasCalculated = [ds] {
    for (int i = 0; i < ds->FieldCount(); ++i)
      if (ds->Fields().Fields(i)->Calculated()) return true;
    return false;
  };
  PrepareEditControls();
  ds->DisableControls();
  applying_ = true;
  try {
    wwRemoveStaleFieldSettings(ds, wwGetLookupFieldsList(ds), wwGetLookupLinksList(ds),
                               wwGetControlTypeList(ds));
    if (Selected()->Count() > 0 && (designing || !hasCalculated())) {
      if (UseTFields())
        wwApplySelectedToFields(ds, Selected());
      else
        RebuildLayout();
    }
    if (designing && UseTFields()) wwFieldsToSelected(ds, Selected());
  } catch (...) {
    applying_ = false;
    ds->EnableControls();
    throw;
  }
  applying_ = false;
  ds->EnableControls();
}
