#pragma once
// The grid that forms place: the data grid engine with multi-selection of
// records (a list of bookmarks, highlighted through a per-row cache rebuilt at
// every paint), which the owner may refuse record by record.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "datactrls/wwdbigrd.h"
#include "datactrls/wwmemo.h"
#include "platform/classlib/db/dbtypes.h"
#include "platform/classlib/stdctrls/speedbutton.h"

DECLARE_ENUM(TwwEditControlOption, ecoCheckboxSingleClick, ecoSearchOwnerForm)
using TwwEditControlOptions = TSet<TwwEditControlOption>;

DECLARE_ENUM(TwwMultiSelectOption, msoAutoUnselect, msoShiftSelect)
using TwwMultiSelectOptions = TSet<TwwMultiSelectOption>;

class TwwDBComboBox;
class TwwDataSource;

class TwwDBGrid;
using TwwMemoOpenEvent = std::function<void(TwwDBGrid* Grid, TwwMemoDialog* MemoDialog)>;
using TwwMemoCloseEvent = std::function<void(TwwDBGrid* Grid, bool Cancel)>;
using TwwTitleButtonClickEvent = std::function<void(TObject* Sender, const std::string& AFieldName)>;
using TwwMultiSelectRecordEvent =
    std::function<void(TwwDBGrid* Grid, bool Selecting, bool& Accept)>;

class TwwDBGrid : public TwwCustomDBGrid {
  DECLARE_CLASS(TwwDBGrid, TwwCustomDBGrid)
 public:
  explicit TwwDBGrid(TComponent* AOwner);
  ~TwwDBGrid() override;

  TwwMultiSelectOptions MultiSelectOptions() const { return multiSelectOptions_; }
  void SetMultiSelectOptions(TwwMultiSelectOptions value) { multiSelectOptions_ = value; }
  // The selected records' bookmarks, each record once, in no particular order.
  const std::vector<TBookmarkStr>& SelectedList() const { return selectedList_; }

  virtual void SelectRecord();
  virtual void UnselectRecord();
  virtual void UnselectAll();
  virtual void UpdateSelectedRowCache();
  // The current record is in the selection (never while it is being edited).
  bool IsSelected();
  // The record shown in data row `dataRow` is selected, by the row cache.
  bool IsSelectedRow(int dataRow) const;

  TwwEditControlOptions EditControlOptions() const { return editControlOptions_; }
  void SetEditControlOptions(TwwEditControlOptions value) { editControlOptions_ = value; }

  // The two values of a "CheckBox" field (ticked, unticked); false when the
  // field has no such control type.
  bool CheckBoxValues(TField* field, std::string& ticked, std::string& unticked) const;
  // Space or a click on a check-box cell: ticked becomes unticked and back.
  void ToggleCheckBox();

  // Data columns kept in place at the left (after the indicator).
  int FixedCols() const { return fixedDataCols_; }
  void SetFixedCols(int value);
  bool ShowHorzScrollBar() const { return ScrollBars() == ssHorizontal || ScrollBars() == ssBoth; }
  void SetShowHorzScrollBar(bool value) { SetScrollBars(value ? ssHorizontal : ssNone); }

  TwwMemoAttributes MemoAttributes() const { return memoAttributes_; }
  void SetMemoAttributes(TwwMemoAttributes value);
  // Applies the column list and the dataset's field settings; a dataset that
  // is not one of the library's is refused and unbound.
  void ApplySelected();

  // Edits the current memo cell in the memo dialog (not with mDisableDialog).
  void OpenMemoDialog();

  // ---- Embedded controls and rich-text cells (wwdbgridctrls.cpp) ----
  // Writes the field's ControlType entry for the application's kind number
  // (2 check box, 3/5/6 edit, 7 rich text, 4 bitmap, else none) with
  // ControlName as its parameter, and makes a named edit ready for the grid.
  void SetControlType(const std::string& FieldName, int Kind, const std::string& ControlName);
  // The edit a ControlType entry names: "Name" on the search form, "Form.Name"
  // on the form that owns the dataset; nullptr when missing or not an edit.
  TCustomEdit* FindEditControl(const std::string& name) const;
  // The edit placed over the data cell, nullptr for a plain cell.
  TCustomEdit* CellControl(int ACol, int ARow) const;
  // The control last placed over the current cell.
  TCustomEdit* EmbeddedControl() const { return embedded_; }
  // Hides the named edits and binds them to the grid's data source and field.
  void PrepareEditControls();
  void UpdateRecordData() override;

  TwwMultiSelectRecordEvent OnMultiSelectRecord;
  TwwMemoOpenEvent OnMemoOpen;
  TwwMemoCloseEvent OnMemoClose;
  TwwTitleButtonClickEvent OnTitleButtonClick;

  // ---- What form definitions see of the grid ----
  // The data source as forms name it: nil unless it is the library's own.
  TwwDataSource* LibraryDataSource() const;
  void SetLibraryDataSource(TwwDataSource* value);
  // OnCheckValue is the base grid's (its editor fires it); published as that one.

