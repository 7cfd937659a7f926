// The published grid: check-box cells painted and toggled alike, memo cells,
// fixed columns, title buttons and the column list.
#include <gtest/gtest.h>

#include <QApplication>

#include "datactrls/wwdbgrid.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "gridtestdata.h"

using namespace testing_support;

namespace {

void Key(TWinControl* fallback, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QWidget* target = QApplication::focusWidget();
  QTest::keyClick(target ? target : ClientOf(fallback), k, mods);
  Pump(1);
}

// A focused grid on the form over `source`, on data column 1.
TwwDBGrid* PlaceGrid(TForm* form, TDataSource* source) {
  auto* grid = new TwwDBGrid(form);
  grid->SetBounds(0, 0, 380, 180);
  grid->SetParent(form);
  grid->SetDataSource(source);
  grid->SelectDataColumn(1);
  grid->SetFocus();
  Pump();
  return grid;
}

class CheckBoxCells : public testing::Test {
 protected:
  void SetUp() override {
    form = ShownForm(400, 200);
    data.FieldDefs().Add("ID", ftInteger);
    data.FieldDefs().Add("Done", ftString, 1);
    data.Open();
    data.AppendRecord({Variant(1), Variant("t")});
    data.AppendRecord({Variant(2), Variant("F")});
    data.First();
    data.ControlType()->Add("Done;CheckBox;T;F");
    source.SetDataSet(&data);
    grid = PlaceGrid(form.get(), &source);
  }
  // Black pixels inside the box of the Done cell of grid row `row`.
  int Ink(int row) {
    Pump();
    const QImage image = ClientOf(grid)->grab().toImage();
    const TRect r = grid->CellRect(2, row);
    const int left = (r.Left + r.Right - 10) / 2, top = (r.Top + r.Bottom - 10) / 2;
    int n = 0;
    for (int y = top + 1; y < top + 10; ++y)
      for (int x = left + 1; x < left + 10; ++x) n += qGray(image.pixel(x, y)) < 64;
    return n;
  }
  std::unique_ptr<TForm> form;
  TSettingsDataSet data;
  TDataSource source;
  TwwDBGrid* grid = nullptr;
};

TEST_F(CheckBoxCells, AValueOfOtherCaseShowsTickedAndSpaceUnticksIt) {
  EXPECT_GT(Ink(1), 5);  // "t" against the ticked "T"
  EXPECT_EQ(Ink(2), 0);
  EXPECT_FALSE(grid->InplaceEditor() && grid->EditorMode());
  Key(grid, Qt::Key_Space);
  EXPECT_EQ(data.FieldByName("Done")->AsString(), "F");
  EXPECT_EQ(Ink(1), 0);
  Key(grid, Qt::Key_Space);
  EXPECT_EQ(data.FieldByName("Done")->AsString(), "T");
  EXPECT_GT(Ink(1), 5);
}

TEST_F(CheckBoxCells, ClicksToggleOnceOrTwiceAsTheOptionsSay) {
  const TRect r = grid->CellRect(2, 2);
  const QPoint centre((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  QTest::mouseClick(ClientOf(grid), Qt::LeftButton, Qt::NoModifier, centre);
  Pump(1);
  EXPECT_EQ(data.FieldByName("Done")->AsString(), "F");  // one click only moves there
  QTest::mouseDClick(ClientOf(grid), Qt::LeftButton, Qt::NoModifier, centre);
  Pump(1);
  EXPECT_EQ(data.FieldByName("Done")->AsString(), "T");
  grid->SetEditControlOptions({ecoCheckboxSingleClick});
  QTest::mouseClick(ClientOf(grid), Qt::LeftButton, Qt::NoModifier, centre);
  Pump(1);
  EXPECT_EQ(data.FieldByName("Done")->AsString(), "F");
  data.FieldByName("Done")->SetReadOnly(true);
  Key(grid, Qt::Key_Space);
  EXPECT_EQ(data.FieldByName("Done")->AsString(), "F");
}

TEST(MemoCells, F2OpensTheDialogUnlessItIsDisabled) {
  auto form = ShownForm(400, 200);
  TSettingsDataSet data;
  data.FieldDefs().Add("ID", ftInteger);
  data.FieldDefs().Add("Notes", ftMemo);
  data.Open();
  data.AppendRecord({Variant(1), Variant("first")});
  data.FieldByName("Notes")->SetDisplayLabel("Long~Notes");
  TDataSource source;
  source.SetDataSet(&data);
  TwwDBGrid* grid = PlaceGrid(form.get(), &source);
  std::vector<bool> closes;
  grid->OnMemoClose = [&](TwwDBGrid*, bool cancel) { closes.push_back(cancel); };
  TDialogResponderScope answers([](TDialogRequest&) { return mrCancel; });
  Key(grid, Qt::Key_F2);
  EXPECT_FALSE(grid->EditorMode());
  grid->SetMemoAttributes({mDisableDialog});
  Key(grid, Qt::Key_F2);
  ASSERT_EQ(answers.Count(), 1);
  EXPECT_EQ(answers.Requests()[0].Caption, "Long Notes");
  EXPECT_EQ(closes, (std::vector<bool>{true}));
}

class PublishedGrid : public testing::Test {
 protected:
  void SetUp() override {
    form = ShownForm(400, 200);
    data = MakeLibraryNumbered(5);
    source.SetDataSet(data.get());
    grid = PlaceGrid(form.get(), &source);
  }
  void Click(TGridCoord press, TGridCoord release) {
    const TRect a = grid->CellRect(press.X, press.Y), b = grid->CellRect(release.X, release.Y);
    QTest::mousePress(ClientOf(grid), Qt::LeftButton, Qt::NoModifier, QPoint(a.Left + 5, a.Top + 5));
    QTest::mouseRelease(ClientOf(grid), Qt::LeftButton, Qt::NoModifier, QPoint(b.Left + 5, b.Top + 5));
    Pump(1);
  }
  std::unique_ptr<TForm> form;
  std::unique_ptr<TSettingsDataSet> data;
  TDataSource source;
  TwwDBGrid* grid = nullptr;
};

TEST_F(PublishedGrid, FixedDataColumnsTakeTheTitleColourAndNoTabStop) {
  grid->SetTitleColor(clAqua);
  grid->SetFixedCols(1);
  EXPECT_EQ(grid->TCustomGrid::FixedCols(), 2);
  EXPECT_FALSE(grid->TabStops(1));
  EXPECT_TRUE(grid->TabStops(2));
  Pump();
  const QImage image = ClientOf(grid)->grab().toImage();
  const auto colour = [&](int col) {
    const TRect r = grid->CellRect(col, 2);
    const QRgb p = image.pixel(r.Right - 2, r.Bottom - 2);
    return TColor(qRed(p) | qGreen(p) << 8 | qBlue(p) << 16);
  };
  EXPECT_EQ(colour(1), ColorToRGB(clAqua));
  EXPECT_EQ(colour(2), ColorToRGB(clWindow));
}

TEST_F(PublishedGrid, ATitleButtonClicksOnlyWhereItWasPressed) {
  std::vector<std::string> clicked;
  grid->OnTitleButtonClick = [&](TObject*, const std::string& name) { clicked.push_back(name); };
  Click({2, 0}, {2, 0});  // without title buttons a title is no button
  grid->SetTitleButtons(true);
  Click({2, 0}, {2, 0});
  Click({1, 0}, {3, 0});
  EXPECT_EQ(clicked, (std::vector<std::string>{"Name"}));
}

TEST_F(PublishedGrid, DesignTimeRefusesFixedColumnsThatLeaveNothingToScroll) {
  grid->SetDesigning(true);
  TDialogResponderScope answers([](TDialogRequest&) { return mrOk; });
  grid->SetFixedCols(3);
  grid->SetFixedCols(-1);
  EXPECT_EQ(answers.Texts(), (std::vector<std::string>{"Invalid value for FixedCols", "Invalid value for FixedCols"}));
  EXPECT_EQ(grid->FixedCols(), 0);
  grid->SetFixedCols(2);
  EXPECT_EQ(grid->FixedCols(), 2);
}

TEST_F(PublishedGrid, TheColumnListSetsTheFieldsAndForeignDataSetsAreRefused) {
  TStringList lines;
  lines.SetText("Amount\t7\tSum\nNope\t3\tX\nName\t12\n");
  grid->SetSelected(&lines);
  grid->ApplySelected();
  EXPECT_FALSE(data->FieldByName("ID")->Visible());
  EXPECT_EQ(data->FieldByName("Amount")->DisplayLabel(), "Sum");
  EXPECT_EQ(data->FieldByName("Amount")->DisplayWidth(), 7);
  EXPECT_EQ(grid->GetFieldCount(), 2);
  EXPECT_EQ(grid->GetField(0)->FieldName(), "Amount");
  TStringList back;
  wwFieldsToSelected(data.get(), &back);
  EXPECT_EQ(back.Text(), "Amount\t7\tSum\r\nName\t12\tName\r\n");

  TMemDataSet plain;
  plain.FieldDefs().Add("ID", ftInteger);
  plain.Open();
  TDataSource other;
  other.SetDataSet(&plain);
  TDialogResponderScope answers([](TDialogRequest&) { return mrOk; });
  grid->SetDataSource(&other);
  EXPECT_EQ(answers.Texts(), (std::vector<std::string>{"wwGrid must use an Wendlow compatible TDataSet."}));
  EXPECT_EQ(grid->DataSource(), nullptr);
}

}  // namespace
