#include <gtest/gtest.h>

#include <QScreen>
#include <QTimer>

#include <vector>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/outline.h"
#include "platform/classlib/controls/winapi.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/stdctrls/place.h"

using namespace testing_support;

namespace {

// A window that records the messages it gets and paints a colour.
class TProbe : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<UINT> seen;
  TColor paint = clNone;
  int paints = 0;
  void Dispatch(TMessage& m) override {
    seen.push_back(m.Msg);
    if (m.Msg == WM_USER + 1) {
      m.Result = 42;
      return;
    }
    TCustomControl::Dispatch(m);
  }
  bool Saw(UINT msg) const { return std::find(seen.begin(), seen.end(), msg) != seen.end(); }

 protected:
  void PaintContent() override {
    ++paints;
    if (paint == clNone) return;
    Canvas()->Brush()->SetColor(paint);
    Canvas()->FillRect(ClientRect());
  }
};

// A windowless control painted by its parent.
class TSpot : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  TColor color = clRed;
  int downs = 0, moves = 0, ups = 0, enters = 0, leaves = 0;
  TPoint last;
  void Dispatch(TMessage& m) override {
    if (m.Msg == CM_MOUSEENTER) ++enters;
    if (m.Msg == CM_MOUSELEAVE) ++leaves;
    TGraphicControl::Dispatch(m);
  }

 protected:
  void PaintContent() override {
    Canvas()->Brush()->SetColor(color);
    Canvas()->FillRect(ClientRect());
  }
  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
    ++downs;
    last = {x, y};
    TGraphicControl::MouseDown(b, s, x, y);
  }
  void MouseMove(TShiftState s, int x, int y) override {
    ++moves;
    last = {x, y};
    TGraphicControl::MouseMove(s, x, y);
  }
  void MouseUp(TMouseButton b, TShiftState s, int x, int y) override {
    ++ups;
    last = {x, y};
    TGraphicControl::MouseUp(b, s, x, y);
  }
};

// A window with a 3-pixel frame of its own (non-client margins it paints).
class TFramed : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  int ncClicks = 0;
  LRESULT lastHit = 0;
  void Dispatch(TMessage& m) override {
    switch (m.Msg) {
      case WM_NCCALCSIZE: {
        auto* p = reinterpret_cast<TNCCalcSizeParams*>(m.LParam);
        InflateRect(p->rgrc[0], -3, -3);
        p->rgrc[0].Top += 2;  // a thicker top edge
        return;
      }
      case WM_NCPAINT: {
        auto* dc = reinterpret_cast<TCanvas*>(m.WParam);
        dc->Brush()->SetColor(clBlue);
        dc->FillRect(Rect(0, 0, Width(), Height()));
        return;
      }
      case WM_NCLBUTTONDOWN:
        ++ncClicks;
        lastHit = LRESULT(m.WParam);
        return;
      default:
        TCustomControl::Dispatch(m);
    }
  }

 protected:
  void PaintContent() override {
    Canvas()->Brush()->SetColor(clYellow);
    Canvas()->FillRect(ClientRect());
  }
};

// A window with a windowless control on it, on a shown form.
class SpotTest : public ::testing::Test {
 public:
  template <class T>
  static T* Placed(T* control, TWinControl* parent, TRect bounds) {
    control->SetBoundsRect(bounds);
    control->SetParent(parent);
    return control;
  }

 protected:
  std::unique_ptr<TForm> form = ShownForm(120, 80);
  TProbe* host = Placed(new TProbe(form.get()), form.get(), Rect(0, 0, 100, 60));
  TSpot* spot = Placed(new TSpot(form.get()), host, Rect(10, 10, 30, 25));
};

}  // namespace

TEST(AlignTest, NestedAlignedControlsFollowTheClassLibraryOrder) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 200);
  // An aligned child of `size` across its alignment.
  auto add = [&](TAlign a, int size, TWinControl* parent) {
    auto* p = new TProbe(&form);
    if (a == alTop || a == alBottom) p->SetHeight(size);
    else p->SetWidth(size);
    p->SetAlign(a);
    p->SetParent(parent);
    return p;
  };
  TProbe* top = add(alTop, 20, &form);
  TProbe* bottom = add(alBottom, 30, &form);
  TProbe* left = add(alLeft, 40, &form);
  TProbe* right = add(alRight, 50, &form);
  TProbe* client = add(alClient, 0, &form);
  // A second top control placed below the first by its position.
  auto* top2 = Place<TProbe>(&form, 0, 100, 10, 10);
  top2->SetAlign(alTop);
  // Nested: the client panel aligns its own children when it is resized.
  TProbe* inner = add(alBottom, 10, client);
  const std::pair<TProbe*, TRect> placed[] = {
      {top, Rect(0, 0, 300, 20)},     {top2, Rect(0, 20, 300, 30)},
      {bottom, Rect(0, 170, 300, 200)}, {left, Rect(0, 30, 40, 170)},
      {right, Rect(250, 30, 300, 170)}, {client, Rect(40, 30, 250, 170)},
      {inner, Rect(0, 130, 210, 140)}};
  for (auto [c, r] : placed) EXPECT_EQ(c->BoundsRect(), r);
  form.SetBounds(0, 0, 400, 300);
  EXPECT_EQ(client->BoundsRect(), Rect(40, 30, 350, 270));
  EXPECT_EQ(inner->BoundsRect(), Rect(0, 230, 310, 240));

  // Hiding a top control closes the gap; alignment off leaves things be.
  top->Hide();
  EXPECT_EQ(top2->Top(), 0);
  form.DisableAlign();
  top->Show();
  EXPECT_EQ(top2->Top(), 0);
  form.EnableAlign();
  EXPECT_EQ(top2->Top(), 20);
  // Dropping the alignment keeps the bounds and frees the space.
  top->SetAlign(alNone);
  EXPECT_EQ(top2->Top(), 0);
}

