#pragma once
// The engine of the library's data grid: which fields are columns, in which
// order, how wide, with which titles, how tall rows and titles are, how a
// user's resizing and moving is written back (the column list `Selected` is
// what the application stores), and the data link whose record window is the
// grid's visible rows.

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datactrls/wwfieldcheck.h"  // the column list's lines
#include "platform/classlib/core/sets.h"
#include "platform/classlib/db/datasource.h"
#include "platform/classlib/grids/grids.h"

class TDataSet;
class TField;
class TStringList;
class TStrings;
class TwwCustomDBGrid;
class TwwInplaceEdit;

enum TwwDBGridOption {
  dgEditing, dgAlwaysShowEditor, dgTitles, dgIndicator, dgColumnResize, dgColLines,
  dgRowLines, dgTabs, dgRowSelect, dgAlwaysShowSelection, dgConfirmDelete, dgCancelOnExit,
  dgWordWrap, dgPerfectRowFit, dgMultiSelect
};
using TwwDBGridOptions = TSet<TwwDBGridOption>;

enum TwwDBGridKeyOption { dgEnterToTab, dgAllowDelete, dgAllowInsert };
using TwwDBGridKeyOptions = TSet<TwwDBGridKeyOption>;

// Form definitions name the options.
ENUM_NAMES(TwwDBGridOption, dgEditing, dgAlwaysShowEditor, dgTitles, dgIndicator, dgColumnResize,
           dgColLines, dgRowLines, dgTabs, dgRowSelect, dgAlwaysShowSelection, dgConfirmDelete,
           dgCancelOnExit, dgWordWrap, dgPerfectRowFit, dgMultiSelect)
ENUM_NAMES(TwwDBGridKeyOption, dgEnterToTab, dgAllowDelete, dgAllowInsert)

// Character widths and pixels through the width of the font's "0".
int wwColumnPixels(int chars, int zeroWidth);
int wwColumnChars(int pixels, int zeroWidth);

// ---- The data link -----------------------------------------------------------
// Turns the dataset's notifications into grid operations and holds the field
// map: data column i shows the dataset field whose index is FieldMap[i].
class TwwGridDataLink : public TDataLink {
  DECLARE_CLASS(TwwGridDataLink, TDataLink)
 public:
  explicit TwwGridDataLink(TwwCustomDBGrid* grid) : grid_(grid) {}
  // Columns are limited so the map stays small; the message keeps its
  // historical "256" although the limit is higher.
  static constexpr int kMaxMappedFields = 16380;

  // Adds the dataset's field of that name; false when it has none.
  bool AddMapping(const std::string& fieldName);
  void ClearMapping() { fieldMap_.clear(); }
  int FieldCount() const { return int(fieldMap_.size()); }
  // The field shown in data column i; nullptr past the map or without a dataset.
  TField* Field(int dataColumn) const;
  bool Modified() const { return modified_; }
  void SetModified() { modified_ = true; }
  // Reloads the editor from the field (Escape while only the editor changed).
  void Reset();
  // True when there is no dataset or its fields were made from its definitions.
  bool DefaultFields() const;

 protected:
  void ActiveChanged() override;
  void DataSetChanged() override;
  void DataSetScrolled(int distance) override;
  void EditingChanged() override;
  void LayoutChanged() override;
  void RecordChanged(TField* field) override;
  void UpdateData() override;

 private:
  TwwCustomDBGrid* grid_;
  std::vector<int> fieldMap_;
  bool modified_ = false;
  bool inWrite_ = false;
};

DECLARE_ENUM(TIndicatorColorType, icBlack, icYellow)

using TwwCalcCellColorsEvent = std::function<void(TObject* Sender, TField* Field, TGridDrawState State,
                                                  bool Highlight, TFont* AFont, TBrush* ABrush)>;
using TwwCalcTitleAttributesEvent =
    std::function<void(TObject* Sender, const std::string& AFieldName, TFont* AFont, TBrush* ABrush,
                       TAlignment& ATitleAlignment)>;
using TwwDrawDataCellEvent =
    std::function<void(TObject* Sender, const TRect& Rect, TField* Field, TGridDrawState State)>;
struct TwwGridResources;
class TBitmap;
class TwwIButton;

using TwwColumnMovedEvent = std::function<void(TObject* Sender, int FromIndex, int ToIndex)>;

// ---- The grid ----------------------------------------------------------------
class TwwCustomDBGrid : public TCustomGrid {
  DECLARE_CLASS(TwwCustomDBGrid, TCustomGrid)
 public:
  explicit TwwCustomDBGrid(TComponent* AOwner);
  ~TwwCustomDBGrid() override;

