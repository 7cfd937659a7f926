// The data grid's navigation through real key and mouse events: the record
// window moves the dataset, Down and Tab append at the end, Escape and leaving
// the grid discard, Ctrl+Delete asks, and the scroll bar tells the position.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <functional>

#include "datactrls/wwdbigrd.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/db/dbtestutil.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "gridtestdata.h"

using namespace testing_support;

namespace {

class GridNav : public testing::Test {
 protected:
  void SetUp() override {
    form = ShownForm(500, 300);
    data = MakeNumbered(40);
    source.SetDataSet(data.get());
    other = new TEdit(form.get());
    other->SetParent(form.get());
    other->SetBounds(0, 260, 100, 24);
    grid = new TwwCustomDBGrid(form.get());
    grid->SetBounds(0, 0, 480, 250);
    grid->SetParent(form.get());
    grid->SetDataSource(&source);
    grid->SetFocus();
    Pump();
  }
  void Key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target ? target : ClientOf(grid), k, mods);
    Pump(1);
  }
  int Id() const { return data->FieldByName("ID")->AsInteger(); }
  std::unique_ptr<TForm> form;
  std::unique_ptr<TMemDataSet> data;
  TDataSource source;
  TwwCustomDBGrid* grid = nullptr;
  TEdit* other = nullptr;
};

TEST_F(GridNav, KeysMoveThroughRecordsAndColumns) {
  const int page = grid->VisibleDataRows();
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    int wantId, wantDataCol;
  } cases[] = {
      {Qt::Key_Down, Qt::NoModifier, 2, 0},
      {Qt::Key_Right, Qt::NoModifier, 2, 1},
      {Qt::Key_End, Qt::NoModifier, 2, 2},
      {Qt::Key_Home, Qt::NoModifier, 2, 0},
      {Qt::Key_PageDown, Qt::NoModifier, 2 + page, 0},
      {Qt::Key_Up, Qt::NoModifier, 1 + page, 0},
      {Qt::Key_PageUp, Qt::NoModifier, 1, 0},
      {Qt::Key_End, Qt::ControlModifier, 40, 0},
      {Qt::Key_Right, Qt::ControlModifier, 40, 2},
      {Qt::Key_Home, Qt::ControlModifier, 1, 2},
      {Qt::Key_Left, Qt::ControlModifier, 1, 0},
  };
  for (const Case& c : cases) {
    Key(c.key, c.mods);
    EXPECT_EQ(Id(), c.wantId) << QKeySequence(c.key | c.mods).toString().toStdString();
    EXPECT_EQ(grid->DataColumn(grid->Col()), c.wantDataCol);
    EXPECT_EQ(grid->Row(), grid->DataLink()->ActiveRecord() + 1);
  }
  // The record window never grows past the visible rows.
  EXPECT_EQ(grid->DataLink()->BufferCount(), page);
}

TEST_F(GridNav, DownAtTheEndAppendsOnlyWhenInsertIsAllowed) {
  data->Last();
  grid->SetKeyOptions({});
  Key(Qt::Key_Down);
  EXPECT_EQ(data->State(), dsBrowse);
  EXPECT_EQ(Id(), 40);
  grid->SetKeyOptions({dgAllowInsert});
  Key(Qt::Key_Down);
  EXPECT_EQ(data->State(), dsInsert);
  Key(Qt::Key_Down);  // an untouched new record stays where it is
  EXPECT_EQ(data->State(), dsInsert);
  Key(Qt::Key_Up);  // and is dropped on the way back
  EXPECT_EQ(data->State(), dsBrowse);
  EXPECT_EQ(data->RecordCount(), 40);
}

