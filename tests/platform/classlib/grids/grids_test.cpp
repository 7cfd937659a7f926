// The grids driven through real widgets: keys, clicks and drags, the
// in-place editor, pixels of what they paint, and what a scroll repaints.

#include <gtest/gtest.h>

#include <QApplication>

#include <map>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/core/filer.h"
#include "platform/classlib/grids/grids.h"
#include "platform/classlib/stdctrls/place.h"

using namespace testing_support;

namespace {

class GridTest : public testing::Test {
 protected:
  void SetUp() override {
    form = ShownForm(400, 300);
    grid = new TStringGrid(form.get());
    grid->SetBounds(0, 0, 340, 160);
    grid->SetDefaultColWidth(50);
    grid->SetDefaultRowHeight(20);
    grid->SetColCount(6);
    grid->SetRowCount(12);
    grid->SetParent(form.get());
    grid->SetFocus();
    Pump();
  }
  // Keys go where the focus is: the grid, or its editor while it is shown.
  void Key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target ? target : ClientOf(grid), k, mods);
  }
  void Type(const char* text) {
    QWidget* target = QApplication::focusWidget();
    QTest::keyClicks(target ? target : ClientOf(grid), text);
  }
  QPoint Center(int col, int row) const {
    const TRect r = grid->CellRect(col, row);
    return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
  }
  void Press(QPoint p, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::mouseClick(ClientOf(grid), Qt::LeftButton, mods, p);
  }
  TColor PixelAt(int x, int y) {
    Pump();
    QImage image = ClientOf(grid)->grab().toImage();
    const QRgb p = image.pixel(x, y);
    return TColor(qRed(p) | qGreen(p) << 8 | qBlue(p) << 16);
  }
  std::unique_ptr<TForm> form;
  TStringGrid* grid = nullptr;
};

TEST_F(GridTest, KeysMoveTheCurrentCellAsTheClassLibraryDoes) {
  ASSERT_TRUE(grid->Focused());
  const int page = grid->VisibleRowCount();
  struct Case {
    int col, row;
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    int wantCol, wantRow;
  } cases[] = {
      {1, 1, Qt::Key_Right, Qt::NoModifier, 2, 1},
      {2, 3, Qt::Key_Left, Qt::NoModifier, 1, 3},
      {1, 1, Qt::Key_Left, Qt::NoModifier, 1, 1},  // the fixed column is never current
      {1, 1, Qt::Key_Up, Qt::NoModifier, 1, 1},
      {3, 4, Qt::Key_Down, Qt::NoModifier, 3, 5},
      {3, 4, Qt::Key_Home, Qt::NoModifier, 1, 4},
      {3, 4, Qt::Key_End, Qt::NoModifier, 5, 4},
      {3, 4, Qt::Key_Home, Qt::ControlModifier, 1, 1},
      {3, 4, Qt::Key_End, Qt::ControlModifier, 5, 11},
      {2, 1, Qt::Key_PageDown, Qt::NoModifier, 2, 1 + page},
      {2, 11, Qt::Key_PageUp, Qt::NoModifier, 2, 11 - page},
      {2, 11, Qt::Key_Down, Qt::NoModifier, 2, 11},
      {5, 1, Qt::Key_Tab, Qt::NoModifier, 5, 1},  // without goTabs Tab is not the grid's
  };
  for (const Case& c : cases) {
    grid->SetCol(c.col);
    grid->SetRow(c.row);
    Key(c.key, c.mods);
    EXPECT_EQ(std::pair(grid->Col(), grid->Row()), std::pair(c.wantCol, c.wantRow))
        << "from " << c.col << "," << c.row << " key " << c.key;
    // The current cell is always in view.
    EXPECT_FALSE(IsRectEmpty(grid->CellRect(grid->Col(), grid->Row())));
  }
}

