// The button edit and the map-list combo: the drop-down protocol by keys and
// mouse, the pop-up list that never takes the focus, map lookups, matching,
// Escape and write-back.

#include <gtest/gtest.h>

#include <QPlainTextEdit>

#include <functional>

#include "datactrls/edits/edits_fixture.h"
#include "datactrls/edits/wwdbcomb.h"
#include "datactrls/wwdbgrid.h"
#include "platform/classlib/controls/clipboard.h"
#include "platform/classlib/core/filer.h"

using namespace testing_support;

namespace {

const char* const kStatus[] = {"New\t1",      "In process\t2", "Fixed/Implemented\t3",
                               "Verified\t4", "Delegated\t5",  "Deferred\t6",
                               "No longer relevant\t7", "Will not be fixed/implemented\t8",
                               "Could not duplicate\t9"};

class ComboTest : public EditsFixture {
 protected:
  TwwDBComboBox* StatusCombo(bool matchText = true) {
    auto* c = PlaceUnbound<TwwDBComboBox>(0);
    for (const char* item : kStatus) c->Items()->Add(item);
    c->SetMapList(true);
    c->SetStyle(csDropDownList);
    c->SetShowMatchText(matchText);
    c->SetDropDownCount(10);
    c->SetDataSource(source.get());
    c->SetDataField("Status");
    return c;
  }
};

}  // namespace

TEST(wwDropDownPosition, BelowAboveAndRightAligned) {
  const TRect screen{0, 0, 800, 600};
  struct Case { TRect control; TSize size; TPoint expected; };
  const Case cases[] = {
      {{100, 100, 250, 121}, {150, 100}, {100, 121}},  // room below
      {{100, 550, 250, 571}, {150, 100}, {100, 450}},  // would pass the bottom: above
      {{700, 100, 790, 121}, {150, 100}, {640, 121}},  // would pass the right edge
      {{700, 550, 790, 571}, {150, 100}, {640, 450}},
  };
  for (const Case& c : cases) {
    const TPoint at = wwDropDownPosition(c.control, c.size, screen);
    EXPECT_EQ(at.x, c.expected.x);
    EXPECT_EQ(at.y, c.expected.y);
  }
}

TEST_F(ComboTest, MapListShowsWordsAndStoresNumbers) {
  auto* c = StatusCombo();
  EXPECT_EQ(c->EditText(), "Fixed/Implemented");
  EXPECT_EQ(c->ItemIndex(), 2);
  ds->Next();  // "42" is no item's value
  EXPECT_EQ(c->EditText(), "");
  EXPECT_EQ(c->ItemIndex(), -1);
  // Missing TABs and duplicates: the first hit wins, a missing value is empty.
  c->Items()->Clear();
  for (const char* item : {"Alpha", "Beta\t2", "Beta\t3", "Gamma\t2"}) c->Items()->Add(item);
  EXPECT_EQ(c->StoredToDisplay("2"), "Beta");
  EXPECT_EQ(c->DisplayToStored("Beta"), "2");
  EXPECT_EQ(c->DisplayToStored("Alpha"), "");
  EXPECT_EQ(c->StoredToDisplay("9"), "");
}

TEST_F(ComboTest, ChoosingByKeysWritesTheStoredValue) {
  auto* c = StatusCombo(false);
  c->SetFocus();
  Key(c, Qt::Key_Down, Qt::AltModifier);
  ASSERT_TRUE(c->IsDroppedDown());
  EXPECT_EQ(c->PopupList()->ItemIndex(), 2);
  for (int i = 0; i < 3; ++i) Key(c, Qt::Key_Down);
  EXPECT_EQ(c->EditText(), "Fixed/Implemented");  // the list moves, not the text
  Key(c, Qt::Key_Return);
  EXPECT_FALSE(c->IsDroppedDown());
  EXPECT_EQ(c->EditText(), "Deferred");
  ds->Post();
  EXPECT_EQ(ds->FieldByName("Status")->AsString(), "6");
  // Closed: Up and Down step through the items; a letter finds the next item.
  Key(c, Qt::Key_Up);
  EXPECT_EQ(c->EditText(), "Delegated");
  Key(c, Qt::Key_N);
  EXPECT_EQ(c->EditText(), "No longer relevant");
  // Escape while down closes without taking; Escape then resets the edit.
  Key(c, Qt::Key_Down, Qt::AltModifier);
  Key(c, Qt::Key_Down);
  Key(c, Qt::Key_Escape);
  EXPECT_FALSE(c->IsDroppedDown());
  EXPECT_EQ(c->EditText(), "No longer relevant");
  Key(c, Qt::Key_Escape);
  EXPECT_EQ(c->EditText(), "Deferred");
}

