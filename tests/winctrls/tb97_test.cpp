// Docks and toolbars on a shown form, driven with real mouse events.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/stdctrls/comboboxes.h"
#include "platform/classlib/stdctrls/edits.h"
#include "published_values.h"
#include "winctrls/colcombo.h"
#include "winctrls/tb97.h"
#include "winctrls/tb97button.h"

#include <QGuiApplication>

using namespace testing_support;

namespace {

// A plain 23 x 22 control standing for a button.
class TKnob : public TGraphicControl {
 public:
  explicit TKnob(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 23, 22); }
};

class Tb97Test : public ::testing::Test {
 protected:
  void SetUp() override {
    form = ShownForm(600, 400);
    top = NewDock("TopDock", dpTop);
    bottom = NewDock("BottomDock", dpBottom);
    left = NewDock("LeftDock", dpLeft);
    right = NewDock("RightDock", dpRight);
    bar = NewBar("Bar1", top, 3);
    Pump();
  }

  TDock97* NewDock(const char* name, TDockPosition pos) {
    auto* d = new TDock97(form.get());
    d->SetName(name);
    d->SetPosition(pos);
    d->SetParent(form.get());
    return d;
  }

  TToolWindow97* NewBar(const char* name, TDock97* dock, int buttons) {
    auto* b = new TToolWindow97(form.get());
    b->SetName(name);
    b->SetCaption(name);
    b->SetDockedTo(dock);
    b->SetDefaultDock(top);
    for (int i = 0; i < buttons; ++i) {
      if (i) (new TToolbarSep97(form.get()))->SetParent(b);
      (new TKnob(form.get()))->SetParent(b);
    }
    return b;
  }

  // Presses on the bar at a client point, moves to a screen point, releases.
  // Returns where the mouse is, in the bar's client coordinates.
  QPoint DragBar(TPoint from, TPoint toScreen, bool release = true) {
    QWidget* w = ClientOf(bar);
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, QPoint(from.x, from.y));
    const TPoint to = bar->ScreenToClient(toScreen);
    QTest::mouseMove(w, QPoint(to.x, to.y));
    if (release) QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(to.x, to.y));
    Pump();
    return QPoint(to.x, to.y);
  }

  std::unique_ptr<TForm> form;
  TDock97 *top, *bottom, *left, *right;
  TToolWindow97* bar;
};

}  // namespace

