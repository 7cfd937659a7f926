#include "datactrls/wwdbigrd.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "datactrls/wwdbgrid.h"  // the indicator button
#include "datactrls/wwdbigrdedit.h"
#include "datactrls/wwstr.h"
#include "datactrls/wwwindow.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/graphics/graphics.h"

IMPLEMENT_CLASS(TwwGridDataLink, TDataLink)
IMPLEMENT_CLASS(TwwCustomDBGrid, TCustomGrid)

namespace {

// Row heights and title lines past these would only hide every row; a stored
// percentage or line count this large is a corrupted setting.
constexpr int kMaxRowHeight = 1000;
constexpr int kMaxTitleLines = 20;

// The class library's grid options the data grid starts with: fixed and cell
// lines both ways, column sizing and moving, editing and tabs.
constexpr TGridOptions kDefaultGridOptions = TGridOptions::FromBits(0x0E8F);

}  // namespace

int wwColumnPixels(int chars, int zeroWidth) { return chars * zeroWidth + 4; }

// Rounds to the nearest character, taking back the 4 pixels of margin.
int wwColumnChars(int pixels, int zeroWidth) {
  if (zeroWidth <= 0) return 0;
  return std::max(0, (pixels + zeroWidth / 2 - 3) / zeroWidth);
}

// ---- The data link -----------------------------------------------------------

bool TwwGridDataLink::AddMapping(const std::string& fieldName) {
  if (FieldCount() >= kMaxMappedFields)
    throw EInvalidGridOperation("Grid requested to display more than 256 columns");
  TDataSet* ds = DataSet();
  TField* field = ds ? ds->FindField(fieldName) : nullptr;
  if (!field) return false;
  fieldMap_.push_back(field->Index());
  return true;
}

TField* TwwGridDataLink::Field(int dataColumn) const {
  TDataSet* ds = DataSet();
  if (!ds || dataColumn < 0 || dataColumn >= FieldCount()) return nullptr;
  const int index = fieldMap_[size_t(dataColumn)];
  return index < ds->FieldCount() ? ds->Fields().Fields(index) : nullptr;
}

bool TwwGridDataLink::DefaultFields() const {
  TDataSet* ds = DataSet();
  return !ds || ds->DefaultFields();
}

void TwwGridDataLink::Reset() {
  if (modified_) RecordChanged(nullptr);
  modified_ = false;
}

void TwwGridDataLink::ActiveChanged() {
  grid_->DataLinkActiveChanged(Active());
  modified_ = false;
}

void TwwGridDataLink::DataSetChanged() {
  grid_->RefreshData();
  modified_ = false;
}

void TwwGridDataLink::DataSetScrolled(int distance) { grid_->ScrollRecords(distance); }

void TwwGridDataLink::EditingChanged() {
  grid_->InvalidateIndicator(grid_->oldIndicatorRow_);
  grid_->InvalidateIndicator(grid_->Row());
}

void TwwGridDataLink::LayoutChanged() { grid_->RebuildLayout(); }

void TwwGridDataLink::RecordChanged(TField* field) {
  if (field && inWrite_) return;
  grid_->RecordChanged(field);
  modified_ = false;
}

void TwwGridDataLink::UpdateData() {
  inWrite_ = true;
  try {
    TField* field = grid_->GetSelectedField();
    if (modified_ && field) field->SetText(grid_->editText_);
  } catch (...) {
    inWrite_ = false;
    throw;
  }
  modified_ = false;
  inWrite_ = false;
}

// ---- The grid: construction and properties ---------------------------------------

TwwCustomDBGrid::TwwCustomDBGrid(TComponent* AOwner)
    : TCustomGrid(AOwner),
      selected_(std::make_unique<TStringList>()),
      titleFont_(std::make_unique<TFont>()),
      dataLink_(std::make_unique<TwwGridDataLink>(this)),
      options_{dgEditing, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs,
               dgConfirmDelete, dgCancelOnExit, dgWordWrap} {
  TCustomGrid::SetOptions(kDefaultGridOptions);
  // Cells, their frames and the current cell's look are the grid's own.
  TCustomGrid::SetDefaultDrawing(false);
  SetScrollBars(ssHorizontal);
  SetColCount(2);
  SetRowCount(2);
  titleFont_->Assign(Font());
  titleFont_->OnChange = [this](TObject*) { TitleFontChanged(); };
}

