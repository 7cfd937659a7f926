// The entry grid's columns: visibility, widths and order in the settings, the
// fixed column and the indicator, the View items, sorting by a title click and
// the sort title's colour.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <map>
#include <set>

#include "app/main/bug.h"
#include "datactrls/edits/wwdbcomb.h"
#include "apptest.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "entrytest.h"
#include "entryrows.h"
#include "shownplace.h"
#include "platform/classlib/controls/clipboard.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/menus/menus.h"
#include "winctrls/exttab.h"
#include "winctrls/tb97button.h"

namespace {

using apptest::Scratch;
using testing_support::Pump;

class Columns : public apptest::MainWindowTest {
 protected:
  // Settings a test writes before the window starts.
  virtual void PrepareSettings(TRegIniFile&) {}
  void Prepare() override {
    apptest::AddEveryCodeEntry(scratch.Database());
    PrepareSettings(*scratch.Settings());
  }

  TwwDBGrid* Grid() const { return form->dbgBug; }
  // The grid column of a field, -1 when it is not shown.
  int ColumnOf(const std::string& field) const {
    for (int i = 0; i < Grid()->GetFieldCount(); ++i)
      if (Grid()->GetField(i)->FieldName() == field) return form->GridColumnOf(i);
    return -1;
  }
  int WidthOf(const std::string& field) const { return Grid()->GetColWidth(ColumnOf(field)); }
  TMenuItem* Item(const std::string& field) const { return form->ViewColumnItem(field); }

};

TEST_F(Columns, DefaultsGiveEveryFieldItsWidthTheFixedColumnAndTheIndicator) {
  const std::pair<const char*, int> widths[] = {{"ReportNumber", 50}, {"Status", 106},  {"Description", 150},
                                                {"ReportedDate", 88}, {"Priority", 70}, {"FixedInVersion", 50}};
  for (const auto& [field, width] : widths) EXPECT_EQ(WidthOf(field), width) << field;
  EXPECT_EQ(Grid()->GetFieldCount(), 16);
  EXPECT_EQ(ColumnOf("ReportNumber"), 1);
  EXPECT_EQ(Grid()->FixedCols(), 1);
  EXPECT_TRUE(Grid()->Options().Contains(dgIndicator));
  EXPECT_TRUE(form->dbgBugIButton->Visible());
  EXPECT_TRUE(Item("RowIndicator")->Checked());
  EXPECT_TRUE(Item("VerifiedDate")->Checked());
  EXPECT_EQ(Grid()->RowHeightPercent(), 100);
  EXPECT_FALSE(Grid()->Options().Contains(dgWordWrap));
  EXPECT_EQ(form->dsetBug->FieldByName("FixedDate")->DisplayFormat(), "ddddd");
}

TEST_F(Columns, HidingReportNumberDropsTheFixedColumnAndShowingRestoresIt) {
  Item("ReportNumber")->Click();
  EXPECT_FALSE(form->dsetBug->FieldByName("ReportNumber")->Visible());
  EXPECT_EQ(Grid()->FixedCols(), 0);
  EXPECT_EQ(ColumnOf("ReportNumber"), -1);
  EXPECT_FALSE(scratch.Settings()->ReadBool("Column Visible", "ReportNumber", true));
  EXPECT_EQ(WidthOf("Status"), 106);
  Item("ReportNumber")->Click();
  EXPECT_EQ(Grid()->FixedCols(), 1);
  EXPECT_EQ(WidthOf("ReportNumber"), 50);
  EXPECT_TRUE(scratch.Settings()->ReadBool("Column Visible", "ReportNumber", false));
}

TEST_F(Columns, TheIndicatorShiftsColumnsButWidthsStayWithTheirFields) {
  Grid()->SetColWidths(ColumnOf("Status"), 123);
  const int before = ColumnOf("Status");
  Item("RowIndicator")->Click();
  EXPECT_FALSE(Grid()->Options().Contains(dgIndicator));
  EXPECT_FALSE(form->dbgBugIButton->Visible());
  EXPECT_EQ(ColumnOf("Status"), before - 1);
  EXPECT_EQ(WidthOf("Status"), 123);
  EXPECT_EQ(WidthOf("Identifier"), 50);
  auto reg = scratch.Settings();
  EXPECT_EQ(reg->ReadInteger("Column Positions", "Status", 0), 123);
  EXPECT_FALSE(reg->ReadBool("Column Visible", "ShowRowIndicator", true));
  Item("RowIndicator")->Click();
  EXPECT_EQ(ColumnOf("Status"), before);
  EXPECT_EQ(WidthOf("Status"), 123);
}

TEST_F(Columns, ThePopupFollowsTheEditButtonsAndTheColumnMode) {
  form->tbCut->SetEnabled(false);
  form->tbPaste->SetEnabled(true);
  form->popGridPopup(form->popGrid);
  EXPECT_FALSE(form->popGrid_Cut->Enabled());
  EXPECT_TRUE(form->popGrid_Paste->Enabled());
  EXPECT_TRUE(form->popGrid_ColumnMode_Sort->Checked());
  form->popGrid_ColumnMode_ChangeOrder->Click();
  EXPECT_FALSE(Grid()->TitleButtons());
  form->popGrid_ColumnMode_Sort->Click();
  EXPECT_TRUE(Grid()->TitleButtons());
}

// Paste in the text columns is live exactly when the clipboard holds text,
// whoever put it there; other columns never paste.
TEST_F(Columns, PasteFollowsTheClipboardInTheTextColumns) {
  Grid()->SetFocus();
  const auto enter = [&](const std::string& field) {
    Grid()->SelectDataColumn(apptest::GridDataColumn(form, field));
    Pump();
  };
  const auto pasteState = [&] {
    form->popGridPopup(form->popGrid);
    return std::vector<bool>{form->tbPaste->Enabled(), form->mnuMain_Edit_Paste->Enabled(),
                             form->popGrid_Paste->Enabled()};
  };
  const std::vector<bool> on{true, true, true}, off{false, false, false};
  Clipboard()->SetAsText("copied elsewhere");
  enter("Description");
  EXPECT_EQ(pasteState(), on);
  enter("Status");
  EXPECT_EQ(pasteState(), off) << "a code column never pastes";
  Clipboard()->Clear();
  enter("Version");
  EXPECT_EQ(pasteState(), off);
  Clipboard()->SetAsText("again");
  enter("Description");
  EXPECT_EQ(pasteState(), on);
  // Pasting puts the text into the field.
  form->popGrid_Paste->Click();
  Pump();
  EXPECT_EQ(form->dsetBug->FieldByName("Description")->AsString(), "again");
  form->dsetBug->Cancel();
}

TEST_F(Columns, FixedItemsKeepTheirFieldOnTheFeatureTab) {
  form->ReportType = "FeatureRequest";
  form->popGridPopup(form->popGrid);
  EXPECT_EQ(Item("FixedBy")->Caption(), "Implemented By");
  EXPECT_EQ(Item("FixedInVersion")->Caption(), "Implemented In Version");
  Item("FixedBy")->Click();
  EXPECT_FALSE(form->dsetBug->FieldByName("FixedBy")->Visible());
  EXPECT_EQ(ColumnOf("FixedBy"), -1);
  form->ReportType = "BugReport";
  form->popGridPopup(form->popGrid);
  EXPECT_EQ(Item("FixedDate")->Caption(), "FixedDate");
  Item("FixedBy")->Click();
  EXPECT_TRUE(form->dsetBug->FieldByName("FixedBy")->Visible());
}

// Description's right title line dragged 80 pixels with the mouse: the width
// is stored when the program closes and comes back after a restart.
TEST_F(Columns, AWidthDraggedWiderIsKeptAfterARestart) {
  Grid()->SetLeftCol(ColumnOf("Description"));  // scrolled into view
  Pump();
  const int line = Grid()->CellRect(ColumnOf("Description"), 0).Right;
  const int y = Grid()->CellRect(ColumnOf("Description"), 0).Top + 5;
  QWidget* cells = testing_support::ClientOf(Grid());
  QTest::mousePress(cells, Qt::LeftButton, Qt::NoModifier, QPoint(line, y));
  QTest::mouseMove(cells, QPoint(line + 80, y));
  QTest::mouseRelease(cells, Qt::LeftButton, Qt::NoModifier, QPoint(line + 80, y));
  Pump();
  const int dragged = WidthOf("Description");
  ASSERT_GT(dragged, 200);
  Stop();
  EXPECT_EQ(scratch.Settings()->ReadInteger("Column Positions", "Description", 0), dragged);
  Start();
  EXPECT_EQ(WidthOf("Description"), dragged);
  EXPECT_EQ(WidthOf("Status"), 106);
}

TEST_F(Columns, OrderRoundTripsAndBadPositionsLeaveAFullPermutation) {
  TDataSet* data = form->dsetBug;
  data->FieldByName("Description")->SetIndex(1);
  form->SaveColumnOrder();
  EXPECT_EQ(scratch.Settings()->ReadInteger("Column Order", "Description", -1), 1);
  EXPECT_EQ(scratch.Settings()->ReadInteger("Column Order", "Identifier", -1), 2);

  data->FieldByName("Description")->SetIndex(5);
  form->LoadColumnOrder();
  EXPECT_EQ(data->FieldByName("Description")->Index(), 1);

  auto reg = scratch.Settings();
  reg->WriteInteger("Column Order", "Status", 1);       // the same position as Description
  reg->WriteInteger("Column Order", "Area", 99);        // beyond the last field
  reg->WriteInteger("Column Order", "Version", -3);
  reg->WriteString("Column Order", "Severity", "x");
  reg.reset();
  form->LoadColumnOrder();
  std::set<std::string> names;
  for (int i = 0; i < data->FieldCount(); ++i) names.insert(data->Fields()[i]->FieldName());
  EXPECT_EQ(int(names.size()), data->FieldCount());
  EXPECT_EQ(Grid()->GetFieldCount(), 16);
}

// Status and priority cells show their combos' texts for the stored codes, on
// both tabs: the drawn text ends where the text's width says (a code such as
// "1" ends far left of "Very high").
TEST_F(Columns, CodeCellsShowTheTextsOfTheirCombos) {
  const char* status[] = {"", "New", "In process", "Fixed/Implemented", "Verified", "Delegated",
                          "Deferred", "No longer relevant", "Will not be fixed/implemented", "Could not duplicate"};
  const char* priority[] = {"", "Very high", "High", "Normal", "Low", "Very low"};
  Grid()->Canvas()->Font()->Assign(Grid()->Font());
  auto inkEnd = [&](const QImage& image, const TRect& r) {
    int end = -1;
    for (int y = r.Top + 1; y < r.Bottom - 1; ++y)
      for (int x = r.Left; x < r.Right - 1; ++x)
        if (qGray(image.pixel(x, y)) < 128) end = std::max(end, x);
    return end - r.Left;
  };
  for (int tab : {0, 1}) {
    form->tcType->SetTabIndex(tab);
    Pump();
    const QImage image = testing_support::ClientOf(Grid())->grab().toImage();
    // The first row is the current one; the next ones are drawn as any row is.
    form->dsetBug->First();
    for (int row = 2; row <= 6; ++row) {
      form->dsetBug->Next();
      for (const auto& [field, texts] : {std::pair{"Status", status}, std::pair{"Priority", priority}}) {
        const std::string text = texts[form->dsetBug->FieldByName(field)->AsInteger()];
        const TRect cell = Grid()->CellRect(ColumnOf(field), row);
        SCOPED_TRACE(std::to_string(tab) + " " + field + " " + text);
        EXPECT_NEAR(inkEnd(image, cell), 3 + Grid()->Canvas()->TextWidth(text), 2);
      }
    }
  }
}

// The mouse wheel over the entry grid moves through the entries, three rows a
// notch as the desktop scrolls lines, a finer wheel's small steps adding up;
// rows out of sight come into view, and the ends stop it.
TEST_F(Columns, TheMouseWheelScrollsTheEntries) {
  TDataSet* bugs = form->dsetBug;
  TwwDBGrid* grid = Grid();
  QWidget* cells = testing_support::ClientOf(grid);
  const int rows = grid->VisibleDataRows();
  ASSERT_LT(rows, 30);
  auto wheel = [&](int delta) {
    const QPoint at(cells->width() / 2, cells->height() / 2);
    QWheelEvent e(at, cells->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(cells, &e);
    Pump();
  };
  // The entries in the grid's order: a record's number is its place there.
  std::vector<std::int64_t> order;
  for (bugs->First(); !bugs->Eof(); bugs->Next()) order.push_back(bugs->FieldByName("ReportNumber")->AsInteger());
  auto number = [&] {
    const auto at = std::find(order.begin(), order.end(), bugs->FieldByName("ReportNumber")->AsInteger());
    return int(at - order.begin()) + 1;
  };
  auto top = [&] { return apptest::ShownPlace(form).top; };
  bugs->First();
  const auto firstTop = top();
  const struct Step {
    int delta;
    int record;  // the current record's number after it
  } steps[] = {{-120, 4}, {-60, 5}, {-60, 7}, {-40, 8}, {120, 5}, {240, 1}, {360, 1}};
  for (const Step& s : steps) {
    wheel(s.delta);
    EXPECT_EQ(number(), s.record) << "after " << s.delta;
  }
  // Down past the rows shown: the entries scroll into view.
  for (int i = 0; i < 10; ++i) wheel(-120);
  EXPECT_EQ(number(), 31);
  EXPECT_NE(top(), firstTop);
  EXPECT_EQ(apptest::ShownPlace(form).row, rows - 1);
  for (int i = 0; i < 20; ++i) wheel(-120);
  EXPECT_EQ(number(), int(order.size()));
  EXPECT_EQ(bugs->State(), dsBrowse);
}

class BadSettings : public Columns {
  void PrepareSettings(TRegIniFile& reg) override {
    reg.WriteInteger("Column Positions", "Status", 0);
    reg.WriteInteger("Column Positions", "Priority", -40);
    reg.WriteInteger("Column Positions", "Description", 1000000);
    reg.WriteString("Column Positions", "Area", "wide");
    reg.WriteString("Column Visible", "ShowRowIndicator", "maybe");
    reg.WriteInteger("Settings", "Cell Height", 500);
    reg.WriteInteger("Options", "DateTimeFormat", 1);
  }
};

TEST_F(BadSettings, OutOfRangeValuesGiveAUsableGrid) {
  EXPECT_EQ(WidthOf("Status"), 10);
  EXPECT_EQ(WidthOf("Priority"), 10);
  EXPECT_EQ(WidthOf("Description"), 2000);
  EXPECT_EQ(WidthOf("Area"), 50);
  EXPECT_TRUE(Grid()->Options().Contains(dgIndicator));
  EXPECT_EQ(Grid()->RowHeightPercent(), 500);
  EXPECT_TRUE(Grid()->Options().Contains(dgWordWrap));
  EXPECT_EQ(form->dsetBug->FieldByName("ReportedDate")->DisplayFormat(), "");
}

class SortColour : public Columns {
  void PrepareSettings(TRegIniFile& reg) override { reg.WriteInteger("Options", "SortFieldColor", 0x0000FF); }
};

TEST_F(SortColour, ATitleClickSortsWithinTheProgramAndColoursItsTitle) {
  const TRect title = Grid()->CellRect(ColumnOf("Priority"), 0);
  testing_support::Click(Grid(), (title.Left + title.Right) / 2, (title.Top + title.Bottom) / 2);
  Pump();
  EXPECT_EQ(form->dsetBug->IndexName(), "Priority");
  std::string last;
  int rows = 0;
  for (form->dsetBug->First(); !form->dsetBug->Eof(); form->dsetBug->Next(), ++rows) {
    const std::string priority = form->dsetBug->FieldByName("Priority")->AsString();
    EXPECT_LE(last, priority);
    EXPECT_EQ(form->dsetBug->FieldByName("ProgramNumber")->AsInteger(), 1);
    last = priority;
  }
  EXPECT_EQ(rows, 45);

  Pump();
  const QImage image = testing_support::ClientOf(Grid())->grab().toImage();
  auto at = [&](const std::string& field) {
    const TRect r = Grid()->CellRect(ColumnOf(field), 0);
    return image.pixel(r.Left + 3, r.Bottom - 3);
  };
  EXPECT_EQ(at("Priority"), qRgb(0xFF, 0, 0));
  EXPECT_NE(at("Status"), qRgb(0xFF, 0, 0));
}

}  // namespace

namespace {

// Keys as the user types them, to the widget that has the keyboard.
void KeyTo(TWinControl* c, Qt::Key key, Qt::KeyboardModifiers m = Qt::NoModifier) {
  QWidget* w = testing_support::ClientOf(c);
  QTest::keyClick(w->focusProxy() ? w->focusProxy() : w, key, m);
  Pump();
}

}  // namespace

TEST_F(Columns, TheStatusComboMovesInTheGridLikeAPlainCell) {
  const int status = ColumnOf("Status");
  ASSERT_GE(status, 0);
  TDataSet* bugs = form->dsetBug;
  auto report = [&] { return bugs->FieldByName("ReportNumber")->AsString(); };
  bugs->First();
  const std::string first = report();
  bugs->Next();
  const std::string second = report();
  ASSERT_NE(first, second);
  // On the first row's Status cell, typing a letter into its combo.
  auto typeInStatus = [&](Qt::Key letter) {
    bugs->First();
    Grid()->SetCol(status);
    Grid()->SetFocus();
    Pump();
    KeyTo(Grid(), Qt::Key_F2);
    ASSERT_TRUE(form->cmbStatus->Focused());
    KeyTo(form->cmbStatus, letter);
  };
  // Where the grid's own Tab goes from the Status cell.
  bugs->First();
  Grid()->SetCol(status);
  Grid()->SetFocus();
  Pump();
  KeyTo(Grid(), Qt::Key_Tab);
  const int next = Grid()->Col();
  ASSERT_NE(next, status);
  // Tab: the grid's next column, not the next control of the window.
  typeInStatus(Qt::Key_V);
  ASSERT_EQ(form->cmbStatus->EditText(), "Verified");
  KeyTo(form->cmbStatus, Qt::Key_Tab);
  EXPECT_TRUE(Grid()->Focused());
  EXPECT_EQ(Grid()->Col(), next);
  EXPECT_EQ(report(), first);
  EXPECT_EQ(bugs->FieldByName("Status")->AsInteger(), 4);
  // Down with the list closed: the next row, the typed value kept on the first.
  typeInStatus(Qt::Key_N);
  ASSERT_EQ(form->cmbStatus->EditText(), "No longer relevant");
  KeyTo(form->cmbStatus, Qt::Key_Down);
  EXPECT_TRUE(Grid()->Focused());
  EXPECT_EQ(report(), second);
  bugs->First();
  EXPECT_EQ(bugs->FieldByName("Status")->AsInteger(), 7);
}

namespace {

// Each character as a key to whichever widget has the keyboard at that moment.
void TypeToFocus(const std::string& text) {
  for (char c : text) {
    QTest::keyClick(QApplication::focusWidget(), c);
    Pump();
  }
}

// One field of one entry as another connection reads it.
std::string StoredOf(const std::string& database, const std::string& report, const char* field) {
  const auto reports = apptest::StoredEntries(database, "ReportNumber");
  const auto values = apptest::StoredEntries(database, field);
  for (size_t i = 0; i < reports.size(); ++i)
    if (reports[i] == report) return values[i];
  return "<no entry " + report + ">";
}

}  // namespace

// Typing on a code cell picks the item whose words begin with what was typed,
// without F2 first; the search starts at the current item, so on a Low entry
// "v" is "Very low". Letters that no item begins with change nothing.
TEST_F(Columns, TypingOnACodeCellPicksTheMatchingItemAndMovingStoresIt) {
  struct Case {
    const char* field;
    TwwDBComboBox* combo;
    const char* typed;        // typed with the grid on the cell
    const char* shown;        // the combo's text then
    const char* more;         // typed on into the combo
    const char* finalText;
    const char* stored;       // the code written when the grid moves on
  };
  const Case cases[] = {
      {"Status", form->cmbStatus, "d", "Delegated", "efx", "Deferred", "6"},
      {"Status", form->cmbStatus, "c", "Could not duplicate", "q", "Could not duplicate", "9"},
      {"Priority", form->cmbPriority, "l", "Low", "z", "Low", "4"},
      {"Priority", form->cmbPriority, "v", "Very low", "ery h", "Very high", "1"},
  };
  TDataSet* bugs = form->dsetBug;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " " + c.typed + c.more);
    bugs->First();
    const std::string report = bugs->FieldByName("ReportNumber")->AsString();
    Grid()->SetCol(ColumnOf(c.field));
    Grid()->SetFocus();
    Pump();
    ASSERT_TRUE(Grid()->Focused());
    TypeToFocus(c.typed);
    EXPECT_TRUE(c.combo->Focused());
    EXPECT_EQ(c.combo->EditText(), c.shown);
    TypeToFocus(c.more);
    EXPECT_EQ(c.combo->EditText(), c.finalText);
    // Down hands the row move to the grid, which posts the entry first.
    KeyTo(c.combo, Qt::Key_Down);
    EXPECT_TRUE(Grid()->Focused());
    EXPECT_NE(bugs->FieldByName("ReportNumber")->AsString(), report);
    EXPECT_EQ(StoredOf(scratch.Database(), report, c.field), c.stored);
  }
}