 protected:
  bool IsCellHighlighted(int dataCol, int dataRow, TGridDrawState state) override;
  void Paint() override;
  void RecordClicked(TShiftState Shift, int dataCol) override;
  bool IsControlTypeCell(int ACol, int ARow) override;
  void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) override;
  virtual void DrawCheckBox(const TRect& box, bool ticked);
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void DblClick() override;
  void ApplyColumnAttributes() override;
  void DataLinkActiveChanged(bool active) override;
  TColor GetColumnColor(int ACol) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  virtual void TitleButtonClick(const std::string& AFieldName);

  // Embedded controls (wwdbgridctrls.cpp).
  void HideControlEditor() override;
  void ColEnter() override;
  void ColExit() override;
  bool CanEditShow() override;
  void TopLeftChanged() override;
  void KeyPress(char32_t& Key) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  std::string CellText(TField* field) override;
  // Whether the current cell's control covers the cell (the grid is to paint
  // nothing there); a control not yet there is placed soon after.
  bool PaintControlCell(int ACol, int ARow, const TRect& r, TGridDrawState state);
  void Dispatch(TMessage& message) override;
  // Keys the placed control or a rich edit takes; true when consumed.
  bool ControlKeyDown(WORD& Key, TShiftState Shift, bool afterGrid);
  // Hides the control when its field is no longer a column.
  void DropStaleControl();
  void Loaded() override;

 private:
  // Compares two bookmarks by record order: 0 or 2 the same record.
  int Compare(const TBookmarkStr& a, const TBookmarkStr& b) const;
  bool SameRecord(const TBookmarkStr& a, const TBookmarkStr& b) const;
  void SelectRange(const TBookmarkStr& clicked);
  void RemoveBetween(const TBookmarkStr& from, const TBookmarkStr& to);
  void AddCurrent();
  void LeaveEditMode();
  bool IsSelectionColumn(int dataCol) const;

  void PaintCheckBoxCell(int ACol, int ARow, const TRect& r, TGridDrawState state);
  // Runs `body` with the link's active record on data row `dataRow`, put back afterwards.
  void AtRow(int dataRow, const std::function<void()>& body);
  // The background of a control-type cell in the grid's colours, the owner's
  // hook and the highlight; the focus rectangle on the current one. True when
  // highlighted. Runs with the active record on the cell's row.
  bool FillControlCell(int ACol, int ARow, const TRect& r, TGridDrawState state);
  // "Bitmap" cells: the field's picture (or its lookup table's) drawn by the
  // entry's mode and raster operation.
  void PaintBitmapCell(int ACol, int ARow, const TRect& r, TGridDrawState state,
                       const std::string& parameter);
  std::unique_ptr<TBitmap> CellPicture(TField* field, bool insertedRow);
  void DrawPicture(const TRect& r, TBitmap* picture, const std::string& mode);
  bool CanToggle(TField* field);

  bool OnMemoCell();
  // The grid is its form's active control.
  bool FocusedHere() const;

  // Embedded controls (wwdbgridctrls.cpp).
  TComponent* SearchForm() const;
  void MakeReady(TCustomEdit* control, const std::string& fieldName, bool preparing);
  TCustomEdit* RichEditOf(TField* field) const;
  // The control named for a field's column; nil when none or on a record view.
  TCustomEdit* ControlOf(TField* field) const;
  // The column's embedded combo when it maps stored values to display texts.
  const TwwDBComboBox* MapListOf(TField* field);
  // A rich-text column hands F2 to its rich edit; false for other columns.
  bool OpenRichEdit();
  bool IsEditable() const;
  void HandCharTo(TCustomEdit* control, char32_t ch);
  TCustomEdit* embedded_ = nullptr;  // not owned: its form owns it
  bool paintingControl_ = false;     // a cell's control is being placed
  bool placePosted_ = false;         // a placement waits in the queue
  void PlaceControlSoon();
  void PlaceControl();
  bool editControlsPrepared_ = false;
  TCustomEdit* richReader_ = nullptr;  // hidden, owned by the grid: reads rich text as plain text
  bool painting_ = false;              // a paint pass runs: mapLists_ holds
  std::map<const TField*, const TwwDBComboBox*> mapLists_;

  int fixedDataCols_ = 0;
  bool applying_ = false;  // ApplySelected is running

  TwwEditControlOptions editControlOptions_{ecoSearchOwnerForm};
  TwwMemoAttributes memoAttributes_{mSizeable, mWordWrap};
  TwwMultiSelectOptions multiSelectOptions_;
  std::vector<TBookmarkStr> selectedList_;
  std::vector<bool> rowCache_;
  TBookmarkStr anchor_;       // the record of the last selection click
  bool shiftSelect_ = false;  // a selection click with msoShiftSelect happened
};

// The optional button in the grid's top-left corner. Placed on a grid it
// becomes the grid's indicator button once loaded; it never moves right or
// down into the cells, and its size sets the indicator column and title row.
class TwwIButton : public TSpeedButton {
  DECLARE_CLASS(TwwIButton, TSpeedButton)
 public:
  explicit TwwIButton(TComponent* AOwner) : TSpeedButton(AOwner) {}
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

 protected:
  void Loaded() override;

 private:
  TwwCustomDBGrid* Grid() const;
};