TwwCustomDBGrid::~TwwCustomDBGrid() {
  // Unbinding tells the grid the link went inactive; a grid going away
  // rebuilds nothing.
  Destroying();
  titleFont_->OnChange = nullptr;
  dataLink_->SetDataSource(nullptr);
}

TStrings* TwwCustomDBGrid::Selected() const { return selected_.get(); }
void TwwCustomDBGrid::SetSelected(const TStrings* lines) { selected_->Assign(lines); }

void TwwCustomDBGrid::SetOptions(TwwDBGridOptions value) {
  if (value == options_) return;
  TGridOptions grid;
  if (value.Contains(dgColLines)) grid += {goFixedVertLine, goVertLine};
  if (value.Contains(dgRowLines)) grid += {goFixedHorzLine, goHorzLine};
  if (value.Contains(dgColumnResize)) grid += {goColSizing, goColMoving};
  if (value.Contains(dgTabs)) grid.Include(goTabs);
  if (value.Contains(dgRowSelect)) grid.Include(goRowSelect);
  if (value.Contains(dgEditing) && !value.Contains(dgRowSelect)) grid.Include(goEditing);
  if (value.Contains(dgAlwaysShowEditor)) grid.Include(goAlwaysShowEditor);
  TCustomGrid::SetOptions(grid);
  // The members that change the shape of the layout.
  constexpr uint64_t kLayoutMask = 0x236F;
  const bool rebuild = ((value.Bits() ^ options_.Bits()) & kLayoutMask) != 0;
  if (value.Contains(dgWordWrap) != options_.Contains(dgWordWrap)) {
    if (TwwInplaceEdit* editor = WwInplaceEditor()) editor->SetWordWrap(value.Contains(dgWordWrap));
    Invalidate();
  }
  options_ = value;
  if (rebuild) RebuildLayout();
}

void TwwCustomDBGrid::SetRowHeightPercent(int value) {
  // A value below 1 resets the percentage without touching the present layout.
  if (value < 1) {
    rowHeightPercent_ = 100;
    return;
  }
  if (value == rowHeightPercent_) return;
  rowHeightPercent_ = value;
  RebuildLayout();
}

void TwwCustomDBGrid::SetTitleLines(int value) {
  if (value < 1 || value == titleLines_) return;
  titleLines_ = value;
  RebuildLayout();
}

void TwwCustomDBGrid::SetTitleAlignment(TAlignment value) {
  if (value == titleAlignment_) return;
  titleAlignment_ = value;
  RebuildLayout();
}

void TwwCustomDBGrid::SetTitleColor(TColor value) {
  if (value == titleColor_) return;
  titleColor_ = value;
  RebuildLayout();
}

void TwwCustomDBGrid::SetIndicatorColor(TIndicatorColorType value) {
  indicatorColor_ = value;
  RebuildLayout();
}

void TwwCustomDBGrid::SetDataSource(TDataSource* value) {
  if (value == DataSource()) return;
  if (DataSource()) DataSource()->RemoveFreeNotification(this);
  dataLink_->SetDataSource(value);
  if (value) value->FreeNotification(this);
  DataLinkActiveChanged(dataLink_->Active());
}

void TwwCustomDBGrid::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomGrid::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == DataSource()) dataLink_->SetDataSource(nullptr);
  if (indicatorButton_ && AComponent == indicatorButton_) {
    indicatorButton_ = nullptr;
    IndicatorButtonResized();
  }
}

// ---- Fonts -------------------------------------------------------------------------

// A font the grid takes from its parent carries the titles along; its own
// font changes only the layout.
void TwwCustomDBGrid::GridFontChanged() {
  if (ParentFont()) {
    const bool was = fontFromParent_;
    fontFromParent_ = true;
    titleFont_->Assign(Font());
    fontFromParent_ = was;
  }
  RebuildLayout();
}

// A title font set on its own no longer follows the parent.
void TwwCustomDBGrid::TitleFontChanged() {
  if (!fontFromParent_ && !ComponentState().Contains(csLoading)) SetParentFont(false);
  if (options_.Contains(dgTitles)) RebuildLayout();
}

TField* TwwCustomDBGrid::GetSelectedField() const { return GetField(DataColumn(Col())); }