// Controls aligned to one side at one place stand in the order they were made,
// whichever was aligned or resized last: an empty (0 wide) strip made first
// keeps the edge when it grows, and a windowless splitter made last follows
// the panel it was made after.
TEST(AlignTest, SideBySideControlsStandInTheOrderTheyWereMade) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 200);
  auto aligned = [&](TControl* c, TAlign a, int size) {
    if (a == alTop || a == alBottom) c->SetHeight(size);
    else c->SetWidth(size);
    c->SetParent(&form);
    c->SetAlign(a);
    return c;
  };
  struct Side {
    TAlign align;
    int TRect::*near;  // the edge nearer the form's side
    int sign;
  } sides[] = {{alLeft, &TRect::Left, 1}, {alTop, &TRect::Top, 1},
               {alRight, &TRect::Right, -1}, {alBottom, &TRect::Bottom, -1}};
  for (const Side& side : sides) {
    SCOPED_TRACE(GetEnumName(EnumInfo(TAlign{}), side.align));
    TControl* strip = aligned(new TProbe(&form), side.align, 0);
    TControl* panel = aligned(new TProbe(&form), side.align, 100);
    TControl* splitter = aligned(new TSpot(&form), side.align, 3);
    const int edge = side.sign > 0 ? 0 : (side.align == alRight ? 300 : 200);
    const auto at = [&](TControl* c) { return c->BoundsRect().*side.near; };
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"as made", [] {}},
        {"the strip grows", [&] { side.align == alLeft || side.align == alRight ? strip->SetWidth(30) : strip->SetHeight(30); }},
        {"the panel is resized", [&] { side.align == alLeft || side.align == alRight ? panel->SetWidth(80) : panel->SetHeight(80); }},
    };
    for (const auto& [what, change] : changes) {
      change();
      const int stripSize = at(panel) - at(strip);
      EXPECT_EQ(at(strip), edge) << what;
      EXPECT_EQ(at(panel), edge + side.sign * std::abs(stripSize)) << what;
      EXPECT_EQ(std::abs(at(splitter) - at(panel)),
                side.align == alLeft || side.align == alRight ? panel->Width() : panel->Height())
          << what;
    }
    for (TControl* c : {splitter, panel, strip}) delete c;
  }
}

TEST(AlignTest, AnUnparentedControlTakesAndDropsAnAlignment) {
  // Nothing to realign without a parent: the bounds stay as they were.
  TSpot graphic(nullptr);
  TProbe window(nullptr);
  for (TControl* c : std::initializer_list<TControl*>{&graphic, &window}) {
    c->SetBounds(1, 2, 30, 40);
    for (TAlign a : {alTop, alNone, alClient, alNone}) c->SetAlign(a);
    EXPECT_EQ(c->BoundsRect(), Rect(1, 2, 31, 42));
  }
}

TEST(AlignTest, ConstraintsLimitTheSize) {
  TForm form(nullptr);
  auto* p = new TProbe(&form);
  p->Constraints().MinWidth = 30;
  p->Constraints().MaxHeight = 15;
  p->SetParent(&form);
  p->SetBounds(0, 0, 10, 100);
  EXPECT_EQ(p->Width(), 30);
  EXPECT_EQ(p->Height(), 15);
}

TEST(MessageTest, PerformDispatchAndBroadcast) {
  TForm form(nullptr);
  auto* a = new TProbe(&form);
  auto* b = new TProbe(&form);
  a->SetParent(&form);
  b->SetParent(&form);
  EXPECT_EQ(a->Perform(WM_USER + 1), 42);
  EXPECT_EQ(a->Perform(WM_USER + 2), 0);  // nobody handles it

  a->seen.clear();
  b->seen.clear();
  TMessage m{WM_USER + 1, 0, 0, 0};
  form.Broadcast(m);
  EXPECT_EQ(m.Result, 42);
  EXPECT_TRUE(a->Saw(WM_USER + 1));
  EXPECT_FALSE(b->Saw(WM_USER + 1));  // broadcasting stops at the first answer

  b->seen.clear();
  form.SetColor(clRed);  // parent colour reaches children that follow it
  EXPECT_TRUE(b->Saw(CM_PARENTCOLORCHANGED));
  EXPECT_EQ(b->Color(), clRed);
  b->SetColor(clLime);
  form.SetColor(clBlue);
  EXPECT_EQ(b->Color(), clLime);
  EXPECT_FALSE(b->ParentColor());
  form.Font()->SetSize(14);
  EXPECT_EQ(a->Font()->Size(), 14);
  b->Font()->SetStyle({fsBold});
  EXPECT_FALSE(b->ParentFont());
  form.Font()->SetSize(9);
  EXPECT_EQ(b->Font()->Size(), 14);
  b->SetText("x");
  EXPECT_TRUE(b->Saw(CM_TEXTCHANGED));
  b->seen.clear();
  b->SetText("x");
  EXPECT_FALSE(b->Saw(CM_TEXTCHANGED));  // no change, no message
}

