#pragma once
// Internal to the menus library's .cpp files: the popups that show a menu's
// items.

#include <QPoint>

#include "platform/classlib/menus/menus.h"

class QAction;
class QColor;
class QMenu;
class QPainter;
class QPalette;
class QRect;
class QWidget;

namespace vantrel::menus {

// A popup of a menu: the menu's own (parentAction nullptr) or the sub-menu
// of an item.
QMenu* NewPopup(TMenu::Impl& impl, QWidget* parent, QAction* parentAction);
// Shows a menu's own popup with its top-left at `at`.
void ShowPopupAt(QMenu* popup, QPoint at);
// The system's menu colours (ground, text, highlight), for popups and bars.
QPalette MenuPalette();
// The mark of an item that opens a sub-menu: a solid triangle in the item's
// text colour, centred in `area`, pointing right (left when `leftwards`).
void DrawSubMenuArrow(QPainter* painter, const QRect& area, const QColor& color,
                      bool leftwards = false);

}  // namespace vantrel::menus