TEST_F(GridTest, TabWithGoTabsStepsOverTabStopsAndWrapsRows) {
  grid->SetOptions(grid->Options() + TGridOptions{goTabs});
  grid->SetTabStops(3, false);
  struct Case {
    int col, row;
    Qt::KeyboardModifiers mods;
    int wantCol, wantRow;
  } cases[] = {
      {1, 1, Qt::NoModifier, 2, 1},
      {2, 1, Qt::NoModifier, 4, 1},  // column 3 is no tab stop
      {5, 1, Qt::NoModifier, 1, 2},
      {1, 2, Qt::ShiftModifier, 5, 1},
      {4, 2, Qt::ShiftModifier, 2, 2},
  };
  for (const Case& c : cases) {
    grid->SetCol(c.col);
    grid->SetRow(c.row);
    Key(Qt::Key_Tab, c.mods);
    EXPECT_EQ(std::pair(grid->Col(), grid->Row()), std::pair(c.wantCol, c.wantRow));
  }
  EXPECT_TRUE(grid->Focused());
}

TEST_F(GridTest, MouseSelectsCellsButNeverFixedOnes) {
  Press(Center(3, 2));
  EXPECT_EQ(std::pair(grid->Col(), grid->Row()), std::pair(3, 2));
  Press(Center(0, 4));  // a title cell
  Press(Center(4, 0));
  EXPECT_EQ(std::pair(grid->Col(), grid->Row()), std::pair(3, 2));
  EXPECT_EQ(grid->MouseCoord(Center(4, 0).x(), Center(4, 0).y()), (TGridCoord{4, 0}));
  EXPECT_EQ(grid->MouseCoord(grid->ClientWidth() - 1, 5), (TGridCoord{-1, -1}));
  // Shift extends the range from the anchor; keys with Shift too.
  Press(Center(4, 5), Qt::ShiftModifier);
  EXPECT_EQ(grid->Selection(), (TGridRect{3, 2, 4, 5}));
  Key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(grid->Selection(), (TGridRect{3, 2, 5, 5}));
  // A drag selects from the press to the release.
  QWidget* w = ClientOf(grid);
  QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, Center(1, 1));
  QTest::mouseMove(w, Center(2, 3));
  QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, Center(2, 3));
  EXPECT_EQ(grid->Selection(), (TGridRect{1, 1, 2, 3}));
  // Without goRangeSelect a Shift click only moves.
  grid->SetOptions(grid->Options() - TGridOptions{goRangeSelect});
  Press(Center(4, 4), Qt::ShiftModifier);
  EXPECT_EQ(grid->Selection(), (TGridRect{4, 4, 4, 4}));
  // A cell may be refused.
  grid->OnSelectCell = [](TObject*, int col, int, bool& can) { can = col != 5; };
  Press(Center(5, 4));
  EXPECT_EQ(grid->Col(), 4);
  EXPECT_THROW(grid->SetCol(0), EInvalidGridOperation);
}

TEST_F(GridTest, DragPastTheBottomScrollsOnATimerUntilReleased) {
  QWidget* w = ClientOf(grid);
  QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, Center(2, 2));
  QTest::mouseMove(w, QPoint(Center(2, 2).x(), grid->ClientHeight() + 10));
  ASSERT_TRUE(WaitFor([&] { return grid->TopRow() > 1; }));
  EXPECT_EQ(grid->Row(), grid->TopRow() + grid->VisibleRowCount() - 1);
  EXPECT_EQ(grid->Selection().Top, 2);  // the range grows from the press
  QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(Center(2, 2).x(), 200));
  const int top = grid->TopRow();
  ASSERT_TRUE(RunTimerRounds(60, 3));  // the scroll timer's interval
  EXPECT_EQ(grid->TopRow(), top);
}

TEST_F(GridTest, RowSelectSelectsWholeRows) {
  grid->SetOptions(grid->Options() + TGridOptions{goRowSelect, goEditing});
  Press(Center(3, 2));
  EXPECT_EQ(grid->Selection(), (TGridRect{1, 2, 5, 2}));
  Key(Qt::Key_Down);
  Key(Qt::Key_Right);  // moves no column
  EXPECT_EQ(grid->Selection(), (TGridRect{1, 3, 5, 3}));
  Key(Qt::Key_F2);  // no editing of whole rows
  EXPECT_FALSE(grid->EditorMode());
}

