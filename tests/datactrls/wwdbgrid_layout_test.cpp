// The data grid's column layout: the stored column list, widths through the
// width of "0", titles, row heights, the write-back of the user's sizing and
// moving, and the record window of the visible rows.
#include <gtest/gtest.h>

#include <functional>

#include "datactrls/wwdbigrd.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/db/dbtestutil.h"
#include "platform/classlib/db/fields.h"

using namespace testing_support;

namespace {

TEST(SelectedLine, PartsAreTakenByPositionAndBadWidthsAreFlagged) {
  struct Case {
    const char* line;
    const char* name;
    int width;
    const char* title;
    bool hasTitle;
  } cases[] = {
      {"User\t20\tUser", "User", 20, "User", true},
      {"Email\t20", "Email", 20, "", false},
      {"Email\t20\t", "Email", 20, "", true},  // an empty title part is an empty title
      {"Area\tabc\tArea", "Area", -1, "Area", true},
      {"Area\t-5\tArea", "Area", -1, "Area", true},
      {"Area\t12x\tArea", "Area", -1, "Area", true},
      {"Area\t99999999999\tA", "Area", -1, "A", true},  // does not fit an integer
      {"Area\t5000\tA", "Area", 1000, "A", true},        // wider than any screen
      {"Area\t7\tTwo~Lines\textra", "Area", 7, "Two~Lines", true},
      {"Area", "Area", -1, "", false},
      {"", "", -1, "", false},
  };
  for (const Case& c : cases) {
    const TwwSelectedLine l = wwParseSelectedLine(c.line);
    EXPECT_EQ(l.fieldName, c.name) << c.line;
    EXPECT_EQ(l.width, c.width) << c.line;
    EXPECT_EQ(l.title, c.title) << c.line;
    EXPECT_EQ(l.hasTitle, c.hasTitle) << c.line;
  }
  EXPECT_EQ(wwSelectedLineText("User", 20, "User"), "User\t20\tUser");
}

TEST(SelectedLine, CharacterWidthsRoundTripThroughPixels) {
  struct Case {
    int chars, zero, pixels;
  } widths[] = {{20, 7, 144}, {0, 7, 4}, {1, 6, 10}};
  for (const Case& c : widths) EXPECT_EQ(wwColumnPixels(c.chars, c.zero), c.pixels);
  struct Back {
    int pixels, zero, chars;
  } back[] = {{144, 7, 20}, {150, 7, 21}, {146, 7, 20}, {0, 7, 0}, {0, 1, 0}, {50, 0, 0}};
  for (const Back& b : back) EXPECT_EQ(wwColumnChars(b.pixels, b.zero), b.chars) << b.pixels;
}

class GridLayout : public testing::Test {
 protected:
  void SetUp() override {
    form = ShownForm(500, 300);
    data = MakeNumbered(40);
    data->FieldByName("Name")->SetDisplayLabel("Full~Name");
    source.SetDataSet(data.get());
    grid = new TwwCustomDBGrid(form.get());
    grid->Font()->SetName("Arial");
    grid->Font()->SetSize(10);
    grid->TitleFont()->Assign(grid->Font());
    grid->SetBounds(0, 0, 480, 200);
    grid->SetParent(form.get());
    Pump();
    TCanvas* c = grid->Canvas();
    c->Font()->Assign(grid->Font());
    zero = c->TextWidth("0");
    textHeight = c->TextHeight("W");
  }
  void Open() {
    grid->SetDataSource(&source);
    data->Open();
  }
  // Opens with the stored column list `text` instead of the fields.
  void OpenWith(const std::string& text) {
    grid->SetUseTFields(false);
    TStringList lines;
    lines.SetText(text);
    grid->SetSelected(&lines);
    Open();
  }
  std::vector<std::string> Lines() const {
    std::vector<std::string> out;
    for (int i = 0; i < grid->Selected()->Count(); ++i) out.push_back(grid->Selected()->Strings(i));
    return out;
  }
  int Pixels(int chars) const { return wwColumnPixels(chars, zero); }
  std::unique_ptr<TForm> form;
  std::unique_ptr<TMemDataSet> data;
  TDataSource source;
  TwwCustomDBGrid* grid = nullptr;
  int zero = 0, textHeight = 0;
};

TEST_F(GridLayout, FieldsGiveColumnsWidthsTitlesAndTabStops) {
  data->FieldByName("Amount")->SetReadOnly(true);
  Open();
  ASSERT_GT(zero, 3);
  ASSERT_EQ(grid->ColCount(), 4);
  EXPECT_EQ(grid->ColWidths(0), 11);  // the indicator
  EXPECT_EQ(grid->FixedCols(), 1);
  EXPECT_EQ(grid->GetFieldCount(), 3);
  EXPECT_EQ(grid->GetField(1)->FieldName(), "Name");
  EXPECT_EQ(grid->GetField(3), nullptr);
  for (int col = 1; col < 4; ++col) {
    TField* f = grid->GetField(col - 1);
    grid->Canvas()->Font()->Assign(grid->TitleFont());
    const int title = std::max(grid->Canvas()->TextWidth("Full"), grid->Canvas()->TextWidth("Name")) + 4;
    const int want = std::max(Pixels(f->DisplayWidth()),
                              f->FieldName() == "Name" ? title : grid->Canvas()->TextWidth(f->FieldName()) + 4);
    EXPECT_EQ(grid->ColWidths(col), want) << f->FieldName();
  }
  EXPECT_EQ((std::vector<bool>{grid->TabStops(1), grid->TabStops(2), grid->TabStops(3)}),
            (std::vector<bool>{true, true, false}));
}

TEST_F(GridLayout, RowHeightsFollowTheFontPercentageAndTitleLines) {
  Open();
  struct Case {
    int percent, titleLines;
    bool rowLines;
    int data, title;
  } cases[] = {
      {100, 1, true, textHeight + 3, textHeight + 4},
      {200, 2, true, (textHeight + 3) * 2, textHeight * 2 + 4},
      {150, 1, false, (textHeight + 2) * 150 / 100, textHeight + 5},
  };
  for (const Case& c : cases) {
    TwwDBGridOptions o = grid->Options();
    c.rowLines ? o.Include(dgRowLines) : o.Exclude(dgRowLines);
    grid->SetOptions(o);
    grid->SetRowHeightPercent(c.percent);
    grid->SetTitleLines(c.titleLines);
    EXPECT_EQ(grid->DefaultRowHeight(), c.data) << c.percent;
    EXPECT_EQ(grid->RowHeights(0), c.title) << c.percent;
    EXPECT_EQ(grid->RowHeights(1), c.data) << c.percent;
  }
  // Zero resets the percentage without a rebuild; zero title lines are ignored.
  const int before = grid->DefaultRowHeight();
  grid->SetRowHeightPercent(0);
  grid->SetTitleLines(0);
  EXPECT_EQ(grid->RowHeightPercent(), 100);
  EXPECT_EQ(grid->TitleLines(), 1);
  EXPECT_EQ(grid->DefaultRowHeight(), before);
}

TEST_F(GridLayout, AnIndicatorButtonGrowsTheTitleRow) {
  grid->SetIndicatorButtonHeight(30);
  Open();
  EXPECT_EQ(grid->RowHeights(0), 29);  // row lines on: the button's height - 1
  EXPECT_EQ(grid->TitleTextTop(), (30 - (textHeight + 4)) / 2 + 2);
}

TEST_F(GridLayout, TheColumnListChoosesAndSizesColumnsAndDropsWhatIsInvalid) {
  OpenWith("Name\t20\tWho\nGone\t5\tGone\nAmount\tabc\tSum\nID\t3\n");
  // The unknown field is dropped; a garbage width takes the field's own.
  EXPECT_EQ(Lines(), (std::vector<std::string>{"Name\t20\tWho", "Amount\tabc\tSum", "ID\t3"}));
  ASSERT_EQ(grid->ColCount(), 4);
  EXPECT_EQ(grid->ColWidths(1), Pixels(20));
  EXPECT_EQ(grid->ColWidths(2), std::max(Pixels(data->FieldByName("Amount")->DisplayWidth()),
                                         grid->Canvas()->TextWidth("Sum") + 4));
  EXPECT_EQ(grid->GetField(2)->FieldName(), "ID");
}

TEST_F(GridLayout, AnEmptyColumnListStillShowsOneColumn) {
  OpenWith("");
  EXPECT_EQ(grid->ColCount(), 2);
  EXPECT_EQ(grid->GetSelectedField(), nullptr);
}

TEST_F(GridLayout, AThousandUnknownNamesLeaveAUsableGrid) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "F" + std::to_string(i) + "\t99999\t~~~\n";
  OpenWith(text + "ID\t4\tNo");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"ID\t4\tNo"}));
  EXPECT_EQ(grid->ColCount(), 2);
}