TEST_F(Tb97Test, DockedBarsLayOutTheirControlsAndShareRows) {
  // Handle 11, button 23, separator 6, ..., right margin 2; 22 + 4 high.
  EXPECT_EQ(bar->BoundsRect(), Bounds(0, 0, 11 + 3 * 23 + 2 * 6 + 2, 26));
  EXPECT_EQ(top->Height(), 26);
  EXPECT_EQ(bar->Controls(1)->BoundsRect(), Bounds(34, 2, 6, 22));
  // Looks: the raised edge, the grip bars and the separator's etched line.
  auto shot = Snapshot(bar);
  EXPECT_EQ(shot->Canvas()->Pixels(0, 10), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(shot->Canvas()->Pixels(4, 10), ColorToRGB(clBtnHighlight));  // grip's light side
  EXPECT_EQ(shot->Canvas()->Pixels(34 + 2, 10), ColorToRGB(clBtnShadow));
  EXPECT_EQ(shot->Canvas()->Pixels(34 + 3, 10), ColorToRGB(clBtnHighlight));
  // A new bar (position -1) goes to the front of its row.
  TToolWindow97* second = NewBar("Bar2", top, 1);
  EXPECT_EQ(second->BoundsRect(), Bounds(0, 0, 36, 26));
  EXPECT_EQ(bar->Left(), 36);
  second->SetDockRow(1);
  EXPECT_EQ(second->BoundsRect(), Bounds(0, 26, 36, 26));
  EXPECT_EQ(top->Height(), 52);
  second->SetVisible(false);  // a hidden bar leaves its row
  EXPECT_EQ(top->Height(), 26);
  std::vector<std::pair<bool, std::string>> told;
  left->OnInsertRemoveBar = [&](TObject*, bool in, TToolWindow97* b) { told.push_back({in, b->Name()}); };
  bar->SetDockedTo(left);
  EXPECT_EQ(bar->BoundsRect(), Bounds(0, 36, 27, 11 + 3 * 22 + 2 * 6 + 2));
  EXPECT_EQ(left->Width(), 27);
  EXPECT_EQ(top->Height(), 0);
  bar->SetDockedTo(bottom);
  second->SetVisible(true);
  EXPECT_EQ(top->Height(), 26);
  delete second;  // a freed bar leaves its dock
  EXPECT_EQ(top->Height(), 0);
  EXPECT_EQ(told, (std::vector<std::pair<bool, std::string>>{{true, "Bar1"}, {false, "Bar1"}}));
}

TEST_F(Tb97Test, BackgroundTilesAcrossTheDockAndItsBars) {
  // A 3 x 3 tile: red with a blue centre; its bottom-left red may be made see-through.
  TBitmap tile;
  tile.SetSize(3, 3);
  tile.Canvas()->Brush()->SetColor(clRed);
  tile.Canvas()->FillRect(Rect(0, 0, 3, 3));
  tile.Canvas()->SetPixels(1, 1, clBlue);
  top->SetBoundLines(TDockBoundLines{blTop});
  top->SetBackground(&tile);
  Pump();
  const TRect nc = top->NonClientMargins();
  ASSERT_EQ(nc.Top, 1);
  // Window row 1 is the tile's row 1: blue at window columns 1, 4, 7 ...
  auto dock = Snapshot(top);
  const int x = 3 * (bar->Width() / 3 + 1) + 1;  // past the bar, a blue column
  EXPECT_EQ(dock->Canvas()->Pixels(x, 1), ColorToRGB(clBlue));
  EXPECT_EQ(dock->Canvas()->Pixels(x + 1, 1), ColorToRGB(clRed));
  // In the bar at client (92, 9): the dock's window point (92, 10) -> tile (2, 1).
  auto b = Snapshot(bar);
  EXPECT_EQ(b->Canvas()->Pixels(92, 9), ColorToRGB(clRed));
  EXPECT_EQ(b->Canvas()->Pixels(91, 9), ColorToRGB(clBlue));
  top->SetBackgroundTransparent(true);
  b = Snapshot(bar);
  EXPECT_EQ(b->Canvas()->Pixels(92, 9), ColorToRGB(clBtnFace));
  EXPECT_EQ(b->Canvas()->Pixels(91, 9), ColorToRGB(clBlue));
}

TEST_F(Tb97Test, MisusesRaise) {
  EXPECT_THROW(TDock97(nullptr), EInvalidOperation);
  EXPECT_THROW(TToolWindow97(nullptr), EInvalidOperation);
  EXPECT_THROW(top->SetPosition(dpLeft), EInvalidOperation);
  EXPECT_THROW(top->SetVisible(false), EInvalidOperation);
  auto* panel = new TCustomControl(form.get());
  panel->SetParent(form.get());
  EXPECT_THROW(bar->SetParent(panel), EInvalidOperation);
  EXPECT_THROW((new TToolbarSep97(form.get()))->SetParent(panel), EInvalidOperation);
  EXPECT_THROW(top->SetParent(bar), EInvalidOperation);
  bar->SetParent(form.get());  // on the form at run time it floats
  EXPECT_EQ(bar->DockedTo(), nullptr);
}

TEST_F(Tb97Test, DraggedBetweenDocksFloatedAndDockedBack) {
  // Onto the bottom dock: a one-pixel outline while over it.
  const TPoint overBottom = form->ClientToScreen({100, 395});
  QPoint at = DragBar({5, 5}, overBottom, false);
  ASSERT_TRUE(bar->Dragging97());
  EXPECT_TRUE(bar->DragOutline()->Visible());
  EXPECT_EQ(bar->DragOutline()->Width(), 1);
  // Pressing Ctrl turns the outline into a floating one at once.
  QTest::keyPress(ClientOf(form.get()), Qt::Key_Control);
  EXPECT_EQ(bar->DragOutline()->Width(), tb97::kFrame);
  QTest::keyRelease(ClientOf(form.get()), Qt::Key_Control);  // and releasing it docks again
  EXPECT_EQ(bar->DragOutline()->Width(), 1);
  QTest::mouseRelease(ClientOf(bar), Qt::LeftButton, Qt::NoModifier, at);
  Pump();
  EXPECT_EQ(bar->DockedTo(), bottom);
  EXPECT_FALSE(bar->Dragging97());
  // Out into the middle of the form: it floats where the outline was.
  const TPoint middle = form->ClientToScreen({300, 200});
  at = DragBar({5, 5}, middle, false);
  EXPECT_EQ(bar->DragOutline()->Width(), tb97::kFrame);
  const TRect outline = bar->DragOutline()->Bounds();
  QTest::mouseRelease(ClientOf(bar), Qt::LeftButton, Qt::NoModifier, at);
  Pump();
  EXPECT_EQ(bar->DockedTo(), nullptr);
  EXPECT_EQ(bar->BoundsRect(), outline);
  EXPECT_EQ(bar->ClientWidth(), 4 + 3 * 23 + 2 * 6 + 4);
  // Ctrl keeps it floating even over a dock.
  QWidget* w = ClientOf(bar);
  QTest::mousePress(w, Qt::LeftButton, Qt::ControlModifier, QPoint(2, 2));
  TPoint to = bar->ScreenToClient(form->ClientToScreen({100, 5}));
  QTest::mouseMove(w, QPoint(to.x, to.y));
  QTest::mouseRelease(w, Qt::LeftButton, Qt::ControlModifier, QPoint(to.x, to.y));
  Pump();
  EXPECT_EQ(bar->DockedTo(), nullptr);
  // A double click on the caption docks it at the start of the default dock.
  TToolWindow97* other = NewBar("Bar2", top, 1);
  QTest::mouseDClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(20, -5));
  Pump();
  EXPECT_EQ(bar->DockedTo(), top);
  EXPECT_EQ(bar->Left(), 0);
  EXPECT_EQ(other->Left(), bar->Width());
  // And a double click on the docked handle floats it again.
  QTest::mouseDClick(ClientOf(bar), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  Pump();
  EXPECT_EQ(bar->DockedTo(), nullptr);
}

TEST_F(Tb97Test, DropsMakeNewRowsAndDocksCanRefuse) {
  TToolWindow97* second = NewBar("Bar2", top, 1);
  // Dropped with its centre just below the first row's boundary: a new row.
  bar->SetCanDockLeftRight(false);
  const TPoint below = form->ClientToScreen({200, 26 + 1});
  QPoint at = DragBar({5, 13}, below, false);
  QTest::mouseRelease(ClientOf(bar), Qt::LeftButton, Qt::NoModifier, at);
  Pump();
  EXPECT_EQ(bar->DockedTo(), top);
  EXPECT_EQ(bar->DockRow(), 1);
  EXPECT_EQ(second->DockRow(), 0);
  EXPECT_EQ(top->Height(), 52);
  // Over the left dock a bar that may not go there floats instead.
  at = DragBar({5, 13}, form->ClientToScreen({2, 200}));
  EXPECT_EQ(bar->DockedTo(), nullptr);
  // A dock that does not allow dragging takes no bar.
  bottom->SetAllowDrag(false);
  bar->SetCanDockLeftRight(true);
  const TPoint overBottom = form->ClientToScreen({100, form->ClientHeight() - 2});
  QWidget* w = ClientOf(bar);
  QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  const TPoint to = bar->ScreenToClient(overBottom);
  QTest::mouseMove(w, QPoint(to.x, to.y));
  QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(to.x, to.y));
  EXPECT_EQ(bar->DockedTo(), nullptr);
}

