#include "datactrls/wwdbgrid.h"

#include <algorithm>

#include "datactrls/wwfieldsettings.h"
#include "datactrls/wwstr.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"

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
  UpdateSelectedRowCache();
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