TEST(HookTest, HooksChainNewestFirstAndComeOffInAnyOrder) {
  TForm form(nullptr);
  std::vector<int> order;
  auto hook = [&](int n, bool swallow) {
    return [&order, n, swallow](TMessage& m, const TWndMethod& next) {
      if (m.Msg != WM_USER + 5) {
        next(m);
        return;
      }
      order.push_back(n);
      if (!swallow) next(m);
      else m.Result = n;
    };
  };
  const int h1 = form.AddWindowHook(hook(1, false));
  const int h2 = form.AddWindowHook(hook(2, false));
  const int h3 = form.AddWindowHook(hook(3, false));
  form.Perform(WM_USER + 5);
  EXPECT_EQ(order, (std::vector<int>{3, 2, 1}));
  // Remove the middle one, then the oldest, then the newest.
  EXPECT_TRUE(form.RemoveWindowHook(h2));
  order.clear();
  form.Perform(WM_USER + 5);
  EXPECT_EQ(order, (std::vector<int>{3, 1}));
  EXPECT_TRUE(form.RemoveWindowHook(h1));
  EXPECT_FALSE(form.RemoveWindowHook(h1));
  EXPECT_TRUE(form.RemoveWindowHook(h3));
  EXPECT_EQ(form.WindowHookCount(), 0);
  order.clear();
  form.Perform(WM_USER + 5);
  EXPECT_TRUE(order.empty());

  // A hook may swallow a message, and a hook may remove another one (or
  // itself) while a message travels: the removed one is skipped.
  int ha = 0;
  const int hb = form.AddWindowHook(hook(10, false));
  ha = form.AddWindowHook([&](TMessage& m, const TWndMethod& next) {
    if (m.Msg == WM_USER + 5) {
      order.push_back(20);
      form.RemoveWindowHook(hb);
      form.RemoveWindowHook(ha);
    }
    next(m);
  });
  form.Perform(WM_USER + 5);
  EXPECT_EQ(order, (std::vector<int>{20}));
  EXPECT_EQ(form.WindowHookCount(), 0);
  const int hs = form.AddWindowHook(hook(7, true));
  EXPECT_EQ(form.Perform(WM_USER + 5), 7);
  form.RemoveWindowHook(hs);
}

TEST_F(SpotTest, GraphicControlsArePaintedByTheirParent) {
  host->paint = clWhite;
  auto* over = Placed(new TSpot(form.get()), host, Rect(25, 20, 35, 30));
  over->color = clBlue;
  struct Step {
    std::function<void()> change;
    std::vector<std::pair<TPoint, TColor>> pixels;
  } steps[] = {
      {[] {},
       {{Point(10, 10), clRed}, {Point(29, 12), clRed}, {Point(12, 24), clRed},
        {Point(30, 10), clWhite},   // right edge excluded
        {Point(10, 25), clWhite},   // bottom edge excluded
        {Point(27, 22), clBlue}}},  // the later control lies on top
      {[&] { spot->BringToFront(); }, {{Point(27, 22), clRed}}},
      {[&] { spot->Hide(); }, {{Point(12, 12), clWhite}}},
  };
  for (const Step& step : steps) {
    step.change();
    Pump();
    auto shot = Snapshot(host);
    for (auto [p, color] : step.pixels) EXPECT_EQ(shot->Canvas()->Pixels(p.x, p.y), color) << p.x;
  }
}

TEST(PaintTest, BringToFrontRaisesChildWindowsForDrawingAndHitTests) {
  auto form = ShownForm(120, 80);
  auto* red = new TProbe(form.get());
  red->paint = clRed;
  red->SetBounds(10, 10, 40, 40);
  red->SetParent(form.get());
  auto* blue = new TProbe(form.get());
  blue->paint = clBlue;
  blue->SetBounds(30, 30, 40, 40);
  blue->SetParent(form.get());
  const TPoint overlap = Point(35, 35);
  for (TProbe* front : {blue, red, blue}) {
    front->BringToFront();
    Pump();
    EXPECT_EQ(Snapshot(form.get())->Canvas()->Pixels(overlap.x, overlap.y), front->paint);
    EXPECT_EQ(form->ControlAtPos(overlap, false, true), front);
    EXPECT_EQ(FindControlWindow(form->ClientToScreen(overlap)), front);
  }
}

TEST_F(SpotTest, GraphicControlsAreHitTestedThroughTheirParent) {
  int clicks = 0;
  spot->OnClick = [&](TObject* s) {
    EXPECT_EQ(s, spot);
    ++clicks;
  };
  EXPECT_EQ(host->ControlAtPos({15, 12}, false), spot);
  EXPECT_EQ(host->ControlAtPos({30, 12}, false), nullptr);
  Click(host, 15, 12);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(spot->downs, 1);
  EXPECT_EQ(spot->last, Point(5, 2));  // the control's own coordinates
  host->seen.clear();
  Click(host, 50, 40);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(host->Saw(WM_LBUTTONDOWN));
  // A disabled graphic control is passed over (the parent gets the click).
  spot->SetEnabled(false);
  EXPECT_EQ(host->ControlAtPos({15, 12}, false), nullptr);
  EXPECT_EQ(host->ControlAtPos({15, 12}, true), spot);
  Click(host, 15, 12);
  EXPECT_EQ(spot->downs, 1);
}

