#include <gtest/gtest.h>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/graphics/colors.h"
#include "platform/classlib/stdctrls/comboboxes.h"

using namespace testing_support;

namespace {

void Key(TWinControl* c, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::keyClick(ClientOf(c), key, mods);
}

void ClickAt(TWinControl* c, int x, int y, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::mouseClick(ClientOf(c), Qt::LeftButton, mods, QPoint(x, y));
}

TListBox* NewList(TWinControl* parent, const std::string& commaText) {
  auto* l = new TListBox(parent);
  l->SetParent(parent);
  l->SetBounds(5, 5, 120, 90);
  l->Items()->SetCommaText(commaText);
  return l;
}

// The selected indexes of a list.
std::vector<int> SelectedOf(TCustomListBox* l) {
  std::vector<int> out;
  for (int i = 0; i < l->Items()->Count(); ++i)
    if (l->Selected(i)) out.push_back(i);
  return out;
}

}  // namespace

TEST(ListBoxTest, SortedItemsGoInPlaceIgnoringCaseAndSelectionFollowsItsItem) {
  auto form = ShownForm();
  TListBox* l = NewList(form.get(), "pear,Apple,fig");
  l->SetSorted(true);
  EXPECT_EQ(l->Items()->CommaText(), "Apple,fig,pear");
  l->SetItemIndex(1);
  l->Items()->Add("banana");
  EXPECT_EQ(l->Items()->CommaText(), "Apple,banana,fig,pear");
  EXPECT_EQ(l->ItemIndex(), 2);  // still "fig"
  l->Items()->Delete(2);
  EXPECT_EQ(l->ItemIndex(), -1);
  EXPECT_EQ(l->SelCount(), -1);  // single selection answers -1 as the window does
  l->SetItemIndex(7);
  EXPECT_EQ(l->ItemIndex(), -1);
  l->Clear();
  EXPECT_EQ(l->Items()->Count(), 0);
}

TEST(ListBoxTest, FindStringMatchesPrefixesIgnoringCaseAndWraps) {
  auto form = ShownForm();
  TListBox* l = NewList(form.get(), "Alpha,beta,ALPINE,Gamma");
  struct {
    int after;
    const char* text;
    bool exact;
    int want;
  } cases[] = {
      {-1, "alp", false, 0}, {0, "alp", false, 2}, {2, "alp", false, 0}, {-1, "BET", false, 1},
      {-1, "delta", false, -1}, {-1, "alpine", true, 2}, {-1, "alpin", true, -1}, {-1, "", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.exact ? l->FindStringExact(c.after, c.text) : l->FindString(c.after, c.text), c.want);
  }
}

// Every case pair of Unicode's simple folding, also where folding changes a
// character's length (the Kelvin sign folds to "k").
TEST(ListBoxTest, FindStringMatchesEveryCasePair) {
  auto form = ShownForm();
  TListBox* l = NewList(form.get(), "\u212Aelvin,STRAẞE,Ơn,ǅemal");
  const std::pair<const char*, int> prefixes[] = {{"kel", 0}, {"KELVIN", 0}, {"straß", 1}, {"ơ", 2}, {"ǆE", 3}};
  for (auto [text, want] : prefixes) EXPECT_EQ(l->FindString(-1, text), want) << text;
  EXPECT_EQ(l->FindStringExact(-1, "straße"), 1);
  EXPECT_EQ(l->FindStringExact(-1, "kelvi"), -1);
}

