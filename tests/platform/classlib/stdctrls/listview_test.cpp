#include <gtest/gtest.h>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/graphics/colors.h"
#include "platform/classlib/stdctrls/listview.h"
#include "platform/classlib/stdctrls/statusbar.h"

using namespace testing_support;

namespace {

// A report with two columns and the rows given as "caption:sub-item".
TListView* NewReport(TWinControl* parent, const std::vector<std::string>& rows) {
  auto* lv = new TListView(parent);
  lv->SetParent(parent);
  lv->SetBounds(0, 0, 200, 120);
  lv->SetViewStyle(vsReport);
  for (auto [caption, width, align] : {std::tuple{"Name", 100, taLeftJustify}, {"Size", 80, taRightJustify}}) {
    TListColumn* col = lv->Columns()->Add();
    col->SetCaption(caption);
    col->SetWidth(width);
    col->SetAlignment(align);
  }
  for (const std::string& row : rows) {
    TListItem* item = lv->Items()->Add();
    const auto colon = row.find(':');
    item->SetCaption(row.substr(0, colon));
    item->SubItems()->Add(row.substr(colon + 1));
  }
  return lv;
}

std::vector<std::string> Captions(TListView* lv) {
  std::vector<std::string> out;
  for (int i = 0; i < lv->Items()->Count(); ++i) out.push_back(lv->Items()->Item(i)->Caption());
  return out;
}

std::vector<std::string> SelectedCaptions(TListView* lv) {
  std::vector<std::string> out;
  for (TListItem* i = lv->Selected(); i; i = lv->GetNextSelected(i)) out.push_back(i->Caption());
  return out;
}

}  // namespace

TEST(ListViewTest, ReportRowsSitUnderTheHeaderAndTheMouseAndKeysSelect) {
  auto form = ShownForm(220, 150);
  TListView* lv = NewReport(form.get(), {"b.txt:10", "a.zip:2000", "c.bmp:5"});
  lv->SetMultiSelect(true);
  std::vector<std::string> log;
  lv->OnSelectItem = [&](TObject*, TListItem* item, bool selected) {
    log.push_back((selected ? "+" : "-") + item->Caption());
  };
  Pump();
  const TRect first = lv->ItemRect(lv->Items()->Item(0));
  EXPECT_GT(first.Top, 0);  // below the header
  EXPECT_EQ(first.Width(), 180);
  EXPECT_EQ(lv->GetItemAt(10, first.Top + 2), lv->Items()->Item(0));
  EXPECT_EQ(lv->GetItemAt(10, 2), nullptr);  // on the header
  Click(lv, 10, first.Top + 2);
  QTest::keyClick(ClientOf(lv), Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(SelectedCaptions(lv), (std::vector<std::string>{"b.txt", "a.zip"}));
  EXPECT_EQ(lv->ItemFocused(), lv->Items()->Item(1));
  EXPECT_EQ(lv->SelCount(), 2);
  QTest::mouseClick(ClientOf(lv), Qt::LeftButton, Qt::ControlModifier,
                    QPoint(10, lv->ItemRect(lv->Items()->Item(2)).Top + 2));
  EXPECT_EQ(lv->SelCount(), 3);
  // A click on no item lets go of the selection.
  Click(lv, 10, 110);
  EXPECT_EQ(lv->Selected(), nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"+b.txt", "+a.zip", "+c.bmp", "-b.txt", "-a.zip", "-c.bmp"}));
  // Hot tracking follows the mouse; a double click reaches OnDblClick.
  lv->SetHotTrack(true);
  const TRect third = lv->ItemRect(lv->Items()->Item(2));
  QTest::mouseMove(ClientOf(lv), QPoint(10, third.Top + 2));
  EXPECT_EQ(lv->HotItem(), lv->Items()->Item(2));
  int doubles = 0;
  lv->OnDblClick = [&](TObject*) { ++doubles; };
  QTest::mouseDClick(ClientOf(lv), Qt::LeftButton, Qt::NoModifier, QPoint(10, third.Top + 2));
  EXPECT_EQ(doubles, 1);
  EXPECT_EQ(SelectedCaptions(lv), (std::vector<std::string>{"c.bmp"}));
  // A single selection keeps one item.
  lv->SetMultiSelect(false);
  lv->Items()->Item(0)->SetSelected(true);
  lv->Items()->Item(1)->SetSelected(true);
  EXPECT_EQ(SelectedCaptions(lv), (std::vector<std::string>{"a.zip"}));
}