TEST_F(Tb97Test, AFloatingBarNeverTakesActivationFromItsForm) {
  bar->SetDockedTo(nullptr);
  bar->SetBounds(100, 100, bar->Width(), bar->Height());
  Pump(5);
  EXPECT_TRUE(form->Active());  // appearing takes nothing
  SystemClick(bar, 40, 25);     // nor does a click
  Pump(5);
  EXPECT_TRUE(form->Active());
}

// Keys as the window system delivers them: to the active window's focus.
void Type(std::initializer_list<Qt::Key> keys) {
  for (Qt::Key k : keys) {
    ASSERT_NE(QGuiApplication::focusWindow(), nullptr);
    QTest::keyClick(QGuiApplication::focusWindow(), k);
    Pump();
  }
}

TEST_F(Tb97Test, ControlsOnAFloatingBarTakeTheKeyboardAndGiveItBack) {
  auto* memo = new TEdit(form.get());  // the form's own control, which has the keys
  memo->SetParent(form.get());
  memo->SetBounds(10, 200, 120, 24);
  memo->SetAutoSelect(false);  // the keys coming back add to its text
  auto* edit = new TEdit(form.get());
  edit->SetParent(bar);
  edit->SetWidth(80);
  auto* fonts = new TComboBox(form.get());
  fonts->SetParent(bar);
  fonts->SetStyle(csDropDownList);
  fonts->Items()->Add("Arial");
  fonts->Items()->Add("Courier");
  int deactivated = 0;
  form->OnDeactivate = [&](TObject*) { ++deactivated; };
  form->FocusControl(memo);
  bar->SetDockedTo(nullptr);
  bar->SetBounds(100, 100, bar->Width(), bar->Height());
  Pump(5);
  const TRect nc = bar->NonClientMargins();
  auto clickOn = [&](TControl* c) { SystemClick(bar, nc.Left + c->Left() + 4, nc.Top + c->Top() + 4); };
  auto formHasKeys = [&] {
    return QGuiApplication::focusWindow() == vantrel::qt::WindowWidget(*form)->windowHandle() &&
           form->ActiveControl() == memo;
  };
  // A button on the bar leaves the keys where they are.
  clickOn(bar->Controls(0));
  Type({Qt::Key_A});
  EXPECT_EQ(memo->Text(), "a");
  // The edit takes them until Escape; Enter also ends the visit.
  clickOn(edit);
  Type({Qt::Key_X, Qt::Key_Y});
  EXPECT_EQ(edit->Text(), "xy");
  EXPECT_EQ(memo->Text(), "a");
  EXPECT_EQ(form->ActiveControl(), edit);
  Type({Qt::Key_Escape, Qt::Key_B});
  EXPECT_TRUE(formHasKeys());
  EXPECT_EQ(memo->Text(), "ab");
  clickOn(edit);
  Type({Qt::Key_End, Qt::Key_Z, Qt::Key_Return, Qt::Key_C});
  EXPECT_EQ(edit->Text(), "xyz");
  EXPECT_EQ(memo->Text(), "abc");
  // The font box: its list opens, a choice made with the keys closes it
  // and the keys go back; given up with Escape likewise.
  clickOn(fonts);
  EXPECT_TRUE(fonts->DroppedDown());
  EXPECT_EQ(form->ActiveControl(), fonts);
  Type({Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
  EXPECT_EQ(fonts->ItemIndex(), 1);
  EXPECT_TRUE(formHasKeys());
  clickOn(fonts);
  Type({Qt::Key_Escape, Qt::Key_D});
  EXPECT_FALSE(fonts->DroppedDown());
  EXPECT_EQ(fonts->ItemIndex(), 1);
  EXPECT_EQ(memo->Text(), "abcd");
  // All along the form stayed the active one.
  EXPECT_TRUE(form->Active());
  EXPECT_EQ(deactivated, 0);
  // The control the keys returned to may go meanwhile: the form alone takes them.
  clickOn(edit);
  delete memo;
  Type({Qt::Key_Escape});
  EXPECT_EQ(QGuiApplication::focusWindow(), vantrel::qt::WindowWidget(*form)->windowHandle());
}

TEST_F(Tb97Test, ADockedBarLaysOutAgainWhenAControlChangesSize) {
  auto* other = NewBar("Other", top, 0);
  auto* colors = new TColorComboBox(form.get());
  colors->SetParent(other);
  colors->SetWidth(145);
  auto* knob = new TKnob(form.get());
  knob->SetParent(other);
  Pump();
  EXPECT_EQ(knob->Left(), 11 + 145);
  EXPECT_EQ(other->Width(), 11 + 145 + 23 + 2);
  colors->SetWidth(110);
  EXPECT_EQ(knob->Left(), 11 + 110);
  EXPECT_EQ(other->Width(), 11 + 110 + 23 + 2);
  // A control that leaves the bar is no longer watched; one that is freed neither.
  colors->SetParent(form.get());
  colors->SetWidth(200);
  EXPECT_EQ(knob->Left(), 11);
  auto* gone = new TEdit(form.get());
  gone->SetParent(other);
  delete gone;
  delete other;  // its controls go with it, unwatched
  EXPECT_EQ(colors->Width(), 200);
}

TEST_F(Tb97Test, FloatingBarResizedThroughItsWrapWidthsAndClosed) {
  bar->SetDockedTo(nullptr);
  bar->SetBounds(100, 100, bar->Width(), bar->Height());
  Pump();
  const int oneLine = bar->Width();
  // Its own frame and caption: raised edge, caption colour, close button.
  auto shot = Snapshot(bar);
  EXPECT_EQ(shot->Canvas()->Pixels(1, 20), ColorToRGB(clBtnHighlight));  // raised edge, inner light
  EXPECT_EQ(shot->Canvas()->Pixels(tb97::kFrame + 1, tb97::kFrame + 1), ColorToRGB(clActiveCaption));
  QWidget* win = vantrel::qt::WindowWidget(*bar);
  // Drag the right edge to the left: the next narrower arrangement.
  QTest::mousePress(win, Qt::LeftButton, Qt::NoModifier, QPoint(bar->Width() - 1, 30));
  ASSERT_TRUE(bar->Dragging97());
  QTest::mouseMove(win, QPoint(oneLine - 25, 30));
  QTest::mouseRelease(win, Qt::LeftButton, Qt::NoModifier, QPoint(oneLine - 25, 30));
  Pump();
  EXPECT_EQ(bar->ClientWidth(), 4 + 2 * 23 + 6 + 4);
  EXPECT_EQ(bar->LineBreaks().size(), 1u);
  EXPECT_EQ(bar->Left(), 100);
  // The close button: releasing outside does nothing, inside hides the bar.
  int closed = 0;
  bar->OnClose = [&](TObject*) { ++closed; };
  const TRect close = tb97::CloseButtonRect({bar->Width(), bar->Height()});
  const QPoint in(close.Left + 3, close.Top + 3);
  QTest::mousePress(win, Qt::LeftButton, Qt::NoModifier, in);
  QTest::mouseMove(win, QPoint(5, 40));
  QTest::mouseRelease(win, Qt::LeftButton, Qt::NoModifier, QPoint(5, 40));
  EXPECT_TRUE(bar->Visible());
  QTest::mousePress(win, Qt::LeftButton, Qt::NoModifier, in);
  QTest::mouseRelease(win, Qt::LeftButton, Qt::NoModifier, in);
  EXPECT_FALSE(bar->Visible());
  EXPECT_EQ(closed, 1);
}

TEST_F(Tb97Test, FloatingBarsParkWhileTheApplicationIsInactive) {
  TToolWindow97* docked = NewBar("Bar2", top, 1);
  bar->SetDockedTo(nullptr);
  TMessage deactivate{CM_DEACTIVATE, 0, 0, 0};
  Application->CallMainWindowHooks(deactivate);
  EXPECT_TRUE(bar->Parked());
  EXPECT_FALSE(bar->Showing());
  EXPECT_FALSE(docked->Parked());
  SaveToolbarLayout(form.get(), "Software\\Test\\Parked");
  EXPECT_EQ(TRegIniFile("Software\\Test\\Parked").ReadInteger("Bar1", "Visible", 0), 1);
  TMessage activate{CM_ACTIVATE, 0, 0, 0};
  Application->CallMainWindowHooks(activate);
  EXPECT_FALSE(bar->Parked());
  EXPECT_TRUE(bar->Visible());
  form->Hide();  // a hidden form takes its floating bars along
  EXPECT_TRUE(bar->Parked());
  form->Show();
  Application->CallMainWindowHooks(activate);
  EXPECT_FALSE(bar->Parked());
  EXPECT_TRUE(bar->Visible());
}

TEST_F(Tb97Test, LayoutSurvivesSaveAndLoadAndDamagedValuesAreClamped) {
  const std::string key = "Software\\Test\\Toolbar";
  TToolWindow97* second = NewBar("Bar2", left, 2);
  TToolWindow97* third = NewBar("Bar3", top, 1);
  third->SetDockedTo(nullptr);
  third->SetBounds(150, 120, third->Width(), third->Height());
  second->SetDockPos(30);
  SaveToolbarLayout(form.get(), key);
  const TRect floatAt = third->BoundsRect();
  // Move everything about, then load.
  bar->SetDockedTo(bottom);
  second->SetDockedTo(nullptr);
  third->SetDockedTo(right);
  LoadToolbarLayout(form.get(), key);
  EXPECT_EQ(bar->DockedTo(), top);
  EXPECT_EQ(second->DockedTo(), left);
  EXPECT_EQ(second->Top(), 30);
  EXPECT_EQ(third->DockedTo(), nullptr);
  EXPECT_EQ(third->BoundsRect(), floatAt);
  {
    TRegIniFile reg(key);
    EXPECT_EQ(reg.ReadString("Bar3", "DockedTo", ""), "nil");
    EXPECT_EQ(reg.ReadInteger("Bar3", "FloatLeft", 0), floatAt.Left + tb97::kFrame);
    // Damage: rows and positions far out, a dock that is gone, a rectangle off every screen.
    reg.WriteString("Bar1", "DockRow", "-5");
    reg.WriteString("Bar1", "DockPos", "99999");
    reg.WriteString("Bar2", "DockedTo", "NoSuchDock");
    reg.WriteString("Bar2", "Visible", "x");
    reg.WriteInteger("Bar3", "FloatLeft", 50000);
    reg.WriteInteger("Bar3", "FloatRight", 50100);
  }
  LoadToolbarLayout(form.get(), key);
  EXPECT_EQ(bar->DockedTo(), top);
  EXPECT_EQ(bar->DockRow(), 0);
  EXPECT_EQ(bar->BoundsRect().Right, top->ClientWidth());  // pulled back inside the dock
  EXPECT_EQ(second->DockedTo(), left);
  EXPECT_TRUE(second->Visible());
  TRect onScreen;
  EXPECT_TRUE(IntersectRect(onScreen, third->BoundsRect(), Screen->WorkAreaRect()));
  EXPECT_EQ(third->BoundsRect(), tb97::MoveOnScreen(third->BoundsRect(), Screen->WorkAreaRect()));
  // A bar without a name cannot be saved or loaded.
  bar->SetName("");
  EXPECT_THROW(SaveToolbarLayout(form.get(), key), Exception);
  EXPECT_THROW(LoadToolbarLayout(form.get(), key), Exception);
}

TEST(Tb97Store, NeverFloatedRectangleIsStoredAsZero) {
  Application->Initialize();
  auto form = std::make_unique<TForm>(nullptr);
  auto* dock = new TDock97(form.get());
  dock->SetName("D");
  dock->SetParent(form.get());
  auto* bar = new TToolWindow97(form.get());
  bar->SetName("NeverFloated");
  bar->SetDockedTo(dock);
  SaveToolbarLayout(form.get(), "Software\\Test\\Zero");
  TRegIniFile reg("Software\\Test\\Zero");
  for (const char* v : {"FloatLeft", "FloatTop", "FloatRight", "FloatBottom"})
    EXPECT_EQ(reg.ReadString("NeverFloated", v, "?"), "0") << v;
}

TEST(Tb97Streaming, DocksBarsAndButtonsRoundTripThroughAFormDefinition) {
  Application->Initialize();
  TForm form(nullptr);
  form.SetName("MainForm");
  auto* dock = new TDock97(&form);
  dock->SetName("TopDock");
  dock->SetParent(&form);
  dock->SetBoundLines(TDockBoundLines{blBottom});
  auto* bar = new TToolWindow97(&form);
  bar->SetName("FilterBar");
  bar->SetDockedTo(dock);
  bar->SetDockRow(0);
  for (int i = 0; i < 2; ++i) {
    auto* b = new TToolbarButton97(&form);
    b->SetName("Filter" + std::to_string(i));
    b->SetParent(bar);
    b->SetGroupIndex(3);
    b->SetAllowAllUp(true);
  }
  static_cast<TToolbarButton97*>(bar->Controls(1))->SetDown(true);
  const std::string text = WriteComponentToText(&form);
  EXPECT_EQ(text.find("TFloatParent"), std::string::npos) << text;
  TForm back(nullptr);
  ReadComponentFromText(text, &back);
  auto* dock2 = static_cast<TDock97*>(back.FindComponent("TopDock"));
  auto* bar2 = static_cast<TToolWindow97*>(back.FindComponent("FilterBar"));
  ASSERT_TRUE(dock2 && bar2);
  EXPECT_EQ(bar2->DockedTo(), dock2);
  EXPECT_EQ(dock2->BoundLines(), TDockBoundLines{blBottom});
  EXPECT_EQ(bar2->BoundsRect(), bar->BoundsRect());
  EXPECT_TRUE(static_cast<TToolbarButton97*>(back.FindComponent("Filter1"))->Down());
  EXPECT_FALSE(static_cast<TToolbarButton97*>(back.FindComponent("Filter0"))->Down());
}

TEST(Tb97FormDefinitionTest, AFloatingBarIsPlacedFromItsPlaceOnTheForm) {
  // A bar placed on the form itself floats; its stored place is in the form's
  // client coordinates, and a place off every screen is brought back on.
  Application->Initialize();
  struct Case { int left, top; bool onScreen; };
  for (const Case c : {Case{40, 30, true}, Case{-9000, 20000, false}}) {
    const std::string text =
        "object MainForm: TForm\n  Left = 100\n  Top = 80\n  Width = 400\n  Height = 300\n"
        "  object Floater: TToolWindow97\n    Left = " + std::to_string(c.left) +
        "\n    Top = " + std::to_string(c.top) + "\n    Caption = 'Floater'\n  end\nend\n";
    TForm form(nullptr);
    ReadComponentFromText(text, &form);
    auto* bar = static_cast<TToolWindow97*>(form.FindComponent("Floater"));
    ASSERT_TRUE(bar);
    EXPECT_TRUE(bar->Floating());
    const TRect r = bar->BoundsRect();  // screen coordinates now
    if (c.onScreen) {
      EXPECT_EQ((TPoint{r.Left, r.Top}), form.ClientToScreen(TPoint{c.left, c.top}));
    } else {
      const TRect work = Screen->WorkAreaRect();
      EXPECT_GE(r.Left, work.Left);
      EXPECT_LE(r.Bottom, work.Bottom);
    }
  }
}

// A bar's default dock and a button's drop-down menu come back from the
// form's definition in text and in binary form, with the rest of both.
TEST(Tb97Streaming, DefaultDockAndDropdownMenuRoundTrip) {
  using namespace winctrls_test;
  Application->Initialize();
  TForm form(nullptr);
  form.SetName("BarForm");
  auto* top = new TDock97(&form);
  top->SetName("TopDock");
  top->SetParent(&form);
  auto* bottom = new TDock97(&form);
  bottom->SetName("BottomDock");
  bottom->SetPosition(dpBottom);
  bottom->SetParent(&form);
  auto* menu = new TPopupMenu(&form);
  menu->SetName("FilterMenu");
  auto* bar = new TToolWindow97(&form);
  bar->SetName("FilterBar");
  bar->SetDockedTo(top);
  auto* button = new TToolbarButton97(&form);
  button->SetName("FilterButton");
  button->SetParent(bar);
  SetObjectProp(bar, "DefaultDock", bottom);
  SetObjectProp(button, "DropdownMenu", menu);
  SetPublished(button, "DropdownCombo", true);
  EXPECT_EQ(PublishedValue(bar, "DefaultDock"), "BottomDock");
  EXPECT_EQ(PublishedValue(button, "DropdownMenu"), "FilterMenu");
  const auto barBefore = PublishedValues(bar), buttonBefore = PublishedValues(button);
  for (const auto& [how, copy] : ReadBack(form, [] { return std::make_unique<TForm>(nullptr); })) {
    TComponent* bar2 = copy->FindComponent("FilterBar");
    TComponent* button2 = copy->FindComponent("FilterButton");
    ASSERT_TRUE(bar2 && button2) << how;
    for (const auto& [original, loaded] : {std::pair{&barBefore, PublishedValues(bar2)},
                                           std::pair{&buttonBefore, PublishedValues(button2)}})
      for (const auto& [path, value] : *original)
        EXPECT_EQ(loaded.count(path) ? loaded.at(path) : "(missing)", value) << how << " " << path;
    EXPECT_EQ(static_cast<TToolWindow97*>(bar2)->DefaultDock(), copy->FindComponent("BottomDock")) << how;
  }
}

// A bar read from a definition orders its controls by their places as
// written, whatever order the definition lists them in: left to right, or
// top to bottom on a bar docked left or right.
TEST(Tb97FormDefinitionTest, ControlsAreOrderedByTheirPlaces) {
  Application->Initialize();
  struct Case {
    const char* dock;
    const char* coordinate;
  } cases[] = {{"dpTop", "Left"}, {"dpLeft", "Top"}};
  for (const Case& c : cases) {
    auto button = [&](const char* name, int at) {
      return std::string("      object ") + name + ": TToolbarButton97\n        " + c.coordinate +
             " = " + std::to_string(at) + "\n        Width = 23\n        Height = 22\n      end\n";
    };
    const std::string text = std::string("object BarForm: TForm\n  Width = 400\n  Height = 300\n") +
                             "  object Dock: TDock97\n    Position = " + c.dock + "\n" +
                             "    object Bar: TToolWindow97\n" + button("Third", 80) +
                             button("First", 11) + button("Second", 40) + "    end\n  end\nend\n";
    TForm form(nullptr);
    ReadComponentFromText(text, &form);
    std::vector<int> places;
    for (const char* name : {"First", "Second", "Third"}) {
      auto* b = static_cast<TControl*>(form.FindComponent(name));
      ASSERT_NE(b, nullptr) << name;
      places.push_back(std::string(c.coordinate) == "Left" ? b->Left() : b->Top());
    }
    EXPECT_LT(places[0], places[1]) << c.dock;
    EXPECT_LT(places[1], places[2]) << c.dock;
  }
}

namespace {

// A form whose handlers a definition can name.
class TMemberForm : public TForm {
  DECLARE_CLASS(TMemberForm, TForm)
 public:
  using TForm::TForm;
  void ComboGetColorNum(TObject*, int& num) { num = 17; }
  void ComboGetColor(TObject*, int index, TColor& color, std::string& name) {
    if (index != 16) return;
    color = TColor(0x123456);
    name = "Brand";
  }
  void ComboDragDrop(TObject*, TObject*, int, int) {}
  void ComboDragOver(TObject*, TObject*, int, int, TDragState, bool& accept) { accept = true; }
  void ComboEndDrag(TObject*, TObject*, int, int) {}
};

}  // namespace

IMPLEMENT_CLASS(TMemberForm, TForm)
PUBLISHED(TMemberForm) {
  PUBLISHED_METHOD(ComboGetColorNum);
  PUBLISHED_METHOD(ComboGetColor);
  PUBLISHED_METHOD(ComboDragDrop);
  PUBLISHED_METHOD(ComboDragOver);
  PUBLISHED_METHOD(ComboEndDrag);
}

// A form definition naming the dock's and the bar's popup menus, the bar's
// dock, the colour combo's members and colours by their identifiers is read
// as written, and comes back the same through text and binary definitions.
TEST(Tb97Streaming, PublishedMembersAndColourIdentifiersRoundTrip) {
  using namespace winctrls_test;
  Application->Initialize();
  const std::string text =
      "object MemberForm: TMemberForm\n"
      "  Width = 500\n  Height = 300\n  Color = clAppWorkSpace\n"
      "  object TopDock: TDock97\n    PopupMenu = BarMenu\n"
      "    object FontBar: TToolWindow97\n      Caption = 'Font'\n"
      "      DockedTo = TopDock\n      PopupMenu = BarMenu\n"
      "      object ColorCombo: TColorComboBox\n        Left = 11\n        Top = 2\n"
      "        Width = 102\n        Ctl3D = False\n        ParentCtl3D = False\n"
      "        DragMode = dmAutomatic\n        DragCursor = -21\n        PopupMenu = BarMenu\n"
      "        Color = clInfoBk\n        SelectedColor = clRed\n"
      "        OnGetColorNum = ComboGetColorNum\n        OnGetColor = ComboGetColor\n"
      "        OnDragDrop = ComboDragDrop\n        OnDragOver = ComboDragOver\n"
      "        OnEndDrag = ComboEndDrag\n"
      "      end\n    end\n  end\n"
      "  object BarMenu: TPopupMenu\n  end\n"
      "end\n";
  TMemberForm form(nullptr);
  ReadComponentFromText(text, &form);
  auto* dock = static_cast<TDock97*>(form.FindComponent("TopDock"));
  auto* bar = static_cast<TToolWindow97*>(form.FindComponent("FontBar"));
  auto* combo = static_cast<TColorComboBox*>(form.FindComponent("ColorCombo"));
  auto* menu = static_cast<TPopupMenu*>(form.FindComponent("BarMenu"));
  ASSERT_TRUE(dock && bar && combo && menu);
  EXPECT_EQ(form.Color(), clAppWorkSpace);
  EXPECT_EQ(dock->PopupMenu(), menu);
  EXPECT_EQ(bar->PopupMenu(), menu);
  EXPECT_EQ(bar->DockedTo(), dock);
  EXPECT_EQ(combo->PopupMenu(), menu);
  EXPECT_EQ(combo->Color(), clInfoBk);
  EXPECT_EQ(combo->SelectedColor(), clRed);
  EXPECT_FALSE(combo->Ctl3D());
  EXPECT_FALSE(combo->ParentCtl3D());
  combo->HandleNeeded();
  EXPECT_EQ(GetWindowLong(combo, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0) << "a flat frame";
  EXPECT_EQ(combo->DragMode(), dmAutomatic);
  EXPECT_EQ(combo->DragCursor(), crHandPoint);
  // The colour events, bound by the definition, made the list.
  ASSERT_EQ(combo->Items()->Count(), 17);
  EXPECT_EQ(combo->Items()->Strings(16), "Brand");
  for (const char* event : {"OnDragDrop", "OnDragOver", "OnEndDrag"})
    EXPECT_TRUE(GetMethodProp(combo, event).Assigned()) << event;
  // Written back: colours and cursors by their identifiers, the rest as read.
  const std::string written = WriteComponentToText(&form);
  for (const char* line : {"Color = clAppWorkSpace", "Color = clInfoBk", "SelectedColor = clRed",
                           "DockedTo = TopDock", "OnGetColor = ComboGetColor", "DragCursor = crHandPoint"})
    EXPECT_NE(written.find(line), std::string::npos) << line << " in\n" << written;
  std::map<std::string, std::map<std::string, std::string>> before;
  for (TComponent* c : std::initializer_list<TComponent*>{&form, dock, bar, combo})
    before[c->Name()] = PublishedValues(c);
  for (const auto& [how, copy] : ReadBack(form, [] { return std::make_unique<TMemberForm>(nullptr); }))
    for (const auto& [name, values] : before) {
      TComponent* loaded = name == form.Name() ? copy.get() : copy->FindComponent(name);
      ASSERT_TRUE(loaded) << how << " " << name;
      const auto after = PublishedValues(loaded);
      for (const auto& [path, value] : values) {
        if (path == "Left" || path == "Top") continue;  // a form's place is the window system's
        EXPECT_EQ(after.count(path) ? after.at(path) : "(missing)", value) << how << " " << name << "." << path;
      }
    }
}