TEST_F(GridTest, ColumnIsResizedAndMovedByMouse) {
  grid->SetOptions(grid->Options() + TGridOptions{goColSizing, goColMoving});
  for (int c = 0; c < 6; ++c) grid->SetCells(c, 1, std::string(1, char('a' + c)));
  std::vector<std::pair<int, int>> moves;
  grid->OnColumnMoved = [&](TObject*, int from, int to) { moves.emplace_back(from, to); };
  QWidget* w = ClientOf(grid);
  const int line = grid->CellRect(1, 0).Right;  // the line right of column 1
  QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, QPoint(line, 10));
  EXPECT_EQ(grid->GridState(), gsColSizing);
  QTest::mouseMove(w, QPoint(line + 30, 10));
  // The sizing line is drawn inverted over the grid while the mouse is held.
  EXPECT_EQ(PixelAt(line + 30, 100), ColorToRGB(clBlack));
  EXPECT_EQ(PixelAt(line + 31, 100), ColorToRGB(clWindow));
  QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(line + 30, 10));
  EXPECT_EQ(grid->ColWidths(1), 80);
  EXPECT_EQ(grid->GridState(), gsNormal);
  // The sizing line gave way to the column's own grid line.
  EXPECT_EQ(PixelAt(line + 30, 100), ColorToRGB(clSilver));
  EXPECT_EQ(PixelAt(line, 100), ColorToRGB(clWindow));
  // A title dragged to another column moves the column with its cells and width.
  QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, Center(1, 0));
  QTest::mouseMove(w, Center(3, 0));
  QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, Center(3, 0));
  EXPECT_EQ(moves, (std::vector<std::pair<int, int>>{{1, 3}}));
  EXPECT_EQ(grid->Rows(1)->CommaText(), "a,c,d,b,e,f");
  EXPECT_EQ(grid->ColWidths(3), 80);
  EXPECT_EQ(grid->ColWidths(1), 50);
  // Without the options the titles neither size nor move.
  grid->SetOptions(grid->Options() - TGridOptions{goColSizing, goColMoving});
  QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, Center(1, 0));
  EXPECT_EQ(grid->GridState(), gsNormal);
  QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, Center(2, 0));
  EXPECT_EQ(moves.size(), 1u);
}

TEST_F(GridTest, RowIsResizedAndMovedByMouseInTheTitleColumn) {
  grid->SetOptions(grid->Options() + TGridOptions{goRowSizing, goRowMoving});
  for (int r = 0; r < 4; ++r) grid->SetCells(0, r, std::to_string(r));
  std::vector<std::pair<int, int>> moves;
  grid->OnRowMoved = [&](TObject*, int from, int to) { moves.emplace_back(from, to); };
  QWidget* w = ClientOf(grid);
  const int line = grid->CellRect(0, 1).Bottom;
  QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, QPoint(10, line));
  EXPECT_EQ(grid->GridState(), gsRowSizing);
  QTest::mouseMove(w, QPoint(10, line + 9));
  QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(10, line + 9));
  EXPECT_EQ(grid->RowHeights(1), 29);
  // Sizing a line back onto its cell's start leaves the size alone.
  const int top = grid->CellRect(0, 2).Top;
  QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, QPoint(10, grid->CellRect(0, 2).Bottom));
  QTest::mouseMove(w, QPoint(10, top));
  QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(10, top));
  EXPECT_EQ(grid->RowHeights(2), 20);
  QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, Center(0, 3));
  QTest::mouseMove(w, Center(0, 1));
  QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, Center(0, 1));
  EXPECT_EQ(moves, (std::vector<std::pair<int, int>>{{3, 1}}));
  EXPECT_EQ(grid->Cols(0)->CommaText(), "0,3,1,2,,,,,,,,");
  EXPECT_EQ(grid->RowHeights(2), 29);  // the size went with the row
}

