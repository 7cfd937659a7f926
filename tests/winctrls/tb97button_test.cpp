// Toolbar buttons: groups, Down, drop-down menus and generated glyphs.

#include <gtest/gtest.h>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/extctrls.h"
#include "winctrls/tb97button.h"

#include <QApplication>
#include <QCursor>

#include <functional>

using namespace testing_support;

namespace {

class ButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = ShownForm(300, 100);
    for (int i = 0; i < 3; ++i) {
      b[i] = new TToolbarButton97(form.get());
      b[i]->SetParent(form.get());
      b[i]->SetBounds(10 + 40 * i, 10, 23, 22);
      b[i]->OnClick = [this, i](TObject*) { clicks.push_back(i); };
    }
    Pump();
  }
  void ClickOn(int i, int dx = 5) { Click(form.get(), b[i]->Left() + dx, b[i]->Top() + 5); }

  std::unique_ptr<TForm> form;
  TToolbarButton97* b[3];
  std::vector<int> clicks;
};

}  // namespace

TEST_F(ButtonTest, GroupsDownAndAllowAllUp) {
  b[0]->SetDown(true);  // no group: stays up
  EXPECT_FALSE(b[0]->Down());
  for (auto* x : b) x->SetGroupIndex(1);
  b[0]->SetDown(true);
  ClickOn(1);
  EXPECT_TRUE(b[1]->Down());
  EXPECT_FALSE(b[0]->Down());
  EXPECT_EQ(clicks, std::vector<int>{1});  // setting Down ran no OnClick
  ClickOn(1);  // without AllowAllUp the down one cannot be released
  EXPECT_TRUE(b[1]->Down());
  b[1]->SetDown(false);
  EXPECT_TRUE(b[1]->Down());
  b[2]->SetAllowAllUp(true);  // shared by the whole group
  EXPECT_TRUE(b[0]->AllowAllUp());
  ClickOn(1);
  EXPECT_FALSE(b[1]->Down());
  b[2]->SetCaption("&Print");  // Alt with the mnemonic clicks it
  clicks.clear();
  QTest::keyClick(ClientOf(form.get()), Qt::Key_P, Qt::AltModifier);
  EXPECT_EQ(clicks, std::vector<int>{2});
  b[0]->SetNumGlyphs(9);
  EXPECT_EQ(b[0]->NumGlyphs(), 5);
  b[0]->SetMargin(-5);
  EXPECT_EQ(b[0]->Margin(), -1);
}

TEST_F(ButtonTest, DropdownMenusOpenOnTheArrowPart) {
  TPopupMenu menu(form.get());
  int popups = 0;
  menu.OnPopup = [&](TObject*) { ++popups; };
  b[0]->SetDropdownMenu(&menu);
  b[0]->SetDropdownCombo(true);
  EXPECT_EQ(b[0]->Width(), 23 + 11);
  ClickOn(0, 30);  // the arrow part: the menu, no OnClick
  menu.ClosePopup();
  EXPECT_EQ(popups, 1);
  EXPECT_TRUE(clicks.empty());
  ClickOn(0, 5);  // the rest: OnClick only
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(clicks, std::vector<int>{0});
  b[1]->SetDropdownMenu(&menu);  // no combo: the whole button opens it
  ClickOn(1);
  menu.ClosePopup();
  EXPECT_EQ(popups, 2);
  EXPECT_EQ(clicks, std::vector<int>{0});
}

TEST_F(ButtonTest, ClickingAgainWhileItsMenuIsOpenClosesIt) {
  TPopupMenu menu(form.get());
  auto* item = new TMenuItem(form.get());
  item->SetCaption("Preview");
  menu.Items()->Add(item);
  int popups = 0;
  menu.OnPopup = [&](TObject*) { ++popups; };
  b[0]->SetDropdownMenu(&menu);
  const int x = b[0]->Left() + 5, y = b[0]->Top() + 5;
  SystemClick(form.get(), x, y);
  ASSERT_NE(QApplication::activePopupWidget(), nullptr);
  SystemClick(form.get(), x, y);  // the press that closes the menu opens nothing
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  EXPECT_EQ(popups, 1);
  EXPECT_NE(b[0]->State(), bsDown97);
  SystemClick(form.get(), x, y);  // a later click opens it again
  EXPECT_EQ(popups, 2);
  menu.ClosePopup();
}

