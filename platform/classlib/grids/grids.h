#pragma once
// The grid: rows and columns of cells painted by the control itself, the
// first rows and columns fixed (titles), a current cell with a selection
// around it, keyboard and mouse navigation, user sizing and moving of
// columns and rows, and an in-place editor over the current cell.
// TCustomGrid paints nothing of a cell's content: descendants override
// DrawCell (TDrawGrid hands it to OnDrawCell, TStringGrid draws its Cells).
// Data-aware grids keep their own record window and map it to the vertical
// scroll bar through UpdateScrollPos / UpdateScrollRange and WM_VSCROLL.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/controls/controls.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/stdctrls/edits.h"

class TTimer;
class TCustomGrid;

DECLARE_EXCEPTION(EInvalidGridOperation, Exception)

DECLARE_ENUM(TGridOption, goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine,
             goRangeSelect, goDrawFocusSelected, goRowSizing, goColSizing, goRowMoving,
             goColMoving, goEditing, goTabs, goRowSelect, goAlwaysShowEditor, goThumbTracking)
using TGridOptions = TSet<TGridOption>;

enum TGridDrawStateFlag { gdSelected, gdFocused, gdFixed };
using TGridDrawState = TSet<TGridDrawStateFlag>;

// The edges a drag selection holds the mouse past (TimedScroll).
enum TGridScrollDirectionFlag { sdLeft, sdRight, sdUp, sdDown };
using TGridScrollDirection = TSet<TGridScrollDirectionFlag>;

// What the mouse is doing with the grid.
enum TGridState { gsNormal, gsSelecting, gsRowSizing, gsColSizing, gsRowMoving, gsColMoving };

struct TGridCoord {
  int X = 0;
  int Y = 0;
  friend bool operator==(const TGridCoord&, const TGridCoord&) = default;
};
// Cells from (Left, Top) to (Right, Bottom), both corners included.
struct TGridRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  friend bool operator==(const TGridRect&, const TGridRect&) = default;
};

// The editor the grid shows over its current cell. Its text is the grid's
// GetEditText when shown; every change goes back through SetEditText;
// Escape puts the text it was shown with back and hides it.
class TInplaceEdit : public TCustomEdit {
  DECLARE_CLASS(TInplaceEdit, TCustomEdit)
 public:
  explicit TInplaceEdit(TComponent* AOwner);
  TCustomGrid* Grid() const { return grid_; }
  // The grid's GetEditMask for the cell (the edit core checks no masks; kept
  // for descendants that do).
  const std::string& EditMask() const { return editMask_; }
  void SetEditMask(const std::string& value) { editMask_ = value; }
  // Moves the editor over `cellRect` and shows it, taking the focus when the
  // grid has it.
  void Move(const TRect& cellRect);
  // Reloads the text from the grid (GetEditText of the current cell).
  void UpdateContents();
  void Dispatch(TMessage& message) override;

 protected:
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void Change() override;
  void DblClick() override;

 private:
  friend class TCustomGrid;
  void SetGrid(TCustomGrid* grid) { grid_ = grid; }
  // Keys the grid moves with while the editor has the focus.
  bool ForGrid(WORD key, TShiftState shift) const;
  TCustomGrid* grid_ = nullptr;
  std::string editMask_;
  std::string shownText_;  // what Escape goes back to
  bool loading_ = false;   // the text is being set, not typed
  bool handedByGrid_ = false;  // the key typed comes from the grid, which had it first
};

class TCustomGrid : public TCustomControl {
  DECLARE_CLASS(TCustomGrid, TCustomControl)
 public:
  explicit TCustomGrid(TComponent* AOwner);
  ~TCustomGrid() override;

  // ---- Shape ----
  int ColCount() const { return int(colWidths_.size()); }
  void SetColCount(int value);
  int RowCount() const { return int(rowHeights_.size()); }
  void SetRowCount(int value);
  int FixedCols() const { return fixedCols_; }
  void SetFixedCols(int value);
  int FixedRows() const { return fixedRows_; }
  void SetFixedRows(int value);
  int DefaultColWidth() const { return defaultColWidth_; }
  void SetDefaultColWidth(int value);
  int DefaultRowHeight() const { return defaultRowHeight_; }
  void SetDefaultRowHeight(int value);
  int ColWidths(int index) const;
  void SetColWidths(int index, int value);
  int RowHeights(int index) const;
  void SetRowHeights(int index, int value);
  bool TabStops(int index) const;
  void SetTabStops(int index, bool value);
  int GridLineWidth() const { return gridLineWidth_; }
  void SetGridLineWidth(int value);