TEST_F(ComboTest, ChoosingByMouseLeavesTheFocusInTheCombo) {
  auto* c = StatusCombo(false);
  c->SetFocus();
  ClickButton(c);
  ASSERT_TRUE(c->IsDroppedDown());
  TwwPopupListbox* list = c->PopupList();
  EXPECT_TRUE(list->Visible());
  EXPECT_EQ(list->Height(), 9 * list->ItemHeight() + 4);
  const TRect item = list->ItemRect(3);
  Click(list, item.Left + 5, item.Top + 2);
  Pump();
  EXPECT_FALSE(c->IsDroppedDown());
  EXPECT_FALSE(list->Visible());
  EXPECT_EQ(c->EditText(), "Verified");
  EXPECT_EQ(form->ActiveControl(), c);
  EXPECT_TRUE(c->Focused());
  // Leaving the combo writes the value back.
  Leave();
  EXPECT_EQ(ds->FieldByName("Status")->AsString(), "4");
}

TEST_F(ComboTest, MatchTextFindsFromTheCurrentItemOn) {
  auto* c = StatusCombo();
  c->SetFocus();
  c->SelectAll();
  struct Step { Qt::Key key; const char* text; int selStart; };
  const Step steps[] = {{Qt::Key_D, "Delegated", 1}, {Qt::Key_E, "Delegated", 2}, {Qt::Key_F, "Deferred", 3}};
  for (const Step& s : steps) {
    Key(c, s.key);
    EXPECT_EQ(c->EditText(), s.text);
    EXPECT_EQ(c->SelStart(), s.selStart);
  }
  EXPECT_EQ(c->SelLength(), int(std::string("Deferred").size()) - 3);
  Key(c, Qt::Key_Z);  // no match: dropped in a list style
  EXPECT_EQ(c->EditText(), "Deferred");
}

// The owner's OnKeyPress has every key once, before the combo acts on it:
// before a typed letter finds its item, and before a map list drops Enter. A
// key it swallows finds nothing; one it changes is the one matched.
TEST_F(ComboTest, OnKeyPressHasEachKeyOnceBeforeTheComboActs) {
  const struct {
    Qt::Key key;
    char32_t swallow, from, to;  // the handler swallows `swallow`, turns `from` into `to`
    const char* after;
  } cases[] = {
      {Qt::Key_D, 0, 0, 0, "Delegated"},
      {Qt::Key_D, U'd', 0, 0, "Fixed/Implemented"},
      {Qt::Key_X, 0, U'x', U'd', "Delegated"},
      {Qt::Key_Return, 0, 0, 0, "Fixed/Implemented"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.key) + " " + c.after);
    auto* combo = StatusCombo();
    combo->SetFocus();
    combo->SelectAll();
    std::vector<std::string> seen;  // the text when the handler had the key
    combo->OnKeyPress = [&](TObject*, char32_t& key) {
      seen.push_back(combo->EditText());
      if (key == c.swallow) key = 0;
      if (key == c.from) key = c.to;
    };
    Key(combo, c.key);
    EXPECT_EQ(seen, std::vector<std::string>{"Fixed/Implemented"});
    EXPECT_EQ(combo->EditText(), c.after);
    if (ds->State() != dsBrowse) ds->Cancel();
    delete combo;
  }
}