// However the drop-down menu closes, the button lets the mouse go: the next
// click reaches the control under the pointer, a window or a windowless one.
TEST_F(ButtonTest, TheNextClickAfterItsMenuClosedReachesTheControlUnderIt) {
  TPopupMenu menu(form.get());
  auto* item = new TMenuItem(form.get());
  item->SetCaption("Clear");
  menu.Items()->Add(item);
  int popups = 0, chosen = 0, windowClicks = 0;
  menu.OnPopup = [&](TObject*) { ++popups; };
  item->OnClick = [&](TObject*) { ++chosen; };
  auto* window = new TPanel(form.get());
  window->SetParent(form.get());
  window->SetBounds(150, 50, 100, 40);
  window->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++windowClicks; };
  b[0]->SetDropdownMenu(&menu);
  b[0]->SetDropdownCombo(true);  // the arrow part opens it
  b[1]->SetDropdownMenu(&menu);  // the whole button opens it
  Pump();
  const auto popup = [] { return QApplication::activePopupWidget(); };
  struct Road {
    const char* name;
    std::function<void()> close;
  } roads[] = {
      {"Escape", [&] { QTest::keyClick(popup(), Qt::Key_Escape); }},
      {"an item chosen", [&] {
         QTest::keyClick(popup(), Qt::Key_Down);
         QTest::keyClick(popup(), Qt::Key_Return);
       }},
      {"a click elsewhere", [&] { SystemClick(form.get(), 280, 90); }},
      {"closed by the program", [&] { menu.ClosePopup(); }},
  };
  for (int opener : {0, 1})
    for (const Road& road : roads) {
      SCOPED_TRACE(std::string(road.name) + (opener ? ", inline arrow" : ", arrow part"));
      SystemClick(form.get(), b[opener]->Left() + b[opener]->Width() - 4, b[opener]->Top() + 5);
      ASSERT_NE(popup(), nullptr);
      road.close();
      Pump();
      ASSERT_EQ(popup(), nullptr);
      EXPECT_EQ(GetCaptureControl(), nullptr);
      const int opened = popups, clicked = windowClicks;
      clicks.clear();
      SystemClick(form.get(), 160, 60);  // a window
      SystemClick(form.get(), b[2]->Left() + 5, b[2]->Top() + 5);  // a windowless button
      EXPECT_EQ(popup(), nullptr);
      EXPECT_EQ(popups, opened);
      EXPECT_EQ(windowClicks, clicked + 1);
      EXPECT_EQ(clicks, std::vector<int>{2});
    }
  EXPECT_EQ(chosen, 2);
}

TEST_F(ButtonTest, HotTrackingEndsWithoutALeaveMessage) {
  auto hover = [&](int i) {
    QTest::mouseMove(ClientOf(form.get()), QPoint(b[i]->Left() + 5, b[i]->Top() + 5));
    Pump();
  };
  QTest::mouseMove(ClientOf(form.get()), QPoint(280, 80));  // from nowhere in particular
  hover(0);
  ASSERT_TRUE(b[0]->MouseInControl());
  hover(1);  // one hot button at a time
  EXPECT_FALSE(b[0]->MouseInControl());
  // Off onto no window of ours, with no leave message: gone at the next tick.
  QCursor::setPos(5000, 5000);
  EXPECT_TRUE(b[1]->MouseInControl());
  EXPECT_TRUE(WaitFor([&] { return !b[1]->MouseInControl(); }));
  // The application losing activation ends it at once.
  hover(2);
  ASSERT_TRUE(b[2]->MouseInControl());
  TMessage deactivate{CM_DEACTIVATE, 0, 0, 0};
  Application->CallMainWindowHooks(deactivate);
  EXPECT_FALSE(b[2]->MouseInControl());
  QTest::mouseMove(ClientOf(form.get()), QPoint(280, 80));  // leaves no pointer on a button
}

