// The data grid's painting checked by the pixels of grabbed images: the
// indicator figures and their colours, titles of several lines, alignment,
// highlight, the owner's colour hook and word wrap.
#include <gtest/gtest.h>

#include <QImage>

#include "datactrls/wwdbigrd.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/db/dbtestutil.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "gridtestdata.h"

using namespace testing_support;

namespace {

class GridPaint : public testing::Test {
 protected:
  void SetUp() override {
    form = ShownForm(500, 300);
    data = MakeNumbered(10);
    source.SetDataSet(data.get());
    grid = new TwwCustomDBGrid(form.get());
    PlaceWithPinnedFont(grid, form.get(), &source, 480, 250);
  }
  QImage Grab() {
    Pump();
    return ClientOf(grid)->grab().toImage();
  }
  static TColor At(const QImage& image, int x, int y) { return PixelColor(image, x, y); }
  static bool Dark(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) < 128; }
  // The rightmost dark pixel of the rectangle's rows, or -1.
  static int RightmostDark(const QImage& image, const TRect& r) {
    for (int x = r.Right - 1; x >= r.Left; --x)
      for (int y = r.Top; y < r.Bottom; ++y)
        if (Dark(image, x, y)) return x;
    return -1;
  }
  static bool AnyDark(const QImage& image, const TRect& r) { return RightmostDark(image, r) >= 0; }
  // The figure of 6 by 11 pixels drawn in the indicator cell of grid row `row`.
  std::string Figure(const QImage& image, int row, TColor ink) {
    const TRect cell = grid->CellRect(0, row);
    const int x0 = (cell.Right - 6) / 2 + 1, y0 = (cell.Top + cell.Bottom - 11) / 2;
    std::string rows;
    for (int y = 0; y < 11; ++y) {
      for (int x = 0; x < 6; ++x) rows += At(image, x0 + x, y0 + y) == ink ? '#' : '.';
      rows += '|';
    }
    return rows;
  }
  std::unique_ptr<TForm> form;
  std::unique_ptr<TMemDataSet> data;
  TDataSource source;
  TwwCustomDBGrid* grid = nullptr;
};

constexpr const char* kNone = "......|......|......|......|......|......|......|......|......|......|......|";
constexpr const char* kArrow = "......|#.....|##....|###...|####..|#####.|####..|###...|##....|#.....|......|";
constexpr const char* kIBeam = "##.##.|..#...|..#...|..#...|..#...|..#...|..#...|..#...|..#...|..#...|##.##.|";
constexpr const char* kStar = "......|......|..#...|#.#.#.|.###..|#####.|.###..|#.#.#.|..#...|......|......|";

TEST_F(GridPaint, TheIndicatorShowsTheRecordsState) {
  data->Next();
  QImage image = Grab();
  EXPECT_EQ(Figure(image, 2, clBlack), kArrow);
  EXPECT_EQ(Figure(image, 1, clBlack), kNone);  // only the current row has a figure
  // Around the black figure the cell keeps its own colour (the white of the figure ANDs away).
  const TRect cell = grid->CellRect(0, 2);
  EXPECT_EQ(At(image, (cell.Right - 6) / 2 + 1, cell.Top + 2), ColorToRGB(clBtnFace));
  data->Edit();
  EXPECT_EQ(Figure(Grab(), 2, clBlack), kIBeam);
  data->Cancel();
  data->Append();
  const int row = grid->Row();
  EXPECT_EQ(Figure(Grab(), row, clBlack), kStar);
}

TEST_F(GridPaint, AYellowIndicatorIsYellowOnTheTitleColour) {
  grid->SetIndicatorColor(icYellow);
  const QImage image = Grab();
  EXPECT_EQ(Figure(image, 1, clYellow), kArrow);
  const TRect cell = grid->CellRect(0, 1);
  EXPECT_EQ(At(image, (cell.Right - 6) / 2 + 1, (cell.Top + cell.Bottom - 11) / 2),
            ColorToRGB(clBtnFace));
}