  // ---- Looks and behaviour ----
  TGridOptions Options() const { return options_; }
  void SetOptions(TGridOptions value);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  TColor FixedColor() const { return fixedColor_; }
  void SetFixedColor(TColor value);
  bool DefaultDrawing() const { return defaultDrawing_; }
  void SetDefaultDrawing(bool value) { defaultDrawing_ = value; }

  // ---- Position ----
  int Col() const { return current_.X; }
  void SetCol(int value) { FocusCell(value, current_.Y, true); }
  int Row() const { return current_.Y; }
  void SetRow(int value) { FocusCell(current_.X, value, true); }
  int LeftCol() const { return topLeft_.X; }
  void SetLeftCol(int value) { MoveTopLeft(value, topLeft_.Y); }
  int TopRow() const { return topLeft_.Y; }
  void SetTopRow(int value) { MoveTopLeft(topLeft_.X, value); }
  // Scrollable columns / rows wholly in view from LeftCol / TopRow.
  int VisibleColCount() const;
  int VisibleRowCount() const;
  TGridRect Selection() const;
  void SetSelection(const TGridRect& value);
  TGridState GridState() const { return state_; }

  // ---- Editing ----
  bool EditorMode() const { return editorMode_; }
  void SetEditorMode(bool value);
  TInplaceEdit* InplaceEditor() const { return editor_; }

  // ---- Geometry (client coordinates) ----
  // The cell's rectangle, clipped to the client area; empty when not in view.
  TRect CellRect(int ACol, int ARow) const;
  TRect BoxRect(int ALeft, int ATop, int ARight, int ABottom) const;
  // The cell under a client point; -1 parts where no cell is.
  TGridCoord MouseCoord(int X, int Y) const;

  // ---- Services for descendants and owners ----
  void MoveColRow(int ACol, int ARow, bool MoveAnchor, bool Show);
  void InvalidateCell(int ACol, int ARow);
  void InvalidateRow(int ARow);
  void InvalidateCol(int ACol);
  void InvalidateEditor();
  void InvalidateGrid() { Invalidate(); }
  void ShowEditor();
  void HideEditor();
  // Moves a column or row with its size and tab stop, then ColumnMoved / RowMoved.
  void MoveColumn(int FromIndex, int ToIndex);
  void MoveRow(int FromIndex, int ToIndex);

  void Dispatch(TMessage& message) override;
  using TCustomControl::Canvas;

