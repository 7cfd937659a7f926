// The main window's popups as a user meets them: the grid's View columns in
// two columns, one look for owner-drawn and plain items, and no hint over a
// drop-down menu.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QTest>
#include <QWindow>

#include <functional>

#include "app/main/bug.h"
#include "apptest.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwfltdlg.h"
#include "datactrls/wwtadatasets.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/dbctrls/dbctrls.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/menus/qtmenus.h"
#include "platform/classlib/stdctrls/statusbar.h"
#include "winctrls/tb97.h"
#include "winctrls/tb97button.h"

using namespace testing_support;

namespace {

class Popups : public apptest::MainWindowTest {
 protected:
  QMenu* ShownPopup() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }
  TMenuItem* Item(const std::string& name) {
    return static_cast<TMenuItem*>(form->FindComponent(name));
  }
  // A click through the window system at a client point of a control.
  void ClickAt(TControl* control, TPoint p, Qt::MouseButton button = Qt::LeftButton) {
    QWidget* window = vantrel::qt::WindowWidget(*form);
    const TPoint at = control->ClientToScreen(p);
    QTest::mouseClick(window->windowHandle(), button, Qt::NoModifier,
                      window->mapFromGlobal(QPoint(at.x, at.y)));
    Application->ProcessMessages();
  }
  // Where an item stands in a shown popup of a menu.
  QRect Place(TMenu& menu, QMenu* shown, const std::string& name) {
    QAction* action = vantrel::menus::ActionOf(menu, Item(name), shown);
    return action ? shown->actionGeometry(action) : QRect();
  }
};

// A right click on the grid, then View: "Reported By" heads a second column,
// ruled off from the first; Down, Right and Left move through and across.
TEST_F(Popups, TheGridsViewColumnsStandInTwoColumns) {
  apptest::AddEntry(form, "first");  // the grid of an empty program is disabled
  Click(form->dbgBug, 60, 60, Qt::RightButton);
  Application->ProcessMessages();
  QMenu* grid = ShownPopup();
  ASSERT_NE(grid, nullptr);
  QTest::keyClick(grid, Qt::Key_V);
  Application->ProcessMessages();
  QMenu* view = ShownPopup();
  ASSERT_TRUE(view && view != grid);
  const std::string prefix = "popGrid_ViewColumns_";
  const QRect first = Place(*form->popGrid, view, prefix + "RowIndicator");
  const QRect version = Place(*form->popGrid, view, prefix + "Version");
  const QRect reportedBy = Place(*form->popGrid, view, prefix + "ReportedBy");
  const QRect reportedDate = Place(*form->popGrid, view, prefix + "ReportedDate");
  const QRect verifiedDate = Place(*form->popGrid, view, prefix + "VerifiedDate");
  EXPECT_EQ(version.left(), first.left());
  EXPECT_EQ(reportedBy.top(), first.top()) << "at the top";
  EXPECT_GT(reportedBy.left(), version.right()) << "of a second column";
  EXPECT_EQ(reportedDate.left(), reportedBy.left());
  EXPECT_EQ(verifiedDate.left(), reportedBy.left());
  EXPECT_EQ(view->height(), version.bottom() + 1 + first.top()) << "the longer column's height";
  const QRect viewItem = grid->actionGeometry(vantrel::menus::ActionOf(*form->popGrid, form->popGrid_ViewColumns, grid));
  EXPECT_EQ(view->mapToGlobal(first.topLeft()).y(), grid->mapToGlobal(viewItem.topLeft()).y())
      << "level with the View item";
  const QImage image = view->grab().toImage();
  const auto colour = [&](int x, int y) { return vantrel::qt::FromQColor(image.pixelColor(x, y)); };
  int ink = 0;  // the caption, in the item at the column's top
  for (int y = reportedBy.top(); y <= reportedBy.bottom(); ++y)
    for (int x = reportedBy.left(); x <= reportedBy.right(); ++x) ink += qGray(image.pixel(x, y)) < 60;
  EXPECT_GT(ink, 20);
  EXPECT_EQ(colour(reportedBy.left() - 1, reportedDate.center().y()), ColorToRGB(clBtnShadow)) << "the rule";

  const auto current = [&] {
    for (int i = 0; i < form->popGrid_ViewColumns->Count(); ++i) {
      TMenuItem* item = form->popGrid_ViewColumns->Items(i);
      if (vantrel::menus::ActionOf(*form->popGrid, item, view) == view->activeAction())
        return item->Name().substr(prefix.size());
    }
    return std::string("none");
  };
  struct Case {
    const char* from;
    Qt::Key key;
    const char* to;
  } cases[] = {
      {"RowIndicator", Qt::Key_Down, "ReportNumber"}, {"Version", Qt::Key_Down, "ReportedBy"},
      {"ReportedBy", Qt::Key_Up, "Version"},           {"Identifier", Qt::Key_Right, "Responsibility"},
      {"FixedBy", Qt::Key_Left, "Status"},             {"Version", Qt::Key_Right, "VerifiedDate"},
      {"RowIndicator", Qt::Key_Right, "ReportedBy"},
  };
  for (const Case& c : cases) {
    view->setActiveAction(vantrel::menus::ActionOf(*form->popGrid, Item(prefix + c.from), view));
    QTest::keyClick(view, c.key);
    EXPECT_EQ(current(), c.to) << c.from << " " << c.key;
  }
  form->popGrid->ClosePopup();
  view->close();
  Application->ProcessMessages();
}

