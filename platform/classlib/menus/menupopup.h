#pragma once
// Internal to the menus library's .cpp files: the popups that show a menu's
// items.

#include <QPoint>

#include "platform/classlib/menus/menus.h"

class QAction;
class QMenu;
class QWidget;

namespace vantrel::menus {

// A popup of a menu: the menu's own (parentAction nullptr) or the sub-menu
// of an item.
QMenu* NewPopup(TMenu::Impl& impl, QWidget* parent, QAction* parentAction);
// Shows a menu's own popup with its top-left at `at`.
void ShowPopupAt(QMenu* popup, QPoint at);

}  // namespace vantrel::menus
