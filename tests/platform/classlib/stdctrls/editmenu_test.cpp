// The edit menu of text controls without a popup menu of their own: opened by
// a right click, Shift+F10 and the Menu key, its commands enabled as they
// apply to the text, and each doing what it says through the control.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QWindow>

#include <functional>
#include <memory>
#include <string>

#include "platform/classlib/controls/clipboard.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/stdctrls/comboboxes.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/maskedit.h"

using namespace testing_support;

namespace {

QMenu* OpenMenu() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }

void ClosePopups() {
  while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  Pump();
}

// The captions of the menu's items without their "&", the enabled ones alone
// when asked; lines as "-".
std::string Captions(const QMenu* menu, bool enabledOnly) {
  std::string captions;
  for (const QAction* a : menu->actions()) {
    if (enabledOnly && (a->isSeparator() || !a->isEnabled())) continue;
    std::string caption = a->isSeparator() ? "-" : a->text().remove('&').toStdString();
    captions += (captions.empty() ? "" : ",") + caption;
  }
  return captions;
}

// How the user asks for the menu.
enum class Ask { RightClick, ShiftF10, MenuKey };

void AskForMenu(TWinControl* c, Ask how) {
  if (how == Ask::RightClick) {
    QWidget* window = vantrel::qt::WindowWidget(*c->GetParentForm());
    const TPoint at = c->ClientToScreen({20, 8});  // on the text, clear of a combo's button
    QTest::mouseClick(window->windowHandle(), Qt::RightButton, Qt::NoModifier,
                      window->mapFromGlobal(QPoint(at.x, at.y)));
  } else {
    QTest::keyClick(QApplication::focusWidget(), how == Ask::ShiftF10 ? Qt::Key_F10 : Qt::Key_Menu,
                    how == Ask::ShiftF10 ? Qt::ShiftModifier : Qt::NoModifier);
  }
  Pump();
}

// The text controls, each with the text "one two three" and "two" selected.
struct Subject {
  const char* name;
  std::function<TWinControl*(TForm*)> make;
};
const Subject kSubjects[] = {
    {"edit", [](TForm* f) -> TWinControl* { return new TEdit(f); }},
    {"memo", [](TForm* f) -> TWinControl* { return new TMemo(f); }},
    {"mask edit", [](TForm* f) -> TWinControl* { return new TMaskEdit(f); }},
    {"combo box", [](TForm* f) -> TWinControl* { return new TComboBox(f); }},
};

void SelectTwo(TWinControl* c) {
  if (auto* edit = dynamic_cast<TCustomEdit*>(c)) {
    edit->SetSelStart(4);
    edit->SetSelLength(3);
  } else {
    c->Perform(EM_SETSEL, 4, 7);
  }
}

std::string SelectedText(TWinControl* c) {
  if (auto* edit = dynamic_cast<TCustomEdit*>(c)) return edit->SelText();
  auto* combo = static_cast<TComboBox*>(c);
  return c->Text().substr(size_t(combo->SelStart()), size_t(combo->SelLength()));
}

std::unique_ptr<TForm> FormWith(const Subject& s, TWinControl*& control) {
  auto form = ShownForm(320, 120);
  control = s.make(form.get());
  control->SetParent(form.get());
  control->SetBounds(10, 10, 200, control->Height());
  control->SetText("one two three");
  Pump();
  control->SetFocus();
  Pump();
  return form;
}

}  // namespace

