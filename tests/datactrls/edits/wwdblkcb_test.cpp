// The lookup combo over real engine tables: completion while typing, the
// drop-down grid by keys and mouse, not-in-list, write-back of up to three
// lookup fields, Escape, the texts, and where the drop-down goes.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>

#include "bde/library_fixture.h"
#include "datactrls/edits/wwdblkcb.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "datactrls/wwtadatasets.h"
#include "dbengine/accbinding_fixture.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/timer.h"
#include "platform/classlib/db/dbtestutil.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/db/memdataset.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/edits.h"

using namespace testing_support;

namespace {

// The widget that takes a control's keys.
QWidget* Native(TWinControl* c) { return ClientOf(c)->focusProxy() ? ClientOf(c)->focusProxy() : ClientOf(c); }
// Characters beyond ASCII have no key of their own: they come as key events
// carrying the text, as an input method gives them.
void Type(TWinControl* c, const char* keys) {
  for (QChar ch : QString::fromUtf8(keys)) {
    if (ch.unicode() < 0x80) QTest::keyClick(Native(c), ch.toLatin1());
    else QTest::sendKeyEvent(QTest::Click, Native(c), Qt::Key_unknown, QString(ch), Qt::NoModifier);
  }
}
void Key(TWinControl* c, Qt::Key key, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(Native(c), key, m); }
// Types over the whole text, as a user replacing the value does.
void Retype(TwwDBLookupCombo* c, const char* keys) {
  c->SelectAll();
  Type(c, keys);
}
void FocusAndRetype(TwwDBLookupCombo* c, const char* keys) {
  c->SetFocus();
  Retype(c, keys);
}
// Drops the list by the keys a user presses.
void DropByKeys(TwwDBLookupCombo* c) {
  c->SetFocus();
  Key(c, Qt::Key_Down, Qt::AltModifier);
}
// Runs the search the timer would run, without waiting for it.
void Tick(TwwDBLookupCombo* c) { c->SearchTimer()->OnTimer(c->SearchTimer()); }
// Lists the people by name whatever field the combo looks them up by.
void ShowNames(TwwDBLookupCombo* c) {
  TStringList columns;
  columns.Add("Name\t20\tName");
  c->SetSelected(&columns);
}

class LookupCombo : public accesstest::BindingFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    for (const char* row : {"'Anna', 30, 1.5", "'Bert', 25, 2", "'Carl', 30, 2.25", "'Bernd', 40, 3"})
      db.Execute(std::string("INSERT INTO People (Name, Age, Score) VALUES (") + row + ")");
    db.Execute("CREATE TABLE Bugs (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, AssignedTo TEXT(20), "
               "Age SHORT, Score DOUBLE, PersonId LONG)");
    db.Execute("INSERT INTO Bugs (AssignedTo, PersonId) VALUES ('Bert', 2)");
  }
  void SetUp() override {
    BindingFixture::SetUp();
    form = ShownForm(300, 200);
    people = Make<TwwtaTable>();
    people->SetTableName("People");
    people->Open();
    bugs = Make<TwwtaTable>();
    bugs->SetTableName("Bugs");
    bugs->Open();
    source.SetDataSet(bugs.get());
    other = new TEdit(form.get());
    other->SetTop(150);
    other->SetParent(form.get());
  }
  void TearDown() override {
    form.reset();
    source.SetDataSet(nullptr);
    bugs.reset();
    people.reset();
    BindingFixture::TearDown();
  }
  TwwDBLookupCombo* Place(const std::string& lookupField = "Name", int width = 150) {
    auto* c = new TwwDBLookupCombo(form.get());
    c->SetBounds(10, 10, width, 21);
    c->SetParent(form.get());
    c->SetDataSource(&source);
    c->SetDataField("AssignedTo");
    c->SetLookupTable(people.get());
    c->SetLookupField(lookupField);
    c->SetShowMatchText(true);
    Pump();
    return c;
  }
  // A combo on the bug's lookup field PersonName (the person's name by
  // PersonId, made with the first such combo), listing the people by name.
  TwwDBLookupCombo* PlaceOnLookupField() {
    if (!bugs->FindField("PersonName")) {
      bugs->Close();
      bugs->FieldDefs().Update();
      for (int i = 0; i < bugs->FieldDefs().Count(); ++i) bugs->FieldDefs()[i]->CreateField(bugs.get());
      auto* name = new TStringField(bugs.get());
      name->SetFieldName("PersonName");
      name->SetFieldKind(fkLookup);
      name->SetLookupDataSet(people.get());
      name->SetKeyFields("PersonId");
      name->SetLookupKeyFields("Id");
      name->SetLookupResultField("Name");
      name->SetDataSet(bugs.get());
      bugs->Open();
    }
    auto* c = Place("");
    ShowNames(c);
    c->SetDataField("PersonName");
    return c;
  }
  // Moves the focus away, which writes the combo's text back.
  void Leave() {
    other->SetFocus();
    Pump();
  }
  // Drops the list by the keys and moves to the next record there (from Bert to Carl).
  void DropDownAndMoveOn(TwwDBLookupCombo* c) {
    DropByKeys(c);
    Key(c, Qt::Key_Down);
  }
  std::string Stored(const char* field = "AssignedTo") { return bugs->FieldByName(field)->AsString(); }

  TDialogResponderScope boxes{[](TDialogRequest&) { return mrOk; }};
  std::unique_ptr<TForm> form;
  std::unique_ptr<TwwtaTable> people, bugs;
  TDataSource source;
  TEdit* other = nullptr;
};

}  // namespace