TEST_F(ComboTest, ListHeightFollowsDropDownCount) {
  auto* c = PlaceUnbound<TwwDBComboBox>();
  for (int i = 0; i < 12; ++i) c->Items()->Add("Item " + std::to_string(i));
  struct Case { int count; int rows; };
  for (const Case& k : {Case{8, 8}, Case{0, 1}, Case{20, 12}}) {
    c->SetDropDownCount(k.count);
    c->DropDown();
    EXPECT_EQ(c->PopupList()->Height(), k.rows * c->PopupList()->ItemHeight() + 4) << k.count;
    c->CloseUp(false);
  }
}

TEST_F(ComboTest, FormDefinitionsPlaceTheEditsCombosAndLocateDialog) {
  const std::string text =
      "object Form1: TForm\n"
      "  object Status: TwwDBComboBox\n"
      "    MapList = True\n"
      "    Style = csDropDownList\n"
      "    ShowMatchText = True\n"
      "    DropDownCount = 10\n"
      "    Items.Strings = (\n"
      "      'New'#9'1'\n"
      "      'In process'#9'2')\n"
      "  end\n"
      "  object Born: TwwDBComboDlg\n"
      "    ButtonStyle = cbsDownArrow\n"
      "  end\n"
      "  object Code: TwwDBEdit\n"
      "    Picture.PictureMask = '##-##'\n"
      "    UnboundDataType = wwEdtDate\n"
      "  end\n"
      "end\n";
  TForm read(nullptr);
  ReadComponentFromText(text, &read);
  auto* status = dynamic_cast<TwwDBComboBox*>(read.FindComponent("Status"));
  auto* born = dynamic_cast<TwwDBComboDlg*>(read.FindComponent("Born"));
  auto* code = dynamic_cast<TwwDBEdit*>(read.FindComponent("Code"));
  ASSERT_TRUE(status && born && code);
  EXPECT_TRUE(status->MapList());
  EXPECT_EQ(status->Style(), csDropDownList);
  EXPECT_EQ(status->DropDownCount(), 10);
  EXPECT_EQ(status->StoredToDisplay("2"), "In process");
  EXPECT_EQ(born->ButtonStyle(), cbsDownArrow);
  EXPECT_EQ(code->Picture()->PictureMask(), "##-##");
  EXPECT_EQ(code->UnboundDataType(), wwEdtDate);
  // A bound edit's picture lives in the dataset, not in the form.
  code->SetDataSource(source.get());
  code->SetDataField("Code");
  EXPECT_EQ(WriteComponentToText(&read).find("PictureMask"), std::string::npos);
  code->SetDataSource(nullptr);
  EXPECT_NE(WriteComponentToText(&read).find("Picture.PictureMask = '##-##'"), std::string::npos);
}

TEST_F(ComboTest, ClearKeyEmptiesAndTypingDropsDownAndSearchesTheList) {
  auto* status = StatusCombo(false);
  status->SetAllowClearKey(true);
  status->SetFocus();
  Key(status, Qt::Key_Delete);
  EXPECT_EQ(status->EditText(), "");
  EXPECT_EQ(status->ItemIndex(), -1);
  EXPECT_EQ(ds->State(), dsEdit);
  ds->Post();
  EXPECT_EQ(ds->FieldByName("Status")->AsString(), "");

  auto* fruit = PlaceUnbound<TwwDBComboBox>();
  for (const char* item : {"Apple", "Banana", "Cherry"}) fruit->Items()->Add(item);
  fruit->SetAutoDropDown(true);
  fruit->SetFocus();
  Key(fruit, Qt::Key_B);
  ASSERT_TRUE(fruit->IsDroppedDown());
  EXPECT_EQ(fruit->EditText(), "b");
  EXPECT_EQ(fruit->PopupList()->ItemIndex(), 1);
  Key(fruit, Qt::Key_X);  // "bx": no entry, no selection
  EXPECT_EQ(fruit->PopupList()->ItemIndex(), -1);
  Key(fruit, Qt::Key_Backspace);
  Key(fruit, Qt::Key_Down);
  Key(fruit, Qt::Key_Return);
  EXPECT_FALSE(fruit->IsDroppedDown());
  EXPECT_EQ(fruit->EditText(), "Apple");
  EXPECT_TRUE(fruit->Focused());
}