TEST_F(ButtonTest, GlyphsAndLooksByPixels) {
  // A 32 x 16 picture: two cells, up (black square) and its own disabled cell.
  TBitmap pic;
  pic.SetSize(32, 16);
  pic.Canvas()->Brush()->SetColor(clOlive);
  pic.Canvas()->FillRect(Rect(0, 0, 32, 16));
  pic.Canvas()->Brush()->SetColor(clBlack);
  pic.Canvas()->FillRect(Rect(4, 4, 12, 12));
  pic.Canvas()->Brush()->SetColor(clGray);
  pic.Canvas()->FillRect(Rect(20, 4, 28, 12));
  b[0]->SetGlyph(&pic);
  EXPECT_EQ(b[0]->NumGlyphs(), 2);
  TBitmap* disabled = b[0]->GlyphImage(bsDisabled97);
  EXPECT_EQ(disabled->Canvas()->Pixels(6, 6), ColorToRGB(clBtnShadow));
  // With one cell the disabled image is embossed: highlight one pixel down and right.
  b[1]->SetGlyph(&pic);
  b[1]->SetNumGlyphs(1);
  TBitmap* up = b[1]->GlyphImage(bsUp97);
  TBitmap* gen = b[1]->GlyphImage(bsDisabled97);
  EXPECT_EQ(up->Width(), 33);
  EXPECT_EQ(up->Canvas()->Pixels(5, 5), ColorToRGB(clBlack));
  EXPECT_EQ(gen->Canvas()->Pixels(4, 4), ColorToRGB(clBtnShadow));
  EXPECT_EQ(gen->Canvas()->Pixels(12, 12), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(gen->Canvas()->Pixels(2, 2), ColorToRGB(clBtnFace));
  // On screen: flat and up shows no border, a down grouped button a sunken one
  // and its checker; the glyph is centred and moves by (1, 1) when down.
  pic.SetSize(16, 16);  // the first cell alone
  b[2]->SetGlyph(&pic);
  auto shot = Snapshot(form.get());
  const TRect nc = form->NonClientMargins();
  auto px = [&](TBitmap* s, int x, int y) {
    return s->Canvas()->Pixels(nc.Left + b[2]->Left() + x, nc.Top + b[2]->Top() + y);
  };
  EXPECT_EQ(px(shot.get(), 0, 0), ColorToRGB(clBtnFace));
  EXPECT_EQ(px(shot.get(), 8, 7), ColorToRGB(clBlack));  // glyph at (4, 3) + square at 4
  // Hot: the mouse over a flat button raises its border.
  int enters = 0;
  b[2]->OnMouseEnter = [&](TObject*) { ++enters; };
  QTest::mouseMove(ClientOf(form.get()), QPoint(b[2]->Left() + 5, b[2]->Top() + 5));
  EXPECT_TRUE(b[2]->MouseInControl());
  EXPECT_EQ(enters, 1);
  EXPECT_EQ(px(Snapshot(form.get()).get(), 0, 0), ColorToRGB(clBtnHighlight));
  QTest::mouseMove(ClientOf(form.get()), QPoint(280, 80));
  EXPECT_FALSE(b[2]->MouseInControl());
  b[2]->SetGroupIndex(2);
  b[2]->SetDown(true);
  shot = Snapshot(form.get());
  EXPECT_EQ(px(shot.get(), 0, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(px(shot.get(), 9, 8), ColorToRGB(clBlack));
  EXPECT_NE(px(shot.get(), 2, 2), px(shot.get(), 3, 2));  // the checker
}

TEST_F(ButtonTest, AFlatButtonThatIsNotOpaqueShowsItsParent) {
  form->SetColor(clYellow);
  b[0]->SetColor(clAqua);
  const TRect nc = form->NonClientMargins();
  auto face = [&] {
    auto shot = Snapshot(form.get());
    return shot->Canvas()->Pixels(nc.Left + b[0]->Left() + 2, nc.Top + b[0]->Top() + 2);
  };
  EXPECT_TRUE(b[0]->Opaque());
  EXPECT_EQ(face(), ColorToRGB(clAqua));
  b[0]->SetOpaque(false);
  EXPECT_FALSE(b[0]->ControlStyle().Contains(csOpaque));
  EXPECT_EQ(face(), ColorToRGB(clYellow));
  b[0]->SetFlat(false);  // a raised button is always painted whole
  EXPECT_TRUE(b[0]->ControlStyle().Contains(csOpaque));
  EXPECT_EQ(face(), ColorToRGB(clBtnFace));  // its raised face
}

TEST_F(ButtonTest, AWrappedCaptionTakesSeveralLines) {
  b[0]->SetBounds(10, 10, 70, 60);
  b[0]->SetCaption("Alpha Beta Gamma");
  b[0]->SetDisplayMode(dmTextOnly);
  auto inkRows = [&] {
    auto shot = Snapshot(form.get());
    const TRect nc = form->NonClientMargins();
    int rows = 0;
    for (int y = 2; y < b[0]->Height() - 2; ++y) {
      bool ink = false;
      for (int x = 2; x < b[0]->Width() - 2 && !ink; ++x)
        ink = shot->Canvas()->Pixels(nc.Left + b[0]->Left() + x, nc.Top + b[0]->Top() + y) ==
              ColorToRGB(clBlack);
      rows += ink;
    }
    return rows;
  };
  const int oneLine = inkRows();
  b[0]->SetWordWrap(true);
  EXPECT_GE(inkRows(), 2 * oneLine);
}

TEST_F(ButtonTest, GeneratedGlyphsFollowASystemColourChange) {
  TBitmap pic;
  pic.SetSize(16, 16);
  pic.Canvas()->Brush()->SetColor(clOlive);
  pic.Canvas()->FillRect(Rect(0, 0, 16, 16));
  pic.Canvas()->Brush()->SetColor(clBlack);
  pic.Canvas()->FillRect(Rect(4, 4, 12, 12));
  b[0]->SetGlyph(&pic);
  EXPECT_EQ(b[0]->GlyphImage(bsDisabled97)->Canvas()->Pixels(4, 4), RGB(128, 128, 128));
  SetSysColor(COLOR_BTNSHADOW, RGB(10, 20, 30));
  b[0]->Perform(CM_SYSCOLORCHANGE);
  const TColor shadow = b[0]->GlyphImage(bsDisabled97)->Canvas()->Pixels(4, 4);
  ResetSysColors();
  EXPECT_EQ(shadow, RGB(10, 20, 30));
}