// Every text control shows the same menu by mouse and keys, with a command
// enabled where it applies to the text, the selection and the clipboard.
TEST(EditMenuTest, CommandsAreEnabledAsTheyApply) {
  struct Case {
    const char* name;
    std::function<void(TWinControl*)> set;  // after "two" was selected
    bool clipboardText;
    const char* enabled;
  } cases[] = {
      {"a part selected", nullptr, true, "Cut,Copy,Paste,Delete,Select All"},
      {"an empty clipboard", nullptr, false, "Cut,Copy,Delete,Select All"},
      {"the caret alone", [](TWinControl* c) { c->Perform(EM_SETSEL, 2, 2); }, false, "Select All"},
      {"everything selected", [](TWinControl* c) { c->Perform(EM_SETSEL, 0, -1); }, true,
       "Cut,Copy,Paste,Delete"},
      {"no text", [](TWinControl* c) { c->SetText(""); }, true, "Paste"},
      {"after a change", [](TWinControl* c) { c->Perform(WM_CLEAR); }, false, "Undo,Select All"},
  };
  for (const Subject& s : kSubjects)
    for (const Case& c : cases)
      for (Ask how : {Ask::RightClick, Ask::ShiftF10, Ask::MenuKey}) {
        SCOPED_TRACE(std::string(s.name) + ", " + c.name + ", asked " + std::to_string(int(how)));
        TWinControl* control = nullptr;
        auto form = FormWith(s, control);
        SelectTwo(control);
        if (c.set) c.set(control);
        if (c.clipboardText) Clipboard()->SetAsText("clip");
        else Clipboard()->Clear();
        AskForMenu(control, how);
        QMenu* menu = OpenMenu();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(Captions(menu, false), "Undo,-,Cut,Copy,Paste,Delete,-,Select All");
        EXPECT_EQ(Captions(menu, true), c.enabled);
        ClosePopups();
      }
}

// What can be read but not changed offers no change; what is hidden is never
// handed out.
TEST(EditMenuTest, ReadOnlyAndPasswordEditsOfferOnlyWhatTheyAllow) {
  struct Case {
    const char* name;
    std::function<void(TEdit*)> set;
    const char* enabled;
  } cases[] = {
      {"read-only", [](TEdit* e) { e->SetReadOnly(true); }, "Copy,Select All"},
      {"password", [](TEdit* e) { e->SetPasswordChar(U'*'); }, "Paste,Delete,Select All"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TWinControl* control = nullptr;
    auto form = FormWith(kSubjects[0], control);
    auto* edit = static_cast<TEdit*>(control);
    c.set(edit);
    Pump();
    edit->SetFocus();
    SelectTwo(edit);
    Clipboard()->SetAsText("clip");
    AskForMenu(edit, Ask::ShiftF10);
    ASSERT_NE(OpenMenu(), nullptr);
    EXPECT_EQ(Captions(OpenMenu(), true), c.enabled);
    ClosePopups();
  }
}

// Each command, chosen by its letter, does its work on the text and the
// clipboard through the control, which tells of the change.
TEST(EditMenuTest, EachCommandDoesItsWork) {
  struct Case {
    const char* name;
    Qt::Key letter;
    const char* text;       // after the command
    const char* clipboard;  // after it; it held "clip"
    const char* selected;
  } cases[] = {
      {"Cut", Qt::Key_T, "one  three", "two", ""},
      {"Copy", Qt::Key_C, "one two three", "two", "two"},
      {"Paste", Qt::Key_P, "one clip three", "clip", ""},
      {"Delete", Qt::Key_D, "one  three", "clip", ""},
      {"Select All", Qt::Key_A, "one two three", "clip", "one two three"},
      {"Undo", Qt::Key_U, "one two three", "clip", nullptr},  // of a Delete before
  };
  for (const Subject& s : kSubjects)
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(s.name) + ", " + c.name);
      TWinControl* control = nullptr;
      auto form = FormWith(s, control);
      int changes = 0;
      if (auto* edit = dynamic_cast<TCustomEdit*>(control)) edit->OnChange = [&](TObject*) { ++changes; };
      else static_cast<TComboBox*>(control)->OnChange = [&](TObject*) { ++changes; };
      SelectTwo(control);
      Clipboard()->SetAsText("clip");
      if (c.letter == Qt::Key_U) {
        control->Perform(WM_CLEAR);
        changes = 0;
      }
      AskForMenu(control, Ask::MenuKey);
      ASSERT_NE(OpenMenu(), nullptr);
      QTest::keyClick(OpenMenu(), c.letter);
      Pump();
      EXPECT_EQ(OpenMenu(), nullptr) << "the menu closes";
      EXPECT_EQ(control->Text(), c.text);
      EXPECT_EQ(Clipboard()->AsText(), c.clipboard);
      EXPECT_EQ(changes > 0, control->Text() != "one two three" || c.letter == Qt::Key_U);
      if (c.selected) {
        EXPECT_EQ(SelectedText(control), c.selected);
      }
    }
}
