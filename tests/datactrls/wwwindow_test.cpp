#include "datactrls/wwwindow.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>

#include <string>
#include <tuple>
#include <vector>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/winapi.h"
#include "settingsdataset.h"

using namespace testing_support;

namespace {

// ---- designers

class TCountingDesigner : public TwwFormDesigner {
 public:
  int modified = 0;
  void Modified() override { ++modified; }
};

TEST(NotifyDesigner, ReachesTheDesignerOfTheOwningForm) {
  Application->Initialize();
  auto form = std::make_unique<TForm>(nullptr);
  auto* holder = new TComponent(form.get());
  auto* leaf = new TComponent(holder);
  TCountingDesigner designer;

  wwNotifyDesigner(leaf);  // no designer yet: nothing to tell
  wwSetFormDesigner(form.get(), &designer);
  EXPECT_EQ(wwGetFormDesigner(form.get()), &designer);
  wwNotifyDesigner(leaf);
  wwNotifyDesigner(form.get());
  EXPECT_EQ(designer.modified, 2);

  wwSetFormDesigner(form.get(), nullptr);
  wwNotifyDesigner(leaf);
  EXPECT_EQ(designer.modified, 2);
}

TEST(NotifyDesigner, ComponentsOutsideFormsAndFreedFormsTellNobody) {
  Application->Initialize();
  TCountingDesigner designer;
  TComponent loose(nullptr);
  auto* child = new TComponent(&loose);
  wwNotifyDesigner(child);
  wwNotifyDesigner(nullptr);
  wwSetFormDesigner(nullptr, &designer);  // ignored

  // A freed form forgets its designer, even for a new form at the same address.
  auto* form = new TForm(nullptr);
  wwSetFormDesigner(form, &designer);
  delete form;
  auto replacement = std::make_unique<TForm>(nullptr);
  EXPECT_EQ(wwGetFormDesigner(replacement.get()), nullptr);
  wwNotifyDesigner(new TComponent(replacement.get()));
  EXPECT_EQ(designer.modified, 0);
}

// ---- simulated keys and mouse release

// A focusable window that records its key and mouse events.
class TInputProbe : public TCustomControl {
 public:
  explicit TInputProbe(TComponent* owner) : TCustomControl(owner) {
    SetTabStop(true);
    SetBounds(0, 0, 60, 20);
    OnKeyDown = [this](TObject*, WORD& key, TShiftState shift) {
      log.push_back("down " + std::to_string(key) + Shift(shift));
    };
    OnKeyUp = [this](TObject*, WORD& key, TShiftState shift) {
      log.push_back("up " + std::to_string(key) + Shift(shift));
    };
    OnKeyPress = [this](TObject*, char32_t& ch) { log.push_back("char " + std::to_string(ch)); };
    OnMouseUp = [this](TObject*, TMouseButton b, TShiftState, int, int) {
      log.push_back(b == mbLeft ? "mouse up left" : "mouse up other");
    };
    OnClick = [this](TObject*) { log.push_back("click"); };
  }
  std::vector<std::string> log;
  void PressLeft(int x = 5, int y = 5) { Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(x, y)); }
  bool LeftDown() const { return ControlState().Contains(csLButtonDown); }

 private:
  static std::string Shift(TShiftState s) {
    std::string text;
    if (s.Contains(ssShift)) text += " shift";
    if (s.Contains(ssCtrl)) text += " ctrl";
    if (s.Contains(ssAlt)) text += " alt";
    return text;
  }
};

using Log = std::vector<std::string>;

// A probe on the form that has the keyboard.
TInputProbe* FocusedProbe(TCustomForm* form) {
  auto* probe = new TInputProbe(form);
  probe->SetParent(form);
  probe->SetFocus();
  Pump();
  return probe;
}

TEST(SimulateKey, PostsPressAndReleaseWithTheHeldKey) {
  auto form = ShownForm();
  auto* probe = new TInputProbe(form.get());
  probe->SetParent(form.get());
  Pump();

  wwSimulateKey(probe, 'A', VK_SHIFT);
  EXPECT_TRUE(probe->log.empty());  // posted, not sent
  Pump();
  EXPECT_EQ(probe->log, (Log{"down 65 shift", "up 65 shift"}));
  // The program's keyboard state is left as it was.
  EXPECT_GE(GetKeyState(VK_SHIFT), 0);

  probe->log.clear();
  wwSimulateKey(probe, VK_F2, VK_CONTROL);
  wwSimulateKey(probe, VK_HOME, 0);
  wwSimulateKey(probe, VK_MENU, 0);  // a held key marks itself
  wwPostKeyWithShift(probe, VK_DOWN, VK_MENU);
  Pump();
  EXPECT_EQ(probe->log, (Log{"down 113 ctrl", "up 113 ctrl", "down 36", "up 36", "down 18 alt",
                             "up 18 alt", "down 40 alt", "up 40 alt"}));
}