TEST(ListBoxTest, MouseAndKeysMoveASingleSelectionAndReportItAsAClick) {
  auto form = ShownForm();
  TListBox* l = NewList(form.get(), "one,two,three,four,five,six,seven,eight,nine,ten");
  int clicks = 0;
  l->OnClick = [&](TObject*) { ++clicks; };
  Pump();
  const int h = l->ItemHeight();
  ClickAt(l, 10, h + h / 2);
  EXPECT_EQ(l->ItemIndex(), 1);
  EXPECT_TRUE(l->Focused());
  struct {
    Qt::Key key;
    int want;
  } keys[] = {{Qt::Key_Down, 2}, {Qt::Key_End, 9}, {Qt::Key_Up, 8}, {Qt::Key_Home, 0}};
  for (const auto& k : keys) {
    Key(l, k.key);
    EXPECT_EQ(l->ItemIndex(), k.want);
  }
  EXPECT_EQ(clicks, 5);
  // Going to the end scrolled the list; the item under a point follows.
  Key(l, Qt::Key_End);
  EXPECT_GT(l->TopIndex(), 0);
  EXPECT_EQ(l->ItemAtPos({5, 1}, true), l->TopIndex());
  EXPECT_EQ(l->ItemRect(l->TopIndex()).Top, 0);
  EXPECT_EQ(l->ItemAtPos({500, 5}, true), -1);
  // Typing searches: "t" finds "two", then "th" stays on "three".
  Key(l, Qt::Key_Home);
  QTest::keyClicks(ClientOf(l), "th");
  EXPECT_EQ(l->Items()->Strings(l->ItemIndex()), "three");
}

