// How a request for a context menu travels: a right click, Shift+F10 and the
// Menu key ask the control under the mouse or with the focus once; a control
// that shows no menu hands the request to its parent; the toolkit's own menus
// (a text editor's, a scroll bar's) never show.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>

#include <string>

#include "platform/classlib/controls/control_helpers.h"

using namespace testing_support;

namespace {

// Notes each request for its menu as "name@x,y" (screen point) and answers
// it when it has a menu.
template <class Base>
class TAsking : public Base {
 public:
  TAsking(TWinControl* parent, std::string name, std::string& log) : Base(parent), name_(std::move(name)), log_(log) {
    this->SetParent(parent);
    this->SetTabStop(true);
  }
  bool hasMenu = false;

 protected:
  TPoint KeyboardPopupPoint() const override { return {5, 7}; }
  bool ShowOwnContextMenu(TPoint at) override {
    log_ += (log_.empty() ? "" : " ") + name_ + "@" + std::to_string(at.x) + "," + std::to_string(at.y);
    return hasMenu;
  }

 private:
  std::string name_;
  std::string& log_;
};

// A window whose client area is a text editor with its scroll bars, as the
// memos have theirs.
class TTextWindow : public TWinControl {
 public:
  using TWinControl::TWinControl;
  QPlainTextEdit* editor = nullptr;

 protected:
  void CreateWnd() override {
    TWinControl::CreateWnd();
    editor = new QPlainTextEdit("first line\nsecond line");
    editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    vantrel::qt::EmbedNativeWidget(*this, editor);
  }
  void DestroyWnd() override {
    editor = nullptr;
    TWinControl::DestroyWnd();
  }
};

using THost = TAsking<TCustomControl>;
using TField = TAsking<TCustomControl>;
using TText = TAsking<TTextWindow>;

// Closes a menu of the toolkit as soon as it shows (its own menus run a
// modal loop of their own), noting that one showed.
class TToolkitMenuCloser {
 public:
  TToolkitMenuCloser() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (QWidget* popup = QApplication::activePopupWidget()) {
        shown = true;
        popup->close();
      }
    });
    timer_.start();
  }
  bool shown = false;

 private:
  QTimer timer_;
};

}  // namespace

TEST(ContextMenuRoutingTest, EachRequestAsksItsControlOnceThenItsParents) {
  auto form = ShownForm(400, 300);
  std::string log;
  auto* host = new THost(form.get(), "host", log);
  host->SetBounds(0, 0, 400, 300);
  host->hasMenu = true;
  auto* field = new TField(host, "field", log);
  field->SetBounds(10, 10, 120, 80);
  auto* text = new TText(host, "text", log);
  text->SetBounds(150, 10, 200, 120);
  // The field's scroll bar, on its right edge.
  SetScrollRange(field, SB_VERT, 0, 100, false);
  ShowScrollBar(field, SB_VERT, true);
  Pump();
  QWidget* window = vantrel::qt::WindowWidget(*form);
  const auto point = [](TControl* c, TPoint p) {
    const TPoint s = c->ClientToScreen(p);
    return std::to_string(s.x) + "," + std::to_string(s.y);
  };
  const auto rightClick = [&](QPoint global) {
    QTest::mouseClick(window->windowHandle(), Qt::RightButton, Qt::NoModifier, window->mapFromGlobal(global));
  };
  const auto rightClickOn = [&](TControl* c, TPoint p) {
    const TPoint s = c->ClientToScreen(p);
    rightClick(QPoint(s.x, s.y));
  };
  const auto keys = [&](TWinControl* c, Qt::Key key, Qt::KeyboardModifiers mods) {
    c->SetFocus();
    Pump();
    QTest::keyClick(window->windowHandle(), key, mods);
  };
  int hooked = 0;
  struct Case {
    const char* name;
    std::function<void()> act;
    std::string told;
  } cases[] = {
      {"a right click on a control with a menu", [&] { field->hasMenu = true, rightClickOn(field, {20, 30}); },
       "field@" + point(field, {20, 30})},
      {"a right click on one without", [&] { field->hasMenu = false, rightClickOn(field, {20, 30}); },
       "field@" + point(field, {20, 30}) + " host@" + point(field, {20, 30})},
      {"Shift+F10", [&] { field->hasMenu = true, keys(field, Qt::Key_F10, Qt::ShiftModifier); },
       "field@" + point(field, {5, 7})},
      {"the Menu key, handed on",
       [&] { field->hasMenu = false, keys(field, Qt::Key_Menu, Qt::NoModifier); },
       "field@" + point(field, {5, 7}) + " host@" + point(host, {5, 7})},
      {"F10 alone", [&] { field->hasMenu = true, keys(field, Qt::Key_F10, Qt::NoModifier); }, ""},
      {"the Menu key with Ctrl", [&] { keys(field, Qt::Key_Menu, Qt::ControlModifier); }, ""},
      {"a right click in the text editor's text", [&] { text->hasMenu = true, rightClickOn(text, {30, 8}); },
       "text@" + point(text, {30, 8})},
      {"Shift+F10 in the text editor", [&] { keys(text, Qt::Key_F10, Qt::ShiftModifier); },
       "text@" + point(text, {5, 7})},
      {"the Menu key in the text editor", [&] { keys(text, Qt::Key_Menu, Qt::NoModifier); },
       "text@" + point(text, {5, 7})},
      {"a right click on the text editor's scroll bar",
       [&] {
         QScrollBar* bar = text->editor->verticalScrollBar();
         rightClick(bar->mapToGlobal(QPoint(bar->width() / 2, bar->height() / 2)));
       },
       ""},
      {"a right click on a control's scroll bar", [&] { rightClickOn(field, {field->ClientWidth() + 4, 40}); }, ""},
      {"the presses of a right and a middle click in the text editor's text",
       [&] {
         int presses = 0;
         const int counting = text->AddWindowHook([&presses](TMessage& m, const TWndMethod& next) {
           presses += m.Msg == WM_RBUTTONDOWN || m.Msg == WM_MBUTTONDOWN;
           next(m);
         });
         text->hasMenu = true;
         rightClickOn(text, {30, 8});
         const TPoint s = text->ClientToScreen({30, 8});
         QTest::mouseClick(window->windowHandle(), Qt::MiddleButton, Qt::NoModifier,
                           window->mapFromGlobal(QPoint(s.x, s.y)));
         text->RemoveWindowHook(counting);
         log = "presses " + std::to_string(presses);
       },
       "presses 2"},
      {"a request a window hook answered first",
       [&] {
         hooked = field->AddWindowHook([](TMessage& m, const TWndMethod& next) {
           if (m.Msg == WM_CONTEXTMENU) m.Result = 1;
           next(m);
         });
         rightClickOn(field, {20, 30});
         field->RemoveWindowHook(hooked);
       },
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log.clear();
    TToolkitMenuCloser toolkitMenus;
    c.act();
    Pump();
    EXPECT_EQ(log, c.told);
    EXPECT_FALSE(toolkitMenus.shown) << "no menu of the toolkit";
  }
  EXPECT_EQ(text->editor->toPlainText(), "first line\nsecond line") << "the keys were not typed";
}
