// The owner-drawn grid and the string grid.

#include <algorithm>

#include "platform/classlib/grids/grids.h"
#include "platform/classlib/grids/gridaxis.h"

IMPLEMENT_CLASS(TDrawGrid, TCustomGrid)
IMPLEMENT_CLASS(TStringGrid, TDrawGrid)

PUBLISHED(TDrawGrid) {
  PROP_EVENT(OnDrawCell);
  PROP_EVENT(OnSelectCell);
  PROP_EVENT(OnGetEditMask);
  PROP_EVENT(OnGetEditText);
  PROP_EVENT(OnSetEditText);
  PROP_EVENT(OnColumnMoved);
  PROP_EVENT(OnRowMoved);
  PROP_EVENT(OnTopLeftChanged);
}

// ---- TDrawGrid ----------------------------------------------------------------------------

void TDrawGrid::MouseToCell(int X, int Y, int& ACol, int& ARow) const {
  const TGridCoord c = MouseCoord(X, Y);
  ACol = c.X;
  ARow = c.Y;
}

void TDrawGrid::DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) {
  if (OnDrawCell) OnDrawCell(this, ACol, ARow, ARect, AState);
}

bool TDrawGrid::SelectCell(int ACol, int ARow) {
  bool can = true;
  if (OnSelectCell) OnSelectCell(this, ACol, ARow, can);
  return can;
}

void TDrawGrid::ColumnMoved(int FromIndex, int ToIndex) {
  if (OnColumnMoved) OnColumnMoved(this, FromIndex, ToIndex);
}
void TDrawGrid::RowMoved(int FromIndex, int ToIndex) {
  if (OnRowMoved) OnRowMoved(this, FromIndex, ToIndex);
}
void TDrawGrid::TopLeftChanged() {
  TCustomGrid::TopLeftChanged();
  if (OnTopLeftChanged) OnTopLeftChanged(this);
}

std::string TDrawGrid::GetEditText(int ACol, int ARow) {
  std::string value;
  if (OnGetEditText) OnGetEditText(this, ACol, ARow, value);
  return value;
}
void TDrawGrid::SetEditText(int ACol, int ARow, const std::string& Value) {
  if (OnSetEditText) OnSetEditText(this, ACol, ARow, Value);
}
std::string TDrawGrid::GetEditMask(int ACol, int ARow) {
  std::string value;
  if (OnGetEditMask) OnGetEditMask(this, ACol, ARow, value);
  return value;
}

// ---- TStringGrid -------------------------------------------------------------------------

TStringGrid::TStringGrid(TComponent* AOwner) : TDrawGrid(AOwner) {}
TStringGrid::~TStringGrid() = default;

void TStringGrid::CheckCell(int ACol, int ARow) const {
  CheckGridIndex(ACol >= 0 && ARow >= 0 && ACol < ColCount() && ARow < RowCount());
}

// Cells are stored only once written: a large empty grid costs nothing.
const TStringGrid::Cell* TStringGrid::Find(int ACol, int ARow) const {
  CheckCell(ACol, ARow);
  if (size_t(ARow) >= cells_.size() || size_t(ACol) >= cells_[size_t(ARow)].size()) return nullptr;
  return &cells_[size_t(ARow)][size_t(ACol)];
}

TStringGrid::Cell& TStringGrid::At(int ACol, int ARow) {
  CheckCell(ACol, ARow);
  if (size_t(ARow) >= cells_.size()) cells_.resize(size_t(ARow) + 1);
  auto& row = cells_[size_t(ARow)];
  if (size_t(ACol) >= row.size()) row.resize(size_t(ACol) + 1);
  return row[size_t(ACol)];
}

std::string TStringGrid::Cells(int ACol, int ARow) const {
  const Cell* c = Find(ACol, ARow);
  return c ? c->text : std::string();
}

void TStringGrid::SetCells(int ACol, int ARow, const std::string& value) {
  At(ACol, ARow).text = value;
  InvalidateCell(ACol, ARow);
}

TObject* TStringGrid::Objects(int ACol, int ARow) const {
  const Cell* c = Find(ACol, ARow);
  return c ? c->object : nullptr;
}

void TStringGrid::SetObjects(int ACol, int ARow, TObject* value) { At(ACol, ARow).object = value; }

TStrings* TStringGrid::Cols(int index) {
  CheckCell(index, 0);
  if (size_t(index) >= cols_.size()) cols_.resize(size_t(ColCount()));
  auto& list = cols_[size_t(index)];
  if (!list) list = std::make_unique<TStringGridStrings>(this, true, index);
  return list.get();
}