// The File menu mixes items drawn with a picture (Exit) and plain ones
// (Print): one ground, one selection colour, one font size.
TEST_F(Popups, OwnerDrawnAndPlainItemsOfAMenuLookAlike) {
  QTest::keyClick(ClientOf(form->dbgBug), Qt::Key_F, Qt::AltModifier);
  Application->ProcessMessages();
  QMenu* file = ShownPopup();
  ASSERT_NE(file, nullptr);
  const QRect print = Place(*form->mnuMain, file, "mnuMain_File_Print");
  const QRect exit = Place(*form->mnuMain, file, "mnuMain_File_Exit");
  ASSERT_FALSE(print.isEmpty() || exit.isEmpty());
  ASSERT_TRUE(form->mnuMain->IsOwnerDrawn(Item("mnuMain_File_Exit")));
  ASSERT_FALSE(form->mnuMain->IsOwnerDrawn(Item("mnuMain_File_Print")));
  const auto colourAt = [](const QImage& image, const QRect& row) {
    return vantrel::qt::FromQColor(image.pixelColor(row.right() - 30, row.top() + 2));
  };
  // The caption's height in ink, right of where pictures and marks stand.
  const auto inkHeight = [](const QImage& image, const QRect& row) {
    int top = -1, bottom = -1;
    for (int y = row.top(); y <= row.bottom(); ++y)
      for (int x = row.left() + 24; x < row.center().x(); ++x)
        if (qGray(image.pixel(x, y)) < 60) {
          if (top < 0) top = y;
          bottom = y;
          break;
        }
    return top < 0 ? 0 : bottom - top + 1;
  };
  Application->ProcessMessages();
  const QImage idle = file->grab().toImage();
  EXPECT_EQ(colourAt(idle, print), ColorToRGB(clMenu));
  EXPECT_EQ(colourAt(idle, exit), ColorToRGB(clMenu));
  EXPECT_GT(inkHeight(idle, print), 5);
  EXPECT_EQ(inkHeight(idle, print), inkHeight(idle, exit)) << "one font size";
  for (const QRect& row : {print, exit}) {
    file->setActiveAction(file->actionAt(row.center()));
    Application->ProcessMessages();
    EXPECT_EQ(colourAt(file->grab().toImage(), row), ColorToRGB(clHighlight)) << row.top();
  }
  file->close();
  Application->ProcessMessages();
}

// The advanced filter's hint goes when its drop-down menu opens, and none
// comes up over the open menu, shown first or still pending.
TEST_F(Popups, NoHintStaysOverTheAdvancedFiltersMenu) {
  TToolbarButton97* button = form->btnAdvancedFilter;
  auto* bar = static_cast<TWinControl*>(button->Parent());
  ASSERT_TRUE(button->DropdownCombo() && button->DropdownMenu());
  const int pause = Application->HintPause();
  Application->SetHintPause(40);
  const QPoint over(button->Left() + 6, button->Top() + button->Height() / 2);
  const QPoint arrow(button->Left() + button->Width() - 5, button->Top() + button->Height() / 2);
  for (bool hintFirst : {true, false}) {
    SCOPED_TRACE(hintFirst ? "hint shown first" : "hint pending");
    QTest::mouseMove(ClientOf(form), QPoint(5, 5));  // from elsewhere
    QTest::mouseMove(ClientOf(bar), over);
    if (hintFirst) {
      ASSERT_TRUE(WaitFor([] { return Application->HintWindow() != nullptr; }));
    }
    QTest::mousePress(ClientOf(bar), Qt::LeftButton, Qt::NoModifier, arrow);
    Application->ProcessMessages();
    ASSERT_NE(ShownPopup(), nullptr);
    EXPECT_EQ(Application->HintWindow(), nullptr);
    RunTimerRounds(40, 4);
    EXPECT_EQ(Application->HintWindow(), nullptr) << "after the hint's pause";
    ASSERT_NE(ShownPopup(), nullptr);
    button->DropdownMenu()->ClosePopup();
    Application->ProcessMessages();
  }
  Application->SetHintPause(pause);
}

