#pragma once
// Message-box flags and answers, and the beeps that go with the kinds of
// message. The boxes themselves are the dialogs library's; these numbers are
// shared by every caller, so they live with the other system services.

#include <functional>

#include "platform/classlib/core/wintypes.h"

// Buttons (low four bits).
constexpr UINT MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_ABORTRETRYIGNORE = 0x2, MB_YESNOCANCEL = 0x3,
               MB_YESNO = 0x4, MB_RETRYCANCEL = 0x5, MB_TYPEMASK = 0xF;
// Icons, which are also the beep kinds.
constexpr UINT MB_ICONHAND = 0x10, MB_ICONQUESTION = 0x20, MB_ICONEXCLAMATION = 0x30,
               MB_ICONASTERISK = 0x40, MB_ICONMASK = 0xF0, MB_ICONERROR = MB_ICONHAND,
               MB_ICONSTOP = MB_ICONHAND, MB_ICONWARNING = MB_ICONEXCLAMATION,
               MB_ICONINFORMATION = MB_ICONASTERISK;
// Which button has the focus.
constexpr UINT MB_DEFBUTTON1 = 0x000, MB_DEFBUTTON2 = 0x100, MB_DEFBUTTON3 = 0x200,
               MB_DEFMASK = 0xF00;
constexpr UINT MB_APPLMODAL = 0x0000, MB_SYSTEMMODAL = 0x1000, MB_TASKMODAL = 0x2000;

// Answers.
constexpr int IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6,
              IDNO = 7;

// Plays the sound of a kind of message: 0 or 0xFFFFFFFF (the plain beep) or
// one of the MB_ICON kinds. Returns false for any other value, as the
// original does, and then plays nothing.
bool MessageBeep(UINT type);

// Where beeps go. The default rings the terminal bell when the program has
// one; the dialogs library installs the desktop's beep, tests a recorder.
// Returns the previous sink so that it can be put back.
using TBeepSink = std::function<void(UINT type)>;
TBeepSink SetBeepSink(TBeepSink sink);