TEST(ListBoxTest, ExtendedMultiSelectTakesShiftRangesCtrlTogglesAndSpace) {
  auto form = ShownForm();
  TListBox* l = NewList(form.get(), "a,b,c,d,e");
  l->SetMultiSelect(true);
  Pump();
  const int h = l->ItemHeight();
  ClickAt(l, 10, h / 2);
  ClickAt(l, 10, 2 * h + 1, Qt::ShiftModifier);
  EXPECT_EQ(SelectedOf(l), (std::vector<int>{0, 1, 2}));
  ClickAt(l, 10, h + 1, Qt::ControlModifier);
  EXPECT_EQ(SelectedOf(l), (std::vector<int>{0, 2}));
  EXPECT_EQ(l->SelCount(), 2);
  EXPECT_EQ(l->ItemIndex(), 1);  // the caret
  Key(l, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(SelectedOf(l), (std::vector<int>{1, 2}));
  Key(l, Qt::Key_Down, Qt::ControlModifier);
  Key(l, Qt::Key_Space);
  EXPECT_EQ(SelectedOf(l), (std::vector<int>{1, 2, 3}));
  l->SetSelected(0, true);
  EXPECT_EQ(l->SelCount(), 4);
  // Without ExtendedSelect a plain click toggles.
  l->SetExtendedSelect(false);
  ClickAt(l, 10, h / 2);
  EXPECT_EQ(SelectedOf(l), (std::vector<int>{1, 2, 3}));
}

TEST(ListBoxTest, OwnerDrawnItemsArePaintedAndMeasuredByTheOwner) {
  auto form = ShownForm();
  TListBox* l = NewList(form.get(), "");
  l->SetStyle(lbOwnerDrawVariable);
  l->OnMeasureItem = [](TWinControl*, int index, int& height) { height = 10 + 10 * index; };
  std::vector<int> drawn;
  l->OnDrawItem = [&](TWinControl* c, int index, const TRect& r, TOwnerDrawState state) {
    drawn.push_back(index);
    TCanvas* canvas = static_cast<TListBox*>(c)->Canvas();
    canvas->Brush()->SetColor(state.Contains(odSelected) ? clRed : index == 0 ? clLime : clBlue);
    canvas->FillRect(r);
  };
  l->Items()->SetCommaText("x,y,z");
  EXPECT_EQ(l->ItemRect(1), Rect(0, 10, l->ClientWidth(), 30));
  EXPECT_EQ(l->ItemRect(2), Rect(0, 30, l->ClientWidth(), 60));
  EXPECT_EQ(l->ItemAtPos({3, 35}, true), 2);
  l->SetItemIndex(2);
  auto shot = Snapshot(l);
  // Inside the 2-pixel sunken frame.
  EXPECT_EQ(shot->Canvas()->Pixels(10, 2 + 5), clLime);
  EXPECT_EQ(shot->Canvas()->Pixels(10, 2 + 20), clBlue);
  EXPECT_EQ(shot->Canvas()->Pixels(10, 2 + 45), clRed);
  EXPECT_EQ(shot->Canvas()->Pixels(10, 2 + 70), ColorToRGB(clWindow));
  EXPECT_EQ(drawn, (std::vector<int>{0, 1, 2}));
}

TEST(ListBoxTest, IntegralHeightKeepsWholeItems) {
  auto form = ShownForm();
  TListBox* l = NewList(form.get(), "a");
  l->SetStyle(lbOwnerDrawFixed);
  l->SetItemHeight(10);
  l->SetIntegralHeight(true);
  l->SetHeight(57);
  EXPECT_EQ(l->Height(), 54);
}

// ---- Combo boxes ---------------------------------------------------------------------

namespace {

TComboBox* NewCombo(TWinControl* parent, TComboBoxStyle style, std::vector<std::string>* log) {
  auto* c = new TComboBox(parent);
  c->SetParent(parent);
  c->SetBounds(5, 5, 120, 21);
  c->SetStyle(style);
  c->Items()->SetCommaText("Red,Green,Blue,Black");
  c->OnChange = [log, c](TObject*) { log->push_back("change " + c->Text()); };
  c->OnClick = [log](TObject*) { log->push_back("click"); };
  c->OnDropDown = [log](TObject*) { log->push_back("drop"); };
  c->OnCloseUp = [log](TObject*) { log->push_back("close"); };
  return c;
}

}  // namespace

TEST(ComboBoxTest, DropDownListChoosesWithKeysLettersAndTheDroppedList) {
  auto form = ShownForm();
  std::vector<std::string> log;
  TComboBox* c = NewCombo(form.get(), csDropDownList, &log);
  c->SetItemIndex(0);
  EXPECT_EQ(c->Text(), "Red");
  EXPECT_TRUE(log.empty());  // code fires no OnChange
  c->SetFocus();
  Key(c, Qt::Key_Down);
  EXPECT_EQ(c->ItemIndex(), 1);
  QTest::keyClicks(ClientOf(c), "b");
  EXPECT_EQ(c->Text(), "Blue");
  QTest::keyClicks(ClientOf(c), "b");
  EXPECT_EQ(c->Text(), "Black");
  EXPECT_EQ(log, (std::vector<std::string>{"click", "change Green", "click", "change Blue", "click",
                                           "change Black"}));
  log.clear();
  // F4 drops the list; arrows move in it; Enter takes the item.
  Key(c, Qt::Key_F4);
  ASSERT_TRUE(c->DroppedDown());
  Key(c, Qt::Key_Up);
  EXPECT_EQ(c->ItemIndex(), 3);  // not chosen before Enter
  Key(c, Qt::Key_Return);
  EXPECT_FALSE(c->DroppedDown());
  EXPECT_EQ(log, (std::vector<std::string>{"drop", "close", "click", "change Blue"}));
  // Escape closes without choosing.
  log.clear();
  c->SetDroppedDown(true);
  Key(c, Qt::Key_Down);
  Key(c, Qt::Key_Escape);
  EXPECT_EQ(c->Text(), "Blue");
  EXPECT_EQ(log, (std::vector<std::string>{"drop", "close"}));
}

TEST(ComboBoxTest, AClickOnTheButtonDropsTheListAndAClickInItChooses) {
  auto form = ShownForm();
  std::vector<std::string> log;
  TComboBox* c = NewCombo(form.get(), csDropDown, &log);
  c->SetDropDownCount(3);
  Pump();
  // The button lies right of the client area, inside the frame.
  QWidget* window = vantrel::qt::WindowWidget(*c);
  QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, QPoint(c->Width() - 8, 10));
  Pump();
  ASSERT_TRUE(c->DroppedDown());
  auto* list = static_cast<TWinControl*>(c->Controls(0));
  EXPECT_EQ(list->Top(), c->ClientToScreen({0, 0}).y - 2 + c->Height());
  EXPECT_EQ(list->Height(), 2 + 3 * c->ItemHeight());
  const int h = c->ItemHeight();
  QTest::mouseMove(ClientOf(list), QPoint(10, 2 * h + 2));
  QTest::mouseClick(ClientOf(list), Qt::LeftButton, Qt::NoModifier, QPoint(10, 2 * h + 2));
  Pump();
  EXPECT_FALSE(c->DroppedDown());
  EXPECT_EQ(c->Text(), "Blue");
  EXPECT_EQ(log, (std::vector<std::string>{"drop", "close", "click", "change Blue"}));
  // A press anywhere else closes the list without choosing.
  log.clear();
  c->SetDroppedDown(true);
  Pump();
  QTest::mouseClick(ClientOf(form.get()), Qt::LeftButton, Qt::NoModifier, QPoint(150, 120));
  EXPECT_FALSE(c->DroppedDown());
  EXPECT_EQ(log, (std::vector<std::string>{"drop", "close"}));
  // Typing in the edit part is a change and picks the item it names.
  log.clear();
  c->SetMaxLength(4);
  c->SetFocus();
  c->SelectAll();
  QWidget* edit = ClientOf(c)->focusProxy();
  ASSERT_NE(edit, nullptr);
  QTest::keyClicks(edit, "Greenish");
  EXPECT_EQ(c->Text(), "Gree");
  EXPECT_EQ(c->ItemIndex(), -1);
  QTest::keyClick(edit, Qt::Key_Backspace);
  // The owner may refuse typed keys.
  c->OnKeyPress = [](TObject*, char32_t& key) { key = 0; };
  QTest::keyClicks(edit, "xy");
  EXPECT_EQ(c->Text(), "Gre");
  c->OnKeyPress = nullptr;
  c->SetText("Green");
  EXPECT_EQ(c->ItemIndex(), 1);
  EXPECT_EQ(log.size(), 5u);
}

