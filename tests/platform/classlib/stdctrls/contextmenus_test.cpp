// Context menus of the standard controls: a right click, Shift+F10 and the
// Menu key open the control's popup menu (a text control's edit menu, or its
// parent's), at the pointer or at the caret or selected item, and never the
// toolkit's own menus.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QWindow>

#include <functional>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/menus/qtmenus.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/listview.h"
#include "platform/classlib/stdctrls/lists.h"

using namespace testing_support;

namespace {

QWidget* OpenPopup() { return QApplication::activePopupWidget(); }

// The edit menu of text controls, by its last item.
bool IsEditMenu(const QWidget* shown) {
  const auto* menu = qobject_cast<const QMenu*>(shown);
  return menu && !menu->actions().isEmpty() && menu->actions().back()->text() == "Select &All";
}

TPopupMenu* NewMenu(TComponent* owner, const std::string& caption) {
  auto* menu = new TPopupMenu(owner);
  auto* item = new TMenuItem(owner);
  item->SetCaption(caption);
  menu->Items()->Add(item);
  return menu;
}

// A right click through the window system at a client point of `c`.
void RightClick(TControl* c, TPoint p) {
  QWidget* window = vantrel::qt::WindowWidget(*c->GetParentForm());
  const TPoint at = c->ClientToScreen(p);
  QTest::mouseClick(window->windowHandle(), Qt::RightButton, Qt::NoModifier,
                    window->mapFromGlobal(QPoint(at.x, at.y)));
  Pump();
}

// A key typed into the control that has the focus.
void TypeKey(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::keyClick(QApplication::focusWidget(), key, mods);
  Pump();
}

void ClosePopups() {
  while (QWidget* popup = OpenPopup()) popup->close();
  Pump();
}

}  // namespace

TEST(ContextMenuTest, MouseAndKeysOpenTheControlsMenuNeverTheToolkits) {
  auto form = ShownForm(500, 320);
  auto* panel = new TPanel(form.get());
  panel->SetParent(form.get());
  panel->SetBounds(0, 0, 500, 320);
  TPopupMenu* own = NewMenu(form.get(), "Own");
  TPopupMenu* panels = NewMenu(form.get(), "Panel's");

  auto* edit = new TEdit(form.get());
  edit->SetParent(panel);
  edit->SetBounds(10, 10, 200, 24);
  edit->SetText("one two three");
  auto* memo = new TMemo(form.get());
  memo->SetParent(panel);
  memo->SetBounds(10, 50, 200, 120);
  memo->SetText("first\r\nsecond\r\nthird");
  auto* list = new TListBox(form.get());
  list->SetParent(panel);
  list->SetBounds(250, 10, 200, 120);
  for (const char* s : {"alpha", "beta", "gamma"}) list->Items()->Add(s);
  auto* view = new TListView(form.get());
  view->SetParent(panel);
  view->SetBounds(250, 150, 200, 120);
  view->SetViewStyle(vsReport);
  for (const char* s : {"one", "two", "three"}) view->Items()->Add()->SetCaption(s);
  Pump();

  // Where the keyboard's menu opens depends on the caret or selection: put
  // it at the first place, then at a later one (further right or down).
  struct Case {
    const char* name;
    TWinControl* control;
    std::function<void(bool later)> place;
    bool downwards;  // the later place lies below the first, else right of it
    bool text;       // a text control: its edit menu stands in for a menu of its own
  } cases[] = {
      {"edit", edit, [&](bool later) { edit->SetSelStart(later ? 13 : 0); }, false, true},
      {"memo", memo, [&](bool later) { memo->SetSelStart(later ? 16 : 1); }, true, true},
      {"list box", list, [&](bool later) { list->SetItemIndex(later ? 2 : 0); }, true, false},
      {"list view", view, [&](bool later) { view->SetSelected(view->Items()->Item(later ? 2 : 0)); },
       true, false},
  };

  int panelsOpened = 0;
  panels->OnPopup = [&panelsOpened](TObject*) { ++panelsOpened; };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.control->SetPopupMenu(own);
    // The mouse: at the pointer, whatever part of the control is under it.
    RightClick(c.control, {30, 12});
    ASSERT_EQ(OpenPopup(), vantrel::menus::PopupWidget(*own)) << "the control's menu, no other";
    EXPECT_EQ(own->PopupComponent(), c.control);
    const TPoint clicked = c.control->ClientToScreen({30, 12});
    EXPECT_EQ(OpenPopup()->pos(), QPoint(clicked.x, clicked.y));
    ClosePopups();
    // The keys: inside the control, and following the caret or the selection.
    c.control->SetFocus();
    QPoint at[2];
    for (bool later : {false, true}) {
      c.place(later);
      TypeKey(later ? Qt::Key_Menu : Qt::Key_F10, later ? Qt::NoModifier : Qt::ShiftModifier);
      ASSERT_EQ(OpenPopup(), vantrel::menus::PopupWidget(*own)) << (later ? "Menu key" : "Shift+F10");
      at[later] = OpenPopup()->pos();
      // Within the control, or just below its last line.
      const TPoint corner = c.control->ClientToScreen({0, 0});
      EXPECT_TRUE(QRect(corner.x, corner.y, c.control->Width(), c.control->Height() + 1).contains(at[later]))
          << at[later].x() << "," << at[later].y() << " from " << corner.x << "," << corner.y;
      ClosePopups();
    }
    if (c.downwards) EXPECT_GT(at[1].y(), at[0].y());
    else EXPECT_GT(at[1].x(), at[0].x());
    // Without a menu of its own the control hands the request to its parent;
    // a text control shows its edit menu.
    c.control->SetPopupMenu(nullptr);
    panel->SetPopupMenu(panels);
    panelsOpened = 0;
    RightClick(c.control, {30, 12});
    const QWidget* shown = OpenPopup();
    EXPECT_EQ(panelsOpened, c.text ? 0 : 1) << "asked once";
    EXPECT_EQ(shown == vantrel::menus::PopupWidget(*panels), !c.text);
    EXPECT_EQ(IsEditMenu(shown), c.text);
    ClosePopups();
    panelsOpened = 0;
    TypeKey(Qt::Key_Menu);
    shown = OpenPopup();
    EXPECT_EQ(panelsOpened, c.text ? 0 : 1) << "asked once";
    EXPECT_EQ(shown == vantrel::menus::PopupWidget(*panels), !c.text);
    EXPECT_EQ(IsEditMenu(shown), c.text);
    ClosePopups();
    // With none at all only a text control's edit menu opens: no text or
    // scroll menu of the toolkit.
    panel->SetPopupMenu(nullptr);
    RightClick(c.control, {30, 12});
    EXPECT_EQ(OpenPopup() != nullptr, c.text);
    EXPECT_EQ(IsEditMenu(OpenPopup()), c.text);
    ClosePopups();
    TypeKey(Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(OpenPopup() != nullptr, c.text);
    EXPECT_EQ(IsEditMenu(OpenPopup()), c.text);
    ClosePopups();
  }
  // A menu that does not open by itself leaves the request to the parent.
  own->SetAutoPopup(false);
  list->SetPopupMenu(own);
  panel->SetPopupMenu(panels);
  RightClick(list, {30, 12});
  EXPECT_EQ(OpenPopup(), vantrel::menus::PopupWidget(*panels));
  ClosePopups();
}
