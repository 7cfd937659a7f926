// Menus on real widgets: shortcut texts, the item tree, shortcut dispatch
// from a form, the menu bar with mnemonics and hints, popup menus on a right
// click, and owner-drawn items measured and painted (pixels).

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <QWidgetAction>

#include <functional>
#include <map>
#include <string>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/winapi.h"
#include "platform/classlib/core/filer.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/menus/qtmenus.h"

using namespace testing_support;
using vantrel::menus::ActionOf;
using vantrel::menus::MenuBarWidget;
using vantrel::menus::PopupWidget;

namespace {

// A focusable control that notes the keys it sees.
class KeyField : public TCustomControl {
 public:
  explicit KeyField(TCustomForm* form) : TCustomControl(form) {
    SetParent(form);
    SetBounds(10, 10, 80, 40);
    SetTabStop(true);
    SetFocus();
    OnKeyDown = [this](TObject*, WORD& key, TShiftState) {
      if (key != VK_CONTROL && key != VK_MENU) keys.push_back(key);
    };
  }
  std::vector<WORD> keys;
};

TMenuItem* NewItem(TMenuItem* parent, const std::string& caption, int* clicks = nullptr) {
  auto* item = new TMenuItem(nullptr);
  item->SetCaption(caption);
  if (clicks) item->OnClick = [clicks](TObject*) { ++*clicks; };
  parent->Add(item);
  return item;
}

TColor PixelAt(QWidget* w, QPoint p) {
  return vantrel::qt::FromQColor(w->grab().toImage().pixelColor(p));
}

}  // namespace

TEST(ShortCutTextTest, TextsAndKeysBothWays) {
  struct Case {
    WORD key;
    TShiftState shift;
    const char* text;
  } cases[] = {
      {'S', {ssCtrl}, "Ctrl+S"},
      {VK_DELETE, {ssShift}, "Shift+Del"},
      {VK_F5, {}, "F5"},
      {'A', {ssShift, ssCtrl, ssAlt}, "Shift+Ctrl+Alt+A"},
      {VK_RETURN, {ssAlt}, "Alt+Enter"},
  };
  for (const Case& c : cases) {
    TShortCut sc = ShortCut(c.key, c.shift);
    EXPECT_EQ(ShortCutToText(sc), c.text);
    EXPECT_EQ(TextToShortCut(c.text), sc) << c.text;
    WORD key = 0;
    TShiftState shift;
    ShortCutToKey(sc, key, shift);
    EXPECT_EQ(key, c.key);
    EXPECT_TRUE(shift == c.shift) << c.text;
  }
  EXPECT_EQ(TextToShortCut("alt+ctrl+f2"), ShortCut(VK_F2, {ssCtrl, ssAlt}));
  for (const char* bad : {"", "Ctrl+", "Ctrl+Foo", "S+Ctrl"})
    EXPECT_EQ(TextToShortCut(bad), scNone) << bad;
  EXPECT_EQ(ShortCutToText(scNone), "");
}

TEST(MenuTreeTest, AddInsertMoveDeleteAndCommands) {
  TPopupMenu menu(nullptr);
  TMenuItem* root = menu.Items();
  TMenuItem* a = NewItem(root, "A");
  TMenuItem* c = NewItem(root, "C");
  auto* b = new TMenuItem(nullptr);
  b->SetCaption("&B");
  root->Insert(1, b);
  EXPECT_EQ(root->Count(), 3);
  EXPECT_EQ(b->MenuIndex(), 1);
  EXPECT_EQ(b->Parent(), root);
  EXPECT_EQ(b->GetParentMenu(), &menu);
  EXPECT_EQ(root->Find("B"), b);
  c->SetMenuIndex(0);
  EXPECT_EQ((*root)[0], c);
  EXPECT_THROW(root->Items(3), EMenuError);
  EXPECT_THROW(root->Add(a), EMenuError);  // already in a menu
  EXPECT_THROW(a->Add(root), EMenuError);  // would hold itself
  EXPECT_NE(a->Command(), b->Command());
  int clicks = 0;
  NewItem(a, "Sub", &clicks);
  EXPECT_TRUE(menu.DispatchCommand(a->Items(0)->Command()));
  EXPECT_EQ(clicks, 1);
  root->Remove(a);
  EXPECT_EQ(a->Parent(), nullptr);
  EXPECT_EQ(a->GetParentMenu(), nullptr);
  delete a;  // frees its sub-item too
  root->Delete(0);
  EXPECT_EQ(root->Count(), 1);
  EXPECT_EQ((*root)[0], b);
}

TEST(MenuTreeTest, RadioItemsOfOneGroupCheckAlone) {
  TPopupMenu menu(nullptr);
  std::vector<TMenuItem*> items;
  for (int group : {1, 1, 2}) {
    items.push_back(NewItem(menu.Items(), "r"));
    items.back()->SetRadioItem(true);
    items.back()->SetGroupIndex(group);
  }
  items[0]->SetChecked(true);
  items[2]->SetChecked(true);
  items[1]->SetChecked(true);
  EXPECT_FALSE(items[0]->Checked());
  EXPECT_TRUE(items[1]->Checked());
  EXPECT_TRUE(items[2]->Checked()) << "another group keeps its check";
}

