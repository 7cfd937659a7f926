// The published grid: its cell faces (3-D frames, title buttons) by the pixels
// of grabbed images, record scrolling by what the window really shows, and
// its published surface: defaults, form definitions, fonts, indicator button.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <sstream>
#include <set>

#include <QImage>
#include <QTest>

#include "datactrls/wwdbgrid.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/streams.h"
#include "platform/classlib/graphics/images.h"
#include "platform/classlib/db/dbtestutil.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "gridtestdata.h"

using namespace testing_support;

// A form with a handler that form definitions name.
class TGridTestForm : public TForm {
  DECLARE_CLASS(TGridTestForm, TForm)
 public:
  explicit TGridTestForm(TComponent* owner = nullptr) : TForm(owner) {}
  std::vector<std::string> clicked;
  void dbgBugTitleButtonClick(TObject*, const std::string& name) { clicked.push_back(name); }
};
IMPLEMENT_CLASS(TGridTestForm, TForm)
PUBLISHED(TGridTestForm) { PUBLISHED_METHOD(dbgBugTitleButtonClick); }

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
  static Edges EdgesOf(const QImage& image, const TRect& r) {
    const int mx = (r.Left + r.Right) / 2, my = (r.Top + r.Bottom) / 2;
    return {At(image, {r.Left, my}), At(image, {mx, r.Top}), At(image, {r.Right, my}),
            At(image, {mx, r.Bottom})};
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
    const Edges inside = EdgesOf(Grab(), r);
    EXPECT_EQ(inside, (Edges{c.left, c.top, c.right, c.bottom}))
        << std::hex << c.color << " " << c.ctl3D << " " << c.fixedCols << ": " << inside.left
        << " " << inside.top << " " << inside.right << " " << inside.bottom;
  }
  // Titles are framed with or without Ctl3D.
  grid->SetCtl3D(false);
  const Edges title = EdgesOf(Grab(), grid->CellRect(2, 0));
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
  EXPECT_EQ(EdgesOf(up, r), (Edges{kHighlight, kHighlight, kBlack, kBlack}));
  EXPECT_EQ(At(up, {(r.Left + r.Right) / 2, r.Bottom - 1}), kShadow);
  EXPECT_EQ(At(up, {r.Right - 1, (r.Top + r.Bottom) / 2}), kGrey);

  const QPoint middle((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  QTest::mousePress(ClientOf(grid), Qt::LeftButton, Qt::NoModifier, middle);
  const QImage down = Grab();
  // Sunken: black left and top, grey inside them, light on the line at the right.
  EXPECT_EQ(EdgesOf(down, r), (Edges{kBlack, kBlack, kHighlight, kBlack}));
  EXPECT_EQ(At(down, {r.Left + 1, (r.Top + r.Bottom) / 2}), kGrey);
  EXPECT_EQ(At(down, {(r.Left + r.Right) / 2, r.Bottom - 1}), kGrey);
  EXPECT_EQ(LeftmostDark(down, text), LeftmostDark(up, text) + 1);

  QTest::mouseRelease(ClientOf(grid), Qt::LeftButton, Qt::NoModifier, middle);
  EXPECT_EQ(clicked, std::vector<std::string>{"Name"});
  EXPECT_EQ(EdgesOf(Grab(), r), EdgesOf(up, r));
}

// A "Bitmap" column over pictures: a red square, the same behind a graphic
// header, bytes that are no picture, nothing.
class BitmapCells : public testing::Test {
 protected:
  void SetUp() override {
    form = ShownForm(400, 220);
    TBitmap red;
    red.SetSize(4, 4);
    red.Canvas()->Brush()->SetColor(clRed);
    red.Canvas()->FillRect({0, 0, 4, 4});
    TStringStream bmp;
    red.SaveToStream(&bmp);
    const std::string bytes = bmp.DataString();
    const std::uint32_t n = std::uint32_t(bytes.size());
    const std::string header{1, 0, 0, 1, char(n & 255), char(n >> 8 & 255), char(n >> 16 & 255), char(n >> 24)};
    data.FieldDefs().Add("ID", ftInteger);
    data.FieldDefs().Add("Pic", ftBlob);
    data.Open();
    for (const std::string& pic : {bytes, header + bytes, std::string("not a picture"), std::string()})
      data.AppendRecord({Variant(data.RecordCount() + 1), Variant(pic)});
    data.First();
    source.SetDataSet(&data);
    grid = new TwwDBGrid(form.get());
    PlaceWithPinnedFont(grid, form.get(), &source, 380, 200);
  }
  TColor At(int row, int dx, int dy) {
    Pump();
    const TRect r = grid->CellRect(2, row);
    const QImage image = ClientOf(grid)->grab().toImage();
    return PixelColor(image, dx < 0 ? r.Right + dx : r.Left + dx, dy < 0 ? r.Bottom + dy : r.Top + dy);
  }
  std::unique_ptr<TForm> form;
  TSettingsDataSet data;
  TDataSource source;
  TwwDBGrid* grid = nullptr;
};

TEST_F(BitmapCells, PicturesAreDrawnByModeAndRasterOperation) {
  const TColor red = ColorToRGB(clRed), white = ColorToRGB(clWindow), cyan = TColor(0xFFFF00);
  const int h = grid->DefaultRowHeight();
  const struct {
    const char* parameter;
    int row, dx, dy;  // negative: from the right or bottom edge
    TColor want;
  } cases[] = {
      {"Stretch To Fit;Source Copy", 1, -3, -3, red},
      {"Stretch To Fit;Not Source Copy", 1, 3, 3, cyan},
      {"Stretch To Fit;not source copy", 1, 3, 3, red},  // names are exact
      {"Original Size;Source Copy", 1, 1, 1, red},
      {"Original Size;Source Copy", 1, 4, 4, red},
      {"Original Size;Source Copy", 1, 5, 2, white},  // one pixel in, four wide
      {"Fit Height;Source Copy", 1, h - 2, h / 2, red},
      {"Fit Height;Source Copy", 1, h + 2, h / 2, white},
      {"Fit Height;Not Source Copy", 1, h / 2, h / 2, cyan},  // scaled, then copied by the operation
      {"Fit Width;Source Copy", 1, 3, -3, red},  // the picture is taller than the cell: height bounds it
      {"Stretch To Fit;Merge Paint", 1, 3, 3, white},  // not red, or white: white stays
      {"Sideways;Source Copy", 1, 3, 3, white},  // no such mode: background only
      {"Stretch To Fit;Source Copy", 2, 3, 3, red},  // behind a graphic header
      {"Stretch To Fit;Source Copy", 3, 3, 3, white},  // not a picture
      {"Stretch To Fit;Source Copy", 4, 3, 3, white},  // no picture
  };
  for (const auto& c : cases) {
    data.ControlType()->Clear();
    data.ControlType()->Add(std::string("Pic;Bitmap;") + c.parameter);
    grid->Invalidate();
    EXPECT_EQ(At(c.row, c.dx, c.dy), c.want) << c.parameter << " row " << c.row << " at " << c.dx
                                              << "," << c.dy;
  }
  data.ControlType()->Clear();
  data.ControlType()->Add("Pic;Bitmap;Stretch To Fit;Source Copy");
  // On a coloured grid the raised frame lies over the picture, whether the
  // grid draws its plain cells itself or not.
  grid->SetColor(clYellow);
  for (bool defaultDrawing : {true, false}) {
    grid->SetDefaultDrawing(defaultDrawing);
    grid->Invalidate();
    EXPECT_EQ(At(1, 0, h / 2), ColorToRGB(clBtnHighlight)) << defaultDrawing;
    EXPECT_EQ(At(1, h / 2, 0), ColorToRGB(clBtnHighlight)) << defaultDrawing;
    EXPECT_EQ(At(1, 3, 3), red) << defaultDrawing;
  }
  grid->SetColor(clWindow);
  // The current cell of a focused grid is framed in the highlight colour.
  grid->SelectDataColumn(1);
  grid->SetFocus();
  EXPECT_EQ(At(1, 0, h / 2), ColorToRGB(clHighlight));
  EXPECT_EQ(At(1, 3, 3), red);
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
    PlaceFocused(grid, form.get(), &source, {0, 0, 380, 200});
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
  ASSERT_TRUE(WaitFor([&] { return data->FieldByName("ID")->AsInteger() > grid->VisibleDataRows(); }));
  const int dragged = data->FieldByName("ID")->AsInteger();
  // Each tick brings in the record after the window.
  EXPECT_GT(dragged, grid->VisibleDataRows());
  EXPECT_EQ(grid->DataLink()->ActiveRecord(), grid->VisibleDataRows() - 1);
  QTest::mouseRelease(client, Qt::LeftButton, Qt::NoModifier,
                      QPoint(cell.Left + 5, grid->ClientHeight() + 10));
  ASSERT_TRUE(RunTimerRounds(60, 3));  // the grid's scroll timer interval
  EXPECT_EQ(data->FieldByName("ID")->AsInteger(), dragged);
  // Upwards the record before the window comes in.
  QTest::mousePress(client, Qt::LeftButton, Qt::NoModifier, QPoint(cell.Left + 5, cell.Top + 5));
  const int top = data->FieldByName("ID")->AsInteger() - grid->DataLink()->ActiveRecord();
  QTest::mouseMove(client, QPoint(cell.Left + 5, -10));
  EXPECT_TRUE(WaitFor([&] { return data->FieldByName("ID")->AsInteger() < top; }));
  QTest::mouseRelease(client, Qt::LeftButton, Qt::NoModifier, QPoint(cell.Left + 5, -10));
  EXPECT_EQ(grid->DataLink()->ActiveRecord(), 0);
}

// ---- The published surface ---------------------------------------------------------

std::string Text(const TPropValue& v) {
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  if (const auto* b = std::get_if<bool>(&v)) return *b ? "True" : "False";
  if (const auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
  if (const auto* o = std::get_if<TObject*>(&v)) return *o ? (*o)->ClassName() : "nil";
  return "?";
}

// The grid's lines in a form definition (without its bounds).
std::vector<std::string> GridLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text.substr(text.find(": TwwDBGrid")));
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line) && line.find(" end") == std::string::npos) {
    line = line.substr(line.find_first_not_of(' '));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("Left", 0) && line.rfind("Top", 0) && line.rfind("Width", 0) &&
        line.rfind("Height", 0))
      lines.push_back(line);
  }
  return lines;
}