void TwwCustomDBGrid::SetColWidthQuiet(int gridColumn, int pixels) {
  const bool was = layoutInProgress_;
  layoutInProgress_ = true;
  try {
    SetColWidths(gridColumn, pixels);
  } catch (...) {
    layoutInProgress_ = was;
    throw;
  }
  layoutInProgress_ = was;
  // A descendant's own touch to a rebuild's widths is part of that rebuild.
  if (layoutLock_ != 0) return;
  const std::vector<Column> columns = LayoutColumns();
  const int i = DataColumn(gridColumn);
  if (i >= 0 && i < int(columns.size())) KeepWidth(columns[size_t(i)], gridColumn, ZeroWidth());
}

int TwwCustomDBGrid::ZeroWidth() const {
  Canvas()->Font()->Assign(Font());
  return Canvas()->TextWidth("0");
}

void TwwCustomDBGrid::KeepWidth(const Column& c, int col, int zero) {
  keptWidths_[c.field->FieldName()] = {ColWidths(col), c.chars, zero};
}

// ---- Layout --------------------------------------------------------------------

bool TwwCustomDBGrid::CanRebuild() const {
  return !ComponentState().Contains(csLoading) && !ComponentState().Contains(csDestroying) &&
         HandleAllocated() && layoutLock_ == 0;
}

void TwwCustomDBGrid::RebuildLayout() {
  if (!CanRebuild()) return;
  ++layoutLock_;
  layoutInProgress_ = true;
  try {
    titleOffset_ = options_.Contains(dgTitles) ? 1 : 0;
    ApplyRowHeights();
    indicatorOffset_ = options_.Contains(dgIndicator) ? 1 : 0;
    dataLink_->ClearMapping();
    if (dataLink_->Active()) BuildFieldMap();
    int n = GetFieldCount();
    if (!useTFields_ && n == 0) n = selected_->Count();
    // The class library's grid needs one scrollable column past the fixed one.
    SetFixedCols(0);
    SetColCount(indicatorOffset_ + std::max(n, 1));
    SetFixedCols(indicatorOffset_);
    if (indicatorOffset_) SetColWidths(0, indicatorWidth_);
    HideControlEditor();
    UpdateRowCount();
    const int rows = VisibleDataRows();
    ApplyColumnAttributes();
    if (VisibleDataRows() != rows) UpdateRowCount();
    layoutInProgress_ = false;
    UpdateActive();
    Invalidate();
  } catch (...) {
    layoutInProgress_ = false;
    --layoutLock_;
    throw;
  }
  --layoutLock_;
}

void TwwCustomDBGrid::ApplyRowHeights() {
  TCanvas* canvas = Canvas();
  const bool rowLines = options_.Contains(dgRowLines);
  canvas->Font()->Assign(Font());
  const int64_t data = canvas->TextHeight("W") + 2 + (rowLines ? 1 : 0);
  SetDefaultRowHeight(int(std::min<int64_t>(data * rowHeightPercent_ / 100, kMaxRowHeight)));
  titleTextTop_ = 2;
  if (!options_.Contains(dgTitles)) return;
  canvas->Font()->Assign(titleFont_.get());
  int title = canvas->TextHeight("W") * std::min(titleLines_, kMaxTitleLines) + 4 + (rowLines ? 0 : 1);
  if (options_.Contains(dgIndicator) && indicatorButtonHeight_ > 0) {
    const int tallest = std::max(title, indicatorButtonHeight_);
    titleTextTop_ = (tallest - title) / 2 + 2;
    title = tallest + (rowLines ? -1 : 1);
  }
  titleRowHeight_ = title;
  SetRowHeights(0, title);
}

void TwwCustomDBGrid::BuildFieldMap() {
  TDataSet* ds = dataLink_->DataSet();
  if (!ds) return;
  if (useTFields_) {
    for (int i = 0; i < ds->FieldCount(); ++i)
      if (TField* f = ds->Fields().Fields(i); f->Visible()) dataLink_->AddMapping(f->FieldName());
    return;
  }
  for (int i = 0; i < selected_->Count();) {
    const std::string name = wwParseSelectedLine(selected_->Strings(i)).fieldName;
    // A stored column whose field is gone is dropped from the list for good.
    if (dataLink_->Active() && !ds->FindField(name)) {
      selected_->Delete(i);
      continue;
    }
    dataLink_->AddMapping(name);
    ++i;
  }
}

