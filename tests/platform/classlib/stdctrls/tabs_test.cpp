#include <gtest/gtest.h>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/graphics/colors.h"
#include "platform/classlib/stdctrls/tabs.h"

using namespace testing_support;

namespace {

TTabControl* NewTabs(TWinControl* parent, TTabPosition position) {
  auto* t = new TTabControl(parent);
  t->SetParent(parent);
  t->SetBounds(0, 0, 190, 140);
  t->SetTabPosition(position);
  t->SetTabWidth(50);
  t->SetTabHeight(20);
  t->Tabs()->SetCommaText("One,Two,Three");
  return t;
}

TPoint Middle(const TRect& r) { return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}; }

}  // namespace

TEST(TabControlTest, TabsLieOnTheirSideAndHitTestsFindThem) {
  auto form = ShownForm(220, 170);
  struct {
    TTabPosition position;
    TRect second;  // the second tab's rectangle
  } cases[] = {
      {tpTop, Rect(52, 2, 102, 22)},
      {tpBottom, Rect(52, 140 - 22, 102, 140 - 2)},
      // Along a side the width runs down the strip, the height across it.
      {tpLeft, Rect(2, 52, 22, 102)},
      {tpRight, Rect(190 - 22, 52, 190 - 2, 102)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.position));
    TTabControl* t = NewTabs(form.get(), c.position);
    EXPECT_EQ(t->TabRect(1), c.second);
    const TPoint mid = Middle(c.second);
    EXPECT_EQ(t->IndexOfTabAt(mid.x, mid.y), 1);
    const TRect page = t->DisplayRect();
    EXPECT_EQ(t->IndexOfTabAt(Middle(page).x, Middle(page).y), -1);
    // The page area keeps clear of the strip.
    TRect overlap;
    EXPECT_FALSE(IntersectRect(overlap, page, c.second));
    EXPECT_EQ(t->TabRect(3), TRect{});
    // The same through the tab window's messages.
    TTCHitTestInfo hit{mid};
    EXPECT_EQ(t->Perform(TCM_HITTEST, 0, LPARAM(&hit)), 1);
    TRect r;
    EXPECT_EQ(t->Perform(TCM_GETITEMRECT, 1, LPARAM(&r)), 1);
    EXPECT_EQ(r, c.second);
    EXPECT_EQ(t->Perform(TCM_GETITEMRECT, 3, LPARAM(&r)), 0);
    r = t->ClientRect();
    t->Perform(TCM_ADJUSTRECT, 0, LPARAM(&r));
    EXPECT_EQ(r, page);
    t->Perform(TCM_ADJUSTRECT, 1, LPARAM(&r));
    EXPECT_EQ(r, t->ClientRect());
    delete t;
  }
}

TEST(TabControlTest, TheUserChangesTabsUnlessOnChangingRefusesAndCodeTellsNobody) {
  auto form = ShownForm(220, 170);
  TTabControl* t = NewTabs(form.get(), tpTop);
  EXPECT_EQ(t->TabIndex(), 0);
  std::vector<std::string> log;
  bool allow = true;
  t->OnChanging = [&](TObject*, bool& ok) {
    log.push_back("changing " + std::to_string(t->TabIndex()));
    ok = allow;
  };
  t->OnChange = [&](TObject*) { log.push_back("change " + std::to_string(t->TabIndex())); };
  Pump();
  TPoint p = Middle(t->TabRect(2));
  Click(t, p.x, p.y);
  EXPECT_EQ(t->TabIndex(), 2);
  allow = false;
  p = Middle(t->TabRect(1));
  Click(t, p.x, p.y);
  EXPECT_EQ(t->TabIndex(), 2);
  allow = true;
  QTest::keyClick(ClientOf(t), Qt::Key_Left);
  EXPECT_EQ(t->TabIndex(), 1);
  t->SetTabIndex(0);
  EXPECT_EQ(log, (std::vector<std::string>{"changing 0", "change 2", "changing 2", "changing 2",
                                           "change 1"}));
  // Hot tracking follows the mouse over the tabs and ends when it leaves.
  t->SetHotTrack(true);
  p = Middle(t->TabRect(2));
  QTest::mouseMove(ClientOf(t), QPoint(p.x, p.y));
  EXPECT_EQ(t->HotIndex(), 2);
  t->Perform(CM_MOUSELEAVE);
  EXPECT_EQ(t->HotIndex(), -1);
  // Deleting tabs keeps the index in range.
  t->Tabs()->Clear();
  EXPECT_EQ(t->TabIndex(), -1);
}