TEST(MenuTreeTest, ControlLetsGoOfAFreedPopupMenu) {
  auto form = ShownForm();
  auto* field = new KeyField(form.get());
  auto* menu = new TPopupMenu(nullptr);
  field->SetPopupMenu(menu);
  EXPECT_EQ(field->PopupMenu(), menu);
  delete menu;
  EXPECT_EQ(field->PopupMenu(), nullptr);
  Click(field, 5, 5, Qt::RightButton);  // must not reach the freed menu
}

TEST(MenuTreeTest, AnItemsOnClickMayFreeItsOwnMenu) {
  auto form = ShownForm();
  // A popup menu freed by the item chosen from it.
  auto* popup = new TPopupMenu(nullptr);
  bool freed = false;
  NewItem(popup->Items(), "Close")->OnClick = [&](TObject*) {
    delete popup;
    freed = true;
  };
  popup->Popup(50, 50);
  Pump();
  QMenu* shown = PopupWidget(*popup);
  QTest::keyClick(shown, Qt::Key_Down);
  QTest::keyClick(shown, Qt::Key_Return);
  Pump();
  EXPECT_TRUE(freed);
  // A main menu freed from an item of its bar's menu.
  auto* bar = new TMainMenu(form.get());
  TMenuItem* file = NewItem(bar->Items(), "&File");
  freed = false;
  NewItem(file, "&Quit")->OnClick = [&](TObject*) {
    delete bar;
    freed = true;
  };
  Pump();
  QMenuBar* widget = MenuBarWidget(*bar);
  widget->setActiveAction(ActionOf(*bar, file, widget));
  QMenu* fileMenu = ActionOf(*bar, file, widget)->menu();
  QTest::keyClick(fileMenu, Qt::Key_Down);
  QTest::keyClick(fileMenu, Qt::Key_Return);
  Pump();
  EXPECT_TRUE(freed);
  EXPECT_EQ(TMainMenu::OfForm(form.get()), nullptr);
}