TEST_F(SpotTest, CaptureKeepsTheMouseWithThePressedControl) {
  QWidget* w = ClientOf(host);
  QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, QPoint(12, 12));
  EXPECT_EQ(GetCaptureControl(), spot);
  QTest::mouseMove(w, QPoint(80, 50));
  EXPECT_EQ(spot->last, Point(70, 40));  // still the spot, in its coordinates
  int clicks = 0;
  spot->OnClick = [&](TObject*) { ++clicks; };
  QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(80, 50));
  EXPECT_EQ(spot->ups, 1);
  EXPECT_EQ(clicks, 0);  // released outside: no click
  EXPECT_EQ(GetCaptureControl(), nullptr);
}

TEST_F(SpotTest, EnterAndLeaveFollowTheMouseAcrossGraphicControls) {
  QWidget* w = ClientOf(host);
  QTest::mouseMove(w, QPoint(50, 50));
  QTest::mouseMove(w, QPoint(12, 12));
  EXPECT_EQ(spot->enters, 1);
  EXPECT_EQ(MouseControl(), spot);
  QTest::mouseMove(w, QPoint(14, 14));
  EXPECT_EQ(spot->enters, 1);
  QTest::mouseMove(w, QPoint(50, 50));
  EXPECT_EQ(spot->leaves, 1);
  EXPECT_EQ(MouseControl(), host);
  delete spot;  // a freed control is forgotten
  QTest::mouseMove(w, QPoint(12, 12));
  EXPECT_EQ(MouseControl(), host);
}

TEST(NonClientTest, MarginsShrinkTheClientAreaAndAreDrawnByTheControl) {
  auto form = ShownForm(150, 100);
  auto* framed = new TFramed(form.get());
  framed->SetParent(form.get());
  framed->SetBounds(10, 10, 60, 40);
  EXPECT_EQ(framed->NonClientMargins(), Rect(3, 5, 3, 3));
  EXPECT_EQ(framed->ClientRect(), Rect(0, 0, 54, 32));
  EXPECT_EQ(framed->ClientOrigin().x, form->ClientOrigin().x + 13);
  auto* child = new TProbe(form.get());
  child->paint = clRed;
  child->SetAlign(alClient);
  child->SetParent(framed);
  EXPECT_EQ(child->BoundsRect(), Rect(0, 0, 54, 32));
  child->Hide();
  Pump();
  auto shot = Snapshot(framed);
  TCanvas* c = shot->Canvas();
  EXPECT_EQ(c->Pixels(0, 0), clBlue);
  EXPECT_EQ(c->Pixels(2, 20), clBlue);
  EXPECT_EQ(c->Pixels(3, 5), clYellow);
  EXPECT_EQ(c->Pixels(56, 36), clYellow);
  EXPECT_EQ(c->Pixels(57, 36), clBlue);
  EXPECT_EQ(c->Pixels(30, 4), clBlue);
  // A press on the frame is a non-client press with the control's hit code.
  QTest::mouseClick(vantrel::qt::WindowWidget(*framed), Qt::LeftButton, Qt::NoModifier,
                    QPoint(1, 1));
  EXPECT_EQ(framed->ncClicks, 1);
  EXPECT_EQ(framed->lastHit, HTNOWHERE);
}

TEST(NonClientTest, BorderStylesFrameTheClientArea) {
  auto form = ShownForm(150, 100);
  struct Case {
    DWORD style, exStyle;
    int frame;
    TColor corner, inner;  // pixels (0, 0) and (1, 1)
  } cases[] = {
      {0, 0, 0, clRed, clRed},
      {WS_BORDER, 0, 1, clWindowFrame, clRed},
      {0, WS_EX_CLIENTEDGE, 2, clBtnShadow, cl3DDkShadow},
      {WS_BORDER, WS_EX_CLIENTEDGE, 3, clWindowFrame, clBtnShadow},
  };
  for (const Case& k : cases) {
    auto* c = new TStyledControl(form.get(), [&k](TCreateParams& params) {
      params.Style |= k.style;
      params.ExStyle |= k.exStyle;
    });
    c->SetColor(clRed);
    c->SetBounds(10, 10, 40, 30);
    EXPECT_EQ(c->ClientRect(), Rect(0, 0, 40 - 2 * k.frame, 30 - 2 * k.frame)) << k.frame;
    c->SetParent(form.get());  // the same once the window exists
    EXPECT_EQ(c->NonClientMargins(), Rect(k.frame, k.frame, k.frame, k.frame)) << k.frame;
    Pump();
    auto shot = Snapshot(c);
    EXPECT_EQ(shot->Canvas()->Pixels(0, 0), ColorToRGB(k.corner)) << k.frame;
    EXPECT_EQ(shot->Canvas()->Pixels(1, 1), ColorToRGB(k.inner)) << k.frame;
    EXPECT_EQ(shot->Canvas()->Pixels(k.frame, k.frame), clRed) << k.frame;
    delete c;
  }
}

TEST(WindowTest, PostedMessagesSkipFreedWindows) {
  auto form = ShownForm();
  auto* a = new TProbe(form.get());
  a->SetParent(form.get());
  PostMessage(a, WM_USER + 9, 1, 2);
  EXPECT_FALSE(a->Saw(WM_USER + 9));
  Pump();
  EXPECT_TRUE(a->Saw(WM_USER + 9));
  auto* b = new TProbe(form.get());
  b->SetParent(form.get());
  PostMessage(b, WM_USER + 9);
  delete b;
  Pump();  // must not reach the freed window (the sanitizer pass sees a stray one)
}

