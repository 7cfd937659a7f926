#pragma once
// Window and drawing routines the library's controls share: telling a form's
// designer of a change, simulated keys, releasing a held mouse button, the
// Escape check of long filter passes, and the faces of the ellipsis and
// drop-down buttons.

#include "platform/classlib/core/wintypes.h"
#include "platform/classlib/graphics/types.h"
#include "platform/classlib/stdctrls/stdctrls.h"

class TCanvas;
class TComponent;
class TCustomForm;
class TObject;
class TWinControl;

// The designer of a form being designed: told when the design changed.
class TwwFormDesigner {
 public:
  virtual ~TwwFormDesigner() = default;
  virtual void Modified() = 0;
};

// Attaches a designer to a form (nullptr detaches it). Forms have none while
// the program runs; a design surface attaches one. A freed form is forgotten;
// the designer itself is not owned and must stay alive while attached.
void wwSetFormDesigner(TCustomForm* form, TwwFormDesigner* designer);
TwwFormDesigner* wwGetFormDesigner(TCustomForm* form);

// Follows the owners to a form and tells its designer, when it has one, that
// the design was modified.
void wwNotifyDesigner(TComponent* component);

// Posts a press and a release of `key` to `window`, as if `key` were typed
// while `shiftKey` (VK_SHIFT, VK_CONTROL, VK_MENU or 0) is held. The held keys
// travel in the messages' shift state, so the keyboard state of the program
// is never changed.
void wwSimulateKey(TWinControl* window, WORD key, WORD shiftKey);
// The grid's name for wwSimulateKey (Alt+Down to an embedded control).
inline void wwPostKeyWithShift(TWinControl* window, WORD key, WORD shiftKey) {
  wwSimulateKey(window, key, shiftKey);
}

// Releases a held left mouse button: posts a left-button-up, at the mouse's
// position, to the screen's active control when its left button is down, else
// to its first windowed child whose left button is down; nothing otherwise.
void wwReleaseMouse();

// For long filter passes: lets the waiting messages run once and takes the
// first key message that reaches the window with the keyboard out of its
// way. When that was a press of Escape, the dataset's filter is switched off
// and the result is true.
bool wwCheckFilterEscape(TObject* dataSet);

// A raised button face with three black squares in its middle (an ellipsis),
// flat while pressed unless noFlat.
void wwDrawEllipsisButton(TCanvas* canvas, TRect rect, TButtonState state, bool noFlat);

// The combo-box arrow button: pushed and flat while pressed (unless noFlat),
// else normal when enabled and inactive when not.
void wwDrawDropDownArrowButton(TCanvas* canvas, TRect rect, bool pressed, bool noFlat,
                               bool enabled);