TEST(wwLookupDropDownBounds, BelowAboveAlignedAndCut) {
  const TRect screen{0, 0, 800, 600};
  struct Case { TRect control; int w, h; bool right; TRect expected; };
  const Case cases[] = {
      {{100, 100, 250, 121}, 200, 100, false, {100, 121, 300, 221}},  // below, left edges
      {{100, 100, 250, 121}, 200, 100, true, {50, 121, 250, 221}},    // right edges
      {{100, 550, 250, 571}, 200, 100, false, {100, 450, 300, 550}},  // above at the bottom
      {{100, 40, 250, 61}, 200, 590, false, {100, 61, 300, 651}},     // above would be negative
      {{700, 100, 790, 121}, 200, 100, false, {600, 121, 800, 221}},  // kept on the screen
      {{10, 100, 60, 121}, 900, 100, false, {0, 121, 800, 238}},      // cut: a scroll bar more
  };
  for (const Case& c : cases) {
    const TRect r = wwLookupDropDownBounds(c.control, c.w, c.h, screen, c.right, 17);
    EXPECT_EQ((std::vector<int>{r.Left, r.Top, r.Right, r.Bottom}),
              (std::vector<int>{c.expected.Left, c.expected.Top, c.expected.Right, c.expected.Bottom}));
  }
}

TEST_F(LookupCombo, ShowsTheFieldAndCompletesTypedTextInTheStoredCase) {
  auto* c = Place();
  EXPECT_EQ(c->EditText(), "Bert");
  FocusAndRetype(c, "ca");
  EXPECT_EQ(c->EditText(), "Carl");
  EXPECT_EQ(c->SelStart(), 2);
  EXPECT_EQ(c->SelLength(), 2);
  // Backspace with the list closed removes the selection and does not complete again.
  Key(c, Qt::Key_Backspace);
  EXPECT_EQ(c->EditText(), "Ca");  // the typed part in the stored case
  Type(c, "x");
  EXPECT_EQ(c->EditText(), "Cax");  // no match: the text stays as typed
  Leave();
  EXPECT_EQ(Stored(), "Cax");  // the lookup field is the shown field: any text is kept
}

// Typing searches the index on the names whatever order the table shows (the
// main window opens its tables of names on none): the first name in that
// index's order completes, Bernd before Bert stored ahead of it. A table that
// hides records (a filter) is searched in its own order among those it shows.
TEST_F(LookupCombo, TypingSearchesTheIndexOfTheNamesWhateverOrderTheTableShows) {
  const struct {
    const char* index;
    const char* filter;
    const char* completed;
  } cases[] = {{"", "", "Bernd"}, {"PrimaryKey", "", "Bernd"}, {"ByName", "", "Bernd"}, {"", "Age < 35", "Bert"}};
  for (const auto& t : cases) {
    SCOPED_TRACE(std::string("index '") + t.index + "', filter '" + t.filter + "'");
    people->SetIndexName(t.index);
    people->SetFilter(t.filter);
    people->SetFiltered(*t.filter != '\0');
    auto* c = Place();
    FocusAndRetype(c, "be");
    EXPECT_EQ(t.completed, c->EditText());
    EXPECT_EQ(t.completed, people->FieldByName("Name")->AsString()) << "the table stands on it";
    FocusAndRetype(c, "ANN");
    EXPECT_EQ("Anna", c->EditText());
    delete c;
  }
}

// Letters outside ASCII complete in any case as ASCII ones do, searched
// record by record (no index) or through the case-blind index.
class LetterNames : public LookupCombo {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    LookupCombo::Populate(db);
    for (const char* name : {"Émile", "Özlem"})
      db.Execute(std::string("INSERT INTO People (Name, Age) VALUES ('") + name + "', 50)");
  }
};

TEST_F(LetterNames, TypedLettersCompleteInAnyCase) {
  for (const char* index : {"", "ByName"}) {
    SCOPED_TRACE(index);
    people->SetIndexName(index);
    auto* c = Place();
    const struct {
      const char* typed;
      const char* completed;
    } cases[] = {{"ém", "Émile"}, {"öz", "Özlem"}, {"ÉM", "Émile"}, {"ca", "Carl"}};
    for (const auto& t : cases) {
      FocusAndRetype(c, t.typed);
      EXPECT_EQ(c->EditText(), t.completed) << t.typed;
      EXPECT_EQ(c->SelStart(), 2) << t.typed;
    }
    delete c;
  }
}

// A letter beyond ASCII typed first, as its key brings it, starts the search
// as any other letter does: the text completes at once, and leaving stores it.
TEST_F(LetterNames, ALoneLetterBeyondAsciiCompletesAtOnce) {
  auto* c = Place();
  const struct {
    Qt::Key key;
    const char* text;
    const char* completed;
  } cases[] = {
      {Qt::Key_Eacute, "\xC3\xA9", "\xC3\x89mile"},
      {Qt::Key_Odiaeresis, "\xC3\x96", "\xC3\x96zlem"},
      {Qt::Key_Eacute, "\xC3\x89", "\xC3\x89mile"},
  };
  for (const auto& t : cases) {
    c->SetFocus();
    c->SelectAll();
    QTest::sendKeyEvent(QTest::Click, Native(c), t.key, QString::fromUtf8(t.text), Qt::NoModifier);
    EXPECT_EQ(c->EditText(), t.completed) << t.text;
    EXPECT_EQ(c->SelStart(), 1) << t.text;
    EXPECT_EQ(c->SelLength(), 4) << t.text;
  }
  Leave();
  EXPECT_EQ(Stored(), "\xC3\x89mile");
}