TEST_F(GridLayout, TheFieldMapRefusesMoreThanItsLimit) {
  Open();
  TwwGridDataLink* link = grid->DataLink();
  EXPECT_FALSE(link->AddMapping("Nope"));
  for (int i = link->FieldCount(); i < TwwGridDataLink::kMaxMappedFields; ++i)
    ASSERT_TRUE(link->AddMapping("ID"));
  EXPECT_THROW(
      {
        try {
          link->AddMapping("ID");
        } catch (const EInvalidGridOperation& e) {
          EXPECT_STREQ(e.what(), "Grid requested to display more than 256 columns");
          throw;
        }
      },
      EInvalidGridOperation);
}

TEST_F(GridLayout, UserSizingIsWrittenBackAsCharacters) {
  Open();
  grid->SetColWidths(2, Pixels(20));
  EXPECT_EQ(data->FieldByName("Name")->DisplayWidth(), 20);
  grid->SetColWidths(2, Pixels(20) + zero / 2 + 1);
  EXPECT_EQ(data->FieldByName("Name")->DisplayWidth(), 21);
  // The grid's own assignments are not the user's.
  grid->SetColWidthQuiet(2, Pixels(5));
  EXPECT_EQ(data->FieldByName("Name")->DisplayWidth(), 21);
}