TEST_F(GridTest, ScrollBarRequestsMoveTheView) {
  const int last = grid->RowCount() - grid->VisibleRowCount();
  struct Case {
    int code, pos;
    bool thumbTracking;
    int wantTop;
  } cases[] = {
      {SB_LINEDOWN, 0, false, 2},     {SB_LINEUP, 0, false, 1},
      {SB_PAGEDOWN, 0, false, last},  {SB_BOTTOM, 0, false, last},
      {SB_TOP, 0, false, 1},          {SB_THUMBTRACK, 4, false, 1},
      {SB_THUMBTRACK, 4, true, 4},    {SB_THUMBPOSITION, 3, false, 3},
      {SB_THUMBPOSITION, 99, false, last},
  };
  for (const Case& c : cases) {
    grid->SetTopRow(c.code == SB_LINEUP ? 2 : 1);
    TGridOptions o = grid->Options() - TGridOptions{goThumbTracking};
    if (c.thumbTracking) o.Include(goThumbTracking);
    grid->SetOptions(o);
    grid->Perform(WM_VSCROLL, WPARAM(c.code | c.pos << 16));
    EXPECT_EQ(grid->TopRow(), c.wantTop) << "code " << c.code;
  }
  // The last page shows the last row whole.
  const TRect lastRow = grid->CellRect(1, grid->RowCount() - 1);
  EXPECT_LE(lastRow.Bottom, grid->ClientHeight());
  EXPECT_EQ(lastRow.Height(), 20);
}

TEST_F(GridTest, EditorShowsTypesIntoCellsAndEscapeCancels) {
  grid->SetOptions(grid->Options() + TGridOptions{goEditing});
  grid->SetCells(2, 2, "old");
  std::vector<std::string> written;
  grid->OnSetEditText = [&](TObject*, int, int, const std::string& v) { written.push_back(v); };
  grid->SetCol(2);
  grid->SetRow(2);
  Key(Qt::Key_F2);
  ASSERT_TRUE(grid->EditorMode());
  TInplaceEdit* editor = grid->InplaceEditor();
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(editor->Visible());
  EXPECT_EQ(editor->Text(), "old");
  EXPECT_EQ(editor->BoundsRect(), grid->CellRect(2, 2));
  Type("new");  // the text was selected: typing replaces it
  EXPECT_EQ(grid->Cells(2, 2), "new");
  EXPECT_EQ(written.back(), "new");
  Key(Qt::Key_Escape);
  EXPECT_EQ(grid->Cells(2, 2), "old");
  EXPECT_FALSE(editor->Visible());
  EXPECT_FALSE(grid->EditorMode());
  EXPECT_TRUE(grid->Focused());
  // Typing on the grid starts editing with the key; Enter ends it and keeps the text.
  Type("x");
  EXPECT_TRUE(editor->Visible());
  Type("y");
  Key(Qt::Key_Return);
  EXPECT_FALSE(editor->Visible());
  EXPECT_EQ(grid->Cells(2, 2), "xy");
  // Down from the editor moves the grid and hides the editor.
  Key(Qt::Key_F2);
  Key(Qt::Key_Down);
  EXPECT_EQ(grid->Row(), 3);
  EXPECT_FALSE(editor->Visible());
  // A click on the current cell edits it.
  Press(Center(2, 3));
  EXPECT_TRUE(editor->Visible());
  EXPECT_EQ(editor->BoundsRect(), grid->CellRect(2, 3));
  // An editor freed by someone else is made again when needed.
  grid->HideEditor();
  delete editor;
  grid->ShowEditor();
  ASSERT_NE(grid->InplaceEditor(), nullptr);
  EXPECT_TRUE(grid->InplaceEditor()->Visible());
}

TEST_F(GridTest, AlwaysShownEditorFollowsTheCurrentCell) {
  grid->SetCells(1, 1, "a1");
  grid->SetCells(2, 1, "b1");
  grid->SetOptions(grid->Options() + TGridOptions{goEditing, goAlwaysShowEditor});
  Pump();
  TInplaceEdit* editor = grid->InplaceEditor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->Text(), "a1");
  Key(Qt::Key_Right);  // the whole text is selected: the caret leaves at the edge
  Key(Qt::Key_End);
  Key(Qt::Key_Right);
  EXPECT_EQ(grid->Col(), 2);
  EXPECT_TRUE(editor->Visible());
  EXPECT_EQ(editor->Text(), "b1");
}