TEST(MenuShortcutTest, FormDispatchesBeforeTheFocusedControl) {
  auto form = ShownForm();
  auto* field = new KeyField(form.get());
  TMainMenu menu(form.get());
  int saves = 0, opens = 0;
  TMenuItem* file = NewItem(menu.Items(), "&File", &opens);
  TMenuItem* save = NewItem(file, "&Save", &saves);
  save->SetShortCut(ShortCut('S', {ssCtrl}));
  struct Case {
    const char* what;
    std::function<void()> setUp;
    int saves;       // after the key
    bool reachesField;
  } cases[] = {
      {"plain", [] {}, 1, false},
      {"hidden item", [&] { save->SetVisible(false); }, 1, false},
      {"disabled parent", [&] { file->SetEnabled(false); }, 1, false},
      {"disabled item", [&] { save->SetEnabled(false); }, 0, true},
      {"parent enables it", [&] {
         save->SetEnabled(false);
         file->OnClick = [&](TObject*) { save->SetEnabled(true); };
       }, 1, false},
  };
  for (const Case& c : cases) {
    save->SetVisible(true);
    save->SetEnabled(true);
    file->SetEnabled(true);
    file->OnClick = nullptr;
    c.setUp();
    saves = 0;
    field->keys.clear();
    QTest::keyClick(ClientOf(field), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(saves, c.saves) << c.what;
    EXPECT_EQ(!field->keys.empty(), c.reachesField) << c.what;
  }
  // A popup menu's shortcuts work only where the focused control has the menu.
  TPopupMenu popup(form.get());
  int copies = 0;
  NewItem(popup.Items(), "Copy", &copies)->SetShortCut(ShortCut('C', {ssCtrl}));
  QTest::keyClick(ClientOf(field), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(copies, 0);
  field->SetPopupMenu(&popup);
  QTest::keyClick(ClientOf(field), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(copies, 1);
}

TEST(MainMenuTest, BarTakesTheTopOfTheFormAndMnemonicsOpenMenus) {
  auto form = ShownForm(200, 150);
  auto* field = new KeyField(form.get());
  const int clientBefore = form->ClientHeight();
  auto* menu = new TMainMenu(form.get());
  EXPECT_EQ(TMainMenu::OfForm(form.get()), menu);
  int opened = 0, chosen = 0;
  TMenuItem* file = NewItem(menu->Items(), "&File", &opened);
  TMenuItem* exit = NewItem(file, "E&xit", &chosen);
  exit->SetEnabled(false);
  exit->SetHint("Exit|Closes the program");
  file->OnClick = [&](TObject*) {
    ++opened;
    exit->SetEnabled(true);  // the program enables items as the menu opens
  };
  Pump();
  EXPECT_EQ(form->ClientHeight(), clientBefore - GetSystemMetrics(SM_CYMENU));
  QMenuBar* bar = MenuBarWidget(*menu);
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(bar->isVisible());

  QTest::keyClick(ClientOf(field), Qt::Key_F, Qt::AltModifier);
  Pump();
  QPointer<QMenu> fileMenu = ActionOf(*menu, file, bar)->menu();
  ASSERT_TRUE(fileMenu->isVisible());
  EXPECT_EQ(opened, 1);
  QAction* exitAction = ActionOf(*menu, exit, fileMenu);
  ASSERT_NE(exitAction, nullptr);
  EXPECT_TRUE(exitAction->isEnabled()) << "the menu shows what OnClick changed";
  QTest::keyClick(fileMenu, Qt::Key_Down);
  EXPECT_EQ(Application->Hint(), "Closes the program");
  QTest::keyClick(fileMenu, Qt::Key_Return);
  Pump();
  EXPECT_EQ(chosen, 1);
  EXPECT_FALSE(fileMenu && fileMenu->isVisible());
  EXPECT_EQ(Application->Hint(), "");

  delete menu;
  Pump();
  EXPECT_EQ(form->ClientHeight(), clientBefore);
}

// An item chosen by key whose OnClick changes the menus and runs an event
// loop (a message box): the menu handling the key still has its actions when
// the OnClick returns, and the bar shows the change afterwards.
TEST(MainMenuTest, ChangesFromAChosenItemWaitUntilItsKeyIsHandled) {
  auto form = ShownForm(200, 150);
  auto* field = new KeyField(form.get());
  TMainMenu menu(form.get());
  TMenuItem* edit = NewItem(menu.Items(), "&Edit");
  TMenuItem* remove = NewItem(edit, "&Delete");
  TMenuItem* entry = NewItem(remove, "&Bug Report");
  entry->SetEnabled(false);
  edit->OnClick = [&](TObject*) { entry->SetEnabled(true); };  // changed as it opens
  Pump();
  QPointer<QMenu> chooser;
  QPointer<QAction> chosenAction;
  std::vector<bool> aliveAfterLoops;
  entry->OnClick = [&](TObject*) {
    for (int round = 0; round < 2; ++round) {
      Application->ProcessMessages();
      aliveAfterLoops.push_back(chooser && chosenAction);
      entry->SetCaption("&Feature Request");
    }
  };
  QTest::keyClick(ClientOf(field), Qt::Key_E, Qt::AltModifier);
  Pump();
  QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_D);
  Pump();
  chooser = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(chooser, nullptr);
  chosenAction = ActionOf(menu, entry, chooser);
  QTest::keyClick(chooser, Qt::Key_B);
  EXPECT_EQ(aliveAfterLoops, (std::vector<bool>{true, true}));
  Pump();
  QTest::keyClick(ClientOf(field), Qt::Key_E, Qt::AltModifier);
  Pump();
  QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_D);
  Pump();
  auto* reopened = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(reopened, nullptr);
  EXPECT_EQ(ActionOf(menu, entry, reopened)->text(), "&Feature Request");
  for (int level = 0; level < 2; ++level) QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
}

TEST(MainMenuTest, MouseOpensAMenuOfTheBarAndChoosesAnItem) {
  auto form = ShownForm(200, 150);
  TMainMenu menu(form.get());
  int opened = 0, chosen = 0;
  TMenuItem* edit = NewItem(menu.Items(), "&Edit", &opened);
  TMenuItem* copy = NewItem(edit, "&Copy", &chosen);
  Pump();
  QMenuBar* bar = MenuBarWidget(menu);
  const QPoint editAt = bar->actionGeometry(ActionOf(menu, edit, bar)).center();
  QTest::mouseClick(bar, Qt::LeftButton, {}, editAt);
  Pump();
  QMenu* editMenu = ActionOf(menu, edit, bar)->menu();
  ASSERT_TRUE(editMenu->isVisible());
  EXPECT_EQ(opened, 1);
  QRect item = editMenu->actionGeometry(ActionOf(menu, copy, editMenu));
  QTest::mouseMove(editMenu, item.center());
  QTest::mouseClick(editMenu, Qt::LeftButton, {}, item.center());
  Pump();
  EXPECT_EQ(chosen, 1);
  EXPECT_FALSE(editMenu->isVisible());
}

TEST(PopupMenuTest, RightClickOpensAtTheMouseWithAlignment) {
  auto form = ShownForm(300, 200);
  auto* field = new KeyField(form.get());
  TPopupMenu menu(form.get());
  int popups = 0, chosen = 0;
  menu.OnPopup = [&](TObject*) { ++popups; };
  NewItem(menu.Items(), "-");
  TMenuItem* open = NewItem(menu.Items(), "&Open", &chosen);
  open->Bitmap()->SetSize(16, 16);  // a picture beside the caption
  field->SetPopupMenu(&menu);
  field->SetBounds(10, 10, 280, 100);  // room on the left for a right-aligned menu
  for (TPopupAlignment alignment : {paLeft, paRight}) {
    menu.SetAlignment(alignment);
    Click(field, 200, 15, Qt::RightButton);
    Pump();
    QMenu* popup = PopupWidget(menu);
    ASSERT_TRUE(popup && popup->isVisible());
    EXPECT_FALSE(ActionOf(menu, open, popup)->icon().isNull());
    EXPECT_EQ(menu.PopupComponent(), field);
    const TPoint at = field->ClientToScreen({200, 15});
    EXPECT_EQ(alignment == paLeft ? popup->x() : popup->x() + popup->width(), at.x);
    EXPECT_EQ(popup->y(), at.y);
    QTest::keyClick(popup, Qt::Key_Down);  // the line is skipped
    QTest::keyClick(popup, Qt::Key_Return);
    Pump();
  }
  EXPECT_EQ(popups, 2);
  EXPECT_EQ(chosen, 2);
  menu.SetAutoPopup(false);
  Click(field, 20, 15, Qt::RightButton);
  Pump();
  EXPECT_FALSE(PopupWidget(menu)->isVisible());
  EXPECT_EQ(popups, 2);
}

// A plain popup's line is an etched line across its item, a dark row over a
// light one in the middle, on the menu's ground.
TEST(PopupLookTest, APlainLineIsEtchedAcrossItsItem) {
  Application->Initialize();
  TPopupMenu menu(nullptr);
  NewItem(menu.Items(), "One");
  TMenuItem* line = NewItem(menu.Items(), "-");
  NewItem(menu.Items(), "Two");
  menu.Popup(100, 100);
  Pump();
  QMenu* popup = PopupWidget(menu);
  const QRect r = popup->actionGeometry(ActionOf(menu, line, popup));
  ASSERT_GE(r.height(), 2);
  const QImage image = popup->grab().toImage();
  const int middle = r.top() + r.height() / 2 - 1;
  const std::pair<int, TColor> rows[] = {
      {middle - 1, clMenu}, {middle, clBtnShadow}, {middle + 1, clBtnHighlight}, {middle + 2, clMenu}};
  for (auto [y, colour] : rows)
    for (int x = r.left(); x <= r.right(); ++x)
      ASSERT_EQ(vantrel::qt::FromQColor(image.pixelColor(x, y)), ColorToRGB(colour)) << x << "," << y;
  menu.ClosePopup();
}

// The bar has its drop-downs' look: the menu's ground, an open item in the
// highlight. An item that opens a sub-menu shows a solid arrow in its text
// colour, a plain item and an owner-drawn one alike.
TEST(PopupLookTest, TheBarLooksLikeItsMenusAndSubMenuItemsShowAnArrow) {
  auto form = ShownForm(300, 200);
  auto* field = new KeyField(form.get());
  auto* menu = new TMainMenu(form.get());
  TMenuItem* file = NewItem(menu->Items(), "&File");
  NewItem(menu->Items(), "&Help");
  TMenuItem* plain = NewItem(file, "&Plain");
  NewItem(plain, "Inner");
  TMenuItem* drawn = NewItem(file, "&Drawn");
  NewItem(drawn, "Inner");
  drawn->OnMeasureItem = [](TObject*, TCanvas*, int& w, int& h) { w = 120, h = 20; };
  drawn->OnAdvancedDrawItem = [](TObject*, TCanvas* c, const TRect& r, TOwnerDrawState s) {
    c->Brush()->SetColor(s.Contains(odSelected) ? clHighlight : clMenu);
    c->FillRect(r);
  };
  Pump();
  QMenuBar* bar = MenuBarWidget(*menu);
  const QRect fileAt = bar->actionGeometry(ActionOf(*menu, file, bar));
  const auto barPixel = [&](QPoint p) { return PixelAt(bar, p); };
  EXPECT_EQ(barPixel({bar->width() - 3, bar->height() / 2}), ColorToRGB(clMenu)) << "the bar's ground";
  EXPECT_EQ(barPixel(fileAt.topLeft() + QPoint(1, 1)), ColorToRGB(clMenu));
  QTest::keyClick(ClientOf(field), Qt::Key_F, Qt::AltModifier);
  Pump();
  EXPECT_EQ(barPixel(fileAt.topLeft() + QPoint(1, 1)), ColorToRGB(clHighlight)) << "the open item";
  auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(popup, nullptr);
  // Pixels of one colour at the right end of an item, where its arrow stands.
  const auto arrowInk = [&](TMenuItem* item, TColor colour) {
    const QRect r = popup->actionGeometry(ActionOf(*menu, item, popup));
    const QImage image = popup->grab().toImage();
    int count = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.right() - 20; x <= r.right(); ++x)
        count += vantrel::qt::FromQColor(image.pixelColor(x, y)) == ColorToRGB(colour);
    return count;
  };
  for (TMenuItem* item : {plain, drawn}) {
    SCOPED_TRACE(item->Caption());
    EXPECT_GE(arrowInk(item, clMenuText), 16) << "a solid arrow, 4 by 7";
    popup->setActiveAction(ActionOf(*menu, item, popup));
    Pump();
    EXPECT_GE(arrowInk(item, clHighlightText), 16) << "on the highlight";
    popup->setActiveAction(nullptr);
  }
  popup->close();
  Pump();
}