TEST(ComboBoxTest, OwnerDrawnFaceAndListDrawThroughOnDrawItem) {
  auto form = ShownForm();
  std::vector<std::string> log;
  TComboBox* c = NewCombo(form.get(), csOwnerDrawFixed, &log);
  c->SetItemHeight(15);
  const TColor colors[] = {clRed, clLime, clBlue, clBlack};
  c->OnDrawItem = [&](TWinControl*, int index, const TRect& r, TOwnerDrawState) {
    c->Canvas()->Brush()->SetColor(colors[index]);
    c->Canvas()->FillRect(r);
  };
  c->SetItemIndex(2);
  auto face = Snapshot(c);
  EXPECT_EQ(face->Canvas()->Pixels(10, 10), clBlue);
  c->SetDroppedDown(true);
  Pump();
  auto* list = static_cast<TWinControl*>(c->Controls(0));
  auto shot = Snapshot(list);
  EXPECT_EQ(shot->Canvas()->Pixels(10, 1 + 7), clRed);
  EXPECT_EQ(shot->Canvas()->Pixels(10, 1 + 15 + 7), clLime);
  EXPECT_EQ(list->Height(), 2 + 4 * 15);
  c->SetDroppedDown(false);
}

TEST(ComboBoxTest, ASimpleComboShowsItsListBelowTheEditAndChoosesByClick) {
  auto form = ShownForm();
  std::vector<std::string> log;
  TComboBox* c = NewCombo(form.get(), csSimple, &log);
  c->SetHeight(100);
  Pump();
  const int h = c->ItemHeight();
  EXPECT_EQ(c->ClientHeight(), h + 4);  // the edit row alone
  // The third item, in window coordinates below the edit row.
  const int listTop = 2 + c->ClientHeight();
  QTest::mouseClick(vantrel::qt::WindowWidget(*c), Qt::LeftButton, Qt::NoModifier,
                    QPoint(20, listTop + 1 + 2 * h + h / 2));
  Pump();
  EXPECT_EQ(c->Text(), "Blue");
  EXPECT_FALSE(c->DroppedDown());
  EXPECT_EQ(log, (std::vector<std::string>{"click", "change Blue"}));
  auto shot = Snapshot(c);
  EXPECT_EQ(shot->Canvas()->Pixels(20, listTop + 1 + 2 * h + 1), ColorToRGB(clHighlight));
  EXPECT_EQ(shot->Canvas()->Pixels(20, listTop + 1 + h + 1), ColorToRGB(clWindow));
}
