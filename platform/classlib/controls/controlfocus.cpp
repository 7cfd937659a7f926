// Tab order, focus and the keyboard.

#include "platform/classlib/controls/controlwidgets.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include <algorithm>

#include "platform/classlib/controls/forms.h"

using namespace vantrel::qt;
using namespace vantrel::controlsimpl;

// ---- Keys ------------------------------------------------------------------

namespace {

// Key messages carry the shift state's bits in LParam.
TShiftState KeyShift(LPARAM lp) { return TShiftState::FromBits(uint64_t(lp)); }

}  // namespace

bool ControlAccess::DoKeyDown(TWinControl* w, WORD& key, TShiftState shift) {
  // A freed control counts as handled: nothing of it may run any more.
  const auto alive = w->Lifetime();
  TCustomForm* form = ::GetParentForm(w);
  // The form's menus and actions come first: a shortcut they take is theirs alone.
  if (form && (form->IsShortCut(key, shift) || key == 0 || alive.expired())) return true;
  if (form && form != w && form->KeyPreview()) {
    static_cast<TWinControl*>(form)->KeyDown(key, shift);
    if (key == 0 || alive.expired()) return true;
  }
  if (!w->ControlStyle().Contains(csNoStdEvents)) {
    w->KeyDown(key, shift);
    if (key == 0 || alive.expired()) return true;
  }
  return false;
}

bool ControlAccess::DoKeyPress(TWinControl* w, char32_t& ch) {
  // A freed control counts as handled: nothing of it may run any more.
  const auto alive = w->Lifetime();
  TCustomForm* form = ::GetParentForm(w);
  if (form && form != w && form->KeyPreview()) {
    static_cast<TWinControl*>(form)->KeyPress(ch);
    if (ch == 0 || alive.expired()) return true;
  }
  if (!w->ControlStyle().Contains(csNoStdEvents)) {
    w->KeyPress(ch);
    if (ch == 0 || alive.expired()) return true;
  }
  return false;
}

namespace {

// The characters a key makes. Ctrl+letter makes the control character
// (Ctrl+S is 19) whatever the platform's text says: X11 gives it, the
// offscreen platform gives the letter. Ctrl+Alt is AltGr: its text stands.
QString TypedText(const QKeyEvent* e) {
  const Qt::KeyboardModifiers mods = e->modifiers();
  const int k = e->key();
  if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier) && k >= Qt::Key_A &&
      k <= Qt::Key_Z)
    return QString(QChar(char16_t(k - Qt::Key_A + 1)));
  return e->text();
}

// A character typed with Alt goes to the form, which offers it to the
// controls' mnemonics; true when it is no text for the control that has the
// focus. With Alt alone it never is (a letter no mnemonic takes is dropped,
// not typed); with Ctrl and Alt (AltGr) it is text unless a mnemonic takes it.
bool TakenWithAlt(TWinControl* w, char32_t ch, TShiftState shift) {
  if (!shift.Contains(ssAlt)) return false;
  TCustomForm* form = ::GetParentForm(w);
  const bool taken = form && form->Perform(CM_DIALOGCHAR, ch, LPARAM(shift.Bits())) != 0;
  return taken || !shift.Contains(ssCtrl);
}

}  // namespace

namespace {

// The dialog-code bit a control must answer to keep a navigation key.
int WantMaskOf(WORD key) {
  switch (key) {
    case VK_TAB: return DLGC_WANTTAB;
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: return DLGC_WANTARROWS;
    case VK_RETURN: case VK_EXECUTE: case VK_ESCAPE: case VK_CANCEL: return DLGC_WANTALLKEYS;
    default: return 0;
  }
}

}  // namespace

void ControlAccess::KeyDownMessage(TWinControl* w, TMessage& m) {
  WORD key = WORD(m.WParam);
  const TShiftState shift = KeyShift(m.LParam);
  if (DoKeyDown(w, key, shift)) {
    m.Result = 1;
    return;
  }
  // A navigation key the control does not want is the form's dialog key.
  const int mask = WantMaskOf(key);
  if (mask && w->Perform(CM_WANTSPECIALKEY, key, m.LParam) == 0 &&
      (w->Perform(WM_GETDLGCODE) & mask) == 0)
    if (TCustomForm* form = ::GetParentForm(w))
      if (form->Perform(CM_DIALOGKEY, key, m.LParam) != 0) {
        m.Result = 1;
        return;
      }
  w->Perform(WM_KEYDOWN, key, m.LParam);
  // Shift+F10 and the Menu key ask for the focused control's popup menu;
  // the control itself (a text editor) never sees them.
  if ((key == VK_F10 && shift == TShiftState{ssShift}) || (key == VK_APPS && shift.Empty())) {
    w->Perform(WM_CONTEXTMENU, WPARAM(w), kContextMenuFromKeyboard);
    m.Result = 1;
    return;
  }
  m.Result = 0;
}