// The code combos hold an item or nothing: Delete and Backspace, with the list
// open or closed, and a cut that leaves words of no item never change the
// stored code, in the grid as in the database.
TEST_F(Columns, EditingKeysOnACodeCellNeverLoseTheStoredCode) {
  struct Case {
    const char* field;
    TwwDBComboBox* combo;
    bool open;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
  };
  const Case cases[] = {
      {"Status", form->cmbStatus, true, Qt::Key_Delete, Qt::NoModifier},
      {"Status", form->cmbStatus, true, Qt::Key_Backspace, Qt::NoModifier},
      {"Status", form->cmbStatus, false, Qt::Key_Backspace, Qt::NoModifier},
      {"Status", form->cmbStatus, false, Qt::Key_X, Qt::ControlModifier},
      {"Priority", form->cmbPriority, true, Qt::Key_Delete, Qt::NoModifier},
      {"Priority", form->cmbPriority, false, Qt::Key_X, Qt::ControlModifier},
  };
  TDataSet* bugs = form->dsetBug;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + (c.open ? " open " : " closed ") + std::to_string(c.key));
    bugs->First();
    const std::string report = bugs->FieldByName("ReportNumber")->AsString();
    const std::string stored = StoredOf(scratch.Database(), report, c.field);
    ASSERT_FALSE(stored.empty());
    Grid()->SetCol(ColumnOf(c.field));
    Grid()->SetFocus();
    Pump();
    KeyTo(Grid(), Qt::Key_F2);
    ASSERT_TRUE(c.combo->Focused());
    const std::string shown = c.combo->EditText();
    ASSERT_FALSE(shown.empty());
    if (c.open) KeyTo(c.combo, Qt::Key_Down, Qt::AltModifier);
    ASSERT_EQ(c.combo->IsDroppedDown(), c.open);
    bugs->Edit();  // going into edit reshows the text, which drops a selection
    c.combo->SetSelStart(2);
    c.combo->SetSelLength(c.open ? 0 : 1);
    KeyTo(c.combo, c.key, c.modifiers);
    if (c.open) {
      EXPECT_EQ(c.combo->EditText(), shown);
      KeyTo(c.combo, Qt::Key_Return);
    }
    KeyTo(c.combo, Qt::Key_Down);  // the grid posts the entry and moves on
    EXPECT_TRUE(Grid()->Focused());
    EXPECT_EQ(StoredOf(scratch.Database(), report, c.field), stored);
    bugs->First();
    EXPECT_EQ(bugs->FieldByName(c.field)->AsString(), stored);
  }
}

