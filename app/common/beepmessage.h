#pragma once
// The message procedure: a beep whose kind follows the message type, then a
// message box with one OK button.

#include <string>

// The class library's message types.
constexpr int kMsgWarning = 0, kMsgError = 1, kMsgInformation = 2, kMsgConfirmation = 3;

// Type 1 (error) sounds the exclamation beep, every other type the asterisk.
void ShowBeepMessage(const std::string& text, int type);
void ShowBeepInfo(const std::string& text);