  // ---- Layout properties ----
  TStrings* Selected() const;
  void SetSelected(const TStrings* lines);
  TFont* TitleFont() const { return titleFont_.get(); }
  TwwDBGridOptions Options() const { return options_; }
  void SetOptions(TwwDBGridOptions value);
  TwwDBGridKeyOptions KeyOptions() const { return keyOptions_; }
  void SetKeyOptions(TwwDBGridKeyOptions value) { keyOptions_ = value; }
  int RowHeightPercent() const { return rowHeightPercent_; }
  void SetRowHeightPercent(int value);
  int TitleLines() const { return titleLines_; }
  void SetTitleLines(int value);
  TAlignment TitleAlignment() const { return titleAlignment_; }
  void SetTitleAlignment(TAlignment value);
  bool UseTFields() const { return useTFields_; }
  void SetUseTFields(bool value) { useTFields_ = value; }
  bool EditCalculated() const { return editCalculated_; }
  void SetEditCalculated(bool value) { editCalculated_ = value; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }
  int IndicatorWidth() const { return indicatorWidth_; }
  void SetIndicatorWidth(int value) { indicatorWidth_ = value; }
  // The height of a control in the top-left corner (an indicator button); 0 when none.
  void SetIndicatorButtonHeight(int value) { indicatorButtonHeight_ = value; }
  int TitleTextTop() const { return titleTextTop_; }
  int TitleOffset() const { return titleOffset_; }
  int IndicatorOffset() const { return indicatorOffset_; }
  int TitleRowHeight() const { return titleRowHeight_; }

  TDataSource* DataSource() const { return dataLink_->DataSource(); }
  void SetDataSource(TDataSource* value);
  TwwGridDataLink* DataLink() const { return dataLink_.get(); }

  // ---- Columns ----
  virtual void RebuildLayout();
  int GetFieldCount() const { return dataLink_->FieldCount(); }
  TField* GetField(int dataColumn) const { return dataLink_->Field(dataColumn); }
  TField* GetSelectedField() const;
  int GetColWidth(int gridColumn) const { return ColWidths(gridColumn); }
  // Assigns a width without writing it back to the field or column list.
  // Outside a rebuild the width is the column's own from then on, as a
  // user's sizing is (see keptWidths_).
  void SetColWidthQuiet(int gridColumn, int pixels);
  int DataColumn(int gridColumn) const { return gridColumn - indicatorOffset_; }
  int DataRow(int gridRow) const { return gridRow - titleOffset_; }

  // ---- Record window ----
  // Data rows that fit the client height below the titles.
  int VisibleDataRows() const;

  bool ShowVertScrollBar() const { return showVertScrollBar_; }
  void SetShowVertScrollBar(bool value);

  // ---- Navigation ----
  // Moves the current column to data column `index` (clamped), writing the
  // pending edit first.
  void SelectDataColumn(int index);

  // ---- Painting ----
  TColor TitleColor() const { return titleColor_; }
  void SetTitleColor(TColor value);
  TIndicatorColorType IndicatorColor() const { return indicatorColor_; }
  void SetIndicatorColor(TIndicatorColorType value);
  // The data row and column of the cell being painted, for the owner's handlers.
  int PaintedRow() const { return paintedRow_; }
  int PaintedCol() const { return paintedCol_; }