// A width given to a column, by the user's sizing or quietly by the owner,
// comes back as it was from a rebuild that changes no measure of it; a new
// display width or font lays the column out anew.
TEST_F(GridLayout, AGivenWidthOutlivesRebuildsUntilItsCharactersOrFontChange) {
  struct Case {
    const char* name;
    bool quietly;
    std::function<void()> then;
    bool kept;
  };
  TField* name = nullptr;
  const Case cases[] = {
      {"rebuild", false, [&] { grid->RebuildLayout(); }, true},
      {"title colour", true, [&] { grid->TitleFont()->SetColor(clRed); }, true},
      {"column moved", false, [&] { grid->MoveColumn(3, 1); }, true},
      {"record added", true, [&] { data->Append(); data->Cancel(); grid->RebuildLayout(); }, true},
      {"display width", true, [&] { name->SetDisplayWidth(9); }, false},
      {"display width after sizing", false, [&] { name->SetDisplayWidth(9); }, false},
      {"font", false, [&] { grid->Font()->SetSize(14); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A grid and data of the case's own.
    form.reset();
    source.SetDataSet(nullptr);
    SetUp();
    Open();
    name = data->FieldByName("Name");
    const int given = Pixels(20) + 1;  // between two character widths
    if (c.quietly) grid->SetColWidthQuiet(2, given);
    else grid->SetColWidths(2, given);
    c.then();
    const int col = grid->GetField(0) == name ? 1 : grid->GetField(1) == name ? 2 : 3;
    grid->Canvas()->Font()->Assign(grid->Font());
    const int computed = wwColumnPixels(name->DisplayWidth(), grid->Canvas()->TextWidth("0"));
    EXPECT_EQ(grid->ColWidths(col), c.kept ? given : computed);
  }
}

TEST_F(GridLayout, UserSizingRewritesTheColumnListKeepingTitles) {
  OpenWith("Name\t20\tWho\nID\t3\n");
  grid->SetColWidths(1, Pixels(12));
  // A line without a title keeps the field's label rather than an empty title.
  EXPECT_EQ(Lines(), (std::vector<std::string>{"Name\t12\tWho", "ID\t3\tID"}));
}

TEST_F(GridLayout, MovingAColumnMovesItsLineOrItsField) {
  std::vector<std::pair<int, int>> moves;
  grid->OnColumnMoved = [&](TObject*, int from, int to) { moves.push_back({from, to}); };
  Open();
  grid->MoveColumn(3, 1);
  EXPECT_EQ(data->FieldByName("Amount")->Index(), 0);
  EXPECT_EQ(grid->GetField(0)->FieldName(), "Amount");

  grid->SetUseTFields(false);
  TStringList lines;
  lines.SetText("Name\t20\tWho\nID\t3\tNo\n");
  grid->SetSelected(&lines);
  grid->RebuildLayout();
  grid->MoveColumn(2, 1);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"ID\t3\tNo", "Name\t20\tWho"}));
  EXPECT_EQ(grid->GetField(0)->FieldName(), "ID");
  EXPECT_EQ(moves, (std::vector<std::pair<int, int>>{{2, 0}, {1, 0}}));
}

TEST_F(GridLayout, TheRecordWindowHoldsTheVisibleRowsOnly) {
  Open();
  const int rows = grid->VisibleDataRows();
  ASSERT_GT(rows, 2);
  ASSERT_LT(rows, 40);
  EXPECT_EQ(grid->DataLink()->BufferCount(), rows);
  EXPECT_EQ(grid->RowCount(), rows + 1);
  EXPECT_EQ(grid->Row(), 1);
  data->MoveBy(rows + 3);
  EXPECT_EQ(grid->Row(), rows);  // the current record stays in the last visible row
  grid->SetBounds(0, 0, 480, 100);
  Pump();
  EXPECT_LT(grid->DataLink()->BufferCount(), rows);
  EXPECT_EQ(grid->RowCount(), grid->DataLink()->BufferCount() + 1);
  data->Close();
  EXPECT_EQ(grid->RowCount(), 2);
}

}  // namespace