TEST_F(GridNav, TabOnTheLastColumnAppendsAndLandsOnTheFirstTabStop) {
  data->FieldByName("ID")->SetReadOnly(true);
  grid->RebuildLayout();
  data->Last();
  grid->SelectDataColumn(2);
  Key(Qt::Key_Tab);
  EXPECT_EQ(data->State(), dsInsert);
  EXPECT_EQ(grid->DataColumn(grid->Col()), 1);
  Key(Qt::Key_Tab, Qt::ShiftModifier);  // back over the read-only column to the prior row
  EXPECT_EQ(data->State(), dsBrowse);
  EXPECT_EQ(grid->DataColumn(grid->Col()), 2);
}

TEST_F(GridNav, TypedTextIsWrittenWhenTheColumnChanges) {
  grid->SelectDataColumn(1);
  Key(Qt::Key_F2);
  ASSERT_TRUE(grid->EditorMode());
  QTest::keyClicks(QApplication::focusWidget(), "xy");
  Key(Qt::Key_Tab);
  EXPECT_EQ(data->State(), dsEdit);
  EXPECT_EQ(data->FieldByName("Name")->AsString(), "xy");  // the editor opens with its text selected
}

TEST_F(GridNav, EscapeDiscardsTheEditorTextThenAsksForTheRecord) {
  grid->SelectDataColumn(1);
  data->Edit();
  data->FieldByName("Amount")->SetAsFloat(9);
  Key(Qt::Key_F2);
  QTest::keyClicks(QApplication::focusWidget(), "z");
  TDialogResponderScope answers([](TDialogRequest&) { return mrNo; });
  Key(Qt::Key_Escape);  // only the editor's text goes
  EXPECT_EQ(answers.Count(), 0);
  EXPECT_EQ(data->FieldByName("Name")->AsString(), "N1");
  Key(Qt::Key_Escape);  // No keeps the changed record
  EXPECT_EQ(answers.Texts(), (std::vector<std::string>{"Discard changes to this record?"}));
  EXPECT_EQ(data->State(), dsEdit);
  EXPECT_EQ(data->FieldByName("Amount")->AsFloat(), 9);
  TDialogResponderScope yes([](TDialogRequest&) { return mrYes; });
  Key(Qt::Key_Escape);
  EXPECT_EQ(data->State(), dsBrowse);
  EXPECT_EQ(data->FieldByName("Amount")->AsFloat(), 1.5);
}

