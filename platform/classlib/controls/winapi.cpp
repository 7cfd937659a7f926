#include "platform/classlib/controls/winapi.h"

#include <QCursor>
#include <QGuiApplication>

#include "platform/classlib/controls/forms.h"

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN: return Screen->Width();
    case SM_CYSCREEN:
    case SM_CYFULLSCREEN: return Screen->Height();
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB: return 16;
    case SM_CYCAPTION: return 19;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CYMENU: return 19;
    case SM_CXMIN: return 112;
    case SM_CYMIN: return 27;
    case SM_CXSIZE:
    case SM_CYSIZE: return 18;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return 4;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CYSMCAPTION: return 15;
    case SM_CXSMSIZE:
    case SM_CYSMSIZE: return 12;
    case SM_CXMENUSIZE:
    case SM_CYMENUSIZE: return 18;
    case SM_CXDRAG:
    case SM_CYDRAG: return 4;
    case SM_CXMENUCHECK:
    case SM_CYMENUCHECK: return 13;
    default: return 0;
  }
}

bool SystemParametersInfo(UINT action, UINT, void* data, UINT) {
  if (action != SPI_GETWORKAREA || !data) return false;
  *static_cast<TRect*>(data) = Screen->WorkAreaRect();
  return true;
}

short GetKeyState(int virtualKey) {
  if (!QGuiApplication::instance()) return 0;
  const Qt::KeyboardModifiers mods = QGuiApplication::queryKeyboardModifiers();
  const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
  bool down = false;
  switch (virtualKey) {
    case VK_SHIFT: down = mods & Qt::ShiftModifier; break;
    case VK_CONTROL: down = mods & Qt::ControlModifier; break;
    case VK_MENU: down = mods & Qt::AltModifier; break;
    case VK_LBUTTON: down = buttons & Qt::LeftButton; break;
    case VK_RBUTTON: down = buttons & Qt::RightButton; break;
    case VK_MBUTTON: down = buttons & Qt::MiddleButton; break;
    default: break;
  }
  return down ? short(0x8000) : short(0);
}

short GetAsyncKeyState(int virtualKey) { return GetKeyState(virtualKey); }

TPoint GetCursorPos() {
  if (!QGuiApplication::instance()) return {};
  const QPoint p = QCursor::pos();
  return {p.x(), p.y()};
}

void SetCursorPos(int x, int y) {
  if (QGuiApplication::instance()) QCursor::setPos(x, y);
}