// The titles of a plain bar are written in the menu's text colours: its
// text on the menu ground, the highlighted text on an open title, the grey
// text for a disabled one; each title's letter is underlined when keys show.
TEST(PopupLookTest, ThePlainBarWritesItsTitlesInTheMenuTextColours) {
  auto form = ShownForm(300, 200);
  auto* field = new KeyField(form.get());
  auto* menu = new TMainMenu(form.get());
  TMenuItem* file = NewItem(menu->Items(), "&File");
  NewItem(file, "&Open");
  TMenuItem* edit = NewItem(menu->Items(), "&Edit");
  edit->SetEnabled(false);
  Pump();
  QMenuBar* bar = MenuBarWidget(*menu);
  // Pixels of a colour inside a title's place.
  const auto ink = [&](TMenuItem* item, TColor colour) {
    const QRect r = bar->actionGeometry(ActionOf(*menu, item, bar));
    const QImage image = bar->grab().toImage();
    int count = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x)
        count += vantrel::qt::FromQColor(image.pixelColor(x, y)) == ColorToRGB(colour);
    return count;
  };
  struct Case {
    const char* name;
    TMenuItem* item;
    bool open;
    TColor text;
    std::vector<TColor> absent;
  } cases[] = {
      {"a plain title", file, false, clMenuText, {clHighlightText, clGrayText, clHighlight}},
      {"an open title", file, true, clHighlightText, {clMenuText, clGrayText}},
      {"a disabled title", edit, false, clGrayText, {clMenuText, clHighlightText, clHighlight}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.open) {
      QTest::keyClick(ClientOf(field), Qt::Key_F, Qt::AltModifier);
      Pump();
      ASSERT_NE(QApplication::activePopupWidget(), nullptr);
    }
    EXPECT_GE(ink(c.item, c.text), 10) << "the title's letters";
    for (TColor other : c.absent) EXPECT_EQ(ink(c.item, other), 0) << std::hex << other;
    while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    Pump();
  }
}

