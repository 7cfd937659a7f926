#pragma once
// Helpers for tests of window controls: forms shown offscreen, events, pixels.

#include <QGuiApplication>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <functional>
#include <memory>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/graphics/surface.h"

namespace testing_support {

// Lets queued events (paints, posted messages, activation) run.
inline void Pump(int rounds = 3) {
  for (int i = 0; i < rounds; ++i) Application->ProcessMessages();
}

// Waiting without fixed sleeps: what should happen is awaited as a condition;
// that something does NOT happen is shown by letting a timer of the interval
// of the one under test fire a few rounds: the timer under test, had it still
// run, would have fired in that time too, however slowly the machine runs.
// How long an awaited event may take on a loaded machine:
constexpr int kEventLimitMs = 5000;

template <class Condition>
bool WaitFor(Condition condition) {
  return QTest::qWaitFor(condition, kEventLimitMs);
}

inline bool RunTimerRounds(int intervalMs, int rounds) {
  int fired = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++fired; });
  timer.start(intervalMs);
  return QTest::qWaitFor([&] { return fired >= rounds; }, kEventLimitMs + intervalMs * rounds);
}

// A form of the given client size, shown.
inline std::unique_ptr<TForm> ShownForm(int w = 200, int h = 150) {
  Application->Initialize();
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBounds(10, 10, w, h);
  form->Show();
  Pump();
  return form;
}

// What the window looks like now, as a bitmap of its size.
inline std::unique_ptr<TBitmap> Snapshot(TWinControl* c) {
  auto b = Surface(c->Width(), c->Height(), clFuchsia);
  c->PaintTo(b->Canvas(), 0, 0);
  return b;
}

inline QWidget* ClientOf(TWinControl* c) { return vantrel::qt::ClientWidget(*c); }

inline void Click(TWinControl* c, int x, int y, Qt::MouseButton b = Qt::LeftButton) {
  QTest::mouseClick(ClientOf(c), b, Qt::NoModifier, QPoint(x, y));
}

// Clicks an arrow of the control's scroll bar (SB_VERT or SB_HORZ) with the
// mouse: `back` the up or left one, else the down or right one. False when
// the control shows no such bar.
inline bool ClickScrollArrow(TWinControl* c, int which, bool back) {
  const Qt::Orientation orientation = which == SB_VERT ? Qt::Vertical : Qt::Horizontal;
  for (QScrollBar* bar : vantrel::qt::WindowWidget(*c)->findChildren<QScrollBar*>()) {
    if (bar->orientation() != orientation || !bar->isVisible()) continue;
    // Where the style puts the arrow, as the bar lays itself out.
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = orientation;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.subControls = QStyle::SC_All;
    const QRect arrow = bar->style()->subControlRect(
        QStyle::CC_ScrollBar, &option, back ? QStyle::SC_ScrollBarSubLine : QStyle::SC_ScrollBarAddLine, bar);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, arrow.center());
    return true;
  }
  return false;
}

// A custom control whose creation parameters a test adjusts (style bits, owner).
class TStyledControl : public TCustomControl {
 public:
  TStyledControl(TComponent* owner, std::function<void(TCreateParams&)> adjust)
      : TCustomControl(owner), adjust_(std::move(adjust)) {}

 protected:
  void FillCreateParams(TCreateParams& params) override {
    TCustomControl::FillCreateParams(params);
    adjust_(params);
  }

 private:
  std::function<void(TCreateParams&)> adjust_;
};

// A click through the window system, which holds back input to windows a
// modal one blocks (Click hands the event to the widget directly). For
// top-level windows: (x, y) is in window coordinates.
inline void SystemClick(TWinControl* c, int x, int y) {
  QTest::mouseClick(vantrel::qt::WindowWidget(*c)->windowHandle(), Qt::LeftButton,
                    Qt::NoModifier, QPoint(x, y));
  Pump();
}

// A click as the user gives it, through the window system at (x, y) of a
// control's client area, or of a windowless control's place on its parent:
// the toolkit focuses what it clicked first, and what the press sets off (a
// message box) runs while the button is still down.
inline void WindowClick(TControl* c, int x, int y) {
  auto* windowed = dynamic_cast<TWinControl*>(c);
  if (!windowed) {
    x += c->Left();
    y += c->Top();
    windowed = c->Parent();
  }
  QWidget* client = vantrel::qt::ClientWidget(*windowed);
  QWindow* window = client->window()->windowHandle();
  const QPoint at = client->mapTo(client->window(), QPoint(x, y));
  QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, at);
  Pump();
  QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, at);
  Pump();
}

// A click on a control of a window that is not the active one, in the order
// the X window system gives it: the press reaches the clicked widget first,
// then the window it was in becomes the active one. (x, y) is in the
// control's client coordinates.
inline bool ActivatingClick(TWinControl* c, int x, int y) {
  QWidget* client = vantrel::qt::ClientWidget(*c);
  QWidget* window = client->window();
  QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                    client->mapTo(window, QPoint(x, y)));
  window->windowHandle()->requestActivate();
  const bool active = QTest::qWaitFor([window] { return window->isActiveWindow(); }, 2000);
  Pump();
  return active;
}

// Keys typed through the window system: they go wherever the active window
// keeps its keyboard focus.
inline void SystemKeys(const char* text) {
  QWindow* window = QGuiApplication::focusWindow();
  for (const char* ch = text; window && *ch; ++ch) QTest::keyClick(window, *ch);
  Pump();
}

}  // namespace testing_support