TEST(WindowTest, ChildrenAreFreedWithTheirParentAndLeaveTheOwner) {
  TForm form(nullptr);
  auto* panel = new TProbe(&form);
  panel->SetParent(&form);
  auto* inner = new TSpot(&form);
  inner->SetParent(panel);
  EXPECT_EQ(form.ComponentCount(), 2);
  delete panel;
  EXPECT_EQ(form.ComponentCount(), 0);
  EXPECT_EQ(form.ControlCount(), 0);
  EXPECT_THROW(form.Controls(0), EListError);
}

TEST(WindowTest, ParentingRules) {
  TForm form(nullptr);
  auto* a = new TProbe(&form);
  a->SetParent(&form);
  auto* b = new TProbe(&form);
  b->SetParent(a);
  EXPECT_THROW(a->SetParent(b), EInvalidOperation);
  EXPECT_THROW(a->SetParent(a), EInvalidOperation);
  EXPECT_EQ(a->Parent(), &form);
  b->SetParent(&form);
  EXPECT_EQ(a->ControlCount(), 0);
  EXPECT_EQ(form.ControlCount(), 2);
  EXPECT_EQ(b->TabOrder(), 1);
  b->SetTabOrder(0);
  EXPECT_EQ(a->TabOrder(), 1);
}

TEST(WindowTest, FrameControlDrawnOnAControlCanvas) {
  auto form = ShownForm(100, 60);
  class TCheck : public TCustomControl {
   public:
    using TCustomControl::TCustomControl;

   protected:
    void PaintContent() override {
      TRect r = ClientRect();
      DrawFrameControl(Canvas(), r, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
    }
  };
  auto* check = Place<TCheck>(form.get(), 5, 5, 13, 13);
  Pump();
  auto shot = Snapshot(check);
  EXPECT_EQ(shot->Canvas()->Pixels(0, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(shot->Canvas()->Pixels(12, 12), ColorToRGB(clBtnHighlight));
  EXPECT_GT(CountPixels(*shot, clBlack), 10);
}

TEST(MessageTest, SystemColourChangesReachEveryControl) {
  TForm form(nullptr);
  auto* panel = new TProbe(&form);
  panel->SetParent(&form);
  auto* inner = new TProbe(&form);
  inner->SetParent(panel);
  auto* spot = new TSpot(&form);
  spot->SetParent(inner);
  int spotSaw = 0;
  spot->WindowProc = [&, old = spot->WindowProc](TMessage& m) {
    if (m.Msg == CM_SYSCOLORCHANGE) ++spotSaw;
    old(m);
  };
  SetSysColor(COLOR_BTNFACE, RGB(200, 10, 10));
  SysColorsChanged();
  ResetSysColors();
  EXPECT_TRUE(panel->Saw(CM_SYSCOLORCHANGE));
  EXPECT_TRUE(inner->Saw(CM_SYSCOLORCHANGE));
  EXPECT_EQ(spotSaw, 1);
}

TEST(DragTest, DraggingAskedTargetsAndDropsOnTheAcceptingOne) {
  auto form = ShownForm(200, 100);
  auto* source = Place<TSpot>(form.get(), 10, 10, 20, 20);
  source->SetDragMode(dmAutomatic);
  auto* target = Place<TProbe>(form.get(), 100, 10, 50, 50);
  std::vector<TDragState> states;
  target->OnDragOver = [&](TObject*, TObject* src, int, int, TDragState st, bool& accept) {
    states.push_back(st);
    accept = src == source;
  };
  TObject* dropped = nullptr;
  TPoint at;
  target->OnDragDrop = [&](TObject*, TObject* src, int x, int y) {
    dropped = src;
    at = {x, y};
  };
  TObject* endTarget = reinterpret_cast<TObject*>(1);
  source->OnEndDrag = [&](TObject*, TObject* t, int, int) { endTarget = t; };
  source->SetDragCursor(crHandPoint);
  QWidget* w = ClientOf(form.get());
  QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, QPoint(15, 15));
  EXPECT_TRUE(source->Dragging());
  QTest::mouseMove(w, QPoint(60, 20));  // over no target
  EXPECT_EQ(Screen->Cursor(), crNoDrop);
  QTest::mouseMove(w, QPoint(110, 20));
  EXPECT_EQ(Screen->Cursor(), crHandPoint) << "the source's drag cursor over a taker";
  QTest::mouseMove(w, QPoint(112, 22));
  QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(112, 22));
  EXPECT_FALSE(source->Dragging());
  EXPECT_EQ(Screen->Cursor(), crDefault);
  ASSERT_GE(states.size(), 2u);
  EXPECT_EQ(states[0], dsDragEnter);
  EXPECT_EQ(states[1], dsDragMove);
  EXPECT_EQ(dropped, source);
  EXPECT_EQ(at, Point(12, 12));
  EXPECT_EQ(endTarget, target);
}

TEST(MouseTest, CaptureLoopSeesTheMouseUntilItStops) {
  auto form = ShownForm(200, 100);
  auto* host = Place<TProbe>(form.get(), 50, 20, 100, 60);
  std::vector<TPoint> moves;
  QWidget* w = ClientOf(form.get());
  QTimer::singleShot(5, [&] {
    QTest::mouseMove(w, QPoint(60, 30));
    QTest::mouseMove(w, QPoint(10, 5));  // outside the host: still seen
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(70, 40));
  });
  RunCaptureLoop(host, [&](TMessage& m) {
    if (m.Msg == WM_MOUSEMOVE) moves.push_back(SmallPointToPoint(m.LParam));
    return m.Msg != WM_LBUTTONUP;
  });
  ASSERT_GE(moves.size(), 2u);
  EXPECT_EQ(moves[0], Point(10, 10));
  EXPECT_EQ(moves[1], Point(-40, -15));
  EXPECT_EQ(GetCaptureControl(), nullptr);
  host->seen.clear();
  Click(host, 5, 5);
  EXPECT_TRUE(host->Saw(WM_LBUTTONDOWN));  // normal delivery again
}