TEST(OwnerDrawTest, MeasuredSizesAndPaintedPixelsWithState) {
  Application->Initialize();
  TPopupMenu menu(nullptr);
  std::map<std::string, TOwnerDrawState> states;
  auto ownerDrawn = [&](const std::string& caption) {
    TMenuItem* item = NewItem(menu.Items(), caption);
    item->OnMeasureItem = [](TObject*, TCanvas*, int& w, int& h) { w = 120, h = 30; };
    item->OnAdvancedDrawItem = [&states, caption](TObject*, TCanvas* c, const TRect& r,
                                                  TOwnerDrawState s) {
      states[caption] = s;
      c->Brush()->SetColor(s.Contains(odSelected) ? clRed : clBlue);
      c->FillRect(r);
    };
    return item;
  };
  TMenuItem* first = ownerDrawn("first");
  ownerDrawn("off")->SetEnabled(false);
  TMenuItem* ticked = ownerDrawn("ticked");
  ticked->SetChecked(true);
  ticked->SetDefault(true);
  menu.Popup(100, 100);
  Pump();
  QMenu* popup = PopupWidget(menu);
  QRect r = popup->actionGeometry(ActionOf(menu, first, popup));
  EXPECT_EQ(r.height(), 30);
  EXPECT_GE(r.width(), 120);
  EXPECT_EQ(PixelAt(popup, r.center()), clBlue);
  QTest::keyClick(popup, Qt::Key_Down);
  Pump();
  EXPECT_EQ(PixelAt(popup, r.center()), clRed);
  EXPECT_TRUE(states["first"].Contains(odSelected));
  EXPECT_TRUE(states["off"].Contains(odDisabled) && states["off"].Contains(odGrayed));
  EXPECT_TRUE(states["ticked"].Contains(odChecked) && states["ticked"].Contains(odDefault));
  menu.ClosePopup();

  // A menu-wide hook paints first; declining leaves the item to its own event.
  menu.SetOwnerDrawHooks(
      [](TMenuItem*, TCanvas*, int& w, int& h) { return w = 60, h = 12, true; },
      [&](TMenuItem* item, TCanvas* c, const TRect& rect, TOwnerDrawState) {
        if (item != first) return false;
        c->Brush()->SetColor(clLime);
        c->FillRect(rect);
        return true;
      });
  menu.Popup(100, 100);
  Pump();
  r = popup->actionGeometry(ActionOf(menu, first, popup));
  EXPECT_EQ(r.height(), 12);
  EXPECT_EQ(PixelAt(popup, r.center()), clLime);
  QRect second = popup->actionGeometry(ActionOf(menu, ticked, popup));
  EXPECT_EQ(PixelAt(popup, second.center()), clBlue);
  menu.ClosePopup();

  // Back to plain drawing: no hooks, no events, ordinary Qt menu items.
  menu.ClearOwnerDrawHooks();
  for (int i = 0; i < menu.Items()->Count(); ++i) {
    menu.Items()->Items(i)->OnMeasureItem = nullptr;
    menu.Items()->Items(i)->OnAdvancedDrawItem = nullptr;
  }
  menu.Popup(100, 100);
  Pump();
  EXPECT_EQ(qobject_cast<QWidgetAction*>(ActionOf(menu, first, popup)), nullptr);
  EXPECT_NE(PixelAt(popup, popup->actionGeometry(ActionOf(menu, first, popup)).center()), clBlue);
  menu.ClosePopup();
}