TEST(ListViewTest, KeysScrollTheFocusedItemIntoView) {
  auto form = ShownForm(220, 150);
  std::vector<std::string> rows;
  for (int i = 0; i < 30; ++i) rows.push_back("file" + std::to_string(i) + ":" + std::to_string(i));
  TListView* lv = NewReport(form.get(), rows);
  Pump();
  lv->SetFocus();
  QTest::keyClick(ClientOf(lv), Qt::Key_End);
  TListItem* last = lv->Items()->Item(29);
  EXPECT_EQ(lv->ItemFocused(), last);
  EXPECT_LE(lv->ItemRect(last).Bottom, lv->ClientHeight());
  EXPECT_NE(lv->TopItem(), lv->Items()->Item(0));
  QTest::keyClick(ClientOf(lv), Qt::Key_Home);
  EXPECT_EQ(lv->TopItem(), lv->Items()->Item(0));
}

TEST(ListViewTest, SortingByCaptionByOnCompareAndByCustomSort) {
  auto form = ShownForm(220, 150);
  TListView* lv = NewReport(form.get(), {"b.txt:10", "a.zip:2000", "c.bmp:5"});
  lv->SetSortType(stText);
  EXPECT_EQ(Captions(lv), (std::vector<std::string>{"a.zip", "b.txt", "c.bmp"}));
  lv->Items()->Add()->SetCaption("Aa.doc");
  EXPECT_EQ(Captions(lv)[1], "Aa.doc");
  lv->SetSortType(stNone);
  // By size, through OnCompare.
  lv->OnCompare = [](TObject*, TListItem* a, TListItem* b, int, int& result) {
    const int x = a->SubItems()->Count() ? std::stoi(a->SubItems()->Strings(0)) : 0;
    const int y = b->SubItems()->Count() ? std::stoi(b->SubItems()->Strings(0)) : 0;
    result = x - y;
  };
  lv->AlphaSort();
  EXPECT_EQ(Captions(lv), (std::vector<std::string>{"Aa.doc", "c.bmp", "b.txt", "a.zip"}));
  lv->CustomSort([](TListItem* a, TListItem* b, long dir) { return int(dir) * a->Caption().compare(b->Caption()); }, -1);
  EXPECT_EQ(Captions(lv), (std::vector<std::string>{"c.bmp", "b.txt", "a.zip", "Aa.doc"}));
  // Finding captions ignores case, from after the start, wrapping when asked.
  struct {
    int start;
    const char* value;
    bool partial, inclusive, wrap;
    const char* want;
  } cases[] = {
      {-1, "B.TXT", false, false, false, "b.txt"}, {1, "b.txt", false, false, false, nullptr},
      {1, "b.txt", false, false, true, "b.txt"},   {1, "b.txt", false, true, false, "b.txt"},
      {0, "a", true, false, false, "a.zip"},       {2, "a", true, false, false, "Aa.doc"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    TListItem* found = lv->FindCaption(c.start, c.value, c.partial, c.inclusive, c.wrap);
    EXPECT_EQ(found ? found->Caption() : "none", c.want ? c.want : "none");
  }
}

TEST(ListViewTest, SelectionStaysVisibleWithoutFocusOnlyWhenAsked) {
  auto form = ShownForm(220, 150);
  TListView* lv = NewReport(form.get(), {"one:1", "two:2"});
  auto* other = new TListView(form.get());
  other->SetParent(form.get());
  other->SetBounds(0, 125, 50, 20);
  lv->Items()->Item(0)->SetSelected(true);
  const TRect r = lv->ItemRect(lv->Items()->Item(0));
  // Inside the label before its text, in window pixels (inside the 2-pixel frame).
  const int x = 2 + 3, y = 2 + (r.Top + r.Bottom) / 2;
  struct {
    bool focused, hide;
    TColor want;
  } cases[] = {
      {true, true, clHighlight}, {false, true, clWindow}, {false, false, clBtnFace}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.focused * 2 + c.hide);
    lv->SetHideSelection(c.hide);
    if (c.focused) lv->SetFocus();
    else other->SetFocus();
    Pump();
    auto shot = Snapshot(lv);
    EXPECT_EQ(shot->Canvas()->Pixels(x, y), ColorToRGB(c.want));
  }
}