TEST(SimulateKey, ShiftTabMovesTheFocusBackwards) {
  auto form = ShownForm();
  auto* first = new TInputProbe(form.get());
  auto* second = new TInputProbe(form.get());
  auto* third = new TInputProbe(form.get());
  for (TInputProbe* p : {first, second, third}) p->SetParent(form.get());
  second->SetFocus();
  Pump();
  ASSERT_EQ(form->ActiveControl(), second);

  wwSimulateKey(second, VK_TAB, VK_SHIFT);
  Pump();
  EXPECT_EQ(form->ActiveControl(), first);
  wwSimulateKey(first, VK_TAB, 0);
  Pump();
  EXPECT_EQ(form->ActiveControl(), second);
}

TEST(SimulateKey, KeysForAFreedWindowAreDropped) {
  auto form = ShownForm();
  auto* gone = new TInputProbe(form.get());
  auto* kept = new TInputProbe(form.get());
  for (TInputProbe* p : {gone, kept}) p->SetParent(form.get());
  wwSimulateKey(nullptr, 'A', 0);
  wwSimulateKey(gone, 'A', 0);
  wwSimulateKey(kept, 'B', 0);
  delete gone;
  Pump();
  EXPECT_EQ(kept->log, (Log{"down 66", "up 66"}));
}

TEST(ReleaseMouse, TheActiveControlWithTheButtonDownGetsTheRelease) {
  auto form = ShownForm();
  auto* probe = FocusedProbe(form.get());
  ASSERT_EQ(Screen->ActiveControl(), probe);

  probe->PressLeft();
  ASSERT_TRUE(probe->LeftDown());
  ASSERT_TRUE(probe->MouseCapture());
  wwReleaseMouse();
  EXPECT_TRUE(probe->LeftDown());  // posted
  Pump();
  EXPECT_FALSE(probe->LeftDown());
  EXPECT_FALSE(probe->MouseCapture());
  EXPECT_EQ(std::count(probe->log.begin(), probe->log.end(), "mouse up left"), 1);

  // With no button held nothing is posted.
  probe->log.clear();
  wwReleaseMouse();
  Pump();
  EXPECT_TRUE(probe->log.empty());
}

TEST(ReleaseMouse, ElseTheFirstWindowedChildWithTheButtonDown) {
  auto form = ShownForm();
  auto* container = FocusedProbe(form.get());
  container->SetBounds(0, 0, 150, 100);
  auto* idle = new TInputProbe(form.get());
  auto* held = new TInputProbe(form.get());
  auto* alsoHeld = new TInputProbe(form.get());
  for (TInputProbe* p : {idle, held, alsoHeld}) p->SetParent(container);
  ASSERT_EQ(Screen->ActiveControl(), container);

  held->PressLeft();
  alsoHeld->PressLeft();
  wwReleaseMouse();
  Pump();
  EXPECT_FALSE(held->LeftDown());
  EXPECT_TRUE(alsoHeld->LeftDown());  // only the first one
  EXPECT_TRUE(idle->log.empty());
  EXPECT_TRUE(container->log.empty());

  // Nobody left with a held button but a deeper grandchild: nothing happens.
  alsoHeld->Perform(WM_LBUTTONUP, 0, MakeLParam(-5, -5));
  auto* grandchild = new TInputProbe(form.get());
  grandchild->SetParent(idle);
  grandchild->PressLeft();
  for (TInputProbe* p : {container, idle, held, alsoHeld, grandchild}) p->log.clear();
  wwReleaseMouse();
  Pump();
  EXPECT_TRUE(grandchild->LeftDown());
  for (TInputProbe* p : {container, idle, held, alsoHeld, grandchild})
    EXPECT_TRUE(p->log.empty());
  grandchild->Perform(WM_LBUTTONUP, 0, MakeLParam(-5, -5));
}

