// The published grid: its cell faces (3-D frames, title buttons) by the pixels
// of grabbed images, and record scrolling by what the window really shows.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include <QImage>
#include <QTest>

#include "datactrls/wwdbgrid.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/db/fields.h"
#include "gridtestdata.h"

using namespace testing_support;

namespace {

class GridFaces : public testing::Test {
 protected:
  void SetUp() override {
    form = ShownForm(500, 300);
    data = MakeLibraryNumbered(10);
    source.SetDataSet(data.get());
    grid = new TwwDBGrid(form.get());
    PlaceWithPinnedFont(grid, form.get(), &source, 480, 250);
  }
  QImage Grab() {
    Pump();
    return ClientOf(grid)->grab().toImage();
  }
  static TColor At(const QImage& image, TPoint p) { return PixelColor(image, p.x, p.y); }
  // The first column from the left holding a dark pixel inside r; -1 when none.
  static int LeftmostDark(const QImage& image, const TRect& r) {
    for (int x = r.Left; x < r.Right; ++x)
      for (int y = r.Top; y < r.Bottom; ++y)
        if (qGray(image.pixel(x, y)) < 100) return x;
    return -1;
  }
  // The colours at the middle of each edge of a cell: left, top, right, bottom.
  struct Edges {
    TColor left, top, right, bottom;
    friend bool operator==(const Edges&, const Edges&) = default;
  };
  static Edges EdgesOf(const QImage& image, const TRect& r, int inset) {
    const int mx = (r.Left + r.Right) / 2, my = (r.Top + r.Bottom) / 2;
    return {At(image, {r.Left + inset, my}), At(image, {mx, r.Top + inset}),
            At(image, {r.Right - inset, my}), At(image, {mx, r.Bottom - inset})};
  }
  std::unique_ptr<TForm> form;
  std::unique_ptr<TSettingsDataSet> data;
  TDataSource source;
  TwwDBGrid* grid = nullptr;
};

const TColor kHighlight = ColorToRGB(clBtnHighlight), kShadow = ColorToRGB(clBtnShadow);
const TColor kGrey = TColor(0x808080), kBlack = TColor(0), kSilver = ColorToRGB(clSilver);

TEST_F(GridFaces, DataCellsAreRaisedUnlessWhiteOrFlat) {
  struct Case {
    TColor color;
    bool ctl3D;
    int fixedCols;
    int col;  // grid column of the cell in data row 1
    TColor left, top, right, bottom;  // inside at left/top, on the grid lines at right/bottom
  } cases[] = {
      // A white grid keeps its plain silver lines.
      {clWindow, true, 0, 2, ColorToRGB(clWindow), ColorToRGB(clWindow), kSilver, kSilver},
      {clYellow, true, 0, 2, kHighlight, kHighlight, kShadow, kShadow},
      {clYellow, false, 0, 2, ColorToRGB(clYellow), ColorToRGB(clYellow), kSilver, kSilver},
      // A fixed data column is framed against black like the titles.
      {clWindow, true, 1, 1, kHighlight, kHighlight, kBlack, kBlack},
  };
  for (const Case& c : cases) {
    grid->SetColor(c.color);
    grid->SetCtl3D(c.ctl3D);
    grid->SetFixedCols(c.fixedCols);
    const TRect r = grid->CellRect(c.col, 2);
    const Edges inside = EdgesOf(Grab(), r, 0);
    EXPECT_EQ(inside, (Edges{c.left, c.top, c.right, c.bottom}))
        << std::hex << c.color << " " << c.ctl3D << " " << c.fixedCols << ": " << inside.left
        << " " << inside.top << " " << inside.right << " " << inside.bottom;
  }
  // Titles are framed with or without Ctl3D.
  grid->SetCtl3D(false);
  const Edges title = EdgesOf(Grab(), grid->CellRect(2, 0), 0);
  EXPECT_EQ(title, (Edges{kHighlight, kHighlight, kBlack, kBlack}));
}

TEST_F(GridFaces, ATitleButtonSinksWhilePressedAndClicksOnRelease) {
  TwwDBGridOptions o = grid->Options();
  o.Exclude(dgColumnResize);  // a press on a title would start moving the column
  grid->SetOptions(o);
  grid->SetTitleButtons(true);
  std::vector<std::string> clicked;
  grid->OnTitleButtonClick = [&](TObject*, const std::string& name) { clicked.push_back(name); };
  const TRect r = grid->CellRect(2, 0);
  const TRect text{r.Left + 2, r.Top + 2, r.Right - 2, r.Bottom - 2};
  const QImage up = Grab();
  // Raised: light left and top, the button's shadow inside at the bottom and right.
  EXPECT_EQ(EdgesOf(up, r, 0), (Edges{kHighlight, kHighlight, kBlack, kBlack}));
  EXPECT_EQ(At(up, {(r.Left + r.Right) / 2, r.Bottom - 1}), kShadow);
  EXPECT_EQ(At(up, {r.Right - 1, (r.Top + r.Bottom) / 2}), kGrey);

  const QPoint middle((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  QTest::mousePress(ClientOf(grid), Qt::LeftButton, Qt::NoModifier, middle);
  const QImage down = Grab();
  // Sunken: black left and top, grey inside them, light on the line at the right.
  EXPECT_EQ(EdgesOf(down, r, 0), (Edges{kBlack, kBlack, kHighlight, kBlack}));
  EXPECT_EQ(At(down, {r.Left + 1, (r.Top + r.Bottom) / 2}), kGrey);
  EXPECT_EQ(At(down, {(r.Left + r.Right) / 2, r.Bottom - 1}), kGrey);
  EXPECT_EQ(LeftmostDark(down, text), LeftmostDark(up, text) + 1);

  QTest::mouseRelease(ClientOf(grid), Qt::LeftButton, Qt::NoModifier, middle);
  EXPECT_EQ(clicked, std::vector<std::string>{"Name"});
  EXPECT_EQ(EdgesOf(Grab(), r, 0), EdgesOf(up, r, 0));
}

// Remembers which grid rows were painted.
class TCountingGrid : public TwwDBGrid {
 public:
  using TwwDBGrid::TwwDBGrid;
  std::set<int> painted;

 protected:
  void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) override {
    painted.insert(ARow);
    TwwDBGrid::DrawCell(ACol, ARow, ARect, AState);
  }
};

class GridScrolling : public testing::Test {
 protected:
  void SetUp() override {
    form = ShownForm(400, 220);
    data = MakeLibraryNumbered(100);
    source.SetDataSet(data.get());
    grid = new TCountingGrid(form.get());
    grid->SetBounds(0, 0, 380, 200);
    grid->SetParent(form.get());
    grid->SetDataSource(&source);
    grid->SetFocus();
    Pump();
  }
  // The grid's pixels as the window shows them (not painted afresh).
  QImage Shown() {
    Pump();
    QWidget* window = vantrel::qt::WindowWidget(*form);
    const QPoint origin = ClientOf(grid)->mapTo(window, QPoint(0, 0));
    return window->screen()
        ->grabWindow(window->winId(), origin.x(), origin.y(), grid->ClientWidth(),
                     grid->ClientHeight())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  }
  std::unique_ptr<TForm> form;
  std::unique_ptr<TSettingsDataSet> data;
  TDataSource source;
  TCountingGrid* grid = nullptr;
};

TEST_F(GridScrolling, ScrolledRowsShowWhatAFullRepaintShowsAndOnlyNewRowsArePainted) {
  const int rows = grid->VisibleDataRows();
  ASSERT_GT(rows, 4);
  struct Step {
    const char* what;
    std::function<void()> move;
    int mostRowsPainted;  // 0: a whole window changes, anything may be painted
  } steps[] = {
      {"down inside the window", [&] { data->Next(); }, 2},
      // The paint clips to the box around the two rows: the rows between come along.
      {"to the last row", [&] { data->MoveBy(rows - 2); }, rows},
      // The old current row and the row that came in, nothing else.
      {"down past the bottom", [&] { data->Next(); }, 2},
      {"three past the bottom", [&] { data->MoveBy(3); }, 4},
      {"up to the top row", [&] { data->MoveBy(1 - rows); }, rows},
      {"two past the top", [&] { data->MoveBy(-2); }, 3},
      {"a page down", [&] { data->MoveBy(rows); }, 0},
      {"further than a window", [&] { data->MoveBy(3 * rows); }, 0},
  };
  for (const Step& step : steps) {
    Shown();
    grid->painted.clear();
    step.move();
    const QImage scrolled = Shown();
    if (step.mostRowsPainted > 0) {
      EXPECT_LE(int(grid->painted.size()), step.mostRowsPainted) << step.what;
      EXPECT_EQ(grid->painted.count(0), 0u) << step.what << ": titles stay";
    }
    grid->Invalidate();
    EXPECT_TRUE(scrolled == Shown()) << step.what;
  }
}

TEST_F(GridScrolling, DraggingPastTheBottomScrollsOnATimerUntilReleased) {
  QWidget* client = ClientOf(grid);
  const TRect cell = grid->CellRect(2, 2);
  QTest::mousePress(client, Qt::LeftButton, Qt::NoModifier, QPoint(cell.Left + 5, cell.Top + 5));
  EXPECT_EQ(data->FieldByName("ID")->AsInteger(), 2);
  QTest::mouseMove(client, QPoint(cell.Left + 5, grid->ClientHeight() + 10));
  QTest::qWait(400);
  const int dragged = data->FieldByName("ID")->AsInteger();
  // Each tick brings in the record after the window.
  EXPECT_GT(dragged, grid->VisibleDataRows());
  EXPECT_EQ(grid->DataLink()->ActiveRecord(), grid->VisibleDataRows() - 1);
  QTest::mouseRelease(client, Qt::LeftButton, Qt::NoModifier,
                      QPoint(cell.Left + 5, grid->ClientHeight() + 10));
  QTest::qWait(200);
  EXPECT_EQ(data->FieldByName("ID")->AsInteger(), dragged);
  // Upwards the record before the window comes in.
  QTest::mousePress(client, Qt::LeftButton, Qt::NoModifier, QPoint(cell.Left + 5, cell.Top + 5));
  const int top = data->FieldByName("ID")->AsInteger() - grid->DataLink()->ActiveRecord();
  QTest::mouseMove(client, QPoint(cell.Left + 5, -10));
  QTest::qWait(150);
  QTest::mouseRelease(client, Qt::LeftButton, Qt::NoModifier, QPoint(cell.Left + 5, -10));
  EXPECT_LT(data->FieldByName("ID")->AsInteger(), top);
  EXPECT_EQ(grid->DataLink()->ActiveRecord(), 0);
}

}  // namespace