TEST_F(LookupCombo, DropDownByKeysChoosesAndWritesBack) {
  auto* c = Place("Name;Age;Score");
  std::vector<bool> closed;  // the modified flag of each close-up
  c->OnCloseUp = [&](TObject*, TDataSet* table, TDataSet* fill, bool modified) {
    EXPECT_EQ(table, people.get());
    EXPECT_EQ(fill, bugs.get());
    closed.push_back(modified);
  };
  DropByKeys(c);
  ASSERT_TRUE(c->IsDroppedDown());
  EXPECT_TRUE(c->Grid()->Visible());
  EXPECT_TRUE(c->Focused());  // the pop-up never takes the focus
  EXPECT_EQ(c->Grid()->KeyText(), "Bert");
  EXPECT_EQ(c->Grid()->MatchRow(), 1);
  Key(c, Qt::Key_Down);
  EXPECT_EQ(c->EditText(), "Carl");
  Key(c, Qt::Key_Return);
  EXPECT_FALSE(c->IsDroppedDown());
  EXPECT_FALSE(c->Grid()->Visible());
  bugs->Post();
  EXPECT_EQ((std::vector<std::string>{Stored(), Stored("Age"), Stored("Score")}),
            (std::vector<std::string>{"Carl", "30", "2.25"}));
  // Typing with AutoDropDown drops the list; closing on the same record changes nothing.
  c->SetAutoDropDown(true);
  Retype(c, "c");
  EXPECT_TRUE(c->IsDroppedDown());
  EXPECT_EQ(c->EditText(), "Carl");
  Key(c, Qt::Key_Return);
  EXPECT_EQ(closed, (std::vector<bool>{true, false}));
}

TEST_F(LookupCombo, EscapeBringsBackTheBrowsedTextAndValue) {
  auto* c = Place();
  DropDownAndMoveOn(c);
  EXPECT_EQ(c->EditText(), "Carl");
  Key(c, Qt::Key_Escape);
  EXPECT_FALSE(c->IsDroppedDown());
  EXPECT_EQ(c->EditText(), "Bert");
  EXPECT_FALSE(c->Modified());
  Leave();
  EXPECT_EQ(Stored(), "Bert");
}

TEST_F(LookupCombo, TypingInTheOpenListSearchesOnTheTimer) {
  auto* c = Place();
  DropByKeys(c);
  Retype(c, "be");
  EXPECT_TRUE(c->SearchTimer()->Enabled());
  EXPECT_EQ(c->SearchTimer()->Interval(), TwwDBCustomLookupCombo::kSearchDelayMs);
  EXPECT_EQ(c->EditText(), "be");  // nothing yet
  Tick(c);
  EXPECT_EQ(c->EditText(), "Bernd");  // the first by the names' index
  EXPECT_EQ(c->SelStart(), 2);
  // Backspace in the open list: the next tick searches but does not complete.
  Key(c, Qt::Key_Backspace);
  Tick(c);
  EXPECT_EQ(c->EditText(), "Be");
  EXPECT_EQ(c->Grid()->KeyText(), "Bernd");  // found, but not completed
  Type(c, "rt");
  Tick(c);
  EXPECT_EQ(c->EditText(), "Bert");
  Key(c, Qt::Key_Return);
  bugs->Post();
  EXPECT_EQ(Stored(), "Bert");
}

TEST_F(LookupCombo, MouseClickInTheListTakesTheRecordAndCloses) {
  auto* c = Place();
  c->SetOptions({loTitles, loRowLines});
  DropByKeys(c);
  TwwPopupGrid* g = c->Grid();
  const int rowHeight = g->RowHeights(1);
  const int y = g->RowHeights(0) + rowHeight * 2 + rowHeight / 2;  // the third data row
  Click(g, 5, y);
  Pump();
  EXPECT_FALSE(c->IsDroppedDown());
  EXPECT_EQ(c->EditText(), "Carl");
  EXPECT_TRUE(c->Focused());
  bugs->Post();
  EXPECT_EQ(Stored(), "Carl");
}

TEST_F(LookupCombo, TheButtonDropsDownAndClosesWithTheChoice) {
  auto* c = Place();
  c->SetStyle(csDropDownList);
  // The button sits at the right edge of the bordered edit, inside its sunken frame.
  TWinControl* box = c->ButtonContainer();
  EXPECT_EQ((std::vector<int>{box->Left(), box->Top(), box->Height()}),
            (std::vector<int>{c->Width() - 2 - box->Width(), 2, c->Height() - 4}));
  // The drop-down button is a speed button of its own class, in the container.
  EXPECT_EQ(c->Button()->ClassName(), "TwwComboButton");
  EXPECT_TRUE(c->Button()->InheritsFrom("TSpeedButton"));
  EXPECT_EQ(c->Button()->Parent(), box);
  EXPECT_EQ(TwwDBComboDlg(nullptr).Button()->ClassName(), "TwwComboDlgButton");
  const auto clickButton = [&] {
    Click(box, box->Width() / 2, box->Height() / 2);
    Pump();
  };
  clickButton();
  ASSERT_TRUE(c->IsDroppedDown());
  EXPECT_TRUE(c->Focused());
  c->Grid()->HandleKey(VK_DOWN);
  EXPECT_EQ(c->EditText(), "Carl");
  clickButton();
  EXPECT_FALSE(c->IsDroppedDown());
  EXPECT_EQ(c->EditText(), "Carl");
  // Typing is not allowed in the closed list.
  Type(c, "a");
  EXPECT_EQ(c->EditText(), "Carl");
  // A press in the edit drops the list down too.
  Click(c, 5, 5);
  EXPECT_TRUE(c->IsDroppedDown());
}

TEST_F(LookupCombo, APressOnTheButtonDraggedIntoTheListChoosesWhereItIsReleased) {
  auto* c = Place();
  c->SetStyle(csDropDownList);
  QWidget* box = ClientOf(c->ButtonContainer());
  const QPoint press(box->width() / 2, box->height() / 2);
  QTest::mousePress(box, Qt::LeftButton, Qt::NoModifier, press);
  Pump();
  ASSERT_TRUE(c->IsDroppedDown()) << "the press drops the list";
  TwwPopupGrid* list = c->Grid();
  // Over the third row (Carl), then released there; the pointer passes the button first.
  const TPoint row = list->ClientToScreen({5, list->DefaultRowHeight() * 2 + list->DefaultRowHeight() / 2});
  const auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(box->mapFromGlobal(global)), QPointF(global), Qt::LeftButton, held, Qt::NoModifier);
    QCoreApplication::sendEvent(box, &e);
  };
  send(QEvent::MouseMove, box->mapToGlobal(press) + QPoint(0, 1), Qt::LeftButton);
  EXPECT_EQ(c->EditText(), "Bert");
  send(QEvent::MouseMove, QPoint(row.x, row.y), Qt::LeftButton);
  EXPECT_EQ(c->EditText(), "Carl");
  send(QEvent::MouseButtonRelease, QPoint(row.x, row.y), Qt::NoButton);
  EXPECT_FALSE(c->IsDroppedDown());
  EXPECT_EQ(c->EditText(), "Carl");
}