TEST(TabControlTest, OwnerDrawnTabsPaintTheirRectangleWithTheActiveFlag) {
  auto form = ShownForm(220, 170);
  TTabControl* t = NewTabs(form.get(), tpTop);
  t->SetOwnerDraw(true);
  t->SetTabIndex(1);
  std::vector<std::pair<int, bool>> calls;
  t->OnDrawTab = [&](TCustomTabControl* c, int index, const TRect& r, bool active) {
    calls.emplace_back(index, active);
    TCanvas* canvas = static_cast<TTabControl*>(c)->Canvas();
    canvas->Brush()->SetColor(active ? clRed : clBlue);
    canvas->FillRect(r);
  };
  auto shot = Snapshot(t);
  // Unselected tabs first, the selected one last (it lies over them).
  EXPECT_EQ(calls, (std::vector<std::pair<int, bool>>{{0, false}, {2, false}, {1, true}}));
  const TPoint first = Middle(t->TabRect(0)), second = Middle(t->TabRect(1));
  EXPECT_EQ(shot->Canvas()->Pixels(first.x, first.y), clBlue);
  EXPECT_EQ(shot->Canvas()->Pixels(second.x, second.y), clRed);
  // The selected tab has grown over its neighbours' edges.
  EXPECT_EQ(shot->Canvas()->Pixels(t->TabRect(1).Left + 1, second.y), clRed);
}

TEST(PageControlTest, TabsFollowTheSheetsAndShowOnePageAtATime) {
  auto form = ShownForm(220, 170);
  auto* pc = new TPageControl(form.get());
  pc->SetParent(form.get());
  pc->SetBounds(0, 0, 200, 150);
  std::vector<TTabSheet*> sheets;
  for (const char* caption : {"General", "Fonts", "Colours"}) {
    auto* s = new TTabSheet(form.get());
    s->SetPageControl(pc);
    s->SetCaption(caption);
    sheets.push_back(s);
  }
  int changes = 0;
  pc->OnChange = [&](TObject*) { ++changes; };
  EXPECT_EQ(pc->PageCount(), 3);
  EXPECT_EQ(pc->Tabs()->CommaText(), "General,Fonts,Colours");
  EXPECT_EQ(pc->ActivePage(), sheets[0]);
  EXPECT_EQ(sheets[0]->BoundsRect(), pc->DisplayRect());
  Pump();
  const TPoint p = Middle(pc->TabRect(2));
  Click(pc, p.x, p.y);
  EXPECT_EQ(pc->ActivePageIndex(), 2);
  EXPECT_TRUE(sheets[2]->Visible());
  EXPECT_FALSE(sheets[0]->Visible());
  EXPECT_EQ(changes, 1);
  // A hidden tab drops out of the strip; its page can no longer show.
  sheets[1]->SetTabVisible(false);
  EXPECT_EQ(pc->Tabs()->CommaText(), "General,Colours");
  EXPECT_EQ(sheets[2]->TabIndex(), 1);
  EXPECT_EQ(pc->TabIndex(), 1);
  sheets[2]->SetTabVisible(false);
  EXPECT_EQ(pc->ActivePage(), sheets[0]);
  sheets[1]->SetTabVisible(true);
  sheets[1]->SetCaption("Type");
  EXPECT_EQ(pc->Tabs()->CommaText(), "General,Type");
  // Ctrl+Tab turns the pages from a control on them.
  auto* inner = new TTabControl(form.get());
  inner->SetParent(sheets[0]);
  inner->SetFocus();
  QTest::keyClick(ClientOf(inner), Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(pc->ActivePage(), sheets[1]);
  delete sheets[1];
  EXPECT_EQ(pc->PageCount(), 2);
  EXPECT_EQ(pc->ActivePage(), sheets[0]);
}

TEST(TabSetTest, ChoosingATabAsksOnChangeAndSwitchesTheNotebookPage) {
  auto form = ShownForm(220, 170);
  auto* book = new TNotebook(form.get());
  book->SetParent(form.get());
  book->SetBounds(0, 0, 200, 100);
  book->Pages()->SetCommaText("AsString,asValue");
  EXPECT_EQ(book->PageIndex(), 0);
  auto* edit = new TTabControl(form.get());  // any control on page 0
  edit->SetParent(book->Page(0));
  auto* tabs = new TTabSet(form.get());
  tabs->SetParent(form.get());
  tabs->SetBounds(0, 100, 200, 21);
  tabs->Tabs()->SetCommaText("\"By &Value\",\"By &Range\"");
  bool allow = true;
  tabs->OnChange = [&](TObject*, int newTab, bool& ok) {
    ok = allow;
    if (ok) book->SetPageIndex(newTab);
  };
  Pump();
  const TPoint p = Middle(tabs->ItemRect(1));
  Click(tabs, p.x, p.y);
  EXPECT_EQ(tabs->TabIndex(), 1);
  EXPECT_EQ(book->ActivePage(), "asValue");
  EXPECT_FALSE(book->Page(0)->Visible());
  allow = false;
  tabs->SetTabIndex(0);
  EXPECT_EQ(tabs->TabIndex(), 1);
  allow = true;
  // Alt and the mnemonic choose a tab.
  form->Perform(CM_DIALOGCHAR, 'v', 0);
  EXPECT_EQ(tabs->TabIndex(), 0);
  EXPECT_EQ(book->ActivePage(), "AsString");
  // Renaming the other page keeps the first page and its controls.
  book->Pages()->SetStrings(1, "Range");
  EXPECT_EQ(edit->Parent(), book->Page(0));
  EXPECT_EQ(book->Page(1)->Caption(), "Range");
}