namespace {

// A new database: no entry yet; the first one is added through the new-entry
// dialog, typed as the user types it.
class FreshColumns : public apptest::MainWindowTest {
 protected:
  TModalResult Answer(TDialogRequest& r) override {
    if (r.Dialog != frmEnterNewRecord) return MainWindowTest::Answer(r);
    frmEnterNewRecord->dbeDescription->SetFocus();
    Pump();
    QTest::keyClicks(QApplication::focusWidget(), "First entry");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    return mrNone;
  }
  void TearDown() override {
    MainWindowTest::TearDown();
    delete frmEnterNewRecord;
    frmEnterNewRecord = nullptr;
  }
  void ClickButton(TControl* button) {
    const TRect b = button->BoundsRect();
    testing_support::Click(button->Parent(), (b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2);
    Pump();
  }
  // Every column's width as the grid shows it, by field.
  std::map<std::string, int> Shown() const {
    std::map<std::string, int> widths;
    for (int i = 0; i < form->dbgBug->GetFieldCount(); ++i)
      widths[form->dbgBug->GetField(i)->FieldName()] = form->dbgBug->GetColWidth(form->GridColumnOf(i));
    return widths;
  }
  // The stored width of each of `fields`.
  std::map<std::string, int> Stored(const std::map<std::string, int>& fields) const {
    std::map<std::string, int> widths;
    auto reg = scratch.Settings();
    for (const auto& [field, width] : fields) widths[field] = reg->ReadInteger("Column Positions", field, -1);
    return widths;
  }
  // Drags the right edge of a column's title by `by` pixels.
  void DragWider(const std::string& field, int by) {
    TwwDBGrid* grid = form->dbgBug;
    const int col = form->GridColumnOf(apptest::GridDataColumn(form, field));
    grid->SetLeftCol(col);
    Pump();
    const TRect title = grid->CellRect(col, 0);
    QWidget* cells = testing_support::ClientOf(grid);
    const QPoint from(title.Right, title.Top + 5), to(title.Right + by, title.Top + 5);
    QTest::mousePress(cells, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(cells, to);
    QTest::mouseRelease(cells, Qt::LeftButton, Qt::NoModifier, to);
    Pump();
  }
};

// Widths change only when the user drags them: not when the first entry is
// saved, nor when the grid empties under a quick filter and fills again, nor
// when the program starts again; what is stored is what was shown.
TEST_F(FreshColumns, WidthsStayAsShownThroughTheFirstEntryAnEmptyGridAndARestart) {
  std::map<std::string, int> shown = Shown();
  const std::pair<const char*, int> defaults[] = {
      {"Description", 150}, {"ReportedDate", 88}, {"FixedDate", 88}, {"VerifiedDate", 88}, {"Status", 106}};
  for (const auto& [field, width] : defaults) EXPECT_EQ(shown[field], width) << field;
  frmEnterNewRecord = new TfrmEnterNewRecord(Application);
  ClickButton(form->tbAddBugReport);
  ASSERT_EQ(apptest::StoredEntries(scratch.Database()), std::vector<std::string>{"1:First entry"});
  EXPECT_EQ(Shown(), shown) << "after the first entry";

  DragWider("Identifier", 40);
  ASSERT_EQ(Shown()["Identifier"], 90);
  shown = Shown();
  // Hiding new entries empties the grid; showing them brings the entry back.
  for (int i = 0; i < 2; ++i) {
    ClickButton(form->tbStatusFilter_NewReport);
    EXPECT_EQ(form->dsetBug->IsEmpty(), i == 0);
    EXPECT_EQ(Shown(), shown) << "filter click " << i;
  }

  Stop();
  EXPECT_EQ(Stored(shown), shown) << "stored as shown";
  Start();
  EXPECT_EQ(Shown(), shown) << "after a restart";
}

}  // namespace