TEST_F(ComboTest, OwnerDrawnStylesDrawTheFaceAndTheListThroughTheEvent) {
  auto* c = PlaceUnbound<TwwDBComboBox>();
  c->Items()->Add("Red");
  c->Items()->Add("Green");
  c->SetStyle(csOwnerDrawFixed);
  c->SetItemHeight(16);
  std::vector<TWinControl*> drawnOn;
  c->OnDrawItem = [&](TWinControl* control, int index, const TRect& rect, TOwnerDrawState) {
    drawnOn.push_back(control);
    TCanvas* canvas = control == c ? c->Canvas() : static_cast<TCustomListBox*>(control)->Canvas();
    canvas->Brush()->SetColor(index == 0 ? clRed : clLime);
    canvas->FillRect(rect);
  };
  c->SelectItem(0);
  Type(c, "g");  // not an edit style: no typing
  EXPECT_EQ(c->EditText(), "Red");
  auto face = Snapshot(c);
  EXPECT_EQ(face->Canvas()->Pixels(8, 8), clRed);
  ASSERT_FALSE(drawnOn.empty());
  EXPECT_EQ(drawnOn.back(), c);
  c->DropDown();
  auto list = Snapshot(c->PopupList());
  const TRect second = c->PopupList()->ItemRect(1);
  EXPECT_EQ(list->Canvas()->Pixels(second.Left + 4, second.Top + 4), clLime);
  EXPECT_EQ(drawnOn.back(), c->PopupList());
  c->CloseUp(false);
}

// Without a map, the edit styles store free text as typed; a list style stores
// only an item's text, and a pasted one that is none leaves the field as it was.
TEST_F(ComboTest, FreeTextIsStoredOnlyByEditStylesWithoutAMap) {
  struct Case { TComboBoxStyle style; const char* stored; };
  const Case cases[] = {{csDropDown, "Zed"}, {csSimple, "Zed"}, {csDropDownList, "Ann"}};
  for (const Case& k : cases) {
    SCOPED_TRACE(int(k.style));
    ds->First();
    auto* c = PlaceEdit<TwwDBComboBox>("Name", 30);
    for (const char* item : {"Ann", "Bo"}) c->Items()->Add(item);
    c->SetStyle(k.style);
    c->SetShowMatchText(true);
    c->SetFocus();
    ds->Edit();  // going into edit reshows the text, which drops a selection
    c->SelectAll();
    Clipboard()->SetAsText("Zed");
    Key(c, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(c->EditText(), "Zed");
    Leave();
    EXPECT_EQ(ds->FieldByName("Name")->AsString(), k.stored);
    ds->Cancel();
    delete c;
  }
}

// ---- In a grid cell ---------------------------------------------------------------

namespace {

// The status combo edits the Status column of a grid over the people; the
// edit below the grid is the next control in the tab order.
class GridStatusCombo : public ComboTest {
 protected:
  TwwDBComboBox* PlaceInGrid() {
    auto* c = StatusCombo();
    c->SetName("StatusCombo");
    grid = new TwwDBGrid(form.get());
    grid->SetBounds(0, 40, 290, 100);
    grid->SetParent(form.get());
    grid->SetDataSource(source.get());
    grid->SetControlType("Status", 3, "StatusCombo");
    grid->SetKeyOptions({dgEnterToTab});
    return c;
  }
  // Puts the current cell on Status of the given record and types a letter.
  void TypeInStatus(TwwDBComboBox* c, int recNo, Qt::Key letter) {
    ds->SetRecNo(recNo);
    grid->SelectDataColumn(4);
    grid->SetFocus();
    Pump();
    ASSERT_TRUE(c->Visible());
    Key(grid, letter);  // the grid hands the character to the combo
    Pump();
    ASSERT_TRUE(c->Focused());
  }
  std::string Column() const { return grid->GetSelectedField()->FieldName(); }
  TwwDBGrid* grid = nullptr;
};

}  // namespace

TEST_F(GridStatusCombo, TabAndEnterMoveToTheNextCellAsFromAPlainCell) {
  auto* c = PlaceInGrid();
  // Where the grid's own Tab goes from the Status cell.
  ds->First();
  grid->SelectDataColumn(4);
  grid->SetFocus();
  Pump();
  Key(grid, Qt::Key_Tab);
  const std::string plainColumn = Column();
  const int plainRecord = ds->RecNo();
  ASSERT_NE(plainColumn, "Status");
  for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Return}) {
    SCOPED_TRACE(key == Qt::Key_Tab ? "Tab" : "Enter");
    TypeInStatus(c, 1, Qt::Key_D);
    EXPECT_EQ(c->EditText(), "Delegated");
    Key(c, key);
    Pump();
    EXPECT_TRUE(grid->Focused());
    EXPECT_FALSE(other->Focused());
    EXPECT_EQ(Column(), plainColumn);
    EXPECT_EQ(ds->RecNo(), plainRecord);
    ds->SetRecNo(1);
    EXPECT_EQ(ds->FieldByName("Status")->AsString(), "5");  // written on the way out
  }
}