std::vector<TwwCustomDBGrid::Column> TwwCustomDBGrid::LayoutColumns() const {
  std::vector<Column> columns;
  TDataSet* ds = dataLink_->DataSet();
  if (!ds) return columns;
  if (useTFields_) {
    for (int i = 0; i < GetFieldCount(); ++i) {
      TField* f = GetField(i);
      if (f) columns.push_back({f, f->DisplayWidth(), f->DisplayLabel()});
    }
    return columns;
  }
  for (int i = 0; i < selected_->Count(); ++i) {
    const TwwSelectedLine line = wwParseSelectedLine(selected_->Strings(i));
    TField* f = ds->FindField(line.fieldName);
    if (!f) continue;
    columns.push_back({f, line.width >= 0 ? line.width : f->DisplayWidth(),
                       line.hasTitle ? line.title : f->DisplayLabel()});
  }
  return columns;
}

int TwwCustomDBGrid::TitleWidth(const std::string& title) const {
  int widest = 0;
  for (const std::string& piece : wwSplitPieces(title, "~"))
    widest = std::max(widest, Canvas()->TextWidth(piece));
  return widest + 4;
}

void TwwCustomDBGrid::ApplyColumnAttributes() {
  if (!dataLink_->DataSet()) return;
  const std::vector<Column> columns = LayoutColumns();
  TCanvas* canvas = Canvas();
  const int zero = ZeroWidth();
  const int count = std::min(int(columns.size()), ColCount() - indicatorOffset_);
  for (int i = 0; i < count; ++i) {
    const Column& c = columns[size_t(i)];
    int w = wwColumnPixels(std::min(c.chars, kwwMaxColumnChars), zero);
    if (options_.Contains(dgTitles)) {
      canvas->Font()->Assign(titleFont_.get());
      w = std::max(w, TitleWidth(c.title));
      canvas->Font()->Assign(Font());
    }
    const auto kept = keptWidths_.find(c.field->FieldName());
    if (kept != keptWidths_.end() && kept->second.chars == c.chars && kept->second.zero == zero)
      w = kept->second.pixels;
    const int col = indicatorOffset_ + i;
    SetColWidths(col, w);
    bool stop = !c.field->ReadOnly();
    if (stop && !editCalculated_) stop = !c.field->Calculated();
    SetTabStops(col, stop);
  }
}

// ---- Write-back of the user's sizing and moving ---------------------------------

void TwwCustomDBGrid::ColWidthsChanged() {
  TCustomGrid::ColWidthsChanged();
  if (layoutInProgress_ || !dataLink_->Active() || !HandleAllocated()) return;
  ++layoutLock_;
  try {
    if (widthWriteBack_) WriteBackWidths();
  } catch (...) {
    --layoutLock_;
    throw;
  }
  --layoutLock_;
  // What the columns show now is theirs, measured by the characters just written back.
  const std::vector<Column> columns = LayoutColumns();
  const int count = std::min(int(columns.size()), ColCount() - indicatorOffset_);
  const int zero = ZeroWidth();
  for (int i = 0; i < count; ++i) KeepWidth(columns[size_t(i)], indicatorOffset_ + i, zero);
}

void TwwCustomDBGrid::WriteBackWidths() {
  const int zero = ZeroWidth();
  const auto chars = [&](int dataColumn) {
    const int col = indicatorOffset_ + dataColumn;
    return col < ColCount() ? wwColumnChars(ColWidths(col), zero) : -1;
  };
  if (useTFields_) {
    for (int i = 0; i < GetFieldCount(); ++i)
      if (TField* f = GetField(i); f && chars(i) >= 0) f->SetDisplayWidth(chars(i));
  } else {
    TDataSet* ds = dataLink_->DataSet();
    TStringList old;
    old.Assign(selected_.get());
    selected_->Clear();
    int column = 0;
    for (int i = 0; i < old.Count(); ++i) {
      const TwwSelectedLine line = wwParseSelectedLine(old.Strings(i));
      TField* f = ds ? ds->FindField(line.fieldName) : nullptr;
      // Lines whose field is missing take no column and keep what they said.
      if (!f) {
        selected_->Add(old.Strings(i));
        continue;
      }
      const int c = chars(column++);
      // A line that stopped after its width keeps the field's own title.
      selected_->Add(wwSelectedLineText(line.fieldName, c >= 0 ? c : line.width,
                                        line.hasTitle ? line.title : f->DisplayLabel()));
    }
  }
  wwNotifyDesigner(this);
}

