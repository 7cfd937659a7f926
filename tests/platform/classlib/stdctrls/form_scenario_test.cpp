// A whole form driven as a user drives it: a menu bar, a popup menu, an
// edit, a combo box, a list view and a page control, with keys and the mouse.

#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/menus/qtmenus.h"
#include "platform/classlib/stdctrls/comboboxes.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/listview.h"
#include "platform/classlib/stdctrls/tabs.h"

using namespace testing_support;
using vantrel::menus::ActionOf;
using vantrel::menus::MenuBarWidget;
using vantrel::menus::PopupWidget;

namespace {

TMenuItem* NewItem(TMenuItem* parent, const std::string& caption, TNotifyEvent onClick = nullptr) {
  auto* item = new TMenuItem(nullptr);
  item->SetCaption(caption);
  item->OnClick = std::move(onClick);
  parent->Add(item);
  return item;
}

template <class T>
T* Place(TWinControl* parent, TCustomForm* owner, int x, int y, int w, int h) {
  auto* c = new T(owner);
  c->SetParent(parent);
  c->SetBounds(x, y, w, h);
  return c;
}

QWidget* Native(TWinControl* c) { return ClientOf(c)->focusProxy() ? ClientOf(c)->focusProxy() : ClientOf(c); }

}  // namespace

TEST(FormScenarioTest, MenuBarPopupEditComboListViewAndPagesWorkWithKeysAndMouse) {
  auto form = ShownForm(400, 300);
  auto* edit = Place<TEdit>(form.get(), form.get(), 10, 10, 150, 21);
  auto* combo = Place<TComboBox>(form.get(), form.get(), 170, 10, 120, 21);
  combo->SetStyle(csDropDownList);
  combo->Items()->SetCommaText("Low,Medium,High");
  auto* pages = Place<TPageControl>(form.get(), form.get(), 10, 40, 370, 200);
  auto* files = new TTabSheet(form.get());
  files->SetPageControl(pages);
  files->SetCaption("Files");
  auto* notes = new TTabSheet(form.get());
  notes->SetPageControl(pages);
  notes->SetCaption("Notes");
  auto* list = new TListView(form.get());
  list->SetParent(files);
  list->SetAlign(alClient);
  list->SetMultiSelect(true);
  for (const char* name : {"a.txt", "b.zip", "c.bmp"}) list->Items()->Add()->SetCaption(name);

  auto* menu = new TMainMenu(form.get());
  TMenuItem* view = NewItem(menu->Items(), "&View");
  NewItem(view, "&Report", [&](TObject*) { list->SetViewStyle(vsReport); })
      ->SetShortCut(ShortCut('R', {ssCtrl}));
  NewItem(view, "&List", [&](TObject*) { list->SetViewStyle(vsList); });
  auto* popup = new TPopupMenu(form.get());
  NewItem(popup->Items(), "&Delete", [&](TObject*) {
    while (TListItem* item = list->Selected()) item->Delete();
  });
  list->SetPopupMenu(popup);
  Pump();

  // The edit takes typing; Tab goes on to the combo, whose list drops with
  // Alt+Down and chooses with the arrows and Enter.
  QTest::mouseClick(Native(edit), Qt::LeftButton, {}, QPoint(5, 5));
  ASSERT_TRUE(edit->Focused());
  QTest::keyClicks(Native(edit), "notes");
  EXPECT_EQ(edit->Text(), "notes");
  QTest::keyClick(Native(edit), Qt::Key_Tab);
  ASSERT_TRUE(combo->Focused()) << (form->ActiveControl() ? form->ActiveControl()->ClassName() : "none");
  QTest::keyClick(ClientOf(combo), Qt::Key_Down, Qt::AltModifier);
  ASSERT_TRUE(combo->DroppedDown());
  QTest::keyClick(ClientOf(combo), Qt::Key_Down);
  QTest::keyClick(ClientOf(combo), Qt::Key_Down);
  QTest::keyClick(ClientOf(combo), Qt::Key_Return);
  EXPECT_EQ(combo->Text(), "Medium");

  // The mouse turns the pages.
  const TRect notesTab = pages->TabRect(1);
  Click(pages, notesTab.Left + 5, notesTab.Top + 5);
  EXPECT_EQ(pages->ActivePage(), notes);
  EXPECT_FALSE(list->Showing());
  const TRect filesTab = pages->TabRect(0);
  Click(pages, filesTab.Left + 5, filesTab.Top + 5);
  ASSERT_TRUE(list->Showing());

  // The menu bar opens with Alt+V; the item chosen with the keys changes the view.
  Click(list, 10, 10);
  QTest::keyClick(ClientOf(list), Qt::Key_V, Qt::AltModifier);
  Pump();
  QMenu* viewMenu = ActionOf(*menu, view, MenuBarWidget(*menu))->menu();
  ASSERT_TRUE(viewMenu->isVisible());
  QTest::keyClick(viewMenu, Qt::Key_Down);
  QTest::keyClick(viewMenu, Qt::Key_Down);
  QTest::keyClick(viewMenu, Qt::Key_Return);
  Pump();
  EXPECT_EQ(list->ViewStyle(), vsList);
  // Its shortcut works from the list view.
  QTest::keyClick(ClientOf(list), Qt::Key_R, Qt::ControlModifier);
  EXPECT_EQ(list->ViewStyle(), vsReport);

  // Select two files with the mouse and keys; the popup menu deletes them.
  list->SetFocus();
  const TRect first = list->ItemRect(list->Items()->Item(0));
  Click(list, first.Left + 5, first.Top + 3);
  QTest::keyClick(ClientOf(list), Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(list->SelCount(), 2);
  Click(list, first.Left + 5, first.Top + 3, Qt::RightButton);
  Pump();
  QMenu* shown = PopupWidget(*popup);
  ASSERT_TRUE(shown && shown->isVisible());
  QTest::keyClick(shown, Qt::Key_Down);
  QTest::keyClick(shown, Qt::Key_Return);
  Pump();
  ASSERT_EQ(list->Items()->Count(), 1);
  EXPECT_EQ(list->Items()->Item(0)->Caption(), "c.bmp");
  EXPECT_EQ(edit->Text(), "notes");
  EXPECT_EQ(combo->ItemIndex(), 1);
}