TEST(ListViewTest, IconViewsLayOutInRowsAndTheListInColumns) {
  auto form = ShownForm(220, 150);
  TListView* lv = NewReport(form.get(), {"a:1", "b:2", "c:3", "d:4", "e:5", "f:6", "g:7", "h:8"});
  TImageList large(nullptr);
  large.SetWidth(32);
  large.SetHeight(32);
  lv->SetLargeImages(&large);
  struct {
    TViewStyle style;
    Qt::Key key;  // from the first item
    int want;
  } cases[] = {{vsIcon, Qt::Key_Right, 1},
               // Two icon cells of 76 fit in the 196-pixel client width.
               {vsIcon, Qt::Key_Down, 2},
               {vsSmallIcon, Qt::Key_Right, 1}, {vsList, Qt::Key_Down, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.style));
    lv->SetViewStyle(c.style);
    const TRect a = lv->ItemRect(lv->Items()->Item(0)), b = lv->ItemRect(lv->Items()->Item(1));
    if (c.style == vsList) EXPECT_EQ(b.Left, a.Left);   // down the column
    else EXPECT_EQ(b.Top, a.Top);                        // along the row
    lv->SetFocus();
    lv->Items()->Item(0)->SetFocused(true);
    QTest::keyClick(ClientOf(lv), c.key);
    ASSERT_NE(lv->ItemFocused(), nullptr);
    EXPECT_EQ(lv->ItemFocused()->Index(), c.want);
    EXPECT_EQ(lv->Selected(), lv->ItemFocused());
  }
  lv->SetLargeImages(nullptr);
}

TEST(StatusBarTest, PanelsShareTheBarAndOwnerDrawnPanelsPaintTheirRectangle) {
  auto form = ShownForm(220, 150);
  auto* sb = new TStatusBar(form.get());
  sb->SetParent(form.get());
  EXPECT_EQ(sb->Align(), alBottom);
  EXPECT_EQ(sb->Width(), form->ClientWidth());
  TStatusPanel* text = sb->Panels()->Add();
  text->SetText("Ready");
  text->SetWidth(80);
  TStatusPanel* drawn = sb->Panels()->Add();
  drawn->SetStyle(psOwnerDraw);
  TRect seen;
  sb->OnDrawPanel = [&](TStatusBar* bar, TStatusPanel* panel, const TRect& r) {
    EXPECT_EQ(panel, drawn);
    seen = r;
    bar->Canvas()->Brush()->SetColor(clLime);
    bar->Canvas()->FillRect(r);
  };
  EXPECT_EQ(sb->PanelRect(0), Rect(0, 2, 80, 19));
  EXPECT_EQ(sb->PanelRect(1), Rect(82, 2, sb->ClientWidth(), 19));  // the last one reaches the end
  auto shot = Snapshot(sb);
  EXPECT_EQ(seen, Rect(83, 3, sb->ClientWidth() - 1, 18));
  EXPECT_EQ(shot->Canvas()->Pixels(100, 10), clLime);
  EXPECT_GT(CountPixels(*shot, clBlack), 10);  // "Ready"
  // The simple text replaces the panels.
  sb->SetSimplePanel(true);
  sb->SetSimpleText("");
  shot = Snapshot(sb);
  EXPECT_EQ(CountPixels(*shot, clLime), 0);
  EXPECT_EQ(CountPixels(*shot, clBlack), 0);
  sb->SetSimpleText("Average Times");
  shot = Snapshot(sb);
  EXPECT_GT(CountPixels(*shot, clBlack), 10);
}