TEST_F(LookupCombo, NotInListHandlerDecides) {
  auto* c = Place();
  std::vector<std::string> asked;
  bool accept = false;
  c->OnNotInList = [&](TObject*, TDataSet* table, const std::string& text, bool& a) {
    EXPECT_EQ(table, people.get());
    asked.push_back(text);
    a = accept;
  };
  FocusAndRetype(c, "Zed");
  Leave();
  EXPECT_EQ(c->EditText(), "Bert");  // refused: the old text and value
  EXPECT_EQ(Stored(), "Bert");
  accept = true;
  FocusAndRetype(c, "Zoe");
  Leave();
  EXPECT_EQ(Stored(), "Zoe");
  // An empty text never asks.
  c->SetFocus();
  c->SelectAll();
  Key(c, Qt::Key_Delete);
  Leave();
  EXPECT_EQ(asked, (std::vector<std::string>{"Zed", "Zoe"}));
  EXPECT_TRUE(bugs->FieldByName("AssignedTo")->IsNull());
}

// A completion's rest erased leaves a text that only begins a listed value:
// leaving looks for the whole text, so it is a new value for the handler,
// not the listed one completed again.
TEST_F(LookupCombo, ErasingACompletionLeavesTheTypedStartAsANewValue) {
  auto* c = Place();
  std::vector<std::string> asked;
  c->OnNotInList = [&](TObject*, TDataSet*, const std::string& text, bool& accept) {
    asked.push_back(text);
    accept = true;
  };
  for (Qt::Key erase : {Qt::Key_Delete, Qt::Key_Backspace}) {
    SCOPED_TRACE(erase == Qt::Key_Delete ? "Delete" : "Backspace");
    asked.clear();
    FocusAndRetype(c, "ca");
    ASSERT_EQ(c->EditText(), "Carl");
    Key(c, erase);
    ASSERT_EQ(c->EditText(), "Ca");
    Leave();
    EXPECT_EQ(asked, std::vector<std::string>{"Ca"});
    EXPECT_EQ(c->EditText(), "Ca");
    EXPECT_EQ(Stored(), "Ca");
  }
}

TEST_F(LookupCombo, TheTextsAndSizesThatStopADropDown) {
  auto* c = Place("Name", 20);
  c->SetFocus();
  c->DropDown();
  EXPECT_FALSE(c->IsDroppedDown());  // narrower than 21 pixels
  c->SetWidth(150);
  people->Close();
  c->DropDown();
  c->SetLookupTable(nullptr);
  c->DropDown();
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{kwwLookupTableNotActive, kwwNoLookupTable}));
  EXPECT_FALSE(c->IsDroppedDown());
  EXPECT_THROW(c->SetLookupTable(bugs.get()), EInvalidOperation);  // the edited dataset itself
}

TEST_F(LookupCombo, DropDownSizeFollowsCountColumnsAndRecords) {
  auto* c = Place();
  c->SetOptions({loTitles});
  c->SetDropDownCount(0);
  c->SetFocus();
  c->DropDown();
  TwwPopupGrid* g = c->Grid();
  // One column, titled with the lookup field's label; one row below the title.
  ASSERT_EQ(c->Selected()->Count(), 1);
  EXPECT_EQ(wwParseSelectedLine(c->Selected()->Strings(0)).title, "Name");
  EXPECT_EQ(g->Height(), 2 * g->DefaultRowHeight() + 5);
  EXPECT_TRUE(g->ShowVertScrollBar());
  c->CloseUp(false);
  // More rows than records: the list shrinks to the records and hides its scroll bar.
  c->SetDropDownCount(8);
  c->DropDown();
  EXPECT_EQ(g->Height(), 5 * g->DefaultRowHeight() + 5);
  EXPECT_FALSE(g->ShowVertScrollBar());
  // Placed under the combo, on its left edge.
  const TPoint under = c->ClientToScreen({0, c->Height()});
  EXPECT_EQ(g->Left(), under.x);
  EXPECT_EQ(g->Top(), under.y);
}

TEST_F(LookupCombo, AllowClearKeyEmptiesTheValue) {
  auto* c = Place();
  c->SetAllowClearKey(true);
  c->SetStyle(csDropDownList);
  c->SetFocus();
  Key(c, Qt::Key_Delete);
  EXPECT_EQ(c->EditText(), "");
  Leave();
  EXPECT_TRUE(bugs->FieldByName("AssignedTo")->IsNull());
}

// ---- The lookup list on its own -----------------------------------------------------

namespace {

class LookupList : public LookupCombo {
 protected:
  TwwDBLookupList* PlaceList(int height = 97) {
    auto* l = new TwwDBLookupList(form.get());
    l->SetBounds(10, 40, 200, height);
    l->SetParent(form.get());
    l->SetUseTFields(false);
    TStringList columns;
    columns.Add("Name\t5\tWho");
    l->SetSelected(&columns);
    l->SetLookupTable(people.get());
    l->SetLookupField("Id");
    l->SetDataSource(&source);
    l->SetDataField("PersonId");
    Pump();
    return l;
  }
};

}  // namespace