TEST(PaintTest, AGraphicControlsClipStaysWithinItsBounds) {
  // Whatever it does to its clip, a 30x20 control paints at most its own pixels.
  auto form = ShownForm(200, 150);
  class TGreedy : public TGraphicControl {
   public:
    using TGraphicControl::TGraphicControl;
    std::function<void(TCanvas*)> clip;

   protected:
    void PaintContent() override {
      clip(Canvas());
      Canvas()->Brush()->SetColor(clTeal);
      Canvas()->FillRect(Rect(-500, -500, 500, 500));
    }
  };
  auto* greedy = Place<TGreedy>(form.get(), 10, 10, 30, 20);
  struct Case {
    const char* what;
    std::function<void(TCanvas*)> clip;
    int pixels;
  } cases[] = {
      {"nothing", [](TCanvas*) {}, 600},
      {"set", [](TCanvas* c) { c->SetClipRect(Rect(-100, -100, 500, 500)); }, 600},
      {"reset", [](TCanvas* c) { c->ResetClip(); }, 600},
      {"set then reset", [](TCanvas* c) { c->SetClipRect(Rect(0, 0, 5, 5)); c->ResetClip(); }, 600},
      {"intersect", [](TCanvas* c) { c->IntersectClipRect(Rect(-5, -5, 10, 10)); }, 100},
      {"exclude", [](TCanvas* c) { c->ExcludeClipRect(Rect(0, 0, 10, 10)); }, 500},
      {"saved state", [](TCanvas* c) {
         c->SaveState();
         c->IntersectClipRect(Rect(0, 0, 5, 5));
         c->OffsetOrigin(2, 2);
         c->RestoreState();
       }, 600},
  };
  for (const Case& k : cases) {
    greedy->clip = k.clip;
    greedy->Invalidate();
    Pump();
    auto shot = Snapshot(form.get());
    EXPECT_EQ(CountPixels(*shot, clTeal), k.pixels) << k.what;
    EXPECT_EQ(InkBox(*shot, clTeal).Left, 10) << k.what;
  }
}

TEST(WindowTest, SystemMetricsAndKeyState) {
  EXPECT_EQ(GetSystemMetrics(SM_CXFRAME), 4);
  EXPECT_EQ(GetSystemMetrics(SM_CYSMCAPTION), 15);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), Screen->Width());
  EXPECT_EQ(GetSystemMetrics(12345), 0);
  TRect work;
  EXPECT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_EQ(work, Screen->WorkAreaRect());
  EXPECT_FALSE(SystemParametersInfo(0x1234, 0, &work, 0));
  EXPECT_GE(GetKeyState(VK_CONTROL), 0);  // nothing held
}

TEST(MessageTest, MovingSendsWmMoveAndResizingWmSize) {
  TForm form(nullptr);
  auto* p = new TProbe(&form);
  p->SetParent(&form);
  p->SetBounds(0, 0, 50, 50);
  auto* g = new TSpot(&form);
  g->SetParent(&form);
  g->SetBounds(0, 0, 50, 50);
  int resizes = 0;
  p->OnResize = [&](TObject*) { ++resizes; };
  g->OnResize = [&](TObject*) { ++resizes; };
  struct Case {
    TRect bounds;
    bool move, size;
  } cases[] = {
      {Rect(10, 10, 60, 60), true, false},
      {Rect(10, 10, 70, 60), false, true},
      {Rect(0, 0, 10, 10), true, true},
      {Rect(0, 0, 10, 10), false, false},
  };
  for (const Case& c : cases) {
    for (TControl* control : std::initializer_list<TControl*>{p, g}) {
      p->seen.clear();
      resizes = 0;
      control->SetBoundsRect(c.bounds);
      EXPECT_EQ(resizes, c.size ? 1 : 0) << c.bounds.Right;  // windows and windowless alike
      if (control != p) continue;
      EXPECT_EQ(p->Saw(WM_MOVE), c.move) << c.bounds.Right;
      EXPECT_EQ(p->Saw(WM_SIZE), c.size) << c.bounds.Right;
      EXPECT_EQ(p->Saw(WM_NCCALCSIZE), c.size) << c.bounds.Right;
    }
  }
}