TEST(OwnerDrawTest, AnOwnerDrawnItemIsChosenByItsLetter) {
  Application->Initialize();
  TPopupMenu menu(nullptr);
  int clicks = 0;
  TMenuItem* go = NewItem(menu.Items(), "&Go");
  go->OnMeasureItem = [](TObject*, TCanvas*, int& w, int& h) { w = 80, h = 20; };
  go->OnAdvancedDrawItem = [](TObject*, TCanvas* c, const TRect& r, TOwnerDrawState) { c->FillRect(r); };
  go->OnClick = [&](TObject*) { ++clicks; };
  NewItem(menu.Items(), "&Stay");
  menu.Popup(100, 100);
  Pump();
  QTest::keyClick(PopupWidget(menu), Qt::Key_G);
  Pump();
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(PopupWidget(menu)->isVisible());
}

TEST(OwnerDrawTest, MenuBarItemsAreMeasuredAndPaintedToo) {
  auto form = ShownForm(300, 150);
  TMainMenu menu(form.get());
  auto* file = new TMenuItem(nullptr);
  file->SetCaption("&File");
  file->OnMeasureItem = [](TObject*, TCanvas*, int& w, int& h) { w = 70, h = 18; };
  file->OnAdvancedDrawItem = [](TObject*, TCanvas* c, const TRect& r, TOwnerDrawState) {
    c->Brush()->SetColor(clBlue);
    c->FillRect(r);
  };
  menu.Items()->Add(file);
  TMenuItem* edit = NewItem(menu.Items(), "&Edit");
  Pump();
  QMenuBar* bar = MenuBarWidget(menu);
  ASSERT_NE(bar, nullptr);
  QRect fileRect = bar->actionGeometry(ActionOf(menu, file, bar));
  EXPECT_EQ(fileRect.width(), 70);
  EXPECT_EQ(PixelAt(bar, fileRect.center()), clBlue);
  QRect editRect = bar->actionGeometry(ActionOf(menu, edit, bar));
  EXPECT_NE(PixelAt(bar, editRect.center()), clBlue) << "a plain item stays plain";
}

TEST(MenuStreamingTest, ItemTreeRoundTripsThroughTheFormsTextDefinition) {
  TForm form(nullptr);
  form.SetName("MainForm");
  auto* menu = new TMainMenu(&form);
  menu->SetName("MainMenu1");
  auto item = [&](TMenuItem* parent, const char* name, const char* caption) {
    auto* i = new TMenuItem(&form);
    i->SetName(name);
    i->SetCaption(caption);
    parent->Add(i);
    return i;
  };
  TMenuItem* file = item(menu->Items(), "mnuFile", "&File");
  item(file, "mnuSave", "&Save")->SetShortCut(ShortCut('S', {ssCtrl}));
  item(file, "mnuLine", "-");
  TMenuItem* large = item(file, "mnuLarge", "&Large Icons");
  large->SetRadioItem(true);
  large->SetChecked(true);
  item(menu->Items(), "mnuHidden", "Hidden")->SetVisible(false);

  const std::string text = WriteComponentToText(&form);
  TForm copy(nullptr);
  ReadComponentFromText(text, &copy);
  auto* menu2 = As<TMainMenu>(copy.FindComponent("MainMenu1"));
  ASSERT_NE(menu2, nullptr) << text;
  EXPECT_EQ(TMainMenu::OfForm(&copy), menu2);
  ASSERT_EQ(menu2->Items()->Count(), 2) << text;
  TMenuItem* file2 = menu2->Items()->Items(0);
  EXPECT_EQ(file2->Name(), "mnuFile");
  ASSERT_EQ(file2->Count(), 3);
  EXPECT_EQ(file2->Items(0)->ShortCut(), ShortCut('S', {ssCtrl}));
  EXPECT_TRUE(file2->Items(1)->IsLine());
  EXPECT_TRUE(file2->Items(2)->RadioItem() && file2->Items(2)->Checked());
  EXPECT_FALSE(menu2->Items()->Items(1)->Visible());
  EXPECT_EQ(file2->GetParentComponent(), menu2);
}

namespace {

// Items captioned in order; an owner-drawn one is measured 90 x 20 and
// painted blue (red while selected).
std::vector<TMenuItem*> NewItems(TMenuItem* parent, std::initializer_list<const char*> captions,
                                 bool ownerDrawn = false) {
  std::vector<TMenuItem*> items;
  for (const char* caption : captions) {
    TMenuItem* item = NewItem(parent, caption);
    if (ownerDrawn) {
      item->OnMeasureItem = [](TObject*, TCanvas*, int& w, int& h) { w = 90, h = 20; };
      item->OnAdvancedDrawItem = [](TObject*, TCanvas* c, const TRect& r, TOwnerDrawState s) {
        c->Brush()->SetColor(s.Contains(odSelected) ? clRed : clBlue);
        c->FillRect(r);
      };
    }
    items.push_back(item);
  }
  return items;
}

QRect Geometry(TMenu& menu, QMenu* shown, const TMenuItem* item) {
  QAction* action = ActionOf(menu, item, shown);
  return action ? shown->actionGeometry(action) : QRect();
}

}  // namespace