TEST_F(LookupList, ResolvesItsFieldsAndMarksTheMatchedRecord) {
  TwwDBLookupList* l = PlaceList();
  EXPECT_EQ(l->KeyField()->FieldName(), "Id");
  EXPECT_EQ(l->DisplayField()->FieldName(), "Name");
  EXPECT_EQ(l->DisplayText(), "Bert");
  EXPECT_EQ(l->MatchRow(), 1);
  // The matched row is drawn in the highlight colours; the others are not.
  Pump();
  const QImage shot = ClientOf(l)->grab().toImage();
  const auto at = [&](int row) {
    const TRect cell = l->CellRect(0, row);
    const QRgb p = shot.pixel(cell.Right - 3, (cell.Top + cell.Bottom) / 2);
    return TColor(qRed(p) | qGreen(p) << 8 | qBlue(p) << 16);
  };
  EXPECT_EQ(at(1), ColorToRGB(clHighlight));
  EXPECT_NE(at(0), ColorToRGB(clHighlight));
  // A single narrow column is widened to the client width.
  EXPECT_EQ(l->ColWidths(0), l->ClientWidth());
  // A value that matches no record: no match row, no display text.
  bugs->Edit();
  bugs->FieldByName("PersonId")->SetAsInteger(99);
  EXPECT_EQ(l->MatchRow(), -1);
  EXPECT_EQ(l->DisplayText(), "");
  bugs->Cancel();
  l->SetLookupField("Nope");
  EXPECT_EQ(l->KeyField(), nullptr);
  try {
    l->ResolveFields(true);
    ADD_FAILURE() << "a missing key field resolves";
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(e.Message(), "Error: Field 'Nope' not found");
  }
}

TEST_F(LookupList, TitlesCountAndScrollingClearsTheMatch) {
  TwwDBLookupList* l = PlaceList();
  l->SetLookupOptions({loTitles, loRowLines});
  EXPECT_EQ(l->Options(), (TwwDBGridOptions{dgRowSelect, dgRowLines, dgTitles}));
  EXPECT_EQ(l->MatchRow(), 2);  // the title row comes first
  l->SetHeight(2 * l->DefaultRowHeight() + 6);  // the title and one record
  people->Last();
  EXPECT_EQ(l->MatchRow(), -1);  // scrolled out of view
}

TEST_F(LookupList, MovingInTheListChangesTheValue) {
  TwwDBLookupList* l = PlaceList();
  l->SetFocus();
  Key(l, Qt::Key_Down);
  EXPECT_EQ(l->DisplayText(), "Carl");
  EXPECT_EQ(bugs->State(), dsEdit);
  Key(l, Qt::Key_Insert);  // ignored
  bugs->Post();
  EXPECT_EQ(Stored("PersonId"), "3");
}

TEST_F(LookupCombo, ALookupFieldShowsTheResultAndWritesItsKey) {
  auto* c = PlaceOnLookupField();
  EXPECT_EQ(c->LookupField(), "Id");  // the lookup field's own key
  EXPECT_EQ(c->EditText(), "Bert");
  DropDownAndMoveOn(c);
  Key(c, Qt::Key_Return);
  EXPECT_EQ(c->EditText(), "Carl");
  bugs->Post();
  EXPECT_EQ(Stored("PersonId"), "3");
  EXPECT_EQ(c->EditText(), "Carl");
  // Typed too: the key of the completed record is written.
  Retype(c, "an");
  EXPECT_EQ(c->EditText(), "Anna");
  Leave();
  EXPECT_EQ(Stored("PersonId"), "1");
}

// The owner's OnKeyPress has every key once, before the combo acts on it:
// before Escape brings the browsed text back, before Enter is dropped, and
// before a letter typed into a lookup field puts the bug into edit. A key it
// swallows changes nothing, the dataset's state included.
TEST_F(LookupCombo, OnKeyPressHasEachKeyOnceBeforeTheComboActs) {
  const struct {
    bool lookupField;  // on PersonName, else on the text field AssignedTo
    const char* typedFirst;
    Qt::Key key;
    bool swallow;
    const char* seen;  // the text and the bug's state when the handler had the key
    const char* after;
  } cases[] = {
      {false, "ca", Qt::Key_Escape, false, "Carl editing", "Bert"},
      {false, "ca", Qt::Key_Escape, true, "Carl editing", "Carl"},
      {false, "ca", Qt::Key_Return, false, "Carl editing", "Carl"},
      {false, "", Qt::Key_C, false, "Bert browsing", "Carl"},
      {false, "", Qt::Key_C, true, "Bert browsing", "Bert"},
      {true, "", Qt::Key_C, false, "Bert browsing", "Carl"},
      {true, "", Qt::Key_C, true, "Bert browsing", "Bert"},
  };
  const auto state = [this] { return bugs->State() == dsBrowse ? " browsing" : " editing"; };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.lookupField ? "lookup field " : "") + c.typedFirst + " " +
                 std::to_string(c.key) + (c.swallow ? " swallowed" : ""));
    auto* combo = c.lookupField ? PlaceOnLookupField() : Place();
    FocusAndRetype(combo, c.typedFirst);
    std::vector<std::string> seen;
    combo->OnKeyPress = [&](TObject*, char32_t& key) {
      seen.push_back(combo->EditText() + state());
      if (c.swallow) key = 0;
    };
    Key(combo, c.key);
    EXPECT_EQ(seen, std::vector<std::string>{c.seen});
    EXPECT_EQ(combo->EditText(), c.after);
    if (c.swallow) {
      EXPECT_EQ(combo->EditText() + state(), c.seen);
    }
    delete combo;
    if (bugs->State() != dsBrowse) bugs->Cancel();
  }
}

TEST_F(LookupCombo, ALookupTableThatClosesUnderTheComboIsNoLongerSearched) {
  auto* c = Place();
  c->SetFocus();
  people->Close();
  EXPECT_EQ(c->Grid()->KeyField(), nullptr);  // its fields went with it
  Retype(c, "ca");
  EXPECT_EQ(c->EditText(), "ca");  // nothing to complete from
  people->Open();
  Retype(c, "an");
  EXPECT_EQ(c->EditText(), "Anna");
  Key(c, Qt::Key_Down, Qt::AltModifier);
  Key(c, Qt::Key_Return);
  bugs->Post();
  EXPECT_EQ(Stored(), "Anna");
}

