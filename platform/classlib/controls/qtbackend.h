#pragma once
// Internal to the class library's window libraries: how window controls reach
// the Qt widgets under them. The controls library implements it; the menus
// and standard-controls libraries built on it use it in their .cpp files, as
// do tests that drive real widgets. The system's own code never includes it.
// Only forward declarations of Qt classes here.

#include <exception>
#include <functional>
#include <string>

#include "platform/classlib/controls/controls.h"

class QWidget;

namespace vantrel::qt {

// The widget of the whole window and the one of its client area (nullptr
// until the handle exists).
QWidget* WindowWidget(const TWinControl& control);
QWidget* ClientWidget(const TWinControl& control);
// Hosts a Qt widget (line edit, list, ...) as the client area of a window
// control, for the standard controls: call it from the control's CreateWnd.
// Keys reach the control first as they do for every window (OnKeyDown,
// OnKeyPress may change or swallow them, dialog keys move the focus); what
// is left goes to the widget. Mouse and focus messages are sent to the
// control and then handled by the widget as well.
void EmbedNativeWidget(TWinControl& control, QWidget* widget);

// Brings a window to the top of the stacking order.
void RaiseWindow(QWidget* window);
// The window control a widget belongs to (nullptr for foreign widgets).
TWinControl* ControlOfWidget(QWidget* widget);

// Runs `action` from the event loop later, unless the window is freed by then.
void PostToWindow(TWinControl* window, std::function<void(TWinControl*)> action);

// Reports an exception that escaped an event handler (the application shows
// it); never lets it cross into the event loop.
void ReportException(std::exception_ptr error);
// Runs an event handler of ours from a Qt signal or event; exceptions go to
// the application, never into Qt.
template <class F>
void Guarded(F&& f) {
  try {
    f();
  } catch (...) {
    ReportException(std::current_exception());
  }
}

// What decides the window-system plugin at start-up.
struct DisplayEnvironment {
  std::string qpaPlatform;     // QT_QPA_PLATFORM
  std::string waylandDisplay;  // WAYLAND_DISPLAY
  std::string sessionType;     // XDG_SESSION_TYPE
  std::string x11Display;      // DISPLAY
  bool x11PluginInstalled = false;
};
DisplayEnvironment CurrentDisplayEnvironment();
// True when the X11 plugin should be chosen over Wayland: Wayland ignores
// where a program places its top-level windows (floating toolbars, pop-ups),
// while X11 (through XWayland) honours it. A platform the user set is kept.
bool PreferX11(const DisplayEnvironment& env);

// Set by the application: told of every mouse move over a control (hints).
extern void (*MouseMoveObserver)(TControl* control, TPoint clientPos);
// Set by the application: told when a form window becomes active or inactive.
extern void (*ActivationObserver)(TWinControl* window, bool active);

}  // namespace vantrel::qt
