#pragma once
// Internal to the menus library and its tests: the Qt widgets under menus.

#include "platform/classlib/menus/menus.h"

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace vantrel::menus {

// Puts the form's menu bar at `bounds` (window coordinates), making it when
// the window has none yet.
void PlaceMenuBar(TMainMenu& menu, const TRect& bounds);
// Alt and a top-level item's mnemonic open that item's menu (or run it).
bool OpenByMnemonic(TMainMenu& menu, WORD key, TShiftState shift);

// The bar of a main menu and the menu of a popup menu (nullptr before they
// are made), and the action showing an item in a menu or bar.
QMenuBar* MenuBarWidget(TMainMenu& menu);
QMenu* PopupWidget(TPopupMenu& menu);
QAction* ActionOf(TMenu& menu, const TMenuItem* item, QWidget* container);

}  // namespace vantrel::menus