TEST_F(GridStatusCombo, UpAndDownWithTheListClosedMoveTheRow) {
  auto* c = PlaceInGrid();
  TypeInStatus(c, 1, Qt::Key_D);
  Key(c, Qt::Key_Down);
  Pump();
  EXPECT_TRUE(grid->Focused());
  EXPECT_EQ(ds->RecNo(), 2);
  EXPECT_EQ(Column(), "Status");
  TypeInStatus(c, 2, Qt::Key_N);
  Key(c, Qt::Key_Up);
  Pump();
  EXPECT_EQ(ds->RecNo(), 1);
  EXPECT_EQ(ds->FieldByName("Status")->AsString(), "5");
  ds->SetRecNo(2);
  EXPECT_EQ(ds->FieldByName("Status")->AsString(), "1");
  // Open, the list takes Down and the row stays; Alt+Down still drops it.
  TypeInStatus(c, 1, Qt::Key_D);
  Key(c, Qt::Key_Down, Qt::AltModifier);
  ASSERT_TRUE(c->IsDroppedDown());
  Key(c, Qt::Key_Down);
  Key(c, Qt::Key_Return);
  EXPECT_EQ(c->EditText(), "Deferred");
  EXPECT_EQ(ds->RecNo(), 1);
  EXPECT_TRUE(c->Focused());
}

// A list style holds an item or nothing: the clear keys never cut its text
// short, whether the list is open or closed and wherever the caret stands.
TEST_F(ComboTest, ClearKeysLeaveAListStyleItemWithoutTheClearKey) {
  auto* c = StatusCombo();
  c->SetFocus();
  struct Case { Qt::Key key; bool open; int caret; };
  const Case cases[] = {{Qt::Key_Delete, true, 4},    {Qt::Key_Backspace, true, 4},
                        {Qt::Key_Delete, false, 0},   {Qt::Key_Backspace, false, 17},
                        {Qt::Key_Backspace, true, 17}, {Qt::Key_Delete, true, 0}};
  for (const Case& k : cases) {
    SCOPED_TRACE(std::to_string(int(k.key)) + (k.open ? " open " : " closed ") + std::to_string(k.caret));
    if (k.open) Key(c, Qt::Key_Down, Qt::AltModifier);
    ASSERT_EQ(c->IsDroppedDown(), k.open);
    c->SetSelStart(k.caret);
    c->SetSelLength(0);
    Key(c, k.key);
    EXPECT_EQ(c->EditText(), "Fixed/Implemented");
    EXPECT_EQ(c->ItemIndex(), 2);
    if (k.open) Key(c, Qt::Key_Return);
    EXPECT_FALSE(c->IsDroppedDown());
  }
  Leave();
  EXPECT_EQ(ds->FieldByName("Status")->AsString(), "3");
  // With the clear key the value goes as a whole, open or closed.
  c->SetAllowClearKey(true);
  for (const bool open : {false, true}) {
    ds->Cancel();
    c->SetFocus();
    if (open) Key(c, Qt::Key_Down, Qt::AltModifier);
    c->SetSelStart(4);
    c->SetSelLength(0);
    Key(c, Qt::Key_Backspace);
    EXPECT_EQ(c->EditText(), "");
    EXPECT_EQ(c->ItemIndex(), -1);
    if (open) {
      EXPECT_EQ(c->PopupList()->ItemIndex(), -1);
    }
    Leave();
    EXPECT_EQ(ds->FieldByName("Status")->AsString(), "") << open;
  }
}