TEST_F(GridTest, PaintingShowsLinesFixedCellsSelectionAndFocus) {
  grid->SetOptions(grid->Options() + TGridOptions{goDrawFocusSelected});
  grid->SetColor(clYellow);
  grid->SetSelection({2, 2, 3, 3});
  const TRect fixed = grid->CellRect(1, 0), cell = grid->CellRect(1, 1);
  const TRect sel = grid->CellRect(2, 2), cur = grid->CellRect(3, 3);
  struct Case {
    const char* what;
    int x, y;
    TColor want;
  } cases[] = {
      {"fixed face", fixed.Left + 5, fixed.Top + 5, clBtnFace},
      {"fixed raised top edge", fixed.Left + 5, fixed.Top, clBtnHighlight},
      {"fixed raised bottom edge", fixed.Left + 5, fixed.Bottom - 1, clBtnShadow},
      {"fixed line", fixed.Right, fixed.Top + 5, clBlack},
      {"cell", cell.Left + 5, cell.Top + 5, clYellow},
      {"past the last column", grid->ClientWidth() - 2, cell.Top + 5, clYellow},
      {"vertical line", cell.Right, cell.Top + 5, clSilver},
      {"horizontal line", cell.Left + 5, cell.Bottom, clSilver},
      {"selected", sel.Left + 5, sel.Top + 5, clHighlight},
      {"focused and selected", cur.Left + 5, cur.Top + 5, clHighlight},
  };
  for (const Case& c : cases) EXPECT_EQ(PixelAt(c.x, c.y), ColorToRGB(c.want)) << c.what;
  // The focus rectangle dots the current cell's edge.
  int dots = 0;
  for (int x = cur.Left; x < cur.Right; ++x)
    dots += PixelAt(x, cur.Top) != ColorToRGB(clHighlight);
  EXPECT_GE(dots, cur.Width() / 2 - 1);
  // Without goDrawFocusSelected the focused cell shows the grid's colour.
  grid->SetOptions(grid->Options() - TGridOptions{goDrawFocusSelected});
  EXPECT_EQ(PixelAt(cur.Left + 5, cur.Top + 5), ColorToRGB(clYellow));
  // Text of the string grid.
  grid->SetCells(1, 1, "WWWW");
  EXPECT_EQ(PixelAt(cell.Left + 5, cell.Top + 5), ColorToRGB(clYellow));
  auto ink = 0;
  for (int x = cell.Left; x < cell.Right; ++x) ink += PixelAt(x, cell.Top + 8) != ColorToRGB(clYellow);
  EXPECT_GT(ink, 4);
}

TEST_F(GridTest, ScrollingOneRowRepaintsOnlyTheUncoveredRow) {
  std::vector<TRect> painted;
  grid->AddWindowHook([&](TMessage& m, const TWndMethod& next) {
    if (m.Msg == WM_PAINT && m.LParam) painted.push_back(*reinterpret_cast<const TRect*>(m.LParam));
    next(m);
  });
  Pump();
  painted.clear();
  const int top = grid->TopRow();
  grid->SetTopRow(top + 1);
  Pump();
  ASSERT_EQ(painted.size(), 1u);
  // The strip at the bottom the size of one row (and its line) moved in.
  const int step = grid->RowHeights(top) + grid->GridLineWidth();
  EXPECT_EQ(painted[0].Height(), step);
  EXPECT_EQ(painted[0].Bottom, grid->ClientHeight());
  EXPECT_EQ(painted[0].Width(), grid->ClientWidth());
  // The scroll bar follows.
  EXPECT_EQ(GetScrollPos(grid, SB_VERT), top + 1);
  // Moving the current cell past the bottom scrolls it into view the same way.
  painted.clear();
  grid->SetRow(grid->TopRow() + grid->VisibleRowCount());
  Pump();
  EXPECT_EQ(grid->TopRow(), top + 2);
}