TEST(GridSurface, DefaultsByNameAndNothingWrittenForThem) {
  TForm form(nullptr);
  form.SetName("Form1");
  auto* grid = new TwwDBGrid(&form);
  grid->SetName("Grid1");
  grid->SetParent(&form);
  const struct {
    const char* name;
    std::string value;
  } cases[] = {
      {"Options",
       "dgEditing,dgTitles,dgIndicator,dgColumnResize,dgColLines,dgRowLines,dgTabs,"
       "dgConfirmDelete,dgCancelOnExit,dgWordWrap"},
      {"KeyOptions", "dgAllowDelete,dgAllowInsert"}, {"MemoAttributes", "mSizeable,mWordWrap"},
      {"EditControlOptions", "ecoSearchOwnerForm"}, {"MultiSelectOptions", ""},
      {"TitleColor", std::to_string(clBtnFace)}, {"FixedCols", "0"}, {"ShowHorzScrollBar", "True"},
      {"ShowVertScrollBar", "True"}, {"IndicatorButton", "nil"}, {"DataSource", "nil"},
      {"DefaultDrawing", "True"}, {"EditCalculated", "False"}, {"ReadOnly", "False"},
      {"RowHeightPercent", "100"}, {"TitleAlignment", "taLeftJustify"}, {"TitleLines", "1"},
      {"TitleButtons", "False"}, {"UseTFields", "True"}, {"IndicatorColor", "icBlack"},
      {"Ctl3D", "True"}, {"TitleFont", "TFont"}, {"Selected", "TStringList"},
      {"OnCheckValue", ""}, {"OnTitleButtonClick", ""}, {"NoSuchProperty", "?"},
  };
  for (const auto& c : cases) {
    const TPropValue v = IsPublishedProp(grid, c.name) ? GetPropValue(grid, c.name) : TPropValue();
    EXPECT_EQ(Text(v), c.value) << c.name;
  }
  EXPECT_EQ(GridLines(WriteComponentToText(&form)), std::vector<std::string>{"TabOrder = 0"});
}