// An item with a break starts a new column at the popup's top, in a popup
// menu, a sub-menu and a menu bar's drop-down, for plain and owner-drawn
// items; the popup is as tall as its longest column and stands where a
// popup of one column would. A bar break rules a line between the columns
// (over owner-drawn items too), a plain break does not.
TEST(MenuColumnsTest, ABreakStartsAColumnAtTheTop) {
  auto form = ShownForm(300, 150);
  enum Where { inPopup, inSubMenu, onBar };
  struct Case {
    Where where;
    bool ownerDrawn;
    TMenuBreak kind;
  } cases[] = {
      {inPopup, false, mbBarBreak}, {inPopup, false, mbBreak},   {inPopup, true, mbBarBreak},
      {onBar, false, mbBarBreak},   {onBar, true, mbBreak},      {inSubMenu, false, mbBarBreak},
  };
  for (const Case& c : cases) {
    const std::string what = std::string(c.where == onBar ? "bar" : c.where == inPopup ? "popup" : "sub-menu") +
                             (c.ownerDrawn ? " owner-drawn" : " plain") +
                             (c.kind == mbBarBreak ? " bar break" : " break");
    TPopupMenu popup(nullptr);
    TMainMenu bar(form.get());
    TMenuItem* file = NewItem(bar.Items(), "&File");
    TMenuItem* sub = c.where == inSubMenu ? NewItem(popup.Items(), "&Sub") : nullptr;
    TMenu& menu = c.where == onBar ? static_cast<TMenu&>(bar) : popup;
    TMenuItem* parent = c.where == onBar ? file : c.where == inSubMenu ? sub : popup.Items();
    const auto items = NewItems(parent, {"&One", "&Two", "T&hree", "&Four", "Fi&ve"}, c.ownerDrawn);
    items[2]->SetBreak(c.kind);
    Pump();
    QMenu* shown = nullptr;
    int top = 0;  // where the popup's first item belongs, on the screen
    if (c.where == onBar) {
      QTest::keyClick(ClientOf(form.get()), Qt::Key_F, Qt::AltModifier);
      Pump();
      QMenuBar* widget = MenuBarWidget(bar);
      shown = ActionOf(bar, file, widget)->menu();
      top = widget->mapToGlobal(QPoint(0, widget->actionGeometry(ActionOf(bar, file, widget)).bottom() + 1)).y();
    } else {
      popup.Popup(40, 40);
      Pump();
      shown = PopupWidget(popup);
      top = 40;
      if (c.where == inSubMenu) {
        QMenu* outer = shown;
        QTest::keyClick(outer, Qt::Key_S);
        Pump();
        shown = ActionOf(popup, sub, outer)->menu();
        top = outer->mapToGlobal(outer->actionGeometry(ActionOf(popup, sub, outer)).topLeft()).y();
      }
    }
    ASSERT_TRUE(shown && shown->isVisible()) << what;
    const QRect one = Geometry(menu, shown, items[0]), two = Geometry(menu, shown, items[1]),
                three = Geometry(menu, shown, items[2]), four = Geometry(menu, shown, items[3]),
                five = Geometry(menu, shown, items[4]);
    EXPECT_EQ(two.left(), one.left()) << what;
    EXPECT_EQ(three.top(), one.top()) << what;
    EXPECT_GT(three.left(), two.right()) << what;
    EXPECT_EQ(four.left(), three.left()) << what;
    EXPECT_EQ(four.top(), three.bottom() + 1) << what;
    EXPECT_EQ(five.top(), four.bottom() + 1) << what;
    EXPECT_EQ(shown->height(), five.bottom() + 1 + one.top()) << what << ": the longest column";
    EXPECT_EQ(shown->mapToGlobal(QPoint(0, c.where == inSubMenu ? one.top() : 0)).y(), top) << what;
    // Between Two and Four, where the columns meet.
    const QImage image = shown->grab().toImage();
    const auto at = [&](int x) { return vantrel::qt::FromQColor(image.pixelColor(x, four.center().y())); };
    const bool ruled = at(three.left() - 1) == ColorToRGB(clBtnShadow) &&
                       at(three.left()) == ColorToRGB(clBtnHighlight);
    EXPECT_EQ(ruled, c.kind == mbBarBreak) << what;
    if (c.where == onBar) shown->close();
    popup.ClosePopup();
    Pump();
  }
}