void TwwCustomDBGrid::ColumnMoved(int FromIndex, int ToIndex) {
  HideControlEditor();
  const int from = FromIndex - indicatorOffset_, to = ToIndex - indicatorOffset_;
  if (!useTFields_) {
    if (from >= 0 && to >= 0 && from < selected_->Count() && to < selected_->Count()) {
      const std::string line = selected_->Strings(from);
      selected_->Delete(from);
      selected_->Insert(to, line);
    }
    RebuildLayout();
  } else if (dataLink_->Active() && GetFieldCount() > 0) {
    TField* moving = GetField(from);
    TField* target = GetField(to);
    if (moving && target) moving->SetIndex(target->Index());
  }
  if (OnColumnMoved) OnColumnMoved(this, from, to);
}

// ---- Record window ----------------------------------------------------------------

int TwwCustomDBGrid::VisibleDataRows() const {
  int pos = 0;
  for (int i = 0; i < std::min(FixedRows(), RowCount()); ++i) pos += RowHeights(i) + GridLineWidth();
  const int step = DefaultRowHeight() + GridLineWidth();
  if (step <= 0) return 1;
  return std::max(1, (ClientHeight() - pos + GridLineWidth()) / step);
}

void TwwCustomDBGrid::UpdateRowCount() {
  if (rowCountGuard_) return;
  rowCountGuard_ = true;
  try {
    if (titleOffset_ >= RowCount()) SetRowCount(titleOffset_ + 1);
    SetFixedRows(titleOffset_);
    if (dataLink_->Active() && dataLink_->RecordCount() > 0) {
      const int visible = VisibleDataRows();
      if (visible < dataLink_->BufferCount() && visible + titleOffset_ <= Row()) {
        Invalidate();
        TopRowChanged();
      }
      dataLink_->SetBufferCount(visible);
      SetRowCount(std::max(dataLink_->RecordCount(), 1) + titleOffset_);
      UpdateActive();
    } else {
      SetRowCount(titleOffset_ + 1);
    }
  } catch (...) {
    rowCountGuard_ = false;
    throw;
  }
  rowCountGuard_ = false;
}

void TwwCustomDBGrid::UpdateActive() {
  if (!dataLink_->Active() || !HandleAllocated()) return;
  int target = dataLink_->ActiveRecord() + titleOffset_;
  if (target != Row()) {
    if (!options_.Contains(dgAlwaysShowEditor)) HideEditor();
    if (target >= RowCount()) {
      UpdateRowCount();
      target = RowCount() - 1;
    }
    MoveColRow(Col(), target, false, false);
  }
  TField* field = GetSelectedField();
  if (field && field->Text() != editText_) InvalidateEditor();
}

void TwwCustomDBGrid::DataLinkActiveChanged(bool active) {
  if (ComponentState().Contains(csDestroying)) return;
  paintErrorShown_ = false;  // new data may fail anew
  if (!active) HideEditor();
  RebuildLayout();
  UpdateScrollBar();
}

void TwwCustomDBGrid::RefreshData() {
  if (!HandleAllocated()) return;
  // A written or reread record leaves the placed control, unless it asked to stay.
  if (!keepControl_ && DataSource()->State() == dsBrowse) HideControlEditor();
  UpdateRowCount();
  UpdateScrollBar();
  UpdateActive();
  InvalidateEditor();
  Invalidate();
}

void TwwCustomDBGrid::TopRowChanged() {
  if (OnTopRowChanged) OnTopRowChanged(this);
}

void TwwCustomDBGrid::RecordChanged(TField* field) {
  if (!HandleAllocated()) return;
  InvalidateRow(Row());
  TField* current = GetSelectedField();
  if ((!field || field == current) && current && current->Text() != editText_) {
    InvalidateEditor();
    if (InplaceEditor()) InplaceEditor()->UpdateContents();
  }
}

// ---- Life cycle -------------------------------------------------------------------

void TwwCustomDBGrid::Loaded() {
  TCustomGrid::Loaded();
  RebuildLayout();
}

void TwwCustomDBGrid::CreateWnd() {
  TCustomGrid::CreateWnd();
  RebuildLayout();
  UpdateScrollBar();
}

void TwwCustomDBGrid::Resize() {
  TCustomGrid::Resize();
  if (layoutLock_ != 0) return;
  HideControlEditor();
  HideEditor();
  UpdateRowCount();
}
