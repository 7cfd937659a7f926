// Windowed controls hosted on a toolbar (a colour combo box, a font-name
// box, an edit): the bar lays itself out again when one changes size, and a
// floating bar lends them the keyboard. The floating window may become the
// active one while its control has the keys; the form stays active
// meanwhile (its deactivation is held back), as its caption stays active.

#include <algorithm>

#include "platform/classlib/stdctrls/comboboxes.h"
#include "winctrls/tb97drag.h"

bool tb97::FloatingBarOf(const TCustomForm* form, LPARAM window) {
  auto* bar = dynamic_cast<TToolWindow97*>(reinterpret_cast<TWinControl*>(window));
  return bar && bar->Floating() && bar->GetParentForm() == form;
}

bool TToolWindow97::HoldsKeyboard() const {
  const TCustomForm* form = GetParentForm();
  return form && form->ActiveControl() && ContainsControl(form->ActiveControl());
}

void TToolWindow97::WatchChild(TControl* child, bool inserting) {
  const auto it = std::find_if(childHooks_.begin(), childHooks_.end(),
                               [child](const auto& h) { return h.first == child; });
  if (it != childHooks_.end()) {
    // A control being freed has lost its window part, and its hooks with it.
    if (auto* w = dynamic_cast<TWinControl*>(child)) w->RemoveWindowHook(it->second);
    childHooks_.erase(it);
  }
  auto* w = dynamic_cast<TWinControl*>(child);
  if (!inserting || !w) return;
  childHooks_.push_back({w, w->AddWindowHook([this, w](TMessage& m, const TWndMethod& next) {
                           ChildMessage(w, m, next);
                         })});
}

void TToolWindow97::UnwatchChildren() {
  for (const auto& [child, hook] : childHooks_) child->RemoveWindowHook(hook);
  childHooks_.clear();
}

void TToolWindow97::ChildMessage(TWinControl* child, TMessage& m, const TWndMethod& next) {
  // A press on a control that takes the keyboard on a floating bar: the
  // keys go there, as to a control clicked on the form.
  const bool press = m.Msg == WM_LBUTTONDOWN || m.Msg == WM_RBUTTONDOWN || m.Msg == WM_MBUTTONDOWN;
  if (press && Floating() && child->TabStop() && child->CanFocus()) TakeKeyboard(child);
  const WORD key = m.Msg == CN_KEYDOWN ? WORD(m.WParam) : 0;
  const bool closedUp = m.Msg == CN_COMMAND && HiWord(m.WParam) == CBN_CLOSEUP;
  const auto alive = Lifetime();
  next(m);
  if (alive.expired()) return;
  if (m.Msg == WM_SIZE && arranging_ == 0) ArrangeControls();
  // Escape, Enter or a list closed (the choice made or given up) end the
  // visit: the keys return to where they were.
  if (key == VK_ESCAPE || key == VK_RETURN || closedUp) GiveKeyboardBack();
}

void TToolWindow97::TakeKeyboard(TWinControl* child) {
  TCustomForm* form = GetParentForm();
  if (!form) return;
  if (TWinControl* had = form->ActiveControl(); !had || !ContainsControl(had)) SetKeyboardFrom(had);
  child->SetFocus();
}

void TToolWindow97::GiveKeyboardBack() {
  if (!Floating() || !HoldsKeyboard()) return;
  TWinControl* back = keyboardFrom_;
  SetKeyboardFrom(nullptr);
  // With nothing to return to (it went meanwhile), the form alone is active again.
  GetParentForm()->FocusControl(back && back->CanFocus() ? back : nullptr);
}

void TToolWindow97::ActivationTaken() {
  // Shown or clicked, the window took activation that only a control with
  // the keyboard may keep: the form gets it back, with its own control.
  if (HoldsKeyboard()) return;
  TCustomForm* form = GetParentForm();
  TWinControl* had = form ? form->ActiveControl() : nullptr;
  if (had && had->CanFocus()) form->FocusControl(had);
  else if (form) form->Show();
}

void TToolWindow97::SetKeyboardFrom(TWinControl* control) {
  if (keyboardFrom_ && keyboardFrom_ != control) keyboardFrom_->RemoveFreeNotification(this);
  keyboardFrom_ = control;
  if (control) control->FreeNotification(this);
}