TEST(ReleaseMouse, TheReleaseIsWhereTheMouseIs) {
  auto form = ShownForm();
  auto* probe = FocusedProbe(form.get());
  const TPoint inside = probe->ClientToScreen({10, 10});
  SetCursorPos(inside.x, inside.y);
  if (GetCursorPos() != inside) GTEST_SKIP() << "this platform does not move the mouse";
  probe->PressLeft();
  wwReleaseMouse();
  Pump();
  EXPECT_EQ(probe->log, (Log{"click", "mouse up left"}));

  const TPoint outside = probe->ClientToScreen({100, 100});
  SetCursorPos(outside.x, outside.y);
  probe->log.clear();
  probe->PressLeft();
  wwReleaseMouse();
  Pump();
  EXPECT_EQ(probe->log, Log{"mouse up left"});
}

// ---- the Escape check of filter passes

void PostKey(TWinControl* c, Qt::Key key, QEvent::Type type = QEvent::KeyPress) {
  const QString text = key == Qt::Key_Escape ? QString(QChar(27))
                       : key == Qt::Key_A    ? QString("a")
                                             : QString();
  QCoreApplication::postEvent(ClientOf(c), new QKeyEvent(type, key, Qt::NoModifier, text));
}

TEST(FilterEscape, AWaitingEscapeSwitchesTheFilterOff) {
  auto form = ShownForm();
  auto* probe = FocusedProbe(form.get());
  TSettingsDataSet ds;
  ds.OnFilterOptions.Include(ofoEnabled);

  EXPECT_FALSE(wwCheckFilterEscape(&ds));  // nothing typed
  EXPECT_TRUE(ds.OnFilterOptions.Contains(ofoEnabled));

  PostKey(probe, Qt::Key_Escape);
  EXPECT_TRUE(wwCheckFilterEscape(&ds));
  EXPECT_FALSE(ds.OnFilterOptions.Contains(ofoEnabled));
  EXPECT_TRUE(ds.OnFilterOptions.Contains(ofoShowHourGlass));  // other options stay
  // The key was taken: the control never saw the press nor its character.
  EXPECT_TRUE(probe->log.empty());

  // A posted key-down message counts as well.
  ds.OnFilterOptions.Include(ofoEnabled);
  PostMessage(probe, CN_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(wwCheckFilterEscape(&ds));
  EXPECT_FALSE(ds.OnFilterOptions.Contains(ofoEnabled));
}

TEST(FilterEscape, OnlyTheFirstKeyIsTakenAndOnlyEscapeCounts) {
  auto form = ShownForm();
  auto* probe = FocusedProbe(form.get());
  TSettingsDataSet ds;
  ds.OnFilterOptions.Include(ofoEnabled);

  // Another key first: taken, no Escape; the Escape after it reaches the control.
  PostKey(probe, Qt::Key_A);
  PostKey(probe, Qt::Key_Escape);
  EXPECT_FALSE(wwCheckFilterEscape(&ds));
  EXPECT_TRUE(ds.OnFilterOptions.Contains(ofoEnabled));
  EXPECT_EQ(probe->log, (Log{"down 27", "char 27"}));

  // The release of Escape is not a press.
  probe->log.clear();
  PostKey(probe, Qt::Key_Escape, QEvent::KeyRelease);
  EXPECT_FALSE(wwCheckFilterEscape(&ds));
  EXPECT_TRUE(ds.OnFilterOptions.Contains(ofoEnabled));
  EXPECT_TRUE(probe->log.empty());

  // Keys typed after the check reach the control again.
  PostKey(probe, Qt::Key_A);
  Pump();
  EXPECT_EQ(probe->log, (Log{"down 65", "char 97"}));
}

TEST(FilterEscape, WindowFreedWhileWaitingAndNoKeyboardWindow) {
  auto form = ShownForm();
  auto* probe = FocusedProbe(form.get());
  TSettingsDataSet ds;
  ds.OnFilterOptions.Include(ofoEnabled);
  // A message that frees the watched window before any key comes.
  QTimer::singleShot(0, [probe] { delete probe; });
  PostKey(form.get(), Qt::Key_Escape);
  EXPECT_FALSE(wwCheckFilterEscape(&ds));  // the watched window went away: no key taken
  EXPECT_TRUE(ds.OnFilterOptions.Contains(ofoEnabled));
  form.reset();
  Pump();
  ASSERT_EQ(Screen->ActiveForm(), nullptr);
  EXPECT_FALSE(wwCheckFilterEscape(&ds));  // no window has the keyboard
  EXPECT_FALSE(wwCheckFilterEscape(nullptr));
}

// ---- button faces

TColor Rgb(TColor c) { return ColorToRGB(c); }

// The pixels of one colour inside a region (the dark edge of a button is
// black too, so glyphs are looked for inside its face).
std::unique_ptr<TBitmap> Crop(TBitmap& b, const TRect& region) {
  auto part = Surface(region.Width(), region.Height());
  part->Canvas()->CopyRect(Rect(0, 0, region.Width(), region.Height()), b.Canvas(), region);
  return part;
}

TRect InkBoxIn(TBitmap& b, TColor ink, const TRect& region) {
  TRect box = InkBox(*Crop(b, region), ink);
  if (box.Right >= 0) OffsetRect(box, region.Left, region.Top);
  return box;
}

int CountIn(TBitmap& b, TColor ink, const TRect& region) {
  return CountPixels(*Crop(b, region), ink);
}

TRect Inside(TRect r) {
  InflateRect(r, -2, -2);
  return r;
}

// The black squares in a region, each as a box (found along their top row).
std::vector<TRect> BlackSquares(TBitmap& b, const TRect& region) {
  std::vector<TRect> squares;
  const TRect all = InkBoxIn(b, clBlack, region);
  for (int x = all.Left; x < all.Right;) {
    if (b.Canvas()->Pixels(x, all.Top) != clBlack) {
      ++x;
      continue;
    }
    int right = x;
    while (right < all.Right && b.Canvas()->Pixels(right, all.Top) == clBlack) ++right;
    squares.push_back(Rect(x, all.Top, right, all.Bottom));
    x = right;
  }
  return squares;
}

TEST(EllipsisButton, RaisedFaceWithThreeSquaresOffsetWhenUp) {
  auto b = Surface(40, 24, clFuchsia);
  const TRect r = Rect(5, 3, 29, 19);  // 24 x 16: squares of 25 / 8 = 3
  b->Canvas()->Brush()->SetColor(clLime);
  wwDrawEllipsisButton(b->Canvas(), r, bsUp, false);
  EXPECT_EQ(b->Canvas()->Brush()->Color(), clLime);  // the caller's brush is kept

  // Middle square at left + (24 - 3) / 2 + 1, top + (16 - 3) / 2 + 1.
  EXPECT_EQ(BlackSquares(*b, Inside(r)), (std::vector<TRect>{Rect(10, 10, 13, 13), Rect(16, 10, 19, 13),
                                                  Rect(22, 10, 25, 13)}));
  EXPECT_EQ(CountIn(*b, clBlack, Inside(r)), 27);
  // Raised soft edge, face in between, nothing outside.
  for (auto [x, y, colour] : {std::tuple{5, 3, Rgb(clBtnHighlight)}, {28, 18, Rgb(cl3DDkShadow)},
                              {6, 4, Rgb(cl3DLight)}, {27, 17, Rgb(clBtnShadow)},
                              {8, 6, Rgb(clBtnFace)}, {4, 3, clFuchsia}, {29, 19, clFuchsia}})
    EXPECT_EQ(b->Canvas()->Pixels(x, y), colour) << x << "," << y;
}

TEST(EllipsisButton, PressedIsFlatAndNotOffsetUnlessNoFlat) {
  const TRect r = Rect(5, 3, 29, 19);
  for (TButtonState pressed : {bsDown, bsExclusive}) {
    auto b = Surface(40, 24, clFuchsia);
    wwDrawEllipsisButton(b->Canvas(), r, pressed, false);
    EXPECT_EQ(BlackSquares(*b, Inside(r)), (std::vector<TRect>{Rect(9, 9, 12, 12), Rect(15, 9, 18, 12),
                                                    Rect(21, 9, 24, 12)}));
    EXPECT_EQ(b->Canvas()->Pixels(5, 3), Rgb(clBtnShadow));  // flat frame
    EXPECT_EQ(b->Canvas()->Pixels(28, 18), Rgb(clBtnShadow));
  }
  // NoFlat keeps the raised edge while pressed; the squares still sit unmoved.
  auto b = Surface(40, 24, clFuchsia);
  wwDrawEllipsisButton(b->Canvas(), r, bsDown, true);
  EXPECT_EQ(b->Canvas()->Pixels(5, 3), Rgb(clBtnHighlight));
  EXPECT_EQ(b->Canvas()->Pixels(28, 18), Rgb(cl3DDkShadow));
  EXPECT_EQ(InkBoxIn(*b, clBlack, Inside(r)), Rect(9, 9, 24, 12));
  // A disabled face is drawn as up.
  auto disabled = Surface(40, 24, clFuchsia);
  wwDrawEllipsisButton(disabled->Canvas(), r, bsDisabled, false);
  EXPECT_EQ(InkBoxIn(*disabled, clBlack, Inside(r)), Rect(10, 10, 25, 13));
}

TEST(EllipsisButton, SquareSideRoundsUpAndNeverVanishes) {
  // Width 15: (15 + 1) / 8 = 2 (not 15 / 8 = 1).
  auto b = Surface(30, 30, clFuchsia);
  wwDrawEllipsisButton(b->Canvas(), Rect(0, 0, 15, 15), bsUp, false);
  EXPECT_EQ(BlackSquares(*b, Inside(Rect(0, 0, 15, 15))), (std::vector<TRect>{Rect(3, 7, 5, 9), Rect(7, 7, 9, 9),
                                                  Rect(11, 7, 13, 9)}));
  // Width 6: (6 + 1) / 8 = 0, drawn as one pixel (the flat frame has no black).
  auto small = Surface(20, 20, clFuchsia);
  wwDrawEllipsisButton(small->Canvas(), Rect(2, 2, 8, 10), bsDown, false);
  EXPECT_EQ(CountPixels(*small, clBlack), 3);
  EXPECT_EQ(BlackSquares(*small, Rect(0, 0, 20, 20)), (std::vector<TRect>{Rect(2, 5, 3, 6), Rect(4, 5, 5, 6),
                                                      Rect(6, 5, 7, 6)}));
  // An empty rectangle or no canvas draws nothing.
  auto none = Surface(10, 10, clFuchsia);
  wwDrawEllipsisButton(none->Canvas(), Rect(5, 5, 5, 9), bsUp, false);
  wwDrawEllipsisButton(nullptr, Rect(0, 0, 9, 9), bsUp, false);
  EXPECT_EQ(CountPixels(*none, clFuchsia), 100);
}

std::unique_ptr<TBitmap> ArrowButton(bool pressed, bool noFlat, bool enabled) {
  auto b = Surface(17, 21, clFuchsia);
  wwDrawDropDownArrowButton(b->Canvas(), Rect(0, 0, 17, 21), pressed, noFlat, enabled);
  return b;
}

bool SameImage(TBitmap& a, TBitmap& b) {
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.Canvas()->Pixels(x, y) != b.Canvas()->Pixels(x, y)) return false;
  return true;
}