// However a toolbar's drop-down menu closes (Escape, a click elsewhere, an
// item such as Clear Filter), the next click on the grid chooses the row
// under the pointer and opens no menu.
TEST_F(Popups, AClickAfterAToolbarDropDownClosedReachesTheGrid) {
  for (const char* description : {"first", "second", "third"}) apptest::AddEntry(form, description);
  const auto arrowOf = [](TToolbarButton97* b) { return TPoint{b->Width() - 4, b->Height() / 2}; };
  struct Case {
    TToolbarButton97* button;
    const char* road;
    std::function<void()> close;
  } cases[] = {
      {form->tbPrintPreview, "Escape", [&] { QTest::keyClick(ShownPopup(), Qt::Key_Escape); }},
      {form->tbChart, "Escape", [&] { QTest::keyClick(ShownPopup(), Qt::Key_Escape); }},
      {form->tbPrintReport, "a click elsewhere", [&] { ClickAt(form->sbMain, {5, 5}); }},
      {form->btnAdvancedFilter, "a click elsewhere", [&] { ClickAt(form->sbMain, {5, 5}); }},
      {form->btnAdvancedFilter, "Clear Filter", [&] {
         QMenu* menu = ShownPopup();
         ASSERT_TRUE(form->popFilters_Clear->Enabled());
         menu->setActiveAction(vantrel::menus::ActionOf(*form->popFilters, form->popFilters_Clear, menu));
         QTest::keyClick(menu, Qt::Key_Return);
       }},
  };
  const std::vector<std::string> descriptions{"first", "second", "third"};
  // A condition not yet applied: Clear Filter is offered.
  auto condition = std::make_unique<TwwFieldInfo>();
  condition->FieldName = condition->DisplayLabel = "Description";
  form->wwFilterDialog1->FieldInfo().push_back(std::move(condition));
  int row = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button->Name() + " closed by " + c.road);
    ClickAt(c.button, arrowOf(c.button));
    ASSERT_NE(ShownPopup(), nullptr);
    c.close();
    ASSERT_EQ(ShownPopup(), nullptr);
    row = (row + 1) % 3;
    const TRect cell = form->dbgBug->CellRect(3, form->dbgBug->TitleOffset() + row);
    ClickAt(form->dbgBug, {cell.Left + 4, cell.Top + 4});
    EXPECT_EQ(ShownPopup(), nullptr) << "no menu opens again";
    EXPECT_EQ(form->dsetBug->FieldByName("Description")->AsString(), descriptions[size_t(row)]);
  }
}

// A right click, Shift+F10 and the Menu key open the window's own popups: the
// memo's with its Insert Line and Insert Addendum (never the toolkit's text
// menu), the grid's below its current cell, the program list's.
TEST_F(Popups, MemosAndGridsOpenTheirOwnPopupsByMouseAndKeys) {
  apptest::AddEntry(form, "first", "The report");
  const auto key = [](Qt::Key k, Qt::KeyboardModifiers mods) {
    QTest::keyClick(QApplication::focusWidget(), k, mods);
    Application->ProcessMessages();
  };
  const auto close = [&] {
    while (QMenu* menu = ShownPopup()) menu->close();
    Application->ProcessMessages();
  };
  const auto shows = [&](TPopupMenu* menu, TMenuItem* item) {
    QMenu* shown = ShownPopup();
    return shown && shown == vantrel::menus::PopupWidget(*menu) &&
           vantrel::menus::ActionOf(*menu, item, shown) != nullptr;
  };
  ClickAt(form->rtfReport, {40, 20}, Qt::RightButton);
  EXPECT_TRUE(shows(form->popRTF, form->popRTF_InsertAddendum)) << "right click";
  close();
  form->rtfReport->SetFocus();
  key(Qt::Key_F10, Qt::ShiftModifier);
  EXPECT_TRUE(shows(form->popRTF, form->popRTF_InsertLine)) << "Shift+F10";
  close();

  form->dbgBug->SetFocus();
  key(Qt::Key_Menu, Qt::NoModifier);
  ASSERT_TRUE(shows(form->popGrid, form->popGrid_ViewColumns)) << "the Menu key";
  const TRect cell = form->dbgBug->CellRect(form->dbgBug->Col(), form->dbgBug->Row());
  const TPoint below = form->dbgBug->ClientToScreen({cell.Left, cell.Bottom});
  EXPECT_EQ(ShownPopup()->pos(), QPoint(below.x, below.y)) << "below the current cell";
  close();
  form->dbgridPrograms->SetFocus();
  key(Qt::Key_F10, Qt::ShiftModifier);
  EXPECT_EQ(ShownPopup(), vantrel::menus::PopupWidget(*form->popPrograms));
  close();
}

}  // namespace