// ---- A library table as the lookup table ---------------------------------------------

namespace {

class LibraryLookupCombo : public bdetest::LibraryFixture {
 protected:
  void SetUp() override {
    LibraryFixture::SetUp();
    form = ShownForm(300, 200);
    people = Make<TwwTable>();
    people->SetTableName("People");
    people->SetIndexName("ByName");
    people->Open();
  }
  void TearDown() override {
    form.reset();
    LibraryFixture::TearDown();
  }
  // An unbound combo over the people, completing typed names.
  TwwDBLookupCombo* Place() {
    auto* c = new TwwDBLookupCombo(form.get());
    c->SetBounds(10, 10, 150, 21);
    c->SetParent(form.get());
    c->SetLookupTable(people);
    c->SetLookupField("Name");
    c->SetShowMatchText(true);
    return c;
  }
  // Another table on the people, on Anna (30), as the master of a lookup table.
  void OpenMaster(TDataSource& source) {
    auto* ages = Make<TwwTable>();
    ages->SetTableName("People");
    ages->SetIndexName("ByName");
    ages->Open();
    source.SetDataSet(ages);
  }
  TDialogResponderScope boxes{[](TDialogRequest&) { return mrOk; }};
  std::unique_ptr<TForm> form;
  TwwTable* people = nullptr;
};

}  // namespace

TEST_F(LibraryLookupCombo, SearchesOnTheIndex) {
  auto* c = Place();
  c->SetFocus();
  // Typing seeks on the index, which ignores case as the engine's seek does;
  // the completion shows the stored case after the typed part.
  Type(c, "ca");
  EXPECT_EQ(c->EditText(), "Carl");
  EXPECT_EQ(c->SelStart(), 2);
  Retype(c, "cx");
  EXPECT_EQ(c->EditText(), "Cx") << "the completed start keeps the stored case";
  Retype(c, "Ca");
  EXPECT_EQ(c->EditText(), "Carl");
  EXPECT_EQ(c->SelStart(), 2);
  c->DropDown();
  Retype(c, "B");
  // The engine serves database files as SQL-based: the full delay.
  EXPECT_EQ(c->SearchTimer()->Interval(), TwwDBCustomLookupCombo::kSearchDelayMs);
  Tick(c);
  EXPECT_EQ(c->EditText(), "Bert");
  EXPECT_EQ(people->FieldByName("Name")->AsString(), "Bert");
  // Leaving with a whole value finds it by its key.
  c->CloseUp(false);
  c->SetEditText("carl");
  c->PerformSearch();
  EXPECT_EQ(people->FieldByName("Name")->AsString(), "Carl");
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
}

TEST_F(LibraryLookupCombo, TypingNarrowsTheTableAndErasingShowsEveryRecordAgain) {
  people->NarrowSearch = true;
  auto* c = Place();
  c->SetFocus();
  c->DropDown();
  const auto names = [&] {
    std::vector<std::string> all;
    const TBookmarkStr at = people->Bookmark();
    for (people->First(); !people->Eof(); people->Next()) all.push_back(people->FieldByName("Name")->AsString());
    people->SetBookmark(at);
    return all;
  };
  Type(c, "B");
  Tick(c);
  EXPECT_EQ(c->EditText(), "Bert");
  EXPECT_EQ(names(), std::vector<std::string>{"Bert"});
  Key(c, Qt::Key_Backspace);  // the completed part
  Tick(c);
  EXPECT_EQ(c->EditText(), "B");
  Key(c, Qt::Key_Backspace);
  EXPECT_FALSE(c->SearchTimer()->Enabled()) << "no search follows";
  EXPECT_EQ(names(), (std::vector<std::string>{"Anna", "Bert", "Carl"}));
  EXPECT_EQ(people->FieldByName("Name")->AsString(), "Bert");
}

// A dataset in memory that publishes its lookup lists, as the library's datasets do.
class TLinkedTasks : public TMemDataSet {
  DECLARE_CLASS(TLinkedTasks, TMemDataSet)
 public:
  TStringList* LookupFields() const { return fields_.get(); }
  TStringList* LookupLinks() const { return links_.get(); }
  void SetLookupFields(TStringList* v) { fields_->Assign(v); }
  void SetLookupLinks(TStringList* v) { links_->Assign(v); }

 private:
  std::unique_ptr<TStringList> fields_ = std::make_unique<TStringList>();
  std::unique_ptr<TStringList> links_ = std::make_unique<TStringList>();
};

IMPLEMENT_CLASS(TLinkedTasks, TMemDataSet)
PUBLISHED(TLinkedTasks) {
  PROP_OBJ(LookupFields, LookupFields, SetLookupFields);
  PROP_OBJ(LookupLinks, LookupLinks, SetLookupLinks);
}

TEST_F(LookupCombo, ACalculatedFieldLookedUpByItsDataSetWritesItsLinkFields) {
  TLinkedTasks tasks;
  tasks.FieldDefs().Add("PersonId", ftInteger);
  tasks.FieldDefs().Add("Age", ftInteger);
  AddField<TIntegerField>(tasks, "PersonId");
  AddField<TIntegerField>(tasks, "Age");
  AddField<TStringField>(tasks, "Person", fkCalculated, 20);
  tasks.LookupFields()->Add("Person;Scratch;People;Name;PrimaryKey");
  tasks.LookupLinks()->Add("PersonId;Id;Age;Age");
  tasks.Open();
  tasks.AppendRecord({Variant(2), Variant(25)});
  TDataSource taskSource;
  taskSource.SetDataSet(&tasks);
  auto* c = Place();
  ShowNames(c);
  c->SetDataField("");
  c->SetDataSource(&taskSource);
  c->SetDataField("Person");
  EXPECT_EQ(c->LookupField(), "Id;Age");  // the lookup sides of the links
  EXPECT_EQ(c->EditText(), "Bert");
  FocusAndRetype(c, "Ca");
  EXPECT_EQ(c->EditText(), "Carl");
  Leave();
  EXPECT_EQ(tasks.State(), dsEdit);
  EXPECT_EQ(tasks.FieldByName("PersonId")->AsString(), "3");
  EXPECT_EQ(tasks.FieldByName("Age")->AsString(), "30");
  delete c;
}