TStrings* TStringGrid::Rows(int index) {
  CheckCell(0, index);
  if (size_t(index) >= rows_.size()) rows_.resize(size_t(RowCount()));
  auto& list = rows_[size_t(index)];
  if (!list) list = std::make_unique<TStringGridStrings>(this, false, index);
  return list.get();
}

void TStringGrid::DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) {
  // The owner's drawing replaces the text when DefaultDrawing is off.
  if (DefaultDrawing()) {
    if (const Cell* c = Find(ACol, ARow); c && !c->text.empty()) {
      // The grid filled the cell already: the text needs no second background.
      TBrush* brush = Canvas()->Brush();
      brush->SetStyle(bsClear);
      Canvas()->TextRect(ARect, ARect.Left + 2, ARect.Top + 2, c->text);
      brush->SetStyle(bsSolid);
    }
  }
  TDrawGrid::DrawCell(ACol, ARow, ARect, AState);
}

std::string TStringGrid::GetEditText(int ACol, int ARow) {
  // The owner may offer another text to edit (a raw value behind a formatted one).
  std::string value = Cells(ACol, ARow);
  if (OnGetEditText) OnGetEditText(this, ACol, ARow, value);
  return value;
}

void TStringGrid::SetEditText(int ACol, int ARow, const std::string& Value) {
  SetCells(ACol, ARow, Value);
  TDrawGrid::SetEditText(ACol, ARow, Value);
}

void TStringGrid::ColumnMoved(int FromIndex, int ToIndex) {
  for (auto& row : cells_) {
    row.resize(size_t(ColCount()));
    const Cell moved = row[size_t(FromIndex)];
    row.erase(row.begin() + FromIndex);
    row.insert(row.begin() + ToIndex, moved);
  }
  TDrawGrid::ColumnMoved(FromIndex, ToIndex);
}

void TStringGrid::RowMoved(int FromIndex, int ToIndex) {
  cells_.resize(size_t(RowCount()));
  auto moved = std::move(cells_[size_t(FromIndex)]);
  cells_.erase(cells_.begin() + FromIndex);
  cells_.insert(cells_.begin() + ToIndex, std::move(moved));
  TDrawGrid::RowMoved(FromIndex, ToIndex);
}

void TStringGrid::SizeChanged(int OldColCount, int OldRowCount) {
  // Cells past the new shape are dropped, so growing again shows them empty.
  if (cells_.size() > size_t(RowCount())) cells_.resize(size_t(RowCount()));
  for (auto& row : cells_)
    if (row.size() > size_t(ColCount())) row.resize(size_t(ColCount()));
  if (cols_.size() > size_t(ColCount())) cols_.resize(size_t(ColCount()));
  if (rows_.size() > size_t(RowCount())) rows_.resize(size_t(RowCount()));
  TDrawGrid::SizeChanged(OldColCount, OldRowCount);
}

// ---- TStringGridStrings ------------------------------------------------------------------

TGridCoord TStringGridStrings::CellOf(int index) const {
  CheckGridIndex(index >= 0 && index < GetCount());
  return isCol_ ? TGridCoord{index_, index} : TGridCoord{index, index_};
}

int TStringGridStrings::GetCount() const {
  return isCol_ ? grid_->RowCount() : grid_->ColCount();
}

std::string TStringGridStrings::Get(int index) const {
  const TGridCoord c = CellOf(index);
  return grid_->Cells(c.X, c.Y);
}

void TStringGridStrings::Put(int index, const std::string& s) {
  const TGridCoord c = CellOf(index);
  grid_->SetCells(c.X, c.Y, s);
}

TObject* TStringGridStrings::GetObject(int index) const {
  const TGridCoord c = CellOf(index);
  return grid_->Objects(c.X, c.Y);
}

void TStringGridStrings::PutObject(int index, TObject* object) {
  const TGridCoord c = CellOf(index);
  grid_->SetObjects(c.X, c.Y, object);
}

int TStringGridStrings::Add(const std::string& s) {
  for (int i = 0; i < GetCount(); ++i)
    if (Get(i).empty()) {
      Put(i, s);
      return i;
    }
  throw EInvalidGridOperation("Cannot insert or delete rows from grid");
}

void TStringGridStrings::Insert(int, const std::string&) {
  throw EInvalidGridOperation("Cannot insert or delete rows from grid");
}
void TStringGridStrings::Delete(int) {
  throw EInvalidGridOperation("Cannot insert or delete rows from grid");
}

void TStringGridStrings::Clear() {
  for (int i = 0; i < GetCount(); ++i) {
    Put(i, {});
    PutObject(i, nullptr);
  }
}