TEST_F(GridPaint, TitlesSplitOnTildeOnlyWithSeveralTitleLines) {
  data->FieldByName("Name")->SetDisplayLabel("Reported~Date");
  grid->SetTitleLines(2);
  QImage image = Grab();
  TRect title = grid->CellRect(2, 0);
  const int middle = (title.Top + title.Bottom) / 2;
  EXPECT_TRUE(AnyDark(image, {title.Left, title.Top, title.Right - 1, middle - 1}));
  EXPECT_TRUE(AnyDark(image, {title.Left, middle + 1, title.Right - 1, title.Bottom - 1}));

  grid->SetTitleLines(1);
  image = Grab();
  title = grid->CellRect(2, 0);
  grid->Canvas()->Font()->Assign(grid->TitleFont());
  const int oneLine = title.Left + 3 + grid->Canvas()->TextWidth("Reported~Date");
  const int right = RightmostDark(image, {title.Left, title.Top, title.Right - 1, title.Bottom - 1});
  EXPECT_GT(right, title.Left + 3 + grid->Canvas()->TextWidth("Reported~D"));
  EXPECT_LE(right, std::min(oneLine, int(title.Right)));
}

TEST_F(GridPaint, RightAlignedTextEndsThreePixelsInside) {
  ASSERT_EQ(data->FieldByName("Amount")->Alignment(), taRightJustify);
  const QImage image = Grab();
  const TRect cell = grid->CellRect(3, 2);
  const int right = RightmostDark(image, {cell.Left, cell.Top, cell.Right, cell.Bottom});
  EXPECT_LE(right, cell.Right - 4);
  EXPECT_GE(right, cell.Right - 6);
}

TEST_F(GridPaint, TheCurrentCellIsHighlightedWithFocusOrAlwaysShowSelection) {
  grid->SelectDataColumn(1);
  const auto background = [&] {
    const QImage image = Grab();
    const TRect cell = grid->CellRect(2, 1);
    return At(image, cell.Right - 2, cell.Bottom - 2);
  };
  struct Case {
    bool focus, always;
    TColor want;
  } cases[] = {
      {false, false, ColorToRGB(clWindow)},
      {false, true, ColorToRGB(clHighlight)},
      {true, false, ColorToRGB(clHighlight)},
  };
  for (const Case& c : cases) {
    TwwDBGridOptions o = grid->Options();
    c.always ? o.Include(dgAlwaysShowSelection) : o.Exclude(dgAlwaysShowSelection);
    grid->SetOptions(o);
    if (c.focus) grid->SetFocus();
    EXPECT_EQ(background(), c.want) << c.focus << c.always;
  }
}

TEST_F(GridPaint, TheOwnersColourHookAndWordWrap) {
  grid->OnCalcCellColors = [](TObject*, TField* f, TGridDrawState, bool, TFont*, TBrush* b) {
    if (f && f->FieldName() == "ID") b->SetColor(clLime);
  };
  data->Edit();
  data->FieldByName("Name")->SetAsString("aaaa bbbb cccc dddd");
  grid->SetRowHeightPercent(300);
  grid->SetColWidthQuiet(2, 60);
  grid->Canvas()->Font()->Assign(grid->Font());
  const QImage image = Grab();
  const TRect id = grid->CellRect(1, 1);
  EXPECT_EQ(At(image, id.Right - 2, id.Bottom - 2), ColorToRGB(clLime));
  const TRect name = grid->CellRect(2, 1);
  const int line = grid->Canvas()->TextHeight("W");
  EXPECT_TRUE(AnyDark(image, {name.Left, name.Top + 2 + line, name.Right, name.Top + 2 + 2 * line}));
  TwwDBGridOptions o = grid->Options();
  o.Exclude(dgWordWrap);
  grid->SetOptions(o);
  grid->SetColWidthQuiet(2, 60);
  EXPECT_FALSE(AnyDark(Grab(), {name.Left, name.Top + 2 + line + 1, name.Right, name.Bottom - 1}));
}

TEST_F(GridPaint, ARowThatCannotBeReadIsReportedOnceAndTheGridGoesOn) {
  TDialogResponderScope answers([](TDialogRequest&) { return mrOk; });
  data->FieldByName("Name")->OnGetText = [](TField* f, std::string& text, bool) {
    if (f->DataSet()->FieldByName("ID")->AsInteger() == 2) throw EDatabaseError("Disk read failed");
    text = f->AsString();
  };
  grid->Invalidate();
  Grab();
  grid->Invalidate();
  Grab();
  EXPECT_EQ(answers.Texts(), (std::vector<std::string>{"Disk read failed."}));
  data->Next();
  data->Next();
  EXPECT_EQ(data->FieldByName("ID")->AsInteger(), 3);
}

}  // namespace