// Text that is no item's, however it got there, never empties the field: the
// field keeps its value and the combo shows it again.
TEST_F(ComboTest, TextThatIsNoItemKeepsTheStoredValue) {
  auto* c = StatusCombo();
  c->SetFocus();
  // Written while still in the combo, then by leaving it.
  const std::function<void()> writes[] = {[&] { ds->Post(); }, [&] { Leave(); }};
  for (const auto& write : writes) {
    c->SetFocus();
    ds->Edit();  // going into edit reshows the text, which drops a selection
    c->SetSelStart(4);
    c->SetSelLength(13);
    Key(c, Qt::Key_X, Qt::ControlModifier);  // cut: "Fixe" is left
    ASSERT_EQ(c->EditText(), "Fixe");
    ASSERT_TRUE(c->Modified());
    write();
    EXPECT_EQ(ds->FieldByName("Status")->AsString(), "3");
  }
  EXPECT_EQ(c->EditText(), "Fixed/Implemented");
  // An edit style with a map: free text is no value either.
  c->SetStyle(csDropDown);
  c->SetFocus();
  c->SelectAll();
  Type(c, "Later");
  ASSERT_EQ(c->EditText(), "Later");
  Leave();
  EXPECT_EQ(ds->FieldByName("Status")->AsString(), "3");
  EXPECT_EQ(c->EditText(), "Fixed/Implemented");
  // A stored value without an item stays as it is when another field changes.
  c->SetStyle(csDropDownList);
  ds->Next();
  c->SetFocus();
  Key(c, Qt::Key_Delete);
  EXPECT_EQ(ds->State(), dsBrowse);
  ds->Edit();
  ds->FieldByName("Count")->SetAsInteger(5);
  ds->Post();
  EXPECT_EQ(ds->FieldByName("Status")->AsString(), "42");
}

namespace {

// The first and last rows, relative to the rectangle's top, holding a dark
// pixel; {-1, -1} without one.
std::pair<int, int> DarkRows(const QImage& image, const TRect& r) {
  std::pair<int, int> rows{-1, -1};
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x)
      if (qGray(image.pixel(x, y)) < 128) {
        if (rows.first < 0) rows.first = y - r.Top;
        rows.second = y - r.Top;
        break;
      }
  return rows;
}

}  // namespace