TEST(MouseTest, ACapturedControlGetsTheMouseOverOtherWindows) {
  auto form = ShownForm(200, 100);
  auto* a = Place<TProbe>(form.get(), 0, 0, 50, 50);
  auto* b = Place<TProbe>(form.get(), 100, 0, 50, 50);
  auto* spot = new TSpot(form.get());
  spot->SetBounds(5, 5, 10, 10);
  spot->SetParent(b);
  spot->SetMouseCapture(true);
  QTest::mouseMove(ClientOf(a), QPoint(20, 30));
  EXPECT_EQ(spot->last, Point(20 - 105, 30 - 5));
  a->seen.clear();
  QTest::mouseMove(ClientOf(a), QPoint(21, 30));
  EXPECT_FALSE(a->Saw(WM_MOUSEMOVE));
  ReleaseCapture();
  QTest::mouseMove(ClientOf(a), QPoint(22, 30));
  EXPECT_TRUE(a->Saw(WM_MOUSEMOVE));
}

TEST_F(SpotTest, DoubleClickGivesOneClickThenDblClickWithTheDoubleFlag) {
  std::vector<std::string> log;
  spot->OnClick = [&](TObject*) { log.push_back("click"); };
  spot->OnDblClick = [&](TObject*) { log.push_back("dblclick"); };
  spot->OnMouseDown = [&](TObject*, TMouseButton, TShiftState s, int, int) {
    log.push_back(s.Contains(ssDouble) ? "down double" : "down");
  };
  // A double click as the window system sends it: press, release, double press, release.
  auto doubleClick = [&](QPoint at) {
    QWidget* w = ClientOf(host);
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, at);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &dbl);
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, at);
  };
  doubleClick(QPoint(15, 15));
  EXPECT_EQ(log, (std::vector<std::string>{"down", "click", "dblclick", "down double"}));
  // Without double clicks the second press is an ordinary one.
  log.clear();
  spot->SetControlStyle(spot->ControlStyle() - TControlStyle{csDoubleClicks});
  doubleClick(QPoint(16, 16));
  EXPECT_EQ(log, (std::vector<std::string>{"down", "click", "down", "click"}));
  // A right click shows the popup menu through the menus library's handler.
  int popups = 0;
  TPoint where;
  PopupMenuHandler = [&](TPopupMenu*, TControl* c, TPoint p) {
    EXPECT_EQ(c, spot);
    ++popups;
    where = p;
    return true;
  };
  int fakeMenu = 0;
  spot->SetPopupMenu(reinterpret_cast<TPopupMenu*>(&fakeMenu), nullptr);  // not a component
  Click(host, 12, 12, Qt::RightButton);
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(where, spot->ClientToScreen({2, 2}));
  PopupMenuHandler = nullptr;
}

TEST(OutlineTest, FourSidesFrameTheRectangle) {
  Application->Initialize();
  TScreenOutline outline;
  outline.Show(Rect(100, 50, 200, 90), 3);
  EXPECT_TRUE(outline.Visible());
  int shown = 0;
  QRect all;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->windowFlags().testFlag(Qt::WindowTransparentForInput)) {
      ++shown;
      all = all.united(w->geometry());
      EXPECT_TRUE(w->width() == 3 || w->height() == 3);
    }
  EXPECT_EQ(shown, 4);
  EXPECT_EQ(all, QRect(100, 50, 100, 40));
  outline.Show(Rect(0, 0, 0, 0), 3);  // an empty rectangle hides it
  EXPECT_FALSE(outline.Visible());
}

TEST(WindowTest, StyleBitsAreKeptAndChangesAnnounced) {
  auto form = ShownForm();
  auto* p = new TProbe(form.get());
  p->SetParent(form.get());
  const LONG style = GetWindowLong(p, GWL_STYLE);
  EXPECT_TRUE(style & LONG(WS_CHILD));
  p->seen.clear();
  EXPECT_EQ(SetWindowLong(p, GWL_STYLE, style | 0x100), style);
  EXPECT_TRUE(p->Saw(WM_STYLECHANGED));
  EXPECT_EQ(GetWindowLong(p, GWL_STYLE), style | 0x100);
  p->seen.clear();
  SetWindowLong(p, GWL_STYLE, style | 0x100);  // unchanged: no message
  EXPECT_FALSE(p->Saw(WM_STYLECHANGED));
  EXPECT_EQ(GetWindowLong(p, 12345), 0);
}

TEST(PaintTest, UpdatePaintsWhatIsInvalidAtOnce) {
  auto form = ShownForm();
  auto* p = Place<TProbe>(form.get(), 0, 0, 50, 50);
  Pump();
  const int before = p->paints;
  p->Update();
  EXPECT_EQ(p->paints, before);  // nothing invalid: nothing painted
  p->Invalidate();
  p->Update();
  EXPECT_EQ(p->paints, before + 1);
  p->Repaint();
  EXPECT_EQ(p->paints, before + 2);
}

namespace {

// Rows of 10 pixels in four colours, scrolled by `top`; remembers what it was asked to paint.
class TRows : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  int top = 0;
  std::vector<TRect> painted;
  static TColor RowColor(int row) {
    static const TColor colors[] = {clRed, clLime, clBlue, clYellow};
    return colors[((row % 4) + 4) % 4];
  }
  void Dispatch(TMessage& m) override {
    if (m.Msg == WM_PAINT && m.LParam) painted.push_back(*reinterpret_cast<const TRect*>(m.LParam));
    TCustomControl::Dispatch(m);
  }

 protected:
  void PaintContent() override {
    for (int y = 0; y < Height(); y += 10) {
      Canvas()->Brush()->SetColor(RowColor((y + top) / 10));
      Canvas()->FillRect(Rect(0, y, Width(), y + 10));
    }
  }
};