// Up and Down move through the items in order, from a column's foot to the
// next one's top and round from the last item to the first; Left and Right
// go to the nearest row of the next column that way (Right on an item with
// a sub-menu opens it instead).
TEST(MenuColumnsTest, ArrowKeysMoveWithinAndAcrossColumns) {
  Application->Initialize();
  TPopupMenu menu(nullptr);
  const auto items = NewItems(menu.Items(), {"A1", "A2", "A3", "B1", "B2", "C1"});
  items[3]->SetBreak(mbBarBreak);
  items[5]->SetBreak(mbBreak);
  NewItem(items[5], "Inside");
  menu.Popup(40, 40);
  Pump();
  QMenu* shown = PopupWidget(menu);
  ASSERT_TRUE(shown && shown->isVisible());
  const auto name = [&](QAction* a) {
    TMenuItem* item = nullptr;
    for (TMenuItem* i : items)
      if (ActionOf(menu, i, shown) == a) item = i;
    return item ? item->Caption() : std::string("none");
  };
  struct Case {
    int from;
    Qt::Key key;
    const char* to;
  } cases[] = {
      {0, Qt::Key_Down, "A2"},  {2, Qt::Key_Down, "B1"},  {3, Qt::Key_Up, "A3"},
      {5, Qt::Key_Down, "A1"},  {0, Qt::Key_Up, "C1"},    {1, Qt::Key_Right, "B2"},
      {2, Qt::Key_Right, "B2"}, {4, Qt::Key_Right, "C1"}, {3, Qt::Key_Left, "A1"},
      {5, Qt::Key_Left, "B1"},  {4, Qt::Key_Left, "A2"},  {0, Qt::Key_Left, "A1"},
  };
  for (const Case& c : cases) {
    shown->setActiveAction(ActionOf(menu, items[size_t(c.from)], shown));
    QTest::keyClick(shown, c.key);
    EXPECT_EQ(name(shown->activeAction()), c.to) << items[size_t(c.from)]->Caption() << " " << c.key;
  }
  shown->setActiveAction(ActionOf(menu, items[5], shown));
  QTest::keyClick(shown, Qt::Key_Right);
  Pump();
  auto* sub = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(sub, nullptr);
  EXPECT_NE(sub, shown) << "Right opened C1's sub-menu";
  EXPECT_EQ(name(shown->activeAction()), "C1");
  menu.ClosePopup();
}

// Components that follow one menu each hook it: all are told of an opening
// and a closing, newest first; pointing, help (F1) and a typed letter go from
// the newest on until one answers for its own item. Hooks come off in any
// order, and one taken off during a run is not told any more.
TEST(MenuHooksTest, EveryFollowerIsToldAndTheOwnerOfAnItemAnswers) {
  auto form = ShownForm(300, 200);
  TPopupMenu menu(nullptr);
  TMenuItem* alpha = NewItem(menu.Items(), "&Alpha");
  TMenuItem* beta = NewItem(menu.Items(), "Beta");
  int gammaClicks = 0;
  TMenuItem* gamma = NewItem(menu.Items(), "Gamma", &gammaClicks);
  std::string log;
  // A follower answers for its own item, and for its item's first letter.
  std::map<char, int> ids;
  const auto follow = [&](char name, TMenuItem* own, char32_t letter) {
    const auto note = [&log, name](const char* what) {
      log += std::string(log.empty() ? "" : " ") + name + ":" + what;
    };
    ids[name] = menu.AddMenuHooks({
        [note](TMenuItem*) { note("open"); },
        [note, own](TMenuItem* item) { return note("point"), item == own; },
        [note, own](TMenuItem* item) { return note("help"), item == own; },
        [note] { note("close"); },
        [note, own, letter](TMenuItem*, char32_t ch) { return note("letter"), ch == letter ? own : nullptr; },
    });
  };
  follow('A', alpha, U'a');
  follow('B', beta, U'b');
  follow('C', gamma, U'g');
  QMenu* shown = nullptr;
  const auto key = [&](Qt::Key k) {
    QTest::keyClick(shown, k);
    Pump();
  };
  struct Step {
    const char* name;
    std::function<void()> act;
    const char* told;
  } steps[] = {
      {"the menu opens", [&] { menu.Popup(40, 40), Pump(), shown = PopupWidget(menu); }, "C:open B:open A:open"},
      {"Alpha pointed at", [&] { key(Qt::Key_Down); }, "C:point B:point A:point"},
      {"help on Alpha", [&] { key(Qt::Key_F1); }, "C:help B:help A:help"},
      {"Beta pointed at", [&] { key(Qt::Key_Down); }, "C:point B:point"},
      {"help on Beta", [&] { key(Qt::Key_F1); }, "C:help B:help"},
      {"a letter of no follower", [&] { key(Qt::Key_Z); }, "C:letter B:letter A:letter"},
      {"Gamma's letter", [&] { key(Qt::Key_G); }, "C:letter C:point C:close B:close A:close"},
      {"B taken off, the menu opens", [&] { menu.RemoveMenuHooks(ids['B']), menu.Popup(40, 40), Pump(); },
       "C:open A:open"},
      {"Alpha pointed at", [&] { key(Qt::Key_Down); }, "C:point A:point"},
      {"Beta, whose follower left", [&] { key(Qt::Key_Down); }, "C:point A:point"},
      {"Beta's letter", [&] { key(Qt::Key_B); }, "C:letter A:letter"},
      {"closed", [&] { key(Qt::Key_Escape); }, "C:close A:close"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    log.clear();
    s.act();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(log, s.told);
  }
  EXPECT_EQ(gammaClicks, 1) << "the item Gamma's follower named was chosen";
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

  // A follower that takes another off as the menu opens: that one is not told.
  log.clear();
  TMenu::TMenuHooks removing;
  removing.Opening = [&](TMenuItem*) { menu.RemoveMenuHooks(ids['C']); };
  const int remover = menu.AddMenuHooks(std::move(removing));
  menu.Popup(40, 40);
  Pump();
  EXPECT_EQ(log, "A:open");
  menu.RemoveMenuHooks(remover);
  menu.RemoveMenuHooks(ids['A']);
  log.clear();
  QTest::keyClick(PopupWidget(menu), Qt::Key_Down);
  menu.ClosePopup();
  Pump();
  EXPECT_EQ(log, "") << "no follower is left";
}
