#pragma once
// The edit menu of text controls: what a text control without a popup menu
// of its own shows on a right click, Shift+F10 or the Menu key, as the
// desktop's text controls do. Undo, Cut, Copy, Paste, Delete and Select All,
// each enabled as it applies, in the program's menu look.

#include "platform/classlib/controls/controls.h"

// What the menu needs to know of the text control as it opens.
struct TEditMenuState {
  bool canUndo = false;
  bool readOnly = false;
  bool secret = false;  // a password: never handed to the clipboard
  bool hasSelection = false;
  bool hasText = false;
  bool allSelected = false;
};

// Opens the control's edit menu at a screen point. A chosen command reaches
// the control as the message the desktop's edit menu sends: WM_UNDO, WM_CUT,
// WM_COPY, WM_PASTE, WM_CLEAR, and EM_SETSEL (0, -1) for Select All.
void PopupEditMenu(TWinControl& control, const TEditMenuState& state, TPoint screenPos);