const char* const kMainWindowGrid = R"(object Form1: TGridTestForm
  object dsBug: TwwDataSource
  end
  object dbgBug: TwwDBGrid
    Left = 0
    Top = 0
    Width = 400
    Height = 200
    TabStop = False
    Selected.Strings = (
      'ReportNumber'#9'8'#9'Report~Number'
      'Area'#9'20'#9'Area')
    MemoAttributes = [mSizeable, mWordWrap, mDisableDialog]
    FixedCols = 1
    DataSource = dsBug
    KeyOptions = [dgEnterToTab]
    Options = [dgEditing, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs, dgAlwaysShowSelection, dgCancelOnExit, dgWordWrap, dgPerfectRowFit]
    RowHeightPercent = 200
    TitleFont.Height = -11
    TitleFont.Name = 'MS Sans Serif'
    TitleLines = 2
    TitleButtons = True
    OnTitleButtonClick = dbgBugTitleButtonClick
    object wwIButton1: TwwIButton
      Left = 0
      Top = 0
      Width = 22
      Height = 30
      Hint = 'Edit Entry'
    end
  end
end
)";

TEST(GridSurface, AGridInAFormDefinitionIsReadAndWrittenBack) {
  Application->Initialize();
  TGridTestForm form;
  ReadComponentFromText(kMainWindowGrid, &form);
  auto* grid = dynamic_cast<TwwDBGrid*>(form.FindComponent("dbgBug"));
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->Selected()->Count(), 2);
  EXPECT_EQ(grid->DataSource(), form.FindComponent("dsBug"));
  EXPECT_EQ(Text(GetPropValue(grid, "DataSource")), "TwwDataSource");
  EXPECT_EQ(grid->TitleFont()->Name(), "MS Sans Serif");
  // The button made itself the grid's: the indicator column and title row follow it.
  ASSERT_EQ(grid->IndicatorButton(), form.FindComponent("wwIButton1"));
  EXPECT_EQ(grid->IndicatorWidth(), 21);
  grid->OnTitleButtonClick(grid, "Area");
  EXPECT_EQ(form.clicked, std::vector<std::string>{"Area"});

  const std::string written = WriteComponentToText(&form);
  const std::vector<std::string> lines = GridLines(written);
  for (const char* line : {"TabStop = False", "FixedCols = 1", "DataSource = dsBug", "TitleLines = 2",
                           "KeyOptions = [dgEnterToTab]", "OnTitleButtonClick = dbgBugTitleButtonClick"})
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line << "\n" << written;
  TGridTestForm copy;
  ReadComponentFromText(written, &copy);
  auto* again = dynamic_cast<TwwDBGrid*>(copy.FindComponent("dbgBug"));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(GridLines(WriteComponentToText(&copy)), GridLines(written));
  for (const char* name : {"Options", "KeyOptions", "MemoAttributes", "FixedCols", "TabStop",
                           "RowHeightPercent", "TitleLines", "TitleButtons", "OnTitleButtonClick"})
    EXPECT_EQ(Text(GetPropValue(again, name)), Text(GetPropValue(grid, name))) << name;
  EXPECT_EQ(again->Selected()->Text(), grid->Selected()->Text());
  EXPECT_EQ(again->IndicatorButton(), copy.FindComponent("wwIButton1"));
}