  // ---- Cell faces: 3-D frames, title buttons, the indicator button ----
  // The grid paints its cells whole, frames included; the class library's
  // grid paints none of its own (its default drawing stays off).
  bool DefaultDrawing() const { return defaultDrawing_; }
  void SetDefaultDrawing(bool value) { defaultDrawing_ = value; }
  // Without it only title and indicator cells are framed.
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool value);
  bool TitleButtons() const { return titleButtons_; }
  void SetTitleButtons(bool value);
  // The title cell held down as a button; X = -1 when none.
  TGridCoord PressedTitle() const { return pressedTitle_; }
  // The button in the top-left corner; it registers itself once loaded. The
  // indicator column is as wide as the button less its right edge, the title
  // row at least as tall as the button.
  TwwIButton* IndicatorButton() const { return indicatorButton_; }
  void SetIndicatorButton(TwwIButton* value);
  void IndicatorButtonResized();
  // Assigns the title font (a change of it rebuilds the layout).
  void SetTitleFont(const TFont* value);

  TwwCalcCellColorsEvent OnCalcCellColors;
  TwwCalcTitleAttributesEvent OnCalcTitleAttributes;
  TwwDrawDataCellEvent OnDrawDataCell;
  TwwColumnMovedEvent OnColumnMoved;
  TNotifyEvent OnTopRowChanged;
  TNotifyEvent OnColEnter;
  TNotifyEvent OnColExit;

  // ---- In-place editing (wwdbigrdedit.cpp) ----
  // Told whether the editor's text passes the column field's picture mask.
  std::function<void(TObject* Sender, bool PassesPictureTest)> OnCheckValue;
  // The editor, once the grid has made one.
  TwwInplaceEdit* WwInplaceEditor() const;
  // Writes the pending edit into the record (an owner does before it posts).
  virtual void UpdateRecordData();
  // An embedded control that must stay shown while its dataset is reread
  // (a lookup combo filling itself) says so here.
  void SetKeepControl(bool value) { keepControl_ = value; }

 protected:
  friend class TwwGridDataLink;
  friend class TwwInplaceEdit;
  TInplaceEdit* CreateEditor() override;
  std::string GetEditMask(int ACol, int ARow) override;
  int GetEditLimit() override;
  bool CanEditAcceptKey(char32_t Key) override;
  // Leaving the cell: false when the editor's text fails its mask and the
  // dataset's OnInvalidValue was told; raises when the dataset has no handler.
  bool CheckEditorMask();
  // Escape with an always-shown editor: the restored text is tested again.
  void RecheckEditorMask();
  bool keepControl_ = false;
  // The current column changed: the events, and what descendants attach.
  virtual void ColEnter();
  virtual void ColExit();
  // The text a data cell shows for its field.
  virtual std::string CellText(TField* field);
  virtual void BuildFieldMap();
  virtual void ApplyColumnAttributes();
  virtual void DataLinkActiveChanged(bool active);
  virtual void RefreshData();
  virtual void ScrollRecords(int distance);
  virtual void TopRowChanged();
  virtual void HideControlEditor() {}
  // A data cell painted and edited by its own control type, not the editor.
  virtual bool IsControlTypeCell(int ACol, int ARow) { return (void)ACol, (void)ARow, false; }
  // A click on a data cell moved to its record: multi-selection follows here.
  virtual void RecordClicked(TShiftState Shift, int dataCol) { (void)Shift, (void)dataCol; }
  void RecordChanged(TField* field);
  virtual bool IsCellHighlighted(int dataCol, int dataRow, TGridDrawState state);
  virtual void CalcCellColors(TField* field, TGridDrawState state, bool highlight, TFont* font,
                              TBrush* brush);
  virtual void CalcTitleAttributes(const std::string& fieldName, TFont* font, TBrush* brush,
                                   TAlignment& alignment);
  virtual TColor GetColumnColor(int ACol);
  void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) override;
  // The raised (or, for a pressed title, sunken) frame of a cell: after each
  // cell with DefaultDrawing and after control-type cells; once per cell.
  void DrawCellFrame(int ACol, int ARow, const TRect& r, TGridDrawState state);
  void DrawTitleButtonFrame(const TRect& r, bool pressed);
  // Starts a cell: no frame drawn yet, no focus frame, brush not yet white.
  void BeginCellFrame();
  void MarkFocusFrame() { focusFrame_ = true; }
  // The cell has a frame of its own: no 3-D frame follows.
  void MarkFramed() { titleFrame_ = true; }
  void SetPressedTitle(TGridCoord cell) { pressedTitle_ = cell; }
  void GridFontChanged();
  void TitleFontChanged();
  // Writes one line at (dx, dy) inside r with the alignment; opaque fills r first.
  void WriteLine(const TRect& r, TAlignment alignment, int dx, int dy, const std::string& text,
                 bool opaque);
  std::vector<std::string> WrapLines(const std::string& text, int width) const;

  void Loaded() override;
  void Dispatch(TMessage& message) override;
  void CreateWnd() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void ColumnMoved(int FromIndex, int ToIndex) override;
  void ColWidthsChanged() override;
  void Resize() override;

  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  // A press on a data cell drags: past the top or bottom the records scroll on a timer.
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void TimedScroll(TGridScrollDirection Direction) override;
  void DoExit() override;
  void FillCreateParams(TCreateParams& params) override;
  void ModifyScrollBar(int ScrollBar, int ScrollCode, int Pos) override;
  std::string GetEditText(int ACol, int ARow) override;
  void SetEditText(int ACol, int ARow, const std::string& Value) override;
  bool CanEditModify() override;
  bool CanEditShow() override;
  // The record refused to be edited: the cell shows the stored text again.
  void DropRefusedEdit();

  // Rows: Down past the end may append; Up on an untouched new record drops it.
  void NextRow();
  void PriorRow();
  void MoveRecords(int distance);
  // The mouse wheel turned by `delta` (a notch is 120) moves the current record.
  void WheelRecords(int delta);
  void TabMovement(bool forward);
  // Escape: the editor's text, else (after asking when modified) the record.
  void DiscardEdits();
  // Ctrl+Delete; false when refused.
  bool DeleteRecord();
  TDataSet* ActiveDataSet() const;

  void UpdateRowCount();
  void UpdateActive();
  void UpdateScrollBar();
  // The columns' fields: the mapped fields, or the column list's lines whose
  // field the dataset has.
  struct Column {
    TField* field = nullptr;
    int chars = 0;
    std::string title;
  };
  std::vector<Column> LayoutColumns() const;

 private:
  void ApplyRowHeights();
  int TitleWidth(const std::string& title) const;
  void WriteBackWidths();
  // The width given to grid column `col` (LayoutColumns' `c`) stays its own.
  void KeepWidth(const Column& c, int col, int zero);
  // The zero's width in the grid's font: what a column's characters measure.
  int ZeroWidth() const;
  bool CanRebuild() const;
  bool CanInsert() const;
  bool CellTakesEditor();
  bool IsUntouchedInsert() const;
  bool PlainKey(WORD key, TShiftState shift);
  bool CtrlKey(WORD key);
  int ScrollBarPosition() const;
  static std::shared_ptr<TwwGridResources> SharedResources();
  bool FitsOneLine(const TRect& r, const std::string& text) const;
  void WriteCellText(const TRect& r, TAlignment alignment, const std::string& text);
  void WriteTitle(const TRect& r, TAlignment alignment, const std::string& title, bool pressed);
  std::string TitleOf(TField* field) const;
  void PaintTitleCell(int ACol, int ARow, const TRect& r);
  void PaintDataCell(int dataCol, int dataRow, const TRect& r, TGridDrawState state);
  TBitmap* IndicatorFigure() const;
  void ReportPaintError(const TRect& r);
  void DrawIndicator(const TRect& cell);
  void ThumbTo(int pos);
  // A press on the cells or a scroll-bar request takes the focus, so the
  // current row it moves shows as current. False when the control that has
  // the focus keeps it (text its field refused): the press does nothing then.
  bool TakeFocus();
  // The rows' area right of the indicator, down to the last data row.
  TRect DataRowsRect() const;
  // The whole width of grid row `row`; empty when it is not shown.
  TRect RowRect(int row) const;
  void InvalidateIndicator(int row);
  void ShowEditorIfAlways();
  bool dragging_ = false;  // a data cell was pressed and the button is still down
  int wheelRest_ = 0;      // the wheel turned short of a whole row, times the rows per notch

  std::unique_ptr<TStringList> selected_;
  std::unique_ptr<TFont> titleFont_;
  std::unique_ptr<TwwGridDataLink> dataLink_;
  TwwDBGridOptions options_;
  TwwDBGridKeyOptions keyOptions_{dgAllowDelete, dgAllowInsert};
  int titleOffset_ = 0;
  int indicatorOffset_ = 0;
  int layoutLock_ = 0;            // a rebuild or write-back is running
  bool layoutInProgress_ = false; // the grid itself is assigning widths
  int rowHeightPercent_ = 100;
  int titleLines_ = 1;
  TAlignment titleAlignment_ = taLeftJustify;
  bool useTFields_ = true;
  bool editCalculated_ = false;
  bool readOnly_ = false;
  int indicatorWidth_ = 11;
  int indicatorButtonHeight_ = 0;
  int titleTextTop_ = 2;
  int titleRowHeight_ = 0;
  bool widthWriteBack_ = true;
  // Widths the user sized or the owner set, per field name. A rebuild (a
  // title font's colour, a column moved, the first record of a table) gives
  // them back as they were instead of working them out anew from the
  // characters, which would narrow or widen columns nobody touched. Each holds
  // while the column's characters and the font's zero measure what they did
  // when it was given: a new display width or font lays the column out anew.
  struct KeptWidth {
    int pixels, chars, zero;
  };
  std::map<std::string, KeptWidth> keptWidths_;
  bool rowCountGuard_ = false;
  bool colChanging_ = false;    // OnColExit is running
  bool suppressEditor_ = false; // a click or Tab is changing rows
  bool showVertScrollBar_ = true;
  std::string editText_;
  std::shared_ptr<TwwGridResources> resources_ = SharedResources();
  TColor titleColor_ = clBtnFace;
  TIndicatorColorType indicatorColor_ = icBlack;
  bool whiteBrush_ = false;  // the cell's brush is white
  bool focusFrame_ = false;  // the cell drew a focus rectangle
  bool titleFrame_ = false;  // the cell has its frame (or wants none)
  bool defaultDrawing_ = true;
  bool ctl3D_ = true;
  bool titleButtons_ = false;
  TGridCoord pressedTitle_{-1, -1};
  TwwIButton* indicatorButton_ = nullptr;
  bool fontFromParent_ = false;  // the title font is taking the parent's font
  int paintedRow_ = -1, paintedCol_ = -1;
  int oldIndicatorRow_ = -1;
  bool paintErrorShown_ = false;  // a failing row was reported once already
  std::exception_ptr paintError_;  // waiting to be shown after the paint
  // Posted to the grid itself to show a paint error outside the paint.
  static constexpr UINT kReportPaintError = WM_USER + 0x1F1;  // the field text last loaded into the editor
};