TEST(DropDownArrowButton, NormalPushedFlatAndInactive) {
  auto normal = ArrowButton(false, false, true);
  EXPECT_EQ(normal->Canvas()->Pixels(0, 0), Rgb(clBtnHighlight));  // raised
  EXPECT_EQ(normal->Canvas()->Pixels(16, 20), Rgb(cl3DDkShadow));
  const TRect face = Inside(Rect(0, 0, 17, 21));
  EXPECT_GT(CountIn(*normal, Rgb(clBtnText), face), 3);  // the arrow
  const TRect arrow = InkBoxIn(*normal, Rgb(clBtnText), face);
  EXPECT_LT(arrow.Width(), 17);
  EXPECT_GT(arrow.Width(), arrow.Height());  // pointing down: wider than tall

  auto pushed = ArrowButton(true, false, true);
  for (TPoint p : {TPoint{0, 0}, TPoint{16, 0}, TPoint{0, 20}, TPoint{16, 20}})
    EXPECT_EQ(pushed->Canvas()->Pixels(p.x, p.y), Rgb(clBtnShadow));  // one flat frame
  const TRect pushedArrow = InkBoxIn(*pushed, Rgb(clBtnText), face);
  EXPECT_GT(pushedArrow.Left, arrow.Left - 1);  // sits lower right, not higher left
  EXPECT_GT(pushedArrow.Top, arrow.Top);

  // NoFlat: a pressed button keeps the normal face.
  auto pressedNoFlat = ArrowButton(true, true, true);
  EXPECT_TRUE(SameImage(*pressedNoFlat, *normal));

  // Disabled: the arrow is greyed.
  auto inactive = ArrowButton(false, false, false);
  EXPECT_EQ(CountIn(*inactive, Rgb(clBtnText), face), 0);
  EXPECT_GT(CountIn(*inactive, Rgb(clGrayText), face), 3);
  EXPECT_EQ(inactive->Canvas()->Pixels(0, 0), Rgb(clBtnHighlight));
  EXPECT_TRUE(SameImage(*ArrowButton(true, true, false), *inactive));
  // Pressed without NoFlat wins over disabled.
  EXPECT_TRUE(SameImage(*ArrowButton(true, false, false), *pushed));
}

}  // namespace
