#pragma once
// The state of a toolbar's running drag (move, size or close button),
// shared by the files that make up the toolbar.

#include "platform/classlib/core/exceptions.h"
#include "winctrls/tb97.h"

namespace tb97 {

inline bool Loading(const TComponent* c) { return c->ComponentState().Contains(csLoading); }
inline bool BeingDestroyed(const TComponent* c) {
  return c->ComponentState().Contains(csDestroying);
}
// Docks and toolbars belong to a form: any other owner raises.
inline TForm* OwnerForm(TComponent* owner, const char* className) {
  auto* form = dynamic_cast<TForm*>(owner);
  if (!form) throw EInvalidOperation(std::string(className) + " must be owned by a form");
  return form;
}

// Whether `window` (a window handle as WM_ACTIVATE carries it) is one of
// the form's floating toolbars.
bool FloatingBarOf(const TCustomForm* form, LPARAM window);

}  // namespace tb97

// A line of one colour from (x1, y1) up to, not including, (x2, y2).
inline void DrawLine(TCanvas* c, TColor color, int x1, int y1, int x2, int y2) {
  c->Pen()->SetColor(color);
  c->MoveTo(x1, y1);
  c->LineTo(x2, y2);
}

struct TToolWindow97::Drag {
  enum Kind { Move, Size, Close } kind = Move;
  // Move: where the bar was grabbed (window coordinates) and its size then.
  TPoint grab;
  TSize initial;
  bool preventDocking = false;
  std::vector<std::pair<TDock97*, TSize>> sizes;  // nullptr: floating
  TDock97* target = nullptr;
  TRect outline;
  TScreenOutline screen;
  // Size: the edge dragged and the window sizes the bar may take.
  int edge = 0;
  std::vector<TSize> candidates;
  int tolerance = 0;
  TRect start;
  int lastDirection = 0;  // -1 shrinking, 1 growing
  // Close: the button is shown pressed while the mouse is over it.
  bool pressed = false;
  // Keys go to the form meanwhile: Ctrl changes the outline at once, the
  // others are dropped.
  TPoint mouse;
  TCustomForm* keyForm = nullptr;
  int keyHook = 0, keyUpHook = 0;
  ~Drag() {
    if (!keyForm) return;
    keyForm->RemoveShortCutHook(keyHook);
    keyForm->RemoveKeyUpHook(keyUpHook);
  }
};
