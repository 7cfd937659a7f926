// A window whose client area is a Qt widget, as the standard controls build
// theirs: keys pass the control's events first.

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLineEdit>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/stdctrls/place.h"

using namespace testing_support;

namespace {

class TLineEdit : public TWinControl {
 public:
  explicit TLineEdit(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetBounds(0, 0, 120, 24);
  }
  QLineEdit* edit = nullptr;

 protected:
  void CreateWnd() override {
    TWinControl::CreateWnd();
    edit = new QLineEdit;
    vantrel::qt::EmbedNativeWidget(*this, edit);
  }
  void DestroyWnd() override {
    edit = nullptr;
    TWinControl::DestroyWnd();
  }
};

// Two edits on `form`, one above the other; the first has the focus.
std::pair<TLineEdit*, TLineEdit*> TwoEdits(TCustomForm* form) {
  auto* name = new TLineEdit(form);
  name->SetParent(form);
  auto* other = new TLineEdit(form);
  other->SetTop(40);
  other->SetParent(form);
  name->SetFocus();
  return {name, other};
}

}  // namespace

TEST(NativeWidgetTest, KeysPassTheControlsEventsBeforeTheWidget) {
  auto form = ShownForm(200, 100);
  auto [name, other] = TwoEdits(form.get());
  ASSERT_NE(name->edit, nullptr);
  EXPECT_EQ(form->ActiveControl(), name);
  name->OnKeyPress = [](TObject*, char32_t& ch) {
    if (ch == U'x') ch = 0;      // refused
    if (ch == U'a') ch = U'A';  // changed
  };
  QTest::keyClicks(name->edit, "bxa");
  EXPECT_EQ(name->edit->text(), "bA");
  name->OnKeyDown = [](TObject*, WORD& key, TShiftState) {
    if (key == VK_BACK) key = 0;  // swallowed: no deletion
  };
  QTest::keyClick(name->edit, Qt::Key_Backspace);
  EXPECT_EQ(name->edit->text(), "bA");
  // Tab is a dialog key: the focus moves to the next control.
  std::vector<std::string> log;
  other->OnEnter = [&](TObject*) { log.push_back("enter other"); };
  QTest::keyClick(name->edit, Qt::Key_Tab);
  EXPECT_EQ(form->ActiveControl(), other);
  EXPECT_EQ(log, (std::vector<std::string>{"enter other"}));
  // Mouse presses reach the control's events and the widget.
  int downs = 0;
  name->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int x, int) {
    ++downs;
    EXPECT_EQ(x, 30);
  };
  QTest::mouseClick(name->edit, Qt::LeftButton, Qt::NoModifier, QPoint(30, 5));
  EXPECT_EQ(downs, 1);
  EXPECT_EQ(form->ActiveControl(), name);  // the widget took the focus: the form knows
}

// A key whose handling raises (a record refusing to be edited) types nothing,
// and every key after it is the control's again: heard, checked and typed.
TEST(NativeWidgetTest, AKeyWhoseHandlingRaisesTypesNothingAndTheKeysAfterItAreHeard) {
  auto form = ShownForm(200, 100);
  auto [name, other] = TwoEdits(form.get());
  std::string heard;
  name->OnKeyPress = [&](TObject*, char32_t& ch) {
    heard += char(ch);
    if (ch == U'x') throw EAbort("refused");
  };
  QTest::keyClicks(name->edit, "axbxc");
  EXPECT_EQ(heard, "axbxc");
  EXPECT_EQ(name->edit->text(), "abc");
}

