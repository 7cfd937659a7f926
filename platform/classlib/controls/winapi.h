#pragma once
// The window-system queries the window controls make: metrics of frames and
// captions, the work area, the state of keys and the mouse position.

#include "platform/classlib/controls/controls.h"
#include "platform/classlib/controls/messages.h"

// GetSystemMetrics indices.
enum : int {
  SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYHSCROLL = 3, SM_CYCAPTION = 4,
  SM_CXBORDER = 5, SM_CYBORDER = 6, SM_CXDLGFRAME = 7, SM_CYDLGFRAME = 8, SM_CYVTHUMB = 9,
  SM_CXHTHUMB = 10, SM_CXICON = 11, SM_CYICON = 12, SM_CXCURSOR = 13, SM_CYCURSOR = 14,
  SM_CYMENU = 15, SM_CXFULLSCREEN = 16, SM_CYFULLSCREEN = 17, SM_CYVSCROLL = 20,
  SM_CXHSCROLL = 21, SM_CXMIN = 28, SM_CYMIN = 29, SM_CXSIZE = 30, SM_CYSIZE = 31,
  SM_CXFRAME = 32, SM_CYFRAME = 33, SM_CXDOUBLECLK = 36, SM_CYDOUBLECLK = 37,
  SM_CXEDGE = 45, SM_CYEDGE = 46, SM_CXSMICON = 49, SM_CYSMICON = 50, SM_CYSMCAPTION = 51,
  SM_CXSMSIZE = 52, SM_CYSMSIZE = 53, SM_CXMENUSIZE = 54, SM_CYMENUSIZE = 55,
  SM_CXDRAG = 68, SM_CYDRAG = 69, SM_CXMENUCHECK = 71, SM_CYMENUCHECK = 72
};

// Metrics of the classic look (frames, captions, scroll bars), the screen's
// size from the display.
int GetSystemMetrics(int index);

// SystemParametersInfo: SPI_GETWORKAREA fills a TRect; false for other actions.
constexpr UINT SPI_GETWORKAREA = 0x0030;
bool SystemParametersInfo(UINT action, UINT param, void* data, UINT winIni);

// The key is down when the result is negative; toggled keys set bit 0.
// Shift, Ctrl, Alt (VK_SHIFT, VK_CONTROL, VK_MENU) and the mouse buttons.
short GetKeyState(int virtualKey);
short GetAsyncKeyState(int virtualKey);

// Sets the mouse cursor of the window a WM_SETCURSOR message is about (a
// handler then answers the message with 1).
void SetCursor(TCursor cursor);

TPoint GetCursorPos();
void SetCursorPos(int x, int y);

// The newer shell look (small captions, flat frames) is the one in use.
constexpr bool NewStyleControls = true;