TEST_F(LookupCombo, AKeyBehindTheShownTextIsWrittenOnlyForAMatch) {
  auto* c = Place("Id");
  ShowNames(c);
  c->SetDataField("PersonId");
  EXPECT_EQ(c->EditText(), "Bert");  // shown by name, found by key
  c->SetFocus();
  // "ca" finds Carl; "cax" then matches no record: no key is written, not Carl's either.
  Retype(c, "ca");
  EXPECT_EQ(c->EditText(), "Carl");
  Key(c, Qt::Key_End);
  Type(c, "x");
  Leave();
  EXPECT_EQ(Stored("PersonId"), "2");
  FocusAndRetype(c, "ca");
  Leave();
  EXPECT_EQ(Stored("PersonId"), "3");
}

TEST_F(LookupCombo, AClosedDropDownListPaintsItsFaceHighlightedWhenFocused) {
  auto* c = Place();
  c->SetStyle(csDropDownList);
  const auto face = [&] {
    Pump();
    const QImage image = ClientOf(c)->grab().toImage();
    const QRgb p = image.pixel(c->ButtonContainer()->Left() - 6, c->Height() / 2);
    return TColor(qRed(p) | qGreen(p) << 8 | qBlue(p) << 16);
  };
  EXPECT_NE(face(), ColorToRGB(clHighlight));
  c->SetFocus();
  EXPECT_EQ(face(), ColorToRGB(clHighlight));
  EXPECT_FALSE(c->CaretVisible()) << "nothing can be typed";
  c->DropDown();
  c->CloseUp(false);
  EXPECT_FALSE(c->CaretVisible());
  // Once the text can be typed into the caret is back, however often it was hidden.
  c->SetStyle(csDropDown);
  c->DropDown();
  c->CloseUp(false);
  EXPECT_TRUE(c->CaretVisible());
}

TEST_F(LibraryLookupCombo, TypingPutsTheTableInDisplayOrder) {
  people->SetIndexName("");
  for (const bool byDisplay : {false, true}) {
    auto* c = Place();
    c->SetOrderByDisplay(byDisplay);
    c->SetFocus();
    Type(c, "b");
    EXPECT_EQ(c->EditText(), "Bert");
    EXPECT_EQ(people->IndexName(), byDisplay ? "ByName" : "") << byDisplay;
    delete c;
  }
}

TEST_F(LookupList, AHeldButtonBelowTheRowsScrollsOnTheTimer) {
  TwwDBLookupList* l = PlaceList(2 * 18);
  QWidget* w = ClientOf(l);
  QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, QPoint(5, 3));
  EXPECT_EQ(l->DisplayText(), "Bert");  // the one row in view
  EXPECT_TRUE(l->ScrollTimer()->Enabled());
  QMouseEvent below(QEvent::MouseMove, QPointF(5, l->ClientHeight() + 10), w->mapToGlobal(QPointF(5, l->ClientHeight() + 10)),
                    Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &below);
  for (const char* expected : {"Carl", "Bernd", "Bernd"}) {  // stops at the last record
    l->ScrollTimer()->OnTimer(l->ScrollTimer());
    EXPECT_EQ(l->DisplayText(), expected);
  }
  QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(5, l->ClientHeight() + 10));
  EXPECT_FALSE(l->ScrollTimer()->Enabled());
}

// ---- In a grid cell ---------------------------------------------------------------

namespace {

class GridLookupCombo : public LookupCombo {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    LookupCombo::Populate(db);
    db.Execute("INSERT INTO Bugs (AssignedTo, PersonId) VALUES ('Anna', 1)");
  }
  // The combo edits the AssignedTo column of a grid over the bugs.
  TwwDBLookupCombo* PlaceInGrid() {
    auto* c = Place();
    c->SetName("PersonCombo");
    grid = new TwwDBGrid(form.get());
    grid->SetBounds(0, 40, 290, 100);
    grid->SetParent(form.get());
    grid->SetDataSource(&source);
    grid->SetControlType("AssignedTo", 3, "PersonCombo");
    grid->SelectDataColumn(1);
    grid->SetFocus();
    Pump();
    return c;
  }
  TwwDBGrid* grid = nullptr;
};

}  // namespace

TEST_F(GridLookupCombo, AValueChosenInACellIsWrittenAndTheGridTakesItsKeys) {
  auto* c = PlaceInGrid();
  ASSERT_EQ(c->Parent(), grid);
  ASSERT_TRUE(c->Visible());
  FocusAndRetype(c, "C");
  EXPECT_EQ(c->EditText(), "Carl");
  Key(c, Qt::Key_Tab);  // written, and the grid moves on a column
  EXPECT_TRUE(grid->Focused());
  EXPECT_EQ(Stored(), "Carl");
  EXPECT_EQ(grid->GetSelectedField()->FieldName(), "Age");
  // Enter stays with the combo unless the grid turns it into Tab.
  for (const bool enterToTab : {false, true}) {
    grid->SetKeyOptions(enterToTab ? TwwDBGridKeyOptions{dgEnterToTab} : TwwDBGridKeyOptions{});
    grid->SelectDataColumn(1);
    Pump();
    c->SetFocus();
    Key(c, Qt::Key_Return);
    EXPECT_EQ(grid->Focused(), enterToTab);
    EXPECT_EQ(grid->GetSelectedField()->FieldName(), enterToTab ? "Age" : "AssignedTo");
  }
  // Down with the list closed goes to the next row; Alt+Down drops the list.
  grid->SelectDataColumn(1);
  Pump();
  DropByKeys(c);
  EXPECT_TRUE(c->IsDroppedDown());
  Key(c, Qt::Key_Escape);
  Key(c, Qt::Key_Down);
  EXPECT_TRUE(grid->Focused());
  EXPECT_EQ(Stored(), "Anna");
}