TEST_F(GridFaces, TheIndicatorButtonStaysInTheCornerAndSizesTheIndicator) {
  auto* button = new TwwIButton(form.get());
  button->SetParent(grid);
  button->SetBounds(0, 0, 22, 30);
  grid->SetIndicatorButton(button);
  EXPECT_EQ(grid->IndicatorWidth(), 21);
  EXPECT_EQ(grid->ColWidths(0), 21);
  button->SetBounds(5, 7, 30, 60);
  EXPECT_EQ(button->Left(), 0);
  EXPECT_EQ(button->Top(), 0);
  EXPECT_EQ(grid->ColWidths(0), 29);
  EXPECT_GE(grid->RowHeights(0), 59);
  delete button;
  EXPECT_EQ(grid->IndicatorButton(), nullptr);
  EXPECT_LT(grid->RowHeights(0), 59);
}

TEST_F(GridFaces, TitlesFollowTheParentsFontUntilSetOnTheirOwn) {
  grid->SetParentFont(true);
  form->Font()->SetSize(14);
  EXPECT_EQ(grid->TitleFont()->Size(), 14);
  EXPECT_TRUE(grid->ParentFont());
  const int rowHeight = grid->DefaultRowHeight();
  grid->TitleFont()->SetSize(8);
  EXPECT_FALSE(grid->ParentFont());
  form->Font()->SetSize(10);
  EXPECT_EQ(grid->TitleFont()->Size(), 8);
  // The grid's own font lays the rows out again.
  grid->Font()->SetSize(20);
  EXPECT_GT(grid->DefaultRowHeight(), rowHeight);
}

TEST_F(GridFaces, CalculatedColumnsTheGridEditsTakeTabStops) {
  TSettingsDataSet calc;
  calc.FieldDefs().Add("ID", ftInteger);
  AddField<TIntegerField>(calc, "ID");
  for (const char* name : {"selected", "Photo", "Other"}) AddField<TStringField>(calc, name, fkCalculated, 10);
  calc.ControlType()->Add("selected;CheckBox;T;F");
  calc.ControlType()->Add("Photo;Bitmap;Stretch To Fit;Source Copy");
  calc.Open();
  source.SetDataSet(&calc);
  EXPECT_TRUE(grid->TabStops(1));  // ID
  EXPECT_TRUE(grid->TabStops(2));
  EXPECT_TRUE(grid->TabStops(3));
  EXPECT_FALSE(grid->TabStops(4));
  source.SetDataSet(nullptr);
}

TEST_F(GridFaces, SettingMemoAttributesAppliesTheColumnList) {
  grid->Selected()->Add("Name\t7\tThe name");
  EXPECT_TRUE(data->FieldByName("ID")->Visible());
  grid->SetMemoAttributes({mSizeable, mDisableDialog});
  EXPECT_FALSE(data->FieldByName("ID")->Visible());
  EXPECT_EQ(data->FieldByName("Name")->DisplayWidth(), 7);
  EXPECT_EQ(data->FieldByName("Name")->DisplayLabel(), "The name");
  // A data source that is not the library's reads as none by name.
  EXPECT_EQ(grid->DataSource(), &source);
  EXPECT_EQ(Text(GetPropValue(grid, "DataSource")), "nil");
}

}  // namespace
