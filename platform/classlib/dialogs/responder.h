#pragma once
// Internal to the dialogs library's .cpp files: the installed responder and
// what every dialog needs before it shows a real window.

#include <string>

#include "platform/classlib/dialogs/dialogs.h"

namespace vantrel::dialogs {

// The responder in use (empty: the real dialogs show).
TDialogResponder& Responder();
// Hands a request to the responder (which must be installed).
TModalResult Ask(TDialogRequest& request);
// Raises EInvalidOperation when there is no window system to show a dialog on.
void RequireWindowSystem();
// The caption of boxes that have no caption of their own: the application's
// title, or the program's name.
std::string ApplicationCaption();
// The application's help viewer (help.h).
bool ShowHelp(const std::string& helpFile, WORD command, int data, const std::string& text);

}  // namespace vantrel::dialogs