// Rows 60x80 on a shown form.
class RowsTest : public ::testing::Test {
 protected:
  std::unique_ptr<TForm> form = ShownForm(120, 100);
  TRows* rows = SpotTest::Placed(new TRows(form.get()), form.get(), Rect(0, 0, 60, 80));
};

}  // namespace

TEST_F(RowsTest, ScrollingMovesPaintedPixelsAndPaintsOnlyTheUncoveredStrip) {
  const TRect strip = Rect(0, 30, 40, 40), clip = Rect(0, 0, 40, 40);
  struct Case {
    int dy;
    const TRect* scroll;
    const TRect* clip;
    TRect update;
  } cases[] = {
      {-10, nullptr, nullptr, Rect(0, 70, 60, 80)},
      {10, nullptr, nullptr, Rect(0, 0, 60, 10)},
      {-10, &clip, nullptr, strip},
      {-10, nullptr, &clip, strip},
  };
  for (const Case& c : cases) {
    Pump();
    rows->painted.clear();
    TRect update;
    EXPECT_EQ(ScrollWindowEx(rows, 0, c.dy, c.scroll, c.clip, &update, SW_INVALIDATE),
              SIMPLEREGION);
    EXPECT_EQ(update, c.update);
    rows->Update();
    EXPECT_EQ(rows->painted, std::vector<TRect>{c.update}) << c.dy;
  }
  // What the window shows: row 1 at the top, moved there, not painted again.
  rows->Invalidate();
  Pump();
  rows->top = 10;
  ScrollWindow(rows, 0, -10, nullptr, nullptr);
  Pump();
  QWidget* window = vantrel::qt::WindowWidget(*form);
  const QImage shown = window->screen()->grabWindow(window->winId()).toImage();
  const QPoint origin = ClientOf(rows)->mapTo(window, QPoint(0, 0));
  for (int y : {5, 35, 75})
    EXPECT_EQ(vantrel::qt::FromQColor(shown.pixelColor(origin + QPoint(50, y))),
              TRows::RowColor(y / 10 + 1)) << y;
  // Child windows move along unless only a part of the window scrolls.
  auto* child = new TProbe(form.get());
  child->SetBounds(5, 40, 10, 10);
  child->SetParent(rows);
  ScrollWindow(rows, 0, 10, nullptr, nullptr);
  EXPECT_EQ(child->Top(), 50);
  ScrollWindow(rows, 0, 10, &clip, nullptr);
  EXPECT_EQ(child->Top(), 50);
  ScrollWindowEx(rows, 0, -10, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN);
  EXPECT_EQ(child->Top(), 40);
}

TEST_F(RowsTest, ValidatedAreasAreNotPaintedAgain) {
  const TRect top = Rect(0, 0, 60, 40);
  struct Case {
    const TRect* validate;
    std::vector<TRect> painted;
  } cases[] = {
      {&top, {Rect(0, 40, 60, 80)}},
      {nullptr, {}},
  };
  for (const Case& c : cases) {
    Pump();
    rows->painted.clear();
    rows->Invalidate();
    ValidateRect(rows, c.validate);
    rows->Update();
    EXPECT_EQ(rows->painted, c.painted);
  }
}

TEST_F(RowsTest, DrawingOutsidePaintShowsUntilTheControlIsInvalidated) {
  Pump();
  // A column-sizing line as grids draw it during a drag: inverted, drawn twice to erase.
  auto sizingLine = [&] {
    TCanvas* c = rows->Canvas();
    c->Pen()->SetMode(pmNot);
    c->MoveTo(30, 0);
    c->LineTo(30, 80);
  };
  auto at = [&](int x, int y) {
    Pump();
    return Snapshot(rows)->Canvas()->Pixels(x, y);
  };
  const TColor red = TRows::RowColor(0), inverted = TColor(0xFFFFFF ^ ColorToRGB(red));
  sizingLine();
  EXPECT_EQ(at(30, 5), inverted);
  EXPECT_EQ(at(31, 5), red);
  sizingLine();
  EXPECT_EQ(at(30, 5), red);
  sizingLine();
  rows->Invalidate();  // the control paints itself again: the overlay is gone
  EXPECT_EQ(at(30, 5), red);
}

TEST(MouseTest, FormHooksSeeSetCursorForTheirChildren) {
  auto form = ShownForm(120, 80);
  auto* child = new TProbe(form.get());
  child->SetBounds(0, 0, 60, 60);
  child->SetCursor(crIBeam);
  child->SetParent(form.get());
  QTest::mouseMove(ClientOf(child), QPoint(10, 10));
  EXPECT_EQ(ClientOf(child)->cursor().shape(), Qt::IBeamCursor);
  int asked = 0;
  const int hook = form->AddWindowHook([&](TMessage& m, const TWndMethod& next) {
    if (m.Msg == WM_SETCURSOR && LoWord(WPARAM(m.LParam)) == HTCLIENT) {
      ++asked;
      SetCursor(Screen->Cursors(crHandPoint));
      m.Result = 1;
      return;
    }
    next(m);
  });
  QTest::mouseMove(ClientOf(child), QPoint(12, 12));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(ClientOf(child)->cursor().shape(), Qt::PointingHandCursor);
  form->RemoveWindowHook(hook);
  QTest::mouseMove(ClientOf(child), QPoint(14, 14));
  EXPECT_EQ(ClientOf(child)->cursor().shape(), Qt::IBeamCursor);
}