TEST_F(LookupCombo, ADetailLookupTableOfAnotherClassIsReportedWhenItsListRefreshes) {
  auto* c = Place();
  c->DropDown();
  people->Refresh();
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{}) << "no master fields: nothing to say";
  people->SetMasterFields("Age");
  people->Refresh();
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kwwDetailLookupTable});
}

TEST_F(LibraryLookupCombo, ADetailTableIsSearchedWithinItsMastersRangeAndShowsItsValueAgain) {
  TDataSource agesSource;
  OpenMaster(agesSource);
  people->Close();
  people->SetIndexName("ByAgeName");
  people->SetMasterSource(&agesSource);
  people->SetMasterFields("Age");
  people->Open();
  auto* c = Place();
  struct Case { const char* value; bool found; const char* at; };
  for (const Case& s : {Case{"Carl", true, "Carl"}, Case{"Anna", true, "Anna"}, Case{"Bert", false, "Anna"}}) {
    EXPECT_EQ(c->Grid()->PositionOnValue(s.value), s.found) << s.value;
    EXPECT_EQ(people->FieldByName("Name")->AsString(), s.at) << s.value;
  }
  people->SetMasterSource(nullptr);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
}

TEST_F(LibraryLookupCombo, AClosedListFacePutsTheTableBackOnTheLookupIndexAfterPainting) {
  people->SetIndexName("");
  auto* c = Place();
  c->SetStyle(csDropDownList);
  ASSERT_TRUE(c->Grid()->PositionOnValue("Bert"));
  people->Last();
  ClientOf(c)->repaint();
  EXPECT_EQ(people->IndexName(), "") << "the paint itself moves nothing";
  Pump();
  EXPECT_EQ(people->IndexName(), "ByName");
  EXPECT_EQ(people->FieldByName("Name")->AsString(), "Bert");
}

TEST_F(LibraryLookupCombo, AQueryWithAMasterIsRunAgainBeforeItDropsDownAndKeepsTheShownRecord) {
  TDataSource agesSource;
  OpenMaster(agesSource);
  auto* query = Make<TwwQuery>();
  query->SQL()->SetText("SELECT Name FROM People WHERE Age >= :Age ORDER BY Name");
  query->SetDataSource(&agesSource);
  query->Open();
  auto* c = Place();
  c->SetLookupTable(query);
  c->SetFocus();
  Type(c, "Ca");
  ASSERT_EQ(c->EditText(), "Carl");
  ExecuteElsewhere("INSERT INTO People (Name, Age) VALUES ('Cleo', 35)");
  Key(c, Qt::Key_Down, Qt::AltModifier);
  ASSERT_TRUE(c->IsDroppedDown());
  EXPECT_EQ(query->RecordCount(), 3) << "the row added by the other user is listed";
  EXPECT_EQ(query->FieldByName("Name")->AsString(), "Carl");
  EXPECT_EQ(c->Grid()->MatchRow(), 1);
  Retype(c, "cl");
  Tick(c);
  EXPECT_EQ(c->EditText(), "Cleo");
  query->SetDataSource(nullptr);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
}

TEST_F(GridLookupCombo, EscapeInACellClosesTheListFirstThenUndoesTheTextAndTheGridCancelsTheEdit) {
  auto* c = PlaceInGrid();
  DropDownAndMoveOn(c);
  ASSERT_EQ(c->EditText(), "Carl");
  Key(c, Qt::Key_Escape);  // the open list closes; the key goes no further
  EXPECT_FALSE(c->IsDroppedDown());
  EXPECT_EQ(c->EditText(), "Bert");
  EXPECT_TRUE(c->Focused());
  Retype(c, "C");
  ASSERT_EQ(c->EditText(), "Carl");
  ASSERT_EQ(bugs->State(), dsEdit);
  Key(c, Qt::Key_Escape);
  Pump();
  EXPECT_EQ(bugs->State(), dsBrowse) << "the grid cancelled the edit";
  EXPECT_TRUE(grid->Focused());
  EXPECT_EQ((std::vector<std::string>{c->EditText(), Stored()}), (std::vector<std::string>{"Bert", "Bert"}));
  EXPECT_FALSE(c->Modified());
  EXPECT_TRUE(c->Visible());
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
}

TEST_F(GridLookupCombo, TypingIntoTheCellStartsTheCompletionWithTheFirstCharacter) {
  // Wherever the first key's release goes (the focus moves to the combo on its
  // press), the completion starts with the character.
  for (const bool releaseToGrid : {false, true}) {
    auto* c = PlaceInGrid();
    ASSERT_TRUE(grid->Focused());
    QTest::keyPress(Native(grid), 'b');
    QTest::keyRelease(releaseToGrid ? Native(grid) : Native(c), 'b');
    EXPECT_TRUE(c->Focused());
    EXPECT_EQ((std::vector<std::string>{c->EditText(), c->SelText()}), (std::vector<std::string>{"Bernd", "ernd"}))
        << releaseToGrid;
    Type(c, "ern");
    EXPECT_EQ(c->EditText(), "Bernd");
    Key(c, Qt::Key_Tab);
    EXPECT_EQ(Stored(), "Bernd");
    bugs->Edit();
    bugs->FieldByName("AssignedTo")->SetAsString("Bert");
    bugs->Post();
    delete c;
    delete grid;
  }
}