TEST_F(GridNav, CtrlDeleteAsksAndCancelKeepsTheRecord) {
  TModalResult answer = mrCancel;
  TDialogResponderScope answers([&](TDialogRequest&) { return answer; });
  Key(Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(data->RecordCount(), 40);
  answer = mrOk;
  Key(Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(data->RecordCount(), 39);
  EXPECT_EQ(answers.Texts(), (std::vector<std::string>{"Delete record?", "Delete record?"}));
  grid->SetKeyOptions({dgAllowInsert});  // refused without asking
  Key(Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(answers.Count(), 2);
}

TEST_F(GridNav, LeavingTheGridDropsAnUntouchedNewRecord) {
  data->Last();
  Key(Qt::Key_Down);
  ASSERT_EQ(data->State(), dsInsert);
  other->SetFocus();
  Pump();
  EXPECT_EQ(data->State(), dsBrowse);
  EXPECT_EQ(data->RecordCount(), 40);
}

TEST_F(GridNav, ClickingARowMovesTheDataset) {
  const TRect r = grid->CellRect(2, 4);
  QTest::mouseClick(ClientOf(grid), Qt::LeftButton, Qt::NoModifier,
                    QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
  Pump(1);
  EXPECT_EQ(Id(), 4);
  EXPECT_EQ(grid->DataColumn(grid->Col()), 1);
  // A row's indicator cell chooses that row and leaves the column as it was.
  for (int row : {7, 2}) {
    const TRect indicator = grid->CellRect(0, row);
    QTest::mouseClick(ClientOf(grid), Qt::LeftButton, Qt::NoModifier,
                      QPoint((indicator.Left + indicator.Right) / 2, (indicator.Top + indicator.Bottom) / 2));
    Pump(1);
    EXPECT_EQ(Id(), row);
    EXPECT_EQ(grid->DataColumn(grid->Col()), 1);
  }
}

// A press on the grid first takes the focus; where the control that has it
// keeps it (text its field refused), the press moves neither the record nor
// the column.
TEST_F(GridNav, APressTheFocusedControlKeepsTheFocusFromMovesNothing) {
  other->OnExit = [this](TObject*) { other->SetFocus(); };
  const struct {
    const char* name;
    std::function<void()> press;
  } presses[] = {{"a cell of another row and column",
                  [&] {
                    const TRect r = grid->CellRect(2, 4);
                    WindowClick(grid, (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
                  }},
                 {"an indicator cell",
                  [&] {
                    const TRect r = grid->CellRect(0, 3);
                    WindowClick(grid, (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
                  }},
                 {"a scroll arrow", [&] { ASSERT_TRUE(ClickScrollArrow(grid, SB_VERT, false)); }}};
  for (const auto& [name, press] : presses) {
    SCOPED_TRACE(name);
    data->First();
    other->SetFocus();
    Pump();
    const int col = grid->Col();
    press();
    Pump();
    EXPECT_TRUE(other->Focused());
    EXPECT_EQ(Id(), 1);
    EXPECT_EQ(grid->Col(), col);
  }
}

// The arrows of the scroll bar move the current row (not the view), so they
// take the focus as a press on the cells does: the row they move shows as
// current, and the rows past the top come back once it reaches them.
TEST_F(GridNav, TheScrollArrowsFocusTheGridAndMoveTheCurrentRowInSight) {
  other->SetFocus();
  data->Last();
  Pump();
  ASSERT_FALSE(grid->Focused());
  const int page = grid->VisibleDataRows();
  ASSERT_EQ(grid->Row(), page);  // the last record on the bottom row
  const auto topId = [&] {
    TDataLink* link = grid->DataLink();
    const int was = link->ActiveRecord();
    link->SetActiveRecord(0);
    const int id = Id();
    link->SetActiveRecord(was);
    return id;
  };
  const auto highlightedRow = [&] {
    Pump();
    const QImage image = ClientOf(grid)->grab().toImage();
    for (int row = 1; row <= page; ++row) {
      const TRect cell = grid->CellRect(grid->Col(), row);
      if (PixelColor(image, cell.Right - 2, cell.Bottom - 2) == ColorToRGB(clHighlight)) return row;
    }
    return -1;
  };
  struct Case {
    bool up;
    int clicks, wantId, wantRow, wantTopId;
  } cases[] = {
      {true, 1, 39, page - 1, 41 - page},
      {true, page - 2, 41 - page, 1, 41 - page},
      {true, 2, 39 - page, 1, 39 - page},  // past the top: the view follows
      {false, 1, 40 - page, 2, 39 - page},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.up ? "up " : "down ") << c.clicks);
    for (int i = 0; i < c.clicks; ++i) ASSERT_TRUE(ClickScrollArrow(grid, SB_VERT, c.up));
    EXPECT_TRUE(grid->Focused());
    EXPECT_EQ(Id(), c.wantId);
    EXPECT_EQ(grid->Row(), c.wantRow);
    EXPECT_EQ(highlightedRow(), c.wantRow);
    EXPECT_EQ(topId(), c.wantTopId);
  }
}

TEST_F(GridNav, TheScrollThumbTellsWhereTheRecordStands) {
  auto small = MakeNumbered(3);
  source.SetDataSet(small.get());
  small->Next();
  EXPECT_EQ(GetScrollPos(grid, SB_VERT), 100);
  small->Last();
  EXPECT_EQ(GetScrollPos(grid, SB_VERT), 200);
  grid->Perform(WM_VSCROLL, SB_TOP);
  EXPECT_EQ(GetScrollPos(grid, SB_VERT), 0);
  grid->Perform(WM_VSCROLL, SB_THUMBPOSITION | (100 << 16));
  EXPECT_EQ(small->RecNo(), 2);
  source.SetDataSet(data.get());
}

}  // namespace