// Every key that types a character goes down and up, one without a code of
// its own too (under VK_PACKET), also when its release comes without the
// character (a key mapped to it only while pressed); a key that types
// nothing of itself (a dead key waiting for its letter) does not.
TEST(NativeWidgetTest, KeysTypingACharacterWithoutACodeGoDownAndUp) {
  auto form = ShownForm(200, 100);
  TLineEdit* name = TwoEdits(form.get()).first;
  std::vector<WORD> downs, ups;
  name->OnKeyDown = [&](TObject*, WORD& key, TShiftState) { downs.push_back(key); };
  name->OnKeyUp = [&](TObject*, WORD& key, TShiftState) { ups.push_back(key); };
  const struct {
    const char* what;
    Qt::Key key;
    const char* text;
    quint32 scanCode;  // 0: unknown
    bool releaseBare;  // the release comes as no key, without the character
    std::vector<WORD> down, up;
  } cases[] = {
      {"a letter beyond ASCII", Qt::Key_Eacute, "\xC3\xA9", 0, false, {VK_PACKET}, {VK_PACKET}},
      {"a letter from an input method", Qt::Key_unknown, "\xC3\xB6", 0, false, {VK_PACKET}, {VK_PACKET}},
      {"punctuation", Qt::Key_Comma, ",", 59, false, {VK_PACKET}, {VK_PACKET}},
      {"an ASCII letter", Qt::Key_A, "a", 38, false, {'A'}, {'A'}},
      {"a letter mapped while pressed", Qt::Key_Eacute, "\xC3\xA9", 8, true, {VK_PACKET}, {VK_PACKET}},
      {"a dead key on that scan code", Qt::Key_Dead_Acute, "", 8, true, {}, {}},
      // Without a scan code the release cannot be told from any other.
      {"a bare release of an unknown key", Qt::Key_Eacute, "\xC3\xA9", 0, true, {VK_PACKET}, {}},
  };
  for (const auto& c : cases) {
    downs.clear();
    ups.clear();
    name->edit->clear();
    const QString text = QString::fromUtf8(c.text);
    QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier, c.scanCode, 0, 0, text);
    QKeyEvent release(QEvent::KeyRelease, c.releaseBare ? 0 : c.key, Qt::NoModifier, c.scanCode, 0, 0,
                      c.releaseBare ? QString() : text);
    QCoreApplication::sendEvent(name->edit, &press);
    QCoreApplication::sendEvent(name->edit, &release);
    EXPECT_EQ(downs, c.down) << c.what;
    EXPECT_EQ(ups, c.up) << c.what;
    EXPECT_EQ(name->edit->text().toStdString(), c.text) << c.what;
  }
}

TEST(NativeWidgetTest, AToolbarMovesBetweenDocksAndFloatsKeepingItsEdit) {
  auto form = ShownForm(300, 200);
  auto dock = [&](int top) {
    auto* d = Place<TCustomControl>(form.get(), 0, top, 300, 40);
    return d;
  };
  TCustomControl* top = dock(0);
  TCustomControl* bottom = dock(150);
  TForm floating(nullptr);
  floating.SetBounds(400, 100, 200, 60);
  floating.Show();
  auto* toolbar = new TCustomControl(form.get());
  toolbar->SetBounds(0, 0, 200, 30);
  toolbar->SetParent(top);
  auto* name = new TLineEdit(toolbar);
  name->SetParent(toolbar);
  name->SetFocus();
  QTest::keyClicks(name->edit, "abcd");
  QLineEdit* widget = name->edit;
  struct Case {
    TWinControl* dock;
    bool sameForm;
  } cases[] = {{bottom, true}, {&floating, false}, {top, false}};
  for (const Case& c : cases) {
    toolbar->SetParent(c.dock);
    Pump();
    EXPECT_EQ(name->edit, widget);  // the same widget: text, selection and undo stay
    EXPECT_EQ(widget->text(), "abcd");
    EXPECT_TRUE(widget->isUndoAvailable());
    EXPECT_EQ(widget->window(), vantrel::qt::WindowWidget(*GetParentForm(c.dock)));
    EXPECT_TRUE(widget->isVisible());
    EXPECT_TRUE(!c.sameForm || name->Focused());
  }
  // Taken off every parent the windows go; put back, the edit returns as it was.
  name->edit->setSelection(1, 2);
  toolbar->SetParent(nullptr);
  EXPECT_FALSE(name->HandleAllocated());
  toolbar->SetParent(top);
  ASSERT_NE(name->edit, nullptr);
  EXPECT_EQ(name->edit->text(), "abcd");
  EXPECT_EQ(name->edit->selectedText(), "bc");
  // CM_RECREATEWND re-creates once, after the events being handled.
  widget = name->edit;
  widget->setSelection(3, -2);  // the cursor at the start of the selection
  name->Perform(CM_RECREATEWND);
  name->Perform(CM_RECREATEWND);
  EXPECT_EQ(name->edit, widget);
  Pump();
  EXPECT_NE(name->edit, widget);
  EXPECT_EQ(name->edit->text(), "abcd");
  EXPECT_EQ(name->edit->selectedText(), "bc");
  EXPECT_EQ(name->edit->cursorPosition(), 1);
}

