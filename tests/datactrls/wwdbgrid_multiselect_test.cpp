// Selecting several records of the published grid with Ctrl, Shift and plain
// clicks, the owner refusing, and the highlight that follows the selection.
#include <gtest/gtest.h>

#include <set>

#include "datactrls/wwdbgrid.h"
#include "platform/classlib/controls/control_helpers.h"
#include "gridtestdata.h"
#include "platform/classlib/db/dbtestutil.h"
#include "platform/classlib/db/fields.h"

using namespace testing_support;

namespace {

// A multi-select grid filling the form over `source`.
TwwDBGrid* PlaceMultiSelectGrid(TForm* form, TDataSource* source) {
  auto* grid = new TwwDBGrid(form);
  grid->SetBounds(0, 0, 480, 380);
  grid->SetParent(form);
  grid->SetDataSource(source);
  grid->SetOptions(grid->Options() + TwwDBGridOptions{dgMultiSelect});
  Pump();
  return grid;
}

// Clicks the ID cell of record `id` (every record is on the screen).
void ClickRecord(TwwDBGrid* grid, int id, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  const TRect r = grid->CellRect(1, id);
  QTest::mouseClick(ClientOf(grid), Qt::LeftButton, mods, QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
  Pump(1);
}

class MultiSelect : public testing::Test {
 protected:
  void SetUp() override {
    form = ShownForm(500, 400);
    data = MakeLibraryNumbered(12);
    source.SetDataSet(data.get());
    grid = PlaceMultiSelectGrid(form.get(), &source);
  }
  void ClickRecord(int id, Qt::KeyboardModifiers mods = Qt::NoModifier) { ::ClickRecord(grid, id, mods); }
  std::set<int> Selected() {
    std::set<int> ids;
    const TBookmarkStr here = data->Bookmark();
    for (const TBookmarkStr& b : grid->SelectedList()) {
      data->SetBookmark(b);
      ids.insert(data->FieldByName("ID")->AsInteger());
    }
    data->SetBookmark(here);
    return ids;
  }
  std::unique_ptr<TForm> form;
  std::unique_ptr<TSettingsDataSet> data;
  TDataSource source;
  TwwDBGrid* grid = nullptr;
};

TEST_F(MultiSelect, CtrlClicksToggleAndPlainClicksFollowAutoUnselect) {
  ClickRecord(2, Qt::ControlModifier);
  ClickRecord(4, Qt::ControlModifier);
  EXPECT_EQ(Selected(), (std::set<int>{2, 4}));
  ClickRecord(2, Qt::ControlModifier);
  EXPECT_EQ(Selected(), (std::set<int>{4}));
  ClickRecord(6);  // without automatic unselection a plain click only moves
  EXPECT_EQ(Selected(), (std::set<int>{4}));
  grid->SetMultiSelectOptions({msoAutoUnselect});
  ClickRecord(6);
  EXPECT_EQ(Selected(), (std::set<int>{6}));
}

TEST_F(MultiSelect, ShiftClickSelectsTheRangeEachRecordOnceEitherWay) {
  grid->SetMultiSelectOptions({msoShiftSelect});
  struct Case {
    int from, to;
  } cases[] = {{3, 7}, {7, 3}};
  for (const Case& c : cases) {
    grid->UnselectAll();
    ClickRecord(5, Qt::ControlModifier);  // already selected in between
    ClickRecord(c.from, Qt::ControlModifier);
    ClickRecord(c.to, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), (std::set<int>{3, 4, 5, 6, 7})) << c.from;
    EXPECT_EQ(grid->SelectedList().size(), 5u);
    EXPECT_EQ(data->FieldByName("ID")->AsInteger(), c.to);
  }
}

TEST_F(MultiSelect, TheOwnerMayRefuseAndUnselectAllAsksNothing) {
  std::vector<bool> asked;
  grid->OnMultiSelectRecord = [&](TwwDBGrid*, bool selecting, bool& accept) {
    asked.push_back(selecting);
    accept = data->FieldByName("ID")->AsInteger() != 3;
  };
  ClickRecord(3, Qt::ControlModifier);
  ClickRecord(2, Qt::ControlModifier);
  EXPECT_EQ(Selected(), (std::set<int>{2}));
  // The refused row stays plain, the selected one is highlighted.
  Pump();
  const QImage image = ClientOf(grid)->grab().toImage();
  const auto colour = [&](int row) {
    const TRect r = grid->CellRect(2, row);
    return image.pixel(r.Right - 2, r.Bottom - 2);
  };
  EXPECT_EQ(colour(2), QColor(ColorToRGB(clHighlight) & 0xFF, (ColorToRGB(clHighlight) >> 8) & 0xFF,
                              (ColorToRGB(clHighlight) >> 16) & 0xFF).rgb());
  EXPECT_NE(colour(3), colour(2));
  grid->UnselectAll();
  EXPECT_TRUE(grid->SelectedList().empty());
  EXPECT_EQ(asked, (std::vector<bool>{true, true}));
}

TEST_F(MultiSelect, SelectingPostsTheRecordBeingEdited) {
  data->Edit();
  data->FieldByName("Name")->SetAsString("changed");
  grid->SelectRecord();
  EXPECT_EQ(data->State(), dsBrowse);
  EXPECT_EQ(data->FieldByName("Name")->AsString(), "changed");
  EXPECT_EQ(Selected(), (std::set<int>{1}));
}

// Orders a record that is gone after every other one, as an engine may.
class TGhostLastDataSet : public TSettingsDataSet {
 public:
  int CompareBookmarks(TBookmark a, TBookmark b) override {
    const bool ga = !CheckBookmark(a), gb = !CheckBookmark(b);
    if (ga || gb) return ga == gb ? 0 : ga ? 1 : -1;
    return TSettingsDataSet::CompareBookmarks(a, b);
  }
};

TEST(MultiSelectRange, AnAnchorWhoseRecordIsGoneStopsTheRangeAtTheEnd) {
  auto form = ShownForm(500, 400);
  TGhostLastDataSet data;
  FillNumbered(data, 8);
  TDataSource source;
  source.SetDataSet(&data);
  TwwDBGrid* grid = PlaceMultiSelectGrid(form.get(), &source);
  grid->SetMultiSelectOptions({msoShiftSelect});
  ClickRecord(grid, 7, Qt::ControlModifier);
  data.RemoveRowElsewhere(data.Bookmark());  // the anchor's record goes
  ClickRecord(grid, 4, Qt::ShiftModifier);
  // From the clicked record to the end of the data: 4, 5, 6 and 8.
  EXPECT_EQ(grid->SelectedList().size(), 4u);
}

}  // namespace