void ControlAccess::KeyUpMessage(TWinControl* w, TMessage& m) {
  WORD key = WORD(m.WParam);
  const TShiftState shift = KeyShift(m.LParam);
  TCustomForm* form = ::GetParentForm(w);
  if (form && form->KeyUpHandled(key, shift)) return;
  const auto alive = w->Lifetime();
  if (form && form != w && form->KeyPreview()) {
    static_cast<TWinControl*>(form)->KeyUp(key, shift);
    if (key == 0 || alive.expired()) return;
  }
  if (!w->ControlStyle().Contains(csNoStdEvents)) w->KeyUp(key, shift);
  if (key && !alive.expired()) w->Perform(WM_KEYUP, key, m.LParam);
}

void ControlAccess::KeyInput(TWinControl* w, QKeyEvent* e) {
  const TShiftState shift = ShiftOf(e->modifiers());
  const LPARAM data = LPARAM(shift.Bits());
  const auto alive = w->Lifetime();
  if (const WORD key = VirtualKeyOf(e)) {
    // A handled key (set to 0, or taken as a dialog key) makes no character.
    if (w->Perform(CN_KEYDOWN, key, data) != 0) return;
  }
  for (char32_t ch : TypedText(e).toUcs4()) {
    if (alive.expired()) return;
    if (TakenWithAlt(w, ch, shift)) continue;
    w->Perform(CN_CHAR, ch, data);
  }
}

bool ControlAccess::NativeKey(TWinControl* w, QWidget* native, QKeyEvent* e) {
  const TShiftState shift = ShiftOf(e->modifiers());
  const LPARAM data = LPARAM(shift.Bits());
  if (const WORD key = VirtualKeyOf(e))
    if (w->Perform(CN_KEYDOWN, key, data) != 0) return true;  // handled: swallowed
  const QString text = TypedText(e);
  if (text.isEmpty()) return false;
  QString typed;
  for (char32_t ch : text.toUcs4()) {
    if (TakenWithAlt(w, ch, shift)) continue;
    char32_t c = ch;
    if (DoKeyPress(w, c)) continue;  // swallowed by OnKeyPress
    typed += QString::fromUcs4(&c, 1);
  }
  if (typed == text) return false;  // the widget handles the key as it came
  if (!typed.isEmpty()) {
    // The character was changed: the widget gets the new one.
    QKeyEvent changed(QEvent::KeyPress, typed.size() == 1 ? 0 : e->key(), e->modifiers(), typed);
    QCoreApplication::sendEvent(native, &changed);
  }
  return true;
}

void ControlAccess::KeyRelease(TWinControl* w, QKeyEvent* e) {
  if (const WORD key = VirtualKeyOf(e))
    w->Perform(CN_KEYUP, key, LPARAM(ShiftOf(e->modifiers()).Bits()));
}

void TWinControl::KeyDown(WORD& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}
void TWinControl::KeyUp(WORD& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}
void TWinControl::KeyPress(char32_t& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}
void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}
void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

// ---- Tab order and focus -------------------------------------------------------

int TWinControl::TabOrder() const {
  if (!parent_) return -1;
  const auto& list = parent_->tabList_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : int(it - list.begin());
}

void TWinControl::SetTabOrder(int value) {
  if (ComponentState().Contains(csLoading)) {
    // Siblings read later are not there yet: the parent sorts when loaded.
    pendingTabOrder_ = value;
    return;
  }
  if (!parent_) return;
  auto& list = parent_->tabList_;
  std::erase(list, this);
  value = std::clamp(value, 0, int(list.size()));
  list.insert(list.begin() + value, this);
}

void TWinControl::SetTabStop(bool value) {
  if (value == tabStop_) return;
  tabStop_ = value;
  Perform(CM_TABSTOPCHANGED);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const {
  for (TWinControl* c : tabList_) {
    list.push_back(c);
    c->GetTabOrderList(list);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool goForward,
                                          bool checkTabStop, bool checkParent) const {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  if (list.empty()) return nullptr;
  const int count = int(list.size());
  auto found = std::find(list.begin(), list.end(), current);
  int start = found == list.end() ? (goForward ? count - 1 : 0) : int(found - list.begin());
  int i = start;
  do {
    if (goForward) {
      if (++i == count) i = 0;
    } else {
      if (i == 0) i = count;
      --i;
    }
    TWinControl* c = list[size_t(i)];
    if (c->CanFocus() && (!checkTabStop || c->TabStop()) && (!checkParent || c->parent_ == this))
      return c;
  } while (i != start);
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool goForward, bool checkTabStop) {
  if (TWinControl* next = FindNextControl(current, goForward, checkTabStop, !checkTabStop))
    next->SetFocus();
}

bool TWinControl::CanFocus() const {
  TCustomForm* form = ::GetParentForm(this);
  if (!form) return false;
  for (const TControl* c = this; c && c != form; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

bool TWinControl::Focused() const {
  TCustomForm* form = ::GetParentForm(this);
  return form ? form->focusedControl_ == this : (HandleAllocated() && backend_->client->hasFocus());
}

void TWinControl::SetFocus() {
  TCustomForm* form = ::GetParentForm(this);
  if (form && form != this) {
    form->FocusControl(this);
    return;
  }
  HandleNeeded();
  backend_->client->setFocus(Qt::OtherFocusReason);
}