TEST(NativeWidgetTest, TheMouseGoesToTheCaptureOverAHostedWidget) {
  auto form = ShownForm(200, 100);
  auto* name = new TLineEdit(form.get());
  name->SetParent(form.get());
  auto* popup = Place<TCustomControl>(form.get(), 0, 50, 100, 40);
  std::vector<std::string> log;
  auto note = [&](const char* who) {
    return [&log, who](TObject*, TMouseButton, TShiftState, int x, int y) {
      log.push_back(std::string(who) + " " + std::to_string(x) + "," + std::to_string(y));
    };
  };
  auto* other = new TLineEdit(form.get());
  other->SetLeft(130);
  other->SetParent(form.get());
  other->SetFocus();
  popup->OnMouseDown = note("popup");
  name->OnMouseDown = note("edit");
  const int y = name->edit->mapTo(ClientOf(name), QPoint(30, 5)).y();
  popup->SetMouseCapture(true);
  QTest::mouseClick(name->edit, Qt::LeftButton, Qt::NoModifier, QPoint(30, 5));
  // In the popup's coordinates; the widget saw no press, so took no focus.
  EXPECT_EQ(log, (std::vector<std::string>{"popup 30," + std::to_string(y - 50)}));
  EXPECT_EQ(form->ActiveControl(), other);
  // Without a capture the widget's own control gets it again.
  ReleaseCapture();
  log.clear();
  QTest::mouseClick(name->edit, Qt::LeftButton, Qt::NoModifier, QPoint(30, 5));
  EXPECT_EQ(log, (std::vector<std::string>{"edit 30," + std::to_string(y)}));
  EXPECT_EQ(form->ActiveControl(), name);
}

// A window made active again gives the keys back to the edit that had them,
// unless the click that activated it landed on another edit: that one takes
// them (the click reaches the widget before the window becomes active).
TEST(NativeWidgetTest, AClickThatActivatesTheWindowGivesTheClickedEditTheKeys) {
  struct Case {
    const char* what;
    bool clickOther;
  } cases[] = {{"activated by a click on the other edit", true},
               {"activated without a click", false}};
  for (const Case& c : cases) {
    auto form = ShownForm(200, 100);
    auto [name, other] = TwoEdits(form.get());
    auto elsewhere = ShownForm(100, 60);
    ASSERT_FALSE(form->Active()) << c.what;
    if (c.clickOther) {
      ASSERT_TRUE(ActivatingClick(other, 10, 10)) << c.what;
    } else {
      vantrel::qt::WindowWidget(*form)->activateWindow();
      ASSERT_TRUE(QTest::qWaitFor([&] { return form->Active(); }, 2000)) << c.what;
    }
    TLineEdit* expected = c.clickOther ? other : name;
    EXPECT_EQ(form->ActiveControl(), expected) << c.what;
    SystemKeys("abc");
    EXPECT_EQ(expected->edit->text().toStdString(), "abc") << c.what;
    EXPECT_EQ((c.clickOther ? name : other)->edit->text().toStdString(), "") << c.what;
  }
}
