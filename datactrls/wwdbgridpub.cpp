// The published grid as forms place it: its properties by name with their
// defaults (what a form definition writes and reads), the properties whose
// setters do more than store, the fonts, and the indicator button.
#include <algorithm>

#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/graphics/graphics.h"

IMPLEMENT_CLASS(TwwIButton, TSpeedButton)

// The class library's grid shape (counts, fixed rows, default sizes, line
// width, scroll bars) follows from the data and the grid's own properties;
// a form definition keeps only the latter.
PUBLISHED(TwwDBGrid) {
  PROP_DEFAULT(ColCount, 2).Stored(false);
  PROP_DEFAULT(RowCount, 2).Stored(false);
  PROP_DEFAULT(FixedRows, 1).Stored(false);
  PROP_DEFAULT(DefaultColWidth, 64).Stored(false);
  PROP_DEFAULT(DefaultRowHeight, 24).Stored(false);
  PROP_DEFAULT(GridLineWidth, 1).Stored(false);
  PROP_DEFAULT(FixedColor, clBtnFace).Stored(false);
  PROP_DEFAULT(ScrollBars, ssHorizontal).Stored(false);
  PROP_BOOL(Ctl3D, Ctl3D, SetCtl3D, true);
  PROP_OBJ(Selected, Selected, SetSelected);
  PROP_SET(MemoAttributes, MemoAttributes, SetMemoAttributes, (TwwMemoAttributes{mSizeable, mWordWrap}));
  PROP_COLOR(TitleColor, TitleColor, SetTitleColor, clBtnFace);
  PROP_INT(FixedCols, FixedCols, SetFixedCols, 0);
  PROP_BOOL(ShowHorzScrollBar, ShowHorzScrollBar, SetShowHorzScrollBar, true);
  PROP_BOOL(ShowVertScrollBar, ShowVertScrollBar, SetShowVertScrollBar, true);
  PROP_SET(EditControlOptions, EditControlOptions, SetEditControlOptions,
           TwwEditControlOptions{ecoSearchOwnerForm});
  // The button names itself the grid's once it is loaded.
  PROP_OBJ(IndicatorButton, IndicatorButton, SetIndicatorButton).Stored(false);
  PROP_OBJ(DataSource, LibraryDataSource, SetLibraryDataSource);
  PROP_BOOL(DefaultDrawing, DefaultDrawing, SetDefaultDrawing, true);
  PROP_BOOL(EditCalculated, EditCalculated, SetEditCalculated, false);
  PROP_SET(KeyOptions, KeyOptions, SetKeyOptions, (TwwDBGridKeyOptions{dgAllowDelete, dgAllowInsert}));
  PROP_SET(MultiSelectOptions, MultiSelectOptions, SetMultiSelectOptions, TwwMultiSelectOptions{});
  PROP_SET(Options, Options, SetOptions,
           (TwwDBGridOptions{dgEditing, dgTitles, dgIndicator, dgColumnResize, dgColLines,
                             dgRowLines, dgTabs, dgConfirmDelete, dgCancelOnExit, dgWordWrap}));
  PROP_BOOL(ReadOnly, ReadOnly, SetReadOnly, false);
  PROP_INT(RowHeightPercent, RowHeightPercent, SetRowHeightPercent, 100);
  PROP_ENUM(TitleAlignment, TitleAlignment, SetTitleAlignment, taLeftJustify);
  PROP_OBJ(TitleFont, TitleFont, SetTitleFont);
  PROP_INT(TitleLines, TitleLines, SetTitleLines, 1);
  PROP_BOOL(TitleButtons, TitleButtons, SetTitleButtons, false);
  PROP_BOOL(UseTFields, UseTFields, SetUseTFields, true);
  PROP_ENUM(IndicatorColor, IndicatorColor, SetIndicatorColor, icBlack);
  PROP_EVENT(OnMemoOpen);
  PROP_EVENT(OnMemoClose);
  PROP_EVENT(OnMultiSelectRecord);
  PROP_EVENT(OnCalcCellColors);
  PROP_EVENT(OnCalcTitleAttributes);
  PROP_EVENT(OnDrawDataCell);
  PROP_EVENT(OnTitleButtonClick);
  PROP_EVENT(OnColEnter);
  PROP_EVENT(OnColExit);
  PROP_EVENT(OnTopRowChanged);
  PROP_EVENT(OnCheckValue);
  PROP_EVENT(OnColumnMoved);
}

// ---- Setters that do more than store ------------------------------------------

void TwwDBGrid::SetMemoAttributes(TwwMemoAttributes value) {
  memoAttributes_ = value;
  ApplySelected();
}

TwwDataSource* TwwDBGrid::LibraryDataSource() const { return dynamic_cast<TwwDataSource*>(DataSource()); }

void TwwDBGrid::SetLibraryDataSource(TwwDataSource* value) { SetDataSource(value); }

void TwwCustomDBGrid::SetTitleFont(const TFont* value) {
  if (value) titleFont_->Assign(value);
}

// ---- The indicator button ------------------------------------------------------

void TwwCustomDBGrid::SetIndicatorButton(TwwIButton* value) {
  if (value == indicatorButton_) return;
  if (indicatorButton_) indicatorButton_->RemoveFreeNotification(this);
  indicatorButton_ = value;
  if (value) value->FreeNotification(this);
  IndicatorButtonResized();
}

void TwwCustomDBGrid::IndicatorButtonResized() {
  if (indicatorButton_) indicatorWidth_ = std::max(indicatorButton_->Width() - 1, 0);
  indicatorButtonHeight_ = indicatorButton_ ? indicatorButton_->Height() : 0;
  RebuildLayout();
}

TwwCustomDBGrid* TwwIButton::Grid() const { return dynamic_cast<TwwCustomDBGrid*>(Parent()); }

void TwwIButton::Loaded() {
  TSpeedButton::Loaded();
  if (TwwCustomDBGrid* grid = Grid()) grid->SetIndicatorButton(this);
}

void TwwIButton::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  const bool resized = AWidth != Width() || AHeight != Height();
  // The corner is the button's place: it never reaches into the cells.
  TSpeedButton::SetBounds(std::min(ALeft, 0), std::min(ATop, 0), AWidth, AHeight);
  TwwCustomDBGrid* grid = Grid();
  if (resized && grid && grid->IndicatorButton() == this && !ComponentState().Contains(csLoading))
    grid->IndicatorButtonResized();
}