// Open in its cell, the combo shows its text on the rows where the grid draws
// it, inside the cell: not lower, not cut off at the cell's bottom, not
// scrolled away when the caret moves.
TEST_F(GridStatusCombo, TheOpenComboShowsItsTextWhereTheCellDoes) {
  auto* c = PlaceInGrid();
  grid->SetDefaultRowHeight(15);  // as tight as the main window's rows
  ds->First();
  grid->SelectDataColumn(4);
  const int status = grid->Col();
  // Every column and the whole text in view, so nothing scrolls.
  form->SetWidth(900);
  grid->SetWidth(880);
  grid->SetColWidths(status, 150);
  grid->SelectDataColumn(1);  // the grid draws the Status cell itself
  grid->SetFocus();
  auto grab = [&] {
    Pump();
    return ClientOf(grid)->grab().toImage();
  };
  // The first letter's columns only: the caret stands after the text.
  const TRect cell = grid->CellRect(status, grid->Row());
  const TRect firstLetter{cell.Left, cell.Top, cell.Left + 8, cell.Bottom - 1};
  const auto plain = DarkRows(grab(), firstLetter);
  ASSERT_GE(plain.first, 0);
  grid->SelectDataColumn(4);
  Pump();
  ASSERT_TRUE(c->Visible());
  c->SetFocus();
  Key(c, Qt::Key_Down, Qt::AltModifier);
  ASSERT_TRUE(c->IsDroppedDown());
  // The caret at the end of a line the cell cannot show whole.
  Key(c, Qt::Key_End);
  // No selection: dark text on the cell's colour.
  c->SetSelStart(17);
  c->SetSelLength(0);
  EXPECT_EQ(c->EditText(), "Fixed/Implemented");
  EXPECT_EQ(DarkRows(grab(), firstLetter), plain);
  Key(c, Qt::Key_Escape);
}

namespace {

// What a control's editor shows at each of its paints. Every text the
// editor is given is painted at once, as a window system may do whenever it
// likes: a text held only for a moment is seen too.
struct TPaintedTexts : QObject {
  explicit TPaintedTexts(TCustomEdit* control) {
    QWidget* client = ClientOf(control);
    editors = client->findChildren<QPlainTextEdit*>();
    for (QWidget* w : client->findChildren<QWidget*>()) w->installEventFilter(this);
    for (QPlainTextEdit* e : editors)
      connect(e, &QPlainTextEdit::textChanged, this, [e] { e->viewport()->repaint(); });
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    for (QPlainTextEdit* e : editors)
      if (event->type() == QEvent::Paint && watched == e->viewport())
        texts.push_back(e->toPlainText().toStdString());
    return false;
  }
  QList<QPlainTextEdit*> editors;
  std::vector<std::string> texts;
};

}  // namespace

// However the cell comes into edit (a click on it, a second click into the
// combo, Alt+Down, a typed letter, F2, the row moved under it), the combo
// shows the words of the stored code from its first paint on (none for a
// code it does not list): never the code itself.
TEST_F(GridStatusCombo, TheCellShowsTheWordsFromTheFirstPaintOfItsEdit) {
  auto* c = PlaceInGrid();
  form->SetWidth(900);
  grid->SetWidth(880);
  std::vector<std::string> words{""};
  for (const char* item : kStatus) words.push_back(std::string(item).substr(0, std::string(item).find('\t')));
  const std::pair<const char*, std::function<void()>> ways[] = {
      {"click", [&] {}},
      {"second click", [&] { Click(c, 5, 5); }},
      {"Alt+Down", [&] { Key(grid, Qt::Key_Down, Qt::AltModifier); }},
      {"letter", [&] { Key(grid, Qt::Key_F); }},
      {"F2", [&] { Key(grid, Qt::Key_F2); }},
      {"next row", [&] { Key(grid, Qt::Key_Down); }},
      {"next row in edit", [&] {
         Key(grid, Qt::Key_F2);
         Key(c, Qt::Key_Down);
       }},
  };
  for (const auto& [name, enter] : ways) {
    SCOPED_TRACE(name);
    ds->First();
    grid->SelectDataColumn(1);
    grid->SetFocus();
    Pump();
    TPaintedTexts painted(c);
    const int status = grid->Col() + 3;
    const TRect cell = grid->CellRect(status, grid->Row());
    Click(grid, cell.Left + 4, cell.Top + 4);
    Pump();
    ASSERT_TRUE(c->Visible());
    enter();
    Pump();
    ASSERT_FALSE(painted.texts.empty());
    for (const std::string& text : painted.texts)
      EXPECT_NE(std::find(words.begin(), words.end(), text), words.end()) << "painted: " << text;
    if (c->IsDroppedDown()) Key(c, Qt::Key_Escape);
    Key(c, Qt::Key_Escape);
    Pump();
  }
}