TEST(DrawGridTest, OwnerPaintsCellsWithTheirStatesAndMovesWithKeysAndMouse) {
  auto form = ShownForm(300, 200);
  auto* grid = Place<TDrawGrid>(form.get(), 0, 0, 300, 150);
  std::map<std::pair<int, int>, TGridDrawState> states;
  grid->OnDrawCell = [&](TObject* sender, int col, int row, const TRect& r, TGridDrawState s) {
    states[{col, row}] = s;
    auto* g = static_cast<TDrawGrid*>(sender);
    if (col == 2 && row == 2) {
      g->Canvas()->Brush()->SetColor(clRed);
      g->Canvas()->FillRect(r);
    }
  };
  int topLeftChanges = 0;
  grid->OnTopLeftChanged = [&](TObject*) { ++topLeftChanges; };
  grid->SetFocus();
  Pump();
  EXPECT_TRUE(states.at({0, 0}).Contains(gdFixed));
  EXPECT_TRUE(states.at({1, 1}).Contains(gdFocused));
  EXPECT_TRUE(states.at({1, 1}).Contains(gdSelected));
  EXPECT_TRUE(states.at({2, 1}).Empty());
  const TRect red = grid->CellRect(2, 2);
  const QRgb p = ClientOf(grid)->grab().toImage().pixel(red.Left + 3, red.Top + 3);
  EXPECT_EQ(p & 0xFFFFFF, 0xFF0000u);
  QTest::keyClick(ClientOf(grid), Qt::Key_Down);
  QTest::keyClick(ClientOf(grid), Qt::Key_Right);
  EXPECT_EQ(std::pair(grid->Col(), grid->Row()), std::pair(2, 2));
  int col = -1, row = -1;
  grid->MouseToCell(red.Right + 5, red.Bottom + 5, col, row);
  EXPECT_EQ(std::pair(col, row), std::pair(3, 3));
  Click(grid, red.Right + 5, red.Bottom + 5);
  EXPECT_EQ(std::pair(grid->Col(), grid->Row()), std::pair(3, 3));
  grid->SetRowCount(40);
  QTest::keyClick(ClientOf(grid), Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(grid->Row(), 39);
  EXPECT_EQ(topLeftChanges, 1);
  EXPECT_THROW(grid->SetRowCount(1), EInvalidGridOperation);  // the fixed row needs one more
}

TEST(StringGridTest, CellsObjectsAndRowColumnLists) {
  TStringGrid grid(nullptr);
  grid.SetColCount(3);
  grid.SetRowCount(3);
  grid.Rows(1)->SetCommaText("a,b");
  EXPECT_EQ(grid.Cells(1, 1), "b");
  EXPECT_EQ(grid.Cols(1)->Strings(1), "b");
  EXPECT_EQ(grid.Cols(2)->Count(), 3);
  grid.Cols(2)->Add("first empty");
  EXPECT_EQ(grid.Cells(2, 0), "first empty");
  EXPECT_THROW(grid.Rows(1)->Delete(0), EInvalidGridOperation);
  TObject marker;
  grid.SetObjects(2, 2, &marker);
  EXPECT_EQ(grid.Rows(2)->Objects(2), &marker);
  grid.Rows(2)->Clear();
  EXPECT_EQ(grid.Objects(2, 2), nullptr);
  EXPECT_THROW(grid.Cells(3, 0), EInvalidGridOperation);
  // Shrinking drops the cells outside; growing again shows them empty.
  grid.SetColCount(2);
  grid.SetColCount(3);
  EXPECT_EQ(grid.Cells(2, 0), "");
  EXPECT_EQ(grid.Cells(1, 1), "b");
}

TEST(StringGridTest, ShapeAndOptionsRoundTripThroughTheFormsTextDefinition) {
  TForm form(nullptr);
  form.SetName("GridForm");
  auto* grid = new TStringGrid(&form);
  grid->SetName("Entries");
  grid->SetParent(&form);
  grid->SetColCount(7);
  grid->SetFixedCols(2);
  grid->SetOptions(grid->Options() + TGridOptions{goEditing, goTabs} - TGridOptions{goRangeSelect});
  grid->SetScrollBars(ssVertical);
  const std::string text = WriteComponentToText(&form);
  EXPECT_EQ(text.find("RowCount"), std::string::npos);  // defaults are not written
  TForm copy(nullptr);
  ReadComponentFromText(text, &copy);
  auto* g = As<TStringGrid>(copy.FindComponent("Entries"));
  ASSERT_NE(g, nullptr) << text;
  EXPECT_EQ(std::tuple(g->ColCount(), g->RowCount(), g->FixedCols(), g->ScrollBars()),
            std::tuple(7, 5, 2, ssVertical));
  EXPECT_EQ(g->Options(), grid->Options());
  EXPECT_EQ(copy.ComponentCount(), 1);  // the editor is the grid's own, never written
}

}  // namespace