 protected:
  // ---- Hooks a descendant overrides ----
  virtual void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) {
    (void)ACol, (void)ARow, (void)ARect, (void)AState;
  }
  // Paints every cell in the paint's clip, grid lines, 3-D fixed cells and
  // the focus rectangle.
  virtual void Paint();
  virtual bool SelectCell(int ACol, int ARow) {
    (void)ACol, (void)ARow;
    return true;
  }
  virtual void ColumnMoved(int FromIndex, int ToIndex) { (void)FromIndex, (void)ToIndex; }
  virtual void RowMoved(int FromIndex, int ToIndex) { (void)FromIndex, (void)ToIndex; }
  virtual void ColWidthsChanged();
  virtual void RowHeightsChanged();
  virtual void TopLeftChanged();
  virtual void SizeChanged(int OldColCount, int OldRowCount) { (void)OldColCount, (void)OldRowCount; }
  virtual bool CanEditShow();
  virtual bool CanEditModify() { return true; }
  virtual bool CanEditAcceptKey(char32_t Key) { (void)Key; return true; }
  virtual bool CanGridAcceptKey(WORD Key, TShiftState Shift) { (void)Key, (void)Shift; return true; }
  virtual std::string GetEditText(int ACol, int ARow) { (void)ACol, (void)ARow; return {}; }
  virtual void SetEditText(int ACol, int ARow, const std::string& Value) {
    (void)ACol, (void)ARow, (void)Value;
  }
  virtual std::string GetEditMask(int ACol, int ARow) { (void)ACol, (void)ARow; return {}; }
  virtual int GetEditLimit() { return 0; }
  virtual TInplaceEdit* CreateEditor();
  // Called every tick while a drag selection holds the mouse past an edge.
  virtual void TimedScroll(TGridScrollDirection Direction);
  // The vertical and horizontal scroll bars: range and thumb. A data-aware
  // grid overrides these to show its record position instead of rows.
  virtual void UpdateScrollRange();
  virtual void UpdateScrollPos();
  // A scroll-bar request (WM_HSCROLL / WM_VSCROLL): SB_HORZ or SB_VERT, an SB_ code.
  virtual void ModifyScrollBar(int ScrollBar, int ScrollCode, int Pos);
  // Where the sizing or moving of a mouse press at (X, Y) would start.
  virtual void CalcSizingState(int X, int Y, TGridState& State, int& Index, int& SizingPos,
                               int& SizingOfs) const;

  void PaintContent() override { Paint(); }
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void FillCreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  // Below the current cell.
  TPoint KeyboardPopupPoint() const override;
  void DblClick() override;
  void DoEnter() override;
  void DoExit() override;

  // Moves the top-left scrollable cell (clamped), scrolling the pixels.
  void MoveTopLeft(int ALeft, int ATop);
  // Current cell and top-left as the class library names them.
  TGridCoord Current() const { return current_; }
  TGridCoord Anchor() const { return anchor_; }
  // Puts the editor over the current cell again, or hides it when the cell
  // left the view or editing may not show.
  void UpdateEdit();
  // Writes the editor's text back through SetEditText.
  void UpdateText();
  // Hides a window over the cells (the editor, an embedded control); one
  // that has the focus gives it to the grid first.
  void HideCellWindow(TWinControl* window);
  // TimedScroll every tick while a drag holds the mouse past an edge; a grid
  // that tracks its own drags (a data grid) starts and stops it.
  void StartScrollTimer(TGridScrollDirection direction);
  void StopScrollTimer();

 private:
  friend class TInplaceEdit;
  struct Axis;
  Axis ColAxis() const;
  Axis RowAxis() const;
  void FocusCell(int ACol, int ARow, bool MoveAnchor);
  void InvalidateRange(const TGridRect& r);
  void ClampInView(TGridCoord cell);
  void ScrollData(TGridCoord oldTopLeft);
  void ChangeSize(int newColCount, int newRowCount);
  void SetFixed(int& fixed, int value, int count, int TGridCoord::*axis);
  void ResizeLine(std::vector<int>& sizes, int index, int value, bool cols);
  // Moving and selecting by keys.
  bool TabMove(bool forward);
  TGridCoord KeyTarget(WORD key, TShiftState shift, bool& handled) const;
  // Mouse drags.
  void DrawSizingLine();
  void DrawMoveLine();
  void EndDrag(int X, int Y, bool apply);
  void PaintLines(const Axis& cols, const Axis& rows, const TRect& clip);
  void ShowEditorChar(char32_t ch);

  std::vector<int> colWidths_;
  std::vector<int> rowHeights_;
  std::vector<bool> tabStops_;
  int fixedCols_ = 1, fixedRows_ = 1;
  int defaultColWidth_ = 64, defaultRowHeight_ = 24;
  int gridLineWidth_ = 1;
  TGridOptions options_;
  TScrollStyle scrollBars_ = ssBoth;
  TBorderStyle borderStyle_ = bsSingle;
  TColor fixedColor_ = clBtnFace;
  bool defaultDrawing_ = true;
  TGridCoord current_{1, 1}, anchor_{1, 1}, topLeft_{1, 1};
  bool editorMode_ = false;
  TInplaceEdit* editor_ = nullptr;
  TGridCoord editCell_{-1, -1};  // the cell the editor's text belongs to
  // Mouse drag state.
  TGridState state_ = gsNormal;
  int sizingIndex_ = -1, sizingPos_ = 0, sizingOfs_ = 0;
  bool lineShown_ = false;  // the sizing or moving line is on the screen
  int moveIndex_ = -1, movePos_ = -1;
  std::unique_ptr<TTimer> scrollTimer_;
  TGridScrollDirection scrollDirection_;
};

using TDrawCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, const TRect& Rect,
                                          TGridDrawState State)>;
using TSelectCellEvent =
    std::function<void(TObject* Sender, int ACol, int ARow, bool& CanSelect)>;
using TGetEditEvent =
    std::function<void(TObject* Sender, int ACol, int ARow, std::string& Value)>;
using TSetEditEvent =
    std::function<void(TObject* Sender, int ACol, int ARow, const std::string& Value)>;
using TMovedEvent = std::function<void(TObject* Sender, int FromIndex, int ToIndex)>;

// A grid whose cells the owner paints (OnDrawCell) and edits (OnGetEditText,
// OnSetEditText).
class TDrawGrid : public TCustomGrid {
  DECLARE_CLASS(TDrawGrid, TCustomGrid)
 public:
  explicit TDrawGrid(TComponent* AOwner) : TCustomGrid(AOwner) {}
  void MouseToCell(int X, int Y, int& ACol, int& ARow) const;

  TDrawCellEvent OnDrawCell;
  TSelectCellEvent OnSelectCell;
  TGetEditEvent OnGetEditMask;
  TGetEditEvent OnGetEditText;
  TSetEditEvent OnSetEditText;
  TMovedEvent OnColumnMoved;
  TMovedEvent OnRowMoved;
  TNotifyEvent OnTopLeftChanged;

 protected:
  void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) override;
  bool SelectCell(int ACol, int ARow) override;
  void ColumnMoved(int FromIndex, int ToIndex) override;
  void RowMoved(int FromIndex, int ToIndex) override;
  void TopLeftChanged() override;
  std::string GetEditText(int ACol, int ARow) override;
  void SetEditText(int ACol, int ARow, const std::string& Value) override;
  std::string GetEditMask(int ACol, int ARow) override;
};

class TStringGrid;
// A row or column of a string grid seen as a list: Strings[i] is the cell.
// Lines are cells, so the list can neither grow nor shrink; Add fills the
// first empty cell.
class TStringGridStrings : public TStrings {
 public:
  TStringGridStrings(TStringGrid* grid, bool isCol, int index)
      : grid_(grid), isCol_(isCol), index_(index) {}
  int Add(const std::string& s) override;
  void Insert(int index, const std::string& s) override;
  void Delete(int index) override;
  void Clear() override;

 protected:
  std::string Get(int index) const override;
  int GetCount() const override;
  TObject* GetObject(int index) const override;
  void Put(int index, const std::string& s) override;
  void PutObject(int index, TObject* object) override;

 private:
  TGridCoord CellOf(int index) const;
  TStringGrid* grid_;
  bool isCol_;
  int index_;
};

// A grid of texts with an object per cell; typing with goEditing writes Cells.
class TStringGrid : public TDrawGrid {
  DECLARE_CLASS(TStringGrid, TDrawGrid)
 public:
  explicit TStringGrid(TComponent* AOwner);
  ~TStringGrid() override;
  std::string Cells(int ACol, int ARow) const;
  void SetCells(int ACol, int ARow, const std::string& value);
  TObject* Objects(int ACol, int ARow) const;
  void SetObjects(int ACol, int ARow, TObject* value);
  TStrings* Cols(int index);
  TStrings* Rows(int index);

 protected:
  void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) override;
  std::string GetEditText(int ACol, int ARow) override;
  void SetEditText(int ACol, int ARow, const std::string& Value) override;
  void ColumnMoved(int FromIndex, int ToIndex) override;
  void RowMoved(int FromIndex, int ToIndex) override;
  void SizeChanged(int OldColCount, int OldRowCount) override;

 private:
  friend class TStringGridStrings;
  struct Cell {
    std::string text;
    TObject* object = nullptr;
  };
  const Cell* Find(int ACol, int ARow) const;
  Cell& At(int ACol, int ARow);
  void CheckCell(int ACol, int ARow) const;
  std::vector<std::vector<Cell>> cells_;  // [row][col], grown on demand
  std::vector<std::unique_ptr<TStringGridStrings>> cols_, rows_;
};
